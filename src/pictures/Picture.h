#pragma once
// Pictures: a holder of at most one graphic, the graphic classes, and the
// registry that picks a graphic class by file extension or by class name.
// Class names are written into scene streams, so they must never change.

#include "pictures/DecodedImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velmora {

using TPaletteEntry = std::array<std::uint8_t, 4>; // B, G, R, reserved

class TGraphic {
public:
    virtual ~TGraphic() = default;

    virtual const char* ClassName() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() == 0 || Height() == 0; }
    virtual const std::vector<TPaletteEntry>& Palette() const;

    // Decodes a whole file held in memory; throws on bad content and leaves
    // this graphic unusable in that case (callers throw it away).
    virtual void LoadFromBytes(const std::uint8_t* data, std::size_t size) = 0;
    void LoadFromStream(std::istream& in);
    void LoadFromFile(const std::string& fileName);
    virtual void SaveToStream(std::ostream& out) const = 0;

    // The form kept inside scene streams: a 4-byte little-endian size and that
    // many bytes. ReadData consumes exactly one such record from `data` and
    // returns the number of bytes used.
    virtual std::size_t ReadData(const std::uint8_t* data, std::size_t size) = 0;
    virtual std::vector<std::uint8_t> WriteData() const = 0;

    // The pixels as the graphic would draw them, in any pixel format. Opaque
    // graphics ignore the fourth byte of 32-bit pixels when drawn; a graphic
    // drawn with transparency (icons) says so.
    virtual const TDecodedImage& Raster() const = 0;
    virtual bool DrawsTransparent() const { return false; }

    // Told while a file is read (the TGA reader tells it at the start and
    // after every row): the stage's text and the share done in percent.
    std::function<void(const char* stage, int percentDone)> OnProgress;
};

// The stored data's record: a 4-byte little-endian size, then that many
// bytes. readStoredRecord returns the payload, checked to lie inside `data`
// ("Stream read error" otherwise); the record takes 4 + its size bytes.
std::span<const std::uint8_t> readStoredRecord(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> makeStoredRecord(std::span<const std::uint8_t> payload);

// A graphic whose pixels are a raster it holds.
class TRasterGraphic : public TGraphic {
public:
    int Width() const override { return image_.Width; }
    int Height() const override { return image_.Height; }
    const TDecodedImage& Raster() const override { return image_; }

protected:
    TDecodedImage image_;
};

// A device-independent raster. Its stored form is a complete BMP file.
class TBitmap : public TRasterGraphic {
public:
    const char* ClassName() const override { return "TBitmap"; }
    const std::vector<TPaletteEntry>& Palette() const override { return image_.Palette; }

    TPixelFormat PixelFormat() const { return image_.Format; }
    void SetSize(int width, int height, TPixelFormat format) { image_.allocate(width, height, format); }
    std::uint8_t* ScanLine(int y) { return image_.row(y); }
    const std::uint8_t* ScanLine(int y) const { return image_.row(y); }
    TDecodedImage& Image() { return image_; }
    const TDecodedImage& Image() const { return image_; }
    void Assign(TDecodedImage image) { image_ = std::move(image); }

    void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
    void SaveToStream(std::ostream& out) const override;
    std::size_t ReadData(const std::uint8_t* data, std::size_t size) override;
    std::vector<std::uint8_t> WriteData() const override;
};

// Kept under its own name only because pictures stored under it exist; it is a
// plain bitmap in every other respect.
class TTGAImage : public TBitmap {
public:
    const char* ClassName() const override { return "TTGAImage"; }
};

class TTargaGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TTargaGraphic"; }
    void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
};

// Keeps the JPEG file's bytes untouched, so a stored picture is written back
// byte for byte; the pixels are decoded on first use.
class TJPEGImage : public TGraphic {
public:
    const char* ClassName() const override { return "TJPEGImage"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Grayscale() const { return grayscale_; }
    bool ProgressiveEncoding() const { return progressive_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

    void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
    void SaveToStream(std::ostream& out) const override;
    std::size_t ReadData(const std::uint8_t* data, std::size_t size) override;
    std::vector<std::uint8_t> WriteData() const override;
    const TDecodedImage& Raster() const override;

private:
    void readHeader();

    std::vector<std::uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
    bool grayscale_ = false;
    bool progressive_ = false;
    mutable std::unique_ptr<TDecodedImage> decoded_;
};

using TGraphicClass = std::function<std::unique_ptr<TGraphic>()>;

template <class T> TGraphicClass graphicClassOf()
{
    return [] { return std::unique_ptr<TGraphic>(new T()); };
}

struct TPictureFormat {
    std::string Extension; // lower case, no dot
    std::string Description;
    std::string ClassName;
    TGraphicClass Create;
};

// The ordered list of formats; lookups go from the last entry backwards so the
// latest registration of an extension or a class name wins.
class TPictureFormats {
public:
    void registerFileFormat(const std::string& extension, const std::string& description, const std::string& className,
                            TGraphicClass create);
    const TPictureFormat* findByExtension(const std::string& extension) const;
    const TPictureFormat* findByClassName(const std::string& className) const;
    const std::vector<TPictureFormat>& Entries() const { return entries_; }

private:
    std::vector<TPictureFormat> entries_;
};

// The registry the whole program uses, filled on first use in start-up order.
TPictureFormats& pictureFormats();

// The extension of the last path component without the dot ("" when none).
std::string pictureFileExtension(const std::string& fileName);

// Holds at most one graphic and tells its owner when the graphic changes.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    void Clear() { SetGraphic(nullptr); }
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Picks the graphic class by the file's extension. On any failure the
    // previous graphic stays and the error propagates.
    void LoadFromFile(const std::string& fileName);

    // The picture block of scene streams: one byte n, n bytes of class name,
    // then the graphic's stored data. An empty picture writes nothing.
    std::vector<std::uint8_t> WriteData() const;
    // An unknown class name leaves the picture empty; damaged data throws.
    void ReadData(const std::uint8_t* data, std::size_t size);

    std::function<void()> OnChange;

private:
    void changed();
    std::unique_ptr<TGraphic> graphic_;
};

} // namespace velmora
