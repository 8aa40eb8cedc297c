#pragma once
// Helpers shared by the picture tests: temporary files, byte builders and
// running the independent command-line tools when they are installed.

#include "pictures/DecodedImage.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace velmora::test {

using Bytes = std::vector<std::uint8_t>;

inline std::filesystem::path tempDir()
{
    static std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("velmora-pictures-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

inline std::string writeTemp(const std::string& name, const Bytes& bytes)
{
    auto p = tempDir() / name;
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p.string();
}

inline Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool haveTool(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool run(const std::string& cmd)
{
    return std::system((cmd + " 2>/dev/null").c_str()) == 0;
}

inline void put16(Bytes& b, int v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

// An 18-byte TGA header.
inline Bytes tgaHeader(int imageType, int width, int height, int bits, int descriptor = 0, int mapType = 0,
                       int mapLength = 0, int mapBits = 0, int idLength = 0)
{
    Bytes b{std::uint8_t(idLength), std::uint8_t(mapType), std::uint8_t(imageType)};
    put16(b, 0);
    put16(b, mapLength);
    b.push_back(std::uint8_t(mapBits));
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.push_back(std::uint8_t(bits));
    b.push_back(std::uint8_t(descriptor));
    return b;
}

// Binary PPM (P6) or PAM with alpha, parsed into B,G,R(,A) rows top first.
inline bool readNetpbm(const std::string& path, TDecodedImage& out)
{
    Bytes b = readFile(path);
    std::size_t i = 0;
    auto token = [&]() {
        while (i < b.size()) {
            if (b[i] == '#') {
                while (i < b.size() && b[i] != '\n') ++i;
            } else if (std::isspace(b[i])) {
                ++i;
            } else {
                break;
            }
        }
        std::string t;
        while (i < b.size() && !std::isspace(b[i])) t += char(b[i++]);
        return t;
    };
    std::string magic = token();
    int w = 0, h = 0, maxv = 0, depth = 3;
    if (magic == "P6" || magic == "P5") {
        w = std::stoi(token());
        h = std::stoi(token());
        maxv = std::stoi(token());
        depth = magic == "P6" ? 3 : 1;
        ++i;
    } else if (magic == "P7") {
        for (std::string t = token(); t != "ENDHDR"; t = token()) {
            if (t == "WIDTH")
                w = std::stoi(token());
            else if (t == "HEIGHT")
                h = std::stoi(token());
            else if (t == "DEPTH")
                depth = std::stoi(token());
            else if (t == "MAXVAL")
                maxv = std::stoi(token());
            else if (t == "TUPLTYPE")
                token();
        }
        ++i;
    } else {
        return false;
    }
    if (maxv != 255 || b.size() < i + std::size_t(w) * h * depth) return false;
    const bool alpha = depth == 4 || depth == 2;
    out.allocate(w, h, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* s = &b[i + (std::size_t(y) * w + x) * depth];
            std::uint8_t* d = out.row(y) + x * (alpha ? 4 : 3);
            if (depth >= 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            } else {
                d[0] = d[1] = d[2] = s[0];
            }
            if (alpha) d[3] = s[depth - 1];
        }
    return true;
}

// A deterministic test picture with smooth gradients and hard edges.
inline Bytes makePpm(int w, int h)
{
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes b(head.begin(), head.end());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            b.push_back(std::uint8_t(x * 255 / std::max(1, w - 1)));
            b.push_back(std::uint8_t(y * 255 / std::max(1, h - 1)));
            b.push_back(std::uint8_t(((x / 8 + y / 8) & 1) ? 220 : 30));
        }
    return b;
}

} // namespace velmora::test
