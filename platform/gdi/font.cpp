// Fonts and text: the six DejaVu files that fontconfig finds, realised by
// FreeType at the size a LOGFONTA asks for, measured with hinted advances
// and drawn as monochrome glyphs. Bytes are Windows-1252.
//
// Text (`platform/gdi/font.cpp`, the only file that includes FreeType and fontconfig): fontconfig
// locates the regular and bold files of "DejaVu Sans", "DejaVu Serif" and "DejaVu Sans Mono" and
// nothing else, so every machine draws the same glyphs; "Arial"/"Helvetica", "Times" and "Courier"
// are aliases of them, unknown names are "DejaVu Sans", and "Fixedsys" is a raster face of one size
// (DejaVu Sans Mono at 13 pixels, cell 15, advance 8) for any height. Italic is a shear of the
// outline. Bytes are Windows-1252; a byte below 32 or without a character is the face's .notdef
// glyph. Metrics come from the OS/2 table (`usWinAscent`, `usWinDescent`), advances are hinted and
// glyphs monochrome, drawn in the text colour whatever the ROP2 mode. The reference point is
// `TA_TOP` by default and `TA_BASELINE` (24) on request; the framework draws its text on the
// baseline, so its drawing driver sets `TA_BASELINE` on every DC it draws text into. Hinted
// advances are kept per face and pixel size, measured together without rasterising; a glyph is
// rasterised the first time it is drawn, and kept per face, pixel size and slant.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gdi/internal.h"
#include "platform/gdi/world.h"

namespace win {
namespace internal {
namespace {

enum Family : std::uint8_t { kSans, kSerif, kMono, kFamilies };
constexpr const char* kFamilyNames[kFamilies] = {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"};
constexpr BYTE kFamilyBits[kFamilies] = {FF_SWISS, FF_ROMAN, FF_MODERN};

struct Alias {
  const char* name;
  Family family;
  bool raster;
};
constexpr Alias kAliases[] = {
    {"DejaVu Sans", kSans, false}, {"DejaVu Serif", kSerif, false}, {"DejaVu Sans Mono", kMono, false},
    {"Arial", kSans, false},       {"Helvetica", kSans, false},     {"Times", kSerif, false},
    {"Courier", kMono, false},     {"Fixedsys", kMono, true},
};
// The raster face's one size: em 13, which gives a cell of 15.
constexpr int kRasterEm = 13;

// 0x80-0x9F of Windows-1252; 0 where the code page has no character.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
std::uint32_t unicodeOf(unsigned char c) {
  if (c < 32) return 0;
  if (c >= 0x80 && c < 0xA0) return kCp1252High[c - 0x80];
  return c;
}

// Italic is the upright outline sheared by about 12 degrees.
constexpr FT_Fixed kShear = 0x3666;

struct Glyph {
  int advance = 0;
  int left = 0, top = 0, width = 0, rows = 0;  // the bitmap box from the pen
  std::vector<std::uint8_t> bits;              // one byte a pixel
};

using Advances = std::array<int, 256>;

struct Strike {
  FT_Face face = nullptr;
  int em = 0;
  bool italic = false;
  const Advances* advances = nullptr;  // shared by both slants: the shear keeps the advance
  bool loaded[256] = {};
  Glyph glyphs[256];
};

// Nothing can be drawn without a face: the program ends with status 1 (no
// core dump for a missing package). _Exit, because the fonts are made on
// first use, anywhere, and exit handlers could come back here.
[[noreturn]] void endWithoutFonts() {
  std::fflush(nullptr);
  std::_Exit(1);
}

class Fonts {
 public:
  Fonts() {
    if (FT_Init_FreeType(&lib_)) {
      std::fprintf(stderr, "fonts: FreeType does not start\n");
      endWithoutFonts();
    }
    FcConfig* config = FcInitLoadConfigAndFonts();
    bool any = false;
    for (int f = 0; f < kFamilies; ++f)
      for (int b = 0; b < 2; ++b) {
        std::string path = locate(config, kFamilyNames[f], b != 0);
        if (!path.empty() && FT_New_Face(lib_, path.c_str(), 0, &faces_[f][b]) == 0) any = true;
        else faces_[f][b] = nullptr;
      }
    FcConfigDestroy(config);
    FcFini();
    if (!any) {
      std::fprintf(stderr, "fonts: no DejaVu font found; install the package fonts-dejavu-core\n");
      endWithoutFonts();
    }
  }
  ~Fonts() {
    strikes_.clear();
    for (auto& f : faces_)
      for (FT_Face face : f)
        if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib_);
  }

  // The face a family draws with; a family without its bold file draws
  // regular, and one without any file draws as the first that exists.
  FT_Face face(Family f, bool bold) {
    if (faces_[f][bold]) return faces_[f][bold];
    if (faces_[f][0]) return faces_[f][0];
    for (auto& g : faces_)
      if (g[0]) return g[0];
    return nullptr;
  }

  Strike& strike(FT_Face face, int em, bool italic) {
    auto& s = strikes_[{face, em, italic}];
    if (!s) {
      s = std::make_unique<Strike>();
      s->face = face, s->em = em, s->italic = italic;
      s->advances = &advancesOf(face, em);
    }
    return *s;
  }

  // Setting a size makes FreeType run the face's size program again before
  // the next glyph, which costs far more than hinting the glyph: the size is
  // set only when it changes.
  void size(FT_Face face, int em) {
    int& now = sizes_[face];
    if (now == em) return;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
    now = em;
  }

 private:
  // The hinted advance of every byte, as drawing gives it: the glyph hinted
  // for monochrome, its outline never rasterised.
  const Advances& advancesOf(FT_Face face, int em) {
    auto& a = advances_[{face, em}];
    if (a) return *a;
    a = std::make_unique<Advances>();
    size(face, em);
    std::map<FT_UInt, int> byIndex;  // bytes without a character share the .notdef glyph
    for (int c = 0; c < 256; ++c) {
      FT_UInt index = FT_Get_Char_Index(face, unicodeOf(static_cast<unsigned char>(c)));
      auto known = byIndex.find(index);
      if (known == byIndex.end()) {
        int advance = FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) ? 0
                                                                       : static_cast<int>((face->glyph->advance.x + 32) >> 6);
        known = byIndex.emplace(index, advance).first;
      }
      (*a)[static_cast<std::size_t>(c)] = known->second;
    }
    return *a;
  }

