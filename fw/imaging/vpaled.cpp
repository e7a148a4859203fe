// The palette editor's class: loading its dialog, the buttons and menu
// items, undo by the previous colours, the palette clipboard and picking an
// entry's colour with the colour chooser.
#include "fw/imaging/vpaled.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vpaled_internal.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

using namespace paled;

namespace paled {

void** stateSlot = nullptr;

void freeModule() { state()->~ModuleState(); }

// Exit procedures run last first: one registered when its object is made
// runs before those of the modules the making started.
void atExit(bool& registered, void (*drop)()) {
  if (!registered) vmoduleAddContextExitProc(drop);
  registered = true;
}
void keepClipboard(vcolorList* list) {
  ModuleState* st = state();
  if (st->clipboard) vcolorListDestroy(st->clipboard);
  st->clipboard = list;
  atExit(st->clipboardExit, [] {
    if (vcolorList*& c = state()->clipboard) vcolorListDestroy(c), c = nullptr;
  });
}
// The dialogs go with the last editor: using them starts modules whose
// exit procedures would run before one of ours.
void dropSharedDialogs() {
  ModuleState* st = state();
  if (st->nameConfirm) {
    if (vwindowIsOpen(st->nameConfirm)) vwindowClose(st->nameConfirm);
    vinstanceDestroy(st->nameConfirm);
  }
  if (st->chooser) {
    if (vwindowIsOpen(st->chooser)) vwindowClose(st->chooser);
    vinstanceDestroy(st->chooser);
  }
  st->nameConfirm = nullptr;
  st->chooser = nullptr;
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = new (vmoduleBindSlot(stateSlot, sizeof(ModuleState))) ModuleState;
  vmoduleAddContextExitProc(freeModule);
  return st;
}

vresource dictionary() {
  vresource d = 0;
  return vapplicationFindNamedResource(L("vimageedtr"), &d) ? d : 0;
}

}  // namespace paled

