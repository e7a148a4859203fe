// What a look draws with that is not code: the numbered one-bit images of
// the five groups (some first asked of the platform's predefined bitmaps),
// the glyphs, the cursors and the notice icons, all loaded on first use
// from the look dictionary and kept. Images and glyphs are process-wide;
// cursors and notice icons belong to the context's record.
//
// - **Images** (`laf_images.cpp`): the 148 numbered images, the 256 glyph masks, and the look's
//   cursors and notice icons, loaded on first use from "vlaf" of the application's resource file,
//   else of the framework's (`vlafGetDictionary`). The caches of images and glyphs are process-wide
//   but hold objects of the context's classes, so they are freed by an exit handler that runs before
//   the module contexts end (tests free them with `_vlafShutdown` before ending a context).
//   Bitmap-backed indexes first ask the predefined bitmaps when the look matches the system
//   (inverting three, cutting the check-box sheet into cells) and are dropped once per window-layer
//   start-up. The pattern image 58 is enlarged by tiling its pixels (`vpixmapCopyRect`), the result
//   the drawing road gives, without a drawing driver for images. Missing arrays or elements cache
//   null, and null images draw nothing.
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/pixmap_internal.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/widgets/look/laf_internal.h"

namespace {

// ---- The window layer's calls, until a test stands in.
int platformMajor() { return int(vsysGetVersion() & 0xFF); }
vimage* systemBitmap(int id) { return vwindowMSWLoadBitmapImage(nullptr, id); }
void colorTable(const std::uint16_t (*rgb)[3], int count) { vwindowMSWSetSysColorTable(&rgb[0][0], count); }
void classSysColor(const char* cls, int index, int sysColor) {
  vwindowMSWRegisterClassSysColor(vnameInternLiteral(cls), index, sysColor);
}
void classFont(const char* cls, int kind) { vwindowMSWRegisterClassSysFont(vnameInternLiteral(cls), kind); }
void liveSysColor(int index, unsigned* r, unsigned* g, unsigned* b) {
  win::COLORREF c = win::GetSysColor(index);
  *r = c & 0xFF, *g = (c >> 8) & 0xFF, *b = (c >> 16) & 0xFF;
}

constexpr vlafWindowServices kWindowLayer{vwindowIsMonochrome,       vwindowEnsureStartup,
                                          platformMajor,             vwindowMSWGetStartupCount,
                                          systemBitmap,              vwindowCreateDisplayImage,
                                          vcursorLoad,               colorTable,
                                          vwindowMSWRegisterSysColor, classSysColor,
                                          vwindowMSWRegisterRefreshClass, classFont,
                                          liveSysColor};
const vlafWindowServices* services = &kWindowLayer;

// ---- Process-wide state.
enum Group { kISO, kWindows, kWin95, kOpenLook, kCUA, kGroups };
constexpr const char* kGroupNames[kGroups] = {"ISO", "Windows", "Win95", "Open Look", "CUA"};
struct Range {
  int first;
  Group group;
};
constexpr Range kRanges[] = {{0, kISO}, {17, kWindows}, {81, kOpenLook}, {89, kCUA}, {117, kWin95}};

constexpr const char* kCursorNames[vlafCURSORS] = {
    "BlockCursor",       "IBeamCursor",         "HelpCursor",         "HorizontalResizeCursor",
    "VerticalResizeCursor", "NWSEResizeCursor", "NESWResizeCursor",   "ColumnResizeCursor",
    "RowResizeCursor",   "OmniResizeCursor",    "HorizontalSplitCursor", "VerticalSplitCursor",
    "SelectCursor",      "GrabCursor",          "MoveCursor",         "GoodDropCursor",
    "BadDropCursor",
};
constexpr const char* kNoticeNames[vlafNOTICE_IMAGES] = {"WarningIcon", "CautionIcon", "InformationIcon",
                                                         "ActionIcon"};

void drawFirst(int character, int height);

struct Process {
  bool started = false;
  bool hasArray[kGroups] = {};
  vresource arrays[kGroups] = {};
  bool hasGlyphArray = false;
  vresource glyphArray = 0;
  std::array<vimage*, vlafIMAGES> images{};
  std::array<vimage*, vlafGLYPHS> glyphs{};
  void (*glyphHook)(int character, int height) = drawFirst;
  vfont* glyphFont = nullptr;
  int droppedAt = -1;  // the window-layer start-up whose bitmaps were last dropped
  // Pieces of the pattern (image 58) by size, newest last.
  std::vector<vimage*> patternPieces;
};
Process process;

void dropPatternPieces() {
  for (vimage* piece : process.patternPieces) vimageDestroy(piece);
  process.patternPieces.clear();
}

void drawFirst(int character, int height) {
  vlafGetCurrent();
  process.glyphHook(character, height);
}

void drawMask(int character, int) {
  if (vimage* mask = vlafGetGlyphMask(character)) vdrawGetPrimitives()->ImageMask(mask);
}

void drawWithFont(int character, int height) {
  vdrawState* state = vdrawGetState();
  vfont* previous = state->matrix->font;
  if (previous != process.glyphFont) vdrawSetFont(process.glyphFont);
  vdrawRMoveTo(0, height);
  char c = char(character);
  vdrawGetPrimitives()->Show(&c, 1);
  if (previous != process.glyphFont) vdrawSetFont(previous);
}

bool glyphFontPresent() {
  bool found = false;
  vexGuard(
      [&] {
        services->openRoot();
        vfont* font = vfontFindScribe(vscribeLiteral("family:open look glyph-size:12"));
        if (font && font->face && font->face->family && font->matrix &&
            std::string_view(font->face->family->name ? font->face->family->name : "") == "open look glyph" &&
            int(font->matrix->d + 0.5f) == 12) {
          process.glyphFont = font;
          found = true;
        }
      },
      [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
  return found;
}

vimage* element(bool has, vresource array, int index) {
  if (!has || index < 0 || index >= vresourceCount(array)) return nullptr;
  return vimageLoad(vresourceGetAt(array, index));
}

[[noreturn]] void outOfRange(const char* message) { vexGenerateMessage(&vexArgRangeClass, message); }

// ---- The predefined bitmaps.
struct Bitmap {
  int windows, win95;  // the image indexes it serves in the two groups
  int id;
  bool inverted;
};
constexpr Bitmap kBitmaps[] = {
    {31, 117, vlafOBM_MNARROW, true},   {32, 118, vlafOBM_CHECK, true},     {51, 147, vlafOBM_COMBO, true},
    {69, 135, vlafOBM_DNARROW, false},  {70, 136, vlafOBM_DNARROWD, false}, {71, 137, vlafOBM_DNARROWI, false},
    {72, 138, vlafOBM_LFARROW, false},  {73, 139, vlafOBM_LFARROWD, false}, {74, 140, vlafOBM_LFARROWI, false},
    {75, 141, vlafOBM_RGARROW, false},  {76, 142, vlafOBM_RGARROWD, false}, {77, 143, vlafOBM_RGARROWI, false},
    {78, 144, vlafOBM_UPARROW, false},  {79, 145, vlafOBM_UPARROWD, false}, {80, 146, vlafOBM_UPARROWI, false},
};
// The check-box cells 120-130: (column, row from the bottom).
constexpr std::pair<int, int> kCells[] = {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {2, 0}, {3, 0},
                                          {0, 1}, {1, 1}, {2, 1}, {3, 1}, {0, 0}};

void invert(vimage* image) {
  std::uint32_t all = image->depth >= 32 ? 0xFFFFFFFFu : (1u << image->depth) - 1;
  vpixmapint::HeldCursor c(image);
  for (int n = image->width * image->height; n > 0; --n) {
    std::uint32_t v = vpixmapCursorGet(&c.c);
    vpixmapCursorSetNext(&c.c, ~v & all);
  }
}

bool isCell(int index) { return index >= 120 && index <= 130; }

const Bitmap* bitmapOf(int index) {
  for (const Bitmap& b : kBitmaps)
    if (b.windows == index || b.win95 == index) return &b;
  return nullptr;
}

bool fromBitmap(int index) { return isCell(index) || bitmapOf(index); }

vimage* cell(int index) {
  vimage* sheet = services->loadBitmapImage(vlafOBM_CHECKBOXES);
  if (!sheet) return nullptr;
  vimage* out = nullptr;
  vexGuard(
      [&] {
        auto [column, row] = kCells[index - 120];
        int w = sheet->width / 4, h = sheet->height / 3;
        out = services->createDisplayImage(w, h);
        vpixmapCopyRect(sheet, out, column * w, row * h, w, h, 0, 0);
        if (index >= 126) {
          if (vimage* corners = services->loadBitmapImage(vlafOBM_BTNCORNERS)) {
            invert(corners);
            vimage* mask = vimageCreateSized(w, h, 2);
            vpixmapCopyRect(corners, mask, 0, 0, std::min(w, int(corners->width)), std::min(h, int(corners->height)),
                            0, 0);
            vimageGetPalette(mask);
            vimageSetMaskOwned(out, mask);
            vimageDestroy(corners);
          }
        }
      },
      [&](vexHandler&) {
        vimageDestroy(sheet);
        if (out) vimageDestroy(out);
        _vexGenerate(nullptr, vexEnd);
      });
  vimageDestroy(sheet);
  return out;
}

vimage* bitmap(int index) {
  if (isCell(index)) return cell(index);
  const Bitmap* b = bitmapOf(index);
  vimage* image = b ? services->loadBitmapImage(b->id) : nullptr;
  if (image && b->inverted) invert(image);
  return image;
}

bool lookMatchesSystem(const vlaf* look) {
  return services->majorVersion() >= 4 ? look->id == vlafWIN95 : look->id == vlafWINDOWS;
}

}  // namespace

const vlafWindowServices& vlafGetWindowServices() { return *services; }
void vlafSetWindowServices(const vlafWindowServices* s) { services = s ? s : &kWindowLayer; }

void vlafint::startProcess() {
  if (process.started) return;
  process.started = true;
  // Before the module contexts go: the cached images need their classes.
  static bool exitRegistered = false;
  if (!exitRegistered) vsysAddExitHandler(_vlafShutdown);
  exitRegistered = true;
  // Colours exist before the look binds any.
  vcolorListDestroy(vcolorListCreate());
  vcolorRelease(vcolorCreate());
  vresource dictionary;
  if (vlafint::dictionary(&dictionary))
    for (int g = 0; g < kGroups; ++g) {
      vresource look;
      process.hasArray[g] = vresourceTestGet(dictionary, vnameInternLiteral(kGroupNames[g]), &look) &&
                            vresourceTestGet(look, vnameInternLiteral("Masks"), &process.arrays[g]);
    }
  process.glyphHook = drawMask;
  if (!vprefGetString(vprefGetDefaultDict(), vscribeLiteral("noglyphfont")) && glyphFontPresent())
    process.glyphHook = drawWithFont;
  vresource openLook;
  if (process.glyphHook == drawMask && vlafint::dictionary(&dictionary) &&
      vresourceTestGet(dictionary, vnameInternLiteral("Open Look"), &openLook))
    process.hasGlyphArray = vresourceTestGet(openLook, vnameInternLiteral("Glyph Masks"), &process.glyphArray) != 0;
}

vimage* vlafGetImage(int index) {
  if (index < 0 || index >= vlafIMAGES) outOfRange("laf image index out of range");
  const vlaf* look = vlafGetCurrent();
  bool matches = lookMatchesSystem(look);
  if (matches && process.droppedAt != services->startupCount()) {
    process.droppedAt = services->startupCount();
    for (int i = 0; i < vlafIMAGES; ++i)
      if (fromBitmap(i) && process.images[std::size_t(i)]) vimageDestroy(std::exchange(process.images[std::size_t(i)], nullptr));
    dropPatternPieces();
  }
  vimage*& cached = process.images[std::size_t(index)];
  if (cached) return cached;
  bool modern = services->majorVersion() >= 4;
  bool bitmapFirst = fromBitmap(index) && ((index >= 117 && modern) || (index >= 17 && index <= 80 && !modern));
  if (bitmapFirst) cached = bitmap(index);
  if (!cached) {
    const Range* r = kRanges;
    for (const Range& range : kRanges)
      if (index >= range.first) r = &range;
    cached = element(process.hasArray[r->group], process.arrays[r->group], index - r->first);
  }
  return cached;
}

void vlafDrawImage(int index) {
  if (vimage* image = vlafGetImage(index)) vdrawGetPrimitives()->ImageMask(image);
}

vimage* vlafGetGlyphMask(int character) {
  if (character < 0 || character >= vlafGLYPHS) outOfRange("glyph code out of range");
  vlafGetCurrent();
  vimage*& cached = process.glyphs[std::size_t(character)];
  if (!cached) cached = element(process.hasGlyphArray, process.glyphArray, character);
  return cached;
}

void vlafDrawGlyph(int character, int height) {
  if (character < 0 || character >= vlafGLYPHS) outOfRange("glyph code out of range");
  process.glyphHook(character, height);
}

vcursor* vlafGetCursor(int index) {
  if (index < 0 || index >= vlafCURSORS) outOfRange("laf cursor out of bounds");
  vlaf* look = vlafint::current();
  vcursor*& cached = look->cursors[index];
  vresource r;
  if (!cached && look->hasResources && vresourceTestGet(look->resources, vnameInternLiteral(kCursorNames[index]), &r))
    cached = services->loadCursor(r);
  return cached;
}

vimage* vlafGetNoticeImage(int index) {
  if (index < 0 || index >= vlafNOTICE_IMAGES) outOfRange("laf image out of bounds");
  vlaf* look = vlafint::current();
  vimage*& cached = look->noticeImages[index];
  vresource r;
  if (!cached && look->hasResources && vresourceTestGet(look->resources, vnameInternLiteral(kNoticeNames[index]), &r))
    cached = vimageLoad(r);
  return cached;
}

// Tiled pixel by pixel from a copy of its first self: the result the
// drawing road gives, without needing a drawing driver for images.
void vlafint::enlargePattern(int width, int height) {
  vimage* pattern = vlafGetImage(58);
  if (!pattern || pattern->width <= 0 || pattern->height <= 0) return;
  vimage* tile = vimageCreateSized(pattern->width, pattern->height, pattern->numColors);
  vpixmapCopyPixels(pattern, tile);
  vpixmapSetSize(pattern, width, height, 0, 0);
  for (int y = 0; y < height; y += tile->height)
    for (int x = 0; x < width; x += tile->width)
      vpixmapCopyRect(tile, pattern, 0, 0, std::min(int(tile->width), width - x), std::min(int(tile->height), height - y),
                      x, y);
  vimageDestroy(tile);
}

vimage* vlafint::patternPiece(int width, int height) {
  for (vimage* piece : process.patternPieces)
    if (piece->width == width && piece->height == height) return piece;
  vimage* pattern = vlafGetImage(58);
  if (!pattern || pattern->width <= 0 || pattern->height <= 0 || width <= 0 || height <= 0) return nullptr;
  // A few sizes are in use at once (the two scroll bars of a view).
  if (process.patternPieces.size() >= 8) {
    vimageDestroy(process.patternPieces.front());
    process.patternPieces.erase(process.patternPieces.begin());
  }
  // Tiled from the pattern as enlargePattern tiles it, which stays as it is.
  vimage* piece = vimageCreateSized(width, height, pattern->numColors);
  for (int y = 0; y < height; y += pattern->height)
    for (int x = 0; x < width; x += pattern->width)
      vpixmapCopyRect(pattern, piece, 0, 0, std::min(int(pattern->width), width - x),
                      std::min(int(pattern->height), height - y), x, y);
  process.patternPieces.push_back(piece);
  return piece;
}

void _vlafShutdown() {
  dropPatternPieces();
  for (vimage*& i : process.images)
    if (i) vimageDestroy(std::exchange(i, nullptr));
  for (vimage*& g : process.glyphs)
    if (g) vimageDestroy(std::exchange(g, nullptr));
  vlafint::shutdownDrawing();
  vlafint::shutdownColors();
  process = Process{};
}
