// Sliders in a program of their own per look (the slider class and the
// look's colours are built once per process):
//   slider_probe [-laf LOOK] sliders OUT  horizontal and vertical sliders (ticks,
//                                         pressed parts, focus) as a PNG
//   slider_probe [-laf LOOK] bars OUT     scroll bars at both ends, in the middle,
//                                         inert and with a pressed arrow
//   slider_probe [-laf LOOK] input        pointer scenarios through the headless
//                                         back-end, one line per observation
//   slider_probe [-laf LOOK] parts        scroll-bar troughs, thumbs and parts
//   slider_probe [-laf LOOK] page         a page part pressed, released, redrawn
//   slider_probe [-laf LOOK] thumbcolours Win95 thumbs in the item's colours
//   slider_probe [-laf LOOK] thumbdrag    the thumb's drag outline while held,
//                                         moved, redrawn and released
//   slider_probe [-laf LOOK] doomed       a dialog destroyed from the notification
//                                         of its held, repeating control
//   slider_probe [-laf LOOK] arrows       the step of a click on a scroll arrow
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <vector>
#include <string>
#include <tuple>
#include <utility>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/controls/spinner.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

constexpr int kWidth = 240, kHeight = 160;

using probehost::finish;
using probehost::listOf;
using probehost::settle;
vwindow* host() { return probehost::host(kWidth, kHeight); }
void show(vwindow* w) { probehost::show(w); }

int notified = 0;

