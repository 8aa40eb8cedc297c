#include "engine/CameraLights.h"
#include "engine/EngineTestSupport.h"
#include "engine/GLErrors.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "engine/SceneBuffer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace velmora;
using velmora::test::CountingBuffer;

namespace {

void expectVec(const TVector& v, float x, float y, float z, float w, float eps = 1e-6f)
{
    EXPECT_NEAR(v.X, x, eps);
    EXPECT_NEAR(v.Y, y, eps);
    EXPECT_NEAR(v.Z, z, eps);
    EXPECT_NEAR(v.W, w, eps);
}

void expectMatrixNear(const TMatrix& a, const TMatrix& b, float eps = 1e-5f)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], eps) << "at " << i << "," << j;
}

} // namespace

TEST(Orientation, ZeroDirectionBecomesDefaultAxisAndUpIsReorthogonalised)
{
    TGLDummyCube o;
    o.Up().SetVector(0, 0.6f, 0.8f);
    o.Direction().SetVector(0, 0, 0);
    expectVec(o.Direction().AsVector(), 0, 0, 1, 0);
    // Up keeps its component perpendicular to the direction.
    expectVec(o.Up().AsVector(), 0, 1, 0, 0);
}

TEST(Orientation, DirectionParallelToUpUsesTheFallBackAxes)
{
    TGLDummyCube a; // Up (0, 1, 0)
    a.Direction().SetVector(0, 1, 0);
    expectVec(a.Direction().AsVector(), 0, 1, 0, 0);
    expectVec(a.Up().AsVector(), 0, 0, -1, 0);

    TGLDummyCube b;
    b.Up().SetVector(0, 0, 1); // Up wins: Direction leaves +Z
    b.Direction().SetVector(0, 0, 1);
    expectVec(b.Direction().AsVector(), 0, 0, 1, 0);
    expectVec(b.Up().AsVector(), -1, 0, 0, 0);
}

TEST(Orientation, SettingUpKeepsItAndTurnsDirection)
{
    TGLDummyCube o;
    o.Up().SetVector(0, 0, 0);
    expectVec(o.Up().AsVector(), 0, 1, 0, 0);
    o.Up().SetVector(0, 0, 2);
    expectVec(o.Up().AsVector(), 0, 0, 1, 0);
    // Direction (0,0,1) was parallel: (0,0,1) x Up fails too, right = (1,0,0) x Up =
    // (0,-1,0), so Direction = Up x right = (1,0,0).
    expectVec(o.Direction().AsVector(), 1, 0, 0, 0);
}

TEST(Angles, AreNormalisedAndRotateOnlyByTheDifference)
{
    TGLDummyCube o;
    o.SetPitchAngle(370);
    EXPECT_FLOAT_EQ(o.PitchAngle(), 10);
    o.SetPitchAngle(180);
    EXPECT_FLOAT_EQ(o.PitchAngle(), 180);
    o.SetPitchAngle(-180);
    EXPECT_FLOAT_EQ(o.PitchAngle(), 180);
    o.SetPitchAngle(190);
    EXPECT_FLOAT_EQ(o.PitchAngle(), -170);

    TGLDummyCube p;
    p.SetTurnAngle(30);
    const TVector d1 = p.Direction().AsVector();
    p.SetTurnAngle(30); // same value: no second rotation
    EXPECT_EQ(p.Direction().AsVector(), d1);
    EXPECT_FLOAT_EQ(p.TurnAngle(), 30);
}

TEST(Angles, PitchBy90OnDefaultOrientation)
{
    TGLDummyCube o;
    o.SetPitchAngle(90);
    expectVec(o.Direction().AsVector(), 0, 1, 0, 0);
    expectVec(o.Up().AsVector(), 0, 0, -1, 0);
}

TEST(Angles, WhileLoadingOnlyRecord)
{
    TGLPlane p;
    p.Direction().SetVector(1, 0, 0);
    p.Up().SetVector(0, 0, 1);
    p.SetLoading(true);
    p.SetRollAngle(180);
    p.SetLoading(false);
    EXPECT_FLOAT_EQ(p.RollAngle(), 180);
    expectVec(p.Direction().AsVector(), 1, 0, 0, 0);
    expectVec(p.Up().AsVector(), 0, 0, 1, 0);
}

