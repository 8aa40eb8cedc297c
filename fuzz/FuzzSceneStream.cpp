// A scene stream loaded into the box scene, as Open does for a .gls file,
// then written back and its pictures converted for upload.
#include "FuzzTarget.h"

#include "box/BoxScene.h"
#include "files/SceneBinding.h"

#include <exception>
#include <memory>

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string&)
{
    using namespace velmora;
    // Built once: the default pictures are read from the program data.
    static auto scene = std::make_unique<TBoxScene>(std::string(VELMORA_SOURCE_DIR) + "/resources/");
    try {
        LoadSceneFromStream(scene->GLScene1, data);
        scene->bindByName();
        const auto written = SaveSceneToStream(scene->GLScene1);
        return written.empty() ? "nothing written" : "ok";
    } catch (const std::exception& e) {
        return e.what();
    }
}

VELMORA_FUZZ_ENTRY
