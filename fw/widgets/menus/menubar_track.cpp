// A framework-drawn menu bar at work: drawing its titles, selecting one,
// popping its menu up under it and down again, the pointer along the
// strip, the keyboard navigation selectors, the keys it binds in its
// window and the highlight of keyboard mode in each look.
//
// With "nonativemenubar" the bar draws itself (`menubar_track.cpp`): titles per look in the native
// menu colours (the class binds its scheme colours 0, 2, 8 and 10 to the system's menu text, menu,
// highlighted text and highlight); a press on a title selects it and pops its menu under it. The
// menu's popup record carries the bar as parent, the bar's end hook, and a strip handler that the
// menu calls for presses and drags over the bar beside the title, so that dragging along the bar
// switches menus. While open the bar binds, in its window's key -> tag and key -> target maps (the
// dialog hands a key to the item its target map names), Alt+mnemonic to "Menu" and every item
// accelerator to "Select"; keyboard mode adds the arrows, Confirm, Abandon and the bare mnemonics,
// and gives Confirm and Abandon back to the dialog's items after. F10 in the Windows looks acts on
// its release through the dialog's menu-bar key state. Keyboard mode ends as the user turns elsewhere
// (`menubar_watch.cpp`). A Win95 bar sets its window's wants-motion flag when it opens, so that its
// titles follow the pointer while a bar menu is tracked. Open Look's "Select" (look flag 0x20)
// shows the title's default item inside the pressed title, drawn by the item itself
// (`vmenuItemDrawCentred`, shared with menu buttons), opens that item's sub-menu over the title at
// its current item with a strip handler of its own (it closes the sub-menu and hands presses and
// motion back to the bar's window), and chooses the default on a release in the bar. Under the
// global bar (Windows looks with the mdi and global flags) a frame's bar draws and opens its active
// document's titles along its own strip. Over a maximized document the strip is the frame's native
// menu line: every top-level window is created with an empty native menu, so the platform shows a
// line (the document's system box and buttons) only while a document is maximized, and the frame's
// bar, then of no height, draws its titles there through its set-up-drawing slot (a whole-window
// context, the origin moved from the client area to the line right of the system box). The platform
// paints the line before the client area, so the bar draws the titles as its window's `WM_PAINT`
// arrives (through the bar's menu procedure) and asks for one by damaging the client's top row when
// its titles change; menus open under the line, and a press on a title in the line (the non-client
// press with the menu hit code) selects it while the rest of the line stays the platform's.
#include <algorithm>
#include <cstring>
#include <utility>

#include "fw/core/command.h"
#include "fw/core/cp1252.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menubar_internal.h"

