// Push buttons: a title, an image or both, optionally with a menu, drawn
// in the look chosen when the class is built. A release inside a pressed
// button activates it (the item's notify); "Select" makes a timed click.
//
// - `controls/button.h`: `vbutton`. `button.cpp` holds the class (flags: pressed, Open Look menu
//   default, default; "vbuttonFlags" keeps only the default bit), press/release/motion (activation
//   only on a release while pressed), the selectors ("Select" without a menu is a 20 ms timed click;
//   a destroyed button's click finds no button), sizes, extra room for the confirm button's ring and
//   the draw steps; `button_look.cpp` the per-look table of ten numbers and eighteen operations
//   chosen at class build (Windows, Win95, Motif, CUA, Open Look, generic) and Open Look's own
//   drawing over the look's oblong button. The "emphasis" of the border operations is read as the
//   default bit. A button's menu takes the button as its pop-up parent with a hook that releases it
//   when the menu ends (the button stays held while the menu is open; a destroyed button takes its
//   hook away); the Windows, Win95 and CUA looks drop the menu from the button's lower edge, the
//   others open it where the look opens menus for the event, anchored on the button so that a click
//   leaves it open. A key that chooses an item of the menu ("Accelerator") is handed to the closed
//   menu's own key handling, which chooses the item. Open Look's Select on a menu button previews
//   the menu's default item (else its first) inside the button and opens its sub-menu at the button
//   when it has one; the release chooses the item.
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"

enum : std::uint16_t { vbuttonPRESSED = 1, vbuttonMENU_DEFAULT = 2, vbuttonDEFAULT = 4 };

struct vbutton : vdialogItem {
  std::uint16_t buttonFlags;
};

struct vbuttonClassRec : vdialogItemClassRec {
  void (*drawContent)(vbutton* button);
  void (*press)(vbutton* button);
  void (*release)(vbutton* button);
};

inline vbuttonClassRec* vbuttonClassOf(const vbutton* b) { return vclassRec<vbuttonClassRec>(b); }
vbuttonClassRec* vbuttonGetDefaultClass();
vbutton* vbuttonCreate();
inline void vbuttonPress(vbutton* b) { vbuttonClassOf(b)->press(b); }
inline void vbuttonRelease(vbutton* b) { vbuttonClassOf(b)->release(b); }
// The default ring and the flag the stored form keeps.
void vbuttonSetDefault(vbutton* b, int on);
