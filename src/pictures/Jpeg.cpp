#include "pictures/CoreCodecs.h"

#include "pictures/JpegErrorTrap.h"

#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>

namespace velmora {

namespace {

// A progressive file may repeat scans without end; each costs a pass over
// the whole coefficient buffer. Real encoders write a few dozen at most.
constexpr int MaxScans = 500;
// libjpeg's own working memory (the coefficient buffers of progressive
// files): enough for the largest picture we accept in 4:2:0.
constexpr long MaxJpegMemory = 1L << 30;
// No Huffman-coded JPEG describes more than 512 pixels per byte: every 8 x 8
// block costs at least one bit even in a progressive first DC scan.
constexpr double MaxPixelsPerByte = 512;

// Warnings stay silent, except that the data ends before the last row: the
// missing rows would come out grey and nobody would notice until the box shot
// is printed, so a truncated file fails like any damaged one.
void silentMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) jpegTrapJump(cinfo);
}

void progressMonitor(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans) {
        JpegErrorTrap::of(cinfo).stoppedByUs = true;
        jpegTrapJump(cinfo);
    }
}

std::string implausibleMessage(std::int64_t w, std::int64_t h)
{
    return "JPEG picture is not valid: its data is too short for " + std::to_string(w) + " x " + std::to_string(h) +
        " pixels";
}

struct HeaderResult {
    int code = 0; // libjpeg message number, 0 on success
    bool arithmetic = false;
    TJpegHeader header;
};

HeaderResult readHeader(const std::uint8_t* data, std::size_t size)
{
    HeaderResult r;
    jpeg_decompress_struct cinfo;
    JpegErrorTrap err;
    err.install(reinterpret_cast<j_common_ptr>(&cinfo), silentMessage);
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
    r.arithmetic = cinfo.arith_code != 0;
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
    JpegErrorTrap err;
    err.install(reinterpret_cast<j_common_ptr>(&cinfo), silentMessage);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = progressMonitor;
    if (setjmp(err.jump)) {
        int code = err.pub.msg_code;
        if (err.stoppedByUs) {
            *sizeError = "JPEG picture is not valid: more than " + std::to_string(MaxScans) + " scans";
            code = -1;
        }
        jpeg_destroy_decompress(&cinfo);
        return code;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = MaxJpegMemory;
    cinfo.progress = &progress;
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
    try {
        reserveRaster(w, h, size, cinfo.arith_code ? 0 : MaxPixelsPerByte, implausibleMessage(w, h));
    } catch (const EPictureError& e) {
        *sizeError = e.what();
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    out->Width = int(w);
    out->Height = int(h);
    out->Format = TPixelFormat::pf24bit;
    try {
        out->Pixels.resize(std::size_t(w) * std::size_t(h) * 3);
        if (cmyk) cmykRow->resize(std::size_t(w) * 4);
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

TJpegHeader readJpegHeader(const std::uint8_t* data, std::size_t size)
{
    HeaderResult r = readHeader(data, size);
    if (r.code) throwJpegError(r.code);
    // Refused at once, not when the picture is first drawn.
    reserveRaster(r.header.Width, r.header.Height, size, r.arithmetic ? 0 : MaxPixelsPerByte,
                  implausibleMessage(r.header.Width, r.header.Height));
    return r.header;
}

void decodeJpeg(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    std::uint8_t* rowBuf[1] = {nullptr};
    std::string sizeError;
    TDecodedImage image;
    std::vector<std::uint8_t> cmykRow;
    int code = decode(data, size, &image, rowBuf, &cmykRow, &sizeError);
    if (code == -1) throw EPictureError(sizeError);
    if (code) throwJpegError(code);
    out = std::move(image);
}

} // namespace velmora