namespace {

// Win95: a bar menu is tracked (the titles follow the pointer).
bool tracking = false;

vdialogItemClassRec* base() { return vdialogItemGetDefaultClass(); }
vmenubarClassRec* rec(vmenubar* b) { return vmenubarClassOf(b); }
int look() { return _vmenubarLook(); }
bool windowsLook() { return _vmenubarWindowsLook(); }
bool motifOrCua() { return look() == vlafMOTIF || look() == vlafCUA; }
bool active(const vmenubar* b) { return (b->barFlags & vmenubarACTIVE) != 0; }
bool popped(const vmenubar* b) { return (b->barFlags & vmenubarPOPPED) != 0; }
bool isOpen(const vmenubar* b) { return (b->flags & vdialogItemOPEN) != 0; }
int inset(vmenubar* b) { return int(vdialogItemClassOf(b)->focusInset); }
vmenubar* asBar(vdialogItem* item) { return static_cast<vmenubar*>(item); }
vmenu* currentMenu(vmenubar* b) {
  return b->current >= 0 && b->current < vmenubarCount(b) ? vmenubarAt(b, b->current) : nullptr;
}
bool pushedLast(vmenubar* b) { return motifOrCua() && (b->barFlags & vmenubarLAST_RIGHT) && vmenubarCount(b) > 0; }
const void* keyOf(std::uint32_t key) { return reinterpret_cast<const void*>(std::uintptr_t(key) + 1); }
// Under the global bar a document's titles show in its frame's bar: the
// strip is the bar whose rectangle and window they use, the titles the
// bar whose menus and state they are.
vmenubar* strip(vmenubar* b) { return _vmenubarStrip(b); }
vmenubar* titles(vmenubar* b) { return vmenubarGlobalLook() ? vmenubarGetChildBar(b) : b; }
vwindow* windowOf(vmenubar* b) { return vmenubarGetWindow(strip(b)); }

// Open Look's "Select" previews a title's default item (the menu's
// default, else its first) in the pressed title, and opens that item's
// sub-menu over the title when it has one.
bool previews() { return (vlafGetCurrent()->flags & vlafSELECT_POPS_MENU) != 0; }
int openLookPreview = -1;
vmenu* openLookSubMenu = nullptr;
vmenuItem* previewItem(vmenu* m) {
  if (!m) return nullptr;
  vmenuItem* item = vmenuItemListGetDefault(&m->items);
  return item ? item : vmenuItemListCount(&m->items) ? vmenuItemListAt(&m->items, 0) : nullptr;
}

// Where title i starts and ends in the bar's space.
int titleLeft(vmenubar* b, int i) {
  if (pushedLast(b) && i == vmenubarCount(b) - 1) return b->edges[i];
  if (i == 0) return strip(b)->rect.x + (windowsLook() ? 0 : inset(b)) + b->leftMargin;
  return b->edges[i - 1];
}
int titleRight(vmenubar* b, int i) {
  if (pushedLast(b) && i == vmenubarCount(b) - 1) return b->edges[i + 1];
  return b->edges[i];
}

// ---- Drawing.
vcolor* color(vmenubar* b, int index) { return vdialogGetItemColor(b, index); }
void use(vcolor* c) {
  if (c) vdrawSetColor(c);
}
bool sameColor(vcolor* a, vcolor* b) { return a && b && (a == b || vcolorSpecsEqual(&a->desc, &b->desc)); }
bool isBlack(vcolor* c) { return c && sameColor(c, vcolorGetBlack()); }

void drawTitle(vmenu* m, int x, int y) {
  vdrawPathMoveTo(x, y);
  vdrawGetPrimitives()->Show(m->title, int(std::strlen(m->title)));
  if (m->mnemonic) {
    vdrawPathMoveTo(x, y);
    vlafDrawMnemonic(m->title, m->mnemonic);
  }
}

// A title in its colours: disabled ones in colour 1, or in black through
// the grey pattern when colour 1 would not show against the background.
void drawTitleIn(vmenubar* b, vmenu* m, int x, int y, int text, int greyed, int fill, const vrect& area) {
  bool off = !vmenuIsEnabled(m) || !vmenubarIsEnabled(b);
  vdrawGSave();
  if (off && (isBlack(color(b, greyed)) || sameColor(color(b, greyed), color(b, fill)))) {
    vlafDrawPatternRect(&area);
    use(vcolorGetBlack());
  } else {
    use(color(b, off ? greyed : text));
  }
  drawTitle(m, x, y);
  vdrawGRestore();
}

vrect titleRect(vmenubar* b, int i) {
  vrect r = _vmenubarStripRect(strip(b));
  return {std::int16_t(titleLeft(b, i)), r.y, std::int16_t(titleRight(b, i) - titleLeft(b, i)), r.height};
}

// The strip of bar s with the titles of bar t (the same bar but under the
// global bar).
void drawWindows(vmenubar* s, vmenubar* t) {
  vrect r = _vmenubarStripRect(s);
  int line = std::max(1, int(vdialogGetItemLineWidth(s)));
  use(color(s, vcolorBACKGROUND));
  vdrawRectFill(r.x, r.y, r.width, r.height);
  if (look() == vlafWIN95) use(vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND));
  else use(color(s, vcolorCOLOR_BORDER));
  vdrawRectFill(r.x, r.y, r.width, line);
  vdrawRectClip(r.x, r.y + line, r.width, r.height - line);
  _vmenubarPendingLayout(t);
  int y = r.y + t->baseline;
  for (int i = 0; i < vmenubarCount(t); ++i)
    drawTitleIn(t, vmenubarAt(t, i), titleLeft(t, i) + t->leftSpacing, y, vcolorFOREGROUND, vcolorFOREGROUND + 1,
                vcolorBACKGROUND, titleRect(t, i));
}

// Filled in colour 2 too: leaving keyboard mode erases the highlight in it.
void drawMotif(vmenubar* b) {
  const vrect& r = b->rect;
  use(color(b, vcolorBACKGROUND));
  vdrawRectFill(r.x, r.y, r.width, r.height);
  vdrawRectsFrameShaded(&r, 1, nullptr, color(b, vcolorSHADOW_TOP), color(b, vcolorSHADOW_BOTTOM));
  vdrawRectClip(r.x + 1, r.y + 1, std::max(0, r.width - 2), std::max(0, r.height - 2));
  int y = r.y + (r.height - b->titleHeight) / 2 + b->baseline;
  for (int i = 0; i < vmenubarCount(b); ++i)
    drawTitleIn(b, vmenubarAt(b, i), titleLeft(b, i) + b->leftSpacing, y, vcolorFOREGROUND, vcolorFOREGROUND + 1,
                vcolorBACKGROUND, titleRect(b, i));
}

vcolorScheme labelColors(vmenubar* b) {
  vcolorScheme s{};
  vdialogDetermineItemColors(b, vcolorSCHEME_ALL, &s);
  return s;
}
vrect openLookButton(vmenubar* b, int i) {
  return {std::int16_t(titleLeft(b, i)), std::int16_t(b->rect.y + 1),
          std::int16_t(_vmenubarTextWidth(b, vmenubarAt(b, i)) + 32), std::int16_t(b->rect.height - 3)};
}
void drawOpenLookTitle(vmenubar* b, int i, bool pressed) {
  vrect button = openLookButton(b, i);
  vcolorScheme s = labelColors(b);
  vlafDrawLabel(&button, pressed ? 0 : 2, &s);
  int y = button.y + (button.height - b->titleHeight) / 2 + b->baseline;
  drawTitleIn(b, vmenubarAt(b, i), button.x + 9, y, vcolorFOREGROUND, vcolorFOREGROUND + 1, vcolorBACKGROUND, button);
}
void drawOpenLookPreview(vmenubar* b, int i) {
  vrect button = openLookButton(b, i);
  vcolorScheme s = labelColors(b);
  vlafDrawLabel(&button, 0, &s);
  vmenuItem* item = previewItem(vmenubarAt(b, i));
  if (!item) return;
  vrect inside = {std::int16_t(button.x + 2), std::int16_t(button.y + 2), std::int16_t(button.width - 4),
                  std::int16_t(button.height - 4)};
  vdrawGSave();
  use(color(b, vcolorFOREGROUND));
  vmenuItemDrawCentred(item, &inside, vdialogDetermineItemFont(b));
  vdrawGRestore();
}
void drawOpenLook(vmenubar* b) {
  const vrect& r = b->rect;
  vwindow* w = vmenubarGetWindow(b);
  use(w ? vwindowDetermineColor(w, vcolorBACKGROUND)
        : vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND));
  vdrawRectFill(r.x, r.y, r.width, r.height);
  for (int i = 0; i < vmenubarCount(b); ++i) drawOpenLookTitle(b, i, false);
}

