// The file chooser's class: its module state (classes, resource
// dictionary, row icons), loading from the "Confirm" template, options and
// labels, the dialog's layout, opening and closing, the modal run, the
// preferences it remembers, and the record the native dialog would take.
#include "fw/widgets/choosers/filechsr.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/filechsrnames.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/choosers/chsrtemplate.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/choosers/nativechsr.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/optionmenu.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

using Id = vfilechsrNameId;
vname N(Id id) { return vfilechsrName(id); }
using ::N;  // beside N(Id)
std::int16_t s16(int v) { return std::int16_t(v); }

struct ModuleState {
  vfilechsrClassRec* cls;
  vtextitemClassRec* entryCls;
  vresource dict;  // 0: none
  vstr* tags[2];
  vimage* icons[4];
};
void** stateSlot = nullptr;
ModuleState* state();

vconfirmClassRec* super() { return vconfirmGetDefaultClass(); }
vfilechsr* asF(vinstance* o) { return static_cast<vfilechsr*>(o); }
int lookId() { return vlafGetCurrent()->id; }

// ---- The dictionary's lists.
std::string listText(Id list, int index) { return _vfilechsrListText(N(list), index); }
int listChar(int index) {
  vresource r = vfilechsrGetResource(N(Id::Chars));
  if (!r || index < 0 || index >= vresourceCount(r)) return 0;
  int c = 0;
  vexTry([&] { c = static_cast<unsigned char>(vresourceGetAtCharacter(r, index)); });
  return c;
}
std::string fillIn(std::string templ, const std::string& value) { return _vfilechsrFillIn(std::move(templ), value); }

// ---- Native settings.
vfilechsrNativeSettings* native(vfilechsr* c) {
  if (c->nativeSettings) return c->nativeSettings;
  auto* n = static_cast<vfilechsrNativeSettings*>(vmemAllocClear(sizeof(vfilechsrNativeSettings)));
  n->x = n->y = -1;
  return c->nativeSettings = n;
}
void freeNative(vfilechsr* c) {
  vfilechsrNativeSettings* n = c->nativeSettings;
  if (!n) return;
  if (n->title) vstrDestroy(n->title);
  if (n->previousTitle) vstrDestroy(n->previousTitle);
  if (n->directory) vfsFreePath(n->directory);
  vmemFree(n);
  c->nativeSettings = nullptr;
}
void recordPosition(vfilechsr* c) {
  vfilechsrNativeSettings* n = native(c);
  n->x = c->rect.x, n->y = c->rect.y;
  n->flags |= vfilechsrNATIVE_POSITION;
}

bool nativeAllowed() { return vchooserMSWUseNative("nonativefilechooser") != 0; }

// ---- Labels.
void setLabels(vfilechsr* c) {
  bool directory = (c->options & vfilechsrDIRECTORIES) != 0;
  bool open = c->kind == vfilechsrOPEN;
  int title = directory ? 14 : open ? 12 : 13, prompt = directory ? 11 : open ? 9 : 10;
  int ok = directory ? 7 : open ? 5 : 6, mnemonic = directory ? 4 : open ? 3 : 2;
  vwindowSetTitleScribe(c, vscribeCString(listText(Id::Tags, title).c_str()));
  vfilechsrSetPrompt(c, listText(Id::Tags, prompt).c_str());
  if (directory || lookId() != vlafMOTIF || (c->confirmFlags & vconfirmOWN_TITLES)) vconfirmSetOwnTitles(c, 1);
  vconfirmSetOkTitle(c, vscribeCString(listText(Id::Tags, ok).c_str()));
  vconfirmSetOkMnemonic(c, listChar(mnemonic));
  if (directory) {
    vconfirmShowOk(c, 1);
    vconfirmShowApply(c, 0);
    vconfirmShowDefaults(c, 1);
    vconfirmSetDefaultsTitle(c, vscribeCString(listText(Id::Tags, 5).c_str()));
    vconfirmSetDefaultsMnemonic(c, listChar(3));
    vconfirmSetDefaults(c, _vfilechsrChooseDirectory);
  } else {
    vconfirmShowDefaults(c, 0);
    vconfirmSetDefaults(c, nullptr);
  }
  c->state |= vfilechsrLABELS_SET;
}

// ---- Layout of the dialog's own items above the buttons.
constexpr int kMargin = 5;
// Shown by the flag: the layout runs before the items open.
bool shown(const vdialogItem* item) { return item && (item->flags & vdialogItemSHOWN) != 0; }
int naturalHeight(vdialogItem* item) {
  if (!shown(item)) return 0;
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(item, &w, &h);
  return h;
}
int naturalWidth(vdialogItem* item) {
  if (!shown(item)) return 0;
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(item, &w, &h);
  return w;
}
// A label's own height is its font's: its natural size is a default box.
int labelHeight(vdialogItem* item) {
  if (!shown(item)) return 0;
  int w = 0, h = 0;
  vdialogGetItemMinSize(item, &w, &h);
  return h;
}
// An empty one-line entry has no line to measure: its least height holds one.
int entryHeight(vdialogItem* entry) { return std::max(naturalHeight(entry), labelHeight(entry)); }
constexpr int kShiftSize = 22;
void place(vdialogItem* item, int x, int y, int w, int h) {
  if (!item) return;
  vrect r{s16(x), s16(y), s16(std::max(w, 0)), s16(std::max(h, 0))};
  if (std::memcmp(&r, &item->rect, sizeof r) == 0) return;
  vdialogInvalItem(item, 0);
  vdialogSetItemRect(item, &r);
}

