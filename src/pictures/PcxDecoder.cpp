// ZSoft Paintbrush (also the .pcc clip and Word screen capture variants).
#include <algorithm>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {

void decodePcx(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    using decoders::ByteReader;
    ByteReader r(data, size, "PCX");
    const auto head = r.at(0, 128);
    if (head[0] != 0x0A) r.fail("missing PCX signature");
    const int version = head[1];
    const int encoding = head[2];
    const int bits = head[3];
    const int xmin = r.le16At(4), ymin = r.le16At(6);
    const int xmax = r.le16At(8), ymax = r.le16At(10);
    const int planes = head[65];
    const std::size_t lineBytes = r.le16At(66);
    if (encoding > 1) r.fail("unknown encoding " + std::to_string(encoding));
    if (xmax < xmin || ymax < ymin) r.fail("zero picture size");
    const int w = xmax - xmin + 1, h = ymax - ymin + 1;
    decoders::checkSize(w, h);

    enum class Layout { Indexed, Rgb, Rgba } layout;
    if (bits == 8 && planes == 1)
        layout = Layout::Indexed;
    else if (bits == 8 && planes == 3)
        layout = Layout::Rgb;
    else if (bits == 8 && planes == 4)
        layout = Layout::Rgba;
    else if ((bits == 1 && planes >= 1 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1))
        layout = Layout::Indexed;
    else
        r.fail(std::to_string(bits) + " bits in " + std::to_string(planes) + " planes are not supported");
    if (lineBytes * 8 < std::size_t(w) * bits) r.fail("the scan line is shorter than the picture width");

    // The pixel stream: one scan line per plane per row. Runs may cross line
    // ends in files from some writers, so the stream is unpacked as a whole.
    const std::size_t total = lineBytes * planes * std::size_t(h);
    if (encoding == 0 ? total > size - 128 : total > (size - 128) * 63) r.truncated();
    std::vector<std::uint8_t> raw(total);
    r.seek(128);
    if (encoding == 0) {
        const auto bytes = r.take(total);
        std::copy(bytes.begin(), bytes.end(), raw.begin());
    } else {
        std::size_t i = 0;
        while (i < total) {
            std::uint8_t b = r.u8();
            std::size_t count = 1;
            if ((b & 0xC0) == 0xC0) {
                count = b & 0x3F;
                b = r.u8();
            }
            count = std::min(count, total - i);
            std::fill_n(raw.begin() + std::ptrdiff_t(i), count, b);
            i += count;
        }
    }

    TDecodedImage img;
    const std::size_t stride = lineBytes * planes;
    if (layout == Layout::Indexed) {
        img.allocate(w, h, TPixelFormat::pf8bit);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* line = raw.data() + stride * y;
            std::uint8_t* row = img.row(y);
            for (int x = 0; x < w; ++x) {
                int v = 0;
                if (bits == 8) {
                    v = line[x];
                } else if (bits == 1) {
                    for (int p = 0; p < planes; ++p) v |= ((line[lineBytes * p + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
                } else {
                    const int perByte = 8 / bits;
                    const int shift = 8 - bits * (x % perByte + 1);
                    v = (line[x / perByte] >> shift) & ((1 << bits) - 1);
                }
                row[x] = std::uint8_t(v);
            }
        }
        const int colours = bits == 8 ? 256 : 1 << (bits * planes);
        if (bits == 8) {
            // Version 5 files append 256 colours after a 0x0C marker; without
            // them the picture is greyscale.
            if (size >= 128 + 769 && r.u8At(size - 769) == 0x0C && version >= 5) {
                img.Palette.resize(256);
                const auto p = r.at(size - 768, 768);
                for (int i = 0; i < 256; ++i) img.Palette[i] = {p[i * 3 + 2], p[i * 3 + 1], p[i * 3], 0};
            } else {
                decoders::setGreyPalette(img);
            }
        } else if (colours == 2 &&
                   (version < 2 || (head[16] == head[19] && head[17] == head[20] && head[18] == head[21]))) {
            // Monochrome files often leave the header palette blank.
            img.Palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
        } else {
            img.Palette.resize(colours);
            for (int i = 0; i < colours; ++i) {
                const auto p = head.subspan(16 + std::size_t(i) * 3, 3);
                img.Palette[i] = {p[2], p[1], p[0], 0};
            }
        }
    } else {
        const bool alpha = layout == Layout::Rgba;
        img.allocate(w, h, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
        const int bpp = alpha ? 4 : 3;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* line = raw.data() + stride * y;
            std::uint8_t* row = img.row(y);
            for (int x = 0; x < w; ++x) {
                row[x * bpp] = line[lineBytes * 2 + x];
                row[x * bpp + 1] = line[lineBytes + x];
                row[x * bpp + 2] = line[x];
                if (alpha) row[x * bpp + 3] = line[lineBytes * 3 + x];
            }
        }
    }
    out = std::move(img);
}

} // namespace velmora
