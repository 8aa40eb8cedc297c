// Large but valid input: a settings file with very many sections and keys, a
// scene stream with very many objects, and one with very many stored
// pictures. Each is timed at doubling sizes; the time per item should stay
// flat as the size grows (a quadratic step doubles it at every row).
//
//   bench_scaling_bench [ROUNDS]
//
// Sizes are taken in turns within each round, so machine noise falls on all
// of them alike; minimum and median are over the rounds.

#include "BenchTiming.h"
#include "engine/CameraLights.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "files/IniFile.h"
#include "files/SceneBinding.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

std::string iniText(int sections)
{
    std::string text;
    for (int s = 0; s < sections; ++s) {
        text += "[Section" + std::to_string(s) + "]\n";
        for (int k = 0; k < 10; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(s * 10 + k) + "\n";
    }
    return text;
}

void parseAndReadIni(const std::string& text, int sections)
{
    IniFile ini;
    ini.parse(text);
    long sum = 0;
    for (int s = 0; s < sections; ++s)
        for (int k = 0; k < 10; ++k)
            sum += ini.readInteger("section" + std::to_string(s), "KEY" + std::to_string(k), 0);
    if (sum != long(sections) * 10 * (sections * 10 - 1) / 2) std::abort();
}

// A 4 x 4 24-bit BMP: the smallest stored picture the reader takes.
fs::path writeSmallBmp(const fs::path& dir)
{
    const int w = 4, h = 4, row = 12, size = 54 + row * h;
    std::vector<unsigned char> b(size, 0);
    auto le32 = [&](int at, int v) {
        for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
    };
    b[0] = 'B', b[1] = 'M';
    le32(2, size), le32(10, 54), le32(14, 40), le32(18, w), le32(22, h);
    b[26] = 1, b[28] = 24;
    for (int i = 54; i < size; ++i) b[i] = (unsigned char)(i * 37);
    const fs::path p = dir / "small.bmp";
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), size);
    return p;
}

// A scene of n planes, every other one with a child, the camera aimed at the
// last one; with a picture file each plane carries it as a stored picture.
std::vector<std::uint8_t> sceneStream(int n, const fs::path& picture)
{
    TGLScene scene;
    auto* camera = scene.Cameras().AddNewChild<TGLCamera>();
    camera->SetName("Camera");
    TGLBaseSceneObject* last = nullptr;
    for (int i = 0; i < n; ++i) {
        auto* plane = scene.Objects().AddNewChild<TGLPlane>();
        plane->SetName("Plane" + std::to_string(i));
        if (!picture.empty()) plane->Material().Texture().PictureImage().LoadFromFile(picture.string());
        if (i % 2) plane->AddNewChild<TGLPlane>()->SetName("Child" + std::to_string(i));
        last = plane;
    }
    camera->SetTargetObject(last);
    return saveSceneToStream(scene);
}

struct Row {
    std::string what;
    int n = 0;
    std::function<void()> run;
    std::vector<double> times;
};

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / ("velmora-scaling-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path bmp = writeSmallBmp(dir);

    std::vector<Row> rows;
    std::vector<std::string> texts;
    std::vector<std::vector<std::uint8_t>> streams;
    texts.reserve(8), streams.reserve(16);
    for (int n : {2000, 4000, 8000, 16000}) {
        texts.push_back(iniText(n));
        const std::string* t = &texts.back();
        rows.push_back({"settings: sections of 10 keys", n, [t, n] { parseAndReadIni(*t, n); }, {}});
    }
    for (int n : {1000, 2000, 4000, 8000}) {
        streams.push_back(sceneStream(n, {}));
        const auto* s = &streams.back();
        rows.push_back({"stream load: planes (+n/2 children)",
                        n,
                        [s] {
                            TGLScene scene;
                            loadSceneFromStream(scene, *s);
                        },
                        {}});
    }
    for (int n : {1000, 2000, 4000, 8000}) {
        rows.push_back({"stream save: planes (+n/2 children)", n, [n] { (void)sceneStream(n, {}); }, {}});
    }
    for (int n : {250, 500, 1000, 2000}) {
        streams.push_back(sceneStream(n, bmp));
        const auto* s = &streams.back();
        rows.push_back({"stream load: planes with a stored picture",
                        n,
                        [s] {
                            TGLScene scene;
                            loadSceneFromStream(scene, *s);
                        },
                        {}});
    }

    for (int r = 0; r < rounds; ++r)
        for (auto& row : rows) row.times.push_back(seconds(row.run));

    std::printf("%-44s %7s %12s %12s %14s\n", "input", "n", "min ms", "median ms", "min us / item");
    for (const auto& row : rows) {
        const double mn = *std::min_element(row.times.begin(), row.times.end());
        std::printf("%-44s %7d %12.2f %12.2f %14.3f\n", row.what.c_str(), row.n, mn * 1e3, median(row.times) * 1e3,
                    mn * 1e6 / row.n);
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("peak resident: %.1f MiB\n", u.ru_maxrss / 1024.0);
    fs::remove_all(dir);
}
