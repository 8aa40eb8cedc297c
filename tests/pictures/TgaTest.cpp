#include "PictureTestSupport.h"

#include "pictures/CoreCodecs.h"
#include "pictures/Picture.h"
#include "pictures/PictureClasses.h"
#include "pictures/TextureImage.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// A 32-bit picture whose pixel (x, y) (y counted from the top) encodes its
// position, with alpha varying too.
Bytes pixels32(int w, int h, bool topFirst)
{
    Bytes px;
    for (int r = 0; r < h; ++r) {
        int y = topFirst ? r : h - 1 - r;
        for (int x = 0; x < w; ++x) {
            px.push_back(std::uint8_t(x));
            px.push_back(std::uint8_t(y));
            px.push_back(std::uint8_t(x + y));
            px.push_back(std::uint8_t(255 - x));
        }
    }
    return px;
}

Bytes tga32(int w, int h, bool topFirst)
{
    Bytes b = tgaHeader(2, w, h, 32, topFirst ? 0x28 : 0x08);
    Bytes px = pixels32(w, h, topFirst);
    b.insert(b.end(), px.begin(), px.end());
    return b;
}

// Run-length encodes rows of `bpp`-byte pixels, never letting a packet cross a row.
Bytes rleRows(const Bytes& px, int w, int h, int bpp)
{
    Bytes out;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = &px[std::size_t(y) * w * bpp];
        int x = 0;
        while (x < w) {
            int run = 1;
            while (x + run < w && run < 128 && std::equal(row + x * bpp, row + (x + 1) * bpp, row + (x + run) * bpp))
                ++run;
            if (run > 1) {
                out.push_back(std::uint8_t(0x80 | (run - 1)));
                out.insert(out.end(), row + x * bpp, row + (x + 1) * bpp);
                x += run;
            } else {
                int n = 1;
                while (x + n < w && n < 128 &&
                       !std::equal(row + (x + n) * bpp, row + (x + n + 1) * bpp,
                                   x + n + 1 < w ? row + (x + n + 1) * bpp : row))
                    ++n;
                out.push_back(std::uint8_t(n - 1));
                out.insert(out.end(), row + x * bpp, row + (x + n) * bpp);
                x += n;
            }
        }
    }
    return out;
}

TDecodedImage decode(const Bytes& b)
{
    TDecodedImage img;
    decodeTga(b.data(), b.size(), img);
    return img;
}

void expectReadError(const Bytes& b)
{
    try {
        decode(b);
        FAIL() << "no error";
    } catch (const EPictureError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

} // namespace

TEST(Targa, RowOrderFollowsDescriptorBit5)
{
    for (bool topFirst : {false, true}) {
        TDecodedImage img = decode(tga32(5, 3, topFirst));
        ASSERT_EQ(img.Format, TPixelFormat::pf32bit);
        ASSERT_EQ(img.Width, 5);
        ASSERT_EQ(img.Height, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const std::uint8_t* p = img.row(y) + 4 * x;
                EXPECT_EQ(p[0], x);
                EXPECT_EQ(p[1], y) << "topFirst " << topFirst;
                EXPECT_EQ(p[3], 255 - x) << "alpha is kept as stored";
            }
    }
}

TEST(Targa, RunLengthAndRawTwinsAreIdentical)
{
    const int w = 300, h = 7;
    Bytes px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Long runs, single pixels and runs longer than one packet.
            int v = x < 200 ? (x / 37) * 40 : x * 7 + y;
            px.push_back(std::uint8_t(v));
            px.push_back(std::uint8_t(v >> 1));
            px.push_back(std::uint8_t(y * 20));
        }
    Bytes raw = tgaHeader(2, w, h, 24);
    raw.insert(raw.end(), px.begin(), px.end());
    Bytes rle = tgaHeader(10, w, h, 24);
    Bytes packets = rleRows(px, w, h, 3);
    rle.insert(rle.end(), packets.begin(), packets.end());
    ASSERT_LT(rle.size(), raw.size());
    TDecodedImage a = decode(raw), b = decode(rle);
    EXPECT_EQ(a.Format, TPixelFormat::pf24bit);
    EXPECT_EQ(a.Pixels, b.Pixels);
}