vslider* slider(vwindow* w, vrect r, bool vertical, bool ticks, std::int32_t value, bool bar = false) {
  vslider* s = bar ? vsliderScrollBarCreate() : vsliderCreate();
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

// The window drawn whole outside an update, then the pressed parts of
// held sliders over it, as they show while the button is held.
void drawHeld(vwindow* w, std::initializer_list<vslider*> held) {
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
  for (vslider* s : held) {
    vdrawGSave();
    if (_vcontrolBeginItemDrawing(s) && s->activePart && s->activePart->pressedDrawing) s->activePart->pressedDrawing(s);
    vdrawGRestore();
  }
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
  drawHeld(w, {pressedFar, pressedNear});
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  if (!vdialogItemIsActive(focused)) std::printf("focus not shown\n");
  finish(w);
  return ok ? 0 : 1;
}

// Scroll bars at the minimum, in the middle and at the maximum, inactive
// and with a pressed arrow.
int bars(const char* path) {
  vwindow* w = host();
  vslider* made[8];
  int n = 0;
  for (int i = 0; i < 5; ++i) made[n++] = slider(w, {10, std::int16_t(135 - 25 * i), 150, 0}, false, false, i == 2 ? 90 : i == 0 ? 0 : 50, true);
  for (int i = 0; i < 3; ++i) made[n++] = slider(w, {std::int16_t(172 + 22 * i), 10, 0, 140}, true, false, i * 45, true);
  for (vslider* s : made) {
    vcontrolSetView(s, 10);
    vcontrolSetValue(s, s->value);
  }
  vdialogDisableItem(made[3]);
  vslider* pressed = made[4];
  show(w);
  press(w, pressed, pressed->rect.x + pressed->rect.width - 3, pressed->rect.y + pressed->rect.height / 2);
  settle();
  drawHeld(w, {pressed});
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  finish(w);
  return ok ? 0 : 1;
}

// Long bars drawn: the size of the look's shared pattern after them.
int patternAfterLongBars() {
  vwindow* w = host();
  slider(w, {10, 10, 900, 0}, false, false, 50, true);
  slider(w, {10, 40, 0, 700}, true, false, 50, true);
  show(w);
  settle();
  const vimage* pattern = vlafGetImage(58);
  std::printf("pattern %dx%d\n", pattern ? pattern->width : 0, pattern ? pattern->height : 0);
  finish(w);
  return 0;
}

// Bars squeezed to no length or no thickness (a window shrunk to
// nothing) are drawn: they show nothing, and nothing is raised.
// They are drawn straight, as a list view draws its own bars.
int emptyBars() {
  vwindow* w = host();
  std::vector<vslider*> made;
  for (vrect r : {vrect{10, 10, 0, 16}, vrect{10, 40, 16, 0}, vrect{10, 70, 1, 1}, vrect{10, 100, 0, 0}})
    for (bool vertical : {false, true}) {
      made.push_back(slider(w, r, vertical, false, 50, true));
      vdialogSetItemRect(made.back(), &r);
    }
  show(w);
  settle();
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdrawInitDeviceClip();
  for (vslider* b : made) vdialogDrawItem(b);
  vdrawGRestore();
  std::printf("drawn\n");
  finish(w);
  return 0;
}

// Geometry of lone bars: trough, thumb and the part under points.
void describe(vslider* b, std::initializer_list<std::pair<int, int>> points) {
  vcontrolClassOf(b)->computeIndicator(b);
  vrect t;
  vsliderGetTrackRect(b, &t);
  std::printf("trough %d %d %d %d thumb %d+%d:", t.x, t.y, t.width, t.height, b->indicator.x, b->indicator.width);
  for (auto [x, y] : points) std::printf(" %d", _vsliderScrollBarPartAt(b, x, y));
  std::printf("\n");
}
vslider* lone(int w, int h, std::int32_t max, int view) {
  vslider* b = vsliderScrollBarCreate();
  vrect r{0, 0, std::int16_t(w), std::int16_t(h)};
  vdialogSetItemRect(b, &r);
  vcontrolSetMax(b, max);
  vcontrolSetView(b, view);
  return b;
}
int parts() {
  int id = vlafGetCurrent()->id;
  std::vector<vslider*> made;
  auto bar = [&](int w, int h, std::int32_t max, int view) { return made.emplace_back(lone(w, h, max, view)); };
  if (id == vlafWINDOWS) {
    describe(bar(100, 17, 100, 10), {{14, 5}, {85, 5}, {15, 17}, {15, -1}, {-3, 5}, {101, 5}, {16, 5}, {50, 5}});
  } else if (id == vlafWIN95) {
    describe(bar(48, 16, 100, 10), {{17, 5}, {30, 5}, {15, 5}, {33, 5}});
    describe(bar(49, 16, 100, 10), {{17, 5}, {30, 5}});
    describe(bar(100, 16, 100, 0), {});
    describe(bar(100, 16, 0, 5), {});
  } else if (id == vlafCUA) {
    describe(bar(100, 16, 100, 0), {{1, 5}, {0, 5}, {98, 5}, {99, 5}, {1, 15}});
    describe(bar(100, 16, 0, 5), {});
    describe(bar(100, 16, 100, 50), {});
  } else if (id == vlafOPEN_LOOK) {
    describe(bar(40, 19, 100, 10), {{2, 5}, {16, 5}, {38, 5}});
    describe(bar(55, 19, 100, 10), {{2, 5}, {53, 5}, {10, 5}, {30, 5}});
    describe(bar(100, 19, 100, 10), {{10, 5}, {30, 5}, {45, 5}, {60, 5}, {90, 5}});
    vslider* b = made.back();
    vcontrolSetValue(b, 40);
    for (auto [x, back] : {std::pair{200, true}, {93, true}, {50, true}, {50, false}}) {
      _vsliderScrollBarScrollFromPress(b, x, 5, back, nullptr);
      std::printf("menu %d %s: %d\n", x, back ? "back" : "forward", int(b->value));
    }
    vcontrolSetView(b, 0);
    _vsliderScrollBarScrollFromPress(b, 10, 5, true, nullptr);
    std::printf("menu without a view: %d\n", int(b->value));
  } else {
    describe(bar(100, 16, 100, 10), {{5, 5}, {95, 5}, {50, 5}});
  }
  for (vslider* b : made) vinstanceDestroy(b);
  return 0;
}

// Win95 thumbs take the item's face colour: the middle, the highlight at
// the top-left corner and the black at the far corner of a horizontal
// square thumb and a vertical pointed one, as 0xRRGGBB.
int thumbColours() {
  vwindow* w = host();
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 0x2020, 0x8080, 0x4040);
  vslider* across = slider(w, {10, 100, 150, 0}, false, true, 30);  // a square thumb
  vslider* upright = slider(w, {190, 10, 0, 140}, true, false, 30);
  for (vslider* s : {across, upright}) vdialogSetItemBackground(s, vcolorInternSpec(&spec));
  show(w);
  settle();
  for (vslider* s : {across, upright}) {
    const vrect& m = s->indicator;
    auto at = [&](int x, int y) {  // item points, y from the bottom
      unsigned c = unsigned(win::test::Pixel(w->native->hwnd, x, kHeight - 1 - y));
      return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    };
    std::printf("%s thumb %dx%d: middle %06x, top left %06x, far corner %06x\n", s == across ? "across" : "upright",
                int(m.width), int(m.height), at(m.x + m.width / 2, m.y + m.height / 2), at(m.x, m.y + m.height - 1),
                at(m.x + m.width - 1, m.y));
  }
  finish(w);
  return 0;
}

