// The Session window open while 100,000 lines are printed, then one
// repaint of the window, headless: the whole must stay under 0.5 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/gui_bench_support.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/session_window.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace {

void BM_SessionWindowLinesThenRepaint(benchmark::State& state) {
  if (!start_session_window_bench(state)) return;
  char lines[64][64];
  for (int i = 0; i < 64; ++i) std::snprintf(lines[i], sizeof lines[i], "p:$%04x  {move} x:(r0)+,a  ; %d", i, i);
  const int count = static_cast<int>(state.range(0));
  double slowest = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) session_print(lines[i & 63], 1);
    win::UpdateWindow(gui::session_dialog()->native->hwnd);
    settle_gui_bench();
    slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["slowest_s"] = slowest;
  if (slowest >= 0.5) state.SkipWithError("over 0.5 s");
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  gui::window_close_all(-2);
  settle_gui_bench();
  free_all_devices();
}
BENCHMARK(BM_SessionWindowLinesThenRepaint)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
