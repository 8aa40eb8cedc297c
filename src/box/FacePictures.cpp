#include "box/FacePictures.h"

#include "box/BoxScene.h"
#include "box/MainModel.h"

namespace velmora {

std::optional<TBoxFace> boxFaceNamed(const std::string& name)
{
    return boxFaceFromName(name);
}

TGLPlane* facePlane(TfrmMainModel& model, TBoxFace face)
{
    TBoxScene* box = model.boxScene();
    return box ? box->facePlane(face) : nullptr;
}

void loadPictureIntoFace(TfrmMainModel& model, TBoxFace face, const std::string& file)
{
    if (model.BoxType != 1) return;
    model.loadFacePicture(face, file);
}

} // namespace velmora
