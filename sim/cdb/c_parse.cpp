// The C expression parser: recursive descent over the C precedence levels,
// one token of look-ahead (two for a cast), building the tree as it goes.
// The first token that fits no rule fails the parse with "syntax error
// near TOKEN", or "premature end of C expression" at the end of the text.
#include "sim/cdb/c_parse.h"

#include <array>
#include <cstring>
#include <utility>

#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_lex.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/regaccess.h"

int expr_scope_function = -1;
int expr_scope_block = -1;

namespace {

constexpr uint32_t SC_MEMBER_OF_STRUCT = 8;
constexpr uint32_t SC_MEMBER_OF_UNION = 11;
constexpr uint32_t SC_BIT_FIELD = 18;
constexpr uint32_t SC_STRUCT_TAG = 10;
constexpr uint32_t SC_UNION_TAG = 12;
constexpr uint32_t SC_ENUM_TAG = 15;
constexpr uint32_t SC_END_OF_STRUCT = 102;

struct token {
  int code = 0;
  c_token_value value;
  std::string text;
};

class parser {
 public:
  c_node* parse() {
    advance();
    c_node* root = expression();
    if (root == nullptr) return nullptr;
    if (cur_.code != 0) return syntax_error();
    return root;
  }

 private:
  token cur_;
  token ahead_;
  bool have_ahead_ = false;
  bool failed_ = false;

  void advance() {
    if (have_ahead_) {
      cur_ = std::move(ahead_);
      have_ahead_ = false;
    } else {
      read(cur_);
    }
  }
  const token& peek() {
    if (!have_ahead_) {
      read(ahead_);
      have_ahead_ = true;
    }
    return ahead_;
  }
  void read(token& t) {
    t.code = c_lex();
    t.value = c_lex_value();
    t.text = c_lex_text();
    if (t.code < 0) failed_ = true;  // the lexer's message stands
  }

  c_node* fail(const std::string& message) {
    if (!failed_) c_parse_error(message);
    failed_ = true;
    return nullptr;
  }
  c_node* syntax_error() {
    return fail(cur_.code == 0 ? std::string("premature end of C expression") : "syntax error near " + cur_.text);
  }
  bool expect(int code) {
    if (failed_ || cur_.code != code) {
      syntax_error();
      return false;
    }
    advance();
    return true;
  }

  // The node after its operator's type check; null when the check failed.
  c_node* checked(c_node* n) {
    if (c_check_node(n) != 0) return n;
    failed_ = true;
    return nullptr;
  }
  c_node* c_node_binary(c_node* first, uint32_t op, c_node* third) {
    if (first == nullptr || third == nullptr) return nullptr;
    c_node* n = c_node_new();
    n->first = first;
    n->op = op;
    n->third = third;
    return checked(n);
  }
  c_node* c_node_unary(uint32_t op, c_node* operand) {
    if (operand == nullptr) return nullptr;
    c_node* n = c_node_new();
    n->op = op;
    n->middle = operand;
    return checked(n);
  }

  // 1. Expressions separated by ",".
  c_node* expression() {
    c_node* left = assignment();
    while (left != nullptr && cur_.code == ',') {
      advance();
      left = c_node_binary(left, CN_COMMA, assignment());
    }
    return left;
  }

  static bool is_assignment(int code) { return code == '=' || (code >= 292 && code <= 301); }

  // 2. Right-associative; only a unary expression takes a value.
  c_node* assignment() {
    bool is_unary = false;
    c_node* left = conditional(is_unary);
    if (left == nullptr || !is_assignment(cur_.code)) return left;
    if (!is_unary) return syntax_error();
    const auto op = static_cast<uint32_t>(cur_.code);
    advance();
    return c_node_binary(left, op, assignment());
  }

  // 3. cond ? expression : conditional
  c_node* conditional(bool& is_unary) {
    c_node* cond = binary_level(0, is_unary);
    if (cond == nullptr || cur_.code != '?') return cond;
    is_unary = false;
    advance();
    c_node* then = expression();
    if (then == nullptr || !expect(':')) return nullptr;
    bool ignored = false;
    c_node* otherwise = conditional(ignored);
    if (otherwise == nullptr) return nullptr;
    c_node* n = c_node_new();
    n->op = CN_CONDITIONAL;
    n->first = cond;
    n->middle = then;
    n->third = otherwise;
    return checked(n);
  }

