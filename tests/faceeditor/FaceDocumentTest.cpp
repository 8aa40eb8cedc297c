#include "faceeditor/FaceDocument.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace velmora;

namespace {

// The editor's canvas: a 555 x 480 view.
struct Editor {
    TImgView32Model view;
    TFaceDocument doc{view};
    Editor()
    {
        view.setViewSize(555, 480);
        doc.StartNewImage(919, 1124, 0xFFFFFFFF);
        view.setScale(0.35f);
    }
    TBitmapLayer* solidLayer(int w, int h, TColor32 c)
    {
        TBitmap32 colour(w, h), none;
        colour.FillAll(c);
        return doc.addRGBALayer(colour, none);
    }
};

} // namespace

TEST(FaceDocument, NewLayersAreCentredAndSelected)
{
    Editor e;
    EXPECT_EQ(e.view.paintStages()[0].Stage, psCustom);
    auto* l = e.solidLayer(100, 50, 0xFF0000FF);
    const TPoint c = e.doc.viewCentre();
    EXPECT_NEAR(c.X, 919 / 2, 3);
    EXPECT_NEAR(c.Y, 1124 / 2, 3);
    EXPECT_EQ(l->Placement(), (TFloatRect{float(c.X) - 50, float(c.Y) - 25, float(c.X) + 50, float(c.Y) + 25}));
    EXPECT_TRUE(l->ScaledWithImage());
    EXPECT_EQ(e.doc.SelectedLayer(), l);
    ASSERT_NE(e.doc.Rubberband(), nullptr);
    EXPECT_EQ(e.doc.Rubberband()->StackIndex(), 1);
    EXPECT_EQ(e.doc.Rubberband()->MinimumWidth, 1);
    EXPECT_EQ(e.doc.Rubberband()->Placement(), l->Placement());

    // The checkerboard shows around the image on screen only.
    e.view.Paint();
    EXPECT_EQ(e.view.Buffer().Pixel(0, 0), 0xFFB0B0B0u);
    EXPECT_EQ(e.view.Buffer().Pixel(8, 0), 0xFFFFFFFFu);
    EXPECT_EQ(e.view.Buffer().Pixel(8, 8), 0xFFB0B0B0u);
    TBitmap32 out;
    e.doc.compose(out);
    EXPECT_EQ(out.Width(), 919);
    EXPECT_EQ(out.Pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(out.Pixel(c.X, c.Y), 0xFF0000FFu);
    EXPECT_EQ(e.doc.SelectedLayer(), nullptr); // composing drops the frame first
}

TEST(FaceDocument, SelectionCommands)
{
    Editor e;
    auto* a = e.solidLayer(10, 10, 0xFF00FF00);
    auto* b = e.solidLayer(10, 10, 0xFFFF0000);
    e.doc.SelectLayer(a);
    EXPECT_EQ(e.doc.Rubberband()->StackIndex(), 2);
    e.doc.reorder(1); // Bring to Front: just under the frame
    EXPECT_EQ(a->StackIndex(), 1);
    EXPECT_EQ(b->StackIndex(), 0);
    e.doc.reorder(3); // already as high as it goes
    EXPECT_EQ(a->StackIndex(), 1);
    e.doc.reorder(4);
    EXPECT_EQ(a->StackIndex(), 0);

    // Rotate 90 turns the bitmap clockwise and the placement about its centre.
    a->Bitmap().SetDimensions(200, 50);
    a->Bitmap().Pixel(0, 0) = 0xFF123456;
    e.doc.placeSelection({100, 100, 300, 150});
    e.doc.rotate90();
    EXPECT_EQ(a->Placement(), (TFloatRect{175, 25, 225, 225}));
    EXPECT_EQ(a->Bitmap().Width(), 50);
    EXPECT_EQ(a->Bitmap().Pixel(49, 0), 0xFF123456u);
    e.doc.rotate270();
    EXPECT_EQ(a->Placement(), (TFloatRect{100, 100, 300, 150}));
    EXPECT_EQ(a->Bitmap().Pixel(0, 0), 0xFF123456u);

    // Rescale bakes the shown size into the pixels.
    e.doc.placeSelection({10.4f, 20.6f, 30.5f, 41.5f});
    e.doc.Rescale();
    EXPECT_EQ(a->Bitmap().Width(), 20);  // 30 - 10 (halves to even)
    EXPECT_EQ(a->Bitmap().Height(), 21); // 42 - 21
    EXPECT_EQ(a->Placement(), (TFloatRect{10.4f, 20.6f, 30.4f, 41.6f}));

    // A shown size too large for memory fails and leaves the layer as it was.
    a->Bitmap().FillAll(0xFF345678);
    a->Bitmap().SetStretchFilter(sfNearest);
    e.doc.placeSelection({0, 0, 20000, 20000});
    EXPECT_THROW(e.doc.Rescale(), std::exception);
    ASSERT_EQ(a->Bitmap().Width(), 20);
    ASSERT_EQ(a->Bitmap().Height(), 21);
    EXPECT_EQ(a->Bitmap().Pixel(19, 20), 0xFF345678u);
    EXPECT_EQ(a->Bitmap().DrawMode(), dmBlend);
    EXPECT_EQ(a->Bitmap().StretchFilter(), sfNearest);
    EXPECT_EQ(a->Placement(), (TFloatRect{0, 0, 20000, 20000}));
    e.doc.placeSelection({10.4f, 20.6f, 30.4f, 41.6f});

    e.doc.setOpacity(77);
    EXPECT_EQ(a->Bitmap().MasterAlpha(), 77);
    e.doc.setInterpolated(true);
    EXPECT_EQ(a->Bitmap().StretchFilter(), sfLinear);
    e.doc.toggleScaled();
    EXPECT_FALSE(a->ScaledWithImage());
    EXPECT_FALSE(e.doc.Rubberband()->ScaledWithImage());

    e.doc.deleteSelected();
    EXPECT_EQ(e.doc.SelectedLayer(), nullptr);
    EXPECT_EQ(e.view.Layers().Count(), 2); // b and the hidden frame
    EXPECT_EQ(e.doc.Rubberband()->LayerFlags(), unsigned(lfQuiet));
}

TEST(FaceDocument, MouseSelectsAndCtrlResizesSymmetrically)
{
    Editor e;
    auto* l = e.solidLayer(100, 100, 0xFF0000FF);
    e.doc.SelectLayer(nullptr);
    e.view.setScale(1);
    const TRect r = roundRect(l->AdjustedPlacement());
    const int mx = (r.Left + r.Right) / 2, my = (r.Top + r.Bottom) / 2;
    // A right press on a layer neither selects nor clears.
    e.view.mouseDown(mbRight, 0, mx, my);
    e.view.mouseUp(mbRight, 0, mx, my);
    EXPECT_EQ(e.doc.SelectedLayer(), nullptr);
    e.view.mouseDown(mbLeft, 0, mx, my);
    e.view.mouseUp(mbLeft, 0, mx, my);
    EXPECT_EQ(e.doc.SelectedLayer(), l);
    e.view.mouseDown(mbRight, 0, mx, my);
    e.view.mouseUp(mbRight, 0, mx, my);
    EXPECT_EQ(e.doc.SelectedLayer(), l);

    // Ctrl-dragging the right handle 10 units out widens both sides by 10.
    const TFloatRect before = l->Placement();
    const int rx = r.Right;
    e.view.mouseDown(mbLeft, ssCtrl, rx, my);
    e.view.mouseMove(ssCtrl | ssLeft, rx + 10, my);
    e.view.mouseUp(mbLeft, ssCtrl, rx + 10, my);
    EXPECT_FLOAT_EQ(l->Placement().Left, before.Left - 10);
    EXPECT_FLOAT_EQ(l->Placement().Right, before.Right + 10);
    EXPECT_FLOAT_EQ(l->Placement().Top, before.Top);

    // A right press on empty canvas clears the selection.
    e.view.mouseDown(mbRight, 0, 2, 2);
    EXPECT_EQ(e.doc.SelectedLayer(), nullptr);
}

TEST(FaceDocument, FlattenBlendsAlphaToo)
{
    Editor e;
    TBitmap32 colour(4, 4), alpha(4, 4);
    colour.FillAll(0xFFFF0000);
    alpha.FillAll(0xFF808080); // grey 128 becomes alpha 128
    auto* half = e.doc.addRGBALayer(colour, alpha);
    EXPECT_EQ(half->Bitmap().Pixel(0, 0), 0x80FF0000u);
    half->SetPlacement({0, 0, 4, 4});
    auto* opaque = e.solidLayer(4, 4, 0xFF00FF00);
    e.doc.setOpacity(10);
    opaque->SetPlacement({10, 0, 14, 4});
    // Flattening gives the base a new bitmap's drawing properties.
    e.doc.Base().SetStretchFilter(sfLinear);
    e.doc.Base().SetMasterAlpha(40);
    e.doc.Flatten();
    EXPECT_EQ(e.doc.Base().StretchFilter(), sfNearest);
    EXPECT_EQ(e.doc.Base().MasterAlpha(), 255);
    EXPECT_EQ(e.view.Layers().Count(), 0);
    EXPECT_EQ(e.doc.Rubberband(), nullptr);
    EXPECT_EQ(e.doc.Base().Pixel(1, 1) >> 24, 192u);
    EXPECT_EQ(e.doc.Base().Pixel(11, 1) >> 24, 255u);
    EXPECT_EQ(e.doc.Base().Pixel(11, 1) & 0xFFFFFF, 0xF5FFF5u); // green at 10 / 255
    EXPECT_EQ(e.doc.Base().DrawMode(), dmOpaque);

    // A 100 x 100 colour picture with a 50 x 50 alpha picture: 2 x 2 blocks.
    TBitmap32 big(100, 100), small(50, 50);
    big.FillAll(0xFF102030);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) small.Pixel(x, y) = GrayPixel(x + y, 255);
    auto* l = e.doc.addRGBALayer(big, small);
    EXPECT_EQ(l->Bitmap().Pixel(7, 9) >> 24, 3u + 4u);
    EXPECT_EQ(l->Bitmap().Pixel(6, 8) >> 24, 3u + 4u);
    EXPECT_EQ(l->Bitmap().Pixel(7, 9) & 0xFFFFFF, 0x102030u);
}

