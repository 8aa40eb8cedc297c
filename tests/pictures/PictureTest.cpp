#include "PictureTestSupport.h"

#include "pictures/CoreCodecs.h"
#include "pictures/Picture.h"
#include "pictures/TextureImage.h"

#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace velmora;
using namespace velmora::test;

namespace {

Bytes tga32(int w, int h)
{
    Bytes b = tgaHeader(2, w, h, 32, 0x08);
    for (int i = 0; i < w * h; ++i) {
        b.push_back(std::uint8_t(i));
        b.push_back(std::uint8_t(i >> 8));
        b.push_back(std::uint8_t(i * 3));
        b.push_back(std::uint8_t(i * 7));
    }
    return b;
}

Bytes smallJpeg(int w, int h)
{
    // A baseline JPEG made by the system's own encoder; empty when that fails.
    std::string ppm = writeTemp("j" + std::to_string(w) + "x" + std::to_string(h) + ".ppm", makePpm(w, h));
    std::string jpg = ppm + ".jpg";
    if (!run("cjpeg -quality 85 " + ppm + " > " + jpg)) return {};
    return readFile(jpg);
}

// The texture upload pixels of a picture file written with `bytes`.
TGLBitmap32 uploadPixelsOf(const std::string& name, const Bytes& bytes)
{
    TPicture pic;
    pic.LoadFromFile(writeTemp(name, bytes));
    return convertToBitmap32(pic);
}

} // namespace

TEST(PictureRegistry, EffectiveReadersAndDescriptions)
{
    TPictureFormats& r = pictureFormats();
    EXPECT_EQ(r.findByExtension("tga")->ClassName, "TTargaGraphic");
    EXPECT_EQ(r.findByExtension("TGA")->ClassName, "TTargaGraphic");
    EXPECT_EQ(r.findByExtension("bmp")->Description, "Windows bitmaps");
    EXPECT_EQ(r.findByExtension("jpg")->Description, "JPG images");
    EXPECT_EQ(r.findByExtension("jfif")->ClassName, "TJPEGImage");
    EXPECT_EQ(r.findByExtension("dib")->ClassName, "TBitmap");
    EXPECT_EQ(r.findByExtension("dds"), nullptr);
    EXPECT_EQ(r.findByExtension(""), nullptr);
    // The engine's TGA class is still found by name for stored pictures.
    ASSERT_NE(r.findByClassName("TTGAImage"), nullptr);
    EXPECT_STREQ(r.findByClassName("TTGAImage")->Create()->ClassName(), "TTGAImage");
    EXPECT_EQ(r.findByClassName("tbitmap"), nullptr); // class names are case-sensitive
}

TEST(PictureRegistry, LatestRegistrationWins)
{
    TPictureFormats r;
    r.registerFileFormat("ABC", "first", "TBitmap", [] { return std::make_unique<TBitmap>(); });
    r.registerFileFormat("abc", "second", "TTGAImage", [] { return std::make_unique<TTGAImage>(); });
    EXPECT_EQ(r.findByExtension("Abc")->Description, "second");
    EXPECT_EQ(r.findByClassName("TBitmap")->Description, "first");
}

TEST(PictureRegistry, ExtensionOfLastPathComponent)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/a.b/c.TGA", "TGA"}, {"/a.b/c", ""}, {"x.tar.gz", "gz"}, {"name.", ""}};
    for (const auto& [file, extension] : cases) EXPECT_EQ(pictureFileExtension(file), extension) << file;
}

