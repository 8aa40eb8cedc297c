// The walk through the scene graph: each object in its own transform, the
// children of a list in the order their sorting asks for, axes where shown.

#include "engine/GLErrors.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/SceneBuffer.h"
#include "engine/ScopeGuard.h"
#include "engine/render/RenderPass.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace velmora {

void TGLBaseSceneObject::DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren)
{
    if (drawSelf) EmitGeometry(rci);
    if (drawChildren) RenderChildRange(0, Count() - 1, rci);
}

void TGLBaseSceneObject::EmitGeometry(TRenderContextInfo&) {}
void TGLBaseSceneObject::DestroyHandles() {}

void TGLSceneObject::DrawNode(TRenderContextInfo& rci, bool drawSelf, bool drawChildren)
{
    if (drawSelf) {
        if (rci.noMaterials) {
            EmitGeometry(rci);
        } else {
            materialApply(Material(), rci);
            do EmitGeometry(rci);
            while (materialUnapply(Material(), rci));
        }
    }
    if (drawChildren) RenderChildRange(0, Count() - 1, rci);
}

namespace {

struct SortedChild {
    float key;
    TGLBaseSceneObject* object;
};

// Keys are compared by their bit patterns as signed integers, which orders
// positive floats correctly and is what the stored scenes were tuned with.
int32_t keyBits(float k)
{
    int32_t i;
    std::memcpy(&i, &k, sizeof i);
    return i;
}

float distanceKey(TGLBaseSceneObject& o, const TRenderContextInfo& rci, bool nearestFirst)
{
    const TVector c = o.SortCenter();
    const double dx = c.X - rci.eyePosition.X, dy = c.Y - rci.eyePosition.Y, dz = c.Z - rci.eyePosition.Z;
    const double d2 = dx * dx + dy * dy + dz * dz;
    return nearestFirst ? float(-1 - d2) : float(1 + d2);
}

void renderSorted(std::vector<SortedChild>& list, TRenderContextInfo& rci)
{
    std::sort(list.begin(), list.end(),
              [](const SortedChild& a, const SortedChild& b) { return keyBits(a.key) < keyBits(b.key); });
    for (auto it = list.rbegin(); it != list.rend(); ++it) RenderNode(*it->object, rci);
}

void drawAxes(TRenderContextInfo& rci)
{
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    // The pop restores GL behind the cache's back to what the cache holds;
    // the colour is not cached.
    TScopeExit popAttrib([] { glPopAttrib(); });
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_STIPPLE);
    if (!rci.noBlending) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glLineWidth(1);
    glLineStipple(1, 0xCCCC);
    float L = 100;
    if (rci.buffer && rci.buffer->Camera()) L = rci.buffer->Camera()->DepthOfView();
    glBegin(GL_LINES);
    const float axes[6][6] = {{-L, 0, 0, 0.5f, 0, 0}, {L, 0, 0, 1, 0, 0},     {0, -L, 0, 0, 0.5f, 0},
                              {0, L, 0, 0, 1, 0},     {0, 0, -L, 0, 0, 0.5f}, {0, 0, L, 0, 0, 1}};
    for (const auto& a : axes) {
        glColor3f(a[3], a[4], a[5]);
        glVertex3f(0, 0, 0);
        glVertex3f(a[0], a[1], a[2]);
    }
    glEnd();
}

} // namespace

void TGLBaseSceneObject::RenderChildRange(int first, int last, TRenderContextInfo& rci)
{
    if (children_.empty() || first > last) return;
    TScopedValue culling(rci.culling, VisibilityCulling() != vcInherited ? VisibilityCulling() : rci.culling);
    TScopedValue sorting(rci.sorting, ObjectsSorting() != osInherited ? ObjectsSorting() : rci.sorting);
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first == last) {
        if (children_[first]->Visible()) RenderNode(*children_[first], rci);
        return;
    }
    std::vector<SortedChild> sorted;
    for (int i = first; i <= last; ++i) {
        TGLBaseSceneObject& c = *children_[i];
        if (!c.Visible()) continue;
        switch (rci.sorting) {
        case osRenderBlendedLast:
            if (c.IsBlended())
                sorted.push_back({distanceKey(c, rci, false), &c});
            else
                RenderNode(c, rci);
            break;
        case osRenderFarthestFirst: sorted.push_back({distanceKey(c, rci, false), &c}); break;
        case osRenderNearestFirst: sorted.push_back({distanceKey(c, rci, true), &c}); break;
        default: RenderNode(c, rci); break;
        }
    }
    if (!sorted.empty()) renderSorted(sorted, rci);
}

void RenderNode(TGLBaseSceneObject& o, TRenderContextInfo& rci)
{
    // Culling other than "none" is not used by this program's scenes; every
    // object is drawn with its children.
    switch (rci.culling) {
    case vcInherited:
    case vcNone:
    case vcObjectBased:
    case vcHierarchical: break;
    default: throw EGLAssertion("Unknown visibility culling option");
    }
    const bool drawChildren = o.Count() > 0;
    glPushMatrix();
    TScopeExit popMatrix([] { glPopMatrix(); });
    o.RebuildTransformIfStale();
    glMultMatrixf(o.LocalTransform().data());
    if (o.ShowAxes()) drawAxes(rci);
    o.DrawNode(rci, true, drawChildren);
}

} // namespace velmora
