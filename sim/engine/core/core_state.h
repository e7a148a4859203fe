// The DSP core's 280 state words: where each register and engine latch
// lives in the core peripheral's word array, the bits the engine tests in
// them, and the register store helpers shared by the core's files.
//
// Words 0-46 are the registers by register number (enum core_reg in
// periph.h). The composites a, b, x, y and the stack windows ssh, ssl have
// no live word of their own; their numbers are kept free. Every other word
// is a latch of the cycle engine, the decoder or the data ALU.
//
// - `core_state.h` lays out the core peripheral's 280 state words once: words 0-46 are the registers
//   by number (`core_reg` in `periph.h`; the composites a, b, x, y and the stack windows ssh, ssl
//   have no word of their own), then the system stack (entries 1-15), the pipeline words, the decode
//   and execute latches, bus latches, interrupt, loop and PLL words, the address unit, move latches
//   and the ALU record. Words 237-276 belong to the cycle engine (instruction cycle counters, the
//   planned accesses and transfers, loop, hold and interrupt-sequence words).
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

enum core_word : int {
  // System stack: entry 0 is never written; entries 1-15 hold the stack.
  CS_SS_HIGH = 47,  // 16 words
  CS_SS_LOW = 63,   // 16 words
  CS_SS_ENTRIES = 16,

  // Pipeline: the prefetched word, the word in decode and the word in
  // execute, each with the address it was fetched from; the second words
  // of two-word instructions.
  CS_PREFETCH = 79,
  CS_PREFETCH_ADDR,
  CS_DECODE,
  CS_DECODE_ADDR,
  CS_EXECUTE,
  CS_EXECUTE_ADDR,
  CS_DECODE_OPERAND,
  CS_EXECUTE_OPERAND,
  CS_PIPE_MODE,   // pipeline mode for the next timing lookup (0, 1 or 3)
  CS_SEQ_CODE,    // special-sequence row selected instead of the attribute row
  CS_PREV_CLASS,  // class word of the previous instruction
  CS_INSTR_BOUNDARY,  // the word in decode starts a new instruction

  // First decode stage (core_decode) results for the word in decode.
  CS_DEC_CLASS = 91,
  CS_DEC_FLAGS,
  CS_DEC_ATTR_VALUE,
  CS_DEC_ATTR,
  CS_DEC_FETCH_CTRL,
  CS_DEC_MOVE_FORM,
  CS_DEC_TIMING_ROW,
  CS_DEC_TIMING,  // 8 words: the op_timing fields 1-8
  // Second decode stage (core_decode_operands): the four move register
  // codes (onto xdb, from xdb, onto gdb, from gdb) and the short immediate.
  CS_DEC_XDB_SRC = CS_DEC_TIMING + 8,
  CS_DEC_XDB_DST,
  CS_DEC_GDB_SRC,
  CS_DEC_GDB_DST,
  CS_SHORT_IMM,
  CS_DEC_IMMEDIATE,  // the immediate the timing row names

  // The same control words once the instruction moved into execute.
  CS_EX_CLASS = 112,
  CS_EX_FLAGS,
  CS_EX_ATTR_VALUE,
  CS_EX_ATTR,
  CS_EX_FETCH_CTRL,
  CS_EX_MOVE_FORM,
  CS_EX_TIMING_ROW,
  CS_EX_TIMING,  // 8 words
  CS_EX_XDB_SRC = CS_EX_TIMING + 8,
  CS_EX_XDB_DST,
  CS_EX_GDB_SRC,
  CS_EX_GDB_DST,
  CS_EX_SHORT_IMM,
  CS_COND_TRUE,     // the condition of the instruction in execute holds
  CS_SCALE_CHECK,   // the move form asks core_reg_to_bus to check scaling (S)
  CS_EX_IMMEDIATE,

  // Bus latches.
  CS_PAB = 135,
  CS_PDB,
  CS_XAB,
  CS_XAB2,
  CS_XDB,
  CS_GDB,