TEST(PictureLoad, FailuresKeepThePreviousGraphic)
{
    TPicture pic;
    int changes = 0;
    pic.OnChange = [&] { ++changes; };
    std::string upper = writeTemp("shadow.TGA", tga32(4, 2));
    pic.LoadFromFile(upper);
    ASSERT_NE(pic.Graphic(), nullptr);
    EXPECT_STREQ(pic.Graphic()->ClassName(), "TTargaGraphic");
    EXPECT_EQ(changes, 1);
    TGraphic* before = pic.Graphic();

    std::string dds = writeTemp("face.dds", Bytes(100, 0));
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(dds); }), "Unknown picture file extension (.dds)");
    std::string noExt = writeTemp("noextension", Bytes(100, 0));
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(noExt); }), "Unknown picture file extension (.)");
    std::string badBmp = writeTemp("bad.bmp", Bytes{'B', 'M', 1, 2, 3});
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(badBmp); }), "Bitmap image is not valid");
    std::string badJpg = writeTemp("bad.jpg", Bytes{0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3});
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(badJpg); }).rfind("JPEG error #", 0), 0u);
    std::string shortTga = writeTemp("short.tga", Bytes(10, 0));
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(shortTga); }), "Stream read error");
    // A folder opens like a file whose end is at the largest offset there is.
    const std::string folder = std::filesystem::path(shortTga).parent_path() / "folder.png";
    std::filesystem::create_directories(folder);
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(folder); }), "Cannot open file \"" + folder + "\"");
    std::filesystem::remove(folder);

    EXPECT_EQ(pic.Graphic(), before);
    EXPECT_EQ(changes, 1);
}

TEST(PictureLoad, FilesLargerThanAnyPictureAreRefusedBeforeReading)
{
    TPicture pic;
    pic.LoadFromFile(writeTemp("small.tga", tga32(4, 2)));
    TGraphic* before = pic.Graphic();
    // A sparse file: nothing of it is read or held in memory.
    const std::string huge = writeTemp("huge.tga", tga32(4, 2));
    std::filesystem::resize_file(huge, MaxPictureFileBytes + 1);
    EXPECT_EQ(messageOf([&] { pic.LoadFromFile(huge); }), "Picture file too large (4294967297 bytes)");
    EXPECT_EQ(pic.Graphic(), before);
    std::filesystem::remove(huge);

    // A stream is read to its end, piece by piece.
    const Bytes tga = tga32(300, 100);
    std::istringstream in(std::string(tga.begin(), tga.end()));
    TTargaGraphic g;
    g.LoadFromStream(in);
    EXPECT_EQ(g.Width(), 300);
    EXPECT_EQ(g.Height(), 100);
    EXPECT_EQ(g.Raster().row(99)[4 * 299], std::uint8_t(299)); // the first stored pixel of the last row read
}

TEST(PictureLoad, TextureLoadOfMissingFileEmptiesThePicture)
{
    TPicture pic;
    textureImageLoadFromFile(pic, writeTemp("ok.tga", tga32(4, 2)));
    ASSERT_NE(pic.Graphic(), nullptr);
    const std::string missing = (tempDir() / "missing.jpg").string();
    try {
        textureImageLoadFromFile(pic, missing);
        FAIL();
    } catch (const ETexture& e) {
        EXPECT_EQ(std::string(e.what()), "Could not open file: " + missing);
    }
    EXPECT_EQ(pic.Graphic(), nullptr);
}

TEST(PictureStoredData, BitmapClassesStoreA32BitBmpWithAlpha)
{
    TPicture pic;
    pic.LoadFromFile(writeTemp("s.tga", tga32(256, 256)));
    Bytes block = pic.WriteData();
    // 1 + "TTargaGraphic" + size + 54 header bytes + pixels
    ASSERT_EQ(block.size(), 1 + 13 + 4 + 54 + 256 * 256 * 4u);
    EXPECT_EQ(block[0], 13);
    EXPECT_EQ(block[18], 'B');

    TPicture back;
    back.ReadData(block.data(), block.size());
    ASSERT_NE(back.Graphic(), nullptr);
    EXPECT_STREQ(back.Graphic()->ClassName(), "TTargaGraphic");
    EXPECT_EQ(back.Graphic()->Raster().Format, TPixelFormat::pf32bit);
    EXPECT_EQ(back.Graphic()->Raster().Pixels, pic.Graphic()->Raster().Pixels);
    EXPECT_EQ(back.WriteData(), block);

    // Under the engine's class name the same data reads as a plain bitmap.
    Bytes renamed = {9, 'T', 'T', 'G', 'A', 'I', 'm', 'a', 'g', 'e'};
    renamed.insert(renamed.end(), block.begin() + 14, block.end());
    back.ReadData(renamed.data(), renamed.size());
    EXPECT_STREQ(back.Graphic()->ClassName(), "TTGAImage");
    EXPECT_EQ(back.Graphic()->Raster().Pixels, pic.Graphic()->Raster().Pixels);
}

