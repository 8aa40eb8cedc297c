// Windows icon and cursor files: the largest image of the directory, stored
// either as a headerless BMP with an AND mask or as a whole PNG file.
#include <algorithm>
#include <span>
#include <string>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"
#include "pictures/Rasters.h"

namespace velmora {
namespace {

using decoders::ByteReader;

void decodeIconBitmap(std::span<const std::uint8_t> data, TDecodedImage& out)
{
    ByteReader r(data, "ICO");
    const std::uint32_t headerSize = r.le32();
    if (headerSize < 40 || headerSize > r.size()) r.fail("unknown bitmap header");
    const auto width = std::int32_t(r.le32());
    const auto doubled = std::int32_t(r.le32());
    r.skip(2);
    const int bits = r.le16();
    const std::uint32_t compression = r.le32();
    r.skip(12);
    std::uint32_t used = r.le32();
    if (compression != 0) r.fail("compressed icon bitmaps are not supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        r.fail(std::to_string(bits) + "-bit icon bitmaps are not supported");
    // The height covers the colour rows and the mask rows together.
    const int h = doubled / 2;
    if (width <= 0 || h <= 0) r.fail("zero picture size");
    decoders::checkSize(width, h);

    r.seek(headerSize);
    std::vector<std::array<std::uint8_t, 4>> palette;
    if (bits <= 8) {
        const std::uint32_t full = 1u << bits;
        if (used == 0 || used > full) used = full;
        const auto p = r.take(std::size_t(used) * 4);
        palette.resize(full, {0, 0, 0, 0});
        for (std::uint32_t i = 0; i < used; ++i) palette[i] = {p[i * 4], p[i * 4 + 1], p[i * 4 + 2], 0};
    }
    const std::size_t colourStride = ((std::size_t(width) * bits + 31) / 32) * 4;
    const std::size_t maskStride = ((std::size_t(width) + 31) / 32) * 4;
    const auto colour = r.take(colourStride * h);
    // Some writers leave the mask out of 32-bit images; alpha then comes from the pixels alone.
    const bool haveMask = r.remaining() >= maskStride * h;
    const auto mask = haveMask ? r.at(r.pos(), maskStride * h) : std::span<const std::uint8_t>();

    TDecodedImage img;
    img.allocate(width, h, TPixelFormat::pf32bit);
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const auto src = colour.subspan(colourStride * (h - 1 - y), colourStride);
        std::uint8_t* dst = img.row(y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* d = dst + x * 4;
            if (bits == 32) {
                std::copy_n(src.begin() + x * 4, 4, d);
                anyAlpha = anyAlpha || d[3] != 0;
                continue;
            }
            if (bits == 24) {
                std::copy_n(src.begin() + x * 3, 3, d);
            } else {
                const int perByte = 8 / bits;
                const int idx = (src[x / perByte] >> (8 - bits * (x % perByte + 1))) & ((1 << bits) - 1);
                std::copy_n(palette[idx].data(), 3, d);
            }
            d[3] = 255;
        }
    }
    // A 32-bit image whose alpha is all zero predates alpha icons: the mask decides.
    const bool useMask = haveMask && (bits != 32 || !anyAlpha);
    if (useMask) {
        for (int y = 0; y < h; ++y) {
            const auto m = mask.subspan(maskStride * (h - 1 - y), maskStride);
            std::uint8_t* dst = img.row(y);
            for (int x = 0; x < width; ++x) dst[x * 4 + 3] = ((m[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255;
        }
    } else if (bits == 32 && !anyAlpha) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < width; ++x) img.row(y)[x * 4 + 3] = 255;
    }
    out = std::move(img);
}

} // namespace

void decodeIco(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    ByteReader r(data, size, "ICO");
    r.need(6);
    if (r.le16() != 0) r.fail("missing icon signature");
    const int type = r.le16();
    if (type != 1 && type != 2) r.fail("missing icon signature");
    const int count = r.le16();
    if (count == 0) r.fail("the icon holds no image");
    r.need(std::size_t(count) * 16);

    // Largest area first, then the deepest colour.
    int best = -1;
    long bestArea = -1;
    int bestBits = -1;
    for (int i = 0; i < count; ++i) {
        const std::size_t e = 6 + std::size_t(i) * 16;
        const long w = r.u8At(e) ? r.u8At(e) : 256, h = r.u8At(e + 1) ? r.u8At(e + 1) : 256;
        const int bits = r.le16At(e + 6);
        if (w * h > bestArea || (w * h == bestArea && bits > bestBits)) {
            best = i;
            bestArea = w * h;
            bestBits = bits;
        }
    }
    const std::size_t e = 6 + std::size_t(best) * 16;
    const std::uint32_t len = r.le32At(e + 8), off = r.le32At(e + 12);
    if (!r.holds(off, len)) r.fail("an image lies outside the file");
    const auto img = r.at(off, len);
    if (len >= 8 && decoders::startsWith(img, "\x89PNG")) {
        decodePng(img.data(), img.size(), out);
        convertToBgra(out);
        return;
    }
    decodeIconBitmap(img, out);
}

} // namespace velmora
