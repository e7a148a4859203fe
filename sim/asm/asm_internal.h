// Shared by the assembler's driver, operand parser, class encoders and
// parallel-move encoder: register numbers, addressing-mode bits, the
// operand record, the per-line state and the field encoders.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// Register numbers of operands.

enum asm_reg : int {
  AR_NONE = -1,
  AR_X = 1, AR_Y, AR_A, AR_A0, AR_A1, AR_A2, AR_B, AR_B0, AR_B1, AR_B2,
  AR_X0, AR_X1, AR_Y0, AR_Y1,
  AR_R0 = 15, AR_R1, AR_R2, AR_R3,
  AR_N0 = 19, AR_N1, AR_N2, AR_N3,
  AR_M0 = 23, AR_M1, AR_M2, AR_M3,
  AR_OMR = 27, AR_SR, AR_LA, AR_LC, AR_SSH, AR_SSL, AR_SP, AR_MR, AR_CCR,
  AR_COUNT = 36,
};

inline bool is_address_reg(int r) { return r >= AR_R0 && r <= AR_R3; }
inline bool is_offset_reg(int r) { return r >= AR_N0 && r <= AR_N3; }
inline bool is_accumulator(int r) { return r == AR_A || r == AR_B; }

// Register classes: the registers an operand may name (class 0: none).
enum : int {
  RCL_NONE = 0, RCL_AB = 1, RCL_XY = 2, RCL_X0Y0 = 3, RCL_XY4 = 4, RCL_TCC = 5,
  RCL_HHH = 6, RCL_ACC_PARTS = 7, RCL_ALU_ADDR = 8, RCL_ALL = 9, RCL_R = 10,
  RCL_N = 11, RCL_M = 12, RCL_CONTROL = 13, RCL_LOGIC = 14, RCL_AB_XY4 = 15,
  RCL_ADD_SRC = 16, RCL_MUL = 17, RCL_HHH_R = 18, RCL_RN = 19, RCL_R0 = 20,
  RCL_X0X1B = 21, RCL_Y0Y1A = 22, RCL_X0X1 = 23, RCL_Y0Y1 = 24, RCL_TFR = 25,
  RCL_SHF1 = 26, RCL_SHF2 = 27,
};
bool reg_in_class(int reg_class, int reg);

// ---------------------------------------------------------------------------
// Addressing modes: the allowed-modes mask and the parsed mode use the same
// bits; a register operand has mode 1.

enum : uint32_t {
  AM_REG = 0x1,
  AM_IND = 0x10,         // (rN)
  AM_POSTINC = 0x20,     // (rN)+
  AM_POSTDEC = 0x40,     // (rN)-
  AM_POSTN = 0x80,       // (rN)+nN
  AM_INDEXN = 0x100,     // (rN+nN)
  AM_PREDEC = 0x200,     // -(rN)
  AM_ACCIND = 0x400,     // (a1), (b1)
  AM_DISP = 0x800,       // (r2+expr)
  AM_IMM_LONG = 0x1000,  // #expr, second word
  AM_IMM_U8 = 0x2000,    // #0..255
  AM_IMM_S8 = 0x4000,    // #-128..127
  AM_IMM_7 = 0x8000,     // #0..127
  AM_ABS_LONG = 0x100000,
  AM_ABS_8 = 0x200000,   // 0..255
  AM_ABS_5 = 0x400000,   // 0..31
  AM_ABS_IO = 0x800000,  // 0xffe0..0xffff
  AM_PCR_LONG = 0x1000000,
  AM_PCR_8 = 0x2000000,
  AM_PCR_6 = 0x4000000,
  AM_PCR_REG = 0x8000000,  // rN

  AM_INDIRECTS = 0xFF0,
  AM_IMMEDIATES = 0xF000,
  AM_ABSOLUTES = 0xF00000,
  AM_PCRELS = 0xF000000,
  AM_POSTS = AM_POSTINC | AM_POSTN,
};

// Memory spaces of an operand's prefix.
enum : int { OPSPACE_NONE = 0, OPSPACE_X = 1, OPSPACE_P = 8 };

// What asm_parse_space allows.
enum : int {
  ALLOW_NONE = 0, ALLOW_X = 1, ALLOW_P = 2, ALLOW_XP = 3, ALLOW_X_OR_NONE = 4,
  ALLOW_P_OR_NONE = 5, ALLOW_ANY = 6,
};

// asm_parse_operand flags.
enum : int {
  OPF_COMMA = 0x1,    // a comma must follow, and is consumed
  OPF_DEST = 0x2,     // a destination register: enters the duplicate check
  OPF_NO_END = 0x4,   // the caller checks what follows
};

