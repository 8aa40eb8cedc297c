#include "faceeditor/ImgView32Model.h"
#include "faceeditor/RangeBars.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace velmora;

TEST(ImgView32Model, CentresASmallImage)
{
    TImgView32Model v;
    v.setViewSize(555, 480);
    v.Bitmap().SetDimensions(640, 480);
    v.setScale(0.35f);
    EXPECT_EQ(v.ViewArea(), (TRect{0, 0, 539, 464}));
    EXPECT_FLOAT_EQ(v.OffsetX(), 157.5f);
    EXPECT_FLOAT_EQ(v.OffsetY(), 148.0f);
    EXPECT_EQ(v.ImageRect(), (TRect{158, 148, 382, 316}));
    EXPECT_EQ(v.horzBar().Position(), 0);
    EXPECT_EQ(v.vertBar().Position(), 0);
    EXPECT_EQ(v.horzBar().range(), 224);
    EXPECT_EQ(v.vertBar().range(), 168);
    // The transform: MulDiv(224, 65536, 640) = 22937.6 -> 22938.
    EXPECT_EQ(v.layerTransform().FixedScaleX, 22938);
    EXPECT_EQ(v.layerTransform().OriginX, 158);
    EXPECT_EQ(v.layerTransform().FixedInverseX, MulDiv(640, 65536, 224));

    v.setScale(0);
    EXPECT_FLOAT_EQ(v.Scale(), 0.001f);
    EXPECT_TRUE(v.ImageRect().empty()); // smaller than a pixel
    v.setScale(-3);
    EXPECT_FLOAT_EQ(v.Scale(), 0.001f);
}

TEST(ImgView32Model, MulDivRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, 4), 1);
    EXPECT_EQ(MulDiv(7, 1, 4), 2);
    EXPECT_EQ(MulDiv(100, 65536, 200), 32768);
    EXPECT_EQ(MulDiv(1, 1, 0), 0);
}

TEST(ImgView32Model, ViewToImage)
{
    // A 100 x 100 image at scale 2 with its top-left at (10, 10).
    TImgView32Model w;
    w.Centered = true;
    w.Bitmap().SetDimensions(100, 100);
    w.setViewSize(200 + 20 + 16, 200 + 20 + 16);
    w.setScale(2);
    ASSERT_EQ(w.ImageRect(), (TRect{10, 10, 210, 210}));
    EXPECT_EQ(w.ViewToImage({110, 110}).X, 50);
    EXPECT_EQ(w.ViewToImage({110, 12}).Y, 1);
    EXPECT_EQ(w.ViewToImage({9, 9}).X, 0); // truncates toward zero
    EXPECT_EQ(w.ViewToImage({7, 7}).X, -1);
    // With an empty image the transform is the identity.
    TImgView32Model e;
    EXPECT_EQ(e.ViewToImage({33, 44}), (TPoint{33, 44}));
}

TEST(ImgView32Model, ZoomKeepsTheCentre)
{
    TImgView32Model v;
    v.setViewSize(316, 216); // view area 300 x 200
    v.Bitmap().SetDimensions(1000, 800);
    // Centre the view on image point (300, 200).
    v.horzBar().setPosition(300 - 150);
    v.vertBar().setPosition(200 - 100);
    v.updateImage();
    auto centre = [&] { return v.ViewToImage({150, 100}); };
    EXPECT_EQ(centre(), (TPoint{300, 200}));
    v.setScale(2);
    EXPECT_EQ(centre(), (TPoint{300, 200}));
    EXPECT_FLOAT_EQ(v.horzBar().Position(), 450);
    EXPECT_FLOAT_EQ(v.vertBar().Position(), 300);

    // Near an edge the clamping wins.
    v.setScale(1);
    v.horzBar().setPosition(0);
    v.updateImage();
    v.setScale(0.25f); // the image (250 wide) now fits and is centred
    EXPECT_FLOAT_EQ(v.OffsetX(), 25);
    v.setScale(4);
    EXPECT_GE(v.horzBar().Position(), 0);
    EXPECT_LE(v.horzBar().Position(), 4000 - 300);
}

TEST(ImgView32Model, NewImageSizeScrollsToItsCentre)
{
    TImgView32Model v;
    v.setViewSize(216, 216); // view area 200 x 200
    v.Bitmap().SetDimensions(1000, 600);
    EXPECT_FLOAT_EQ(v.horzBar().Position(), 500 - 100);
    EXPECT_FLOAT_EQ(v.vertBar().Position(), 300 - 100);
    EXPECT_FLOAT_EQ(v.OffsetX(), -400);
}

