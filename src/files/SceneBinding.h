#pragma once
// Saving and loading the scene graph of a TGLScene as a scene stream: the
// engine classes bound to the scene stream tables.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace velmora {

class TGLScene;

// The whole scene as a stream, with the scene as root.
std::vector<std::uint8_t> saveSceneToStream(TGLScene& scene);
// Creates or replaces the file ("Cannot create file %s").
void saveSceneToFile(TGLScene& scene, const std::filesystem::path& path);

// Replaces every object of the scene with those of the stream. The stream is
// read completely before the scene is touched: when reading fails, the error
// propagates and the scene keeps its objects. On success each viewer of the
// scene gets the camera of the name it had, when the new tree has one.
void loadSceneFromStream(TGLScene& scene, std::span<const std::uint8_t> stream);
// "File not found: "<path>"" when the file is missing; a bare stream file.
void loadSceneFromFile(TGLScene& scene, const std::filesystem::path& path);

// A stream read completely into objects that belong to no scene yet, so that
// a caller can read first and change things only once the read succeeded.
class TPreparedScene {
public:
    virtual ~TPreparedScene() = default;
    // Replaces every object of the scene the stream was read for, as
    // loadSceneFromStream does on success. Once only.
    virtual void install() = 0;
};
std::unique_ptr<TPreparedScene> prepareSceneLoad(TGLScene& scene, std::span<const std::uint8_t> stream);
std::unique_ptr<TPreparedScene> prepareSceneLoadFromFile(TGLScene& scene, const std::filesystem::path& path);

} // namespace velmora
