// The run loop's speed: device cycles per second of run_device_cycle with
// every peripheral clocked, one device and 32 devices side by side, each
// running a loop of an ALU operation, a data read and a data write.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "sim/engine/device.h"
#include "sim/engine/memory.h"
#include "sim/engine/periph.h"
#include "sim/engine/regaccess.h"
#include "sim/engine/runloop.h"

namespace {

// p:$0 inc a; move x:(r0)+,x0; move a0,x:(r1)+; jmp >$0
constexpr uint32_t loop_program[] = {0x4a22, 0x3c04, 0x38c5, 0x0134, 0x0000};

void set_register(int device, const char* name, uint32_t value) {
  int row = 0, reg = 0;
  const uint32_t words[3] = {value, 0, 0};
  if (lookup_register(device, name, &row, &reg) != 0) write_register(device, row, reg, words);
}

// Devices 0..count-1 of type "73521", each armed for a free run of the loop;
// the address registers walk 16-word rings in internal data memory.
bool make_devices(int count) {
  index_memory_regions();
  for (int d = 0; d < count; ++d) {
    if (create_device(d, "73521") == 0) return false;
    uint32_t address = 0;
    for (uint32_t word : loop_program) write_device_memory(d, SPACE_P, address++, &word);
    for (auto [name, value] : {std::pair{"m0", 0xFu}, {"m1", 0xFu}, {"r0", 0x20u},
                                {"r1", 0x10u}, {"pc", 0u}})
      set_register(d, name, value);
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
  for (int d = 0; d < count; ++d) all_running = all_running && device_states[d]->running != 0;
  if (!all_running) state.SkipWithError("a device stopped during the run");
  free_all_devices();
}

void BM_RunLoopOneDevice(benchmark::State& state) { run_devices(state, 1); }
void BM_RunLoop32Devices(benchmark::State& state) { run_devices(state, DEVICE_MAX); }

BENCHMARK(BM_RunLoopOneDevice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunLoop32Devices)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
