// The run loop's speed on the demo's FIR filter (demo/fir.cmd), looping
// forever, through the slices the console runs (run_device_slice), on the
// fast engine where the run may use it and on the cycle engine:
//   - one device, core only, in a go and in steps counted by instructions
//     and by cycles (counts that outlast the bench);
//   - one device with eight address breakpoints, with a "cyc" one, and
//     with both (eight addresses and a "cyc>=" stop that never comes);
//   - one device with the timer counting, its overflow interrupt enabled;
//   - the same with both ssi ports sending and receiving;
//   - one device with two streams open: pin input every cycle, and the
//     filter's output location written to a file;
//   - the timer and ssis again, ssi0 fed and read through streams, a
//     timed word into memory every 100 cycles, the filter's output
//     location written to a file (streams the fast engine keeps);
//   - one device profiled (log p: the profiler's hook at every instruction);
//   - one "73583" device with every peripheral running: the timer, the
//     host interface enabled, the codec converting with its interrupt
//     enabled;
//   - 32 independent devices (per-device and aggregate figures), on one
//     thread, on two, four and eight worker threads (DSP_RUN_THREADS) and
//     on the host's count (threads:0: DSP_RUN_THREADS unset, the cores the
//     process may use, the governor choosing between them and one
//     thread); wall-clock rates, since the threads' CPU time adds up;
//   - the same 32 with every device's timer raising its request, on the
//     same thread counts;
//   - the same 32 with eight address breakpoints and a "cyc>=" stop on
//     the first device alone (on one thread and on four);
//   - one device with a write breakpoint on a word the program never
//     writes (break w x:$40), in a go and in a step counted by cycles;
//   - the "73583" with every peripheral and two breakpoints that cannot
//     see them (a "cyc>=" stop that never comes, an address never reached);
//   - one device traced by instructions, its lines written to a file
//     through the console front-end;
//   - each of the five device types.
// Each case first runs a prefix on both engines and fails on any
// difference of state (the threaded case also a prefix of slices on one
// thread and on its threads), and checks the filter's output afterwards.
// Every other case runs on one thread.
// Counters: device_cycles_per_s and instructions_per_s are aggregates over
// every device of the case; per_device_cycles_per_s divides by the device
// count; fast_share is the share of instructions the whole-instruction
// executor ran from start to end (core_exec_instruction), straight_share
// the share it ran straight through from their records (core_fast.h).
// At the end a table gives every case's device cycles per second (the
// median of the repetitions), all devices and per device, and the
// first as a share of the core-only case's; a case that failed
// its checks is listed with the reason. --quick runs each case once.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "bench/fir_program.h"
#include "frontends/console/console.h"
#include "frontends/console/terminal.h"
#include "sim/asm/asm.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"

namespace {

constexpr const char* type_names[] = {"73521", "73547", "73583", "73547rom", "73583ram"};

enum break_setup : int { NO_BREAKS = 0, EIGHT_ADDRESS_BREAKS, CYC_BREAK, TWO_STREAMS, TIMER_RUNNING, PROFILED,
                         ALL_PERIPHERALS, TIMER_AND_SSIS, SSI_STREAMS, MIXED_BREAKS, STEP_INSTRUCTIONS,
                         STEP_CYCLES, WATCH, WATCH_STEP_CYCLES, ALL_PERIPHERALS_BREAKS, TRACE_TO_FILE };

// The folder of the stream files, made once.
const std::string& stream_dir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "simbenchXXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::string();
    std::ofstream(pattern + "/pins.io") << "( 1010 # 5 0101 # 3 )\n";
    std::ofstream(pattern + "/rx.io") << "( $1234 $5678 )\n";
    std::ofstream(pattern + "/words.tio") << "( +100 $1234 )\n";
    return pattern + "/";
  }();
  return dir;
}

bool place_program(int device) {
  make_device_current(device);
  for (const fir_line& line : fir_program) {
    const int count = assemble_line(line.text, line.address);
    if (count <= 0) return false;
    for (int i = 0; i < count; ++i) {
      const uint32_t word = asm_words[static_cast<std::size_t>(i)];
      write_device_memory(device, SPACE_P, line.address + static_cast<uint32_t>(i), &word);
    }
  }
  for (auto [address, value] : fir_data) write_device_memory(device, SPACE_X, address, &value);
  return true;
}

