// A dialog item: its record of attributes, its object slots (copy, load,
// store, attributes by index, announcements), its item slots, its class and
// module, and its state and key maps.
#include "fw/widgets/dialog/item.h"

#include <cstdlib>
#include <cstring>

#include "fw/core/cp1252.h"
#include "fw/core/ex.h"
#include "fw/data/pref.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

struct ItemState {
  vdialogItemClassRec* classes[4];  // item, label, line, box
  vdict* attributes;
  vpool* records;
  vdialogItemNotifyFunc globalNotify;
  vdict* classKeys;  // key code + 1 -> command tag, from the class's space
  vdialogItemPress cuaPress, win95Press;
};
void** stateSlot = nullptr;
ItemState* state();

vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vdialogItem* asItem(vinstance* o) { return static_cast<vdialogItem*>(o); }

vdialogItemAttributes* recordOf(vdialogItem* item) {
  if (!item->attributes) {
    item->attributes = vpoolAllocOf<vdialogItemAttributes>(state()->records);
    *item->attributes = vdialogItemAttributes{};
  }
  return item->attributes;
}

void announce(vdialogItem* item, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(item, name, oldValue, newValue);
}
vname stateName(bool on) { return on ? vname_Enabled : vname_Disabled; }
vname trueFalse(bool on) { return on ? vname_True : vname_False; }
bool has(const vdialogItem* item, std::uint16_t bit) { return (item->flags & bit) != 0; }
void put(vdialogItem* item, std::uint16_t bit, bool on) {
  item->flags = std::uint16_t(on ? item->flags | bit : item->flags & ~bit);
}

void freeTitle(vdialogItem* item) {
  if (has(item, vdialogItemTITLE_OWNED)) vstrDestroy(const_cast<char*>(item->title));
  put(item, vdialogItemTITLE_OWNED, false);
  item->title = "";
}

void destroyDicts(vdialogItemAttributes* a) {
  if (a->keyMap) vdictDestroy(a->keyMap);
  if (a->mnemonicMap) vdictDestroy(a->mnemonicMap);
  a->keyMap = a->mnemonicMap = nullptr;
}

// What the item holds through its record, released as destroy does.
void releaseRecord(vdialogItem* item) {
  vdialogItemAttributes* a = item->attributes;
  if (!a) return;
  if (a->cursor && has(item, vdialogItemCURSOR_OWNED)) vinstanceDestroy(a->cursor);
  if (a->menu) vinstanceDestroy(a->menu);
  if (a->image && has(item, vdialogItemIMAGE_OWNED)) vinstanceDestroy(a->image);
  if (a->space) {
    if (has(item, vdialogItemSPACE_OWNED)) vinstanceDestroy(a->space);
    else vcommandSpaceDetach(a->space, item);
  }
  destroyDicts(a);
  *a = vdialogItemAttributes{};
  item->flags &= std::uint16_t(~(vdialogItemCURSOR_OWNED | vdialogItemIMAGE_OWNED | vdialogItemSPACE_OWNED));
}

void dropRecord(vdialogItem* item) {
  releaseRecord(item);
  if (item->attributes) vpoolFree(state()->records, item->attributes);
  item->attributes = nullptr;
}

// The key a mnemonic answers to in the owner's maps, 0 when the look draws
// no mnemonics.
std::uintptr_t mnemonicKey(const vdialogItem* item) {
  const vlaf* look = vlafGetCurrent();
  if (!item->mnemonic || !(look->flags & vlafMNEMONICS)) return 0;
  std::uint32_t code = cp1252::lower[item->mnemonic & 0xFF];
  return (std::uintptr_t(code) << 16 | look->mnemonicModifiers) + 1;
}

void registerMnemonic(vdialogItem* item, bool on) {
  std::uintptr_t key = mnemonicKey(item);
  vdialogItemList* list = item->owner;
  if (!key || !list) return;
  auto k = reinterpret_cast<const void*>(key);
  vdictStore(list->effective.keyMap(list->owner), k, on ? vname_Mnemonic : nullptr);
  vdictStore(list->effective.mnemonicMap(list->owner), k, on ? item : nullptr);
}

// The menu's accelerators: "Accelerator" in the owner's key map, the item
// in its mnemonic map (cleared with off).
void registerMenu(vdialogItem* item, vmenu* menu, bool on) {
  vdialogItemList* list = item->owner;
  if (!menu || !list) return;
  vmenuCollectAccelerators(menu, on ? vname_Accelerator : nullptr, list->effective.keyMap(list->owner));
  vmenuCollectAccelerators(menu, on ? item : nullptr, list->effective.mnemonicMap(list->owner));
}

// The item's cursor (else the class's) for its rectangle in the window,
// remembered so that it can be removed or moved.
vobject* ownCursor(const vdialogItem* item) {
  if (item->attributes && item->attributes->cursor) return item->attributes->cursor;
  return vdialogItemClassOf(item)->cursor;
}
vwindow* windowOf(const vdialogItem* item) {
  vdialogItemList* list = item->owner;
  return list ? list->effective.window(list->owner) : nullptr;
}
void registerCursor(vdialogItem* item, vobject* cursor) {
  vwindow* window = windowOf(item);
  if (!cursor || !window) return;
  vrect r = item->rect;
  vdialogItemListTransformRect(item->owner, &r);
  vwindowAddCursorRect(window, cursor, &r);
  recordOf(item)->cursorRegion.rect = r;
}
void unregisterCursor(vdialogItem* item, vobject* cursor) {
  vwindow* window = windowOf(item);
  if (!cursor || !window || !item->attributes) return;
  vexGuard([&] { vwindowRemoveCursorRect(window, cursor, &item->attributes->cursorRegion.rect); },
           [](vexHandler& h) { vexSetCurrentException(h.savedChain); });  // never registered
}

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vdialogItem* item = asItem(self);
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  item->notifyFunc = nullptr;
  item->data = 0;
  item->title = "";
  item->attributes = nullptr;
  item->owner = nullptr;
  item->mnemonic = 0;
  item->flags = vdialogItemNEW_FLAGS;
  item->rect = vrect{0, 0, c->defaultWidth, c->defaultHeight};
}

