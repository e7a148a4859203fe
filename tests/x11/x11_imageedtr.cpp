// The image editor dialog on the X11 back-end (x11_smoke.sh starts Xvfb):
// a second X connection plays the user with XTest: a pencil stroke, undo
// and the grid by their command keys, the preview window opened and
// closed, and apply handing the stroke back. With "-hold N" the editor
// stays open N seconds more (for a screenshot). Exits 0 when all holds.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/widgets/startup.h"
#include "platform/win.h"
#include "tests/x11/x11_view_user.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using x11run::check;
using x11run::failures;
using x11run::onScreen;
using x11run::pumpUntil;

struct User : x11run::ViewUser {
  vimageedtr* editor;
  // Control and a letter, as the editor's command keys take them.
  void command(KeySym letter) {
    KeyCode control = XKeysymToKeycode(display, XK_Control_L), key = XKeysymToKeycode(display, letter);
    for (auto [code, down] : {std::pair{control, True}, {key, True}, {key, False}, {control, False}})
      XTestFakeKeyEvent(display, code, down, 0);
    XSync(display, False);
    check(barrier->pass(), "the program sees the keys");
  }
  // The keys go where the X focus is: the window asked for has it first.
  void focusOn(vdialog* w) {
    check(pumpUntil([&] { return x11run::shown(display, w, true); }),
          "the window asked for has the keyboard");
  }
  std::uint32_t pixel(int x, int y) {
    return vpixmapCursorGetAt(vimgedGetPixelCursor(vimageedtrGetImageModel(editor)), x, y);
  }
};

int run(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  const int hold = x11run::holdSeconds(argc, argv);
  vimage* image = vimageCreateSized(32, 24, 16);
  vcolorList* palette = vimageGetPalette(image);
  for (std::uint32_t i = 0; i < palette->count; ++i)
    vcolorSetSpecRGB(&palette->entries[i], (i * 17) * 257, (255 - i * 13) * 257, (i * 53 % 256) * 257);
  vcolorSetSpecRGB(&palette->entries[0], 0xFFFF, 0xFFFF, 0xFFFF);
  vcolorSetSpecRGB(&palette->entries[1], 0, 0, 0);
  vcolorListChanged(palette);
  // The preferences an earlier run kept stay out of this one.
  vresource store = vresourceCreateMemory();
  vapplicationGetCurrent()->resources = store;
  vimageedtrReadPrefs();
  vimageedtr* e = vimageedtrCreate();
  vimageedtrSetImage(e, image);
  vimageedtrSetFlags(e, vimageedtrNO_APPLY_ON_CLOSE);
  x11run::Barrier barrier(display);
  vwindowOpen(e);
  User user{{display, e, vimageedtrGetImageView(e), &barrier}, e};
  user.focusOn(e);
  vimgedview* v = user.view;
  check(v->zoom >= 2, "the view zooms the image");

  int top = v->origin.y + v->origin.height - 1;
  user.stroke({{2, top - 2}, {6, top - 2}, {10, top - 2}});
  for (int x = 2; x <= 10; ++x) check(user.pixel(x, top - 2) == 1, "pencil at " + std::to_string(x));
  check(vimageedtrSelectorEnabled(e, vimageedtrSAVE), "the stroke makes the image modified");

  user.command(XK_z);
  check(user.pixel(6, top - 2) == 0, "control z undid the stroke");
  user.command(XK_y);
  check(user.pixel(6, top - 2) == 1, "control y redid it");

  user.command(XK_g);
  check(vimageedtrSelectorMarked(e, vimageedtrSHOW_GRID), "control g shows the grid");
  user.command(XK_p);
  check(e->preview && vwindowIsOpen(e->preview), "control p opens the preview");
  // Held for a screenshot: the one wait meant to take its time.
  if (win::DWORD until = win::GetTickCount() + win::DWORD(hold) * 1000; hold > 0)
    pumpUntil([&] { return win::GetTickCount() >= until; }, win::DWORD(hold) * 1000 + 1000);
  // The preview took the keyboard: the editor's keys work there too.
  if (e->preview) user.focusOn(e->preview);
  user.command(XK_p);
  check(!(e->preview && vwindowIsOpen(e->preview)), "and closes it");
  win::SetActiveWindow(e->native->hwnd);
  user.focusOn(e);

  user.command(XK_a);
  check(vpixmapCursorGetAt(vimgedGetPixelCursor(vimageedtrGetImageModel(e)), 4, top - 2) == 1, "still painted");
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  check(vpixmapCursorGetAt(&c, 4, top - 2) == 1, "control a applied the stroke to the image");
  vpixmapFinishCursor(&c);

  vwindowClose(e);
  vinstanceDestroy(e);
  vimageDestroy(image);
  vapplicationGetCurrent()->resources = 0;
  vresourceCloseFile(store);
  XCloseDisplay(display);
  if (failures) return 1;
  std::printf("x11 image editor: all checks hold\n");
  return 0;
}

int probeMain(int argc, char** argv) {
  vimageedtrInstallStartup();
  vwidgetsStartup(argc, argv);
  int status = run(argc, argv);
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
