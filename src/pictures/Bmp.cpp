#include "pictures/CoreCodecs.h"

#include "pictures/ByteReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace velmora {

namespace {

constexpr const char* InvalidBitmap = "Bitmap image is not valid";
[[noreturn]] void invalidBitmap()
{
    throw EPictureError(InvalidBitmap);
}

using Reader = TByteReader<EPictureError>;
void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// One colour channel described by a bit mask, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (m) {
            shift = std::countr_zero(m);
            bits = std::popcount(m);
        }
    }
    std::uint8_t get(std::uint32_t v) const
    {
        if (!mask) return 0;
        std::uint32_t c = (v & mask) >> shift;
        if (bits >= 8) return std::uint8_t(c >> (bits - 8));
        // Replicate the high bits so full scale maps to 255.
        std::uint32_t out = 0;
        for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | c;
        int total = ((8 + bits - 1) / bits) * bits;
        return std::uint8_t(out >> (total - 8));
    }
};

// A contiguous-bit mask of at most 32 bits, or zero.
bool validMask(std::uint32_t m)
{
    if (!m) return true;
    std::uint32_t shifted = m >> std::countr_zero(m);
    return (shifted & (shifted + 1)) == 0;
}

// RLE8/RLE4 into an 8-bit index raster; rows in the file are bottom-up.
// Pixels past the end of a row are dropped: the column is held at the row's
// width, so no run of runs or deltas can carry it anywhere else.
void decodeRle(const Reader& pixels, int bpp, bool topDown, TDecodedImage& out)
{
    Reader in = pixels;
    const std::int64_t w = out.Width, h = out.Height;
    std::int64_t x = 0, y = 0; // y counts file rows from the first stored one
    auto put = [&](std::uint8_t idx) {
        if (x < w) {
            if (y < h) out.row(int(topDown ? y : h - 1 - y))[x] = idx;
            ++x;
        }
    };
    while (in.remaining() >= 2 && y < h) {
        const std::uint8_t count = in.u8(), value = in.u8();
        if (count) {
            for (int k = 0; k < count && x < w; ++k)
                put(bpp == 8 ? value : std::uint8_t(k % 2 == 0 ? value >> 4 : value & 15));
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta
            if (in.remaining() < 2) return;
            const std::uint8_t dx = in.u8(), dy = in.u8();
            x = std::min<std::int64_t>(x + dx, w);
            y += dy;
        } else { // absolute run of `value` pixels, padded to a word
            const std::size_t bytes = bpp == 8 ? value : (value + 1u) / 2u;
            if (bytes > in.remaining()) invalidBitmap();
            auto run = in.take(bytes);
            for (int k = 0; k < value && x < w; ++k)
                put(bpp == 8 ? run[k] : std::uint8_t(k % 2 == 0 ? run[k / 2] >> 4 : run[k / 2] & 15));
            if ((bytes & 1) && in.remaining()) in.skip(1);
        }
    }
}

} // namespace

