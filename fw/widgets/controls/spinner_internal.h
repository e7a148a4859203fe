// What the spinner's behaviour and its per-look geometry and drawing share.
#pragma once
#include "fw/widgets/controls/spinner.h"

namespace vspinnerint {

// One row per look; the field is drawn by the caller between the look's
// drawing and its focus indicator.
struct Look {
  int id;
  int width, height;  // class default size
  void (*naturalSize)(vspinner* s, int* w, int* h);  // null: the base's
  vrect (*fieldRect)(vspinner* s, int fieldHeight);
  // Pointer offsets from the spinner's origin; half-open zones.
  bool (*hitUp)(vspinner* s, int dx, int dy);
  bool (*hitDown)(vspinner* s, int dx, int dy);
  void (*draw)(vspinner* s);
  void (*drawFocus)(vspinner* s);  // null: the base's
  void (*drawArrow)(vspinner* s, bool up, bool pressed);
};

const Look& lookFor(int id);
// The field's natural height.
int fieldHeight(vspinner* s);

}  // namespace vspinnerint
