#include "fw/widgets/menus/menuitem.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <utility>

#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/scheme.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/item_look.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/mswmenu.h"

namespace {

struct ItemState {
  vmenuItemClassRec* classes[5];  // item, separator, toggle, push-pin, sub-menu
  const vmenuItemLook* look;
  vdict* attributes;
  vpool* extensions;
};
void** stateSlot = nullptr;
// The item being chosen, forgotten when what its notify function runs
// destroys it.
vmenuItem* selecting = nullptr;

enum : int {
  aDATA, aTITLE, aFONT, aFOREGROUND, aHILITE, aSCHEME, aLINE_WIDTH, aKEY, aACCELERATOR, aMNEMONIC, aSTATE,
  aEXCLUSIVE, aTOGGLE
};

ItemState* state();
vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vmenuItemClassRec* itemClass() { return state()->classes[0]; }
vmenuItem* asItem(vinstance* o) { return static_cast<vmenuItem*>(o); }

vmenuItemExtension* extensionOf(vmenuItem* item) {
  if (!item->extension) {
    item->extension = vpoolAllocOf<vmenuItemExtension>(state()->extensions);
    *item->extension = vmenuItemExtension{};
  }
  return item->extension;
}

void announce(vmenuItem* item, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(item, name, oldValue, newValue);
}
vname stateName(bool on) { return on ? vname_Enabled : vname_Disabled; }
vname onOff(bool on) { return on ? vname_On : vname_Off; }
vname trueFalse(bool on) { return on ? vname_True : vname_False; }

void freeTitle(vmenuItem* item) {
  if (item->flags & vmenuItemTITLE_OWNED) vstrDestroy(const_cast<char*>(item->title));
  item->flags &= ~vmenuItemTITLE_OWNED;
  item->title = "";
}

// ---- Slots.
void init(vinstance* self) {
  super()->init(self);
  vmenuItem* item = asItem(self);
  item->notifyFunc = nullptr;
  item->data = 0;
  item->title = "";
  item->extension = nullptr;
  item->owner = nullptr;
  item->accelerator = 0;
  item->mnemonic = 0;
  item->flags = vmenuItemENABLED;
}

void forgetPendingCascades(vmenuItem* item);

void destroy(vinstance* self) {
  vmenuItem* item = asItem(self);
  if (selecting == item) selecting = nullptr;
  forgetPendingCascades(item);
  if (item->extension) {
    if (item->extension->subMenu) vinstanceDestroy(item->extension->subMenu);
    vpoolFree(state()->extensions, item->extension);
    item->extension = nullptr;
  }
  freeTitle(item);
  super()->destroy(self);
}

void copyFields(vmenuItem* from, vmenuItem* to) {
  to->notifyFunc = from->notifyFunc;
  to->data = from->data;
  to->accelerator = from->accelerator;
  to->mnemonic = from->mnemonic;
  to->title = (from->flags & vmenuItemTITLE_OWNED) ? vstrClone(from->title) : from->title;
  if (from->extension) {
    vmenuItemExtension* e = extensionOf(to);
    e->font = from->extension->font;
    e->foreground = from->extension->foreground;
    e->subMenu = from->extension->subMenu ? static_cast<vmenu*>(vobjectClone(from->extension->subMenu)) : nullptr;
    e->pendingOpens = 0;
    e->openState = 0;
    if (e->subMenu) {
      vmenu* menu = vmenuItemGetMenu(to);
      vwindowClassOf(e->subMenu)->setParent(e->subMenu, menu ? menu->parent : nullptr);
    }
  }
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vmenuItem* from = asItem(source);
  vmenuItem* to = asItem(destination);
  vmenu* menu = vmenuItemGetMenu(to);
  bool mirrored = vmenuIsMirrored(menu);
  if (mirrored) vmswmenuDeleteItem(menu, to);
  super()->copy(source, destination);
  freeTitle(to);
  if (to->extension && to->extension->subMenu) {
    vinstanceDestroy(to->extension->subMenu);
    to->extension->subMenu = nullptr;
  }
  copyFields(from, to);
  to->flags = std::uint16_t((to->flags & ~0x1F) | (from->flags & 0x1F));
  if (mirrored) vmswmenuInsertMenuItem(menu, to, vobjectListIndexOf(to->owner, to));
  announce(to, vname_Size, nullptr, nullptr);
}

void copyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  vmenuItem* to = asItem(destination);
  vmenuItem* from = asItem(source);
  to->extension = nullptr;
  to->owner = nullptr;
  to->flags = 0;
  to->title = "";
  copyFields(from, to);
  to->flags = std::uint16_t(from->flags & 0x1F);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vmenuItem* item = asItem(self);
  item->notifyFunc = nullptr;
  item->data = 0;
  item->extension = nullptr;
  item->owner = nullptr;
  std::int32_t flags = 1;
  vresourceTestGetInteger(resource, vname_Flags, &flags);
  item->flags = std::uint16_t(flags & 15);
  vstr* title = nullptr;
  if (vresourceTestGetStringCopy(resource, vname_Title, &title)) {
    item->title = title;
    item->flags |= vmenuItemTITLE_OWNED;
  } else {
    item->title = "";
  }
  std::int32_t key = 0;
  vresourceTestGetInteger(resource, vname_Accelerator, &key);
  item->accelerator = std::uint32_t(key);
  char c = 0;
  vresourceTestGetCharacter(resource, vname_Mnemonic, &c);
  item->mnemonic = c;
  vresource r;
  if (vresourceTestGet(resource, vname_Font, &r)) extensionOf(item)->font = vfontLoad(r);
  if (vresourceTestGet(resource, vname_Foreground, &r)) extensionOf(item)->foreground = vcolorLoad(r);
  if (vresourceTestGet(resource, vname_SubMenu, &r)) 
    extensionOf(item)->subMenu = static_cast<vmenu*>(_vobjectLoadOfClass(r, vmenuGetDefaultClass()));
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vmenuItem* item = asItem(self);
  vresourceSetIntegerAt(resource, vname_Flags, item->flags & 15);
  auto put = [&](vname key, bool present, auto write) {
    if (present) write();
    else vresourceRemove(resource, key);
  };
  put(vname_Title, *item->title != 0, [&] { vresourceSetString(resource, vname_Title, vscribeLiteral(item->title)); });
  put(vname_Accelerator, item->accelerator != 0,
      [&] { vresourceSetInteger(resource, vname_Accelerator, std::int32_t(item->accelerator)); });
  put(vname_Mnemonic, item->mnemonic != 0, [&] { vresourceSetCharacter(resource, vname_Mnemonic, item->mnemonic); });
  vmenuItemExtension* e = item->extension;
  put(vname_Font, e && e->font, [&] { vfontStore(e->font, vresourceCreate(resource, vname_Font, vresDICTIONARY)); });
  put(vname_Foreground, e && e->foreground, [&] {
    vcolorStoreSpec(&e->foreground->desc, vresourceCreate(resource, vname_Foreground, vresDICTIONARY));
  });
  put(vname_SubMenu, e && e->subMenu, [&] {
    vclassRec<vobjectClassRec>(e->subMenu)->store(e->subMenu, vresourceCreate(resource, vname_SubMenu, vresDICTIONARY));
  });
}