TEST(ImgView32Model, PaintsStagesIntoAMarginedBuffer)
{
    TImgView32Model v;
    int invalidations = 0;
    v.OnInvalidate = [&] { ++invalidations; };
    v.Color = 0x00FF00;     // green window colour
    v.setViewSize(116, 66); // view area 100 x 50
    v.Bitmap().SetDimensions(20, 10);
    v.Bitmap().FillAll(0xFF0000FF);
    v.Paint();
    EXPECT_EQ(v.Buffer().Width(), 140);
    EXPECT_EQ(v.Buffer().Height(), 90);
    EXPECT_TRUE(v.bufferValid());
    const TRect r = v.ImageRect();
    EXPECT_EQ(r, (TRect{40, 20, 60, 30}));
    EXPECT_EQ(v.Buffer().Pixel(45, 25), 0xFF0000FFu);
    EXPECT_EQ(v.Buffer().Pixel(5, 5), 0xFF00FF00u);
    EXPECT_EQ(v.Buffer().Pixel(139, 89), 0xFF00FF00u); // the margin is painted too

    // Small resizes keep the buffer; large shrinks fit it again.
    v.setViewSize(126, 76);
    v.Paint();
    EXPECT_EQ(v.Buffer().Width(), 140);
    v.setViewSize(60, 40); // view area 44 x 24: more than 40 smaller
    v.Paint();
    EXPECT_EQ(v.Buffer().Width(), 44);
    EXPECT_EQ(v.Buffer().Height(), 24);
    v.setViewSize(30, 30); // 14 x 14: within the margin
    v.Paint();
    EXPECT_EQ(v.Buffer().Width(), 44);
    EXPECT_EQ(v.Buffer().Height(), 24);
    v.setViewSize(5, 5); // no view area left: never below 1
    v.Paint();
    EXPECT_EQ(v.Buffer().Width(), 1);
    EXPECT_EQ(v.Buffer().Height(), 24);

    // A layer change invalidates; while updating, requests are ignored.
    invalidations = 0;
    auto* l = v.Layers().Add<TBitmapLayer>();
    l->Bitmap().SetDimensions(2, 2);
    EXPECT_GT(invalidations, 0);
    invalidations = 0;
    v.BeginUpdate();
    l->SetPlacement({1, 1, 3, 3});
    v.EndUpdate();
    EXPECT_EQ(invalidations, 0);

    // A custom stage gets the buffer and its number.
    v.paintStages()[0].Stage = psCustom;
    unsigned stage = 99;
    v.OnPaintStage = [&](TImgView32Model*, TBitmap32& b, unsigned n) {
        stage = n;
        EXPECT_EQ(&b, &v.Buffer());
    };
    v.changed();
    v.Paint();
    EXPECT_EQ(stage, 0u);
}

TEST(ImgView32Model, DestroyingWithLayersDoesNotReportAChange)
{
    // The observer may not outlive the model (a local declared after it, a widget's member).
    int invalidations = 0;
    {
        TImgView32Model v;
        v.OnInvalidate = [&] { ++invalidations; };
        v.Layers().Add<TBitmapLayer>();
        invalidations = 0;
    }
    EXPECT_EQ(invalidations, 0);
}

TEST(ImgView32Model, ComposingIgnoresZoomAndScroll)
{
    TImgView32Model v;
    v.setViewSize(300, 200);
    v.Bitmap().SetDimensions(64, 48);
    for (int i = 0; i < 64 * 48; ++i) v.Bitmap().Bits()[i] = 0xFF000000u | TColor32(i * 2654435761u >> 8);
    auto* l = v.Layers().Add<TBitmapLayer>();
    l->Bitmap().SetDimensions(8, 8);
    l->Bitmap().FillAll(0x80FF0000);
    l->Bitmap().SetDrawMode(dmBlend);
    l->SetScaledWithImage(true);
    l->SetPlacement({10, 12, 18, 20});
    auto* cropped = v.Layers().Add<TBitmapLayer>();
    cropped->Bitmap().SetDimensions(4, 4);
    cropped->Bitmap().FillAll(0xFF00FF00);
    cropped->SetScaledWithImage(true);
    cropped->SetClipToImage(true);
    cropped->SetPlacement({62, 0, 66, 4}); // reaches past the image

    auto compose = [&] {
        TBitmap32 t(64, 48);
        v.ComposeInto(t, {0, 0, 64, 48});
        return std::vector<TColor32>(t.Bits(), t.Bits() + 64 * 48);
    };
    const auto first = compose();
    v.setScale(3.7f);
    v.horzBar().setPosition(55);
    v.updateImage();
    v.Paint();
    EXPECT_EQ(compose(), first);
    v.setScale(0.21f);
    EXPECT_EQ(compose(), first);
    EXPECT_FALSE(v.isComposing());

    // The base is copied pixel for pixel, the layer laid over it at its placement.
    EXPECT_EQ(first[0], v.Bitmap().Pixel(0, 0));
    const TColor32 under = v.Bitmap().Pixel(10, 12);
    EXPECT_EQ(first[12 * 64 + 10],
              ((0x80u * 128 + (under >> 24) * 128 + 128) >> 8) << 24 |
                  ((0xFFu * 128 + (under >> 16 & 255) * 128 + 128) >> 8) << 16 |
                  ((0u * 128 + (under >> 8 & 255) * 128 + 128) >> 8) << 8 |
                  ((0u * 128 + (under & 255) * 128 + 128) >> 8));
    EXPECT_EQ(first[63], 0xFF00FF00u); // cropping does not apply when composing
    // The transform is the screen's again afterwards.
    EXPECT_EQ(v.layerTransform().OriginX, v.ImageRect().Left);
}