  static std::string locate(FcConfig* config, const char* family, bool bold) {
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(p, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddInteger(p, FC_WIDTH, FC_WIDTH_NORMAL);
    FcConfigSubstitute(config, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult r;
    FcPattern* m = FcFontMatch(config, p, &r);
    std::string path;
    FcChar8 *file = nullptr, *name = nullptr;
    int weight = 0, slant = 0;
    // Only the file of exactly this family and style: no substitutes.
    if (m && FcPatternGetString(m, FC_FAMILY, 0, &name) == FcResultMatch &&
        std::string(reinterpret_cast<char*>(name)) == family &&
        FcPatternGetInteger(m, FC_WEIGHT, 0, &weight) == FcResultMatch &&
        (weight >= FC_WEIGHT_BOLD) == bold && (weight == FC_WEIGHT_REGULAR || weight == FC_WEIGHT_BOOK || bold) &&
        FcPatternGetInteger(m, FC_SLANT, 0, &slant) == FcResultMatch && slant == FC_SLANT_ROMAN &&
        FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch)
      path = reinterpret_cast<char*>(file);
    if (m) FcPatternDestroy(m);
    FcPatternDestroy(p);
    return path;
  }

  FT_Library lib_ = nullptr;
  FT_Face faces_[kFamilies][2] = {};
  std::map<std::tuple<FT_Face, int, bool>, std::unique_ptr<Strike>> strikes_;
  std::map<std::pair<FT_Face, int>, std::unique_ptr<Advances>> advances_;
  std::map<FT_Face, int> sizes_;
};

Fonts& fonts() {
  static Fonts f;
  return f;
}

// A LOGFONTA realised: the strike it draws with and its cell metrics.
struct Realised {
  Strike* strike = nullptr;
  Family family = kSans;
  bool raster = false, bold = false, underline = false, strikeOut = false;
  int ascent = 0, descent = 0, em = 0, externalLeading = 0, avgWidth = 0, maxWidth = 0;
  int underlinePos = 0, underlineThick = 1, strikePos = 0;
};

int scaled(long units, int em, int upem) {
  return static_cast<int>(std::lround(static_cast<double>(units) * em / upem));
}

// Ascent and descent of the cell at an em size.
std::pair<int, int> cellOf(FT_Face face, int em) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  int upem = face->units_per_EM;
  if (!os2) return {scaled(face->ascender, em, upem), scaled(-face->descender, em, upem)};
  return {scaled(os2->usWinAscent, em, upem), scaled(os2->usWinDescent, em, upem)};
}

int advanceOf(const Strike& s, unsigned char c) { return (*s.advances)[c]; }

const Glyph& glyphOf(Strike& s, unsigned char c) {
  Glyph& g = s.glyphs[c];
  if (s.loaded[c]) return g;
  s.loaded[c] = true;
  FT_Face face = s.face;
  fonts().size(face, s.em);
  FT_UInt index = FT_Get_Char_Index(face, unicodeOf(c));  // 0: the .notdef glyph
  if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO)) return g;
  FT_GlyphSlot slot = face->glyph;
  // The drawn glyph's own advance, which the measured one must equal.
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (s.italic && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Matrix m{0x10000, kShear, 0, 0x10000};
    FT_Outline_Transform(&slot->outline, &m);
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO)) return g;
  const FT_Bitmap& b = slot->bitmap;
  g.left = slot->bitmap_left, g.top = slot->bitmap_top;
  g.width = static_cast<int>(b.width), g.rows = static_cast<int>(b.rows);
  g.bits.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.rows), 0);
  for (int y = 0; y < g.rows; ++y) {
    const unsigned char* row = b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch;
    for (int x = 0; x < g.width; ++x)
      g.bits[static_cast<std::size_t>(y * g.width + x)] = (row[x >> 3] >> (7 - (x & 7))) & 1;
  }
  return g;
}

