// What the window layer asks of the Windows graphics: the drawing driver of
// windows and images, the colour layer's start-up with the monochrome flag,
// the palette test and the background brush, and the font set-up of the
// start-up.
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/msw_internal.h"

const vdrawDriverRecord* vwindowMSWGetDriver() { return &vdrawMSWDriver; }

void _vwindowMSWStartPalette() {
  _vcolorMSWStartup();
  _vwindowMSW().monochrome = vcolorMSWGetMode() == vcolorMSW_MONOCHROME;
  // Images draw through the same driver, unless a test put its own first.
  if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(&vdrawMSWDriver, 0);
}

int vwindowMSWIsPaletteStable(vcolor* color) { return vcolorMSWIsPaletteStable(color); }

win::HBRUSH vwindowMSWGetBackgroundBrush(vcolor* color) { return vcolorMSWGetBrush(color ? color : vcolorGetWhite()); }

void _vwindowMSWFreeGraphics() {}

void _vwindowMSWStartFonts() { vfontMSWStartup(); }
