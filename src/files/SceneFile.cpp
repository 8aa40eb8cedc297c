#include "files/SceneFile.h"

#include "files/ComponentStream.h"
#include "files/SceneArchive.h"
#include "files/ZipArchive.h"
#include "pictures/TextCase.h"

#include <fstream>
#include <iterator>
#include <optional>

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
        // The member as an open finds it: by base name, exact case first.
        std::optional<std::size_t> member;
        for (std::size_t i = 0; i < zip.count() && !member; ++i)
            if (zipBaseName(zip.name(i)) == "Scene.gls") member = i;
        for (std::size_t i = 0; i < zip.count() && !member; ++i)
            if (sameText(zipBaseName(zip.name(i)), "Scene.gls")) member = i;
        if (!member) throw EFilerError(fileNotFoundMessage(path / "Scene.gls"));
        const std::string data = zip.read(*member);
        return {data.begin(), data.end()};
    }
    case SceneContainer::Unknown: throw EReadError(filer_messages::InvalidStreamFormat);
    case SceneContainer::Stream: break;
    }
    return readFileBytes(path);
}

} // namespace velmora
