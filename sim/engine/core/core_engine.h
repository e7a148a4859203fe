// The core cycle engine's parts and how they meet: the clock machine
// (core_clock_machine.cpp) runs the half cycles and calls the executor of
// the instruction (core_execute.cpp), which plans the instruction's memory
// accesses and register transfers; the bus unit (core_bus.cpp) arbitrates
// the external bus, inserts wait states and carries the accesses out; the
// address unit (core_agu.cpp), the loop unit (core_loops.cpp) and the
// interrupt unit (core_irq.cpp) serve both. sim/engine/README.md has the
// design.
//
// - The cycle engine (`core_cycle`, below) runs from `core_clock`, slot 4.
//
//   | file | idea |
//   |---|---|
//   | `core_clock_machine.cpp` | `core_cycle`: the four clock states, instruction cycles, instruction ends, the interrupt boundary, WAIT/STOP, the reset pin, PLL, clock-out |
//   | `core_execute.cpp` | the executor table: one row per instruction class (mask, value, length in words, function) |
//   | `core_bus.cpp` | planned accesses, requests and grants, contention, wait states, transfer acknowledge, the seven-state arbitration, `core_mem_read`/`core_mem_write` |
//   | `core_agu.cpp` | linear, modulo and reverse-carry address arithmetic; the second X unit |
//   | `core_loops.cpp` | DO loops on the stack, the loop-end test, counted and conditional repeat |
//   | `core_irq.cpp` | interrupt pins, arbitration over the core and the peripheral rows, acknowledge, long-interrupt entry |
//
// An instruction occupies `C` instruction cycles of two device cycles each (257+258, then 264+280),
// plus wait states and stalls. `C` is the largest of
//
// - its length in words (1, or 2 with a second word);
//
// - the `op_timing` rows it steps through: a mode-0 row whose next mode is 1 adds a second cycle;
//   field 8 (set only in row 8, the `-(rN)`, `(rN+nN)` and long-absolute moves) adds one cycle for
//   the address arithmetic;
//
// - its special-sequence chain: the attribute row's value names a special-sequence row, whose value
//   names the next, until a value of 0; each row is one instruction cycle (branches and jumps 2,
//   `do` 3, `rti` and `rts` 2, the traps 4-5).
//
// WAIT and STOP take one cycle and then hold in state 264. A fast-interrupt word whose rows are
// flow rows gets attribute row 0 and timing row 34, so it takes only its length.
//
//   | state | work |
//   |---|---|
//   | 257 | first cycle of an instruction only: `core_decode` at the boundary (trace ring and history line; pc is already set), `core_decode_operands`, decode latches copied to the execute latches, then the executor: traps (flag 0x2 with/without 0x4000), reset (0x80), the condition, move sources onto `gdb`/`xdb`, the data-ALU operation (both phases), address updates, stack and loop effects, and the plan of memory accesses and register transfers. Every cycle: the cycle's fetch is chosen (below) |
//   | 258 | the last instruction cycle names the next instruction: after the repeat and loop bookkeeping has chosen the fetch, `core_set_next_pc` sets pc to the opcode address on `pab` (marking pc written when it changes); then the requests: every planned access of this cycle and the fetch that resolves to "pe" or "xe" asks for the bus; arbitration; two or more external requests, or a wanted bus not owned, is contention ("cont"); a bus not owned stalls here; else one access is granted (first X, second X, program) and its wait states loaded (bcr bits 0-4 program, 5-9 data; bcr2 for the 583's X $FF00-$FF7F) |
//   | 264 | a granted external write drives the data pins and writes memory; WAIT and STOP hold here |
//   | 280 | wait states ("ws"), then transfer-acknowledge extension while ta is high; then the granted access and (first pass only) every internal access complete; an external access still pending repeats the instruction cycle without 257's work; at the last cycle the register transfers are written, the instruction end is signalled and interrupts are checked |
//
// The fetch of instruction cycle `k`: the second word when `k` < words (not in a repeat pass: the
// operand latch keeps the first pass's word); no fetch in the middle cycles (the bus is free for
// program-data moves and the pipeline refill after a change of flow); the next opcode in the last
// cycle, from the flow target, the loop start at a loop end, or the return address after the second
// word of a fast interrupt; none while a repeat runs another pass. A restart (`pc` write, reset) or
// a taken interrupt runs a fetch-only cycle first, whose instruction end `restart_skip` swallows.
//
// pc names the next instruction at every instruction end. The last instruction cycle of an
// instruction sets it in its first device cycle (state 258), before the instruction ends, so a
// breakpoint on pc stops before the instruction at that address runs: one that names "pc" is tested
// in that cycle (pc written) and the stop takes effect at the end of the instruction before; a
// program-address breakpoint is tested at that end. Consequences:
//
// - a repeat pass that runs again fetches nothing and leaves pc on the repeated instruction; the
//   last pass names the word after it;
//
// - the last instruction of a DO loop names the loop start while the loop goes on, the word after
//   `la` when it ends; a taken jump names its target;
//
// - an interrupt taken at an end drops the fetched opcode and names the vector in the same cycle;
//   the last vector word of a fast interrupt names the return address;
//
// - a restart (`pc` write, reset) sets pc itself; its fetch-only cycle leaves pc alone and its end
//   is swallowed;
//
// - WAIT and STOP name the next instruction while they hold.
//
// The illegal-opcode flag follows pc: when the opcode fetched in the last cycle is illegal and the
// instruction end is reported, `core_check_prefetch` marks the device then, so the run stops with
// pc on the illegal word before it executes (and before its trap is raised); `CS_PREFETCH_CHECKED`
// keeps `core_decode` from marking it a second time when it does execute. Behind a swallowed end
// (the first word after a restart or an interrupt) the decode marks it as it executes, and the stop
// comes at its own end, after the trap has been taken. The trace ring and the history line stay
// with `core_decode` at 257, when the opcode is known.
//
//   | decode result | action |
//   |---|---|
//   | instruction flag 0x2 / 0x4000 | software-interrupt or illegal-instruction pending word (vector 8 or 2) at 257 |
//   | instruction flag 0x80 | `reset_peripherals(2, -1)` at 257 |
//   | instruction flags 0x400, 0x800 | WAIT, STOP: one cycle, then held in 264 |
//   | class word bits 9-11 | the short-immediate latch (short moves, short addresses, movep I/O) |
//   | `op_timing` field 2 bit 0x400 | `tfr2`: the accumulator limited to 32 bits over `gdb` and `xdb` |
//   | `op_timing` field 6 | the andi/ori byte placed by the flag word |
//   | `op_timing` field 7, field 8; attribute value | instruction cycles (above) |
//   | attribute words, operand-fetch control words, move-form words | carried as data; the executor row of the instruction class says which registers and buses a move uses, from the instruction's own fields |
//
// Memory moves read their source onto `xdb` (accumulators scaled and limited), register transfers
// onto `gdb`; reads load their destination when the access completes at 280, transfers at the end
// of the instruction, so a move's source is always the value before the instruction's ALU
// operation. DO loops: `la` is the address of the loop's last word (the loop end text minus one);
// the loop start and sr sit on top of the stack above la and lc.
//
// Interrupts: at the end of an instruction (not inside a repeat, between a repeat and its
// instruction, or inside a sequence) `core_check_interrupts` may take one; the opcode just fetched
// is dropped and its address kept as the return address, pc names the vector, a fetch-only cycle
// reads it, and the vector words run with `in_fast_irq` set. A subroutine jump there enters a long
// interrupt (return address and sr pushed, mask set, the source acknowledged); otherwise the source
// is acknowledged when vector + 1 is fetched and the program resumes after the second vector word
// (or after a first one that fills both words). A pending source at level 0 is disabled and does
// not hide the sources after it.
//
// The program's reads of the I/O window go to `read_peripheral_bus` with the flag set (a real bus
// read: a port data register read may take the next value of the port's untimed input stream);
// reads by commands pass 0. `core_mem_read` and `core_mem_write` call the stream services of
// `periph.h` (`read_port_input`, `read_memory_input`, `write_memory_output`, and
// `write_stream_value` for the data port on external writes).
//
// The scaling bit S (sr $80) is set when an accumulator goes onto `xdb` through a move form that
// asks for the check (`scale_check_forms`, `core_tables.h`: the parallel moves beside a data-ALU
// operation, the r2-offset prefix and the move instructions; not movep, movem, program memory moves
// or the long two-bus move) and bits 14 and 13 of the scaled value differ. The flag
// (`CS_SCALE_CHECK`) is set when the instruction enters execute, from a 64K-bit table built at
// compile time.
//
// An interrupt sequence whose second vector word is fetched twelve or more device cycles (six
// instruction cycles) after the sequence started (wait states on the vector fetches or a slow first
// vector instruction) is abandoned: no acknowledge, the program goes on at the return address after
// the current vector instruction, and the still-pending request is taken again at the next boundary
// (`CS_IRQ_ABANDONED`). A sequence that entered a long interrupt completes.
//
// Not modelled: the extended-history notes ("stall", "dalu"): the core writes only the bus
// notes of detailed history.
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/core/core_state.h"
#include "sim/engine/device/region_index.h"

