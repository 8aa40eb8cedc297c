// Camera and lights of a frame: the projection from the focal length, the
// viewport and the DPI; the look-at view; the GL lights from the scene's
// light slots.

#include "engine/CameraLights.h"
#include "engine/ScopeGuard.h"
#include "engine/render/CameraMath.h"
#include "engine/render/RenderPass.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace velmora {

void applyCameraProjection(TGLCamera& camera, const TRectangle& viewport, int w, int h, int dpi)
{
    const TFrustum f = cameraFrustum(camera, viewport, w, h, dpi);
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

void applyCameraView(TGLCamera& camera)
{
    const TVector eye = camera.WorldPosition();
    if (TGLBaseSceneObject* target = camera.TargetObject()) {
        const TVector centre = target->WorldPosition();
        camera.LastDirection = vectorNormalize(vectorSubtract(centre, eye));
        const TVector& up = camera.Up().AsVector();
        gluLookAt(eye.X, eye.Y, eye.Z, centre.X, centre.Y, centre.Z, up.X, up.Y, up.Z);
    } else {
        TMatrix m;
        if (camera.Parent()) m = camera.Parent()->AbsoluteTransform();
        const TVector d = vectorTransform(camera.Direction().AsVector(), m);
        const TVector u = vectorTransform(camera.Up().AsVector(), m);
        camera.LastDirection = vectorNormalize(d);
        gluLookAt(eye.X, eye.Y, eye.Z, eye.X + d.X, eye.Y + d.Y, eye.Z + d.Z, u.X, u.Y, u.Z);
    }
}

void setupLights(TGLScene& scene, int n)
{
    const int k = std::min(kMaxLights, n);
    GLfloat saved[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, saved);
    for (int i = k; i < n; ++i) glDisable(GL_LIGHT0 + i);
    // Each light is placed from the view matrix, which stays current after.
    TScopeExit restoreView([&saved] { glLoadMatrixf(saved); });
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
}

} // namespace velmora
