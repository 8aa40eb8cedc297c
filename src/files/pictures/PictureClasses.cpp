#include "files/pictures/PictureClasses.h"

namespace velmora {

namespace {

template <class T>
TGraphicClass classOf()
{
    return [] { return std::unique_ptr<TGraphic>(new T()); };
}

} // namespace

void RegisterPlatformFormats(TPictureFormats& r)
{
    r.RegisterFileFormat("bmp", "Bitmaps", "TBitmap", classOf<TBitmap>());
}

void RegisterReaderFormats(TPictureFormats& r)
{
    r.RegisterFileFormat("bmp", "Windows bitmaps", "TBitmap", classOf<TBitmap>());
    r.RegisterFileFormat("jfif", "JFIF images", "TJPEGImage", classOf<TJPEGImage>());
    r.RegisterFileFormat("jpg", "JPG images", "TJPEGImage", classOf<TJPEGImage>());
    r.RegisterFileFormat("jpe", "JPE images", "TJPEGImage", classOf<TJPEGImage>());
    r.RegisterFileFormat("jpeg", "JPEG images", "TJPEGImage", classOf<TJPEGImage>());
    r.RegisterFileFormat("rle", "Run length encoded Windows bitmaps", "TBitmap", classOf<TBitmap>());
    r.RegisterFileFormat("dib", "Device independant Windows bitmaps", "TBitmap", classOf<TBitmap>());
    for (const char* ext : {"win", "vst", "vda", "tga", "icb"})
        r.RegisterFileFormat(ext, "Truevision images", "TTargaGraphic", classOf<TTargaGraphic>());
}

} // namespace velmora
