#include "faceeditor/Layers.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace velmora {

// --- collection ------------------------------------------------------------------

TLayerCollection::~TLayerCollection()
{
    mouseOwner_ = nullptr;
    // Layers may look at the collection while they go, so they go one by one.
    while (!items_.empty()) items_.pop_back();
}

int TLayerCollection::IndexOf(const TCustomLayer* layer) const
{
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == layer) return int(i);
    return -1;
}

void TLayerCollection::Move(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= Count() || to >= Count()) return;
    auto layer = std::move(items_[std::size_t(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(layer));
}

void TLayerCollection::Delete(TCustomLayer* layer)
{
    const int i = IndexOf(layer);
    if (i < 0) return;
    if (mouseOwner_ == layer) mouseOwner_ = nullptr;
    // A frame must never point at a layer that is gone.
    for (auto& l : items_)
        if (auto* rb = dynamic_cast<TRubberbandLayer*>(l.get()); rb && rb->target_ == layer) rb->SetTarget(nullptr);
    const bool visible = layer->Visible();
    auto owned = std::move(items_[std::size_t(i)]);
    items_.erase(items_.begin() + i);
    owned.reset();
    if (visible) Changed();
}

void TLayerCollection::Clear()
{
    mouseOwner_ = nullptr;
    BeginUpdate();
    while (!items_.empty()) items_.pop_back();
    pending_ = true;
    EndUpdate();
}

void TLayerCollection::EndUpdate()
{
    if (updateCount_ > 0) --updateCount_;
    if (updateCount_ == 0 && pending_) {
        pending_ = false;
        if (host_) host_->layersChanged();
    }
}

void TLayerCollection::Changed()
{
    if (updateCount_ > 0) {
        pending_ = true;
        return;
    }
    if (host_) host_->layersChanged();
}

TCustomLayer* TLayerCollection::FindLayerAt(int x, int y, TLayerFlags required) const
{
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if (((*it)->flags_ & required) && (*it)->HitTest(x, y)) return it->get();
    return nullptr;
}

TCustomLayer* TLayerCollection::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TCustomLayer* layer = mouseOwner_ ? mouseOwner_ : FindLayerAt(x, y, lfMouse);
    if (button == mbLeft && layer != mouseOwner_ && (!layer || !(layer->flags_ & lfNoCapture))) mouseOwner_ = layer;
    if (mouseOwner_) {
        mouseOwner_->ButtonState |= 1u << button;
        mouseOwner_->MouseDown(button, shift, x, y);
    }
    return layer;
}

TCustomLayer* TLayerCollection::MouseMove(TShiftState shift, int x, int y)
{
    TCustomLayer* layer = mouseOwner_ ? mouseOwner_ : FindLayerAt(x, y, lfMouse);
    if (layer)
        layer->MouseMove(shift, x, y);
    else if (host_)
        host_->showCursor(host_->viewCursor());
    return layer;
}

TCustomLayer* TLayerCollection::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TCustomLayer* layer = mouseOwner_ ? mouseOwner_ : FindLayerAt(x, y, lfMouse);
    if (layer) {
        layer->ButtonState &= ~(1u << button);
        layer->MouseUp(button, shift, x, y);
    }
    if (mouseOwner_ && mouseOwner_->ButtonState == 0) mouseOwner_ = nullptr;
    return layer;
}

void TLayerCollection::Paint(TBitmap32& target, TLayerFlags flags)
{
    for (auto& l : items_)
        if (l->flags_ & flags) l->Paint(target);
}

// --- custom layer ----------------------------------------------------------------

void TCustomLayer::Changed()
{
    if (collection_ && !(flags_ & lfQuiet) && (flags_ & lfVisible)) collection_->Changed();
}

void TCustomLayer::showCursor(TCursor c) const
{
    if (TLayerHost* h = host()) h->showCursor(c);
}

void TCustomLayer::SetLayerFlags(TLayerFlags flags)
{
    if (flags == flags_) return;
    flags_ = flags;
    Changed();
}

void TCustomLayer::SetStackIndex(int index)
{
    if (!collection_) return;
    const int current = StackIndex();
    index = std::clamp(index, 0, collection_->Count() - 1);
    if (index == current || current < 0) return;
    collection_->Move(current, index);
    collection_->Changed();
}

