// The Windows font device's start-up: the typefaces the platform
// enumerates become families, their styles faces, the sizes of raster
// faces sizes; styles a typeface lacks are made from the ones it has.
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/fontmsw_internal.h"
#include "fw/gui/window/mswgdi.h"

namespace vfontmsw {

State state;

win::HDC acquireScreen() { return vwindowMSWAcquireCachedDC(0); }
void releaseScreen(win::HDC hdc) { vwindowMSWReleaseCachedDC(hdc); }

void metricsOf(win::HFONT font, win::TEXTMETRICA* out) {
  win::HDC hdc = acquireScreen();
  win::HGDIOBJ old = win::SelectObject(hdc, font);
  *out = {};
  win::GetTextMetricsA(hdc, out);
  win::SelectObject(hdc, old);
  releaseScreen(hdc);
}

int pointsOf(const win::TEXTMETRICA& m) {
  int r = state.resolution;
  return ((m.tmHeight - m.tmInternalLeading) * 72 + r / 2) / r;
}

namespace {

constexpr win::DWORD kScalable = win::TRUETYPE_FONTTYPE;
constexpr std::uint8_t kBoldItalic = 8, kBold = 4, kItalic = 2, kMedium = 1;

struct Family {
  vfontFamily* family;
  std::string typeface;
  std::uint8_t styles;  // the kinds of font enumerated so far
};

// What start-up carries through the enumeration callbacks.
struct Enumeration {
  std::vector<std::string> typefaces;
  std::vector<Family> families;
};

// The words the family bits of a pitch-and-family byte add to a face name.
struct FamilyWord {
  std::uint8_t bits;
  const char* word;
};
constexpr std::array<FamilyWord, 4> kFamilyWords{
    {{0x10, "roman "}, {0x30, "modern "}, {0x40, "script "}, {0x50, "decorative "}}};

// The styles made from each font of a typeface whose style mask (1 medium,
// 2 italic, 4 bold, 8 bold italic) lacks bold italic.
enum Slant : std::int8_t { kKeep = -1, kUpright = 0, kSlanted = 1 };
struct Variant {
  Slant slant;
  bool bold;
  bool italicFontsOnly;
};
using Variants = std::array<Variant, 3>;
constexpr Variant kNone{kKeep, false, false};
constexpr std::array<Variants, 8> kVariants{{
    {kNone, kNone, kNone},
    {{{kSlanted, false, false}, {kSlanted, true, false}, {kUpright, true, false}}},
    {{{kSlanted, true, false}, kNone, kNone}},
    {{{kKeep, true, false}, kNone, kNone}},
    {{{kSlanted, false, false}, kNone, kNone}},
    {{{kSlanted, false, false}, kNone, kNone}},
    {kNone, kNone, kNone},
    {{{kKeep, true, true}, kNone, kNone}},
}};
bool empty(const Variant& v) { return v.slant == kKeep && !v.bold; }

std::string faceNameOf(const win::LOGFONTA& lf) {
  std::string name = lf.lfWeight < 501 ? "medium " : "bold ";
  if (lf.lfItalic) name += "italic ";
  if (lf.lfUnderline) name += "underlined ";
  if (lf.lfStrikeOut) name += "strike ";
  for (const FamilyWord& w : kFamilyWords)
    if ((lf.lfPitchAndFamily & 0xF0) == w.bits) name += w.word;
  name.pop_back();
  return name;
}

vname intern(const std::string& text) { return vnameIntern(vscribeCStringSized(text.data(), text.size())); }

void registerFont(vfontFamily* family, win::DWORD fontType, const win::LOGFONTA& lf, const win::TEXTMETRICA& tm) {
  vfontFace* face = vfontRegisterFace(family, intern(faceNameOf(lf)), state.device);
  int points = pointsOf(tm);
  auto* entry = vpoolAllocOf<vfontMSWSizeOverride>(state.sizeEntries);
  *entry = {std::uint16_t(points), std::int16_t(tm.tmHeight), nullptr};
  vfontMSWFaceRecord* record = vfontMSWGetFaceRecord(face);
  if (!record) {
    record = new (vpoolAlloc(state.faceRecords))
        vfontMSWFaceRecord{tm, lf, std::uint16_t(fontType), std::uint16_t((fontType & kScalable) ? 1 : 0), entry};
    vfontSetFaceDeviceData(face, state.device, reinterpret_cast<vfontDeviceWord>(record));
  } else {
    entry->next = record->sizes;
    record->sizes = entry;
  }
  if (!record->scalable) {
    vmatrix m{float(points), 0, 0, float(points), 0, 0};
    vfontRegisterSize(face, &m, state.device);
  }
}

bool fixedPitch(const win::LOGFONTA& lf) { return (lf.lfPitchAndFamily & 1) != 0; }

int onTypeface(const win::LOGFONTA* lf, const win::TEXTMETRICA*, win::DWORD, win::LPARAM data) {
  reinterpret_cast<Enumeration*>(data)->typefaces.emplace_back(lf->lfFaceName);
  return 1;
}

int onFont(const win::LOGFONTA* lf, const win::TEXTMETRICA* tm, win::DWORD type, win::LPARAM data) {
  auto* e = reinterpret_cast<Enumeration*>(data);
  vfontFamily* family =
      vfontRegisterFamily(vnameInternLiteral(lf->lfFaceName), vnameInternLiteral("misc"), vnameInternLiteral(""),
                          fixedPitch(*lf) ? 1 : 0, state.device);
  Family* f = nullptr;
  for (Family& candidate : e->families)
    if (candidate.family == family) f = &candidate;
  if (!f) f = &e->families.emplace_back(Family{family, lf->lfFaceName, 0});
  bool heavy = lf->lfWeight > 500;
  f->styles |= lf->lfItalic ? (heavy ? kBoldItalic : kItalic) : (heavy ? kBold : kMedium);
  registerFont(family, type, *lf, *tm);
  return 1;
}

struct VariantPass {
  vfontFamily* family;
  const Variants* variants;
};

int onVariantSource(const win::LOGFONTA* lf, const win::TEXTMETRICA*, win::DWORD type, win::LPARAM data) {
  auto* pass = reinterpret_cast<VariantPass*>(data);
  for (const Variant& v : *pass->variants) {
    if (empty(v)) break;
    if (v.italicFontsOnly && !lf->lfItalic) continue;
    win::LOGFONTA made = *lf;
    if (v.slant != kKeep) made.lfItalic = win::BYTE(v.slant);
    if (v.bold) made.lfWeight = win::FW_BOLD;
    win::HFONT font = win::CreateFontIndirectA(&made);
    if (!font) continue;
    win::TEXTMETRICA tm;
    metricsOf(font, &tm);
    win::DeleteObject(font);
    registerFont(pass->family, type, made, tm);
  }
  return 1;
}

void enumerate() {
  Enumeration e;
  win::HDC hdc = acquireScreen();
  state.resolution = win::GetDeviceCaps(hdc, win::LOGPIXELSY);
  if (state.resolution <= 0) state.resolution = 96;
  win::EnumFontsA(hdc, nullptr, onTypeface, reinterpret_cast<win::LPARAM>(&e));
  for (const std::string& name : e.typefaces)
    win::EnumFontsA(hdc, name.c_str(), onFont, reinterpret_cast<win::LPARAM>(&e));
  for (const Family& f : e.families) {
    if (f.styles & kBoldItalic) continue;
    VariantPass pass{f.family, &kVariants[f.styles]};
    win::EnumFontsA(hdc, f.typeface.c_str(), onVariantSource, reinterpret_cast<win::LPARAM>(&pass));
  }
  releaseScreen(hdc);
}

void registerSystemFont() {
  auto stock = static_cast<win::HFONT>(win::GetStockObject(win::DEFAULT_GUI_FONT));
  if (!stock) stock = static_cast<win::HFONT>(win::GetStockObject(win::SYSTEM_FONT));
  win::LOGFONTA lf{};
  if (!stock || win::GetObjectA(stock, sizeof lf, &lf) != int(sizeof lf)) return;
  state.systemFont = win::CreateFontIndirectA(&lf);
  if (!state.systemFont) return;
  state.natives.push_back({state.systemFont, nullptr, nullptr, nullptr});
  win::TEXTMETRICA tm;
  metricsOf(state.systemFont, &tm);
  state.systemPoints = pointsOf(tm);
  vfontFamily* family = vfontRegisterFamily(vnameInternLiteral("system_font"), vnameInternLiteral("misc"),
                                            vnameInternLiteral(""), fixedPitch(lf) ? 1 : 0, state.device);
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", "system_font");
  registerFont(family, win::RASTER_FONTTYPE, lf, tm);
}

}  // namespace
}  // namespace vfontmsw

