// Drawing of the scene graph with the fixed-function pipeline: materials and
// textures, planes, points, axes, the traversal with its sorting, camera and
// lights, the mirror and the frames of a scene buffer.

#include "engine/render/RenderPass.h"

#include "engine/CameraLights.h"
#include "engine/GLErrors.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/SceneBuffer.h"
#include "engine/gl/StateCache.h"
#include "engine/gl/TextureUpload.h"
#include "engine/render/CameraMath.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace velmora {

int TGLSceneBuffer::ScreenDPI = 96;

// ---------------------------------------------------------------- materials

namespace {

GLenum polygonModeEnum(TPolygonMode m)
{
    return m == pmLines ? GL_LINE : m == pmPoints ? GL_POINT : GL_FILL;
}

void sendFace(TGLStateCache& states, TGLCullFaceSide side, const TGLFaceProperties& p)
{
    states.SetMaterialColors(side, p.Emission().Color(), p.Ambient().Color(), p.Diffuse().Color(), p.Specular().Color(),
                             p.Shininess());
}

void textureApply(TGLTexture& t, TRenderContextInfo& rci)
{
    TGLStateCache& states = *rci.states;
    if (t.Disabled()) {
        states.Disable(stTexture2D);
        states.Disable(stTextureRect);
        return;
    }
    states.Enable(stTexture2D);
    const uint32_t handle = TextureHandle(t);
    // TextureHandle may have bound the name behind the cache's back.
    states.ForgetTextures();
    states.SetBoundTexture(0, handle);
    static constexpr GLint modes[] = {GL_DECAL, GL_MODULATE, GL_BLEND, GL_REPLACE};
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[t.TextureMode()]);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, t.EnvColor().AsArray());
}

} // namespace

void MaterialApply(TGLMaterial& m, TRenderContextInfo& rci)
{
    TGLStateCache& states = *rci.states;
    if (m.MaterialOptions().contains(moNoLighting) && states.Enabled(stLighting)) {
        states.Disable(stLighting);
        ++rci.lightingSuspendDepth;
    }
    const TGLFaceProperties& front = m.FrontProperties();
    if (states.Enabled(stLighting))
        sendFace(states, cmFront, front);
    else
        glColor4fv(front.Diffuse().AsArray());
    states.SetPolygonMode(cmFront, polygonModeEnum(front.PolygonMode()));

    const TFaceCulling fc = m.FaceCulling();
    if (states.Enabled(stCullFace)) {
        if ((fc == fcBufferDefault && !rci.bufferCulls) || fc == fcNoCull) {
            states.Disable(stCullFace);
            sendFace(states, cmBack, m.BackProperties());
        }
    } else {
        if (fc == fcCull || (fc == fcBufferDefault && rci.bufferCulls))
            states.Enable(stCullFace);
        else
            sendFace(states, cmBack, m.BackProperties());
    }

    if (!rci.noBlending) {
        switch (m.BlendingMode()) {
        case bmOpaque:
            states.Disable(stBlend);
            states.Disable(stAlphaTest);
            break;
        case bmTransparency:
            states.Enable(stBlend);
            states.Enable(stAlphaTest);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case bmAdditive:
            states.Enable(stBlend);
            states.Enable(stAlphaTest);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            break;
        case bmAlphaTest50:
            states.Disable(stBlend);
            states.Enable(stAlphaTest);
            glAlphaFunc(GL_GEQUAL, 0.5f);
            break;
        case bmAlphaTest100:
            states.Disable(stBlend);
            states.Enable(stAlphaTest);
            glAlphaFunc(GL_GEQUAL, 1.0f);
            break;
        case bmModulate:
            states.Enable(stBlend);
            states.Enable(stAlphaTest);
            glBlendFunc(GL_DST_COLOR, GL_ZERO);
            break;
        }
    }
    if (m.MaterialOptions().contains(moIgnoreFog) && states.Enabled(stFog)) {
        states.Disable(stFog);
        ++rci.fogSuspendDepth;
    }
    textureApply(m.Texture(), rci);
}

