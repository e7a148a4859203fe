#include "fw/widgets/domains/domainview.h"

#include <algorithm>
#include <cmath>

#include "fw/core/mem.h"
#include "fw/core/resource.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/domains/domain_internal.h"

void _vdomainviewPlaceBars(vdomainview* v, vrect* area);
void _vdomainviewUpdateBars(vdomainview* v);
void _vdomainviewEachBar(vdomainview* v, void (*op)(vdialogItem*));
void _vdomainviewDestroyBars(vdomainview* v);

namespace {

// The module's classes and its object clipboard, one set per module context.
struct Clipboard {
  vdomainObject** records;  // copies of objects, outside any domain
  std::int32_t count, capacity;
  vdomain* from;
};
struct Module {
  vdomainviewClassRec* view;
  vdomainitemClassRec* item;
  vdomainClassRec* itemDomain;
  vdomainObserverClassRec* observer;
  vdomainviewEventClassRec* events;
  Clipboard clip;
};
void** moduleSlot = nullptr;

// The domain module frees its pools at the context's end, records included.
void freeModule() {
  auto* m = static_cast<Module*>(*moduleSlot);
  if (!m) return;
  vmemFree(m->clip.records);
  m->clip = Clipboard{};
}

Module* module() {
  if (!*vmoduleSlot(moduleSlot)) {
    auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
    *m = Module{};
    vmoduleAddContextExitProc(freeModule);
  }
  return static_cast<Module*>(*moduleSlot);
}
Clipboard& clipboard() { return module()->clip; }

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vdomainview* asView(vinstance* o) { return static_cast<vdomainview*>(o); }
vdomainviewClassRec* rec(const vdomainview* v) { return vdomainviewClassOf(v); }
std::int32_t roundHalf(double v) { return static_cast<std::int32_t>(std::floor(v + 0.5)); }
std::int16_t s16(std::int32_t v) { return static_cast<std::int16_t>(v); }

// The records live in the domain module's pools; releasing needs no domain.
void emptyClipboard() {
  Clipboard& clip = clipboard();
  for (std::int32_t i = 0; i < clip.count; ++i) vdomainGetDefaultClass()->releaseObject(nullptr, clip.records[i]);
  clip.count = 0;
  clip.from = nullptr;
}

void clipAppend(vdomainObject* o) {
  Clipboard& clip = clipboard();
  if (clip.count == clip.capacity) {
    clip.capacity = clip.capacity ? clip.capacity * 2 : 16;
    clip.records = static_cast<vdomainObject**>(vmemRealloc(clip.records, sizeof(vdomainObject*) * clip.capacity));
  }
  clip.records[clip.count++] = o;
}

int orientation(const vdomain* d) { return d ? static_cast<int>((d->flags & vdomainORIENTATION) >> 8) : 0; }
bool hasSlot(const vdomainview* v) { return v->domain && v->slot >= 0; }

// --- transform -------------------------------------------------------------

void multiply(float* m, const float* n) {  // m = m then n
  float r[6] = {m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3], m[2] * n[0] + m[3] * n[2],
                m[2] * n[1] + m[3] * n[3], m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
  std::copy(r, r + 6, m);
}

void rebuild(vdomainview* v) {
  if (!v->dirty) return;
  float* m = v->transform;
  float id[6] = {1, 0, 0, 1, 0, 0};
  std::copy(id, id + 6, m);
  if (orientation(v->domain) != 1) {
    m[4] = v->area.x;
    m[5] = v->area.y;
  } else {
    m[3] = -1;
    m[4] = v->area.x;
    m[5] = static_cast<float>(v->area.y + v->area.height);
  }
  // Translating first by minus the origin, in domain space.
  float shift[6] = {1, 0, 0, 1, -static_cast<float>(v->offset.x + v->bounds.x),
                    -static_cast<float>(v->offset.y + v->bounds.y)};
  multiply(shift, m);
  std::copy(shift, shift + 6, m);
  if (v->userMatrix) {
    float u[6];
    std::copy(v->userMatrix, v->userMatrix + 6, u);
    multiply(u, m);
    std::copy(u, u + 6, m);
  }
  v->dirty = 0;
}

void apply(const float* m, double x, double y, double* ox, double* oy) {
  *ox = m[0] * x + m[2] * y + m[4];
  *oy = m[1] * x + m[3] * y + m[5];
}

vrect toView(vdomainview* v, const vrectLong& r) {
  vrect out;
  vdomainviewDomainRectToView(v, &r, &out);
  return out;
}

// --- layout, scroll ------------------------------------------------------------

void invalArea(vdomainview* v, const vrect& r) {
  vrect inside;
  vrectIntersect(&r, &v->area, &inside);
  if (inside.width > 0 && inside.height > 0) vdialogItemClassOf(v)->invalRect(v, &inside, 0);
}

void rebuildVisibleSet(vdomainview* v) {
  if (!v->domain) {
    v->visibleSet->count = 0;
    return;
  }
  vdomainSet* found = vdomainFindObjects(v->domain, &v->visible, v->slot < 0 ? 0 : v->slot, 0, 0, 102, nullptr, nullptr);
  v->visibleSet->count = 0;
  for (std::int32_t i = 0; i < found->count; ++i) vdomainSetAppend(&v->visibleSet, found->objects[i]);
  vdomainDestroySet(found);
}

void scroll(vdomainview* v, std::int32_t x, std::int32_t y, int mode) {
  vpointLong old = v->offset, next = old;
  if (!(v->viewAttributes & vdomainviewFREEZE_X)) next.x = (mode & vdomainviewX_RELATIVE) ? old.x + x : x;
  if (!(v->viewAttributes & vdomainviewFREEZE_Y)) next.y = (mode & vdomainviewY_RELATIVE) ? old.y + y : y;
  std::int32_t maxX = std::max<std::int32_t>(0, v->bounds.width - v->area.width);
  std::int32_t maxY = std::max<std::int32_t>(0, v->bounds.height - v->area.height);
  next.x = std::clamp(next.x, 0, maxX);
  next.y = std::clamp(next.y, 0, maxY);
  v->offset = v->origin = next;
  v->visible = {v->bounds.x + next.x, v->bounds.y + next.y, v->area.width, v->area.height};
  v->dirty = 1;
  if (v->domain) {
    vrectLong view = v->visible;
    vdomainSetVirtualView(v->domain, &view);
  }
  rebuildVisibleSet(v);
  _vdomainviewUpdateBars(v);
  if (next.x == old.x && next.y == old.y) return;
  std::int32_t dy = next.y - old.y;
  if (orientation(v->domain) == 1) dy = -dy;
  vdialogItemClassOf(v)->scrollRect(v, &v->area, -(next.x - old.x), -dy, 0);
  struct {
    std::int32_t dx, dy;
  } moved{next.x - old.x, next.y - old.y};
  rec(v)->scrolled(v, &moved);
}

void layout(vdomainview* v) {
  vrect a = v->rect;
  _vdomainviewPlaceBars(v, &a);
  if (v->flags & vdialogItemBORDER) {
    auto inset = static_cast<std::int16_t>(vdialogDetermineItemInset(v));
    a = {s16(a.x + inset), s16(a.y + inset), s16(a.width - 2 * inset), s16(a.height - 2 * inset)};
  }
  a.width = std::max<std::int16_t>(a.width, 0);
  a.height = std::max<std::int16_t>(a.height, 0);
  v->area = a;
  v->dirty = 1;
  rec(v)->scroll(v, 0, 0, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
  vdialogInvalItem(v, 0);
}

void refreshBounds(vdomainview* v) {
  if (v->domain) v->bounds = v->domain->bounds;
  else v->bounds = {};
}

// --- drawing -------------------------------------------------------------------

void drawBackground(vdomainview* v) {
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(v, vcolorBACKGROUND));
  vdrawRectFill(v->area.x, v->area.y, v->area.width, v->area.height);
  vdrawGRestore();
}

void paintObject(vdomainview* v, vdomainObject* o) {
  vrect r = toView(v, o->rect);
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(v, vcolorBACKGROUND_HILITE));
  vdrawRectFill(r.x, r.y, r.width, r.height);
  vdrawSetColor(vdialogGetItemColor(v, vcolorFOREGROUND));
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&r, 1);
  vdrawGRestore();
}