void set_register(int device, const char* name, uint32_t value) {
  int row = 0, reg = 0;
  const uint32_t words[3] = {value, 0, 0};
  if (lookup_register(device, name, &row, &reg) != 0) write_register(device, row, reg, words);
}

// Device d of the type, armed for a free run of the filter.
bool make_device(int d, const char* type, break_setup breaks, bool cycle_engine) {
  if (create_device(d, type) == 0 || !place_program(d)) return false;
  set_register(d, "pc", 0x100);
  if (breaks == EIGHT_ADDRESS_BREAKS || breaks == MIXED_BREAKS) {
    // Addresses the program never reaches: the cost of testing them.
    for (int k = 0; k < 8; ++k)
      execute_command_line(d, ("break p:$" + std::to_string(0x200 + k)).c_str());
    if (breaks == MIXED_BREAKS) execute_command_line(d, "break cyc>=2000000000");
  } else if (breaks == CYC_BREAK) {
    execute_command_line(d, "break cyc==0");
  } else if (breaks == TIMER_RUNNING) {
    // Counting with its overflow interrupt enabled (and no priority, so
    // each request is dropped): an event every 200 cycles.
    execute_command_line(d, "change tpr 99 tcr $8200");
  } else if (breaks == WATCH || breaks == WATCH_STEP_CYCLES) {
    // A word the program reads but never writes.
    execute_command_line(d, "break w x:$40");
  } else if (breaks == ALL_PERIPHERALS || breaks == ALL_PERIPHERALS_BREAKS) {
    // The timer as above; the host interface holds port B; the codec
    // converts every cycle (a sample every 65 steps, its request dropped
    // for want of priority); both rssi ports send and receive on their
    // own bit clock and frame sync, rssi0 in network mode, rssi1 with the
    // gated clock in normal mode.
    execute_command_line(d, "change tpr 99 tcr $8200 pbc 1 ccr1 $c000");
    execute_command_line(d, "change cra0 $0207 crb0 $3c30 cra1 $6107 crb1 $3438 pcc $3ff");
    // A stop that never comes and an address the program never reaches:
    // neither can see the ports.
    if (breaks == ALL_PERIPHERALS_BREAKS) {
      execute_command_line(d, "break cyc>=2000000000");
      execute_command_line(d, "break p:$200");
    }
  } else if (breaks == SSI_STREAMS) {
    device_insts[d]->work_dir = stream_dir();
    execute_command_line(d, "change tpr 99 tcr $8200");
    execute_command_line(d, "change cra0 $6007 crb0 $3030 cra1 $0307 crb1 $3830 pcc $3ff");
    execute_command_line(d, "input ssi0 rx");
    execute_command_line(d, ("output ssi0 sent" + std::to_string(d) + " -o").c_str());
    execute_command_line(d, "input t x:$50 words");
    execute_command_line(d, ("output x:$83 out" + std::to_string(d) + " -o").c_str());
  } else if (breaks == TIMER_AND_SSIS) {
    // The timer as above; ssi0 sends and receives 16-bit words in normal
    // mode, ssi1 8-bit words in network mode (four slots), both on their
    // own bit clock (PM = 7: a toggle every 16 cycles) and frame sync.
    execute_command_line(d, "change tpr 99 tcr $8200");
    execute_command_line(d, "change cra0 $6007 crb0 $3030 cra1 $0307 crb1 $3830 pcc $3ff");
  } else if (breaks == PROFILED) {
    // Profiled: plain instructions counted per program address and data
    // word, the others through the hook at their ends.
    device_insts[d]->work_dir = stream_dir();
    execute_command_line(d, ("log p prof" + std::to_string(d) + " -o").c_str());
  } else if (breaks == TWO_STREAMS) {
    device_insts[d]->work_dir = stream_dir();
    execute_command_line(d, "input pb0..pb3 pins");
    execute_command_line(d, ("output x:$83 out" + std::to_string(d) + " -o").c_str());
  }
  make_device_current(d);
  device_state& st = *device_states[d];
  st.cycle_engine_only = cycle_engine ? 1 : 0;
  // A step counts down from the largest count: it outlasts the bench.
  st.run_mode = breaks == STEP_INSTRUCTIONS                              ? RUN_STEP_INSTR
                : breaks == STEP_CYCLES || breaks == WATCH_STEP_CYCLES ? RUN_STEP_CYCLE
                : breaks == TRACE_TO_FILE                              ? RUN_TRACE_INSTR
                                                                       : RUN_GO;
  st.run_count = st.run_mode == RUN_GO ? 1 : UINT32_MAX;
  st.break_number = 0;
  reset_run_flags();
  st.running = 1;
  return true;
}

