// Frames of the box scene rendered headless and checked against positions
// computed here from the camera data, not against stored pictures.

#include "engine/EngineTestSupport.h"

#include "engine/GLErrors.h"
#include "engine/gl/GLContext.h"
#include "engine/gl/StateCache.h"
#include "engine/gl/TextureUpload.h"
#include "engine/render/CameraMath.h"
#include "pictures/TextureImage.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>

using namespace velmora;
using velmora::test::BoxSceneFixture;

namespace {

struct Rgb {
    int r, g, b;
};

Rgb at(const TGLBitmap24& bmp, double x, double y)
{
    const int ix = int(std::lround(x)), iy = int(std::lround(y));
    if (ix < 0 || iy < 0 || ix >= bmp.Width || iy >= bmp.Height) return {-1, -1, -1};
    const uint8_t* p = bmp.pixel(ix, iy);
    return {p[2], p[1], p[0]};
}

bool isWhite(Rgb c)
{
    return c.r >= 250 && c.g >= 250 && c.b >= 250;
}

// Where a world point lands in a w x h picture rendered at dpi, computed from
// the camera's position, target and focal length with a plain pinhole model.
struct Projector {
    double ex, ey, ez; // eye
    double f[3], s[3], u[3];
    double nearOverRight, nearOverTop;
    int w, h;

