#include "files/SceneFile.h"

#include "files/ComponentStream.h"
#include "files/SceneArchive.h"
#include "files/ZipArchive.h"

#include <fstream>
#include <iterator>

namespace velmora {

namespace fs = std::filesystem;

std::string fileNotFoundMessage(const fs::path& path)
{
    return "File not found: \"" + path.string() + "\"";
}

std::vector<std::uint8_t> readFileBytes(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) throw EFilerError(fileNotFoundMessage(path));
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EFilerError("Cannot open file " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeSceneStreamFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EFilerError("Cannot create file " + path.string());
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw EFilerError("Cannot create file " + path.string());
}

std::vector<std::uint8_t> readSceneStreamBytes(const fs::path& path)
{
    switch (detectSceneContainer(path)) {
    case SceneContainer::Missing: throw EFilerError(fileNotFoundMessage(path));
    case SceneContainer::Zip: {
        ZipReader zip(path);
        for (std::size_t i = 0; i < zip.count(); ++i) {
            if (zipBaseName(zip.name(i)) == "Scene.gls") {
                const std::string data = zip.read(i);
                return {data.begin(), data.end()};
            }
        }
        throw EFilerError(fileNotFoundMessage(path / "Scene.gls"));
    }
    case SceneContainer::Unknown: throw EReadError(filer_messages::InvalidStreamFormat);
    case SceneContainer::Stream: break;
    }
    return readFileBytes(path);
}

} // namespace velmora
