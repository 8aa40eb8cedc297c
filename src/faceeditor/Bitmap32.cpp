#include "faceeditor/Bitmap32.h"

#include "faceeditor/Blend.h"
#include "pictures/Picture.h"
#include "pictures/Rasters.h"
#include "pictures/ReaderClasses.h"
#include "pictures/SystemColors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>
#include <unistd.h>

namespace velmora {

TRect intersectRect(const TRect& a, const TRect& b)
{
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    if (r.empty()) return {};
    return r;
}

std::uint32_t systemWindowColor(int index)
{
    // An index the program never names shows as mid grey.
    return desktopSystemColor(index).value_or(0x808080);
}

TColor32 ToColor32(std::int32_t windowColor)
{
    std::uint32_t c = std::uint32_t(windowColor);
    if (windowColor < 0) c = systemWindowColor(int(c & 0xFF));
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

void AlphaFromIntensity(TBitmap32& target, const TBitmap32& source)
{
    target.SetDimensions(source.Width(), source.Height());
    const std::size_t n = std::size_t(source.Width()) * source.Height();
    TColor32* t = target.Bits();
    const TColor32* s = source.Bits();
    for (std::size_t i = 0; i < n; ++i) t[i] = WithAlpha(t[i], PixelIntensity(s[i]));
    target.Changed();
}

void GrayFromColor(TBitmap32& target, const TBitmap32& source, bool keepAlpha)
{
    target.SetDimensions(source.Width(), source.Height());
    const std::size_t n = std::size_t(source.Width()) * source.Height();
    TColor32* t = target.Bits();
    const TColor32* s = source.Bits();
    for (std::size_t i = 0; i < n; ++i) t[i] = GrayPixel(PixelIntensity(s[i]), keepAlpha ? alphaOf(s[i]) : 255);
    target.Changed();
}

// --- size, fill, properties --------------------------------------------------

void TBitmap32::Changed()
{
    if (updateCount_ == 0 && OnChange) OnChange();
}

void TBitmap32::adopt(int width, int height, std::vector<TColor32>&& pixels)
{
    width_ = width;
    height_ = height;
    pixels_ = std::move(pixels);
    clip_ = BoundsRect();
}

void TBitmap32::SetDimensions(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width != width_ || height != height_) {
        if (std::int64_t(width) * height > MaxBitmapPixels) {
            adopt(0, 0, {});
            Changed();
            throw EBitmapError("Can't allocate the DIB handle");
        }
        try {
            std::vector<TColor32> fresh(std::size_t(width) * height, 0);
            adopt(width, height, std::move(fresh));
        } catch (const std::bad_alloc&) {
            adopt(0, 0, {});
            Changed();
            throw EBitmapError("Can't allocate the DIB handle");
        }
    }
    Changed();
}

void TBitmap32::FillAll(TColor32 c)
{
    if (Empty()) return;
    std::fill(pixels_.begin(), pixels_.end(), c);
    Changed();
}

void TBitmap32::MakeOpaque()
{
    for (TColor32& p : pixels_) p |= 0xFF000000u;
    Changed();
}

void TBitmap32::SetDrawMode(TDrawMode m)
{
    if (m == drawMode_) return;
    drawMode_ = m;
    Changed();
}

void TBitmap32::SetCombineMode(TCombineMode m)
{
    if (m == combineMode_) return;
    combineMode_ = m;
    Changed();
}

void TBitmap32::SetMasterAlpha(int a)
{
    a = std::clamp(a, 0, 255);
    if (a == masterAlpha_) return;
    masterAlpha_ = a;
    Changed();
}

void TBitmap32::SetStretchFilter(TStretchFilter f)
{
    if (f == stretchFilter_) return;
    stretchFilter_ = f;
    Changed();
}

void TBitmap32::CopyFrom(const TBitmap32& source)
{
    if (&source == this) return;
    std::vector<TColor32> copy(source.pixels_);
    adopt(source.width_, source.height_, std::move(copy));
    drawMode_ = source.drawMode_;
    masterAlpha_ = source.masterAlpha_;
    stretchFilter_ = source.stretchFilter_;
    Changed();
}

// --- pictures ------------------------------------------------------------------

void TBitmap32::CopyFrom(const TGraphic* graphic)
{
    if (!graphic || graphic->Empty()) {
        adopt(0, 0, {});
        Changed();
        return;
    }
    const TDecodedImage& img = graphic->Raster();
    const int w = img.Width, h = img.Height;
    if (std::int64_t(w) * h > MaxBitmapPixels) throw EBitmapError("Can't allocate the DIB handle");
    // TColor32 is 0xAARRGGBB: bytes B, G, R, A in memory.
    std::vector<TColor32> px(std::size_t(w) * h);
    drawToBgra(*graphic, reinterpret_cast<std::uint8_t*>(px.data()));
    adopt(w, h, std::move(px));
    Changed();
}

void TBitmap32::CopyFrom(const TPicture& picture)
{
    CopyFrom(picture.Graphic());
}

void TBitmap32::LoadPicture(const std::string& fileName)
{
    TPicture picture;
    picture.LoadFromFile(fileName); // a reader's failure leaves this bitmap untouched
    CopyFrom(picture);
}

std::vector<std::uint8_t> TBitmap32::EncodeBmp32() const
{
    const std::uint32_t dataSize = std::uint32_t(std::size_t(width_) * height_ * 4);
    const std::uint32_t offset = 14 + 40;
    std::vector<std::uint8_t> out(offset + std::size_t(dataSize), 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        out[at] = std::uint8_t(v);
        out[at + 1] = std::uint8_t(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = std::uint8_t(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, offset + dataSize);
    put32(10, offset);
    put32(14, 40);
    put32(18, std::uint32_t(width_));
    put32(22, std::uint32_t(height_));
    put16(26, 1);
    put16(28, 32);
    put32(30, 0); // uncompressed
    put32(34, dataSize);
    std::uint8_t* dst = out.data() + offset;
    for (int y = height_ - 1; y >= 0; --y) {
        const TColor32* row = Row(y);
        for (int x = 0; x < width_; ++x, dst += 4) {
            const TColor32 c = row[x];
            dst[0] = std::uint8_t(c);
            dst[1] = std::uint8_t(c >> 8);
            dst[2] = std::uint8_t(c >> 16);
            dst[3] = std::uint8_t(c >> 24);
        }
    }
    return out;
}

void TBitmap32::SavePicture(const std::string& fileName) const
{
    const std::vector<std::uint8_t> bytes = EncodeBmp32();
    // Written beside the target and moved over it, so a failed write never
    // leaves a half file in place of a good one.
    const std::string temp = fileName + ".part" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw EBitmapError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.flush();
        if (!out) {
            const int e = errno;
            out.close();
            std::remove(temp.c_str());
            throw EBitmapError("Cannot write file \"" + fileName + "\". " + std::strerror(e));
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, fileName, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw EBitmapError("Cannot create file \"" + fileName + "\". " + ec.message());
    }
}

// --- transfers -----------------------------------------------------------------

namespace {

// The destination rectangle of a w x h area placed at (x, y), kept inside int.
TRect placed(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h)
{
    auto lim = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); };
    return {lim(x), lim(y), lim(x + w), lim(y + h)};
}

// Runs body(first, last) over bands of rows, on several threads when the
// work is large enough to pay for them. Bands write disjoint rows.
template <class F> void forRowBands(int first, int last, double work, F body)
{
    const int threads = std::min(blend::RasterThreads(), std::max(1, (last - first) / 4));
    if (work < 2e6 || threads < 2) {
        body(first, last);
        return;
    }
    std::vector<std::thread> helpers;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
    const int rows = last - first;
    for (int t = 1; t < threads; ++t) {
        const int b0 = first + int(std::int64_t(rows) * t / threads),
                  b1 = first + int(std::int64_t(rows) * (t + 1) / threads);
        helpers.emplace_back([&, t, b0, b1] {
            try {
                body(b0, b1);
            } catch (...) {
                failures[std::size_t(t)] = std::current_exception();
            }
        });
    }
    try {
        body(first, first + rows / threads);
    } catch (...) {
        failures[0] = std::current_exception();
    }
    for (auto& h : helpers) h.join();
    for (auto& f : failures)
        if (f) std::rethrow_exception(f);
}

void transferRow(const TColor32* src, TColor32* dst, int n, TDrawMode mode, int m)
{
    if (mode == dmOpaque)
        std::memcpy(dst, src, std::size_t(n) * 4);
    else if (m == 255)
        blend::blendLine(src, dst, n);
    else
        blend::blendLineRowMaster(src, dst, n, unsigned(m));
}

void blockTransfer(const TBitmap32& src, TBitmap32& dst, int x, int y, const TRect& clip)
{
    if (src.Empty() || dst.Empty()) return;
    const TRect d = intersectRect(placed(x, y, src.Width(), src.Height()), clip);
    if (d.empty()) return;
    if (src.DrawMode() != dmOpaque && src.MasterAlpha() == 0) return;
    const int sx = int(std::int64_t(d.Left) - x), sy = int(std::int64_t(d.Top) - y);
    const double work = double(d.Width()) * d.Height() * (src.DrawMode() == dmOpaque ? 1 : 8);
    forRowBands(0, d.Height(), work, [&](int r0, int r1) {
        for (int r = r0; r < r1; ++r)
            transferRow(src.Row(sy + r) + sx, dst.Row(d.Top + r) + d.Left, d.Width(), src.DrawMode(),
                        src.MasterAlpha());
    });
}

std::vector<int> nearestMap(int srcW, std::int64_t dstLo, std::int64_t dstW, int clipLo, int clipHi)
{
    std::vector<int> map(std::size_t(clipHi - clipLo));
    if (dstW < 2) {
        std::fill(map.begin(), map.end(), (srcW - 1) / 2);
        return map;
    }
    const float s = float(double(srcW) / double(dstW));
    for (int i = clipLo; i < clipHi; ++i) {
        const double v = std::trunc(double(std::int64_t(i) - dstLo) * double(s));
        map[std::size_t(i - clipLo)] = int(std::clamp(v, 0.0, double(srcW - 1)));
    }
    return map;
}

void nearestStretch(const TBitmap32& src, TBitmap32& dst, const TRect& rect, std::int64_t dstW, std::int64_t dstH,
                    const TRect& clip)
{
    const std::vector<int> cols = nearestMap(src.Width(), rect.Left, dstW, clip.Left, clip.Right);
    const std::vector<int> rows = nearestMap(src.Height(), rect.Top, dstH, clip.Top, clip.Bottom);
    const int n = clip.Width();
    TArrayOfColor32 buf(static_cast<std::size_t>(n));
    int lastRow = -1;
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        const int sr = rows[std::size_t(y - clip.Top)];
        TColor32* out = dst.Row(y) + clip.Left;
        if (sr != lastRow) {
            const TColor32* in = src.Row(sr);
            for (int i = 0; i < n; ++i) buf[std::size_t(i)] = in[cols[std::size_t(i)]];
        } else if (src.DrawMode() == dmOpaque) {
            std::memcpy(out, dst.Row(y - 1) + clip.Left, std::size_t(n) * 4);
            continue;
        }
        lastRow = sr;
        transferRow(buf.data(), out, n, src.DrawMode(), src.MasterAlpha());
    }
}

struct TLinearMap {
    int P;
    int W; // weight of P; 256 - W goes to P + 1
};

std::vector<TLinearMap> linearMap(int srcW, std::int64_t dstLo, std::int64_t dstW, int clipLo, int clipHi)
{
    std::vector<TLinearMap> map(std::size_t(clipHi - clipLo));
    const float s = float(double(srcW) / double(dstW));
    const float maxT = float(srcW - 1);
    for (int i = clipLo; i < clipHi; ++i) {
        float t = s * (float(std::int64_t(i) - dstLo) + 0.5f) + (0.0f - 0.5f);
        t = std::clamp(t, 0.0f, maxT);
        const float p = std::floor(t);
        map[std::size_t(i - clipLo)] = {int(p), 256 - int(std::nearbyint((t - p) * 256.0f))};
    }
    for (auto it = map.rbegin(); it != map.rend() && it->P == srcW - 1; ++it) {
        it->P -= 1;
        it->W = 0;
    }
    return map;
}

inline unsigned lerp(TColor32 a, TColor32 b, unsigned wa, int s)
{
    return ((a >> s & 255) * wa + (b >> s & 255) * (256 - wa)) >> 8;
}

void bilinearEnlarge(const TBitmap32& src, TBitmap32& dst, const TRect& rect, std::int64_t dstW, std::int64_t dstH,
                     const TRect& clip)
{
    const auto cols = linearMap(src.Width(), rect.Left, dstW, clip.Left, clip.Right);
    const auto rows = linearMap(src.Height(), rect.Top, dstH, clip.Top, clip.Bottom);
    const int n = clip.Width();
    TArrayOfColor32 line(static_cast<std::size_t>(n));
    const bool opaque = src.DrawMode() == dmOpaque;
    const unsigned m = unsigned(src.MasterAlpha());
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        const TLinearMap rm = rows[std::size_t(y - clip.Top)];
        const TColor32* r0 = src.Row(rm.P);
        const TColor32* r1 = src.Row(rm.P + 1);
        const unsigned wy = unsigned(rm.W);
        for (int i = 0; i < n; ++i) {
            const TLinearMap cm = cols[std::size_t(i)];
            const TColor32 c00 = r0[cm.P], c10 = r0[cm.P + 1], c01 = r1[cm.P], c11 = r1[cm.P + 1];
            const unsigned wx = unsigned(cm.W);
            TColor32 z = 0;
            for (int s = 0; s < 32; s += 8) {
                const unsigned top = lerp(c00, c10, wx, s);
                const unsigned bottom = lerp(c01, c11, wx, s);
                z |= ((top * wy + bottom * (256 - wy)) >> 8) << s;
            }
            line[std::size_t(i)] = z;
        }
        TColor32* out = dst.Row(y) + clip.Left;
        if (opaque)
            std::memcpy(out, line.data(), std::size_t(n) * 4);
        else
            blend::blendLinePixelMaster(line.data(), out, n, m);
    }
}