void addContext(vobject* self, vdict* context) {
  if (vmenu* menu = vmenuItemGetMenu(asItem(self))) vobjectAttributedOf(menu)->addContext(menu, context);
  super()->addContext(self, context);
}

bool isToggleItem(const vmenuItem* item) { return (item->flags & vmenuItemTOGGLE) != 0; }

void setByIndex(vobject* self, int index, const void* value) {
  vmenuItem* item = asItem(self);
  vmenuItemClassRec* c = vmenuItemClassOf(item);
  auto name = static_cast<vname>(value);
  switch (index) {
    case aDATA: c->setData(item, reinterpret_cast<std::intptr_t>(value)); break;
    case aTITLE: c->setTitle(item, vscribeCString(static_cast<const char*>(value))); break;
    case aFONT: c->setFont(item, static_cast<vfont*>(const_cast<void*>(value))); break;
    case aFOREGROUND: c->setForeground(item, static_cast<vcolor*>(const_cast<void*>(value))); break;
    case aKEY: {
      auto* keys = static_cast<const vcommandKeyList*>(value);
      if (keys && keys->count > 0) c->setAccelerator(item, keys->count == 1 ? keys->key : keys->keys[keys->count - 1]);
      break;
    }
    case aACCELERATOR:
      if (value) c->setAccelerator(item, *static_cast<const std::uint32_t*>(value));
      break;
    case aMNEMONIC:
      if (value) c->setMnemonic(item, *static_cast<const char*>(value));
      break;
    case aSTATE:
      if (name == vname_Enabled) c->enable(item);
      else if (name == vname_Disabled) c->disable(item);
      break;
    case aEXCLUSIVE:
      if (isToggleItem(item)) c->setExclusive(item, name == vname_True);
      break;
    case aTOGGLE:
      if (isToggleItem(item)) c->setToggle(item, name == vname_On);
      break;
    default: break;
  }
}

