#pragma once
// The box scene's shot through the viewer's buffer, or, where there is no
// on-screen viewer (the command line, a display without OpenGL), through a
// buffer of the viewer's size bound to the scene exactly as the viewer is.

#include "output/RenderToFile.h"

namespace velmora {

class TfrmMainModel;

TRenderToFileResult renderSceneToFile(TfrmMainModel& model, TGLSceneBuffer* viewer, const TRenderToFileJob& job,
                                      const TRenderToFileHooks& hooks = {});

} // namespace velmora
