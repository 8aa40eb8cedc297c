#include "BoxTestSupport.h"
#include "box/BoxScene.h"
#include "box/FacePictures.h"
#include "box/MainModel.h"
#include "box/RenderShot.h"
#include "engine/EngineTestSupport.h"
#include "engine/gl/GLContext.h"
#include "pictures/CoreCodecs.h"
#include "pictures/Picture.h"
#include "pictures/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct TabModel {
    TfrmMainModel m{test::resourcesFolder(), {}, [](const std::string& f) { return std::make_unique<TBoxScene>(f); }};
    TabModel(int vw = 492, int vh = 473) { m.GLSceneViewer1PostRender(vw, vh); }
    // Typing into an edit as a user would: each accepted key changes the text.
    void type(TEditModel& edit, const std::u32string& keys, bool width)
    {
        for (char32_t k : keys) {
            char32_t key = k;
            const bool accepted = width ? m.txtNewWidthKeyPress(key) : m.txtNewHeightKeyPress(key);
            if (!accepted) continue;
            std::string t = edit.text();
            if (key == 8) {
                if (!t.empty()) t.pop_back();
            } else {
                t.push_back(char(key));
            }
            edit.setText(t);
        }
    }
};

TEST(RenderingTab, KeyFilterTakesDigitsAndBackspaceOnly)
{
    TabModel t;
    for (char32_t c : std::u32string(U"0123456789\b")) {
        char32_t k = c;
        EXPECT_TRUE(t.m.txtNewWidthKeyPress(k));
        EXPECT_EQ(k, c);
    }
    for (char32_t c : std::u32string(U"aZ -.,+x\u00e9\r")) {
        char32_t k = c;
        EXPECT_FALSE(t.m.txtNewHeightKeyPress(k));
        EXPECT_EQ(k, 0u);
    }
    t.m.CheckBox1.setChecked(true);
    t.type(t.m.txtNewWidth, U"\b\b\babc1x", true);
    EXPECT_EQ(t.m.txtNewWidth.text(), "1");
}

TEST(RenderingTab, SetNewSizeSwitchFillsEditsAndTypedWidthDerivesHeight)
{
    TabModel t;
    EXPECT_FALSE(t.m.lblNewSize.visible());
    EXPECT_FALSE(t.m.txtNewWidth.enabled());
    t.m.CheckBox1.setChecked(true);
    EXPECT_TRUE(t.m.SetNewSize);
    EXPECT_EQ(t.m.txtNewWidth.text(), "492");
    EXPECT_EQ(t.m.txtNewHeight.text(), "473");
    EXPECT_EQ(t.m.lblNewSize.caption(), "492 x 473 pixels");
    EXPECT_TRUE(t.m.lblNewSize.visible() && t.m.lblCaptionNewSize.visible());
    EXPECT_TRUE(t.m.txtNewWidth.enabled() && t.m.txtNewHeight.enabled());

    t.type(t.m.txtNewWidth, U"\b\b\b", true);            // each backspace derives a new height
    EXPECT_EQ(t.m.lblNewSize.caption(), "0 x 3 pixels"); // "4" gave 3; empty leaves it
    t.m.txtNewWidth.setText("492");
    t.m.txtNewWidth.setText(""); // selected and deleted at once
    EXPECT_EQ(t.m.lblNewSize.caption(), "0 x 473 pixels");
    t.type(t.m.txtNewWidth, U"984", true);
    EXPECT_EQ(t.m.lblNewSize.caption(), "984 x 946 pixels");
    EXPECT_EQ(t.m.NewHeight, 946);
    EXPECT_EQ(t.m.NewWidth, 492); // derived from the height edit, still 473
    EXPECT_EQ(t.m.shotSize(), std::make_pair(984, 946));
    // Entering the height edit copies the derived value into it.
    t.m.txtNewHeightEnter();
    EXPECT_EQ(t.m.txtNewHeight.text(), "946");
    EXPECT_EQ(t.m.NewWidth, 984);
    EXPECT_EQ(t.m.lblNewSize.caption(), "984 x 946 pixels");

    // Height typed: width derived with trunc of the single-precision quotient.
    t.type(t.m.txtNewHeight, U"\b\b\b100", false);
    EXPECT_EQ(t.m.lblNewSize.caption(), "104 x 100 pixels"); // 100 * 492 / 473 = 104.01
    t.m.txtNewWidthEnter();
    EXPECT_EQ(t.m.txtNewWidth.text(), "104");

    // The switch follows SetNewSize: off again shows the viewer's size in the edits.
    t.m.CheckBox1.setChecked(false);
    EXPECT_FALSE(t.m.SetNewSize);
    EXPECT_EQ(t.m.txtNewWidth.text(), "492");
    EXPECT_FALSE(t.m.lblNewSize.visible());
    EXPECT_FALSE(t.m.txtNewHeight.enabled());
    EXPECT_EQ(t.m.shotSize(), std::make_pair(492, 473));
}

TEST(RenderingTab, LongNumbersNeitherWrapNorCrash)
{
    TabModel t;
    t.m.CheckBox1.setChecked(true);
    t.m.txtNewWidth.setText("2000000000");   // x 473 would wrap in 32 bits
    EXPECT_EQ(t.m.NewHeight, 1922764288);    // single-precision quotient of 2e9 * 473 / 492
    t.m.txtNewHeight.setText("99999999999"); // not a 32-bit integer: nothing recomputed
    EXPECT_EQ(t.m.NewHeight, 1922764288);
}

