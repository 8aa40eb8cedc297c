#include "BoxTestSupport.h"

#include <numbers>

namespace velmora {
namespace {

using test::BoxModelTest;
using test::distance;

constexpr double kDegree = std::numbers::pi / 180;

struct NavigationTest : BoxModelTest {
    // Camera relative to the point of focus.
    TVector offset() { return vectorSubtract(camera()->WorldPosition(), scene().GLPoints1->WorldPosition()); }
    double dist() { return vectorLength(offset()); }
    double polar() { return std::acos(offset().Z / dist()); }
    double azimuth() { return std::atan2(offset().Y, offset().X); }
    TGLCamera* camera() { return scene().GLCamera1; }

    void drag(TShiftState shift, int x0, int y0, int x1, int y1)
    {
        m.GLSceneViewer1MouseDown(shift & ssRight && !(shift & ssLeft) ? mbRight : mbLeft, shift, x0, y0);
        m.GLSceneViewer1MouseMove(shift, x1, y1);
    }
};

TEST_F(NavigationTest, HorizontalLeftDragOnlyTurnsAroundTheFocus)
{
    const double d0 = dist(), h0 = offset().Z, a0 = azimuth();
    // 30 pixels to the left: 30 degrees counter-clockwise seen from above.
    drag(ssLeft, 200, 100, 170, 100);
    EXPECT_NEAR(dist(), d0, 1e-5);
    EXPECT_NEAR(offset().Z, h0, 1e-5);
    EXPECT_NEAR(azimuth() - a0, 30 * kDegree, 1e-5);
    EXPECT_EQ(m.LastMouseX, 170);
    EXPECT_EQ(m.LastMouseY, 100);
    // Back to the right turns back.
    m.GLSceneViewer1MouseMove(ssLeft, 200, 100);
    EXPECT_NEAR(azimuth(), a0, 1e-5);
}

TEST_F(NavigationTest, VerticalDragStopsShortOfThePoles)
{
    const double d0 = dist();
    // Dragging up lowers the camera: the polar angle grows by a degree a pixel.
    const double p0 = polar();
    drag(ssLeft, 100, 300, 100, 290);
    EXPECT_NEAR(polar() - p0, 10 * kDegree, 1e-5);

    // Far up: 0.025 radians short of straight below the focus.
    m.GLSceneViewer1MouseMove(ssLeft, 100, 0);
    EXPECT_NEAR(polar(), std::numbers::pi - 0.025, 1e-4);
    // Further up with a sideways part changes only the turn.
    const double a = azimuth();
    m.GLSceneViewer1MouseMove(ssLeft, 80, -200);
    EXPECT_NEAR(polar(), std::numbers::pi - 0.025, 1e-4);
    EXPECT_NEAR(azimuth() - a, 20 * kDegree, 1e-4);

    // Far down: 0.025 radians short of straight above.
    m.GLSceneViewer1MouseMove(ssLeft, 80, 400);
    EXPECT_NEAR(polar(), 0.025, 1e-4);
    m.GLSceneViewer1MouseMove(ssLeft, 80, 900);
    EXPECT_NEAR(polar(), 0.025, 1e-4);
    EXPECT_NEAR(dist(), d0, 1e-4);
}

TEST_F(NavigationTest, RightDragZoomsByATenthPerTenPixels)
{
    const double d0 = dist();
    drag(ssRight, 50, 50, 50, 40); // up 10
    EXPECT_NEAR(dist() / d0, 1.1, 1e-5);
    m.GLSceneViewer1MouseMove(ssRight, 50, 50); // down 10
    EXPECT_NEAR(dist() / d0, 1.0, 1e-5);
    m.GLSceneViewer1MouseMove(ssRight, 50, 60); // down 10 more
    EXPECT_NEAR(dist() / d0, 1 / 1.1, 1e-5);
    m.GLSceneViewer1MouseMove(ssRight, 50, 55); // up 5
    EXPECT_NEAR(dist() / d0, std::pow(1.1, -0.5), 1e-5);
    // Sideways right drags and the direction of view are left alone.
    const double a = azimuth(), p = polar();
    m.GLSceneViewer1MouseMove(ssRight, 90, 55);
    EXPECT_NEAR(azimuth(), a, 1e-6);
    EXPECT_NEAR(polar(), p, 1e-6);
}

TEST_F(NavigationTest, WheelAndArrowKeysZoom)
{
    const double d0 = dist();
    bool handled = false;
    m.FormMouseWheel(0, 360, 10, 10, handled); // three notches at once
    EXPECT_NEAR(dist() / d0, 1.331, 1e-5);
    EXPECT_FALSE(handled);
    m.FormMouseWheel(ssCtrl | ssShift, -120, 10, 10, handled); // modifiers change nothing
    EXPECT_NEAR(dist() / d0, 1.21, 1e-5);

    const double d1 = dist();
    unsigned short key = VK_UP;
    m.FormKeyDown(key, 0);
    EXPECT_NEAR(dist() / d1, 1 / 1.1, 1e-5);
    EXPECT_EQ(key, VK_UP); // not consumed
    key = VK_DOWN;
    m.FormKeyDown(key, 0);
    EXPECT_NEAR(dist() / d1, 1.0, 1e-5);
    key = 0x25; // left arrow
    m.FormKeyDown(key, 0);
    EXPECT_NEAR(dist() / d1, 1.0, 1e-6);
}

TEST_F(NavigationTest, CtrlDragMovesTheWholeRig)
{
    const TVector box = scene().DummyCube2->WorldPosition();
    const TVector cam = camera()->WorldPosition();
    const TVector floor = scene().GLMirror1->WorldPosition();
    const TVector light = scene().GLLightSource3->WorldPosition();
    const TVector shadow = scene().GLDropShadow->WorldPosition();
    const TVector focus = scene().GLPoints1->WorldPosition();

    drag(ssLeft | ssCtrl, 100, 100, 100, 200); // 100 pixels down raises the rig one unit
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Z(), 1);
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Y(), 0);
    for (auto [o, before] : {std::pair{(TGLBaseSceneObject*)camera(), cam},
                             {scene().GLMirror1, floor},
                             {scene().GLLightSource3, light},
                             {scene().GLDropShadow, shadow},
                             {scene().GLPoints1, focus}}) {
        const TVector now = o->WorldPosition();
        EXPECT_NEAR(now.Z - before.Z, 1, 1e-5) << o->Name();
        EXPECT_NEAR(now.X, before.X, 1e-6) << o->Name();
    }
    EXPECT_EQ(scene().DummyCube2->WorldPosition(), box);

