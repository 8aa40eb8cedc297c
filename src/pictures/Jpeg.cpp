#include "pictures/CoreCodecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace velmora {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return.
// We jump back to the function that called libjpeg, which has no C++ objects
// with destructors between the setjmp and the jump, release the decoder there
// and only then throw.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void silentMessage(j_common_ptr, int) {}

[[noreturn]] void throwJpegError(int code)
{
    throw EPictureError("JPEG error #" + std::to_string(code));
}

struct HeaderResult {
    int code = 0; // libjpeg message number, 0 on success
    TJpegHeader header;
};

HeaderResult readHeader(const std::uint8_t* data, std::size_t size)
{
    HeaderResult r;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = silentMessage;
    if (setjmp(err.jump)) {
        r.code = err.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return r;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    r.header.Width = int(cinfo.image_width);
    r.header.Height = int(cinfo.image_height);
    r.header.Grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    r.header.Progressive = jpeg_has_multiple_scans(&cinfo) != 0;
    jpeg_destroy_decompress(&cinfo);
    return r;
}

// Decodes into `out`, whose storage is prepared by the caller-supplied
// allocator before any row is read. Returns the libjpeg message number on
// failure, 0 on success, -1 when the picture is too large.
int decode(const std::uint8_t* data, std::size_t size, TDecodedImage* out, std::uint8_t* rowBuf[1],
           std::vector<std::uint8_t>* cmykRow, std::string* sizeError)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = silentMessage;
    if (setjmp(err.jump)) {
        int code = err.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return code;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    // Print-ready CMYK files are decoded as CMYK and turned into B,G,R here.
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool inverted = cmyk && cinfo.saw_Adobe_marker;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    const std::int64_t w = cinfo.image_width, h = cinfo.image_height;
    if (w > MaxPictureSide || h > MaxPictureSide || w * h > MaxPicturePixels) {
        *sizeError = "Picture too large (" + std::to_string(w) + " x " + std::to_string(h) + ")";
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    out->Width = int(w);
    out->Height = int(h);
    out->Format = TPixelFormat::pf24bit;
    try {
        out->Pixels.resize(std::size_t(w) * std::size_t(h) * 3);
        if (cmyk)
            cmykRow->resize(std::size_t(w) * 4);
    } catch (...) {
        *sizeError = "Out of memory decoding a JPEG picture";
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* dst = out->row(int(cinfo.output_scanline));
        rowBuf[0] = cmyk ? cmykRow->data() : dst;
        jpeg_read_scanlines(&cinfo, rowBuf, 1);
        if (cmyk) {
            // Adobe writes the inks inverted (0 = full ink).
            const std::uint8_t* p = cmykRow->data();
            for (std::int64_t x = 0; x < w; ++x, p += 4, dst += 3) {
                int c = p[0], m = p[1], y = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
                }
                dst[0] = std::uint8_t((y * k + 127) / 255);
                dst[1] = std::uint8_t((m * k + 127) / 255);
                dst[2] = std::uint8_t((c * k + 127) / 255);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

} // namespace

TJpegHeader ReadJpegHeader(const std::uint8_t* data, std::size_t size)
{
    HeaderResult r = readHeader(data, size);
    if (r.code)
        throwJpegError(r.code);
    return r.header;
}

void DecodeJpeg(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    std::uint8_t* rowBuf[1] = {nullptr};
    std::string sizeError;
    TDecodedImage image;
    std::vector<std::uint8_t> cmykRow;
    int code = decode(data, size, &image, rowBuf, &cmykRow, &sizeError);
    if (code == -1)
        throw EPictureError(sizeError);
    if (code)
        throwJpegError(code);
    out = std::move(image);
}

} // namespace velmora
