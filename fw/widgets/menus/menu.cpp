#include "fw/widgets/menus/menu.h"

#include <algorithm>
#include <cstring>

#include "fw/core/cp1252.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/item_look.h"
#include "fw/widgets/menus/menu_look.h"
#include "fw/widgets/menus/mswmenu.h"

namespace {

struct MenuState {
  vmenuClassRec* cls;
  const vmenuLook* look;
};
void** stateSlot = nullptr;
MenuState* state();

enum : int { aMNEMONIC = 15, aDEFAULT, aSELECTION, aSTATE, aSIZE };

vmenu* asMenu(vinstance* o) { return static_cast<vmenu*>(o); }
vwindowClassRec* super() { return vwindowGetDefaultClass(); }
vmenuClassRec* rec(vmenu* m) { return vmenuClassOf(m); }
vmenuItemListClassRec* listRec(vmenu* m) { return vmenuItemListClassOf(&m->items); }

// The menu keeps its own flags word beside the window's.
void announce(vmenu* m, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(m, name, oldValue, newValue);
}

void freePopup(vmenu* m) {
  if (m->popup) vmemFree(m->popup);
  m->popup = nullptr;
}

vmenuPopup* popupOf(vmenu* m, int capacity = 6) {
  if (!m->popup || m->popup->capacity < capacity) {
    int n = std::max(capacity, 6);
    std::size_t size = sizeof(vmenuPopup) + sizeof(vrect) * std::size_t(n - 1);
    auto* grown = static_cast<vmenuPopup*>(vmemAlloc(size));
    std::memset(grown, 0, size);
    if (m->popup) {
      std::memcpy(grown, m->popup, sizeof(vmenuPopup) + sizeof(vrect) * std::size_t(m->popup->capacity - 1));
      vmemFree(m->popup);
    }
    grown->capacity = std::uint16_t(n);
    m->popup = grown;
  }
  return m->popup;
}

// ---- Window slots.
void init(vinstance* self) {
  super()->init(self);
  vmenu* m = asMenu(self);
  m->decoration = 0;
  m->flags = std::uint16_t((m->flags & ~vwindowACCEPTS_FOCUS) | vwindowSAVE_BITS | vwindowWANTS_MOTION);
  m->menuFlags = vmenuENABLED | vmenuSIZES_STALE | vmenuSTATES_STALE | vmenuGEOMETRY_STALE;
  m->mnemonic = 0;
  m->selection = nullptr;
  m->popup = nullptr;
  m->mirror = nullptr;
  vmenuItemListInit(&m->items);
  listRec(m)->setOwner(&m->items, m);
}

void destroyPinnedCopy(vmenu* m);
vmenuItem* pinnedCopyOwner(vmenu* m) {
  return (m->menuFlags & vmenuPINNED_COPY) && m->popup ? m->popup->parent : nullptr;
}

void destroy(vinstance* self) {
  vmenu* m = asMenu(self);
  _vmenuNoteDestroyed(m);
  if (m->mirror) vmswmenuDestroyMenuMirror(m, 1);
  if (vmenuItem* pin = pinnedCopyOwner(m)) pin->data = 0;
  destroyPinnedCopy(m);
  for (int i = vmenuItemListCount(&m->items); i-- > 0;)
    if (vmenu* sub = vmenuGetItemSubMenu(vmenuItemListAt(&m->items, i))) sub->parent = nullptr;
  if (vwindowIsOpen(m)) vwindowClose(m);
  freePopup(m);
  vinstanceDestroy(&m->items);
  m->items.cls = nullptr;
  super()->destroy(self);
}

void copyMenuFields(vmenu* from, vmenu* to) {
  to->menuFlags = std::uint16_t((to->menuFlags & ~0x30F) | (from->menuFlags & 0x30F) | vmenuGEOMETRY_STALE);
  to->mnemonic = from->mnemonic;
  freePopup(to);
  int selected = from->selection ? vobjectListIndexOf(&from->items, from->selection) : -1;
  to->selection = selected >= 0 && selected < vmenuItemListCount(&to->items) ? vmenuItemListAt(&to->items, selected)
                                                                              : nullptr;
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vmenu* to = asMenu(destination);
  vmenuItemListClassOf(&to->items)->copy(&asMenu(source)->items, &to->items);
  copyMenuFields(asMenu(source), to);
}

void copyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  vmenu* to = asMenu(destination);
  vmenu* from = asMenu(source);
  to->popup = nullptr;
  to->mirror = nullptr;
  to->menuFlags = 0;
  // The base copy ran init, which made an empty list: the copied one replaces it.
  if (to->items.cls) vinstanceDestroy(&to->items);
  to->items.cls = from->items.cls;
  vmenuItemListClassOf(&from->items)->copyInit(&from->items, &to->items);
  listRec(to)->setOwner(&to->items, to);
  copyMenuFields(from, to);
  // The pinned copy belongs to the source's pin item alone.
  if (vmenuItem* pin = vmenuGetPinItem(to)) pin->data = 0;
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vmenu* m = asMenu(self);
  std::int32_t flags = 1;
  vresourceTestGetInteger(resource, vnameInternLiteral("vmenuFlags"), &flags);
  m->menuFlags = std::uint16_t((flags & 1) | 14);
  char c = 0;
  vresourceTestGetCharacter(resource, vname_Mnemonic, &c);
  m->mnemonic = c;
  m->selection = nullptr;
  m->popup = nullptr;
  m->mirror = nullptr;
  // The window's load ran init, which made an empty list: the loaded one replaces it.
  if (m->items.cls) vinstanceDestroy(&m->items);
  vresource items;
  if (vresourceTestGet(resource, vname_ItemList, &items)) vmenuItemListLoadInit(&m->items, items);
  else vmenuItemListInit(&m->items);
  listRec(m)->setOwner(&m->items, m);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vmenu* m = asMenu(self);
  vresourceSetIntegerAt(resource, vnameInternLiteral("vmenuFlags"), m->menuFlags & 1);
  if (m->mnemonic) vresourceSetCharacter(resource, vname_Mnemonic, m->mnemonic);
  else vresourceRemove(resource, vname_Mnemonic);
  vmenuItem* pin = vmenuGetPinItem(m);
  int current = m->items.currentIndex, defaultIndex = m->items.defaultIndex;
  if (pin) vobjectListRemove(&m->items, pin);
  vclassRec<vobjectClassRec>(&m->items)->store(&m->items, vresourceCreate(resource, vname_ItemList, vresDICTIONARY));
  if (pin) {
    vobjectListInsertAt(&m->items, pin, 0);
    m->items.currentIndex = std::int16_t(current);
    m->items.defaultIndex = std::int16_t(defaultIndex);
  }
}

