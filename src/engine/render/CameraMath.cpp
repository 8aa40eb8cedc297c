#include "engine/render/CameraMath.h"

#include <algorithm>
#include <cmath>

namespace velmora {

TFrustum cameraFrustum(const TGLCamera& camera, const TRectangle& v, int w, int h, int dpi)
{
    TFrustum f;
    if (w < 1 || h < 1) return f;
    f.Valid = true;
    const double M = std::max(w, h);
    if (camera.CameraStyle() == csOrtho2D) {
        f.Left = 0, f.Right = w, f.Bottom = 0, f.Top = h;
        f.Near = -1;
        f.ViewPortRadius = float(std::hypot(double(w), double(h)) / 2);
        return f;
    }
    double fx, fy;
    if (camera.CameraStyle() == csOrthogonal) {
        fx = 100.0 * camera.NearPlaneBias() / (double(w) * camera.FocalLength() * camera.SceneScale());
        fy = 100.0 * camera.NearPlaneBias() / (double(h) * camera.FocalLength() * camera.SceneScale());
    } else {
        fx = double(camera.NearPlaneBias()) / (double(w) * camera.SceneScale());
        fy = double(camera.NearPlaneBias()) / (double(h) * camera.SceneScale());
    }
    f.Right = (2.0 * v.Width + 2.0 * v.Left - w) * fx * w / (2 * M);
    f.Left = -(w - 2.0 * v.Left) * fx * w / (2 * M);
    f.Top = (2.0 * v.Height + 2.0 * v.Top - h) * fy * h / (2 * M);
    f.Bottom = -(h - 2.0 * v.Top) * fy * h / (2 * M);
    f.Near = float(double(camera.FocalLength()) * 2 * dpi / (25.4 * M) * camera.NearPlaneBias());
    f.Far = float(double(f.Near) + camera.DepthOfView());
    f.ViewPortRadius = float(std::hypot(f.Right, f.Top) / f.Near);
    return f;
}

namespace {
constexpr double kPi = 3.14159265358979323846;
double smallerSide(int w, int h)
{
    return w < h ? w : h;
}
} // namespace

double fieldOfViewFor(const TGLCamera* camera, int controlWidth, int controlHeight)
{
    if (!camera || camera->FocalLength() == 0) return 0;
    const double d = smallerSide(controlWidth, controlHeight);
    return 2 * std::atan2(d / 2, double(camera->FocalLength())) * 180 / kPi;
}

void setFieldOfViewFor(TGLCamera* camera, int controlWidth, int controlHeight, double degrees)
{
    if (!camera) return;
    const double d = smallerSide(controlWidth, controlHeight);
    camera->SetFocalLength(float(d / (2 * std::tan(degrees * kPi / 360))));
}

} // namespace velmora