void destroy(vinstance* self) {
  vdialogItem* item = asItem(self);
  if (has(item, vdialogItemOPEN)) vdialogCloseItem(item);
  // Still listed: the list must not keep a pointer to freed memory.
  if (item->owner) vobjectListRemove(item->owner, item);
  dropRecord(item);
  freeTitle(item);
  super()->destroy(self);
}

// Values the source holds through its record, as the destination takes them.
void copyRecord(vdialogItem* from, vdialogItem* to) {
  vdialogItemAttributes* s = from->attributes;
  vdialogItemAttributes* d = recordOf(to);
  auto cloneOr = [](vobject* o, bool owned) { return o && owned ? vobjectClone(o) : o; };
  d->cursor = cloneOr(s->cursor, has(from, vdialogItemCURSOR_OWNED));
  d->image = static_cast<vimage*>(cloneOr(s->image, has(from, vdialogItemIMAGE_OWNED)));
  d->space = static_cast<vcommandSpace*>(cloneOr(s->space, has(from, vdialogItemSPACE_OWNED)));
  d->menu = s->menu ? static_cast<vmenu*>(vobjectClone(s->menu)) : nullptr;
  d->font = s->font;
  d->foreground = s->foreground;
  d->background = s->background;
  d->keyMap = s->keyMap ? vdictCopy(s->keyMap) : nullptr;
  d->mnemonicMap = s->mnemonicMap ? vdictCopy(s->mnemonicMap) : nullptr;
  d->cursorRegion = s->cursorRegion;
  if (d->space) vcommandSpaceAttach(d->space, to);
}

void copyFields(vdialogItem* from, vdialogItem* to) {
  to->notifyFunc = from->notifyFunc;
  to->data = from->data;
  to->mnemonic = from->mnemonic;
  to->rect = from->rect;
  to->title = has(from, vdialogItemTITLE_OWNED) ? vstrClone(from->title) : from->title;
  if (from->attributes) copyRecord(from, to);
}

void copy(vobject* source, vobject* destination) {
  // Onto itself, the release below would free what it then clones.
  if (source == destination) return;
  vdialogItem* from = asItem(source);
  vdialogItem* to = asItem(destination);
  vdialogInvalItem(to, 0);
  super()->copy(source, destination);
  freeTitle(to);
  if (from->attributes) releaseRecord(to);
  else dropRecord(to);
  copyFields(from, to);
  to->flags = std::uint16_t((from->flags & vdialogItemCOPIED_FLAGS) | (to->flags & vdialogItemKEPT_FLAGS));
  vdialogInvalItem(to, 0);
}

void copyInit(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copyInit(source, destination);
  vdialogItem* from = asItem(source);
  vdialogItem* to = asItem(destination);
  to->attributes = nullptr;
  to->owner = nullptr;
  to->flags = 0;
  to->title = "";
  copyFields(from, to);
  to->flags = std::uint16_t(from->flags & vdialogItemCOPIED_FLAGS);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vdialogItem* item = asItem(self);
  std::int32_t flags = 0;
  vresourceTestGetInteger(resource, vname_Flags, &flags);
  item->flags = std::uint16_t(flags & vdialogItemSTORED_FLAGS);
  vstr* title = nullptr;
  if (vresourceTestGetStringCopy(resource, vname_Title, &title)) {
    item->title = title;
    item->flags |= vdialogItemTITLE_OWNED;
  } else {
    item->title = "";
  }
  char c = 0;
  vresourceTestGetCharacter(resource, vname_Mnemonic, &c);
  item->mnemonic = static_cast<unsigned char>(c);
  item->rect = vrect{};
  vresource r;
  if (vresourceTestGet(resource, vname_Rect, &r)) vresourceLoadRect(&item->rect, r);
  item->notifyFunc = nullptr;
  item->data = 0;
  item->attributes = nullptr;
  item->owner = nullptr;
  vdialogItemAttributes a{};
  // A stored object of a class that cannot serve is left out; whatever
  // was loaded goes again when a later entry raises.
  // The entry's own class is loaded, never a stand-in for its resource.
  auto object = [&](vname key, vclass* expected) -> vobject* {
    vresource stored;
    if (!vresourceTestGet(resource, key, &stored)) return nullptr;
    if (!vclassIsSubclass(vobjectFindResourceClass(stored), expected)) return nullptr;
    return vobjectLoad(stored);
  };
  vexGuard(
      [&] {
        // The cursor is an object resource naming its class.
        if ((a.cursor = object(vname_Cursor, vimageGetDefaultClass()))) item->flags |= vdialogItemCURSOR_OWNED;
        a.menu = static_cast<vmenu*>(object(vname_Menu, vmenuGetDefaultClass()));
        if (vresourceTestGet(resource, vname_Font, &r)) a.font = vfontLoad(r);
        if (vresourceTestGet(resource, vname_Foreground, &r)) a.foreground = vcolorLoad(r);
        if (vresourceTestGet(resource, vname_Background, &r)) a.background = vcolorLoad(r);
        if (vresourceTestGet(resource, vname_Image, &r)) {
          a.image = vimageLoad(r);
          item->flags |= vdialogItemIMAGE_OWNED;
        }
        if (vresourceTestGet(resource, vname_Space, &r)) {
          a.space = vcommandSpaceLoad(r);
          item->flags |= vdialogItemSPACE_OWNED;
        }
      },
      [&](vexHandler&) {
        for (vinstance* owned : {static_cast<vinstance*>(a.cursor), static_cast<vinstance*>(a.menu),
                                 static_cast<vinstance*>(a.image), static_cast<vinstance*>(a.space)})
          if (owned) vinstanceDestroy(owned);
        item->flags &= std::uint16_t(~(vdialogItemCURSOR_OWNED | vdialogItemIMAGE_OWNED | vdialogItemSPACE_OWNED));
        _vexGenerate(nullptr, vexEnd);
      });
  if (a.cursor || a.menu || a.font || a.foreground || a.background || a.image || a.space) {
    *recordOf(item) = a;
    if (a.space) vcommandSpaceAttach(a.space, item);
  }
}

