#include "engine/Scene.h"

#include "engine/CameraLights.h"
#include "engine/GLErrors.h"
#include "engine/Material.h"
#include "engine/SceneBuffer.h"
#include "pictures/TextCase.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {

namespace {
constexpr double kParallelEpsilon = 1e-5;
}

bool sameName(const std::string& a, const std::string& b)
{
    return sameText(a, b);
}

// ---------------------------------------------------------------------------
// TGLBaseSceneObject

TGLBaseSceneObject::TGLBaseSceneObject()
    : position_(this, {0, 0, 0, 1}, csPoint),
      direction_(this, {0, 0, 1, 0}, csVector),
      up_(this, {0, 1, 0, 0}, csVector),
      scale_(this, {1, 1, 1, 0}, csVector),
      rotation_(this, {0, 0, 0, 0}, csVector)
{}

TGLBaseSceneObject::~TGLBaseSceneObject()
{
    destroying_ = true;
    // Cameras first: whatever they look at is still alive while they go.
    std::vector<TGLBaseSceneObject*> cameras;
    std::function<void(TGLBaseSceneObject*)> collect = [&](TGLBaseSceneObject* o) {
        for (auto& c : o->children_) {
            if (dynamic_cast<TGLCamera*>(c.get()))
                cameras.push_back(c.get());
            else
                collect(c.get());
        }
    };
    collect(this);
    for (TGLBaseSceneObject* cam : cameras) {
        TGLBaseSceneObject* p = cam->parent_;
        p->RemoveChild(cam, false).reset();
    }
    while (!children_.empty()) RemoveChild(children_.back().get(), false).reset();

    // Whoever refers to this object clears its reference.
    auto notifies = std::move(freeNotifies_);
    freeNotifies_.clear();
    for (IGLFreeNotify* n : notifies) n->FreeNotification(this);
    // Whatever this object referred to must forget it (set through setReference).
    // Subclasses clear their references in their own destructors.
}

TGLBaseSceneObject* TGLBaseSceneObject::Child(int index) const
{
    if (index < 0 || index >= Count()) return nullptr;
    return children_[size_t(index)].get();
}

int TGLBaseSceneObject::IndexOfChild(const TGLBaseSceneObject* child) const
{
    for (size_t i = 0; i < children_.size(); ++i)
        if (children_[i].get() == child) return int(i);
    return -1;
}

int TGLBaseSceneObject::Index() const
{
    return parent_ ? parent_->IndexOfChild(this) : -1;
}

void TGLBaseSceneObject::SetIndex(int index)
{
    if (!parent_) return;
    auto& list = parent_->children_;
    const int cur = Index();
    index = std::clamp(index, 0, int(list.size()) - 1);
    if (cur == index) return;
    auto self = std::move(list[size_t(cur)]);
    list.erase(list.begin() + cur);
    list.insert(list.begin() + index, std::move(self));
    parent_->SignalChange();
}

TGLBaseSceneObject* TGLBaseSceneObject::AppendChild(std::unique_ptr<TGLBaseSceneObject> child)
{
    GLAssert(child != nullptr, "Cannot append a null child");
    TGLBaseSceneObject* raw = child.get();
    children_.push_back(std::move(child));
    attach(raw);
    SignalTransformChange();
    return raw;
}

TGLBaseSceneObject* TGLBaseSceneObject::InsertChild(int index, std::unique_ptr<TGLBaseSceneObject> child)
{
    GLAssert(child != nullptr, "Cannot insert a null child");
    TGLBaseSceneObject* raw = child.get();
    index = std::clamp(index, 0, Count());
    children_.insert(children_.begin() + index, std::move(child));
    attach(raw);
    return raw;
}

void TGLBaseSceneObject::attach(TGLBaseSceneObject* child)
{
    child->parent_ = this;
    child->setSceneRecursive(scene_);
    child->SignalTransformChange();
}

void TGLBaseSceneObject::setSceneRecursive(TGLScene* scene)
{
    if (scene_ != scene) {
        DestroyHandles();
        // The scene must not keep pointing at a camera that left it.
        if (scene_ && scene_->ActiveCamera && scene_->ActiveCamera == dynamic_cast<TGLCamera*>(this))
            scene_->ActiveCamera = nullptr;
        if (scene_)
            if (auto* light = dynamic_cast<TGLLightSource*>(this)) scene_->freeLightSlot(light);
        scene_ = scene;
        if (scene_)
            if (auto* light = dynamic_cast<TGLLightSource*>(this)) scene_->assignLightSlot(light);
    }
    for (auto& c : children_) c->setSceneRecursive(scene);
}