const void* getByIndex(vobject* self, int index) {
  vmenuItem* item = asItem(self);
  switch (index) {
    case aDATA: return reinterpret_cast<const void*>(item->data);
    case aTITLE: return item->title;
    case aFONT: return item->extension ? item->extension->font : nullptr;
    case aFOREGROUND: return item->extension ? item->extension->foreground : nullptr;
    case aACCELERATOR: return &item->accelerator;
    case aMNEMONIC: return &item->mnemonic;
    case aSTATE: return stateName(vmenuItemIsEnabled(item));
    case aEXCLUSIVE: return isToggleItem(item) ? trueFalse(item->flags & vmenuItemEXCLUSIVE) : nullptr;
    case aTOGGLE: return isToggleItem(item) ? onOff(vmenuItemIsToggleOn(item)) : nullptr;
    default: return nullptr;
  }
}

int indexOf(vname name) {
  vdict* table = state()->attributes;
  return vdictHas(table, name) ? vdictGetInteger(table, name) : -1;
}

// A parent's change matters only where neither the item nor its class
// supplies its own value.
void inheritedChanged(vmenuItem* item, vname name, const void* value) {
  vmenuItemClassRec* c = vmenuItemClassOf(item);
  vmenuItemExtension* e = item->extension;
  bool matters = false;
  if (name == vname_Font) matters = !c->font && !(e && e->font);
  else if (name == vname_Foreground) matters = !c->foreground && !(e && e->foreground);
  else if (name == vname_ForegroundHilite) matters = !c->foregroundHilite;
  else if (name == vname_State) matters = vmenuItemIsEnabled(item);
  else if (name == vname_SystemFont) {
    vmenu* menu = vmenuItemGetMenu(item);
    if (vmenuIsMirrored(menu) && !(item->flags & vmenuItemNATIVE_TEXT)) vmswmenuInsertMenuItem(menu, item, -2);
  } else {
    matters = indexOf(name) >= 0;
  }
  if (matters) c->ownChanged(item, name, value);
}

void invalidate(vmenuItem* item, int flags) {
  vmenu* menu = vmenuItemGetMenu(item);
  if (!menu || !vwindowIsOpen(menu)) return;
  int index = vobjectListIndexOf(item->owner, item);
  if (index < 0 || !item->owner->geometry) return;
  vrect r;
  vmenuTextPosition text;
  vmenuItemListItemRect(item->owner, index, &r, &text);
  vwindowClassOf(menu)->inval(menu, &r, flags);
}

// An exclusive group is the run of items between separators.
void settleExclusiveGroup(vmenuItem* item) {
  vmenuItemList* list = item->owner;
  if (!list) return;
  int at = vobjectListIndexOf(list, item);
  constexpr std::uint16_t kOn = vmenuItemEXCLUSIVE | vmenuItemTOGGLE_ON | vmenuItemTOGGLE;
  for (int step : {-1, 1}) {
    for (int i = at + step; i >= 0 && i < vmenuItemListCount(list); i += step) {
      vmenuItem* other = vmenuItemListAt(list, i);
      if (vmenuItemIsSeparator(other)) break;
      if ((other->flags & kOn) == kOn) vmenuItemClassOf(other)->setToggle(other, 0);
    }
  }
}

void ownChanged(vmenuItem* item, vname name, const void* value) {
  int index = indexOf(name);
  vmenu* menu = vmenuItemGetMenu(item);
  if ((vlafGetCurrent()->flags & vlafNATIVE_MENU_BAR) && vmenuIsMirrored(menu) &&
      ((index >= 1 && index <= 6) || index == 8 || (index == 9 && (item->flags & vmenuItemNATIVE_TEXT))))
    vmswmenuItemAttributeChanged(menu, item, index);
  switch (index) {
    case aTITLE:
    case aFONT:
    case aLINE_WIDTH:
    case aACCELERATOR:
      vobjectSendValueChange(item, vname_Size, nullptr, nullptr);
      invalidate(item, 0);
      break;
    case aFOREGROUND:
    case aHILITE:
    case aSCHEME:
    case aSTATE: invalidate(item, 1); break;
    case aMNEMONIC: invalidate(item, 0); break;
    case aEXCLUSIVE:
    case aTOGGLE: {
      invalidate(item, 0);
      constexpr std::uint16_t kOn = vmenuItemEXCLUSIVE | vmenuItemTOGGLE_ON | vmenuItemTOGGLE;
      if ((item->flags & kOn) == kOn) settleExclusiveGroup(item);
      break;
    }
    default: break;
  }
  if (item->owner) {
    vdict d;
    vdictInit(&d, vdictHashName);
    vdictStore(&d, vname_Operand, item);
    vdictStore(&d, vname_Value, value);
    vobjectListClassOf(item->owner)->send(item->owner, name, &d);
    vdictFinish(&d);
  }
}

