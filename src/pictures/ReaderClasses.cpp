#include "pictures/ReaderClasses.h"

#include <ostream>

namespace velmora {

void TFileBackedGraphic::LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    TDecodedImage image;
    decode(data, size, image);
    bytes_.assign(data, data + size);
    image_ = std::move(image);
}

void TFileBackedGraphic::SaveToStream(std::ostream& out) const
{
    out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
}

std::size_t TFileBackedGraphic::ReadData(const std::uint8_t* data, std::size_t size)
{
    const auto stored = readStoredRecord(data, size);
    TDecodedImage image;
    if (!stored.empty()) {
        try {
            decode(stored.data(), stored.size(), image);
        } catch (const EPictureError&) {
            if (!keepUndecodableStoredData()) throw;
            image = TDecodedImage();
        }
    }
    bytes_.assign(stored.begin(), stored.end());
    image_ = std::move(image);
    return 4 + stored.size();
}

std::vector<std::uint8_t> TFileBackedGraphic::WriteData() const
{
    return makeStoredRecord(bytes_);
}

void TIcon::decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const
{
    decodeIco(data, size, out);
}

void TMetafile::decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const
{
    decodeMetafile(data, size, out);
}

} // namespace velmora
