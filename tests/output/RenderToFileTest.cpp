#include "output/RenderToFile.h"
#include "engine/EngineTestSupport.h"
#include "engine/gl/GLContext.h"
#include "output/ResampleOracle.h"
#include "pictures/CoreCodecs.h"
#include "pictures/Decoders.h"
#include "pictures/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using namespace velmora;
namespace fs = std::filesystem;

using test::decodeFile;
using test::readFile;
using TempFolder = test::ScratchDir;

TEST(ShotFormat, ExtensionOfTheFileNameOrTheFilterDecides)
{
    const struct {
        const char* path;
        bool bmpFilter, pngAllowed;
        TShotFormat format;
    } cases[] = {
        {"/home/u/box.bmp", false, false, TShotFormat::Bmp},
        {"/home/u/box.BMP", false, false, TShotFormat::Bmp},
        // Any case of the extension counts, folders do not.
        {"/home/u/box.Bmp", false, false, TShotFormat::Bmp},
        {"/home/u/bmp/box.jpg", false, false, TShotFormat::Jpeg},
        {"/home/BMP.d/boxbmp", false, false, TShotFormat::Jpeg},
        {"/home/u/box.bmp.jpg", false, false, TShotFormat::Jpeg},
        // The "Bitmaps (*.bmp)" entry writes BMP data whatever the name.
        {"/home/u/box", true, false, TShotFormat::Bmp},
        {"/home/u/box.jpg", true, false, TShotFormat::Bmp},
        {"box.png", false, true, TShotFormat::Png},
        {"box.PNG", false, true, TShotFormat::Png},
        {"box.png", false, false, TShotFormat::Jpeg},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shotFormatFor(c.path, c.bmpFilter, c.pngAllowed), c.format)
            << c.path << (c.bmpFilter ? " (Bitmaps entry)" : "") << (c.pngAllowed ? " (PNG allowed)" : "");

    const std::pair<const char*, const char*> renamed[] = {
        {"/a/box.jpg", "/a/box.bmp"}, {"/a/box.tar.jpeg", "/a/box.tar.bmp"},
        {"/a.d/box", "/a.d/box.bmp"}, {"box", "box.bmp"},
        {"/a/.jpg", "/a/.bmp"},       {"/a/box.", "/a/box.bmp"}};
    for (const auto& [path, bmp] : renamed) EXPECT_EQ(withBmpExtension(path), bmp) << path;
}

TEST(ShotFile, ReplacesWholeFilesAndLeavesNothingOnFailure)
{
    TempFolder dir;
    const std::string target = dir / "shot.jpg";
    writeFileReplacing(target, {1, 2, 3});
    writeFileReplacing(target, {4, 5});
    EXPECT_EQ(readFile(target), (std::vector<std::uint8_t>{4, 5}));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"shot.jpg"}); // no temporary left

    // Renaming onto a folder fails: the folder stays, no temporary remains.
    fs::create_directory(dir / "taken.jpg");
    EXPECT_THROW(writeFileReplacing(dir / "taken.jpg", {1}), EPictureError);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"shot.jpg", "taken.jpg"}));
    EXPECT_TRUE(fs::is_directory(dir / "taken.jpg"));

    EXPECT_THROW(writeFileReplacing(dir / "missing/shot.jpg", {1}), EPictureError);
    try {
        checkShotTarget(dir / "missing/shot.jpg");
        FAIL();
    } catch (const EPictureError& e) {
        EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
    }
    EXPECT_THROW(checkShotTarget(dir / "taken.jpg"), EPictureError);
    EXPECT_THROW(checkShotTarget(dir / "shot.jpg/x.jpg"), EPictureError);
    EXPECT_NO_THROW(checkShotTarget(dir / "new.jpg"));
}

