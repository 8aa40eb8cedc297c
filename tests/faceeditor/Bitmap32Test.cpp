#include "faceeditor/Bitmap32.h"
#include "TestSupport.h"
#include "faceeditor/Blend.h"
#include "faceeditor/ReferenceRaster.h"
#include "pictures/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

using namespace velmora;

namespace {

std::vector<TColor32> pixels(const TBitmap32& b)
{
    return {b.Bits(), b.Bits() + std::size_t(b.Width()) * b.Height()};
}

void fillRandom(TBitmap32& b, std::mt19937& rng)
{
    // Alpha 0 and 255 are the blend's special cases, so they come often.
    std::uniform_int_distribution<int> kind(0, 3);
    for (int i = 0; i < b.Width() * b.Height(); ++i) {
        TColor32 c = rng();
        const int k = kind(rng);
        if (k == 0) c &= 0x00FFFFFF;
        if (k == 1) c |= 0xFF000000;
        b.Bits()[i] = c;
    }
}

// A file in one scratch folder of the test program, removed when it ends.
std::filesystem::path tempFile(const std::string& name)
{
    static const test::ScratchDir dir("velmora-facecore");
    return dir.path / name;
}

} // namespace

TEST(Bitmap32, ColourHelpers)
{
    EXPECT_EQ(ToColor32(0x0000FF), 0xFFFF0000u);
    EXPECT_EQ(ToColor32(0x123456), 0xFF563412u);
    EXPECT_EQ(ToColor32(std::int32_t(0x80000000u | 15)), 0xFFF0F0F0u); // button face
    EXPECT_EQ(ToColor32(std::int32_t(0x80000000u | 13)), 0xFF0078D7u); // highlight, stored as BGR
    EXPECT_EQ(ToColor32(std::int32_t(0x80000000u | 2)), 0xFF808080u);  // an index never named
    EXPECT_EQ(PixelIntensity(0xFFFF0000), 60);
    EXPECT_EQ(PixelIntensity(0xFF00FF00), 173);
    EXPECT_EQ(PixelIntensity(0xFF0000FF), 20);
    EXPECT_EQ(PixelIntensity(0xFF808080), 128);
    EXPECT_EQ(GrayPixel(0x40, 0x80), 0x80404040u);
    EXPECT_EQ(WithAlpha(0x11223344, 300), 0xFF223344u);
    EXPECT_EQ(WithAlpha(0x11223344, -3), 0x00223344u);

    TBitmap32 colour(2, 1), alpha(2, 1);
    colour.Pixel(0, 0) = 0xFF102030;
    colour.Pixel(1, 0) = 0x00405060;
    alpha.Pixel(0, 0) = 0xFFFF0000;
    alpha.Pixel(1, 0) = 0x00FFFFFF;
    AlphaFromIntensity(colour, alpha);
    EXPECT_EQ(colour.Pixel(0, 0), 0x3C102030u);
    EXPECT_EQ(colour.Pixel(1, 0), 0xFF405060u);
    GrayFromColor(alpha, alpha, true);
    EXPECT_EQ(alpha.Pixel(0, 0), 0xFF3C3C3Cu);
    EXPECT_EQ(alpha.Pixel(1, 0), 0x00FFFFFFu);
    GrayFromColor(alpha, alpha, false);
    EXPECT_EQ(alpha.Pixel(1, 0), 0xFFFFFFFFu);

    // Both take the source's size first; a resized target starts from 0, so
    // the alpha lands on black.
    TBitmap32 small(1, 1), grey(3, 2);
    small.Pixel(0, 0) = 0xFF112233;
    grey.FillAll(0xFF808080);
    AlphaFromIntensity(small, grey);
    EXPECT_EQ(small.Width(), 3);
    EXPECT_EQ(small.Height(), 2);
    EXPECT_EQ(pixels(small), std::vector<TColor32>(6, 0x80000000u));
    TBitmap32 wide(5, 5);
    GrayFromColor(wide, colour, false);
    EXPECT_EQ(wide.Width(), 2);
    EXPECT_EQ(wide.Pixel(0, 0), GrayPixel(PixelIntensity(0x3C102030), 255));
}