// Announcements come here: the item reacts to its own change.
void send(vobject* self, vname name, vdict* arguments) {
  vmenuItem* item = asItem(self);
  vmenuItemClassOf(item)->ownChanged(item, name, arguments ? vdictGet(arguments, vname_Value) : nullptr);
}

const void* findCommand(vobject* self, vname kind, vname tag) {
  if (const void* found = super()->findCommand(self, kind, tag)) return found;
  vmenu* menu = vmenuItemGetMenu(asItem(self));
  return menu ? vobjectAttributedOf(menu)->findCommand(menu, kind, tag) : nullptr;
}

void gatherCommands(vobject* self, vname tag, vdict* result) {
  super()->gatherCommands(self, tag, result);
  if (vmenu* menu = vmenuItemGetMenu(asItem(self))) vobjectAttributedOf(menu)->gatherCommands(menu, tag, result);
}

vobject* parent(vobject* self) { return vmenuItemGetMenu(asItem(self)); }

void enable(vmenuItem* item) {
  if (vmenuItemIsEnabled(item)) return;
  item->flags |= vmenuItemENABLED;
  announce(item, vname_State, vname_Disabled, vname_Enabled);
  vmswmenuSetItemEnabled(item, 1);
}
void disable(vmenuItem* item) {
  if (!vmenuItemIsEnabled(item)) return;
  item->flags &= ~vmenuItemENABLED;
  announce(item, vname_State, vname_Enabled, vname_Disabled);
  vmswmenuSetItemEnabled(item, 0);
}

void select(vmenuItem* item, vevent* event) {
  vmenuItem* outer = std::exchange(selecting, item);
  if (item->notifyFunc) item->notifyFunc(item, event);
  if (selecting == item && item->tag) vobjectIssueTag(item, item->tag, event);
  selecting = outer;
}

bool shownNatively(vmenuItem* item) {
  return (item->flags & vmenuItemNATIVE_TEXT) && vmenuIsMirrored(vmenuItemGetMenu(item));
}

// Both draw-normal and draw-highlighted: the item's colours and font in a
// saved state, the menu's disabled colours for a disabled item.
void drawThrough(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text,
                 vmenuItemLookDraw vmenuItemLook::*op) {
  if (shownNatively(item)) return;
  auto run = state()->look->*op;
  if (!run) return;
  vdrawGSave();
  vmenuItemClassOf(item)->setColors(item);
  if (!vmenuItemIsEnabled(item)) vmenuItemLookSetDisabledColors(item);
  run(item, rect, text);
  vdrawGRestore();
}
void drawNormal(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  drawThrough(item, rect, text, &vmenuItemLook::drawNormal);
}
void drawHighlighted(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  drawThrough(item, rect, text, &vmenuItemLook::drawHighlighted);
}

void setColors(vmenuItem* item) {
  vmenuItemClassRec* c = vmenuItemClassOf(item);
  vcolor* color = item->extension && item->extension->foreground ? item->extension->foreground : c->foreground;
  if (color) vdrawSetColor(color);
  vfont* font = item->extension && item->extension->font ? item->extension->font : c->font;
  if (font) vdrawSetFont(font);
}

std::int16_t rounded(vfixed v) { return std::int16_t((std::int64_t(v) + 0x8000) >> 16); }

void measure(vmenuItem* item, vmenuItemMeasure* out) {
  *out = vmenuItemMeasure{};
  vfont* font = vmenuItemGetFont(item);
  if (font) {
    out->titleWidth = rounded(vfontGetCharsWidth(font, item->title, int(std::strlen(item->title))));
    out->ascent = rounded(vfontGetDriver()->ascent(font));
  }
  if (item->accelerator) {
    vdrawGSave();
    vdrawBindPathDevice();
    if (font) vdrawSetFont(font);
    vdrawPathMoveTo(0, 0);
    vdrawKey(int(item->accelerator));
    int x, y;
    vdrawGetCurrentPointRounded(&x, &y);
    vdrawGRestore();
    out->rightWidth = std::int16_t(x);
  }
}

