#pragma once
// The raster every picture reader decodes into: rows top row first, tightly
// packed, in one of the bitmap pixel formats the pictures use.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// pf8bit: palette indices; pf15bit: little-endian 16-bit words 0RRRRRGGGGGBBBBB;
// pf24bit: B,G,R; pf32bit: B,G,R,A (alpha not premultiplied).
enum class TPixelFormat { pf8bit, pf15bit, pf24bit, pf32bit };

// Largest picture any reader accepts, checked before allocating.
constexpr std::int64_t MaxPicturePixels = std::int64_t(1) << 28;
constexpr int MaxPictureSide = 1 << 16;

class EPictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline int BytesPerPixel(TPixelFormat f)
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

    std::size_t rowBytes() const { return std::size_t(Width) * BytesPerPixel(Format); }
    std::uint8_t* row(int y) { return Pixels.data() + std::size_t(y) * rowBytes(); }
    const std::uint8_t* row(int y) const { return Pixels.data() + std::size_t(y) * rowBytes(); }

    // Sizes the pixel store (all zero). Refuses negative sizes and pictures
    // larger than the limits above before allocating anything.
    void allocate(int width, int height, TPixelFormat format)
    {
        if (width < 0 || height < 0 || width > MaxPictureSide || height > MaxPictureSide ||
            std::int64_t(width) * height > MaxPicturePixels)
            throw EPictureError("Picture too large (" + std::to_string(width) + " x " +
                                std::to_string(height) + ")");
        Width = width;
        Height = height;
        Format = format;
        Pixels.assign(std::size_t(width) * height * BytesPerPixel(format), 0);
    }
};

} // namespace velmora
