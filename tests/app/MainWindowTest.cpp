#include "AppTestSupport.h"

#include "app/Unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace velmora {
namespace {

using test::TMessageBoxWatcher;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
    {
        test::testApp();
        w = std::make_unique<TfrmMain>(VELMORA_BIN_DIR "/", "/tmp/");
        // No real dialog in tests: cancelled unless a test says otherwise.
        w->RunOpenDialog = [this] { return openAnswer; };
        w->model().RunOpenPictureDialog = [this] {
            ++pictureDialogRuns;
            return std::optional<std::string>();
        };
    }

    void expectNoSceneState()
    {
        EXPECT_FALSE(w->pnlMainMenu->isHidden());
        EXPECT_TRUE(w->GLSceneViewer1->isHidden());
        EXPECT_TRUE(w->controlTabs->isHidden());
        EXPECT_TRUE(w->pnlLoading->isHidden());
        EXPECT_TRUE(w->New1->isEnabled());
        EXPECT_TRUE(w->Open1->isEnabled());
        EXPECT_TRUE(w->Exit1->isEnabled());
        EXPECT_TRUE(w->ToolButton1->isEnabled());
        EXPECT_FALSE(w->Save1->isEnabled());
        EXPECT_FALSE(w->Close1->isEnabled());
        EXPECT_FALSE(w->Textures1->menuAction()->isEnabled());
        EXPECT_FALSE(w->Render1->menuAction()->isEnabled());
        EXPECT_FALSE(w->ToolButton3->isEnabled());
        EXPECT_FALSE(w->ToolButton5->isEnabled());
    }

    void expectSceneOpenState()
    {
        EXPECT_FALSE(w->GLSceneViewer1->isHidden());
        EXPECT_FALSE(w->controlTabs->isHidden());
        EXPECT_FALSE(w->pnlLoading->isHidden());
        EXPECT_TRUE(w->pnlProcessing->isHidden());
        EXPECT_TRUE(w->Save1->isEnabled());
        EXPECT_TRUE(w->Textures1->menuAction()->isEnabled());
        // Hidden items count as disabled for the toolkit (so Ctrl+W does nothing);
        // their own enabled state lives in the model.
        EXPECT_TRUE(w->model().Close1.enabled());
        EXPECT_TRUE(w->model().Render1.enabled());
        EXPECT_FALSE(w->Close1->isVisible());
        EXPECT_FALSE(w->Render1->menuAction()->isVisible());
        EXPECT_TRUE(w->ToolButton3->isEnabled());
        EXPECT_TRUE(w->ToolButton5->isEnabled());
    }

    static void click(QWidget* target) { test::click(target); }

    std::unique_ptr<TfrmMain> w;
    TfrmMain::OpenDialogResult openAnswer;
    int pictureDialogRuns = 0;
};

