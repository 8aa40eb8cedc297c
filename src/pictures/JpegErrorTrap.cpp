#include "pictures/JpegErrorTrap.h"

#include "pictures/DecodedImage.h"

#include <string>

namespace velmora {

namespace {

void silent(j_common_ptr, int) {}

} // namespace

void JpegErrorTrap::install(j_common_ptr cinfo, void (*emit)(j_common_ptr, int))
{
    cinfo->err = jpeg_std_error(&pub);
    pub.error_exit = jpegTrapJump;
    pub.emit_message = emit ? emit : silent;
}

void jpegTrapJump(j_common_ptr cinfo)
{
    std::longjmp(JpegErrorTrap::of(cinfo).jump, 1);
}

void throwJpegError(int code)
{
    throw EPictureError("JPEG error #" + std::to_string(code));
}

} // namespace velmora
