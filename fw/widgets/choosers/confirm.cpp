#include "fw/widgets/choosers/confirm.h"

#include <algorithm>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/widgets/look/laf.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

struct ConfirmState {
  vconfirmClassRec* cls;
  vbuttonClassRec* buttonCls;
  int lookId;
};
void** stateSlot = nullptr;
ConfirmState* state();
int lookId() { return state()->lookId; }

const char* const kTags[vconfirmSTANDARD] = {"Ok", "Apply", "Reset", "Cancel", "Defaults", "Help"};
const char* const kTitles[vconfirmSTANDARD] = {"OK", "Apply", "Reset", "Cancel", "Defaults", "Help"};

vdialogClassRec* super() { return vdialogGetDefaultClass(); }
vbuttonClassRec* buttonSuper() { return vbuttonGetDefaultClass(); }
vconfirm* asC(vinstance* o) { return static_cast<vconfirm*>(o); }
vconfirmButton* asB(vinstance* o) { return static_cast<vconfirmButton*>(o); }
vconfirmClassRec* rec(const vconfirm* c) { return vconfirmClassOf(c); }
// Shown by its flag: the layout runs before the items open.
bool shown(const vdialogItem* i) { return (i->flags & vdialogItemSHOWN) != 0; }

bool ownTitlesInForce(const vconfirm* c) {
  return lookId() != vlafMOTIF || (c && (c->confirmFlags & vconfirmOWN_TITLES) != 0);
}

// ---- Pressing.
void run(vconfirm* c, vconfirmHook hook, vevent* e, int close) {
  int result = hook ? hook(c, e) : 1;
  if (result == 0 || close == 0) return;
  int keep = c->closeHook ? c->closeHook(c, e) : 0;
  if (keep == 0) vwindowClose(c);
}
void handleApply(vconfirm* c, vevent* e, int close) { run(c, c->applyHook, e, close); }
void handleReset(vconfirm* c, vevent* e, int close) { run(c, c->resetHook, e, close); }
void handleDefaults(vconfirm* c, vevent* e, int close) { run(c, c->defaultsHook, e, close); }
void handleHelp(vconfirm* c, vevent* e, int close) { run(c, c->helpHook, e, close); }
void handleOther(vconfirm* c, vevent* e, int close) { run(c, c->otherHook, e, close); }

// Open Look closes on OK and Reset only while the window's flag 0x100 is clear.
int openLookClose(vconfirm* c) { return (c->flags & vwindowMARK) == 0 ? 1 : 0; }

template <void (*vconfirmClassRec::*Slot)(vconfirm*, vevent*, int), int Close, bool OpenLookRule>
void notify(vdialogItem* item, vevent* e) {
  vconfirm* c = vconfirmOfItem(item);
  if (!c) return;
  int close = OpenLookRule && lookId() == vlafOPEN_LOOK ? openLookClose(c) : Close;
  (rec(c)->*Slot)(c, e, close);
}

int standardHelp(vconfirm* c, vevent* e) {
  vobjectIssueTag(c, N("Help"), e);
  return 0;
}

// ---- Buttons.
vconfirmButton* findButton(vconfirm* c, vname tag) {
  if (!c->buttons) return nullptr;
  return static_cast<vconfirmButton*>(vobjectListFindByTag(c->buttons->items, tag));
}

void showClassTitle(vconfirmButton* b, vconfirm* c) {
  int i = vconfirmStandardIndex(b->tag);
  vconfirmClassRec* cr = c ? rec(c) : state()->cls;
  buttonSuper()->setTitle(b, vscribeCString(i < 0 ? "" : cr->titles[i]));
  buttonSuper()->setMnemonic(b, i < 0 ? 0 : static_cast<unsigned char>(cr->mnemonics[i]));
}

void showTitle(vconfirmButton* b, vconfirm* c, bool own) {
  if (own && (b->confirmFlags & vconfirmButtonHAS_TITLE) && b->ownTitle) {
    buttonSuper()->setTitle(b, vscribeCString(b->ownTitle));
    buttonSuper()->setMnemonic(b, b->ownMnemonic);
  } else {
    showClassTitle(b, c);
  }
}

void freeOwnTitle(vconfirmButton* b) {
  if ((b->confirmFlags & vconfirmButtonTITLE_OWNED) && b->ownTitle) vstrDestroy(b->ownTitle);
  b->ownTitle = nullptr;
  b->confirmFlags &= ~vconfirmButtonTITLE_OWNED;
}

