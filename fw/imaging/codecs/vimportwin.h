// Windows bitmap files: the writer of whole files and the field, header,
// colour-table and pixel-row writers that the icon writer shares. Files
// are little-endian whatever the host: 14-byte file header, 40-byte
// information header, colour table of blue, green, red, 0 entries, rows
// padded to 32 bits, bottom row first.
#pragma once
#include <cstdint>

#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

struct vimportwinFileHeader {
  std::uint16_t type;  // "BM"
  std::uint32_t size;
  std::uint16_t reserved1, reserved2;
  std::uint32_t offset;  // of the pixel rows
};

struct vimportwinInfoHeader {
  std::uint32_t size;
  std::int32_t width, height;
  std::uint16_t planes, bitCount;
  std::uint32_t compression, imageSize;
  std::int32_t xResolution, yResolution;
  std::uint32_t colorsUsed, importantColors;
};

// Set by the readers on a short read; cleared by every whole-file read or
// write. The writing stages answer 1 while it is clear.
extern int _vimportwinError;

// 1 written; 0 refused (depths above 8 other than 24), the old file kept.
// Written to a temporary file beside the path and renamed into place; a
// failed write or seek raises and also leaves the old file as it was.
int vimportwinWriteBMP(const vfsPath* path, vimage* image);

// The information header, colour table and rows; with a file header,
// adds what it wrote to the header's size and pixel offset.
int _vimportwinWriteBitmap(vfsStream* stream, vimage* image, vimportwinFileHeader* header);
int _vimportwinWriteFileHeader(vfsStream* stream, const vimportwinFileHeader* header);
int _vimportwinWriteInfoHeader(vfsStream* stream, const vimportwinInfoHeader* header);
// count entries as blue, green, red, 0 with each component c x 255 / 65535.
int _vimportwinWritePalette(vfsStream* stream, const vcolorList* palette, int count);
int _vimportwinWriteMonoPalette(vfsStream* stream);  // black, then white
int _vimportwinWriteQuad(vfsStream* stream, const std::uint8_t quad[4]);
// height rows of width pixels at bits per pixel (1, 4, 8 or 24), each row
// padded to 32 bits, bottom first; invert complements every byte. The
// image keeps rows padded to 32 bits afterwards.
int _vimportwinWritePixels(vfsStream* stream, vimage* image, int width, int height, int bits, int invert);
int _vimportwinWriteShort(vfsStream* stream, std::uint16_t value);
int _vimportwinWriteLong(vfsStream* stream, std::uint32_t value);
int _vimportwinWriteByte(vfsStream* stream, std::uint8_t value);

// Bytes of one stored row at bits per pixel.
inline std::uint32_t _vimportwinRowBytes(int bits, int width) {
  return std::uint32_t((std::int64_t(bits) * width + 31) / 32 * 4);
}
