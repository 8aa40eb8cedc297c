#pragma once
// Enumerations and small set types shared by the scene object classes. The
// identifiers are the ones written into scene streams, so their names and
// order must not change.

#include <cstdint>
#include <initializer_list>

namespace velmora {

// A set over an enumeration with at most 32 members.
template <class E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> items)
    {
        for (E e : items) bits_ |= bit(e);
    }
    static constexpr TEnumSet fromBits(uint32_t b)
    {
        TEnumSet s;
        s.bits_ = b;
        return s;
    }
    constexpr uint32_t bits() const { return bits_; }
    constexpr bool contains(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr void include(E e) { bits_ |= bit(e); }
    constexpr void exclude(E e) { bits_ &= ~bit(e); }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr uint32_t bit(E e) { return uint32_t(1) << unsigned(e); }
    uint32_t bits_ = 0;
};

enum TGLObjectsSorting : uint8_t {
    osInherited,
    osNone,
    osRenderFarthestFirst,
    osRenderBlendedLast,
    osRenderNearestFirst
};
enum TGLVisibilityCulling : uint8_t { vcInherited, vcNone, vcObjectBased, vcHierarchical };
enum TGLCameraInvarianceMode : uint8_t { cimNone, cimPosition, cimOrientation };

// Fixed by the concrete class of a scene object.
enum TGLObjectStyle : uint8_t { DrawsDirectly, IgnoresDepthBuffer, NeverCulled };
using TGLObjectStyles = TEnumSet<TGLObjectStyle>;

// Cache validity of a scene object.
enum TGLObjectChange : uint8_t { TransformStale, AbsoluteStale, InverseStale, GeometryStale };
using TGLObjectChanges = TEnumSet<TGLObjectChange>;

// Planes and points.
enum TPlaneStyle : uint8_t { psSingleQuad, psTileTexture };
using TPlaneStyles = TEnumSet<TPlaneStyle>;
enum TGLPointStyle : uint8_t { psSquare, psRound, psSmooth, psSmoothAdditive, psSquareAdditive };

// Materials.
enum TBlendingMode : uint8_t { bmOpaque, bmTransparency, bmAdditive, bmAlphaTest50, bmAlphaTest100, bmModulate };
enum TMaterialOption : uint8_t { moIgnoreFog, moNoLighting };
using TMaterialOptions = TEnumSet<TMaterialOption>;
enum TFaceCulling : uint8_t { fcBufferDefault, fcCull, fcNoCull };
enum TPolygonMode : uint8_t { pmFill, pmLines, pmPoints };

// Textures.
enum TGLTextureImageAlpha : uint8_t {
    tiaDefault,
    tiaAlphaFromIntensity,
    tiaSuperBlackTransparent,
    tiaLuminance,
    tiaLuminanceSqrt,
    tiaOpaque,
    tiaTopLeftPointColorTransparent,
    tiaInverseLuminance,
    tiaInverseLuminanceSqrt
};
enum TGLMagFilter : uint8_t { maNearest, maLinear };
enum TGLMinFilter : uint8_t {
    miNearest,
    miLinear,
    miNearestMipmapNearest,
    miLinearMipmapNearest,
    miNearestMipmapLinear,
    miLinearMipmapLinear
};
enum TGLTextureMode : uint8_t { tmDecal, tmModulate, tmBlend, tmReplace };
enum TGLTextureWrap : uint8_t { twBoth, twNone, twVertical, twHorizontal };
enum TGLTextureFormat : uint8_t {
    tfDefault,
    tfRGB,
    tfRGBA,
    tfRGB16,
    tfRGBA16,
    tfAlpha,
    tfLuminance,
    tfLuminanceAlpha,
    tfIntensity,
    tfNormalMap,
    tfRGBAFloat16,
    tfRGBAFloat32
};
enum TGLTextureCompression : uint8_t { tcDefault, tcNone, tcStandard, tcHighQuality, tcHighSpeed };
enum TGLTextureFilteringQuality : uint8_t { tfIsotropic, tfAnisotropic };
enum TGLTextureMappingMode : uint8_t {
    tmmUser,
    tmmObjectLinear,
    tmmEyeLinear,
    tmmSphere,
    tmmCubeMapReflection,
    tmmCubeMapNormal,
    tmmCubeMapLight0,
    tmmCubeMapCamera
};
// What a texture must redo at its next use.
enum TGLTextureChange : uint8_t { tcImage, tcParams };
using TGLTextureChanges = TEnumSet<TGLTextureChange>;

// Mirror.
enum TMirrorOption : uint8_t { moUseStencil, moOpaque, moMirrorPlaneClip, moClearZBuffer };
using TMirrorOptions = TEnumSet<TMirrorOption>;
enum TMirrorShapes : uint8_t { msRect, msDisk };

// Camera and lights.
enum TGLCameraStyle : uint8_t { csPerspective, csOrthogonal, csOrtho2D, csCustom, csInfinitePerspective };
enum TLightStyle : uint8_t { lsSpot, lsOmni, lsParallel };

} // namespace velmora
