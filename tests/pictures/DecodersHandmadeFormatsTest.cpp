// Formats no Debian tool writes (Autodesk, Dr. Halo, Wavefront RLA): files are
// built byte by byte here and checked against the values they were built from.
#include "PictureTestSupport.h"

using namespace velmora;
using namespace velmora::test;

namespace {

void putBe16(Bytes& b, std::size_t at, int v)
{
    b[at] = std::uint8_t(v >> 8);
    b[at + 1] = std::uint8_t(v);
}

void appendBe16(Bytes& b, int v)
{
    b.push_back(std::uint8_t(v >> 8)), b.push_back(std::uint8_t(v));
}
void appendLe16(Bytes& b, int v)
{
    b.push_back(std::uint8_t(v)), b.push_back(std::uint8_t(v >> 8));
}

// Signed-count runs: a repeat of 3 and literal bytes.
Bytes rlaChannel(const Bytes& line)
{
    Bytes out;
    std::size_t i = 0;
    while (i < line.size()) {
        std::size_t run = 1;
        while (i + run < line.size() && run < 128 && line[i + run] == line[i]) ++run;
        if (run >= 3) {
            out.push_back(std::uint8_t(run - 1));
            out.push_back(line[i]);
            i += run;
        } else {
            const std::size_t n = std::min<std::size_t>(run, line.size() - i);
            out.push_back(std::uint8_t(-int(n)));
            out.insert(out.end(), line.begin() + std::ptrdiff_t(i), line.begin() + std::ptrdiff_t(i + n));
            i += n;
        }
    }
    return out;
}

// An RLA of w x h with red, green, blue and a matte channel.
Bytes makeRla(int w, int h)
{
    Bytes b(740, 0);
    putBe16(b, 0, 0), putBe16(b, 2, w - 1), putBe16(b, 4, 0), putBe16(b, 6, h - 1);
    putBe16(b, 8, 0), putBe16(b, 10, w - 1), putBe16(b, 12, 0), putBe16(b, 14, h - 1);
    putBe16(b, 18, 0), putBe16(b, 20, 3), putBe16(b, 22, 1), putBe16(b, 26, -2);
    putBe16(b, 658, 8), putBe16(b, 662, 8);
    const std::size_t table = b.size();
    b.resize(b.size() + std::size_t(h) * 4);
    for (int line = 0; line < h; ++line) { // bottom line first
        const std::size_t at = b.size();
        for (int i = 0; i < 4; ++i) b[table + line * 4 + i] = std::uint8_t(at >> (24 - 8 * i));
        const int y = h - 1 - line;
        for (int c = 0; c < 4; ++c) {
            Bytes px(w);
            for (int x = 0; x < w; ++x)
                px[x] = std::uint8_t(c == 0 ? x * 20 : c == 1 ? y * 30 : c == 2 ? (x < 4 ? 99 : 7) : 255 - x);
            Bytes packed = rlaChannel(px);
            appendBe16(b, int(packed.size()));
            b.insert(b.end(), packed.begin(), packed.end());
        }
    }
    return b;
}

TEST(DecodersRla, ChannelsAndLineOrderOfAHandBuiltFile)
{
    const Bytes rla = makeRla(11, 5);
    TDecodedImage img;
    decodeRla(rla.data(), rla.size(), img);
    ASSERT_EQ(img.Format, TPixelFormat::pf32bit);
    ASSERT_EQ(img.Width, 11);
    // Pixel x = 2 is red 40, blue 99, alpha 253; green counts rows from the top.
    EXPECT_EQ((Bytes(img.row(0) + 8, img.row(0) + 12)), (Bytes{99, 0, 40, 253}));
    EXPECT_EQ((Bytes(img.row(4) + 8, img.row(4) + 12)), (Bytes{99, 120, 40, 253}));
    // Every pixel, against the values the file was built from.
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 11; ++x) {
            const std::uint8_t* p = img.row(y) + x * 4;
            ASSERT_EQ((Bytes(p, p + 4)),
                      (Bytes{std::uint8_t(x < 4 ? 99 : 7), std::uint8_t(y * 30), std::uint8_t(x * 20),
                             std::uint8_t(255 - x)}));
        }
}

