// The set operation on two lists of 1,000 random rectangles in a 1024 x 768
// area, and the look-up of an already interned colour.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/rect.h"

// Every allocation of the process, counted. (g++ cannot see that these
// replace the global pair and warns at its inlined uses.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::size_t allocations = 0;
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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

// A colour found in a table of a few hundred: a bisection and a count.
void BM_InternExistingColor(benchmark::State& state) {
  std::vector<vcolor*> held;
  vcolorSpec desc;
  vcolorInitSpec(&desc);
  for (unsigned i = 0; i < 300; ++i) {
    vcolorSetSpecRGB(&desc, i * 211, i * 97, i * 13);
    held.push_back(vcolorInternSpec(&desc));
  }
  vcolorSetSpecRGB(&desc, 150 * 211, 150 * 97, 150 * 13);
  std::size_t before = allocations;
  for (auto _ : state) {
    vcolor* c = vcolorInternSpec(&desc);
    benchmark::DoNotOptimize(c);
    vcolorRelease(c);
  }
  state.counters["allocations"] = double(allocations - before);
  for (vcolor* c : held) vcolorRelease(c);
}
BENCHMARK(BM_InternExistingColor)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
