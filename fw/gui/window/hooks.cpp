#include "fw/gui/window/hooks.h"

#include "fw/core/ex.h"

namespace {

void noName(vname) {}
void noRoot(vresource) {}
vinstance* noHelpWindow() {
  vexGenerateMessage(&vexModuleStateClass, "attempt to get the default global window when the default class wasn't set");
}

constinit vwindowHooks installed{noName, noRoot, noHelpWindow};
bool fixed = false;

}  // namespace

vwindowHooks vwindowDefaultHooks() { return vwindowHooks{noName, noRoot, noHelpWindow}; }

void vwindowInstallHooks(const vwindowHooks* hooks) {
  if (fixed) vexGenerateMessage(&vexModuleStateClass, "window hooks installed after the first class was built");
  if (!hooks || !hooks->helpSetApplicationName || !hooks->helpSetResourceRoot || !hooks->helpGetGlobalWindow)
    vexGenerateMessage(&vexArgNullClass, "Null");
  installed = *hooks;
}

const vwindowHooks& vwindowGetHooks() {
  fixed = true;
  return installed;
}
