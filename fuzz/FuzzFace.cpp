// Face document (`velmora face`): the JSON is written into a working folder
// that holds a few small pictures (fuzz/face), composed with the face
// editor's document operations, and every pixel of the face is read.
//
// While fuzzing (no file name), documents that ask in so many words for a face
// or a rescaled layer of more than 4 Mpx are left out: such sizes are
// legitimate (up to 2^28 pixels) and would only measure the allocator. The
// same goes for text layers whose caption could be larger than that. Named
// inputs (the regression table) always run.
#include "FuzzTarget.h"

#include "app/FaceCommand.h"
#include "faceeditor/Bitmap32.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr double LargeFace = 4.0 * 1024 * 1024;

// A working folder of its own for each input, removed afterwards.
struct TWorkFolder {
    fs::path path;
    TWorkFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "velmora-fuzz-face-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        path = pattern;
        fs::copy(fs::path(VELMORA_SOURCE_DIR) / "fuzz" / "face", path / "face");
    }
    ~TWorkFolder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

double number(const QJsonObject& o, const char* key, double fallback)
{
    return o.value(key).isDouble() ? o.value(key).toDouble() : fallback;
}

bool asksForLargeFace(const QByteArray& bytes)
{
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    const QJsonObject base = root.value("base").toObject();
    if (number(base, "width", 0) * number(base, "height", 0) > LargeFace) return true;
    for (const QJsonValue& v : root.value("layers").toArray()) {
        const QJsonObject layer = v.toObject();
        const QJsonArray p = layer.value("placement").toArray();
        if (layer.value("rescale").toBool() && p.size() == 4 &&
            (p[2].toDouble() - p[0].toDouble()) * (p[3].toDouble() - p[1].toDouble()) > LargeFace)
            return true;
        const double h = number(layer, "height", 24);
        if (layer.value("text").toString().size() * h * h > LargeFace) return true;
    }
    return false;
}

} // namespace

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string& fileName)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    if (fileName.empty() && asksForLargeFace(bytes)) return "large face left out";
    const TWorkFolder work;
    const fs::path document = work.path / "face.json";
    {
        std::ofstream out(document, std::ios::binary | std::ios::trunc);
        out.write(bytes.constData(), bytes.size());
    }
    std::string outcome = "ok";
    try {
        velmora::TBitmap32 face;
        velmora::composeFaceDocument(document.string(), face);
        const velmora::TColor32* p = face.Bits();
        velmora::TColor32 sum = 0;
        for (std::size_t i = 0, n = std::size_t(face.Width()) * std::size_t(face.Height()); i < n; ++i) sum += p[i];
        asm volatile("" : : "g"(sum) : "memory"); // the reads stay
    } catch (const std::exception& e) {
        outcome = e.what();
    }
    // Messages name the document; the working folder differs from run to run.
    const std::string prefix = work.path.string() + "/";
    for (std::size_t at; (at = outcome.find(prefix)) != std::string::npos;) outcome.erase(at, prefix.size());
    return outcome;
}

VELMORA_FUZZ_ENTRY
