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
#include <QToolButton>

#include <filesystem>

namespace velmora {
namespace {

using test::settle;

void rootScreenshot(const char* name)
{
    test::displayScreenshot(name, [] { settle(30); });
}

// The road of a face built in the editor: "New " of the front face, a picture
// layer and a text layer, the text dragged, "&Done", and the face on the box.
TEST(FaceEditorRoad, NewFrontFaceWithAPictureAndTextEndsOnTheBox)
{
    VELMORA_REQUIRE_DISPLAY();
    test::testApp();
    const test::ScratchDir scratch("velmora-road");
    const std::filesystem::path& work = scratch.path;
    auto w = std::make_unique<TfrmMain>(VELMORA_BIN_DIR "/", work.string() + "/");
    w->show();
    w->New1Click();
    settle(30);
    auto* viewer = dynamic_cast<TGLSceneViewer*>(w->GLSceneViewer1);
    ASSERT_NE(viewer, nullptr);
    const QImage before = viewer->grabFramebuffer();

    const std::string picture = test::resourcesFolder() + "Faces/Side.jpg";

    bool ran = false;
    TEditorRoad road;
    w->RunFaceEditor = [&](TfrmFaceEditor& editor) {
        ran = true;
        road = driveEditorRoad(editor, picture, [] { rootScreenshot("face-editor"); });
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
    settle(20);
    EXPECT_NE(viewer->grabFramebuffer(), before) << "the new face shows on the box";
    rootScreenshot("box-with-new-face");
    w.reset();
}

} // namespace
} // namespace velmora
