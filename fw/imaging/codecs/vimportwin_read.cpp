// Reading Windows bitmaps: the field readers and the bitmap reader.
//
// - `codecs/vimportwin_read.cpp`, `codecs/vimportico.cpp`: the bitmap and icon readers and the icon
//   writer, in the same module (one error flag, `_vimportwinWriteReplacing` for every file written).
//   A reader learns the file's size first (`winfile::Input`) and checks the header size, bit count,
//   colour count, the image size (1-32767 a side, and at most `_vimportwinSetPixelLimit` pixels,
//   32767 x 32767 unless a test lowers it) and every table and row block against it before reading;
//   rows go whole into a store laid out as the file's (32-bit rows, bottom first). A failed icon
//   destroys the images and masks already made (`winfile::Made`). Icon entries must carry the
//   information header and bit count they imply. The icon writer pads each table with black to the
//   2^depth entries the entry declares, and its directory holds only the images it writes (those
//   before the first that does not qualify), so a written icon reads back and writes again to the
//   same bytes. `fuzz_bmp` and `fuzz_ico` check that.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportwin_internal.h"

using namespace winfile;

namespace {

std::int64_t pixelLimit = std::int64_t(32767) * 32767;

}  // namespace

namespace winfile {

Input::Input(const vfsPath* path) {
  vfsFileInfo info;
  vfsGetFileInfo(path, &info);
  size = info.size;
  // Only a regular file has the size that bounds every read.
  stream = vfsOpenFile(path, vfsOPEN_READ | vfsOPEN_REGULAR);
}

std::string Input::whole(std::int64_t limit) {
  std::string bytes;
  if (size > limit) return bytes;
  bytes.resize(std::size_t(size));
  bytes.resize(vfsReadFile(bytes.data(), 1, std::ptrdiff_t(bytes.size()), stream));
  return bytes;
}

Input::~Input() {
  if (stream) vexTry([&] { vfsCloseFile(stream); });
}

bool Input::seek(std::int64_t to) {
  if (to < 0 || to > size) return false;
  vfsSeekFile(stream, to, 0);
  return true;
}

bool Input::read(void* into, std::int64_t n) {
  if (n < 0) return false;
  std::size_t got = vfsReadFile(into, 1, n, stream);
  if (got != std::size_t(n)) _vimportwinError = 1;
  return got == std::size_t(n);
}

bool sizeFits(std::int64_t width, std::int64_t height) {
  return width >= 1 && width <= 32767 && height >= 1 && height <= 32767 && width * height <= pixelLimit;
}

bool claimFits(std::int64_t claimed, std::int64_t possible, std::int64_t factor) {
  constexpr std::int64_t kSlack = 65536;
  factor = std::max<std::int64_t>(factor, 1);
  possible = std::clamp<std::int64_t>(possible, 0, (INT64_MAX - kSlack) / factor);
  return claimed <= factor * possible + kSlack;
}

void readPalette(vimage* image, const std::uint8_t* table, std::uint32_t entries, int entryBytes) {
  vcolorList* palette = vimageGetPalette(image);
  vcolorListSetCount(palette, entries);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = table + std::size_t(i) * std::size_t(entryBytes);
    vcolorSetSpecRGB(&palette->entries[i], e[2] * 65535u / 255, e[1] * 65535u / 255, e[0] * 65535u / 255);
  }
  vcolorListChanged(palette);
}

bool readRows(Input& in, vimage* image, bool complement) {
  vpixmapSetRowAlignment(image, 32);
  vpixmapSetBottomUp(image, 0);
  vpixmapSetByteOrder(image, 0);
  std::int64_t n = std::int64_t(vpixmapGetRowBytes(image)) * image->height;
  std::uint8_t* store = vpixmapLockPixels(image);
  if (!in.read(store, n)) return false;
  if (complement)
    for (std::int64_t i = 0; i < n; ++i) store[i] = std::uint8_t(~store[i]);
  vpixmapMarkChanged(image);
  return true;
}

}  // namespace winfile

void _vimportwinSetPixelLimit(std::int64_t pixels) { pixelLimit = pixels; }

int _vimportwinReadByte(vfsStream* stream) {
  std::uint8_t b;
  if (vfsReadFile(&b, 1, 1, stream) != 1) {
    _vimportwinError = 1;
    return -1;
  }
  return b;
}

std::uint16_t _vimportwinReadShort(vfsStream* stream) {
  std::uint8_t b[2];
  if (vfsReadFile(b, 1, 2, stream) != 2) {
    _vimportwinError = 1;
    return 0xFFFF;
  }
  return std::uint16_t(b[0] | b[1] << 8);
}

std::uint32_t _vimportwinReadLong(vfsStream* stream) {
  std::uint8_t b[4];
  if (vfsReadFile(b, 1, 4, stream) != 4) {
    _vimportwinError = 1;
    return 0xFFFFFFFF;
  }
  return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24;
}

vimage* vimportBMP(const vfsPath* path) {
  if (!path) _vexGenerate(&vexArgNullClass, vexEnd);
  _vimportwinError = 0;
  Input in(path);
  vfsStream* s = in.stream;
  std::uint16_t type = _vimportwinReadShort(s);
  _vimportwinReadLong(s);
  _vimportwinReadShort(s);
  _vimportwinReadShort(s);
  std::uint32_t offset = _vimportwinReadLong(s);
  if (_vimportwinError || type != 0x4D42) return nullptr;
  std::uint32_t headerSize = _vimportwinReadLong(s);
  std::int64_t width, height;
  std::uint32_t bits, used = 0;
  int entryBytes;
  if (headerSize == 40) {
    width = std::int32_t(_vimportwinReadLong(s));
    height = std::int32_t(_vimportwinReadLong(s));
    _vimportwinReadShort(s);
    bits = _vimportwinReadShort(s);
    std::uint32_t compression = _vimportwinReadLong(s);
    for (int i = 0; i < 3; ++i) _vimportwinReadLong(s);
    used = _vimportwinReadLong(s);
    _vimportwinReadLong(s);
    if (compression != 0) return nullptr;
    entryBytes = 4;
  } else if (headerSize == 12) {
    width = std::int16_t(_vimportwinReadShort(s));
    height = std::int16_t(_vimportwinReadShort(s));
    _vimportwinReadShort(s);
    bits = _vimportwinReadShort(s);
    entryBytes = 3;
  } else {
    return nullptr;
  }
  if (_vimportwinError || !sizeFits(width, height)) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return nullptr;
  std::uint32_t colors = bits == 24 ? 0 : used ? used : 1u << bits;
  if (bits != 24 && colors > (1u << bits)) return nullptr;
  std::int64_t tableBytes = std::int64_t(colors) * entryBytes;
  std::int64_t pixelBytes = std::int64_t(_vimportwinRowBytes(int(bits), int(width))) * height;
  if (14 + std::int64_t(headerSize) + tableBytes > in.size || std::int64_t(offset) + pixelBytes > in.size)
    return nullptr;
  std::vector<std::uint8_t> table(std::size_t(tableBytes) + 1);
  if (!in.read(table.data(), tableBytes)) return nullptr;

  Made image(vimageCreateSized(int(width), int(height), 2));
  vpixmapSetDepth(image.get(), int(bits));
  if (bits == 24)
    vimageSetNoPalette(image.get(), 1);
  else
    readPalette(image.get(), table.data(), colors, entryBytes);
  if (!in.seek(offset) || !readRows(in, image.get(), false)) return nullptr;
  return image.release();
}
