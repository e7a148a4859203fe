// The file chooser's directories: the chain of nested directory records,
// reading a directory into entries through the file-system layer, the
// orderings of the views, and the list model that keeps the entries in
// step with its rows.
//
// - `filechsr_dir.cpp`: the directory chain is one line of nested records (`vfilechsrDirectory`,
//   allocated from the heap with their entry vectors). Finding a path's record prepends ancestors,
//   walks and prunes siblings, and appends deeper levels. A read happens only when the modification
//   time moved; it lists through the native find-file listing with the process's directory pushed
//   (an RAII guard pops it on every way out, exceptions included) and the window's busy state set
//   likewise. The link bit 0x100 comes from `vfsIsSymbolicLink` (an `lstat`); the core's
//   `vfsGetFileInfo` still follows links, and a dangling link fails and is dropped. The list model's
//   cells are entry pointers (for the views' compare functions) and its text getter answers names;
//   its row exchange and move carry the entries.
#include <algorithm>
#include <cstring>
#include <new>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/nativechsr.h"

namespace {

vlistClassRec* super() { return vlistGetDefaultClass(); }
vfilechsrDirectory* recordOf(const vlist* l) { return reinterpret_cast<vfilechsrDirectory*>(l->client); }

// ---- The list model: rows exchanged and moved carry their entries along.
void exchange(vlist* l, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
  vfilechsrDirectory* d = recordOf(l);
  auto n = static_cast<std::int32_t>(d ? d->entries.size() : 0);
  if (d && axis != vlistCOLUMNS && a != b && count > 0 && a >= 0 && b >= 0 && std::max(a, b) + count <= n)
    std::swap_ranges(d->entries.begin() + a, d->entries.begin() + a + count, d->entries.begin() + b);
  super()->exchange(l, a, b, count, axis);
}

void move(vlist* l, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
  vfilechsrDirectory* d = recordOf(l);
  auto n = static_cast<std::int32_t>(d ? d->entries.size() : 0);
  if (d && axis != vlistCOLUMNS && from != to && count > 0 && from >= 0 && to >= 0 &&
      std::max(from, to) + count <= n)
  {
    auto at = d->entries.begin();
    if (from < to)
      std::rotate(at + from, at + from + count, at + to + count);
    else
      std::rotate(at + to, at + from, at + from + count);
  }
  super()->move(l, from, to, count, axis);
}

const vfilechsrEntry* entryAt(vlist* l, std::int32_t row, std::int32_t column) {
  vfilechsrDirectory* d = recordOf(l);
  if (!d || column != 0 || row < 0) return nullptr;
  if (d->count < 0) _vfilechsrReadDirectory(d);
  if (row >= d->count) return nullptr;
  return &d->entries[std::size_t(row)];
}
vlistCell cellEntry(vlist* l, std::int32_t row, std::int32_t column) {
  return reinterpret_cast<vlistCell>(entryAt(l, row, column));
}
const char* cellName(vlist* l, std::int32_t row, std::int32_t column) {
  const vfilechsrEntry* e = entryAt(l, row, column);
  return e ? e->name : nullptr;
}
void setEntry(vlist* l, std::int32_t row, std::int32_t column, vlistCell value) {
  vfilechsrDirectory* d = recordOf(l);
  auto* from = reinterpret_cast<const vfilechsrEntry*>(value);
  if (!d || !from || column != 0 || row < 0 || row >= d->count) return;
  vfilechsrEntry& to = d->entries[std::size_t(row)];
  if (&to == from) return;
  vstr* name = vstrClone(from->name);
  if (to.name) vstrDestroy(to.name);
  to = *from;
  to.name = name;
  to.namePath = nullptr;
}

vlistClassRec* modelClass() {
  static void** slot = nullptr;
  if (auto* bound = vmoduleState<vlistClassRec*>(slot)) return *bound;
  auto** held = static_cast<vlistClassRec**>(vmoduleBindSlot(slot, sizeof(vlistClassRec*)));
  auto* c = vclassSpawnOf<vlistClassRec>(super());
  c->exchange = exchange;
  c->move = move;
  vclassSetName(c, vscribeLiteral("vfilechsrListModel"));
  *held = c;
  return c;
}

// ---- Records.
int selectionModeFor(const vfilechsr* c) {
  return c->kind == vfilechsrOPEN && c->selectionMode == 2 ? vlistFREE_SELECTION : vlistONE_ONLY_SELECTION;
}

vfilechsrDirectory* makeRecord(vfilechsr* c, const vfsPath* path) {
  void* block = vmemAlloc(sizeof(vfilechsrDirectory));
  auto* d = new (block) vfilechsrDirectory{};
  d->chooser = c;
  d->path = vfsCopyPath(path);
  d->count = -1;
  d->list = static_cast<vlist*>(vinstanceCreate(modelClass()));
  d->list->client = reinterpret_cast<std::intptr_t>(d);
  vlistSetCellGetter(d->list, cellEntry);
  vlistSetCellSetter(d->list, setEntry);
  d->list->textGetter = cellName;
  vlistSetColumnCount(d->list, 1);
  d->selection = vlistCreateSelection(d->list);
  vlistSetSelectionMode(d->list, d->selection, selectionModeFor(c));
  return d;
}

// The record's column shows nothing from now on; the record keeps a copy
// of the selection the column held.
void detach(vfilechsrDirectory* d) {
  vlistview* v = d->view;
  if (!v) return;
  if (v->list == d->list && v->selection) d->selection = vlistCreateSelectionCopy(d->list, v->selection);
  vlistviewSetList(v, nullptr);
  d->view = nullptr;
}

void freeEntries(vfilechsrDirectory* d) {
  for (vfilechsrEntry& e : d->entries) {
    if (e.name) vstrDestroy(e.name);
    if (e.namePath) vfsFreePath(e.namePath);
  }
  d->entries.clear();
}

void freeRecord(vfilechsrDirectory* d) {
  vfilechsr* c = d->chooser;
  if (c->current == d) c->current = nullptr;
  detach(d);
  freeEntries(d);
  vinstanceDestroy(d->list);
  vfsFreePath(d->path);
  d->~vfilechsrDirectory();
  vmemFree(d);
}

void freeFrom(vfilechsrDirectory* d) {
  while (d) {
    vfilechsrDirectory* next = d->next;
    freeRecord(d);
    d = next;
  }
}

// A copy of path with only its first n elements.
vfsPath* prefix(const vfsPath* path, int n) {
  vfsPath* p = vfsCopyPath(path);
  int extra = vfsCountPathElements(p) - n;
  if (extra > 0) vfsPathRemoveLast(p, extra);
  return p;
}

vfilechsrDirectory* makeLevel(vfilechsr* c, const vfsPath* path, int n) {
  vfsPath* p = prefix(path, n);
  vfilechsrDirectory* d = makeRecord(c, p);
  vfsFreePath(p);
  return d;
}

bool sameElement(const vfsPath* a, const vfsPath* b, int index) {
  return vcstrCompareNoCase(vfsGetPathElement(a, index), vfsGetPathElement(b, index)) == 0;
}

vfilechsrDirectory* restart(vfilechsr* c, const vfsPath* path) {
  _vfilechsrFreeChain(c);
  c->chain = makeRecord(c, path);
  return c->chain;
}

// The chooser's window shows the wait state while a directory is read.
struct Busy {
  vfilechsr* c;
  explicit Busy(vfilechsr* chooser) : c(chooser) { vwindowClassOf(c)->setBusy(c); }
  ~Busy() { vwindowClassOf(c)->clearBusy(c); }
};
// The process's directory is the listed one for the read, restored on
// every way out.
struct InDirectory {
  explicit InDirectory(const vfsPath* path) { vfsMSWPushDirectory(path); }
  ~InDirectory() { vfsMSWPopDirectory(); }
};
struct Listing {
  vfsMSWDirectory* it;
  ~Listing() {
    if (it) vfsMSWCloseDirectory(it);
  }
};

bool dotName(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// Reads one name into e; false when it is dropped.
bool readEntry(vfilechsrDirectory* d, const char* name, vfilechsrEntry* e) {
  vfilechsr* c = d->chooser;
  *e = vfilechsrEntry{};
  e->namePath = vfsNewPathFromString(name);
  bool ok = vexTry([&] {
    vfsGetFileInfo(e->namePath, &e->info);
    // The layer follows links; the link bit comes from the name itself.
    if (vfsIsSymbolicLink(e->namePath)) e->info.flags |= vfilechsrLINK;
    bool both = vfsAccess(e->namePath, 6);
    e->readable = both || vfsAccess(e->namePath, 4);
    e->writable = both || (!e->readable && vfsAccess(e->namePath, 2));
  });
  std::uint32_t kind = e->info.flags & vfsINFO_KIND;
  bool keep = ok && (kind == vfsINFO_FILE || kind == vfsINFO_DIRECTORY);
  if (keep && (c->options & vfilechsrDIRECTORIES) && kind != vfsINFO_DIRECTORY) keep = false;
  if (keep && (c->options & vfilechsrNO_HIDDEN) && (e->info.flags & vfsINFO_HIDDEN)) keep = false;
  if (keep) {
    e->name = vstrClone(name);
    keep = _vfilechsrMatchFileType(c, d->path, e, nullptr) && vfilechsrAcceptEntry(c, e) != 0;
  }
  vfsFreePath(e->namePath);
  e->namePath = nullptr;
  if (!keep && e->name) vstrDestroy(e->name), e->name = nullptr;
  return keep;
}

void listInto(vfilechsrDirectory* d, vfsMSWDirectory* it) {
  while (vstr* name = vfsMSWNextDirectoryEntry(it)) {
    vfilechsrEntry e;
    bool keep = false;
    vexGuard([&] { keep = !dotName(name) && readEntry(d, name, &e); },
             [&](vexHandler& h) {
               vstrDestroy(name);
               _vexGenerate(nullptr, vexEnd);
               (void)h;
             });
    vstrDestroy(name);
    if (!keep) continue;
    if (d->entries.size() == d->entries.capacity()) d->entries.reserve(d->entries.capacity() + 10);
    d->entries.push_back(e);
  }
}

void matchRows(vfilechsrDirectory* d) {
  if (vlistGetRowCount(d->list) != d->count) vlistSetRowCount(d->list, d->count);
  if (vlistGetColumnCount(d->list) != 1) vlistSetColumnCount(d->list, 1);
}

int compareTimes(std::int64_t a, std::int64_t b) { return a > b ? -1 : a < b ? 1 : 0; }

}  // namespace

vlistClassRec* vfilechsrGetListModelClass() { return modelClass(); }

int vfilechsrCompareByName(const vfilechsrEntry* a, const vfilechsrEntry* b) {
  return vcstrCompareNoCase(a->name, b->name);
}
int vfilechsrCompareByModified(const vfilechsrEntry* a, const vfilechsrEntry* b) {
  int r = compareTimes(a->info.modifySeconds, b->info.modifySeconds);
  return r ? r : vfilechsrCompareByName(a, b);
}
int vfilechsrCompareByChanged(const vfilechsrEntry* a, const vfilechsrEntry* b) {
  int r = compareTimes(a->info.changeSeconds, b->info.changeSeconds);
  return r ? r : vfilechsrCompareByName(a, b);
}

void _vfilechsrReleaseEntries(vfilechsrDirectory* d) {
  freeEntries(d);
  d->count = -1;
  d->time = 0;
}

void _vfilechsrReadDirectory(vfilechsrDirectory* d) {
  vfilechsr* c = d->chooser;
  vfsFileInfo info{};
  if (!vexTry([&] { vfsGetFileInfo(d->path, &info); })) {
    freeEntries(d);
    d->count = 0;
    matchRows(d);
    return;
  }
  if (d->count >= 0 && info.modifySeconds <= d->time) return;
  Busy busy(c);
  d->time = info.modifySeconds;
  freeEntries(d);
  d->entries.reserve(10);
  Listing listing{nullptr};
  if (!vexTry([&] { listing.it = vfsMSWOpenDirectory(d->path); })) {
    d->count = 0;
    matchRows(d);
    return;
  }
  {
    InDirectory inside(d->path);
    listInto(d, listing.it);
  }
  d->count = static_cast<std::int32_t>(d->entries.size());
  matchRows(d);
  _vfilechsrSortDirectory(d);
}

void _vfilechsrSortDirectory(vfilechsrDirectory* d) {
  vfilechsr* c = d->chooser;
  auto compare = c->views && c->currentView
                     ? reinterpret_cast<vfilechsrCompareFunc>(vdictGet(c->views, c->currentView))
                     : nullptr;
  if (!compare) compare = vfilechsrCompareByName;
  vlistSelection* s = d->view ? d->view->selection : d->selection;
  std::int32_t noted = -1, column = 0;
  if (s && s->mode == vlistONE_ONLY_SELECTION && vlistCountSelectedCells(d->list, s) > 0)
    vlistGetFirstSelectedCell(d->list, s, &noted, &column);
  // The noted row's entry is found again by identity of its name.
  const vstr* name = noted >= 0 && noted < d->count ? d->entries[std::size_t(noted)].name : nullptr;
  vlistClassOf(d->list)->sortByValues(d->list, vlistROWS, 0, reinterpret_cast<vlistCompareFunc>(compare));
  if (name) {
    for (std::int32_t i = 0; i < d->count; ++i)
      if (d->entries[std::size_t(i)].name == name) {
        vlistUnselectRange(d->list, s, 0, 0, d->count, 1);
        vlistSelectRange(d->list, s, i, 0, 1, 1);
        break;
      }
  }
  if (d->view) {
    if (name) vlistviewScrollToSelection(d->view);
    vdialogInvalItem(d->view, 0);
  }
}

vfilechsrDirectory* _vfilechsrFindDirectory(vfilechsr* c, const vfsPath* path) {
  if (!c->chain) return c->chain = makeRecord(c, path);
  vfilechsrDirectory* first = c->chain;
  if (vfsCompareVolumes(first->path, path, vfsCOMPARE_NO_CASE) != 0) return restart(c, path);
  int nf = vfsCountPathElements(first->path), np = vfsCountPathElements(path);
  for (int i = 0; i < std::min(nf, np); ++i)
    if (!sameElement(first->path, path, i)) return restart(c, path);
  if (np < nf) {
    // An ancestor: the missing levels go in front, deepest first.
    for (int n = nf - 1; n >= np; --n) {
      vfilechsrDirectory* d = makeLevel(c, first->path, n);
      d->next = c->chain;
      c->chain = d;
    }
    return c->chain;
  }
  vfilechsrDirectory* d = first;
  for (int level = nf; level < np; ++level) {
    if (d->next && !sameElement(d->next->path, path, level)) _vfilechsrCutChain(c, d);
    if (!d->next) d->next = makeLevel(c, path, level + 1);
    d = d->next;
  }
  return d;
}

void _vfilechsrCutChain(vfilechsr* c, vfilechsrDirectory* d) {
  (void)c;
  vfilechsrDirectory* below = d->next;
  d->next = nullptr;
  freeFrom(below);
}

void _vfilechsrFreeChain(vfilechsr* c) {
  vfilechsrDirectory* chain = c->chain;
  c->chain = nullptr;
  freeFrom(chain);
  c->current = nullptr;
}
