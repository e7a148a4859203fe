#include "fw/widgets/controls/optionmenu.h"

#include <algorithm>

#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/optionmenu_internal.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

using voptionint::Look;

namespace {

struct OptionState {
  vcontrolClassRec* cls;
  const Look* look;
  int lookId;
};
void** stateSlot = nullptr;
OptionState* state();
const Look& look() { return *state()->look; }
bool openLook() { return state()->lookId == vlafOPEN_LOOK; }

vcontrolClassRec* super() { return vcontrolGetDefaultClass(); }
vcontrol* asControl(vinstance* o) { return static_cast<vcontrol*>(o); }
vmenu* menuOf(const vcontrol* c) { return vdialogGetItemMenu(c); }

int itemCount(vmenu* m) { return m ? vmenuItemListCount(&m->items) : 0; }

// The menu's notify function while attached: a choice of another item
// becomes the value, and the control notifies.
void chosen(vwindow* w, vevent* event) {
  if (event && (event->type == veventWINDOW_AREA || event->type == veventWINDOW_STATE)) return;
  auto* m = static_cast<vmenu*>(w);
  vmenuItem* parent = vmenuGetOpenState(m);
  if (!parent || !m->selection) return;
  auto* c = reinterpret_cast<vcontrol*>(parent);
  int index = vobjectListIndexOf(&m->items, m->selection);
  if (index < 0 || index == c->value) return;
  vcontrolSetValue(c, index);
  vdialogNotifyItem(c, event);
}
void attach(vmenu* m) {
  if (m) vwindowClassOf(m)->setNotify(m, chosen);
}
void detach(vmenu* m) {
  if (m && m->notifyFunc == chosen) vwindowClassOf(m)->setNotify(m, nullptr);
}

bool owns(vcontrol* c, vmenu* m) { return m && vmenuGetOpenState(m) == reinterpret_cast<vmenuItem*>(c); }
void disown(vcontrol* c, vmenu* m) {
  if (!owns(c, m)) return;
  vmenuClassOf(m)->setPopupHook(m, nullptr);
  vmenuClassOf(m)->setPopupParent(m, nullptr);
}

// ---- Pressing: the look's press and release redraw the control.
void showPressed(vcontrol* c) {
  c->controlFlags |= vcontrolPRESSED;
  if (look().pressRedraws && (c->flags & vdialogItemOPEN)) vdialogInvalItem(c, 0);
}
void showReleased(vcontrol* c) {
  c->controlFlags &= std::uint16_t(~vcontrolPRESSED);
  if (look().pressRedraws && (c->flags & vdialogItemOPEN)) vdialogInvalItem(c, 0);
}
constexpr vcontrolPart kPart{0, nullptr, showPressed, showReleased, nullptr, nullptr};
void choosePart(vcontrol* c, vevent*) { c->activePart = &kPart; }

void press(vcontrol* c) {
  choosePart(c, nullptr);
  showPressed(c);
}
void release(vcontrol* c) {
  if (c->controlFlags & vcontrolPRESSED) showReleased(c);
}
vwindow* windowOf(vcontrol* c) {
  vdialogItemList* list = c->owner;
  return list ? list->effective.window(list->owner) : nullptr;
}

// While open the menu belongs to the control's window: its colours and
// the commands of its items are found there.
void lend(vcontrol* c, vmenu* m) {
  if (!m->parent) m->parent = windowOf(c);
}
void giveBack(vcontrol* c, vmenu* m) {
  if (m && m->parent && m->parent == windowOf(c)) m->parent = nullptr;
}
void menuEnded(vmenuItem* parent, vevent*) {
  if (!parent) return;
  auto* c = reinterpret_cast<vcontrol*>(parent);
  giveBack(c, menuOf(c));
  release(c);
}

void popUp(vcontrol* c, vevent* event) {
  vmenu* m = menuOf(c);
  vwindow* w = windowOf(c);
  if (!m || !w) {
    if (!m && openLook()) vdialogInvalItem(c, 0);
    release(c);
    return;
  }
  vrect r = c->rect;
  vdialogItemListTransformRect(c->owner, &r);
  lend(c, m);
  vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(c));
  vmenuClassOf(m)->setPopupHook(m, menuEnded);
  look().place(c, m, w, r);
  vrect anchor;
  vwindowTranslateRect(w, nullptr, &r, &anchor);
  vmenuClassOf(m)->setPopupAnchor(m, &anchor);
  if (event) vmenuHandleEvent(m, event);
}

