#include "box/SceneFiles.h"

#include "TestSupport.h"
#include "box/MainModel.h"
#include "engine/CameraLights.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "files/ComponentStream.h"
#include "files/SceneBinding.h"
#include "files/SceneFile.h"
#include "files/ZipArchive.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A box scene link over a scene read from the reference default scene.
class TStreamScene : public TBoxSceneLink {
public:
    TStreamScene() { loadSceneFromFile(Scene, fs::path(VELMORA_FIXTURES) / "streams" / "default-scene.gls"); }
    void applyBoxWidth(int, int) override {}
    void applyBoxHeight(int, int) override {}
    void applyBoxDepth(int) override {}
    void resetToDefaults() override {}
    TGLScene* sceneGraph() override { return &Scene; }
    void sceneReplaced() override { ++Replaced; }
    std::uint32_t backgroundColor() const override { return Background; }
    void setBackgroundColor(std::uint32_t c) override { Background = c; }

    TGLScene Scene;
    int Replaced = 0;
    std::uint32_t Background = 0xFFFFFF;
};

class SceneFilesTest : public ::testing::Test {
protected:
    const test::ScratchDir scratch{"velmora-scenefiles"};
    const fs::path& dir = scratch.path;
    void SetUp() override
    {
        fs::create_directories(dir / "work1");
        fs::create_directories(dir / "work2");
    }

    std::unique_ptr<TfrmMainModel> model(const char* work)
    {
        auto m = std::make_unique<TfrmMainModel>(std::string(), (dir / work).string() + "/",
                                                 [](const std::string&) { return std::make_unique<TStreamScene>(); });
        installSceneFiles(*m);
        m->New1Click();
        return m;
    }
    static TStreamScene& link(TfrmMainModel& m) { return static_cast<TStreamScene&>(*m.scene()); }
};

TEST_F(SceneFilesTest, AnArchiveKeepsTheSceneAndTheSettings)
{
    auto a = model("work1");
    auto* front = a->scene()->sceneGraph()->FindSceneObject("PLFront");
    ASSERT_TRUE(front);
    front->Position().SetX(0.25f);
    a->tbReflectionOpacity.setPosition(7);
    a->cbAxes.setChecked(true);
    link(*a).Background = 0x00FF8040;
    const fs::path file = dir / "box.vlm";
    a->Save1Click(file.string(), 1);

    ZipReader zip(file);
    ASSERT_EQ(zip.count(), 2u);
    EXPECT_TRUE((zip.name(0) == "Scene.gls" && zip.name(1) == "Scene.ini") ||
                (zip.name(0) == "Scene.ini" && zip.name(1) == "Scene.gls"));
    EXPECT_TRUE(fs::is_empty(dir / "work1"));

    auto b = model("work2");
    b->Open1Click(file.string(), 1);
    EXPECT_EQ(b->tbReflectionOpacity.position(), 7);
    EXPECT_TRUE(b->cbAxes.checked());
    EXPECT_EQ(link(*b).Background, 0x00FF8040u);
    EXPECT_EQ(b->BoxType, 1u);
    EXPECT_FALSE(b->PristineScene);
    EXPECT_EQ(link(*b).Replaced, 1);
    EXPECT_TRUE(saveSceneToStream(*b->scene()->sceneGraph()) == saveSceneToStream(*a->scene()->sceneGraph()));
}

TEST_F(SceneFilesTest, GlsPathsGiveTheBareStreamAndLeaveTheControls)
{
    auto a = model("work1");
    const fs::path file = dir / "box.gls";
    a->Save1Click(file.string(), 1);
    EXPECT_EQ(detectSceneContainer(file), SceneContainer::Stream);

    auto b = model("work2");
    b->tbReflectionOpacity.setPosition(2);
    b->Open1Click(file.string(), 2);
    EXPECT_EQ(b->tbReflectionOpacity.position(), 2);
    EXPECT_TRUE(saveSceneToStream(*b->scene()->sceneGraph()) == readFileBytes(file));
}

