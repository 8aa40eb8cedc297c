// "New Bitmap Layer with Alpha Channel": the two previews, the grey alpha
// picture, zooming, and a failed read that keeps the previous picture.

#include "faceeditor/RGBALoaderUnit.h"

#include "FaceEditorTestSupport.h"

#include "faceeditor/Bitmap32.h"
#include "faceeditor/FaceDocument.h"
#include "faceeditor/ImgView32.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace velmora;
using velmora::test::ScratchDir;
using velmora::test::writeBmp24;

namespace {

class RGBALoaderForm : public ::testing::Test {
protected:
    void SetUp() override { velmora::test::dialogTestApp(); }

    // The dialog's picture dialog answers with the next of these names.
    void answer(TRGBALoaderForm& f, std::vector<std::string> files)
    {
        auto queue = std::make_shared<std::vector<std::string>>(std::move(files));
        f.OpenPictureDialog = [queue](QWidget*) {
            if (queue->empty()) return QString();
            const std::string next = queue->front();
            queue->erase(queue->begin());
            return QString::fromStdString(next);
        };
    }

    bool allPixels(const TBitmap32& b, TColor32 c)
    {
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                if (b.Pixel(x, y) != c) return false;
        return !b.Empty();
    }

    ScratchDir dir;
};

} // namespace

TEST_F(RGBALoaderForm, TextsControlsAndEmptyPreviews)
{
    TRGBALoaderForm f;
    EXPECT_EQ(f.windowTitle(), "New Bitmap Layer with Alpha Channel");
    EXPECT_EQ(f.Label1->text().toStdString(),
              "Load two images, one of them will be used to fill RGB components \r\n"
              "of the layer, another will be converted to a grayscale image and \r\n"
              "used as alpha channel");
    EXPECT_EQ(f.Label2->text(), "RGB Image:");
    EXPECT_EQ(f.Label3->text(), "Alpha Image:");
    EXPECT_EQ(f.Label4->text(), "If the images have different sizes, the alpha image will be rescaled.");
    EXPECT_EQ(f.Button1->text(), "Load...");
    EXPECT_EQ(f.Button2->text(), "Load...");
    EXPECT_EQ(f.SpeedButton1->text(), "+");
    EXPECT_EQ(f.SpeedButton2->text(), "-");
    EXPECT_EQ(f.SpeedButton3->text(), "+");
    EXPECT_EQ(f.SpeedButton4->text(), "-");
    EXPECT_EQ(f.Button5->text(), "Reset Scales");
    EXPECT_EQ(f.Button3->text(), "OK");
    EXPECT_EQ(f.Button4->text(), "Cancel");
    EXPECT_TRUE(f.Button3->isDefault());
    EXPECT_EQ(f.ImgRGB->size(), QSize(169, 169));
    EXPECT_EQ(f.ImgAlpha->size(), QSize(169, 169));
    EXPECT_TRUE(f.ImgRGB->Bitmap().Empty());
    EXPECT_TRUE(f.ImgAlpha->Bitmap().Empty());
    EXPECT_EQ(f.ImgRGB->Scale(), 1.0f);
    EXPECT_GE(f.width(), 412);
    EXPECT_GE(f.height(), 367);
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
}

TEST_F(RGBALoaderForm, AlphaPicturesBecomeTheirGreyLevels)
{
    struct Case {
        std::uint32_t rgb;
        int level;
    } cases[] = {{0xFFFFFF, 255}, {0x000000, 0}, {0x808080, 128}, {0xFF0000, 60}, {0x00FF00, 173}, {0x0000FF, 20}};
    for (const Case& c : cases) {
        const std::string file = dir / "alpha.bmp";
        writeBmp24(file, 7, 5, [&](int, int) { return c.rgb; });
        TRGBALoaderForm f;
        answer(f, {file});
        f.Button2Click();
        EXPECT_TRUE(allPixels(f.ImgAlpha->Bitmap(), GrayPixel(c.level, 255))) << std::hex << c.rgb;
        EXPECT_TRUE(f.ImgRGB->Bitmap().Empty()) << "only the alpha side was loaded";
    }
}

TEST_F(RGBALoaderForm, ColourPictureKeepsItsPixelsAndASecondLoadReplacesIt)
{
    writeBmp24(dir / "a.bmp", 10, 4, [](int x, int y) { return std::uint32_t(x * 20 << 16 | y * 50 << 8 | 9); });
    writeBmp24(dir / "b.bmp", 3, 3, [](int, int) { return 0x123456u; });
    TRGBALoaderForm f;
    answer(f, {(dir / "a.bmp"), (dir / "b.bmp")});
    f.Button1Click();
    ASSERT_EQ(f.ImgRGB->Bitmap().Width(), 10);
    EXPECT_EQ(f.ImgRGB->Bitmap().Pixel(3, 2), color32(60, 100, 9, 255));
    f.Button1Click();
    EXPECT_EQ(f.ImgRGB->Bitmap().Width(), 3);
    EXPECT_TRUE(allPixels(f.ImgRGB->Bitmap(), color32(0x12, 0x34, 0x56, 255)));
    f.Button1Click(); // the dialog was cancelled: nothing changes
    EXPECT_EQ(f.ImgRGB->Bitmap().Width(), 3);
}

