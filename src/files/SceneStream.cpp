#include "files/SceneStream.h"

#include <cmath>
#include <cstring>
#include <map>

namespace velmora {

using namespace filer_messages;

namespace {

EReadError invalidValue()
{
    return EReadError(InvalidPropertyValue);
}

std::string floatBlock(const std::array<float, 4>& v, int count)
{
    std::string bytes(static_cast<std::size_t>(count) * 4, '\0');
    std::memcpy(bytes.data(), v.data(), bytes.size());
    return bytes;
}

constexpr std::array<float, 3> kPointParamDefaults = {0.0f, 128.0f, 1.0f};

} // namespace

PropertyValue initialValue(const PropertyDef& def)
{
    PropertyValue v;
    v.integer = def.ordinal;
    v.number = def.number;
    v.text = def.text;
    v.vec = def.vec;
    if (def.kind == PropKind::PointParams)
        v.vec = {kPointParamDefaults[0], kPointParamDefaults[1], kPointParamDefaults[2], 0};
    return v;
}

std::optional<StreamValue> encodeProperty(const PropertyDef& def, const PropertyValue& value)
{
    if (def.rule == WriteRule::Never) return std::nullopt;
    switch (def.kind) {
    case PropKind::Integer:
        if (def.rule == WriteRule::Default && value.integer == def.ordinal) return std::nullopt;
        return StreamValue::ofInteger(value.integer);
    case PropKind::Float:
        if (def.rule == WriteRule::NotZero) {
            // A zero is left out, but a reader would then keep a non-zero
            // initial value; write it when that would change the value.
            if (value.number == 0 && def.number == 0) return std::nullopt;
        } else if (def.rule == WriteRule::NotDefault && value.number == def.number) {
            return std::nullopt;
        }
        return StreamValue::ofExtended(static_cast<long double>(value.number));
    case PropKind::Bool:
        if (def.rule == WriteRule::Default && (value.integer != 0) == (def.ordinal != 0)) return std::nullopt;
        return StreamValue::ofBool(value.integer != 0);
    case PropKind::Enum:
        if (def.rule == WriteRule::Default && value.integer == def.ordinal) return std::nullopt;
        if (value.integer < 0 || value.integer >= static_cast<std::int64_t>(def.type->names.size()))
            throw std::logic_error("Enumeration value out of range for " + def.path);
        return StreamValue::ofEnum(def.type->names[static_cast<std::size_t>(value.integer)]);
    case PropKind::Set: {
        if (def.rule == WriteRule::Default && value.integer == def.ordinal) return std::nullopt;
        std::vector<std::string> names;
        for (std::size_t i = 0; i < def.type->names.size() && i < 32; ++i)
            if (value.integer & (std::int64_t(1) << i)) names.push_back(def.type->names[i]);
        return StreamValue::ofSet(std::move(names));
    }
    case PropKind::String:
        if (value.text.empty()) return std::nullopt;
        return StreamValue::ofString(value.text);
    case PropKind::Vector:
    case PropKind::Color: return StreamValue::ofBinary(floatBlock(value.vec, 4));
    case PropKind::Ref:
        // A target without a name could not be found again; leave it out.
        if (value.text.empty()) return std::nullopt;
        return StreamValue::ofIdent(std::string(kSceneOwnerName) + "." + value.text);
    case PropKind::Event:
    case PropKind::Collection: return std::nullopt;
    case PropKind::Picture:
    case PropKind::Binary:
        if (value.text.empty()) return std::nullopt;
        return StreamValue::ofBinary(value.text);
    case PropKind::PointParams:
        if (value.vec[0] == kPointParamDefaults[0] && value.vec[1] == kPointParamDefaults[1] &&
            value.vec[2] == kPointParamDefaults[2])
            return std::nullopt;
        return StreamValue::ofBinary(floatBlock(value.vec, 3));
    }
    return std::nullopt;
}

PropertyValue decodeProperty(const PropertyDef& def, const StreamValue& v)
{
    PropertyValue out;
    switch (def.kind) {
    case PropKind::Integer: out.integer = valueAsInteger(v, !def.is32bit); break;
    case PropKind::Float: out.number = static_cast<float>(valueAsFloat(v)); break;
    case PropKind::Bool: out.integer = valueAsBool(v) ? 1 : 0; break;
    case PropKind::Enum: {
        const int ord = def.type->ordinalOf(valueAsEnumName(v));
        if (ord < 0) throw invalidValue();
        out.integer = ord;
        break;
    }
    case PropKind::Set:
        for (const auto& name : valueAsSet(v)) {
            const int ord = def.type->ordinalOf(name);
            if (ord < 0) throw invalidValue();
            out.integer |= std::int64_t(1) << ord;
        }
        break;
    case PropKind::String: out.text = valueAsString(v); break;
    case PropKind::Vector:
    case PropKind::Color: {
        const std::string b = valueAsBinary(v);
        if (b.size() != 16) throw invalidValue();
        std::memcpy(out.vec.data(), b.data(), 16);
        break;
    }
    case PropKind::Ref:
        if (v.tag == ValueTag::vaNil) break;
        if (v.tag != ValueTag::vaIdent) throw invalidValue();
        out.text = v.text;
        break;
    case PropKind::Event:
        // No method of the main window is published to streams, so only a
        // cleared event can be read.
        if (v.tag != ValueTag::vaNil) throw invalidValue();
        break;
    case PropKind::Collection:
        // This program's collections hold no item classes; an empty one is fine.
        if (v.tag == ValueTag::vaNil) break;
        if (v.tag != ValueTag::vaCollection || !v.items.empty()) throw invalidValue();
        break;
    case PropKind::Picture:
    case PropKind::Binary: out.text = valueAsBinary(v); break;
    case PropKind::PointParams: {
        const std::string b = valueAsBinary(v);
        if (b.size() != 12) throw invalidValue();
        std::memcpy(out.vec.data(), b.data(), 12);
        break;
    }
    }
    return out;
}

std::optional<std::string> referenceTargetName(const std::string& text)
{
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos) return text.empty() ? std::nullopt : std::optional<std::string>(text);
    if (text.compare(0, dot, kSceneOwnerName) != 0) return std::nullopt;
    std::string rest = text.substr(dot + 1);
    // Scene objects own no components, so a longer path leads nowhere.
    if (rest.empty() || rest.find('.') != std::string::npos || rest == "Owner") return std::nullopt;
    return rest;
}

