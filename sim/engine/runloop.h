// The run loop: one device cycle, the check after it that decides whether
// the run stops, and the report of a breakpoint hit. Commands only arm a
// run (device_state's run block); the front-end then calls
// run_device_cycle for every device that takes part, slice by slice.
#pragma once

#include <cstdint>

#include "sim/engine/profiler_iface.h"

// Run modes (device_state::run_mode).
enum run_mode_code : int {
  RUN_GO = 0,
  RUN_TRACE_INSTR = 1,
  RUN_TRACE_CYCLE = 2,
  RUN_STEP_INSTR = 3,
  RUN_STEP_CYCLE = 4,
  RUN_SOURCE_FIRST = 5,  // 5 and above: source-level and target-call modes
};

// Rounds of one background slice: one device cycle of every device that
// takes part, up to this many (one in trace by instruction).
constexpr int RUN_SLICE_ROUNDS = 1000;

// One clock of device d: input streams, profiler sample, every
// peripheral's clock in row order (the core first), output streams,
// register-block history, the cycle count and the stop check. At the end
// of the instruction during which a stop was decided, `running` drops to 0.
void run_device_cycle(int device);

// On the current device: 1 when the run must stop.
int check_run_stop();

// A run-time error of the current device, printed and stopping the run at
// the end of the instruction (flag 64).
void set_pending_run_error(const char* text);

// Per-device profiler block: the sample words the run loop fills each
// cycle while a profiler is attached and profiling is on.
profiler_block& device_profiler_block(int device);

// Stream services of one cycle: the input streams before the peripherals
// are clocked, the output streams after.
void service_input_streams();
void service_output_streams();

// Frees the call-frame lists of every device that takes part in runs; the
// current device stays current. Every run-arming command calls it.
void free_run_frames();
