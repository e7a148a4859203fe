// A framework-drawn bar's keyboard mode ends when the user turns elsewhere, so that a key typed
// there does not reach the bar. While keyboard mode lasts three watches stand in front of the
// application's handlers: a press outside the bar and its menus (in the bar's window or in any
// other window of the program) ends it and then goes on where it was made, including presses the
// framework never sees as events (a document's title bar or border, the empty document area),
// which a watch on the native dispatch catches; the keys the bar binds reach it from whichever of
// the program's windows has the keyboard; and the keyboard going on to another window ends it.
// The bar's window going inactive ends it in the Windows looks (the bar's menu procedure hears
// `WM_ACTIVATE`), and in every look when another program takes the activation.
#include "fw/core/event.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menubar_internal.h"

namespace {

bool active(const vmenubar* b) { return (b->barFlags & vmenubarACTIVE) != 0; }
bool popped(const vmenubar* b) { return (b->barFlags & vmenubarPOPPED) != 0; }
vwindow* windowOf(vmenubar* b) { return vmenubarGetWindow(_vmenubarStrip(b)); }
bool isMenu(vwindow* w) { return w && vclassIsSubclass(w->cls, vmenuGetDefaultClass()); }

void leave(vmenubar* b) {
  vmenubarPopdownMenu(b);
  vmenubarEnd(b);
}

// ---- The click-outside watch, in front of the application's press handler.
struct Watch {
  vmenubar* bar;
  veventTable* table;
  veventHandler saved;
} watch{};

// The bar whose press is being handled; cleared when it goes away.
vmenubar* pressed = nullptr;

void cancelWatch() {
  if (!watch.bar) return;
  watch.table->handlers[veventBUTTON_DOWN] = watch.saved;
  watch.bar = nullptr;
}

int watchPress(vevent* e) {
  vmenubar* b = watch.bar;
  veventHandler next = watch.saved;
  cancelWatch();
  vwindow* w = b ? windowOf(b) : nullptr;
  vwindow* in = veventGetWindow(e);
  if (w && in == w) {
    vrect r = _vmenubarStripOnWindow(b);
    if (!vrectContainsPoint(&r, veventGetX(e), veventGetY(e))) vmenubarClassOf(b)->deactivate(b);
  } else if (w && in && !isMenu(in) && active(b) && !popped(b)) {
    // An open menu closes on a press outside it by itself.
    vmenubarClassOf(b)->deactivate(b);
  }
  pressed = b;
  int answer = next ? next(e) : 0;
  // A press that left keyboard mode on (on a menu, on the bar between
  // titles) leaves the watch standing for the next.
  if (pressed && active(pressed)) _vmenubarStartWatch(pressed);
  pressed = nullptr;
  return answer;
}

// ---- Keyboard mode holds the keyboard: the keys the bar binds in its
// window reach it while the focus is in another window (a document inside
// the frame, a window of its own), as the native menu loop takes every key.
// The menu-bar key keeps its own road (its press and release in the
// Windows looks), and an open menu takes the keys itself. Under the global
// bar the frame's keys already work its document's titles. The keyboard
// going on to a window other than the one that had it (a notice, another
// document) ends keyboard mode, as the user has turned there.
struct Hold {
  vmenubar* bar;
  veventTable* table;
  bool keys;  // the key watch stands too
  veventHandler savedKey;
  veventHandler savedFocus;
  veventMSWPressWatch savedPress;
  vwindow* focus;  // where the keyboard was when keyboard mode began
} hold{};

int watchKey(vevent* e) {
  vmenubar* b = hold.bar;
  vwindow* w = b ? windowOf(b) : nullptr;
  vwindow* from = veventGetWindow(e);
  if (w && from && from != w && vwindowIsOpen(w) && active(b) && !popped(b) && !isMenu(from) &&
      _vmenubarHoldsKey(b, veventGetKeyValue(e)))
    vwindowTranslateEvent(from, w, e);
  return hold.savedKey ? hold.savedKey(e) : 0;
}

int watchFocus(vevent* e) {
  vmenubar* b = hold.bar;
  veventHandler next = hold.savedFocus;
  vwindow* to = veventGetWindow(e);
  if (b && to && to != hold.focus && to != windowOf(b) && !isMenu(to) && active(b)) leave(b);
  return next ? next(e) : 0;
}

bool clientPress(win::UINT message) {
  return message == win::WM_LBUTTONDOWN || message == win::WM_MBUTTONDOWN || message == win::WM_RBUTTONDOWN;
}

// A press that becomes no framework press event: on a window's frame
// (title bar, border, a document's boxes) or in a window of the platform's
// own (the document area). A client press in a framework window is the
// click-outside watch's; the frame's menu line over a maximized document
// holds the bar's titles.
void watchNativePress(const win::MSG* m) {
  vmenubar* b = hold.bar;
  veventMSWPressWatch next = hold.savedPress;
  vwindow* in = vwindowFindFromMSWWindow(m->hwnd);
  if (b && active(b) && !popped(b) && !isMenu(in)) {
    bool ours = clientPress(m->message) ? in != nullptr
                                        : in && in == windowOf(b) && m->wParam == static_cast<win::WPARAM>(win::HTMENU);
    if (!ours) leave(b);
  }
  if (next) next(m);
}

}  // namespace