    Projector(const BoxSceneFixture& fx, int w_, int h_, int dpi) : w(w_), h(h_)
    {
        const TVector e = fx.camera->Position().AsVector();
        ex = e.X, ey = e.Y, ez = e.Z;
        double d[3] = {-ex, -ey, -ez}; // the target sits at the origin
        double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (int i = 0; i < 3; ++i) f[i] = d[i] / len;
        const double up[3] = {0, 0, 1};
        s[0] = f[1] * up[2] - f[2] * up[1];
        s[1] = f[2] * up[0] - f[0] * up[2];
        s[2] = f[0] * up[1] - f[1] * up[0];
        len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        for (double& v : s) v /= len;
        u[0] = s[1] * f[2] - s[2] * f[1];
        u[1] = s[2] * f[0] - s[0] * f[2];
        u[2] = s[0] * f[1] - s[1] * f[0];
        const double M = std::max(w, h);
        const double nearPlane = 400.0 * 2 * dpi / (25.4 * M);
        nearOverRight = nearPlane / (w / (2 * M));
        nearOverTop = nearPlane / (h / (2 * M));
    }
    // Pixel position (x to the right, y down from the top row).
    std::pair<double, double> operator()(double x, double y, double z) const
    {
        const double p[3] = {x - ex, y - ey, z - ez};
        const double depth = p[0] * f[0] + p[1] * f[1] + p[2] * f[2];
        const double xs = p[0] * s[0] + p[1] * s[1] + p[2] * s[2];
        const double ys = p[0] * u[0] + p[1] * u[1] + p[2] * u[2];
        const double xn = xs * nearOverRight / depth, yn = ys * nearOverTop / depth;
        return {(xn + 1) * w / 2, (1 - yn) * h / 2};
    }
};

TGLBitmap24 renderScene(BoxSceneFixture& fx, int w, int h, int dpi)
{
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    TGLBitmap24 bmp(w, h);
    buffer.RenderToBitmap(bmp, dpi);
    return bmp;
}

// The front picture, averaged over a small neighbourhood to stand for the
// filtered texture seen at about a third of its size.
struct FrontPicture {
    TGLBitmap32 px;
    explicit FrontPicture(BoxSceneFixture& fx)
    {
        px = convertToBitmap32(*fx.front->Material().Texture().PictureImage().Picture());
    }
    // u from the left edge, v from the top edge, both 0..1.
    Rgb sample(double u, double v) const
    {
        const int cx = int(u * (px.Width - 1)), cy = int((1 - v) * (px.Height - 1));
        long r = 0, g = 0, b = 0, n = 0;
        for (int y = std::max(0, cy - 2); y <= std::min(px.Height - 1, cy + 2); ++y)
            for (int x = std::max(0, cx - 2); x <= std::min(px.Width - 1, cx + 2); ++x) {
                const uint8_t* p = px.scanLine(y) + x * 4;
                r += p[0], g += p[1], b += p[2], ++n;
            }
        return {int(r / n), int(g / n), int(b / n)};
    }
};

int distance(Rgb a, Rgb b)
{
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// The box's eight corners.
std::vector<std::array<double, 3>> boxCorners()
{
    std::vector<std::array<double, 3>> c;
    for (double x : {-0.1, 0.1})
        for (double y : {-0.4, 0.4})
            for (double z : {-0.5, 0.5}) c.push_back({x, y, z});
    return c;
}

} // namespace

TEST(CameraProjection, BoxViewerFrustumAndFieldOfView)
{
    TGLScene scene;
    auto* cam = scene.AddNewObject<TGLCamera>();
    cam->SetFocalLength(400);
    cam->SetDepthOfView(1000);
    const TFrustum f = cameraFrustum(*cam, {0, 0, 492, 473}, 492, 473, 96);
    ASSERT_TRUE(f.Valid);
    EXPECT_NEAR(f.Near, 6.1455733, 1e-6);
    EXPECT_NEAR(f.Far, 1006.1455733, 1e-4);
    EXPECT_NEAR(f.Right, 0.5, 1e-9);
    EXPECT_NEAR(f.Left, -0.5, 1e-9);
    EXPECT_NEAR(f.Top, 0.48069106, 1e-7);
    constexpr double deg = 180 / 3.14159265358979323846;
    EXPECT_NEAR(2 * std::atan(f.Right / f.Near) * deg, 9.3026, 1e-3);
    EXPECT_NEAR(2 * std::atan(f.Top / f.Near) * deg, 8.9448, 1e-3);

    // Four times the size at four times the DPI: the same frustum.
    const TFrustum f4 = cameraFrustum(*cam, {0, 0, 1968, 1892}, 1968, 1892, 384);
    EXPECT_NEAR(f4.Near, f.Near, 1e-5);
    EXPECT_NEAR(f4.Right, f.Right, 1e-9);
    EXPECT_NEAR(f4.Top, f.Top, 1e-9);

    // Doubling the width doubles the horizontal tangent only.
    const TFrustum wide = cameraFrustum(*cam, {0, 0, 984, 473}, 984, 473, 96);
    EXPECT_NEAR(wide.Right / wide.Near, 2 * f.Right / f.Near, 1e-9);
    EXPECT_NEAR(wide.Top / wide.Near, f.Top / f.Near, 1e-9);

    EXPECT_FALSE(cameraFrustum(*cam, {0, 0, 0, 10}, 0, 10, 96).Valid);

    EXPECT_NEAR(fieldOfViewFor(cam, 492, 473), 61.1874, 1e-4);
    setFieldOfViewFor(cam, 492, 473, 61.1874);
    EXPECT_NEAR(cam->FocalLength(), 400, 1e-3);
    EXPECT_EQ(fieldOfViewFor(nullptr, 492, 473), 0);
}

TEST(TextureUpload, SizesArePowersOfTwoWithinTheMaximum)
{
    EXPECT_EQ(textureSizeFor(800, 1010, 8192).Width, 1024);
    EXPECT_EQ(textureSizeFor(800, 1010, 8192).Height, 1024);
    // 166 wide pictures arrive stretched to 168.
    EXPECT_EQ(textureSizeFor(168, 1010, 8192).Width, 256);
    EXPECT_EQ(textureSizeFor(256, 256, 8192).Width, 256);
    EXPECT_EQ(textureSizeFor(4, 1, 8192).Height, 1);
    EXPECT_EQ(textureSizeFor(5000, 300, 2048).Width, 2048);
    EXPECT_EQ(textureSizeFor(5000, 300, 2048).Height, 512);
}

TEST(HeadlessContext, ActivationsMustBalanceAndSizesAreChecked)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    TGLHeadlessContext ctx(8, 8);
    EXPECT_THROW(ctx.Deactivate(), EGLContext);
    ctx.Activate();
    ctx.Activate();
    ctx.Deactivate();
    EXPECT_TRUE(ctx.active());
    ctx.Deactivate();
    EXPECT_THROW(TGLHeadlessContext(0, 5), EPlatformError);
    try {
        TGLHeadlessContext huge(1 << 20, 4);
        FAIL() << "an impossible size was accepted";
    } catch (const EPlatformError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("OS Error : ", 0), 0u);
    }
}