TEST_F(SceneFilesTest, ADamagedStreamLeavesTheSceneAndItsObjects)
{
    auto a = model("work1");
    TGLScene& scene = *a->scene()->sceneGraph();
    TGLBaseSceneObject* front = scene.FindSceneObject("PLFront");
    const auto before = saveSceneToStream(scene);
    const fs::path bad = fs::path(VELMORA_FIXTURES) / "streams" / "malformed" / "trunc_in_value.gls";
    EXPECT_THROW(a->Open1Click(bad.string(), 2), std::runtime_error);
    EXPECT_EQ(scene.FindSceneObject("PLFront"), front);
    EXPECT_EQ(link(*a).Replaced, 0);
    EXPECT_TRUE(saveSceneToStream(scene) == before);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// Every record of two trees, pictures compared by their class only (the
// reference file holds placeholder pictures).
void expectSameRecordsExceptPictures(const ComponentNode& want, const ComponentNode& got)
{
    ASSERT_EQ(want.className, got.className);
    ASSERT_EQ(want.name, got.name);
    ASSERT_EQ(want.properties.size(), got.properties.size()) << want.name;
    for (std::size_t i = 0; i < want.properties.size(); ++i) {
        const PropertyRecord& w = want.properties[i];
        const PropertyRecord& g = got.properties[i];
        EXPECT_EQ(w.name, g.name) << want.name;
        if (w.name == "Material.Texture.Image.Picture.Data") {
            ASSERT_FALSE(g.value.text.empty()) << want.name;
            const auto n = static_cast<unsigned char>(w.value.text[0]);
            EXPECT_EQ(g.value.text.substr(0, 1u + n), w.value.text.substr(0, 1u + n)) << want.name;
        } else {
            EXPECT_TRUE(w.value == g.value) << want.name << "." << w.name;
        }
    }
    ASSERT_EQ(want.children.size(), got.children.size()) << want.name;
    for (std::size_t i = 0; i < want.children.size(); ++i)
        expectSameRecordsExceptPictures(want.children[i], got.children[i]);
}

TEST(DefaultSceneStream, WrittenAsTheReferenceWriterWritesIt)
{
    TfrmMainModel model;
    TGLScene* scene = model.scene() ? model.scene()->sceneGraph() : nullptr;
    if (!scene) GTEST_SKIP() << "no scene graph linked in this build";
    const ComponentNode reference =
        readComponentStream(readFileBytes(fs::path(VELMORA_FIXTURES) / "streams" / "default-scene.gls"));
    expectSameRecordsExceptPictures(reference, readComponentStream(saveSceneToStream(*scene)));
}

} // namespace
} // namespace velmora

#include "box/BoxScene.h"

namespace velmora {
namespace {

TEST(BoxSceneFiles, AfterOpeningTheWindowsReferencesAreTheNewObjects)
{
    const test::ScratchDir scratch("velmora-boxscenefiles");
    const fs::path& dir = scratch.path;
    TfrmMainModel model(std::string(), dir.string() + "/");
    auto* box = dynamic_cast<TBoxScene*>(model.scene());
    if (!box) GTEST_SKIP() << "no box scene linked in this build";
    installSceneFiles(model);
    model.New1Click();
    const fs::path file = dir / "box.vlm";
    model.Save1Click(file.string(), 1);

    TGLPlane* oldFront = box->PLFront;
    model.Open1Click(file.string(), 1);
    ASSERT_NE(box->PLFront, nullptr);
    EXPECT_NE(box->PLFront, oldFront);
    EXPECT_EQ(box->PLFront, box->GLScene1.FindSceneObject("PLFront"));
    EXPECT_EQ(box->GLMirror1->MirrorObject(), box->DummyCube2);
    // The handlers now work on the new objects.
    const float before = box->PLFront->Scale().X();
    model.tbBoxWidth.setPosition(50);
    EXPECT_NE(box->PLFront->Scale().X(), before);
}

} // namespace
} // namespace velmora
