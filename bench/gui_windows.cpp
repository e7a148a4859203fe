// The windows edited in place, headless, measured (the counters):
// - a 1024 x 768 Memory window over a 65,536-word region swept page by
//   page through the scroll bar, each page updated and repainted, then
//   scrolled one row at a time (the aim: the sweep under 0.5 s, a one-row
//   scroll under 2 ms);
// - the core's Register window refreshed after each instruction step: a
//   step through command_submit with the window's update and repaint (the
//   aim: under 100 microseconds, the update alone under 20).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/gui_bench_support.h"
#include "fw/widgets/controls/control.h"
#include "frontends/gui/memory_window.h"
#include "frontends/gui/register_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"

namespace {

using seconds = std::chrono::duration<double>;

double since(std::chrono::steady_clock::time_point start) {
  return seconds(std::chrono::steady_clock::now() - start).count();
}

vcontrol* memory_bar(gui::sim_window* w) {
  return reinterpret_cast<vcontrol*>(
      vdialogFindItem(static_cast<vdialog*>(static_cast<void*>(w->window)), vnameInternLiteral("Mem_Scroll")));
}

// The bar moved as a user moves it, then the window painted.
void scroll_to(gui::sim_window* w, vcontrol* bar, uint32_t top) {
  vcontrolSetReversedValue(bar, static_cast<int32_t>(top));
  vdialogNotifyItem(bar, nullptr);
  win::UpdateWindow(w->window->native->hwnd);
}

void BM_MemorySweep(benchmark::State& state) {
  if (!start_gui_bench()) {
    state.SkipWithError("no build in WEXLINHOME, or no device");
    return;
  }
  gui::register_memory_window();
  gui::command_submit("wmemory x");
  settle_gui_bench();
  gui::sim_window* w = gui::window_find(gui::SIMWIN_MEMORY, 0);
  vcontrol* bar = w != nullptr ? memory_bar(w) : nullptr;
  if (bar == nullptr) {
    state.SkipWithError("no Memory window");
    return;
  }
  win::SetWindowPos(w->window->native->hwnd, nullptr, 0, 0, 1024, 768,
                    win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  settle_gui_bench();
  const int per_row = gui::memory_window_columns(w) - 1;
  const uint32_t page = static_cast<uint32_t>(bar->view);
  constexpr int ROW_SCROLLS = 64;
  double sweep_worst = 0, row_worst = 0, row_total = 0;
  int pages = 0, row_count = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    pages = 0;
    for (uint32_t top = 0; top < 0x10000; top += page, ++pages) scroll_to(w, bar, top);
    sweep_worst = std::max(sweep_worst, since(start));
    // One row at a time down from the start, each scroll timed.
    for (int i = 0; i < ROW_SCROLLS; ++i) {
      start = std::chrono::steady_clock::now();
      scroll_to(w, bar, static_cast<uint32_t>(per_row * i));
      const double t = since(start);
      row_worst = std::max(row_worst, t);
      row_total += t;
      ++row_count;
    }
  }
  state.counters["pages"] = pages;
  state.counters["sweep_s"] = sweep_worst;
  state.counters["row_ms"] = row_total / std::max(row_count, 1) * 1e3;
  state.counters["row_worst_ms"] = row_worst * 1e3;
  gui::window_close_all(-2);
  settle_gui_bench();
  free_all_devices();
}
BENCHMARK(BM_MemorySweep)->Unit(benchmark::kMillisecond);

void BM_RegisterWindowPerStep(benchmark::State& state) {
  if (!start_gui_bench()) {
    state.SkipWithError("no build in WEXLINHOME, or no device");
    return;
  }
  gui::register_register_window();
  gui::command_submit("wregister");
  settle_gui_bench();
  gui::sim_window* w = gui::window_find(gui::SIMWIN_REGISTER, 0);
  if (w == nullptr) {
    state.SkipWithError("no Register window");
    return;
  }
  constexpr int STEPS = 500;
  double per_step = 0, per_update = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < STEPS; ++i) {
      gui::command_submit("step");
      settle_gui_bench();  // the step's slice and the windows' update run as events
      win::UpdateWindow(w->window->native->hwnd);
    }
    per_step = since(start) / STEPS;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < STEPS; ++i) w->update(w);
    per_update = since(start) / STEPS;
  }
  state.counters["step_us"] = per_step * 1e6;
  state.counters["update_us"] = per_update * 1e6;
  gui::window_close_all(-2);
  settle_gui_bench();
  // The same steps with no window: the command's own share.
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < STEPS; ++i) {
    gui::command_submit("step");
    settle_gui_bench();
  }
  state.counters["step_no_window_us"] = since(start) / STEPS * 1e6;
  free_all_devices();
}
BENCHMARK(BM_RegisterWindowPerStep)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
BENCHMARK_MAIN();