using namespace vfontmsw;

void vfontMSWStartup() {
  if (state.device >= 0) return;
  state.device = vfontAllocDevice();
  vfontSetDriver(&driver);
  state.deviceSpec = "device:" + std::to_string(state.device);
  state.natives.reserve(8);
  state.faceRecords = vpoolCreate(sizeof(vfontMSWFaceRecord));
  state.sizeEntries = vpoolCreate(sizeof(vfontMSWSizeOverride));
  state.fontRecords = vpoolCreate(sizeof(vfontMSWFontRecord));
  if (!state.exitRegistered) {
    state.exitRegistered = true;
    vmoduleAddExitProc(_vfontMSWShutdown);
  }
  enumerate();
  registerSystemFont();
  vfontSetDefaultSpec(
      "family:Arial-family:Helvetica-family:Times-family:system-face:medium-face:roman-~face:bold-~face:italic-~face:"
      "oblique");
}

int vfontMSWGetDevice() { return state.device; }

vfontMSWFaceRecord* vfontMSWGetFaceRecord(const vfontFace* face) {
  if (state.device < 0 || std::size_t(state.device) >= face->deviceData.size()) return nullptr;
  return reinterpret_cast<vfontMSWFaceRecord*>(face->deviceData[std::size_t(state.device)]);
}

void _vfontMSWShutdown() {
  if (state.device < 0) return;
  while (!state.natives.empty()) {
    Native n = state.natives.back();
    state.natives.pop_back();
    win::DeleteObject(n.font);
    vmemFree(n.widths);
    vmemFree(n.a);
    vmemFree(n.ab);
  }
  vpoolDestroy(state.faceRecords);
  vpoolDestroy(state.sizeEntries);
  vpoolDestroy(state.fontRecords);
  bool registered = state.exitRegistered;
  state = State{};
  state.exitRegistered = registered;
}