// The nearest window above that is not a menu gives its context first.
void addContext(vobject* self, vdict* context) {
  vwindow* w = asMenu(self)->parent;
  while (w && vclassIsSubclass(w->cls, vmenuGetDefaultClass())) w = w->parent;
  if (w) vobjectAttributedOf(w)->addContext(w, context);
  super()->addContext(self, context);
}

void setByIndex(vobject* self, int index, const void* value) {
  vmenu* m = asMenu(self);
  switch (index) {
    case aMNEMONIC:
      if (value) rec(m)->setMnemonic(m, *static_cast<const char*>(value));
      break;
    case aDEFAULT: rec(m)->setDefaultItem(m, static_cast<vmenuItem*>(const_cast<void*>(value))); break;
    case aSELECTION: rec(m)->setSelection(m, static_cast<vmenuItem*>(const_cast<void*>(value))); break;
    case aSTATE:
      if (value == vname_Enabled) rec(m)->enable(m);
      else if (value == vname_Disabled) rec(m)->disable(m);
      break;
    case aSIZE: break;
    default: super()->setAttributeByIndex(self, index, value);
  }
}

const void* getByIndex(vobject* self, int index) {
  vmenu* m = asMenu(self);
  switch (index) {
    case aMNEMONIC: return &m->mnemonic;
    case aDEFAULT: return vmenuItemListGetDefault(&m->items);
    case aSELECTION: return m->selection;
    case aSTATE: return vmenuIsEnabled(m) ? vname_Enabled : vname_Disabled;
    case aSIZE: return nullptr;
    default: return super()->getAttributeByIndex(self, index);
  }
}

// Changes of the menu and of its items.
void send(vobject* self, vname name, vdict* arguments) {
  vmenu* m = asMenu(self);
  super()->send(self, name, arguments);
  if (m->mirror) vmswmenuMenuAttributeChanged(m, name);
  if (name == vname_SystemFont) announce(m, vname_Size, nullptr, nullptr);
  else if (name == vname_State && vwindowIsOpen(m)) vwindowInvalAll(m, 0);
  else if (name == vname_Size) rec(m)->markGeometryStale(m);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  vmenu* m = asMenu(self);
  if (selector < vmenuSelectCONFIRM || selector > vmenuSelectDOWN) return super()->issueSelector(self, selector, context);
  return vmenuIssueSelector(m, selector, static_cast<vevent*>(vdictGet(context, vname_Event)));
}

int querySelector(vobject* self, int selector, vdict* context) {
  if (selector >= 13) return super()->querySelector(self, selector, context);
  vdictStore(context, vname_Dispatch, vname_Enabled);
  return 1;
}

void applyPending(vmenu* m) {
  if (m->menuFlags & (vmenuSIZES_STALE | vmenuGEOMETRY_STALE)) rec(m)->recomputeGeometry(m);
  m->menuFlags &= ~(vmenuSIZES_STALE | vmenuSTATES_STALE | vmenuGEOMETRY_STALE);
}

