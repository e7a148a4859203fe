// The drawing layer's records, shared by the files of platform/gdi.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/region.h"
#include "platform/kernel/handles.h"
#include "platform/win.h"

namespace win::internal {

// Pixels: XRGB words. A 1-bit surface holds only 0 and 0xFFFFFF, so the
// bitwise raster operations treat both kinds alike.
struct Surface {
  int width = 0, height = 0;
  bool mono = false;
  std::vector<std::uint32_t> px;

  void reset(int w, int h, bool m, std::uint32_t fill) {
    width = w, height = h, mono = m;
    px.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill);
  }
  std::uint32_t* row(int y) { return px.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); }
  const std::uint32_t* row(int y) const {
    return px.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
  RECT bounds() const { return {0, 0, width, height}; }
};

inline constexpr std::uint32_t kMonoWhite = 0xFFFFFF;
inline constexpr std::uint32_t toXrgb(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }
inline constexpr COLORREF toColorref(std::uint32_t p) { return (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF); }
// One bit from a colour: 1 when nearer white than black (black on a tie).
std::uint32_t monoOf(std::uint32_t xrgb);

struct Brush {
  UINT style = BS_SOLID;
  COLORREF color = 0;
  bool mono = false;                    // a 1-bit pattern: text and background colours
  std::array<std::uint32_t, 64> pattern{};  // 8 x 8, rows top first
  ULONG_PTR hatch = 0;
};

struct Dc;

struct GdiObject {
  explicit GdiObject(DWORD t) : type(t) {}
  DWORD type;
  bool stock = false;
  int selected = 0;  // how many device contexts hold it
  Region region;
  Surface bitmap;
  Brush brush;
  LOGPEN pen{};
  // How a pen draws: its full style, width, colour or pattern and dashes.
  DWORD penStyle = 0;
  bool geometric = false;
  Brush penBrush;
  std::vector<DWORD> dashes;
  LOGFONTA font{};
  std::vector<PALETTEENTRY> palette;
  std::unique_ptr<Dc> dc;
};

enum class DcKind : std::uint8_t { window, memory, screen, printer };

// The pseudo printer: a 150-dpi US-letter sheet whose printable area starts
// at (25, 25), where device (0, 0) lies.
inline constexpr int kSheetWidth = 1275, kSheetHeight = 1650, kPrintOffset = 25, kPrintDpi = 150;
inline constexpr int kPrintWidth = kSheetWidth - 2 * kPrintOffset, kPrintHeight = kSheetHeight - 2 * kPrintOffset;

struct Dc {
  DcKind kind = DcKind::memory;
  HDC handle = nullptr;
  HWND hwnd = nullptr;
  bool whole = false;   // DCX_WINDOW: the window's whole rectangle
  DWORD flags = 0;      // DCX_CLIPCHILDREN, DCX_CLIPSIBLINGS
  bool own = false;     // a CS_OWNDC window's context
  bool cache = false;   // handed out by GetDC and taken back by ReleaseDC
  HGDIOBJ bitmap = nullptr, pen = nullptr, brush = nullptr, font = nullptr, palette = nullptr;
  COLORREF text = 0, bk = 0xFFFFFF;
  int bkMode = OPAQUE, rop2 = R2_COPYPEN, stretchMode = BLACKONWHITE, graphicsMode = GM_COMPATIBLE;
  POINT brushOrg{}, viewportOrg{}, current{};
  XFORM world{1, 0, 0, 1, 0, 0};  // set only in GM_ADVANCED (world.h)
  int polyFillMode = 1;  // ALTERNATE
  UINT textAlign = 0;    // TA_TOP | TA_LEFT
  std::optional<Region> paintClip, appClip;
  // The visible region in device coordinates, valid for one generation
  // of the window tree; the effective clip is made from it on demand.
  Region visible;
  std::uint64_t visibleGeneration = ~std::uint64_t{0};
  Region clip;
  bool clipStale = true;
  std::shared_ptr<Surface> sheet;  // a printer's page
  // A printer's document, StartDocA to EndDoc, and what PASSTHROUGH sent.
  struct Document {
    bool open = false, inPage = false;
    std::string output;
    int page = 0;
  } document;
  std::vector<std::string> passthrough;
};

// The pseudo printer's PASSTHROUGH escape (a test switch turns it on).
bool printerPassthrough();

HandleTable<GdiObject>& gdiObjects();
// The object behind a handle when it has the type (0: any type).
GdiObject* gdiObject(const void* h, DWORD type = 0);
template <class H>
H addGdiObject(std::unique_ptr<GdiObject> o) {
  std::uintptr_t v = gdiObjects().add(std::move(o));
  if (!v) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return asHandle<H>(v);
}
Dc* dcOf(HDC hdc);
HRGN newRegion(Region r);
Region* regionOf(HRGN h);

// Colours through the DC's palette (PALETTEINDEX), as XRGB.
std::uint32_t resolveColor(const Dc& dc, COLORREF c);

// Where a DC draws: a surface, the offset of device (0, 0) in it and the
// effective clip in device coordinates. The screen draws into a scratch
// composition that `finishTarget` writes back into the windows.
struct Target {
  Surface* surface = nullptr;
  POINT origin{};
  const Region* clip = nullptr;  // the DC's own, valid for the call
  HWND root = nullptr;  // the window whose buffer this is
  bool screen = false;
};
bool targetOf(Dc& dc, Target& t);
void finishTarget(const Target& t, const RECT& deviceArea);
const Region& effectiveClip(Dc& dc);
void clipChanged(Dc& dc);

// Window buffers: one per top-level or pop-up window, its size.
Surface* windowBuffer(HWND root);
void forgetWindowGraphics(HWND hwnd);
// The dirty part of each buffer goes to the back-end.
void presentDirty();
// A back-end's window lost part of its picture: the buffer's pixels go out
// again; false when there is no buffer to show.
bool presentAgain(HWND root, const RECT& surfaceArea);
void markDirty(HWND root, const RECT& surfaceArea);
std::uint64_t windowGeneration();
// The screen as the windows compose it over the desktop colour.
void composeScreen(Surface& out);

}  // namespace win::internal