  // 4.-13. Left-associative binary levels, loosest first.
  static constexpr std::array<std::array<int, 4>, 10> levels{{
      {302, 0, 0, 0},        // ||
      {303, 0, 0, 0},        // &&
      {'|', 0, 0, 0},        {'^', 0, 0, 0}, {'&', 0, 0, 0},
      {304, 305, 0, 0},      // == !=
      {'<', '>', 306, 307},  // < > <= >=
      {308, 309, 0, 0},      // << >>
      {'+', '-', 0, 0},      {'*', '/', '%', 0},
  }};
  static bool in_level(std::size_t level, int code) {
    for (const int c : levels[level])
      if (c != 0 && c == code) return true;
    return false;
  }
  c_node* binary_level(std::size_t level, bool& is_unary) {
    if (level == levels.size()) return view_level(is_unary);
    c_node* left = binary_level(level + 1, is_unary);
    while (left != nullptr && in_level(level, cur_.code)) {
      const auto op = static_cast<uint32_t>(cur_.code);
      advance();
      bool ignored = false;
      left = c_node_binary(left, op, binary_level(level + 1, ignored));
      is_unary = false;
    }
    return left;
  }

  // 14. Casts, and the array view "#" as a binary operator at this level.
  c_node* view_level(bool& is_unary) {
    c_node* left = cast(is_unary);
    while (left != nullptr && cur_.code == '#') {
      advance();
      bool ignored = false;
      left = c_node_binary(left, '#', cast(ignored));
      is_unary = false;
    }
    return left;
  }

  static bool starts_type_name(int code) {
    return (code >= 262 && code <= 271) || code == 275 || code == 276 || code == 277;
  }

  c_node* cast(bool& is_unary) {
    if (cur_.code == '(' && starts_type_name(peek().code)) {
      advance();
      c_node* type = type_name();
      if (type == nullptr || !expect(')')) return nullptr;
      bool ignored = false;
      c_node* operand = cast(ignored);
      is_unary = false;
      c_node* n = c_node_binary(type, CN_CAST, operand);
      if (n != nullptr) n->value.type = type->value.type, n->value.tag = type->value.tag;
      return n;
    }
    is_unary = true;
    return unary_expression();
  }

  // 15. Prefix operators and sizeof.
  c_node* unary_expression() {
    const int code = cur_.code;
    switch (code) {
      case 310:
      case 311:
        advance();
        return c_node_unary(code == 310 ? CN_PRE_INC : CN_PRE_DEC, unary_expression());
      case '&': case '*': case '+': case '-': case '~': case '!': {
        advance();
        bool ignored = false;
        return c_node_unary(static_cast<uint32_t>(code), cast(ignored));
      }
      case CT_SIZEOF:
        advance();
        if (cur_.code == '(' && starts_type_name(peek().code)) {
          advance();
          c_node* type = type_name();
          if (type == nullptr || !expect(')')) return nullptr;
          return c_node_unary(CT_SIZEOF, type);
        }
        return c_node_unary(CT_SIZEOF, unary_expression());
      default:
        return postfix();
    }
  }

  // 16. Subscripts, calls, members, postfix ++ and --.
  c_node* postfix() {
    c_node* n = primary();
    while (n != nullptr) {
      switch (cur_.code) {
        case '[': {
          advance();
          c_node* index = expression();
          if (index == nullptr || !expect(']')) return nullptr;
          n = c_node_binary(n, CN_SUBSCRIPT, index);
          break;
        }
        case '(':
          n = call(n);
          break;
        case '.':
        case CT_ARROW: {
          const bool arrow = cur_.code == CT_ARROW;
          advance();
          if (cur_.code != CT_IDENTIFIER) return syntax_error();
          const std::string name = cur_.value.name;
          advance();
          n = member(n, name, arrow);
          break;
        }
        case 310:
          advance();
          n = c_node_unary(CN_POST_INC, n);
          break;
        case 311:
          advance();
          n = c_node_unary(CN_POST_DEC, n);
          break;
        default:
          return n;
      }
    }
    return nullptr;
  }