TEST_F(MainWindowTest, WindowAndMenusAsDesigned)
{
    EXPECT_EQ(w->windowTitle().toStdString(), "Velmora Professional");
    EXPECT_EQ(w->File1->title().toStdString(), "&File");
    EXPECT_EQ(w->Textures1->title().toStdString(), "&Insert");
    EXPECT_EQ(w->Save1->text().toStdString(), "&Save As...");
    EXPECT_EQ(w->Save1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(w->Bottom1->text().toStdString(), "Botto&m Face");
    EXPECT_EQ(w->Bottom1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_EQ(w->TipOfTheDay1->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_FALSE(w->Close1->isVisible());
    EXPECT_FALSE(w->Render1->menuAction()->isVisible());
    EXPECT_FALSE(w->ToolButton2->isEnabled());
    EXPECT_EQ(w->ToolButton5->toolTip().toStdString(), "Render Image");
    // The Insert menu lists Front, Back, Top, Bottom, Left, Right.
    const auto items = w->Textures1->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[2], w->Top1);
    EXPECT_EQ(items[5], w->Right1);
    EXPECT_EQ(w->controlTabs->tabText(0).toStdString(), "Box Settings");
    EXPECT_EQ(w->controlTabs->tabText(2).toStdString(), "Rendering");
    EXPECT_EQ(w->lblCurrentSize->text().toStdString(), "0 x 0 pixels");
    EXPECT_EQ(w->pnlMainMenu->size(), QSize(296, 258));
    EXPECT_EQ(w->pnlProcessing->size(), QSize(185, 41));
}

TEST_F(MainWindowTest, NewCloseAndOpenCancelledSwitchStates)
{
    expectNoSceneState();

    w->New1->trigger();
    expectSceneOpenState();

    w->Close1Click();
    expectNoSceneState();

    // A new scene again; a cancelled Open keeps it.
    w->ToolButton1->trigger();
    expectSceneOpenState();
    openAnswer.reset();
    w->Open1->trigger();
    expectSceneOpenState();
    w->Close1Click();

    // Cancelling while no scene is open stays there.
    w->Open1Click();
    expectNoSceneState();
    EXPECT_FALSE(w->model().PristineScene);
}

TEST_F(MainWindowTest, StartPanelClickAreasRunTheirCommands)
{
    click(w->Image1);
    expectSceneOpenState();
    w->Close1Click();
    openAnswer.reset();
    click(w->Image2); // Open, cancelled
    expectNoSceneState();
    EXPECT_EQ(w->Image1->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindowTest, SaveWritesTheSceneAndOpenReadsItBack)
{
    const test::ScratchDir scratch("velmora-mainwindow");
    const auto file = scratch.path / "box.gls";
    w->New1Click();
    ASSERT_TRUE(w->Save1->isEnabled());
    w->RunSaveDialog = [&] { return TfrmMain::OpenDialogResult(std::make_pair(file.string(), 2)); };
    TMessageBoxWatcher watcher;
    w->Save1->trigger();
    EXPECT_TRUE(watcher.seen.empty());
    ASSERT_TRUE(std::filesystem::exists(file));

    openAnswer = std::make_pair(file.string(), 2);
    w->Open1Click();
    EXPECT_TRUE(watcher.seen.empty());
    expectSceneOpenState();
    std::filesystem::remove(file);

    // A cancelled save dialog writes nothing.
    w->RunSaveDialog = [] { return TfrmMain::OpenDialogResult(); };
    w->Save1->trigger();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(MainWindowTest, OpeningAMissingFileNamesItAndKeepsTheState)
{
    openAnswer = std::make_pair(std::string("/tmp/velmora-no-such-box.vlm"), 1);
    TMessageBoxWatcher watcher;
    w->Open1Click();
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].title, "Velmora");
    EXPECT_EQ(watcher.seen[0].text, "File not found: \"/tmp/velmora-no-such-box.vlm\"");
    expectNoSceneState(); // no box was open, none is
    w->New1Click();
    w->Open1Click();
    ASSERT_EQ(watcher.seen.size(), 2u);
    expectSceneOpenState(); // the open box stays open
}

TEST_F(MainWindowTest, OpenConfirmedPassesPathAndFilterToTheReader)
{
    std::string path;
    int filter = -1;
    w->model().OpenScene = [&](const std::string& p, int f) {
        path = p;
        filter = f;
        EXPECT_TRUE(w->model().sceneOpen()); // New comes first
    };
    openAnswer = std::make_pair(std::string("/tmp/old.gls"), 2);
    w->Open1->trigger();
    EXPECT_EQ(path, "/tmp/old.gls");
    EXPECT_EQ(filter, 2);
}

TEST_F(MainWindowTest, SceneNamedOnTheCommandLineOpensOnceAfterShowing)
{
    std::vector<std::pair<std::string, int>> opened;
    w->model().OpenScene = [&](const std::string& p, int f) { opened.emplace_back(p, f); };
    w->setStartupScene("/tmp/start.vlm");
    w->show();
    QCoreApplication::processEvents();
    w->hide();
    w->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, "/tmp/start.vlm");
    EXPECT_EQ(opened[0].second, 0);
    expectSceneOpenState();
    w->hide();
}

TEST_F(MainWindowTest, FormResizeCentresStartPanelAndProcessingPanel)
{
    w->show();
    for (QSize size : {QSize(700, 575), QSize(801, 633), QSize(250, 200)}) {
        w->resize(size);
        QCoreApplication::processEvents();
        const int cw = w->ClientArea->width(), ch = w->ClientArea->height();
        EXPECT_EQ(w->pnlMainMenu->x(), static_cast<int>(cw / 2.0 - 148)) << cw;
        EXPECT_EQ(w->pnlMainMenu->y(), static_cast<int>(ch / 2.0 - 129)) << ch;
    }
    w->resize(781, 601);
    w->New1Click();
    QCoreApplication::processEvents();
    // The overlay fills the area left of the tabs; its panel sits in its middle.
    EXPECT_EQ(w->pnlLoading->width(), w->ClientArea->width() - 200);
    EXPECT_EQ(w->pnlProcessing->x(), static_cast<int>(w->pnlLoading->width() / 2.0 - 92.5));
    EXPECT_EQ(w->pnlProcessing->y(), static_cast<int>(w->pnlLoading->height() / 2.0 - 20.5));
    EXPECT_EQ(w->GLSceneViewer1->geometry(), w->pnlLoading->geometry());
    w->hide();
}

TEST_F(MainWindowTest, EachViewerFrameShowsItsSizeAndEndsTheHourglass)
{
    w->show();
    w->New1Click();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    auto shown = [&] {
        return std::to_string(w->GLSceneViewer1->width()) + " x " + std::to_string(w->GLSceneViewer1->height()) +
            " pixels";
    };
    EXPECT_EQ(w->lblCurrentSize->text().toStdString(), shown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    w->resize(w->width() + 37, w->height() + 11);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(w->lblCurrentSize->text().toStdString(), shown());
    w->hide();
}

TEST_F(MainWindowTest, ProcessingOverlayIsRaisedAboveTheViewerAndHiddenAgain)
{
    w->New1Click();
    auto& m = w->model();
    m.showProcessingOverlay();
    EXPECT_FALSE(w->pnlProcessing->isHidden());
    const auto children = w->ClientArea->children();
    EXPECT_GT(children.indexOf(w->pnlLoading), children.indexOf(w->GLSceneViewer1));
    m.hideProcessingOverlay();
    EXPECT_TRUE(w->pnlProcessing->isHidden());
    EXPECT_TRUE(w->pnlLoading->isHidden());
    const auto after = w->ClientArea->children();
    EXPECT_LT(after.indexOf(w->pnlLoading), after.indexOf(w->GLSceneViewer1));
}

TEST_F(MainWindowTest, SlidersLabelsAndButtonsMirrorTheModel)
{
    auto& m = w->model();
    w->New1Click();

    // Widget to model: the handler runs and its label follows.
    w->tbBoxWidth->setValue(55);
    EXPECT_EQ(m.tbBoxWidth.position(), 55);
    EXPECT_EQ(w->lblBoxWidth->text().toStdString(), "55");

    // Model to widget: a preset moves all three sliders and labels.
    w->btnCD->click();
    EXPECT_EQ(w->tbBoxWidth->value(), 70);
    EXPECT_EQ(w->tbBoxHeight->value(), 62);
    EXPECT_EQ(w->tbBoxDepth->value(), 5);
    EXPECT_EQ(w->lblBoxHeight->text().toStdString(), "62");
    EXPECT_EQ(w->lblBoxDepth->text().toStdString(), "5");

    // Ranges and clamping come from the model.
    EXPECT_EQ(w->tbReflectionOpacity->maximum(), 10);
    EXPECT_EQ(w->tbAntialiasingMultiplier->minimum(), 1);
    m.tbBoxDepth.setPosition(500);
    EXPECT_EQ(w->tbBoxDepth->value(), 100);

    // Check boxes, enabled states and edits both ways.
    EXPECT_TRUE(w->cbReflection->isChecked());
    w->cbReflection->setChecked(false);
    EXPECT_FALSE(m.cbReflection.checked());
    m.cbAxes.setChecked(true);
    EXPECT_TRUE(w->cbAxes->isChecked());
    EXPECT_FALSE(w->tbDropShadowWidth->isEnabled());
    m.tbDropShadowWidth.setEnabled(true);
    EXPECT_TRUE(w->tbDropShadowWidth->isEnabled());
    EXPECT_FALSE(w->txtNewWidth->isEnabled());
    EXPECT_TRUE(w->lblNewSize->isHidden());
    m.txtNewWidth.setText("492");
    EXPECT_EQ(w->txtNewWidth->text().toStdString(), "492");
    w->txtNewHeight->setText("473");
    EXPECT_EQ(m.txtNewHeight.text(), "473");
    m.GLSceneViewer1PostRender(492, 473);
    EXPECT_EQ(w->lblCurrentSize->text().toStdString(), "492 x 473 pixels");
}

TEST_F(MainWindowTest, SizeEditsTakeDigitsOnly)
{
    w->txtNewWidth->setEnabled(true);
    w->txtNewWidth->insert("12a3");
    EXPECT_EQ(w->txtNewWidth->text().toStdString(), "");
    w->txtNewWidth->insert("123");
    EXPECT_EQ(w->model().txtNewWidth.text(), "123");
}

TEST_F(MainWindowTest, InsertItemsAskForAPictureAndACancelSaysNothing)
{
    TMessageBoxWatcher watcher;
    w->New1Click();
    w->Front1->trigger();
    EXPECT_EQ(pictureDialogRuns, 1);
    EXPECT_TRUE(watcher.seen.empty());
}

TEST_F(MainWindowTest, InsertItemsDoNothingWhileTheInsertMenuIsDisabled)
{
    TMessageBoxWatcher watcher;
    w->Front1->trigger(); // no scene: the item's own state is enabled, its menu is not
    EXPECT_TRUE(watcher.seen.empty());
    EXPECT_EQ(pictureDialogRuns, 0);
    w->New1Click();
    w->Front1->trigger(); // now it asks for a picture; cancelled, nothing happens
    w->findChild<QPushButton*>(QStringLiteral("SpeedButton9"))->click();
    EXPECT_EQ(pictureDialogRuns, 2);
    EXPECT_TRUE(watcher.seen.empty());
}

// An object whose event handler fails, as a command does.
class TFailingObject : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) throw std::runtime_error("Unable to read the file.");
        return QObject::event(e);
    }
};

TEST(ApplicationErrorHandler, ShowsTheMessageAndCarriesOn)
{
    auto& app = test::testApp();
    TFailingObject failing;
    TMessageBoxWatcher watcher;
    QEvent ev(QEvent::User);
    EXPECT_NO_THROW(app.notify(&failing, &ev));
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].title, "Velmora");
    EXPECT_EQ(watcher.seen[0].text, "Unable to read the file.");

    // Delivered through the event loop, the program still goes on.
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    ASSERT_EQ(watcher.seen.size(), 2u);
    EXPECT_EQ(watcher.seen[1].text, "Unable to read the file.");
}

TEST(ApplicationErrorHandler, RunCommandReportsFailureAndResetsTheBusyCursor)
{
    test::testApp();
    TMessageBoxWatcher watcher;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    EXPECT_FALSE(runCommand([] { throw std::runtime_error("Unable to save scene."); }));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].text, "Unable to save scene.");
    EXPECT_TRUE(runCommand([] {}));
}

} // namespace
} // namespace velmora