TEST(Targa, ColourMapsAndGreyscale)
{
    // 24-bit map entries are B, G, R; entries beyond 256 are dropped.
    Bytes b = tgaHeader(1, 2, 1, 8, 0x20, 1, 3, 24);
    for (std::uint8_t v : {10, 20, 30, 40, 50, 60, 70, 80, 90}) b.push_back(v);
    b.push_back(2);
    b.push_back(0);
    TDecodedImage img = decode(b);
    ASSERT_EQ(img.Format, TPixelFormat::pf8bit);
    ASSERT_EQ(img.Palette.size(), 3u);
    EXPECT_EQ(img.Palette[2][0], 70); // blue
    EXPECT_EQ(img.Palette[2][2], 90); // red
    EXPECT_EQ(img.row(0)[0], 2);

    // 16-bit map entries: 5 bits per channel, scaled by 8.
    Bytes c = tgaHeader(1, 1, 1, 8, 0, 1, 1, 16);
    put16(c, (31 << 10) | (1 << 5) | 2);
    c.push_back(0);
    img = decode(c);
    EXPECT_EQ(img.Palette[0][2], 248);
    EXPECT_EQ(img.Palette[0][1], 8);
    EXPECT_EQ(img.Palette[0][0], 16);

    // 15-bit entries take two bytes each, like 16-bit ones.
    Bytes d = tgaHeader(1, 2, 1, 8, 0x20, 1, 2, 15);
    put16(d, 31);
    put16(d, 31 << 5);
    d.push_back(1);
    d.push_back(0);
    img = decode(d);
    ASSERT_EQ(img.Palette.size(), 2u);
    EXPECT_EQ(img.Palette[1][1], 248);
    EXPECT_EQ(img.row(0)[0], 1);

    // Greyscale gets a ramp palette; an unused colour map before the pixels
    // is stepped over.
    Bytes g = tgaHeader(3, 2, 1, 8, 0x20, 1, 2, 24);
    for (int k = 0; k < 6; ++k) g.push_back(99);
    g.push_back(7);
    g.push_back(200);
    img = decode(g);
    ASSERT_EQ(img.Palette.size(), 256u);
    EXPECT_EQ(img.Palette[200][1], 200);
    EXPECT_EQ(img.row(0)[0], 7);
    EXPECT_EQ(img.row(0)[1], 200);
}

TEST(Targa, RunLengthTwinsOfEveryImageType)
{
    // Colour-mapped (1/9), greyscale (3/11) and 32-bit true colour (2/10):
    // each run-length file decodes to the same bitmap and palette as its twin.
    const int w = 70, h = 3;
    struct Case {
        int rawType, bits, mapType, mapLength, mapBits;
    } cases[] = {{1, 8, 1, 4, 32}, {3, 8, 0, 0, 0}, {2, 32, 0, 0, 0}, {2, 15, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rawType);
        const int bpp = (c.bits + 7) / 8;
        Bytes map;
        for (int i = 0; i < c.mapLength * c.mapBits / 8; ++i) map.push_back(std::uint8_t(i * 17 + 1));
        Bytes px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < bpp; ++k) px.push_back(std::uint8_t(x < 40 ? (x / 9 + y) & 3 : x * 5 + k));
        Bytes raw = tgaHeader(c.rawType, w, h, c.bits, 0, c.mapType, c.mapLength, c.mapBits);
        raw.insert(raw.end(), map.begin(), map.end());
        raw.insert(raw.end(), px.begin(), px.end());
        Bytes rle = tgaHeader(c.rawType + 8, w, h, c.bits, 0, c.mapType, c.mapLength, c.mapBits);
        rle.insert(rle.end(), map.begin(), map.end());
        const Bytes packets = rleRows(px, w, h, bpp);
        rle.insert(rle.end(), packets.begin(), packets.end());
        const TDecodedImage a = decode(raw), b = decode(rle);
        EXPECT_EQ(a.Width, w);
        EXPECT_EQ(a.Format, b.Format);
        EXPECT_EQ(a.Pixels, b.Pixels);
        EXPECT_EQ(a.Palette, b.Palette);
        // Stored bottom-up: the last stored row is the top one.
        const std::size_t rowBytes = std::size_t(w) * bpp;
        EXPECT_TRUE(std::equal(a.Pixels.begin(), a.Pixels.begin() + rowBytes, px.end() - rowBytes));
    }
}

