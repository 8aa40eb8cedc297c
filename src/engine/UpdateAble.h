#pragma once
// Owned value objects (coordinates, colours, materials, textures) report every
// change to their owner; the chain ends at a scene object, which tells its
// scene, which tells the buffers that render it.

#include <functional>

namespace velmora {

class TGLBaseSceneObject;
class TGLUpdateAbleObject;

// Anything that can own an update-able value object.
class IGLNotifyAble {
public:
    virtual ~IGLNotifyAble() = default;
    virtual void NotifyChange(TGLUpdateAbleObject* sender) = 0;
    // Lets value objects reach a scene-object owner without a cast at every report.
    virtual TGLBaseSceneObject* AsSceneObject() { return nullptr; }
};

class TGLUpdateAbleObject : public IGLNotifyAble {
public:
    explicit TGLUpdateAbleObject(IGLNotifyAble* owner) : owner_(owner) {}
    TGLUpdateAbleObject(const TGLUpdateAbleObject&) = delete;
    TGLUpdateAbleObject& operator=(const TGLUpdateAbleObject&) = delete;

    IGLNotifyAble* Owner() const { return owner_; }

    // While updating, change reports are swallowed (no report at the end).
    bool Updating() const { return updating_ > 0; }
    void BeginUpdate() { ++updating_; }
    void EndUpdate()
    {
        if (updating_ > 0) --updating_;
    }

    // Silent while updating or without an owner; otherwise forwards to the
    // owner and then fires OnNotifyChange.
    void NotifyChange(TGLUpdateAbleObject* sender) override;

    std::function<void(TGLUpdateAbleObject* sender)> OnNotifyChange;

protected:
    // The scene object this value belongs to, when its owner is one.
    TGLBaseSceneObject* sceneOwner() const { return owner_ ? owner_->AsSceneObject() : nullptr; }

private:
    IGLNotifyAble* owner_;
    int updating_ = 0;
};

} // namespace velmora
