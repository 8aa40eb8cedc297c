#include "engine/UpdateAble.h"

#include "engine/Color.h"
#include "engine/Coordinates.h"
#include "engine/GLErrors.h"
#include "engine/Scene.h"

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
    v_ = VectorNormalize(v_);
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
    // Light-theme values of the usual system colour indices.
    switch (uint32_t(color) & 0xFF) {
    case 0: return 0xC8C8C8;  // scroll bar
    case 1: return 0x000000;  // desktop
    case 4: return 0xF0F0F0;  // menu
    case 5: return 0xFFFFFF;  // window
    case 6: return 0x646464;  // window frame
    case 7: return 0x000000;  // menu text
    case 8: return 0x000000;  // window text
    case 12: return 0xABABAB; // application workspace
    case 13: return 0xD77800; // highlight (blue, stored as BGR)
    case 14: return 0xFFFFFF; // highlight text
    case 15: return 0xF0F0F0; // button face
    case 16: return 0xA0A0A0; // button shadow
    case 17: return 0x6D6D6D; // grey text
    case 18: return 0x000000; // button text
    case 20: return 0xFFFFFF; // button highlight
    default: return 0xF0F0F0;
    }
}

TSystemColorResolver systemColorResolver = nullptr;

} // namespace

void SetSystemColorResolver(TSystemColorResolver resolver)
{
    systemColorResolver = resolver;
}

uint32_t ResolveWindowColor(TColor color)
{
    if (color < 0) return systemColorResolver ? systemColorResolver(color) : defaultSystemColor(color);
    return uint32_t(color);
}

TVector ColorFromWindowColor(TColor color, float alpha)
{
    const uint32_t v = ResolveWindowColor(color);
    return {float((v & 255) / 255.0), float(((v >> 8) & 255) / 255.0), float(((v >> 16) & 255) / 255.0), alpha};
}

} // namespace velmora
