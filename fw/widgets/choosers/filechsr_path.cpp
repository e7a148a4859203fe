// The file chooser's path menu, directory menus and path entry: the pop-up
// of the current directory's ancestors, the history of visited directories
// and the marked ones (with what the preferences keep of them), the
// entry's observer and name completion, and the commands with their keys.
//
// - `filechsr_path.cpp`: the path pop-up (a `vcontrolOptionMenu` whose one menu keeps living while
//   its items are replaced at each directory change, since the change may run inside that menu's own
//   choice; titles are the path down to each element, in a growing string), the history and marked
//   directories as `vfilechsrPathMenuItem`s of "HistoryMenu" (history, the template's separator,
//   marked) with Home/Mark/Unmark in "MarkedMenu", the "History"/"Marked"/"Current" preferences
//   (marked directories read back in their own order), the path entry's observer (installed owned on
//   the entry's text, so the text's end ends it) and completion. Completion respells a typed prefix
//   by the matches' own case when they all agree, since on this file system a name differing in case
//   is another name. Commands: the chooser class carries Home 9, Mark 10, Unmark 11, View By 12 with
//   the command modifier's 'h' and 'm'; the entry class carries CompleteName on the space key under
//   selector 113 (13 is the dialog item's "Down" here) and looks its own keys up before the text
//   view's. No volumes menu on Linux: there are no drives.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/class.h"
#include "fw/core/command.h"
#include "fw/core/ex.h"
#include "fw/core/filechsrnames.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/text/observer.h"
#include "fw/text/selection.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/nativechsr.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

using Id = vfilechsrNameId;
vname N(Id id) { return vfilechsrName(id); }
using ::N;  // beside N(Id)

// ---- Menu items that carry a path (history and marked directories).
struct PathItem : vmenuItem {
  vfsPath* path;  // owned
};
PathItem* asPathItem(vinstance* o) { return static_cast<PathItem*>(o); }

struct PathState {
  vmenuItemClassRec* itemClass;
  vtextObserverClassRec* observerClass;
};
void** stateSlot = nullptr;

vmenuItemClassRec* itemSuper() { return vmenuGetDefaultItemClass(); }

void goToItemPath(vmenuItem* item, vevent*) {
  auto* c = reinterpret_cast<vfilechsr*>(item->data);
  PathItem* p = asPathItem(item);
  if (!c || !p->path) return;
  // The item may go from the menu on the way: keep the path apart.
  vfsPath* target = vfsCopyPath(p->path);
  if (!vexTry([&] { vfilechsrSetDirectory(c, target); })) _vfilechsrShowError(c, 2);
  vfsFreePath(target);
}

PathState* pathState() {
  if (auto* bound = vmoduleState<PathState>(stateSlot)) return bound;
  auto* st = static_cast<PathState*>(vmoduleBindSlot(stateSlot, sizeof(PathState)));
  *st = PathState{};
  auto* c = vclassSpawnOf<vmenuItemClassRec>(itemSuper());
  c->instanceSize = sizeof(PathItem);
  c->init = [](vinstance* self) {
    itemSuper()->init(self);
    asPathItem(self)->path = nullptr;
  };
  c->destroy = [](vinstance* self) {
    PathItem* p = asPathItem(self);
    if (p->path) vfsFreePath(p->path), p->path = nullptr;
    itemSuper()->destroy(self);
  };
  // A copy starts from no init: its path is the source's, copied.
  c->copyInit = [](vobject* source, vobject* destination) {
    itemSuper()->copyInit(source, destination);
    const vfsPath* from = asPathItem(source)->path;
    asPathItem(destination)->path = from ? vfsCopyPath(from) : nullptr;
  };
  c->copy = [](vobject* source, vobject* destination) {
    if (source == destination) return;
    vfsPath* kept = asPathItem(destination)->path;
    itemSuper()->copy(source, destination);
    if (kept) vfsFreePath(kept);
    const vfsPath* from = asPathItem(source)->path;
    asPathItem(destination)->path = from ? vfsCopyPath(from) : nullptr;
  };
  vclassSetName(c, vscribeLiteral("vfilechsrPathMenuItem"));
  st->itemClass = c;
  return st;
}

