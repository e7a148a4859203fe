// The two decode stages of the core's pipeline.
//
// Both work on the current device's core words (core_state.h) and are run
// by the cycle engine once per instruction cycle, first core_decode, then
// core_decode_operands once the cycle's addresses are on the buses.
//
// core_decode
//   reads   CS_INSTR_BOUNDARY   the cycle starts a new instruction
//           CS_REPEAT_PASS      ... which is another pass of the repeated
//                               instruction already in decode
//           CS_DEC_CLASS        class word of the word decoded last; bit 0x80
//                               pulls the next word into this instruction
//           CS_PREFETCH, CS_PREFETCH_ADDR
//           CS_IN_FAST_IRQ      the word was fetched from an interrupt vector
//           CS_PIPE_MODE        pipeline mode of this lookup (0, 1, 3)
//           CS_SEQ_CODE         special-sequence row, 0 for none
//           CS_REP_STATE        non-zero while a repeat is in progress
//           CS_REP_ENDING       a repeat ends in this cycle
//           CORE_APASAM         absolute-short base (47-register core)
//   writes  CS_PREV_CLASS       the class word read from CS_DEC_CLASS
//           CS_DECODE, CS_DECODE_ADDR   when a word is taken from prefetch
//           CS_DEC_CLASS, CS_DEC_FLAGS, CS_DEC_FETCH_CTRL,
//           CS_DEC_ATTR_VALUE, CS_DEC_ATTR, CS_DEC_MOVE_FORM,
//           CS_DEC_TIMING_ROW, CS_DEC_TIMING (the 8 op_timing fields),
//           CS_SHORT_IMM
//           CS_PIPE_MODE        0 for a new word, then the row's next mode
//           at a boundary: pc (marked written when it changes; in a run
//           the previous instruction's last cycle has set it already), the
//           device's pc, the pc trace ring; the history line of the
//           instruction just completed goes to core_history_writer
//           the device's illegal-opcode flag, for an illegal word taken in
//           that core_check_prefetch has not checked (CS_PREFETCH_CHECKED,
//           cleared when the word is taken)
//   Each call advances the pipeline mode: call it once per instruction
//   cycle, not again when a contended cycle repeats.
//
// core_decode_operands
//   reads   CS_DECODE, CS_DEC_TIMING, CS_DEC_FLAGS, CS_SHORT_IMM,
//           CS_DECODE_OPERAND   second word, for a second-word immediate
//           CS_PAB, CS_XAB, CS_XAB2   addresses of the cycle's accesses
//           CORE_OMR            (through the memory interface)
//   writes  CS_DEC_XDB_SRC, CS_DEC_XDB_DST, CS_DEC_GDB_SRC, CS_DEC_GDB_DST
//                               6-bit register codes, 0 for none
//                               (move_reg_of_code, core_tables.h)
//           CS_DEC_IMMEDIATE    the immediate the timing row names, or 0
//           CS_SPACE_PROGRAM, CS_SPACE_X1, CS_SPACE_X2
//                               resolved space of each access, 0 for none
//           CS_REQ_PROGRAM, CS_REQ_X1, CS_REQ_X2
//                               the access's BUS_* kind when it goes to
//                               external memory ("pe", "xe"), else 0
//   The program access is the timing row's program read or write when it
//   names one, otherwise the instruction fetch at pab; a cycle that fetches
//   nothing clears CS_REQ_PROGRAM after the call.
#pragma once

#include <cstdint>

void core_decode();
void core_decode_operands();

// The access requests of core_decode_operands alone, for a caller that has
// moved an address after the decode.
void core_decode_requests();
// The short-immediate latch's value for word `w` of class `cls` (what
// core_decode leaves in CS_SHORT_IMM).
uint32_t core_short_immediate(uint16_t w, uint32_t cls);
// The opcode's low byte placed by the word's flag word (what the decode
// takes as the immediate of andi and ori).
uint32_t core_opcode_byte(uint16_t w, uint32_t flags);

// pc := the address of the next instruction (marked written when it
// changes), and the device's pc: the last instruction cycle of an
// instruction names its successor before the instruction ends.
void core_set_next_pc(uint32_t address);
// The opcode just fetched into prefetch starts the next instruction: an
// illegal word marks the device now, at the end of the instruction before
// it, so a run stops with pc on the illegal word.
void core_check_prefetch(bool fast_irq);

// Adds the second word of a two-word instruction to its pc trace entry.
void core_trace_second_word(uint32_t word);

// Writes the execution-history line of pc trace entry `index`; installed
// by the output streams, null while none is.
extern void (*core_history_writer)(uint32_t index);
