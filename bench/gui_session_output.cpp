// A command's output reaching the Session window, headless, against the
// same command in the terminal program (sim73500 without --gui, its
// output thrown away), each without start-up: "trace 5000" prints a line
// per instruction, "display x:0#4000" 4,000 words. The window must keep
// within three times the terminal's time.
#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/gui_bench_support.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session_window.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* kCommands[] = {"trace 5000", "display x:0#4000"};
constexpr double kWithin = 3.0;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The terminal program on a macro of the lines, output to /dev/null.
double terminal_run(const std::string& lines) {
  const std::string macro =
      (std::filesystem::temp_directory_path() / ("session_output_" + std::to_string(getpid()) + ".cmd")).string();
  if (std::FILE* f = std::fopen(macro.c_str(), "w")) {
    std::fputs(lines.c_str(), f);
    std::fclose(f);
  }
  const std::string command = std::string("'") + SIM73500 + "' '" + macro + "' </dev/null >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double took = seconds_since(start);
  std::remove(macro.c_str());
  return status == -1 ? -1 : took;
}

// The command's own time in the terminal: the macro runs it kRepeats
// times; the fastest of a few runs, less the fastest start and quit alone.
constexpr int kRepeats = 5;
double terminal_seconds(const char* line) {
  std::string lines;
  for (int i = 0; i < kRepeats; ++i) lines += std::string(line) + "\n";
  double with = 1e9, without = 1e9;
  for (int i = 0; i < 3; ++i) {
    with = std::min(with, terminal_run(lines + "quit\n"));
    without = std::min(without, terminal_run("quit\n"));
  }
  return std::max((with - without) / kRepeats, 1e-6);
}

void BM_SessionWindowKeepsUpWithTheTerminal(benchmark::State& state) {
  const char* line = kCommands[state.range(0)];
  state.SetLabel(line);
  const double terminal = terminal_seconds(line);
  if (!start_session_window_bench(state)) return;
  double fastest = 1e9;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    gui::command_submit(line);
    do settle_gui_bench();
    while (gui::run_chain_live() || gui::macro_chain_live());
    win::UpdateWindow(gui::session_dialog()->native->hwnd);
    settle_gui_bench();
    fastest = std::min(fastest, seconds_since(start));
  }
  state.counters["window_s"] = fastest;
  state.counters["terminal_s"] = terminal;
  state.counters["ratio"] = fastest / terminal;
  std::fprintf(stderr, "%s: Session window %.4f s, terminal %.4f s, ratio %.2f\n", line, fastest, terminal,
               fastest / terminal);
  if (fastest > kWithin * terminal) state.SkipWithError("the window is over three times the terminal's time");
  gui::window_close_all(-2);
  settle_gui_bench();
  free_all_devices();
}
BENCHMARK(BM_SessionWindowKeepsUpWithTheTerminal)->DenseRange(0, 1)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
