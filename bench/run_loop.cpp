// The run loop's speed: device cycles per second of run_device_cycle with
// every peripheral clocked, one device and 32 devices side by side, each
// running the demo's FIR filter (demo/fir.cmd) over and over.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <utility>

#include "sim/asm/asm.h"
#include "sim/engine/device.h"
#include "sim/engine/memory.h"
#include "sim/engine/periph.h"
#include "sim/engine/regaccess.h"
#include "sim/engine/runloop.h"

namespace {

// The FIR filter of demo/fir.cmd, with a jump back to its start in place of
// the final debug, so that it runs for as long as the benchmark lasts.
struct program_line {
  uint32_t address;
  const char* text;
};
constexpr program_line fir_program[] = {
    {0x100, "move #$0,r1"},
    {0x102, "move #$80,r2"},
    {0x104, "do #8,$110"},
    {0x106, "move r1,r0"},
    {0x107, "move #$40,r3"},
    {0x109, "clr a x:(r0)+,y0"},
    {0x10a, "move x:(r3)+,x0"},
    {0x10b, "rep #3"},
    {0x10c, "mac y0,x0,a x:(r0)+,y0 x:(r3)+,x0"},
    {0x10d, "macr y0,x0,a"},
    {0x10e, "move a,x:(r2)+"},
    {0x10f, "lea (r1)+,r1"},
    {0x110, "jmp >$100"},
};
// Coefficients 0.5, 0.25, 0.125, 0.0625 and a pulse of 0.5 at s[3].
constexpr std::pair<uint32_t, uint32_t> fir_data[] = {
    {0x40, 0x4000}, {0x41, 0x2000}, {0x42, 0x1000}, {0x43, 0x0800}, {0x03, 0x4000}};

bool place_program(int device) {
  make_device_current(device);
  for (const program_line& line : fir_program) {
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

// Devices 0..count-1 of type "73521", each armed for a free run of the
// filter.
bool make_devices(int count) {
  index_memory_regions();
  for (int d = 0; d < count; ++d) {
    if (create_device(d, "73521") == 0 || !place_program(d)) return false;
    set_register(d, "pc", 0x100);
    make_device_current(d);
    device_state& st = *device_states[d];
    st.run_mode = RUN_GO;
    st.run_count = 1;
    st.break_number = 0;
    reset_run_flags();
    st.running = 1;
  }
  return true;
}

void run_devices(benchmark::State& state, int count) {
  if (!make_devices(count)) {
    state.SkipWithError("device creation failed");
    free_all_devices();
    return;
  }
  for (auto _ : state) {
    for (int round = 0; round < RUN_SLICE_ROUNDS; ++round)
      for (int d = 0; d < count; ++d) run_device_cycle(d);
  }
  const double cycles = static_cast<double>(state.iterations()) * RUN_SLICE_ROUNDS * count;
  state.counters["device_cycles_per_s"] = benchmark::Counter(cycles, benchmark::Counter::kIsRate);
  state.counters["time_per_cycle"] = benchmark::Counter(
      cycles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  bool all_running = true;
  bool all_filtered = true;
  for (int d = 0; d < count; ++d) {
    all_running = all_running && device_states[d]->running != 0;
    // The pulse response: the fourth output is c0 * 0.5 = 0.25.
    uint32_t y3 = 0;
    read_device_memory(d, SPACE_X, 0x83, &y3);
    all_filtered = all_filtered && y3 == 0x2000;
  }
  if (!all_running) state.SkipWithError("a device stopped during the run");
  if (!all_filtered) state.SkipWithError("the filter computed a wrong output");
  free_all_devices();
}

void BM_RunLoopOneDevice(benchmark::State& state) { run_devices(state, 1); }
void BM_RunLoop32Devices(benchmark::State& state) { run_devices(state, DEVICE_MAX); }

BENCHMARK(BM_RunLoopOneDevice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunLoop32Devices)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