std::unique_ptr<TGLBaseSceneObject> TGLBaseSceneObject::RemoveChild(TGLBaseSceneObject* child, bool keepChildren)
{
    const int i = IndexOfChild(child);
    if (i < 0) return nullptr;
    std::unique_ptr<TGLBaseSceneObject> owned = std::move(children_[size_t(i)]);
    children_.erase(children_.begin() + i);
    if (keepChildren && !owned->children_.empty()) {
        BeginUpdate();
        auto grandChildren = std::move(owned->children_);
        owned->children_.clear();
        for (auto& g : grandChildren) {
            g->parent_ = nullptr;
            children_.push_back(std::move(g));
            attach(children_.back().get());
        }
        EndUpdate();
    }
    detach(owned.get());
    return owned;
}

void TGLBaseSceneObject::detach(TGLBaseSceneObject* child)
{
    child->setSceneRecursive(nullptr);
    child->parent_ = nullptr;
    child->SignalTransformChange();
    SignalChange();
}

void TGLBaseSceneObject::MoveTo(TGLBaseSceneObject* newParent)
{
    GLAssert(newParent != nullptr, "Cannot move an object below nothing");
    for (TGLBaseSceneObject* p = newParent; p; p = p->parent_)
        GLAssert(p != this, "Cannot move an object below itself");
    std::unique_ptr<TGLBaseSceneObject> self;
    if (parent_) self = parent_->RemoveChild(this, false);
    GLAssert(self != nullptr, "Only an object with a parent can be moved");
    newParent->AppendChild(std::move(self));
}

TGLBaseSceneObject* TGLBaseSceneObject::FindChild(const std::string& name, bool ownChildrenOnly) const
{
    for (auto& c : children_)
        if (sameName(c->name_, name)) return c.get();
    if (!ownChildrenOnly)
        for (auto& c : children_)
            if (TGLBaseSceneObject* r = c->FindChild(name, false)) return r;
    return nullptr;
}

// ---- Placement setters ----

void TGLBaseSceneObject::SetPosition(const TVector& v)
{
    position_.SetPoint(v.X, v.Y, v.Z);
}

void TGLBaseSceneObject::SetDirection(const TVector& v)
{
    if (v.X == 0 && v.Y == 0 && v.Z == 0) return;
    direction_.SetVector(v.X, v.Y, v.Z);
}

void TGLBaseSceneObject::SetUp(const TVector& v)
{
    if (v.X == 0 && v.Y == 0 && v.Z == 0) return;
    up_.SetVector(v.X, v.Y, v.Z);
}

void TGLBaseSceneObject::SetScale(const TVector& v)
{
    scale_.SetRaw(v);
    SignalTransformChange();
}

void TGLBaseSceneObject::SetVisible(bool v)
{
    if (visible_ == v) return;
    visible_ = v;
    SignalChange();
}

void TGLBaseSceneObject::SetShowAxes(bool v)
{
    if (showAxes_ == v) return;
    showAxes_ = v;
    SignalChange();
}

void TGLBaseSceneObject::SetObjectsSorting(TGLObjectsSorting v)
{
    if (objectsSorting_ == v) return;
    objectsSorting_ = v;
    SignalChange();
}

void TGLBaseSceneObject::SetVisibilityCulling(TGLVisibilityCulling v)
{
    if (visibilityCulling_ == v) return;
    visibilityCulling_ = v;
    SignalChange();
}

// ---- Orientation ----

namespace {

// right := a x b, falling back to (0,0,1) x b and then (1,0,0) x b when a and b
// are parallel.
TVector rightAxis(const TVector& dir, const TVector& up)
{
    TVector right = vectorCrossProduct(dir, up);
    if (vectorLength(right) < kParallelEpsilon) {
        right = vectorCrossProduct({0, 0, 1, 0}, up);
        if (vectorLength(right) < kParallelEpsilon) right = vectorCrossProduct({1, 0, 0, 0}, up);
    }
    return right;
}

} // namespace

