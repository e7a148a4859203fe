// A 600 x 400 domain view over 10,000 objects in a headless window: a full
// redraw, and one step of a band drag with live selection.
//
// - `bench/domainview.cpp`: a 600 x 400 view over 10,000 objects (280 shown) redraws in full in
//   about 0.7 ms headless; one live band-selection drag step about 0.2 ms.
#include <benchmark/benchmark.h>

#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/domains/domainview.h"
#include "tests/fw/widgets/dialog_support.h"

namespace {

struct Scene {
  vwindow* window;
  vdialogItemList* list;
  vdomainview* view;

  Scene() {
    static bool stores = (vrstoreInstallInterface(), true);
    (void)stores;
    startDialogItemTests();
    window = vwindowCreate();
    window->rect = {0, 0, 620, 420};
    list = vdialogItemListCreate();
    vdialogItemListSetOwner(list, window, &vdialogItemListWindowOwner);
    window->data = list;
    view = vdomainitemCreate();
    vdomain* d = view->domain;
    vrect bounds{0, 0, 3000, 3000}, r{10, 10, 600, 400};
    vdomainSetBounds(d, &bounds);
    vdialogSetItemRect(view, &r);
    // 100 x 100 objects of 20 x 20, 30 apart.
    for (int i = 0; i < 10000; ++i) vdomainNewObject(d)->rect = {(i % 100) * 30, (i / 100) * 30, 20, 20};
    vdomainSet* all = vdomainFilterSet(d, 0, vdomainFILTER_ALL, nullptr, nullptr);
    vdomainClassOf(d)->showObjects(d, all);
    vdomainDestroySet(all);
    vdomainviewScroll(view, 1200, 1200, vdomainviewABSOLUTE);
    vdialogItemListAppend(list, view);
    vdialogItemListClassOf(list)->open(list);
    vwindowOpen(window);
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
  }
  ~Scene() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    vwindowClose(window);
    vdialogItemListClassOf(list)->close(list);
    vinstanceDestroy(list);
    vwindowDestroy(window);
  }
  void draw() {
    vdrawGSave();
    vdialogItemListSetDrawingState(list);
    vdrawInitDeviceClip();
    vdialogItemListDraw(list);
    vdrawGRestore();
  }
};

void fullRedraw(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) scene.draw();
  state.counters["shown"] = scene.view->visibleSet->count;
}
BENCHMARK(fullRedraw)->Unit(benchmark::kMillisecond);

void bandStepLive(benchmark::State& state) {
  Scene scene;
  scene.draw();
  auto* c = vdialogItemClassOf(scene.view);
  vevent* down = veventCreateButtonDown(scene.window, 38, 38, 0, 1, 1, 1);
  veventSetBinding(down, vnameInternLiteral("Select"));
  c->buttonDown(scene.view, down);
  veventDestroy(down);
  int step = 0;
  for (auto _ : state) {
    // Back and forth over a few objects' edges, so the selection changes.
    int x = 300 + (step % 2 ? 31 : 0), y = 200 + (step % 2 ? 31 : 0);
    ++step;
    vevent* m = veventCreateMotion(scene.window, x, y, 0, 1, 1);
    c->drag(scene.view, m);
    veventDestroy(m);
  }
  vevent* up = veventCreateButtonUp(scene.window, 300, 200, 0, 0, 1, 1);
  c->buttonUp(scene.view, up);
  veventDestroy(up);
  state.counters["selected"] = vdomainSelectedCount(scene.view->domain, scene.view->slot);
}
BENCHMARK(bandStepLive)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