// The same run on both engines (devices 0 and 1) for a prefix of cycles;
// the text of the first difference, or "".
std::string compare_engines(const char* type, break_setup breaks) {
  if (!make_device(0, type, breaks, false) || !make_device(1, type, breaks, true))
    return "device creation failed";
  constexpr int PREFIX = 20000;
  run_device_cycles(0, PREFIX);
  run_device_cycles(1, PREFIX);
  catch_up_peripherals();
  make_device_current(0);
  catch_up_peripherals();
  std::string difference = device_state_difference(0, 1);
  free_all_devices();
  return difference;
}

// The digests of `count` devices after each of a prefix of slices on
// `threads` threads.
// Sets the threads of a slice (0: the host's count, chosen by the governor).
void use_threads(int threads) {
  if (threads > 0)
    setenv("DSP_RUN_THREADS", std::to_string(threads).c_str(), 1);
  else
    unsetenv("DSP_RUN_THREADS");
}

std::vector<uint64_t> slice_digests(const char* type, int count, int threads, break_setup first_breaks) {
  use_threads(threads);
  std::vector<uint64_t> digests;
  for (int d = 0; d < count; ++d)
    if (!make_device(d, type, d == 0 ? first_breaks : NO_BREAKS, false)) return {};
  for (int s = 0; s < 20; ++s) {
    run_device_slice(RUN_SLICE_ROUNDS);
    for (int d = 0; d < count; ++d) {
      make_device_current(d);
      catch_up_peripherals();
      digests.push_back(device_state_digest(d));
    }
  }
  free_all_devices();
  return digests;
}

// With first_only, only device 0 gets the breakpoints.
void run_case(benchmark::State& state, const char* type, int count, break_setup breaks,
              bool cycle_engine, int threads = 1, bool first_only = false) {
  // The breakpoint tests are the command language's; no front-end is
  // installed, so session output goes nowhere.
  install_simulator_hooks();
  index_memory_regions();
  const std::string difference = compare_engines(type, breaks);
  if (!difference.empty()) {
    state.SkipWithError(("the engines differ: " + difference).c_str());
    return;
  }
  if (threads != 1) {
    const break_setup first = first_only ? breaks : NO_BREAKS;
    const std::vector<uint64_t> one = slice_digests(type, count, 1, first);
    if (one.empty() || one != slice_digests(type, count, threads, first)) {
      state.SkipWithError("one thread and the worker threads differ");
      return;
    }
  }
  use_threads(threads);
  for (int d = 0; d < count; ++d) {
    if (!make_device(d, type, first_only && d > 0 ? NO_BREAKS : breaks, cycle_engine)) {
      state.SkipWithError("device creation failed");
      free_all_devices();
      return;
    }
  }
  uint64_t rounds = 0;
  for (auto _ : state) rounds += static_cast<uint64_t>(run_device_slice(RUN_SLICE_ROUNDS));

  const double cycles = static_cast<double>(rounds) * count;
  double instructions = 0, fast = 0, straight = 0;
  bool all_running = true, all_filtered = true;
  for (int d = 0; d < count; ++d) {
    instructions += device_insts[d]->instructions;
    fast += device_states[d]->exec_instructions;
    straight += device_states[d]->straight_instructions;
    all_running = all_running && device_states[d]->running != 0;
    // The pulse response: the fourth output is c0 * 0.5 = 0.25.
    uint32_t y3 = 0;
    read_device_memory(d, SPACE_X, 0x83, &y3);
    all_filtered = all_filtered && y3 == 0x2000;
  }
  using benchmark::Counter;
  state.counters["device_cycles_per_s"] = Counter(cycles, Counter::kIsRate);
  state.counters["per_device_cycles_per_s"] = Counter(cycles / count, Counter::kIsRate);
  state.counters["instructions_per_s"] = Counter(instructions, Counter::kIsRate);
  state.counters["fast_share"] = instructions > 0 ? fast / instructions : 0;
  state.counters["straight_share"] = instructions > 0 ? straight / instructions : 0;
  if (!all_running) state.SkipWithError("a device stopped during the run");
  if (!all_filtered) state.SkipWithError("the filter computed a wrong output");
  free_all_devices();
}

