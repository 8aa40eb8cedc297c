#include "pictures/Rasters.h"

#include "pictures/Picture.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

// How 5-bit channels of 15-bit pixels widen to 8 bits.
enum class TFiveBits {
    Shift, // x 8, as a 5-5-5 bitmap draws onto a 24-bit surface
    Scale  // x 255 / 31, the full range
};

// The colour of one source pixel as B, G, R.
struct PixelReader {
    const TDecodedImage& img;
    TFiveBits fiveBits;
    bool blendOnWhite; // 32-bit pixels drawn with their transparency over white

    void bgr(const std::uint8_t* row, std::size_t x, std::uint8_t* out) const
    {
        switch (img.Format) {
        case TPixelFormat::pf8bit: {
            const unsigned idx = row[x];
            if (idx < img.Palette.size()) {
                std::memcpy(out, img.Palette[idx].data(), 3);
            } else {
                out[0] = out[1] = out[2] = 0; // index past the palette draws black
            }
            break;
        }
        case TPixelFormat::pf15bit: {
            const unsigned w = row[2 * x] | row[2 * x + 1] << 8;
            const unsigned c[3] = {w & 31, (w >> 5) & 31, (w >> 10) & 31};
            for (int k = 0; k < 3; ++k)
                out[k] = std::uint8_t(fiveBits == TFiveBits::Shift ? c[k] << 3 : c[k] * 255 / 31);
            break;
        }
        case TPixelFormat::pf24bit: std::memcpy(out, row + 3 * x, 3); break;
        case TPixelFormat::pf32bit: {
            const std::uint8_t* p = row + 4 * x;
            if (blendOnWhite) {
                const int a = p[3];
                for (int c = 0; c < 3; ++c) out[c] = std::uint8_t((p[c] * a + 255 * (255 - a) + 127) / 255);
            } else {
                std::memcpy(out, p, 3);
            }
            break;
        }
        }
    }
};

} // namespace

void ConvertPixels(const std::uint8_t* src, int srcBytes, std::uint8_t* dst, std::size_t count, TChannelOrder order)
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

void ConvertToBgra(TDecodedImage& img)
{
    if (img.Format == TPixelFormat::pf32bit) return;
    const std::size_t n = std::size_t(img.Width) * img.Height;
    std::vector<std::uint8_t> px(n * 4);
    if (img.Format == TPixelFormat::pf24bit) {
        ConvertPixels(img.Pixels.data(), 3, px.data(), n, TChannelOrder::Keep);
    } else {
        const PixelReader reader{img, TFiveBits::Scale, false};
        for (std::size_t i = 0; i < n; ++i) {
            reader.bgr(img.Pixels.data(), i, &px[i * 4]);
            px[i * 4 + 3] = 255;
        }
    }
    img.Pixels = std::move(px);
    img.Palette.clear();
    img.Format = TPixelFormat::pf32bit;
}

TRgbRows RowsOf(const TDecodedImage& image)
{
    if (image.Format != TPixelFormat::pf24bit) throw EPictureError("Only 24-bit pictures can be written as JPEG");
    return {image.Pixels.data(), image.Width, image.Height, std::ptrdiff_t(image.rowBytes()), true};
}

void drawToBgra(const TGraphic& graphic, std::uint8_t* out)
{
    const TDecodedImage& img = graphic.Raster();
    const std::size_t w = std::size_t(std::max(0, img.Width));
    const int h = std::max(0, img.Height);
    if (graphic.DrawsTransparent()) {
        // Drawn once onto white and once onto red: where blue or green differ
        // the backdrop shows through. Only 32-bit pixels carry transparency.
        const PixelReader onWhite{img, TFiveBits::Shift, true};
        const bool alpha = img.Format == TPixelFormat::pf32bit;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* row = img.row(y);
            for (std::size_t x = 0; x < w; ++x, out += 4) {
                onWhite.bgr(row, x, out);
                bool opaque = true;
                if (alpha) {
                    const std::uint8_t* p = row + 4 * x;
                    const int a = p[3];
                    for (int c = 0; c < 2; ++c) opaque = opaque && out[c] == (p[c] * a + 127) / 255;
                }
                out[3] = opaque ? 255 : 0;
            }
        }
        return;
    }
    const bool keepAlpha = dynamic_cast<const TBitmap*>(&graphic) != nullptr;
    const PixelReader reader{img, TFiveBits::Shift, false};
    for (int y = 0; y < h; ++y, out += 4 * w) {
        const std::uint8_t* row = img.row(y);
        switch (img.Format) {
        case TPixelFormat::pf32bit:
            std::memcpy(out, row, 4 * w);
            if (!keepAlpha)
                for (std::size_t x = 0; x < w; ++x) out[4 * x + 3] = 255;
            break;
        case TPixelFormat::pf24bit: ConvertPixels(row, 3, out, w, TChannelOrder::Keep); break;
        default:
            for (std::size_t x = 0; x < w; ++x) {
                reader.bgr(row, x, out + 4 * x);
                out[4 * x + 3] = 255;
            }
        }
    }
}

TGLBitmap32 ConvertToBitmap32(const TGraphic* graphic)
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
            ConvertPixels(img.row(y), bytes, out.ScanLine(h - 1 - y), std::size_t(w), TChannelOrder::SwapRedBlue);
        return out;
    }

    // Drawn onto an opaque 24-bit surface; a grown width stretches the picture
    // with nearest-pixel sampling across the new width.
    std::vector<int> srcX(outW);
    for (int x = 0; x < outW; ++x)
        srcX[x] = outW == w ? x : int((std::int64_t(2 * x + 1) * w) / (2 * std::int64_t(outW)));
    const PixelReader reader{img, TFiveBits::Shift, graphic->DrawsTransparent()};
    std::vector<std::uint8_t> drawn(std::size_t(outW) * 3);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = img.row(y);
        for (int x = 0; x < outW; ++x) reader.bgr(src, std::size_t(srcX[x]), &drawn[std::size_t(x) * 3]);
        ConvertPixels(drawn.data(), 3, out.ScanLine(h - 1 - y), std::size_t(outW), TChannelOrder::SwapRedBlue);
    }
    return out;
}

} // namespace velmora
