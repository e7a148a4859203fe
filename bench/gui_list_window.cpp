// A List window loading a listing, headless: "wlist" of a file of the
// first size and of the second size (MB, lines of 60 characters), each
// timed from the command to the window's text laid out. The load should be
// linear: the counter ratio (large time / small time) near large / small,
// at most 5 for 25 and 100 MB.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/gui_bench_support.h"
#include "frontends/gui/list_window.h"
#include "frontends/gui/windows.h"
#include "fw/text/text.h"
#include "fw/widgets/controls/textitem.h"

namespace {

// A listing of about mb megabytes; false when it cannot be written.
bool write_listing(const std::string& path, long mb) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string line = "P:0100 0AF080 00000100      jmp     start   ; the line's comment\n";
  const long lines = mb * 1000000 / static_cast<long>(line.size());
  bool ok = true;
  for (long i = 0; i < lines && ok; ++i) ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  return std::fclose(f) == 0 && ok;
}

// Seconds from "wlist" to the text shown in a new window, as a user opens
// a listing; the text's length in bytes.
double load(const std::string& path, long* length) {
  const auto start = std::chrono::steady_clock::now();
  gui::command_submit(("wlist " + path).c_str());
  settle_gui_bench();
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  gui::sim_window* w = gui::window_find(gui::SIMWIN_LIST, -1, 1);
  vtextitem* item = w != nullptr ? gui::list_window_text(w) : nullptr;
  *length = item != nullptr ? item->text->length : -1;
  gui::command_submit("wlist off");
  settle_gui_bench();
  return took;
}

void BM_ListWindowLoad(benchmark::State& state) {
  if (!start_gui_bench()) {
    state.SkipWithError("no build in WEXLINHOME, or no device");
    return;
  }
  gui::register_list_window();
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = tmp != nullptr ? tmp : "/tmp";
  const std::string small = folder + "/bench_list_small.lst", large = folder + "/bench_list_large.lst";
  if (!write_listing(small, state.range(0)) || !write_listing(large, state.range(1))) {
    state.SkipWithError("cannot write the listings");
    std::remove(small.c_str());
    std::remove(large.c_str());
    return;
  }
  double small_s = 0, large_s = 0;
  long small_length = 0, large_length = 0;
  for (auto _ : state) {
    small_s = load(small, &small_length);
    large_s = load(large, &large_length);
  }
  std::remove(small.c_str());
  std::remove(large.c_str());
  if (small_length <= 0 || large_length <= small_length) state.SkipWithError("a listing was not loaded");
  state.counters["small_s"] = small_s;
  state.counters["large_s"] = large_s;
  state.counters["ratio"] = large_s / small_s;
  gui::window_close_all(-2);
  settle_gui_bench();
  free_all_devices();
}
BENCHMARK(BM_ListWindowLoad)->Args({1, 4})->Args({25, 100})->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
BENCHMARK_MAIN();