void TCustomLayer::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomLayer::MouseMove(TShiftState shift, int x, int y)
{
    showCursor(Cursor);
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomLayer::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    showCursor(crDefault);
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

// --- positioned layer ---------------------------------------------------------------

TRect roundRect(const TFloatRect& r)
{
    auto rnd = [](float v) {
        const double d = std::nearbyint(double(v));
        if (!(d > -1073741824.0)) return -1073741824; // also NaN
        if (d > 1073741824.0) return 1073741824;
        return int(d);
    };
    return {rnd(r.Left), rnd(r.Top), rnd(r.Right), rnd(r.Bottom)};
}

void TPositionedLayer::SetPlacement(const TFloatRect& r)
{
    placement_ = r;
    Changed();
}

void TPositionedLayer::SetScaledWithImage(bool v)
{
    if (v == scaled_) return;
    scaled_ = v;
    Changed();
}

TFloatRect TPositionedLayer::AdjustedPlacement() const
{
    TLayerHost* h = host();
    if (!scaled_ || !h) return placement_;
    const TLayerTransform& t = h->layerTransform();
    const double sx = t.FixedScaleX / 65536.0, sy = t.FixedScaleY / 65536.0;
    return {float(sx * placement_.Left + t.OriginX), float(sy * placement_.Top + t.OriginY),
            float(sx * placement_.Right + t.OriginX), float(sy * placement_.Bottom + t.OriginY)};
}

bool TPositionedLayer::HitTest(int x, int y) const
{
    const TFloatRect a = AdjustedPlacement();
    return a.Left <= float(x) && float(x) < a.Right && a.Top <= float(y) && float(y) < a.Bottom;
}

// --- bitmap layer -------------------------------------------------------------------

TBitmapLayer::TBitmapLayer(TLayerCollection& c) : TPositionedLayer(c)
{
    bitmap_.OnChange = [this] { Changed(); };
}

void TBitmapLayer::SetClipToImage(bool v)
{
    if (v == clipToImage_) return;
    clipToImage_ = v;
    Changed();
}

void TBitmapLayer::Paint(TBitmap32& target)
{
    if (bitmap_.Empty()) return;
    const TFloatRect a = AdjustedPlacement();
    const TRect dst = roundRect(a);
    TRect clip = target.ClipRect();
    TLayerHost* h = host();
    if (clipToImage_ && h && !h->isComposing()) {
        if (double(dst.Right) - dst.Left < 0.5 || double(dst.Bottom) - dst.Top < 0.5) return;
        clip = intersectRect(clip, h->ImageRect());
    }
    bitmap_.DrawStretched(target, dst, clip);
}

// --- rubber band --------------------------------------------------------------------

void TRubberbandLayer::SetTarget(TPositionedLayer* layer)
{
    target_ = layer;
    if (layer) {
        placement_ = layer->Placement();
        scaled_ = layer->ScaledWithImage();
        SetLayerFlags(flags_ | lfQuiet);
    } else {
        SetLayerFlags(flags_ & ~unsigned(lfQuiet));
    }
    Changed();
}

void TRubberbandLayer::SetPlacement(const TFloatRect& r)
{
    TPositionedLayer::SetPlacement(r);
    if (target_) target_->SetPlacement(r);
}

TRubberbandGrip TRubberbandLayer::GripAt(int x, int y) const
{
    const TRect r = roundRect(AdjustedPlacement());
    const int l = r.Left, t = r.Top, rr = r.Right - 1, bb = r.Bottom - 1;
    const int d = HandleSize + 1;
    const int cx = (l + rr) / 2, cy = (t + bb) / 2;
    auto near = [d](long long a, long long b) { return std::llabs(a - b) <= d; };
    const bool nl = near(l, x), nr = near(rr, x), ncx = near(cx, x);
    const bool nt = near(t, y), nb = near(bb, y), ncy = near(cy, y);
    if (nr && nb) return rgBottomRight;
    if (nl && nb) return rgBottomLeft;
    if (nr && nt) return rgTopRight;
    if (nl && nt) return rgTopLeft;
    if (nr && ncy) return rgRight;
    if (ncx && nb) return rgBottom;
    if (nl && ncy) return rgLeft;
    if (nt && ncx) return rgTop;
    if (l <= x && x < rr && t <= y && y < bb) return rgMove;
    return rgNone;
}

void TRubberbandLayer::Paint(TBitmap32& target)
{
    const TRect r = roundRect(AdjustedPlacement());
    const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
    const TRect bounds = intersectRect(target.ClipRect(), target.BoundsRect());
    auto put = [&](long long x, long long y, TColor32 c) {
        if (x >= bounds.Left && x < bounds.Right && y >= bounds.Top && y < bounds.Bottom)
            target.Pixel(int(x), int(y)) = c;
    };
    // The frame is one path; pattern positions count clipped pixels too, so
    // each edge is walked only where it is inside the target.
    long long k = 0;
    auto edge = [&](long long x0, long long y0, int dx, int dy, long long n) {
        if (n <= 0) return;
        long long lo = 0, hi = n; // steps i in [lo, hi) land inside
        auto limit = [&](long long start, int d, int minV, int maxV) {
            if (d == 0) {
                if (start < minV || start >= maxV) hi = lo;
                return;
            }
            // start + d * i in [minV, maxV)
            long long a = d > 0 ? minV - start : start - (maxV - 1);
            long long b = d > 0 ? maxV - start : start - minV + 1;
            lo = std::max(lo, a);
            hi = std::min(hi, b);
        };
        limit(x0, dx, bounds.Left, bounds.Right);
        limit(y0, dy, bounds.Top, bounds.Bottom);
        for (long long i = lo; i < hi; ++i)
            target.Pixel(int(x0 + dx * i), int(y0 + dy * i)) = FramePattern[(k + i) % 4];
        k += n;
    };
    const long long w = (long long)R - L, h = (long long)B - T;
    if (w >= 1 && h >= 1) {
        if (w == 1) {
            edge(L, T, 0, 1, h);
        } else if (h == 1) {
            edge(L, T, 1, 0, w);
        } else {
            edge(L, T, 1, 0, w - 1);
            edge((long long)R - 1, T, 0, 1, h - 1);
            edge((long long)R - 1, (long long)B - 1, -1, 0, w - 1);
            edge(L, (long long)B - 1, 0, -1, h - 1);
        }
    }

    auto handle = [&](long long cx, long long cy) {
        for (long long y = cy - 3; y <= cy + 2; ++y)
            for (long long x = cx - 3; x <= cx + 2; ++x) {
                const bool edge = x == cx - 3 || x == cx + 2 || y == cy - 3 || y == cy + 2;
                put(x, y, edge ? HandleFrame : HandleFill);
            }
    };
    const long long mx = ((long long)L + R) / 2, my = ((long long)T + B) / 2;
    handle(L, T);
    handle(R, T);
    handle(L, B);
    handle(R, B);
    handle(mx, T);
    handle(L, my);
    handle(R, my);
    handle(mx, B);
    target.Changed();
}

void TRubberbandLayer::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (!dragging_) {
        grip_ = GripAt(x, y);
        dragging_ = grip_ != rgNone;
        if (dragging_) {
            oldPlacement_ = placement_;
            if (grip_ == rgMove) {
                const TFloatRect a = AdjustedPlacement();
                offsetX_ = float(x) - a.Left;
                offsetY_ = float(y) - a.Top;
            } else {
                offsetX_ = offsetY_ = 0;
            }
        }
    }
    TCustomLayer::MouseDown(button, shift, x, y);
}

