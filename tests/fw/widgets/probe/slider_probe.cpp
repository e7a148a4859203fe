// Sliders in a program of their own per look (the slider class and the
// look's colours are built once per process):
//   slider_probe [-laf LOOK] shots OUT   horizontal and vertical sliders (ticks,
//                                        pressed parts, focus) as a PNG
//   slider_probe [-laf LOOK] input       pointer scenarios through the headless
//                                        back-end, one line per observation
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

constexpr int kWidth = 240, kHeight = 160;

// Native messages, then the framework events they made (updates among them).
void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
}

vdialogItemList* listOf(vwindow* w) { return static_cast<vdialogItemList*>(w->data); }

// A window that draws its item list and hands it the pointer: presses by
// position, drags and releases to the pressed item.
vwindowClassRec* hostClass() {
  static vwindowClassRec* c = [] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral("sliderHost"));
    r->draw = [](vwindow* w) {
      vwindowGetDefaultClass()->draw(w);
      if (vdialogItemList* l = listOf(w)) {
        vdrawGSave();
        vdialogItemListSetDrawingState(l);
        vdialogItemListDraw(l);
        vdrawGRestore();
      }
    };
    r->handleButtonDown = [](vwindow* w, vevent* e) { return vdialogItemListClassOf(listOf(w))->buttonDown(listOf(w), e); };
    r->handleDrag = [](vwindow* w, vevent* e) {
      vdialogItem* i = listOf(w)->pressed;
      return i ? vdialogItemClassOf(i)->motion(i, e) : 0;
    };
    r->handleButtonUp = [](vwindow* w, vevent* e) {
      vdialogItem* i = listOf(w)->pressed;
      listOf(w)->pressed = nullptr;
      return i ? vdialogItemClassOf(i)->buttonUp(i, e) : 0;
    };
    return r;
  }();
  return c;
}

vwindow* host() {
  auto* w = static_cast<vwindow*>(vinstanceCreate(hostClass()));
  w->rect = {20, 20, kWidth, kHeight};
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, w, &vdialogItemListWindowOwner);
  w->data = list;
  return w;
}

void show(vwindow* w) {
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
}

void finish(vwindow* w) {
  vdialogItemList* list = listOf(w);
  vwindowClose(w);
  vdialogItemListClassOf(list)->close(list);
  vinstanceDestroy(list);
  vwindowDestroy(w);
}

int notified = 0;

vslider* slider(vwindow* w, vrect r, bool vertical, bool ticks, std::int32_t value) {
  vslider* s = vsliderCreate();
  vcontrolSetVertical(s, vertical);
  vcontrolSetTickMarks(s, ticks);
  vcontrolSetMax(s, 100);
  vcontrolSetPage(s, 10);
  vcontrolSetValue(s, value);
  int nw = 0, nh = 0;
  vdialogGetItemNaturalSize(s, &nw, &nh);
  // The cross size is the look's; the length is the caller's.
  if (vertical) r.width = std::int16_t(nw > 0 ? nw : r.width);
  else r.height = std::int16_t(nh > 0 ? nh : r.height);
  vdialogSetItemRect(s, &r);
  vdialogSetItemNotify(s, [](vdialogItem*, vevent*) { ++notified; });
  vdialogItemListAppend(listOf(w), s);
  return s;
}

void press(vwindow* w, vslider* s, int x, int y) {
  vevent* e = veventCreateButtonDown(w, x, y, 0, 1, 1, 0);
  listOf(w)->pressed = s;
  vdialogItemClassOf(s)->buttonDown(s, e);
  veventDestroy(e);
}

int shots(const char* path) {
  vwindow* w = host();
  slider(w, {10, 130, 150, 0}, false, false, 30);
  slider(w, {10, 95, 150, 0}, false, true, 60);
  vslider* focused = slider(w, {10, 60, 150, 0}, false, false, 0);
  vslider* pressedFar = slider(w, {10, 25, 150, 0}, false, false, 50);
  slider(w, {175, 10, 0, 140}, true, true, 40);
  vslider* pressedNear = slider(w, {205, 10, 0, 140}, true, false, 80);
  show(w);
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), focused);
  settle();
  // Presses at the far end of one and the near end of another: the look's
  // pressed drawings stay until the release.
  press(w, pressedFar, pressedFar->rect.x + pressedFar->rect.width - 3, pressedFar->rect.y + 5);
  press(w, pressedNear, pressedNear->rect.x + 5, pressedNear->rect.y + 3);
  settle();
  // The window drawn whole, then the pressed parts over it, as they show
  // while the button is held.
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdrawInitDeviceClip();
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
  for (vslider* s : {pressedFar, pressedNear}) {
    vdrawGSave();
    if (_vcontrolBeginItemDrawing(s) && s->activePart && s->activePart->pressedDrawing) s->activePart->pressedDrawing(s);
    vdrawGRestore();
  }
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  if (!vdialogItemIsActive(focused)) std::printf("focus not shown\n");
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
void report(const char* what, vslider* s) {
  std::printf("%s: value %d thumb %d notified %d\n", what, int(s->value),
              (s->controlFlags & vcontrolVERTICAL) ? s->indicator.y : s->indicator.x, notified);
}
// Runs the event loop for ms of the clock: a held part repeats meanwhile.
void hold(int ms) {
  vevent* e = veventCreateClient([](vevent*) { veventStopProcessing(); return 1; }, nullptr);
  veventPostDelayed(e, 0, std::int64_t(ms) * 1'000'000);
  veventProcess();
}

int input() {
  win::UseVirtualClock(true);
  vwindow* w = host();
  inputWindow = w;
  int id = vlafGetCurrent()->id;
  if (id == vlafOPEN_LOOK) {
    vslider* shortOne = slider(w, {10, 40, 40, 0}, false, false, 50);
    vslider* pager = slider(w, {10, 100, 200, 0}, false, false, 0);
    show(w);
    down(13, 45);
    vcontrolSetValue(shortOne, 20);  // a second jump would show
    hold(500);
    up(13, 45);
    report("short near end held", shortOne);
    notified = 0;
    down(32, 105);
    report("paged forward", pager);
    win::POINT p = win::test::Headless().pointer;
    win::ScreenToClient(w->native->hwnd, &p);
    std::printf("pointer at %d\n", int(p.x));
    up(int(p.x), 105);
  } else if (id == vlafCUA) {
    vslider* s = slider(w, {10, 40, 100, 0}, false, false, 50);
    show(w);
    down(95, 45);
    up(95, 45);
    report("5 past the track", s);
    down(103, 45);
    up(103, 45);
    report("13 past the track", s);
  } else {
    // A track of 200 and a thumb of 20: the item inset by the line width (2).
    vslider* s = slider(w, {10, 40, 204, 14}, false, false, 50);
    vrect r{10, 40, 204, 14};
    vdialogSetItemRect(s, &r);
    show(w);
    report("value 50", s);
    down(s->indicator.x + 4, 45);
    move(s->indicator.x + 4 + 90, 45);
    report("dragged 90", s);
    move(235, 45);
    report("past the end", s);
    move(150, 94);
    report("40 above", s);
    move(150, 102);
    move(60, 102);
    report("50 above", s);
    move(60, 45);
    report("back on the track", s);
    up(60, 45);
  }
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
  else std::fprintf(stderr, "usage: slider_probe [-laf LOOK] shots OUT|input\n");
  std::fflush(stdout);
  return status;
}

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
