// Wavefront RLA and RPF files: a 740-byte header, a table of scan-line
// offsets (bottom line first) and per line one run-length block per channel.
#include <string>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {
namespace {

// Runs are a signed count byte: n >= 0 repeats the next byte n + 1 times,
// n < 0 copies -n bytes.
void unpackChannel(decoders::ByteReader& block, std::uint8_t* dst, int stride, int w)
{
    int x = 0;
    while (x < w && block.remaining()) {
        const auto n = std::int8_t(block.u8());
        if (n >= 0) {
            const int count = n + 1;
            if (count > w - x) block.fail("a run goes past the end of a line");
            const std::uint8_t v = block.u8();
            for (int i = 0; i < count; ++i) dst[std::size_t(x++) * stride] = v;
        } else {
            const int count = -n;
            if (count > w - x) block.fail("a run goes past the end of a line");
            const auto src = block.take(count);
            for (int i = 0; i < count; ++i) dst[std::size_t(x++) * stride] = src[i];
        }
    }
}

} // namespace

void decodeRla(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    decoders::ByteReader r(data, size, "RLA");
    r.need(740);
    auto s16 = [&](std::size_t at) { return int(std::int16_t(r.be16At(at))); };
    const int left = s16(8), right = s16(10), bottom = s16(12), top = s16(14);
    const int colourChannels = s16(20), matteChannels = s16(22);
    const int colourBits = s16(658), matteBits = s16(662);
    if (right < left || top < bottom) r.fail("zero picture size");
    const int w = right - left + 1, h = top - bottom + 1;
    // Every line has its 4-byte offset; a 2-byte run paints at most 128 samples.
    if (std::size_t(h) * 4 > size - 740) r.truncated();
    reserveRaster(w, h, size - 740 - std::size_t(h) * 4, 64.0, "RLA picture is not valid: the file ends early",
                  std::uint64_t(128) * h);
    if (colourChannels < 1 || colourChannels > 3 || matteChannels < 0 || matteChannels > 1)
        r.fail("unsupported channel layout");
    if ((colourBits != 0 && colourBits != 8) || (matteChannels && matteBits != 0 && matteBits != 8))
        r.fail("only 8-bit channels are supported");
    r.seek(740);
    const auto offsets = r.sub(740, std::size_t(h) * 4);

    const bool alpha = matteChannels == 1;
    TDecodedImage img;
    img.allocate(w, h, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    const int bpp = alpha ? 4 : 3;
    for (int line = 0; line < h; ++line) {
        decoders::ByteReader blocks(data, size, "RLA");
        blocks.seek(offsets.be32At(std::size_t(line) * 4));
        std::uint8_t* row = img.row(h - 1 - line);
        for (int c = 0; c < colourChannels + matteChannels; ++c) {
            const std::size_t len = blocks.be16();
            decoders::ByteReader block = blocks.takeReader(len);
            // Channels are red, green, blue, matte; pixels are stored B,G,R,A.
            const int target = c < colourChannels ? 2 - c : 3;
            unpackChannel(block, row + target, bpp, w);
        }
        if (colourChannels == 1) // grey: copy into green and blue
            for (int x = 0; x < w; ++x) row[x * bpp] = row[x * bpp + 1] = row[x * bpp + 2];
    }
    out = std::move(img);
}

} // namespace velmora
