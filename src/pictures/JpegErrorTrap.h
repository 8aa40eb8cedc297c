#pragma once
// libjpeg reports fatal errors through error_exit, which must not return. The
// trap jumps back to the frame that called libjpeg instead; that frame holds
// no C++ objects with destructors between its setjmp and the jump, releases
// libjpeg's state there and only then reports the error as an exception.
// Shared by the JPEG reader and the JPEG writer.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace velmora {

struct JpegErrorTrap {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    // Set by our own checks (a progress monitor) that stop libjpeg through
    // the trap, to tell their stop from one of libjpeg's errors.
    bool stoppedByUs = false;

    // Becomes the error manager of `cinfo`: fatal errors jump to `jump`,
    // warnings and traces go to `emit` (by default nowhere).
    void install(j_common_ptr cinfo, void (*emit)(j_common_ptr, int) = nullptr);

    static JpegErrorTrap& of(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorTrap*>(cinfo->err); }
};

// The error_exit of the trap: jumps back to the frame that set it.
[[noreturn]] void jpegTrapJump(j_common_ptr cinfo);

// libjpeg failures as the program reports them: "JPEG error #<message number>".
[[noreturn]] void throwJpegError(int code);

} // namespace velmora
