// Domains of 10,000 objects: finding an area, selecting all, moving a
// thousand with the undo observer recording; solving a spring domain.
//
// - `bench/domains.cpp`: among 10,000 shown objects, finding a 600 x 400 area (280 found) takes
//   about 49 µs, select all then deselect all about 58 µs, moving 1,000 objects with the undo
//   observer recording about 3 µs; solving a spring domain of 200 objects in one row (rebuilding the
//   solution from the connections) about 170 µs.
#include <benchmark/benchmark.h>

#include <vector>

#include "fw/widgets/domains/springdom.h"

namespace {

// 100 x 100 objects of 20 x 20, 30 apart, all shown.
vdomain* grid(std::vector<vdomainObject*>* made) {
  vdomain* d = vdomainCreate();
  for (int i = 0; i < 10000; ++i) {
    vdomainObject* o = vdomainNewObject(d);
    o->rect = {(i % 100) * 30, (i / 100) * 30, 20, 20};
    if (made) made->push_back(o);
  }
  vdomainSet* all = vdomainFilterSet(d, 0, vdomainFILTER_ALL, nullptr, nullptr);
  vdomainClassOf(d)->showObjects(d, all);
  vdomainDestroySet(all);
  return d;
}

void findArea(benchmark::State& state) {
  vdomain* d = grid(nullptr);
  vrectLong area{450, 450, 600, 400};
  std::int32_t found = 0;
  for (auto _ : state) {
    vdomainSet* s = vdomainFindObjects(d, &area, 0, 0, 0, vdomainFILTER_SELECTED | vdomainFILTER_UNSELECTED, nullptr, nullptr);
    found = s->count;
    vdomainDestroySet(s);
  }
  state.counters["found"] = found;
  vdomainDestroy(d);
}
BENCHMARK(findArea)->Unit(benchmark::kMicrosecond);

void selectAllDeselectAll(benchmark::State& state) {
  vdomain* d = grid(nullptr);
  int slot = vdomainAllocSelection(d);
  for (auto _ : state) {
    vdomainClassOf(d)->selectAll(d, slot, 1);
    vdomainClassOf(d)->selectAll(d, slot, 0);
  }
  vdomainDestroy(d);
}
BENCHMARK(selectAllDeselectAll)->Unit(benchmark::kMicrosecond);

void moveThousandRecorded(benchmark::State& state) {
  std::vector<vdomainObject*> made;
  vdomain* d = grid(&made);
  vdomainSetPrimaryObserverClass(d, vdomainUndoObserverClass());
  vdomainSet* s = vdomainCreateSetOf(made.data(), 1000);
  int slot = vdomainAllocSelection(d);
  vdomainClassOf(d)->selectObjects(d, slot, s);
  int step = 1;
  for (auto _ : state) {
    vdomainMoveObjects(d, s, step, -step, vdomainMOVE_OFFSET);
    step = -step;
    vundoActionDestroy(vdomainTakePendingActions(d));
  }
  vdomainDestroySet(s);
  vdomainDestroy(d);
}
BENCHMARK(moveThousandRecorded)->Unit(benchmark::kMicrosecond);

// 200 objects of 10 x 10 in one row, 2 apart, springs at both ends; each
// 5 above the bottom with a spring above.
void solveSpringRow(benchmark::State& state) {
  vspringdom* d = vspringdomCreate();
  std::vector<vdomainObject*> row;
  for (int i = 0; i < 200; ++i) {
    vdomainObject* o = vdomainNewObject(d);
    o->rect = {0, 0, 10, 10};
    row.push_back(o);
  }
  auto link = [&](vdomainObject* a, int as, vdomainObject* b, int bs, int length, bool spring) {
    vspringdomHandle* h = vspringdomGetHandle(d, a, as);
    vspringdomConnect(d, h, vspringdomGetHandle(d, b, bs), 0);
    vspringdomSetLength(d, h, length, 0);
    vspringdomSetSpring(d, h, spring, 0);
  };
  link(nullptr, 1, row[0], 0, 0, true);
  for (int i = 0; i < 200; ++i) {
    link(row[i], 1, row[i], 2, 10, false);
    link(row[i], 3, i + 1 < 200 ? row[i + 1] : nullptr, i + 1 < 200 ? 0 : 2, 2, i + 1 == 200);
    link(row[i], 4, nullptr, 5, 5, false);
    link(row[i], 5, row[i], 6, 10, false);
    link(row[i], 7, nullptr, 6, 0, true);
  }
  vrect box{0, 0, 3000, 100};
  vspringdomSetContainerRect(d, &box);
  for (auto _ : state) {
    d->flags |= vspringdomPENDING;
    vspringdomSolve(d);
  }
  state.counters["x199"] = row[199]->rect.x;
  vdomainDestroy(d);
}
BENCHMARK(solveSpringRow)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
