#include "output/BmpWriter.h"

#include "pictures/CoreCodecs.h"

#include <cstring>
#include <fstream>

namespace velmora {

std::vector<std::uint8_t> encodeBmp24(const TRgbRows& rows)
{
    TDecodedImage image;
    image.allocate(rows.Width, rows.Height, TPixelFormat::pf24bit);
    for (int y = 0; y < rows.Height; ++y) {
        const std::uint8_t* src = rows.Bits + y * rows.Stride;
        std::uint8_t* dst = image.row(y);
        if (rows.Bgr) {
            std::memcpy(dst, src, image.rowBytes());
        } else {
            for (int x = 0; x < rows.Width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
    }
    return encodeBmp(image);
}

void saveBmpFile(const std::string& fileName, const TRgbRows& rows)
{
    writeWholeFile(fileName, encodeBmp24(rows));
}

void writeWholeFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw EPictureError("Cannot create file " + fileName);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) throw EPictureError("Cannot write file " + fileName);
}

} // namespace velmora
