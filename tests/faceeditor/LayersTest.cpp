#include "faceeditor/Layers.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

struct FakeHost : TLayerHost {
    TLayerTransform transform;
    TRect imageRect{0, 0, 1000, 1000};
    bool composing = false;
    int repaints = 0;
    TCursor cursor = crDefault;
    const TLayerTransform& layerTransform() override { return transform; }
    TRect ImageRect() const override { return imageRect; }
    bool isComposing() const override { return composing; }
    void layersChanged() override { ++repaints; }
    void showCursor(TCursor c) override { cursor = c; }
};

TBitmapLayer* addBitmapLayer(TLayerCollection& c, TFloatRect placement, int w = 10, int h = 10,
                             TColor32 fill = 0xFFFF0000)
{
    auto* l = c.Add<TBitmapLayer>();
    l->Bitmap().SetDimensions(w, h);
    l->Bitmap().FillAll(fill);
    l->SetPlacement(placement);
    return l;
}

} // namespace

TEST(Layers, PressesGoToTheTopmostLayerHit)
{
    FakeHost host;
    TLayerCollection stack(&host);
    auto* low = addBitmapLayer(stack, {0, 0, 100, 100});
    auto* high = addBitmapLayer(stack, {50, 50, 150, 150});
    EXPECT_EQ(low->LayerFlags(), unsigned(lfVisible | lfMouse));
    EXPECT_EQ(stack.MouseDown(mbLeft, 0, 60, 60), high);
    EXPECT_EQ(stack.MouseOwner(), high);
    EXPECT_EQ(stack.MouseUp(mbLeft, 0, 60, 60), high);
    EXPECT_EQ(stack.MouseOwner(), nullptr);
    EXPECT_EQ(stack.MouseDown(mbLeft, 0, 10, 10), low);
    stack.MouseUp(mbLeft, 0, 10, 10);
    // Right and bottom edges are outside.
    EXPECT_EQ(stack.MouseDown(mbLeft, 0, 150, 60), nullptr);
    EXPECT_EQ(stack.MouseOwner(), nullptr);

    // Other buttons without an owner find a layer but reach none.
    int downs = 0;
    high->OnMouseDown = [&](TCustomLayer*, TMouseButton, TShiftState, int, int) { ++downs; };
    EXPECT_EQ(stack.MouseDown(mbRight, 0, 60, 60), high);
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(stack.MouseOwner(), nullptr);
    // While the left button holds it, the owner gets every event, anywhere.
    stack.MouseDown(mbLeft, 0, 60, 60);
    stack.MouseDown(mbRight, 0, 500, 500);
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(high->ButtonState, 3u);
    stack.MouseUp(mbLeft, 0, 500, 500);
    EXPECT_EQ(stack.MouseOwner(), high);
    stack.MouseUp(mbRight, 0, 500, 500);
    EXPECT_EQ(stack.MouseOwner(), nullptr);

    // A layer that does not capture is found but does not own the mouse.
    high->SetLayerFlags(lfVisible | lfMouse | lfNoCapture);
    EXPECT_EQ(stack.MouseDown(mbLeft, 0, 60, 60), high);
    EXPECT_EQ(stack.MouseOwner(), nullptr);
    // Removing the owner releases the mouse.
    stack.MouseDown(mbLeft, 0, 10, 10);
    ASSERT_EQ(stack.MouseOwner(), low);
    stack.Delete(low);
    EXPECT_EQ(stack.MouseOwner(), nullptr);
    EXPECT_EQ(high->StackIndex(), 0);
}

TEST(Layers, StackOrderAndRepaints)
{
    FakeHost host;
    TLayerCollection stack(&host);
    auto* a = addBitmapLayer(stack, {0, 0, 10, 10});
    auto* b = addBitmapLayer(stack, {0, 0, 10, 10});
    auto* c = addBitmapLayer(stack, {0, 0, 10, 10});
    a->SetStackIndex(99);
    EXPECT_EQ(a->StackIndex(), 2);
    EXPECT_EQ(b->StackIndex(), 0);
    c->LowerToBottom();
    EXPECT_EQ(c->StackIndex(), 0);
    b->RaiseToTop();
    EXPECT_EQ(b->StackIndex(), 2);
    host.repaints = 0;
    b->SetStackIndex(2); // no change, no repaint
    EXPECT_EQ(host.repaints, 0);

    a->SetPlacement({1, 1, 5, 5});
    EXPECT_EQ(host.repaints, 1);
    a->Bitmap().SetMasterAlpha(3); // a change of its pixels or properties
    EXPECT_EQ(host.repaints, 2);
    a->SetLayerFlags(lfVisible | lfMouse | lfQuiet);
    a->SetPlacement({2, 2, 5, 5});
    EXPECT_EQ(host.repaints, 2);
    a->SetLayerFlags(lfMouse); // hiding alone does not repaint
    EXPECT_EQ(host.repaints, 2);
    a->SetPlacement({3, 3, 5, 5});
    EXPECT_EQ(host.repaints, 2);
    stack.Clear();
    EXPECT_EQ(stack.Count(), 0);
    EXPECT_EQ(host.repaints, 3); // one repaint for all
}

