#pragma once
// An owned set of four floats: a position (point style, W = 1), a direction
// or scale (vector style, W = 0), or anything else (free style).

#include "engine/UpdateAble.h"
#include "engine/VectorGeometry.h"

namespace velmora {

enum TGLCoordinatesStyle : unsigned char { csPoint, csVector, csUnknown };

class TGLCoordinates : public TGLUpdateAbleObject {
public:
    TGLCoordinates(IGLNotifyAble* owner, const TVector& value, TGLCoordinatesStyle style = csUnknown)
        : TGLUpdateAbleObject(owner),
          v_(value),
          style_(style)
    {}

    TGLCoordinatesStyle Style() const { return style_; }
    const TVector& AsVector() const { return v_; }
    float X() const { return v_.X; }
    float Y() const { return v_.Y; }
    float Z() const { return v_.Z; }
    float W() const { return v_.W; }
    float operator[](int i) const { return v_[i]; }

    // Each of these reports the change.
    void SetX(float v) { SetComponent(0, v); }
    void SetY(float v) { SetComponent(1, v); }
    void SetZ(float v) { SetComponent(2, v); }
    void SetW(float v) { SetComponent(3, v); }
    void SetComponent(int index, float value);
    // Copies all four values, then forces W to 1 for a point and 0 for a vector.
    void SetAsVector(float x, float y, float z, float w);
    void SetAsVector(const TVector& v) { SetAsVector(v.X, v.Y, v.Z, v.W); }
    // A 3D vector (W := 0); refused in point style.
    void SetVector(float x, float y, float z);
    // A 3D point (W := 1); refused in vector style.
    void SetPoint(float x, float y, float z);
    void Normalize();
    void Scale(float factor);

    // No report: used inside the orientation algorithms and by stream readers
    // that report once at the end.
    void SetRaw(float x, float y, float z, float w) { v_ = {x, y, z, w}; }
    void SetRaw(const TVector& v) { v_ = v; }
    // Copies the four values without a report.
    void Assign(const TGLCoordinates& other) { v_ = other.v_; }

    // A scene-object owner is told through its CoordinatesChanged.
    void NotifyChange(TGLUpdateAbleObject* sender) override;

private:
    void changed() { NotifyChange(this); }

    TVector v_;
    TGLCoordinatesStyle style_;
};

} // namespace velmora
