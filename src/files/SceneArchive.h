#pragma once
// Saving and opening scenes: the scene archive (a ZIP holding "Scene.gls" and
// "Scene.ini") and the bare scene stream. Toolkit-free: the window model supplies
// the scene stream save/load and the settings through SceneArchiveHost.

#include "files/IniFile.h"
#include "pictures/Errors.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace velmora {

class ESceneArchiveError : public EIOError {
public:
    using EIOError::EIOError;
};

inline constexpr const char* kUnableToSaveScene = "Unable to save scene.";
inline constexpr const char* kSceneDialogFilter = "Velmora 2.0 Scenes (*.vlm)|*.vlm|Velmora 1.0 Scenes (*.gls)|*.gls";
inline constexpr const char* kSceneDefaultExt = "*.vlm";

// Position and scale of one face plane as kept in "Scene.ini".
struct FaceIniValues {
    float posX = 0, posY = 0, posZ = 0;
    float scaleX = 1, scaleY = 1, scaleZ = 1;
};

// One field per key of "Scene.ini".
struct SceneIniSettings {
    std::int32_t boxType = 1;                                       // [Box] Type
    bool reflectionVisible = true;                                  // [Reflection] Visible (also GLMirror1 visible)
    std::int32_t reflectionOpacity = 0;                             // [Reflection] Opacity
    std::int32_t dropShadowWidth = 0;                               // [Reflection] Width
    std::int32_t dropShadowHeight = 0;                              // [Reflection] Height
    bool dropShadowVisible = false;                                 // [DropShadow] Visible (also GLDropShadow visible)
    bool pointOfFocusVisible = false;                               // [PointOfFocus] Visible
    std::int32_t boxWidth = 0, boxHeight = 0, boxDepth = 0;         // [BoxDimensions]
    std::int32_t colorRed = 255, colorGreen = 255, colorBlue = 255; // [Scene]
    float cameraX = 0, cameraY = 0, cameraZ = 0;                    // [Camera]
    FaceIniValues leftFace, rightFace, topFace, bottomFace, frontFace, backFace; // [LeftFace] ...
    FaceIniValues dropShadowFace;                                                // [DropShadowFace]
    FaceIniValues reflectionFace;                                                // [ReflectionFace]
    float mirrorRed = 0, mirrorGreen = 0, mirrorBlue = 0, mirrorAlpha = 1;       // [ReflectionFace] Red.. Alpha

    // Background colour as a window colour: red + green * 256 + blue * 65536,
    // each taken as its low 8 bits.
    std::uint32_t backgroundWindowColor() const;
};

// A face section of "Scene.ini" with the scene object whose position and
// scale it keeps.
struct FaceSection {
    const char* section;
    const char* object;
    FaceIniValues SceneIniSettings::*member;
};

// The face sections in file order.
inline constexpr FaceSection kFaceSections[] = {
    {"LeftFace", "PLLeft", &SceneIniSettings::leftFace},
    {"RightFace", "PLRight", &SceneIniSettings::rightFace},
    {"TopFace", "PLTop", &SceneIniSettings::topFace},
    {"BottomFace", "PLBottom", &SceneIniSettings::bottomFace},
    {"FrontFace", "PLFront", &SceneIniSettings::frontFace},
    {"BackFace", "PLBack", &SceneIniSettings::backFace},
    {"DropShadowFace", "GLDropShadow", &SceneIniSettings::dropShadowFace},
    {"ReflectionFace", "GLMirror1", &SceneIniSettings::reflectionFace},
};

// Writes every key in the file's fixed order.
void writeSceneIni(IniFile& ini, const SceneIniSettings& s);
void writeSceneIni(const std::filesystem::path& file, const SceneIniSettings& s);
// Reads every key; a missing or invalid value takes the value of current, except
// the colours (default 255) and the box type (default 1).
SceneIniSettings readSceneIni(const IniFile& ini, const SceneIniSettings& current);
SceneIniSettings readSceneIni(const std::filesystem::path& file, const SceneIniSettings& current);

// Entry chosen in the scene dialog's filter; None when no dialog was used.
enum class SceneFilter { None = 0, Archive = 1, Legacy = 2 };

enum class SceneContainer { Missing, Zip, Stream, Unknown };
// Recognises the container by its first bytes: a ZIP header, "TPF0" or the
// resource header byte $FF.
SceneContainer detectSceneContainer(const std::filesystem::path& file);

// True when the path or the filter asks for the bare scene stream.
bool isLegacyScenePath(const std::filesystem::path& path, SceneFilter filter);

struct SceneArchiveHost {
    // Writes the scene stream to a file ("Cannot create file %s" when it cannot).
    std::function<void(const std::filesystem::path&)> saveSceneStream;
    // Loads a scene stream file, replacing the scene graph.
    std::function<void(const std::filesystem::path&)> loadSceneStream;
    // Reads a scene stream file completely without changing the scene; the
    // returned function puts what was read in place. When empty, opens load
    // through loadSceneStream at the end instead.
    std::function<std::function<void()>(const std::filesystem::path&)> prepareSceneStream;
    // Current values of the controls and scene objects that "Scene.ini" holds.
    std::function<SceneIniSettings()> currentSettings;
    // Applies values read from "Scene.ini" in the documented order (box type 0
    // while applying, then the stored box type).
    std::function<void(const SceneIniSettings&)> applySettings;
    std::function<std::int32_t()> boxType;
    // Lets pending window messages run; may be empty.
    std::function<void()> processMessages;
};

// Saves to path: the bare stream for legacy paths, else the archive (only when the
// box type is 1). The new file is built beside the target and renamed over it, so
// a failed save leaves the old file as it was.
void saveScene(const std::filesystem::path& path, SceneFilter filter, const std::filesystem::path& workFolder,
               const SceneArchiveHost& host);
// Saves the archive whatever the path says (the command line, which goes by
// the extension alone).
void saveSceneArchive(const std::filesystem::path& path, const std::filesystem::path& workFolder,
                      const SceneArchiveHost& host);
// Everything an open needs, read before anything is changed: the settings
// file of an archive and the scene stream read into a detached scene.
struct SceneFileContent {
    bool archive = false; // the settings below are to be applied
    IniFile settings;     // Scene.ini of the archive; empty when it had none
    std::function<void()> installScene;
};
// Reads the file at path completely. A missing file fails with the
// file-not-found message naming it; a file that is neither an archive nor a
// stream with "Unhandled Archive Type"; a damaged one with its reader's
// message. Nothing of the caller's state is touched; the working files are
// removed again whatever happens.
SceneFileContent readSceneFile(const std::filesystem::path& path, SceneFilter filter,
                               const std::filesystem::path& workFolder, const SceneArchiveHost& host);
// Applies what readSceneFile read: the settings (archives only), then the scene.
void applySceneFile(const SceneFileContent& content, const SceneArchiveHost& host);

// Opens path as a bare stream (legacy path or content) or as an archive:
// readSceneFile, then applySceneFile.
void openScene(const std::filesystem::path& path, SceneFilter filter, const std::filesystem::path& workFolder,
               const SceneArchiveHost& host);

// Writes a file beside target by calling write(tempPath), then renames it over
// target. failureMessage is raised when the target cannot be replaced.
void replaceFileSafely(const std::filesystem::path& target,
                       const std::function<void(const std::filesystem::path&)>& write,
                       const std::string& failureMessage);

} // namespace velmora
