#include "box/RenderShot.h"

#include "box/MainModel.h"
#include "engine/SceneBuffer.h"

namespace velmora {

TRenderToFileResult RenderSceneToFile(TfrmMainModel& model, TGLSceneBuffer* viewer, const TRenderToFileJob& job,
                                      const TRenderToFileHooks& hooks)
{
    if (viewer) return RenderToFile(*viewer, job, hooks);
    TBoxSceneLink* scene = model.scene();
    if (!scene || !scene->sceneGraph()) throw ENotAvailable("There is no scene to render.");
    TGLSceneBuffer buffer;
    scene->bindViewer(buffer);
    buffer.Resize(job.ViewerWidth, job.ViewerHeight);
    return RenderToFile(buffer, job, hooks);
}

} // namespace velmora
