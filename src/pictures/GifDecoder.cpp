// GIF through giflib: the first image of the file, with the transparent colour
// of the graphic control block that precedes it.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"
#include "pictures/Rasters.h"

namespace velmora {
namespace {

int gifRead(GifFileType* gif, GifByteType* buf, int n)
{
    if (n <= 0) return 0;
    return int(static_cast<decoders::MemorySource*>(gif->UserData)->read(buf, std::size_t(n)));
}

struct GifHandle {
    GifFileType* gif = nullptr;
    ~GifHandle()
    {
        if (gif) DGifCloseFile(gif, nullptr);
    }
};

[[noreturn]] void gifFail(int code)
{
    const char* text = GifErrorString(code);
    throw EPictureError(std::string("GIF picture is not valid: ") + (text ? text : "unreadable data"));
}

} // namespace

void decodeGif(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    decoders::MemorySource src({data, data ? size : 0});
    if (src.size() < 6 || !decoders::startsWith(src.bytes(), "GIF"))
        throw EPictureError("GIF picture is not valid: missing GIF signature");
    int err = 0;
    GifHandle h;
    h.gif = DGifOpen(&src, gifRead, &err);
    if (!h.gif) gifFail(err);
    GifFileType* gif = h.gif;

    int transparent = -1;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) gifFail(gif->Error);
        if (type == TERMINATE_RECORD_TYPE) throw EPictureError("GIF picture is not valid: it holds no image");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) gifFail(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                DGifExtensionToGCB(ext[0], ext + 1, &gcb);
                transparent = gcb.TransparentColor;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) gifFail(gif->Error);
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) gifFail(gif->Error);
        break;
    }

    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0) throw EPictureError("GIF picture is not valid: zero picture size");
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;

    TDecodedImage idx;
    idx.allocate(desc.Width, desc.Height, TPixelFormat::pf8bit);
    if (map && map->ColorCount > 0) {
        const int n = std::min(map->ColorCount, 256);
        idx.Palette.resize(n);
        for (int i = 0; i < n; ++i) idx.Palette[i] = {map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
    } else {
        decoders::setGreyPalette(idx);
    }

    auto readLine = [&](int y) {
        if (DGifGetLine(gif, idx.row(y), desc.Width) == GIF_ERROR) gifFail(gif->Error);
    };
    if (desc.Interlace) {
        static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < desc.Height; y += step[pass]) readLine(y);
    } else {
        for (int y = 0; y < desc.Height; ++y) readLine(y);
    }
    decoders::padPalette(idx);

    if (transparent < 0) {
        out = std::move(idx);
        return;
    }
    TDecodedImage img = idx;
    convertToBgra(img);
    for (std::size_t i = 0; i < idx.Pixels.size(); ++i)
        if (idx.Pixels[i] == transparent) img.Pixels[i * 4 + 3] = 0;
    out = std::move(img);
}

} // namespace velmora
