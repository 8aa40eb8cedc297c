#include "files/DumpStream.h"
#include "files/FilesTestSupport.h"
#include "files/SceneFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

using namespace velmora;
using namespace velmora::test;

namespace {

std::string dumpOf(const ComponentNode& n)
{
    std::ostringstream out;
    dumpStream(n, out);
    return out.str();
}

std::string lineOf(const std::string& dump, const std::string& key)
{
    const auto at = dump.find(key + " = ");
    if (at == std::string::npos) return "<missing " + key + ">";
    return dump.substr(at + key.size() + 3, dump.find('\n', at) - at - key.size() - 3);
}

// Each key's line of the dump holds its value.
void expectLines(const std::string& dump, const std::vector<std::pair<std::string, std::string>>& lines)
{
    for (const auto& [key, value] : lines) EXPECT_EQ(lineOf(dump, key), value) << key;
}

TEST(DumpStream, ReproducesTheReferenceDumpOfTheDefaultScene)
{
    const auto bytes = readFileBytes(streams() / "default-scene.gls");
    EXPECT_EQ(dumpStream(bytes), readText(streams() / "default-scene.dump.txt"));
}

TEST(DumpStream, FloatsShowBitsAndNineDigits)
{
    ComponentNode root = node("TGLScene", "GLScene1");
    ComponentNode cube = node("TGLDummyCube", "C");
    auto add = [&](const std::string& n, long double v) { cube.properties.push_back({n, StreamValue::ofExtended(v)}); };
    add("TagFloat", 1e-8L);
    add("PitchAngle", 123456789012.0L);
    add("RollAngle", -0.1f);
    add("TurnAngle", 99999.9999L);
    add("CubeSize", -0.0L);
    root.children.push_back(cube);
    const std::string d = dumpOf(root);
    expectLines(d,
                {
                    {"GLScene1/C TagFloat", "0x322BCC77 9.99999994e-09"},
                    {"GLScene1/C PitchAngle", "0x51E5F4C9 1.23456791e+11"},
                    {"GLScene1/C RollAngle", "0xBDCCCCCD -0.100000002"},
                    {"GLScene1/C TurnAngle", "0x47C35000 100000"},
                    {"GLScene1/C CubeSize", "0x80000000 -0"},
                });
}

TEST(DumpStream, AbsentPropertiesShowWhatANewObjectHoldsAndStrayRecordsAreListed)
{
    ComponentNode root = node("TGLScene", "GLScene1");
    ComponentNode cam = node("TGLCamera", "Cam");
    cam.properties.push_back({"Position.Z", StreamValue::ofExtended(2)});
    cam.properties.push_back({"Bogus", StreamValue::ofInteger(7)});
    ComponentNode pts = node("TGLPoints", "P");
    std::string block(12, '\0');
    const float sizes[3] = {2, 64, 3};
    std::memcpy(block.data(), sizes, 12);
    pts.properties.push_back({"PointParameters.PointParams", StreamValue::ofBinary(block)});
    ComponentNode odd = node("TGLCube", "Q");
    root.children = {cam, pts, odd};
    const std::string d = dumpOf(root);
    expectLines(d,
                {
                    {"GLScene1/Cam DepthOfView", "0x42C80000 100"},
                    {"GLScene1/Cam Direction.Coordinates", "0x00000000 0 0x00000000 0 0xBF800000 -1 0x00000000 0"},
                    {"GLScene1/Cam TargetObject", "nil"},
                    {"GLScene1/Cam Position.Z", "0x40000000 2"},
                    {"GLScene1/Cam Bogus", "7"},
                    {"GLScene1/P PointParameters.MaxSize", "0x42800000 64"},
                    {"GLScene1/P PointParameters.FadeTresholdSize", "0x40400000 3"},
                });
    EXPECT_NE(d.find("object GLScene1/Q TGLCube\nGLScene1/Q #children =\n"), std::string::npos);
    EXPECT_NE(d.find("GLScene1 #children = Cam P Q\n"), std::string::npos);
}

TEST(DumpStream, DamagedPictureBlocksAreDescribedNotOverread)
{
    ComponentNode root = node("TGLScene", "S");
    ComponentNode plane = node("TGLPlane", "PL");
    // Claims 1000 bytes of data but holds 4.
    std::string block = std::string("\x05TFake", 6) + std::string("\xE8\x03\x00\x00", 4) + "abcd";
    plane.properties.push_back({"Material.Texture.Image.Picture.Data", StreamValue::ofBinary(block)});
    plane.properties.push_back({"Hint", StreamValue::ofIdent("notAString")});
    root.children.push_back(plane);
    const std::string d = dumpOf(root);
    EXPECT_EQ(lineOf(d, "S/PL Material.Texture.Image.Picture.Data"), "class=TFake block=14 size=1000 damaged");
    EXPECT_EQ(lineOf(d, "S/PL Hint"), "notAString");
}

TEST(DumpStream, DamagedStreamsFailWithTheReadersMessage)
{
    const auto bytes = readFileBytes(streams() / "malformed" / "trunc_at_end.gls");
    try {
        dumpStream(bytes);
        FAIL() << "no error";
    } catch (const EFilerError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_THROW(readSceneStreamBytes(streams() / "no-such.gls"), EFilerError);
}

} // namespace
