// What the button's behaviour and its per-look drawing share: the look
// table (ten numbers, then eighteen operations in table order).
#pragma once
#include "fw/widgets/controls/button.h"

struct vmenu;
struct vmenuItem;

struct vbuttonLook {
  int defaultWidth, defaultHeight, contentInset, borderWidth, menuMarkSize, ringLineWidth, ringSize, pressedOffset,
      takesFocus;
  void (*content)(vbutton* b, int inset, vrect* out);
  void (*measureTitle)(vbutton* b, const char* title, int* w, int* h);
  void (*measureMenu)(vbutton* b, int* w, int* h);
  void (*measureImage)(vbutton* b, vimage* image, int* w, int* h);
  void (*measureBorder)(vbutton* b, int* w, int* h);
  void (*beginColors)(vbutton* b);
  void (*endColors)(vbutton* b);
  void (*placeMenu)(vbutton* b, vmenu* menu, vevent* event);
  void (*background)(vbutton* b, const vrect* content);
  void (*image)(vbutton* b, vimage* image, const vrect* content);
  void (*border)(vbutton* b);
  void (*title)(vbutton* b, const vrect* content);
  void (*menuMark)(vbutton* b, const vrect* content);
  void (*focus)(vbutton* b, const vrect* around);
  void (*ring)(vbutton* b);
  void (*pressed)(vbutton* b);
  void (*released)(vbutton* b);
  void (*focusChanged)(vbutton* b);
};

// The table for a look id (any other id: the generic one).
const vbuttonLook* _vbuttonLookFor(int lookId);
// Open Look's own drawing and natural size.
void _vbuttonDrawOpenLook(vbutton* b);
void _vbuttonOpenLookSize(vbutton* b, int* w, int* h);
// Open Look's menu-default mode shows and chooses the menu's default item,
// else its first (null for an empty menu).
vmenuItem* _vbuttonPreviewItem(vmenu* menu);