bool insideRoot(const vrect& r) {
  vrect root = vwindowGetRoot()->rect;
  return vrectContainsRect(&root, &r);
}

void open(vwindow* w) {
  vmenu* m = asMenu(w);
  if (m->mirror) {
    applyPending(m);
    listRec(m)->clearHighlight(&m->items);
    return;
  }
  if (vwindowIsOpen(m)) return;
  m->menuFlags = std::uint16_t((m->menuFlags & ~vmenuPINNED) | ((m->menuFlags & vmenuPINNED_COPY) ? vmenuPINNED : 0));
  applyPending(m);
  if (!insideRoot(m->rect)) {
    vrect r = m->rect;
    state()->look->keepOnScreen(m, nullptr, &r);
    super()->setRect(m, &r);
  }
  super()->open(w);
  listRec(m)->clearHighlight(&m->items);
  listRec(m)->resetScroll(&m->items);
  m->menuFlags |= vmenuJUST_OPENED;
  // A pinned menu stays open beside the application and takes no grab.
  if (!(m->menuFlags & vmenuPINNED) && vwindowMSWGetTopGrab() != m) vwindowGrab(m);
}

void close(vwindow* w) {
  vmenu* m = asMenu(w);
  if (vmenuItem* pin = pinnedCopyOwner(m); pin && vwindowIsOpen(m)) vmenuItemEnable(pin);
  listRec(m)->clearHighlight(&m->items);
  listRec(m)->resetScroll(&m->items);
  if (m->mirror) return;
  if (vwindowIsOpen(m) && vwindowMSWGetTopGrab() == m) vwindowUngrab(m);
  super()->close(w);
  m->menuFlags &= ~(vmenuJUST_OPENED | vmenuFORWARDED);
  if (vlafGetCurrent()->id == vlafWIN95 && !(m->menuFlags & vmenuPINNED_COPY)) m->menuFlags &= ~vmenuPINNED;
}

void draw(vwindow* w) {
  vmenu* m = asMenu(w);
  vrect whole = {0, 0, m->rect.width, m->rect.height};
  vdrawGSave();
  vdrawSetColor(vdrawGetState()->secondColor);
  vdrawRectFill(0, 0, whole.width, whole.height);
  vdrawGRestore();
  vdrawGSave();
  state()->look->drawFrame(m, &whole);
  vdrawGRestore();
  vdrawGSave();
  if (!vmenuIsEnabled(m))
    if (vcolor* c = vwindowDetermineColor(m, vcolorFOREGROUND + 1)) vdrawSetColor(c);
  listRec(m)->drawAll(&m->items);
  vdrawGRestore();
}

// Pointer positions in the menu's coordinates.
bool inside(vmenu* m, int x, int y) { return x >= 0 && y >= 0 && x < m->rect.width && y < m->rect.height; }

// A pointer event over the shape the menu was popped from goes to the
// popup record's strip handler (a menu bar switching titles).
bool toStrip(vmenu* m, vevent* e) {
  vmenuPopup* p = m->popup;
  if (!p || !p->strip || !vwindowIsOpen(m)) return false;
  int x = veventGetX(e), y = veventGetY(e);
  for (int i = 0; i < p->count; ++i)
    if (vrectContainsPoint(&p->rects[i], x, y)) return p->strip(reinterpret_cast<vobject*>(p->parent), e) != 0;
  return false;
}

int buttonDown(vwindow* w, vevent* e) {
  vmenu* m = asMenu(w);
  int x = veventGetX(e), y = veventGetY(e);
  if (!(m->menuFlags & vmenuFORWARDED) && toStrip(m, e)) return 1;
  if (vmenuIsEnabled(m)) {
    listRec(m)->trackPointer(&m->items, e, x, y);
    listRec(m)->openCurrentCascade(&m->items, e);
  }
  if (m->menuFlags & vmenuFORWARDED) return 1;
  if (state()->look->hitAnchor(m, x, y)) {
    m->menuFlags &= ~vmenuJUST_OPENED;
    return 1;
  }
  if (inside(m, x, y)) return 1;
  vmenuEnd(m, 0, e);
  return 1;
}

int drag(vwindow* w, vevent* e) {
  vmenu* m = asMenu(w);
  if (toStrip(m, e)) return 1;
  if (vmenuIsEnabled(m)) {
    int before = m->items.currentIndex;
    listRec(m)->trackPointer(&m->items, e, veventGetX(e), veventGetY(e));
    // Open Look opens a cascade a moment after the pointer comes onto its item.
    if (vlafGetCurrent()->id == vlafOPEN_LOOK && m->items.currentIndex != before)
      if (vmenuItem* current = vmenuItemListGetCurrent(&m->items)) vmenuItemDeferCascade(current);
  }
  if (auto track = state()->look->track) track(m, e);
  return 1;
}

