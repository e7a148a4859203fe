// The dialog's item-owner record and the window's exclusive-or colour test.
#include <vector>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/window/window_internal.h"

namespace {

vwindow* self(vwindow* w) { return w; }
void contentRect(vwindow* w, vrect* out) { *out = vrect{0, 0, w->rect.width, w->rect.height}; }
int always(vwindow*) { return 1; }
void determineColors(vwindow* w, vcolorScheme* s, std::uint32_t mask, vcolorScheme* result) {
  vwindowClassOf(w)->determineColors(w, s, mask, result);
}
void bindDraw(vwindow* w) { vwindowClassOf(w)->bindDraw(w, 0); }

}  // namespace

const vdialogOwnerRecord vdialogOwnerInterface{
    3,           self,        vwindowGetCursor,         vwindowGetFont, vwindowDetermineColorList, vwindowGetLineWidth,
    contentRect, contentRect, vwindowMSWGetKeyDict,     vwindowMSWGetOverrideKeyDict,
    always,      always,      determineColors,          bindDraw};

int vwindowTestXorColors(vcolor** const* table, int rows, int columns) {
  if (rows < 2 || columns < 2) return 1;
  vwindowEnsureStartup();
  // The colour layer reads one block of rows; a driver that gives repeated
  // colours their own cells may replace entries, which go back to the rows.
  std::vector<vcolor*> flat(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j) flat[static_cast<std::size_t>(i) * columns + j] = table[i][j];
  int answer = vcolorCheckXorTable(flat.data(), rows, columns);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j) table[i][j] = flat[static_cast<std::size_t>(i) * columns + j];
  return answer;
}
