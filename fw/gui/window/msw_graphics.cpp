// What the window layer asks of the Windows graphics: the drawing driver of
// windows and images, the colour layer's start-up with the monochrome flag,
// the palette test and the background brush, and the font set-up of the
// start-up.
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

void record(const char* operation, const vrect* r, int n) {
  std::string line = operation;
  for (int i = 0; i < n; ++i) {
    char b[64];
    std::snprintf(b, sizeof b, " (%d,%d,%d,%d)", r[i].x, r[i].y, r[i].width, r[i].height);
    line += b;
  }
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