// A page part pressed and released in a window: after the update the bar
// is what a fresh drawing gives.
int pagePixels() {
  vwindow* w = host();
  vslider* b = slider(w, {10, 60, 150, 0}, false, false, 50, true);
  vcontrolSetView(b, 10);
  show(w);
  int x = b->indicator.x + b->indicator.width + 10, y = b->rect.y + b->rect.height / 2;
  press(w, b, x, y);
  win::test::Image pressed = win::test::WindowImage(w->native->hwnd);
  vevent* e = veventCreateButtonUp(w, x, y, 0, 0, 1, 0);
  vdialogItemClassOf(b)->buttonUp(b, e);
  veventDestroy(e);
  settle();
  win::test::Image after = win::test::WindowImage(w->native->hwnd);

  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
  win::test::Image fresh = win::test::WindowImage(w->native->hwnd);

  auto differ = [](const win::test::Image& a, const win::test::Image& c) {
    int n = 0;
    for (std::size_t i = 0; i < a.px.size(); ++i) n += a.px[i] != c.px[i];
    return n;
  };
  std::printf("value %d, pressed band %s, after release %d pixels differ\n", int(b->value),
              differ(pressed, fresh) > 0 ? "shown" : "missing", differ(after, fresh));
  finish(w);
  return 0;
}

// Buttons: normal, pressed, default, focused, with a menu and disabled.
vbutton* button(vwindow* w, const char* title, int x, int y) {
  vbutton* b = vbuttonCreate();
  vdialogSetItemTitle(b, vscribeLiteral(title));
  int bw = 0, bh = 0;
  vdialogGetItemMinSize(b, &bw, &bh);
  vrect r{std::int16_t(x), std::int16_t(y), std::int16_t(bw), std::int16_t(bh)};
  vdialogSetItemRect(b, &r);
  vdialogItemListAppend(listOf(w), b);
  return b;
}

int buttons(const char* path) {
  vwindow* w = host();
  vbutton* pressed = button(w, "Pressed", 120, 120);
  button(w, "Normal", 10, 120);
  vbutton* confirm = button(w, "Default", 10, 75);
  vbuttonSetDefault(confirm, 1);
  vdialogItemListSetConfirmItem(listOf(w), confirm);
  vbutton* focused = button(w, "Focus", 120, 75);
  vbutton* menu = button(w, "Menu", 10, 30);
  vdialogDisableItem(button(w, "Off", 120, 30));
  show(w);
  vdialogSetItemMenu(menu, vmenuCreate());
  int mw = 0, mh = 0;
  vdialogGetItemNaturalSize(menu, &mw, &mh);
  vrect mr = menu->rect;
  mr.width = std::int16_t(std::max<int>(mr.width, mw));
  vdialogSetItemRect(menu, &mr);
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), focused);
  vdialogItemClassOf(confirm)->setDefault(confirm);
  settle();
  drawHeld(w, {});
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdialogItemClassOf(confirm)->drawDefault(confirm);
  vdrawGRestore();
  vbuttonPress(pressed);
  settle();  // what the press uncovered
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  finish(w);
  return ok ? 0 : 1;
}

