// The raster reservation check and the decoder faults it and the checked
// reader close: data that cannot hold its picture, counters that run away.
#include <gtest/gtest.h>

#include "PictureTestSupport.h"
#include "pictures/ByteReader.h"
#include "pictures/CoreCodecs.h"
#include "pictures/DecoderSupport.h"

#include <algorithm>
#include <cstring>

using namespace velmora;
using namespace velmora::test;

namespace {

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k) b[at + k] = std::uint8_t(v >> (8 * k));
}

// A w x h RLE8 bitmap with two palette entries and the given run data.
Bytes rle8Bitmap(int w, int h, const Bytes& runs)
{
    // One allocation with the runs copied in: growing by insert() draws a false
    // -Wstringop-overread from GCC 12.
    Bytes b(14 + 40 + 8 + runs.size(), 0);
    std::copy(runs.begin(), runs.end(), b.begin() + 14 + 40 + 8);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, std::uint32_t(b.size()));
    put32(b, 10, 14 + 40 + 8);
    put32(b, 14, 40);
    put32(b, 18, std::uint32_t(w));
    put32(b, 22, std::uint32_t(h));
    b[26] = 1, b[28] = 8;
    put32(b, 30, 1); // RLE8
    put32(b, 46, 2);
    b[14 + 40 + 4] = b[14 + 40 + 5] = b[14 + 40 + 6] = 255;
    return b;
}

} // namespace

TEST(RasterReservation, LimitsThenPlausibilityWithTheReadersOwnMessage)
{
    EXPECT_EQ(messageOf([] { reserveRaster(65537, 1); }), "Picture too large (65537 x 1)");
    EXPECT_EQ(messageOf([] { reserveRaster(16385, 16384); }), "Picture too large (16385 x 16384)");
    EXPECT_EQ(messageOf([] { reserveRaster(-1, 5); }), "Picture too large (-1 x 5)");
    EXPECT_EQ(messageOf([] { reserveRaster(16384, 16384); }), "(no error)");
    // 100 bytes at 2 pixels a byte reach 200 pixels, plus the slack.
    EXPECT_EQ(messageOf([] { reserveRaster(10, 20, 100, 2, "short"); }), "(no error)");
    EXPECT_EQ(messageOf([] { reserveRaster(10, 21, 100, 2, "short"); }), "short");
    EXPECT_EQ(messageOf([] { reserveRaster(10, 21, 100, 2, "short", 10); }), "(no error)");
    // Damage is reported before size: a few bytes claiming a huge picture are
    // a damaged file, not a large one.
    EXPECT_EQ(messageOf([] { reserveRaster(70000, 70000, 10, 1, "short"); }), "short");
    // Ratios that would overflow a 64-bit product are still compared correctly.
    EXPECT_EQ(messageOf([] { reserveRaster(65536, 4096, ~0ull, 1e30, "short"); }), "(no error)");
}

TEST(CheckedByteReader, ReadsBothByteOrdersAndRefusesEveryOverrun)
{
    const Bytes b = {1, 2, 3, 4, 5, 6, 7, 8};
    TByteReader<EPictureError> r(b, "ends early");
    EXPECT_EQ(r.le16(), 0x0201);
    EXPECT_EQ(r.be16(), 0x0304);
    EXPECT_EQ(r.le32At(4), 0x08070605u);
    EXPECT_EQ(r.be32At(0), 0x01020304u);
    EXPECT_EQ(r.pos(), 4u);
    EXPECT_EQ(messageOf([&] { r.be32At(5); }), "ends early");
    EXPECT_EQ(messageOf([&] { r.at(~0ull - 1, 4); }), "ends early");
    EXPECT_EQ(messageOf([&] { r.skip(5); }), "ends early");
    EXPECT_EQ(r.pos(), 4u); // a failed read moves nothing
    EXPECT_EQ(messageOf([&] { r.seek(9); }), "ends early");
    auto sub = r.sub(6, 2);
    EXPECT_EQ(sub.le16(), 0x0807);
    EXPECT_TRUE(sub.atEnd());
    EXPECT_EQ(messageOf([&] { sub.u8(); }), "ends early");
    EXPECT_THROW(r.take(5), EPictureError);
    EXPECT_EQ(r.take(4).size(), 4u);
    EXPECT_TRUE(r.atEnd());
    // The same reader over nothing.
    TByteReader<EPictureError> empty({}, "nothing");
    EXPECT_EQ(messageOf([&] { empty.peek(); }), "nothing");
}

TEST(BitmapRle, RunsWithoutEndOfLineNeverCarryTheColumnOutOfTheRow)
{
    // 16.8 MB of 255-pixel runs into a one-pixel picture: the column counter
    // of a naive decoder passes 2^31 and turns negative, writing before the
    // row. Here it stops at the row's end and the one pixel keeps the first run.
    Bytes runs;
    runs.reserve(2 * 8500000 + 4);
    runs.push_back(255);
    runs.push_back(1);
    for (int i = 0; i < 8500000; ++i) {
        runs.push_back(255);
        runs.push_back(0);
    }
    runs.insert(runs.end(), {0, 1});
    TDecodedImage img;
    decodeBmp(rle8Bitmap(1, 1, runs).data(), rle8Bitmap(1, 1, runs).size(), img);
    ASSERT_EQ(img.Width, 1);
    EXPECT_EQ(img.Pixels[0], 1);

    // Deltas that push the column far past the row, then a run, on a 4 x 2
    // picture: nothing is written, the second row still gets its run.
    Bytes deltas;
    for (int i = 0; i < 20; ++i) deltas.insert(deltas.end(), {0, 2, 255, 0});
    deltas.insert(deltas.end(), {4, 1, 0, 0, 4, 1, 0, 1});
    TDecodedImage two;
    const Bytes file = rle8Bitmap(4, 2, deltas);
    decodeBmp(file.data(), file.size(), two);
    EXPECT_EQ(two.row(1)[0], 0);                             // bottom row: the run came after the column left the row
    for (int x = 0; x < 4; ++x) EXPECT_EQ(two.row(0)[x], 1); // top row, after the end of line
}

TEST(BitmapRle, ADeclaredSizeItsRunsCannotReachIsRefusedBeforeAllocating)
{
    const Bytes file = rle8Bitmap(16384, 16384, {0, 1});
    TDecodedImage img;
    EXPECT_EQ(messageOf([&] { decodeBmp(file.data(), file.size(), img); }), "Bitmap image is not valid");
    EXPECT_TRUE(img.Pixels.empty());
    // A small picture left blank by an early end of bitmap is fine.
    const Bytes small = rle8Bitmap(12, 10, {0, 1});
    EXPECT_EQ(messageOf([&] { decodeBmp(small.data(), small.size(), img); }), "(no error)");
    EXPECT_EQ(img.Width, 12);
}
