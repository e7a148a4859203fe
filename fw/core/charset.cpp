// The native character sets and their converting scribes, the locale
// choice at start-up, Windows-1252 upper case.
#include "fw/core/charset.h"

#include <array>
#include <clocale>
#include <cstring>

#include "fw/core/charconv.h"
#include "fw/core/cp1252.h"

namespace {

using Table = std::array<unsigned char, 256>;
using WideTable = std::array<std::uint16_t, 256>;

// ---- Unicode: internal to 16-bit and the two-level narrowing table.

constexpr WideTable widen = [] {
  WideTable t{};
  for (std::size_t i = 0; i < 256; ++i) t[i] = static_cast<std::uint16_t>(i);
  constexpr std::uint16_t high[] = {0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                    0x0160, 0x2039, 0x0152, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0178};
  std::size_t k = 0;
  for (std::size_t c = 0x82; c <= 0x8C; ++c) t[c] = high[k++];
  for (std::size_t c = 0x91; c <= 0x9C; ++c) t[c] = high[k++];
  t[0x9F] = high[k];
  return t;
}();

constexpr std::size_t kPageIndex = 512;  // pages of 128 codes: U+0000-U+FFFF
constexpr std::size_t kPages = 8;
constexpr unsigned char kNone = 0xA0;

struct NarrowTable {
  std::array<unsigned char, kPageIndex> index{};  // 0 is the page of no characters
  std::array<std::array<unsigned char, 128>, kPages> pages{};
};

constexpr NarrowTable narrow = [] {
  NarrowTable t{};
  std::size_t used = 1;
  for (auto& page : t.pages) page.fill(kNone);
  for (std::size_t c = 0; c < 256; ++c) {
    std::size_t code = widen[c];
    if (!t.index[code >> 7]) t.index[code >> 7] = static_cast<unsigned char>(used++);
    t.pages[t.index[code >> 7]][code & 127] = static_cast<unsigned char>(c);
  }
  if (used > kPages) throw "narrowing pages overflow";
  return t;
}();

int narrowCode(std::uint32_t code) {
  if (code >= kPageIndex * 128) return kNone;  // beyond 16 bits
  return narrow.pages[narrow.index[code >> 7]][code & 127];
}

// ---- Byte tables.

constexpr Table asciiIn = [] {
  Table t{};
  for (std::size_t i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i & 127);
  return t;
}();

// Windows-1252 punctuation of 0x80-0x9F as its nearest plain character.
constexpr void approximatePunctuation(Table& t) {
  t[0x82] = ',', t[0x84] = t[0x93] = t[0x94] = '"', t[0x88] = '^', t[0x8A] = 'S', t[0x8B] = '<';
  t[0x91] = '`', t[0x92] = '\'', t[0x96] = t[0x97] = '-', t[0x98] = '~', t[0x9A] = 's', t[0x9B] = '>';
  t[0x9F] = 'Y';
}

constexpr Table asciiApprox = [] {
  Table t = cp1252::identity();
  for (std::size_t c = 0x80; c < 256; ++c) t[c] = ' ';
  approximatePunctuation(t);
  t[0xAD] = '-', t[0xA1] = '!', t[0xB2] = '2', t[0xB3] = '3', t[0xB9] = '1', t[0xBF] = '?';
  for (std::size_t c = 0xC0; c < 256; ++c)
    if (cp1252::accent[c] < 0x80) t[c] = cp1252::accent[c];
  return t;
}();

constexpr bool latin1Gap(std::size_t c) { return (c >= 0x82 && c <= 0x8C) || (c >= 0x91 && c <= 0x9C) || c == 0x9F; }

constexpr Table latin1In = [] {
  Table t = cp1252::identity();
  for (std::size_t c = 0x80; c < 0xA0; ++c)
    if (latin1Gap(c)) t[c] = kNone;
  return t;
}();

constexpr Table latin1Out = [] {
  Table t = cp1252::identity();
  for (std::size_t c = 0x82; c <= 0x9C; ++c)
    if (c < 0x8D || c > 0x90) t[c] = kNone;
  t[0x9D] = 0x9D, t[0x9E] = 0x9E;
  approximatePunctuation(t);
  return t;
}();

constexpr Table highHalf(const std::array<unsigned char, 128>& upperHalf) {
  Table t = cp1252::identity();
  for (std::size_t i = 0; i < 128; ++i) t[128 + i] = upperHalf[i];
  return t;
}

constexpr Table macIn = highHalf({
    0xC4, 0xC5, 0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE1, 0xE0, 0xE2, 0xE4, 0xE3, 0xE5, 0xE7, 0xE9, 0xE8,
    0xEA, 0xEB, 0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA, 0xF9, 0xFB, 0xFC,
    0x86, 0xB0, 0xA2, 0xA3, 0xA7, 0x95, 0xB6, 0xDF, 0xAE, 0xA9, 0x99, 0xB4, 0xA8, 0xA0, 0xC6, 0xD8,
    0xA0, 0xB1, 0xA0, 0xA0, 0xA5, 0xB5, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xAA, 0xBA, 0xA0, 0xE6, 0xF8,
    0xBF, 0xA1, 0xAC, 0xA0, 0x83, 0xA0, 0xA0, 0xAB, 0xBB, 0x85, 0xA0, 0xC0, 0xC3, 0xD5, 0x8C, 0x9C,
    0x2D, 0x97, 0x93, 0x94, 0x91, 0x92, 0xF7, 0xA0, 0xFF, 0x9F, 0x2F, 0xA4, 0x8B, 0x9B, 0xA0, 0xA0,
    0x87, 0xB7, 0x82, 0x84, 0x89, 0xC2, 0xCA, 0xC1, 0xCB, 0xC8, 0xCD, 0xCE, 0xCF, 0xCC, 0xD3, 0xD4,
    0xA0, 0xD2, 0xDA, 0xDB, 0xD9, 0xA0, 0x88, 0x98, 0xAF, 0xA0, 0xA0, 0xA0, 0xB8, 0x22, 0xA0, 0xA0,
});

constexpr Table macOut = highHalf({
    0xCA, 0xCA, 0xE2, 0xC4, 0xE3, 0xC9, 0xA0, 0xE0, 0xF6, 0xE4, 0x53, 0xDC, 0xCE, 0xCA, 0xCA, 0xCA,
    0xCA, 0xD4, 0xD5, 0xD2, 0xD3, 0xA5, 0xD0, 0xD1, 0xF7, 0xAA, 0x73, 0xDD, 0xCF, 0xCA, 0xCA, 0xD9,
    0xCA, 0xC1, 0xA2, 0xA3, 0xDB, 0xB4, 0xCA, 0xA4, 0xAC, 0xA9, 0xBB, 0xC7, 0xC2, 0x2D, 0xA8, 0xF8,
    0xA1, 0xB1, 0x32, 0x33, 0xAB, 0xB5, 0xA6, 0xE1, 0xFC, 0x31, 0xBC, 0xC8, 0xCA, 0xCA, 0xCA, 0xC0,
    0xCB, 0xE7, 0xE5, 0xCC, 0x80, 0x81, 0xAE, 0x82, 0xE9, 0x83, 0xE6, 0xE8, 0xED, 0xEA, 0xEB, 0xEC,
    0x44, 0x84, 0xF1, 0xEE, 0xEF, 0xCD, 0x85, 0xCA, 0xAF, 0xF4, 0xF2, 0xF3, 0x86, 0x59, 0xCA, 0xA7,
    0x88, 0x87, 0x89, 0x8B, 0x8A, 0x8C, 0xBE, 0x8D, 0x8F, 0x8E, 0x90, 0x91, 0x93, 0x92, 0x94, 0x95,
    0x64, 0x96, 0x98, 0x97, 0x99, 0x9B, 0x9A, 0xD6, 0xBF, 0x9D, 0x9C, 0x9E, 0x9F, 0x79, 0xCA, 0xD8,
});

// Set 8 is ISO 8859-2: its upper half as Unicode codes.
constexpr std::uint16_t latin2Codes[96] = {
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E, 0x0164,
    0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
    0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170,
    0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr std::uint16_t latin2Code(std::size_t b) { return b < 0xA0 ? static_cast<std::uint16_t>(b) : latin2Codes[b - 0xA0]; }

constexpr Table latin2In = [] {
  Table t{};
  for (std::size_t b = 0; b < 256; ++b) {
    std::uint32_t code = latin2Code(b);
    t[b] = code >> 7 < kPageIndex ? narrow.pages[narrow.index[code >> 7]][code & 127] : kNone;
  }
  return t;
}();

constexpr Table latin2Out = [] {
  Table t{};
  t.fill(kNone);
  for (std::size_t b = 0; b < 256; ++b)
    for (std::size_t c = 0; c < 256; ++c)
      if (widen[c] == latin2Code(b)) t[c] = static_cast<unsigned char>(b);
  return t;
}();

// The Japanese sets hold no Windows-1252 letter above 0x7F. Output uses
// "?" for those: 0xA0 would read back as a Shift-JIS lead byte.
constexpr Table japaneseOut = [] {
  Table t = cp1252::identity();
  for (std::size_t c = 0x80; c < 256; ++c) t[c] = '?';
  return t;
}();

constexpr Table japaneseSingle = [] {
  Table t = cp1252::identity();
  for (std::size_t c = 0x80; c < 256; ++c) t[c] = kNone;
  return t;
}();

// ---- Codec steps.

int narrowStep(const unsigned char*& p, const unsigned char*, std::uint16_t* out) {
  std::uint16_t code;
  std::memcpy(&code, p, 2);
  p += 2;
  out[0] = static_cast<std::uint16_t>(narrowCode(code));
  return 1;
}

int widenStep(const unsigned char*& p, const unsigned char*, std::uint16_t* out) {
  out[0] = widen[*p++];
  return 1;
}

int shiftJisStep(const unsigned char*& p, const unsigned char* end, std::uint16_t* out) {
  unsigned char b = *p++;
  bool lead = b > 127 && (b < 0xA1 || b > 0xDF);
  if (lead && p < end) ++p;  // its trail byte; a lead byte at the end stands alone
  out[0] = japaneseSingle[b];
  return 1;
}

int eucJpStep(const unsigned char*& p, const unsigned char* end, std::uint16_t* out) {
  unsigned char b = *p++;
  std::size_t more = 0;
  if (b == 0x8E) more = 1;
  else if (b == 0x8F) more = 2;
  else if (b >= 0xA1 && b <= 0xFE) more = 1;
  if (b == 0x8E && p < end) b = *p;  // single shift 2: the character after it
  for (; more && p < end; --more) ++p;
  out[0] = japaneseSingle[b];
  return 1;
}

struct Utf8Form {
  unsigned char mask, lead, bits;
  std::uint32_t min;
};
constexpr Utf8Form utf8Forms[] = {
    {0xE0, 0xC0, 0x1F, 0x80},     {0xF0, 0xE0, 0x0F, 0x800},     {0xF8, 0xF0, 0x07, 0x10000},
    {0xFC, 0xF8, 0x03, 0x200000}, {0xFE, 0xFC, 0x01, 0x4000000},
};

// A code of up to 31 bits; a stray, cut or overlong sequence gives 0xA0.
int utf8Step(const unsigned char*& p, const unsigned char* end, std::uint16_t* out) {
  unsigned char b = *p++;
  out[0] = kNone;
  if (b < 0x80) {
    out[0] = b;
    return 1;
  }
  for (std::size_t n = 0; n < std::size(utf8Forms); ++n) {
    const Utf8Form& f = utf8Forms[n];
    if ((b & f.mask) != f.lead) continue;
    std::uint32_t code = b & f.bits;
    for (std::size_t k = 0; k <= n; ++k) {
      if (p == end || (*p & 0xC0) != 0x80) return 1;
      code = code << 6 | (*p++ & 0x3F);
    }
    if (code >= f.min) out[0] = static_cast<std::uint16_t>(narrowCode(code));
    return 1;
  }
  return 1;
}

int utf8OutStep(const unsigned char*& p, const unsigned char*, std::uint16_t* out) {
  std::uint32_t code = widen[*p++];
  if (code < 0x80) {
    out[0] = static_cast<std::uint16_t>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<std::uint16_t>(0xC0 | code >> 6);
    out[1] = static_cast<std::uint16_t>(0x80 | (code & 0x3F));
    return 2;
  }
  out[0] = static_cast<std::uint16_t>(0xE0 | code >> 12);
  out[1] = static_cast<std::uint16_t>(0x80 | (code >> 6 & 0x3F));
  out[2] = static_cast<std::uint16_t>(0x80 | (code & 0x3F));
  return 3;
}

using charconv::Codec;
using charconv::tableStep;

constexpr Codec asciiInCodec{1, 1, tableStep<asciiIn>}, asciiOutCodec{1, 1, tableStep<asciiApprox>};
constexpr Codec latin1InCodec{1, 1, tableStep<latin1In>}, latin1OutCodec{1, 1, tableStep<latin1Out>};
constexpr Codec macInCodec{1, 1, tableStep<macIn>}, macOutCodec{1, 1, tableStep<macOut>};
constexpr Codec narrowCodec{2, 1, narrowStep}, widenCodec{1, 2, widenStep};
constexpr Codec shiftJisInCodec{1, 1, shiftJisStep}, eucJpInCodec{1, 1, eucJpStep};
constexpr Codec japaneseOutCodec{1, 1, tableStep<japaneseOut>};
constexpr Codec utf8InCodec{1, 1, utf8Step}, utf8OutCodec{1, 1, utf8OutStep};
constexpr Codec latin2InCodec{1, 1, tableStep<latin2In>}, latin2OutCodec{1, 1, tableStep<latin2Out>};

using charconv::makeClass;
// Set 3 never reaches these rows: it uses the plain text scribes.
constexpr charconv::Class fromClasses[vcharsetCOUNT] = {
    makeClass(&asciiInCodec),    makeClass(&latin1InCodec), makeClass(&macInCodec),
    makeClass(&latin1InCodec),   makeClass(&narrowCodec),   makeClass(&shiftJisInCodec),
    makeClass(&eucJpInCodec),    makeClass(&utf8InCodec),   makeClass(&latin2InCodec),
};
constexpr charconv::Class toClasses[vcharsetCOUNT] = {
    makeClass(&asciiOutCodec),    makeClass(&latin1OutCodec), makeClass(&macOutCodec),
    makeClass(&latin1OutCodec),   makeClass(&widenCodec),     makeClass(&japaneseOutCodec),
    makeClass(&japaneseOutCodec), makeClass(&utf8OutCodec),   makeClass(&latin2OutCodec),
};

// One native character to internal, by set (set 3 is never looked up).
constexpr const Table* singleTables[vcharsetCOUNT] = {
    &asciiIn, &latin1In, &macIn, nullptr, nullptr, &japaneseSingle, &japaneseSingle, nullptr, &latin2In,
};

void checkSet(int set) {
  if (set < 0 || set >= vcharsetCOUNT) vexGenerateMessage(&vexModuleStateClass, "unknown native character set");
}

// Rows of {locale or language code, set}: every one gives the internal set.
struct LocaleRow {
  const char* code;
  int set;
};
constexpr LocaleRow localeTable[] = {
    {"C", 3},   {"enu", 3}, {"eng", 3}, {"ena", 3}, {"enc", 3}, {"enz", 3}, {"eni", 3}, {"Japanese_Japan.932", 3},
    {"jpn", 3}, {"dan", 3}, {"nld", 3}, {"nlb", 3}, {"fin", 3}, {"fra", 3}, {"frb", 3}, {"frc", 3},
    {"frs", 3}, {"deu", 3}, {"des", 3}, {"dea", 3}, {"isl", 3}, {"ita", 3}, {"its", 3}, {"nor", 3},
    {"non", 3}, {"ptb", 3}, {"ptg", 3}, {"esp", 3}, {"esm", 3}, {"esn", 3}, {"sve", 3}, {"csy", 3},
    {"ell", 3}, {"hun", 3}, {"plk", 3}, {"rus", 3}, {"sky", 3}, {"trk", 3},
};
static_assert(std::size(localeTable) == 38);

int currentSet = vcharsetINTERNAL;

}  // namespace

vscribe* vcharsetCreateFromNativeScribe(int set, const void* text, std::size_t count) {
  checkSet(set);
  if (set == vcharsetINTERNAL) {
    const auto* t = static_cast<const char*>(text);
    return count == vcharsetTO_END ? vscribeCString(t) : vscribeCStringSized(t, count);
  }
  return charconv::create(&fromClasses[set], text, count);
}

vscribe* vcharsetCreateToNativeScribe(int set, const char* text, std::size_t count) {
  checkSet(set);
  if (set == vcharsetINTERNAL) return count == vcharsetTO_END ? vscribeCString(text) : vscribeCStringSized(text, count);
  return charconv::create(&toClasses[set], text, count);
}

int vcharsetMapChar(int set, int c) {
  checkSet(set);
  if (set == vcharsetUTF8) vexGenerateMessage(&vexModuleStateClass, "no single-character conversion from UTF-8");
  if (set == vcharsetINTERNAL) return c;
  if (set == vcharsetUNICODE) return narrowCode(static_cast<std::uint16_t>(c));
  return (*singleTables[set])[static_cast<unsigned char>(c)];
}

vscribe* vcharsetCreateNarrowScribe(const std::uint16_t* text, std::size_t count) {
  return vcharsetCreateFromNativeScribe(vcharsetUNICODE, text, count);
}
vscribe* vcharsetCreateWideScribe(const char* text, std::size_t count) {
  return vcharsetCreateToNativeScribe(vcharsetUNICODE, text, count);
}
vscribe* vcharsetCreateMacRomanScribe(const char* text, std::size_t count) {
  return vcharsetCreateFromNativeScribe(vcharsetMAC_ROMAN, text, count);
}
vscribe* vcharsetCreateLatin1Scribe(const char* text, std::size_t count) {
  return vcharsetCreateFromNativeScribe(vcharsetLATIN1, text, count);
}
vscribe* vcharsetCreateAsciiScribe(const char* text) {
  return vcharsetCreateFromNativeScribe(vcharsetASCII, text, vcharsetTO_END);
}
vscribe* vcharsetCreateAsciiApproxScribe(const char* text, std::size_t count) {
  return vcharsetCreateToNativeScribe(vcharsetASCII, text, count);
}
vscribe* vcharsetCreateUtf8Scribe(const char* text, std::size_t count) {
  return vcharsetCreateFromNativeScribe(vcharsetUTF8, text, count);
}
int vcharsetNarrowChar(std::uint32_t code) { return narrowCode(code); }
std::uint16_t vcharsetWidenChar(int c) { return widen[static_cast<unsigned char>(c)]; }

int vcharsetUpperCharBounded(int c, char* out, std::size_t room) {
  auto b = static_cast<unsigned char>(c);
  char upper[2] = {static_cast<char>(cp1252::upper[b]), 0};
  int n = vcharsetGetCharLength(b);
  if (n == 2) upper[0] = upper[1] = 'S';
  int written = 0;
  for (; written < n && static_cast<std::size_t>(written) < room; ++written) out[written] = upper[written];
  return written;
}
int vcharsetUpperChar(int c, char* out) { return vcharsetUpperCharBounded(c, out, 2); }
int vcharsetGetCharLength(int c) { return static_cast<unsigned char>(c) == 0xDF ? 2 : 1; }

int vcharsetForLocale(const char* name) {
  for (const LocaleRow& row : localeTable)
    if (name && std::strcmp(row.code, name) == 0) return row.set;
  return vcharsetINTERNAL;
}

// Only the character-type category follows the environment: the numeric
// category stays "C", so numbers are written and read with a point.
void vcharsetStartup() {
  std::setlocale(LC_CTYPE, "");
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  // A "C" locale would consult the Windows profile's language, which has
  // no source here: the locale name itself is looked up.
  currentSet = vcharsetForLocale(name);
}

int vcharsetGetCurrent() { return currentSet; }
int vcharGetCurrentSet() { return currentSet; }
void _vcharSetCurrentSet(int set) { currentSet = set; }

vscribe* vscribeFromNative(const char* text) { return vcharsetCreateFromNativeScribe(currentSet, text, vcharsetTO_END); }
vscribe* vscribeToNative(const char* text) { return vcharsetCreateToNativeScribe(currentSet, text, vcharsetTO_END); }
vscribe* vscribeToNativeSized(const char* text, std::size_t count) {
  return vcharsetCreateToNativeScribe(currentSet, text, count);
}
int vcharFromNative(int c) { return vcharsetMapChar(currentSet, c); }
