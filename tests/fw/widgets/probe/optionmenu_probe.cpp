// Option menus and toggles in a dialog, in a program of their own per look
// (the classes take the look they are built in), on the headless back-end:
//   optionmenu_probe [-laf LOOK] picture OUT  the toggles in every state and
//                                             option menus, as a PNG
//   optionmenu_probe [-laf LOOK] popup OUT    the screen with an option
//                                             menu's list open
//   optionmenu_probe [-laf LOOK] operate      a user's session by pointer and
//                                             keys, one line per notification
//   optionmenu_probe [-laf LOOK] -live        the dialog on the display until
//                                             the program is ended
#include <algorithm>
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/optionmenu.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

constexpr int kWidth = 330, kHeight = 200;
vdialog* dialog = nullptr;

std::int16_t s16(int v) { return std::int16_t(v); }
void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

void announce(vdialogItem* item, vevent*) {
  auto* c = static_cast<vcontrol*>(item);
  std::printf("%s value %d\n", item->title && *item->title ? item->title : "option menu", int(c->value));
  std::fflush(stdout);
}

template <typename T>
T* placed(T* item, int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  vdialogSetItemRect(item, &r);
  vdialogSetItemNotify(item, announce);
  vdialogAppendItem(dialog, item);
  return item;
}

vcontrol* toggle(const char* title, int x, int y, bool radio, int value, int min = 0) {
  vcontrol* t = vcontrolToggleCreate();
  vdialogSetItemTitle(t, vscribeLiteral(title));
  vcontrolSetExclusive(t, radio);
  vcontrolSetMin(t, min);
  vcontrolSetValue(t, value);
  if (!radio) vcontrolSetTickMarks(t, 1);
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(t, &w, &h);
  return placed(t, x, y, w + 4, h);
}

// The first menu's items have Ctrl+letter accelerators.
vmenu* colours(bool keys) {
  vmenu* m = vmenuCreate();
  const char* names[] = {"Red", "Green", "Blue", "Yellow"};
  for (int i = 0; i < 4; ++i) {
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuItemSetTitle(item, vscribeLiteral(names[i]));
    if (keys) item->accelerator = (std::uint32_t("rgby"[i]) << 16) | veventMOD_CONTROL;
    vmenuAppendItem(m, item);
  }
  return m;
}

// Side by side from x, at their natural sizes.
vcontrol* option(int* x, int y, int value) {
  vcontrol* o = vcontrolOptionMenuCreate();
  vdialogSetItemMenu(o, colours(*x == 10));
  vcontrolSetValue(o, value);
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(o, &w, &h);
  w = w < 90 ? 90 : w;
  placed(o, *x, y, w, h);
  *x += w + 10;
  return o;
}

struct Items {
  vcontrol *check, *checked, *mixed, *pressed, *disabled;
  vcontrol *radio, *radioOn, *radioPressed, *radioDisabled;
  vcontrol *menu, *menuFocused, *menuDisabled;
};

Items build() {
  dialog = vdialogCreate();
  dialog->rect = {40, 150, kWidth, kHeight};
  vwindowSetTitleScribe(dialog, vscribeLiteral("Toggles"));
  Items i{};
  // Open Look shows check boxes for marked toggles, else buttons.
  i.check = toggle("Off", 10, 170, false, 0);
  i.checked = toggle("On", 10, 145, false, 1);
  i.mixed = toggle("Mixed", 10, 120, false, -1, -1);
  i.pressed = toggle("Pressed", 10, 95, false, 0);
  i.disabled = toggle("Disabled", 10, 70, false, 1);
  i.radio = toggle("Radio off", 110, 170, true, 0);
  i.radioOn = toggle("Radio on", 110, 145, true, 1);
  i.radioPressed = toggle("Radio pressed", 110, 120, true, 1);
  i.radioDisabled = toggle("Radio disabled", 110, 95, true, 0);
  int x = 10;
  i.menu = option(&x, 30, 1);
  i.menuFocused = option(&x, 30, 2);
  i.menuDisabled = option(&x, 30, 0);
  dialog->rect.width = s16(std::max(kWidth, x));
  vdialogSetDefaultFocusItem(dialog, i.menuFocused);
  return i;
}

void open() {
  vwindowOpen(dialog);
  win::SetActiveWindow(dialog->native->hwnd);
  win::SetFocus(dialog->native->hwnd);
  settle();
}