void decodeBmp(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    const Reader file({data, data ? size : 0}, InvalidBitmap);
    if (size < 14 + 12 || file.u8At(0) != 'B' || file.u8At(1) != 'M') invalidBitmap();
    const std::uint32_t pixelOffset = file.le32At(10);
    const std::uint32_t headerSize = file.le32At(14);
    if (headerSize < 12 || !file.holds(14, headerSize)) invalidBitmap();
    const Reader ih = file.sub(14, headerSize);

    std::int64_t width, height;
    int bpp;
    std::uint32_t compression = 0, colorsUsed = 0;
    int paletteEntrySize = 4;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    bool haveMasks = false;
    if (headerSize == 12) { // OS/2 core header
        width = ih.le16At(4);
        height = std::int16_t(ih.le16At(6));
        bpp = ih.le16At(10);
        paletteEntrySize = 3;
    } else {
        if (headerSize < 16) invalidBitmap();
        width = std::int32_t(ih.le32At(4));
        height = std::int32_t(ih.le32At(8));
        bpp = ih.le16At(14);
        if (headerSize >= 20) compression = ih.le32At(16);
        if (headerSize >= 36) colorsUsed = ih.le32At(32);
        if (headerSize >= 52) {
            masks[0] = ih.le32At(40);
            masks[1] = ih.le32At(44);
            masks[2] = ih.le32At(48);
            haveMasks = true;
        }
        if (headerSize >= 56) masks[3] = ih.le32At(52);
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > MaxPictureSide || height > MaxPictureSide) invalidBitmap();

    // Bit fields may follow a 40-byte header instead of being part of it.
    std::size_t afterHeader = 14 + std::size_t(headerSize);
    if ((compression == 3 || compression == 6) && !haveMasks) {
        int count = compression == 6 ? 4 : 3;
        if (afterHeader + 4u * count > size) invalidBitmap();
        // Some writers declare bit fields but put the pixels straight after
        // the header; the masks are then the usual ones for the depth.
        if (pixelOffset < afterHeader + 4u * count) {
            if (bpp == 16) {
                masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
            } else {
                masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
            }
            count = 0;
        }
        for (int k = 0; k < count; ++k) masks[k] = file.le32At(afterHeader + 4 * k);
        afterHeader += 4u * count;
    }

    const bool rle = compression == 1 || compression == 2;
    const bool fields = compression == 3 || compression == 6;
    if (compression > 3 && compression != 6) invalidBitmap(); // JPEG/PNG payloads and unknown schemes
    if (compression == 1 && bpp != 8) invalidBitmap();
    if (compression == 2 && bpp != 4) invalidBitmap();
    if (fields && bpp != 16 && bpp != 32) invalidBitmap();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) invalidBitmap();
    if (rle && topDown) invalidBitmap();

    // Colour table.
    if (bpp <= 8) {
        std::uint32_t count = colorsUsed ? colorsUsed : (1u << bpp);
        count = std::min<std::uint32_t>(count, 1u << bpp);
        auto table = file.at(afterHeader, std::size_t(count) * paletteEntrySize);
        out.Palette.resize(count);
        for (std::uint32_t k = 0; k < count; ++k) {
            auto e = table.subspan(std::size_t(k) * paletteEntrySize, 3);
            out.Palette[k] = {e[0], e[1], e[2], 0};
        }
    }

    if (pixelOffset >= size) invalidBitmap();
    const Reader px = file.sub(pixelOffset, size - pixelOffset);
    const std::size_t avail = px.size();
    const std::size_t stride = ((std::size_t(width) * bpp + 31) / 32) * 4;
    // The last row needs only its pixel bytes, not its padding.
    const std::size_t lastRow = (std::size_t(width) * bpp + 7) / 8;
    if (rle) {
        // A two-byte run paints at most 255 pixels; a file whose runs cannot
        // reach its declared size is refused before the raster is made.
        reserveRaster(width, height, avail, 255.0 / 2, InvalidBitmap, 255);
    } else {
        reserveRaster(width, height);
        if (std::size_t(height - 1) * stride + lastRow > avail) invalidBitmap();
    }

    TPixelFormat format;
    if (bpp <= 8)
        format = TPixelFormat::pf8bit;
    else if (bpp == 16 && (!fields || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)))
        format = TPixelFormat::pf15bit;
    else if (bpp == 16)
        format = TPixelFormat::pf24bit;
    else if (bpp == 24)
        format = TPixelFormat::pf24bit;
    else
        format = TPixelFormat::pf32bit;

    auto palette = std::move(out.Palette);
    out.allocate(int(width), int(height), format);
    out.Palette = std::move(palette);

    if (rle) {
        decodeRle(px, bpp, topDown, out);
        return;
    }

    for (int i = 0; i < height; ++i) {
        const std::uint8_t* src = px.at(std::size_t(i) * stride, lastRow).data();
        std::uint8_t* dst = out.row(topDown ? i : int(height) - 1 - i);
        switch (bpp) {
        case 1:
            for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case 4:
            for (int x = 0; x < width; ++x) dst[x] = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
            break;
        case 8:
        case 24: std::memcpy(dst, src, lastRow); break;
        case 16:
            if (format == TPixelFormat::pf15bit) {
                std::memcpy(dst, src, lastRow);
            } else {
                Channel r(masks[0]), g(masks[1]), b(masks[2]);
                for (int x = 0; x < width; ++x) {
                    std::uint32_t v = std::uint32_t(src[2 * x] | src[2 * x + 1] << 8);
                    dst[3 * x] = b.get(v);
                    dst[3 * x + 1] = g.get(v);
                    dst[3 * x + 2] = r.get(v);
                }
            }
            break;
        case 32:
            if (!fields ||
                (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF && masks[3] == 0xFF000000u)) {
                // Plain B,G,R,A rows: the fourth byte is kept as alpha. Bit
                // fields without an alpha mask take the path below (opaque).
                std::memcpy(dst, src, lastRow);
            } else {
                for (int k = 0; k < 4; ++k)
                    if (!validMask(masks[k])) invalidBitmap();
                Channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
                for (int x = 0; x < width; ++x) {
                    std::uint32_t v = std::uint32_t(src[4 * x]) | std::uint32_t(src[4 * x + 1]) << 8 |
                        std::uint32_t(src[4 * x + 2]) << 16 | std::uint32_t(src[4 * x + 3]) << 24;
                    dst[4 * x] = b.get(v);
                    dst[4 * x + 1] = g.get(v);
                    dst[4 * x + 2] = r.get(v);
                    dst[4 * x + 3] = masks[3] ? a.get(v) : 255;
                }
            }
            break;
        }
    }

    // Most 32-bit bitmaps leave the fourth byte 0 and mean no alpha at all;
    // kept as alpha, such a picture would be wholly transparent. It counts as
    // alpha only when some pixel has a fourth byte other than 0.
    if (bpp == 32 && (!fields || masks[3] != 0)) {
        bool anyAlpha = false;
        for (int y = 0; y < out.Height && !anyAlpha; ++y) {
            const std::uint8_t* row = out.row(y);
            for (int x = 0; x < out.Width; ++x)
                if (row[4 * x + 3]) {
                    anyAlpha = true;
                    break;
                }
        }
        if (!anyAlpha)
            for (int y = 0; y < out.Height; ++y) {
                std::uint8_t* row = out.row(y);
                for (int x = 0; x < out.Width; ++x) row[4 * x + 3] = 255;
            }
    }
}

