// Notebook pages and sections: the tree of a notebook's content, which
// page is current all the way up, turning, and page numbering.
#include <algorithm>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/notebook/notebook_internal.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
vnotebookPage* asPage(void* o) { return static_cast<vnotebookPage*>(o); }
vnotebookSection* asSection(void* o) { return static_cast<vnotebookSection*>(o); }
vcontainerClassRec* containerClass() { return vcontainerGetDefaultClass(); }
vnotebookPageClassRec* pageRec(const vnotebookPage* p) { return vnotebookPageClassOf(p); }
const vnotebookNames& names() { return _vnotebookNames(); }

void makeFlat(vnotebookPage* p) { vcontainerSetFlat(p, 1); }

// The content is its own virtual and visible rectangle: no container
// scrolling, so the container's pending layout never runs for a page.
void settleContent(vnotebookPage* p) {
  vrect r{};
  pageRec(p)->getContentRect(p, &r);
  p->content = r;
  p->bounds = r;
  p->containerFlags &= std::uint16_t(~(vcontainerBOUNDS_PENDING | vcontainerCONTENT_PENDING));
}

// ---- Page slots.
void activate(vnotebookPage* p) { p->pageFlags |= vnotebookPageACTIVE; }
void deactivate(vnotebookPage* p) { p->pageFlags &= std::uint16_t(~vnotebookPageACTIVE); }
int mayLeave(vnotebookPage*) { return 1; }
vnotebookTab* makeTab(vnotebookPage*) {
  return static_cast<vnotebookTab*>(vinstanceCreate(vnotebookTabGetDefaultClass()));
}

void contentRect(vnotebookPage* p, vrect* out) {
  int mt = 0, ml = 0, mb = 0, mr = 0, it = 0, il = 0, ib = 0, ir = 0;
  pageRec(p)->getMargins(p, &mt, &ml, &mb, &mr);
  pageRec(p)->getTabInsets(p, &it, &il, &ib, &ir);
  const vrect& r = p->rect;
  *out = vrect{s16(r.x + ml + il), s16(r.y + mb + ib), s16(std::max(0, r.width - ml - il - mr - ir)),
               s16(std::max(0, r.height - mb - ib - mt - it))};
}

void drawContent(vnotebookPage* p, const vrect* rect) {
  if (!_vnotebookMeetsClip(*rect)) return;
  vdrawGSave();
  vdrawClipRects(rect, 1);
  vdrawTranslate(p->bounds.x, p->bounds.y);
  vimage* image = vdialogGetItemImage(p);
  if (image && image->width > 0 && image->height > 0) {
    vdrawGSave();
    vdrawScale(double(rect->width) / image->width, double(rect->height) / image->height);
    vdrawPathMoveTo(0, 0);
    vdrawImage(image);
    vdrawGRestore();
  }
  vdialogItemListDraw(p->items);
  vdrawGRestore();
}

void drawBorder(vnotebookPage* p, const vrect* rect) {
  const vlaf* look = vlafGetCurrent();
  if (!(look->flags & vlaf3D)) {
    vdrawRectsFrame(rect, 1);
    return;
  }
  vcolorScheme s{};
  vdialogDetermineItemColors(p, 80, &s);
  if (p->containerFlags & vcontainerFLAT) vdrawRectsFrameShadedWide(rect, 1, s.entries[4], s.entries[6]);
  else vdrawRectsFrameShaded(rect, 1, nullptr, s.entries[4], s.entries[6]);
}

void contentMinSize(vnotebookPage* p, int* w, int* h) { vdialogItemListClassOf(p->items)->naturalSize(p->items, w, h); }

void margins(vnotebookPage* p, int* top, int* left, int* bottom, int* right) {
  int m = 0;
  if (pageRec(p)->drawsBorder(p)) {
    m = int(vdialogDetermineItemInset(p));
    if ((vlafGetCurrent()->flags & vlaf3D) && (p->containerFlags & vcontainerFLAT)) m = std::max(m, 2);
  }
  *top = *left = *bottom = *right = m;
}
void tabInsets(vnotebookPage*, int* top, int* left, int* bottom, int* right) { *top = *left = *bottom = *right = 0; }

