// Pop-down combo boxes: a combo box whose list is not shown in place but
// in a small borderless dialog that drops down under the box when its
// arrow button is pressed or Alt+Down is typed, and closes again when a
// choice is made, Alt+Up is typed, the box is closed, hidden or disabled,
// or the pointer is pressed outside.
//
// - `controls/combobox_popdown.h`: `vcomboboxPopdown`, the standard box with an arrow button
//   (`vcomboboxPopdownButton`) and its list moved into a borderless dialog
//   (`vcomboboxPopdownDialog`, its data word the box, which is how the list finds its box). Dropping
//   the list places the dialog beside the box on the screen (right-aligned with a row count, above
//   when below would be cut), opens it and grabs the pointer; a press or key that dropped it is
//   handed on into the dialog with the forwarding bit set, so a press-drag-release on the arrow
//   chooses in one gesture. The dialog sends presses inside the list to the list and others back to
//   the box; a release after a choice there takes the list up. The window layer already hands a
//   press that ended the grab on to the window under it: the box remembers that a press took the
//   list up and ignores that press when it comes back to it. Alt+Down and Alt+Up are the class's own
//   keys ("Open Popdown" 28, "Close Popdown" 29), looked up before the standard box's.
//   `combobox_popdown_parts.cpp` holds the button's per-look drawing, the dialog's routing and the
//   list's Win95 frame. The combo-box start-up builds these classes too. While down the dialog is
//   the box window's child (its native owner, so it stays above it) and in the Win95 look has
//   `vwindowDECO_SHADOW`, which registers its native class with `CS_DROPSHADOW`: the headless screen
//   darkens a 2-pixel band right of and below such a window (the X11 back-end draws none). Taken up,
//   a box that is its list's focus item runs its redraw-focus slot. The class's attribute dictionary
//   is its own copy, grown to 64 slots.
#pragma once
#include <cstdint>

#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/dialog/dialog.h"

struct vcomboboxPopdown;

// Pop-down flags.
enum : std::uint8_t {
  vcomboboxPopdownFORWARDING = 0x1,  // an event is being handed into the open dialog
  vcomboboxPopdownNAVIGATING = 0x2,  // a navigation selector passes through
  vcomboboxPopdownCHOSEN = 0x4,      // a pointer choice: the release closes the list
  vcomboboxPopdownRAISED_BY_PRESS = 0x8,  // a press took the list up; handed on, it must not drop it again
};
// Notification codes of the list dropping down and going up again.
enum : int { vcomboboxPOPPED_DOWN = 4, vcomboboxPOPPED_UP = 5 };
// Selectors of the pop-down's own commands.
enum : int { vcomboboxOPEN_POPDOWN = 28, vcomboboxCLOSE_POPDOWN = 29 };

struct vcomboboxPopdownButton : vbutton {};
struct vcomboboxPopdownDialog : vdialog {};  // its data word is the box
struct vcomboboxPopdownChoicebox : vcomboboxChoicebox {};

struct vcomboboxPopdown : vcomboboxStandard {
  std::uint8_t popdownFlags;
  vcomboboxPopdownButton* button;
  vcomboboxPopdownDialog* dialog;
  // While the list is down: the choice and the entry's text from before it
  // dropped, which abandoning the list (Escape) puts back.
  int indexBeforeDrop;
  char* textBeforeDrop;
};

struct vcomboboxPopdownClassRec : vcomboboxStandardClassRec {
  vcomboboxPopdownButton* (*makeButton)(vcomboboxPopdown* box);
  void (*buttonRect)(vcomboboxPopdown* box, vrect* out);
  void (*buttonSize)(vcomboboxPopdown* box, int* width, int* height);
  int (*textInset)(vcomboboxPopdown* box);
  void (*closePopdown)(vcomboboxPopdown* box, vevent* event);
  // Whether the point (the box's coordinates) lies in the list's cells.
  int (*hitTest)(vcomboboxPopdown* box, int x, int y);
  void (*openPopdown)(vcomboboxPopdown* box);
  void (*placePopdown)(vcomboboxPopdown* box);
  void (*closeByEvent)(vcomboboxPopdown* box, vevent* event);
  void (*openByEvent)(vcomboboxPopdown* box, vevent* event);
  void (*layoutChoice)(vcomboboxPopdown* box);
};

inline vcomboboxPopdownClassRec* vcomboboxPopdownClassOf(const vcomboboxPopdown* b) {
  return vclassRec<vcomboboxPopdownClassRec>(b);
}
vcomboboxPopdownClassRec* vcomboboxPopdownGetDefaultClass();
vbuttonClassRec* vcomboboxPopdownGetButtonClass();
vdialogClassRec* vcomboboxPopdownGetDialogClass();
vlistitemClassRec* vcomboboxPopdownGetChoiceboxClass();
vcomboboxPopdown* vcomboboxPopdownCreate();

inline bool vcomboboxPopdownIsOpen(const vcomboboxPopdown* b) { return b->dialog && vwindowIsOpen(b->dialog); }
inline void vcomboboxPopdownOpen(vcomboboxPopdown* b) { vcomboboxPopdownClassOf(b)->openPopdown(b); }
inline void vcomboboxPopdownClose(vcomboboxPopdown* b, vevent* e) { vcomboboxPopdownClassOf(b)->closePopdown(b, e); }
