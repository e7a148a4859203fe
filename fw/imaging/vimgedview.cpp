// The image view's class: the instance's life, its scroll bars, the layout
// in whole zoomed pixels, the link through which the editor tells it what
// changed, scrolling and the zoom, origin and grid settings.
#include "fw/imaging/vimgedview.h"

#include <cstdlib>

#include "fw/core/ex.h"
#include "fw/imaging/vimged_color.h"
#include "fw/imaging/vimgedview_internal.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

using namespace imgview;

namespace {

void** classSlot = nullptr;

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vimgedview* asView(vinstance* o) { return static_cast<vimgedview*>(o); }
vimgedview* ofLink(vimgedViewLink* l) { return static_cast<vimgedviewLink*>(l)->view; }

void eachBar(vimgedview* v, void (*op)(vdialogItem*)) {
  if (v->hbar) op(v->hbar);
  if (v->vbar) op(v->vbar);
}

void setBar(vimgedview* v, int on, bool vertical);
// The colour controls serve image views: each new view makes sure of it.
void installColorOps();

// ---- What the editor tells the view.

void redrawWhole(vimgedview* v) {
  cls(v)->renderVisible(v);
  cls(v)->rerenderSelection(v, 0);
  invalImageArea(v);
}

const vimgedViewHooks kHooks = {
    [](vimgedViewLink* l) { cls(ofLink(l))->beginChange(ofLink(l)); },
    [](vimgedViewLink* l) { cls(ofLink(l))->endChange(ofLink(l)); },
    [](vimgedViewLink* l) {
      vimgedview* v = ofLink(l);
      cls(v)->composeDisplay(v);
      invalImageArea(v);
    },
    [](vimgedViewLink* l) { redrawWhole(ofLink(l)); },
    [](vimgedViewLink* l, int) {
      vimgedview* v = ofLink(l);
      cls(v)->rerenderSelection(v, 0);
      invalImageArea(v);
    },
    [](vimgedViewLink* l, std::uint32_t value, int x, int y) { cls(ofLink(l))->paintPixel(ofLink(l), value, x, y); },
    [](vimgedViewLink* l, std::uint32_t value, int x, int y, int w, int h) {
      cls(ofLink(l))->paintRect(ofLink(l), value, x, y, w, h);
    },
    [](vimgedViewLink* l, std::uint32_t value, const vpoint* p, int n) {
      cls(ofLink(l))->paintPoints(ofLink(l), value, p, n);
    },
    [](vimgedViewLink* l, std::uint32_t value, const vrect* r, int n) {
      cls(ofLink(l))->paintRects(ofLink(l), value, r, n);
    },
    [](vimgedViewLink* l) { invalImageArea(ofLink(l)); },
    [](vimgedViewLink* l) {
      vimgedview* v = ofLink(l);
      cls(v)->layout(v);
      vdialogInvalItem(v, 0);
    },
    [](vimgedViewLink* l) { cls(ofLink(l))->rerenderSelection(ofLink(l), 0); },
    [](vimgedViewLink* l) { cls(ofLink(l))->makeRectSelectionBuffers(ofLink(l)); },
    [](vimgedViewLink* l) { cls(ofLink(l))->makeMaskSelectionBuffers(ofLink(l)); },
    [](vimgedViewLink* l) {
      vimgedview* v = ofLink(l);
      cls(v)->dropSelectionBuffers(v);
      invalImageArea(v);
    },
    [](vimgedViewLink* l) { cls(ofLink(l))->outlineTick(ofLink(l)); },
    [](vimgedViewLink* l, int tool) { cls(ofLink(l))->setTool(ofLink(l), tool); },
};

// ---- Life.

void commonInit(vimgedview* v) {
  std::memset(reinterpret_cast<char*>(v) + sizeof(vdialogItem), 0, sizeof(vimgedview) - sizeof(vdialogItem));
  v->link.hooks = &kHooks;
  v->link.model = nullptr;
  v->link.view = v;
  v->zoom = 1;
  v->border = 2;
  v->gap = 1;
  v->foreground = 1;
  v->pen = 1;
  v->viewFlags = vimgedviewAUTO_SCROLL;
  v->font = vdialogDetermineItemFont(v);
  v->laidOut = v->rect;
  installColorOps();
}

void init(vinstance* self) {
  super()->init(self);
  vimgedview* v = asView(self);
  commonInit(v);
  vdialogItemClassOf(v)->setFocusable(v, 1);
  vdialogItemClassOf(v)->setClickFocus(v, 1);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  commonInit(asView(static_cast<vinstance*>(self)));
}

void dropBuffers(vimgedview* v) {
  dropImage(v->imageBuffer);
  dropImage(v->displayBuffer);
  dropImage(v->composeBuffer);
}

void destroy(vinstance* self) {
  vimgedview* v = asView(self);
  forgetTextDialogView(v);
  cls(v)->setCursor(v, nullptr);
  if (v->editor) vimgedRemoveView(v->editor, &v->link);
  v->editor = nullptr;
  cls(v)->dropSelectionBuffers(v);
  dropBuffers(v);
  setBar(v, 0, false);
  setBar(v, 0, true);
  super()->destroy(self);
}

// The settings travel; the copy shows the same editor with bars of its own.
void copy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vimgedview* s = asView(static_cast<vinstance*>(source));
  vimgedview* d = asView(static_cast<vinstance*>(destination));
  if (s == d) return;
  cls(d)->setEditor(d, nullptr);
  setBar(d, 0, false);
  setBar(d, 0, true);
  d->border = s->border;
  d->gap = s->gap;
  d->zoom = s->zoom;
  d->viewFlags = s->viewFlags & ~std::uint32_t(vimgedviewHELD | vimgedviewTEMPORARY | vimgedviewBAR_SCROLL | vimgedviewPIN);
  d->tool = s->tool;
  d->previousTool = s->previousTool;
  d->foreground = s->foreground;
  d->background = s->background;
  d->pen = s->pen;
  d->report = s->report;
  d->font = s->font;
  if (s->hbar) setBar(d, 1, false);
  if (s->vbar) setBar(d, 1, true);
  cls(d)->setEditor(d, s->editor);
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void open(vdialogItem* item) {
  vimgedview* v = asView(item);
  super()->open(item);
  eachBar(v, vdialogOpenItem);
  cls(v)->layout(v);
}
void close(vdialogItem* item) {
  vimgedview* v = asView(item);
  cls(v)->setCursor(v, nullptr);
  super()->close(item);
  eachBar(v, vdialogCloseItem);
}
void show(vdialogItem* item) {
  super()->show(item);
  eachBar(asView(item), vdialogShowItem);
  cls(asView(item))->setCursor(asView(item), cls(asView(item))->getToolCursor(asView(item)));
}
void hide(vdialogItem* item) {
  cls(asView(item))->setCursor(asView(item), nullptr);
  super()->hide(item);
  eachBar(asView(item), vdialogHideItem);
}
void enable(vdialogItem* item) {
  super()->enable(item);
  eachBar(asView(item), vdialogEnableItem);
}
void disable(vdialogItem* item) {
  super()->disable(item);
  eachBar(asView(item), vdialogDisableItem);
}

void setOwner(vdialogItem* item, vdialogItemList* owner) {
  super()->setOwner(item, owner);
  vimgedview* v = asView(item);
  for (vslider* bar : {v->hbar, v->vbar})
    if (bar) vdialogItemClassOf(bar)->setOwner(bar, owner);
}

void setRect(vdialogItem* item, const vrect* rect) {
  vimgedview* v = asView(item);
  cls(v)->beginChange(v);
  cls(v)->setCursor(v, nullptr);
  super()->setRect(item, rect);
  cls(v)->layout(v);
  cls(v)->setCursor(v, cls(v)->getToolCursor(v));
  cls(v)->endChange(v);
}

// ---- Scroll bars.

void barChanged(vdialogItem* item, vevent*) {
  auto* v = reinterpret_cast<vimgedview*>(item->data);
  auto* bar = static_cast<vcontrol*>(item);
  if (!v) return;
  int dx = 0, dy = 0;
  if (bar == v->hbar) dx = bar->value - v->origin.x;
  else dy = bar->value - v->origin.y;
  v->viewFlags |= vimgedviewBAR_SCROLL;
  vimgedviewScroll(v, dx, dy, 0);
  v->viewFlags &= ~vimgedviewBAR_SCROLL;
}

void setBar(vimgedview* v, int on, bool vertical) {
  vslider*& bar = vertical ? v->vbar : v->hbar;
  if (!on) {
    if (!bar) return;
    bar->owner = nullptr;  // shares the view's item list without being listed
    vinstanceDestroy(bar);
    bar = nullptr;
  } else {
    if (bar) return;
    bar = vsliderScrollBarCreate();
    if (vertical) vcontrolSetVertical(bar, 1);
    vdialogSetItemNotify(bar, barChanged);
    vdialogSetItemData(bar, reinterpret_cast<std::intptr_t>(v));
    vcontrolSetMin(bar, 0);
    vcontrolSetMax(bar, 0);
    vcontrolSetIncrement(bar, 1);
    if (v->owner) vdialogItemClassOf(bar)->setOwner(bar, v->owner);
    if (isOpen(v)) vdialogOpenItem(bar);
    if (!(v->flags & vdialogItemENABLED)) vdialogDisableItem(bar);
    if (!(v->flags & vdialogItemSHOWN)) vdialogHideItem(bar);
  }
  cls(v)->layout(v);
  vdialogInvalItem(v, 1);
}
void setHorizontalBar(vimgedview* v, int on) { setBar(v, on, false); }
void setVerticalBar(vimgedview* v, int on) { setBar(v, on, true); }

void setBarValues(vimgedview* v) {
  bool image = hasImage(v);
  struct Axis {
    vslider* bar;
    int range, visible, value;
  } axes[] = {{v->hbar, v->imageBounds.width, v->origin.width, v->origin.x},
              {v->vbar, v->imageBounds.height, v->origin.height, v->origin.y}};
  for (const Axis& a : axes) {
    if (!a.bar) continue;
    vcontrolSetMin(a.bar, 0);
    vcontrolSetMax(a.bar, image ? a.range : 0);
    vcontrolSetView(a.bar, image ? a.visible : 0);
    vcontrolSetPage(a.bar, image ? std::max(1, a.visible / 2) : 1);
    vcontrolSetIncrement(a.bar, 1);
    vcontrolSetValue(a.bar, image ? a.value : 0);
  }
}

// ---- Layout.

int barThickness(vimgedview* v) {
  int w = 0, h = 0;
  if (v->hbar) {
    vdialogGetItemNaturalSize(v->hbar, &w, &h);
    return h;
  }
  if (v->vbar) {
    vdialogGetItemNaturalSize(v->vbar, &w, &h);
    return w;
  }
  return 0;
}

void moveOriginInside(vimgedview* v) {
  vrect& o = v->origin;
  o.width = s16(std::min<int>(o.width, v->imageBounds.width));
  o.height = s16(std::min<int>(o.height, v->imageBounds.height));
  o.x = s16(std::clamp<int>(o.x, 0, v->imageBounds.width - o.width));
  o.y = s16(std::clamp<int>(o.y, 0, v->imageBounds.height - o.height));
}

void layout(vimgedview* v) {
  vrect r = v->rect;
  int t = barThickness(v);
  int extraW = 2 * v->border + (v->vbar ? v->gap + t : 0);
  int extraH = 2 * v->border + (v->hbar ? v->gap + t : 0);
  bool image = hasImage(v);
  if (image) v->imageBounds = {0, 0, v->editor->working->width, v->editor->working->height};
  else v->imageBounds = {0, 0, 0, 0};
  int z = v->zoom;
  if (image) {
    if (r.width < v->imageBounds.width * z + extraW) r.width = s16(std::max(0, (r.width - extraW) / z * z + extraW));
    if (r.height < v->imageBounds.height * z + extraH) {
      int h = std::max(0, (r.height - extraH) / z * z + extraH);
      r.y = s16(r.y + r.height - h);
      r.height = s16(h);
    }
  }
  bool left = (vlafGetCurrent()->flags & vlafLEFT_SCROLL_BAR) != 0;
  vrect inner = r;
  if (v->hbar) {
    inner.y = s16(inner.y + v->gap + t);
    inner.height = s16(std::max(0, inner.height - v->gap - t));
  }
  if (v->vbar) {
    inner.width = s16(std::max(0, inner.width - v->gap - t));
    if (left) inner.x = s16(inner.x + v->gap + t);
  }
  if (v->hbar) {
    vrect b{inner.x, s16(inner.y - v->gap - t), inner.width, s16(t)};
    vdialogSetItemRect(v->hbar, &b);
  }
  if (v->vbar) {
    vrect b{s16(left ? inner.x - v->gap - t : inner.x + inner.width + v->gap), inner.y, s16(t), inner.height};
    vdialogSetItemRect(v->vbar, &b);
  }
  v->laidOut = inner;
  v->area = {s16(inner.x + v->border), s16(inner.y + v->border), s16(std::max(0, inner.width - 2 * v->border)),
             s16(std::max(0, inner.height - 2 * v->border))};
  dropBuffers(v);
  if (image) {
    int oldHeight = v->origin.height;
    int vw = v->area.width / z, vh = v->area.height / z;
    v->origin.y = s16(v->origin.y + oldHeight - vh);
    v->origin.width = s16(vw);
    v->origin.height = s16(vh);
    moveOriginInside(v);
    v->scrollRange = {0, 0, s16(std::max(v->imageBounds.width - v->origin.width + 1, 1)),
                      s16(std::max(v->imageBounds.height - v->origin.height + 1, 1))};
    int bw = v->origin.width * z, bh = v->origin.height * z;
    v->imageBuffer = newBuffer(bw, bh);
    v->displayBuffer = newBuffer(bw, bh);
    v->composeBuffer = newBuffer(bw, bh);
    if ((v->viewFlags & vimgedviewGRID_WANTED) && z >= 4) v->viewFlags |= vimgedviewGRID_SHOWN;
    else v->viewFlags &= ~vimgedviewGRID_SHOWN;
    setBarValues(v);
    cls(v)->renderVisible(v);
    cls(v)->rerenderSelection(v, 0);
  } else {
    v->origin = {0, 0, 0, 0};
    v->scrollRange = {0, 0, 0, 0};
    setBarValues(v);
  }
  if (v->cursor) {
    vobject* c = v->cursor;
    cls(v)->setCursor(v, nullptr);
    cls(v)->setCursor(v, c);
  }
}

// ---- Settings.

void setZoom(vimgedview* v, int zoom) {
  zoom = std::clamp(zoom, 1, vimgedviewMaxZoom(v));
  if (zoom == v->zoom) return;
  cls(v)->beginChange(v);
  v->zoom = s16(zoom);
  if (vimged* m = v->editor) {
    if ((m->flags & vimgedREPORT) || zoom == 1) m->flags |= vimgedDRAW_LAYER;
    else m->flags &= ~vimgedDRAW_LAYER;
    if (m->working && !(m->flags & vimgedREPORT) && zoom == 1) vpixmapMarkChanged(m->working);
  }
  cls(v)->layout(v);
  vdialogInvalItem(v, 0);
  cls(v)->endChange(v);
}

void setOrigin(vimgedview* v, const vrect* origin) {
  v->origin = *origin;
  moveOriginInside(v);
  cls(v)->renderVisible(v);
  cls(v)->rerenderSelection(v, 1);
  setBarValues(v);
  invalImageArea(v);
}

void setGrid(vimgedview* v, int on) {
  if (on) v->viewFlags |= vimgedviewGRID_WANTED;
  else v->viewFlags &= ~vimgedviewGRID_WANTED;
  if (on && v->zoom >= 4) v->viewFlags |= vimgedviewGRID_SHOWN;
  else v->viewFlags &= ~vimgedviewGRID_SHOWN;
  cls(v)->composeDisplay(v);
  cls(v)->composeSelection(v);
  invalImageArea(v);
}

void setEditor(vimgedview* v, vimged* m) {
  if (v->editor == m) return;
  if (v->editor) vimgedRemoveView(v->editor, &v->link);
  cls(v)->dropSelectionBuffers(v);
  v->editor = m;
  v->origin = {0, 0, 0, 0};
  if (m) vimgedAddView(m, &v->link);
  cls(v)->layout(v);
  vdialogInvalItem(v, 0);
}

// Moves a buffer's pixels by (−sx, −sy) onto itself.
void shiftBuffer(vimage* buffer, int sx, int sy) {
  if (!buffer) return;
  Pixels p(buffer);
  int w = p.width(), h = p.height();
  int cw = w - std::abs(sx), ch = h - std::abs(sy);
  if (cw <= 0 || ch <= 0) return;
  int fromX = std::max(sx, 0), toX = std::max(-sx, 0);
  if (sy > 0) {
    for (int y = 0; y < ch; ++y) std::memmove(p.at(toX, y), p.at(fromX, y + sy), std::size_t(cw) * 4);
  } else {
    for (int y = ch - 1; y >= 0; --y) std::memmove(p.at(toX, y - sy), p.at(fromX, y), std::size_t(cw) * 4);
  }
}

// The colour controls showing this view's colours are drawn again.
void invalColorControls(vimgedview* v) {
  vdialogItemList* list = v->owner;
  if (!list) return;
  vdialogItemClassRec* kinds[] = {vimgedutilsGetFgBgItemClass(), vimgedutilsGetMRUItemClass()};
  for (int i = 0; i < vdialogItemListCount(list); ++i) {
    vdialogItem* item = vdialogItemListAt(list, i);
    vdialogItemClassRec* c = vdialogItemClassOf(item);
    bool ours = (c == kinds[0] && static_cast<vimgedutilsFgBgItem*>(item)->view == v) ||
                (c == kinds[1] && static_cast<vimgedutilsMRUItem*>(item)->view == v);
    if (ours && (item->flags & vdialogItemOPEN)) vdialogInvalItem(item, 0);
  }
}

void setForeground(vimgedview* v, std::uint32_t value) {
  if (v->foreground == value) return;
  v->foreground = value;
  invalColorControls(v);
}
void setBackground(vimgedview* v, std::uint32_t value) {
  if (v->background == value) return;
  v->background = value;
  invalColorControls(v);
}

// What the colour controls ask of the view they serve.
vimgedview* viewOf(vdialogItem* item) { return static_cast<vimgedview*>(item); }
const vimgedutilsViewOps kColorOps = {
    [](vdialogItem* i) { return viewOf(i)->editor; },
    [](vdialogItem* i) { return viewOf(i)->foreground; },
    [](vdialogItem* i) { return viewOf(i)->background; },
    [](vdialogItem* i, std::uint32_t value) { cls(viewOf(i))->setForeground(viewOf(i), value); },
    [](vdialogItem* i, std::uint32_t value) { cls(viewOf(i))->setBackground(viewOf(i), value); },
};
void installColorOps() { vimgedutilsSetViewOps(&kColorOps); }
void noChange(vimgedview*) {}

}  // namespace