void buttonInit(vinstance* self) {
  buttonSuper()->init(self);
  vconfirmButton* b = asB(self);
  b->confirmFlags = 0;
  b->ownMnemonic = 0;
  b->ownTitle = nullptr;
}

void buttonDestroy(vinstance* self) {
  freeOwnTitle(asB(self));
  buttonSuper()->destroy(self);
}

void copyOwn(vconfirmButton* from, vconfirmButton* to) {
  std::uint32_t kept = from->confirmFlags & ~vconfirmButtonTITLE_OWNED;
  if (from->ownTitle) {
    to->ownTitle = vstrClone(from->ownTitle);
    to->ownMnemonic = from->ownMnemonic;
    to->confirmFlags = kept | vconfirmButtonTITLE_OWNED;
  } else {
    to->ownTitle = nullptr;
    to->ownMnemonic = 0;
    to->confirmFlags = kept;
  }
}

void buttonCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  freeOwnTitle(asB(destination));
  copyOwn(asB(source), asB(destination));
  buttonSuper()->copy(source, destination);
}

void buttonCopyInit(vobject* source, vobject* destination) {
  copyOwn(asB(source), asB(destination));
  buttonSuper()->copyInit(source, destination);
}

void buttonLoadInit(vobject* self, vresource resource) {
  buttonSuper()->loadInit(self, resource);
  vconfirmButton* b = asB(self);
  std::int32_t flags = 0;
  vresourceTestGetInteger(resource, N("ConfirmButtonFlags"), &flags);
  b->confirmFlags = std::uint32_t(flags) & ~vconfirmButtonTITLE_OWNED;
  b->ownTitle = nullptr;
  b->ownMnemonic = 0;
  if (b->confirmFlags & vconfirmButtonHAS_TITLE) {
    b->ownTitle = vstrClone(b->title ? b->title : "");
    b->ownMnemonic = std::uint8_t(b->mnemonic & 0xFF);
    b->confirmFlags |= vconfirmButtonTITLE_OWNED;
  }
  int i = vconfirmStandardIndex(b->tag);
  if ((i == vconfirmAPPLY || i == vconfirmCANCEL) && (b->confirmFlags & vconfirmButtonLOOK_HIDDEN)) {
    vdialogItemClassOf(b)->show(b);
    vdialogItemClassOf(b)->enable(b);
  }
  b->notifyFunc = _vconfirmNotifyFor(b->tag);
}

void buttonStore(vobject* self, vresource resource) {
  buttonSuper()->store(self, resource);
  vresourceSetInteger(resource, N("ConfirmButtonFlags"), std::int32_t(asB(self)->confirmFlags));
}

void buttonSetTitle(vdialogItem* item, vscribe* title) {
  vconfirmButton* b = asB(item);
  if (vconfirmStandardIndex(b->tag) < 0) {
    buttonSuper()->setTitle(item, title);
    return;
  }
  freeOwnTitle(b);
  if (title) {
    b->confirmFlags |= vconfirmButtonHAS_TITLE;
    // Always a copy of our own: a scribe's buffer may be a literal's text.
    b->ownTitle = vstrCloneScribed(title, nullptr);
    b->confirmFlags |= vconfirmButtonTITLE_OWNED;
  } else {
    b->confirmFlags &= ~vconfirmButtonHAS_TITLE;
  }
  vconfirm* c = vconfirmOfItem(b);
  showTitle(b, c, ownTitlesInForce(c));
}

void buttonSetMnemonic(vdialogItem* item, int character) {
  vconfirmButton* b = asB(item);
  if (vconfirmStandardIndex(b->tag) < 0) {
    buttonSuper()->setMnemonic(item, character);
    return;
  }
  b->ownMnemonic = std::uint8_t(character);
  if (ownTitlesInForce(vconfirmOfItem(b))) buttonSuper()->setMnemonic(item, character);
}

vconfirmButton* addButton(vconfirm* c, vname tag, const char* title, int mnemonic) {
  auto* b = asB(vinstanceCreate(state()->buttonCls));
  int i = vconfirmStandardIndex(tag);
  if (i == vconfirmAPPLY || i == vconfirmCANCEL) b->confirmFlags |= vconfirmButtonLOOK_HIDDEN;
  b->notifyFunc = _vconfirmNotifyFor(tag);
  b->tag = tag;
  vcontainerAppendItem(c->buttons, b);
  if (i >= 0) {
    vdialogSetItemTitle(b, title ? vscribeCString(title) : nullptr);
    if (mnemonic) vdialogSetItemMnemonic(b, mnemonic);
  }
  return b;
}