// Each class measures as the item, then through its own look operation.
template <int Kind>
void measureKind(vmenuItem* item, vmenuItemMeasure* out) {
  measure(item, out);
  if (auto op = state()->look->measure[Kind]) op(item, out);
}

void setData(vmenuItem* item, std::intptr_t data) {
  std::intptr_t old = item->data;
  item->data = data;
  announce(item, vname_Data, reinterpret_cast<const void*>(old), reinterpret_cast<const void*>(data));
}

void setTitle(vmenuItem* item, vscribe* title) {
  const char* text;
  bool owned;
  if (title->flags & vscribeLITERAL) {
    text = static_cast<const char*>(title->data);
    vscribeRelease(title);
    owned = false;
  } else {
    text = vstrCloneScribed(title, nullptr);
    owned = true;
  }
  const char* old = item->title;
  bool oldOwned = item->flags & vmenuItemTITLE_OWNED;
  bool differs = std::strcmp(old, text) != 0;
  item->title = text;
  item->flags = std::uint16_t(owned ? item->flags | vmenuItemTITLE_OWNED : item->flags & ~vmenuItemTITLE_OWNED);
  if (differs) announce(item, vname_Title, old, text);
  if (oldOwned) vstrDestroy(const_cast<char*>(old));
}

void setFont(vmenuItem* item, vfont* font) {
  vmenuItemExtension* e = extensionOf(item);
  if (e->font == font) return;
  vfont* old = e->font;
  e->font = font;
  announce(item, vname_Font, old, font);
}

void setForeground(vmenuItem* item, vcolor* color) {
  vmenuItemExtension* e = extensionOf(item);
  if (e->foreground == color) return;
  vcolor* old = e->foreground;
  e->foreground = color;
  announce(item, vname_Foreground, old, color);
}

vwindow* owningWindow(vmenuItem* item) {
  vmenu* menu = vmenuItemGetMenu(item);
  return menu ? menu->parent : nullptr;
}

void setSubMenu(vmenuItem* item, vmenu* menu) {
  vmenuItemExtension* e = extensionOf(item);
  vmenu* owner = vmenuItemGetMenu(item);
  if (e->subMenu && e->subMenu != menu) {
    if (vmenuIsMirrored(e->subMenu)) vmswmenuDestroyMenuMirror(e->subMenu, 1);
    vinstanceDestroy(e->subMenu);
  }
  e->subMenu = menu;
  // The item owns its sub-menu; the window only lends it a parent for
  // placement and colours.
  if (menu) menu->parent = owningWindow(item);
  if (vmenuIsMirrored(owner)) vmswmenuInsertMenuItem(owner, item, -2);
}

void setOwner(vmenuItem* item, vmenuItemList* owner) {
  item->owner = owner;
  if (item->extension && item->extension->subMenu) item->extension->subMenu->parent = owningWindow(item);
}

void setAccelerator(vmenuItem* item, std::uint32_t key) {
  if (item->accelerator == key) return;
  std::uint32_t old = item->accelerator;
  item->accelerator = key;
  announce(item, vname_Accelerator, &old, &item->accelerator);
}

void setMnemonic(vmenuItem* item, int character) {
  char c = char(character);
  if (item->mnemonic == c) return;
  char old = item->mnemonic;
  item->mnemonic = c;
  announce(item, vname_Mnemonic, &old, &item->mnemonic);
}

void setExclusive(vmenuItem* item, int on) {
  bool was = item->flags & vmenuItemEXCLUSIVE;
  if (was == bool(on)) return;
  item->flags ^= vmenuItemEXCLUSIVE;
  announce(item, vname_Exclusive, trueFalse(was), trueFalse(on));
}

void setToggle(vmenuItem* item, int on) {
  bool was = item->flags & vmenuItemTOGGLE_ON;
  if (was == bool(on)) return;
  item->flags ^= vmenuItemTOGGLE_ON;
  announce(item, vname_Toggle, onOff(was), onOff(on));
  vmswmenuSetItemToggle(item, on);
}

