#include "GuiTestSupport.h"
#include "app/AppTestSupport.h"

#include "app/Unit1.h"
#include "app/viewer/GLSceneViewer.h"
#include "box/BoxScene.h"
#include "pictures/Picture.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace velmora {
namespace {

[[maybe_unused]] auto* const display = ::testing::AddGlobalTestEnvironment(new test::VirtualDisplay);

using test::resourcesFolder;

using test::settle;

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VELMORA_REQUIRE_DISPLAY();
        test::testApp();
        w = std::make_unique<TfrmMain>(VELMORA_BIN_DIR "/", "/tmp/");
        w->show();
        w->New1Click();
        settle(30);
        viewer = dynamic_cast<TGLSceneViewer*>(w->GLSceneViewer1);
        ASSERT_NE(viewer, nullptr) << "the window has no OpenGL viewer on this display";
        ASSERT_TRUE(viewer->HasContext());
        box = w->model().boxScene();
        ASSERT_NE(box, nullptr);
    }
    void TearDown() override
    {
        if (w) w->hide();
        settle(2);
    }

    TVector offset() { return vectorSubtract(box->GLCamera1->WorldPosition(), box->GLPoints1->WorldPosition()); }
    double dist() { return vectorLength(offset()); }
    double azimuth() { return std::atan2(offset().Y, offset().X); }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QMouseEvent e(type, QPointF(at), viewer->mapToGlobal(QPointF(at)), button, held, mods);
        QCoreApplication::sendEvent(viewer, &e);
    }
    // A drag in steps, as a hand would move the pointer.
    void drag(QPoint from, QPoint to, Qt::MouseButton button, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        mouse(QEvent::MouseButtonPress, from, button, button, mods);
        for (int i = 1; i <= 5; ++i) mouse(QEvent::MouseMove, from + (to - from) * i / 5, Qt::NoButton, button, mods);
        mouse(QEvent::MouseButtonRelease, to, button, Qt::NoButton, mods);
        settle(3);
    }
    QImage frame()
    {
        settle(3);
        return viewer->grabFramebuffer();
    }
    void screenshot(const char* name)
    {
        test::displayScreenshot(name, [] { settle(20); });
    }

    std::unique_ptr<TfrmMain> w;
    TGLSceneViewer* viewer = nullptr;
    TBoxScene* box = nullptr;
};

