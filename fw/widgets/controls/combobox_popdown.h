// Pop-down combo boxes: a combo box whose list is not shown in place but
// in a small borderless dialog that drops down under the box when its
// arrow button is pressed or Alt+Down is typed, and closes again when a
// choice is made, Alt+Up is typed, the box is closed, hidden or disabled,
// or the pointer is pressed outside.
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