  // Bus cycle words.
  CS_REQ_PROGRAM = 141,  // program fetch (or program data) from external memory
  CS_REQ_X1,             // first X access to external memory
  CS_REQ_X2,             // second X access to external memory
  CS_SPACE_PROGRAM,      // resolved space of each access
  CS_SPACE_X1,
  CS_SPACE_X2,
  CS_GRANTED,        // 0 none, 1 program, 2 first X, 3 second X
  CS_READ_STROBE,
  CS_WRITE_STROBE,
  CS_WAIT_COUNT,
  CS_TA_SEEN,
  CS_TA_AT_START,
  CS_ACCESS_ACTIVE,  // an external access is in progress
  CS_CONTENDED,
  CS_STALLED,        // the previous cycle was stalled
  CS_ARB_STATE,      // bus arbitration machine, 0-7; 0 restarts it
  CS_BUS_SAMPLE,     // bus pins sampled this cycle
  CS_BUS_SAMPLE_PREV,
  CS_OPERAND_LATCH,  // operand of the bit-field operations
  CS_OPERAND_STROBES,

  // Interrupt words.
  CS_IN_FAST_IRQ = 161,
  CS_IRQA_LEVEL,
  CS_IRQB_LEVEL,
  CS_IRQC_LEVEL,
  CS_PEND_ILLEGAL,  // vector 2
  CS_PEND_STACK,    // vector 4
  CS_PEND_SWI,      // vector 8
  CS_PEND_IRQA,     // vector 10
  CS_PEND_IRQB,     // vector 12
  CS_PEND_IRQC,     // vector 14
  CS_PEND_CH0,      // vector 48
  CS_PEND_CH1,      // vector 50
  CS_PEND_CH2,      // vector 52
  CS_EDGE_IRQA,
  CS_EDGE_IRQB,
  CS_EDGE_IRQC,
  CS_HIGH_IRQA,  // remembered high level of each pin
  CS_HIGH_IRQB,
  CS_HIGH_IRQC,
  CS_CHANNEL_LEVEL,
  CS_TAKEN_LEVEL,
  CS_TAKEN_VECTOR,
  CS_TAKEN_ROW,
  CS_IRQ_SEQ_STEP,    // 0 when no interrupt sequence is active
  CS_IRQ_SEQ_CYCLES,  // the device cycle at which the sequence started
  CS_IRQ_LONG,        // the sequence entered a long interrupt
  CS_STACK_ERROR_SEEN,  // sp bit 4 has raised its trap

  // Loop, repeat, stop and PLL words.
  CS_REP_STATE = 188,  // 0 none, 1 counted, 2 conditional waiting, 3 conditional starting
  CS_SAVED_LC,
  CS_RESTART_SKIP,
  CS_LOOP_END,     // la equals the address on pab
  CS_STOP_DELAY,
  CS_PLL_LOCK_COUNT,
  CS_PLL_PRESCALE,
  CS_PLL_DIVIDE,
  CS_PLL_FRACTION,
  CS_PERIPH_TICK,

  // Operating-mode copy (omr AND 0x2FF), kept with omr; nothing reads it.
  CS_OPERATING_MODE = 198,
  CS_HISTORY_ON,

  // Address generation: the first unit's register, modifier and offset
  // latches, the register it is about to update (-1 none) with the pending
  // value, the address flags; the second unit's r3 copy.
  CS_AGU_REG = 200,
  CS_AGU_VALUE,
  CS_AGU_MOD,
  CS_AGU_OFFSET,
  CS_AGU_PENDING,
  CS_AGU_UPDATE,
  CS_AGU_FLAGS,
  CS_AGU2_R3,
  CS_AGU2_UPDATE,

  // Move latches: the parts of an accumulator moved onto a bus.
  CS_MOVE_PART0 = 209,
  CS_MOVE_PART1,
  CS_MOVE_PART2,

  // Data ALU operation record.
  CS_ALU_OP = 212,
  CS_ALU_COMMIT,
  CS_ALU_SRC1,
  CS_ALU_SRC2,
  CS_ALU_DEST,
  CS_ALU_NEGATE,
  // Data ALU latches.
  CS_LSA = 218,
  CS_MSA,
  CS_EXA,
  CS_MB,
  CS_ZB,
  CS_EB,
  CS_SRC_ADJ,  // 3 words: adjusted source, least part first
  CS_ACC_ADJ = CS_SRC_ADJ + 3,  // 3 words: adjusted accumulator
  CS_LSP = CS_ACC_ADJ + 3,
  CS_MSP,
  CS_EXT,
  CS_ALU_SR,
  CS_ALU_RESTORE,

