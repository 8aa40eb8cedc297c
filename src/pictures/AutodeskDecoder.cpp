// Autodesk Animator cels and pictures: a 32-byte header, a 256-entry palette
// of 6-bit components and one byte per pixel, top row first.
#include <algorithm>
#include <string>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {

void decodeAutodesk(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    decoders::ByteReader r(data, size, "Autodesk");
    r.need(32);
    if (r.le16() != 0x9119) r.fail("missing Autodesk signature");
    const int w = r.le16(), h = r.le16();
    r.skip(4); // placement on the screen
    const int bits = r.u8();
    const int compression = r.u8();
    r.seek(32);
    if (bits != 8) r.fail(std::to_string(bits) + "-bit pixels are not supported");
    if (compression != 0) r.fail("compressed pixels are not supported");
    if (w == 0 || h == 0) r.fail("zero picture size");
    const auto pal = r.take(768);
    const auto px = r.take(std::size_t(w) * h);
    TDecodedImage img;
    img.allocate(w, h, TPixelFormat::pf8bit);
    img.Palette.resize(256);
    auto widen = [](std::uint8_t v) { return std::uint8_t(v >= 63 ? 255 : v * 255 / 63); };
    for (int i = 0; i < 256; ++i) img.Palette[i] = {widen(pal[i * 3 + 2]), widen(pal[i * 3 + 1]), widen(pal[i * 3]), 0};
    std::copy(px.begin(), px.end(), img.Pixels.begin());
    out = std::move(img);
}

} // namespace velmora