std::string text(const vfsPath* p) {
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  return out;
}

PathItem* newPathItem(vfilechsr* c, const vfsPath* path) {
  auto* item = asPathItem(vmenuItemCreate(pathState()->itemClass));
  item->path = vfsCopyPath(path);
  vmenuItemSetTitle(item, vscribeCString(text(path).c_str()));
  item->notifyFunc = goToItemPath;
  item->data = reinterpret_cast<std::intptr_t>(c);
  return item;
}
bool isPathItem(vmenuItem* item) {
  return vclassIsSubclass(item->cls, reinterpret_cast<vclass*>(pathState()->itemClass));
}
bool samePath(const vfsPath* a, const vfsPath* b) { return a && b && vfsComparePaths(a, b, vfsCOMPARE_EXACT) == 0; }

// ---- The local menu bar's menus.
vmenu* menuTagged(vfilechsr* c, vname tag) {
  auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
  for (int i = 0; bar && i < vmenubarCount(bar); ++i)
    if (vmenubarAt(bar, i)->tag == tag) return vmenubarAt(bar, i);
  return nullptr;
}
vmenu* historyMenu(vfilechsr* c) { return menuTagged(c, N(Id::HistoryMenu)); }
int itemCount(vmenu* m) { return vmenuItemListCount(&m->items); }
vmenuItem* itemAt(vmenu* m, int i) { return vmenuItemListAt(&m->items, i); }

// The items that issue Home, Mark and Unmark, wherever the bar holds them.
vmenuItem* commandItem(vfilechsr* c, vname tag) {
  auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
  for (int i = 0; bar && i < vmenubarCount(bar); ++i) {
    vmenu* m = vmenubarAt(bar, i);
    for (int k = 0; k < itemCount(m); ++k)
      if (itemAt(m, k)->tag == tag) return itemAt(m, k);
  }
  return nullptr;
}

void dropItem(vmenu* m, vmenuItem* item) {
  vmenuRemoveItem(m, item);
  // A chosen item may be the one going: it is still in use until the
  // menu has finished with it.
  vinstanceDestroyLater(item);
}

// The marked items follow the history items and the separator.
int markedStart(vfilechsr* c) { return c->historyCount + 1; }

bool isMarked(vfilechsr* c, const vfsPath* path) {
  vmenu* m = historyMenu(c);
  if (!m) return false;
  for (int i = markedStart(c); i < itemCount(m); ++i)
    if (vmenuItem* item = itemAt(m, i); isPathItem(item) && samePath(asPathItem(item)->path, path)) return true;
  return false;
}

void enableMarking(vfilechsr* c, bool marked) {
  vmenuItem* mark = commandItem(c, N("Mark"));
  vmenuItem* unmark = commandItem(c, N("Unmark"));
  if (mark) marked ? vmenuItemDisable(mark) : vmenuItemEnable(mark);
  if (unmark) marked ? vmenuItemEnable(unmark) : vmenuItemDisable(unmark);
}

// Removes the history items of a path, skipping the one at keep.
void dropFromHistory(vfilechsr* c, const vfsPath* path, int keep) {
  vmenu* m = historyMenu(c);
  if (!m) return;
  for (int i = c->historyCount - 1; i >= 0; --i) {
    if (i == keep) continue;
    vmenuItem* item = itemAt(m, i);
    if (isPathItem(item) && samePath(asPathItem(item)->path, path)) {
      dropItem(m, item);
      --c->historyCount;
    }
  }
}

// Most recent first, at most the history limit, never a marked directory.
void enterHistory(vfilechsr* c, const vfsPath* path) {
  vmenu* m = historyMenu(c);
  if (!m || isMarked(c, path)) return;
  vmenuInsertItem(m, newPathItem(c, path), 0);
  ++c->historyCount;
  dropFromHistory(c, path, 0);
  while (c->historyCount > std::max<int>(c->historyLimit, 0)) {
    dropItem(m, itemAt(m, c->historyCount - 1));
    --c->historyCount;
  }
}

