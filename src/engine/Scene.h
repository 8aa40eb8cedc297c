#pragma once
// The retained scene graph: scene objects with their placement, cached
// transforms and ordered children, the grouping node TGLDummyCube, and the
// scene component TGLScene with its two roots, light slots and buffers.
//
// Ownership: a parent owns its children; the scene owns its two roots. Every
// change travels up: value object -> scene object -> scene -> buffers.

#include "engine/Color.h"
#include "engine/Coordinates.h"
#include "engine/EngineTypes.h"
#include "engine/UpdateAble.h"
#include "engine/VectorGeometry.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class TGLScene;
class TGLSceneBuffer;
class TGLMaterial;
class TGLLightSource;
class TGLCamera;
struct TRenderContextInfo; // one render traversal; defined by the render pass

// Told when an object it refers to is destroyed, so the reference can be
// cleared (camera targets, mirrored objects, a buffer's camera).
class IGLFreeNotify {
public:
    virtual ~IGLFreeNotify() = default;
    virtual void FreeNotification(TGLBaseSceneObject* destroyed) = 0;
};

using TGLProgressEvent = std::function<void(TGLBaseSceneObject* sender, double deltaTime, double newTime)>;

class TGLBaseSceneObject : public IGLNotifyAble, public IGLFreeNotify {
public:
    TGLBaseSceneObject();
    // Destroys cameras below it first, then the other children, then itself;
    // finally it leaves its parent and its scene.
    ~TGLBaseSceneObject() override;
    TGLBaseSceneObject(const TGLBaseSceneObject&) = delete;
    TGLBaseSceneObject& operator=(const TGLBaseSceneObject&) = delete;

    // The class name written into scene streams.
    virtual const char* ClassName() const { return "TGLBaseSceneObject"; }

