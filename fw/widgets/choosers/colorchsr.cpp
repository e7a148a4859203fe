// The colour chooser's class: its module data (resource dictionary, arrow
// images, model and plane labels, the sixteen user colours), loading from
// "vcolorchsrDialog" with the private items put in place of the loaded
// ones, the panels at one place, accept and reset, the commands and their
// queries, storing without the private label, and the public operations.
#include "fw/widgets/choosers/colorchsr.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "fw/core/class.h"
#include "fw/core/command.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/choosers/chsrtemplate.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/choosers/colorchsr_scale.h"
#include "fw/widgets/choosers/nativechsr.h"
#include "fw/widgets/controls/optionmenu.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

namespace {


struct ModuleState {
  vcolorchsrClassRec* cls = nullptr;
  vresource dict = 0;
  vimage* arrows[2] = {};
  bool labelsLoaded = false, planeLoaded = false;
  std::string modelLabels[12];
  std::string planeLabels[6];
  vcolorSpec user[vcolorchsrUSER_COLORS] = {};
};
void** stateSlot = nullptr;
ModuleState* state();

vconfirmClassRec* super() { return vconfirmGetDefaultClass(); }
vcolorchsr* asC(vinstance* o) { return static_cast<vcolorchsr*>(o); }

std::string listText(const char* list, int index) {
  vresource d = state()->dict, r = 0;
  if (!d || !vresourceTestGet(d, N(list), &r) || index < 0 || index >= vresourceCount(r)) return {};
  std::string out;
  vexTry([&] {
    char* s = vscribeCreateString(vresourceGetAtString(r, index));
    out = s;
    vscribeFreeString(s);
  });
  return out;
}

// ---- User colours in the preferences: "vcolorchsr" / "userColors".
void defaultUserColor(vcolorSpec* s) {
  vcolorSetSpecModel(s, &vcolorRGBModel);
  vcolorSetSpecRGB(s, 65535, 65535, 65535);
  vcolorSetSpecRGBDelta(s, 511, 511, 511);
  vcolorSetSpecMaxDotDither(s, 64);
}

vresource userColorsArray(bool make) {
  vresource d = _vapplicationPreferenceDict(vapplicationGetResources(vapplicationGetCurrent()), N("vcolorchsr"), make);
  if (!d || make) return d;
  vresource a = 0;
  return vresourceTestGet(d, N("userColors"), &a) ? a : 0;
}

// A shorter array gives what it holds; the rest stay white.
void loadUserColors(ModuleState* st) {
  for (vcolorSpec& s : st->user) {
    vcolorInitSpec(&s);
    defaultUserColor(&s);
  }
  vresource a = 0;
  vexTry([&] { a = userColorsArray(false); });
  if (!a) return;
  int n = 0;
  vexTry([&] { n = std::min(vresourceCount(a), vcolorchsrUSER_COLORS); });
  for (int i = 0; i < n; ++i) {
    vcolorSpec loaded;
    vcolorInitSpec(&loaded);
    if (vexTry([&] { vcolorLoadInitSpec(&loaded, vresourceGetAt(a, i)); })) vcolorCopySpec(&loaded, &st->user[i]);
    vcolorDestroySpec(&loaded);
  }
}

void saveUserColors() {
  vexTry([&] {
    vresource d = userColorsArray(true);
    if (!d) return;
    vresource a = vresourceCreateArray(d, N("userColors"), vresDICTIONARY, vcolorchsrUSER_COLORS);
    // Each element its own dictionary: in a ".vr" store a plain element holds none.
    for (int i = 0; i < vcolorchsrUSER_COLORS; ++i)
      vcolorStoreSpec(&state()->user[i], vresourceCreateAt(a, i, vresDICTIONARY));
  });
}

// ---- The private items put in place of the loaded ones.
vdialogItem* copyAs(vdialogItem* loaded, vdialogItemClassRec* cls) {
  auto* copy = static_cast<vdialogItem*>(vclassAllocInstance(cls));
  copy->cls = cls;
  cls->copyInit(loaded, copy);
  return copy;
}

// A private class copies its superclass's item: a loaded item of another
// class (or, without one, not of class used) is a damaged template.
vdialogItem* replace(vcolorchsr* c, vdialogItemList* list, vname tag, vdialogItemClassRec* cls,
                     const vclass* used = vdialogItemGetDefaultClass()) {
  _vobjectListFindByTagOfClass(list, tag, cls ? cls->superclass : used);
  int index = vobjectListIndexOfTag(list, tag);
  if (index < 0) return nullptr;
  auto* loaded = vdialogItemListAt(list, index);
  vdialogItem* item = loaded;
  if (cls) {
    item = copyAs(loaded, cls);
    vobjectListSetAt(list, index, item);
    vinstanceDestroy(loaded);
  }
  vdialogSetItemData(item, reinterpret_cast<std::intptr_t>(c));
  return item;
}
vdialogItem* find(vdialogItemList* list, const char* tag, const vclass* used = vdialogItemGetDefaultClass()) {
  return static_cast<vdialogItem*>(_vobjectListFindByTagOfClass(list, N(tag), used));
}

// The panel buttons issue the panel commands.
void panelButton(vdialogItem* item, vevent*) {
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return;
  int selector = item->tag == N("ShowWheel") ? 9 : item->tag == N("ShowTolerance") ? 10 : 11;
  vobjectAttributedOf(c)->issueSelector(c, selector, nullptr);
}

void modelChosen(vdialogItem* item, vevent*) {
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return;
  c->model = static_cast<vcontrol*>(item)->value + 1;
  _vcolorchsrRefresh(c);
}

// Each panel container is copied into the panel class; it then lies at
// the panel place among the dialog's own items.
vdialogItem* loadPanel(vresource dict, const char* name) {
  vresource r = 0;
  if (!vresourceTestGet(dict, N(name), &r)) return nullptr;
  auto* loaded = static_cast<vdialogItem*>(_vobjectLoadOfClass(r, _vcolorchsrPanelClass()->superclass));
  vdialogItem* panel = copyAs(loaded, _vcolorchsrPanelClass());
  vinstanceDestroy(loaded);
  return panel;
}
void addPanel(vcolorchsr* c, vdialogItem* panel) {
  if (!panel) return;
  vdialogItemListAppend(c->items, panel);
  vdialogSetItemData(panel, reinterpret_cast<std::intptr_t>(c));
  vdialogHideItem(panel);
  vdialogDisableItem(panel);
}

// ---- Accept and reset.
void commit(vdialogItem* focus) {
  if (focus && vclassIsSubclass(focus->cls, vtextitemGetDefaultClass()))
    vtextviewClassOf(static_cast<vtextview*>(focus))->notifyClient(static_cast<vtextview*>(focus), nullptr, 3);
}
int accept(vconfirm* x, vevent*) {
  vcolorchsr* c = asC(x);
  vdialogItem* focus = vdialogGetFocusItem(c);
  if (!focus || !vclassIsSubclass(focus->cls, vtextitemGetDefaultClass())) focus = c->leftField;
  commit(focus);
  c->leftField = nullptr;
  if (c->tolerancePanel && c->shownPanel == c->tolerancePanel)
    commit(vdialogItemListGetFocusItem(static_cast<vcontainer*>(c->tolerancePanel)->items));
  vcolor* color = vcolorInternSpec(&c->working);
  if (c->apply) c->apply(c, color);
  vcolorRelease(color);
  vcolorCopySpec(&c->working, &c->accepted);
  _vcolorchsrRedraw(c->swatch);
  return 1;
}
int reset(vconfirm* x, vevent*) {
  vcolorchsr* c = asC(x);
  vcolorCopySpec(&c->accepted, &c->working);
  _vcolorchsrRefresh(c);
  _vcolorchsrRedraw(c->swatch);
  return 1;
}

// ---- Modal runs: the buttons only end the run, so the chooser commits
// and applies (OK, Apply) or resets (Reset, Cancel) before they do; the
// system dialog, when it stands in, answers for the window.
vdialogItemNotifyFunc runNotify = nullptr;
void buttonDuringRun(vdialogItem* item, vevent* e) {
  if (auto* x = vconfirmOfItem(item)) {
    if (item->tag == N("Ok") || item->tag == N("Apply")) accept(x, e);
    else if (item->tag == N("Reset") || item->tag == N("Cancel")) reset(x, e);
  }
  if (runNotify) runNotify(item, e);
}
void processStart(vconfirm* x) {
  vcolorchsr* c = asC(x);
  if (_vcolorchsrWantsNative(c)) {
    c->answer = nullptr;
    _vcolorchsrRunNative(c);
    c->answer = c->nativeAnswer;
    return;
  }
  super()->processStart(x);
  vdialogItemList* l = c->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* b = vdialogItemListAt(l, i);
    if (b->notifyFunc != buttonDuringRun) runNotify = b->notifyFunc;
    b->notifyFunc = buttonDuringRun;
  }
}
vname processGet(vconfirm* x) { return x->process ? super()->processGet(x) : x->answer; }
void processStop(vconfirm* x) {
  if (x->process) super()->processStop(x);
}

