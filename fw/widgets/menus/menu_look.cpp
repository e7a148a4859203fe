#include "fw/widgets/menus/menu_look.h"

#include <algorithm>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/menus/item_look.h"

namespace {

// The menu whose end is running, cleared when it is destroyed meanwhile.
vmenu* ending = nullptr;

const vrect& rootRect() { return vwindowGetRoot()->rect; }

void keepInsideHorizontally(vmenu*, const vrect*, vrect* r) {
  const vrect& root = rootRect();
  int right = root.x + root.width - 4 - r->width;
  r->x = std::int16_t(std::max(int(root.x) + 4, std::min(int(r->x), right)));
}

// Below the screen with its top in the lower half: above the anchor instead.
void keepWithFlip(vmenu* m, const vrect* anchor, vrect* r) {
  const vrect& root = rootRect();
  if (anchor && r->y < root.y && r->y + r->height < root.y + root.height / 2) {
    int offset = vmenuLookMenuOffset();
    vrect shrunk = {anchor->x, std::int16_t(anchor->y + offset), anchor->width,
                    std::int16_t(std::max(0, anchor->height - 2 * offset))};
    int horizontal = (vlafGetCurrent()->flags & vlafPOPUP_PLACEMENT_6) ? 6 : 3;
    vrectAlign(r, &shrunk, horizontal, 9, r);
  }
  keepInsideHorizontally(m, anchor, r);
}

int margin(vmenu* m) { return int(vwindowGetLineWidth(m)); }

void startMargins(vmenu* m, vmenuFrameMargins* f) {
  int v = margin(m);
  *f = vmenuFrameMargins{};
  f->left = f->right = f->bottom = f->top = std::uint16_t(v);
}
int descentOf(vmenu* m) {
  vfont* font = vwindowGetFont(m);
  return font ? int((std::int64_t(vfontGetDriver()->descent(font)) + 0x8000) >> 16) : 0;
}
void defaultMargins(vmenu* m, vmenuFrameMargins* f) { startMargins(m, f); }
// Looks that adjust nothing else still keep the descenders inside the item.
void plainMargins(vmenu* m, vmenuFrameMargins* f) {
  startMargins(m, f);
  f->baseline = std::uint16_t(descentOf(m) + margin(m));
  f->upper = std::uint16_t(margin(m));
}
void windowsMargins(vmenu* m, vmenuFrameMargins* f) {
  startMargins(m, f);
  f->right = std::uint16_t(f->right + margin(m));
  f->bottom = std::uint16_t(f->bottom + margin(m));
  f->baseline = std::uint16_t(descentOf(m) + 2);
  if (vmenuIsMirrored(m)) f->left = f->right = 0;
}
void win95Margins(vmenu* m, vmenuFrameMargins* f) {
  startMargins(m, f);
  f->left = f->right = f->bottom = f->top = 3;
  f->baseline = std::uint16_t(descentOf(m) + 3);
  f->upper = 1;  // fonts here carry no extra line spacing of their own
  if (vmenuIsMirrored(m)) f->left = f->right = 0;
}
void motifMargins(vmenu* m, vmenuFrameMargins* f) {
  startMargins(m, f);
  f->left = std::uint16_t(f->left * 4);
  f->right = std::uint16_t(f->right * 4);
  f->bottom = std::uint16_t(f->bottom * 2);
  f->top = std::uint16_t(f->top * 2);
  f->upper = std::uint16_t(descentOf(m) + margin(m));
  f->baseline = std::uint16_t(f->upper + 1);
}

vcolor* color(vmenu* m, int index) { return vwindowDetermineColor(m, index); }
void frameOne(vmenu*, const vrect* r) { vdrawRectFrame(r->x, r->y, r->width, r->height); }
void frameWindows(vmenu* m, const vrect* r) {
  if (vcolor* c = color(m, vcolorCOLOR_BORDER)) vdrawSetColor(c);
  vdrawRectFrame(r->x, r->y, r->width, r->height);
  vdrawRectFill(r->x + 2, r->y + 1, r->width - 3, 1);
  vdrawRectFill(r->x + r->width - 2, r->y + 1, 1, r->height - 3);
}
void frame3D(vmenu* m, const vrect* r) {
  vdrawRectsFrameShaded(r, 1, nullptr, color(m, vcolorSHADOW_TOP), color(m, vcolorSHADOW_BOTTOM));
}
void frameWin95(vmenu* m, const vrect* r) {
  frame3D(m, r);
  vrect inner = {std::int16_t(r->x + 1), std::int16_t(r->y + 1), std::int16_t(r->width - 2), std::int16_t(r->height - 2)};
  frame3D(m, &inner);
}

void popupNearPoint(vmenu* m, vwindow* w, int x, int y) {
  int rx, ry;
  vwindowTranslatePoint(w, nullptr, x, y, &rx, &ry);
  int offset = vmenuLookMenuOffset();
  vrect anchor = {std::int16_t(rx - 4), std::int16_t(ry + offset - 4), 9, 9};
  vmenuPopupInRect(m, &anchor, (vlafGetCurrent()->flags & vlafPOPUP_PLACEMENT_6) ? 6 : 3, 1);
}
void popupOverItem(vmenu* m, vwindow* w, int x, int y) {
  int rx, ry;
  vwindowTranslatePoint(w, nullptr, x, y, &rx, &ry);
  vmenuPopupAtItem(m, rx, ry);
}

int onAnchor(vmenu* m, int x, int y) {
  if (!m->popup) return 0;
  const vrect& a = m->popup->anchor;
  return vrectContainsPoint(&a, x + m->rect.x, y + m->rect.y);
}

// The steps of ending a menu, with or without an item.
void endMenu(vmenu* m, vmenuItem* item, vevent* event) {
  if (item && (item->flags & vmenuItemTOGGLE))
    vmenuItemSetToggle(item, (item->flags & vmenuItemEXCLUSIVE) ? 1 : !vmenuItemIsToggleOn(item));
  vmenuItemListClearHighlight(&m->items);
  if (vwindowIsOpen(m) && !(m->menuFlags & vmenuPINNED)) vwindowClose(m);
  vmenuPopupHook hook = vmenuGetPopupHook(m);
  vmenuItem* parent = vmenuGetOpenState(m);
  bool first = m->menuFlags & vmenuHOOK_FIRST;
  vmenu* outer = ending;
  ending = m;
  auto alive = [&] { return ending == m; };
  if (hook && first) hook(parent, event);
  if (alive()) vmenuClassOf(m)->setSelection(m, item);
  if (alive() && item) vmenuItemSelect(item, event);
  // The menu's own notify function hears of every choice.
  if (alive() && item) vwindowClassOf(m)->notify(m, event);
  if (alive() && hook && !first) hook(parent, event);
  if (alive() && !vwindowIsOpen(m)) {
    // The press that ended the menu goes on to the window under the pointer,
    // but not to one a modal window blocks (a modal window's own menu ended
    // over the window it holds off).
    if (event && event->type == veventBUTTON_DOWN) {
      vwindow* under = vwindowGetPointerWindow();
      if (under && under != vwindowGetRoot() && under != m && !vwindowMSWBlockedBy(under)) {
        vevent* again = veventCopy(event);
        vwindowTranslateEvent(veventGetWindow(event), under, again);
        again->priority = 191;
        veventPost(again);
      }
    }
    m->menuFlags &= ~vmenuHOOK_FIRST;
    if (m->popup) {
      vmemFree(m->popup);
      m->popup = nullptr;
    }
  }
  ending = outer;
}

// A Win95 click on the frame, outside the items, keeps the menu open.
int win95Button(vmenu* m, vevent* event) {
  int x = veventGetX(event), y = veventGetY(event);
  const vrect& v = vmenuItemListGetGeometry(&m->items)->visible;
  bool inMenu = x >= 0 && y >= 0 && x < m->rect.width && y < m->rect.height;
  return inMenu && !vrectContainsPoint(&v, x, y);
}

const vmenuLook kDefault = {keepInsideHorizontally, defaultMargins, frameOne, popupOverItem, onAnchor, nullptr,
                            endMenu, nullptr};
const vmenuLook kWindows = {keepWithFlip, windowsMargins, frameWindows, popupNearPoint, onAnchor, nullptr, endMenu,
                            nullptr};
const vmenuLook kWin95 = {keepWithFlip, win95Margins, frameWin95, popupNearPoint, onAnchor, nullptr, endMenu,
                          win95Button};
const vmenuLook kMotif = {keepInsideHorizontally, motifMargins, frame3D, popupOverItem, onAnchor, nullptr, endMenu,
                          nullptr};
const vmenuLook kCua = {keepWithFlip, plainMargins, frame3D, popupNearPoint, onAnchor, nullptr, endMenu, nullptr};
const vmenuLook kOpenLook2D = {keepInsideHorizontally, plainMargins, frameOne, popupOverItem, onAnchor, nullptr,
                               endMenu, nullptr};
const vmenuLook kOpenLook3D = {keepInsideHorizontally, plainMargins, frame3D, popupOverItem, onAnchor, nullptr,
                               endMenu, nullptr};

}  // namespace

const vmenuLook* vmenuLookFor(const vlaf* look) {
  switch (look->id) {
    case vlafWINDOWS: return &kWindows;
    case vlafWIN95: return &kWin95;
    case vlafMOTIF: return &kMotif;
    case vlafCUA: return &kCua;
    case vlafOPEN_LOOK: return (look->flags & vlaf3D) ? &kOpenLook3D : &kOpenLook2D;
    default: return &kDefault;
  }
}

int vmenuLookMenuOffset() { return vmenuItemGetLook()->metrics[3]; }

void _vmenuNoteDestroyed(vmenu* m) {
  if (ending == m) ending = nullptr;
}