// The current title in keyboard mode (on), or back to normal, in the
// drawing state already set.
void paintCurrent(vmenubar* b, bool on) {
  vmenu* m = currentMenu(b);
  if (!m) return;
  vrect r = b->currentRect;
  vrect sr = _vmenubarStripRect(strip(b));
  if (windowsLook()) {
    int line = std::max(1, int(vdialogGetItemLineWidth(b)));
    vrect area = {r.x, std::int16_t(sr.y + line), r.width, std::int16_t(sr.height - line)};
    use(color(b, on ? vcolorBACKGROUND_HILITE : vcolorBACKGROUND));
    vdrawRectFill(area.x, area.y, area.width, area.height);
    if (on)
      drawTitleIn(b, m, r.x + b->leftSpacing, sr.y + b->baseline + (sr.height - b->titleHeight) / 2,
                  vcolorFOREGROUND_HILITE, vcolorFOREGROUND_HILITE + 1, vcolorBACKGROUND_HILITE, area);
    else
      drawTitleIn(b, m, r.x + b->leftSpacing, sr.y + b->baseline, vcolorFOREGROUND, vcolorFOREGROUND + 1,
                  vcolorBACKGROUND, area);
  } else if (motifOrCua()) {
    if (on) {
      vcolor* light = color(b, vcolorSHADOW_TOP);
      vcolor* dark = color(b, vcolorSHADOW_BOTTOM);
      if (look() == vlafCUA) std::swap(light, dark);
      vdrawRectsFrameShaded(&r, 1, nullptr, light, dark);
    } else {
      // The highlight shares its edges with the bar's frame: the bar is
      // drawn again whole, so neither a highlight nor a gap is left.
      drawMotif(b);
    }
  } else if (look() == vlafOPEN_LOOK && on) {
    if (previews() && openLookPreview == b->current) drawOpenLookPreview(b, b->current);
    else drawOpenLookTitle(b, b->current, true);
  }
}

// Keyboard mode shows at once, outside any update.
void drawCurrent(vmenubar* b, bool on) {
  vmenubar* s = strip(b);
  if (!currentMenu(b) || !vdialogItemIsVisible(s) || !vmenubarGetWindow(s)) return;
  vdrawGSave();
  vdialogItemClassOf(s)->setDrawingState(s);
  paintCurrent(b, on);
  vdrawGRestore();
}

void draw(vdialogItem* item) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) return;
  if (windowsLook() && vmenubarGlobalLook()) {
    if (vmenubarIsChildOfGlobal(b)) return;  // its frame's bar shows it
    b = titles(b);
  }
  _vmenubarPendingLayout(b);
  vdrawGSave();
  if (_vmenubarOverMaximized(asBar(item))) vdialogItemClassOf(item)->setDrawingState(item);
  if (windowsLook()) drawWindows(asBar(item), b);
  else if (motifOrCua()) drawMotif(b);
  else if (look() == vlafOPEN_LOOK) drawOpenLook(b);
  else base()->draw(item);
  vdrawGRestore();
  if (active(b)) {
    vdrawGSave();
    paintCurrent(b, true);
    vdrawGRestore();
  }
}

// ---- Keys. Three dictionaries: the window's key -> tag and key -> target
// and the bar's own key -> menu.
vdict* tagMap(vmenubar* b) { return b->owner->effective.keyMap(b->owner->owner); }
vdict* targetMap(vmenubar* b) { return b->owner->effective.mnemonicMap(b->owner->owner); }
vdict* menuMap(vmenubar* b) { return vdialogGetItemMnemonicMap(b); }

void bindKey(vmenubar* b, std::uint32_t key, vname tag, vmenu* m, bool on) {
  const void* k = keyOf(key);
  if (tag) vdictStore(tagMap(b), k, on ? tag : nullptr);
  vdictStore(targetMap(b), k, on ? b : nullptr);
  if (m) vdictStore(menuMap(b), k, on ? m : nullptr);
}

std::uint32_t mnemonicCode(vmenu* m) { return std::uint32_t(cp1252::lower[std::uint8_t(m->mnemonic)]) << 16; }

// The keys of a command, asked of the bar (they come from its dialog).
template <typename F>
void eachKey(vmenubar* b, vname command, F f) {
  auto* keys = static_cast<const vcommandKeyList*>(vobjectQueryTag(b, command, vname_Key));
  if (!keys) return;
  vcommandKeyIterator it;
  vcommandInitKeyIterator(&it, keys);
  for (; it.current != it.end; ++it.current) f(std::uint32_t(*it.current));
}