// Sizes and the default ring's room, one line.
int buttonSizes() {
  vwindow* w = host();
  vbutton* b = button(w, "OK", 10, 10);
  vfont* f = vdialogDetermineItemFont(b);
  int bw = 0, bh = 0;
  vdialogGetItemMinSize(b, &bw, &bh);
  int plain = vdialogGetItemSpacing(b, nullptr, 0);
  vbuttonSetDefault(b, 1);
  vdialogItemListSetConfirmItem(listOf(w), b);
  std::printf("min %dx%d (50x14 units %dx%d) room %d, as the default %d\n", bw, bh, vlafDialogUnitsToWidth(f, 50),
              vlafDialogUnitsToHeight(f, 14), plain, vdialogGetItemSpacing(b, nullptr, 0));
  finish(w);
  return 0;
}

// ---- Input through the headless back-end.
vwindow* inputWindow = nullptr;
void down(int x, int y);
void up(int x, int y);
void hold(int ms);
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
  } else if (id == vlafWINDOWS || id == vlafWIN95) {
    vslider* s = slider(w, {10, 40, 232, 0}, false, false, 0);
    show(w);
    int x = s->indicator.x + s->indicator.width / 2, y = s->indicator.y + s->indicator.height / 2;
    down(x, y);
    move(x + 140, y);
    report("jumped 140 along", s);
    move(x + 100, y + 45);
    report("back 40, 45 across", s);
    move(x + 60, y + 80);
    report("back 40, 80 across", s);
    up(x + 60, y + 80);
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

// The thumb's outer frame read off the window: per pixel of its top and
// left edges 'b' black, 'w' white, '.' anything else.
std::string thumbEdges(vwindow* w, vslider* s) {
  win::test::Image im = win::test::WindowImage(w->native->hwnd);
  auto at = [&](int x, int y) {
    std::uint32_t p = im.px[std::size_t(kHeight - 1 - y) * std::size_t(im.width) + std::size_t(x)] & 0xFFFFFF;
    return p == 0 ? 'b' : p == 0xFFFFFF ? 'w' : '.';
  };
  const vrect& m = s->indicator;
  std::string top, left;
  for (int x = m.x; x < m.x + m.width; ++x) top += at(x, m.y + m.height - 1);
  for (int y = m.y + m.height - 1; y >= m.y; --y) left += at(m.x, y);
  return top + " " + left;
}

int thumbDrag() {
  win::UseVirtualClock(true);
  vwindow* w = host();
  inputWindow = w;
  vslider* b = slider(w, {10, 60, 200, 0}, false, false, 20, true);
  vcontrolSetView(b, 10);
  show(w);
  auto look = [&](const char* what) { std::printf("%s at %d: %s\n", what, int(b->indicator.x), thumbEdges(w, b).c_str()); };
  int x = b->indicator.x + b->indicator.width / 2, y = b->indicator.y + b->indicator.height / 2;
  look("released");
  down(x, y);
  look("pressed");
  move(x + 30, y);
  look("dragged");
  vwindowInvalAll(w, 0);
  settle();
  look("redrawn");
  up(x + 30, y);
  look("let go");
  finish(w);
  win::UseVirtualClock(false);
  return 0;
}

}  // namespace