// ---- Loading.
// The menu bar goes above the template's items at its natural height, the
// window growing by it; a stored chooser has it in place already.
void placeMenuBar(vcolorchsr* c, vdialogItem* bar) {
  if (!bar) return;
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(bar, &w, &h);
  int top = bar->rect.y < c->rect.height ? bar->rect.y : c->rect.height;
  vrect r{0, std::int16_t(top), c->rect.width, std::int16_t(h)};
  vdialogSetItemRect(bar, &r);
  if (top + h != c->rect.height) vwindowResize(c, c->rect.width, top + h);
}

// The menu entries show what the chooser's queries answer (titles, states,
// ticks); brought up to date after every change that moves an answer.
void refreshMenus(vcolorchsr* c) {
  vmenubarRefreshFromQueries(static_cast<vmenubar*>(vdialogFindItem(c, N("vcolorchsrMENU_BAR"))));
}

void initSpec(vcolorSpec* s) {
  vcolorInitSpec(s);
  vcolorSetSpecRGBDelta(s, 511, 511, 511);
  vcolorSetSpecMaxDotDither(s, 64);
}

void loadChooser(vcolorchsr* c, vresource dict, vresource dialog) {
  super()->loadInit(c, dialog);
  c->chooserFlags = 1;
  c->model = vcolorchsrHLS;
  c->reformImages = 1;
  c->sortOrder = vcolorchsrSORT_NAME;
  c->plane = vcolorchsrBG_PLANE;
  c->nativeAllowed = vchooserMSWUseNative("nonativecolorchooser");
  initSpec(&c->given);
  vcolorCopyInitSpec(&c->given, &c->accepted);
  vcolorCopyInitSpec(&c->given, &c->working);
  c->wheelColors = static_cast<vcolorSpec*>(vmemAllocClear(sizeof(vcolorSpec) * vcolorchsrWHEEL_COLORS));
  for (int i = 0; i < vcolorchsrWHEEL_COLORS; ++i) {
    vcolorSpec* s = &c->wheelColors[i];
    vcolorInitSpecInModel(s, &vcolorHLSModel);
    vcolorSetSpecHLSDelta(s, 511, 511, 511);
    vcolorSetSpecMaxDotDither(s, 64);
  }

  if (dict) {
    c->tolerancePanel = loadPanel(dict, "TolerancePanel");
    if (c->tolerancePanel) _vcolorchsrWireTolerance(c);
    c->wheelPanel = loadPanel(dict, "WheelPanel");
    if (c->wheelPanel)
      c->wheel = replace(c, static_cast<vcontainer*>(c->wheelPanel)->items, N("WheelUser"), _vcolorchsrWheelClass());
    c->namePanel = loadPanel(dict, "NamePanel");
    _vcolorchsrWireNames(c);
  }
  for (vdialogItem* p : {c->tolerancePanel, c->wheelPanel, c->namePanel}) addPanel(c, p);

  vconfirmShowApply(c, 1);
  vconfirmSetApply(c, accept);
  vconfirmSetReset(c, reset);

  vdialogItemList* items = c->items;
  c->swatch = replace(c, items, N("vcolorchsrCHOICE"), _vcolorchsrSwatchClass());
  c->panelPlace = replace(c, items, N("Container"), _vcolorchsrPlaceClass());
  if (c->panelPlace) vdialogHideItem(c->panelPlace);
  c->modelMenu = static_cast<vcontrol*>(replace(c, items, N("OptionMenu"), nullptr, vcontrolGetDefaultClass()));
  if (c->modelMenu) vdialogSetItemNotify(c->modelMenu, modelChosen);
  const char* const sliders[] = {"vcolorchsrUSER1", "vcolorchsrUSER2", "vcolorchsrUSER3"};
  const char* const labels[] = {"vcolorchsrLABEL1", "vcolorchsrLABEL2", "vcolorchsrLABEL3"};
  const char* const fields[] = {"vcolorchsrTEXT1", "vcolorchsrTEXT2", "vcolorchsrTEXT3"};
  const char* const names[] = {"vcolorchsrNAME1_STAT", "vcolorchsrNAME2_STAT", "vcolorchsrNAME3_STAT"};
  for (int i = 0; i < 3; ++i) {
    c->sliders[i] = static_cast<vcontrol*>(replace(c, items, N(sliders[i]), _vcolorchsrRampClass()));
    c->labels[i] = find(items, labels[i]);
  }
  c->savedColors = replace(c, items, N("SavedColors"), _vcolorchsrUserColorsClass());
  for (int i = 0; i < 3; ++i) {
    c->fields[i] = static_cast<vtextitem*>(replace(c, items, N(fields[i]), _vcolorchsrFieldClass()));
    c->modelLabels[i] = replace(c, items, N(names[i]), i == 0 ? _vcolorchsrLabelClass() : nullptr);
  }
  for (const char* tag : {"ShowWheel", "ShowTolerance", "ShowNames"})
    if (vdialogItem* b = replace(c, items, N(tag), nullptr)) vdialogSetItemNotify(b, panelButton);
  if (c->panelPlace) vdialogSetItemRect(c->panelPlace, &c->panelPlace->rect);
  placeMenuBar(c, find(items, "vcolorchsrMENU_BAR", vmenubarGetDefaultClass()));
  vcolorchsrSelectPanel(c, c->wheelPanel);
  // The template's size is the dialog's: its items keep their places.
  c->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  vwindowClassOf(c)->setMinSize(c, c->rect.width, c->rect.height);

  int side = 0;
  if (c->wheel) side = std::max(0, std::min<int>(c->wheel->rect.width, c->wheel->rect.height));
  c->wheelImage = vwindowCreateDisplayImage(std::max(side, 1), std::max(side, 1));
  c->planeImage = vimageCreateSized(std::max(side, 1), std::max(side, 1), 256);
  _vcolorchsrBuildPlanePixels(c);
  for (int i = 0; i < 3; ++i)
    if (c->sliders[i]) vdialogSetItemRect(c->sliders[i], &c->sliders[i]->rect);
  vcolorchsrSetModel(c, c->model);
}