TEST(PictureStoredData, EmptyUnknownAndDamagedBlocks)
{
    TPicture pic;
    pic.LoadFromFile(writeTemp("e.tga", tga32(4, 1)));
    Bytes emptyBitmap = {7, 'T', 'B', 'i', 't', 'm', 'a', 'p', 0, 0, 0, 0};
    pic.ReadData(emptyBitmap.data(), emptyBitmap.size());
    ASSERT_NE(pic.Graphic(), nullptr);
    EXPECT_TRUE(pic.Graphic()->Empty());
    EXPECT_EQ(pic.WriteData(), emptyBitmap);

    Bytes unknown = {4, 'T', 'F', 'o', 'o', 1, 2, 3};
    pic.ReadData(unknown.data(), unknown.size());
    EXPECT_EQ(pic.Graphic(), nullptr);
    EXPECT_TRUE(pic.WriteData().empty());

    Bytes cut = {7, 'T', 'B', 'i', 't', 'm', 'a', 'p', 100, 0, 0, 0, 'B', 'M'};
    EXPECT_EQ(messageOf([&] { pic.ReadData(cut.data(), cut.size()); }), "Stream read error");
    Bytes longName = {40, 'T'};
    EXPECT_EQ(messageOf([&] { pic.ReadData(longName.data(), longName.size()); }), "Stream read error");
}

TEST(PictureStoredData, JpegIsStoredByteForByte)
{
    VELMORA_REQUIRE_TOOLS("cjpeg");
    Bytes jpeg = smallJpeg(33, 17);
    ASSERT_FALSE(jpeg.empty());
    // Trailing bytes after the end marker survive too.
    jpeg.insert(jpeg.end(), {'t', 'a', 'i', 'l'});
    TPicture pic;
    pic.LoadFromFile(writeTemp("face.JPG", jpeg));
    EXPECT_EQ(pic.Width(), 33);
    EXPECT_EQ(pic.Height(), 17);
    Bytes block = pic.WriteData();
    TPicture back;
    back.ReadData(block.data(), block.size());
    auto* j = dynamic_cast<TJPEGImage*>(back.Graphic());
    ASSERT_NE(j, nullptr);
    EXPECT_EQ(j->Bytes(), jpeg);
    EXPECT_EQ(back.WriteData(), block);
}

TEST(UploadPixels, DirectConversionKeepsAlphaAndFlipsRows)
{
    const TGLBitmap32 px = uploadPixelsOf("a256.tga", tga32(256, 256));
    ASSERT_EQ(px.Width, 256);
    ASSERT_EQ(px.Height, 256);
    // The TGA is stored bottom-up, so its first pixel is the picture's bottom
    // left, which is the upload buffer's first pixel again.
    EXPECT_EQ(px.Data[0], 0); // R from stored byte 2 of pixel 0
    EXPECT_EQ(px.Data[3], 0); // alpha of pixel 0
    EXPECT_EQ(px.Data[4 * 1 + 0], 3);
    EXPECT_EQ(px.Data[4 * 1 + 2], 1);
    EXPECT_EQ(px.Data[4 * 1 + 3], 7);
    EXPECT_EQ(px.Data[4 * 300 + 3], std::uint8_t(300 * 7));
}

TEST(UploadPixels, WidthsNotDivisibleByFourAreStretchedAndOpaque)
{
    const TGLBitmap32 px = uploadPixelsOf("a250.tga", tga32(250, 3));
    ASSERT_EQ(px.Width, 252);
    ASSERT_EQ(px.Height, 3);
    for (std::size_t i = 3; i < px.Data.size(); i += 4) ASSERT_EQ(px.Data[i], 255);
    // The stretch covers both edges: first and last source columns appear.
    EXPECT_EQ(px.Data[2], 0);
    EXPECT_EQ(px.Data[4 * 251 + 2], 249);

    TBitmap b;
    b.SetSize(166, 2, TPixelFormat::pf24bit);
    EXPECT_EQ(convertToBitmap32(&b).Width, 168);
    TBitmap e;
    EXPECT_EQ(convertToBitmap32(&e).Width, 0);
    EXPECT_EQ(convertToBitmap32(static_cast<const TGraphic*>(nullptr)).Data.size(), 0u);
}

