#pragma once
// The record handed down one render traversal.

#include "engine/EngineTypes.h"
#include "engine/VectorGeometry.h"

namespace velmora {

class TGLScene;
class TGLSceneBuffer;
class TGLStateCache;

enum TDrawState : uint8_t { dsRendering, dsPicking, dsPrinting };

struct TRenderContextInfo {
    TGLScene* scene = nullptr;
    TGLSceneBuffer* buffer = nullptr;
    TVector eyePosition{0, 0, 0, 1};
    TVector eyeDirection{0, 0, -1, 0};
    TVector eyeUp{0, 1, 0, 0};
    const TMatrix* viewMatrix = nullptr;
    int viewportWidth = 0;
    int viewportHeight = 0;
    int dpi = 96;
    int fogSuspendDepth = 0;
    int lightingSuspendDepth = 0;
    TDrawState mode = dsRendering;
    TGLObjectsSorting sorting = osNone;
    TGLVisibilityCulling culling = vcNone;
    TGLStateCache* states = nullptr;
    float viewPortRadius = 0;
    float farClippingDistance = 0;
    TVector ambient{0.2f, 0.2f, 0.2f, 1};
    bool bufferCulls = true;
    bool nestedDraw = false;
    bool noMaterials = false;
    bool noBlending = false;
    bool recordingGroup = false;
};

} // namespace velmora