struct TContributor {
    int Pos;
    int Weight;
};
using TContributorList = std::vector<TContributor>;

inline float linearKernel(float x)
{
    x = std::fabs(x);
    return x < 1.0f ? 1.0f - x : 0.0f;
}

std::vector<TContributorList> contributors(int srcLo, int srcHi, std::int64_t dstLo, std::int64_t dstW, int clipLo,
                                           int clipHi)
{
    const int srcW = srcHi - srcLo;
    std::vector<TContributorList> lists(std::size_t(clipHi - clipLo));
    if (srcW == 1) {
        for (auto& l : lists) l.push_back({0, 256});
        return lists;
    }
    const float q = float(double(dstW) / double(srcW));
    const float invQ = 1.0f / q;
    const bool reduce = q < 1.0f;
    for (int c = clipLo; c < clipHi; ++c) {
        TContributorList& list = lists[std::size_t(c - clipLo)];
        const float centre = float(srcLo) - 0.5f + (float(std::int64_t(c) - dstLo) + 0.5f) * invQ;
        const float reach = reduce ? invQ : 1.0f;
        // 64-bit source indices: a rectangle far outside the target puts the
        // centre far outside the source (positions are clamped anyway).
        const long long jLo = (long long)std::floor(centre - reach), jHi = (long long)std::ceil(centre + reach);
        for (long long j = jLo; j <= jHi; ++j) {
            const int w = reduce ? int(std::nearbyint(256.0f * linearKernel((centre - float(j)) * q) * q))
                                 : int(std::nearbyint(256.0f * linearKernel(centre - float(j))));
            if (w != 0) list.push_back({int(std::clamp<long long>(j, srcLo, srcHi - 1)), w});
        }
        if (list.empty())
            list.push_back({int(std::clamp<long long>((long long)std::floor(centre), srcLo, srcHi - 1)), 256});
        int sum = 0;
        for (const auto& e : list) sum += e.Weight;
        if (sum != 256) list[(list.size() - 1) / 2].Weight += 256 - sum;
    }
    return lists;
}