void paintSelection(vdomainview* v, vdomainObject* o) {
  vrect r = toView(v, o->rect);
  if (v->showingSelection) return invalArea(v, r);
  rec(v)->drawHighlightFrame(v, &r);
}

void drawHighlightFrame(vdomainview* v, const vrect* r) {
  int w = rec(v)->frameWidth;
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(v, vcolorBACKGROUND));
  vrect band[4] = {{r->x, r->y, r->width, s16(w)},
                   {r->x, s16(r->y + r->height - w), r->width, s16(w)},
                   {r->x, r->y, s16(w), r->height},
                   {s16(r->x + r->width - w), r->y, s16(w), r->height}};
  for (const vrect& b : band) vdrawRectFill(b.x, b.y, b.width, b.height);
  vdrawSetLineWidth(1);
  vdrawSetColor(vdialogGetItemColor(v, vcolorFOREGROUND));
  vdrawRectsFrame(r, 1);
  vdrawGRestore();
}

void drawObjects(vdomainview* v) {
  vdomain* d = v->domain;
  if (!d) return;
  vdomainClassOf(d)->sortSet(d, v->visibleSet);
  vdomainSet* s = v->visibleSet;
  for (std::int32_t i = s->count - 1; i >= 0; --i) {
    vdomainObject* o = s->objects[i];
    if (o->flags & vdomainHIDDEN) continue;
    v->objectPainter(v, o);
    o->flags |= vdomainMARK;
  }
  for (std::int32_t i = s->count - 1; i >= 0; --i) {
    vdomainObject* o = s->objects[i];
    if ((o->flags & vdomainMARK) && hasSlot(v) && vdomainIsSelected(o, v->slot)) v->selectionPainter(v, o);
    o->flags &= static_cast<std::uint16_t>(~vdomainMARK);
  }
}

