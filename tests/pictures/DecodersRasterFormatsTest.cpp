// Our own readers of PNM, PCX, SGI and Photoshop files, checked against
// ImageMagick's and netpbm's writing and ImageMagick's reading.
#include "PictureTestSupport.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// Runs a netpbm pipeline from the source picture to `target` and compares.
void checkNetpbm(const Decoder& decode, const std::string& pipeline, const std::string& target)
{
    VELMORA_REQUIRE_TOOLS("/usr/bin/pamtopnm", Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 37, 23, false);
    const std::string out = dir / target;
    ASSERT_TRUE(run("/usr/bin/pamtopnm < '" + (dir / "src.pam") + "' | " + pipeline + " > '" + out + "'")) << pipeline;
    SCOPED_TRACE(pipeline);
    expectMatchesReference(decode, out, false);
}

TEST(DecodersPnm, PlainAndRawMapsMatchImageMagick)
{
    checkCases(decodePnm,
               {
                   {"", "raw.ppm", false},
                   {"-compress none", "plain.ppm", false},
                   {"-colorspace Gray", "raw.pgm", false},
                   {"-colorspace Gray -compress none", "plain.pgm", false},
                   {"-monochrome", "raw.pbm", false},
                   {"-monochrome -compress none", "plain.pbm", false},
               });
    checkCases(decodePnm, {{"-depth 16", "wide.ppm", false}, {"-colorspace Gray -depth 16", "wide.pgm", false}}, 1);
}

TEST(DecodersPnm, OddMaxvalCommentsAndRunTogetherBits)
{
    const std::string text = "P2\n# made by hand\n3 1 # size\n5\n0 5 2\n";
    TDecodedImage img;
    decodePnm(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), img);
    ASSERT_EQ(img.Format, TPixelFormat::pf8bit);
    EXPECT_EQ(img.Palette[img.Pixels[1]][0], 255);
    EXPECT_EQ(img.Palette[img.Pixels[2]][0], 102);

    const std::string bits = "P1 4 2 0110\n1001";
    decodePnm(reinterpret_cast<const std::uint8_t*>(bits.data()), bits.size(), img);
    EXPECT_EQ(img.Pixels, (Bytes{0, 1, 1, 0, 1, 0, 0, 1}));
    EXPECT_EQ(img.Palette[1][0], 0); // 1 is black

    // Samples above maxval are clamped rather than wrapped.
    const std::string over = "P2 1 1 10 99";
    decodePnm(reinterpret_cast<const std::uint8_t*>(over.data()), over.size(), img);
    EXPECT_EQ(img.Palette[img.Pixels[0]][0], 255);
}

TEST(DecodersPnm, BadHeadersAndHugeSizesAreRefused)
{
    TDecodedImage img;
    for (const std::string text :
         {"P6 0 5 255\n", "P6 5 5 0\n", "P6 5 5 70000\n", "P5 65536 65536 255\n", "P6 99999999999 1 255\n",
          "P6 x 1 255\n", "P3 2 1 255 1 2 3", "P6 4000 4000 255\n"}) {
        EXPECT_THROW(decodePnm(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), img), EPictureError)
            << text;
    }
}

TEST(DecodersPcx, ImageMagickAndNetpbmFilesMatch)
{
    checkCases(decodePcx,
               {
                   {"", "rgb.pcx", false},
                   {"-colors 200", "pal.pcx", false},
                   {"-colors 16", "pal16.pcx", false},
                   {"-monochrome", "mono.pcx", false},
                   {"-colorspace Gray", "gray.pcx", false},
               });
    checkNetpbm(decodePcx, "/usr/bin/ppmtopcx", "netpbm.pcx");
    checkNetpbm(decodePcx, "/usr/bin/pnmquant 16 | /usr/bin/ppmtopcx -planes 4", "planes.pcx");
    checkNetpbm(decodePcx, "/usr/bin/pnmquant 4 | /usr/bin/ppmtopcx -packed", "packed2.pcx");
    checkNetpbm(decodePcx, "/usr/bin/pnmquant 16 | /usr/bin/ppmtopcx -packed", "packed4.pcx");
    checkNetpbm(decodePcx, "/usr/bin/pnmquant 200 | /usr/bin/ppmtopcx", "netpbm256.pcx");
}

TEST(DecodersSgi, VerbatimAndRleMatch)
{
    checkCases(decodeSgi,
               {
                   {"-compress RLE", "rgb.sgi", false},
                   {"-compress None", "raw.sgi", false},
                   {"-compress RLE", "rgba.sgi", true},
                   {"-compress None", "rawa.sgi", true},
                   {"-colorspace Gray -compress RLE", "gray.sgi", false},
               });
    checkCases(decodeSgi,
               {{"-depth 16 -compress RLE", "wide.sgi", false}, {"-depth 16 -compress None", "wideraw.sgi", true}}, 1);
    checkNetpbm(decodeSgi, "/usr/bin/pnmtosgi -rle", "netpbm.sgi");
    checkNetpbm(decodeSgi, "/usr/bin/pnmtosgi -verbatim", "netpbmraw.sgi");
    checkNetpbm(decodeSgi, "/usr/bin/ppmtopgm | /usr/bin/pnmtosgi", "netpbm.bw");
}