const Alias& aliasOf(const char* name) {
  for (const Alias& a : kAliases)
    if (strcasecmp(a.name, name) == 0) return a;
  return kAliases[0];
}

// The em size whose cell is `cell` pixels high, as near as the rounding allows.
int emForCell(FT_Face face, int cell) {
  auto [a, d] = cellOf(face, 1000);
  int em = std::max(1, static_cast<int>(std::lround(cell * 1000.0 / std::max(1, a + d))));
  for (int i = 0; i < 4; ++i) {
    auto [ca, cd] = cellOf(face, em);
    if (ca + cd > cell && em > 1) --em;
    else if (ca + cd < cell && cellOf(face, em + 1).first + cellOf(face, em + 1).second <= cell) ++em;
    else break;
  }
  return em;
}

Realised realiseAfresh(const LOGFONTA& lf) {
  Fonts& all = fonts();
  Realised r;
  char name[33] = {};
  std::memcpy(name, lf.lfFaceName, 32);
  const Alias& alias = aliasOf(name);
  r.family = alias.family, r.raster = alias.raster;
  r.bold = lf.lfWeight >= 600;
  r.underline = lf.lfUnderline != 0, r.strikeOut = lf.lfStrikeOut != 0;
  FT_Face face = all.face(r.family, r.bold);
  if (r.raster) r.em = kRasterEm;
  else if (lf.lfHeight < 0) r.em = static_cast<int>(-static_cast<long>(lf.lfHeight));
  else r.em = emForCell(face, lf.lfHeight > 0 ? static_cast<int>(lf.lfHeight) : 16);
  r.em = std::clamp(r.em, 1, 1000);
  r.strike = &all.strike(face, r.em, lf.lfItalic != 0);
  std::tie(r.ascent, r.descent) = cellOf(face, r.em);
  int upem = face->units_per_EM;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  if (os2 && hhea) {
    long gap = hhea->Line_Gap - ((os2->usWinAscent + os2->usWinDescent) - (hhea->Ascender - hhea->Descender));
    r.externalLeading = std::max(0, scaled(gap, r.em, upem));
    r.avgWidth = scaled(os2->xAvgCharWidth, r.em, upem);
    r.strikePos = scaled(os2->yStrikeoutPosition, r.em, upem);
  }
  r.underlinePos = -scaled(face->underline_position, r.em, upem);
  r.underlineThick = std::max(1, scaled(face->underline_thickness, r.em, upem));
  for (int c = 32; c < 256; ++c) r.maxWidth = std::max(r.maxWidth, advanceOf(*r.strike, static_cast<unsigned char>(c)));
  if (FT_IS_FIXED_WIDTH(face)) r.avgWidth = r.maxWidth;
  return r;
}

