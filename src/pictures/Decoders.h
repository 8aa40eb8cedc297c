#pragma once
// Decoders for the picture file formats read from memory. Each fills `out`
// with a raster in one of the bitmap pixel formats, or throws EPictureError
// with a message naming what is wrong; none reads outside [data, data+size).

#include <cstddef>
#include <cstdint>

#include "pictures/DecodedImage.h"

namespace velmora {

// PNG, every colour type and bit depth; alpha or tRNS gives pf32bit, palettes of
// 1-8 bits without transparency give pf8bit, everything else pf24bit.
void decodePng(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// TIFF and fax files, first directory, through the RGBA image reader; pf32bit when
// the file has an alpha channel, else pf24bit.
void decodeTiff(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// GIF, the first frame at its own size (interlaced or not); pf8bit, or pf32bit
// when the frame has a transparent colour.
void decodeGif(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Windows icons: the largest image, BMP-in-ICO (1/4/8/24/32 bits, AND mask as
// alpha) or PNG-in-ICO; pf32bit.
void decodeIco(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// WMF and EMF: vector pictures are not rendered; always throws.
void decodeMetafile(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// ZSoft PCX (pcx, pcc, scr): 1 bit in 1-4 planes, 2, 4 and 8 bits in one plane
// (pf8bit), 8 bits in 3 or 4 planes (pf24bit, pf32bit).
void decodePcx(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// SGI (sgi, rgb, rgba, bw): verbatim and RLE, 8 and 16 bits per sample, 1-4 channels.
void decodeSgi(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Photoshop (psd, pdd): merged image, bitmap/greyscale/indexed/RGB/CMYK, 8 and 16
// bits, raw and RLE; a fourth RGB channel is kept as alpha.
void decodePsd(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Netpbm P1-P6 (pbm, pgm, ppm), any maxval up to 65535.
void decodePnm(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Autodesk Animator CEL/PIC: 32-byte header, uncompressed 8-bit pixels with a
// palette of 6-bit components.
void decodeAutodesk(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Dr. Halo CUT: RLE 8-bit pixels shown with a greyscale palette spread over the
// indexes used (the colours live in a separate .pal file).
void decodeCut(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Wavefront RLA/RPF: run-length 8-bit colour channels (1 or 3) and an optional
// matte channel as alpha.
void decodeRla(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Paint Shop Pro, format 4 and later: the full composite of the composite bank,
// else the first raster layer; 1, 4, 8 and 24 bits, raw, RLE or deflate.
void decodePsp(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Kodak Photo-CD: the 768 x 512 base image, YCC converted to RGB; the rotation
// flag of the image pack is not applied.
void decodePcd(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// EPS: the TIFF preview of a binary EPS with the DOS header.
void decodeEps(const std::uint8_t* data, std::size_t size, TDecodedImage& out);

} // namespace velmora