void storeObject(vobject* o, vresource resource, vname key) {
  vclassRec<vobjectClassRec>(o)->store(o, vresourceCreate(resource, key, vresDICTIONARY));
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vdialogItem* item = asItem(self);
  auto write = [&](vname key, bool present, auto writer) {
    if (present) writer();
    else vresourceRemoveIfPresent(resource, key);
  };
  vresourceSetIntegerAt(resource, vname_Flags, item->flags & vdialogItemSTORED_FLAGS);
  write(vname_Title, *item->title != 0,
        [&] { vresourceSetString(resource, vname_Title, vscribeLiteral(item->title)); });
  write(vname_Mnemonic, item->mnemonic != 0,
        [&] { vresourceSetCharacter(resource, vname_Mnemonic, char(item->mnemonic & 0xFF)); });
  vresourceStoreRect(&item->rect, vresourceCreateArray(resource, vname_Rect, vresINTEGER, 4));
  const vdialogItemAttributes none{};
  const vdialogItemAttributes& a = item->attributes ? *item->attributes : none;
  write(vname_Cursor, a.cursor && has(item, vdialogItemCURSOR_OWNED),
        [&] { storeObject(a.cursor, resource, vname_Cursor); });
  write(vname_Menu, a.menu != nullptr, [&] { storeObject(a.menu, resource, vname_Menu); });
  write(vname_Font, a.font != nullptr,
        [&] { vfontStore(a.font, vresourceCreate(resource, vname_Font, vresDICTIONARY)); });
  write(vname_Foreground, a.foreground != nullptr, [&] {
    vcolorStoreSpec(&a.foreground->desc, vresourceCreate(resource, vname_Foreground, vresDICTIONARY));
  });
  write(vname_Background, a.background != nullptr, [&] {
    vcolorStoreSpec(&a.background->desc, vresourceCreate(resource, vname_Background, vresDICTIONARY));
  });
  write(vname_Image, a.image && has(item, vdialogItemIMAGE_OWNED), [&] { storeObject(a.image, resource, vname_Image); });
  write(vname_Space, a.space && has(item, vdialogItemSPACE_OWNED), [&] { storeObject(a.space, resource, vname_Space); });
}

void setByIndex(vobject* self, int index, const void* value) {
  vdialogItem* item = asItem(self);
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  auto name = static_cast<vname>(value);
  auto ptr = [&] { return const_cast<void*>(value); };
  switch (index) {
    case vdialogItemA_DATA: c->setData(item, reinterpret_cast<std::intptr_t>(value)); break;
    case vdialogItemA_TITLE: c->setTitle(item, vscribeCString(static_cast<const char*>(value))); break;
    case vdialogItemA_CURSOR: c->setCursor(item, static_cast<vobject*>(ptr())); break;
    case vdialogItemA_FONT: c->setFont(item, static_cast<vfont*>(ptr())); break;
    case vdialogItemA_FOREGROUND: c->setForeground(item, static_cast<vcolor*>(ptr())); break;
    case vdialogItemA_BACKGROUND: c->setBackground(item, static_cast<vcolor*>(ptr())); break;
    case vdialogItemA_IMAGE: c->setImage(item, static_cast<vimage*>(ptr())); break;
    case vdialogItemA_MNEMONIC:
      if (value) c->setMnemonic(item, *static_cast<const std::uint16_t*>(value));
      break;
    case vdialogItemA_SHOWN: name == vname_True ? c->show(item) : c->hide(item); break;
    case vdialogItemA_STATE:
      if (name == vname_Enabled) c->enable(item);
      else if (name == vname_Disabled) c->disable(item);
      break;
    case vdialogItemA_BORDER: c->setBorder(item, name == vname_True); break;
    case vdialogItemA_IMAGE_MASK: c->setImageMask(item, name == vname_True); break;
    case vdialogItemA_RECT:
      if (value) c->setRect(item, static_cast<const vrect*>(value));
      break;
    default: break;
  }
}

const void* getByIndex(vobject* self, int index) {
  vdialogItem* item = asItem(self);
  const vdialogItemAttributes* a = item->attributes;
  switch (index) {
    case vdialogItemA_DATA: return reinterpret_cast<const void*>(item->data);
    case vdialogItemA_TITLE: return item->title;
    case vdialogItemA_CURSOR: return a ? a->cursor : nullptr;
    case vdialogItemA_FONT: return a ? a->font : nullptr;
    case vdialogItemA_FOREGROUND: return a ? a->foreground : nullptr;
    case vdialogItemA_BACKGROUND: return a ? a->background : nullptr;
    case vdialogItemA_IMAGE: return a ? a->image : nullptr;
    case vdialogItemA_MNEMONIC: return &item->mnemonic;
    case vdialogItemA_SHOWN: return trueFalse(has(item, vdialogItemSHOWN));
    case vdialogItemA_STATE: return stateName(has(item, vdialogItemENABLED));
    case vdialogItemA_BORDER: return trueFalse(has(item, vdialogItemBORDER));
    case vdialogItemA_IMAGE_MASK: return trueFalse(has(item, vdialogItemIMAGE_MASK));
    case vdialogItemA_RECT: return &item->rect;
    default: return nullptr;
  }
}

