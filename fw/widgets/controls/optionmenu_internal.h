// What the option menu's behaviour and its per-look drawing share: the
// look table (numbers, then the sizing, drawing and placement operations).
#pragma once
#include "fw/widgets/controls/optionmenu.h"
#include "fw/widgets/menus/menu.h"

namespace voptionint {

struct Look {
  int defaultWidth, defaultHeight;
  int heightExtra;
  int indicatorExtra;  // added to the menu's right margin when it is laid out for sizing
  std::uint32_t colorMask;
  bool pressRedraws;
  void (*naturalSize)(vcontrol* c, vmenu* m, const vmenuFrameMargins& f, int* w, int* h);
  void (*background)(vcontrol* c, const vcolorScheme& k);
  void (*label)(vcontrol* c, const char* title, const vcolorScheme& k);
  void (*indicator)(vcontrol* c, const vcolorScheme& k);
  void (*focus)(vcontrol* c, const vcolorScheme& k);
  void (*labelRect)(vcontrol* c, vrect* out);
  // Opens the menu for the control at r (window coordinates of w).
  void (*place)(vcontrol* c, vmenu* m, vwindow* w, const vrect& r);
};

const Look* lookFor(int lookId);
// Lays the menu out now with extra room on its right.
void relayMenu(vmenu* m, int extraRight);
void draw(const Look& look, vcontrol* c);
void drawFocus(const Look& look, vcontrol* c);
// The title of the item at the value, or null.
const char* currentTitle(vcontrol* c);

}  // namespace voptionint
