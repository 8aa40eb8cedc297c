#include "output/resample.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

namespace velmora {

namespace {

inline float f32(double v)
{
    return static_cast<float>(v);
}

double sinc(float x)
{
    if (x == 0.0f) return 1.0;
    const float p = f32(double(x) * M_PI);
    return std::sin(double(p)) / double(p);
}

} // namespace

float boxFilter(float x)
{
    return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

float triangleFilter(float x)
{
    const float t = std::fabs(x);
    return t < 1.0f ? f32(1.0 - t) : 0.0f;
}

float hermiteFilter(float x)
{
    const double t = std::fabs(x);
    return t < 1.0 ? f32((2.0 * t - 3.0) * t * t + 1.0) : 0.0f;
}

float bellFilter(float x)
{
    const float t = std::fabs(x);
    if (t < 0.5f) return f32(0.75 - double(t) * t);
    if (t < 1.5f) {
        const float u = f32(double(t) - 1.5);
        return f32(0.5 * u * u);
    }
    return 0.0f;
}

float splineFilter(float x)
{
    const float t = std::fabs(x);
    if (t < 1.0f) {
        const float tt = f32(double(t) * t);
        return f32(0.5 * tt * t - tt + 2.0 / 3.0);
    }
    if (t < 2.0f) {
        const double u = 2.0 - t;
        return f32(u * u * u / 6.0);
    }
    return 0.0f;
}

float lanczos3Filter(float x)
{
    const float t = std::fabs(x);
    if (t < 3.0f) return f32(sinc(t) * sinc(f32(double(t) / 3.0)));
    return 0.0f;
}

float mitchellFilter(float x)
{
    // Cubic with B = C = 1/3.
    const float t = std::fabs(x);
    const float tt = f32(double(t) * t);
    if (t < 1.0f) return f32((7.0 * tt * t - 12.0 * tt + 16.0 / 3.0) / 6.0);
    if (t < 2.0f) return f32((-(7.0 / 3.0) * tt * t + 12.0 * tt - 20.0 * t + 32.0 / 3.0) / 6.0);
    return 0.0f;
}

const TFilterEntry ResizeFilterTable[7] = {
    {"Box", boxFilter, 0.5f},           {"Triangle", triangleFilter, 1.0f}, {"Hermite", hermiteFilter, 1.0f},
    {"Bell", bellFilter, 1.5f},         {"B-Spline", splineFilter, 2.0f},   {"Lanczos3", lanczos3Filter, 3.0f},
    {"Mitchell", mitchellFilter, 2.0f},
};

std::vector<std::vector<TContributor>> buildContributors(float scale, int srcLength, int dstLength, TFilterProc filter,
                                                         float support)
{
    std::vector<std::vector<TContributor>> lists(std::max(0, dstLength));
    auto mirror = [srcLength](long long j) {
        if (j < 0)
            j = -j;
        else if (j >= srcLength)
            j = 2LL * srcLength - 1 - j;
        // A source narrower than the support: keep reads inside it.
        return static_cast<int>(std::clamp<long long>(j, 0, srcLength - 1));
    };
    const bool shrinking = scale < 1.0f;
    const float width = shrinking ? f32(double(support) / scale) : support;
    const float stretch = shrinking ? f32(1.0 / scale) : 1.0f;
    for (int i = 0; i < dstLength; ++i) {
        const float center = f32(double(i) / scale);
        const long long left = static_cast<long long>(std::floor(double(center) - width));
        const long long right = static_cast<long long>(std::ceil(double(center) + width));
        auto& list = lists[i];
        list.reserve(static_cast<std::size_t>(std::trunc(2.0 * width + 1.0)) + 1);
        for (long long j = left; j <= right; ++j) {
            float weight;
            if (shrinking)
                weight = f32(double(filter(f32((double(center) - double(j)) / stretch))) / stretch);
            else
                weight = filter(f32(double(center) - double(j)));
            if (weight == 0.0f) continue;
            list.push_back({mirror(j), weight});
        }
    }
    return lists;
}

namespace {

// Round half to even, as the pipeline's default rounding mode does.
inline std::uint8_t channelFromSum(float sum)
{
    if (sum > 255.0f) return 255;
    if (sum < 0.0f) return 0;
    return static_cast<std::uint8_t>(std::nearbyint(sum));
}

// Scale factor of one direction: the end pixels of the destination sit on the
// end pixels of the source. A destination of length 1 has no such span; it
// takes the plain size ratio instead so the single pixel averages the source
// around its first pixel rather than dividing by zero.
float scaleFactor(int dst, int src)
{
    if (src == 1) return f32(double(dst) / src);
    if (dst == 1) return f32(double(dst) / src);
    return f32(double(dst - 1) / double(src - 1));
}

// The contributor lists of one pass in flat arrays, every list padded to the
// same count with weight 0 after its own entries (adding 0 x a channel value
// leaves a sum unchanged, and a sum is never -0).
//
// Fused[i] says the list's sums may be formed with single-precision fused
// multiply-adds: each step then rounds the exact s + v x w once, which is
// what the plain double addition rounded to single gives whenever that
// double sum is exact. It is when the smallest weight is at least 2^-20 of
// the sum of all weight magnitudes: every term and partial sum is then a
// multiple of 2^(e-23), e the smallest weight's exponent, below 256 times
// that sum in magnitude, so it needs fewer than 53 bits.
struct TFlatList {
    int Count = 0;
    std::vector<int> Pixel;
    std::vector<float> Weight;
    std::vector<std::uint8_t> Fused;

    TFlatList(float scale, int srcLength, int dstLength, TFilterProc filter, float support)
    {
        const auto lists = buildContributors(scale, srcLength, dstLength, filter, support);
        for (const auto& l : lists) Count = std::max(Count, int(l.size()));
        Pixel.assign(std::size_t(dstLength) * Count, 0);
        Weight.assign(std::size_t(dstLength) * Count, 0.0f);
        Fused.assign(std::size_t(dstLength), 0);
        for (int i = 0; i < dstLength; ++i) {
            const auto& l = lists[i];
            double total = 0, smallest = INFINITY;
            for (int k = 0; k < int(l.size()); ++k) {
                Pixel[std::size_t(i) * Count + k] = l[k].Pixel;
                Weight[std::size_t(i) * Count + k] = l[k].Weight;
                total += std::fabs(double(l[k].Weight));
                smallest = std::min(smallest, std::fabs(double(l[k].Weight)));
            }
            const int pad = l.empty() ? 0 : l.back().Pixel;
            for (int k = int(l.size()); k < Count; ++k) Pixel[std::size_t(i) * Count + k] = pad;
            Fused[i] = l.empty() || (std::isfinite(total) && smallest >= total * 0x1p-20);
        }
    }
    const int* pixels(int i) const { return Pixel.data() + std::size_t(i) * Count; }
    const float* weights(int i) const { return Weight.data() + std::size_t(i) * Count; }
};

using AlignedBytes = std::unique_ptr<std::uint8_t[], void (*)(std::uint8_t*)>;
void freeAlignedBytes(std::uint8_t* p)
{
    ::operator delete[](p, std::align_val_t(64));
}
AlignedBytes alignedBytes(std::size_t n)
{
    auto* p = static_cast<std::uint8_t*>(::operator new[](std::max<std::size_t>(n, 1), std::align_val_t(64)));
    std::memset(p, 0, n);
    return AlignedBytes(p, freeAlignedBytes);
}
struct FreeAligned {
    void operator()(float* p) const { ::operator delete[](p, std::align_val_t(64)); }
};
using AlignedFloats = std::unique_ptr<float[], FreeAligned>;

AlignedFloats alignedFloats(std::size_t n, bool zero = false)
{
    auto* p = static_cast<float*>(::operator new[](std::max<std::size_t>(n, 1) * sizeof(float), std::align_val_t(64)));
    if (zero) std::fill_n(p, n, 0.0f);
    return AlignedFloats(p);
}

// The horizontal pass as byte windows: output bytes of a row in groups of 16
// (pixel i's channel c is byte 3i + c), each group with the byte offset of a
// 128-byte window of the source row that holds every byte its lanes read,
// and per contributor step the lanes' offsets into it and their weights.
// A group whose bytes spread wider is Plain.
struct TByteWindows {
    int Groups = 0, K = 0;
    std::vector<int> Base;
    std::vector<std::uint8_t> Plain;
    std::vector<unsigned long long> MaskLo, MaskHi;
    AlignedBytes Index{nullptr, freeAlignedBytes};
    AlignedFloats Weight;

    TByteWindows(const TFlatList& cols, int srcWidth, int dstWidth)
    {
        const int n = dstWidth * 3, rowBytes = srcWidth * 3;
        K = cols.Count;
        Groups = (n + 15) / 16;
        Base.assign(Groups, 0);
        Plain.assign(Groups, 0);
        MaskLo.assign(Groups, 0);
        MaskHi.assign(Groups, 0);
        Index = alignedBytes(std::size_t(Groups) * K * 16);
        Weight = alignedFloats(std::size_t(Groups) * K * 16, true);
        for (int g = 0; g < Groups; ++g) {
            int lo = INT32_MAX, hi = -1;
            for (int l = 0; l < 16 && g * 16 + l < n; ++l) {
                const int j = g * 16 + l;
                for (int k = 0; k < K; ++k) {
                    const int off = cols.pixels(j / 3)[k] * 3 + j % 3;
                    lo = std::min(lo, off);
                    hi = std::max(hi, off);
                }
            }
            if (hi < 0) lo = hi = 0;
            Base[g] = lo;
            Plain[g] = hi - lo + 1 > 128;
            const long long avail = rowBytes - lo;
            MaskLo[g] = avail >= 64 ? ~0ULL : (1ULL << avail) - 1;
            MaskHi[g] = avail >= 128 ? ~0ULL : avail > 64 ? (1ULL << (avail - 64)) - 1 : 0;
            if (Plain[g]) continue;
            for (int l = 0; l < 16 && g * 16 + l < n; ++l) {
                const int j = g * 16 + l;
                for (int k = 0; k < K; ++k) {
                    const std::size_t at = std::size_t(g) * K + k;
                    Index[at * 16 + l] = std::uint8_t(cols.pixels(j / 3)[k] * 3 + j % 3 - lo);
                    Weight[at * 16 + l] = cols.weights(j / 3)[k];
                }
            }
        }
    }
};

// The plain sum of one channel: double addition of the exact product, rounded
// to single precision after each step.
inline float plainSum(const std::uint8_t* base, std::ptrdiff_t step, const int* pixel, const float* weight, int K)
{
    float s = 0;
    for (int k = 0; k < K; ++k) s = f32(double(s) + double(base[pixel[k] * step]) * weight[k]);
    return s;
}

void plainHorizontalRow(const std::uint8_t* row, const TFlatList& cols, int first, int last, std::uint8_t* out,
                        bool onlyUnfused)
{
    const int K = cols.Count;
    for (int i = first; i <= last; ++i) {
        if (onlyUnfused && cols.Fused[i]) continue;
        const int* p = cols.pixels(i);
        const float* w = cols.weights(i);
        float s0 = 0, s1 = 0, s2 = 0;
        for (int k = 0; k < K; ++k) {
            const std::uint8_t* q = row + std::ptrdiff_t(p[k]) * 3;
            s0 = f32(double(s0) + double(q[0]) * w[k]);
            s1 = f32(double(s1) + double(q[1]) * w[k]);
            s2 = f32(double(s2) + double(q[2]) * w[k]);
        }
        std::uint8_t* o = out + std::size_t(i) * 3;
        o[0] = channelFromSum(s0);
        o[1] = channelFromSum(s1);
        o[2] = channelFromSum(s2);
    }
}

// A destination row from the intermediate rows of its list, walking the
// rows in memory order: every byte's sum in `acc`, one row added at a time.
void plainVerticalRow(const std::uint8_t* const* rows, const float* w, int K, int n, std::uint8_t* out, float* acc)
{
    std::fill_n(acc, n, 0.0f);
    for (int k = 0; k < K; ++k) {
        const std::uint8_t* r = rows[k];
        const double wk = w[k];
        for (int j = 0; j < n; ++j) acc[j] = f32(double(acc[j]) + double(r[j]) * wk);
    }
    for (int j = 0; j < n; ++j) out[j] = channelFromSum(acc[j]);
}

// 16 rows of 16 bytes into 16 columns of 16 bytes (plain SSE2).
inline void Transpose16x16(const __m128i in[16], __m128i out[16])
{
    __m128i t[16], u[16], v[16];
    for (int i = 0; i < 8; ++i) {
        t[2 * i] = _mm_unpacklo_epi8(in[2 * i], in[2 * i + 1]);
        t[2 * i + 1] = _mm_unpackhi_epi8(in[2 * i], in[2 * i + 1]);
    }
    // t[2p + h]: rows 2p, 2p+1, columns 8h..8h+7.
    for (int g = 0; g < 4; ++g)
        for (int h = 0; h < 2; ++h) {
            const __m128i x = t[4 * g + h], y = t[4 * g + 2 + h];
            u[4 * g + 2 * h] = _mm_unpacklo_epi16(x, y);
            u[4 * g + 2 * h + 1] = _mm_unpackhi_epi16(x, y);
        }
    // u[4g + q]: rows 4g..4g+3, columns 4q..4q+3.
    for (int g = 0; g < 2; ++g)
        for (int q = 0; q < 4; ++q) {
            const __m128i x = u[8 * g + q], y = u[8 * g + 4 + q];
            v[8 * g + 2 * q] = _mm_unpacklo_epi32(x, y);
            v[8 * g + 2 * q + 1] = _mm_unpackhi_epi32(x, y);
        }
    // v[8g + d]: rows 8g..8g+7, columns 2d, 2d+1.
    for (int d = 0; d < 8; ++d) {
        out[2 * d] = _mm_unpacklo_epi64(v[d], v[8 + d]);
        out[2 * d + 1] = _mm_unpackhi_epi64(v[d], v[8 + d]);
    }
}

} // namespace

// GCC takes the instruction set of a region from "#pragma GCC target"; clang
// only from an attribute on each function, which "#pragma clang attribute"
// spreads over the region (lambdas included).
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
namespace resample_avx2 {
#include "output/ResampleKernels.inc"
} // namespace resample_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi,avx2,fma"))),        \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi,avx2,fma")
#endif
// GCC 12 reports its own intrinsics' undefined start values as uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
namespace resample_avx512 {
#define RESAMPLE_AVX512
#include "output/ResampleKernels.inc"
#undef RESAMPLE_AVX512
} // namespace resample_avx512
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace {

struct TKernels {
    void (*transpose)(const std::uint8_t* const rows[16], int n, float* T) = nullptr;
    void (*horizontal)(const float* T, const TFlatList& cols, int first, int last,
                       std::uint8_t* const out[16]) = nullptr;
    void (*vertical)(const std::uint8_t* const* rows, const float* w, int K, int n, std::uint8_t* out) = nullptr;
    void (*windows)(const std::uint8_t* rowA, const std::uint8_t* rowB, const TByteWindows& win, int n,
                    std::uint8_t* outA, std::uint8_t* outB) = nullptr;
};

TKernels kernelsFor(TResampleIsa isa)
{
    switch (isa) {
    case TResampleIsa::Avx512:
        return {resample_avx512::transposeRows, resample_avx512::horizontalBlock, resample_avx512::verticalRow,
                resample_avx512::horizontalRowWindows};
    case TResampleIsa::Avx2:
        return {resample_avx2::transposeRows, resample_avx2::horizontalBlock, resample_avx2::verticalRow};
    case TResampleIsa::Generic: break;
    }
    return {};
}

// Runs work(index, thread) for index 0..count-1 on `threads` threads (the
// calling one is thread 0); `between` runs on the calling thread after each
// index it did and once all are done.
template <class Work, class Between> void runParallel(int count, int threads, Work&& work, Between&& between)
{
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    auto loop = [&](int t) {
        for (int i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) work(i, t);
    };
    std::vector<std::thread> pool;
    threads = std::max(1, std::min(threads, count));
    for (int t = 1; t < threads; ++t) pool.emplace_back(loop, t);
    try {
        for (int i; (i = next.fetch_add(1)) < count;) {
            work(i, 0);
            between();
        }
    } catch (...) {
        stop = true;
        for (auto& th : pool) th.join();
        throw;
    }
    for (auto& th : pool) th.join();
    between();
}

} // namespace

bool resampleIsaSupported(TResampleIsa isa)
{
    switch (isa) {
    case TResampleIsa::Generic: return true;
    case TResampleIsa::Avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case TResampleIsa::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("avx512vbmi") && resampleIsaSupported(TResampleIsa::Avx2);
    }
    return false;
}

TResampleIsa resampleBestIsa()
{
    static const TResampleIsa best = [] {
        if (resampleIsaSupported(TResampleIsa::Avx512)) return TResampleIsa::Avx512;
        if (resampleIsaSupported(TResampleIsa::Avx2)) return TResampleIsa::Avx2;
        return TResampleIsa::Generic;
    }();
    return best;
}

const char* resampleIsaName(TResampleIsa isa)
{
    switch (isa) {
    case TResampleIsa::Avx512: return "AVX-512";
    case TResampleIsa::Avx2: return "AVX2";
    case TResampleIsa::Generic: break;
    }
    return "x86-64";
}

void FilteredResize(const TRgb24View& src, const TRgb24View& dst, TFilterProc filter, float support,
                    const TResampleProgress& progress)
{
    FilteredResize(src, dst, filter, support, progress, TResampleOptions{});
}

struct TResizeStream::Impl {
    int SW, SH, DW, DH;
    TRgb24View dst;
    TFilterProc filter;
    float support;
    TResampleProgress progress;
    TKernels vec;
    int threads = 1;
    int nextRow = 0;
    bool finished = false;

    // The intermediate: destination width, source height; every byte is written.
    std::size_t workStride = 0;
    std::unique_ptr<std::uint8_t[]> workBits;
    std::uint8_t* workRow(int y) { return workBits.get() + workStride * std::size_t(y); }

    // The horizontal pass's lists, built once for all bands.
    std::unique_ptr<TFlatList> cols;
    std::unique_ptr<TByteWindows> windows;
    std::vector<int> unfused;
    std::vector<AlignedFloats> scratch;

    Impl(int sw, int sh, const TRgb24View& d, TFilterProc f, float r, const TResampleProgress& p,
         const TResampleOptions& options)
        : SW(sw),
          SH(sh),
          DW(d.Width),
          DH(d.Height),
          dst(d),
          filter(f),
          support(r),
          progress(p)
    {
        if (SW < 1 || SH < 1) throw EResampleError("Source bitmap too small");
        if (DW < 1 || DH < 1) return;
        vec = resampleIsaSupported(options.Isa) ? kernelsFor(options.Isa) : TKernels{};
        threads = options.Threads > 0 ? options.Threads : int(std::max(1u, std::thread::hardware_concurrency()));
        // Small pictures are not worth a thread.
        const std::int64_t work = std::int64_t(SW) * SH + std::int64_t(DW) * SH;
        threads = int(std::clamp<std::int64_t>(std::min<std::int64_t>(threads, work / 65536), 1, 64));
        workStride = std::size_t(DW) * 3;
        workBits = std::make_unique_for_overwrite<std::uint8_t[]>(workStride * SH);
        cols = std::make_unique<TFlatList>(scaleFactor(DW, SW), SW, DW, filter, support);
        scratch.resize(threads);
        if (vec.windows) windows = std::make_unique<TByteWindows>(*cols, SW, DW);
        for (int i = 0; i < DW; ++i)
            if (!cols->Fused[i]) unfused.push_back(i);
    }

    // ---- Horizontal pass over a band of source rows, blocks of 16 rows ----
    void addRows(const std::uint8_t* bits, int count, std::ptrdiff_t stride)
    {
        const int first = nextRow;
        nextRow += count;
        if (DW < 1 || DH < 1) return;
        const TFlatList& cl = *cols;
        const int blocks = (count + 15) / 16;
        std::vector<std::atomic<bool>> done(blocks);
        const std::size_t tFloats = std::size_t(SW) * 3 * 16;
        auto srcRow = [&](int r) { return bits + std::ptrdiff_t(r) * stride; };
        auto plainColumns = [&](const std::uint8_t* row, std::uint8_t* out) {
            for (int i : unfused) plainHorizontalRow(row, cl, i, i, out, false);
        };
        auto plainGroups = [&](const std::uint8_t* row, std::uint8_t* out) {
            for (int g = 0; g < windows->Groups; ++g) {
                if (!windows->Plain[g]) continue;
                for (int j = g * 16; j < std::min(g * 16 + 16, DW * 3); ++j)
                    out[j] = channelFromSum(plainSum(row + j % 3, 3, cl.pixels(j / 3), cl.weights(j / 3), cl.Count));
            }
        };
        // Rows r are of the band; r + first of the whole source.
        auto block = [&](int b, int t) {
            const int r0 = b * 16, rows = std::min(16, count - r0);
            if (windows) {
                for (int r = r0; r < r0 + rows; r += 2) {
                    const bool pair = r + 1 < r0 + rows;
                    const std::uint8_t* in = srcRow(r);
                    const std::uint8_t* in2 = pair ? srcRow(r + 1) : nullptr;
                    vec.windows(in, in2, *windows, DW * 3, workRow(first + r), pair ? workRow(first + r + 1) : nullptr);
                    for (int q = r; q < r + (pair ? 2 : 1); ++q) {
                        plainGroups(srcRow(q), workRow(first + q));
                        plainColumns(srcRow(q), workRow(first + q));
                    }
                }
            } else if (vec.transpose && rows == 16) {
                if (!scratch[t]) scratch[t] = alignedFloats(tFloats);
                float* T = scratch[t].get();
                const std::uint8_t* in[16];
                std::uint8_t* out[16];
                for (int r = 0; r < 16; ++r) {
                    in[r] = srcRow(r0 + r);
                    out[r] = workRow(first + r0 + r);
                }
                vec.transpose(in, SW * 3, T);
                vec.horizontal(T, cl, 0, DW - 1, out);
                for (int r = 0; r < 16; ++r) plainColumns(in[r], out[r]);
            } else {
                for (int r = r0; r < r0 + rows; ++r)
                    plainHorizontalRow(srcRow(r), cl, 0, DW - 1, workRow(first + r), false);
            }
            done[b].store(true, std::memory_order_release);
        };
        // Progress once per source row, in order, on this thread.
        int reported = 0;
        auto report = [&] {
            if (!progress) return;
            while (reported < count && done[reported / 16].load(std::memory_order_acquire)) {
                const int k = first + reported;
                progress(SH > 1 ? int(std::nearbyint(double(k) * 100.0 / (SH - 1))) : 100);
                ++reported;
            }
        };
        runParallel(blocks, threads, block, report);
    }

    // ---- Vertical pass, row by row through memory ----
    void finish()
    {
        if (DW < 1 || DH < 1) return;
        cols.reset();
        windows.reset();
        scratch.clear();
        const TFlatList rows(scaleFactor(DH, SH), SH, DH, filter, support);
        const int n = DW * 3;
        const int chunk = 4;
        std::vector<std::vector<float>> sums(threads);
        runParallel((DH + chunk - 1) / chunk, threads,
                    [&](int c, int t) {
                        const std::uint8_t* in[1024];
                        std::vector<const std::uint8_t*> big;
                        const std::uint8_t** ptrs = in;
                        if (rows.Count > 1024) {
                            big.resize(rows.Count);
                            ptrs = big.data();
                        }
                        for (int i = c * chunk; i < std::min(DH, (c + 1) * chunk); ++i) {
                            const int* p = rows.pixels(i);
                            for (int k = 0; k < rows.Count; ++k) ptrs[k] = workRow(p[k]);
                            std::uint8_t* out = dst.Bits + std::ptrdiff_t(i) * dst.Stride;
                            if (vec.vertical && rows.Fused[i])
                                vec.vertical(ptrs, rows.weights(i), rows.Count, n, out);
                            else {
                                if (sums[t].empty()) sums[t].resize(n);
                                plainVerticalRow(ptrs, rows.weights(i), rows.Count, n, out, sums[t].data());
                            }
                        }
                    },
                    [] {});
        workBits.reset();
    }
};

TResizeStream::TResizeStream(int srcWidth, int srcHeight, const TRgb24View& dst, TFilterProc filter, float support,
                             const TResampleProgress& progress, const TResampleOptions& options)
    : impl_(std::make_unique<Impl>(srcWidth, srcHeight, dst, filter, support, progress, options))
{}

TResizeStream::~TResizeStream() = default;

int TResizeStream::rowsAdded() const
{
    return impl_->nextRow;
}

void TResizeStream::addRows(const std::uint8_t* rows, int count, std::ptrdiff_t stride)
{
    Impl& m = *impl_;
    if (m.finished) throw EResampleError("Rows added to a finished resize");
    if (count < 0 || count > m.SH - m.nextRow) throw EResampleError("More source rows than the source has");
    if (count == 0) return;
    m.addRows(rows, count, stride);
}

void TResizeStream::finish()
{
    Impl& m = *impl_;
    if (m.finished) return;
    if (m.nextRow != m.SH) throw EResampleError("The source rows are incomplete");
    m.finished = true;
    m.finish();
}

void FilteredResize(const TRgb24View& src, const TRgb24View& dst, TFilterProc filter, float support,
                    const TResampleProgress& progress, const TResampleOptions& options)
{
    TResizeStream stream(src.Width, src.Height, dst, filter, support, progress, options);
    stream.addRows(src.Bits, src.Height, src.Stride);
    stream.finish();
}

} // namespace velmora
