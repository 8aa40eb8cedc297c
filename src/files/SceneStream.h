#pragma once
// Writing a scene graph into a component stream and reading one back, driven by
// the property tables of SceneVocabulary. The scene classes take part through
// StreamObject (a view of one object) and StreamObjectFactory (making objects
// while reading), so these rules live in one place whatever the object model.

#include "files/ComponentStream.h"
#include "files/SceneVocabulary.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmora {

// The name of the main window: every scene object is owned by it, so references
// are written as "frmMain.<name>".
inline constexpr const char* kSceneOwnerName = "frmMain";

// One property value in a neutral form, by kind:
//   Integer, Bool (0/1), Enum (ordinal), Set (bit mask): integer
//   Float: number
//   String; Ref (the target's name, empty for none); Picture (the whole picture
//   block, empty for no picture); Binary: text
//   Vector, Color: vec;  PointParams: vec[0..2] = min size, max size, fade threshold
struct PropertyValue {
    std::int64_t integer = 0;
    float number = 0;
    std::string text;
    std::array<float, 4> vec{};
};

// The value a new object holds for a property, from the tables.
PropertyValue initialValue(const PropertyDef& def);
// The record the writer puts out for a value, or nothing when the rules leave it out.
std::optional<StreamValue> encodeProperty(const PropertyDef& def, const PropertyValue& value);
// Converts a record's value for the property's kind; a tag or identifier that
// does not fit raises "Invalid property value". References come back as the
// identifier text in `text` (empty for nil).
PropertyValue decodeProperty(const PropertyDef& def, const StreamValue& value);

class StreamObject {
public:
    virtual ~StreamObject() = default;
    virtual const ClassDef& streamClass() const = 0;
    virtual std::string streamName() const = 0;
    virtual PropertyValue getProperty(const PropertyDef& def) const = 0;
    // References are not set here; see setReference.
    virtual void setProperty(const PropertyDef& def, const PropertyValue& value) = 0;
    virtual void setReference(const PropertyDef& def, StreamObject* target) = 0;
    // Children in stream order (for the scene: objects first, then cameras).
    virtual std::vector<StreamObject*> streamChildren() = 0;
    // The root takes the name its record carries.
    virtual void setRootName(const std::string& name) {}
};

class StreamObjectFactory {
public:
    virtual ~StreamObjectFactory() = default;
    // Makes an object of a class of the tables as the last child of parent.
    virtual StreamObject& createChild(StreamObject& parent, const ClassDef& cls, const std::string& name) = 0;
    // Moves child to position among parent's children (clamped to the list).
    virtual void moveChild(StreamObject& parent, StreamObject& child, std::int64_t position) = 0;
    // Every object has been read; references are resolved after this.
    virtual void finishLoading() = 0;
};

// The record tree of a scene with `root` as the root record.
ComponentNode writeSceneTree(StreamObject& root);
std::vector<std::uint8_t> writeSceneStream(StreamObject& root);

// Reads a record tree into root (already made, empty) and the factory's new
// objects. Raises the reader's messages; the caller discards what was built.
void readSceneTree(const ComponentNode& tree, StreamObject& root, StreamObjectFactory& factory);
// Parses stream bytes (a resource header is allowed) and reads them as above. A
// fault in the records read before a damaged part of the stream is reported
// first, as a reader going through the stream in order would.
void readSceneStream(std::span<const std::uint8_t> stream, StreamObject& root, StreamObjectFactory& factory);

// Where a reference text leads: the name of an object of the main window, or
// nothing when the text names no such object (another window, a path through
// objects, "Owner").
std::optional<std::string> referenceTargetName(const std::string& text);

} // namespace velmora
