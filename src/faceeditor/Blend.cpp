#include "faceeditor/Blend.h"

#include <emmintrin.h>

namespace velmora::blend {

namespace {

// Four pixels: Z = (F * W + B * (256 - W) + 128) >> 8 per channel, with W given
// per pixel in 16-bit lanes (lo: pixels 0-1, hi: pixels 2-3). Every product
// and the sum stay below 65536, so 16-bit lanes are exact.
inline __m128i mix4(__m128i f, __m128i b, __m128i wlo, __m128i whi)
{
    // F * W + B * (256 - W) + 128 = (F - B) * W + B * 256 + 128 lies in
    // 0..65408, so the same sum taken modulo 2^16 (one 16-bit multiply of the
    // signed difference) is exact.
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i flo = _mm_unpacklo_epi8(f, zero), fhi = _mm_unpackhi_epi8(f, zero);
    const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(flo, blo), wlo), _mm_slli_epi16(blo, 8));
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(fhi, bhi), whi), _mm_slli_epi16(bhi, 8));
    lo = _mm_srli_epi16(_mm_add_epi16(lo, c128), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, c128), 8);
    return _mm_packus_epi16(lo, hi);
}

// Alpha of each pixel broadcast to its four 16-bit lanes.
inline void alphaLanes(__m128i f, __m128i& lo, __m128i& hi)
{
    const __m128i a = _mm_srli_epi32(f, 24);                    // 0..255 in each 32-bit lane
    const __m128i a16 = _mm_or_si128(a, _mm_slli_epi32(a, 16)); // in both halves
    lo = _mm_shuffle_epi32(a16, _MM_SHUFFLE(1, 1, 0, 0));
    hi = _mm_shuffle_epi32(a16, _MM_SHUFFLE(3, 3, 2, 2));
}

} // namespace

void BlendLineSse2(const TColor32* f, TColor32* b, int count)
{
    const __m128i amask = _mm_set1_epi32(int(0xFF000000u));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i fv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
        const __m128i fa = _mm_and_si128(fv, amask);
        const __m128i opaque = _mm_cmpeq_epi32(fa, amask);
        const int opaqueBits = _mm_movemask_epi8(opaque);
        if (opaqueBits == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b + i), fv);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(fa, _mm_setzero_si128())) == 0xFFFF) continue;
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        __m128i wlo, whi;
        alphaLanes(fv, wlo, whi);
        const __m128i z = mix4(fv, bv, wlo, whi);
        const __m128i r = _mm_or_si128(_mm_and_si128(opaque, fv), _mm_andnot_si128(opaque, z));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b + i), r);
    }
    for (; i < count; ++i) b[i] = BlendPixel(f[i], b[i]);
}

void BlendLineRowMasterSse2(const TColor32* f, TColor32* b, int count, unsigned m)
{
    const __m128i mv = _mm_set1_epi16(short(m));
    const __m128i one = _mm_set1_epi16(1);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i fv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        __m128i alo, ahi;
        alphaLanes(fv, alo, ahi);
        const __m128i wlo = _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(alo, one), mv), 8);
        const __m128i whi = _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(ahi, one), mv), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b + i), mix4(fv, bv, wlo, whi));
    }
    for (; i < count; ++i) b[i] = BlendPixelRowMaster(f[i], b[i], m);
}

void BlendLinePixelMasterSse2(const TColor32* f, TColor32* b, int count, unsigned m)
{
    const __m128i mv = _mm_set1_epi16(short(m + 1));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i fv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        __m128i alo, ahi;
        alphaLanes(fv, alo, ahi);
        const __m128i wlo = _mm_srli_epi16(_mm_mullo_epi16(alo, mv), 8);
        const __m128i whi = _mm_srli_epi16(_mm_mullo_epi16(ahi, mv), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b + i), mix4(fv, bv, wlo, whi));
    }
    for (; i < count; ++i) b[i] = BlendPixelMaster(f[i], b[i], m);
}

} // namespace velmora::blend

