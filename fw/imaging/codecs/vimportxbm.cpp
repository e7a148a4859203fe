// The X bitmap reader and writer. The reader takes the whole file as text,
// so no line or name is cut at a buffer's end.
#include "fw/imaging/codecs/vimportxbm.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/num.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportwin_internal.h"

using namespace imgops;

namespace {

// Character values: 0-15 hexadecimal digits, kSeparator, kNone.
constexpr int kSeparator = 16, kNone = 17;
constexpr std::array<std::uint8_t, 256> kValues = [] {
  std::array<std::uint8_t, 256> t{};
  t.fill(kNone);
  for (int c = '0'; c <= '9'; ++c) t[std::size_t(c)] = std::uint8_t(c - '0');
  for (int c = 0; c < 6; ++c) t[std::size_t('A' + c)] = t[std::size_t('a' + c)] = std::uint8_t(10 + c);
  for (char c : {' ', ',', '}', '\n', '\t'}) t[std::uint8_t(c)] = kSeparator;
  return t;
}();

std::string readAll(const vfsPath* path) {
  winfile::Input in(path);
  return in.whole(winfile::kWholeFileLimit);
}

// Reads the words of a pattern such as "static char" from text at i,
// white space before each; false when a word differs.
bool words(std::string_view text, std::size_t& i, std::initializer_list<std::string_view> expected) {
  for (std::string_view w : expected) {
    while (i < text.size() && std::isspace(std::uint8_t(text[i]))) ++i;
    if (text.substr(i, w.size()) != w) return false;
    i += w.size();
  }
  return true;
}

// The next run of non-blank characters, after white space.
std::string_view token(std::string_view text, std::size_t& i) {
  while (i < text.size() && std::isspace(std::uint8_t(text[i]))) ++i;
  std::size_t start = i;
  while (i < text.size() && !std::isspace(std::uint8_t(text[i]))) ++i;
  return text.substr(start, i - start);
}

std::string_view lastPart(std::string_view name) {
  std::size_t at = name.rfind('_');
  return at == std::string_view::npos ? name : name.substr(at + 1);
}

// A decimal integer as the define lines give it; false when none, and
// clamped far outside the sizes allowed.
bool integer(std::string_view text, std::size_t& i, long& value) {
  while (i < text.size() && std::isspace(std::uint8_t(text[i])) && text[i] != '\n') ++i;
  bool negative = i < text.size() && (text[i] == '-' || text[i] == '+') && text[i++] == '-';
  if (i >= text.size() || !std::isdigit(std::uint8_t(text[i]))) return false;
  value = 0;
  while (i < text.size() && std::isdigit(std::uint8_t(text[i]))) value = std::min(10 * value + (text[i++] - '0'), 1L << 40);
  if (negative) value = -value;
  return true;
}

// count numbers of the bits array from text at i; false when the text
// ends inside them. Every number takes two characters at least, so the
// text bounds what is kept.
bool numbers(std::string_view text, std::size_t& i, std::vector<std::uint8_t>& out, std::size_t count) {
  out.clear();
  if (count > (text.size() - i) / 2) return false;
  out.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    std::uint32_t value = 0;
    bool digits = false;
    while (true) {
      if (i >= text.size()) return false;
      int v = kValues[std::uint8_t(text[i++])];
      if (v < 16) {
        value = value * 16 + std::uint32_t(v);
        digits = true;
      } else if (v == kSeparator && digits) {
        break;
      }
    }
    out[k] = std::uint8_t(value);
  }
  return true;
}

std::string decimal(int value) {
  char buffer[32];
  vscribeGetCStringBounded(vnumScribeInteger(value, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 0, -1),
                           buffer, sizeof buffer);
  return buffer;
}

}  // namespace