// Own colours first, then the class's, then the menu's window.
void getColors(vmenuItem* item, std::uint32_t mask, vcolorScheme* result) {
  vmenuItemClassRec* c = vmenuItemClassOf(item);
  result->mask = 0;
  vcolor* own[2] = {item->extension && item->extension->foreground ? item->extension->foreground : c->foreground,
                    c->foregroundHilite};
  const int indexes[2] = {vcolorFOREGROUND, vcolorFOREGROUND_HILITE};
  for (int k = 0; k < 2; ++k)
    if ((mask & vcolorSchemeBit(indexes[k])) && own[k]) {
      result->entries[indexes[k]] = own[k];
      result->mask |= vcolorSchemeBit(indexes[k]);
    }
  std::uint32_t rest = mask & ~result->mask;
  if (!rest) return;
  vcolorScheme more{};
  vmenu* menu = vmenuItemGetMenu(item);
  if (menu && vwindowClassOf(menu)->determineColors) {
    vcolorScheme none{};
    vwindowClassOf(menu)->determineColors(menu, &none, rest, &more);
  } else {
    vapplicationDetermineColorMask(vapplicationGetCurrent(), rest, &more);
  }
  vcolorMergeScheme(&more, rest, result);
}

bool matchesSysColors(vmenuItem* item) {
  const int indexes[4] = {vcolorFOREGROUND, vcolorBACKGROUND, vcolorFOREGROUND_HILITE, vcolorBACKGROUND_HILITE};
  const int roles[4] = {15, 14, 18, 17};
  vcolorScheme s{};
  vmenuItemClassOf(item)->getColors(item, vcolorMakeSchemeMask(indexes, 4), &s);
  for (int k = 0; k < 4; ++k)
    if (!s.entries[indexes[k]] || !vlafMatchesMSWSysColor(s.entries[indexes[k]], roles[k])) return false;
  return true;
}

bool prefOn(const char* name) { return vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name)) != nullptr; }

int canBeNative(vmenuItem* item) {
  if (prefOn("nativedrawmenubar")) return 1;
  if (prefOn("wexlindrawmenubar")) return 0;
  if (vmenuItemIsSeparator(item)) return 1;
  ItemState* s = state();
  if (item->cls != s->classes[0] && item->cls != s->classes[2] && item->cls != s->classes[4]) return 0;
  return matchesSysColors(item) && vwindowMSWIsSystemFont(vmenuItemGetFont(item), 1);
}

void draw(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (auto op = state()->look->drawBody) op(item, rect, text);
}
void drawSeparator(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (auto op = state()->look->drawSeparator) op(item, rect, text);
}
void drawToggle(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (auto op = state()->look->drawToggleMark) op(item, rect, text);
  if (vlafGetCurrent()->id != vlafOPEN_LOOK) draw(item, rect, text);
}
void drawPushPin(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (auto op = state()->look->drawPushPin) op(item, rect, text);
}
void drawSubMenu(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  draw(item, rect, text);
  if (vmenuIsMirrored(vmenuItemGetMenu(item))) return;
  if (auto op = state()->look->drawArrow) op(item, rect, text);
}

void separatorInit(vinstance* self) {
  state()->classes[0]->init(self);
  asItem(self)->flags &= ~vmenuItemENABLED;
}
void toggleInit(vinstance* self) {
  state()->classes[0]->init(self);
  asItem(self)->flags |= vmenuItemTOGGLE;
}
void nothingItem(vmenuItem*) {}
void nothingDraw(vmenuItem*, const vrect*, const vmenuTextPosition*) {}

// Naming a class of the family: the three defaults from the superclass,
// then the preferences' "Classes" entry of the name.
void named(vclass* cls) {
  vwindowEnsureStartup();
  auto* c = static_cast<vmenuItemClassRec*>(cls);
  if (vclassIsSubclass(cls->superclass, itemClass()) || cls->superclass == itemClass()) {
    auto* from = static_cast<vmenuItemClassRec*>(cls->superclass);
    c->font = from->font;
    c->foreground = from->foreground;
    c->foregroundHilite = from->foregroundHilite;
  }
  vprefDict* classes = vprefGetDict(vprefGetDefaultDict(), vscribeLiteral("Classes"));
  if (!classes) return;
  vprefDict* own = vprefGetDict(classes, vscribeLiteral(cls->name));
  vprefRelease(classes);
  if (!own) return;
  const char* font = vprefGetString(own, vscribeLiteral("Font"));
  c->font = font ? vfontFindScribe(vscribeCString(font)) : nullptr;
  vcolorScheme scheme{};
  vcolorLoadScheme(own, vcolorSchemeBit(vcolorFOREGROUND) | vcolorSchemeBit(vcolorFOREGROUND_HILITE), &scheme);
  if (scheme.mask & vcolorSchemeBit(vcolorFOREGROUND)) c->foreground = scheme.entries[vcolorFOREGROUND];
  if (scheme.mask & vcolorSchemeBit(vcolorFOREGROUND_HILITE))
    c->foregroundHilite = scheme.entries[vcolorFOREGROUND_HILITE];
  vprefRelease(own);
}

