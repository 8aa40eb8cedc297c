#include "BoxTestSupport.h"

#include "box/FaceHandOff.h"
#include "pictures/Picture.h"

#include <fstream>
#include <stdexcept>

namespace velmora {
namespace {

using test::BoxModelTest;

struct FaceHandOffTest : BoxModelTest {
    TGLTexture& texture(TBoxFace f) { return scene().facePlane(f)->Material().Texture(); }
    TFaceEditorSize size(TBoxFace f) { return faceEditorSize(m, f); }
    // Six faces in the order front, back, left, right, top, bottom.
    std::vector<TFaceEditorSize> sizes()
    {
        std::vector<TFaceEditorSize> all;
        for (TBoxFace f :
             {TBoxFace::Front, TBoxFace::Back, TBoxFace::Left, TBoxFace::Right, TBoxFace::Top, TBoxFace::Bottom})
            all.push_back(size(f));
        return all;
    }
    // A 2 x 1 24-bit BMP of one colour.
    static void writeBmp(const std::string& file, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    {
        const unsigned char header[54] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                                          0,   0,   0,  2, 0, 0, 0, 1, 0, 0, 0,  1, 0, 24, 0};
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header), 54);
        const unsigned char row[8] = {b, g, r, b, g, r, 0, 0};
        out.write(reinterpret_cast<const char*>(row), 8);
        if (!out) throw std::runtime_error("Cannot create file " + file);
    }
};

TEST_F(FaceHandOffTest, EditorSizesFollowTheFacePlanes)
{
    const std::vector<TFaceEditorSize> standard{{919, 1124}, {919, 1124}, {304, 1124},
                                                {304, 1124}, {919, 304},  {919, 304}};
    EXPECT_EQ(sizes(), standard) << "the default box";
    m.btnCDClick();
    EXPECT_EQ(sizes(),
              (std::vector<TFaceEditorSize>{{816, 734}, {816, 734}, {151, 734}, {151, 734}, {816, 151}, {816, 151}}));
    m.btnDVDClick();
    EXPECT_EQ(sizes(),
              (std::vector<TFaceEditorSize>{{796, 919}, {796, 919}, {171, 919}, {171, 919}, {796, 171}, {796, 171}}));
    m.btnStandardClick();
    EXPECT_EQ(sizes(), standard);
    m.tbBoxWidth.setPosition(1);
    m.tbBoxHeight.setPosition(1);
    EXPECT_EQ(size(TBoxFace::Front), (TFaceEditorSize{110, 110}));
}

TEST_F(FaceHandOffTest, StoredScalesOutsideTheSlidersStayUsable)
{
    TGLPlane& front = *scene().facePlane(TBoxFace::Front);
    front.Scale().SetX(-3); // a mirrored face of an odd scene
    front.Scale().SetY(1e9f);
    EXPECT_EQ(faceEditorSize(front), (TFaceEditorSize{1, 8192}));
    front.Scale().SetX(std::nanf(""));
    EXPECT_EQ(faceEditorSize(front).Width, 1);
}

TEST_F(FaceHandOffTest, AcceptedFaceLoadsLikeAPictureAndTheWorkingFileGoes)
{
    m.New1Click(); // the second New switches every texture off
    ASSERT_TRUE(texture(TBoxFace::Front).Disabled());
    std::string written;
    handBackFace(m, TBoxFace::Front, [&](const std::string& file) {
        written = file;
        writeBmp(file, 255, 0, 0);
    });
    EXPECT_EQ(written, faceWorkingFile(m));
    EXPECT_EQ(std::filesystem::path(written).filename(), "Face.bmp");
    EXPECT_FALSE(std::filesystem::exists(written));
    EXPECT_FALSE(texture(TBoxFace::Front).Disabled());
    TPicture& picture = *texture(TBoxFace::Front).PictureImage().Picture();
    EXPECT_EQ(picture.Width(), 2);
    EXPECT_EQ(picture.Height(), 1);
    EXPECT_TRUE(texture(TBoxFace::Back).Disabled());
}

TEST_F(FaceHandOffTest, FailuresLeaveTheFaceAndNoWorkingFile)
{
    TPicture& picture = *texture(TBoxFace::Top).PictureImage().Picture();
    const int w = picture.Width(), h = picture.Height();
    // Written but unreadable.
    EXPECT_ANY_THROW(handBackFace(
        m, TBoxFace::Top, [](const std::string& file) { std::ofstream(file, std::ios::binary) << "not a bitmap"; }));
    EXPECT_FALSE(std::filesystem::exists(faceWorkingFile(m)));
    // Not written at all (the working folder could not take it).
    EXPECT_THROW(handBackFace(m, TBoxFace::Top,
                              [](const std::string& file) { throw std::runtime_error("Cannot create file " + file); }),
                 std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(faceWorkingFile(m)));
    EXPECT_EQ(texture(TBoxFace::Top).PictureImage().Picture()->Width(), w);
    EXPECT_EQ(texture(TBoxFace::Top).PictureImage().Picture()->Height(), h);
}

} // namespace
} // namespace velmora
