#include "output/ShotFile.h"

#include "output/BmpWriter.h"
#include "pictures/TextCase.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const std::string& path)
{
    const std::string name = fs::path(path).filename().string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    return lowerCase(name.substr(dot));
}

[[noreturn]] void cannotCreate(const std::string& path, const std::string& reason)
{
    throw EPictureError("Cannot create file " + path + ": " + reason);
}

} // namespace

TShotFormat shotFormatFor(const std::string& path, bool bmpFilterChosen, bool pngAllowed)
{
    const std::string ext = lowerExtension(path);
    if (ext == ".bmp" || bmpFilterChosen) return TShotFormat::Bmp;
    if (pngAllowed && ext == ".png") return TShotFormat::Png;
    return TShotFormat::Jpeg;
}

std::string withBmpExtension(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".bmp";
    return path.substr(0, dot) + ".bmp";
}

void checkShotTarget(const std::string& path)
{
    if (path.empty()) throw EPictureError("No file name given for the picture");
    fs::path target(path);
    if (target.filename().empty()) cannotCreate(path, "the name is a folder");
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    const auto st = fs::status(folder, ec);
    if (ec || !fs::exists(st)) cannotCreate(path, "the folder " + folder.string() + " does not exist");
    if (!fs::is_directory(st)) cannotCreate(path, folder.string() + " is not a folder");
    if (::access(folder.c_str(), W_OK | X_OK) != 0) cannotCreate(path, std::strerror(errno));
    if (fs::is_directory(target, ec)) cannotCreate(path, "a folder of that name exists");
}

void writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp;
    int fd = -1;
    std::random_device rd;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", unsigned(rd()));
        temp = (folder / ("." + target.filename().string() + suffix)).string();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) cannotCreate(path, std::strerror(errno));
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        p += n;
        left -= std::size_t(n);
    }
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        throw EPictureError("Cannot write file " + path + ": " + std::strerror(error));
    }
}

namespace {

struct PngSink {
    std::vector<std::uint8_t>* out;
};

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    sink->out->insert(sink->out->end(), data, data + length);
}

void pngFlush(png_structp) {}

void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Plain C state only in this frame, so the error jump skips no destructors.
bool writePng(const TRgbRows& rows, PngSink* sink, std::uint8_t* rgbRow)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, sink, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(rows.Width), png_uint_32(rows.Height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    for (int y = 0; y < rows.Height; ++y) {
        const std::uint8_t* src = rows.Bits + y * rows.Stride;
        if (rows.Bgr) {
            for (int x = 0; x < rows.Width; ++x) {
                rgbRow[3 * x] = src[3 * x + 2];
                rgbRow[3 * x + 1] = src[3 * x + 1];
                rgbRow[3 * x + 2] = src[3 * x];
            }
        } else {
            std::memcpy(rgbRow, src, std::size_t(rows.Width) * 3);
        }
        png_write_row(png, rgbRow);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::vector<std::uint8_t> encodePng24(const TRgbRows& rows)
{
    if (rows.Width <= 0 || rows.Height <= 0)
        throw EPictureError("Cannot write a PNG picture of " + std::to_string(rows.Width) + " x " +
                            std::to_string(rows.Height) + " pixels");
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> row(std::size_t(rows.Width) * 3);
    PngSink sink{&out};
    if (!writePng(rows, &sink, row.data())) throw EPictureError("PNG error while writing the picture");
    return out;
}

std::vector<std::uint8_t> encodeShot(const TRgbRows& rows, TShotFormat format)
{
    switch (format) {
    case TShotFormat::Bmp: return encodeBmp24(rows);
    case TShotFormat::Png: return encodePng24(rows);
    case TShotFormat::Jpeg: break;
    }
    return encodeJpeg(rows, 90);
}

} // namespace velmora
