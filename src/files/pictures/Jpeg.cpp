#include "files/pictures/CoreCodecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

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
           std::string* sizeError)
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
    cinfo.out_color_space = JCS_EXT_BGR;
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
    } catch (...) {
        *sizeError = "Out of memory decoding a JPEG picture";
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        rowBuf[0] = out->row(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, rowBuf, 1);
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
    int code = decode(data, size, &image, rowBuf, &sizeError);
    if (code == -1)
        throw EPictureError(sizeError);
    if (code)
        throwJpegError(code);
    out = std::move(image);
}

} // namespace velmora
