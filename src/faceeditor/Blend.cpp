#include "faceeditor/Blend.h"

#include <immintrin.h>

#include <thread>
#include <vector>

namespace velmora::blend {

namespace {

// The row pass reads many rows side by side, more streams than the hardware
// prefetcher follows; asking ahead for each keeps it from waiting on memory.
constexpr int PrefetchAhead = 1024;
// Weights of more row pairs than this go the plain way.
constexpr int MaxPairs = 64;

inline int pairWeights(int wa, int wb)
{
    return int(std::uint32_t(std::uint16_t(std::int16_t(wa))) | std::uint32_t(std::uint16_t(std::int16_t(wb))) << 16);
}

bool fewPairs(int n)
{
    return (n + 1) / 2 <= MaxPairs;
}

// The row pass one multiply at a time, from byte `from` on.
void accumulatePlain(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int from, int count)
{
    for (int i = from; i < count; ++i) {
        std::int32_t s = 0;
        for (int k = 0; k < n; ++k) s += weights[k] * rows[k][i];
        acc[i] = s;
    }
}

// Four pixels in 128 bits; every x86-64 processor has SSE2.
namespace sse2 {
using Vec = __m128i;
constexpr int Pixels = 4;
constexpr int Sums = 4; // 32-bit sums of 16 bytes of samples
#define VEC(op) _mm_##op
#define VEC_SI(op) _mm_##op##_si128
inline bool allZero(Vec v)
{
    return _mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_setzero_si128())) == 0xFFFF;
}
inline Vec select(Vec mask, Vec set, Vec clear)
{
    return _mm_or_si128(_mm_and_si128(mask, set), _mm_andnot_si128(mask, clear));
}
// 16 bytes of rows a and b as 16-bit (a, b) pairs, in byte order.
inline void samplePairs(const std::uint8_t* a, const std::uint8_t* b, Vec out[Sums])
{
    const Vec z = _mm_setzero_si128();
    const Vec va = _mm_loadu_si128(reinterpret_cast<const Vec*>(a)),
              vb = _mm_loadu_si128(reinterpret_cast<const Vec*>(b));
    const Vec alo = _mm_unpacklo_epi8(va, z), ahi = _mm_unpackhi_epi8(va, z);
    const Vec blo = _mm_unpacklo_epi8(vb, z), bhi = _mm_unpackhi_epi8(vb, z);
    out[0] = _mm_unpacklo_epi16(alo, blo);
    out[1] = _mm_unpackhi_epi16(alo, blo);
    out[2] = _mm_unpacklo_epi16(ahi, bhi);
    out[3] = _mm_unpackhi_epi16(ahi, bhi);
}
inline void storeSums(std::int32_t* out, const Vec sums[Sums])
{
    for (int j = 0; j < Sums; ++j) _mm_storeu_si128(reinterpret_cast<Vec*>(out + 4 * j), sums[j]);
}
#include "faceeditor/BlendKernels.inc"
#undef VEC
#undef VEC_SI
} // namespace sse2

// GCC sets a region's instruction set with "#pragma GCC target", clang with
// an attribute that "#pragma clang attribute" puts on each function in it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
// Eight pixels in 256 bits, where the processor has AVX2.
namespace avx2 {
using Vec = __m256i;
constexpr int Pixels = 8;
constexpr int Sums = 2;
#define VEC(op) _mm256_##op
#define VEC_SI(op) _mm256_##op##_si256
inline bool allZero(Vec v)
{
    return _mm256_testz_si256(v, v);
}
inline Vec select(Vec mask, Vec set, Vec clear)
{
    return _mm256_blendv_epi8(clear, set, mask);
}
// Samples widened in order; unpacking works within 128-bit halves, so out[0]
// holds bytes 0-3 | 8-11 and out[1] bytes 4-7 | 12-15 until storeSums.
inline void samplePairs(const std::uint8_t* a, const std::uint8_t* b, Vec out[Sums])
{
    const Vec va = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)));
    const Vec vb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
    out[0] = _mm256_unpacklo_epi16(va, vb);
    out[1] = _mm256_unpackhi_epi16(va, vb);
}
inline void storeSums(std::int32_t* out, const Vec sums[Sums])
{
    _mm256_storeu_si256(reinterpret_cast<Vec*>(out), _mm256_permute2x128_si256(sums[0], sums[1], 0x20));
    _mm256_storeu_si256(reinterpret_cast<Vec*>(out + 8), _mm256_permute2x128_si256(sums[0], sums[1], 0x31));
}
#include "faceeditor/BlendKernels.inc"
#undef VEC
#undef VEC_SI

// Two positions per step in the two halves of a 256-bit register.
TColor32 resampleColumn(const std::int32_t* acc, const int* positions, const int* weights, int n);
} // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

} // namespace

void blendLineSse2(const TColor32* f, TColor32* b, int count)
{
    for (int i = sse2::blendSpan(f, b, count); i < count; ++i) b[i] = blendPixel(f[i], b[i]);
}

void blendLineRowMasterSse2(const TColor32* f, TColor32* b, int count, unsigned m)
{
    for (int i = sse2::blendRowMasterSpan(f, b, count, m); i < count; ++i) b[i] = blendPixelRowMaster(f[i], b[i], m);
}

void blendLinePixelMasterSse2(const TColor32* f, TColor32* b, int count, unsigned m)
{
    for (int i = sse2::blendPixelMasterSpan(f, b, count, m); i < count; ++i) b[i] = blendPixelMaster(f[i], b[i], m);
}

void accumulateRowsSse2(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int count)
{
    const int done = fewPairs(n) ? sse2::accumulateSpan<1>(rows, &weights, n, &acc, count) : 0;
    accumulatePlain(rows, weights, n, acc, done, count);
}

