// PNG, TIFF, GIF and EPS previews, checked against ImageMagick's reading of
// files ImageMagick wrote.
#include "PictureTestSupport.h"

using namespace velmora;
using namespace velmora::test;

namespace {

TEST(DecodersPng, EveryColourTypeAndDepthMatchesImageMagick)
{
    checkCases(decodePng,
               {
                   {"", "rgb.png", false},
                   {"", "rgba.png", true},
                   {"-interlace PNG", "interlaced.png", true},
                   {"-colors 50", "PNG8:pal.png", false},
                   {"-colors 2 -type Palette", "PNG8:pal2.png", false},
                   {"-colorspace Gray", "gray.png", false},
                   {"-colorspace Gray -depth 4", "gray4.png", false},
                   {"-monochrome", "mono.png", false},
                   {"-colorspace Gray", "PNG32:grayalpha.png", true},
               });
    // 16-bit samples: the two programs may round the reduction to 8 bits apart.
    checkCases(decodePng,
               {
                   {"-colorspace Gray -depth 16", "gray16.png", false},
                   {"-depth 16", "PNG48:rgb16.png", false},
                   {"-depth 16", "PNG64:rgba16.png", true},
               },
               1);
}

TEST(DecodersPng, PalettedPictureStaysIndexed)
{
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 37, 23, false);
    ASSERT_TRUE(run(Convert + " '" + (dir / "src.pam") + "' -colors 16 PNG8:'" + (dir / "p.png") + "'"));
    Bytes data = readFile(dir / "p.png");
    TDecodedImage img;
    decodePng(data.data(), data.size(), img);
    EXPECT_EQ(img.Format, TPixelFormat::pf8bit);
    EXPECT_LE(img.Palette.size(), 256u);
    for (std::uint8_t v : img.Pixels) ASSERT_LT(v, img.Palette.size());
}

TEST(DecodersTiff, LayoutsAndCompressionsMatchImageMagick)
{
    checkCases(decodeTiff,
               {
                   {"", "rgb.tif", false},
                   {"-compress LZW", "lzw.tif", false},
                   {"-compress Zip", "zip.tif", true},
                   {"-colorspace Gray", "gray.tif", false},
                   {"-monochrome -compress Group4", "fax.tif", false},
                   {"-define tiff:tile-geometry=16x16", "tiled.tif", false},
               });
    // 16-bit samples and colour maps: rounding to 8 bits may differ by one.
    checkCases(decodeTiff, {{"-depth 16", "rgb16.tif", false}, {"-colors 40", "pal.tif", false}}, 1);
}

TEST(DecodersTiff, AlphaIsKeptStraight)
{
    // Faint pixels keep their colour exactly.
    checkCases(decodeTiff, {{"", "rgba.tif", true}, {"-depth 16", "rgba16.tif", true}}, 1);
}

TEST(DecodersGif, FramesInterlaceAndTransparencyMatchImageMagick)
{
    checkCases(decodeGif,
               {
                   {"", "plain.gif", false},
                   {"-interlace GIF", "interlaced.gif", false},
                   {"-colors 7", "few.gif", false},
                   {"-channel A -threshold 50% +channel", "transparent.gif", true},
               });
}

TEST(DecodersGif, OnlyTheFirstFrameIsRead)
{
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    ASSERT_TRUE(run(Convert + " -size 5x4 xc:red -size 5x4 xc:blue '" + (dir / "anim.gif") + "'"));
    Bytes data = readFile(dir / "anim.gif");
    TDecodedImage img;
    decodeGif(data.data(), data.size(), img);
    Bytes rgba = decodedRgba(img);
    ASSERT_EQ(rgba.size(), 5u * 4 * 4);
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[2], 0);
}

TEST(DecodersEps, TiffPreviewIsDecoded)
{
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 37, 23, false);
    ASSERT_TRUE(run(Convert + " '" + (dir / "src.pam") + "' '" + (dir / "preview.tif") + "'"));
    const Bytes tiff = readFile(dir / "preview.tif");
    const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 37 23\n";
    // DOS binary header: signature, PostScript at 30, no metafile, TIFF after it.
    Bytes eps = {0xC5, 0xD0, 0xD3, 0xC6};
    auto le32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) eps.push_back(std::uint8_t(v >> (8 * i)));
    };
    le32(30), le32(std::uint32_t(ps.size())), le32(0), le32(0), le32(std::uint32_t(30 + ps.size())),
        le32(std::uint32_t(tiff.size()));
    eps.push_back(0xFF), eps.push_back(0xFF);
    eps.insert(eps.end(), ps.begin(), ps.end());
    eps.insert(eps.end(), tiff.begin(), tiff.end());
    TDecodedImage fromEps, fromTiff;
    decodeEps(eps.data(), eps.size(), fromEps);
    decodeTiff(tiff.data(), tiff.size(), fromTiff);
    EXPECT_EQ(fromEps.Width, 37);
    EXPECT_EQ(fromEps.Pixels, fromTiff.Pixels);
    // A preview pointing past the end of the file.
    Bytes bad = eps;
    bad[24] = 0xFF, bad[25] = 0xFF, bad[26] = 0xFF;
    EXPECT_THROW(decodeEps(bad.data(), bad.size(), fromEps), EPictureError);
}

