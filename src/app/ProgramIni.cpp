#include "app/ProgramIni.h"

#include "files/IniFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// A settings file this large is not ours; it is read as empty rather than
// loaded whole at every access.
constexpr std::uintmax_t kMaxIniSize = 1 << 20;

IniFile readIni(const fs::path& path)
{
    IniFile ini;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return ini;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxIniSize) return ini;
    std::ifstream in(path, std::ios::binary);
    if (!in) return ini;
    std::ostringstream text;
    text << in.rdbuf();
    ini.parse(text.str());
    return ini;
}

} // namespace

fs::path programIniPath()
{
    fs::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        base = fs::path(home) / ".config";
    }
    return base / "Velmora" / "Velmora.INI";
}

std::string readProgramIniString(const std::string& section, const std::string& key, const std::string& def)
{
    try {
        return readIni(programIniPath()).readString(section, key, def);
    } catch (...) {
        return def;
    }
}

bool readProgramIniBool(const std::string& section, const std::string& key, bool def)
{
    try {
        return readIni(programIniPath()).readBool(section, key, def);
    } catch (...) {
        return def;
    }
}

bool writeProgramIniString(const std::string& section, const std::string& key, const std::string& value)
{
    try {
        const fs::path path = programIniPath();
        if (path.empty()) return false;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        IniFile ini = readIni(path);
        ini.writeString(section, key, value);
        // Written beside the file and renamed over it, so a failed write never
        // leaves half a settings file behind.
        const fs::path temp = path.string() + "." + std::to_string(::getpid()) + ".tmp";
        try {
            ini.saveAs(temp);
        } catch (...) {
            fs::remove(temp, ec);
            return false;
        }
        fs::rename(temp, path, ec);
        if (ec) {
            fs::remove(temp, ec);
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool writeProgramIniInteger(const std::string& section, const std::string& key, int value)
{
    return writeProgramIniString(section, key, std::to_string(value));
}

bool writeProgramIniBool(const std::string& section, const std::string& key, bool value)
{
    return writeProgramIniString(section, key, value ? "1" : "0");
}

} // namespace velmora