TEST(Bitmap32, SizesFillsAndChangeNotices)
{
    TBitmap32 b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.DrawMode(), dmOpaque);
    EXPECT_EQ(b.MasterAlpha(), 255);
    EXPECT_EQ(b.StretchFilter(), sfNearest);
    int changes = 0;
    b.OnChange = [&] { ++changes; };
    b.SetDimensions(-5, 3);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_TRUE(b.Empty());
    b.FillAll(0xFFFFFFFF); // nothing to fill
    EXPECT_EQ(changes, 1);
    b.SetWidth(4);
    EXPECT_EQ(b.Pixel(3, 2), 0u); // new pixels are transparent black
    b.FillAll(0x12345678);
    b.MakeOpaque();
    EXPECT_EQ(b.Pixel(1, 1), 0xFF345678u);
    changes = 0;
    b.SetMasterAlpha(255); // same value: no notice
    b.SetDrawMode(dmOpaque);
    EXPECT_EQ(changes, 0);
    b.SetMasterAlpha(7);
    b.BeginUpdate();
    b.SetStretchFilter(sfLinear);
    b.EndUpdate();
    EXPECT_EQ(changes, 1);

    // The same size again keeps the pixels, and still tells.
    b.SetDimensions(4, 3);
    EXPECT_EQ(b.Pixel(1, 1), 0xFF345678u);
    EXPECT_EQ(changes, 2);

    TBitmap32 c;
    c.SetCombineMode(cmMerge);
    c.FontRef().Height = 30;
    b.FontRef().Height = 12;
    b.SetDrawMode(dmBlend);
    c.CopyFrom(b);
    EXPECT_EQ(c.Width(), 4);
    EXPECT_EQ(c.DrawMode(), dmBlend);
    EXPECT_EQ(c.MasterAlpha(), 7);
    EXPECT_EQ(c.StretchFilter(), sfLinear);
    EXPECT_EQ(c.CombineMode(), cmMerge); // neither the combine mode nor the font is copied
    EXPECT_EQ(c.Font().Height, 30);
    EXPECT_EQ(pixels(c), pixels(b));
    c.CopyFrom(static_cast<const TGraphic*>(nullptr));
    EXPECT_TRUE(c.Empty());

    // A size no pixel store can hold fails cleanly and leaves it empty.
    EXPECT_THROW(b.SetDimensions(1 << 20, 1 << 20), EBitmapError);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
}

TEST(Bitmap32, BlendRules)
{
    using namespace blend;
    // Alpha 0 keeps the destination, alpha 255 copies the source exactly.
    EXPECT_EQ(blendPixel(0x00FF00FF, 0x12345678), 0x12345678u);
    EXPECT_EQ(blendPixel(0xFF010203, 0x12345678), 0xFF010203u);
    EXPECT_EQ(blendPixel(0x80FF0000, 0xFF0000FF), 0xC0800080u);
    // The pixel blend never reaches 255 over 0.
    EXPECT_EQ(blendPixelMaster(0xFFFFFFFF, 0x00000000, 255), 0xFEFEFEFEu);
    EXPECT_EQ(blendPixelRowMaster(0x01FFFFFF, 0xFF000000, 100), 0xFF000000u); // W = 0

    // Whole rows (vector code) against the per-pixel formulas.
    std::mt19937 rng(1);
    TBitmap32 f(37, 1), b(37, 1);
    for (int round = 0; round < 300; ++round) {
        fillRandom(f, rng);
        fillRandom(b, rng);
        const int n = int(rng() % 38);
        const int m = round % 3 == 0 ? 255 : int(rng() % 256);
        std::vector<TColor32> rowBlend(b.Bits(), b.Bits() + 37), pixBlend = rowBlend;
        std::vector<TColor32> expectRow = rowBlend, expectPix = rowBlend;
        for (int i = 0; i < n; ++i) {
            expectRow[i] = ref::rowBlend(f.Bits()[i], expectRow[i], m);
            expectPix[i] = ref::pixelBlend(f.Bits()[i], expectPix[i], m);
        }
        std::vector<TColor32> rowSse2 = rowBlend, pixSse2 = pixBlend;
        if (m == 255) {
            blendLine(f.Bits(), rowBlend.data(), n);
            blendLineSse2(f.Bits(), rowSse2.data(), n);
        } else {
            blendLineRowMaster(f.Bits(), rowBlend.data(), n, unsigned(m));
            blendLineRowMasterSse2(f.Bits(), rowSse2.data(), n, unsigned(m));
        }
        blendLinePixelMaster(f.Bits(), pixBlend.data(), n, unsigned(m));
        blendLinePixelMasterSse2(f.Bits(), pixSse2.data(), n, unsigned(m));
        ASSERT_EQ(rowBlend, expectRow) << "m " << m << " n " << n;
        ASSERT_EQ(pixBlend, expectPix) << "m " << m << " n " << n;
        ASSERT_EQ(rowSse2, expectRow) << "m " << m << " n " << n;
        ASSERT_EQ(pixSse2, expectPix) << "m " << m << " n " << n;
    }
}

