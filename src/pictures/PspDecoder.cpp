// Paint Shop Pro images (file format 4 and later): the full composite of the
// composite image bank when the file has one, else the first raster layer
// placed on the canvas. Channels may be raw, run-length or deflate packed.
#include <zlib.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {
namespace {

using decoders::ByteReader;

enum : int {
    bImage = 0,
    bColour = 2,
    bLayerStart = 3,
    bLayer = 4,
    bChannel = 5,
    bCompositeImage = 9,
    bCompositeBank = 16,
    bCompositeAttributes = 17
};

struct Block {
    int id;
    std::size_t start; // first byte of the block's data
    std::size_t length;
};

// Reads the blocks laid one after another in [from, to) of the file.
std::vector<Block> readBlocks(const ByteReader& file, std::size_t from, std::size_t to, int major)
{
    std::vector<Block> out;
    ByteReader r = file.upTo(from, to);
    while (r.remaining() >= 10) {
        if (!decoders::startsWith(r.take(4), std::string_view("~BK\0", 4))) r.fail("a block header is damaged");
        const int id = r.le16();
        if (major <= 3) r.skip(4); // initial data length of the old layout
        const std::uint32_t len = r.le32();
        if (len > r.remaining()) r.truncated();
        out.push_back({id, r.pos(), len});
        r.skip(len);
        if (out.size() > 100000) r.fail("too many blocks");
    }
    return out;
}

struct Channel {
    std::vector<std::uint8_t> bytes; // unpacked, rowBytes * height
    std::size_t rowBytes = 0;
    int bitmapType = 0;
    int channelType = 0;
};

std::vector<std::uint8_t> unpack(std::span<const std::uint8_t> src, std::size_t outLen, int compression)
{
    std::vector<std::uint8_t> out(outLen);
    ByteReader r(src, "PSP");
    if (compression == 0) {
        if (src.size() < outLen) r.fail("a channel is short");
        const auto bytes = r.take(outLen);
        std::copy(bytes.begin(), bytes.end(), out.begin());
    } else if (compression == 1) {
        // A count above 128 repeats the next byte count - 128 times; otherwise
        // count bytes follow as they are.
        std::size_t i = 0;
        while (i < outLen) {
            const int c = r.u8();
            if (c > 128) {
                const std::size_t k = std::size_t(c - 128);
                if (k > outLen - i) r.fail("a run goes past the end of a channel");
                std::fill_n(out.begin() + std::ptrdiff_t(i), k, r.u8());
                i += k;
            } else {
                const std::size_t k = std::size_t(c);
                if (k > outLen - i) r.fail("a run goes past the end of a channel");
                const auto bytes = r.take(k);
                std::copy(bytes.begin(), bytes.end(), out.begin() + std::ptrdiff_t(i));
                i += k;
            }
        }
    } else if (compression == 2) {
        uLongf got = uLongf(outLen);
        if (uncompress(out.data(), &got, src.data(), uLong(src.size())) != Z_OK || got != outLen)
            r.fail("a channel does not inflate");
    } else {
        r.fail("unknown compression " + std::to_string(compression));
    }
    return out;
}

// Channel blocks following a bitmap information chunk, each unpacked.
std::vector<Channel> readChannels(const ByteReader& file, const std::vector<Block>& blocks, int compression, int height,
                                  std::size_t minRowBytes)
{
    std::vector<Channel> out;
    for (const Block& b : blocks) {
        if (b.id != bChannel) continue;
        ByteReader r = file.upTo(b.start, b.start + b.length);
        const std::uint32_t chunk = r.le32();
        const std::uint32_t packed = r.le32(), unpacked = r.le32();
        Channel c;
        c.bitmapType = r.le16();
        c.channelType = r.le16();
        if (chunk < 16) r.fail("a channel header is damaged");
        r.seek(b.start + chunk);
        // Scan lines may be padded; the unpacked length tells by how much.
        if (height <= 0 || unpacked % std::uint32_t(height) != 0 || unpacked / height < minRowBytes)
            r.fail("a channel does not match the picture size");
        c.rowBytes = unpacked / height;
        // Padding is a few bytes per line at most, and packing can only grow a
        // channel so far: a damaged length must not make a small file ask for
        // gigabytes.
        if (c.rowBytes > minRowBytes + 64) r.fail("a channel does not match the picture size");
        const std::uint64_t most = compression == 0 ? packed
            : compression == 1                      ? std::uint64_t(packed) * 128
                                                    : std::uint64_t(packed) * 1032 + 64;
        if (unpacked > most) r.fail("a channel is short");
        c.bytes = unpack(r.take(packed), unpacked, compression);
        out.push_back(std::move(c));
    }
    return out;
}

struct Attributes {
    int width = 0, height = 0, bits = 0, compression = 0;
    bool grey = false;
};

TDecodedImage assemble(const Attributes& a, const std::vector<Channel>& channels,
                       const std::vector<std::array<std::uint8_t, 4>>& palette)
{
    auto find = [&](int bitmapType, int channelType) -> const Channel* {
        for (const Channel& c : channels)
            if (c.bitmapType == bitmapType && c.channelType == channelType) return &c;
        return nullptr;
    };
    TDecodedImage img;
    if (a.bits == 24) {
        const Channel *red = find(0, 1), *green = find(0, 2), *blue = find(0, 3);
        if (!red || !green || !blue) throw EPictureError("PSP picture is not valid: colour channels are missing");
        const Channel* alpha = find(1, 0);
        img.allocate(a.width, a.height, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
        const int bpp = alpha ? 4 : 3;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                std::uint8_t* d = img.row(y) + std::size_t(x) * bpp;
                d[0] = blue->bytes[blue->rowBytes * y + x];
                d[1] = green->bytes[green->rowBytes * y + x];
                d[2] = red->bytes[red->rowBytes * y + x];
                if (alpha) d[3] = alpha->bytes[alpha->rowBytes * y + x];
            }
        return img;
    }
    const Channel* c = find(0, 0);
    if (!c) throw EPictureError("PSP picture is not valid: the image channel is missing");
    img.allocate(a.width, a.height, TPixelFormat::pf8bit);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const auto line = std::span<const std::uint8_t>(c->bytes).subspan(c->rowBytes * y, c->rowBytes);
            int v = 0;
            if (a.bits == 8)
                v = line[x];
            else if (a.bits == 4)
                v = (line[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            else
                v = (line[x / 8] >> (7 - x % 8)) & 1;
            img.row(y)[x] = std::uint8_t(v);
        }
    if (a.grey || palette.empty())
        decoders::setGreyPalette(img, 1 << a.bits);
    else
        img.Palette = palette;
    decoders::padPalette(img);
    return img;
}

std::size_t minRowBytes(int width, int bits)
{
    return (std::size_t(width) * (bits == 24 ? 8 : bits) + 7) / 8;
}

} // namespace

void decodePsp(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    const ByteReader r(data, size, "PSP");
    if (r.size() < 36 || !decoders::startsWith(r.bytes(), "Paint Shop Pro Image File\n\x1a"))
        r.fail("missing Paint Shop Pro signature");
    ByteReader head = r.upTo(0, r.size());
    head.seek(32);
    const int major = head.le16();
    head.skip(2);
    if (major < 4) r.fail("files of Paint Shop Pro 5 and earlier are not supported");

    const auto top = readBlocks(r, head.pos(), r.size(), major);
    Attributes image;
    std::vector<std::array<std::uint8_t, 4>> palette;
    const Block* layers = nullptr;
    const Block* bank = nullptr;
    for (const Block& b : top) {
        ByteReader br = r.upTo(b.start, b.start + b.length);
        if (b.id == bImage) {
            br.skip(4); // chunk size
            image.width = int(br.le32());
            image.height = int(br.le32());
            br.skip(9); // resolution and its unit
            image.compression = br.le16();
            image.bits = br.le16();
            br.skip(2 + 4); // planes, colours
            image.grey = br.u8() != 0;
        } else if (b.id == bColour) {
            br.skip(4);
            const std::uint32_t n = std::min<std::uint32_t>(br.le32(), 256);
            const auto p = br.take(std::size_t(n) * 4);
            palette.resize(n);
            for (std::uint32_t i = 0; i < n; ++i) palette[i] = {p[i * 4 + 2], p[i * 4 + 1], p[i * 4], 0};
        } else if (b.id == bLayerStart && !layers) {
            layers = &b;
        } else if (b.id == bCompositeBank && !bank) {
            bank = &b;
        }
    }
    if (image.width <= 0 || image.height <= 0) r.fail("the image attributes are missing or empty");
    decoders::checkSize(image.width, image.height);
    if (image.bits != 1 && image.bits != 4 && image.bits != 8 && image.bits != 24)
        r.fail(std::to_string(image.bits) + "-bit images are not supported");

    // The bank's full composite (type 0) at the canvas size.
    if (bank) {
        ByteReader br = r.upTo(bank->start, bank->start + bank->length);
        const std::uint32_t chunk = br.le32();
        if (chunk > bank->length) br.fail("the composite bank is damaged");
        const auto subs = readBlocks(r, bank->start + chunk, bank->start + bank->length, major);
        for (std::size_t i = 0; i + 1 < subs.size(); ++i) {
            if (subs[i].id != bCompositeAttributes || subs[i + 1].id != bCompositeImage) continue;
            ByteReader ar = r.upTo(subs[i].start + 4, subs[i].start + subs[i].length);
            Attributes a;
            a.width = int(ar.le32());
            a.height = int(ar.le32());
            a.bits = ar.le16();
            a.compression = ar.le16();
            ar.skip(2 + 4);
            const int type = ar.le16();
            a.grey = image.grey;
            if (type != 0 || a.width != image.width || a.height != image.height || a.bits != image.bits) continue;
            const Block& ci = subs[i + 1];
            ByteReader cr = r.upTo(ci.start, ci.start + ci.length);
            const std::uint32_t ciChunk = cr.le32();
            if (ciChunk > ci.length) cr.fail("a composite image is damaged");
            const auto channelBlocks = readBlocks(r, ci.start + ciChunk, ci.start + ci.length, major);
            const auto channels = readChannels(r, channelBlocks, a.compression, a.height, minRowBytes(a.width, a.bits));
            out = assemble(a, channels, palette);
            return;
        }
    }

    if (!layers) r.fail("the file holds neither a composite image nor layers");
    const auto layerBlocks = readBlocks(r, layers->start, layers->start + layers->length, major);
    for (const Block& lb : layerBlocks) {
        if (lb.id != bLayer) continue;
        ByteReader lr = r.upTo(lb.start, lb.start + lb.length);
        const std::uint32_t infoChunk = lr.le32();
        const std::size_t nameLen = lr.le16();
        lr.skip(nameLen + 1); // name and layer type
        const auto left = std::int32_t(lr.le32()), topEdge = std::int32_t(lr.le32());
        const auto right = std::int32_t(lr.le32()), bottom = std::int32_t(lr.le32());
        lr.seek(lb.start + infoChunk);
        const std::uint32_t bitmapChunk = lr.le32();
        lr.seek(lb.start + infoChunk + bitmapChunk);
        const std::int64_t lw = std::int64_t(right) - left, lh = std::int64_t(bottom) - topEdge;
        if (lw <= 0 || lh <= 0) continue; // an empty or vector layer
        decoders::checkSize(lw, lh);
        Attributes a = image;
        a.width = int(lw);
        a.height = int(lh);
        const auto channelBlocks = readBlocks(r, lr.pos(), lb.start + lb.length, major);
        const auto channels = readChannels(r, channelBlocks, a.compression, a.height, minRowBytes(a.width, a.bits));
        TDecodedImage layer = assemble(a, channels, palette);
        // Place the layer on a canvas of the image size; outside it stays clear.
        TDecodedImage canvas;
        canvas.allocate(image.width, image.height, layer.Format);
        canvas.Palette = layer.Palette;
        const int bpp = bytesPerPixel(layer.Format);
        for (int y = 0; y < a.height; ++y) {
            const std::int64_t cy = std::int64_t(topEdge) + y;
            if (cy < 0 || cy >= image.height) continue;
            for (int x = 0; x < a.width; ++x) {
                const std::int64_t cx = std::int64_t(left) + x;
                if (cx < 0 || cx >= image.width) continue;
                std::copy_n(layer.row(y) + std::size_t(x) * bpp, bpp, canvas.row(int(cy)) + std::size_t(cx) * bpp);
            }
        }
        out = std::move(canvas);
        return;
    }
    r.fail("the file holds no raster layer");
}

} // namespace velmora
