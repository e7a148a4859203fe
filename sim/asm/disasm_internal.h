// Shared by the disassembler's decode table, its handlers and its text
// formatter: token codes, the decode state and the helpers the formatter's
// nested modes borrow from the handlers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct dis_ea_info;

// ---------------------------------------------------------------------------
// Tokens. Codes 0 and up index the token-text table; negative codes are
// built by the formatter from the words or the decode state.

enum : int32_t {
  TK_ABS = 1, TK_ADC, TK_ADD, TK_AND, TK_ANDI, TK_ASL, TK_ASL4,
  TK_ASR = 9, TK_ASR4, TK_ASR16,
  TK_B = 13, TK_BFTSTL, TK_BFTSTH, TK_BFSET, TK_BFCLR, TK_BFCHG, TK_BRA, TK_BRK, TK_BS,
  TK_BSR, TK_CHKAAU, TK_CLR, TK_CLR24, TK_CMP, TK_CMPM, TK_DEBUG_CC, TK_DEBUG, TK_DEC,
  TK_DEC24, TK_DIV,
  TK_DMACSS = 34, TK_DMACSU, TK_DMACUU,
  TK_DO = 38, TK_DO_FOREVER, TK_ENDDO, TK_EOR, TK_EXT, TK_ILLEGAL, TK_IMAC, TK_IMPY, TK_INC,
  TK_INC24, TK_J, TK_JMP, TK_JOINB, TK_JS, TK_JSR, TK_LEA, TK_LSL, TK_LSR, TK_MAC, TK_MACR,
  TK_MACUU, TK_MACSU, TK_MOVE, TK_MOVEC, TK_MOVES, TK_MOVEP, TK_MPY, TK_MPYR, TK_MPYSU,
  TK_MPYUU, TK_NEG, TK_NEGC, TK_NORM, TK_NOP, TK_NOT, TK_OR, TK_ORI, TK_REP, TK_REP_CC,
  TK_RESET, TK_RND, TK_ROL, TK_ROR, TK_RTI, TK_RTS,
  TK_SBC = 84, TK_SHFL, TK_SHFR, TK_SUB, TK_SUBL, TK_STOP, TK_SWAP, TK_TFR3, TK_SWI,
  TK_SWI_BARE, TK_TFR, TK_TFR2, TK_T, TK_TST, TK_TST2, TK_WAIT, TK_ZERO,

  TK_INVALID = 102,  // prints "U": the line becomes a data word
  TK_CC = 103,       // + condition code 0-15
  TK_REG = 120,      // + register code
  TK_COMMA = 156,
  TK_SPACE = 157,    // separates the ALU part from the move parts
  TK_IND = 164,      // (rN)      + N
  TK_POSTINC = 168,  // (rN)+     + N
  TK_POSTDEC = 172,  // (rN)-     + N
  TK_POSTN = 176,    // (rN)+nN   + N
  TK_PREDEC = 180,   // -(rN)     + N
  TK_INDEXN = 184,   // (rN+nN)   + N
  TK_LT = 188,       // <
  TK_LTLT = 189,     // <<
  TK_HASH = 190,     // #
  TK_HASH_LT = 191,  // #<
  TK_HASH_GT = 192,  // #>
  TK_GT = 193,       // >
  TK_XMEM = 194,     // x:
  TK_PMEM = 195,     // p:
  TK_LPAREN = 196,
  TK_RPAREN = 197,
  TK_PLUS = 198,
  TK_STAR = 199,
  TK_MINUS = 200,

  TK_IMMEDIATE = -2,    // the immediate text of the decode state
  TK_MASK = -3,         // the bit-mask text of the decode state
  TK_W1 = -4,           // hex of the second word
  TK_REL_LONG = -6,     // >*+e or >*-e, e = second word + 2
  TK_LOOP_END = -8,     // ,*+ and hex of second word + 2
  TK_NEST_PREFIX = -9,  // the second word after an r2-offset prefix
  TK_NEST_TEST = -10,   // the second word as a bit-test mask
  TK_NEST_CHANGE = -12, // the second word as a bit-change mask
};
constexpr std::size_t TOKEN_TEXT_COUNT = 201;
constexpr int32_t TK_SPECIAL_MIN = -12;

// Text of a non-negative token code; empty for codes without one.
const char* token_text(int32_t code);

// Register codes of the register fields and operand tables (token TK_REG +
// code). 38-43 name an ALU destination by how much of it is written.
constexpr int RC_X0 = 0, RC_Y0 = 1, RC_X1 = 2, RC_Y1 = 3, RC_A = 4, RC_B = 5;
constexpr int RC_A0 = 6, RC_B0 = 7, RC_LC = 8, RC_SR = 9, RC_OMR = 10, RC_SP = 11;
constexpr int RC_A1 = 12, RC_B1 = 13, RC_A2 = 14, RC_B2 = 15, RC_R0 = 16, RC_R1 = 17;
constexpr int RC_R2 = 18, RC_R3 = 19, RC_M0 = 20, RC_M1 = 21, RC_M2 = 22, RC_M3 = 23;
constexpr int RC_SSH = 24, RC_SSL = 25, RC_LA = 26, RC_BAD = 27, RC_N0 = 28, RC_N1 = 29;
constexpr int RC_N2 = 30, RC_N3 = 31, RC_MR = 32, RC_CCR = 33, RC_X = 34, RC_Y = 35;
constexpr int RC_A_NOTHING = 38, RC_A_HIGH = 39, RC_A_24 = 40;
constexpr int RC_B_NOTHING = 41, RC_B_HIGH = 42, RC_B_24 = 43;
constexpr int RC_NONE = -11;  // no operand

