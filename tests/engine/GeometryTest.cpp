// Vertices, texture coordinates and primitive counts that planes and points
// issue, captured with GL's feedback mode.

#include "engine/EngineTestSupport.h"
#include "engine/Objects.h"
#include "engine/gl/GLContext.h"
#include "engine/render/RenderContextInfo.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <vector>

using namespace velmora;

namespace {

struct Captured {
    int polygons = 0;
    int triangles = 0;
    int points = 0;
    float sMin = 1e9f, sMax = -1e9f, tMin = 1e9f, tMax = -1e9f;
    float xMin = 1e9f, xMax = -1e9f;
};

class Feedback : public ::testing::Test {
protected:
    void SetUp() override
    {
        VELMORA_REQUIRE_HEADLESS_GL();
        ctx = std::make_unique<TGLHeadlessContext>(64, 64);
        ctx->Activate();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glViewport(0, 0, 64, 64);
    }
    void TearDown() override
    {
        if (ctx) ctx->Deactivate();
    }

    // Vertex layout of GL_3D_COLOR_TEXTURE: x y z, r g b a, s t r q.
    Captured capture(TGLBaseSceneObject& o)
    {
        std::vector<GLfloat> buf(1 << 16);
        glFeedbackBuffer(GLsizei(buf.size()), GL_3D_COLOR_TEXTURE, buf.data());
        glRenderMode(GL_FEEDBACK);
        TRenderContextInfo rci;
        o.EmitGeometry(rci);
        const int n = glRenderMode(GL_RENDER);
        Captured c;
        auto vertex = [&](const GLfloat* v) {
            c.xMin = std::min(c.xMin, v[0]), c.xMax = std::max(c.xMax, v[0]);
            c.sMin = std::min(c.sMin, v[7]), c.sMax = std::max(c.sMax, v[7]);
            c.tMin = std::min(c.tMin, v[8]), c.tMax = std::max(c.tMax, v[8]);
        };
        for (int i = 0; i < n;) {
            const GLenum token = GLenum(buf[i++]);
            if (token == GL_POLYGON_TOKEN) {
                const int count = int(buf[i++]);
                ++c.polygons;
                c.triangles += count - 2;
                for (int k = 0; k < count; ++k, i += 11) vertex(&buf[i]);
            } else if (token == GL_POINT_TOKEN) {
                ++c.points;
                vertex(&buf[i]);
                i += 11;
            } else {
                ADD_FAILURE() << "unexpected token " << token;
                break;
            }
        }
        return c;
    }

    std::unique_ptr<TGLHeadlessContext> ctx;
};

} // namespace

TEST_F(Feedback, DefaultPlaneSpansHalfUnitsWithUnitTextureRange)
{
    TGLPlane plane;
    const Captured c = capture(plane);
    EXPECT_EQ(c.triangles, 2);
    EXPECT_FLOAT_EQ(c.xMin, 16); // -0.5 in a 64 pixel viewport
    EXPECT_FLOAT_EQ(c.xMax, 48);
    EXPECT_FLOAT_EQ(c.sMin, 0);
    EXPECT_FLOAT_EQ(c.sMax, 1);
    EXPECT_FLOAT_EQ(c.tMin, 0);
    EXPECT_FLOAT_EQ(c.tMax, 1);
}

TEST_F(Feedback, TilingScopeAndOffsets)
{
    TGLPlane plane;
    plane.SetXTiles(3);
    Captured c = capture(plane);
    EXPECT_FLOAT_EQ(c.sMax, 3);
    EXPECT_EQ(c.triangles, 2); // still one quad
    plane.SetStyle({psSingleQuad});
    c = capture(plane);
    EXPECT_FLOAT_EQ(c.sMax, 1); // without tiling s runs to XScope
    plane.SetStyle({psSingleQuad, psTileTexture});
    plane.SetXTiles(1);
    plane.SetXScope(2);
    EXPECT_EQ(plane.XScope(), 1);
    plane.SetXScope(0.5f);
    plane.SetXOffset(0.25f);
    c = capture(plane);
    EXPECT_FLOAT_EQ(c.sMin, 0.25f);
    EXPECT_FLOAT_EQ(c.sMax, 0.75f);
}

TEST_F(Feedback, StripsCoverTheTilesWithTheSameTextureRange)
{
    TGLPlane plane;
    plane.SetStyle({psTileTexture});
    plane.SetXTiles(2);
    plane.SetYTiles(3);
    plane.SetYOffset(0.25f);
    const Captured c = capture(plane);
    EXPECT_EQ(c.triangles, 3 * 2 * 2);
    EXPECT_FLOAT_EQ(c.tMin, 0.25f);
    EXPECT_FLOAT_EQ(c.tMax, 3.25f); // three tiles of scope 1 from offset 0.25
    EXPECT_FLOAT_EQ(c.sMax, 2);
    plane.SetYTiles(1);
    const Captured one = capture(plane);
    EXPECT_FLOAT_EQ(one.tMin, 0.25f);
    EXPECT_FLOAT_EQ(one.tMax, 1.25f);
    EXPECT_EQ(one.triangles, 4);
}

TEST_F(Feedback, PointsDrawTheShorterOfPositionsAndColours)
{
    TGLPoints points;
    EXPECT_EQ(capture(points).points, 1); // no positions: one point at the origin
    points.SetPositions({{0, 0, 0}, {0.1f, 0, 0}, {0.2f, 0, 0}, {0.3f, 0, 0}, {0.4f, 0, 0}});
    points.SetColors({{1, 0, 0, 1}, {0, 1, 0, 1}});
    EXPECT_EQ(capture(points).points, 2);
    points.SetColors({{1, 0, 0, 1}});
    EXPECT_EQ(capture(points).points, 5);
}