void relayout(vfilechsr* c) {
  _vfilechsrLayoutColumns(c, c->rect.width);
  _vfilechsrApplySelectionMode(c);
  if (c->current) _vfilechsrFillColumns(c);
}

void arrangeItems(vfilechsr* c, const vrect& area) {
  int x = area.x + kMargin, right = area.x + area.width - kMargin;
  int top = area.y + area.height;
  if (c->menuBar) {
    int h = naturalHeight(c->menuBar);
    place(c->menuBar, area.x, top - h, area.width, h);
    top -= h;
  }
  top -= kMargin;
  if (shown(c->pathMenu)) {
    int h = naturalHeight(c->pathMenu);
    place(c->pathMenu, x, top - h, right - x, h);
    top -= h + kMargin;
  }
  int bottom = area.y + kMargin;
  if (shown(c->readOnly)) {
    int h = naturalHeight(c->readOnly);
    place(c->readOnly, x, bottom, naturalWidth(c->readOnly), h);
    bottom += h + kMargin;
  }
  if (c->pathEntry) {
    int h = entryHeight(c->pathEntry);
    place(c->pathEntry, x, bottom, right - x, h);
    bottom += h + 2;
  }
  if (vdialogItem* prompt = vdialogFindItem(c, N(Id::Prompt))) {
    int h = labelHeight(prompt);
    place(prompt, x, bottom, right - x, h);
    bottom += h + kMargin;
  }
  int titleHeight = 0;
  for (vdialogItem* t : c->titles) titleHeight = std::max(titleHeight, labelHeight(t));
  int shiftWidth = std::max({kShiftSize, naturalWidth(c->shiftUp), naturalWidth(c->shiftDown)});
  int columnsTop = top - titleHeight;
  int columnsHeight = std::max(columnsTop - bottom, 0);
  int shiftHeight = std::max({kShiftSize, naturalHeight(c->shiftUp), naturalHeight(c->shiftDown)});
  place(c->shiftUp, x, columnsTop - shiftHeight, shiftWidth, shiftHeight);
  place(c->shiftDown, x, columnsTop - 2 * shiftHeight - kMargin, shiftWidth, shiftHeight);
  int cx = x + shiftWidth + kMargin;
  for (int i = 0; i < vfilechsrCOLUMNS; ++i) {
    int at = cx + i * (c->columnWidth + kMargin);
    if (c->columns[i]) place(c->columns[i], at, bottom, c->columnWidth, columnsHeight);
    if (i > 0 && c->titles[i - 1]) place(c->titles[i - 1], at, columnsTop, c->columnWidth, titleHeight);
  }
}

// ---- Preferences under "vfilechsr".
vresource prefDictionary(bool make) {
  return _vapplicationPreferenceDict(vapplicationGetResources(vapplicationGetCurrent()), N(Id::Filechsr), make);
}

// True when a position came back.
bool restorePreferences(vfilechsr* c) {
  vresource d = prefDictionary(false);
  if (!d) return false;
  std::int32_t w = 0, h = 0, x = 0, y = 0;
  if (vresourceTestGetInteger(d, N("Width"), &w) && vresourceTestGetInteger(d, N("Height"), &h)) {
    int nw = 0, nh = 0;
    vdialogClassOf(c)->getNaturalSize(c, &nw, &nh);
    vwindowClassOf(c)->setMinSize(c, nw, nh);
    vwindowResize(c, std::max<int>(w, nw), std::max<int>(h, nh));
  }
  bool placed = vresourceTestGetInteger(d, N("Top"), &x) && vresourceTestGetInteger(d, N("Left"), &y);
  if (placed) vwindowMove(c, x, y);
  _vfilechsrRestoreDirectories(c, d);
  vstr* view = nullptr;
  if (vresourceTestGetStringCopy(d, N(Id::View), &view)) {
    vfilechsrSetViewBy(c, vnameInternLiteral(view));
    vstrDestroy(view);
  }
  return placed;
}

void savePreferences(vfilechsr* c) {
  vresource d = 0;
  if (!vexTry([&] { d = prefDictionary(true); }) || !d) return;
  vexTry([&] { _vfilechsrSaveDirectories(c, d); });
  vexTry([&] {
    if (c->currentView) vresourceSetString(d, N(Id::View), vscribeCString(c->currentView));
    // "Top" holds x and "Left" y, as the stored form always had them.
    vresourceSetInteger(d, N("Top"), c->rect.x);
    vresourceSetInteger(d, N("Left"), c->rect.y);
    vresourceSetInteger(d, N("Width"), c->rect.width);
    vresourceSetInteger(d, N("Height"), c->rect.height);
  });
}