void showButton(vconfirm* c, vname tag, int on) {
  vconfirmButton* b = findButton(c, tag);
  if (on) {
    if (b) {
      vdialogItemClassOf(b)->show(b);
      vdialogItemClassOf(b)->enable(b);
    } else {
      b = addButton(c, tag, nullptr, 0);
    }
    b->confirmFlags &= ~vconfirmButtonLOOK_HIDDEN;
  } else if (b) {
    vcontainerRemoveItem(c->buttons, b);
    vinstanceDestroy(b);
  }
  if (tag == N("Cancel")) c->openLookState &= ~0x8u;
}

template <int I>
void show(vconfirm* c, int on) {
  rec(c)->showButton(c, vconfirmStandardTag(I), on);
}

template <int I>
void setTitle(vconfirm* c, vscribe* title) {
  vconfirmButton* b = findButton(c, vconfirmStandardTag(I));
  if (!b) {
    if (title) vscribeRelease(title);
    return;
  }
  vdialogSetItemTitle(b, title);
  if (lookId() == vlafOPEN_LOOK && (I == vconfirmAPPLY || I == vconfirmCANCEL))
    b->confirmFlags |= vconfirmButtonLOOK_HIDDEN;
}

void enableFor(vconfirm* c, bool set, std::initializer_list<int> buttons) {
  for (int i : buttons) {
    vconfirmButton* b = findButton(c, vconfirmStandardTag(i));
    if (!b || !shown(b)) continue;
    if (set) vdialogItemClassOf(b)->enable(b);
    else if (c->confirmFlags & vconfirmDISABLE_ON_CLEAR) vdialogItemClassOf(b)->disable(b);
  }
}
void setApply(vconfirm* c, vconfirmHook h) {
  c->applyHook = h;
  enableFor(c, h != nullptr, {vconfirmOK, vconfirmAPPLY});
}
void setReset(vconfirm* c, vconfirmHook h) {
  c->resetHook = h;
  enableFor(c, h != nullptr, {vconfirmRESET});
}
void setDefaults(vconfirm* c, vconfirmHook h) {
  c->defaultsHook = h;
  enableFor(c, h != nullptr, {vconfirmDEFAULTS});
}
void setHelp(vconfirm* c, vconfirmHook h) {
  c->helpHook = h;
  enableFor(c, h != nullptr, {vconfirmHELP});
}
void setOther(vconfirm* c, vconfirmHook h) { c->otherHook = h; }

void setOwnTitles(vconfirm* c, int on) {
  if (on) c->confirmFlags |= vconfirmOWN_TITLES;
  else c->confirmFlags &= std::uint16_t(~vconfirmOWN_TITLES);
}

void addDefaultButtons(vconfirm* c) {
  addButton(c, N("Ok"), nullptr, 0);
  addButton(c, N("Cancel"), nullptr, 0);
}

// The list order of the standard buttons: OK, (Win95: Cancel), Apply, Reset,
// Defaults, Cancel, Help; rebuilt only when the present ones are out of order.
void orderButtons(vconfirm* c) {
  vdialogItemList* l = c->buttons->items;
  vconfirmButton* b[vconfirmSTANDARD];
  for (int i = 0; i < vconfirmSTANDARD; ++i) b[i] = findButton(c, vconfirmStandardTag(i));
  bool cancelEarly = lookId() == vlafWIN95 && b[vconfirmOK] && b[vconfirmCANCEL];
  int order[vconfirmSTANDARD + 1], n = 0;
  order[n++] = vconfirmOK;
  if (cancelEarly) order[n++] = vconfirmCANCEL;
  for (int i : {vconfirmAPPLY, vconfirmRESET, vconfirmDEFAULTS}) order[n++] = i;
  if (!cancelEarly) order[n++] = vconfirmCANCEL;
  order[n++] = vconfirmHELP;
  int present = 0, last = -1;
  bool ascending = true;
  for (int k = 0; k < n; ++k) {
    if (!b[order[k]]) continue;
    int at = vobjectListIndexOf(l, b[order[k]]);
    if (at < last) ascending = false;
    last = at;
    ++present;
  }
  if (present < 2 || ascending) return;
  for (int k = 0; k < n; ++k)
    if (b[order[k]]) vobjectListRemove(l, b[order[k]]);
  for (int k = 0; k < n; ++k) {
    vconfirmButton* x = b[order[k]];
    if (!x) continue;
    vdialogItemListAppend(l, x);
    if (order[k] == vconfirmOK) vdialogItemListSetConfirmItem(l, x);
    if (order[k] == vconfirmCANCEL) vdialogItemListSetAbandonItem(l, x);
  }
}

