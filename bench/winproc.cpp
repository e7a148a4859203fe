// Drag motions injected as a user gives them, through the input queue, the
// window procedure and the application's dispatch to a window's drag
// slots, headless.
#include <benchmark/benchmark.h>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "platform/win/test.h"

namespace {

long drags = 0;
int onDrag(vwindow*, vevent*) {
  ++drags;
  return 1;
}

vwindow* dragWindow() {
  static vwindow* w = [] {
    vsysStartup();
    vwindowEnsureStartup();
    auto* c = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(c, vscribeLiteral("benchDragWindow"));
    c->handleDrag = onDrag;
    c->handleDragPending = onDrag;
    auto* made = static_cast<vwindow*>(vinstanceCreate(c));
    made->rect = {100, 100, 400, 300};
    vwindowOpen(made);
    veventMSWDrainMessages();
    return made;
  }();
  return w;
}

win::POINT at(vwindow* w, int x, int y) {
  win::POINT p{x, y};
  win::ClientToScreen(w->native->hwnd, &p);
  return p;
}

// One iteration: a press, 10,000 motions queued uncoalesced, the queue
// drained, the release (budget: 20 ms).
void DragMotions10k(benchmark::State& state) {
  vwindow* w = dragWindow();
  win::test::SetMouseCoalescing(false);
  long before = drags;
  for (auto _ : state) {
    win::test::MouseDown(at(w, 10, 10));
    veventMSWDrainMessages();
    for (int i = 0; i < 10000; ++i) win::test::MouseMove(at(w, 11 + i % 300, 10 + (i / 300) % 250));
    veventMSWDrainMessages();
    win::test::MouseUp(at(w, 10, 10));
    veventMSWDrainMessages();
  }
  win::test::SetMouseCoalescing(true);
  state.counters["drags/iteration"] = static_cast<double>(drags - before) / static_cast<double>(state.iterations());
}
BENCHMARK(DragMotions10k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