// Every text call realises its font: the last few are kept, by the
// description's bytes.
Realised realise(const LOGFONTA& lf) {
  struct Kept {
    LOGFONTA lf;
    Realised r;
  };
  static std::vector<Kept> kept;
  for (const Kept& k : kept)
    if (std::memcmp(&k.lf, &lf, sizeof lf) == 0) return k.r;
  Realised r = realiseAfresh(lf);
  if (kept.size() >= 32) kept.erase(kept.begin());
  kept.push_back({lf, r});
  return r;
}

void metricsOf(const LOGFONTA& lf, TEXTMETRICA& tm) {
  Realised r = realise(lf);
  tm = {};
  tm.tmAscent = r.ascent, tm.tmDescent = r.descent, tm.tmHeight = r.ascent + r.descent;
  tm.tmInternalLeading = tm.tmHeight - r.em;
  tm.tmExternalLeading = r.externalLeading;
  tm.tmAveCharWidth = r.avgWidth, tm.tmMaxCharWidth = r.maxWidth;
  tm.tmWeight = r.bold ? FW_BOLD : FW_NORMAL;
  tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 32, tm.tmLastChar = 255, tm.tmDefaultChar = 0x7F, tm.tmBreakChar = 32;
  tm.tmItalic = lf.lfItalic ? 1 : 0, tm.tmUnderlined = r.underline, tm.tmStruckOut = r.strikeOut;
  // Bit 0 is set for variable pitch.
  tm.tmPitchAndFamily = static_cast<BYTE>(kFamilyBits[r.family] | (r.raster ? 0 : TMPF_TRUETYPE) |
                                          (FT_IS_FIXED_WIDTH(r.strike->face) ? 0 : TMPF_FIXED_PITCH));
}

const LOGFONTA* fontOf(Dc& dc) {
  GdiObject* o = gdiObject(dc.font, OBJ_FONT);
  return o ? &o->font : nullptr;
}

int widthOf(Strike& s, const char* text, int count) {
  int w = 0;
  for (int i = 0; i < count; ++i) w += advanceOf(s, static_cast<unsigned char>(text[i]));
  return w;
}

