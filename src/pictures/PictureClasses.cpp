#include "pictures/PictureClasses.h"

#include "pictures/ReaderClasses.h"

namespace velmora {

namespace {

template <class T> TGraphicClass classOf()
{
    return [] { return std::unique_ptr<TGraphic>(new T()); };
}

} // namespace

void RegisterPlatformFormats(TPictureFormats& r)
{
    r.RegisterFileFormat("wmf", "Metafiles", "TMetafile", classOf<TMetafile>());
    r.RegisterFileFormat("emf", "Enhanced Metafiles", "TMetafile", classOf<TMetafile>());
    r.RegisterFileFormat("ico", "Icons", "TIcon", classOf<TIcon>());
    r.RegisterFileFormat("bmp", "Bitmaps", "TBitmap", classOf<TBitmap>());
}

void RegisterReaderFormats(TPictureFormats& r)
{
    struct Entry {
        const char* ext;
        const char* description;
        const char* className;
        TGraphicClass create;
    };
    const TGraphicClass targa = classOf<TTargaGraphic>(), tiff = classOf<TTIFFGraphic>(), pcx = classOf<TPCXGraphic>(),
                        rla = classOf<TRLAGraphic>(), sgi = classOf<TSGIGraphic>(), psd = classOf<TPSDGraphic>(),
                        ppm = classOf<TPPMGraphic>(), autodesk = classOf<TAutodeskGraphic>(),
                        jpeg = classOf<TJPEGImage>(), bitmap = classOf<TBitmap>(), metafile = classOf<TMetafile>();
    const Entry entries[] = {
        {"bmp", "Windows bitmaps", "TBitmap", bitmap},
        {"ico", "Windows icons", "TIcon", classOf<TIcon>()},
        {"wmf", "Windows metafiles", "TMetafile", metafile},
        {"emf", "Windows enhanced meta files", "TMetafile", metafile},
        {"jfif", "JFIF images", "TJPEGImage", jpeg},
        {"jpg", "JPG images", "TJPEGImage", jpeg},
        {"jpe", "JPE images", "TJPEGImage", jpeg},
        {"jpeg", "JPEG images", "TJPEGImage", jpeg},
        {"rle", "Run length encoded Windows bitmaps", "TBitmap", bitmap},
        {"dib", "Device independant Windows bitmaps", "TBitmap", bitmap},
        {"win", "Truevision images", "TTargaGraphic", targa},
        {"vst", "Truevision images", "TTargaGraphic", targa},
        {"vda", "Truevision images", "TTargaGraphic", targa},
        {"tga", "Truevision images", "TTargaGraphic", targa},
        {"icb", "Truevision images", "TTargaGraphic", targa},
        {"tiff", "Macintosh TIFF images", "TTIFFGraphic", tiff},
        {"tif", "PC TIF images", "TTIFFGraphic", tiff},
        {"fax", "GFI fax images", "TTIFFGraphic", tiff},
        {"eps", "Encapsulated Postscript images", "TEPSGraphic", classOf<TEPSGraphic>()},
        {"pcx", "ZSoft Paintbrush images", "TPCXGraphic", pcx},
        {"pcc", "ZSoft Paintbrush images", "TPCXGraphic", pcx},
        {"scr", "Word 5.x screen capture images", "TPCXGraphic", pcx},
        {"rpf", "Alias/Wavefront images", "TRLAGraphic", rla},
        {"rla", "Alias/Wavefront images", "TRLAGraphic", rla},
        {"sgi", "SGI true color images", "TSGIGraphic", sgi},
        {"rgba", "SGI true color images with alpha", "TSGIGraphic", sgi},
        {"rgb", "SGI true color images", "TSGIGraphic", sgi},
        {"bw", "SGI black/white images", "TSGIGraphic", sgi},
        {"psd", "Photoshop images", "TPSDGraphic", psd},
        {"pdd", "Photoshop images", "TPSDGraphic", psd},
        {"ppm", "Portable pixel map images", "TPPMGraphic", ppm},
        {"pgm", "Portable gray map images", "TPPMGraphic", ppm},
        {"pbm", "Portable bitmap images", "TPPMGraphic", ppm},
        {"cel", "Autodesk images", "TAutodeskGraphic", autodesk},
        {"pic", "Autodesk images", "TAutodeskGraphic", autodesk},
        {"pcd", "Kodak Photo-CD images", "TPCDGraphic", classOf<TPCDGraphic>()},
        {"gif", "CompuServe images", "TGIFGraphic", classOf<TGIFGraphic>()},
        {"cut", "Dr. Halo images", "TCUTGraphic", classOf<TCUTGraphic>()},
        {"psp", "Paintshop Pro images", "TPSPGraphic", classOf<TPSPGraphic>()},
        {"png", "Portable network graphic images", "TPNGGraphic", classOf<TPNGGraphic>()},
    };
    for (const Entry& e : entries) r.RegisterFileFormat(e.ext, e.description, e.className, e.create);
}

} // namespace velmora
