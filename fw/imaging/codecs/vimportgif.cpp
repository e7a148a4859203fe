// The GIF reader and writer. The reader takes the whole file and checks
// every block against its end.
#include "fw/imaging/codecs/vimportgif.h"

#include <array>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportwin_internal.h"
#include "platform/win.h"

using namespace imgops;

namespace {

struct Bytes {
  std::string data;
  std::size_t at = 0;
  bool has(std::size_t n) const { return n <= data.size() - at; }
  int byte() { return at < data.size() ? std::uint8_t(data[at++]) : -1; }
  int word() {
    if (!has(2)) return -1;
    int v = std::uint8_t(data[at]) | std::uint8_t(data[at + 1]) << 8;
    at += 2;
    return v;
  }
};

// A colour table of n entries into the list, equal colours merged; the
// map takes each GIF index to its palette entry (0 past the table).
bool readTable(Bytes& in, int n, vcolorList* list, std::array<std::uint8_t, 256>& map) {
  if (!in.has(std::size_t(3 * n))) return false;
  vcolorListSetCount(list, std::uint32_t(n));
  for (int i = 0; i < n; ++i) vcolorSetSpecRGB(&list->entries[i], 0, 0, 0);
  map.fill(0);
  int distinct = 0;
  for (int i = 0; i < n; ++i) {
    unsigned rgb[3];
    for (unsigned& c : rgb) c = unsigned(in.byte()) * 257;
    int found = -1;
    for (int k = 0; k < distinct && found < 0; ++k) {
      unsigned e[3];
      vcolorGetSpecRGB(&list->entries[k], &e[0], &e[1], &e[2]);
      if (e[0] == rgb[0] && e[1] == rgb[1] && e[2] == rgb[2]) found = k;
    }
    if (found < 0) {
      vcolorSetSpecRGB(&list->entries[distinct], rgb[0], rgb[1], rgb[2]);
      found = distinct++;
    }
    map[std::size_t(i)] = std::uint8_t(found);
  }
  return true;
}

// Where decoded pixels go: rows from the top, in interlace order.
struct Rows {
  vpixmapCursor* cursor;
  const std::array<std::uint8_t, 256>* map;
  int width, height, row = 0, column = 0, pass = 0;
  bool interlaced = false;
  bool done = false;

  static constexpr int kStep[] = {8, 8, 4, 2}, kFirst[] = {0, 4, 2, 1};

  static void put(void* context, std::uint32_t value) {
    auto* r = static_cast<Rows*>(context);
    if (r->done) return;
    vpixmapCursorSetNext(r->cursor, (*r->map)[value & 0xFF]);
    if (++r->column < r->width) return;
    r->column = 0;
    if (!r->interlaced) {
      ++r->row;
    } else {
      r->row += kStep[r->pass];
      while (r->row >= r->height && ++r->pass < 4) r->row = kFirst[r->pass];
    }
    if (r->row >= r->height || r->pass >= 4) {
      r->done = true;
      return;
    }
    vpixmapCursorMoveTo(r->cursor, 0, r->height - 1 - r->row);
  }
};

// The most pixels that bytes of codes can decode to: codes take at least
// codeBits bits each, and the n-th code after a clear gives at most n
// pixels (4096 once the table is full).
std::int64_t mostPixels(std::size_t bytes, int codeBits) {
  std::int64_t codes = std::int64_t(bytes) * 8 / codeBits;
  constexpr std::int64_t kLongest = 4096;
  if (codes <= kLongest) return codes * (codes + 1) / 2;
  return kLongest * (kLongest + 1) / 2 + (codes - kLongest) * kLongest;
}

vimage* readImage(Bytes& in, int bits, bool haveTable, vcolorList* list, std::array<std::uint8_t, 256>& map) {
  in.word();
  in.word();
  int width = in.word(), height = in.word(), flags = in.byte();
  if (flags < 0) return nullptr;
  if (flags & 0x80) {
    bits = (flags & 7) + 1;
    if (!readTable(in, 1 << bits, list, map)) return nullptr;
    haveTable = true;
  }
  if (!haveTable || !winfile::sizeFits(width, height)) return nullptr;
  int minimum = in.byte();
  if (minimum < 2 || minimum > 8) return nullptr;
  std::vector<std::uint8_t> codes{std::uint8_t(minimum)};
  for (int n = in.byte();; n = in.byte()) {
    if (n < 0 || !in.has(std::size_t(n))) return nullptr;
    if (n == 0) break;
    codes.insert(codes.end(), in.data.begin() + std::ptrdiff_t(in.at), in.data.begin() + std::ptrdiff_t(in.at) + n);
    in.at += std::size_t(n);
  }
  // The bound is already far above any cut file's need.
  if (!winfile::claimFits(std::int64_t(width) * height, mostPixels(codes.size() - 1, minimum + 1), 1)) return nullptr;
  Owned image(vimageCreateSized(width, height, 1u << bits));
  vcolorList* palette = vimageGetPalette(image.image);
  for (std::uint32_t i = 0; i < palette->count; ++i)
    if (i < list->count)
      vcolorCopySpec(&list->entries[i], &palette->entries[i]);
    else
      vcolorSetSpecRGB(&palette->entries[i], 0, 0, 0);
  vcolorListChanged(palette);
  Cursor c(image.image);
  c.moveTo(0, height - 1);
  Rows rows{&c.c, &map, width, height};
  rows.interlaced = (flags & 0x40) != 0;
  vlzwDecode(codes.data(), codes.size(), std::int64_t(width) * height, &rows, Rows::put);
  return image.release();
}

// Packets of 252 bytes after the code size byte.
struct Packets {
  std::string* out;
  bool sizeWritten = false;
  std::string packet = {};

