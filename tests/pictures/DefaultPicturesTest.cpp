#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace velmora;

namespace {
// The committed resources folder of the source tree.
const std::string resources =
    (std::filesystem::path(VELMORA_TEST_DATA) / "../../resources/").lexically_normal().string();
}

TEST(DefaultPictures, FacesHaveTheDefaultSizes)
{
    struct Face {
        const char* file;
        int w, h;
    } faces[] = {{"Faces/Front.jpg", 800, 1010}, {"Faces/Side.jpg", 166, 1010}, {"Faces/Top.jpg", 800, 120}};
    for (const Face& f : faces) {
        TPicture pic;
        pic.LoadFromFile(resources + f.file);
        ASSERT_STREQ(pic.Graphic()->ClassName(), "TJPEGImage") << f.file;
        EXPECT_EQ(pic.Width(), f.w) << f.file;
        EXPECT_EQ(pic.Height(), f.h) << f.file;
        auto* j = dynamic_cast<TJPEGImage*>(pic.Graphic());
        EXPECT_FALSE(j->ProgressiveEncoding());
        TGLBitmap32 px = convertToBitmap32(pic);
        EXPECT_EQ(px.Width, (f.w + 3) / 4 * 4);
    }
}

TEST(DefaultPictures, ShadowKeepsItsSoftEdgeInTheTexture)
{
    TPicture pic;
    textureImageLoadFromFile(pic, resources + "Media/Shadow.tga");
    auto* b = dynamic_cast<TBitmap*>(pic.Graphic());
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->PixelFormat(), TPixelFormat::pf32bit);
    TGLBitmap32 px = convertToBitmap32(pic);
    ASSERT_EQ(px.Width, 256);
    ASSERT_EQ(px.Height, 256);
    auto alpha = [&](int x, int y) { return px.Data[(std::size_t(y) * 256 + x) * 4 + 3]; };
    auto rgbSum = [&](int x, int y) {
        const std::uint8_t* p = &px.Data[(std::size_t(y) * 256 + x) * 4];
        return p[0] + p[1] + p[2];
    };
    EXPECT_EQ(alpha(128, 128), 255);
    EXPECT_EQ(alpha(70, 128), 255);
    EXPECT_LE(alpha(0, 128), 10);
    EXPECT_GE(alpha(0, 128), 3);
    EXPECT_LE(alpha(0, 0), 10);
    EXPECT_EQ(rgbSum(128, 128), 0);
    // Falls without steps from the inside to the border.
    for (int x = 1; x < 128; ++x) {
        EXPECT_LE(alpha(x - 1, 128), alpha(x, 128));
        EXPECT_LE(alpha(x, 128) - alpha(x - 1, 128), 8);
    }
}
