// Face editor speed: dragging a layer (one mouse move and the repaint), one
// repaint of the editor's canvas, composing the face at
// full size, and laying a 4096 x 4096 layer with varied alpha over another
// (our row blend, pixman's OVER, and the plain per-pixel formula), and the
// master-alpha and resampler kernels with and without AVX2. Contenders
// run interleaved, round by round; minimum and median are reported.
// Usage: bench_face_bench [ROUNDS [canvas]]

#include "faceeditor/Blend.h"
#include "faceeditor/FaceDocument.h"
#include "faceeditor/FontServices.h"

#ifdef VELMORA_HAVE_PIXMAN
#include <pixman.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace velmora;

namespace {

struct Contender {
    std::string name;
    std::function<void()> run;
    std::vector<double> ms;
    std::vector<double> cpu; // processor time of all threads
};

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void race(const char* title, std::vector<Contender>& cs, int rounds)
{
    for (int r = 0; r < rounds; ++r)
        for (auto& c : cs) {
            const double c0 = cpuMs();
            const auto t0 = std::chrono::steady_clock::now();
            c.run();
            const auto t1 = std::chrono::steady_clock::now();
            c.cpu.push_back(cpuMs() - c0);
            c.ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
    std::printf("%s (%d rounds)\n", title, rounds);
    for (auto& c : cs) {
        std::sort(c.ms.begin(), c.ms.end());
        std::sort(c.cpu.begin(), c.cpu.end());
        std::printf("  %-36s min %8.3f ms  median %8.3f ms  (processor time: min %8.3f, median %8.3f ms)\n",
                    c.name.c_str(), c.ms.front(), c.ms[c.ms.size() / 2], c.cpu.front(), c.cpu[c.cpu.size() / 2]);
    }
}

// A smooth photo-like picture, cheap to make.
void photo(TBitmap32& b)
{
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const int r = int(127 + 120 * std::sin(x * 0.0031 + y * 0.0017));
            const int g = int(127 + 120 * std::sin(x * 0.0023 - y * 0.0041 + 1));
            const int bl = (x * 7 + y * 3) & 255;
            b.Pixel(x, y) = color32(r, g, bl);
        }
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    ensureFontServices();

    // The editor's canvas: 919 x 1124 at 35 % in a 555 x 480 view.
    TImgView32Model view;
    TFaceDocument doc(view);
    view.setViewSize(555, 480);
    doc.StartNewImage(919, 1124, 0xFFFFFFFF);
    view.setScale(0.35f);
    TBitmap32 big(3000, 2000), none;
    photo(big);
    TBitmapLayer* photoLayer = doc.addRGBALayer(big, none);
    doc.setInterpolated(true);
    doc.placeSelection({60, 330, 859, 863});
    doc.TextFont.Name = "DejaVu Sans";
    doc.TextFont.Height = 92;
    doc.addTextLayer();
    doc.captionChange("Velmora Studio");
    doc.setInterpolated(true);
    doc.placeSelection({70, 120, 780, 230});
    TBitmap32 glow(320, 320), mask(320, 320);
    glow.FillAll(0xFFFFD166);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 320; ++x) {
            const double d = std::hypot(x - 160.0, y - 160.0) / 160.0;
            mask.Pixel(x, y) = GrayPixel(int(255 * std::max(0.0, 1 - d)), 255);
        }
    doc.addRGBALayer(glow, mask);
    doc.setInterpolated(true);
    doc.placeSelection({560, 40, 880, 360});

    // A drag of the photo by its frame: the press once, then each step is one
    // mouse move of the rubber band (6 view pixels, back and forth) and the
    // repaint of the view's buffer.
    bool pressed = false;
    int dragX = 0, dragY = 0, dragStep = 6;
    auto dragOnce = [&] {
        if (doc.SelectedLayer() != photoLayer) {
            doc.SelectLayer(photoLayer);
            pressed = false;
        }
        if (!pressed) {
            const TFloatRect p = photoLayer->Placement();
            dragX = int(view.OffsetX() + (p.Left + p.Right) / 2 * view.Scale());
            dragY = int(view.OffsetY() + (p.Top + p.Bottom) / 2 * view.Scale());
            if (view.mouseDown(mbLeft, ssLeft, dragX, dragY) != doc.Rubberband()) {
                std::fprintf(stderr, "the press missed the frame\n");
                std::exit(1);
            }
            pressed = true;
        }
        dragX += dragStep;
        dragY += dragStep;
        dragStep = -dragStep;
        view.mouseMove(ssLeft, dragX, dragY);
        view.Paint();
    };

