#include "pictures/Rasters.h"

#include "pictures/Picture.h"

#include <algorithm>
#include <cstring>

namespace velmora {

void rowToBgr(const TDecodedImage& img, int y, TFiveBits fiveBits, bool overWhite, std::uint8_t* out)
{
    const int w = img.Width;
    if (w <= 0) return;
    const std::uint8_t* s = img.row(y);
    std::uint8_t* d = out;
    switch (img.Format) {
    case TPixelFormat::pf8bit:
        for (int x = 0; x < w; ++x, d += 3) {
            const std::size_t k = s[x];
            if (k < img.Palette.size()) {
                std::memcpy(d, img.Palette[k].data(), 3);
            } else {
                d[0] = d[1] = d[2] = 0; // an index past the palette draws black
            }
        }
        break;
    case TPixelFormat::pf15bit:
        for (int x = 0; x < w; ++x, d += 3) {
            const unsigned v = unsigned(s[2 * x]) | unsigned(s[2 * x + 1]) << 8;
            for (int c = 0; c < 3; ++c) {
                const unsigned five = v >> (5 * c) & 31;
                switch (fiveBits) {
                case TFiveBits::Shift: d[c] = std::uint8_t(five << 3); break;
                case TFiveBits::Scale: d[c] = std::uint8_t(five * 255 / 31); break;
                case TFiveBits::Replicate: d[c] = std::uint8_t(five << 3 | five >> 2); break;
                }
            }
        }
        break;
    case TPixelFormat::pf24bit: std::memcpy(d, s, std::size_t(w) * 3); break;
    case TPixelFormat::pf32bit:
        if (overWhite) {
            for (int x = 0; x < w; ++x, d += 3, s += 4) {
                const unsigned a = s[3];
                for (int c = 0; c < 3; ++c) d[c] = std::uint8_t((s[c] * a + 255 * (255 - a) + 127) / 255);
            }
        } else {
            dropFourthByte(s, d, std::size_t(w));
        }
        break;
    }
}

void convertPixels(const std::uint8_t* src, int srcBytes, std::uint8_t* dst, std::size_t count, TChannelOrder order)
{
    const int first = order == TChannelOrder::SwapRedBlue ? 2 : 0;
    const int third = 2 - first;
    if (srcBytes == 4) {
        for (std::size_t i = 0; i < count; ++i, src += 4, dst += 4) {
            dst[0] = src[first];
            dst[1] = src[1];
            dst[2] = src[third];
            dst[3] = src[3];
        }
    } else {
        for (std::size_t i = 0; i < count; ++i, src += 3, dst += 4) {
            dst[0] = src[first];
            dst[1] = src[1];
            dst[2] = src[third];
            dst[3] = 255;
        }
    }
}

void dropFourthByte(const std::uint8_t* src, std::uint8_t* dst, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

void convertToBgra(TDecodedImage& img)
{
    if (img.Format == TPixelFormat::pf32bit) return;
    const std::size_t n = std::size_t(img.Width) * img.Height;
    std::vector<std::uint8_t> px(n * 4);
    if (img.Format == TPixelFormat::pf24bit) {
        convertPixels(img.Pixels.data(), 3, px.data(), n, TChannelOrder::Keep);
    } else {
        std::vector<std::uint8_t> bgr(std::size_t(img.Width) * 3);
        for (int y = 0; y < img.Height; ++y) {
            rowToBgr(img, y, TFiveBits::Scale, false, bgr.data());
            convertPixels(bgr.data(), 3, px.data() + std::size_t(y) * img.Width * 4, std::size_t(img.Width),
                          TChannelOrder::Keep);
        }
    }
    img.Pixels = std::move(px);
    img.Palette.clear();
    img.Format = TPixelFormat::pf32bit;
}

TRgbRows rowsOf(const TDecodedImage& image)
{
    if (image.Format != TPixelFormat::pf24bit) throw EPictureError("Only 24-bit pictures can be written as JPEG");
    return {image.Pixels.data(), image.Width, image.Height, std::ptrdiff_t(image.rowBytes()), true};
}

void drawToBgra(const TGraphic& graphic, std::uint8_t* out)
{
    const TDecodedImage& img = graphic.Raster();
    const std::size_t w = std::size_t(std::max(0, img.Width));
    const int h = std::max(0, img.Height);
    const bool transparent = graphic.DrawsTransparent();
    // Bitmaps keep a 32-bit alpha; everything else comes out opaque.
    if (!transparent && img.Format == TPixelFormat::pf32bit && dynamic_cast<const TBitmap*>(&graphic)) {
        if (w > 0 && h > 0) std::memcpy(out, img.Pixels.data(), w * h * 4);
        return;
    }
    std::vector<std::uint8_t> bgr(w * 3);
    for (int y = 0; y < h; ++y, out += 4 * w) {
        rowToBgr(img, y, TFiveBits::Shift, transparent, bgr.data());
        convertPixels(bgr.data(), 3, out, w, TChannelOrder::Keep);
        if (transparent && img.Format == TPixelFormat::pf32bit) {
            // Drawn once onto white and once onto red: where blue or green
            // differ the backdrop shows through.
            const std::uint8_t* p = img.row(y);
            for (std::size_t x = 0; x < w; ++x, p += 4) {
                const int a = p[3];
                const bool shows = out[4 * x] != (p[0] * a + 127) / 255 || out[4 * x + 1] != (p[1] * a + 127) / 255;
                if (shows) out[4 * x + 3] = 0;
            }
        }
    }
}

TGLBitmap32 convertToBitmap32(const TGraphic* graphic)
{
    TGLBitmap32 out;
    if (!graphic || graphic->Empty()) return out;
    const TDecodedImage& img = graphic->Raster();
    const int w = img.Width, h = img.Height;
    if (w == 0 || h == 0) return out;

    const auto* bitmap = dynamic_cast<const TBitmap*>(graphic);
    const bool direct =
        bitmap && w % 4 == 0 && (img.Format == TPixelFormat::pf24bit || img.Format == TPixelFormat::pf32bit);
    const int outW = direct ? w : (w + 3) / 4 * 4;
    out = TGLBitmap32(outW, h);

    // Rows are flipped: the upload buffer starts with the bottom row. A plain
    // 24-bit raster of the right width (a decoded JPEG, the common case) is
    // drawn unchanged, so it takes the direct path too; it is opaque anyway.
    if (direct || (outW == w && img.Format == TPixelFormat::pf24bit)) {
        const int bytes = img.Format == TPixelFormat::pf32bit ? 4 : 3;
        for (int y = 0; y < h; ++y)
            convertPixels(img.row(y), bytes, out.scanLine(h - 1 - y), std::size_t(w), TChannelOrder::SwapRedBlue);
        return out;
    }

    // Drawn onto an opaque 24-bit surface; a grown width stretches the picture
    // with nearest-pixel sampling across the new width.
    std::vector<int> srcX(outW);
    for (int x = 0; x < outW; ++x)
        srcX[x] = outW == w ? x : int((std::int64_t(2 * x + 1) * w) / (2 * std::int64_t(outW)));
    std::vector<std::uint8_t> bgr(std::size_t(w) * 3), drawn(std::size_t(outW) * 3);
    for (int y = 0; y < h; ++y) {
        rowToBgr(img, y, TFiveBits::Shift, graphic->DrawsTransparent(), bgr.data());
        for (int x = 0; x < outW; ++x) std::memcpy(&drawn[std::size_t(x) * 3], &bgr[std::size_t(srcX[x]) * 3], 3);
        convertPixels(drawn.data(), 3, out.scanLine(h - 1 - y), std::size_t(outW), TChannelOrder::SwapRedBlue);
    }
    return out;
}

} // namespace velmora