    // ---- Identity ----
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t t) { tag_ = t; }
    float TagFloat() const { return tagFloat_; }
    void SetTagFloat(float t) { tagFloat_ = t; }
    // Design position of the component; no effect, kept for the stream.
    int32_t Left() const { return designLeft_; }
    void SetLeft(int32_t v) { designLeft_ = v; }
    int32_t Top() const { return designTop_; }
    void SetTop(int32_t v) { designTop_ = v; }

    // ---- Placement ----
    TGLCoordinates& Position() { return position_; }
    const TGLCoordinates& Position() const { return position_; }
    TGLCoordinates& Direction() { return direction_; }
    const TGLCoordinates& Direction() const { return direction_; }
    TGLCoordinates& Up() { return up_; }
    const TGLCoordinates& Up() const { return up_; }
    TGLCoordinates& Scale() { return scale_; }
    const TGLCoordinates& Scale() const { return scale_; }
    TGLCoordinates& Rotation() { return rotation_; }
    const TGLCoordinates& Rotation() const { return rotation_; }
    // Assignment from another set: Position takes (x, y, z, 1); Direction and
    // Up take (x, y, z, 0) and ignore a null source; Scale copies and then
    // signals the transform change.
    void SetPosition(const TVector& v);
    void SetDirection(const TVector& v);
    void SetUp(const TVector& v);
    void SetScale(const TVector& v);

    // Recorded angles in degrees, normalised to (-180, 180]. Setting one
    // rotates Direction and Up by the difference (not while loading).
    float PitchAngle() const { return rotation_.X(); }
    float TurnAngle() const { return rotation_.Y(); }
    float RollAngle() const { return rotation_.Z(); }
    void SetPitchAngle(float a);
    void SetTurnAngle(float a);
    void SetRollAngle(float a);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    bool ShowAxes() const { return showAxes_; }
    void SetShowAxes(bool v);
    TGLObjectsSorting ObjectsSorting() const { return objectsSorting_; }
    void SetObjectsSorting(TGLObjectsSorting v);
    TGLVisibilityCulling VisibilityCulling() const { return visibilityCulling_; }
    void SetVisibilityCulling(TGLVisibilityCulling v);

    TGLProgressEvent OnProgress;
    // Behaviours and effects are not used here; a stream may still carry
    // them, so their stored bytes are kept and written back.
    const std::vector<uint8_t>& BehavioursData() const { return behavioursData_; }
    void SetBehavioursData(std::vector<uint8_t> d) { behavioursData_ = std::move(d); }
    const std::vector<uint8_t>& EffectsData() const { return effectsData_; }
    void SetEffectsData(std::vector<uint8_t> d) { effectsData_ = std::move(d); }

    TGLObjectStyles ObjectStyle() const { return objectStyle_; }
    TGLObjectChanges Changes() const { return changes_; }

    // ---- Tree ----
    TGLBaseSceneObject* Parent() const { return parent_; }
    TGLScene* Scene() const { return scene_; }
    int Count() const { return int(children_.size()); }
    TGLBaseSceneObject* Child(int index) const; // nullptr when out of range
    TGLBaseSceneObject* operator[](int index) const { return Child(index); }
    int IndexOfChild(const TGLBaseSceneObject* child) const;
    int Index() const; // -1 without parent
    // Moves this object within its parent's list; the index is clamped.
    void SetIndex(int index);

    // Takes ownership. Returns the child for convenience.
    TGLBaseSceneObject* AppendChild(std::unique_ptr<TGLBaseSceneObject> child);
    TGLBaseSceneObject* InsertChild(int index, std::unique_ptr<TGLBaseSceneObject> child);
    template <class T, class... Args> T* AddNewChild(Args&&... args)
    {
        auto p = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = p.get();
        AppendChild(std::move(p));
        return raw;
    }
    // Detaches a child and hands it back; with keepChildren its own children
    // stay with this object (appended in order).
    std::unique_ptr<TGLBaseSceneObject> RemoveChild(TGLBaseSceneObject* child, bool keepChildren);
    // Moves this object (with its subtree) below another parent.
    void MoveTo(TGLBaseSceneObject* newParent);

    // Case-insensitive; own children first, then depth first through each
    // child's subtree unless ownChildrenOnly.
    TGLBaseSceneObject* FindChild(const std::string& name, bool ownChildrenOnly) const;

    // ---- Transforms (rebuilt on demand) ----
    const TMatrix& LocalTransform();
    const TMatrix& AbsoluteTransform();
    const TMatrix& InverseAbsoluteTransform();
    void RebuildTransformIfStale();
    TVector WorldPosition();
    TVector WorldDirection();
    TVector WorldToLocal(const TVector& p);
    TVector LocalToWorld(const TVector& p);

    // ---- Change signalling ----
    virtual void SignalChange();
    void SignalTransformChange();
    void SignalStructureChange();
    virtual void CoordinatesChanged(TGLCoordinates* c);
    void NotifyChange(TGLUpdateAbleObject* sender) override { SignalChange(); }
    TGLBaseSceneObject* AsSceneObject() override { return this; }

    virtual void BeginUpdate();
    virtual void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    // Loading from a stream: transform signals stay silent, angle setters
    // only record, the scene hears nothing. Loaded() ends that state.
    bool Loading() const { return loading_; }
    void SetLoading(bool loading) { loading_ = loading; }
    virtual void Loaded();

    // ---- Queries used by culling and sorting ----
    virtual bool IsBlended() const { return false; }
    virtual TVector SortCenter() { return WorldPosition(); }
    // Unscaled half extents of the object's bounding box.
    virtual TVector HalfExtents() const { return {0.5f, 0.5f, 0.5f, 0}; }

    // ---- Render hooks (the render pass supplies the drawing) ----
    virtual void DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren);
    virtual void EmitGeometry(TRenderContextInfo& rci);
    virtual void RenderChildRange(int first, int last, TRenderContextInfo& rci);
    // Drops GL resources tied to a rendering context (cached lists).
    virtual void DestroyHandles();

    // ---- References to other objects ----
    void AddFreeNotification(IGLFreeNotify* who);
    void RemoveFreeNotification(IGLFreeNotify* who);
    void FreeNotification(TGLBaseSceneObject* destroyed) override {}

protected:
    void setObjectStyle(TGLObjectStyles s) { objectStyle_ = s; }
    void includeObjectStyle(TGLObjectStyle s) { objectStyle_.include(s); }
    void excludeObjectStyle(TGLObjectStyle s) { objectStyle_.exclude(s); }
    // Stores a reference with free notification on both ends.
    template <class T> void setReference(T*& field, T* value)
    {
        if (field == value) return;
        if (field) field->RemoveFreeNotification(this);
        field = value;
        if (field) field->AddFreeNotification(this);
    }

