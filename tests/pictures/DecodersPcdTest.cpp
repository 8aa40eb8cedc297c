// Photo-CD base images, written and read back by ImageMagick.
#include "PictureTestSupport.h"

#include <algorithm>
#include <cmath>

using namespace velmora;
using namespace velmora::test;

namespace {

// ImageMagick's Photo-CD writer does not use Kodak's YCC scaling (its luma
// runs about 1.1 times RGB luma, clipped), so its files cannot serve as a
// colour reference. This builds the base image with Kodak's forward
// transform from known colours in 2 x 2 aligned blocks and checks they return.
struct Rgb {
    int r, g, b;
};

Rgb colourOf(int x, int y)
{
    static const Rgb quad[4] = {{200, 30, 60}, {10, 120, 220}, {128, 128, 128}, {250, 240, 20}};
    return quad[(x >= 384 ? 1 : 0) + (y >= 256 ? 2 : 0)];
}

Bytes buildPcd()
{
    Bytes b(0x30000 + 768 * 3 * 256, 0);
    std::copy_n("PCD_IPI", 7, b.begin() + 0x800);
    auto stored = [](double v) { return std::uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
    for (int pair = 0; pair < 256; ++pair) {
        std::uint8_t* p = &b[0x30000 + std::size_t(pair) * 2304];
        for (int line = 0; line < 2; ++line)
            for (int x = 0; x < 768; ++x) {
                const Rgb c = colourOf(x, pair * 2 + line);
                p[line * 768 + x] = stored((0.299 * c.r + 0.587 * c.g + 0.114 * c.b) / 1.3584);
            }
        for (int x = 0; x < 384; ++x) {
            const Rgb c = colourOf(x * 2, pair * 2);
            const double l = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
            p[1536 + x] = stored((c.b - l) / 2.2179 + 156);
            p[1536 + 384 + x] = stored((c.r - l) / 1.8215 + 137);
        }
    }
    return b;
}

TEST(DecodersPcd, KodakYccReturnsTheColoursItWasMadeFrom)
{
    const Bytes pcd = buildPcd();
    TDecodedImage img;
    decodePcd(pcd.data(), pcd.size(), img);
    ASSERT_EQ(img.Width, 768);
    ASSERT_EQ(img.Height, 512);
    ASSERT_EQ(img.Format, TPixelFormat::pf24bit);
    int worst = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 768; ++x) {
            const Rgb c = colourOf(x, y);
            const std::uint8_t* p = img.row(y) + x * 3;
            worst = std::max({worst, std::abs(p[2] - c.r), std::abs(p[1] - c.g), std::abs(p[0] - c.b)});
        }
    // Stored bytes are rounded before the chroma gains of about 2 apply.
    EXPECT_LE(worst, 3);
}

TEST(DecodersPcd, ImageMagickFilesDecodeToTheBaseSize)
{
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 37, 23, false);
    const std::string pcd = dir / "a.pcd";
    ASSERT_TRUE(run(Convert + " '" + (dir / "src.pam") + "' -resize 768x512! '" + pcd + "'"));
    const Bytes data = readFile(pcd);
    TDecodedImage img;
    decodePcd(data.data(), data.size(), img);
    EXPECT_EQ(img.Width, 768);
    EXPECT_EQ(img.Height, 512);
}

TEST(DecodersPcd, ShortOrForeignFilesAreRefused)
{
    TDecodedImage img;
    Bytes b(0x900, 0);
    EXPECT_THROW(decodePcd(b.data(), b.size(), img), EPictureError);
    std::copy_n("PCD_IPI", 7, b.begin() + 0x800);
    // Signature present, base image missing.
    EXPECT_THROW(decodePcd(b.data(), b.size(), img), EPictureError);
    EXPECT_THROW(decodePcd(b.data(), 100, img), EPictureError);
}

TEST(DecodersPcd, CutOrGarbledFilesFailCleanly)
{
    const Bytes pcd = buildPcd();
    expectCutsNameTheFormat(decodePcd, pcd, "PCD");
    TDecodedImage img;
    const Bytes cut(pcd.begin(), pcd.end() - 1);
    EXPECT_EQ(messageOf([&] { decodePcd(cut.data(), cut.size(), img); }),
              "PCD picture is not valid: the file ends early");
    // Only the signature and the length decide; garbled pixels still decode.
    for (std::size_t at = 0x800; at < 0x807; ++at) {
        Bytes bad = pcd;
        bad[at] ^= 0x20;
        EXPECT_EQ(messageOf([&] { decodePcd(bad.data(), bad.size(), img); }),
                  "PCD picture is not valid: missing PCD_IPI signature");
    }
    Bytes noisy = pcd;
    for (std::size_t at = 0x30000; at < noisy.size(); at += 97) noisy[at] = std::uint8_t(at * 31);
    decodePcd(noisy.data(), noisy.size(), img);
    EXPECT_EQ(img.Width, 768);
}

} // namespace
