// The peripheral classes of the five device types and the broadcast of
// memory-mapped accesses to every peripheral of the current device.
//
// Every peripheral, the core included, implements the eight-slot `periph_class` (get, set, bus
// read, bus write, clock, reset, pending, acknowledge) over its own state words
// (`cur_inst->periph_state[row]`) and attribute words (`cur_state->periph_entries[row].attrs`).
// Memory-mapped accesses are broadcast to every row in row order (`write_peripheral_bus`,
// `read_peripheral_bus`); only the owner of the address answers.
//
// Only the core (row 0) is clocked every cycle. Every other peripheral is event-driven, through two
// more slots of `periph_class`:
//
// - **Catch up when observed.** A peripheral keeps its state as of its last update and
//   `catch_up(row)` brings it to the current cycle from the cycles elapsed since then
//   (by the device's own time, `device_time`, which the writes of `cyc` and a pipeline restart's
//   zeroing of the count do not move; it has applied every cycle before its last update). Everything
//   that observes a peripheral calls it first: the bus broadcast (a core access), `read_register`
//   and `write_register`, `reset_peripherals`, `reset_run_flags`, the run display's marks
//   (`refresh_register_marks`), the breakpoint tests (`check_run_stop`), the end of a run, a STOP
//   before it latches (the cycles before the latch are the peripherals' to run; a catch-up while
//   latched runs nothing), and a state save when it comes (`catch_up_peripherals` catches up every
//   row). The event horizon is kept as a cycle count, so setting the count (`set_cycle_count`)
//   asks for it to be worked out again.
//
// - **Schedule only real events.** `next_event(row)` gives the cycles from the cycle about to be
//   clocked to the next one whose `clock` must run (0: this one), `NO_EVENT` when none; a null slot
//   means the row is never clocked. Real events are an interrupt request, a pin change something
//   watches, a stream word. The device's **event horizon** (`device_inst::horizon`,
//   `compute_event_horizon`) is the nearest; at that cycle the run loop calls the `clock` of every
//   row whose `next_event` is 0, in row order after the core, and works the horizon out again at the
//   next cycle. Whatever changes what a peripheral schedules calls `peripherals_changed()` (the bus
//   broadcast, `write_register` and `reset_peripherals` do; opening or closing a stream on a
//   peripheral must, and so must a bus read with a side effect, such as a status flag cleared by
//   reading a data register, since the read broadcast does not).
//
// - **Pins** are written through `set_pin_word` (`periph.h`), which marks the device when a word
//   really changes, so the core's pin samples see it (below, "Pin samples and clocking several
//   cycles at once").
//
// - **Interrupt requests** are raised through `raise_interrupt_request()`, which sets
//   `device_inst::irq_request`; the core's arbitration at an instruction end runs only while it is
//   set and clears it when it finds no source pending. The bus broadcast and `write_register` raise
//   it too, so a store that makes a request pending is never missed.
//
// How the peripherals keep to it:
//
// - The count peripheral's `catch_up` applies the elapsed cycles at once to `cyc`, `ictr` and
//   `cnt1`-`cnt4` (the marks of many writes are the marks of one; the cycle phase flips by the
//   parity of the count), and its `next_event` is `NO_EVENT` unless an output stream watches a
//   counter, when it is 0 (every cycle).
//
// - A `catch_up` called from inside the peripheral's own clock (a register watched by an output
//   stream reads it back) finds nothing to do: the last update never moves backwards.
//
// - A serial port whose steps nothing sees until something looks at it (`steps_unseen`: no stream
//   and no breakpoint that may see its steps (`BREAKS_SEE_PERIPHERALS`: register breakpoints,
//   memory-access ones on peripheral registers, command actions; a list not yet planned), no request it can raise — its requests off or without priority,
//   none set — its own clock (SCKD) with no direction resynchronising, enabled, the reset pin not
//   held) schedules no event for its toggles: `catch_up` takes them as steps, in order, running the
//   dividers in one go between them (each toggle falls in a cycle whose phase is 1, which the step
//   is given). Its pins are its own, and whatever reads them (a port C access, the debugger, a
//   stream) catches it up first; what decides the case changes only through its stores and snoops,
//   which catch it up before they change anything. Its writes of ssr and rx are noted in the access
//   logs when they are taken, not in the cycle of their step: only breakpoints read those logs, and
//   a breakpoint that reads them keeps the toggles as events. `tests/sim/engine/serial_events_test.cpp` compares
//   this with a port stepped in every cycle (requests reaching the core or without priority, looked
//   at every cycle or every 97 cycles).
//
// - Such a port is not caught up by the scheduler either: while its steps since its last update were
//   unseen (`device_state::serial_repeat::unseen`, worked out at each update) and it still is,
//   `next_event` answers `NO_EVENT` without catching up (so other rows' events do not take its
//   toggles one catch-up at a time). A catch-up takes the elapsed toggles as steps when they were
//   unseen as of the last update or are unseen at the catch-up.
#pragma once

#include <cstdint>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"

