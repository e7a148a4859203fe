// The dialog's item-owner record and the window's exclusive-or colour test.
#include "fw/gui/window/window_internal.h"

namespace {

vwindow* self(vwindow* w) { return w; }
void contentRect(vwindow* w, vrect* out) { *out = vrect{0, 0, w->rect.width, w->rect.height}; }
int always(vwindow*) { return 1; }
void determineColors(vwindow* w, vcolorScheme* s, std::uint32_t mask, vcolorScheme* result) {
  vwindowClassOf(w)->determineColors(w, s, mask, result);
}
void bindDraw(vwindow* w) { vwindowClassOf(w)->bindDraw(w, 0); }

// The display's pixel value of a colour: 0x00BBGGRR.
std::uint32_t pixelOf(vcolor* c) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  return (r >> 8) | ((g >> 8) << 8) | ((b >> 8) << 16);
}

}  // namespace

const vdialogOwnerRecord vdialogOwnerInterface{
    3,           self,        vwindowGetCursor,         vwindowGetFont, vwindowDetermineColorList, vwindowGetLineWidth,
    contentRect, contentRect, vwindowMSWGetKeyDict,     vwindowMSWGetOverrideKeyDict,
    always,      always,      determineColors,          bindDraw};

int vwindowTestXorColors(vcolor* const* const* table, int rows, int columns) {
  if (rows < 2 || columns < 2) return 1;
  vwindowEnsureStartup();
  // Until the display driver can give repeated colours private cells, the
  // pixel values decide alone.
  for (int j = 1; j < columns; ++j) {
    std::uint32_t first = pixelOf(table[0][j - 1]) ^ pixelOf(table[0][j]);
    for (int i = 1; i < rows; ++i)
      if ((pixelOf(table[i][j - 1]) ^ pixelOf(table[i][j])) != first) return 0;
  }
  return 1;
}
