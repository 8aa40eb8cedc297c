#include "box/RenderShot.h"

#include "box/MainModel.h"
#include "engine/SceneBuffer.h"

namespace velmora {

TRenderToFileResult renderSceneToFile(TfrmMainModel& model, TGLSceneBuffer* viewer, const TRenderToFileJob& job,
                                      const TRenderToFileHooks& hooks)
{
    if (viewer) return renderToFile(*viewer, job, hooks);
    TBoxSceneLink* scene = model.scene();
    if (!scene || !scene->sceneGraph()) throw ENotAvailable("There is no scene to render.");
    TGLSceneBuffer buffer;
    scene->bindViewer(buffer);
    buffer.Resize(job.ViewerWidth, job.ViewerHeight);
    return renderToFile(buffer, job, hooks);
}

} // namespace velmora
