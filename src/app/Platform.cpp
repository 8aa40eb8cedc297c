#include "app/Platform.h"

#include <cerrno>
#include <cfenv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace velmora {

void initFloatingPoint()
{
    std::fesetround(FE_TONEAREST);
    // Masked exceptions are the C default; make sure a library has not unmasked any.
#if defined(__GLIBC__)
    fedisableexcept(FE_ALL_EXCEPT);
#endif
    std::feclearexcept(FE_ALL_EXCEPT);
}

std::string programFolder()
{
    std::error_code ec;
    auto exe = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec) throw std::runtime_error("Unable to find the program folder: " + ec.message());
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

TWorkingFolder::TWorkingFolder()
{
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string templ = (base / "velmora-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("Unable to create a working folder in " + base.string() + ": " + std::strerror(errno));
    Path = std::string(buf.data()) + "/";
}

TWorkingFolder::~TWorkingFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(Path, ec); // nothing to report at shut-down
}

} // namespace velmora
