#include "output/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace velmora;

namespace {

TGLBitmap24 filled(int w, int h, std::uint8_t v)
{
    TGLBitmap24 img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) img.pixel(x, y)[c] = v;
    return img;
}

const TFilterEntry& filterNamed(const std::string& name)
{
    for (const auto& e : ResizeFilterTable)
        if (name == e.Name) return e;
    throw std::runtime_error("no filter " + name);
}

} // namespace

TEST(ResampleKernels, TableOrderSupportsAndShapes)
{
    const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell"};
    const float supports[] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
    for (int i = 0; i < 7; ++i) {
        EXPECT_STREQ(ResizeFilterTable[i].Name, names[i]);
        EXPECT_EQ(ResizeFilterTable[i].Width, supports[i]);
        // Every kernel vanishes at and beyond its support.
        EXPECT_EQ(ResizeFilterTable[i].Filter(supports[i] + 0.01f), 0.0f) << names[i];
    }
    // The box's interval is open below and closed above, on x itself.
    EXPECT_EQ(boxFilter(-0.5f), 0.0f);
    EXPECT_EQ(boxFilter(0.5f), 1.0f);
    EXPECT_EQ(triangleFilter(0.25f), 0.75f);
    EXPECT_EQ(bellFilter(0.0f), 0.75f);
    EXPECT_NEAR(splineFilter(0.0f), 2.0 / 3.0, 1e-7);
    EXPECT_NEAR(mitchellFilter(0.0f), 16.0 / 18.0, 1e-7);
    EXPECT_EQ(lanczos3Filter(0.0f), 1.0f);
    EXPECT_NEAR(lanczos3Filter(1.0f), 0.0, 1e-7);
    EXPECT_LT(lanczos3Filter(1.5f), 0.0f); // negative lobe

    // Values worked out by hand from the kernels' formulas, at points that
    // cross each branch boundary.
    EXPECT_EQ(hermiteFilter(0.5f), 0.5f);
    EXPECT_EQ(hermiteFilter(-0.5f), 0.5f);
    EXPECT_EQ(bellFilter(0.25f), 0.6875f);
    EXPECT_EQ(bellFilter(0.5f), 0.5f); // the outer branch starts at 0.5
    EXPECT_EQ(bellFilter(-1.0f), 0.125f);
    EXPECT_EQ(splineFilter(1.0f), float(1.0 / 6.0));
    EXPECT_NEAR(splineFilter(0.5f), 23.0 / 48.0, 1e-7);
    EXPECT_NEAR(mitchellFilter(1.0f), 1.0 / 18.0, 1e-7);
    EXPECT_NEAR(mitchellFilter(-1.5f), -0.125 / 3.6, 1e-7);
    EXPECT_NEAR(lanczos3Filter(0.5f), (2 / M_PI) * (3 / M_PI), 1e-6);
    EXPECT_NEAR(lanczos3Filter(-2.5f), (1 / (2.5 * M_PI)) * (0.5 / (2.5 * M_PI / 3)), 1e-6);
    EXPECT_EQ(triangleFilter(-1.0f), 0.0f);
    EXPECT_EQ(triangleFilter(0.0f), 1.0f);
}

TEST(ResampleContributors, QuarterSizeMirrorsAtTheBorder)
{
    // 2000 -> 500 with Triangle: scale 499/1999, support about 4.006.
    const float scale = float(499.0 / 1999.0);
    auto lists = buildContributors(scale, 2000, 500, triangleFilter, 1.0f);
    ASSERT_EQ(lists.size(), 500u);
    // Column 0 takes source 0..4 only; j = -1..-4 are mirrored onto 1..4.
    std::vector<int> counts(5, 0);
    float sum = 0;
    for (const auto& c : lists[0]) {
        ASSERT_GE(c.Pixel, 0);
        ASSERT_LE(c.Pixel, 4);
        counts[c.Pixel]++;
        sum += c.Weight;
    }
    EXPECT_EQ(counts[0], 1);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(counts[p], 2) << p;
    EXPECT_NEAR(sum, 1.0f, 1e-3);
    // No list holds more than the room trunc(2w + 1) allows.
    const double w = 1.0 / scale;
    for (const auto& l : lists) EXPECT_LE(l.size(), size_t(std::trunc(2 * w + 1)));
}