// Pixels of one call: clipped to the DC and to an optional rectangle.
// Pixels of text land on the device, or, under a world transform, on a
// layer in logical coordinates that is mapped onto the device at the end.
struct TextPainter {
  Dc& dc;
  Target t;
  bool ok;
  std::optional<RECT> limit;
  RECT touched{};
  std::optional<World> world;
  struct Pending {
    int x, y;
    std::uint32_t v;
  };
  std::vector<Pending> layer;
  explicit TextPainter(Dc& d) : dc(d) {
    ok = targetOf(dc, t);
    if (World w; worldOf(dc, w)) world = w;
  }
  ~TextPainter() {
    if (world) mapLayer();
    if (ok && !emptyRect(touched)) finishTarget(t, touched);
  }
  // Where device coordinates start: the viewport origin, or the logical
  // origin of the layer.
  POINT origin() const { return world ? POINT{0, 0} : dc.viewportOrg; }
  void mapLayer() {
    if (layer.empty()) return;
    RECT box{layer[0].x, layer[0].y, layer[0].x + 1, layer[0].y + 1};
    for (const Pending& p : layer)
      box = {std::min<LONG>(box.left, p.x), std::min<LONG>(box.top, p.y), std::max<LONG>(box.right, p.x + 1),
             std::max<LONG>(box.bottom, p.y + 1)};
    int w = box.right - box.left;
    std::vector<std::uint32_t> values(std::size_t(w) * std::size_t(box.bottom - box.top));
    std::vector<std::uint8_t> set(values.size(), 0);
    for (const Pending& p : layer) {
      std::size_t i = std::size_t(p.y - box.top) * std::size_t(w) + std::size_t(p.x - box.left);
      values[i] = p.v, set[i] = 1;
    }
    forEachMapped(dc, *world, *t.clip, box.left, box.top, box.right, box.bottom, [&](int x, int y, double lx, double ly) {
      std::size_t i = std::size_t(int(std::floor(ly)) - box.top) * std::size_t(w) + std::size_t(int(std::floor(lx)) - box.left);
      if (set[i]) store(x, y, values[i]);
    });
  }
  void put(int x, int y, std::uint32_t v) {
    if (limit && (x < limit->left || x >= limit->right || y < limit->top || y >= limit->bottom)) return;
    if (world) {
      layer.push_back({x, y, v});
      return;
    }
    if (!t.clip->contains(x, y)) return;
    store(x, y, v);
  }
  void store(int x, int y, std::uint32_t v) {
    t.surface->row(y + t.origin.y)[x + t.origin.x] = v;
    touched = emptyRect(touched) ? RECT{x, y, x + 1, y + 1}
                                 : RECT{std::min<LONG>(touched.left, x), std::min<LONG>(touched.top, y),
                                        std::max<LONG>(touched.right, x + 1), std::max<LONG>(touched.bottom, y + 1)};
  }
  void fill(const RECT& r, std::uint32_t v) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) put(x, y, v);
  }
  // A glyph's set bits at (x, y); one wholly inside the clip (and the
  // limit) is stored without asking about every pixel.
  void glyph(const Glyph& g, int x, int y, std::uint32_t v) {
    const RECT box{x, y, x + g.width, y + g.rows};
    const bool inside = !world && t.clip->holds(box) &&
                        (!limit || (box.left >= limit->left && box.right <= limit->right && box.top >= limit->top &&
                                    box.bottom <= limit->bottom));
    if (!inside) {
      for (int gy = 0; gy < g.rows; ++gy)
        for (int gx = 0; gx < g.width; ++gx)
          if (g.bits[static_cast<std::size_t>(gy * g.width + gx)]) put(x + gx, y + gy, v);
      return;
    }
    if (emptyRect(box)) return;
    for (int gy = 0; gy < g.rows; ++gy) {
      std::uint32_t* row = t.surface->row(y + gy + t.origin.y) + x + t.origin.x;
      const std::uint8_t* bits = g.bits.data() + static_cast<std::size_t>(gy * g.width);
      for (int gx = 0; gx < g.width; ++gx)
        if (bits[gx]) row[gx] = v;
    }
    touched = emptyRect(touched) ? box
                                 : RECT{std::min(touched.left, box.left), std::min(touched.top, box.top),
                                        std::max(touched.right, box.right), std::max(touched.bottom, box.bottom)};
  }
};

}  // namespace
}  // namespace internal

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* face) {
  LOGFONTA f{};
  f.lfHeight = height, f.lfWidth = width, f.lfEscapement = escapement, f.lfOrientation = orientation;
  f.lfWeight = weight;
  f.lfItalic = static_cast<BYTE>(italic), f.lfUnderline = static_cast<BYTE>(underline);
  f.lfStrikeOut = static_cast<BYTE>(strikeOut), f.lfCharSet = static_cast<BYTE>(charSet);
  f.lfOutPrecision = static_cast<BYTE>(outPrecision), f.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  f.lfQuality = static_cast<BYTE>(quality), f.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (face) std::snprintf(f.lfFaceName, sizeof f.lfFaceName, "%s", face);
  return CreateFontIndirectA(&f);
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm) {
  internal::Dc* dc = internal::dcOf(hdc);
  const LOGFONTA* lf = dc ? internal::fontOf(*dc) : nullptr;
  if (!lf || !tm) return false;
  internal::metricsOf(*lf, *tm);
  return true;
}

int EnumFontsA(HDC, const char* face, FONTENUMPROCA proc, LPARAM data) {
  if (!proc) return 0;
  int answer = 1;
  for (const internal::Alias& a : internal::kAliases) {
    if (face && strcasecmp(face, a.name) != 0) continue;
    // Without a face, the regular font stands for its typeface; a raster
    // face lists only its regular font.
    for (int bold = 0; bold < (face && !a.raster ? 2 : 1); ++bold) {
      LOGFONTA lf{};
      lf.lfHeight = a.raster ? 0 : -16;
      lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
      lf.lfPitchAndFamily =
          static_cast<BYTE>(internal::kFamilyBits[a.family] | (a.family == internal::kMono ? FIXED_PITCH : VARIABLE_PITCH));
      std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", a.name);
      TEXTMETRICA tm{};
      internal::metricsOf(lf, tm);
      // The description given back is that of the cell it measures.
      lf.lfHeight = tm.tmHeight;
      if (a.raster) lf.lfWidth = tm.tmAveCharWidth;
      answer = proc(&lf, &tm, a.raster ? RASTER_FONTTYPE : TRUETYPE_FONTTYPE, data);
      if (!answer) return 0;
    }
  }
  return answer;
}