int drawsBorder(vnotebookPage* p) {
  if (!_vnotebookPlaced(p)) return 0;
  vnotebook* n = vnotebookFindNotebook(p);
  return !n || (n->notebookFlags & vnotebookBORDERS) ? 1 : 0;
}

// ---- Object slots.
void adoptTab(vnotebookPage* p) {
  if (p->tab) p->tab->page = p;
}

void init(vinstance* self) {
  containerClass()->init(self);
  vnotebookPage* p = asPage(self);
  p->ordinal = 0;
  p->pageFlags = 0;
  p->tab = pageRec(p)->makeTab(p);
  adoptTab(p);
  makeFlat(p);
  settleContent(p);
  vdialogHideItem(p);
  vdialogDisableItem(p);
}

void dropTab(vnotebookPage* p) {
  vnotebookTab* tab = p->tab;
  if (!tab) return;
  p->tab = nullptr;
  if (vnotebookTabSet* set = tab->tabSet) {
    if (set->notebook) vnotebookRemoveTab(set->notebook, set, tab);
    else vcontainerRemoveItem(set, tab);
  }
  vinstanceDestroy(tab);
}

void destroy(vinstance* self) {
  dropTab(asPage(self));
  containerClass()->destroy(self);
}

void copyTab(vnotebookPage* from, vnotebookPage* to) {
  to->pageFlags = from->pageFlags;
  to->ordinal = from->ordinal;
  to->tab = pageRec(to)->makeTab(to);
  if (from->tab) vclassRec<vobjectClassRec>(to->tab)->copy(from->tab, to->tab);
  to->tab->tabSet = nullptr;
  adoptTab(to);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  containerClass()->copy(source, destination);
  dropTab(asPage(destination));
  copyTab(asPage(source), asPage(destination));
}

void copyInit(vobject* source, vobject* destination) {
  containerClass()->copyInit(source, destination);
  copyTab(asPage(source), asPage(destination));
}

void loadInit(vobject* self, vresource resource) {
  containerClass()->loadInit(self, resource);
  vnotebookPage* p = asPage(self);
  p->ordinal = 0;
  std::int32_t flags = 0;
  vresourceTestGetInteger(resource, names().pageFlags, &flags);
  p->pageFlags = std::uint16_t(flags);
  vresource r;
  p->tab = nullptr;
  if (vresourceTestGet(resource, names().tab, &r)) {
    vobject* loaded = vobjectLoad(r);
    if (vclassIsSubclass(loaded->cls, vnotebookTabGetDefaultClass())) p->tab = static_cast<vnotebookTab*>(loaded);
    else vinstanceDestroy(loaded);
  }
  if (!p->tab) p->tab = pageRec(p)->makeTab(p);
  adoptTab(p);
  makeFlat(p);
  settleContent(p);
  if (vnotebookIsNotebook(p)) return;
  if (p->pageFlags & vnotebookPageACTIVE) {
    vdialogShowItem(p);
    vdialogEnableItem(p);
  } else {
    vdialogHideItem(p);
    vdialogDisableItem(p);
  }
}

void store(vobject* self, vresource resource) {
  vnotebookPage* p = asPage(self);
  vresourceSetIntegerAt(resource, names().pageFlags, p->pageFlags);
  if (p->tab) vclassRec<vobjectClassRec>(p->tab)->store(p->tab, vresourceCreate(resource, names().tab, vresDICTIONARY));
  containerClass()->store(self, resource);
}

void minSize(vdialogItem* item, int* w, int* h) {
  vnotebookPage* p = asPage(item);
  int mt = 0, ml = 0, mb = 0, mr = 0, it = 0, il = 0, ib = 0, ir = 0;
  pageRec(p)->getContentMinSize(p, w, h);
  pageRec(p)->getMargins(p, &mt, &ml, &mb, &mr);
  pageRec(p)->getTabInsets(p, &it, &il, &ib, &ir);
  *w += ml + mr + il + ir;
  *h += mt + mb + it + ib;
}