  // Repeat words of the decoder: the boundary repeats the instruction in
  // decode; a repeat ends in this cycle.
  CS_REPEAT_PASS = 235,
  CS_REP_ENDING,

  // Cycle engine: the instruction in execute, counted in instruction
  // cycles (1 .. total), its length in words, and the fetch-only cycle that
  // refills the pipeline after a restart or an interrupt.
  CS_ENGINE_FREE = 237,
  CS_CYC_INDEX = 237,
  CS_CYC_TOTAL,
  CS_WORDS,
  CS_BUBBLE,        // the instruction cycle only fetches (no instruction in execute)
  CS_NEXT_FETCH,    // 1: the next opcode comes from CS_NEXT_TARGET
  CS_NEXT_TARGET,
  CS_FLOW_TAKEN,    // the instruction changed the flow
  CS_REP_ARMED,     // 1 counted, 3 conditional: the next instruction repeats
  CS_REP_CONTINUE,  // the instruction in execute runs another pass
  CS_IRQ_RETURN,    // where an interrupt sequence returns
  CS_HOLD,          // 1 WAIT, 2 STOP (held in state 264), 0 none
  CS_HOLD_STARTED,
  CS_PASS,          // passes of the current instruction cycle (contention)
  CS_CYCLE_FETCH,   // fetch kind of this instruction cycle (FETCH_*)
  CS_PENDING_ACK,   // the taken interrupt is acknowledged at the vector + 1 fetch
  CS_CLOCK_PHASE,   // the clock-out pin of the PLL settings
  // Planned memory accesses of the instruction: CS_ACCESS_SLOTS slots of
  // CS_ACCESS_WORDS words {kind, cycle, address, space, register, value}.
  CS_ACCESS = 253,
  CS_ACCESS_WORDS = 6,
  CS_ACCESS_SLOTS = 3,
  // Register transfers written at the end of the instruction: two of
  // {register, value}; register -1 for none.
  CS_TRANSFER = CS_ACCESS + 18,
  CS_TRANSFER_SLOTS = 2,
  CS_REP_CONDITION = CS_TRANSFER + 4,  // condition of a conditional repeat
  CS_SCRATCH,       // a value pushed onto the stack that has no word of its own
  CS_PREFETCH_CHECKED,  // the prefetched opcode was checked for illegal when fetched
  CS_IRQ_ABANDONED,     // the sequence ran too long: it ends at this instruction's end
  CS_ENGINE_END,
  CS_WORD_END = 280,
};
static_assert(CS_PENDING_ACK < CS_CLOCK_PHASE && CS_CLOCK_PHASE < CS_ACCESS);
static_assert(CS_ENGINE_END <= CS_WORD_END);
static_assert(CS_DEC_TIMING + 8 == CS_DEC_XDB_SRC && CS_DEC_IMMEDIATE < CS_EX_CLASS);
static_assert(CS_EX_IMMEDIATE < CS_PAB);
static_assert(CS_OPERAND_STROBES < CS_IN_FAST_IRQ);
static_assert(CS_STACK_ERROR_SEEN < CS_REP_STATE);
static_assert(CS_ALU_RESTORE < CS_REPEAT_PASS && CS_REP_ENDING < CS_ENGINE_FREE);
static_assert(CS_WORD_END == CORE_STATE_WORDS);

// Data ALU operand codes beyond the register numbers.
enum alu_operand : int {
  ALU_NONE = -2,
  ALU_A = 281,
  ALU_B = 282,
  ALU_X = 283,
  ALU_Y = 284,
};

// sr bits.
enum : uint32_t {
  SR_C = 0x1,
  SR_V = 0x2,
  SR_Z = 0x4,
  SR_N = 0x8,
  SR_U = 0x10,
  SR_E = 0x20,
  SR_L = 0x40,
  SR_S = 0x80,
  SR_I0 = 0x100,
  SR_I1 = 0x200,
  SR_SCALE_DOWN = 0x400,
  SR_SCALE_UP = 0x800,
  SR_PAGE = 0x2000,  // peripheral address generation active
  SR_FOREVER = 0x4000,
  SR_LOOP = 0x8000,
};

