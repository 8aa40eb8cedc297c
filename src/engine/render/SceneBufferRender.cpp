// Frames of a scene buffer: context set-up, per-frame state, the base render
// shared by the viewer and the render to bitmap.

#include "engine/CameraLights.h"
#include "engine/GLErrors.h"
#include "engine/SceneBuffer.h"
#include "engine/ScopeGuard.h"
#include "engine/render/RenderPass.h"

#include <GL/gl.h>

namespace velmora {

int TGLSceneBuffer::ScreenDPI = 96;

namespace {

// The context current for the scope.
auto activation(TGLContext& context)
{
    context.Activate();
    return TScopeExit([&context] { context.Deactivate(); });
}

int colorBits(TGLColorDepth d)
{
    switch (d) {
    case cd8bits: return 8;
    case cd16bits: return 16;
    case cdFloat64bits: return 64;
    case cdFloat128bits: return 128;
    default: return 24;
    }
}

int depthBits(TGLDepthPrecision d)
{
    return d == dp16bits ? 16 : d == dp32bits ? 32 : 24;
}

int samples(TGLAntiAliasing a)
{
    switch (a) {
    case aa2x:
    case aa2xHQ: return 2;
    case aa4x:
    case aa4xHQ: return 4;
    default: return 0;
    }
}

} // namespace

TGLPixelFormatRequest TGLSceneBuffer::PixelFormatRequest() const
{
    TGLPixelFormatRequest r;
    r.DoubleBuffer = contextOptions_.contains(roDoubleBuffer);
    r.ColorBits = contextOptions_.contains(roNoColorBuffer) ? 0 : colorBits(colorDepth_);
    r.DepthBits = depthBits(depthPrecision_);
    r.StencilBits = contextOptions_.contains(roStencilBuffer) ? 8 : 0;
    r.AlphaBits = contextOptions_.contains(roDestinationAlpha) ? 8 : 0;
    r.Samples = samples(antiAliasing_);
    return r;
}

void TGLSceneBuffer::SetRenderingContext(std::unique_ptr<TGLContext> context)
{
    DestroyRenderingContext();
    if (!context) return;
    TScopedValue rendering(rendering_, true);
    context_ = std::move(context);
    states_ = std::make_unique<TGLStateCache>();
    const auto active = activation(*context_);
    glViewport(0, 0, viewport_.Width, viewport_.Height);
    setupFrameState();
    const TVector bg = ColorFromWindowColor(backgroundColor_, 1);
    glClearColor(bg.X, bg.Y, bg.Z, bg.W);
}

void TGLSceneBuffer::DestroyRenderingContext()
{
    if (!context_) return;
    if (scene_) {
        // Texture names die with the context: forget them so the next
        // context uploads afresh.
        try {
            const auto active = activation(*context_);
            releaseHandles(scene_->Objects(), true);
        } catch (...) {
            releaseHandles(scene_->Objects(), false);
        }
    }
    context_.reset();
    Unregister();
}

void TGLSceneBuffer::Resize(int width, int height)
{
    viewport_.Width = width < 1 ? 1 : width;
    viewport_.Height = height < 1 ? 1 : height;
    if (context_ && !rendering_) {
        const auto active = activation(*context_);
        glViewport(0, 0, viewport_.Width, viewport_.Height);
    }
}

void TGLSceneBuffer::PushViewMatrix(const TMatrix& m)
{
    viewMatrixStack_.push_back(viewMatrix_);
    viewMatrix_ = m;
}

void TGLSceneBuffer::PopViewMatrix()
{
    GLAssert(!viewMatrixStack_.empty(), "Unbalance Push/PopModelViewMatrix.");
    viewMatrix_ = viewMatrixStack_.back();
    viewMatrixStack_.pop_back();
}

void TGLSceneBuffer::setupFrameState()
{
    TGLStateCache& s = *states_;
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientColor_.AsArray());
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, contextOptions_.contains(roTwoSideLighting) ? 1 : 0);
    s.ForceState(stNormalize, true);
    s.ForceState(stDepthTest, depthTest_);
    s.ForceState(stCullFace, faceCulling_);
    s.ForceState(stLighting, lighting_);
    s.ForceState(stFog, fogEnable_);
    s.ForceState(stDither, context_ && context_->blueBits() < 8);
    glDepthFunc(GL_LESS);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glShadeModel(shadeModel_ == smFlat ? GL_FLAT : GL_SMOOTH);
}

