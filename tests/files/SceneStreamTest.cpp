#include "files/SceneStream.h"
#include "files/FilesTestSupport.h"
#include "files/SceneFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace velmora;
using namespace velmora::test;

namespace {

const PropertyDef& def(const std::string& cls, const std::string& path)
{
    const PropertyDef* d = findSceneClass(cls)->find(path);
    if (!d) throw std::logic_error("no " + cls + "." + path);
    return *d;
}

std::vector<std::uint8_t> encoded(const std::string& cls, const std::string& path, const PropertyValue& v)
{
    auto e = encodeProperty(def(cls, path), v);
    return e ? bytesOf(*e) : std::vector<std::uint8_t>{};
}

PropertyValue integer(std::int64_t i)
{
    PropertyValue v;
    v.integer = i;
    return v;
}

PropertyValue number(float f)
{
    PropertyValue v;
    v.number = f;
    return v;
}

std::string readOutcome(const std::vector<std::uint8_t>& bytes)
{
    auto scene = newBagScene();
    BagFactory factory;
    return outcomeOf([&] { readSceneStream(bytes, *scene, factory); });
}

TEST(SceneStreamValues, IntegersTakeTheSmallestTagAndDefaultsAreLeftOut)
{
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(encoded("TGLPlane", "Tag", integer(127)), (B{2, 127}));
    EXPECT_EQ(encoded("TGLPlane", "Tag", integer(128)), (B{3, 0x80, 0}));
    EXPECT_EQ(encoded("TGLPlane", "Tag", integer(-129)), (B{3, 0x7F, 0xFF}));
    EXPECT_EQ(encoded("TGLPlane", "Tag", integer(40000)), (B{4, 0x40, 0x9C, 0, 0}));
    EXPECT_TRUE(encoded("TGLPlane", "Tag", integer(0)).empty());
    EXPECT_TRUE(encoded("TGLPlane", "XTiles", integer(1)).empty());
    EXPECT_TRUE(encoded("TGLMirror", "Slices", integer(16)).empty());
}

TEST(SceneStreamValues, FloatsBooleansSetsAndStrings)
{
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(encoded("TGLPlane", "TagFloat", number(1)), (B{5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_TRUE(encoded("TGLPlane", "TagFloat", number(0)).empty());
    EXPECT_TRUE(encoded("TGLPlane", "XScope", number(1)).empty());
    EXPECT_FALSE(encoded("TGLPlane", "XScope", number(0)).empty());
    // NoZWrite has no default: false is written.
    EXPECT_EQ(encoded("TGLPlane", "NoZWrite", integer(0)), (B{8}));
    EXPECT_TRUE(encoded("TGLPlane", "Visible", integer(1)).empty());
    EXPECT_EQ(encoded("TGLPlane", "Visible", integer(0)), (B{8}));
    // Empty set against a non-empty default.
    EXPECT_EQ(encoded("TGLPlane", "Style", integer(0)), (B{11, 0}));
    EXPECT_TRUE(encoded("TGLPlane", "Style", integer(3)).empty());
    PropertyValue s;
    s.text = std::string(256, 'h');
    const auto longString = encoded("TGLPlane", "Hint", s);
    ASSERT_EQ(longString.size(), 1u + 4 + 256);
    EXPECT_EQ(B(longString.begin(), longString.begin() + 5), (B{12, 0, 1, 0, 0}));
    s.text.resize(255);
    EXPECT_EQ(encoded("TGLPlane", "Hint", s)[0], 6);
    EXPECT_TRUE(encoded("TGLPlane", "Hint", PropertyValue{}).empty());
}

TEST(SceneStreamValues, VectorsAndReferences)
{
    PropertyValue p;
    p.vec = {0, -0.4f, 0, 1};
    EXPECT_EQ(
        encoded("TGLPlane", "Position.Coordinates", p),
        (std::vector<std::uint8_t>{10, 16, 0, 0, 0, 0, 0, 0, 0, 0xCD, 0xCC, 0xCC, 0xBE, 0, 0, 0, 0, 0, 0, 0x80, 0x3F}));
    PropertyValue r;
    r.text = "DummyCube2";
    const auto ref = encodeProperty(def("TGLMirror", "MirrorObject"), r);
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->tag, ValueTag::vaIdent);
    EXPECT_EQ(ref->text, "frmMain.DummyCube2");
    EXPECT_FALSE(encodeProperty(def("TGLMirror", "MirrorObject"), PropertyValue{}));

    EXPECT_EQ(referenceTargetName("frmMain.DummyCube2"), "DummyCube2");
    EXPECT_EQ(referenceTargetName("DummyCube2"), "DummyCube2");
    EXPECT_FALSE(referenceTargetName("frmOther.DummyCube2"));
    EXPECT_FALSE(referenceTargetName("frmMain.DummyCube2.X"));
}

TEST(SceneStreamValues, AZeroThatAReaderWouldTurnIntoAnotherValueIsWritten)
{
    // A plane of height 0 would come back with the initial height 1.
    EXPECT_FALSE(encoded("TGLPlane", "Height", number(0)).empty());
    EXPECT_FALSE(encoded("TGLLightSource", "SpotCutOff", number(0)).empty());
    EXPECT_TRUE(encoded("TGLPlane", "XOffset", number(0)).empty());
}

TEST(SceneStreamRead, MalformedStreamsGiveTheExpectedOutcomes)
{
    const std::vector<MalformedCase> cases = malformedCases();
    for (const MalformedCase& c : cases)
        EXPECT_EQ(readOutcome(streamBytes("malformed/" + c.file)), c.expected) << c.file;
    EXPECT_GE(cases.size(), 36u);
}

TEST(SceneStreamRead, ReferencesResolveByNameIncludingForwardOnes)
{
    auto scene = newBagScene();
    BagFactory factory;
    readSceneStream(readFileBytes(streams() / "malformed" / "ref_forward.gls"), *scene, factory);
    BagObject* camera = scene->find("GLCamera1");
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->ref("TargetObject"), scene->find("GLPoints1"));
    EXPECT_EQ(factory.finished, 1);

    auto other = newBagScene();
    readSceneStream(readFileBytes(streams() / "malformed" / "ref_plain_unknown.gls"), *other, factory);
    EXPECT_EQ(other->find("GLMirror1")->ref("MirrorObject"), nullptr);
    auto plain = newBagScene();
    readSceneStream(readFileBytes(streams() / "malformed" / "ref_plain_name.gls"), *plain, factory);
    EXPECT_EQ(plain->find("GLMirror1")->ref("MirrorObject"), plain->find("DummyCube2"));
}

TEST(SceneStreamRead, ValuesArriveConvertedForTheirKind)
{
    auto scene = newBagScene();
    BagFactory factory;
    readSceneStream(readFileBytes(streams() / "malformed" / "value_int_tags.gls"), *scene, factory);
    EXPECT_EQ(scene->find("PLLeft")->value("Tag").integer, 127);
    EXPECT_EQ(scene->find("GLMirror1")->value("Tag").integer, 40000);
    EXPECT_EQ(scene->find("DC9")->value("Tag").integer, -129);
    auto comp = newBagScene();
    readSceneStream(readFileBytes(streams() / "malformed" / "prop_published_component.gls"), *comp, factory);
    EXPECT_FLOAT_EQ(comp->find("PLLeft")->value("Position.Z").number, 0.25f);
}

TEST(SceneStreamRead, BehaviourBlocksFromElsewhereAreKeptAndWrittenBack)
{
    auto scene = newBagScene();
    BagFactory factory;
    readSceneStream(readFileBytes(streams() / "malformed" / "behaviours_data.gls"), *scene, factory);
    EXPECT_EQ(scene->find("PLLeft")->value("BehavioursData").text, std::string("\x01\x02\x03"));
    const ComponentNode tree = writeSceneTree(*scene);
    const StreamValue* kept = tree.children.at(0).children.at(0).find("BehavioursData");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->text, std::string("\x01\x02\x03"));
}

class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, ReadingAndWritingGivesTheSameBytes)
{
    const auto original = readFileBytes(streams() / GetParam());
    auto scene = newBagScene();
    BagFactory factory;
    readSceneStream(original, *scene, factory);
    const auto written = writeSceneStream(*scene);
    ASSERT_EQ(written.size(), original.size());
    EXPECT_TRUE(written == original);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RoundTrip,
                         ::testing::Values("default-scene.gls", "mutated-1.gls", "mutated-2.gls", "mutated-3.gls"));

