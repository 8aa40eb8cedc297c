#include "faceeditor/FaceDocument.h"

#include <algorithm>
#include <vector>

namespace velmora {

TFaceDocument::TFaceDocument(TImgView32Model& view) : view_(view)
{
    TextFont.Name = "Tahoma";
    TextFont.Height = 24;
    TextFont.Styles = TFont32::fsBold;
    TextFont.Color = 0x000000;
    auto& stages = view_.paintStages();
    if (!stages.empty() && stages[0].Stage == psBackground) stages[0].Stage = psCustom;
    // The pattern always goes into the view's own buffer, so composites never
    // contain it.
    view_.OnPaintStage = [this](TImgView32Model*, TBitmap32&, unsigned stage) {
        if (stage == 0) paintCheckerboard(view_.Buffer());
    };
    // A press that finds no layer clears the selection.
    view_.OnMouseDown = [this](TImgView32Model*, TMouseButton, TShiftState, int, int, TCustomLayer* layer) {
        if (!layer) SelectLayer(nullptr);
    };
}

TFaceDocument::~TFaceDocument()
{
    if (rubberband_) rubberband_->SetTarget(nullptr);
    view_.OnPaintStage = nullptr;
    view_.OnMouseDown = nullptr;
}

void TFaceDocument::paintCheckerboard(TBitmap32& buffer)
{
    // Two row patterns, copied: rows whose 8-row band is even start grey.
    const int w = buffer.Width();
    std::vector<TColor32> even(static_cast<std::size_t>(w)), odd(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        const bool first = ((x >> 3) & 1) == 0;
        even[std::size_t(x)] = first ? 0xFFB0B0B0 : 0xFFFFFFFF;
        odd[std::size_t(x)] = first ? 0xFFFFFFFF : 0xFFB0B0B0;
    }
    for (int y = 0; y < buffer.Height(); ++y)
        std::copy(((y >> 3) & 1) ? odd.begin() : even.begin(), ((y >> 3) & 1) ? odd.end() : even.end(), buffer.Row(y));
}

void TFaceDocument::resetLayers()
{
    SelectLayer(nullptr);
    rubberband_ = nullptr;
    view_.Layers().Clear();
    view_.setScale(1);
}

void TFaceDocument::StartNewImage(int width, int height, TColor32 color)
{
    resetLayers();
    view_.Bitmap().SetDimensions(width, height);
    view_.Bitmap().FillAll(color);
    if (OnSelectionChanged) OnSelectionChanged();
}

void TFaceDocument::OpenBaseImage(const std::string& fileName)
{
    resetLayers();
    try {
        view_.Bitmap().LoadPicture(fileName);
    } catch (...) {
        if (OnSelectionChanged) OnSelectionChanged();
        throw;
    }
    if (OnSelectionChanged) OnSelectionChanged();
}

void TFaceDocument::SelectLayer(TPositionedLayer* layer)
{
    if (layer == selected_) return;
    if (rubberband_) {
        rubberband_->SetTarget(nullptr);
        rubberband_->SetLayerFlags(lfQuiet);
        view_.changed();
    }
    selected_ = layer;
    if (layer) {
        if (rubberband_) {
            rubberband_->RaiseToTop();
        } else {
            rubberband_ = view_.Layers().Add<TRubberbandLayer>();
            rubberband_->MinimumWidth = rubberband_->MinimumHeight = 1;
        }
        rubberband_->SetTarget(layer);
        rubberband_->SetLayerFlags(lfVisible | lfMouse | lfQuiet);
        rubberband_->OnReshape = &TFaceDocument::RubberbandReshaping;
        view_.changed(); // the frame is quiet, so show it here
    }
    if (OnSelectionChanged) OnSelectionChanged();
}

void TFaceDocument::LayerClicked(TCustomLayer* sender)
{
    SelectLayer(dynamic_cast<TPositionedLayer*>(sender));
}

TPoint TFaceDocument::viewCentre()
{
    const TRect v = view_.ViewArea();
    return view_.ViewToImage({(v.Left + v.Right) / 2, (v.Top + v.Bottom) / 2});
}

void TFaceDocument::placeAtCentre(TBitmapLayer* layer)
{
    const TPoint c = viewCentre();
    const float w2 = float(layer->Bitmap().Width()) / 2, h2 = float(layer->Bitmap().Height()) / 2;
    layer->SetPlacement({float(c.X) - w2, float(c.Y) - h2, float(c.X) + w2, float(c.Y) + h2});
    layer->SetScaledWithImage(true);
    layer->OnMouseDown = [this](TCustomLayer* sender, TMouseButton, TShiftState, int, int) { LayerClicked(sender); };
}

template <class L, class Make> L* TFaceDocument::addLayer(Make make)
{
    L* layer = view_.Layers().Add<L>();
    try {
        make(layer);
        placeAtCentre(layer);
    } catch (...) {
        view_.Layers().Delete(layer);
        throw;
    }
    SelectLayer(layer);
    return layer;
}

TBitmapLayer* TFaceDocument::addPictureLayer(const std::string& fileName)
{
    return addLayer<TBitmapLayer>([&](TBitmapLayer* layer) {
        layer->Bitmap().LoadPicture(fileName);
        layer->Bitmap().SetDrawMode(dmBlend);
    });
}

TBitmapLayer* TFaceDocument::addRGBALayer(const TBitmap32& colour, const TBitmap32& alpha)
{
    if (colour.Empty()) return nullptr;
    return addLayer<TBitmapLayer>([&](TBitmapLayer* layer) {
        TBitmap32& b = layer->Bitmap();
        b.CopyFrom(colour);
        b.SetDrawMode(dmBlend);
        if (!alpha.Empty()) {
            TBitmap32 x(b.Width(), b.Height());
            TBitmap32 grey;
            grey.CopyFrom(alpha);
            grey.SetDrawMode(dmOpaque);
            grey.SetStretchFilter(sfNearest);
            grey.DrawStretched(x, x.BoundsRect());
            AlphaFromIntensity(b, x);
        }
    });
}

TBitmapTextLayer* TFaceDocument::addTextLayer()
{
    return addLayer<TBitmapTextLayer>([&](TBitmapTextLayer* layer) {
        layer->Bitmap().SetDrawMode(dmBlend);
        layer->CaptionText = "Caption";
        layer->CaptionFont = TextFont;
        layer->Render(layer->CaptionText, layer->CaptionFont, 0xFF000000, measure_);
    });
}

void TFaceDocument::captionChange(const std::string& text)
{
    auto* layer = dynamic_cast<TBitmapTextLayer*>(selected_);
    if (!layer) return;
    layer->CaptionText = text;
    layer->CaptionFont = TextFont;
    layer->Render(text, layer->CaptionFont, ToColor32(std::int32_t(layer->CaptionFont.Color)), measure_);
    placeAtCentre(layer);
    if (rubberband_) rubberband_->SetTarget(layer);
}

TBitmapLayer* TFaceDocument::selectedBitmapLayer() const
{
    return dynamic_cast<TBitmapLayer*>(selected_);
}

void TFaceDocument::reorder(int tag)
{
    if (!selected_) return;
    const int n = view_.Layers().Count();
    const int i = selected_->StackIndex();
    // As the menu allows: a layer never goes above the frame at the top.
    switch (tag) {
    case 1:
        if (i < n - 2) selected_->SetStackIndex(n - 2);
        break;
    case 2:
        if (i > 0) selected_->LowerToBottom();
        break;
    case 3:
        if (i < n - 2) selected_->SetStackIndex(i + 1);
        break;
    case 4:
        if (i > 0) selected_->SetStackIndex(i - 1);
        break;
    default: break;
    }
}

void TFaceDocument::toggleScaled()
{
    if (!selected_) return;
    const bool v = !selected_->ScaledWithImage();
    selected_->SetScaledWithImage(v);
    if (rubberband_) rubberband_->SetScaledWithImage(v);
}

void TFaceDocument::deleteSelected()
{
    TPositionedLayer* layer = selected_;
    if (!layer) return;
    SelectLayer(nullptr);
    view_.Layers().Delete(layer);
}

void TFaceDocument::flipHorz()
{
    if (auto* l = selectedBitmapLayer()) l->Bitmap().MirrorLeftRight();
}

void TFaceDocument::flipVert()
{
    if (auto* l = selectedBitmapLayer()) l->Bitmap().MirrorTopBottom();
}

namespace {

TFloatRect turned(const TFloatRect& p)
{
    const float cx = (p.Left + p.Right) / 2, cy = (p.Top + p.Bottom) / 2;
    const float hw = (p.Right - p.Left) / 2, hh = (p.Bottom - p.Top) / 2;
    return {cx - hh, cy - hw, cx + hh, cy + hw};
}

} // namespace

void TFaceDocument::rotate90()
{
    auto* l = selectedBitmapLayer();
    if (!l) return;
    l->Bitmap().RotateQuarterRight();
    placeSelection(turned(l->Placement()));
}

void TFaceDocument::rotate180()
{
    if (auto* l = selectedBitmapLayer()) l->Bitmap().RotateHalf();
}

void TFaceDocument::rotate270()
{
    auto* l = selectedBitmapLayer();
    if (!l) return;
    l->Bitmap().RotateQuarterLeft();
    placeSelection(turned(l->Placement()));
}

void TFaceDocument::setOpacity(int position)
{
    if (auto* l = selectedBitmapLayer()) l->Bitmap().SetMasterAlpha(position);
}

void TFaceDocument::setInterpolated(bool on)
{
    if (auto* l = selectedBitmapLayer()) l->Bitmap().SetStretchFilter(on ? sfLinear : sfNearest);
}

void TFaceDocument::setCropped(bool on)
{
    if (auto* l = selectedBitmapLayer()) l->SetClipToImage(on);
}

void TFaceDocument::placeSelection(const TFloatRect& placement)
{
    if (!selected_) return;
    if (rubberband_ && rubberband_->Target() == selected_)
        rubberband_->SetPlacement(placement);
    else
        selected_->SetPlacement(placement);
}

void TFaceDocument::Rescale()
{
    auto* l = selectedBitmapLayer();
    if (!l) return;
    const TRect r = roundRect(l->Placement());
    TBitmap32 copy;
    copy.CopyFrom(l->Bitmap());
    const TDrawMode mode = copy.DrawMode();
    const TStretchFilter filter = copy.StretchFilter();
    copy.SetStretchFilter(sfLinear);
    copy.SetDrawMode(dmOpaque);
    try {
        l->Bitmap().SetDimensions(r.Width(), r.Height());
    } catch (...) {
        // A size too large for memory must not cost the layer its pixels.
        l->Bitmap().CopyFrom(copy);
        l->Bitmap().SetDrawMode(mode);
        l->Bitmap().SetStretchFilter(filter);
        throw;
    }
    copy.DrawStretched(l->Bitmap(), l->Bitmap().BoundsRect());
    resetScale();
}

void TFaceDocument::resetScale()
{
    auto* l = selectedBitmapLayer();
    if (!l) return;
    TFloatRect p = rubberband_ ? rubberband_->Placement() : l->Placement();
    p.Right = p.Left + float(l->Bitmap().Width());
    p.Bottom = p.Top + float(l->Bitmap().Height());
    placeSelection(p);
    l->Bitmap().Changed();
}

void TFaceDocument::fillBase(TColor32 color)
{
    view_.Bitmap().FillAll(color);
}

void TFaceDocument::BackgroundImage(const std::string& fileName)
{
    SelectLayer(nullptr);
    TBitmap32 picture;
    picture.LoadPicture(fileName);
    picture.SetStretchFilter(sfLinear);
    picture.SetDrawMode(dmOpaque);
    picture.DrawStretched(view_.Bitmap(), view_.Bitmap().BoundsRect());
}

void TFaceDocument::compose(TBitmap32& out)
{
    SelectLayer(nullptr);
    TBitmap32& base = view_.Bitmap();
    out.SetDimensions(base.Width(), base.Height());
    view_.ComposeInto(out, base.BoundsRect());
}

void TFaceDocument::saveAs(const std::string& fileName)
{
    TBitmap32 t;
    compose(t);
    t.SavePicture(fileName);
    view_.changed();
}

void TFaceDocument::Flatten()
{
    TBitmap32 t;
    compose(t);
    view_.Layers().Clear();
    rubberband_ = nullptr;
    TBitmap32 fresh; // a new bitmap's drawing properties
    t.SetDrawMode(fresh.DrawMode());
    t.SetMasterAlpha(fresh.MasterAlpha());
    t.SetStretchFilter(fresh.StretchFilter());
    view_.Bitmap().CopyFrom(t);
}

void TFaceDocument::RubberbandReshaping(TRubberbandLayer*, const TFloatRect& o, TFloatRect& n, TRubberbandGrip grip,
                                        TShiftState shift)
{
    if (grip == rgMove || !(shift & ssCtrl)) return;
    const float cx = (o.Left + o.Right) / 2, cy = (o.Top + o.Bottom) / 2;
    float hw = (o.Right - o.Left) / 2, hh = (o.Bottom - o.Top) / 2;
    switch (grip) {
    case rgLeft: hw = cx - n.Left; break;
    case rgRight: hw = n.Right - cx; break;
    case rgTop: hh = cy - n.Top; break;
    case rgBottom: hh = n.Bottom - cy; break;
    case rgTopLeft:
        hw = cx - n.Left;
        hh = cy - n.Top;
        break;
    case rgTopRight:
        hw = n.Right - cx;
        hh = cy - n.Top;
        break;
    case rgBottomLeft:
        hw = cx - n.Left;
        hh = n.Bottom - cy;
        break;
    case rgBottomRight:
        hw = n.Right - cx;
        hh = n.Bottom - cy;
        break;
    default: break;
    }
    if (hw < 2) hw = 2;
    if (hh < 2) hh = 2;
    n = {cx - hw, cy - hh, cx + hw, cy + hh};
}

} // namespace velmora
