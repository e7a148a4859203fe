// The pixel-value colour rule, the foreground/background item and its
// colour pop-up window.
#include "fw/imaging/vimged_color.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "fw/core/class.h"
#include "fw/core/event.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"

namespace {

struct ModuleState {
  vdialogItemClassRec* fgBg = nullptr;
  vdialogItemClassRec* mru = nullptr;
  vwindowClassRec* popup = nullptr;
  const vimgedutilsViewOps* ops = nullptr;
};
void** stateSlot = nullptr;
void freeModule() { static_cast<ModuleState*>(*stateSlot)->~ModuleState(); }
ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = new (vmoduleBindSlot(stateSlot, sizeof(ModuleState))) ModuleState;
  vmoduleAddContextExitProc(freeModule);
  return st;
}

std::int16_t s16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }
vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vimgedutilsFgBgItem* asFgBg(vinstance* o) { return static_cast<vimgedutilsFgBgItem*>(o); }

bool hasPalette(const vimage* image) { return !(image->flags & vimageNO_PALETTE); }

void fillValue(vimage* image, std::uint32_t value, const vrect& r) {
  vcolor* c = vimgedutilsInternPixelColor(image, value);
  vdrawSetColor(c);
  vdrawRectFill(r.x, r.y, r.width, r.height);
  vcolorRelease(c);
}

// ---- The foreground/background item.
void layoutSwatches(vimgedutilsFgBgItem* item) {
  const vrect& r = item->rect;
  int sw = int(0.75 * r.width), sh = int(0.75 * r.height);
  item->background = {r.x, s16(int(r.y + 0.25 * r.height)), s16(sw), s16(sh)};
  item->foreground = {s16(int(r.x + 0.25 * r.width)), r.y, s16(sw), s16(sh)};
}

void fgBgInit(vinstance* self) {
  super()->init(self);
  vimgedutilsFgBgItem* item = asFgBg(self);
  item->view = nullptr;
  layoutSwatches(item);
}

void fgBgSetRect(vdialogItem* self, const vrect* rect) {
  super()->setRect(self, rect);
  layoutSwatches(asFgBg(self));
}

void fgBgOpen(vdialogItem* self) {
  super()->open(self);
  vrect r = self->rect;
  vdialogItemClassOf(self)->setRect(self, &r);
}

void fgBgDraw(vdialogItem* self) {
  vimgedutilsFgBgItem* item = asFgBg(self);
  vimage* image = _vimgedutilsViewImage(item->view);
  const vimgedutilsViewOps* ops = _vimgedutilsViewOps();
  vdrawGSave();
  if (image) {
    std::uint32_t values[2] = {ops->background(item->view), ops->foreground(item->view)};
    const vrect* swatches[2] = {&item->background, &item->foreground};
    for (int i = 0; i < 2; ++i) {
      vdrawGSave();
      fillValue(image, values[i], *swatches[i]);
      vdrawGRestore();
      vdrawRectsFrame(swatches[i], 1);
    }
  } else {
    vdrawGSave();
    vdrawSetColor(vdialogGetItemColor(self, 2));
    vdrawRectFill(self->rect.x, self->rect.y, self->rect.width, self->rect.height);
    vdrawGRestore();
    vdrawRectsFrame(&item->background, 1);
    vdrawRectsFrame(&item->foreground, 1);
  }
  vdrawGRestore();
}

int fgBgButtonDown(vdialogItem* self, vevent* e) {
  vimgedutilsFgBgItem* item = asFgBg(self);
  if (!_vimgedutilsViewImage(item->view)) return 1;
  int x = veventGetX(e), y = veventGetY(e);
  if (vrectContainsPoint(&item->foreground, x, y)) vimgedutilsOpenColorPopup(item, 1, x, y);
  else if (vrectContainsPoint(&item->background, x, y)) vimgedutilsOpenColorPopup(item, 0, x, y);
  return 1;
}