// A chooser made by vinstanceCreate loads itself from the class's
// dictionary; the load's own plain init must not load again.
int loadingTemplate = 0;
struct PlainInit {
  PlainInit() { ++loadingTemplate; }
  ~PlainInit() { --loadingTemplate; }
};

void loadInit(vobject* self, vresource resource) {
  vcolorchsr* c = asC(self);
  vresource dialog = 0;
  // Given the class's dictionary, or (a stored chooser) the dialog itself.
  vresource dict = resource;
  if (!vresourceTestGet(resource, N("vcolorchsrDialog"), &dialog)) dialog = resource, dict = state()->dict;
  PlainInit plain;
  loadChooser(c, dict, dialog);
}

// Instances come from a pool: every field of the chooser starts cleared.
void clearOwnFields(vcolorchsr* c) {
  auto* begin = reinterpret_cast<char*>(&c->chooserFlags);
  std::memset(begin, 0, std::size_t(reinterpret_cast<char*>(c + 1) - begin));
}

void init(vinstance* self) {
  clearOwnFields(asC(self));
  if (loadingTemplate) return super()->init(self);
  ModuleState* st = state();
  if (!st->dict) _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vcolorchsr: no \"vcolorchsr\" resources", vexEnd);
  if (!st->arrows[0]) {
    for (int i = 0; i < 2; ++i) {
      vresource r = 0;
      if (vresourceTestGet(st->dict, N(i ? "BottomArrow" : "TopArrow"), &r)) st->arrows[i] = vimageLoad(r);
    }
  }
  PlainInit plain;
  super()->init(self);
  loadInit(static_cast<vobject*>(self), st->dict);
}