TEST(Targa, HeaderFieldsTheReaderIgnores)
{
    // Colour-map first entry 5, origin (7, 9), descriptor bit 4 (right to
    // left) and attribute bits 0-3: none of them moves a palette entry or a
    // pixel. 32-bit map entries are B, G, R, A with the A dropped.
    Bytes b = tgaHeader(1, 3, 1, 8, 0x20 | 0x10 | 0x0F, 1, 2, 32);
    b[3] = 5;
    b[8] = 7;
    b[10] = 9;
    b.insert(b.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    b.insert(b.end(), {0, 1, 1});
    const TDecodedImage img = decode(b);
    ASSERT_EQ(img.Palette.size(), 2u);
    EXPECT_EQ(img.Palette[0], (TPaletteEntry{1, 2, 3, 0}));
    EXPECT_EQ(img.Palette[1], (TPaletteEntry{5, 6, 7, 0}));
    EXPECT_EQ(img.Pixels, (Bytes{0, 1, 1}));

    // Pixel size 15 is the 5-5-5 format, two bytes a pixel, as stored.
    Bytes f = tgaHeader(2, 2, 1, 15, 0x20);
    put16(f, 0x7C00);
    put16(f, 0x001F);
    const TDecodedImage fifteen = decode(f);
    EXPECT_EQ(fifteen.Format, TPixelFormat::pf15bit);
    EXPECT_EQ(fifteen.Pixels, (Bytes{0x00, 0x7C, 0x1F, 0x00}));

    // 24-bit pixels are B, G, R as stored.
    Bytes t = tgaHeader(2, 1, 1, 24);
    t.insert(t.end(), {10, 20, 30});
    const TDecodedImage tc = decode(t);
    EXPECT_EQ(tc.Format, TPixelFormat::pf24bit);
    EXPECT_EQ(tc.Pixels, (Bytes{10, 20, 30}));
}

TEST(Targa, SixteenBitPixelsAndImageId)
{
    Bytes b = tgaHeader(2, 1, 1, 16, 0, 0, 0, 0, 3);
    b.insert(b.end(), {'a', 'b', 'c'});
    put16(b, 0x1234);
    TDecodedImage img = decode(b);
    EXPECT_EQ(img.Format, TPixelFormat::pf15bit);
    EXPECT_EQ(img.row(0)[0], 0x34);
    EXPECT_EQ(img.row(0)[1], 0x12);
}

TEST(Targa, UnknownImageTypeKeepsSizeWithBlankPixels)
{
    Bytes b = tgaHeader(32, 3, 2, 24);
    TDecodedImage img = decode(b);
    EXPECT_EQ(img.Width, 3);
    EXPECT_EQ(img.Height, 2);
    EXPECT_EQ(img.Pixels, Bytes(18, 0));
}

TEST(Targa, ProgressAtTheStartAndAfterEveryRow)
{
    std::vector<std::pair<std::string, int>> told;
    TTargaGraphic tga;
    tga.OnProgress = [&](const char* stage, int percent) { told.emplace_back(stage, percent); };
    const std::vector<std::pair<std::string, int>> threeRows = {
        {"Preparing...", 0}, {"Transfering...", 33}, {"Transfering...", 66}, {"Transfering...", 100}};
    const Bytes raw = tga32(2, 3, false);
    tga.LoadFromBytes(raw.data(), raw.size());
    EXPECT_EQ(told, threeRows);

    told.clear();
    Bytes rle = tgaHeader(9, 2, 3, 8);
    for (int r = 0; r < 3; ++r) rle.insert(rle.end(), {0x81, std::uint8_t(r)});
    tga.LoadFromBytes(rle.data(), rle.size());
    EXPECT_EQ(told, threeRows);

    // No rows are read of an unknown image type.
    told.clear();
    const Bytes unknown = tgaHeader(32, 2, 3, 8);
    tga.LoadFromBytes(unknown.data(), unknown.size());
    EXPECT_EQ(told, (std::vector<std::pair<std::string, int>>{{"Preparing...", 0}}));
}

TEST(Targa, HostileFiles)
{
    expectReadError(Bytes(17, 0)); // shorter than the header
    Bytes shortRows = tga32(4, 4, false);
    shortRows.resize(shortRows.size() - 1);
    expectReadError(shortRows); // raw rows cut short
    Bytes shortMap = tgaHeader(1, 1, 1, 8, 0, 1, 100, 24);
    expectReadError(shortMap);                        // colour map cut short
    expectReadError(tgaHeader(2, 65535, 65535, 32));  // huge size, no data
    expectReadError(tgaHeader(10, 65535, 65535, 32)); // huge RLE size, no data
    Bytes id = tgaHeader(2, 1, 1, 24, 0, 0, 0, 0, 200);
    expectReadError(id); // ID runs past the end

    // Zero sizes decode to an empty raster.
    TDecodedImage img = decode(tgaHeader(2, 0, 5, 24));
    EXPECT_EQ(img.Width, 0);

    // Pixel index beyond the palette: decodes, converts to black.
    Bytes idx = tgaHeader(1, 4, 1, 8, 0, 1, 1, 24);
    idx.insert(idx.end(), {255, 255, 255, 0, 200, 0, 200});
    auto bmp = std::make_unique<TTargaGraphic>();
    bmp->LoadFromBytes(idx.data(), idx.size());
    TGLBitmap32 px = convertToBitmap32(bmp.get());
    ASSERT_EQ(px.Width, 4);
    EXPECT_EQ(px.Data[0], 255);
    EXPECT_EQ(px.Data[4], 0);
    EXPECT_EQ(px.Data[7], 255);
}

TEST(Targa, RunPastRowEndStaysInsideAndLosesTheRest)
{
    // Width 2: a run of 5 in the first row is cut, the next row starts with the
    // next packet; the file then ends, leaving the last row blank.
    Bytes b = tgaHeader(9, 2, 3, 8, 0x20);
    b.insert(b.end(), {0x84, 7, 0x01, 1, 2});
    TDecodedImage img = decode(b);
    EXPECT_EQ(img.row(0)[0], 7);
    EXPECT_EQ(img.row(0)[1], 7);
    EXPECT_EQ(img.row(1)[0], 1);
    EXPECT_EQ(img.row(1)[1], 2);
    EXPECT_EQ(img.row(2)[0], 0);

    // A raw packet longer than the data left.
    Bytes c = tgaHeader(10, 4, 1, 24, 0x20);
    c.insert(c.end(), {0x03, 1, 2, 3, 4, 5});
    img = decode(c);
    EXPECT_EQ(img.row(0)[0], 1);
    EXPECT_EQ(img.row(0)[3], 0);
}

TEST(Targa, MatchesNetpbmDecoding)
{
    VELMORA_REQUIRE_TOOLS("pamtotga");
    // A gradient for true colour, and a few-colour picture for colour maps.
    Bytes few = makePpm(41, 19);
    for (std::size_t i = 15; i < few.size(); ++i) few[i] &= 0xC0;
    const std::string grad = writeTemp("grad.ppm", makePpm(37, 23));
    const std::string cmap = writeTemp("few.ppm", few);
    const std::string grey = (tempDir() / "grey.pgm").string();
    ASSERT_TRUE(run("ppmtopgm " + grad + " > " + grey));
    struct Case {
        std::string source, options;
    } cases[] = {{grad, "-rgb -norle"}, {grad, "-rgb"},         {cmap, "-cmap -norle"},
                 {cmap, "-cmap"},       {grey, "-mono -norle"}, {grey, "-mono"}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string tga = (tempDir() / ("n" + std::to_string(n++) + ".tga")).string();
        ASSERT_TRUE(run("pamtotga " + c.options + " " + c.source + " > " + tga)) << c.options;
        // The reference is what netpbm itself reads back from the TGA.
        const std::string back = tga + ".ppm";
        TDecodedImage ref;
        ASSERT_TRUE(netpbmReference("tgatoppm " + tga + " > " + back, back, ref));
        TPicture pic;
        pic.LoadFromFile(tga);
        ASSERT_STREQ(pic.Graphic()->ClassName(), "TTargaGraphic");
        TGLBitmap32 px = convertToBitmap32(pic);
        ASSERT_EQ(px.Height, ref.Height);
        const int w = ref.Width;
        ASSERT_EQ(px.Width, (w + 3) / 4 * 4);
        const TDecodedImage& img = pic.Graphic()->Raster();
        for (int y = 0; y < ref.Height; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t bgr[3];
                const std::uint8_t* s = img.row(y);
                if (img.Format == TPixelFormat::pf8bit) {
                    ASSERT_LT(s[x], img.Palette.size());
                    std::copy_n(img.Palette[s[x]].data(), 3, bgr);
                } else {
                    ASSERT_EQ(img.Format, TPixelFormat::pf24bit);
                    std::copy_n(s + 3 * x, 3, bgr);
                }
                ASSERT_TRUE(std::equal(bgr, bgr + 3, ref.row(y) + 3 * x)) << c.options << " at " << x << "," << y;
            }
    }
}

TEST(HostilePictures, MutatedFilesFailCleanlyOrDecode)
{
    // Valid files of each core format, then thousands of damaged variants:
    // every one must either decode or throw a runtime_error, never crash or
    // read outside its data (the sanitizer build checks the latter).
    std::vector<std::pair<std::string, Bytes>> seeds;
    {
        Bytes raw = tgaHeader(2, 9, 5, 24);
        for (int i = 0; i < 9 * 5 * 3; ++i) raw.push_back(std::uint8_t(i * 5));
        seeds.emplace_back("tga", raw);
        Bytes rle = tgaHeader(9, 9, 5, 8, 0, 1, 4, 24);
        for (int i = 0; i < 12; ++i) rle.push_back(std::uint8_t(i * 20));
        for (int i = 0; i < 10; ++i) rle.insert(rle.end(), {0x83, std::uint8_t(i & 3), 0x01, 2, 9});
        seeds.emplace_back("tga", rle);
        TDecodedImage b;
        b.allocate(7, 3, TPixelFormat::pf8bit);
        b.Palette.resize(256);
        seeds.emplace_back("bmp", encodeBmp(b));
        b.allocate(7, 3, TPixelFormat::pf32bit);
        seeds.emplace_back("bmp", encodeBmp(b));
        b.allocate(7, 3, TPixelFormat::pf15bit);
        seeds.emplace_back("bmp", encodeBmp(b));
    }
    if (haveTool("cjpeg")) {
        const std::string jpg = (tempDir() / "seed.jpg").string();
        if (run("cjpeg -progressive " + writeTemp("seed.ppm", makePpm(24, 16)) + " > " + jpg))
            seeds.emplace_back("jpg", readFile(jpg));
    }
    std::uint32_t rng = 12345;
    auto next = [&] { return rng = rng * 1664525u + 1013904223u; };
    int decoded = 0, failed = 0;
    for (const auto& [ext, seed] : seeds) {
        for (int round = 0; round < 400; ++round) {
            Bytes b = seed;
            const int edits = 1 + int(next() % 6);
            for (int e = 0; e < edits; ++e) {
                const std::size_t at = next() % b.size();
                switch (next() % 3) {
                case 0: b[at] = std::uint8_t(next() >> 24); break;
                case 1: b[at] ^= std::uint8_t(1u << (next() % 8)); break;
                case 2: b.resize(std::max<std::size_t>(1, at)); break;
                }
            }
            auto g = pictureFormats().findByExtension(ext)->Create();
            try {
                g->LoadFromBytes(b.data(), b.size());
                TGLBitmap32 px = convertToBitmap32(g.get());
                ASSERT_EQ(px.Data.size(), std::size_t(px.Width) * px.Height * 4);
                ++decoded;
            } catch (const std::runtime_error&) {
                ++failed;
            }
        }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(failed, 0);
}
