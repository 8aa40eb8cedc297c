// A scene stream loaded into a scene, as Open does for a .gls file, then
// written back.
#include "FuzzTarget.h"

#include "engine/Scene.h"
#include "files/SceneBinding.h"

#include <exception>

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string&)
{
    using namespace velmora;
    static TGLScene scene;
    try {
        loadSceneFromStream(scene, data);
        const auto written = saveSceneToStream(scene);
        return written.empty() ? "nothing written" : "ok";
    } catch (const std::exception& e) {
        return e.what();
    }
}

VELMORA_FUZZ_ENTRY
