#include "faceeditor/Blend.h"

#include <emmintrin.h>

namespace velmora::blend {

namespace {

// Four pixels: Z = (F * W + B * (256 - W) + 128) >> 8 per channel, with W given
// per pixel in 16-bit lanes (lo: pixels 0-1, hi: pixels 2-3). Every product
// and the sum stay below 65536, so 16-bit lanes are exact.
inline __m128i mix4(__m128i f, __m128i b, __m128i wlo, __m128i whi)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c256 = _mm_set1_epi16(256);
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i flo = _mm_unpacklo_epi8(f, zero), fhi = _mm_unpackhi_epi8(f, zero);
    const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(flo, wlo), _mm_mullo_epi16(blo, _mm_sub_epi16(c256, wlo)));
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(fhi, whi), _mm_mullo_epi16(bhi, _mm_sub_epi16(c256, whi)));
    lo = _mm_srli_epi16(_mm_add_epi16(lo, c128), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, c128), 8);
    return _mm_packus_epi16(lo, hi);
}

// Alpha of each pixel broadcast to its four 16-bit lanes.
inline void alphaLanes(__m128i f, __m128i& lo, __m128i& hi)
{
    const __m128i a = _mm_srli_epi32(f, 24);          // 0..255 in each 32-bit lane
    const __m128i a16 = _mm_or_si128(a, _mm_slli_epi32(a, 16)); // in both halves
    lo = _mm_shuffle_epi32(a16, _MM_SHUFFLE(1, 1, 0, 0));
    hi = _mm_shuffle_epi32(a16, _MM_SHUFFLE(3, 3, 2, 2));
}

} // namespace

void BlendLine(const TColor32* f, TColor32* b, int count)
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

void BlendLineRowMaster(const TColor32* f, TColor32* b, int count, unsigned m)
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

void BlendLinePixelMaster(const TColor32* f, TColor32* b, int count, unsigned m)
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
