#pragma once
// The plain filtered resize, kept as the oracle of the fast one: lists of
// vectors, a column-by-column vertical pass, one thread, double arithmetic
// rounded to single precision after each addition.

#include "output/resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::oracle {

inline float f32(double v)
{
    return static_cast<float>(v);
}

inline std::uint8_t channelFromSum(float sum)
{
    if (sum > 255.0f) return 255;
    if (sum < 0.0f) return 0;
    return static_cast<std::uint8_t>(std::nearbyint(sum));
}

inline std::vector<std::vector<TContributor>> contributors(float scale, int srcLength, int dstLength,
                                                           TFilterProc filter, float support)
{
    std::vector<std::vector<TContributor>> lists(std::max(0, dstLength));
    auto mirror = [srcLength](long long j) {
        if (j < 0)
            j = -j;
        else if (j >= srcLength)
            j = 2LL * srcLength - 1 - j;
        return static_cast<int>(std::clamp<long long>(j, 0, srcLength - 1));
    };
    const bool shrinking = scale < 1.0f;
    const float width = shrinking ? f32(double(support) / scale) : support;
    const float stretch = shrinking ? f32(1.0 / scale) : 1.0f;
    for (int i = 0; i < dstLength; ++i) {
        const float center = f32(double(i) / scale);
        const long long left = static_cast<long long>(std::floor(double(center) - width));
        const long long right = static_cast<long long>(std::ceil(double(center) + width));
        for (long long j = left; j <= right; ++j) {
            float weight;
            if (shrinking)
                weight = f32(double(filter(f32((double(center) - double(j)) / stretch))) / stretch);
            else
                weight = filter(f32(double(center) - double(j)));
            if (weight == 0.0f) continue;
            lists[i].push_back({mirror(j), weight});
        }
    }
    return lists;
}

inline float scaleFactor(int dst, int src)
{
    if (src == 1 || dst == 1) return f32(double(dst) / src);
    return f32(double(dst - 1) / double(src - 1));
}

// One output pixel: each channel's weighted sum over the list, one single
// rounding per addition, of the pixels pixelAt(contributor) gives.
template <class PixelAt> void sumPixel(const std::vector<TContributor>& list, PixelAt pixelAt, std::uint8_t* q)
{
    float s0 = 0, s1 = 0, s2 = 0;
    for (const TContributor& c : list) {
        const std::uint8_t* p = pixelAt(c.Pixel);
        s0 = f32(double(s0) + double(p[0]) * c.Weight);
        s1 = f32(double(s1) + double(p[1]) * c.Weight);
        s2 = f32(double(s2) + double(p[2]) * c.Weight);
    }
    q[0] = channelFromSum(s0);
    q[1] = channelFromSum(s1);
    q[2] = channelFromSum(s2);
}

inline void FilteredResize(const TRgb24View& src, const TRgb24View& dst, TFilterProc filter, float support)
{
    const int SW = src.Width, SH = src.Height, DW = dst.Width, DH = dst.Height;
    if (SW < 1 || SH < 1) throw EResampleError("Source bitmap too small");
    if (DW < 1 || DH < 1) return;
    TGLBitmap24 work(DW, SH);
    const auto columns = contributors(scaleFactor(DW, SW), SW, DW, filter, support);
    for (int k = 0; k < SH; ++k) {
        const std::uint8_t* row = src.Bits + k * src.Stride;
        for (int i = 0; i < DW; ++i)
            sumPixel(
                columns[i], [&](int pixel) { return row + std::ptrdiff_t(pixel) * 3; }, work.pixel(i, k));
    }
    const auto rows = contributors(scaleFactor(DH, SH), SH, DH, filter, support);
    for (int k = 0; k < DW; ++k)
        for (int i = 0; i < DH; ++i)
            sumPixel(
                rows[i], [&](int pixel) { return work.pixel(k, pixel); }, dst.pixel(k, i));
}

} // namespace velmora::oracle