int vimgedviewMaxZoom(vimgedview* v) {
  if (!hasImage(v)) return 255;
  int t = barThickness(v);
  int aw = v->rect.width - 2 * v->border - (v->vbar ? v->gap + t : 0);
  int ah = v->rect.height - 2 * v->border - (v->hbar ? v->gap + t : 0);
  return std::clamp(std::min(aw, ah), 1, 255);
}

vpoint vimgedviewWindowToImage(vimgedview* v, int px, int py) {
  int z = std::max<int>(v->zoom, 1);
  int dy = py - v->area.y - v->area.height;
  // Floor division: a cell's bottom row belongs to that cell.
  int fy = dy >= 0 ? dy / z : -((-dy + z - 1) / z);
  int ix = v->origin.x + (px - v->area.x) / z;
  int iy = v->origin.y + v->origin.height + fy;
  if (v->viewFlags & vimgedviewPIN) {
    ix = std::clamp(ix, 0, std::max(0, v->imageBounds.width - 1));
    iy = std::clamp(iy, 0, std::max(0, v->imageBounds.height - 1));
  }
  return {s16(ix), s16(iy)};
}

vrect vimgedviewCellRect(vimgedview* v, int ix, int iy) {
  vrect r = windowRectOf(v, ix, iy, 1, 1);
  if (v->viewFlags & vimgedviewGRID_SHOWN) r = {s16(r.x + 1), r.y, s16(r.width - 1), s16(r.height - 1)};
  return r;
}

