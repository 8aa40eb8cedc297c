// PNG through libpng. libpng reports errors by longjmp, so every libpng call
// sits in a small function that holds no C++ objects with destructors; the
// error text is copied out and thrown once control is back in C++ code.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {
namespace {

struct PngSource {
    decoders::MemorySource in;
    char message[256] = "";
};

void pngError(png_structp png, png_const_charp msg)
{
    auto* src = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(src->message, sizeof src->message, "%s", msg ? msg : "unknown error");
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep out, png_size_t n)
{
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (src->in.read(out, n) != n) png_error(png, "the file ends early");
}

struct PngLayout {
    png_uint_32 width = 0, height = 0;
    int channels = 0; // bytes per output pixel after the transforms: 1, 3 or 4
    bool paletted = false;
    bool grey = false;
};

// Reads the header and sets the transforms that give 8-bit samples in B,G,R(,A)
// order, or one index/grey byte per pixel. Returns false on a libpng error.
bool readPngHeader(png_structp png, png_infop info, PngLayout* layout)
{
    if (setjmp(png_jmpbuf(png))) return false;
    // Bound libpng's own allocations (chunks, rows) for hostile files.
    png_set_user_limits(png, MaxPictureSide, MaxPictureSide);
    png_set_chunk_malloc_max(png, 64u << 20);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (depth == 16) png_set_scale_16(png);
    if (depth < 8) png_set_packing(png);
    if (colour == PNG_COLOR_TYPE_PALETTE && !trns) {
        layout->paletted = true;
        layout->channels = 1;
    } else if (colour == PNG_COLOR_TYPE_GRAY && !trns) {
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        layout->grey = true;
        layout->channels = 1;
    } else {
        png_set_expand(png);
        if (trns) png_set_tRNS_to_alpha(png);
        if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
        png_set_bgr(png);
        const bool alpha = trns || (colour & PNG_COLOR_MASK_ALPHA);
        layout->channels = alpha ? 4 : 3;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(w) * layout->channels) png_error(png, "unexpected row layout");
    layout->width = w;
    layout->height = h;
    return true;
}

bool readPngPalette(png_structp png, png_infop info, png_colorp out, int* count)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_colorp pal = nullptr;
    int n = 0;
    if (png_get_PLTE(png, info, &pal, &n) == 0) n = 0;
    if (n > 256) n = 256;
    for (int i = 0; i < n; ++i) out[i] = pal[i];
    *count = n;
    return true;
}

bool readPngRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

struct PngHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngHandles() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

} // namespace

void decodePng(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    // Braces: clang 14 has no aggregate initialisation from parentheses.
    auto src = std::make_unique<PngSource>(PngSource{decoders::MemorySource({data, data ? size : 0})});
    if (src->in.size() < 8 || !decoders::startsWith(src->in.bytes(), "\x89PNG\r\n\x1a\n"))
        throw EPictureError("PNG picture is not valid: missing PNG signature");
    PngHandles h;
    h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, src.get(), pngError, pngWarning);
    if (!h.png) throw EPictureError("PNG reader could not be created");
    h.info = png_create_info_struct(h.png);
    if (!h.info) throw EPictureError("PNG reader could not be created");
    png_set_read_fn(h.png, src.get(), pngRead);
    auto fail = [&] { throw EPictureError(std::string("PNG picture is not valid: ") + src->message); };

    PngLayout layout;
    if (!readPngHeader(h.png, h.info, &layout)) fail();
    TDecodedImage img;
    img.allocate(int(layout.width), int(layout.height),
                 layout.channels == 1       ? TPixelFormat::pf8bit
                     : layout.channels == 3 ? TPixelFormat::pf24bit
                                            : TPixelFormat::pf32bit);
    if (layout.paletted) {
        png_color pal[256];
        int n = 0;
        if (!readPngPalette(h.png, h.info, pal, &n)) fail();
        img.Palette.resize(n);
        for (int i = 0; i < n; ++i) img.Palette[i] = {pal[i].blue, pal[i].green, pal[i].red, 0};
    } else if (layout.grey) {
        decoders::setGreyPalette(img);
    }
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 y = 0; y < layout.height; ++y) rows[y] = img.row(int(y));
    if (!readPngRows(h.png, rows.data())) fail();
    if (layout.paletted) decoders::padPalette(img);
    out = std::move(img);
}

} // namespace velmora