TEST_F(GuiTest, DraggingAcrossTheViewerMovesTheCameraAsTheTableSays)
{
    const QImage before = frame();
    const double d0 = dist(), h0 = offset().Z, a0 = azimuth();
    const QPoint c(viewer->width() / 2, viewer->height() / 2);

    // Left drag 40 pixels to the left: 40 degrees around the focus, same height and distance.
    drag(c, c - QPoint(40, 0), Qt::LeftButton);
    EXPECT_NEAR(azimuth() - a0, 40 * std::numbers::pi / 180, 1e-4);
    EXPECT_NEAR(offset().Z, h0, 1e-4);
    EXPECT_NEAR(dist(), d0, 1e-4);
    EXPECT_NE(frame(), before); // the viewer repainted with the new view

    // Right drag 10 pixels up: 1.1 times the distance.
    drag(c, c - QPoint(0, 10), Qt::RightButton);
    EXPECT_NEAR(dist() / d0, 1.1, 1e-4);

    // Ctrl with the left button, 100 pixels down: the rig rises one unit.
    drag(c, c + QPoint(0, 100), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_NEAR(box->DummyCube1->Position().Z(), 1, 1e-5);
    EXPECT_NEAR(dist() / d0, 1.1, 1e-4);

    // The wheel over the viewer: one notch away divides... multiplies by 1.1.
    const double d1 = dist();
    QWheelEvent wheel(QPointF(c), viewer->mapToGlobal(QPointF(c)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewer, &wheel);
    EXPECT_NEAR(dist() / d1, 1.1, 1e-4);

    // Held with Alt the window system reports the wheel as horizontal: it
    // still zooms, as modifiers change nothing; a sideways scroll does not.
    QWheelEvent altWheel(QPointF(c), viewer->mapToGlobal(QPointF(c)), QPoint(), QPoint(-120, 0), Qt::NoButton,
                         Qt::AltModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewer, &altWheel);
    EXPECT_NEAR(dist() / d1, 1.0, 1e-4);
    QWheelEvent sideways(QPointF(c), viewer->mapToGlobal(QPointF(c)), QPoint(), QPoint(120, 0), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewer, &sideways);
    EXPECT_NEAR(dist() / d1, 1.0, 1e-4);
    QWheelEvent altAway(QPointF(c), viewer->mapToGlobal(QPointF(c)), QPoint(), QPoint(120, 0), Qt::NoButton,
                        Qt::AltModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewer, &altAway);
    EXPECT_NEAR(dist() / d1, 1.1, 1e-4);

    // Up arrow with the viewer focused (New gives it the focus) zooms in; with
    // a button focused it does not.
    EXPECT_EQ(w->focusWidget(), viewer);
    viewer->setFocus();
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(viewer, &up);
    EXPECT_NEAR(dist() / d1, 1.0, 1e-4);
    w->btnRefreshScene->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(w->btnRefreshScene, &down);
    EXPECT_NEAR(dist() / d1, 1.0, 1e-4);

    // The wheel anywhere in the window zooms too, but not while the scene is closed.
    QWheelEvent overTabs(QPointF(5, 5), w->controlTabs->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w->controlTabs, &overTabs);
    EXPECT_NEAR(dist() / d1, 1 / 1.1, 1e-4);
    w->Close1Click();
    settle(2);
    QWheelEvent overPanel(QPointF(5, 5), w->pnlMainMenu->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w->pnlMainMenu, &overPanel);
    EXPECT_NEAR(dist() / d1, 1 / 1.1, 1e-4);
}

// Answers the picture dialog with a file, remembering how it was opened.
struct PictureDialogAnswer {
    explicit PictureDialogAnswer(std::string file) : File(std::move(file))
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (Busy) return;
            QFileDialog* d = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* f = qobject_cast<QFileDialog*>(top); f && f->isVisible()) d = f;
            if (!d || d != Seen) {
                Seen = d; // answered on the next tick, once it has settled
                return;
            }
            Busy = true;
            Filters = d->nameFilters();
            Preselected = d->selectedFiles();
            Suffix = d->defaultSuffix();
            ++Runs;
            if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QString::fromStdString(File));
            else
                d->selectFile(QString::fromStdString(File));
            static_cast<QDialog*>(d)->accept();
            Busy = false;
        });
        timer.start();
    }
    std::string File;
    QStringList Filters, Preselected;
    QString Suffix;
    int Runs = 0;
    QFileDialog* Seen = nullptr;
    bool Busy = false;
    QTimer timer;
};

TEST_F(GuiTest, APictureLoadedThroughTheDialogFillsTheFrontFace)
{
    w->New1Click(); // a second New: every face untextured
    settle(10);
    const QImage untextured = frame();
    TGLTexture& front = box->PLFront->Material().Texture();
    ASSERT_TRUE(front.Disabled());
    {
        PictureDialogAnswer answer(resourcesFolder() + "Faces/Side.jpg");
        w->Front1->trigger();
        EXPECT_EQ(answer.Runs, 1);
        ASSERT_FALSE(answer.Filters.isEmpty());
        EXPECT_EQ(answer.Filters.first().toStdString(),
                  "All (*.dds *.tga *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.psd *.gif)");
        EXPECT_EQ(answer.Filters.size(), 11);
        EXPECT_EQ(answer.Suffix.toStdString(), "bmp");
    }
    EXPECT_FALSE(front.Disabled());
    EXPECT_TRUE(box->PLBack->Material().Texture().Disabled());
    EXPECT_EQ(front.PictureImage().Picture()->Width(), 166);
    EXPECT_NE(frame(), untextured);

    // A damaged file: the reader's message, and the face keeps its picture.
    const test::ScratchDir scratch("velmora-gui");
    const std::filesystem::path bad = scratch / "damaged.jpg";
    test::writeFile(bad, "\xFF\xD8 damaged");
    const TGraphic* kept = front.PictureImage().Picture()->Graphic();
    test::TMessageBoxWatcher messages;
    {
        PictureDialogAnswer answer(bad.string());
        w->findChild<QPushButton*>(QStringLiteral("SpeedButton2"))->click(); // "Load" of the front row
        EXPECT_EQ(answer.Runs, 1);
        EXPECT_TRUE(answer.Preselected.isEmpty() || answer.Preselected.first().isEmpty() ||
                    !answer.Preselected.first().endsWith(QStringLiteral("Side.jpg")));
    }
    ASSERT_EQ(messages.seen.size(), 1u);
    EXPECT_NE(messages.seen[0].text.find("JPEG"), std::string::npos) << messages.seen[0].text;
    EXPECT_EQ(front.PictureImage().Picture()->Graphic(), kept);
    EXPECT_FALSE(front.Disabled());
}

