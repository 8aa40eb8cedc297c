// GL texture names belong to the objects that use them: replacing the scene
// by Open deletes the old scene's names on their own context.
#include "box/MainModel.h"
#include "box/SceneFiles.h"
#include "engine/EngineTestSupport.h"
#include "engine/Scene.h"
#include "engine/SceneBuffer.h"
#include "engine/gl/GLContext.h"
#include "engine/gl/GLNames.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Names the context really holds, asked of GL itself.
int namesHeldBy(TGLContext& context)
{
    context.Activate();
    int n = 0;
    for (GLuint name = 1; name < 4096; ++name)
        if (glIsTexture(name)) ++n;
    context.Deactivate();
    return n;
}

TEST(TextureNames, TenOpensInARowLeaveNoMoreNamesThanOneScene)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    const test::ScratchDir scratch("velmora-texnames");
    const fs::path& dir = scratch.path;
    fs::create_directories(dir / "work");
    {
        TfrmMainModel m(std::string(VELMORA_BIN_DIR) + "/", (dir / "work").string() + "/");
        installSceneFiles(m);
        m.New1Click();
        TGLSceneBuffer buffer;
        m.scene()->bindViewer(buffer);
        buffer.Resize(64, 64);
        buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(64, 64));
        TGLContext& context = *buffer.RenderingContext();
        const long before = TGLTextureName::liveCount();
        buffer.Render();
        const long oneScene = TGLTextureName::liveCount() - before;
        const int heldForOne = namesHeldBy(context);
        ASSERT_GT(oneScene, 0);
        EXPECT_EQ(heldForOne, oneScene);

        const fs::path file = dir / "box.vlm";
        m.Save1Click(file.string(), 1);
        for (int i = 0; i < 10; ++i) {
            m.Open1Click(file.string(), 1);
            buffer.Render();
        }
        EXPECT_LE(TGLTextureName::liveCount() - before, oneScene);
        EXPECT_LE(namesHeldBy(context), heldForOne);

        // The scene's camera left with the old objects; none is left dangling.
        TGLScene& scene = *m.scene()->sceneGraph();
        EXPECT_TRUE(scene.ActiveCamera == nullptr ||
                    scene.FindSceneObject(scene.ActiveCamera->Name()) ==
                        static_cast<TGLBaseSceneObject*>(scene.ActiveCamera));
    }
}

TEST(TextureNames, ANameOutlivingItsContextIsOnlyForgotten)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    const long before = TGLTextureName::liveCount();
    TGLTextureName name;
    {
        TGLHeadlessContext context(4, 4);
        context.Activate();
        name.Create();
        context.Deactivate();
        EXPECT_NE(name.Name(), 0u);
        EXPECT_EQ(TGLTextureName::liveCount(), before + 1);
        // Deleted on its own context although another one is current.
        TGLHeadlessContext other(4, 4);
        other.Activate();
        TGLTextureName second;
        context.Activate();
        second.Create();
        context.Deactivate();
        second.Delete();
        EXPECT_EQ(TGLContext::Current(), &other);
        other.Deactivate();
    }
    name.Delete(); // its context is gone: nothing to call, nothing to crash
    EXPECT_EQ(name.Name(), 0u);
    EXPECT_EQ(TGLTextureName::liveCount(), before);
}

} // namespace
} // namespace velmora
