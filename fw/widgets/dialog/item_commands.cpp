// A dialog item's commands: its command space between its class's and its
// owner's, keys and mnemonics issued as commands, the item's help, and the
// menu button's press and release.
#include <cstdlib>

#include "fw/core/ex.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vdialogItem* asItem(vinstance* o) { return static_cast<vdialogItem*>(o); }
vobject* parent(vobject* self) {
  vdialogItem* item = asItem(self);
  return item->owner ? item->owner->owner : nullptr;
}

// ---- Commands: the item's space, then its class's, then its owner's.
vcommandSpace* spaceOf(vobject* o) {
  vdialogItem* item = asItem(o);
  return item->attributes ? item->attributes->space : nullptr;
}
bool attributed(vobject* o) { return o && vclassIsSubclass(o->cls, vobjectGetAttributedClass()); }

// The window fills the context first; the item is the operator.
void addContext(vobject* o, vdict* context) {
  if (vwindow* w = vdialogGetItemWindow(asItem(o))) vobjectAttributedOf(w)->addContext(w, context);
  vdictStore(context, vname_Operator, o);
}

const void* findCommand(vobject* o, vname kind, vname tag) {
  if (vcommandSpace* space = spaceOf(o)) {
    if (kind == vname_Operand) {
      if (vcommandSpaceGetAttribute(space, vname_Command, tag)) return o;
    } else if (const void* v = vcommandSpaceGetAttribute(space, kind, tag)) {
      return v;
    }
  }
  if (const void* v = super()->findCommand(o, kind, tag)) return v;
  vobject* owner = parent(o);
  return attributed(owner) ? vobjectAttributedOf(owner)->findCommand(owner, kind, tag) : nullptr;
}

// The nearer the definition, the later it is stored, so it wins.
void gatherCommands(vobject* o, vname tag, vdict* result) {
  vobject* owner = parent(o);
  if (attributed(owner)) vobjectAttributedOf(owner)->gatherCommands(owner, tag, result);
  super()->gatherCommands(o, tag, result);
  if (vcommandSpace* space = spaceOf(o)) {
    vcommandSpaceGetAttributes(space, tag, result);
    if (vcommandSpaceGetAttribute(space, vname_Command, tag)) vdictStore(result, vname_Operand, o);
  }
}

vdict* filter(vobject* o, vname kind, vdict* values) {
  vdict* filtered = super()->filter(o, kind, values);
  vcommandSpace* space = spaceOf(o);
  if (!space) return filtered;
  vdict* again = vcommandSpaceRemoveDefined(space, kind == vname_Operand ? vname_Command : kind, filtered);
  if (again != filtered && filtered != values) vdictDestroy(filtered);
  return again;
}

// The item's tags, nearest first, to the help window, beside the item on
// the screen.
void help(vobject* o) {
  vdialogItem* item = asItem(o);
  int count = 0;
  vname* keys = vobjectAttributedOf(o)->collectTags(o, &count);
  vexGuard(
      [&] {
        if (count > 0) {
          vrect r = item->rect, onScreen = r;
          if (item->owner) vdialogItemListTransformRect(item->owner, &r);
          vwindowTranslateRect(vdialogGetItemWindow(item), nullptr, &r, &onScreen);
          const vwindowHooks& hooks = vwindowGetHooks();
          hooks.helpShowKeys(hooks.helpGetGlobalWindow(), keys, count, &onScreen);
        }
      },
      [&](vexHandler&) {
        vmemFree(keys);
        _vexGenerate(nullptr, vexEnd);
      });
  vmemFree(keys);
}

int querySelector(vobject*, int, vdict* context) {
  vdictStore(context, vname_Dispatch, vname_Enabled);
  return 1;
}

// A key's command: the item's map, then the class's; the event's own
// binding otherwise. Issued only when the query allows it.
int keyDown(vdialogItem* item, vevent* event) {
  auto tag = static_cast<vname>(vdialogGetItemKeySelector(item, veventGetKeyValue(event)));
  if (!tag) tag = veventGetBinding(event);
  if (!tag) return 0;
  return _vdialogItemIssueKeyTag(item, tag, event);
}
}  // namespace

// The query carries the operator too: a synthetic command passes its
// question on to it, and without one it would refuse every key.
int _vdialogItemIssueKeyTag(vdialogItem* item, vname tag, vevent* event) {
  vdict query;
  vdictInit(&query, vdictHashName);
  vobjectAttributedOf(item)->addContext(item, &query);
  vdictStore(&query, vname_Event, event);
  vexGuard([&] { vobjectQueryCommand(item, tag, &query); },
           [&](vexHandler&) {
             vdictFinish(&query);
             _vexGenerate(nullptr, vexEnd);
           });
  bool allowed = vdictGet(&query, vname_Dispatch) == vname_Enabled && vdictGet(&query, vname_State) != vname_Disabled;
  vdictFinish(&query);
  if (!allowed) return 0;
  vdict context;
  vdictInit(&context, vdictHashName);
  vobjectAttributedOf(item)->addContext(item, &context);
  vdictStore(&context, vname_Event, event);
  int answer = 0;
  vexGuard([&] { answer = vobjectIssueCommand(item, tag, &context); },
           [&](vexHandler&) {
             vdictFinish(&context);
             _vexGenerate(nullptr, vexEnd);
           });
  vdictFinish(&context);
  return answer;
}

