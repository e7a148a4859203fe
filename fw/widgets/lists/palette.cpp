// Palettes and their items: the classes, the owned item vector laid out
// row-major over the list, choosing, the selection filter that keeps
// disabled and empty cells unselected, the cell drawer and cell frames,
// and the resource form.
#include "fw/widgets/lists/palette.h"

#include <algorithm>
#include <cstring>

#include "fw/core/attributed.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

struct ModuleState {
  vpaletteClassRec* cls;
  vpaletteItemClassRec* itemClass;
};
void** stateSlot = nullptr;

vlistviewClassRec* super() { return vlistviewGetDefaultClass(); }
vobjectClassRec* itemSuper() { return vobjectGetDefaultClass(); }
vpalette* asPalette(void* o) { return static_cast<vpalette*>(static_cast<vinstance*>(o)); }
vpaletteItem* asItem(void* o) { return static_cast<vpaletteItem*>(static_cast<vinstance*>(o)); }
vname key(const char* text) { return vnameInternLiteral(text); }

void argNull() { _vexGenerate(&vexArgNullClass, vexEnd); }
void argRange() { _vexGenerate(&vexArgRangeClass, vexEnd); }

std::int32_t count(const vpalette* p) { return vpaletteGetItemCount(p); }

// ---- Items.

void itemInit(vinstance* self) {
  itemSuper()->init(self);
  vpaletteItem* i = asItem(self);
  i->palette = nullptr;
  i->flags = 0;
  i->image = nullptr;
  i->action = nullptr;
}

void dropImage(vpaletteItem* i) {
  if (i->image && !(i->flags & vpaletteItemSHARED_IMAGE)) vinstanceDestroy(i->image);
  i->image = nullptr;
}

void itemDestroy(vinstance* self) {
  dropImage(asItem(self));
  itemSuper()->destroy(self);
}

void itemCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vpaletteItem* from = asItem(source);
  vpaletteItem* to = asItem(destination);
  dropImage(to);
  itemSuper()->copy(source, destination);
  to->palette = from->palette;
  to->flags = from->flags;
  to->action = from->action;
  to->image = from->image;
  if (from->image && !(from->flags & vpaletteItemSHARED_IMAGE))
    to->image = static_cast<vimage*>(vobjectClone(from->image));
}

void itemCopyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(destination)->init(destination);
  vclassRec<vobjectClassRec>(destination)->copy(source, destination);
}

void itemLoadInit(vobject* self, vresource resource) {
  itemSuper()->loadInit(self, resource);
  vpaletteItem* i = asItem(self);
  i->palette = nullptr;
  i->flags = 0;
  i->image = nullptr;
  i->action = nullptr;
  std::int32_t flags = 0;
  if (vresourceTestGetInteger(resource, vname_Flags, &flags)) i->flags = std::uint32_t(flags);
  vname tag = nullptr;
  if (vresourceTestGetTag(resource, vname_Name, &tag)) i->tag = tag;
  vresource icon;
  if (vresourceTestGet(resource, vname_Icon, &icon)) {
    // A loaded image is the item's own, whatever the stored flags say.
    i->image = vimageLoad(icon);
    i->flags &= ~vpaletteItemSHARED_IMAGE;
  }
}

void itemStore(vobject* self, vresource resource) {
  itemSuper()->store(self, resource);
  vpaletteItem* i = asItem(self);
  if (i->tag) vresourceSetTagAt(resource, vname_Name, i->tag);
  vresourceSetIntegerAt(resource, vname_Flags, std::int32_t(i->flags));
  if (i->image) vclassRec<vobjectClassRec>(i->image)->store(i->image, vresourceGetDict(resource, vname_Icon));
}

// ---- The grid.

// One row per columns items; cell (r, c) holds item r x columns + c.
void rearrange(vpalette* p) {
  std::int32_t n = count(p), columns = std::max(p->columns, 1);
  std::int32_t rows = (n + columns - 1) / columns;
  vlist* l = p->list;
  if (!l) return;
  vlistSetColumnCount(l, columns);
  vlistSetRowCount(l, rows);
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < columns; ++c) {
      std::int32_t k = r * columns + c;
      vlistSetCell(l, r, c, k < n ? reinterpret_cast<vlistCell>(p->itemsBegin[k]) : 0);
    }
  vlistviewSetRowHeight(p, vlistsizeALL_ROWS, p->cellHeight);
  vlistviewSetColumnWidth(p, vlistsizeALL_COLUMNS, p->cellWidth);
}