void drawContents(vdomainview* v) {
  rec(v)->drawBackground(v);
  if (v->domain) rec(v)->drawObjects(v);
}

// Background and objects into an image of the drawing area, then the
// image to the window at once.
void drawOffscreen(vdomainview* v) {
  const vrect& a = v->area;
  vimage*& image = v->offscreen;
  if (image && (image->width != a.width || image->height != a.height)) {
    vimageDestroy(image);
    image = nullptr;
  }
  if (!image) {
    image = vimageCreateSized(a.width, a.height, 2);
    vimageSetNoPalette(image, 1);
    vpixmapSetDepth(image, 24);
  }
  vdrawGSave();
  vdrawBindImage(image, 0);
  vdrawTranslate(-a.x, -a.y);
  vdrawRectClip(a.x, a.y, a.width, a.height);
  drawContents(v);
  vdrawGRestore();
  vdrawPathMoveTo(a.x, a.y);
  vdrawImage(image);
}

void draw(vdialogItem* item) {
  vdomainview* v = asView(item);
  rebuild(v);
  vdrawGSave();
  vdrawClipRects(&v->area, 1);
  // Printing and other devices without a window draw directly.
  bool offscreen = (v->viewAttributes & vdomainviewOFFSCREEN) && v->area.width > 0 && v->area.height > 0 &&
                   vdialogGetItemWindow(v);
  if (offscreen) drawOffscreen(v);
  else drawContents(v);
  if (v->viewAttributes & vdomainviewTRACKING) vdomainviewTrack(v, nullptr, nullptr, vdomainviewREDRAW);
  vdrawGRestore();
  _vdomainviewEachBar(v, [](vdialogItem* bar) { vdialogDrawItem(bar); });
  if (item->flags & vdialogItemBORDER) {
    vdrawGSave();
    vdrawSetLineWidth(1);
    vdrawSetColor(vdialogGetItemColor(v, vcolorFOREGROUND));
    vdrawRectsFrame(&item->rect, 1);
    vdrawGRestore();
  }
}

void drawBandLong(vdomainview* v, const vrectLong* band) {
  vrect r = toView(v, *band);
  rec(v)->drawBand(v, &r);
}

void drawBand(vdomainview* v, const vrect* band) {
  vdrawGSave();
  vdrawSetLineWidth(0);
  vdrawSetColor(vdialogGetItemColor(v, vcolorBACKGROUND));
  vdrawSetDrawMode(16);
  vdrawRectsFrame(band, 1);
  vdrawGRestore();
}

