// Dialog items: the base of everything that lives in a dialog or container
// (labels, lines, boxes and the controls built on them). An item keeps its
// title, mnemonic, rectangle, state bits and an optional pooled record of
// per-item attributes; it announces every change of state as an attribute
// change (old, new) and asks its surroundings through its item list.
//
// - `dialog/item.h`: `vdialogItem`, the base of everything inside a dialog or container, and
//   (`dialog/static.cpp`) the label, line and box items. Flags travel by three masks (new 0x0083;
//   stored 0x038F; a copy takes the source's 0x3BCF and keeps the destination's 0xC430); per-item
//   values sit in a pooled record of eleven pointer-sized words made on first need. Every setter
//   announces (name, old, new) and is silent for the same value; the item's reaction runs in its
//   `send` slot. The naming hook copies the parent's five colour/font defaults, then reads "Classes"
//   one colour at a time (a "no system colour" binding of the window layer reads as none). The
//   module is built by its first class getter; the look's colour bindings go to the preferences
//   before the naming hook reads them.
#pragma once
#include <cstdint>

#include "fw/core/attributed.h"
#include "fw/core/event.h"
#include "fw/core/rect.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/scheme.h"

struct vdialogItem;
struct vdialogItemList;
struct vmenu;
struct vwindow;

using vdialogItemNotifyFunc = void (*)(vdialogItem* item, vevent* event);

enum : std::uint16_t {
  vdialogItemSHOWN = 0x0001,
  vdialogItemENABLED = 0x0002,
  vdialogItemFOCUSABLE = 0x0004,
  vdialogItemTEXT_FOCUS = 0x0008,
  vdialogItemOPEN = 0x0010,
  vdialogItemFOCUSED = 0x0020,
  vdialogItemTITLE_OWNED = 0x0040,
  vdialogItemBORDER = 0x0080,
  vdialogItemIMAGE_MASK = 0x0100,
  vdialogItemCLICK_FOCUS = 0x0200,
  vdialogItemMARKED = 0x0400,
  vdialogItemCURSOR_OWNED = 0x0800,
  vdialogItemIMAGE_OWNED = 0x1000,
  vdialogItemSPACE_OWNED = 0x2000,
  vdialogItemDEFAULT = 0x4000,
};
// How flags travel: a new item, a resource, and a copy (taken from the
// source, kept by the destination).
inline constexpr std::uint16_t vdialogItemNEW_FLAGS = 0x0083;
inline constexpr std::uint16_t vdialogItemSTORED_FLAGS = 0x038F;
inline constexpr std::uint16_t vdialogItemCOPIED_FLAGS = 0x3BCF;
inline constexpr std::uint16_t vdialogItemKEPT_FLAGS = 0xC430;

// Eleven pointer-sized words from a pool, made zeroed on first need.
struct vdialogItemAttributes {
  vobject* cursor;  // a cursor object; owned with CURSOR_OWNED
  vmenu* menu;      // always owned
  vfont* font;
  vcolor* foreground;
  vcolor* background;
  vimage* image;  // owned with IMAGE_OWNED
  vcommandSpace* space;
  vdict* keyMap;       // key code + 1 -> selector, while open
  vdict* mnemonicMap;  // key code + 1 -> item, while open
  union {
    vrect rect;  // window rectangle the cursor was last registered for
    std::intptr_t words[2];
  } cursorRegion;
};
static_assert(sizeof(vdialogItemAttributes) == 11 * sizeof(void*));

struct vdialogItem : vobject {
  vdialogItemNotifyFunc notifyFunc;
  std::intptr_t data;
  const char* title;  // "" when none; owned with TITLE_OWNED
  vdialogItemAttributes* attributes;
  vdialogItemList* owner;
  std::uint16_t mnemonic;  // character in the low byte
  std::uint16_t flags;
  vrect rect;
};