void bindBareMnemonics(vmenubar* b, bool on) {
  for (int i = 0; i < vmenubarCount(b); ++i)
    if (vmenu* m = vmenubarAt(b, i); m->mnemonic) bindKey(b, mnemonicCode(m), vname_Menu, m, on);
}

// Keyboard mode: the navigation keys come to the bar, and go back to the
// dialog's confirm and abandon items after.
void bindNavigation(vmenubar* b, bool on) {
  if (!b->owner || !isOpen(b)) return;
  const vname moves[] = {vname_Left, vname_Right, vname_Up, vname_Down};
  for (vname n : moves) eachKey(b, n, [&](std::uint32_t key) { vdictStore(targetMap(b), keyOf(key), on ? b : nullptr); });
  vdialogItem* confirm = vdialogItemListGetConfirmItem(b->owner);
  vdialogItem* abandon = vdialogItemListGetAbandonItem(b->owner);
  eachKey(b, vname_Confirm,
          [&](std::uint32_t key) { vdictStore(targetMap(b), keyOf(key), on ? static_cast<vdialogItem*>(b) : confirm); });
  eachKey(b, vname_Abandon,
          [&](std::uint32_t key) { vdictStore(targetMap(b), keyOf(key), on ? static_cast<vdialogItem*>(b) : abandon); });
  bindBareMnemonics(b, on);
}

// A rectangle along bar's strip in its window: over a maximized document
// the strip is the frame's menu line, above the client area, right of the
// document's system box.
vrect onWindow(vmenubar* bar, vrect r) {
  vmenubar* s = strip(bar);
  if (_vmenubarOverMaximized(s))
    return {std::int16_t(r.x - s->rect.x + _vmenubarButtonWidth() + 1), std::int16_t(vmenubarGetWindow(s)->rect.height + 1),
            r.width, std::int16_t(_vmenubarMenuLineHeight())};
  vdialogItemListTransformRect(s->owner, &r);
  return r;
}

// ---- Activation per look (slots 6 and 7).
void activate(vmenubar* b) {
  if (vmenubarIsNative(b)) {
    b->barFlags |= vmenubarACTIVE;
    return;
  }
  if (windowsLook() && (b->current == -2 || b->current == -3)) return;
  if (look() >= vlafWINDOWS && look() <= vlafWIN95) {
    bindNavigation(b, true);
    _vmenubarHoldKeys(b, true);
    b->barFlags |= vmenubarACTIVE;
    drawCurrent(b, true);
  } else {
    b->barFlags |= vmenubarACTIVE;
  }
}

void deactivate(vmenubar* b) {
  bool was = active(b);
  b->barFlags &= ~vmenubarACTIVE;
  if (vmenubarIsNative(b) || !was || look() < vlafWINDOWS || look() > vlafWIN95) return;
  _vmenubarHoldKeys(b, false);
  bindNavigation(b, false);
  if (look() == vlafOPEN_LOOK) {
    if (b->owner) vdialogItemClassOf(b)->invalRect(b, &b->currentRect, 0);
  } else {
    drawCurrent(b, false);
  }
}

void menuEnded(vmenuItem* parent, vevent* event);
int stripEvent(vobject* parent, vevent* event);

// ---- Selecting, popping up and down.

// The current title's rectangle on the root.
vrect rootAnchor(vmenubar* bar, vwindow* w) {
  vrect local = onWindow(bar, bar->currentRect), anchor = local;
  vwindowTranslateRect(w, nullptr, &local, &anchor);
  return anchor;
}

// A menu opened from the bar learns the strip either side of the title
// (in its own coordinates; none on the right for a right-pushed title),
// the bar as its parent, the bar's end hook and the strip handler given.
void tieToBar(vmenubar* bar, vmenu* m, vwindow* w, const vrect& anchor, bool noRight, vmenuStripHandler handler) {
  vrect alongLocal = onWindow(bar, _vmenubarStripRect(strip(bar))), along = alongLocal;
  vwindowTranslateRect(w, nullptr, &alongLocal, &along);
  vrect sides[2] = {{along.x, along.y, std::int16_t(anchor.x - along.x), along.height},
                    {std::int16_t(anchor.x + anchor.width), along.y,
                     std::int16_t(noRight ? 0 : along.x + along.width - anchor.x - anchor.width), along.height}};
  for (vrect& side : sides) {
    side.x = std::int16_t(side.x - m->rect.x);
    side.y = std::int16_t(side.y - m->rect.y);
  }
  vmenuClassOf(m)->setPopupRects(m, sides, 2);
  vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(bar));
  vmenuClassOf(m)->setPopupHook(m, menuEnded);
  m->popup->strip = handler;
}

}  // namespace

void vmenubarSelectTitle(vmenubar* bar, int index, vevent* event) {
  _vmenubarPendingLayout(bar);
  if (index < 0 || index >= vmenubarCount(bar)) return;
  int in = windowsLook() ? 0 : motifOrCua() ? inset(bar) : 0;
  int left = titleLeft(bar, index) - (look() == vlafOPEN_LOOK && index > 0 ? 1 : 0);
  vrect sr = _vmenubarStripRect(strip(bar));
  bar->currentRect = {std::int16_t(left), std::int16_t(sr.y + in), std::int16_t(titleRight(bar, index) - left),
                      std::int16_t(sr.height - 2 * in)};
  bar->current = std::int16_t(index);
  if (!windowOf(bar)) return;
  if (event && event->type == veventKEY_DOWN && veventGetBinding(event) == vname_Select) {
    vmenuItem* item = vmenuFindItemByAccelerator(currentMenu(bar), veventGetKeyValue(event));
    if (!item) return;
    rec(bar)->activate(bar);
    vmenu* owner = vmenuItemGetMenu(item);
    vmenuItemListClassOf(&owner->items)->setCurrentItem(&owner->items, item);
    if (!vmenuGetOpenState(owner)) vmenuClassOf(owner)->setPopupParent(owner, reinterpret_cast<vmenuItem*>(bar));
    vmenuEnd(owner, 1, event);
    rec(bar)->deactivate(bar);
    return;
  }
  rec(bar)->activate(bar);
  _vmenubarStartWatch(bar);
}

