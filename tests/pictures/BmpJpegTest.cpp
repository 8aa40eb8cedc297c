#include "PictureTestSupport.h"
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

#include "pictures/CoreCodecs.h"
#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// Compares the colours a graphic draws with a netpbm reference, pixel by pixel.
void expectSameColours(const TGraphic& g, const TDecodedImage& ref, const std::string& what, bool withAlpha = false)
{
    const TDecodedImage& img = g.Raster();
    ASSERT_EQ(img.Width, ref.Width) << what;
    ASSERT_EQ(img.Height, ref.Height) << what;
    for (int y = 0; y < ref.Height; ++y)
        for (int x = 0; x < ref.Width; ++x) {
            const std::uint8_t* s = img.row(y);
            std::uint8_t px[4] = {0, 0, 0, 255};
            switch (img.Format) {
            case TPixelFormat::pf8bit:
                ASSERT_LT(s[x], img.Palette.size()) << what;
                std::copy_n(img.Palette[s[x]].data(), 3, px);
                break;
            case TPixelFormat::pf15bit: {
                int w = s[2 * x] | s[2 * x + 1] << 8;
                px[0] = std::uint8_t((w & 31) << 3);
                px[1] = std::uint8_t(((w >> 5) & 31) << 3);
                px[2] = std::uint8_t(((w >> 10) & 31) << 3);
                break;
            }
            case TPixelFormat::pf24bit: std::copy_n(s + 3 * x, 3, px); break;
            case TPixelFormat::pf32bit: std::copy_n(s + 4 * x, 4, px); break;
            }
            const int bpp = ref.Format == TPixelFormat::pf32bit ? 4 : 3;
            const std::uint8_t* r = ref.row(y) + bpp * x;
            for (int c = 0; c < (withAlpha ? 4 : 3); ++c) {
                const int expect = c < bpp ? r[c] : 255;
                // Five bits per channel: writers scale by 31/255 or shift, readers by 8.
                const int tolerance = img.Format == TPixelFormat::pf15bit && c < 3 ? 16 : 0;
                ASSERT_LE(std::abs(px[c] - expect), tolerance) << what << " channel " << c << " at " << x << "," << y;
            }
        }
}

} // namespace

TEST(BmpReader, MatchesFilesWrittenByOtherTools)
{
    VELMORA_REQUIRE_TOOLS("convert", "ppmtobmp");
    const std::string grad = writeTemp("bgrad.ppm", makePpm(37, 21));
    Bytes few = makePpm(29, 13);
    for (std::size_t i = 15; i < few.size(); ++i) few[i] &= 0xC0;
    const std::string cmap = writeTemp("bfew.ppm", few);
    const std::string bw = (tempDir() / "bw.pbm").string();
    ASSERT_TRUE(run("ppmtopgm " + grad + " | pamthreshold | pamtopnm > " + bw) ||
                run("ppmtopgm " + grad + " | pgmtopbm > " + bw));
    struct Case {
        std::string name, command, reference;
    } cases[] = {
        {"24-bit", "ppmtobmp " + grad, grad},
        {"8-bit palette", "ppmtobmp " + cmap, cmap},
        {"OS/2 header", "ppmtobmp -os2 " + cmap, cmap},
        {"1-bit", "ppmtobmp " + bw, bw},
        {"4-bit", "ppmtobmp -bpp=4 " + cmap, cmap},
        {"RLE8", "convert " + cmap + " -type Palette -compress RLE BMP3:-", cmap},
        {"RLE4", "convert " + cmap + " -colors 16 -type Palette -compress RLE BMP3:-", ""},
        {"16-bit", "convert " + grad + " -define bmp:subtype=RGB555 BMP3:-", grad},
        {"16-bit 565", "convert " + grad + " -define bmp:subtype=RGB565 BMP:-", ""},
        {"V5 header", "convert " + grad + " BMP:-", grad},
        {"top-down", "convert " + grad + " -define bmp:top-down=true BMP3:-", grad},
    };
    int n = 0, checked = 0;
    for (const Case& c : cases) {
        const std::string bmp = (tempDir() / ("b" + std::to_string(n++) + ".bmp")).string();
        if (!run(c.command + " > " + bmp) || readFile(bmp).size() < 30)
            continue; // this tool version cannot write the variant
        // The reference is what ImageMagick reads from the file, when the
        // source picture is not exact for the variant.
        std::string ref = c.reference;
        if (ref.empty() || c.name == "1-bit") {
            ref = bmp + ".ppm";
            ASSERT_TRUE(run("convert " + bmp + " -depth 8 PPM:" + ref)) << c.name;
        }
        TDecodedImage expected;
        if (!readNetpbm(ref, expected)) {
            // The 1-bit source is a PBM; compare with its conversion.
            ASSERT_TRUE(run("pamtopnm " + ref + " | ppmtoppm > " + ref + ".6.ppm") ||
                        run("pnmtopnm " + ref + " > " + ref + ".6.ppm"));
            ASSERT_TRUE(readNetpbm(ref + ".6.ppm", expected)) << c.name;
        }
        TPicture pic;
        pic.LoadFromFile(bmp);
        expectSameColours(*pic.Graphic(), expected, c.name);
        ++checked;
    }
    EXPECT_GE(checked, 8);
}

