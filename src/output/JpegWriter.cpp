#include "output/JpegWriter.h"

#include "output/BmpWriter.h"

#include "pictures/JpegErrorTrap.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace velmora {

namespace {

// Only plain C state lives in this frame, so jumping back here from libjpeg
// skips no destructors; the caller turns the result into an exception.
int compress(const TRgbRows& rows, int quality, unsigned char** buffer, unsigned long* size)
{
    jpeg_compress_struct cinfo;
    JpegErrorTrap err;
    err.install(reinterpret_cast<j_common_ptr>(&cinfo));
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return err.pub.msg_code ? err.pub.msg_code : -1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = JDIMENSION(rows.Width);
    cinfo.image_height = JDIMENSION(rows.Height);
    cinfo.input_components = 3;
    cinfo.in_color_space = rows.Bgr ? JCS_EXT_BGR : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows.Bits + std::ptrdiff_t(cinfo.next_scanline) * rows.Stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

} // namespace

std::vector<std::uint8_t> encodeJpeg(const TRgbRows& rows, int quality)
{
    if (rows.Width <= 0 || rows.Height <= 0 || rows.Width > 65500 || rows.Height > 65500)
        throw EPictureError("Cannot write a JPEG picture of " + std::to_string(rows.Width) + " x " +
                            std::to_string(rows.Height) + " pixels");
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int code = compress(rows, quality < 1 ? 1 : quality > 100 ? 100 : quality, &buffer, &size);
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(buffer, &std::free);
    if (code) throwJpegError(code);
    return std::vector<std::uint8_t>(buffer, buffer + size);
}

void saveJpegFile(const std::string& fileName, const TRgbRows& rows, int quality)
{
    writeWholeFile(fileName, encodeJpeg(rows, quality));
}

} // namespace velmora
