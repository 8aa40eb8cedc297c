#include "engine/gl/GLContext.h"

#include "engine/GLErrors.h"
#include "engine/gl/FramebufferPages.h"

#define EGL_EGLEXT_PROTOTYPES
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <string>

// EGL_NO_CONTEXT names the EGL type, which our own exception class hides
// inside the namespace.
static const EGLContext kNoEglContext = EGL_NO_CONTEXT;

namespace velmora {

namespace {
TGLContext* currentContext = nullptr;
}

TGLContext* TGLContext::Current()
{
    return currentContext;
}

void TGLContext::Activate()
{
    if (activations_++ == 0) {
        try {
            doActivate();
        } catch (...) {
            activations_ = 0;
            throw;
        }
        previous_ = currentContext;
        currentContext = this;
    }
}

void TGLContext::Deactivate()
{
    if (activations_ <= 0) throw EGLContext("Unbalanced context activations");
    if (--activations_ == 0) {
        if (currentContext == this) currentContext = previous_;
        previous_ = nullptr;
        doDeactivate();
    }
}

namespace {

std::string eglErrorText(EGLint e)
{
    switch (e) {
    case EGL_NOT_INITIALIZED: return "EGL is not initialized";
    case EGL_BAD_ACCESS: return "resource is in use";
    case EGL_BAD_ALLOC: return "out of memory";
    case EGL_BAD_ATTRIBUTE: return "unsupported attribute";
    case EGL_BAD_CONFIG: return "no matching pixel format";
    case EGL_BAD_CONTEXT: return "bad context";
    case EGL_BAD_DISPLAY: return "no display";
    case EGL_BAD_MATCH: return "attributes do not match";
    case EGL_BAD_PARAMETER: return "bad parameter";
    case EGL_BAD_SURFACE: return "bad surface";
    default: return "error " + std::to_string(e);
    }
}

[[noreturn]] void platformError(const std::string& what)
{
    throw EPlatformError("OS Error : " + what);
}

EGLDisplay openDisplay()
{
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d == EGL_NO_DISPLAY) return d;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(d, &major, &minor)) return EGL_NO_DISPLAY;
    return d;
}

// Framebuffer-object entry points; fetched once the context is current.
struct FboFunctions {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    bool load()
    {
        auto get = [](const char* n) { return eglGetProcAddress(n); };
        genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
        deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
        bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
        genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
        deleteRenderbuffers = reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
        bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
        renderbufferStorage = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
        framebufferRenderbuffer = reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
        checkFramebufferStatus = reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(get("glCheckFramebufferStatus"));
        return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers && deleteRenderbuffers &&
            bindRenderbuffer && renderbufferStorage && framebufferRenderbuffer && checkFramebufferStatus;
    }
};

} // namespace

struct TGLHeadlessContext::Impl {
    EGLDisplay display = EGL_NO_DISPLAY;
    ::EGLContext context = kNoEglContext;
    FboFunctions fbo;
    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    GLuint depthBuffer = 0;
    TFramebufferPages colorPages, depthPages;
    // What was current before an activation, restored afterwards so a
    // window context of the application keeps working.
    EGLDisplay prevDisplay = EGL_NO_DISPLAY;
    ::EGLContext prevContext = kNoEglContext;
    EGLSurface prevDraw = EGL_NO_SURFACE, prevRead = EGL_NO_SURFACE;

    void makeCurrent()
    {
        prevDisplay = eglGetCurrentDisplay();
        prevContext = eglGetCurrentContext();
        prevDraw = eglGetCurrentSurface(EGL_DRAW);
        prevRead = eglGetCurrentSurface(EGL_READ);
        if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
            platformError(eglErrorText(eglGetError()));
        if (framebuffer) fbo.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    }
    void release()
    {
        if (prevContext != kNoEglContext && prevDisplay != EGL_NO_DISPLAY)
            eglMakeCurrent(prevDisplay, prevDraw, prevRead, prevContext);
        else
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, kNoEglContext);
        prevContext = kNoEglContext;
    }
};

