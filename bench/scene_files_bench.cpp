// Save and open of a scene whose six faces hold 4096 x 4096 JPEG pictures,
// in both formats, with wall time and the process's peak memory. Pictures are
// carried as their file bytes, so neither step should decode or re-encode them.

#include "BenchPictures.h"
#include "BenchTiming.h"
#include "box/BoxScene.h"
#include "box/MainModel.h"
#include "box/SceneFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

long peakKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A photo-like 4096 x 4096 JPEG made with the libjpeg command-line coder.
bool makeJpeg(const fs::path& dir, fs::path& jpg)
{
    const fs::path ppm = dir / "face.ppm";
    jpg = dir / "face.jpg";
    writeBenchPpm(ppm);
    const std::string cmd = "cjpeg -quality 90 -outfile '" + jpg.string() + "' '" + ppm.string() + "'";
    return std::system(cmd.c_str()) == 0;
}

} // namespace

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("velmora-bench-scene-" + std::to_string(::getpid()));
    fs::create_directories(dir / "work");
    fs::path jpg;
    if (!makeJpeg(dir, jpg)) {
        std::fprintf(stderr, "cjpeg is needed to make the test picture\n");
        return 1;
    }
    std::printf("face picture: 4096 x 4096 JPEG, %.1f MB\n", double(fs::file_size(jpg)) / 1e6);

    TfrmMainModel model(std::string(VELMORA_BIN_DIR) + "/", (dir / "work").string() + "/");
    installSceneFiles(model);
    model.New1Click();
    auto* scene = dynamic_cast<TBoxScene*>(model.scene());
    if (!scene) {
        std::fprintf(stderr, "no box scene linked in\n");
        return 1;
    }
    for (TGLPlane* face : scene->faces()) face->Material().Texture().PictureImage().LoadFromFile(jpg.string());
    const long before = peakKiB();
    std::printf("peak memory after loading six faces: %ld MiB\n", before / 1024);

    for (const auto& format : {std::pair{".vlm", SceneFilter::Archive}, std::pair{".gls", SceneFilter::Legacy}}) {
        // Named copies, not a structured binding: clang 14 cannot capture those in the lambdas.
        const char* ext = format.first;
        const SceneFilter filter = format.second;
        const fs::path file = dir / (std::string("scene") + ext);
        const double save = seconds([&] { saveSceneFile(model, file, filter); });
        const double open = seconds([&] { openSceneFile(model, file, filter); });
        std::printf("%s: %.1f MB, save %.3f s, open %.3f s, peak memory %ld MiB\n", ext,
                    double(fs::file_size(file)) / 1e6, save, open, peakKiB() / 1024);
    }
    fs::remove_all(dir);
    return 0;
}