namespace {

vdialogClassRec* super() { return vdialogGetDefaultClass(); }
vpaled* asP(vinstance* o) { return static_cast<vpaled*>(o); }
std::int32_t count(const vpaled* p) { return p->working ? std::int32_t(p->working->count) : 0; }

void saveForUndo(vpaled* p) { vcolorListCopy(p->working, p->previous); }
void selectOnly(vpaled* p, int i) { p->anchor = p->current = p->first = p->last = i; }

void setItemText(vdialogItem* item, const std::string& text) {
  if (item) vdialogSetItemTitle(item, vscribeCString(text.c_str()));
}
void enable(vdialogItem* item, bool on) {
  if (!item || vdialogItemIsEnabled(item) == on) return;
  if (on) vdialogEnableItem(item);
  else vdialogDisableItem(item);
}

// ---- What the buttons and menu items do.
void doNew(vpaled* p) {
  if (std::uint32_t(count(p)) >= vpaledMAX_COLORS) return;
  saveForUndo(p);
  vcolorListSetCount(p->working, p->working->count + 1);
  vcolorSetSpecRGB(&p->working->entries[p->working->count - 1], 0, 0, 0);
  vcolorListChanged(p->working);
  p->paledFlags |= vpaledGROWN;
  selectOnly(p, count(p) - 1);
}
// As the button's state says: at least two entries remain (a cut then
// only copies).
void doDelete(vpaled* p) {
  if (count(p) - (p->last - p->first + 1) < 2) return;
  saveForUndo(p);
  vpaledOps::remove(p->working, p->first, p->last);
  int n = count(p);
  if (p->first >= n || p->last >= n) p->first = p->last = std::max(n - 1, 0);
  p->anchor = p->first, p->current = p->last;
}
void doWarm(vpaled* p) { saveForUndo(p), vpaledOps::warm(p->working, p->first, p->last); }
void doCool(vpaled* p) { saveForUndo(p), vpaledOps::cool(p->working, p->first, p->last); }
void doLight(vpaled* p) { saveForUndo(p), vpaledOps::lighten(p->working, p->first, p->last, 0.05); }
void doDark(vpaled* p) { saveForUndo(p), vpaledOps::lighten(p->working, p->first, p->last, -0.05); }
void doContrast(vpaled* p) { saveForUndo(p), vpaledOps::complement(p->working, p->first, p->last); }
void doRamp(vpaled* p) { saveForUndo(p), vpaledOps::ramp(p->working, p->first, p->last); }
void doBlend(vpaled* p) { saveForUndo(p), vpaledOps::blend(p->working, p->first, p->last); }
void doRevert(vpaled* p) {
  saveForUndo(p);
  if (p->start) vcolorListCopy(p->start, p->working);
  selectOnly(p, 0);
}
void doUndo(vpaled* p) {
  vcolorList* t = p->working;
  p->working = p->previous;
  p->previous = t;
  selectOnly(p, 0);
}
void copyRange(vpaled* p) { keepClipboard(vpaledOps::range(p->working, p->first, p->last)); }
void doCopy(vpaled* p) { copyRange(p); }
void doCut(vpaled* p) {
  copyRange(p);
  doDelete(p);
}
void doPaste(vpaled* p) {
  vcolorList* clip = state()->clipboard;
  if (!clip || count(p) + clip->count > vpaledMAX_COLORS) return;
  saveForUndo(p);
  vpaledOps::insertAfter(p->working, p->first, clip);
}
void doOk(vpaled* p) {
  if (p->ok) p->ok(p, p->working);
  vwindowClose(p);
}
void doCancel(vpaled* p) { vwindowClose(p); }
void doRemap(vpaled* p) {
  auto* toggle = static_cast<vcontrol*>(p->remapChk);
  if (toggle && toggle->value) p->paledFlags |= vpaledREMAP;
  else p->paledFlags &= ~vpaledREMAP;
}

void pickApplied(vcolorchsr*, vcolor* color) {
  ModuleState* st = state();
  vpaled* p = st->pickEditor;
  if (!p || st->pickIndex >= count(p)) return;
  unsigned r, g, b;
  vcolorGetSpecRGB(&color->desc, &r, &g, &b);
  vcolorSetSpecRGB(&p->working->entries[st->pickIndex], r, g, b);
  vcolorListChanged(p->working);
  if (p->grid && (p->grid->flags & vdialogItemOPEN)) vdialogInvalItem(p->grid, 0);
}
void doPick(vpaled* p) {
  if (p->first != p->last || p->first >= count(p)) return;
  ModuleState* st = state();
  if (!st->chooser && !p->chooser) st->chooser = vcolorchsrCreate();
  if (!p->chooser) p->chooser = st->chooser;
  vcolorSpec spec;
  vcolorCopyInitSpec(&p->working->entries[p->first], &spec);
  vcolorSetSpecRGBDelta(&spec, 511, 511, 511);
  vcolorSetSpecMaxDotDither(&spec, 64);
  vcolor* c = vcolorInternSpec(&spec);
  vcolorDestroySpec(&spec);
  vcolorchsrSetColor(p->chooser, c);
  vcolorRelease(c);
  vcolorchsrSetApply(p->chooser, pickApplied);
  st->pickEditor = p;
  st->pickIndex = p->first;
  vwindowOpen(p->chooser);
}

struct Action {
  const char* tag;
  void (*run)(vpaled* p);
  bool changes;  // the grid, count and buttons follow
};
const Action kActions[] = {
    {"NewBtn", doNew, true},        {"DeleteBtn", doDelete, true},     {"PickBtn", doPick, false},
    {"WarmBtn", doWarm, true},      {"CoolBtn", doCool, true},         {"LightBtn", doLight, true},
    {"DarkBtn", doDark, true},      {"ContrastBtn", doContrast, true}, {"RampBtn", doRamp, true},
    {"BlendBtn", doBlend, true},    {"OKBtn", doOk, false},            {"CancelBtn", doCancel, false},
    {"RemapChk", doRemap, false},   {"RevertPalette", doRevert, true}, {"SavePalette", _vpaledSave, false},
    {"Undo", doUndo, true},         {"Cut", doCut, true},              {"Copy", doCopy, false},
    {"Paste", doPaste, true},
};

void buttonNotify(vdialogItem* item, vevent*) {
  auto* p = reinterpret_cast<vpaled*>(item->data);
  if (p && item->tag) vpaledDo(p, item->tag);
}
void menuNotify(vmenuItem* item, vevent*) {
  auto* p = reinterpret_cast<vpaled*>(item->data);
  if (p && item->tag) vpaledDo(p, item->tag);
}

// ---- Building the dialog.
// Each is then used as class used: another is a damaged template.
vdialogItem* find(vpaled* p, const char* tag, const vclass* used = vdialogItemGetDefaultClass()) {
  return _vdialogFindItemOfClass(p, L(tag), used);
}

vdialogItem* replaceGrid(vpaled* p) {
  vdialogItemList* list = p->items;
  vdialogItemClassRec* cls = _vpaledGridClass();
  // The grid copies its superclass's item.
  _vobjectListFindByTagOfClass(list, L("UserItem"), cls->superclass);
  int index = vobjectListIndexOfTag(list, L("UserItem"));
  if (index < 0) return nullptr;
  vdialogItem* loaded = vdialogItemListAt(list, index);
  auto* grid = static_cast<vdialogItem*>(vclassAllocInstance(cls));
  grid->cls = cls;
  cls->copyInit(loaded, grid);
  vobjectListSetAt(list, index, grid);
  vinstanceDestroy(loaded);
  return grid;
}

void wireMenus(vpaled* p) {
  auto* bar = static_cast<vmenubar*>(p->menubar);
  if (!bar) return;
  for (int i = 0; i < vmenubarCount(bar); ++i) {
    vmenu* menu = vmenubarAt(bar, i);
    if (menu->tag == L("PalettesMenu")) p->palettesMenu = menu;
    for (int j = 0; j < vmenuItemListCount(&menu->items); ++j) {
      vmenuItem* item = vmenuItemListAt(&menu->items, j);
      item->data = reinterpret_cast<std::intptr_t>(p);
      if (item->tag && item->tag != L("DeletePalette")) item->notifyFunc = menuNotify;
    }
  }
  _vpaledInstallPalettesMenu(p);
}

int loading = 0;
struct Loading {
  Loading() { ++loading; }
  ~Loading() { --loading; }
};

void clearOwnFields(vpaled* p) {
  auto* begin = reinterpret_cast<char*>(&p->start);
  std::memset(begin, 0, std::size_t(reinterpret_cast<char*>(p + 1) - begin));
}

void init(vinstance* self) {
  vpaled* p = asP(self);
  clearOwnFields(p);
  if (loading) return super()->init(self);
  vresource dict = dictionary(), dialog = 0;
  if (!dict || !vresourceTestGet(dict, L("PaledDialog"), &dialog))
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vpaled: no \"PaledDialog\" in \"vimageedtr\"", vexEnd);
  {
    Loading guard;
    super()->init(self);
    super()->loadInit(p, dialog);
  }
  ++state()->editors;
  p->working = vcolorListCreate();
  p->previous = vcolorListCreate();
  p->paledFlags = vpaledREMAP;
  p->grid = replaceGrid(p);
  if (p->grid) p->grid->data = reinterpret_cast<std::intptr_t>(p);
  p->sizeValue = find(p, "SizeValue");
  p->sizeStat = find(p, "SizeStat");
  p->menubar = find(p, "Menubar", vmenubarGetDefaultClass());
  vdialogItem** buttons[] = {&p->newBtn,   &p->deleteBtn, &p->pickBtn, &p->rampBtn,  &p->blendBtn,
                             &p->contrastBtn, &p->lightBtn, &p->darkBtn, &p->warmBtn, &p->coolBtn,
                             &p->okBtn,    &p->cancelBtn, &p->remapChk};
  const char* tags[] = {"NewBtn",  "DeleteBtn", "PickBtn", "RampBtn", "BlendBtn",  "ContrastBtn", "LightBtn",
                        "DarkBtn", "WarmBtn",   "CoolBtn", "OKBtn",   "CancelBtn", "RemapChk"};
  for (std::size_t i = 0; i < std::size(tags); ++i) {
    const bool toggle = buttons[i] == &p->remapChk;
    vdialogItem* b = *buttons[i] =
        find(p, tags[i], toggle ? vcontrolGetDefaultClass() : vdialogItemGetDefaultClass());
    if (!b) continue;
    vdialogSetItemNotify(b, buttonNotify);
    vdialogSetItemData(b, reinterpret_cast<std::intptr_t>(p));
  }
  if (p->remapChk) vcontrolSetValue(static_cast<vcontrol*>(p->remapChk), 1);
  wireMenus(p);
  _vpaledChanged(p);
  // The template's size is the dialog's.
  p->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
}