  c_node* call(c_node* callee) {
    advance();
    std::vector<c_node*> args;
    if (cur_.code != ')') {
      for (;;) {
        c_node* arg = assignment();
        if (arg == nullptr) return nullptr;
        args.insert(args.begin(), arg);
        if (cur_.code != ',') break;
        advance();
      }
    }
    if (!expect(')')) return nullptr;
    if (find_symbol("dummy_call", nullptr, nullptr) == 0)
      return fail("command-line function calls aren't supported in your crt0 file");
    callee->args = std::move(args);
    return c_node_unary(CN_CALL, callee);
  }

  // 17. Names, registers, constants, parentheses.
  c_node* primary() {
    switch (cur_.code) {
      case CT_IDENTIFIER: {
        c_node* n = c_identifier_value(cur_.value.name);
        if (n != nullptr) advance();
        return n;
      }
      case CT_REGISTER: {
        c_node* n = c_register_value(cur_.value.name);
        if (n != nullptr) advance();
        return n;
      }
      case CT_INTEGER:
      case CT_CHARACTER:
      case CT_FLOATING:
      case CT_ENUM_CONSTANT: {
        c_node* n = cur_.value.node;
        advance();
        return n;
      }
      case '(': {
        advance();
        c_node* n = expression();
        if (n == nullptr || !expect(')')) return nullptr;
        return n;
      }
      default:
        return syntax_error();
    }
  }

  // --- Type names -------------------------------------------------------------

  static uint32_t combine(uint32_t first, uint32_t rest) {
    struct pair_row {
      uint32_t first, rest, result;
    };
    static constexpr pair_row pairs[] = {
        {14, 2, 12}, {14, 3, 13}, {14, 4, 14}, {14, 5, 15}, {4, 2, 2},   {4, 3, 3},  {4, 4, 4},
        {4, 5, 5},   {5, 4, 5},   {5, 14, 15}, {15, 4, 15}, {3, 4, 3},   {3, 14, 13}, {13, 4, 13},
        {12, 4, 13},
    };
    if (first == CT_CHAR) return CT_CHAR;
    for (const pair_row& p : pairs)
      if (p.first == first && p.rest == rest) return p.result;
    return 0;
  }

  c_node* type_name() {
    std::vector<c_node*> specifiers;
    while (starts_type_name(cur_.code)) {
      c_node* s = specifier();
      if (s == nullptr) return nullptr;
      specifiers.push_back(s);
    }
    if (specifiers.empty()) return syntax_error();
    c_node* result = specifiers.back();
    for (std::size_t i = specifiers.size() - 1; i-- > 0;) {
      const uint32_t type = combine(specifiers[i]->value.type, result->value.type);
      if (type == 0) return fail("two or more data types in cast");
      result = specifiers[i];
      result->value.type = type;
    }
    while (cur_.code == '*') {
      advance();
      result->value.type = c_add_pointer(result->value.type);
    }
    return result;
  }

  c_node* specifier() {
    static constexpr uint32_t codes[] = {CT_VOID, CT_CHAR, CT_SHORT, CT_INT, CT_LONG,
                                         CT_FLOAT, CT_DOUBLE, CT_INT, CT_UINT};  // void .. unsigned
    const int code = cur_.code;
    if (code >= 262 && code <= 270) {
      advance();
      return c_node_type(codes[code - 262]);
    }
    if (code == CT_TYPEDEF_NAME) {
      c_node* n = cur_.value.node;
      advance();
      return n;
    }
    // struct, union or enum and a tag name.
    advance();
    if (cur_.code != CT_IDENTIFIER) return syntax_error();
    const std::string name = cur_.value.name;
    advance();
    const bool is_enum = code == 277;
    int tag = c_lookup_scoped(name, is_enum ? SC_ENUM_TAG : SC_STRUCT_TAG);
    if (!is_enum && tag < 0) tag = c_lookup_scoped(name, SC_UNION_TAG);
    if (tag < 0)
      return fail(is_enum ? "there is no enumeration called " + name : "There is no struct or union named " + name);
    const coff_symbol& s = current_debug_info()->c_symbols[static_cast<std::size_t>(tag)];
    c_node* n = c_node_type(is_enum ? CT_ENUM : s.sclass() == SC_UNION_TAG ? CT_UNION : CT_STRUCT);
    n->value.tag = static_cast<uint32_t>(tag);
    return n;
  }

