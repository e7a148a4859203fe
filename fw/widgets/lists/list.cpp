// The list class: cells and their storage, the structural edits, the
// observers and notifications, orientation and the resource form.
#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/widgets/lists/list_internal.h"

namespace {

struct ListClasses {
  vlistClassRec* list;
  vlistClassRec* data;
  vlistObserverClassRec* observer;
};
void** classSlot = nullptr;

vlist* asList(vinstance* o) { return static_cast<vlist*>(o); }
vlistClassRec* rec(const vlist* l) { return vlistClassOf(l); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }

bool external(const vlist* l) { return (l->cells.flags & vlistCLIENT_STORAGE) != 0; }
bool columnMajor(const vlist* l) { return (l->cells.flags & vlistCOLUMN_MAJOR) != 0; }
bool held(const vlist* l) { return l->hold >= 1; }
std::int32_t& countOf(vlist* l, int axis) { return axis == vlistCOLUMNS ? l->cells.columnCount : l->cells.rowCount; }
std::int32_t& otherCountOf(vlist* l, int axis) { return axis == vlistCOLUMNS ? l->cells.rowCount : l->cells.columnCount; }
bool outerAxis(const vlist* l, int axis) { return (axis == vlistCOLUMNS) == columnMajor(l); }

// ---- Storage: an outer array of inner arrays of cell words. The arrays
// hold only as far as cells were set (a read past them gives 0), so the
// counts alone cost no memory: a list of a million rows with no cells set
// is a few words.

vlistArray* outerArray(const vlist* l) { return static_cast<vlistArray*>(l->cells.storage); }
vlistArray* innerAt(const vlistArray* outer, std::int32_t i) { return reinterpret_cast<vlistArray*>(outer->block[i]); }

vlistArray* newInner(std::int32_t length) {
  vlistArray* a = _vlistArrayAllocRecord();
  if (length > 0) _vlistArrayEnsure(a, length - 1);
  return a;
}

void resizeInner(vlistArray* a, std::int32_t n) {
  if (n <= 0) {
    if (a->block) _vlistArrayFreeElements(a);
    a->block = nullptr;
  } else if (n < a->count) {
    a->count = n;
  }
}

void freeOwnStorage(vlist* l) {
  if (!external(l)) _vtextFreeArrayTree(&l->cells);
}

void createStorage(vlist* l) { l->cells.storage = _vlistArrayAllocRecord(); }

// Sets a cell of own storage, making its inner array when it has none; an
// empty value where nothing is held needs nothing.
void setOwnCell(vlistCells* cells, std::int32_t row, std::int32_t column, vlistCell value) {
  auto* outer = static_cast<vlistArray*>(cells->storage);
  std::int32_t first = (cells->flags & vlistCOLUMN_MAJOR) ? column : row;
  if (first >= outer->count && !value) return;
  vlistCell* word = _vlistArrayEnsure(outer, first);
  if (!*word) {
    if (!value) return;
    *word = reinterpret_cast<vlistCell>(newInner(0));
  }
  _vlistArraySetCell(cells, row, column, value);
}

// The storage follows a new count of one axis (the counts are not yet set).
void resizeStorage(vlist* l, std::int32_t n, int axis) {
  std::int32_t other = otherCountOf(l, axis);
  if (external(l) || other == 0) return;
  vlistArray* outer = outerArray(l);
  if (outerAxis(l, axis)) {
    if (!outer) return createStorage(l);
    if (n == 0) return freeOwnStorage(l);
    std::int32_t old = outer->count;
    for (std::int32_t i = n; i < old; ++i)
      if (innerAt(outer, i)) _vlistArrayFreeRecord(innerAt(outer, i));
    if (n < outer->count) outer->count = n;
  } else {
    if (!outer) return createStorage(l);
    if (n == 0) return freeOwnStorage(l);
    for (std::int32_t i = 0; i < outer->count; ++i)
      if (vlistArray* a = innerAt(outer, i)) resizeInner(a, n);
  }
}

// Each word array of the axis: the outer array itself, or every inner one
// (made long enough first).
template <class F>
void forEachArray(vlist* l, int axis, F apply) {
  vlistArray* outer = outerArray(l);
  if (external(l) || !outer || otherCountOf(l, axis) < 1) return;
  std::int32_t n = countOf(l, axis);
  if (outerAxis(l, axis)) {
    if (n > 0 && outer->count < n) _vlistArrayEnsure(outer, n - 1);
    return apply(outer);
  }
  for (std::int32_t i = 0; i < outer->count; ++i)
    if (vlistArray* a = innerAt(outer, i)) {
      if (n > 0 && a->count < n) _vlistArrayEnsure(a, n - 1);
      apply(a);
    }
}

// Brings [middle, last) before [first, middle). The run that moves as a
// whole is the shorter one, kept aside, so long lists move by one memmove.
void rotate(vlistCell* block, std::int32_t first, std::int32_t middle, std::int32_t last) {
  std::int32_t head = middle - first, tail = last - middle;
  if (head == 0 || tail == 0) return;
  std::int32_t aside = std::min(head, tail);
  if (aside > 64) return void(std::rotate(block + first, block + middle, block + last));
  vlistCell kept[64];
  auto bytes = [](std::int32_t n) { return static_cast<std::size_t>(n) * sizeof(vlistCell); };
  if (tail <= head) {
    std::memcpy(kept, block + middle, bytes(tail));
    std::memmove(block + first + tail, block + first, bytes(head));
    std::memcpy(block + first, kept, bytes(tail));
  } else {
    std::memcpy(kept, block + first, bytes(head));
    std::memmove(block + first, block + middle, bytes(tail));
    std::memcpy(block + first + tail, kept, bytes(head));
  }
}

// ---- Slots.

void defaultSetter(vlist* l, std::int32_t row, std::int32_t column, vlistCell value) {
  if (!l->cells.storage) return;
  if (external(l)) _vlistArraySetCell(&l->cells, row, column, value);
  else setOwnCell(&l->cells, row, column, value);
}
vlistCell defaultGetter(vlist* l, std::int32_t row, std::int32_t column) {
  return _vlistArrayGetCell(&l->cells, row, column);
}
const char* defaultTextGetter(vlist* l, std::int32_t row, std::int32_t column) {
  return reinterpret_cast<const char*>(rec(l)->getCell(l, row, column));
}

void listInit(vinstance* self) {
  super()->init(self);
  vlist* l = asList(self);
  l->cells = vlistCells{nullptr, 0, 0, _vlistArraySetterFunc(), _vlistArrayGetterFunc(), vlistCOLUMN_MAJOR};
  l->setter = defaultSetter;
  l->getter = defaultGetter;
  l->textGetter = defaultTextGetter;
  l->selections = nullptr;
  l->observers = nullptr;
  l->client = 0;
  l->selectionLength = l->selectionCount = 0;
  l->hold = 0;
  l->observerLength = 0;
}

void listDestroy(vinstance* self) {
  vlist* l = asList(self);
  rec(l)->destroyed(l);
  for (std::int16_t i = 0; i < l->observerLength; ++i)
    if (vlistObserver* o = l->observers[i]) {
      l->observers[i] = nullptr;
      o->list = nullptr;
      if (o->flags & vlistObserverOWNED) vinstanceDestroy(o);
    }
  _vlistDestroySelections(l);
  freeOwnStorage(l);
  l->cells.storage = nullptr;
  vmemFree(l->observers);
  l->observers = nullptr;
  l->observerLength = 0;
  super()->destroy(self);
}

void copyCells(vlist* from, vlist* to) {
  rec(to)->setCount(to, from->cells.rowCount, vlistROWS);
  rec(to)->setCount(to, from->cells.columnCount, vlistCOLUMNS);
  for (std::int32_t c = 0; c < from->cells.columnCount; ++c)
    for (std::int32_t r = 0; r < from->cells.rowCount; ++r) rec(to)->setCell(to, r, c, rec(from)->getCell(from, r, c));
}

void listCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vlist* from = asList(source);
  vlist* to = asList(destination);
  // The target's storage is dropped first: it may be in the other
  // orientation, or the client's.
  freeOwnStorage(to);
  to->cells.storage = nullptr;
  to->cells.rowCount = to->cells.columnCount = 0;
  to->client = from->client;
  to->cells.flags = from->cells.flags;
  to->setter = from->setter;
  to->getter = from->getter;
  to->textGetter = from->textGetter;
  copyCells(from, to);
}

