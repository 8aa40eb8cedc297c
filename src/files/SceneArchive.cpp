#include "files/SceneArchive.h"

#include "files/SceneFile.h"
#include "files/ZipArchive.h"
#include "pictures/TextCase.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

std::uint32_t SceneIniSettings::backgroundWindowColor() const
{
    return (static_cast<std::uint32_t>(colorRed) & 0xFF) | ((static_cast<std::uint32_t>(colorGreen) & 0xFF) << 8) |
        ((static_cast<std::uint32_t>(colorBlue) & 0xFF) << 16);
}

namespace {

void writeFace(IniFile& ini, const char* section, const FaceIniValues& f)
{
    ini.writeFloat(section, "PosX", f.posX);
    ini.writeFloat(section, "PosY", f.posY);
    ini.writeFloat(section, "PosZ", f.posZ);
    ini.writeFloat(section, "ScaleX", f.scaleX);
    ini.writeFloat(section, "ScaleY", f.scaleY);
    ini.writeFloat(section, "ScaleZ", f.scaleZ);
}

float readSingle(const IniFile& ini, const char* section, const char* key, float current)
{
    // A number beyond single precision ("1E39") cannot be converted and
    // reads as the default, like any value that is not a number.
    const double v = ini.readFloat(section, key, current);
    if (std::isfinite(v) && std::fabs(v) > double(std::numeric_limits<float>::max())) return current;
    return static_cast<float>(v);
}

FaceIniValues readFace(const IniFile& ini, const char* section, const FaceIniValues& cur)
{
    FaceIniValues f;
    f.posX = readSingle(ini, section, "PosX", cur.posX);
    f.posY = readSingle(ini, section, "PosY", cur.posY);
    f.posZ = readSingle(ini, section, "PosZ", cur.posZ);
    f.scaleX = readSingle(ini, section, "ScaleX", cur.scaleX);
    f.scaleY = readSingle(ini, section, "ScaleY", cur.scaleY);
    f.scaleZ = readSingle(ini, section, "ScaleZ", cur.scaleZ);
    return f;
}

void removeIfExists(const fs::path& p)
{
    std::error_code ec;
    fs::remove(p, ec);
}

bool containsGls(const std::string& s)
{
    return s.find("gls") != std::string::npos || s.find("GLS") != std::string::npos;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

void writeSceneIni(IniFile& ini, const SceneIniSettings& s)
{
    ini.writeInteger("Box", "Type", 1);
    ini.writeBool("Reflection", "Visible", s.reflectionVisible);
    ini.writeInteger("Reflection", "Opacity", s.reflectionOpacity);
    ini.writeInteger("Reflection", "Width", s.dropShadowWidth);
    ini.writeInteger("Reflection", "Height", s.dropShadowHeight);
    ini.writeBool("DropShadow", "Visible", s.dropShadowVisible);
    ini.writeBool("PointOfFocus", "Visible", s.pointOfFocusVisible);
    ini.writeInteger("BoxDimensions", "Width", s.boxWidth);
    ini.writeInteger("BoxDimensions", "Height", s.boxHeight);
    ini.writeInteger("BoxDimensions", "Depth", s.boxDepth);
    ini.writeInteger("Scene", "ColorRed", s.colorRed & 0xFF);
    ini.writeInteger("Scene", "ColorGreen", s.colorGreen & 0xFF);
    ini.writeInteger("Scene", "ColorBlue", s.colorBlue & 0xFF);
    ini.writeFloat("Camera", "X", s.cameraX);
    ini.writeFloat("Camera", "Y", s.cameraY);
    ini.writeFloat("Camera", "Z", s.cameraZ);
    for (const auto& f : kFaceSections) writeFace(ini, f.section, s.*(f.member));
    ini.writeFloat("ReflectionFace", "Red", s.mirrorRed);
    ini.writeFloat("ReflectionFace", "Green", s.mirrorGreen);
    ini.writeFloat("ReflectionFace", "Blue", s.mirrorBlue);
    ini.writeFloat("ReflectionFace", "Alpha", s.mirrorAlpha);
}

void writeSceneIni(const fs::path& file, const SceneIniSettings& s)
{
    IniFile ini;
    writeSceneIni(ini, s);
    ini.saveAs(file);
}

SceneIniSettings readSceneIni(const IniFile& ini, const SceneIniSettings& cur)
{
    SceneIniSettings s = cur;
    s.reflectionVisible = ini.readBool("Reflection", "Visible", cur.reflectionVisible);
    s.reflectionOpacity = ini.readInteger("Reflection", "Opacity", cur.reflectionOpacity);
    s.dropShadowVisible = ini.readBool("DropShadow", "Visible", cur.dropShadowVisible);
    s.dropShadowWidth = ini.readInteger("Reflection", "Width", cur.dropShadowWidth);
    s.dropShadowHeight = ini.readInteger("Reflection", "Height", cur.dropShadowHeight);
    s.pointOfFocusVisible = ini.readBool("PointOfFocus", "Visible", cur.pointOfFocusVisible);
    s.boxWidth = ini.readInteger("BoxDimensions", "Width", cur.boxWidth);
    s.boxHeight = ini.readInteger("BoxDimensions", "Height", cur.boxHeight);
    s.boxDepth = ini.readInteger("BoxDimensions", "Depth", cur.boxDepth);
    s.colorRed = ini.readInteger("Scene", "ColorRed", 255) & 0xFF;
    s.colorGreen = ini.readInteger("Scene", "ColorGreen", 255) & 0xFF;
    s.colorBlue = ini.readInteger("Scene", "ColorBlue", 255) & 0xFF;
    s.cameraX = readSingle(ini, "Camera", "X", cur.cameraX);
    s.cameraY = readSingle(ini, "Camera", "Y", cur.cameraY);
    s.cameraZ = readSingle(ini, "Camera", "Z", cur.cameraZ);
    for (const auto& f : kFaceSections) s.*(f.member) = readFace(ini, f.section, cur.*(f.member));
    s.mirrorRed = readSingle(ini, "ReflectionFace", "Red", cur.mirrorRed);
    s.mirrorGreen = readSingle(ini, "ReflectionFace", "Green", cur.mirrorGreen);
    s.mirrorBlue = readSingle(ini, "ReflectionFace", "Blue", cur.mirrorBlue);
    s.mirrorAlpha = readSingle(ini, "ReflectionFace", "Alpha", cur.mirrorAlpha);
    s.boxType = ini.readInteger("Box", "Type", 1);
    return s;
}

SceneIniSettings readSceneIni(const fs::path& file, const SceneIniSettings& current)
{
    return readSceneIni(IniFile(file), current);
}

SceneContainer detectSceneContainer(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) return SceneContainer::Missing;
    unsigned char b[4] = {0, 0, 0, 0};
    in.read(reinterpret_cast<char*>(b), 4);
    const auto got = in.gcount();
    if (got >= 1 && b[0] == 0xFF) return SceneContainer::Stream;
    if (got == 4 && std::memcmp(b, "TPF0", 4) == 0) return SceneContainer::Stream;
    // Local file header, or the end record of an empty archive.
    if (got == 4 && b[0] == 'P' && b[1] == 'K' && ((b[2] == 3 && b[3] == 4) || (b[2] == 5 && b[3] == 6)))
        return SceneContainer::Zip;
    return SceneContainer::Unknown;
}

bool isLegacyScenePath(const fs::path& path, SceneFilter filter)
{
    return filter == SceneFilter::Legacy || containsGls(path.string());
}

void replaceFileSafely(const fs::path& target, const std::function<void(const fs::path&)>& write,
                       const std::string& failureMessage)
{
    std::error_code ec;
    struct stat st {};
    const bool exists = ::lstat(target.c_str(), &st) == 0;
    // A file without write permission is read-only even for a user allowed to
    // override it.
    if (exists && (S_ISDIR(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        throw ESceneArchiveError(failureMessage); // a read-only file is not replaced
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = ::mkstemp(buf.data());
    if (fd < 0) throw ESceneArchiveError(failureMessage);
    ::close(fd);
    const fs::path temp(buf.data());
    try {
        write(temp);
        ::chmod(temp.c_str(), exists && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : newFileMode());
        const int sync = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
        if (sync >= 0) {
            ::fsync(sync);
            ::close(sync);
        }
        if (::rename(temp.c_str(), target.c_str()) != 0) throw ESceneArchiveError(failureMessage);
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
}

void saveScene(const fs::path& path, SceneFilter filter, const fs::path& workFolder, const SceneArchiveHost& host)
{
    if (isLegacyScenePath(path, filter)) {
        replaceFileSafely(path, host.saveSceneStream, "Cannot create file " + path.string());
        return;
    }
    saveSceneArchive(path, workFolder, host);
}

void saveSceneArchive(const fs::path& path, const fs::path& workFolder, const SceneArchiveHost& host)
{
    // Only the box this program builds has settings an archive can hold;
    // saying nothing and writing nothing would look like a successful save.
    if (host.boxType && host.boxType() != 1)
        throw ESceneArchiveError(std::string(kUnableToSaveScene) + " Box type " + std::to_string(host.boxType()) +
                                 " cannot be saved as a scene archive.");
    std::error_code ec;
    fs::create_directories(workFolder, ec);
    const fs::path gls = workFolder / "Scene.gls";
    const fs::path ini = workFolder / "Scene.ini";
    const fs::path zip = workFolder / "temp.zip";

    removeIfExists(gls);
    host.saveSceneStream(gls);
    removeIfExists(ini);
    writeSceneIni(ini, host.currentSettings ? host.currentSettings() : SceneIniSettings{});
    if (host.processMessages) host.processMessages();
    removeIfExists(zip);
    {
        ZipWriter writer(zip);
        writer.addMatching(workFolder, "Scene.*");
        writer.close();
    }
    replaceFileSafely(
        path,
        [&](const fs::path& temp) {
            std::error_code cec;
            if (!fs::copy_file(zip, temp, fs::copy_options::overwrite_existing, cec))
                throw ESceneArchiveError(kUnableToSaveScene);
        },
        kUnableToSaveScene);
    removeIfExists(zip);
    removeIfExists(gls);
    removeIfExists(ini);
}

namespace {

// Reads a stream file through the host: detached when it can, else deferred
// to a plain load at apply time.
std::function<void()> prepareStream(const fs::path& file, const fs::path& workFolder, const SceneArchiveHost& host)
{
    if (host.prepareSceneStream) return host.prepareSceneStream(file);
    std::error_code ec;
    if (!fs::exists(file, ec)) throw EIOError(fileNotFoundMessage(file));
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(readFileBytes(file));
    const fs::path kept = workFolder / "Opened.gls";
    return [bytes, kept, host] {
        std::error_code cec;
        fs::create_directories(kept.parent_path(), cec);
        writeSceneStreamFile(kept, *bytes);
        struct Remove {
            fs::path p;
            ~Remove()
            {
                std::error_code e;
                fs::remove(p, e);
            }
        } remove{kept};
        host.loadSceneStream(kept);
    };
}

struct WorkFiles {
    fs::path zip, gls, ini;
    ~WorkFiles()
    {
        removeIfExists(zip);
        removeIfExists(gls);
        removeIfExists(ini);
    }
};

} // namespace

SceneFileContent readSceneFile(const fs::path& path, SceneFilter filter, const fs::path& workFolder,
                               const SceneArchiveHost& host)
{
    SceneFileContent content;
    std::error_code ec;
    if (!fs::exists(path, ec)) throw EIOError(fileNotFoundMessage(path));
    const SceneContainer kind = detectSceneContainer(path);
    // A ZIP never reads as a bare stream, so an archive opens as one even where
    // its path or the chosen filter asks for the legacy format (an archive kept
    // in a folder whose name holds "gls").
    if (kind == SceneContainer::Stream || (kind != SceneContainer::Zip && isLegacyScenePath(path, filter))) {
        // A bare stream under an archive name opens as what it is.
        content.installScene = prepareStream(path, workFolder, host);
        return content;
    }
    if (kind != SceneContainer::Zip) throw EArchiveError(kUnhandledArchiveType);
    fs::create_directories(workFolder, ec);
    WorkFiles work{workFolder / "temp.zip", workFolder / "Scene.gls", workFolder / "Scene.ini"};
    removeIfExists(work.zip);
    removeIfExists(work.gls);
    removeIfExists(work.ini);
    fs::copy_file(path, work.zip, fs::copy_options::overwrite_existing, ec);
    {
        ZipReader reader(work.zip);
        const std::vector<std::string> extracted = reader.extractAll(workFolder);
        // Archives made on systems whose file names ignore case may hold
        // "scene.gls" or "SCENE.INI"; such a member stands for the file the
        // open looks for, unless that one is in the archive as well.
        for (const std::string& name : extracted)
            for (const fs::path* wanted : {&work.gls, &work.ini})
                if (name != wanted->filename().string() && sameText(name, wanted->filename().string()) &&
                    !fs::exists(*wanted, ec))
                    fs::rename(workFolder / name, *wanted, ec);
    }
    content.archive = true;
    content.settings = IniFile(work.ini);
    content.installScene = prepareStream(work.gls, workFolder, host);
    return content;
}

void applySceneFile(const SceneFileContent& content, const SceneArchiveHost& host)
{
    if (content.archive) {
        const SceneIniSettings current = host.currentSettings ? host.currentSettings() : SceneIniSettings{};
        const SceneIniSettings settings = readSceneIni(content.settings, current);
        if (host.applySettings) host.applySettings(settings);
    }
    if (content.installScene) content.installScene();
}

void openScene(const fs::path& path, SceneFilter filter, const fs::path& workFolder, const SceneArchiveHost& host)
{
    applySceneFile(readSceneFile(path, filter, workFolder, host), host);
}

} // namespace velmora
