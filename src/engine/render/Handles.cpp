// Release of the GL objects a scene's objects hold, when their context goes
// or another one takes over.

#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/gl/TextureUpload.h"
#include "engine/render/RenderPass.h"

namespace velmora {

void releaseHandles(TGLBaseSceneObject& root, bool deleteObjects)
{
    if (auto* o = dynamic_cast<TGLCustomSceneObject*>(&root)) {
        TGLTexture& t = o->Material().Texture();
        if (deleteObjects)
            destroyTextureHandle(t);
        else
            t.Handle.Forget();
    }
    root.DestroyHandles();
    for (int i = 0; i < root.Count(); ++i) releaseHandles(*root.Child(i), deleteObjects);
}

} // namespace velmora
