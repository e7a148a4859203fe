// Owner-drawn native menu entries: a bar title or a menu item painted by
// the framework into an image the entry's size, then copied onto the
// device context the platform hands over.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/mswmenu.h"

namespace {

int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

// paint(width, height) draws with the origin at the entry's bottom left.
template <typename Paint>
void paintEntry(win::HDC dc, const win::RECT& rc, Paint paint) {
  int width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return;
  vimage* image = vimageCreateSized(width, height, 0x1000000u);
  vdrawGSave();
  vdrawBindImage(image, 0);
  paint(width, height);
  vdrawGRestore();
  win::HDC source = win::CreateCompatibleDC(dc);
  win::HGDIOBJ old = win::SelectObject(source, vcolorMSWGetPixmapBitmap(image));
  win::BitBlt(dc, rc.left, rc.top, width, height, source, 0, 0, win::SRCCOPY);
  win::SelectObject(source, old);
  win::DeleteDC(source);
  vimageDestroy(image);
}

bool sameColor(vcolor* a, vcolor* b) { return a && b && (a == b || vcolorSpecsEqual(&a->desc, &b->desc)); }

// A bar title: the highlight or menu colour, the title half a font height
// in and centred, greyed through the look's pattern where colour alone
// would not show it.
void drawTitle(vmenubar* bar, vmenu* menu, bool selected, int width, int height) {
  bool enabled = vmenuIsEnabled(menu) && vmenubarIsEnabled(bar);
  vcolor* fill = vdialogGetItemColor(bar, selected ? vcolorBACKGROUND_HILITE : vcolorBACKGROUND);
  vcolor* text = vdialogGetItemColor(bar, (selected ? vcolorFOREGROUND_HILITE : vcolorFOREGROUND) + (enabled ? 0 : 1));
  vfont* font = vdialogDetermineItemFont(bar);
  if (fill) vdrawSetColor(fill);
  vdrawRectFill(0, 0, width, height);
  if (!font) return;
  vdrawSetFont(font);
  int fontHeight = rounded(vfontGetHeight(font));
  int descent = rounded(vfontGetDriver()->descent(font));
  if (!enabled && (selected || sameColor(text, vcolorGetBlack()) || sameColor(text, fill))) {
    vrect all = {0, 0, std::int16_t(width), std::int16_t(height)};
    vlafDrawPatternRect(&all);
    if (!selected) text = vcolorGetBlack();
  }
  if (text) vdrawSetColor(text);
  int x = fontHeight / 2, y = (height - fontHeight) / 2 + descent;
  vdrawPathMoveTo(x, y);
  vdrawGetPrimitives()->Show(menu->title, int(std::strlen(menu->title)));
  if (menu->mnemonic) {
    vdrawPathMoveTo(x, y);
    vlafDrawMnemonic(menu->title, menu->mnemonic);
  }
}

// A menu item through its own drawing slot, in its menu's colours and
// font, on the menu's background over the whole width the platform gives.
void drawItem(vmenuItem* item, bool selected, int width, int height) {
  vmenu* menu = vmenuItemGetMenu(item);
  if (!vmenuItemListGetGeometry(&menu->items)) vmenuUpdateGeometry(menu);
  vrect r;
  vmenuTextPosition text;
  vmenuItemListItemRect(&menu->items, vobjectListIndexOf(&menu->items, item), &r, &text);
  if (vcolor* c = vwindowDetermineColor(menu, vcolorFOREGROUND)) vdrawSetColor(c);
  if (vcolor* c = vwindowDetermineColor(menu, vcolorBACKGROUND)) vdrawSetSecondColor(c);
  if (vfont* f = vwindowGetFont(menu)) vdrawSetFont(f);
  vdrawGSave();
  vdrawSetColor(vdrawGetState()->secondColor);
  vdrawRectFill(0, 0, width, height);
  vdrawGRestore();
  vdrawTranslate(-r.x, -r.y);
  if (selected) vmenuItemClassOf(item)->drawHighlighted(item, &r, &text);
  else vmenuItemClassOf(item)->drawNormal(item, &r, &text);
}

bool isMenu(const void* data) {
  auto* o = static_cast<const vobject*>(data);
  return o && vclassIsSubclass(o->cls, vmenuGetDefaultClass());
}

}  // namespace

win::LRESULT vmswmenuDrawEntry(vmenubar* bar, win::LPARAM lParam) {
  auto* dis = reinterpret_cast<win::DRAWITEMSTRUCT*>(lParam);
  if (!dis || dis->CtlType != win::ODT_MENU || !dis->itemData) return 0;
  void* data = reinterpret_cast<void*>(dis->itemData);
  bool selected = dis->itemState & win::ODS_SELECTED;
  if (isMenu(data)) {
    if (!bar) return 0;
    paintEntry(dis->hDC, dis->rcItem,
               [&](int width, int height) { drawTitle(bar, static_cast<vmenu*>(data), selected, width, height); });
    return 1;
  }
  auto* item = static_cast<vmenuItem*>(data);
  if (!vmenuItemGetMenu(item)) return 0;
  paintEntry(dis->hDC, dis->rcItem, [&](int width, int height) { drawItem(item, selected, width, height); });
  return 1;
}