TEST(Coordinates, StylesGuardTheirW)
{
    TGLDummyCube o;
    EXPECT_THROW(o.Position().SetVector(1, 2, 3), EGLAssertion);
    EXPECT_THROW(o.Scale().SetPoint(1, 2, 3), EGLAssertion);
    o.Position().SetAsVector(1, 2, 3, 0);
    EXPECT_EQ(o.Position().W(), 1);
    o.Direction().SetAsVector(1, 0, 0, 1);
    EXPECT_EQ(o.Direction().W(), 0);
    // SetComponent may write W of any style.
    o.Position().SetComponent(3, 0.5f);
    EXPECT_EQ(o.Position().W(), 0.5f);
    EXPECT_THROW(o.Position().SetComponent(4, 1), EGLAssertion);

    TGLCoordinates free(nullptr, {1, 2, 3, 4});
    free.SetVector(1, 1, 1);
    EXPECT_EQ(free.W(), 0);
    free.SetPoint(1, 1, 1);
    EXPECT_EQ(free.W(), 1);
}

TEST(Transforms, LocalTransformFollowsPlacementAndIsLazy)
{
    TGLDummyCube parent;
    auto* plane = parent.AddNewChild<TGLPlane>();
    plane->Direction().SetVector(1, 0, 0);
    plane->Up().SetVector(0, 0, 1);
    plane->Position().SetPoint(0.1f, 0, 0);
    const TMatrix before = plane->LocalTransform();
    // Local X axis = Up x Direction = (0, 1, 0).
    expectVec(before.row(0), 0, 1, 0, 0);
    expectVec(before.row(1), 0, 0, 1, 0);
    expectVec(before.row(2), 1, 0, 0, 0);
    expectVec(before.row(3), 0.1f, 0, 0, 1);

    auto* child = plane->AddNewChild<TGLDummyCube>();
    child->Position().SetPoint(1, 0, 0);
    expectVec(child->WorldPosition(), 0.1f, 1, 0, 1);

    plane->Scale().SetX(0.8f);
    // Only flags are set by the write...
    EXPECT_TRUE(plane->Changes().contains(TransformStale));
    EXPECT_TRUE(child->Changes().contains(AbsoluteStale));
    // ...and only row 1 changes when rebuilt.
    const TMatrix after = plane->LocalTransform();
    expectVec(after.row(0), 0, 0.8f, 0, 0);
    for (int r = 1; r < 4; ++r) EXPECT_EQ(after.row(r), before.row(r));
    expectVec(child->WorldPosition(), 0.1f, 0.8f, 0, 1);
}

TEST(Transforms, InverseUsesTheFastPathOrTheGeneralInverse)
{
    TGLDummyCube root;
    root.Position().SetPoint(1, 2, 3);
    root.SetTurnAngle(40);
    auto* c = root.AddNewChild<TGLDummyCube>();
    c->Position().SetPoint(-2, 0.5f, 4);
    c->SetPitchAngle(25);
    TMatrix product = matrixMultiply(c->AbsoluteTransform(), c->InverseAbsoluteTransform());
    expectMatrixNear(product, identityMatrix());

    // Scale (1,1,1) with W changed leaves the fast path.
    c->Scale().SetComponent(3, 2);
    product = matrixMultiply(c->AbsoluteTransform(), c->InverseAbsoluteTransform());
    expectMatrixNear(product, identityMatrix());

    c->Scale().SetAsVector(2, 3, 0.5f, 0);
    product = matrixMultiply(c->AbsoluteTransform(), c->InverseAbsoluteTransform());
    expectMatrixNear(product, identityMatrix(), 1e-4f);
    const TVector p{0.3f, -0.7f, 1.1f, 1};
    expectVec(c->WorldToLocal(c->LocalToWorld(p)), p.X, p.Y, p.Z, 1, 1e-5f);

    // A singular transform gives the identity, not garbage.
    c->Scale().SetAsVector(0, 0, 0, 0);
    EXPECT_EQ(c->InverseAbsoluteTransform(), identityMatrix());
}

TEST(Transforms, RootChildrenIgnoreTheRootTransform)
{
    TGLScene scene;
    auto* o = scene.AddNewObject<TGLDummyCube>();
    o->Position().SetPoint(1, 2, 3);
    expectVec(o->WorldPosition(), 1, 2, 3, 1);
}

