#include "output/ResampleOracle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace velmora;

namespace {

// A picture with rows `pad` bytes longer than its pixels, random content.
struct Picture {
    int w, h;
    std::ptrdiff_t stride;
    std::vector<std::uint8_t> bits;
    Picture(int w, int h, int pad, std::mt19937& rng, int flavour = 0)
        : w(w),
          h(h),
          stride(std::ptrdiff_t(w) * 3 + pad),
          bits(std::size_t(stride) * h + 1)
    {
        std::uniform_int_distribution<int> byte(0, 255);
        for (std::size_t i = 0; i < bits.size(); ++i) {
            if (flavour == 0)
                bits[i] = std::uint8_t(byte(rng));
            else
                bits[i] = (i / 7) % 2 ? 255 : 0; // hard edges: overshoot for the negative lobes
        }
    }
    TRgb24View view() { return {bits.data(), w, h, stride}; }
};

// A kernel whose lists mix ordinary and vanishingly small weights, and one
// with strong cancellation: lists the vector paths must hand to the plain sums.
float tinyTails(float x)
{
    const float t = std::fabs(x);
    if (t < 0.5f) return 1.0f - t;
    if (t < 1.5f) return 3e-9f;
    return 0.0f;
}
float cancelling(float x)
{
    const float t = std::fabs(x);
    if (t < 1.0f) return 3.0f - t;
    if (t < 2.0f) return -2.1f + 0.2f * t;
    return 0.0f;
}

struct KernelCase {
    const char* name;
    TFilterProc f;
    float support;
};

std::vector<KernelCase> kernels()
{
    std::vector<KernelCase> k;
    for (const auto& e : ResizeFilterTable) k.push_back({e.Name, e.Filter, e.Width});
    k.push_back({"tiny tails", tinyTails, 1.5f});
    k.push_back({"cancelling", cancelling, 2.0f});
    return k;
}

std::vector<TResampleIsa> isas()
{
    std::vector<TResampleIsa> v;
    for (TResampleIsa i : {TResampleIsa::Generic, TResampleIsa::Avx2, TResampleIsa::Avx512})
        if (resampleIsaSupported(i)) v.push_back(i);
    return v;
}

void expectSame(Picture& src, int dw, int dh, const KernelCase& k, TResampleIsa isa, int threads, std::mt19937& rng)
{
    Picture want(dw, dh, 5, rng), got(dw, dh, 5, rng);
    got.bits = want.bits; // padding bytes must survive too
    oracle::FilteredResize(src.view(), want.view(), k.f, k.support);
    TResampleOptions o;
    o.Isa = isa;
    o.Threads = threads;
    FilteredResize(src.view(), got.view(), k.f, k.support, {}, o);
    ASSERT_EQ(0, std::memcmp(want.bits.data(), got.bits.data(), want.bits.size()))
        << k.name << " " << src.w << "x" << src.h << " -> " << dw << "x" << dh << " on " << resampleIsaName(isa)
        << " with " << threads << " threads";
}

} // namespace

TEST(ResampleExact, EveryPathEqualsThePlainOracleBitForBit)
{
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<int> small(1, 70), large(1, 90), pad(0, 7);
    const std::vector<std::pair<int, int>> fixedSizes = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {3, 17}, {17, 3}};
    for (const KernelCase& k : kernels()) {
        for (int round = 0; round < 14; ++round) {
            // One-pixel and narrower-than-support sources first, then random ones.
            const auto [sw, sh] =
                round < int(fixedSizes.size()) ? fixedSizes[round] : std::pair{small(rng), small(rng)};
            Picture src(sw, sh, pad(rng), rng, round % 3 == 2);
            const int dw = round % 4 == 0 ? 1 : large(rng), dh = round % 5 == 1 ? 1 : large(rng);
            for (TResampleIsa isa : isas())
                for (int threads : {1, 3}) expectSame(src, dw, dh, k, isa, threads, rng);
        }
    }
}

TEST(ResampleExact, ShotSizesEqualTheOracle)
{
    // The box shot's own shapes: 4x and 3x shrinks of a tall render, and an
    // enlargement wider than 64 bytes per row with a ragged end.
    std::mt19937 rng(7);
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{1968, 1892, 492, 473}, {375, 301, 125, 100}, {37, 40, 301, 77}};
    const KernelCase triangle{"Triangle", triangleFilter, 1.0f};
    for (const auto& s : sizes) {
        Picture src(s.sw, s.sh, 0, rng);
        for (TResampleIsa isa : isas()) expectSame(src, s.dw, s.dh, triangle, isa, 0, rng);
    }
}