void destroy(vinstance* self) {
  vcolorchsr* c = asC(self);
  for (vimage*& i : c->rampImages)
    if (i) vimageDestroy(i), i = nullptr;
  if (c->wheelImage) vimageDestroy(c->wheelImage), c->wheelImage = nullptr;
  if (c->planeImage) vimageDestroy(c->planeImage), c->planeImage = nullptr;
  if (c->wheelColors) {
    for (int i = 0; i < vcolorchsrWHEEL_COLORS; ++i) vcolorDestroySpec(&c->wheelColors[i]);
    vmemFree(c->wheelColors);
    c->wheelColors = nullptr;
  }
  if (c->accepted.record) vcolorDestroySpec(&c->accepted), vcolorDestroySpec(&c->given), vcolorDestroySpec(&c->working);
  c->accepted.record = nullptr;
  for (vimage*& i : c->reserved)
    if (i) vimageDestroy(i), i = nullptr;
  if (c->nativeRecord) {
    if (c->nativeRecord->title) vstrDestroy(c->nativeRecord->title);
    vmemFree(c->nativeRecord);
    c->nativeRecord = nullptr;
  }
  super()->destroy(self);
}

// Stored dialogs name the framework's label, never the private one.
void store(vobject* self, vresource resource) {
  vcolorchsr* c = asC(self);
  vdialogItem* own = c->modelLabels[0];
  int index = own ? vobjectListIndexOf(c->items, own) : -1;
  if (index < 0) return super()->store(self, resource);
  vdialogItem* plain = copyAs(own, vdialogLabelItemGetDefaultClass());
  vobjectListSetAt(c->items, index, plain);
  vexTry([&] { super()->store(self, resource); });
  vobjectListSetAt(c->items, index, own);
  vinstanceDestroy(plain);
}