// ---- Layout.
struct Metrics {
  int spacing, along, across;
};
Metrics metrics() {
  switch (lookId()) {
    case vlafWINDOWS: return {22, 10, 10};
    case vlafWIN95: return {5, 5, 6};
    default: return {15, 10, 10};
  }
}

struct Band {
  int count = 0, sum = 0, largest = 0, width = 0, height = 0;
};
Band measure(vconfirm* c) {
  Band band;
  bool column = (c->confirmFlags & vconfirmCOLUMN) != 0;
  Metrics m = metrics();
  vdialogItemList* l = c->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    if (!shown(item)) continue;
    int w = 0, h = 0;
    vdialogGetItemNaturalSize(item, &w, &h);
    ++band.count;
    band.sum += column ? h : w;
    band.largest = std::max(band.largest, column ? w : h);
  }
  int length = band.sum + m.spacing * std::max(band.count - 1, 0) + 2 * m.along;
  int thickness = band.largest + 2 * m.across;
  band.width = column ? thickness : length;
  band.height = column ? length : thickness;
  return band;
}

void moveItem(vconfirm* c, vdialogItem* item, const vrect& r) {
  if (std::memcmp(&item->rect, &r, sizeof r) == 0) return;
  (void)c;
  vdialogInvalItem(item, 0);
  vdialogSetItemRect(item, &r);
}

void arrange(vdialog* d, const vrect* rect) {
  vconfirm* c = asC(d);
  vrect rest;
  _vconfirmLayoutButtons(c, rect, &rest);
  super()->arrange(d, &rest);
}

void naturalSize(vdialog* d, int* width, int* height) {
  vconfirm* c = asC(d);
  super()->getNaturalSize(d, width, height);
  int w = 0, h = 0;
  _vconfirmButtonsSize(c, &w, &h);
  int extra = c->separator ? 5 : 0;
  if (c->confirmFlags & vconfirmCOLUMN) {
    *height = std::max(*height, h);
    *width += w + extra;
  } else {
    *width = std::max(*width, w);
    *height += h + extra;
  }
}

// ---- Object slots.
void makeParts(vconfirm* c) {
  c->buttons = vcontainerCreate(vcontainerGetDefaultClass());
  c->buttons->tag = N("Detached");
  vdialogSetItemBorder(c->buttons, 0);
  vcontainerSetFlat(c->buttons, 1);
  c->separator = nullptr;
  if (lookId() == vlafMOTIF) {
    c->separator = vdialogItemCreate(vdialogLineItemGetDefaultClass());
    c->separator->tag = N("Detached");
  }
}
void addParts(vconfirm* c) {
  vdialogAppendItem(c, c->buttons);
  if (c->separator) vdialogAppendItem(c, c->separator);
}
void takeParts(vconfirm* c) {
  c->items->focus = -1;
  if (c->buttons) vobjectListRemove(c->items, c->buttons);
  if (c->separator) vobjectListRemove(c->items, c->separator);
}

void resetFields(vconfirm* c) {
  c->applyHook = c->resetHook = c->defaultsHook = c->otherHook = nullptr;
  c->helpHook = standardHelp;
  c->process = nullptr;
  c->answer = nullptr;
  c->openLookState = lookId() == vlafOPEN_LOOK ? 10u : 0u;
}

void init(vinstance* self) {
  super()->init(self);
  vconfirm* c = asC(self);
  // Of the flag word's settings our window class knows only focus taking.
  c->flags |= vwindowACCEPTS_FOCUS;
  c->confirmFlags = 0;
  resetFields(c);
  makeParts(c);
  addParts(c);
  rec(c)->addDefaultButtons(c);
}

void copyHooks(vconfirm* from, vconfirm* to) {
  to->applyHook = from->applyHook;
  to->resetHook = from->resetHook;
  to->defaultsHook = from->defaultsHook;
  to->helpHook = from->helpHook;
  to->otherHook = from->otherHook;
}

constexpr std::uint16_t kCopiedFlags = vconfirmCOLUMN | vconfirmOWN_TITLES | vconfirmDISABLE_ON_CLEAR;

