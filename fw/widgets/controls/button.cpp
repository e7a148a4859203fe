#include "fw/widgets/controls/button.h"

#include <algorithm>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/button_internal.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

namespace {

struct ButtonState {
  vbuttonClassRec* cls;
  const vbuttonLook* look;
  int lookId;
  vname flagsTag;
};
void** stateSlot = nullptr;
ButtonState* state();
const vbuttonLook& look() { return *state()->look; }

constexpr std::int64_t kClickNanoseconds = 20'000'000;

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vbutton* asButton(vinstance* o) { return static_cast<vbutton*>(o); }
bool pressed(const vbutton* b) { return (b->buttonFlags & vbuttonPRESSED) != 0; }
bool inside(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }

// Timed clicks in flight: a destroyed button's click finds no button.
struct Click {
  vbutton* button;
  vevent* event;
};
std::vector<Click> clicks;

void forgetClicks(vbutton* b) {
  for (Click& c : clicks)
    if (c.button == b) c.event->data = nullptr, c.button = nullptr;
}

void disown(vbutton* b, vmenu* menu);

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vbutton* b = asButton(self);
  super()->setFocusable(b, 1);
  b->buttonFlags = 0;
}

void destroy(vinstance* self) {
  forgetClicks(asButton(self));
  disown(asButton(self), vdialogGetItemMenu(asButton(self)));
  super()->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vbutton* to = asButton(destination);
  to->buttonFlags = std::uint16_t((to->buttonFlags & ~5) | (asButton(source)->buttonFlags & 5));
}

void copyInit(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copyInit(source, destination);
  asButton(destination)->buttonFlags = std::uint16_t(asButton(source)->buttonFlags & 5);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  std::int32_t flags = 0;
  vresourceTestGetInteger(resource, state()->flagsTag, &flags);
  asButton(self)->buttonFlags = std::uint16_t(flags & vbuttonDEFAULT);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vresourceSetIntegerAt(resource, state()->flagsTag, asButton(self)->buttonFlags & vbuttonDEFAULT);
}

// ---- Press, release, activation.
template <void (*vbuttonLook::*Drawing)(vbutton*)>
void drawState(vbutton* b) {
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(b)) {
    look().beginColors(b);
    (look().*Drawing)(b);
    look().endColors(b);
  }
  vdrawGRestore();
}

void press(vbutton* b) {
  if (pressed(b)) return;
  b->buttonFlags |= vbuttonPRESSED;
  if (state()->lookId == vlafOPEN_LOOK) vdialogInvalItem(b, 0);
  else drawState<&vbuttonLook::pressed>(b);
}

void release(vbutton* b) {
  if (!pressed(b)) return;
  b->buttonFlags &= std::uint16_t(~vbuttonPRESSED);
  if (state()->lookId == vlafOPEN_LOOK) vdialogInvalItem(b, 0);
  else drawState<&vbuttonLook::released>(b);
}

// The menu's pop-up parent is its button, and its hook releases the button
// when the menu ends; a button going away takes its hook with it.
// The end of the menu also ends a menu-default press whose release the
// menu took.
void menuEnded(vmenuItem* parent, vevent*) {
  if (!parent) return;
  auto* b = reinterpret_cast<vbutton*>(parent);
  b->buttonFlags &= std::uint16_t(~vbuttonMENU_DEFAULT);
  vbuttonRelease(b);
}
bool owns(vbutton* b, vmenu* menu) { return menu && vmenuGetOpenState(menu) == reinterpret_cast<vmenuItem*>(b); }
void becomeOwner(vbutton* b, vmenu* menu) {
  vmenuClassOf(menu)->setPopupParent(menu, reinterpret_cast<vmenuItem*>(b));
  vmenuClassOf(menu)->setPopupHook(menu, menuEnded);
}
void disown(vbutton* b, vmenu* menu) {
  if (!owns(b, menu)) return;
  vmenuClassOf(menu)->setPopupHook(menu, nullptr);
  vmenuClassOf(menu)->setPopupParent(menu, nullptr);
}

void popMenu(vbutton* b, vmenu* menu, vevent* event) {
  becomeOwner(b, menu);
  look().placeMenu(b, menu, event);
  vmenuHandleEvent(menu, event);
}

