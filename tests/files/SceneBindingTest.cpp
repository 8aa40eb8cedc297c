#include "files/SceneBinding.h"
#include "files/FilesTestSupport.h"
#include "files/SceneFile.h"

#include "engine/CameraLights.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "engine/SceneBuffer.h"
#include "files/ComponentStream.h"
#include "pictures/Picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace velmora;
using namespace velmora::test;

namespace {

std::string loadOutcome(TGLScene& scene, const std::vector<std::uint8_t>& bytes)
{
    return outcomeOf([&] { loadSceneFromStream(scene, bytes); });
}

class SceneFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(SceneFiles, ReadIntoTheSceneAndWrittenBackGiveTheSameRecords)
{
    const auto original = streamBytes(GetParam());
    TGLScene scene;
    loadSceneFromStream(scene, original);
    const auto written = saveSceneToStream(scene);
    ASSERT_EQ(written.size(), original.size());
    // Compare record by record first: a failure names the property.
    const ComponentNode a = readComponentStream(original), b = readComponentStream(written);
    std::function<void(const ComponentNode&, const ComponentNode&)> same = [&](const ComponentNode& x,
                                                                               const ComponentNode& y) {
        ASSERT_EQ(x.name, y.name);
        ASSERT_EQ(x.properties.size(), y.properties.size()) << x.name;
        for (std::size_t i = 0; i < x.properties.size(); ++i) {
            EXPECT_EQ(x.properties[i].name, y.properties[i].name) << x.name;
            EXPECT_TRUE(x.properties[i].value == y.properties[i].value) << x.name << "." << x.properties[i].name;
        }
        ASSERT_EQ(x.children.size(), y.children.size()) << x.name;
        for (std::size_t i = 0; i < x.children.size(); ++i) same(x.children[i], y.children[i]);
    };
    same(a, b);
    // Pictures included, the stream comes back byte for byte.
    EXPECT_TRUE(written == original);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SceneFiles,
                         ::testing::Values("default-scene.gls", "mutated-1.gls", "mutated-2.gls", "mutated-3.gls"));

TEST(SceneLoad, MalformedStreamsGiveTheExpectedOutcomes)
{
    for (const MalformedCase& c : malformedCases()) {
        TGLScene scene;
        EXPECT_EQ(loadOutcome(scene, streamBytes("malformed/" + c.file)), c.expected) << c.file;
    }
}

TEST(SceneLoad, AFailedLoadLeavesTheSceneAsItWas)
{
    TGLScene scene;
    loadSceneFromStream(scene, streamBytes("default-scene.gls"));
    const auto before = saveSceneToStream(scene);
    for (const char* bad : {"malformed/sig_wrong.gls", "malformed/class_nested_unknown.gls",
                            "malformed/trunc_in_value.gls", "malformed/prop_unknown.gls"}) {
        EXPECT_NE(loadOutcome(scene, streamBytes(bad)), "ok") << bad;
        EXPECT_TRUE(saveSceneToStream(scene) == before) << bad;
    }
    EXPECT_NE(scene.FindSceneObject("PLFront"), nullptr);
}

TEST(SceneLoad, ObjectsReferencesAndTheViewerCameraAreTheNewOnes)
{
    TGLScene scene;
    loadSceneFromStream(scene, streamBytes("default-scene.gls"));
    auto* oldCamera = dynamic_cast<TGLCamera*>(scene.FindSceneObject("GLCamera1"));
    ASSERT_TRUE(oldCamera);
    TGLSceneBuffer buffer;
    buffer.RegisterWith(scene);
    buffer.SetCamera(oldCamera);
    ASSERT_EQ(buffer.Camera(), oldCamera);

    loadSceneFromStream(scene, streamBytes("mutated-1.gls"));
    auto* camera = dynamic_cast<TGLCamera*>(scene.FindSceneObject("GLCamera1"));
    ASSERT_TRUE(camera);
    EXPECT_EQ(buffer.Camera(), camera);
    EXPECT_EQ(camera->TargetObject(), scene.FindSceneObject("PLRight"));
    auto* mirror = dynamic_cast<TGLMirror*>(scene.FindSceneObject("GLMirror1"));
    ASSERT_TRUE(mirror);
    EXPECT_EQ(mirror->MirrorObject(), scene.FindSceneObject("GLPoints1"));
    // Top-level cameras go to the camera group.
    EXPECT_EQ(scene.Cameras().Count(), 1);
    EXPECT_EQ(scene.Cameras().Child(0)->Name(), "GLCamera2");
    EXPECT_EQ(scene.Name(), "GLScene1");
}

TEST(SceneLoad, ValuesOfTheDefaultSceneArriveInTheObjects)
{
    TGLScene scene;
    loadSceneFromStream(scene, streamBytes("default-scene.gls"));
    auto* left = dynamic_cast<TGLPlane*>(scene.FindSceneObject("PLLeft"));
    ASSERT_TRUE(left);
    EXPECT_FLOAT_EQ(left->Position().Y(), -0.4f);
    EXPECT_EQ(left->Position().W(), 1.0f);
    EXPECT_EQ(left->Material().Texture().TextureMode(), tmReplace);
    EXPECT_FALSE(left->Material().Texture().Disabled());
    const TPicture* pic = left->Material().Texture().PictureImage().Picture();
    ASSERT_TRUE(pic && pic->Graphic());
    EXPECT_STREQ(pic->Graphic()->ClassName(), "TJPEGImage");
    auto* bottom = dynamic_cast<TGLPlane*>(scene.FindSceneObject("PLBottom"));
    EXPECT_FLOAT_EQ(bottom->RollAngle(), 90.0f);
    auto* light2 = dynamic_cast<TGLLightSource*>(scene.FindSceneObject("GLLightSource2"));
    ASSERT_TRUE(light2);
    EXPECT_FALSE(light2->Shining());
    EXPECT_EQ(scene.Left(), 8);
    EXPECT_EQ(scene.Top(), 32);
    auto* mirror = dynamic_cast<TGLMirror*>(scene.FindSceneObject("GLMirror1"));
}

TEST(SceneLoad, TheObjectsOwnSetterRulesApplyWhileReading)
{
    TGLScene scene;
    loadSceneFromStream(scene, streamBytes("malformed/setter_rules.gls"));
    auto* left = dynamic_cast<TGLPlane*>(scene.FindSceneObject("PLLeft"));
    ASSERT_TRUE(left);
    EXPECT_FLOAT_EQ(left->PitchAngle(), 10.0f);
    EXPECT_FLOAT_EQ(left->TurnAngle(), 180.0f);
    EXPECT_FLOAT_EQ(left->RollAngle(), -170.0f);
    EXPECT_FLOAT_EQ(left->XScope(), 1.0f);
    EXPECT_EQ(dynamic_cast<TGLMirror*>(scene.FindSceneObject("GLMirror1"))->Slices(), 16);
    EXPECT_FLOAT_EQ(dynamic_cast<TGLLightSource*>(scene.FindSceneObject("GLLightSource3"))->SpotCutOff(), 180.0f);
    auto* camera = dynamic_cast<TGLCamera*>(scene.FindSceneObject("GLCamera1"));
    EXPECT_FLOAT_EQ(camera->FocalLength(), 1.0f);
    EXPECT_FLOAT_EQ(camera->NearPlaneBias(), 1.0f);
    // Stored angles are recorded only: the orientation is the stored one.
    EXPECT_FLOAT_EQ(left->Direction().Z(), 1.0f);
}

ComponentNode* findNode(ComponentNode& n, const std::string& name)
{
    if (n.name == name) return &n;
    for (ComponentNode& c : n.children)
        if (ComponentNode* f = findNode(c, name)) return f;
    return nullptr;
}

// The default scene with one record changed by edit.
template <class Edit> std::vector<std::uint8_t> editedDefaultScene(const std::string& object, Edit&& edit)
{
    ComponentNode tree = readComponentStream(streamBytes("default-scene.gls"));
    ComponentNode* n = findNode(tree, object);
    EXPECT_TRUE(n) << object;
    if (n) edit(*n);
    return writeComponentStream(tree);
}

TEST(SceneLoad, RecordsOfTheDefaultSceneChangedOneByOne)
{
    // A mirror record without MirrorObject gives a mirror that reflects nothing
    // in particular, even where the scene it replaces had one.
    TGLScene scene;
    loadSceneFromStream(scene, streamBytes("default-scene.gls"));
    ASSERT_NE(dynamic_cast<TGLMirror*>(scene.FindSceneObject("GLMirror1"))->MirrorObject(), nullptr);
    loadSceneFromStream(scene, editedDefaultScene("GLMirror1", [](ComponentNode& n) {
                            std::erase_if(n.properties,
                                          [](const PropertyRecord& p) { return p.name == "MirrorObject"; });
                        }));
    auto* mirror = dynamic_cast<TGLMirror*>(scene.FindSceneObject("GLMirror1"));
    ASSERT_TRUE(mirror);
    EXPECT_EQ(mirror->MirrorObject(), nullptr);

    // The root takes its record's name, but not the main window's own.
    loadSceneFromStream(scene, editedDefaultScene("GLScene1", [](ComponentNode& n) { n.name = "Studio"; }));
    EXPECT_EQ(scene.Name(), "Studio");
    loadSceneFromStream(scene, editedDefaultScene("GLScene1", [](ComponentNode& n) { n.name = "frmMain"; }));
    EXPECT_EQ(scene.Name(), "frmMain_1");

    // A stored bitmap under another bitmap class is read into that class.
    loadSceneFromStream(scene, editedDefaultScene("GLDropShadow", [](ComponentNode& n) {
                            for (PropertyRecord& p : n.properties)
                                if (p.name == "Material.Texture.Image.Picture.Data")
                                    p.value.text = std::string("\x0dTTargaGraphic") + p.value.text.substr(10);
                        }));
    const TPicture* pic =
        dynamic_cast<TGLPlane*>(scene.FindSceneObject("GLDropShadow"))->Material().Texture().PictureImage().Picture();
    ASSERT_TRUE(pic && pic->Graphic());
    EXPECT_STREQ(pic->Graphic()->ClassName(), "TTargaGraphic");
    EXPECT_EQ(pic->Graphic()->Width(), 256);
    EXPECT_EQ(pic->Graphic()->Height(), 256);

    // Paths: the whole path as read is named, with the object it belongs to.
    auto withRecord = [](const std::string& object, const std::string& path, StreamValue v) {
        return editedDefaultScene(object, [&](ComponentNode& n) { n.properties.push_back({path, v}); });
    };
    const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
        {withRecord("PLLeft", "Material.Foo.Bar", StreamValue::ofInteger(1)),
         "Error reading PLLeft.Material.Foo.Bar: Property does not exist"},
        {withRecord("PLLeft", "Tag.Low", StreamValue::ofInteger(1)),
         "Error reading PLLeft.Tag.Low: Invalid property path"},
        {withRecord("GLCamera1", "Material.BlendingMode", StreamValue::ofIdent("bmOpaque")),
         "Error reading GLCamera1.Material.BlendingMode: Property does not exist"},
        {withRecord("PLFront", "Material.MaterialOptions", StreamValue::ofSet({"moNoLighting", "moFoo"})),
         "Error reading PLFront.Material.MaterialOptions: Invalid property value"},
        {withRecord("PLFront", "Visible", StreamValue::ofIdent("Maybe")),
         "Error reading PLFront.Visible: Invalid property value"},
    };
    for (const auto& [bytes, message] : cases) {
        TGLScene fresh;
        EXPECT_EQ(loadOutcome(fresh, bytes), message);
        EXPECT_EQ(fresh.FindSceneObject("PLFront"), nullptr) << message; // nothing replaced
    }
}

TEST(SceneFile, MissingFilesAndUnwritableTargetsGiveTheirMessages)
{
    TGLScene scene;
    const ScratchDir dir;
    const auto missing = dir.path / "no-such-scene.gls";
    try {
        loadSceneFromFile(scene, missing);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: \"" + missing.string() + "\"");
    }
    const auto target = dir.path / "no-such-dir" / "x.gls";
    try {
        saveSceneToFile(scene, target);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + target.string());
    }
}

} // namespace
