// Menu buttons in a program of their own per look (the button class takes
// the look it is built in), driven through the headless back-end:
//   button_probe [-laf LOOK] menus      one line per observation: where the
//                                       menu opens, what is chosen, when
//                                       the button is released
//   button_probe [-laf LOOK] preview OUT  Open Look: a button previewing its
//                                       menu's default item, as a PNG
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

using probehost::listOf;
using probehost::settle;

constexpr int kWidth = 240, kHeight = 160;
vwindow* window = nullptr;

void chose(vmenuItem* item, vevent*) { std::printf("chose %s\n", item->title); }

vmenuItem* add(vmenu* m, const char* title, char mnemonic, vmenuItemClassRec* cls = vmenuGetDefaultItemClass()) {
  vmenuItem* i = vmenuItemCreate(cls);
  vmenuItemSetTitle(i, vscribeLiteral(title));
  vmenuItemSetMnemonic(i, mnemonic);
  i->notifyFunc = chose;
  vmenuAppendItem(m, i);
  return i;
}

// Given its menu once the window is open (its keys are the window's).
vbutton* menuButton(const char* title, int x, int y, vmenu* menu) {
  vbutton* b = vbuttonCreate();
  vdialogSetItemTitle(b, vscribeLiteral(title));
  vdialogSetItemNotify(b, [](vdialogItem* i, vevent*) { std::printf("%s activated\n", i->title); });
  vdialogItemListAppend(listOf(window), b);
  if (!vwindowIsOpen(window)) probehost::show(window);
  vdialogSetItemMenu(b, menu);
  int bw = 0, bh = 0;
  vdialogGetItemNaturalSize(b, &bw, &bh);
  vrect r{std::int16_t(x), std::int16_t(y), std::int16_t(bw < 80 ? 80 : bw), std::int16_t(bh < 24 ? 24 : bh)};
  vdialogSetItemRect(b, &r);
  return b;
}