void resample(const TBitmap32& src, TBitmap32& dst, const TRect& rect, std::int64_t dstW, std::int64_t dstH,
              const TRect& clip)
{
    const auto colLists = contributors(0, src.Width(), rect.Left, dstW, clip.Left, clip.Right);
    const auto rowLists = contributors(0, src.Height(), rect.Top, dstH, clip.Top, clip.Bottom);
    int xLo = INT_MAX, xHi = INT_MIN;
    std::size_t entries = 0;
    for (const auto& l : colLists) {
        entries += l.size();
        for (const auto& e : l) {
            xLo = std::min(xLo, e.Pos);
            xHi = std::max(xHi, e.Pos);
        }
    }
    const int span = xHi - xLo + 1;
    const int n = clip.Width();
    // The column lists flattened, positions relative to xLo.
    std::vector<int> pos, wgt, start(std::size_t(n) + 1);
    pos.reserve(entries);
    wgt.reserve(entries);
    for (int i = 0; i < n; ++i) {
        start[std::size_t(i)] = int(pos.size());
        for (const auto& e : colLists[std::size_t(i)]) {
            pos.push_back(e.Pos - xLo);
            wgt.push_back(e.Weight);
        }
    }
    start[std::size_t(n)] = int(pos.size());
    const bool opaque = src.DrawMode() == dmOpaque;
    const unsigned m = unsigned(src.MasterAlpha());
    double rowEntries = 0;
    for (const auto& l : rowLists) rowEntries += double(l.size());
    const double work = rowEntries * span * 4 + double(clip.Height()) * double(entries) * 4;

    forRowBands(clip.Top, clip.Bottom, work, [&](int y0, int y1) {
        std::vector<std::int32_t> acc(std::size_t(span) * 4), acc2(std::size_t(span) * 4);
        TArrayOfColor32 line(static_cast<std::size_t>(n));
        std::vector<const std::uint8_t*> rowPtrs;
        std::vector<int> w0, w1;
        auto rowBytes = [&](int row) { return reinterpret_cast<const std::uint8_t*>(src.Row(row) + xLo); };
        auto emit = [&](int y, const std::vector<std::int32_t>& a) {
            for (int i = 0; i < n; ++i) {
                const int s = start[std::size_t(i)];
                line[std::size_t(i)] =
                    blend::resampleColumn(a.data(), pos.data() + s, wgt.data() + s, start[std::size_t(i) + 1] - s);
            }
            TColor32* out = dst.Row(y) + clip.Left;
            if (opaque)
                std::memcpy(out, line.data(), std::size_t(n) * 4);
            else
                blend::blendLinePixelMaster(line.data(), out, n, m);
        };
        for (int y = y0; y < y1; ++y) {
            const TContributorList& rl = rowLists[std::size_t(y - clip.Top)];
            rowPtrs.clear();
            w0.clear();
            w1.clear();
            if (y + 1 < y1) {
                // Two rows at once over the union of their source rows (their
                // lists are sorted and mostly overlap); a source row listed
                // twice takes the sum of its weights, the same integers.
                const TContributorList& rl2 = rowLists[std::size_t(y + 1 - clip.Top)];
                std::size_t i = 0, j = 0;
                while (i < rl.size() || j < rl2.size()) {
                    const int p =
                        j >= rl2.size() || (i < rl.size() && rl[i].Pos <= rl2[j].Pos) ? rl[i].Pos : rl2[j].Pos;
                    int a = 0, b = 0;
                    while (i < rl.size() && rl[i].Pos == p) a += rl[i++].Weight;
                    while (j < rl2.size() && rl2[j].Pos == p) b += rl2[j++].Weight;
                    rowPtrs.push_back(rowBytes(p));
                    w0.push_back(a);
                    w1.push_back(b);
                }
                blend::accumulateRowsTwo(rowPtrs.data(), w0.data(), w1.data(), int(rowPtrs.size()), acc.data(),
                                         acc2.data(), span * 4);
                emit(y, acc);
                emit(y + 1, acc2);
                ++y;
                continue;
            }
            for (const auto& e : rl) {
                rowPtrs.push_back(rowBytes(e.Pos));
                w0.push_back(e.Weight);
            }
            blend::accumulateRows(rowPtrs.data(), w0.data(), int(rl.size()), acc.data(), span * 4);
            emit(y, acc);
        }
    });
}

} // namespace

