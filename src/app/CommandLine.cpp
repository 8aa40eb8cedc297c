#include "app/CommandLine.h"

#include "app/FaceCommand.h"
#include "app/Platform.h"
#include "app/RenderCommand.h"
#include "app/SceneSession.h"
#include "box/MainModel.h"
#include "box/SceneFiles.h"
#include "engine/Scene.h"
#include "files/DumpStream.h"
#include "files/SceneBinding.h"
#include "files/SceneFile.h"
#include "pictures/TextCase.h"

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <stdexcept>

namespace velmora {

namespace {

const char* const kUsage =
    "usage: velmora [SCENE]                     start the desktop application\n"
    "       velmora render [SCENE|--default] -o OUT [--viewer WxH] [--multiplier 1..4] [--size WxH]\n"
    "                      [--front FILE] [--back FILE] [--left FILE] [--right FILE] [--top FILE] [--bottom FILE]\n"
    "       velmora convert SCENE|--default OUT\n"
    "       velmora dump SCENE|--default        print the scene graph\n"
    "       velmora face DOCUMENT -o OUT        compose a face picture (32-bit BMP, or PNG for .png)\n"
    "       velmora --help | --version\n";

// Without any display the toolkit aborts; say what to do instead.
bool displayAvailable()
{
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(v);
        if (value && *value) return true;
    }
    return false;
}

const char* const NoDisplayMessage =
    "velmora: no display found. The desktop application needs an X11 or Wayland display;\n"
    "run it under xvfb-run (for example: xvfb-run -a velmora), or use a sub-command, which\n"
    "needs none: velmora render, velmora convert, velmora dump, velmora face (velmora --help).\n";

TCommandLine exitWith(int code)
{
    TCommandLine r;
    r.ExitCode = code;
    return r;
}

TCommandLine usageError(std::ostream& err, const std::string& message)
{
    err << "velmora: " << message << "\n" << kUsage;
    return exitWith(2);
}

TCommandLine dump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 2) return usageError(err, "dump needs one scene file or --default");
    const std::string& what = args[1];
    if (what == "--default") {
        TSceneSession session;
        out << dumpStream(saveSceneToStream(session.scene()));
        return exitWith(0);
    }
    if (!what.empty() && what[0] == '-') return usageError(err, "unknown option for dump: " + what);
    const std::vector<std::uint8_t> bytes = readSceneStreamBytes(what);
    // A stream that opening would refuse is reported with the same message
    // rather than printed as if it were a scene.
    TGLScene check;
    prepareSceneLoad(check, bytes);
    out << dumpStream(bytes);
    return exitWith(0);
}

TCommandLine convert(const std::vector<std::string>& args, std::ostream& err)
{
    if (args.size() != 3) return usageError(err, "convert needs a scene file or --default, and an output file");
    const std::string& source = args[1];
    const std::string& target = args[2];
    if (source != "--default" && !source.empty() && source[0] == '-')
        return usageError(err, "unknown option for convert: " + source);
    if (!target.empty() && target[0] == '-') return usageError(err, "convert needs an output file");
    // The format follows the name; any other name would hold a file that no
    // program (this one included) opens by its name.
    const std::string ext = lowerCase(std::filesystem::path(target).extension().string());
    if (ext != ".vlm" && ext != ".gls")
        return usageError(err, "convert writes a .vlm scene archive or a .gls scene stream, not " + target);
    TSceneSession session;
    // As at start-up: the first New keeps the scene as built, then the file opens.
    if (source == "--default")
        session.Model.New1Click();
    else
        session.Model.openFromCommandLine(source);
    // By the extension alone: a folder whose name holds "gls" must not turn
    // the archive asked for into a bare stream.
    if (ext == ".gls")
        saveSceneFile(session.Model, target, SceneFilter::Legacy);
    else
        saveSceneArchiveFile(session.Model, target);
    return exitWith(0);
}

bool looksLikeCommand(const std::string& a)
{
    // A bare word that is no existing file is a mistyped sub-command, not a scene.
    if (a.find('.') != std::string::npos || a.find('/') != std::string::npos) return false;
    std::error_code ec;
    return !std::filesystem::exists(a, ec);
}

} // namespace

TCommandLine runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                            const std::string& version)
{
    TCommandLine gui;
    if (args.empty()) {
        if (!displayAvailable()) {
            err << NoDisplayMessage;
            return exitWith(1);
        }
        gui.GuiScene = std::string();
        return gui;
    }
    const std::string& first = args[0];
    try {
        if (first == "--help" || first == "-h") {
            out << kUsage;
            return exitWith(0);
        }
        if (first == "--version") {
            out << "velmora " << version << "\n";
            return exitWith(0);
        }
        const bool command = first == "dump" || first == "convert" || first == "face" || first == "render";
        // "velmora render --help" asks for the usage, not for a render.
        if (command)
            for (std::size_t i = 1; i < args.size(); ++i)
                if (args[i] == "--help" || args[i] == "-h") {
                    out << kUsage;
                    return exitWith(0);
                }
        if (first == "dump") return dump(args, out, err);
        if (first == "convert") return convert(args, err);
        if (first == "face") return exitWith(runFaceCommand(args, out, err));
        if (first == "render") return exitWith(runRenderCommand(args, out, err));
        if (!first.empty() && first[0] == '-') return usageError(err, "unknown option: " + first);
        if (looksLikeCommand(first)) return usageError(err, "unknown command: " + first);
    } catch (const std::exception& e) {
        err << "velmora: " << e.what() << "\n";
        return exitWith(1);
    }
    // The first argument is a scene to open; further arguments are ignored.
    if (!displayAvailable()) {
        err << NoDisplayMessage;
        return exitWith(1);
    }
    gui.GuiScene = first;
    return gui;
}

} // namespace velmora
