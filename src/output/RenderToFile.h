#pragma once
// Rendering the box shot to a file: the scene rendered offscreen at a
// multiple of the viewer's size and DPI, filtered down to the output size
// with the "Triangle" kernel and written as JPEG (quality 90), BMP or PNG.

#include "output/ShotFile.h"

#include <functional>
#include <string>

namespace velmora {

class TGLSceneBuffer;

struct TRenderToFileJob {
    std::string Path;
    float Multiplier = 4; // 1..4 in practice
    int ViewerWidth = 0;  // the viewer's size in pixels
    int ViewerHeight = 0;
    int OutputWidth = 0; // the shot's size (the viewer's unless a new size is set)
    int OutputHeight = 0;
    bool BmpFilterChosen = false; // "Bitmaps (*.bmp)" was chosen in the dialog
    bool PngAllowed = false;      // ".png" names a PNG file (command line)
};

// What the caller maps to its window or terminal. Every member may be empty.
struct TRenderToFileHooks {
    std::function<void(int)> SetProgress;  // the progress bar's position, 0..100
    std::function<void()> ProcessMessages; // let pending window messages run
    std::function<void(const std::string&)> ShowMessage;
    // Called as each stage begins ("render", "resize", "encode", "write")
    // and with "done" at the end; benchmarks time the stages with it.
    std::function<void(const char*)> Stage;
};

struct TRenderToFileResult {
    std::string WrittenPath; // the .bmp path when the JPEG fall-back was taken
    TShotFormat Format = TShotFormat::Jpeg;
    bool FellBackToBmp = false;
    int RenderWidth = 0, RenderHeight = 0, RenderDPI = 0;
};

// Sizes of the render bitmap: round(m x viewer size), DPI round(m x 96).
int renderLength(float multiplier, int viewerLength);
int renderDPIFor(float multiplier);
// Rows per band of the render (see TGLSceneBuffer::RenderToBands).
int shotBandRows(int renderWidth, int renderHeight);

// The message shown when a JPEG cannot be written and BMP is written instead.
extern const char* const kJpegFallbackMessage;

// Renders `buffer`'s scene (its camera, background and settings) and writes
// the file. Errors of the render, the resize and the BMP writer propagate;
// the progress is left at 0 on every way out; nothing partial is written.
TRenderToFileResult renderToFile(TGLSceneBuffer& buffer, const TRenderToFileJob& job,
                                 const TRenderToFileHooks& hooks = {});

} // namespace velmora
