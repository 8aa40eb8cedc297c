#include "box/MainModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

// Records which slider handlers run, while letting them run.
struct HandlerLog {
    explicit HandlerLog(TfrmMainModel& m)
    {
        wrap(m.tbBoxWidth, "width");
        wrap(m.tbBoxHeight, "height");
        wrap(m.tbBoxDepth, "depth");
    }
    void wrap(TTrackBarModel& t, std::string name)
    {
        auto inner = t.OnChange;
        t.OnChange = [this, inner, name](int p) {
            runs.push_back(name + "=" + std::to_string(p));
            inner(p);
        };
    }
    std::vector<std::string> runs;
};

// A scene that records what the handlers ask of it.
struct RecordingScene : TBoxSceneLink {
    explicit RecordingScene(std::vector<std::string>& log) : log(log) {}
    void applyBoxWidth(int w, int sw) override { log.push_back("W " + std::to_string(w) + " " + std::to_string(sw)); }
    void applyBoxHeight(int h, int sh) override { log.push_back("H " + std::to_string(h) + " " + std::to_string(sh)); }
    void applyBoxDepth(int d) override { log.push_back("D " + std::to_string(d)); }
    void resetToDefaults() override { log.push_back("reset"); }
    std::vector<std::string>& log;
};

struct ModelWithScene {
    std::vector<std::string> calls;
    std::string folderSeen;
    TfrmMainModel m{"/prog/", "/tmp/work/", [this](const std::string& folder) {
                        folderSeen = folder;
                        return std::make_unique<RecordingScene>(calls);
                    }};
};

using Calls = std::vector<std::string>;

void expectNoSceneState(const TfrmMainModel& m)
{
    EXPECT_TRUE(m.pnlMainMenu.visible());
    EXPECT_FALSE(m.GLSceneViewer1.visible());
    EXPECT_FALSE(m.controlTabs.visible());
    EXPECT_FALSE(m.pnlLoading.visible());
    for (const TControlModel* c : {&m.New1, &m.Open1, &m.Exit1, &m.ToolButton1, &m.Help1})
        EXPECT_TRUE(c->enabled()) << c->Name;
    for (const TControlModel* c : {&m.Save1, &m.Close1, &m.Textures1, &m.Render1, &m.ToolButton3, &m.ToolButton5})
        EXPECT_FALSE(c->enabled()) << c->Name;
    EXPECT_FALSE(m.ToolButton2.enabled());
}

void expectSceneOpenState(const TfrmMainModel& m)
{
    EXPECT_TRUE(m.GLSceneViewer1.visible());
    EXPECT_TRUE(m.controlTabs.visible());
    EXPECT_TRUE(m.pnlLoading.visible());
    EXPECT_FALSE(m.pnlLoading.raised());
    for (const TControlModel* c : {&m.Save1, &m.Close1, &m.Textures1, &m.Render1, &m.ToolButton3, &m.ToolButton5})
        EXPECT_TRUE(c->enabled()) << c->Name;
    // Nothing ever enables the Open tool button; hidden items stay hidden.
    EXPECT_FALSE(m.ToolButton2.enabled());
    EXPECT_FALSE(m.Close1.visible());
    EXPECT_FALSE(m.Render1.visible());
}

TEST(MainModel, StartsWithTheDesignedState)
{
    TfrmMainModel m;
    EXPECT_EQ(m.BoxType, 1u);
    EXPECT_TRUE(m.PristineScene);
    EXPECT_FALSE(m.SetNewSize);
    EXPECT_EQ(m.LastMouseX, 0);
    expectNoSceneState(m);
    EXPECT_EQ(m.lblBoxWidth.caption(), "80");
    EXPECT_EQ(m.lblCurrentSize.caption(), "0 x 0 pixels");
    EXPECT_TRUE(m.cbReflection.checked());
    EXPECT_TRUE(m.tbReflectionOpacity.enabled());
    EXPECT_FALSE(m.cbDropShadow.checked());
    EXPECT_FALSE(m.tbDropShadowWidth.enabled());
    EXPECT_FALSE(m.tbDropShadowHeight.enabled());
    EXPECT_FALSE(m.btnRefreshShadow.enabled());
    EXPECT_FALSE(m.txtNewWidth.enabled());
    EXPECT_FALSE(m.lblNewSize.visible());
    EXPECT_EQ(m.tbAntialiasingMultiplier.position(), 1);
    EXPECT_EQ(m.tbAntialiasingMultiplier.max(), 4);
}

