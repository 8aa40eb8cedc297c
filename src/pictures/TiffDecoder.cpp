// TIFF through libtiff, read from memory with client procedures. The RGBA
// image reader handles every photometric interpretation libtiff supports.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {
namespace {

struct TiffSource {
    decoders::MemorySource in;
    std::string message;
};

tmsize_t tiffRead(thandle_t h, void* buf, tmsize_t n)
{
    if (n < 0) return -1;
    return tmsize_t(static_cast<TiffSource*>(h)->in.read(buf, std::size_t(n)));
}

tmsize_t tiffWrite(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t tiffSeek(thandle_t h, toff_t off, int whence)
{
    return static_cast<TiffSource*>(h)->in.seek(off, whence);
}

int tiffClose(thandle_t)
{
    return 0;
}
toff_t tiffSize(thandle_t h)
{
    return static_cast<TiffSource*>(h)->in.size();
}
// The data is already in memory; handing it out as a mapped file lets libtiff
// take the same paths as for a file on disk (it never writes through it).
int tiffMap(thandle_t h, void** base, toff_t* size)
{
    const auto bytes = static_cast<TiffSource*>(h)->in.bytes();
    *base = const_cast<std::uint8_t*>(bytes.data());
    *size = bytes.size();
    return 1;
}
void tiffUnmap(thandle_t, void*, toff_t) {}

int tiffError(TIFF*, void* user, const char*, const char* fmt, va_list ap)
{
    auto* s = static_cast<TiffSource*>(user);
    if (s->message.empty()) {
        char buf[256];
        std::vsnprintf(buf, sizeof buf, fmt, ap);
        s->message = buf;
    }
    return 1;
}

int tiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

struct TiffHandle {
    TIFF* tif = nullptr;
    ~TiffHandle()
    {
        if (tif) TIFFClose(tif);
    }
};

struct TiffOptions {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    ~TiffOptions() { TIFFOpenOptionsFree(opts); }
};

} // namespace

void decodeTiff(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    TiffSource src{decoders::MemorySource({data, data ? size : 0}), {}};
    if (src.in.size() < 8) throw EPictureError("TIFF picture is not valid: the file is too short");
    TiffOptions options;
    TIFFOpenOptionsSetErrorHandlerExtR(options.opts, tiffError, &src);
    TIFFOpenOptionsSetWarningHandlerExtR(options.opts, tiffWarning, &src);
    // Keeps libtiff's own strip and tile buffers within what a picture may take.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.opts, tmsize_t(MaxPicturePixels) * 4);
    auto fail = [&](const char* what) {
        throw EPictureError(std::string("TIFF picture is not valid: ") + (src.message.empty() ? what : src.message));
    };
    TiffHandle h;
    h.tif = TIFFClientOpenExt("memory", "r", &src, tiffRead, tiffWrite, tiffSeek, tiffClose, tiffSize, tiffMap,
                              tiffUnmap, options.opts);
    if (!h.tif) fail("unreadable header");
    std::uint32_t w = 0, hgt = 0;
    TIFFGetField(h.tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(h.tif, TIFFTAG_IMAGELENGTH, &hgt);
    if (w == 0 || hgt == 0) fail("zero picture size");
    reserveRaster(w, hgt);
    char emsg[1024] = "";
    if (!TIFFRGBAImageOK(h.tif, emsg)) fail(emsg);

    std::uint16_t extra = 0;
    std::uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(h.tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    const bool alpha =
        extra > 0 && extraTypes && (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA);
    // The RGBA reader premultiplies straight alpha, which loses the colour of
    // faint pixels. Declaring the alpha associated makes it pass the stored
    // values through unchanged, which is what a picture keeps.
    const bool premultiplied = alpha && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    if (alpha && !premultiplied) {
        std::vector<std::uint16_t> types(extraTypes, extraTypes + extra);
        types[0] = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(h.tif, TIFFTAG_EXTRASAMPLES, extra, types.data());
    }

    // Plausibility from the file's size and the best ratio of its compression:
    // LZW reaches about 1400:1, deflate 1032:1, PackBits 64:1 of the samples.
    // Fax codings can spend a single bit on a blank row, but real pages do not
    // come near that: a blank 600-dpi page is about 35,000 pixels a byte of
    // file, so 65,536 pixels a byte is allowed and a 190-byte file cannot
    // declare 25 million pixels.
    std::uint16_t compression = COMPRESSION_NONE, bps = 1, spp = 1, photometric = 0;
    TIFFGetFieldDefaulted(h.tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(h.tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(h.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(h.tif, TIFFTAG_PHOTOMETRIC, &photometric);
    const double bitsPerPixel = std::max(1.0, double(bps) * spp);
    double perByte;
    std::uint64_t slack = 4096;
    switch (compression) {
    case COMPRESSION_NONE: perByte = 8 / bitsPerPixel; break;
    case COMPRESSION_PACKBITS: perByte = 64 * 8 / bitsPerPixel; break;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4: perByte = std::min(8.0 * w, 65536.0); break;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG: perByte = 512; break;
    default: perByte = 1400 * 8 / bitsPerPixel; break;
    }
    reserveRaster(w, hgt, size, perByte,
                  "TIFF picture is not valid: its data is too short for " + std::to_string(w) + " x " +
                      std::to_string(hgt) + " pixels",
                  slack);

    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, h.tif, 0, emsg)) fail(emsg);
    struct ImageEnd {
        TIFFRGBAImage* img;
        ~ImageEnd() { TIFFRGBAImageEnd(img); }
    } imageEnd{&img};
    img.req_orientation = ORIENTATION_TOPLEFT;

    // One channel of grey comes out as 8-bit indexes with a grey palette: a
    // fax page then takes one byte a pixel instead of three.
    const bool grey =
        !alpha && spp == 1 && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    TDecodedImage out8;
    out8.allocate(int(w), int(hgt),
                  alpha      ? TPixelFormat::pf32bit
                      : grey ? TPixelFormat::pf8bit
                             : TPixelFormat::pf24bit);
    if (grey) decoders::setGreyPalette(out8);
    // Decoded in bands of rows, so no picture-sized RGBA copy is ever made.
    const std::uint32_t band = std::max<std::uint32_t>(1, std::uint32_t((std::size_t(4) << 20) / (std::size_t(w) * 4)));
    std::vector<std::uint32_t> buf(std::size_t(w) * std::min(band, hgt));
    for (std::uint32_t y0 = 0; y0 < hgt; y0 += band) {
        const std::uint32_t rows = std::min(band, hgt - y0);
        img.row_offset = int(y0);
        img.col_offset = 0;
        std::fill(buf.begin(), buf.end(), 0);
        if (!TIFFRGBAImageGet(&img, buf.data(), w, rows)) fail("unreadable pixel data");
        for (std::uint32_t yy = 0; yy < rows; ++yy) {
            std::uint8_t* d = out8.row(int(y0 + yy));
            const std::uint32_t* srcRow = buf.data() + std::size_t(yy) * w;
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::uint32_t p = srcRow[x];
                std::uint32_t r = TIFFGetR(p), g = TIFFGetG(p), b = TIFFGetB(p), a = TIFFGetA(p);
                if (alpha) {
                    if (premultiplied && a != 0 && a != 255) {
                        r = std::min<std::uint32_t>(255, (r * 255 + a / 2) / a);
                        g = std::min<std::uint32_t>(255, (g * 255 + a / 2) / a);
                        b = std::min<std::uint32_t>(255, (b * 255 + a / 2) / a);
                    }
                    d[0] = std::uint8_t(b), d[1] = std::uint8_t(g), d[2] = std::uint8_t(r), d[3] = std::uint8_t(a);
                    d += 4;
                } else if (grey) {
                    *d++ = std::uint8_t(g);
                } else {
                    d[0] = std::uint8_t(b), d[1] = std::uint8_t(g), d[2] = std::uint8_t(r);
                    d += 3;
                }
            }
        }
    }
    out = std::move(out8);
}

void decodeEps(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    // Binary EPS: C5 D0 D3 C6, then offsets and lengths of the PostScript,
    // the metafile preview and the TIFF preview.
    const decoders::ByteReader r(data, size, "EPS");
    if (r.size() < 30 || !decoders::startsWith(r.bytes(), "\xC5\xD0\xD3\xC6"))
        throw EPictureError("EPS pictures without a TIFF preview cannot be read");
    const std::uint32_t off = r.le32At(20);
    const std::uint32_t len = r.le32At(24);
    if (off == 0 || len == 0) throw EPictureError("EPS pictures without a TIFF preview cannot be read");
    if (off > size || len > size - off)
        throw EPictureError("EPS picture is not valid: the TIFF preview lies outside the file");
    decodeTiff(r.at(off, len).data(), len, out);
}

} // namespace velmora