TEST(GLErrors, PendingErrorRaisesWithGluText)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    TGLHeadlessContext ctx(4, 4);
    ctx.Activate();
    glEnable(0x7FFF); // not a capability
    try {
        checkOpenGLError();
        ADD_FAILURE() << "no error raised";
    } catch (const EOpenGLError& e) {
        EXPECT_STREQ(e.what(), "invalid enumerant");
    }
    EXPECT_NO_THROW(checkOpenGLError());
    ctx.Deactivate();
}

class BoxRender : public ::testing::Test {
protected:
    void SetUp() override { VELMORA_REQUIRE_HEADLESS_GL(); }
};

TEST_F(BoxRender, DefaultSceneFramingPictureAndReflection)
{
    BoxSceneFixture fx;
    const TGLBitmap24 bmp = renderScene(fx, 492, 473, 96);
    const Projector proj(fx, 492, 473, 96);

    // The box's outline: every corner, pulled 3 pixels towards the box
    // centre, is covered; pushed 3 pixels out above the box it is white.
    auto [cx, cy] = proj(0, 0, 0);
    for (const auto& c : boxCorners()) {
        auto [x, y] = proj(c[0], c[1], c[2]);
        const double dx = cx - x, dy = cy - y, len = std::hypot(dx, dy);
        EXPECT_FALSE(isWhite(at(bmp, x + 3 * dx / len, y + 3 * dy / len)))
            << "corner " << c[0] << "," << c[1] << "," << c[2];
    }
    // Topmost projected corner: a few pixels above it is background.
    double top = 1e9;
    for (const auto& c : boxCorners()) top = std::min(top, proj(c[0], c[1], c[2]).second);
    EXPECT_TRUE(isWhite(at(bmp, cx, top - 4)));
    // Left and right of the outermost top corners lies background.
    double left = 1e9, right = -1e9, leftY = 0, rightY = 0;
    for (const auto& c : boxCorners()) {
        if (c[2] < 0) continue;
        auto [x, y] = proj(c[0], c[1], c[2]);
        if (x < left) left = x, leftY = y;
        if (x > right) right = x, rightY = y;
    }
    EXPECT_TRUE(isWhite(at(bmp, left - 3, leftY)));
    EXPECT_FALSE(isWhite(at(bmp, left + 3, leftY + 3)));
    EXPECT_TRUE(isWhite(at(bmp, right + 3, rightY)));
    EXPECT_FALSE(isWhite(at(bmp, right - 3, rightY + 3)));
    EXPECT_TRUE(isWhite(at(bmp, 3, 3)));
    EXPECT_TRUE(isWhite(at(bmp, 488, 469)));
}

// A picture of four coloured quadrants: red top left, green top right,
// blue bottom left, yellow bottom right.
void loadQuadrants(TGLTexture& tex)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(256, 256, TPixelFormat::pf24bit);
    for (int y = 0; y < 256; ++y) {
        uint8_t* row = bmp->ScanLine(y); // row 0 is the top row
        for (int x = 0; x < 256; ++x) {
            const bool top = y < 128, left = x < 128;
            const Rgb c = top ? (left ? Rgb{255, 0, 0} : Rgb{0, 255, 0}) : (left ? Rgb{0, 0, 255} : Rgb{255, 255, 0});
            row[x * 3 + 0] = uint8_t(c.b), row[x * 3 + 1] = uint8_t(c.g), row[x * 3 + 2] = uint8_t(c.r);
        }
    }
    tex.PictureImage().Picture()->SetGraphic(std::move(bmp));
    tex.PictureImage().Invalidate();
}

TEST_F(BoxRender, FrontPictureUprightAndItsReflectionHalfBlended)
{
    BoxSceneFixture fx;
    loadQuadrants(fx.front->Material().Texture());
    const TGLBitmap24 bmp = renderScene(fx, 492, 473, 96);
    const Projector proj(fx, 492, 473, 96);
    // Seen from the front, the picture's right edge is the world +Y side
    // and its top row is at the top.
    auto quadrant = [&](double u, double v) {
        auto [x, y] = proj(0.1, -0.4 + 0.8 * u, 0.5 - v);
        return at(bmp, x, y);
    };
    EXPECT_LT(distance(quadrant(0.25, 0.25), {255, 0, 0}), 8);
    EXPECT_LT(distance(quadrant(0.75, 0.25), {0, 255, 0}), 8);
    EXPECT_LT(distance(quadrant(0.25, 0.75), {0, 0, 255}), 8);
    EXPECT_LT(distance(quadrant(0.75, 0.75), {255, 255, 0}), 8);
    // Below the floor the bottom row appears again, mixed half and half
    // with the white background.
    auto [lx, ly] = proj(0.1, -0.2, -0.56);
    EXPECT_LT(distance(at(bmp, lx, ly), {128, 128, 255}), 8);
    auto [rx, ry] = proj(0.1, 0.1, -0.53);
    ASSERT_LT(ry, 472);
    EXPECT_LT(distance(at(bmp, rx, ry), {255, 255, 128}), 8);
}