void markCurrent(vfilechsr* c) {
  vmenu* m = historyMenu(c);
  if (!m || !c->current) return;
  const vfsPath* path = c->current->path;
  if (!isMarked(c, path)) {
    vmenuAppendItem(m, newPathItem(c, path));
    ++c->markedCount;
  }
  dropFromHistory(c, path, -1);
  enableMarking(c, true);
}

void unmarkCurrent(vfilechsr* c) {
  vmenu* m = historyMenu(c);
  if (!m || !c->current) return;
  for (int i = itemCount(m) - 1; i >= markedStart(c); --i)
    if (vmenuItem* item = itemAt(m, i); isPathItem(item) && samePath(asPathItem(item)->path, c->current->path)) {
      dropItem(m, item);
      --c->markedCount;
    }
  _vfilechsrUpdateHistory(c);
}

// ---- The path pop-up: one item per element of the current directory,
// each titled with the path down to it.
void pathChosen(vdialogItem* item, vevent*) {
  auto* c = reinterpret_cast<vfilechsr*>(item->data);
  vmenu* m = vdialogGetItemMenu(item);
  if (!c || !c->current || !m) return;
  int n = itemCount(m), k = static_cast<vcontrol*>(item)->value;
  if (k < 0 || k >= n - 1) return;
  vfsPath* up = vfsCopyPath(c->current->path);
  vfsPathRemoveLast(up, n - 1 - k);
  if (!vexTry([&] { vfilechsrSetDirectory(c, up); })) _vfilechsrShowError(c, 2);
  vfsFreePath(up);
}

// ---- The entry's observer.
vfilechsr* chooserOfEntry(vdialogItem* entry) { return entry ? static_cast<vfilechsr*>(vconfirmOfItem(entry)) : nullptr; }

void entryChanged(vinstance* target, std::int32_t, std::int32_t) {
  auto* o = static_cast<vtextObserver*>(target);
  auto* entry = reinterpret_cast<vtextitem*>(o->client);
  vfilechsr* c = chooserOfEntry(entry);
  if (!c || (c->state & vfilechsrWRITING_ENTRY) || c->pathEntry != entry) return;
  // Typing replaces what the deepest column chose.
  bool firstIsDeepest = true;
  for (int i = 0; i < c->visibleColumns; ++i) {
    vlistview* v = c->columns[i];
    auto* d = v && v->list ? reinterpret_cast<vfilechsrDirectory*>(v->list->client) : nullptr;
    if (!d) break;
    if (d->next && d->view == v) {
      firstIsDeepest = false;
      continue;
    }
    if (d->count > 0 && v->selection) {
      std::uint8_t was = c->filling;
      c->filling = 1;
      vlistUnselectRange(d->list, v->selection, 0, 0, d->count, 1);
      c->filling = was;
    }
    break;
  }
  bool empty = entry->text && entry->text->length == 0;
  vconfirmSetApply(c, firstIsDeepest && empty ? nullptr : _vfilechsrHandleSelection);
}

vtextObserverClassRec* observerClass() {
  PathState* st = pathState();
  if (st->observerClass) return st->observerClass;
  auto* c = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  c->inserted = entryChanged;
  c->deleted = entryChanged;
  vclassSetName(c, vscribeLiteral("vfilechsrPathEntryObserver"));
  return st->observerClass = c;
}

// ---- Completion.
struct Listing {
  vfsMSWDirectory* it = nullptr;
  ~Listing() {
    if (it) vfsMSWCloseDirectory(it);
  }
};

bool isDirectoryPath(const vfsPath* p) {
  vfsFileInfo info{};
  return vexTry([&] { vfsGetFileInfo(p, &info); }) && (info.flags & vfsINFO_KIND) == vfsINFO_DIRECTORY;
}

