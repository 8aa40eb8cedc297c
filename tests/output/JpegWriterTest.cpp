#include "output/JpegWriter.h"
#include "output/BmpWriter.h"
#include "pictures/CoreCodecs.h"
#include "pictures/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velmora;

namespace {

TDecodedImage testPicture(int w, int h)
{
    TDecodedImage img;
    img.allocate(w, h, TPixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = img.row(y) + 3 * x;
            p[0] = std::uint8_t(x * 4);       // blue
            p[1] = std::uint8_t(y * 4);       // green
            p[2] = std::uint8_t(255 - x * 2); // red
        }
    return img;
}

int maxDifference(const TDecodedImage& a, const TDecodedImage& b)
{
    int d = 0;
    for (std::size_t i = 0; i < a.Pixels.size(); ++i) d = std::max(d, std::abs(int(a.Pixels[i]) - int(b.Pixels[i])));
    return d;
}

} // namespace

TEST(JpegWriter, BaselineJfifThatDecodesBack)
{
    const TDecodedImage img = testPicture(61, 35);
    const auto jpeg = encodeJpeg(rowsOf(img), 90);
    ASSERT_GT(jpeg.size(), 20u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(std::string(jpeg.begin() + 6, jpeg.begin() + 10), "JFIF");
    bool baseline = false;
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        ASSERT_FALSE(jpeg[i] == 0xFF && jpeg[i + 1] == 0xC2) << "progressive frame";
        baseline = baseline || (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0);
    }
    EXPECT_TRUE(baseline);

    TDecodedImage back;
    decodeJpeg(jpeg.data(), jpeg.size(), back);
    ASSERT_EQ(back.Width, 61);
    ASSERT_EQ(back.Height, 35);
    EXPECT_LT(maxDifference(img, back), 24); // channels not swapped, rows not flipped

    // Quality is honoured, and R,G,B rows give the same file as B,G,R rows.
    EXPECT_LT(encodeJpeg(rowsOf(img), 20).size(), jpeg.size());
    std::vector<std::uint8_t> rgb(img.Pixels);
    for (std::size_t i = 0; i < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
    EXPECT_EQ(encodeJpeg({rgb.data(), 61, 35, 61 * 3, false}, 90), jpeg);
}

TEST(JpegWriter, RefusesImpossibleInputAndUnwritableFiles)
{
    EXPECT_THROW(encodeJpeg({nullptr, 0, 10, 0, true}), EPictureError);
    EXPECT_THROW(encodeJpeg({nullptr, 70000, 1, 0, true}), EPictureError);
    const TDecodedImage img = testPicture(8, 8);
    try {
        saveJpegFile("/nonexistent-folder/shot.jpg", rowsOf(img));
        FAIL();
    } catch (const EPictureError& e) {
        EXPECT_STREQ(e.what(), "Cannot create file /nonexistent-folder/shot.jpg");
    }
}

TEST(BmpWriter, TwentyFourBitFileReadByNetpbm)
{
    const TDecodedImage img = testPicture(13, 5); // rows need padding
    const auto bmp = encodeBmp24(rowsOf(img));
    ASSERT_EQ(bmp.size(), 54u + 5 * 40);
    EXPECT_EQ(bmp[28], 24);
    TDecodedImage back;
    decodeBmp(bmp.data(), bmp.size(), back);
    EXPECT_EQ(back.Pixels, img.Pixels);

    // netpbm reads the file the same.
    VELMORA_REQUIRE_TOOLS("bmptopnm");
    const test::ScratchDir dir;
    const std::string file = dir / "shot.bmp", ppm = dir / "shot.ppm";
    saveBmpFile(file, rowsOf(img));
    TDecodedImage theirs;
    ASSERT_TRUE(test::netpbmReference("bmptopnm " + file + " > " + ppm, ppm, theirs));
    ASSERT_EQ(theirs.Format, TPixelFormat::pf24bit); // a colour picture (P6)
    ASSERT_EQ(theirs.Width, 13);
    ASSERT_EQ(theirs.Height, 5);
    EXPECT_EQ(theirs.Pixels, img.Pixels);
}