TEST(ShotFile, PngIsEightBitRgbWithTheSamePixels)
{
    TDecodedImage img;
    img.allocate(5, 3, TPixelFormat::pf24bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c) img.row(y)[3 * x + c] = std::uint8_t(x * 50 + y * 20 + c * 7);
    const auto png = encodePng24(rowsOf(img));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], 8); // bit depth
    EXPECT_EQ(png[25], 2); // colour type: RGB
    TDecodedImage back;
    decodePng(png.data(), png.size(), back);
    ASSERT_EQ(back.Width, 5);
    ASSERT_EQ(back.Height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(back.row(y)[bytesPerPixel(back.Format) * x + c], img.row(y)[3 * x + c]);
}

class RenderToFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VELMORA_REQUIRE_HEADLESS_GL();
        fixture = std::make_unique<test::BoxSceneFixture>();
        buffer.RegisterWith(fixture->scene);
        buffer.SetCamera(fixture->camera);
        buffer.SetBackgroundColor(clWhite);
    }
    TRenderToFileResult render(const std::string& path, float m, int vw, int vh, int ow, int oh, bool bmpFilter = false)
    {
        buffer.Resize(vw, vh);
        TRenderToFileJob job;
        job.Path = path;
        job.Multiplier = m;
        job.ViewerWidth = vw;
        job.ViewerHeight = vh;
        job.OutputWidth = ow;
        job.OutputHeight = oh;
        job.BmpFilterChosen = bmpFilter;
        TRenderToFileHooks hooks;
        hooks.SetProgress = [this](int p) { progress.push_back(p); };
        hooks.ShowMessage = [this](const std::string& m) { messages.push_back(m); };
        hooks.ProcessMessages = [this] { ++messageRuns; };
        return renderToFile(buffer, job, hooks);
    }
    std::unique_ptr<test::BoxSceneFixture> fixture;
    TGLSceneBuffer buffer;
    std::vector<int> progress;
    std::vector<std::string> messages;
    int messageRuns = 0;
    TempFolder dir;
};

TEST_F(RenderToFileTest, RenderImageOfA500By400ViewerIsA4xRenderFilteredToJpeg)
{
    int dpi = 0, rw = 0, rh = 0;
    buffer.BeforeRender = [&](TGLSceneBuffer* b) {
        dpi = b->RenderDPI();
        rw = b->Viewport().Width;
        rh = b->Viewport().Height;
    };
    const auto r = render(dir / "box.jpg", 4, 500, 400, 500, 400);
    EXPECT_EQ(r.RenderWidth, 2000);
    EXPECT_EQ(r.RenderHeight, 1600);
    EXPECT_EQ(r.RenderDPI, 384);
    EXPECT_EQ(dpi, 384);
    EXPECT_EQ(rw, 2000);
    EXPECT_EQ(rh, 1600);
    EXPECT_EQ(r.Format, TShotFormat::Jpeg);
    EXPECT_TRUE(messages.empty());
    EXPECT_GT(messageRuns, 3);
    const auto bytes = readFile(dir / "box.jpg");
    const TJpegHeader h = readJpegHeader(bytes.data(), bytes.size());
    EXPECT_EQ(h.Width, 500);
    EXPECT_EQ(h.Height, 400);
    EXPECT_FALSE(h.Grayscale);
    EXPECT_FALSE(h.Progressive);

    // The bar: 15, 50, 100, then 0..100 once per source row, and back to 0.
    ASSERT_EQ(progress.size(), 3u + 1600u + 1u);
    EXPECT_EQ(progress[0], 15);
    EXPECT_EQ(progress[1], 50);
    EXPECT_EQ(progress[2], 100);
    EXPECT_EQ(progress[3], 0);
    EXPECT_EQ(progress[3 + 1599], 100);
    EXPECT_TRUE(std::is_sorted(progress.begin() + 3, progress.end() - 1));
    EXPECT_EQ(progress.back(), 0);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"box.jpg"});
}