TEST(Layers, BitmapLayerPaint)
{
    FakeHost host;
    TLayerCollection stack(&host);
    auto* l = addBitmapLayer(stack, {5, 5, 15, 15});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) l->Bitmap().Pixel(x, y) = 0xFF000000u | TColor32(y * 10 + x);
    l->Bitmap().SetStretchFilter(sfLinear);

    // The exact size is copied pixel for pixel, whatever the filter.
    TBitmap32 target(30, 30);
    stack.Paint(target, lfVisible);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(target.Pixel(5 + x, 5 + y), l->Bitmap().Pixel(x, y));
    EXPECT_EQ(target.Pixel(4, 4), 0u);
    EXPECT_EQ(target.Pixel(15, 15), 0u);

    // Placed in image pixels: the view's transform (scale 2, shift 3, 4) applies.
    l->SetScaledWithImage(true);
    host.transform.FixedScaleX = host.transform.FixedScaleY = 131072;
    host.transform.OriginX = 3;
    host.transform.OriginY = 4;
    EXPECT_EQ(l->AdjustedPlacement(), (TFloatRect{13, 14, 33, 34}));
    EXPECT_TRUE(l->HitTest(13, 14));
    EXPECT_FALSE(l->HitTest(33, 20));

    // Cropped layers stay inside the image on screen, not when composing.
    TBitmap32 screen(40, 40);
    l->SetClipToImage(true);
    host.imageRect = {0, 0, 20, 20};
    stack.Paint(screen, lfVisible);
    EXPECT_NE(screen.Pixel(19, 19), 0u);
    EXPECT_EQ(screen.Pixel(20, 20), 0u);
    host.composing = true;
    stack.Paint(screen, lfVisible);
    EXPECT_NE(screen.Pixel(25, 25), 0u);

    // The cropped layer's size test is on the rounded rectangle: 0.2..0.6
    // rounds to one column, which is painted; 0.6..1.4 rounds to none.
    {
        TLayerCollection thin(&host);
        auto* t = addBitmapLayer(thin, {0.2f, 0, 0.6f, 10}, 1, 10, 0xFF00FF00);
        t->SetClipToImage(true);
        TBitmap32 out(4, 12);
        host.composing = false;
        thin.Paint(out, lfVisible);
        EXPECT_EQ(out.Pixel(0, 5), 0xFF00FF00u);
        t->SetPlacement({0.6f, 0, 1.4f, 10});
        out.FillAll(0);
        thin.Paint(out, lfVisible);
        for (int i = 0; i < 4 * 12; ++i) ASSERT_EQ(out.Bits()[i], 0u);
        host.composing = true;
    }

    // A blended layer at master alpha 0 paints nothing at all.
    TBitmap32 untouched(40, 40);
    l->Bitmap().SetDrawMode(dmBlend);
    l->Bitmap().SetMasterAlpha(0);
    stack.Paint(untouched, lfVisible);
    for (int i = 0; i < 40 * 40; ++i) ASSERT_EQ(untouched.Bits()[i], 0u);

    // Only layers with the stage's flag are painted.
    l->Bitmap().SetMasterAlpha(255);
    l->SetLayerFlags(lfMouse);
    stack.Paint(untouched, lfVisible);
    for (int i = 0; i < 40 * 40; ++i) ASSERT_EQ(untouched.Bits()[i], 0u);

    // Absurd placements neither crash nor draw.
    l->SetLayerFlags(lfVisible);
    host.composing = false;
    l->SetScaledWithImage(false);
    l->SetPlacement({-1e30f, 1e30f, 1e30f, -1e30f});
    stack.Paint(untouched, lfVisible);
    for (int i = 0; i < 40 * 40; ++i) ASSERT_EQ(untouched.Bits()[i], 0u);
}

TEST(Layers, RubberbandGrips)
{
    FakeHost host;
    TLayerCollection stack(&host);
    auto* pic = addBitmapLayer(stack, {100, 100, 200, 150});
    auto* rb = stack.Add<TRubberbandLayer>();
    rb->SetTarget(pic);
    EXPECT_EQ(rb->Placement(), pic->Placement());
    EXPECT_TRUE(rb->LayerFlags() & lfQuiet);

    // 3 pixels outside the right edge at mid height.
    EXPECT_EQ(stack.MouseDown(mbLeft, 0, 202, 125), rb);
    EXPECT_TRUE(rb->Dragging());
    stack.MouseUp(mbLeft, 0, 202, 125);
    const struct {
        int x, y;
        TRubberbandGrip grip;
    } grips[] = {
        {202, 125, rgRight},     {203, 125, rgRight},    {204, 125, rgNone},    {199, 149, rgBottomRight},
        {97, 146, rgBottomLeft}, {199, 100, rgTopRight}, {100, 100, rgTopLeft}, {149, 150, rgBottom},
        {100, 124, rgLeft},      {149, 96, rgTop},       {130, 130, rgMove},    {150, 160, rgNone},
    };
    for (const auto& g : grips) EXPECT_EQ(rb->GripAt(g.x, g.y), g.grip) << g.x << "," << g.y;

    // The pointer shapes follow the grip.
    const struct {
        int x, y;
        TCursor cursor;
    } pointers[] = {
        {100, 124, crSizeWE},   {149, 96, crSizeNS},   {100, 100, crSizeNWSE},
        {199, 100, crSizeNESW}, {500, 500, crDefault},
    };
    for (const auto& p : pointers) {
        stack.MouseMove(0, p.x, p.y);
        EXPECT_EQ(host.cursor, p.cursor) << p.x << "," << p.y;
    }

    // Centres divide toward zero, also left of and above the view's origin:
    // L = -30, R' = -11 gives Cx = -20, so x = -16 on the top edge is the top handle.
    pic->SetPlacement({-30, -30, -10, -10});
    rb->SetTarget(pic);
    EXPECT_EQ(rb->GripAt(-16, -30), rgTop);
    EXPECT_EQ(rb->GripAt(-30, -16), rgLeft);
    EXPECT_EQ(rb->GripAt(-25, -25), rgMove);

    // Deleting the framed layer leaves the frame without a target.
    stack.Delete(pic);
    EXPECT_EQ(rb->Target(), nullptr);
    EXPECT_FALSE(rb->LayerFlags() & lfQuiet);
}

TEST(Layers, RubberbandDrags)
{
    FakeHost host;
    TLayerCollection stack(&host);
    auto* pic = addBitmapLayer(stack, {100, 100, 150, 140});
    auto* rb = stack.Add<TRubberbandLayer>();
    rb->MinimumWidth = rb->MinimumHeight = 1;
    rb->SetTarget(pic);

    // A left handle dragged 60 units right: width 1, right edge kept.
    stack.MouseDown(mbLeft, 0, 100, 120);
    stack.MouseMove(0, 160, 120);
    stack.MouseUp(mbLeft, 0, 160, 120);
    EXPECT_EQ(pic->Placement(), (TFloatRect{149, 100, 150, 140}));
    EXPECT_EQ(rb->Placement(), pic->Placement());
    EXPECT_FALSE(rb->Dragging());

    // Moving keeps the size and the pointer's offset into the frame.
    pic->SetPlacement({100, 100, 150, 140});
    rb->SetTarget(pic);
    stack.MouseDown(mbLeft, 0, 110, 120);
    stack.MouseMove(0, 130, 125);
    stack.MouseUp(mbLeft, 0, 130, 125);
    EXPECT_EQ(pic->Placement(), (TFloatRect{120, 105, 170, 145}));

    // A maximum at or above the minimum limits the size.
    rb->MaximumWidth = 60;
    stack.MouseDown(mbLeft, 0, 169, 125);
    stack.MouseMove(0, 300, 125);
    EXPECT_EQ(pic->Placement().Right, 180);
    stack.MouseUp(mbLeft, 0, 300, 125);

    // OnReshape may change the proposal.
    rb->OnReshape = [](TRubberbandLayer*, const TFloatRect& old, TFloatRect& n, TRubberbandGrip g, TShiftState s) {
        if (g == rgBottom && (s & ssCtrl)) n.Top = old.Top - (n.Bottom - old.Bottom);
    };
    stack.MouseDown(mbLeft, 0, 150, 144);
    stack.MouseMove(ssCtrl, 150, 154);
    stack.MouseUp(mbLeft, ssCtrl, 150, 154);
    EXPECT_EQ(pic->Placement(), (TFloatRect{120, 96, 180, 154}));

    // In image pixels, pointer movement is turned into image units (scale 2).
    rb->OnReshape = nullptr;
    pic->SetScaledWithImage(true);
    pic->SetPlacement({10, 10, 30, 20});
    rb->SetTarget(pic);
    host.transform.FixedScaleX = host.transform.FixedScaleY = 131072;
    EXPECT_EQ(rb->AdjustedPlacement(), (TFloatRect{20, 20, 60, 40}));
    stack.MouseDown(mbLeft, 0, 59, 30); // right edge
    stack.MouseMove(0, 79, 30);
    stack.MouseUp(mbLeft, 0, 79, 30);
    EXPECT_EQ(pic->Placement(), (TFloatRect{10, 10, 39.5f, 20}));

    // Moving in image pixels keeps the grip point under the pointer: 20 view
    // pixels at scale 2 are 10 image pixels.
    pic->SetPlacement({10, 10, 30, 20});
    rb->SetTarget(pic);
    stack.MouseDown(mbLeft, 0, 30, 30);
    stack.MouseMove(0, 50, 36);
    stack.MouseUp(mbLeft, 0, 50, 36);
    EXPECT_EQ(pic->Placement(), (TFloatRect{20, 13, 40, 23}));
}

