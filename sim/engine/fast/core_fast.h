// The straight-line executor: an instruction at a boundary run from start
// to end in one step from its word's record (decoded_word::fast), without
// the clock machine, the access plan, the bus scans or the decode latches.
// It leaves every live word the cycle engine leaves at the instruction end
// (the latches every instruction writes before it reads are left as they
// were). A handler first checks its operands and declines (returns false)
// before changing anything; the cycle-by-cycle path then runs the
// instruction. Engine-internal.
//
// A handler's order, which is the cycle engine's:
//   1. checks: every data access planned with fast_plan_access (plain
//      internal memory, nothing else), nothing changed yet;
//   2. fast_begin: the first device cycle's clocking and the decode's live
//      words (pc, pc trace, the record's pipeline words, a repeat's start);
//   3. the execute work, with the same functions the executor table uses
//      (ALU, address unit, bus moves), writes' values into their accesses;
//   4. return true: the framework does the rest (the loop and repeat
//      checks, the accesses in order, the fetch, the transfers, the end).
// A handler may not write omr, bcr, ipr, ipr2, plcr or pcr0: the clocking
// relies on it. The fetch checks cover the next opcode in sequence and,
// at a loop's last word, the loop's start: a handler that changes the
// flow checks its target with fast_program_plain.
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

struct plain_page;

// A word of plain internal memory: where it is, the page whose access-log
// rows note an access (null: found by its region entry), its region
// entry, and whether its row shows reads on the data pins.
struct fast_word {
  uint32_t* word;
  const plain_page* page;
  uint8_t entry;
  bool data_pins;
};

// A data access of the instruction, done in its instruction cycle. (The
// records of a step are filled as planned, not cleared first: that would
// cost more than the instruction's other work.)
struct fast_access {
  fast_word at;
  uint32_t address;
  uint32_t value;  // a write's value
  int reg;         // the register a read loads (-1: none)
  int latch;       // the data bus latch it goes over (CS_XDB, CS_GDB)
  int cycle;       // its instruction cycle
  bool write;
  bool watched;    // a store a memory output stream writes a line for
};

struct fast_step {
  device_inst* inst;
  device_state* st;
  uint32_t* w;
  const decoded_word* d;
  uint32_t opcode;
  bool repeat_pass;
  const plain_page* pages;  // the device's plain pages for its mode (program, then X)
  bool bus_rest;      // the bus unit at rest: its cycles change nothing
  bool closed_clock;  // the instruction's clocking done at once (fast_begin)
  // The run's clocking is steady: the closed clocking of one of its
  // instructions left what another's would leave (core_clock_settles).
  bool* clock_steady;
  int accesses;
  int transfers;
  std::array<fast_access, 2> access;
  std::array<int, 2> transfer_reg;
  std::array<uint32_t, 2> transfer_value;
};

// Chooses the record's handler (decoded_word_of, once per word).
void core_fast_record(uint16_t word, decoded_word& d);
// The data-ALU classes' handlers (core_fast_alu.cpp): true for a word of
// one of their rows, whose record then has its handler and operation
// (none for a word they leave to the cycle engine).
bool core_fast_alu_record(uint16_t word, decoded_word& d);
// The moves' handlers (core_fast_moves.cpp); null for a word they leave.
fast_handler core_fast_move_handler(uint16_t word, const decoded_word& d);
// The changes of flow's handlers (core_fast_flow.cpp); null for others.
fast_handler core_fast_flow_handler(uint16_t word, const decoded_word& d);
// The control forms' handlers (core_fast_control.cpp): nop, debug,
// chkaau, andi/ori on sr, the bit-field operations; null for others.
fast_handler core_fast_control_handler(uint16_t word, const decoded_word& d);

// Runs the instruction at the current device's boundary straight through:
// its device cycles, or 0 when it did not (nothing changed).
int core_fast_instruction(int room);
// Straight instructions back to back from the current device's boundary,
// at most `room` device cycles in all, while each runs straight: after
// each, straight_end_done (runloop_fast.cpp) does the run loop's part of the
// end and answers true when the end was quiet (the run goes on); false
// leaves that end to the caller (*end_pending). Returns the cycles run
// (0: nothing changed). `run_terms` starts false for each run and is the
// callee's to keep: what it found of the terms no instruction of the run
// changes; `at_bound` says the count reached the run's quiet bound
// (exec_quiet_bound), the first count that can be a multiple of a
// thousand; `cycles` are the instruction's (a step by cycles counts
// them). A direct call, so that the whole-program build inlines it.
// The run adds its ends to the device's statistics once, as it returns.
bool straight_end_done(int device, bool& run_terms, bool at_bound, int cycles);
// A profiled device's sr and omr as an instruction of a run starts (once
// per instruction; runloop_profile.cpp).
void profile_sample(int device);
// Input deliveries a run crosses (STREAMS_QUIET_PINS: they only set pins
// nothing samples inside a straight instruction): the run loop's record,
// whose `due` is the count of the next delivery's cycle (UINT64_MAX:
// none). After an instruction whose cycles hold it, the run calls
// straight_deliveries (runloop_fast.cpp), which makes every delivery of those
// cycles, each at its own count, and moves `due` on.
struct straight_inputs {
  uint64_t due;
};
void straight_deliveries(straight_inputs& inputs, int ran);
int core_fast_run(int room, int device, bool* end_pending, straight_inputs* inputs = nullptr);

