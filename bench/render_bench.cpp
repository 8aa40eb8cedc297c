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

void useSourceTree()
{
    // bench/ sits directly below the source root.
    BoxSceneFixture::SourceRoot = std::string(VELMORA_SOURCE_DIR) + "/";
}

void BM_FrameDefaultScene1280x720(benchmark::State& state)
{
    if (!TGLHeadlessContext::Available()) {
        state.SkipWithError("no headless EGL display");
        return;
    }
    useSourceTree();
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    buffer.Resize(1280, 720);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(1280, 720));
    buffer.Render(); // uploads the textures
    for (auto _ : state) {
        buffer.Render();
        // A frame counts once GL has finished it.
        buffer.RenderingContext()->Activate();
        glFinish();
        buffer.RenderingContext()->Deactivate();
    }
    buffer.DestroyRenderingContext();
}
BENCHMARK(BM_FrameDefaultScene1280x720)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadSixFaceTextures(benchmark::State& state)
{
    if (!TGLHeadlessContext::Available()) {
        state.SkipWithError("no headless EGL display");
        return;
    }
    useSourceTree();
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    buffer.Resize(64, 64);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(64, 64));
    for (auto _ : state) {
        buffer.RenderingContext()->Activate();
        ReleaseHandles(fx.scene.Objects(), true);
        glFinish();
        buffer.RenderingContext()->Deactivate();
        // A frame uploads all six again; the 64 x 64 frame itself is cheap.
        buffer.Render();
        buffer.RenderingContext()->Activate();
        glFinish();
        buffer.RenderingContext()->Deactivate();
    }
    buffer.DestroyRenderingContext();
}
BENCHMARK(BM_UploadSixFaceTextures)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