TEST(DecodersPsd, MergedImageMatches)
{
    checkCases(decodePsd,
               {
                   {"-compress RLE", "rgb.psd", false},
                   {"-compress None", "raw.psd", false},
                   {"-colorspace Gray -compress RLE", "gray.psd", false},
                   {"-monochrome", "mono.psd", false},
               });
    checkCases(decodePsd, {{"-depth 16", "wide.psd", false}}, 1);
}

TEST(DecodersPsd, IndexedPictureMatchesTheSameQuantisation)
{
    // ImageMagick cannot read back its own indexed documents; its quantiser is
    // deterministic, so the same options written raw give the expected pixels.
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 37, 23, false);
    const std::string opts = " -colors 60 -type Palette ";
    ASSERT_TRUE(run(Convert + " '" + (dir / "src.pam") + "'" + opts + "'" + (dir / "pal.psd") + "'"));
    ASSERT_TRUE(run(Convert + " '" + (dir / "src.pam") + "'" + opts + "-depth 8 rgba:'" + (dir / "pal.rgba") + "'"));
    Bytes data = readFile(dir / "pal.psd");
    TDecodedImage img;
    decodePsd(data.data(), data.size(), img);
    EXPECT_EQ(img.Format, TPixelFormat::pf8bit);
    EXPECT_LE(maxDifference(decodedRgba(img), readFile(dir / "pal.rgba"), false), 1);
}

TEST(DecodersPsd, TransparentCompositeIsUnmattedFromWhite)
{
    // 2 x 1 RGB with alpha, raw: the merged image stores colours blended over
    // white, so a half-transparent black pixel is stored as mid grey.
    Bytes psd = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 2, 0, 8, 0, 3};
    for (int i = 0; i < 3; ++i) psd.insert(psd.end(), {0, 0, 0, 0}); // empty sections
    psd.insert(psd.end(), {0, 0});                                   // raw
    psd.insert(psd.end(), {127, 10});                                // red
    psd.insert(psd.end(), {127, 20});                                // green
    psd.insert(psd.end(), {127, 30});                                // blue
    psd.insert(psd.end(), {128, 255});                               // alpha
    TDecodedImage img;
    decodePsd(psd.data(), psd.size(), img);
    ASSERT_EQ(img.Format, TPixelFormat::pf32bit);
    EXPECT_EQ(img.Pixels, (Bytes{0, 0, 0, 128, 30, 20, 10, 255}));
}

// Damage every byte position of small files of each reader, and garble them.
TEST(DecodersRasterFormats, DamagedFilesFailCleanly)
{
    VELMORA_REQUIRE_TOOLS(Convert);
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 13, 7, true);
    const std::string src = dir / "src.pam";
    struct Made {
        const char* options;
        const char* target;
        void (*decode)(const std::uint8_t*, std::size_t, TDecodedImage&);
    } made[] = {
        {"-alpha off", "a.ppm", decodePnm},
        {"-alpha off -compress none", "b.ppm", decodePnm},
        {"-monochrome", "c.pbm", decodePnm},
        {"-alpha off", "a.pcx", decodePcx},
        {"-colors 30", "b.pcx", decodePcx},
        {"-compress RLE", "a.sgi", decodeSgi},
        {"-compress None", "b.sgi", decodeSgi},
        {"-compress RLE", "a.psd", decodePsd},
        {"-colors 9 -type Palette", "b.psd", decodePsd},
    };
    for (const Made& m : made) {
        ASSERT_TRUE(run(Convert + " '" + src + "' " + m.options + " '" + (dir / m.target) + "'")) << m.target;
        SCOPED_TRACE(m.target);
        expectSafeOnDamage(m.decode, readFile(dir / m.target));
    }
}

TEST(DecodersRasterFormats, HugeDeclaredSizesAreRefused)
{
    TDecodedImage img;
    // PCX claiming 65535 x 65535 pixels in a 200-byte file.
    Bytes pcx(200, 0);
    pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8;
    pcx[8] = pcx[9] = pcx[10] = pcx[11] = 0xFF;
    pcx[65] = 3, pcx[66] = 0xFF, pcx[67] = 0xFF;
    EXPECT_THROW(decodePcx(pcx.data(), pcx.size(), img), EPictureError);
    // SGI claiming 65535 x 65535 x 4, verbatim, with no data.
    Bytes sgi(512, 0);
    sgi[0] = 0x01, sgi[1] = 0xDA, sgi[3] = 1, sgi[5] = 3;
    sgi[6] = sgi[7] = sgi[8] = sgi[9] = 0xFF, sgi[11] = 4;
    EXPECT_THROW(decodeSgi(sgi.data(), sgi.size(), img), EPictureError);
    // PSD claiming 2^30 x 2^30.
    Bytes psd = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0x40, 0, 0, 0, 0x40, 0, 0, 0, 0, 8, 0, 3};
    psd.resize(60, 0);
    EXPECT_THROW(decodePsd(psd.data(), psd.size(), img), EPictureError);
}

} // namespace