void drawOutlinesLong(vdomainview* v, const vrectLong* rects, int count, vpointLong offset) {
  // Rectangles through a user matrix, when the state strokes inside, move in
  // and shrink by the view's pen adjustment.
  bool adjust = v->userMatrix && (vdrawGetState()->flags & vdrawSTROKE_ADJUST);
  int px = adjust ? int(std::floor(v->pen[0] + 0.5)) : 0, py = adjust ? int(std::floor(v->pen[1] + 0.5)) : 0;
  for (int i = 0; i < count; ++i) {
    vrectLong r = rects[i];
    r.x += offset.x;
    r.y += offset.y;
    vrect s = toView(v, r);
    s.x = s16(s.x + px), s.y = s16(s.y + py);
    s.width = s16(std::max(0, s.width - px)), s.height = s16(std::max(0, s.height - py));
    rec(v)->drawBand(v, &s);
  }
}

void drawOutlines(vdomainview* v, const vrect* rects, int count, vpoint offset) {
  for (int i = 0; i < count; ++i) {
    vrect r{s16(rects[i].x + offset.x), s16(rects[i].y + offset.y), rects[i].width, rects[i].height};
    rec(v)->drawBand(v, &r);
  }
}

// --- domain ----------------------------------------------------------------------

void setDomain(vdomainview* v, vdomain* d) {
  if (v->domain) {
    _vdomainviewEndGesture(v);
    emptyClipboard();
    vdomain* old = v->domain;
    vdomainObserver* o = v->observer;
    v->observer = nullptr;
    v->domain = nullptr;
    if (o) vdomainUninstallObserver(old, o);
    vrectLong none{};
    vdomainSetVirtualView(old, &none);
  }
  vpointLong keep = v->origin;
  v->domain = d;
  v->kind = d && vdomainIsLong(d) ? 1 : 0;
  refreshBounds(v);
  if (d) {
    auto* o = static_cast<vdomainObserver*>(vinstanceCreate(v->observerClass));
    o->owner = v;
    o->flags |= vdomainObserverOWNED;
    o->forward = (v->viewAttributes & vdomainviewRECEIVER_VIEW) ? 1 : 0;
    v->observer = o;
    vdomainInstallObserver(d, o);
    v->offset = keep;
  } else {
    v->visibleSet->count = 0;
  }
  layout(v);
}

void scrollDomain(vdomainview* v, std::int32_t x, std::int32_t y, int mode) {
  if (!v->userMatrix) return rec(v)->scroll(v, x, y, mode);
  if (mode & 2) x -= v->bounds.x;
  if (mode & 8) y -= v->bounds.y;
  const float* m = v->userMatrix;
  double det = double(m[0]) * m[3] - double(m[1]) * m[2];
  if (det == 0) return;
  double ix = (m[3] * x - m[2] * y) / det, iy = (-m[1] * x + m[0] * y) / det;
  rec(v)->scroll(v, roundHalf(ix), roundHalf(iy), mode);
}

// --- lifecycle -------------------------------------------------------------------

// The view's own fields at their defaults, before a layout; a view starts
// with its class's commands and keys unless its resource gave it a space.
void initFields(vdomainview* v) {
  if (!v->attributes || !v->attributes->space) vdialogSetItemSpace(v, vclassRec<vobjectAttributedClassRec>(v)->space);
  v->domain = nullptr;
  v->visible = {};
  v->origin = v->offset = {};
  v->area = {};
  v->dirty = 1;
  v->userMatrix = nullptr;
  v->bounds = {};
  v->hbar = v->vbar = nullptr;
  v->focus = v;
  v->events = vdomainviewEventGetDefaultClass();
  v->offscreen = nullptr;
  v->viewAttributes = 9;
  v->outlineStyle = 1;
  v->dragMethod = 0;
  v->trackMode = 3;
  v->kind = 0;
  v->barMargin = 2;
  v->increment = 10;
  v->threshold = 0;
  v->pen[0] = v->pen[1] = 1.0;
  v->slot = -1;
  v->observer = nullptr;
  v->observerClass = vdomainviewObserverGetDefaultClass();
  v->objectPainter = paintObject;
  v->selectionPainter = paintSelection;
  v->actionHook = nullptr;
  v->showingSelection = 0;
  vdomainSet* empty = vdomainCreateSet();  // kept long, so not one of the module's cached blocks
  v->visibleSet = _vdomainCopySetHeap(empty);
  vdomainDestroySet(empty);
  v->visibleSet->count = 0;
}