// Core variants: 36 registers ("73521"), 37 ("73547", "73547rom"),
// 47 ("73583ram", "73583").
extern const periph_class core_class_36;
extern const periph_class core_class_37;
extern const periph_class core_class_47;
extern const periph_class codec_class_547;  // 4 registers
extern const periph_class codec_class_583;  // 5 registers
extern const periph_class host_class;
extern const periph_class ssi_class_521;
extern const periph_class ssi_class_547;
extern const periph_class rssi_class;
extern const periph_class timer_class;
extern const periph_class portb_class;
extern const periph_class portc_class;
extern const periph_class count_class;

// Core register numbers (the same in every variant; a variant has the
// registers numbered below its register count).
enum core_reg : int {
  CORE_A = 0, CORE_A0, CORE_A1, CORE_A2,
  CORE_B, CORE_B0, CORE_B1, CORE_B2,
  CORE_BCR, CORE_IPR, CORE_LA, CORE_LC,
  CORE_M0, CORE_M1, CORE_M2, CORE_M3,
  CORE_N0, CORE_N1, CORE_N2, CORE_N3,
  CORE_OMR, CORE_PC,
  CORE_R0, CORE_R1, CORE_R2, CORE_R3,
  CORE_SP, CORE_SR, CORE_SSH, CORE_SSL,
  CORE_X, CORE_X0, CORE_X1,
  CORE_Y, CORE_Y0, CORE_Y1,
  CORE_PLCR = 36,  // pcr1 on the 47-register core
  CORE_IPR2, CORE_PCR0, CORE_BCR2,
  CORE_PAGUR0, CORE_PAGUR1, CORE_PAGUR2,
  CORE_PAGUC0, CORE_PAGUC1, CORE_PAGUC2,
  CORE_APASAM,
  CORE_REG_WORDS = 47,
};
constexpr int CORE_STATE_WORDS = 280;

// Core device words (device_inst::device_words).
enum core_device_word : int {
  DW_OPERATING_MODE = 0,  // the mode the reset command asked for
  DW_CYCLE_PHASE = 1,     // cleared by every core reset; bit 0 alternates each cycle
  DW_RESET_HELD = 2,
  DW_STOP_LATCH = 3,
  DW_CORE_STATE_CODE = 4,
};

// Count peripheral register numbers. Its set operation takes two words,
// the low 16 bits first, then the high 16 bits.
enum count_reg : int {
  COUNT_CNT1 = 0, COUNT_CNT2, COUNT_CNT3, COUNT_CNT4,
  COUNT_CYC, COUNT_EOF, COUNT_ICTR, COUNT_JUMP, COUNT_STOP,
};

// Broadcast of memory-mapped accesses: every peripheral of the current
// type sees every access, in row order; only the owner answers.
void write_peripheral_bus(uint32_t address, uint32_t value, int flag);
void read_peripheral_bus(uint32_t address, uint32_t* out, int flag);

// Entry `level` (0-15) of the current device's system stack, read without
// moving sp: looking at the stack must not raise the stack-error trap that
// a store of sp can. Level 0 reads as zeros. 0 for a level out of range.
int core_stack_entry(int level, uint32_t* high, uint32_t* low);

// Clears the current device's run flags and run marks before a run.
void reset_run_flags();

// Event-driven peripherals of the current device. Everything that
// observes a peripheral (a core access to its registers, a debugger read or
// write, the display's marks, a state save, a breakpoint test) first calls
// catch_up_peripherals; whatever changes what a peripheral schedules (a
// register store, a stream opened or closed on it) calls
// peripherals_changed. A peripheral that raises an interrupt request calls
// raise_interrupt_request.
void catch_up_peripherals();
void peripherals_changed();
inline void raise_interrupt_request() { cur_inst->irq_request = 1; }
// The current device's own time (device_inst.h).
inline uint32_t device_time() { return device_time(*cur_inst); }
// Works out the current device's event horizon from every peripheral's
// next event.
void compute_event_horizon();

// The cycle phase (device word 1, bit 0) of the cycle about to run,
// brought up to date by the count peripheral; peripherals that work in
// every second cycle work in those whose phase is 1.
uint32_t cycle_phase();
// The first cycle at or after k whose phase is 1, given the phase of the
// cycle `now`.
inline uint32_t first_phase_one(uint32_t k, uint32_t now, uint32_t phase_now) {
  return (phase_now ^ ((now - k) & 1)) ? k : k + 1;
}

// Marks a register of a peripheral written and changed after a store, and
// feeds output streams watching it.
void mark_register_written(int periph, int reg);

// ---------------------------------------------------------------------------
// Helpers shared by the on-chip peripherals. Their registers live in the
// state words of the same number.