BOOL GetTextExtentPointA(HDC hdc, const char* text, int count, SIZE* size) {
  internal::Dc* dc = internal::dcOf(hdc);
  const LOGFONTA* lf = dc ? internal::fontOf(*dc) : nullptr;
  if (!lf || !size || count < 0 || (count && !text)) return false;
  internal::Realised r = internal::realise(*lf);
  *size = {internal::widthOf(*r.strike, text, count), r.ascent + r.descent};
  return true;
}
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size) {
  return GetTextExtentPointA(hdc, text, count, size);
}

BOOL GetCharABCWidthsA(HDC hdc, UINT first, UINT last, ABC* widths) {
  internal::Dc* dc = internal::dcOf(hdc);
  const LOGFONTA* lf = dc ? internal::fontOf(*dc) : nullptr;
  if (!lf || !widths || first > last || last > 255) return false;
  internal::Realised r = internal::realise(*lf);
  for (UINT c = first; c <= last; ++c) {
    const internal::Glyph& g = internal::glyphOf(*r.strike, static_cast<unsigned char>(c));
    ABC& w = widths[c - first];
    if (g.width == 0) w = {0, 0, g.advance};
    else w = {g.left, static_cast<UINT>(g.width), g.advance - g.left - g.width};
  }
  return true;
}

UINT SetTextAlign(HDC hdc, UINT align) {
  internal::Dc* dc = internal::dcOf(hdc);
  if (!dc) return 0xFFFFFFFFu;  // GDI_ERROR
  UINT old = dc->textAlign;
  dc->textAlign = align;
  return old;
}
UINT GetTextAlign(HDC hdc) {
  internal::Dc* dc = internal::dcOf(hdc);
  return dc ? dc->textAlign : 0xFFFFFFFFu;
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const int* dx) {
  internal::Dc* dc = internal::dcOf(hdc);
  const LOGFONTA* lf = dc ? internal::fontOf(*dc) : nullptr;
  if (!lf || (count && !text)) return false;
  internal::Realised r = internal::realise(*lf);
  internal::Strike& s = *r.strike;
  int n = static_cast<int>(count);
  int width = 0;
  for (int i = 0; i < n; ++i) width += dx ? dx[i] : internal::advanceOf(s, static_cast<unsigned char>(text[i]));
  internal::TextPainter p(*dc);
  if (!p.ok) return true;
  // The reference point, in device coordinates (logical ones under a world
  // transform, which the painter maps).
  int px = x + p.origin().x, py = y + p.origin().y;
  UINT h = dc->textAlign & TA_CENTER, v = dc->textAlign & TA_BASELINE;
  if (h == TA_RIGHT) px -= width;
  else if (h == TA_CENTER) px -= width / 2;
  int baseline = v == TA_BASELINE ? py : v == TA_BOTTOM ? py - r.descent : py + r.ascent;
  bool mono = p.t.surface->mono;
  auto colour = [&](COLORREF c) {
    std::uint32_t v = internal::resolveColor(*dc, c);
    return mono ? internal::monoOf(v) : v;
  };
  RECT devRect{};
  if (rect)
    devRect = {rect->left + p.origin().x, rect->top + p.origin().y, rect->right + p.origin().x,
               rect->bottom + p.origin().y};
  std::uint32_t bk = colour(dc->bk), fg = colour(dc->text);
  if (rect && (options & ETO_OPAQUE)) p.fill(devRect, bk);
  if (rect && (options & ETO_CLIPPED)) p.limit = devRect;
  if (dc->bkMode == OPAQUE) p.fill({px, baseline - r.ascent, px + width, baseline + r.descent}, bk);
  int pen = px;
  for (int i = 0; i < n; ++i) {
    const internal::Glyph& g = internal::glyphOf(s, static_cast<unsigned char>(text[i]));
    p.glyph(g, pen + g.left, baseline - g.top, fg);
    pen += dx ? dx[i] : g.advance;
  }
  if (r.underline)
    p.fill({px, baseline + r.underlinePos, px + width, baseline + r.underlinePos + r.underlineThick}, fg);
  if (r.strikeOut)
    p.fill({px, baseline - r.strikePos, px + width, baseline - r.strikePos + r.underlineThick}, fg);
  return true;
}

BOOL TextOutA(HDC hdc, int x, int y, const char* text, int count) {
  if (count < 0) return false;
  return ExtTextOutA(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

}  // namespace win