void listCopyInit(vobject* source, vobject* destination) {
  vinstanceInit(destination, source->cls);
  rec(asList(source))->copy(source, destination);
}

void setCell(vlist* l, std::int32_t row, std::int32_t column, vlistCell value) {
  if (row < 0 || column < 0) return;
  if (row >= l->cells.rowCount) rec(l)->setCount(l, row + 1, vlistROWS);
  if (column >= l->cells.columnCount) rec(l)->setCount(l, column + 1, vlistCOLUMNS);
  l->setter(l, row, column, value);
  if (!held(l)) rec(l)->cellChanged(l, row, column);
}

vlistCell getCell(vlist* l, std::int32_t row, std::int32_t column) { return l->getter(l, row, column); }
const char* cellText(vlist* l, std::int32_t row, std::int32_t column) {
  return l->textGetter ? l->textGetter(l, row, column) : nullptr;
}

void setCount(vlist* l, std::int32_t n, int axis) {
  if (axis != vlistCOLUMNS) axis = vlistROWS;
  n = std::max(n, 0);
  resizeStorage(l, n, axis);
  std::int32_t old = countOf(l, axis);
  countOf(l, axis) = n;
  if (old != n && !held(l)) rec(l)->countChanged(l, old, n, axis);
  _vlistWalkCount(l, old, n, axis);
}

