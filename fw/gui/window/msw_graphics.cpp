// What the window layer asks of the Windows graphics: the drawing driver of
// windows and images, the colour layer's start-up with the monochrome flag,
// the palette test and the background brush, and the font set-up of the
// start-up.
//
// - **Graphics** (`msw_graphics.cpp`): windows bind with the GDI drawing driver (`vdrawMSWDriver`,
//   below), which the palette step also registers as the image driver when no other was registered
//   first (tests register the recording driver); the palette step starts the colour layer (below)
//   and takes its monochrome flag, the palette test and the background brush are the colour layer's,
//   and `_vwindowMSWStartFonts` (start-up step 6) is where the font device's start-up goes. The
//   start-up takes its display context from the DC cache and tells the GDI half (`mswgdi.h`) the
//   root window, image depth, system age, bitmap workaround and auxiliary library; shutdown deletes
//   the cached contexts and frees the object caches. A scroll's region comes from
//   `vwindowMSWCreateRectRgn`, its data from `vwindowMSWGetRegionData` and its context from
//   `vwindowGetMSWDC`.
#include <cstdio>
#include <string>
#include <vector>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/msw_internal.h"

namespace {

std::vector<std::string> driverLog;

// The lines of the window layer's first recording driver: rectangles back
// in window coordinates (from the bottom left), fills with their colour.
std::string rectsText(const vdrawMSWTraceCall& c) {
  std::string s;
  for (int i = 0; i < c.count; ++i) {
    const vrect& r = c.rects[i];
    char b[64];
    std::snprintf(b, sizeof b, "%s(%d,%d,%d,%d)", i ? " " : "", r.x, c.pageHeight - r.y - r.height, r.width,
                  r.height);
    s += b;
  }
  return s;
}

std::string colorText(vcolor* c) {
  if (!c) return "none";
  unsigned r, g, b;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  char t[48];
  std::snprintf(t, sizeof t, "%u,%u,%u", r, g, b);
  return t;
}

void record(const vdrawMSWTraceCall& c) {
  std::string op = c.operation, line;
  if (op == "open") line = "open flags=" + std::to_string(c.value);
  else if (op == "close" || op == "image" || op == "mask") line = op;
  else if (op == "show") line = "show " + std::string(c.text, static_cast<std::size_t>(c.count));
  else if (op == "fill") line = "fill " + rectsText(c) + " color=" + colorText(vdrawGetState()->color);
  else if (op == "fillPolygon" || op == "strokePolyline") line = op + " " + std::to_string(c.value);
  else if (op == "clipToMask") line = "clipToMask " + std::to_string(c.value) + "," + std::to_string(c.value2);
  else line = op + " " + rectsText(c);
  driverLog.push_back(std::move(line));
}

}  // namespace

const vdrawDriverRecord* vwindowMSWGetDriver() { return &vdrawMSWDriver; }

std::vector<std::string> vwindowMSWTakeDriverLog() {
  _vdrawMSWSetTrace(record);
  std::vector<std::string> taken;
  taken.swap(driverLog);
  return taken;
}

void _vwindowMSWStartPalette() {
  _vcolorMSWStartup();
  _vwindowMSW().monochrome = vcolorMSWGetMode() == vcolorMSW_MONOCHROME;
  // Images draw through the same driver, unless a test put its own first.
  if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(&vdrawMSWDriver, 0);
}

int vwindowMSWIsPaletteStable(vcolor* color) { return vcolorMSWIsPaletteStable(color); }

win::HBRUSH vwindowMSWGetBackgroundBrush(vcolor* color) { return vcolorMSWGetBrush(color ? color : vcolorGetWhite()); }

void _vwindowMSWFreeGraphics() {
  _vdrawMSWSetTrace(nullptr);
  driverLog.clear();
  driverLog.shrink_to_fit();
}

void _vwindowMSWStartFonts() { vfontMSWStartup(); }
