#include "engine/gl/StateCache.h"

#include "engine/GLErrors.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <string>

namespace velmora {

uint32_t TGLStateCache::GLEnum(TGLState s)
{
    static constexpr GLenum table[kStateCount] = {
        GL_ALPHA_TEST,       GL_AUTO_NORMAL,      GL_BLEND,        GL_COLOR_MATERIAL, GL_CULL_FACE,
        GL_DEPTH_TEST,       GL_DITHER,           GL_FOG,          GL_LIGHTING,       GL_LINE_SMOOTH,
        GL_LINE_STIPPLE,     GL_INDEX_LOGIC_OP,   GL_NORMALIZE,    GL_POINT_SMOOTH,   GL_POLYGON_SMOOTH,
        GL_POLYGON_STIPPLE,  GL_SCISSOR_TEST,     GL_STENCIL_TEST, GL_TEXTURE_1D,     GL_TEXTURE_2D,
        GL_TEXTURE_CUBE_MAP, GL_TEXTURE_RECTANGLE};
    return table[s];
}

void TGLStateCache::Enable(TGLState s)
{
    if (Enabled(s)) return;
    states_ |= bit(s);
    glEnable(GLEnum(s));
}

void TGLStateCache::Disable(TGLState s)
{
    if (!Enabled(s)) return;
    states_ &= ~bit(s);
    glDisable(GLEnum(s));
}

void TGLStateCache::ForceState(TGLState s, bool on)
{
    if (on) {
        states_ |= bit(s);
        glEnable(GLEnum(s));
    } else {
        states_ &= ~bit(s);
        glDisable(GLEnum(s));
    }
}

namespace {
bool sameRGB(const TVector& a, const TVector& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}
GLenum faceEnum(TGLCullFaceSide side)
{
    return side == cmFront ? GL_FRONT : GL_BACK;
}
} // namespace

void TGLStateCache::SetMaterialColors(TGLCullFaceSide side, const TVector& emission, const TVector& ambient,
                                      const TVector& diffuse, const TVector& specular, int shininess)
{
    Side& c = sides_[side];
    const GLenum face = faceEnum(side);
    if (!c.known || c.shininess != shininess) {
        c.shininess = shininess;
        glMateriali(face, GL_SHININESS, shininess);
    }
    if (!c.known || !sameRGB(c.emission, emission)) {
        c.emission = emission;
        glMaterialfv(face, GL_EMISSION, &emission.X);
    }
    if (!c.known || !sameRGB(c.ambient, ambient)) {
        c.ambient = ambient;
        glMaterialfv(face, GL_AMBIENT, &ambient.X);
    }
    if (!c.known || !(c.diffuse == diffuse)) {
        c.diffuse = diffuse;
        glMaterialfv(face, GL_DIFFUSE, &diffuse.X);
    }
    if (!c.known || !sameRGB(c.specular, specular)) {
        c.specular = specular;
        glMaterialfv(face, GL_SPECULAR, &specular.X);
    }
    c.known = true;
}

void TGLStateCache::SetPolygonMode(TGLCullFaceSide side, uint32_t mode)
{
    if (sides_[side].polygonMode == mode) return;
    sides_[side].polygonMode = mode;
    glPolygonMode(faceEnum(side), mode);
}

void TGLStateCache::SetBoundTexture(int unit, uint32_t handle)
{
    if (boundTextures_[unit] == handle) return;
    boundTextures_[unit] = handle;
    // Only unit 0 is used by this program; other units would need the
    // multitexture entry points.
    glBindTexture(GL_TEXTURE_2D, handle);
}

void TGLStateCache::SetFrontFaceCCW(bool ccw)
{
    if (frontFace_ == int(ccw)) return;
    frontFace_ = int(ccw);
    glFrontFace(ccw ? GL_CCW : GL_CW);
}

void TGLStateCache::ResetMaterialColors()
{
    const TVector ambient{0.2f, 0.2f, 0.2f, 1}, diffuse{0.8f, 0.8f, 0.8f, 1}, black{0, 0, 0, 1};
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        glMaterialfv(face, GL_AMBIENT, &ambient.X);
        glMaterialfv(face, GL_DIFFUSE, &diffuse.X);
        glMaterialfv(face, GL_SPECULAR, &black.X);
        glMaterialfv(face, GL_EMISSION, &black.X);
        glMateriali(face, GL_SHININESS, 0);
    }
    for (Side& s : sides_) s.known = false;
}

bool TGLStateCache::Side::operator==(const Side& o) const
{
    if (known != o.known || polygonMode != o.polygonMode) return false;
    return !known ||
        (emission == o.emission && ambient == o.ambient && diffuse == o.diffuse && specular == o.specular &&
         shininess == o.shininess);
}

bool TGLStateCache::operator==(const TGLStateCache& o) const
{
    return states_ == o.states_ && sides_ == o.sides_ && boundTextures_ == o.boundTextures_ &&
        frontFace_ == o.frontFace_;
}

void TGLStateCache::Reset()
{
    ResetMaterialColors();
    for (Side& s : sides_) s.polygonMode = kUnknown;
    ForgetTextures();
    frontFace_ = -1;
    SetFrontFaceCCW(true);
}

void TGLStateCache::Resync()
{
    states_ = 0;
    for (int i = 0; i < kStateCount; ++i)
        if (glIsEnabled(GLEnum(TGLState(i)))) states_ |= bit(TGLState(i));
    clearGLError(); // states this GL does not know report an error
}

void checkOpenGLError()
{
    GLenum first = glGetError();
    if (first == GL_NO_ERROR) return;
    for (int i = 0; i < 6 && glGetError() != GL_NO_ERROR; ++i) {}
    const char* text = reinterpret_cast<const char*>(gluErrorString(first));
    throw EOpenGLError(text ? text : ("OpenGL error " + std::to_string(first)));
}

void clearGLError()
{
    for (int i = 0; i < 7 && glGetError() != GL_NO_ERROR; ++i) {}
}

} // namespace velmora