int buttonUp(vwindow* w, vevent* e) {
  vmenu* m = asMenu(w);
  int x = veventGetX(e), y = veventGetY(e);
  if ((m->menuFlags & vmenuJUST_OPENED) && state()->look->hitAnchor(m, x, y)) {
    m->menuFlags &= ~vmenuJUST_OPENED;
    vmenuItemListSelectFirst(&m->items);
    return 1;
  }
  m->menuFlags &= ~vmenuJUST_OPENED;
  if (auto button = state()->look->button; button && button(m, e)) return 1;
  vmenuEnd(m, inside(m, x, y) ? 1 : 0, e);
  return 1;
}

int keyDown(vwindow* w, vevent* e) {
  vmenu* m = asMenu(w);
  if (m->mirror) return 0;
  if (m->menuFlags & vmenuFORWARDED) {
    if (veventGetBinding(e) == vname_Menu) return 0;
    return super()->handleKeyDown(w, e);
  }
  vmenuItem* item = vmenuFindItemByAccelerator(m, veventGetKeyValue(e));
  std::uint32_t modifiers = veventGetModifiers(e) & 0xF;
  if (!item && veventGetCharacter(e) && (modifiers == 0 || modifiers == vlafGetCurrent()->mnemonicModifiers))
    item = vmenuFindItemByMnemonic(m, veventGetCharacter(e));
  if (!item) return super()->handleKeyDown(w, e);
  if (item->owner == &m->items) {
    listRec(m)->setCurrentItem(&m->items, item);
    if (listRec(m)->openCurrentCascade(&m->items, e)) return 1;
    vobjectIssueTag(m, vname_Confirm, e);
  } else {
    // Found in a cascade: chosen there.
    vmenu* owner = vmenuItemGetMenu(item);
    vmenuItemListClassOf(&owner->items)->setCurrentItem(&owner->items, item);
    vmenuEnd(owner, 1, e);
    if (vwindowIsOpen(m)) vmenuEnd(m, 0, e);
  }
  return 1;
}

// Sub-menus take their colours and commands from the window that holds
// the menu; items made before the menu had one left them without it.
void lendParentToSubMenus(vmenu* m) {
  for (int i = 0; i < vmenuItemListCount(&m->items); ++i)
    if (vmenu* sub = vmenuGetItemSubMenu(vmenuItemListAt(&m->items, i)); sub && sub != m) {
      sub->parent = m->parent;
      lendParentToSubMenus(sub);
    }
}

void setParent(vwindow* w, vwindow* parent) {
  super()->setParent(w, parent);
  lendParentToSubMenus(asMenu(w));
}

void setRect(vwindow* w, const vrect* r) {
  vmenu* m = asMenu(w);
  bool changed = !vrectEqual(&m->rect, r);
  super()->setRect(w, r);
  if (changed && !insideRoot(m->rect)) m->menuFlags |= vmenuGEOMETRY_STALE;
}

// ---- Own slots.
void enable(vmenu* m) {
  if (vmenuIsEnabled(m)) return;
  m->menuFlags |= vmenuENABLED;
  announce(m, vname_State, vname_Disabled, vname_Enabled);
}
void disable(vmenu* m) {
  if (!vmenuIsEnabled(m)) return;
  m->menuFlags &= ~vmenuENABLED;
  announce(m, vname_State, vname_Enabled, vname_Disabled);
}

// Applied at once on a shown menu, else kept for the opening.
void markStale(vmenu* m, std::uint16_t flag) {
  if (vwindowIsOpen(m)) {
    m->menuFlags |= flag;
    applyPending(m);
  } else {
    m->menuFlags |= flag;
  }
}
void markSizesStale(vmenu* m) { markStale(m, vmenuSIZES_STALE); }
void markStatesStale(vmenu* m) { markStale(m, vmenuSTATES_STALE); }
void markGeometryStale(vmenu* m) { markStale(m, vmenuGEOMETRY_STALE); }

void appendItem(vmenu* m, vmenuItem* item) {
  vobjectListAppend(&m->items, item);
  announce(m, vname_Size, nullptr, nullptr);
}
void destroyPinnedCopy(vmenu* m);
void removeItem(vmenu* m, vmenuItem* item) {
  if (item == vmenuGetPinItem(m)) {
    destroyPinnedCopy(m);
    m->menuFlags &= ~vmenuHAS_PIN_ITEM;
  }
  vobjectListRemove(&m->items, item);
  if (m->selection == item) m->selection = nullptr;
  announce(m, vname_Size, nullptr, nullptr);
}
void insertItem(vmenu* m, vmenuItem* item, int index) {
  vobjectListInsertAt(&m->items, item, index);
  announce(m, vname_Size, nullptr, nullptr);
}