void TBitmap32::DrawAt(TBitmap32& target, int x, int y) const
{
    blockTransfer(*this, target, x, y, intersectRect(target.clip_, target.BoundsRect()));
    target.Changed();
}

void TBitmap32::DrawStretched(TBitmap32& target, const TRect& rect) const
{
    DrawStretched(target, rect, target.BoundsRect());
}

void TBitmap32::DrawStretched(TBitmap32& target, const TRect& rect, const TRect& extraClip) const
{
    if (Empty() || target.Empty()) return;
    TRect clip = intersectRect(intersectRect(target.clip_, target.BoundsRect()), rect);
    clip = intersectRect(clip, extraClip);
    if (clip.empty()) return;
    if (drawMode_ != dmOpaque && masterAlpha_ == 0) return;
    const std::int64_t dstW = std::int64_t(rect.Right) - rect.Left;
    const std::int64_t dstH = std::int64_t(rect.Bottom) - rect.Top;
    if (dstW == width_ && dstH == height_)
        blockTransfer(*this, target, rect.Left, rect.Top, clip);
    else if (stretchFilter_ != sfLinear)
        nearestStretch(*this, target, rect, dstW, dstH, clip);
    else if (dstW > width_ && dstH > height_ && width_ > 1 && height_ > 1)
        bilinearEnlarge(*this, target, rect, dstW, dstH, clip);
    else
        resample(*this, target, rect, dstW, dstH, clip);
    target.Changed();
}