void vimgedviewScroll(vimgedview* v, int dx, int dy, int) {
  if (!v->editor || v->scrollRange.width <= 0 || v->scrollRange.height <= 0 || !v->imageBuffer) return;
  int nx = std::clamp(v->origin.x + dx, 0, v->scrollRange.width - 1);
  int ny = std::clamp(v->origin.y + dy, 0, v->scrollRange.height - 1);
  dx = nx - v->origin.x, dy = ny - v->origin.y;
  if (dx == 0 && dy == 0) return;
  int z = v->zoom;
  v->origin.x = s16(nx), v->origin.y = s16(ny);
  // The display buffer shifted onto itself by (−dx·z, −dy·z): the grid
  // moves onto itself, so only the uncovered strips are rendered, with
  // their grid lines. The image buffer is rendered again when next needed.
  shiftBuffer(v->displayBuffer, dx * z, dy * z);
  v->viewFlags |= kIMAGE_STALE;
  vimage* working = v->editor->working;
  const vrect& o = v->origin;
  if (dx != 0) {
    int n = std::min<int>(std::abs(dx), o.width);
    vrect strip{s16(dx > 0 ? o.x + o.width - n : o.x), o.y, s16(n), o.height};
    cls(v)->renderRegion(v, working, v->displayBuffer, &strip, (strip.x - o.x) * z, 0);
    gridOver(v, v->displayBuffer, {s16((strip.x - o.x) * z), 0, s16(n * z), s16(o.height * z)});
  }
  if (dy != 0) {
    int n = std::min<int>(std::abs(dy), o.height);
    vrect strip{o.x, s16(dy > 0 ? o.y + o.height - n : o.y), o.width, s16(n)};
    cls(v)->renderRegion(v, working, v->displayBuffer, &strip, 0, (strip.y - o.y) * z);
    gridOver(v, v->displayBuffer, {0, s16((strip.y - o.y) * z), s16(o.width * z), s16(n * z)});
  }
  if (!(v->viewFlags & vimgedviewBAR_SCROLL)) setBarValues(v);
  invalImageArea(v);
  if (v->editor->selection & vimgedSEL_MODE) cls(v)->rerenderSelection(v, 1);
}

