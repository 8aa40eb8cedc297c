// Open reads the whole file before it changes anything: a missing, foreign or
// damaged file leaves the open box exactly as it was, with the reason shown.
#include "TestSupport.h"
#include "box/MainModel.h"
#include "box/SceneFiles.h"
#include "engine/Scene.h"
#include "files/IniFile.h"
#include "files/SceneBinding.h"
#include "files/SceneFile.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::messageOf;
using test::readText;

struct Snapshot {
    std::vector<std::uint8_t> stream;
    std::string settings;
    std::uint32_t boxType;
    bool pristine, open;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(TfrmMainModel& m)
{
    IniFile ini;
    writeSceneIni(ini, currentSceneSettings(m));
    return {saveSceneToStream(*m.scene()->sceneGraph()), ini.text(), m.BoxType, m.PristineScene, m.sceneOpen()};
}

void zipWith(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& members)
{
    int err = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_TRUE(z);
    for (const auto& [name, data] : members) {
        char* copy = static_cast<char*>(malloc(data.size() + 1));
        memcpy(copy, data.data(), data.size());
        zip_file_add(z, name.c_str(), zip_source_buffer(z, copy, data.size(), 1), 0);
    }
    zip_close(z);
}

class OpenKeepsTheBox : public ::testing::Test {
protected:
    const test::ScratchDir scratch{"velmora-openkeeps"};
    const fs::path& dir = scratch.path;
    std::unique_ptr<TfrmMainModel> m;

    void SetUp() override
    {
        fs::create_directories(dir / "work");
        m = std::make_unique<TfrmMainModel>(std::string(VELMORA_BIN_DIR) + "/", (dir / "work").string() + "/");
        installSceneFiles(*m);
        ASSERT_TRUE(m->scene() && m->scene()->sceneGraph());
        m->New1Click();
        // A box the user has worked on.
        m->tbBoxWidth.setPosition(55);
        m->cbAxes.setChecked(true);
        m->tbReflectionOpacity.setPosition(31);
        m->scene()->sceneGraph()->FindSceneObject("GLCamera1")->Position().SetX(3.5f);
    }
    void TearDown() override { m.reset(); }
};

TEST_F(OpenKeepsTheBox, MissingForeignAndDamagedFilesChangeNothing)
{
    const Snapshot before = snapshot(*m);
    const fs::path data = fs::path(VELMORA_TEST_DATA);
    test::writeFile(dir / "notes.vlm", "just some text");
    zipWith(dir / "noscene.vlm", {{"Scene.ini", "[Reflection]\r\nOpacity=5\r\n[Box]\r\nType=1\r\n"}});
    zipWith(dir / "damaged.vlm",
            {{"Scene.ini", "[Reflection]\r\nOpacity=5\r\n"},
             {"Scene.gls", readText(data / "streams" / "malformed" / "trunc_in_value.gls")}});

    struct Case {
        fs::path file;
        int filter;
        std::string message;
    };
    const Case cases[] = {
        {dir / "absent.vlm", 1, "File not found: \"" + (dir / "absent.vlm").string() + "\""},
        {dir / "absent.gls", 2, "File not found: \"" + (dir / "absent.gls").string() + "\""},
        {dir / "notes.vlm", 1, "Unhandled Archive Type"},
        {dir / "noscene.vlm", 1, "File not found: \"" + (dir / "work" / "Scene.gls").string() + "\""},
        {data / "streams" / "malformed" / "trunc_in_value.gls", 2, ""},
        {dir / "damaged.vlm", 1, ""},
        {data / "hostile" / "stream-plane-bmp-rle-16384-no-data.gls", 0,
         "Error reading P1.Material.Texture.Image.Picture.Data: Bitmap image is not valid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        const std::string got = messageOf([&] { m->Open1Click(c.file.string(), c.filter); });
        EXPECT_NE(got, "(no error)");
        if (!c.message.empty()) EXPECT_EQ(got, c.message);
        EXPECT_TRUE(snapshot(*m) == before);
        EXPECT_TRUE(fs::is_empty(dir / "work")); // working files gone as well
    }
    // The same through the command line's open.
    EXPECT_EQ(messageOf([&] { m->openFromCommandLine((dir / "notes.vlm").string()); }), "Unhandled Archive Type");
    EXPECT_TRUE(snapshot(*m) == before);
}

TEST_F(OpenKeepsTheBox, AGoodFileReplacesTheBoxAfterTheRead)
{
    const fs::path saved = dir / "saved.vlm";
    m->Save1Click(saved.string(), 1);
    const Snapshot stored = snapshot(*m);
    m->New1Click();
    EXPECT_FALSE(snapshot(*m) == stored);
    m->Open1Click(saved.string(), 1);
    EXPECT_TRUE(snapshot(*m) == stored);
    EXPECT_EQ(m->tbBoxWidth.position(), 55);
    EXPECT_TRUE(fs::is_empty(dir / "work"));
    // Opening one box over another a few times keeps giving the same box.
    for (int i = 0; i < 3; ++i) m->Open1Click(saved.string(), 1);
    EXPECT_TRUE(snapshot(*m) == stored);
}

TEST_F(OpenKeepsTheBox, SavingABoxTypeOtherThanOneSaysSoAndWritesNothing)
{
    m->BoxType = 2;
    const fs::path file = dir / "typed.vlm";
    EXPECT_EQ(messageOf([&] { m->Save1Click(file.string(), 1); }),
              "Unable to save scene. Box type 2 cannot be saved as a scene archive.");
    EXPECT_FALSE(fs::exists(file));
    // The bare stream has no settings and is written whatever the type.
    EXPECT_EQ(messageOf([&] { m->Save1Click((dir / "typed.gls").string(), 2); }), "(no error)");
    EXPECT_TRUE(fs::exists(dir / "typed.gls"));
}

} // namespace
} // namespace velmora