TEST(Bitmap32, MasterAlphaZeroDrawsNothingInAnyTransfer)
{
    TBitmap32 src(10, 10), dst(20, 20);
    src.FillAll(0xFFFF0000);
    dst.FillAll(0xFF00FF00);
    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(0);
    const auto before = pixels(dst);
    for (TStretchFilter f : {sfNearest, sfLinear}) {
        src.SetStretchFilter(f);
        src.DrawAt(dst, 3, 3);
        for (TRect r : {TRect{0, 0, 10, 10}, TRect{0, 0, 20, 20}, TRect{0, 0, 20, 5}, TRect{0, 0, 5, 5}})
            src.DrawStretched(dst, r);
    }
    EXPECT_EQ(pixels(dst), before);
}

TEST(Bitmap32, StretchPathsFollowTheSizes)
{
    std::mt19937 rng(2);
    TBitmap32 src(10, 10);
    fillRandom(src, rng);
    src.SetStretchFilter(sfLinear);

    // Enlarging both ways: the bilinear rule, which differs from the resampler.
    TBitmap32 dst(20, 20);
    src.DrawStretched(dst, {0, 0, 20, 20});
    EXPECT_EQ(pixels(dst), ref::drawStretched(src, TBitmap32(20, 20), {0, 0, 20, 20}));
    // One axis shrinking (20 x 5): the resampler.
    TBitmap32 wide(20, 5);
    src.DrawStretched(wide, {0, 0, 20, 5});
    EXPECT_EQ(pixels(wide), ref::drawStretched(src, TBitmap32(20, 5), {0, 0, 20, 5}));

    // Nearest column maps: 4 -> 8 and the ruled 10 -> 6.
    TBitmap32 four(4, 1), eight(8, 1), ten(10, 1), six(6, 1);
    for (int i = 0; i < 4; ++i) four.Pixel(i, 0) = TColor32(i);
    for (int i = 0; i < 10; ++i) ten.Pixel(i, 0) = TColor32(i);
    four.DrawStretched(eight, {0, 0, 8, 1});
    ten.DrawStretched(six, {0, 0, 6, 1});
    EXPECT_EQ(pixels(eight), (std::vector<TColor32>{0, 0, 1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(pixels(six), (std::vector<TColor32>{0, 1, 3, 4, 6, 8}));
    // A one-column destination reads the middle column.
    TBitmap32 one(1, 1);
    ten.DrawStretched(one, {0, 0, 1, 1});
    EXPECT_EQ(one.Pixel(0, 0), 4u);

    // Equal sizes are a plain copy whatever the filter.
    TBitmap32 same(10, 10);
    src.DrawStretched(same, {0, 0, 10, 10});
    EXPECT_EQ(pixels(same), pixels(src));
}

// Values worked out by hand from the formulas, so the fast code and the
// per-pixel reference cannot share a misreading of them.
TEST(Bitmap32, StretchAndBlendValuesWorkedByHand)
{
    auto grey = [](unsigned v) { return TColor32(v * 0x01010101u); };
    auto levels = [](const TBitmap32& b) {
        std::vector<unsigned> out;
        for (TColor32 p : pixels(b)) {
            EXPECT_EQ(p, (p & 255) * 0x01010101u) << std::hex << p; // every channel alike
            out.push_back(p & 255);
        }
        return out;
    };

    // Bilinear 2 x 2 -> 4 x 4: the maps give P = 0 with weights 256, 192,
    // 64 and 0 (the last column and row pulled back inside the source).
    TBitmap32 src(2, 2);
    src.Pixel(0, 0) = grey(0);
    src.Pixel(1, 0) = grey(200);
    src.Pixel(0, 1) = grey(100);
    src.Pixel(1, 1) = grey(40);
    src.SetStretchFilter(sfLinear);
    TBitmap32 big(4, 4);
    src.DrawStretched(big, {0, 0, 4, 4});
    EXPECT_EQ(levels(big), (std::vector<unsigned>{0, 50, 150, 200, 25, 58, 126, 160, 75, 76, 78, 80, 100, 85, 55, 40}));

    // Resampler reducing 4 -> 2: lists (0: 32 + 96, 1: 96, 2: 32) and
    // (1: 32, 2: 96, 3: 32 + 96); the sums 16000 and 27520 over 256 truncate.
    TBitmap32 row(4, 1), half(2, 1);
    const unsigned values[] = {0, 100, 200, 40};
    for (int x = 0; x < 4; ++x) row.Pixel(x, 0) = grey(values[x]);
    row.SetStretchFilter(sfLinear);
    row.DrawStretched(half, {0, 0, 2, 1});
    EXPECT_EQ(levels(half), (std::vector<unsigned>{62, 107}));

    // A one-pixel-high source enlarges through the resampler, not the
    // bilinear rule: 2 x 1 -> 4 x 1 gives 0, 50, 150, 200.
    TBitmap32 pair(2, 1), wide(4, 1);
    pair.Pixel(1, 0) = grey(200);
    pair.SetStretchFilter(sfLinear);
    pair.DrawStretched(wide, {0, 0, 4, 1});
    EXPECT_EQ(levels(wide), (std::vector<unsigned>{0, 50, 150, 200}));

    // Which blend rule each transfer uses: F alpha 16 at master alpha 250
    // gives W = 16 by the row blend and W = 15 by the pixel blend.
    TBitmap32 f(1, 1);
    f.Pixel(0, 0) = 0x10FFFFFF;
    f.SetDrawMode(dmBlend);
    f.SetMasterAlpha(250);
    auto over = [&](auto draw) {
        TBitmap32 b(2, 2);
        b.FillAll(0xFF000000);
        draw(b);
        return b.Pixel(1, 1);
    };
    EXPECT_EQ(over([&](TBitmap32& b) { f.DrawAt(b, 1, 1); }), 0xF0101010u);
    f.SetStretchFilter(sfNearest);
    EXPECT_EQ(over([&](TBitmap32& b) { f.DrawStretched(b, {0, 0, 2, 2}); }), 0xF0101010u);
    f.SetStretchFilter(sfLinear);
    EXPECT_EQ(over([&](TBitmap32& b) { f.DrawStretched(b, {0, 0, 2, 2}); }), 0xF10F0F0Fu);
    EXPECT_EQ(over([&](TBitmap32& b) { f.DrawStretched(b, {1, 1, 2, 2}); }), 0xF0101010u) << "equal sizes: block copy";
}

TEST(Bitmap32, EveryTransferMatchesThePerPixelFormulas)
{
    std::mt19937 rng(3);
    auto pick = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
    const int masters[] = {255, 0, 1, 127, 128, 254};
    // With the wide vectors (where the processor has them) and without.
    for (int round = 0; round < 3000; ++round) {
        blend::setWideVectors(round < 1500);
        TBitmap32 src(pick(1, 24), pick(1, 24));
        TBitmap32 dst(pick(1, 30), pick(1, 30));
        fillRandom(src, rng);
        fillRandom(dst, rng);
        src.SetDrawMode(round % 2 ? dmBlend : dmOpaque);
        src.SetStretchFilter(round % 4 < 2 ? sfNearest : sfLinear);
        src.SetMasterAlpha(round % 5 == 4 ? int(rng() % 256) : masters[(round / 4) % 6]);
        const auto before = pixels(dst);
        if (round % 7 == 0) {
            const int x = pick(-30, 35), y = pick(-30, 35);
            src.DrawAt(dst, x, y);
            TBitmap32 expect(dst.Width(), dst.Height());
            std::copy(before.begin(), before.end(), expect.Bits());
            ASSERT_EQ(pixels(dst), ref::drawAt(src, expect, x, y)) << "round " << round;
            continue;
        }
        TRect r;
        r.Left = pick(-40, 35);
        r.Top = pick(-40, 35);
        r.Right = r.Left + pick(-2, 90);
        r.Bottom = r.Top + pick(-2, 90);
        if (round % 11 == 0) r.Right = r.Left + src.Width();
        src.DrawStretched(dst, r);
        TBitmap32 expect(dst.Width(), dst.Height());
        std::copy(before.begin(), before.end(), expect.Bits());
        ASSERT_EQ(pixels(dst), ref::drawStretched(src, expect, r))
            << "round " << round << " src " << src.Width() << "x" << src.Height() << " rect " << r.Left << "," << r.Top
            << "," << r.Right << "," << r.Bottom << " mode " << src.DrawMode() << " filter " << src.StretchFilter()
            << " M " << src.MasterAlpha() << " wide " << blend::wideVectors();
    }
    blend::setWideVectors(true);
}

TEST(Bitmap32, LargeReductionsMatchThePerPixelFormulas)
{
    // Strong reductions give long contributor lists whose rounding the middle
    // entry absorbs, sometimes below zero.
    std::mt19937 rng(4);
    for (int round = 0; round < 40; ++round) {
        TBitmap32 src(200 + int(rng() % 400), 1 + int(rng() % 300));
        fillRandom(src, rng);
        src.SetStretchFilter(sfLinear);
        src.SetDrawMode(round % 2 ? dmBlend : dmOpaque);
        src.SetMasterAlpha(round % 3 ? 255 : 90);
        TBitmap32 dst(1 + int(rng() % 12), 1 + int(rng() % 12));
        fillRandom(dst, rng);
        const auto before = pixels(dst);
        const TRect r{-1, 0, dst.Width() + 1, dst.Height()};
        src.DrawStretched(dst, r);
        TBitmap32 expect(dst.Width(), dst.Height());
        std::copy(before.begin(), before.end(), expect.Bits());
        ASSERT_EQ(pixels(dst), ref::drawStretched(src, expect, r)) << round;
    }
}

TEST(Bitmap32, TurnsAndMirrors)
{
    TBitmap32 b(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) b.Pixel(x, y) = TColor32(10 * y + x);
    b.SetDrawMode(dmBlend);
    b.SetMasterAlpha(9);
    b.RotateQuarterRight();
    ASSERT_EQ(b.Width(), 2);
    ASSERT_EQ(b.Height(), 3);
    EXPECT_EQ(b.Pixel(1, 0), 0u);  // top-left went to the top-right
    EXPECT_EQ(b.Pixel(0, 0), 10u); // (0, 1) -> (H - 1 - 1, 0)
    EXPECT_EQ(b.Pixel(0, 2), 12u);
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.MasterAlpha(), 9);
    b.RotateQuarterLeft();
    EXPECT_EQ(pixels(b), (std::vector<TColor32>{0, 1, 2, 10, 11, 12}));
    b.RotateQuarterLeft();
    EXPECT_EQ(b.Pixel(0, 2), 0u); // top-left went to the bottom-left
    b.RotateQuarterRight();
    b.RotateHalf();
    EXPECT_EQ(pixels(b), (std::vector<TColor32>{12, 11, 10, 2, 1, 0}));
    b.MirrorLeftRight();
    EXPECT_EQ(pixels(b), (std::vector<TColor32>{10, 11, 12, 0, 1, 2}));
    b.MirrorTopBottom();
    EXPECT_EQ(pixels(b), (std::vector<TColor32>{0, 1, 2, 10, 11, 12}));
}

TEST(Bitmap32, SmoothText)
{
    TBitmap32 a(120, 40), b(120, 40);
    a.FillAll(0x00FFFFFF);
    b.FillAll(0x00FFFFFF);
    a.FontRef().Height = 20;
    b.FontRef().Height = 20;
    a.DrawTextSmooth(2, 2, "Velmora", 9, 0xFF0000FF);
    b.DrawTextSmooth(2, 2, "Velmora", 4, 0xFF0000FF);
    EXPECT_EQ(pixels(a), pixels(b)); // level 9 is level 4
    int covered = 0;
    for (TColor32 p : pixels(a))
        if (p != 0x00FFFFFF) {
            ++covered;
            EXPECT_EQ(p & 0xFF, 0xFFu) << std::hex << p; // white moved towards blue
        }
    EXPECT_GT(covered, 50);

    // An empty text still measures one blank at 16 times the size.
    TFont32 font;
    font.Height = 20;
    TBitmap32 glyphs, measure;
    renderSmoothGlyphs(glyphs, font, "", 4, 0xFF000000);
    TFont32 big = font;
    big.Height = 20 * 16;
    measure.SetFont(big);
    const auto space = measure.MeasureText(" ");
    EXPECT_GT(space.Width, 0);
    EXPECT_EQ(glyphs.Width(), (space.Width >> 4) + 1);
    EXPECT_EQ(glyphs.Height(), (space.Height >> 4) + 1);
    for (TColor32 p : pixels(glyphs)) EXPECT_EQ(p, 0u); // RGB 0, nothing covered

    // Level 0: drawn pixels take the colour with the coverage as alpha, the
    // rest stay 0.
    TBitmap32 plain;
    renderSmoothGlyphs(plain, font, "I", 0, 0xFF123456);
    int on = 0;
    for (TColor32 p : pixels(plain)) {
        if (p == 0) continue;
        ++on;
        EXPECT_EQ(p & 0xFFFFFF, 0x123456u);
    }
    EXPECT_GT(on, 5);

    // Empty bitmaps take no text.
    TBitmap32 empty;
    empty.DrawTextSmooth(0, 0, "x", 4, 0xFF000000);
    EXPECT_TRUE(empty.Empty());
}

TEST(Bitmap32, SavesAlwaysA32BitBmpAndReadsItBack)
{
    TBitmap32 b(3, 2);
    b.Pixel(0, 0) = 0x80112233;
    b.Pixel(2, 1) = 0xFFABCDEF;
    const auto jpg = tempFile("face.jpg");
    b.SavePicture(jpg.string());
    const test::Bytes bytes = test::readFile(jpg);
    ASSERT_EQ(bytes.size(), 54u + 24u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[14], 40);
    EXPECT_EQ(bytes[28], 32);
    // Bottom row first, bytes B, G, R, A.
    EXPECT_EQ(bytes[54 + 8], 0xEF);
    EXPECT_EQ(bytes[54 + 11], 0xFF);
    EXPECT_EQ(bytes[54 + 12], 0x33);
    EXPECT_EQ(bytes[54 + 15], 0x80);

    const auto bmp = tempFile("face.bmp");
    std::filesystem::copy_file(jpg, bmp, std::filesystem::copy_options::overwrite_existing);
    TBitmap32 back;
    back.LoadPicture(bmp.string());
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.Pixel(0, 0), 0x80112233u);
    EXPECT_EQ(back.Pixel(2, 1), 0xFFABCDEFu);

    EXPECT_THROW(b.SavePicture("/nonexistent-folder/x.bmp"), EBitmapError);
}

TEST(Bitmap32, ReadingPicturesKeepsAlphaOnlyOf32BitBitmaps)
{
    // Top-first TGAs of two pixels in each pixel format.
    auto tga = [](int type, int bits, test::Bytes map, test::Bytes px) {
        test::Bytes b =
            test::tgaHeader(type, 2, 1, bits, 0x20, map.empty() ? 0 : 1, int(map.size() / 3), map.empty() ? 0 : 24);
        b.insert(b.end(), map.begin(), map.end());
        b.insert(b.end(), px.begin(), px.end());
        return b;
    };
    const struct {
        const char* name;
        test::Bytes file;
        TColor32 first, second;
    } cases[] = {
        {"a32.tga", tga(2, 32, {}, {1, 2, 3, 0x40, 4, 5, 6, 0}), 0x40030201, 0x00060504},
        {"a24.tga", tga(2, 24, {}, {1, 2, 3, 4, 5, 6}), 0xFF030201, 0xFF060504},
        {"a15.tga", tga(2, 15, {}, {0x00, 0x7C, 0x1F, 0x80}), 0xFFF80000, 0xFF0000F8},
        {"a8.tga", tga(1, 8, {10, 20, 30, 40, 50, 60}, {1, 0}), 0xFF3C3228, 0xFF1E140A},
    };
    for (const auto& c : cases) {
        const auto file = tempFile(c.name);
        test::writeFile(file, c.file);
        TBitmap32 b(7, 7);
        b.LoadPicture(file.string());
        ASSERT_EQ(b.Width(), 2) << c.name;
        ASSERT_EQ(b.Height(), 1) << c.name;
        EXPECT_EQ(b.Pixel(0, 0), c.first) << c.name;
        EXPECT_EQ(b.Pixel(1, 0), c.second) << c.name;
    }
}

TEST(Bitmap32, PicturesThatCannotBeReadKeepTheBitmap)
{
    TBitmap32 b(2, 2);
    b.FillAll(0xFF010203);
    const auto bad = tempFile("bad.bmp");
    test::writeFile(bad, "BM this is no bitmap");
    EXPECT_ANY_THROW(b.LoadPicture(bad.string()));
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Pixel(1, 1), 0xFF010203u);

    // A header claiming 70000 x 70000 pixels is refused without allocating.
    {
        std::ofstream out(bad, std::ios::binary | std::ios::trunc);
        unsigned char h[54] = {'B', 'M'};
        auto put = [&](int at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) h[at + i] = std::uint8_t(v >> (8 * i));
        };
        put(2, 54 + 16);
        put(10, 54);
        put(14, 40);
        put(18, 70000);
        put(22, 70000);
        h[26] = 1;
        h[28] = 24;
        out.write(reinterpret_cast<const char*>(h), 54);
        out.write("0123456789abcdef", 16);
    }
    EXPECT_ANY_THROW(b.LoadPicture(bad.string()));
    EXPECT_EQ(b.Width(), 2);
    EXPECT_ANY_THROW(b.LoadPicture(tempFile("missing.png").string()));
    EXPECT_ANY_THROW(b.LoadPicture(tempFile("file.unknownext").string()));
    EXPECT_EQ(b.Pixel(0, 0), 0xFF010203u);
}

