// A render to bitmap drawn band by band.
//
// Each band is the whole frame drawn again with the scissor on the band's
// rows: the viewport, the projection and the framebuffer's origin are those
// of the one-piece render, so every pixel is computed exactly as there (a
// framebuffer of the band's size with the viewport moved instead gives
// different roundings in llvmpipe's interpolation, a unit in some pixels).
// Every band starts from the GL state of a fresh context.

#include "engine/GLErrors.h"
#include "engine/SceneBuffer.h"
#include "engine/ScopeGuard.h"
#include "engine/render/RenderPass.h"

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora {

void TGLSceneBuffer::RenderToBands(int width, int height, int dpi, int bandRows,
                                   const std::function<void(const TGLBitmapBand&)>& sink)
{
    GLAssert(!rendering_, "Already rendering");
    if (width < 1 || height < 1) throw EPlatformError("OS Error : invalid bitmap size");
    TScopedValue rendering(rendering_, true);
    const TGLPixelFormatRequest request = beginBitmapRender();
    auto stage = [this](const char* s) {
        if (BitmapRenderStage) BitmapRenderStage(s);
    };
    const int rowsPerBand = std::clamp(bandRows, 1, height);
    // The framebuffer's pages are given back between bands, so only the
    // band being drawn is held in memory.
    const bool bands = rowsPerBand < height;
    auto temp = std::make_unique<TGLHeadlessContext>(width, height, request, bands);
    const int maxSide = temp->maxViewportSide();
    if (width > maxSide || height > maxSide)
        throw EPlatformError("OS Error : bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels is larger than the renderer allows (" + std::to_string(maxSide) + ")");
    // Read-back in pieces of about 1 MB, converted to three-byte rows.
    const int readRows = std::max(1, std::min(rowsPerBand, int((std::size_t(1) << 20) / (std::size_t(width) * 4))));
    std::vector<std::uint8_t> bgra(std::size_t(width) * 4 * readRows);
    std::vector<std::uint8_t> bgr(std::size_t(width) * 3 * readRows);

    runBitmapRender(*temp, rendering, [&] {
        // Bands from the top of the picture down. GL counts rows from the
        // bottom: band edges sit on multiples of the band height from there,
        // which for heights of whole 64-row tiles are the rasteriser's tile
        // edges, and the top band takes what is left.
        const int topBands = (height - 1) / rowsPerBand;
        for (int k = topBands; k >= 0; --k) {
            const int y0 = k * rowsPerBand;
            const int rows = std::min(rowsPerBand, height - y0);
            const int top = height - y0 - rows;
            // Each band starts from the state of a fresh context and a new
            // state cache, as the one-piece render does.
            glPushAttrib(GL_ALL_ATTRIB_BITS);
            glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
            states_ = std::make_unique<TGLStateCache>();
            clearGLError();
            setupFrameState();
            glViewport(0, 0, width, height);
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, y0, width, rows);
            // One clear sets every pixel of the band to what the one-piece
            // render starts from: the frame's clear where it clears, and a
            // new framebuffer's zeros where it does not (given-back pages
            // read as zeros too, but those at the block's ends are kept).
            const bool clearsColor =
                !contextOptions_.contains(roNoColorBuffer) && !contextOptions_.contains(roNoColorBufferClear);
            const TVector bg = ColorFromWindowColor(backgroundColor_, 1);
            if (clearsColor)
                glClearColor(bg.X, bg.Y, bg.Z, bg.W);
            else
                glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            glClearColor(bg.X, bg.Y, bg.Z, bg.W);
            renderDPI_ = dpi != 0 ? dpi : ScreenDPI;
            viewport_ = {0, 0, width, height};
            stage("render");
            baseRender(viewport_, renderDPI_, dsPrinting, nullptr);
            checkOpenGLError();
            glFinish();
            glPopClientAttrib();
            glPopAttrib();
            stage("read-back");
            // The framebuffer's top row is the band's first.
            for (int done = 0; done < rows; done += readRows) {
                const int n = std::min(readRows, rows - done);
                temp->readRowsBgra(y0 + rows - done - n, n, bgra.data());
                for (int r = 0; r < n; ++r) {
                    const std::uint8_t* from = bgra.data() + std::size_t(n - 1 - r) * width * 4;
                    dropFourthByte(from, bgr.data() + std::size_t(r) * width * 3, std::size_t(width));
                }
                sink(TGLBitmapBand{{bgr.data(), width, n, std::ptrdiff_t(width) * 3, true}, top + done});
                temp->rebind();
            }
            if (bands) temp->releasePixelPages();
        }
    });
}

} // namespace velmora
