#include "app/CommandLine.h"
#include "app/AppTestSupport.h"
#include "box/MainModel.h"
#include "files/FilesTestSupport.h"
#include "files/SceneFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace velmora {
namespace {

using test::CliRun;

CliRun run(const std::vector<std::string>& args)
{
    return test::runCli(args, "9.8.7");
}

TEST(CommandLine, HelpAndVersionSucceedWithoutTheDesktop)
{
    CliRun v = run({"--version"});
    EXPECT_FALSE(v.result.GuiScene);
    EXPECT_EQ(v.result.ExitCode, 0);
    EXPECT_EQ(v.out, "velmora 9.8.7\n");
    CliRun h = run({"--help"});
    EXPECT_EQ(h.result.ExitCode, 0);
    EXPECT_NE(h.out.find("velmora dump SCENE|--default"), std::string::npos);
    // Each sub-command answers --help (or -h, anywhere after it) with the usage
    // on standard output, instead of treating it as an unknown option or a file.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"render", "--help"}, {"dump", "-h"}, {"convert", "--help"}, {"face", "doc.json", "--help"}}) {
        CliRun c = run(args);
        EXPECT_EQ(c.result.ExitCode, 0) << args[0];
        EXPECT_FALSE(c.result.GuiScene) << args[0];
        EXPECT_EQ(c.out, h.out) << args[0];
        EXPECT_EQ(c.err, "") << args[0];
    }
}

TEST(CommandLine, NoArgumentsOrASceneStartTheDesktop)
{
    CliRun none = run({});
    ASSERT_TRUE(none.result.GuiScene);
    EXPECT_EQ(*none.result.GuiScene, "");
    // Only the first argument counts.
    CliRun scene = run({"box.vlm", "other.vlm"});
    ASSERT_TRUE(scene.result.GuiScene);
    EXPECT_EQ(*scene.result.GuiScene, "box.vlm");
}

TEST(CommandLine, WithoutADisplayTheDesktopSaysWhatToDoInstead)
{
    std::map<std::string, std::string> saved;
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (const char* value = std::getenv(v)) saved[v] = value;
        unsetenv(v);
    }
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"box.vlm"}}) {
        CliRun r = run(args);
        EXPECT_FALSE(r.result.GuiScene);
        EXPECT_EQ(r.result.ExitCode, 1);
        EXPECT_NE(r.err.find("no display"), std::string::npos);
        EXPECT_NE(r.err.find("xvfb-run"), std::string::npos);
        for (const char* sub : {"render", "convert", "dump", "face"})
            EXPECT_NE(r.err.find(std::string("velmora ") + sub), std::string::npos) << sub;
    }
    // Sub-commands need no display.
    EXPECT_EQ(run({"--version"}).result.ExitCode, 0);
    for (const auto& [k, v] : saved) setenv(k.c_str(), v.c_str(), 1);
}

TEST(CommandLine, ConvertRefusesOutputNamesOfNoSceneFormat)
{
    test::ScratchDir dir;
    for (const char* target : {"x.txt", "box", "box.vlm.bak", "scene.zip"}) {
        CliRun r = run({"convert", "--default", dir / target});
        EXPECT_EQ(r.result.ExitCode, 2) << target;
        EXPECT_NE(r.err.find("convert writes a .vlm scene archive or a .gls scene stream"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir / target));
    }
}

