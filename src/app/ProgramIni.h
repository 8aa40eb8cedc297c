#pragma once
// The program INI file: Velmora.INI in the user's configuration folder. Every
// access opens the file, reads or changes one value and closes it again, so two
// running programs never keep stale copies. Damaged, unreadable or unwritable
// files never fail the program: reads give the defaults, writes are dropped.

#include <filesystem>
#include <string>

namespace velmora {

// $XDG_CONFIG_HOME/Velmora/Velmora.INI (an absolute XDG_CONFIG_HOME only), else
// $HOME/.config/Velmora/Velmora.INI; empty when neither is known.
std::filesystem::path programIniPath();

std::string readProgramIniString(const std::string& section, const std::string& key, const std::string& def);
// Read as an integer, non-zero meaning true; text that is no integer gives def.
bool readProgramIniBool(const std::string& section, const std::string& key, bool def);

// Creates the folder and the file on the first write. Returns false when the
// value could not be stored; callers at shut-down simply go on.
bool writeProgramIniString(const std::string& section, const std::string& key, const std::string& value);
bool writeProgramIniInteger(const std::string& section, const std::string& key, int value);
bool writeProgramIniBool(const std::string& section, const std::string& key, bool value);

} // namespace velmora