// ---- The pop-up window.
vimgedutilsColorPopup* record(vwindow* w) { return static_cast<vimgedutilsColorPopup*>(w->data); }

// The colour of a cell: palette entry, black and white, or the cube.
void cellSpec(const vimgedutilsColorPopup* p, int i, vcolorSpec* out) {
  vcolorInitSpec(out);
  if (p->palette) {
    vcolorCopySpec(&p->palette->entries[i], out);
  } else if (p->cells == 2) {
    unsigned v = i ? 65535 : 0;
    vcolorSetSpecRGB(out, v, v, v);
  } else {
    vcolorSetSpecRGB(out, unsigned(i / 49) * 0x2AAA, unsigned(i / 7 % 7) * 0x2AAA, unsigned(i % 7) * 0x2AAA);
  }
  vcolorSetSpecRGBDelta(out, 511, 511, 511);
  vcolorSetSpecMaxDotDither(out, 64);
}

vrect cellRect(int i, int height) {
  return {s16(2 + i % 16 * 17), s16(height - 18 - i / 16 * 17), 16, 16};
}

// The cell the star marks: the current value's, or for the cube the
// nearest cube colour.
int currentCell(const vimgedutilsColorPopup* p) {
  if (p->cells == vimgedutilsCUBE_CELLS && !p->palette) return vimgedutilsCubeIndex(p->current);
  return p->current < std::uint32_t(p->cells) ? int(p->current) : -1;
}

void stroke(int x1, int y1, int x2, int y2) {
  vdrawPathMoveTo(x1, y1);
  vdrawLineTo(x2, y2);
  vdrawStroke();
}

void drawStar(const vrect& r, const vcolorSpec& spec) {
  int cx = r.x + r.width / 2, cy = r.y + r.height / 2, d = std::min(r.width, r.height) / 4;
  vdrawSetColor(vcolorGetSpecLightness(&spec) <= 0x7FFF ? vcolorGetWhite() : vcolorGetBlack());
  stroke(cx, cy - d, cx, cy + d);
  stroke(cx - d, cy, cx + d + 1, cy);
  stroke(cx - d, cy - d, cx + d, cy + d);
  stroke(cx - d, cy + d, cx + d, cy - d);
}

vrect hoverFrame(int i, int height) { return {s16(i % 16 * 17 + 1), s16(height - 18 - i / 16 * 17), 17, 17}; }

void popupDraw(vwindow* w) {
  vimgedutilsColorPopup* p = record(w);
  if (!p) return;
  int width = w->rect.width, height = w->rect.height;
  vdrawGSave();
  vdrawSetLineWidth(1);
  vdrawSetColor(vcolorGetBlack());
  vdrawRectFrame(0, 0, width, height);
  int star = currentCell(p);
  for (int i = 0; i < p->cells; ++i) {
    vcolorSpec spec;
    cellSpec(p, i, &spec);
    vrect r = cellRect(i, height);
    vcolor* c = vcolorInternSpec(&spec);
    vdrawSetColor(c);
    vdrawRectFill(r.x, r.y, r.width, r.height);
    vcolorRelease(c);
    if (i == star) drawStar(r, spec);
    vcolorDestroySpec(&spec);
  }
  // The hover frame is an inverted one: drawn over whatever lies there.
  if (p->hover >= 0) {
    vdrawSetDrawMode(10);
    vrect f = hoverFrame(p->hover, height);
    vdrawRectsFrame(&f, 1);
  }
  vdrawGRestore();
}

int popupMotion(vwindow* w, vevent* e) {
  vimgedutilsColorPopup* p = record(w);
  if (!p) return 1;
  int cell = vimgedutilsPopupCellAt(p->cells, w->rect.width, w->rect.height, veventGetX(e), veventGetY(e));
  if (cell != p->hover) {
    p->hover = cell;
    vwindowInvalAll(w, 0);
  }
  return 1;
}

