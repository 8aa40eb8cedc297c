#pragma once
// The command-line front of velmora: sub-commands run without a display; with
// no sub-command the caller starts the desktop application.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct TCommandLine {
    // Set when the desktop application is to start; holds the scene named on
    // the command line, or an empty string.
    std::optional<std::string> GuiScene;
    // Exit status when a sub-command ran (GuiScene empty).
    int ExitCode = 0;
};

// Runs a sub-command (writing to out and err) or tells the caller to start the
// desktop application. args excludes the program name; version is what
// --version prints.
TCommandLine runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                            const std::string& version);

} // namespace velmora
