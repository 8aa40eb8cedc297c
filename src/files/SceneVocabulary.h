#pragma once
// What a scene stream holds for each scene class: every published and defined
// property path in write order, its kind, when it is written and the value a
// freshly made object has. The reader checks record names and value tags
// against these tables, the writer walks them, and the dump prints them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// An enumeration or the element type of a set: identifiers by ordinal.
struct EnumType {
    std::string typeName;
    std::vector<std::string> names;

    int ordinalOf(const std::string& name) const; // -1 when unknown (case-insensitive)
};

enum class PropKind {
    Integer, // 32-bit integer; tags 2..4
    Float,   // single; written as a 10-byte extended float
    Bool,
    Enum,
    Set, // bit mask over an EnumType
    String,
    Vector,      // ".Coordinates" block of four singles
    Color,       // ".Color" block of four singles
    Ref,         // reference to a scene object, written as an identifier
    Event,       // method reference; never assigned in this program
    Collection,  // published collection; always empty in this program
    Picture,     // ".Picture.Data" block: class-name byte, class name, stored data
    PointParams, // three singles: min size, max size, fade threshold
    Binary,      // BehavioursData / EffectsData
};

enum class WriteRule {
    Never, // published for reading, never written
    Always,
    Default,    // ordinal: written when it differs from the declared default
    NotZero,    // float: written when not 0
    NotDefault, // float: written when it differs from the declared default
    NotEmpty,   // string: written when not empty
    WhenSet,    // reference, picture, binary, point parameters: written when there is data
};

struct PropertyDef {
    std::string path;
    PropKind kind = PropKind::Integer;
    WriteRule rule = WriteRule::Always;
    const EnumType* type = nullptr; // Enum and Set
    std::int64_t ordinal = 0;       // initial / declared default: Integer, Bool, Enum ordinal, Set mask
    float number = 0;               // initial / declared default of a Float
    std::array<float, 4> vec{};     // initial value of a Vector or Color
    std::string text;               // initial value of a String
    bool dumped = true;             // listed by the dump
    bool defined = false;           // a defined (non-published) property, such as Left or Coordinates
    bool is32bit = true;            // Integer: 64-bit tags do not fit
};

struct ClassDef {
    std::string className;
    std::vector<PropertyDef> props;

    const PropertyDef* find(const std::string& path) const;
    // True when path names a nested object of this class ("Material", "Material.Texture").
    bool isObjectPath(const std::string& path) const;
};

// The classes of the scene stream. TGLScene is the root record only.
const ClassDef* findSceneClass(const std::string& className);
const ClassDef& sceneRootClass();
std::vector<std::string> sceneObjectClassNames(); // the six classes below the root

// Enumerations shared by the engine bindings.
namespace scene_enums {
const EnumType& objectsSorting();
const EnumType& visibilityCulling();
const EnumType& polygonMode();
const EnumType& blendingMode();
const EnumType& materialOption();
const EnumType& textureImageAlpha();
const EnumType& magFilter();
const EnumType& minFilter();
const EnumType& textureMode();
const EnumType& textureWrap();
const EnumType& textureFormat();
const EnumType& textureCompression();
const EnumType& filteringQuality();
const EnumType& mappingMode();
const EnumType& faceCulling();
const EnumType& planeStyle();
const EnumType& cameraInvarianceMode();
const EnumType& pointStyle();
const EnumType& mirrorOption();
const EnumType& mirrorShape();
const EnumType& lightStyle();
const EnumType& cameraStyle();
} // namespace scene_enums

// How a property that fails path resolution is reported.
enum class PathProblem { None, DoesNotExist, InvalidPath, ObjectValue };
// Checks a record name against a class: None when def is found (def set),
// otherwise which message applies (ObjectValue: the path names a nested object
// itself, whose value cannot be given in a record).
PathProblem resolvePropertyPath(const ClassDef& cls, const std::string& path, const PropertyDef*& def);

} // namespace velmora