void insertBlock(vlist* l, std::int32_t index, std::int32_t count, int axis) {
  if (count <= 0 || index < 0) return;
  if (axis != vlistCOLUMNS) axis = vlistROWS;
  std::int32_t old = countOf(l, axis);
  ++l->hold;
  rec(l)->setCount(l, std::max(count + old, index + count), axis);
  --l->hold;
  std::int32_t n = countOf(l, axis);
  forEachArray(l, axis, [&](vlistArray* a) {
    if (index < n - count) rotate(a->block, index, n - count, n);
  });
  if (!held(l)) rec(l)->inserted(l, index, count, axis);
  _vlistWalkInsert(l, index, count, axis);
}

void deleteBlock(vlist* l, std::int32_t index, std::int32_t count, int axis) {
  if (axis != vlistCOLUMNS) axis = vlistROWS;
  std::int32_t n = countOf(l, axis);
  // A delete past the count is clipped.
  if (index < 0 || index >= n || count <= 0) return;
  count = std::min(count, n - index);
  if (count == n) {
    freeOwnStorage(l);
  } else if (outerAxis(l, axis)) {
    forEachArray(l, axis, [&](vlistArray* outer) {
      for (std::int32_t i = index; i < index + count && i < outer->count; ++i)
        if (vlistArray* inner = innerAt(outer, i)) _vlistArrayFreeRecord(inner);
      std::memmove(outer->block + index, outer->block + index + count,
                   static_cast<std::size_t>(outer->count - index - count) * sizeof(vlistCell));
      outer->count -= count;
    });
  } else {
    forEachArray(l, axis, [&](vlistArray* a) {
      std::memmove(a->block + index, a->block + index + count,
                   static_cast<std::size_t>(a->count - index - count) * sizeof(vlistCell));
      a->count -= count;
    });
  }
  countOf(l, axis) = n - count;
  if (!held(l)) rec(l)->deleted(l, index, count, axis);
  _vlistWalkDelete(l, index, count, axis);
}

void growFor(vlist* l, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
  std::int32_t need = std::max(a, b) + count;
  if (countOf(l, axis) < need) rec(l)->setCount(l, need, axis);
}

void exchangeBlock(vlist* l, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
  if (a == b || count <= 0 || a < 0 || b < 0) return;
  if (axis != vlistCOLUMNS) axis = vlistROWS;
  growFor(l, a, b, count, axis);
  forEachArray(l, axis, [&](vlistArray* array) {
    for (std::int32_t i = 0; i < count; ++i) std::swap(array->block[a + i], array->block[b + i]);
  });
  if (!held(l)) rec(l)->exchanged(l, a, b, count, axis);
  _vlistWalkExchange(l, a, b, count, axis);
}

void moveBlock(vlist* l, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
  if (from == to || count <= 0 || from < 0 || to < 0) return;
  if (axis != vlistCOLUMNS) axis = vlistROWS;
  growFor(l, from, to, count, axis);
  forEachArray(l, axis, [&](vlistArray* array) {
    if (from < to)
      rotate(array->block, from, from + count, to + count);
    else
      rotate(array->block, to, from, from + count);
  });
  if (!held(l)) rec(l)->moved(l, from, to, count, axis);
  _vlistWalkMove(l, from, to, count, axis);
}