TEST(BmpReader, ThirtyTwoBitRowsKeepAlpha)
{
    VELMORA_REQUIRE_TOOLS("convert");
    // A picture with a real alpha gradient, written by ImageMagick both as
    // BI_RGB and with bit fields.
    const std::string png = (tempDir() / "alpha.png").string();
    ASSERT_TRUE(run("convert -size 40x9 gradient:red-blue \\( -size 40x9 gradient:white-black \\) "
                    "-alpha off -compose CopyOpacity -composite " +
                    png));
    int n = 0;
    for (const char* variant : {"BMP3:", "BMP:"}) {
        const std::string bmp = (tempDir() / ("alpha" + std::to_string(n++) + ".bmp")).string();
        ASSERT_TRUE(run("convert " + png + " -define bmp:format=bmp4 " + variant + bmp));
        const std::string pam = bmp + ".pam";
        ASSERT_TRUE(run("convert " + bmp + " -depth 8 PAM:" + pam));
        TDecodedImage ref;
        ASSERT_TRUE(readNetpbm(pam, ref));
        if (ref.Format != TPixelFormat::pf32bit) continue;
        TPicture pic;
        pic.LoadFromFile(bmp);
        auto* b = dynamic_cast<TBitmap*>(pic.Graphic());
        ASSERT_NE(b, nullptr);
        if (b->PixelFormat() != TPixelFormat::pf32bit) continue; // this writer dropped the alpha channel
        expectSameColours(*b, ref, variant, true);
        // ...and the same alpha reaches the texture, since 40 is divisible by 4.
        TGLBitmap32 px = convertToBitmap32(pic);
        EXPECT_EQ(px.Data[3], ref.row(ref.Height - 1)[3]);
    }
}

// A 4 x 1 32-bit file with the given fourth bytes, plain (40-byte header)
// or with a V5 header giving bit fields and an alpha mask.
Bytes bmp32(const std::uint8_t (&alpha)[4], bool v5, std::uint32_t alphaMask = 0)
{
    const std::uint32_t header = v5 ? 124 : 40, offset = 14 + header, size = offset + 16;
    Bytes f(size, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) f[at + k] = std::uint8_t(v >> (8 * k));
    };
    f[0] = 'B', f[1] = 'M';
    put32(2, size);
    put32(10, offset);
    put32(14, header);
    put32(18, 4);
    put32(22, 1);
    f[26] = 1, f[28] = 32;
    if (v5) {
        put32(30, 3); // BI_BITFIELDS
        put32(54, 0xFF0000), put32(58, 0xFF00), put32(62, 0xFF), put32(66, alphaMask);
    }
    for (int i = 0; i < 4; ++i) {
        f[offset + 4 * i] = std::uint8_t(10 * i);     // blue
        f[offset + 4 * i + 1] = std::uint8_t(50 + i); // green
        f[offset + 4 * i + 2] = 200;                  // red
        f[offset + 4 * i + 3] = alpha[i];
    }
    return f;
}

