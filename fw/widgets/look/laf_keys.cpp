// Key names and the two key drawers: a key code is the symbol in the high
// half and the modifier bits (1 Alt, 2 Ctrl, 4 Shift, 8 Cmd) in the low
// half; Cmd stands for the command key the preferences choose.
//
// - **Keys** (`laf_keys.cpp`): the key-name table as ranges of names or formats; a local
//   Windows-1252 class table decides printable characters.
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/cp1252.h"
#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/look/laf_internal.h"

namespace {

// Symbols first..last: one name for all, names split by '|' one a symbol,
// or (number >= 0) the format with number + offset.
struct KeyRow {
  std::uint16_t first, last;
  const char* names;
  int number;
};
constexpr KeyRow kKeys[] = {
    {0xFC08, 0xFC08, "Backspace", -1},  {0xFC09, 0xFC09, "Tab", -1},        {0xFC0A, 0xFC0A, "LineFeed", -1},
    {0xFC0B, 0xFC0B, "Clear", -1},      {0xFC0D, 0xFC0D, "Return", -1},     {0xFC13, 0xFC13, "Pause", -1},
    {0xFC14, 0xFC14, "ScrollLock", -1}, {0xFC15, 0xFC15, "SysRq", -1},      {0xFC1B, 0xFC1B, "Escape", -1},
    {0xFC50, 0xFC58, "Home|Left|Up|Right|Down|Prior|Next|End|Begin", -1},
    {0xFC60, 0xFC63, "Select|Print|Execute|Insert", -1},
    {0xFC65, 0xFC6B, "Undo|Redo|Menu|Find|Cancel|Help|Break", -1},
    {0xFC7E, 0xFC7F, "ModeSwitch|NumLock", -1}, {0xFC8D, 0xFC8D, "Enter", -1},
    {0xFC91, 0xFC94, "KeypadF%d", 1},   {0xFCAA, 0xFCAF, "*|+|,|-|.|/", -1}, {0xFCB0, 0xFCB9, "%d", 0},
    {0xFCBE, 0xFCE0, "F%d", 1},         {0xFCE1, 0xFCE2, "Shift", -1},      {0xFCE3, 0xFCE4, "Ctrl", -1},
    {0xFCE5, 0xFCE6, "CapsLock|ShiftLock", -1}, {0xFCE7, 0xFCE8, "Cmd", -1}, {0xFCE9, 0xFCEA, "Alt", -1},
    {0xFCEB, 0xFCEC, "Cmd", -1},        {0xFCF0, 0xFCF1, "Windows", -1},    {0xFCFF, 0xFCFF, "Del", -1},
    {0xF901, 0xF906, "Cut|Copy|Paste|Front|Open|Properties", -1},
    {0xFA41, 0xFA42, "PgUp|PgDn", -1},
};

// Windows-1252 character classes as the key names need them.
enum : std::uint8_t { kUpper = 1, kLower = 2, kPunct = 4, kSpace = 8, kDigit = 16 };
constexpr auto kClasses = [] {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    auto i = std::size_t(c);
    if (cp1252::lower[i] != c) t[i] = kUpper;
    else if (cp1252::upper[i] != c || c == 0xDF || c == 0xAA || c == 0xBA || c == 0xB5) t[i] = kLower;
  }
  for (int c = 0x09; c <= 0x0D; ++c) t[std::size_t(c)] = kSpace;
  t[0x20] = kSpace;
  for (int c : {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0xB2, 0xB3, 0xB9, 0xBC, 0xBD, 0xBE})
    t[std::size_t(c)] = kDigit;
  for (int c = 0x21; c < 0x7F; ++c)
    if (!t[std::size_t(c)]) t[std::size_t(c)] = kPunct;
  // The defined symbols of 0x80-0xBF that are neither letters nor digits.
  for (int c = 0x80; c <= 0xBF; ++c)
    if (!t[std::size_t(c)] && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D && c != 0xA0)
      t[std::size_t(c)] = kPunct;
  t[0xD7] = t[0xF7] = kPunct;
  return t;
}();

// The symbol's name: the table's, else the character's.
std::string symbolName(std::uint32_t symbol) {
  for (const KeyRow& row : kKeys) {
    if (symbol < row.first || symbol > row.last) continue;
    int offset = int(symbol - row.first);
    if (row.number >= 0) {
      char text[16];
      std::snprintf(text, sizeof text, row.names, row.number + offset);
      return text;
    }
    const char* p = row.names;
    if (!std::strchr(p, '|')) return p;
    for (; offset > 0; --offset) p = std::strchr(p, '|') + 1;
    const char* end = std::strchr(p, '|');
    return end ? std::string(p, std::size_t(end - p)) : std::string(p);
  }
  std::size_t c = symbol > 0xFF ? 0 : symbol;
  if (kClasses[c] & (kUpper | kLower | kPunct | kDigit)) return std::string(1, char(cp1252::upper[c]));
  return kClasses[c] & kSpace ? "Space" : "Unknown";
}