TEST(MainModel, NewCloseAndCancelledOpenMoveBetweenStates)
{
    TfrmMainModel m;
    int hourglass = 0;
    m.ShowHourglass = [&] { ++hourglass; };

    m.New1Click();
    expectSceneOpenState(m);
    EXPECT_FALSE(m.PristineScene);
    EXPECT_EQ(hourglass, 1);

    m.Close1Click();
    expectNoSceneState(m);

    // Cancelling the dialog leaves the application as it was: no box stays
    // no box, an open box stays open.
    m.Open1Click(std::nullopt, 0);
    expectNoSceneState(m);
    m.New1Click();
    m.Open1Click(std::nullopt, 0);
    expectSceneOpenState(m);
}

TEST(MainModel, ConfirmedOpenPerformsNewThenReadsTheScene)
{
    TfrmMainModel m;
    std::vector<std::string> steps;
    m.ShowHourglass = [&] { steps.push_back("hourglass"); };
    m.ProcessMessages = [&] { steps.push_back("messages"); };
    m.OpenScene = [&](const std::string& path, int filter) {
        EXPECT_TRUE(m.sceneOpen());
        steps.push_back("open " + path + " " + std::to_string(filter));
    };
    m.Open1Click(std::string("/data/box.vlm"), 1);
    const std::vector<std::string> expected{"hourglass", "messages", "hourglass", "open /data/box.vlm 1"};
    EXPECT_EQ(steps, expected);
    expectSceneOpenState(m);

    steps.clear();
    m.openFromCommandLine("old.gls");
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), "open old.gls 0"); // no dialog filter entry
}

TEST(MainModel, OpenWithoutASceneReaderFailsClearlyAfterNew)
{
    TfrmMainModel m;
    try {
        m.Open1Click(std::string("/data/box.vlm"), 1);
        FAIL() << "expected an error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("not available"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("/data/box.vlm"), std::string::npos);
    }
    // What happened before the error stays.
    expectSceneOpenState(m);
    EXPECT_THROW(m.openFromCommandLine("x.vlm"), ENotAvailable);
}

TEST(MainModel, PresetsRunOnlyTheHandlersWhoseSliderMoves)
{
    TfrmMainModel m;
    HandlerLog log(m);
    m.btnStandard.click(); // already at the standard size
    EXPECT_TRUE(log.runs.empty());

    m.btnCD.click();
    const std::vector<std::string> cd{"width=70", "height=62", "depth=5"};
    EXPECT_EQ(log.runs, cd);
    EXPECT_EQ(m.lblBoxWidth.caption(), "70");
    EXPECT_EQ(m.lblBoxHeight.caption(), "62");
    EXPECT_EQ(m.lblBoxDepth.caption(), "5");

    log.runs.clear();
    m.btnCD.click();
    EXPECT_TRUE(log.runs.empty());

    // DVD after a manual width of 68 moves only height and depth.
    m.tbBoxWidth.setPosition(68);
    log.runs.clear();
    m.btnDVD.click();
    const std::vector<std::string> dvd{"height=80", "depth=7"};
    EXPECT_EQ(log.runs, dvd);
}

TEST(MainModel, SceneIsBuiltFromTheProgramFolderAndLeftAloneAtCreation)
{
    ModelWithScene s;
    EXPECT_EQ(s.folderSeen, "/prog/");
    EXPECT_NE(s.m.scene(), nullptr);
    EXPECT_TRUE(s.calls.empty());
    EXPECT_EQ(s.m.WorkingFolder, "/tmp/work/");
}

TEST(MainModel, SlidersWriteTheGeometryWithTheDropShadowSliders)
{
    ModelWithScene s;
    s.m.tbDropShadowWidth.setPosition(10);
    s.m.tbDropShadowHeight.setPosition(0);
    s.m.tbBoxWidth.setPosition(1);
    s.m.tbBoxHeight.setPosition(99);
    s.m.tbBoxDepth.setPosition(100);
    EXPECT_EQ(s.calls, (Calls{"W 1 10", "H 99 0", "D 100"}));
}

