#pragma once
// Rendering contexts. A buffer renders through a TGLContext; the window
// viewer supplies one bound to its widget, tests, the command line and the
// render to bitmap use the headless one, which draws into an offscreen
// framebuffer of a fixed size and can read its pixels back.

#include "pictures/Errors.h"
#include "pictures/Rasters.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace velmora {

// Misuse of a context by code (activation without a context, ...).
class EGLContext : public EInternalError {
public:
    using EInternalError::EInternalError;
};

// No context or pixel format could be had from the platform.
class EPlatformError : public EInternalError {
public:
    using EInternalError::EInternalError;
};

// What a buffer asks of its pixel format.
struct TGLPixelFormatRequest {
    bool DoubleBuffer = false;
    int ColorBits = 24;
    int AlphaBits = 0;
    int DepthBits = 24;
    int StencilBits = 0;
    int Samples = 0; // 0: no multisampling
};

class TGLContext;

// Shared with the names a context made, so they can tell whether it is
// still there; Context is cleared when the context goes.
struct TGLContextLife {
    TGLContext* Context = nullptr;
};

class TGLContext {
public:
    TGLContext() : life_(std::make_shared<TGLContextLife>(TGLContextLife{this})) {}
    virtual ~TGLContext() { Retire(); }
    TGLContext(const TGLContext&) = delete;
    TGLContext& operator=(const TGLContext&) = delete;

    // Activations nest; only the outermost one makes the context current.
    void Activate();
    void Deactivate();
    bool active() const { return activations_ > 0; }
    // The context whose outermost activation is the latest still open.
    static TGLContext* Current();
    const std::shared_ptr<TGLContextLife>& life() const { return life_; }
    virtual void swapBuffers() {}
    // Colour depth of the framebuffer's blue channel, for dithering.
    int blueBits() const { return blueBits_; }

protected:
    virtual void doActivate() = 0;
    virtual void doDeactivate() = 0;
    // Called first by the destructors of real contexts: from then on the
    // names this context made count as gone with it.
    void Retire() { life_->Context = nullptr; }
    int blueBits_ = 8;

private:
    int activations_ = 0;
    TGLContext* previous_ = nullptr;
    std::shared_ptr<TGLContextLife> life_;
};

// An EGL context on Mesa's surfaceless platform drawing into a framebuffer
// object of Width x Height pixels. No window system is needed.
class TGLHeadlessContext : public TGLContext {
public:
    // Raises EPlatformError "OS Error : <text>" when no display, config or
    // context can be had, or when the size exceeds what GL can render.
    //
    // With releasablePages the pixel memory of the colour and depth buffers
    // is located (see FramebufferPages.h), so releasePixelPages can give it
    // back between bands of a render drawn band by band.
    TGLHeadlessContext(int width, int height, const TGLPixelFormatRequest& request = {}, bool releasablePages = false);
    ~TGLHeadlessContext() override;
    TGLHeadlessContext(const TGLHeadlessContext&) = delete;
    TGLHeadlessContext& operator=(const TGLHeadlessContext&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Reads the frame upright into a 24-bit bitmap (the context must be
    // active or activatable).
    void readPixels(TGLBitmap24& out);
    // Reads framebuffer rows y .. y + rows - 1 as four-byte blue, green, red,
    // alpha pixels in GL's order, bottom row first (the context must be
    // active or activatable).
    void readRowsBgra(int y, int rows, std::uint8_t* out);
    // The largest viewport side the renderer takes.
    int maxViewportSide();
    // Gives back the memory of every pixel of the framebuffer, whose values
    // are lost (they read as zeros or as what was there). The renderer must
    // be idle. Does nothing unless the pages were located; true when they were.
    bool releasePixelPages();
    // Makes the context current again while it is active: code run in the
    // middle (a window repainting itself) may have made its own current.
    void rebind();

    // True when a headless display can be opened here (tests skip without).
    static bool available();

protected:
    void doActivate() override;
    void doDeactivate() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int width_;
    int height_;
};

} // namespace velmora
