#pragma once
// The camera's projection extents and the viewer's field of view, as plain
// functions so they can be checked without a rendering context.

#include "engine/CameraLights.h"

namespace velmora {

struct TFrustum {
    double Left = 0, Right = 0, Bottom = 0, Top = 0;
    float Near = 0, Far = 0;
    float ViewPortRadius = 0;
    bool Valid = false; // false when the size is below 1 pixel
};

// Perspective (and orthogonal) extents for viewport v inside a w x h
// window at dpi pixels per inch. Focal length is in millimetres for that
// dpi, so scaling w, h and dpi together leaves the frustum unchanged.
TFrustum cameraFrustum(const TGLCamera& camera, const TRectangle& v, int w, int h, int dpi);

// Field of view in degrees for a control of the given size, and the focal
// length that gives a field of view of `degrees` (both use the smaller
// side).
double fieldOfViewFor(const TGLCamera* camera, int controlWidth, int controlHeight);
void setFieldOfViewFor(TGLCamera* camera, int controlWidth, int controlHeight, double degrees);

} // namespace velmora
