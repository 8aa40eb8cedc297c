#include "app/FaceCommand.h"

#include "faceeditor/FaceDocument.h"
#include "faceeditor/FontServices.h"
#include "pictures/TextCase.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <stdexcept>
#include <unistd.h>

namespace velmora {

namespace {

constexpr qint64 MaxDocumentBytes = 16 << 20;
constexpr double MaxCoordinate = 1e6;
constexpr int MaxFaceSide = 65536;

class TDocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& where, const std::string& message)
{
    throw TDocumentError(where + ": " + message);
}

std::string str(const QString& s)
{
    return s.toStdString();
}

void checkKeys(const QJsonObject& o, std::initializer_list<const char*> allowed, const std::string& where)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool known = false;
        for (const char* k : allowed) known = known || it.key() == QLatin1String(k);
        if (!known) {
            std::string list;
            for (const char* k : allowed) list += (list.empty() ? "" : ", ") + std::string(k);
            fail(where, "unknown key \"" + str(it.key()) + "\" (known keys: " + list + ")");
        }
    }
}

int intValue(const QJsonObject& o, const char* key, int lo, int hi, int fallback, const std::string& where)
{
    if (!o.contains(key)) return fallback;
    const QJsonValue v = o.value(key);
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < lo || d > hi)
        fail(where,
             "\"" + std::string(key) + "\" must be a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi));
    return int(d);
}

bool boolValue(const QJsonObject& o, const char* key, bool fallback, const std::string& where)
{
    if (!o.contains(key)) return fallback;
    if (!o.value(key).isBool()) fail(where, "\"" + std::string(key) + "\" must be true or false");
    return o.value(key).toBool();
}

std::string stringValue(const QJsonObject& o, const char* key, const std::string& where, bool required,
                        const std::string& fallback = {})
{
    if (!o.contains(key)) {
        if (required) fail(where, "\"" + std::string(key) + "\" is missing");
        return fallback;
    }
    if (!o.value(key).isString()) fail(where, "\"" + std::string(key) + "\" must be a text");
    return str(o.value(key).toString());
}

// "#RRGGBB" as an opaque pixel.
TColor32 colourValue(const QJsonObject& o, const char* key, TColor32 fallback, const std::string& where)
{
    if (!o.contains(key)) return fallback;
    const std::string s = o.value(key).isString() ? str(o.value(key).toString()) : std::string();
    bool ok = s.size() == 7 && s[0] == '#';
    for (std::size_t i = 1; ok && i < s.size(); ++i) ok = std::isxdigit(static_cast<unsigned char>(s[i]));
    if (!ok) fail(where, "\"" + std::string(key) + "\" must be a colour written #RRGGBB");
    return 0xFF000000u | TColor32(std::stoul(s.substr(1), nullptr, 16));
}

std::string resolve(const std::filesystem::path& folder, const std::string& file)
{
    const std::filesystem::path p(file);
    return (p.is_absolute() ? p : folder / p).string();
}

struct TFaceRun {
    TImgView32Model view;
    TFaceDocument doc{view};
    std::filesystem::path folder;

    // A picture named by the document, taken from the document's folder. JSON
    // texts may hold NUL characters; the system would cut the name there and
    // open another file than the one whose extension was read.
    std::string fileValue(const QJsonObject& o, const char* key, const std::string& where)
    {
        const std::string name = stringValue(o, key, where, true);
        if (name.find('\0') != std::string::npos)
            fail(where, "\"" + std::string(key) + "\" must be a file name without NUL characters");
        return resolve(folder, name);
    }

    TFaceRun()
    {
        // The editor's canvas as it opens: 555 x 480 at 35 %.
        view.setViewSize(555, 480);
        doc.StartNewImage(640, 480, 0xFFFFFFFF);
        view.setScale(0.35f);
    }