  static void put(void* stream, std::uint32_t byte) {
    auto* p = static_cast<Packets*>(stream);
    if (!p->sizeWritten) {
      p->out->push_back(char(byte));
      p->sizeWritten = true;
      return;
    }
    p->packet.push_back(char(byte));
    if (p->packet.size() == 252) p->flush();
  }
  void flush() {
    if (packet.empty()) return;
    out->push_back(char(packet.size()));
    *out += packet;
    packet.clear();
  }
};

struct Source {
  Cursor* cursor;
  int width, height, column = 0, row = 0;
  static std::uint32_t get(void* source) {
    auto* s = static_cast<Source*>(source);
    std::uint32_t v = s->cursor->getNext();
    if (++s->column == s->width && ++s->row < s->height) {
      s->column = 0;
      s->cursor->moveTo(0, s->height - 1 - s->row);
    }
    return v;
  }
};

void word(std::string& out, int v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char(v >> 8 & 0xFF));
}

}  // namespace

vimage* vimportGIF(const vfsPath* path) {
  if (!path) _vexGenerate(&vexArgNullClass, vexEnd);
  Bytes in;
  {
    winfile::Input file(path);
    in.data = file.whole(winfile::kWholeFileLimit);
  }
  if (!in.has(13) || in.data.compare(0, 3, "GIF") != 0) return nullptr;
  in.at = 10;
  int flags = in.byte();
  in.byte();
  if (in.byte() != 0) return nullptr;
  vcolorList* list = vcolorListCreate();
  std::array<std::uint8_t, 256> map{};
  vimage* image = nullptr;
  vexGuard(
      [&] {
        int bits = (flags & 7) + 1;
        bool haveTable = false;
        if (flags & 0x80) {
          if (!readTable(in, 1 << bits, list, map)) return;
          haveTable = true;
        }
        // Extensions are skipped; the first image ends the loop, and so
        // does any other byte or the end of the file.
        for (int b = in.byte();; b = in.byte()) {
          if (b == 0x2C) image = readImage(in, bits, haveTable, list, map);
          if (b != 0x21) return;
          in.byte();
          for (int n = in.byte(); n > 0; n = in.byte()) {
            if (!in.has(std::size_t(n))) return;
            in.at += std::size_t(n);
          }
        }
      },
      [&](vexHandler&) {
        vcolorListDestroy(list);
        _vexGenerate(nullptr, vexEnd);
      });
  vcolorListDestroy(list);
  return image;
}

void vimportWriteGIF(const vfsPath* path, vimage* image) {
  if (!path || !image) _vexGenerate(&vexArgNullClass, vexEnd);
  int depth = image->depth;
  bool noPalette = (image->flags & vimageNO_PALETTE) != 0;
  const vcolorList* palette = noPalette ? nullptr : vimageGetPalette(image);
  if (depth < 1 || depth > 8 || (noPalette && depth != 1) || (palette && palette->count > (1u << depth)))
    _vexGenerate(&vexArgClass, vexEnd);
  std::string out = "GIF87a";
  word(out, win::GetSystemMetrics(win::SM_CXSCREEN));
  word(out, win::GetSystemMetrics(win::SM_CYSCREEN));
  out.push_back(char(0x90 | (depth - 1)));
  out.push_back(0);
  out.push_back(0);
  for (std::uint32_t i = 0; i < (1u << depth); ++i) {
    unsigned c[3] = {0, 0, 0};
    if (palette && i < palette->count)
      vcolorGetSpecRGB(&palette->entries[i], &c[0], &c[1], &c[2]);
    else if (!palette && i == 1)
      c[0] = c[1] = c[2] = 65535;  // one bit without palette: 0 black, 1 white
    for (unsigned k : c) out.push_back(char(std::uint8_t(double(float(k) * 0.0038910506f))));
  }
  out.push_back(0x2C);
  word(out, 0);
  word(out, 0);
  word(out, image->width);
  word(out, image->height);
  out.push_back(char(depth - 1));
  {
    Cursor c(image);
    c.moveTo(0, image->height - 1);
    Source source{&c, image->width, image->height};
    Packets packets{&out};
    vlzwEncode(&source, &packets, depth == 1 ? 2 : depth, std::int64_t(image->width) * image->height, Source::get,
               Packets::put);
    packets.flush();
  }
  out.push_back(0);
  out.push_back(0x3B);
  _vimportwinWriteReplacing(
      path,
      [](vfsStream* s, void* data) {
        const std::string& text = *static_cast<std::string*>(data);
        vfsWriteFile(text.data(), 1, std::ptrdiff_t(text.size()), s);
        return 1;
      },
      &out);
}
