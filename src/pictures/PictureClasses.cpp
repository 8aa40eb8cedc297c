#include "pictures/PictureClasses.h"

#include "pictures/ReaderClasses.h"

namespace velmora {

void registerPlatformFormats(TPictureFormats& r)
{
    r.registerFileFormat("wmf", "Metafiles", "TMetafile", graphicClassOf<TMetafile>());
    r.registerFileFormat("emf", "Enhanced Metafiles", "TMetafile", graphicClassOf<TMetafile>());
    r.registerFileFormat("ico", "Icons", "TIcon", graphicClassOf<TIcon>());
    r.registerFileFormat("bmp", "Bitmaps", "TBitmap", graphicClassOf<TBitmap>());
}

void registerReaderFormats(TPictureFormats& r)
{
    struct Entry {
        const char* ext;
        const char* description;
        const char* className;
        TGraphicClass create;
    };
    const TGraphicClass targa = graphicClassOf<TTargaGraphic>(), tiff = graphicClassOf<TTIFFGraphic>(),
                        pcx = graphicClassOf<TPCXGraphic>(), rla = graphicClassOf<TRLAGraphic>(),
                        sgi = graphicClassOf<TSGIGraphic>(), psd = graphicClassOf<TPSDGraphic>(),
                        ppm = graphicClassOf<TPPMGraphic>(), autodesk = graphicClassOf<TAutodeskGraphic>(),
                        jpeg = graphicClassOf<TJPEGImage>(), bitmap = graphicClassOf<TBitmap>(),
                        metafile = graphicClassOf<TMetafile>();
    const Entry entries[] = {
        {"bmp", "Windows bitmaps", "TBitmap", bitmap},
        {"ico", "Windows icons", "TIcon", graphicClassOf<TIcon>()},
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
        {"eps", "Encapsulated Postscript images", "TEPSGraphic", graphicClassOf<TEPSGraphic>()},
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
        {"pcd", "Kodak Photo-CD images", "TPCDGraphic", graphicClassOf<TPCDGraphic>()},
        {"gif", "CompuServe images", "TGIFGraphic", graphicClassOf<TGIFGraphic>()},
        {"cut", "Dr. Halo images", "TCUTGraphic", graphicClassOf<TCUTGraphic>()},
        {"psp", "Paintshop Pro images", "TPSPGraphic", graphicClassOf<TPSPGraphic>()},
        {"png", "Portable network graphic images", "TPNGGraphic", graphicClassOf<TPNGGraphic>()},
    };
    for (const Entry& e : entries) r.registerFileFormat(e.ext, e.description, e.className, e.create);
}

} // namespace velmora
