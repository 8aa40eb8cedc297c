#pragma once
// 24-bit BMP files for rendered shots (rows bottom-up, padded to 4 bytes).

#include "output/JpegWriter.h"

namespace velmora {

std::vector<std::uint8_t> encodeBmp24(const TRgbRows& rows);
void saveBmpFile(const std::string& fileName, const TRgbRows& rows);

// Writes the bytes to a file; failures throw "Cannot create file <name>".
void writeWholeFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes);

} // namespace velmora
