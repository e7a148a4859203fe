// The look-and-feel's registrations of system colours and fonts: their row
// tables, the 25 kept system colours, the font store with the kept system
// fonts, writing them into the preferences at level 6, and applying them.
//
// - **Registrations** (`msw_register.cpp`): three row tables (room for 10, doubled, a row with an
//   existing key replaced), the refresh classes, the 25 kept system colours as colour-store elements
//   (one per changed value), and the font store ("Array" of four descriptions built from the
//   system's LOGFONTs, "Tag" 0). Each row registration reloads the current application's preferences
//   from level 6 and calls the class-name hook of each refresh class and its subclasses. Other notes
//   call these calls by other names; the window layer keeps its own, and builds one alias:
#include <cstring>
#include <string>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/mswgdi.h"

namespace {

void freeAtExit();
void watchExit() {
  static bool added = false;
  if (!added) vsysAddExitHandler(freeAtExit);
  added = true;
}

// A growable table of rows: room for 10 at first, doubled.
template <class Row>
struct Rows {
  Row* rows = nullptr;
  int count = 0;
  int capacity = 0;
  // A row with the key of an existing one replaces it.
  template <class SameKey>
  void put(const Row& row, SameKey same) {
    watchExit();
    for (int i = 0; i < count; ++i)
      if (same(rows[i], row)) {
        rows[i] = row;
        return;
      }
    if (count == capacity) {
      capacity = capacity ? capacity * 2 : 10;
      rows = static_cast<Row*>(vmemRealloc(rows, sizeof(Row) * static_cast<std::size_t>(capacity)));
    }
    rows[count++] = row;
  }
  void free() {
    vmemFree(rows);
    *this = Rows{};
  }
  const Row* begin() const { return rows; }
  const Row* end() const { return rows + count; }
};

struct ColorRow {
  std::uint16_t scheme;
  std::int16_t sysColor;
};
struct ClassColorRow {
  vname cls;
  std::uint16_t scheme;
  std::int16_t sysColor;  // negative: none
};
struct ClassFontRow {
  vname cls;
  std::int16_t font;  // 0 icon title, 1 menu, 2 message, 3 status; negative: none
};

constexpr int kSysColors = 25;
// A look's fixed table may name colours past the live ones (CUA's run to
// index 40); they must not be dropped, or its roles bind to nothing.
constexpr int kColorSlots = 41;
constexpr int kSysFonts = 4;

struct Registrations {
  Rows<ColorRow> colors;
  Rows<ClassColorRow> classColors;
  Rows<ClassFontRow> classFonts;
  vclass** refresh = nullptr;
  int refreshCount = 0, refreshCapacity = 0;
  bool trackColors = true;
  bool haveColors = false;
  win::COLORREF sysColors[kColorSlots]{};
  vresource colorElements[kColorSlots]{};
  // The font store: "Array" of the four system fonts' descriptions, "Tag" 0.
  vresource fontStore = 0;
  vresource fontArray = 0;
  bool haveFonts = false;
  win::LOGFONTA fonts[kSysFonts]{};
};
Registrations reg;

vprefDict* root() { return vprefGetDefaultDict(); }

// A sub-dictionary of the preferences, made when missing (a new reference).
vprefDict* dictAt(vprefDict* parent, vname key, bool make) {
  if (vprefDict* d = vprefGetDict(parent, vnameScribe(key))) return d;
  if (!make) return nullptr;
  vprefDict* made = vprefCreateDict();
  vprefDictSet(parent, key, made);
  return made;
}

// ---- System colours --------------------------------------------------------------------

vresource colorElement(win::COLORREF c, unsigned dither) {
  return vwindowAddColorSpec(win::GetRValue(c) * 257u, win::GetGValue(c) * 257u, win::GetBValue(c) * 257u, dither);
}

// Reads the live colours; a colour the store has already keeps its element.
void readSysColors() {
  for (int i = 0; i < kSysColors; ++i) {
    win::COLORREF c = win::GetSysColor(i);
    if (reg.haveColors && reg.colorElements[i] && reg.sysColors[i] == c) continue;
    reg.sysColors[i] = c;
    reg.colorElements[i] = colorElement(c, 0);
  }
  reg.haveColors = true;
}

vresource elementOf(int sysColor) {
  return sysColor >= 0 && sysColor < kColorSlots ? reg.colorElements[sysColor] : 0;
}

void writeColorRows() {
  if (reg.trackColors && (reg.colors.count || reg.classColors.count)) readSysColors();
  if (!reg.haveColors) return;
  if (reg.colors.count) {
    vprefDict* colors = dictAt(root(), vname_Colors, true);
    vprefDict* disable = dictAt(colors, vnameInternLiteral("Disable"), false);
    for (const ColorRow& r : reg.colors) {
      vresource e = elementOf(r.sysColor);
      if (!e) continue;
      vprefDict* into = (r.scheme & 1) && disable ? disable : colors;
      vprefSetResource(into, vnameScribe(vcolorGetSchemeTag(r.scheme & ~1)), e);
    }
    if (disable) vprefRelease(disable);
    vprefRelease(colors);
  }
  if (reg.classColors.count) {
    vprefDict* classes = dictAt(root(), vnameInternLiteral("Classes"), true);
    for (const ClassColorRow& r : reg.classColors) {
      vresource e = r.sysColor < 0 ? vwindowGetColorStore() : elementOf(r.sysColor);
      if (!e) continue;
      vprefDict* own = dictAt(classes, r.cls, true);
      vprefSetResource(own, vnameScribe(vcolorGetSchemeTag(r.scheme & ~1)), e);
      vprefRelease(own);
    }
    vprefRelease(classes);
  }
}

// ---- System fonts -------------------------------------------------------------------------

void releaseFontStore() {
  if (!reg.fontStore) return;
  vresourceReleaseFile(reg.fontStore);
  reg.fontStore = reg.fontArray = 0;
}

void makeFontStore() {
  if (reg.fontStore) return;
  reg.fontStore = vresourceCreateMemory();
  reg.fontArray = vresourceCreateArray(reg.fontStore, vnameInternLiteral("Array"), vresSTRING, kSysFonts);
  vresourceSetInteger(reg.fontStore, vname_Tag, 0);
  vsysAddExitHandler(releaseFontStore);
}

std::string describe(const win::LOGFONTA& lf) {
  std::string d = std::string("family:") + lf.lfFaceName;
  bool bold = lf.lfWeight >= win::FW_BOLD;
  if (bold || lf.lfItalic) d += std::string("-face:") + (bold ? "Bold" : "") + (bold && lf.lfItalic ? " " : "") +
                                (lf.lfItalic ? "Italic" : "");
  return d + "-size:" + std::to_string(_vwindowMSWPointSize(lf));
}

void storeFont(int index) {
  std::string d = describe(reg.fonts[index]);
  vresourceSetAtString(reg.fontArray, index, vscribeCString(d.c_str()));
}

win::LOGFONTA stockGuiFont() {
  win::LOGFONTA lf{};
  if (win::HGDIOBJ f = win::GetStockObject(win::DEFAULT_GUI_FONT)) win::GetObjectA(f, sizeof lf, &lf);
  return lf;
}

// Reads the four system fonts; answers whether any changed.
bool readSysFonts() {
  makeFontStore();
  bool first = !reg.haveFonts;
  win::LOGFONTA now[kSysFonts]{};
  win::SystemParametersInfoA(win::SPI_GETICONTITLELOGFONT, sizeof(win::LOGFONTA), &now[0], 0);
  win::NONCLIENTMETRICSA m{};
  m.cbSize = sizeof m;
  if (win::SystemParametersInfoA(win::SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) {
    now[1] = m.lfMenuFont;
    now[2] = m.lfMessageFont;
    now[3] = m.lfStatusFont;
  } else if (first) {
    now[1] = now[2] = now[3] = stockGuiFont();
  } else {
    for (int i = 1; i < kSysFonts; ++i) now[i] = reg.fonts[i];
  }
  bool changed[kSysFonts];
  bool any = false;
  for (int i = 0; i < kSysFonts; ++i) {
    changed[i] = first || std::memcmp(&now[i], &reg.fonts[i], sizeof now[i]) != 0;
    any = any || changed[i];
    reg.fonts[i] = now[i];
  }
  reg.haveFonts = true;
  if (changed[0]) storeFont(0);
  if (any)
    for (int i = 1; i < kSysFonts; ++i) storeFont(i);
  return any;
}

void writeFontRows() {
  if (!reg.classFonts.count) return;
  readSysFonts();
  vprefDict* classes = dictAt(root(), vnameInternLiteral("Classes"), true);
  for (const ClassFontRow& r : reg.classFonts) {
    vprefDict* own = dictAt(classes, r.cls, true);
    vresource value = r.font >= 0 && r.font < kSysFonts ? vresourceGetAt(reg.fontArray, r.font) : reg.fontStore;
    vprefSetResource(own, vscribeLiteral("Font"), value);
    vprefRelease(own);
  }
  vprefRelease(classes);
}

// ---- Applying -------------------------------------------------------------------------------

void refreshClass(vclass* cls) {
  if (cls->named) cls->named(cls);
  vclassSubclassIterator it;
  vclassInitSubclassIterator(&it, cls);
  while (vclassNextSubclassIterator(&it)) refreshClass(*it.current);
}

void apply() {
  vapplicationLoadPreferences(_vwindowMSWApplication(), 6);
  for (int i = 0; i < reg.refreshCount; ++i) refreshClass(reg.refresh[i]);
}

void freeAtExit() { _vwindowMSWFreeRegistrations(); }

}  // namespace

void _vwindowMSWWriteRegistrations() {
  writeColorRows();
  writeFontRows();
}

void _vwindowMSWFreeRegistrations() {
  reg.colors.free();
  reg.classColors.free();
  reg.classFonts.free();
  vmemFree(reg.refresh);
  reg.refresh = nullptr;
  reg.refreshCount = reg.refreshCapacity = 0;
}

void vwindowMSWRegisterSysColor(int scheme, int sysColor) {
  reg.colors.put({static_cast<std::uint16_t>(scheme), static_cast<std::int16_t>(sysColor)},
                 [](const ColorRow& a, const ColorRow& b) { return a.scheme == b.scheme; });
  apply();
}

void vwindowMSWRegisterClassSysColor(vname cls, int scheme, int sysColor) {
  reg.classColors.put({cls, static_cast<std::uint16_t>(scheme), static_cast<std::int16_t>(sysColor)},
                      [](const ClassColorRow& a, const ClassColorRow& b) {
                        return a.cls == b.cls && a.scheme == b.scheme;
                      });
  apply();
}

void vwindowMSWRegisterClassSysFont(vname cls, int font) {
  reg.classFonts.put({cls, static_cast<std::int16_t>(font)},
                     [](const ClassFontRow& a, const ClassFontRow& b) { return a.cls == b.cls; });
  apply();
}

void vwindowMSWRegisterRefreshClass(vclass* cls) {
  watchExit();
  for (int i = 0; i < reg.refreshCount; ++i)
    if (reg.refresh[i] == cls) return;
  if (reg.refreshCount == reg.refreshCapacity) {
    reg.refreshCapacity = reg.refreshCapacity ? reg.refreshCapacity * 2 : 4;
    reg.refresh =
        static_cast<vclass**>(vmemRealloc(reg.refresh, sizeof(vclass*) * static_cast<std::size_t>(reg.refreshCapacity)));
  }
  reg.refresh[reg.refreshCount++] = cls;
}

void vwindowMSWSetColorTable(const std::uint16_t* rgb, int count) {
  for (int i = 0; i < count && i < kColorSlots; ++i) {
    const std::uint16_t* c = rgb + 3 * i;
    reg.colorElements[i] = vwindowAddColorSpec(c[0], c[1], c[2], 4);
    reg.sysColors[i] = win::RGB(static_cast<win::BYTE>(c[0] >> 8), static_cast<win::BYTE>(c[1] >> 8),
                                static_cast<win::BYTE>(c[2] >> 8));
  }
  reg.haveColors = true;
  reg.trackColors = false;
}

void vwindowMSWSetSysColorTable(const std::uint16_t* rgb, int count) { vwindowMSWSetColorTable(rgb, count); }

int vwindowMSWSysColorsChanged() {
  if (!reg.trackColors || !reg.haveColors) return 0;
  bool changed = false;
  for (int i = 0; i < kSysColors && !changed; ++i) changed = win::GetSysColor(i) != reg.sysColors[i];
  if (changed) apply();
  return changed;
}

int vwindowMSWSystemFontsChanged() {
  if (!reg.classFonts.count) return 0;
  bool changed = readSysFonts();
  if (changed) apply();
  return changed;
}

int vwindowMSWIsSystemFont(vfont* font, int index) {
  if (!font || !font->face || !font->face->family) return 0;
  win::LOGFONTA lf = index >= 0 && index < kSysFonts && reg.haveFonts ? reg.fonts[index] : stockGuiFont();
  const vfontFamily* family = font->face->family;
  int size = static_cast<int>(font->matrix->d + 0.5);
  return vcstrCompareNoCase(family->name, lf.lfFaceName) == 0 && size == _vwindowMSWPointSize(lf);
}

vresource vwindowMSWGetFontStore() {
  makeFontStore();
  return reg.fontStore;
}

int _vwindowMSWPointSize(const win::LOGFONTA& lf) {
  win::HFONT f = win::CreateFontIndirectA(&lf);
  win::HDC dc = vwindowMSWAcquireCachedDC(0);
  int points = 0;
  if (f) {
    win::HGDIOBJ old = win::SelectObject(dc, f);
    win::TEXTMETRICA tm{};
    if (win::GetTextMetricsA(dc, &tm)) {
      int r = win::GetDeviceCaps(dc, win::LOGPIXELSY);
      if (r > 0) points = ((tm.tmHeight - tm.tmInternalLeading) * 72 + r / 2) / r;
    }
    win::SelectObject(dc, old);
  }
  vwindowMSWReleaseCachedDC(dc);
  if (f) win::DeleteObject(f);
  return points;
}