void setClientWord(vlist* l, std::intptr_t word) { l->client = word; }

void takeClientStorage(vlist* l) {
  freeOwnStorage(l);
  l->cells.storage = nullptr;
  l->cells.flags |= vlistCLIENT_STORAGE;
}

void setStorage(vlist* l, void* storage) {
  takeClientStorage(l);
  l->cells.storage = storage;
  if (!held(l)) rec(l)->storageReplaced(l);
}

void setOrientation(vlist* l, int columnMajorWanted) {
  if ((columnMajorWanted != 0) == columnMajor(l)) return;
  std::uint16_t wanted = columnMajorWanted ? vlistCOLUMN_MAJOR : vlistROW_MAJOR;
  if (!external(l) && l->cells.rowCount >= 1 && l->cells.columnCount >= 1) {
    vlistCells turned{nullptr, l->cells.rowCount, l->cells.columnCount, l->cells.setter, l->cells.getter, wanted};
    vlist temporary;
    temporary.cells = turned;
    createStorage(&temporary);
    for (std::int32_t r = 0; r < l->cells.rowCount; ++r)
      for (std::int32_t c = 0; c < l->cells.columnCount; ++c)
        setOwnCell(&temporary.cells, r, c, rec(l)->getCell(l, r, c));
    freeOwnStorage(l);
    l->cells.storage = temporary.cells.storage;
  }
  l->cells.flags = static_cast<std::uint16_t>((l->cells.flags & ~(vlistROW_MAJOR | vlistCOLUMN_MAJOR)) | wanted);
  if (!held(l)) rec(l)->orientationSet(l, columnMajorWanted != 0);
}

void insertOne(vlist* l, std::int32_t index, int axis) {
  rec(l)->insert(l, index, 1, axis);
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->insertedOne(r, index, axis); });
}
void deleteOne(vlist* l, std::int32_t index, int axis) {
  rec(l)->remove(l, index, 1, axis);
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->deletedOne(r, index, axis); });
}
void exchangeOne(vlist* l, std::int32_t a, std::int32_t b, int axis) {
  rec(l)->exchange(l, a, b, 1, axis);
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->exchangedOne(r, a, b, axis); });
}
void moveOne(vlist* l, std::int32_t from, std::int32_t to, int axis) {
  rec(l)->move(l, from, to, 1, axis);
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->movedOne(r, from, to, axis); });
}

// ---- Resources.

vresource noEntry(vlist*, vresource, std::int32_t) { return 0; }
vresource noStorage(vlist*, vresource) { return 0; }
void noCell(vlist*, std::int32_t, std::int32_t, vresource) {}

// Every cell of every outer entry that has an item: rows when row-major.
template <class ItemOf>
void forEachStoredCell(vlist* l, ItemOf itemOf, void (*cell)(vlist*, std::int32_t, std::int32_t, vresource)) {
  bool byRows = !columnMajor(l);
  std::int32_t outer = byRows ? l->cells.rowCount : l->cells.columnCount;
  std::int32_t inner = byRows ? l->cells.columnCount : l->cells.rowCount;
  for (std::int32_t i = 0; i < outer; ++i) {
    vresource item = itemOf(i);
    if (!item) continue;
    for (std::int32_t j = 0; j < inner; ++j) cell(l, byRows ? i : j, byRows ? j : i, item);
  }
}

void listLoadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vname tag = self->tag;
  listInit(self);
  self->tag = tag;
  vlist* l = asList(self);
  std::int32_t rows = 0, columns = 0;
  vresourceTestGetInteger(resource, vname_MaxRow, &rows);
  vresourceTestGetInteger(resource, vname_MaxColumn, &columns);
  vresourceTestGetInteger(resource, N("RowCount"), &rows);
  vresourceTestGetInteger(resource, N("ColumnCount"), &columns);
  vname orientation;
  if (vresourceTestGetTag(resource, N("Orientation"), &orientation)) {
    if (orientation == N("RowMajor")) l->cells.flags = vlistROW_MAJOR;
    if (orientation == N("ColumnMajor")) l->cells.flags = vlistCOLUMN_MAJOR;
  }
  rec(l)->setCount(l, rows, vlistROWS);
  rec(l)->setCount(l, columns, vlistCOLUMNS);
  vresource storage;
  if (!vresourceTestGet(resource, N("ListStorage"), &storage)) return;
  forEachStoredCell(l, [&](std::int32_t i) { return rec(l)->outerForLoad(l, storage, i); }, rec(l)->loadCell);
}

void listStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vlist* l = asList(self);
  vresourceSetInteger(resource, N("RowCount"), l->cells.rowCount);
  vresourceSetInteger(resource, N("ColumnCount"), l->cells.columnCount);
  vresourceSetTag(resource, N("Orientation"), columnMajor(l) ? N("ColumnMajor") : N("RowMajor"));
  if (l->cells.rowCount < 1 || l->cells.columnCount < 1) return;
  vresource storage = vresourceCreate(resource, N("ListStorage"), vresDICTIONARY);
  vresource entry = rec(l)->storageForStore(l, storage);
  if (!entry) return vresourceRemove(resource, N("ListStorage"));
  forEachStoredCell(l, [&](std::int32_t i) { return rec(l)->outerForStore(l, entry, i); }, rec(l)->storeCell);
}

// ---- Notifications.

void cellChanged(vlist* l, std::int32_t row, std::int32_t column) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->cellChanged(r, row, column); });
}
void inserted(vlist* l, std::int32_t index, std::int32_t count, int axis) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->inserted(r, index, count, axis); });
}
void deleted(vlist* l, std::int32_t index, std::int32_t count, int axis) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->deleted(r, index, count, axis); });
}
void exchanged(vlist* l, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->exchanged(r, a, b, count, axis); });
}
void moved(vlist* l, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->moved(r, from, to, count, axis); });
}
void selectionChanging(vlist* l, vlistSelection* s, int phase) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->selectionChanging(r, s, phase); });
}
void selectionModeSet(vlist* l, vlistSelection* s, int mode) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->selectionModeSet(r, s, mode); });
}
void selectionFlagsSet(vlist* l, vlistSelection* s) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->selectionFlagsSet(r, s); });
}
void storageReplaced(vlist* l) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->storageReplaced(r); });
}
void countChanged(vlist* l, std::int32_t oldCount, std::int32_t newCount, int axis) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->countChanged(r, oldCount, newCount, axis); });
}
void orientationSet(vlist* l, int columnMajorNow) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->orientationSet(r, columnMajorNow); });
}
void destroyedNote(vlist* l) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->destroyed(r); });
}
void sorting(vlist* l, int phase) {
  _vlistTellObservers(l, [&](vlistObserverClassRec* o, void* r) { o->sorting(r, phase); });
}

// ---- Observers.

void observerInit(vinstance* self) {
  super()->init(self);
  auto* o = static_cast<vlistObserver*>(self);
  o->client = nullptr;
  o->flags = 0;
  o->forward = 0;
  o->list = nullptr;
}
void observerCopy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  static_cast<vlistObserver*>(destination)->client = static_cast<vlistObserver*>(source)->client;
}
void observerCopyInit(vobject* source, vobject* destination) {
  observerInit(destination);
  observerCopy(source, destination);
}

void exitModule() { _vlistFreeSelectionPool(); }

