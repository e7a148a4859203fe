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

// Up to `max` device cycles of one device, stopping early when its run
// stops; returns the cycles run. A device whose run plan allows it runs
// whole instructions at a time (the fast engine), else cycle by cycle.
int run_device_cycles(int device, int max);

// The same, but the device may end at its first instruction end at or
// after `soft` cycles (soft <= max): the fast engine then cuts no
// instruction where max lies SOFT_END_SLACK cycles or more beyond soft.
// The cycle engine runs `soft` cycles. Any count leaves the device as a
// run of that many cycles does.
constexpr int SOFT_END_SLACK = 8;
int run_device_cycles_soft(int device, int soft, int max);

// Up to `rounds` rounds of every device that takes part (not switched
// off); returns the rounds run. A round is one cycle of each device in
// slot order; the run ends after the round in which a device stopped.
// Devices without breakpoints in a free run go a slice of rounds each at
// a time (sim/engine/SPEED.md, "Many devices").
int run_device_slice(int rounds);

// Devices on worker threads: the threads a slice of many devices may use,
// from DSP_RUN_THREADS when it is set (1: everything on the calling thread)
// or else the host's count (the cores this process may run on); whether
// the count is the host's (*from_host); and whether a slice is running
// devices on worker threads now.
int run_thread_count(bool* from_host = nullptr);
bool run_threads_active();

// Works out a device's run plan (device_state::run_fast and
// mid_instr_breaks) from its run mode, breakpoints, streams and the
// profiler. Whatever changes one of them sets run_plan_stale.
struct device_state;
void update_run_plan(device_state& st);

// Called at every instruction end of a run, in either engine, after the
// stop check (the engine comparison of the tests); null when unused.
extern void (*instruction_end_observer)(int device);

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
// What the run plan needs of the streams (stream_hooks::plan), and the
// input services a fast run leaves out: the cycles to the next one that
// takes a value, and n services that take nothing (stream_hooks).
int plan_streams();
uint32_t input_service_due();
void skip_input_services(uint32_t n);
// skip_input_services(skip), service_input_streams, then
// input_service_due as seen from the next cycle (stream_hooks::deliver_input).
uint32_t deliver_input_services(uint32_t skip);

// Frees the call-frame lists of every device that takes part in runs; the
// current device stays current. Every run-arming command calls it.
void free_run_frames();
