// The whole box shot: `velmora render --viewer 1000x800 --multiplier 4` run as
// a program (wall time and peak memory), and the same shot in a fresh child
// process broken down by stage, with the memory at each stage boundary.
// Reports only.
//
//   bench_render_to_file_bench [RUNS] [--marks] [OTHER_VELMORA ...]
//
// Other velmora binaries (an older build, say) are run in turn with this
// build's, round by round, so their figures are taken under the same load.

#include "box/BoxScene.h"
#include "box/MainModel.h"
#include "box/RenderShot.h"
#include "engine/SceneBuffer.h"
#include "engine/gl/GLContext.h"
#include "output/resample.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace velmora;

namespace {

constexpr double kBitmapMB = 4000.0 * 3200 * 3 / 1e6;

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The memory figures of /proc/PID/status, in KB.
struct Memory {
    long Rss = 0, Hwm = 0, Anon = 0, File = 0;
};

Memory readMemory(const std::string& statusPath)
{
    Memory m;
    std::ifstream in(statusPath);
    std::string key;
    long value = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        if (!(s >> key >> value)) continue;
        if (key == "VmRSS:") m.Rss = value;
        if (key == "VmHWM:") m.Hwm = value;
        if (key == "RssAnon:") m.Anon = value;
        if (key == "RssFile:") m.File = value;
    }
    return m;
}

struct ProgramRun {
    double Ms = -1;
    long MaxRssKb = 0;
    long PeakAnonKb = 0; // sampled every half millisecond
    long PeakFileKb = 0;
};

// Runs the program, watching its memory while it runs.
ProgramRun runProgram(const std::vector<std::string>& args)
{
    ProgramRun run;
    const double t = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    int st = 0;
    rusage u{};
    for (;;) {
        const pid_t done = wait4(pid, &st, WNOHANG, &u);
        if (done == pid) break;
        const Memory m = readMemory(status);
        run.PeakAnonKb = std::max(run.PeakAnonKb, m.Anon);
        run.PeakFileKb = std::max(run.PeakFileKb, m.File);
        usleep(500);
    }
    const double ms = nowMs() - t;
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) return run;
    run.Ms = ms;
    run.MaxRssKb = u.ru_maxrss;
    return run;
}

template <class T> T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class T> T minimum(const std::vector<T>& v)
{
    return *std::min_element(v.begin(), v.end());
}

// One shot in this process, as the command line makes it; writes one line
// per stage boundary: name, milliseconds since start, VmRSS, VmHWM, RssAnon,
// RssFile.
void profileShot(int fd, const std::string& out)
{
    const double t0 = nowMs();
    std::string report;
    auto mark = [&](const std::string& name) {
        const Memory m = readMemory("/proc/self/status");
        char line[200];
        std::snprintf(line, sizeof line, "%s\t%.3f\t%ld\t%ld\t%ld\t%ld\n", name.c_str(), nowMs() - t0, m.Rss, m.Hwm,
                      m.Anon, m.File);
        report += line;
    };
    mark("start");
    TfrmMainModel model(std::string(VELMORA_SOURCE_DIR) + "/resources/", "/tmp/",
                        [](const std::string& f) { return std::make_unique<TBoxScene>(f); });
    model.New1Click();
    TGLSceneBuffer buffer;
    model.scene()->bindViewer(buffer);
    buffer.Resize(1000, 800);
    mark("scene ready");
    buffer.BitmapRenderStage = [&](const char* s) { mark(std::string("bitmap ") + s); };
    // Draw calls are queued and the textures uploaded before this point;
    // the rasteriser runs at the glFinish that follows.
    buffer.WrapUpRendering = [&](TGLSceneBuffer*, TRenderContextInfo&) { mark("bitmap drawn (uploads done)"); };
    TRenderToFileJob job;
    job.Path = out;
    job.Multiplier = 4;
    job.ViewerWidth = 1000;
    job.ViewerHeight = 800;
    job.OutputWidth = 1000;
    job.OutputHeight = 800;
    TRenderToFileHooks hooks;
    hooks.Stage = [&](const char* s) { mark(s); };
    renderSceneToFile(model, &buffer, job, hooks);
    mark("end");
    std::size_t off = 0;
    while (off < report.size()) {
        const ssize_t n = write(fd, report.data() + off, report.size() - off);
        if (n <= 0) break;
        off += std::size_t(n);
    }
}

struct Mark {
    std::string Name;
    double Ms;
    long Rss, Hwm, Anon, File;
};

