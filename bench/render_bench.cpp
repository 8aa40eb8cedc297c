// Frame time of the default box scene at 1280 x 720 once its textures are
// uploaded, and the time to convert and upload the six face textures.

#include "../tests/engine/BoxSceneFixture.h"

#include "engine/gl/GLContext.h"
#include "engine/render/RenderPass.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <filesystem>

namespace {

using velmora::test::BoxSceneFixture;
using namespace velmora;

// Whether there is an EGL display to render on; the benchmark is skipped if not.
bool canRender(benchmark::State& state)
{
    if (!TGLHeadlessContext::available()) {
        state.SkipWithError("no headless EGL display");
        return false;
    }
    // bench/ sits directly below the source root.
    BoxSceneFixture::SourceRoot = std::string(VELMORA_SOURCE_DIR) + "/";
    return true;
}

// The fixture's box scene in a headless buffer of w x h.
void attach(BoxSceneFixture& fx, TGLSceneBuffer& buffer, int w, int h)
{
    fx.setUpBuffer(buffer);
    buffer.Resize(w, h);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(w, h));
}

// Waits until GL has finished everything asked of it.
void finish(TGLSceneBuffer& buffer)
{
    buffer.RenderingContext()->Activate();
    glFinish();
    buffer.RenderingContext()->Deactivate();
}

void BM_FrameDefaultScene1280x720(benchmark::State& state)
{
    if (!canRender(state)) return;
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    attach(fx, buffer, 1280, 720);
    buffer.Render(); // uploads the textures
    for (auto _ : state) {
        buffer.Render();
        finish(buffer); // a frame counts once GL has finished it
    }
    buffer.DestroyRenderingContext();
}
BENCHMARK(BM_FrameDefaultScene1280x720)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadSixFaceTextures(benchmark::State& state)
{
    if (!canRender(state)) return;
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    attach(fx, buffer, 64, 64);
    for (auto _ : state) {
        buffer.RenderingContext()->Activate();
        releaseHandles(fx.scene.Objects(), true);
        glFinish();
        buffer.RenderingContext()->Deactivate();
        // A frame uploads all six again; the 64 x 64 frame itself is cheap.
        buffer.Render();
        finish(buffer);
    }
    buffer.DestroyRenderingContext();
}
BENCHMARK(BM_UploadSixFaceTextures)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