void TGLBaseSceneObject::CoordinatesChanged(TGLCoordinates* c)
{
    if (changing_) return;
    changing_ = true;
    try {
        if (c == &direction_) {
            if (vectorLength(direction_.AsVector()) == 0) direction_.SetRaw(0, 0, 1, 0);
            direction_.Normalize();
            const TVector right = rightAxis(direction_.AsVector(), up_.AsVector());
            up_.SetRaw(vectorCrossProduct(right, direction_.AsVector()));
            up_.Normalize();
        } else if (c == &up_) {
            if (vectorLength(up_.AsVector()) == 0) up_.SetRaw(0, 1, 0, 0);
            up_.Normalize();
            const TVector right = rightAxis(direction_.AsVector(), up_.AsVector());
            direction_.SetRaw(vectorCrossProduct(up_.AsVector(), right));
            direction_.Normalize();
        }
        SignalTransformChange();
    } catch (...) {
        changing_ = false;
        throw;
    }
    changing_ = false;
}

void TGLBaseSceneObject::setAngle(int index, float angle)
{
    const float old = rotation_[index];
    if (angle == old) return;
    if (!loading_) {
        const bool wasChanging = changing_;
        changing_ = true;
        const double d = (double(angle) - old) * std::numbers::pi / 180.0;
        TVector axis;
        switch (index) {
        case 0: axis = vectorCrossProduct(direction_.AsVector(), up_.AsVector()); break;
        case 1: axis = up_.AsVector(); break;
        default: axis = direction_.AsVector(); break;
        }
        const TMatrix rot = rotationMatrix(axis, d);
        TVector u = vectorTransform(up_.AsVector(), rot);
        TVector dir = vectorTransform(direction_.AsVector(), rot);
        u.W = 0;
        dir.W = 0;
        up_.SetRaw(u);
        up_.Normalize();
        direction_.SetRaw(dir);
        direction_.Normalize();
        changing_ = wasChanging;
        SignalTransformChange();
    }
    double r = double(angle) - std::floor(double(angle) / 360.0) * 360.0;
    if (r > 180) r -= 360;
    TVector v = rotation_.AsVector();
    v[index] = float(r);
    rotation_.SetRaw(v);
}

void TGLBaseSceneObject::SetPitchAngle(float a)
{
    setAngle(0, a);
}

void TGLBaseSceneObject::SetTurnAngle(float a)
{
    setAngle(1, a);
}

void TGLBaseSceneObject::SetRollAngle(float a)
{
    setAngle(2, a);
}

// ---- Transforms ----

void TGLBaseSceneObject::rebuildLocalTransform()
{
    const TVector dir = direction_.AsVector();
    const TVector up = up_.AsVector();
    TVector x = vectorScale(vectorCrossProduct(up, dir), scale_.X());
    TVector y = vectorScale(up, scale_.Y());
    TVector z = vectorScale(dir, scale_.Z());
    x.W = y.W = z.W = 0;
    localTransform_.setRow(0, x);
    localTransform_.setRow(1, y);
    localTransform_.setRow(2, z);
    localTransform_.setRow(3, position_.AsVector());
    changes_.exclude(TransformStale);
    changes_.include(AbsoluteStale);
    changes_.include(InverseStale);
}

void TGLBaseSceneObject::RebuildTransformIfStale()
{
    if (changes_.contains(TransformStale)) rebuildLocalTransform();
}

const TMatrix& TGLBaseSceneObject::LocalTransform()
{
    RebuildTransformIfStale();
    return localTransform_;
}

const TMatrix& TGLBaseSceneObject::AbsoluteTransform()
{
    if (!absoluteTransform_) {
        absoluteTransform_ = std::make_unique<TMatrix>();
        changes_.include(AbsoluteStale);
    }
    if (changes_.contains(AbsoluteStale)) {
        RebuildTransformIfStale();
        if (!parent_ || dynamic_cast<TGLSceneRootObject*>(parent_))
            *absoluteTransform_ = localTransform_;
        else
            *absoluteTransform_ = matrixMultiply(localTransform_, parent_->AbsoluteTransform());
        changes_.exclude(AbsoluteStale);
        changes_.include(InverseStale);
    }
    return *absoluteTransform_;
}

