#pragma once
// An owned RGBA colour (normally 0..1, not clamped) that reports its changes.

#include "engine/UpdateAble.h"
#include "engine/VectorGeometry.h"

#include <cstdint>

namespace velmora {

class TGLColor : public TGLUpdateAbleObject {
public:
    explicit TGLColor(IGLNotifyAble* owner, const TVector& value = {0, 0, 0, 1}) : TGLUpdateAbleObject(owner), c_(value)
    {}

    float Red() const { return c_.X; }
    float Green() const { return c_.Y; }
    float Blue() const { return c_.Z; }
    float Alpha() const { return c_.W; }
    const TVector& Color() const { return c_; }
    const float* AsArray() const { return &c_.X; }

    // Store and report only when the value differs.
    void SetComponent(int index, float value);
    void SetRed(float v) { SetComponent(0, v); }
    void SetGreen(float v) { SetComponent(1, v); }
    void SetBlue(float v) { SetComponent(2, v); }
    void SetAlpha(float v) { SetComponent(3, v); }
    // Always reports.
    void SetRGBA(float r, float g, float b, float a);
    void SetColor(const TVector& c) { SetRGBA(c.X, c.Y, c.Z, c.W); }
    void Assign(const TGLColor& other) { SetColor(other.c_); }
    // No report; for stream readers that report once at the end.
    void SetRaw(const TVector& c) { c_ = c; }

    // A scene-object owner first gets its geometry marked stale.
    void NotifyChange(TGLUpdateAbleObject* sender) override;

private:
    TVector c_;
};

// Window colours: red in bits 0..7, green 8..15, blue 16..23; a set high bit
// names a system colour.
using TColor = int32_t;

// Resolves a system colour to RGB. There is no window system below the
// engine, so the application may install a resolver; without one the
// conventional light-theme values are used.
using TSystemColorResolver = uint32_t (*)(TColor systemColor);
void setSystemColorResolver(TSystemColorResolver resolver);
uint32_t resolveWindowColor(TColor color);

TVector ColorFromWindowColor(TColor color, float alpha);

} // namespace velmora