void init(vinstance* self) {
  super()->init(self);
  initFields(asView(self));
  layout(asView(self));
}

void destroy(vinstance* self) {
  vdomainview* v = asView(self);
  _vdomainviewEndGesture(v);
  rec(v)->setDomain(v, nullptr);
  vmemFree(v->visibleSet);
  v->visibleSet = nullptr;
  if (v->offscreen) vimageDestroy(v->offscreen), v->offscreen = nullptr;
  _vdomainviewDestroyBars(v);
  super()->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vdomainview *s = asView(source), *t = asView(destination);
  t->viewAttributes = s->viewAttributes;
  t->outlineStyle = s->outlineStyle;
  t->dragMethod = s->dragMethod;
  t->trackMode = s->trackMode;
  t->barMargin = s->barMargin;
  t->increment = s->increment;
  t->threshold = s->threshold;
  t->pen[0] = s->pen[0];
  t->pen[1] = s->pen[1];
  t->events = s->events;
  t->observerClass = s->observerClass;
  t->objectPainter = s->objectPainter;
  t->selectionPainter = s->selectionPainter;
  t->actionHook = s->actionHook;
  t->focus = t;
  rec(t)->setDomain(t, s->domain);
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

struct Key {
  const char* name;
  std::int32_t (*get)(const vdomainview* v);
  void (*set)(vdomainview* v, std::int32_t value);
};
#define VDOMAINVIEW_KEY(name, field)                                                       \
  Key {                                                                                    \
    name, [](const vdomainview* v) { return static_cast<std::int32_t>(v->field); },        \
        [](vdomainview* v, std::int32_t x) { v->field = static_cast<decltype(v->field)>(x); } \
  }
// The stored fields, in the order stored; the first four are read only when present.
const Key kKeys[] = {
    VDOMAINVIEW_KEY("Attributes", viewAttributes),        VDOMAINVIEW_KEY("DragOutline", outlineStyle),
    VDOMAINVIEW_KEY("DragMethod", dragMethod),        VDOMAINVIEW_KEY("DragThreshold", threshold),
    VDOMAINVIEW_KEY("ScrollIncrement", increment), VDOMAINVIEW_KEY("ScrollBarMargin", barMargin),
    VDOMAINVIEW_KEY("TrackMode", trackMode),
};
#undef VDOMAINVIEW_KEY

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vdomainview* v = asView(self);
  initFields(v);
  v->viewAttributes = 0;
  for (std::size_t i = 0; i < 4; ++i) {  // read only when present
    std::int32_t value;
    if (vresourceTestGetInteger(resource, vnameInternLiteral(kKeys[i].name), &value)) kKeys[i].set(v, value);
  }
  for (std::size_t i = 4; i < std::size(kKeys); ++i)
    kKeys[i].set(v, vresourceGetInteger(resource, vnameInternLiteral(kKeys[i].name)));
  if (!(v->viewAttributes & vdomainviewRESOURCE_MARGIN)) v->barMargin = 2;
  layout(v);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vdomainview* v = asView(self);
  for (const Key& k : kKeys) vresourceSetInteger(resource, vnameInternLiteral(k.name), k.get(v));
}

void setRect(vdialogItem* item, const vrect* r) {
  super()->setRect(item, r);
  layout(asView(item));
}

void setBorder(vdialogItem* item, int on) {
  super()->setBorder(item, on);
  layout(asView(item));
}

void sizeOf(vdialogItem* item, int* w, int* h) {
  int inset = (item->flags & vdialogItemBORDER) ? 2 * static_cast<int>(vdialogDetermineItemInset(item)) : 0;
  *w = item->rect.width > 0 ? item->rect.width : inset;
  *h = item->rect.height > 0 ? item->rect.height : inset;
}

// --- hooks -----------------------------------------------------------------------

int yes(vdomainview*, void*) { return 1; }

template <vdomainviewHook vdomainviewEventClassRec::*Slot>
int hook(vdomainview* v, void* record) {
  return (v->events->*Slot)(v, record);
}

}  // namespace

