// Drawing objects: one handle table for every kind, the stock objects,
// brushes, pens, fonts and palettes.
#include <algorithm>
#include <cstring>

#include "platform/gdi/internal.h"

namespace win {
namespace internal {
namespace {

struct StockRow {
  int index;
  DWORD type;
  COLORREF color;
  UINT style;
};
constexpr StockRow kStock[] = {
    {WHITE_BRUSH, OBJ_BRUSH, RGB(255, 255, 255), BS_SOLID}, {LTGRAY_BRUSH, OBJ_BRUSH, RGB(192, 192, 192), BS_SOLID},
    {GRAY_BRUSH, OBJ_BRUSH, RGB(128, 128, 128), BS_SOLID},  {DKGRAY_BRUSH, OBJ_BRUSH, RGB(64, 64, 64), BS_SOLID},
    {BLACK_BRUSH, OBJ_BRUSH, RGB(0, 0, 0), BS_SOLID},       {NULL_BRUSH, OBJ_BRUSH, 0, BS_NULL},
    {WHITE_PEN, OBJ_PEN, RGB(255, 255, 255), PS_SOLID},     {BLACK_PEN, OBJ_PEN, RGB(0, 0, 0), PS_SOLID},
    {NULL_PEN, OBJ_PEN, 0, PS_NULL},                        {SYSTEM_FONT, OBJ_FONT, 0, 0},
    {DEFAULT_PALETTE, OBJ_PAL, 0, 0},                       {DEFAULT_GUI_FONT, OBJ_FONT, 0, 0},
};

// The twenty static colours of the default palette.
constexpr COLORREF kDefaultPalette[] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),   RGB(0, 0, 128),
    RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192), RGB(192, 220, 192), RGB(166, 202, 240),
    RGB(255, 251, 240), RGB(160, 160, 164), RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),
    RGB(255, 255, 0),   RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255),
};

LOGFONTA stockFont(int index) {
  LOGFONTA f{};
  f.lfHeight = index == DEFAULT_GUI_FONT ? -11 : 16;
  f.lfWeight = index == DEFAULT_GUI_FONT ? 400 : 700;
  std::strcpy(f.lfFaceName, index == DEFAULT_GUI_FONT ? "DejaVu Sans" : "System");
  return f;
}

std::array<HGDIOBJ, 18>& stockHandles() {
  static std::array<HGDIOBJ, 18> handles = [] {
    std::array<HGDIOBJ, 18> h{};
    for (const StockRow& row : kStock) {
      auto o = std::make_unique<GdiObject>(row.type);
      o->stock = true;
      o->brush.style = row.style;
      o->brush.color = row.color;
      o->pen = {row.style, {row.type == OBJ_PEN && row.style != PS_NULL ? 1 : 0, 0}, row.color};
      o->penStyle = row.style;
      o->penBrush.color = row.color;
      if (row.type == OBJ_FONT) o->font = stockFont(row.index);
      if (row.type == OBJ_PAL)
        for (COLORREF c : kDefaultPalette) o->palette.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
      h[static_cast<std::size_t>(row.index)] = asHandle<HGDIOBJ>(gdiObjects().add(std::move(o)));
    }
    return h;
  }();
  return handles;
}

template <class T>
int copyOut(const T& value, int size, void* buffer) {
  if (!buffer) return static_cast<int>(sizeof(T));
  if (size < static_cast<int>(sizeof(T))) return 0;
  std::memcpy(buffer, &value, sizeof(T));
  return static_cast<int>(sizeof(T));
}

HBRUSH patternBrushFrom(const Surface& s) {
  auto o = std::make_unique<GdiObject>(OBJ_BRUSH);
  o->brush.style = BS_PATTERN;
  o->brush.mono = s.mono;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) o->brush.pattern[static_cast<std::size_t>(y * 8 + x)] = s.row(y % s.height)[x % s.width];
  return addGdiObject<HBRUSH>(std::move(o));
}

}  // namespace

HandleTable<GdiObject>& gdiObjects() {
  static HandleTable<GdiObject> table(HandleKind::gdi);
  return table;
}

GdiObject* gdiObject(const void* h, DWORD type) {
  stockHandles();
  GdiObject* o = gdiObjects().get(reinterpret_cast<std::uintptr_t>(h));
  if (!o || (type && o->type != type && !(type == OBJ_DC && o->type == OBJ_MEMDC))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return o;
}

std::uint32_t monoOf(std::uint32_t p) {
  auto sq = [](std::uint32_t v) { return v * v; };
  std::uint32_t r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
  std::uint32_t toBlack = sq(r) + sq(g) + sq(b), toWhite = sq(255 - r) + sq(255 - g) + sq(255 - b);
  return toWhite < toBlack ? kMonoWhite : 0;
}

std::uint32_t resolveColor(const Dc& dc, COLORREF c) {
  if ((c & 0xFF000000u) == 0x01000000u) {
    GdiObject* pal = gdiObject(dc.palette, OBJ_PAL);
    std::size_t i = c & 0xFFFF;
    if (!pal || pal->palette.empty()) return 0;
    const PALETTEENTRY& e = pal->palette[std::min(i, pal->palette.size() - 1)];
    return toXrgb(RGB(e.peRed, e.peGreen, e.peBlue));
  }
  return toXrgb(c & 0xFFFFFF);
}

}  // namespace internal

using internal::GdiObject;
using internal::gdiObject;

