#pragma once
// The box scene: the default scene graph of the main window (a box of six
// textured planes, the rig with the point of focus, drop shadow, floor mirror,
// a light and the camera, a switched-off light and a spare camera), the
// dimension handlers that move and scale the planes, and the New reset.

#include "box/MainModel.h"
#include "engine/CameraLights.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "engine/SceneBuffer.h"

#include <string>
#include <vector>

namespace velmora {

class TBoxScene : public TBoxSceneLink {
public:
    // programFolder ends with a separator and holds Faces/ and Media/; empty
    // means the folder of the running executable. A missing default picture
    // leaves its face without a picture.
    explicit TBoxScene(std::string programFolder = {});
    ~TBoxScene() override;

    TGLScene GLScene1;

    // Named objects, bound by name (bindByName) after the graph is replaced.
    TGLDummyCube* DummyCube2 = nullptr;
    TGLPlane* PLLeft = nullptr;
    TGLPlane* PLBottom = nullptr;
    TGLPlane* PLRight = nullptr;
    TGLPlane* PLFront = nullptr;
    TGLPlane* PLTop = nullptr;
    TGLPlane* PLBack = nullptr;
    TGLDummyCube* DummyCube1 = nullptr;
    TGLPoints* GLPoints1 = nullptr;
    TGLPlane* GLDropShadow = nullptr;
    TGLMirror* GLMirror1 = nullptr;
    TGLLightSource* GLLightSource3 = nullptr;
    TGLCamera* GLCamera1 = nullptr;
    TGLLightSource* GLLightSource1 = nullptr;
    TGLDummyCube* GLDummyCube1 = nullptr;
    TGLLightSource* GLLightSource2 = nullptr;
    TGLCamera* GLCamera2 = nullptr;

    // Looks every named object up again; an object that is missing or of
    // another class leaves its reference null.
    void bindByName();

    // The viewer's background colour (a window colour) as the tabs set it;
    // kept here and copied into every bound viewer buffer.
    TColor BackgroundColor = clWhite;

    // ---- TBoxSceneLink ----
    void applyBoxWidth(int w, int shadowWidth) override;
    void applyBoxHeight(int h, int shadowHeight) override;
    void applyBoxDepth(int d) override;
    void resetToDefaults() override;
    TGLScene* sceneGraph() override { return &GLScene1; }
    void sceneReplaced() override;
    std::uint32_t backgroundColor() const override { return std::uint32_t(BackgroundColor); }
    void setBackgroundColor(std::uint32_t color) override;
    void bindViewer(TGLSceneBuffer& buffer) override;

    // The plane of a face (null when the graph lacks it).
    TGLPlane* facePlane(TBoxFace face) const;
    // Reads a TGA file as the drop shadow's picture; it is kept as a 32-bit
    // bitmap under the TGA picture class, as older scenes store it. Errors
    // propagate and leave the previous picture.
    void loadShadowPicture(const std::string& file);

    // The six face planes in the order Front, Back, Left, Right, Top, Bottom.
    std::vector<TGLPlane*> faces() const { return {PLFront, PLBack, PLLeft, PLRight, PLTop, PLBottom}; }

private:
    void build();
    void loadDefaultPictures();

    std::string ProgramFolder;
    std::vector<TGLSceneBuffer*> Viewers;
};

} // namespace velmora