// Defined after the namespace: the selector handler and the observer.
int _vdomainviewIssueSelector(vobject* self, int selector, vdict* context);
int _vdomainviewButtonDown(vdialogItem* item, vevent* event);
int _vdomainviewDrag(vdialogItem* item, vevent* event);
int _vdomainviewButtonUp(vdialogItem* item, vevent* event);
int _vdomainviewKeyDown(vdialogItem* item, vevent* event);
void _vdomainviewInstallObserver(vdomainObserverClassRec* c);
vcommandSpace* _vdomainviewBuildSpace(vcommandSpace* inherited);
vdomainSet* _vdomainviewClipboardPaste(vdomainview* v, std::int32_t dx, std::int32_t dy);
void _vdomainviewClipboardCopy(vdomainview* v, vdomainSet* set);

void vdomainviewDomainToView(vdomainview* v, std::int32_t x, std::int32_t y, std::int32_t* vx, std::int32_t* vy) {
  rebuild(v);
  double ox, oy;
  apply(v->transform, x, y, &ox, &oy);
  *vx = roundHalf(ox);
  *vy = roundHalf(oy);
}

void vdomainviewViewToDomain(vdomainview* v, std::int32_t x, std::int32_t y, std::int32_t* dx, std::int32_t* dy) {
  rebuild(v);
  const float* m = v->transform;
  double det = double(m[0]) * m[3] - double(m[1]) * m[2];
  if (det == 0) {
    *dx = *dy = 0;
    return;
  }
  double px = x - m[4], py = y - m[5];
  *dx = roundHalf((m[3] * px - m[2] * py) / det);
  *dy = roundHalf((-m[1] * px + m[0] * py) / det);
}

void vdomainviewDomainRectToView(vdomainview* v, const vrectLong* r, vrect* out) {
  std::int32_t x1, y1, x2, y2;
  vdomainviewDomainToView(v, r->x, r->y, &x1, &y1);
  vdomainviewDomainToView(v, r->x + r->width, r->y + r->height, &x2, &y2);
  // Cut around the drawing area before narrowing: an object scrolled far
  // away stays outside the view instead of wrapping into it, and one larger
  // than 16 bits hold still covers what shows of it.
  vrectLong wide{std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)};
  _vrectLongToShortAround(&wide, &v->area, out);
}

vdomainSet* vdomainviewSelectedSet(vdomainview* v) {
  if (!hasSlot(v)) return vdomainCreateSet();
  return vdomainFilterSet(v->domain, v->slot, vdomainFILTER_SELECTED | vdomainFILTER_ALL_OF, nullptr, nullptr);
}

int vdomainviewOrientation(const vdomainview* v) { return orientation(v->domain); }
std::int32_t vdomainviewClipboardCount() { return clipboard().count; }

void _vdomainviewClipboardCopy(vdomainview* v, vdomainSet* set) {
  emptyClipboard();
  clipboard().from = v->domain;
  vdomainClassRec* c = vdomainClassOf(v->domain);
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = _vdomainAllocObject();
    c->copyObject(v->domain, set->objects[i], o);
    o->selection = 0;
    o->domain = nullptr;
    o->prev = o->next = o->connection = nullptr;
    clipAppend(o);
  }
}

vdomainSet* _vdomainviewClipboardPaste(vdomainview* v, std::int32_t dx, std::int32_t dy) {
  vdomain* d = v->domain;
  _vdomainNeedShort(d);
  vdomainClassRec* c = vdomainClassOf(d);
  Clipboard& clip = clipboard();
  c->selectAll(d, v->slot, 0);
  vdomainSet* made = vdomainCreateSet();
  vdomainSet* shown = vdomainCreateSet();
  for (std::int32_t i = 0; i < clip.count; ++i) {
    vdomainObject* from = clip.records[i];
    vdomainObject* o = vdomainNewObject(d);
    c->copyObjectAttributes(d, from, o);
    o->flags |= vdomainHIDDEN;
    vrectLong r = from->rect;
    r.x += dx;
    r.y += dy;
    const vrectLong& b = d->bounds;
    if (r.x + r.width > b.x + b.width) r.x = b.x + b.width - r.width;
    if (r.y + r.height > b.y + b.height) r.y = b.y + b.height - r.height;
    r.x = std::max(r.x, b.x);
    r.y = std::max(r.y, b.y);
    vrect s = _vdomainNarrow(r);
    vdomainSet* one = vdomainCreateSetOf(&o, 1);
    c->setRects(d, one, &s);
    vdomainDestroySet(one);
    vdomainSetAppend(&made, o);
    if (!(from->flags & vdomainHIDDEN)) vdomainSetAppend(&shown, o);
  }
  c->showObjects(d, shown);
  c->selectObjects(d, v->slot, shown);
  vdomainDestroySet(shown);
  return made;
}

