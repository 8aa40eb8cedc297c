#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <sstream>

namespace velmora {
namespace {

struct CliRun {
    TCommandLine result;
    std::string out, err;
};

CliRun run(std::vector<std::string> args)
{
    std::ostringstream out, err;
    CliRun r{RunCommandLine(args, out, err, "9.8.7"), "", ""};
    r.out = out.str();
    r.err = err.str();
    return r;
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

TEST(CommandLine, UsageErrorsExitWithTwo)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--frobnicate"}, {"frobnicate"}, {"dump"}, {"dump", "a.vlm", "b.vlm"},
          {"dump", "--all"}}) {
        CliRun r = run(args);
        EXPECT_FALSE(r.result.GuiScene) << args[0];
        EXPECT_EQ(r.result.ExitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
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
    std::ifstream expected(streams + "default-scene.dump.txt", std::ios::binary);
    const std::string want{std::istreambuf_iterator<char>(expected), std::istreambuf_iterator<char>()};
    EXPECT_EQ(ok.out, want);
}

TEST(CommandLine, CommandsNotYetAvailableFailWithAMessage)
{
    for (const char* cmd : {"render", "convert"}) {
        CliRun r = run({cmd, "--default", "out.jpg"});
        EXPECT_EQ(r.result.ExitCode, 1) << cmd;
        EXPECT_NE(r.err.find("not available yet"), std::string::npos) << cmd;
    }
}

TEST(CommandLine, DumpOfTheDefaultSceneFailsCleanlyWhileNoSceneGraphIsLinked)
{
    CliRun r = run({"dump", "--default"});
    EXPECT_EQ(r.result.ExitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err, "velmora: Dumping the default scene is not available yet.\n");
}

} // namespace
} // namespace velmora
