#pragma once
// The traversal and GL set-up steps of a frame, shared by the buffer, the
// mirror and the tests.

#include "engine/render/RenderContextInfo.h"

namespace velmora {

class TGLBaseSceneObject;
class TGLCamera;
class TGLMaterial;
class TGLScene;
struct TRectangle;

// Draws one object in its own transform (axes, then the object and its
// children).
void RenderNode(TGLBaseSceneObject& object, TRenderContextInfo& rci);

void materialApply(TGLMaterial& material, TRenderContextInfo& rci);
// Answers whether another pass is wanted (never, here).
bool materialUnapply(TGLMaterial& material, TRenderContextInfo& rci);

// GL projection and view of a camera (GL_PROJECTION resp. GL_MODELVIEW
// current).
void applyCameraProjection(TGLCamera& camera, const TRectangle& viewport, int w, int h, int dpi);
void applyCameraView(TGLCamera& camera);
// Sets GL lights 0..n-1 from the scene's light slots, in world space under
// the current model-view matrix.
void setupLights(TGLScene& scene, int n);

// Forgets (and, when deleteObjects, deletes in the current context) every
// GL texture of the objects below root.
void releaseHandles(TGLBaseSceneObject& root, bool deleteObjects);

} // namespace velmora