vdomainviewEventClassRec* vdomainviewEventGetDefaultClass() {
  if (module()->events) return module()->events;
  auto* c = vclassSpawnOf<vdomainviewEventClassRec>(vobjectGetDefaultClass());
  c->scrolled = c->tracking = c->release = c->press = c->doubleClick = c->character = c->objectsMoving =
      c->objectsResizing = c->selectionShown = c->boundsChanged = c->other = yes;
  vclassSetName(c, vscribeLiteral("vdomainviewEvent"));
  module()->events = c;
  return c;
}

vdomainObserverClassRec* vdomainviewObserverGetDefaultClass() {
  if (module()->observer) return module()->observer;
  auto* c = vclassSpawnOf<vdomainObserverClassRec>(vdomainObserverGetDefaultClass());
  _vdomainviewInstallObserver(c);
  vclassSetName(c, vscribeLiteral("vdomainviewObserver"));
  module()->observer = c;
  return c;
}

vdomainviewClassRec* vdomainviewGetDefaultClass() {
  if (module()->view) return module()->view;
  vdomainviewEventGetDefaultClass();
  vdomainviewObserverGetDefaultClass();
  auto* c = vclassSpawnOf<vdomainviewClassRec>(super());
  c->instanceSize = sizeof(vdomainview);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setRect = setRect;
  c->open = [](vdialogItem* i) {
    vdialogItemGetDefaultClass()->open(i);
    _vdomainviewEachBar(asView(i), [](vdialogItem* b) { vdialogOpenItem(b); });
  };
  c->close = [](vdialogItem* i) {
    _vdomainviewEachBar(asView(i), [](vdialogItem* b) { vdialogCloseItem(b); });
    vdialogItemGetDefaultClass()->close(i);
  };
  c->setOwner = [](vdialogItem* i, vdialogItemList* owner) {
    vdialogItemGetDefaultClass()->setOwner(i, owner);
    for (vslider* b : {asView(i)->hbar, asView(i)->vbar})
      if (b) b->owner = owner;
  };
  c->setBorder = setBorder;
  c->naturalSize = c->minSize = sizeOf;
  c->draw = draw;
  c->issueSelector = _vdomainviewIssueSelector;
  c->buttonDown = _vdomainviewButtonDown;
  c->drag = c->motion = _vdomainviewDrag;
  c->buttonUp = _vdomainviewButtonUp;
  c->keyDown = _vdomainviewKeyDown;
  c->drawBackground = drawBackground;
  c->drawBand = drawBand;
  c->drawBandLong = drawBandLong;
  c->drawOutlines = drawOutlines;
  c->drawOutlinesLong = drawOutlinesLong;
  c->setDomain = setDomain;
  c->scrollDomain = scrollDomain;
  c->scroll = scroll;
  c->drawHighlightFrame = drawHighlightFrame;
  c->drawObjects = drawObjects;
  c->scrolled = hook<&vdomainviewEventClassRec::scrolled>;
  c->tracking = hook<&vdomainviewEventClassRec::tracking>;
  c->release = hook<&vdomainviewEventClassRec::release>;
  c->press = hook<&vdomainviewEventClassRec::press>;
  c->doubleClick = hook<&vdomainviewEventClassRec::doubleClick>;
  c->character = hook<&vdomainviewEventClassRec::character>;
  c->objectsMoving = hook<&vdomainviewEventClassRec::objectsMoving>;
  c->objectsResizing = hook<&vdomainviewEventClassRec::objectsResizing>;
  c->selectionShown = hook<&vdomainviewEventClassRec::selectionShown>;
  c->boundsChanged = hook<&vdomainviewEventClassRec::boundsChanged>;
  c->other = hook<&vdomainviewEventClassRec::other>;
  c->frameWidth = 3;
  c->space = _vdomainviewBuildSpace(super()->space);
  vclassSetName(c, vscribeLiteral("vdomainview"));
  module()->view = c;
  return c;
}

