// The render drawn band by band against the one-piece render of the same
// scene, pixel for pixel, and the framebuffer pages it gives back.

#include "BoxSceneFixture.h"
#include "EngineTestSupport.h"

#include "engine/gl/FramebufferPages.h"
#include "engine/gl/GLContext.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace velmora;
using velmora::test::BoxSceneFixture;

namespace {

TGLBitmap24 onePiece(TGLSceneBuffer& buffer, int w, int h, int dpi)
{
    TGLBitmap24 bmp(w, h);
    buffer.RenderToBitmap(bmp, dpi);
    return bmp;
}

TGLBitmap24 banded(TGLSceneBuffer& buffer, int w, int h, int dpi, int bandRows)
{
    TGLBitmap24 bmp(w, h);
    int next = 0;
    buffer.RenderToBands(w, h, dpi, bandRows, [&](const TGLBitmapBand& b) {
        EXPECT_EQ(b.Top, next);
        EXPECT_EQ(b.Width, w);
        for (int r = 0; r < b.Height; ++r)
            std::memcpy(bmp.pixel(0, b.Top + r), b.Bits + r * b.Stride, std::size_t(w) * 3);
        next = b.Top + b.Height;
    });
    EXPECT_EQ(next, h);
    return bmp;
}

// Pixels that differ, and the first of them.
std::string differences(const TGLBitmap24& a, const TGLBitmap24& b)
{
    long n = 0;
    std::string first;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width; ++x)
            if (std::memcmp(a.pixel(x, y), b.pixel(x, y), 3) != 0 && n++ == 0)
                first = " first at " + std::to_string(x) + "," + std::to_string(y);
    return n == 0 ? "" : std::to_string(n) + " pixels differ;" + first;
}

long residentKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

struct Shot {
    int w, h, dpi;
};

} // namespace

TEST(BandedRender, EveryPixelEqualsTheOnePieceRender)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    // The 492 x 473 viewer at multipliers 1 to 4 and an odd small size, with
    // the reflection, then with the drop shadow on another background and
    // from another side; bands of single rows up to more than the picture.
    const Shot shots[] = {{492, 473, 96}, {984, 946, 192}, {1476, 1419, 288}, {1968, 1892, 384}, {123, 97, 96}};
    for (int scene = 0; scene < 3; ++scene) {
        BoxSceneFixture fx;
        TGLSceneBuffer buffer;
        fx.setUpBuffer(buffer);
        if (scene >= 1) {
            fx.mirror->SetVisible(false);
            fx.shadow->SetVisible(true);
            buffer.SetBackgroundColor(0x00336699);
            fx.focus->SetVisible(true);
        }
        if (scene == 2) {
            fx.camera->SetPosition({-3.1f, 5.2f, 2.9f, 1});
            buffer.SetBackgroundColor(0x00FFFFFE);
        }
        for (const Shot& s : shots) {
            // Each multiplier once; the other scenes at the viewer's size, 4x and small.
            if (scene > 0 && (s.w == 984 || s.w == 1476 || (scene == 2 && s.w == 1968))) continue;
            const TGLBitmap24 whole = onePiece(buffer, s.w, s.h, s.dpi);
            std::vector<int> bandSizes = {333};
            if (s.w < 1000) bandSizes.insert(bandSizes.end(), {s.h / 4, s.h - 1, s.h + 5});
            if (s.w == 123) bandSizes.push_back(1);
            for (int band : bandSizes) {
                const TGLBitmap24 parts = banded(buffer, s.w, s.h, s.dpi, band);
                EXPECT_EQ(differences(whole, parts), "")
                    << "scene " << scene << ", " << s.w << " x " << s.h << " in bands of " << band;
            }
        }
    }
}

TEST(BandedRender, FailuresLeaveTheBufferUsable)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    BoxSceneFixture fx;
    TGLSceneBuffer buffer;
    fx.setUpBuffer(buffer);
    EXPECT_THROW(buffer.RenderToBands(0, 10, 96, 4, [](const TGLBitmapBand&) {}), EPlatformError);
    EXPECT_THROW(buffer.RenderToBands(20000, 10, 96, 4, [](const TGLBitmapBand&) {}), EPlatformError);
    // A band consumer that fails stops the render; the next one is whole.
    int calls = 0;
    EXPECT_THROW(buffer.RenderToBands(200, 100, 96, 30,
                                      [&](const TGLBitmapBand&) {
                                          if (++calls == 2) throw std::runtime_error("disk full");
                                      }),
                 std::runtime_error);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(buffer.Rendering());
    EXPECT_EQ(differences(onePiece(buffer, 200, 100, 96), banded(buffer, 200, 100, 96, 30)), "");
}

TEST(FramebufferPages, AreGivenBackAndTheFramebufferStillDraws)
{
    VELMORA_REQUIRE_HEADLESS_GL();
    if (addressSanitizerBuild()) GTEST_SKIP() << "pages are kept under AddressSanitizer";
    // 3000 x 3000: 36 MB for colour and again for depth, each in memory of
    // its own. Made with its pages given back, the context holds a fraction
    // of that (the first such context also sets the renderer up, so the
    // second is measured).
    {
        TGLHeadlessContext first(3000, 3000, {}, true);
    }
    const long before = residentKb();
    TGLHeadlessContext context(3000, 3000, {}, true);
    const long after = residentKb();
    EXPECT_LT(after - before, 8 * 1024) << "KB resident for the framebuffer";
    context.Activate();
    EXPECT_TRUE(context.releasePixelPages());
    // Cleared and read back as any framebuffer.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 700, 3000, 100);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::vector<std::uint8_t> row(3000 * 4);
    context.readRowsBgra(750, 1, row.data());
    EXPECT_EQ(row[4 * 2999 + 1], 255);
    EXPECT_EQ(row[4 * 2999 + 2], 0);
    context.Deactivate();

    // A context made without the request keeps its pages.
    TGLHeadlessContext plain(300, 200);
    EXPECT_FALSE(plain.releasePixelPages());
}

TEST(FramebufferPages, NewRangesAreTheAddressesNotMappedBefore)
{
    using R = std::vector<TMemoryRange>;
    const R before = {{100, 200}, {300, 400}, {500, 600}};
    // Grown at both ends of one range, filling a gap, and a new one.
    const R after = {{50, 250}, {300, 600}, {700, 800}};
    const R fresh = newMemoryRanges(before, after);
    ASSERT_EQ(fresh.size(), 4u);
    const std::uintptr_t want[4][2] = {{50, 100}, {200, 250}, {400, 500}, {700, 800}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fresh[i].Begin, want[i][0]) << i;
        EXPECT_EQ(fresh[i].End, want[i][1]) << i;
    }
    EXPECT_TRUE(newMemoryRanges(after, after).empty());
    EXPECT_TRUE(newMemoryRanges(after, before).empty());
}