// One device cycle of the current device's core.
void core_cycle();

// The whole-instruction executor: the current device's device cycles from
// where it is to the end of the instruction in progress (the next one at a
// boundary), at most `room`, each followed by exec_cycle_done. New
// instructions decode from their words' records (decoded_word_of). Returns
// the cycles run; *whole is 1 when the instruction ran from its start to
// its end without a stall, hold, wait state, fetch-only cycle or reset.
// With `straight_only`, only an instruction the straight-line executor
// runs whole (core_fast.h); 0, changing nothing, for any other.
int core_exec_instruction(int room, int* whole, bool straight_only = false);
// After each device cycle of core_exec_instruction (the run loop's part):
// the peripheral events due, the cycle count and, inside an instruction,
// what the stop check does there.
struct device_inst;
void exec_cycle_done(device_inst& inst, bool end);
// The same for n cycles of one instruction at once, the last its end:
// the cycle count advanced by n, when no peripheral event falls due in
// them, no progress line falls inside and no stop is requested. Returns n;
// 0, changing nothing, otherwise. DEV_PC_WRITTEN is the caller's: the
// cycles inside the instruction would clear it.
int exec_cycles_done(device_inst& inst, int n);
// Its condition alone (the horizon worked out when stale).
bool exec_cycles_quiet(device_inst& inst, int n);
// A count the quiet cycles of a run may reach: every instruction whose
// cycles end at or before it passes exec_cycles_quiet while no stop is
// requested, the horizon is not stale and nothing clocks an event (0 when
// stale).
uint64_t exec_quiet_bound(const device_inst& inst);

