// The menu records shared by the menu files of platform/user: the model
// (menu.cpp), the menu line (menu_line.cpp), pop-up windows
// (menu_popup.cpp), tracking (menu_track.cpp) and accelerators (accel.cpp).
//
// Menus (`platform/user/menu*.cpp`, records in `menu.h`): `menu.cpp` is the model (entries by
// position or by command, pop-ups searched depth first; `RemoveMenu` keeps a pop-up, `DeleteMenu`,
// `ModifyMenuA` to another pop-up and `DestroyMenu` destroy it; a window's menu and system menu go
// with the window; the system menu is made on first `GetSystemMenu`). `menu_line.cpp` lays the menu
// line out in rows of `SM_CYMENU` above the client area (an empty or absent menu takes none;
// `SetMenu` and `DrawMenuBar` re-wrap it and move the client area when its height changed) and
// paints it through a window DC when the queue is next looked at, before any `WM_PAINT`.
// `menu_popup.cpp` shows a tracked menu in a top-level pop-up window of its own class and fixes the
// pixel layout (documented at its top). `menu_track.cpp` is the default processing that starts
// tracking (`WM_NCLBUTTONDOWN` on `HTMENU`, `SC_MOUSEMENU`, Alt alone, F10, Alt with a letter,
// `SC_KEYMENU`) and the modal loop: it holds the capture on the owner and the back-end's keyboard
// grab on the owner's surface, pumps the queue (timers and paints go on), passes every message to
// `WH_MSGFILTER` with `MSGF_MENU`, reads pointer messages by their screen position, ends on a
// choice, `EndMenu`, `WM_CANCELMODE`, a press outside, deactivation or `WM_QUIT` (posted again),
// and posts the chosen command after `WM_EXITMENULOOP`. `accel.cpp` keeps accelerator tables
// (6-byte entries; an empty table is a table) and `TranslateAcceleratorA`, which takes a key press
// whose virtual key and Shift, Ctrl and Alt state as of the message match an entry exactly: an
// identifier of the window's menu first gets `WM_INITMENU` and `WM_INITMENUPOPUP` (the pop-up
// holding it), and no `WM_COMMAND` when it is grayed then; the press is consumed either way.
#pragma once
#include <string>
#include <vector>

#include "platform/user/internal.h"

namespace win::internal {

struct MenuItem {
  UINT flags = 0;         // MF_ type and state bits (MF_HILITE while highlighted)
  UINT id = 0;            // the command identifier; 0 for pop-ups and separators
  HMENU sub = nullptr;    // pop-up entries
  std::string text;       // as given: "&" marks, a tab starts the accelerator
  ULONG_PTR data = 0;     // owner-drawn entries
  bool measured = false;  // owner-drawn: WM_MEASUREITEM answered since the last change
  SIZE size{};            // owner-drawn: the answer
  RECT rect{};            // laid out: in window coordinates (a bar) or client ones (a pop-up)
};

struct Menu {
  bool popup = false;
  bool system = false;  // a window's system menu
  std::vector<MenuItem> items;
  int defaultItem = -1;
};

// Null for stale or foreign handles; checkMenu also sets
// ERROR_INVALID_MENU_HANDLE.
Menu* findMenu(HMENU menu);
Menu* checkMenu(HMENU menu);

// An entry's text taken apart: the label without its marks, the
// accelerator after the tab, and the mnemonic's index in the label (-1).
struct EntryText {
  std::string label, accel;
  int mnemonic = -1;
};
EntryText splitEntryText(const std::string& text);
// The entry's mnemonic in lower case, or 0.
char mnemonicOf(const MenuItem& item);
bool isSeparator(const MenuItem& item);
bool isDisabled(const MenuItem& item);  // grayed or disabled

// Where an identifier is: the menu holding it (pop-ups searched depth
// first) and its position; false when absent.
bool findCommand(HMENU menu, UINT id, HMENU& holder, int& position);

// The standard states of a system menu's entries for its window's state
// and style, before the window's own WM_INITMENUPOPUP.
void refreshSystemMenu(HWND hwnd, HMENU menu);

// The owner's WM_MEASUREITEM for an owner-drawn entry not measured since
// its last change.
void measureOwnerDrawn(HWND owner, HMENU menu, int position);
// The system font's menu face; the caller deletes it.
HFONT menuFont(bool bold);
// Drawing shared by the line and the pop-ups: a label with its mnemonic
// underlined (embossed: grayed), and a one-pixel 3-D edge.
void drawLabel(HDC dc, int x, int y, const EntryText& text, COLORREF color);
void drawEntryLabel(HDC dc, int x, int y, const EntryText& text, COLORREF color, bool embossed);
void drawEdge(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight);
void fillRect(HDC dc, const RECT& r, COLORREF color);

// The menu line (menu_line.cpp). Its height for a window of this outer
// width: 0 without a menu or with an empty one. The layout stores each
// title's rectangle in window coordinates.
int menuLineHeight(Window& w, int width);
// Repaints the line of every window marked since (before WM_PAINT goes).
void markMenuLine(Window& w);
void paintMenuLines();
void paintMenuLine(HWND hwnd);
// The title under a screen point, or -1.
int menuTitleAt(HWND hwnd, POINT screen);
// The bar's highlighted title and whether its pop-up is open (tracking).
void setMenuLineState(HWND hwnd, int selected, bool open);

// Pop-up windows (menu_popup.cpp). `anchor` is the screen rectangle of
// the title or, for a cascade, of the entry that opens it.
HWND openPopupWindow(HWND owner, HMENU menu, const RECT& anchor, bool cascade);
void closePopupWindow(HWND popup);
void selectPopupEntry(HWND popup, int index);  // -1: none
int popupSelection(HWND popup);
// The entry under a screen point (-1: none); `inside`: the point is on the pop-up.
int popupEntryAt(HWND popup, POINT screen, bool* inside);
RECT popupEntryOnScreen(HWND popup, int index);
HWND popupShowing(HMENU menu);  // the pop-up window showing a menu, or null

// Default processing of the menu messages (menu_track.cpp): true when the
// message was a menu one, with its result.
bool menuDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace win::internal