  // --- Names of the program ---------------------------------------------------

  c_node* c_identifier_value(const std::string& name) {
    const int index = c_lookup_identifier(name);
    if (index < 0) return fail("undeclared identifier " + name);
    c_node* n = c_node_new();
    c_value& v = n->value;
    c_symbol_value(v, static_cast<uint32_t>(index));
    v.sclass = current_debug_info()->c_symbols[static_cast<std::size_t>(index)].sclass();
    // Functions live in program memory.
    if ((v.type & 0x30) == 0x20) v.space = 0;
    return n;
  }

  c_node* c_register_value(const std::string& name) {
    int row = 0, reg = 0;
    if (!lookup_register(cur_device, name.c_str(), &row, &reg))
      return fail("register " + name.substr(0, 10) + " unknown");
    const uint32_t access = cur_type->periphs[row].cls->regs[reg].access;
    if ((access & 0x200) != 0) return fail("register " + name + " is write-only");
    c_node* n = c_node_new();
    c_value& v = n->value;
    v.address = static_cast<uint32_t>(reg);
    v.space = static_cast<uint32_t>(row);
    v.sclass = CN_REGISTER_CLASS;
    v.located = (access & 0x100) == 0 ? 1 : 0;
    v.tag = access & ~0x7FFF8u;
    v.type = register_type(name, v.tag);
    return n;
  }

  static uint32_t register_type(const std::string& name, uint32_t word9) {
    const auto starts = [&](const char* prefix, std::size_t n) {
      return name.size() >= n && str_nicmp(name.c_str(), prefix, static_cast<int>(n)) == 0;
    };
    const auto digit = [&](std::size_t i) { return i < name.size() && name[i] >= '0' && name[i] <= '9'; };
    if (starts("cnt", 3) || starts("cyc", 3) || starts("ictr", 4)) return CT_UINT;
    if ((name[0] == 'r' || name[0] == 'R') && digit(1)) return c_add_pointer(CT_UINT);
    if (name[0] == 'd' && digit(1)) {
      const std::string rest = name.substr(2);
      if (rest.empty() || rest == ".d" || rest == ".x") return CT_DOUBLE;
      if (rest == ".s") return CT_FLOAT;
    }
    switch (c_family->width) {
      case 16: return word9 > 0x0FFFFFFF || (word9 & 0x0F200000) == 0 ? CT_UINT : CT_ULONG;
      case 24: return word9 > 0x03FFFFFF || (word9 & 0x03B00000) == 0 ? CT_UINT : CT_ULONG;
      default: return CT_UINT;
    }
  }

  // --- Members --------------------------------------------------------------------

  c_node* member(c_node* object, const std::string& name, bool arrow) {
    uint32_t type = object->value.type;
    if (arrow) {
      if ((type & 0x30) != 0x10) return fail("attempting to use -> operator on item that is not pointer");
      type = c_strip_level(type);
    }
    if (type != CT_STRUCT && type != CT_UNION)
      return fail("requesting member `" + name + "' in item that is not structure or union");
    const int index = c_member(object->value.tag, name);
    if (index < 0)
      return fail("`" + name + "' is not a member of the " + (type == CT_STRUCT ? "structure" : "union"));
    // The leaf holds the member's offset; the object's place is added to it
    // when the expression runs.
    c_node* leaf = c_node_new();
    c_symbol_value(leaf->value, static_cast<uint32_t>(index));
    leaf->value.v[3] = leaf->value.address;
    leaf->value.located = 0;
    c_node* n = c_node_binary(object, arrow ? uint32_t{CT_ARROW} : uint32_t{'.'}, leaf);
    n->value = leaf->value;
    n->value.located = 1;
    return n;
  }