TEST(DecodersEps, PlainPostScriptIsRefusedWithAClearMessage)
{
    const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n";
    TDecodedImage img;
    try {
        decodeEps(reinterpret_cast<const std::uint8_t*>(ps.data()), ps.size(), img);
        FAIL();
    } catch (const EPictureError& e) {
        EXPECT_STREQ(e.what(), "EPS pictures without a TIFF preview cannot be read");
    }
}

TEST(DecodersMetafile, RefusedWithAClearMessage)
{
    const std::uint8_t wmf[] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0};
    TDecodedImage img;
    EXPECT_THROW(decodeMetafile(wmf, sizeof wmf, img), EPictureError);
}

TEST(DecodersLibraryFormats, DamagedFilesFailCleanly)
{
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 19, 11, true);
    const std::string src = dir / "src.pam";
    ASSERT_TRUE(run(Convert + " '" + src + "' '" + (dir / "a.png") + "'"));
    ASSERT_TRUE(run(Convert + " '" + src + "' -compress LZW '" + (dir / "a.tif") + "'"));
    ASSERT_TRUE(run(Convert + " '" + src + "' -interlace GIF '" + (dir / "a.gif") + "'"));
    expectSafeOnDamage(decodePng, readFile(dir / "a.png"));
    expectSafeOnDamage(decodeTiff, readFile(dir / "a.tif"));
    expectSafeOnDamage(decodeGif, readFile(dir / "a.gif"));
}

TEST(DecodersLibraryFormats, HugeDeclaredSizesAreRefusedBeforeAllocating)
{
    // A PNG header claiming 60000 x 60000: over the pixel limit.
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    ASSERT_TRUE(run(Convert + " -size 3x3 xc:red '" + (dir / "s.png") + "'"));
    Bytes png = readFile(dir / "s.png");
    // IHDR data starts at byte 16; patch width and height, then fix the CRC.
    const std::uint8_t big[4] = {0, 0, 0xEA, 0x60};
    std::copy_n(big, 4, png.begin() + 16);
    std::copy_n(big, 4, png.begin() + 20);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (int i = 12; i < 29; ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) png[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    TDecodedImage img;
    EXPECT_THROW(decodePng(png.data(), png.size(), img), EPictureError);
}

} // namespace

namespace {

TEST(DecodersIco, BitmapAndPngIconsMatchImageMagick)
{
    // Icons of 256 pixels are stored as PNG, smaller ones as bitmaps with a mask.
    checkCases(decodeIco,
               {
                   {"-resize 32x32!", "rgba32.ico", true},
                   {"-resize 48x48! -alpha off", "opaque.ico", false},
                   {"-resize 16x16! -colors 16", "pal.ico", false},
                   {"-resize 256x256!", "big.ico", true},
               });
}

TEST(DecodersIco, LargestImageIsChosenAndMaskGivesAlpha)
{
    VELMORA_REQUIRE_TOOLS("/usr/bin/pamtowinicon");
    ScratchDir dir;
    writeSourcePam(dir / "big.pam", 24, 24, true);
    writeSourcePam(dir / "small.pam", 8, 8, false);
    // netpbm writes the AND mask from the alpha channel (alpha below half: transparent).
    ASSERT_TRUE(run("/usr/bin/pamtowinicon < '" + (dir / "big.pam") + "' > '" + (dir / "one.ico") + "'"));
    Bytes data = readFile(dir / "one.ico");
    TDecodedImage img;
    decodeIco(data.data(), data.size(), img);
    ASSERT_EQ(img.Width, 24);
    ASSERT_EQ(img.Height, 24);
    EXPECT_EQ(maxDifference(decodedRgba(img), referenceRgba(dir / "one.ico", 24, 24), true), 0);
    expectSafeOnDamage(decodeIco, data);
}

} // namespace