TEST(ImgView32Model, MouseAndWheel)
{
    TImgView32Model v;
    v.setViewSize(200, 200);
    v.Bitmap().SetDimensions(100, 100);
    auto* l = v.Layers().Add<TBitmapLayer>();
    l->Bitmap().SetDimensions(10, 10);
    l->SetPlacement({0, 0, 50, 50});
    TCustomLayer* reported = l;
    v.OnMouseDown = [&](TImgView32Model*, TMouseButton, TShiftState, int, int, TCustomLayer* layer) {
        reported = layer;
    };
    bool capture = false, release = false;
    v.mouseDown(mbLeft, 0, 100, 100, &capture);
    EXPECT_EQ(reported, nullptr); // a press outside every layer reports none
    EXPECT_TRUE(capture);
    v.mouseUp(mbLeft, 0, 100, 100, &release);
    EXPECT_TRUE(release);
    v.mouseDown(mbRight, 0, 10, 10, &capture);
    EXPECT_EQ(reported, l);
    EXPECT_FALSE(capture);

    int up = 0, down = 0;
    v.OnMouseWheelUp = [&](TImgView32Model*) { ++up; };
    v.OnMouseWheelDown = [&](TImgView32Model*) { ++down; };
    v.mouseWheel(60);
    EXPECT_EQ(up, 0);
    v.mouseWheel(60);
    EXPECT_EQ(up, 1);
    v.mouseWheel(-360);
    EXPECT_EQ(down, 3);
}

TEST(RangeBars, ThumbSizes)
{
    TCustomRangeBarModel b;
    b.setBounds(200, 16); // arrows 16, track 168
    b.setRange(400);
    TBarGeometry g = b.Geometry();
    EXPECT_EQ(g.Arrow, 16);
    EXPECT_EQ(g.Track, 168);
    EXPECT_EQ(g.ThumbLength, 84);
    b.setPosition(100);
    EXPECT_EQ(b.Geometry().ThumbOffset, 42);
    b.setPosition(1000);
    EXPECT_EQ(b.Position(), 200); // at most range - visible
    b.setRange(100000);
    g = b.Geometry();
    EXPECT_EQ(g.ThumbLength, 17);
    EXPECT_EQ(g.ThumbOffset, int(std::nearbyint((168.0 - 17) * b.Position() / (100000 - 200))));
    b.setRange(50);
    EXPECT_EQ(b.Geometry().ThumbLength, 168); // content fits: the whole track
    EXPECT_EQ(b.Position(), 0);
    b.setBounds(40, 40); // arrows at most half the bar: track 0, no thumb
    EXPECT_EQ(b.Geometry().Arrow, 20);
    EXPECT_FALSE(b.Geometry().HasThumb);
    b.setBounds(200, 60);
    EXPECT_EQ(b.Geometry().Arrow, 32);
}

TEST(RangeBars, ArrowRepeatsAfter600ThenEvery100Milliseconds)
{
    TCustomRangeBarModel b;
    b.Centered = false;
    b.setBounds(200, 16);
    b.setRange(248); // position 0..48: 6 steps of 8
    int changes = 0, userChanges = 0;
    b.OnChange = [&] { ++changes; };
    b.OnUserChange = [&] { ++userChanges; };
    b.mouseDown(195, 1000); // the right arrow
    EXPECT_EQ(b.Position(), 8);
    b.tick(1599);
    EXPECT_EQ(b.Position(), 8);
    b.tick(1600);
    EXPECT_EQ(b.Position(), 16);
    b.tick(1699);
    EXPECT_EQ(b.Position(), 16);
    b.tick(1700);
    EXPECT_EQ(b.Position(), 24);
    b.tick(2000); // three more due: 1800, 1900, 2000
    EXPECT_EQ(b.Position(), 48);
    EXPECT_TRUE(b.repeating()); // the next step finds the end
    b.tick(2100);
    EXPECT_FALSE(b.repeating());
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(userChanges, 6);
    b.mouseUp();

    // Paging on the track stops once the thumb reaches the pointer.
    b.setRange(2000);
    b.setPosition(0);
    const int pointer = 16 + 120;
    b.mouseDown(pointer, 0);
    const float afterPress = b.Position();
    EXPECT_FLOAT_EQ(afterPress, 200);
    b.tick(10000);
    EXPECT_FALSE(b.repeating());
    const TBarGeometry g = b.Geometry();
    EXPECT_LE(16 + g.ThumbOffset, pointer + 1);
    EXPECT_GE(16 + g.ThumbOffset + g.ThumbLength, pointer);
    b.mouseUp();

    // Wheel and thumb drag.
    b.setPosition(0);
    b.Wheel(240);
    EXPECT_FLOAT_EQ(b.Position(), 16);
    b.setPosition(100);
    const TBarGeometry g2 = b.Geometry();
    b.mouseDown(16 + g2.ThumbOffset + 2, 0);
    b.mouseMove(16 + g2.ThumbOffset + 2 + 10);
    EXPECT_FLOAT_EQ(b.Position(), 100 + 10.0f * 2000 / 168);
    b.mouseUp();
}

TEST(RangeBars, GaugeBar)
{
    TGaugeBarModel g;
    g.setMin(0);
    g.setMax(255);
    g.setPosition(255);
    g.setHandleSize(16);
    g.ShowArrows = false;
    g.setBounds(116, 16);
    g.setLargeChange(0);
    EXPECT_EQ(g.LargeChange(), 1);
    int changes = 0;
    g.OnChange = [&] { ++changes; };
    TBarGeometry geo = g.Geometry();
    EXPECT_EQ(geo.Track, 116);
    EXPECT_EQ(geo.ThumbLength, 16);
    EXPECT_EQ(geo.ThumbOffset, 100);
    g.setPosition(128);
    EXPECT_EQ(g.Geometry().ThumbOffset, 50); // round(100 * 128 / 255) = 50.2
    // Dragging the handle 10 pixels: 255 * 10 / 100 = 25.5 -> 26 (to even).
    g.mouseDown(55, 0);
    g.mouseMove(65);
    EXPECT_EQ(g.Position(), 154);
    g.mouseUp();
    // A press beside the handle steps towards the pointer and repeats.
    g.setLargeChange(10);
    g.setPosition(100);
    g.mouseDown(110, 0);
    EXPECT_EQ(g.Position(), 110);
    g.tick(600);
    EXPECT_EQ(g.Position(), 120);
    g.mouseUp();
    g.Wheel(119);
    EXPECT_EQ(g.Position(), 120); // integer division
    g.Wheel(-240);
    EXPECT_EQ(g.Position(), 118);
    g.setPosition(1000);
    EXPECT_EQ(g.Position(), 255);
    g.setMax(-5); // kept above the minimum
    EXPECT_EQ(g.Max(), 1);
    EXPECT_EQ(g.Position(), 1);
    EXPECT_GT(changes, 5);
}

TEST(ImgView32Model, ExtremeZoomNeitherCrashesNorOverflows)
{
    TImgView32Model v;
    v.setViewSize(300, 200);
    v.Bitmap().SetDimensions(50, 40);
    v.Bitmap().FillAll(0xFF00FF00);
    auto* l = v.Layers().Add<TBitmapLayer>();
    l->Bitmap().SetDimensions(8, 8);
    l->Bitmap().FillAll(0xFFFF0000);
    l->Bitmap().SetStretchFilter(sfLinear);
    l->SetScaledWithImage(true);
    l->SetPlacement({-1000, -1000, 1000, 1000});
    for (float s : {1e30f, 5e4f, 1e-3f, 3.0f}) {
        v.setScale(s);
        v.horzBar().setPosition(1e9f);
        v.updateImage();
        v.Paint();
        (void)v.ViewToImage({10, 10});
    }
    TBitmap32 out(50, 40);
    v.ComposeInto(out, out.BoundsRect());
    EXPECT_EQ(out.Pixel(0, 0), 0xFFFF0000u); // the layer covers the image
}