TEST(Bitmap32, ThreadedAndVectorPathsGiveThePlainPixels)
{
    std::mt19937 rng(6);
    // Large enough that transfers split into bands on several threads.
    TBitmap32 src(1300, 900);
    fillRandom(src, rng);
    src.SetStretchFilter(sfLinear);
    const int threads = blend::RasterThreads();
    for (TDrawMode mode : {dmOpaque, dmBlend}) {
        src.SetDrawMode(mode);
        src.SetMasterAlpha(mode == dmBlend ? 200 : 255);
        TBitmap32 base(160, 130);
        fillRandom(base, rng);
        const auto before = pixels(base);
        const TRect r{-7, 3, 150, 125};
        std::vector<TColor32> results[3];
        for (int t = 1; t <= 3; ++t) {
            blend::setRasterThreads(t);
            TBitmap32 out(160, 130);
            std::copy(before.begin(), before.end(), out.Bits());
            src.DrawStretched(out, r);
            results[t - 1] = pixels(out);
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_EQ(results[0], results[2]);
        {
            // Without the wide vectors.
            blend::setWideVectors(false);
            TBitmap32 out(160, 130);
            std::copy(before.begin(), before.end(), out.Bits());
            src.DrawStretched(out, r);
            blend::setWideVectors(true);
            EXPECT_EQ(pixels(out), results[0]);
        }
        TBitmap32 expect(160, 130);
        std::copy(before.begin(), before.end(), expect.Bits());
        EXPECT_EQ(results[1], ref::drawStretched(src, expect, r)) << "mode " << mode;

        // Block copies of the whole picture, banded the same way.
        TBitmap32 wide(1400, 1000);
        fillRandom(wide, rng);
        const auto under = pixels(wide);
        std::vector<TColor32> blocks[2];
        for (int t = 1; t <= 2; ++t) {
            blend::setRasterThreads(t);
            TBitmap32 out(1400, 1000);
            std::copy(under.begin(), under.end(), out.Bits());
            src.DrawAt(out, 50, 60);
            blocks[t - 1] = pixels(out);
        }
        EXPECT_EQ(blocks[0], blocks[1]);
        TBitmap32 expectBlock(1400, 1000);
        std::copy(under.begin(), under.end(), expectBlock.Bits());
        EXPECT_EQ(blocks[1], ref::drawAt(src, expectBlock, 50, 60));
    }
    blend::setRasterThreads(threads);

    // The column pass with and without SSE4.1, on extreme sums.
    std::vector<std::int32_t> acc(64 * 4);
    for (auto& a : acc) a = int(rng() % 140000) - 4000;
    for (int round = 0; round < 2000; ++round) {
        const int n = 1 + int(rng() % 30);
        std::vector<int> pos(static_cast<std::size_t>(n)), w(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            pos[std::size_t(k)] = int(rng() % 64);
            w[std::size_t(k)] = int(rng() % 300) - 20;
        }
        const TColor32 plain = blend::resampleColumnPlain(acc.data(), pos.data(), w.data(), n);
        ASSERT_EQ(blend::resampleColumn(acc.data(), pos.data(), w.data(), n), plain);
        blend::setWideVectors(false);
        ASSERT_EQ(blend::resampleColumn(acc.data(), pos.data(), w.data(), n), plain);
        blend::setWideVectors(true);
    }

    // The row pass against the plain sum, odd lengths and odd row counts.
    std::vector<std::vector<std::uint8_t>> rows(9, std::vector<std::uint8_t>(77));
    for (auto& row : rows)
        for (auto& b : row) b = std::uint8_t(rng());
    for (int n = 1; n <= 9; ++n) {
        std::vector<const std::uint8_t*> ptrs;
        std::vector<int> w;
        for (int k = 0; k < n; ++k) {
            ptrs.push_back(rows[std::size_t(k)].data());
            w.push_back(int(rng() % 400) - 100);
        }
        std::vector<std::int32_t> fast(77, -1), sse2(77, -1);
        blend::accumulateRows(ptrs.data(), w.data(), n, fast.data(), 77);
        blend::accumulateRowsSse2(ptrs.data(), w.data(), n, sse2.data(), 77);
        for (int i = 0; i < 77; ++i) {
            ASSERT_EQ(sse2[std::size_t(i)], fast[std::size_t(i)]);
            std::int32_t plain = 0;
            for (int k = 0; k < n; ++k) plain += w[std::size_t(k)] * rows[std::size_t(k)][std::size_t(i)];
            ASSERT_EQ(fast[std::size_t(i)], plain) << n << " " << i;
        }
    }
}

TEST(Bitmap32, HugeTextIsRefusedNotAllocated)
{
    TBitmap32 b(10, 10);
    b.FontRef().Height = 900;
    EXPECT_THROW(b.DrawTextSmooth(0, 0, "A long caption in a huge font", 4, 0xFF000000), EBitmapError);
    EXPECT_EQ(b.Width(), 10);
}