template <bool Init>
void copyConfirm(vobject* source, vobject* destination) {
  if (!destination) _vexGenerate(&vexArgNullClass, vexSetMessage, "copy into a null confirm", vexEnd);
  if (source == destination) return;
  vconfirm* from = asC(source);
  vconfirm* to = asC(destination);
  takeParts(from);
  if (!Init) {
    takeParts(to);
    if (to->buttons) vinstanceDestroy(to->buttons);
    if (to->separator) vinstanceDestroy(to->separator);
    super()->copy(source, destination);
  } else {
    super()->copyInit(source, destination);
  }
  addParts(from);
  to->buttons = static_cast<vcontainer*>(vobjectClone(from->buttons));
  to->separator = from->separator ? static_cast<vdialogItem*>(vobjectClone(from->separator)) : nullptr;
  addParts(to);
  copyHooks(from, to);
  to->confirmFlags = std::uint16_t((Init ? 0 : to->confirmFlags & ~kCopiedFlags) | (from->confirmFlags & kCopiedFlags));
  to->openLookState = from->openLookState;
  to->answer = from->answer;
  to->process = nullptr;  // a copy of a confirm being run is not run
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vconfirm* c = asC(self);
  resetFields(c);
  c->flags |= vwindowACCEPTS_FOCUS;
  std::int32_t old = 0;
  if (vresourceTestGetInteger(resource, N("ConfirmFlags"), &old)) {
    old |= 0x1;
    c->confirmFlags = std::uint16_t(old & (vconfirmOWN_TITLES | vconfirmDISABLE_ON_CLEAR));
    makeParts(c);
    addParts(c);
    struct Row {
      std::int32_t bit;
      const char* tag;
      const char* titleKey;
      const char* mnemonicKey;
    } rows[] = {{0x1, "Ok", "OkTitle", "OKMnemonic"},
                {0x2, "Cancel", "CancelTitle", "CancelMnemonic"},
                {0x4, "Apply", nullptr, nullptr},
                {0x8, "Reset", "ResetTitle", "ResetMnemonic"},
                {0x10, "Defaults", "DefaultsTitle", "DefaultsMnemonic"},
                {0x20, "Help", nullptr, nullptr}};
    for (const Row& r : rows) {
      if ((old & r.bit) == 0) continue;
      vstr* title = nullptr;
      char mnemonic = 0;
      if (r.titleKey) vresourceTestGetStringCopy(resource, N(r.titleKey), &title);
      if (r.mnemonicKey) vresourceTestGetCharacter(resource, N(r.mnemonicKey), &mnemonic);
      addButton(c, N(r.tag), title, static_cast<unsigned char>(mnemonic));
      if (title) vstrDestroy(title);
    }
    return;
  }
  c->buttons = static_cast<vcontainer*>(_vobjectLoadOfClass(vresourceGet(resource, N("ConfirmContainer")), vcontainerGetDefaultClass()));
  c->buttons->tag = N("Detached");
  // The standard buttons are then found by tag and used as confirm buttons.
  for (const char* tag : kTags) _vobjectListFindByTagOfClass(c->buttons->items, N(tag), state()->buttonCls);
  c->confirmFlags = std::uint16_t(vresourceGetInteger(resource, N("ConfirmationFlags")));
  c->separator = nullptr;
  if (lookId() == vlafMOTIF) {
    c->separator = vdialogItemCreate(vdialogLineItemGetDefaultClass());
    c->separator->tag = N("Detached");
  }
  addParts(c);
}

void store(vobject* self, vresource resource) {
  vconfirm* c = asC(self);
  takeParts(c);
  super()->store(self, resource);
  addParts(c);
  _vconfirmRefreshTitles(c, true);
  c->buttons->tag = N("Detached");
  vresource child;
  if (!vresourceTestGet(resource, N("ConfirmContainer"), &child)) child = vresourceMake(resource, N("ConfirmContainer"));
  vclassRec<vobjectClassRec>(c->buttons)->store(c->buttons, child);
  _vconfirmRefreshTitles(c, false);
  vresource unused;
  if (vresourceTestGet(resource, N("ConfirmFlags"), &unused)) {
    for (const char* key : {"ConfirmFlags", "OkTitle", "ResetTitle", "CancelTitle", "DefaultTitle", "OkMnemonic",
                            "ResetMnemonic", "CancelMnemonic", "DefaultMnemonic"})
      if (vresourceTestGet(resource, N(key), &unused)) vresourceRemove(resource, N(key));
  }
  vresourceSetInteger(resource, N("ConfirmationFlags"), c->confirmFlags);
}

void open(vwindow* w) {
  vconfirm* c = asC(w);
  if (vwindowIsOpen(w)) {
    vwindowClassOf(w)->raise(w);
    return;
  }
  if (vdialogItem* cancel = findButton(c, N("Cancel"))) {
    vdialogSetAbandonItem(c, c->buttons);
    vdialogItemListSetAbandonItem(c->buttons->items, cancel);
  }
  if (vdialogItem* ok = findButton(c, N("Ok"))) {
    vdialogSetConfirmItem(c, c->buttons);
    vdialogItemListSetConfirmItem(c->buttons->items, ok);
  }
  super()->open(w);
}

