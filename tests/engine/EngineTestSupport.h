#pragma once
// Helpers shared by the engine's tests and the box tests that render: the
// box scene fixture, the headless GL guard, a buffer that counts change
// reports, picture compares.

#include "BoxSceneFixture.h"
#include "TestSupport.h"
#include "engine/SceneBuffer.h"
#include "engine/gl/GLContext.h"

#include <gtest/gtest.h>

#include <cstddef>

// Skips the test where no headless GL display can be had; with CI set that
// is a failure instead, so a broken runner cannot pass by skipping.
#define VELMORA_REQUIRE_HEADLESS_GL()                                                                                  \
    VELMORA_REQUIRE(::velmora::TGLHeadlessContext::available(), "no headless EGL display")

namespace velmora::test {

// Counts the change reports a scene passes to its buffers.
struct CountingBuffer : TGLSceneBuffer {
    int changes = 0;
    void NotifyChange(TGLBaseSceneObject*) override { ++changes; }
};

// How many bytes of two pictures of the same size differ.
inline std::size_t differingBytes(const TGLBitmap24& a, const TGLBitmap24& b)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.Data.size() && i < b.Data.size(); ++i) n += a.Data[i] != b.Data[i];
    return n;
}

} // namespace velmora::test