void TGLSceneBuffer::clearBuffers()
{
    GLbitfield bits = GL_DEPTH_BUFFER_BIT;
    if (!contextOptions_.contains(roNoColorBuffer) && !contextOptions_.contains(roNoColorBufferClear))
        bits |= GL_COLOR_BUFFER_BIT;
    if (contextOptions_.contains(roStencilBuffer)) bits |= GL_STENCIL_BUFFER_BIT;
    glClear(bits);
}

void TGLSceneBuffer::Render(TGLBaseSceneObject* base)
{
    if (rendering_ || !context_) return;
    const TVector bg = ColorFromWindowColor(backgroundColor_, backgroundAlpha_);
    if (camera_ && camera_->Scene()) {
        camera_->RebuildTransformIfStale();
        camera_->AbsoluteTransform();
        RegisterWith(*camera_->Scene());
    }
    {
        TScopedValue rendering(rendering_, true);
        const auto active = activation(*context_);
        renderDPI_ = 96;
        viewMatrixStack_.clear();
        clearGLError();
        setupFrameState();
        glClearColor(bg.X, bg.Y, bg.Z, bg.W);
        clearBuffers();
        checkOpenGLError();
        baseRender(viewport_, renderDPI_, dsRendering, base);
        checkOpenGLError();
        if (!contextOptions_.contains(roNoSwapBuffers)) context_->swapBuffers();
        checkOpenGLError();
    }
    if (AfterRender) AfterRender(this);
}

void TGLSceneBuffer::baseRender(const TRectangle& viewport, int dpi, TDrawState mode, TGLBaseSceneObject* base)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (camera_) {
        applyCameraProjection(*camera_, viewport, viewport.Width, viewport.Height, dpi);
        glGetFloatv(GL_PROJECTION_MATRIX, &projectionMatrix_.m[0][0]);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (camera_) {
        if (camera_->Scene()) camera_->Scene()->ActiveCamera = camera_;
        applyCameraView(*camera_);
        cameraAbsolutePosition_ = camera_->WorldPosition();
    }
    glGetFloatv(GL_MODELVIEW_MATRIX, &viewMatrix_.m[0][0]);
    if (BeforeRender) BeforeRender(this);
    if (camera_ && camera_->Scene()) {
        GLint n = 8;
        glGetIntegerv(GL_MAX_LIGHTS, &n);
        setupLights(*camera_->Scene(), n);
        if (fogEnable_)
            states_->Enable(stFog);
        else
            states_->Disable(stFog);
        sceneRender(mode, base);
    }
    if (PostRender) PostRender(this);
    GLAssert(viewMatrixStack_.empty(), "Unbalance Push/PopModelViewMatrix.");
}

void TGLSceneBuffer::sceneRender(TDrawState mode, TGLBaseSceneObject* base)
{
    TGLScene& scene = *camera_->Scene();
    scene.ActiveBuffer = this;
    TRenderContextInfo rci;
    rci.scene = &scene;
    rci.buffer = this;
    rci.sorting = scene.ObjectsSorting();
    rci.culling = scene.VisibilityCulling();
    rci.bufferCulls = faceCulling_;
    rci.mode = mode;
    rci.ambient = ambientColor_.Color();
    rci.eyePosition = cameraAbsolutePosition_;
    rci.eyeDirection = vectorNormalize(camera_->LastDirection);
    rci.eyeUp = vectorNormalize(
        vectorCrossProduct(vectorCrossProduct(rci.eyeDirection, camera_->Up().AsVector()), rci.eyeDirection));
    rci.viewPortRadius = camera_->ViewPortRadius;
    rci.farClippingDistance = camera_->NearPlane + camera_->DepthOfView();
    rci.viewportWidth = viewport_.Width;
    rci.viewportHeight = viewport_.Height;
    rci.dpi = renderDPI_;
    rci.viewMatrix = &viewMatrix_;
    rci.states = states_.get();

    states_->Reset();
    rci.nestedDraw = false;
    rci.noMaterials = contextOptions_.contains(roNoColorBuffer) || mode == dsPicking;
    const GLboolean c = rci.noMaterials ? GL_FALSE : GL_TRUE;
    glColorMask(c, c, c, c);
    if (InitiateRendering) InitiateRendering(this, rci);
    RenderNode(base ? *base : static_cast<TGLBaseSceneObject&>(scene.Objects()), rci);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (WrapUpRendering) WrapUpRendering(this, rci);
    states_->Disable(stBlend);
    states_->Disable(stTexture2D);
    states_->Disable(stTextureRect);
    states_->Enable(stAlphaTest);
    glAlphaFunc(GL_GREATER, 0);
}