// ---- Modal processing.
// A stop made while the loop drains native messages is seen only after an
// event of the loop's own: post one.
void stopRun(vconfirm* c) {
  veventStopLoop(c->process->counter);
  veventPost(veventCreateClient([](vevent*) { return 1; }, nullptr));
}

void processNotify(vdialogItem* item, vevent*) {
  vconfirm* c = vconfirmOfItem(item);
  if (!c || !c->process) return;
  c->answer = item->tag;
  stopRun(c);
}

int processClose(vdialog* d, vevent*) {
  vconfirm* c = asC(d);
  c->answer = N("Close");
  if (c->process) stopRun(c);
  return 1;
}

void processStart(vconfirm* c) {
  if (vwindowIsOpen(c))
    _vexGenerate(&vexReturnClass, vexSetMessage, "Attempt to Process a confirm which is open.", vexSetProcedure,
                 "vconfirmProcessStart", vexEnd);
  auto* p = static_cast<vconfirmProcessRecord*>(vmemAlloc(sizeof(vconfirmProcessRecord)));
  p->savedModal = (c->flags & vwindowMODAL) ? 1 : 0;
  p->savedCloseHook = c->closeHook;
  p->counter = veventCreateLoopCounter();
  c->process = p;
  vwindowClassOf(c)->setModal(c, 1);
  vdialogSetCloseHook(c, processClose);
  vdialogItemList* l = c->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) vdialogItemListAt(l, i)->notifyFunc = processNotify;
  vwindowOpen(c);
}

vname processGet(vconfirm* c) {
  if (!vwindowIsOpen(c))
    _vexGenerate(&vexReturnClass, vexSetMessage, "Attempt to get button on confirm process when closed",
                 vexSetProcedure, "vconfirmProcessGet", vexEnd);
  veventRunLoop(c->process->counter);
  return c->answer;
}

void processStop(vconfirm* c) {
  if (!vwindowIsOpen(c))
    _vexGenerate(&vexReturnClass, vexSetMessage, "Attempt to stop processing on a closed confirm", vexEnd);
  vwindowClose(c);
  vdialogItemList* l = c->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    item->notifyFunc = _vconfirmNotifyFor(item->tag);
  }
  if (vconfirmProcessRecord* p = c->process) {
    veventDestroyLoopCounter(p->counter);
    vwindowClassOf(c)->setModal(c, p->savedModal);
    vdialogSetCloseHook(c, p->savedCloseHook);
    vmemFree(p);
    c->process = nullptr;
  }
}

void freeTitles() {
  ConfirmState* st = state();
  for (vstr*& t : st->cls->titles)
    if (t) vstrDestroy(t), t = nullptr;
}