// The read-only box keeps its tick in the options.
void readOnlyToggled(vdialogItem* item, vevent*) {
  auto* c = static_cast<vfilechsr*>(vconfirmOfItem(item));
  if (!c) return;
  if (static_cast<vcontrol*>(item)->value > 0)
    c->options |= vfilechsrREAD_ONLY_TICKED;
  else
    c->options &= ~std::uint32_t(vfilechsrREAD_ONLY_TICKED);
}

// ---- Views from the template's view menu.
vmenu* viewMenu(vfilechsr* c) {
  auto* bar = reinterpret_cast<vmenubar*>(c->menuBar);
  if (!bar) return nullptr;
  for (int i = 0; i < vmenubarCount(bar); ++i)
    if (vmenubarAt(bar, i)->tag == N(Id::ViewMenu)) return vmenubarAt(bar, i);
  return nullptr;
}

void viewChosen(vmenuItem* item, vevent*) {
  auto* c = reinterpret_cast<vfilechsr*>(item->data);
  if (c && item->tag != c->currentView) vfilechsrSetViewBy(c, item->tag);
}

void setUpViews(vfilechsr* c) {
  c->views = vdictCreate(vdictHashName);
  c->currentView = nullptr;
  vmenu* menu = viewMenu(c);
  if (!menu) {
    vdictStore(c->views, N("Name"), reinterpret_cast<const void*>(vfilechsrCompareByName));
    c->currentView = N("Name");
    return;
  }
  static constexpr vfilechsrCompareFunc kBound[] = {vfilechsrCompareByName, vfilechsrCompareByModified,
                                                    vfilechsrCompareByChanged};
  int bound = 0;
  for (int i = 0; i < vmenuItemListCount(&menu->items); ++i) {
    vmenuItem* item = vmenuItemListAt(&menu->items, i);
    if (!(item->flags & vmenuItemTOGGLE) || !item->tag) continue;
    item->notifyFunc = viewChosen;
    item->data = reinterpret_cast<std::intptr_t>(c);
    if (bound < 3) vdictStore(c->views, item->tag, reinterpret_cast<const void*>(kBound[bound]));
    if (bound == 0) c->currentView = item->tag;
    vmenuItemSetToggle(item, bound == 0);
    ++bound;
  }
}

void addViewBy(vfilechsr* c, const char* name, vfilechsrCompareFunc compare) {
  vname tag = vnameInternLiteral(name);
  if (vmenu* menu = viewMenu(c)) {
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultToggleItemClass());
    vmenuItemSetToggle(item, 0);
    vmenuItemSetExclusive(item, 1);
    vmenuItemSetTitle(item, vscribeCString(fillIn(listText(Id::Tags, 15), name).c_str()));
    item->tag = tag;
    item->notifyFunc = viewChosen;
    item->data = reinterpret_cast<std::intptr_t>(c);
    vmenuAppendItem(menu, item);
  }
  vdictStore(c->views, tag, reinterpret_cast<const void*>(compare));
}

void removeViewBy(vfilechsr* c, const char* name) {
  vmenu* menu = viewMenu(c);
  vmenuItem* found = nullptr;
  for (int i = 0; menu && i < vmenuItemListCount(&menu->items) && !found; ++i) {
    vmenuItem* item = vmenuItemListAt(&menu->items, i);
    if (item->tag && vcstrCompareNoCase(item->tag, name) == 0) found = item;
  }
  if (!found) _vexGenerate(&vexArgClass, vexSetMessage, "RemoveViewBy: not valid view tag", vexEnd);
  vmenuRemoveItem(menu, found);
  vdictRemove(c->views, found->tag);
  vinstanceDestroy(found);
}

// ---- Directory.
// The path with "." dropped and ".." folded, rooted.
vfsPath* canonical(const vfsPath* path) {
  vfsPath* base = vfsMSWGetCurrentDirectory();
  vfsPath* out = nullptr;
  if (path->kind & vfsPATH_ROOTED) {
    vfsPath* root = vfsNewPathFromString(vfsMSWGetRootString());
    vfsPath* relative = vfsCopyPath(path);
    relative->kind = (relative->kind & ~vfsPATH_KIND) | vfsPATH_RELATIVE;
    out = vfsPathResolve(root, relative);
    vfsFreePath(root);
    vfsFreePath(relative);
  } else {
    out = vfsPathResolve(base, path);
  }
  vfsFreePath(base);
  return out;
}

