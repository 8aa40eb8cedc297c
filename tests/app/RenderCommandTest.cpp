#include "app/AppTestSupport.h"
#include "app/CommandLine.h"
#include "engine/EngineTestSupport.h"
#include "engine/gl/GLContext.h"
#include "output/ResampleOracle.h"
#include "pictures/CoreCodecs.h"
#include "pictures/Decoders.h"
#include "pictures/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct CliResult {
    int code;
    std::string err;
};

CliResult render(std::vector<std::string> args)
{
    args.insert(args.begin(), "render");
    const test::CliRun r = test::runCli(args);
    EXPECT_FALSE(r.result.GuiScene);
    EXPECT_TRUE(r.out.empty());
    return {r.result.ExitCode, r.err};
}

using test::decodeFile;
using Folder = test::ScratchDir;

TEST(RenderCommand, BadInputGivesOneMessageAndWritesNothing)
{
    Folder dir;
    const std::string out = dir / "x.jpg";
    const struct {
        std::vector<std::string> args;
        int code;
        const char* text;
    } cases[] = {
        {{"--multiplier", "9", "-o", out}, 2, "--multiplier must be a number from 1 to 4"},
        {{"--multiplier", "0.5", "-o", out}, 2, "--multiplier must be a number from 1 to 4"},
        {{"--multiplier", "4.01", "-o", out}, 2, "--multiplier must be a number from 1 to 4"},
        {{"--multiplier", "nan", "-o", out}, 2, "--multiplier must be a number from 1 to 4"},
        {{"--multiplier", "2x", "-o", out}, 2, "--multiplier must be a number from 1 to 4"},
        {{"--size", "0x10", "-o", out}, 2, "--size 0x10 is out of range"},
        {{"--size", "10", "-o", out}, 2, "WIDTHxHEIGHT"},
        {{"--viewer", "20000x20000", "-o", out}, 2, "--viewer 20000x20000 is out of range"},
        {{"-o", dir / "x.gif"}, 2, "must end in .jpg, .jpeg, .bmp or .png"},
        {{"--default"}, 2, "needs an output file"},
        {{"a.vlm", "b.vlm", "-o", out}, 2, "one scene file"},
        {{"--sideways", "f.png", "-o", out}, 2, "unknown option"},
        {{"--front"}, 2, "--front needs a value"},
        {{"-o", dir / "missing/x.jpg"}, 1, "does not exist"},
        {{dir / "nothing.vlm", "-o", out}, 1, ""},
        {{"--front", dir / "nothing.png", "-o", out}, 1, "Could not open file"},
        {{"--back", dir / "x.xyz", "-o", out}, 1, ""},
    };
    test::writeFile(dir / "x.xyz", "not a picture");
    for (const auto& c : cases) {
        const CliResult r = render(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        // One message line (usage errors add the usage text after it).
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("velmora: ", 1), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"x.xyz"});
}

TEST(RenderCommand, DefaultSceneToJpegBmpAndPng)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    Folder dir;
    CliResult r = render({"--default", "--viewer", "160x120", "-o", dir / "shot.jpg"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()); // not a terminal: no progress line
    const auto jpg = test::readFile(dir / "shot.jpg");
    const TJpegHeader h = readJpegHeader(jpg.data(), jpg.size());
    EXPECT_EQ(h.Width, 160);
    EXPECT_EQ(h.Height, 120);
    EXPECT_FALSE(h.Grayscale);
    EXPECT_FALSE(h.Progressive);
    // Baseline: a start-of-frame 0 marker.
    bool sof0 = false;
    for (size_t i = 0; i + 1 < jpg.size(); ++i) sof0 = sof0 || (jpg[i] == 0xFF && jpg[i + 1] == 0xC0);
    EXPECT_TRUE(sof0);

    ASSERT_EQ(render({"--viewer", "160x120", "--multiplier", "1", "--size", "80x60", "-o", dir / "shot.bmp"}).code, 0);
    const auto bmp = test::readFile(dir / "shot.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(decodeFile(dir / "shot.bmp", decodeBmp).Width, 80);

    ASSERT_EQ(render({"--viewer", "64x48", "-o", dir / "shot.png"}).code, 0);
    const auto png = test::readFile(dir / "shot.png");
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
    EXPECT_EQ(decodeFile(dir / "shot.png", decodePng).Height, 48);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"shot.bmp", "shot.jpg", "shot.png"}));
}