TEST_F(BoxRender, EnlargedBitmapsKeepOrWidenTheFraming)
{
    BoxSceneFixture fx;
    const Projector p1(fx, 492, 473, 96);
    {
        const TGLBitmap24 bmp = renderScene(fx, 1968, 1892, 384);
        const Projector p4(fx, 1968, 1892, 384);
        for (const auto& c : boxCorners()) {
            auto [x1, y1] = p1(c[0], c[1], c[2]);
            auto [x4, y4] = p4(c[0], c[1], c[2]);
            EXPECT_NEAR(x4, 4 * x1, 0.05);
            EXPECT_NEAR(y4, 4 * y1, 0.05);
        }
        auto [cx, cy] = p4(0, 0, 0);
        for (const auto& c : boxCorners()) {
            auto [x, y] = p4(c[0], c[1], c[2]);
            const double dx = cx - x, dy = cy - y, len = std::hypot(dx, dy);
            EXPECT_FALSE(isWhite(at(bmp, x + 6 * dx / len, y + 6 * dy / len)));
        }
        double top = 1e9;
        for (const auto& c : boxCorners()) top = std::min(top, p4(c[0], c[1], c[2]).second);
        EXPECT_TRUE(isWhite(at(bmp, cx, top - 8)));
    }
    {
        // At 96 DPI the view is four times wider: the box keeps its pixel
        // size and so fills a quarter of the picture's width.
        const TGLBitmap24 bmp = renderScene(fx, 1968, 1892, 96);
        const Projector pw(fx, 1968, 1892, 96);
        auto [cx1, cy1] = p1(0, 0, 0);
        auto [cx, cy] = pw(0, 0, 0);
        for (const auto& c : boxCorners()) {
            auto [x1, y1] = p1(c[0], c[1], c[2]);
            auto [x, y] = pw(c[0], c[1], c[2]);
            EXPECT_NEAR(x - cx, x1 - cx1, 0.05);
            EXPECT_NEAR(y - cy, y1 - cy1, 0.05);
            const double dx = cx - x, dy = cy - y, len = std::hypot(dx, dy);
            EXPECT_FALSE(isWhite(at(bmp, x + 3 * dx / len, y + 3 * dy / len)));
        }
        auto [fx0, fy0] = pw(0.1, 0.45, 0.6);
        EXPECT_TRUE(isWhite(at(bmp, fx0 + 20, fy0 - 20)));
        EXPECT_TRUE(isWhite(at(bmp, 100, 100)));
    }
}

