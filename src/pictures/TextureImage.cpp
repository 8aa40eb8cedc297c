#include "pictures/TextureImage.h"

#include <cstring>
#include <filesystem>

namespace velmora {

namespace {

// Colour of one source pixel as B, G, R.
struct PixelReader {
    const TDecodedImage& img;
    bool blendOnWhite;

    void bgr(const std::uint8_t* row, int x, std::uint8_t* out) const
    {
        switch (img.Format) {
        case TPixelFormat::pf8bit: {
            const unsigned idx = row[x];
            if (idx < img.Palette.size()) {
                out[0] = img.Palette[idx][0];
                out[1] = img.Palette[idx][1];
                out[2] = img.Palette[idx][2];
            } else {
                out[0] = out[1] = out[2] = 0; // index past the palette draws black
            }
            break;
        }
        case TPixelFormat::pf15bit: {
            const int w = row[2 * x] | row[2 * x + 1] << 8;
            out[0] = std::uint8_t((w & 31) << 3);
            out[1] = std::uint8_t(((w >> 5) & 31) << 3);
            out[2] = std::uint8_t(((w >> 10) & 31) << 3);
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
    out.Width = outW;
    out.Height = h;
    out.Data.resize(std::size_t(outW) * h * 4);

    if (direct) {
        const bool alpha = img.Format == TPixelFormat::pf32bit;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* src = img.row(y);
            std::uint8_t* dst = out.ScanLine(h - 1 - y);
            if (alpha) {
                for (int x = 0; x < w; ++x, src += 4, dst += 4) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                    dst[3] = src[3];
                }
            } else {
                for (int x = 0; x < w; ++x, src += 3, dst += 4) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                    dst[3] = 255;
                }
            }
        }
        return out;
    }

    // Drawn onto an opaque 24-bit surface; a grown width stretches the picture
    // with nearest-pixel sampling across the new width.
    std::vector<int> srcX(outW);
    for (int x = 0; x < outW; ++x)
        srcX[x] = outW == w ? x : int((std::int64_t(2 * x + 1) * w) / (2 * std::int64_t(outW)));
    if (outW == w && img.Format == TPixelFormat::pf24bit) {
        // The common case of a decoded JPEG: a plain copy into R,G,B,255.
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* src = img.row(y);
            std::uint8_t* dst = out.ScanLine(h - 1 - y);
            for (int x = 0; x < w; ++x, src += 3, dst += 4) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                dst[3] = 255;
            }
        }
        return out;
    }
    const PixelReader reader{img, graphic->DrawsTransparent()};
    std::uint8_t bgr[3];
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = img.row(y);
        std::uint8_t* dst = out.ScanLine(h - 1 - y);
        for (int x = 0; x < outW; ++x, dst += 4) {
            reader.bgr(src, srcX[x], bgr);
            dst[0] = bgr[2];
            dst[1] = bgr[1];
            dst[2] = bgr[0];
            dst[3] = 255;
        }
    }
    return out;
}

void TextureImageLoadFromFile(TPicture& picture, const std::string& fileName)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) {
        picture.Clear();
        throw ETexture("Could not open file: " + fileName);
    }
    picture.LoadFromFile(fileName);
}

} // namespace velmora