    void base(const QJsonValue& value)
    {
        const std::string where = "base";
        if (!value.isObject()) fail(where, "must be an object with \"width\" and \"height\", or \"picture\"");
        const QJsonObject o = value.toObject();
        checkKeys(o, {"width", "height", "color", "picture", "background"}, where);
        const bool sized = o.contains("width") || o.contains("height");
        if (o.contains("picture")) {
            if (sized || o.contains("color"))
                fail(where, "give either \"picture\" or \"width\", \"height\" and \"color\"");
            try {
                doc.OpenBaseImage(fileValue(o, "picture", where));
            } catch (const TDocumentError&) {
                throw;
            } catch (const std::exception& e) {
                fail(where, e.what());
            }
        } else {
            if (!o.contains("width") || !o.contains("height"))
                fail(where, "needs \"width\" and \"height\" (or a \"picture\")");
            const int w = intValue(o, "width", 1, MaxFaceSide, 0, where);
            const int h = intValue(o, "height", 1, MaxFaceSide, 0, where);
            if (std::int64_t(w) * h > MaxBitmapPixels)
                fail(where, std::to_string(w) + " x " + std::to_string(h) + " pixels is larger than a face can be");
            doc.StartNewImage(w, h, colourValue(o, "color", 0xFFFFFFFF, where));
            view.setScale(0.35f);
        }
        if (o.contains("background")) {
            try {
                doc.BackgroundImage(fileValue(o, "background", where));
            } catch (const TDocumentError&) {
                throw;
            } catch (const std::exception& e) {
                fail(where + " background", e.what());
            }
        }
    }

    TFloatRect placement(const QJsonValue& v, const std::string& where)
    {
        const QJsonArray a = v.toArray();
        bool ok = v.isArray() && a.size() == 4;
        double c[4] = {};
        for (int i = 0; ok && i < 4; ++i) {
            c[i] = a[i].toDouble(std::nan(""));
            ok = a[i].isDouble() && std::isfinite(c[i]) && std::fabs(c[i]) <= MaxCoordinate;
        }
        if (!ok)
            fail(where,
                 "\"placement\" must be [left, top, right, bottom] in image pixels, each between -1000000 "
                 "and 1000000");
        if (!(c[2] > c[0] && c[3] > c[1])) fail(where, "\"placement\" needs right > left and bottom > top");
        return {float(c[0]), float(c[1]), float(c[2]), float(c[3])};
    }

    void layer(const QJsonValue& value, int number)
    {
        std::string where = "layer " + std::to_string(number);
        if (!value.isObject()) fail(where, "must be an object");
        const QJsonObject o = value.toObject();
        const std::string type = stringValue(o, "type", where, true);
        where += " (" + type + ")";
        const std::initializer_list<const char*> common = {"type",   "placement", "opacity", "filter",
                                                           "rotate", "mirror",    "rescale"};
        std::vector<const char*> keys(common);
        if (type == "picture") {
            keys.push_back("file");
        } else if (type == "alpha") {
            keys.insert(keys.end(), {"file", "alpha"});
        } else if (type == "text") {
            keys.insert(keys.end(), {"text", "font", "height", "bold", "italic", "color"});
        } else {
            fail(where, "\"type\" must be \"picture\", \"alpha\" or \"text\"");
        }
        for (auto it = o.begin(); it != o.end(); ++it) {
            bool known = false;
            for (const char* k : keys) known = known || it.key() == QLatin1String(k);
            if (!known) fail(where, "unknown key \"" + str(it.key()) + "\"");
        }
        // Everything is checked before the layer is made, so a bad value
        // never leaves half a layer behind.
        const int rotate = intValue(o, "rotate", 0, 270, 0, where);
        if (rotate % 90) fail(where, "\"rotate\" must be 0, 90, 180 or 270");
        const std::string mirror = stringValue(o, "mirror", where, false, "none");
        if (mirror != "none" && mirror != "horizontal" && mirror != "vertical" && mirror != "both")
            fail(where, "\"mirror\" must be \"none\", \"horizontal\", \"vertical\" or \"both\"");
        const std::string filter = stringValue(o, "filter", where, false, "nearest");
        if (filter != "nearest" && filter != "linear") fail(where, "\"filter\" must be \"nearest\" or \"linear\"");
        const int opacity = intValue(o, "opacity", 0, 255, 255, where);
        const bool rescale = boolValue(o, "rescale", false, where);
        const bool placed = o.contains("placement");
        const TFloatRect rect = placed ? placement(o.value("placement"), where) : TFloatRect{};

        try {
            if (type == "picture") {
                doc.addPictureLayer(fileValue(o, "file", where));
            } else if (type == "alpha") {
                TBitmap32 colour, alpha;
                colour.LoadPicture(fileValue(o, "file", where));
                if (o.contains("alpha")) {
                    alpha.LoadPicture(fileValue(o, "alpha", where));
                    GrayFromColor(alpha, alpha, false);
                }
                doc.addRGBALayer(colour, alpha);
            } else {
                TFont32 font;
                font.Name = stringValue(o, "font", where, false, "DejaVu Sans");
                font.Height = intValue(o, "height", 1, 1000, 24, where);
                font.Styles = (boolValue(o, "bold", false, where) ? TFont32::fsBold : 0u) |
                    (boolValue(o, "italic", false, where) ? TFont32::fsItalic : 0u);
                const TColor32 c = colourValue(o, "color", 0xFF000000, where);
                font.Color = (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16; // as a window colour
                const std::string text = stringValue(o, "text", where, true);
                // As in the editor: a new text layer, then the font and the caption.
                doc.TextFont = font;
                doc.addTextLayer();
                doc.captionChange(text);
            }
            if (rotate == 90) doc.rotate90();
            if (rotate == 180) doc.rotate180();
            if (rotate == 270) doc.rotate270();
            if (mirror == "horizontal" || mirror == "both") doc.flipHorz();
            if (mirror == "vertical" || mirror == "both") doc.flipVert();
            if (placed) doc.placeSelection(rect);
            doc.setOpacity(opacity);
            doc.setInterpolated(filter == "linear");
            if (rescale) doc.Rescale();
        } catch (const TDocumentError&) {
            throw;
        } catch (const std::exception& e) {
            fail(where, e.what());
        }
    }
};

int lineOf(const QByteArray& bytes, int offset)
{
    int line = 1;
    for (int i = 0; i < offset && i < bytes.size(); ++i)
        if (bytes[i] == '\n') ++line;
    return line;
}

} // namespace

