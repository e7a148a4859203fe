// The run loop: one device cycle, the check after it that decides whether
// the run stops, and the report of a breakpoint hit. Commands only arm a
// run (device_state's run block); the front-end then calls
// run_device_cycle for every device that takes part, slice by slice.
//
// - Commands only arm a run: `go` (`cmd_go.cpp`), `step` and `trace` (`cmd_step.cpp`) set the run
//   block of `device_state` (`run_count`, `break_number`, `run_mode`, `halt_on_break`), free the
//   frame lists, `reset_run_flags` and set `running`. `go` also clears `halt_on_break`.
//
// - The console's `console_run_slice` is the background run: up to `RUN_SLICE_ROUNDS` rounds (in a
//   trace by instructions, to the shown device's next instruction end: `run_device_slice_instruction`)
//   through `run_device_slice`, a round being one device cycle of every device
//   without flag 32 in slot order. A participating device that is not running ends the run for all
//   and becomes the shown device. With the shown device off (before the run or by a breakpoint's
//   command) a `go` runs the devices that are on until one stops; a counted run of the shown device,
//   or a `go` with no device on, ends at once. On a terminal the status row carries the progress
//   line, redrawn at most ten times a second; with commands from a script the session shows its
//   first form once, as the run starts (as it shows the wait's key help and the file question).
//
// - `run_device_cycle` (the cycle engine): input streams, profiler sample, the core's clock, the
//   peripherals whose event is due (above), output streams, register-block history, `cycles`,
//   `check_run_stop`; at the instruction end of a stop, `running` drops to 0. The stream services
//   cost a list-head test when a device has no streams. Register-block history copies only the pin
//   words (`save_previous_blocks`, `clock_device.h`): nothing writes the rest of a block after
//   initialisation. `check_run_stop` returns at once inside an instruction when no breakpoint can
//   fire there (`device_state::mid_instr_breaks`) in go, trace or step by instruction, with no
//   progress line due.
//
// - Change marks of memory accesses (what dw, drw and dr look for): a core write carries
//   `ATTR_CHANGED` when it changes the stored word. A core read carries it when the word it returns
//   differs from the word the previous read of that address returned; before the first read, from
//   the word the address held when the run plan was worked out (peripheral registers are not read
//   ahead: their first read sets the reference). Reads are compared only for addresses inside an
//   enabled dr or drw block, kept per breakpoint (`break_rec::seen`); with no such breakpoint
//   (`device_state::read_watch`, from the run plan) a read costs one test.
//
// - The run plan (`update_run_plan`, worked out again when `device_state::run_plan_stale` is set:
//   arming a run, every breakpoint list change, enable and disable, a breakpoint's command; opening
//   or closing a stream must set it): `mid_instr_breaks` (an enabled breakpoint whose condition
//   names "cyc" or "pc", asked of the command language through `run_hook.plan_breakpoints`) and
//   `run_fast`, the "may run fast" flag: go, trace or step by instruction, no such breakpoint unless
//   every one is a condition on the count alone (below), no stream that needs every cycle (below),
//   and not `cycle_engine_only`. A profiled device runs fast: what the profiler takes in is per
//   instruction, and plain instructions at addresses the profiler armed are counted per address
//   without its hook (`profile_counts`, SPEED.md "Profiled instructions counted without the hook").
//
// - The fast engine (`fast_engine`, which the plan chooses when `run_fast` is set) runs each instruction in one call
//   of the whole-instruction executor (`core_exec_instruction`, "Speed" below): its cycles back to
//   back through the same core and event code, with the stop check, register-block history, profiler
//   hook and `instruction_end_observer` at instruction ends only; inside an instruction it does just
//   what `check_run_stop` would (drop the pc-written mark, take a Ctrl-C, the progress line each
//   thousand cycles), so every instruction end, and every cycle where a slice ends, leaves exactly
//   the cycle engine's state. When the plan changes at an end (a breakpoint's command), the rest of
//   the slice goes cycle by cycle.
//
// - Many devices (`run_device_slice`): when every participating device may run fast in go, no device
//   has breakpoints and at most one has streams (prompts, reports and lines to a shared file keep
//   round order) (or only one device takes part), each device runs its share of the rounds in one
//   go; a device that stops sets the round limit for the devices after it in slot order, so they end
//   in the same round, in the middle of an instruction if need be. The devices before it have
//   already run their share: a stop no breakpoint announces (an illegal opcode, a run-time error,
//   Ctrl-C) can leave them up to a slice further on. Otherwise the rounds go one cycle of each
//   device at a time, so breakpoint reports and commands keep round order. Such a slice
//   of two or more devices of which none has streams runs on worker threads ("Many devices on many
//   cores" below), every device ending where one thread ends it.
//
// - `check_run_stop`: abort, illegal opcode, pending error (the text set by
//   `set_pending_run_error`), the breakpoint walk (`run_hook.test_breakpoints`, in
//   `sim/cmd/break_run.cpp`; only conditions naming "cyc" or "pc" are tested mid-instruction),
//   per-instruction marks, the count rules of run modes 0-4 (a table of small functions), and the
//   run display (`refresh_register_marks`, through `run_hook`) when showing. Modes 5 and above are
//   decided at instruction ends by `run_hook.source_step_check`. A step (`step h`) halted by a
//   breakpoint at an instruction end prints the report line only: the run display comes with the
//   count rules, an illegal opcode, an abort, an error or a stop decided in the middle of an
//   instruction. An abort (Ctrl-C, the GUI's Stop) is taken at the next instruction end; a core
//   that ends none for 1000 cycles (a clock-state code it never leaves, say) ends one there
//   (`end_of_clock`, `device_inst::abort_wait`), so a stop request always stops the run. The state
//   reader refuses a clock-state code the clock machine never writes (`core_state_code_known`).
//
// - Breakpoint plan (`run_hook.plan_breakpoints`, `break_run.cpp`, when the run plan is worked out):
//   expression conditions are compiled (`compile_expression`, `sim/expr/expr.h`: the steps the parse
//   applied, run again by `run_expression` over the current register values without scanning text;
//   memory references and symbols stay parsed at each test); the plain program-address breakpoints
//   go into a bitmap whatever else the list holds (`device_state::pc_break_bits`), and the other
//   enabled records into a short list in number order: an end whose pc is not in the bitmap walks
//   only that list (after an `x` action the rest of the whole list, as it then stands). When that
//   list holds only conditions on the count and memory-access breakpoints (and no record keeps
//   marks), the plan clears `breaks_every_end` and the fast engine takes an end whose pc has no bit,
//   inside the count stretch, whose instruction noted no access inside a watched block
//   (`device_state::access_watches`), as a quiet end (no stop check at all); in a step or trace
//   without `h` whose breakpoints only halt and keep no marks (`BREAKS_INERT`) none is tested; the
//   per-instruction marks are cleared only when
//   a register breakpoint or a "pc" condition keeps them, and the peripherals catch up before the
//   tests only for register breakpoints (the others read through `read_register`).
//
// - Breakpoints: `break_rec` records in ascending number order from `device_state::breakpoints`. The
//   records are owned by a per-slot pool in `breakpoints.cpp`; a list head dropped by a device reset
//   or release lets its records go at the next list operation. `report_break` prints one report line
//   per hit, however many reasons it has to.
//
// - `bench/run_loop`: Google Benchmark of `run_device_slice` on the demo's FIR filter (assembled
//   with `assemble_line`, looping forever): one device, eight address breakpoints, a "cyc"
//   breakpoint, 32 devices, each device type; each on both engines after comparing a prefix of both
//   (`device_state_digest`, `device_state_difference`, `sim/engine/fast/state_digest.h`); it checks the
//   filter's output. CTest runs it once as a smoke test. Release builds compile `sim_engine` with
//   link-time optimisation (where the compiler supports it): the cycle path is many small functions
//   across the engine's files.
#pragma once