// Screen points of a window point (y from the bottom) and of a menu item.
win::POINT screen(int x, int y) {
  win::POINT p{x, kHeight - 1 - y};
  win::ClientToScreen(window->native->hwnd, &p);
  return p;
}
win::POINT itemPoint(vmenu* menu, int i) {
  vrect r;
  vmenuItemListItemRect(&menu->items, i, &r, nullptr);
  win::POINT p{r.x + r.width / 2, menu->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(menu->native->hwnd, &p);
  return p;
}
win::POINT centre(vbutton* b) { return screen(b->rect.x + b->rect.width / 2, b->rect.y + b->rect.height / 2); }

void state(const char* when, vbutton* b, vmenu* menu) {
  std::printf("%s: pressed %d mode %d open %d\n", when, b->buttonFlags & vbuttonPRESSED ? 1 : 0,
              b->buttonFlags & vbuttonMENU_DEFAULT ? 1 : 0, vwindowIsOpen(menu) ? 1 : 0);
}

// Where the open menu stands against the button: the offset of its left
// edge and of its top from the button's lower edge, on the screen.
void placement(vbutton* b, vmenu* menu) {
  vrect r = b->rect, s;
  vdialogItemListTransformRect(listOf(window), &r);
  vwindowTranslateRect(window, nullptr, &r, &s);
  vrect anchor = menu->popup ? menu->popup->anchor : vrect{};
  std::printf("menu left %+d, top %+d from the button's foot; anchored on the button %d\n", menu->rect.x - s.x,
              menu->rect.y + menu->rect.height - s.y, vrectEqual(&anchor, &s) ? 1 : 0);
}

vevent* keyEvent(int character) {
  vevent* e = veventCreateKeyDown(window, 0, 0, 0, 0, std::uint32_t(character), character);
  return e;
}
int issue(vbutton* b, int selector, vevent* e) {
  vdict context;
  vdictInit(&context, vdictHashName);
  vdictStore(&context, vname_Event, e);
  int answer = vobjectAttributedOf(b)->issueSelector(b, selector, &context);
  vdictFinish(&context);
  return answer;
}

int menus() {
  win::UseVirtualClock(true);
  window = probehost::host(kWidth, kHeight);
  vmenu* menu = vmenuCreate();
  add(menu, "One", 'O');
  add(menu, "Two", 'T');
  vmenuItem* wrap = add(menu, "Wrap", 'W', vmenuGetDefaultToggleItemClass());
  vbutton* b = menuButton("Menu", 10, 100, menu);
  win::SetActiveWindow(window->native->hwnd);
  settle();
  bool openLook = vlafGetCurrent()->id == vlafOPEN_LOOK;

  // Press, move to "Two", release there: chosen, and the menu's end
  // releases the button. Open Look's Select previews instead (below); its
  // Menu button pops the menu up.
  win::test::MouseDown(centre(b), openLook ? win::backend::Button::right : win::backend::Button::left);
  settle();
  state("pressed", b, menu);
  placement(b, menu);
  win::test::MouseMove(itemPoint(menu, 1));
  settle();
  win::test::MouseUp(itemPoint(menu, 1), openLook ? win::backend::Button::right : win::backend::Button::left);
  settle();
  state("released on Two", b, menu);

  // A click leaves the menu open with the button held; the menu ending
  // without a choice releases it.
  win::test::Click(centre(b), openLook ? win::backend::Button::right : win::backend::Button::left);
  settle();
  state("clicked", b, menu);
  vmenuEnd(menu, 0, nullptr);
  settle();
  state("ended", b, menu);

  // The "Menu" selector with a key event pops it up; a key choosing an
  // item ("Accelerator") chooses it without opening the menu.
  vevent* k = keyEvent(' ');
  std::printf("selector 5 answers %d\n", issue(b, 5, k));
  state("by the Menu selector", b, menu);
  vmenuEnd(menu, 0, k);
  veventDestroy(k);
  settle();
  k = keyEvent('t');
  std::printf("selector 7 with t answers %d\n", issue(b, 7, k));
  state("by t", b, menu);
  veventDestroy(k);
  k = keyEvent('q');
  issue(b, 7, k);
  state("by q", b, menu);
  veventDestroy(k);

  if (openLook) {
    // Select: the menu-default mode previews "One" (the first item; the
    // default once set), the release chooses it; a toggle default is set.
    win::test::MouseDown(centre(b));
    settle();
    state("Select pressed", b, menu);
    win::test::MouseUp(centre(b));
    settle();
    state("Select released", b, menu);
    vmenuItemListSetDefaultItem(&menu->items, wrap);
    vmenuItemSetToggle(wrap, 0);
    win::test::Click(centre(b));
    settle();
    std::printf("Wrap on %d, the menu's selection %s\n", vmenuItemIsToggleOn(wrap) ? 1 : 0,
                menu->selection ? menu->selection->title : "none");
    // A default item with a sub-menu opens the sub-menu at the button; a
    // release on its second item chooses that, and the sub-menu's end
    // releases the button.
    vmenu* sub = vmenuCreate();
    add(sub, "Deep", 'D');
    add(sub, "Deeper", 'E');
    vmenuItem* more = add(menu, "More", 'M', vmenuGetDefaultSubMenuItemClass());
    vmenuItemSetSubMenu(more, sub);
    vmenuItemListSetDefaultItem(&menu->items, more);
    win::test::MouseDown(centre(b));
    settle();
    state("Select on a cascade", b, sub);
    win::test::MouseMove(itemPoint(sub, 1));
    settle();
    win::test::MouseUp(itemPoint(sub, 1));
    settle();
    state("released on Deeper", b, sub);
    // Pressed and let go on the button: the sub-menu stays open until it
    // ends; the button's release then only leaves the mode.
    win::test::MouseDown(centre(b));
    settle();
    win::test::MouseUp(centre(b));
    settle();
    state("clicked on a cascade", b, sub);
    vmenuEnd(sub, 0, nullptr);
    settle();
    state("cascade ended", b, sub);
  } else {
    (void)wrap;
  }

  // A button going away while its menu is open takes the menu with it;
  // the release that follows finds neither.
  win::POINT at = centre(b);
  win::test::MouseDown(at, openLook ? win::backend::Button::right : win::backend::Button::left);
  settle();
  state("pressed again", b, menu);
  vobjectListRemove(listOf(window), b);
  vinstanceDestroy(b);
  settle();
  win::test::MouseUp(at, openLook ? win::backend::Button::right : win::backend::Button::left);
  settle();
  std::printf("gone with its menu open\n");
  probehost::finish(window);
  win::UseVirtualClock(false);
  return 0;
}

// Open Look: a menu button held with Select shows its menu's default item.
int preview(const char* path) {
  window = probehost::host(kWidth, 60);
  vmenu* menu = vmenuCreate();
  add(menu, "One", 'O');
  add(menu, "Default", 'D');
  vmenuItemListSetDefaultItem(&menu->items, vmenuItemListAt(&menu->items, 1));
  vbutton* held = menuButton("Choices", 10, 20, menu);
  vmenu* other = vmenuCreate();
  add(other, "One", 'O');
  menuButton("Choices", 120, 20, other);
  held->buttonFlags |= vbuttonMENU_DEFAULT;
  vbuttonPress(held);
  settle();
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(window));
  vdialogItemListDraw(listOf(window));
  vdrawGRestore();
  bool shot = win::test::WritePng(path, win::test::WindowImage(window->native->hwnd));
  held->buttonFlags = 0;
  probehost::finish(window);
  return shot ? 0 : 1;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "menus") status = menus();
  else if (mode == "preview" && count > 2) status = preview(args[2]);
  else std::fprintf(stderr, "usage: button_probe [-laf LOOK] menus|preview OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
