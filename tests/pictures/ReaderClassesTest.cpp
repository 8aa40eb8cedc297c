#include "PictureTestSupport.h"

#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// A 40 x 9 picture, red to blue, alpha falling from opaque to clear.
std::string alphaPng()
{
    const std::string png = (tempDir() / "ralpha.png").string();
    if (!run("convert -size 40x9 gradient:red-blue \\( -size 40x9 gradient:white-black \\) "
             "-alpha off -compose CopyOpacity -composite " +
             png))
        return {};
    return png;
}

} // namespace

TEST(ReaderClasses, PngAlphaReachesTheTextureAndTheStoredBitmap)
{
    VELMORA_REQUIRE_TOOLS("convert");
    const std::string png = alphaPng();
    ASSERT_FALSE(png.empty());
    TDecodedImage ref;
    ASSERT_TRUE(run("convert " + png + " -depth 8 PAM:" + png + ".pam"));
    ASSERT_TRUE(readNetpbm(png + ".pam", ref));
    TPicture pic;
    ASSERT_NO_THROW(pic.LoadFromFile(png));
    ASSERT_STREQ(pic.Graphic()->ClassName(), "TPNGGraphic");
    auto* b = dynamic_cast<TBitmap*>(pic.Graphic());
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->PixelFormat(), TPixelFormat::pf32bit);

    // Width 40 is divisible by 4, so the alpha survives into the texture.
    TGLBitmap32 px = convertToBitmap32(pic);
    ASSERT_EQ(px.Width, 40);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 40; ++x) {
            const std::uint8_t* t = px.scanLine(8 - y) + 4 * x;
            const std::uint8_t* r = ref.row(y) + 4 * x;
            // The gradient is a 16-bit PNG; ImageMagick's reduction to 8 bits
            // rounds some samples one step away from the exact v * 255 / 65535.
            ASSERT_NEAR(t[0], r[2], 1);
            ASSERT_NEAR(t[2], r[0], 1);
            ASSERT_NEAR(t[3], r[3], 1) << x << "," << y;
        }

    // Stored in a scene as a 32-bit BMP under the reader's class name.
    const Bytes block = pic.WriteData();
    TPicture back;
    back.ReadData(block.data(), block.size());
    ASSERT_STREQ(back.Graphic()->ClassName(), "TPNGGraphic");
    EXPECT_EQ(back.Graphic()->Raster().Pixels, b->Raster().Pixels);
    EXPECT_EQ(back.WriteData(), block);
}

TEST(ReaderClasses, IconsDrawOverWhiteAndStoreTheirFile)
{
    VELMORA_REQUIRE_TOOLS("convert");
    const std::string png = alphaPng();
    ASSERT_FALSE(png.empty());
    const std::string ico = (tempDir() / "r.ico").string();
    ASSERT_TRUE(run("convert " + png + " -resize 16x16! " + ico));
    TPicture pic;
    ASSERT_NO_THROW(pic.LoadFromFile(ico));
    ASSERT_STREQ(pic.Graphic()->ClassName(), "TIcon");
    const TDecodedImage& img = pic.Graphic()->Raster();
    ASSERT_EQ(img.Format, TPixelFormat::pf32bit);
    TGLBitmap32 px = convertToBitmap32(pic);
    ASSERT_EQ(px.Width, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* s = img.row(y) + 4 * x;
            const std::uint8_t* t = px.scanLine(15 - y) + 4 * x;
            const int a = s[3];
            EXPECT_EQ(t[3], 255);
            EXPECT_NEAR(t[0], (s[2] * a + 255 * (255 - a)) / 255.0, 1.0);
        }
    const Bytes block = pic.WriteData();
    const Bytes file = readFile(ico);
    ASSERT_EQ(block.size(), 1 + 5 + 4 + file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), block.begin() + 10));
}