void composeFaceDocument(const std::string& documentFile, TBitmap32& out)
{
    QFile file(QString::fromStdString(documentFile));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open face document \"" + documentFile + "\": " + str(file.errorString()));
    if (file.size() > MaxDocumentBytes)
        throw std::runtime_error(documentFile + ": a face document is a small text file; this one is too large");
    const QByteArray bytes = file.readAll();
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw std::runtime_error(documentFile + ":" + std::to_string(lineOf(bytes, parseError.offset)) + ": " +
                                 str(parseError.errorString()));
    if (!json.isObject())
        throw std::runtime_error(documentFile + ":1: a face document is an object with \"base\" and \"layers\"");
    const QJsonObject root = json.object();
    try {
        checkKeys(root, {"base", "layers"}, "document");
        if (!root.contains("base")) fail("document", "\"base\" is missing");
        if (root.contains("layers") && !root.value("layers").isArray()) fail("document", "\"layers\" must be a list");

        ensureFontServices();
        TFaceRun run;
        run.folder = std::filesystem::absolute(std::filesystem::path(documentFile)).parent_path();
        run.base(root.value("base"));
        const QJsonArray layers = root.value("layers").toArray();
        for (int i = 0; i < layers.size(); ++i) run.layer(layers[i], i + 1);
        run.doc.compose(out);
    } catch (const std::exception& e) {
        throw std::runtime_error(documentFile + ": " + e.what());
    }
}

void writeFacePicture(const TBitmap32& face, const std::string& fileName)
{
    const std::string ext = lowerCase(std::filesystem::path(fileName).extension().string());
    if (ext != ".png") {
        face.SavePicture(fileName);
        return;
    }
    // The pixel layout is the toolkit's non-premultiplied ARGB32.
    const QImage image(reinterpret_cast<const uchar*>(face.Bits()), face.Width(), face.Height(), face.Width() * 4,
                       QImage::Format_ARGB32);
    const std::string temp = fileName + ".part" + std::to_string(::getpid());
    if (!image.save(QString::fromStdString(temp), "PNG")) {
        std::remove(temp.c_str());
        throw std::runtime_error("Cannot create file \"" + fileName + "\"");
    }
    std::error_code ec;
    std::filesystem::rename(temp, fileName, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw std::runtime_error("Cannot create file \"" + fileName + "\". " + ec.message());
    }
}

int runFaceCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const char* usage = "usage: velmora face DOCUMENT -o OUT\n";
    std::string document, output;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) {
                err << "velmora: " << a << " needs a file name\n" << usage;
                return 2;
            }
            output = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            err << "velmora: unknown option for face: " << a << "\n" << usage;
            return 2;
        } else if (document.empty()) {
            document = a;
        } else {
            err << "velmora: face takes one document\n" << usage;
            return 2;
        }
    }
    if (document.empty() || output.empty()) {
        err << "velmora: face needs a DOCUMENT and -o OUT\n" << usage;
        return 2;
    }
    try {
        TBitmap32 face;
        composeFaceDocument(document, face);
        writeFacePicture(face, output);
    } catch (const std::exception& e) {
        err << "velmora: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace velmora
