#pragma once
// Putting a picture file into a face of the box, as the Insert menu and the
// "Load" buttons do once their dialog has named the file.

#include "box/Input.h"

#include <optional>
#include <string>

namespace velmora {

class TfrmMainModel;
class TGLPlane;

// "front", "back", "left", "right", "top", "bottom"; empty when unknown.
std::optional<TBoxFace> boxFaceNamed(const std::string& name);

// The face's plane in the model's box scene, or nullptr.
TGLPlane* facePlane(TfrmMainModel& model, TBoxFace face);

// TfrmMainModel::loadFacePicture while the model's BoxType is 1, nothing
// otherwise. A file that cannot be read raises the reader's error; the face
// then keeps its picture and its texture switch.
void loadPictureIntoFace(TfrmMainModel& model, TBoxFace face, const std::string& file);

} // namespace velmora
