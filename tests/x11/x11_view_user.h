// The user of an image view on the X11 runs: the pointer on an image
// cell's centre, the left button, and a stroke through cells, each step
// pumped before the next.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include "fw/imaging/vimgedview.h"
#include "tests/x11/x11_user.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace x11run {

// The seconds after "-hold" on the command line (0 without): how long the
// run's window stays up at its end, for a screenshot.
inline int holdSeconds(int argc, char** argv) {
  int hold = 0;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "-hold") hold = std::atoi(argv[i + 1]);
  return hold;
}

struct ViewUser {
  Display* display;
  vdialog* dialog;
  vimgedview* view;
  Barrier* barrier;
  // Each step is seen by the program before the next one.
  void moveTo(int ix, int iy) {
    vrect c = vimgedviewCellRect(view, ix, iy);
    win::POINT p = onScreen(dialog, c.x + c.width / 2, c.y + c.height / 2);
    XTestFakeMotionEvent(display, DefaultScreen(display), p.x, p.y, 0);
    XSync(display, False);
    check(barrier->pass(), "the program sees the pointer move");
  }
  void button(bool down) {
    win::DWORD at = win::GetTickCount();
    XTestFakeButtonEvent(display, 1, down ? True : False, 0);
    XSync(display, False);
    check(barrier->pass(), down ? "the program sees the press" : "the program sees the release");
    // Motion in the first 0.15 s after a press is not a drag yet.
    if (down) pumpUntil([&] { return win::GetTickCount() - at >= 250; });
  }
  void stroke(std::initializer_list<std::pair<int, int>> points) {
    auto it = points.begin();
    moveTo(it->first, it->second);
    button(true);
    for (++it; it != points.end(); ++it) moveTo(it->first, it->second);
    button(false);
  }
};


}  // namespace x11run