private:
    friend class TGLScene;

    void rebuildLocalTransform();
    void markAbsoluteStale();
    void setAngle(int index, float angle);
    void attach(TGLBaseSceneObject* child);
    void detach(TGLBaseSceneObject* child);
    void setSceneRecursive(TGLScene* scene);

    std::string name_;
    int32_t tag_ = 0;
    float tagFloat_ = 0;
    int32_t designLeft_ = 0;
    int32_t designTop_ = 0;

    TGLCoordinates position_;
    TGLCoordinates direction_;
    TGLCoordinates up_;
    TGLCoordinates scale_;
    TGLCoordinates rotation_;
    bool visible_ = true;
    bool showAxes_ = false;
    TGLObjectsSorting objectsSorting_ = osInherited;
    TGLVisibilityCulling visibilityCulling_ = vcInherited;
    std::vector<uint8_t> behavioursData_;
    std::vector<uint8_t> effectsData_;

    TGLObjectStyles objectStyle_;
    TGLObjectChanges changes_{TransformStale, AbsoluteStale, InverseStale, GeometryStale};
    TMatrix localTransform_;
    std::unique_ptr<TMatrix> absoluteTransform_;
    std::unique_ptr<TMatrix> inverseAbsoluteTransform_;

    TGLBaseSceneObject* parent_ = nullptr;
    TGLScene* scene_ = nullptr;
    std::vector<std::unique_ptr<TGLBaseSceneObject>> children_;
    std::vector<IGLFreeNotify*> freeNotifies_;

    int updateCount_ = 0;
    bool loading_ = false;
    bool changing_ = false; // reentrancy guard of CoordinatesChanged and the angle setters
    bool destroying_ = false;
};

// Adds an owned material and a hint.
class TGLCustomSceneObject : public TGLBaseSceneObject {
public:
    TGLCustomSceneObject();
    ~TGLCustomSceneObject() override;
    const char* ClassName() const override { return "TGLCustomSceneObject"; }

    TGLMaterial& Material() { return *material_; }
    const TGLMaterial& Material() const { return *material_; }
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string h) { hint_ = std::move(h); }

    bool IsBlended() const override;
    void Loaded() override;

private:
    std::unique_ptr<TGLMaterial> material_;
    std::string hint_;
};

// A scene object whose material is part of its published state.
class TGLSceneObject : public TGLCustomSceneObject {
public:
    const char* ClassName() const override { return "TGLSceneObject"; }
    // Applies the material around the geometry.
    void DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren) override;
};

// A scene object drawn without its material.
class TGLImmaterialSceneObject : public TGLCustomSceneObject {
public:
    const char* ClassName() const override { return "TGLImmaterialSceneObject"; }
};

class TGLCameraInvariantObject : public TGLImmaterialSceneObject {
public:
    const char* ClassName() const override { return "TGLCameraInvariantObject"; }
    TGLCameraInvarianceMode CamInvarianceMode() const { return camInvarianceMode_; }
    void SetCamInvarianceMode(TGLCameraInvarianceMode m);

private:
    TGLCameraInvarianceMode camInvarianceMode_ = cimNone;
};

// Returns false to skip a node and its subtree for one frame.
using TGLVisibilityDeterminationEvent = std::function<bool(TGLBaseSceneObject* sender, TRenderContextInfo& rci)>;

// An invisible grouping node; with VisibleAtRunTime it draws a wireframe cube.
class TGLDummyCube : public TGLCameraInvariantObject {
public:
    TGLDummyCube();
    const char* ClassName() const override { return "TGLDummyCube"; }

    float CubeSize() const { return cubeSize_; }
    void SetCubeSize(float v);
    TGLColor& EdgeColor() { return edgeColor_; }
    const TGLColor& EdgeColor() const { return edgeColor_; }
    bool VisibleAtRunTime() const { return visibleAtRunTime_; }
    void SetVisibleAtRunTime(bool v);
    bool Amalgamate() const { return amalgamate_; }
    void SetAmalgamate(bool v);
    TGLVisibilityDeterminationEvent OnVisibilityDetermination;