TEST_F(RGBALoaderForm, AnUnreadablePictureRaisesTheReadersErrorAndKeepsThePreview)
{
    writeBmp24(dir / "good.bmp", 4, 4, [](int, int) { return 0xFFFFFFu; });
    velmora::test::writeFile(dir / "bad.bmp", "BM but not really a bitmap");
    TRGBALoaderForm f;
    answer(f, {(dir / "good.bmp"), dir / "bad.bmp", dir / "good.bmp", (dir / "missing.png")});
    f.Button2Click();
    EXPECT_THROW(f.Button2Click(), std::exception);
    EXPECT_TRUE(allPixels(f.ImgAlpha->Bitmap(), GrayPixel(255, 255)));
    f.Button1Click();
    EXPECT_THROW(f.Button1Click(), std::exception);
    EXPECT_EQ(f.ImgRGB->Bitmap().Width(), 4);
}

TEST_F(RGBALoaderForm, ZoomButtonsAndResetScales)
{
    TRGBALoaderForm f;
    f.SpeedButton1->click();
    EXPECT_FLOAT_EQ(f.ImgRGB->Scale(), 1.5f);
    f.SpeedButton1->click();
    EXPECT_FLOAT_EQ(f.ImgRGB->Scale(), 2.25f);
    f.SpeedButton4->click();
    EXPECT_FLOAT_EQ(f.ImgAlpha->Scale(), float(1 / 1.5));
    EXPECT_FLOAT_EQ(f.ImgRGB->Scale(), 2.25f) << "each pair zooms its own preview";
    f.SpeedButton2->click();
    EXPECT_FLOAT_EQ(f.ImgRGB->Scale(), 1.5f);
    f.SpeedButton3->click();
    EXPECT_FLOAT_EQ(f.ImgAlpha->Scale(), 1.0f);
    for (int i = 0; i < 40; ++i) f.SpeedButton4->click();
    EXPECT_GE(f.ImgAlpha->Scale(), 0.001f) << "never below the view's smallest scale";
    f.Button5->click();
    EXPECT_EQ(f.ImgRGB->Scale(), 1.0f);
    EXPECT_EQ(f.ImgAlpha->Scale(), 1.0f);
}

TEST_F(RGBALoaderForm, TheEditorBuildsOneLayerFromBothPreviews)
{
    // 100 x 100 colour, 50 x 50 alpha of distinct greys: each alpha pixel
    // covers a 2 x 2 block of the layer; the colour stays the colour picture's.
    writeBmp24(dir / "colour.bmp", 100, 100, [](int x, int y) { return std::uint32_t(x << 16 | y << 8 | 77); });
    writeBmp24(dir / "alpha.bmp", 50, 50, [](int x, int y) { return std::uint32_t((x * 5 + y) % 256 * 0x010101u); });
    TRGBALoaderForm f;
    answer(f, {(dir / "colour.bmp"), (dir / "alpha.bmp")});
    f.Button1Click();
    f.Button2Click();

    TImgView32Model view;
    TFaceDocument doc(view);
    doc.StartNewImage(300, 300, 0xFFFFFFFF);
    TBitmapLayer* layer = doc.addRGBALayer(f.ImgRGB->Bitmap(), f.ImgAlpha->Bitmap());
    ASSERT_NE(layer, nullptr);
    const TBitmap32& b = layer->Bitmap();
    ASSERT_EQ(b.Width(), 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const TColor32 p = b.Pixel(x, y);
            ASSERT_EQ(alphaOf(p), (x / 2 * 5 + y / 2) % 256) << x << "," << y;
            ASSERT_EQ(redOf(p), x);
            ASSERT_EQ(greenOf(p), y);
            ASSERT_EQ(blueOf(p), 77);
        }

    // OK with only an alpha picture adds nothing.
    TRGBALoaderForm g;
    answer(g, {(dir / "alpha.bmp")});
    g.Button2Click();
    const int before = view.Layers().Count();
    EXPECT_EQ(doc.addRGBALayer(g.ImgRGB->Bitmap(), g.ImgAlpha->Bitmap()), nullptr);
    EXPECT_EQ(view.Layers().Count(), before);
}

TEST_F(RGBALoaderForm, ShowsBothPreviews)
{
    const std::string colour = (std::filesystem::path(VELMORA_TEST_DATA) / ".." / ".." / "resources" / "Templates" /
                                "Gradients" / "Sunset Glow.jpg")
                                   .lexically_normal()
                                   .string();
    writeBmp24(dir / "ring.bmp", 300, 300, [](int x, int y) {
        const int d = int(std::hypot(x - 150, y - 150));
        const std::uint32_t v = d < 150 ? std::uint32_t(255 - d * 255 / 150) : 0u;
        return v * 0x010101u;
    });
    TRGBALoaderForm f;
    answer(f, {colour, (dir / "ring.bmp")});
    f.Button1Click();
    f.Button2Click();
    EXPECT_EQ(f.ImgRGB->Bitmap().Width(), 919);
    f.show();
    QCoreApplication::processEvents();
    velmora::test::saveScreenshot(f, "rgba-loader.png");
}