void closePopup(vwindow* w) {
  if (vwindowIsOpen(w) && vwindowMSWGetTopGrab() == w) vwindowUngrab(w);
  if (vwindowIsOpen(w)) vwindowClose(w);
  vmemFree(w->data);
  w->data = nullptr;
  // The window layer is still inside this window's event.
  vinstanceDestroyLater(w);
}

int popupButtonUp(vwindow* w, vevent* e) {
  vimgedutilsColorPopup* p = record(w);
  if (!p) return 1;
  p->hover = vimgedutilsPopupCellAt(p->cells, w->rect.width, w->rect.height, veventGetX(e), veventGetY(e));
  const vimgedutilsViewOps* ops = _vimgedutilsViewOps();
  if (p->hover != -1 && ops && p->view) {
    std::uint32_t value = std::uint32_t(p->hover);
    if (p->cells == vimgedutilsCUBE_CELLS && !p->palette) value = vimgedutilsCubeValue(p->hover);
    (p->which ? ops->setForeground : ops->setBackground)(p->view, value);
    if (p->item->flags & vdialogItemOPEN) vdialogInvalItem(p->item, 0);
  }
  closePopup(w);
  return 1;
}

}  // namespace

// ---- The colour rule.
void vimgedutilsPixelSpec(vimage* image, std::uint32_t value, vcolorSpec* out) {
  vcolorInitSpec(out);
  if (!image) return vcolorSetSpecRGB(out, 0, 0, 0);
  if (hasPalette(image)) {
    vcolorList* palette = vimageGetPalette(image);
    if (value < palette->count) return vcolorCopySpec(&palette->entries[value], out);
    return vcolorSetSpecRGB(out, 0, 0, 0);
  }
  if (image->depth == 1) {
    unsigned v = value == 1 ? 65535 : 0;
    return vcolorSetSpecRGB(out, v, v, v);
  }
  vcolorSetSpecRGB(out, (value & 0xFF0000) >> 8, value & 0xFF00, (value & 0xFF) << 8);
}

vcolor* vimgedutilsInternPixelColor(vimage* image, std::uint32_t value) {
  vcolorSpec spec;
  vimgedutilsPixelSpec(image, value, &spec);
  vcolorSetSpecRGBDelta(&spec, 511, 511, 511);
  vcolorSetSpecMaxDotDither(&spec, 64);
  vcolor* c = vcolorInternSpec(&spec);
  vcolorDestroySpec(&spec);
  return c;
}

void vimgedutilsSetViewOps(const vimgedutilsViewOps* ops) { state()->ops = ops; }
const vimgedutilsViewOps* _vimgedutilsViewOps() { return state()->ops; }

vimage* _vimgedutilsViewImage(vdialogItem* view) {
  const vimgedutilsViewOps* ops = state()->ops;
  if (!view || !ops) return nullptr;
  vimged* editor = ops->editor(view);
  return editor ? editor->working : nullptr;
}

// ---- Classes.
vdialogItemClassRec* vimgedutilsGetFgBgItemClass() {
  ModuleState* st = state();
  if (st->fgBg) return st->fgBg;
  auto* c = vclassSpawnOf<vdialogItemClassRec>(super());
  vclassSetName(c, vscribeLiteral("vimgedutilsFgBgItem"));
  vclassSetInstanceSize(c, sizeof(vimgedutilsFgBgItem));
  c->init = fgBgInit;
  c->draw = fgBgDraw;
  c->buttonDown = fgBgButtonDown;
  c->setRect = fgBgSetRect;
  c->open = fgBgOpen;
  return st->fgBg = c;
}

vdialogItemClassRec* vimgedutilsGetMRUItemClass() {
  ModuleState* st = state();
  if (st->mru) return st->mru;
  auto* c = vclassSpawnOf<vdialogItemClassRec>(super());
  vclassSetName(c, vscribeLiteral("vimgedutilsMRUItem"));
  vclassSetInstanceSize(c, sizeof(vimgedutilsMRUItem));
  _vimgedutilsBuildMRUClass(c);
  return st->mru = c;
}

