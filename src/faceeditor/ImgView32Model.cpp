#include "faceeditor/ImgView32Model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velmora {

int MulDiv(int a, int b, int c)
{
    if (c == 0) return 0;
    const long long n = (long long)a * b;
    const long long an = std::llabs(n), ac = std::llabs((long long)c);
    const long long q = (2 * an + ac) / (2 * ac);
    return int(((n < 0) != (c < 0)) ? -q : q);
}

namespace {

// Rounded and kept well inside int, whatever the zoom.
int toInt(double v)
{
    v = std::nearbyint(v);
    if (!(v > -1073741824.0)) return -1073741824;
    return v > 1073741824.0 ? 1073741824 : int(v);
}

int roundScaled(int size, float scale)
{
    return toInt(double(size) * double(scale));
}

} // namespace

TImgView32Model::TImgView32Model() : layers_(this)
{
    stages_ = {
        {false, true, psBackground, 0}, {true, false, psControlFrame, 0},   {false, true, psImage, 0},
        {true, false, psImageFrame, 0}, {false, true, psLayers, lfVisible},
    };
    hbar_.Kind = sbHorizontal;
    vbar_.Kind = sbVertical;
    hbar_.OnUserChange = [this] { barUserChange(); };
    vbar_.OnUserChange = [this] { barUserChange(); };
    bitmap_.OnChange = [this] { bitmapChanged(); };
}

TImgView32Model::~TImgView32Model()
{
    // Clearing the layers reports a change; the owner that would be told may
    // already be gone (its locals or members are destroyed before this model).
    OnInvalidate = nullptr;
    bitmap_.OnChange = nullptr;
    layers_.Clear();
}

void TImgView32Model::changed()
{
    if (updateCount_ > 0) return;
    bufferValid_ = false;
    if (OnInvalidate) OnInvalidate();
}

void TImgView32Model::EndUpdate()
{
    if (updateCount_ > 0) --updateCount_;
}

void TImgView32Model::showCursor(TCursor c)
{
    if (OnCursor) OnCursor(c);
}

void TImgView32Model::setScale(float scale)
{
    if (!(scale >= 0.001f)) scale = 0.001f; // also NaN
    if (scale == scale_) return;
    scale_ = scale;
    transformValid_ = false;
    updateScrollBars();
    updateImage();
}

void TImgView32Model::setViewSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == viewW_ && height == viewH_) return;
    viewW_ = width;
    viewH_ = height;
    const TRect v = ViewArea();
    hbar_.setBounds(v.Width(), barSize());
    vbar_.setBounds(v.Height(), barSize());
    updateScrollBars();
    updateImage();
}

TRect TImgView32Model::ViewArea() const
{
    const int s = barSize();
    return {0, 0, std::max(0, viewW_ - s), std::max(0, viewH_ - s)};
}

TRect TImgView32Model::horzBarRect() const
{
    const int s = barSize();
    return {0, std::max(0, viewH_ - s), std::max(0, viewW_ - s), viewH_};
}

TRect TImgView32Model::vertBarRect() const
{
    const int s = barSize();
    return {std::max(0, viewW_ - s), 0, viewW_, std::max(0, viewH_ - s)};
}

TRect TImgView32Model::cornerRect() const
{
    const int s = barSize();
    return {std::max(0, viewW_ - s), std::max(0, viewH_ - s), viewW_, viewH_};
}

void TImgView32Model::bitmapChanged()
{
    if (bitmap_.Width() != lastW_ || bitmap_.Height() != lastH_) {
        lastW_ = bitmap_.Width();
        lastH_ = bitmap_.Height();
        transformValid_ = false;
        updateScrollBars();
        scrollToCenter();
        updateImage();
        return;
    }
    changed();
}

void TImgView32Model::updateScrollBars()
{
    const int m2 = toInt(2.0 * OverSize * scale_);
    hbar_.setRange(roundScaled(bitmap_.Width(), scale_) + m2);
    vbar_.setRange(roundScaled(bitmap_.Height(), scale_) + m2);
}

void TImgView32Model::scrollToCenter()
{
    const TRect v = ViewArea();
    const double m = std::nearbyint(double(OverSize) * scale_);
    hbar_.setPosition(float((bitmap_.Width() / 2) * double(scale_) - v.Width() / 2.0 + m));
    vbar_.setPosition(float((bitmap_.Height() / 2) * double(scale_) - v.Height() / 2.0 + m));
}

void TImgView32Model::updateImage()
{
    BeginUpdate();
    const int sw = roundScaled(bitmap_.Width(), scale_), sh = roundScaled(bitmap_.Height(), scale_);
    const int m = toInt(double(OverSize) * scale_);
    const TRect v = ViewArea();
    if (Centered && sw + 2 * m < v.Width())
        offsetX_ = float((v.Width() - sw) / 2.0);
    else
        offsetX_ = float(m) - hbar_.Position();
    if (Centered && sh + 2 * m < v.Height())
        offsetY_ = float((v.Height() - sh) / 2.0);
    else
        offsetY_ = float(m) - vbar_.Position();
    transformValid_ = false;
    EndUpdate();
    changed();
}

void TImgView32Model::barUserChange()
{
    updateImage();
    if (OnScroll) OnScroll(this);
}

TRect TImgView32Model::ImageRect() const
{
    if (composing_) return composeRect_;
    if (bitmap_.Empty()) return {};
    const int w = roundScaled(bitmap_.Width(), scale_), h = roundScaled(bitmap_.Height(), scale_);
    if (w < 1 || h < 1) return {};
    const int l = toInt(offsetX_), t = toInt(offsetY_);
    return {l, t, toInt(double(l) + w), toInt(double(t) + h)};
}