void vmenubarPopupMenu(vmenubar* bar, vevent* event) {
  if (windowsLook()) bar = titles(bar);
  vmenu* m = currentMenu(bar);
  vwindow* w = windowOf(bar);
  if (!m || !active(bar) || popped(bar) || !w || !vmenuIsEnabled(m)) return;
  vrect anchor = rootAnchor(bar, w);
  int placeX = 3;
  if (look() == vlafOPEN_LOOK) placeX = 6;
  if (motifOrCua() && (bar->barFlags & vmenubarLAST_RIGHT) && bar->current == vmenubarCount(bar) - 1) placeX = 11;
  if (windowsLook() && !_vmenubarOverMaximized(strip(bar))) {
    int in = inset(bar);
    anchor.y = std::int16_t(anchor.y + in);
    anchor.height = std::int16_t(std::max(0, anchor.height - in));
  }
  // Laid out afresh: a menu fitted under a title before takes its whole
  // height again.
  m->menuFlags |= vmenuGEOMETRY_STALE;
  vrect placed;
  vmenuPlaceInRect(m, &anchor, placeX, 1, &placed);
  vrect wanted;
  vrectAlign(&m->rect, &anchor, placeX, 1, &wanted);
  const vrect& root = vwindowGetRoot()->rect;
  bool flip = look() != vlafOPEN_LOOK && placed.y != wanted.y && placed.y + placed.height < root.y + root.height / 2;
  // Below the title and past the screen's foot: the room under the title,
  // with the lower arrow, so that every item can be reached.
  if (!flip && placed.y < root.y) vmenuFitHeight(m, placed.y + placed.height - root.y - 4);
  vmenuPopupInRect(m, &anchor, placeX, flip ? 9 : 1);
  if (event) vmenuHandleEvent(m, event);
  tieToBar(bar, m, w, anchor, placeX == 11, stripEvent);
  bar->barFlags |= vmenubarPOPPED;
  tracking = true;
}

void vmenubarPopdownMenu(vmenubar* bar) {
  if (windowsLook() && !_vmenubarWatching()) bar = titles(bar);
  if (!active(bar) || !popped(bar) || !windowOf(bar)) return;
  bar->barFlags &= ~vmenubarPOPPED;
  if (vmenu* m = currentMenu(bar); m && vwindowIsOpen(m)) vwindowClose(m);
}

void vmenubarEnd(vmenubar* bar) {
  if (windowsLook()) bar = titles(bar);
  _vmenubarCancelWatch(bar);
  rec(bar)->deactivate(bar);
}