bool TGLHeadlessContext::available()
{
    static const bool canOpen = [] {
        EGLDisplay d = openDisplay();
        return d != EGL_NO_DISPLAY && eglBindAPI(EGL_OPENGL_API);
    }();
    return canOpen;
}

TGLHeadlessContext::TGLHeadlessContext(int width, int height, const TGLPixelFormatRequest& request,
                                       bool releasablePages)
    : impl_(std::make_unique<Impl>()),
      width_(width),
      height_(height)
{
    if (width < 1 || height < 1) platformError("invalid bitmap size");
    Impl& m = *impl_;
    m.display = openDisplay();
    if (m.display == EGL_NO_DISPLAY) throw EGLContext("Failed to create RenderingContext.");
    if (!eglBindAPI(EGL_OPENGL_API)) platformError("desktop OpenGL is not available");

    // The framebuffer object carries colour, depth and stencil, so the
    // config only has to offer desktop GL; a pbuffer-capable one is asked
    // for because surfaceless configs always are.
    const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(m.display, configAttribs, &config, 1, &count) || count < 1)
        platformError(eglErrorText(EGL_BAD_CONFIG));
    const EGLint ctxAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    m.context = eglCreateContext(m.display, config, kNoEglContext, ctxAttribs);
    if (m.context == kNoEglContext) platformError(eglErrorText(eglGetError()));

    try {
        m.makeCurrent();
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (!version || std::string(version) < "1.1") throw EOpenGLError("Need at least OpenGL version 1.1");
        if (!m.fbo.load()) platformError("framebuffer objects are not supported");
        GLint maxSize = 0;
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
        if (width > maxSize || height > maxSize)
            platformError("bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is larger than the renderer allows (" + std::to_string(maxSize) + ")");
        m.fbo.genFramebuffers(1, &m.framebuffer);
        m.fbo.bindFramebuffer(GL_FRAMEBUFFER, m.framebuffer);
        // The renderer fills new storage with zeros: located pages are given
        // back at once, so the two buffers are never held whole.
        std::vector<TMemoryRange> before;
        if (releasablePages) before = anonymousMemoryRanges();
        m.fbo.genRenderbuffers(1, &m.colorBuffer);
        m.fbo.bindRenderbuffer(GL_RENDERBUFFER, m.colorBuffer);
        m.fbo.renderbufferStorage(GL_RENDERBUFFER, request.AlphaBits > 0 ? GL_RGBA8 : GL_RGB8, width, height);
        m.fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m.colorBuffer);
        if (releasablePages && m.fbo.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
            m.colorPages.locate(GL_COLOR_BUFFER_BIT, width, height, before)) {
            m.colorPages.Release();
        }
        if (releasablePages) before = anonymousMemoryRanges();
        m.fbo.genRenderbuffers(1, &m.depthBuffer);
        m.fbo.bindRenderbuffer(GL_RENDERBUFFER, m.depthBuffer);
        // Depth and stencil share one buffer; 24 depth bits whatever was
        // asked below that, since that is what every renderer offers.
        m.fbo.renderbufferStorage(GL_RENDERBUFFER, request.DepthBits > 24 ? GL_DEPTH32F_STENCIL8 : GL_DEPTH24_STENCIL8,
                                  width, height);
        m.fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m.depthBuffer);
        // Both buffers four bytes a pixel (32-bit float depth has eight).
        if (releasablePages && request.DepthBits <= 24 &&
            m.fbo.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
            m.depthPages.locate(GL_DEPTH_BUFFER_BIT, width, height, before)) {
            m.depthPages.Release();
        }
        if (m.fbo.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            platformError("the offscreen framebuffer could not be created");
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glViewport(0, 0, width, height);
        GLint blue = 8;
        glGetIntegerv(GL_BLUE_BITS, &blue);
        blueBits_ = blue;
        while (glGetError() != GL_NO_ERROR) {}
    } catch (...) {
        m.release();
        eglDestroyContext(m.display, m.context);
        throw;
    }
    m.release();
}