struct RenderRun : TabModel {
    const test::ScratchDir scratch{"velmora-tab"};
    const fs::path& dir = scratch.path;
    std::vector<std::string> log;
    std::optional<std::pair<std::string, int>> answer;
    RenderRun(int vw = 492, int vh = 473) : TabModel(vw, vh)
    {
        m.New1Click();
        m.RunSavePictureDialog = [this] {
            log.push_back("dialog");
            return answer;
        };
        m.SetProgress = [this](int p) {
            if (log.empty() || log.back() != "progress") log.push_back("progress");
            progress.push_back(p);
            overlayUp = overlayUp || (m.pnlLoading.raised() && m.pnlProcessing.visible());
        };
        m.ShowMessage = [this](const std::string& s) { log.push_back("message " + s); };
    }
    std::vector<int> progress;
    bool overlayUp = false;
};

using test::decodeFile;

TEST(RenderingTabRender, CancelledDialogDoesNothingAndTooSmallNewSizeAsksNoDialog)
{
    RenderRun r;
    r.m.btnRender.click();
    EXPECT_EQ(r.log, std::vector<std::string>{"dialog"});
    EXPECT_TRUE(r.progress.empty());

    r.m.CheckBox1.setChecked(true);
    r.m.txtNewWidth.setText("1");
    EXPECT_EQ(r.m.lblNewSize.caption(), "1 x 0 pixels");
    r.log.clear();
    try {
        r.m.btnRender.click();
        FAIL() << "rendered a size below 2";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("at least 2 pixels"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(r.log.empty());
    EXPECT_FALSE(r.m.pnlLoading.raised());
}

TEST(RenderingTabRender, RenderWritesTheShownSizeWithTheOverlayUp)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    RenderRun r(100, 80);
    r.m.tbAntialiasingMultiplier.setPosition(2);
    r.m.CheckBox1.setChecked(true);
    r.m.txtNewWidth.setText("");
    r.m.txtNewWidth.setText("50");
    EXPECT_EQ(r.m.lblNewSize.caption(), "50 x 40 pixels");
    r.answer = std::make_pair((r.dir / "shot").string(), 2); // "Bitmaps (*.bmp)", no extension
    r.m.btnRender.click();
    EXPECT_TRUE(r.overlayUp);
    EXPECT_FALSE(r.m.pnlLoading.raised());
    EXPECT_FALSE(r.m.pnlProcessing.visible());
    EXPECT_EQ(r.progress.back(), 0);
    EXPECT_EQ(r.m.SavePictureDialog1FileName, (r.dir / "shot").string());
    const TDecodedImage shot = decodeFile(r.dir / "shot");
    EXPECT_EQ(shot.Width, 50);
    EXPECT_EQ(shot.Height, 40);
}

TEST(RenderingTabRender, RenderImageUsesMultiplierFourAndAFailureHidesTheOverlay)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    RenderRun r(60, 40);
    // The viewer's own buffer, as the window hands it over.
    TGLSceneBuffer viewer;
    r.m.scene()->bindViewer(viewer);
    viewer.Resize(60, 40);
    int dpi = 0, width = 0;
    viewer.BeforeRender = [&](TGLSceneBuffer* b) {
        dpi = b->RenderDPI();
        width = b->Viewport().Width;
    };
    r.m.ViewerBuffer = [&] { return &viewer; };
    r.answer = std::make_pair((r.dir / "box.jpg").string(), 1);
    r.m.SaveToFile1Click();
    EXPECT_EQ(dpi, 384);
    EXPECT_EQ(width, 240);
    const TDecodedImage shot = decodeFile(r.dir / "box.jpg");
    EXPECT_EQ(shot.Width, 60);
    EXPECT_EQ(shot.Height, 40);

    r.answer = std::make_pair((r.dir / "missing" / "box.jpg").string(), 1);
    EXPECT_THROW(r.m.SaveToFile1Click(), std::exception);
    EXPECT_FALSE(r.m.pnlLoading.raised());
    EXPECT_FALSE(r.m.pnlProcessing.visible());
    EXPECT_FALSE(r.m.renderingToFile());
    EXPECT_EQ(r.progress.back(), 0);
}

TEST(FacePictures, LoadEnablesOnlyThatFaceAndAFailureChangesNothing)
{
    TabModel t;
    t.m.New1Click();
    t.m.New1Click(); // the second New disables the six textures
    TGLPlane* front = facePlane(t.m, TBoxFace::Front);
    TGLPlane* back = facePlane(t.m, TBoxFace::Back);
    ASSERT_TRUE(front && back);
    ASSERT_TRUE(front->Material().Texture().Disabled());
    loadPictureIntoFace(t.m, TBoxFace::Front, test::resourcesFolder() + "Faces/Side.jpg");
    EXPECT_FALSE(front->Material().Texture().Disabled());
    EXPECT_TRUE(back->Material().Texture().Disabled());
    EXPECT_EQ(front->Material().Texture().PictureImage().Picture()->Width(), 166);

    EXPECT_THROW(loadPictureIntoFace(t.m, TBoxFace::Back, test::resourcesFolder() + "Faces/nothing.xyz"),
                 std::exception);
    EXPECT_TRUE(back->Material().Texture().Disabled());
    EXPECT_EQ(boxFaceNamed("bottom"), TBoxFace::Bottom);
    EXPECT_FALSE(boxFaceNamed("Front"));

    t.m.BoxType = 0; // while an archive fills the controls nothing loads
    loadPictureIntoFace(t.m, TBoxFace::Back, test::resourcesFolder() + "Faces/Side.jpg");
    EXPECT_TRUE(back->Material().Texture().Disabled());
}

} // namespace
} // namespace velmora