TEST(ResampleExact, ProgressRunsOncePerRowInOrderWithThreads)
{
    std::mt19937 rng(3);
    Picture src(800, 333, 0, rng);
    Picture dst(200, 83, 0, rng);
    for (TResampleIsa isa : isas()) {
        std::vector<int> seen;
        TResampleOptions o;
        o.Isa = isa;
        o.Threads = 2;
        FilteredResize(
            src.view(), dst.view(), triangleFilter, 1.0f, [&](int p) { seen.push_back(p); }, o);
        ASSERT_EQ(seen.size(), 333u) << resampleIsaName(isa);
        for (int k = 0; k < 333; ++k) ASSERT_EQ(seen[k], int(std::nearbyint(k * 100.0 / 332))) << k;
    }
    // A one-row source: the bar goes straight to 100.
    Picture row(40, 1, 0, rng), out(10, 1, 0, rng);
    std::vector<int> seen;
    FilteredResize(row.view(), out.view(), triangleFilter, 1.0f, [&](int p) { seen.push_back(p); });
    EXPECT_EQ(seen, std::vector<int>{100});
}

TEST(ResampleStream, BandsOfAnyHeightEqualTheWholeResize)
{
    // Random band heights down to single rows, on every path, with the
    // one-pixel and narrower-than-support sizes among them; the progress is
    // the whole resize's too.
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<int> side(1, 60), band(1, 40);
    const std::vector<std::pair<int, int>> fixedSizes = {{1, 1}, {1, 7}, {6, 1}, {2, 3}};
    for (const KernelCase& k : kernels()) {
        for (int round = 0; round < 8; ++round) {
            const auto [sw, sh] = round < int(fixedSizes.size()) ? fixedSizes[round] : std::pair{side(rng), side(rng)};
            Picture src(sw, sh, round % 4, rng, round % 3 == 2);
            const int dw = round % 3 == 0 ? 1 : side(rng), dh = round % 4 == 1 ? 1 : side(rng);
            Picture want(dw, dh, 2, rng);
            oracle::FilteredResize(src.view(), want.view(), k.f, k.support);
            for (TResampleIsa isa : isas()) {
                TResampleOptions o;
                o.Isa = isa;
                o.Threads = round % 2 ? 2 : 1;
                Picture whole(dw, dh, 2, rng), got(dw, dh, 2, rng);
                whole.bits = got.bits = want.bits;
                std::vector<int> wholeProgress, gotProgress;
                FilteredResize(
                    src.view(), whole.view(), k.f, k.support, [&](int p) { wholeProgress.push_back(p); }, o);
                TResizeStream stream(
                    sw, sh, got.view(), k.f, k.support, [&](int p) { gotProgress.push_back(p); }, o);
                while (stream.rowsAdded() < sh) {
                    const int y = stream.rowsAdded(), n = std::min(band(rng), sh - y);
                    stream.addRows(src.bits.data() + y * src.stride, n, src.stride);
                }
                stream.finish();
                ASSERT_EQ(0, std::memcmp(want.bits.data(), got.bits.data(), want.bits.size()))
                    << k.name << " " << sw << "x" << sh << " -> " << dw << "x" << dh << " on " << resampleIsaName(isa);
                ASSERT_EQ(0, std::memcmp(whole.bits.data(), got.bits.data(), got.bits.size()));
                ASSERT_EQ(gotProgress, wholeProgress);
            }
        }
    }
}

TEST(ResampleStream, RowsMustComeWholeAndOnce)
{
    std::mt19937 rng(5);
    Picture src(20, 10, 0, rng), dst(5, 3, 0, rng);
    EXPECT_THROW(TResizeStream(0, 10, dst.view(), triangleFilter, 1.0f), EResampleError);
    EXPECT_THROW(TResizeStream(20, 0, dst.view(), triangleFilter, 1.0f), EResampleError);
    const auto before = dst.bits;
    TResizeStream stream(20, 10, dst.view(), triangleFilter, 1.0f);
    stream.addRows(src.bits.data(), 6, src.stride);
    // Too many rows, or the vertical pass before the last row, are refused;
    // the destination is untouched until the pass runs.
    EXPECT_THROW(stream.addRows(src.bits.data(), 5, src.stride), EResampleError);
    EXPECT_THROW(stream.finish(), EResampleError);
    const std::size_t pixels = std::size_t(dst.stride) * dst.h;
    EXPECT_EQ(0, std::memcmp(dst.bits.data(), before.data(), pixels));
    stream.addRows(src.bits.data() + 6 * src.stride, 4, src.stride);
    stream.finish();
    EXPECT_THROW(stream.addRows(src.bits.data(), 1, src.stride), EResampleError);
    Picture want(5, 3, 0, rng);
    oracle::FilteredResize(src.view(), want.view(), triangleFilter, 1.0f);
    EXPECT_EQ(0, std::memcmp(dst.bits.data(), want.bits.data(), pixels));
}
