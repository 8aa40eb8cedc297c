#pragma once
// The drawable object kinds of the box scene: textured planes, point sets and
// the mirror. Their geometry is issued by the render pass; here live their
// persistent properties.

#include "engine/Material.h"
#include "engine/Scene.h"

#include <array>
#include <functional>
#include <vector>

namespace velmora {

// A rectangle in the object's XY plane, front side towards +Z.
class TGLPlane : public TGLSceneObject {
public:
    TGLPlane();
    const char* ClassName() const override { return "TGLPlane"; }

    float Width() const { return width_; }
    void SetWidth(float v);
    float Height() const { return height_; }
    void SetHeight(float v);
    float XOffset() const { return xOffset_; }
    void SetXOffset(float v);
    float YOffset() const { return yOffset_; }
    void SetYOffset(float v);
    float XScope() const { return xScope_; }
    void SetXScope(float v); // values above 1 are stored as 1
    float YScope() const { return yScope_; }
    void SetYScope(float v);
    uint32_t XTiles() const { return xTiles_; }
    void SetXTiles(uint32_t v);
    uint32_t YTiles() const { return yTiles_; }
    void SetYTiles(uint32_t v);
    TPlaneStyles Style() const { return style_; }
    void SetStyle(TPlaneStyles v);
    bool NoZWrite() const { return noZWrite_; }
    void SetNoZWrite(bool v) { noZWrite_ = v; }

    TVector HalfExtents() const override;
    void EmitGeometry(TRenderContextInfo& rci) override;

private:
    void setGeometry(float& field, float v);

    float width_ = 1;
    float height_ = 1;
    float xOffset_ = 0;
    float yOffset_ = 0;
    float xScope_ = 1;
    float yScope_ = 1;
    uint32_t xTiles_ = 1;
    uint32_t yTiles_ = 1;
    TPlaneStyles style_{psSingleQuad, psTileTexture};
    bool noZWrite_ = false;
};

// Distance attenuation of point sizes.
class TGLPointParameters : public TGLUpdateAbleObject {
public:
    explicit TGLPointParameters(IGLNotifyAble* owner);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    float MinSize() const { return minSize_; }
    void SetMinSize(float v); // negative values are stored as 0
    float MaxSize() const { return maxSize_; }
    void SetMaxSize(float v);
    float FadeTresholdSize() const { return fadeTresholdSize_; }
    void SetFadeTresholdSize(float v);
    TGLCoordinates& DistanceAttenuation() { return distanceAttenuation_; }
    const TGLCoordinates& DistanceAttenuation() const { return distanceAttenuation_; }

    static constexpr float kDefaultMinSize = 0;
    static constexpr float kDefaultMaxSize = 128;
    static constexpr float kDefaultFadeTresholdSize = 1;

private:
    bool enabled_ = false;
    float minSize_ = kDefaultMinSize;
    float maxSize_ = kDefaultMaxSize;
    float fadeTresholdSize_ = kDefaultFadeTresholdSize;
    TGLCoordinates distanceAttenuation_;
};

class TGLPoints : public TGLImmaterialSceneObject {
public:
    TGLPoints();
    const char* ClassName() const override { return "TGLPoints"; }

    bool NoZWrite() const { return noZWrite_; }
    void SetNoZWrite(bool v);
    // Static points are recorded once instead of being issued every frame.
    bool Static() const { return static_; }
    void SetStatic(bool v);
    float Size() const { return size_; }
    void SetSize(float v);
    TGLPointStyle Style() const { return style_; }
    void SetStyle(TGLPointStyle v);
    TGLPointParameters& PointParameters() { return pointParameters_; }
    const TGLPointParameters& PointParameters() const { return pointParameters_; }

    static constexpr float kDefaultPointSize = 1;

    // Not stored in scene streams.
    const std::vector<std::array<float, 3>>& Positions() const { return positions_; }
    void SetPositions(std::vector<std::array<float, 3>> p);
    const std::vector<TVector>& Colors() const { return colors_; }
    void SetColors(std::vector<TVector> c);
    void EmitGeometry(TRenderContextInfo& rci) override;

private:
    bool noZWrite_ = false;
    bool static_ = false;
    float size_ = kDefaultPointSize;
    TGLPointStyle style_ = psSquare;
    TGLPointParameters pointParameters_;
    std::vector<std::array<float, 3>> positions_;
    std::vector<TVector> colors_;
};

using TNotifyEvent = std::function<void(TGLBaseSceneObject* sender)>;

// A flat object that draws a reflected copy of (part of) the scene and then
// its own surface on top.
class TGLMirror : public TGLSceneObject {
public:
    TGLMirror();
    ~TGLMirror() override;
    const char* ClassName() const override { return "TGLMirror"; }

    // nullptr reflects the whole scene.
    TGLBaseSceneObject* MirrorObject() const { return mirrorObject_; }
    void SetMirrorObject(TGLBaseSceneObject* o);
    TMirrorOptions MirrorOptions() const { return mirrorOptions_; }
    void SetMirrorOptions(TMirrorOptions v);
    float Height() const { return height_; }
    void SetHeight(float v);
    float Width() const { return width_; }
    void SetWidth(float v);
    float Radius() const { return radius_; }
    void SetRadius(float v);
    int Slices() const { return slices_; }
    void SetSlices(int v); // values below 3 are ignored
    TMirrorShapes Shape() const { return shape_; }
    void SetShape(TMirrorShapes v);
    TNotifyEvent OnBeginRenderingMirrors;
    TNotifyEvent OnEndRenderingMirrors;

    // Set while the mirror draws, so it never reflects itself.
    bool Rendering = false;

    void FreeNotification(TGLBaseSceneObject* destroyed) override;
    void DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren) override;
    void EmitGeometry(TRenderContextInfo& rci) override;

private:
    TGLBaseSceneObject* mirrorObject_ = nullptr;
    TMirrorOptions mirrorOptions_{moUseStencil};
    float height_ = 1;
    float width_ = 1;
    float radius_ = 1;
    int slices_ = 16;
    TMirrorShapes shape_ = msRect;
};

} // namespace velmora
