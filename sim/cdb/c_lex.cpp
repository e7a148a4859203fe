// The C expression lexer: longest match over the constant, register, name
// and operator rules, earlier rules winning ties.
#include "sim/cdb/c_lex.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "sim/cdb/c_scope.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"

namespace {

struct keyword {
  std::string_view text;
  int code;
};
// Sorted for the binary search.
constexpr std::array<keyword, 32> keywords{{
    {"auto", 257},     {"break", 289},  {"case", 279},     {"char", 263},     {"const", 272},
    {"continue", 288}, {"default", 280}, {"do", 285},      {"double", 268},   {"else", 282},
    {"enum", 277},     {"extern", 260}, {"float", 267},    {"for", 286},      {"goto", 287},
    {"if", 281},       {"int", 265},    {"long", 266},     {"register", 258}, {"return", 290},
    {"short", 264},    {"signed", 269}, {"sizeof", 312},   {"static", 259},   {"struct", 275},
    {"switch", 283},   {"typedef", 261}, {"union", 276},   {"unsigned", 270}, {"void", 262},
    {"volatile", 273}, {"while", 284},
}};
static_assert(std::is_sorted(keywords.begin(), keywords.end(),
                             [](const keyword& a, const keyword& b) { return a.text < b.text; }));

// Operators in rule order; three-character ones are found before their prefixes.
constexpr std::array<keyword, 22> operators{{
    {"->", 313}, {"++", 310}, {"--", 311}, {"<<", 308}, {">>", 309}, {"<=", 306}, {">=", 307},
    {"==", 304}, {"!=", 305}, {"&&", 303}, {"||", 302}, {"*=", 292}, {"/=", 293}, {"%=", 294},
    {"+=", 295}, {"-=", 296}, {"<<=", 297}, {">>=", 298}, {"&=", 299}, {"^=", 300}, {"|=", 301},
    {"...", 278},
}};

constexpr std::size_t TEXT_MAX = 255;

std::string input;
std::size_t pos = 0;
std::string token_text;
c_token_value token_value;
int error_pos = 0;

bool is_octal(char c) { return c >= '0' && c <= '7'; }
bool is_hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool is_alpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
char at(std::size_t i) { return i < input.size() ? input[i] : '\0'; }

// Length of an integer suffix at i: at most one u and one l, either order.
std::size_t suffix_length(std::size_t i) {
  const auto u = [](char c) { return c == 'u' || c == 'U'; };
  const auto l = [](char c) { return c == 'l' || c == 'L'; };
  if (u(at(i))) return l(at(i + 1)) ? 2 : 1;
  if (l(at(i))) return u(at(i + 1)) ? 2 : 1;
  return 0;
}

// Longest integer match at pos: its length, base and digit span.
struct integer_match {
  std::size_t length = 0, digits_from = 0, digits_to = 0;
  int base = 10;
};
integer_match integer_at(std::size_t i) {
  integer_match m;
  if (at(i) == '0' && at(i + 1) == 'x' && is_hex(at(i + 2))) {
    std::size_t e = i + 2;
    while (is_hex(at(e))) ++e;
    m = {e - i, i + 2, e, 16};
  } else if (at(i) == '0') {
    std::size_t e = i + 1;
    while (is_octal(at(e))) ++e;
    m = {e - i, i + 1, e, 8};
  } else if (is_digit(at(i))) {
    std::size_t e = i;
    while (is_digit(at(e))) ++e;
    m = {e - i, i, e, 10};
  } else {
    return m;
  }
  m.length += suffix_length(i + m.length);
  return m;
}

std::size_t float_at(std::size_t i) {
  std::size_t e = i;
  while (is_digit(at(e))) ++e;
  const std::size_t whole = e - i;
  bool point = false;
  if (at(e) == '.') {
    point = true;
    ++e;
    const std::size_t f = e;
    while (is_digit(at(e))) ++e;
    if (whole == 0 && e == f) return 0;
  } else if (whole == 0) {
    return 0;
  }
  bool exponent = false;
  if (at(e) == 'e' || at(e) == 'E') {
    std::size_t x = e + 1;
    if (at(x) == '+' || at(x) == '-') ++x;
    if (is_digit(at(x))) {
      while (is_digit(at(x))) ++x;
      e = x;
      exponent = true;
    }
  }
  if (!point && !exponent) return 0;
  if (at(e) == 'f' || at(e) == 'F' || at(e) == 'l' || at(e) == 'L') ++e;
  return e - i;
}

// A character constant at i: its length (0 when none) and value.
std::size_t character_at(std::size_t i, int& value) {
  if (at(i) != '\'') return 0;
  std::size_t e = i + 1;
  bool first = true;
  while (e < input.size() && at(e) != '\'') {
    // Long escapes keep the low 32 bits of their value.
    uint32_t v = 0;
    if (at(e) == '\\') {
      const char c = at(e + 1);
      if (c == '\0') return 0;
      e += 2;
      switch (c) {
        case 'a': v = 7; break;
        case 'b': v = 8; break;
        case 'f': v = 12; break;
        case 'n': v = 10; break;
        case 'r': v = 13; break;
        case 't': v = 9; break;
        case 'v': v = 11; break;
        case 'x':
          while (is_hex(at(e)))
            v = v * 16 + static_cast<uint32_t>(is_digit(at(e)) ? at(e) - '0' : std::tolower(at(e)) - 'a' + 10), ++e;
          break;
        default:
          if (is_octal(c)) {
            v = static_cast<uint32_t>(c - '0');
            while (is_octal(at(e))) v = v * 8 + static_cast<uint32_t>(at(e++) - '0');
          } else {
            v = static_cast<unsigned char>(c);
          }
      }
    } else {
      v = static_cast<uint32_t>(static_cast<signed char>(at(e)));
      ++e;
    }
    if (first) value = static_cast<int>(v);
    first = false;
  }
  if (first || at(e) != '\'') return 0;
  return e + 1 - i;
}

std::size_t register_at(std::size_t i) {
  if (at(i) != '$' || !is_alpha(at(i + 1))) return 0;
  std::size_t e = i + 2;
  while (is_alpha(at(e)) || is_digit(at(e)) || at(e) == '.') ++e;
  return e - i;
}

std::size_t name_at(std::size_t i) {
  if (!is_alpha(at(i)) && at(i) != '_') return 0;
  std::size_t e = i + 1;
  while (is_alpha(at(e)) || is_digit(at(e)) || at(e) == '_') ++e;
  return e - i;
}

std::size_t operator_at(std::size_t i, int& code) {
  std::size_t best = 0;
  for (const keyword& op : operators) {
    if (op.text.size() > best && input.compare(i, op.text.size(), op.text) == 0) {
      best = op.text.size();
      code = op.code;
    }
  }
  return best;
}

c_node* leaf(uint32_t type) {
  c_node* n = c_node_type(type);
  return n;
}

int integer_token(const integer_match& m) {
  const c_family_words& f = *c_family;
  const int shift = f.width;
  const uint64_t two_words = shift == 32 ? ~uint64_t{0} : (uint64_t{1} << (2 * shift)) - 1;
  uint64_t acc = 0;
  for (std::size_t k = m.digits_from; k < m.digits_to; ++k) {
    const char c = input[k];
    const int d = is_digit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
    acc = (acc * static_cast<uint64_t>(m.base) + static_cast<uint64_t>(d)) & two_words;
  }
  const uint32_t lo = static_cast<uint32_t>(acc) & f.mask;
  const uint32_t hi = static_cast<uint32_t>(acc >> shift) & f.mask;
  const std::string_view suffix(input.data() + m.digits_to, m.length - (m.digits_to - pos));
  const bool l_suffix = suffix.find_first_of("lL") != std::string_view::npos;
  const bool u_suffix = suffix.find_first_of("uU") != std::string_view::npos;
  const bool is_long = hi != 0 || l_suffix;
  const bool is_unsigned = u_suffix || (m.base != 10 && ((is_long ? hi : lo) & f.sign) != 0);
  c_node* n = leaf(is_long ? (is_unsigned ? CT_ULONG : CT_LONG) : (is_unsigned ? CT_UINT : CT_INT));
  n->value.v[3] = lo;
  n->value.v[4] = hi;
  token_value.node = n;
  return CT_INTEGER;
}

int float_token(std::size_t length) {
  const std::string text = input.substr(pos, length);
  const char last = text.back();
  const bool single = last == 'f' || last == 'F';
  const double number = std::strtod(text.c_str(), nullptr);
  c_value v;
  v.type = single ? CT_FLOAT : CT_DOUBLE;
  if (std::isinf(number) || !c_store_float(number, v.type, v)) {
    c_parse_error("float constant exceeds range");
    return -1;
  }
  c_node* n = leaf(v.type);
  n->value = v;
  token_value.node = n;
  return CT_FLOATING;
}

int name_token(std::size_t length) {
  const std::string name = input.substr(pos, length);
  const auto kw = std::lower_bound(keywords.begin(), keywords.end(), name,
                                   [](const keyword& k, const std::string& n) { return k.text < n; });
  if (kw != keywords.end() && kw->text == name) return kw->code;
  if (const int member = c_lookup_enum_member(name); member >= 0) {
    const coff_symbol& s = current_debug_info()->c_symbols[static_cast<std::size_t>(member)];
    c_node* n = leaf(CT_ENUM_MEMBER);
    n->value.v[3] = s.value() & c_family->mask;
    n->value.tag = static_cast<uint32_t>(member);
    token_value.node = n;
    return CT_ENUM_CONSTANT;
  }
  if (const int type = c_lookup_typedef(name); type >= 0) {
    const coff_debug_info& info = *current_debug_info();
    const coff_symbol& s = info.c_symbols[static_cast<std::size_t>(type)];
    c_node* n = leaf(s.type());
    // The tag of a struct, union or enum typedef sits in its auxiliary entry.
    if (s.aux_count() > 0) n->value.tag = info.c_symbols[static_cast<std::size_t>(type) + 1].w[0];
    token_value.node = n;
    return CT_TYPEDEF_NAME;
  }
  token_value.name = name;
  return CT_IDENTIFIER;
}

}  // namespace

