// Push buttons: a title, an image or both, optionally with a menu, drawn
// in the look chosen when the class is built. A release inside a pressed
// button activates it (the item's notify); "Select" makes a timed click.
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