TEST(FaceDocument, BaseCommands)
{
    Editor e;
    const test::ScratchDir scratch("velmora-facedoc");
    const auto file = scratch.path / "base.bmp";
    TBitmap32 pic(2, 2);
    pic.FillAll(0xFF0000FF);
    pic.SavePicture(file.string());
    e.doc.BackgroundImage(file.string());
    EXPECT_EQ(e.doc.Base().Width(), 919);
    EXPECT_EQ(e.doc.Base().Pixel(500, 600), 0xFF0000FFu);
    e.doc.fillBase(ToColor32(0x00FF00));
    EXPECT_EQ(e.doc.Base().Pixel(500, 600), 0xFF00FF00u);

    // Save As writes the composite; layers stay.
    e.solidLayer(3, 3, 0xFFFF0000);
    e.doc.saveAs(file.string());
    TBitmap32 back;
    back.LoadPicture(file.string());
    EXPECT_EQ(back.Width(), 919);
    EXPECT_EQ(e.view.Layers().Count(), 2);

    // Open keeps the previous pixels when the picture cannot be read.
    EXPECT_ANY_THROW(e.doc.OpenBaseImage(file.string() + ".missing.bmp"));
    EXPECT_EQ(e.view.Layers().Count(), 0);
    EXPECT_EQ(e.view.Scale(), 1);
    EXPECT_EQ(e.doc.Base().Width(), 919);
    e.doc.OpenBaseImage(file.string());
    EXPECT_EQ(e.doc.Base().Pixel(0, 0), back.Pixel(0, 0));
    EXPECT_ANY_THROW(e.doc.addPictureLayer(file.string() + ".missing.bmp"));
    EXPECT_EQ(e.view.Layers().Count(), 0); // the failed layer is gone again
}