#include <cstdint>

#include "sim/engine/device/profiler_iface.h"

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
// takes part, up to this many.
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

// The two ways of running a device, one record each: the cycle engine
// (every cycle through run_device_cycle) and the fast engine (whole
// instructions; the same state at every instruction end and slice end).
// The run plan chooses one (device_state::engine, with run_fast), and
// run_device_cycles_soft runs the device through it.
struct device_inst;
struct device_state;
struct run_engine {
  const char* name;
  // The current device, entered and with a fresh plan: at least `soft`
  // and at most `max` cycles, as run_device_cycles_soft says.
  int (*run_cycles)(int device, device_inst* inst, device_state* st, int soft, int max);
};
extern const run_engine cycle_engine;
extern const run_engine fast_engine;
// The engine a device's plan chooses (the plan worked out first when stale).
const run_engine& device_engine(int device);

// Up to `rounds` rounds of every device that takes part (not switched
// off); returns the rounds run. A round is one cycle of each device in
// slot order; the run ends after the round in which a device stopped.
// Devices without breakpoints in a free run go a slice of rounds each at
// a time (sim/engine/SPEED.md, "Many devices").
int run_device_slice(int rounds);

// A slice of a trace by instructions: up to `rounds` rounds, ending after
// the round in which `device` ends an instruction; returns the rounds
// run. When that device alone takes part it runs the instruction in one
// call of its engine, else the slice is one round of every device.
int run_device_slice_instruction(int device, int rounds);

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

// At an instruction end of the current device: 1 when the instruction
// that comes next is the first of an interrupt sequence, with *resume the
// address where the interrupted program goes on and *depth the stack
// pointer it had. Both engines leave the same words at an end.
int interrupt_entering(uint32_t* resume, uint32_t* depth);

// Frees the call-frame lists of every device that takes part in runs; the
// current device stays current. Every run-arming command calls it.
void free_run_frames();