TEST(Layers, RubberbandPaint)
{
    FakeHost host;
    TLayerCollection stack(&host);
    auto* rb = stack.Add<TRubberbandLayer>();
    rb->SetPlacement({10, 10, 30, 25});
    TBitmap32 t(50, 50);
    t.FillAll(0xFF808080);
    rb->Paint(t);
    const TColor32 W = 0xFFFFFFFF, K = 0xFF000000;
    // The path: top edge rightwards, right edge down, bottom leftwards, left up.
    std::vector<std::pair<int, int>> path;
    for (int x = 10; x <= 28; ++x) path.push_back({x, 10});
    for (int y = 10; y <= 23; ++y) path.push_back({29, y});
    for (int x = 29; x >= 11; --x) path.push_back({x, 24});
    for (int y = 24; y >= 11; --y) path.push_back({10, y});
    // Handles cover the corners and side middles: check the path elsewhere.
    auto inHandle = [](int x, int y) {
        const int hx[] = {10, 30, 10, 30, 20, 10, 30, 20}, hy[] = {10, 10, 25, 25, 10, 17, 17, 25};
        for (int i = 0; i < 8; ++i)
            if (x >= hx[i] - 3 && x <= hx[i] + 2 && y >= hy[i] - 3 && y <= hy[i] + 2) return true;
        return false;
    };
    int checked = 0;
    for (std::size_t k = 0; k < path.size(); ++k) {
        auto [x, y] = path[k];
        if (inHandle(x, y)) continue;
        ++checked;
        ASSERT_EQ(t.Pixel(x, y), (k % 4 < 2 ? W : K)) << k;
    }
    EXPECT_GT(checked, 20);
    // Handle at (30, 17): 6 x 6, outlined in black, filled white.
    EXPECT_EQ(t.Pixel(27, 14), K);
    EXPECT_EQ(t.Pixel(32, 19), K);
    EXPECT_EQ(t.Pixel(28, 15), W);
    EXPECT_EQ(t.Pixel(31, 18), W);
    EXPECT_EQ(t.Pixel(33, 17), 0xFF808080u);
    EXPECT_EQ(t.Pixel(20, 20), 0xFF808080u);

    // A one-pixel-wide frame is one line counted from its top.
    TBitmap32 line(40, 40);
    rb->SetPlacement({30, 0, 31, 30});
    rb->Paint(line);
    EXPECT_EQ(line.Pixel(30, 5), W);
    EXPECT_EQ(line.Pixel(30, 6), K);
    EXPECT_EQ(line.Pixel(30, 7), K);
    EXPECT_EQ(line.Pixel(30, 8), W);
    EXPECT_EQ(line.Pixel(29, 5), 0u);
    // Pixels clipped away still count in the pattern: a frame from x = -5
    // puts path pixel 5 at x = 0, and the bottom edge starts counting after
    // the top and right edges.
    TBitmap32 clipped(20, 20);
    rb->SetPlacement({-5, 2, 30, 10});
    rb->Paint(clipped);
    EXPECT_EQ(clipped.Pixel(0, 2), W);  // k = 5
    EXPECT_EQ(clipped.Pixel(2, 2), K);  // k = 7
    EXPECT_EQ(clipped.Pixel(3, 2), W);  // k = 8
    EXPECT_EQ(clipped.Pixel(19, 9), K); // k = 34 + 7 + 10 = 51
    EXPECT_EQ(clipped.Pixel(18, 9), W); // k = 52

    // A frame reaching far outside the target is clipped, quickly.
    TBitmap32 small(8, 8);
    rb->SetPlacement({-1e9f, 2, 1e9f, 5});
    rb->Paint(small);
    SUCCEED();
}
