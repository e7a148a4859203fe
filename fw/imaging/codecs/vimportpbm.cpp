// The portable-map reader and writer. The reader takes the whole file:
// bytes missing at the end of a raw file read as 0.
#include "fw/imaging/codecs/vimportpbm.h"

#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/num.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportwin_internal.h"

using namespace imgops;

namespace {

struct Text {
  std::string bytes;
  std::size_t at = 0;
  bool overflow = false;

  int byte() { return at < bytes.size() ? std::uint8_t(bytes[at++]) : 0; }
  // A header number: "#" skips to the line's end, other non-digits are
  // skipped, 0 at the end of the file; the character after it consumed.
  std::uint32_t number() {
    while (at < bytes.size()) {
      char c = bytes[at];
      if (c >= '0' && c <= '9') break;
      ++at;
      if (c == '#')
        while (at < bytes.size() && bytes[at++] != '\n') {
        }
    }
    std::uint64_t v = 0;
    while (at < bytes.size()) {
      char c = bytes[at++];
      if (c < '0' || c > '9') break;
      v = v * 10 + std::uint64_t(c - '0');
      if (v > 0x7FFFFFFF) overflow = true, v = 0x7FFFFFFF;
    }
    return std::uint32_t(v);
  }
  // The next "0" or "1" of a plain bitmap; 0 at the end of the file.
  std::uint32_t bit() {
    while (at < bytes.size()) {
      char c = bytes[at++];
      if (c == '0' || c == '1') return std::uint32_t(c - '0');
      if (c == '#')
        while (at < bytes.size() && bytes[at++] != '\n') {
        }
    }
    return 0;
  }
};

std::string readAll(const vfsPath* path) {
  winfile::Input in(path);
  return in.whole(winfile::kWholeFileLimit);
}

std::string decimal(std::int32_t value, vnumFormat* format) {
  char buffer[32];
  vscribeGetCStringBounded(vnumScribeInteger(value, vnumGetDecimalDigits(), format, nullptr, 0, -1), buffer,
                           sizeof buffer);
  return buffer;
}

// The writer's text, built whole.
struct Writer {
  vimage* image;
  int kind;
  std::string out;
};

void writeBitmap(Writer& w, vimage* bits) {
  std::uint32_t flip = oneIsLight(bits) ? 1 : 0;
  int width = bits->width, height = bits->height, line = 0;
  Cursor c(bits);
  for (int r = 0; r < height; ++r) {
    c.moveTo(0, height - 1 - r);
    std::uint32_t byte = 0;
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = (c.getNext() ^ flip) & 1;
      if (w.kind == 0) {
        w.out += v ? "1 " : "0 ";
        if ((line += 2) >= 68) w.out += "\n", line = 0;
        continue;
      }
      byte |= v << (7 - x % 8);
      if (x % 8 == 7 || x == width - 1) w.out += char(byte), byte = 0;
    }
  }
}

void writeSamples(Writer& w) {
  vimage* image = w.image;
  bool direct = (image->flags & vimageNO_PALETTE) != 0;
  bool gray = w.kind == 2 || w.kind == 3, plain = w.kind == 2 || w.kind == 4;
  std::vector<Rgb> table;
  std::vector<std::uint8_t> grays;
  if (!direct) {
    const vcolorList* p = vimageGetPalette(image);
    for (std::uint32_t i = 0; i < p->count; ++i) {
      Rgb c;
      vcolorGetSpecRGB(&p->entries[i], &c.r, &c.g, &c.b);
      table.push_back(c);
      grays.push_back(std::uint8_t(unsigned(0.299 * c.r + 0.587 * c.g + 0.114 * c.b) >> 8));
    }
  }
  vnumFormat* sample = vnumFormatCreate();
  vnumFormatInsertPadding(sample, nullptr, ' ', 3);
  vnumFormatAppendDigits(sample, nullptr, 0, 0, 3);
  std::vector<std::string> texts(256);
  for (int i = 0; i < 256; ++i) texts[std::size_t(i)] = decimal(i, sample) + " ";
  vinstanceDestroy(sample);
  int width = image->width, height = image->height, line = 0;
  Cursor c(image);
  for (int r = 0; r < height; ++r) {
    c.moveTo(0, height - 1 - r);
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = c.getNext();
      // A value past the palette is black.
      std::uint32_t rgb[3] = {0, 0, 0};
      std::uint32_t g = 0;
      if (direct) {
        rgb[0] = v >> 16 & 0xFF, rgb[1] = v >> 8 & 0xFF, rgb[2] = v & 0xFF;
        g = (80 * rgb[0] + 144 * rgb[1] + 32 * rgb[2]) / 256;
      } else if (v < table.size()) {
        rgb[0] = table[v].r >> 8, rgb[1] = table[v].g >> 8, rgb[2] = table[v].b >> 8;
        g = grays[v];
      }
      if (gray) {
        if (!plain) {
          w.out += char(g);
          continue;
        }
        w.out += texts[g];
        if ((line += 4) > 68) w.out += "\n", line = 0;
        continue;
      }
      for (std::uint32_t k : rgb) w.out += plain ? texts[k] : std::string(1, char(k));
      if (plain && (line += 12) >= 68) w.out += "\n", line = 0;
    }
  }
}

}  // namespace

