#include "files/ComponentStream.h"

#include <cmath>
#include <cstring>

namespace velmora {

using namespace filer_messages;

std::string classNotFoundMessage(const std::string& className)
{
    return "Class " + className + " not found";
}

std::string errorReadingMessage(const std::string& objectName, const std::string& className, const std::string& path,
                                const std::string& message)
{
    return "Error reading " + (objectName.empty() ? className : objectName) + "." + path + ": " + message;
}

// ---------------------------------------------------------------- Extended80

Extended80 Extended80::fromLongDouble(long double v)
{
    Extended80 e;
    std::uint64_t mant = 0;
    int exp = 0;
    const bool negative = std::signbit(v);
    if (std::isnan(v)) {
        mant = 0xC000000000000000ull;
        exp = 0x7FFF;
    } else if (std::isinf(v)) {
        mant = 0x8000000000000000ull;
        exp = 0x7FFF;
    } else if (v != 0.0L) {
        int e2 = 0;
        long double m = std::frexp(std::fabs(v), &e2); // [0.5, 1)
        mant = static_cast<std::uint64_t>(std::ldexp(m, 64));
        exp = e2 - 1 + 16383;
        if (exp <= 0) { // subnormal in the stored format
            const int shift = 1 - exp;
            mant = shift >= 64 ? 0 : (mant >> shift);
            exp = 0;
        } else if (exp >= 0x7FFF) { // wider host type: saturate to infinity
            mant = 0x8000000000000000ull;
            exp = 0x7FFF;
        }
    }
    for (int i = 0; i < 8; ++i) e.bytes[i] = static_cast<std::uint8_t>(mant >> (8 * i));
    const std::uint16_t se = static_cast<std::uint16_t>(exp | (negative ? 0x8000 : 0));
    e.bytes[8] = static_cast<std::uint8_t>(se);
    e.bytes[9] = static_cast<std::uint8_t>(se >> 8);
    return e;
}

long double Extended80::toLongDouble() const
{
    std::uint64_t mant = 0;
    for (int i = 0; i < 8; ++i) mant |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    const std::uint16_t se = static_cast<std::uint16_t>(bytes[8] | (bytes[9] << 8));
    const bool negative = (se & 0x8000) != 0;
    const int exp = se & 0x7FFF;
    long double v;
    if (exp == 0x7FFF) {
        v = (mant << 1) == 0 ? HUGE_VALL : std::nanl("");
    } else if (exp == 0) {
        v = std::ldexp(static_cast<long double>(mant), -16382 - 63);
    } else {
        v = std::ldexp(static_cast<long double>(mant), exp - 16383 - 63);
    }
    return negative ? -v : v;
}

// ---------------------------------------------------------------- bytes

void ByteWriter::u16(std::uint16_t v)
{
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::u32(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void ByteWriter::u64(std::uint64_t v)
{
    for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void ByteWriter::bytes(const void* p, std::size_t n)
{
    const auto* b = static_cast<const std::uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
}

void ByteWriter::shortString(const std::string& s)
{
    const std::size_t n = s.size() > 255 ? 255 : s.size();
    u8(static_cast<std::uint8_t>(n));
    bytes(s.data(), n);
}

// ---------------------------------------------------------------- values

StreamValue StreamValue::ofInteger(std::int64_t v)
{
    StreamValue s;
    s.integer = v;
    if (v >= -128 && v <= 127)
        s.tag = ValueTag::vaInt8;
    else if (v >= -32768 && v <= 32767)
        s.tag = ValueTag::vaInt16;
    else if (v >= INT32_MIN && v <= INT32_MAX)
        s.tag = ValueTag::vaInt32;
    else
        s.tag = ValueTag::vaInt64;
    return s;
}

StreamValue StreamValue::ofExtended(long double v)
{
    StreamValue s;
    s.tag = ValueTag::vaExtended;
    s.extended = Extended80::fromLongDouble(v);
    return s;
}

namespace {

StreamValue tagged(ValueTag tag, std::string text = {})
{
    StreamValue s;
    s.tag = tag;
    s.text = std::move(text);
    return s;
}

} // namespace

StreamValue StreamValue::ofString(std::string str)
{
    const ValueTag tag = str.size() <= 255 ? ValueTag::vaString : ValueTag::vaLString;
    return tagged(tag, std::move(str));
}

StreamValue StreamValue::ofIdent(std::string str)
{
    return tagged(ValueTag::vaIdent, std::move(str));
}

static bool equalsNoCase(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

StreamValue StreamValue::ofEnum(const std::string& name)
{
    if (equalsNoCase(name, "False")) return tagged(ValueTag::vaFalse);
    if (equalsNoCase(name, "True")) return tagged(ValueTag::vaTrue);
    if (equalsNoCase(name, "nil")) return tagged(ValueTag::vaNil);
    if (equalsNoCase(name, "Null")) return tagged(ValueTag::vaNull);
    return ofIdent(name);
}

StreamValue StreamValue::ofBool(bool v)
{
    return tagged(v ? ValueTag::vaTrue : ValueTag::vaFalse);
}

StreamValue StreamValue::ofSet(std::vector<std::string> names)
{
    StreamValue s = tagged(ValueTag::vaSet);
    s.setItems = std::move(names);
    return s;
}

StreamValue StreamValue::ofBinary(std::string bytes)
{
    return tagged(ValueTag::vaBinary, std::move(bytes));
}

StreamValue StreamValue::ofNil()
{
    return tagged(ValueTag::vaNil);
}

bool StreamValue::isInteger() const
{
    return tag == ValueTag::vaInt8 || tag == ValueTag::vaInt16 || tag == ValueTag::vaInt32;
}

static bool sameProperties(const std::vector<PropertyRecord>& a, const std::vector<PropertyRecord>& b);

bool StreamValue::operator==(const StreamValue& o) const
{
    if (tag != o.tag) return false;
    switch (tag) {
    case ValueTag::vaInt8:
    case ValueTag::vaInt16:
    case ValueTag::vaInt32:
    case ValueTag::vaInt64:
    case ValueTag::vaCurrency: return integer == o.integer;
    case ValueTag::vaExtended: return extended == o.extended;
    case ValueTag::vaSingle: return std::memcmp(&single, &o.single, 4) == 0;
    case ValueTag::vaDate: return std::memcmp(&date, &o.date, 8) == 0;
    case ValueTag::vaString:
    case ValueTag::vaLString:
    case ValueTag::vaIdent:
    case ValueTag::vaBinary: return text == o.text;
    case ValueTag::vaWString: return wide == o.wide;
    case ValueTag::vaSet: return setItems == o.setItems;
    case ValueTag::vaList: return list == o.list;
    case ValueTag::vaCollection:
        if (items.size() != o.items.size()) return false;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].indexTag != o.items[i].indexTag || items[i].index != o.items[i].index ||
                !sameProperties(items[i].properties, o.items[i].properties))
                return false;
        }
        return true;
    default: return true;
    }
}

static bool sameProperties(const std::vector<PropertyRecord>& a, const std::vector<PropertyRecord>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || !(a[i].value == b[i].value)) return false;
    return true;
}

const StreamValue* ComponentNode::find(const std::string& propertyName) const
{
    for (const auto& p : properties)
        if (p.name == propertyName) return &p.value;
    return nullptr;
}

// Nesting limit for lists: deeper input is hostile and would exhaust the stack.
static constexpr int kMaxNesting = 64;

static StreamValue readValueAt(ByteReader& r, int depth);

static std::vector<PropertyRecord> readPropertyList(ByteReader& r, int depth)
{
    std::vector<PropertyRecord> props;
    while (r.peek() != 0) {
        PropertyRecord rec;
        rec.name = r.shortString();
        rec.value = readValueAt(r, depth + 1);
        props.push_back(std::move(rec));
    }
    r.u8();
    return props;
}

static StreamValue readValueAt(ByteReader& r, int depth)
{
    if (depth > kMaxNesting) throw EReadError(InvalidPropertyValue);
    StreamValue v;
    const std::uint8_t tag = r.u8();
    if (tag > static_cast<std::uint8_t>(ValueTag::vaInt64)) throw EReadError(InvalidPropertyValue);
    v.tag = static_cast<ValueTag>(tag);
    switch (v.tag) {
    case ValueTag::vaNull:
    case ValueTag::vaFalse:
    case ValueTag::vaTrue:
    case ValueTag::vaNil: break;
    case ValueTag::vaList:
        while (r.peek() != 0) v.list.push_back(readValueAt(r, depth + 1));
        r.u8();
        break;
    case ValueTag::vaInt8: v.integer = static_cast<std::int8_t>(r.u8()); break;
    case ValueTag::vaInt16: v.integer = static_cast<std::int16_t>(r.u16()); break;
    case ValueTag::vaInt32: v.integer = static_cast<std::int32_t>(r.u32()); break;
    case ValueTag::vaInt64:
    case ValueTag::vaCurrency: v.integer = static_cast<std::int64_t>(r.u64()); break;
    case ValueTag::vaExtended: {
        const std::string b = r.bytes(10);
        std::memcpy(v.extended.bytes.data(), b.data(), 10);
        break;
    }
    case ValueTag::vaString:
    case ValueTag::vaIdent: v.text = r.shortString(); break;
    case ValueTag::vaBinary:
    case ValueTag::vaLString: {
        const std::uint32_t n = r.u32();
        v.text = r.bytes(n); // bounds-checked before anything is allocated
        break;
    }
    case ValueTag::vaSet:
        for (;;) {
            std::string s = r.shortString();
            if (s.empty()) break;
            v.setItems.push_back(std::move(s));
        }
        break;
    case ValueTag::vaCollection:
        while (r.peek() != 0) {
            CollectionItem item;
            const std::uint8_t t = r.peek();
            if (t == 2 || t == 3 || t == 4) {
                StreamValue idx = readValueAt(r, depth + 1);
                item.indexTag = idx.tag;
                item.index = idx.integer;
            }
            if (r.u8() != static_cast<std::uint8_t>(ValueTag::vaList)) throw EReadError(InvalidPropertyValue);
            item.properties = readPropertyList(r, depth + 1);
            v.items.push_back(std::move(item));
        }
        r.u8();
        break;
    case ValueTag::vaSingle: {
        const std::uint32_t b = r.u32();
        std::memcpy(&v.single, &b, 4);
        break;
    }
    case ValueTag::vaDate: {
        const std::uint64_t b = r.u64();
        std::memcpy(&v.date, &b, 8);
        break;
    }
    case ValueTag::vaWString: {
        const std::uint32_t n = r.u32();
        if (n > r.remaining() / 2) throw EReadError(StreamReadError);
        v.wide.resize(n);
        for (std::uint32_t i = 0; i < n; ++i) v.wide[i] = static_cast<char16_t>(r.u16());
        break;
    }
    }
    return v;
}

StreamValue readValue(ByteReader& r)
{
    return readValueAt(r, 0);
}

void skipValue(ByteReader& r)
{
    (void)readValueAt(r, 0);
}

static void writePropertyList(ByteWriter& w, const std::vector<PropertyRecord>& props);

void writeValue(ByteWriter& w, const StreamValue& v)
{
    w.u8(static_cast<std::uint8_t>(v.tag));
    switch (v.tag) {
    case ValueTag::vaNull:
    case ValueTag::vaFalse:
    case ValueTag::vaTrue:
    case ValueTag::vaNil: break;
    case ValueTag::vaList:
        for (const auto& item : v.list) writeValue(w, item);
        w.u8(0);
        break;
    case ValueTag::vaInt8: w.u8(static_cast<std::uint8_t>(v.integer)); break;
    case ValueTag::vaInt16: w.u16(static_cast<std::uint16_t>(v.integer)); break;
    case ValueTag::vaInt32: w.u32(static_cast<std::uint32_t>(v.integer)); break;
    case ValueTag::vaInt64:
    case ValueTag::vaCurrency: w.u64(static_cast<std::uint64_t>(v.integer)); break;
    case ValueTag::vaExtended: w.bytes(v.extended.bytes.data(), 10); break;
    case ValueTag::vaString:
    case ValueTag::vaIdent: w.shortString(v.text); break;
    case ValueTag::vaBinary:
    case ValueTag::vaLString:
        w.u32(static_cast<std::uint32_t>(v.text.size()));
        w.bytes(v.text);
        break;
    case ValueTag::vaSet:
        for (const auto& s : v.setItems)
            if (!s.empty()) w.shortString(s);
        w.u8(0);
        break;
    case ValueTag::vaCollection:
        for (const auto& item : v.items) {
            if (item.indexTag) {
                StreamValue idx;
                idx.tag = *item.indexTag;
                idx.integer = item.index;
                writeValue(w, idx);
            }
            w.u8(static_cast<std::uint8_t>(ValueTag::vaList));
            writePropertyList(w, item.properties);
        }
        w.u8(0);
        break;
    case ValueTag::vaSingle: {
        std::uint32_t b;
        std::memcpy(&b, &v.single, 4);
        w.u32(b);
        break;
    }
    case ValueTag::vaDate: {
        std::uint64_t b;
        std::memcpy(&b, &v.date, 8);
        w.u64(b);
        break;
    }
    case ValueTag::vaWString:
        w.u32(static_cast<std::uint32_t>(v.wide.size()));
        for (char16_t c : v.wide) w.u16(static_cast<std::uint16_t>(c));
        break;
    }
}

static void writePropertyList(ByteWriter& w, const std::vector<PropertyRecord>& props)
{
    for (const auto& p : props) {
        w.shortString(p.name);
        writeValue(w, p.value);
    }
    w.u8(0);
}

// ---------------------------------------------------------------- resource header

std::size_t resourceHeaderLength(std::span<const std::uint8_t> data)
{
    if (data.empty() || data[0] != 0xFF) return 0;
    // $FF, type word (10 = raw data), zero-terminated name, flags word, size dword.
    if (data.size() < 2 || data[1] != 10) throw EReadError(InvalidStreamFormat);
    const std::size_t limit = data.size() < 79 ? data.size() : 79;
    std::size_t nameLen = 0;
    while (3 + nameLen < limit && data[3 + nameLen] != 0) ++nameLen;
    if (3 + nameLen >= limit) throw EReadError(InvalidStreamFormat);
    const std::size_t offset = nameLen + 10;
    if (offset > data.size()) throw EReadError(StreamReadError);
    return offset;
}

std::vector<std::uint8_t> makeResourceHeader(const std::string& resourceName, std::uint32_t streamSize)
{
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.u8(0xFF);
    w.u16(10);
    std::string name = resourceName.substr(0, 63);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    w.bytes(name);
    w.u8(0);
    w.u16(0x1030);
    w.u32(streamSize);
    return out;
}

// ---------------------------------------------------------------- component records

static void readRecordHeader(ByteReader& r, ComponentNode& node)
{
    if ((r.peek() & 0xF0) == 0xF0) {
        node.flags = r.u8() & 0x0F;
        if (node.flags & kFilerChildPos) {
            StreamValue pos = readValue(r);
            if (!pos.isInteger()) throw EReadError(InvalidPropertyValue);
            node.childPosition = pos;
        }
    }
    node.className = r.shortString();
    node.name = r.shortString();
}

static void readRecordBody(ByteReader& r, ComponentNode& node, int depth)
{
    if (depth > kMaxNesting) throw EReadError(StreamReadError);
    while (r.peek() != 0) {
        PropertyRecord rec;
        rec.name = r.shortString();
        try {
            rec.value = readValue(r);
        } catch (const EFilerError& e) {
            throw EReadError(errorReadingMessage(node.name, node.className, rec.name, e.what()));
        }
        node.properties.push_back(std::move(rec));
    }
    r.u8();
    while (r.peek() != 0) {
        ComponentNode child;
        readRecordHeader(r, child);
        node.children.push_back(std::move(child));
        // Read in place so that a failure leaves the records read so far in the tree.
        readRecordBody(r, node.children.back(), depth + 1);
    }
    r.u8();
}

void readComponentStream(std::span<const std::uint8_t> data, ComponentNode& root)
{
    data = data.subspan(resourceHeaderLength(data));
    if (data.size() < 4 || std::memcmp(data.data(), "TPF0", 4) != 0) throw EReadError(InvalidStreamFormat);
    ByteReader r(data.subspan(4));
    readRecordHeader(r, root);
    readRecordBody(r, root, 0);
}

ComponentNode readComponentStream(std::span<const std::uint8_t> data)
{
    ComponentNode root;
    readComponentStream(data, root);
    return root;
}

static void writeRecord(ByteWriter& w, const ComponentNode& node)
{
    if (node.flags != 0) {
        w.u8(static_cast<std::uint8_t>(0xF0 | (node.flags & 0x0F)));
        if ((node.flags & kFilerChildPos) && node.childPosition) writeValue(w, *node.childPosition);
    }
    w.shortString(node.className);
    w.shortString(node.name);
    writePropertyList(w, node.properties);
    for (const auto& child : node.children) writeRecord(w, child);
    w.u8(0);
}

std::vector<std::uint8_t> writeComponentStream(const ComponentNode& root)
{
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.bytes("TPF0", 4);
    writeRecord(w, root);
    return out;
}

// ---------------------------------------------------------------- typed conversions

static EReadError invalidValue()
{
    return EReadError(InvalidPropertyValue);
}

std::int64_t valueAsInteger(const StreamValue& v, bool allowInt64)
{
    if (v.isInteger() || (allowInt64 && v.tag == ValueTag::vaInt64)) return v.integer;
    throw invalidValue();
}

long double valueAsFloat(const StreamValue& v)
{
    if (v.tag == ValueTag::vaExtended) return v.extended.toLongDouble();
    // 64-bit integers convert as well: they are integers, and refusing them would
    // reject streams whose writer widened a whole-number float.
    if (v.isInteger() || v.tag == ValueTag::vaInt64) return static_cast<long double>(v.integer);
    throw invalidValue();
}

std::string valueAsString(const StreamValue& v)
{
    if (v.tag == ValueTag::vaString || v.tag == ValueTag::vaLString) return v.text;
    throw invalidValue();
}

std::string valueAsEnumName(const StreamValue& v)
{
    switch (v.tag) {
    case ValueTag::vaIdent: return v.text;
    case ValueTag::vaFalse: return "False";
    case ValueTag::vaTrue: return "True";
    case ValueTag::vaNil: return "nil";
    case ValueTag::vaNull: return "Null";
    default: throw invalidValue();
    }
}

bool valueAsBool(const StreamValue& v)
{
    const std::string n = valueAsEnumName(v);
    if (equalsNoCase(n, "False")) return false;
    if (equalsNoCase(n, "True")) return true;
    throw invalidValue();
}

std::vector<std::string> valueAsSet(const StreamValue& v)
{
    if (v.tag != ValueTag::vaSet) throw invalidValue();
    return v.setItems;
}

std::string valueAsBinary(const StreamValue& v)
{
    if (v.tag != ValueTag::vaBinary) throw invalidValue();
    return v.text;
}

} // namespace velmora
