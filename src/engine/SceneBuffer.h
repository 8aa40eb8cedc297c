#pragma once
// The scene side of a render buffer: which scene it renders, through which
// camera, and the scene-wide settings a frame uses (background, ambient
// light, depth test, culling, lighting, fog, shading, antialiasing).
//
// The scene calls NotifyChange whenever something in it changed; the viewer
// hooks OnChange (or overrides NotifyChange) to invalidate its window. The
// rendering context, the state cache and the frame itself are added by the
// render pass on top of this class.

#include "engine/CameraLights.h"
#include "engine/Color.h"
#include "engine/EngineTypes.h"
#include "engine/Scene.h"
#include "engine/ScopeGuard.h"
#include "engine/gl/GLContext.h"
#include "engine/gl/StateCache.h"
#include "engine/render/RenderContextInfo.h"

#include <functional>
#include <memory>
#include <vector>

namespace velmora {

class TGLCamera;

enum TGLAntiAliasing : uint8_t { aaDefault, aaNone, aa2x, aa2xHQ, aa4x, aa4xHQ };
enum TGLShadeModel : uint8_t { smDefault, smSmooth, smFlat };
enum TGLDepthPrecision : uint8_t { dpDefault, dp16bits, dp24bits, dp32bits };
enum TGLColorDepth : uint8_t { cdDefault, cd8bits, cd16bits, cd24bits, cdFloat64bits, cdFloat128bits };
enum TContextOption : uint8_t {
    roDoubleBuffer,
    roStencilBuffer,
    roRenderToWindow,
    roTwoSideLighting,
    roStereo,
    roDestinationAlpha,
    roNoColorBuffer,
    roNoColorBufferClear,
    roNoSwapBuffers
};
using TContextOptions = TEnumSet<TContextOption>;

// The system button-face colour, the default background of a buffer.
constexpr TColor clBtnFace = TColor(0x8000000F);
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBlack = 0;

class TGLSceneBuffer : public IGLNotifyAble, public IGLFreeNotify {
public:
    TGLSceneBuffer();
    // Unregisters from its scene.
    ~TGLSceneBuffer() override;
    TGLSceneBuffer(const TGLSceneBuffer&) = delete;
    TGLSceneBuffer& operator=(const TGLSceneBuffer&) = delete;

    // ---- Scene registration ----
    // Adds this buffer to the scene's buffers (no duplicates); done before
    // each render. A buffer renders one scene at a time.
    void RegisterWith(TGLScene& scene);
    void Unregister();
    TGLScene* Scene() const { return scene_; }
    // Called by the scene for every change report.
    virtual void NotifyChange(TGLBaseSceneObject* sender);
    // Called by a scene that is being destroyed; the buffer forgets it.
    virtual void SceneDestroyed(TGLScene* scene);

    // Repaint request (the viewer invalidates its window here).
    std::function<void()> OnChange;
    // Requests a new rendering context (pixel-format relevant settings changed).
    std::function<void()> OnStructuralChange;

    // ---- Camera ----
    TGLCamera* Camera() const { return camera_; }
    // Accepted only when the camera belongs to a scene; unregisters from the
    // old camera's scene.
    void SetCamera(TGLCamera* camera);

    // ---- Settings (each setter reports a change when the value differs) ----
    TColor BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor c);
    float BackgroundAlpha() const { return backgroundAlpha_; }
    void SetBackgroundAlpha(float a);
    TGLColor& AmbientColor() { return ambientColor_; }
    const TGLColor& AmbientColor() const { return ambientColor_; }
    bool DepthTest() const { return depthTest_; }
    void SetDepthTest(bool v);
    bool FaceCulling() const { return faceCulling_; }
    void SetFaceCulling(bool v);
    bool Lighting() const { return lighting_; }
    void SetLighting(bool v);
    bool FogEnable() const { return fogEnable_; }
    void SetFogEnable(bool v);
    TGLShadeModel ShadeModel() const { return shadeModel_; }
    void SetShadeModel(TGLShadeModel v);
    // Structural: changing these asks for a new context.
    TContextOptions ContextOptions() const { return contextOptions_; }
    void SetContextOptions(TContextOptions v);
    TGLAntiAliasing AntiAliasing() const { return antiAliasing_; }
    void SetAntiAliasing(TGLAntiAliasing v);
    TGLDepthPrecision DepthPrecision() const { return depthPrecision_; }
    void SetDepthPrecision(TGLDepthPrecision v);
    TGLColorDepth ColorDepth() const { return colorDepth_; }
    void SetColorDepth(TGLColorDepth v);
    int AccumBufferBits() const { return accumBufferBits_; }
    void SetAccumBufferBits(int v);

