#pragma once
// Turning a picture into the RGBA pixels a texture uploads, and loading a
// texture's picture from a file. No GL here: the renderer uploads the result.

#include "pictures/Picture.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

class ETexture : public EIOError {
public:
    using EIOError::EIOError;
};

// The upload buffer: Width x Height pixels of R, G, B, A, bottom row first.
struct TGLBitmap32 {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Data;

    std::size_t DataSize() const { return Data.size(); }
    std::uint8_t* ScanLine(int y) { return Data.data() + std::size_t(y) * Width * 4; }
    const std::uint8_t* ScanLine(int y) const { return Data.data() + std::size_t(y) * Width * 4; }
};

// 24/32-bit bitmaps of a width divisible by 4 convert directly (32-bit keeps
// its alpha). Everything else is first drawn onto a 24-bit bitmap whose width
// is rounded up to a multiple of 4 (stretched to it when it had to grow), so
// it comes out opaque. An empty or missing graphic gives an empty buffer.
TGLBitmap32 ConvertToBitmap32(const TGraphic* graphic);
inline TGLBitmap32 ConvertToBitmap32(const TPicture& picture)
{
    return ConvertToBitmap32(picture.Graphic());
}

// A texture picture loaded by name: a missing file empties the picture and
// fails with "Could not open file: <name>".
void TextureImageLoadFromFile(TPicture& picture, const std::string& fileName);

} // namespace velmora
