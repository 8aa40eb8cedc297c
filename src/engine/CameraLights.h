#pragma once
// The camera a buffer looks through and the light sources of a scene. Their
// GL set-up (projection, view, lights) belongs to the render pass; these are
// their persistent state and the orbit/zoom operations.

#include "engine/Scene.h"

#include <functional>

namespace velmora {

struct TRectangle {
    int Left = 0, Top = 0, Width = 1, Height = 1;
};

using TOnCustomPerspective =
    std::function<void(const TRectangle& viewport, int width, int height, int dpi, float& viewPortRadius)>;

class TGLCamera : public TGLBaseSceneObject {
public:
    TGLCamera();
    ~TGLCamera() override;
    const char* ClassName() const override { return "TGLCamera"; }

    float DepthOfView() const { return depthOfView_; }
    void SetDepthOfView(float v);
    float FocalLength() const { return focalLength_; }
    void SetFocalLength(float v); // values not above 0 become 1
    float SceneScale() const { return sceneScale_; }
    void SetSceneScale(float v);
    float NearPlaneBias() const { return nearPlaneBias_; }
    void SetNearPlaneBias(float v); // values not above 0 become 1
    TGLBaseSceneObject* TargetObject() const { return targetObject_; }
    void SetTargetObject(TGLBaseSceneObject* target);
    TGLCameraStyle CameraStyle() const { return cameraStyle_; }
    void SetCameraStyle(TGLCameraStyle s);
    TOnCustomPerspective OnCustomPerspective;

    // Results of the last projection and view, kept for culling and picking.
    float NearPlane = 0;
    float ViewPortRadius = 0;
    TVector LastDirection{0, 0, -1, 0};

    // Moves the camera on a sphere around its target: pitchDelta and
    // turnDelta in degrees.
    void OrbitAroundTarget(float pitchDelta, float turnDelta);
    // Multiplies the camera's distance to its target by factor.
    void ScaleTargetDistance(float factor);

    void FreeNotification(TGLBaseSceneObject* destroyed) override;

private:
    float depthOfView_ = 100;
    float focalLength_ = 50;
    float sceneScale_ = 1;
    float nearPlaneBias_ = 1;
    TGLBaseSceneObject* targetObject_ = nullptr;
    TGLCameraStyle cameraStyle_ = csPerspective;
};

class TGLLightSource : public TGLBaseSceneObject {
public:
    TGLLightSource();
    const char* ClassName() const override { return "TGLLightSource"; }

    TGLColor& Ambient() { return ambient_; }
    const TGLColor& Ambient() const { return ambient_; }
    TGLColor& Diffuse() { return diffuse_; }
    const TGLColor& Diffuse() const { return diffuse_; }
    TGLColor& Specular() { return specular_; }
    const TGLColor& Specular() const { return specular_; }
    float ConstAttenuation() const { return constAttenuation_; }
    void SetConstAttenuation(float v);
    float LinearAttenuation() const { return linearAttenuation_; }
    void SetLinearAttenuation(float v);
    float QuadraticAttenuation() const { return quadraticAttenuation_; }
    void SetQuadraticAttenuation(float v);
    TLightStyle LightStyle() const { return lightStyle_; }
    void SetLightStyle(TLightStyle v);
    bool Shining() const { return shining_; }
    void SetShining(bool v);
    float SpotCutOff() const { return spotCutOff_; }
    void SetSpotCutOff(float v); // only 0..90 or exactly 180 are accepted
    TGLCoordinates& SpotDirection() { return spotDirection_; }
    const TGLCoordinates& SpotDirection() const { return spotDirection_; }
    float SpotExponent() const { return spotExponent_; }
    void SetSpotExponent(float v);

    // The GL light this source drives; -1 when it found no free slot.
    int LightID() const { return lightID_; }

    void CoordinatesChanged(TGLCoordinates* c) override;

private:
    friend class TGLScene;

    TGLColor ambient_;
    TGLColor diffuse_;
    TGLColor specular_;
    float constAttenuation_ = 1;
    float linearAttenuation_ = 0;
    float quadraticAttenuation_ = 0;
    TLightStyle lightStyle_ = lsSpot;
    bool shining_ = true;
    float spotCutOff_ = 180;
    TGLCoordinates spotDirection_;
    float spotExponent_ = 0;
    int lightID_ = -1;
};

} // namespace velmora