// ---------------------------------------------------------------------------
// Condition codes and instruction timing.

// 1 when the condition code (0-15) holds for sr; above 15 gives 0.
int core_test_condition(uint32_t condition);
// The same test for a given sr value.
int condition_holds_for(uint32_t condition, uint32_t sr);

// Instruction cycles of an opcode: the longest of its length in words, the
// op_timing rows it steps through and its special-sequence chain.
int core_instruction_cycles(uint16_t word, int words, bool fast_irq);
// Length in words of an opcode (1, or 2 with a second word).
int core_instruction_words(uint16_t word);

// ---------------------------------------------------------------------------
// Executor (core_execute.cpp): the first-half work of the instruction in
// execute, run once in its first instruction cycle.
void core_execute();

// The executor-table function of an instruction class.
using core_handler = void (*)(uint32_t opcode);
core_handler core_handler_of(uint16_t word);
// core_execute with the handler already known.
void core_execute_with(core_handler run);

// The straight-line executor's handler of a record (core_fast.h).
struct fast_step;
using fast_handler = bool (*)(fast_step& step);

// What decoding an opcode word at an instruction boundary outside a fast
// interrupt gives, worked out once per word (the tables are constant, so
// a record never goes stale; program writes are seen because the record
// is found by the word fetched). The latches that depend on more than the
// word (short immediate, immediate, access spaces, the repeat's attribute
// masks) are still worked out at each use.
struct decoded_word {
  bool valid = false;
  uint8_t words = 0;
  uint8_t cycles = 0;
  uint8_t next_mode = 0;
  std::array<uint8_t, 4> move_codes{};
  uint16_t cls = 0;
  uint16_t fetch_ctrl = 0;
  uint32_t flags = 0;
  uint32_t attr_value = 0;
  uint32_t attr = 0;
  uint32_t move_form = 0;
  uint32_t timing_row = 0;
  core_handler run = nullptr;
  // The straight-line handler (null: the cycle-by-cycle path) and what it
  // keeps of the word's decoding.
  fast_handler fast = nullptr;
  std::array<int16_t, 5> fast_alu{};  // the data-ALU record: op, sources, destination, negate
  uint16_t xdb_timing = 0;            // the timing row's XDB destination field
  bool scale_check = false;           // move_checks_scaling of the word
  // The straight run's one-piece form of a one-word, one-cycle word (0:
  // none; core_fast.cpp).
  uint8_t lean = 0;
};
// A record is one cache line (64 bytes, its tail fields in what was padding).
static_assert(sizeof(decoded_word) <= 64);
const decoded_word& decoded_word_of(uint16_t word);
// core_decode outside a fast interrupt from the record of the word: a new
// instruction's (the prefetched word), or a repeat pass of the word in
// decode (whose class does not continue into the next word).
void core_decode_new(const decoded_word& d, bool repeat_pass = false);
// core_decode_operands after core_decode_new.
void core_decode_operands_from(const decoded_word& d);

