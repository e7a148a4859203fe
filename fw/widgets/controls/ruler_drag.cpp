// The ruler's pointer handling (presses, double clicks, drags of an item,
// of its edges or of a shared boundary, drags off the ruler) and its
// drawing (frame, items' frames and titles).
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/look/laf.h"

namespace {

constexpr int kEdge = 4;        // how near an edge a press resizes
constexpr int kInvert = 10;     // the draw mode that inverts the destination

enum Mode : int { kMove = 0, kLeft = 1, kRight = 2, kBoundary = 3 };

// One drag at a time, module-wide.
struct Drag {
  vruler* ruler;
  int mode;
  vrulerItem* item;
  vrulerItem* neighbour;
  vrect outline[2];
  int outlines;
  int startX, lastX;
};
Drag drag{};

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vruler* asRuler(vdialogItem* o) { return static_cast<vruler*>(o); }
std::int16_t s16(int v) { return std::int16_t(v); }
bool inside(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }

// An item's rectangle in the window.
vrect onWindow(vruler* r, const vrulerItem* i) {
  vrect w = i->rect;
  w.x = s16(w.x + r->rect.x - r->scroll);
  w.y = s16(w.y + r->rect.y);
  return w;
}

// Drawing it again erases it.
void drawOutline() {
  if (!drag.ruler || drag.outlines == 0) return;
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(drag.ruler)) {
    vdrawSetDrawMode(kInvert);
    vdrawSetLineWidth(0);
    vdrawRectsFrame(drag.outline, drag.outlines);
  }
  vdrawGRestore();
}

void startOutline(vruler* r, int mode, vrulerItem* item, vrulerItem* neighbour, int x) {
  drag = Drag{r, mode, item, neighbour, {onWindow(r, item), neighbour ? onWindow(r, neighbour) : vrect{}},
              neighbour ? 2 : 1, x, x};
  drawOutline();
}

bool fits(const vrulerItem* i, int width) { return width >= i->minWidth && width <= i->maxWidth; }

int buttonDown(vdialogItem* self, vevent* e) {
  if (veventGetBinding(e) == vname_Menu) return super()->buttonDown(self, e);
  vruler* r = asRuler(self);
  const int x = veventGetX(e), y = veventGetY(e);
  if (veventGetClickCount(e) == 2) {
    for (vrulerItem* i = r->shown; i; i = i->next)
      if (inside(onWindow(r, i), x, y)) {
        vrulerSetItemHilite(i, 1);
        vrulerNotify(r, nullptr, i, vrulerDOUBLE_CLICK);
        startOutline(r, kMove, i, nullptr, x);
        return 1;
      }
    vrulerPackItems(r);
    return 0;
  }
  vrulerItem* hit = nullptr;
  for (vrulerItem* i = r->shown; i; i = i->next) {
    vrect w = onWindow(r, i);
    vrulerItem* n = i->next;
    if (r->sticky && n && (i->flags & n->flags & vrulerItemRESIZABLE)) {
      vrect nw = onWindow(r, n);
      if (x >= w.x + w.width - kEdge && x <= nw.x + kEdge && y >= w.y && y < w.y + w.height) {
        startOutline(r, kBoundary, i, n, x);
        return 1;
      }
    }
    if (inside(w, x, y)) {
      hit = i;
      break;
    }
  }
  if (!hit) return 0;
  vrect w = onWindow(r, hit);
  int mode = kMove;
  if (x < w.x + kEdge) {
    mode = kLeft;
  } else if (x > w.x + w.width - kEdge) {
    mode = kRight;
  } else {
    vrulerNotify(r, nullptr, hit, vrulerPRESS);
  }
  if (!(hit->flags & vrulerItemRESIZABLE)) mode = kMove;
  if (mode == kMove && r->sticky && !r->arrangable && !(hit->flags & vrulerItemMOVABLE)) return 0;
  startOutline(r, mode, hit, nullptr, x);
  return 1;
}

int motion(vdialogItem* self, vevent* e) {
  vruler* r = asRuler(self);
  if (drag.ruler != r || !drag.item) return super()->motion(self, e);
  const int x = veventGetX(e);
  const int d = x - drag.startX;
  vrect first = onWindow(r, drag.item);
  vrect second = drag.neighbour ? onWindow(r, drag.neighbour) : vrect{};
  bool ok = true;
  switch (drag.mode) {
    case kMove: first.x = s16(first.x + d); break;
    case kLeft:
      ok = fits(drag.item, first.width - d);
      first.x = s16(first.x + d);
      first.width = s16(first.width - d);
      break;
    case kRight:
      ok = fits(drag.item, first.width + d);
      first.width = s16(first.width + d);
      break;
    default:
      ok = fits(drag.item, first.width + d) && fits(drag.neighbour, second.width - d);
      first.width = s16(first.width + d);
      second.x = s16(second.x + d);
      second.width = s16(second.width - d);
      break;
  }
  if (!ok) return 1;
  drawOutline();
  drag.outline[0] = first;
  drag.outline[1] = second;
  drag.lastX = x;
  drawOutline();
  return 1;
}

