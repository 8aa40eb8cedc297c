#pragma once
// Bounds-checked reading helpers shared by the picture decoders.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "pictures/ByteReader.h"
#include "pictures/DecodedImage.h"

namespace velmora::decoders {

// The checked reader with the decoders' conventions: failures read
// "<format> picture is not valid: <what>".
class ByteReader : public TByteReader<EPictureError> {
public:
    ByteReader(std::span<const std::uint8_t> bytes, const char* format)
        : TByteReader(bytes, std::string(format) + " picture is not valid: the file ends early"),
          format_(format)
    {}
    // The decoders' entry points take the whole file as pointer and size.
    ByteReader(const std::uint8_t* data, std::size_t size, const char* format)
        : ByteReader(std::span<const std::uint8_t>(data, data ? size : 0), format)
    {}

    [[noreturn]] void fail(const std::string& what) const
    {
        throw EPictureError(std::string(format_) + " picture is not valid: " + what);
    }
    // A reader over [0, end) positioned at `from`, so offsets inside it stay
    // offsets of this range; fails when the range is shorter than `end`.
    ByteReader upTo(std::uint64_t from, std::uint64_t end) const
    {
        ByteReader r(at(0, end), format_);
        r.seek(from);
        return r;
    }
    // A reader over `n` bytes taken from here, with the same format.
    ByteReader takeReader(std::uint64_t n) { return ByteReader(take(n), format_); }

private:
    const char* format_;
};

// Whether the bytes begin with the signature `magic`.
inline bool startsWith(std::span<const std::uint8_t> bytes, std::string_view magic)
{
    return bytes.size() >= magic.size() &&
        std::equal(magic.begin(), magic.end(), bytes.begin(),
                   [](char m, std::uint8_t b) { return std::uint8_t(m) == b; });
}

// A whole file in memory as the read-only stream that libpng, giflib and
// libtiff pull their input from through callbacks.
class MemorySource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    std::size_t remaining() const { return pos_ < bytes_.size() ? bytes_.size() - std::size_t(pos_) : 0; }

    // Copies up to `n` bytes from the position on; fewer only at the end.
    std::size_t read(void* out, std::size_t n)
    {
        const std::size_t k = std::min(n, remaining());
        const auto from = bytes_.subspan(std::size_t(pos_), k);
        std::copy(from.begin(), from.end(), static_cast<std::uint8_t*>(out));
        pos_ += k;
        return k;
    }
    // Moves relative to the start, the position or the end (SEEK_SET, SEEK_CUR,
    // SEEK_END). A position past the end is allowed and reads nothing; one that
    // overflows is refused with UINT64_MAX and leaves the position as it was.
    std::uint64_t seek(std::uint64_t offset, int whence)
    {
        const std::uint64_t base = whence == SEEK_CUR ? pos_ : whence == SEEK_END ? bytes_.size() : 0;
        const std::uint64_t p = base + offset;
        if (p < base && whence != SEEK_SET) return UINT64_MAX;
        pos_ = p;
        return p;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t pos_ = 0;
};

// The size test of TDecodedImage::allocate, for decoders that need working
// buffers before the picture itself.
inline void checkSize(std::int64_t width, std::int64_t height)
{
    reserveRaster(width, height);
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

} // namespace velmora::decoders
