#include "fw/widgets/hooks.h"

#include "fw/gui/window/application.h"
#include "fw/widgets/look/laf.h"

namespace {

// The scheme colour as the look's bindings resolve it: the look first.
vcolor* lookColor(int index) {
  vlafGetCurrent();
  return vapplicationDetermineColor(vapplicationGetCurrent(), index);
}

}  // namespace

void vwidgetsFillWindowHooks(vwindowHooks* hooks) {
  hooks->lookColor = lookColor;
  hooks->lookInFocusMode = vlafInFocusMode;
}
