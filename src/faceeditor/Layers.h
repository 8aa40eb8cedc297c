#pragma once
// The layer stack over a view's base image: bitmap layers painted bottom to
// top, mouse routing to the topmost layer hit, and the rubber band that moves
// and resizes the selected layer. No toolkit here: the view passes points in
// view pixels and tells the stack where the image is.

#include "faceeditor/Bitmap32.h"

#include <functional>
#include <memory>
#include <vector>

namespace velmora {

enum TLayerFlag : unsigned { lfVisible = 1, lfMouse = 2, lfQuiet = 4, lfNoCapture = 8 };
using TLayerFlags = unsigned;

enum TMouseButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

enum TCursor { crDefault = 0, crSizeWE, crSizeNS, crSizeNWSE, crSizeNESW, crHandPoint };

// The view's coordinate transform: 16.16 scales and shifts in view pixels.
struct TLayerTransform {
    int FixedScaleX = 65536, FixedScaleY = 65536;
    int OriginX = 0, OriginY = 0;
    int FixedInverseX = 65536, FixedInverseY = 65536;
};

// What the stack needs from the view it is shown in.
class TLayerHost {
public:
    virtual ~TLayerHost() = default;
    virtual const TLayerTransform& layerTransform() = 0;
    virtual TRect ImageRect() const = 0; // where the base image is in the view
    virtual bool isComposing() const = 0;
    virtual void layersChanged() = 0; // repaint request
    virtual void showCursor(TCursor) {}
    virtual TCursor viewCursor() const { return crDefault; }
};

class TCustomLayer;

class TLayerCollection {
public:
    explicit TLayerCollection(TLayerHost* host = nullptr) : host_(host) {}
    ~TLayerCollection();
    TLayerCollection(const TLayerCollection&) = delete;
    TLayerCollection& operator=(const TLayerCollection&) = delete;

    int Count() const { return int(items_.size()); }
    TCustomLayer* Items(int index) const { return items_.at(std::size_t(index)).get(); }
    TLayerHost* Host() const { return host_; }

    // A new layer of type T at the top of the stack.
    template <class T, class... Args> T* Add(Args&&... args)
    {
        auto layer = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T* raw = layer.get();
        items_.push_back(std::move(layer));
        raw->AddedToCollection();
        return raw;
    }
    void Delete(TCustomLayer* layer); // removes and destroys it
    void Clear();                     // every layer, one repaint
    int IndexOf(const TCustomLayer* layer) const;
    void Move(int from, int to);

    TCustomLayer* FindLayerAt(int x, int y, TLayerFlags required) const;
    TCustomLayer* MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    TCustomLayer* MouseMove(TShiftState shift, int x, int y);
    TCustomLayer* MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    TCustomLayer* MouseOwner() const { return mouseOwner_; }

    void Paint(TBitmap32& target, TLayerFlags flags);

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Changed();

private:
    TLayerHost* host_;
    std::vector<std::unique_ptr<TCustomLayer>> items_;
    TCustomLayer* mouseOwner_ = nullptr;
    int updateCount_ = 0;
    bool pending_ = false;
};

class TCustomLayer {
public:
    explicit TCustomLayer(TLayerCollection& collection) : collection_(&collection) {}
    virtual ~TCustomLayer() = default;
    TCustomLayer(const TCustomLayer&) = delete;
    TCustomLayer& operator=(const TCustomLayer&) = delete;

    TLayerCollection* Collection() const { return collection_; }
    TLayerFlags LayerFlags() const { return flags_; }
    void SetLayerFlags(TLayerFlags flags);
    bool Visible() const { return flags_ & lfVisible; }
    int StackIndex() const { return collection_ ? collection_->IndexOf(this) : -1; }
    void SetStackIndex(int index);
    void RaiseToTop() { SetStackIndex(collection_ ? collection_->Count() : 0); }
    void LowerToBottom() { SetStackIndex(0); }

    TCursor Cursor = crDefault;
    unsigned ButtonState = 0; // bit per TMouseButton while it owns the mouse

    using TMouseEvent = std::function<void(TCustomLayer* sender, TMouseButton, TShiftState, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TCustomLayer* sender, TShiftState, int x, int y)>;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    virtual bool HitTest(int x, int y) const { return true; }
    virtual void Paint(TBitmap32& target) {}
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

protected:
    friend class TLayerCollection;
    virtual void AddedToCollection() {}
    void Changed();
    TLayerHost* host() const { return collection_ ? collection_->Host() : nullptr; }
    void showCursor(TCursor c) const;

    TLayerCollection* collection_;
    TLayerFlags flags_ = lfVisible;
};

class TPositionedLayer : public TCustomLayer {
public:
    explicit TPositionedLayer(TLayerCollection& c) : TCustomLayer(c) { flags_ = lfVisible | lfMouse; }

    const TFloatRect& Placement() const { return placement_; }
    virtual void SetPlacement(const TFloatRect& r);
    bool ScaledWithImage() const { return scaled_; }
    void SetScaledWithImage(bool v);
    TFloatRect AdjustedPlacement() const;
    bool HitTest(int x, int y) const override;

protected:
    TFloatRect placement_{0, 0, 64, 64};
    bool scaled_ = false;
};

// Rounds each coordinate half to even, kept inside the integer range.
TRect roundRect(const TFloatRect& r);

class TBitmapLayer : public TPositionedLayer {
public:
    explicit TBitmapLayer(TLayerCollection& c);

    TBitmap32& Bitmap() { return bitmap_; }
    const TBitmap32& Bitmap() const { return bitmap_; }
    bool ClipToImage() const { return clipToImage_; }
    void SetClipToImage(bool v);
    void Paint(TBitmap32& target) override;

private:
    TBitmap32 bitmap_;
    bool clipToImage_ = false;
};

enum TRubberbandGrip {
    rgNone = 0,
    rgMove,
    rgLeft,
    rgTop,
    rgRight,
    rgBottom,
    rgTopLeft,
    rgTopRight,
    rgBottomLeft,
    rgBottomRight
};

class TRubberbandLayer : public TPositionedLayer {
public:
    explicit TRubberbandLayer(TLayerCollection& c) : TPositionedLayer(c) {}

    TPositionedLayer* Target() const { return target_; }
    void SetTarget(TPositionedLayer* layer);
    void SetPlacement(const TFloatRect& r) override;

    TColor32 HandleFill = 0xFFFFFFFF;
    TColor32 HandleFrame = 0xFF000000;
    int HandleSize = 3;
    float MinimumWidth = 10, MinimumHeight = 10;
    float MaximumWidth = 0, MaximumHeight = 0;
    TColor32 FramePattern[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000};

    using TReshapeEvent = std::function<void(TRubberbandLayer* sender, const TFloatRect& oldPlacement,
                                             TFloatRect& newPlacement, TRubberbandGrip grip, TShiftState shift)>;
    TReshapeEvent OnReshape;

    TRubberbandGrip GripAt(int x, int y) const;
    bool Dragging() const { return dragging_; }
    bool HitTest(int x, int y) const override { return GripAt(x, y) != rgNone; }
    void Paint(TBitmap32& target) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    friend class TLayerCollection;
    TPositionedLayer* target_ = nullptr;
    bool dragging_ = false;
    TRubberbandGrip grip_ = rgNone;
    TFloatRect oldPlacement_;
    float offsetX_ = 0, offsetY_ = 0;
};

} // namespace velmora