void draw(vdialogItem* item) {
  vnotebookPage* p = asPage(item);
  _vnotebookFillBackground(p, p->rect);
  if (pageRec(p)->drawsBorder(p)) pageRec(p)->drawBorder(p, &p->rect);
  pageRec(p)->drawContent(p, &p->content);
}

// "Content" makes the content rectangle again; the container's own
// computation (frame, title, scroll bars) is not a page's.
void send(vobject* self, vname name, vdict* args) {
  vnotebookPage* p = asPage(self);
  if (name != vname_Content) {
    containerClass()->send(self, name, args);
    return;
  }
  vrect old = p->bounds;
  settleContent(p);
  if (!vrectEqual(&old, &p->bounds)) {
    vrect was = old;
    vobjectSendValueChange(p, vname_Bounds, &was, &p->bounds);
    // A section's items fill its interior, open or not.
    if (vnotebookIsSection(p)) vcontainerArrange(p, &p->bounds);
  }
  vdialogItemListPassInherited(p->items, vname_Content, args);
  vdialogItemGetDefaultClass()->send(self, name, args);
}

// ---- Sections.
vnotebookPageClassRec* pageClass() { return vnotebookPageGetDefaultClass(); }

void sectionInit(vinstance* self) {
  pageClass()->init(self);
  vnotebookSection* s = asSection(self);
  s->sectionFlags = 0;
  s->directCount = s->totalCount = s->numberBase = 0;
}

void sectionLoadInit(vobject* self, vresource resource) {
  pageClass()->loadInit(self, resource);
  vnotebookSection* s = asSection(self);
  s->sectionFlags = 0;
  s->directCount = s->totalCount = s->numberBase = 0;
  std::int32_t current = -1;
  vresourceTestGetInteger(resource, names().currentPage, &current);
  s->selection = current >= 0 && current < vdialogItemListCount(s->items) ? vdialogItemListAt(s->items, current)
                                                                           : nullptr;
}

void sectionStore(vobject* self, vresource resource) {
  pageClass()->store(self, resource);
  vnotebookSection* s = asSection(self);
  int current = s->selection ? vobjectListIndexOf(s->items, s->selection) : -1;
  vresourceSetIntegerAt(resource, names().currentPage, current);
}

void sectionCopyFields(vobject* from, vobject* to) {
  asSection(to)->sectionFlags = asSection(from)->sectionFlags;
  asSection(to)->directCount = asSection(from)->directCount;
}
void sectionCopy(vobject* from, vobject* to) {
  if (from == to) return;
  pageClass()->copy(from, to);
  sectionCopyFields(from, to);
}
void sectionCopyInit(vobject* from, vobject* to) {
  pageClass()->copyInit(from, to);
  sectionCopyFields(from, to);
}

void sectionArrange(vcontainer* c, const vrect*) {
  vrect r{0, 0, c->content.width, c->content.height};
  for (int i = 0; i < vdialogItemListCount(c->items); ++i) vdialogSetItemRect(vdialogItemListAt(c->items, i), &r);
}

void sectionActivate(vnotebookPage* p) {
  pageClass()->activate(p);
  auto* current = asPage(asSection(p)->selection);
  if (current && !(current->pageFlags & vnotebookPageACTIVE)) pageRec(current)->activate(current);
}
void sectionDeactivate(vnotebookPage* p) {
  pageClass()->deactivate(p);
  auto* current = asPage(asSection(p)->selection);
  if (current && (current->pageFlags & vnotebookPageACTIVE)) pageRec(current)->deactivate(current);
}
int sectionMayLeave(vnotebookPage* p) {
  auto* current = asPage(asSection(p)->selection);
  return current ? pageRec(current)->mayLeave(current) : 1;
}
void sectionContentMinSize(vnotebookPage* p, int* w, int* h) {
  *w = *h = 0;
  for (int i = 0; i < vdialogItemListCount(p->items); ++i) {
    int iw = 0, ih = 0;
    vdialogGetItemMinSize(vdialogItemListAt(p->items, i), &iw, &ih);
    *w = std::max(*w, iw);
    *h = std::max(*h, ih);
  }
}
int sectionDrawsBorder(vnotebookPage*) { return 0; }

