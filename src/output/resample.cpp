#include "output/resample.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

inline float f32(double v) { return static_cast<float>(v); }

double sinc(float x)
{
    if (x == 0.0f) return 1.0;
    const float p = f32(double(x) * M_PI);
    return std::sin(double(p)) / double(p);
}

// Round half to even, as the pipeline's default rounding mode does.
inline std::uint8_t channelFromSum(float sum)
{
    if (sum > 255.0f) return 255;
    if (sum < 0.0f) return 0;
    return static_cast<std::uint8_t>(std::nearbyint(sum));
}

} // namespace

float BoxFilter(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float TriangleFilter(float x)
{
    const float t = std::fabs(x);
    return t < 1.0f ? f32(1.0 - t) : 0.0f;
}

float HermiteFilter(float x)
{
    const double t = std::fabs(x);
    return t < 1.0 ? f32((2.0 * t - 3.0) * t * t + 1.0) : 0.0f;
}

float BellFilter(float x)
{
    const float t = std::fabs(x);
    if (t < 0.5f) return f32(0.75 - double(t) * t);
    if (t < 1.5f) {
        const float u = f32(double(t) - 1.5);
        return f32(0.5 * u * u);
    }
    return 0.0f;
}

float SplineFilter(float x)
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

float Lanczos3Filter(float x)
{
    const float t = std::fabs(x);
    if (t < 3.0f) return f32(sinc(t) * sinc(f32(double(t) / 3.0)));
    return 0.0f;
}

float MitchellFilter(float x)
{
    // Cubic with B = C = 1/3.
    const float t = std::fabs(x);
    const float tt = f32(double(t) * t);
    if (t < 1.0f) return f32((7.0 * tt * t - 12.0 * tt + 16.0 / 3.0) / 6.0);
    if (t < 2.0f) return f32((-(7.0 / 3.0) * tt * t + 12.0 * tt - 20.0 * t + 32.0 / 3.0) / 6.0);
    return 0.0f;
}

const TFilterEntry ResizeFilterTable[7] = {
    {"Box", BoxFilter, 0.5f},         {"Triangle", TriangleFilter, 1.0f}, {"Hermite", HermiteFilter, 1.0f},
    {"Bell", BellFilter, 1.5f},       {"B-Spline", SplineFilter, 2.0f},   {"Lanczos3", Lanczos3Filter, 3.0f},
    {"Mitchell", MitchellFilter, 2.0f},
};

TRgb24Image::TRgb24Image(int width, int height)
    : Width(std::max(0, width)), Height(std::max(0, height)), Pixels(std::size_t(Width) * Height * 3)
{
}

std::vector<std::vector<TContributor>> BuildContributors(float scale, int srcLength, int dstLength,
                                                         TFilterProc filter, float support)
{
    std::vector<std::vector<TContributor>> lists(std::max(0, dstLength));
    auto mirror = [srcLength](long long j) {
        if (j < 0) j = -j;
        else if (j >= srcLength) j = 2LL * srcLength - 1 - j;
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

} // namespace

void FilteredResize(const TRgb24View& src, const TRgb24View& dst, TFilterProc filter, float support,
                    const TResampleProgress& progress)
{
    const int SW = src.Width, SH = src.Height, DW = dst.Width, DH = dst.Height;
    if (SW < 1 || SH < 1) throw EResampleError("Source bitmap too small");
    if (DW < 1 || DH < 1) return;

    const float xscale = scaleFactor(DW, SW);
    const float yscale = scaleFactor(DH, SH);

    TRgb24Image work(DW, SH);

    {
        const auto columns = BuildContributors(xscale, SW, DW, filter, support);
        for (int k = 0; k < SH; ++k) {
            if (progress) progress(SH > 1 ? int(std::nearbyint(double(k) * 100.0 / (SH - 1))) : 100);
            const std::uint8_t* row = src.Bits + k * src.Stride;
            for (int i = 0; i < DW; ++i) {
                float s0 = 0, s1 = 0, s2 = 0;
                for (const TContributor& c : columns[i]) {
                    const std::uint8_t* p = row + std::ptrdiff_t(c.Pixel) * 3;
                    s0 = f32(double(s0) + double(p[0]) * c.Weight);
                    s1 = f32(double(s1) + double(p[1]) * c.Weight);
                    s2 = f32(double(s2) + double(p[2]) * c.Weight);
                }
                std::uint8_t* q = work.pixel(i, k);
                q[0] = channelFromSum(s0);
                q[1] = channelFromSum(s1);
                q[2] = channelFromSum(s2);
            }
        }
    }

    const auto rows = BuildContributors(yscale, SH, DH, filter, support);
    for (int k = 0; k < DW; ++k) {
        for (int i = 0; i < DH; ++i) {
            float s0 = 0, s1 = 0, s2 = 0;
            for (const TContributor& c : rows[i]) {
                const std::uint8_t* p = work.pixel(k, c.Pixel);
                s0 = f32(double(s0) + double(p[0]) * c.Weight);
                s1 = f32(double(s1) + double(p[1]) * c.Weight);
                s2 = f32(double(s2) + double(p[2]) * c.Weight);
            }
            std::uint8_t* q = dst.pixel(k, i);
            q[0] = channelFromSum(s0);
            q[1] = channelFromSum(s1);
            q[2] = channelFromSum(s2);
        }
    }
}

} // namespace velmora
