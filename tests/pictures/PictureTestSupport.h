#pragma once
// Helpers shared by the picture tests (and the tests of the layers that
// write pictures): temporary files, byte builders, decoding a file, and
// checking the decoders against files written and read back by independent
// command-line tools when those are installed.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "pictures/CoreCodecs.h"
#include "pictures/DecodedImage.h"
#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"
#include "pictures/Rasters.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velmora::test {

// One scratch folder for the whole test program, removed when it ends.
inline std::filesystem::path tempDir()
{
    static const ScratchDir dir("velmora-pictures");
    return dir.path;
}

inline std::string writeTemp(const std::string& name, const Bytes& bytes)
{
    auto p = tempDir() / name;
    writeFile(p, bytes);
    return p.string();
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

// Runs a tool's `command` that writes the netpbm file `reference`, and reads
// that file; false when either step fails.
inline bool netpbmReference(const std::string& command, const std::string& reference, TDecodedImage& out)
{
    return run(command) && readNetpbm(reference, out);
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

using Decoder = std::function<void(const std::uint8_t*, std::size_t, TDecodedImage&)>;

// A file decoded with `decode`, or without one as the BMP, PNG or JPEG its
// first bytes say it is; a decoder's error passes through.
inline TDecodedImage decodeFile(const std::filesystem::path& file, const Decoder& decode = {})
{
    const Bytes b = readFile(file);
    TDecodedImage img;
    if (decode)
        decode(b.data(), b.size(), img);
    else if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M')
        decodeBmp(b.data(), b.size(), img);
    else if (b.size() >= 4 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
        decodePng(b.data(), b.size(), img);
    else
        decodeJpeg(b.data(), b.size(), img);
    return img;
}

// The real ImageMagick, not a wrapper that might change what it writes.
inline const std::string Convert = "/usr/bin/convert";

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
    convertToBgra(c);
    Bytes b(c.Pixels.size());
    convertPixels(c.Pixels.data(), 4, b.data(), b.size() / 4, TChannelOrder::SwapRedBlue);
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

// Every cut of a good file short of its end fails with the format's own
// "<format> picture is not valid: ..." message, never another error.
inline void expectCutsNameTheFormat(const Decoder& decode, const Bytes& good, const std::string& format)
{
    const std::string prefix = format + " picture is not valid: ";
    const std::size_t step = good.size() <= 4096 ? 1 : good.size() / 512;
    for (std::size_t n = 0; n < good.size(); n += step) {
        const Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        TDecodedImage img;
        const std::string message = messageOf([&] { decode(cut.data(), cut.size(), img); });
        ASSERT_EQ(message.rfind(prefix, 0), 0u) << "cut at " << n << " of " << good.size() << ": " << message;
    }
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
    VELMORA_REQUIRE_TOOLS(Convert);
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

} // namespace velmora::test