std::vector<Mark> profileInChild(const std::string& out)
{
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        try {
            profileShot(fds[1], out);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "shot failed: %s\n", e.what());
            _exit(1);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, std::size_t(n));
    close(fds[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    std::vector<Mark> marks;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        Mark m;
        std::istringstream s(line);
        std::getline(s, m.Name, '\t');
        s >> m.Ms >> m.Rss >> m.Hwm >> m.Anon >> m.File;
        marks.push_back(m);
    }
    return marks;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<std::string> programs{std::string(VELMORA_BIN_DIR) + "/velmora"};
    bool raw = false; // --marks: every stage boundary of the first in-process shot as well
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--marks")
            raw = true;
        else
            programs.emplace_back(argv[i]);
    }
    const std::string out = "/tmp/velmora-bench-shot.jpg";
    std::printf("velmora render --viewer 1000x800 --multiplier 4 (render bitmap 4000 x 3200, %.1f MB; target: peak "
                "under %.0f MB)\n",
                kBitmapMB, 5 * kBitmapMB);

    std::vector<std::vector<ProgramRun>> results(programs.size());
    for (int r = 0; r < runs; ++r)
        for (std::size_t p = 0; p < programs.size(); ++p)
            results[p].push_back(
                runProgram({programs[p], "render", "--viewer", "1000x800", "--multiplier", "4", "-o", out}));
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::vector<double> ms;
        std::vector<long> rss, anon, file;
        for (const ProgramRun& run : results[p]) {
            if (run.Ms < 0) continue;
            ms.push_back(run.Ms);
            rss.push_back(run.MaxRssKb);
            anon.push_back(run.PeakAnonKb);
            file.push_back(run.PeakFileKb);
        }
        if (ms.empty()) {
            std::printf("%s: failed\n", programs[p].c_str());
            continue;
        }
        std::printf("%s\n  wall min %.0f ms, median %.0f ms over %zu runs\n", programs[p].c_str(), minimum(ms),
                    median(ms), ms.size());
        std::printf("  peak (maxrss = VmHWM) min %.1f MB, median %.1f MB = %.2f x the render bitmap\n",
                    minimum(rss) / 1024.0, median(rss) / 1024.0, median(rss) * 1.024 / 1000 / kBitmapMB);
        std::printf("  sampled peaks: RssAnon median %.1f MB, RssFile median %.1f MB\n", median(anon) / 1024.0,
                    median(file) / 1024.0);
    }

    if (!TGLHeadlessContext::available()) {
        std::printf("no headless EGL display: no stage breakdown\n");
        return 0;
    }
    // Stage by stage, each shot in a fresh process so its high-water mark is its own.
    std::vector<std::vector<Mark>> profiles;
    for (int r = 0; r < runs; ++r) {
        auto marks = profileInChild(out);
        if (!marks.empty()) profiles.push_back(std::move(marks));
    }
    if (profiles.empty()) {
        std::printf("the in-process shot failed\n");
        return 0;
    }
    if (raw) {
        std::printf("stage boundaries of the first in-process shot (ms since start, VmRSS MB):\n");
        for (const Mark& m : profiles.front()) std::printf("  %9.1f %7.1f  %s\n", m.Ms, m.Rss / 1024.0, m.Name.c_str());
    }
    // Per stage: its time summed over its occurrences (the render's stages
    // come once per band) and the largest memory figures at its starts.
    struct Stage {
        std::vector<double> Ms;
        std::vector<long> Rss, Hwm, Anon, File;
        int Count = 0;
    };
    std::vector<std::string> order;
    std::map<std::string, Stage> stages;
    for (const auto& p : profiles) {
        std::map<std::string, double> ms;
        std::map<std::string, Memory> top;
        std::map<std::string, int> count;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const Mark& m = p[i];
            if (!stages.count(m.Name)) order.push_back(m.Name);
            Stage& st = stages[m.Name];
            (void)st;
            ms[m.Name] += i + 1 < p.size() ? p[i + 1].Ms - m.Ms : 0;
            Memory& t = top[m.Name];
            t.Rss = std::max(t.Rss, m.Rss);
            t.Hwm = std::max(t.Hwm, m.Hwm);
            t.Anon = std::max(t.Anon, m.Anon);
            t.File = std::max(t.File, m.File);
            ++count[m.Name];
        }
        for (auto& [name, v] : ms) {
            Stage& st = stages[name];
            st.Ms.push_back(v);
            st.Rss.push_back(top[name].Rss);
            st.Hwm.push_back(top[name].Hwm);
            st.Anon.push_back(top[name].Anon);
            st.File.push_back(top[name].File);
            st.Count = count[name];
        }
    }
    std::printf("in-process stages, this build (ms: min / median over %zu runs of the time in the stage, summed over "
                "its bands; memory in MB: median of the largest value at the stage's starts; resize on %s)\n",
                profiles.size(), resampleIsaName(resampleBestIsa()));
    std::printf("  %-30s %5s %8s %8s %8s %8s %8s %8s\n", "stage", "times", "min", "median", "VmRSS", "VmHWM", "RssAnon",
                "RssFile");
    for (const std::string& name : order) {
        const Stage& st = stages[name];
        std::printf("  %-30s %5d %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f\n", name.c_str(), st.Count, minimum(st.Ms),
                    median(st.Ms), median(st.Rss) / 1024.0, median(st.Hwm) / 1024.0, median(st.Anon) / 1024.0,
                    median(st.File) / 1024.0);
    }
    std::remove(out.c_str());
    return 0;
}
