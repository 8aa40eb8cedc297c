// Windows metafiles are drawing commands for the Windows graphics device
// interface; there is no renderer for them on this platform.
#include "pictures/Decoders.h"

namespace velmora {

void decodeMetafile(const std::uint8_t*, std::size_t, TDecodedImage&)
{
    throw EPictureError("Metafile pictures are not supported");
}

} // namespace velmora
