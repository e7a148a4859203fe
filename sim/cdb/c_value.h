// C values, the parse-tree node and the per-family number formats of the
// C debugger.
//
// - C expressions (`c_value.h`, `c_lex.h`, `c_parse.h`): `c_value` and `c_node` with the per-family
//   word widths and float formats; `c_lex.cpp` tokenises a braced expression by longest match
//   (constants become leaves, program names enumeration constants, typedef names or identifiers);
//   `c_parse.cpp` is a hand-written recursive-descent parser over the C precedence levels (casts
//   need a second token of look-ahead) that reports the first token fitting no rule as "syntax error
//   near ..." or "premature end of C expression". A parse's nodes live in its `c_tree`.
//   `c_scope.cpp` finds C names in the scope of the device's pc (blocks outward, the function's
//   parameters, the unit) and records the expression's scope; it also answers type compatibility,
//   structure sizes, enumeration members, line addresses and scope matches. It alone walks a
//   function's ".bf" and end symbol (`c_function_begin`, `c_function_end`), drops the "F" of a C
//   name (`c_symbol_name`) and makes a located value of a symbol (`c_symbol_value`); the parser,
//   printer, back-trace and line stepping take them from there. `c_print.cpp`: sizes in target
//   words, integers in the five radixes, values by type (strings behind char pointers, arrays,
//   structures and enumeration names included) and `print_wrapped`, which cuts text to the session
//   width at blanks outside string literals and after "},". `c_fetch.cpp`: fetch and store by
//   storage class (memory, register variables through the family's register-name tables, simulator
//   registers named with "$"); the number rules (16-, 24- or 32-bit) follow `c_family_kind`. Frame
//   values (automatic variables, arguments) are read at the selected frame's frame pointer
//   (`c_frame_address`); an outer frame's register variable from the slot an inner frame's prologue
//   saved it in (`frame_saved_register_slot`); bit fields by their member symbol's offset and width.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The per-family word of the C debugger, set from the current device type.
struct c_family_words {
  int code;
  int width;         // bits
  uint32_t sign;     // sign bit of a word
  uint32_t mask;     // word mask
  uint32_t address;  // address mask
};
// The family of the current device type (711 when there is none); null for
// a code the C debugger does not serve.
const c_family_words* c_family_of(int family_code);
extern const c_family_words* c_family;
// c_family from the current device type.
void c_debug_reset();
// Which number rules the family follows: 711 and 713 the 16-bit ones, 709
// and 712 the 24-bit ones, 710 and 714 the 32-bit ones.
enum c_family_kind_t { C_KIND_16, C_KIND_24, C_KIND_32 };
c_family_kind_t c_family_kind();

// COFF base types of the type word.
enum : uint32_t {
  CT_VOID = 1,
  CT_CHAR = 2,
  CT_SHORT = 3,
  CT_INT = 4,
  CT_LONG = 5,
  CT_FLOAT = 6,
  CT_DOUBLE = 7,
  CT_STRUCT = 8,
  CT_UNION = 9,
  CT_ENUM = 10,
  CT_ENUM_MEMBER = 11,
  CT_UCHAR = 12,
  CT_USHORT = 13,
  CT_UINT = 14,
  CT_ULONG = 15,
};

// One value: words 0-4 the value, then where it lives and what it is.
struct c_value {
  uint32_t v[5] = {};        // see the float and integer layouts of the family
  uint32_t address = 0;      // word 5
  uint32_t space = 0;        // word 6
  uint32_t type = 0;         // word 7
  uint32_t sclass = 0;       // word 8
  uint32_t tag = 0;          // word 9
  uint32_t dims[4] = {1, 1, 1, 1};
  uint16_t located = 0;      // 1: fetched from and stored to its location
};

struct c_node {
  c_node* first = nullptr;
  c_node* middle = nullptr;
  c_node* third = nullptr;
  uint32_t op = 0;  // 0 for a leaf
  c_value value;
  std::vector<c_node*> args;  // of a call, on the callee: last argument first
  uint32_t ready = 0;
};

// A parsed expression: its root and every node made for it.
struct c_tree {
  c_node* root = nullptr;
  std::vector<std::unique_ptr<c_node>> nodes;
  // The innermost function and block whose names the expression uses
  // (-1: global).
  int scope_function = -1;
  int scope_block = -1;
};

// A zeroed node on the parse chain; the nodes of a parse go to its tree
// (c_nodes_commit) or are dropped together (c_nodes_discard).
c_node* c_node_new();
c_node* c_node_type(uint32_t type);
std::vector<std::unique_ptr<c_node>> c_nodes_commit();
void c_nodes_discard();

// A number in the family's float format into words 0-4 (type float or
// double); false when it is out of the format's range.
bool c_store_float(double number, uint32_t type, c_value& out);
// The C debugger's error report: "C error: " and the message with its
// first letter upper-cased; kept as the pending text.
void c_parse_error(const std::string& message);
const std::string& c_last_error();
// "C error: " and the message through the error report; quiet mode (set by
// windows that evaluate over and over) silences this and c_parse_error.
void c_error(const char* message);
void c_error(const std::string& message);
void c_internal_error(const char* file, int line);
void c_error_quiet(bool quiet);
// Notes such as incompatible pointer types: shown nowhere.
inline void c_warning(const std::string&) {}

// The evaluator's node stack: at most 1023 nodes pending. A push beyond
// that fails with a message instead of wrapping round.
constexpr int C_NODE_STACK_SIZE = 1024;
bool c_node_push(c_node* node);
// Null when empty.
c_node* c_node_pop();
void c_node_stack_reset();
int c_node_stack_count();
// The stack of an expression paused for a call into the target, set aside
// while a breakpoint condition is tested during the call's run and put back.
void c_node_stack_hold();
void c_node_stack_release();
