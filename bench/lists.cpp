// The list model's structural edits with selections, and the spring solver.
//
// - `bench/lists.cpp`: inserting and deleting row 0 of a list with three whole-row selections costs
//   about 2-3 µs an edit at 1,000 or 100,000 rows when the cells are the client's; with the list's
//   own cells the edit also moves every column's words (about 120 µs at 100,000 x 4), the price of
//   the contiguous per-column arrays. Arranging 200 items in 400 chains takes about 22 µs, their
//   minimum size about 51 µs.
#include <benchmark/benchmark.h>

#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/spring.h"

namespace {

// A rows x 4 list with three whole-row selections spread over it; own
// storage (column-major) or the client's (the edit then touches only the
// counts, the selections and the notifications).
vlist* listWithSelections(std::int32_t rows, bool clientCells) {
  vlist* l = vlistCreate();
  if (clientCells) vlistSetCellGetter(l, [](vlist*, std::int32_t r, std::int32_t c) { return vlistCell(r * 4 + c); });
  vlistSetColumnCount(l, 4);
  vlistSetRowCount(l, rows);
  for (std::int32_t first : {rows / 4, rows / 2, rows - 10}) {
    vlistSelection* s = vlistCreateSelection(l);
    vlistSetSelectionWholeRows(l, s, 1);
    vlistSelectRange(l, s, first, 0, 5, 1);
  }
  return l;
}

void insertDeleteRow0(benchmark::State& state) {
  vlist* l = listWithSelections(static_cast<std::int32_t>(state.range(0)), state.range(1) != 0);
  vlistClassRec* c = vlistClassOf(l);
  for (auto _ : state) {
    c->insert(l, 0, 1, vlistROWS);
    c->remove(l, 0, 1, vlistROWS);
  }
  state.SetItemsProcessed(2 * state.iterations());  // edits
  vinstanceDestroy(l);
}
BENCHMARK(insertDeleteRow0)->ArgNames({"rows", "client"})->ArgsProduct({{1000, 100000}, {0, 1}});

// 1,000 separate single-row selections, one after another, in one free
// selection of a 1,000,000-row list with the client's cells: the whole
// run, each call adding one rectangle to those already selected.
void disjointRowSelections(benchmark::State& state) {
  const bool wholeRows = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    vlist* l = vlistCreate();
    vlistSetCellGetter(l, [](vlist*, std::int32_t r, std::int32_t c) { return vlistCell(r * 4 + c); });
    vlistSetColumnCount(l, 4);
    vlistSetRowCount(l, 1000000);
    vlistSelection* s = vlistCreateSelection(l);
    vlistSetSelectionWholeRows(l, s, wholeRows ? 1 : 0);
    state.ResumeTiming();
    for (std::int32_t i = 0; i < 1000; ++i) vlistSelectRange(l, s, i * 997, 0, 1, 1);
    state.PauseTiming();
    if (s->rectCount != 1000) state.SkipWithError("the selections merged");
    vinstanceDestroy(l);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(1000 * state.iterations());  // selections
}
BENCHMARK(disjointRowSelections)->ArgName("wholeRows")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 200 items in a row of 400 chains (x and y per item), springs between.
struct Items {
  vrect rects[200];
};
vspringArrangerClassRec* arranger() {
  static vspringArrangerClassRec* a = [] {
    auto* r = vclassSpawnOf<vspringArrangerClassRec>(vspringGetArrangerClass());
    r->itemObject = [](void* c, int i) -> void* { return &static_cast<Items*>(c)->rects[i]; };
    r->rect = [](void*, void* o, vrect* out) { *out = *static_cast<vrect*>(o); };
    r->applyRect = [](void*, void* o, const vrect* in) { *static_cast<vrect*>(o) = *in; };
    r->minimumSize = [](void*, void*, std::int32_t* w, std::int32_t* h) { *w = 20, *h = 10; };
    return r;
  }();
  return a;
}
vspringSolution* twoHundredItems() {
  vspringSolution* s = vspringSolutionCreate();
  for (int i = 0; i < 200; ++i)
    for (int v : {0, int{vspringVERTICAL}}) {
      vspringSolutionAppendStep(s, v | vspringSPRING, 4, -1);
      vspringSolutionAppendStep(s, v | vspringSPRING, 20, i);
      vspringSolutionAppendStep(s, v | vspringFAR_EDGE | vspringSPRING, 4, i);
      vspringSolutionAppendStep(s, v | vspringFAR_EDGE | vspringEND_CHAIN, 0, -1);
    }
  return s;
}

void springArrange(benchmark::State& state) {
  Items items{};
  vspringSolution* s = twoHundredItems();
  vrect container{0, 0, 800, 600};
  for (auto _ : state) vspringSolutionArrange(arranger(), &items, s, &container);
  benchmark::DoNotOptimize(items.rects[199]);
  vinstanceDestroy(s);
}
BENCHMARK(springArrange)->Unit(benchmark::kMicrosecond);

void springMinimumSize(benchmark::State& state) {
  Items items{};
  vspringSolution* s = twoHundredItems();
  std::int32_t w = 0, h = 0;
  for (auto _ : state) vspringSolutionDetermineMinSize(arranger(), &items, s, &w, &h);
  benchmark::DoNotOptimize(w);
  vinstanceDestroy(s);
}
BENCHMARK(springMinimumSize)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