#include <immintrin.h>
#include <smmintrin.h>

#include <thread>
#include <vector>

namespace velmora::blend {

// The row pass reads many rows side by side, more streams than the hardware
// prefetcher follows; asking ahead for each keeps it from waiting on memory.
constexpr int PrefetchAhead = 1024;

void AccumulateRowsSse2(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int count)
{
    // Pairs of 16-bit samples of two rows times their two weights, summed into
    // 32 bits (exact), kept in registers over all rows of a 16-byte chunk.
    const __m128i zero = _mm_setzero_si128();
    constexpr int MaxPairs = 64;
    __m128i w[MaxPairs];
    const int pairs = (n + 1) / 2;
    if (pairs > MaxPairs) {
        for (int i = 0; i < count; ++i) {
            std::int32_t s = 0;
            for (int k = 0; k < n; ++k) s += weights[k] * rows[k][i];
            acc[i] = s;
        }
        return;
    }
    for (int p = 0; p < pairs; ++p) {
        const int wa = weights[2 * p], wb = 2 * p + 1 < n ? weights[2 * p + 1] : 0;
        w[p] = _mm_set1_epi32(
            int(std::uint32_t(std::uint16_t(std::int16_t(wa))) | std::uint32_t(std::uint16_t(std::int16_t(wb))) << 16));
    }
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
        for (int p = 0; p < pairs; ++p) {
            const std::uint8_t* a = rows[2 * p];
            const std::uint8_t* b = 2 * p + 1 < n ? rows[2 * p + 1] : a;
            if ((i & 63) == 0) {
                _mm_prefetch(reinterpret_cast<const char*>(a + i + PrefetchAhead), _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(b + i + PrefetchAhead), _MM_HINT_T0);
            }
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
            const __m128i alo = _mm_unpacklo_epi8(va, zero), ahi = _mm_unpackhi_epi8(va, zero);
            const __m128i blo = _mm_unpacklo_epi8(vb, zero), bhi = _mm_unpackhi_epi8(vb, zero);
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), w[p]));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), w[p]));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), w[p]));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), w[p]));
        }
        __m128i* out = reinterpret_cast<__m128i*>(acc + i);
        _mm_storeu_si128(out + 0, s0);
        _mm_storeu_si128(out + 1, s1);
        _mm_storeu_si128(out + 2, s2);
        _mm_storeu_si128(out + 3, s3);
    }
    for (; i < count; ++i) {
        std::int32_t s = 0;
        for (int k = 0; k < n; ++k) s += weights[k] * rows[k][i];
        acc[i] = s;
    }
}

namespace {

inline int pairWeights(int wa, int wb)
{
    return int(std::uint32_t(std::uint16_t(std::int16_t(wa))) | std::uint32_t(std::uint16_t(std::int16_t(wb))) << 16);
}

// As AccumulateRowsSse2, 16 bytes of two rows per multiply-add pair.
__attribute__((target("avx2"))) void accumulateRowsAvx2(const std::uint8_t* const* rows, const int* weights, int n,
                                                        std::int32_t* acc, int count)
{
    constexpr int MaxPairs = 64;
    const int pairs = (n + 1) / 2;
    if (pairs > MaxPairs) {
        AccumulateRowsSse2(rows, weights, n, acc, count);
        return;
    }
    __m256i w[MaxPairs];
    for (int p = 0; p < pairs; ++p)
        w[p] = _mm256_set1_epi32(pairWeights(weights[2 * p], 2 * p + 1 < n ? weights[2 * p + 1] : 0));
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        // Samples widened in order; unpacking works within 128-bit halves, so
        // lo holds bytes 0-3 | 8-11 and hi bytes 4-7 | 12-15 until the end.
        __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
        for (int p = 0; p < pairs; ++p) {
            const std::uint8_t* a = rows[2 * p];
            const std::uint8_t* b = 2 * p + 1 < n ? rows[2 * p + 1] : a;
            if ((i & 63) == 0) {
                _mm_prefetch(reinterpret_cast<const char*>(a + i + PrefetchAhead), _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(b + i + PrefetchAhead), _MM_HINT_T0);
            }
            const __m256i va = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)));
            const __m256i vb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(va, vb), w[p]));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(va, vb), w[p]));
        }
        __m256i* out = reinterpret_cast<__m256i*>(acc + i);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    for (; i < count; ++i) {
        std::int32_t sum = 0;
        for (int k = 0; k < n; ++k) sum += weights[k] * rows[k][i];
        acc[i] = sum;
    }
}

// Two destination rows at once: each source row is read once for both.
__attribute__((target("avx2"))) void accumulateRowsTwoAvx2(const std::uint8_t* const* rows, const int* w0,
                                                           const int* w1, int n, std::int32_t* acc0, std::int32_t* acc1,
                                                           int count)
{
    constexpr int MaxPairs = 64;
    const int pairs = (n + 1) / 2;
    if (pairs > MaxPairs) {
        AccumulateRowsSse2(rows, w0, n, acc0, count);
        AccumulateRowsSse2(rows, w1, n, acc1, count);
        return;
    }
    __m256i wa[MaxPairs], wb[MaxPairs];
    for (int p = 0; p < pairs; ++p) {
        const bool two = 2 * p + 1 < n;
        wa[p] = _mm256_set1_epi32(pairWeights(w0[2 * p], two ? w0[2 * p + 1] : 0));
        wb[p] = _mm256_set1_epi32(pairWeights(w1[2 * p], two ? w1[2 * p + 1] : 0));
    }
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m256i lo0 = _mm256_setzero_si256(), hi0 = lo0, lo1 = lo0, hi1 = lo0;
        for (int p = 0; p < pairs; ++p) {
            const std::uint8_t* a = rows[2 * p];
            const std::uint8_t* b = 2 * p + 1 < n ? rows[2 * p + 1] : a;
            if ((i & 63) == 0) {
                _mm_prefetch(reinterpret_cast<const char*>(a + i + PrefetchAhead), _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(b + i + PrefetchAhead), _MM_HINT_T0);
            }
            const __m256i va = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)));
            const __m256i vb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
            const __m256i l = _mm256_unpacklo_epi16(va, vb), h = _mm256_unpackhi_epi16(va, vb);
            lo0 = _mm256_add_epi32(lo0, _mm256_madd_epi16(l, wa[p]));
            hi0 = _mm256_add_epi32(hi0, _mm256_madd_epi16(h, wa[p]));
            lo1 = _mm256_add_epi32(lo1, _mm256_madd_epi16(l, wb[p]));
            hi1 = _mm256_add_epi32(hi1, _mm256_madd_epi16(h, wb[p]));
        }
        __m256i* out0 = reinterpret_cast<__m256i*>(acc0 + i);
        __m256i* out1 = reinterpret_cast<__m256i*>(acc1 + i);
        _mm256_storeu_si256(out0, _mm256_permute2x128_si256(lo0, hi0, 0x20));
        _mm256_storeu_si256(out0 + 1, _mm256_permute2x128_si256(lo0, hi0, 0x31));
        _mm256_storeu_si256(out1, _mm256_permute2x128_si256(lo1, hi1, 0x20));
        _mm256_storeu_si256(out1 + 1, _mm256_permute2x128_si256(lo1, hi1, 0x31));
    }
    for (; i < count; ++i) {
        std::int32_t s0 = 0, s1 = 0;
        for (int k = 0; k < n; ++k) {
            s0 += w0[k] * rows[k][i];
            s1 += w1[k] * rows[k][i];
        }
        acc0[i] = s0;
        acc1[i] = s1;
    }
}

TColor32 packSums(const std::int32_t s[4])
{
    return TColor32((s[0] >> 16) & 255) | TColor32((s[1] >> 16) & 255) << 8 | TColor32((s[2] >> 16) & 255) << 16 |
        TColor32((s[3] >> 16) & 255) << 24;
}

} // namespace

TColor32 ResampleColumnPlain(const std::int32_t* acc, const int* positions, const int* weights, int n)
{
    std::int32_t s[4] = {0, 0, 0, 0};
    for (int k = 0; k < n; ++k) {
        const std::int32_t* p = acc + std::size_t(positions[k]) * 4;
        for (int ch = 0; ch < 4; ++ch) s[ch] += weights[k] * p[ch];
    }
    return packSums(s);
}

namespace {

__attribute__((target("sse4.1"))) TColor32 resampleColumnSse41(const std::int32_t* acc, const int* positions,
                                                               const int* weights, int n)
{
    __m128i s = _mm_setzero_si128();
    for (int k = 0; k < n; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + std::size_t(positions[k]) * 4));
        s = _mm_add_epi32(s, _mm_mullo_epi32(v, _mm_set1_epi32(weights[k])));
    }
    s = _mm_and_si128(_mm_srai_epi32(s, 16), _mm_set1_epi32(255));
    s = _mm_packs_epi32(s, s);
    s = _mm_packus_epi16(s, s);
    return TColor32(_mm_cvtsi128_si32(s));
}

// Two positions per step in the two halves of a 256-bit register.
__attribute__((target("avx2"))) TColor32 resampleColumnAvx2(const std::int32_t* acc, const int* positions,
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
    s = _mm_and_si128(_mm_srai_epi32(s, 16), _mm_set1_epi32(255));
    s = _mm_packs_epi32(s, s);
    s = _mm_packus_epi16(s, s);
    return TColor32(_mm_cvtsi128_si32(s));
}

// Chosen once for the processor.
const auto resampleColumnImpl = __builtin_cpu_supports("sse4.1") ? resampleColumnSse41 : ResampleColumnPlain;
const bool haveAvx2 = __builtin_cpu_supports("avx2");
bool useAvx2 = haveAvx2;

int rasterThreads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;

} // namespace

void AccumulateRows(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int count)
{
    if (useAvx2)
        accumulateRowsAvx2(rows, weights, n, acc, count);
    else
        AccumulateRowsSse2(rows, weights, n, acc, count);
}

void AccumulateRowsTwo(const std::uint8_t* const* rows, const int* w0, const int* w1, int n, std::int32_t* acc0,
                       std::int32_t* acc1, int count)
{
    if (useAvx2) {
        accumulateRowsTwoAvx2(rows, w0, w1, n, acc0, acc1, count);
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
        AccumulateRowsSse2(r.data(), w.data(), int(r.size()), pass ? acc1 : acc0, count);
    }
}

void SetWideVectors(bool on)
{
    useAvx2 = on && haveAvx2;
}
bool WideVectors()
{
    return useAvx2;
}

void SetRasterThreads(int threads)
{
    rasterThreads = threads < 1 ? 1 : threads;
}
int RasterThreads()
{
    return rasterThreads;
}

TColor32 ResampleColumn(const std::int32_t* acc, const int* positions, const int* weights, int n)
{
    if (useAvx2) return resampleColumnAvx2(acc, positions, weights, n);
    return resampleColumnImpl(acc, positions, weights, n);
}

} // namespace velmora::blend

namespace velmora::blend {

namespace {

// The same arithmetic on eight pixels; unpacking and packing stay within each
// 128-bit half, so pixel order is kept.
__attribute__((target("avx2"))) inline __m256i mix8(__m256i f, __m256i b, __m256i wlo, __m256i whi)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i flo = _mm256_unpacklo_epi8(f, zero), fhi = _mm256_unpackhi_epi8(f, zero);
    const __m256i blo = _mm256_unpacklo_epi8(b, zero), bhi = _mm256_unpackhi_epi8(b, zero);
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(flo, blo), wlo), _mm256_slli_epi16(blo, 8));
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(fhi, bhi), whi), _mm256_slli_epi16(bhi, 8));
    lo = _mm256_srli_epi16(_mm256_add_epi16(lo, c128), 8);
    hi = _mm256_srli_epi16(_mm256_add_epi16(hi, c128), 8);
    return _mm256_packus_epi16(lo, hi);
}