vpaletteItem* itemAt(vpalette* p, std::int32_t row, std::int32_t column) {
  if (!p->list || row < 0 || column < 0 || row >= vlistGetRowCount(p->list) ||
      column >= vlistGetColumnCount(p->list))
    return nullptr;
  return reinterpret_cast<vpaletteItem*>(vlistGetCell(p->list, row, column));
}

void cellOf(const vpalette* p, std::int32_t index, std::int32_t* row, std::int32_t* column) {
  std::int32_t columns = std::max(p->columns, 1);
  *row = index / columns;
  *column = index % columns;
}

// An empty or disabled first cell is unselected again before the end of
// the change is reported.
void selectionFilter(vlistview* v, vlistSelection* s) {
  if (!v->list || !s || s->rectCount == 0) return;
  std::int32_t row = -1, column = -1;
  vlistGetFirstSelectedCell(v->list, s, &row, &column);
  vpaletteItem* i = itemAt(asPalette(v), row, column);
  if (!i || vpaletteItemIsDisabled(i)) vlistUnselectRange(v->list, s, row, column, 1, 1);
}

void notifyCode(vlistview* v, int code) {
  vpalette* p = asPalette(v);
  if (code == 3 && v->list && v->selection && v->selection->rectCount > 0) {
    if (vpaletteItem* i = vpaletteGetSelectedItem(p); i && !vpaletteItemIsDisabled(i)) {
      if (i->action) i->action(p, i);
      if (i->tag) vobjectIssueTag(p, i->tag, nullptr);
    }
  }
  super()->notifyView(v, code);
}

// The image centred in the cell and clipped to it.
void cellDrawer(vlistview* v, std::int32_t row, std::int32_t column, int, vrect* cell) {
  vpaletteItem* i = itemAt(asPalette(v), row, column);
  if (!i || !i->image) return;
  vdrawGSave();
  int w = std::min<int>(i->image->width, cell->width), h = std::min<int>(i->image->height, cell->height);
  int x = cell->x + (cell->width - w) / 2, y = cell->y + (cell->height - h) / 2;
  vrect clip{std::int16_t(x), std::int16_t(y), std::int16_t(w), std::int16_t(h)};
  vdrawClipRects(&clip, 1);
  // A disabled item shows through the look's inactive pattern, as a
  // disabled label does.
  if (!vdialogItemIsEnabled(v) || vpaletteItemIsDisabled(i)) vlafClipPatternRect(&clip);
  vdrawPathMoveTo(x, y);
  vdrawImage(i->image);
  vdrawGRestore();
}

// The item colour number of a two-dimensional cell frame: 0 selected, 2
// enabled, 3 disabled; -1 without an item.
int flatFrameColor(vlistview* v, std::int32_t row, std::int32_t column, bool selected) {
  vpaletteItem* i = itemAt(asPalette(v), row, column);
  if (!i) return -1;
  if (selected) return 0;
  return vdialogItemIsEnabled(v) && !vpaletteItemIsDisabled(i) ? 2 : 3;
}
bool selectedCell(vlistview* v, std::int32_t row, std::int32_t column) {
  return v->selection && vlistIsCellSelected(v->list, v->selection, row, column);
}

// The background, then for an item a raised frame (sunken when
// selected). Two-dimensional frames share their lines with the
// neighbours above and to the left, but only with frames of their own
// colour: the cells drawn after a selected one would paint over its
// right and bottom lines.
void fillCell(vlistview* v, std::int32_t row, std::int32_t column, int selected, const vrect* rect) {
  super()->fillCell(v, row, column, 0, rect);
  vpaletteItem* i = itemAt(asPalette(v), row, column);
  if (!i) return;
  bool enabled = vdialogItemIsEnabled(v) && !vpaletteItemIsDisabled(i);
  vdrawGSave();
  if (vlafGetCurrent()->flags & vlaf3D) {
    vcolor* top = vdialogGetItemColor(v, selected ? 6 : enabled ? 4 : 5);
    vcolor* bottom = vdialogGetItemColor(v, selected ? 4 : enabled ? 6 : 7);
    vcolor* fill = vdialogGetItemColor(v, selected || enabled ? 2 : 3);
    vdrawRectsFrameShaded(rect, 1, fill, top, bottom);
  } else {
    int color = flatFrameColor(v, row, column, selected != 0);
    vrect r = *rect;
    if (row != 0 && flatFrameColor(v, row - 1, column, selectedCell(v, row - 1, column)) == color)
      r.height = std::int16_t(r.height + 1);
    if (column != 0 && flatFrameColor(v, row, column - 1, selectedCell(v, row, column - 1)) == color)
      r.x = std::int16_t(r.x - 1), r.width = std::int16_t(r.width + 1);
    vdrawSetColor(vdialogGetItemColor(v, color));
    vdrawSetLineWidth(1);
    vdrawRectsFrame(&r, 1);
  }
  vdrawGRestore();
}