// omr bits.
enum : uint32_t {
  OMR_MODE = 0x3,
  OMR_BUS_REQUESTER = 0x4,
  OMR_EXT_X = 0x8,
  OMR_SATURATE = 0x10,
  OMR_TWOS_ROUND = 0x20,
  OMR_CLOCK_OUT_OFF = 0x80,
  OMR_PAGU = 0x200,
};

// sp bits.
enum : uint32_t {
  SP_POINTER = 0xF,
  SP_ERROR = 0x10,
  SP_UNDERFLOW = 0x20,
};

// Register 36 (plcr / pcr1) bits and the lock counter's start value.
enum : uint32_t {
  PLL_LOCK = 0x8000,
  PLL_ENABLE = 0x4000,
  PLL_POWER_DOWN = 0x2000,
};
constexpr uint32_t PLL_LOCK_CYCLES = 1000;

// core_state_code values (device word 4).
enum : uint32_t {
  CORE_STATE_EXECUTE = 257,
  CORE_STATE_ARBITRATE = 258,
  CORE_STATE_SECOND_HALF = 264,
  CORE_STATE_COMPLETE = 280,
};

// A code the clock machine writes: any other leaves the core in no state,
// ending no instruction again.
inline bool core_state_code_known(uint32_t code) {
  return code == CORE_STATE_EXECUTE || code == CORE_STATE_ARBITRATE || code == CORE_STATE_SECOND_HALF ||
         code == CORE_STATE_COMPLETE;
}

// The core is at an instruction boundary: its next device cycle starts an
// instruction, a repeat pass or a fetch-only cycle. Every instruction end
// is one except the held ends of WAIT and STOP and a stop that came while
// the core waited for the bus.
inline bool core_at_boundary(const device_inst& inst) {
  return inst.core != nullptr && inst.device_words.size() > DW_CORE_STATE_CODE &&
         inst.device_words[DW_CORE_STATE_CODE] == CORE_STATE_EXECUTE && inst.core[CS_CYC_INDEX] == 0 &&
         inst.core[CS_STALLED] == 0;
}

// Scratch words: at an instruction boundary (core_at_boundary) nothing
// reads them before the next instruction, repeat pass, fetch-only cycle or
// reset writes them, or nothing reads them at all. They are not state: an
// engine that runs whole instructions need not reproduce them, and the
// engine comparison (state_digest.h) leaves them out. Every other engine
// word is live at a boundary (sim/engine/SPEED.md, "Scratch words", says why).
struct core_word_range {
  int first, last;  // inclusive
};
inline constexpr core_word_range core_scratch_ranges[] = {
    // Execute copies of the word in decode: every instruction copies them.
    {CS_EXECUTE, CS_EXECUTE_ADDR},
    {CS_EXECUTE_OPERAND, CS_EXECUTE_OPERAND},
    // Set by every decode before it looks them up; the previous class and
    // the sequence code feed only words nothing reads.
    {CS_PIPE_MODE, CS_INSTR_BOUNDARY},
    // Decode latches but the class (a repeat pass tests it): every decode,
    // repeat passes included, writes them all.
    {CS_DEC_FLAGS, CS_DEC_IMMEDIATE},
    // Execute latches, the condition and the scaling check: copied or set
    // as every instruction enters execute.
    {CS_EX_CLASS, CS_EX_IMMEDIATE},
    // Bus latches but pab: each access writes its own before it is used;
    // the decode reads xab and xab2 only into the request words.
    {CS_PDB, CS_GDB},
    // Request, space, grant, strobe, wait and acknowledge words: the
    // request of each instruction cycle writes them (the request and space
    // words and the strobes are never read).
    {CS_REQ_PROGRAM, CS_TA_AT_START},
    {CS_CONTENDED, CS_CONTENDED},
    // The operand latch is read only after the read (or the register
    // move) of its own instruction; the strobe word is never used.
    {CS_OPERAND_LATCH, CS_OPERAND_STROBES},
    // Level copies: never read, or written by each arbitration first.
    {CS_IRQA_LEVEL, CS_IRQC_LEVEL},
    {CS_CHANNEL_LEVEL, CS_CHANNEL_LEVEL},
    // Never read (the memory interface reads omr itself).
    {CS_LOOP_END, CS_STOP_DELAY},
    {CS_OPERATING_MODE, CS_OPERATING_MODE},
    // Address unit latches but the flags (chkaau reads those), the second
    // unit and the move parts: never read (the pending register only
    // steers a write of the pending value).
    {CS_AGU_REG, CS_AGU_UPDATE},
    {CS_AGU2_R3, CS_MOVE_PART2},
    // The data ALU's record and latches: every operation writes them
    // before it reads them.
    {CS_ALU_OP, CS_ALU_RESTORE},
    // Repeat pass and ending flags: set at every start, or never set and
    // read only into the attribute latches.
    {CS_REPEAT_PASS, CS_REP_ENDING},
    // Set at the start of every instruction or instruction cycle.
    {CS_CYC_TOTAL, CS_WORDS},
    {CS_FLOW_TAKEN, CS_FLOW_TAKEN},
    {CS_HOLD, CS_HOLD_STARTED},
    {CS_CYCLE_FETCH, CS_CYCLE_FETCH},
    // The planned accesses and transfers, cleared as every instruction
    // starts.
    {CS_ACCESS, CS_TRANSFER + 2 * CS_TRANSFER_SLOTS - 1},
    // Written just before the push that reads it; the last word is unused.
    {CS_SCRATCH, CS_SCRATCH},
    {CS_ENGINE_END, CS_ENGINE_END},
};