// Argument 0: the fast engine where the run allows it; 1: the cycle engine.
void BM_FirOneDevice(benchmark::State& state) {
  run_case(state, "73521", 1, NO_BREAKS, state.range(0) != 0);
}
void BM_FirEightAddressBreaks(benchmark::State& state) {
  run_case(state, "73521", 1, EIGHT_ADDRESS_BREAKS, state.range(0) != 0);
}
void BM_FirMixedBreaks(benchmark::State& state) {
  run_case(state, "73521", 1, MIXED_BREAKS, state.range(0) != 0);
}
void BM_FirCycBreak(benchmark::State& state) {
  run_case(state, "73521", 1, CYC_BREAK, state.range(0) != 0);
}
void BM_FirTwoStreams(benchmark::State& state) {
  run_case(state, "73521", 1, TWO_STREAMS, state.range(0) != 0);
}
void BM_FirTimerRunning(benchmark::State& state) {
  run_case(state, "73521", 1, TIMER_RUNNING, state.range(0) != 0);
}
void BM_FirTimerAndSsis(benchmark::State& state) {
  run_case(state, "73521", 1, TIMER_AND_SSIS, state.range(0) != 0);
}
void BM_FirSsiStreams(benchmark::State& state) {
  run_case(state, "73521", 1, SSI_STREAMS, state.range(0) != 0);
}
void BM_FirAllPeripherals(benchmark::State& state) {
  run_case(state, "73583", 1, ALL_PERIPHERALS, state.range(0) != 0);
}
void BM_FirProfiled(benchmark::State& state) {
  run_case(state, "73521", 1, PROFILED, state.range(0) != 0);
}
void BM_FirStepInstructions(benchmark::State& state) {
  run_case(state, "73521", 1, STEP_INSTRUCTIONS, state.range(0) != 0);
}
void BM_FirStepCycles(benchmark::State& state) {
  run_case(state, "73521", 1, STEP_CYCLES, state.range(0) != 0);
}
void BM_FirWatch(benchmark::State& state) {
  run_case(state, "73521", 1, WATCH, state.range(0) != 0);
}
void BM_FirWatchStepCycles(benchmark::State& state) {
  run_case(state, "73521", 1, WATCH_STEP_CYCLES, state.range(0) != 0);
}
void BM_FirAllPeripheralsBreaks(benchmark::State& state) {
  run_case(state, "73583", 1, ALL_PERIPHERALS_BREAKS, state.range(0) != 0);
}
// A trace by instructions whose lines go to a file through the console
// front-end (output not a terminal), as `sim73500 demo/fir.cmd >file`.
void BM_FirTraceToFile(benchmark::State& state) {
  static std::FILE* file = [] {
    std::FILE* f = std::fopen((stream_dir() + "trace.txt").c_str(), "w");
    static char buffer[1 << 16];
    if (f != nullptr) std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    return f;
  }();
  if (file == nullptr) {
    state.SkipWithError("no trace file");
    return;
  }
  install_console_frontend();
  console_streams& io = console_io();
  io.out = file;
  io.out_tty = false;
  io.batched = true;
  shown_device = 0;
  run_case(state, "73521", 1, TRACE_TO_FILE, state.range(0) != 0);
  std::fflush(file);
  state.counters["trace_bytes"] = static_cast<double>(std::ftell(file));
  std::rewind(file);
}
// Argument 1: the threads (0: the host's count).
void BM_Fir32Devices(benchmark::State& state) {
  run_case(state, "73521", DEVICE_MAX, NO_BREAKS, state.range(0) != 0, static_cast<int>(state.range(1)));
}
// Every device's timer counting with its overflow request raised every
// 200 cycles. Argument 1: the threads.
void BM_Fir32DevicesTimer(benchmark::State& state) {
  run_case(state, "73521", DEVICE_MAX, TIMER_RUNNING, state.range(0) != 0, static_cast<int>(state.range(1)));
}
// Device 0 with eight address breakpoints and a "cyc>=" stop, the other
// 31 without. Argument 1: the threads (0: the host's count).
void BM_Fir32DevicesOneWithBreaks(benchmark::State& state) {
  run_case(state, "73521", DEVICE_MAX, MIXED_BREAKS, state.range(0) != 0, static_cast<int>(state.range(1)), true);
}
// Argument: the device type.
void BM_FirDeviceType(benchmark::State& state) {
  state.SetLabel(type_names[state.range(0)]);
  run_case(state, type_names[state.range(0)], 1, NO_BREAKS, false);
}