bool passesUp(vname name) {
  return name == names().newPage || name == names().majorChange || name == names().minorChange;
}
void sectionSend(vobject* self, vname name, vdict* args) {
  pageClass()->send(self, name, args);
  if (!passesUp(name) || vnotebookIsNotebook(self)) return;
  if (vnotebookSection* parent = vnotebookGetParentSection(asSection(self)))
    vobjectAttributedOf(parent)->send(parent, name, args);
}

void sectionAppend(vcontainer* c, vdialogItem* item) { vnotebookSectionAppend(asSection(c), item); }
void sectionRemove(vcontainer* c, vdialogItem* item) { vnotebookSectionRemove(asSection(c), item); }

bool isActive(vdialogItem* item) { return (asPage(item)->pageFlags & vnotebookPageACTIVE) != 0; }

}  // namespace

void _vnotebookFillPageSlots(vnotebookPageClassRec* c) {
  c->instanceSize = sizeof(vnotebookPage);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->send = send;
  c->minSize = minSize;
  c->draw = draw;
  c->activate = activate;
  c->deactivate = deactivate;
  c->mayLeave = mayLeave;
  c->makeTab = makeTab;
  c->getContentRect = contentRect;
  c->drawContent = drawContent;
  c->drawBorder = drawBorder;
  c->getContentMinSize = contentMinSize;
  c->getContentSize = contentMinSize;
  c->getMargins = margins;
  c->getTabInsets = tabInsets;
  c->drawsBorder = drawsBorder;
}

void _vnotebookFillSectionSlots(vnotebookPageClassRec* c) {
  c->instanceSize = sizeof(vnotebookSection);
  c->init = sectionInit;
  c->loadInit = sectionLoadInit;
  c->store = sectionStore;
  c->copy = sectionCopy;
  c->copyInit = sectionCopyInit;
  c->send = sectionSend;
  c->appendItem = sectionAppend;
  c->removeItem = sectionRemove;
  c->arrange = sectionArrange;
  c->activate = sectionActivate;
  c->deactivate = sectionDeactivate;
  c->mayLeave = sectionMayLeave;
  c->getContentMinSize = sectionContentMinSize;
  c->drawsBorder = sectionDrawsBorder;
}

bool vnotebookIsPage(const vobject* o) { return o && vclassIsSubclass(o->cls, vnotebookPageGetDefaultClass()); }
bool vnotebookIsSection(const vobject* o) {
  return o && vclassIsSubclass(o->cls, vnotebookSectionGetDefaultClass());
}
bool vnotebookIsNotebook(const vobject* o) { return o && vclassIsSubclass(o->cls, vnotebookGetDefaultClass()); }

vnotebookSection* vnotebookGetParentSection(const vdialogItem* item) {
  vobject* owner = item && item->owner ? item->owner->owner : nullptr;
  return vnotebookIsSection(owner) ? asSection(owner) : nullptr;
}

vnotebook* vnotebookFindNotebook(const vdialogItem* item) {
  for (vnotebookSection* s = vnotebookGetParentSection(item); s; s = vnotebookGetParentSection(s))
    if (vnotebookIsNotebook(s)) return static_cast<vnotebook*>(s);
  return nullptr;
}

