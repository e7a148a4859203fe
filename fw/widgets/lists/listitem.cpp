// List items and their string lists: the classes, the owned list, the
// resource form with the selection method, the automatic width (the widest
// string measured, the column refitted, string changes watched) and the
// visible-row count in the item's sizes.
#include "fw/widgets/lists/listitem.h"

#include <algorithm>
#include <cstring>

#include "fw/core/attributed.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/widgets/dialog/item_internal.h"

namespace {

struct ModuleState {
  vlistitemClassRec* cls;
  vlistitemListClassRec* listClass;
};
void** stateSlot = nullptr;

vlistviewClassRec* super() { return vlistviewGetDefaultClass(); }
vliststrClassRec* listSuper() { return vliststrGetDefaultClass(); }
vlistitem* asItem(void* o) { return static_cast<vlistitem*>(static_cast<vinstance*>(o)); }
vlistitemList* asList(void* o) { return static_cast<vlistitemList*>(static_cast<vinstance*>(o)); }
vname key(const char* text) { return vnameInternLiteral(text); }

bool autoWidth(const vlistitem* i) { return (i->itemFlags & vlistitemAUTO_WIDTH) != 0; }
int rounded(vfixed v) { return int((v + 0x8000) >> 16); }

// The selection methods by mode 1 ... 4.
constexpr const char* kMethods[] = {"Free Selection", "One Only Selection", "Rectangular Selection",
                                    "No Selection"};

// ---- Measuring and refitting.

int measureCell(vlistitem* i, std::int32_t row, std::int32_t column) {
  const char* s = reinterpret_cast<const char*>(vlistGetCell(i->list, row, column));
  if (!s || !*s) return 0;
  return rounded(vfontGetCharsWidth(vdialogDetermineItemFont(i), s, int(std::strlen(s))));
}

void measureWidest(vlistitem* i) {
  vlist* l = i->list;
  if (!l || vlistGetRowCount(l) < 1 || vlistGetColumnCount(l) < 1) return;
  int widest = 0;
  for (std::int32_t r = 0; r < vlistGetRowCount(l); ++r) widest = std::max(widest, measureCell(i, r, 0));
  if (widest > 0) i->widest = widest;
}

void refit(vlistitem* i) {
  if (!i->list) return;
  auto* c = vlistviewClassOf(i);
  vrect area;
  _vlistviewGetContentRect(i, &area);
  std::int32_t w = std::max<std::int32_t>(area.width - 2 * c->cellBorder, i->widest + 2 * c->step);
  vlistviewSetColumnWidth(i, vlistsizeALL_COLUMNS, w);
}

// ---- The string list.

void listInit(vinstance* self) {
  listSuper()->init(self);
  asList(self)->owner = nullptr;
}

void listLoadInit(vobject* self, vresource resource) {
  asList(self)->owner = nullptr;
  listSuper()->loadInit(self, resource);
}

// A change to the widest string measures them all again; a string wider
// than the widest, new or replacing another, becomes the widest.
void listSetCell(vlist* list, std::int32_t row, std::int32_t column, vlistCell value) {
  vlistitem* i = asList(list)->owner;
  if (!i || !autoWidth(i) || !value || (i->itemFlags & vlistitemDESTROYING)) {
    listSuper()->setCell(list, row, column, value);
    return;
  }
  bool inside = row >= 0 && column >= 0 && row < vlistGetRowCount(list) && column < vlistGetColumnCount(list);
  int before = inside ? measureCell(i, row, column) : 0;
  listSuper()->setCell(list, row, column, value);
  int after = measureCell(i, row, column);
  if (inside && before >= i->widest) {
    measureWidest(i);
    refit(i);
  } else if (after > i->widest) {
    i->widest = after;
    refit(i);
  }
}

// ---- The item.

vlistitemList* createList(vlistitem*) { return vlistitemListCreate(); }

void setAutoWidth(vlistitem* i, int on) {
  if (!on) {
    i->widest = -1;
    i->itemFlags &= std::uint16_t(~vlistitemAUTO_WIDTH);
    return;
  }
  if (!autoWidth(i) && i->list) {
    // Off kept -1; a list of empty strings measures nothing above 0.
    i->widest = 0;
    measureWidest(i);
    refit(i);
  }
  i->itemFlags |= vlistitemAUTO_WIDTH;
}

void setVisibleRows(vlistitem* i, std::int32_t rows) {
  if (rows == i->visibleRows) return;
  i->visibleRows = rows;
  vobjectSendOperand(i, vname_MinSize);
}

void setList(vlistview* v, vlist* list) {
  vlistitem* i = asItem(v);
  vlist* previous = v->list;
  if (list == previous) return;  // set again: destroying it would leave the view without one
  if (list) {
    if (!vclassIsSubclass(list->cls, vlistitemGetListClass()))
      _vexGenerate(&vexArgClass, vexSetMessage, "a list item's list must be a vlistitemList", vexEnd);
    asList(list)->owner = i;
  }
  super()->setList(v, list);
  if (previous) vinstanceDestroy(previous);
}

void fields(vlistitem* i) {
  i->widest = 0;
  i->visibleRows = 0;
  i->itemFlags = vlistitemAUTO_WIDTH;
}

void init(vinstance* self) {
  super()->init(self);
  vlistitem* i = asItem(self);
  fields(i);
  vlistviewSetVerticalBar(i, 1);
  vlistviewSetList(i, vlistitemClassOf(i)->createList(i));
  vlistitemSetAutoWidth(i, 1);
  vlistSetSelectionMode(i->list, i->selection, vlistONE_ONLY_SELECTION);
}

void destroy(vinstance* self) {
  vlistitem* i = asItem(self);
  i->itemFlags |= vlistitemDESTROYING;
  vlistviewSetList(i, nullptr);
  super()->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vlistitem* from = asItem(source);
  vlistitem* to = asItem(destination);
  super()->copy(source, destination);
  if (to->list && to->list == from->list) {
    // The inherited copy shows the source's list: the target takes a
    // clone of it, which it owns, and the source keeps its own.
    asList(from->list)->owner = from;
    auto* own = asList(vobjectClone(from->list));
    own->owner = nullptr;
    super()->setList(to, own);
    vlistCopySelection(own, from->selection, to->selection);
  }
  if (to->list) asList(to->list)->owner = to;
  to->visibleRows = from->visibleRows;
  to->itemFlags = std::uint16_t((to->itemFlags & ~vlistitemAUTO_WIDTH) | (from->itemFlags & vlistitemAUTO_WIDTH));
  to->widest = autoWidth(to) ? std::max(to->widest, 0) : -1;
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(destination)->init(destination);
  vclassRec<vobjectClassRec>(destination)->copy(source, destination);
  vlistitem* to = asItem(destination);
  if (autoWidth(to)) measureWidest(to);
}

void loadInit(vobject* self, vresource resource) {
  vlistitem* i = asItem(self);
  fields(i);
  super()->loadInit(self, resource);
  fields(i);
  bool hbar = i->hbar != nullptr, vbar = i->vbar != nullptr;
  std::int32_t v = 0;
  if (vresourceTestGetInteger(resource, key("Autowidth"), &v)) vlistitemSetAutoWidth(i, v != 0);
  vresource child;
  bool loaded = vresourceTestGet(resource, key("List"), &child);
  vlist* list = loaded ? static_cast<vlist*>(_vobjectLoadOfClass(child, vlistitemGetListClass())) : vlistitemClassOf(i)->createList(i);
  vlistviewSetList(i, list);
  vlistviewSetHorizontalBar(i, hbar);
  vlistviewSetVerticalBar(i, vbar);
  if (vresourceTestGetInteger(resource, key("VisibleRows"), &v) && v > 0) i->visibleRows = v;
  int mode = vlistONE_ONLY_SELECTION;
  vname method = nullptr;
  if (vresourceTestGetTag(resource, key("SelectMethod"), &method))
    for (int m = 0; m < 4; ++m)
      if (method == key(kMethods[m])) mode = m + 1;
  vlistSetSelectionMode(i->list, i->selection, mode);
  if (vresourceTestGetInteger(resource, key("AtLeastOneSelection"), &v))
    vlistSetSelectionAtLeastOne(i->list, i->selection, v != 0);
  if (autoWidth(i) && loaded) measureWidest(i);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vlistitem* i = asItem(self);
  if (i->visibleRows > 0) vresourceSetIntegerAt(resource, key("VisibleRows"), i->visibleRows);
  if (i->list) vclassRec<vobjectClassRec>(i->list)->store(i->list, vresourceGetDict(resource, key("List")));
  if (i->selection) {
    int mode = i->selection->mode;
    if (mode >= 1 && mode <= 4) vresourceSetTagAt(resource, key("SelectMethod"), key(kMethods[mode - 1]));
    if (i->selection->flags & vlistAT_LEAST_ONE) vresourceSetIntegerAt(resource, key("AtLeastOneSelection"), 1);
  }
  vresourceSetIntegerAt(resource, key("Autowidth"), autoWidth(i) ? 1 : 0);
}

// Measured with the new font: the one before would fit the old strings.
void setFont(vdialogItem* item, vfont* font) {
  super()->setFont(item, font);
  vlistitem* i = asItem(item);
  if (!autoWidth(i)) return;
  measureWidest(i);
  refit(i);
}

void open(vdialogItem* item) {
  super()->open(item);
  vlistitem* i = asItem(item);
  if (autoWidth(i)) refit(i);
}

void setRect(vdialogItem* item, const vrect* rect) {
  super()->setRect(item, rect);
  vlistitem* i = asItem(item);
  if (autoWidth(i)) refit(i);
}

void naturalSize(vdialogItem* item, int* width, int* height) {
  vlistitem* i = asItem(item);
  if (i->size && i->size->defaultHeight == -1) {
    vfont* font = vdialogDetermineItemFont(i);
    std::int32_t h = rounded(vfontGetDriver()->ascent(font)) + rounded(vfontGetDriver()->descent(font));
    vlistsizeClassOf(i->size)->setDefaultHeight(i->size, h + 2 * vlistviewClassOf(i)->cellBorder);
  }
  super()->naturalSize(item, width, height);
}

void contentSize(vlistview* v, int* width, int* height) {
  super()->contentSize(v, width, height);
  vlistitem* i = asItem(v);
  if (i->visibleRows > 0 && i->size) *height = vlistsizeGetDefaultHeight(i->size) * i->visibleRows;
  if (autoWidth(i)) *width = 2 * (vlistviewClassOf(v)->cellBorder + vlistviewClassOf(v)->step) + i->widest;
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  return st;
}

void buildClasses(ModuleState* st) {
  if (st->cls) return;
  vlistGetDefaultClass();
  auto* l = vclassSpawnOf<vlistitemListClassRec>(listSuper());
  vclassSetName(l, vscribeLiteral("vlistitemList"));
  l->instanceSize = sizeof(vlistitemList);
  l->init = listInit;
  l->loadInit = listLoadInit;
  l->setCell = listSetCell;
  st->listClass = l;

  auto* c = vclassSpawnOf<vlistitemClassRec>(super());
  vclassSetName(c, vscribeLiteral("vlistitem"));
  c->instanceSize = sizeof(vlistitem);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setFont = setFont;
  c->open = open;
  c->setRect = setRect;
  c->naturalSize = naturalSize;
  c->contentSize = contentSize;
  c->setList = setList;
  c->createList = createList;
  c->setAutoWidth = setAutoWidth;
  c->setVisibleRows = setVisibleRows;
  _vdialogItemRunNamingHook(c);
  st->cls = c;
}

}  // namespace

vlistitemClassRec* vlistitemGetDefaultClass() {
  ModuleState* st = state();
  buildClasses(st);
  return st->cls;
}
vlistitemListClassRec* vlistitemGetListClass() {
  ModuleState* st = state();
  buildClasses(st);
  return st->listClass;
}
vlistitem* vlistitemCreate() { return asItem(vinstanceCreate(vlistitemGetDefaultClass())); }
vlistitemList* vlistitemListCreate() { return asList(vinstanceCreate(vlistitemGetListClass())); }

std::int32_t vlistitemGetSelectedRow(vlistitem* i) {
  if (!i->list || !i->selection) return -1;
  std::int32_t row = -1, column = -1;
  vlistGetFirstSelectedCell(i->list, i->selection, &row, &column);
  return row;
}