TEST(DecodersRla, DamagedFilesFailCleanly)
{
    expectSafeOnDamage(decodeRla, makeRla(9, 4));
    // A run longer than the line.
    Bytes b = makeRla(4, 1);
    b[744 + 2] = 100;
    TDecodedImage img;
    EXPECT_THROW(decodeRla(b.data(), b.size(), img), EPictureError);
}

// A CUT of rows given as (count, value) repeat runs and literal runs.
Bytes makeCut()
{
    Bytes b;
    appendLe16(b, 6), appendLe16(b, 3), appendLe16(b, 0);
    const std::vector<Bytes> rows = {
        {0x86, 5, 0},                // six of 5
        {0x03, 1, 2, 3, 0x83, 9, 0}, // 1 2 3 then three of 9
        {0x06, 0, 1, 2, 3, 4, 5, 0},
    };
    for (const Bytes& r : rows) {
        appendLe16(b, int(r.size()));
        b.insert(b.end(), r.begin(), r.end());
    }
    return b;
}

TEST(DecodersCut, RunsDecodeToIndexes)
{
    const Bytes cut = makeCut();
    TDecodedImage img;
    decodeCut(cut.data(), cut.size(), img);
    ASSERT_EQ(img.Format, TPixelFormat::pf8bit);
    EXPECT_EQ(img.Pixels, (Bytes{5, 5, 5, 5, 5, 5, 1, 2, 3, 9, 9, 9, 0, 1, 2, 3, 4, 5}));
    // Without the palette file the indexes are grey levels up to the largest used.
    EXPECT_EQ(img.Palette[9][0], 255);
    EXPECT_EQ(img.Palette[0][0], 0);
    expectSafeOnDamage(decodeCut, cut);
    expectCutsNameTheFormat(decodeCut, cut, "CUT");
    // ImageMagick shows a palette-less cut file's indexes as they are, which
    // checks the run layout independently of our grey levels.
    if (!haveTool(Convert)) return;
    ScratchDir dir;
    writeFile(dir / "a.cut", cut);
    ASSERT_TRUE(run(Convert + " '" + (dir / "a.cut") + "' -depth 8 gray:'" + (dir / "a.gray") + "'"));
    EXPECT_EQ(readFile(dir / "a.gray"), img.Pixels);
}

Bytes makeAutodesk(int w, int h)
{
    Bytes b(32, 0);
    b[0] = 0x19, b[1] = 0x91, b[2] = std::uint8_t(w), b[4] = std::uint8_t(h), b[10] = 8;
    const std::uint32_t n = std::uint32_t(w * h);
    for (int i = 0; i < 4; ++i) b[12 + i] = std::uint8_t(n >> (8 * i));
    for (int i = 0; i < 256; ++i) b.insert(b.end(), {std::uint8_t(i % 64), std::uint8_t(63 - i % 64), 0});
    for (std::uint32_t i = 0; i < n; ++i) b.push_back(std::uint8_t(i * 3));
    return b;
}

TEST(DecodersAutodesk, PaletteComponentsAreWidenedFromSixBits)
{
    const Bytes cel = makeAutodesk(5, 3);
    TDecodedImage img;
    decodeAutodesk(cel.data(), cel.size(), img);
    ASSERT_EQ(img.Width, 5);
    ASSERT_EQ(img.Height, 3);
    EXPECT_EQ(img.Pixels[4], 12);
    // Entry 63: red 63 -> 255, green 0 -> 0 (stored B,G,R).
    EXPECT_EQ(img.Palette[63][2], 255);
    EXPECT_EQ(img.Palette[63][1], 0);
    EXPECT_EQ(img.Palette[1][2], 4);
    expectSafeOnDamage(decodeAutodesk, cel);
    expectCutsNameTheFormat(decodeAutodesk, cel, "Autodesk");
}

} // namespace