struct Completion {
  bool listed = false;
  int matches = 0;
  std::string kept;
  bool sameBeginning = true;  // every match spells the prefix alike
};

Completion matchNames(const vfsPath* directory, const std::string& prefix) {
  Completion out;
  Listing listing;
  if (!vexTry([&] { listing.it = vfsMSWOpenDirectory(directory); }) || !listing.it) return out;
  out.listed = true;
  std::size_t n = prefix.size();
  vexTry([&] {
    while (vstr* name = vfsMSWNextDirectoryEntry(listing.it)) {
      std::string s = name;
      vstrDestroy(name);
      if (s == "." || s == ".." || s.size() < n || vcstrCompareNoCaseBounded(s.c_str(), prefix.c_str(), n) != 0)
        continue;
      if (out.matches++ == 0) {
        out.kept = s;
        continue;
      }
      if (s.compare(0, n, out.kept, 0, n) != 0) out.sameBeginning = false;
      std::size_t k = n;
      while (k < out.kept.size() && k < s.size() && out.kept[k] == s[k]) ++k;
      out.kept.resize(k);
    }
  });
  return out;
}

void insertAtEnd(vtextitem* entry, std::int32_t replaceFromEnd, const std::string& chars) {
  vtext* t = entry->text;
  vtextSelection* s = entry->selection;
  if (!t || !s) return;
  vtextSetSelectionRange(t, s, t->length - replaceFromEnd, t->length);
  vtextInsertText(t, s, chars.c_str(), std::int32_t(chars.size()));
  vtextSetSelectionRange(t, s, t->length, t->length);
}

void completeName(vfilechsr* c) {
  vtextitem* entry = c->pathEntry;
  if (!entry || !c->current) return;
  char* raw = vtextitemGetString(entry);
  std::string typed = raw ? raw : "";
  if (raw) vmemFree(raw);
  const std::string separator = vfsMSWGetSeparator();
  bool endsWithSeparator = typed.size() >= separator.size() &&
                           typed.compare(typed.size() - separator.size(), separator.size(), separator) == 0;
  vfsPath* directory = nullptr;
  std::string prefix;
  bool parsed = vexTry([&] {
    if (typed.empty()) {
      directory = vfsCopyPath(c->current->path);
      return;
    }
    vfsPath* p = vfsNewPathFromString(typed.c_str());
    vexTry([&] { vfsPathExpand(p); });
    if (!(p->kind & vfsPATH_ROOTED)) {
      vfsPath* resolved = nullptr;
      vexGuard([&] { resolved = vfsPathResolve(c->current->path, p); },
               [&](vexHandler&) {
                 vfsFreePath(p);
                 _vexGenerate(nullptr, vexEnd);
               });
      vfsFreePath(p);
      p = resolved;
    }
    directory = p;
    if (!endsWithSeparator && vfsCountPathElements(p) > 1) {
      prefix = vfsGetPathElement(p, vfsCountPathElements(p) - 1);
      vfsPathRemoveLast(p, 1);
    }
  });
  Completion found;
  if (parsed && directory) found = matchNames(directory, prefix);
  bool unique = found.matches == 1;
  if (unique && !endsWithSeparator) {
    vfsPath* match = vfsCopyPath(directory);
    vfsAppendPathElements(match, found.kept.c_str(), nullptr);
    if (isDirectoryPath(match)) found.kept += separator;
    vfsFreePath(match);
  }
  if (directory) vfsFreePath(directory);
  if (found.matches > 0 && found.kept.size() > prefix.size()) {
    // On a file system that tells cases apart the name must be spelt as
    // it is: when every match agrees, its spelling replaces the typed one.
    bool respell = found.sameBeginning && found.kept.compare(0, prefix.size(), prefix) != 0 && typed.size() >= prefix.size() &&
                   vcstrCompareNoCase(typed.substr(typed.size() - prefix.size()).c_str(), prefix.c_str()) == 0;
    if (respell)
      insertAtEnd(entry, std::int32_t(prefix.size()), found.kept);
    else
      insertAtEnd(entry, 0, found.kept.substr(prefix.size()));
  }
  if ((!found.listed || found.matches == 0 || found.matches > 1) && vwindowIsOpen(c)) vwindowBeep();
}

