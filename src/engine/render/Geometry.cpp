// The geometry the box scene's objects issue in their own object space:
// planes (one quad or tiled strips), points and the mirror's surface.

#include "engine/Objects.h"
#include "engine/ScopeGuard.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace velmora {

namespace {

// Depth writes off for the scope when asked.
auto depthWritesOffUnless(bool writeDepth)
{
    if (!writeDepth) glDepthMask(GL_FALSE);
    return TScopeExit([writeDepth] {
        if (!writeDepth) glDepthMask(GL_TRUE);
    });
}

} // namespace

void TGLPlane::EmitGeometry(TRenderContextInfo&)
{
    const float hw = Width() / 2, hh = Height() / 2;
    float s0, t0, s1, t1;
    if (Style().contains(psTileTexture)) {
        s0 = XOffset();
        t0 = YOffset();
        s1 = float(double(XTiles()) * XScope() + XOffset());
        t1 = float(double(YTiles()) * YScope() + YOffset());
    } else {
        s0 = t0 = 0;
        s1 = XScope();
        t1 = YScope();
    }
    const auto depthWrites = depthWritesOffUnless(!NoZWrite());
    glNormal3f(0, 0, 1);
    if (Style().contains(psSingleQuad)) {
        glBegin(GL_QUADS);
        glTexCoord2f(s1, t1);
        glVertex2f(hw, hh);
        glTexCoord2f(s0, t1);
        glVertex2f(-hw, hh);
        glTexCoord2f(s0, t0);
        glVertex2f(-hw, -hh);
        glTexCoord2f(s1, t0);
        glVertex2f(hw, -hh);
        glEnd();
    } else if (XTiles() > 0 && YTiles() > 0) {
        const double xt = XTiles(), yt = YTiles();
        for (uint32_t j = 0; j < YTiles(); ++j) {
            const double yLow = -hh + j * Height() / yt, yHigh = -hh + (j + 1) * Height() / yt;
            // t runs linearly from t0 at the bottom edge to t1 at the top.
            const double tLow = t0 + (t1 - t0) * j / yt, tHigh = t0 + (t1 - t0) * (j + 1) / yt;
            glBegin(GL_TRIANGLE_STRIP);
            for (uint32_t i = 0; i <= XTiles(); ++i) {
                const double x = -hw + i * Width() / xt;
                const double s = s0 + i * (s1 - s0) / xt;
                glTexCoord2d(s, tHigh);
                glVertex2d(x, yHigh);
                glTexCoord2d(s, tLow);
                glVertex2d(x, yLow);
            }
            glEnd();
        }
    }
}

void TGLPoints::EmitGeometry(TRenderContextInfo&)
{
    std::size_t count = Positions().size();
    const bool perPointColors = Colors().size() > 1;
    if (Colors().empty())
        glColor4f(1, 1, 1, 1);
    else if (!perPointColors)
        glColor4fv(&Colors()[0].X);
    else if (count > 0)
        count = std::min(count, Colors().size());
    glPushAttrib(GL_ENABLE_BIT);
    // The styles below change the alpha function, which the attributes
    // pushed do not hold: back to the one every pass leaves behind.
    TScopeExit popAttrib([] {
        glPopAttrib();
        glAlphaFunc(GL_GREATER, 0);
    });
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    const auto depthWrites = depthWritesOffUnless(!NoZWrite());
    glPointSize(Size());
    switch (Style()) {
    case psSquare: glDisable(GL_BLEND); break;
    case psRound:
        glEnable(GL_POINT_SMOOTH);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.5f);
        glDisable(GL_BLEND);
        break;
    case psSmooth:
        glEnable(GL_POINT_SMOOTH);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_NOTEQUAL, 0);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case psSmoothAdditive:
        glEnable(GL_POINT_SMOOTH);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_NOTEQUAL, 0);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case psSquareAdditive:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    }
    glBegin(GL_POINTS);
    if (Positions().empty()) {
        glVertex3f(0, 0, 0);
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            if (perPointColors) glColor4fv(&Colors()[i].X);
            glVertex3fv(Positions()[i].data());
        }
    }
    glEnd();
}

void TGLMirror::EmitGeometry(TRenderContextInfo&)
{
    if (Shape() == msDisk) {
        GLUquadric* q = gluNewQuadric();
        if (!q) return;
        TScopeExit deleteQuadric([q] { gluDeleteQuadric(q); });
        gluQuadricNormals(q, GLU_SMOOTH);
        gluDisk(q, 0, Radius(), Slices(), 1);
        return;
    }
    const float w = Width() / 2, h = Height() / 2;
    glNormal3f(0, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(w, h, 0);
    glVertex3f(-w, h, 0);
    glVertex3f(-w, -h, 0);
    glVertex3f(w, -h, 0);
    glEnd();
}

} // namespace velmora