namespace {

TCursor gripCursor(TRubberbandGrip g, TCursor moveCursor)
{
    switch (g) {
    case rgMove: return moveCursor;
    case rgLeft:
    case rgRight: return crSizeWE;
    case rgTop:
    case rgBottom: return crSizeNS;
    case rgTopLeft:
    case rgBottomRight: return crSizeNWSE;
    case rgTopRight:
    case rgBottomLeft: return crSizeNESW;
    default: return crDefault;
    }
}

// Moves one edge to m, then keeps the size within the limits by moving it back.
void placeEdge(float& moving, float fixed, float m, float minimum, float maximum, bool low)
{
    moving = m;
    auto size = [&] { return low ? fixed - moving : moving - fixed; };
    if (size() < minimum) moving = low ? fixed - minimum : fixed + minimum;
    if (maximum >= minimum && size() > maximum) moving = low ? fixed - maximum : fixed + maximum;
}

} // namespace

void TRubberbandLayer::MouseMove(TShiftState shift, int x, int y)
{
    if (!dragging_) {
        showCursor(gripCursor(GripAt(x, y), Cursor));
        if (OnMouseMove) OnMouseMove(this, shift, x, y);
        return;
    }
    float mx = float(x) - offsetX_, my = float(y) - offsetY_;
    if (scaled_) {
        const TFloatRect a = AdjustedPlacement();
        if (!(a.Right > a.Left && a.Bottom > a.Top)) return;
        const TFloatRect& p = placement_;
        mx = float(double(p.Left) + (double(mx) - a.Left) / (double(a.Right) - a.Left) * (double(p.Right) - p.Left));
        my = float(double(p.Top) + (double(my) - a.Top) / (double(a.Bottom) - a.Top) * (double(p.Bottom) - p.Top));
    }
    TFloatRect n = oldPlacement_;
    const float w = n.Right - n.Left, h = n.Bottom - n.Top;
    if (grip_ == rgMove) {
        n = {mx, my, mx + w, my + h};
    } else {
        if (grip_ == rgLeft || grip_ == rgTopLeft || grip_ == rgBottomLeft)
            placeEdge(n.Left, n.Right, mx, MinimumWidth, MaximumWidth, true);
        if (grip_ == rgRight || grip_ == rgTopRight || grip_ == rgBottomRight)
            placeEdge(n.Right, n.Left, mx, MinimumWidth, MaximumWidth, false);
        if (grip_ == rgTop || grip_ == rgTopLeft || grip_ == rgTopRight)
            placeEdge(n.Top, n.Bottom, my, MinimumHeight, MaximumHeight, true);
        if (grip_ == rgBottom || grip_ == rgBottomLeft || grip_ == rgBottomRight)
            placeEdge(n.Bottom, n.Top, my, MinimumHeight, MaximumHeight, false);
    }
    if (OnReshape) OnReshape(this, oldPlacement_, n, grip_, shift);
    if (!(n == placement_)) SetPlacement(n);
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TRubberbandLayer::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    dragging_ = false;
    TCustomLayer::MouseUp(button, shift, x, y);
}

} // namespace velmora