ConfirmState* state() {
  if (auto* bound = vmoduleState<ConfirmState>(stateSlot)) return bound;
  auto* st = static_cast<ConfirmState*>(vmoduleBindSlot(stateSlot, sizeof(ConfirmState)));
  *st = ConfirmState{};
  st->lookId = vlafGetCurrent()->id;

  auto* b = vclassSpawnOf<vbuttonClassRec>(buttonSuper());
  b->instanceSize = sizeof(vconfirmButton);
  b->init = buttonInit;
  b->destroy = buttonDestroy;
  b->copy = buttonCopy;
  b->copyInit = buttonCopyInit;
  b->loadInit = buttonLoadInit;
  b->store = buttonStore;
  b->setTitle = buttonSetTitle;
  b->setMnemonic = buttonSetMnemonic;
  vclassSetName(b, vscribeLiteral("vconfirmButton"));
  st->buttonCls = b;

  auto* c = vclassSpawnOf<vconfirmClassRec>(super());
  c->instanceSize = sizeof(vconfirm);
  c->init = init;
  c->copy = copyConfirm<false>;
  c->copyInit = copyConfirm<true>;
  c->loadInit = loadInit;
  c->store = store;
  c->open = open;
  c->arrange = arrange;
  c->getNaturalSize = naturalSize;
  c->handleApply = handleApply;
  c->handleReset = handleReset;
  c->handleDefaults = handleDefaults;
  c->handleHelp = handleHelp;
  c->handleOther = handleOther;
  c->orderButtons = orderButtons;
  c->addDefaultButtons = addDefaultButtons;
  c->setTitle[0] = setTitle<0>, c->setTitle[1] = setTitle<1>, c->setTitle[2] = setTitle<2>;
  c->setTitle[3] = setTitle<3>, c->setTitle[4] = setTitle<4>, c->setTitle[5] = setTitle<5>;
  c->setApply = setApply;
  c->setReset = setReset;
  c->setDefaults = setDefaults;
  c->setHelp = setHelp;
  c->setOther = setOther;
  c->show[0] = show<0>, c->show[1] = show<1>, c->show[2] = show<2>;
  c->show[3] = show<3>, c->show[4] = show<4>, c->show[5] = show<5>;
  c->showButton = showButton;
  c->setOwnTitles = setOwnTitles;
  c->processStart = processStart;
  c->processGet = processGet;
  c->processStop = processStop;
  for (int i = 0; i < vconfirmSTANDARD; ++i) {
    c->titles[i] = vstrClone(kTitles[i]);
    c->mnemonics[i] = "OARCDH"[i];
  }
  if (st->lookId == vlafOPEN_LOOK) {
    vstrDestroy(c->titles[vconfirmOK]);
    c->titles[vconfirmOK] = vstrClone("Apply");
    c->mnemonics[vconfirmOK] = 'A';
  } else if (st->lookId == vlafWINDOWS || st->lookId == vlafWIN95) {
    c->mnemonics[vconfirmOK] = c->mnemonics[vconfirmCANCEL] = 0;
  }
  vclassSetName(c, vscribeLiteral("vconfirm"));
  st->cls = c;
  vmoduleAddContextExitProc(freeTitles);
  return st;
}

}  // namespace

vconfirmClassRec* vconfirmGetDefaultClass() { return state()->cls; }
vbuttonClassRec* vconfirmButtonGetDefaultClass() { return state()->buttonCls; }
vconfirm* vconfirmCreate() { return asC(vinstanceCreate(vconfirmGetDefaultClass())); }

vname vconfirmStandardTag(int index) { return N(kTags[index]); }
int vconfirmStandardIndex(vname tag) {
  for (int i = 0; i < vconfirmSTANDARD; ++i)
    if (tag == N(kTags[i])) return i;
  return -1;
}

vdialogItemNotifyFunc _vconfirmNotifyFor(vname tag) {
  switch (vconfirmStandardIndex(tag)) {
    case vconfirmOK: return notify<&vconfirmClassRec::handleApply, 1, true>;
    case vconfirmAPPLY: return notify<&vconfirmClassRec::handleApply, 0, false>;
    case vconfirmRESET: return notify<&vconfirmClassRec::handleReset, 0, true>;
    case vconfirmCANCEL: return notify<&vconfirmClassRec::handleReset, 1, false>;
    case vconfirmDEFAULTS: return notify<&vconfirmClassRec::handleDefaults, 0, false>;
    case vconfirmHELP: return notify<&vconfirmClassRec::handleHelp, 0, false>;
    default: return notify<&vconfirmClassRec::handleOther, 0, false>;
  }
}

vconfirm* vconfirmOfItem(vdialogItem* item) {
  vconfirmClassRec* cls = state()->cls;
  for (vobject* o = item; o;) {
    if (vclassIsSubclass(o->cls, cls)) return asC(o);
    if (vclassIsSubclass(o->cls, vdialogItemGetDefaultClass())) {
      vdialogItemList* l = static_cast<vdialogItem*>(o)->owner;
      o = l ? l->owner : nullptr;
    } else {
      return nullptr;
    }
  }
  return nullptr;
}

vname vconfirmProcess(vconfirm* c) {
  if (vwindowIsOpen(c) && !c->process) vwindowClose(c);
  if (!vwindowIsOpen(c)) {
    vconfirmProcessStart(c);
    // A subclass may answer at once, with no window (a system dialog in its place).
    if (!c->process && c->answer && !vwindowIsOpen(c)) return c->answer;
    if (!c->process) _vexGenerate(&vexReturnNullClass, vexSetMessage, "no confirm process", vexEnd);
  }
  veventRunLoop(c->process->counter);
  vname answer = c->answer;
  vconfirmProcessStop(c);
  return answer;
}

vdialogItem* vconfirmFindButton(vconfirm* c, vname tag) { return findButton(c, tag); }
int vconfirmHasApply(vconfirm* c) { return findButton(c, N("Apply")) ? 1 : 0; }
int vconfirmHasHelp(vconfirm* c) { return findButton(c, N("Help")) ? 1 : 0; }
void vconfirmSetDisableOnClear(vconfirm* c, int on) {
  if (on) c->confirmFlags |= vconfirmDISABLE_ON_CLEAR;
  else c->confirmFlags &= std::uint16_t(~vconfirmDISABLE_ON_CLEAR);
}