TEST_F(GuiTest, SwitchingTheDropShadowOnHidesTheReflection)
{
    w->controlTabs->setCurrentIndex(1);
    settle(5);
    screenshot("reflection-opacity-5");
    const QImage reflected = frame();
    w->cbDropShadow->click();
    settle(5);
    EXPECT_TRUE(w->cbDropShadow->isChecked());
    EXPECT_FALSE(w->cbReflection->isChecked());
    EXPECT_FALSE(w->tbReflectionOpacity->isEnabled());
    EXPECT_TRUE(w->tbDropShadowWidth->isEnabled());
    EXPECT_TRUE(w->btnRefreshShadow->isEnabled());
    EXPECT_TRUE(box->GLDropShadow->Visible());
    EXPECT_FALSE(box->GLMirror1->Visible());
    const QImage shadowed = frame();
    EXPECT_NE(shadowed, reflected);
    // Below the box the reflection is gone: the floor area is background.
    const QRgb corner = shadowed.pixel(shadowed.width() / 2, shadowed.height() - 3);
    EXPECT_GE(qRed(corner), 250);
    EXPECT_GE(qGreen(corner), 250);

    // A red background for the screenshot of the shadow.
    w->model().RunColorDialog = [](std::uint32_t) { return std::optional<std::uint32_t>(0x0000FF); };
    w->btnChangeBackroundColor->click();
    const QImage red = frame();
    const QRgb px = red.pixel(3, 3);
    EXPECT_GE(qRed(px), 250);
    EXPECT_LE(qGreen(px), 5);
    screenshot("drop-shadow-red");
}

TEST_F(GuiTest, DroppingFilesOnTheWindow)
{
    // Find a viewer point that shows the front face.
    QPoint onFront(-1, -1), onNothing(2, 2);
    for (int y = 0; y < viewer->height() && onFront.x() < 0; y += 8)
        for (int x = 0; x < viewer->width(); x += 8)
            if (w->model().faceAtViewerPoint(x, y, viewer->width(), viewer->height()) == TBoxFace::Front) {
                onFront = QPoint(x, y);
                break;
            }
    ASSERT_GE(onFront.x(), 0);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(resourcesFolder() + "Faces/Side.jpg"))});
    auto at = [&](QPoint viewerPoint) { return QPointF(viewer->mapTo(w.get(), viewerPoint)); };

    QDragEnterEvent enter(at(onNothing).toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent overNothing(at(onNothing).toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &overNothing);
    EXPECT_FALSE(overNothing.isAccepted()); // a picture cannot land on the background
    QDragMoveEvent overFront(at(onFront).toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &overFront);
    EXPECT_TRUE(overFront.isAccepted());
    QDropEvent drop(at(onFront), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &drop);
    settle(5);
    EXPECT_EQ(box->PLFront->Material().Texture().PictureImage().Picture()->Width(), 166);

    // A scene file opens wherever it is dropped, as Open does.
    std::vector<std::pair<std::string, int>> opened;
    w->model().OpenScene = [&](const std::string& p, int f) { opened.emplace_back(p, f); };
    QMimeData scene;
    scene.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/some box.vlm"))});
    const QPointF onTabs(w->controlTabs->mapTo(w.get(), w->controlTabs->rect().center()));
    QDragEnterEvent sceneEnter(onTabs.toPoint(), Qt::CopyAction, &scene, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &sceneEnter);
    QDragMoveEvent overTabs(onTabs.toPoint(), Qt::CopyAction, &scene, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &overTabs);
    EXPECT_TRUE(overTabs.isAccepted());
    QDropEvent sceneDrop(onTabs, Qt::CopyAction, &scene, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &sceneDrop);
    settle(5);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, "/tmp/some box.vlm");
}

} // namespace
} // namespace velmora