namespace {

// The menu ended: Left and Right move on to the neighbouring title, a
// choice or a press elsewhere leaves keyboard mode.
void menuEnded(vmenuItem* parent, vevent* event) {
  auto* bar = reinterpret_cast<vmenubar*>(parent);
  if (!bar) return;
  if (event && event->type == veventKEY_DOWN) {
    vname tag = veventGetBinding(event);
    bool ours = tag == vname_Left || tag == vname_Right;
    if (look() >= vlafWINDOWS && look() <= vlafWIN95) ours = ours || tag == vname_Abandon || tag == vname_Confirm;
    if (ours) {
      vdialogItemClassOf(bar)->keyDown(bar, event);
      return;
    }
  }
  if (popped(bar)) vmenubarPopdownMenu(bar);
  bar->barFlags &= ~vmenubarPOPPED;
  vmenubarEnd(bar);
  if (!event || event->type != veventKEY_DOWN) {
    tracking = false;
    if (look() == vlafOPEN_LOOK) bar->current = -1;
  }
  if (look() == vlafOPEN_LOOK) {
    openLookPreview = -1;
    openLookSubMenu = nullptr;
  }
}

void closeSubMenu() {
  vmenu* sub = std::exchange(openLookSubMenu, nullptr);
  if (sub && vwindowIsOpen(sub)) vwindowClose(sub);
}

// Beside a preview's sub-menu: the sub-menu closes, keyboard mode ends and
// a press or motion goes back to the bar's window (a "Select" press is
// posted anew while the look previews, so that it previews again).
int openLookStripEvent(vobject* parent, vevent* event) {
  auto* bar = reinterpret_cast<vmenubar*>(parent);
  closeSubMenu();
  vmenubarEnd(bar);
  openLookPreview = -1;
  bar->current = -1;
  vwindow* w = windowOf(bar);
  bool press = event->type == veventBUTTON_DOWN;
  bool moved = event->type == veventPOINTER_DRAG || event->type == veventPOINTER_DRAG_LAST ||
               event->type == veventPOINTER_MOTION;
  if (!w || !(press || moved) || !veventGetWindow(event)) return 1;
  vevent* copy = veventCopy(event);
  vwindowTranslateEvent(veventGetWindow(event), w, copy);
  if (!press) copy->type = veventPOINTER_MOTION;
  if (press && previews() && veventGetBinding(event) == vname_Select) veventPost(copy);
  else veventDispatch(copy);
  return 1;
}

// The previewed item's sub-menu, over the title at its current item.
void openPreviewSubMenu(vmenubar* b, vevent* event) {
  vmenuItem* item = previewItem(currentMenu(b));
  vmenu* sub = item ? vmenuGetItemSubMenu(item) : nullptr;
  vwindow* w = windowOf(b);
  if (!sub || !w) return;
  vrect anchor = rootAnchor(b, w);
  vmenuPopupAtItem(sub, anchor.x + anchor.width / 2, anchor.y + anchor.height / 2);
  tieToBar(b, sub, w, anchor, false, openLookStripEvent);
  openLookSubMenu = sub;
  if (event) vmenuHandleEvent(sub, event);
}

// A pointer event on the strip beside the open menu's title goes back to
// the bar's window, so that another title takes over.
int stripEvent(vobject* parent, vevent* event) {
  auto* bar = reinterpret_cast<vmenubar*>(parent);
  if (vmenu* m = currentMenu(bar)) vmenuItemListClearHighlight(&m->items);
  vmenubarPopdownMenu(bar);
  if (event->type == veventBUTTON_UP) return 1;
  vmenubarEnd(bar);
  vwindow* w = windowOf(bar);
  bool again = event->type == veventBUTTON_DOWN || event->type == veventPOINTER_DRAG ||
               event->type == veventPOINTER_DRAG_LAST || event->type == veventPOINTER_MOTION;
  if (w && again && veventGetWindow(event)) {
    vevent* copy = veventCopy(event);
    vwindowTranslateEvent(veventGetWindow(event), w, copy);
    if (event->type != veventBUTTON_DOWN) copy->type = veventPOINTER_MOTION;
    veventPost(copy);
  }
  return 1;
}

// ---- Pointer.
int titleAt(vmenubar* b, int x) {
  _vmenubarPendingLayout(b);
  int from = strip(b)->rect.x + b->leftMargin - 1 + (windowsLook() ? 0 : inset(b));
  if (x < from) return -1;
  int n = vmenubarCount(b);
  for (int i = 0; i < n; ++i) {
    if (pushedLast(b) && i == n - 1) return x >= b->edges[i] && x < b->edges[i + 1] ? i : -1;
    if (b->edges[i] > x) return i;
  }
  return -1;
}

void leave(vmenubar* b) {
  vmenubarPopdownMenu(b);
  vmenubarEnd(b);
}

// A press on a title: the current one of an active bar closes (a drag over
// it is only consumed), any other opens.
int pressTitle(vmenubar* b, int index, vevent* event) {
  if (index == b->current && active(b)) {
    if (event->type == veventBUTTON_DOWN) leave(b);
    return 1;
  }
  if (active(b)) leave(b);
  vmenubarSelectTitle(b, index, event);
  vmenubarPopupMenu(b, event);
  return 1;
}

int pointerPress(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) return 0;
  int x = veventGetX(event);
  if (windowsLook() && vmenubarGlobalLook() && titles(b) != b) {
    b = titles(b);
    x -= 1;
  }
  int index = titleAt(b, x);
  if (index < 0) return base()->buttonDown(item, event);
  return pressTitle(b, index, event);
}

// Open Look: "Menu" pops the title's menu; "Select" previews its default
// item and chooses it on release when the look asks for that.

int openLookPress(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) return 0;
  int x = veventGetX(event), y = veventGetY(event);
  if (!vrectContainsPoint(&b->rect, x, y)) {
    if (active(b)) {
      vmenubarEnd(b);
      b->current = -1;
    }
    return 0;
  }
  if (x < b->rect.x + inset(b)) return 0;
  int index = titleAt(b, x);
  bool select = veventGetBinding(event) == vname_Select;
  if (index < 0) {
    if (active(b) && previews() && select) {
      leave(b);
      b->current = -1;
    }
    return 1;
  }
  if (previews() && select) {
    closeSubMenu();
    if (active(b)) {
      vmenubarPopdownMenu(b);
      if (index != b->current) vmenubarEnd(b);
    }
    if (index != openLookPreview) {
      openLookPreview = index;
      vmenubarSelectTitle(b, index, nullptr);
      openPreviewSubMenu(b, event);
    }
    return 1;
  }
  return pressTitle(b, index, event);
}

int openLookRelease(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (!previews() || veventGetBinding(event) != vname_Select) return base()->buttonUp(item, event);
  int previewed = openLookPreview;
  openLookPreview = -1;
  if (openLookSubMenu && vwindowIsOpen(openLookSubMenu)) previewed = -1;  // it chooses for itself
  vmenubarEnd(b);
  if (previewed >= 0 && previewed < vmenubarCount(b) && vrectContainsPoint(&b->rect, veventGetX(event), veventGetY(event))) {
    vmenu* m = vmenubarAt(b, previewed);
    vmenuItem* choice = vmenuItemListGetDefault(&m->items);
    if (!choice && vmenuItemListCount(&m->items)) choice = vmenuItemListAt(&m->items, 0);
    if (choice && vmenuItemIsEnabled(choice) && vmenuIsEnabled(m)) {
      if (choice->flags & vmenuItemTOGGLE)
        vmenuItemSetToggle(choice, (choice->flags & vmenuItemEXCLUSIVE) || !vmenuItemIsToggleOn(choice));
      vmenuClassOf(m)->setSelection(m, choice);
      if (!vmenuGetOpenState(m)) vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(b));
      vmenuItemSelect(choice, event);
    }
  }
  b->current = -1;
  return 1;
}