vwindowClassRec* vimgedutilsGetColorPopupClass() {
  ModuleState* st = state();
  if (st->popup) return st->popup;
  auto* c = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
  c->draw = popupDraw;
  c->handleButtonUp = popupButtonUp;
  c->handlePlainMotion = popupMotion;
  // The button is still held from the press that opened the pop-up.
  c->handleDrag = popupMotion;
  return st->popup = c;
}

void vimgedutilsSetFgBgItemView(vdialogItem* item, vdialogItem* view) {
  asFgBg(item)->view = view;
  if (item->flags & vdialogItemOPEN) vdialogInvalItem(item, 0);
}

// ---- Pop-up geometry.
int vimgedutilsPopupCells(vimage* image) {
  if (hasPalette(image)) return int(vimageGetPalette(image)->count);
  return image->depth == 1 ? 2 : vimgedutilsCUBE_CELLS;
}

vrect vimgedutilsPopupRect(int cells, int x, int y) {
  int columns = std::min(cells, 16), rows = (cells + 15) / 16;
  return {s16(x + 1), s16(y - (rows * 17 + 4)), s16(columns * 17 + 3), s16(rows * 17 + 3)};
}

int vimgedutilsPopupCellAt(int cells, int width, int height, int x, int y) {
  if (x < 0 || y < 0 || x >= width || y >= height) return -1;
  int index = x / 17 + (height - y - 1) / 17 * 16;
  return index >= 0 && index < cells ? index : -1;
}

std::uint32_t vimgedutilsCubeValue(int index) {
  auto level = [](int l) { return std::uint32_t(l * 0x2AAA) >> 8; };
  return level(index / 49) << 16 | level(index / 7 % 7) << 8 | level(index % 7);
}

int vimgedutilsCubeIndex(std::uint32_t value) {
  auto level = [](std::uint32_t c) { return int((c * 6 + 127) / 255); };
  return level(value >> 16 & 0xFF) * 49 + level(value >> 8 & 0xFF) * 7 + level(value & 0xFF);
}

vwindow* vimgedutilsOpenColorPopup(vimgedutilsFgBgItem* item, int which, int x, int y) {
  vimage* image = _vimgedutilsViewImage(item->view);
  if (!image) return nullptr;
  const vimgedutilsViewOps* ops = _vimgedutilsViewOps();
  auto* p = static_cast<vimgedutilsColorPopup*>(vmemAllocClear(sizeof(vimgedutilsColorPopup)));
  p->current = which ? ops->foreground(item->view) : ops->background(item->view);
  p->hover = -1;
  p->palette = hasPalette(image) ? vimageGetPalette(image) : nullptr;
  p->item = item;
  p->view = item->view;
  p->which = which;
  p->cells = vimgedutilsPopupCells(image);
  auto* w = static_cast<vwindow*>(vinstanceCreate(vimgedutilsGetColorPopupClass()));
  vwindowClassRec* wc = vwindowClassOf(w);
  wc->setData(w, p);
  wc->setDecoration(w, 0);
  wc->setWantsMotion(w, 1);
  wc->setAcceptsFocus(w, 0);
  // The press position on the screen.
  int sx = x, sy = y;
  if (item->owner) vdialogItemListTransformPoint(item->owner, &sx, &sy);
  if (vwindow* dialog = vdialogGetItemWindow(item)) vwindowTranslatePoint(dialog, vwindowGetRoot(), sx, sy, &sx, &sy);
  vrect r = vimgedutilsPopupRect(p->cells, sx, sy);
  vrectConstrain(&r, &vwindowGetRoot()->rect, &r);
  vwindowSetRect(w, &r);
  vwindowInvalAll(w, 0);
  vwindowOpen(w);
  wc->raise(w);
  if (vwindowMSWGetTopGrab() != w) vwindowGrab(w);
  return w;
}