struct vdialogItemClassRec : vobjectAttributedClassRec {
  void (*open)(vdialogItem* item);
  void (*close)(vdialogItem* item);
  void (*show)(vdialogItem* item);
  void (*hide)(vdialogItem* item);
  void (*enable)(vdialogItem* item);
  void (*disable)(vdialogItem* item);
  void (*focus)(vdialogItem* item);
  void (*unfocus)(vdialogItem* item);
  void (*setDefault)(vdialogItem* item);
  void (*clearDefault)(vdialogItem* item);
  void (*setMarked)(vdialogItem* item);
  void (*clearMarked)(vdialogItem* item);
  void (*invalRect)(vdialogItem* item, const vrect* rect, int flags);
  void (*scrollRect)(vdialogItem* item, const vrect* rect, int dx, int dy, int flags);
  void (*notifyItem)(vdialogItem* item, vevent* event);
  void (*naturalSize)(vdialogItem* item, int* width, int* height);
  void (*minSize)(vdialogItem* item, int* width, int* height);
  int (*spacing)(vdialogItem* item, vdialogItem* neighbour, int side);
  void (*maxSize)(vdialogItem* item, int* width, int* height);
  void (*draw)(vdialogItem* item);
  void (*drawFocus)(vdialogItem* item);
  void (*drawDefault)(vdialogItem* item);
  void (*drawAbandon)(vdialogItem* item);
  void (*setDrawingState)(vdialogItem* item);
  void (*applyDrawingAttributes)(vdialogItem* item);
  int (*buttonDown)(vdialogItem* item, vevent* event);
  int (*buttonUp)(vdialogItem* item, vevent* event);
  int (*motion)(vdialogItem* item, vevent* event);
  int (*drag)(vdialogItem* item, vevent* event);
  int (*pointerHook)(vdialogItem* item, vevent* event);
  int (*keyDown)(vdialogItem* item, vevent* event);
  int (*keyUp)(vdialogItem* item, vevent* event);
  void (*setNotify)(vdialogItem* item, vdialogItemNotifyFunc notify);
  void (*setData)(vdialogItem* item, std::intptr_t data);
  void (*setTitle)(vdialogItem* item, vscribe* title);
  void (*setCursor)(vdialogItem* item, vobject* cursor);
  void (*setMenu)(vdialogItem* item, vmenu* menu);
  void (*setFont)(vdialogItem* item, vfont* font);
  void (*setForeground)(vdialogItem* item, vcolor* color);
  void (*setBackground)(vdialogItem* item, vcolor* color);
  void (*setImage)(vdialogItem* item, vimage* image);
  void (*setSpace)(vdialogItem* item, vcommandSpace* space);
  void (*setOwner)(vdialogItem* item, vdialogItemList* owner);
  void (*setMnemonic)(vdialogItem* item, int character);
  void (*setFocusable)(vdialogItem* item, int on);
  void (*setClickFocus)(vdialogItem* item, int on);
  void (*setTextFocus)(vdialogItem* item, int on);
  void (*setBorder)(vdialogItem* item, int on);
  void (*setImageMask)(vdialogItem* item, int on);
  void (*setRect)(vdialogItem* item, const vrect* rect);
  int (*takesConfirm)(vdialogItem* item);
  void (*determineSchemeColors)(vdialogItem* item, const vcolorScheme* scheme, std::uint32_t mask,
                                vcolorScheme* result);
  // Class defaults, filled from the preferences' "Classes" when named.
  vobject* cursor;
  vfont* font;
  vcolor* foreground;
  vcolor* foregroundHilite;
  vcolor* background;
  vcolor* backgroundHilite;
  vimage* image;
  std::int16_t defaultWidth, defaultHeight;
  std::int16_t focusInset, defaultInset;
};

inline vdialogItemClassRec* vdialogItemClassOf(const vdialogItem* item) {
  return vclassRec<vdialogItemClassRec>(item);
}