// The item a key chooses in the menu as the menu itself would find it: by
// accelerator, else by mnemonic without other modifiers than the look's.
vmenuItem* itemForKey(vmenu* menu, vevent* event) {
  if (vmenuItem* item = vmenuFindItemByAccelerator(menu, veventGetKeyValue(event))) return item;
  std::uint32_t modifiers = veventGetModifiers(event) & 0xF;
  int c = veventGetCharacter(event);
  if (c && (modifiers == 0 || modifiers == vlafGetCurrent()->mnemonicModifiers)) return vmenuFindItemByMnemonic(menu, c);
  return nullptr;
}

// A key choosing an item of the button's menu: the menu takes it as its
// own, so that the item is chosen as from the open menu.
int chooseByKey(vbutton* b, vmenu* menu, vevent* event) {
  vmenuItem* item = itemForKey(menu, event);
  if (!item) return 0;
  vbuttonPress(b);
  if (!vwindowIsOpen(menu)) becomeOwner(b, menu);
  vmenuItemListClassOf(item->owner)->setCurrentItem(item->owner, item);
  vwindowClassOf(menu)->handleKeyDown(menu, event);
  vbuttonRelease(b);
  return 1;
}

int clickDone(vevent* e) {
  // The click stays listed while the button notifies: a notification that
  // destroys the button (its dialog closed) clears the event's button.
  if (auto* b = static_cast<vbutton*>(e->data)) vdialogNotifyItem(b, e);
  auto* b = static_cast<vbutton*>(e->data);
  clicks.erase(std::remove_if(clicks.begin(), clicks.end(), [&](const Click& c) { return c.event == e; }), clicks.end());
  if (b) vbuttonRelease(b);
  return 1;
}

int issueSelector(vobject* self, int selector, vdict* context) {
  vbutton* b = asButton(self);
  if (pressed(b)) vbuttonRelease(b);
  vmenu* menu = vdialogGetItemMenu(b);
  auto* event = context && vdictHas(context, vname_Event)
                    ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event)))
                    : nullptr;
  if (!menu && selector == 3) {
    vbuttonPress(b);
    vevent* e = veventCreateClient(clickDone, b);
    clicks.push_back({b, e});
    veventPostDelayed(e, 0, kClickNanoseconds);
    return 1;
  }
  if (menu && event && !pressed(b)) {
    switch (selector) {
      case 3: case 5: case 8: case 9: case 12: case 13:
        vbuttonPress(b);
        popMenu(b, menu, event);
        return 1;
      case 7:
        if (event->type == veventKEY_DOWN && chooseByKey(b, menu, event)) return 1;
        break;
      default: break;
    }
  }
  return super()->issueSelector(self, selector, context);
}

// ---- Item slots.
void warpToCentre(vbutton* b) {
  if (!(vlafGetCurrent()->flags & vlafWARP_TO_DEFAULT) || !b->owner) return;
  vwindow* window = b->owner->effective.window(b->owner->owner);
  if (!window) return;
  int x = b->rect.x + b->rect.width / 2, y = b->rect.y + b->rect.height / 2;
  vdialogItemListTransformPoint(b->owner, &x, &y);
  vwindowWarpPointer(window, x, y);
}

void focus(vdialogItem* item) {
  super()->focus(item);
  look().focusChanged(asButton(item));
  warpToCentre(asButton(item));
}
void unfocus(vdialogItem* item) {
  super()->unfocus(item);
  look().focusChanged(asButton(item));
}
void setDefault(vdialogItem* item) {
  super()->setDefault(item);
  warpToCentre(asButton(item));
}

void naturalSize(vdialogItem* item, int* w, int* h) {
  vbutton* b = asButton(item);
  if (state()->lookId == vlafOPEN_LOOK) return _vbuttonOpenLookSize(b, w, h);
  *w = *h = 0;
  const vbuttonLook& l = look();
  if (*b->title) l.measureTitle(b, b->title, w, h);
  if (vdialogGetItemMenu(b)) l.measureMenu(b, w, h);
  if (vimage* image = vdialogGetItemImage(b)) l.measureImage(b, image, w, h);
  if (b->flags & vdialogItemBORDER) l.measureBorder(b, w, h);
  *w += 2 * l.contentInset;
  *h += 2 * l.contentInset;
}