TEST(FaceDocument, TextLayers)
{
    Editor e;
    e.doc.TextFont.Color = 0x0000FF; // red window colour
    auto* t = e.doc.addTextLayer();
    EXPECT_EQ(t->CaptionText, "Caption");
    ASSERT_FALSE(t->Bitmap().Empty());
    // New text is black whatever the font colour.
    int covered = 0;
    for (int i = 0; i < t->Bitmap().Width() * t->Bitmap().Height(); ++i) {
        const TColor32 p = t->Bitmap().Bits()[i];
        if ((p >> 24) == 255) {
            ++covered;
            EXPECT_EQ(p & 0xFFFFFF, 0u);
        }
    }
    EXPECT_GT(covered, 20);
    EXPECT_EQ(t->Bitmap().Pixel(0, 0) >> 24, 0u); // transparent around the glyphs

    // A caption change renders in the font's colour and re-centres.
    e.doc.placeSelection({0, 0, 10, 10});
    e.doc.captionChange("Velmora");
    bool red = false;
    for (int i = 0; i < t->Bitmap().Width() * t->Bitmap().Height(); ++i)
        if (t->Bitmap().Bits()[i] == 0xFFFF0000u) red = true;
    EXPECT_TRUE(red);
    EXPECT_NEAR((t->Placement().Left + t->Placement().Right) / 2, e.doc.viewCentre().X, 0.51);
    EXPECT_EQ(e.doc.Rubberband()->Placement(), t->Placement());

    // An empty caption gives a zero-wide layer.
    e.doc.captionChange("");
    EXPECT_EQ(t->Bitmap().Width(), 0);
    EXPECT_EQ(t->Placement().Left, t->Placement().Right);
    TBitmap32 out;
    e.doc.compose(out);
}