// A window holding a default button, a menu button and two scroll bars,
// driven by the pointer and by keys handed to the focused item; every
// notification printed, then the picture.
void told(vdialogItem* item, vevent*) {
  if (vclassIsSubclass(item->cls, vsliderGetDefaultClass()))
    std::printf("%s value %d\n", item->tag ? item->tag : "?", int(static_cast<vslider*>(item)->value));
  else
    std::printf("%s activated\n", item->title);
}
void key(vdialogItem* item, const char* binding) {
  vevent* e = veventCreateKeyDown(inputWindow, 0, 0, 0, 0, 0, 0);
  veventSetBinding(e, vnameInternLiteral(binding));
  vdialogItemClassOf(item)->keyDown(item, e);
  veventDestroy(e);
}
int dialog(const char* path) {
  win::UseVirtualClock(true);
  vwindow* w = host();
  inputWindow = w;
  vbutton* ok = button(w, "OK", 10, 120);
  vbuttonSetDefault(ok, 1);
  vdialogItemListSetConfirmItem(listOf(w), ok);
  vbutton* more = button(w, "More", 110, 120);
  vslider* across = slider(w, {10, 20, 160, 0}, false, false, 0, true);
  vslider* upright = slider(w, {200, 20, 0, 130}, true, false, 0, true);
  across->tag = vnameInternLiteral("across");
  upright->tag = vnameInternLiteral("upright");
  for (vslider* b : {across, upright}) vcontrolSetView(b, 10);
  for (vdialogItem* i : {static_cast<vdialogItem*>(ok), static_cast<vdialogItem*>(more),
                         static_cast<vdialogItem*>(across), static_cast<vdialogItem*>(upright)})
    vdialogSetItemNotify(i, told);
  show(w);
  vdialogSetItemMenu(more, vmenuCreate());
  vdialogItemClassOf(ok)->setDefault(ok);
  // Pointer: the right arrow, then the trough above the vertical thumb.
  int ax = across->rect.x + across->rect.width - 4, ay = across->rect.y + across->rect.height / 2;
  down(ax, ay);
  up(ax, ay);
  down(upright->rect.x + 8, upright->rect.y + 100);
  up(upright->rect.x + 8, upright->rect.y + 100);
  // Keys to the focused item: the bar steps and pages, the button clicks.
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), across);
  key(vdialogItemListGetFocusItem(listOf(w)), "Right");
  key(vdialogItemListGetFocusItem(listOf(w)), "PageRight");
  key(vdialogItemListGetFocusItem(listOf(w)), "End");
  vdialogItemListSetFocusItem(listOf(w), ok);
  key(vdialogItemListGetFocusItem(listOf(w)), "Select");
  hold(50);
  settle();
  drawHeld(w, {});
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdialogItemClassOf(ok)->drawDefault(ok);
  vdrawGRestore();
  bool shot = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  finish(w);
  win::UseVirtualClock(false);
  return shot ? 0 : 1;
}

// A dialog holding one control whose notification destroys the dialog at
// its n-th call, the control held on a repeating part for half a second.
vdialog* doomedDialog = nullptr;
int callsLeft = 0, calls = 0;
void destroyDialog(vdialogItem*, vevent*) {
  ++calls;
  if (--callsLeft == 0 && doomedDialog) vinstanceDestroy(std::exchange(doomedDialog, nullptr));
}

// A point of the given part, or of the first part of the control that
// repeats, the one nearest that part's middle, in the dialog.
bool repeatingPoint(vcontrol* c, const vcontrolPart* first, int* x, int* y) {
  std::vector<std::pair<int, int>> points;
  for (int py = c->rect.y; py < c->rect.y + c->rect.height; ++py)
    for (int px = c->rect.x + c->rect.width - 1; px >= c->rect.x; --px) {
      vevent* e = veventCreateButtonDown(nullptr, px, py, 0, 1, 1, 0);
      vcontrolClassOf(c)->choosePart(c, e);
      veventDestroy(e);
      const vcontrolPart* part = std::exchange(c->activePart, nullptr);
      if (!part || !(part->flags & vcontrolPartREPEAT) || (first && part != first)) continue;
      first = part;
      points.emplace_back(px, py);
    }
  if (points.empty()) return false;
  long sx = 0, sy = 0;
  for (auto [px, py] : points) sx += px, sy += py;
  long mx = sx / long(points.size()), my = sy / long(points.size());
  auto distance = [&](std::pair<int, int> p) { return (p.first - mx) * (p.first - mx) + (p.second - my) * (p.second - my); };
  std::tie(*x, *y) = *std::min_element(points.begin(), points.end(),
                                       [&](auto a, auto b) { return distance(a) < distance(b); });
  return true;
}