// --- turns and mirrors ---------------------------------------------------------

void TBitmap32::RotateQuarterRight()
{
    const int w = width_, h = height_;
    std::vector<TColor32> out(pixels_.size());
    // (x, y) goes to (h - 1 - y, x) in an h-wide bitmap.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out[std::size_t(x) * h + (h - 1 - y)] = pixels_[std::size_t(y) * w + x];
    adopt(h, w, std::move(out));
    Changed();
}

void TBitmap32::RotateQuarterLeft()
{
    const int w = width_, h = height_;
    std::vector<TColor32> out(pixels_.size());
    // (x, y) goes to (y, w - 1 - x) in an h-wide bitmap.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out[std::size_t(w - 1 - x) * h + y] = pixels_[std::size_t(y) * w + x];
    adopt(h, w, std::move(out));
    Changed();
}

void TBitmap32::RotateHalf()
{
    std::reverse(pixels_.begin(), pixels_.end());
    Changed();
}

void TBitmap32::MirrorLeftRight()
{
    for (int y = 0; y < height_; ++y) std::reverse(Row(y), Row(y) + width_);
    Changed();
}

void TBitmap32::MirrorTopBottom()
{
    for (int y = 0; y < height_ / 2; ++y) std::swap_ranges(Row(y), Row(y) + width_, Row(height_ - 1 - y));
    Changed();
}

} // namespace velmora