// ---- Commands.
enum : int {
  kWheelPanel = 9, kTolerancePanel, kNamePanel, kReformImages, kLargeDither, kSmallDither, kSolid, kPreciseLarge,
  kPreciseSmall, kPreciseSolid, kRGPlane, kRBPlane, kBGPlane, kSortName, kSortHue, kAddColor
};
const vcommandTableRow kCommands[] = {
    {"WheelPanel", kWheelPanel},     {"TolerancePanel", kTolerancePanel}, {"NamePanel", kNamePanel},
    {"ReformImages", kReformImages}, {"LargeDither", kLargeDither},       {"SmallDither", kSmallDither},
    {"Solid", kSolid},               {"PreciseLarge", kPreciseLarge},     {"PreciseSmall", kPreciseSmall},
    {"PreciseSolid", kPreciseSolid}, {"RGPlane", kRGPlane},               {"RBPlane", kRBPlane},
    {"BGPlane", kBGPlane},           {"SortName", kSortName},             {"SortHue", kSortHue},
    {"AddColor", kAddColor},
};

int issueSelector(vobject* self, int selector, vdict* context) {
  vcolorchsr* c = asC(self);
  switch (selector) {
    case kWheelPanel: vcolorchsrSelectPanel(c, c->wheelPanel); return 1;
    case kTolerancePanel:
      if (c->chooserFlags & 1) vcolorchsrSelectPanel(c, c->tolerancePanel);
      return 1;
    case kNamePanel: vcolorchsrSelectPanel(c, c->namePanel); return 1;
    case kReformImages: vcolorchsrSetReformImages(c, !c->reformImages); return 1;
    case kRGPlane:
    case kRBPlane:
    case kBGPlane: vcolorchsrSetPlane(c, selector); return 1;
    case kSortName:
    case kSortHue: vcolorchsrSetSortOrder(c, selector == kSortName ? 1 : 2); break;
    case kAddColor:
      vcolorchsrSetUserColor(c, vcolorchsrGetSelectedUserColor(c), &c->working);
      break;
    default:
      if (selector >= kLargeDither && selector <= kPreciseSolid) {
        _vcolorchsrPreset(c, selector);
        return 1;
      }
  }
  return super()->issueSelector(self, selector, context);
}