    // ---- Rendering ----
    // Takes the context the buffer draws with (the viewer's window context
    // or a headless one) and runs its initial set-up.
    void SetRenderingContext(std::unique_ptr<TGLContext> context);
    TGLContext* RenderingContext() const { return context_.get(); }
    // Releases the buffer's GL objects and the context.
    void DestroyRenderingContext();
    // What this buffer asks of a pixel format.
    TGLPixelFormatRequest PixelFormatRequest() const;
    // Viewport size (each at least 1); with a context, glViewport follows.
    void Resize(int width, int height);
    const TRectangle& Viewport() const { return viewport_; }
    int RenderDPI() const { return renderDPI_; }
    bool Rendering() const { return rendering_; }
    // One frame of the whole scene (or of `base` and its subtree).
    void Render(TGLBaseSceneObject* base = nullptr);
    // Renders the scene into a bitmap of the bitmap's size at dpi (0: the
    // screen's). Raises EGLAssertion "Already rendering" inside a frame.
    void RenderToBitmap(TGLBitmap24& bitmap, int dpi);
    // The same picture as RenderToBitmap of a width x height bitmap, drawn
    // in bands of bandRows rows: the whole frame is drawn once per band with
    // the scissor on its rows, and each band is read back and handed to
    // `sink`, top band first; its rows are valid during the call only.
    void RenderToBands(int width, int height, int dpi, int bandRows,
                       const std::function<void(const TGLBitmapBand&)>& sink);
    // The matrices of the current frame.
    const TMatrix& ProjectionMatrix() const { return projectionMatrix_; }
    const TMatrix& ViewMatrix() const { return viewMatrix_; }
    void PushViewMatrix(const TMatrix& m);
    void PopViewMatrix();
    TGLStateCache& States() { return *states_; }
    // Pixels per inch of the screen, used when a bitmap render gets dpi 0.
    static int ScreenDPI;

    std::function<void(TGLSceneBuffer*)> BeforeRender;
    std::function<void(TGLSceneBuffer*)> PostRender;
    std::function<void(TGLSceneBuffer*)> AfterRender;
    // Stages of a render to bitmap as they begin ("context", "render",
    // "read-back") and "done"; benchmarks time them.
    std::function<void(const char*)> BitmapRenderStage;
    std::function<void(TGLSceneBuffer*, TRenderContextInfo&)> InitiateRendering;
    std::function<void(TGLSceneBuffer*, TRenderContextInfo&)> WrapUpRendering;

    // IGLNotifyAble: the owned ambient colour reports here.
    void NotifyChange(TGLUpdateAbleObject* sender) override { NotifyChange(static_cast<TGLBaseSceneObject*>(nullptr)); }
    // IGLFreeNotify: the camera is going away.
    void FreeNotification(TGLBaseSceneObject* destroyed) override;

protected:
    void changed() { NotifyChange(static_cast<TGLBaseSceneObject*>(nullptr)); }
    void structuralChanged()
    {
        if (OnStructuralChange) OnStructuralChange();
    }

private:
    TGLScene* scene_ = nullptr;
    TGLCamera* camera_ = nullptr;
    TColor backgroundColor_ = clBtnFace;
    float backgroundAlpha_ = 1;
    TGLColor ambientColor_;
    bool depthTest_ = true;
    bool faceCulling_ = true;
    bool lighting_ = true;
    bool fogEnable_ = false;
    TGLShadeModel shadeModel_ = smDefault;
    TContextOptions contextOptions_{roDoubleBuffer, roRenderToWindow};
    TGLAntiAliasing antiAliasing_ = aaDefault;
    TGLDepthPrecision depthPrecision_ = dpDefault;
    TGLColorDepth colorDepth_ = cdDefault;
    int accumBufferBits_ = 0;

    void setupFrameState();
    void clearBuffers();
    void baseRender(const TRectangle& viewport, int dpi, TDrawState mode, TGLBaseSceneObject* base);
    void sceneRender(TDrawState mode, TGLBaseSceneObject* base);

    std::unique_ptr<TGLContext> context_;
    std::unique_ptr<TGLStateCache> states_ = std::make_unique<TGLStateCache>();
    TRectangle viewport_{0, 0, 100, 100};
    int renderDPI_ = 96;
    bool rendering_ = false;
    TGLPixelFormatRequest beginBitmapRender();
    void runBitmapRender(TGLContext& temp, TScopedValue<bool>& rendering, const std::function<void()>& draw);
    TMatrix projectionMatrix_;
    TMatrix viewMatrix_;
    std::vector<TMatrix> viewMatrixStack_;
    TVector cameraAbsolutePosition_{0, 0, 0, 1};
};

} // namespace velmora
