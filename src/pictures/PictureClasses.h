#pragma once
// The graphic classes that decode through the format readers, and the
// registration of every format in start-up order.

#include "pictures/Picture.h"

namespace velmora {

// Metafiles, icons and bitmaps: the formats the platform itself knows.
void registerPlatformFormats(TPictureFormats& r);
// The image-format readers, registered after JPEG and the engine's TGA class.
void registerReaderFormats(TPictureFormats& r);

} // namespace velmora
