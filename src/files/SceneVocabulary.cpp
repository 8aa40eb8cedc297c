#include "files/SceneVocabulary.h"

#include <functional>
#include <map>

namespace velmora {

int EnumType::ordinalOf(const std::string& name) const
{
    auto lower = [](const std::string& s) {
        std::string r = s;
        for (char& c : r)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return r;
    };
    const std::string n = lower(name);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (lower(names[i]) == n) return static_cast<int>(i);
    return -1;
}

const PropertyDef* ClassDef::find(const std::string& path) const
{
    for (const auto& p : props)
        if (p.path == path) return &p;
    return nullptr;
}

bool ClassDef::isObjectPath(const std::string& path) const
{
    const std::string prefix = path + ".";
    for (const auto& p : props)
        if (p.path.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

PathProblem resolvePropertyPath(const ClassDef& cls, const std::string& path, const PropertyDef*& def)
{
    def = nullptr;
    // Walk the nested objects part by part, as the reader does.
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = path.find('.', start);
        if (dot == std::string::npos) break;
        const std::string prefix = path.substr(0, dot);
        if (!cls.isObjectPath(prefix)) return cls.find(prefix) ? PathProblem::InvalidPath : PathProblem::DoesNotExist;
        start = dot + 1;
    }
    def = cls.find(path);
    if (def) return PathProblem::None;
    return cls.isObjectPath(path) ? PathProblem::ObjectValue : PathProblem::DoesNotExist;
}

namespace scene_enums {

#define VELMORA_ENUM(fn, type, ...)                                                                                    \
    const EnumType& fn()                                                                                               \
    {                                                                                                                  \
        static const EnumType t{type, {__VA_ARGS__}};                                                                  \
        return t;                                                                                                      \
    }

VELMORA_ENUM(objectsSorting, "TGLObjectsSorting", "osInherited", "osNone", "osRenderFarthestFirst",
             "osRenderBlendedLast", "osRenderNearestFirst")
VELMORA_ENUM(visibilityCulling, "TGLVisibilityCulling", "vcInherited", "vcNone", "vcObjectBased", "vcHierarchical")
VELMORA_ENUM(polygonMode, "TPolygonMode", "pmFill", "pmLines", "pmPoints")
VELMORA_ENUM(blendingMode, "TBlendingMode", "bmOpaque", "bmTransparency", "bmAdditive", "bmAlphaTest50",
             "bmAlphaTest100", "bmModulate")
VELMORA_ENUM(materialOption, "TMaterialOption", "moIgnoreFog", "moNoLighting")
VELMORA_ENUM(textureImageAlpha, "TGLTextureImageAlpha", "tiaDefault", "tiaAlphaFromIntensity",
             "tiaSuperBlackTransparent", "tiaLuminance", "tiaLuminanceSqrt", "tiaOpaque",
             "tiaTopLeftPointColorTransparent", "tiaInverseLuminance", "tiaInverseLuminanceSqrt")
VELMORA_ENUM(magFilter, "TGLMagFilter", "maNearest", "maLinear")
VELMORA_ENUM(minFilter, "TGLMinFilter", "miNearest", "miLinear", "miNearestMipmapNearest", "miLinearMipmapNearest",
             "miNearestMipmapLinear", "miLinearMipmapLinear")
VELMORA_ENUM(textureMode, "TGLTextureMode", "tmDecal", "tmModulate", "tmBlend", "tmReplace")
VELMORA_ENUM(textureWrap, "TGLTextureWrap", "twBoth", "twNone", "twVertical", "twHorizontal")
VELMORA_ENUM(textureFormat, "TGLTextureFormat", "tfDefault", "tfRGB", "tfRGBA", "tfRGB16", "tfRGBA16", "tfAlpha",
             "tfLuminance", "tfLuminanceAlpha", "tfIntensity", "tfNormalMap", "tfRGBAFloat16", "tfRGBAFloat32")
VELMORA_ENUM(textureCompression, "TGLTextureCompression", "tcDefault", "tcNone", "tcStandard", "tcHighQuality",
             "tcHighSpeed")
VELMORA_ENUM(filteringQuality, "TGLTextureFilteringQuality", "tfIsotropic", "tfAnisotropic")
VELMORA_ENUM(mappingMode, "TGLTextureMappingMode", "tmmUser", "tmmObjectLinear", "tmmEyeLinear", "tmmSphere",
             "tmmCubeMapReflection", "tmmCubeMapNormal", "tmmCubeMapLight0", "tmmCubeMapCamera")
VELMORA_ENUM(faceCulling, "TFaceCulling", "fcBufferDefault", "fcCull", "fcNoCull")
VELMORA_ENUM(planeStyle, "TPlaneStyle", "psSingleQuad", "psTileTexture")
VELMORA_ENUM(cameraInvarianceMode, "TGLCameraInvarianceMode", "cimNone", "cimPosition", "cimOrientation")
VELMORA_ENUM(pointStyle, "TGLPointStyle", "psSquare", "psRound", "psSmooth", "psSmoothAdditive", "psSquareAdditive")
VELMORA_ENUM(mirrorOption, "TMirrorOption", "moUseStencil", "moOpaque", "moMirrorPlaneClip", "moClearZBuffer")
VELMORA_ENUM(mirrorShape, "TMirrorShapes", "msRect", "msDisk")
VELMORA_ENUM(lightStyle, "TLightStyle", "lsSpot", "lsOmni", "lsParallel")
VELMORA_ENUM(cameraStyle, "TGLCameraStyle", "csPerspective", "csOrthogonal", "csOrtho2D", "csCustom",
             "csInfinitePerspective")

#undef VELMORA_ENUM

} // namespace scene_enums

namespace {

using namespace scene_enums;
using Vec = std::array<float, 4>;

// Small builder so the tables below read like the published lists they mirror.
class Table {
public:
    explicit Table(std::vector<PropertyDef>& out) : out_(out) {}

    // The property just added is read and written but not listed in dumps.
    void notDumped() { out_.back().dumped = false; }

    void integer(const std::string& path, std::int64_t def, WriteRule rule = WriteRule::Default)
    {
        PropertyDef d = base(path, PropKind::Integer, rule);
        d.ordinal = def;
        out_.push_back(d);
    }
    // Float written when not 0; initial is what a new object holds.
    void floatNotZero(const std::string& path, float initial)
    {
        PropertyDef d = base(path, PropKind::Float, WriteRule::NotZero);
        d.number = initial;
        out_.push_back(d);
    }
    void floatNotDefault(const std::string& path, float def)
    {
        PropertyDef d = base(path, PropKind::Float, WriteRule::NotDefault);
        d.number = def;
        out_.push_back(d);
    }
    void floatNever(const std::string& path, float initial, bool dumped)
    {
        PropertyDef d = base(path, PropKind::Float, WriteRule::Never);
        d.number = initial;
        d.dumped = dumped;
        out_.push_back(d);
    }
    void boolean(const std::string& path, bool def, WriteRule rule = WriteRule::Default)
    {
        PropertyDef d = base(path, PropKind::Bool, rule);
        d.ordinal = def ? 1 : 0;
        out_.push_back(d);
    }
    void enumeration(const std::string& path, const EnumType& t, const std::string& def)
    {
        PropertyDef d = base(path, PropKind::Enum, WriteRule::Default);
        d.type = &t;
        d.ordinal = t.ordinalOf(def);
        out_.push_back(d);
    }
    void set(const std::string& path, const EnumType& t, std::int64_t mask)
    {
        PropertyDef d = base(path, PropKind::Set, WriteRule::Default);
        d.type = &t;
        d.ordinal = mask;
        out_.push_back(d);
    }
    void string(const std::string& path, const std::string& initial = {}, WriteRule rule = WriteRule::NotEmpty)
    {
        PropertyDef d = base(path, PropKind::String, rule);
        d.text = initial;
        out_.push_back(d);
    }
    // A coordinate set: published components (read only by name) and the block.
    void coordinates(const std::string& object, Vec initial, bool publishesW = false)
    {
        for (const char* c : {"X", "Y", "Z"}) floatNever(object + "." + c, 0, false);
        if (publishesW) floatNever(object + ".W", 0, false);
        PropertyDef d = base(object + ".Coordinates", PropKind::Vector, WriteRule::Always);
        d.vec = initial;
        d.defined = true;
        out_.push_back(d);
    }
    void color(const std::string& object, Vec initial)
    {
        for (const char* c : {"Red", "Green", "Blue", "Alpha"}) floatNever(object + "." + c, 0, false);
        PropertyDef d = base(object + ".Color", PropKind::Color, WriteRule::Always);
        d.vec = initial;
        d.defined = true;
        out_.push_back(d);
    }
    void ref(const std::string& path) { out_.push_back(base(path, PropKind::Ref, WriteRule::WhenSet)); }
    void event(const std::string& path) { out_.push_back(base(path, PropKind::Event, WriteRule::WhenSet)); }
    void collection(const std::string& path, bool dumped = true)
    {
        PropertyDef d = base(path, PropKind::Collection, WriteRule::Never);
        d.dumped = dumped;
        out_.push_back(d);
    }
    void definedBinary(const std::string& path, PropKind kind)
    {
        PropertyDef d = base(path, kind, WriteRule::WhenSet);
        d.defined = true;
        out_.push_back(d);
    }
    void leftTop()
    {
        for (const char* n : {"Left", "Top"}) {
            PropertyDef d = base(n, PropKind::Integer, WriteRule::Default);
            d.defined = true;
            out_.push_back(d);
        }
    }

private:
    static PropertyDef base(const std::string& path, PropKind kind, WriteRule rule)
    {
        PropertyDef d;
        d.path = path;
        d.kind = kind;
        d.rule = rule;
        return d;
    }
    std::vector<PropertyDef>& out_;
};

void faceProperties(Table& t, const std::string& prefix)
{
    t.color(prefix + ".Ambient", {0.2f, 0.2f, 0.2f, 1});
    t.color(prefix + ".Diffuse", {0.8f, 0.8f, 0.8f, 1});
    t.color(prefix + ".Emission", {0, 0, 0, 1});
    t.integer(prefix + ".Shininess", 0);
    t.enumeration(prefix + ".PolygonMode", polygonMode(), "pmFill");
    t.color(prefix + ".Specular", {0, 0, 0, 1});
}

void material(Table& t)
{
    faceProperties(t, "Material.BackProperties");
    faceProperties(t, "Material.FrontProperties");
    t.enumeration("Material.BlendingMode", blendingMode(), "bmOpaque");
    t.set("Material.MaterialOptions", materialOption(), 0);
    t.string("Material.Texture.ImageClassName", "TGLPersistentImage", WriteRule::Never);
    t.definedBinary("Material.Texture.Image.Picture.Data", PropKind::Picture);
    t.enumeration("Material.Texture.ImageAlpha", textureImageAlpha(), "tiaDefault");
    t.floatNotDefault("Material.Texture.ImageBrightness", 1);
    t.floatNotDefault("Material.Texture.ImageGamma", 1);
    t.enumeration("Material.Texture.MagFilter", magFilter(), "maLinear");
    t.enumeration("Material.Texture.MinFilter", minFilter(), "miLinearMipmapLinear");
    t.enumeration("Material.Texture.TextureMode", textureMode(), "tmDecal");
    t.enumeration("Material.Texture.TextureWrap", textureWrap(), "twBoth");
    t.enumeration("Material.Texture.TextureFormat", textureFormat(), "tfDefault");
    t.enumeration("Material.Texture.Compression", textureCompression(), "tcDefault");
    t.enumeration("Material.Texture.FilteringQuality", filteringQuality(), "tfIsotropic");
    t.enumeration("Material.Texture.MappingMode", mappingMode(), "tmmUser");
    t.coordinates("Material.Texture.MappingSCoordinates", {1, 0, 0, 0}, true);
    t.coordinates("Material.Texture.MappingTCoordinates", {0, 1, 0, 0}, true);
    t.color("Material.Texture.EnvColor", {0, 0, 0, 0});
    t.boolean("Material.Texture.Disabled", true);
    t.floatNotDefault("Material.Texture.NormalMapScale", 0.125f);
    t.enumeration("Material.FaceCulling", faceCulling(), "fcBufferDefault");
    t.ref("Material.MaterialLibrary");
    t.string("Material.LibMaterialName");
    t.collection("Material.TextureEx");
}

// The published properties every scene object below TGLBaseSceneObject shares,
// up to Hint; Material sits after TagFloat for classes that publish it.
// Every scene object, camera and light starts with these.
void tagHead(Table& t)
{
    t.integer("Tag", 0);
    t.floatNotZero("TagFloat", 0);
}

void sceneObjectHead(Table& t, bool hasMaterial)
{
    tagHead(t);
    if (hasMaterial) material(t);
    t.enumeration("ObjectsSorting", objectsSorting(), "osInherited");
    t.enumeration("VisibilityCulling", visibilityCulling(), "vcInherited");
    t.coordinates("Direction", {0, 0, 1, 0});
    t.floatNotZero("PitchAngle", 0);
    t.coordinates("Position", {0, 0, 0, 1});
    t.floatNotZero("RollAngle", 0);
    t.coordinates("Scale", {1, 1, 1, 0});
    t.boolean("ShowAxes", false);
    t.floatNotZero("TurnAngle", 0);
    t.coordinates("Up", {0, 1, 0, 0});
    t.boolean("Visible", true);
    t.event("OnProgress");
    t.collection("Behaviours");
    t.collection("Effects");
    t.string("Hint");
}

void componentTail(Table& t)
{
    t.leftTop();
    t.definedBinary("BehavioursData", PropKind::Binary);
    t.definedBinary("EffectsData", PropKind::Binary);
}

std::map<std::string, ClassDef> buildClasses()
{
    std::map<std::string, ClassDef> m;
    // A class's properties in stream order; scene objects end with the
    // component tail.
    auto define = [&m](const char* className, const std::function<void(Table&)>& properties, bool tail = true) {
        ClassDef c{className, {}};
        Table t(c.props);
        properties(t);
        if (tail) componentTail(t);
        m.emplace(c.className, std::move(c));
    };
    define(
        "TGLScene",
        [](Table& t) {
            t.integer("Tag", 0);
            t.enumeration("ObjectsSorting", objectsSorting(), "osRenderBlendedLast");
            t.enumeration("VisibilityCulling", visibilityCulling(), "vcNone");
            t.event("OnProgress");
            t.leftTop();
        },
        false);
    define("TGLDummyCube", [](Table& t) {
        sceneObjectHead(t, false);
        t.floatNotZero("CubeSize", 1);
        t.color("EdgeColor", {1, 1, 1, 1});
        t.boolean("VisibleAtRunTime", false);
        t.boolean("Amalgamate", false);
        t.enumeration("CamInvarianceMode", cameraInvarianceMode(), "cimNone");
        t.event("OnVisibilityDetermination");
    });
    define("TGLPlane", [](Table& t) {
        sceneObjectHead(t, true);
        t.floatNotZero("Height", 1);
        t.floatNotZero("Width", 1);
        t.floatNotZero("XOffset", 0);
        t.floatNotDefault("XScope", 1);
        t.integer("XTiles", 1);
        t.floatNotZero("YOffset", 0);
        t.floatNotDefault("YScope", 1);
        t.integer("YTiles", 1);
        t.set("Style", planeStyle(), 3);
        t.boolean("NoZWrite", false, WriteRule::Always);
    });
    define("TGLPoints", [](Table& t) {
        sceneObjectHead(t, false);
        t.boolean("NoZWrite", false, WriteRule::Always);
        t.boolean("Static", false, WriteRule::Always);
        t.floatNotDefault("Size", 1);
        t.enumeration("Style", pointStyle(), "psSquare");
        t.boolean("PointParameters.Enabled", false);
        // The three sizes travel together in the PointParams block.
        t.floatNever("PointParameters.MinSize", 0, true);
        t.floatNever("PointParameters.MaxSize", 128, true);
        t.floatNever("PointParameters.FadeTresholdSize", 1, true);
        t.coordinates("PointParameters.DistanceAttenuation", {1, 0, 0, 0});
        t.definedBinary("PointParameters.PointParams", PropKind::PointParams);
        t.notDumped();
    });
    define("TGLMirror", [](Table& t) {
        sceneObjectHead(t, true);
        t.ref("MirrorObject");
        t.set("MirrorOptions", mirrorOption(), 1);
        t.floatNotZero("Height", 1);
        t.floatNotZero("Width", 1);
        t.event("OnBeginRenderingMirrors");
        t.event("OnEndRenderingMirrors");
        t.floatNotZero("Radius", 1);
        t.integer("Slices", 16);
        t.enumeration("Shape", mirrorShape(), "msRect");
    });
    define("TGLLightSource", [](Table& t) {
        tagHead(t);
        t.color("Ambient", {0, 0, 0, 1});
        t.floatNotZero("ConstAttenuation", 1);
        t.color("Diffuse", {1, 1, 1, 1});
        t.floatNotZero("LinearAttenuation", 0);
        t.floatNotZero("QuadraticAttenuation", 0);
        t.coordinates("Position", {0, 0, 0, 1});
        t.enumeration("LightStyle", lightStyle(), "lsSpot");
        t.boolean("Shining", true);
        t.color("Specular", {0, 0, 0, 1});
        t.floatNotZero("SpotCutOff", 180);
        t.coordinates("SpotDirection", {0, 0, -1, 0});
        t.floatNotZero("SpotExponent", 0);
        t.event("OnProgress");
    });
    define("TGLCamera", [](Table& t) {
        tagHead(t);
        t.floatNotZero("DepthOfView", 100);
        t.floatNotZero("FocalLength", 50);
        t.floatNotDefault("SceneScale", 1);
        t.floatNotDefault("NearPlaneBias", 1);
        t.ref("TargetObject");
        t.enumeration("CameraStyle", cameraStyle(), "csPerspective");
        t.event("OnCustomPerspective");
        t.coordinates("Position", {0, 0, 0, 1});
        t.coordinates("Direction", {0, 0, -1, 0});
        t.coordinates("Up", {0, 1, 0, 0});
        t.event("OnProgress");
    });
    return m;
}

const std::map<std::string, ClassDef>& classes()
{
    static const std::map<std::string, ClassDef> m = buildClasses();
    return m;
}

} // namespace

const ClassDef* findSceneClass(const std::string& className)
{
    auto it = classes().find(className);
    return it == classes().end() ? nullptr : &it->second;
}

const ClassDef& sceneRootClass()
{
    return classes().at("TGLScene");
}

std::vector<std::string> sceneObjectClassNames()
{
    return {"TGLDummyCube", "TGLPlane", "TGLPoints", "TGLMirror", "TGLLightSource", "TGLCamera"};
}

} // namespace velmora
