#include "files/SceneArchive.h"
#include "TestSupport.h"
#include "files/SceneFile.h"
#include "files/ZipArchive.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

using test::readText;
using test::writeFile;

// A stand-in for the window model: the "scene" is a byte string written as the
// stream, and the settings are a plain struct.
struct FakeScene {
    std::string scene = "TPF0 scene bytes";
    std::string loaded;
    std::vector<std::string> log;
    SceneIniSettings settings;
    SceneIniSettings applied;
    int boxType = 1;

    SceneArchiveHost host()
    {
        SceneArchiveHost h;
        h.saveSceneStream = [this](const fs::path& p) {
            std::ofstream out(p, std::ios::binary | std::ios::trunc);
            if (!out) throw std::runtime_error("Cannot create file " + p.string());
            out << scene;
            log.push_back("save");
        };
        h.loadSceneStream = [this](const fs::path& p) {
            if (!fs::exists(p)) throw std::runtime_error("File not found: \"" + p.string() + "\"");
            loaded = readText(p);
            log.push_back("load");
        };
        h.currentSettings = [this] { return settings; };
        h.applySettings = [this](const SceneIniSettings& s) {
            applied = s;
            log.push_back("apply");
        };
        h.boxType = [this] { return boxType; };
        h.processMessages = [this] { log.push_back("messages"); };
        return h;
    }
};

// A scratch folder with the program's working folder "Temp" inside.
struct Dirs {
    test::ScratchDir scratch{"velmora-arch"};
    const fs::path& root = scratch.path;
    const fs::path work = root / "Temp";
    Dirs() { fs::create_directories(work); }
};

SceneIniSettings sample()
{
    SceneIniSettings s;
    s.reflectionVisible = false;
    s.reflectionOpacity = 73;
    s.dropShadowWidth = 11;
    s.dropShadowHeight = 22;
    s.dropShadowVisible = true;
    s.pointOfFocusVisible = true;
    s.boxWidth = 100;
    s.boxHeight = 120;
    s.boxDepth = 30;
    s.colorRed = 10;
    s.colorGreen = 20;
    s.colorBlue = 30;
    s.cameraX = 0.2f;
    s.cameraY = -1e-8f;
    s.cameraZ = 5;
    s.leftFace = {-0.5f, 0.1f, 0, 2, 3, 1};
    s.reflectionFace = {0, -0.4f, 0, 8, 8, 1};
    s.mirrorRed = 1;
    s.mirrorGreen = 0.5f;
    s.mirrorBlue = 0.25f;
    s.mirrorAlpha = 0.7f;
    return s;
}

} // namespace

TEST(SceneIni, WritesSectionsInFileOrderAndReadsBack)
{
    IniFile ini;
    writeSceneIni(ini, sample());
    EXPECT_EQ(ini.sections(),
              (std::vector<std::string>{"Box", "Reflection", "DropShadow", "PointOfFocus", "BoxDimensions", "Scene",
                                        "Camera", "LeftFace", "RightFace", "TopFace", "BottomFace", "FrontFace",
                                        "BackFace", "DropShadowFace", "ReflectionFace"}));
    EXPECT_EQ(ini.keys("Reflection"), (std::vector<std::string>{"Visible", "Opacity", "Width", "Height"}));
    EXPECT_EQ(ini.keys("ReflectionFace"),
              (std::vector<std::string>{"PosX", "PosY", "PosZ", "ScaleX", "ScaleY", "ScaleZ", "Red", "Green", "Blue",
                                        "Alpha"}));
    EXPECT_EQ(ini.readString("Camera", "X", ""), "0.200000002980232");
    EXPECT_EQ(ini.readString("Reflection", "Visible", ""), "0");
    EXPECT_EQ(ini.readString("Reflection", "Width", ""), "11");

    SceneIniSettings back = readSceneIni(ini, SceneIniSettings{});
    const SceneIniSettings s = sample();
    EXPECT_EQ(back.dropShadowWidth, 11);
    EXPECT_EQ(back.dropShadowHeight, 22);
    EXPECT_TRUE(back.dropShadowVisible);
    EXPECT_FALSE(back.reflectionVisible);
    EXPECT_EQ(back.cameraX, s.cameraX);
    EXPECT_EQ(back.cameraY, s.cameraY);
    EXPECT_EQ(back.leftFace.posY, s.leftFace.posY);
    EXPECT_EQ(back.reflectionFace.posY, s.reflectionFace.posY);
    EXPECT_EQ(back.mirrorAlpha, s.mirrorAlpha);
    EXPECT_EQ(back.backgroundWindowColor(), 10u + 20u * 256 + 30u * 65536);
}