// ---- Commands and keys.
constexpr int kCompleteSelector = 113;  // apart from the item's own selectors
constexpr std::uint32_t kCommandModifier = 8;
constexpr std::uint32_t keyValue(std::uint32_t character, std::uint32_t modifiers) { return character << 16 | modifiers; }

vdict* keyDict(const char* const* names, const std::uint32_t* keys, int n) {
  vdict* d = vdictCreate(vdictHashName);
  for (int i = 0; i < n; ++i) {
    vcommandKeyList* list = vcommandCreateKeyList();
    vcommandAppendKeys(list, &keys[i], 1);
    vdictStore(d, N(names[i]), list);
  }
  return d;
}

vtextitemClassRec* entrySuper() { return vtextitemGetDefaultClass(); }

int entryIssue(vobject* self, int selector, vdict* context) {
  if (selector != kCompleteSelector) return entrySuper()->issueSelector(self, selector, context);
  vfilechsr* c = chooserOfEntry(static_cast<vdialogItem*>(static_cast<vinstance*>(self)));
  if (c && vwindowIsOpen(c) && c->pathEntry == static_cast<vinstance*>(self)) vfilechsrCompleteName(c);
  return 1;
}
int entryQuery(vobject* self, int selector, vdict* context) {
  if (selector != kCompleteSelector) return entrySuper()->querySelector(self, selector, context);
  vdictStore(context, vname_Dispatch, vname_Enabled);
  return 1;
}
// The entry's own keys come before the text view's.
int entryKeyDown(vdialogItem* item, vevent* e) {
  vname tag = N(Id::CompleteName);
  auto* keys = static_cast<const vcommandKeyList*>(vobjectQueryTag(item, tag, vname_Key));
  if (keys) {
    vcommandKeyIterator it;
    vcommandInitKeyIterator(&it, keys);
    for (; it.current != it.end; ++it.current)
      if (*it.current == veventGetKeyValue(e) && _vdialogItemIssueKeyTag(item, tag, e)) return 1;
  }
  return entrySuper()->keyDown(item, e);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  auto* c = static_cast<vfilechsr*>(static_cast<vinstance*>(self));
  switch (selector) {
    case 9: {
      vfsPath* home = vfsMSWGetHomeDirectory();
      vexTry([&] { vfilechsrSetDirectory(c, home); });
      vfsFreePath(home);
      return 1;
    }
    case 10: markCurrent(c); return 1;
    case 11: unmarkCurrent(c); return 1;
    default: return vconfirmGetDefaultClass()->issueSelector(self, selector, context);
  }
}
int querySelector(vobject* self, int selector, vdict* context) {
  auto* c = static_cast<vfilechsr*>(static_cast<vinstance*>(self));
  if (selector < 9 || selector > 12)
    return vconfirmGetDefaultClass()->querySelector(self, selector, context);
  vdictStore(context, vname_Dispatch, vname_Enabled);
  bool marked = c->current && isMarked(c, c->current->path);
  if ((selector == 10 && marked) || (selector == 11 && !marked)) vdictStore(context, vname_State, vname_Disabled);
  return 1;
}

void menuCommand(vmenuItem* item, vevent*) {
  auto* c = reinterpret_cast<vfilechsr*>(item->data);
  if (!c) return;
  int selector = item->tag == N("Home") ? 9 : item->tag == N("Mark") ? 10 : 11;
  vobjectAttributedOf(c)->issueSelector(c, selector, nullptr);
}