void measureFrame(vmenu* m, vmenuFrameMargins* out) { state()->look->measureFrame(m, out); }

void recomputeGeometry(vmenu* m) {
  vmenuFrameMargins f;
  rec(m)->measureFrame(m, &f);
  listRec(m)->layout(&m->items, &f);
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(&m->items);
  int width = g->full.width + f.left + f.right;
  int height = g->full.height + f.bottom + f.top;
  int room = vwindowGetRoot()->rect.height - 8;
  if (height > room) {
    vmenuItemListFitHeight(&m->items, room - f.bottom - f.top);
    height = room;
  }
  vrect r = {m->rect.x, std::int16_t(m->rect.y + m->rect.height - height), std::int16_t(width), std::int16_t(height)};
  super()->setRect(m, &r);
}

void setMnemonic(vmenu* m, int character) {
  char old = m->mnemonic;
  if (old == char(character)) return;
  m->mnemonic = char(character);
  announce(m, vname_Mnemonic, &old, &m->mnemonic);
}
void setDefaultItem(vmenu* m, vmenuItem* item) { listRec(m)->setDefaultItem(&m->items, item); }
void setSelection(vmenu* m, vmenuItem* item) {
  vmenuItem* old = m->selection;
  m->selection = item;
  announce(m, vname_Selection, old, item);
}
void setPopupParent(vmenu* m, vmenuItem* parent) { popupOf(m)->parent = parent; }
void setPopupHook(vmenu* m, vmenuPopupHook hook) { popupOf(m)->hook = hook; }
void setHookFirst(vmenu* m, int on) {
  m->menuFlags = std::uint16_t(on ? m->menuFlags | vmenuHOOK_FIRST : m->menuFlags & ~vmenuHOOK_FIRST);
}
void setPopupClient(vmenu* m, std::intptr_t word) { popupOf(m)->client = word; }
void setPopupRects(vmenu* m, const vrect* rects, int count) {
  vmenuPopup* p = popupOf(m, count);
  std::memcpy(p->rects, rects, sizeof(vrect) * std::size_t(count));
  p->count = std::uint16_t(count);
}
void setPopupAnchor(vmenu* m, const vrect* anchor) { popupOf(m)->anchor = *anchor; }

// ---- Pin items and pinned copies.
bool lookPins() { return (vlafGetCurrent()->flags & vlafMENU_FLAG) != 0; }

void destroyPinnedCopy(vmenu* m) {
  vmenuItem* pin = vmenuGetPinItem(m);
  if (!pin || !pin->data) return;
  vmenu* copy = reinterpret_cast<vmenu*>(pin->data);
  pin->data = 0;
  if (copy->popup) copy->popup->parent = nullptr;
  vinstanceDestroy(copy);
}

// Chosen from the menu: a copy of the menu that stays open where the choice was.
void pinChosen(vmenuItem* pin, vevent* event) {
  vmenu* m = vmenuItemGetMenu(pin);
  if (!m) return;
  if (m->menuFlags & vmenuPINNED_COPY) {
    // The pin of a pinned copy takes the copy away.
    if (vwindowIsOpen(m)) vwindowClose(m);
    return;
  }
  destroyPinnedCopy(m);
  vmenu* copy = asMenu(vobjectClone(m));
  copy->menuFlags |= vmenuPINNED_COPY;
  if (vmenuItem* copiedPin = vmenuGetPinItem(copy)) copiedPin->flags |= vmenuItemTOGGLE_ON;
  rec(copy)->setPopupParent(copy, pin);
  vmenuUpdateGeometry(copy);
  pin->data = reinterpret_cast<std::intptr_t>(copy);
  if (event && veventGetWindow(event)) {
    int x, y;
    vwindowTranslatePoint(veventGetWindow(event), nullptr, veventGetX(event), veventGetY(event), &x, &y);
    vrect r = {std::int16_t(x), std::int16_t(y - copy->rect.height), copy->rect.width, copy->rect.height};
    super()->setRect(copy, &r);
    vwindowOpen(copy);
  }
  if (vlafGetCurrent()->id != vlafMOTIF) vmenuItemDisable(pin);
}

void addPinItem(vmenu* m) {
  if (m->menuFlags & vmenuHAS_PIN_ITEM) return;
  vmenuItem* pin = vmenuItemCreate(vmenuGetDefaultPushPinItemClass());
  pin->notifyFunc = pinChosen;
  m->menuFlags |= vmenuHAS_PIN_ITEM;
  rec(m)->insertItem(m, pin, 0);
}

void removePinItem(vmenu* m) {
  vmenuItem* pin = vmenuGetPinItem(m);
  if (!pin) return;
  destroyPinnedCopy(m);
  rec(m)->removeItem(m, pin);
  vinstanceDestroy(pin);
}