int doomed() {
  win::UseVirtualClock(true);
  struct Kind {
    const char* name;
    vcontrol* (*make)();
    const vcontrolPart* part;
  };
  const Kind kinds[] = {
      {"scroll bar", [] {
         vslider* b = vsliderScrollBarCreate();
         vcontrolSetMax(b, 1000);
         vcontrolSetView(b, 10);
         vcontrolSetValue(b, 500);
         vrect r{10, 40, 200, 17};
         vdialogSetItemRect(b, &r);
         return static_cast<vcontrol*>(b);
       }, nullptr},
      {"slider", [] {
         vslider* s = vsliderCreate();
         vcontrolSetMax(s, 1000);
         vcontrolSetPage(s, 10);
         vcontrolSetValue(s, 0);
         vrect r{10, 40, 200, 24};
         vdialogSetItemRect(s, &r);
         return static_cast<vcontrol*>(s);
       }, nullptr},
      {"spinner", [] {
         vspinner* s = vspinnerNumericCreate();
         vcontrolSetMax(s, 1000);
         vcontrolSetValue(s, 500);
         vrect r{10, 40, 100, 27};
         vdialogSetItemRect(s, &r);
         return static_cast<vcontrol*>(s);
       }, &vspinnerGetParts()[0]},
  };
  for (const Kind& k : kinds)
    for (int at : {1, 2, 4}) {
      vdialog* d = vdialogCreate();
      d->rect = {40, 40, 240, 120};
      vcontrol* c = k.make();
      vdialogAppendItem(d, c);
      vdialogSetItemNotify(c, destroyDialog);
      vwindowOpen(d);
      win::SetActiveWindow(d->native->hwnd);
      settle();
      int x = 0, y = 0;
      if (!repeatingPoint(c, k.part, &x, &y)) {
        std::printf("%s: no repeating part\n", k.name);
        vinstanceDestroy(d);
        continue;
      }
      doomedDialog = d;
      callsLeft = at;
      calls = 0;
      win::POINT p{x, d->rect.height - 1 - y};
      win::ClientToScreen(d->native->hwnd, &p);
      win::test::MouseDown(p);
      settle();
      hold(600);
      win::test::MouseUp(p);
      settle();
      hold(300);
      std::printf("%s destroyed at call %d: calls %d, dialog gone %d, repeat pending %d\n", k.name, at, calls,
                  doomedDialog == nullptr, _vcontrolGetPendingRepeat() != nullptr);
      if (doomedDialog) vinstanceDestroy(std::exchange(doomedDialog, nullptr));
    }
  win::UseVirtualClock(false);
  return 0;
}

// A click on the forward arrow of a horizontal bar and on the back arrow of
// a vertical one, each a step of one; pages are 20.
int arrows() {
  win::UseVirtualClock(true);
  vwindow* w = host();
  inputWindow = w;
  vslider* across = slider(w, {10, 10, 160, 0}, false, false, 0, true);
  vslider* upright = slider(w, {200, 10, 0, 140}, true, false, 2, true);
  for (vslider* s : {across, upright}) vcontrolSetPage(s, 20);
  show(w);
  down(10 + 160 - 4, 10 + across->rect.height / 2);
  up(10 + 160 - 4, 10 + across->rect.height / 2);
  report("right arrow", across);
  down(200 + upright->rect.width / 2, 10 + 140 - 4);
  up(200 + upright->rect.width / 2, 10 + 140 - 4);
  report("top arrow", upright);
  finish(w);
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "sliders" && count > 2) status = shots(args[2]);
  else if (mode == "bars" && count > 2) status = bars(args[2]);
  else if (mode == "parts") status = parts();
  else if (mode == "pattern") status = patternAfterLongBars();
  else if (mode == "empty") status = emptyBars();
  else if (mode == "page") status = pagePixels();
  else if (mode == "thumbdrag") status = thumbDrag();
  else if (mode == "thumbcolours") status = thumbColours();
  else if (mode == "buttons" && count > 2) status = buttons(args[2]);
  else if (mode == "buttonsizes") status = buttonSizes();
  else if (mode == "dialog" && count > 2) status = dialog(args[2]);
  else if (mode == "input") status = input();
  else if (mode == "doomed") status = doomed();
  else if (mode == "arrows") status = arrows();
  else std::fprintf(stderr, "usage: slider_probe [-laf LOOK] sliders OUT|bars OUT|input|parts|page\n");
  std::fflush(stdout);
  return status;
}

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