vdialogItemClassRec* vdialogItemGetDefaultClass();
vdialogItemClassRec* vdialogLabelItemGetDefaultClass();
vdialogItemClassRec* vdialogLineItemGetDefaultClass();
vdialogItemClassRec* vdialogBoxItemGetDefaultClass();
vdialogItem* vdialogItemCreate(vdialogItemClassRec* cls);

// Attribute indexes of the class's dictionary; every even colour-scheme
// name shares vdialogItemA_SCHEME.
enum : int {
  vdialogItemA_DATA, vdialogItemA_TITLE, vdialogItemA_CURSOR, vdialogItemA_MENU, vdialogItemA_FONT,
  vdialogItemA_FOREGROUND, vdialogItemA_FOREGROUND_HILITE, vdialogItemA_BACKGROUND, vdialogItemA_BACKGROUND_HILITE,
  vdialogItemA_SCHEME, vdialogItemA_LINE_WIDTH, vdialogItemA_IMAGE, vdialogItemA_MNEMONIC, vdialogItemA_SHOWN,
  vdialogItemA_STATE, vdialogItemA_BORDER, vdialogItemA_IMAGE_MASK, vdialogItemA_RECT, vdialogItemA_BOUNDS,
  vdialogItemA_MIN_SIZE
};

// Calls through the class.
#define VDIALOG_ITEM_CALL(name, slot)                                                              \
  inline void name(vdialogItem* item) { vdialogItemClassOf(item)->slot(item); }
VDIALOG_ITEM_CALL(vdialogOpenItem, open)
VDIALOG_ITEM_CALL(vdialogCloseItem, close)
VDIALOG_ITEM_CALL(vdialogShowItem, show)
VDIALOG_ITEM_CALL(vdialogHideItem, hide)
VDIALOG_ITEM_CALL(vdialogEnableItem, enable)
VDIALOG_ITEM_CALL(vdialogDisableItem, disable)
VDIALOG_ITEM_CALL(vdialogFocusItem, focus)
VDIALOG_ITEM_CALL(vdialogUnfocusItem, unfocus)
VDIALOG_ITEM_CALL(vdialogDrawItem, draw)
#undef VDIALOG_ITEM_CALL
inline void vdialogNotifyItem(vdialogItem* i, vevent* e) { vdialogItemClassOf(i)->notifyItem(i, e); }
inline void vdialogGetItemNaturalSize(vdialogItem* i, int* w, int* h) { vdialogItemClassOf(i)->naturalSize(i, w, h); }
inline void vdialogGetItemMinSize(vdialogItem* i, int* w, int* h) { vdialogItemClassOf(i)->minSize(i, w, h); }
inline int vdialogGetItemSpacing(vdialogItem* i, vdialogItem* n, int side) {
  return vdialogItemClassOf(i)->spacing(i, n, side);
}
inline void vdialogSetItemNotify(vdialogItem* i, vdialogItemNotifyFunc f) { vdialogItemClassOf(i)->setNotify(i, f); }
inline void vdialogSetItemData(vdialogItem* i, std::intptr_t d) { vdialogItemClassOf(i)->setData(i, d); }
inline void vdialogSetItemTitle(vdialogItem* i, vscribe* s) { vdialogItemClassOf(i)->setTitle(i, s); }
inline void vdialogSetItemCursor(vdialogItem* i, vobject* c) { vdialogItemClassOf(i)->setCursor(i, c); }
inline void vdialogSetItemMenu(vdialogItem* i, vmenu* m) { vdialogItemClassOf(i)->setMenu(i, m); }
inline void vdialogSetItemFont(vdialogItem* i, vfont* f) { vdialogItemClassOf(i)->setFont(i, f); }
inline void vdialogSetItemForeground(vdialogItem* i, vcolor* c) { vdialogItemClassOf(i)->setForeground(i, c); }
inline void vdialogSetItemBackground(vdialogItem* i, vcolor* c) { vdialogItemClassOf(i)->setBackground(i, c); }
inline void vdialogSetItemImage(vdialogItem* i, vimage* m) { vdialogItemClassOf(i)->setImage(i, m); }
inline void vdialogSetItemSpace(vdialogItem* i, vcommandSpace* s) { vdialogItemClassOf(i)->setSpace(i, s); }
inline void vdialogSetItemMnemonic(vdialogItem* i, int c) { vdialogItemClassOf(i)->setMnemonic(i, c); }
inline void vdialogSetItemBorder(vdialogItem* i, int on) { vdialogItemClassOf(i)->setBorder(i, on); }
inline void vdialogSetItemImageMask(vdialogItem* i, int on) { vdialogItemClassOf(i)->setImageMask(i, on); }
inline void vdialogSetItemRect(vdialogItem* i, const vrect* r) { vdialogItemClassOf(i)->setRect(i, r); }