  // The member of a structure, union or enumeration tag by name; -1.
  static int c_member(uint32_t tag, const std::string& name) {
    const coff_debug_info* info = current_debug_info();
    if (info == nullptr || tag >= info->c_symbols.size()) return -1;
    const std::string wanted = "F" + name;
    for (uint32_t i = next_symbol(*info, tag); i < info->c_symbols.size(); i = next_symbol(*info, i)) {
      const coff_symbol& s = info->c_symbols[i];
      if (s.sclass() == SC_END_OF_STRUCT) return -1;
      if ((s.sclass() == SC_MEMBER_OF_STRUCT || s.sclass() == SC_MEMBER_OF_UNION || s.sclass() == SC_BIT_FIELD) &&
          coff_symbol_name(*info, s) == wanted)
        return static_cast<int>(i);
    }
    return -1;
  }

};

}  // namespace

uint32_t c_add_pointer(uint32_t type) {
  const uint32_t kept = type & 0x1000F;
  const uint32_t derived = (type & ~0x1000Fu) << 2;
  return kept | (derived & ~0x10000u & ~0x3Fu) | 0x10;
}

std::unique_ptr<c_tree> c_parse(const char* text) {
  c_debug_reset();
  expr_scope_function = -1;
  expr_scope_block = -1;
  c_nodes_discard();
  if (c_lex_start(text) == 0) return nullptr;
  parser p;
  c_node* root = p.parse();
  if (root == nullptr) {
    c_nodes_discard();
    return nullptr;
  }
  auto tree = std::make_unique<c_tree>();
  tree->root = root;
  tree->nodes = c_nodes_commit();
  tree->scope_function = expr_scope_function;
  tree->scope_block = expr_scope_block;
  return tree;
}

int c_tree_has_call(const c_node* node) {
  if (node == nullptr) return 0;
  if (node->op == CN_CALL) return 1;
  return c_tree_has_call(node->first) || c_tree_has_call(node->middle) || c_tree_has_call(node->third);
}

uint32_t c_strip_level(uint32_t type) {
  const uint32_t kept = type & 0x1000F;
  return kept | (((type & ~0x1000Fu) >> 2) & ~0x1000Fu);
}

std::string c_type_text(const c_value& value) {
  static constexpr const char* base_names[] = {
      nullptr, "void", "char", "short", "int", "long", "float", "double", nullptr, nullptr, nullptr, nullptr,
      "unsigned char", "unsigned short", "unsigned int", "unsigned long"};
  std::string out;
  uint32_t type = value.type;
  std::size_t dim = 0;
  for (uint32_t d = (type >> 4) & 3; d != 0; d = (type >> 4) & 3) {
    if (d == 1) out += "pointer to ";
    if (d == 2) out += "function returning ";
    if (d == 3) {
      out += "array [" + std::to_string(dim < 4 ? value.dims[dim] : 1) + "] of ";
      ++dim;
    }
    type = c_strip_level(type);
  }
  const uint32_t base = type & 0xF;
  if (base_names[base] != nullptr) return out + base_names[base];
  const coff_debug_info* info = current_debug_info();
  const auto tag_name = [&](uint32_t tag) -> std::string {
    return tag == 0 ? std::string() : c_symbol_name(tag);
  };
  switch (base) {
    case CT_STRUCT:
    case CT_UNION: {
      const char* kind = base == CT_STRUCT ? "struct" : "union";
      const std::string name = tag_name(value.tag);
      if (name.empty()) return out + kind + " <" + (base == CT_STRUCT ? "structure" : "union") + " type not available>";
      return out + kind + " " + name;
    }
    case CT_ENUM: {
      const std::string name = tag_name(value.tag);
      return out + (name.empty() ? "<type unknown>" : "enum " + name);
    }
    case CT_ENUM_MEMBER: {
      // The tag whose run of members holds the member.
      int tag = -1;
      for (uint32_t i = 0; info != nullptr && i < info->c_symbols.size(); i = next_symbol(*info, i)) {
        const uint32_t sclass = info->c_symbols[i].sclass();
        if (i == value.tag) return out + (tag >= 0 && sclass == 16 ? "enum " + tag_name(static_cast<uint32_t>(tag))
                                                                  : std::string("<type unknown>"));
        if (sclass == 15) tag = static_cast<int>(i);
        else if (sclass != 16) tag = -1;
      }
      return out + "<type unknown>";
    }
    default:
      return "";
  }
}