namespace {

// The per-pixel sums of the column pass to bytes: (sum >> 16) AND 255.
inline TColor32 packSums(__m128i s)
{
    s = _mm_and_si128(_mm_srai_epi32(s, 16), _mm_set1_epi32(255));
    s = _mm_packs_epi32(s, s);
    s = _mm_packus_epi16(s, s);
    return TColor32(_mm_cvtsi128_si32(s));
}

__attribute__((target("sse4.1"))) TColor32 resampleColumnSse41(const std::int32_t* acc, const int* positions,
                                                               const int* weights, int n)
{
    __m128i s = _mm_setzero_si128();
    for (int k = 0; k < n; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + std::size_t(positions[k]) * 4));
        s = _mm_add_epi32(s, _mm_mullo_epi32(v, _mm_set1_epi32(weights[k])));
    }
    return packSums(s);
}

} // namespace

__attribute__((target("avx2"))) TColor32 avx2::resampleColumn(const std::int32_t* acc, const int* positions,
                                                              const int* weights, int n)
{
    __m256i s2 = _mm256_setzero_si256();
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + std::size_t(positions[k]) * 4));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + std::size_t(positions[k + 1]) * 4));
        const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
        const __m256i w = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi32(weights[k])),
                                                  _mm_set1_epi32(weights[k + 1]), 1);
        s2 = _mm256_add_epi32(s2, _mm256_mullo_epi32(v, w));
    }
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(s2), _mm256_extracti128_si256(s2, 1));
    if (k < n) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + std::size_t(positions[k]) * 4));
        s = _mm_add_epi32(s, _mm_mullo_epi32(a, _mm_set1_epi32(weights[k])));
    }
    return packSums(s);
}

TColor32 resampleColumnPlain(const std::int32_t* acc, const int* positions, const int* weights, int n)
{
    std::int32_t s[4] = {0, 0, 0, 0};
    for (int k = 0; k < n; ++k) {
        const std::int32_t* p = acc + std::size_t(positions[k]) * 4;
        for (int ch = 0; ch < 4; ++ch) s[ch] += weights[k] * p[ch];
    }
    return TColor32((s[0] >> 16) & 255) | TColor32((s[1] >> 16) & 255) << 8 | TColor32((s[2] >> 16) & 255) << 16 |
        TColor32((s[3] >> 16) & 255) << 24;
}

namespace {

// Chosen once for the processor.
const auto resampleColumnImpl = __builtin_cpu_supports("sse4.1") ? resampleColumnSse41 : resampleColumnPlain;
const bool haveAvx2 = __builtin_cpu_supports("avx2");
bool useAvx2 = haveAvx2;

int rasterThreads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;

} // namespace

void accumulateRows(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int count)
{
    if (!useAvx2) {
        accumulateRowsSse2(rows, weights, n, acc, count);
        return;
    }
    const int done = fewPairs(n) ? avx2::accumulateSpan<1>(rows, &weights, n, &acc, count) : 0;
    accumulatePlain(rows, weights, n, acc, done, count);
}

void accumulateRowsTwo(const std::uint8_t* const* rows, const int* w0, const int* w1, int n, std::int32_t* acc0,
                       std::int32_t* acc1, int count)
{
    if (useAvx2) {
        const int* weights[2] = {w0, w1};
        std::int32_t* accs[2] = {acc0, acc1};
        const int done = fewPairs(n) ? avx2::accumulateSpan<2>(rows, weights, n, accs, count) : 0;
        accumulatePlain(rows, w0, n, acc0, done, count);
        accumulatePlain(rows, w1, n, acc1, done, count);
        return;
    }
    // Each destination row over its own source rows only.
    std::vector<const std::uint8_t*> r;
    std::vector<int> w;
    for (int pass = 0; pass < 2; ++pass) {
        const int* weights = pass ? w1 : w0;
        r.clear();
        w.clear();
        for (int k = 0; k < n; ++k)
            if (weights[k] != 0) {
                r.push_back(rows[k]);
                w.push_back(weights[k]);
            }
        accumulateRowsSse2(r.data(), w.data(), int(r.size()), pass ? acc1 : acc0, count);
    }
}

void setWideVectors(bool on)
{
    useAvx2 = on && haveAvx2;
}
bool wideVectors()
{
    return useAvx2;
}

void setRasterThreads(int threads)
{
    rasterThreads = threads < 1 ? 1 : threads;
}
int RasterThreads()
{
    return rasterThreads;
}

TColor32 resampleColumn(const std::int32_t* acc, const int* positions, const int* weights, int n)
{
    if (useAvx2) return avx2::resampleColumn(acc, positions, weights, n);
    return resampleColumnImpl(acc, positions, weights, n);
}

// The AVX2 kernels leave fewer than eight pixels, which the SSE2 row finishes.
void blendLine(const TColor32* f, TColor32* b, int count)
{
    const int done = wideVectors() ? avx2::blendSpan(f, b, count) : 0;
    blendLineSse2(f + done, b + done, count - done);
}

void blendLineRowMaster(const TColor32* f, TColor32* b, int count, unsigned m)
{
    const int done = wideVectors() ? avx2::blendRowMasterSpan(f, b, count, m) : 0;
    blendLineRowMasterSse2(f + done, b + done, count - done, m);
}

void blendLinePixelMaster(const TColor32* f, TColor32* b, int count, unsigned m)
{
    const int done = wideVectors() ? avx2::blendPixelMasterSpan(f, b, count, m) : 0;
    blendLinePixelMasterSse2(f + done, b + done, count - done, m);
}

} // namespace velmora::blend
