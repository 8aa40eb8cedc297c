#pragma once
// Writing rendered shots: baseline JFIF through libjpeg and plain 24-bit BMP.

#include "pictures/DecodedImage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Rows of three-byte pixels, `Stride` bytes apart, top row first.
struct TRgbRows {
    const std::uint8_t* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;
    bool Bgr = true; // byte order B,G,R (bitmap rows); false for R,G,B
};

inline TRgbRows RowsOf(const TDecodedImage& image)
{
    if (image.Format != TPixelFormat::pf24bit) throw EPictureError("Only 24-bit pictures can be written as JPEG");
    return {image.Pixels.data(), image.Width, image.Height, std::ptrdiff_t(image.rowBytes()), true};
}

// Baseline JFIF at the given quality (1..100). libjpeg failures throw
// EPictureError("JPEG error #<message number>").
std::vector<std::uint8_t> EncodeJpeg(const TRgbRows& rows, int quality = 90);
void SaveJpegFile(const std::string& fileName, const TRgbRows& rows, int quality = 90);

} // namespace velmora