    // 50 pixels to the left moves it half a unit along +Y; Shift wins over Ctrl.
    m.GLSceneViewer1MouseMove(ssLeft | ssCtrl, 50, 200);
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Y(), 0.5f);
    m.GLSceneViewer1MouseMove(ssLeft | ssCtrl | ssShift, 40, 200);
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Y(), 0.5f);
    EXPECT_FLOAT_EQ(scene().GLPoints1->Position().Y(), 0.1f);
}

TEST_F(NavigationTest, ShiftDragMovesOnlyTheFocusAndLaterOrbitsAroundIt)
{
    const TVector cam = camera()->WorldPosition();
    drag(ssLeft | ssShift, 100, 100, 80, 130); // left 20, down 30
    EXPECT_FLOAT_EQ(scene().GLPoints1->Position().Y(), 0.2f);
    EXPECT_FLOAT_EQ(scene().GLPoints1->Position().Z(), 0.3f);
    EXPECT_EQ(camera()->WorldPosition(), cam);
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Z(), 0);

    const double d = dist(), h = offset().Z;
    m.GLSceneViewer1MouseMove(ssLeft, 40, 130); // orbit around the new focus
    EXPECT_NEAR(dist(), d, 1e-5);
    EXPECT_NEAR(offset().Z, h, 1e-5);
}

TEST_F(NavigationTest, BothButtonsActAsTheLeftOne)
{
    const double d0 = dist(), a0 = azimuth();
    drag(ssLeft | ssRight, 100, 100, 90, 80);
    EXPECT_NEAR(dist(), d0, 1e-5); // orbit, not zoom
    EXPECT_NEAR(azimuth() - a0, 10 * kDegree, 1e-4);
    m.GLSceneViewer1MouseMove(ssLeft | ssRight | ssShift, 80, 80);
    EXPECT_FLOAT_EQ(scene().GLPoints1->Position().Y(), 0.1f); // focus, not the box turn
    EXPECT_FLOAT_EQ(scene().DummyCube2->PitchAngle(), 0);
}

