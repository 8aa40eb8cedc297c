#pragma once
// Bounds-checked reading helpers shared by the picture decoders.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pictures/ByteReader.h"
#include "pictures/DecodedImage.h"

namespace velmora::decoders {

// The checked reader with the decoders' conventions: failures read
// "<format> picture is not valid: <what>", and taken ranges come back as
// pointers to bytes that have been checked to be there.
class ByteReader : public TByteReader<EPictureError> {
public:
    ByteReader(const std::uint8_t* data, std::size_t size, const char* format)
        : TByteReader({data, data ? size : 0}, std::string(format) + " picture is not valid: the file ends early"),
          format_(format)
    {}

    [[noreturn]] void fail(const std::string& what) const
    {
        throw EPictureError(std::string(format_) + " picture is not valid: " + what);
    }
    const std::uint8_t* take(std::size_t n) { return TByteReader::take(n).data(); }

private:
    const char* format_;
};

// The size test of TDecodedImage::allocate, for decoders that need working
// buffers before the picture itself.
inline void checkSize(std::int64_t width, std::int64_t height)
{
    ReserveRaster(width, height);
}

// Rescales a sample of 0..maxval to 0..255, rounding to nearest.
inline std::uint8_t scaleSample(std::uint32_t v, std::uint32_t maxval)
{
    if (v >= maxval) return 255;
    return std::uint8_t((std::uint64_t(v) * 255 + maxval / 2) / maxval);
}

inline void setGreyPalette(TDecodedImage& img, int entries = 256)
{
    img.Palette.resize(entries);
    for (int i = 0; i < entries; ++i) {
        auto v = std::uint8_t(entries > 1 ? i * 255 / (entries - 1) : 0);
        img.Palette[i] = {v, v, v, 0};
    }
}

// Palette indexes beyond the palette would make later lookups read past it:
// the palette is padded with black to cover every index a pixel can hold.
inline void padPalette(TDecodedImage& img)
{
    std::size_t top = 0;
    for (std::uint8_t v : img.Pixels)
        if (v >= top) top = std::size_t(v) + 1;
    if (img.Palette.size() < top) img.Palette.resize(top, {0, 0, 0, 0});
}

// Converts any decoded raster to B,G,R,A; used where a format wraps another one.
void toBgra(TDecodedImage& img);

} // namespace velmora::decoders
