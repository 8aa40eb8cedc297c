#include "pictures/Picture.h"

#include "pictures/ByteReader.h"
#include "pictures/CoreCodecs.h"
#include "pictures/PictureClasses.h"
#include "pictures/TextCase.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <istream>
#include <new>
#include <ostream>
#include <stdexcept>

namespace velmora {

namespace {

const std::vector<TPaletteEntry> noPalette;

[[noreturn]] void readError()
{
    throw EPictureError("Stream read error");
}

[[noreturn]] void fileTooLarge(std::uint64_t size)
{
    throw EPictureError("Picture file too large (" + std::to_string(size) + " bytes)");
}

// The whole file in memory, refused when it is larger than any picture file
// can be or when the memory for it cannot be had.
std::vector<std::uint8_t> readAll(std::istream& in, std::streamoff size)
{
    try {
        if (size >= 0) {
            if (std::uint64_t(size) > MaxPictureFileBytes) fileTooLarge(std::uint64_t(size));
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
            if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) readError();
            return bytes;
        }
        // Not seekable: in pieces, up to the limit.
        std::vector<std::uint8_t> bytes;
        char piece[1 << 16];
        while (in.read(piece, sizeof piece) || in.gcount() > 0) {
            if (bytes.size() + std::size_t(in.gcount()) > MaxPictureFileBytes)
                fileTooLarge(bytes.size() + std::uint64_t(in.gcount()));
            bytes.insert(bytes.end(), piece, piece + in.gcount());
        }
        if (in.bad()) readError();
        return bytes;
    } catch (const std::bad_alloc&) {
        throw EPictureError("Not enough memory to read the picture file");
    } catch (const std::length_error&) {
        throw EPictureError("Not enough memory to read the picture file");
    }
}

} // namespace

// --- Stored records ----------------------------------------------------------

std::span<const std::uint8_t> readStoredRecord(const std::uint8_t* data, std::size_t size)
{
    TByteReader<EPictureError> r({data, data ? size : 0}, "Stream read error");
    return r.take(r.le32());
}

std::vector<std::uint8_t> makeStoredRecord(std::span<const std::uint8_t> payload)
{
    std::vector<std::uint8_t> out(4 + payload.size());
    const auto s = std::uint32_t(payload.size());
    for (int k = 0; k < 4; ++k) out[k] = std::uint8_t(s >> (8 * k));
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    return out;
}

// --- TGraphic ---------------------------------------------------------------

const std::vector<TPaletteEntry>& TGraphic::Palette() const
{
    return noPalette;
}

void TGraphic::LoadFromStream(std::istream& in)
{
    const std::vector<std::uint8_t> bytes = readAll(in, -1);
    LoadFromBytes(bytes.data(), bytes.size());
}

void TGraphic::LoadFromFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    // A folder opens too, and its end lies at the largest offset there is.
    std::error_code ec;
    if (!in || std::filesystem::is_directory(fileName, ec))
        throw EPictureError("Cannot open file \"" + fileName + "\"");
    const std::streamoff size = in.tellg();
    in.clear();
    if (size >= 0) in.seekg(0); // a stream that cannot seek is read as it comes
    const std::vector<std::uint8_t> bytes = readAll(in, size);
    LoadFromBytes(bytes.data(), bytes.size());
}

// --- TBitmap ----------------------------------------------------------------

void TBitmap::LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    TDecodedImage image;
    decodeBmp(data, size, image);
    image_ = std::move(image);
}

void TBitmap::SaveToStream(std::ostream& out) const
{
    if (Empty()) return;
    auto bytes = encodeBmp(image_);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::size_t TBitmap::ReadData(const std::uint8_t* data, std::size_t size)
{
    const auto stored = readStoredRecord(data, size);
    TDecodedImage image;
    if (!stored.empty()) decodeBmp(stored.data(), stored.size(), image);
    image_ = std::move(image);
    return 4 + stored.size();
}

std::vector<std::uint8_t> TBitmap::WriteData() const
{
    if (Empty()) return makeStoredRecord({});
    return makeStoredRecord(encodeBmp(image_));
}

void TTargaGraphic::LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    TDecodedImage image;
    decodeTga(data, size, image, OnProgress);
    image_ = std::move(image);
}

// --- TJPEGImage -------------------------------------------------------------

void TJPEGImage::readHeader()
{
    TJpegHeader h = readJpegHeader(bytes_.data(), bytes_.size());
    width_ = h.Width;
    height_ = h.Height;
    grayscale_ = h.Grayscale;
    progressive_ = h.Progressive;
    decoded_.reset();
}