void addPreferenceKeys(vcommandSpace* space);

// "Keys" / "vmenu" / the look's name, into the class's space and its key map.
void installKeys(vmenuClassRec* c) {
  vcommandSpace* space = c->space;
  for (vcommandSpaceEntry* e = space->entriesBegin; e != space->entriesEnd; ++e)
    if (e->kind == vname_Key) {
      vcommandSpaceGetDefaultClass()->removeDict(space, vname_Key, e->dict);
      break;
    }
  vdictDestroy(c->keyBindings);
  c->keyBindings = vdictCreate(vdictHashPointer);
  addPreferenceKeys(space);
  vcommandSpaceVisitKeys(space, c->keyBindings);
}

void addPreferenceKeys(vcommandSpace* space) {
  if (vdict* bindings = vlafLoadClassKeys("vmenu")) vcommandSpaceAddDict(space, vname_Key, bindings);
}

MenuState* state() {
  if (auto* bound = vmoduleState<MenuState>(stateSlot)) return bound;
  auto* s = static_cast<MenuState*>(vmoduleBindSlot(stateSlot, sizeof(MenuState)));
  *s = MenuState{};
  s->look = vmenuLookFor(vlafGetCurrent());
  vmenuGetDefaultItemListClass();
  auto* c = vclassSpawnOf<vmenuClassRec>(super());
  vclassSetName(c, vscribeLiteral("vmenu"));
  c->instanceSize = sizeof(vmenu);
  c->attributes = vdictCopy(super()->attributes);
  const vdictIntegerRow rows[] = {{vname_Mnemonic, aMNEMONIC},
                                  {vname_Default, aDEFAULT},
                                  {vname_Selection, aSELECTION},
                                  {vname_State, aSTATE},
                                  {vname_Size, aSIZE}};
  vdictStoreIntegerTable(c->attributes, rows, 5);
  static const vcommandTableRow commands[] = {{"Confirm", 5}, {"Abandon", 6}, {"Begin", 7}, {"End", 8},  {"Left", 9},
                                              {"Right", 10},  {"Up", 11},     {"Down", 12}, {"MenuBar", 6}};
  c->space = vcommandSpaceCreate();
  vcommandSpaceAddDict(c->space, vname_Command, vcommandCreateDictFromTable(vobjectGetCommandClass(), commands, 9));
  c->keyBindings = vdictCreate(vdictHashPointer);
  installKeys(c);
  vmoduleAddContextExitProc([] {
    auto* st = static_cast<MenuState*>(*stateSlot);
    if (!st || !st->cls) return;
    vdictDestroy(st->cls->attributes);
    vdictDestroy(st->cls->keyBindings);
    vinstanceDestroy(st->cls->space);
  });
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->addContext = addContext;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->open = open;
  c->close = close;
  c->draw = draw;
  c->handleButtonDown = buttonDown;
  c->handleButtonUp = buttonUp;
  c->handleDrag = drag;
  c->handlePlainMotion = drag;
  c->handleKeyDown = keyDown;
  c->setRect = setRect;
  c->setParent = setParent;
  c->enable = enable;
  c->disable = disable;
  c->markSizesStale = markSizesStale;
  c->markStatesStale = markStatesStale;
  c->markGeometryStale = markGeometryStale;
  c->appendItem = appendItem;
  c->removeItem = removeItem;
  c->insertItem = insertItem;
  c->measureFrame = measureFrame;
  c->recomputeGeometry = recomputeGeometry;
  c->setMnemonic = setMnemonic;
  c->setDefaultItem = setDefaultItem;
  c->setSelection = setSelection;
  c->setPopupParent = setPopupParent;
  c->setPopupHook = setPopupHook;
  c->setHookFirst = setHookFirst;
  c->setPopupClient = setPopupClient;
  c->setPopupRects = setPopupRects;
  c->setPopupAnchor = setPopupAnchor;
  vlafSetClassMSWColors(vlafGetCurrent()->id, c);
  if (vlafGetCurrent()->id == vlafWIN95) vlafSetClassMSWFont(vlafWIN95, c, 1);
  s->cls = c;
  return s;
}

vmenuItem* findByAccelerator(vmenu* m, std::uint32_t key, int depth) {
  if (depth > 32) return nullptr;  // a menu reachable from itself
  int n = vmenuItemListCount(&m->items);
  for (int i = 0; i < n; ++i) {
    vmenuItem* item = vmenuItemListAt(&m->items, i);
    if (item->accelerator == key && vmenuItemIsEnabled(item)) return item;
  }
  for (int i = 0; i < n; ++i)
    if (vmenu* sub = vmenuGetItemSubMenu(vmenuItemListAt(&m->items, i)))
      if (vmenuItem* found = findByAccelerator(sub, key, depth + 1)) return found;
  return nullptr;
}

