#include "output/RenderToFile.h"

#include "engine/SceneBuffer.h"
#include "output/BmpWriter.h"
#include "output/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace velmora {

const char* const kJpegFallbackMessage = "System out of resources.  Saving as bitmap instead.";

int renderLength(float multiplier, int viewerLength)
{
    return static_cast<int>(std::nearbyint(double(multiplier) * viewerLength));
}

int shotBandRows(int renderWidth, int renderHeight)
{
    // About 8 MB of colour and depth per band, in whole 64-row tiles of the
    // rasteriser: a few bands for a large shot, one for a viewer-sized one.
    const std::int64_t rows = (std::int64_t(8) << 20) / (std::int64_t(std::max(1, renderWidth)) * 8) / 64 * 64;
    return int(std::clamp<std::int64_t>(rows, 64, std::max(1, renderHeight)));
}

int renderDPIFor(float multiplier)
{
    return static_cast<int>(std::nearbyint(double(multiplier) * 96.0));
}

namespace {

// Largest side a render or a shot may have; far beyond any screen, small
// enough that sizes cannot overflow and memory is asked for honestly.
constexpr int kMaxSide = 32768;

void checkSize(const char* what, int w, int h, int maxSide)
{
    if (w < 1 || h < 1 || w > maxSide || h > maxSide || std::int64_t(w) * h > MaxPicturePixels)
        throw EPictureError(std::string("The ") + what + " of " + std::to_string(w) + " x " + std::to_string(h) +
                            " pixels cannot be rendered (each side must be 1 to " + std::to_string(maxSide) +
                            " pixels, " + std::to_string(MaxPicturePixels) + " pixels in all)");
}

} // namespace

TRenderToFileResult renderToFile(TGLSceneBuffer& buffer, const TRenderToFileJob& job, const TRenderToFileHooks& hooks)
{
    auto progress = [&](int p) {
        if (hooks.SetProgress) hooks.SetProgress(p);
    };
    auto messages = [&] {
        if (hooks.ProcessMessages) hooks.ProcessMessages();
    };
    auto stage = [&](const char* s) {
        if (hooks.Stage) hooks.Stage(s);
    };
    // The bar ends at 0 however the render ends.
    struct ProgressReset {
        const std::function<void(int)>& set;
        ~ProgressReset()
        {
            if (set) set(0);
        }
    } reset{hooks.SetProgress};

    TRenderToFileResult result;
    progress(15);
    result.RenderWidth = renderLength(job.Multiplier, job.ViewerWidth);
    result.RenderHeight = renderLength(job.Multiplier, job.ViewerHeight);
    result.RenderDPI = renderDPIFor(job.Multiplier);
    if (!(job.Multiplier > 0)) throw EPictureError("The antialiasing multiplier must be positive");
    checkSize("render", result.RenderWidth, result.RenderHeight, kMaxSide);
    checkSize("picture", job.OutputWidth, job.OutputHeight, MaxPictureSide);
    // A target that cannot be written fails now, not after the render.
    checkShotTarget(job.Path);
    result.Format = shotFormatFor(job.Path, job.BmpFilterChosen, job.PngAllowed);

    TGLBitmap24 output(job.OutputWidth, job.OutputHeight);
    {
        // The render comes in bands and each band is filtered as it comes,
        // so neither GL's buffers nor the render bitmap are ever held whole.
        const TFilterEntry& triangle = ResizeFilterTable[1];
        TResizeStream resize(result.RenderWidth, result.RenderHeight, output.view(), triangle.Filter, triangle.Width,
                             hooks.SetProgress);
        progress(50);
        messages();
        stage("render");
        bool first = true;
        buffer.RenderToBands(result.RenderWidth, result.RenderHeight, result.RenderDPI,
                             shotBandRows(result.RenderWidth, result.RenderHeight), [&](const TGLBitmapBand& band) {
                                 if (first) {
                                     first = false;
                                     progress(100);
                                     stage("resize");
                                 }
                                 resize.addRows(band.Bits, band.Height, band.Stride);
                             });
        resize.finish();
    }

    const TRgbRows rows = std::as_const(output).view();
    result.WrittenPath = job.Path;
    if (result.Format != TShotFormat::Jpeg) {
        stage("encode");
        std::vector<std::uint8_t> bytes = encodeShot(rows, result.Format);
        stage("write");
        writeFileReplacing(job.Path, bytes);
        messages();
    } else {
        try {
            stage("encode");
            messages();
            std::vector<std::uint8_t> bytes = encodeShot(rows, TShotFormat::Jpeg);
            messages();
            stage("write");
            writeFileReplacing(job.Path, bytes);
            messages();
        } catch (const std::exception&) {
            if (hooks.ShowMessage) hooks.ShowMessage(kJpegFallbackMessage);
            result.WrittenPath = withBmpExtension(job.Path);
            result.Format = TShotFormat::Bmp;
            result.FellBackToBmp = true;
            writeFileReplacing(result.WrittenPath, encodeBmp24(rows));
            messages();
        }
    }
    stage("done");
    messages();
    return result;
}

} // namespace velmora
