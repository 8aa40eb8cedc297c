#include "AppTestSupport.h"

#include "app/Unit1.h"
#include "engine/EngineTestSupport.h"
#include "engine/gl/GLContext.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class RenderingViewTest : public ::testing::Test {
protected:
    RenderingViewTest()
    {
        test::testApp();
        w = std::make_unique<TfrmMain>(VELMORA_BIN_DIR "/", "/tmp/");
        w->RunSavePictureDialog = [this] {
            ++dialogs;
            return answer;
        };
        w->New1Click();
        w->model().GLSceneViewer1PostRender(120, 90);
    }

    static void key(QWidget* target, Qt::Key k, const QString& text)
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &release);
    }

    std::unique_ptr<TfrmMain> w;
    TfrmMain::OpenDialogResult answer;
    int dialogs = 0;
    const test::ScratchDir scratch{"velmora-view"};
    const fs::path& dir = scratch.path;
};

TEST_F(RenderingViewTest, SizeEditsTakeDigitsAndFollowTheSwitch)
{
    EXPECT_FALSE(w->txtNewWidth->isEnabled());
    w->CheckBox1->click();
    EXPECT_TRUE(w->txtNewWidth->isEnabled());
    EXPECT_EQ(w->txtNewWidth->text(), "120");
    EXPECT_EQ(w->lblNewSize->text(), "120 x 90 pixels");
    EXPECT_FALSE(w->lblNewSize->isHidden());

    w->txtNewWidth->setFocus();
    w->txtNewWidth->selectAll();
    key(w->txtNewWidth, Qt::Key_A, "a"); // discarded: the selection stays
    EXPECT_EQ(w->txtNewWidth->text(), "120");
    key(w->txtNewWidth, Qt::Key_2, "2");
    key(w->txtNewWidth, Qt::Key_4, "4");
    key(w->txtNewWidth, Qt::Key_0, "0");
    key(w->txtNewWidth, Qt::Key_Minus, "-");
    EXPECT_EQ(w->txtNewWidth->text(), "240");
    EXPECT_EQ(w->lblNewSize->text(), "240 x 180 pixels");
    key(w->txtNewWidth, Qt::Key_Backspace, "\b");
    EXPECT_EQ(w->txtNewWidth->text(), "24");

    // Entering the height edit replaces it with the value derived from the width.
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(w->txtNewHeight, &in);
    EXPECT_EQ(w->txtNewHeight->text(), "18");

    w->CheckBox1->click();
    EXPECT_FALSE(w->txtNewWidth->isEnabled());
    EXPECT_TRUE(w->lblNewSize->isHidden());
    EXPECT_EQ(w->txtNewWidth->text(), "120");
}

TEST_F(RenderingViewTest, RenderButtonWritesTheFileAndMovesTheBar)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    std::vector<int> values;
    QObject::connect(w->pb, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    bool overlaySeen = false;
    QObject::connect(w->pb, &QProgressBar::valueChanged,
                     [&] { overlaySeen = overlaySeen || !w->pnlProcessing->isHidden(); });
    w->tbAntialiasingMultiplier->setValue(3);
    answer = std::make_pair((dir / "box.jpg").string(), 1);
    w->btnRender->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(fs::exists(dir / "box.jpg"));
    ASSERT_GT(values.size(), 10u);
    EXPECT_EQ(values[0], 15);
    EXPECT_EQ(values[1], 50);
    EXPECT_EQ(values[2], 100);
    EXPECT_EQ(values.back(), 0);
    EXPECT_EQ(w->pb->value(), 0);
    EXPECT_TRUE(overlaySeen);
    EXPECT_TRUE(w->pnlProcessing->isHidden());

    // The tool button goes through the same dialog; cancelling moves nothing.
    values.clear();
    answer.reset();
    w->ToolButton5->trigger();
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(values.empty());
}

TEST_F(RenderingViewTest, ARenderThatFailsShowsOneMessageAndTheViewerAgain)
{
    test::TMessageBoxWatcher boxes;
    answer = std::make_pair((dir / "missing" / "box.jpg").string(), 1);
    w->btnRender->click();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_NE(boxes.seen[0].text.find("does not exist"), std::string::npos) << boxes.seen[0].text;
    EXPECT_TRUE(w->pnlProcessing->isHidden());
    EXPECT_EQ(w->pb->value(), 0);
    EXPECT_TRUE(fs::is_empty(dir));
}

} // namespace
} // namespace velmora