// ---- Stored paths in the preferences.
void storeList(vfilechsr* c, vresource prefs, vname key, int from, int count) {
  vresource old = 0;
  if (vresourceTestGet(prefs, key, &old)) vresourceRemove(prefs, key);
  vresource list = vresourceCreate(prefs, key, vresDICTIONARY);
  vmenu* m = historyMenu(c);
  for (int i = 0; m && i < count && from + i < itemCount(m); ++i) {
    vmenuItem* item = itemAt(m, from + i);
    if (!isPathItem(item) || !asPathItem(item)->path) continue;
    vfsStorePath(asPathItem(item)->path, vresourceMake(list, vnameInternLiteral(std::to_string(i).c_str())));
  }
}

// A stored path (a path dictionary, or a string when text is given),
// expanded; null when it is not one.
vfsPath* loadPath(vresource dict, vscribe* text) {
  vfsPath* p = nullptr;
  char* s = nullptr;
  bool ok = vexTry([&] {
    if (text) {
      s = vscribeCreateString(text);
      p = vfsNewPathFromString(s);
    } else {
      p = vfsLoadPath(dict);
    }
    vfsPathExpand(p);
  });
  if (s) vscribeFreeString(s);
  if (!ok && p) vfsFreePath(p), p = nullptr;
  return p;
}

// The stored path under a key: a path dictionary or a string.
vfsPath* loadKeyed(vresource parent, vname key) {
  vresource e = 0;
  if (!vresourceTestGet(parent, key, &e)) return nullptr;
  int type = vresourceGetType(parent, key);
  if (type == vresSTRING) {
    vscribe* s = nullptr;
    if (!vexTry([&] { s = vresourceGetString(parent, key); })) return nullptr;
    return loadPath(0, s);
  }
  return type == vresDICTIONARY ? loadPath(e, nullptr) : nullptr;
}

// Each path of a stored list: a dictionary keyed "0", "1", ... or an array
// of strings from the first.
template <typename Use>
void eachStored(vresource prefs, vname key, bool highestFirst, Use use) {
  vresource list = 0;
  if (!vresourceTestGet(prefs, key, &list)) return;
  int kind = vresourceGetType(prefs, key);
  if (kind == vresARRAY) {
    if (vresourceGetElementType(list) != vresSTRING) return;
    for (int i = 0; i < vresourceCount(list); ++i) {
      vscribe* s = nullptr;
      if (!vexTry([&] { s = vresourceGetAtString(list, i); })) continue;
      if (vfsPath* p = loadPath(0, s)) use(p), vfsFreePath(p);
    }
    return;
  }
  if (kind != vresDICTIONARY) return;
  int n = vresourceCount(list);
  for (int k = 0; k < n; ++k) {
    int i = highestFirst ? n - 1 - k : k;
    if (vfsPath* p = loadKeyed(list, vnameInternLiteral(std::to_string(i).c_str()))) use(p), vfsFreePath(p);
  }
}

}  // namespace

// ---- Shared with the chooser's other files.
void _vfilechsrSetUpPathMenus(vfilechsr* c) {
  if (c->pathMenu) {
    c->pathMenu->data = reinterpret_cast<std::intptr_t>(c);
    c->pathMenu->notifyFunc = pathChosen;
    if (!vdialogGetItemMenu(c->pathMenu)) vdialogSetItemMenu(c->pathMenu, vmenuCreate());
  }
  for (const char* tag : {"Home", "Mark", "Unmark"})
    if (vmenuItem* item = commandItem(c, N(tag))) {
      item->notifyFunc = menuCommand;
      item->data = reinterpret_cast<std::intptr_t>(c);
    }
  if (vmenu* m = historyMenu(c))
    for (int i = 0; i < itemCount(m); ++i)
      if (isPathItem(itemAt(m, i))) itemAt(m, i)->data = reinterpret_cast<std::intptr_t>(c);
  if (c->pathEntry) {
    c->pathEntry->data = reinterpret_cast<std::intptr_t>(c);
    if (vtext* t = c->pathEntry->text) {
      auto* o = static_cast<vtextObserver*>(vinstanceCreate(observerClass()));
      o->client = c->pathEntry;
      o->flags |= vtextObserverOWNED;
      vtextInstallObserver(t, o);
    }
  }
}