vimage* vimportPBM(const vfsPath* path) {
  if (!path) _vexGenerate(&vexArgNullClass, vexEnd);
  Text t{readAll(path)};
  if (t.bytes.size() < 2 || t.bytes[0] != 'P' || t.bytes[1] < '1' || t.bytes[1] > '6') return nullptr;
  int variant = t.bytes[1] - '0';
  t.at = 2;
  std::uint32_t width = t.number(), height = t.number();
  bool bitmap = variant == 1 || variant == 4;
  std::uint32_t maximum = bitmap ? 1 : t.number();
  if (t.overflow || !winfile::sizeFits(width, height) || maximum == 0 || maximum > 255) return nullptr;
  // The fewest bytes the pixels take: a bit each in P4, a character or
  // byte per sample otherwise.
  std::int64_t pixels = std::int64_t(width) * height;
  std::int64_t least = variant == 4                   ? std::int64_t((width + 7) / 8) * height
                       : variant == 3 || variant == 6 ? 3 * pixels
                                                      : pixels;
  if (!winfile::claimFits(least, std::int64_t(t.bytes.size() - t.at))) return nullptr;
  if (bitmap) {
    Owned image(createWhiteBlack(int(width), int(height)));
    Cursor c(image.image);
    for (std::uint32_t r = 0; r < height; ++r) {
      c.moveTo(0, int(height - 1 - r));
      if (variant == 1) {
        for (std::uint32_t x = 0; x < width; ++x) c.setNext(t.bit());
        continue;
      }
      for (std::uint32_t x = 0; x < width; x += 8) {
        int byte = t.byte();
        for (std::uint32_t k = 0; k < 8 && x + k < width; ++k) c.setNext(std::uint32_t(byte >> (7 - k)) & 1);
      }
    }
    return image.release();
  }
  bool gray = variant == 2 || variant == 5, plain = variant == 2 || variant == 3;
  auto sample = [&] { return plain ? t.number() : std::uint32_t(t.byte()); };
  if (gray) {
    Owned image(vimageCreateSized(int(width), int(height), 256));
    vcolorList* palette = vimageGetPalette(image.image);
    std::vector<int> entryOf(maximum + 1, -1);
    std::uint32_t used = 0;
    {
      Cursor c(image.image);
      for (std::uint32_t r = 0; r < height; ++r) {
        c.moveTo(0, int(height - 1 - r));
        for (std::uint32_t x = 0; x < width; ++x) {
          std::uint32_t s = sample();
          if (s > maximum || t.overflow) return nullptr;
          if (entryOf[s] < 0) {
            unsigned level = s * 65535 / maximum;
            vcolorSetSpecRGB(&palette->entries[used], level, level, level);
            entryOf[s] = int(used++);
          }
          c.setNext(std::uint32_t(entryOf[s]));
        }
      }
    }
    vcolorListChanged(palette);
    return image.release();
  }
  Owned image(vimageCreateSized(int(width), int(height), 2));
  vimageSetNoPalette(image.image, 1);
  vpixmapSetDepth(image.image, 24);
  Cursor c(image.image);
  for (std::uint32_t r = 0; r < height; ++r) {
    c.moveTo(0, int(height - 1 - r));
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint32_t red = sample(), green = sample(), blue = sample();
      if (red > maximum || green > maximum || blue > maximum || t.overflow) return nullptr;
      c.setNext(red << 16 | green << 8 | blue);
    }
  }
  return image.release();
}

void vimportWritePNM(const vfsPath* path, vimage* image, int kind) {
  if (!path || !image) _vexGenerate(&vexArgNullClass, vexEnd);
  if (kind < 0 || kind > 5) _vexGenerate(&vexArgRangeClass, vexEnd);
  static constexpr const char* kMagic[] = {"P1\n", "P4\n", "P2\n", "P5\n", "P3\n", "P6\n"};
  Owned dithered(kind <= 1 && image->depth != 1 ? vimgedDitherToTwoColors(image) : nullptr);
  vimage* source = dithered.image ? dithered.image : image;
  Writer w{source, kind, kMagic[kind]};
  w.out += decimal(source->width, vnumGetNormalFormat()) + " " + decimal(source->height, vnumGetNormalFormat()) + "\n";
  if (kind >= 2) w.out += "255\n";
  if (kind <= 1)
    writeBitmap(w, source);
  else
    writeSamples(w);
  _vimportwinWriteReplacing(
      path,
      [](vfsStream* s, void* data) {
        const std::string& out = static_cast<Writer*>(data)->out;
        vfsWriteFile(out.data(), 1, std::ptrdiff_t(out.size()), s);
        return 1;
      },
      &w);
}
