// Windows icon files: the reader of every image of a file and the writer.
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportwin_internal.h"

using namespace winfile;

namespace {

constexpr std::uint32_t kInfoBytes = 40;

struct Entry {
  int width, height, depth;
  std::uint32_t offset;
};

// One image and its mask, or none.
vimage* readIcon(Input& in, const Entry& e) {
  if (!sizeFits(e.width, e.height)) return nullptr;
  std::uint32_t colors = 1u << e.depth;
  std::int64_t colorBytes = std::int64_t(_vimportwinRowBytes(e.depth, e.width)) * e.height;
  std::int64_t maskBytes = std::int64_t(_vimportwinRowBytes(1, e.width)) * e.height;
  if (std::int64_t(e.offset) + kInfoBytes + 4 * colors + colorBytes + maskBytes > in.size || !in.seek(e.offset))
    return nullptr;
  vfsStream* s = in.stream;
  // The entry implies the depth: an information header that disagrees
  // (a PNG entry, an 8-bit entry) is not read as this one.
  std::uint32_t headerSize = _vimportwinReadLong(s);
  _vimportwinReadLong(s);
  _vimportwinReadLong(s);
  _vimportwinReadShort(s);
  std::uint16_t bits = _vimportwinReadShort(s);
  in.seek(std::int64_t(e.offset) + kInfoBytes);
  if (_vimportwinError || headerSize != kInfoBytes || bits != e.depth) return nullptr;
  std::vector<std::uint8_t> table(4 * colors);
  if (!in.read(table.data(), std::int64_t(table.size()))) return nullptr;
  Made image(vimageCreateSized(e.width, e.height, colors));
  readPalette(image.get(), table.data(), colors, 4);
  if (!readRows(in, image.get(), false)) return nullptr;
  Made mask(imgops::createWhiteBlack(e.width, e.height));
  if (!readRows(in, mask.get(), true)) return nullptr;
  vimageSetMask(image.get(), mask.release());
  return image.release();
}

bool qualifies(vimage* image) {
  auto side = [](int n) { return n == 16 || n == 32 || n == 64; };
  if (!image || (image->flags & vimageNO_PALETTE) || !side(image->width) || !side(image->height)) return false;
  if (image->depth != 1 && image->depth != 4) return false;
  std::uint32_t count = vimageGetPalette(image)->count;
  return count <= (1u << image->depth) && (count == 2 || count == 8 || count == 16 || (count == 0 && image->depth == 1));
}

int writeIcons(vfsStream* s, vimage** images) {
  // Writing ends at the first image that does not qualify: the directory
  // holds the ones before it, with no unused entries.
  std::uint32_t count = 0;
  while (images[count] && qualifies(images[count])) ++count;
  if (!_vimportwinWriteShort(s, 0) || !_vimportwinWriteShort(s, 1) || !_vimportwinWriteShort(s, 0)) return 0;
  for (std::uint32_t i = 0; i < count; ++i)
    for (int k = 0; k < 4; ++k)
      if (!_vimportwinWriteLong(s, 0)) return 0;
  std::uint32_t at = 6 + 16 * count, written = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    vimage* image = images[i];
    if (!image->mask || image->mask->depth != 1) return 0;
    int w = image->width, h = image->height, d = image->depth;
    std::uint32_t colors = 1u << d;
    vimportwinInfoHeader info{kInfoBytes, w, 2 * h, 1, std::uint16_t(d), 0, 0, 0, 0, 0, 0};
    if (!_vimportwinWriteInfoHeader(s, &info)) return 0;
    const vcolorList* palette = vimageGetPalette(image);
    if (palette->count == 0) {
      if (!_vimportwinWriteMonoPalette(s)) return 0;
    } else {
      // Padded with black to the full table the entry declares.
      static constexpr std::uint8_t black[4] = {0, 0, 0, 0};
      if (!_vimportwinWritePalette(s, palette, int(palette->count))) return 0;
      for (std::uint32_t k = palette->count; k < colors; ++k)
        if (!_vimportwinWriteQuad(s, black)) return 0;
    }
    if (!_vimportwinWritePixels(s, image, w, h, d, 0) || !_vimportwinWritePixels(s, image->mask, w, h, 1, 1))
      return 0;
    std::uint32_t size = ((_vimportwinRowBytes(d, w) / 4 + _vimportwinRowBytes(1, w) / 4) * std::uint32_t(h) + colors) * 4 + kInfoBytes;
    vfsSeekFile(s, 6 + 16 * std::int64_t(i), 0);
    if (!_vimportwinWriteByte(s, std::uint8_t(w)) || !_vimportwinWriteByte(s, std::uint8_t(h)) ||
        !_vimportwinWriteByte(s, std::uint8_t(colors)) || !_vimportwinWriteByte(s, 0) || !_vimportwinWriteShort(s, 0) ||
        !_vimportwinWriteShort(s, 0) || !_vimportwinWriteLong(s, size) || !_vimportwinWriteLong(s, at))
      return 0;
    at += size;
    vfsSeekFile(s, at, 0);
    ++written;
  }
  vfsSeekFile(s, 0, 0);
  return _vimportwinWriteShort(s, 0) && _vimportwinWriteShort(s, 1) && _vimportwinWriteShort(s, std::uint16_t(written));
}

}  // namespace

vimage** vimportICO(const vfsPath* path) {
  if (!path) _vexGenerate(&vexArgNullClass, vexEnd);
  _vimportwinError = 0;
  Input in(path);
  vfsStream* s = in.stream;
  std::uint16_t reserved = _vimportwinReadShort(s), type = _vimportwinReadShort(s), count = _vimportwinReadShort(s);
  if (_vimportwinError || type != 1 || reserved != 0)
    _vexGenerate(&vexModuleUnimplementedClass, vexSetModule, "vimportwin/vimportICO", vexSetMessage,
                 "icon is not in uncompressed MS-Windows format", vexEnd);
  if (6 + 16 * std::int64_t(count) > in.size) return nullptr;
  std::vector<Made> made;
  made.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    in.seek(6 + 16 * std::int64_t(i));
    Entry e;
    e.width = _vimportwinReadByte(s);
    e.height = _vimportwinReadByte(s);
    e.depth = _vimportwinReadByte(s) == 2 ? 1 : 4;
    _vimportwinReadByte(s);
    _vimportwinReadShort(s);
    _vimportwinReadShort(s);
    _vimportwinReadLong(s);
    e.offset = _vimportwinReadLong(s);
    if (_vimportwinError) return nullptr;
    vimage* image = readIcon(in, e);
    if (!image) return nullptr;
    made.emplace_back(image);
  }
  auto** array = static_cast<vimage**>(vmemAlloc((std::size_t(count) + 1) * sizeof(vimage*)));
  for (std::uint32_t i = 0; i < count; ++i) array[i] = made[i].release();
  array[count] = nullptr;
  return array;
}

int vimportWriteICO(const vfsPath* path, vimage** images) {
  if (!path || !images) _vexGenerate(&vexArgNullClass, vexEnd);
  return _vimportwinWriteReplacing(
      path, [](vfsStream* s, void* data) { return writeIcons(s, static_cast<vimage**>(data)); }, images);
}
