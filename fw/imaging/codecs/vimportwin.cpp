// The Windows bitmap writer.
#include "fw/imaging/codecs/vimportwin.h"


#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/wholesave.h"
#include "fw/imaging/codecs/pixops_internal.h"

int _vimportwinError = 0;

namespace {

constexpr std::uint32_t kFileHeaderBytes = 14, kInfoHeaderBytes = 40;

int ok() { return _vimportwinError ? 0 : 1; }

int bitsFor(int depth) { return depth > 8 ? 24 : depth > 4 ? 8 : depth > 1 ? 4 : 1; }

// Whether the pixel store already holds the file's rows: the file's
// depth, bottom row first, three-byte pixels blue first.
bool storeIsFileOrder(const vimage* image, int bits) {
  if (image->depth != bits || (image->layout & vpixmapBOTTOM_UP)) return false;
  return bits != 24 || !(image->layout & vpixmapBYTE_ORDER);
}

// One row in the file's packing, read through a cursor.
void packRow(imgops::Cursor& c, int y, int width, int bits, std::vector<std::uint8_t>& out) {
  std::fill(out.begin(), out.end(), 0);
  c.moveTo(0, y);
  for (int x = 0; x < width; ++x) {
    std::uint32_t v = c.getNext();
    if (bits == 24) {
      for (int k = 0; k < 3; ++k) out[std::size_t(x) * 3 + std::size_t(k)] = std::uint8_t(v >> (8 * k));
      continue;
    }
    std::size_t bit = std::size_t(x) * std::size_t(bits);
    int shift = 8 - bits - int(bit % 8);
    out[bit / 8] = std::uint8_t(out[bit / 8] | ((v & ((1u << bits) - 1)) << shift));
  }
}

void writeRow(vfsStream* stream, std::vector<std::uint8_t>& row, int invert) {
  if (invert)
    for (auto& b : row) b = std::uint8_t(~b);
  vfsWriteFile(row.data(), 1, std::ptrdiff_t(row.size()), stream);
}

}  // namespace

int _vimportwinWriteByte(vfsStream* stream, std::uint8_t value) {
  vfsWriteFile(&value, 1, 1, stream);
  return ok();
}

int _vimportwinWriteShort(vfsStream* stream, std::uint16_t value) {
  std::uint8_t b[2] = {std::uint8_t(value), std::uint8_t(value >> 8)};
  vfsWriteFile(b, 1, 2, stream);
  return ok();
}

int _vimportwinWriteLong(vfsStream* stream, std::uint32_t value) {
  std::uint8_t b[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                       std::uint8_t(value >> 24)};
  vfsWriteFile(b, 1, 4, stream);
  return ok();
}

int _vimportwinWriteQuad(vfsStream* stream, const std::uint8_t quad[4]) {
  vfsWriteFile(quad, 1, 4, stream);
  return ok();
}

int _vimportwinWriteFileHeader(vfsStream* stream, const vimportwinFileHeader* h) {
  return _vimportwinWriteShort(stream, h->type) && _vimportwinWriteLong(stream, h->size) &&
         _vimportwinWriteShort(stream, h->reserved1) && _vimportwinWriteShort(stream, h->reserved2) &&
         _vimportwinWriteLong(stream, h->offset);
}

int _vimportwinWriteInfoHeader(vfsStream* stream, const vimportwinInfoHeader* h) {
  return _vimportwinWriteLong(stream, h->size) && _vimportwinWriteLong(stream, std::uint32_t(h->width)) &&
         _vimportwinWriteLong(stream, std::uint32_t(h->height)) && _vimportwinWriteShort(stream, h->planes) &&
         _vimportwinWriteShort(stream, h->bitCount) && _vimportwinWriteLong(stream, h->compression) &&
         _vimportwinWriteLong(stream, h->imageSize) && _vimportwinWriteLong(stream, std::uint32_t(h->xResolution)) &&
         _vimportwinWriteLong(stream, std::uint32_t(h->yResolution)) &&
         _vimportwinWriteLong(stream, h->colorsUsed) && _vimportwinWriteLong(stream, h->importantColors);
}

int _vimportwinWritePalette(vfsStream* stream, const vcolorList* palette, int count) {
  if (count < 1) return 1;
  if (!palette) return 0;
  for (int i = 0; i < count && std::uint32_t(i) < palette->count; ++i) {
    unsigned r, g, b;
    vcolorGetSpecRGB(&palette->entries[i], &r, &g, &b);
    const std::uint8_t quad[4] = {std::uint8_t(b * 255 / 65535), std::uint8_t(g * 255 / 65535),
                                  std::uint8_t(r * 255 / 65535), 0};
    if (!_vimportwinWriteQuad(stream, quad)) return 0;
  }
  return 1;
}

int _vimportwinWriteMonoPalette(vfsStream* stream) {
  static constexpr std::uint8_t black[4] = {0, 0, 0, 0}, white[4] = {255, 255, 255, 0};
  return _vimportwinWriteQuad(stream, black) && _vimportwinWriteQuad(stream, white);
}

