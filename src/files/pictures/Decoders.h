#pragma once
// Decoders for the picture file formats read from memory. Each fills `out`
// with a raster in one of the bitmap pixel formats, or throws EPictureError
// with a message naming what is wrong; none reads outside [data, data+size).

#include <cstddef>
#include <cstdint>

#include "files/pictures/DecodedImage.h"

namespace velmora {

// PNG, every colour type and bit depth; alpha or tRNS gives pf32bit, palettes of
// 1-8 bits without transparency give pf8bit, everything else pf24bit.
void DecodePng(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// TIFF and fax files, first directory, through the RGBA image reader; pf32bit when
// the file has an alpha channel, else pf24bit.
void DecodeTiff(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// GIF, first frame composed on the logical screen; pf8bit, or pf32bit when the
// frame has a transparent colour.
void DecodeGif(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Windows icons: the largest image, BMP-in-ICO (1/4/8/24/32 bits, AND mask as
// alpha) or PNG-in-ICO; pf32bit.
void DecodeIco(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// WMF and EMF: vector pictures are not rendered; always throws.
void DecodeMetafile(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// ZSoft PCX (pcx, pcc, scr): 1, 2, 4, 8 bits in 1-4 planes, 24-bit in 3 planes.
void DecodePcx(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// SGI (sgi, rgb, rgba, bw): verbatim and RLE, 8 and 16 bits per sample, 1-4 channels.
void DecodeSgi(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Photoshop (psd, pdd): merged image, bitmap/greyscale/indexed/RGB/CMYK, 8 and 16
// bits, raw and RLE; a fourth RGB channel is kept as alpha.
void DecodePsd(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Netpbm P1-P6 (pbm, pgm, ppm), any maxval up to 65535.
void DecodePnm(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Autodesk Animator CEL/PIC: 32-byte header, 8-bit pixels with a 6-bit palette.
void DecodeAutodesk(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Dr. Halo CUT: RLE 8-bit pixels shown with a greyscale palette.
void DecodeCut(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Wavefront RLA/RPF: run-length 8-bit colour channels and an optional matte.
void DecodeRla(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Paint Shop Pro: the composite image block, else the first layer's channels.
void DecodePsp(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// Kodak Photo-CD: the 768 x 512 base image, YCC converted to RGB.
void DecodePcd(const std::uint8_t* data, std::size_t size, TDecodedImage& out);
// EPS: the TIFF preview of a binary EPS with the DOS header.
void DecodeEps(const std::uint8_t* data, std::size_t size, TDecodedImage& out);

} // namespace velmora