int indexOf(vname name) {
  vdict* table = state()->attributes;
  return vdictHas(table, name) ? vdictGetInteger(table, name) : -1;
}

void sendMinSize(vdialogItem* item) { vobjectSendValueChange(item, vname_MinSize, nullptr, nullptr); }

// The item's own reaction to one of its announcements.
void ownChanged(vdialogItem* item, vname name, const void* oldValue, const void* newValue) {
  switch (indexOf(name)) {
    case vdialogItemA_TITLE:
    case vdialogItemA_FONT:
    case vdialogItemA_LINE_WIDTH:
    case vdialogItemA_BORDER:
      sendMinSize(item);
      vdialogInvalItem(item, 0);
      break;
    case vdialogItemA_MENU:
      sendMinSize(item);
      if (has(item, vdialogItemOPEN)) {
        registerMenu(item, static_cast<vmenu*>(const_cast<void*>(oldValue)), false);
        registerMenu(item, static_cast<vmenu*>(const_cast<void*>(newValue)), true);
      }
      vdialogInvalItem(item, 0);
      break;
    case vdialogItemA_CURSOR:
      if (has(item, vdialogItemOPEN) && has(item, vdialogItemSHOWN)) {
        auto* old = static_cast<vobject*>(const_cast<void*>(oldValue));
        unregisterCursor(item, old ? old : vdialogItemClassOf(item)->cursor);
        registerCursor(item, ownCursor(item));
      }
      break;
    case vdialogItemA_FOREGROUND:
    case vdialogItemA_FOREGROUND_HILITE:
    case vdialogItemA_BACKGROUND:
    case vdialogItemA_BACKGROUND_HILITE:
    case vdialogItemA_SCHEME:
    case vdialogItemA_STATE: vdialogInvalItem(item, 1); break;
    case vdialogItemA_IMAGE: {
      sendMinSize(item);
      auto* image = static_cast<const vimage*>(newValue);
      vdialogInvalItem(item, image && !image->mask ? 1 : 0);
      break;
    }
    case vdialogItemA_MNEMONIC:
    case vdialogItemA_IMAGE_MASK: vdialogInvalItem(item, 0); break;
    case vdialogItemA_SHOWN:
      if (newValue == vname_False) {
        // Erased: drawn once more as shown with the erase flag.
        item->flags |= vdialogItemSHOWN;
        vdialogInvalItem(item, 0);
        item->flags &= std::uint16_t(~vdialogItemSHOWN);
        if (has(item, vdialogItemOPEN)) unregisterCursor(item, ownCursor(item));
      } else {
        vdialogInvalItem(item, 1);
        if (has(item, vdialogItemOPEN)) registerCursor(item, ownCursor(item));
      }
      break;
    case vdialogItemA_RECT:
      if (has(item, vdialogItemOPEN) && has(item, vdialogItemSHOWN) && ownCursor(item)) {
        unregisterCursor(item, ownCursor(item));
        registerCursor(item, ownCursor(item));
      }
      if (oldValue) {
        vrect now = item->rect;
        item->rect = *static_cast<const vrect*>(oldValue);
        vdialogInvalItem(item, 0);
        item->rect = now;
      }
      vdialogInvalItem(item, 0);
      break;
    default: break;
  }
  if (item->owner) _vdialogItemListItemChanged(item->owner, item, name);
}

void send(vobject* self, vname name, vdict* arguments) {
  ownChanged(asItem(self), name, arguments ? vdictGet(arguments, vname_OldValue) : nullptr,
             arguments ? vdictGet(arguments, vname_Value) : nullptr);
}

// An owner's change reaches the item only where the item takes the value
// from the owner; it is not passed back up. The owner's rectangle moves
// the item's cursor area.
void inheritedChanged(vobject* self, vname name, vdict*) {
  vdialogItem* item = asItem(self);
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  const vdialogItemAttributes* a = item->attributes;
  switch (indexOf(name)) {
    case vdialogItemA_FONT:
      if (c->font || (a && a->font)) return;
      sendMinSize(item);
      vdialogInvalItem(item, 0);
      return;
    case vdialogItemA_FOREGROUND:
      if (c->foreground || (a && a->foreground)) return;
      break;
    case vdialogItemA_BACKGROUND:
      if (c->background || (a && a->background)) return;
      break;
    case vdialogItemA_FOREGROUND_HILITE:
      if (c->foregroundHilite) return;
      break;
    case vdialogItemA_BACKGROUND_HILITE:
      if (c->backgroundHilite) return;
      break;
    case vdialogItemA_SCHEME: break;
    case vdialogItemA_SHOWN:
      if (!has(item, vdialogItemSHOWN)) return;
      break;
    case vdialogItemA_STATE:
      if (!has(item, vdialogItemENABLED)) return;
      break;
    case vdialogItemA_LINE_WIDTH:
      sendMinSize(item);
      vdialogInvalItem(item, 0);
      return;
    case vdialogItemA_RECT:
    case vdialogItemA_BOUNDS:
      if (has(item, vdialogItemOPEN) && has(item, vdialogItemSHOWN) && ownCursor(item)) {
        unregisterCursor(item, ownCursor(item));
        registerCursor(item, ownCursor(item));
      }
      return;
    default: return;
  }
  vdialogInvalItem(item, 1);
}

vobject* parent(vobject* self) {
  vdialogItem* item = asItem(self);
  return item->owner ? item->owner->owner : nullptr;
}