void _vfilechsrBuildVolumesMenu(vfilechsr* c) {
  auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
  if (!bar) return;
  if (vmenu* copied = menuTagged(c, N(Id::VolumesMenu))) {  // a copy's, from its source
    copied->data = c;
    for (int i = 0; i < itemCount(copied); ++i) itemAt(copied, i)->data = reinterpret_cast<std::intptr_t>(c);
    return;
  }
  // Each drive the system reports; a file system without drives has the
  // one volume its root stands for.
  std::vector<vfsPath*> roots;
  int count = 0;
  const vfsVolume* drives = vfsMSWGetDrives(&count);
  for (int i = 0; drives && i < count; ++i)
    if (drives[i].text) roots.push_back(vfsNewPathFromString((std::string(drives[i].text) + ":\\").c_str()));
  if (roots.empty()) roots.push_back(vfsNewPathFromString(vfsMSWGetRootString()));
  vmenu* m = vmenuCreate();
  m->tag = N(Id::VolumesMenu);
  vwindowSetTitleScribe(m, vscribeCString(_vfilechsrListText(N("Tags"), 3).c_str()));
  int mnemonic = 0;
  if (vresource chars = vfilechsrGetResource(N("Chars")); chars && vresourceCount(chars) > 1)
    vexTry([&] { mnemonic = static_cast<unsigned char>(vresourceGetAtCharacter(chars, 1)); });
  vmenuClassOf(m)->setMnemonic(m, mnemonic);
  m->data = c;
  for (vfsPath* root : roots) {
    vmenuAppendItem(m, newPathItem(c, root));
    vfsFreePath(root);
  }
  vmenubarAppendMenu(bar, m);
}

void _vfilechsrBuildPathMenu(vfilechsr* c) {
  auto* control = static_cast<vcontrol*>(c->pathMenu);
  vmenu* m = control ? vdialogGetItemMenu(control) : nullptr;
  if (!m || !c->current) return;
  while (itemCount(m) > 0) dropItem(m, itemAt(m, itemCount(m) - 1));
  const vfsPath* p = c->current->path;
  const std::string separator = vfsMSWGetSeparator(), root = vfsMSWGetRootString();
  std::string title;  // grows with the path, however deep
  if (const char* volume = vfsGetPathVolume(p); volume && *volume) title = std::string(volume) + vfsMSWGetVolumeSeparator();
  int n = vfsCountPathElements(p);
  for (int i = 0; i < n; ++i) {
    title += vfsGetPathElement(p, i);
    bool endsWithRoot = title.size() >= root.size() && title.compare(title.size() - root.size(), root.size(), root) == 0;
    if (!endsWithRoot) title += separator;
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuItemSetTitle(item, vscribeCString(title.c_str()));
    vmenuAppendItem(m, item);
  }
  vcontrolSetMax(control, n - 1);
  vcontrolSetValue(control, n - 1);
  vdialogInvalItem(control, 0);
}

void _vfilechsrUpdateHistory(vfilechsr* c) {
  if (!c->current) return;
  const vfsPath* path = c->current->path;
  bool marked = isMarked(c, path);
  enableMarking(c, marked);
  if (!marked) enterHistory(c, path);
}

void _vfilechsrAddHistory(vfilechsr* c, const vfsPath* path) { enterHistory(c, path); }

void _vfilechsrAddMarked(vfilechsr* c, const vfsPath* path) {
  vmenu* m = historyMenu(c);
  if (!m || isMarked(c, path)) return;
  vmenuAppendItem(m, newPathItem(c, path));
  ++c->markedCount;
  dropFromHistory(c, path, -1);
  if (c->current) enableMarking(c, isMarked(c, c->current->path));
}

