// What the shell adds to start-up and to showing its windows: drawing the
// About picture, making the About box (done once at start-up), making the tip
// window, and one settings read, which opens and closes Velmora.INI.
//   bench_shell_bench [--benchmark_repetitions=5]

#include "app/About.h"
#include "app/Artwork.h"
#include "app/Hint.h"
#include "app/ProgramIni.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

void AboutPictureDrawing(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(velmora::aboutPicture());
}
BENCHMARK(AboutPictureDrawing)->Unit(benchmark::kMillisecond);

void AboutBoxCreation(benchmark::State& state)
{
    for (auto _ : state) {
        velmora::TAboutBox box;
        benchmark::DoNotOptimize(&box);
    }
}
BENCHMARK(AboutBoxCreation)->Unit(benchmark::kMillisecond);

void TipWindowCreation(benchmark::State& state)
{
    for (auto _ : state) {
        velmora::TfrmHint hint;
        hint.FormActivate();
        benchmark::DoNotOptimize(&hint);
    }
}
BENCHMARK(TipWindowCreation)->Unit(benchmark::kMillisecond);

void StartupSettingRead(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(velmora::readProgramIniBool("Tips", "Startup", true));
}
BENCHMARK(StartupSettingRead)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // A settings file of its own, as a user's would be after the first run.
    char templ[] = "/tmp/velmora-bench-config-XXXXXX";
    const std::filesystem::path config = mkdtemp(templ);
    std::filesystem::create_directories(config / "Velmora");
    std::ofstream(config / "Velmora" / "Velmora.INI") << "[Tips]\r\nIndex=4\r\nStartup=1\r\n";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(config);
    return 0;
}