TEST(MainModel, FirstNewKeepsTheSceneLaterNewsResetIt)
{
    ModelWithScene s;
    s.m.btnCD.click();
    s.calls.clear();
    s.m.New1Click();
    EXPECT_TRUE(s.calls.empty());
    s.m.Close1Click();
    s.m.New1Click(); // after Close too
    EXPECT_EQ(s.calls, (Calls{"reset"}));
    // The sliders still show the CD values: the CD preset changes nothing,
    // moving one slider applies only that dimension.
    s.calls.clear();
    s.m.btnCD.click();
    EXPECT_TRUE(s.calls.empty());
    EXPECT_EQ(s.m.lblBoxWidth.caption(), "70");
    s.m.tbBoxWidth.setPosition(71);
    EXPECT_EQ(s.calls, (Calls{"W 71 5"}));
    s.m.New1Click();
    EXPECT_EQ(s.calls.back(), "reset");
}

TEST(MainModel, CancelledOpenKeepsTheSceneForTheNextNewToReset)
{
    ModelWithScene s;
    s.m.New1Click();
    s.m.Open1Click(std::nullopt, 0);
    EXPECT_TRUE(s.calls.empty());
    s.m.New1Click();
    EXPECT_EQ(s.calls, (Calls{"reset"}));
}

TEST(MainModel, OtherBoxTypesLeaveTheSceneAlone)
{
    ModelWithScene s;
    for (uint32_t type : {0u, 2u}) {
        s.m.BoxType = type;
        s.m.btnDVD.click();
        s.m.btnStandard.click();
        s.m.tbBoxDepth.setPosition(50 + static_cast<int>(type));
    }
    EXPECT_TRUE(s.calls.empty());
    EXPECT_EQ(s.m.lblBoxDepth.caption(), "52");
    s.m.BoxType = 1;
    s.m.tbBoxDepth.setPosition(20);
    EXPECT_EQ(s.calls, (Calls{"D 20"}));
}

TEST(MainModel, LabelsFollowTheSlidersWhateverTheBoxType)
{
    TfrmMainModel m;
    m.BoxType = 0;
    m.tbBoxWidth.setPosition(33);
    m.tbBoxHeight.setPosition(0); // clamped to 1
    m.tbBoxDepth.setPosition(101);
    EXPECT_EQ(m.lblBoxWidth.caption(), "33");
    EXPECT_EQ(m.lblBoxHeight.caption(), "1");
    EXPECT_EQ(m.lblBoxDepth.caption(), "100");
}

TEST(MainModel, ProcessingOverlayRaisesAndHides)
{
    TfrmMainModel m;
    int messages = 0;
    m.ProcessMessages = [&] { ++messages; };
    m.New1Click();
    m.showProcessingOverlay();
    EXPECT_TRUE(m.pnlLoading.visible());
    EXPECT_TRUE(m.pnlLoading.raised());
    EXPECT_TRUE(m.pnlProcessing.visible());
    EXPECT_EQ(messages, 1); // so the overlay is painted before the long work
    m.hideProcessingOverlay();
    EXPECT_FALSE(m.pnlLoading.raised());
    EXPECT_FALSE(m.pnlProcessing.visible());
    EXPECT_FALSE(m.pnlLoading.visible());
    EXPECT_TRUE(m.GLSceneViewer1.visible());
}

TEST(MainModel, AfterEachFrameTheCursorReturnsAndTheSizeIsShown)
{
    TfrmMainModel m;
    int restored = 0;
    m.RestoreCursor = [&] { ++restored; };
    m.GLSceneViewer1PostRender(492, 473);
    EXPECT_EQ(m.lblCurrentSize.caption(), "492 x 473 pixels");
    EXPECT_EQ(restored, 1);
    m.GLSceneViewer1PostRender(0, 1);
    EXPECT_EQ(m.lblCurrentSize.caption(), "0 x 1 pixels");
}

TEST(MainModel, CentringCutsTowardZero)
{
    EXPECT_EQ(TfrmMainModel::centredOffset(692, 296), 198);
    EXPECT_EQ(TfrmMainModel::centredOffset(693, 296), 198); // 198.5
    EXPECT_EQ(TfrmMainModel::centredOffset(295, 296), 0);   // -0.5 cuts to 0, not -1
    EXPECT_EQ(TfrmMainModel::centredOffset(100, 296), -98);
    EXPECT_EQ(TfrmMainModel::centredOffset(0, 41), -20); // -20.5
}

} // namespace
} // namespace velmora
