#pragma once
// Saving and opening scene files from the main window model: the scene
// archive (stream plus settings file) or the bare scene stream.

#include "files/SceneArchive.h"

#include <filesystem>

namespace velmora {

class TfrmMainModel;

// The settings file's values as the controls and scene objects hold them now.
SceneIniSettings currentSceneSettings(TfrmMainModel& model);
// Applies values read from a settings file in the order the open uses.
void applySceneSettings(TfrmMainModel& model, const SceneIniSettings& s);

// Scene stream of the model's scene to a file, and a stream file into it.
void saveModelSceneStream(TfrmMainModel& model, const std::filesystem::path& file);
void loadModelSceneStream(TfrmMainModel& model, const std::filesystem::path& file);

// Save and open with the working folder of the model.
void saveSceneFile(TfrmMainModel& model, const std::filesystem::path& path, SceneFilter filter);
// The archive at path, whatever the path's folders are called.
void saveSceneArchiveFile(TfrmMainModel& model, const std::filesystem::path& path);
void openSceneFile(TfrmMainModel& model, const std::filesystem::path& path, SceneFilter filter);

// Points the model's OpenScene and SaveScene at the functions above.
void installSceneFiles(TfrmMainModel& model);

} // namespace velmora