void finish() {
  vwindowClose(dialog);
  vinstanceDestroy(dialog);
  settle();
}

int picture(const char* out) {
  Items i = build();
  vdialogDisableItem(i.disabled);
  vdialogDisableItem(i.radioDisabled);
  vdialogDisableItem(i.menuDisabled);
  open();
  i.pressed->controlFlags |= vcontrolPRESSED;
  i.radioPressed->controlFlags |= vcontrolPRESSED;
  vwindowInvalAll(dialog, 0);
  settle();
  int status = win::test::WindowPng(dialog->native->hwnd, out) ? 0 : 1;
  i.pressed->controlFlags &= std::uint16_t(~vcontrolPRESSED);
  i.radioPressed->controlFlags &= std::uint16_t(~vcontrolPRESSED);
  finish();
  return status;
}

// Screen points of a dialog point (y from the bottom).
win::POINT screen(int x, int y) {
  win::POINT p{x, kHeight - 1 - y};
  win::ClientToScreen(dialog->native->hwnd, &p);
  return p;
}
win::POINT centre(vdialogItem* i) { return screen(i->rect.x + i->rect.width / 2, i->rect.y + i->rect.height / 2); }
win::POINT itemPoint(vmenu* menu, int index) {
  vrect r;
  vmenuItemListItemRect(&menu->items, index, &r, nullptr);
  win::POINT p{r.x + r.width / 2, menu->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(menu->native->hwnd, &p);
  return p;
}
void key(unsigned vk) {
  win::test::KeyDown(vk);
  win::test::KeyUp(vk);
  settle();
}
void say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

int popup(const char* out) {
  Items i = build();
  open();
  vcontrolOptionMenuPopup(i.menu, nullptr);
  settle();
  int status = win::test::ScreenPng(out) ? 0 : 1;
  vmenuEnd(vdialogGetItemMenu(i.menu), 0, nullptr);
  settle();
  finish();
  return status;
}

int operate() {
  Items i = build();
  open();
  vmenu* menu = vdialogGetItemMenu(i.menu);
  say("click Off");
  win::test::Click(centre(i.check));
  settle();
  say("press Off, leave it, release");
  win::test::MouseDown(centre(i.check));
  settle();
  win::test::MouseUp(screen(300, 190));
  settle();
  say("click Mixed three times");
  for (int n = 0; n < 3; ++n) {
    win::test::Click(centre(i.mixed));
    settle();
  }
  say("press the option menu, release on Blue");
  win::test::MouseDown(centre(i.menu));
  settle();
  std::printf("open %d\n", vwindowIsOpen(menu) ? 1 : 0);
  win::test::MouseMove(itemPoint(menu, 2));
  settle();
  win::test::MouseUp(itemPoint(menu, 2));
  settle();
  std::printf("open %d pressed %d\n", vwindowIsOpen(menu) ? 1 : 0, i.menu->controlFlags & vcontrolPRESSED ? 1 : 0);
  say("click the option menu, click Blue again");
  win::test::Click(centre(i.menu));
  settle();
  win::test::Click(itemPoint(menu, 2));
  settle();
  say("focus the option menu, Down, Down, Return");
  vdialogSetFocusItem(dialog, i.menu);
  settle();
  key(0x28);
  std::printf("open %d\n", vwindowIsOpen(menu) ? 1 : 0);
  key(0x28);
  key(0x0D);
  std::printf("open %d\n", vwindowIsOpen(menu) ? 1 : 0);
  say("Ctrl+Y on the option menu");
  win::test::KeyDown(0x11);
  key('Y');
  win::test::KeyUp(0x11);
  settle();
  say("focus Radio off, space");
  vdialogSetFocusItem(dialog, i.radio);
  settle();
  key(0x20);
  finish();
  return 0;
}

int probeMain(int argc, char** argv) {
  bool live = std::string(argv[argc - 1]) == "-live";
  if (!live) win::test::SetScreenSize(420, 380);
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  win::UseVirtualClock(!live);
  int status = 2;
  if (mode == "picture" && count > 2) {
    status = picture(args[2]);
  } else if (mode == "popup" && count > 2) {
    status = popup(args[2]);
  } else if (mode == "operate") {
    status = operate();
  } else if (live) {
    build();
    open();
    veventProcess();
    status = 0;
  } else {
    std::fprintf(stderr, "usage: optionmenu_probe [-laf LOOK] picture OUT|popup OUT|operate|-live\n");
  }
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