vdomainview* vdomainviewCreate() { return asView(vinstanceCreate(vdomainviewGetDefaultClass())); }

// --- domain items ------------------------------------------------------------------

namespace {

vdomain* makeDomain(vdomainview*) {
  return static_cast<vdomain*>(vinstanceCreate(vdomainitemDomainGetDefaultClass()));
}

void takeDomain(vdomainview* v, vdomain* d) {
  vdomainviewGetDefaultClass()->setDomain(v, d);
  if (!d) return;
  v->slot = vdomainAllocSelection(d);
  d->owner = v;
}

void itemSetDomain(vdomainview* v, vdomain* d) {
  vdomain* old = v->domain;
  if (old == d) return;
  if (old && v->slot >= 0) vdomainReleaseSelection(old, v->slot);
  v->slot = -1;
  takeDomain(v, d);
  if (old) vdomainDestroy(old);
}

void itemInit(vinstance* self) {
  vdomainviewGetDefaultClass()->init(self);
  vdomainview* v = asView(self);
  v->events = vdomainviewEventGetDefaultClass();
  takeDomain(v, vclassRec<vdomainitemClassRec>(v)->makeDomain(v));
}

void itemCopy(vobject* source, vobject* destination) {
  vdomainview *s = asView(source), *t = asView(destination);
  vdomain* own = t->domain;
  vdomainviewGetDefaultClass()->copy(source, destination);  // shows the source's domain meanwhile
  vdomain* copied = static_cast<vdomain*>(vinstanceCreate(vclassRec<vobjectClassRec>(s->domain)));
  vclassRec<vobjectClassRec>(s->domain)->copy(s->domain, copied);
  vdomainviewGetDefaultClass()->setDomain(t, nullptr);
  if (own && own != s->domain) {
    if (t->slot >= 0) vdomainReleaseSelection(own, t->slot);
    vdomainDestroy(own);
  }
  t->slot = -1;
  takeDomain(t, copied);
}

void itemLoadInit(vobject* self, vresource resource) {
  vdomainviewGetDefaultClass()->loadInit(self, resource);
  vdomainview* v = asView(self);
  vresource child;
  if (vresourceTestGet(resource, vnameInternLiteral("Domain"), &child))
    takeDomain(v, static_cast<vdomain*>(_vobjectLoadOfClass(child, vdomainGetDefaultClass())));
  else
    takeDomain(v, vclassRec<vdomainitemClassRec>(v)->makeDomain(v));
}

void itemStore(vobject* self, vresource resource) {
  vdomainviewGetDefaultClass()->store(self, resource);
  vdomainview* v = asView(self);
  if (!v->domain) return;
  vresource child = vresourceCreate(resource, vnameInternLiteral("Domain"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(v->domain)->store(v->domain, child);
}

void itemDestroy(vinstance* self) {
  itemSetDomain(asView(self), nullptr);
  vdomainviewGetDefaultClass()->destroy(self);
}

}  // namespace

vdomainClassRec* vdomainitemDomainGetDefaultClass() {
  if (module()->itemDomain) return module()->itemDomain;
  auto* c = vclassSpawnOf<vdomainClassRec>(vdomainGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vdomainitemDomain"));
  module()->itemDomain = c;
  return c;
}

vdomainitemClassRec* vdomainitemGetDefaultClass() {
  if (module()->item) return module()->item;
  vdomainitemDomainGetDefaultClass();  // a stored item names it
  auto* c = vclassSpawnOf<vdomainitemClassRec>(vdomainviewGetDefaultClass());
  c->init = itemInit;
  c->destroy = itemDestroy;
  c->copy = itemCopy;
  c->copyInit = copyInit;
  c->loadInit = itemLoadInit;
  c->store = itemStore;
  c->setDomain = itemSetDomain;
  c->makeDomain = makeDomain;
  vclassSetName(c, vscribeLiteral("vdomainitem"));
  module()->item = c;
  return c;
}

vdomainview* vdomainitemCreate() { return asView(vinstanceCreate(vdomainitemGetDefaultClass())); }
