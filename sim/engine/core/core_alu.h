// The data ALU: operations on the 40-bit accumulators with their condition
// codes, the decoding of an opcode into an operation record, the bit-field
// tests, and the moves between registers and the 16-bit data buses.
//
// Everything works on the current device's core words (core_state.h): the
// operation record CS_ALU_OP..CS_ALU_NEGATE and the ALU latches.
//
// - `core_alu*.cpp`: every data ALU operation as a small function named after its mnemonic over
//   40-bit accumulators in `uint64_t` with explicit masking; operand decoding; bus moves with
//   limiting and stack effects.
#pragma once

#include <cstdint>

// Handler indexes, in table order.
enum alu_op_code : int {
  ALU_OP_NONE = 0, ALU_OP_ABS, ALU_OP_ADC, ALU_OP_ADD, ALU_OP_AND,
  ALU_OP_ASL, ALU_OP_ASL4, ALU_OP_ASR, ALU_OP_ASR4, ALU_OP_ASR16,
  ALU_OP_CLR, ALU_OP_CLR24, ALU_OP_CMP, ALU_OP_CMPM, ALU_OP_DEC,
  ALU_OP_DEC24, ALU_OP_DIV, ALU_OP_DMACSS, ALU_OP_DMACSU, ALU_OP_DMACUU,
  ALU_OP_EOR, ALU_OP_EXT, ALU_OP_IMAC, ALU_OP_IMPY, ALU_OP_INC,
  ALU_OP_INC24, ALU_OP_LSL, ALU_OP_LSR, ALU_OP_MAC, ALU_OP_MACSU,
  ALU_OP_MACUU, ALU_OP_MACR, ALU_OP_MOVE, ALU_OP_MPY, ALU_OP_MPYSU,
  ALU_OP_MPYUU, ALU_OP_MPYR, ALU_OP_NEG, ALU_OP_NEGC, ALU_OP_NORM,
  ALU_OP_NOT, ALU_OP_OR, ALU_OP_RND, ALU_OP_ROL, ALU_OP_ROR,
  ALU_OP_SBC, ALU_OP_SUB, ALU_OP_SUBL, ALU_OP_SWAP, ALU_OP_TFR,
  ALU_OP_TRANSFER, ALU_OP_TST, ALU_OP_TST2, ALU_OP_ZERO, ALU_OP_SHFL,
  ALU_OP_SHFR,
  ALU_OP_COUNT = 56,
};

// The operation an opcode names (operand codes: register numbers, ALU_A,
// ALU_B, ALU_X, ALU_Y or ALU_NONE from core_state.h).
struct alu_record {
  int op = ALU_OP_NONE;
  int commit = 1;
  int src1 = -2;
  int src2 = -2;
  int dest = -2;
  int negate = 0;
};

// Mnemonic of a handler ("" for the three without one).
const char* alu_op_name(int op);

// Decodes an opcode's data-ALU operation.
alu_record alu_decode(uint32_t opcode);
// The same, written into the current core's operation record.
void alu_decode_operands(uint32_t opcode);

// Runs handler CS_ALU_OP in phase CS_ALU_COMMIT (1 loads the operand
// latches, 2 computes and writes back).
void alu_dispatch();
// Both phases at once, as the two calls leave the registers, sr and their
// marks (the latches are the operation's own; a pure move changes
// nothing). For a caller with history output off: no latch is noted.
void alu_run_both();
// The same for the operation given as a record's fields (op, src1, src2,
// dest, negate), leaving the record's words alone where it can: clr and
// the multiplies into an accumulator run from locals.
void alu_run_record(int op, int src1, int src2, int dest, int negate);

// The normalize instruction run directly: accumulator from opcode bit 3,
// address register from bits 0-1.
void alu_norm(uint32_t opcode);

// Bit-field test on the operand latch, steered by the instruction's second
// word; only C of sr changes.
void core_bit_test(uint32_t second_word);

// Moves a register (number 0-46, or any other core word such as the
// short-immediate latch) onto a bus latch (CS_XDB, CS_GDB, ...), with the
// accumulators scaled and limited and ssh popping the stack.
void core_reg_to_bus(int reg, int bus);
// Writes a bus latch into a register; ssh pushes the stack.
void core_bus_to_reg(int reg, int bus);
