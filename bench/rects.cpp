// The set operation on two lists of 1,000 random rectangles in a 1024 x 768
// area, and the look-up of an already interned colour.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "fw/gui/graphics/rect.h"

namespace {

std::vector<vrect> randomRects(std::mt19937& rng, int n) {
  std::vector<vrect> v;
  for (int i = 0; i < n; ++i) {
    int w = 1 + int(rng() % 128), h = 1 + int(rng() % 128);
    v.push_back({std::int16_t(rng() % unsigned(1024 - w)), std::int16_t(rng() % unsigned(768 - h)), std::int16_t(w),
                 std::int16_t(h)});
  }
  return v;
}

void BM_CombineIntersection(benchmark::State& state) {
  std::mt19937 rng(1024);
  std::vector<vrect> a = randomRects(rng, 1000), b = randomRects(rng, 1000);
  int pieces = 0;
  for (auto _ : state) {
    vrect* out = vrectCombineLists(a.data(), b.data(), 1000, 1000, 1, 2, 3, &pieces);
    benchmark::DoNotOptimize(out);
    vrectDestroyList(out);
  }
  state.counters["pieces"] = pieces;
}
BENCHMARK(BM_CombineIntersection)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
