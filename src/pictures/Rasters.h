#pragma once
// The raster types other than the decoded picture (DecodedImage.h), and every
// conversion between them and decoded pictures, kept together so each pixel
// layout is turned into another in one place.

#include "pictures/Picture.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace velmora {

// A pixel buffer handed to or taken from GL: Width x Height pixels of
// `Channels` bytes, rows packed without padding.
template <int Channels> struct TGLBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Data;

    TGLBitmap() = default;
    TGLBitmap(int width, int height) : Width(width), Height(height), Data(std::size_t(width) * height * Channels) {}

    std::size_t DataSize() const { return Data.size(); }
    std::size_t RowBytes() const { return std::size_t(Width) * Channels; }
    std::uint8_t* ScanLine(int y) { return Data.data() + std::size_t(y) * RowBytes(); }
    const std::uint8_t* ScanLine(int y) const { return Data.data() + std::size_t(y) * RowBytes(); }
    std::uint8_t* pixel(int x, int y) { return ScanLine(y) + std::size_t(x) * Channels; }
    const std::uint8_t* pixel(int x, int y) const { return ScanLine(y) + std::size_t(x) * Channels; }
};

// The upload buffer of a texture: R, G, B, A, bottom row first.
using TGLBitmap32 = TGLBitmap<4>;
// A frame read back from GL: B, G, R, top row first.
using TGLBitmap24 = TGLBitmap<3>;

// A view of rows of three-byte pixels `Stride` bytes apart, top row first,
// over memory owned elsewhere: what the resize reads and writes and the shot
// writers encode. `Byte` is const for rows that are only read.
template <class Byte> struct TRgb24Rows {
    Byte* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;
    bool Bgr = true; // byte order B,G,R (bitmap rows); false for R,G,B

    Byte* pixel(int x, int y) const { return Bits + y * Stride + std::ptrdiff_t(x) * 3; }
    operator TRgb24Rows<const Byte>() const requires(!std::is_const_v<Byte>)
    {
        return {Bits, Width, Height, Stride, Bgr};
    }
};
// Rows that are only read (the writers' input).
using TRgbRows = TRgb24Rows<const std::uint8_t>;

// The rows of a 24-bit decoded picture; other formats throw EPictureError.
TRgbRows RowsOf(const TDecodedImage& image);

// How a row of 3- or 4-byte pixels becomes a row of 4-byte pixels.
enum class TChannelOrder {
    Keep,       // channels stay where they are (B,G,R -> B,G,R,A)
    SwapRedBlue // first and third change places (B,G,R -> R,G,B,A)
};

// Converts `count` pixels of `srcBytes` (3 or 4) bytes each into 4-byte
// pixels; 3-byte pixels get an opaque fourth byte, 4-byte ones keep theirs.
void ConvertPixels(const std::uint8_t* src, int srcBytes, std::uint8_t* dst, std::size_t count, TChannelOrder order);

// Any decoded raster as B,G,R,A (palette looked up, 15-bit widened to 8 bits
// by x 255 / 31, opaque unless it already is 32-bit).
void ConvertToBgra(TDecodedImage& image);

// A graphic as texture pixels. 24/32-bit bitmaps of a width divisible by 4
// convert directly (32-bit keeps its alpha). Everything else is first drawn
// onto a 24-bit bitmap whose width is rounded up to a multiple of 4
// (stretched to it when it had to grow), so it comes out opaque. An empty or
// missing graphic gives an empty buffer.
TGLBitmap32 ConvertToBitmap32(const TGraphic* graphic);
inline TGLBitmap32 ConvertToBitmap32(const TPicture& picture)
{
    return ConvertToBitmap32(picture.Graphic());
}

} // namespace velmora