TEST(SceneTree, LightSlotsAreFirstFreeAndFreedOnRemoval)
{
    TGLScene scene;
    std::vector<TGLLightSource*> lights;
    for (int i = 0; i < 8; ++i) lights.push_back(scene.AddNewObject<TGLLightSource>());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(lights[size_t(i)]->LightID(), i);

    auto* ninth = scene.AddNewObject<TGLLightSource>();
    EXPECT_EQ(ninth->LightID(), -1);

    auto removed = scene.Objects().RemoveChild(lights[3], false);
    EXPECT_EQ(scene.LightSlots()[3], nullptr);
    auto* tenth = scene.AddNewObject<TGLLightSource>();
    EXPECT_EQ(tenth->LightID(), 3);
    // The ninth light stays dark even though a slot freed up before it was re-attached.
    EXPECT_EQ(ninth->LightID(), -1);

    // A light below a group takes its slot when the group is attached.
    auto group = std::make_unique<TGLDummyCube>();
    auto* nested = group->AddNewChild<TGLLightSource>();
    EXPECT_EQ(nested->LightID(), -1);
    scene.Objects().RemoveChild(tenth, false);
    scene.AddObject(std::move(group));
    EXPECT_EQ(nested->LightID(), 3);
}

TEST(SceneTree, CamerasGoToTheCameraRootAndFindIsCaseInsensitive)
{
    TGLScene scene;
    auto* cam = scene.AddNewObject<TGLCamera>();
    cam->SetName("GLCamera2");
    auto* cube = scene.AddNewObject<TGLDummyCube>();
    cube->SetName("DummyCube1");
    auto* deep = cube->AddNewChild<TGLDummyCube>()->AddNewChild<TGLPoints>();
    deep->SetName("GLPoints1");
    EXPECT_EQ(cam->Parent(), &scene.Cameras());
    EXPECT_EQ(cube->Parent(), &scene.Objects());
    EXPECT_EQ(scene.FindSceneObject("glcamera2"), cam);
    EXPECT_EQ(scene.FindSceneObject("GLPOINTS1"), deep);
    EXPECT_EQ(cube->FindChild("GLPoints1", true), nullptr);
    EXPECT_EQ(cube->FindChild("GLPoints1", false), deep);
    EXPECT_EQ(deep->Scene(), &scene);
}

TEST(SceneTree, IndexMovesAreClampedAndRemoveCanKeepGrandchildren)
{
    TGLDummyCube root;
    auto* a = root.AddNewChild<TGLDummyCube>();
    auto* b = root.AddNewChild<TGLDummyCube>();
    auto* c = root.AddNewChild<TGLDummyCube>();
    c->SetIndex(-5);
    EXPECT_EQ(root.Child(0), c);
    a->SetIndex(99);
    EXPECT_EQ(root.Child(2), a);
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(root.Child(3), nullptr);

    auto* g1 = b->AddNewChild<TGLDummyCube>();
    auto* g2 = b->AddNewChild<TGLDummyCube>();
    auto detached = root.RemoveChild(b, true);
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(detached->Count(), 0);
    EXPECT_EQ(g1->Parent(), &root);
    EXPECT_EQ(g2->Parent(), &root);
    EXPECT_EQ(root.Count(), 4);
    EXPECT_EQ(detached->Parent(), nullptr);
    EXPECT_EQ(root.RemoveChild(detached.get(), false), nullptr);

    EXPECT_THROW(root.MoveTo(g1), EGLAssertion); // root has no parent
    EXPECT_THROW(g1->MoveTo(g1), EGLAssertion);
    g2->MoveTo(g1);
    EXPECT_EQ(g2->Parent(), g1);
}

TEST(SceneTree, ReferencesAreClearedWhenTheTargetIsDestroyed)
{
    TGLScene scene;
    auto* target = scene.AddNewObject<TGLPoints>();
    auto* cam = scene.AddNewObject<TGLCamera>();
    auto* mirror = scene.AddNewObject<TGLMirror>();
    cam->SetTargetObject(target);
    mirror->SetMirrorObject(target);
    CountingBuffer buffer;
    buffer.RegisterWith(scene);
    buffer.SetCamera(cam);
    EXPECT_EQ(buffer.Camera(), cam);

    scene.Objects().RemoveChild(target, false).reset();
    EXPECT_EQ(cam->TargetObject(), nullptr);
    EXPECT_EQ(mirror->MirrorObject(), nullptr);

    scene.Cameras().RemoveChild(cam, false).reset();
    EXPECT_EQ(buffer.Camera(), nullptr);

    // A camera outside any scene is refused by a buffer.
    TGLCamera loose;
    buffer.SetCamera(&loose);
    EXPECT_EQ(buffer.Camera(), nullptr);
}

