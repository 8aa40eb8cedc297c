#include "box/FacePick.h"

#include "box/BoxScene.h"
#include "engine/render/CameraMath.h"

#include <cmath>
#include <limits>

namespace velmora {

namespace {

struct V3 {
    double x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(V3 a, double k)
{
    return {a.x * k, a.y * k, a.z * k};
}
V3 cross(V3 a, V3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 normalized(V3 a)
{
    const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? a * (1 / l) : a;
}
V3 v3(const TVector& v)
{
    return {v.X, v.Y, v.Z};
}

// A row vector (point when w = 1, direction when w = 0) times a matrix.
V3 transform(V3 v, double w, const TMatrix& m)
{
    const double in[4] = {v.x, v.y, v.z, w};
    double out[3];
    for (int c = 0; c < 3; ++c) {
        double s = 0;
        for (int k = 0; k < 4; ++k) s += in[k] * m.m[k][c];
        out[c] = s;
    }
    return {out[0], out[1], out[2]};
}

bool shown(TGLBaseSceneObject* o)
{
    for (; o; o = o->Parent())
        if (!o->Visible()) return false;
    return true;
}

// Ray parameter where origin + t * dir meets the plane's rectangle, or none.
template <class TRectangleObject> std::optional<double> hit(TRectangleObject* plane, V3 origin, V3 dir)
{
    if (!plane || !shown(plane)) return std::nullopt;
    const TMatrix inv = matrixInvert(plane->AbsoluteTransform());
    const V3 o = transform(origin, 1, inv);
    const V3 d = transform(dir, 0, inv);
    if (std::abs(d.z) < 1e-12) return std::nullopt;
    const double t = -o.z / d.z;
    if (!(t > 0)) return std::nullopt;
    const V3 p = o + d * t;
    if (std::abs(p.x) > plane->Width() / 2.0 || std::abs(p.y) > plane->Height() / 2.0) return std::nullopt;
    return t;
}

} // namespace

std::optional<TBoxFace> faceAtViewerPixel(TBoxScene& scene, int viewerWidth, int viewerHeight, double x, double y)
{
    TGLCamera* camera = scene.GLCamera1;
    if (!camera || viewerWidth < 1 || viewerHeight < 1) return std::nullopt;
    const TFrustum f =
        cameraFrustum(*camera, TRectangle{0, 0, viewerWidth, viewerHeight}, viewerWidth, viewerHeight, 96);
    if (!f.Valid || f.Near <= 0) return std::nullopt;

    // The view the frame sets up: looking at the target with the camera's
    // own up vector, or along its direction when it has no target.
    const V3 eye = v3(camera->WorldPosition());
    V3 forward, up;
    if (TGLBaseSceneObject* target = camera->TargetObject()) {
        forward = normalized(v3(target->WorldPosition()) - eye);
        up = v3(camera->Up().AsVector());
    } else {
        const TMatrix m = camera->Parent() ? camera->Parent()->AbsoluteTransform() : identityMatrix();
        forward = normalized(transform(v3(camera->Direction().AsVector()), 0, m));
        up = transform(v3(camera->Up().AsVector()), 0, m);
    }
    const V3 side = normalized(cross(forward, up));
    const V3 trueUp = cross(side, forward);

    // The point on the near plane under (x, y).
    const double xe = f.Left + x / viewerWidth * (f.Right - f.Left);
    const double ye = f.Top - y / viewerHeight * (f.Top - f.Bottom);
    V3 origin = eye, dir;
    if (camera->CameraStyle() == csOrthogonal) {
        origin = eye + side * xe + trueUp * ye;
        dir = forward;
    } else {
        dir = side * xe + trueUp * ye + forward * double(f.Near);
    }

    std::optional<TBoxFace> best;
    double bestT = std::numeric_limits<double>::infinity();
    for (TBoxFace face : AllBoxFaces) {
        const std::optional<double> t = hit(scene.facePlane(face), origin, dir);
        if (t && *t < bestT) {
            bestT = *t;
            best = face;
        }
    }
    // The floor hides what lies beyond it; a face standing on it wins a tie.
    if (best && scene.GLMirror1) {
        const std::optional<double> t = hit(scene.GLMirror1, origin, dir);
        if (t && *t < bestT * (1 - 1e-6)) return std::nullopt;
    }
    return best;
}

} // namespace velmora