bool MaterialUnapply(TGLMaterial& m, TRenderContextInfo& rci)
{
    TGLStateCache& states = *rci.states;
    if (m.BlendingMode() == bmAlphaTest50 || m.BlendingMode() == bmAlphaTest100) glAlphaFunc(GL_GREATER, 0);
    if (m.MaterialOptions().contains(moNoLighting) && rci.lightingSuspendDepth > 0) {
        if (--rci.lightingSuspendDepth == 0) states.Enable(stLighting);
    }
    if (m.MaterialOptions().contains(moIgnoreFog) && rci.fogSuspendDepth > 0) {
        if (--rci.fogSuspendDepth == 0) states.Enable(stFog);
    }
    if (!m.Texture().Disabled()) states.Disable(stTexture2D);
    return false;
}

// ---------------------------------------------------------------- traversal

void TGLBaseSceneObject::DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren)
{
    if (drawSelf) EmitGeometry(rci);
    if (drawChildren) RenderChildRange(0, Count() - 1, rci);
}

void TGLBaseSceneObject::EmitGeometry(TRenderContextInfo&) {}
void TGLBaseSceneObject::DestroyHandles() {}

void TGLSceneObject::DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren)
{
    if (drawSelf) {
        if (rci.noMaterials) {
            EmitGeometry(rci);
        } else {
            MaterialApply(Material(), rci);
            do EmitGeometry(rci);
            while (MaterialUnapply(Material(), rci));
        }
    }
    if (drawChildren) RenderChildRange(0, Count() - 1, rci);
}

namespace {

struct SortedChild {
    float key;
    TGLBaseSceneObject* object;
};

// Keys are compared by their bit patterns as signed integers, which orders
// positive floats correctly and is what the stored scenes were tuned with.
int32_t keyBits(float k)
{
    int32_t i;
    std::memcpy(&i, &k, sizeof i);
    return i;
}

float distanceKey(TGLBaseSceneObject& o, const TRenderContextInfo& rci, bool nearestFirst)
{
    const TVector c = o.SortCenter();
    const double dx = c.X - rci.eyePosition.X, dy = c.Y - rci.eyePosition.Y, dz = c.Z - rci.eyePosition.Z;
    const double d2 = dx * dx + dy * dy + dz * dz;
    return nearestFirst ? float(-1 - d2) : float(1 + d2);
}

void renderSorted(std::vector<SortedChild>& list, TRenderContextInfo& rci)
{
    std::sort(list.begin(), list.end(),
              [](const SortedChild& a, const SortedChild& b) { return keyBits(a.key) < keyBits(b.key); });
    for (auto it = list.rbegin(); it != list.rend(); ++it) RenderNode(*it->object, rci);
}

void drawAxes(TRenderContextInfo& rci)
{
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_STIPPLE);
    if (!rci.noBlending) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glLineWidth(1);
    glLineStipple(1, 0xCCCC);
    float L = 100;
    if (rci.buffer && rci.buffer->Camera()) L = rci.buffer->Camera()->DepthOfView();
    glBegin(GL_LINES);
    const float axes[6][6] = {{-L, 0, 0, 0.5f, 0, 0}, {L, 0, 0, 1, 0, 0},     {0, -L, 0, 0, 0.5f, 0},
                              {0, L, 0, 0, 1, 0},     {0, 0, -L, 0, 0, 0.5f}, {0, 0, L, 0, 0, 1}};
    for (const auto& a : axes) {
        glColor3f(a[3], a[4], a[5]);
        glVertex3f(0, 0, 0);
        glVertex3f(a[0], a[1], a[2]);
    }
    glEnd();
    glPopAttrib();
    // The pop restored GL behind the cache's back; the colour is not cached.
}

} // namespace

void TGLBaseSceneObject::RenderChildRange(int first, int last, TRenderContextInfo& rci)
{
    if (children_.empty() || first > last) return;
    const TGLVisibilityCulling savedCulling = rci.culling;
    const TGLObjectsSorting savedSorting = rci.sorting;
    if (VisibilityCulling() != vcInherited) rci.culling = VisibilityCulling();
    if (ObjectsSorting() != osInherited) rci.sorting = ObjectsSorting();
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first == last) {
        if (children_[first]->Visible()) RenderNode(*children_[first], rci);
    } else {
        std::vector<SortedChild> sorted;
        for (int i = first; i <= last; ++i) {
            TGLBaseSceneObject& c = *children_[i];
            if (!c.Visible()) continue;
            switch (rci.sorting) {
            case osRenderBlendedLast:
                if (c.IsBlended())
                    sorted.push_back({distanceKey(c, rci, false), &c});
                else
                    RenderNode(c, rci);
                break;
            case osRenderFarthestFirst: sorted.push_back({distanceKey(c, rci, false), &c}); break;
            case osRenderNearestFirst: sorted.push_back({distanceKey(c, rci, true), &c}); break;
            default: RenderNode(c, rci); break;
            }
        }
        if (!sorted.empty()) renderSorted(sorted, rci);
    }
    rci.culling = savedCulling;
    rci.sorting = savedSorting;
}