const TMatrix& TGLBaseSceneObject::InverseAbsoluteTransform()
{
    if (!inverseAbsoluteTransform_) {
        inverseAbsoluteTransform_ = std::make_unique<TMatrix>();
        changes_.include(InverseStale);
    }
    if (changes_.contains(InverseStale)) {
        const TVector s = scale_.AsVector();
        if (s.X == 1 && s.Y == 1 && s.Z == 1 && s.W == 0) {
            RebuildTransformIfStale();
            const TMatrix localInverse = matrixInvertRotationScale(localTransform_);
            if (parent_)
                *inverseAbsoluteTransform_ = matrixMultiply(parent_->InverseAbsoluteTransform(), localInverse);
            else
                *inverseAbsoluteTransform_ = localInverse;
        } else {
            *inverseAbsoluteTransform_ = matrixInvert(AbsoluteTransform());
        }
        changes_.exclude(InverseStale);
    }
    return *inverseAbsoluteTransform_;
}

TVector TGLBaseSceneObject::WorldPosition()
{
    return AbsoluteTransform().row(3);
}

TVector TGLBaseSceneObject::WorldDirection()
{
    return vectorNormalize(AbsoluteTransform().row(2));
}

TVector TGLBaseSceneObject::WorldToLocal(const TVector& p)
{
    return vectorTransform(p, InverseAbsoluteTransform());
}

TVector TGLBaseSceneObject::LocalToWorld(const TVector& p)
{
    return vectorTransform(p, AbsoluteTransform());
}

// ---- Change signalling ----

void TGLBaseSceneObject::markAbsoluteStale()
{
    changes_.include(AbsoluteStale);
    changes_.include(InverseStale);
    for (auto& c : children_)
        if (!(c->changes_.contains(AbsoluteStale) && c->changes_.contains(InverseStale))) c->markAbsoluteStale();
}

void TGLBaseSceneObject::SignalTransformChange()
{
    if (changes_.contains(TransformStale)) return;
    changes_.include(TransformStale);
    markAbsoluteStale();
    if (!loading_) SignalChange();
}

void TGLBaseSceneObject::SignalStructureChange()
{
    if (!changes_.contains(GeometryStale)) {
        changes_.include(GeometryStale);
        SignalChange();
    } else if (objectStyle_.contains(DrawsDirectly)) {
        SignalChange();
    }
}

void TGLBaseSceneObject::SignalChange()
{
    if (scene_ && updateCount_ == 0 && !loading_) scene_->SignalChange(this);
}

void TGLBaseSceneObject::BeginUpdate()
{
    ++updateCount_;
}

void TGLBaseSceneObject::EndUpdate()
{
    GLAssert(updateCount_ > 0, "Unbalanced Begin/EndUpdate");
    if (--updateCount_ == 0) SignalChange();
}

void TGLBaseSceneObject::Loaded()
{
    loading_ = false;
    position_.SetComponent(3, 1);
}

// ---- References ----

void TGLBaseSceneObject::AddFreeNotification(IGLFreeNotify* who)
{
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), who) == freeNotifies_.end()) freeNotifies_.push_back(who);
}

void TGLBaseSceneObject::RemoveFreeNotification(IGLFreeNotify* who)
{
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), who), freeNotifies_.end());
}

// ---------------------------------------------------------------------------
// Subclasses

TGLCustomSceneObject::TGLCustomSceneObject() : material_(std::make_unique<TGLMaterial>(this)) {}

TGLCustomSceneObject::~TGLCustomSceneObject() = default;

bool TGLCustomSceneObject::IsBlended() const
{
    return material_->IsBlended();
}

void TGLCustomSceneObject::Loaded()
{
    TGLBaseSceneObject::Loaded();
    material_->Loaded();
}

void TGLCameraInvariantObject::SetCamInvarianceMode(TGLCameraInvarianceMode m)
{
    if (camInvarianceMode_ == m) return;
    camInvarianceMode_ = m;
    SignalChange();
}

TGLDummyCube::TGLDummyCube() : edgeColor_(this, {1, 1, 1, 1})
{
    includeObjectStyle(DrawsDirectly);
}

void TGLDummyCube::SetCubeSize(float v)
{
    if (cubeSize_ == v) return;
    cubeSize_ = v;
    SignalStructureChange();
}

void TGLDummyCube::SetVisibleAtRunTime(bool v)
{
    if (visibleAtRunTime_ == v) return;
    visibleAtRunTime_ = v;
    SignalStructureChange();
}

void TGLDummyCube::SetAmalgamate(bool v)
{
    if (amalgamate_ == v) return;
    amalgamate_ = v;
    SignalStructureChange();
}

