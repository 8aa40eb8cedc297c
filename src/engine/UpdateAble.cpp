#include "engine/UpdateAble.h"

#include "engine/Color.h"
#include "engine/Coordinates.h"
#include "engine/GLErrors.h"
#include "engine/Scene.h"
#include "pictures/SystemColors.h"

#include <cmath>

namespace velmora {

void TGLUpdateAbleObject::NotifyChange(TGLUpdateAbleObject* sender)
{
    if (Updating() || !owner_) return;
    owner_->NotifyChange(this);
    if (OnNotifyChange) OnNotifyChange(this);
}

// ---- TGLCoordinates ----

void TGLCoordinates::NotifyChange(TGLUpdateAbleObject* sender)
{
    if (Updating()) return;
    if (TGLBaseSceneObject* o = sceneOwner()) {
        o->CoordinatesChanged(this);
        if (OnNotifyChange) OnNotifyChange(this);
        return;
    }
    TGLUpdateAbleObject::NotifyChange(sender);
}

void TGLCoordinates::SetComponent(int index, float value)
{
    if (index < 0 || index > 3) throw EGLAssertion("Coordinate index out of range");
    v_[index] = value;
    changed();
}

void TGLCoordinates::SetAsVector(float x, float y, float z, float w)
{
    v_ = {x, y, z, w};
    if (style_ == csPoint)
        v_.W = 1;
    else if (style_ == csVector)
        v_.W = 0;
    changed();
}

void TGLCoordinates::SetVector(float x, float y, float z)
{
    GLAssert(style_ != csPoint, "Cannot set a vector in point-style coordinates");
    v_ = {x, y, z, 0};
    changed();
}

void TGLCoordinates::SetPoint(float x, float y, float z)
{
    GLAssert(style_ != csVector, "Cannot set a point in vector-style coordinates");
    v_ = {x, y, z, 1};
    changed();
}

void TGLCoordinates::Normalize()
{
    v_ = vectorNormalize(v_);
    changed();
}

void TGLCoordinates::Scale(float factor)
{
    for (int i = 0; i < 4; ++i) v_[i] = float(double(v_[i]) * factor);
    changed();
}

// ---- TGLColor ----

void TGLColor::NotifyChange(TGLUpdateAbleObject* sender)
{
    if (Updating()) return;
    if (TGLBaseSceneObject* o = sceneOwner()) o->SignalStructureChange();
    TGLUpdateAbleObject::NotifyChange(sender);
}

void TGLColor::SetComponent(int index, float value)
{
    if (index < 0 || index > 3) throw EGLAssertion("Colour component index out of range");
    if (c_[index] == value) return;
    c_[index] = value;
    NotifyChange(this);
}

void TGLColor::SetRGBA(float r, float g, float b, float a)
{
    c_ = {r, g, b, a};
    NotifyChange(this);
}

namespace {

uint32_t defaultSystemColor(TColor color)
{
    // Unknown indices show as the button face, the buffer's own default.
    return desktopSystemColor(int(uint32_t(color) & 0xFF)).value_or(0xF0F0F0);
}

TSystemColorResolver systemColorResolver = nullptr;

} // namespace

void setSystemColorResolver(TSystemColorResolver resolver)
{
    systemColorResolver = resolver;
}

uint32_t resolveWindowColor(TColor color)
{
    if (color < 0) return systemColorResolver ? systemColorResolver(color) : defaultSystemColor(color);
    return uint32_t(color);
}

TVector ColorFromWindowColor(TColor color, float alpha)
{
    const uint32_t v = resolveWindowColor(color);
    return {float((v & 255) / 255.0), float(((v >> 8) & 255) / 255.0), float(((v >> 16) & 255) / 255.0), alpha};
}

} // namespace velmora