void RenderNode(TGLBaseSceneObject& o, TRenderContextInfo& rci)
{
    // Culling other than "none" is not used by this program's scenes; every
    // object is drawn with its children.
    switch (rci.culling) {
    case vcInherited:
    case vcNone:
    case vcObjectBased:
    case vcHierarchical: break;
    default: throw EGLAssertion("Unknown visibility culling option");
    }
    const bool drawChildren = o.Count() > 0;
    glPushMatrix();
    o.RebuildTransformIfStale();
    glMultMatrixf(o.LocalTransform().data());
    if (o.ShowAxes()) drawAxes(rci);
    o.DrawNode(rci, true, drawChildren);
    glPopMatrix();
}

// ---------------------------------------------------------------- geometry

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
    if (NoZWrite()) glDepthMask(GL_FALSE);
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
    if (NoZWrite()) glDepthMask(GL_TRUE);
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
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    if (NoZWrite()) glDepthMask(GL_FALSE);
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
    if (NoZWrite()) glDepthMask(GL_TRUE);
    glPopAttrib();
    glAlphaFunc(GL_GREATER, 0);
}

void TGLMirror::EmitGeometry(TRenderContextInfo&)
{
    if (Shape() == msDisk) {
        GLUquadric* q = gluNewQuadric();
        if (!q) return;
        gluQuadricNormals(q, GLU_SMOOTH);
        gluDisk(q, 0, Radius(), Slices(), 1);
        gluDeleteQuadric(q);
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

// ---------------------------------------------------------------- camera and lights

void ApplyCameraProjection(TGLCamera& camera, const TRectangle& viewport, int w, int h, int dpi)
{
    const TFrustum f = CameraFrustum(camera, viewport, w, h, dpi);
    if (!f.Valid) return;
    camera.ViewPortRadius = f.ViewPortRadius;
    camera.NearPlane = f.Near;
    switch (camera.CameraStyle()) {
    case csOrtho2D: gluOrtho2D(0, w, 0, h); break;
    case csCustom:
        if (camera.OnCustomPerspective) {
            float r = f.ViewPortRadius;
            camera.OnCustomPerspective(viewport, w, h, dpi, r);
            camera.ViewPortRadius = r;
        }
        break;
    case csOrthogonal: glOrtho(f.Left, f.Right, f.Bottom, f.Top, f.Near, f.Far); break;
    default: glFrustum(f.Left, f.Right, f.Bottom, f.Top, f.Near, f.Far); break;
    }
}

void ApplyCameraView(TGLCamera& camera)
{
    const TVector eye = camera.WorldPosition();
    if (TGLBaseSceneObject* target = camera.TargetObject()) {
        const TVector centre = target->WorldPosition();
        camera.LastDirection = VectorNormalize(VectorSubtract(centre, eye));
        const TVector& up = camera.Up().AsVector();
        gluLookAt(eye.X, eye.Y, eye.Z, centre.X, centre.Y, centre.Z, up.X, up.Y, up.Z);
    } else {
        TMatrix m;
        if (camera.Parent()) m = camera.Parent()->AbsoluteTransform();
        const TVector d = VectorTransform(camera.Direction().AsVector(), m);
        const TVector u = VectorTransform(camera.Up().AsVector(), m);
        camera.LastDirection = VectorNormalize(d);
        gluLookAt(eye.X, eye.Y, eye.Z, eye.X + d.X, eye.Y + d.Y, eye.Z + d.Z, u.X, u.Y, u.Z);
    }
}

void SetupLights(TGLScene& scene, int n)
{
    const int k = std::min(kMaxLights, n);
    GLfloat saved[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, saved);
    for (int i = 0; i < k; ++i) {
        const GLenum id = GL_LIGHT0 + i;
        TGLLightSource* light = scene.LightSlots()[i];
        if (!light || !light->Shining()) {
            glDisable(id);
            continue;
        }
        glEnable(id);
        glLoadMatrixf(saved);
        light->RebuildTransformIfStale();
        if (light->LightStyle() == lsParallel) {
            glMultMatrixf(light->AbsoluteTransform().data());
            TVector d = light->SpotDirection().AsVector();
            d.W = 0;
            glLightfv(id, GL_POSITION, &d.X);
        } else {
            if (light->Parent()) glMultMatrixf(light->Parent()->AbsoluteTransform().data());
            TVector p = light->Position().AsVector();
            p.W = 1;
            glLightfv(id, GL_POSITION, &p.X);
        }
        glLightfv(id, GL_AMBIENT, light->Ambient().AsArray());
        glLightfv(id, GL_DIFFUSE, light->Diffuse().AsArray());
        glLightfv(id, GL_SPECULAR, light->Specular().AsArray());
        if (light->LightStyle() == lsSpot) {
            if (light->SpotCutOff() != 180) {
                glLightfv(id, GL_SPOT_DIRECTION, &light->SpotDirection().AsVector().X);
                glLightf(id, GL_SPOT_EXPONENT, light->SpotExponent());
            }
            glLightf(id, GL_SPOT_CUTOFF, light->SpotCutOff());
        } else {
            glLightf(id, GL_SPOT_CUTOFF, 180);
        }
        glLightf(id, GL_CONSTANT_ATTENUATION, light->ConstAttenuation());
        glLightf(id, GL_LINEAR_ATTENUATION, light->LinearAttenuation());
        glLightf(id, GL_QUADRATIC_ATTENUATION, light->QuadraticAttenuation());
    }
    glLoadMatrixf(saved);
    for (int i = k; i < n; ++i) glDisable(GL_LIGHT0 + i);
}

namespace {
int maxLights()
{
    GLint n = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &n);
    return n;
}
} // namespace

// ---------------------------------------------------------------- mirror

void TGLMirror::DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren)
{
    if (Rendering) return;
    Rendering = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{Rendering};

    const bool oldNested = rci.nestedDraw;
    rci.nestedDraw = true;
    const TVector p = WorldPosition();
    const TVector n = VectorNormalize(WorldDirection());
    TGLSceneBuffer* buffer = rci.buffer;
    if (buffer && VectorDotProduct(VectorSubtract(rci.eyePosition, p), n) > 0) {
        TGLStateCache& states = *rci.states;
        glPushAttrib(GL_ENABLE_BIT);
        const TMirrorOptions opts = MirrorOptions();
        if (!opts.empty()) {
            if (opts.contains(moUseStencil)) {
                glClearStencil(0);
                glClear(GL_STENCIL_BUFFER_BIT);
                glEnable(GL_STENCIL_TEST);
                glStencilFunc(GL_ALWAYS, 1, 1);
                glStencilOp(GL_REPLACE, GL_ZERO, GL_REPLACE);
            }
            if (opts.contains(moOpaque)) {
                const TVector bg = ColorFromWindowColor(buffer->BackgroundColor(), 1);
                const TVector black{0, 0, 0, 1};
                states.SetMaterialColors(cmFront, bg, black, black, black, 0);
                states.Disable(stTexture2D);
            } else {
                glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            }
            glDepthMask(GL_FALSE);
            EmitGeometry(rci);
            glDepthMask(GL_TRUE);
            if (opts.contains(moUseStencil)) {
                glStencilFunc(GL_EQUAL, 1, 1);
                glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
            }
            if (opts.contains(moClearZBuffer)) {
                const TMatrix& A = AbsoluteTransform();
                const float w = Width() / 2, h = Height() / 2;
                GLdouble model[16], proj[16];
                GLint vp[4] = {0, 0, rci.viewportWidth, rci.viewportHeight};
                for (int i = 0; i < 16; ++i) {
                    model[i] = buffer->ViewMatrix().data()[i];
                    proj[i] = buffer->ProjectionMatrix().data()[i];
                }
                glMatrixMode(GL_PROJECTION);
                glPushMatrix();
                glLoadIdentity();
                glOrtho(0, rci.viewportWidth, 0, rci.viewportHeight, 1, -1);
                glMatrixMode(GL_MODELVIEW);
                glPushMatrix();
                glLoadIdentity();
                glDepthFunc(GL_ALWAYS);
                glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
                glBegin(GL_QUADS);
                const float corners[4][2] = {{w, h}, {-w, h}, {-w, -h}, {w, -h}};
                for (const auto& c : corners) {
                    const TVector wp = VectorTransform(PointMake(c[0], c[1], 0), A);
                    GLdouble x, y, z;
                    gluProject(wp.X, wp.Y, wp.Z, model, proj, vp, &x, &y, &z);
                    glVertex3d(x, y, 0.999);
                }
                glEnd();
                glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
                glDepthFunc(GL_LESS);
                glPopMatrix();
                glMatrixMode(GL_PROJECTION);
                glPopMatrix();
                glMatrixMode(GL_MODELVIEW);
            }
            if (!opts.contains(moOpaque)) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        }

        const TMatrix V = buffer->ViewMatrix();
        glPushMatrix();
        glLoadMatrixf(V.data());
        // x -> x - 2((x - p).n) n, for row vectors.
        TMatrix R;
        const double pn = VectorDotProduct(p, n);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) R.m[i][j] = float((i == j ? 1.0 : 0.0) - 2.0 * n[i] * n[j]);
            R.m[i][3] = 0;
            R.m[3][i] = float(2 * pn * n[i]);
        }
        R.m[3][3] = 1;
        glMultMatrixf(R.data());
        if (rci.scene) SetupLights(*rci.scene, maxLights());
        TMatrix reflected;
        glGetFloatv(GL_MODELVIEW_MATRIX, &reflected.m[0][0]);
        glLoadMatrixf(V.data());
        buffer->PushViewMatrix(reflected);
        glDisable(GL_CULL_FACE);
        glEnable(GL_NORMALIZE);
        if (opts.contains(moMirrorPlaneClip)) {
            const GLdouble eq[4] = {-n.X, -n.Y, -n.Z, pn};
            glClipPlane(GL_CLIP_PLANE0, eq);
            glEnable(GL_CLIP_PLANE0);
        }
        const TVector savedEye = rci.eyePosition, savedDir = rci.eyeDirection;
        TVector eye = rci.eyePosition;
        eye.W = 1;
        rci.eyePosition = VectorTransform(eye, R);
        TVector dir = rci.eyeDirection;
        dir.W = 0;
        rci.eyeDirection = VectorTransform(dir, R);
        glMultMatrixf(R.data());
        if (OnBeginRenderingMirrors) OnBeginRenderingMirrors(this);
        try {
            if (TGLBaseSceneObject* o = MirrorObject()) {
                if (o->Parent()) glMultMatrixf(o->Parent()->AbsoluteTransform().data());
                glMultMatrixf(o->LocalTransform().data());
                o->DrawNode(rci, true, o->Count() > 0);
            } else if (rci.scene) {
                rci.scene->Objects().DrawNode(rci, true, true);
            }
        } catch (...) {
            rci.eyePosition = savedEye;
            rci.eyeDirection = savedDir;
            buffer->PopViewMatrix();
            glPopMatrix();
            glPopAttrib();
            rci.nestedDraw = oldNested;
            throw;
        }
        if (OnEndRenderingMirrors) OnEndRenderingMirrors(this);
        rci.eyePosition = savedEye;
        rci.eyeDirection = savedDir;
        buffer->PopViewMatrix();
        glLoadMatrixf(V.data());
        if (rci.scene) SetupLights(*rci.scene, maxLights());
        glPopMatrix();
        glPopAttrib();
        // The attribute pop restored the enables behind the cache's back.
        states.Resync();
        states.ResetMaterialColors();
        states.ForgetTextures();
        rci.nestedDraw = oldNested;

        if (drawSelf) {
            MaterialApply(Material(), rci);
            EmitGeometry(rci);
            MaterialUnapply(Material(), rci);
        }
    } else {
        rci.nestedDraw = oldNested;
    }
    if (drawChildren) RenderChildRange(0, Count() - 1, rci);
}

// ---------------------------------------------------------------- handles

void ReleaseHandles(TGLBaseSceneObject& root, bool deleteObjects)
{
    if (auto* o = dynamic_cast<TGLCustomSceneObject*>(&root)) {
        TGLTexture& t = o->Material().Texture();
        if (deleteObjects)
            DestroyTextureHandle(t);
        else
            t.Handle.Forget();
    }
    root.DestroyHandles();
    for (int i = 0; i < root.Count(); ++i) ReleaseHandles(*root.Child(i), deleteObjects);
}

} // namespace velmora
