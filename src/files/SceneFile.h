#pragma once
// Getting at the scene stream of a file: a bare stream (".gls") or the
// "Scene.gls" member of a scene archive, told apart by content.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora {

// "File not found: "<path>"" as the scene loader reports a missing file.
std::string fileNotFoundMessage(const std::filesystem::path& path);

// The bytes of a bare stream file, or of the "Scene.gls" member of an archive.
std::vector<std::uint8_t> readSceneStreamBytes(const std::filesystem::path& path);

// Creates or replaces a file with the given bytes; "Cannot create file <path>"
// when it cannot be written.
void writeSceneStreamFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Whole file; fails with the file-not-found message when it is missing.
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);

} // namespace velmora
