#include "app/FaceCommand.h"
#include "app/AppTestSupport.h"
#include "app/CommandLine.h"
#include "faceeditor/Bitmap32.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

const fs::path kExamples = fs::path(VELMORA_TEST_DATA) / ".." / ".." / "examples";

// A scratch folder that also writes documents into itself.
struct TempDir : test::ScratchDir {
    fs::path write(const std::string& name, const std::string& text) const
    {
        test::writeFile(path / name, text);
        return path / name;
    }
};

int run(const std::vector<std::string>& args, std::string* errText = nullptr)
{
    const test::CliRun r = test::runCli(args);
    if (errText) *errText = r.err;
    return r.result.ExitCode;
}

} // namespace

TEST(FaceCommand, ComposesTheShippedExample)
{
    test::testApp();
    TempDir dir;
    const fs::path png = dir.path / "face.png", bmp = dir.path / "face.bmp";
    ASSERT_EQ(run({"face", (kExamples / "face.json").string(), "-o", png.string()}), 0);
    ASSERT_EQ(run({"face", (kExamples / "face.json").string(), "-o", bmp.string()}), 0);
    QImage image(QString::fromStdString(png.string()));
    ASSERT_EQ(image.width(), 919);
    ASSERT_EQ(image.height(), 1124);
    EXPECT_TRUE(image.hasAlphaChannel());

    TBitmap32 fromBmp;
    fromBmp.LoadPicture(bmp.string());
    ASSERT_EQ(fromBmp.Width(), 919);
    // Both files hold the same pixels.
    int differences = 0;
    for (int y = 0; y < 1124; y += 7)
        for (int x = 0; x < 919; x += 7)
            if (image.pixel(x, y) != fromBmp.Pixel(x, y)) ++differences;
    EXPECT_EQ(differences, 0);
    // The background at the top, the photo in the middle, white title letters
    // (resampled layers are blended with weight 255 at most: 254 over dark).
    const TColor32 top = fromBmp.Pixel(5, 5);
    EXPECT_LT(redOf(top), 40);
    EXPECT_GT(blueOf(top), redOf(top));
    int white = 0;
    for (int y = 120; y < 230; ++y)
        for (int x = 70; x < 780; ++x)
            if (redOf(fromBmp.Pixel(x, y)) >= 250 && blueOf(fromBmp.Pixel(x, y)) >= 250) ++white;
    EXPECT_GT(white, 2000);
    EXPECT_EQ(fromBmp.Pixel(100, 600) >> 24, 255u);
}

TEST(FaceCommand, LayersFollowTheEditorsRules)
{
    test::testApp();
    TempDir dir;
    TBitmap32 colour(4, 2), alpha(2, 1);
    colour.FillAll(0xFFFF0000);
    alpha.Pixel(0, 0) = 0xFF808080; // grey 128
    alpha.Pixel(1, 0) = 0xFFFFFFFF;
    colour.SavePicture((dir.path / "c.bmp").string());
    alpha.SavePicture((dir.path / "a.bmp").string());
    const auto doc = dir.write("d.json", R"({
        "base": {"width": 10, "height": 6, "color": "#0000FF"},
        "layers": [ {"type": "alpha", "file": "c.bmp", "alpha": "a.bmp", "placement": [1, 1, 5, 3]},
                    {"type": "alpha", "file": "c.bmp", "placement": [6, 0, 8, 1], "opacity": 0},
                    {"type": "alpha", "file": "c.bmp", "placement": [0, 4, 4, 6], "rotate": 90} ]
    })");
    TBitmap32 face;
    composeFaceDocument(doc.string(), face);
    ASSERT_EQ(face.Width(), 10);
    EXPECT_EQ(face.Pixel(0, 0), 0xFF0000FFu);
    // Alpha 128 red over opaque blue: the alpha channel is blended too.
    EXPECT_EQ(face.Pixel(1, 1), 0xC0800080u);
    EXPECT_EQ(face.Pixel(3, 1), 0xFFFF0000u);
    EXPECT_EQ(face.Pixel(6, 0), 0xFF0000FFu); // opacity 0 draws nothing
    // Turned first, then placed: the placement given wins.
    EXPECT_EQ(face.Pixel(3, 5), 0xFFFF0000u);
    EXPECT_EQ(face.Pixel(4, 5), 0xFF0000FFu);
}

TEST(FaceCommand, BadDocumentsSayWhatIsWrongAndWriteNothing)
{
    test::testApp();
    TempDir dir;
    const fs::path out = dir.path / "out.png";
    struct Case {
        std::string text, expect;
    };
    const Case cases[] = {
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "picture", "file": "none.jpg"}]})",
         "layer 1 (picture): Cannot open file"},
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "text", "text": "a", "opactiy": 1}]})",
         "layer 1 (text): unknown key \"opactiy\""},
        {R"({"base": {"width": -10, "height": 10}})", "base: \"width\" must be a whole number"},
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "text", "text": "a", "placement": [0, 0, 1e30, 5]}]})",
         "\"placement\" must be"},
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "text", "text": "a", "placement": [5, 0, 1, 5]}]})",
         "right > left"},
        {"{\n\"base\": {\"width\": 10,\n \"height\" 10}\n}", "d.json:3:"},
        {R"({"base": {"width": 60000, "height": 60000}})", "larger than a face can be"},
        {R"({"base": {"width": 10}})", "needs \"width\" and \"height\""},
        {R"({"base": {"picture": "none.png"}})", "base: Cannot open file"},
        {R"({"base": {"width": 10, "height": 10, "background": "none.png"}})", "base background: Cannot open file"},
        {R"({"base": {"width": 10, "height": 10, "color": "red"}})", "#RRGGBB"},
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "shape"}]})",
         "layer 1 (shape): \"type\" must be"},
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "text", "text": "a"}, {"type": "text", "text": "b", "rotate": 45}]})",
         "layer 2 (text): \"rotate\" must be"},
        {R"({"base": {"width": 10, "height": 10}, "layers": [{"type": "text", "text": "a", "height": 100000}]})",
         "\"height\" must be a whole number from 1 to 1000"},
        {R"({"base": {"width": 10, "height": 10}, "extra": 1})", "document: unknown key \"extra\""},
        {R"([1, 2])", "is an object"},
    };
    for (const Case& c : cases) {
        const auto doc = dir.write("d.json", c.text);
        std::string err;
        EXPECT_EQ(run({"face", doc.string(), "-o", out.string()}, &err), 1) << c.text;
        EXPECT_NE(err.find(c.expect), std::string::npos) << c.text << "\n" << err;
        EXPECT_FALSE(fs::exists(out)) << c.text;
    }
    EXPECT_EQ(run({"face", (dir.path / "missing.json").string(), "-o", out.string()}), 1);
    EXPECT_EQ(run({"face"}), 2);
    EXPECT_EQ(run({"face", "a.json"}), 2);
    EXPECT_EQ(run({"face", "a.json", "-o"}), 2);
    EXPECT_EQ(run({"face", "a.json", "b.json", "-o", "x.png"}), 2);
    EXPECT_EQ(run({"face", "a.json", "--size", "3", "-o", "x.png"}), 2);
    // An unwritable output is an error, not a crash.
    const auto doc = dir.write("ok.json", R"({"base": {"width": 4, "height": 4}})");
    EXPECT_EQ(run({"face", doc.string(), "-o", (dir.path / "no" / "such" / "x.png").string()}), 1);
    EXPECT_EQ(run({"face", doc.string(), "-o", (dir.path / "no" / "such" / "x.bmp").string()}), 1);
}