// Ownership-taking setters: the item destroys these with itself.
void vdialogSetItemCursorOwned(vdialogItem* item, vobject* cursor);
void vdialogSetItemImageOwned(vdialogItem* item, vimage* image);
void vdialogSetItemSpaceOwned(vdialogItem* item, vcommandSpace* space);

bool vdialogItemIsShown(const vdialogItem* item);
bool vdialogItemIsEnabled(const vdialogItem* item);
bool vdialogItemIsVisible(const vdialogItem* item);
bool vdialogItemIsActive(const vdialogItem* item);
vmenu* vdialogGetItemMenu(const vdialogItem* item);
vfont* vdialogGetItemFont(const vdialogItem* item);
vcolor* vdialogGetItemForeground(const vdialogItem* item);
vcolor* vdialogGetItemBackground(const vdialogItem* item);
vimage* vdialogGetItemImage(const vdialogItem* item);
vdialogItemList* vdialogGetItemOwner(const vdialogItem* item);
// The window of the item's list's owner; null without one.
vwindow* vdialogGetItemWindow(const vdialogItem* item);
// "Not Open" unless the item is open; made on first use.
vdict* vdialogGetItemKeyMap(vdialogItem* item);
vdict* vdialogGetItemMnemonicMap(vdialogItem* item);
// The command tag of a key (item map, then class), the item registered for
// a mnemonic key; both "Not Open" unless open.
const void* vdialogGetItemKeySelector(vdialogItem* item, std::uint32_t key);
vdialogItem* vdialogGetItemMnemonicItem(vdialogItem* item, std::uint32_t key);
bool vdialogItemHasMnemonics(vdialogItem* item);
vobject* vdialogDetermineItemCursor(vdialogItem* item);
vfont* vdialogDetermineItemFont(vdialogItem* item);
std::intptr_t vdialogGetItemLineWidth(vdialogItem* item);
// The inset other items leave for an item's frame: its line width.
std::intptr_t vdialogDetermineItemInset(vdialogItem* item);
// Arg/Range outside 0-23.
vcolor* vdialogGetItemColor(vdialogItem* item, int index);
void vdialogDetermineItemScheme(vdialogItem* item, std::uint32_t mask, vcolorScheme* out);
// The colours of the indexes, in order (null for none), completed for the
// item from presets (presets[i] for each index i of presetMask).
void vdialogGetItemSchemeColors(vdialogItem* item, std::uint32_t presetMask, vcolor* const* presets,
                                const int* indexes, int count, vcolor** out);
// A disabled item gets the disabled variants on the usual indexes.
void vdialogDetermineItemColors(vdialogItem* item, std::uint32_t mask, vcolorScheme* out);
// Redraws the item's rectangle grown by the focus and default insets.
void vdialogInvalItem(vdialogItem* item, int flags);
// The rectangle vdialogInvalItem redraws, in the owner's coordinates.
vrect vdialogGetItemRedrawRect(const vdialogItem* item);

// The hook every item's notify runs first (tests and recorders).
void vdialogSetItemGlobalNotify(vdialogItemNotifyFunc hook);