// fast_plan_access(s, address, write, reg, cycle, second)
// (core_fast_step.h): plans a data access in X space at `address` in
// instruction cycle `cycle`; null when it is not plain internal memory the
// core reads (or, for a write, writes) without effects of its own. A
// second access goes over gdb with the second address unit's latch.
// fast_begin(s) (core_fast_step.h): the instruction starts: the first
// device cycle's clocking and the decode's live words.
// A program address the fetch may read: plain internal memory (a jump's
// target is checked by its handler).
bool fast_program_plain(const fast_step& s, uint32_t address);
// The second word of a two-word instruction (what the decode reads);
// inline in the framework (fast_step_second_word, core_fast_step.h).
uint32_t fast_second_word(const fast_step& s);
// The second word outside the plain pages (the entry test found it in
// plain program memory).
uint32_t fast_second_word_slow(const plain_page* pages, uint32_t address);
// A register transfer written at the end of the instruction.
void fast_transfer(fast_step& s, int reg, uint32_t value);
// The data-ALU operation the record keeps, run as the executor runs it.
void fast_run_alu(const fast_step& s);
// A register put on a data bus latch as a move source (CS_XDB, CS_GDB),
// read-marked, as the executor does it; its value. Not ssh, which pops.
uint32_t fast_source_slow(int reg, int bus);
// An accumulator whose value fits its middle part, unscaled and with the
// scaling check quiet, goes on the latch as that part (no limiting, sr
// untouched); the rest (limiting, scaling, S, a long move, a stream) as
// the executor does it.
[[gnu::always_inline]] inline uint32_t fast_source_acc(int reg, int bus) {
  uint32_t* w = cur_inst->core;
  uint32_t& attr = cur_state->core_attrs[reg];
  const uint32_t d1 = w[reg + 2] & 0xFFFF, d2 = w[reg + 3] & 0xFF;
  const bool fits = d2 == ((d1 & 0x8000) ? 0xFFu : 0u);
  const bool scaled = bus == CS_XDB && ((w[CORE_SR] & (SR_SCALE_DOWN | SR_SCALE_UP)) ||
                                        (w[CS_SCALE_CHECK] && (((d1 >> 14) ^ (d1 >> 13)) & 1)));
  if (!fits || scaled || (attr & ATTR_IN_STREAM) || (w[CS_EX_TIMING + OPT_XDB_DST] & 0x400)) [[unlikely]]
    return fast_source_slow(reg, bus);
  attr |= ATTR_READ | ATTR_READ_SINCE;
  w[bus] = d1;
  return d1;
}
// A data or address register (not an accumulator or its extension, which
// the move limits or extends) fed by no stream goes on the latch as it is.
// (No history note: a history stream keeps the device off this path.)
[[gnu::always_inline]] inline uint32_t fast_source(int reg, int bus) {
  constexpr uint64_t direct = 1ull << CORE_A0 | 1ull << CORE_A1 | 1ull << CORE_B0 | 1ull << CORE_B1 |
                              0xFFull << CORE_M0 | 0xFull << CORE_R0 | 1ull << CORE_X0 | 1ull << CORE_X1 |
                              1ull << CORE_Y0 | 1ull << CORE_Y1;
  if (reg == CORE_A || reg == CORE_B) return fast_source_acc(reg, bus);
  if (static_cast<unsigned>(reg) >= 64 || !((direct >> reg) & 1)) return fast_source_slow(reg, bus);
  uint32_t& attr = cur_state->core_attrs[reg];
  if (attr & ATTR_IN_STREAM) [[unlikely]]
    return fast_source_slow(reg, bus);
  attr |= ATTR_READ | ATTR_READ_SINCE;
  uint32_t* w = cur_inst->core;
  const uint32_t value = w[reg] & 0xFFFF;
  w[bus] = value;
  return value;
}
// The address unit's update is its own (not the 583's peripheral address
// generation), so (rN) addresses the access.
bool fast_agu_plain(const uint32_t* w);
// agu_address's update of register N (a post-increment, decrement or
// add of nN) in a straight handler, which has checked fast_agu_plain: under
// a linear modifier its flags and the register's store in place (the
// address unit's other latches are scratch); the rest as the unit does it.
// core_store_reg inline in the straight handlers, where the register is
// mostly known, so that the marked store's tests fold.
[[gnu::always_inline]] inline void fast_store_reg(int reg, uint32_t value) {
  if (!core_store_marked(reg, value, true)) core_store_reg_marks(reg, value, true);
}
[[gnu::always_inline]] inline void fast_agu_update(uint32_t* w, int n, agu_mode mode) {
  const uint32_t m = w[CORE_M0 + n] & 0xFFFF;
  if (m != 0xFFFF || (mode != AGU_INC && mode != AGU_DEC && mode != AGU_ADD_N)) [[unlikely]] {
    agu_address(n, mode);
    return;
  }
  const uint32_t r = w[CORE_R0 + n];
  const uint32_t updated =
      (mode == AGU_DEC ? r - 1 : r + (mode == AGU_INC ? 1 : w[CORE_N0 + n] & 0xFFFF)) & 0xFFFF;
  w[CS_AGU_FLAGS] = ((updated & 0x8000) ? AGU_FLAG_NEGATIVE : 0u) | (updated == 0 ? AGU_FLAG_ZERO : 0u);
  fast_store_reg(CORE_R0 + n, updated);
}
// agu2_address's update of r3 (its latches are scratch).
[[gnu::always_inline]] inline void fast_agu2_update(uint32_t* w, bool add_n3) {
  fast_store_reg(CORE_R3, (w[CORE_R3] + (add_n3 ? w[CORE_N3] & 0xFFFF : 1)) & 0xFFFF);
}