vdict* buildAttributes() {
  vdict* d = vdictCopy(vobjectGetAttributedClass()->attributes);
  vdictResize(d, 26);
  for (int i = 0; i < 24; i += 2) vdictStoreInteger(d, vcolorGetSchemeTag(i), aSCHEME);
  const vname names[] = {vname_Data,        vname_Title,     vname_Font,   vname_Foreground, vname_ForegroundHilite,
                         nullptr,           vname_LineWidth, vname_Key,    vname_Accelerator, vname_Mnemonic,
                         vname_State,       vname_Exclusive, vname_Toggle};
  for (int i = 0; i < 13; ++i)
    if (names[i]) vdictStoreInteger(d, names[i], i);
  return d;
}

vmenuItemClassRec* spawnKind(vclass* superclass, const char* name) {
  auto* c = vclassSpawnOf<vmenuItemClassRec>(superclass);
  vclassSetName(c, vscribeLiteral(name));
  return c;
}

void freeState() {
  auto* s = static_cast<ItemState*>(*stateSlot);
  if (!s) return;
  vdictDestroy(s->attributes);
  vpoolDestroy(s->extensions);
}

// The look's table and the slots that differ by look.
void applyLook(ItemState* s) {
  s->look = vmenuItemLookFor(vlafGetCurrent()->id);
  bool openLook = vlafGetCurrent()->id == vlafOPEN_LOOK;
  vmenuItemClassRec* sep = s->classes[1];
  sep->drawHighlighted = openLook ? nothingDraw : drawHighlighted;
  sep->drawNormal = openLook ? nothingDraw : drawNormal;
  s->classes[3]->drawHighlighted = drawHighlighted;
  s->classes[3]->drawNormal = drawNormal;
  vmenuItemLookOverride(s->classes);
}

ItemState* state() {
  if (auto* bound = vmoduleState<ItemState>(stateSlot)) return bound;
  auto* s = static_cast<ItemState*>(vmoduleBindSlot(stateSlot, sizeof(ItemState)));
  *s = ItemState{};
  vmoduleAddContextExitProc(freeState);
  s->attributes = buildAttributes();
  s->extensions = vpoolCreate(sizeof(vmenuItemExtension));

  auto* c = vclassSpawnOf<vmenuItemClassRec>(vobjectGetAttributedClass());
  s->classes[0] = c;
  c->named = named;
  vclassSetName(c, vscribeLiteral("vmenuItem"));
  c->instanceSize = sizeof(vmenuItem);
  c->attributes = s->attributes;
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
  c->findCommand = findCommand;
  c->gatherCommands = gatherCommands;
  c->parent = parent;
  c->inheritedChanged = inheritedChanged;
  c->ownChanged = ownChanged;
  c->enable = enable;
  c->disable = disable;
  c->select = select;
  c->draw = draw;
  c->drawHighlighted = drawHighlighted;
  c->drawNormal = drawNormal;
  c->setColors = setColors;
  c->measure = measureKind<0>;
  c->setData = setData;
  c->setTitle = setTitle;
  c->setFont = setFont;
  c->setForeground = setForeground;
  c->setSubMenu = setSubMenu;
  c->setOwner = setOwner;
  c->setAccelerator = setAccelerator;
  c->setMnemonic = setMnemonic;
  c->setExclusive = setExclusive;
  c->setToggle = setToggle;
  c->getColors = getColors;
  c->canBeNative = canBeNative;

  vmenuItemClassRec* sep = s->classes[1] = spawnKind(c, "vmenuSeparatorItem");
  sep->init = separatorInit;
  sep->draw = drawSeparator;
  sep->measure = measureKind<1>;
  sep->enable = nothingItem;
  vmenuItemClassRec* toggle = s->classes[2] = spawnKind(c, "vmenuToggleItem");
  toggle->init = toggleInit;
  toggle->draw = drawToggle;
  toggle->measure = measureKind<2>;
  vmenuItemClassRec* pin = s->classes[3] = spawnKind(c, "vmenuPushPinItem");
  pin->draw = drawPushPin;
  pin->measure = measureKind<3>;
  vmenuItemClassRec* sub = s->classes[4] = spawnKind(c, "vmenuSubMenuItem");
  sub->draw = drawSubMenu;
  sub->measure = measureKind<4>;
  applyLook(s);
  return s;
}