TEST_F(BoxRender, FloorOpacityHidingAndCameraBelowTheFloor)
{
    BoxSceneFixture fx;
    const Projector proj(fx, 492, 473, 96);
    auto [rx, ry] = proj(0.1, 0, -0.55); // reflection of the front face
    auto [bx, by] = proj(0.1, 0, 0);     // the front face itself
    {
        fx.mirror->Material().FrontProperties().Diffuse().SetAlpha(1);
        const TGLBitmap24 bmp = renderScene(fx, 492, 473, 96);
        EXPECT_TRUE(isWhite(at(bmp, rx, ry)));
        EXPECT_FALSE(isWhite(at(bmp, bx, by)));
    }
    {
        // Opacity 0: the reflection at full strength equals the face.
        fx.mirror->Material().FrontProperties().Diffuse().SetAlpha(0);
        const TGLBitmap24 bmp = renderScene(fx, 492, 473, 96);
        const FrontPicture pic(fx);
        EXPECT_LT(distance(at(bmp, rx, ry), pic.sample(0.5, 0.95)), 45);
    }
    {
        fx.mirror->Material().FrontProperties().Diffuse().SetAlpha(0.5f);
        fx.mirror->SetVisible(false);
        const TGLBitmap24 bmp = renderScene(fx, 492, 473, 96);
        EXPECT_TRUE(isWhite(at(bmp, rx, ry)));
        fx.mirror->SetVisible(true);
    }
    {
        // From below the floor neither the reflection nor the floor is
        // drawn; the box is seen from underneath against white.
        fx.camera->SetPosition({5.958f, 4.419f, -3, 1});
        const TGLBitmap24 bmp = renderScene(fx, 492, 473, 96);
        const Projector below(fx, 492, 473, 96);
        double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
        for (const auto& c : boxCorners()) {
            auto [x, y] = below(c[0], c[1], c[2]);
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
        int inside = 0, outside = 0, outsideWhite = 0;
        for (int y = 0; y < 473; y += 3)
            for (int x = 0; x < 492; x += 3) {
                if (x > x0 + 3 && x < x1 - 3 && y > y0 + 3 && y < y1 - 3) {
                    inside += !isWhite(at(bmp, x, y));
                } else if (x < x0 - 2 || x > x1 + 2 || y < y0 - 2 || y > y1 + 2) {
                    ++outside;
                    outsideWhite += isWhite(at(bmp, x, y));
                }
            }
        EXPECT_GT(inside, 1000);          // the box from below
        EXPECT_EQ(outsideWhite, outside); // and nothing of a floor or a reflection around it
    }
}

TEST_F(BoxRender, TexturesUploadOnceAndAlphaZeroLeavesNothing)
{
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    buffer.Resize(492, 473);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(492, 473));
    buffer.Render();
    TGLTexture& tex = fx.front->Material().Texture();
    const uint32_t handle = tex.Handle;
    ASSERT_NE(handle, 0u);
    // What GL holds: 800 x 1010 became a mipmapped 1024 x 1024 RGBA8
    // texture, the 166 x 1010 side (stretched to 168 first) 256 x 1024.
    auto levelSize = [&](uint32_t name, int level) {
        GLint w = 0, h = 0, format = 0;
        buffer.RenderingContext()->Activate();
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glBindTexture(GL_TEXTURE_2D, 0);
        buffer.RenderingContext()->Deactivate();
        return std::array<int, 3>{w, h, format};
    };
    EXPECT_EQ(levelSize(handle, 0), (std::array<int, 3>{1024, 1024, GL_RGBA8}));
    EXPECT_EQ(levelSize(handle, 1)[0], 512); // mipmaps exist
    EXPECT_EQ(levelSize(fx.faces[0]->Material().Texture().Handle, 0), (std::array<int, 3>{256, 1024, GL_RGBA8}));

    // Switching the texture off and on again reuses the upload.
    tex.SetDisabled(true);
    buffer.Render();
    tex.SetDisabled(false);
    buffer.Render();
    EXPECT_EQ(tex.Handle, handle);
    EXPECT_TRUE(tex.Changes().empty());

    // A transparent picture on the front face: its fully transparent
    // texels write neither colour nor depth, so the back face shows through.
    auto bmp32 = std::make_unique<TBitmap>();
    bmp32->SetSize(256, 256, TPixelFormat::pf32bit);
    for (int y = 0; y < 256; ++y) {
        uint8_t* row = bmp32->ScanLine(y);
        for (int x = 0; x < 256; ++x) {
            row[x * 4 + 0] = 0, row[x * 4 + 1] = 0, row[x * 4 + 2] = 255;
            row[x * 4 + 3] = 0;
        }
    }
    tex.PictureImage().Picture()->SetGraphic(std::move(bmp32));
    tex.PictureImage().Invalidate();
    TGLBitmap24 shot(492, 473);
    buffer.RenderToBitmap(shot, 96);
    const Projector proj(fx, 492, 473, 96);
    auto [x, y] = proj(0.1, 0, 0);
    const Rgb c = at(shot, x, y);
    EXPECT_FALSE(isWhite(c));
    EXPECT_FALSE(c.r > 200 && c.g < 60 && c.b < 60) << "transparent texels were drawn";
    EXPECT_EQ(tex.RequiredMemorySize, 256 * 256 * 4); // no resampling of a 256 x 256 picture

    // The viewer's own context renders again after the bitmap render.
    EXPECT_NO_THROW(buffer.Render());
    EXPECT_NE(tex.Handle, 0u);
    buffer.DestroyRenderingContext();
}

