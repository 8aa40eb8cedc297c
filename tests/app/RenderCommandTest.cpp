#include "app/CommandLine.h"
#include "engine/gl/GLContext.h"
#include "output/ResampleOracle.h"
#include "pictures/CoreCodecs.h"
#include "pictures/Decoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

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
    std::ostringstream out, err;
    const TCommandLine r = RunCommandLine(args, out, err, "test");
    EXPECT_FALSE(r.GuiScene);
    EXPECT_TRUE(out.str().empty());
    return {r.ExitCode, err.str()};
}

struct Folder {
    fs::path path;
    Folder()
    {
        char tmpl[] = "/tmp/velmora-cli-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~Folder() { fs::remove_all(path); }
    std::string operator/(const std::string& n) const { return (path / n).string(); }
    size_t count() const { return size_t(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
};

std::vector<std::uint8_t> bytesOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TDecodedImage decode(const std::string& file)
{
    const auto b = bytesOf(file);
    TDecodedImage img;
    const std::string ext = fs::path(file).extension().string();
    if (ext == ".bmp")
        DecodeBmp(b.data(), b.size(), img);
    else if (ext == ".png")
        DecodePng(b.data(), b.size(), img);
    else
        DecodeJpeg(b.data(), b.size(), img);
    return img;
}

bool haveEgl()
{
    return TGLHeadlessContext::Available();
}

TEST(RenderCommand, BadInputGivesOneMessageAndWritesNothing)
{
    Folder dir;
    const std::string out = dir / "x.jpg";
    const struct {
        std::vector<std::string> args;
        int code;
        const char* text;
    } cases[] = {
        {{"--multiplier", "9", "-o", out}, 2, "--multiplier must be 1, 2, 3 or 4"},
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
    std::ofstream(dir / "x.xyz") << "not a picture";
    for (const auto& c : cases) {
        const CliResult r = render(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        // One message line (usage errors add the usage text after it).
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("velmora: ", 1), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(dir.count(), 1u); // only x.xyz
}

TEST(RenderCommand, DefaultSceneToJpegBmpAndPng)
{
    if (!haveEgl()) GTEST_SKIP() << "no headless EGL display";
    Folder dir;
    CliResult r = render({"--default", "--viewer", "160x120", "-o", dir / "shot.jpg"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()); // not a terminal: no progress line
    const auto jpg = bytesOf(dir / "shot.jpg");
    const TJpegHeader h = ReadJpegHeader(jpg.data(), jpg.size());
    EXPECT_EQ(h.Width, 160);
    EXPECT_EQ(h.Height, 120);
    EXPECT_FALSE(h.Grayscale);
    EXPECT_FALSE(h.Progressive);
    // Baseline: a start-of-frame 0 marker.
    bool sof0 = false;
    for (size_t i = 0; i + 1 < jpg.size(); ++i) sof0 = sof0 || (jpg[i] == 0xFF && jpg[i + 1] == 0xC0);
    EXPECT_TRUE(sof0);

    ASSERT_EQ(render({"--viewer", "160x120", "--multiplier", "1", "--size", "80x60", "-o", dir / "shot.bmp"}).code, 0);
    const auto bmp = bytesOf(dir / "shot.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(decode(dir / "shot.bmp").Width, 80);

    ASSERT_EQ(render({"--viewer", "64x48", "-o", dir / "shot.png"}).code, 0);
    const auto png = bytesOf(dir / "shot.png");
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
    EXPECT_EQ(decode(dir / "shot.png").Height, 48);
    EXPECT_EQ(dir.count(), 3u);
}

TEST(RenderCommand, FaceOptionPutsThePictureOnTheFront)
{
    if (!haveEgl()) GTEST_SKIP() << "no headless EGL display";
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
    {
        const auto b = EncodeBmp(red);
        std::ofstream(dir / "red.bmp", std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
    }
    std::ostringstream o, e;
    ASSERT_EQ(RunCommandLine({"convert", "--default", dir / "scene.vlm"}, o, e, "t").ExitCode, 0) << e.str();
    ASSERT_EQ(render({dir / "scene.vlm", "--front", dir / "red.bmp", "-o", dir / "b.png"}).code, 0);
    ASSERT_EQ(render({dir / "scene.vlm", "-o", dir / "plain.png"}).code, 0);
    const TDecodedImage with = decode(dir / "b.png"), without = decode(dir / "plain.png");
    ASSERT_EQ(with.Width, 492);
    // The front face covers the middle of the shot.
    auto at = [](const TDecodedImage& img, int x, int y) {
        const std::uint8_t* p = img.row(y) + BytesPerPixel(img.Format) * x;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    const auto c = at(with, 200, 200);
    EXPECT_GT(c[2], 200);
    EXPECT_LT(c[0], 60);
    EXPECT_LT(c[1], 60);
    EXPECT_NE(at(without, 200, 200), c);
}

TEST(RenderCommand, WholeShotIsTheOracleResizeOfTheFullRender)
{
    if (!haveEgl()) GTEST_SKIP() << "no headless EGL display";
    Folder dir;
    // The m-times render kept whole (the resize to its own size copies it) ...
    ASSERT_EQ(render({"--viewer", "123x97", "--multiplier", "4", "--size", "492x388", "-o", dir / "full.bmp"}).code, 0);
    // ... and the shot made from the same render.
    ASSERT_EQ(render({"--viewer", "123x97", "--multiplier", "4", "-o", dir / "shot.bmp"}).code, 0);
    TDecodedImage full = decode(dir / "full.bmp");
    const TDecodedImage shot = decode(dir / "shot.bmp");
    ASSERT_EQ(full.Width, 492);
    ASSERT_EQ(full.Height, 388);
    TGLBitmap24 expected(123, 97);
    const TRgb24View src{full.Pixels.data(), full.Width, full.Height, std::ptrdiff_t(full.rowBytes())};
    oracle::FilteredResize(src, expected.view(), TriangleFilter, 1.0f);
    ASSERT_EQ(shot.Width, 123);
    ASSERT_EQ(shot.Height, 97);
    for (int y = 0; y < 97; ++y) ASSERT_EQ(0, std::memcmp(shot.row(y), expected.pixel(0, y), 123 * 3)) << "row " << y;
}

} // namespace
} // namespace velmora