TEST(UploadPixels, OnePixelJpegBecomesFourWide)
{
    VELMORA_REQUIRE_TOOLS("cjpeg");
    Bytes jpeg = smallJpeg(1, 1);
    ASSERT_FALSE(jpeg.empty());
    const TGLBitmap32 px = uploadPixelsOf("one.jpeg", jpeg);
    ASSERT_EQ(px.Width, 4);
    ASSERT_EQ(px.Height, 1);
    for (int x = 1; x < 4; ++x)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(px.Data[4 * x + c], px.Data[c]);
    EXPECT_EQ(px.Data[3], 255);
}

TEST(PictureRegistry, ReaderTableInStartupOrder)
{
    const auto& e = pictureFormats().Entries();
    // Platform formats, JPEG, the engine's TGA class, then 40 reader entries.
    ASSERT_EQ(e.size(), 4u + 2u + 1u + 40u);
    // The entries before the readers' table, whole: the readers override
    // every one of their extensions, so only the order shows them.
    const std::array<std::array<const char*, 3>, 7> first = {{{"wmf", "Metafiles", "TMetafile"},
                                                              {"emf", "Enhanced Metafiles", "TMetafile"},
                                                              {"ico", "Icons", "TIcon"},
                                                              {"bmp", "Bitmaps", "TBitmap"},
                                                              {"jpeg", "JPEG Image File", "TJPEGImage"},
                                                              {"jpg", "JPEG Image File", "TJPEGImage"},
                                                              {"tga", "Targa", "TTGAImage"}}};
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(e[i].Extension, first[i][0]) << i;
        EXPECT_EQ(e[i].Description, first[i][1]) << i;
        EXPECT_EQ(e[i].ClassName, first[i][2]) << i;
        EXPECT_STREQ(e[i].Create()->ClassName(), first[i][2]) << i;
    }
    EXPECT_EQ(e[7].Extension, "bmp");
    EXPECT_EQ(e[7].Description, "Windows bitmaps");
    EXPECT_EQ(e.back().Extension, "png");
    EXPECT_EQ(e.back().Description, "Portable network graphic images");
    // A class name finds the latest entry of that class, which makes the
    // class the name says.
    for (const char* name : {"TBitmap", "TJPEGImage", "TIcon", "TMetafile", "TTGAImage", "TTargaGraphic"})
        EXPECT_STREQ(pictureFormats().findByClassName(name)->Create()->ClassName(), name);
    const struct {
        const char* ext;
        const char* description;
        const char* className;
    } expected[] = {
        {"ico", "Windows icons", "TIcon"},
        {"emf", "Windows enhanced meta files", "TMetafile"},
        {"scr", "Word 5.x screen capture images", "TPCXGraphic"},
        {"rgba", "SGI true color images with alpha", "TSGIGraphic"},
        {"pbm", "Portable bitmap images", "TPPMGraphic"},
        {"pic", "Autodesk images", "TAutodeskGraphic"},
        {"fax", "GFI fax images", "TTIFFGraphic"},
        {"icb", "Truevision images", "TTargaGraphic"},
        {"gif", "CompuServe images", "TGIFGraphic"},
    };
    for (const auto& x : expected) {
        const TPictureFormat* f = pictureFormats().findByExtension(x.ext);
        ASSERT_NE(f, nullptr) << x.ext;
        EXPECT_EQ(f->Description, x.description);
        EXPECT_EQ(f->ClassName, x.className);
        // Every class creates a graphic that reports the name it is stored under.
        EXPECT_STREQ(f->Create()->ClassName(), x.className);
    }
}

TEST(PictureStoredData, MetafileBytesSurviveAScene)
{
    // Vector pictures are not drawn, but a stored one is written back as read.
    Bytes block = {9, 'T', 'M', 'e', 't', 'a', 'f', 'i', 'l', 'e', 3, 0, 0, 0, 0xD7, 0xCD, 0xC6};
    TPicture pic;
    pic.ReadData(block.data(), block.size());
    ASSERT_NE(pic.Graphic(), nullptr);
    EXPECT_TRUE(pic.Graphic()->Empty());
    EXPECT_EQ(pic.WriteData(), block);
    EXPECT_EQ(convertToBitmap32(pic).Data.size(), 0u);
}