void setupFields(vpalette* p) {
  p->paletteFlags = 0;
  p->itemsBegin = p->itemsEnd = nullptr;
  p->columns = 1;
  p->cellWidth = p->cellHeight = 20;
  vlistviewSetList(p, vlistCreate());
  vlistviewSetCellDrawer(p, cellDrawer);
  p->selectionCallback = selectionFilter;
}

void oneOnly(vpalette* p) {
  if (p->list && p->selection) vlistSetSelectionMode(p->list, p->selection, vlistONE_ONLY_SELECTION);
}

void init(vinstance* self) {
  if (!self) argNull();
  super()->init(self);
  vpalette* p = asPalette(self);
  setupFields(p);
  vlistviewSetRowHeight(p, vlistsizeALL_ROWS, p->cellHeight);
  vlistviewSetColumnWidth(p, vlistsizeALL_COLUMNS, p->cellWidth);
  oneOnly(p);
  vdialogSetItemBorder(p, 0);
}

void destroyItems(vpalette* p) {
  for (vpaletteItem** i = p->itemsBegin; i != p->itemsEnd; ++i) vinstanceDestroy(*i);
  vmemFree(p->itemsBegin);
  p->itemsBegin = p->itemsEnd = nullptr;
}

void dropList(vpalette* p) {
  vlist* l = p->list;
  vlistviewSetList(p, nullptr);
  if (l) vinstanceDestroy(l);
}

void destroy(vinstance* self) {
  vpalette* p = asPalette(self);
  destroyItems(p);
  dropList(p);
  super()->destroy(self);
}

void reserve(vpalette* p, std::int32_t n) {
  std::int32_t have = count(p);
  auto* grown = static_cast<vpaletteItem**>(vmemRealloc(p->itemsBegin, vmemArraySize(std::size_t(n), sizeof(void*))));
  p->itemsBegin = grown;
  p->itemsEnd = grown + have;
}

void copy(vobject* source, vobject* destination) {
  if (!destination) argNull();
  if (source == destination) return;
  vpalette* from = asPalette(source);
  vpalette* to = asPalette(destination);
  dropList(to);
  super()->copy(source, destination);
  // The inherited copy shows the source's list: the target lays its own
  // items out in a list of its own.
  if (!to->list || to->list == from->list) {
    vlistviewSetList(to, vlistCreate());
    oneOnly(to);
  }
  to->columns = from->columns;
  to->cellWidth = from->cellWidth;
  to->cellHeight = from->cellHeight;
  destroyItems(to);
  std::int32_t n = count(from);
  if (n > 0) reserve(to, n);
  for (std::int32_t k = 0; k < n; ++k) {
    auto* clone = asItem(vobjectClone(from->itemsBegin[k]));
    clone->palette = to;
    *to->itemsEnd++ = clone;
  }
  rearrange(to);
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(destination)->init(destination);
  vclassRec<vobjectClassRec>(destination)->copy(source, destination);
}