void setDirectory(vfilechsr* c, const vfsPath* path) {
  vfsPath* p = canonical(path);
  if (c->current && vfsComparePaths(c->current->path, p, vfsCOMPARE_EXACT) == 0) return vfsFreePath(p);
  vfsFileInfo info{};
  bool readable = false;
  bool examined = vexTry([&] {
    vfsGetFileInfo(p, &info);
    readable = vfsAccess(p, 4);
  });
  if (!examined || !readable || (info.flags & vfsINFO_KIND) != vfsINFO_DIRECTORY) {
    if (vwindowIsOpen(c)) vwindowBeep();
    return vfsFreePath(p);
  }
  vfilechsrDirectory* d = nullptr;
  vexTry([&] {
    d = _vfilechsrFindDirectory(c, p);
    _vfilechsrReadDirectory(d);
  });
  if (!d) return vfsFreePath(p);
  c->current = d;
  _vfilechsrBuildPathMenu(c);
  _vfilechsrUpdateHistory(c);
  _vfilechsrDetachColumns(c);
  _vfilechsrFillColumns(c);
  _vfilechsrSetShiftButtons(c);
  _vfilechsrWriteEntry(c);
  vfilechsrNativeSettings* n = native(c);
  if (n->directory) vfsFreePath(n->directory);
  n->directory = p;
  n->flags |= vfilechsrNATIVE_DIRECTORY;
}

void shift(vfilechsr* c, int direction) {
  vfilechsrDirectory* d = c->current;
  if (!d) return;
  if (direction == 1) {
    if (vfsCountPathElements(d->path) <= 1) return;
    vfsPath* up = vfsCopyPath(d->path);
    vfsPathRemoveLast(up, 1);
    vfilechsrSetDirectory(c, up);
    vfsFreePath(up);
  } else if (d->next) {
    vfsPath* down = vfsCopyPath(d->next->path);
    vfilechsrSetDirectory(c, down);
    vfsFreePath(down);
  }
}

void shiftNotify(vdialogItem* item, vevent*) {
  auto* c = reinterpret_cast<vfilechsr*>(item->data);
  if (c) vfilechsrShift(c, item == c->shiftUp ? 1 : 2);
}

// ---- Object slots.
void resetFields(vfilechsr* c) {
  c->kind = vfilechsrOPEN;
  c->selectionMode = 1;
  c->state = nativeAllowed() ? std::uint32_t(vfilechsrNATIVE_ALLOWED) : 0u;
  c->state |= vfilechsrREFILL;
  c->confirmOverwrite = 1;
  c->nativeSettings = nullptr;
  c->fileTypeIndex = -1;
  c->fileType = nullptr;
  c->fileTypes = nullptr;
  c->filtersMenu = nullptr;
  c->result = nullptr;
  c->defaultExtension = nullptr;
  c->historyCount = 0;
  c->current = c->chain = nullptr;
  c->markedCount = 0;
  c->apply = nullptr;
  c->savedNotify = nullptr;
  c->columnMinimum = 150;
  c->options = vfilechsrCONFIRM_OVERWRITE;
  c->historyLimit = 5;
  c->resultFlags = 0;
  c->filling = 0;
}

// Each item is then used as its class: another class is a damaged template.
void findItems(vfilechsr* c) {
  const vclass* item = vdialogItemGetDefaultClass();
  c->shiftUp = _vdialogFindItemOfClass(c, N(Id::ShiftUp), item);
  c->shiftDown = _vdialogFindItemOfClass(c, N(Id::ShiftDown), item);
  c->pathEntry = _vdialogFindItemAs<vtextitem>(c, N(Id::PathEntry), state()->entryCls);
  c->menuBar = _vdialogFindItemOfClass(c, N(Id::LocalMenuBar), vmenubarGetDefaultClass());
  for (int i = 0; i < vfilechsrCOLUMNS; ++i) {
    c->columns[i] = _vdialogFindItemAs<vlistview>(c, N(Id(int(Id::List1) + i)), vfilechsrGetListViewClass());
    // The columns are walked up to the first gap: every one must be there.
    if (!c->columns[i]) _vexGenerate(&vexArgClass, vexSetMessage, "Resource file is damaged", vexEnd);
    if (i > 0) c->titles[i - 1] = _vdialogFindItemOfClass(c, N(Id(int(Id::Title1) + i)), item);
  }
  c->columns[vfilechsrCOLUMNS] = nullptr;
  c->pathMenu = _vdialogFindItemOfClass(c, N(Id::PathPopupMenu), vcontrolGetDefaultClass());
  c->readOnly = _vdialogFindItemOfClass(c, N(Id::ReadOnly), vcontrolGetDefaultClass());
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vfilechsr* c = asF(self);
  findItems(c);
  if (c->menuBar) vmenubarClassOf(reinterpret_cast<vmenubar*>(c->menuBar))->setFlag2(reinterpret_cast<vmenubar*>(c->menuBar), 1);
  for (vdialogItem* b : {c->shiftUp, c->shiftDown})
    if (b) b->notifyFunc = shiftNotify, b->data = reinterpret_cast<std::intptr_t>(c);
  setUpViews(c);
  if (c->readOnly) c->readOnly->notifyFunc = readOnlyToggled;
  c->visibleColumns = 0;
  for (int i = 0; i < vfilechsrCOLUMNS; ++i)
    if (c->columns[i]) _vfilechsrPrepareColumn(c, c->columns[i]);
  resetFields(c);
  _vfilechsrSetUpPathMenus(c);
  _vfilechsrBuildVolumesMenu(c);
  if (c->readOnly) vdialogHideItem(c->readOnly);
  vconfirmSetApply(c, nullptr);
  // The template's size stands; the natural size (one column) is the least.
  c->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  int nw = 0, nh = 0;
  vdialogClassOf(c)->getNaturalSize(c, &nw, &nh);
  vwindowClassOf(c)->setMinSize(c, nw, nh);
  _vfilechsrLayoutColumns(c, c->rect.width);
  bool placed = restorePreferences(c);
  _vfilechsrLayoutColumns(c, c->rect.width);
  setLabels(c);
  vfilechsrSetDirectory(c, vfsMSWGetStartupDirectory());
  // Centred unless the last chooser's place came back.
  if (!placed) vwindowPlace(c, vwindowGetRoot(), 6, 6);
}

