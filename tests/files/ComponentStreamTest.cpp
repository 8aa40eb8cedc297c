#include "files/ComponentStream.h"
#include "files/FilesTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace velmora;
using namespace velmora::test;

namespace {

std::string readError(const std::vector<std::uint8_t>& data)
{
    return outcomeOf<EFilerError>([&] { readComponentStream(data); });
}

} // namespace

TEST(ComponentValues, IntegersTakeTheSmallestTagAndReadBack)
{
    struct Case {
        std::int64_t v;
        ValueTag tag;
        std::size_t size;
    };
    for (auto c : {Case{127, ValueTag::vaInt8, 2}, Case{128, ValueTag::vaInt16, 3}, Case{-129, ValueTag::vaInt16, 3},
                   Case{40000, ValueTag::vaInt32, 5}, Case{-128, ValueTag::vaInt8, 2},
                   Case{-2147483648LL, ValueTag::vaInt32, 5}, Case{1LL << 40, ValueTag::vaInt64, 9}}) {
        auto b = bytesOf(StreamValue::ofInteger(c.v));
        ASSERT_EQ(b.size(), c.size) << c.v;
        EXPECT_EQ(b[0], static_cast<std::uint8_t>(c.tag)) << c.v;
        ByteReader r(b);
        StreamValue back = readValue(r);
        EXPECT_EQ(back.integer, c.v);
        EXPECT_EQ(r.remaining(), 0u);
    }
    EXPECT_EQ(bytesOf(StreamValue::ofInteger(40000)), (std::vector<std::uint8_t>{4, 0x40, 0x9C, 0, 0}));
}