vname onOff(bool on) { return on ? vname_On : vname_Off; }
int querySelector(vobject* self, int selector, vdict* context) {
  vcolorchsr* c = asC(self);
  switch (selector) {
    case kWheelPanel: vdictStore(context, vname_Toggle, onOff(c->wheelPanel && c->shownPanel == c->wheelPanel)); break;
    case kTolerancePanel:
      vdictStore(context, vname_Toggle, onOff(c->tolerancePanel && c->shownPanel == c->tolerancePanel));
      break;
    case kNamePanel: vdictStore(context, vname_Toggle, onOff(c->namePanel && c->shownPanel == c->namePanel)); break;
    case kReformImages: vdictStore(context, vname_Toggle, onOff(c->reformImages != 0)); break;
    case kRGPlane:
    case kRBPlane:
    case kBGPlane: {
      bool planes = c->model == vcolorchsrRGB || c->model == vcolorchsrCMY;
      vdictStore(context, vname_State, planes ? vname_Enabled : vname_Disabled);
      vdictStore(context, vname_Toggle, onOff(planes && c->plane == selector));
      if (planes) {
        int label = selector - kRGPlane + (c->model == vcolorchsrCMY ? 3 : 0);
        vdictStore(context, vname_Title, vnameIntern(vscribeCString(_vcolorchsrPlaneLabel(label).c_str())));
      }
      break;
    }
    case kSortName:
    case kSortHue: {
      bool shown = c->namePanel && c->shownPanel == c->namePanel;
      vdictStore(context, vname_State, shown ? vname_Enabled : vname_Disabled);
      vdictStore(context, vname_Toggle, onOff(shown && c->sortOrder == (selector == kSortName ? 1 : 2)));
      break;
    }
    default: break;
  }
  return super()->querySelector(self, selector, context);
}

// ---- Window methods.
void open(vwindow* w) {
  if (_vcolorchsrRunNative(asC(w))) return;
  super()->open(w);
}

vcolorchsrNative* native(vcolorchsr* c) {
  if (!c->nativeRecord) {
    c->nativeRecord = static_cast<vcolorchsrNative*>(vmemAllocClear(sizeof(vcolorchsrNative)));
    c->nativeRecord->x = c->nativeRecord->y = -1;
  }
  return c->nativeRecord;
}