void destroy(vinstance* self) {
  vpaled* p = asP(self);
  ModuleState* st = state();
  if (st->pickEditor == p) st->pickEditor = nullptr;
  if (st->nameConfirm && st->nameConfirm->data == p) st->nameConfirm->data = nullptr;
  if (p->chooser && (p->paledFlags & vpaledOWN_CHOOSER)) vcolorchsrSetApply(p->chooser, nullptr);
  if (p->working) vcolorListDestroy(p->working);
  if (p->previous) vcolorListDestroy(p->previous);
  if (p->swatches) vimageDestroy(p->swatches);
  p->working = p->previous = nullptr;
  p->swatches = nullptr;
  super()->destroy(self);
  if (st->editors > 0 && --st->editors == 0) dropSharedDialogs();
}

void close(vwindow* w) {
  super()->close(w);
  ModuleState* st = state();
  if (st->pickEditor == asP(w)) st->pickEditor = nullptr;
}

int buttonDown(vwindow* w, vevent* e) {
  vpaled* p = asP(w);
  if (p->menubar) {
    vrect r = p->menubar->rect;
    if (p->menubar->owner) vdialogItemListTransformRect(p->menubar->owner, &r);
    if (vrectContainsPoint(&r, veventGetX(e), veventGetY(e))) vpaledRebuildMenus(p);
  }
  return super()->handleButtonDown(w, e);
}

}  // namespace