void collect(vmenu* m, const void* value, vdict* keys, int depth) {
  if (depth > 32) return;
  int n = vmenuItemListCount(&m->items);
  for (int i = 0; i < n; ++i)
    if (vmenu* sub = vmenuGetItemSubMenu(vmenuItemListAt(&m->items, i))) collect(sub, value, keys, depth + 1);
  for (int i = 0; i < n; ++i) {
    vmenuItem* item = vmenuItemListAt(&m->items, i);
    if (item->accelerator)
      vdictStore(keys, reinterpret_cast<const void*>(std::uintptr_t(item->accelerator) + 1), value);
  }
}

}  // namespace

vmenuClassRec* vmenuGetDefaultClass() { return state()->cls; }

void vmenuSetPinnable(vmenu* m, int on) {
  m->menuFlags = std::uint16_t(on ? m->menuFlags | vmenuPINNABLE : m->menuFlags & ~vmenuPINNABLE);
  if (on && lookPins()) addPinItem(m);
  else removePinItem(m);
}
const vmenuLook* vmenuGetLook() { return state()->look; }
vmenu* vmenuCreate() { return asMenu(vinstanceCreate(vmenuGetDefaultClass())); }

void vmenuAppendItem(vmenu* m, vmenuItem* item) { rec(m)->appendItem(m, item); }
void vmenuInsertItem(vmenu* m, vmenuItem* item, int index) { rec(m)->insertItem(m, item, index); }
void vmenuRemoveItem(vmenu* m, vmenuItem* item) { rec(m)->removeItem(m, item); }
void vmenuUpdateGeometry(vmenu* m) {
  m->menuFlags |= vmenuGEOMETRY_STALE;
  applyPending(m);
}

vmenuItem* vmenuFindItemByAccelerator(vmenu* m, std::uint32_t key) { return findByAccelerator(m, key, 0); }

vmenuItem* vmenuFindItemByMnemonic(vmenu* m, int character) {
  auto fold = [](int c) { return cp1252::lower[std::size_t(c & 0xFF)]; };
  int folded = fold(character);
  for (int i = 0; i < vmenuItemListCount(&m->items); ++i) {
    vmenuItem* item = vmenuItemListAt(&m->items, i);
    if (item->mnemonic && vmenuItemIsEnabled(item) && fold(item->mnemonic) == folded) return item;
  }
  return nullptr;
}

void vmenuCollectAccelerators(vmenu* m, const void* value, vdict* keys) { collect(m, value, keys, 0); }

void vmenuEnd(vmenu* m, int choose, vevent* event) {
  vmenuItem* item = vmenuItemListGetCurrent(&m->items);
  if (!choose || !vmenuIsEnabled(m) || (item && !vmenuItemIsEnabled(item))) item = nullptr;
  state()->look->end(m, item, event);
}

int vmenuIssueSelector(vmenu* m, int selector, vevent* event) {
  vmenuItemList* l = &m->items;
  if (event && !(m->menuFlags & vmenuFORWARDED)) {
    switch (selector) {
      case vmenuSelectCONFIRM: vmenuEnd(m, 1, event); return 1;
      case vmenuSelectABANDON:
      case vmenuSelectLEFT: vmenuEnd(m, 0, event); return 1;
      case vmenuSelectRIGHT:
        if (!listRec(m)->openCurrentCascade(l, event)) vmenuEnd(m, 0, event);
        return 1;
      default: break;
    }
  }
  if (!vmenuIsEnabled(m)) return 0;
  int n = vmenuItemListCount(l);
  switch (selector) {
    case vmenuSelectBEGIN: listRec(m)->setCurrent(l, 0, 1); return 1;
    case vmenuSelectEND: listRec(m)->setCurrent(l, n - 1, -1); return 1;
    case vmenuSelectUP: vmenuItemListMoveCurrent(l, -1); return 1;
    case vmenuSelectDOWN: vmenuItemListMoveCurrent(l, 1); return 1;
    default: return 0;
  }
}

vmenuItem* vmenuGetOpenState(vmenu* m) { return m->popup ? m->popup->parent : nullptr; }
vmenuPopupHook vmenuGetPopupHook(vmenu* m) { return m->popup ? m->popup->hook : nullptr; }

int vmenuHandleEvent(vmenu* m, vevent* event) {
  if (m->menuFlags & vmenuSTATES_STALE) applyPending(m);
  int kind = event->type;
  if (kind != veventBUTTON_DOWN && kind != veventKEY_DOWN) {
    m->menuFlags |= vmenuFORWARDED;
    m->menuFlags &= ~vmenuFORWARDED;
    return 0;
  }
  vevent* local = veventCopy(event);
  vwindowTranslateEvent(veventGetWindow(event), m, local);
  m->menuFlags |= vmenuFORWARDED;
  int handled;
  if (kind == veventBUTTON_DOWN) {
    handled = rec(m)->handleButtonDown(m, local);
  } else {
    handled = rec(m)->handleKeyDown(m, local);
    if (!vmenuItemListGetCurrent(&m->items)) vmenuItemListSelectFirst(&m->items);
  }
  m->menuFlags &= ~vmenuFORWARDED;
  veventDestroy(local);
  return handled;
}