void setTitle(vwindow* w, vscribe* title) {
  static_cast<vwindowClassRec*>(super())->setTitle(w, title);
  vcolorchsr* c = asC(w);
  vcolorchsrNative* n = native(c);
  if (n->title) vstrDestroy(n->title), n->title = nullptr;
  if (c->title && *c->title) {
    n->title = vstrClone(c->title);
    n->flags |= vcolorchsrNATIVE_TITLE;
  } else {
    n->flags &= ~vcolorchsrNATIVE_TITLE;
  }
}

void setParent(vwindow* w, vwindow* parent) {
  vcolorchsr* c = asC(w);
  if (!parent) {
    if (c->nativeRecord) c->nativeRecord->leader = nullptr, c->nativeRecord->flags &= ~vcolorchsrNATIVE_LEADER;
    return;
  }
  super()->setParent(w, parent);
  if (vclassIsSubclass(parent->cls, vdialogGetDefaultClass())) {
    native(c)->leader = parent;
    native(c)->flags |= vcolorchsrNATIVE_LEADER;
  }
}

// ---- The module.
void freeModule() {
  ModuleState* st = state();
  for (vimage*& i : st->arrows)
    if (i) vimageDestroy(i), i = nullptr;
  for (vcolorSpec& s : st->user)
    if (s.record) vcolorDestroySpec(&s);
  if (st->cls) {
    vinstanceDestroy(st->cls->space);
    vdictDestroy(st->cls->keyBindings);
  }
  _vcolorchsrFreeItemClasses();
  st->~ModuleState();
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = new (vmoduleBindSlot(stateSlot, sizeof(ModuleState))) ModuleState;
  st->dict = _vchsrDictionary(N("vcolorchsr"));
  loadUserColors(st);

  // The classes the template and the panels name.
  vdialogLabelItemGetDefaultClass();
  vcontainerGetDefaultClass();
  vcontrolOptionMenuGetDefaultClass();
  vcontrolToggleGetDefaultClass();
  vsliderGetDefaultClass();
  vtextitemGetDefaultClass();
  vlistviewGetDefaultClass();
  vmenubarGetDefaultClass();
  _vcolorchsrBuildItemClasses();

  auto* c = vclassSpawnOf<vcolorchsrClassRec>(super());
  c->instanceSize = sizeof(vcolorchsr);
  c->init = init;
  c->destroy = destroy;
  c->loadInit = loadInit;
  c->store = store;
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->open = open;
  static_cast<vwindowClassRec*>(c)->setTitle = setTitle;
  c->setParent = setParent;
  c->processStart = processStart;
  c->processGet = processGet;
  c->processStop = processStop;
  c->space = static_cast<vcommandSpace*>(vobjectClone(super()->space));
  vcommandSpaceAddDict(c->space, vname_Command,
                       vcommandCreateDictFromTable(vobjectGetCommandClass(), kCommands, int(std::size(kCommands))));
  c->keyBindings = vdictCopy(super()->keyBindings);
  vclassSetName(c, vscribeLiteral("vcolorchsr"));
  st->cls = c;
  vmoduleAddContextExitProc(freeModule);
  return st;
}

}  // namespace

vcolorchsrClassRec* vcolorchsrGetDefaultClass() { return state()->cls; }
void _vcolorchsrRefreshMenus(vcolorchsr* c) { refreshMenus(c); }
vcolorchsr* vcolorchsrCreate() { return asC(vinstanceCreate(vcolorchsrGetDefaultClass())); }
vresource _vcolorchsrDictionary() { return state()->dict; }
vimage* _vcolorchsrArrow(int bottom) { return state()->arrows[bottom ? 1 : 0]; }
vcolorSpec* _vcolorchsrUserColors() { return state()->user; }
void _vcolorchsrReadUserColors() {
  ModuleState* st = state();
  for (vcolorSpec& s : st->user)
    if (s.record) vcolorDestroySpec(&s);
  loadUserColors(st);
}

