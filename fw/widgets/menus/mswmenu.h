// The Windows menu layer: a framework menu bar and the menus reachable
// from it mirrored into native menus, with command identifiers for the
// items and one accelerator table; native menu messages come back as the
// items' select operations.
#pragma once
#include <cstdint>

#include "fw/widgets/menus/accel.h"
#include "fw/widgets/menus/menu.h"
#include "platform/win/user.h"

struct vmenubar;

enum : std::uint32_t { vmswmenuFIRST_ID = 1024, vmswmenuEND_ID = 61440 };

// A mirrored bar.
struct vmswmenuBar {
  win::HMENU bar;
  vmswaccelTable accel;
  win::HWND frame;
  vdict* ids;     // identifier -> item
  vdict* popups;  // native pop-up -> menu
  vdict* keys;    // identifier -> key value, items with an accelerator
  std::uint32_t next;
  std::uint16_t flags;  // 4: a redraw is posted
  vmenubar* owner;
};
// A mirrored menu.
struct vmswmenuMirror {
  win::HMENU popup;
  std::uint16_t flags;  // 1: an item starts a column
  vmswmenuBar* bar;
};

// position >= 0 inserts there, -1 appends, -2 modifies the item's own entry.
void vmswmenuInsertMenuItem(vmenu* menu, vmenuItem* item, int position);
void vmswmenuDeleteItem(vmenu* menu, vmenuItem* item);
void vmswmenuMoveItem(vmenu* menu, int from, int to);
void vmswmenuItemAttributeChanged(vmenu* menu, vmenuItem* item, int index);
void vmswmenuSetItemEnabled(vmenuItem* item, int on);
void vmswmenuSetItemToggle(vmenuItem* item, int on);
void vmswmenuSetDefaultItem(vmenu* menu, vmenuItem* item);
void vmswmenuMenuAttributeChanged(vmenu* menu, vname name);
win::HMENU vmswmenuCreateMenuMirror(vmenu* menu, vmswmenuBar* bar, win::HMENU reuse);
void vmswmenuDestroyMenuMirror(vmenu* menu, int remove);
// The three words that let a reloaded menu keep its native handle.
struct vmswmenuSaved {
  void* popup;
  void* bar;
  void* parent;
};
void vmswmenuSaveMirror(vmenu* menu, vmswmenuSaved* saved);
void vmswmenuRestoreMirror(vmenu* menu, const vmswmenuSaved* saved);
inline vmswmenuMirror* vmswmenuMirrorOf(const vmenu* menu) { return static_cast<vmswmenuMirror*>(menu->mirror); }

// Bars.
vmswmenuBar* vmswmenuCreateBar(vmenubar* bar);
void vmswmenuDestroyBar(vmenubar* bar);
void vmswmenuInsertBarMenu(vmenubar* bar, vmenu* menu, int position);  // -1 append, -2 modify
void vmswmenuRemoveBarMenu(vmenubar* bar, vmenu* menu);
void vmswmenuMoveBarMenu(vmenubar* bar, vmenu* menu, int index);
void vmswmenuEnableBarMenu(vmenubar* bar, vmenu* menu);
void vmswmenuEnableBar(vmenubar* bar);
void vmswmenuAttachBar(vmenubar* bar);
void vmswmenuDetachBar(vmenubar* bar);
void vmswmenuActivateBar(vmenubar* bar);
void vmswmenuDeactivateBar(vmenubar* bar);
void vmswmenuRedrawBar(vmenubar* bar, int immediate);
void vmswmenuRebuildAccelerators(vmenubar* bar);
// Whether the bar's entries may be native text (the preferences, then its colours and font).
int vmswmenuBarCanBeNative(vmenubar* bar);
// The window procedure's first word on every message; 0: not handled.
win::LRESULT vmswmenuHandleMessage(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam,
                                   win::LPARAM lParam);

// WM_DRAWITEM of an owner-drawn entry: a title of the bar or a menu item.
win::LRESULT vmswmenuDrawEntry(vmenubar* bar, win::LPARAM lParam);

// The module: started before the bar class when the look has native bars.
void vmswmenuStartup();
// "wexlindrawmenubar" and "nativedrawmenubar", read once (native wins).
bool vmswmenuDrawsNative();
bool vmswmenuDrawsFramework();
int vmswmenuColumnLimit();  // 90 % of the screen height
// The entry text of a native text item: "&" before the mnemonic, a tab and the key.
void vmswmenuEntryText(vmenuItem* item, char* out, std::size_t size);