// ---------------------------------------------------------------- writing

namespace {

void writeObject(StreamObject& obj, ComponentNode& node)
{
    const ClassDef& cls = obj.streamClass();
    node.className = cls.className;
    node.name = obj.streamName();
    for (const PropertyDef& def : cls.props) {
        if (def.rule == WriteRule::Never || def.kind == PropKind::Event || def.kind == PropKind::Collection) continue;
        if (auto v = encodeProperty(def, obj.getProperty(def))) node.properties.push_back({def.path, std::move(*v)});
    }
    for (StreamObject* child : obj.streamChildren()) {
        node.children.emplace_back();
        writeObject(*child, node.children.back());
    }
}

} // namespace

ComponentNode writeSceneTree(StreamObject& root)
{
    ComponentNode node;
    writeObject(root, node);
    return node;
}

std::vector<std::uint8_t> writeSceneStream(StreamObject& root)
{
    return writeComponentStream(writeSceneTree(root));
}

// ---------------------------------------------------------------- reading

namespace {

struct PendingReference {
    StreamObject* object;
    const PropertyDef* def;
    std::string text;
};

// Component names compare without regard to case.
std::string nameKey(const std::string& name)
{
    std::string k = name;
    for (char& c : k)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return k;
}

class SceneReader {
public:
    SceneReader(StreamObject& root, StreamObjectFactory& factory) : root_(root), factory_(factory) {}