// ---------------------------------------------------------------------------
// Decode state of one top-level call.

// Access slots and their access-flag bits.
enum : int { ACC_P = 0, ACC_X = 1, ACC_X2 = 2 };

// Access descriptors: how an access address is worked out. The low byte
// carries the register number, the update mode or the accumulator bit.
enum : uint32_t {
  DESC_SHORT = 0x100,       // the value
  DESC_PC_PLUS = 0x200,     // pc + value
  DESC_PC_MINUS = 0x400,    // pc - value
  DESC_LONG_REL = 0x800,    // w1 + pc + 2
  DESC_PC_REG = 0x1000,     // pc + rN
  DESC_LONG_ABS = 0x2000,   // w1
  DESC_LOOP_END = 0x4000,   // w1 + pc + 2
  DESC_REG = 0x8000,        // rN, before its update
  DESC_REG_STEP = 0x10000,  // rN stepped by the mode in bits 3-2, modulo mN
  DESC_REG_POST = 0x20000,  // rN, before its update
  DESC_ACC = 0x40000,       // a1 when bit 0 is set, else b1
  DESC_REG_PRE = 0x80000,   // bit 2 clear: rN + nN; set: rN - 1; modulo mN
  DESC_REG_ALT1 = 0x100000,   // rN
  DESC_REG_ALT2 = 0x1000000,  // rN
  DESC_R2_OFFSET = 0x2000000,  // r2 + value
};

constexpr std::size_t DIS_TOKEN_MAX = 56;
constexpr std::size_t DIS_LINE_MAX = 99;
constexpr std::size_t DIS_NESTED_MAX = 51;

struct dis_state {
  uint32_t access_flags = 0;
  std::array<uint32_t, 3> desc{};
  std::array<uint32_t, 3> value{};
  std::string immediate;  // token TK_IMMEDIATE
  std::string mask;       // token TK_MASK

  // Records an access: flag, descriptor and value.
  void access(int slot, uint32_t descriptor, uint32_t v);
  // Flags an access whose descriptor was set earlier (the r2-offset prefix).
  void flag(int slot);
};

uint32_t access_flag_bit(int slot);

struct token_list {
  std::array<int32_t, DIS_TOKEN_MAX> codes{};
  std::size_t count = 0;
  void push(int32_t code) {
    if (count < codes.size()) codes[count++] = code;
  }
  // A register operand; RC_NONE writes nothing.
  void reg(int code) {
    if (code != RC_NONE) push(TK_REG + code);
  }
};

// "$" and the low 16 bits in lower-case hexadecimal, no leading zeros.
std::string dis_hex(uint32_t v);

// ---------------------------------------------------------------------------
// Decode table.

using dis_handler = void (*)(uint16_t w, dis_state& st, token_list& out);

struct dis_decode_row {
  uint16_t mask;
  uint16_t value;
  dis_handler handler;
};

constexpr std::size_t DIS_DECODE_ROWS = 49;
// Index of the first row that `w` matches; the last row matches anything.
int dis_row_index(uint16_t w);
dis_handler dis_row_handler(int row);

// Address of an access from its descriptor and value; 16 bits.
uint32_t dis_access_address(uint32_t descriptor, uint32_t value, uint32_t w1,
                            const dis_ea_info& ea);
// Modulo address arithmetic of the address units: r stepped by d (minus d
// when `subtract`) under modifier m; 16 bits.
uint32_t dis_modulo_step(uint32_t r, uint32_t d, uint32_t m, bool subtract);

// The tokens of words[0], or with `prefixed` of the instruction in
// words[1] after an r2-offset prefix (the profiler's decode reads them).
void dis_decode_tokens(const uint32_t* words, bool prefixed, dis_state& st, token_list& out);

// ---------------------------------------------------------------------------
// Handler pieces the formatter reuses for the word after an r2-offset prefix.

// The long ALU form of bits 7-0. Writes its tokens and returns the
// destination register code (RC_NONE for "move").
int emit_long_alu(uint8_t bits, token_list& out);
// True when the long ALU form of bits 7-0 is the plain "move".
bool long_alu_is_move(uint8_t bits);
// True when register code `reg` (read from memory or transferred into)
// overlaps the ALU destination code `dest`.
bool alu_dest_conflict(int dest, int reg);
// Registers of the 3-bit fields: x0, y0, x1, y1, a, b, a0, b0.
int reg3(uint32_t field);

// A memory operand ("x:(r0)+", "p:(r2+$5)") as up to six tokens.
struct mem_operand {
  std::array<int32_t, 6> codes{};
  std::size_t count = 0;
};
// reg,mem for a write; mem,reg when `read`.
void emit_move(token_list& out, const mem_operand& mem, int reg, bool read);
