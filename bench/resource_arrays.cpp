// An integer array of N elements created and filled, element by element
// through the public resource calls, in a memory file of each store (table
// 0: the ".vr" store, 1: the chunk-file store); then every element read
// back. Time is per whole array; counter elements_per_s.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "fw/data/vresource.h"

namespace {

void CreateAndFill(benchmark::State& state) {
  const int table = static_cast<int>(state.range(0));
  const auto n = static_cast<std::int32_t>(state.range(1));
  vname tag = vnameInternLiteral("Numbers");
  std::int64_t sum = 0;
  for (auto _ : state) {
    state.PauseTiming();
    vresource root = vresourceCreateMemoryIn(table);
    state.ResumeTiming();
    vresource a = vresourceCreateArray(root, tag, vresINTEGER, n);
    for (std::int32_t i = 0; i < n; ++i) vresourceSetAtInteger(a, i, i * 7);
    state.PauseTiming();
    for (std::int32_t i = 0; i < n; i += 997) sum += vresourceGetAtInteger(a, i);
    vresourceCloseFile(root);
    state.ResumeTiming();
  }
  benchmark::DoNotOptimize(sum);
  state.counters["elements_per_s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(CreateAndFill)->ArgNames({"table", "n"})->ArgsProduct({{0, 1}, {1000, 100000}})->Unit(benchmark::kMillisecond);

// Reading every element back.
void ReadBack(benchmark::State& state) {
  const int table = static_cast<int>(state.range(0));
  const auto n = static_cast<std::int32_t>(state.range(1));
  vresource root = vresourceCreateMemoryIn(table);
  vresource a = vresourceCreateArray(root, vnameInternLiteral("Numbers"), vresINTEGER, n);
  for (std::int32_t i = 0; i < n; ++i) vresourceSetAtInteger(a, i, i * 7);
  std::int64_t sum = 0;
  for (auto _ : state)
    for (std::int32_t i = 0; i < n; ++i) sum += vresourceGetAtInteger(a, i);
  benchmark::DoNotOptimize(sum);
  vresourceCloseFile(root);
  state.counters["elements_per_s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ReadBack)->ArgNames({"table", "n"})->ArgsProduct({{0, 1}, {1000, 100000}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
