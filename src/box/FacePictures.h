#pragma once
// Putting a picture file into a face of the box, as the Insert menu and the
// "Load" buttons do once their dialog has named the file.

#include <optional>
#include <string>

namespace velmora {

class TfrmMainModel;
class TGLPlane;

enum class TBoxFace { Front, Back, Left, Right, Top, Bottom };

// "front", "back", "left", "right", "top", "bottom"; empty when unknown.
std::optional<TBoxFace> BoxFaceNamed(const std::string& name);

// The face's plane in the model's box scene, or nullptr.
TGLPlane* FacePlane(TfrmMainModel& model, TBoxFace face);

// Reads the file by its extension into the face's texture image and enables
// that face's texture. Does nothing unless the model's BoxType is 1. A file
// that cannot be read raises the reader's error; the face then keeps its
// picture and its texture switch.
void LoadPictureIntoFace(TfrmMainModel& model, TBoxFace face, const std::string& file);

} // namespace velmora