TEST(ComponentValues, ExtendedFloatEncodingIsExact)
{
    EXPECT_EQ(bytesOf(StreamValue::ofExtended(1.0L)),
              (std::vector<std::uint8_t>{5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    // Values that single and double precision cannot hold survive unchanged.
    const long double values[] = {0.1L,
                                  -2.5L,
                                  1e-4000L,
                                  1e4000L,
                                  0.2f,
                                  3.0L / 7.0L,
                                  -0.0L,
                                  std::numeric_limits<long double>::denorm_min(),
                                  std::numeric_limits<long double>::max(),
                                  18446744073709551615.0L};
    for (long double v : values) {
        Extended80 e = Extended80::fromLongDouble(v);
        long double back = e.toLongDouble();
        EXPECT_EQ(back, v);
        EXPECT_EQ(std::signbit(back), std::signbit(v));
        EXPECT_EQ(Extended80::fromLongDouble(back), e);
    }
    EXPECT_TRUE(std::isinf(Extended80::fromLongDouble(HUGE_VALL).toLongDouble()));
    EXPECT_TRUE(std::isnan(Extended80::fromLongDouble(std::nanl("")).toLongDouble()));
    // The single-precision 0.2 of the default scene, as stored by other writers.
    Extended80 stored{{0x00, 0x00, 0x00, 0x00, 0x00, 0xCD, 0xCC, 0xCC, 0xFC, 0x3F}};
    EXPECT_EQ(static_cast<float>(stored.toLongDouble()), 0.2f);
    EXPECT_EQ(Extended80::fromLongDouble(0.2f), stored);
}

TEST(ComponentValues, StringsSetsAndSpecialIdentifiers)
{
    auto s255 = bytesOf(StreamValue::ofString(std::string(255, 'a')));
    EXPECT_EQ(s255[0], 6);
    EXPECT_EQ(s255.size(), 257u);
    auto s256 = bytesOf(StreamValue::ofString(std::string(256, 'a')));
    EXPECT_EQ(s256[0], 12);
    EXPECT_EQ(s256.size(), 261u);
    EXPECT_EQ((std::vector<std::uint8_t>(s256.begin() + 1, s256.begin() + 5)), (std::vector<std::uint8_t>{0, 1, 0, 0}));
    EXPECT_EQ(bytesOf(StreamValue::ofSet({})), (std::vector<std::uint8_t>{11, 0}));
    EXPECT_EQ(bytesOf(StreamValue::ofSet({"a", "bc"})), (std::vector<std::uint8_t>{11, 1, 'a', 2, 'b', 'c', 0}));
    EXPECT_EQ(bytesOf(StreamValue::ofEnum("false"))[0], 8);
    EXPECT_EQ(bytesOf(StreamValue::ofEnum("TRUE"))[0], 9);
    EXPECT_EQ(bytesOf(StreamValue::ofEnum("Nil"))[0], 13);
    EXPECT_EQ(bytesOf(StreamValue::ofEnum("null"))[0], 0);
    EXPECT_EQ(bytesOf(StreamValue::ofEnum("bmOpaque"))[0], 7);
}

TEST(ComponentValues, EveryTagRoundTripsAndSkipsExactly)
{
    StreamValue coll;
    coll.tag = ValueTag::vaCollection;
    CollectionItem withIndex;
    withIndex.indexTag = ValueTag::vaInt16;
    withIndex.index = 300;
    withIndex.properties.push_back({"Name", StreamValue::ofString("x")});
    coll.items.push_back(withIndex);
    coll.items.push_back(CollectionItem{});
    StreamValue list;
    list.tag = ValueTag::vaList;
    list.list = {StreamValue::ofInteger(1), StreamValue::ofIdent("id"), StreamValue::ofNil()};
    StreamValue single, cur, date, wide, i64;
    single.tag = ValueTag::vaSingle;
    single.single = 1.5f;
    cur.tag = ValueTag::vaCurrency;
    cur.integer = -12345678;
    date.tag = ValueTag::vaDate;
    date.date = 45000.25;
    wide.tag = ValueTag::vaWString;
    wide.wide = u"h\u00e9llo";
    i64.tag = ValueTag::vaInt64;
    i64.integer = 5;
    std::vector<StreamValue> all = {list,
                                    StreamValue::ofInteger(5),
                                    StreamValue::ofExtended(2.5L),
                                    StreamValue::ofString("s"),
                                    StreamValue::ofIdent("clWhite"),
                                    StreamValue::ofBool(false),
                                    StreamValue::ofBool(true),
                                    StreamValue::ofBinary(std::string("\0\1\2", 3)),
                                    StreamValue::ofSet({"a"}),
                                    StreamValue::ofString(std::string(300, 'z')),
                                    StreamValue::ofNil(),
                                    coll,
                                    single,
                                    cur,
                                    date,
                                    wide,
                                    i64,
                                    StreamValue::ofEnum("Null")};
    for (const auto& v : all) {
        auto b = bytesOf(v);
        b.push_back(0x77); // sentinel after the value
        ByteReader r(b);
        StreamValue back = readValue(r);
        EXPECT_TRUE(back == v) << "tag " << int(v.tag);
        EXPECT_EQ(r.u8(), 0x77);
        ByteReader s(b);
        skipValue(s);
        EXPECT_EQ(s.remaining(), 1u) << "tag " << int(v.tag);
    }
}

TEST(ComponentValues, DamagedValuesFailCleanly)
{
    // Unknown tag, truncated payloads, a length far beyond the data, hostile nesting.
    std::vector<std::vector<std::uint8_t>> bad = {{20},
                                                  {0xFF},
                                                  {4, 1, 2},
                                                  {5, 0, 0},
                                                  {6, 10, 'a'},
                                                  {10, 0xFF, 0xFF, 0xFF, 0x7F, 1},
                                                  {18, 0xFF, 0xFF, 0xFF, 0xFF},
                                                  {11, 1, 'a'},
                                                  {14, 2, 1},
                                                  {14, 6},
                                                  {}};
    std::vector<std::uint8_t> deep(100000, 1);
    bad.push_back(deep);
    for (const auto& b : bad) {
        ByteReader r(b);
        EXPECT_THROW(readValue(r), EReadError);
    }
    ByteReader r(bad[2]);
    try {
        readValue(r);
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(ComponentValues, KindChecksRejectTagsThatDoNotFit)
{
    EXPECT_EQ(valueAsInteger(StreamValue::ofInteger(-129)), -129);
    EXPECT_THROW(valueAsInteger(StreamValue::ofInteger(1LL << 40)), EReadError);
    EXPECT_EQ(valueAsInteger(StreamValue::ofInteger(1LL << 40), true), 1LL << 40);
    EXPECT_EQ(valueAsFloat(StreamValue::ofInteger(3)), 3.0L);
    EXPECT_THROW(valueAsFloat(StreamValue::ofString("1")), EReadError);
    EXPECT_THROW(valueAsString(StreamValue::ofIdent("x")), EReadError);
    EXPECT_EQ(valueAsEnumName(StreamValue::ofBool(true)), "True");
    EXPECT_TRUE(valueAsBool(StreamValue::ofIdent("True")));
    EXPECT_THROW(valueAsBool(StreamValue::ofIdent("Maybe")), EReadError);
    EXPECT_THROW(valueAsEnumName(StreamValue::ofInteger(1)), EReadError);
    EXPECT_THROW(valueAsSet(StreamValue::ofInteger(1)), EReadError);
    try {
        valueAsString(StreamValue::ofIdent("x"));
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Invalid property value");
    }
}

TEST(ComponentStreamTree, ReferenceStreamsReadAndWriteBackUnchanged)
{
    for (const char* name : {"default-scene.gls", "mutated-1.gls", "mutated-2.gls", "mutated-3.gls"}) {
        const auto data = readFileBytes(streams() / name);
        ASSERT_FALSE(data.empty()) << name;
        ComponentNode root = readComponentStream(data);
        EXPECT_EQ(root.className, "TGLScene");
        EXPECT_EQ(root.name, "GLScene1");
        EXPECT_EQ(writeComponentStream(root), data) << name;
    }
}

TEST(ComponentStreamTree, DefaultSceneHasTheExpectedShape)
{
    ComponentNode root = readComponentStream(readFileBytes(streams() / "default-scene.gls"));
    ASSERT_EQ(root.children.size(), 4u);
    EXPECT_EQ(root.children[0].name, "DummyCube2");
    EXPECT_EQ(root.children[3].name, "GLCamera2");
    const ComponentNode& left = root.children[0].children[0];
    EXPECT_EQ(left.name, "PLLeft");
    const StreamValue* pos = left.find("Position.Coordinates");
    ASSERT_NE(pos, nullptr);
    const std::string expected("\x00\x00\x00\x00\xCD\xCC\xCC\xBE\x00\x00\x00\x00\x00\x00\x80\x3F", 16);
    EXPECT_EQ(pos->text, expected);
    ASSERT_NE(root.find("Left"), nullptr);
    EXPECT_EQ(root.find("Left")->integer, 8);
    EXPECT_EQ(root.find("Top")->integer, 32);
}

TEST(ComponentStreamTree, SignatureResourceHeaderAndTruncation)
{
    const auto dir = streams() / "malformed";
    EXPECT_EQ(readError(readFileBytes(dir / "sig_wrong.gls")), "Invalid stream format");
    EXPECT_EQ(readError(readFileBytes(dir / "resheader_badsig.gls")), "Invalid stream format");
    EXPECT_EQ(readError(readFileBytes(dir / "trunc_at_end.gls")), "Stream read error");
    EXPECT_EQ(readError(readFileBytes(dir / "trunc_in_value.gls")),
              "Error reading PLLeft.Position.Coordinates: Stream read error");
    EXPECT_EQ(readError({'T', 'P', 'F'}), "Invalid stream format");
    EXPECT_EQ(readError({0xFF, 9, 0, 'A', 0, 0, 0, 0, 0, 0, 0}), "Invalid stream format");
    EXPECT_EQ(readError({0xFF}), "Invalid stream format");

    const auto withHeader = readFileBytes(dir / "resheader_ok.gls");
    const std::size_t skip = resourceHeaderLength(withHeader);
    EXPECT_EQ(skip, 18u);
    ComponentNode root = readComponentStream(withHeader);
    auto bare = writeComponentStream(root);
    EXPECT_TRUE(std::equal(bare.begin(), bare.end(), withHeader.begin() + 18, withHeader.end()));
    auto header = makeResourceHeader("GLScene1", static_cast<std::uint32_t>(bare.size()));
    EXPECT_TRUE(std::equal(header.begin(), header.end(), withHeader.begin()));
}

TEST(ComponentStreamTree, PartialTreeKeepsRecordsReadBeforeTheFailure)
{
    ComponentNode root;
    EXPECT_THROW(readComponentStream(readFileBytes(streams() / "malformed" / "trunc_in_value.gls"), root), EReadError);
    ASSERT_FALSE(root.children.empty());
    const ComponentNode* n = &root.children.back();
    while (!n->children.empty()) n = &n->children.back();
    EXPECT_EQ(n->name, "PLLeft");
}

TEST(ComponentStreamTree, PrefixFlagsAndChildPositionRoundTrip)
{
    ComponentNode root;
    root.className = "TRoot";
    root.name = "R";
    ComponentNode child;
    child.flags = kFilerInherited | kFilerChildPos;
    child.childPosition = StreamValue::ofInteger(3);
    child.className = "TChild";
    child.name = "C";
    child.properties.push_back({"Tag", StreamValue::ofInteger(1)});
    root.children.push_back(child);
    auto bytes = writeComponentStream(root);
    ComponentNode back = readComponentStream(bytes);
    ASSERT_EQ(back.children.size(), 1u);
    EXPECT_EQ(back.children[0].flags, kFilerInherited | kFilerChildPos);
    EXPECT_EQ(back.children[0].childPosition->integer, 3);
    EXPECT_EQ(writeComponentStream(back), bytes);

    auto inherited = readFileBytes(streams() / "malformed" / "prefix_inherited.gls");
    ComponentNode p = readComponentStream(inherited);
    EXPECT_EQ(p.children.at(0).flags, kFilerInherited);
    EXPECT_EQ(writeComponentStream(p), inherited);
}

TEST(ComponentStreamTree, ErrorMessagesNameTheObjectOrItsClass)
{
    EXPECT_EQ(errorReadingMessage("PLLeft", "TGLPlane", "Material.Foo.Bar", "Property does not exist"),
              "Error reading PLLeft.Material.Foo.Bar: Property does not exist");
    EXPECT_EQ(errorReadingMessage("", "TGLPlane", "Tag", "Invalid property value"),
              "Error reading TGLPlane.Tag: Invalid property value");
    ClassRegistry<int> reg;
    reg.add("TOne", [] { return std::make_unique<int>(1); });
    EXPECT_EQ(*reg.create("TOne"), 1);
    try {
        reg.create("TGLCube");
        FAIL();
    } catch (const EClassNotFound& e) {
        EXPECT_STREQ(e.what(), "Class TGLCube not found");
    }
}
