#include "BoxTestSupport.h"

#include "box/FacePick.h"
#include "pictures/Picture.h"

namespace velmora {
namespace {

using test::BoxModelTest;

std::string facePicture(const char* name)
{
    return test::resourcesFolder() + "Faces/" + name;
}

struct FaceLoadingTest : BoxModelTest {
    TGLTexture& texture(TBoxFace f) { return scene().facePlane(f)->Material().Texture(); }
    TPicture& picture(TBoxFace f) { return *texture(f).PictureImage().Picture(); }
    std::vector<bool> enabledFaces()
    {
        std::vector<bool> on;
        for (TBoxFace f : AllBoxFaces) on.push_back(!texture(f).Disabled());
        return on;
    }
};

TEST_F(FaceLoadingTest, CancellingTheDialogLeavesAFaceDisabledByNewAlone)
{
    m.New1Click(); // the second New disables every texture
    const TGraphic* before = picture(TBoxFace::Front).Graphic();
    m.Front1.setEnabled(true);
    m.Front1Click();
    EXPECT_EQ(pictureDialogRuns, 1);
    EXPECT_TRUE(texture(TBoxFace::Front).Disabled());
    EXPECT_EQ(picture(TBoxFace::Front).Graphic(), before);
}

TEST_F(FaceLoadingTest, LoadingAfterASecondNewEnablesOnlyThatFace)
{
    m.New1Click();
    pictureAnswer = facePicture("Side.jpg");
    m.Front1Click();
    EXPECT_EQ(picture(TBoxFace::Front).Width(), 166);
    EXPECT_EQ(picture(TBoxFace::Front).Height(), 1010);
    EXPECT_EQ(enabledFaces(), (std::vector<bool>{true, false, false, false, false, false}));
    // Each Load button does what its menu item does.
    pictureAnswer = facePicture("Top.jpg");
    m.SpeedButton7.click(); // "Right:"
    EXPECT_EQ(picture(TBoxFace::Right).Width(), 800);
    EXPECT_EQ(enabledFaces(), (std::vector<bool>{true, false, false, false, false, true}));
    m.SpeedButton10.click(); // "Bottom:"
    m.SpeedButton9.click();  // "Top:"
    m.SpeedButton8.click();  // "Left:"
    m.SpeedButton6.click();  // "Back:"
    EXPECT_EQ(enabledFaces(), std::vector<bool>(6, true));
    EXPECT_EQ(picture(TBoxFace::Left).Height(), 120);
    EXPECT_EQ(pictureDialogRuns, 6);
}

TEST_F(FaceLoadingTest, AnUnreadableFileLeavesThePictureAndItsSwitch)
{
    m.New1Click();
    const test::ScratchDir scratch("velmora-faces");
    const auto& dir = scratch.path;
    const std::string damaged = (dir / "broken.jpg").string();
    test::writeFile(damaged, "\xFF\xD8\xFF\xE0 not really a JPEG");
    const std::string unknown = (dir / "notes.txt").string();
    test::writeFile(unknown, "hello");
    const TGraphic* before = picture(TBoxFace::Top).Graphic();

    struct Case {
        std::string file, message;
    };
    for (const Case& c : {Case{unknown, "Unknown picture file extension (.txt)"},
                          Case{(dir / "gone.bmp").string(), "Could not open file: " + (dir / "gone.bmp").string()},
                          Case{damaged, ""}}) {
        pictureAnswer = c.file;
        try {
            m.Top1Click();
            ADD_FAILURE() << c.file << " loaded";
        } catch (const std::exception& e) {
            if (!c.message.empty()) EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(picture(TBoxFace::Top).Graphic(), before) << c.file;
        EXPECT_TRUE(texture(TBoxFace::Top).Disabled()) << c.file;
    }
    // An enabled face stays enabled after a failure too.
    pictureAnswer = facePicture("Top.jpg");
    m.Top1Click();
    pictureAnswer = unknown;
    EXPECT_ANY_THROW(m.Top1Click());
    EXPECT_FALSE(texture(TBoxFace::Top).Disabled());
}

TEST_F(FaceLoadingTest, OtherBoxTypesDoNotEvenAsk)
{
    m.BoxType = 0;
    pictureAnswer = facePicture("Side.jpg");
    m.Back1Click();
    m.SpeedButton2.click();
    EXPECT_EQ(pictureDialogRuns, 0);
    EXPECT_EQ(picture(TBoxFace::Back).Width(), 800);
}

TEST_F(FaceLoadingTest, TheDialogOffersThePictureFormats)
{
    const std::string filter = TfrmMainModel::OpenPictureDialog1Filter;
    EXPECT_EQ(filter.rfind("All (*.dds;*.tga;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.psd;*.gif)|", 0), 0u);
    EXPECT_NE(filter.find("|Bitmaps (*.bmp)|*.bmp|"), std::string::npos);
    EXPECT_EQ(std::count(filter.begin(), filter.end(), '|'), 21);
    EXPECT_STREQ(TfrmMainModel::OpenPictureDialog1DefaultExt, "*.bmp");
}

TEST(BoxFaceNames, RoundTrip)
{
    for (TBoxFace f : AllBoxFaces) EXPECT_EQ(boxFaceFromName(boxFaceName(f)), f);
    EXPECT_FALSE(boxFaceFromName("Front"));
    EXPECT_FALSE(boxFaceFromName(""));
}

// ---- Drop target ----

// Where a world point shows in a w x h viewer: a plain pinhole through the
// camera's position toward the point of focus at the origin, with the focal
// length of 400 at 96 pixels per inch.
std::pair<double, double> project(const TVector& eye, int w, int h, double x, double y, double z)
{
    const double f[3] = {-eye.X, -eye.Y, -eye.Z};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    const double fw[3] = {f[0] / fl, f[1] / fl, f[2] / fl};
    double s[3] = {fw[1], -fw[0], 0}; // forward x (0, 0, 1)
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1]);
    s[0] /= sl, s[1] /= sl;
    const double u[3] = {s[1] * fw[2], -s[0] * fw[2], s[0] * fw[1] - s[1] * fw[0]};
    const double p[3] = {x - eye.X, y - eye.Y, z - eye.Z};
    const double depth = p[0] * fw[0] + p[1] * fw[1] + p[2] * fw[2];
    const double pixelsPerUnit = 400.0 * 2 * 96 / 25.4; // per unit of depth
    return {w / 2.0 + (p[0] * s[0] + p[1] * s[1]) / depth * pixelsPerUnit,
            h / 2.0 - (p[0] * u[0] + p[1] * u[1] + p[2] * u[2]) / depth * pixelsPerUnit};
}

struct DropTargetTest : FaceLoadingTest {
    static constexpr int W = 492, H = 473;
    std::optional<TBoxFace> at(double x, double y, double z)
    {
        const auto [px, py] = project(scene().GLCamera1->WorldPosition(), W, H, x, y, z);
        EXPECT_TRUE(px > 0 && px < W && py > 0 && py < H) << x << " " << y << " " << z << ": " << px << " " << py;
        return faceAtViewerPixel(scene(), W, H, px, py);
    }
};

TEST_F(DropTargetTest, EachVisibleFaceOfTheDefaultViewIsFoundAndNothingElse)
{
    // The default view shows the front (+X), the right side (+Y) and the top.
    EXPECT_EQ(at(0.1, 0, 0), TBoxFace::Front);
    EXPECT_EQ(at(0.1, -0.3, 0.4), TBoxFace::Front);
    EXPECT_EQ(at(0.1, 0.35, -0.45), TBoxFace::Front);
    EXPECT_EQ(at(0, 0.4, 0), TBoxFace::Right);
    EXPECT_EQ(at(-0.05, 0.4, 0.3), TBoxFace::Right);
    EXPECT_EQ(at(0, 0, 0.5), TBoxFace::Top);
    EXPECT_EQ(at(0.05, -0.3, 0.5), TBoxFace::Top);
    // The floor in front of the box, its reflection, and the background.
    EXPECT_EQ(at(0.12, -0.3, -0.5), std::nullopt);
    EXPECT_EQ(at(0.15, -0.45, -0.5), std::nullopt);
    EXPECT_EQ(at(0, 0.5, -0.5), std::nullopt);
    EXPECT_EQ(at(0.1, -0.35, -0.52), std::nullopt); // the front face's reflection
    EXPECT_EQ(faceAtViewerPixel(scene(), W, H, 3, 3), std::nullopt);
    EXPECT_EQ(faceAtViewerPixel(scene(), W, H, W - 3, 3), std::nullopt);
    // No viewer size, no face.
    EXPECT_EQ(faceAtViewerPixel(scene(), 0, 0, 0, 0), std::nullopt);
}

TEST_F(DropTargetTest, TheFaceFollowsTheCameraAndTheBoxSize)
{
    // From the other side the back and the left side are in view.
    scene().GLCamera1->OrbitAroundTarget(0, 180);
    const auto [bx, by] = project(scene().GLCamera1->WorldPosition(), W, H, -0.1, 0, 0);
    EXPECT_EQ(faceAtViewerPixel(scene(), W, H, bx, by), TBoxFace::Back);
    const auto [lx, ly] = project(scene().GLCamera1->WorldPosition(), W, H, 0, -0.4, 0);
    EXPECT_EQ(faceAtViewerPixel(scene(), W, H, lx, ly), TBoxFace::Left);
    scene().GLCamera1->OrbitAroundTarget(0, 180);

    // A narrower box leaves the old edge of the front face on the floor.
    const auto [ex, ey] = project(scene().GLCamera1->WorldPosition(), W, H, 0.1, -0.35, -0.45);
    EXPECT_EQ(faceAtViewerPixel(scene(), W, H, ex, ey), TBoxFace::Front);
    m.tbBoxWidth.setPosition(40);
    EXPECT_NE(faceAtViewerPixel(scene(), W, H, ex, ey), TBoxFace::Front);
}

TEST_F(DropTargetTest, DroppingAPictureFillsTheFaceUnderThePointer)
{
    const auto [fx, fy] = project(scene().GLCamera1->WorldPosition(), W, H, 0.1, 0, 0);
    std::vector<const TGraphic*> before;
    for (TBoxFace f : AllBoxFaces) before.push_back(picture(f).Graphic());
    m.formDropFile(facePicture("Side.jpg"), true, fx, fy, W, H);
    EXPECT_EQ(picture(TBoxFace::Front).Width(), 166);
    EXPECT_NE(picture(TBoxFace::Front).Graphic(), before[0]);

    // On the floor, off the viewer, or while the box type is not 1: nothing.
    const auto [gx, gy] = project(scene().GLCamera1->WorldPosition(), W, H, 0.12, -0.3, -0.5);
    const auto [tx, ty] = project(scene().GLCamera1->WorldPosition(), W, H, 0, 0, 0.5);
    m.formDropFile(facePicture("Front.jpg"), true, gx, gy, W, H);
    m.formDropFile(facePicture("Front.jpg"), false, tx, ty, W, H);
    m.BoxType = 0;
    m.formDropFile(facePicture("Front.jpg"), true, tx, ty, W, H);
    m.BoxType = 1;
    for (std::size_t i = 1; i < before.size(); ++i)
        EXPECT_EQ(picture(AllBoxFaces[i]).Graphic(), before[i]) << boxFaceName(AllBoxFaces[i]);

    // A file no reader takes fails with the reader's message and changes nothing.
    const test::ScratchDir scratch("velmora-drop");
    const auto& dir = scratch.path;
    const std::string text = (dir / "readme.txt").string();
    test::writeFile(text, "not a picture");
    try {
        m.formDropFile(text, true, tx, ty, W, H);
        ADD_FAILURE();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Unknown picture file extension (.txt)");
    }
    EXPECT_EQ(picture(TBoxFace::Top).Graphic(), before[2]);
}

TEST_F(DropTargetTest, DroppingASceneOpensItAsOpenDoes)
{
    std::vector<std::pair<std::string, int>> opened;
    m.OpenScene = [&](const std::string& p, int f) { opened.emplace_back(p, f); };
    m.Close1Click(); // anywhere on the window, also without an open scene
    m.formDropFile("/tmp/box.VLM", false, 0, 0, 0, 0);
    EXPECT_TRUE(m.sceneOpen()); // New came first
    m.formDropFile("/tmp/old.gls", true, 10, 10, W, H);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], std::make_pair(std::string("/tmp/box.VLM"), 0));
    EXPECT_EQ(opened[1].first, "/tmp/old.gls");
    EXPECT_TRUE(TfrmMainModel::isSceneFileName("a/b.Gls"));
    EXPECT_FALSE(TfrmMainModel::isSceneFileName("a/gls"));
    EXPECT_FALSE(TfrmMainModel::isSceneFileName("box.vlm.jpg"));
}

} // namespace
} // namespace velmora
