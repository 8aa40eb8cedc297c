#pragma once
// `velmora face`: a face picture composed from a JSON face document with the
// face editor's own document operations, without a display.

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora {

class TBitmap32;

// args[0] is "face". Returns the exit status: 0 written, 1 error, 2 usage.
int runFaceCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Reads a face document and composes it; throws with a message naming the
// line or the layer at fault. Relative file names are taken from the
// document's folder.
void composeFaceDocument(const std::string& documentFile, TBitmap32& out);

// Writes a composed face: an RGBA PNG for ".png", otherwise a 32-bit BMP.
void writeFacePicture(const TBitmap32& face, const std::string& fileName);

} // namespace velmora