vimgedviewClassRec* vimgedviewGetDefaultClass() {
  if (auto* bound = vmoduleState<vimgedviewClassRec*>(classSlot)) return *bound;
  vimgedGetDefaultClass();
  auto* c = vclassSpawnOf<vimgedviewClassRec>(super());
  vclassSetName(c, vscribeLiteral("vimgedview"));
  vclassSetInstanceSize(c, sizeof(vimgedview));
  c->init = init;
  c->loadInit = loadInit;
  c->copy = copy;
  c->copyInit = copyInit;
  c->destroy = destroy;
  c->open = open;
  c->close = close;
  c->show = show;
  c->hide = hide;
  c->enable = enable;
  c->disable = disable;
  c->setOwner = setOwner;
  c->setRect = setRect;
  c->beginChange = noChange;
  c->endChange = noChange;
  c->layout = layout;
  c->setZoom = setZoom;
  c->setOrigin = setOrigin;
  c->setGrid = setGrid;
  c->setEditor = setEditor;
  c->setForeground = setForeground;
  c->setBackground = setBackground;
  c->setHorizontalBar = setHorizontalBar;
  c->setVerticalBar = setVerticalBar;
  installRendering(c);
  installInput(c);
  installTools(c);
  _vdialogItemRunNamingHook(c);
  *static_cast<vimgedviewClassRec**>(vmoduleBindSlot(classSlot, sizeof(vimgedviewClassRec*))) = c;
  buildInputState();
  return c;
}

vimgedview* vimgedviewCreate() { return asView(vinstanceCreate(vimgedviewGetDefaultClass())); }
