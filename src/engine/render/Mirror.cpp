// The mirror: what it reflects drawn again through the reflection in its
// plane, with the lights reflected too, then its own surface over that.
// Every change of GL state, of the buffer's view and of the traversal
// record is undone by a guard, so a failure inside the reflection leaves
// the same state behind as a reflection that completes.

#include "engine/CameraLights.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/SceneBuffer.h"
#include "engine/ScopeGuard.h"
#include "engine/gl/StateCache.h"
#include "engine/render/RenderPass.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace velmora {

namespace {

int maxLights()
{
    GLint n = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &n);
    return n;
}

// x -> x - 2((x - p).n) n, for row vectors.
TMatrix reflectionMatrix(const TVector& p, const TVector& n)
{
    TMatrix R;
    const double pn = vectorDotProduct(p, n);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) R.m[i][j] = float((i == j ? 1.0 : 0.0) - 2.0 * n[i] * n[j]);
        R.m[i][3] = 0;
        R.m[3][i] = float(2 * pn * n[i]);
    }
    R.m[3][3] = 1;
    return R;
}

// Depth inside the mirror's area set to almost the far value, so reflected
// geometry behind objects seen through the mirror is not lost.
void clearDepthUnderMirror(TGLMirror& mirror, TRenderContextInfo& rci, TGLSceneBuffer& buffer)
{
    const TMatrix& A = mirror.AbsoluteTransform();
    const float w = mirror.Width() / 2, h = mirror.Height() / 2;
    GLdouble model[16], proj[16];
    GLint vp[4] = {0, 0, rci.viewportWidth, rci.viewportHeight};
    for (int i = 0; i < 16; ++i) {
        model[i] = buffer.ViewMatrix().data()[i];
        proj[i] = buffer.ProjectionMatrix().data()[i];
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, rci.viewportWidth, 0, rci.viewportHeight, 1, -1);
    glMatrixMode(GL_MODELVIEW);
    TScopeExit popProjection([] {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    });
    glPushMatrix();
    TScopeExit popModelView([] { glPopMatrix(); });
    glLoadIdentity();
    glDepthFunc(GL_ALWAYS);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{w, h}, {-w, h}, {-w, -h}, {w, -h}};
    for (const auto& c : corners) {
        const TVector wp = vectorTransform(pointMake(c[0], c[1], 0), A);
        GLdouble x, y, z;
        gluProject(wp.X, wp.Y, wp.Z, model, proj, vp, &x, &y, &z);
        glVertex3d(x, y, 0.999);
    }
    glEnd();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_LESS);
}

// The mirror's area marked in the stencil and/or painted in the background
// colour before the reflection, as its options ask.
void maskPass(TGLMirror& mirror, TRenderContextInfo& rci, TGLSceneBuffer& buffer)
{
    const TMirrorOptions opts = mirror.MirrorOptions();
    if (opts.contains(moUseStencil)) {
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 1, 1);
        glStencilOp(GL_REPLACE, GL_ZERO, GL_REPLACE);
    }
    const bool opaque = opts.contains(moOpaque);
    if (opaque) {
        const TVector bg = ColorFromWindowColor(buffer.BackgroundColor(), 1);
        const TVector black{0, 0, 0, 1};
        rci.states->SetMaterialColors(cmFront, bg, black, black, black, 0);
        rci.states->Disable(stTexture2D);
    } else {
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    }
    TScopeExit colourWrites([opaque] {
        if (!opaque) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    });
    {
        glDepthMask(GL_FALSE);
        TScopeExit depthWrites([] { glDepthMask(GL_TRUE); });
        mirror.EmitGeometry(rci);
    }
    if (opts.contains(moUseStencil)) {
        glStencilFunc(GL_EQUAL, 1, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    }
    if (opts.contains(moClearZBuffer)) clearDepthUnderMirror(mirror, rci, buffer);
}