// ---- Object slots.
void destroy(vinstance* self) {
  vcontrol* c = asControl(self);
  disown(c, menuOf(c));
  giveBack(c, menuOf(c));
  detach(menuOf(c));
  super()->destroy(self);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vcontrol* c = asControl(self);
  if (vmenu* m = menuOf(c)) {
    attach(m);
    c->max = itemCount(m) - 1;
  }
}

void setByIndex(vobject* self, int index, const void* value) {
  if (index != vcontrolA_SELECTION) return super()->setAttributeByIndex(self, index, value);
  vcontrol* c = asControl(self);
  vmenu* m = menuOf(c);
  int at = m && value ? vobjectListIndexOf(&m->items, static_cast<const vobject*>(value)) : -1;
  if (at >= 0) vcontrolSetValue(c, at);
}

const void* getByIndex(vobject* self, int index) {
  if (index != vcontrolA_SELECTION) return super()->getAttributeByIndex(self, index);
  vcontrol* c = asControl(self);
  vmenu* m = menuOf(c);
  return c->value >= 0 && c->value < itemCount(m) ? vmenuItemListAt(&m->items, c->value) : nullptr;
}

const void* argument(vdict* arguments, vname key) {
  return arguments && vdictHas(arguments, key) ? vdictGet(arguments, key) : nullptr;
}

void send(vobject* self, vname name, vdict* arguments) {
  super()->send(self, name, arguments);
  if (name != vname_Menu) return;
  vcontrol* c = asControl(self);
  auto* old = static_cast<vmenu*>(const_cast<void*>(argument(arguments, vname_OldValue)));
  disown(c, old);
  giveBack(c, old);
  detach(old);
  vmenu* now = menuOf(c);
  attach(now);
  // The value stays until it is next set, and is clamped then.
  c->max = itemCount(now) - 1;
  vdialogInvalItem(c, 0);
}

// ---- Keys: pop up, or choose an item by its accelerator at once.
vevent* eventOf(vdict* context) {
  const void* e = argument(context, vname_Event);
  return static_cast<vevent*>(const_cast<void*>(e));
}

int chooseByAccelerator(vcontrol* c, vmenu* m, vevent* event) {
  vmenuItem* item = event->type == veventKEY_DOWN ? vmenuFindItemByAccelerator(m, veventGetKeyValue(event)) : nullptr;
  if (!item || vmenuItemGetMenu(item) != m) return 0;
  press(c);
  vmenuItemListClassOf(&m->items)->setCurrentItem(&m->items, item);
  vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(c));
  vmenuClassOf(m)->setPopupHook(m, nullptr);
  lend(c, m);
  vmenuEnd(m, 1, event);
  giveBack(c, m);
  release(c);
  return 1;
}

int issueSelector(vobject* self, int selector, vdict* context) {
  vcontrol* c = asControl(self);
  vmenu* m = menuOf(c);
  vevent* event = eventOf(context);
  bool pops = selector == 3 || selector == 5 || selector == 8 || selector == 9 || selector == 12 || selector == 13;
  if (openLook() && pops) {
    press(c);
    vdialogInvalItem(c, 0);
    popUp(c, event);
    return 1;
  }
  if (m && event) {
    if (pops) {
      press(c);
      popUp(c, event);
      return 1;
    }
    if (selector == 7 && chooseByAccelerator(c, m, event)) return 1;
  }
  return super()->issueSelector(self, selector, context);
}