// Items with a deferred cascade opening on its way, once per posted event:
// an item destroyed meanwhile leaves the list, and its events do nothing.
std::vector<vmenuItem*> pendingCascades;
void forgetPendingCascades(vmenuItem* item) { std::erase(pendingCascades, item); }

void cascadeClosed(vmenuItem* parent, vevent*) {
  if (parent && parent->extension) parent->extension->openState = 0;
}

int deferredCascade(vevent* event) {
  auto* item = static_cast<vmenuItem*>(event->data);
  auto at = std::find(pendingCascades.begin(), pendingCascades.end(), item);
  if (at == pendingCascades.end()) return 1;
  pendingCascades.erase(at);
  vmenuItemExtension* e = extensionOf(item);
  if (--e->pendingOpens > 0) return 1;
  e->pendingOpens = 0;
  vmenu* menu = vmenuItemGetMenu(item);
  vmenu* sub = e->subMenu;
  if (!menu || !sub || vwindowIsOpen(sub) || vmenuItemListGetCurrent(item->owner) != item) return 1;
  if (vmenuItemListClassOf(item->owner)->openCurrentCascade(item->owner, event)) {
    vmenuClassOf(sub)->setPopupHook(sub, cascadeClosed);
    e->openState = 2;
  }
  return 1;
}

}  // namespace

void vmenuItemDeferCascade(vmenuItem* item) {
  vmenu* sub = vmenuGetItemSubMenu(item);
  if (!sub || !item->owner || !vmenuItemGetMenu(item) || vwindowIsOpen(sub)) return;
  ++extensionOf(item)->pendingOpens;
  pendingCascades.push_back(item);
  veventPostDelayed(veventCreateClient(deferredCascade, item), 0, 50000000);
}

vmenuItemClassRec* vmenuGetDefaultItemClass() { return state()->classes[0]; }
vmenuItemClassRec* vmenuGetDefaultSeparatorItemClass() { return state()->classes[1]; }
vmenuItemClassRec* vmenuGetDefaultToggleItemClass() { return state()->classes[2]; }
vmenuItemClassRec* vmenuGetDefaultPushPinItemClass() { return state()->classes[3]; }
vmenuItemClassRec* vmenuGetDefaultSubMenuItemClass() { return state()->classes[4]; }
const vmenuItemLook* vmenuItemGetLook() { return state()->look; }
void _vmenuItemChooseLook() { applyLook(state()); }
const std::int16_t* vmenuItemGetLookMetrics() { return state()->look->metrics; }

vmenuItem* vmenuItemCreate(vmenuItemClassRec* cls) { return asItem(vinstanceCreate(cls)); }

vmenu* vmenuGetItemSubMenu(vmenuItem* item) { return item->extension ? item->extension->subMenu : nullptr; }

vmenu* vmenuItemGetMenu(vmenuItem* item) { return item->owner ? item->owner->owner : nullptr; }

vfont* vmenuItemGetFont(vmenuItem* item) {
  if (item->extension && item->extension->font) return item->extension->font;
  if (vfont* f = vmenuItemClassOf(item)->font) return f;
  vmenu* menu = vmenuItemGetMenu(item);
  if (menu && menu->extension && menu->extension->font) return menu->extension->font;
  if (menu && vwindowClassOf(menu)->font) return vwindowClassOf(menu)->font;
  return vapplicationGetFont(vapplicationGetCurrent());
}

bool vmenuItemIsSeparator(const vmenuItem* item) {
  return vclassIsSubclass(item->cls, vmenuGetDefaultSeparatorItemClass()) != 0;
}

int vmenuItemIsSelectable(vmenuItem* item) {
  auto op = state()->look->isSelectable;
  return op ? op(item) : vmenuItemIsEnabled(item);
}

void vmenuItemDrawCentred(vmenuItem* item, const vrect* r, vfont* font) {
  vdrawGSave();
  vdrawClipRects(r, 1);
  if (font) vdrawSetFont(font);
  vmenuItemClassOf(item)->setColors(item);
  vmenuItemMeasure m{};
  vmenuItemMeasureInto(item, &m);
  vmenuTextPosition text{std::int16_t(r->x + (r->width - m.titleWidth) / 2), std::int16_t(r->y + (r->height - m.ascent) / 2),
                         std::int16_t(m.titleWidth + 8), r->height};
  vmenuItemClassOf(item)->draw(item, r, &text);
  vdrawGRestore();
}
