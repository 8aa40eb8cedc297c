#pragma once
// Writing rendered shots: baseline JFIF through libjpeg and plain 24-bit BMP.

#include "pictures/Rasters.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Baseline JFIF at the given quality (1..100). libjpeg failures throw
// EPictureError("JPEG error #<message number>").
std::vector<std::uint8_t> encodeJpeg(const TRgbRows& rows, int quality = 90);
void saveJpegFile(const std::string& fileName, const TRgbRows& rows, int quality = 90);

} // namespace velmora
