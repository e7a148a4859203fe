// List views in one look, for the tests that run each look in a process
// of its own:
//   listview_probe [-laf LOOK] cells OUT   two 3 x 3 views with grid lines: one
//                                          with a selected cell and the focus
//                                          shown, one in the middle of a drag
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/lists/liststr.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
}
vdialogItemList* listOf(vwindow* w) { return static_cast<vdialogItemList*>(w->data); }

vwindowClassRec* hostClass() {
  static vwindowClassRec* c = [] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral("listviewHost"));
    r->draw = [](vwindow* w) {
      vwindowGetDefaultClass()->draw(w);
      if (vdialogItemList* l = listOf(w)) {
        vdrawGSave();
        vdialogItemListDraw(l);
        vdrawGRestore();
      }
    };
    return r;
  }();
  return c;
}

vwindow* host(int width, int height) {
  auto* w = static_cast<vwindow*>(vinstanceCreate(hostClass()));
  w->rect = {20, 20, std::int16_t(width), std::int16_t(height)};
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, w, &vdialogItemListWindowOwner);
  w->data = list;
  return w;
}

void finish(vwindow* w) {
  vdrawBindPathDevice();
  vdialogItemList* list = listOf(w);
  vdialogItemListClassOf(list)->close(list);
  vwindowClose(w);
  vinstanceDestroy(list);
  vwindowDestroy(w);
}

vliststr* words(int rows, int columns) {
  vliststr* l = vliststrCreate();
  vlistSetRowCount(l, rows);
  vlistSetColumnCount(l, columns);
  static const char* names[] = {"alpha", "beta", "gamma", "delta", "eps", "zeta", "eta", "theta", "iota"};
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) vliststrSetCellScribed(l, r, c, vscribeLiteral(names[(r * 3 + c) % 9]));
  return l;
}

vlistview* view(vwindow* w, vlist* list, vrect r) {
  vlistview* v = vlistviewCreate();
  vlistviewSetList(v, list);
  vlistviewSetColumnWidth(v, vlistsizeALL_COLUMNS, 40);
  vdialogSetItemRect(v, &r);
  v->options |= vlistviewHLINES | vlistviewVLINES | vlistviewFOCUS_SHOWN;
  vdialogItemListAppend(listOf(w), v);
  return v;
}

void drawAll(vwindow* w) {
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdrawInitDeviceClip();
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
}

int cells(const char* path) {
  vwindow* w = host(300, 120);
  vliststr* a = words(3, 3);
  vliststr* b = words(3, 3);
  vlistview* still = view(w, a, {10, 10, 140, 100});
  vlistview* dragged = view(w, b, {155, 10, 140, 100});
  vlistSelectRange(a, still->selection, 1, 1, 1, 1);
  still->focusRow = 2, still->focusColumn = 0;
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), still);
  settle();
  // A Select press on (0, 0) dragged to (1, 2), still held.
  vrect c00, c12;
  vlistviewGetCellRect(dragged, 0, 0, &c00);
  vlistviewGetCellRect(dragged, 1, 2, &c12);
  vevent* e = veventCreateButtonDown(w, c00.x + 3, c00.y + 3, 0, 1, 1, 0);
  veventSetBinding(e, vname_Select);
  vdialogItemClassOf(dragged)->buttonDown(dragged, e);
  veventDestroy(e);
  e = veventCreateMotion(w, c12.x + 3, c12.y + 3, 0, 1, 0);
  vdialogItemClassOf(dragged)->motion(dragged, e);
  veventDestroy(e);
  drawAll(w);
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  if (!vdialogItemIsActive(still)) std::printf("focus not shown\n");
  e = veventCreateButtonUp(w, c12.x + 3, c12.y + 3, 0, 0, 1, 0);
  vdialogItemClassOf(dragged)->buttonUp(dragged, e);
  veventDestroy(e);
  finish(w);
  vinstanceDestroy(a);
  vinstanceDestroy(b);
  return ok ? 0 : 1;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "cells" && count > 2) status = cells(args[2]);
  else std::fprintf(stderr, "usage: listview_probe [-laf LOOK] cells OUT\n");
  std::fflush(stdout);
  _vdrawShutdown();
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
