#pragma once
// Turning a texture's picture into a GL texture object.

#include <cstdint>

namespace velmora {

class TGLTexture;

struct TTextureSize {
    int Width = 0;
    int Height = 0;
};

// Smallest powers of two not below the bitmap's size, each limited to
// maxSize (itself a power of two on every GL implementation).
TTextureSize textureSizeFor(int bitmapWidth, int bitmapHeight, int maxSize);

// The GL name of the texture, created, configured and uploaded when it has
// none yet or its image or parameters changed. Leaves the texture bound.
uint32_t textureHandle(TGLTexture& texture);

// Deletes the GL texture (the current context must own it) and forgets the
// name, so the next use uploads again.
void destroyTextureHandle(TGLTexture& texture);

} // namespace velmora
