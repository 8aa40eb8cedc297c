// Default drawing of a scene object: nothing. The render pass replaces this
// file's definitions with the real traversal and geometry.

#include "engine/Scene.h"

namespace velmora {

void TGLBaseSceneObject::DrawNode(TRenderContextInfo&, bool, bool) {}
void TGLBaseSceneObject::EmitGeometry(TRenderContextInfo&) {}
void TGLBaseSceneObject::RenderChildRange(int, int, TRenderContextInfo&) {}
void TGLBaseSceneObject::DestroyHandles() {}

} // namespace velmora
