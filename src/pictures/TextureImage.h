#pragma once
// Loading a texture's picture from a file, and (Rasters.h) turning it into
// the RGBA pixels a texture uploads. No GL here: the renderer uploads them.

#include "pictures/Picture.h"
#include "pictures/Rasters.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

class ETexture : public EIOError {
public:
    using EIOError::EIOError;
};

// A texture picture loaded by name: a missing file empties the picture and
// fails with "Could not open file: <name>".
void textureImageLoadFromFile(TPicture& picture, const std::string& fileName);

} // namespace velmora