void TJPEGImage::LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    bytes_.assign(data, data + size);
    readHeader();
}

void TJPEGImage::SaveToStream(std::ostream& out) const
{
    out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
}

std::size_t TJPEGImage::ReadData(const std::uint8_t* data, std::size_t size)
{
    const auto stored = readStoredRecord(data, size);
    bytes_.assign(stored.begin(), stored.end());
    if (!stored.empty()) {
        readHeader();
    } else {
        width_ = height_ = 0;
        decoded_.reset();
    }
    return 4 + stored.size();
}

std::vector<std::uint8_t> TJPEGImage::WriteData() const
{
    return makeStoredRecord(bytes_);
}

const TDecodedImage& TJPEGImage::Raster() const
{
    if (!decoded_) {
        auto image = std::make_unique<TDecodedImage>();
        if (!bytes_.empty()) decodeJpeg(bytes_.data(), bytes_.size(), *image);
        decoded_ = std::move(image);
    }
    return *decoded_;
}

// --- Registry ---------------------------------------------------------------

void TPictureFormats::registerFileFormat(const std::string& extension, const std::string& description,
                                         const std::string& className, TGraphicClass create)
{
    entries_.push_back({lowerCase(extension), description, className, std::move(create)});
}

const TPictureFormat* TPictureFormats::findByExtension(const std::string& extension) const
{
    const std::string ext = lowerCase(extension);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->Extension == ext) return &*it;
    return nullptr;
}

const TPictureFormat* TPictureFormats::findByClassName(const std::string& className) const
{
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->ClassName == className) return &*it;
    return nullptr;
}

namespace {

void registerStartupFormats(TPictureFormats& r)
{
    // Platform formats.
    registerPlatformFormats(r);
    // JPEG, then the scene engine's TGA picture class.
    r.registerFileFormat("jpeg", "JPEG Image File", "TJPEGImage", graphicClassOf<TJPEGImage>());
    r.registerFileFormat("jpg", "JPEG Image File", "TJPEGImage", graphicClassOf<TJPEGImage>());
    r.registerFileFormat("tga", "Targa", "TTGAImage", graphicClassOf<TTGAImage>());
    // The image-format readers; these win for every extension they name.
    registerReaderFormats(r);
    // Names without an extension are not handed to any generic decoder: they
    // fail as an unknown extension, so there is no entry for them.
}

} // namespace

TPictureFormats& pictureFormats()
{
    static TPictureFormats formats = [] {
        TPictureFormats r;
        registerStartupFormats(r);
        return r;
    }();
    return formats;
}

std::string pictureFileExtension(const std::string& fileName)
{
    std::size_t start = fileName.find_last_of('/');
    start = start == std::string::npos ? 0 : start + 1;
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < start) return {};
    return fileName.substr(dot + 1);
}

// --- TPicture ---------------------------------------------------------------

void TPicture::changed()
{
    if (OnChange) OnChange();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic)
{
    graphic_ = std::move(graphic);
    changed();
}

void TPicture::LoadFromFile(const std::string& fileName)
{
    const std::string ext = pictureFileExtension(fileName);
    const TPictureFormat* format = pictureFormats().findByExtension(ext);
    if (!format) throw EPictureError("Unknown picture file extension (." + ext + ")");
    std::unique_ptr<TGraphic> graphic = format->Create();
    graphic->LoadFromFile(fileName); // on failure the new graphic dies here
    SetGraphic(std::move(graphic));
}

std::vector<std::uint8_t> TPicture::WriteData() const
{
    if (!graphic_) return {};
    std::string name = graphic_->ClassName();
    std::vector<std::uint8_t> out;
    out.push_back(std::uint8_t(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    auto stored = graphic_->WriteData();
    out.insert(out.end(), stored.begin(), stored.end());
    return out;
}

void TPicture::ReadData(const std::uint8_t* data, std::size_t size)
{
    TByteReader<EPictureError> r({data, data ? size : 0}, "Stream read error");
    const auto nameBytes = r.take(r.u8());
    const std::string name(nameBytes.begin(), nameBytes.end());
    const TPictureFormat* format = pictureFormats().findByClassName(name);
    if (!format) {
        SetGraphic(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> graphic = format->Create();
    const auto rest = r.rest();
    graphic->ReadData(rest.data(), rest.size());
    SetGraphic(std::move(graphic));
}

} // namespace velmora
