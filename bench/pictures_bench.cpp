// Load + convert-to-texture-pixels of a 4096 x 4096 JPEG and PNG, next to the
// time the command-line decoders (djpeg, pngtopnm) take for the same files.

#include "BenchPictures.h"
#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Files {
    fs::path dir, jpg, png;
    bool haveJpg = false, havePng = false;

    Files()
    {
        dir = fs::temp_directory_path() / ("velmora-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const fs::path ppm = dir / "big.ppm";
        writeBenchPpm(ppm);
        jpg = dir / "big.jpg";
        png = dir / "big.png";
        haveJpg =
            std::system(("cjpeg -quality 90 " + ppm.string() + " > " + jpg.string() + " 2>/dev/null").c_str()) == 0;
        havePng = std::system(("pnmtopng " + ppm.string() + " > " + png.string() + " 2>/dev/null").c_str()) == 0;
        fs::remove(ppm);
    }
    ~Files() { fs::remove_all(dir); }
};

Files& files()
{
    static Files f;
    return f;
}

void loadAndConvert(benchmark::State& state, const fs::path& file, bool available)
{
    if (!available) {
        state.SkipWithError("test file could not be made");
        return;
    }
    if (!velmora::pictureFormats().findByExtension(file.extension().string().substr(1))) {
        state.SkipWithError("no reader registered for this format");
        return;
    }
    for (auto _ : state) {
        velmora::TPicture pic;
        pic.LoadFromFile(file.string());
        velmora::TGLBitmap32 px = velmora::convertToBitmap32(pic);
        benchmark::DoNotOptimize(px.Data.data());
    }
    state.counters["MPixel/s"] =
        benchmark::Counter(4096.0 * 4096.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void runTool(benchmark::State& state, const std::string& command, bool available)
{
    if (!available) {
        state.SkipWithError("test file could not be made");
        return;
    }
    for (auto _ : state)
        if (std::system((command + " > /dev/null 2>&1").c_str()) != 0) state.SkipWithError("tool failed");
}

void BM_JpegLoadConvert(benchmark::State& s)
{
    loadAndConvert(s, files().jpg, files().haveJpg);
}
void BM_PngLoadConvert(benchmark::State& s)
{
    loadAndConvert(s, files().png, files().havePng);
}
void BM_Djpeg(benchmark::State& s)
{
    runTool(s, "djpeg -pnm " + files().jpg.string(), files().haveJpg);
}
void BM_Pngtopnm(benchmark::State& s)
{
    runTool(s, "pngtopnm " + files().png.string(), files().havePng);
}

BENCHMARK(BM_JpegLoadConvert)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Djpeg)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PngLoadConvert)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Pngtopnm)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