void minSize(vdialogItem* item, int* w, int* h) {
  naturalSize(item, w, h);
  vbutton* b = asButton(item);
  if (!*b->title) return;
  if (state()->lookId == vlafWIN95) {
    vfont* f = vdialogDetermineItemFont(b);
    *w = std::max(*w, vlafDialogUnitsToWidth(f, 50));
    *h = std::max(*h, vlafDialogUnitsToHeight(f, 14));
  } else {
    *w = std::max<int>(*w, vdialogItemClassOf(b)->defaultWidth);
    *h = std::max<int>(*h, vdialogItemClassOf(b)->defaultHeight);
  }
}

// The confirm button leaves room for its default ring.
int spacing(vdialogItem* item, vdialogItem* neighbour, int side) {
  int room = super()->spacing(item, neighbour, side);
  int ring = vdialogItemClassOf(item)->defaultInset;
  if (side == 0 && item->owner && vdialogItemListGetConfirmItem(item->owner) == item && ring > 0 && room > 0)
    room += ring;
  return room;
}

void drawContent(vbutton* b) {
  if (state()->lookId == vlafOPEN_LOOK) return;
  const vbuttonLook& l = look();
  vrect content;
  l.content(b, l.contentInset, &content);
  l.beginColors(b);
  if (pressed(b) && state()->lookId != vlafWIN95) {
    content.x = std::int16_t(content.x + l.pressedOffset);
    content.y = std::int16_t(content.y - l.pressedOffset);
  }
  if (*b->title) l.title(b, &content);
  if (vdialogGetItemMenu(b)) l.menuMark(b, &content);
  l.endColors(b);
}

void draw(vdialogItem* item) {
  vbutton* b = asButton(item);
  if (state()->lookId == vlafOPEN_LOOK) return _vbuttonDrawOpenLook(b);
  const vbuttonLook& l = look();
  vrect content;
  l.content(b, 0, &content);
  l.beginColors(b);
  vimage* image = vdialogGetItemImage(b);
  if (!image || image->width < content.width || image->height < content.height) {
    vdrawGSave();
    l.background(b, &content);
    vdrawGRestore();
  }
  if (image) {
    vdrawGSave();
    if (pressed(b)) vdrawTranslate(l.pressedOffset, -l.pressedOffset);
    l.image(b, image, &content);
    vdrawGRestore();
  }
  if (b->flags & vdialogItemBORDER) {
    vdrawGSave();
    l.border(b);
    vdrawGRestore();
  }
  l.endColors(b);
  vbuttonClassOf(b)->drawContent(b);
  if (vdialogItemIsActive(b)) {
    vdrawGSave();
    vdialogItemClassOf(b)->drawFocus(b);
    vdrawGRestore();
  }
}

void drawFocus(vdialogItem* item) {
  vbutton* b = asButton(item);
  if (state()->lookId == vlafOPEN_LOOK) return;
  const vbuttonLook& l = look();
  vrect content;
  l.content(b, l.contentInset, &content);
  if (pressed(b) && state()->lookId != vlafWIN95) {
    content.x = std::int16_t(content.x + l.pressedOffset);
    content.y = std::int16_t(content.y - l.pressedOffset);
  }
  l.beginColors(b);
  if (vdialogItemIsActive(b)) l.focus(b, &content);
  l.endColors(b);
}

void drawDefault(vdialogItem* item) {
  vbutton* b = asButton(item);
  vdrawGSave();
  vdrawSetLineWidth(look().ringLineWidth);
  look().beginColors(b);
  look().ring(b);
  look().endColors(b);
  vdrawGRestore();
}

// Open Look's Select on a menu button previews the menu's default item
// in the button (and opens its sub-menu); the release chooses it.
bool menuDefaultPress(vevent* event) {
  return state()->lookId == vlafOPEN_LOOK && (vlafGetCurrent()->flags & vlafSELECT_POPS_MENU) &&
         event->type == veventBUTTON_DOWN && veventGetBinding(event) == vname_Select;
}

int buttonDown(vdialogItem* item, vevent* event) {
  vbutton* b = asButton(item);
  if (pressed(b)) return 1;
  vmenu* menu = vdialogGetItemMenu(b);
  if (menu && menuDefaultPress(event)) {
    b->buttonFlags |= vbuttonMENU_DEFAULT;
    vbuttonPress(b);
    vmenuItem* preview = _vbuttonPreviewItem(menu);
    if (vmenu* sub = preview ? vmenuGetItemSubMenu(preview) : nullptr) popMenu(b, sub, event);
    return 1;
  }
  vbuttonPress(b);
  if (menu) popMenu(b, menu, event);
  return 1;
}

