// Large arrays built and stored, whose cost must grow with their size and
// no faster. Times are per whole build or store.
//
// - ResourceText: one array of n numbers (kind 0) or n strings (kind 1)
//   read from the text form into a memory ".vr" store and saved to a file,
//   as `vrtool build` does.
// - ListStore: a rows x 100 string list stored into a memory resource of
//   each store (table 0: ".vr", the default; 1: chunk file), each cell one
//   element of the list's storage array.
// - StringFill: an n-element string array filled one element at a time in
//   a memory file of each store (table 0: ".vr", 1: chunk file).
// - ResourceDump: a file holding one array of n strings opened and written
//   out in the text form, as `vrtool dump` does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "fw/core/fs.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/widgets/lists/liststr.h"

namespace {

std::string arrayText(int kind, std::int32_t n) {
  std::string text = kind ? "Big = array string [\n" : "Big = array integer [\n";
  char cell[32];
  for (std::int32_t i = 0; i < n; ++i) {
    if (kind) std::snprintf(cell, sizeof cell, "\"item %d\"\n", i);
    else std::snprintf(cell, sizeof cell, "%d\n", i * 37 - 5000);
    text += cell;
  }
  return text + "]\n";
}

void ResourceText(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const auto n = static_cast<std::int32_t>(state.range(1));
  const std::string text = arrayText(kind, n);
  const std::string file = "/tmp/resource_build_bench." + std::to_string(getpid()) + ".vr";
  vfsPath* out = vfsNewPathFromString(file.c_str());
  for (auto _ : state) {
    vresource root = vrstoreCreateMemory();
    std::string error;
    if (!vrtextParse(text, root, &error)) state.SkipWithError(error.c_str());
    vrstoreCloseFile(vrstoreSaveFile(root, out, 0));
    vrstoreCloseFile(root);
  }
  vfsFreePath(out);
  std::remove(file.c_str());
  state.counters["elements_per_s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ResourceText)
    ->ArgNames({"strings", "n"})
    ->ArgsProduct({{0, 1}, {1000, 40000, 200000}})
    ->Unit(benchmark::kMillisecond);

void ListStore(benchmark::State& state) {
  const int table = static_cast<int>(state.range(0));
  const auto rows = static_cast<std::int32_t>(state.range(1));
  vrstoreInstallInterface();
  constexpr std::int32_t columns = 100;
  vliststr* l = vliststrCreate();
  vlistSetColumnCount(l, columns);
  vlistSetRowCount(l, rows);
  char cell[32];
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < columns; ++c) {
      std::snprintf(cell, sizeof cell, "r%d c%d", r, c);
      vliststrSetCellScribed(l, r, c, vscribeCString(cell));
    }
  for (auto _ : state) {
    state.PauseTiming();
    vresource root = vresourceCreateMemoryIn(table);
    vresource out = vresourceCreate(root, vnameInternLiteral("Strings"), vresDICTIONARY);
    state.ResumeTiming();
    vliststrClassOf(l)->store(l, out);
    state.PauseTiming();
    vresourceCloseFile(root);
    state.ResumeTiming();
  }
  vinstanceDestroy(l);
  state.counters["cells_per_s"] = benchmark::Counter(double(rows) * columns * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ListStore)
    ->ArgNames({"table", "rows"})
    ->ArgsProduct({{0, 1}, {1000, 10000}})
    ->Unit(benchmark::kMillisecond);

void StringFill(benchmark::State& state) {
  const int table = static_cast<int>(state.range(0));
  const auto n = static_cast<std::int32_t>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    vresource root = vresourceCreateMemoryIn(table);
    state.ResumeTiming();
    vresource a = vresourceCreateArray(root, vnameInternLiteral("Strings"), vresSTRING, n);
    for (std::int32_t i = 0; i < n; ++i) vresourceSetAtStringSized(a, i, "element", 7);
    state.PauseTiming();
    vresourceCloseFile(root);
    state.ResumeTiming();
  }
  state.counters["elements_per_s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(StringFill)
    ->ArgNames({"table", "n"})
    ->ArgsProduct({{0, 1}, {10000, 100000, 1000000}})
    ->Unit(benchmark::kMillisecond);

void ResourceDump(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::string file = "/tmp/resource_dump_bench." + std::to_string(getpid()) + ".vr";
  vfsPath* path = vfsNewPathFromString(file.c_str());
  {
    vresource root = vrstoreCreateMemory();
    std::string error;
    if (!vrtextParse(arrayText(1, n), root, &error)) state.SkipWithError(error.c_str());
    vrstoreCloseFile(vrstoreSaveFile(root, path, 0));
    vrstoreCloseFile(root);
  }
  std::size_t size = 0;
  for (auto _ : state) {
    vresource root = vrstoreOpenFile(path, 1);
    size += vrtextDump(root).size();
    vrstoreCloseFile(root);
  }
  benchmark::DoNotOptimize(size);
  vfsFreePath(path);
  std::remove(file.c_str());
  state.counters["elements_per_s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ResourceDump)->ArgNames({"n"})->Arg(1000)->Arg(100000)->Arg(400000)->Arg(1600000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
