// Settings text: parse, read every key as each kind, read the scene settings
// from it, write it back and parse that again.
#include "FuzzTarget.h"

#include "files/IniFile.h"
#include "files/SceneArchive.h"

#include <cmath>
#include <exception>

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string&)
{
    using namespace velmora;
    try {
        IniFile ini;
        ini.parse(std::string(data.begin(), data.end()));
        long long total = 0;
        for (const std::string& section : ini.sections())
            for (const std::string& key : ini.keys(section)) {
                total += ini.readInteger(section, key, 0);
                total += ini.readBool(section, key, false);
                const double f = ini.readFloat(section, key, 0);
                total += std::isfinite(f) ? (long long)std::fmod(f, 7.0) : 0;
                total += (long long)ini.readString(section, key, "").size();
            }
        const SceneIniSettings s = readSceneIni(ini, SceneIniSettings());
        IniFile again;
        again.parse(ini.text());
        if (again.sections().size() != ini.sections().size()) return "sections lost when written back";
        IniFile written;
        writeSceneIni(written, s);
        (void)total;
        return "ok";
    } catch (const std::exception& e) {
        return e.what();
    }
}

VELMORA_FUZZ_ENTRY
