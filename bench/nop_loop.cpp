// The straight-line executor on loops of one instruction form: one device
// in a free go through the console's slices (run_device_slice), on the
// fast engine and on the cycle engine:
//   - Nops: 200 nops and a jmp back, the padding of pipeline delays;
//   - Macs: 200 macs with two parallel reads and a jmp back, the filter's
//     commonest form ((r0)+n0 and (r3)+n3 with both offsets 0 keep the
//     reads in internal memory).
// Each case first runs a prefix on both engines and fails on any
// difference of state. Counters: device_cycles_per_s, instructions_per_s,
// straight_share (the share of instructions run straight through from
// their records).
// `--cycles=N [--macs]` runs the loop N device cycles on the fast engine
// once and exits, without the benchmark: the host-instruction figure is
// the difference of two such runs under callgrind, (Ir(2N) - Ir(N)) / N.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/asm/asm.h"
#include "sim/cmd/hooks.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/fast/state_digest.h"
#include "sim/engine/periph/periph.h"

namespace {

constexpr uint32_t START = 0x100;
constexpr int BODY = 200;
constexpr const char* NOP = "nop";
constexpr const char* MAC = "mac y0,x0,a x:(r0)+n0,y0 x:(r3)+n3,x0";

bool put_line(int device, const char* text, uint32_t address) {
  const int count = assemble_line(text, address);
  for (int i = 0; i < count; ++i) {
    const uint32_t word = asm_words[static_cast<std::size_t>(i)];
    write_device_memory(device, SPACE_P, address + static_cast<uint32_t>(i), &word);
  }
  return count > 0;
}

void set_register(int device, const char* name, uint32_t value) {
  int row = 0, reg = 0;
  const uint32_t words[3] = {value, 0, 0};
  if (lookup_register(device, name, &row, &reg) != 0) write_register(device, row, reg, words);
}

// Device d with the loop of `body` at START, armed for a free run.
bool make_device(int d, const char* body, bool cycle_engine) {
  if (create_device(d, "73521") == 0) return false;
  make_device_current(d);
  for (int k = 0; k < BODY; ++k)
    if (!put_line(d, body, START + static_cast<uint32_t>(k))) return false;
  if (!put_line(d, "jmp >$100", START + BODY)) return false;
  for (uint32_t a = 0; a < 0x40; ++a) {
    const uint32_t word = (a * 0x0321 + 0x0111) & 0xFFFF;
    write_device_memory(d, SPACE_X, a, &word);
  }
  set_register(d, "pc", START);
  set_register(d, "r0", 0x10);
  set_register(d, "r3", 0x20);
  make_device_current(d);
  device_state& st = *device_states[d];
  st.cycle_engine_only = cycle_engine ? 1 : 0;
  st.run_mode = RUN_GO;
  st.run_count = 1;
  st.break_number = 0;
  reset_run_flags();
  st.running = 1;
  return true;
}

// The same prefix on both engines; the first difference, or "".
std::string compare_engines(const char* body) {
  if (!make_device(0, body, false) || !make_device(1, body, true)) return "device creation failed";
  constexpr int PREFIX = 20000;
  run_device_cycles(0, PREFIX);
  run_device_cycles(1, PREFIX);
  for (int d : {0, 1}) {
    make_device_current(d);
    catch_up_peripherals();
  }
  std::string difference = device_state_difference(0, 1);
  free_all_devices();
  return difference;
}

void run_case(benchmark::State& state, const char* body) {
  const bool cycle_engine = state.range(0) != 0;
  const std::string difference = compare_engines(body);
  if (!difference.empty()) {
    state.SkipWithError(("the engines differ: " + difference).c_str());
    return;
  }
  if (!make_device(0, body, cycle_engine)) {
    state.SkipWithError("device creation failed");
    free_all_devices();
    return;
  }
  uint64_t rounds = 0;
  for (auto _ : state) rounds += static_cast<uint64_t>(run_device_slice(RUN_SLICE_ROUNDS));
  const device_state& st = *device_states[0];
  const double instructions = device_insts[0]->instructions;
  using benchmark::Counter;
  state.counters["device_cycles_per_s"] = Counter(static_cast<double>(rounds), Counter::kIsRate);
  state.counters["instructions_per_s"] = Counter(instructions, Counter::kIsRate);
  state.counters["straight_share"] = instructions > 0 ? st.straight_instructions / instructions : 0;
  if (st.running == 0) state.SkipWithError("the device stopped during the run");
  // The fast engine runs the loop straight through but for the first
  // instruction after each slice's cut.
  if (!cycle_engine && st.straight_instructions * 100 < static_cast<uint64_t>(instructions) * 95)
    state.SkipWithError("the loop left the straight path");
  free_all_devices();
}

void BM_Nops(benchmark::State& state) { run_case(state, NOP); }
void BM_Macs(benchmark::State& state) { run_case(state, MAC); }

}  // namespace

// Argument: 0 the fast engine, 1 the cycle engine.
BENCHMARK(BM_Nops)->ArgName("cycle_engine")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Macs)->ArgName("cycle_engine")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  install_simulator_hooks();
  index_memory_regions();
  int kept = 1;
  long cycles = 0;
  const char* body = NOP;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--cycles=", 0) == 0) cycles = std::strtol(arg.c_str() + 9, nullptr, 10);
    else if (arg == "--macs") body = MAC;
    else argv[kept++] = argv[i];
  }
  argc = kept;
  if (cycles > 0) {
    if (!make_device(0, body, false)) return 1;
    for (long done = 0; done < cycles; done += RUN_SLICE_ROUNDS) run_device_slice(RUN_SLICE_ROUNDS);
    return device_states[0]->running != 0 ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
