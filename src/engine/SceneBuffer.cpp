#include "engine/SceneBuffer.h"

#include "engine/CameraLights.h"
#include "engine/ChangeSetter.h"

namespace velmora {

TGLSceneBuffer::TGLSceneBuffer() : ambientColor_(this, {0.2f, 0.2f, 0.2f, 1}) {}

TGLSceneBuffer::~TGLSceneBuffer()
{
    if (camera_) camera_->RemoveFreeNotification(this);
    Unregister();
}

void TGLSceneBuffer::RegisterWith(TGLScene& scene)
{
    if (scene_ && scene_ != &scene) scene_->RemoveBuffer(this);
    scene_ = &scene;
    scene.AddBuffer(this);
}

void TGLSceneBuffer::Unregister()
{
    if (scene_) scene_->RemoveBuffer(this);
    scene_ = nullptr;
}

void TGLSceneBuffer::NotifyChange(TGLBaseSceneObject* sender)
{
    if (OnChange && !rendering_) OnChange();
}

void TGLSceneBuffer::SceneDestroyed(TGLScene* scene)
{
    if (scene_ == scene) scene_ = nullptr;
    // The camera was destroyed with the scene and has told us already.
}

void TGLSceneBuffer::SetCamera(TGLCamera* camera)
{
    if (camera == camera_) return;
    if (camera_) {
        if (camera_->Scene()) camera_->Scene()->RemoveBuffer(this);
        if (scene_ == camera_->Scene()) scene_ = nullptr;
        camera_->RemoveFreeNotification(this);
        camera_ = nullptr;
    }
    if (camera && camera->Scene()) {
        camera_ = camera;
        camera_->AddFreeNotification(this);
        camera_->SignalTransformChange();
    }
    changed();
}

void TGLSceneBuffer::FreeNotification(TGLBaseSceneObject* destroyed)
{
    if (destroyed == camera_) camera_ = nullptr;
}

VELMORA_CHANGE_SETTER(TGLSceneBuffer, BackgroundColor, TColor, backgroundColor_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, BackgroundAlpha, float, backgroundAlpha_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, DepthTest, bool, depthTest_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, FaceCulling, bool, faceCulling_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, Lighting, bool, lighting_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, FogEnable, bool, fogEnable_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, ShadeModel, TGLShadeModel, shadeModel_, changed)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, ContextOptions, TContextOptions, contextOptions_, structuralChanged)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, AntiAliasing, TGLAntiAliasing, antiAliasing_, structuralChanged)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, DepthPrecision, TGLDepthPrecision, depthPrecision_, structuralChanged)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, ColorDepth, TGLColorDepth, colorDepth_, structuralChanged)
VELMORA_CHANGE_SETTER(TGLSceneBuffer, AccumBufferBits, int, accumBufferBits_, structuralChanged)

} // namespace velmora