// ---- Sizes.
void minSize(vdialogItem* item, int* w, int* h) {
  vcontrol* c = asControl(item);
  vmenu* m = menuOf(c);
  if (!m) {
    *w = openLook() ? 0 : look().defaultWidth;
    *h = openLook() ? 0 : look().defaultHeight;
    return;
  }
  vmenuFrameMargins f{};
  vmenuClassOf(m)->measureFrame(m, &f);
  if (m->menuFlags & (vmenuGEOMETRY_STALE | vmenuSIZES_STALE)) voptionint::relayMenu(m, look().indicatorExtra);
  look().naturalSize(c, m, f, w, h);
}

void naturalSize(vdialogItem* item, int* w, int* h) {
  minSize(item, w, h);
  if (state()->lookId != vlafWIN95) return;
  if (vimage* arrow = vlafGetImage(135)) {
    *w = std::max(*w, arrow->width + 2);
    *h = std::max(*h, arrow->height + 4);
  }
}

// ---- Pointer.
int buttonDown(vdialogItem* item, vevent* event) {
  vcontrol* c = asControl(item);
  if (openLook()) {
    int w, h;
    minSize(item, &w, &h);
    press(c);
    vdialogInvalItem(c, 0);
    popUp(c, event);
    return 1;
  }
  if (state()->lookId == vlafCUA) {
    int w, h;
    minSize(item, &w, &h);
    press(c);
    popUp(c, event);
    return 1;
  }
  super()->buttonDown(item, event);
  if (menuOf(c)) popUp(c, event);
  return 1;
}

void computeIndicator(vcontrol* c) { look().labelRect(c, &c->indicator); }

void draw(vdialogItem* item) { voptionint::draw(look(), asControl(item)); }
void drawFocus(vdialogItem* item) { voptionint::drawFocus(look(), asControl(item)); }

OptionState* state() {
  if (auto* bound = vmoduleState<OptionState>(stateSlot)) return bound;
  auto* st = static_cast<OptionState*>(vmoduleBindSlot(stateSlot, sizeof(OptionState)));
  *st = OptionState{};
  st->lookId = vlafGetCurrent()->id;
  st->look = voptionint::lookFor(st->lookId);
  auto* c = vclassSpawnOf<vcontrolClassRec>(super());
  c->instanceSize = sizeof(vcontrol);
  c->destroy = destroy;
  c->loadInit = loadInit;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->issueSelector = issueSelector;
  c->minSize = minSize;
  c->naturalSize = naturalSize;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->buttonDown = buttonDown;
  c->computeIndicator = computeIndicator;
  c->choosePart = choosePart;
  c->defaultWidth = std::int16_t(st->look->defaultWidth);
  c->defaultHeight = std::int16_t(st->look->defaultHeight);
  vclassSetName(c, vscribeLiteral("vcontrolOptionMenu"));
  if (st->lookId == vlafWINDOWS || st->lookId == vlafWIN95) {
    vlafSetClassMSWSysColor(st->lookId, 1, c, vcolorFOREGROUND, 8);
    vlafSetClassMSWSysColor(st->lookId, 1, c, vcolorBACKGROUND, 7);
  }
  _vdialogItemRunNamingHook(c);
  st->cls = c;
  return st;
}

}  // namespace

vcontrolClassRec* vcontrolOptionMenuGetDefaultClass() { return state()->cls; }
vcontrol* vcontrolOptionMenuCreate() { return asControl(vinstanceCreate(vcontrolOptionMenuGetDefaultClass())); }

void vcontrolOptionMenuPopup(vcontrol* c, vevent* event) {
  if (!menuOf(c)) return;
  press(c);
  popUp(c, event);
}

const char* voptionint::currentTitle(vcontrol* c) {
  vmenu* m = menuOf(c);
  if (!m || c->value < 0 || c->value >= itemCount(m)) return nullptr;
  return vmenuItemListAt(&m->items, c->value)->title;
}
