// The image view on the X11 back-end (x11_smoke.sh starts Xvfb): a second
// X connection plays the user with XTest in a dialog holding a view over a
// 48 x 32 image at zoom 6 with the grid and scroll bars: a pencil stroke,
// a rectangle selected and dragged, and a scroll bar's arrow pressed. With
// "-hold N" the dialog stays open N seconds more (for a screenshot).
// Exits 0 when all holds.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/imaging/vimgedview.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"
#include "platform/win.h"
#include "tests/x11/x11_view_user.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using x11run::check;
using x11run::failures;
using x11run::onScreen;
using x11run::pumpUntil;

struct User : x11run::ViewUser {
  std::uint32_t pixel(int x, int y) { return vpixmapCursorGetAt(vimgedGetPixelCursor(view->editor), x, y); }
};

int run(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  const int hold = x11run::holdSeconds(argc, argv);
  vimage* image = vimageCreateSized(48, 32, 256);
  vcolorList* palette = vimageGetPalette(image);
  for (std::uint32_t i = 0; i < palette->count; ++i)
    vcolorSetSpecRGB(&palette->entries[i], (i * 37 % 256) * 257, (i * 91 % 256) * 257, (i * 53 % 256) * 257);
  vcolorSetSpecRGB(&palette->entries[0], 0xFFFF, 0xFFFF, 0xFFFF);
  vcolorListChanged(palette);
  vimged* model = vimgedCreate();
  vimgedSetImage(model, image);
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 300, 240};
  vwindowSetTitleScribe(d, vscribeLiteral("Image view"));
  vimgedview* view = vimgedviewCreate();
  vrect r{10, 10, 280, 220};
  vdialogSetItemRect(view, &r);
  vdialogAppendItem(d, view);
  vimgedviewSetHorizontalBar(view, 1);
  vimgedviewSetVerticalBar(view, 1);
  vimgedviewSetEditor(view, model);
  vimgedviewSetZoom(view, 6);
  vimgedviewSetGrid(view, 1);
  x11run::Barrier barrier(display);
  vwindowOpen(d);
  check(pumpUntil([&] { return x11run::shown(display, d); }), "the dialog shows");
  User user{{display, d, view, &barrier}};
  check(view->origin.width < 48, "the zoomed image is wider than the view: it scrolls");

  vimgedviewSetTool(view, vimgedviewPENCIL);
  vimgedviewSetForeground(view, 7);
  int top = view->origin.y + view->origin.height - 1;
  user.stroke({{2, top - 2}, {6, top - 2}, {10, top - 2}});
  for (int x = 2; x <= 10; ++x) check(user.pixel(x, top - 2) == 7, "pencil at " + std::to_string(x));

  vimgedviewSetTool(view, vimgedviewFILL_RECT);
  vimgedviewSetForeground(view, 12);
  user.stroke({{3, top - 10}, {12, top - 5}, {8, top - 7}});
  check(user.pixel(8, top - 7) == 12 && user.pixel(3, top - 10) == 12, "filled rectangle");
  check(user.pixel(12, top - 5) == 0, "the rubber band left nothing");

  vimgedviewSetTool(view, vimgedviewSELECT);
  user.stroke({{3, top - 10}, {6, top - 8}, {8, top - 7}});
  check(vimgedHasSelection(model) && model->selRect.width == 6 && model->selRect.height == 4, "rectangle selected");
  user.stroke({{5, top - 9}, {10, top - 9}, {15, top - 9}});
  check(model->selRect.x == 13, "selection dragged to column 13, at " + std::to_string(model->selRect.x));
  const char* label = nullptr;
  vimgedCanUndo(model, &label);
  check(label && std::string(label) == "Undo Drag", "the drag is one undo step");

  // The horizontal bar's right arrow scrolls by columns (more than one
  // when a slow run holds it past the repeat delay).
  int before = view->origin.x;
  vrect bar = view->hbar->rect;
  win::POINT arrow = onScreen(d, bar.x + bar.width - 4, bar.y + bar.height / 2);
  XTestFakeMotionEvent(display, DefaultScreen(display), arrow.x, arrow.y, 0);
  XSync(display, False);
  check(barrier.pass(), "the program sees the pointer on the arrow");
  XTestFakeButtonEvent(display, 1, True, 0);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);
  check(barrier.pass(), "the program sees the press and release");
  check(view->origin.x > before, "the bar's arrow scrolled right, to " + std::to_string(view->origin.x));
  check(view->hbar->value == view->origin.x, "the bar shows the origin");

  // Held for a screenshot: the one wait meant to take its time.
  if (win::DWORD until = win::GetTickCount() + win::DWORD(hold) * 1000; hold > 0)
    pumpUntil([&] { return win::GetTickCount() >= until; }, win::DWORD(hold) * 1000 + 1000);
  vwindowClose(d);
  vinstanceDestroy(d);
  vimgedDestroy(model);
  vimageDestroy(image);
  XCloseDisplay(display);
  if (failures) return 1;
  std::printf("x11 image view: all checks hold\n");
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
