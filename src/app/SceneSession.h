#pragma once
// The main window model with the program's scene, as the desktop application
// makes it, and with scene files installed: what the sub-commands work on.

#include "app/Platform.h"
#include "box/MainModel.h"
#include "box/SceneFiles.h"

#include <stdexcept>

namespace velmora {

class TGLScene;

struct TSceneSession {
    TWorkingFolder Work;
    TfrmMainModel Model{programFolder(), Work.path()};

    TSceneSession()
    {
        installSceneFiles(Model);
        if (!Model.scene() || !Model.scene()->sceneGraph())
            throw std::runtime_error("The default scene is not available in this build.");
    }
    TGLScene& scene() { return *Model.scene()->sceneGraph(); }
};

} // namespace velmora