// ---------------------------------------------------------------------------
// Planned accesses (core_bus.cpp).

enum : uint32_t {
  ACC_READ = 0x1,
  ACC_WRITE = 0x2,
  ACC_PROGRAM = 0x4,   // program space; X space otherwise
  ACC_OPERAND = 0x8,   // read into the operand latch and run the bit-field test
  ACC_SECOND = 0x10,   // the second X address unit (xab2)
  ACC_LATCH = 0x20,    // read into the operand latch / write the operand latch
  ACC_DONE = 0x100,
};
// The fetch of an instruction cycle.
enum : uint32_t { FETCH_NONE = 0, FETCH_OPCODE = 1, FETCH_OPERAND = 2 };

// Plans an access in instruction cycle `cycle` of the instruction; reads
// load `reg` (-1: only the bus latch), writes store `value`.
void core_plan_access(uint32_t kind, int cycle, uint32_t address, int reg, uint32_t value);
// Plans a register transfer written at the end of the instruction.
void core_plan_transfer(int reg, uint32_t value);
void core_clear_plan();

// Bus unit: the requests of this instruction cycle (state 258). Returns 1
// when the cycle may go on, 0 when it stalls waiting for the bus.
int core_bus_request();
// What core_bus_request and core_bus_complete do in an instruction cycle
// whose accesses are all internal (no request, the arbitration at rest).
void core_bus_idle();
void core_bus_complete_idle();
// State 264: a granted external write drives the pins and writes memory.
void core_bus_write_phase();
// State 280: 1 while wait states remain (the cycle stays in 280).
int core_bus_wait_state();
// State 280: completes the accesses of this pass; 1 when external accesses
// remain for another pass of the same instruction cycle (contention).
int core_bus_complete();
// The arbitration machine, its pin sampling and the ownership outputs.
void core_bus_arbitration(bool wants_bus);
// The bus pins' sample: true when a repeat with the same pins and omr
// changes nothing (the previous sample equals the new one).
bool core_sample_bus_pins();

// The space a p or x access of the core goes to under its omr (what
// mem_resolve_space gives).
inline int core_resolve_space(int space, uint32_t address) {
  return resolve_space_in_mode(space, address, core_word(CORE_OMR));
}

// Region attribute bits whose reads show on the data pins.
constexpr uint32_t REGION_ATTR_DATA_PINS = 0x08000000 | 0x02000000;

// One memory operand access through the memory map (space already
// resolved to a region space).
uint32_t core_mem_read(int space, uint32_t address);
void core_mem_write(int space, uint32_t address, uint32_t value);

// ---------------------------------------------------------------------------
// Address generation (core_agu.cpp).

// The modifier arithmetic: r + offset under modifier m (0 reverse carry,
// 0xFFFF linear, else modulo m + 1); `flags` gets the address flags.
uint32_t agu_modify(uint32_t r, uint32_t offset, bool subtract, uint32_t m, uint32_t* flags);
// Its flags (CS_AGU_FLAGS, which chkaau reads).
enum : uint32_t { AGU_FLAG_WRAP = 2, AGU_FLAG_ZERO = 4, AGU_FLAG_NEGATIVE = 8 };

enum agu_mode : int {
  AGU_NONE = 0,   // (rN)
  AGU_INC,        // (rN)+
  AGU_DEC,        // (rN)-
  AGU_ADD_N,      // (rN)+nN
  AGU_PREDEC,     // -(rN): the address and the register are rN - 1
  AGU_INDEXED,    // (rN+nN): the address only
};
// The effective address of register N (0-3) in the mode; the register is
// updated as the mode says, with its modifier.
uint32_t agu_address(int n, agu_mode mode);
// The second X address unit: r3 + 1 or r3 + n3, linear.
uint32_t agu2_address(bool add_n3);
// chkaau: the address flags of the last update into V, Z and N of sr.
void agu_flags_to_sr();

// ---------------------------------------------------------------------------
// Loops and repeat (core_loops.cpp).

// Starts a DO loop: count, loop address, and whether it runs forever.
void loop_start(uint32_t count, uint32_t last_address, bool forever);
// Ends the innermost loop: restores la, lc and the loop flags.
void loop_pop();
// At the instruction whose last word is at la: 1 with *target set when
// the next fetch goes back to the loop start.
int loop_end_check(uint32_t last_word_address, uint32_t* target);
// Repeat bookkeeping at the end of a pass: 1 when another pass follows.
int repeat_end_check();
// Arms a repeat of the next instruction (count or condition).
void repeat_arm_count(uint32_t count);
void repeat_arm_condition(uint32_t condition);
// Called when the repeated instruction starts its first pass.
void repeat_begin();