TGLHeadlessContext::~TGLHeadlessContext()
{
    Retire();
    // Destroyed while active: whatever was current before comes back.
    while (active()) Deactivate();
    Impl& m = *impl_;
    if (m.context == kNoEglContext) return;
    // The framebuffer belongs to this context: delete it while current, then
    // give back whatever context was current (a window's, say).
    const EGLDisplay prevDisplay = eglGetCurrentDisplay();
    const ::EGLContext prevContext = eglGetCurrentContext();
    const EGLSurface prevDraw = eglGetCurrentSurface(EGL_DRAW), prevRead = eglGetCurrentSurface(EGL_READ);
    if (eglMakeCurrent(m.display, EGL_NO_SURFACE, EGL_NO_SURFACE, m.context)) {
        m.fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
        if (m.colorBuffer) m.fbo.deleteRenderbuffers(1, &m.colorBuffer);
        if (m.depthBuffer) m.fbo.deleteRenderbuffers(1, &m.depthBuffer);
        if (m.framebuffer) m.fbo.deleteFramebuffers(1, &m.framebuffer);
        if (prevContext != kNoEglContext && prevContext != m.context && prevDisplay != EGL_NO_DISPLAY)
            eglMakeCurrent(prevDisplay, prevDraw, prevRead, prevContext);
        else
            eglMakeCurrent(m.display, EGL_NO_SURFACE, EGL_NO_SURFACE, kNoEglContext);
    }
    eglDestroyContext(m.display, m.context);
}

void TGLHeadlessContext::doActivate()
{
    impl_->makeCurrent();
}
void TGLHeadlessContext::doDeactivate()
{
    impl_->release();
}

void TGLHeadlessContext::readPixels(TGLBitmap24& out)
{
    Activate();
    out = TGLBitmap24(width_, height_);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    // Read in bands of four-byte pixels, which the renderer copies without
    // converting, and drop the fourth byte here. GL hands the bottom row
    // first; the bitmap is stored top row first. Bands keep the extra memory
    // small however large the picture is.
    const std::size_t stride = std::size_t(width_) * 3;
    const int bandRows = std::max(1, std::min(height_, int((std::size_t(4) << 20) / (std::size_t(width_) * 4 + 1))));
    std::vector<std::uint8_t> band(std::size_t(width_) * 4 * bandRows);
    for (int y0 = 0; y0 < height_; y0 += bandRows) {
        const int rows = std::min(bandRows, height_ - y0);
        glReadPixels(0, y0, width_, rows, GL_BGRA, GL_UNSIGNED_BYTE, band.data());
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* from = band.data() + std::size_t(r) * width_ * 4;
            dropFourthByte(from, out.Data.data() + std::size_t(height_ - 1 - (y0 + r)) * stride, std::size_t(width_));
        }
    }
    Deactivate();
}

void TGLHeadlessContext::readRowsBgra(int y, int rows, std::uint8_t* out)
{
    if (y < 0 || rows < 0 || y + rows > height_) throw EGLContext("Rows outside the framebuffer");
    Activate();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, y, width_, rows, GL_BGRA, GL_UNSIGNED_BYTE, out);
    Deactivate();
}

bool TGLHeadlessContext::releasePixelPages()
{
    impl_->colorPages.Release();
    impl_->depthPages.Release();
    return impl_->colorPages.located() && impl_->depthPages.located();
}

void TGLHeadlessContext::rebind()
{
    if (!active()) return;
    Impl& m = *impl_;
    if (!eglMakeCurrent(m.display, EGL_NO_SURFACE, EGL_NO_SURFACE, m.context))
        platformError(eglErrorText(eglGetError()));
    if (m.framebuffer) m.fbo.bindFramebuffer(GL_FRAMEBUFFER, m.framebuffer);
}

int TGLHeadlessContext::maxViewportSide()
{
    Activate();
    GLint dims[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    Deactivate();
    return std::min(dims[0], dims[1]);
}

} // namespace velmora
