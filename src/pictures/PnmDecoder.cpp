// Netpbm bitmaps, grey maps and pixel maps, plain (P1-P3) and raw (P4-P6).
#include <algorithm>
#include <string>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {
namespace {

using decoders::ByteReader;

bool isSpace(std::uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void skipSpaceAndComments(ByteReader& r)
{
    while (r.remaining()) {
        std::uint8_t c = r.peek();
        if (c == '#') {
            while (r.remaining() && r.peek() != '\n' && r.peek() != '\r') r.skip(1);
        } else if (isSpace(c)) {
            r.skip(1);
        } else {
            break;
        }
    }
}

std::uint32_t readNumber(ByteReader& r, const char* what)
{
    skipSpaceAndComments(r);
    if (!r.remaining()) r.truncated();
    if (r.peek() < '0' || r.peek() > '9') r.fail(std::string("expected a number for the ") + what);
    std::uint64_t v = 0;
    while (r.remaining() && r.peek() >= '0' && r.peek() <= '9') {
        v = v * 10 + (r.u8() - '0');
        if (v > 0xFFFFFFFFu) r.fail(std::string("the ") + what + " is out of range");
    }
    return std::uint32_t(v);
}

} // namespace

void decodePnm(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    ByteReader r(data, size, "PNM");
    if (size < 2 || r.u8At(0) != 'P' || r.u8At(1) < '1' || r.u8At(1) > '6') r.fail("missing P1-P6 signature");
    const int kind = r.u8At(1) - '0';
    r.skip(2);
    const std::uint32_t w = readNumber(r, "width");
    const std::uint32_t h = readNumber(r, "height");
    std::uint32_t maxval = 1;
    if (kind != 1 && kind != 4) {
        maxval = readNumber(r, "maximum value");
        if (maxval == 0 || maxval > 65535) r.fail("the maximum value must be 1 to 65535");
    }
    if (w == 0 || h == 0) r.fail("zero picture size");
    if (w > std::uint32_t(MaxPictureSide) || h > std::uint32_t(MaxPictureSide))
        throw EPictureError("Picture too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");
    // Raw rasters begin after exactly one whitespace character.
    if (kind >= 4) {
        if (!r.remaining() || !isSpace(r.peek())) r.fail("no whitespace before the raster");
        r.skip(1);
    }

    const bool colour = kind == 3 || kind == 6;
    const int bytesPerSample = maxval > 255 ? 2 : 1;
    // Every sample takes at least a byte (P4: a bit), so a short file is refused
    // before a raster of its declared size is allocated.
    const std::uint64_t samples = std::uint64_t(w) * h * (colour ? 3 : 1);
    const std::uint64_t least = kind == 4 ? std::uint64_t((w + 7) / 8) * h
        : kind >= 5                       ? samples * bytesPerSample
                                          : samples;
    if (least > r.remaining()) r.truncated();
    TDecodedImage img;
    img.allocate(int(w), int(h), colour ? TPixelFormat::pf24bit : TPixelFormat::pf8bit);
    if (kind == 1 || kind == 4) {
        img.Palette = {{255, 255, 255, 0}, {0, 0, 0, 0}}; // 1 is black
    } else if (!colour) {
        decoders::setGreyPalette(img);
    }

    auto rawSample = [&]() -> std::uint8_t {
        std::uint32_t v = bytesPerSample == 2 ? r.be16() : r.u8();
        return decoders::scaleSample(v, maxval);
    };
    auto plainSample = [&]() -> std::uint8_t { return decoders::scaleSample(readNumber(r, "sample"), maxval); };

    for (std::uint32_t y = 0; y < h; ++y) {
        std::uint8_t* row = img.row(int(y));
        switch (kind) {
        case 1:
            for (std::uint32_t x = 0; x < w; ++x) {
                // Plain bitmaps may run their digits together.
                skipSpaceAndComments(r);
                std::uint8_t c = r.u8();
                if (c != '0' && c != '1') r.fail("a bitmap sample must be 0 or 1");
                row[x] = std::uint8_t(c - '0');
            }
            break;
        case 4: {
            const auto p = r.take((w + 7) / 8);
            for (std::uint32_t x = 0; x < w; ++x) row[x] = (p[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        }
        case 2:
            for (std::uint32_t x = 0; x < w; ++x) row[x] = plainSample();
            break;
        case 5:
            r.need(std::size_t(w) * bytesPerSample);
            for (std::uint32_t x = 0; x < w; ++x) row[x] = rawSample();
            break;
        case 3:
            for (std::uint32_t x = 0; x < w; ++x) {
                std::uint8_t red = plainSample(), green = plainSample(), blue = plainSample();
                row[x * 3] = blue, row[x * 3 + 1] = green, row[x * 3 + 2] = red;
            }
            break;
        case 6:
            r.need(std::size_t(w) * 3 * bytesPerSample);
            for (std::uint32_t x = 0; x < w; ++x) {
                std::uint8_t red = rawSample(), green = rawSample(), blue = rawSample();
                row[x * 3] = blue, row[x * 3 + 1] = green, row[x * 3 + 2] = red;
            }
            break;
        }
    }
    out = std::move(img);
}

} // namespace velmora