vpaledClassRec* vpaledGetDefaultClass() {
  ModuleState* st = state();
  if (st->cls) return st->cls;
  // The classes the dialog's resources name.
  vmenubarGetDefaultClass();
  vmenuGetDefaultClass();
  vmenuGetDefaultItemClass();
  vmenuGetDefaultSeparatorItemClass();
  vbuttonGetDefaultClass();
  vcontrolToggleGetDefaultClass();
  vdialogLabelItemGetDefaultClass();
  vtextitemGetDefaultClass();
  vconfirmGetDefaultClass();
  auto* c = vclassSpawnOf<vpaledClassRec>(super());
  vclassSetName(c, vscribeLiteral("vpaled"));
  vclassSetInstanceSize(c, sizeof(vpaled));
  c->init = init;
  c->destroy = destroy;
  c->close = close;
  c->handleButtonDown = buttonDown;
  return st->cls = c;
}

vdialogItemClassRec* _vpaledGridClass() {
  ModuleState* st = state();
  if (!st->grid) st->grid = _vpaledBuildGridClass();
  return st->grid;
}

vpaled* vpaledCreate() { return asP(vinstanceCreate(vpaledGetDefaultClass())); }

void vpaledSetPalette(vpaled* p, vcolorList* palette) {
  p->start = palette;
  if (palette) {
    vcolorListCopy(palette, p->working);
    vcolorListCopy(palette, p->previous);
  } else {
    vcolorListSetCount(p->working, 0);
    vcolorListSetCount(p->previous, 0);
  }
  selectOnly(p, 0);
  _vpaledChanged(p);
}

void vpaledSetOkCallback(vpaled* p, vpaledOkFunc ok) { p->ok = ok; }

void vpaledSetColorChooser(vpaled* p, vcolorchsr* chooser) {
  p->chooser = chooser;
  p->paledFlags |= vpaledOWN_CHOOSER;
}

void vpaledDo(vpaled* p, const char* tag) {
  for (const Action& a : kActions) {
    if (std::strcmp(a.tag, tag) != 0) continue;
    a.run(p);
    if (a.changes) _vpaledChanged(p);
    return;
  }
}

void vpaledSelect(vpaled* p, int first, int last) {
  int n = std::max(count(p) - 1, 0);
  p->anchor = std::clamp(first, 0, n);
  p->current = std::clamp(last, 0, n);
  p->first = std::min(p->anchor, p->current);
  p->last = std::max(p->anchor, p->current);
  if (p->grid && (p->grid->flags & vdialogItemOPEN)) vdialogInvalItem(p->grid, 0);
  _vpaledUpdateButtons(p);
}

vcolorList* vpaledGetClipboard() { return state()->clipboard; }

void _vpaledUpdateButtons(vpaled* p) {
  int n = count(p), span = p->last - p->first;
  enable(p->pickBtn, p->first == p->last);
  enable(p->rampBtn, span >= 2);
  enable(p->blendBtn, span >= 2);
  enable(p->deleteBtn, n - (span + 1) >= 2);
  enable(p->newBtn, std::uint32_t(n) < vpaledMAX_COLORS);
}

void _vpaledChanged(vpaled* p) {
  if (p->grid && (p->grid->flags & vdialogItemOPEN)) vdialogInvalItem(p->grid, 0);
  setItemText(p->sizeValue, std::to_string(count(p)));
  _vpaledUpdateButtons(p);
}

void _vpaledLoadColors(vpaled* p, vresource palette) {
  saveForUndo(p);
  vcolorList loaded;
  vcolorListLoadInit(&loaded, palette);
  if (loaded.count > vpaledMAX_COLORS) vcolorListSetCount(&loaded, vpaledMAX_COLORS);
  vcolorListCopy(&loaded, p->working);
  _vcolorListFinish(&loaded);
  selectOnly(p, 0);
  _vpaledChanged(p);
}
