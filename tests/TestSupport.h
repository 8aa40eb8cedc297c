#pragma once
// Small helpers every test area uses: the message an action fails with,
// whole-file reading and writing, a scratch folder, the source tree's own
// files, running an outside tool, and skipping a test whose tool is missing.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::test {

using Bytes = std::vector<std::uint8_t>;

// The text of the exception of kind E that `f` throws, or `none` when it
// throws nothing; exceptions of other kinds pass through (and fail the test).
template <class E = std::exception, class F> std::string messageOf(F&& f, const std::string& none = "(no error)")
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return none;
}

inline Bytes readFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readText(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& p, const Bytes& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void writeFile(const std::filesystem::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(text.data(), std::streamsize(text.size()));
}

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes. Its name is unique, so test programs running
// side by side (or several checkouts on one machine) never share files.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "velmora-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder " + pattern);
        path = pattern;
    }
    ~ScratchDir()
    {
        // Tests take away write or read permission to provoke failures; give
        // it back first, so the folder can go.
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (fs::is_directory(it->symlink_status(ec)))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return (path / name).string(); }

    // The names of the entries directly inside, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> n;
        for (const auto& e : std::filesystem::directory_iterator(path)) n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }

    std::filesystem::path path;
};

#ifdef VELMORA_TEST_DATA
// The source tree's root, with a trailing slash (the shipped resources live
// below it).
inline std::string sourceFolder()
{
    std::string root = VELMORA_TEST_DATA; // <source>/tests/data
    root.resize(root.size() - std::string("tests/data").size());
    return root;
}

inline std::string resourcesFolder()
{
    return sourceFolder() + "resources/";
}
#endif

// Whether a program (a name found on PATH, or a path) can be run.
inline bool haveTool(const std::string& name)
{
    return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

// The first of `names` that cannot be run, or "" when all can.
inline std::string missingTool(std::initializer_list<std::string> names)
{
    for (const std::string& n : names)
        if (!haveTool(n)) return n;
    return "";
}

// Runs a shell command with its error output dropped; true on exit status 0.
inline bool run(const std::string& command)
{
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// CI sets CI: there a missing tool, display or GL is a broken runner, not a
// reason to skip.
inline bool underCi()
{
    return std::getenv("CI") != nullptr;
}

} // namespace velmora::test

// Skips the test (from its body or a void helper) unless `available` holds;
// under CI that is a failure instead, so a broken runner cannot pass by
// skipping.
#define VELMORA_REQUIRE(available, why)                                                                                \
    do {                                                                                                               \
        if (!(available)) {                                                                                            \
            if (::velmora::test::underCi()) FAIL() << (why);                                                           \
            GTEST_SKIP() << (why);                                                                                     \
        }                                                                                                              \
    } while (false)

// Skips (under CI: fails) the test when one of the named programs is missing.
#define VELMORA_REQUIRE_TOOLS(...)                                                                                     \
    do {                                                                                                               \
        const std::string missingTool_ = ::velmora::test::missingTool({__VA_ARGS__});                                  \
        VELMORA_REQUIRE(missingTool_.empty(), missingTool_ + " is not installed");                                     \
    } while (false)
