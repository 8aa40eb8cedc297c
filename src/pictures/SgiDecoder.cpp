// SGI image files: verbatim or run-length, one to four channels stored as
// separate planes, rows bottom-up.
#include <algorithm>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {

void DecodeSgi(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    using decoders::ByteReader;
    ByteReader r(data, size, "SGI");
    if (size < 512) r.truncated();
    if (decoders::peekBe16(data) != 474) r.fail("missing SGI signature");
    const int storage = data[2];
    const int bpc = data[3];
    const int dimension = decoders::peekBe16(data + 4);
    const int w = decoders::peekBe16(data + 6);
    const int h = dimension >= 2 ? decoders::peekBe16(data + 8) : 1;
    const int channels = dimension >= 3 ? decoders::peekBe16(data + 10) : 1;
    const std::uint32_t colormap = decoders::peekBe32(data + 104);
    if (storage > 1) r.fail("unknown storage " + std::to_string(storage));
    if (bpc != 1 && bpc != 2) r.fail("samples must be 1 or 2 bytes");
    if (dimension < 1 || dimension > 3) r.fail("unknown dimension " + std::to_string(dimension));
    if (w == 0 || h == 0 || channels == 0) r.fail("zero picture size");
    if (colormap != 0) r.fail("colour-map files are not supported");
    decoders::checkSize(w, h);
    // Channels beyond the fourth carry nothing a picture can show.
    const int used = std::min(channels, 4);

    // planes[c][y * w + x] holds 8-bit samples, y counted from the bottom.
    const std::size_t planeSize = std::size_t(w) * h;
    if (storage == 0 && planeSize * used * bpc > size - 512) r.truncated();
    if (storage == 1 && std::size_t(h) * channels * 8 > size - 512) r.truncated();
    std::vector<std::uint8_t> planes(planeSize * used);
    auto sample = [&](const std::uint8_t* p) -> std::uint8_t {
        return bpc == 1 ? p[0] : decoders::scaleSample(decoders::peekBe16(p), 65535);
    };

    if (storage == 0) {
        r.seek(512);
        for (int c = 0; c < used; ++c) {
            const std::uint8_t* src = r.take(planeSize * bpc);
            for (std::size_t i = 0; i < planeSize; ++i) planes[c * planeSize + i] = sample(src + i * bpc);
        }
    } else {
        const std::size_t tables = std::size_t(h) * channels;
        r.seek(512);
        const std::uint8_t* starts = r.take(tables * 4);
        for (int c = 0; c < used; ++c) {
            for (int y = 0; y < h; ++y) {
                const std::size_t t = std::size_t(c) * h + y;
                ByteReader line(data, size, "SGI");
                line.seek(decoders::peekBe32(starts + t * 4));
                std::uint8_t* dst = &planes[c * planeSize + std::size_t(y) * w];
                int x = 0;
                for (;;) {
                    const std::uint8_t* head = line.take(bpc);
                    const unsigned pixel = bpc == 1 ? head[0] : decoders::peekBe16(head);
                    int count = pixel & 0x7F;
                    if (count == 0) break;
                    if (count > w - x) line.fail("a run goes past the end of a row");
                    if (pixel & 0x80) {
                        const std::uint8_t* src = line.take(std::size_t(count) * bpc);
                        for (int i = 0; i < count; ++i) dst[x++] = sample(src + i * bpc);
                    } else {
                        const std::uint8_t v = sample(line.take(bpc));
                        for (int i = 0; i < count; ++i) dst[x++] = v;
                    }
                }
            }
        }
    }

    TDecodedImage img;
    const TPixelFormat format = used == 1 ? TPixelFormat::pf8bit
                                : used == 3 ? TPixelFormat::pf24bit
                                            : TPixelFormat::pf32bit;
    img.allocate(w, h, format);
    if (used == 1) decoders::setGreyPalette(img);
    const int bpp = BytesPerPixel(format);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = img.row(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * w + x;
            std::uint8_t* d = row + std::size_t(x) * bpp;
            if (used == 1) {
                d[0] = planes[i];
            } else if (used == 2) { // grey and alpha
                d[0] = d[1] = d[2] = planes[i];
                d[3] = planes[planeSize + i];
            } else {
                d[0] = planes[2 * planeSize + i];
                d[1] = planes[planeSize + i];
                d[2] = planes[i];
                if (used == 4) d[3] = planes[3 * planeSize + i];
            }
        }
    }
    out = std::move(img);
}

} // namespace velmora