int buttonDown(vdialogItem* item, vevent* event) {
  return look() == vlafOPEN_LOOK ? openLookPress(item, event) : pointerPress(item, event);
}

int buttonUp(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) return 0;
  if (look() == vlafOPEN_LOOK) return openLookRelease(item, event);
  if (active(b) && !popped(b)) vmenubarEnd(b);
  return base()->buttonUp(item, event);
}

int motion(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) return 0;
  if (look() == vlafWIN95 && tracking) return pointerPress(item, event);
  return base()->pointerHook(item, event);
}

// ---- The keyboard table: selectors of the dialog item's command table.
enum : int { kSelect = 3, kMenu = 5, kMenuBar = 6, kLeft = 10, kRight = 11, kUp = 12, kDown = 13 };

void clearKey(vevent* e) {
  veventSetBinding(e, nullptr);
  veventSetKeyFields(e, 0, 0, 0);
  veventSetModifiers(e, 0);
}

void moveTo(vmenubar* b, int index, vevent* event) {
  bool wasPopped = popped(b);
  leave(b);
  vmenubarSelectTitle(b, index, event);
  if (wasPopped) vmenubarPopupMenu(b, event);
}

vmenu* boundMenu(vmenubar* b, vevent* e) {
  return e ? static_cast<vmenu*>(vdictGet(menuMap(b), keyOf(veventGetKeyValue(e)))) : nullptr;
}

int selectKey(vmenubar* b, vevent* e) {
  vname tag = e ? veventGetBinding(e) : nullptr;
  if (tag == vname_Abandon) {
    if (!active(b)) return 0;
    if (popped(b)) {
      vmenubarPopdownMenu(b);
      if (look() == vlafOPEN_LOOK) vmenubarEnd(b);
    } else {
      vmenubarEnd(b);
      tracking = false;
    }
    return 1;
  }
  if (tag == vname_Confirm) {
    if (!active(b)) return 0;
    if (popped(b)) {
      leave(b);
    } else {
      clearKey(e);
      vmenubarPopupMenu(b, e);
    }
    return 1;
  }
  if (tag == vname_Select) {
    vmenu* m = boundMenu(b, e);
    if (!m) return 0;
    if (active(b)) vmenubarEnd(b);
    vmenubarSelectTitle(b, vobjectListIndexOf(&b->menus, m), e);
    return 1;
  }
  return 1;
}

int issueSelector(vobject* self, int selector, vdict* context) {
  auto* b = static_cast<vmenubar*>(self);
  if (vmenubarIsNative(b)) return 0;
  if (windowsLook()) b = titles(b);  // the frame's keys work its document's titles
  auto* e = context ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event))) : nullptr;
  int n = vmenubarCount(b);
  switch (selector) {
    case kSelect: return selectKey(b, e);
    case kMenu: {
      vmenu* m = boundMenu(b, e);
      if (!m) return 0;
      bool mnemonicModifiers = (veventGetKeyValue(e) & 0xFFFF) == vlafGetCurrent()->mnemonicModifiers;
      if (!active(b) && !mnemonicModifiers) {
        clearKey(e);
        return 0;
      }
      if (active(b)) vmenubarEnd(b);
      clearKey(e);
      vmenubarSelectTitle(b, vobjectListIndexOf(&b->menus, m), e);
      vmenubarPopupMenu(b, e);
      return 1;
    }
    case kMenuBar:
      if (active(b)) {
        if (popped(b)) vmenubarPopdownMenu(b);
        vmenubarEnd(b);
      } else {
        vmenubarPopdownMenu(b);
        vmenubarSelectTitle(b, 0, nullptr);
        if (look() == vlafOPEN_LOOK) vmenubarPopupMenu(b, nullptr);
      }
      return 1;
    case kLeft:
      if (!active(b) && b->current != -3 && b->current != -4) return 0;
      if (e) veventSetBinding(e, nullptr);
      if (n) moveTo(b, b->current <= 0 ? n - 1 : b->current - 1, e);
      return 1;
    case kRight:
      if (!active(b) && b->current != -3 && b->current != -2) return 0;
      if (e) veventSetBinding(e, nullptr);
      if (n) moveTo(b, b->current >= n - 1 || b->current < 0 ? 0 : b->current + 1, e);
      return 1;
    case kUp:
    case kDown:
      if (!active(b)) return 0;
      if (e) clearKey(e);
      vmenubarPopupMenu(b, e);
      return 1;
    default:
      if (active(b)) return 1;
      return base()->issueSelector(self, selector, context);
  }
}

// ---- Key down and up: the menu-bar key of the Windows looks acts on its
// release when nothing came between, and at once while the bar is active.
std::uint16_t pressFlags = 0;

vdialog* dialogOf(vmenubar* b) {
  vwindow* w = windowOf(b);
  return w && vclassIsSubclass(w->cls, vdialogGetDefaultClass()) ? static_cast<vdialog*>(w) : nullptr;
}

