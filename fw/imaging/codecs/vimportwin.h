// Windows bitmap files: the writer of whole files and the field, header,
// colour-table and pixel-row writers that the icon writer shares. Files
// are little-endian whatever the host: 14-byte file header, 40-byte
// information header, colour table of blue, green, red, 0 entries, rows
// padded to 32 bits, bottom row first.
//
// - `codecs/vimportwin.h`: the Windows bitmap writer and the field, header, colour-table and row
//   writers that the icon writer shares. Fields are written byte by byte, little-endian. Rows come
//   straight from the pixel store when it already holds the file's rows (32-bit padding, bottom row
//   first, three-byte pixels blue first), otherwise through a cursor, which also widens a 2-bit
//   image to the 4 bits its header declares. A 4- or 8-bit image without palette gets a grey ramp; a
//   24-bit image never a table. The file is written to a temporary file beside the target, given the
//   usual mode and renamed over it only when complete: a refused depth or a raised write leaves the
//   old file untouched.
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
// Written as every whole file is (`fw/data/wholesave.h`); a failed write
// or seek raises and also leaves the old file as it was.
int vimportwinWriteBMP(const vfsPath* path, vimage* image);

// Writes a file through body into a scratch file, put where path leads by
// the shared whole-file writer (links followed, devices and FIFOs in place)
// when body answers 1; otherwise, and when body raises, the scratch file is
// removed and the old file kept.
int _vimportwinWriteReplacing(const vfsPath* path, int (*body)(vfsStream* stream, void* data), void* data);

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

// ---- Reading bitmaps and icons. Every count and offset is checked against
// the file's size before anything is read; a file that fails a check gives
// no image and leaves nothing behind.

// Little-endian fields; a short read sets _vimportwinError and gives all
// bits set.
int _vimportwinReadByte(vfsStream* stream);
std::uint16_t _vimportwinReadShort(vfsStream* stream);
std::uint32_t _vimportwinReadLong(vfsStream* stream);

// A bitmap of 1, 4 or 8 bits with its palette (as many entries as the file
// gives), or of 24 bits without palette; rows padded to 32 bits.
vimage* vimportBMP(const vfsPath* path);
// A null-terminated array (vmemFree) of the icon's images, each with its
// mask attached but not owned (entry 0 white, 1 black; 1 opaque), or none.
// A file without an icon directory raises Module/Unimplemented.
vimage** vimportICO(const vfsPath* path);
// Icons of 16, 32 or 64 pixels a side, depth 1 or 4, with a one-bit mask;
// writing stops at the first image that does not qualify. 1 written.
int vimportWriteICO(const vfsPath* path, vimage** images);

// The most pixels a file may declare for an image (fuzzing keeps it small).
void _vimportwinSetPixelLimit(std::int64_t pixels);