// Activation only on a release while pressed; in Open Look's menu-default
// mode the release chooses the previewed item instead.
int buttonUp(vdialogItem* item, vevent* event) {
  vbutton* b = asButton(item);
  bool menuDefault = (b->buttonFlags & vbuttonMENU_DEFAULT) != 0;
  b->buttonFlags &= std::uint16_t(~vbuttonMENU_DEFAULT);
  if (!pressed(b)) return 1;
  vbuttonRelease(b);
  vmenu* menu = vdialogGetItemMenu(b);
  if (!menuDefault || !menu) {
    vdialogNotifyItem(b, event);
    return 1;
  }
  vmenuItem* chosen = _vbuttonPreviewItem(menu);
  if (!chosen) return 1;
  if ((chosen->flags & vmenuItemTOGGLE) && !((chosen->flags & vmenuItemEXCLUSIVE) && vmenuItemIsToggleOn(chosen)))
    vmenuItemSetToggle(chosen, 1);
  vmenuClassOf(menu)->setSelection(menu, chosen);
  vmenuItemSelect(chosen, event);
  return 1;
}

int motion(vdialogItem* item, vevent* event) {
  vbutton* b = asButton(item);
  if (inside(b->rect, veventGetX(event), veventGetY(event))) vbuttonPress(b);
  else vbuttonRelease(b);
  return 1;
}

int takesConfirm(vdialogItem* item) {
  if (look().takesFocus && !vdialogGetItemMenu(item)) return 1;
  return super()->takesConfirm(item);
}

void freeState() {
  for (Click& c : clicks) c.event->data = nullptr;
  clicks.clear();
}

ButtonState* state() {
  if (auto* bound = vmoduleState<ButtonState>(stateSlot)) return bound;
  auto* st = static_cast<ButtonState*>(vmoduleBindSlot(stateSlot, sizeof(ButtonState)));
  *st = ButtonState{};
  vmoduleAddContextExitProc(freeState);
  st->lookId = vlafGetCurrent()->id;
  st->look = _vbuttonLookFor(st->lookId);
  st->flagsTag = vnameInternLiteral("vbuttonFlags");
  auto* c = vclassSpawnOf<vbuttonClassRec>(super());
  c->instanceSize = sizeof(vbutton);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->issueSelector = issueSelector;
  c->focus = focus;
  c->unfocus = unfocus;
  c->setDefault = setDefault;
  c->naturalSize = naturalSize;
  c->minSize = minSize;
  c->spacing = spacing;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->drawDefault = drawDefault;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->motion = c->drag = motion;
  c->takesConfirm = takesConfirm;
  c->drawContent = drawContent;
  c->press = press;
  c->release = release;
  bool openLook = st->lookId == vlafOPEN_LOOK;
  c->defaultWidth = std::int16_t(openLook ? 80 : st->look->defaultWidth ? st->look->defaultWidth : c->defaultWidth);
  c->defaultHeight = std::int16_t(openLook ? 20 : st->look->defaultHeight ? st->look->defaultHeight : c->defaultHeight);
  c->defaultInset = std::int16_t(st->look->ringSize);
  vclassSetName(c, vscribeLiteral("vbutton"));
  if (st->lookId == vlafWINDOWS || st->lookId == vlafWIN95 || st->lookId == vlafCUA) {
    vlafSetClassMSWSysColor(st->lookId, -1, c, vcolorFOREGROUND, 1);
    vlafSetClassMSWSysColor(st->lookId, -1, c, vcolorBACKGROUND, st->lookId == vlafCUA ? 25 : 0);
    _vdialogItemRunNamingHook(c);
  }
  st->cls = c;
  return st;
}

}  // namespace

vbuttonClassRec* vbuttonGetDefaultClass() { return state()->cls; }
vbutton* vbuttonCreate() { return asButton(vinstanceCreate(vbuttonGetDefaultClass())); }

void vbuttonSetDefault(vbutton* b, int on) {
  if (on) b->buttonFlags |= vbuttonDEFAULT;
  else b->buttonFlags &= std::uint16_t(~vbuttonDEFAULT);
}