vimage* vimportXBM(const vfsPath* path) {
  if (!path) _vexGenerate(&vexArgNullClass, vexEnd);
  std::string all = readAll(path);
  std::string_view text = all;
  long width = 0, height = 0;
  std::vector<std::uint8_t> bits;
  bool haveBits = false;
  for (std::size_t line = 0; line < text.size();) {
    std::size_t end = text.find('\n', line);
    if (end == std::string_view::npos) end = text.size();
    std::size_t i = line, next = end + 1;
    long value;
    if (words(text, i, {"#define"}) && text[line] == '#') {
      std::string_view name = token(text, i);
      if (!name.empty() && i <= end && integer(text, i, value)) {
        if (lastPart(name) == "width") width = value;
        if (lastPart(name) == "height") height = value;
      }
    } else {
      for (auto pattern : {std::initializer_list<std::string_view>{"static", "short"},
                           std::initializer_list<std::string_view>{"static", "unsigned", "char"},
                           std::initializer_list<std::string_view>{"static", "char"}}) {
        i = line;
        if (text[line] != 's' || !words(text, i, pattern)) continue;
        std::string_view name = token(text, i);
        if (name.empty() || i > end) break;
        if (lastPart(name) != "bits[]") break;
        if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return nullptr;
        if (!numbers(text, i, bits, std::size_t((width + 7) / 8) * std::size_t(height))) return nullptr;
        haveBits = true;
        next = i;
        break;
      }
    }
    line = next;
  }
  if (!haveBits || width < 1 || height < 1 || width > 32767 || height > 32767 ||
      std::size_t((width + 7) / 8) * std::size_t(height) != bits.size())
    return nullptr;
  Owned image(createWhiteBlack(int(width), int(height)));
  {
    Cursor c(image.image);
    std::size_t rowBytes = std::size_t((width + 7) / 8);
    for (long r = 0; r < height; ++r) {
      c.moveTo(0, int(height - 1 - r));
      const std::uint8_t* row = bits.data() + std::size_t(r) * rowBytes;
      for (long x = 0; x < width; ++x) c.setNext((row[x / 8] >> (x % 8)) & 1);
    }
  }
  return image.release();
}

void vimportWriteXBM(const vfsPath* path, vimage* image) {
  if (!path || !image) _vexGenerate(&vexArgNullClass, vexEnd);
  Owned dithered(image->depth == 1 ? nullptr : vimgedDitherToTwoColors(image));
  vimage* bitsOf = dithered.image ? dithered.image : image;
  std::uint32_t flip = oneIsLight(bitsOf) ? 1 : 0;
  int w = bitsOf->width, h = bitsOf->height;
  std::string text = "#define image_width " + decimal(w) + "\n#define image_height " + decimal(h) +
                     "\nstatic char image_bits[] = {\n  ";
  vnumFormat* hex = vnumFormatCreate();
  vnumFormatAppendDigits(hex, nullptr, 0, 0, 2);
  int onLine = 0;
  vexGuard(
      [&] {
        Cursor c(bitsOf);
        for (int r = 0; r < h; ++r) {
          c.moveTo(0, h - 1 - r);
          for (int x = 0; x < w; x += 8) {
            std::uint32_t byte = 0;
            for (int k = 0; k < 8 && x + k < w; ++k) byte += (c.getNext() ^ flip) << k;
            char digits[8];
            text += "0x";
            vscribeGetCStringBounded(vnumScribeUnsigned(byte, vnumGetHexDigits(), hex, nullptr, 0, -1), digits,
                                     sizeof digits);
            text += digits;
            text += ",";
            if (++onLine == 12) {
              text += "\n  ";
              onLine = 0;
            }
          }
        }
      },
      [&](vexHandler&) {
        vinstanceDestroy(hex);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(hex);
  text.resize(text.size() - (onLine ? 1 : 2));
  text += "};";
  std::pair<const std::string*, int> body{&text, 0};
  _vimportwinWriteReplacing(
      path,
      [](vfsStream* s, void* data) {
        const std::string& t = *static_cast<std::pair<const std::string*, int>*>(data)->first;
        vfsWriteFile(t.data(), 1, std::ptrdiff_t(t.size()), s);
        return 1;
      },
      &body);
}