// A new chooser is loaded from the template; the loading itself starts
// with the classes' plain init, which must not load again.
int loadingTemplate = 0;
struct PlainInit {
  PlainInit() { ++loadingTemplate; }
  ~PlainInit() { --loadingTemplate; }
};
void init(vinstance* self) {
  if (loadingTemplate) return super()->init(self);
  PlainInit depth;
  vresource dict = _vfilechsrDictionary();
  vresource templ = 0;
  if (!dict || !vresourceTestGet(dict, N(Id::Confirm), &templ))
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vfilechsr: no \"Confirm\" template", vexEnd);
  vclassRec<vobjectClassRec>(static_cast<vobject*>(self))->loadInit(static_cast<vobject*>(self), templ);
  // A chooser is a dialog, run modally or not (an editor's Open File).
  asF(self)->decoration |= vwindowDECO_MODAL_FRAME;
}

void destroy(vinstance* self) {
  vfilechsr* c = asF(self);
  _vfilechsrForget(c);
  savePreferences(c);
  c->current = nullptr;
  _vfilechsrFreeChain(c);
  if (c->views) vdictDestroy(c->views), c->views = nullptr;
  if (c->defaultExtension) vstrDestroy(c->defaultExtension), c->defaultExtension = nullptr;
  _vfilechsrFreeFileTypes(c, &c->fileTypes);
  freeNative(c);
  super()->destroy(self);
}

void copyInit(vobject* source, vobject* destination) {
  {
    // The copy starts from the plain init, not from a template of its own.
    PlainInit plain;
    super()->copyInit(source, destination);
  }
  vfilechsr* from = asF(source);
  vfilechsr* to = asF(destination);
  findItems(to);
  for (vdialogItem* b : {to->shiftUp, to->shiftDown})
    if (b) b->notifyFunc = shiftNotify, b->data = reinterpret_cast<std::intptr_t>(to);
  for (int i = 0; i < vfilechsrCOLUMNS; ++i)
    if (to->columns[i]) _vfilechsrPrepareColumn(to, to->columns[i]);
  if (to->readOnly) to->readOnly->notifyFunc = readOnlyToggled;
  _vfilechsrSetUpPathMenus(to);
  _vfilechsrBuildVolumesMenu(to);
  to->kind = from->kind;
  to->selectionMode = from->selectionMode;
  to->confirmOverwrite = from->confirmOverwrite;
  to->columnMinimum = from->columnMinimum;
  to->views = from->views ? vdictCopy(from->views) : nullptr;
  to->currentView = from->currentView;
  to->markedCount = from->markedCount;
  to->historyCount = from->historyCount;
  to->historyLimit = from->historyLimit;
  to->visibleColumns = from->visibleColumns;
  to->columnWidth = from->columnWidth;
  to->apply = from->apply;
  to->current = to->chain = nullptr;
  to->state = (from->state & (vfilechsrNATIVE_ALLOWED | vfilechsrNATIVE_FORCED)) | vfilechsrREFILL;
  to->options = from->options;
  to->defaultExtension = from->defaultExtension ? vstrClone(from->defaultExtension) : nullptr;
  to->result = nullptr;
  to->resultFlags = 0;
  to->savedNotify = nullptr;
  to->filling = 0;
  to->fileType = nullptr;
  to->fileTypes = nullptr;
  to->fileTypeIndex = -1;
  to->filtersMenu = nullptr;
  _vfilechsrCopyFileTypes(from, to);
  to->nativeSettings = nullptr;
  if (from->nativeSettings) {
    vfilechsrNativeSettings* n = native(to);
    *n = *from->nativeSettings;
    n->title = n->title ? vstrClone(n->title) : nullptr;
    n->previousTitle = n->previousTitle ? vstrClone(n->previousTitle) : nullptr;
    n->directory = n->directory ? vfsCopyPath(n->directory) : nullptr;
  }
  for (vfilechsrDirectory* d = from->chain; d; d = d->next) _vfilechsrFindDirectory(to, d->path);
  if (from->current) {
    to->current = _vfilechsrFindDirectory(to, from->current->path);
    _vfilechsrFillColumns(to);
  }
}

