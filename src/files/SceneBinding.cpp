#include "files/SceneBinding.h"

#include "engine/CameraLights.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "engine/SceneBuffer.h"
#include "files/SceneFile.h"
#include "files/SceneStream.h"
#include "pictures/Picture.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace velmora {

namespace {

using Obj = TGLBaseSceneObject;
using PV = PropertyValue;

// ---------------------------------------------------------------- accessors

struct Access {
    std::function<PV(Obj&)> get;
    std::function<void(Obj&, const PV&)> set;
};
using AccessMap = std::map<std::string, Access>;

PV num(float f)
{
    PV v;
    v.number = f;
    return v;
}

PV ord(std::int64_t i)
{
    PV v;
    v.integer = i;
    return v;
}

PV vec(const TVector& t)
{
    PV v;
    v.vec = {t.X, t.Y, t.Z, t.W};
    return v;
}

TVector toVector(const PV& v)
{
    return {v.vec[0], v.vec[1], v.vec[2], v.vec[3]};
}

template <class T> T& as(Obj& o)
{
    return static_cast<T&>(o);
}

// A sub-object reached from a scene object, such as its material's texture.
template <class Sub> using Reach = std::function<Sub&(Obj&)>;

void coordinates(AccessMap& m, const std::string& path, Reach<TGLCoordinates> reach, bool publishesW = false)
{
    // The block is taken as stored; positions get W = 1 once loading ends.
    m[path + ".Coordinates"] = {[reach](Obj& o) { return vec(reach(o).AsVector()); },
                                [reach](Obj& o, const PV& v) { reach(o).SetRaw(toVector(v)); }};
    const char* names[] = {"X", "Y", "Z", "W"};
    for (int i = 0; i < (publishesW ? 4 : 3); ++i)
        m[path + "." + names[i]] = {[reach, i](Obj& o) { return num(reach(o)[i]); },
                                    [reach, i](Obj& o, const PV& v) { reach(o).SetComponent(i, v.number); }};
}

void color(AccessMap& m, const std::string& path, Reach<TGLColor> reach)
{
    m[path + ".Color"] = {[reach](Obj& o) { return vec(reach(o).Color()); },
                          [reach](Obj& o, const PV& v) { reach(o).SetRaw(toVector(v)); }};
    const char* names[] = {"Red", "Green", "Blue", "Alpha"};
    for (int i = 0; i < 4; ++i)
        m[path + "." + names[i]] = {[reach, i](Obj& o) { return num(reach(o).Color()[i]); },
                                    [reach, i](Obj& o, const PV& v) { reach(o).SetComponent(i, v.number); }};
}

#define VELMORA_FLOAT(T, Name)                                                                                         \
    m[#Name] = {[](Obj& o) { return num(as<T>(o).Name()); }, [](Obj& o, const PV& v) { as<T>(o).Set##Name(v.number); }}
#define VELMORA_ORD(T, Name, Type)                                                                                     \
    m[#Name] = {[](Obj& o) { return ord(static_cast<std::int64_t>(as<T>(o).Name())); },                                \
                [](Obj& o, const PV& v) { as<T>(o).Set##Name(static_cast<Type>(v.integer)); }}
#define VELMORA_SET(T, Name, Type)                                                                                     \
    m[#Name] = {                                                                                                       \
        [](Obj& o) { return ord(as<T>(o).Name().bits()); },                                                            \
        [](Obj& o, const PV& v) { as<T>(o).Set##Name(Type::fromBits(static_cast<std::uint32_t>(v.integer))); }}
// The same for a property of a sub-object reached through reach(o).
#define VELMORA_SUB_FLOAT(prefix, reach, Name)                                                                         \
    m[std::string(prefix) + #Name] = {[reach](Obj& o) { return num(reach(o).Name()); },                                \
                                      [reach](Obj& o, const PV& v) { reach(o).Set##Name(v.number); }}
#define VELMORA_SUB_ORD(prefix, reach, Name, Type)                                                                     \
    m[std::string(prefix) + #Name] = {                                                                                 \
        [reach](Obj& o) { return ord(reach(o).Name()); },                                                              \
        [reach](Obj& o, const PV& v) { reach(o).Set##Name(static_cast<Type>(v.integer)); }}

void baseHead(AccessMap& m)
{
    VELMORA_ORD(Obj, Tag, std::int32_t);
    VELMORA_FLOAT(Obj, TagFloat);
    VELMORA_ORD(Obj, ObjectsSorting, TGLObjectsSorting);
    VELMORA_ORD(Obj, VisibilityCulling, TGLVisibilityCulling);
    coordinates(m, "Direction", [](Obj& o) -> TGLCoordinates& { return o.Direction(); });
    coordinates(m, "Position", [](Obj& o) -> TGLCoordinates& { return o.Position(); });
    coordinates(m, "Scale", [](Obj& o) -> TGLCoordinates& { return o.Scale(); });
    coordinates(m, "Up", [](Obj& o) -> TGLCoordinates& { return o.Up(); });
    VELMORA_FLOAT(Obj, PitchAngle);
    VELMORA_FLOAT(Obj, RollAngle);
    VELMORA_FLOAT(Obj, TurnAngle);
    VELMORA_ORD(Obj, ShowAxes, bool);
    VELMORA_ORD(Obj, Visible, bool);
}

void customHead(AccessMap& m)
{
    baseHead(m);
    m["Hint"] = {[](Obj& o) {
                     PV v;
                     v.text = as<TGLCustomSceneObject>(o).Hint();
                     return v;
                 },
                 [](Obj& o, const PV& v) { as<TGLCustomSceneObject>(o).SetHint(v.text); }};
}

void tail(AccessMap& m)
{
    VELMORA_ORD(Obj, Left, std::int32_t);
    VELMORA_ORD(Obj, Top, std::int32_t);
    auto bytes = [](const std::vector<std::uint8_t>& b) {
        PV v;
        v.text.assign(b.begin(), b.end());
        return v;
    };
    m["BehavioursData"] = {[bytes](Obj& o) { return bytes(o.BehavioursData()); },
                           [](Obj& o, const PV& v) {
                               o.SetBehavioursData({v.text.begin(), v.text.end()});
                           }};
    m["EffectsData"] = {[bytes](Obj& o) { return bytes(o.EffectsData()); },
                        [](Obj& o, const PV& v) {
                            o.SetEffectsData({v.text.begin(), v.text.end()});
                        }};
}

TGLMaterial& materialOf(Obj& o)
{
    return as<TGLCustomSceneObject>(o).Material();
}

void faceProperties(AccessMap& m, const std::string& prefix, std::function<TGLFaceProperties&(Obj&)> face)
{
    color(m, prefix + ".Ambient", [face](Obj& o) -> TGLColor& { return face(o).Ambient(); });
    color(m, prefix + ".Diffuse", [face](Obj& o) -> TGLColor& { return face(o).Diffuse(); });
    color(m, prefix + ".Emission", [face](Obj& o) -> TGLColor& { return face(o).Emission(); });
    color(m, prefix + ".Specular", [face](Obj& o) -> TGLColor& { return face(o).Specular(); });
    VELMORA_SUB_ORD(prefix + ".", face, Shininess, int);
    VELMORA_SUB_ORD(prefix + ".", face, PolygonMode, TPolygonMode);
}

void material(AccessMap& m)
{
    faceProperties(m, "Material.BackProperties",
                   [](Obj& o) -> TGLFaceProperties& { return materialOf(o).BackProperties(); });
    faceProperties(m, "Material.FrontProperties",
                   [](Obj& o) -> TGLFaceProperties& { return materialOf(o).FrontProperties(); });
    auto mat = [](Obj& o) -> TGLMaterial& { return materialOf(o); };
    VELMORA_SUB_ORD("Material.", mat, BlendingMode, TBlendingMode);
    m["Material.MaterialOptions"] = {[](Obj& o) { return ord(materialOf(o).MaterialOptions().bits()); },
                                     [](Obj& o, const PV& v) {
                                         materialOf(o).SetMaterialOptions(
                                             TMaterialOptions::fromBits(static_cast<std::uint32_t>(v.integer)));
                                     }};
    VELMORA_SUB_ORD("Material.", mat, FaceCulling, TFaceCulling);
    m["Material.LibMaterialName"] = {[](Obj& o) {
                                         PV v;
                                         v.text = materialOf(o).LibMaterialName();
                                         return v;
                                     },
                                     [](Obj& o, const PV& v) { materialOf(o).SetLibMaterialName(v.text); }};

    auto tex = [](Obj& o) -> TGLTexture& { return materialOf(o).Texture(); };
    m["Material.Texture.ImageClassName"] = {[tex](Obj& o) {
                                                PV v;
                                                v.text = tex(o).ImageClassName();
                                                return v;
                                            },
                                            [tex](Obj& o, const PV& v) { tex(o).SetImageClassName(v.text); }};
    m["Material.Texture.Image.Picture.Data"] = {
        [tex](Obj& o) {
            PV v;
            if (const TPicture* pic = tex(o).PictureImage().Picture()) {
                const std::vector<std::uint8_t> block = pic->WriteData();
                v.text.assign(block.begin(), block.end());
            }
            return v;
        },
        [tex](Obj& o, const PV& v) {
            if (TPicture* pic = tex(o).PictureImage().Picture())
                pic->ReadData(reinterpret_cast<const std::uint8_t*>(v.text.data()), v.text.size());
        }};
    VELMORA_SUB_ORD("Material.Texture.", tex, ImageAlpha, TGLTextureImageAlpha);
    VELMORA_SUB_FLOAT("Material.Texture.", tex, ImageBrightness);
    VELMORA_SUB_FLOAT("Material.Texture.", tex, ImageGamma);
    VELMORA_SUB_ORD("Material.Texture.", tex, MagFilter, TGLMagFilter);
    VELMORA_SUB_ORD("Material.Texture.", tex, MinFilter, TGLMinFilter);
    VELMORA_SUB_ORD("Material.Texture.", tex, TextureMode, TGLTextureMode);
    VELMORA_SUB_ORD("Material.Texture.", tex, TextureWrap, TGLTextureWrap);
    VELMORA_SUB_ORD("Material.Texture.", tex, TextureFormat, TGLTextureFormat);
    VELMORA_SUB_ORD("Material.Texture.", tex, Compression, TGLTextureCompression);
    VELMORA_SUB_ORD("Material.Texture.", tex, FilteringQuality, TGLTextureFilteringQuality);
    VELMORA_SUB_ORD("Material.Texture.", tex, MappingMode, TGLTextureMappingMode);
    VELMORA_SUB_ORD("Material.Texture.", tex, Disabled, bool);
    VELMORA_SUB_FLOAT("Material.Texture.", tex, NormalMapScale);
    coordinates(
        m, "Material.Texture.MappingSCoordinates",
        [tex](Obj& o) -> TGLCoordinates& { return tex(o).MappingSCoordinates(); }, true);
    coordinates(
        m, "Material.Texture.MappingTCoordinates",
        [tex](Obj& o) -> TGLCoordinates& { return tex(o).MappingTCoordinates(); }, true);
    color(m, "Material.Texture.EnvColor", [tex](Obj& o) -> TGLColor& { return tex(o).EnvColor(); });
}

AccessMap dummyCube()
{
    AccessMap m;
    customHead(m);
    VELMORA_FLOAT(TGLDummyCube, CubeSize);
    color(m, "EdgeColor", [](Obj& o) -> TGLColor& { return as<TGLDummyCube>(o).EdgeColor(); });
    VELMORA_ORD(TGLDummyCube, VisibleAtRunTime, bool);
    VELMORA_ORD(TGLDummyCube, Amalgamate, bool);
    VELMORA_ORD(TGLDummyCube, CamInvarianceMode, TGLCameraInvarianceMode);
    tail(m);
    return m;
}

AccessMap plane()
{
    AccessMap m;
    customHead(m);
    material(m);
    VELMORA_FLOAT(TGLPlane, Height);
    VELMORA_FLOAT(TGLPlane, Width);
    VELMORA_FLOAT(TGLPlane, XOffset);
    VELMORA_FLOAT(TGLPlane, XScope);
    VELMORA_ORD(TGLPlane, XTiles, std::uint32_t);
    VELMORA_FLOAT(TGLPlane, YOffset);
    VELMORA_FLOAT(TGLPlane, YScope);
    VELMORA_ORD(TGLPlane, YTiles, std::uint32_t);
    VELMORA_SET(TGLPlane, Style, TPlaneStyles);
    VELMORA_ORD(TGLPlane, NoZWrite, bool);
    tail(m);
    return m;
}

AccessMap points()
{
    AccessMap m;
    customHead(m);
    VELMORA_ORD(TGLPoints, NoZWrite, bool);
    VELMORA_ORD(TGLPoints, Static, bool);
    VELMORA_FLOAT(TGLPoints, Size);
    VELMORA_ORD(TGLPoints, Style, TGLPointStyle);
    auto pp = [](Obj& o) -> TGLPointParameters& { return as<TGLPoints>(o).PointParameters(); };
    VELMORA_SUB_ORD("PointParameters.", pp, Enabled, bool);
    VELMORA_SUB_FLOAT("PointParameters.", pp, MinSize);
    VELMORA_SUB_FLOAT("PointParameters.", pp, MaxSize);
    VELMORA_SUB_FLOAT("PointParameters.", pp, FadeTresholdSize);
    m["PointParameters.PointParams"] = {[pp](Obj& o) {
                                            PV v;
                                            v.vec = {pp(o).MinSize(), pp(o).MaxSize(), pp(o).FadeTresholdSize(), 0};
                                            return v;
                                        },
                                        [pp](Obj& o, const PV& v) {
                                            pp(o).SetMinSize(v.vec[0]);
                                            pp(o).SetMaxSize(v.vec[1]);
                                            pp(o).SetFadeTresholdSize(v.vec[2]);
                                        }};
    coordinates(m, "PointParameters.DistanceAttenuation",
                [pp](Obj& o) -> TGLCoordinates& { return pp(o).DistanceAttenuation(); });
    tail(m);
    return m;
}

AccessMap mirror()
{
    AccessMap m;
    customHead(m);
    material(m);
    m["MirrorObject"] = {[](Obj& o) {
                             PV v;
                             if (Obj* t = as<TGLMirror>(o).MirrorObject()) v.text = t->Name();
                             return v;
                         },
                         nullptr};
    VELMORA_SET(TGLMirror, MirrorOptions, TMirrorOptions);
    VELMORA_FLOAT(TGLMirror, Height);
    VELMORA_FLOAT(TGLMirror, Width);
    VELMORA_FLOAT(TGLMirror, Radius);
    VELMORA_ORD(TGLMirror, Slices, int);
    VELMORA_ORD(TGLMirror, Shape, TMirrorShapes);
    tail(m);
    return m;
}

AccessMap lightSource()
{
    AccessMap m;
    VELMORA_ORD(Obj, Tag, std::int32_t);
    VELMORA_FLOAT(Obj, TagFloat);
    color(m, "Ambient", [](Obj& o) -> TGLColor& { return as<TGLLightSource>(o).Ambient(); });
    color(m, "Diffuse", [](Obj& o) -> TGLColor& { return as<TGLLightSource>(o).Diffuse(); });
    color(m, "Specular", [](Obj& o) -> TGLColor& { return as<TGLLightSource>(o).Specular(); });
    VELMORA_FLOAT(TGLLightSource, ConstAttenuation);
    VELMORA_FLOAT(TGLLightSource, LinearAttenuation);
    VELMORA_FLOAT(TGLLightSource, QuadraticAttenuation);
    coordinates(m, "Position", [](Obj& o) -> TGLCoordinates& { return o.Position(); });
    VELMORA_ORD(TGLLightSource, LightStyle, TLightStyle);
    VELMORA_ORD(TGLLightSource, Shining, bool);
    VELMORA_FLOAT(TGLLightSource, SpotCutOff);
    coordinates(m, "SpotDirection", [](Obj& o) -> TGLCoordinates& { return as<TGLLightSource>(o).SpotDirection(); });
    VELMORA_FLOAT(TGLLightSource, SpotExponent);
    tail(m);
    return m;
}

AccessMap camera()
{
    AccessMap m;
    VELMORA_ORD(Obj, Tag, std::int32_t);
    VELMORA_FLOAT(Obj, TagFloat);
    VELMORA_FLOAT(TGLCamera, DepthOfView);
    VELMORA_FLOAT(TGLCamera, FocalLength);
    VELMORA_FLOAT(TGLCamera, SceneScale);
    VELMORA_FLOAT(TGLCamera, NearPlaneBias);
    m["TargetObject"] = {[](Obj& o) {
                             PV v;
                             if (Obj* t = as<TGLCamera>(o).TargetObject()) v.text = t->Name();
                             return v;
                         },
                         nullptr};
    VELMORA_ORD(TGLCamera, CameraStyle, TGLCameraStyle);
    coordinates(m, "Position", [](Obj& o) -> TGLCoordinates& { return o.Position(); });
    coordinates(m, "Direction", [](Obj& o) -> TGLCoordinates& { return o.Direction(); });
    coordinates(m, "Up", [](Obj& o) -> TGLCoordinates& { return o.Up(); });
    tail(m);
    return m;
}

#undef VELMORA_FLOAT
#undef VELMORA_ORD
#undef VELMORA_SET
#undef VELMORA_SUB_FLOAT
#undef VELMORA_SUB_ORD

struct ClassBinding {
    AccessMap access;
    std::function<std::unique_ptr<Obj>()> create;
};

const std::map<std::string, ClassBinding>& bindings()
{
    static const std::map<std::string, ClassBinding> b = {
        {"TGLDummyCube", {dummyCube(), [] { return std::make_unique<TGLDummyCube>(); }}},
        {"TGLPlane", {plane(), [] { return std::make_unique<TGLPlane>(); }}},
        {"TGLPoints", {points(), [] { return std::make_unique<TGLPoints>(); }}},
        {"TGLMirror", {mirror(), [] { return std::make_unique<TGLMirror>(); }}},
        {"TGLLightSource", {lightSource(), [] { return std::make_unique<TGLLightSource>(); }}},
        {"TGLCamera", {camera(), [] { return std::make_unique<TGLCamera>(); }}},
    };
    return b;
}

const Access* findAccess(const std::string& className, const std::string& path)
{
    auto c = bindings().find(className);
    if (c == bindings().end()) return nullptr;
    auto a = c->second.access.find(path);
    return a == c->second.access.end() ? nullptr : &a->second;
}

// ---------------------------------------------------------------- stream views

class ObjectView : public StreamObject {
public:
    explicit ObjectView(Obj& obj) : obj_(obj), cls_(findSceneClass(obj.ClassName()))
    {
        if (!cls_) throw EFilerError(std::string("Class ") + obj.ClassName() + " cannot be written to a scene stream");
    }

    Obj& object() { return obj_; }
    const ClassDef& streamClass() const override { return *cls_; }
    std::string streamName() const override { return obj_.Name(); }

    PropertyValue getProperty(const PropertyDef& def) const override
    {
        const Access* a = findAccess(cls_->className, def.path);
        return a && a->get ? a->get(obj_) : initialValue(def);
    }
    void setProperty(const PropertyDef& def, const PropertyValue& value) override
    {
        // Properties without a counterpart in the engine (such as a texture's
        // material library) are accepted and ignored.
        if (const Access* a = findAccess(cls_->className, def.path); a && a->set) a->set(obj_, value);
    }
    void setReference(const PropertyDef& def, StreamObject* target) override
    {
        Obj* t = target ? &static_cast<ObjectView*>(target)->object() : nullptr;
        if (def.path == "MirrorObject")
            static_cast<TGLMirror&>(obj_).SetMirrorObject(t);
        else if (def.path == "TargetObject")
            static_cast<TGLCamera&>(obj_).SetTargetObject(t);
    }
    std::vector<StreamObject*> streamChildren() override
    {
        std::vector<StreamObject*> out;
        for (int i = 0; i < obj_.Count(); ++i) {
            views_.push_back(std::make_unique<ObjectView>(*obj_.Child(i)));
            out.push_back(views_.back().get());
        }
        return out;
    }

private:
    Obj& obj_;
    const ClassDef* cls_;
    std::vector<std::unique_ptr<ObjectView>> views_;
};

// The scene component as the root record. For reading, its top-level objects
// are collected under a detached holder so the scene stays as it was until the
// whole stream has been read.
class SceneView : public StreamObject {
public:
    SceneView(TGLScene& scene, TGLSceneRootObject* holder) : scene_(scene), holder_(holder) {}

    const ClassDef& streamClass() const override { return sceneRootClass(); }
    std::string streamName() const override { return scene_.Name(); }

    PropertyValue getProperty(const PropertyDef& def) const override
    {
        if (def.path == "Tag") return ord(scene_.Tag());
        if (def.path == "ObjectsSorting") return ord(scene_.ObjectsSorting());
        if (def.path == "VisibilityCulling") return ord(scene_.VisibilityCulling());
        if (def.path == "Left") return ord(scene_.Left());
        if (def.path == "Top") return ord(scene_.Top());
        return initialValue(def);
    }
    void setProperty(const PropertyDef& def, const PropertyValue& v) override
    {
        // Kept aside and applied with the objects, so a failed read changes nothing.
        pending_[def.path] = v;
    }
    void setReference(const PropertyDef&, StreamObject*) override {}
    void setRootName(const std::string& name) override { rootName_ = name; }
    std::vector<StreamObject*> streamChildren() override
    {
        std::vector<StreamObject*> out;
        for (TGLSceneRootObject* root : {&scene_.Objects(), &scene_.Cameras()})
            for (int i = 0; i < root->Count(); ++i) {
                views_.push_back(std::make_unique<ObjectView>(*root->Child(i)));
                out.push_back(views_.back().get());
            }
        return out;
    }

    void applyRootProperties()
    {
        scene_.SetName(rootName_);
        for (const auto& [path, v] : pending_) {
            if (path == "Tag")
                scene_.SetTag(static_cast<std::int32_t>(v.integer));
            else if (path == "ObjectsSorting")
                scene_.SetObjectsSorting(static_cast<TGLObjectsSorting>(v.integer));
            else if (path == "VisibilityCulling")
                scene_.SetVisibilityCulling(static_cast<TGLVisibilityCulling>(v.integer));
            else if (path == "Left")
                scene_.SetLeft(static_cast<std::int32_t>(v.integer));
            else if (path == "Top")
                scene_.SetTop(static_cast<std::int32_t>(v.integer));
        }
    }
    TGLSceneRootObject* holder() { return holder_; }

private:
    TGLScene& scene_;
    TGLSceneRootObject* holder_;
    std::map<std::string, PropertyValue> pending_;
    std::string rootName_;
    std::vector<std::unique_ptr<ObjectView>> views_;
};

void switchOffLights(Obj& o)
{
    if (auto* light = dynamic_cast<TGLLightSource*>(&o)) light->SetShining(false);
    for (int i = 0; i < o.Count(); ++i) switchOffLights(*o.Child(i));
}

class EngineFactory : public StreamObjectFactory {
public:
    explicit EngineFactory(SceneView& root) : root_(root) {}

    StreamObject& createChild(StreamObject& parent, const ClassDef& cls, const std::string& name) override
    {
        std::unique_ptr<Obj> obj = bindings().at(cls.className).create();
        obj->SetLoading(true);
        obj->SetName(name);
        Obj* parentObj =
            &parent == &root_ ? static_cast<Obj*>(root_.holder()) : &static_cast<ObjectView&>(parent).object();
        Obj* raw = parentObj->AppendChild(std::move(obj));
        read_.push_back(raw);
        views_.push_back(std::make_unique<ObjectView>(*raw));
        return *views_.back();
    }
    void moveChild(StreamObject&, StreamObject& child, std::int64_t position) override
    {
        const auto clamped = std::clamp<std::int64_t>(position, 0, 1 << 30);
        static_cast<ObjectView&>(child).object().SetIndex(static_cast<int>(clamped));
    }
    void finishLoading() override
    {
        for (Obj* o : read_) {
            o->SetLoading(false);
            o->Loaded();
        }
        // Positions are points whatever the stream held.
        for (Obj* o : read_) o->Position().SetW(1);
    }

private:
    SceneView& root_;
    std::vector<Obj*> read_;
    std::vector<std::unique_ptr<ObjectView>> views_;
};

} // namespace

std::vector<std::uint8_t> saveSceneToStream(TGLScene& scene)
{
    SceneView view(scene, nullptr);
    return writeSceneStream(view);
}

void saveSceneToFile(TGLScene& scene, const std::filesystem::path& path)
{
    // Build the whole stream first so a failure cannot leave half a file.
    const std::vector<std::uint8_t> bytes = saveSceneToStream(scene);
    writeSceneStreamFile(path, bytes);
}

namespace {

class PreparedScene final : public TPreparedScene {
public:
    PreparedScene(TGLScene& scene, std::span<const std::uint8_t> stream) : scene_(scene), view_(scene, &holder_)
    {
        EngineFactory factory(view_);
        readSceneStream(stream, view_, factory);
    }

    void install() override
    {
        if (installed_) return;
        installed_ = true;
        TGLScene& scene = scene_;
        std::vector<std::pair<TGLSceneBuffer*, std::string>> cameras;
        for (TGLSceneBuffer* buffer : scene.RegisteredBuffers())
            if (buffer->Camera()) cameras.emplace_back(buffer, buffer->Camera()->Name());
        scene.BeginUpdate();
        switchOffLights(scene.Objects());
        switchOffLights(scene.Cameras());
        scene.Clear();
        view_.applyRootProperties();
        while (holder_.Count() > 0) scene.AddObject(holder_.RemoveChild(holder_.Child(0), false));
        for (auto& [buffer, name] : cameras)
            if (auto* cam = dynamic_cast<TGLCamera*>(scene.FindSceneObject(name))) buffer->SetCamera(cam);
        scene.EndUpdate();
    }

private:
    TGLScene& scene_;
    TGLSceneRootObject holder_; // before the view, which refers to it
    SceneView view_;
    bool installed_ = false;
};

} // namespace

std::unique_ptr<TPreparedScene> prepareSceneLoad(TGLScene& scene, std::span<const std::uint8_t> stream)
{
    return std::make_unique<PreparedScene>(scene, stream);
}

std::unique_ptr<TPreparedScene> prepareSceneLoadFromFile(TGLScene& scene, const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw EFilerError(fileNotFoundMessage(path));
    const std::vector<std::uint8_t> bytes = readFileBytes(path);
    return prepareSceneLoad(scene, bytes);
}

void loadSceneFromStream(TGLScene& scene, std::span<const std::uint8_t> stream)
{
    prepareSceneLoad(scene, stream)->install();
}

void loadSceneFromFile(TGLScene& scene, const std::filesystem::path& path)
{
    prepareSceneLoadFromFile(scene, path)->install();
}

} // namespace velmora
