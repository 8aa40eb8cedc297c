// Camera navigation: dragging over the viewer orbits, zooms, moves the point
// of focus or the whole rig, or turns the box; the wheel and the Up and Down
// keys zoom.

#include "box/BoxScene.h"
#include "box/MainModel.h"

#include <cmath>

namespace velmora {

namespace {

// Zoom factor for a signed number of steps: 1.1 per step.
float zoomRatio(double steps)
{
    return float(std::pow(1.1, steps));
}

bool samePoint(const TVector& a, const TVector& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

// Zooms by 1.1 per step. A step that would leave the camera exactly on its
// point of focus (a close camera rounded onto it, or a ratio that underflows)
// or at an infinite distance is refused: from there neither zoom nor orbit
// could ever bring it back, and the view would be lost until New.
void zoom(TGLCamera* camera, double steps)
{
    TGLBaseSceneObject* target = camera ? camera->TargetObject() : nullptr;
    if (!target) return;
    const TVector before = camera->Position().AsVector();
    const TVector t = target->WorldPosition();
    const bool wasOnTarget = samePoint(camera->WorldPosition(), t);
    camera->ScaleTargetDistance(zoomRatio(steps));
    const TVector now = camera->WorldPosition();
    const bool finite = std::isfinite(now.X) && std::isfinite(now.Y) && std::isfinite(now.Z);
    if (!finite || (!wasOnTarget && samePoint(now, t))) camera->Position().SetAsVector(before);
}

// Adds to Y and subtracts from Z, each read and written as a float.
void shiftYZ(TGLBaseSceneObject* o, int dx, int dy)
{
    if (!o) return;
    o->Position().SetY(float(double(o->Position().Y()) + dx / 100.0));
    o->Position().SetZ(float(double(o->Position().Z()) - dy / 100.0));
}

} // namespace

void TfrmMainModel::GLSceneViewer1MouseDown(TMouseButton, TShiftState, int x, int y)
{
    LastMouseX = x;
    LastMouseY = y;
}

void TfrmMainModel::GLSceneViewer1MouseMove(TShiftState shift, int x, int y)
{
    if (BoxType != 1) return;
    // Previous minus current: moving left or up gives positive deltas. The
    // subtraction wraps like the 32-bit fields instead of overflowing.
    const int dx = int(std::uint32_t(LastMouseX) - std::uint32_t(x));
    const int dy = int(std::uint32_t(LastMouseY) - std::uint32_t(y));
    LastMouseX = x;
    LastMouseY = y;

    TBoxScene* box = boxScene();
    if (!box) return;
    if (shift & ssLeft) {
        if (shift & ssShift)
            shiftYZ(box->GLPoints1, dx, dy);
        else if (shift & ssCtrl)
            shiftYZ(box->DummyCube1, dx, dy);
        else if (box->GLCamera1)
            box->GLCamera1->OrbitAroundTarget(float(dy), float(dx));
    } else if (shift & ssRight) {
        if (shift & ssShift) {
            // The box and its shadow turn together about the front-to-back axis.
            if (box->DummyCube2) box->DummyCube2->SetPitchAngle(float(double(box->DummyCube2->PitchAngle()) + dx));
            if (box->GLDropShadow) box->GLDropShadow->SetRollAngle(float(double(box->GLDropShadow->RollAngle()) - dx));
        } else {
            zoom(box->GLCamera1, dy / 10.0);
        }
    }
}

void TfrmMainModel::FormMouseWheel(TShiftState, int wheelDelta, int, int, bool&)
{
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (box) zoom(box->GLCamera1, wheelDelta / 120.0);
}

void TfrmMainModel::FormKeyDown(unsigned short& key, TShiftState)
{
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (!box || !box->GLCamera1) return;
    if (key == VK_UP)
        zoom(box->GLCamera1, -1);
    else if (key == VK_DOWN)
        zoom(box->GLCamera1, 1);
}

} // namespace velmora