TVector TGLDummyCube::SortCenter()
{
    if (Count() == 0) return WorldPosition();
    double x = 0, y = 0, z = 0;
    for (int i = 0; i < Count(); ++i) {
        const TVector c = Child(i)->SortCenter();
        x += c.X;
        y += c.Y;
        z += c.Z;
    }
    const double n = Count();
    return {float(x / n), float(y / n), float(z / n), 1};
}

TVector TGLDummyCube::HalfExtents() const
{
    const float h = float(std::fabs(double(cubeSize_)) / 2);
    return {h, h, h, 0};
}

TGLSceneRootObject::TGLSceneRootObject()
{
    includeObjectStyle(DrawsDirectly);
}

// ---------------------------------------------------------------------------
// TGLScene

TGLScene::TGLScene()
    : objectsRoot_(std::make_unique<TGLSceneRootObject>()),
      camerasRoot_(std::make_unique<TGLSceneRootObject>())
{
    objectsRoot_->SetName("ObjectRoot");
    camerasRoot_->SetName("CameraRoot");
    objectsRoot_->scene_ = this;
    camerasRoot_->scene_ = this;
}

TGLScene::~TGLScene()
{
    destroying_ = true;
    // Cameras first, as for any subtree.
    camerasRoot_.reset();
    objectsRoot_.reset();
    auto buffers = std::move(buffers_);
    buffers_.clear();
    for (TGLSceneBuffer* b : buffers) b->SceneDestroyed(this);
}

TGLBaseSceneObject* TGLScene::AddObject(std::unique_ptr<TGLBaseSceneObject> object)
{
    GLAssert(object != nullptr, "Cannot add a null object");
    if (dynamic_cast<TGLCamera*>(object.get())) return camerasRoot_->AppendChild(std::move(object));
    return objectsRoot_->AppendChild(std::move(object));
}

void TGLScene::Clear()
{
    BeginUpdate();
    while (camerasRoot_->Count() > 0) camerasRoot_->RemoveChild(camerasRoot_->Child(camerasRoot_->Count() - 1), false);
    while (objectsRoot_->Count() > 0) objectsRoot_->RemoveChild(objectsRoot_->Child(objectsRoot_->Count() - 1), false);
    EndUpdate();
}

TGLBaseSceneObject* TGLScene::FindSceneObject(const std::string& name) const
{
    if (TGLBaseSceneObject* o = objectsRoot_->FindChild(name, false)) return o;
    return camerasRoot_->FindChild(name, false);
}

void TGLScene::SetObjectsSorting(TGLObjectsSorting v)
{
    if (v == osInherited) v = osRenderBlendedLast;
    objectsSorting_ = v;
    notifyBuffers(nullptr);
}

void TGLScene::SetVisibilityCulling(TGLVisibilityCulling v)
{
    if (v == vcInherited) v = vcNone;
    visibilityCulling_ = v;
    notifyBuffers(nullptr);
}

void TGLScene::AddBuffer(TGLSceneBuffer* buffer)
{
    if (!buffer) return;
    if (std::find(buffers_.begin(), buffers_.end(), buffer) == buffers_.end()) buffers_.push_back(buffer);
}

void TGLScene::RemoveBuffer(TGLSceneBuffer* buffer)
{
    buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
    if (ActiveBuffer == buffer) ActiveBuffer = nullptr;
}

void TGLScene::BeginUpdate()
{
    ++updateCount_;
}

void TGLScene::EndUpdate()
{
    GLAssert(updateCount_ > 0, "Unbalanced Begin/EndUpdate");
    if (--updateCount_ == 0) notifyBuffers(nullptr);
}

void TGLScene::SignalChange(TGLBaseSceneObject* sender)
{
    notifyBuffers(sender);
}

void TGLScene::notifyBuffers(TGLBaseSceneObject* sender)
{
    if (updateCount_ > 0 || loading_ || destroying_) return;
    // Copy: a buffer may unregister itself while it is told.
    auto buffers = buffers_;
    for (TGLSceneBuffer* b : buffers) b->NotifyChange(sender);
}

void TGLScene::assignLightSlot(TGLLightSource* light)
{
    light->lightID_ = -1;
    for (int i = 0; i < kMaxLights; ++i)
        if (!lights_[size_t(i)]) {
            lights_[size_t(i)] = light;
            light->lightID_ = i;
            return;
        }
}

void TGLScene::freeLightSlot(TGLLightSource* light)
{
    for (auto& slot : lights_)
        if (slot == light) slot = nullptr;
    light->lightID_ = -1;
}

} // namespace velmora
