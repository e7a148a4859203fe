#include "fw/widgets/hooks.h"

#include "fw/gui/window/application.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/look/laf.h"

namespace {

// The scheme colour as the look's bindings resolve it: the look first.
vcolor* lookColor(int index) {
  vlafGetCurrent();
  return vapplicationDetermineColor(vapplicationGetCurrent(), index);
}

vlistview* asView(vinstance* v) { return static_cast<vlistview*>(v); }

}  // namespace

void vwidgetsFillWindowHooks(vwindowHooks* hooks) {
  hooks->lookColor = lookColor;
  hooks->lookInFocusMode = vlafInFocusMode;
  hooks->listviewItemFlags = [](vinstance* v) -> std::uint32_t { return asView(v)->flags; };
  hooks->listviewOptions = [](vinstance* v) -> std::uint32_t { return asView(v)->state; };
  hooks->listviewNotifyFunction = [](vinstance* v) { return asView(v)->notify; };
}