// ---- Item slots.
void open(vdialogItem* item) {
  if (has(item, vdialogItemOPEN)) return;
  if (has(item, vdialogItemSHOWN)) registerCursor(item, ownCursor(item));
  item->flags |= vdialogItemOPEN;
  registerMnemonic(item, true);
  if (item->attributes) registerMenu(item, item->attributes->menu, true);
  if (item->attributes && item->attributes->space)
    vcommandSpaceVisitKeys(item->attributes->space, vdialogGetItemKeyMap(item));
}

void close(vdialogItem* item) {
  if (!has(item, vdialogItemOPEN)) return;
  registerMnemonic(item, false);
  if (item->attributes) registerMenu(item, item->attributes->menu, false);
  if (item->attributes) destroyDicts(item->attributes);
  if (has(item, vdialogItemSHOWN)) unregisterCursor(item, ownCursor(item));
  item->flags &= std::uint16_t(~vdialogItemOPEN);
}

// Show/hide and enable/disable: silent when already so.
template <std::uint16_t Bit, bool On>
void switchFlag(vdialogItem* item) {
  if (has(item, Bit) == On) return;
  put(item, Bit, On);
  if constexpr (Bit == vdialogItemSHOWN) announce(item, vname_Shown, trueFalse(!On), trueFalse(On));
  else announce(item, vname_State, stateName(!On), stateName(On));
}

