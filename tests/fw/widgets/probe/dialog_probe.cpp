// One dialog in a program of its own per look (the classes take the look
// they are built in): titled boxes, a group on its grid, a flat container
// with the focused default button, an exclusive group and a scrolled
// container, drawn active in the headless window system.
//   dialog_probe [-laf LOOK] OUT    the dialog's picture as a PNG
//   dialog_probe [-laf LOOK] -live  the dialog on the display until the
//                                   program is ended, the sliders' values
//                                   printed as they change (to try it by hand)
//   dialog_probe [-laf LOOK] -colors a button's background and shadow colours in
//                                   an open dialog
//   dialog_probe [-laf LOOK] -drag  two windows on the display: a press in the
//                                   left one drags a picture; drops are printed
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/menus/drag.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

template <typename T>
T* placed(T* item, int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  vdialogSetItemRect(item, &r);
  return item;
}

vdialogItem* label(const char* title) {
  vdialogItem* l = vdialogItemCreate(vdialogLabelItemGetDefaultClass());
  vdialogSetItemTitle(l, vscribeLiteral(title));
  return l;
}

vcontainer* box(vcontainerClassRec* cls, const char* title, int x, int y, int w, int h) {
  vcontainer* c = placed(vcontainerCreate(cls), x, y, w, h);
  if (title) vdialogSetItemTitle(c, vscribeLiteral(title));
  return c;
}

void announce(vdialogItem* item, vevent*) {
  std::printf("value %d\n", int(static_cast<vcontrol*>(item)->value));
  std::fflush(stdout);
}

int picture(const char* out) {
  bool live = std::string(out) == "-live";
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 320, 230};
  vwindowSetTitleScribe(d, vscribeLiteral("Containers"));

  vcontainer* group = box(vcontainerGroupGetDefaultClass(), "Group", 10, 115, 145, 105);
  for (const char* t : {"One", "Two", "Three", "Four", "Five"}) vcontainerAppendItem(group, label(t));

  vcontainer* flat = box(vcontainerGetDefaultClass(), "Flat", 165, 115, 145, 105);
  vcontainerSetFlat(flat, 1);
  vbutton* ok = placed(vbuttonCreate(), 10, 45, 55, 24);
  vdialogSetItemTitle(ok, vscribeLiteral("OK"));
  vbutton* cancel = placed(vbuttonCreate(), 75, 45, 55, 24);
  vdialogSetItemTitle(cancel, vscribeLiteral("Cancel"));
  vcontainerAppendItem(flat, ok);
  vcontainerAppendItem(flat, cancel);
  vdialogItemListSetConfirmItem(flat->items, ok);
  vcontainerClassOf(flat)->setDefaultFocusItem(flat, ok);

  vcontainer* choice = box(vcontainerExclusiveGroupGetDefaultClass(), "Choice", 10, 10, 145, 95);
  for (int i = 0; i < 2; ++i) {
    vslider* s = vsliderCreate();
    vcontrolSetMax(s, 10);
    vcontainerAppendItem(choice, s);
    if (live) vdialogSetItemNotify(s, announce);  // in place of the group's
  }
  vcontainerSetSelection(choice, vdialogItemListAt(choice->items, 1));

  vcontainer* scrolled = box(vcontainerGetDefaultClass(), nullptr, 165, 10, 145, 95);
  vcontainerSetScrollY(scrolled, 1);
  for (int i = 0; i < 5; ++i) {
    static const char* names[] = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"};
    vcontainerAppendItem(scrolled, placed(label(names[i]), 8, 104 - 24 * i, 90, 18));
  }

  for (vcontainer* c : {group, flat, choice, scrolled}) vdialogAppendItem(d, c);
  vdialogSetDefaultFocusItem(d, flat);
  vwindowOpen(d);
  vrect contents{scrolled->content.x, s16(scrolled->content.y + scrolled->content.height - 130),
                 scrolled->content.width, 130};
  vcontainerSetBounds(scrolled, &contents);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
  if (live) {
    veventProcess();
    return 0;
  }
  vwindowInvalAll(d, 0);
  settle();
  int status = win::test::WindowPng(d->native->hwnd, out) ? 0 : 1;
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
  return status;
}

int colors() {
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 200, 100};
  vbutton* b = placed(vbuttonCreate(), 10, 10, 60, 24);
  vdialogAppendItem(d, b);
  vwindowOpen(d);
  settle();
  for (int index : {2, 4, 6}) {
    unsigned r = 0, g = 0, bl = 0;
    vcolorGetSpecRGB(&vdialogGetItemColor(b, index)->desc, &r, &g, &bl);
    std::printf("%s%02x%02x%02x", index == 2 ? "background " : index == 4 ? " top " : " bottom ", r >> 8, g >> 8, bl >> 8);
  }
  std::printf("\n");
  vwindowClose(d);
  vinstanceDestroy(d);
  return 0;
}

vdrag* dragging = nullptr;
vwindowClassRec* dragSourceClass() {
  static vwindowClassRec* c = [] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral("probeDragSource"));
    r->handleButtonDown = [](vwindow*, vevent* e) {
      if (!vdragGetCurrent()) vdragStart(dragging, e);
      return 1;
    };
    return r;
  }();
  return c;
}

int liveDrag() {
  dragging = vdragCreate();
  dragging->width = 40;
  dragging->height = 30;
  dragging->hotX = 20;
  dragging->hotY = 15;
  vdragSetDrawProc(dragging, [](vdrag*, const vrect* r) {
    vdrawSetColor(vcolorGetBlack());
    vdrawRectFill(r->x, r->y, r->width, r->height);
  });
  dragging->drop = [](vdrag*, vwindow*, vwindow* target, vevent* e) {
    std::printf("dropped on %s at %d,%d\n", target->title ? target->title : "?", veventGetX(e),
                veventGetY(e));
    std::fflush(stdout);
  };
  auto* from = static_cast<vwindow*>(vinstanceCreate(dragSourceClass()));
  from->rect = {100, 500, 300, 250};
  vwindowSetTitleScribe(from, vscribeLiteral("From"));
  vwindow* to = vwindowCreate();
  to->rect = {600, 500, 300, 250};
  vwindowSetTitleScribe(to, vscribeLiteral("To"));
  vwindowOpen(from);
  vwindowOpen(to);
  veventProcess();
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  bool live = count > 1 && (std::string(args[1]) == "-live" || std::string(args[1]) == "-drag");
  win::UseVirtualClock(!live);
  int status = 2;
  if (count > 1 && std::string(args[1]) == "-drag") status = liveDrag();
  else if (count > 1 && std::string(args[1]) == "-colors") status = colors();
  else if (count > 1) status = picture(args[1]);
  else std::fprintf(stderr, "usage: dialog_probe [-laf LOOK] OUT|-live|-drag\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