    // A drag repaints with the frame on the photo.
    std::vector<Contender> canvas = {
        {"drag: mouse move + repaint", dragOnce},
        {"repaint 555x480 view at 35%",
         [&] {
             if (doc.SelectedLayer() != photoLayer) doc.SelectLayer(photoLayer);
             view.changed();
             view.Paint();
         }},
        {"repaint, SSE2 only",
         [&] {
             blend::setWideVectors(false);
             if (doc.SelectedLayer() != photoLayer) doc.SelectLayer(photoLayer);
             view.changed();
             view.Paint();
             blend::setWideVectors(true);
         }},
        {"repaint, SSE2 only, 1 thread",
         [&] {
             blend::setWideVectors(false);
             blend::setRasterThreads(1);
             if (doc.SelectedLayer() != photoLayer) doc.SelectLayer(photoLayer);
             view.changed();
             view.Paint();
             blend::setWideVectors(true);
             blend::setRasterThreads(2);
         }},
        {"ComposeInto 919x1124 (flatten/save)",
         [&] {
             TBitmap32 out(919, 1124);
             view.ComposeInto(out, out.BoundsRect());
         }},
    };
    view.Paint();
    {
        // The drag really moves the photo (and the next step brings it back).
        const TFloatRect start = photoLayer->Placement();
        dragOnce();
        const bool moved = !(photoLayer->Placement() == start);
        dragOnce();
        if (!moved || !(photoLayer->Placement() == start)) {
            std::fprintf(stderr, "the drag did not move the photo there and back\n");
            return 1;
        }
    }
    race("Face editor canvas: photo 3000x2000 linear, text, alpha layer", canvas, rounds);
    if (pressed) view.mouseUp(mbLeft, ssLeft, dragX, dragY);
    {
        const auto& d = canvas.front().ms; // sorted by race
        std::printf("  drag: %.1f repaints/s at best, %.1f median\n", 1000.0 / d.front(), 1000.0 / d[d.size() / 2]);
    }
    if (argc > 2 && std::string(argv[2]) == "canvas") return 0; // for profiling

    // 4096 x 4096 with varied alpha over an opaque picture.
    const int n = 4096;
    TBitmap32 src(n, n), dst1(n, n), dst2(n, n), dst3(n, n), dst4(n, n), dst5(n, n);
    std::mt19937 rng(5);
    for (int i = 0; i < n * n; ++i) {
        src.Bits()[i] = rng();
        dst1.Bits()[i] = dst2.Bits()[i] = dst3.Bits()[i] = dst4.Bits()[i] = dst5.Bits()[i] = rng() | 0xFF000000u;
    }
    src.SetDrawMode(dmBlend);
    std::vector<Contender> blend = {
        {"DrawAt dmBlend (2 threads)", [&] { src.DrawAt(dst1, 0, 0); }},
        {"DrawAt dmBlend (1 thread)",
         [&] {
             const int threads = blend::RasterThreads();
             blend::setRasterThreads(1);
             src.DrawAt(dst4, 0, 0);
             blend::setRasterThreads(threads);
         }},
        {"DrawAt dmBlend (1 thread, SSE2)",
         [&] {
             const int threads = blend::RasterThreads();
             blend::setRasterThreads(1);
             blend::setWideVectors(false);
             src.DrawAt(dst5, 0, 0);
             blend::setWideVectors(true);
             blend::setRasterThreads(threads);
         }},
        {"per-pixel formula",
         [&] {
             const TColor32* f = src.Bits();
             TColor32* b = dst3.Bits();
             for (int i = 0; i < n * n; ++i) b[i] = blend::blendPixel(f[i], b[i]);
         }},
    };
#ifdef VELMORA_HAVE_PIXMAN
    pixman_image_t* ps = pixman_image_create_bits(PIXMAN_a8r8g8b8, n, n, src.Bits(), n * 4);
    pixman_image_t* pd = pixman_image_create_bits(PIXMAN_a8r8g8b8, n, n, dst2.Bits(), n * 4);
    blend.insert(blend.begin() + 3,
                 Contender{"pixman OVER (premultiplied)",
                           [&] { pixman_image_composite32(PIXMAN_OP_OVER, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, n, n); }});
#endif
    race("Blend a 4096x4096 layer with varied alpha", blend, std::max(3, rounds / 2));
#ifdef VELMORA_HAVE_PIXMAN
    pixman_image_unref(ps);
    pixman_image_unref(pd);
#endif

    // The other row kernels, each with and without AVX2, on one thread: the
    // master-alpha blend and the filtered resampler's row and column passes.
    const int threads = blend::RasterThreads();
    blend::setRasterThreads(1);
    TBitmap32 half(n, n), shot(919, 613);
    for (int i = 0; i < n * n; ++i) half.Bits()[i] = src.Bits()[i];
    half.SetDrawMode(dmBlend);
    half.SetMasterAlpha(128);
    big.SetDrawMode(dmBlend);
    big.SetMasterAlpha(200);
    big.SetStretchFilter(sfLinear); // a reduction goes through the resampler
    auto both = [](const char* name, std::function<void()> run) {
        return std::vector<Contender>{{std::string(name) + ", AVX2", run}, {std::string(name) + ", SSE2", [run] {
                                                                                blend::setWideVectors(false);
                                                                                run();
                                                                                blend::setWideVectors(true);
                                                                            }}};
    };
    std::vector<Contender> kernels = both("DrawAt 4096x4096 master alpha 128", [&] { half.DrawAt(dst4, 0, 0); });
    for (auto& c : both("resample 3000x2000 -> 919x613", [&] { big.DrawStretched(shot, shot.BoundsRect()); }))
        kernels.push_back(c);
    race("Row kernels, 1 thread", kernels, std::max(3, rounds / 2));
    blend::setRasterThreads(threads);
    return 0;
}