namespace {

int issueSelector(vobject* self, int selector, vdict* context) {
  vdialogItem* item = asItem(self);
  if (selector == 27 && vdictHas(context, vname_Event)) {
    if ((vlafGetCurrent()->flags & vlafMNEMONIC_MOVES_FOCUS) && item->owner) {
      vdialogItemListSetFocusItem(item->owner, item);
      // A container holding the list takes the focus of its own list, and so on up.
      vobject* holder = item->owner->owner;
      if (holder && vclassIsSubclass(holder->cls, vdialogItemGetDefaultClass())) {
        auto* container = static_cast<vdialogItem*>(holder);
        if (container->owner) vdialogItemListFocusMnemonicItem(container->owner, container);
      }
    }
    vobjectAttributedOf(item)->issueSelector(item, 3, context);
    return 1;
  }
  vmenu* menu = item->attributes ? item->attributes->menu : nullptr;
  auto* event = static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event)));
  if (selector == 5 && menu && event) {
    // At the item: its rectangle on the screen, below and to the right.
    vrect r = item->rect, onScreen = r;
    if (item->owner) vdialogItemListTransformRect(item->owner, &r);
    vwindowTranslateRect(vdialogGetItemWindow(item), nullptr, &r, &onScreen);
    vmenuPopupInRect(menu, &onScreen, 4, 12);
    vmenuHandleEvent(menu, event);
    return 1;
  }
  if (selector == 7 && menu && event) {
    // The menu's entry for the key issues its command, as choosing it would.
    vmenuItem* entry = vmenuFindItemByAccelerator(menu, veventGetKeyValue(event));
    if (entry && vmenuIsEnabled(menu) && vmenuItemIsEnabled(entry) && entry->tag)
      vobjectIssueTag(entry, entry->tag, event);
    return 1;
  }
  return super()->issueSelector(self, selector, context);
}

// ---- The menu button.
std::int64_t timeOf(const vevent* e) { return e->seconds * 1000000000 + e->nanoseconds; }

vmenu* buttonMenu(vdialogItem* item, vevent* event) {
  if (veventGetBinding(event) != vname_Menu || !item->attributes) return nullptr;
  return item->attributes->menu;
}

// Pops the menu up at the pointer: the event in window coordinates, a
// 4 x 4 rectangle around the pointer given to the menu, then the event.
void popUpAtPointer(vdialogItem* item, vmenu* menu, vevent* event) {
  int x = veventGetX(event), y = veventGetY(event);
  if (item->owner) vdialogItemListTransformPoint(item->owner, &x, &y);
  veventSetPosition(event, x, y);
  vmenuPopupForEvent(menu, event);
  vrect around{std::int16_t(x - 2), std::int16_t(y - 2), 4, 4}, inMenu = around;
  if (vwindow* window = veventGetWindow(event)) vwindowTranslateRect(window, menu, &around, &inMenu);
  vmenuClassOf(menu)->setPopupRects(menu, &inMenu, 1);
  vmenuHandleEvent(menu, event);
}

vdialogItemPress* pressRecord() { return _vdialogItemPressRecord(vlafGetCurrent()->id); }

int buttonDown(vdialogItem* item, vevent* event) {
  vmenu* menu = buttonMenu(item, event);
  if (!menu) return 0;
  if (vdialogItemPress* p = pressRecord()) {
    *p = {veventGetX(event), veventGetY(event), timeOf(event), false, true};
    return 1;
  }
  popUpAtPointer(item, menu, event);
  return 1;
}

// CUA: a pointer 3 pixels or more from the press counts as a drag.
int motion(vdialogItem*, vevent* event) {
  if (vlafGetCurrent()->id != vlafCUA) return 0;
  vdialogItemPress& p = *_vdialogItemPressRecord(vlafCUA);
  if (!p.pending) return 0;
  if (std::abs(veventGetX(event) - p.x) >= 3 || std::abs(veventGetY(event) - p.y) >= 3) p.moved = true;
  return 1;
}

// CUA pops up on a click (close, quick), Win95 on any release that did
// not drag. A release always ends the press.
int buttonUp(vdialogItem* item, vevent* event) {
  vdialogItemPress* p = pressRecord();
  vmenu* menu = buttonMenu(item, event);
  if (!p || !p->pending) return 0;
  bool pops = menu && !p->moved;
  if (pops && vlafGetCurrent()->id == vlafCUA) {
    std::int64_t elapsed = timeOf(event) - p->time;
    pops = std::abs(veventGetX(event) - p->x) < 3 && std::abs(veventGetY(event) - p->y) < 3 &&
           elapsed < 4000000000 && elapsed < veventGetDoubleClickInterval();
  }
  p->pending = false;
  if (!pops) return 0;
  p->moved = true;
  popUpAtPointer(item, menu, event);
  return 1;
}

}  // namespace

void _vdialogItemWriteCommandSlots(vdialogItemClassRec* c) {
  c->querySelector = querySelector;
  c->issueSelector = issueSelector;
  c->addContext = addContext;
  c->findCommand = findCommand;
  c->gatherCommands = gatherCommands;
  c->filter = filter;
  c->help = help;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->motion = c->drag = motion;
  c->keyDown = keyDown;
}