constexpr std::array<bool, CORE_STATE_WORDS> make_core_scratch_mask() {
  std::array<bool, CORE_STATE_WORDS> mask{};
  for (const core_word_range& r : core_scratch_ranges)
    for (int word = r.first; word <= r.last; ++word) mask[static_cast<std::size_t>(word)] = true;
  return mask;
}
inline constexpr std::array<bool, CORE_STATE_WORDS> core_scratch_mask = make_core_scratch_mask();

// The current device's core words.
inline uint32_t* core_words() {
  return cur_inst->core;
}
inline uint32_t& core_word(int index) {
  return cur_inst->core[index];
}
inline uint32_t core_reg_value(int reg) {
  return cur_inst->periph_state[0][reg];
}
// Register count of the current device's core variant.
inline int core_reg_count() {
  return cur_type->periphs[0].cls->reg_count;
}
inline bool core_is_583() {
  return (cur_type->type_bit & (TYPE_73583 | TYPE_73583RAM)) != 0;
}

// Pin groups the core drives, and the control-group pins.
enum : int { PINS_CONTROL = 0, PINS_ADDRESS = 1, PINS_DATA = 4 };
enum : uint32_t {
  CTL_BB = 0x10,
  CTL_BG = 0x20,
  CTL_BR = 0x40,
  CTL_TA = 0x80,
  CTL_PS = 0x100,
  CTL_TS = 0x200,
  CTL_RW = 0x400,
  CTL_BS = 0x800,
  CTL_IRQA = 0x1000,
  CTL_IRQB = 0x2000,
  CTL_IRQC = 0x4000,
  CTL_RESET = 0x8000,
  CTL_PEREN = 0x100000,
  CTL_CLKOUT = 0x400000,
  CTL_RD = 0x800000,
  CTL_WR = 0x1000000,
};

// ---------------------------------------------------------------------------
// The core's peripheral interface (slots 0-5 and 7 of its periph_class).
int core_get_reg(int periph, int reg, uint32_t* out);
int core_set_reg(int periph, int reg, const uint32_t* value);
void core_bus_read(int periph, uint32_t address, uint32_t* out, int flag);
int core_bus_write(int periph, uint32_t address, uint32_t value, int flag);
void core_clock(int periph);
void core_reset(int periph, int kind, int mode);
void core_ack_irq(int periph, int vector);

// ---------------------------------------------------------------------------
// Register store helpers (core_regs.cpp). Each stores one word by register
// number with the marks and side effects of a register write; numbers at
// or above the variant's register count are stored without marks.

