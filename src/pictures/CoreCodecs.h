#pragma once
// The readers and writers behind TBitmap, TTargaGraphic and TJPEGImage.

#include "pictures/DecodedImage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace velmora {

// BMP files: core and info headers of every version, 1/4/8/16/24/32 bits,
// RLE4/RLE8 and bit fields. Fails with "Bitmap image is not valid".
void decodeBmp(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// A complete BMP file with a 40-byte info header, rows bottom-up padded to 4
// bytes; 8-bit pictures carry their colour table, 32-bit ones their alpha.
std::vector<std::uint8_t> encodeBmp(const TDecodedImage& image);

// Reading progress: the stage's text and the share of the rows done, 0..100.
using TReadProgress = std::function<void(const char* stage, int percentDone)>;

// Truevision TGA, image types 1, 2, 3, 9, 10, 11. Short data fails with
// "Stream read error". Progress is told at the start and after every row.
void decodeTga(const std::uint8_t* data, std::size_t size, TDecodedImage& out, const TReadProgress& progress = {});

struct TJpegHeader {
    int Width = 0;
    int Height = 0;
    bool Grayscale = false;
    bool Progressive = false;
};
// libjpeg failures become EPictureError("JPEG error #<message number>").
TJpegHeader readJpegHeader(const std::uint8_t* data, std::size_t size);
// Full-size, best-quality decode into 24-bit B,G,R rows.
void decodeJpeg(const std::uint8_t* data, std::size_t size, TDecodedImage& out);

} // namespace velmora
