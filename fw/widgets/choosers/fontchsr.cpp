// The font chooser's class: the sample lines read once per process, the
// load from the "vfontchsr" template with the sample item put in place of
// the loaded one, the starting font, opening and refreshing, the accept
// hook and the public operations.
#include "fw/widgets/choosers/fontchsr.h"

#include <cstring>
#include <cstdlib>
#include <string>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/choosers/chsrtemplate.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/control.h"

namespace {


struct ModuleState {
  vfontchsrClassRec* cls;
  vdialogItemClassRec* displayCls;
  vresource dict;
  vresource confirm;
};
void** stateSlot = nullptr;
ModuleState* state();

vconfirmClassRec* super() { return vconfirmGetDefaultClass(); }
vfontchsr* asC(void* o) { return static_cast<vfontchsr*>(static_cast<vinstance*>(o)); }

// Read once per process, from the first context that has the resources.
struct Samples {
  bool read = false;
  std::string lines[3];
};
Samples& samples() {
  static Samples s;
  return s;
}
void readSamples(vresource dict) {
  Samples& s = samples();
  if (s.read || !dict) return;
  s.read = true;
  const char* const tags[] = {"Line1", "Line2", "Line3"};
  for (int i = 0; i < 3; ++i)
    vexTry([&] {
      char* text = vscribeCreateString(vresourceGetString(dict, N(tags[i])));
      s.lines[i] = text;
      vscribeFreeString(text);
    });
}

// ---- Loading.
vdialogItem* findItem(vfontchsr* c, const char* tag) { return vdialogFindItem(c, N(tag)); }

// The loaded sample item becomes one of the private class, in its place.
vdialogItem* ownDisplay(vfontchsr* c, vdialogItem* loaded) {
  if (!loaded || vclassIsSubclass(loaded->cls, state()->displayCls)) return loaded;
  int index = vobjectListIndexOf(c->items, loaded);
  if (index < 0) return loaded;
  vdialogItemClassRec* cls = state()->displayCls;
  auto* item = static_cast<vdialogItem*>(vclassAllocInstance(cls));
  item->cls = cls;
  cls->copyInit(loaded, item);
  vobjectListSetAt(c->items, index, item);
  vinstanceDestroy(loaded);
  return item;
}

void setUp(vfontchsr* c) {
  c->familyList = static_cast<vlistitem*>(findItem(c, "Family"));
  c->faceList = static_cast<vlistitem*>(findItem(c, "Face"));
  c->sizeList = static_cast<vlistitem*>(findItem(c, "Size"));
  c->sizeEntry = static_cast<vtextitem*>(findItem(c, "SizeEntry"));
  // The private class copies its superclass's item: another is damage.
  c->display = ownDisplay(c, static_cast<vdialogItem*>(_vobjectListFindByTagOfClass(
                                 c->items, N("Display"), state()->displayCls->superclass)));
  for (vdialogItem* list : {static_cast<vdialogItem*>(c->familyList), static_cast<vdialogItem*>(c->faceList),
                            static_cast<vdialogItem*>(c->sizeList)})
    if (!list || !vclassIsSubclass(list->cls, vlistitemGetDefaultClass()))
      _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vfontchsr: the template lacks a list", vexEnd);
  if (!c->sizeEntry || !vclassIsSubclass(c->sizeEntry->cls, vtextitemGetDefaultClass()) || !c->display)
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vfontchsr: the template lacks its entry or sample",
                 vexEnd);
  c->options = vfontchsrSIZE_ENTRY | vfontchsrFILTER_SIZE | vfontchsrADD_FAMILY;
  _vfontchsrWireLists(c);
  for (vdialogItem* i : {static_cast<vdialogItem*>(c->familyList), static_cast<vdialogItem*>(c->faceList),
                         static_cast<vdialogItem*>(c->sizeList), static_cast<vdialogItem*>(c->sizeEntry), c->display})
    vdialogSetItemData(i, reinterpret_cast<std::intptr_t>(c));
  c->font = vfontFindScribe(vscribeLiteral("family:helvetica-size:12"));
  c->face = c->font ? c->font->face : nullptr;
  c->family = c->face ? c->face->family : nullptr;
  c->size = c->font ? c->font->matrix->d : 12.0;
  c->familyRow = -1;
  c->faceRow = c->sizeRow = 0;
  c->plainSizesOnly = 1;
  c->apply = nullptr;
  vconfirmSetApply(c, _vfontchsrAccept);
  _vfontchsrFillFamilies(c, 1);
  vconfirmSetDisableOnClear(c, 1);
  // The template's size stands.
  c->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  vwindowPlace(c, vwindowGetRoot(), 6, 6);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  setUp(asC(self));
}

void init(vinstance* self) {
  _vchsrClearOwnFields(asC(self), &asC(self)->familyList);
  _vchsrInitFromTemplate(self, state()->confirm, "vfontchsr: no \"Confirm\" template");
}

void open(vwindow* w) {
  vfontchsr* c = asC(w);
  if (vwindowIsOpen(w)) return;
  _vfontchsrFillFamilies(c, 0);
  super()->open(w);
  if (c->familyRow < 0) return;
  for (vlistitem* l : {c->familyList, c->faceList, c->sizeList}) vlistviewScrollToSelection(l);
}