__attribute__((target("avx2"))) inline void alphaLanes8(__m256i f, __m256i& lo, __m256i& hi)
{
    const __m256i a = _mm256_srli_epi32(f, 24);
    const __m256i a16 = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
    lo = _mm256_shuffle_epi32(a16, _MM_SHUFFLE(1, 1, 0, 0));
    hi = _mm256_shuffle_epi32(a16, _MM_SHUFFLE(3, 3, 2, 2));
}

__attribute__((target("avx2"))) void blendLineAvx2(const TColor32* f, TColor32* b, int count)
{
    const __m256i amask = _mm256_set1_epi32(int(0xFF000000u));
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i fv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + i));
        const __m256i fa = _mm256_and_si256(fv, amask);
        const __m256i opaque = _mm256_cmpeq_epi32(fa, amask);
        const unsigned opaqueBits = unsigned(_mm256_movemask_epi8(opaque));
        if (opaqueBits == 0xFFFFFFFFu) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), fv);
            continue;
        }
        if (opaqueBits == 0 && _mm256_testz_si256(fa, fa)) continue; // all transparent
        const __m256i bv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        __m256i wlo, whi;
        alphaLanes8(fv, wlo, whi);
        const __m256i z = mix8(fv, bv, wlo, whi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), _mm256_blendv_epi8(z, fv, opaque));
    }
    BlendLineSse2(f + i, b + i, count - i);
}

__attribute__((target("avx2"))) void blendLineRowMasterAvx2(const TColor32* f, TColor32* b, int count, unsigned m)
{
    const __m256i mv = _mm256_set1_epi16(short(m));
    const __m256i one = _mm256_set1_epi16(1);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i fv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + i));
        const __m256i bv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        __m256i alo, ahi;
        alphaLanes8(fv, alo, ahi);
        const __m256i wlo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_add_epi16(alo, one), mv), 8);
        const __m256i whi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_add_epi16(ahi, one), mv), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), mix8(fv, bv, wlo, whi));
    }
    BlendLineRowMasterSse2(f + i, b + i, count - i, m);
}

__attribute__((target("avx2"))) void blendLinePixelMasterAvx2(const TColor32* f, TColor32* b, int count, unsigned m)
{
    const __m256i mv = _mm256_set1_epi16(short(m + 1));
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i fv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + i));
        const __m256i bv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        __m256i alo, ahi;
        alphaLanes8(fv, alo, ahi);
        const __m256i wlo = _mm256_srli_epi16(_mm256_mullo_epi16(alo, mv), 8);
        const __m256i whi = _mm256_srli_epi16(_mm256_mullo_epi16(ahi, mv), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), mix8(fv, bv, wlo, whi));
    }
    BlendLinePixelMasterSse2(f + i, b + i, count - i, m);
}

} // namespace

void BlendLine(const TColor32* f, TColor32* b, int count)
{
    if (WideVectors())
        blendLineAvx2(f, b, count);
    else
        BlendLineSse2(f, b, count);
}

void BlendLineRowMaster(const TColor32* f, TColor32* b, int count, unsigned m)
{
    if (WideVectors())
        blendLineRowMasterAvx2(f, b, count, m);
    else
        BlendLineRowMasterSse2(f, b, count, m);
}

void BlendLinePixelMaster(const TColor32* f, TColor32* b, int count, unsigned m)
{
    if (WideVectors())
        blendLinePixelMasterAvx2(f, b, count, m);
    else
        BlendLinePixelMasterSse2(f, b, count, m);
}

} // namespace velmora::blend
