#include "files/DumpStream.h"

#include "files/SceneVocabulary.h"
#include "files/Sha256.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <set>
#include <sstream>

namespace velmora {

namespace {

// Nine significant digits in the style of "%g", taken from the value already
// rounded to ten digits: that double rounding is how the reference dumps show
// 0.1f ("0.100000002"), and dumps must compare byte for byte.
std::string nineDigits(double v)
{
    if (v == 0 || !std::isfinite(v)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.9g", v);
        return buf;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9e", v); // d.ddddddddde±XX
    std::string text = buf;
    const bool negative = text[0] == '-';
    if (negative) text.erase(0, 1);
    const std::size_t e = text.find('e');
    int exponent = std::atoi(text.c_str() + e + 1);
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2); // ten digits
    const bool up = digits[9] >= '5';
    digits.resize(9);
    if (up) {
        int i = 8;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits.insert(digits.begin(), '1');
            digits.resize(9);
            ++exponent;
        }
    }
    std::string out;
    if (exponent < -4 || exponent >= 9) {
        std::string mant = digits.substr(0, 1);
        std::string frac = digits.substr(1);
        while (!frac.empty() && frac.back() == '0') frac.pop_back();
        if (!frac.empty()) mant += "." + frac;
        std::snprintf(buf, sizeof buf, "e%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
        out = mant + buf;
    } else if (exponent < 0) {
        std::string frac = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        while (!frac.empty() && frac.back() == '0') frac.pop_back();
        out = "0." + frac;
    } else {
        std::string intPart = digits.substr(0, static_cast<std::size_t>(exponent) + 1);
        std::string frac = digits.substr(static_cast<std::size_t>(exponent) + 1);
        while (!frac.empty() && frac.back() == '0') frac.pop_back();
        out = frac.empty() ? intPart : intPart + "." + frac;
    }
    return negative ? "-" + out : out;
}

std::string floatText(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X ", bits);
    return buf + nineDigits(static_cast<double>(f));
}

std::string quoted(const std::string& s)
{
    return "len=" + std::to_string(s.size()) + " \"" + s + "\"";
}

std::string blockFloats(const std::string& bytes)
{
    std::string r;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        float f;
        std::memcpy(&f, bytes.data() + i, 4);
        if (!r.empty()) r += ' ';
        r += floatText(f);
    }
    return r;
}

std::string vecText(const std::array<float, 4>& v)
{
    std::string r;
    for (float f : v) {
        if (!r.empty()) r += ' ';
        r += floatText(f);
    }
    return r;
}

std::string setText(const std::vector<std::string>& names)
{
    std::string r = "[";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) r += ',';
        r += names[i];
    }
    return r + "]";
}

std::string maskText(const EnumType& t, std::int64_t mask)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < t.names.size() && i < 32; ++i)
        if (mask & (std::int64_t(1) << i)) names.push_back(t.names[i]);
    return setText(names);
}

std::string pictureText(const std::string& block)
{
    ByteReader r({reinterpret_cast<const std::uint8_t*>(block.data()), block.size()});
    if (block.empty() || !r.holds(1, r.u8At(0))) return "damaged block=" + std::to_string(block.size());
    const std::string name = r.shortString();
    std::string text = "class=" + name + " block=" + std::to_string(block.size());
    if (r.remaining() < 4) return text + " damaged";
    const std::uint32_t size = r.u32();
    text += " size=" + std::to_string(size);
    if (size > r.remaining()) return text + " damaged";
    return text + " sha256=" + sha256Hex(std::string_view(block).substr(r.pos(), size));
}

// Any value as it stands, for records the tables do not describe.
std::string rawText(const StreamValue& v)
{
    switch (v.tag) {
    case ValueTag::vaNull: return "Null";
    case ValueTag::vaFalse: return "False";
    case ValueTag::vaTrue: return "True";
    case ValueTag::vaNil: return "nil";
    case ValueTag::vaInt8:
    case ValueTag::vaInt16:
    case ValueTag::vaInt32:
    case ValueTag::vaInt64: return std::to_string(v.integer);
    case ValueTag::vaCurrency: return "currency " + std::to_string(v.integer);
    case ValueTag::vaExtended: return floatText(static_cast<float>(v.extended.toLongDouble()));
    case ValueTag::vaSingle: return floatText(v.single);
    case ValueTag::vaDate: return "date " + std::to_string(v.date);
    case ValueTag::vaString:
    case ValueTag::vaLString: return quoted(v.text);
    case ValueTag::vaIdent: return v.text;
    case ValueTag::vaBinary: return "binary len=" + std::to_string(v.text.size());
    case ValueTag::vaSet: return setText(v.setItems);
    case ValueTag::vaCollection: return "collection(" + std::to_string(v.items.size()) + ")";
    case ValueTag::vaWString: return "widestring len=" + std::to_string(v.wide.size());
    case ValueTag::vaList: {
        std::string r = "(";
        for (std::size_t i = 0; i < v.list.size(); ++i) r += (i ? " " : "") + rawText(v.list[i]);
        return r + ")";
    }
    }
    return "?";
}

