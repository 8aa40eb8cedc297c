#include "engine/EngineTestSupport.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "engine/SceneBuffer.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CountingBuffer;

TEST(Loading, ObjectsStaySilentUntilLoadedAndThenHoldAPoint)
{
    TGLScene scene;
    CountingBuffer buffer;
    buffer.RegisterWith(scene);
    auto* o = scene.AddNewObject<TGLPlane>();
    o->LocalTransform();
    buffer.changes = 0;

    o->SetLoading(true);
    o->Position().SetRaw(0.5f, 0, 0, 0); // a stored W of 0
    o->Position().SetComponent(0, 0.25f);
    o->Scale().SetComponent(0, 2);
    o->SetRollAngle(90);
    o->Material().FrontProperties().Diffuse().SetRed(0.1f);
    EXPECT_EQ(buffer.changes, 0);
    // The flags are still set, so the next query sees the new values.
    EXPECT_TRUE(o->Changes().contains(TransformStale));

    o->Loaded();
    EXPECT_FALSE(o->Loading());
    EXPECT_EQ(o->Position().W(), 1);
    EXPECT_GT(buffer.changes, 0);
    EXPECT_EQ(o->LocalTransform().row(3), (TVector{0.25f, 0, 0, 1}));
    EXPECT_FLOAT_EQ(o->LocalTransform().row(0).X, 2);

    // A scene in its loading state tells no buffer, whoever changes.
    buffer.changes = 0;
    scene.SetLoading(true);
    o->SetVisible(false);
    EXPECT_EQ(buffer.changes, 0);
    scene.SetLoading(false);
    o->SetVisible(true);
    EXPECT_EQ(buffer.changes, 1);
}

TEST(Colours, ComponentWritesReportOnlyRealChanges)
{
    TGLScene scene;
    CountingBuffer buffer;
    buffer.RegisterWith(scene);
    auto* cube = scene.AddNewObject<TGLDummyCube>();
    cube->LocalTransform();
    TGLColor& c = cube->EdgeColor();
    EXPECT_EQ(c.Color(), (TVector{1, 1, 1, 1}));

    buffer.changes = 0;
    c.SetRed(1); // unchanged
    EXPECT_EQ(buffer.changes, 0);
    c.SetRed(0.5f);
    EXPECT_GT(buffer.changes, 0);
    EXPECT_TRUE(cube->Changes().contains(GeometryStale));
    buffer.changes = 0;
    c.SetRGBA(0.5f, 1, 1, 1); // same values, but a whole set always reports
    EXPECT_GT(buffer.changes, 0);
    // Values outside 0..1 are kept as given.
    c.SetAlpha(2);
    EXPECT_EQ(c.Alpha(), 2);
    EXPECT_THROW(c.SetComponent(4, 0), std::runtime_error);
}

TEST(DummyCube, SortCentreIsTheMeanOfItsChildren)
{
    TGLDummyCube group;
    group.Position().SetPoint(10, 0, 0);
    EXPECT_EQ(group.SortCenter(), (TVector{10, 0, 0, 1}));
    group.AddNewChild<TGLDummyCube>()->Position().SetPoint(1, 0, 0);
    group.AddNewChild<TGLDummyCube>()->Position().SetPoint(3, 4, 0);
    const TVector c = group.SortCenter();
    EXPECT_FLOAT_EQ(c.X, 12);
    EXPECT_FLOAT_EQ(c.Y, 2);
    group.SetCubeSize(-3);
    EXPECT_EQ(group.HalfExtents(), (TVector{1.5f, 1.5f, 1.5f, 0}));
}
