#pragma once
// The raster every picture reader decodes into: rows top row first, tightly
// packed, in one of the bitmap pixel formats the pictures use.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "pictures/Errors.h"

namespace velmora {

// pf8bit: palette indices; pf15bit: little-endian 16-bit words 0RRRRRGGGGGBBBBB;
// pf24bit: B,G,R; pf32bit: B,G,R,A (alpha not premultiplied).
enum class TPixelFormat { pf8bit, pf15bit, pf24bit, pf32bit };

// Largest picture any reader accepts, checked before allocating.
constexpr std::int64_t MaxPicturePixels = std::int64_t(1) << 28;
constexpr int MaxPictureSide = 1 << 16;
// Largest picture file read into memory: well above any file that holds a
// picture within the limits above, so a huge or endless file is refused
// before it fills the memory.
constexpr std::uint64_t MaxPictureFileBytes = std::uint64_t(1) << 32;

class EPictureError : public EDataError {
public:
    using EDataError::EDataError;
};

// The one check every reader makes before it allocates a raster or a working
// buffer of picture size: each side at most MaxPictureSide and at most
// MaxPicturePixels in all ("Picture too large (W x H)"), and no more pixels
// than the `availableBytes` still in the file can describe at `pixelsPerByte`,
// the best ratio the format's encoding reaches, plus `slackPixels` for a
// fixed-size start (the reader's own message `implausible`). A pixelsPerByte
// of 0 skips the plausibility test, for sizes already checked against the data.
void reserveRaster(std::int64_t width, std::int64_t height, std::uint64_t availableBytes, double pixelsPerByte,
                   const std::string& implausible, std::uint64_t slackPixels = 0);
inline void reserveRaster(std::int64_t width, std::int64_t height)
{
    reserveRaster(width, height, 0, 0, std::string());
}

inline int bytesPerPixel(TPixelFormat f)
{
    switch (f) {
    case TPixelFormat::pf8bit: return 1;
    case TPixelFormat::pf15bit: return 2;
    case TPixelFormat::pf24bit: return 3;
    case TPixelFormat::pf32bit: return 4;
    }
    return 4;
}

struct TDecodedImage {
    int Width = 0;
    int Height = 0;
    TPixelFormat Format = TPixelFormat::pf24bit;
    std::vector<std::uint8_t> Pixels;
    // B,G,R,reserved entries; only pf8bit images use it (at most 256 entries).
    std::vector<std::array<std::uint8_t, 4>> Palette;

    std::size_t rowBytes() const { return std::size_t(Width) * bytesPerPixel(Format); }
    std::uint8_t* row(int y) { return Pixels.data() + std::size_t(y) * rowBytes(); }
    const std::uint8_t* row(int y) const { return Pixels.data() + std::size_t(y) * rowBytes(); }

    // Sizes the pixel store (all zero). Refuses negative sizes and pictures
    // larger than the limits above before allocating anything.
    void allocate(int width, int height, TPixelFormat format)
    {
        reserveRaster(width, height);
        Width = width;
        Height = height;
        Format = format;
        Pixels.assign(std::size_t(width) * height * bytesPerPixel(format), 0);
    }
};

} // namespace velmora
