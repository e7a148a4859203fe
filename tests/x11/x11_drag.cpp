// Pointer drags on the X11 back-end (x11_smoke.sh starts Xvfb): a second X
// connection plays the user with XTest, pressing a dialog's slider thumb
// and a scroll bar's thumb, moving in steps that each reach the program on
// their own (so each is the last motion of its drag), and releasing. The
// values and thumbs follow the pointer at every step and stay where they
// were released. Runs in the look named by "-laf"; exits 0 when all holds.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win.h"
#include "tests/x11/x11_user.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using x11run::check;
using x11run::failures;
using x11run::onScreen;
using x11run::pumpUntil;

x11run::Barrier* barrier = nullptr;

int notified = 0;
void onValue(vdialogItem*, vevent*) { ++notified; }

vslider* placed(vdialog* d, vslider* s, vrect r, bool vertical) {
  vcontrolSetMax(s, 100);
  vcontrolSetValue(s, 0);
  if (vertical) vcontrolSetVertical(s, 1);
  vdialogSetItemRect(s, &r);
  vdialogSetItemNotify(s, onValue);
  vdialogAppendItem(d, s);
  return s;
}

bool vertical(vslider* s) { return (s->controlFlags & vcontrolVERTICAL) != 0; }
int thumbStart(vslider* s) { return vertical(s) ? s->indicator.y : s->indicator.x; }

// Each step of the user's is seen by the program before the next.
void moveTo(Display* user, win::POINT p) {
  XTestFakeMotionEvent(user, DefaultScreen(user), p.x, p.y, 0);
  XSync(user, False);
  check(barrier->pass(), "the program sees the pointer move");
}
void button(Display* user, bool down) {
  XTestFakeButtonEvent(user, 1, down ? True : False, 0);
  XSync(user, False);
  check(barrier->pass(), down ? "the program sees the press" : "the program sees the release");
}

// Presses the thumb's middle, moves 3 steps of `step` pixels along the
// bar (each one seen alone), releases. The value grows and the thumb
// moves by the step at each one.
void dragCase(Display* user, vdialog* d, vslider* s, const char* name, int step) {
  bool v = vertical(s);
  int cx = s->indicator.x + s->indicator.width / 2, cy = s->indicator.y + s->indicator.height / 2;
  int startThumb = thumbStart(s), startValue = int(s->value);
  notified = 0;
  moveTo(user, onScreen(d, cx, cy));
  win::DWORD pressed = win::GetTickCount();
  button(user, true);
  // Motion in the first 0.15 s after a press is not a drag yet.
  pumpUntil([&] { return win::GetTickCount() - pressed >= 250; });
  int lastValue = int(s->value);
  for (int i = 1; i <= 3; ++i) {
    int along = i * step;
    // The bar's vertical axis counts up; the screen's down.
    moveTo(user, onScreen(d, cx + (v ? 0 : along), cy + (v ? along : 0)));
    std::string at = std::string(name) + " step " + std::to_string(i);
    check(thumbStart(s) == startThumb + along,
          at + ": the thumb at " + std::to_string(thumbStart(s)) + ", not " + std::to_string(startThumb + along));
    check(int(s->value) > lastValue, at + ": the value grows past " + std::to_string(lastValue));
    lastValue = int(s->value);
  }
  button(user, false);
  check(int(s->value) == lastValue && thumbStart(s) == startThumb + 3 * step,
        std::string(name) + ": the release keeps the value and the thumb");
  check(notified >= 3, std::string(name) + ": every step announced (" + std::to_string(notified) + ")");
  check(int(s->value) > startValue, std::string(name) + ": dragged");
}

int run(int, char**) {
  Display* user = XOpenDisplay(nullptr);
  if (!user) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 320, 200};
  vwindowSetTitleScribe(d, vscribeLiteral("Drags"));
  vslider* slider = placed(d, vsliderCreate(), {20, 150, 240, 24}, false);
  vslider* bar = placed(d, vsliderScrollBarCreate(), {280, 20, 17, 170}, true);
  vcontrolSetView(bar, 10);
  x11run::Barrier marks(user);
  barrier = &marks;
  vwindowOpen(d);
  check(pumpUntil([&] { return x11run::shown(user, d); }), "the dialog shows");
  dragCase(user, d, slider, "slider", 12);
  dragCase(user, d, bar, "scroll bar", 10);
  vwindowClose(d);
  vinstanceDestroy(d);
  XCloseDisplay(user);
  if (failures) return 1;
  std::printf("x11 drag (%s): all checks hold\n", vlafGetCurrent()->name ? vlafGetCurrent()->name : "?");
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int status = run(argc, argv);
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