void vmenuPlaceInRect(vmenu* m, const vrect* anchor, int placeX, int placeY, vrect* out) {
  if (m->menuFlags & (vmenuSIZES_STALE | vmenuGEOMETRY_STALE)) applyPending(m);
  vrectAlign(&m->rect, anchor, placeX, placeY, out);
  state()->look->keepOnScreen(m, anchor, out);
}

void vmenuFitHeight(vmenu* m, int height) {
  if (m->menuFlags & (vmenuSIZES_STALE | vmenuGEOMETRY_STALE)) applyPending(m);
  if (m->rect.height <= height) return;
  vmenuFrameMargins f;
  rec(m)->measureFrame(m, &f);
  vmenuItemListFitHeight(&m->items, height - f.bottom - f.top);
  vrect r = {m->rect.x, std::int16_t(m->rect.y + m->rect.height - height), m->rect.width, std::int16_t(height)};
  super()->setRect(m, &r);
}

void vmenuPopupInRect(vmenu* m, const vrect* anchor, int placeX, int placeY) {
  vrect r;
  vmenuPlaceInRect(m, anchor, placeX, placeY, &r);
  rec(m)->setPopupAnchor(m, anchor);
  super()->setRect(m, &r);
  vwindowOpen(m);
}

int popupPlacementX() { return (vlafGetCurrent()->flags & vlafPOPUP_PLACEMENT_6) ? 6 : 3; }

void vmenuPopupAt(vmenu* m, vwindow* w, int x, int y) {
  int rx, ry;
  vwindowTranslatePoint(w, nullptr, x, y, &rx, &ry);
  vrect anchor = {std::int16_t(rx), std::int16_t(ry), 0, 0};
  vmenuPopupInRect(m, &anchor, popupPlacementX(), 1);
}

void vmenuPopupAtItem(vmenu* m, int x, int y) {
  vmenuItemList* l = &m->items;
  if (vmenuItemListCount(l) == 0) {
    vrect r = {std::int16_t(x), std::int16_t(y), m->rect.width, m->rect.height};
    super()->setRect(m, &r);
    vwindowOpen(m);
    return;
  }
  applyPending(m);
  int index = l->currentIndex >= 0 ? l->currentIndex : 0;
  vrect item;
  vmenuItemListItemRect(l, index, &item, nullptr);
  vrect r = {std::int16_t(x - item.x - item.width / 2), std::int16_t(y - item.y - item.height / 2), m->rect.width,
             m->rect.height};
  state()->look->keepOnScreen(m, nullptr, &r);
  super()->setRect(m, &r);
  vwindowOpen(m);
  listRec(m)->setCurrent(l, index, 1);
}

void vmenuPopupForEvent(vmenu* m, vevent* event) {
  int kind = event->type;
  vwindow* w = veventGetWindow(event);
  if (kind <= 4 || kind == veventENTER || kind == veventLEAVE) {
    state()->look->popupAtItem(m, w, veventGetX(event), veventGetY(event));
    return;
  }
  vrect r = w->rect;  // a top-level window's rectangle is on the screen
  vmenuPopupInRect(m, &r, 6, 6);
}

void vmenuCascadeRight(vmenu* m, vwindow* w, const vrect* itemRect) {
  vrect anchor;
  vwindowTranslateRect(w, nullptr, itemRect, &anchor);
  vrect root = vwindowGetRoot()->rect;
  if (anchor.x + anchor.width + m->rect.width > root.x + root.width) vmenuPopupInRect(m, &anchor, 1, 11);
  else vmenuPopupInRect(m, &anchor, 9, 11);
}

void vmenuCascadeLeft(vmenu* m, vwindow* w, const vrect* itemRect) {
  vrect anchor;
  vwindowTranslateRect(w, nullptr, itemRect, &anchor);
  vrect root = vwindowGetRoot()->rect;
  if (anchor.x - m->rect.width < root.x) vmenuPopupInRect(m, &anchor, 9, 11);
  else vmenuPopupInRect(m, &anchor, 1, 11);
}

void _vmenuChooseLook() {
  _vmenuItemChooseLook();
  _vmenuItemListChooseLook();
  MenuState* s = state();
  s->look = vmenuLookFor(vlafGetCurrent());
  installKeys(s->cls);
}

void vmenuStartup() {
  vmenuGetDefaultClass();
  vmenuGetDefaultItemListClass();
}