struct asm_operand {
  uint32_t mode = 0;
  int space = OPSPACE_NONE;
  uint32_t force = 0;  // AV_LONG, AV_SHORT, AV_XSHORT of the expression
  int32_t value = 0;   // immediates sign-extended; addresses 0..0xffff
  int reg = AR_NONE;
};

// ---------------------------------------------------------------------------
// The mnemonic table.

struct mnemonic_row {
  char name[10];
  uint32_t cls;
  uint32_t flags;
  uint32_t opcode;
};

// Move flags.
enum : uint32_t {
  MF_MOVE = 0x01, MF_MOVEC = 0x02, MF_MOVEI = 0x04, MF_MOVEM = 0x08, MF_MOVEP = 0x10,
  MF_MOVES = 0x20, MF_KINDS = 0x3F, MF_ALU = 0x400, MF_ALU_SUB = 0x600, MF_DEFER = 0x8000,
};

// ---------------------------------------------------------------------------
// Per-line state.

enum field_index : int { FLD_MNEMONIC = 0, FLD_OPERANDS, FLD_XMOVE, FLD_YMOVE, FLD_REST, FLD_COUNT };

// Which dual-move form the class encoder built its word for.
enum short_form_kind : int { SHORT_NONE = 0, SHORT_DUAL_READ, SHORT_LMS };

struct asm_line_state {
  uint32_t address = 0;
  const mnemonic_row* row = nullptr;
  // The encoder record.
  int count = 1;
  uint32_t word0 = 0;
  uint32_t word1 = 0;
  std::string fields[FLD_COUNT];
  const char* pos = nullptr;  // the parse cursor in one field
  uint32_t written = 0;       // destination parts already written
  int alu_dest = AR_NONE;     // accumulator the ALU operation writes
  short_form_kind short_form = SHORT_NONE;
  bool failed = false;
};
extern asm_line_state asm_line;

// Records a message (the line fails); returns false so callers can
// `return asm_fail(...)`.
bool asm_fail(const char* message);
// Points the cursor at the start of a field.
void asm_begin(const std::string& field);
inline bool at_field_end() { return *asm_line.pos == '\0'; }

// ---------------------------------------------------------------------------
// Operand parsing.

bool asm_parse_operand(int flags, asm_operand& op, int reg_class, uint32_t mask);
// A register name at `text` (not followed by a letter, digit or "_"):
// its number, the cursor moved past it; AR_NONE otherwise.
int asm_parse_register(const char*& text);
bool asm_parse_space(asm_operand& op, int allowed);
// A comma at the cursor, consumed; else "Address mode syntax error -
// expected comma".
bool asm_expect_comma();
// The field ends at the cursor; else "Address mode syntax error - extra
// characters".
bool asm_expect_end();
// Parts of a register in the destination check.
uint32_t reg_parts(int reg);
// Replaces the parts written for `from` by those of `to` (operations that
// write part of an accumulator).
void narrow_written(int from, uint32_t to_parts);

// ---------------------------------------------------------------------------
// Field encoders: the value of a field for a register, or a message
// ("F encoding failure" ...) and 0.

enum field_code : int {
  FC_F, FC_TT, FC_DD, FC_E, FC_HHH, FC_AA, FC_NN, FC_FF, FC_GG, FC_SS, FC_DDDDD, FC_HH,
};
uint32_t field_value(field_code field, int reg);
// The addressing-mode fields.
uint32_t field_mm(uint32_t mode);  // (rN) 0, (rN)+ 1, (rN)- 2, (rN)+nN 3
uint32_t field_m(uint32_t mode);   // (rN)+ or (rN)- 0, (rN)+nN 1
uint32_t field_q(uint32_t mode);   // (rN+nN) 0, -(rN) 1
// Clears `width` bits at `shift` of the word and puts in the value's low
// bits.
void insert_field(uint32_t& word, int shift, int width, uint32_t value);

// Multiply source pairs.
enum pair_form : int { PAIR_LONG, PAIR_SHORT, PAIR_SHIFT, PAIR_SHORT_ORDERED };
// The pair code plus 8 for destination b, or -1 after a message.
int mulreg(pair_form form, int s1, int s2, int dest);

// ---------------------------------------------------------------------------
// Encoders.

using class_encoder = int (*)(const mnemonic_row& row);
// Indexed by class code 0-57; null where no encoder serves the code.
class_encoder class_encoder_for(uint32_t cls);

// Encodes the X and Y move fields under the move flags; nonzero on
// success.
int asm_encode_moves(uint32_t flags);

// Class encoders the parallel-move encoder also uses.
int encode_alu_add(const mnemonic_row& row);
