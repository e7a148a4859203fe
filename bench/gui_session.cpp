// Lines through the GUI front-end's session output, each shown at once
// (one flush per line), headless: the time per line and the allocations
// per line, which must be none.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "frontends/gui/frontend.h"
#include "frontends/gui/session.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

// Every operator new of the program so far (alloc_count.cpp).
long allocations_so_far();

namespace {

void BM_SessionPrint(benchmark::State& state) {
  gui::install_gui_frontend();
  gui::session_reset();
  index_memory_regions();
  free_all_devices();
  if (create_device(0, "73521") == 0) {
    state.SkipWithError("no device");
    return;
  }
  select_device(0);
  // Lines as a run prints them: text with a highlighted run.
  char lines[64][64];
  for (int i = 0; i < 64; ++i) std::snprintf(lines[i], sizeof lines[i], "p:$%04x  {move} x:(r0)+,a  ; %d", i, i);
  session_print("warm", 1);
  const int count = static_cast<int>(state.range(0));
  long allocs = 0;
  for (auto _ : state) {
    const long before = allocations_so_far();
    for (int i = 0; i < count; ++i) {
      session_print(lines[i & 63], 1);
      screen_flush();
    }
    allocs += allocations_so_far() - before;
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  state.counters["allocs/line"] =
      static_cast<double>(allocs) / (static_cast<double>(count) * static_cast<double>(state.iterations()));
  if (allocs != 0) state.SkipWithError("session output allocated");
  free_all_devices();
}
BENCHMARK(BM_SessionPrint)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
