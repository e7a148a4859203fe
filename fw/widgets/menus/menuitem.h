// Menu items: the plain item and its separator, toggle, push-pin and
// sub-menu kinds. An item holds a title, an accelerator key and mnemonic,
// its enabled and toggle state, an optional font, colour and cascade, and
// the tag it issues when chosen; it measures and draws itself through the
// operations of the current look.
#pragma once
#include <cstdint>

#include "fw/core/attributed.h"
#include "fw/core/event.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/graphics/scheme.h"

struct vmenu;
struct vmenuItem;
struct vmenuItemList;

using vmenuItemNotifyFunc = void (*)(vmenuItem* item, vevent* event);

enum : std::uint16_t {
  vmenuItemENABLED = 0x1,
  vmenuItemEXCLUSIVE = 0x2,
  vmenuItemTOGGLE_ON = 0x4,
  vmenuItemTOGGLE = 0x8,
  vmenuItemTITLE_OWNED = 0x10,
  vmenuItemNATIVE_TEXT = 0x20,
  vmenuItemCOLUMN_BREAK = 0x40,
};

// Made on the first set of font, colour or cascade.
struct vmenuItemExtension {
  vfont* font;
  vcolor* foreground;
  vmenu* subMenu;
  std::int16_t pendingOpens;
  std::uint16_t openState;  // 0 closed, 2 open, 4 opening
};

struct vmenuItem : vobject {
  vmenuItemNotifyFunc notifyFunc;
  std::intptr_t data;
  const char* title;  // owned when vmenuItemTITLE_OWNED, else a literal or ""
  vmenuItemExtension* extension;
  vmenuItemList* owner;
  std::uint32_t accelerator;  // key code << 16 | modifiers, 0 none
  char mnemonic;
  std::uint16_t flags;
};

struct vmenuItemMeasure {
  std::int16_t leftOffset;
  std::int16_t titleWidth;
  std::int16_t ascent;  // above the base line
  std::int16_t indent;
  std::int16_t rightWidth;  // accelerator text and marks
};

// Where an item's text goes inside its rectangle.
struct vmenuTextPosition {
  std::int16_t x, y;
  std::int16_t acceleratorOffset;
  std::int16_t height;
};

struct vmenuItemClassRec : vobjectAttributedClassRec {
  vfont* font;
  vcolor* foreground;
  vcolor* foregroundHilite;
  void (*inheritedChanged)(vmenuItem* item, vname name, const void* value);
  void (*ownChanged)(vmenuItem* item, vname name, const void* value);
  void (*enable)(vmenuItem* item);
  void (*disable)(vmenuItem* item);
  void (*select)(vmenuItem* item, vevent* event);
  void (*draw)(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text);
  void (*drawHighlighted)(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text);
  void (*drawNormal)(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text);
  void (*setColors)(vmenuItem* item);
  void (*measure)(vmenuItem* item, vmenuItemMeasure* out);
  void (*setData)(vmenuItem* item, std::intptr_t data);
  void (*setTitle)(vmenuItem* item, vscribe* title);
  void (*setFont)(vmenuItem* item, vfont* font);
  void (*setForeground)(vmenuItem* item, vcolor* color);
  void (*setSubMenu)(vmenuItem* item, vmenu* menu);
  void (*setOwner)(vmenuItem* item, vmenuItemList* owner);
  void (*setAccelerator)(vmenuItem* item, std::uint32_t key);
  void (*setMnemonic)(vmenuItem* item, int character);
  void (*setExclusive)(vmenuItem* item, int on);
  void (*setToggle)(vmenuItem* item, int on);
  void (*getColors)(vmenuItem* item, std::uint32_t mask, vcolorScheme* result);
  int (*canBeNative)(vmenuItem* item);
};

inline vmenuItemClassRec* vmenuItemClassOf(const vmenuItem* item) { return vclassRec<vmenuItemClassRec>(item); }

vmenuItemClassRec* vmenuGetDefaultItemClass();
vmenuItemClassRec* vmenuGetDefaultSeparatorItemClass();
vmenuItemClassRec* vmenuGetDefaultToggleItemClass();
vmenuItemClassRec* vmenuGetDefaultPushPinItemClass();
vmenuItemClassRec* vmenuGetDefaultSubMenuItemClass();

vmenuItem* vmenuItemCreate(vmenuItemClassRec* cls);
vmenu* vmenuGetItemSubMenu(vmenuItem* item);
vmenu* vmenuItemGetMenu(vmenuItem* item);
vfont* vmenuItemGetFont(vmenuItem* item);
inline bool vmenuItemIsEnabled(const vmenuItem* item) { return (item->flags & vmenuItemENABLED) != 0; }
inline bool vmenuItemIsToggleOn(const vmenuItem* item) { return (item->flags & vmenuItemTOGGLE_ON) != 0; }
bool vmenuItemIsSeparator(const vmenuItem* item);

// Calls through the class.
inline void vmenuItemSetTitle(vmenuItem* item, vscribe* title) { vmenuItemClassOf(item)->setTitle(item, title); }
inline void vmenuItemEnable(vmenuItem* item) { vmenuItemClassOf(item)->enable(item); }
inline void vmenuItemDisable(vmenuItem* item) { vmenuItemClassOf(item)->disable(item); }
inline void vmenuItemSetToggle(vmenuItem* item, int on) { vmenuItemClassOf(item)->setToggle(item, on); }
inline void vmenuItemSetExclusive(vmenuItem* item, int on) { vmenuItemClassOf(item)->setExclusive(item, on); }
inline void vmenuItemSetAccelerator(vmenuItem* item, std::uint32_t key) {
  vmenuItemClassOf(item)->setAccelerator(item, key);
}
inline void vmenuItemSetMnemonic(vmenuItem* item, int c) { vmenuItemClassOf(item)->setMnemonic(item, c); }
inline void vmenuItemSetSubMenu(vmenuItem* item, vmenu* menu) { vmenuItemClassOf(item)->setSubMenu(item, menu); }
inline void vmenuItemSelect(vmenuItem* item, vevent* event) { vmenuItemClassOf(item)->select(item, event); }
inline void vmenuItemMeasureInto(vmenuItem* item, vmenuItemMeasure* out) { vmenuItemClassOf(item)->measure(item, out); }
// Draws the item by its own drawing inside r (clipped), its text centred
// as a title would be, in the font given; the caller sets the colour.
void vmenuItemDrawCentred(vmenuItem* item, const vrect* r, vfont* font);

// Opens the item's cascade 50 ms from now when it is still its menu's
// current item then (Open Look, under a moving pointer).
void vmenuItemDeferCascade(vmenuItem* item);

// The current look's item metrics (five values).
const std::int16_t* vmenuItemGetLookMetrics();
// Looks whose keyboard navigation skips only separators (Windows, Win95,
// CUA) against those that skip every disabled item.
int vmenuItemIsSelectable(vmenuItem* item);

// Forgets the module's look choice (tests switching looks).
void _vmenuItemShutdown();