TEST_F(RenderToFileTest, MultiplierOneCopiesTheRenderUnchanged)
{
    render(dir / "same.bmp", 1, 123, 97, 123, 97);
    const TDecodedImage shot = decodeFile(dir / "same.bmp", decodeBmp);
    TGLBitmap24 direct(123, 97);
    buffer.RenderToBitmap(direct, 96);
    ASSERT_EQ(shot.Width, 123);
    ASSERT_EQ(shot.Height, 97);
    ASSERT_EQ(shot.Format, TPixelFormat::pf24bit);
    for (int y = 0; y < 97; ++y) ASSERT_EQ(0, std::memcmp(shot.row(y), direct.pixel(0, y), 123 * 3)) << "row " << y;
}

TEST_F(RenderToFileTest, ShotMadeInBandsIsTheOracleResizeOfTheOnePieceRender)
{
    // 2000 x 1600 goes in several bands; the shot must still be the plain
    // resize of the whole render made in one piece.
    ASSERT_LT(shotBandRows(2000, 1600), 1600);
    render(dir / "banded.bmp", 4, 500, 400, 500, 400);
    const TDecodedImage shot = decodeFile(dir / "banded.bmp", decodeBmp);
    TGLBitmap24 whole(2000, 1600);
    buffer.RenderToBitmap(whole, 384);
    TGLBitmap24 expected(500, 400);
    oracle::FilteredResize({whole.Data.data(), 2000, 1600, 2000 * 3}, expected.view(), triangleFilter, 1.0f);
    ASSERT_EQ(shot.Width, 500);
    ASSERT_EQ(shot.Height, 400);
    for (int y = 0; y < 400; ++y) ASSERT_EQ(0, std::memcmp(shot.row(y), expected.pixel(0, y), 500 * 3)) << "row " << y;
}

TEST_F(RenderToFileTest, BmpFilterWritesBmpDataUnderAnyName)
{
    render(dir / "shot", 1, 40, 30, 40, 30, true);
    const auto bytes = readFile(dir / "shot");
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24); // bits per pixel
    // A .Bmp name with the JPEG entry writes BMP, a .jpg in a folder named bmp JPEG.
    fs::create_directory(dir / "bmp");
    render(dir / "bmp/box.jpg", 1, 40, 30, 40, 30);
    EXPECT_EQ(readFile(dir / "bmp/box.jpg")[0], 0xFF);
    render(dir / "box.Bmp", 1, 40, 30, 40, 30);
    EXPECT_EQ(readFile(dir / "box.Bmp")[0], 'B');
}

TEST_F(RenderToFileTest, JpegThatCannotBeWrittenFallsBackToBmpWithTheMessage)
{
    // libjpeg cannot make a picture wider than 65500 pixels.
    const auto r = render(dir / "box.jpg", 1, 8, 4, 65501, 2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "System out of resources.  Saving as bitmap instead.");
    EXPECT_TRUE(r.FellBackToBmp);
    EXPECT_EQ(r.WrittenPath, dir / "box.bmp");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"box.bmp"});
    const TDecodedImage bmp = decodeFile(dir / "box.bmp", decodeBmp);
    EXPECT_EQ(bmp.Width, 65501);
    EXPECT_EQ(bmp.Height, 2);
    EXPECT_EQ(progress.back(), 0);
}

TEST_F(RenderToFileTest, FailuresWriteNothingAndLeaveTheBarAtZero)
{
    // A folder that does not exist fails before anything is rendered.
    int renders = 0;
    buffer.BeforeRender = [&](TGLSceneBuffer*) { ++renders; };
    EXPECT_THROW(render(dir / "missing/box.jpg", 4, 50, 40, 50, 40), EPictureError);
    EXPECT_EQ(renders, 0);
    EXPECT_EQ(progress.back(), 0);
    // A render larger than the renderer allows.
    progress.clear();
    EXPECT_THROW(render(dir / "huge.jpg", 4, 9000, 9000, 100, 100), std::exception);
    EXPECT_EQ(progress.back(), 0);
    EXPECT_THROW(render(dir / "zero.jpg", 1, 0, 10, 0, 10), EPictureError);
    EXPECT_TRUE(dir.names().empty());
}
