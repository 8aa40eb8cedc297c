#include "box/FaceHandOff.h"

#include "box/FacePictures.h"
#include "box/MainModel.h"
#include "engine/Objects.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

int editorSide(float scale)
{
    const float product = scale * 1024.0f; // single precision before trunc
    if (!std::isfinite(product)) return product > 0 ? 8192 : 1;
    const double side = std::trunc(double(product)) + 100;
    if (side < 1) return 1;
    if (side > 8192) return 8192;
    return int(side);
}

} // namespace

TFaceEditorSize faceEditorSize(const TGLPlane& plane)
{
    const TGLCoordinates& s = plane.Scale();
    return {editorSide(s.X()), editorSide(s.Y())};
}

TFaceEditorSize faceEditorSize(TfrmMainModel& model, TBoxFace face)
{
    const TGLPlane* plane = facePlane(model, face);
    return plane ? faceEditorSize(*plane) : TFaceEditorSize{};
}

std::string faceWorkingFile(const TfrmMainModel& model)
{
    return (std::filesystem::path(model.WorkingFolder) / "Face.bmp").string();
}

void handBackFace(TfrmMainModel& model, TBoxFace face, const std::function<void(const std::string& file)>& writeFace)
{
    const std::string file = faceWorkingFile(model);
    auto removeFile = [&] {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    };
    try {
        writeFace(file);
        if (model.ProcessMessages) model.ProcessMessages();
        model.loadFacePicture(face, file);
    } catch (...) {
        removeFile();
        throw;
    }
    removeFile();
}

} // namespace velmora
