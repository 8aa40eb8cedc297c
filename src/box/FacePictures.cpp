#include "box/FacePictures.h"

#include "box/BoxScene.h"
#include "box/MainModel.h"

namespace velmora {

std::optional<TBoxFace> BoxFaceNamed(const std::string& name)
{
    return BoxFaceFromName(name);
}

TGLPlane* FacePlane(TfrmMainModel& model, TBoxFace face)
{
    TBoxScene* box = model.boxScene();
    return box ? box->facePlane(face) : nullptr;
}

void LoadPictureIntoFace(TfrmMainModel& model, TBoxFace face, const std::string& file)
{
    if (model.BoxType != 1) return;
    model.LoadFacePicture(face, file);
}

} // namespace velmora