// The register of a move's 5-bit register field; -1 for none.
inline int fast_reg5(uint32_t field) {
  const int r = move_reg_of_code(0x20 | (field & 0x1F));
  return r >= 0 ? r : -1;
}
// move x:(rN)... and its write, a register move, lea, rep #n and the
// moves with a second word (core_fast_moves.cpp), which the run also takes
// in one piece (core_fast.cpp: the long immediate's).
bool fast_move_address(fast_step& s);
bool fast_move_long(fast_step& s);
bool fast_move_reg(fast_step& s);
bool fast_lea(fast_step& s);
bool fast_rep_imm(fast_step& s);
// nop, debug and debug<cc>: the framework's work alone (in one piece too).
bool fast_nop(fast_step& s);
// The data-ALU handlers the run takes in one piece (core_fast_alu.cpp):
// an X move, two X reads, a register transfer.
bool fast_alu_x_move(fast_step& s);
bool fast_alu_two_reads(fast_step& s);
bool fast_alu_transfer(fast_step& s);

// A register a move may load: a data or address register, whose store
// has no effect on the loop state, the pins or the clock.
inline bool fast_plain_destination(int reg) {
  constexpr uint64_t plain = 0xFFull | 0xFFull << CORE_M0 | 0xFull << CORE_R0 | 1ull << CORE_X0 |
                             1ull << CORE_X1 | 1ull << CORE_Y0 | 1ull << CORE_Y1;
  return reg >= 0 && reg < 64 && ((plain >> reg) & 1) != 0;
}
// A register a move's handler may load at the instruction's end, as the
// cycle engine's transfer does: a plain one, sr, la, lc, ssl, and ssh (a
// push) while the stack has room (no stack-error trap). Not omr (a
// straight run keeps the pages its mode gives), sp (its error bits raise
// the trap) nor the peripheral control registers (the clocking and the
// interrupt pins rest on them).
inline bool fast_move_destination(const uint32_t* w, int reg) {
  if (fast_plain_destination(reg) || reg == CORE_SR || reg == CORE_LA || reg == CORE_LC || reg == CORE_SSL)
    return true;
  const uint32_t sp = w[CORE_SP];
  return reg == CORE_SSH && !(sp & (SP_ERROR | SP_UNDERFLOW)) && (sp & SP_POINTER) < SP_POINTER;
}
// A register a move's handler may read (-1: none): any but ssh, whose read
// pops the stack, unless the stack holds an entry and the instruction is
// not the last of a loop, whose end reads the loop's start from the stack
// after the pop (the fetch checks found it before).
inline bool fast_move_source(const uint32_t* w, const decoded_word& d, bool repeat_pass, int reg) {
  if (reg != CORE_SSH) return true;
  const uint32_t sp = w[CORE_SP];
  if ((sp & (SP_ERROR | SP_UNDERFLOW)) || (sp & SP_POINTER) == 0) return false;
  if (!(w[CORE_SR] & SR_LOOP)) return true;
  const uint32_t here = repeat_pass ? w[CS_DECODE_ADDR] : w[CS_PREFETCH_ADDR];
  return ((here + d.words - 1) & 0xFFFF) != (w[CORE_LA] & 0xFFFF);
}