void open(vwindow* w) {
  vfilechsr* c = asF(w);
  if (vwindowIsOpen(w)) return;
  if (_vfilechsrWantsNative(c)) {
    c->result = _vfilechsrRunNative(c);
    return;
  }
  relayout(c);
  if (c->state & vfilechsrPROCESSING) _vfilechsrBeginSelection(c);
  super()->open(w);
  for (int i = 0; i < c->visibleColumns; ++i)
    if (vlistview* v = c->columns[i]; v && v->list) {
      int left = 0, right = 0, bottom = 0, top = 0;
      vlistviewClassOf(v)->getInsets(v, &left, &right, &bottom, &top);
      vlistviewSetColumnWidth(v, vlistsizeALL_COLUMNS, std::max(1, c->columnWidth - left - right - 1));
    }
  vdialogItem* focus = c->kind == vfilechsrOPEN ? static_cast<vdialogItem*>(c->columns[0]) : c->pathEntry;
  if (focus) {
    vdialogSetDefaultFocusItem(c, focus);
    vdialogSetFocusItem(c, focus);
  }
}

void close(vwindow* w) {
  vfilechsr* c = asF(w);
  for (vfilechsrDirectory* d = c->chain; d; d = d->next) _vfilechsrReleaseEntries(d);
  if (c->state & vfilechsrPROCESSING) _vfilechsrEndSelection(c);
  super()->close(w);
}

void setWindowTitle(vwindow* w, vscribe* title) {
  vfilechsr* c = asF(w);
  vstr* old = !c->nativeSettings ? vstrClone(c->title ? c->title : "") : nullptr;
  static_cast<vwindowClassRec*>(super())->setTitle(w, title);
  vfilechsrNativeSettings* n = native(c);
  if (n->title) vstrDestroy(n->title);
  n->title = vstrClone(c->title ? c->title : "");
  n->flags |= vfilechsrNATIVE_TITLE;
  if (old) {
    if (n->previousTitle) vstrDestroy(n->previousTitle);
    n->previousTitle = old;
  }
}

void setParent(vwindow* w, vwindow* parent) {
  vfilechsr* c = asF(w);
  if (!parent) {
    if (c->nativeSettings) c->nativeSettings->owner = nullptr, c->nativeSettings->flags &= ~vfilechsrNATIVE_OWNER;
    return;
  }
  super()->setParent(w, parent);
  if (vclassIsSubclass(parent->cls, vdialogGetDefaultClass())) {
    native(c)->owner = static_cast<vdialog*>(parent);
    native(c)->flags |= vfilechsrNATIVE_OWNER;
  }
}

void arrange(vdialog* d, const vrect* rect) {
  vfilechsr* c = asF(d);
  vrect rest;
  _vconfirmLayoutButtons(c, rect, &rest);
  if (c->visibleColumns > 0 && rect->width != 0) {
    int visible = c->visibleColumns, width = c->columnWidth;
    _vfilechsrLayoutColumns(c, rect->width);
    if (visible != c->visibleColumns || width != c->columnWidth) {
      _vfilechsrApplySelectionMode(c);
      if (c->current && !c->filling) {
        arrangeItems(c, rest);
        _vfilechsrFillColumns(c);
        return;
      }
    }
  }
  arrangeItems(c, rest);
}

// As if one column showed at its narrowest.
void naturalSize(vdialog* d, int* width, int* height) {
  vfilechsr* c = asF(d);
  int shiftWidth = std::max({kShiftSize, naturalWidth(c->shiftUp), naturalWidth(c->shiftDown)});
  int w = 3 * kMargin + shiftWidth + c->columnMinimum + kMargin;
  int h = naturalHeight(c->menuBar) + 4 * kMargin + 120 + entryHeight(c->pathEntry) +
          labelHeight(vdialogFindItem(c, N(Id::Prompt))) + naturalHeight(c->pathMenu) + labelHeight(c->titles[0]);
  int bw = 0, bh = 0;
  _vconfirmButtonsSize(c, &bw, &bh);
  *width = std::max(w, bw);
  *height = h + bh;
}

int acceptEntry(vfilechsr*, vfilechsrEntry*) { return 1; }

// ---- The class and the module.
void okDuringRun(vdialogItem* item, vevent* event) {
  auto* c = static_cast<vfilechsr*>(vconfirmOfItem(item));
  if (!c) return;
  if (_vfilechsrHandleSelection(c, event) && c->savedNotify) c->savedNotify(item, event);
}

void freeModule() {
  ModuleState* st = state();
  _vfilechsrFreeCommands(st->cls, st->entryCls);
  for (vstr*& t : st->tags)
    if (t) vstrDestroy(t), t = nullptr;
  for (vimage*& i : st->icons)
    if (i) vinstanceDestroy(i), i = nullptr;
}