    TVector SortCenter() override;
    TVector HalfExtents() const override;

private:
    float cubeSize_ = 1;
    TGLColor edgeColor_;
    bool visibleAtRunTime_ = false;
    bool amalgamate_ = false;
};

// One of the two roots of a scene; never streamed itself.
class TGLSceneRootObject : public TGLBaseSceneObject {
public:
    TGLSceneRootObject();
    const char* ClassName() const override { return "TGLSceneRootObject"; }
};

constexpr int kMaxLights = 8;

class TGLScene {
public:
    TGLScene();
    ~TGLScene();
    TGLScene(const TGLScene&) = delete;
    TGLScene& operator=(const TGLScene&) = delete;

    const char* ClassName() const { return "TGLScene"; }
    const std::string& Name() const { return name_; }
    void SetName(std::string n) { name_ = std::move(n); }
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t t) { tag_ = t; }
    int32_t Left() const { return designLeft_; }
    void SetLeft(int32_t v) { designLeft_ = v; }
    int32_t Top() const { return designTop_; }
    void SetTop(int32_t v) { designTop_ = v; }

    TGLSceneRootObject& Objects() { return *objectsRoot_; }
    TGLSceneRootObject& Cameras() { return *camerasRoot_; }

    // Places an object as a top-level object of the scene: cameras join the
    // camera root, everything else the object root.
    TGLBaseSceneObject* AddObject(std::unique_ptr<TGLBaseSceneObject> object);
    template <class T, class... Args> T* AddNewObject(Args&&... args)
    {
        auto p = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = p.get();
        AddObject(std::move(p));
        return raw;
    }
    // Removes (and destroys) every object below both roots.
    void Clear();
    // Searches the object root, then the camera root, case-insensitively.
    TGLBaseSceneObject* FindSceneObject(const std::string& name) const;

    TGLObjectsSorting ObjectsSorting() const { return objectsSorting_; }
    void SetObjectsSorting(TGLObjectsSorting v); // osInherited is stored as osRenderBlendedLast
    TGLVisibilityCulling VisibilityCulling() const { return visibilityCulling_; }
    void SetVisibilityCulling(TGLVisibilityCulling v); // vcInherited is stored as vcNone
    TGLProgressEvent OnProgress;

    // Slot i is GL light i; nullptr when empty.
    const std::array<TGLLightSource*, kMaxLights>& LightSlots() const { return lights_; }

    // ---- Buffers ----
    const std::vector<TGLSceneBuffer*>& RegisteredBuffers() const { return buffers_; }
    void AddBuffer(TGLSceneBuffer* buffer); // no duplicates
    void RemoveBuffer(TGLSceneBuffer* buffer);
    TGLSceneBuffer* ActiveBuffer = nullptr;
    TGLCamera* ActiveCamera = nullptr;

    // ---- Change reports ----
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    // Tells every registered buffer, unless updating, loading or destroying.
    void SignalChange(TGLBaseSceneObject* sender);
    bool Loading() const { return loading_; }
    void SetLoading(bool loading) { loading_ = loading; }
    bool Destroying() const { return destroying_; }

private:
    friend class TGLBaseSceneObject;
    void assignLightSlot(TGLLightSource* light);
    void freeLightSlot(TGLLightSource* light);
    void notifyBuffers(TGLBaseSceneObject* sender);

    std::string name_;
    int32_t tag_ = 0;
    int32_t designLeft_ = 0;
    int32_t designTop_ = 0;
    std::unique_ptr<TGLSceneRootObject> objectsRoot_;
    std::unique_ptr<TGLSceneRootObject> camerasRoot_;
    TGLObjectsSorting objectsSorting_ = osRenderBlendedLast;
    TGLVisibilityCulling visibilityCulling_ = vcNone;
    std::array<TGLLightSource*, kMaxLights> lights_{};
    std::vector<TGLSceneBuffer*> buffers_;
    int updateCount_ = 0;
    bool loading_ = false;
    bool destroying_ = false;
};

// Case-insensitive (ASCII) name comparison used for object names.
bool sameName(const std::string& a, const std::string& b);

} // namespace velmora