// ---------------------------------------------------------------------------
// Interrupts (core_irq.cpp).

int core_pending_irq();       // internal sources: vector or -1
int core_check_interrupts();  // 1 when an interrupt is taken (recorded)
// At an instruction boundary: the interrupt taken there starts its
// sequence in place of the opcode just fetched; false when none is taken.
bool core_take_interrupt_at_boundary(uint32_t* w);
void ack_taken_interrupt();
// An interrupt sequence whose second vector word arrives this many device
// cycles (six instruction cycles) after its start or later is abandoned.
constexpr uint32_t IRQ_SEQUENCE_CYCLES_MAX = 12;
// End-of-clock sampling of irqa, irqb, irqc and the reset pin: true when a
// repeat with the same pins changes nothing (reset not held), as long as
// nothing else changes a pending word or ipr (what does marks the pins).
bool core_sample_irq_pins();
// Both samples, clearing device_inst::pins_changed when a repeat would
// change nothing.
void core_run_pin_samples();
// Off: the samples never clear the mark, so they run every cycle (the
// reference the skipping is compared against).
extern bool pin_samples_skip;
// The taken interrupt's sequence starts: the next fetch comes from its
// vector; `return_address` is where the program goes on.
void irq_sequence_start(uint32_t return_address);
// A long interrupt: return address and sr pushed, sr set for the level.
void irq_enter_long();

// ---------------------------------------------------------------------------
// The clocking of every device cycle: the PLL step and the clock-out pin
// first, the pin samples last. The last two are inline: the cycle paths
// call them every cycle.

// core_clock_machine.cpp
void core_pll_step();

inline void core_clock_out_pin() {
  const uint32_t* w = core_words();
  uint32_t* c = periph_pin_block(PINS_CONTROL);
  // No pin sample reads it (no pins_changed), but the previous words must
  // follow it.
  if (w[CORE_OMR] & OMR_CLOCK_OUT_OFF) {
    if (c[PIN_DRIVEN] & CTL_CLKOUT) {
      c[PIN_DRIVEN] &= ~CTL_CLKOUT;
      cur_inst->blocks_changed = 1;
    }
    return;
  }
  const uint32_t select = w[CORE_PLCR] & 0xC00;
  bool high;
  if (select == 0)
    high = (cur_inst->device_words[DW_CORE_STATE_CODE] & 0x100) != 0;
  else if (select == 0x400)
    high = false;
  else
    high = w[CS_CLOCK_PHASE] != 0;
  const uint32_t level = high ? (c[PIN_DRIVEN_LEVEL] | CTL_CLKOUT) : (c[PIN_DRIVEN_LEVEL] & ~CTL_CLKOUT);
  if (!(c[PIN_DRIVEN] & CTL_CLKOUT) || level != c[PIN_DRIVEN_LEVEL]) {
    c[PIN_DRIVEN] |= CTL_CLKOUT;
    c[PIN_DRIVEN_LEVEL] = level;
    cur_inst->blocks_changed = 1;
  }
}

// Debug builds: with the mark clear, running the samples must change
// nothing (aborts otherwise). Release builds: nothing.
#ifdef NDEBUG
inline void core_check_skipped_samples() {}
#else
void core_check_skipped_samples();
#endif

// Both samples at the end of a device cycle, skipped while
// device_inst::pins_changed is clear (a repeat would change nothing).
inline void core_sample_pins() {
  if (cur_inst->pins_changed != 0)
    core_run_pin_samples();
  else
    core_check_skipped_samples();
}

// n device cycles' clocking at once (core_fast_clock.cpp): what n rounds of
// core_pll_step, core_clock_out_pin and core_sample_pins leave, for cycles
// in which nothing drives a pin and nothing stores omr, plcr or pcr0 (the
// caller's conditions). Call it before those cycles' instruction work.
// Returns n when done; 0, changing nothing, when it cannot: a pin changed
// since the last sample (device_inst::pins_changed), the reset pin held, or
// the PLL's lock count running out within the n cycles.
int core_clock_cycles_closed(int n);
// After core_clock_cycles_closed of an even number of cycles, another such
// call would leave every word as it is, as long as nothing drives a pin
// and nothing stores omr, plcr or pcr0: the PLL neither locking nor
// running (its phase flips an even number of times), or no PLL.
bool core_clock_settles();
