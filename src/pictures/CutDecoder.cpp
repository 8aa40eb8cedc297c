// Dr. Halo cut files. Their colours live in a separate .pal file that is not
// at hand when decoding from memory, so the indexes are shown as grey levels.
#include <algorithm>
#include <string>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {

void decodeCut(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    decoders::ByteReader r(data, size, "CUT");
    r.need(6);
    const int w = r.le16(), h = r.le16();
    r.skip(2);
    if (w == 0 || h == 0) r.fail("zero picture size");
    decoders::checkSize(w, h);
    // Each row costs at least its length word and end marker.
    if (std::size_t(h) * 3 > r.remaining()) r.truncated();
    TDecodedImage img;
    img.allocate(w, h, TPixelFormat::pf8bit);
    int top = 0;
    for (int y = 0; y < h; ++y) {
        const std::size_t len = r.le16();
        decoders::ByteReader line = r.takeReader(len);
        std::uint8_t* row = img.row(y);
        int x = 0;
        while (line.remaining()) {
            const std::uint8_t c = line.u8();
            if (c == 0) break;
            const int count = c & 0x7F;
            if (count > w - x) line.fail("a run goes past the end of a row");
            if (c & 0x80) {
                std::fill_n(row + x, count, line.u8());
            } else {
                const auto bytes = line.take(count);
                std::copy(bytes.begin(), bytes.end(), row + x);
            }
            x += count;
        }
        top = std::max(top, int(*std::max_element(row, row + w)));
    }
    // Spread the grey levels over the indexes actually used, so pictures of
    // few colours are not all near black.
    img.Palette.resize(256);
    for (int i = 0; i < 256; ++i) {
        const auto v = std::uint8_t(top ? std::min(255, i * 255 / top) : 0);
        img.Palette[i] = {v, v, v, 0};
    }
    out = std::move(img);
}

} // namespace velmora