int c_lex_start(const char* text) {
  c_debug_reset();
  input.clear();
  pos = 0;
  token_text.clear();
  token_value = {};
  error_pos = 0;
  const std::string whole = text != nullptr ? text : "";
  const std::size_t open = whole.find_first_not_of(" \t");
  if (open == std::string::npos || whole[open] != '{') {
    c_parse_error("incomplete C expression");
    return 0;
  }
  input = whole.substr(open + 1);
  if (input.size() > TEXT_MAX) input.resize(TEXT_MAX);
  const std::size_t last = input.find_last_not_of(" \t\r\n");
  if (last == std::string::npos || input[last] != '}') {
    error_pos = static_cast<int>(input.size());
    c_parse_error("incomplete C expression");
    return 0;
  }
  input.resize(last);
  if (input.find_first_not_of(" \t\r\n") == std::string::npos) {
    error_pos = static_cast<int>(input.size()) + 1;
    c_parse_error("empty C expression");
    return 0;
  }
  return 1;
}

int c_lex() {
  token_value = {};
  while (pos < input.size() && (input[pos] == ' ' || input[pos] == '\t' || input[pos] == '\n')) ++pos;
  if (pos >= input.size()) {
    token_text.clear();
    return 0;
  }
  const integer_match integer = integer_at(pos);
  const std::size_t floating = float_at(pos);
  int char_value = 0;
  const std::size_t character = character_at(pos, char_value);
  const std::size_t reg = register_at(pos);
  const std::size_t name = name_at(pos);
  int op_code = 0;
  const std::size_t op = operator_at(pos, op_code);
  const std::size_t longest = std::max({integer.length, floating, character, reg, name, op, std::size_t{1}});

  int code = 0;
  if (integer.length == longest) {
    code = integer_token(integer);
  } else if (floating == longest) {
    code = float_token(floating);
  } else if (character == longest) {
    c_node* n = leaf(CT_INT);
    n->value.v[3] = static_cast<uint32_t>(char_value) & c_family->mask;
    token_value.node = n;
    code = CT_CHARACTER;
  } else if (reg == longest) {
    token_value.name = input.substr(pos + 1, reg - 1);
    code = CT_REGISTER;
  } else if (name == longest) {
    code = name_token(name);
  } else if (op == longest) {
    code = op_code;
  } else {
    code = static_cast<unsigned char>(input[pos]);
  }
  token_text = input.substr(pos, longest);
  pos += longest;
  error_pos = static_cast<int>(pos) + 1;
  return code < 0 ? -1 : code;
}

const c_token_value& c_lex_value() { return token_value; }
const std::string& c_lex_text() { return token_text; }
int c_lex_error_pos() { return error_pos; }
