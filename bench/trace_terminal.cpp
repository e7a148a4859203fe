// A trace by instructions whose lines go to a pseudo-terminal through the
// console front-end, as `trace` typed at sim73500 in a terminal window: the
// console attached to the terminal as at start-up, its output held in
// blocks (held:1) or written line by line (held:0, the console's way before
// it held a terminal's output). A thread reads the terminal as a terminal
// window would. Counters: traced instructions per second, write(2) calls
// per KiB of output and bytes per write.
//
// With --instructions=N [--line-by-line] it runs one trace of N instructions
// and prints the writes and bytes, for host-instruction counts under
// callgrind: the difference of two lengths is the cost of the instructions
// between them.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "frontends/console/console.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/frontend/frontend.h"

namespace {

// The terminal: its two ends and a reader that keeps it drained.
struct pseudo_terminal {
  int master = -1;
  int slave = -1;
  std::thread reader;

  bool open_pair() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) return false;
    winsize size{24, 80, 0, 0};
    ioctl(master, TIOCSWINSZ, &size);
    reader = std::thread([this] {
      char chunk[65536];
      while (read(master, chunk, sizeof chunk) > 0) {
      }
    });
    reader.detach();
    return true;
  }
};

pseudo_terminal terminal;

// Device 0 at p:$100 on: move #0,r1; lea (r1)+,r1; jmp $102.
bool start(bool held) {
  if (terminal.master < 0 && !terminal.open_pair()) return false;
  install_console_frontend();
  static const int no_input = open("/dev/null", O_RDONLY);
  terminal_attach(no_input, terminal.slave);
  console_io().batched = console_io().batched && held;
  index_memory_regions();
  free_all_devices();
  if (create_device(0, "73521") == 0) return false;
  select_device(0);
  for (const char* line : {"asm p:$100 move #$0,r1", "asm p:$102 lea (r1)+,r1", "asm p:$103 jmp $102",
                           "change pc $100"})
    command_submit(line);
  std::fflush(console_io().out);
  return true;
}

struct trace_result {
  std::size_t writes = 0;
  std::size_t bytes = 0;
};

trace_result trace(int instructions) {
  const terminal_write_count before = terminal_writes();
  command_submit(("trace " + std::to_string(instructions)).c_str());
  console_pump();
  std::fflush(console_io().out);
  const terminal_write_count after = terminal_writes();
  return {after.calls - before.calls, after.bytes - before.bytes};
}

void BM_TraceToTerminal(benchmark::State& state) {
  const bool held = state.range(0) != 0;
  if (!start(held)) {
    state.SkipWithError("no pseudo-terminal or device");
    return;
  }
  constexpr int kInstructions = 1000;
  trace_result total;
  for (auto _ : state) {
    const trace_result r = trace(kInstructions);
    total.writes += r.writes;
    total.bytes += r.bytes;
  }
  state.counters["traced_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kInstructions, benchmark::Counter::kIsRate);
  state.counters["writes_per_KiB"] = static_cast<double>(total.writes) * 1024 / static_cast<double>(total.bytes);
  state.counters["bytes_per_write"] = static_cast<double>(total.bytes) / static_cast<double>(total.writes);
}
BENCHMARK(BM_TraceToTerminal)->ArgName("held")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--instructions=", 15) != 0) continue;
    const bool line_by_line = i + 1 < argc && std::strcmp(argv[i + 1], "--line-by-line") == 0;
    if (!start(!line_by_line)) return 1;
    const trace_result r = trace(std::atoi(argv[i] + 15));
    std::fprintf(stderr, "writes %zu bytes %zu\n", r.writes, r.bytes);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