TEST(CommandLine, UsageErrorsExitWithTwo)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--frobnicate"},
                                                 {"frobnicate"},
                                                 {"dump"},
                                                 {"dump", "a.vlm", "b.vlm"},
                                                 {"dump", "--all"}}) {
        CliRun r = run(args);
        EXPECT_FALSE(r.result.GuiScene) << args[0];
        EXPECT_EQ(r.result.ExitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(CommandLine, DumpRefusesWhatOpeningRefusesWithTheSameMessage)
{
    for (const test::MalformedCase& c : test::malformedCases()) {
        CliRun d = run({"dump", (test::streams() / "malformed" / c.file).string()});
        if (c.expected == "ok") {
            EXPECT_EQ(d.result.ExitCode, 0) << c.file << ": " << d.err;
            EXPECT_EQ(d.out.rfind("object ", 0), 0u) << c.file;
        } else {
            EXPECT_EQ(d.result.ExitCode, 1) << c.file;
            EXPECT_EQ(d.err, "velmora: " + c.expected + "\n") << c.file;
            EXPECT_TRUE(d.out.empty()) << c.file;
        }
    }
}

TEST(CommandLine, DumpPrintsAStreamAndReportsAMissingFile)
{
    CliRun d = run({"dump", "some scene.vlm"});
    EXPECT_EQ(d.result.ExitCode, 1);
    EXPECT_EQ(d.err, "velmora: File not found: \"some scene.vlm\"\n");

    const std::string streams = std::string(VELMORA_FIXTURES) + "/streams/";
    CliRun ok = run({"dump", streams + "default-scene.gls"});
    EXPECT_EQ(ok.result.ExitCode, 0) << ok.err;
    EXPECT_EQ(ok.out, test::readText(streams + "default-scene.dump.txt"));
}

bool defaultSceneLinked()
{
    TfrmMainModel model;
    return model.scene() && model.scene()->sceneGraph();
}

TEST(CommandLine, DefaultSceneDumpAndConvert)
{
    test::ScratchDir dir;
    const std::string out = dir / "convert.gls";
    CliRun d = run({"dump", "--default"});
    CliRun c = run({"convert", "--default", out});
    if (!defaultSceneLinked()) {
        EXPECT_EQ(d.result.ExitCode, 1);
        EXPECT_EQ(d.err, "velmora: The default scene is not available in this build.\n");
        EXPECT_EQ(c.result.ExitCode, 1);
        EXPECT_FALSE(std::filesystem::exists(out));
        return;
    }
    EXPECT_EQ(d.result.ExitCode, 0) << d.err;
    EXPECT_EQ(d.out.rfind("object GLScene1 TGLScene\n", 0), 0u);
    ASSERT_EQ(c.result.ExitCode, 0) << c.err;
    // The converted file dumps like the default scene.
    CliRun again = run({"dump", out});
    EXPECT_EQ(again.out, d.out);
}

TEST(CommandLine, ConvertBetweenStreamAndArchive)
{
    if (!defaultSceneLinked()) GTEST_SKIP() << "no scene graph linked in this build";
    const std::string source = std::string(VELMORA_FIXTURES) + "/streams/mutated-2.gls";
    test::ScratchDir dir;
    const std::string vlm = dir / "convert.vlm", gls = dir / "convert-back.gls";
    CliRun toArchive = run({"convert", source, vlm});
    ASSERT_EQ(toArchive.result.ExitCode, 0) << toArchive.err;
    CliRun back = run({"convert", vlm, gls});
    ASSERT_EQ(back.result.ExitCode, 0) << back.err;
    const std::string expected = run({"dump", source}).out;
    EXPECT_EQ(run({"dump", gls}).out, expected);
    EXPECT_EQ(run({"dump", vlm}).out, expected);
    // Bitmap pictures included, the stream comes back byte for byte.
    EXPECT_TRUE(readFileBytes(gls) == readFileBytes(source));
}

TEST(CommandLine, ConvertGoesByTheExtensionWhateverTheFoldersAreCalled)
{
    if (!defaultSceneLinked()) GTEST_SKIP() << "no scene graph linked in this build";
    const std::string source = std::string(VELMORA_FIXTURES) + "/streams/mutated-1.gls";
    test::ScratchDir dir;
    std::filesystem::create_directories(dir / "gls");
    const std::string vlm = (std::filesystem::path(dir / "gls") / "box.vlm").string();
    const std::string back = dir / "back.gls";
    CliRun toArchive = run({"convert", source, vlm});
    ASSERT_EQ(toArchive.result.ExitCode, 0) << toArchive.err;
    const std::vector<std::uint8_t> archive = readFileBytes(vlm);
    ASSERT_GE(archive.size(), 4u);
    EXPECT_EQ(std::string(archive.begin(), archive.begin() + 4), std::string("PK\3\4", 4));
    // An archive whose path holds "gls" still opens as an archive.
    CliRun fromArchive = run({"convert", vlm, back});
    ASSERT_EQ(fromArchive.result.ExitCode, 0) << fromArchive.err;
    EXPECT_TRUE(readFileBytes(back) == readFileBytes(source));
}

} // namespace
} // namespace velmora
