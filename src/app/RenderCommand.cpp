#include "app/RenderCommand.h"

#include "app/SceneSession.h"
#include "box/FacePictures.h"
#include "box/RenderShot.h"
#include "pictures/TextCase.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace velmora {

namespace {

const char* const kRenderUsage =
    "usage: velmora render [SCENE|--default] -o OUT [--viewer WxH] [--multiplier 1..4] [--size WxH]\n"
    "                      [--front FILE] [--back FILE] [--left FILE] [--right FILE] [--top FILE] [--bottom FILE]\n"
    "  OUT ends in .jpg or .jpeg (JPEG, quality 90), .bmp (24-bit BMP) or .png (8-bit RGB PNG).\n"
    "  The viewer is 492x473 unless given, the multiplier 4 (any number from 1 to 4), the shot the viewer's size.\n";

// Sides the command accepts: a viewer as large as any screen, a shot as large
// as the renderer can make a bitmap.
constexpr int kMaxViewerSide = 8192;
constexpr int kMaxShotSide = 16384;

struct UsageError {
    std::string Message;
};

std::optional<int> parseInt(const std::string& s)
{
    int v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::optional<float> parseMultiplier(const std::string& s)
{
    double v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty() || !(v >= 1.0 && v <= 4.0)) return std::nullopt;
    return float(v);
}

std::pair<int, int> parseSize(const std::string& option, const std::string& text, int least, int most)
{
    const auto x = text.find_first_of("xX");
    std::optional<int> w, h;
    if (x != std::string::npos) {
        w = parseInt(text.substr(0, x));
        h = parseInt(text.substr(x + 1));
    }
    if (!w || !h)
        throw UsageError{option + " needs a size written WIDTHxHEIGHT (for example 492x473), not \"" + text + "\""};
    if (*w < least || *h < least || *w > most || *h > most)
        throw UsageError{option + " " + text + " is out of range: width and height must be " + std::to_string(least) +
                         " to " + std::to_string(most) + " pixels"};
    return {*w, *h};
}

struct RenderOptions {
    std::optional<std::string> Scene; // empty: the default scene
    std::string Out;
    int ViewerWidth = 492, ViewerHeight = 473;
    float Multiplier = 4;
    std::optional<std::pair<int, int>> Size;
    std::vector<std::pair<TBoxFace, std::string>> Faces;
};

RenderOptions parse(const std::vector<std::string>& args)
{
    RenderOptions o;
    bool defaultScene = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "-o" || a == "--output") {
            o.Out = value();
        } else if (a == "--viewer") {
            const std::string& v = value();
            std::tie(o.ViewerWidth, o.ViewerHeight) = parseSize(a, v, 1, kMaxViewerSide);
        } else if (a == "--size") {
            o.Size = parseSize(a, value(), 2, kMaxShotSide);
        } else if (a == "--multiplier") {
            const std::string& v = value();
            // The render-to-file multiplier is a real number; the window's
            // slider offers its whole values.
            const auto m = parseMultiplier(v);
            if (!m)
                throw UsageError{"--multiplier must be a number from 1 to 4 (1, 2, 3 or 4 in the window), not \"" + v +
                                 "\""};
            o.Multiplier = *m;
        } else if (a == "--default") {
            defaultScene = true;
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0 && boxFaceNamed(a.substr(2))) {
            const TBoxFace face = *boxFaceNamed(a.substr(2));
            o.Faces.emplace_back(face, value());
        } else if (!a.empty() && a[0] == '-') {
            throw UsageError{"unknown option for render: " + a};
        } else {
            if (o.Scene) throw UsageError{"render takes one scene file, not also " + a};
            o.Scene = a;
        }
    }
    if (defaultScene && o.Scene) throw UsageError{"render takes a scene file or --default, not both"};
    if (o.Out.empty()) throw UsageError{"render needs an output file: -o OUT"};
    const std::string ext = lowerCase(std::filesystem::path(o.Out).extension().string());
    if (ext != ".jpg" && ext != ".jpeg" && ext != ".bmp" && ext != ".png")
        throw UsageError{"the output file must end in .jpg, .jpeg, .bmp or .png: " + o.Out};
    return o;
}

// A progress line on a terminal, rewritten in place; nothing otherwise.
class TerminalProgress {
public:
    explicit TerminalProgress(std::ostream& err) : Err(err), On(&err == &std::cerr && ::isatty(STDERR_FILENO)) {}
    ~TerminalProgress() { clear(); }
    void stage(const char* s)
    {
        Stage = s;
        show();
    }
    void progress(int p)
    {
        if (p == Percent) return;
        Percent = p;
        show();
    }
    void clear()
    {
        if (On && Shown) Err << "\r\033[K" << std::flush;
        Shown = false;
    }

private:
    void show()
    {
        if (!On) return;
        Err << "\r\033[Kvelmora render: " << Stage << " " << Percent << "%" << std::flush;
        Shown = true;
    }
    std::ostream& Err;
    const bool On;
    bool Shown = false;
    std::string Stage = "preparing";
    int Percent = 0;
};

const char* stageText(const char* stage)
{
    const std::string s = stage;
    if (s == "render") return "rendering";
    if (s == "resize") return "filtering";
    if (s == "encode") return "encoding";
    if (s == "write") return "writing";
    return "finishing";
}

} // namespace

int runRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    RenderOptions o;
    try {
        o = parse(args);
    } catch (const UsageError& e) {
        err << "velmora: " << e.Message << "\n" << kRenderUsage;
        return 2;
    }
    try {
        TerminalProgress line(err);
        TSceneSession session;
        TfrmMainModel& model = session.Model;
        // As at start-up: the first New keeps the scene as built, then the file opens.
        if (o.Scene)
            model.openFromCommandLine(*o.Scene);
        else
            model.New1Click();
        for (const auto& [face, file] : o.Faces) loadPictureIntoFace(model, face, file);

        TRenderToFileJob job;
        job.Path = o.Out;
        job.Multiplier = o.Multiplier;
        job.ViewerWidth = o.ViewerWidth;
        job.ViewerHeight = o.ViewerHeight;
        job.OutputWidth = o.Size ? o.Size->first : o.ViewerWidth;
        job.OutputHeight = o.Size ? o.Size->second : o.ViewerHeight;
        job.PngAllowed = true;
        TRenderToFileHooks hooks;
        std::string fallbackMessage;
        hooks.SetProgress = [&](int p) { line.progress(p); };
        hooks.Stage = [&](const char* s) { line.stage(stageText(s)); };
        hooks.ShowMessage = [&](const std::string& m) { fallbackMessage = m; };
        const TRenderToFileResult r = renderSceneToFile(model, nullptr, job, hooks);
        line.clear();
        if (r.FellBackToBmp) {
            // The file asked for was not written; a script must know.
            err << "velmora: " << fallbackMessage << "\n"
                << "velmora: wrote " << r.WrittenPath << " instead of " << o.Out << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        err << "velmora: " << e.what() << "\n";
        return 1;
    }
    (void)out;
    return 0;
}

} // namespace velmora