namespace {
// A list's strings, read once per context.
template <std::size_t N>
std::string labelAt(bool& loaded, std::string (&labels)[N], const char* list, int index) {
  if (!loaded) {
    for (std::size_t i = 0; i < N; ++i) labels[i] = listText(list, int(i));
    loaded = true;
  }
  return index >= 0 && std::size_t(index) < N ? labels[index] : std::string();
}
}  // namespace
std::string _vcolorchsrModelLabel(int index) {
  return labelAt(state()->labelsLoaded, state()->modelLabels, "ModelLabels", index);
}
std::string _vcolorchsrPlaneLabel(int index) {
  return labelAt(state()->planeLoaded, state()->planeLabels, "PlaneLabels", index);
}

vcolorchsr* _vcolorchsrOf(const vdialogItem* item) {
  if (!item || !item->data) return nullptr;
  auto* o = reinterpret_cast<vinstance*>(item->data);
  return vclassIsSubclass(o->cls, state()->cls) ? static_cast<vcolorchsr*>(o) : nullptr;
}

void _vcolorchsrRedraw(vdialogItem* item) {
  if (item && (item->flags & vdialogItemOPEN)) vdialogInvalItem(item, 0);
}

void vcolorchsrSetColor(vcolorchsr* c, vcolor* color) {
  const vcolorSpec* s = &color->desc;
  vcolorCopySpec(s, &c->given);
  vcolorCopySpec(s, &c->accepted);
  vcolorCopySpec(s, &c->working);
  _vcolorchsrRefresh(c);
}
void vcolorchsrSetApply(vcolorchsr* c, vcolorchsrApplyFunc apply) { c->apply = apply; }
void vcolorchsrSetReformImages(vcolorchsr* c, int on) {
  c->reformImages = on;
  _vcolorchsrRefresh(c);
}
void vcolorchsrSetModel(vcolorchsr* c, int model) {
  if (model < vcolorchsrHLS || model > vcolorchsrGRAY) vexGenerateMessage(&vexArgRangeClass, "model 1-4");
  c->model = model;
  if (c->modelMenu) vcontrolSetValue(c->modelMenu, model - 1);
  _vcolorchsrRefresh(c);
}
void vcolorchsrSetPlane(vcolorchsr* c, int plane) {
  if (plane < vcolorchsrRG_PLANE || plane > vcolorchsrBG_PLANE) vexGenerateMessage(&vexArgRangeClass, "plane 19-21");
  c->plane = plane;
  _vcolorchsrBuildPlanePalette(c);
  refreshMenus(c);
}

void vcolorchsrSetUserColor(vcolorchsr* c, int index, const vcolorSpec* spec) {
  if (index < 0 || index >= vcolorchsrUSER_COLORS) vexGenerateMessage(&vexArgRangeClass, "user colour 0-15");
  vcolorCopySpec(spec, &state()->user[index]);
  if (c) _vcolorchsrRedraw(c->savedColors);
  saveUserColors();
}
vcolorSpec* vcolorchsrGetUserColor(vcolorchsr*, int index) {
  if (index < 0 || index >= vcolorchsrUSER_COLORS) vexGenerateMessage(&vexArgRangeClass, "user colour 0-15");
  return &state()->user[index];
}

void vcolorchsrSelectPanel(vcolorchsr* c, vdialogItem* panel) {
  if (panel == c->shownPanel) return;
  if (vdialogItem* old = c->shownPanel) {
    vdialogHideItem(old);
    vdialogDisableItem(old);
  }
  c->shownPanel = panel;
  if (panel) {
    vdialogEnableItem(panel);
    vdialogShowItem(panel);
  }
  vobjectAttributedOf(c)->refresh(c);
  refreshMenus(c);
}