int keyDown(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (!isOpen(b) || vmenubarIsNative(b)) return 0;
  if (windowsLook()) b = titles(b);
  pressFlags = b->barFlags;
  if (windowsLook() && veventGetBinding(event) == vname_MenuBar) {
    _vdialogSetMenuBarKeyState(dialogOf(b), active(b) ? 3 : 1);
    if (!active(b)) return 1;
  }
  base()->keyDown(item, event);
  return 1;
}

int keyUp(vdialogItem* item, vevent* event) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) return 0;
  if (windowsLook() && veventGetBinding(event) == vname_MenuBar && !(pressFlags & vmenubarACTIVE))
    base()->keyDown(item, event);
  return 1;
}

}  // namespace

void _vmenubarBindMenuKeys(vmenubar* bar, vmenu* m, bool on) {
  if (!bar->owner || !isOpen(bar) || vmenubarIsNative(bar)) return;
  vmenuCollectAccelerators(m, on ? vname_Select : nullptr, tagMap(bar));
  vmenuCollectAccelerators(m, on ? bar : nullptr, targetMap(bar));
  vmenuCollectAccelerators(m, on ? m : nullptr, menuMap(bar));
  if (m->mnemonic) {
    bindKey(bar, mnemonicCode(m) | vlafGetCurrent()->mnemonicModifiers, vname_Menu, m, on);
    if (active(bar)) bindKey(bar, mnemonicCode(m), vname_Menu, m, on);
  }
}

void _vmenubarBindKeys(vmenubar* bar, bool on) {
  if (!bar->owner || !isOpen(bar) || vmenubarIsNative(bar)) return;
  eachKey(bar, vname_MenuBar, [&](std::uint32_t key) { vdictStore(targetMap(bar), keyOf(key), on ? bar : nullptr); });
  for (int i = 0; i < vmenubarCount(bar); ++i) _vmenubarBindMenuKeys(bar, vmenubarAt(bar, i), on);
  if (!on && active(bar)) bindNavigation(bar, false);
}

vmenubar* _vmenubarStrip(vmenubar* bar) {
  return vmenubarGlobalLook() && vmenubarIsChildOfGlobal(bar) ? vmenubarGetFrameBar(bar) : bar;
}

namespace {

// The frame's bar over a maximized document, open and drawn by the framework.
vmenubar* lineBar(vwindow* w) {
  vmenubar* b = _vmenubarFirstBar(w);
  return b && isOpen(b) && !vmenubarIsNative(b) && vdialogItemIsVisible(b) && _vmenubarOverMaximized(b) ? b : nullptr;
}

// The platform paints the frame's menu line before the client area: the
// titles go over it as the client's update comes.
void paintLine(vwindow* w) {
  if (vmenubar* b = lineBar(w)) draw(b);
}

// A press on a title in the frame's menu line selects it and opens its
// menu; elsewhere on the line (the document's boxes) the platform tracks.
win::LRESULT pressLine(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  vmenubar* b = wParam == static_cast<win::WPARAM>(win::HTMENU) ? lineBar(w) : nullptr;
  if (!b) return 0;
  win::POINT p{static_cast<short>(win::LOWORD(lParam)), static_cast<short>(win::HIWORD(lParam))};
  win::ScreenToClient(hwnd, &p);
  vmenubar* t = titles(b);
  int index = titleAt(t, p.x + b->rect.x - _vmenubarButtonWidth() - 1);
  if (index < 0) return 0;
  vevent* e = veventCreateButtonDown(w, p.x, w->rect.height - 1 - p.y, 0, 1, 1, 0);
  pressTitle(t, index, e);
  veventDestroy(e);
  return 1;
}

}  // namespace

// The bar's window: the frame's menu line painted and pressed, and the
// window going inactive.
win::LRESULT windowMessage(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message == win::WM_PAINT) paintLine(w);
  if (message == win::WM_NCLBUTTONDOWN) return pressLine(w, hwnd, wParam, lParam);
  if (message == win::WM_ACTIVATE && (wParam & 0xFFFF) == 0) _vmenubarWindowDeactivated(w, lParam == 0);
  return 0;
}

vrect _vmenubarStripOnWindow(vmenubar* bar) { return onWindow(bar, _vmenubarStripRect(strip(bar))); }

bool _vmenubarHoldsKey(vmenubar* bar, std::uint32_t key) {
  if (!bar->owner || vdictGet(targetMap(bar), keyOf(key)) != bar) return false;
  bool menuBarKey = false;
  eachKey(bar, vname_MenuBar, [&](std::uint32_t k) { menuBarKey = menuBarKey || k == key; });
  return !menuBarKey;
}

void _vmenubarWatchWindow(vmenubar* bar, bool on) {
  vwindow* w = vmenubarGetWindow(bar);
  if (!w || !w->native) return;
  if (on && !w->native->menuProc) vwindowSetMSWMenuProc(w, windowMessage);
  if (!on && w->native->menuProc == windowMessage) vwindowSetMSWMenuProc(w, nullptr);
}

void _vmenubarFillTracking(vmenubarClassRec* c) {
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->drag = buttonDown;
  c->buttonUp = buttonUp;
  c->pointerHook = motion;
  c->keyDown = keyDown;
  c->keyUp = keyUp;
  c->issueSelector = issueSelector;
  c->activate = activate;
  c->deactivate = deactivate;
}
