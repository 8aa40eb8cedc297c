// The whole box shot: `velmora render --viewer 1000x800 --multiplier 4` run as
// a program (wall time and peak memory), and the same shot in this process
// broken down by stage. Reports only.
//
//   bench_render_to_file_bench [RUNS]

#include "box/BoxScene.h"
#include "box/MainModel.h"
#include "box/RenderShot.h"
#include "engine/SceneBuffer.h"
#include "engine/gl/GLContext.h"
#include "output/resample.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace velmora;

namespace {

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Runs the program; wall milliseconds and its peak resident size in KB.
std::pair<double, long> runProgram(const std::vector<std::string>& args)
{
    const double t = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    const double ms = nowMs() - t;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {-1, 0};
    return {ms, u.ru_maxrss};
}

struct Stages {
    std::vector<std::pair<std::string, double>> marks;
    void mark(const std::string& s) { marks.emplace_back(s, nowMs()); }
};

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string out = "/tmp/velmora-bench-shot.jpg";
    std::printf("velmora render --viewer 1000x800 --multiplier 4 (render bitmap 4000 x 3200, %.1f MB)\n",
                4000.0 * 3200 * 3 / 1e6);
    std::vector<double> walls;
    long peak = 0;
    for (int r = 0; r < runs; ++r) {
        const auto [ms, kb] = runProgram({std::string(VELMORA_BIN_DIR) + "/velmora", "render", "--viewer", "1000x800",
                                          "--multiplier", "4", "-o", out});
        if (ms < 0) {
            std::printf("the program failed\n");
            return 0;
        }
        walls.push_back(ms);
        peak = std::max(peak, kb);
    }
    std::sort(walls.begin(), walls.end());
    std::printf("program: wall min %.0f ms, median %.0f ms over %d runs; peak memory %.0f MB (%.1f x the render "
                "bitmap)\n",
                walls.front(), walls[walls.size() / 2], runs, peak / 1024.0, peak * 1024.0 / (4000.0 * 3200 * 3));

    if (!TGLHeadlessContext::Available()) {
        std::printf("no headless EGL display: no stage breakdown\n");
        return 0;
    }
    // In this process, stage by stage.
    std::map<std::string, std::vector<double>> times;
    for (int r = 0; r < runs; ++r) {
        Stages st;
        st.mark("start");
        TfrmMainModel model(std::string(VELMORA_SOURCE_DIR) + "/resources/", "/tmp/",
                            [](const std::string& f) { return std::make_unique<TBoxScene>(f); });
        model.New1Click();
        TGLSceneBuffer buffer;
        model.scene()->bindViewer(buffer);
        buffer.Resize(1000, 800);
        // Texture upload alone: a render to a 1 x 1 bitmap draws next to nothing.
        {
            TGLBitmap24 tiny(1, 1);
            double t0 = 0;
            buffer.BitmapRenderStage = [&](const char* s) {
                if (std::string(s) == "render") t0 = nowMs();
                if (std::string(s) == "read-back") times["  texture upload (render of 1 x 1)"].push_back(nowMs() - t0);
            };
            buffer.RenderToBitmap(tiny, 384);
        }
        buffer.BitmapRenderStage = [&](const char* s) { st.mark(std::string("bitmap ") + s); };
        TRenderToFileJob job;
        job.Path = out;
        job.Multiplier = 4;
        job.ViewerWidth = 1000;
        job.ViewerHeight = 800;
        job.OutputWidth = 1000;
        job.OutputHeight = 800;
        TRenderToFileHooks hooks;
        hooks.Stage = [&](const char* s) { st.mark(s); };
        st.mark("scene ready");
        RenderSceneToFile(model, &buffer, job, hooks);
        st.mark("end");
        for (std::size_t i = 0; i + 1 < st.marks.size(); ++i)
            times[std::to_string(i / 10) + std::to_string(i % 10) + " " + st.marks[i].first + " .. " +
                  st.marks[i + 1].first]
                .push_back(st.marks[i + 1].second - st.marks[i].second);
    }
    std::printf("in-process stages (min / median ms over %d runs; resize on %s):\n", runs,
                ResampleIsaName(ResampleBestIsa()));
    for (auto& [name, v] : times) {
        std::sort(v.begin(), v.end());
        std::printf("  %-48s %7.1f %7.1f\n", name.c_str(), v.front(), v[v.size() / 2]);
    }
    std::printf("in-process peak memory: %.0f MB\n", peakKb() / 1024.0);
    std::remove(out.c_str());
    return 0;
}