void _vmenubarStartWatch(vmenubar* b) {
  if (watch.bar) return;
  vapplication* app = vapplicationGetCurrent();
  watch.bar = b;
  watch.table = &app->dispatch;
  watch.saved = app->dispatch.handlers[veventBUTTON_DOWN];
  app->dispatch.handlers[veventBUTTON_DOWN] = watchPress;
}

void _vmenubarCancelWatch(vmenubar* bar) {
  if (watch.bar == bar) cancelWatch();
}

bool _vmenubarWatching() { return watch.bar != nullptr; }

void _vmenubarHoldKeys(vmenubar* b, bool on) {
  vapplication* app = vapplicationGetCurrent();
  if (on && !hold.bar && app) {
    veventHandler* h = app->dispatch.handlers;
    hold = {b, &app->dispatch, !vmenubarGlobalLook(), h[veventKEY_DOWN], h[veventFOCUS_IN], nullptr,
            vwindowMSWGetFocus()};
    if (hold.keys) h[veventKEY_DOWN] = watchKey;
    h[veventFOCUS_IN] = watchFocus;
    hold.savedPress = veventMSWSetPressWatch(watchNativePress);
  } else if (!on && hold.bar == b) {
    if (hold.keys) hold.table->handlers[veventKEY_DOWN] = hold.savedKey;
    hold.table->handlers[veventFOCUS_IN] = hold.savedFocus;
    veventMSWSetPressWatch(hold.savedPress);
    hold.bar = nullptr;
  }
}

// Another program taking the activation ends keyboard mode and the open
// menu in every look: the menu's hold on the pointer would take that
// program's first click.
void _vmenubarWindowDeactivated(vwindow* w, bool toOtherProgram) {
  if (!_vmenubarWindowsLook() && !toOtherProgram) return;
  vmenubar* b = _vmenubarFirstBar(w);
  if (!b || vmenubarIsNative(b) || !active(b)) return;
  // The bar's own menu took the activation: it is what is shown.
  vmenu* m = b->current >= 0 && b->current < vmenubarCount(b) ? vmenubarAt(b, b->current) : nullptr;
  if (!toOtherProgram && popped(b) && m && vwindowIsOpen(m)) return;
  leave(b);
}

void _vmenubarForget(vmenubar* bar) {
  if (watch.bar == bar) cancelWatch();
  if (pressed == bar) pressed = nullptr;
  _vmenubarHoldKeys(bar, false);
}