// ---- Methods.
void setFont(vfontchsr* c, vfont* font) {
  if (!font) vexGenerateMessage(&vexArgNullClass, "Setting Null Font");
  if (font->matrix->d < 0) vexGenerateMessage(&vexArgRangeClass, "Font size smaller than 0.0");
  if (font == c->font) return;
  bool open = vwindowIsOpen(c);
  bool disabled = open && (!vdialogItemIsEnabled(c->familyList) || !vdialogItemIsEnabled(c->faceList) ||
                           !vdialogItemIsEnabled(c->sizeList));
  vfont* oldFont = c->font;
  vfontFace* oldFace = c->face;
  vfontFamily* oldFamily = c->family;
  double oldSize = c->size;
  std::int32_t oldRow = c->familyRow;
  c->font = font;
  c->face = font->face;
  c->family = font->face->family;
  c->size = font->matrix->d;
  c->familyRow = -1;
  vlistitem* l = c->familyList;
  ++_vfontchsrFilling;
  std::int32_t n = vlistGetRowCount(l->list);
  for (std::int32_t r = 0; r < n; ++r) {
    bool hit = c->familyRow < 0 && _vfontchsrRowValue(l, r) == c->family;
    if (hit) c->familyRow = r;
    _vfontchsrSelectRow(l, r, hit);
  }
  if (c->familyRow < 0 && (c->options & vfontchsrADD_FAMILY)) {
    vlistSetRowCount(l->list, n + 1);
    vlistSetCell(l->list, n, 0, reinterpret_cast<vlistCell>(c->family));
    c->familyRow = n;
    // Shown as chosen, as the family it now is.
    _vfontchsrSelectRow(l, n, 1);
  }
  if (c->familyRow < 0 && oldRow >= 0) {
    c->font = oldFont, c->face = oldFace, c->family = oldFamily, c->size = oldSize, c->familyRow = oldRow;
    _vfontchsrSelectRow(l, oldRow, 1);
    --_vfontchsrFilling;
    return;
  }
  --_vfontchsrFilling;
  if (disabled) _vfontchsrUpdate(c, 0);
  if (open) vlistviewScrollToSelection(l);
  if (!disabled) {
    _vfontchsrFillFaces(c);
    _vfontchsrFillSizes(c);
    _vfontchsrUpdateEntry(c);
  }
  _vfontchsrRedrawSample(c);
}

void setPlainSizesOnly(vfontchsr* c, int on) {
  std::uint32_t bit = on ? 1 : 0;
  if ((c->plainSizesOnly & 1) == bit) return;
  c->plainSizesOnly = (c->plainSizesOnly & ~1u) | bit;
  bool searched = false;
  if (on && c->font && !(c->font->flags & vfontUNIFORM)) {
    searched = true;
    std::int32_t row = _vfontchsrNearestAcceptableRow(c, c->sizeRow);
    if (row < 0) {
      vdialogDisableItem(c->sizeList);
      _vfontchsrRedrawSample(c);
      return;
    }
    vfontchsrSetFont(c, static_cast<vfont*>(_vfontchsrRowValue(c->sizeList, row)));
  }
  if (vwindowIsOpen(c)) {
    _vfontchsrFillSizes(c);
    _vfontchsrUpdateEntry(c);
  }
  if (!searched) _vfontchsrRedrawSample(c);
}

int keep(vfontchsr*, void*) { return 1; }
int filterSize(vfontchsr* c, vfont* f) { return keep(c, f); }
int filterFamily(vfontchsr* c, vfontFamily* f) { return keep(c, f); }
int filterFace(vfontchsr* c, vfontFace* f) { return keep(c, f); }

void setOptions(vfontchsr* c, std::uint32_t options) {
  if (options == c->options) return;
  c->options = options;
  vfontchsrRefresh(c);
}

void refresh(vfontchsr* c) {
  if (!vwindowIsOpen(c)) return;
  _vfontchsrFillFamilies(c, 1);
  for (vlistitem* l : {c->familyList, c->faceList, c->sizeList}) vlistviewScrollToSelection(l);
}

// ---- The module.
ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  vconfirmGetDefaultClass();
  vbuttonGetDefaultClass();
  vcontrolGetDefaultClass();
  vlistitemGetDefaultClass();
  vtextitemGetDefaultClass();
  vdialogLabelItemGetDefaultClass();
  st->dict = _vchsrDictionary(N("vfontchsr"), &st->confirm);
  readSamples(st->dict);
  auto* c = vclassSpawnOf<vfontchsrClassRec>(super());
  c->instanceSize = sizeof(vfontchsr);
  c->init = init;
  c->loadInit = loadInit;
  c->processStop = _vchsrProcessStop;
  c->open = open;
  c->setFont = setFont;
  c->setPlainSizesOnly = setPlainSizesOnly;
  c->filterSize = filterSize;
  c->filterFamily = filterFamily;
  c->filterFace = filterFace;
  c->setOptions = setOptions;
  c->refresh = refresh;
  vclassSetName(c, vscribeLiteral("vfontchsr"));
  st->cls = c;
  st->displayCls = _vfontchsrBuildDisplayClass();
  return st;
}

}  // namespace

vfontchsrClassRec* vfontchsrGetDefaultClass() { return state()->cls; }
vdialogItemClassRec* vfontchsrGetDisplayItemClass() { return state()->displayCls; }
vfontchsr* vfontchsrCreate() { return asC(vinstanceCreate(vfontchsrGetDefaultClass())); }

const std::string& _vfontchsrSampleLine(int index) {
  static const std::string none;
  return index >= 0 && index < 3 ? samples().lines[index] : none;
}

int _vfontchsrAccept(vconfirm* x, vevent*) {
  vfontchsr* c = asC(x);
  _vfontchsrCommitEntry(c);
  return c->apply ? c->apply(c, c->font) : 1;
}

void vfontchsrSetApply(vfontchsr* c, vfontchsrApplyFunc apply) {
  c->apply = apply;
  vconfirmSetApply(c, apply && c->familyRow >= 0 ? _vfontchsrAccept : nullptr);
}
