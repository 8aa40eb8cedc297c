#pragma once
// Small owning wrappers over the ZIP library: a writer that adds files under
// their base names and a reader that extracts members by base name with limits
// against hostile archives.

#include "pictures/Errors.h"
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

struct zip;

namespace velmora {

class EArchiveError : public EDataError {
public:
    using EDataError::EDataError;
};

// The file system refused to create, read or write an archive or a member.
class EArchiveIOError : public EIOError {
public:
    using EIOError::EIOError;
};

inline constexpr const char* kUnhandledArchiveType = "Unhandled Archive Type";
inline constexpr const char* kArchiveDoesNotExist = "Archive does not exist - Filename is blank";

class ZipWriter {
public:
    // Creates (or replaces on close) the archive at path.
    explicit ZipWriter(const std::filesystem::path& path);
    ~ZipWriter(); // discards the archive when close() was not reached
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds a file under nameInArchive, deflated or stored, whichever is smaller;
    // its modification time and permissions are kept.
    void addFile(const std::filesystem::path& file, const std::string& nameInArchive);
    // Adds every regular file of folder whose name matches pattern ("Scene.*").
    void addMatching(const std::filesystem::path& folder, const std::string& pattern);
    void close();

private:
    zip* archive_ = nullptr;
    std::filesystem::path path_;
};

struct ZipLimits {
    std::size_t maxMembers = 1000;
    std::uint64_t maxMemberSize = 512ull << 20;
    std::uint64_t maxTotalSize = 1024ull << 20;
};

class ZipReader {
public:
    // Fails with "Archive does not exist - Filename is blank" when there is no file
    // and "Unhandled Archive Type" when it is not a ZIP archive.
    explicit ZipReader(const std::filesystem::path& path, ZipLimits limits = {});
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    std::size_t count() const;
    std::string name(std::size_t index) const;
    // Member contents, bounded by the limits.
    std::string read(std::size_t index) const;
    // Writes every file member into folder under its base name, overwriting;
    // returns the base names written. Names that would leave the folder cannot
    // arise since folder parts are dropped; "." and ".." are refused.
    std::vector<std::string> extractAll(const std::filesystem::path& folder) const;

private:
    zip* archive_ = nullptr;
    ZipLimits limits_;
};

// Base name of a member name, with either separator.
std::string zipBaseName(const std::string& memberName);
// "*" and "?" wildcard match without regard to case.
bool wildcardMatch(const std::string& pattern, const std::string& name);

} // namespace velmora
