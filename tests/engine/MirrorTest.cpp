// The mirror's way out: a reflection that fails half-way (a child that
// throws, a throwing event) must leave GL, the state cache and the
// traversal record exactly as a reflection that completes, so the next
// frame looks as if nothing had failed.

#include "engine/EngineTestSupport.h"

#include "engine/gl/GLContext.h"
#include "engine/gl/StateCache.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <stdexcept>
#include <string>

using namespace velmora;
using velmora::test::BoxSceneFixture;

namespace {

// Draws nothing; inside a reflection, when armed, it fails after its
// material has switched texturing on and lighting off.
class FailingInReflection : public TGLPlane {
public:
    bool Armed = false;
    void EmitGeometry(TRenderContextInfo& rci) override
    {
        if (Armed && rci.nestedDraw) throw std::runtime_error("child failed");
    }
};

FailingInReflection* addFailingChild(BoxSceneFixture& fx)
{
    auto* child = fx.box->AddNewChild<FailingInReflection>();
    TGLMaterial& m = child->Material();
    m.SetMaterialOptions({moNoLighting, moIgnoreFog});
    m.Texture().PictureImage().LoadFromFile(BoxSceneFixture::facePicture("Top.jpg"));
    m.Texture().SetDisabled(false);
    return child;
}

// What a mirror may touch: GL enables, lights, matrices, masks and tests,
// the state cache, the buffer's view and the traversal record.
struct Snapshot {
    std::array<bool, kStateCount> enabled{};
    std::array<bool, 9> lightsAndClip{};
    std::array<std::array<float, 4>, 8> lightPositions{};
    GLint matrixMode = 0, modelViewDepth = 0, projectionDepth = 0;
    std::array<float, 16> modelView{}, projection{};
    std::array<GLboolean, 5> writeMasks{};
    GLint depthFunc = 0, stencilFunc = 0, alphaFunc = 0;
    std::array<std::array<float, 4>, 8> materials{};
    TGLStateCache cache;
    TMatrix bufferView;
    TVector eyePosition, eyeDirection;
    bool nestedDraw = false, mirrorRendering = false;
    int lightingSuspend = 0, fogSuspend = 0;
    TGLVisibilityCulling culling{};
    TGLObjectsSorting sorting{};
};

Snapshot snapshot(TGLSceneBuffer& buffer, const TRenderContextInfo& rci, const TGLMirror& mirror)
{
    Snapshot s;
    for (int i = 0; i < kStateCount; ++i) s.enabled[i] = glIsEnabled(TGLStateCache::GLEnum(TGLState(i)));
    while (glGetError() != GL_NO_ERROR) {} // states this GL does not know
    for (int i = 0; i < 8; ++i) {
        s.lightsAndClip[i] = glIsEnabled(GL_LIGHT0 + i);
        glGetLightfv(GL_LIGHT0 + i, GL_POSITION, s.lightPositions[i].data());
    }
    s.lightsAndClip[8] = glIsEnabled(GL_CLIP_PLANE0);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelViewDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projectionDepth);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelView.data());
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
    glGetBooleanv(GL_COLOR_WRITEMASK, s.writeMasks.data());
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.writeMasks[4]);
    glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
    glGetIntegerv(GL_STENCIL_FUNC, &s.stencilFunc);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &s.alphaFunc);
    int m = 0;
    for (GLenum face : {GL_FRONT, GL_BACK})
        for (GLenum what : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION})
            glGetMaterialfv(face, what, s.materials[m++].data());
    s.cache = *rci.states;
    s.bufferView = buffer.ViewMatrix();
    s.eyePosition = rci.eyePosition;
    s.eyeDirection = rci.eyeDirection;
    s.nestedDraw = rci.nestedDraw;
    s.mirrorRendering = mirror.Rendering;
    s.lightingSuspend = rci.lightingSuspendDepth;
    s.fogSuspend = rci.fogSuspendDepth;
    s.culling = rci.culling;
    s.sorting = rci.sorting;
    return s;
}

// The names of the parts that differ, empty when none does.
std::string differences(const Snapshot& a, const Snapshot& b)
{
    std::string d;
    auto check = [&d](bool same, const char* name) {
        if (!same) d += std::string(d.empty() ? "" : ", ") + name;
    };
    check(a.enabled == b.enabled, "enables");
    check(a.lightsAndClip == b.lightsAndClip, "lights or clip plane");
    check(a.lightPositions == b.lightPositions, "light positions");
    check(a.matrixMode == b.matrixMode, "matrix mode");
    check(a.modelViewDepth == b.modelViewDepth, "model-view stack");
    check(a.projectionDepth == b.projectionDepth, "projection stack");
    check(a.modelView == b.modelView, "model-view matrix");
    check(a.projection == b.projection, "projection matrix");
    check(a.writeMasks == b.writeMasks, "write masks");
    check(a.depthFunc == b.depthFunc, "depth function");
    check(a.stencilFunc == b.stencilFunc, "stencil function");
    check(a.alphaFunc == b.alphaFunc, "alpha function");
    // Which texture stays bound is the last object's choice; the cache
    // forgets it after a reflection either way, so the next bind happens.
    check(a.materials == b.materials, "material colours");
    check(a.cache == b.cache, "state cache");
    check(a.bufferView == b.bufferView, "buffer view");
    check(a.eyePosition == b.eyePosition && a.eyeDirection == b.eyeDirection, "eye");
    check(a.nestedDraw == b.nestedDraw, "nested draw");
    check(a.mirrorRendering == b.mirrorRendering, "mirror flag");
    check(a.lightingSuspend == b.lightingSuspend && a.fogSuspend == b.fogSuspend, "suspensions");
    check(a.culling == b.culling && a.sorting == b.sorting, "culling or sorting");
    return d;
}

