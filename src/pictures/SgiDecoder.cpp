// SGI image files: verbatim or run-length, one to four channels stored as
// separate planes, rows bottom-up.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {

void decodeSgi(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    using decoders::ByteReader;
    const ByteReader r(data, size, "SGI");
    if (size < 512) r.truncated();
    if (r.be16At(0) != 474) r.fail("missing SGI signature");
    const int storage = r.u8At(2);
    const int bpc = r.u8At(3);
    const int dimension = r.be16At(4);
    const int w = r.be16At(6);
    const int h = dimension >= 2 ? r.be16At(8) : 1;
    const int channels = dimension >= 3 ? r.be16At(10) : 1;
    const std::uint32_t colormap = r.be32At(104);
    if (storage > 1) r.fail("unknown storage " + std::to_string(storage));
    if (bpc != 1 && bpc != 2) r.fail("samples must be 1 or 2 bytes");
    if (dimension < 1 || dimension > 3) r.fail("unknown dimension " + std::to_string(dimension));
    if (w == 0 || h == 0 || channels == 0) r.fail("zero picture size");
    if (colormap != 0) r.fail("colour-map files are not supported");
    // Channels beyond the fourth carry nothing a picture can show.
    const int used = std::min(channels, 4);
    const std::size_t planeSize = std::size_t(w) * h;
    const std::size_t data0 = 512;
    if (storage == 0) {
        reserveRaster(w, h);
        if (planeSize * used * bpc > size - data0) r.truncated();
    } else {
        // Offset and length tables come first; then a run of bpc bytes paints
        // at most 127 samples. Rows may share their runs, but a file that
        // needs that to reach its size is refused rather than believed.
        const std::size_t tables = std::size_t(h) * channels * 8;
        if (tables > size - data0) r.truncated();
        const double perByte = 127.0 / (2.0 * bpc) / used;
        reserveRaster(w, h, size - data0 - tables, perByte, "SGI picture is not valid: the file ends early",
                      std::uint64_t(127) * h);
    }

    const TPixelFormat format = used == 1 ? TPixelFormat::pf8bit
        : used == 3                       ? TPixelFormat::pf24bit
                                          : TPixelFormat::pf32bit;
    TDecodedImage img;
    img.allocate(w, h, format);
    if (used == 1) decoders::setGreyPalette(img);
    const int bpp = bytesPerPixel(format);
    auto sample = [&](std::span<const std::uint8_t> p, std::size_t i) -> std::uint8_t {
        return bpc == 1 ? p[i] : decoders::scaleSample(std::uint32_t(p[2 * i] << 8 | p[2 * i + 1]), 65535);
    };
    // Channel c of the file goes to these bytes of each pixel (rows bottom-up).
    auto store = [&](int c, int y, int x, std::uint8_t v) {
        std::uint8_t* d = img.row(h - 1 - y) + std::size_t(x) * bpp;
        if (used == 1)
            d[0] = v;
        else if (used == 2) {
            if (c == 0)
                d[0] = d[1] = d[2] = v;
            else
                d[3] = v;
        } else if (c < 3)
            d[2 - c] = v;
        else
            d[3] = v;
    };

    if (storage == 0) {
        for (int c = 0; c < used; ++c) {
            const auto src = r.at(data0 + std::size_t(c) * planeSize * bpc, planeSize * bpc);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) store(c, y, x, sample(src, std::size_t(y) * w + x));
        }
    } else {
        for (int c = 0; c < used; ++c) {
            for (int y = 0; y < h; ++y) {
                const std::size_t t = std::size_t(c) * h + y;
                ByteReader line(data, size, "SGI");
                line.seek(r.be32At(data0 + t * 4));
                int x = 0;
                for (;;) {
                    const auto head = line.take(bpc);
                    const unsigned pixel = bpc == 1 ? head[0] : unsigned(head[0] << 8 | head[1]);
                    int count = pixel & 0x7F;
                    if (count == 0) break;
                    if (count > w - x) line.fail("a run goes past the end of a row");
                    if (pixel & 0x80) {
                        const auto src = line.take(std::size_t(count) * bpc);
                        for (int i = 0; i < count; ++i) store(c, y, x++, sample(src, i));
                    } else {
                        const std::uint8_t v = sample(line.take(bpc), 0);
                        for (int i = 0; i < count; ++i) store(c, y, x++, v);
                    }
                }
            }
        }
    }
    out = std::move(img);
}

} // namespace velmora
