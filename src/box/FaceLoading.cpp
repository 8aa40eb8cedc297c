// Face pictures: the Insert menu items and Load buttons, the load step they
// share with the face editor, and files dropped on the window.

#include "box/BoxScene.h"
#include "box/FacePick.h"
#include "box/MainModel.h"
#include "pictures/TextCase.h"
#include "pictures/TextureImage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace velmora {

const char* boxFaceName(TBoxFace face)
{
    switch (face) {
    case TBoxFace::Front: return "front";
    case TBoxFace::Back: return "back";
    case TBoxFace::Top: return "top";
    case TBoxFace::Bottom: return "bottom";
    case TBoxFace::Left: return "left";
    case TBoxFace::Right: return "right";
    }
    return "";
}

std::optional<TBoxFace> boxFaceFromName(const std::string& name)
{
    for (TBoxFace f : AllBoxFaces)
        if (name == boxFaceName(f)) return f;
    return std::nullopt;
}

const char* const TfrmMainModel::OpenPictureDialog1Filter =
    "All (*.dds;*.tga;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.psd;*.gif)|*.dds;*.tga;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;"
    "*.wmf;*.psd;*.gif|Microsoft DirectDraw Surface (*.dds)|*.dds|Targa (*.tga)|*.tga|JPEG Image File (*.jpg)|*.jpg|"
    "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|"
    "Metafiles (*.wmf)|*.wmf|Photoshop Files (*.psd)|*.psd|Compuserve (*.gif)|*.gif";
const char* const TfrmMainModel::OpenPictureDialog1DefaultExt = "*.bmp";

void TfrmMainModel::loadFacePicture(TBoxFace face, const std::string& fileName)
{
    TBoxScene* box = boxScene();
    TGLPlane* plane = box ? box->facePlane(face) : nullptr;
    if (!plane)
        throw ENotAvailable(std::string("The box has no ") + boxFaceName(face) + " face to load a picture into.");
    // A file that is not there must not empty the face's picture, as the
    // texture's own loader would.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) throw ETexture("Could not open file: " + fileName);
    TGLTexture& texture = plane->Material().Texture();
    texture.PictureImage().LoadFromFile(fileName); // keeps the previous picture when it fails
    texture.SetDisabled(false);
}

void TfrmMainModel::faceImageClick(TBoxFace face)
{
    if (BoxType != 1 || !RunOpenPictureDialog) return;
    const std::optional<std::string> chosen = RunOpenPictureDialog();
    if (!chosen) return;
    loadFacePicture(face, *chosen);
}

bool TfrmMainModel::isSceneFileName(const std::string& fileName)
{
    const std::string ext = lowerCase(std::filesystem::path(fileName).extension().string());
    return ext == ".vlm" || ext == ".gls";
}

std::optional<TBoxFace> TfrmMainModel::faceAtViewerPoint(double x, double y, int viewerWidth, int viewerHeight)
{
    TBoxScene* box = boxScene();
    if (!box || !sceneOpen()) return std::nullopt;
    return faceAtViewerPixel(*box, viewerWidth, viewerHeight, x, y);
}

void TfrmMainModel::formDropFile(const std::string& fileName, bool onViewer, double viewerX, double viewerY,
                                 int viewerWidth, int viewerHeight)
{
    if (isSceneFileName(fileName)) {
        // As Open does with a chosen file; the path tells archive from stream.
        Open1Click(fileName, 0);
        return;
    }
    if (!onViewer || BoxType != 1) return;
    const std::optional<TBoxFace> face = faceAtViewerPoint(viewerX, viewerY, viewerWidth, viewerHeight);
    if (face) loadFacePicture(*face, fileName);
}

} // namespace velmora