void vnotebookSectionAppend(vnotebookSection* s, vdialogItem* item) {
  if (!vnotebookIsPage(item)) vexGenerateMessage(&vexArgClass, "appended item should be of page or section class");
  vrect r{0, 0, s->content.width, s->content.height};
  vdialogSetItemRect(item, &r);
  vdialogHideItem(item);
  vdialogDisableItem(item);
  containerClass()->appendItem(s, item);
  vobjectSendValueChange(s, vname_MinSize, nullptr, nullptr);
  vdialogInvalItem(s, 0);
}

void vnotebookSectionRemove(vnotebookSection* s, vdialogItem* item) {
  vnotebook* notebook = vnotebookIsNotebook(s) ? static_cast<vnotebook*>(s) : vnotebookFindNotebook(s);
  vnotebookTab* tab = vnotebookIsPage(item) ? asPage(item)->tab : nullptr;
  bool outside = false;
  if (notebook && tab && tab->tabSet) {
    vnotebook* holder = vnotebookFindNotebook(item);
    if (holder) vnotebookRemoveTab(holder, tab->tabSet, tab);
    else outside = true;
  }
  if (s->selection == item && notebook && !outside) {
    vdialogItem* replacement = vnotebookSectionPreviousPage(notebook);
    if (!replacement) replacement = vnotebookSectionNextPage(notebook);
    if (replacement) vnotebookPageSelect(replacement);
  }
  containerClass()->removeItem(s, item);
  vobjectSendValueChange(s, vname_MinSize, nullptr, nullptr);
  vdialogInvalItem(s, 0);
}

void vnotebookSectionSetCurrent(vnotebookSection* s, vdialogItem* item) {
  if (s->selection == item) return;
  if (vdialogItem* old = s->selection) {
    vnotebookPage* p = asPage(old);
    if (!pageRec(p)->mayLeave(p)) return;
    pageRec(p)->deactivate(p);
    vdialogItemListSetFocusIndex(s->items, -1);
    vdialogHideItem(old);
    vdialogDisableItem(old);
  }
  s->selection = item;
  if (item) {
    vnotebookPage* p = asPage(item);
    pageRec(p)->activate(p);
    vdialogEnableItem(item);
    vdialogShowItem(item);
    // Through the slot: a notebook whose tabs hold the focus keeps it there.
    vcontainerSetFocusItem(s, item);
  }
  if (s->sectionFlags & vnotebookSectionMAJOR) vobjectSendValueChange(s, names().majorChange, nullptr, item);
  if (s->sectionFlags & vnotebookSectionMINOR) vobjectSendValueChange(s, names().minorChange, nullptr, item);
  vobjectSendValueChange(s, names().newPage, nullptr, item);
  if (!item) return;
  vnotebookTab* tab = asPage(item)->tab;
  vnotebook* notebook = vnotebookFindNotebook(item);
  if (notebook && tab && tab->tabSet) vnotebookClassOf(notebook)->showTab(notebook, tab->tabSet, tab);
}

void vnotebookPageSelect(vdialogItem* item) {
  if (vnotebookIsSection(item) && !asSection(item)->selection)
    if (vdialogItem* first = vnotebookSectionFirstPage(asSection(item))) item = first;
  vdialogItem* child = item;
  for (vnotebookSection* s = vnotebookGetParentSection(child); s; child = s, s = vnotebookGetParentSection(s)) {
    vnotebookSectionSetCurrent(s, child);
    if (vnotebookIsNotebook(s)) break;
  }
}

vdialogItem* vnotebookSectionFirstPage(vnotebookSection* s) {
  for (int i = 0; i < vdialogItemListCount(s->items); ++i) {
    vdialogItem* item = vdialogItemListAt(s->items, i);
    if (!vnotebookIsSection(item)) return item;
    if (vdialogItem* first = vnotebookSectionFirstPage(asSection(item))) return first;
  }
  return nullptr;
}

vdialogItem* vnotebookSectionLastPage(vnotebookSection* s) {
  for (int i = vdialogItemListCount(s->items) - 1; i >= 0; --i) {
    vdialogItem* item = vdialogItemListAt(s->items, i);
    if (!vnotebookIsSection(item)) return item;
    if (vdialogItem* last = vnotebookSectionLastPage(asSection(item))) return last;
  }
  return nullptr;
}