TEST(SceneStreamRead, HostileStreamsFailCleanly)
{
    // Deeply nested objects.
    std::vector<std::uint8_t> deep = {'T', 'P', 'F', '0'};
    auto name = [&](const std::string& s) {
        deep.push_back(static_cast<std::uint8_t>(s.size()));
        deep.insert(deep.end(), s.begin(), s.end());
    };
    name("TGLScene");
    name("GLScene1");
    deep.push_back(0);
    for (int i = 0; i < 5000; ++i) {
        name("TGLDummyCube");
        name("D" + std::to_string(i));
        deep.push_back(0);
    }
    deep.insert(deep.end(), 5001, 0);
    EXPECT_EQ(readOutcome(deep), "Stream read error");

    // A binary block and a long string claiming 4 GB.
    auto withValue = [](std::vector<std::uint8_t> value) {
        std::vector<std::uint8_t> s = {'T', 'P', 'F', '0', 8};
        for (char c : std::string("TGLScene")) s.push_back(c);
        s.push_back(1);
        s.push_back('S');
        s.push_back(4);
        for (char c : std::string("Hint")) s.push_back(c);
        s.insert(s.end(), value.begin(), value.end());
        return s;
    };
    EXPECT_EQ(readOutcome(withValue({12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})), "Error reading S.Hint: Stream read error");
    EXPECT_EQ(readOutcome(withValue({10, 0xF0, 0xFF, 0xFF, 0xFF})), "Error reading S.Hint: Stream read error");
    EXPECT_EQ(readOutcome(withValue({20})), "Error reading S.Hint: Invalid property value");
    EXPECT_EQ(readOutcome({'T', 'P', 'F'}), "Invalid stream format");
    EXPECT_EQ(readOutcome({}), "Invalid stream format");
}

TEST(SceneStreamRead, AFaultBeforeDamageIsReportedFirst)
{
    // An unknown class record followed by a cut: the class is met first.
    std::vector<std::uint8_t> s = {'T', 'P', 'F', '0'};
    for (const std::string& part : {std::string("TGLScene"), std::string("GLScene1")}) {
        s.push_back(static_cast<std::uint8_t>(part.size()));
        s.insert(s.end(), part.begin(), part.end());
    }
    s.push_back(0);
    for (const std::string& part : {std::string("TGLCube"), std::string("C")}) {
        s.push_back(static_cast<std::uint8_t>(part.size()));
        s.insert(s.end(), part.begin(), part.end());
    }
    EXPECT_EQ(readOutcome(s), "Class TGLCube not found");
}

} // namespace