ListClasses& classes() {
  if (!*vmoduleSlot(classSlot)) {
    auto* c = vclassSpawnOf<vlistClassRec>(vobjectGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vlist"));
    c->instanceSize = sizeof(vlist);
    c->init = listInit;
    c->destroy = listDestroy;
    c->copy = listCopy;
    c->copyInit = listCopyInit;
    c->loadInit = listLoadInit;
    c->store = listStore;
    c->storageForStore = noStorage;
    c->outerForStore = noEntry;
    c->outerForLoad = noEntry;
    c->storeCell = noCell;
    c->loadCell = noCell;
    c->setCell = setCell;
    c->insert = insertBlock;
    c->remove = deleteBlock;
    c->exchange = exchangeBlock;
    c->move = moveBlock;
    c->setCount = setCount;
    c->getCell = getCell;
    c->findByPrefix = _vlistFindByPrefix;
    c->cellText = cellText;
    c->sortByValues = _vlistSortByValues;
    c->sortByTexts = _vlistSortByTexts;
    c->cellChanged = cellChanged;
    c->inserted = inserted;
    c->deleted = deleted;
    c->exchanged = exchanged;
    c->moved = moved;
    c->selectionChanging = selectionChanging;
    c->selectionModeSet = selectionModeSet;
    c->selectionFlagsSet = selectionFlagsSet;
    c->storageReplaced = storageReplaced;
    c->countChanged = countChanged;
    c->orientationSet = orientationSet;
    c->destroyed = destroyedNote;
    c->sorting = sorting;
    c->setClientWord = setClientWord;
    c->setStorage = setStorage;
    c->setOrientation = setOrientation;
    c->insertOne = insertOne;
    c->deleteOne = deleteOne;
    c->exchangeOne = exchangeOne;
    c->moveOne = moveOne;
    // "vlist data": the same record under a second name.
    auto* data = static_cast<vlistClassRec*>(vclassCopy(c));
    vclassSetName(data, vscribeLiteral("vlist data"));

    auto* o = vclassSpawnOf<vlistObserverClassRec>(vobjectGetDefaultClass());
    vclassSetName(o, vscribeLiteral("vlistObserver"));
    o->instanceSize = sizeof(vlistObserver);
    o->init = observerInit;
    o->copy = observerCopy;
    o->copyInit = observerCopyInit;
    o->cellChanged = [](void*, std::int32_t, std::int32_t) {};
    o->inserted = [](void*, std::int32_t, std::int32_t, int) {};
    o->deleted = [](void*, std::int32_t, std::int32_t, int) {};
    o->exchanged = [](void*, std::int32_t, std::int32_t, std::int32_t, int) {};
    o->moved = [](void*, std::int32_t, std::int32_t, std::int32_t, int) {};
    o->selectionChanging = [](void*, vlistSelection*, int) {};
    o->selectionModeSet = [](void*, vlistSelection*, int) {};
    o->selectionFlagsSet = [](void*, vlistSelection*) {};
    o->storageReplaced = [](void*) {};
    o->countChanged = [](void*, std::int32_t, std::int32_t, int) {};
    o->orientationSet = [](void*, int) {};
    o->destroyed = [](void*) {};
    o->sorting = [](void*, int) {};
    o->insertedOne = [](void*, std::int32_t, int) {};
    o->deletedOne = [](void*, std::int32_t, int) {};
    o->exchangedOne = [](void*, std::int32_t, std::int32_t, int) {};
    o->movedOne = [](void*, std::int32_t, std::int32_t, int) {};
    *static_cast<ListClasses*>(vmoduleBindSlot(classSlot, sizeof(ListClasses))) = {c, data, o};
    vmoduleAddContextExitProc(exitModule);
  }
  return *static_cast<ListClasses*>(*classSlot);
}

}  // namespace

vlistClassRec* vlistGetDefaultClass() { return classes().list; }
vlistObserverClassRec* vlistObserverGetDefaultClass() { return classes().observer; }
vlist* vlistCreate() { return asList(vinstanceCreate(vlistGetDefaultClass())); }

void vlistSetCellSetter(vlist* list, vlistSetterFunc setter) {
  takeClientStorage(list);
  list->setter = setter;
}

void vlistSetCellGetter(vlist* list, vlistGetterFunc getter) {
  takeClientStorage(list);
  list->getter = getter;
}

void vlistAddObserver(vlist* list, vlistObserver* observer) {
  std::int16_t slot = -1;
  for (std::int16_t i = static_cast<std::int16_t>(list->observerLength - 1); i >= 1; --i)
    if (!list->observers[i]) {
      slot = i;
      break;
    }
  if (slot < 0) {
    slot = list->observerLength;
    list->observers = static_cast<vlistObserver**>(
        vmemRealloc(list->observers, vmemArraySize(static_cast<std::size_t>(slot) + 1, sizeof(vlistObserver*))));
    ++list->observerLength;
  }
  list->observers[slot] = observer;
  observer->list = list;
}

void vlistRemoveObserver(vlist* list, vlistObserver* observer) {
  for (std::int16_t i = 0; i < list->observerLength; ++i)
    if (list->observers[i] == observer) {
      list->observers[i] = nullptr;
      observer->list = nullptr;
      if (observer->flags & vlistObserverOWNED) vinstanceDestroy(observer);
      return;
    }
}
