// Photoshop documents: only the merged image at the end of the file is read;
// layers are skipped.
#include <algorithm>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {
namespace {

enum PsdMode { mBitmap = 0, mGrey = 1, mIndexed = 2, mRgb = 3, mCmyk = 4, mMultichannel = 7, mDuotone = 8 };

// PackBits into exactly `n` bytes; a run past the end of the row is an error.
void unpackBits(decoders::ByteReader& r, std::size_t packed, std::uint8_t* dst, std::size_t n)
{
    const std::size_t end = r.pos() + packed;
    r.need(packed);
    std::size_t i = 0;
    while (i < n) {
        if (r.pos() >= end) r.fail("a compressed row is short");
        const auto c = std::int8_t(r.u8());
        if (c >= 0) {
            const std::size_t k = std::size_t(c) + 1;
            if (k > n - i || r.pos() + k > end) r.fail("a run goes past the end of a row");
            const auto bytes = r.take(k);
            std::copy(bytes.begin(), bytes.end(), dst + i);
            i += k;
        } else if (c != -128) {
            const std::size_t k = std::size_t(1 - c);
            if (k > n - i || r.pos() >= end) r.fail("a run goes past the end of a row");
            std::fill_n(dst + i, k, r.u8());
            i += k;
        }
    }
    r.seek(end);
}

} // namespace

void decodePsd(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    using decoders::ByteReader;
    ByteReader r(data, size, "PSD");
    r.need(26);
    if (!decoders::startsWith(r.bytes(), "8BPS")) r.fail("missing 8BPS signature");
    r.skip(4);
    if (r.be16() != 1) r.fail("only version 1 documents are supported");
    r.skip(6);
    const int channels = r.be16();
    const std::uint32_t h = r.be32(), w = r.be32();
    const int depth = r.be16();
    const int mode = r.be16();
    if (channels < 1 || channels > 56) r.fail("bad channel count");
    if (w == 0 || h == 0) r.fail("zero picture size");
    decoders::checkSize(w, h);
    if (mode == mBitmap ? depth != 1 : (depth != 8 && depth != 16))
        r.fail(std::to_string(depth) + "-bit samples are not supported");
    if (mode != mBitmap && mode != mGrey && mode != mIndexed && mode != mRgb && mode != mCmyk &&
        mode != mMultichannel && mode != mDuotone)
        r.fail("colour mode " + std::to_string(mode) + " is not supported");

    const std::uint32_t colourLen = r.be32();
    const auto colourData = r.take(colourLen);
    r.skip(r.be32()); // image resources
    r.skip(r.be32()); // layers and masks

    const int compression = r.be16();
    if (compression > 1) r.fail("compression " + std::to_string(compression) + " is not supported");

    // Channels the result uses: colour channels plus one alpha channel.
    const int colourChannels = mode == mRgb ? 3 : mode == mCmyk ? 4 : 1;
    if (channels < colourChannels) r.fail("too few channels for the colour mode");
    const bool alpha = (mode == mRgb || mode == mGrey || mode == mCmyk) && channels > colourChannels;
    const int used = colourChannels + (alpha ? 1 : 0);

    const std::size_t rowBytes = depth == 1 ? (w + 7) / 8 : std::size_t(w) * (depth / 8);
    const std::size_t rows = std::size_t(h) * channels;
    std::vector<std::uint32_t> counts;
    if (compression == 1) {
        r.need(rows * 2);
        counts.resize(rows);
        for (auto& c : counts) c = r.be16();
    } else if (rowBytes * h * used > r.remaining()) {
        r.truncated();
    }
    // The smallest row PackBits can produce is 2 bytes per 128.
    if (compression == 1 && (rowBytes / 128) * h * used > r.remaining()) r.truncated();

    std::vector<std::uint8_t> planes(std::size_t(w) * h * used);
    std::vector<std::uint8_t> line(rowBytes);
    for (int c = 0; c < used; ++c) {
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::size_t k = std::size_t(c) * h + y;
            if (compression == 1)
                unpackBits(r, counts[k], line.data(), rowBytes);
            else {
                const auto bytes = r.take(rowBytes);
                std::copy(bytes.begin(), bytes.end(), line.begin());
            }
            std::uint8_t* dst = &planes[k * w];
            for (std::uint32_t x = 0; x < w; ++x) {
                if (depth == 1)
                    dst[x] = (line[x >> 3] >> (7 - (x & 7))) & 1;
                else if (depth == 8)
                    dst[x] = line[x];
                else
                    dst[x] = decoders::scaleSample(std::uint32_t(line[x * 2] << 8 | line[x * 2 + 1]), 65535);
            }
        }
    }

    const std::size_t n = std::size_t(w) * h;
    TDecodedImage img;
    if (mode == mBitmap || mode == mIndexed ||
        ((mode == mGrey || mode == mDuotone || mode == mMultichannel) && !alpha)) {
        img.allocate(int(w), int(h), TPixelFormat::pf8bit);
        std::copy_n(planes.begin(), n, img.Pixels.begin());
        if (mode == mBitmap) {
            img.Palette = {{255, 255, 255, 0}, {0, 0, 0, 0}};
        } else if (mode == mIndexed) {
            if (colourLen < 768) r.fail("the colour table is missing");
            img.Palette.resize(256);
            for (int i = 0; i < 256; ++i) img.Palette[i] = {colourData[512 + i], colourData[256 + i], colourData[i], 0};
        } else {
            decoders::setGreyPalette(img);
        }
        out = std::move(img);
        return;
    }
    img.allocate(int(w), int(h), alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    const int bpp = alpha ? 4 : 3;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* d = &img.Pixels[i * bpp];
        if (mode == mRgb) {
            d[0] = planes[2 * n + i], d[1] = planes[n + i], d[2] = planes[i];
        } else if (mode == mCmyk) {
            // Stored inverted: 255 is no ink.
            const unsigned k = planes[3 * n + i];
            d[0] = std::uint8_t(planes[2 * n + i] * k / 255);
            d[1] = std::uint8_t(planes[n + i] * k / 255);
            d[2] = std::uint8_t(planes[i] * k / 255);
        } else {
            d[0] = d[1] = d[2] = planes[i];
        }
        if (alpha) {
            // The merged image of a transparent document is blended over
            // white; take the white back out so the colour is the layer's own.
            const int a = planes[std::size_t(colourChannels) * n + i];
            d[3] = std::uint8_t(a);
            for (int c = 0; c < 3; ++c) {
                if (a == 0)
                    d[c] = 0;
                else if (a < 255)
                    d[c] = std::uint8_t(std::clamp((int(d[c]) - 255 + a) * 255 / a, 0, 255));
            }
        }
    }
    out = std::move(img);
}

} // namespace velmora
