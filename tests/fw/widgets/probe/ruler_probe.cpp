// Rulers and key items in a program of their own per look (their classes
// and the look's colours are built once per process):
//   ruler_probe [-laf LOOK] shots OUT   rulers with titled, hilited and
//                                       scrolled items, and key items, as a PNG
//   ruler_probe [-laf LOOK] input       drags through the headless back-end,
//                                       one line per observation
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/keyitem.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

constexpr int kWidth = 320, kHeight = 130;

using probehost::finish;
using probehost::listOf;
using probehost::settle;
vwindow* host() { return probehost::host(kWidth, kHeight); }

vruler* ruler(vwindow* w, vrect r, bool border, std::initializer_list<const char*> titles) {
  vruler* ruler = vrulerCreate();
  vdialogSetItemBorder(ruler, border);
  vdialogSetItemRect(ruler, &r);
  for (const char* title : titles) {
    vrulerItem* i = vrulerAddItem(ruler);
    vrulerItemSetWidth(i, 60);
    i->flags |= vrulerItemRESIZABLE;
    vrulerSetItemTitle(i, vscribeLiteral(title));
  }
  vrulerPackItems(ruler);
  vdialogItemListAppend(listOf(w), ruler);
  return ruler;
}

vkeyitem* keyItem(vwindow* w, vrect r, std::uint32_t key) {
  vkeyitem* k = vkeyitemCreate();
  vdialogSetItemRect(k, &r);
  vkeyitemSetKey(k, key);
  vdialogItemListAppend(listOf(w), k);
  return k;
}

int shots(const char* path) {
  vwindow* w = host();
  vruler* titled = ruler(w, {10, 90, 300, 24}, true, {"Name", "Size", "Date", "Kind"});
  vrulerSetItemHilite(vrulerGetItemAt(titled, 1), 1);
  vruler* scrolled = ruler(w, {10, 55, 300, 24}, false, {"First", "Second", "Third", "Fourth", "Fifth"});
  vrulerSetScroll(scrolled, 40);
  keyItem(w, {10, 10, 100, 28}, std::uint32_t('s') << 16 | veventMOD_CONTROL);
  keyItem(w, {120, 10, 90, 28}, 0);
  vkeyitem* focused = keyItem(w, {220, 10, 90, 28}, std::uint32_t('x') << 16 | veventMOD_ALT);
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), focused);
  settle();
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  finish(w);
  return ok ? 0 : 1;
}

// ---- Input through the headless back-end.
vwindow* inputWindow = nullptr;
win::POINT screen(int x, int y) {
  win::POINT p{x, kHeight - 1 - y};
  win::ClientToScreen(inputWindow->native->hwnd, &p);
  return p;
}
void down(int x, int y) { win::test::MouseDown(screen(x, y)), settle(); }
void move(int x, int y) { win::test::MouseMove(screen(x, y)), settle(); }
void up(int x, int y) { win::test::MouseUp(screen(x, y)), settle(); }
void dragged(int x0, int y, int x1, int y1) {
  down(x0, y);
  move((x0 + x1) / 2, (y + y1) / 2);
  move(x1, y1);
  up(x1, y1);
}
void report(const char* what, vruler* r) {
  std::printf("%s:", what);
  for (vrulerItem* i = r->shown; i; i = i->next) std::printf(" %s@%d+%d", i->title, i->rect.x, i->rect.width);
  std::printf(" (%d hidden)\n", r->hidden ? 1 : 0);
}

int input() {
  win::UseVirtualClock(true);
  vwindow* w = host();
  inputWindow = w;
  vruler* r = ruler(w, {10, 50, 300, 24}, false, {"A", "B", "C"});
  r->spacing = 5;
  vrulerPackItems(r);
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
  report("laid out", r);
  // B's right edge (ruler x 10 + 130) out by 20: C is pushed along.
  dragged(10 + 128, 60, 10 + 148, 60);
  report("B widened", r);
  // A's body dragged past B: the order changes.
  dragged(10 + 30, 60, 10 + 110, 60);
  report("A moved after B", r);
  // C dragged off the ruler: removed.
  vrulerItem* c = r->shown->next->next;
  dragged(10 + c->rect.x + 30, 60, 10 + c->rect.x + 30, 110);
  report("C dragged off", r);
  // Scrolling moves the drawn items left by the difference and tells the client.
  static int scrollNotes = 0;
  vrulerSetNotify(r, [](vruler*, vevent*, vrulerItem*, int code) { scrollNotes += code == 10 || code == 11; });
  auto firstInk = [&] {
    win::test::Image shot = win::test::WindowImage(w->native->hwnd);
    const int row = kHeight - 1 - 60;  // through the items, rows from the top
    const std::uint32_t paper = shot.px[std::size_t(row * shot.width + 12)];
    for (int x = 12; x < shot.width; ++x)
      if (shot.px[std::size_t(row * shot.width + x)] != paper) return x;
    return -1;
  };
  int before = firstInk();
  vrulerSetScroll(r, 25);
  settle();
  std::printf("scrolled 25: ink %d to %d, %d notices\n", before, firstInk(), scrollNotes);
  // Ctrl+S typed while a key item has the focus, as the window procedure makes it.
  vkeyitem* k = keyItem(w, {10, 10, 100, 28}, 0);
  static vevent* heard = nullptr;
  static std::uint32_t heardKey = 0;
  vdialogSetItemNotify(k, [](vdialogItem*, vevent* e) {
    heard = e;
    heardKey = veventGetKeyValue(e);
  });
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), k);
  settle();
  win::test::KeyDown(win::VK_CONTROL);
  win::test::KeyDown('S');
  settle();
  win::test::KeyUp('S');
  win::test::KeyUp(win::VK_CONTROL);
  settle();
  std::printf("key item: symbol %u modifiers %u notified %s with %u\n", unsigned(k->key >> 16),
              unsigned(k->key & 0xFFFF), heard ? "yes" : "no", unsigned(heardKey));
  finish(w);
  win::UseVirtualClock(false);
  return 0;
}

}  // namespace

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "shots" && count > 2) status = shots(args[2]);
  else if (mode == "input") status = input();
  else std::fprintf(stderr, "usage: ruler_probe [-laf LOOK] shots OUT|input\n");
  std::fflush(stdout);
  return status;
}

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
