#include "pictures/CoreCodecs.h"

#include "pictures/ByteReader.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

constexpr const char* StreamReadError = "Stream read error";

// One row of run-length packets into `dst`. Each row starts with a fresh
// packet; a packet that runs past the end of the row is cut there and its
// remainder is lost. A file that ends early leaves the rest of the row blank.
void readRleRow(TByteReader<EPictureError>& in, std::uint8_t* dst, int width, int bytesPerPixel)
{
    int x = 0;
    while (x < width && !in.atEnd()) {
        const int c = in.u8();
        const int count = (c & 127) + 1;
        const std::size_t left = in.remaining();
        if (c & 128) {
            if (left < std::size_t(bytesPerPixel)) {
                in.skip(left);
                break;
            }
            const std::uint8_t* value = in.take(bytesPerPixel).data();
            for (int k = 0; k < count && x < width; ++k, ++x)
                std::memcpy(dst + std::size_t(x) * bytesPerPixel, value, bytesPerPixel);
        } else {
            const std::size_t want = std::size_t(count) * bytesPerPixel;
            const std::size_t have = std::min(want, left);
            const int whole = int(have / bytesPerPixel);
            const int n = std::min(whole, width - x);
            const auto run = in.take(have);
            std::memcpy(dst + std::size_t(x) * bytesPerPixel, run.data(), std::size_t(n) * bytesPerPixel);
            x += n;
            if (have < want) break;
        }
    }
}

} // namespace

void decodeTga(const std::uint8_t* data, std::size_t size, TDecodedImage& out, const TReadProgress& progress)
{
    if (progress) progress("Preparing...", 0);
    // Reads from the file in memory the way a stream would: a short read fails.
    TByteReader<EPictureError> in({data, data ? size : 0}, StreamReadError);
    const auto h = in.take(18);
    const int idLength = h[0];
    const int colorMapType = h[1];
    const int imageType = h[2];
    const int mapLength = h[5] | h[6] << 8;
    const int mapEntryBits = h[7];
    const int width = h[12] | h[13] << 8;
    const int height = h[14] | h[15] << 8;
    const int pixelBits = h[16];
    const bool topFirst = (h[17] & 0x20) != 0;

    TPixelFormat format;
    int bytesPerPixel;
    switch (pixelBits) {
    case 8:
        format = TPixelFormat::pf8bit;
        bytesPerPixel = 1;
        break;
    case 15:
    case 16:
        format = TPixelFormat::pf15bit;
        bytesPerPixel = 2;
        break;
    case 24:
        format = TPixelFormat::pf24bit;
        bytesPerPixel = 3;
        break;
    case 32:
        format = TPixelFormat::pf32bit;
        bytesPerPixel = 4;
        break;
    default: throw EPictureError("Unsupported Targa pixel size (" + std::to_string(pixelBits) + ")");
    }

    in.take(idLength);

    std::vector<std::array<std::uint8_t, 4>> palette;
    // Entries are whole bytes; a 15-bit entry occupies a 16-bit word.
    const std::size_t entryBytes = std::size_t(mapEntryBits + 7) / 8;
    if (imageType == 3 || imageType == 11) {
        palette.resize(256);
        for (int i = 0; i < 256; ++i) palette[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
        // A colour map the greyscale image does not use still sits before the
        // pixels; step over it so the rows are read from where they are.
        if (colorMapType == 1) in.take(std::size_t(mapLength) * entryBytes);
    } else if (colorMapType == 1) {
        const auto map = in.take(std::size_t(mapLength) * entryBytes);
        const int used = std::min(mapLength, 256);
        palette.resize(used);
        for (int i = 0; i < used; ++i) {
            // Only the entry sizes of the cases below are dereferenced.
            const std::uint8_t* e = map.subspan(std::size_t(i) * entryBytes, entryBytes).data();
            switch (mapEntryBits) {
            case 24:
            case 32: palette[i] = {e[0], e[1], e[2], 0}; break;
            case 15:
            case 16: {
                int w = e[0] | e[1] << 8;
                palette[i] = {std::uint8_t((w & 31) * 8), std::uint8_t(((w >> 5) & 31) * 8),
                              std::uint8_t(((w >> 10) & 31) * 8), 0};
                break;
            }
            default: palette[i] = {0, 0, 0, 0}; break;
            }
        }
    }

    const bool raw = imageType == 1 || imageType == 2 || imageType == 3;
    const bool rle = imageType == 9 || imageType == 10 || imageType == 11;
    // Refuse sizes the data cannot hold before allocating for them: raw rows
    // must all be there, and a packet of 1 + pixel bytes yields at most 128
    // pixels. A picture of unknown type reads no pixels and stays blank; it
    // may not be larger than a run-length picture of its bytes could be, so a
    // bare header cannot ask for a gigabyte of nothing.
    if (raw)
        reserveRaster(width, height, in.remaining(), 1.0 / bytesPerPixel, StreamReadError);
    else
        reserveRaster(width, height, in.remaining(), 128.0 / (1 + bytesPerPixel), StreamReadError, 128);

    out.allocate(width, height, format);
    out.Palette = std::move(palette);

    const std::size_t rowBytes = out.rowBytes();
    if ((!raw && !rle) || width == 0) return; // unknown image type: the size is known, the pixels stay zero

    for (int r = 0; r < height; ++r) {
        std::uint8_t* dst = out.row(topFirst ? r : height - 1 - r);
        if (raw)
            std::memcpy(dst, in.take(rowBytes).data(), rowBytes);
        else
            readRleRow(in, dst, width, bytesPerPixel);
        if (progress) progress("Transfering...", int(std::int64_t(r + 1) * 100 / height));
    }
}

} // namespace velmora