TEST(SceneIni, MissingKeysKeepCurrentValuesButColoursAndTypeHaveFixedDefaults)
{
    IniFile ini;
    ini.parse("[Scene]\nColorGreen=0x10\nColorBlue=300\n[Box]\nType=junk\n[Camera]\nX=1,5\n");
    SceneIniSettings cur = sample();
    cur.boxType = 0;
    SceneIniSettings s = readSceneIni(ini, cur);
    EXPECT_EQ(s.colorRed, 255); // missing: full red, not the current value
    EXPECT_EQ(s.colorGreen, 16);
    EXPECT_EQ(s.colorBlue, 300 & 0xFF);
    EXPECT_EQ(s.boxType, 1);
    EXPECT_EQ(s.cameraX, 1.5f);
    EXPECT_EQ(s.cameraY, cur.cameraY);
    EXPECT_EQ(s.reflectionOpacity, cur.reflectionOpacity);
    EXPECT_EQ(s.boxDepth, cur.boxDepth);
    EXPECT_EQ(s.leftFace.scaleY, cur.leftFace.scaleY);
}

TEST(SceneArchive, SaveWritesArchiveOrBareStreamByPathAndFilter)
{
    Dirs d;
    FakeScene scene;
    scene.settings = sample();
    saveScene(d.root / "box.vlm", SceneFilter::Archive, d.work, scene.host());
    EXPECT_EQ(detectSceneContainer(d.root / "box.vlm"), SceneContainer::Zip);
    {
        ZipReader r(d.root / "box.vlm");
        ASSERT_EQ(r.count(), 2u);
        EXPECT_EQ(r.name(0), "Scene.gls");
        EXPECT_EQ(r.name(1), "Scene.ini");
        EXPECT_EQ(r.read(0), scene.scene);
        EXPECT_NE(r.read(1).find("[DropShadow]\r\nVisible=1"), std::string::npos);
    }
    EXPECT_TRUE(fs::is_empty(d.work)); // working files removed

    saveScene(d.root / "box.gls", SceneFilter::Archive, d.work, scene.host());
    EXPECT_EQ(readText(d.root / "box.gls"), scene.scene);
    fs::create_directories(d.root / "gls");
    saveScene(d.root / "gls" / "box.vlm", SceneFilter::Archive, d.work, scene.host());
    EXPECT_EQ(readText(d.root / "gls" / "box.vlm"), scene.scene);
    saveScene(d.root / "other.vlm", SceneFilter::Legacy, d.work, scene.host());
    EXPECT_EQ(readText(d.root / "other.vlm"), scene.scene);
    // The test for "gls" is case-sensitive: all lower or all upper case.
    saveScene(d.root / "BOX.GLS", SceneFilter::Archive, d.work, scene.host());
    EXPECT_EQ(readText(d.root / "BOX.GLS"), scene.scene);
    saveScene(d.root / "box.Gls", SceneFilter::Archive, d.work, scene.host());
    EXPECT_EQ(detectSceneContainer(d.root / "box.Gls"), SceneContainer::Zip);
    // The archive-only save ignores what the path holds.
    saveSceneArchive(d.root / "gls" / "forced.vlm", d.work, scene.host());
    EXPECT_EQ(detectSceneContainer(d.root / "gls" / "forced.vlm"), SceneContainer::Zip);

    // Not a box scene: the save says so and writes nothing.
    scene.boxType = 0;
    try {
        saveScene(d.root / "none.vlm", SceneFilter::Archive, d.work, scene.host());
        FAIL();
    } catch (const ESceneArchiveError& e) {
        EXPECT_STREQ(e.what(), "Unable to save scene. Box type 0 cannot be saved as a scene archive.");
    }
    EXPECT_FALSE(fs::exists(d.root / "none.vlm"));
}