float pointParam(const StreamValue* block, int index, float initial)
{
    if (!block || block->tag != ValueTag::vaBinary || block->text.size() < 12) return initial;
    float f;
    std::memcpy(&f, block->text.data() + 4 * index, 4);
    return f;
}

// The text of one property; v is the stream's record or nullptr when absent.
// Values whose tag does not fit the kind are shown raw.
std::string propertyText(const PropertyDef& d, const StreamValue* v, const ComponentNode& node)
{
    try {
        switch (d.kind) {
        case PropKind::Integer: return std::to_string(v ? valueAsInteger(*v, !d.is32bit) : d.ordinal);
        case PropKind::Float: {
            if (d.path.rfind("PointParameters.", 0) == 0 && d.rule == WriteRule::Never) {
                const StreamValue* pp = node.find("PointParameters.PointParams");
                const int index = d.path == "PointParameters.MinSize" ? 0 : d.path == "PointParameters.MaxSize" ? 1 : 2;
                if (!v) return floatText(pointParam(pp, index, d.number));
            }
            return floatText(v ? static_cast<float>(valueAsFloat(*v)) : d.number);
        }
        case PropKind::Bool: return (v ? valueAsBool(*v) : d.ordinal != 0) ? "True" : "False";
        case PropKind::Enum: return v ? valueAsEnumName(*v) : d.type->names.at(static_cast<std::size_t>(d.ordinal));
        case PropKind::Set: return v ? setText(valueAsSet(*v)) : maskText(*d.type, d.ordinal);
        case PropKind::String: return quoted(v ? valueAsString(*v) : d.text);
        case PropKind::Vector:
        case PropKind::Color: return v ? blockFloats(valueAsBinary(*v)) : vecText(d.vec);
        case PropKind::Ref:
        case PropKind::Event:
            if (!v || v->tag == ValueTag::vaNil) return "nil";
            if (v->tag == ValueTag::vaIdent) return v->text;
            return rawText(*v);
        case PropKind::Collection: return v ? rawText(*v) : "collection(0)";
        case PropKind::Picture: return v ? pictureText(valueAsBinary(*v)) : "empty";
        case PropKind::PointParams:
        case PropKind::Binary: return v ? "block=" + std::to_string(valueAsBinary(*v).size()) : "none";
        }
    } catch (const EFilerError&) {}
    return rawText(*v);
}

void dumpNode(const ComponentNode& node, const std::string& path, std::ostream& out)
{
    out << "object " << path << ' ' << node.className << '\n';
    const ClassDef* cls = findSceneClass(node.className);
    std::set<std::string> shown;
    if (cls) {
        for (const PropertyDef& d : cls->props) {
            const StreamValue* v = node.find(d.path);
            if (v && d.dumped) shown.insert(d.path);
            if (!d.dumped) continue;
            out << path << ' ' << d.path << " = " << propertyText(d, v, node) << '\n';
        }
    }
    // Records the tables do not show (unknown names, published components).
    for (const auto& rec : node.properties) {
        if (shown.count(rec.name)) continue;
        const PropertyDef* d = cls ? cls->find(rec.name) : nullptr;
        if (d && d->dumped) continue;
        if (d && d->kind == PropKind::PointParams) continue;
        out << path << ' ' << rec.name << " = " << rawText(rec.value) << '\n';
    }
    out << path << " #children =";
    for (const auto& c : node.children) out << ' ' << c.name;
    out << '\n';
    for (const auto& c : node.children) dumpNode(c, path + "/" + c.name, out);
}

} // namespace

void dumpStream(const ComponentNode& root, std::ostream& out)
{
    dumpNode(root, root.name, out);
}

std::string dumpStream(std::span<const std::uint8_t> stream)
{
    const ComponentNode root = readComponentStream(stream);
    std::ostringstream out;
    dumpStream(root, out);
    return out.str();
}

} // namespace velmora
