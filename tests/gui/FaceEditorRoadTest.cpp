#include "GuiTestSupport.h"
#include "app/AppTestSupport.h"

#include "FaceEditorDriver.h"
#include "app/Unit1.h"
#include "app/viewer/GLSceneViewer.h"
#include "box/BoxScene.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QThread>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace velmora {
namespace {

void settleEditor(int rounds = 10)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

void rootScreenshot(const char* name)
{
    const char* dir = std::getenv("VELMORA_SCREENSHOTS");
    if (!dir) return;
    settleEditor(30);
    const std::string cmd = std::string("import -window root ") + dir + "/" + name + ".png";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// The road of a face built in the editor: "New " of the front face, a picture
// layer and a text layer, the text dragged, "&Done", and the face on the box.
TEST(FaceEditorRoad, NewFrontFaceWithAPictureAndTextEndsOnTheBox)
{
    VELMORA_REQUIRE_DISPLAY();
    test::testApp();
    const auto work = std::filesystem::temp_directory_path() / ("velmora-road-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work);
    auto w = std::make_unique<TfrmMain>(VELMORA_BIN_DIR "/", work.string() + "/");
    w->show();
    w->New1Click();
    settleEditor(30);
    auto* viewer = dynamic_cast<TGLSceneViewer*>(w->GLSceneViewer1);
    ASSERT_NE(viewer, nullptr);
    const QImage before = viewer->grabFramebuffer();

    std::string root = VELMORA_TEST_DATA;
    root.resize(root.size() - std::string("tests/data").size());
    const std::string picture = root + "resources/Faces/Side.jpg";

    bool ran = false;
    TEditorRoad road;
    w->RunFaceEditor = [&](TfrmFaceEditor& editor) {
        ran = true;
        road = DriveEditorRoad(editor, picture, [] { rootScreenshot("face-editor"); });
    };
    w->findChild<QPushButton*>(QStringLiteral("btnNewFrontFace"))->click();
    ASSERT_TRUE(ran);
    EXPECT_EQ(road.BaseWidth, 919);
    EXPECT_EQ(road.BaseHeight, 1124);
    EXPECT_EQ(road.LayersAfterPicture, 2) << "the picture and the frame";
    ASSERT_TRUE(road.TextSelected);
    EXPECT_NEAR(road.DraggedLeft - road.PlacedLeft, 60 / 0.35, 3);
    EXPECT_NEAR(road.DraggedTop - road.PlacedTop, 140 / 0.35, 3);
    EXPECT_TRUE(road.Accepted);
    EXPECT_LT(road.DarkestInText, 0x80u) << "the black caption is in the face";

    TGLTexture& front = w->model().boxScene()->PLFront->Material().Texture();
    EXPECT_FALSE(front.Disabled());
    EXPECT_EQ(front.PictureImage().Picture()->Width(), 919);
    EXPECT_EQ(front.PictureImage().Picture()->Height(), 1124);
    EXPECT_FALSE(std::filesystem::exists(work / "Face.bmp"));
    settleEditor(20);
    EXPECT_NE(viewer->grabFramebuffer(), before) << "the new face shows on the box";
    rootScreenshot("box-with-new-face");
    w.reset();
    std::filesystem::remove_all(work);
}

} // namespace
} // namespace velmora
