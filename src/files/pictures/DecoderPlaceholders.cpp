// Formats whose readers are not written yet fail with a clear message.
#include "files/pictures/Decoders.h"

namespace velmora {

#define VELMORA_NOT_YET(fn, name)                                                           \
    void fn(const std::uint8_t*, std::size_t, TDecodedImage&)                               \
    {                                                                                       \
        throw EPictureError(name " pictures cannot be read yet");                           \
    }

VELMORA_NOT_YET(DecodePsp, "PSP")

} // namespace velmora