TEST(SceneArchive, FailedSaveKeepsTheOldFile)
{
    Dirs d;
    FakeScene scene;
    writeFile(d.root / "old.vlm", "old contents");
    saveScene(d.root / "old.vlm", SceneFilter::Archive, d.work, scene.host());
    EXPECT_EQ(detectSceneContainer(d.root / "old.vlm"), SceneContainer::Zip); // replaced

    writeFile(d.root / "ro.vlm", "read only");
    fs::permissions(d.root / "ro.vlm", fs::perms::owner_read);
    try {
        saveScene(d.root / "ro.vlm", SceneFilter::Archive, d.work, scene.host());
        FAIL();
    } catch (const ESceneArchiveError& e) {
        EXPECT_STREQ(e.what(), "Unable to save scene.");
    }
    EXPECT_EQ(readText(d.root / "ro.vlm"), "read only");
    EXPECT_TRUE(fs::exists(d.work / "temp.zip")); // working files stay after the failure

    // The stream writer fails half way: the old bare stream is kept.
    writeFile(d.root / "keep.gls", "previous");
    SceneArchiveHost h = scene.host();
    h.saveSceneStream = [](const fs::path& p) {
        std::ofstream(p) << "partial";
        throw std::runtime_error("disk full");
    };
    EXPECT_THROW(saveScene(d.root / "keep.gls", SceneFilter::None, d.work, h), std::runtime_error);
    EXPECT_EQ(readText(d.root / "keep.gls"), "previous");
    for (const auto& e : fs::directory_iterator(d.root))
        EXPECT_EQ(e.path().filename().string().find(".keep.gls"), std::string::npos) << e.path();

    try {
        saveScene(d.root / "missing" / "x.gls", SceneFilter::None, d.work, scene.host());
        FAIL();
    } catch (const ESceneArchiveError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + (d.root / "missing" / "x.gls").string());
    }
}

TEST(SceneArchive, OpenAppliesSettingsThenLoadsTheStream)
{
    Dirs d;
    FakeScene saved;
    saved.settings = sample();
    saveScene(d.root / "box.vlm", SceneFilter::Archive, d.work, saved.host());

    FakeScene opened;
    openScene(d.root / "box.vlm", SceneFilter::None, d.work, opened.host());
    EXPECT_EQ(opened.log, (std::vector<std::string>{"apply", "load"}));
    EXPECT_EQ(opened.loaded, saved.scene);
    EXPECT_EQ(opened.applied.reflectionOpacity, 73);
    EXPECT_EQ(opened.applied.cameraX, 0.2f);
    EXPECT_TRUE(fs::is_empty(d.work));

    // A bare stream, by path or by content, loads directly and applies nothing.
    FakeScene legacy;
    writeFile(d.root / "old.gls", "TPF0...");
    openScene(d.root / "old.gls", SceneFilter::None, d.work, legacy.host());
    writeFile(d.root / "stream.vlm", "TPF0...");
    openScene(d.root / "stream.vlm", SceneFilter::Archive, d.work, legacy.host());
    EXPECT_EQ(legacy.log, (std::vector<std::string>{"load", "load"}));

    // An archive is told by its content even where the path or the filter asks
    // for a bare stream: read as one, it could only fail.
    fs::create_directories(d.root / "gls");
    fs::copy_file(d.root / "box.vlm", d.root / "gls" / "box.vlm");
    for (SceneFilter filter : {SceneFilter::None, SceneFilter::Legacy}) {
        FakeScene moved;
        openScene(d.root / "gls" / "box.vlm", filter, d.work, moved.host());
        EXPECT_EQ(moved.log, (std::vector<std::string>{"apply", "load"}));
        EXPECT_EQ(moved.loaded, saved.scene);
        EXPECT_EQ(moved.applied.reflectionOpacity, 73);
    }
}

