#pragma once
// Plain per-pixel versions of the raster's transfers, written straight from
// the formulas one destination pixel at a time. The fast row and vector code
// must give exactly these pixels.

#include "faceeditor/Bitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace velmora::ref {

inline unsigned channel(TColor32 c, int k)
{
    return (c >> (8 * k)) & 255;
}

inline TColor32 mix(TColor32 f, TColor32 b, unsigned w)
{
    unsigned out[4];
    for (int k = 0; k < 4; ++k) out[k] = (channel(f, k) * w + channel(b, k) * (256 - w) + 128) >> 8;
    return out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
}

inline TColor32 rowBlend(TColor32 f, TColor32 b, int m)
{
    const unsigned fa = f >> 24;
    if (m == 255) {
        if (fa == 0) return b;
        if (fa == 255) return f;
        return mix(f, b, fa);
    }
    const unsigned w = ((fa + 1) * unsigned(m)) >> 8;
    return (fa == 0 || w == 0) ? b : mix(f, b, w);
}

inline TColor32 pixelBlend(TColor32 f, TColor32 b, int m)
{
    const unsigned fa = f >> 24;
    const unsigned w = ((unsigned(m) + 1) * fa) >> 8;
    return (fa == 0 || w == 0) ? b : mix(f, b, w);
}

struct Contributor {
    int pos, weight;
};

inline std::vector<Contributor> contributorsAt(int srcW, long long dstLo, long long dstW, int c)
{
    std::vector<Contributor> list;
    if (srcW == 1) return {{0, 256}};
    const float q = float(double(dstW) / double(srcW));
    const float inv = 1.0f / q;
    const float centre = -0.5f + (float(c - dstLo) + 0.5f) * inv;
    auto f = [](float x) {
        x = std::fabs(x);
        return x < 1.0f ? 1.0f - x : 0.0f;
    };
    if (q < 1.0f) {
        for (int j = int(std::floor(centre - inv)); j <= int(std::ceil(centre + inv)); ++j) {
            const int w = int(std::nearbyint(256.0f * f((centre - float(j)) * q) * q));
            if (w) list.push_back({std::clamp(j, 0, srcW - 1), w});
        }
        if (list.empty()) list.push_back({std::clamp(int(std::floor(centre)), 0, srcW - 1), 256});
    } else {
        for (int j = int(std::floor(centre - 1)); j <= int(std::ceil(centre + 1)); ++j) {
            const int w = int(std::nearbyint(256.0f * f(centre - float(j))));
            if (w) list.push_back({std::clamp(j, 0, srcW - 1), w});
        }
    }
    int sum = 0;
    for (auto& e : list) sum += e.weight;
    list[(list.size() - 1) / 2].weight += 256 - sum;
    return list;
}

// One destination pixel of a stretched (or equal-size) draw.
inline TColor32 stretchedPixel(const TBitmap32& s, const TRect& r, int x, int y, TColor32 under)
{
    const int W = s.Width(), H = s.Height();
    const long long dw = (long long)r.Right - r.Left, dh = (long long)r.Bottom - r.Top;
    const bool opaque = s.DrawMode() == dmOpaque;
    const int m = s.MasterAlpha();
    if (dw == W && dh == H) {
        const TColor32 f = s.Pixel(x - r.Left, y - r.Top);
        return opaque ? f : rowBlend(f, under, m);
    }
    if (s.StretchFilter() != sfLinear) {
        auto map = [](int srcW, long long lo, long long dstW, int i) {
            if (dstW < 2) return (srcW - 1) / 2;
            const float sc = float(double(srcW) / double(dstW));
            return int(std::trunc(double(i - lo) * double(sc)));
        };
        const TColor32 f = s.Pixel(map(W, r.Left, dw, x), map(H, r.Top, dh, y));
        return opaque ? f : rowBlend(f, under, m);
    }
    TColor32 f = 0;
    if (dw > W && dh > H && W > 1 && H > 1) {
        auto map = [](int srcW, long long lo, long long dstW, int i, int& p, unsigned& w) {
            const float sc = float(double(srcW) / double(dstW));
            float t = sc * (float(i - lo) + 0.5f) - 0.5f;
            t = std::min(std::max(t, 0.0f), float(srcW - 1));
            p = int(std::floor(t));
            w = 256 - unsigned(std::nearbyint((t - std::floor(t)) * 256.0f));
            if (p == srcW - 1) {
                p = srcW - 2;
                w = 0;
            }
        };
        int px, py;
        unsigned wx, wy;
        map(W, r.Left, dw, x, px, wx);
        map(H, r.Top, dh, y, py, wy);
        for (int k = 0; k < 4; ++k) {
            const unsigned top = (channel(s.Pixel(px, py), k) * wx + channel(s.Pixel(px + 1, py), k) * (256 - wx)) >> 8;
            const unsigned bot =
                (channel(s.Pixel(px, py + 1), k) * wx + channel(s.Pixel(px + 1, py + 1), k) * (256 - wx)) >> 8;
            f |= ((top * wy + bot * (256 - wy)) >> 8) << (8 * k);
        }
    } else {
        const auto cols = contributorsAt(W, r.Left, dw, x);
        const auto rows = contributorsAt(H, r.Top, dh, y);
        for (int k = 0; k < 4; ++k) {
            long long sum = 0;
            for (auto& c : cols)
                for (auto& rr : rows) sum += (long long)c.weight * rr.weight * channel(s.Pixel(c.pos, rr.pos), k);
            f |= TColor32((sum >> 16) & 255) << (8 * k);
        }
    }
    return opaque ? f : pixelBlend(f, under, m);
}

// The whole draw into a copy of the target's pixels.
inline std::vector<TColor32> drawStretched(const TBitmap32& s, const TBitmap32& t, const TRect& r)
{
    std::vector<TColor32> out(t.Bits(), t.Bits() + std::size_t(t.Width()) * t.Height());
    if (s.Empty() || t.Empty()) return out;
    if (s.DrawMode() != dmOpaque && s.MasterAlpha() == 0) return out;
    for (int y = std::max(0, r.Top); y < std::min(t.Height(), r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(t.Width(), r.Right); ++x) {
            TColor32& d = out[std::size_t(y) * t.Width() + x];
            d = stretchedPixel(s, r, x, y, d);
        }
    return out;
}

inline std::vector<TColor32> drawAt(const TBitmap32& s, const TBitmap32& t, int x, int y)
{
    return drawStretched(s, t, {x, y, x + s.Width(), y + s.Height()});
}

} // namespace velmora::ref
