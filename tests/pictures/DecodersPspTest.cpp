// Paint Shop Pro files built block by block (no Debian tool writes them).
#include "PictureTestSupport.h"

#include <algorithm>

#include <zlib.h>

using namespace velmora;
using namespace velmora::test;

namespace {

void le16(Bytes& b, int v)
{
    b.push_back(std::uint8_t(v)), b.push_back(std::uint8_t(v >> 8));
}
void le32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}

Bytes block(int id, const Bytes& body)
{
    Bytes b = {'~', 'B', 'K', 0};
    le16(b, id);
    le32(b, std::uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes channel(const Bytes& unpacked, const Bytes& packed, int bitmapType, int channelType)
{
    Bytes b;
    le32(b, 16), le32(b, std::uint32_t(packed.size())), le32(b, std::uint32_t(unpacked.size()));
    le16(b, bitmapType), le16(b, channelType);
    b.insert(b.end(), packed.begin(), packed.end());
    return block(5, b);
}

// PSP run-length: counts above 128 repeat, others copy.
Bytes rle(const Bytes& in)
{
    Bytes out;
    for (std::size_t i = 0; i < in.size();) {
        std::size_t run = 1;
        while (i + run < in.size() && run < 127 && in[i + run] == in[i]) ++run;
        if (run > 1) {
            out.push_back(std::uint8_t(128 + run));
            out.push_back(in[i]);
        } else {
            out.push_back(1);
            out.push_back(in[i]);
        }
        i += run;
    }
    return out;
}

Bytes deflated(const Bytes& in)
{
    uLongf n = compressBound(uLong(in.size()));
    Bytes out(n);
    compress(out.data(), &n, in.data(), uLong(in.size()));
    out.resize(n);
    return out;
}

constexpr int W = 6, H = 4;

Bytes plane(int c)
{
    Bytes p;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) p.push_back(std::uint8_t(c == 0 ? x * 40 : c == 1 ? y * 60 : (x == y ? 200 : 9)));
        p.push_back(0), p.push_back(0); // rows padded to 8 bytes
    }
    return p;
}

Bytes header(int compression)
{
    Bytes f = {'P', 'a', 'i', 'n', 't', ' ', 'S', 'h', 'o', 'p',  ' ',  'P', 'r', 'o', ' ', 'I',
               'm', 'a', 'g', 'e', ' ', 'F', 'i', 'l', 'e', '\n', 0x1a, 0,   0,   0,   0,   0};
    le16(f, 6), le16(f, 0);
    Bytes attr;
    le32(attr, 46), le32(attr, W), le32(attr, H);
    attr.insert(attr.end(), 9, 0);
    le16(attr, compression), le16(attr, 24), le16(attr, 3), le32(attr, 0);
    attr.push_back(0);
    attr.resize(46, 0);
    Bytes b = block(0, attr);
    f.insert(f.end(), b.begin(), b.end());
    return f;
}

Bytes withComposite()
{
    Bytes f = header(1);
    Bytes attrs;
    le32(attrs, 24), le32(attrs, W), le32(attrs, H), le16(attrs, 24), le16(attrs, 1), le16(attrs, 3), le32(attrs, 0),
        le16(attrs, 0);
    Bytes image;
    le32(image, 8), le16(image, 1), le16(image, 3);
    for (int c = 0; c < 3; ++c) {
        Bytes ch = channel(plane(c), rle(plane(c)), 0, c + 1);
        image.insert(image.end(), ch.begin(), ch.end());
    }
    // A thumbnail first, which must be passed over.
    Bytes thumbAttrs = attrs;
    thumbAttrs[20] = 1;
    Bytes bank;
    le32(bank, 8), le32(bank, 2);
    for (const Bytes& part : {block(17, thumbAttrs), block(9, image), block(17, attrs), block(9, image)})
        bank.insert(bank.end(), part.begin(), part.end());
    Bytes b = block(16, bank);
    f.insert(f.end(), b.begin(), b.end());
    return f;
}

void expectPlanes(const TDecodedImage& img, int dx, int dy)
{
    for (int y = 0; y < H - dy; ++y)
        for (int x = 0; x < W - dx; ++x) {
            const std::uint8_t* p = img.row(y + dy) + (x + dx) * bytesPerPixel(img.Format);
            ASSERT_EQ(p[2], x * 40);
            ASSERT_EQ(p[1], y * 60);
            ASSERT_EQ(p[0], x == y ? 200 : 9);
        }
}

TEST(DecodersPsp, CompositeImageOfTheBankIsRead)
{
    const Bytes f = withComposite();
    TDecodedImage img;
    decodePsp(f.data(), f.size(), img);
    ASSERT_EQ(img.Width, W);
    ASSERT_EQ(img.Format, TPixelFormat::pf24bit);
    expectPlanes(img, 0, 0);
    expectSafeOnDamage(decodePsp, f);
    expectCutsNameTheFormat(decodePsp, f, "PSP");
}

TEST(DecodersPsp, FirstLayerIsPlacedWhenThereIsNoComposite)
{
    // A deflate-packed layer of the full size, with a transparency mask, at (1, 1).
    Bytes f = header(2);
    Bytes info;
    le32(info, 0), le16(info, 2), info.push_back('L'), info.push_back('1'), info.push_back(1);
    le32(info, 1), le32(info, 1), le32(info, W + 1), le32(info, H + 1);
    const std::uint32_t infoSize = std::uint32_t(info.size());
    for (int i = 0; i < 4; ++i) info[i] = std::uint8_t(infoSize >> (8 * i));
    Bytes layer = info;
    le32(layer, 8), le16(layer, 2), le16(layer, 4);
    for (int c = 0; c < 3; ++c) {
        Bytes ch = channel(plane(c), deflated(plane(c)), 0, c + 1);
        layer.insert(layer.end(), ch.begin(), ch.end());
    }
    Bytes mask(8 * H, 255);
    Bytes ch = channel(mask, deflated(mask), 1, 0);
    layer.insert(layer.end(), ch.begin(), ch.end());
    Bytes b = block(3, block(4, layer));
    f.insert(f.end(), b.begin(), b.end());

    TDecodedImage img;
    decodePsp(f.data(), f.size(), img);
    ASSERT_EQ(img.Format, TPixelFormat::pf32bit);
    expectPlanes(img, 1, 1);
    EXPECT_EQ(img.row(0)[3], 0);       // outside the layer: clear
    EXPECT_EQ(img.row(1)[4 + 3], 255); // inside: the mask
    expectSafeOnDamage(decodePsp, f);
    expectCutsNameTheFormat(decodePsp, f, "PSP");
}

TEST(DecodersPsp, DamagedChannelLengthsAskForNoHugeBuffers)
{
    // The first channel of the composite claims 3.75 GB unpacked (a whole
    // number of rows, so only the size bound can catch it).
    const Bytes good = withComposite();
    const Bytes tag = {'~', 'B', 'K', 0, 5, 0};
    const auto at = std::search(good.begin(), good.end(), tag.begin(), tag.end());
    ASSERT_NE(at, good.end());
    const std::size_t unpackedField = std::size_t(at - good.begin()) + 10 + 8;
    for (std::uint32_t claim : {0xF0000000u, std::uint32_t(H * 200)}) {
        Bytes f = good;
        for (int i = 0; i < 4; ++i) f[unpackedField + i] = std::uint8_t(claim >> (8 * i));
        TDecodedImage img;
        EXPECT_THROW(decodePsp(f.data(), f.size(), img), EPictureError) << claim;
    }
}

} // namespace