// The start shared by the one-piece and the banded render: texture names
// belong to the context that made them, so drop them for the temporary
// context to upload its own (and again afterwards). The activation also
// leaves the buffer's own context released, which a window context must be
// before another one can be made current. Returns the temporary context's
// pixel format.
TGLPixelFormatRequest TGLSceneBuffer::beginBitmapRender()
{
    if (context_) {
        const auto active = activation(*context_);
        if (scene_) releaseHandles(scene_->Objects(), true);
    } else if (scene_) {
        releaseHandles(scene_->Objects(), false);
    }
    if (BitmapRenderStage) BitmapRenderStage("context");
    TGLPixelFormatRequest request = PixelFormatRequest();
    request.DoubleBuffer = false;
    request.Samples = 0;
    request.ColorBits = 24;
    return request;
}

// The rest shared by the one-piece and the banded render, around `draw` run
// with the temporary context current: the camera's scene registered, the
// buffer's own state cache, viewport and DPI lent out (and put back last),
// the temporary context's texture names dropped however the drawing ends,
// then the "done" stage and AfterRender.
void TGLSceneBuffer::runBitmapRender(TGLContext& temp, TScopedValue<bool>& rendering, const std::function<void()>& draw)
{
    if (camera_ && camera_->Scene()) {
        camera_->RebuildTransformIfStale();
        RegisterWith(*camera_->Scene());
    }

    auto ownStates = std::move(states_);
    const TRectangle ownViewport = viewport_;
    const int ownDPI = renderDPI_;
    const TScopeExit restore([&] {
        states_ = std::move(ownStates);
        viewport_ = ownViewport;
        renderDPI_ = ownDPI;
        viewMatrixStack_.clear();
    });
    {
        const auto active = activation(temp);
        try {
            draw();
        } catch (...) {
            if (scene_) releaseHandles(scene_->Objects(), true);
            throw;
        }
        if (scene_) releaseHandles(scene_->Objects(), true);
    }
    if (BitmapRenderStage) BitmapRenderStage("done");
    rendering.Restore();
    if (AfterRender) AfterRender(this);
}

void TGLSceneBuffer::RenderToBitmap(TGLBitmap24& bitmap, int dpi)
{
    GLAssert(!rendering_, "Already rendering");
    TScopedValue rendering(rendering_, true);
    const TGLPixelFormatRequest request = beginBitmapRender();
    auto temp = std::make_unique<TGLHeadlessContext>(bitmap.Width, bitmap.Height, request);
    runBitmapRender(*temp, rendering, [&] {
        states_ = std::make_unique<TGLStateCache>();
        clearGLError();
        setupFrameState();
        const TVector bg = ColorFromWindowColor(backgroundColor_, 1);
        glClearColor(bg.X, bg.Y, bg.Z, bg.W);
        glViewport(0, 0, bitmap.Width, bitmap.Height);
        clearBuffers();
        renderDPI_ = dpi != 0 ? dpi : ScreenDPI;
        viewport_ = {0, 0, bitmap.Width, bitmap.Height};
        if (BitmapRenderStage) BitmapRenderStage("render");
        baseRender(viewport_, renderDPI_, dsPrinting, nullptr);
        checkOpenGLError();
        glFinish();
        if (BitmapRenderStage) BitmapRenderStage("read-back");
        temp->readPixels(bitmap);
    });
}

} // namespace velmora