TEST_F(BoxRender, RenderToBitmapInsideAFrameIsRefused)
{
    BoxSceneFixture fx(false);
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(32, 32));
    bool refused = false;
    buffer.PostRender = [&](TGLSceneBuffer* b) {
        TGLBitmap24 bmp(8, 8);
        try {
            b->RenderToBitmap(bmp, 96);
        } catch (const EGLAssertion& e) {
            refused = std::string(e.what()) == "Already rendering";
        }
    };
    buffer.Render();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(buffer.Rendering());
}

TEST_F(BoxRender, BitmapRenderLendsTheBufferAndGivesItBackOnEveryWayOut)
{
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(123, 97));
    buffer.Resize(123, 97);
    buffer.Render();
    const int ownDPI = buffer.RenderDPI();
    std::vector<int> dpis;
    std::vector<std::pair<int, int>> viewports;
    bool fail = false;
    int multisampled = 0;
    buffer.BeforeRender = [&](TGLSceneBuffer* b) {
        dpis.push_back(b->RenderDPI());
        viewports.emplace_back(b->Viewport().Width, b->Viewport().Height);
        GLint sampleBuffers = 0;
        glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
        if (b->Viewport().Width != 123) multisampled += sampleBuffers;
        if (fail) throw std::runtime_error("drawing failed");
    };
    std::vector<TGLSceneBuffer*> after;
    buffer.AfterRender = [&](TGLSceneBuffer* b) { after.push_back(b); };
    auto givenBack = [&] {
        EXPECT_FALSE(buffer.Rendering());
        EXPECT_EQ(buffer.Viewport().Width, 123);
        EXPECT_EQ(buffer.Viewport().Height, 97);
        EXPECT_EQ(buffer.RenderDPI(), ownDPI);
    };

    // DPI 0 stands for the screen's.
    const int screen = TGLSceneBuffer::ScreenDPI;
    TGLSceneBuffer::ScreenDPI = 192;
    TGLBitmap24 atZero(246, 194), at192(246, 194);
    buffer.RenderToBitmap(atZero, 0);
    TGLSceneBuffer::ScreenDPI = screen;
    givenBack();
    buffer.RenderToBitmap(at192, 192);
    givenBack();
    EXPECT_EQ(dpis, (std::vector<int>{192, 192}));
    EXPECT_EQ(viewports, (std::vector<std::pair<int, int>>{{246, 194}, {246, 194}}));
    EXPECT_TRUE(atZero.Data == at192.Data);
    EXPECT_EQ(after, (std::vector<TGLSceneBuffer*>{&buffer, &buffer}));
    EXPECT_EQ(multisampled, 0); // the viewer asks for 2x; bitmaps get none

    // A failure inside the drawing: no AfterRender, the bitmap is not
    // filled, and the buffer is its own again.
    fail = true;
    after.clear();
    TGLBitmap24 failed(50, 40);
    failed.Data.assign(failed.Data.size(), 7);
    EXPECT_THROW(buffer.RenderToBitmap(failed, 96), std::runtime_error);
    givenBack();
    EXPECT_TRUE(after.empty());
    EXPECT_TRUE(std::all_of(failed.Data.begin(), failed.Data.end(), [](std::uint8_t v) { return v == 7; }));
    fail = false;
    EXPECT_NO_THROW(buffer.Render());
    EXPECT_EQ(dpis.back(), 96);
    EXPECT_EQ(viewports.back(), (std::pair<int, int>{123, 97}));
    TGLBitmap24 again(50, 40);
    EXPECT_NO_THROW(buffer.RenderToBitmap(again, 96));

    // No context for an empty bitmap: the platform's error, and the buffer
    // is not left rendering.
    TGLBitmap24 empty(0, 5);
    try {
        buffer.RenderToBitmap(empty, 96);
        ADD_FAILURE() << "an empty bitmap was rendered";
    } catch (const EPlatformError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("OS Error : ", 0), 0u) << e.what();
    }
    givenBack();
    EXPECT_NO_THROW(buffer.Render());
    buffer.DestroyRenderingContext();
}

