// FilteredResize with "Triangle" against libvips (vips_resize, linear kernel,
// gap 0) and Pillow (BILINEAR), and against the plain version kept in the
// tests as the oracle. Every contender works on the same in-memory picture;
// the contenders take turns in each round, and the minimum and median of
// the rounds are reported. Output: one line per size and contender.
//
//   bench_resample_bench [ROUNDS]

#include "../tests/output/ResampleOracle.h"

#include "output/resample.h"

#ifdef VELMORA_HAVE_VIPS
#include <vips/vips.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace velmora;

namespace {

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The same pattern the Pillow helper makes.
TGLBitmap24 pattern(int w, int h)
{
    TGLBitmap24 img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = img.pixel(x, y);
            p[0] = std::uint8_t((x * 7 + y * 3) & 255);
            p[1] = std::uint8_t((x ^ y) & 255);
            p[2] = std::uint8_t(((x + y) >> 2) & 255);
        }
    return img;
}

// The Pillow helper as a child process talking over pipes.
class Pillow {
public:
    Pillow()
    {
        int in[2], out[2];
        if (pipe(in) || pipe(out)) return;
        pid = fork();
        if (pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            const std::string script = std::string(VELMORA_SOURCE_DIR) + "/bench/pillow_resize.py";
            execl("/usr/bin/python3", "python3", script.c_str(), nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to = fdopen(in[1], "w");
        from = fdopen(out[0], "r");
    }
    ~Pillow()
    {
        if (to) {
            std::fputs("quit\n", to);
            std::fclose(to);
        }
        if (from) std::fclose(from);
    }
    bool load(int sw, int sh, int dw, int dh)
    {
        if (!to) return false;
        std::fprintf(to, "load %d %d %d %d\n", sw, sh, dw, dh);
        std::fflush(to);
        char line[64];
        return std::fgets(line, sizeof line, from) && std::strncmp(line, "ok", 2) == 0;
    }
    double run()
    {
        std::fputs("run\n", to);
        std::fflush(to);
        char line[64];
        if (!std::fgets(line, sizeof line, from)) return -1;
        return std::atof(line);
    }

private:
    pid_t pid = -1;
    std::FILE* to = nullptr;
    std::FILE* from = nullptr;
};

struct Contender {
    std::string name;
    std::function<double()> run; // milliseconds
    std::vector<double> times;
};

void report(const std::string& size, std::vector<Contender>& cs)
{
    for (auto& c : cs) {
        if (c.times.empty()) continue;
        std::sort(c.times.begin(), c.times.end());
        std::printf("%-28s %-34s min %8.2f ms   median %8.2f ms   (%zu rounds)\n", size.c_str(), c.name.c_str(),
                    c.times.front(), c.times[c.times.size() / 2], c.times.size());
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
#ifdef VELMORA_HAVE_VIPS
    if (VIPS_INIT(argv[0])) return 1;
    vips_cache_set_max(0); // every round really resizes
#endif
    Pillow pillow;
    std::printf("resize with Triangle; best vector path here: %s, %u processors\n", resampleIsaName(resampleBestIsa()),
                std::thread::hardware_concurrency());

    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{2000, 1600, 500, 400}, {1968, 1892, 492, 473}, {7680, 4320, 1920, 1080}};
    for (const auto& s : sizes) {
        TGLBitmap24 src = pattern(s.sw, s.sh), dst(s.dw, s.dh), want(s.dw, s.dh);
        oracle::FilteredResize(src.view(), want.view(), triangleFilter, 1.0f);
        std::vector<Contender> cs;
        auto velmora = [&](const char* name, TResampleIsa isa, int threads) {
            cs.push_back({name,
                          [&, isa, threads] {
                              TResampleOptions o;
                              o.Isa = isa;
                              o.Threads = threads;
                              const double t = nowMs();
                              FilteredResize(src.view(), dst.view(), triangleFilter, 1.0f, {}, o);
                              return nowMs() - t;
                          },
                          {}});
        };
        velmora("FilteredResize (best, all cores)", resampleBestIsa(), 0);
        velmora("FilteredResize (best, 1 thread)", resampleBestIsa(), 1);
        if (resampleIsaSupported(TResampleIsa::Avx2)) velmora("FilteredResize (AVX2)", TResampleIsa::Avx2, 0);
        velmora("FilteredResize (x86-64 plain)", TResampleIsa::Generic, 0);
        cs.push_back({"plain oracle (before)",
                      [&] {
                          const double t = nowMs();
                          oracle::FilteredResize(src.view(), dst.view(), triangleFilter, 1.0f);
                          return nowMs() - t;
                      },
                      {}});
#ifdef VELMORA_HAVE_VIPS
        VipsImage* in =
            vips_image_new_from_memory(src.pixel(0, 0), std::size_t(s.sw) * s.sh * 3, s.sw, s.sh, 3, VIPS_FORMAT_UCHAR);
        cs.push_back({"libvips vips_resize linear",
                      [&] {
                          const double t = nowMs();
                          VipsImage* out = nullptr;
                          if (vips_resize(in, &out, double(s.dw) / s.sw, "vscale", double(s.dh) / s.sh, "kernel",
                                          VIPS_KERNEL_LINEAR, "gap", 0.0, nullptr))
                              return -1.0;
                          std::size_t size = 0;
                          void* mem = vips_image_write_to_memory(out, &size);
                          const double ms = nowMs() - t;
                          g_free(mem);
                          g_object_unref(out);
                          return ms;
                      },
                      {}});
#endif
        const bool havePillow = pillow.load(s.sw, s.sh, s.dw, s.dh);
        if (havePillow) cs.push_back({"Pillow BILINEAR", [&] { return pillow.run(); }, {}});

        // Warm-up, and the exactness check of the fast path.
        for (auto& c : cs) c.run();
        FilteredResize(src.view(), dst.view(), triangleFilter, 1.0f);
        const bool exact = std::memcmp(dst.pixel(0, 0), want.pixel(0, 0), std::size_t(s.dw) * s.dh * 3) == 0;
        const int n = s.sw > 4000 ? std::max(3, rounds / 2) : rounds;
        for (int r = 0; r < n; ++r)
            for (auto& c : cs) {
                const double ms = c.run();
                if (ms >= 0) c.times.push_back(ms);
            }
        const std::string size = std::to_string(s.sw) + "x" + std::to_string(s.sh) + " -> " + std::to_string(s.dw) +
            "x" + std::to_string(s.dh);
        report(size, cs);
        std::printf("%-28s fast output equals the oracle: %s\n", size.c_str(), exact ? "yes" : "NO");
#ifdef VELMORA_HAVE_VIPS
        g_object_unref(in);
#endif
    }
#ifdef VELMORA_HAVE_VIPS
    vips_shutdown();
#endif
    return 0;
}
