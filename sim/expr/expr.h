// Address and number expressions: the value record every argument and
// operand is parsed into, the one-pass parser and evaluator, the
// fixed-point/floating-point conversions and the error channel shared by
// the command parsers and the assembler.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Value type flags.
enum : uint32_t {
  AV_ONE = 0x1,      // one word: lo
  AV_TWO = 0x2,      // two words: hi:lo
  AV_THREE = 0x4,    // three words: ext:hi:lo, 40 bits
  AV_WORDS = 0x7,
  AV_WRAPPED = 0x8,  // a constant had more digits than 40 bits hold
  AV_LONG = 0x10,    // ">" forcing prefix
  AV_SHORT = 0x20,   // "<"
  AV_XSHORT = 0x40,  // "<<"
  AV_INT = 0x100,
  AV_FLOAT = 0x200,
  AV_COND = 0x2000,  // comparison or logical result, or a flag register
  AV_MEM = 0x4000,   // addr, space and region are valid
  // Fraction width of a one-word value; none set means 16 bits.
  AV_W32 = 0x2000000,
  AV_W24 = 0x4000000,
  AV_W20 = 0x8000000,
  AV_W16 = 0x10000000,
  AV_W12 = 0x20000000,
  AV_W8 = 0x40000000,
  AV_W4 = 0x80000000,
  AV_WIDTHS = 0xFE000000,
};

// Radix codes shared by the default radix, the radix command, the display
// and the streams.
enum : int {
  RADIX_BIN = 0,
  RADIX_DEC = 1,
  RADIX_FRAC = 2,
  RADIX_HEX = 3,
  RADIX_UNS = 4,
  RADIX_STRING = 5,  // streams only
};

// The value of one argument or expression. An integer is a 40-bit two's
// complement number ext:hi:lo (8, 16, 16 bits, each kept within its width).
struct arg_value {
  double fval = 0.0;   // AV_FLOAT, or filled on demand by value_as_double
  uint32_t lo = 0;     // low word; a memory reference's word; readers: start address
  uint32_t hi = 0;     // bits 16-31; readers: end address
  uint32_t ext = 0;    // bits 32-39
  uint32_t addr = 0;   // address named by a memory reference or symbol
  uint32_t space = 0;  // its space code
  uint32_t type = 0;   // AV_* flags
  uint16_t item = 0;   // register index of a breakpoint condition
  uint16_t op = 0;     // its compare operator
  uint16_t region = 0; // memory-map row of addr (or peripheral row)
  uint16_t device = 0;
};

// "None" is an empty result; the parser never leaves a partial value.
using expr_result = std::optional<arg_value>;

// The text cursor: the caller points it at the text; the parser leaves it
// on the first character it did not consume.
extern const char* sv_optr;

// The current error message, shared by the command parsers (their last
// failed check) and the assembler. Null when none.
extern const char* parse_error_text;
// The assembler's word count; set_expr_error marks it failed (-1).
extern int asm_word_count;

// One expression at sv_optr, which must end at the end of the text, ',',
// ')' or ';'.
expr_result parse_expression(uint32_t expr_flags);
// A condition compiled once: the operands and operators its parse applied,
// in that order, run again over the current register values without
// scanning any text. Only constants, registers, "*" and operators compile;
// memory references and symbols do not.
struct binary_op;
enum expr_step_kind : int {
  EXPR_STEP_CONSTANT = 0,
  EXPR_STEP_REGISTER,
  EXPR_STEP_ASM_ADDRESS,
  EXPR_STEP_UNARY,
  EXPR_STEP_BINARY,
};
struct expr_step {
  int kind;
  int row, reg;                   // a register operand
  bool (*unary)(arg_value&);      // a unary operator
  const binary_op* binary;        // a binary operator
  arg_value value;                // a constant
};
using expr_program = std::vector<expr_step>;
constexpr int EXPR_STACK_DEPTH = 16;
// Parses the text once (as parse_expression does, with its effects) and
// records it; false, with the program empty, when it does not compile.
bool compile_expression(const char* text, uint32_t expr_flags, expr_program& program);
// The value the parse of the compiled text would give now; none where it
// would fail (a division by 0 makes its message current, as the parse does).
expr_result run_expression(const expr_program& program, uint32_t expr_flags);

// Assembler address operand: optional "<<", "<" or ">", an integer that
// fits 16 bits (sign-extended).
expr_result parse_address_expr(uint32_t expr_flags);
// Assembler immediate or data operand: optional "<" or ">"; an integer
// must fit 16 bits, a float passes.
expr_result parse_data_expr(uint32_t expr_flags);
// The number readers: an integer whose bits outside limit are all clear
// or all set.
expr_result parse_bounded_expr(uint32_t expr_flags, uint32_t limit);
inline void free_expr_value(expr_result& value) { value.reset(); }

void set_expr_error(const char* message);
// "a: b" composed into the error buffer and made current.
void set_expr_error_text(const char* a, const char* b);

// lo | hi << 16.
inline uint32_t value_combined(const arg_value& value) {
  return (value.lo & 0xFFFF) | (value.hi << 16);
}
// The fixed-point fraction value of an integer (stored in fval), or fval
// of a float. The type is left as it was.
double value_as_double(uint32_t expr_flags, arg_value& value);
// The words of the value from fval by its word count; type unchanged.
void value_from_double(uint32_t expr_flags, arg_value& value);
// The one-word conversion: saturating, rounded half to even. Returns the
// signed fraction word (e.g. -32768 for -1.0); lo receives it masked.
int32_t fraction_to_word(uint32_t expr_flags, arg_value& value);

// An unsigned 48-bit number split by 1,000,000,000 so that it prints in
// decimal as quotient then the remainder in nine digits.
struct decimal_split {
  uint32_t remainder;
  uint32_t quotient;
};
decimal_split split_decimal(uint32_t expr_flags, uint32_t lo, uint32_t hi, uint32_t ext);
decimal_split split_decimal64(uint32_t expr_flags, uint32_t lo, uint32_t hi);

// Fraction width in bits of a one-word value of this type (16 when none).
int value_fraction_width(uint32_t type);
