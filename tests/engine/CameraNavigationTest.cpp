#include "engine/CameraLights.h"
#include "engine/Objects.h"
#include "engine/Scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace velmora;

namespace {

double dist(const TVector& a, const TVector& b)
{
    const double dx = double(a.X) - b.X, dy = double(a.Y) - b.Y, dz = double(a.Z) - b.Z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Angle between the camera's offset from the target and +Z (the rig's up).
double polarAngle(const TVector& cam, const TVector& target)
{
    return std::acos((double(cam.Z) - target.Z) / dist(cam, target));
}

// A camera in a moved rig, looking at a point of focus beside it, as the box
// scene has them; the camera's up is +Z.
struct Rig {
    TGLScene scene;
    TGLDummyCube* rig = scene.AddNewObject<TGLDummyCube>();
    TGLPoints* focus = rig->AddNewChild<TGLPoints>();
    TGLCamera* camera = rig->AddNewChild<TGLCamera>();

    Rig()
    {
        rig->Position().SetPoint(1, 2, 3);
        focus->Position().SetPoint(0, 0.5f, 0);
        camera->Up().SetVector(0, 0, 1);
        camera->Direction().SetVector(-1, 0, 0);
        camera->Position().SetPoint(4, 0.5f, 3);
        camera->SetTargetObject(focus);
    }
};

} // namespace

TEST(CameraNavigation, HorizontalOrbitKeepsHeightAndDistance)
{
    Rig r;
    const TVector t = r.focus->WorldPosition();
    const TVector before = r.camera->WorldPosition();
    r.camera->OrbitAroundTarget(0, 90);
    const TVector after = r.camera->WorldPosition();
    EXPECT_NEAR(dist(after, t), dist(before, t), 1e-5);
    EXPECT_NEAR(after.Z, before.Z, 1e-5);
    // Counter-clockwise seen from above: +X offset turns to +Y.
    EXPECT_NEAR(after.X - t.X, 0, 1e-4);
    EXPECT_NEAR(after.Y - t.Y, 4, 1e-4);
    // Stored in the rig's own coordinates, W a point.
    EXPECT_NEAR(r.camera->Position().X(), 0, 1e-4);
    EXPECT_NEAR(r.camera->Position().Y(), 4.5f, 1e-4);
    EXPECT_NEAR(r.camera->Position().Z(), 3, 1e-4);
    EXPECT_EQ(r.camera->Position().W(), 1);
    // Direction and Up are left to the look-at.
    EXPECT_EQ(r.camera->Direction().AsVector(), (TVector{-1, 0, 0, 0}));
}

TEST(CameraNavigation, PitchIsClampedShortOfThePoles)
{
    Rig r;
    const TVector t = r.focus->WorldPosition();
    const double d0 = dist(r.camera->WorldPosition(), t);
    // Dragging up lowers the camera; far enough it stops just above straight below.
    r.camera->OrbitAroundTarget(500, 0);
    EXPECT_NEAR(polarAngle(r.camera->WorldPosition(), t), std::numbers::pi - 0.025, 1e-4);
    EXPECT_NEAR(dist(r.camera->WorldPosition(), t), d0, 1e-4);
    // Further motion the same way changes only the turn part.
    const float z = r.camera->WorldPosition().Z;
    r.camera->OrbitAroundTarget(30, 45);
    EXPECT_NEAR(r.camera->WorldPosition().Z, z, 1e-4);
    // And down to the top pole.
    r.camera->OrbitAroundTarget(-1000, 0);
    EXPECT_NEAR(polarAngle(r.camera->WorldPosition(), t), 0.025, 1e-4);
}

TEST(CameraNavigation, ScaleTargetDistanceMultipliesAlongTheSameLine)
{
    Rig r;
    const TVector t = r.focus->WorldPosition();
    r.camera->ScaleTargetDistance(float(std::pow(1.1, 3.0)));
    EXPECT_NEAR(dist(r.camera->WorldPosition(), t), 5 * 1.331, 1e-4);
    EXPECT_NEAR(r.camera->Position().Y(), 0.5f, 1e-6);
    r.camera->ScaleTargetDistance(float(std::pow(1.1, -3.0)));
    EXPECT_NEAR(r.camera->Position().X(), 4, 1e-4);
    // No lower limit: a ratio of 0 puts the camera on its target.
    r.camera->ScaleTargetDistance(0);
    EXPECT_NEAR(dist(r.camera->WorldPosition(), t), 0, 1e-6);
}

TEST(CameraNavigation, WithoutTargetOrDistanceNothingMoves)
{
    Rig r;
    // On the target there is no direction to orbit along: stay put, no NaN.
    r.camera->Position().SetPoint(0, 0.5f, 0);
    r.camera->OrbitAroundTarget(10, 10);
    EXPECT_EQ(r.camera->Position().AsVector(), (TVector{0, 0.5f, 0, 1}));

    r.camera->Position().SetPoint(4, 0.5f, 3);
    r.camera->SetTargetObject(nullptr);
    r.camera->OrbitAroundTarget(10, 10);
    r.camera->ScaleTargetDistance(2);
    EXPECT_EQ(r.camera->Position().AsVector(), (TVector{4, 0.5f, 3, 1}));

    // A destroyed target is forgotten, so the operations stay safe.
    Rig s;
    s.rig->RemoveChild(s.focus, false).reset();
    EXPECT_EQ(s.camera->TargetObject(), nullptr);
    s.camera->OrbitAroundTarget(10, 10);
    EXPECT_EQ(s.camera->Position().AsVector(), (TVector{4, 0.5f, 3, 1}));
}
