// The start of the dialog item tests: the application with the framework's
// own preferences (once), the Windows look, and the item classes built so
// that resources find them by name.
#pragma once
#include "fw/data/pref.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

inline void startDialogItemTests() {
  vmoduleGetDefaultContext();
  vapplicationGetCurrent();
  vwindowEnsureStartup();
  static bool loaded = [] {
    vapplicationLoadPreferences(vapplicationGetCurrent(), 0);
    return true;
  }();
  (void)loaded;
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "windows");
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativemenubar"), "1");
  vlafGetCurrent();
  _vlafRebuildCurrent();
  vdialogItemListGetDefaultClass();
}