vimage* loadIcon(vresource dict, Id name) {
  vresource r = 0;
  if (!dict || !vresourceTestGet(dict, N(name), &r)) return nullptr;
  vimage* image = nullptr;
  vexTry([&] { image = vimageLoad(r); });
  return image;
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  _vfilechsrInternNames();
  st->dict = _vchsrDictionary(N(Id::Filechsr));

  // The classes the template names.
  vmenubarGetDefaultClass();
  vmenuGetDefaultClass();
  vmenuGetDefaultItemClass();
  vmenuGetDefaultToggleItemClass();
  vmenuGetDefaultSeparatorItemClass();
  vbuttonGetDefaultClass();
  vcontrolOptionMenuGetDefaultClass();
  vcontrolToggleGetDefaultClass();
  auto* e = vclassSpawnOf<vtextitemClassRec>(vtextitemGetDefaultClass());
  vclassSetName(e, vscribeLiteral("vfilechsrPathEntry"));
  st->entryCls = e;
  vfilechsrGetListViewClass();
  vfilechsrGetListModelClass();

  auto* c = vclassSpawnOf<vfilechsrClassRec>(super());
  c->instanceSize = sizeof(vfilechsr);
  c->init = init;
  c->destroy = destroy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->open = open;
  c->close = close;
  static_cast<vwindowClassRec*>(c)->setTitle = setWindowTitle;
  c->setParent = setParent;
  c->arrange = arrange;
  c->getNaturalSize = naturalSize;
  c->acceptEntry = acceptEntry;
  c->setDirectory = setDirectory;
  c->shift = shift;
  c->addViewBy = addViewBy;
  c->removeViewBy = removeViewBy;
  _vfilechsrInstallCommands(c, e);
  vclassSetName(c, vscribeLiteral("vfilechsr"));
  st->cls = c;

  if (st->dict) {
    for (int i = 0; i < 2; ++i) st->tags[i] = vstrClone(listText(Id::Tags, i).c_str());
    vresource icons = st->dict, color = 0;
    if (!vwindowIsMonochrome() && vresourceTestGet(st->dict, N("Color"), &color)) icons = color;
    const Id names[4] = {Id::File, Id::Directory, Id::FileLink, Id::DirectoryLink};
    for (int i = 0; i < 4; ++i) st->icons[i] = loadIcon(icons, names[i]);
  }
  vmoduleAddContextExitProc(freeModule);
  return st;
}

}  // namespace

vfilechsrClassRec* vfilechsrGetDefaultClass() { return state()->cls; }
vfilechsrNativeSettings* _vfilechsrNativeSettings(vfilechsr* c) { return native(c); }
vfilechsr* vfilechsrCreate() { return asF(vinstanceCreate(vfilechsrGetDefaultClass())); }
vresource _vfilechsrDictionary() { return state()->dict; }
vimage* _vfilechsrIcon(int which) { return which >= 0 && which < 4 ? state()->icons[which] : nullptr; }

std::string _vfilechsrListText(vname list, int index, bool* present) {
  vresource r = vfilechsrGetResource(list);
  if (present) *present = r != 0;
  if (!r || index < 0 || index >= vresourceCount(r)) return {};
  std::string out;
  vexTry([&] {
    char* s = vscribeCreateString(vresourceGetAtString(r, index));
    out = s;
    vscribeFreeString(s);
  });
  return out;
}

std::string _vfilechsrFillIn(std::string templ, const std::string& value) {
  const vstr* mark = state()->tags[1];
  if (!mark || !*mark) return templ;
  std::size_t at = templ.find(mark);
  if (at != std::string::npos) templ.replace(at, std::strlen(mark), value);
  return templ;
}

vresource vfilechsrGetResource(vname tag) {
  vresource dict = _vfilechsrDictionary(), r = 0;
  if (!dict || !vresourceTestGet(dict, tag, &r)) return 0;
  return vresourceGetType(dict, tag) == vresARRAY ? r : 0;
}

void vfilechsrSetKind(vfilechsr* c, int kind) {
  if (c->kind == kind) return;
  c->kind = std::uint8_t(kind);
  setLabels(c);
  vfilechsrSetSelectionMode(c, c->selectionMode);
}

void vfilechsrSetSelectionMode(vfilechsr* c, int mode) {
  c->selectionMode = std::uint8_t(mode);
  _vfilechsrApplySelectionMode(c);
}

void vfilechsrSetOptions(vfilechsr* c, std::uint32_t options) {
  std::uint32_t was = c->options;
  bool refill = false;
  if ((was ^ options) & vfilechsrREAD_ONLY_BOX) {
    if (options & vfilechsrREAD_ONLY_BOX) {
      if (c->readOnly) {
        vcontrolSetValue(static_cast<vcontrol*>(c->readOnly), (options & vfilechsrREAD_ONLY_TICKED) ? 1 : 0);
        vdialogShowItem(c->readOnly);
      }
    } else if (c->readOnly) {
      vdialogHideItem(c->readOnly);
    }
  }
  if ((was ^ options) & vfilechsrNO_HIDDEN) refill = true;
  c->confirmOverwrite = (options & vfilechsrCONFIRM_OVERWRITE) ? 1 : 0;
  c->options = options;
  if ((was ^ options) & vfilechsrDIRECTORIES) {
    refill = true;
    if (!(options & vfilechsrDIRECTORIES)) vconfirmSetOwnTitles(c, 0);
    setLabels(c);
  }
  if (!refill) return;
  for (vfilechsrDirectory* d = c->chain; d; d = d->next) _vfilechsrReleaseEntries(d);
  if (vwindowIsOpen(c))
    _vfilechsrFillColumns(c);
  else
    c->state |= vfilechsrREFILL;
}

