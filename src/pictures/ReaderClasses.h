#pragma once
// Graphic classes read by the format decoders. Their class names are written
// into scene streams; their stored data is a BMP file like any bitmap's.

#include "pictures/Decoders.h"
#include "pictures/Picture.h"

namespace velmora {

using TDecodeProc = void (*)(const std::uint8_t* data, std::size_t size, TDecodedImage& out);

template <TDecodeProc Decode> class TDecodedBitmap : public TBitmap {
public:
    void LoadFromBytes(const std::uint8_t* data, std::size_t size) override
    {
        TDecodedImage image;
        Decode(data, size, image);
        image_ = std::move(image);
    }
};

#define VELMORA_READER_CLASS(Name, Decode)                                                                             \
    class Name : public TDecodedBitmap<Decode> {                                                                       \
    public:                                                                                                            \
        const char* ClassName() const override { return #Name; }                                                       \
    };

VELMORA_READER_CLASS(TTIFFGraphic, decodeTiff)
VELMORA_READER_CLASS(TEPSGraphic, decodeEps)
VELMORA_READER_CLASS(TPCXGraphic, decodePcx)
VELMORA_READER_CLASS(TRLAGraphic, decodeRla)
VELMORA_READER_CLASS(TSGIGraphic, decodeSgi)
VELMORA_READER_CLASS(TPSDGraphic, decodePsd)
VELMORA_READER_CLASS(TPPMGraphic, decodePnm)
VELMORA_READER_CLASS(TAutodeskGraphic, decodeAutodesk)
VELMORA_READER_CLASS(TPCDGraphic, decodePcd)
VELMORA_READER_CLASS(TGIFGraphic, decodeGif)
VELMORA_READER_CLASS(TCUTGraphic, decodeCut)
VELMORA_READER_CLASS(TPSPGraphic, decodePsp)
VELMORA_READER_CLASS(TPNGGraphic, decodePng)

#undef VELMORA_READER_CLASS

// A platform picture kept as the file's own bytes (its stored form) together
// with the pixels decoded from them.
class TFileBackedGraphic : public TRasterGraphic {
public:
    void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
    void SaveToStream(std::ostream& out) const override;
    std::size_t ReadData(const std::uint8_t* data, std::size_t size) override;
    std::vector<std::uint8_t> WriteData() const override;

protected:
    virtual void decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const = 0;
    // Whether a stored picture that cannot be decoded is kept (bytes only,
    // drawn as nothing) rather than rejected.
    virtual bool keepUndecodableStoredData() const { return false; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Icons draw with their transparency over the bitmap they are drawn on.
class TIcon : public TFileBackedGraphic {
public:
    const char* ClassName() const override { return "TIcon"; }
    bool DrawsTransparent() const override { return true; }

protected:
    void decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const override;
};

// Vector pictures are not drawn; a file fails to load, but one stored in a
// scene stream keeps its bytes so the scene is written back unchanged.
class TMetafile : public TFileBackedGraphic {
public:
    const char* ClassName() const override { return "TMetafile"; }

protected:
    void decode(const std::uint8_t* data, std::size_t size, TDecodedImage& out) const override;
    bool keepUndecodableStoredData() const override { return true; }
};

} // namespace velmora