TEST_F(NavigationTest, ShiftRightDragTurnsBoxAndShadowTogether)
{
    drag(ssRight | ssShift, 100, 100, 130, 100); // 30 pixels right
    EXPECT_FLOAT_EQ(scene().DummyCube2->PitchAngle(), -30);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->RollAngle(), 30);
    // Both turned by +30 degrees about +X: their up axes (+Y before) agree.
    const TVector boxUp = scene().DummyCube2->Up().AsVector();
    const TVector shadowUp = scene().GLDropShadow->Up().AsVector();
    EXPECT_NEAR(boxUp.Y, std::cos(30 * kDegree), 1e-5);
    EXPECT_NEAR(boxUp.Z, std::sin(30 * kDegree), 1e-5);
    EXPECT_NEAR(shadowUp.Y, boxUp.Y, 1e-5);
    EXPECT_NEAR(shadowUp.Z, boxUp.Z, 1e-5);
    EXPECT_NEAR(shadowUp.X, 0, 1e-5);
}

TEST_F(NavigationTest, MovesWithoutAButtonOnlyRememberThePointer)
{
    const TVector cam = camera()->WorldPosition();
    m.GLSceneViewer1MouseMove(ssShift | ssCtrl, 333, 222);
    EXPECT_EQ(m.LastMouseX, 333);
    EXPECT_EQ(m.LastMouseY, 222);
    m.GLSceneViewer1MouseMove(ssMiddle | ssAlt, 10, 10);
    EXPECT_EQ(camera()->WorldPosition(), cam);
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Z(), 0);
}

TEST_F(NavigationTest, OtherBoxTypesLeaveTheSceneUnchanged)
{
    const TVector cam = camera()->WorldPosition();
    m.BoxType = 0;
    m.GLSceneViewer1MouseDown(mbLeft, ssLeft, 10, 20); // the press is still remembered
    EXPECT_EQ(m.LastMouseX, 10);
    for (TShiftState s :
         {TShiftState(ssLeft), ssLeft | ssShift, ssLeft | ssCtrl, TShiftState(ssRight), ssRight | ssShift})
        m.GLSceneViewer1MouseMove(s, 300, 400);
    EXPECT_EQ(m.LastMouseX, 10); // a move is not
    EXPECT_EQ(m.LastMouseY, 20);
    bool handled = false;
    m.FormMouseWheel(0, 240, 0, 0, handled);
    unsigned short key = VK_UP;
    m.FormKeyDown(key, 0);
    m.BoxType = 2;
    m.GLSceneViewer1MouseMove(ssLeft, 0, 0);
    EXPECT_EQ(camera()->WorldPosition(), cam);
    EXPECT_FLOAT_EQ(scene().GLPoints1->Position().Y(), 0);
    EXPECT_FLOAT_EQ(scene().DummyCube1->Position().Z(), 0);
    EXPECT_FLOAT_EQ(scene().DummyCube2->PitchAngle(), 0);
}

TEST_F(NavigationTest, AZoomNeverLeavesTheCameraOnTheFocusOrAtInfinity)
{
    // Fast strokes toward a point of focus off the origin: rounding would put
    // the camera exactly on it, from where nothing could move it again.
    drag(ssLeft | ssShift, 0, 0, -37, 20);
    for (int i = 0; i < 20; ++i) drag(ssRight, 0, 0, 0, 2000);
    ASSERT_GT(dist(), 0);
    const double close = dist();
    for (int i = 0; i < 10; ++i) drag(ssRight, 0, 500, 0, 0); // 1.1^50 each
    EXPECT_GT(dist(), close * 1e15);

    // A ratio beyond the float range keeps the camera where it was.
    const TVector before = camera()->Position().AsVector();
    drag(ssRight, 0, 30000, 0, 0);
    EXPECT_EQ(camera()->Position().AsVector(), before);
    bool handled = false;
    m.FormMouseWheel(0, 120 * 2000, 0, 0, handled);
    EXPECT_EQ(camera()->Position().AsVector(), before);
    // Ordinary steps are untouched.
    const double d = dist();
    unsigned short key = VK_DOWN;
    m.FormKeyDown(key, 0);
    EXPECT_NEAR(dist() / d, 1.1, 1e-5);
}

TEST(NavigationWithoutAScene, HandlersDoNothing)
{
    TfrmMainModel m("/nowhere/", "/tmp/", TBoxSceneFactory{});
    m.GLSceneViewer1MouseDown(mbLeft, ssLeft, 1, 2);
    m.GLSceneViewer1MouseMove(ssLeft, 5, 5);
    bool handled = false;
    m.FormMouseWheel(0, 120, 0, 0, handled);
    unsigned short key = VK_DOWN;
    m.FormKeyDown(key, 0);
    EXPECT_EQ(m.LastMouseX, 5);
}

} // namespace
} // namespace velmora
