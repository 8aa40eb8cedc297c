#include "files/ZipArchive.h"

#include "pictures/ByteReader.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

std::string zipBaseName(const std::string& memberName)
{
    const std::size_t p = memberName.find_last_of("/\\");
    return p == std::string::npos ? memberName : memberName.substr(p + 1);
}

bool wildcardMatch(const std::string& pattern, const std::string& name)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    std::size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

namespace {

struct FdHandle {
    int fd = -1;
    ~FdHandle()
    {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

// ---------------------------------------------------------------- writer

ZipWriter::ZipWriter(const fs::path& path) : path_(path)
{
    int err = 0;
    archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!archive_) throw EArchiveIOError("Cannot create file " + path.string());
}

ZipWriter::~ZipWriter()
{
    if (archive_) zip_discard(archive_);
}

void ZipWriter::addFile(const fs::path& file, const std::string& nameInArchive)
{
    if (!archive_) throw EArchiveError("Archive is closed");
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw EArchiveIOError("Cannot open file " + file.string());
    zip_source_t* src = zip_source_file(archive_, file.c_str(), 0, -1);
    if (!src) throw EArchiveIOError("Cannot open file " + file.string());
    const zip_int64_t idx = zip_file_add(archive_, nameInArchive.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
    if (idx < 0) {
        zip_source_free(src);
        throw EArchiveError("Cannot add " + nameInArchive + " to " + path_.string());
    }
    const auto u = static_cast<zip_uint64_t>(idx);
    zip_set_file_compression(archive_, u, ZIP_CM_DEFAULT, 0);
    zip_file_set_mtime(archive_, u, st.st_mtime, 0);
    zip_file_set_external_attributes(archive_, u, 0, ZIP_OPSYS_UNIX,
                                     static_cast<zip_uint32_t>(st.st_mode & 0xFFFF) << 16);
}

void ZipWriter::addMatching(const fs::path& folder, const std::string& pattern)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file() && wildcardMatch(pattern, entry.path().filename().string()))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end()); // stable member order whatever the directory order
    for (const auto& f : files) addFile(f, f.filename().string());
}

namespace {

bool readAt(int fd, void* buf, std::size_t n, off_t at)
{
    return ::pread(fd, buf, n, at) == static_cast<ssize_t>(n);
}

// Anything out of the expected shape ends the pass below: the archive is
// valid as the library wrote it.
struct OutOfShape {
    explicit OutOfShape(const std::string&) {}
};
using HeaderReader = TByteReader<OutOfShape>;

} // namespace

// The library marks every member as needing version 2.0, also those it fell
// back to storing; a stored member needs only 1.0. The field is outside every
// checksum, so it is set in place in the local and the central headers. An
// archive of any other shape (a comment, ZIP64, encryption) is left as it is.
static void markStoredMembersVersion10(const fs::path& path)
{
    FdHandle fd;
    fd.fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd.fd < 0) return;
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0 || st.st_size < 22) return;
    std::vector<std::uint8_t> endBytes(22);
    if (!readAt(fd.fd, endBytes.data(), 22, st.st_size - 22)) return;
    try {
        const HeaderReader end(endBytes, "");
        if (end.le32At(0) != 0x06054b50u || end.le16At(20) != 0) return;
        const unsigned entries = end.le16At(10);
        const std::uint32_t size = end.le32At(12), offset = end.le32At(16);
        if (entries == 0xFFFF || offset == 0xFFFFFFFFu || std::uint64_t(offset) + size > std::uint64_t(st.st_size) - 22)
            return;
        std::vector<std::uint8_t> centralBytes(size);
        if (!readAt(fd.fd, centralBytes.data(), size, offset)) return;
        HeaderReader central(centralBytes, "");
        for (unsigned i = 0; i < entries; ++i) {
            const std::size_t at = central.pos();
            if (central.le32At(at) != 0x02014b50u) return;
            const unsigned needed = central.le16At(at + 6), flags = central.le16At(at + 8);
            const unsigned method = central.le16At(at + 10), nameLength = central.le16At(at + 28);
            const std::uint32_t local = central.le32At(at + 42);
            const auto name = central.at(at + 46, nameLength);
            central.skip(46 + std::uint64_t(nameLength) + central.le16At(at + 30) + central.le16At(at + 32));
            const bool folder = !name.empty() && name.back() == '/';
            if (method == 0 && needed == 20 && (flags & 1) == 0 && !folder && local != 0xFFFFFFFFu) {
                std::vector<std::uint8_t> headBytes(8);
                if (!readAt(fd.fd, headBytes.data(), 8, local)) return;
                const HeaderReader head(headBytes, "");
                if (head.le32At(0) != 0x04034b50u) return;
                const std::uint8_t ten[2] = {10, 0};
                if (head.le16At(4) == 20 && ::pwrite(fd.fd, ten, 2, off_t(local) + 4) != 2) return;
                if (::pwrite(fd.fd, ten, 2, off_t(offset) + off_t(at) + 6) != 2) return;
            }
        }
    } catch (const OutOfShape&) {}
}

