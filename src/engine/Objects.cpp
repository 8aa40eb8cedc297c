#include "engine/Objects.h"

#include <cmath>

namespace velmora {

// ---- TGLPlane ----

TGLPlane::TGLPlane()
{
    includeObjectStyle(DrawsDirectly);
}

void TGLPlane::setGeometry(float& field, float v)
{
    if (field == v) return;
    field = v;
    SignalStructureChange();
}

void TGLPlane::SetWidth(float v)
{
    setGeometry(width_, v);
}

void TGLPlane::SetHeight(float v)
{
    setGeometry(height_, v);
}

void TGLPlane::SetXOffset(float v)
{
    setGeometry(xOffset_, v);
}

void TGLPlane::SetYOffset(float v)
{
    setGeometry(yOffset_, v);
}

void TGLPlane::SetXScope(float v)
{
    setGeometry(xScope_, v > 1 ? 1.0f : v);
}

void TGLPlane::SetYScope(float v)
{
    setGeometry(yScope_, v > 1 ? 1.0f : v);
}

void TGLPlane::SetXTiles(uint32_t v)
{
    if (v == xTiles_) return;
    xTiles_ = v;
    SignalStructureChange();
}

void TGLPlane::SetYTiles(uint32_t v)
{
    if (v == yTiles_) return;
    yTiles_ = v;
    SignalStructureChange();
}

void TGLPlane::SetStyle(TPlaneStyles v)
{
    if (v == style_) return;
    style_ = v;
    SignalStructureChange();
}

TVector TGLPlane::HalfExtents() const
{
    return {float(std::fabs(double(width_)) / 2), float(std::fabs(double(height_)) / 2), 0, 0};
}

// ---- TGLPointParameters ----

TGLPointParameters::TGLPointParameters(IGLNotifyAble* owner)
    : TGLUpdateAbleObject(owner),
      distanceAttenuation_(this, {1, 0, 0, 0}, csVector)
{}

void TGLPointParameters::SetEnabled(bool v)
{
    if (v == enabled_) return;
    enabled_ = v;
    NotifyChange(this);
}

void TGLPointParameters::SetMinSize(float v)
{
    if (v < 0) v = 0;
    if (v == minSize_) return;
    minSize_ = v;
    NotifyChange(this);
}

void TGLPointParameters::SetMaxSize(float v)
{
    if (v == maxSize_) return;
    maxSize_ = v;
    NotifyChange(this);
}

void TGLPointParameters::SetFadeTresholdSize(float v)
{
    if (v == fadeTresholdSize_) return;
    fadeTresholdSize_ = v;
    NotifyChange(this);
}

// ---- TGLPoints ----

TGLPoints::TGLPoints() : pointParameters_(this)
{
    includeObjectStyle(DrawsDirectly);
    includeObjectStyle(NeverCulled);
}

void TGLPoints::SetNoZWrite(bool v)
{
    if (v == noZWrite_) return;
    noZWrite_ = v;
    SignalStructureChange();
}

void TGLPoints::SetStatic(bool v)
{
    if (v == static_) return;
    static_ = v;
    if (v)
        excludeObjectStyle(DrawsDirectly);
    else
        includeObjectStyle(DrawsDirectly);
    SignalStructureChange();
}

void TGLPoints::SetSize(float v)
{
    if (v == size_) return;
    size_ = v;
    SignalStructureChange();
}

void TGLPoints::SetStyle(TGLPointStyle v)
{
    if (v == style_) return;
    style_ = v;
    SignalStructureChange();
}

void TGLPoints::SetPositions(std::vector<std::array<float, 3>> p)
{
    positions_ = std::move(p);
    SignalStructureChange();
}

void TGLPoints::SetColors(std::vector<TVector> c)
{
    colors_ = std::move(c);
    SignalStructureChange();
}

// ---- TGLMirror ----

TGLMirror::TGLMirror()
{
    includeObjectStyle(DrawsDirectly);
    Material().FrontProperties().Diffuse().SetRaw({1, 1, 1, 0.1f});
    Material().SetBlendingMode(bmTransparency);
}

TGLMirror::~TGLMirror()
{
    setReference(mirrorObject_, static_cast<TGLBaseSceneObject*>(nullptr));
}

void TGLMirror::SetMirrorObject(TGLBaseSceneObject* o)
{
    if (o == mirrorObject_) return;
    setReference(mirrorObject_, o);
    SignalChange();
}

void TGLMirror::FreeNotification(TGLBaseSceneObject* destroyed)
{
    if (destroyed == mirrorObject_) {
        mirrorObject_ = nullptr;
        SignalChange();
    }
}

void TGLMirror::SetMirrorOptions(TMirrorOptions v)
{
    if (v == mirrorOptions_) return;
    mirrorOptions_ = v;
    SignalChange();
}

void TGLMirror::SetHeight(float v)
{
    if (v == height_) return;
    height_ = v;
    SignalChange();
}

void TGLMirror::SetWidth(float v)
{
    if (v == width_) return;
    width_ = v;
    SignalChange();
}

void TGLMirror::SetRadius(float v)
{
    if (v == radius_) return;
    radius_ = v;
    SignalStructureChange();
}

void TGLMirror::SetSlices(int v)
{
    if (v < 3 || v == slices_) return;
    slices_ = v;
    SignalStructureChange();
}

void TGLMirror::SetShape(TMirrorShapes v)
{
    if (v == shape_) return;
    shape_ = v;
    SignalStructureChange();
}

} // namespace velmora
