#include "fw/widgets/lists/liststr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"

namespace {

void** classSlot = nullptr;

vlistClassRec* super() { return vlistGetDefaultClass(); }
vliststr* asList(vinstance* o) { return static_cast<vliststr*>(o); }
vliststr* asList(vlist* l) { return static_cast<vliststr*>(l); }
char* stringAt(vlist* l, std::int32_t row, std::int32_t column) {
  return reinterpret_cast<char*>(super()->getCell(l, row, column));
}
vlistCell cellOf(const char* s) { return reinterpret_cast<vlistCell>(s); }

// The owned strings of a rectangle of cells, freed; the cells keep their
// pointers until the caller drops them.
void freeBand(vliststr* l, std::int32_t row, std::int32_t column, std::int32_t rows, std::int32_t columns) {
  if (!l->owned || rows <= 0 || columns <= 0) return;
  vlistSelection* band = vlistCreateSelection(l);
  vlistSelectRange(l, band, row, column, rows, columns);
  vlistSelection* both = vlistCreateSelectionIntersection(l, band, l->owned);
  vlistSelectionIterator it;
  vlistInitSelectionIterator(&it, both);
  while (vlistNextSelectedCell(&it)) vstrDestroy(stringAt(l, it.row, it.column));
  vlistDestroySelectionIterator(&it);
  vlistDestroySelection(l, both);
  vlistDestroySelection(l, band);
}

void freeAll(vliststr* l) { freeBand(l, 0, 0, l->cells.rowCount, l->cells.columnCount); }

void init(vinstance* self) {
  super()->init(self);
  vliststr* l = asList(self);
  l->owned = vlistCreateSelection(l);
}

void destroy(vinstance* self) {
  vliststr* l = asList(self);
  freeAll(l);
  if (l->owned) vlistDestroySelection(l, l->owned);
  l->owned = nullptr;
  super()->destroy(self);
}

void setCellRaw(vlist* list, std::int32_t row, std::int32_t column, vlistCell value) {
  vliststr* l = asList(list);
  if (l->owned && vlistIsCellSelected(l, l->owned, row, column)) {
    char* old = stringAt(l, row, column);
    // The same string set again stays the list's.
    if (cellOf(old) != value) {
      vlistUnselectRange(l, l->owned, row, column, 1, 1);
      vstrDestroy(old);
    }
  }
  super()->setCell(l, row, column, value);
}

void setCellScribed(vliststr* l, std::int32_t row, std::int32_t column, vscribe* text) {
  if (row < 0 || column < 0) {
    vscribeRelease(text);
    return;
  }
  // Literal and name texts outlive the list: taken over, never freed.
  if (text->flags & (vscribeLITERAL | vscribeNAME)) {
    vliststrClassOf(l)->setCell(l, row, column, cellOf(static_cast<char*>(vscribeTakeBuffer(text))));
    return;
  }
  vstr* copy = vstrCloneScribed(text, nullptr);
  vliststrClassOf(l)->setCell(l, row, column, cellOf(copy));
  vlistSelectRange(l, l->owned, row, column, 1, 1);
}

vscribe* getCellScribed(vliststr* l, std::int32_t row, std::int32_t column) {
  const char* s = reinterpret_cast<const char*>(vliststrClassOf(l)->getCell(l, row, column));
  if (!s) return vscribeLiteral("");
  // A receiver never frees what the list does not own.
  return vlistIsCellSelected(l, l->owned, row, column) ? vscribeCString(s) : vscribeLiteral(s);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vliststr* from = asList(source);
  vliststr* to = asList(destination);
  freeAll(to);
  vlistDestroySelection(to, to->owned);
  to->owned = nullptr;
  super()->copy(source, destination);
  to->owned = vlistCreateSelection(to);
  vlistSelectionIterator it;
  vlistInitSelectionIterator(&it, from->owned);
  while (vlistNextSelectedCell(&it))
    setCellScribed(to, it.row, it.column, vscribeCString(stringAt(from, it.row, it.column)));
  vlistDestroySelectionIterator(&it);
}

std::int64_t cellCount(const vlist* l) { return std::int64_t(l->cells.rowCount) * l->cells.columnCount; }
std::int32_t indexOf(const vlist* l, std::int32_t row, std::int32_t column) {
  return std::int32_t(std::int64_t(l->cells.rowCount) * column + row);
}

// Stored strings too few for the cells: the load is refused, leaving
// an empty list, whole so that it can be destroyed.
[[noreturn]] void refuseLoad(vlist* l, std::int64_t stored) {
  std::int64_t wanted = cellCount(l);
  super()->setCount(l, 0, vlistROWS);
  super()->setCount(l, 0, vlistCOLUMNS);
  if (!asList(l)->owned) asList(l)->owned = vlistCreateSelection(l);
  // The raise keeps the text's address, read after this frame is gone.
  static char message[160];
  std::snprintf(message, sizeof message, "vliststr: %lld stored strings for %lld cells", static_cast<long long>(stored),
                static_cast<long long>(wanted));
  vexGenerateMessage(&vexArgClass, message);
}

void loadInit(vobject* self, vresource resource) {
  vliststr* l = asList(self);
  l->owned = nullptr;
  super()->loadInit(self, resource);
  l->owned = vlistCreateSelection(l);
  vresource storage;
  std::int64_t stored = cellCount(l);
  bool cells = vresourceTestGet(resource, vnameInternLiteral("ListStorage"), &storage);
  if (cells) stored = vresourceCount(storage);
  if (stored < cellCount(l)) refuseLoad(l, stored);
  // Counts without cells hold no string: nothing to walk.
  if (!cells) return;
  for (std::int32_t c = 0; c < l->cells.columnCount; ++c)
    for (std::int32_t r = 0; r < l->cells.rowCount; ++r)
      if (super()->getCell(l, r, c)) vlistSelectRange(l, l->owned, r, c, 1, 1);
}

// The list's storage entry becomes one array of rows x columns strings.
vresource storageForStore(vlist* l, vresource storage) {
  std::int64_t n = cellCount(l);
  if (n > INT32_MAX) return 0;
  vresource parent;
  vname tag;
  vresourceFind(storage, &parent, &tag);
  return vresourceCreateArray(parent, tag, vresSTRING, std::int32_t(n));
}
vresource sameEntry(vlist*, vresource entry, std::int32_t) { return entry; }
// Asked once per row or column; the first refuses a short storage, as
// every other would, so that claimed counts are never walked. A longer one
// loads: the cells read only the elements they need.
vresource checkedEntry(vlist* l, vresource storage, std::int32_t) {
  std::int64_t stored = vresourceCount(storage);
  if (stored < cellCount(l)) refuseLoad(l, stored);
  return storage;
}

void storeCell(vlist* l, std::int32_t row, std::int32_t column, vresource item) {
  const char* s = stringAt(l, row, column);
  if (s) vresourceSetAtStringSized(item, indexOf(l, row, column), s, std::strlen(s));
  else vresourceSetAtStringSized(item, indexOf(l, row, column), "", 1);
}

void loadCell(vlist* l, std::int32_t row, std::int32_t column, vresource item) {
  vstr* s = vstrCloneScribed(vresourceGetAtString(item, indexOf(l, row, column)), nullptr);
  vliststrClassOf(asList(l))->setCell(l, row, column, cellOf(s));
}

void removeBand(vlist* list, std::int32_t index, std::int32_t count, int axis) {
  vliststr* l = asList(list);
  bool columns = axis == vlistCOLUMNS;
  std::int32_t n = columns ? l->cells.columnCount : l->cells.rowCount;
  if (index >= 0 && index < n && count > 0) {
    count = std::min(count, n - index);
    if (columns) freeBand(l, 0, index, l->cells.rowCount, count);
    else freeBand(l, index, 0, count, l->cells.columnCount);
  }
  super()->remove(l, index, count, axis);
}

void setCount(vlist* list, std::int32_t n, int axis) {
  vliststr* l = asList(list);
  n = std::max(n, 0);
  if (axis == vlistCOLUMNS && n < l->cells.columnCount)
    freeBand(l, 0, n, l->cells.rowCount, l->cells.columnCount - n);
  else if (axis != vlistCOLUMNS && n < l->cells.rowCount)
    freeBand(l, n, 0, l->cells.rowCount - n, l->cells.columnCount);
  super()->setCount(l, n, axis);
}

vliststrClassRec* build() {
  auto* c = vclassSpawnOf<vliststrClassRec>(super());
  vclassSetName(c, vscribeLiteral("vliststr"));
  c->instanceSize = sizeof(vliststr);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->loadInit = loadInit;
  c->storageForStore = storageForStore;
  c->outerForStore = sameEntry;
  c->outerForLoad = checkedEntry;
  c->storeCell = storeCell;
  c->loadCell = loadCell;
  c->setCell = setCellRaw;
  c->remove = removeBand;
  c->setCount = setCount;
  c->setCellScribed = setCellScribed;
  c->getCellScribed = getCellScribed;
  return c;
}

}  // namespace

vliststrClassRec* vliststrGetDefaultClass() {
  if (!*vmoduleSlot(classSlot)) *static_cast<vliststrClassRec**>(vmoduleBindSlot(classSlot, sizeof(void*))) = build();
  return *static_cast<vliststrClassRec**>(*classSlot);
}
vliststrClassRec* _vliststrStartupClass() { return vliststrGetDefaultClass(); }
vliststr* vliststrCreate() { return asList(vinstanceCreate(vliststrGetDefaultClass())); }