TEST(SceneTree, DestroyingASceneWithCrossReferencesIsSafe)
{
    CountingBuffer buffer;
    {
        TGLScene scene;
        auto* rig = scene.AddNewObject<TGLDummyCube>();
        auto* focus = rig->AddNewChild<TGLPoints>();
        auto* cam = rig->AddNewChild<TGLCamera>();
        cam->SetTargetObject(focus);
        cam->AddNewChild<TGLLightSource>();
        auto* mirror = rig->AddNewChild<TGLMirror>();
        mirror->SetMirrorObject(rig);
        auto* cam2 = scene.AddNewObject<TGLCamera>();
        cam2->SetTargetObject(focus);
        buffer.RegisterWith(scene);
        buffer.SetCamera(cam);
    }
    EXPECT_EQ(buffer.Scene(), nullptr);
    EXPECT_EQ(buffer.Camera(), nullptr);
}

TEST(ChangeReports, ReachBuffersUnlessUpdating)
{
    TGLScene scene;
    CountingBuffer buffer;
    buffer.RegisterWith(scene);
    buffer.RegisterWith(scene); // no duplicate
    EXPECT_EQ(scene.RegisteredBuffers().size(), 1u);
    auto* o = scene.AddNewObject<TGLDummyCube>();
    o->LocalTransform(); // clear the initial stale flag

    buffer.changes = 0;
    o->Position().SetX(1);
    EXPECT_EQ(buffer.changes, 1);

    // Object update: silent until the balancing EndUpdate.
    o->BeginUpdate();
    o->BeginUpdate();
    o->SetVisible(false);
    o->EndUpdate();
    EXPECT_EQ(buffer.changes, 1);
    o->EndUpdate();
    EXPECT_EQ(buffer.changes, 2);
    try {
        o->EndUpdate();
        FAIL() << "unbalanced EndUpdate accepted";
    } catch (const EGLAssertion& e) {
        EXPECT_STREQ(e.what(), "Unbalanced Begin/EndUpdate");
    }

    // Scene update: one report at the end.
    scene.BeginUpdate();
    o->SetVisible(true);
    o->SetShowAxes(true);
    EXPECT_EQ(buffer.changes, 2);
    scene.EndUpdate();
    EXPECT_EQ(buffer.changes, 3);
    EXPECT_THROW(scene.EndUpdate(), EGLAssertion);

    // Colours of an object mark its geometry stale, then report.
    o->LocalTransform();
    const int before = buffer.changes;
    static_cast<TGLDummyCube*>(o)->EdgeColor().SetRed(0.5f);
    EXPECT_TRUE(o->Changes().contains(GeometryStale));
    EXPECT_GT(buffer.changes, before);

    buffer.Unregister();
    o->SetVisible(false);
    EXPECT_EQ(scene.RegisteredBuffers().size(), 0u);
}

TEST(ChangeReports, MaterialAndTextureChangesReachTheScene)
{
    TGLScene scene;
    CountingBuffer buffer;
    buffer.RegisterWith(scene);
    auto* plane = scene.AddNewObject<TGLPlane>();
    buffer.changes = 0;
    plane->Material().FrontProperties().Diffuse().SetAlpha(0.5f);
    EXPECT_GE(buffer.changes, 1);
    const int c1 = buffer.changes;
    plane->Material().Texture().ClearChanges();
    plane->Material().Texture().SetMinFilter(miLinear);
    EXPECT_TRUE(plane->Material().Texture().Changes().contains(tcParams));
    EXPECT_GT(buffer.changes, c1);
    EXPECT_FALSE(plane->IsBlended());
    plane->Material().SetBlendingMode(bmTransparency);
    EXPECT_TRUE(plane->IsBlended());
    plane->Material().SetBlendingMode(bmAlphaTest50);
    EXPECT_FALSE(plane->IsBlended());

    const int c2 = buffer.changes;
    plane->Material().Texture().SetEnabled(true); // reported as a structure change
    EXPECT_GT(buffer.changes, c2);
    EXPECT_FALSE(plane->Material().Texture().Disabled());
}

TEST(ChangeReports, HiddenSubtreeKeepsItsLightSlots)
{
    TGLScene scene;
    auto* group = scene.AddNewObject<TGLDummyCube>();
    auto* light = group->AddNewChild<TGLLightSource>();
    group->SetVisible(false);
    EXPECT_EQ(light->LightID(), 0);
    EXPECT_EQ(scene.LightSlots()[0], light);
}

TEST(WindowColours, ConvertByteWise)
{
    expectVec(ColorFromWindowColor(0x0000FF, 1), 1, 0, 0, 1);
    expectVec(ColorFromWindowColor(0xFF8000, 0.5f), 0, float(128 / 255.0), 1, 0.5f);
    // A system colour is resolved first (button face by default).
    expectVec(ColorFromWindowColor(clBtnFace, 1), float(240 / 255.0), float(240 / 255.0), float(240 / 255.0), 1);
}