void ZipWriter::close()
{
    if (!archive_) return;
    if (zip_close(archive_) != 0) {
        const std::string why = zip_strerror(archive_);
        zip_discard(archive_);
        archive_ = nullptr;
        throw EArchiveIOError("Cannot write archive " + path_.string() + ": " + why);
    }
    archive_ = nullptr;
    markStoredMembersVersion10(path_);
}

// ---------------------------------------------------------------- reader

ZipReader::ZipReader(const fs::path& path, ZipLimits limits) : limits_(limits)
{
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) throw EArchiveError(kArchiveDoesNotExist);
    int err = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!archive_) {
        if (err == ZIP_ER_NOENT || err == ZIP_ER_OPEN) throw EArchiveError(kArchiveDoesNotExist);
        if (err == ZIP_ER_NOZIP) throw EArchiveError(kUnhandledArchiveType);
        zip_error_t ze;
        zip_error_init_with_code(&ze, err);
        const std::string why = zip_error_strerror(&ze);
        zip_error_fini(&ze);
        throw EArchiveError("Damaged archive: " + why);
    }
    const zip_int64_t n = zip_get_num_entries(archive_, 0);
    if (n < 0 || static_cast<std::uint64_t>(n) > limits_.maxMembers) {
        zip_discard(archive_);
        archive_ = nullptr;
        throw EArchiveError("The archive holds too many members");
    }
}

ZipReader::~ZipReader()
{
    if (archive_) zip_discard(archive_);
}

std::size_t ZipReader::count() const
{
    return static_cast<std::size_t>(zip_get_num_entries(archive_, 0));
}

std::string ZipReader::name(std::size_t index) const
{
    const char* n = zip_get_name(archive_, index, ZIP_FL_ENC_GUESS);
    return n ? n : std::string();
}

namespace {

struct ZipFileHandle {
    zip_file_t* f = nullptr;
    ~ZipFileHandle()
    {
        if (f) zip_fclose(f);
    }
};

} // namespace

// Streams one member to sink in chunks, refusing more data than the limit allows
// whatever the header claims.
template <class Sink>
static std::uint64_t readMember(zip_t* archive, std::size_t index, std::uint64_t limit, const std::string& name,
                                Sink&& sink)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, 0, &st) != 0) throw EArchiveError("Damaged archive member " + name);
    if ((st.valid & ZIP_STAT_SIZE) && st.size > limit) throw EArchiveError("Archive member " + name + " is too large");
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        throw EArchiveError("Archive member " + name + " is encrypted");
    ZipFileHandle file;
    file.f = zip_fopen_index(archive, index, 0);
    if (!file.f) throw EArchiveError("Cannot read archive member " + name + ": " + zip_strerror(archive));
    std::uint64_t total = 0;
    char buf[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(file.f, buf, sizeof buf);
        if (got < 0) throw EArchiveError("Damaged archive member " + name + ": " + zip_file_strerror(file.f));
        if (got == 0) break;
        total += static_cast<std::uint64_t>(got);
        if (total > limit) throw EArchiveError("Archive member " + name + " is too large");
        sink(buf, static_cast<std::size_t>(got));
    }
    return total;
}

std::string ZipReader::read(std::size_t index) const
{
    std::string out;
    readMember(archive_, index, limits_.maxMemberSize, name(index),
               [&](const char* p, std::size_t n) { out.append(p, n); });
    return out;
}

std::vector<std::string> ZipReader::extractAll(const fs::path& folder) const
{
    std::vector<std::string> written;
    std::uint64_t total = 0;
    const std::size_t n = count();
    for (std::size_t i = 0; i < n; ++i) {
        const std::string member = name(i);
        if (member.empty() || member.back() == '/' || member.back() == '\\') continue; // folder entry
        const std::string base = zipBaseName(member);
        if (base.empty() || base == "." || base == "..")
            throw EArchiveError("Invalid member name in archive: " + member);
        const fs::path target = folder / base;
        const fs::path part = folder / (base + ".part");
        ::unlink(part.c_str());
        FdHandle fd;
        // O_EXCL and O_NOFOLLOW: never write through a link planted in the folder.
        fd.fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd.fd < 0) throw EArchiveIOError("Cannot create file " + target.string());
        try {
            const std::uint64_t remainingTotal = limits_.maxTotalSize - total;
            const std::uint64_t limit = std::min(limits_.maxMemberSize, remainingTotal);
            total += readMember(archive_, i, limit, member, [&](const char* p, std::size_t len) {
                while (len > 0) {
                    const ssize_t w = ::write(fd.fd, p, len);
                    if (w < 0) {
                        if (errno == EINTR) continue;
                        throw EArchiveIOError("Unable to write to " + target.string());
                    }
                    p += w;
                    len -= static_cast<std::size_t>(w);
                }
            });
            if (::close(fd.fd) != 0) {
                fd.fd = -1;
                throw EArchiveIOError("Unable to write to " + target.string());
            }
            fd.fd = -1;
            if (::rename(part.c_str(), target.c_str()) != 0)
                throw EArchiveIOError("Unable to write to " + target.string());
        } catch (...) {
            ::unlink(part.c_str());
            throw;
        }
        written.push_back(base);
    }
    return written;
}

} // namespace velmora
