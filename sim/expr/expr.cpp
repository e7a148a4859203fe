// The expression parser: operands (constants, registers, memory references,
// symbols, "*") joined by binary operators with C precedence, evaluated in
// one pass; and the error channel shared with the assembler.
#include "sim/expr/expr.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/expr/expr_ops.h"
#include "sim/expr/symbols.h"
#include "sim/expr/valfmt.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"

const char* sv_optr = nullptr;
const char* parse_error_text = nullptr;
int asm_word_count = 0;

namespace {

char error_buffer[256];

// The flags of the parse in progress.
uint32_t parse_flags = 0;
// Set while the address of a memory reference is read: a register or
// memory word shown as a fraction is then its plain word, since the radix
// is only how a value is shown.
bool address_view = false;

// While a condition is compiled: the steps the parse applies, in order;
// cleared `record_ok` when it reads something a step cannot read again.
expr_program* recording = nullptr;
bool record_ok = false;
int record_depth = 0;

void record(const expr_step& step, int depth_change) {
  if (recording == nullptr) return;
  recording->push_back(step);
  record_depth += depth_change;
  if (record_depth > EXPR_STACK_DEPTH) record_ok = false;
}

constexpr uint32_t REG_TYPE_CLEARED = 0x7FFF8;  // access bits 3-18
constexpr uint32_t ATTR_FLAG_REGISTER = 0x2000000;
constexpr uint32_t ATTR_FRACTION_DISPLAY = 0x2000;
constexpr uint32_t SPACE_ABSOLUTE = 4;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_alnum(char c) { return is_alpha(c) || is_digit(c); }
bool is_name_start(char c) { return is_alpha(c) || c == '_'; }
bool is_binary_digit(char c) { return c == '0' || c == '1'; }

int hex_digit(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void skip_blanks() {
  while (is_blank(*sv_optr)) ++sv_optr;
}

int default_radix() { return cur_state != nullptr ? cur_state->default_radix : RADIX_DEC; }

expr_result fail(const char* message) {
  set_expr_error(message);
  return std::nullopt;
}

uint32_t words_for_bits(int bits) {
  if (bits <= 16) return AV_ONE;
  if (bits <= 32) return AV_TWO;
  return AV_THREE;
}

// A memory word of a 16-bit row, as a float when its address shows as a
// fraction.
void apply_memory_radix(arg_value& v) {
  if (address_view || memory_radix_at(v.region, v.addr) != RADIX_FRAC) return;
  v.type &= ~AV_INT;
  value_as_double(parse_flags, v);
  v.type |= AV_FLOAT;
}

expr_result parse_operand();
expr_result parse_binary(int limit);

// --- Constants ------------------------------------------------------------

// Re-reads the text from the start of the digits as a floating number.
expr_result read_float(const char* digits) {
  double x = 0.0;
  const char* end = digits + std::strlen(digits);
  const auto [ptr, ec] = std::from_chars(digits, end, x, std::chars_format::general);
  if (ec == std::errc::invalid_argument) {
    sv_optr = digits;
    return fail("Invalid expression");
  }
  // Beyond a double's range: infinity or zero, as strtod gives them (the
  // text matched is plain digits, ".", "e" and sign, the same in any locale
  // this program runs in).
  if (ec == std::errc::result_out_of_range) x = std::strtod(std::string(digits, ptr).c_str(), nullptr);
  sv_optr = ptr;
  arg_value v;
  v.fval = x;
  v.type = AV_FLOAT | AV_THREE;
  return v;
}

expr_result read_binary(bool prefixed) {
  const char* digits = sv_optr;
  uint64_t bits = 0;
  int count = 0;
  bool wrapped = false;
  for (; is_binary_digit(*sv_optr); ++sv_optr, ++count) {
    wrapped = wrapped || (bits >> 39) != 0;
    bits = (bits << 1 | static_cast<uint64_t>(*sv_optr - '0')) & VALUE_MASK40;
  }
  if (!prefixed && *sv_optr == '.') return read_float(digits);
  // A decimal digit cannot continue a binary number.
  if (is_digit(*sv_optr)) {
    sv_optr = digits;
    return fail("Invalid expression");
  }
  arg_value v;
  set_value_u40(v, bits);
  v.type = AV_INT | words_for_bits(count) | (wrapped ? AV_WRAPPED : 0u);
  return v;
}

expr_result read_hex(bool prefixed) {
  const char* digits = sv_optr;
  uint64_t bits = 0;
  int count = 0;
  bool wrapped = false;
  for (int d = hex_digit(*sv_optr); d >= 0; d = hex_digit(*++sv_optr), ++count) {
    wrapped = wrapped || (bits >> 36) != 0;
    bits = (bits << 4 | static_cast<uint64_t>(d)) & VALUE_MASK40;
  }
  if (count == 0) return fail("Hex constant expected");
  if (!prefixed && *sv_optr == '.') return read_float(digits);
  arg_value v;
  set_value_u40(v, bits);
  v.type = AV_INT | words_for_bits(count * 4) | (wrapped ? AV_WRAPPED : 0u);
  return v;
}

expr_result read_decimal() {
  const char* digits = sv_optr;
  if (!is_digit(*sv_optr)) return fail("Invalid expression");
  // The low 40 bits are kept; a number beyond them is marked.
  uint64_t n = 0;
  bool wrapped = false;
  for (; is_digit(*sv_optr); ++sv_optr) {
    n = n * 10 + static_cast<uint64_t>(*sv_optr - '0');
    wrapped = wrapped || n > VALUE_MASK40;
    n &= VALUE_MASK40;
  }
  if (*sv_optr == '.' || *sv_optr == 'e') return read_float(digits);
  arg_value v;
  set_value_u40(v, n);
  v.type = AV_INT | (v.ext != 0 ? AV_THREE : v.hi != 0 ? AV_TWO : AV_ONE) | (wrapped ? AV_WRAPPED : 0u);
  return v;
}

expr_result parse_constant() {
  const int radix = default_radix();
  if (*sv_optr == '.' && is_digit(sv_optr[1])) return read_float(sv_optr);
  if (*sv_optr == '%') {
    ++sv_optr;
    if (is_binary_digit(*sv_optr)) return read_binary(true);
  } else if (radix == RADIX_BIN && is_binary_digit(*sv_optr)) {
    return read_binary(false);
  }
  if (*sv_optr == '$') {
    ++sv_optr;
    return read_hex(true);
  }
  if (*sv_optr == '`') {
    ++sv_optr;
    return read_decimal();
  }
  if (radix == RADIX_HEX) return read_hex(false);
  if ((radix == RADIX_DEC || radix == RADIX_FRAC || radix == RADIX_UNS) && is_digit(*sv_optr)) {
    return read_decimal();
  }
  return fail("Invalid expression");
}

// --- Memory references ----------------------------------------------------

// "x:" and the like; none when the text names no memory-map row.
int memory_row_prefix() {
  if (cur_type == nullptr) return -1;
  int length = 0;
  while (length < 5 && is_alnum(sv_optr[length])) ++length;
  if (length < 1 || length > 4 || sv_optr[length] != ':') return -1;
  const std::string name(sv_optr, static_cast<std::size_t>(length));
  for (int r = 0; r < cur_type->region_count; ++r) {
    if (str_icmp(name.c_str(), cur_type->regions[r].name) == 0) {
      sv_optr += length + 1;
      return r;
    }
  }
  return -1;
}

expr_result parse_memory_reference(int row_index) {
  const bool outer_view = address_view;
  address_view = true;
  expr_result where = parse_operand();
  address_view = outer_view;
  if (!where) return std::nullopt;
  if (where->type & AV_FLOAT) return fail("Expression result must be integer");
  const mem_region& row = cur_type->regions[row_index];
  arg_value v;
  v.addr = value_combined(*where) & row.addr_mask;
  v.space = static_cast<uint32_t>(row.space);
  v.region = static_cast<uint16_t>(row_index);
  uint32_t word = 0;
  if (cur_type->mem != nullptr) cur_type->mem->read_word(row.space, v.addr, &word);
  v.lo = word & 0xFFFF;
  v.type = row.format | AV_MEM | AV_INT;
  apply_memory_radix(v);
  return v;
}

// --- Registers ------------------------------------------------------------

// The name at the cursor: letters, digits, "_" and ".", where ".." ends it.
std::string scan_name() {
  const char* p = sv_optr;
  while (is_alnum(*p) || *p == '_' || (*p == '.' && p[1] != '.')) ++p;
  return std::string(sv_optr, p);
}

// The value an operand naming register reg of row `row` has, from its words.
arg_value register_value(int row, int reg, const uint32_t* words) {
  const reg_desc& desc = cur_type->periphs[row].cls->regs[reg];
  arg_value v;
  v.lo = words[0] & 0xFFFF;
  v.hi = words[1] & 0xFFFF;
  v.ext = words[2] & 0xFF;
  v.type = (desc.access & ~REG_TYPE_CLEARED) | AV_INT;
  if ((v.type & AV_WORDS) == AV_ONE && (v.type & AV_W32)) {
    v.lo = words[0] & 0xFFFF;
    v.hi = words[0] >> 16 & 0xFFFF;
    v.ext = 0;
    v.type = (v.type & ~AV_WORDS) | AV_TWO;
  }
  const uint32_t attr = periph_attrs(row)[reg];
  if (attr & ATTR_FLAG_REGISTER) {
    v.type |= AV_COND;
  } else if ((attr & ATTR_FRACTION_DISPLAY) && !address_view) {
    value_as_double(parse_flags, v);
    v.type = (v.type & ~AV_INT) | AV_FLOAT;
  }
  return v;
}

// none with no message when the name is not a register of the device.
expr_result parse_register(bool* found) {
  *found = false;
  if (cur_type == nullptr || !is_name_start(*sv_optr)) return std::nullopt;
  const std::string name = scan_name();
  int row = 0, reg = 0;
  if (!lookup_register(cur_device, name.c_str(), &row, &reg)) return std::nullopt;
  uint32_t words[3] = {0, 0, 0};
  if (!read_register(cur_device, row, reg, words)) return std::nullopt;
  *found = true;
  sv_optr += name.size();
  record({EXPR_STEP_REGISTER, row, reg, nullptr, nullptr, {}}, 1);
  return register_value(row, reg, words);
}

// --- Symbols and source lines ---------------------------------------------

bool symbol_may_start() {
  return *sv_optr == '@' || (is_name_start(*sv_optr) && device_has_symbols());
}

// The name runs over letters, digits, "_" and "." (".." ends it); at "@" it
// goes on over letters, digits and "_" (file@line, section@label).
std::string scan_symbol_name() {
  const char* p = sv_optr;
  while (is_alnum(*p) || *p == '_' || (*p == '.' && p[1] != '.')) ++p;
  if (*p == '@') {
    ++p;
    while (is_alnum(*p) || *p == '_') ++p;
  }
  return std::string(sv_optr, p);
}

expr_result symbol_in_memory(arg_value v) {
  if (v.space >= static_cast<uint32_t>(SPACE_CODE_COUNT)) return fail("Invalid expression");
  const int row_index = find_memory_region(static_cast<int>(v.space), v.addr);
  const mem_region& row = cur_type->regions[row_index];
  v.region = static_cast<uint16_t>(row_index);
  if (*sv_optr == '+' || *sv_optr == '-') {
    const bool add = *sv_optr == '+';
    ++sv_optr;
    const char* at = sv_optr;
    expr_result offset = parse_operand();
    if (!offset) {
      sv_optr = at;
      return fail("Address offset expected");
    }
    v.addr = add ? v.addr + offset->lo : v.addr - offset->lo;
  }
  const uint32_t outside = v.addr & ~row.addr_mask;
  if (outside != 0 && outside != ~row.addr_mask) return fail("Address too large");
  v.addr &= row.addr_mask;
  v.lo = v.addr & 0xFFFF;
  v.hi = 0;
  v.ext = 0;
  v.type = row.format | AV_MEM | AV_INT;
  apply_memory_radix(v);
  return v;
}

// none with no message when the name is neither symbol nor source line.
expr_result parse_symbol(bool* found) {
  *found = false;
  if (cur_type == nullptr || !symbol_may_start()) return std::nullopt;
  const char* start = sv_optr;
  if (*sv_optr == '@') ++sv_optr;
  const std::string name = scan_symbol_name();
  arg_value v;
  if (name.empty() || (!lookup_symbol_value(name.c_str(), &v) &&
                       !lookup_source_line(name.c_str(), &v))) {
    // A name behind "@" was meant as a line: the "@" is not read as a number.
    sv_optr = start;
    return std::nullopt;
  }
  *found = true;
  sv_optr += name.size();
  if (v.space != SPACE_ABSOLUTE) return symbol_in_memory(v);
  v.lo = v.addr & 0xFFFF;
  const bool negative = (v.addr & 0x8000) != 0;
  v.hi = negative ? 0xFFFF : 0;
  v.ext = negative ? 0xFF : 0;
  v.type = AV_ONE | AV_INT | AV_W16;
  return v;
}

// --- Operands and operators -----------------------------------------------

arg_value asm_address_value() {
  arg_value v;
  v.lo = cur_state != nullptr ? (cur_state->asm_address & 0xFFFF) : 0;
  v.type = AV_ONE | AV_INT;
  return v;
}

expr_result parse_unary(bool (*apply)(arg_value&)) {
  ++sv_optr;
  expr_result v = parse_operand();
  if (!v || !apply(*v)) return std::nullopt;
  record({EXPR_STEP_UNARY, 0, 0, apply, nullptr, {}}, 0);
  return v;
}

// Parentheses and prefix operators recurse: a line of thousands of "("
// would use up the stack.
constexpr int NESTING_MAX = 256;
int nesting = 0;

struct nesting_scope {
  nesting_scope() { ++nesting; }
  ~nesting_scope() { --nesting; }
  nesting_scope(const nesting_scope&) = delete;
  nesting_scope& operator=(const nesting_scope&) = delete;
};

expr_result parse_operand() {
  const nesting_scope scope;
  if (nesting > NESTING_MAX) return fail("Expression nested too deeply");
  skip_blanks();
  switch (*sv_optr) {
    case '+':
      ++sv_optr;
      return parse_operand();
    case '-':
      return parse_unary(apply_negate);
    case '~':
      return parse_unary(apply_complement);
    case '!':
      return parse_unary(apply_logical_not);
    case '(': {
      ++sv_optr;
      expr_result v = parse_binary(EXPR_TOP_LEVEL);
      if (!v) return std::nullopt;
      skip_blanks();
      if (*sv_optr != ')') return fail("Missing ')' in expression");
      ++sv_optr;
      return v;
    }
    case '\0':
      return fail("Invalid expression");
    default:
      break;
  }

  const int row = memory_row_prefix();
  if (row >= 0) {
    record_ok = false;
    return parse_memory_reference(row);
  }

  const bool prefixed = str_nicmp(sv_optr, "reg:", 4) == 0;
  if (prefixed) sv_optr += 4;
  bool found = false;
  expr_result reg = parse_register(&found);
  if (found) return reg;
  if (prefixed) return fail("Invalid register name");

  expr_result symbol = parse_symbol(&found);
  if (found) {
    record_ok = false;
    return symbol;
  }

  if (*sv_optr == '*') {
    ++sv_optr;
    record({EXPR_STEP_ASM_ADDRESS, 0, 0, nullptr, nullptr, {}}, 1);
    return asm_address_value();
  }
  expr_result constant = parse_constant();
  if (constant) record({EXPR_STEP_CONSTANT, 0, 0, nullptr, nullptr, *constant}, 1);
  return constant;
}

// Precedence climbing: operators binding tighter than `limit` join here.
expr_result parse_binary(int limit) {
  expr_result left = parse_operand();
  if (!left) return std::nullopt;
  for (;;) {
    skip_blanks();
    const binary_op* op = scan_binary_operator(sv_optr);
    if (op == nullptr || op->level >= limit) return left;
    sv_optr += op->length;
    expr_result right = parse_binary(op->level);
    if (!right) return std::nullopt;
    if (!op->apply(*left, *right)) return std::nullopt;
    record({EXPR_STEP_BINARY, 0, 0, nullptr, op, {}}, -1);
  }
}

// The cursor at blanks and an optional forcing prefix; returns its flag.
uint32_t forcing_prefix(bool allow_xshort, bool allow_short_long) {
  skip_blanks();
  if (allow_xshort && sv_optr[0] == '<' && sv_optr[1] == '<') {
    sv_optr += 2;
    return AV_XSHORT;
  }
  if (!allow_short_long) return 0;
  if (*sv_optr == '<') {
    ++sv_optr;
    return AV_SHORT;
  }
  if (*sv_optr == '>') {
    ++sv_optr;
    return AV_LONG;
  }
  return 0;
}

// Its bits outside `limit` all clear or all set.
bool fits_limit(const arg_value& v, uint32_t limit) {
  const uint32_t outside = value_combined(v) & ~limit;
  return outside == 0 || outside == ~limit;
}

}  // namespace

void set_expr_error(const char* message) {
  parse_error_text = message;
  asm_word_count = -1;
}

void set_expr_error_text(const char* a, const char* b) {
  std::snprintf(error_buffer, sizeof error_buffer, "%s: %s", a ? a : "", b ? b : "");
  set_expr_error(error_buffer);
}

expr_result parse_expression(uint32_t expr_flags) {
  if (sv_optr == nullptr) return fail("sv_optr pointing to NULL address");
  parse_flags = expr_flags;
  address_view = false;
  skip_blanks();
  if (*sv_optr == '\0') return fail("Missing expression");
  expr_result v = parse_binary(EXPR_TOP_LEVEL);
  if (!v) return std::nullopt;
  skip_blanks();
  const char c = *sv_optr;
  if (c != '\0' && c != ',' && c != ')' && c != ';') {
    return fail("Extra characters beyond expression");
  }
  return v;
}

bool compile_expression(const char* text, uint32_t expr_flags, expr_program& program) {
  program.clear();
  recording = &program;
  record_ok = true;
  record_depth = 0;
  sv_optr = text;
  const bool parsed = parse_expression(expr_flags).has_value();
  recording = nullptr;
  if (!parsed || !record_ok || record_depth != 1) program.clear();
  return !program.empty();
}

expr_result run_expression(const expr_program& program, uint32_t expr_flags) {
  parse_flags = expr_flags;
  std::array<arg_value, EXPR_STACK_DEPTH> stack;
  std::size_t n = 0;
  for (const expr_step& step : program) {
    switch (step.kind) {
      case EXPR_STEP_CONSTANT:
        stack[n++] = step.value;
        break;
      case EXPR_STEP_REGISTER: {
        uint32_t words[3] = {0, 0, 0};
        if (!read_register(cur_device, step.row, step.reg, words)) return std::nullopt;
        stack[n++] = register_value(step.row, step.reg, words);
        break;
      }
      case EXPR_STEP_ASM_ADDRESS:
        stack[n++] = asm_address_value();
        break;
      case EXPR_STEP_UNARY:
        if (!step.unary(stack[n - 1])) return std::nullopt;
        break;
      case EXPR_STEP_BINARY:
        --n;
        if (!step.binary->apply(stack[n - 1], stack[n])) return std::nullopt;
        break;
      default:
        return std::nullopt;
    }
  }
  return stack[0];
}

expr_result parse_address_expr(uint32_t expr_flags) {
  if (sv_optr == nullptr) return fail("sv_optr pointing to NULL address");
  const uint32_t force = forcing_prefix(true, true);
  expr_result v = parse_expression(expr_flags);
  if (!v) return std::nullopt;
  if (v->type & AV_FLOAT) return fail("Expression result must be integer");
  if (!fits_limit(*v, 0xFFFF)) return fail("Expression result too large");
  v->type |= force;
  return v;
}

expr_result parse_data_expr(uint32_t expr_flags) {
  if (sv_optr == nullptr) return fail("sv_optr pointing to NULL address");
  const uint32_t force = forcing_prefix(false, true);
  expr_result v = parse_expression(expr_flags);
  if (!v) return std::nullopt;
  if (!(v->type & AV_FLOAT) && !fits_limit(*v, 0xFFFF)) {
    return fail("Expression result too large");
  }
  v->type |= force;
  return v;
}

expr_result parse_bounded_expr(uint32_t expr_flags, uint32_t limit) {
  expr_result v = parse_expression(expr_flags);
  if (!v) return std::nullopt;
  if (v->type & AV_FLOAT) return fail("Expression result must be integer");
  if (!fits_limit(*v, limit)) return fail("Expression result too large");
  return v;
}
