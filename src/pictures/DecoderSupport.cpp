#include "pictures/DecoderSupport.h"

#include <algorithm>
#include <vector>

namespace velmora::decoders {

void toBgra(TDecodedImage& img)
{
    if (img.Format == TPixelFormat::pf32bit) return;
    std::vector<std::uint8_t> px(std::size_t(img.Width) * img.Height * 4);
    const std::size_t n = std::size_t(img.Width) * img.Height;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* d = &px[i * 4];
        switch (img.Format) {
        case TPixelFormat::pf8bit: {
            std::uint8_t idx = img.Pixels[i];
            if (idx < img.Palette.size()) {
                d[0] = img.Palette[idx][0];
                d[1] = img.Palette[idx][1];
                d[2] = img.Palette[idx][2];
            } else {
                d[0] = d[1] = d[2] = 0;
            }
            break;
        }
        case TPixelFormat::pf15bit: {
            unsigned w = img.Pixels[i * 2] | (img.Pixels[i * 2 + 1] << 8);
            d[0] = std::uint8_t((w & 31) * 255 / 31);
            d[1] = std::uint8_t(((w >> 5) & 31) * 255 / 31);
            d[2] = std::uint8_t(((w >> 10) & 31) * 255 / 31);
            break;
        }
        case TPixelFormat::pf24bit:
            d[0] = img.Pixels[i * 3];
            d[1] = img.Pixels[i * 3 + 1];
            d[2] = img.Pixels[i * 3 + 2];
            break;
        case TPixelFormat::pf32bit: break;
        }
        d[3] = 255;
    }
    img.Pixels = std::move(px);
    img.Palette.clear();
    img.Format = TPixelFormat::pf32bit;
}

} // namespace velmora::decoders

namespace velmora {

void ReserveRaster(std::int64_t width, std::int64_t height, std::uint64_t availableBytes, double pixelsPerByte,
                   const std::string& implausible, std::uint64_t slackPixels)
{
    // Data that cannot hold the picture is damaged whatever its size says, so
    // that is reported first. In double: bytes x ratio can pass 2^64.
    if (pixelsPerByte > 0 && width > 0 && height > 0 &&
        double(width) * double(height) > double(availableBytes) * pixelsPerByte + double(slackPixels))
        throw EPictureError(implausible);
    if (width < 0 || height < 0 || width > MaxPictureSide || height > MaxPictureSide ||
        width * height > MaxPicturePixels)
        throw EPictureError("Picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
}

} // namespace velmora
