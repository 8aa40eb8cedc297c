// Picture decoding by extension, then the conversion a texture upload makes,
// touching every pixel of both so that a short buffer cannot go unnoticed.
// Fuzz input: the extension, a line feed, the file's bytes.
#include "FuzzTarget.h"

#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

namespace {

volatile std::uint32_t sink;

std::string run(std::span<const std::uint8_t> data, std::string extension)
{
    using namespace velmora;
    const TPictureFormat* format = pictureFormats().findByExtension(extension);
    if (!format) return "Unknown picture file extension (." + extension + ")";
    std::unique_ptr<TGraphic> graphic = format->Create();
    graphic->LoadFromBytes(data.data(), data.size());
    const TDecodedImage& raster = graphic->Raster();
    std::uint32_t sum = 0;
    for (std::uint8_t b : raster.Pixels) sum += b;
    const std::size_t bpp = std::size_t(bytesPerPixel(raster.Format));
    if (raster.Pixels.size() != std::size_t(raster.Width) * raster.Height * bpp)
        return "raster size does not match its dimensions";
    if (raster.Format == TPixelFormat::pf8bit)
        for (std::uint8_t idx : raster.Pixels)
            if (idx < raster.Palette.size()) sum += raster.Palette[idx][0];
    const TGLBitmap32 texture = convertToBitmap32(graphic.get());
    if (texture.Data.size() != std::size_t(texture.Width) * texture.Height * 4)
        return "texture size does not match its dimensions";
    for (std::uint8_t b : texture.Data) sum += b;
    sink = sum;
    return "ok";
}

} // namespace

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string& fileName)
{
    std::string extension;
    if (!fileName.empty()) {
        extension = velmora::pictureFileExtension(fileName);
    } else {
        const auto nl = std::find(data.begin(), data.begin() + std::min<std::size_t>(data.size(), 9), '\n');
        if (nl == data.begin() + std::min<std::size_t>(data.size(), 9)) return "no extension line";
        extension.assign(data.begin(), nl);
        data = data.subspan(std::size_t(nl - data.begin()) + 1);
    }
    try {
        return run(data, extension);
    } catch (const std::exception& e) {
        return e.what();
    }
}

VELMORA_FUZZ_ENTRY
