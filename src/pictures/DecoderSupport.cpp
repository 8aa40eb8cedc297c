#include "pictures/DecoderSupport.h"

namespace velmora {

void reserveRaster(std::int64_t width, std::int64_t height, std::uint64_t availableBytes, double pixelsPerByte,
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