TEST(FaceDocument, CheckerboardSquares)
{
    TBitmap32 board(37, 29);
    TFaceDocument::paintCheckerboard(board);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(board.Pixel(x, y), ((x >> 3) & 1) == ((y >> 3) & 1) ? 0xFFB0B0B0u : 0xFFFFFFFFu) << x << "," << y;
}

TEST(FaceDocument, TextLayerEdgeCases)
{
    Editor e;
    auto* t = e.doc.addTextLayer();
    ASSERT_FALSE(t->Bitmap().Empty());

    // Scrolled at 100 %, a caption change centres the layer on the new view.
    e.view.setScale(1);
    const TPoint before = e.doc.viewCentre();
    e.view.horzBar().setPosition(e.view.horzBar().Position() - 150);
    e.view.vertBar().setPosition(e.view.vertBar().Position() + 150);
    e.view.updateImage();
    const TPoint after = e.doc.viewCentre();
    EXPECT_NEAR(after.X, before.X - 150, 1);
    EXPECT_NEAR(after.Y, before.Y + 150, 1);
    e.doc.captionChange("Scrolled");
    const TFloatRect p = t->Placement();
    EXPECT_NEAR((p.Left + p.Right) / 2, after.X, 0.51);
    EXPECT_NEAR((p.Top + p.Bottom) / 2, after.Y, 0.51);
    EXPECT_FLOAT_EQ(p.Right - p.Left, float(t->Bitmap().Width()));
    EXPECT_EQ(e.doc.Rubberband()->Placement(), p);

    // Enlarged four times with "Interpolated" on, the text is resampled
    // linearly: the composite differs from the nearest-neighbour one and has
    // in-between alpha ramps where nearest repeats each source pixel.
    e.view.setScale(0.35f);
    const float w = p.Right - p.Left, h = p.Bottom - p.Top;
    e.doc.placeSelection({100, 100, 100 + 4 * w, 100 + 4 * h});
    e.doc.setInterpolated(true);
    EXPECT_EQ(t->Bitmap().StretchFilter(), sfLinear);
    auto compose = [&](TBitmap32& out) {
        out.SetDimensions(919, 1124);
        e.view.ComposeInto(out, out.BoundsRect());
    };
    TBitmap32 linear, nearest;
    compose(linear);
    e.doc.setInterpolated(false);
    EXPECT_EQ(t->Bitmap().StretchFilter(), sfNearest);
    compose(nearest);
    int differing = 0, nearestLevels = 0, linearLevels = 0;
    std::vector<bool> seenN(256), seenL(256);
    for (int y = 100; y < int(100 + 4 * h); ++y)
        for (int x = 100; x < int(100 + 4 * w); ++x) {
            if (linear.Pixel(x, y) != nearest.Pixel(x, y)) ++differing;
            const int n = greenOf(nearest.Pixel(x, y)), l = greenOf(linear.Pixel(x, y));
            if (!seenN[std::size_t(n)]) {
                seenN[std::size_t(n)] = true;
                ++nearestLevels;
            }
            if (!seenL[std::size_t(l)]) {
                seenL[std::size_t(l)] = true;
                ++linearLevels;
            }
        }
    EXPECT_GT(differing, 100);
    EXPECT_GT(linearLevels, nearestLevels);
}
