#include "box/FacePictures.h"

#include "box/BoxScene.h"
#include "box/MainModel.h"

namespace velmora {

std::optional<TBoxFace> BoxFaceNamed(const std::string& name)
{
    static const std::pair<const char*, TBoxFace> names[] = {
        {"front", TBoxFace::Front}, {"back", TBoxFace::Back}, {"left", TBoxFace::Left},
        {"right", TBoxFace::Right}, {"top", TBoxFace::Top},   {"bottom", TBoxFace::Bottom},
    };
    for (const auto& [n, f] : names)
        if (name == n) return f;
    return std::nullopt;
}

TGLPlane* FacePlane(TfrmMainModel& model, TBoxFace face)
{
    auto* box = dynamic_cast<TBoxScene*>(model.scene());
    if (!box) return nullptr;
    switch (face) {
    case TBoxFace::Front: return box->PLFront;
    case TBoxFace::Back: return box->PLBack;
    case TBoxFace::Left: return box->PLLeft;
    case TBoxFace::Right: return box->PLRight;
    case TBoxFace::Top: return box->PLTop;
    case TBoxFace::Bottom: return box->PLBottom;
    }
    return nullptr;
}

void LoadPictureIntoFace(TfrmMainModel& model, TBoxFace face, const std::string& file)
{
    if (model.BoxType != 1) return;
    TGLPlane* plane = FacePlane(model, face);
    if (!plane) throw ENotAvailable("The box has no such face in this scene");
    // The picture keeps its previous graphic when the file cannot be read,
    // so the texture is switched on only after a successful load.
    plane->Material().Texture().PictureImage().LoadFromFile(file);
    plane->Material().Texture().SetDisabled(false);
}

} // namespace velmora