static void setMnemonicOf(vconfirm* c, const char* tag, int character) {
  if (vdialogItem* b = findButton(c, N(tag))) vdialogSetItemMnemonic(b, character);
}
void vconfirmSetOkMnemonic(vconfirm* c, int ch) { setMnemonicOf(c, "Ok", ch); }
void vconfirmSetApplyMnemonic(vconfirm* c, int ch) { setMnemonicOf(c, "Apply", ch); }
void vconfirmSetCancelMnemonic(vconfirm* c, int ch) { setMnemonicOf(c, "Cancel", ch); }
void vconfirmSetDefaultsMnemonic(vconfirm* c, int ch) { setMnemonicOf(c, "Defaults", ch); }

void _vconfirmRefreshTitles(vconfirm* c, bool forceOwn) {
  bool own = forceOwn || ownTitlesInForce(c);
  for (int i = 0; i < vconfirmSTANDARD; ++i)
    if (vconfirmButton* b = findButton(c, vconfirmStandardTag(i))) showTitle(b, c, own);
  if (forceOwn || lookId() != vlafOPEN_LOOK) return;
  for (int i : {vconfirmAPPLY, vconfirmCANCEL}) {
    vconfirmButton* b = findButton(c, vconfirmStandardTag(i));
    if (!b || (i == vconfirmCANCEL && !(b->confirmFlags & vconfirmButtonLOOK_HIDDEN))) continue;
    vdialogItemClassOf(b)->hide(b);
    vdialogItemClassOf(b)->disable(b);
  }
}

void _vconfirmButtonsSize(vconfirm* c, int* width, int* height) {
  Band band = measure(c);
  *width = band.width;
  *height = band.height;
}

void _vconfirmLayoutButtons(vconfirm* c, const vrect* rect, vrect* rest) {
  _vconfirmRefreshTitles(c, false);
  rec(c)->orderButtons(c);
  Band band = measure(c);
  Metrics m = metrics();
  vdialogItemList* l = c->buttons->items;
  int x = rect->x, y = rect->y, w = rect->width, h = rect->height;
  if (c->confirmFlags & vconfirmCOLUMN) {
    moveItem(c, c->buttons, vrect{s16(x + w - band.width), s16(y), s16(band.width), s16(h)});
    if (c->separator) moveItem(c, c->separator, vrect{s16(x + w - band.width - 3), s16(y), 2, s16(h)});
    int widest = 0;
    for (int i = 0; i < vdialogItemListCount(l); ++i) {
      vdialogItem* item = vdialogItemListAt(l, i);
      int iw = 0, ih = 0;
      if (shown(item)) vdialogGetItemNaturalSize(item, &iw, &ih);
      widest = std::max(widest, iw);
    }
    int top = h - (h - band.height) / 2 - m.along;
    for (int i = 0; i < vdialogItemListCount(l); ++i) {
      vdialogItem* item = vdialogItemListAt(l, i);
      if (!shown(item)) continue;
      int iw = 0, ih = 0;
      vdialogGetItemNaturalSize(item, &iw, &ih);
      moveItem(c, item, vrect{s16(m.across), s16(top - ih), s16(widest), s16(ih)});
      top -= ih + m.spacing;
    }
    *rest = vrect{s16(x), s16(y), s16(w - band.width), s16(h)};
    return;
  }
  moveItem(c, c->buttons, vrect{s16(x), s16(y), s16(w), s16(band.height)});
  int free = w - band.width;
  int start = m.along + free / 2, widen = 0;
  if (lookId() == vlafWIN95) start = m.along + free;
  else if (lookId() == vlafMOTIF && band.count >= 2) start = m.along, widen = free / (band.count - 1);
  int bx = start;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* item = vdialogItemListAt(l, i);
    if (!shown(item)) continue;
    int iw = 0, ih = 0;
    vdialogGetItemNaturalSize(item, &iw, &ih);
    moveItem(c, item, vrect{s16(bx), s16(m.across), s16(iw), s16(ih)});
    bx += iw + m.spacing + widen;
  }
  if (c->separator) moveItem(c, c->separator, vrect{s16(x), s16(y + band.height + 2), s16(w), 2});
  *rest = vrect{s16(x), s16(y + band.height), s16(w), s16(h - band.height)};
}