std::vector<int> alphasOf(const TDecodedImage& img)
{
    std::vector<int> a;
    for (int y = img.Height - 1; y >= 0; --y) // file order: bottom row first
        for (int x = 0; x < img.Width; ++x) a.push_back(img.row(y)[4 * x + 3]);
    return a;
}

TEST(BmpReader, ThirtyTwoBitFilesWithoutAlphaAreOpaque)
{
    TDecodedImage img;
    // The usual 32-bit bitmap: every fourth byte 0, meant as no alpha at all.
    Bytes plain = bmp32({0, 0, 0, 0}, false);
    decodeBmp(plain.data(), plain.size(), img);
    EXPECT_EQ(alphasOf(img), (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ(img.row(0)[2], 200); // the colours are untouched
    EXPECT_EQ(img.row(0)[4 * 2 + 1], 52);
    // One pixel with a fourth byte other than 0: the stored alpha counts.
    Bytes real = bmp32({0, 128, 0, 255}, false);
    decodeBmp(real.data(), real.size(), img);
    EXPECT_EQ(alphasOf(img), (std::vector<int>{0, 128, 0, 255}));
    // A V5 header that gives an alpha mask of 0 has no alpha, whatever the bytes.
    Bytes noMask = bmp32({7, 0, 99, 0}, true, 0);
    decodeBmp(noMask.data(), noMask.size(), img);
    EXPECT_EQ(alphasOf(img), (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ(img.row(0)[4 * 3], 30);
    // ...while its alpha mask keeps real alpha, and all-zero alpha still shows.
    Bytes masked = bmp32({7, 0, 99, 0}, true, 0xFF000000u);
    decodeBmp(masked.data(), masked.size(), img);
    EXPECT_EQ(alphasOf(img), (std::vector<int>{7, 0, 99, 0}));
    Bytes maskedZero = bmp32({0, 0, 0, 0}, true, 0xFF000000u);
    decodeBmp(maskedZero.data(), maskedZero.size(), img);
    EXPECT_EQ(alphasOf(img), (std::vector<int>{255, 255, 255, 255}));

    // Through a picture file to the texture's pixels: the face stays visible.
    const std::string file = (tempDir() / "noalpha32.bmp").string();
    writeFile(file, plain);
    TPicture pic;
    textureImageLoadFromFile(pic, file);
    TGLBitmap32 px = convertToBitmap32(pic);
    ASSERT_EQ(px.Data.size(), 16u); // 4 wide: converted directly, alpha and all
    for (std::size_t i = 3; i < px.Data.size(); i += 4) EXPECT_EQ(px.Data[i], 255);
}

TEST(BmpReader, HostileFiles)
{
    TDecodedImage img;
    auto decode = [&](const Bytes& b) { return messageOf([&] { decodeBmp(b.data(), b.size(), img); }); };
    const std::string invalid = "Bitmap image is not valid";
    // A valid 2 x 2 8-bit file to damage.
    TDecodedImage good;
    good.allocate(2, 2, TPixelFormat::pf8bit);
    good.Palette.resize(2);
    good.Pixels = {0, 1, 1, 0};
    const Bytes file = encodeBmp(good);
    ASSERT_EQ(decode(file), "(no error)");

    EXPECT_EQ(decode({}), invalid);
    EXPECT_EQ(decode(Bytes(file.begin(), file.begin() + 40)), invalid); // cut in the header
    EXPECT_EQ(decode(Bytes(file.begin(), file.end() - 4)), invalid);    // cut in the rows
    Bytes huge = file;
    huge[18] = 0xFF, huge[19] = 0xFF, huge[20] = 0xFF, huge[21] = 0x7F; // width 2^31-1
    EXPECT_EQ(decode(huge), invalid);
    Bytes negativeWidth = file;
    negativeWidth[21] = 0x80;
    EXPECT_EQ(decode(negativeWidth), invalid);
    Bytes zero = file;
    zero[22] = zero[23] = 0;
    EXPECT_EQ(decode(zero), invalid);
    Bytes badOffset = file;
    badOffset[10] = 0xFF, badOffset[11] = 0xFF;
    EXPECT_EQ(decode(badOffset), invalid);
    Bytes badDepth = file;
    badDepth[28] = 7;
    EXPECT_EQ(decode(badDepth), invalid);
    Bytes badHeader = file;
    badHeader[14] = 0xFF, badHeader[15] = 0xFF, badHeader[16] = 0xFF;
    EXPECT_EQ(decode(badHeader), invalid);
    Bytes manyColours = file;
    manyColours[46] = 0xFF, manyColours[47] = 0xFF, manyColours[48] = 0xFF; // clamped to 256 entries
    EXPECT_EQ(decode(manyColours), "(no error)");
    EXPECT_EQ(img.Palette.size(), 256u);

    // RLE8 runs and deltas that point outside the picture stay inside it.
    Bytes rle = file;
    rle[30] = 1; // BI_RLE8
    rle.resize(14 + 40 + 256 * 4);
    rle[10] = std::uint8_t(rle.size() & 0xFF), rle[11] = std::uint8_t(rle.size() >> 8);
    for (std::uint8_t v : {200, 1, 0, 2, 250, 250, 9, 1, 0, 3, 0, 4, 0, 0, 0, 1}) rle.push_back(v);
    EXPECT_EQ(decode(rle), "(no error)");
    EXPECT_EQ(img.row(1)[0], 1); // bottom row, filled by the first run
    EXPECT_EQ(img.row(1)[1], 1);
    // An absolute run longer than the data left.
    Bytes rleShort(rle.begin(), rle.end() - 16);
    for (std::uint8_t v : {0, 200, 1, 2}) rleShort.push_back(v);
    EXPECT_EQ(decode(rleShort), invalid);
}

TEST(JpegReader, HeaderOnlyLoadThenDecodeLikeDjpeg)
{
    VELMORA_REQUIRE_TOOLS("cjpeg", "djpeg");
    const std::string ppm = writeTemp("jref.ppm", makePpm(53, 31));
    const std::string pgm = (tempDir() / "jgrey.pgm").string();
    ASSERT_TRUE(run("ppmtopgm " + ppm + " > " + pgm));
    struct Case {
        std::string options, source;
        bool grey, progressive;
    } cases[] = {{"-quality 90", ppm, false, false},
                 {"-progressive -quality 70", ppm, false, true},
                 {"-sample 1x1 -quality 95", ppm, false, false},
                 {"-quality 80", pgm, true, false}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string jpg = (tempDir() / ("c" + std::to_string(n++) + ".jpg")).string();
        ASSERT_TRUE(run("cjpeg " + c.options + " " + c.source + " > " + jpg));
        const std::string ref = jpg + ".ppm";
        ASSERT_TRUE(run("djpeg -pnm " + jpg + " | ppmtoppm > " + ref) || run("djpeg -pnm " + jpg + " > " + ref));
        TDecodedImage expected;
        ASSERT_TRUE(readNetpbm(ref, expected));
        TPicture pic;
        pic.LoadFromFile(jpg);
        auto* j = dynamic_cast<TJPEGImage*>(pic.Graphic());
        ASSERT_NE(j, nullptr);
        EXPECT_EQ(j->Width(), 53);
        EXPECT_EQ(j->Grayscale(), c.grey);
        EXPECT_EQ(j->ProgressiveEncoding(), c.progressive);
        expectSameColours(*j, expected, c.options);
    }
}

TEST(JpegReader, DamagedData)
{
    VELMORA_REQUIRE_TOOLS("cjpeg");
    const std::string jpg = (tempDir() / "dmg.jpg").string();
    ASSERT_TRUE(run("cjpeg " + writeTemp("dmg.ppm", makePpm(64, 64)) + " > " + jpg));
    const Bytes good = readFile(jpg);
    TJPEGImage j;
    auto load = [&](const Bytes& b) { return messageOf([&] { j.LoadFromBytes(b.data(), b.size()); }); };
    EXPECT_EQ(load({}).rfind("JPEG error #", 0), 0u);
    EXPECT_EQ(load(Bytes(good.begin(), good.begin() + 100)).rfind("JPEG error #", 0), 0u);
    Bytes notJpeg = good;
    notJpeg[0] = 0;
    EXPECT_EQ(load(notJpeg).rfind("JPEG error #", 0), 0u);

    // Cut after the header: the header loads, but the decode fails instead
    // of filling the missing rows with grey, and never reads past the data.
    std::size_t sos = 0;
    while (sos + 1 < good.size() && !(good[sos] == 0xFF && good[sos + 1] == 0xDA)) ++sos;
    ASSERT_LT(sos + 60, good.size());
    Bytes cut(good.begin(), good.begin() + sos + 60);
    EXPECT_EQ(load(cut), "(no error)");
    EXPECT_EQ(j.Width(), 64);
    EXPECT_EQ(messageOf([&] { j.Raster(); }), "JPEG error #" + std::to_string(int(JWRN_JPEG_EOF)));
    // The whole file still decodes.
    EXPECT_EQ(load(good), "(no error)");
    EXPECT_EQ(j.Raster().Width, 64);

    // Garbled entropy data decodes without error or crash.
    Bytes garbled = good;
    for (std::size_t i = garbled.size() / 2; i < garbled.size() - 2; i += 7) garbled[i] ^= 0x5A;
    if (load(garbled) == "(no error)") messageOf([&] { j.Raster(); });

    // A huge declared size is refused before pixels are allocated.
    Bytes huge = good;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xEA;
            huge[i + 6] = huge[i + 8] = 0x60;
            break;
        }
    // A few kilobytes cannot describe 3.6 G pixels: refused when loaded.
    EXPECT_EQ(load(huge), "JPEG picture is not valid: its data is too short for 60000 x 60000 pixels");
    // A plausible amount of data for a picture above the limits is refused
    // with the limit's message.
    Bytes padded = huge;
    padded.insert(padded.end() - 2, 8u << 20, 0);
    EXPECT_EQ(load(padded), "Picture too large (60000 x 60000)");
}

TEST(JpegReader, CmykFilesComeOutInColour)
{
    VELMORA_REQUIRE_TOOLS("convert");
    const std::string jpg = (tempDir() / "cmyk.jpg").string();
    ASSERT_TRUE(run("convert " + writeTemp("cmyk.ppm", makePpm(40, 24)) + " -colorspace CMYK -quality 95 " + jpg));
    const std::string ref = jpg + ".ppm";
    TDecodedImage expected;
    ASSERT_TRUE(netpbmReference("convert " + jpg + " -colorspace sRGB -depth 8 PPM:" + ref, ref, expected));
    TPicture pic;
    pic.LoadFromFile(jpg);
    const TDecodedImage& img = pic.Graphic()->Raster();
    ASSERT_EQ(img.Format, TPixelFormat::pf24bit);
    ASSERT_EQ(img.Pixels.size(), expected.Pixels.size());
    int worst = 0;
    for (std::size_t i = 0; i < img.Pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(img.Pixels[i]) - int(expected.Pixels[i])));
    EXPECT_LE(worst, 3);
}
