#pragma once
// Small helpers every test area uses: the message an action fails with,
// whole-file reading and writing, a scratch folder, running an outside tool.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace velmora::test {

using Bytes = std::vector<std::uint8_t>;

// The text of the exception `f` throws, or "(no error)".
inline std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
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
// in it when the object goes.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "velmora-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return (path / name).string(); }

    std::filesystem::path path;
};

// Whether a program (a name found on PATH, or a path) can be run.
inline bool haveTool(const std::string& name)
{
    return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command with its error output dropped; true on exit status 0.
inline bool run(const std::string& command)
{
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

} // namespace velmora::test