int _vimportwinWritePixels(vfsStream* stream, vimage* image, int width, int height, int bits, int invert) {
  vpixmapSetRowAlignment(image, 32);
  std::uint32_t rowBytes = _vimportwinRowBytes(bits, width);
  // Rows and columns past the image's own are written as zeros, so the
  // file always holds what its headers declare.
  int have = std::min<int>(height, image->height);
  std::vector<std::uint8_t> row(rowBytes);
  if (storeIsFileOrder(image, bits) && width == image->width) {
    const std::uint8_t* store = vpixmapLockPixels(image);
    for (int y = 0; y < have; ++y) {
      std::copy_n(store + std::size_t(y) * rowBytes, rowBytes, row.begin());
      writeRow(stream, row, invert);
      if (!ok()) return 0;
    }
  } else {
    imgops::Cursor c(image);
    for (int y = 0; y < have; ++y) {
      packRow(c, y, std::min<int>(width, image->width), bits, row);
      writeRow(stream, row, invert);
      if (!ok()) return 0;
    }
  }
  for (int y = have; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    writeRow(stream, row, invert);
    if (!ok()) return 0;
  }
  return 1;
}

int _vimportwinWriteBitmap(vfsStream* stream, vimage* image, vimportwinFileHeader* header) {
  int depth = image->depth;
  if (depth > 8 && depth != 24) return 0;
  int bits = bitsFor(depth);
  bool noPalette = (image->flags & vimageNO_PALETTE) != 0;
  // Deep pixels are colours: they take no table.
  const vcolorList* palette = bits == 24 || noPalette ? nullptr : vimageGetPalette(image);
  std::uint32_t full = std::uint32_t(1) << (bits == 24 ? 0 : bits);
  std::uint32_t entries = palette ? std::min(palette->count, full) : 0;
  // Without a palette, values above one bit are grey levels.
  vcolorList* ramp = nullptr;
  if (noPalette && bits != 24 && depth > 1) {
    ramp = vcolorListCreate();
    std::uint32_t levels = std::uint32_t(1) << depth;
    vcolorListSetCount(ramp, levels);
    for (std::uint32_t i = 0; i < levels; ++i) {
      unsigned grey = unsigned(i * 65535 / (levels - 1));
      vcolorSetSpecRGB(&ramp->entries[i], grey, grey, grey);
    }
    palette = ramp;
    entries = levels;
  }
  int written = 0;
  vexGuard(
      [&] {
        vimportwinInfoHeader info{kInfoHeaderBytes,
                                  image->width,
                                  image->height,
                                  1,
                                  std::uint16_t(bits),
                                  0,
                                  0,
                                  0,
                                  0,
                                  entries == full ? 0 : entries,
                                  0};
        if (!_vimportwinWriteInfoHeader(stream, &info)) return;
        if (entries > 0) {
          if (!_vimportwinWritePalette(stream, palette, int(entries))) return;
        } else if (bits == 1) {
          if (!_vimportwinWriteMonoPalette(stream)) return;
          entries = 2;
        }
        if (!_vimportwinWritePixels(stream, image, image->width, image->height, bits, 0)) return;
        written = 1;
      },
      [&](vexHandler&) {
        if (ramp) vcolorListDestroy(ramp);
        _vexGenerate(nullptr, vexEnd);
      });
  if (ramp) vcolorListDestroy(ramp);
  if (!written) return 0;
  if (header) {
    header->size += kInfoHeaderBytes + 4 * entries + _vimportwinRowBytes(bits, image->width) * std::uint32_t(image->height);
    header->offset += kInfoHeaderBytes + 4 * entries;
  }
  return 1;
}

int _vimportwinWriteReplacing(const vfsPath* path, int (*body)(vfsStream* stream, void* data), void* data) {
  if (!path) _vexGenerate(&vexArgNullClass, vexEnd);
  int result = 0;
  bool refused = false;
  // Written as every whole file is (links followed, devices in place, the
  // old file kept when anything fails); a body that refuses writes nothing.
  vexGuard(
      [&] {
        _vdataSaveWhole(path, 0, [&](const vfsPath* at) {
          vfsStream* stream = vfsOpenFile(at, vfsOPEN_WRITE);
          vexGuard(
              [&] {
                _vimportwinError = 0;
                result = body(stream, data);
              },
              [&](vexHandler&) {
                vexTry([&] { vfsCloseFile(stream); });
                _vexGenerate(nullptr, vexEnd);
              });
          vfsCloseFile(stream);
          if (!result) {
            refused = true;
            vexGenerateMessage(&vexAbandonClass, "image not written");
          }
        });
      },
      [&](vexHandler& h) {
        if (!refused) _vexGenerate(nullptr, vexEnd);
        vexSetCurrentException(h.savedChain);
      });
  return result;
}

int vimportwinWriteBMP(const vfsPath* path, vimage* image) {
  if (!path || !image) _vexGenerate(&vexArgNullClass, vexEnd);
  return _vimportwinWriteReplacing(
      path,
      [](vfsStream* stream, void* data) {
        auto* image = static_cast<vimage*>(data);
        vimportwinFileHeader header{0x4D42, kFileHeaderBytes, 0, 0, kFileHeaderBytes};
        if (!_vimportwinWriteFileHeader(stream, &header) || !_vimportwinWriteBitmap(stream, image, &header)) return 0;
        vfsSeekFile(stream, 0, 0);
        return _vimportwinWriteFileHeader(stream, &header);
      },
      image);
}