void drawReflection(TGLMirror& mirror, TRenderContextInfo& rci, TGLSceneBuffer& buffer, const TVector& p,
                    const TVector& n)
{
    TScopedValue nested(rci.nestedDraw, true);
    // Balanced by every material that completes; a failure in between must
    // not leave lighting or fog suspended for the rest of the pass.
    TScopedValue lightingSuspended(rci.lightingSuspendDepth, rci.lightingSuspendDepth);
    TScopedValue fogSuspended(rci.fogSuspendDepth, rci.fogSuspendDepth);
    TGLStateCache& states = *rci.states;
    glPushAttrib(GL_ENABLE_BIT);
    TScopeExit popAttrib([&states] {
        glPopAttrib();
        // The pop restored the enables behind the cache's back.
        states.Resync();
        states.ResetMaterialColors();
        states.ForgetTextures();
    });
    const TMirrorOptions opts = mirror.MirrorOptions();
    if (!opts.empty()) maskPass(mirror, rci, buffer);

    const TMatrix V = buffer.ViewMatrix();
    glPushMatrix();
    TScopeExit popMatrix([] { glPopMatrix(); });
    glLoadMatrixf(V.data());
    const TMatrix R = reflectionMatrix(p, n);
    glMultMatrixf(R.data());
    if (rci.scene) setupLights(*rci.scene, maxLights());
    TMatrix reflected;
    glGetFloatv(GL_MODELVIEW_MATRIX, &reflected.m[0][0]);
    glLoadMatrixf(V.data());
    buffer.PushViewMatrix(reflected);
    TScopeExit unreflect([&] {
        buffer.PopViewMatrix();
        glLoadMatrixf(V.data());
        if (rci.scene) setupLights(*rci.scene, maxLights());
    });
    glDisable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    if (opts.contains(moMirrorPlaneClip)) {
        const GLdouble eq[4] = {-n.X, -n.Y, -n.Z, vectorDotProduct(p, n)};
        glClipPlane(GL_CLIP_PLANE0, eq);
        glEnable(GL_CLIP_PLANE0);
    }
    // Distances for sorting inside the reflection are taken from the
    // mirrored eye.
    TVector eye = rci.eyePosition, dir = rci.eyeDirection;
    eye.W = 1;
    dir.W = 0;
    TScopedValue eyePosition(rci.eyePosition, vectorTransform(eye, R));
    TScopedValue eyeDirection(rci.eyeDirection, vectorTransform(dir, R));
    glMultMatrixf(R.data());
    if (mirror.OnBeginRenderingMirrors) mirror.OnBeginRenderingMirrors(&mirror);
    if (TGLBaseSceneObject* o = mirror.MirrorObject()) {
        if (o->Parent()) glMultMatrixf(o->Parent()->AbsoluteTransform().data());
        glMultMatrixf(o->LocalTransform().data());
        o->DrawNode(rci, true, o->Count() > 0);
    } else if (rci.scene) {
        rci.scene->Objects().DrawNode(rci, true, true);
    }
    if (mirror.OnEndRenderingMirrors) mirror.OnEndRenderingMirrors(&mirror);
}

} // namespace

void TGLMirror::DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren)
{
    if (Rendering) return;
    TScopedValue reentry(Rendering, true);
    const TVector p = WorldPosition();
    const TVector n = vectorNormalize(WorldDirection());
    TGLSceneBuffer* buffer = rci.buffer;
    // Seen from behind or edge-on, neither the reflection nor the surface
    // is drawn.
    if (buffer && vectorDotProduct(vectorSubtract(rci.eyePosition, p), n) > 0) {
        drawReflection(*this, rci, *buffer, p, n);
        if (drawSelf) {
            materialApply(Material(), rci);
            EmitGeometry(rci);
            materialUnapply(Material(), rci);
        }
    }
    if (drawChildren) RenderChildRange(0, Count() - 1, rci);
}

} // namespace velmora