std::vector<std::uint8_t> encodeBmp(const TDecodedImage& image)
{
    const int bpp = bytesPerPixel(image.Format) * 8;
    const std::size_t stride = ((std::size_t(image.Width) * bpp + 31) / 32) * 4;
    const std::size_t colors = image.Format == TPixelFormat::pf8bit ? 256 : 0;
    const std::size_t offset = 14 + 40 + colors * 4;
    const std::size_t total = offset + stride * image.Height;
    if (total > 0xFFFFFFFFu) throw EPictureError("Picture too large to store as a bitmap");
    std::vector<std::uint8_t> f(total, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(&f[2], std::uint32_t(total));
    put32(&f[10], std::uint32_t(offset));
    put32(&f[14], 40);
    put32(&f[18], std::uint32_t(image.Width));
    put32(&f[22], std::uint32_t(image.Height));
    put16(&f[26], 1);
    put16(&f[28], std::uint32_t(bpp));
    put32(&f[34], std::uint32_t(stride * image.Height));
    // Resolution stays 0 (unspecified), as stored bitmaps in scene streams
    // carry it: a bitmap read from a stream is then written back unchanged.
    if (colors) {
        put32(&f[46], 256);
        for (std::size_t k = 0; k < image.Palette.size() && k < 256; ++k)
            std::memcpy(&f[54 + 4 * k], image.Palette[k].data(), 3);
    }
    for (int y = 0; y < image.Height && image.Width > 0; ++y)
        std::memcpy(&f[offset + std::size_t(image.Height - 1 - y) * stride], image.row(y), image.rowBytes());
    return f;
}

} // namespace velmora
