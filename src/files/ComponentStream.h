#pragma once
// Binary component stream: a signature followed by a tree of named objects with
// tagged property values. This header holds the byte-level encoding, a generic
// in-memory tree that reads and writes streams unchanged, and the conversions the
// typed scene mapping uses to check value kinds.

#include "pictures/ByteReader.h"
#include "pictures/Errors.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// Every stream failure; the message is the text shown to the user.
class EFilerError : public EDataError {
public:
    using EDataError::EDataError;
};
class EReadError : public EFilerError {
public:
    using EFilerError::EFilerError;
};
class EClassNotFound : public EFilerError {
public:
    using EFilerError::EFilerError;
};

namespace filer_messages {
inline constexpr const char* InvalidStreamFormat = "Invalid stream format";
inline constexpr const char* StreamReadError = "Stream read error";
inline constexpr const char* PropertyDoesNotExist = "Property does not exist";
inline constexpr const char* InvalidPropertyPath = "Invalid property path";
inline constexpr const char* InvalidPropertyValue = "Invalid property value";
inline constexpr const char* PropertyIsReadOnly = "Property is read-only";
} // namespace filer_messages

std::string classNotFoundMessage(const std::string& className);
// "Error reading <object>.<path>: <message>"; the class name stands in for an
// unnamed object.
std::string errorReadingMessage(const std::string& objectName, const std::string& className, const std::string& path,
                                const std::string& message);

enum class ValueTag : std::uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
};

// 80-bit extended float as stored: 64-bit mantissa with explicit integer bit,
// then 15-bit biased exponent and the sign bit.
struct Extended80 {
    std::array<std::uint8_t, 10> bytes{};

    static Extended80 fromLongDouble(long double v);
    long double toLongDouble() const;
    bool operator==(const Extended80&) const = default;
};

struct StreamValue;
struct PropertyRecord;

struct CollectionItem {
    // The optional leading integer is kept with its tag so the item writes back unchanged.
    std::optional<ValueTag> indexTag;
    std::int64_t index = 0;
    std::vector<PropertyRecord> properties;
};

struct StreamValue {
    ValueTag tag = ValueTag::vaNull;
    std::int64_t integer = 0; // int tags, currency
    Extended80 extended;      // vaExtended
    float single = 0.0f;      // vaSingle
    double date = 0.0;        // vaDate
    std::string text;         // short/long string, identifier, binary bytes
    std::u16string wide;      // vaWString
    std::vector<std::string> setItems;
    std::vector<StreamValue> list;
    std::vector<CollectionItem> items;

    // Builders that follow the writer's encoding rules.
    static StreamValue ofInteger(std::int64_t v); // smallest of tags 2..4, else 19
    static StreamValue ofExtended(long double v);
    static StreamValue ofString(std::string s); // tag 6 up to 255 bytes, else 12
    static StreamValue ofIdent(std::string s);
    static StreamValue ofEnum(const std::string& name); // False/True/nil/Null get their own tags
    static StreamValue ofBool(bool v);
    static StreamValue ofSet(std::vector<std::string> names);
    static StreamValue ofBinary(std::string bytes);
    static StreamValue ofNil();

    bool isInteger() const; // tags 2..4
    bool operator==(const StreamValue&) const;
};

struct PropertyRecord {
    std::string name;
    StreamValue value;
};

// A component record of the stream as it stands, without any class knowledge.
struct ComponentNode {
    std::uint8_t flags = 0;                   // prefix flags; 0 means no prefix
    std::optional<StreamValue> childPosition; // present when flag bit 1 is set
    std::string className;
    std::string name;
    std::vector<PropertyRecord> properties;
    std::vector<ComponentNode> children;

    const StreamValue* find(const std::string& propertyName) const;
};

inline constexpr std::uint8_t kFilerInherited = 1;
inline constexpr std::uint8_t kFilerChildPos = 2;
inline constexpr std::uint8_t kFilerInline = 4;

// Bounds-checked little-endian reader; running past the end raises "Stream read error".
// The checked reader of the picture decoders with the stream's conventions:
// little-endian values, "Stream read error" past the end.
class ByteReader : public TByteReader<EReadError> {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : TByteReader(data, "Stream read error") {}
    std::uint16_t u16() { return le16(); }
    std::uint32_t u32() { return le32(); }
    std::uint64_t u64() { return le64(); }
    std::string bytes(std::size_t n)
    {
        const auto s = take(n);
        return std::string(reinterpret_cast<const char*>(s.data()), s.size());
    }
    std::string shortString() { return bytes(u8()); }
    std::size_t position() const { return pos(); }
};

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void bytes(const void* p, std::size_t n);
    void bytes(const std::string& s) { bytes(s.data(), s.size()); }
    void shortString(const std::string& s); // cut to 255 bytes

private:
    std::vector<std::uint8_t>& out_;
};

StreamValue readValue(ByteReader& r);
void skipValue(ByteReader& r);
void writeValue(ByteWriter& w, const StreamValue& v);

// Length of a 16-bit resource header at the start of data (0 when there is none).
// Raises "Invalid stream format" for a header of another resource type.
std::size_t resourceHeaderLength(std::span<const std::uint8_t> data);
// Builds a resource header of type 10 for a stream of the given size.
std::vector<std::uint8_t> makeResourceHeader(const std::string& resourceName, std::uint32_t streamSize);

// Reads a whole stream (after any resource header) into root. On failure the
// exception propagates and root keeps every record read up to the failure, so a
// typed mapping can report earlier faults first.
void readComponentStream(std::span<const std::uint8_t> data, ComponentNode& root);
ComponentNode readComponentStream(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> writeComponentStream(const ComponentNode& root);

// Maps class names to constructors for the objects of a stream.
template <class Base> class ClassRegistry {
public:
    using Factory = std::function<std::unique_ptr<Base>()>;
    void add(const std::string& className, Factory f) { factories_[className] = std::move(f); }
    bool contains(const std::string& className) const { return factories_.count(className) != 0; }
    std::unique_ptr<Base> create(const std::string& className) const
    {
        auto it = factories_.find(className);
        if (it == factories_.end()) throw EClassNotFound(classNotFoundMessage(className));
        return it->second();
    }

private:
    std::map<std::string, Factory> factories_;
};

// Conversions used when a value is read for a property of a known kind. Each
// raises "Invalid property value" when the tag does not fit the kind.
std::int64_t valueAsInteger(const StreamValue& v, bool allowInt64 = false);
long double valueAsFloat(const StreamValue& v);
std::string valueAsString(const StreamValue& v);
std::string valueAsEnumName(const StreamValue& v);
bool valueAsBool(const StreamValue& v);
std::vector<std::string> valueAsSet(const StreamValue& v);
std::string valueAsBinary(const StreamValue& v);

} // namespace velmora
