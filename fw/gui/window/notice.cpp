#include "fw/core/class.h"
#include "fw/core/scribe.h"
#include "fw/gui/window/classops.h"

void vnoticeSetNoTitleScribe(vinstance* notice, vscribe* title) {
  const vwindowHooks& h = vwindowGetHooks();
  vname no = vnameInternLiteral("No");
  vobject* button = h.noticeFindButton(notice, no);
  if (button == nullptr) {
    // Made on demand: stays off until the notice turns its "No" on.
    h.noticeMakeButtonPresent(notice, no, 1);
    button = h.noticeFindButton(notice, no);
    if (button == nullptr) {
      vscribeRelease(title);
      return;
    }
    h.dialogItemDisable(button);
    h.dialogItemHide(button);
  }
  h.confirmButtonSetTitleScribe(button, title);
}

void vlistviewNotify(vinstance* listview, int code) {
  constexpr std::uint32_t kOpen = 0x10;
  constexpr std::uint32_t kSilent = 0x800;
  const vwindowHooks& h = vwindowGetHooks();
  if ((h.listviewItemFlags(listview) & kOpen) == 0) return;
  vlistviewNotifyFunc notify = h.listviewNotifyFunction(listview);
  if (notify == nullptr || (h.listviewOptions(listview) & kSilent) != 0) return;
  notify(listview, code);
}