HGDIOBJ GetStockObject(int index) {
  auto& h = internal::stockHandles();
  if (index < 0 || index >= static_cast<int>(h.size()) || !h[static_cast<std::size_t>(index)]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return h[static_cast<std::size_t>(index)];
}

DWORD GetObjectType(HGDIOBJ object) {
  GdiObject* o = gdiObject(object);
  return o ? o->type : 0;
}

BOOL DeleteObject(HGDIOBJ object) {
  GdiObject* o = gdiObject(object);
  if (!o || o->type == OBJ_DC || o->type == OBJ_MEMDC) return 0;
  if (o->stock) return 1;
  if (o->selected > 0) return 0;
  internal::gdiObjects().remove(reinterpret_cast<std::uintptr_t>(object));
  return 1;
}

int GetObjectA(HGDIOBJ object, int size, void* buffer) {
  GdiObject* o = gdiObject(object);
  if (!o) return 0;
  switch (o->type) {
    case OBJ_BITMAP: {
      const internal::Surface& s = o->bitmap;
      WORD bpp = s.mono ? 1 : 24;
      BITMAP bm{0, s.width, s.height, (s.width * bpp + 15) / 16 * 2, 1, bpp, nullptr};
      return internal::copyOut(bm, size, buffer);
    }
    case OBJ_BRUSH: {
      LOGBRUSH lb{o->brush.style, o->brush.color, o->brush.hatch};
      return internal::copyOut(lb, size, buffer);
    }
    case OBJ_PEN: return internal::copyOut(o->pen, size, buffer);
    case OBJ_FONT: return internal::copyOut(o->font, size, buffer);
    case OBJ_PAL: return internal::copyOut(static_cast<WORD>(o->palette.size()), size, buffer);
    default: SetLastError(ERROR_INVALID_HANDLE); return 0;
  }
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto o = std::make_unique<GdiObject>(OBJ_BRUSH);
  o->brush.color = color;
  return internal::addGdiObject<HBRUSH>(std::move(o));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  GdiObject* b = gdiObject(bitmap, OBJ_BITMAP);
  if (!b) return nullptr;
  HBRUSH h = internal::patternBrushFrom(b->bitmap);
  if (GdiObject* o = gdiObject(h)) o->brush.hatch = reinterpret_cast<ULONG_PTR>(bitmap);
  return h;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_NULL: return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen || pen->lopnStyle > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto o = std::make_unique<GdiObject>(OBJ_PEN);
  o->pen = *pen;
  o->penStyle = pen->lopnStyle;
  o->penBrush.color = pen->lopnColor;
  // A wide pen is geometric, and then draws only solid or inside the frame.
  o->geometric = pen->lopnWidth.x > 1;
  if (o->geometric && pen->lopnStyle != PS_NULL && pen->lopnStyle != PS_INSIDEFRAME) o->penStyle = PS_SOLID;
  return internal::addGdiObject<HPEN>(std::move(o));
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD count, const DWORD* dashes) {
  DWORD kind = style & PS_STYLE_MASK, type = style & PS_TYPE_MASK;
  bool user = kind == PS_USERSTYLE;
  bool badDashes = user && (!dashes || count == 0 || count > 16 ||
                            std::all_of(dashes, dashes + count, [](DWORD d) { return d == 0; }));
  bool cosmeticWide = type == PS_COSMETIC && width != 1;
  if (!brush || kind > PS_USERSTYLE || (type != PS_COSMETIC && type != PS_GEOMETRIC) || badDashes || cosmeticWide ||
      (!user && count != 0) || (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_PATTERN) ||
      (brush->lbStyle == BS_PATTERN && type != PS_GEOMETRIC) || width > 0x10000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto o = std::make_unique<GdiObject>(OBJ_PEN);
  if (brush->lbStyle == BS_PATTERN) {
    GdiObject* b = gdiObject(reinterpret_cast<HGDIOBJ>(brush->lbHatch), OBJ_BITMAP);
    if (!b) return nullptr;
    HBRUSH made = internal::patternBrushFrom(b->bitmap);
    o->penBrush = gdiObject(made)->brush;
    DeleteObject(made);
  } else {
    o->penBrush.color = brush->lbColor;
  }
  o->pen = {kind, {static_cast<LONG>(width), 0}, brush->lbColor};
  o->penStyle = style;
  o->geometric = type == PS_GEOMETRIC;
  if (user) o->dashes.assign(dashes, dashes + count);
  return internal::addGdiObject<HPEN>(std::move(o));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  LOGPEN p{static_cast<UINT>(style), {std::max(width, 0), 0}, color};
  return CreatePenIndirect(&p);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto o = std::make_unique<GdiObject>(OBJ_FONT);
  o->font = *font;
  o->font.lfFaceName[31] = '\0';
  return internal::addGdiObject<HFONT>(std::move(o));
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto o = std::make_unique<GdiObject>(OBJ_PAL);
  o->palette.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return internal::addGdiObject<HPALETTE>(std::move(o));
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
  GdiObject* o = gdiObject(palette, OBJ_PAL);
  if (!o || o->stock || !entries || start >= o->palette.size()) return 0;
  UINT n = std::min<UINT>(count, static_cast<UINT>(o->palette.size()) - start);
  std::copy(entries, entries + n, o->palette.begin() + start);
  return n;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  GdiObject* o = gdiObject(palette, OBJ_PAL);
  if (!o) return 0;
  if (!entries) return static_cast<UINT>(o->palette.size());
  if (start >= o->palette.size()) return 0;
  UINT n = std::min<UINT>(count, static_cast<UINT>(o->palette.size()) - start);
  std::copy(o->palette.begin() + start, o->palette.begin() + start + n, entries);
  return n;
}

UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) { return 0; }
UINT RealizePalette(HDC) { return 0; }
COLORREF GetNearestColor(HDC hdc, COLORREF color) {
  internal::Dc* dc = internal::dcOf(hdc);
  if (!dc) return 0xFFFFFFFFu;
  return internal::toColorref(internal::resolveColor(*dc, color));
}

}  // namespace win
