// A scene file opened through the window model, as File > Open does: the
// container is told by content (archive or bare stream), the settings file
// applied.
#include "FuzzTarget.h"

#include "box/MainModel.h"
#include "box/SceneFiles.h"

#include <unistd.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

struct Session {
    std::filesystem::path folder;
    std::unique_ptr<velmora::TfrmMainModel> model;
    Session()
    {
        namespace fs = std::filesystem;
        folder = fs::temp_directory_path() / ("velmora-fuzz-" + std::to_string(getpid()));
        fs::create_directories(folder / "work");
        model = std::make_unique<velmora::TfrmMainModel>(std::string(VELMORA_SOURCE_DIR) + "/resources/",
                                                         (folder / "work").string() + "/");
        velmora::installSceneFiles(*model);
        model->New1Click();
    }
    ~Session()
    {
        model.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

} // namespace

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string&)
{
    using namespace velmora;
    static Session session;
    const auto file = session.folder / "input.vlm";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    try {
        openSceneFile(*session.model, file, SceneFilter::None);
        return "ok";
    } catch (const std::exception& e) {
        return e.what();
    }
}

VELMORA_FUZZ_ENTRY
