// A 100,000 x 4 list in a 600 x 400 list view on the headless back-end:
// scrolling by one row (the pixel move and the exposed strip repainted),
// "PageDown" from the top, a type-ahead search that ends on the last row,
// and a full redraw.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/bench_host.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/lists/liststr.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/startup.h"

namespace {

using benchhost::settle;

struct Table {
  vwindow* window;
  vliststr* list;
  vlistview* view;
};
Table table{};

void drawAll() { benchhost::drawAll(table.window); }

void open() {
  vwindow* w = benchhost::create("listviewBenchHost", {0, 0, 620, 420});
  vdialogItemList* items = benchhost::listOf(w);
  vliststr* l = vliststrCreate();
  vlistSetRowCount(l, 100000);
  vlistSetColumnCount(l, 4);
  char text[16];
  for (int r = 0; r < 100000; ++r)
    for (int c = 0; c < 4; ++c) {
      std::snprintf(text, sizeof text, "%c%06d", 'a' + c, r);
      vliststrSetCellScribed(l, r, c, vscribeCString(text));
    }
  vlistview* v = vlistviewCreate();
  vlistviewSetList(v, l);
  vlistviewSetColumnWidth(v, vlistsizeALL_COLUMNS, 140);
  vrect r{10, 10, 600, 400};
  vdialogSetItemRect(v, &r);
  v->options |= vlistviewFOCUS_SHOWN | vlistviewTYPE_AHEAD | vlistviewHLINES | vlistviewVLINES;
  vdialogItemListAppend(items, v);
  benchhost::open(w);
  table = Table{w, l, v};
}

void scrollOneRow(benchmark::State& state) {
  vlistviewScrollToCell(table.view, 0, 0);
  settle();
  for (auto _ : state) {
    vlistviewScrollBy(table.view, 1, 0);
    settle();  // the exposed strip repainted
    if (table.view->firstRow > 90000) vlistviewScrollToCell(table.view, 0, 0), settle();
  }
}
BENCHMARK(scrollOneRow)->Unit(benchmark::kMicrosecond);

void pageDownFromTop(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    vlistviewScrollToCell(table.view, 0, 0);
    table.view->focusRow = 0;
    settle();
    state.ResumeTiming();
    vobjectAttributedOf(table.view)->issueSelector(table.view, 17, nullptr);
    settle();
  }
}
BENCHMARK(pageDownFromTop)->Unit(benchmark::kMicrosecond);

void typeAheadToLastRow(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    vlistviewScrollToCell(table.view, 0, 0);
    settle();
    _vlistviewClearTypeAhead();
    // Column by column from (0, 0): "a099999" is the first column's last
    // cell; the last character's search is the one timed.
    for (const char* c = "a09999"; *c; ++c) vlistviewTypeAhead(table.view, *c);
    settle();
    state.ResumeTiming();
    vlistviewTypeAhead(table.view, '9');
    settle();
    if (table.view->focusRow != 99999) state.SkipWithError("not on the last row");
  }
}
BENCHMARK(typeAheadToLastRow)->Unit(benchmark::kMicrosecond)->Iterations(20);

void fullRedraw(benchmark::State& state) {
  for (auto _ : state) drawAll();
}
BENCHMARK(fullRedraw)->Unit(benchmark::kMicrosecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  open();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  _vdrawShutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }
