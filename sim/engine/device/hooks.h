// Calls from the engine up to the libraries above it. The engine declares
// what it needs; the command language installs its functions at start-up
// (install_simulator_hooks in sim/cmd/hooks.h). Until then each does
// nothing: no breakpoint hits, nothing to redraw.
#pragma once

#include <cstdint>

struct dis_ea_info;
struct stream_value;

// The run loop's calls into the command language.
struct run_hooks {
  // Tests the current device's breakpoint list after a cycle (end: at an
  // instruction end), reporting hits; sets *stop and *show. Returns 0 when
  // a command action took the device away. Called only with a list.
  int (*test_breakpoints)(int end, int* stop, int* show);
  // The current device's list changed: works out what the tests need and
  // returns the BREAKS_* flags. Called only with a list, when the run plan
  // is worked out again.
  int (*plan_breakpoints)();
  // With BREAKS_CYCLE_BOUNDED: the first cycle count >= from at which a
  // test of a condition on the count may hit, inside an instruction or at
  // an end; 1 << 32 when none.
  uint64_t (*break_horizon)(uint64_t from);
  // While a breakpoint watches reads (BREAKS_WATCH_READS): the change
  // mark (ATTR_CHANGED or 0) of a core read of `value` at `address` in
  // memory-map row `row`.
  uint32_t (*read_change_mark)(int row, uint32_t address, uint32_t value);
  // At an instruction end: the per-instruction marks of the list start over.
  void (*end_breakpoint_marks)();
  // The progress line of a free run.
  void (*show_progress_line)();
  // A shown stop: the register marks, the views, the call frames.
  void (*refresh_register_marks)(int show);
  void (*view_show_position)(int lines);
  void (*frames_free)();
  // Run modes 5 and above, at each instruction end: sets *show and *stop.
  void (*source_step_check)(int* show, int* stop);
};
extern run_hooks run_hook;

enum : int {
  BREAKS_WITHIN_INSTRUCTION = 0x1,  // an enabled condition names "cyc" or "pc"
  BREAKS_OBSERVE_MARKS = 0x2,       // a register breakpoint tests the marks
  BREAKS_WATCH_READS = 0x4,         // a dr or drw breakpoint watches reads
  // Every condition that names "cyc" or "pc" compares cyc with constants
  // only (break_horizon bounds where it can hit).
  BREAKS_CYCLE_BOUNDED = 0x8,
  // Some breakpoint needs a test at every instruction end: neither a plain
  // program-address one (device_state::pc_break_bits) nor such a condition.
  BREAKS_AT_EVERY_END = 0x10,
  // Every enabled breakpoint halts or counts (no note, show or command):
  // a hit prints only when it stops the device, and touches no other.
  BREAKS_OWN_DEVICE = 0x20,
  // A breakpoint may see a peripheral's steps as they are taken (register
  // marks, logged accesses of its registers, a command): no peripheral
  // may leave its steps to the next catch-up.
  BREAKS_SEE_PERIPHERALS = 0x40,
  // No breakpoint can do anything in this run: a step or trace without the
  // halt option, every enabled breakpoint one that only halts and keeps no
  // marks. The run tests none of them.
  BREAKS_INERT = 0x80,
};

// The assembler and disassembler that every family record names.
using assemble_fn = int (*)(const char* text, uint32_t address);
using disassemble_fn = int (*)(const uint32_t* words, char* text, uint32_t number_a,
                               uint32_t number_b, dis_ea_info* ea_info);
struct profile_family_ops;
void install_family_tools(assemble_fn assemble, disassemble_fn disassemble,
                          const profile_family_ops* profile_ops);

// The input and output streams (sim/cmd/streams.h) behind the stream
// services of periph.h and runloop.h. The engine calls them only while the
// device has streams of that direction.
struct stream_hooks {
  void (*service_input)();
  void (*service_output)();
  int (*read_untimed)(int periph, stream_value* out);
  int (*read_timed)(int periph, stream_value* out);
  int (*read_port)(int port, uint32_t* out);
  int (*read_register)(int periph, int reg, uint32_t* out);
  int (*read_memory)(int space, uint32_t address, uint32_t* out);
  void (*write_memory)(int space, uint32_t address, uint32_t flags);
  void (*write_register)(int periph, int reg);
  void (*write_peripheral)(int periph, const stream_value& value, int gap);
  void (*write_port)(int port, int32_t value, int gap);
  int (*write_output_note)(const char* text);
  // The run plan's view of the current device's streams: STREAMS_* flags.
  int (*plan)();
  // Device cycles from the current one to the first whose input service
  // takes a value (0: this one), NO_EVENT when none; and n services of
  // cycles before it, which take nothing. Streams of kinds the plan does
  // not mark STREAMS_PER_CYCLE change only in these services or when the
  // program or a peripheral reads them.
  uint32_t (*input_due)();
  void (*skip_input)(uint32_t n);
  // skip_input(skip), the services of the current cycle, then input_due
  // as seen from the next cycle (the count one more): a delivery in one
  // walk of the lists.
  uint32_t (*deliver_input)(uint32_t skip);
  // PERIPH_STREAMS_* of the current device's streams as a peripheral's
  // steps meet them.
  int (*periph_view)(int periph);
};

enum : int {
  STREAMS_OPEN = 0x1,       // the device has a stream
  STREAMS_PER_CYCLE = 0x2,  // one needs every cycle's services: the cycle engine
  STREAMS_CORE = 0x4,       // the core's own reads or writes feed one (registers, ports, p memory)
  STREAMS_X_READS = 0x8,    // x memory words the core reads feed an input (their rows' tags)
  // Every input service that takes a value only sets pins of ports B and
  // C, which nothing samples inside an instruction the straight-line
  // executor runs (no event falls there, it reads no peripheral): such
  // deliveries are made after the instruction, each at its own count.
  STREAMS_QUIET_PINS = 0x10,
  STREAMS_X_WRITES = 0x20,  // the core's stores to x memory words write an output (their rows' tags)
};
// What a peripheral's steps have to do with the device's streams: its own
// data streams, input and output (which it reads and writes in its own
// steps), and streams that may see or set its pins or registers from cycle
// to cycle (pins and ports, its registers, another peripheral's pins,
// history, register inputs). Memory streams and the other serial ports'
// data streams are none of these.
enum : int {
  PERIPH_STREAMS_IN = 0x1,
  PERIPH_STREAMS_OUT = 0x2,
  PERIPH_STREAMS_OWN = PERIPH_STREAMS_IN | PERIPH_STREAMS_OUT,
  PERIPH_STREAMS_WATCH = 0x4,
};
// The pin groups (and register blocks) of ports B and C.
inline constexpr int QUIET_PIN_GROUPS[] = {2, 3};
void install_stream_hooks(const stream_hooks& hooks);
