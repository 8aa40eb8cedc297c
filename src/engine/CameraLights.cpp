#include "engine/CameraLights.h"

#include "engine/ChangeSetter.h"
#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {

// ---- TGLCamera ----

TGLCamera::TGLCamera()
{
    Direction().SetRaw(0, 0, -1, 0);
}

TGLCamera::~TGLCamera()
{
    if (Scene() && Scene()->ActiveCamera == this) Scene()->ActiveCamera = nullptr;
    setReference(targetObject_, static_cast<TGLBaseSceneObject*>(nullptr));
}

void TGLCamera::SetDepthOfView(float v)
{
    if (v == depthOfView_) return;
    depthOfView_ = v;
    if (!Loading()) SignalTransformChange();
}

void TGLCamera::SetFocalLength(float v)
{
    if (v <= 0) v = 1;
    if (v == focalLength_) return;
    focalLength_ = v;
    if (!Loading()) SignalTransformChange();
}

void TGLCamera::SetSceneScale(float v)
{
    if (v == sceneScale_) return;
    sceneScale_ = v;
    SignalChange();
}

void TGLCamera::SetNearPlaneBias(float v)
{
    if (v <= 0) v = 1;
    if (v == nearPlaneBias_) return;
    nearPlaneBias_ = v;
    SignalChange();
}

void TGLCamera::SetTargetObject(TGLBaseSceneObject* target)
{
    if (target == targetObject_) return;
    setReference(targetObject_, target);
    if (!Loading()) SignalTransformChange();
}

void TGLCamera::SetCameraStyle(TGLCameraStyle s)
{
    if (s == cameraStyle_) return;
    cameraStyle_ = s;
    SignalChange();
}

void TGLCamera::FreeNotification(TGLBaseSceneObject* destroyed)
{
    if (destroyed == targetObject_) targetObject_ = nullptr;
}

namespace {

// Stores an absolute position as the camera's own position.
void storeAbsolutePosition(TGLCamera& cam, const TVector& absolute)
{
    TVector p = absolute;
    p.W = 1;
    if (TGLBaseSceneObject* parent = cam.Parent()) p = parent->WorldToLocal(p);
    cam.Position().SetAsVector(p);
}

} // namespace

void TGLCamera::OrbitAroundTarget(float pitchDelta, float turnDelta)
{
    if (!targetObject_) return;
    const TVector c = WorldPosition();
    const TVector t = targetObject_->WorldPosition();
    const TVector u = vectorNormalize(AbsoluteTransform().row(1));

    const double vx = double(c.X) - t.X, vy = double(c.Y) - t.Y, vz = double(c.Z) - t.Z;
    const double dist = std::sqrt(vx * vx + vy * vy + vz * vz);
    if (dist == 0) return; // on the target: no direction to orbit along
    const TVector n{float(vx / dist), float(vy / dist), float(vz / dist), 0};

    TVector r = vectorCrossProduct(u, n);
    if (vectorLength(r) < 0.001)
        r = {1, 0, 0, 0};
    else
        r = vectorNormalize(r);

    const double dot = vectorDotProduct(u, n);
    double phi = std::atan2(std::sqrt(std::max(0.0, 1 - dot * dot)), dot);
    phi = std::clamp(phi + double(pitchDelta) * std::numbers::pi / 180.0, 0.025, std::numbers::pi - 0.025);

    TVector m = vectorTransform(u, rotationMatrix(r, phi));
    m = vectorTransform({m.X, m.Y, m.Z, 0}, rotationMatrix(u, double(turnDelta) * std::numbers::pi / 180.0));

    const TVector moved{float(double(c.X) + (dist * m.X - vx)), float(double(c.Y) + (dist * m.Y - vy)),
                        float(double(c.Z) + (dist * m.Z - vz)), 1};
    storeAbsolutePosition(*this, moved);
}

void TGLCamera::ScaleTargetDistance(float factor)
{
    if (!targetObject_) return;
    const TVector c = WorldPosition();
    const TVector t = targetObject_->WorldPosition();
    const double k = double(factor) - 1;
    const TVector moved{float(c.X + k * (double(c.X) - t.X)), float(c.Y + k * (double(c.Y) - t.Y)),
                        float(c.Z + k * (double(c.Z) - t.Z)), 1};
    storeAbsolutePosition(*this, moved);
}

// ---- TGLLightSource ----

TGLLightSource::TGLLightSource()
    : ambient_(this, {0, 0, 0, 1}),
      diffuse_(this, {1, 1, 1, 1}),
      specular_(this, {0, 0, 0, 1}),
      spotDirection_(this, {0, 0, -1, 0}, csVector)
{}

VELMORA_CHANGE_SETTER(TGLLightSource, ConstAttenuation, float, constAttenuation_, SignalChange)
VELMORA_CHANGE_SETTER(TGLLightSource, LinearAttenuation, float, linearAttenuation_, SignalChange)
VELMORA_CHANGE_SETTER(TGLLightSource, QuadraticAttenuation, float, quadraticAttenuation_, SignalChange)
VELMORA_CHANGE_SETTER(TGLLightSource, LightStyle, TLightStyle, lightStyle_, SignalChange)
VELMORA_CHANGE_SETTER(TGLLightSource, Shining, bool, shining_, SignalChange)
VELMORA_CHANGE_SETTER(TGLLightSource, SpotExponent, float, spotExponent_, SignalChange)

void TGLLightSource::SetSpotCutOff(float v)
{
    if (!((v >= 0 && v <= 90) || v == 180)) return;
    if (v == spotCutOff_) return;
    spotCutOff_ = v;
    SignalChange();
}

void TGLLightSource::CoordinatesChanged(TGLCoordinates* c)
{
    if (c == &spotDirection_) {
        SignalTransformChange();
        SignalChange();
        return;
    }
    TGLBaseSceneObject::CoordinatesChanged(c);
}

} // namespace velmora