TEST_F(BoxRender, ViewerSizedBitmapAt96DpiIsTheViewersFrame)
{
    // Multiplier 1: the bitmap is the picture the viewer shows, drawn in
    // another context from freshly uploaded textures.
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    auto own = std::make_unique<TGLHeadlessContext>(160, 120);
    TGLHeadlessContext& viewer = *own;
    buffer.SetRenderingContext(std::move(own));
    buffer.Resize(160, 120);
    buffer.Render();
    TGLBitmap24 frame;
    viewer.readPixels(frame);
    TGLBitmap24 shot(160, 120);
    buffer.RenderToBitmap(shot, 96);
    ASSERT_EQ(frame.Width, 160);
    ASSERT_EQ(frame.Height, 120);
    int differing = 0;
    for (std::size_t i = 0; i < shot.Data.size(); ++i) differing += std::abs(shot.Data[i] - frame.Data[i]) > 1;
    EXPECT_EQ(differing, 0);
    // And the viewer's next frame is the same again.
    buffer.Render();
    TGLBitmap24 next;
    viewer.readPixels(next);
    EXPECT_TRUE(next.Data == frame.Data);
    buffer.DestroyRenderingContext();
}

TEST_F(BoxRender, BlendedSiblingsDrawFarthestFirstAndSwitchedOffLightsStayOff)
{
    TGLScene scene;
    auto* target = scene.AddNewObject<TGLDummyCube>();
    // Listed nearest first, so list order and distance order differ.
    auto* nearPlane = scene.AddNewObject<TGLPlane>();
    auto* farPlane = scene.AddNewObject<TGLPlane>();
    nearPlane->SetPosition({0, 0, 7, 1}); // 3 from the eye
    farPlane->SetPosition({0, 0, 5, 1});  // 5 from the eye
    for (auto [plane, colour] : {std::pair{nearPlane, TVector{0, 1, 0, 0.5f}}, {farPlane, TVector{1, 0, 0, 0.5f}}}) {
        plane->Material().FrontProperties().Diffuse().SetColor(colour);
        plane->Material().SetBlendingMode(bmTransparency);
    }
    auto* camera = scene.AddNewObject<TGLCamera>();
    camera->SetPosition({0, 0, 10, 1});
    camera->SetUp({0, 1, 0});
    camera->SetTargetObject(target);
    camera->SetFocalLength(4); // near plane at about 0.94
    auto* off = camera->AddNewChild<TGLLightSource>();
    off->SetShining(false);
    auto* on = camera->AddNewChild<TGLLightSource>();

    TGLSceneBuffer buffer;
    buffer.SetCamera(camera);
    buffer.SetBackgroundColor(clWhite);
    buffer.SetLighting(false); // plain colours, so the blend is exact
    buffer.Resize(32, 32);
    buffer.SetRenderingContext(std::make_unique<TGLHeadlessContext>(32, 32));
    buffer.Render();
    TGLBitmap24 bmp;
    static_cast<TGLHeadlessContext*>(buffer.RenderingContext())->readPixels(bmp);
    // Red over white, then green over that: (128, 191, 64); the other order
    // would give (191, 128, 64).
    EXPECT_LT(distance(at(bmp, 16, 16), {128, 191, 64}), 3);

    buffer.RenderingContext()->Activate();
    ASSERT_GE(off->LightID(), 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + off->LightID()));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + on->LightID()));
    buffer.RenderingContext()->Deactivate();
    buffer.DestroyRenderingContext();
}

TEST_F(BoxRender, PointOfFocusShowsItsAxesOnlyWhenVisible)
{
    BoxSceneFixture fx(false);
    const Projector proj(fx, 492, 473, 96);
    auto redAlongX = [&](const TGLBitmap24& bmp) {
        int red = 0;
        for (double x = 0.3; x < 1.2; x += 0.01) {
            auto [px, py] = proj(x, 0, 0);
            const Rgb c = at(bmp, px, py);
            red += c.r > 200 && c.g < 80 && c.b < 80;
        }
        return red;
    };
    EXPECT_EQ(redAlongX(renderScene(fx, 492, 473, 96)), 0);
    fx.focus->SetVisible(true);
    // A dashed one-pixel line: some of the samples hit a dash.
    EXPECT_GT(redAlongX(renderScene(fx, 492, 473, 96)), 4);
}