int buttonUp(vdialogItem* self, vevent* e) {
  vruler* r = asRuler(self);
  if (drag.ruler != r) return super()->buttonUp(self, e);
  drawOutline();
  Drag done = drag;
  drag = Drag{};
  vrulerItem* item = done.item;
  if (!item) return 1;
  if (!inside(r->rect, veventGetX(e), veventGetY(e))) {
    if (done.mode == kMove && (item->flags & vrulerItemMOVABLE)) {
      if (r->dragOff)
        vrulerHideItem(item);
      else
        vrulerRemoveItem(r, item);
    }
    vdialogInvalItem(r, 0);
    return 1;
  }
  const int d = done.lastX - done.startX;
  const int x = item->rect.x, w = item->rect.width;
  r->packState = 1;
  switch (done.mode) {
    case kMove: vrulerItemSetPosition(item, x + d); break;
    case kLeft:
      if (d < 0) {
        vrulerItemSetPosition(item, x + d);
        vrulerItemSetWidth(item, w - d);
      } else {
        vrulerItemSetWidth(item, w - d);
        vrulerItemSetPosition(item, x + d);
      }
      break;
    case kRight: vrulerItemSetWidth(item, w + d); break;
    default: {
      vrulerItem* n = done.neighbour;
      const int nx = n->rect.x, nw = n->rect.width;
      if (d < 1) {
        vrulerItemSetWidth(item, w + d);
        vrulerItemSetPosition(n, nx + d);
        vrulerItemSetWidth(n, nw - d);
      } else {
        vrulerItemSetPosition(n, nx + d);
        vrulerItemSetWidth(n, nw - d);
        vrulerItemSetWidth(item, w + d);
      }
    }
  }
  const bool packAsked = r->packState == 2;
  r->packState = 0;
  if (packAsked) vrulerPackItems(r);
  vdialogInvalItem(r, 0);
  return 1;
}

// ---- Drawing.

void drawFrame(vruler*, vrulerItem*, const vrect* rect);
void drawTitle(vruler*, vrulerItem*, const vrect* rect);

void draw(vdialogItem* self) {
  vruler* r = asRuler(self);
  const vlaf* look = vlafGetCurrent();
  const bool enabled = vdialogItemIsEnabled(r);
  vrect content = r->rect;
  if (r->flags & vdialogItemBORDER) {
    vcolorScheme s{};
    vdialogDetermineItemScheme(r, 0xF4, &s);
    if (look->id == vlafWIN95) {
      // The border colour (16, 17) is the window frame's black here, under
      // black titles: the face colour keeps them readable.
      vdrawSetColor(s.entries[2]);
      vdrawRectFill(r->rect.x, r->rect.y, r->rect.width, r->rect.height);
    } else if (look->flags & vlaf3D) {
      vdrawRectsFrameShadedWide(&r->rect, 1, s.entries[enabled ? 4 : 5], s.entries[enabled ? 6 : 7]);
    } else {
      vdrawRectsFrame(&r->rect, 1);
    }
    const int in = vrulerClassOf(r)->borderInset;
    content = vrect{s16(content.x + in), s16(content.y + in), s16(content.width - 2 * in), s16(content.height - 2 * in)};
  }
  vdrawGSave();
  vdrawClipRects(&content, 1);
  for (vrulerItem* i = vrulerNextItem(r, nullptr); i; i = vrulerNextItem(r, i)) {
    if (i->flags & vrulerItemHIDDEN) continue;
    vrect w = onWindow(r, i);
    vrulerClassOf(r)->drawItemFrame(r, i, &w);
    vrulerClassOf(r)->drawItemTitle(r, i, &w);
  }
  vdrawGRestore();
}

void drawFrame(vruler* r, vrulerItem*, const vrect* rect) {
  vcolorScheme s{};
  vdialogDetermineItemScheme(r, 0x51, &s);
  if (vlafGetCurrent()->flags & vlaf3D) {
    vdrawRectsFrameShadedWide(rect, 1, s.entries[6], s.entries[4]);
  } else {
    vdrawSetColor(s.entries[0]);
    vdrawRectsFrame(rect, 1);
  }
}

void drawTitle(vruler* r, vrulerItem* item, const vrect* rect) {
  if (!item->title || (item->flags & vrulerItemHIDDEN)) return;
  vfont* font = vdialogDetermineItemFont(r);
  const int n = int(std::strlen(item->title));
  int width = 0, dy = 0;
  vfontGetCharsAdvance(font, item->title, n, &width, &dy);
  vdrawGSave();
  if (width > rect->width - 8) vdrawClipRects(rect, 1);
  vcolorScheme s{};
  vdialogDetermineItemScheme(r, 1, &s);
  vdrawSetColor(s.entries[0]);
  vdrawSetFont(font);
  // Centred in the box, so that neither the frame's bottom edge cuts the
  // letters nor the highlight's underline crosses them.
  vrect bounds{};
  vfontGetBounds(font, &bounds);
  const int descent = -bounds.y, baseline = rect->y + (rect->height - bounds.height) / 2 + descent;
  vdrawPathMoveTo(rect->x + 6, baseline);
  vdrawGetPrimitives()->Show(item->title, n);
  if (item->flags & vrulerItemHILITED) {
    const int under = baseline - std::max(1, descent / 2 + 1);
    vdrawSetLineWidth(0);
    vdrawPathMoveTo(rect->x + 6, under);
    vdrawLineTo(rect->x + 6 + width, under);
    vdrawStroke();
  }
  vdrawGRestore();
}

}  // namespace

void _vrulerFillDragSlots(vrulerClassRec* c) {
  c->buttonDown = buttonDown;
  c->motion = motion;
  c->drag = motion;
  c->buttonUp = buttonUp;
  c->draw = draw;
  c->drawItemFrame = drawFrame;
  c->drawItemTitle = drawTitle;
}

void _vrulerForgetDrag(vruler* ruler, vrulerItem* item) {
  if ((ruler && drag.ruler == ruler) || (item && (drag.item == item || drag.neighbour == item))) drag = Drag{};
}