vpaletteItem* loadItem(vresource element) {
  vname named = nullptr;
  if (vresourceTestGetTag(element, vname_Class, &named)) {
    vobject* o = vobjectLoad(element);
    if (vclassIsSubclass(o->cls, vpaletteItemGetDefaultClass())) return asItem(o);
    vinstanceDestroy(o);
    _vexGenerate(&vexArgClass, vexSetMessage, "not a palette item", vexEnd);
  }
  auto* i = static_cast<vpaletteItem*>(vclassAllocInstance(vpaletteItemGetDefaultClass()));
  i->cls = vpaletteItemGetDefaultClass();
  itemLoadInit(i, element);
  return i;
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vpalette* p = asPalette(self);
  if (p->list) dropList(p);
  setupFields(p);
  std::int32_t v = 0;
  if (vresourceTestGetInteger(resource, vname_Width, &v)) p->cellWidth = v;
  if (vresourceTestGetInteger(resource, vname_Height, &v)) p->cellHeight = v;
  // A stored count below one would leave no column to lay items out in.
  if (vresourceTestGetInteger(resource, key("MaxColumn"), &v)) p->columns = std::max(v, 1);
  vlistviewSetRowHeight(p, vlistsizeALL_ROWS, p->cellHeight);
  vlistviewSetColumnWidth(p, vlistsizeALL_COLUMNS, p->cellWidth);
  if (vresourceTestGetInteger(resource, key("PaletteFlags"), &v)) p->paletteFlags = std::uint32_t(v);
  oneOnly(p);
  vresource items;
  if (!vresourceTestGet(resource, vname_Items, &items)) return;
  std::int32_t n = vresourceCount(items);
  if (n <= 0) return;
  reserve(p, n);
  for (std::int32_t k = 0; k < n; ++k) {
    vpaletteItem* i = loadItem(vresourceGetAt(items, k));
    i->palette = p;
    *p->itemsEnd++ = i;
  }
  rearrange(p);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vpalette* p = asPalette(self);
  vresourceSetIntegerAt(resource, vname_Width, p->cellWidth);
  vresourceSetIntegerAt(resource, vname_Height, p->cellHeight);
  vresourceSetIntegerAt(resource, key("MaxColumn"), p->columns);
  vresourceSetIntegerAt(resource, key("PaletteFlags"), std::int32_t(p->paletteFlags));
  std::int32_t n = count(p);
  vresource items = vresourceCreateArray(resource, vname_Items, vresDICTIONARY, n);
  for (std::int32_t k = 0; k < n; ++k) {
    vpaletteItem* i = p->itemsBegin[k];
    vclassRec<vobjectClassRec>(i)->store(i, vresourceCreateAt(items, k, vresDICTIONARY));
  }
}

void columnsFromWidth(vpalette* p) {
  if (!(p->paletteFlags & vpaletteCOLUMNS_FOLLOW_WIDTH) || p->rect.width <= 0) return;
  std::int32_t cell = p->cellWidth + 2 * vlistviewClassOf(p)->cellBorder;
  // Narrower than one cell still shows one column.
  vpaletteSetColumns(p, std::max<std::int32_t>(cell > 0 ? p->rect.width / cell : 1, 1));
}

void setRect(vdialogItem* item, const vrect* rect) {
  super()->setRect(item, rect);
  columnsFromWidth(asPalette(item));
}

void insertItemAt(vpalette* p, std::int32_t index, vpaletteItem* item) {
  std::int32_t n = count(p);
  if (index < 0 || index > n) argRange();
  reserve(p, n + 1);
  std::memmove(p->itemsBegin + index + 1, p->itemsBegin + index, std::size_t(n - index) * sizeof(void*));
  p->itemsBegin[index] = item;
  ++p->itemsEnd;
  item->palette = p;
  rearrange(p);
}

void appendItem(vpalette* p, vpaletteItem* item) { vpaletteClassOf(p)->insertItemAt(p, count(p), item); }

void deleteItemAt(vpalette* p, std::int32_t index) {
  std::int32_t n = count(p);
  if (index < 0 || index >= n) argRange();
  vpaletteItem* gone = p->itemsBegin[index];
  std::memmove(p->itemsBegin + index, p->itemsBegin + index + 1, std::size_t(n - index - 1) * sizeof(void*));
  --p->itemsEnd;
  // Laid out first: the list must not show the destroyed item.
  rearrange(p);
  vinstanceDestroy(gone);
}

void removeItem(vpalette* p, vpaletteItem* item) {
  std::int32_t index = vpaletteIndexOfItem(p, item);
  if (index >= 0) vpaletteClassOf(p)->deleteItemAt(p, index);
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  return st;
}

void buildItemClass(ModuleState* st) {
  if (st->itemClass) return;
  auto* c = vclassSpawnOf<vpaletteItemClassRec>(itemSuper());
  vclassSetName(c, vscribeLiteral("vpaletteItem"));
  c->instanceSize = sizeof(vpaletteItem);
  c->init = itemInit;
  c->destroy = itemDestroy;
  c->copy = itemCopy;
  c->copyInit = itemCopyInit;
  c->loadInit = itemLoadInit;
  c->store = itemStore;
  st->itemClass = c;
}