void vfilechsrSetApply(vfilechsr* c, vfilechsrApplyFunc apply) {
  if (!c) _vexGenerate(&vexArgNullClass, vexSetMessage, "setApply: NULL chooser", vexEnd);
  c->apply = apply;
  bool any = _vfilechsrLastSelectedColumn(c) >= 0;
  if (!any && c->pathEntry) {
    char* text = vtextitemGetString(c->pathEntry);
    any = text && *text;
    if (text) vmemFree(text);
  }
  vconfirmSetApply(c, any ? _vfilechsrHandleSelection : nullptr);
}

void vfilechsrPlace(vfilechsr* c, vwindow* base, int horizontal, int vertical) {
  if (!base) {
    vfilechsrNativeSettings* n = native(c);
    n->x = n->y = -1;
    n->flags &= ~vfilechsrNATIVE_POSITION;
    vdialogPlace(c, vwindowGetRoot(), horizontal, vertical);
    if (horizontal != 6 || vertical != 6) recordPosition(c);
    return;
  }
  if (vclassIsSubclass(base->cls, vdialogGetDefaultClass()))
    vdialogPlaceRelative(c, static_cast<vdialog*>(base), horizontal, vertical);
  else
    vdialogPlace(c, base, horizontal, vertical);
  recordPosition(c);
}

void vfilechsrSetPrompt(vfilechsr* c, const char* prompt) {
  if (vdialogItem* item = vdialogFindItem(c, N(Id::Prompt))) vdialogSetItemTitle(item, vscribeCString(prompt));
}

// Whether process and open would hand the dialog to the system's.
int _vfilechsrWantsNative(vfilechsr* c) {
  int look = lookId();
  if (look != vlafWINDOWS && look != vlafWIN95) return 0;
  if (c->state & vfilechsrNATIVE_FORCED) return 1;
  return (c->state & vfilechsrNATIVE_ALLOWED) && vclassRec<vclass>(c) == reinterpret_cast<vclass*>(state()->cls) &&
                 !(c->options & vfilechsrDIRECTORIES)
             ? 1
             : 0;
}

vname vfilechsrProcess(vfilechsr* c) {
  if (vwindowIsOpen(c))
    _vexGenerate(&vexModuleStateClass, vexSetMessage, "process: file chooser is already open!", vexEnd);
  if (c->state & vfilechsrPROCESSING)
    _vexGenerate(&vexModuleStateClass, vexSetMessage, "process: file chooser is already processing!", vexEnd);
  if (_vfilechsrWantsNative(c)) {
    c->state |= vfilechsrPROCESSING;
    c->result = vnameInternLiteral("Cancel");
    vexGuard([&] { c->result = _vfilechsrRunNative(c); },
             [&](vexHandler&) {
               c->state &= ~vfilechsrPROCESSING;
               _vexGenerate(nullptr, vexEnd);
             });
    c->state &= ~vfilechsrPROCESSING;
    return c->result;
  }
  bool hadApply = lookId() != vlafOPEN_LOOK && vconfirmHasApply(c);
  if (hadApply) vconfirmShowApply(c, 0);
  c->state |= vfilechsrPROCESSING;
  vname answer = nullptr;
  vexGuard(
      [&] {
        vconfirmProcessStart(c);
        answer = vconfirmProcessGet(c);
        vconfirmProcessStop(c);
      },
      [&](vexHandler&) {
        c->state &= ~vfilechsrPROCESSING;
        if (hadApply) vconfirmShowApply(c, 1);
        _vexGenerate(nullptr, vexEnd);
      });
  c->state &= ~vfilechsrPROCESSING;
  if (hadApply) vconfirmShowApply(c, 1);
  c->result = answer;
  return answer;
}

void _vfilechsrBeginSelection(vfilechsr* c) {
  vdialogItem* ok = vconfirmFindButton(c, vconfirmStandardTag(vconfirmOK));
  if (!ok) ok = vconfirmFindButton(c, vconfirmStandardTag(vconfirmAPPLY));
  if (!ok || ok->notifyFunc == okDuringRun) return;
  c->savedNotify = ok->notifyFunc;
  ok->notifyFunc = okDuringRun;
}

void _vfilechsrEndSelection(vfilechsr* c) {
  vdialogItem* ok = vconfirmFindButton(c, vconfirmStandardTag(vconfirmOK));
  if (!ok) ok = vconfirmFindButton(c, vconfirmStandardTag(vconfirmAPPLY));
  if (ok && ok->notifyFunc == okDuringRun) ok->notifyFunc = c->savedNotify;
  c->savedNotify = nullptr;
}
