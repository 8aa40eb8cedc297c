#pragma once
// Helpers for checking the picture decoders against files written and read
// back by independent command-line tools.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora::decodertest {

using Bytes = std::vector<std::uint8_t>;
using Decoder = std::function<void(const std::uint8_t*, std::size_t, TDecodedImage&)>;

inline Bytes readFile(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

inline void writeFile(const std::filesystem::path& p, const Bytes& b)
{
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline bool haveTool(const std::string& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

// The real ImageMagick, not a wrapper that might change what it writes.
inline const std::string Convert = "/usr/bin/convert";

inline bool run(const std::string& cmd)
{
    return std::system((cmd + " 2>/dev/null").c_str()) == 0;
}

// A scratch folder removed when the test ends.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velmora-dec-XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// A colourful test picture with every alpha level, written as a PAM that
// ImageMagick and netpbm both read. Width is odd so row padding shows.
inline void writeSourcePam(const std::string& file, int w, int h, bool alpha)
{
    std::string head = "P7\nWIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) + "\nDEPTH " +
        (alpha ? "4" : "3") + "\nMAXVAL 255\nTUPLTYPE " + (alpha ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n";
    Bytes b(head.begin(), head.end());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            b.push_back(std::uint8_t(x * 255 / (w - 1)));
            b.push_back(std::uint8_t(y * 255 / (h - 1)));
            b.push_back(std::uint8_t(((x / 4 + y / 4) & 1) ? 200 : 30));
            if (alpha) b.push_back(std::uint8_t((x * 7 + y * 13) & 255));
        }
    writeFile(file, b);
}

// ImageMagick's own decoding of a file as R,G,B,A bytes.
inline Bytes referenceRgba(const std::string& file, int w, int h)
{
    const std::string out = file + ".rgba";
    if (!run(Convert + " '" + file + "[0]' -depth 8 rgba:'" + out + "'")) return {};
    Bytes b = readFile(out);
    if (b.size() != std::size_t(w) * h * 4) return {};
    return b;
}

// Our decoding as R,G,B,A bytes, whatever pixel format the decoder chose.
inline Bytes decodedRgba(const TDecodedImage& img)
{
    TDecodedImage c = img;
    decoders::toBgra(c);
    Bytes b(c.Pixels.size());
    for (std::size_t i = 0; i + 3 < b.size(); i += 4) {
        b[i] = c.Pixels[i + 2];
        b[i + 1] = c.Pixels[i + 1];
        b[i + 2] = c.Pixels[i];
        b[i + 3] = c.Pixels[i + 3];
    }
    return b;
}

// Largest difference of any channel; counts alpha only when `alpha` is set
// (colour under fully transparent pixels is not compared).
inline int maxDifference(const Bytes& a, const Bytes& b, bool alpha)
{
    if (a.size() != b.size()) return 1000;
    int worst = 0;
    for (std::size_t i = 0; i + 3 < a.size(); i += 4) {
        if (alpha && a[i + 3] == 0 && b[i + 3] == 0) continue;
        for (int c = 0; c < (alpha ? 4 : 3); ++c) worst = std::max(worst, std::abs(int(a[i + c]) - int(b[i + c])));
    }
    return worst;
}

// Decodes `file` and compares with ImageMagick's reading of the same file.
inline void expectMatchesReference(const Decoder& decode, const std::string& file, bool alpha, int tolerance = 0)
{
    Bytes data = readFile(file);
    ASSERT_FALSE(data.empty()) << file;
    TDecodedImage img;
    ASSERT_NO_THROW(decode(data.data(), data.size(), img)) << file;
    Bytes ref = referenceRgba(file, img.Width, img.Height);
    ASSERT_FALSE(ref.empty()) << "reference decoding failed or has another size: " << file;
    const Bytes ours = decodedRgba(img);
    const int diff = maxDifference(ours, ref, alpha);
    EXPECT_LE(diff, tolerance) << file;
    if (diff > tolerance && ours.size() == ref.size()) {
        for (std::size_t i = 0; i < ours.size(); i += 4)
            if (maxDifference(Bytes(ours.begin() + i, ours.begin() + i + 4),
                              Bytes(ref.begin() + i, ref.begin() + i + 4), alpha) > tolerance) {
                ADD_FAILURE() << "first difference at pixel " << i / 4 << ": ours " << int(ours[i]) << ","
                              << int(ours[i + 1]) << "," << int(ours[i + 2]) << "," << int(ours[i + 3]) << " reference "
                              << int(ref[i]) << "," << int(ref[i + 1]) << "," << int(ref[i + 2]) << ","
                              << int(ref[i + 3]);
                break;
            }
    }
}

// Feeds every prefix of a file (or, for larger files, a spread of them) and
// a set of garbled copies to a decoder: each must decode or throw
// EPictureError, never anything else. Memory faults show under the sanitizers.
inline void expectSafeOnDamage(const Decoder& decode, const Bytes& good)
{
    const std::size_t step = good.size() <= 4096 ? 1 : good.size() / 2048;
    for (std::size_t n = 0; n < good.size(); n += step) {
        Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        TDecodedImage img;
        try {
            decode(cut.data(), cut.size(), img);
        } catch (const EPictureError&) {}
    }
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    // VELMORA_DAMAGE_ROUNDS raises the count for a longer hunt under the sanitizers.
    const char* env = std::getenv("VELMORA_DAMAGE_ROUNDS");
    const int rounds = env ? std::max(1, std::atoi(env)) : 300;
    for (int round = 0; round < rounds; ++round) {
        Bytes bad = good;
        const int flips = 1 + int(next() % 8);
        for (int i = 0; i < flips; ++i) {
            // Headers hold the sizes and offsets, so aim most damage there.
            const std::size_t span = (next() & 1) ? std::min<std::size_t>(bad.size(), 128) : bad.size();
            bad[next() % span] = std::uint8_t(next() >> 24);
        }
        TDecodedImage img;
        try {
            decode(bad.data(), bad.size(), img);
        } catch (const EPictureError&) {}
    }
    TDecodedImage img;
    EXPECT_THROW(decode(nullptr, 0, img), EPictureError);
}

// One picture written by ImageMagick per case (source options, target file
// whose extension picks the format), decoded and compared with its reading.
struct Case {
    const char* options;
    const char* target;
    bool alpha;
};

inline void checkCases(const Decoder& decode, const std::vector<Case>& cases, int tolerance = 0)
{
    if (!haveTool(Convert)) GTEST_SKIP() << "ImageMagick is not installed";
    ScratchDir dir;
    writeSourcePam(dir / "src.pam", 37, 23, false);
    writeSourcePam(dir / "srca.pam", 37, 23, true);
    for (const Case& c : cases) {
        const std::string out = dir / c.target;
        const std::string src = dir / (c.alpha ? "srca.pam" : "src.pam");
        ASSERT_TRUE(run(Convert + " '" + src + "' " + c.options + " '" + out + "'")) << c.options << " " << c.target;
        SCOPED_TRACE(std::string(c.options) + " -> " + c.target);
        expectMatchesReference(decode, out, c.alpha, tolerance);
    }
}

} // namespace velmora::decodertest