TEST(SceneArchive, OpenFailuresLeaveTheSceneAlone)
{
    Dirs d;
    FakeScene scene;
    writeFile(d.root / "text.vlm", "hello world");
    try {
        openScene(d.root / "text.vlm", SceneFilter::None, d.work, scene.host());
        FAIL();
    } catch (const EArchiveError& e) {
        EXPECT_STREQ(e.what(), "Unhandled Archive Type");
    }
    // A missing file says so and names it, whatever its name says it is.
    for (const char* name : {"absent.vlm", "absent.gls"}) {
        try {
            openScene(d.root / name, SceneFilter::None, d.work, scene.host());
            FAIL();
        } catch (const EIOError& e) {
            EXPECT_EQ(std::string(e.what()), "File not found: \"" + (d.root / name).string() + "\"");
        }
    }
    EXPECT_TRUE(scene.log.empty());

    // No Scene.gls: the open fails naming the missing member before anything
    // is applied, so the box stays as it was.
    int err = 0;
    zip_t* z = zip_open((d.root / "noscene.vlm").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    static const char ini[] = "[Reflection]\r\nOpacity=5\r\n";
    zip_file_add(z, "sub/Scene.ini", zip_source_buffer(z, ini, sizeof ini - 1, 0), 0);
    zip_close(z);
    try {
        openScene(d.root / "noscene.vlm", SceneFilter::None, d.work, scene.host());
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: \"" + (d.work / "Scene.gls").string() + "\"");
    }
    EXPECT_TRUE(scene.log.empty());
    EXPECT_TRUE(fs::is_empty(d.work));

    // The settings member is still found inside a folder once the stream is there.
    z = zip_open((d.root / "folders.vlm").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    static const char gls[] = "TPF0...";
    zip_file_add(z, "sub/Scene.ini", zip_source_buffer(z, ini, sizeof ini - 1, 0), 0);
    zip_file_add(z, "sub/Scene.gls", zip_source_buffer(z, gls, sizeof gls - 1, 0), 0);
    zip_close(z);
    openScene(d.root / "folders.vlm", SceneFilter::None, d.work, scene.host());
    EXPECT_EQ(scene.log, (std::vector<std::string>{"apply", "load"}));
    EXPECT_EQ(scene.applied.reflectionOpacity, 5);
    EXPECT_EQ(scene.applied.colorRed, 255);
    EXPECT_TRUE(fs::is_empty(d.work));

    // Members named in another case, as a system whose names ignore case may
    // write them, are the members the open looks for.
    z = zip_open((d.root / "upper.vlm").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    zip_file_add(z, "SCENE.INI", zip_source_buffer(z, ini, sizeof ini - 1, 0), 0);
    zip_file_add(z, "x/scene.Gls", zip_source_buffer(z, gls, sizeof gls - 1, 0), 0);
    zip_close(z);
    FakeScene upper;
    openScene(d.root / "upper.vlm", SceneFilter::None, d.work, upper.host());
    EXPECT_EQ(upper.log, (std::vector<std::string>{"apply", "load"}));
    EXPECT_EQ(upper.loaded, std::string(gls, sizeof gls - 1));
    EXPECT_EQ(upper.applied.reflectionOpacity, 5);
    const std::vector<std::uint8_t> stream = readSceneStreamBytes(d.root / "upper.vlm");
    EXPECT_EQ(std::string(stream.begin(), stream.end()), std::string(gls, sizeof gls - 1));
}

namespace velmora {
namespace {

TEST(SceneIni, NumbersBeyondSinglePrecisionReadAsTheDefault)
{
    IniFile ini;
    ini.parse(
        "[Camera]\r\nX=1E39\r\nY=-3.5E300\r\nZ=2.5\r\n[LeftFace]\r\nScaleX=1e-50\r\n[Box]\r\nType=-0x80000000\r\n");
    SceneIniSettings current;
    current.cameraX = 7;
    current.cameraY = 8;
    const SceneIniSettings s = readSceneIni(ini, current);
    EXPECT_EQ(s.cameraX, 7.0f);
    EXPECT_EQ(s.cameraY, 8.0f);
    EXPECT_EQ(s.cameraZ, 2.5f);
    EXPECT_EQ(s.leftFace.scaleX, 0.0f); // underflow is a representable zero
    EXPECT_EQ(s.boxType, INT32_MIN);
}

} // namespace
} // namespace velmora