// GL and the cache agree on every cached enable.
void expectCacheMatchesGL(const Snapshot& s)
{
    for (int i = 0; i < kStateCount; ++i)
        if (i != stLogicOp && i != stTextureRect && i != stTextureCubeMap && i != stTexture1D)
            EXPECT_EQ(s.cache.Enabled(TGLState(i)), s.enabled[i]) << "state " << i;
}

class MirrorFailure : public ::testing::Test {
protected:
    void SetUp() override { VELMORA_REQUIRE_HEADLESS_GL(); }
};

} // namespace

TEST_F(MirrorFailure, StateAfterAFailedReflectionEqualsStateAfterOneThatCompletes)
{
    const TMirrorOptions optionSets[] = {{}, {moUseStencil, moOpaque, moMirrorPlaneClip, moClearZBuffer}};
    enum Failure { throwingChild, throwingEvent };
    for (const TMirrorOptions options : optionSets) {
        for (const Failure failure : {throwingChild, throwingEvent}) {
            SCOPED_TRACE(testing::Message() << "options " << options.bits() << ", failure " << failure);
            BoxSceneFixture fx;
            FailingInReflection* child = addFailingChild(fx);
            fx.mirror->SetMirrorOptions(options);
            TGLSceneBuffer buffer;
            fx.setUpBuffer(buffer);
            buffer.SetContextOptions({roDoubleBuffer, roRenderToWindow, roStencilBuffer});
            buffer.Resize(96, 96);
            TGLPixelFormatRequest request = buffer.PixelFormatRequest();
            buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(96, 96, request));

            bool ran = false;
            // At the start of the pass: the frame is set up and the record
            // is fresh, so the mirror can be drawn here on its own, twice as
            // it should go and once failing.
            buffer.InitiateRendering = [&](TGLSceneBuffer* b, TRenderContextInfo& rci) {
                ran = true;
                fx.mirror->DrawNode(rci, false, false);
                const Snapshot first = snapshot(*b, rci, *fx.mirror);
                fx.mirror->DrawNode(rci, false, false);
                const Snapshot completed = snapshot(*b, rci, *fx.mirror);
                EXPECT_EQ(differences(first, completed), "");
                expectCacheMatchesGL(completed);

                if (failure == throwingChild)
                    child->Armed = true;
                else
                    fx.mirror->OnBeginRenderingMirrors = [](TGLBaseSceneObject*) {
                        throw std::runtime_error("event failed");
                    };
                EXPECT_THROW(fx.mirror->DrawNode(rci, false, false), std::runtime_error);
                child->Armed = false;
                fx.mirror->OnBeginRenderingMirrors = nullptr;
                const Snapshot failed = snapshot(*b, rci, *fx.mirror);
                EXPECT_EQ(differences(failed, completed), "");
                expectCacheMatchesGL(failed);
            };
            buffer.Render();
            EXPECT_TRUE(ran);
            buffer.DestroyRenderingContext();
        }
    }
}

TEST_F(MirrorFailure, NextFrameRendersExactlyAsWithoutTheFailure)
{
    BoxSceneFixture fx;
    FailingInReflection* child = addFailingChild(fx);
    // From the left, so the first face of the box (PLLeft) is in sight: a
    // cache left out of step would draw it without its picture.
    fx.camera->SetPosition({5.958f, -4.419f, 1.676f, 1});
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    buffer.Resize(492, 473);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(492, 473));
    auto* context = static_cast<TGLHeadlessContext*>(buffer.RenderingContext());
    auto modelViewDepth = [&] {
        GLint depth = 0;
        context->Activate();
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        context->Deactivate();
        return depth;
    };

    buffer.Render();
    TGLBitmap24 before;
    context->readPixels(before);
    const GLint depthBefore = modelViewDepth();

    child->Armed = true;
    EXPECT_THROW(buffer.Render(), std::runtime_error);
    child->Armed = false;
    EXPECT_FALSE(buffer.Rendering());
    EXPECT_FALSE(fx.mirror->Rendering);
    EXPECT_EQ(modelViewDepth(), depthBefore) << "matrices pushed by the failed frame were not popped";

    buffer.Render();
    TGLBitmap24 after;
    context->readPixels(after);
    ASSERT_EQ(after.Data.size(), before.Data.size());
    EXPECT_EQ(velmora::test::differingBytes(before, after), 0u);
    buffer.DestroyRenderingContext();
}
