#pragma once
// Which face of the box shows at a point of the viewer: the target of a
// picture dropped onto the viewer.

#include "box/Input.h"

#include <optional>

namespace velmora {

class TBoxScene;

// The face whose plane the line of sight through viewer point (x, y) meets
// first, as the box scene's camera projects the scene into a viewer of
// viewerWidth x viewerHeight pixels (x to the right, y downward, pixel
// centres at +0.5). None when the point shows the floor or the background,
// or when the camera is missing.
std::optional<TBoxFace> faceAtViewerPixel(TBoxScene& scene, int viewerWidth, int viewerHeight, double x, double y);

} // namespace velmora