// The modifiers with Cmd standing for the command key.
std::uint32_t substituted(std::uint32_t modifiers) {
  return modifiers & 8 ? (modifiers & ~8u) | vprefGetCommandKey() : modifiers;
}

void show(const std::string& text) { vdrawGetPrimitives()->Show(text.data(), int(text.size())); }

void showImage(int index) {
  vimage* image = vlafGetImage(index);
  if (!image) return;
  vdrawGetPrimitives()->ImageMask(image);
  vdrawRMoveTo(image->width + 1, 0);
}

struct SymbolImage {
  std::uint16_t symbol;
  std::int8_t image;
};
constexpr SymbolImage kSymbolImages[] = {
    {0xFC08, 1},  {0xFC09, 14}, {0xFC0B, 2},  {0xFC0D, 10}, {0xFC51, 9},  {0xFC52, 16}, {0xFC53, 11},
    {0xFC54, 6},  {0xFC8D, 7},  {0xFCE1, 12}, {0xFCE2, 12}, {0xFCE3, 4},  {0xFCE4, 4},  {0xFCE7, 3},
    {0xFCE8, 3},  {0xFCEB, 3},  {0xFCEC, 3},  {0xFCE9, 0},  {0xFCEA, 0},  {0xFCFF, 5},
};
// Symbols the glyph drawer writes as their names.
bool namedInGlyphs(std::uint32_t s) {
  return s == 0xFA41 || s == 0xFA42 || s == 0xFC0A || s == 0xFC13 || s == 0xFC14 || s == 0xFC1B || s == 0xFC50 ||
         (s >= 0xFC55 && s <= 0xFC58) || (s >= 0xFC60 && s <= 0xFC63) || (s >= 0xFC65 && s <= 0xFC6B) ||
         s == 0xFC7E || s == 0xFC7F || (s >= 0xFCBE && s <= 0xFCE0) || s == 0xFCE5 || s == 0xFCE6 || s == 0xFCF0 ||
         s == 0xFCF1;
}

}  // namespace

vstr* vlafKeyName(std::uint32_t key) {
  std::uint32_t m = substituted(key & 0xFFFF);
  std::string text;
  if (m & 2) text += "Ctrl+";
  if (m & 8) text += "Cmd+";
  if (m & 1) text += "Alt+";
  if (m & 4) text += "Shift+";
  text += symbolName(key >> 16);
  return vstrCloneScribed(vscribeCStringSized(text.data(), text.size()), nullptr);
}

void vlafDrawKeyName(int symbol) { show(symbolName(std::uint32_t(symbol) & 0xFFFF)); }

void vlafDrawKeyText(int key) {
  std::uint32_t m = std::uint32_t(key) & 0xFFFF;
  if (m & 8) {
    if (vprefGetCommandKey() & 8) show("Cmd+");
    m = substituted(m);
  }
  if (m & 2) show("Ctrl+");
  if (m & 4) show("Shift+");
  if (m & 1) show("Alt+");
  vlafDrawKeyName(int(std::uint32_t(key) >> 16));
}

void vlafDrawKeyGlyphs(int key) {
  std::uint32_t m = std::uint32_t(key) & 0xFFFF;
  if (m & 8) {
    if (vprefGetCommandKey() & 8) showImage(3);
    m = substituted(m);
  }
  if (m & 2) showImage(4);
  if (m & 4) showImage(12);
  if (m & 1) showImage(0);
  std::uint32_t symbol = std::uint32_t(key) >> 16;
  for (const SymbolImage& s : kSymbolImages)
    if (s.symbol == symbol) return showImage(s.image);
  if (namedInGlyphs(symbol)) return vlafDrawKeyName(int(symbol));
  std::size_t c = symbol > 0xFF ? 0 : symbol;
  if (kClasses[c] & (kUpper | kLower | kPunct | kDigit)) return show(std::string(1, char(cp1252::upper[c])));
  showImage(kClasses[c] & kSpace ? 13 : 15);
}

vdict* vlafLoadClassKeys(const char* className) {
  vprefDict* keys = vprefGetDict(vprefGetDefaultDict(), vscribeLiteral("Keys"));
  if (!keys) return nullptr;
  vprefDict* own = vprefGetDict(keys, vscribeLiteral(className));
  vprefRelease(keys);
  if (!own) return nullptr;
  vprefDict* look = vprefGetDict(own, vscribeLiteral(vlafGetCurrent()->name));
  vprefRelease(own);
  if (!look) return nullptr;
  vdict* bindings = vprefLoadKeyDict(look);
  vprefRelease(look);
  return bindings;
}