// The focus is drawn at once, outside any update: the caller's drawing
// state and its binding come back afterwards, so no window stays bound.
void drawFocusNow(vdialogItem* item) {
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  vdrawGSave();
  vexGuard(
      [&] {
        c->setDrawingState(item);
        c->drawFocus(item);
      },
      [](vexHandler&) {
        vdrawGRestore();
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawGRestore();
}

void focus(vdialogItem* item) {
  if (has(item, vdialogItemFOCUSED)) return;
  item->flags |= vdialogItemFOCUSED;
  if (vdialogItemIsActive(item)) drawFocusNow(item);
}

void unfocus(vdialogItem* item) {
  if (!has(item, vdialogItemFOCUSED)) return;
  item->flags &= std::uint16_t(~vdialogItemFOCUSED);
  if (vdialogItemIsShown(item)) drawFocusNow(item);
}

template <std::uint16_t Bit, bool On>
void flagOnly(vdialogItem* item) {
  put(item, Bit, On);
}
template <std::uint16_t Bit>
void flagSetter(vdialogItem* item, int on) {
  put(item, Bit, on != 0);
}

void invalRect(vdialogItem* item, const vrect* rect, int flags) {
  if (!has(item, vdialogItemSHOWN) || !has(item, vdialogItemOPEN)) return;
  vdialogItemList* list = item->owner;
  if (!list || !list->effective.isOpen(list->owner)) return;
  vwindow* window = list->effective.window(list->owner);
  if (!window) return;
  vrect r = *rect;
  vdialogItemListTransformRect(list, &r);
  if (r.width > 0 && r.height > 0) vwindowClassOf(window)->inval(window, &r, flags);
}

// The window moves the pixels it can and redraws the pieces it uncovers.
void scrollRect(vdialogItem* item, const vrect* rect, int dx, int dy, int flags) {
  if (!vdialogItemIsShown(item)) return;
  vdialogItemList* list = item->owner;
  vwindow* window = list ? list->effective.window(list->owner) : nullptr;
  if (!window) return;
  vrect r = *rect, visible, inside;
  vdialogItemListTransformRect(list, &r);
  list->effective.visible(list->owner, &visible);
  vrectIntersect(&r, &visible, &inside);
  if (inside.width > 0 && inside.height > 0) vwindowClassOf(window)->scroll(window, &inside, dx, dy, flags);
}

void notifyItem(vdialogItem* item, vevent* event) {
  if (vdialogItemNotifyFunc hook = state()->globalNotify) hook(item, event);
  if (item->notifyFunc) item->notifyFunc(item, event);
  if (item->tag) vobjectIssueTag(item, item->tag, event);
}

void zeroSize(vdialogItem*, int* w, int* h) { *w = *h = 0; }
void keepSize(vdialogItem*, int*, int*) {}

int spacing(vdialogItem* item, vdialogItem*, int) {
  const vlaf* look = vlafGetCurrent();
  if ((look->flags & vlafBORDERED_ITEMS) && has(item, vdialogItemBORDER))
    return (look->flags & vlaf3D) ? 0 : -look->lineWidth;
  return 5;
}

void nothing(vdialogItem*) {}

// The item's own colours and font, each falling back to the class's; a
// disabled item (itself or through an owner) draws in its scheme's disabled
// foreground pair, as the list sets it for the items without colours.
void applyDrawingAttributes(vdialogItem* item) {
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  const vdialogItemAttributes* a = item->attributes;
  vcolor* fg = a && a->foreground ? a->foreground : c->foreground;
  vcolor* bg = a && a->background ? a->background : c->background;
  vfont* font = a && a->font ? a->font : c->font;
  if (fg || bg) {
    if (vdialogItemIsEnabled(item)) {
      if (fg) vdrawSetColor(fg);
      if (bg) vdrawSetSecondColor(bg);
    } else {
      vcolorScheme s{};
      vdialogDetermineItemScheme(item, 10, &s);
      if (s.mask & 2) vdrawSetColor(s.entries[1]);
      if (s.mask & 8) vdrawSetSecondColor(s.entries[3]);
    }
  }
  if (font) vdrawSetFont(font);
}

// Open and shown in a list: the owner's state, then the item's own. Else
// the item alone decides the state.
void setDrawingState(vdialogItem* item) {
  vdialogItemList* list = item->owner;
  if (list && has(item, vdialogItemOPEN) && has(item, vdialogItemSHOWN)) {
    list->effective.setDrawingState(list->owner);
    if (!has(item, vdialogItemENABLED)) {
      vcolorScheme none{}, s{};
      vdialogItemListDetermineScheme(list, &none, 10, &s);
      if (s.mask & 2) vdrawSetColor(s.entries[1]);
      if (s.mask & 8) vdrawSetSecondColor(s.entries[3]);
    }
    vdialogItemClassOf(item)->applyDrawingAttributes(item);
    return;
  }
  vcolorScheme s{};
  vdialogDetermineItemColors(item, 5, &s);
  if (s.mask & 1) vdrawSetColor(s.entries[0]);
  if (s.mask & 4) vdrawSetSecondColor(s.entries[2]);
  vdrawSetFont(vdialogDetermineItemFont(item));
  vdrawSetLineWidth(double(vdialogGetItemLineWidth(item)));
}
int notHandled(vdialogItem*, vevent*) { return 0; }

void setNotify(vdialogItem* item, vdialogItemNotifyFunc f) { item->notifyFunc = f; }

void setData(vdialogItem* item, std::intptr_t data) {
  std::intptr_t old = item->data;
  item->data = data;
  announce(item, vname_Data, reinterpret_cast<const void*>(old), reinterpret_cast<const void*>(data));
}

void setTitle(vdialogItem* item, vscribe* title) {
  const char* text;
  bool owned;
  // Literal and name scribes hand over text that outlives the item.
  if (title->flags & (vscribeLITERAL | vscribeNAME)) {
    text = static_cast<const char*>(title->data);
    vscribeRelease(title);
    owned = false;
  } else {
    text = vstrCloneScribed(title, nullptr);
    owned = true;
  }
  const char* old = item->title;
  bool oldOwned = has(item, vdialogItemTITLE_OWNED);
  item->title = text;
  put(item, vdialogItemTITLE_OWNED, owned);
  if (old != text && std::strcmp(old, text) != 0) announce(item, vname_Title, old, text);
  if (oldOwned) vstrDestroy(const_cast<char*>(old));
}

// Shared cursors, images: the old one goes when it was the item's own.
template <typename T, T* vdialogItemAttributes::*Field, std::uint16_t Owned>
void setOwnedObject(vdialogItem* item, T* value, vname name) {
  vdialogItemAttributes* a = recordOf(item);
  T* old = a->*Field;
  bool wasOwned = has(item, Owned);
  a->*Field = value;
  item->flags &= std::uint16_t(~Owned);
  announce(item, name, old, value);
  if (wasOwned && old && old != value) vinstanceDestroy(old);
}
void setCursor(vdialogItem* item, vobject* cursor) {
  setOwnedObject<vobject, &vdialogItemAttributes::cursor, vdialogItemCURSOR_OWNED>(item, cursor, vname_Cursor);
}
void setImage(vdialogItem* item, vimage* image) {
  setOwnedObject<vimage, &vdialogItemAttributes::image, vdialogItemIMAGE_OWNED>(item, image, vname_Image);
}

void setMenu(vdialogItem* item, vmenu* menu) {
  vdialogItemAttributes* a = recordOf(item);
  vmenu* old = a->menu;
  a->menu = menu;
  announce(item, vname_Menu, old, menu);
  if (old && old != menu) vinstanceDestroy(old);
}

template <typename T, T* vdialogItemAttributes::*Field>
void setShared(vdialogItem* item, T* value, vname name) {
  if (!item->attributes && !value) return;
  vdialogItemAttributes* a = recordOf(item);
  if (a->*Field == value) return;
  T* old = a->*Field;
  a->*Field = value;
  announce(item, name, old, value);
}
void setFont(vdialogItem* item, vfont* f) { setShared<vfont, &vdialogItemAttributes::font>(item, f, vname_Font); }
void setForeground(vdialogItem* item, vcolor* c) {
  setShared<vcolor, &vdialogItemAttributes::foreground>(item, c, vname_Foreground);
}
void setBackground(vdialogItem* item, vcolor* c) {
  setShared<vcolor, &vdialogItemAttributes::background>(item, c, vname_Background);
}

void setSpace(vdialogItem* item, vcommandSpace* space) {
  vdialogItemAttributes* a = recordOf(item);
  vcommandSpace* old = a->space;
  if (old && old != space) {
    if (has(item, vdialogItemSPACE_OWNED)) vinstanceDestroy(old);
    else vcommandSpaceDetach(old, item);
  } else if (old) {
    vcommandSpaceDetach(old, item);
  }
  a->space = space;
  item->flags &= std::uint16_t(~vdialogItemSPACE_OWNED);
  if (space) vcommandSpaceAttach(space, item);
}

void setOwner(vdialogItem* item, vdialogItemList* owner) {
  item->owner = owner;
}

void setMnemonic(vdialogItem* item, int character) {
  auto now = std::uint16_t(character);
  if (item->mnemonic == now) return;
  std::uint16_t old = item->mnemonic;
  bool registered = has(item, vdialogItemOPEN);
  if (registered) registerMnemonic(item, false);
  item->mnemonic = now;
  if (registered) registerMnemonic(item, true);
  announce(item, vname_Mnemonic, &old, &item->mnemonic);
}

template <std::uint16_t Bit>
void setAnnounced(vdialogItem* item, int on) {
  if (has(item, Bit) == (on != 0)) return;
  put(item, Bit, on != 0);
  announce(item, Bit == vdialogItemBORDER ? vname_Border : vname_ImageMask, trueFalse(on == 0), trueFalse(on != 0));
}

void setRect(vdialogItem* item, const vrect* rect) {
  const vrect& r = item->rect;
  if (r.x == rect->x && r.y == rect->y && r.width == rect->width && r.height == rect->height) return;
  vrect old = r;
  item->rect = *rect;
  announce(item, vname_Rect, &old, &item->rect);
}

int takesConfirm(vdialogItem*) { return 0; }

// ---- Class defaults and the module.
void named(vclass* cls) {
  vwindowEnsureStartup();
  auto* c = static_cast<vdialogItemClassRec*>(cls);
  vdialogItemClassRec* root = state()->classes[0];
  if (c != root && root && vclassIsSubclass(cls, root)) {
    auto* from = static_cast<vdialogItemClassRec*>(cls->superclass);
    c->font = from->font;
    c->foreground = from->foreground;
    c->foregroundHilite = from->foregroundHilite;
    c->background = from->background;
    c->backgroundHilite = from->backgroundHilite;
  }
  vprefDict* classes = vprefGetDict(vprefGetDefaultDict(), vscribeLiteral("Classes"));
  if (!classes) return;
  vprefDict* own = vprefGetDict(classes, vscribeLiteral(cls->name));
  vprefRelease(classes);
  if (!own) return;
  if (const char* font = vprefGetString(own, vscribeLiteral("Font"))) c->font = vfontFindScribe(vscribeCString(font));
  // One colour at a time: the window layer files a class's "no system
  // colour" binding as an entry that reads as no colour, which must not
  // cost the class its other colours.
  vcolor** targets[] = {&c->foreground, &c->background, &c->foregroundHilite, &c->backgroundHilite};
  const int indexes[] = {vcolorFOREGROUND, vcolorBACKGROUND, vcolorFOREGROUND_HILITE, vcolorBACKGROUND_HILITE};
  for (int k = 0; k < 4; ++k) {
    vcolorScheme scheme{};
    vexGuard([&] { vcolorLoadScheme(own, vcolorSchemeBit(indexes[k]), &scheme); },
             [&](vexHandler& h) { vexSetCurrentException(h.savedChain); });
    if (scheme.mask & vcolorSchemeBit(indexes[k])) *targets[k] = scheme.entries[indexes[k]];
  }
  vprefRelease(own);
}

vdict* buildAttributes() {
  vdict* d = vdictCopy(super()->attributes);
  vdictResize(d, 40);
  for (int i = 0; i < 24; i += 2) vdictStoreInteger(d, vcolorGetSchemeTag(i), vdialogItemA_SCHEME);
  const vname names[] = {vname_Data,       vname_Title,     vname_Cursor,           vname_Menu,
                         vname_Font,       vname_Foreground, vname_ForegroundHilite, vname_Background,
                         vname_BackgroundHilite, nullptr,    vname_LineWidth,       vname_Image,
                         vname_Mnemonic,   vname_Shown,     vname_State,            vname_Border,
                         vname_ImageMask,  vname_Rect,      vname_Bounds,           vname_MinSize};
  for (int i = 0; i < 20; ++i)
    if (names[i]) vdictStoreInteger(d, names[i], i);
  return d;
}

vcommandSpace* buildSpace() {
  auto* space = static_cast<vcommandSpace*>(vobjectClone(super()->space));
  static const vcommandTableRow commands[] = {
      {"Select", 3},     {"Confirm", 3},   {"Abandon", 3},   {"MoveFocus", 4},  {"Menu", 5},      {"MenuBar", 6},
      {"Accelerator", 7}, {"Begin", 8},    {"End", 9},       {"Left", 10},      {"Right", 11},    {"Up", 12},
      {"Down", 13},      {"PageLeft", 14}, {"PageRight", 15}, {"PageUp", 16},   {"PageDown", 17}, {"Insert", 18},
      {"Delete", 19},    {"Undo", 20},     {"Cut", 21},      {"Copy", 22},      {"Paste", 23},    {"Clear", 24},
      {"Print", 25},     {"Find", 26},     {"Mnemonic", 27}};
  vcommandSpaceAddDict(space, vname_Command, vcommandCreateDictFromTable(vobjectGetCommandClass(), commands, 27));
  return space;
}

void writeSlots(vdialogItemClassRec* c) {
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->parent = parent;
  c->reserved8 = inheritedChanged;
  c->open = open;
  c->close = close;
  c->show = switchFlag<vdialogItemSHOWN, true>;
  c->hide = switchFlag<vdialogItemSHOWN, false>;
  c->enable = switchFlag<vdialogItemENABLED, true>;
  c->disable = switchFlag<vdialogItemENABLED, false>;
  c->focus = focus;
  c->unfocus = unfocus;
  c->setDefault = flagOnly<vdialogItemDEFAULT, true>;
  c->clearDefault = flagOnly<vdialogItemDEFAULT, false>;
  c->setMarked = flagOnly<vdialogItemMARKED, true>;
  c->clearMarked = flagOnly<vdialogItemMARKED, false>;
  c->invalRect = invalRect;
  c->scrollRect = scrollRect;
  c->notifyItem = notifyItem;
  c->naturalSize = zeroSize;
  c->minSize = zeroSize;
  c->spacing = spacing;
  c->maxSize = keepSize;
  c->draw = c->drawFocus = c->drawDefault = c->drawAbandon = nothing;
  c->setDrawingState = setDrawingState;
  c->applyDrawingAttributes = applyDrawingAttributes;
  c->pointerHook = c->keyUp = notHandled;
  c->setNotify = setNotify;
  c->setData = setData;
  c->setTitle = setTitle;
  c->setCursor = setCursor;
  c->setMenu = setMenu;
  c->setFont = setFont;
  c->setForeground = setForeground;
  c->setBackground = setBackground;
  c->setImage = setImage;
  c->setSpace = setSpace;
  c->setOwner = setOwner;
  c->setMnemonic = setMnemonic;
  c->setFocusable = flagSetter<vdialogItemFOCUSABLE>;
  c->setClickFocus = flagSetter<vdialogItemCLICK_FOCUS>;
  c->setTextFocus = flagSetter<vdialogItemTEXT_FOCUS>;
  c->setBorder = setAnnounced<vdialogItemBORDER>;
  c->setImageMask = setAnnounced<vdialogItemIMAGE_MASK>;
  c->setRect = setRect;
  c->takesConfirm = takesConfirm;
  c->determineSchemeColors = _vdialogItemDetermineSchemeColors;
  _vdialogItemWriteCommandSlots(c);
}

void freeState() {
  auto* s = static_cast<ItemState*>(*stateSlot);
  if (!s) return;
  vdictDestroy(s->attributes);
  vdictDestroy(s->classKeys);
  vpoolDestroy(s->records);
}

ItemState* state() {
  if (auto* bound = vmoduleState<ItemState>(stateSlot)) return bound;
  auto* s = static_cast<ItemState*>(vmoduleBindSlot(stateSlot, sizeof(ItemState)));
  *s = ItemState{};
  s->cuaPress.moved = true;
  vmoduleAddContextExitProc(freeState);
  s->attributes = buildAttributes();
  s->records = vpoolCreate(sizeof(vdialogItemAttributes));
  auto* c = vclassSpawnOf<vdialogItemClassRec>(super());
  c->attributes = s->attributes;
  c->space = buildSpace();
  s->classKeys = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(c->space, s->classKeys);
  c->instanceSize = sizeof(vdialogItem);
  writeSlots(c);
  c->cursor = nullptr;
  c->font = nullptr;
  c->foreground = c->foregroundHilite = c->background = c->backgroundHilite = nullptr;
  c->image = nullptr;
  c->defaultWidth = c->defaultHeight = 100;
  c->focusInset = c->defaultInset = 0;
  c->named = named;
  vclassSetName(c, vscribeLiteral("vdialogItem"));
  s->classes[0] = c;
  _vdialogItemBindLookColors(c, 0);
  named(c);
  _vdialogItemAllocateColors(c);
  _vdialogStaticItemsBuild(c, s->classes + 1);
  return s;
}

}  // namespace

void _vdialogItemRunNamingHook(vdialogItemClassRec* cls) { named(cls); }

vdialogItemPress* _vdialogItemPressRecord(int look) {
  switch (look) {
    case vlafCUA: return &state()->cuaPress;
    case vlafWIN95: return &state()->win95Press;
    default: return nullptr;
  }
}

vdialogItemClassRec* vdialogItemGetDefaultClass() { return state()->classes[0]; }
vdialogItemClassRec* vdialogLabelItemGetDefaultClass() { return state()->classes[1]; }
vdialogItemClassRec* vdialogLineItemGetDefaultClass() { return state()->classes[2]; }
vdialogItemClassRec* vdialogBoxItemGetDefaultClass() { return state()->classes[3]; }
vdialogItem* vdialogItemCreate(vdialogItemClassRec* cls) { return asItem(vinstanceCreate(cls)); }
void vdialogSetItemGlobalNotify(vdialogItemNotifyFunc hook) { state()->globalNotify = hook; }

vwindow* vdialogGetItemWindow(const vdialogItem* item) { return windowOf(item); }

namespace {
vdict*& openDict(vdialogItem* item, vdict* vdialogItemAttributes::*field) {
  if (!has(item, vdialogItemOPEN)) vexGenerateMessage(&vexArgNotOpenClass, "Not Open");
  vdict*& d = recordOf(item)->*field;
  if (!d) d = vdictCreate(vdictHashPointer);
  return d;
}
}  // namespace
vdict* vdialogGetItemKeyMap(vdialogItem* item) { return openDict(item, &vdialogItemAttributes::keyMap); }
vdict* vdialogGetItemMnemonicMap(vdialogItem* item) { return openDict(item, &vdialogItemAttributes::mnemonicMap); }

vrect vdialogGetItemRedrawRect(const vdialogItem* item) {
  const vdialogItemClassRec* c = vdialogItemClassOf(item);
  int grow = (has(item, vdialogItemFOCUSED) ? c->focusInset : 0) + (has(item, vdialogItemDEFAULT) ? c->defaultInset : 0);
  const vrect& r = item->rect;
  return vrect{std::int16_t(r.x - grow), std::int16_t(r.y - grow), std::int16_t(r.width + 2 * grow),
               std::int16_t(r.height + 2 * grow)};
}

void vdialogInvalItem(vdialogItem* item, int flags) {
  vrect r = vdialogGetItemRedrawRect(item);
  vdialogItemClassOf(item)->invalRect(item, &r, flags);
}

const void* vdialogGetItemKeySelector(vdialogItem* item, std::uint32_t key) {
  auto k = reinterpret_cast<const void*>(std::uintptr_t(key) + 1);
  if (const void* v = vdictGet(vdialogGetItemKeyMap(item), k)) return v;
  return vdictGet(state()->classKeys, k);
}

vdialogItem* vdialogGetItemMnemonicItem(vdialogItem* item, std::uint32_t key) {
  auto k = reinterpret_cast<const void*>(std::uintptr_t(key) + 1);
  return static_cast<vdialogItem*>(const_cast<void*>(vdictGet(vdialogGetItemMnemonicMap(item), k)));
}

bool vdialogItemHasMnemonics(vdialogItem* item) {
  if (!has(item, vdialogItemOPEN)) vexGenerateMessage(&vexArgNotOpenClass, "Not Open");
  return item->attributes && item->attributes->mnemonicMap;
}
