// A small program on the framework alone, as a user builds one: a dialog
// with a one-line text field, a slider and an OK button that is its
// default, typed into with Tab and Return on the headless window system
// (a one-line field keeps Return for itself: the slider passes it to the
// dialog). It takes its resources wherever the framework finds them, or
// none at all.
//   keys_probe      prints where the framework's file was found, the
//                   field that has the focus before and after Tab, and
//                   what Return did; status 0 when OK fired
#include <cstdio>
#include <cstdlib>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

bool confirmed = false;

std::int16_t s16(int v) { return std::int16_t(v); }

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

void press(win::UINT vk) {
  win::test::KeyDown(vk);
  win::test::KeyUp(vk);
  settle();
}

template <typename T>
T* placed(T* item, const char* tag, int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  vdialogSetItemRect(item, &r);
  item->tag = vnameInternLiteral(tag);
  return item;
}

vtextitem* field(const char* tag, int y) {
  vtextitem* t = placed(vtextitemCreate(), tag, 10, y, 210, 24);
  vtextitemSetOneLine(t, 1);
  vtextitemSetModifiable(t, 1);
  vtextitemSetSelectable(t, 1);
  return t;
}

const char* focus(vdialog* d) {
  vdialogItem* f = vdialogGetFocusItem(d);
  return f && f->tag ? f->tag : "none";
}

int probeMain(int argc, char** argv) {
  win::UseVirtualClock(true);
  vwidgetsStartup(argc, argv);
  vfsPath* found = vinstFindFileQuiet(vinstNAMES[0]);
  vstr* where = found ? vfsPathToString(found) : nullptr;
  std::printf("framework file: %s\n", where ? where : "none");
  if (where) vstrDestroy(where);
  if (found) vfsFreePath(found);
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 240, 130};
  vwindowSetTitleScribe(d, vscribeLiteral("Keys"));
  vtextitem* first = field("field", 90);
  vslider* second = placed(vsliderCreate(), "slider", 10, 55, 210, 24);
  vbutton* ok = placed(vbuttonCreate(), "OK", 10, 10, 70, 26);
  vdialogSetItemTitle(ok, vscribeLiteral("OK"));
  vdialogSetItemNotify(ok, [](vdialogItem*, vevent*) { confirmed = true; });
  for (vdialogItem* item : {static_cast<vdialogItem*>(first), static_cast<vdialogItem*>(second),
                            static_cast<vdialogItem*>(ok)})
    vdialogAppendItem(d, item);
  vdialogSetConfirmItem(d, ok);
  vdialogSetDefaultFocusItem(d, first);
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
  std::printf("focus: %s\n", focus(d));
  press(win::VK_TAB);
  std::printf("after Tab: %s\n", focus(d));
  press(win::VK_RETURN);
  // A button shows itself pressed for a moment before it notifies.
  win::test::AdvanceClock(500);
  settle();
  std::printf("after Return: %s\n", confirmed ? "OK fired" : "nothing");
  std::fflush(stdout);
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
  return confirmed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The headless window system whatever the display.
  setenv("WEXLIN_BACKEND", "headless", 1);
  vsysMain(argc, argv, probeMain);
}