void TImgView32Model::computeTransform(const TRect& r)
{
    transform_ = TLayerTransform{};
    const int w = bitmap_.Width(), h = bitmap_.Height();
    if (w > 0 && h > 0 && !r.empty()) {
        transform_.FixedScaleX = MulDiv(r.Width(), 65536, w);
        transform_.FixedScaleY = MulDiv(r.Height(), 65536, h);
        transform_.OriginX = r.Left;
        transform_.OriginY = r.Top;
        transform_.FixedInverseX = MulDiv(w, 65536, r.Width());
        transform_.FixedInverseY = MulDiv(h, 65536, r.Height());
    }
    transformValid_ = true;
}

const TLayerTransform& TImgView32Model::layerTransform()
{
    if (!transformValid_) computeTransform(ImageRect());
    return transform_;
}

TPoint TImgView32Model::ViewToImage(TPoint p)
{
    const TLayerTransform& t = layerTransform();
    return {int((long long)(p.X - t.OriginX) * t.FixedInverseX / 65536),
            int((long long)(p.Y - t.OriginY) * t.FixedInverseY / 65536)};
}

void TImgView32Model::executeStages(TBitmap32& target)
{
    for (unsigned i = 0; i < stages_.size(); ++i) {
        const TPaintStage& s = stages_[i];
        if (!s.RunTime) continue;
        switch (s.Stage) {
        case psCustom:
            if (OnPaintStage) OnPaintStage(this, target, i);
            break;
        case psClearBuffer: target.FillAll(ToColor32(Color)); break;
        case psBackground: {
            const TColor32 c = ToColor32(Color);
            if (bitmap_.Empty() || bitmap_.DrawMode() != dmOpaque) {
                target.FillAll(c);
                break;
            }
            // Only the bands around the image, since the image covers the rest.
            const TRect img = ImageRect();
            const int W = target.Width(), H = target.Height();
            const TRect bands[4] = {{0, 0, W, img.Top},
                                    {0, img.Bottom, W, H},
                                    {0, img.Top, img.Left, img.Bottom},
                                    {img.Right, img.Top, W, img.Bottom}};
            for (const TRect& b : bands) {
                const TRect r = intersectRect(b, target.BoundsRect());
                for (int y = r.Top; y < r.Bottom; ++y) std::fill(target.Row(y) + r.Left, target.Row(y) + r.Right, c);
            }
            break;
        }
        case psImage: {
            const TRect img = ImageRect();
            if (!bitmap_.Empty() && !img.empty()) bitmap_.DrawStretched(target, img);
            break;
        }
        case psLayers: layers_.Paint(target, s.Parameter); break;
        case psControlFrame:
        case psImageFrame: break; // design-time only
        }
    }
}

void TImgView32Model::Paint()
{
    const TRect v = ViewArea();
    auto fit = [](int view, int buffer) {
        if (view > buffer)
            buffer = view + 40;
        else if (buffer - view > 40)
            buffer = view;
        return std::max(buffer, 1);
    };
    const int bw = fit(v.Width(), buffer_.Width()), bh = fit(v.Height(), buffer_.Height());
    if (bw != buffer_.Width() || bh != buffer_.Height()) {
        buffer_.SetDimensions(bw, bh);
        bufferValid_ = false;
    }
    if (bufferValid_) return;
    executeStages(buffer_);
    bufferValid_ = true;
}

void TImgView32Model::ComposeInto(TBitmap32& target, const TRect& r)
{
    composeRect_ = r;
    composing_ = true;
    computeTransform(r);
    try {
        executeStages(target);
    } catch (...) {
        composing_ = false;
        transformValid_ = false;
        throw;
    }
    composing_ = false;
    transformValid_ = false;
}

TCustomLayer* TImgView32Model::mouseDown(TMouseButton b, TShiftState s, int x, int y, bool* capture)
{
    TCustomLayer* layer = layers_.MouseDown(b, s, x, y);
    if (capture) *capture = b == mbLeft || layers_.MouseOwner();
    if (OnMouseDown) OnMouseDown(this, b, s, x, y, layer);
    return layer;
}

TCustomLayer* TImgView32Model::mouseMove(TShiftState s, int x, int y)
{
    TCustomLayer* layer = layers_.MouseMove(s, x, y);
    if (OnMouseMove) OnMouseMove(this, s, x, y, layer);
    return layer;
}

TCustomLayer* TImgView32Model::mouseUp(TMouseButton b, TShiftState s, int x, int y, bool* release)
{
    TCustomLayer* layer = layers_.MouseUp(b, s, x, y);
    if (release) *release = b == mbLeft && !layers_.MouseOwner();
    if (OnMouseUp) OnMouseUp(this, b, s, x, y, layer);
    return layer;
}

void TImgView32Model::mouseLeave()
{
    if (!layers_.MouseOwner()) showCursor(crDefault);
}

void TImgView32Model::mouseWheel(int delta)
{
    wheelDelta_ += delta;
    while (wheelDelta_ >= 120) {
        wheelDelta_ -= 120;
        if (OnMouseWheelUp) OnMouseWheelUp(this);
    }
    while (wheelDelta_ <= -120) {
        wheelDelta_ += 120;
        if (OnMouseWheelDown) OnMouseWheelDown(this);
    }
}

} // namespace velmora
