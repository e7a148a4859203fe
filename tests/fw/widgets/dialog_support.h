// The start of the dialog item tests: the application with the framework's
// own preferences (once), the Windows look, and the item classes built so
// that resources find them by name.
#pragma once
#include "fw/data/pref.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/dialog/itemlist.h"
#include "platform/win/test.h"
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

// A click, through the platform's input, on the middle of a confirm's (or
// notice's) button; false when it has no button of that tag.
inline bool clickConfirmButton(vconfirm* c, const char* tag) {
  vdialogItem* b = vconfirmFindButton(c, vnameInternLiteral(tag));
  if (!b) return false;
  vrect r = b->rect;
  vdialogItemListTransformRect(b->owner, &r);
  win::SetActiveWindow(c->native->hwnd);
  win::POINT p{r.x + r.width / 2, c->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(c->native->hwnd, &p);
  win::test::Click(p);
  return true;
}
