#pragma once
// A per-context mirror of the fixed-function state the engine switches most
// often, so redundant enables, material colours and texture binds are not
// sent to GL again within a frame.

#include "engine/VectorGeometry.h"

#include <array>
#include <cstdint>

namespace velmora {

enum TGLState : uint8_t {
    stAlphaTest,
    stAutoNormal,
    stBlend,
    stColorMaterial,
    stCullFace,
    stDepthTest,
    stDither,
    stFog,
    stLighting,
    stLineSmooth,
    stLineStipple,
    stLogicOp,
    stNormalize,
    stPointSmooth,
    stPolygonSmooth,
    stPolygonStipple,
    stScissorTest,
    stStencilTest,
    stTexture1D,
    stTexture2D,
    stTextureCubeMap,
    stTextureRect
};
constexpr int kStateCount = 22;

enum TGLCullFaceSide : uint8_t { cmFront, cmBack };

class TGLStateCache {
public:
    // The GL enum of each cached state.
    static uint32_t GLEnum(TGLState s);

    bool Enabled(TGLState s) const { return (states_ & bit(s)) != 0; }
    void Enable(TGLState s);
    void Disable(TGLState s);
    void SetState(TGLState s, bool on) { on ? Enable(s) : Disable(s); }
    // Records the state and sends it whatever the cache held, so the two
    // agree afterwards.
    void ForceState(TGLState s, bool on);

    // Material colours of one side; all but the diffuse colour are compared
    // on R, G, B only.
    void SetMaterialColors(TGLCullFaceSide side, const TVector& emission, const TVector& ambient,
                           const TVector& diffuse, const TVector& specular, int shininess);
    // Polygon mode as a GL enum (GL_FILL, GL_LINE, GL_POINT).
    void SetPolygonMode(TGLCullFaceSide side, uint32_t mode);
    void SetBoundTexture(int unit, uint32_t handle);
    uint32_t BoundTexture(int unit) const { return boundTextures_[unit]; }
    void SetFrontFaceCCW(bool ccw);

    // Start of a render pass: default material on both sides, every cached
    // colour, polygon mode and binding unknown, counter-clockwise front.
    void Reset();
    void ResetMaterialColors();
    void ForgetTextures() { boundTextures_.fill(kUnknown); }
    // Re-reads every cached enable from GL (after an attribute pop).
    void Resync();

    // Equal when both send the same from here on: the colours held for a
    // side whose colours are unknown do not count.
    bool operator==(const TGLStateCache& other) const;

private:
    static constexpr uint32_t bit(TGLState s) { return uint32_t(1) << unsigned(s); }
    static constexpr uint32_t kUnknown = 0xFFFFFFFF;

    struct Side {
        TVector emission, ambient, diffuse, specular;
        int shininess = -1;
        bool known = false;
        uint32_t polygonMode = kUnknown;
        bool operator==(const Side& other) const;
    };

    uint32_t states_ = 0;
    std::array<Side, 2> sides_{};
    std::array<uint32_t, 8> boundTextures_{kUnknown, kUnknown, kUnknown, kUnknown,
                                           kUnknown, kUnknown, kUnknown, kUnknown};
    int frontFace_ = -1;
};

// Raises EOpenGLError with the GLU text of the first pending error after
// draining up to six more.
void checkOpenGLError();
// Discards up to seven pending errors.
void clearGLError();

} // namespace velmora
