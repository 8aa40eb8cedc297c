#pragma once
// The blend rules of the face editor's raster, on whole rows. Each channel
// (alpha included) is Z = (F * W + B * (256 - W) + 128) >> 8, exactly.
// The row routines use SSE2 (every x86-64 processor has it); the single-pixel
// forms are the plain formulas and serve for row remainders.

#include "faceeditor/Bitmap32.h"

namespace velmora::blend {

inline TColor32 Mix(TColor32 f, TColor32 b, unsigned w)
{
    TColor32 z = 0;
    for (int s = 0; s < 32; s += 8) {
        const unsigned fc = (f >> s) & 255, bc = (b >> s) & 255;
        z |= ((fc * w + bc * (256 - w) + 128) >> 8) << s;
    }
    return z;
}

// Row blend: W = Fa; alpha 255 copies F exactly, alpha 0 keeps B.
inline TColor32 blendPixel(TColor32 f, TColor32 b)
{
    const unsigned a = f >> 24;
    if (a == 255) return f;
    if (a == 0) return b;
    return Mix(f, b, a);
}
// Row blend with master alpha: W = ((Fa + 1) * M) >> 8.
inline TColor32 blendPixelRowMaster(TColor32 f, TColor32 b, unsigned m)
{
    const unsigned w = (((f >> 24) + 1) * m) >> 8;
    return w == 0 ? b : Mix(f, b, w);
}
// Pixel blend with master alpha: W = ((M + 1) * Fa) >> 8.
inline TColor32 blendPixelMaster(TColor32 f, TColor32 b, unsigned m)
{
    const unsigned w = ((m + 1) * (f >> 24)) >> 8;
    return w == 0 ? b : Mix(f, b, w);
}

// AVX2 where the processor has it (and wideVectors is on), else SSE2.
void blendLine(const TColor32* f, TColor32* b, int count);
void blendLineRowMaster(const TColor32* f, TColor32* b, int count, unsigned m);
void blendLinePixelMaster(const TColor32* f, TColor32* b, int count, unsigned m);
void blendLineSse2(const TColor32* f, TColor32* b, int count);
void blendLineRowMasterSse2(const TColor32* f, TColor32* b, int count, unsigned m);
void blendLinePixelMasterSse2(const TColor32* f, TColor32* b, int count, unsigned m);

} // namespace velmora::blend

namespace velmora::blend {

// acc[i] = sum over k of weights[k] * rows[k][i], for count bytes (the
// resampler's row pass).
// Uses AVX2 where the processor has it, else SSE2 (accumulateRowsSse2).
void accumulateRows(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int count);
// The same for two sets of weights over the same rows (two destination rows).
void accumulateRowsTwo(const std::uint8_t* const* rows, const int* w0, const int* w1, int n, std::int32_t* acc0,
                       std::int32_t* acc1, int count);
void accumulateRowsSse2(const std::uint8_t* const* rows, const int* weights, int n, std::int32_t* acc, int count);
// The same, one plain multiply at a time (the fallback without SSE4.1).
TColor32 resampleColumnPlain(const std::int32_t* acc, const int* positions, const int* weights, int n);

// How many threads large transfers may use (at least 1; default: up to two,
// as the processor has cores). Results never depend on it.
void setRasterThreads(int threads);
// Whether AVX2 is used where the processor has it (default on); for comparing.
void setWideVectors(bool on);
bool wideVectors();
int RasterThreads();

// One output pixel of the resampler's column pass: per channel
// ((sum of weight * acc[pos]) >> 16) AND 255, acc holding 4 channels per position.
TColor32 resampleColumn(const std::int32_t* acc, const int* positions, const int* weights, int n);

} // namespace velmora::blend