void buildClass(ModuleState* st) {
  buildItemClass(st);
  if (st->cls) return;
  auto* c = vclassSpawnOf<vpaletteClassRec>(super());
  vclassSetName(c, vscribeLiteral("vpalette"));
  c->instanceSize = sizeof(vpalette);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setRect = setRect;
  c->notifyView = notifyCode;
  c->fillCell = fillCell;
  c->insertItemAt = insertItemAt;
  c->appendItem = appendItem;
  c->removeItem = removeItem;
  c->deleteItemAt = deleteItemAt;
  c->cellBorder = std::int16_t(super()->cellBorder + 3);
  int look = vlafGetCurrent()->id;
  if (look == vlafWINDOWS || look == vlafWIN95 || look == vlafCUA) {
    vlafSetClassMSWSysColor(look, -1, c, 0, 1);
    vlafSetClassMSWSysColor(look, -1, c, 2, 0);
  }
  _vdialogItemRunNamingHook(c);
  st->cls = c;
}

}  // namespace

vpaletteClassRec* vpaletteGetDefaultClass() {
  ModuleState* st = state();
  buildClass(st);
  return st->cls;
}
vpaletteItemClassRec* vpaletteItemGetDefaultClass() {
  ModuleState* st = state();
  buildClass(st);
  return st->itemClass;
}
vpalette* vpaletteCreate() { return asPalette(vinstanceCreate(vpaletteGetDefaultClass())); }
vpaletteItem* vpaletteItemCreate() { return asItem(vinstanceCreate(vpaletteItemGetDefaultClass())); }

void vpaletteMoveItem(vpalette* p, vpaletteItem* item, std::int32_t index) {
  if (!p) argNull();
  // A negative index would move the item before the vector.
  if (index < 0 || index >= count(p)) argRange();
  std::int32_t from = vpaletteIndexOfItem(p, item);
  if (from < 0) return;
  vpaletteItem** b = p->itemsBegin;
  if (from < index)
    std::rotate(b + from, b + from + 1, b + index + 1);
  else
    std::rotate(b + index, b + from, b + from + 1);
  rearrange(p);
}

void vpaletteSetColumns(vpalette* p, std::int32_t columns) {
  // No columns would divide the items by zero.
  if (columns <= 0) argRange();
  p->columns = columns;
  rearrange(p);
}

void vpaletteSetFlags(vpalette* p, std::uint32_t flags) {
  p->paletteFlags = flags;
  columnsFromWidth(p);
}

vpaletteItem* vpaletteFindItem(vpalette* p, vname tag) {
  for (vpaletteItem** i = p->itemsBegin; i != p->itemsEnd; ++i)
    if ((*i)->tag == tag) return *i;
  return nullptr;
}

std::int32_t vpaletteIndexOfItem(vpalette* p, vpaletteItem* item) {
  for (vpaletteItem** i = p->itemsBegin; i != p->itemsEnd; ++i)
    if (*i == item) return std::int32_t(i - p->itemsBegin);
  return -1;
}

void vpaletteSelectItem(vpalette* p, vpaletteItem* item) {
  if (!p->list || !p->selection) return;
  vlistUnselectRange(p->list, p->selection, 0, 0, vlistGetRowCount(p->list), vlistGetColumnCount(p->list));
  std::int32_t index = item ? vpaletteIndexOfItem(p, item) : -1;
  if (index < 0) return;
  std::int32_t row, column;
  cellOf(p, index, &row, &column);
  vlistSelectRange(p->list, p->selection, row, column, 1, 1);
}

vpaletteItem* vpaletteGetSelectedItem(vpalette* p) {
  if (!p->list || !p->selection) return nullptr;
  std::int32_t row = -1, column = -1;
  vlistGetFirstSelectedCell(p->list, p->selection, &row, &column);
  return itemAt(p, row, column);
}

void vpaletteItemSetDisabled(vpaletteItem* item, int on) {
  std::uint32_t flags = on ? item->flags | vpaletteItemDISABLED : item->flags & ~vpaletteItemDISABLED;
  if (flags == item->flags) return;
  item->flags = flags;
  vpalette* p = item->palette;
  std::int32_t index = p ? vpaletteIndexOfItem(p, item) : -1;
  if (index < 0) return;
  std::int32_t row, column;
  cellOf(p, index, &row, &column);
  vlistviewInvalCell(p, row, column);
}

void vpaletteItemSetImage(vpaletteItem* item, vimage* image, int shared) {
  dropImage(item);
  item->image = image;
  item->flags = shared ? item->flags | vpaletteItemSHARED_IMAGE : item->flags & ~vpaletteItemSHARED_IMAGE;
}