vdialogItem* vnotebookSectionNextPage(vnotebookSection* s) {
  vdialogItem* current = s->selection;
  if (vnotebookIsSection(current))
    if (vdialogItem* next = vnotebookSectionNextPage(asSection(current))) return next;
  int n = vdialogItemListCount(s->items);
  for (int i = current ? vobjectListIndexOf(s->items, current) + 1 : 0; i < n; ++i) {
    vdialogItem* item = vdialogItemListAt(s->items, i);
    if (!vnotebookIsSection(item)) return item;
    if (vdialogItem* first = vnotebookSectionFirstPage(asSection(item))) return first;
  }
  return nullptr;
}

vdialogItem* vnotebookSectionPreviousPage(vnotebookSection* s) {
  vdialogItem* current = s->selection;
  if (vnotebookIsSection(current))
    if (vdialogItem* previous = vnotebookSectionPreviousPage(asSection(current))) return previous;
  int start = current ? vobjectListIndexOf(s->items, current) - 1 : vdialogItemListCount(s->items) - 1;
  for (int i = start; i >= 0; --i) {
    vdialogItem* item = vdialogItemListAt(s->items, i);
    if (!vnotebookIsSection(item)) return item;
    if (vdialogItem* last = vnotebookSectionLastPage(asSection(item))) return last;
  }
  return nullptr;
}

void vnotebookSelectFirstPage(vnotebookSection* s) {
  if (vdialogItem* first = vnotebookSectionFirstPage(s)) vnotebookPageSelect(first);
}

void vnotebookTurnPage(vnotebook* n, int forward) {
  vdialogItem* target = forward ? vnotebookSectionNextPage(n) : vnotebookSectionPreviousPage(n);
  if (!target && (n->notebookFlags & vnotebookWRAPS))
    target = forward ? vnotebookSectionFirstPage(n) : vnotebookSectionLastPage(n);
  if (target) vnotebookPageSelect(target);
}

int vnotebookSectionRenumber(vnotebookSection* s, int counter) {
  s->numberBase = s16(counter);
  int direct = 0, total = 0;
  bool restart = !(s->sectionFlags & vnotebookSectionFLATTENED) &&
                 (s->sectionFlags & (vnotebookSectionMAJOR | vnotebookSectionMINOR));
  bool firstPage = true;
  for (int i = 0; i < vdialogItemListCount(s->items); ++i) {
    vdialogItem* item = vdialogItemListAt(s->items, i);
    if (vnotebookIsSection(item)) {
      if (restart) counter = 0;
      counter = vnotebookSectionRenumber(asSection(item), counter);
      total += asSection(item)->totalCount;
      continue;
    }
    if (firstPage) s->numberBase = s16(counter);
    firstPage = false;
    asPage(item)->ordinal = s16(++direct);
    ++counter;
  }
  s->directCount = s16(direct);
  s->totalCount = s16(total + direct);
  return counter;
}

void vnotebookGetPageNumbers(vnotebook* n, int* current, int* total) {
  int mode = vnotebookGetStyleValue(n, vnotebookTAB_MODE);
  const std::uint32_t tabbed = vnotebookSectionMAJOR | vnotebookSectionMINOR;
  *total = n->totalCount;
  *current = 0;
  vnotebookSection* s = n;
  while (vnotebookIsSection(s->selection)) {
    vnotebookSection* child = asSection(s->selection);
    if (mode != 1 && (s->sectionFlags & tabbed)) *total = child->totalCount;
    s = child;
  }
  if (!s->selection) return;
  if (mode != 1 && (s->sectionFlags & tabbed)) {
    *current = *total = 1;
    return;
  }
  *current = s->numberBase + asPage(s->selection)->ordinal;
}

bool _vnotebookIsActive(vdialogItem* item) { return isActive(item); }
