#include "engine/gl/TextureUpload.h"

#include "engine/Material.h"
#include "engine/gl/StateCache.h"
#include "pictures/TextureImage.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cstring>
#include <string>
#include <vector>

namespace velmora {

namespace {

int nextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

bool hasExtension(const char* name)
{
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!ext) return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = ext; (p = std::strstr(p, name)) != nullptr; p += n)
        if ((p == ext || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    return false;
}

bool hasEdgeClamp()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return (version && std::strncmp(version, "1.0", 3) != 0 && std::strncmp(version, "1.1", 3) != 0) ||
        hasExtension("GL_EXT_texture_edge_clamp") || hasExtension("GL_SGIS_texture_edge_clamp");
}

GLenum internalFormat(TGLTextureFormat f)
{
    switch (f) {
    case tfRGB: return GL_RGB8;
    case tfRGB16: return GL_RGB5;
    case tfRGBA16: return GL_RGBA4;
    case tfAlpha: return GL_ALPHA8;
    case tfLuminance: return GL_LUMINANCE8;
    case tfLuminanceAlpha: return GL_LUMINANCE8_ALPHA8;
    case tfIntensity: return GL_INTENSITY8;
    case tfNormalMap: return GL_RGB8;
    // Float formats are not used here; they upload as 8-bit RGBA.
    default: return GL_RGBA8;
    }
}

bool isMipmapping(TGLMinFilter f)
{
    return f != miNearest && f != miLinear;
}

void setParameters(const TGLTexture& t)
{
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    const GLint clamp = hasEdgeClamp() ? GL_CLAMP_TO_EDGE : GL_CLAMP;
    GLint s = GL_REPEAT, tw = GL_REPEAT;
    switch (t.TextureWrap()) {
    case twBoth: break;
    case twNone: s = tw = clamp; break;
    case twVertical: s = clamp; break;
    case twHorizontal: tw = clamp; break;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, tw);
    static constexpr GLint minFilters[] = {GL_NEAREST,
                                           GL_LINEAR,
                                           GL_NEAREST_MIPMAP_NEAREST,
                                           GL_LINEAR_MIPMAP_NEAREST,
                                           GL_NEAREST_MIPMAP_LINEAR,
                                           GL_LINEAR_MIPMAP_LINEAR};
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilters[t.MinFilter()]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, t.MagFilter() == maNearest ? GL_NEAREST : GL_LINEAR);
    if (hasExtension("GL_EXT_texture_filter_anisotropic"))
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, t.FilteringQuality() == tfAnisotropic ? 2 : 1);
}

void upload(TGLTexture& t)
{
    TPicture* picture = t.PictureImage().Picture();
    if (!picture) return;
    TGLBitmap32 bitmap = convertToBitmap32(*picture);
    if (bitmap.Width == 0 || bitmap.Height == 0) return;

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const TTextureSize size = textureSizeFor(bitmap.Width, bitmap.Height, maxSize > 0 ? maxSize : 1024);
    std::vector<std::uint8_t> scaled;
    const std::uint8_t* pixels = bitmap.Data.data();
    if (size.Width != bitmap.Width || size.Height != bitmap.Height) {
        scaled.resize(std::size_t(size.Width) * size.Height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        if (gluScaleImage(GL_RGBA, bitmap.Width, bitmap.Height, GL_UNSIGNED_BYTE, bitmap.Data.data(), size.Width,
                          size.Height, GL_UNSIGNED_BYTE, scaled.data()) != 0)
            return; // out of memory in GLU: the face stays untextured
        pixels = scaled.data();
    }
    t.RequiredMemorySize = std::int64_t(size.Width) * size.Height * 4;

    checkOpenGLError();
    const GLenum format = internalFormat(t.TextureFormat());
    if (!isMipmapping(t.MinFilter())) {
        glTexImage2D(GL_TEXTURE_2D, 0, format, size.Width, size.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    } else if (hasExtension("GL_SGIS_generate_mipmap")) {
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, format, size.Width, size.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, format, size.Width, size.Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }
    clearGLError();
}

} // namespace

TTextureSize textureSizeFor(int bitmapWidth, int bitmapHeight, int maxSize)
{
    TTextureSize s{nextPowerOfTwo(bitmapWidth), nextPowerOfTwo(bitmapHeight)};
    if (s.Width > maxSize) s.Width = maxSize;
    if (s.Height > maxSize) s.Height = maxSize;
    return s;
}

uint32_t textureHandle(TGLTexture& texture)
{
    if (texture.Handle != 0 && texture.Changes().empty()) return texture.Handle;
    if (texture.Handle == 0) texture.Handle.Create();
    glBindTexture(GL_TEXTURE_2D, texture.Handle);
    setParameters(texture);
    texture.ClearChanges();
    upload(texture);
    return texture.Handle;
}

void destroyTextureHandle(TGLTexture& texture)
{
    texture.Handle.Delete();
}

} // namespace velmora