// The marking without the output streams: the stored word masked with the
// valid bits, the written and changed marks, and a bus-mapped register's
// write noted at its address.
void mark_register_store(int periph, int reg);
// Register numbers are state word numbers: get copies the word out, set
// stores it and marks it. Numbers beyond the state words do nothing.
int get_state_register(int periph, int reg, uint32_t* out);
void set_state_register(int periph, int reg, uint32_t value);
// The row's first bus-mapped register at this X I/O address whose access
// carries `need` (REG_READABLE or REG_WRITABLE), or -1.
int find_bus_register(int periph, uint32_t address, uint32_t need);
// The current words of a pin group's register block: 0 the level on the
// pins, 1 the pins with a defined level, 2 the driven level, 3 the driven
// pins.
inline uint32_t* periph_pin_block(int group) {
  return cur_inst->blocks.data() + group * 2 * REG_BLOCK_WORDS;
}
enum pin_block_word : int {
  PIN_LEVEL = 0,
  PIN_DEFINED = 1,
  PIN_DRIVEN_LEVEL = 2,
  PIN_DRIVEN = 3,
};
// Every write of a pin-block word goes through here (or marks the device
// itself): a word that really changes sets device_inst::pins_changed, so
// the core's end-of-cycle pin samples run again. Re-driving the same bits
// marks nothing.
inline void set_pin_word(uint32_t* block, int word, uint32_t value) {
  if (block[word] != value) {
    block[word] = value;
    cur_inst->pins_changed = 1;
    cur_inst->blocks_changed = 1;
  }
}

// A value of an input stream: the integer (a float converted to the
// item's fixed-point word), the float, and the SV_* flags with the item's
// width flags.
enum : uint32_t { SV_INT = 0x100, SV_FLOAT = 0x200, SV_IDLE = 0x8000 };
struct stream_value {
  int64_t integer = 0;
  double real = 0.0;
  uint32_t flags = 0;
};
// Input stream services for the peripherals: the next value of an untimed
// stream on the peripheral, and a timed value falling due in this call.
// 1 with the value, 0 when there is none.
int read_untimed_input(int periph, stream_value* out);
int read_timed_input(int periph, stream_value* out);
// PERIPH_STREAMS_* (hooks.h) of the current device's streams for the
// peripheral; 0 without streams.
int periph_stream_view(int periph);

// Output stream hooks, called by the peripherals; the output streams give
// them their bodies. A register watched by an output stream (attribute
// ATTR_OUT_STREAMS) after every store; a peripheral's own data word (gap:
// the cycles to the next word, -1 for "since the last write").
void write_register_output(int periph, int reg);
// The detailed-history note of the core's buses: 1 when a history stream
// is open. A register fed by an untimed input stream: 1 and its next value.
int write_output_note(const char* text);
int read_register_input(int periph, int reg, uint32_t* out);
// The core's memory operand accesses: an untimed input stream of the data
// port (port 4) or one watching a memory address may supply the value
// read (non-zero and the value); every data memory write is offered to the
// output streams watching it.
int read_port_input(int port, uint32_t* out);
int read_memory_input(int space, uint32_t address, uint32_t* out);
void write_memory_output(int space, uint32_t address, uint32_t flags);
void write_peripheral_output(int periph, const stream_value& value, int gap);
inline void write_peripheral_output(int periph, int32_t value, int gap) {
  stream_value v;
  v.integer = value;
  v.flags = SV_INT;
  write_peripheral_output(periph, v, gap);
}
// The core's writes on the external data bus: the output streams of the
// data port.
void write_stream_value(int port, int32_t value, int gap);

// The X I/O addresses every peripheral may snoop.
constexpr uint32_t IO_PBC = 0xFFC0, IO_PCC = 0xFFC1, IO_PBDDR = 0xFFC2, IO_PCDDR = 0xFFC3;
constexpr uint32_t IO_PBD = 0xFFE2, IO_PCD = 0xFFE3, IO_IPR = 0xFFDF;

// Access word of an on-chip peripheral's register: one 16-bit word that may
// be written to output streams; add REG_READABLE, REG_WRITABLE and
// REG_BUS_MAPPED.
constexpr uint32_t REG_PERIPH_WORD = 0x10000000 | REG_STREAM_OUT | 1;
constexpr uint32_t REG_PERIPH_INIT_ATTR = 0x4000;  // shown in hexadecimal

// Register numbers of the on-chip peripherals (positions in their tables).
enum port_reg : int { PORT_CONTROL = 0, PORT_DIRECTION, PORT_DATA };
enum timer_reg : int { TIMER_TCR = 0, TIMER_TCTR, TIMER_TPR, TIMER_TCPR };
enum ssi_reg : int {
  SSI_CRA = 0, SSI_CRB, SSI_RML, SSI_RMH, SSI_RX,
  SSI_SSR, SSI_TML, SSI_TMH, SSI_TSR, SSI_TX,
};
enum rssi_reg : int { RSSI_CRA = 0, RSSI_CRB, RSSI_RX, RSSI_SSR, RSSI_TSR, RSSI_TX };
enum host_reg : int {
  HOST_CVR = 0, HOST_HCR, HOST_HRX, HOST_HSR, HOST_HTX, HOST_ICR,
  HOST_ISR, HOST_IVR, HOST_RXH, HOST_RXL, HOST_TXH, HOST_TXL,
};
// "73547" codec: cocr, cosr, crx, ctx; "73583" codec: ccr1, cosr, crx,
// ctx, ccr0.
enum codec_reg : int { CODEC_CONTROL = 0, CODEC_COSR, CODEC_CRX, CODEC_CTX, CODEC_CCR0 };
