#pragma once
// The raster types other than the decoded picture (DecodedImage.h), and every
// conversion between them and decoded pictures, kept together so each pixel
// layout is turned into another in one place.

#include "pictures/Picture.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace velmora {

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

// Rows of a picture handed over band by band: rows Top .. Top + Height - 1
// of the whole picture, B, G, R.
struct TGLBitmapBand : TRgbRows {
    int Top = 0;
};

// An owning pixel buffer: Width x Height pixels of `Channels` bytes, rows
// packed without padding, handed to or taken from GL and filtered by the
// resize. A negative size makes an empty buffer.
template <int Channels> struct TGLBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Data;

    TGLBitmap() = default;
    TGLBitmap(int width, int height)
        : Width(std::max(0, width)),
          Height(std::max(0, height)),
          Data(std::size_t(Width) * Height * Channels)
    {}

    std::size_t dataSize() const { return Data.size(); }
    std::size_t rowBytes() const { return std::size_t(Width) * Channels; }
    std::uint8_t* scanLine(int y) { return Data.data() + std::size_t(y) * rowBytes(); }
    const std::uint8_t* scanLine(int y) const { return Data.data() + std::size_t(y) * rowBytes(); }
    std::uint8_t* pixel(int x, int y) { return scanLine(y) + std::size_t(x) * Channels; }
    const std::uint8_t* pixel(int x, int y) const { return scanLine(y) + std::size_t(x) * Channels; }

    // The rows of a three-byte buffer as the resize and the writers take them.
    TRgb24Rows<std::uint8_t> view() requires(Channels == 3)
    {
        return {Data.data(), Width, Height, std::ptrdiff_t(rowBytes()), true};
    }
    TRgbRows view() const requires(Channels == 3)
    {
        return {Data.data(), Width, Height, std::ptrdiff_t(rowBytes()), true};
    }
};

// The upload buffer of a texture: R, G, B, A, bottom row first.
using TGLBitmap32 = TGLBitmap<4>;
// B, G, R, top row first: a frame read back from GL, and the resize's
// output the writers encode.
using TGLBitmap24 = TGLBitmap<3>;

// The rows of a 24-bit decoded picture; other formats throw EPictureError.
TRgbRows rowsOf(const TDecodedImage& image);

// How a row of 3- or 4-byte pixels becomes a row of 4-byte pixels.
enum class TChannelOrder {
    Keep,       // channels stay where they are (B,G,R -> B,G,R,A)
    SwapRedBlue // first and third change places (B,G,R -> R,G,B,A)
};

// Converts `count` pixels of `srcBytes` (3 or 4) bytes each into 4-byte
// pixels; 3-byte pixels get an opaque fourth byte, 4-byte ones keep theirs.
void convertPixels(const std::uint8_t* src, int srcBytes, std::uint8_t* dst, std::size_t count, TChannelOrder order);

// Converts `count` 4-byte pixels into 3-byte ones, dropping each fourth
// byte (a B,G,R,A read-back into B,G,R rows).
void dropFourthByte(const std::uint8_t* src, std::uint8_t* dst, std::size_t count);

// How 5-bit channels of 15-bit pixels widen to 8 bits.
enum class TFiveBits {
    Shift,    // x 8, as a 5-5-5 bitmap draws onto a 24-bit surface
    Scale,    // x 255 / 31, the full range
    Replicate // the top bits repeated below (c << 3 | c >> 2)
};

// Row `y` of any decoded raster as Width B,G,R pixels into `out`: palettes
// looked up (an index past the palette is black), 15-bit pixels widened as
// asked, 32-bit pixels composited onto white by their alpha when
// `overWhite`, their fourth byte dropped otherwise.
void rowToBgr(const TDecodedImage& image, int y, TFiveBits fiveBits, bool overWhite, std::uint8_t* out);

// Any decoded raster as B,G,R,A (palette looked up, 15-bit widened to 8 bits
// by x 255 / 31, opaque unless it already is 32-bit).
void convertToBgra(TDecodedImage& image);

// A graphic's pixels as the face editor holds them: B,G,R,A, top row first,
// rows packed, Width x Height of its raster written to `out`. Palettes are
// looked up (an index past the palette is black) and 15-bit pixels widened
// by x 8, as drawn onto a 24-bit surface; everything is opaque except a
// 32-bit bitmap, which keeps its alpha. A graphic drawn with transparency
// is composited onto white instead, and a pixel the backdrop shows through
// gets alpha 0.
void drawToBgra(const TGraphic& graphic, std::uint8_t* out);

// A graphic as texture pixels. 24/32-bit bitmaps of a width divisible by 4
// convert directly (32-bit keeps its alpha). Everything else is first drawn
// onto a 24-bit bitmap whose width is rounded up to a multiple of 4
// (stretched to it when it had to grow), so it comes out opaque. An empty or
// missing graphic gives an empty buffer.
TGLBitmap32 convertToBitmap32(const TGraphic* graphic);
inline TGLBitmap32 convertToBitmap32(const TPicture& picture)
{
    return convertToBitmap32(picture.Graphic());
}

} // namespace velmora