TEST(Resample, SameSizeIsIdentityAndProgressEndsAt100)
{
    TGLBitmap24 src(7, 5), dst(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c) src.pixel(x, y)[c] = std::uint8_t(x * 31 + y * 7 + c * 50);
    std::vector<int> progress;
    FilteredResize(src.view(), dst.view(), triangleFilter, 1.0f, [&](int p) { progress.push_back(p); });
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(dst.pixel(x, y)[c], src.pixel(x, y)[c]);
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress[2], 50);
    EXPECT_EQ(progress.back(), 100);
}

TEST(Resample, UniformGreyStaysUniformWithTriangle)
{
    // The render-to-file case: multiplier 4 on a 500 x 400 shot.
    auto src = filled(2000, 1600, 137);
    TGLBitmap24 dst(500, 400);
    FilteredResize(src.view(), dst.view(), triangleFilter, 1.0f);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 500; ++x) ASSERT_EQ(dst.pixel(x, y)[1], 137) << x << "," << y;
}

TEST(Resample, OvershootIsClampedNotWrapped)
{
    for (const char* name : {"Lanczos3", "Mitchell"}) {
        TGLBitmap24 src(16, 1);
        for (int x = 0; x < 16; ++x)
            for (int c = 0; c < 3; ++c) src.pixel(x, 0)[c] = x < 8 ? 0 : 255;
        TGLBitmap24 dst(61, 1);
        const auto& f = filterNamed(name);
        FilteredResize(src.view(), dst.view(), f.Filter, f.Width);
        // Around the edge the dark side must stay dark and the light side light.
        for (int x = 0; x < 61; ++x) {
            const double srcPos = x * 15.0 / 60.0;
            if (srcPos < 6) EXPECT_LT(dst.pixel(x, 0)[0], 40) << name << " " << x;
            if (srcPos > 9) EXPECT_GT(dst.pixel(x, 0)[0], 215) << name << " " << x;
        }
    }
}

TEST(Resample, BoxWeightsAreNotNormalised)
{
    // 10 -> 7 pixels: stretch 1.5, so column 0 has one contributor of
    // weight 2/3 and column 1 two of them. A uniform source comes out
    // darker in one and brighter in the other; that is the box kernel.
    auto grey = filled(10, 1, 100);
    TGLBitmap24 dst(7, 1);
    FilteredResize(grey.view(), dst.view(), boxFilter, 0.5f);
    EXPECT_EQ(dst.pixel(0, 0)[0], 67);
    EXPECT_EQ(dst.pixel(1, 0)[0], 133);
    EXPECT_EQ(dst.pixel(6, 0)[0], 67);
}

TEST(Resample, HalvesRoundToEven)
{
    // Enlarging 2 -> 3 puts column 1 halfway between the two source pixels.
    TGLBitmap24 src(2, 1), dst(3, 1);
    src.pixel(0, 0)[0] = 2, src.pixel(1, 0)[0] = 3; // 2.5 -> 2
    src.pixel(0, 0)[1] = 3, src.pixel(1, 0)[1] = 4; // 3.5 -> 4
    FilteredResize(src.view(), dst.view(), triangleFilter, 1.0f);
    EXPECT_EQ(dst.pixel(1, 0)[0], 2);
    EXPECT_EQ(dst.pixel(1, 0)[1], 4);
}

TEST(Resample, DegenerateSizesNeitherCrashNorReadOutside)
{
    TGLBitmap24 empty(0, 3), dst(4, 4);
    dst.pixel(0, 0)[0] = 77;
    EXPECT_THROW(
        {
            try {
                FilteredResize(empty.view(), dst.view(), triangleFilter, 1.0f);
            } catch (const EResampleError& e) {
                EXPECT_STREQ(e.what(), "Source bitmap too small");
                throw;
            }
        },
        EResampleError);
    EXPECT_EQ(dst.pixel(0, 0)[0], 77);

    // One-pixel destinations, a one-row source and a source narrower than the support.
    auto grey = filled(9, 1, 90);
    TGLBitmap24 one(1, 1);
    std::vector<int> progress;
    FilteredResize(grey.view(), one.view(), triangleFilter, 1.0f, [&](int p) { progress.push_back(p); });
    EXPECT_EQ(one.pixel(0, 0)[2], 90);
    // A one-row source: its only row is the last one.
    EXPECT_EQ(progress, std::vector<int>{100});
    auto two = filled(2, 2, 200);
    TGLBitmap24 wide(1, 9);
    FilteredResize(two.view(), wide.view(), lanczos3Filter, 3.0f);
    for (int y = 0; y < 9; ++y) EXPECT_NEAR(wide.pixel(0, y)[0], 200, 2);
}
