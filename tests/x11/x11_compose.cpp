// The system's input method on the X11 back-end (x11_smoke.sh starts
// Xvfb): a spare key is made a dead acute accent, and a second X
// connection types it and then "e" into a dialog's focused text item with
// XTest. The accent shows in the item underlined while it waits for its
// letter; the letter replaces it by "é" in one change with no underline
// left, and plain keys type as before. Exits 0 when all holds.
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/undo.h"
#include "fw/text/styleruns.h"
#include "fw/text/textstyle.h"
#include "fw/text/txtruler.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"
#include "tests/x11/x11_user.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using x11run::check;
using x11run::failures;
using x11run::pumpUntil;

Display* user = nullptr;
x11run::Barrier* barrier = nullptr;
KeyCode deadKey = 0;
std::string undoNames;

void keep(vtextview*, vinstance* action) {
  undoNames += std::string(vundoActionGetName(static_cast<vundoAction*>(action))) + ";";
  vinstanceDestroy(action);
}

// A key code the server's map leaves empty becomes the dead accent, before
// the program's own connection reads the map.
bool makeDeadKey() {
  int low = 0, high = 0, per = 0;
  XDisplayKeycodes(user, &low, &high);
  KeySym* map = XGetKeyboardMapping(user, KeyCode(low), high - low + 1, &per);
  if (!map) return false;
  for (int code = high; code >= low && !deadKey; --code) {
    bool empty = true;
    for (int k = 0; k < per; ++k) empty = empty && map[(code - low) * per + k] == NoSymbol;
    if (empty) deadKey = KeyCode(code);
  }
  XFree(map);
  if (!deadKey) return false;
  KeySym accent = XK_dead_acute;
  XChangeKeyboardMapping(user, deadKey, 1, &accent, 1);
  XSync(user, False);
  return true;
}

void press(KeyCode code) {
  XTestFakeKeyEvent(user, code, True, 0);
  XTestFakeKeyEvent(user, code, False, 0);
  XSync(user, False);
  check(barrier->pass(), "the program sees the key");
}

std::string chars(vtext* t) {
  std::string out(std::size_t(t->length), '\0');
  vtextGetChars(t, 0, t->length, out.data(), t->length + 1);
  return out;
}

bool underlined(vtext* t, std::int32_t p) {
  vtextStyle* s = vtextGetStyleAt(t, p);
  return s && vtextRulerGetBooleanAttr(s, vnameInternLiteral("Underline")) == 1;
}

int run() {
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 300, 120};
  vwindowSetTitleScribe(d, vscribeLiteral("Accents"));
  vtextitem* item = vtextitemCreate();
  vrect r{20, 50, 240, 28};
  vdialogSetItemRect(item, &r);
  vdialogAppendItem(d, item);
  x11run::Barrier marks(user);
  barrier = &marks;
  vwindowOpen(d);
  check(pumpUntil([&] { return x11run::shown(user, d, true); }), "the dialog shows with the keyboard");
  vdialogSetFocusItem(d, item);
  check(pumpUntil([&] { return vdialogGetFocusItem(d) == item; }), "the text item has the focus");
  vtext* t = item->text;
  vtextSetObserverClass(t, vtextUndoObserverClass());
  item->undoSink = keep;

  press(deadKey);
  check(chars(t) == "\xB4", "the dead key shows its accent, got \"" + chars(t) + "\"");
  check(t->length == 1 && underlined(t, 0), "the accent is underlined while composing");
  std::size_t before = undoNames.size();
  press(XKeysymToKeycode(user, XK_e));
  check(chars(t) == "\xE9", "accent and letter make \xE9 (1252), got \"" + chars(t) + "\"");
  check(t->length == 1 && !underlined(t, 0), "the letter leaves no underline");
  check(undoNames.substr(before) == "IM Insert;", "the letter replaces the accent in one change, got " + undoNames);
  press(XKeysymToKeycode(user, XK_x));
  check(chars(t) == "\xE9x", "a plain key types as before, got \"" + chars(t) + "\"");
  // A dead key the next key cannot combine with is dropped by Escape.
  press(deadKey);
  press(XKeysymToKeycode(user, XK_Escape));
  check(chars(t) == "\xE9x", "Escape drops the accent, got \"" + chars(t) + "\"");

  vwindowClose(d);
  vinstanceDestroy(d);
  if (failures) return 1;
  std::printf("x11 compose: all checks hold\n");
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int status = run();
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  user = XOpenDisplay(nullptr);
  if (!user) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  if (!makeDeadKey()) {
    std::fprintf(stderr, "no spare key code for the dead key\n");
    return 1;
  }
  vsysMain(argc, argv, probeMain);
  XCloseDisplay(user);
  return failures ? 1 : 0;
}
