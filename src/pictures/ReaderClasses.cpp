#include "pictures/ReaderClasses.h"

#include "pictures/ByteReader.h"

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
    TByteReader<EPictureError> r({data, data ? size : 0}, "Stream read error");
    const std::size_t s = r.le32();
    r.need(s);
    TDecodedImage image;
    if (s) {
        try {
            decode(data + 4, s, image);
        } catch (const EPictureError&) {
            if (!keepUndecodableStoredData()) throw;
            image = TDecodedImage();
        }
    }
    bytes_.assign(data + 4, data + 4 + s);
    image_ = std::move(image);
    return 4 + s;
}

std::vector<std::uint8_t> TFileBackedGraphic::WriteData() const
{
    std::vector<std::uint8_t> out(4);
    const auto s = std::uint32_t(bytes_.size());
    for (int k = 0; k < 4; ++k) out[k] = std::uint8_t(s >> (8 * k));
    out.insert(out.end(), bytes_.begin(), bytes_.end());
    return out;
}

void TIcon::decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const
{
    DecodeIco(data, size, out);
}

void TMetafile::decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const
{
    DecodeMetafile(data, size, out);
}

} // namespace velmora
