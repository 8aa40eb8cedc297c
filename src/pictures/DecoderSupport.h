#pragma once
// Bounds-checked reading helpers shared by the picture decoders.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pictures/DecodedImage.h"

namespace velmora::decoders {

// A cursor over a byte range that throws instead of reading past the end.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size, const char* format)
        : data_(data), size_(data ? size : 0), format_(format)
    {
    }

    std::size_t size() const { return size_; }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return size_ - pos_; }
    const std::uint8_t* data() const { return data_; }
    const std::uint8_t* here() const { return data_ + pos_; }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw EPictureError(std::string(format_) + " picture is not valid: " + what);
    }
    [[noreturn]] void truncated() const { fail("the file ends early"); }

    void need(std::size_t n) const
    {
        if (n > remaining()) truncated();
    }
    void seek(std::size_t p)
    {
        if (p > size_) truncated();
        pos_ = p;
    }
    void skip(std::size_t n)
    {
        need(n);
        pos_ += n;
    }
    const std::uint8_t* take(std::size_t n)
    {
        need(n);
        const std::uint8_t* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    std::uint8_t u8()
    {
        need(1);
        return data_[pos_++];
    }
    std::uint16_t le16()
    {
        const std::uint8_t* p = take(2);
        return std::uint16_t(p[0] | (p[1] << 8));
    }
    std::uint32_t le32()
    {
        const std::uint8_t* p = take(4);
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
               (std::uint32_t(p[3]) << 24);
    }
    std::uint16_t be16()
    {
        const std::uint8_t* p = take(2);
        return std::uint16_t((p[0] << 8) | p[1]);
    }
    std::uint32_t be32()
    {
        const std::uint8_t* p = take(4);
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
               (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    const char* format_;
};

inline std::uint16_t peekLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t peekLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline std::uint16_t peekBe16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }
inline std::uint32_t peekBe32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

// The size test of TDecodedImage::allocate, for decoders that need working
// buffers before the picture itself.
inline void checkSize(std::int64_t width, std::int64_t height)
{
    if (width < 0 || height < 0 || width > MaxPictureSide || height > MaxPictureSide ||
        width * height > MaxPicturePixels)
        throw EPictureError("Picture too large (" + std::to_string(width) + " x " +
                            std::to_string(height) + ")");
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