TEST(RenderCommand, FaceOptionPutsThePictureOnTheFront)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    Folder dir;
    // A pure red picture on the front face of a saved scene.
    TDecodedImage red;
    red.allocate(64, 80, TPixelFormat::pf24bit);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 64; ++x) {
            red.row(y)[3 * x] = 0;
            red.row(y)[3 * x + 1] = 0;
            red.row(y)[3 * x + 2] = 255;
        }
    test::writeFile(dir / "red.bmp", encodeBmp(red));
    const test::CliRun convert = test::runCli({"convert", "--default", dir / "scene.vlm"});
    ASSERT_EQ(convert.result.ExitCode, 0) << convert.err;
    ASSERT_EQ(render({dir / "scene.vlm", "--front", dir / "red.bmp", "-o", dir / "b.png"}).code, 0);
    ASSERT_EQ(render({dir / "scene.vlm", "-o", dir / "plain.png"}).code, 0);
    const TDecodedImage with = decodeFile(dir / "b.png", decodePng), without = decodeFile(dir / "plain.png", decodePng);
    ASSERT_EQ(with.Width, 492);
    // The front face covers the middle of the shot.
    auto at = [](const TDecodedImage& img, int x, int y) {
        const std::uint8_t* p = img.row(y) + bytesPerPixel(img.Format) * x;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    const auto c = at(with, 200, 200);
    EXPECT_GT(c[2], 200);
    EXPECT_LT(c[0], 60);
    EXPECT_LT(c[1], 60);
    EXPECT_NE(at(without, 200, 200), c);
}

// Renders the m-times render kept whole (the resize to its own size copies
// it) and the shot made from the same render, and checks that the shot is the
// plain reference resize of the whole render.
void expectShotIsTheOracleResize(const std::string& viewer, const std::string& multiplier, int fullW, int fullH, int w,
                                 int h)
{
    Folder dir;
    const std::string full = std::to_string(fullW) + "x" + std::to_string(fullH);
    ASSERT_EQ(render({"--viewer", viewer, "--multiplier", multiplier, "--size", full, "-o", dir / "full.bmp"}).code, 0);
    ASSERT_EQ(render({"--viewer", viewer, "--multiplier", multiplier, "-o", dir / "shot.bmp"}).code, 0);
    TDecodedImage whole = decodeFile(dir / "full.bmp", decodeBmp);
    const TDecodedImage shot = decodeFile(dir / "shot.bmp", decodeBmp);
    ASSERT_EQ(whole.Width, fullW);
    ASSERT_EQ(whole.Height, fullH);
    TGLBitmap24 expected(w, h);
    const TRgb24View src{whole.Pixels.data(), whole.Width, whole.Height, std::ptrdiff_t(whole.rowBytes())};
    oracle::FilteredResize(src, expected.view(), triangleFilter, 1.0f);
    ASSERT_EQ(shot.Width, w);
    ASSERT_EQ(shot.Height, h);
    for (int y = 0; y < h; ++y)
        ASSERT_EQ(0, std::memcmp(shot.row(y), expected.pixel(0, y), std::size_t(w) * 3)) << "row " << y;
}

TEST(RenderCommand, FractionalMultiplierRendersRoundedSizes)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    // 2.5 x 41 x 30 renders 102 x 75 (102.5 rounds to even) at 240 DPI.
    expectShotIsTheOracleResize("41x30", "2.5", 102, 75, 41, 30);
}

TEST(RenderCommand, WholeShotIsTheOracleResizeOfTheFullRender)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    expectShotIsTheOracleResize("123x97", "4", 492, 388, 123, 97);
}

} // namespace
} // namespace velmora
