#include "pictures/TextureImage.h"

#include <filesystem>

namespace velmora {

void textureImageLoadFromFile(TPicture& picture, const std::string& fileName)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) {
        picture.Clear();
        throw ETexture("Could not open file: " + fileName);
    }
    picture.LoadFromFile(fileName);
}

} // namespace velmora
