#pragma once
// The hand-off between the face editor and the box: the pixel size the editor
// starts with for a face, and the way an accepted face reaches the face's
// texture, through the working file "Face.bmp" as if the user had loaded it.

#include "box/Input.h"

#include <functional>
#include <string>

namespace velmora {

class TfrmMainModel;
class TGLPlane;

struct TFaceEditorSize {
    int Width = 640;
    int Height = 480;
    bool operator==(const TFaceEditorSize&) const = default;
};

// trunc(Scale x 1024) + 100 of the plane's X and Y scale, the product taken in
// single precision. Scales from odd scene files are held to 1..8192 pixels,
// so that a stored scale cannot ask the editor for an impossible image.
TFaceEditorSize faceEditorSize(const TGLPlane& plane);
// The size for a face of the model's box; the editor's default without a box.
TFaceEditorSize faceEditorSize(TfrmMainModel& model, TBoxFace face);

// The working file an accepted face passes through.
std::string faceWorkingFile(const TfrmMainModel& model);

// writeFace writes the accepted face as a BMP file to the path it is given;
// the file is then loaded into the face's texture, which is switched on. The
// working file is removed afterwards, also when writing or loading fails (the
// error then propagates and the face keeps its previous picture).
void handBackFace(TfrmMainModel& model, TBoxFace face, const std::function<void(const std::string& file)>& writeFace);

} // namespace velmora
