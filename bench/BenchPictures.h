#pragma once
// The large test picture the benchmarks share, written as a binary PPM.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

// A photo-like n x n picture: smooth gradients with some texture, so no
// coder gets an unrealistically easy or hard time.
inline void writeBenchPpm(const std::filesystem::path& ppm, int n = 4096)
{
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << n << " " << n << "\n255\n";
    std::string row(std::size_t(n) * 3, '\0');
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            row[3 * x] = char((x >> 4) + ((x * y) >> 14 & 15));
            row[3 * x + 1] = char((y >> 4) ^ (x >> 7));
            row[3 * x + 2] = char(((x + y) >> 5) + ((x ^ y) & 7));
        }
        out.write(row.data(), std::streamsize(row.size()));
    }
}