    void read(const ComponentNode& tree)
    {
        // The main window already bears its own name; the root must not take it.
        root_.setRootName(nameKey(tree.name) == nameKey(kSceneOwnerName) ? tree.name + "_1" : tree.name);
        readProperties(tree, root_);
        for (const ComponentNode& child : tree.children) readChild(child, root_);
        factory_.finishLoading();
        for (const PendingReference& p : pending_) {
            StreamObject* target = nullptr;
            if (auto name = referenceTargetName(p.text)) {
                auto it = byName_.find(nameKey(*name));
                if (it != byName_.end()) target = it->second;
            }
            p.object->setReference(*p.def, target);
        }
    }

private:
    void readProperties(const ComponentNode& node, StreamObject& obj)
    {
        const ClassDef& cls = obj.streamClass();
        for (const PropertyRecord& rec : node.properties) {
            try {
                readProperty(cls, rec, obj);
            } catch (const EDataError& e) {
                // Setters and picture decoders report their own faults; only
                // faults of the data get the property's place, the others
                // (out of memory, I/O, GL) pass through as they are.
                throw EReadError(errorReadingMessage(node.name, node.className, rec.name, e.what()));
            }
        }
    }

    void readProperty(const ClassDef& cls, const PropertyRecord& rec, StreamObject& obj)
    {
        const PropertyDef* def = nullptr;
        switch (resolvePropertyPath(cls, rec.name, def)) {
        case PathProblem::None: break;
        case PathProblem::DoesNotExist: throw EReadError(PropertyDoesNotExist);
        case PathProblem::InvalidPath: throw EReadError(InvalidPropertyPath);
        case PathProblem::ObjectValue: throw EReadError(InvalidPropertyValue);
        }
        PropertyValue value = decodeProperty(*def, rec.value);
        switch (def->kind) {
        case PropKind::Ref:
            if (value.text.empty())
                obj.setReference(*def, nullptr);
            else
                pending_.push_back({&obj, def, value.text});
            return;
        case PropKind::Event:
        case PropKind::Collection: return;
        default: obj.setProperty(*def, value);
        }
    }

    void readChild(const ComponentNode& node, StreamObject& parent)
    {
        if (node.flags & kFilerInherited) throw EReadError("Ancestor for '" + node.name + "' not found");
        const ClassDef* cls = findSceneClass(node.className);
        if (!cls || cls == &sceneRootClass()) throw EClassNotFound(classNotFoundMessage(node.className));
        // Names are how the main window finds its objects; a second object of
        // the same name would make that ambiguous.
        if (!node.name.empty() && byName_.count(nameKey(node.name)))
            throw EReadError("A component named " + node.name + " already exists");
        StreamObject& obj = factory_.createChild(parent, *cls, node.name);
        if (!node.name.empty()) byName_[nameKey(node.name)] = &obj;
        readProperties(node, obj);
        for (const ComponentNode& child : node.children) readChild(child, obj);
        if ((node.flags & kFilerChildPos) && node.childPosition)
            factory_.moveChild(parent, obj, node.childPosition->integer);
    }

    StreamObject& root_;
    StreamObjectFactory& factory_;
    std::vector<PendingReference> pending_;
    std::map<std::string, StreamObject*> byName_;
};

} // namespace

void readSceneTree(const ComponentNode& tree, StreamObject& root, StreamObjectFactory& factory)
{
    SceneReader(root, factory).read(tree);
}

void readSceneStream(std::span<const std::uint8_t> stream, StreamObject& root, StreamObjectFactory& factory)
{
    ComponentNode tree;
    std::optional<EReadError> damage;
    try {
        readComponentStream(stream, tree);
    } catch (const EFilerError& e) {
        // Nothing of the root was read: the stream is unusable as a whole.
        if (tree.className.empty() && tree.name.empty()) throw;
        damage.emplace(e.what());
    }
    if (!damage) {
        readSceneTree(tree, root, factory);
        return;
    }
    // The records before the damage are checked first; their faults come
    // earlier in the stream than the damage itself.
    readSceneTree(tree, root, factory);
    throw *damage;
}

} // namespace velmora
