#pragma once
// Files of rendered shots: which format a path asks for, and writing the
// encoded bytes so that a failure never leaves a partial file behind.

#include "output/JpegWriter.h"

#include <string>
#include <vector>

namespace velmora {

enum class TShotFormat { Jpeg, Bmp, Png };

// BMP when the file name's extension is ".bmp" in any case or when the
// picture dialog's "Bitmaps (*.bmp)" entry was chosen; PNG for ".png" where
// the caller offers it (the command line); JPEG otherwise. Folder names do
// not count.
TShotFormat shotFormatFor(const std::string& path, bool bmpFilterChosen, bool pngAllowed = false);

// The path with the extension of its file name (from the last dot on)
// replaced by ".bmp", or ".bmp" appended when the name has no dot.
std::string withBmpExtension(const std::string& path);

// Throws "Cannot create file <path>: <reason>" unless the path's folder
// exists, is a folder and may be written to, and the path itself is not a
// folder. Checked before a long render so it fails at once.
void checkShotTarget(const std::string& path);

// Writes to a temporary file beside the target, then renames it over the
// target: a failed write leaves neither a partial file nor a damaged old one.
void writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes);

// 8-bit RGB PNG (colour type 2) through libpng.
std::vector<std::uint8_t> encodePng24(const TRgbRows& rows);

std::vector<std::uint8_t> encodeShot(const TRgbRows& rows, TShotFormat format);

} // namespace velmora