// Five repetitions reported as min, median and max (and mean); in quick
// mode one short run.
bool quick = false;
void repeated(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond);
  if (quick) {
    b->MinTime(0.05);
    return;
  }
  b->Repetitions(5)
      ->ComputeStatistics("min",
                          [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->ComputeStatistics("max",
                          [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
      ->DisplayAggregatesOnly(true);
}
void engines(benchmark::internal::Benchmark* b) {
  b->ArgName("cycle_engine")->Arg(0)->Arg(1);
  repeated(b);
}
// The 32 devices on 1, 2, 4 and 8 threads and on the host's count (0).
void thread_counts(benchmark::internal::Benchmark* b) {
  b->ArgNames({"cycle_engine", "threads"});
  for (int threads : {1, 2, 4, 8, 0}) b->Args({0, threads});
  repeated(b);
  b->UseRealTime();
}

void register_cases() {
  using benchmark::RegisterBenchmark;
  RegisterBenchmark("BM_FirOneDevice", BM_FirOneDevice)->Apply(engines);
  RegisterBenchmark("BM_FirStepInstructions", BM_FirStepInstructions)->Apply(engines);
  RegisterBenchmark("BM_FirStepCycles", BM_FirStepCycles)->Apply(engines);
  RegisterBenchmark("BM_FirEightAddressBreaks", BM_FirEightAddressBreaks)->Apply(engines);
  RegisterBenchmark("BM_FirMixedBreaks", BM_FirMixedBreaks)->Apply(engines);
  RegisterBenchmark("BM_FirCycBreak", BM_FirCycBreak)->Apply(engines);
  RegisterBenchmark("BM_FirTwoStreams", BM_FirTwoStreams)->Apply(engines);
  RegisterBenchmark("BM_FirTimerRunning", BM_FirTimerRunning)->Apply(engines);
  RegisterBenchmark("BM_FirTimerAndSsis", BM_FirTimerAndSsis)->Apply(engines);
  RegisterBenchmark("BM_FirSsiStreams", BM_FirSsiStreams)->Apply(engines);
  RegisterBenchmark("BM_FirAllPeripherals", BM_FirAllPeripherals)->Apply(engines);
  RegisterBenchmark("BM_FirProfiled", BM_FirProfiled)->Apply(engines);
  RegisterBenchmark("BM_FirWatch", BM_FirWatch)->Apply(engines);
  RegisterBenchmark("BM_FirWatchStepCycles", BM_FirWatchStepCycles)->Apply(engines);
  RegisterBenchmark("BM_FirAllPeripheralsBreaks", BM_FirAllPeripheralsBreaks)->Apply(engines);
  RegisterBenchmark("BM_Fir32Devices", BM_Fir32Devices)->Apply(thread_counts);
  // The cycle engine on one thread: the reference the fast figures beat.
  RegisterBenchmark("BM_Fir32Devices", BM_Fir32Devices)
      ->ArgNames({"cycle_engine", "threads"})
      ->Args({1, 1})
      ->Apply(repeated)
      ->UseRealTime();
  RegisterBenchmark("BM_Fir32DevicesTimer", BM_Fir32DevicesTimer)->Apply(thread_counts);
  RegisterBenchmark("BM_Fir32DevicesOneWithBreaks", BM_Fir32DevicesOneWithBreaks)
      ->ArgNames({"cycle_engine", "threads"})
      ->Args({0, 1})
      ->Args({0, 4})
      ->Apply(repeated)
      ->UseRealTime();
  RegisterBenchmark("BM_FirDeviceType", BM_FirDeviceType)->DenseRange(0, 4)->Apply(repeated);
  // Last: the console front-end it installs stays.
  RegisterBenchmark("BM_FirTraceToFile", BM_FirTraceToFile)->Apply(engines);
}

// The console's report, then one line per case: its device cycles per
// second (the median when repeated) and that as a share of the core-only
// case (one device, fast engine) of the same run.
// "BM_Fir32Devices/cycle_engine:0/threads:4/repeats:5/real_time" as
// "32Devices/fast/threads:4".
std::string short_name(std::string name) {
  auto drop = [&name](const std::string& part, const std::string& by) {
    for (std::size_t at = name.find(part); at != std::string::npos; at = name.find(part, at + by.size()))
      name.replace(at, part.size(), by);
  };
  drop("BM_Fir", "");
  drop("cycle_engine:0", "fast");
  drop("cycle_engine:1", "cycle");
  drop("/real_time", "");
  for (const char* setting : {"/repeats:", "/min_time:"})
    if (const std::size_t at = name.find(setting); at != std::string::npos) {
      const std::size_t end = name.find('/', at + 1);
      name.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
  return name;
}

class summary_reporter : public benchmark::ConsoleReporter {
 public:
  summary_reporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = short_name(run.run_name.str());
      auto row = std::find_if(rows_.begin(), rows_.end(), [&](const row_figures& r) { return r.name == name; });
      if (row == rows_.end()) row = rows_.insert(rows_.end(), row_figures{name, 0, 0, {}});
      if (run.error_occurred) {
        row->error = run.error_message;
        continue;
      }
      const auto rate = run.counters.find("device_cycles_per_s");
      const auto per_device = run.counters.find("per_device_cycles_per_s");
      if (rate != run.counters.end()) row->rate = rate->second.value;
      if (per_device != run.counters.end()) row->per_device = per_device->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double core_only = 0;
    for (const row_figures& row : rows_)
      if (row.name == "OneDevice/fast") core_only = row.rate;
    std::ostream& out = GetOutputStream();
    out << "\nDevice cycles per second of all the case's devices and per device; the share compares all\n"
           "the devices' rate with one device's core-only go (OneDevice/fast): 32 devices on n\n"
           "threads at n times one core's speed would show n x 100 %.\n"
        << std::left << std::setw(40) << "case" << std::right << std::setw(16) << "device cycles/s" << std::setw(14)
        << "per device" << std::setw(14) << "/ core-only" << "\n";
    for (const row_figures& row : rows_) {
      out << std::left << std::setw(40) << row.name << std::right;
      if (!row.error.empty()) {
        out << "  not measured: " << row.error << "\n";
        continue;
      }
      out << std::fixed << std::setprecision(2) << std::setw(14) << row.rate / 1e6 << " M" << std::setw(12)
          << row.per_device / 1e6 << " M";
      if (core_only > 0) out << std::setw(13) << std::setprecision(1) << 100 * row.rate / core_only << "%";
      else out << std::setw(14) << "-";
      out << "\n";
    }
  }

 private:
  struct row_figures {
    std::string name;
    double rate = 0, per_device = 0;
    std::string error;
  };
  std::vector<row_figures> rows_;
};

}  // namespace

// --quick: every case once, briefly (a check that each runs and a rough
// table), instead of five repetitions of half a second.
int main(int argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--quick") quick = true;
    else argv[kept++] = argv[i];
  }
  argc = kept;
  register_cases();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  summary_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