// Store and mark (core_store_reg, below), marking the composite of a part
// register as well, or not (core_store_reg_quiet); the same through the whole marking (what the two do unless the store's
// marks are all set already).
void core_store_reg_marks(int reg, uint32_t value, bool mark_composite);

// A data, address or loop register already marked, whose composite (when
// it is to be marked) is too, and feeding no stream: a store of it only
// masks the word (these registers have no effects, no bus address and the
// same valid bits on every core). Most stores in a loop are such (lc at
// every repeat pass).
[[gnu::always_inline]] inline bool core_store_marked(int reg, uint32_t value, bool mark_composite) {
  constexpr uint64_t plain = 0xFFull | 1ull << CORE_LA | 1ull << CORE_LC | 0xFFull << CORE_M0 |
                             0xFull << CORE_R0 | 1ull << CORE_X0 | 1ull << CORE_X1 | 1ull << CORE_Y0 |
                             1ull << CORE_Y1;
  if (static_cast<unsigned>(reg) >= 64 || !((plain >> reg) & 1)) return false;
  constexpr uint32_t MARKED = ATTR_WRITTEN | ATTR_CHANGED;
  const uint32_t* attrs = cur_state->core_attrs;
  if ((attrs[reg] & (MARKED | ATTR_OUT_STREAMS)) != MARKED) return false;
  if (mark_composite) {
    int comp = -1;
    if (reg <= CORE_B2 && (reg & 3) != 0) comp = reg & ~3;
    else if (reg == CORE_X0 || reg == CORE_X1) comp = CORE_X;
    else if (reg == CORE_Y0 || reg == CORE_Y1) comp = CORE_Y;
    if (comp >= 0 && (attrs[comp] & (MARKED | ATTR_OUT_STREAMS)) != MARKED) return false;
  }
  cur_inst->core[reg] = value & (reg == CORE_A2 || reg == CORE_B2 ? 0xFFu : 0xFFFFu);
  return true;
}
inline void core_store_reg(int reg, uint32_t value) {
  if (!core_store_marked(reg, value, true)) core_store_reg_marks(reg, value, true);
}
inline void core_store_reg_quiet(int reg, uint32_t value) {
  if (!core_store_marked(reg, value, false)) core_store_reg_marks(reg, value, false);
}
// A store of sr or pc with its marks made in place when no stream takes
// the register (the usual case): the word, marks and pc flag
// core_store_reg leaves, without its generic path.
[[gnu::always_inline]] inline void core_store_control(int reg, uint32_t value) {
  uint32_t& attr = cur_state->core_attrs[reg];
  if (attr & ATTR_OUT_STREAMS) [[unlikely]] {
    core_store_reg_marks(reg, value, true);
    return;
  }
  cur_inst->core[reg] = value & cur_inst->core_class->regs[reg].valid_mask;
  attr |= ATTR_WRITTEN | ATTR_CHANGED;
  if (reg == CORE_PC) cur_inst->flags |= DEV_PC_WRITTEN;
}
// Copy one register into another with the destination's marks.
void core_copy_reg(int dest, int src);
// The marks and side effects of a store already made into the word.
void core_mark_write(int reg, bool mark_composite);
// Marks a register read; an input stream feeding it may supply the value.
void core_mark_read(int reg);

// Writes a bus latch, with its history note when history output is on.
void core_note_bus_latch(int latch, const char* name);
inline void core_set_bus_latch(int latch, uint32_t value, const char* name) {
  uint32_t* w = core_words();
  w[latch] = value & 0xFFFF;
  if (w[CS_HISTORY_ON]) core_note_bus_latch(latch, name);
}

// The system stack (sp bits 0-3 the pointer, bit 4 stack error, bit 5
// underflow). Sources and destinations are state-word indexes; a push
// stores 16 bits of each, a read of pointer 0 gives 0. A negative index
// leaves that half alone.
void ss_push(int high_src, int low_src);
void ss_read(int high_dst, int low_dst);
void ss_decrement();

// Empties the pipeline after a reset or a pc write (core_pipeline.cpp).
void core_flush_pipeline();