vfsPath* _vfilechsrHistoryPath(vfilechsr* c, int index) {
  vmenu* m = historyMenu(c);
  if (!m || index < 0 || index >= c->historyCount) return nullptr;
  return asPathItem(itemAt(m, index))->path;
}
vfsPath* _vfilechsrMarkedPath(vfilechsr* c, int index) {
  vmenu* m = historyMenu(c);
  if (!m || index < 0 || index >= c->markedCount || markedStart(c) + index >= itemCount(m)) return nullptr;
  vmenuItem* item = itemAt(m, markedStart(c) + index);
  return isPathItem(item) ? asPathItem(item)->path : nullptr;
}

void _vfilechsrSaveDirectories(vfilechsr* c, vresource prefs) {
  bool menu = historyMenu(c) != nullptr;
  storeList(c, prefs, N(Id::History), 0, menu ? c->historyCount : 0);
  storeList(c, prefs, N(Id::Marked), markedStart(c), menu ? c->markedCount : 0);
  vresource old = 0;
  if (vresourceTestGet(prefs, N(Id::Current), &old)) vresourceRemove(prefs, N(Id::Current));
  vresource current = vresourceCreate(prefs, N(Id::Current), vresDICTIONARY);
  if (c->current) vfsStorePath(c->current->path, current);
}

void _vfilechsrRestoreDirectories(vfilechsr* c, vresource prefs) {
  // The history is rebuilt most recent last, so that "0" ends first; the
  // marked directories keep their order.
  eachStored(prefs, N(Id::History), true, [&](vfsPath* p) { _vfilechsrAddHistory(c, p); });
  eachStored(prefs, N(Id::Marked), false, [&](vfsPath* p) { _vfilechsrAddMarked(c, p); });
  if (vfsPath* p = loadKeyed(prefs, N(Id::Current))) {
    vexTry([&] { vfilechsrSetDirectory(c, p); });
    vfsFreePath(p);
  }
}

void _vfilechsrInstallCommands(vfilechsrClassRec* c, vtextitemClassRec* entry) {
  pathState();
  observerClass();
  vconfirmClassRec* base = vconfirmGetDefaultClass();
  c->space = static_cast<vcommandSpace*>(vobjectClone(base->space));
  static const vcommandTableRow kChooser[] = {{"Home", 9}, {"Mark", 10}, {"Unmark", 11}, {"View By", 12}};
  vcommandSpaceAddDict(c->space, vname_Command,
                       vcommandCreateDictFromTable(vobjectGetCommandClass(), kChooser, int(std::size(kChooser))));
  static const char* const kKeyNames[] = {"Home", "Mark"};
  static constexpr std::uint32_t kKeys[] = {keyValue('h', kCommandModifier), keyValue('m', kCommandModifier)};
  vcommandSpaceAddDict(c->space, vname_Key, keyDict(kKeyNames, kKeys, 2));
  c->keyBindings = vdictCopy(base->keyBindings);
  vcommandSpaceVisitKeys(c->space, c->keyBindings);
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->completeName = completeName;

  entry->space = static_cast<vcommandSpace*>(vobjectClone(entrySuper()->space));
  const vcommandTableRow kEntry[] = {{"CompleteName", kCompleteSelector}};
  vcommandSpaceAddDict(entry->space, vname_Command, vcommandCreateDictFromTable(vobjectGetCommandClass(), kEntry, 1));
  static const char* const kEntryKeyNames[] = {"CompleteName"};
  static constexpr std::uint32_t kEntryKeys[] = {keyValue(' ', 0)};
  vcommandSpaceAddDict(entry->space, vname_Key, keyDict(kEntryKeyNames, kEntryKeys, 1));
  entry->issueSelector = entryIssue;
  entry->querySelector = entryQuery;
  entry->keyDown = entryKeyDown;
}

void _vfilechsrFreeCommands(vfilechsrClassRec* c, vtextitemClassRec* entry) {
  if (c && c->space) vinstanceDestroy(c->space), c->space = nullptr;
  if (c && c->keyBindings) vdictDestroy(c->keyBindings), c->keyBindings = nullptr;
  if (entry && entry->space) vinstanceDestroy(entry->space), entry->space = nullptr;
}
