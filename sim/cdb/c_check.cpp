// The operators' type checks, run by the parser as it builds each node:
// operand classes, the usual arithmetic conversions (as inserted cast
// nodes), array and function decay, result types, and the rewrite of
// compound assignments into plain ones.
#include <string>

#include "sim/cdb/c_arith.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_lex.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_scope.h"

namespace {

constexpr uint32_t SC_MEMORY = 2;
constexpr uint32_t SC_REGISTER = 4;
constexpr uint32_t SC_REGISTER_PARAM = 17;
constexpr uint32_t SC_BIT_FIELD = 18;

int reject(const std::string& message) {
  c_parse_error(message);
  return 0;
}

const char* op_text(uint32_t op) {
  struct row {
    uint32_t op;
    const char* text;
  };
  static constexpr row rows[] = {
      {292, "*="}, {293, "/="}, {294, "%="}, {295, "+="}, {296, "-="}, {297, "<<="}, {298, ">>="},
      {299, "&="}, {300, "^="}, {301, "|="}, {302, "||"}, {303, "&&"}, {304, "=="}, {305, "!="},
      {306, "<="}, {307, ">="}, {308, "<<"}, {309, ">>"}, {'*', "*"},  {'/', "/"},   {'%', "%"},
      {'&', "&"},  {'^', "^"},  {'|', "|"},  {'+', "+"},  {'-', "-"},  {'<', "<"},   {'>', ">"},
      {'~', "~"},  {'!', "!"}};
  for (const row& r : rows)
    if (r.op == op) return r.text;
  return "?";
}

// The operator that a compound assignment applies.
uint32_t compound_base(uint32_t op) {
  static constexpr uint32_t bases[] = {'*', '/', '%', '+', '-', 308, 309, '&', '^', '|'};
  return bases[op - 292];
}

bool is_void_pointer(uint32_t type) { return c_is_pointer(type) && c_strip_level(type) == CT_VOID; }

bool is_struct_or_union(uint32_t type) {
  return c_level(type) == 0 && (c_base(type) == CT_STRUCT || c_base(type) == CT_UNION);
}

bool pointers_compatible(const c_value& a, const c_value& b) {
  return c_types_compatible(a.type, a.tag, b.type, b.tag) != 0;
}

void c_set_result_type(c_node* n, const c_value& operand) {
  n->value.type = operand.type;
  n->value.tag = operand.tag;
  for (int k = 0; k < 4; ++k) n->value.dims[k] = operand.dims[k];
  n->value.sclass = 0;
  n->value.located = 0;
}

void set_type(c_node* n, uint32_t type) {
  c_value plain;
  plain.type = type;
  c_set_result_type(n, plain);
}

// The node itself when it has the type already, else a cast node to it.
c_node* c_make_conversion(uint32_t type, c_node* n) {
  if (n->value.type == type) return n;
  c_node* cast = c_node_new();
  cast->op = CN_CAST;
  cast->first = c_node_type(type);
  cast->third = n;
  cast->value.type = type;
  return cast;
}

void c_promote(c_node*& n) {
  if (c_level(n->value.type) != 0) return;
  switch (c_base(n->value.type)) {
    case CT_CHAR:
    case CT_SHORT: n = c_make_conversion(CT_INT, n); break;
    case CT_UCHAR:
    case CT_USHORT: n = c_make_conversion(CT_UINT, n); break;
    default: break;
  }
}

// The type both operands meet in.
uint32_t arith_target(uint32_t a, uint32_t b) {
  const auto either = [&](uint32_t t) { return c_base(a) == t || c_base(b) == t; };
  if (either(CT_DOUBLE)) return CT_DOUBLE;
  if (either(CT_FLOAT)) return CT_FLOAT;
  if (either(CT_ULONG)) return CT_ULONG;
  if (either(CT_LONG) && either(CT_UINT)) return c_family->code == 710 ? CT_ULONG : CT_LONG;
  if (either(CT_LONG)) return CT_LONG;
  if (either(CT_UINT)) return CT_UINT;
  return CT_INT;
}

void c_arith_convert(c_node*& left, c_node*& right) {
  c_promote(left);
  c_promote(right);
  const uint32_t target = arith_target(left->value.type, right->value.type);
  left = c_make_conversion(target, left);
  right = c_make_conversion(target, right);
}

c_node* c_decay(c_node* n) {
  if (n == nullptr || n->value.located == 0) return n;
  const uint32_t type = n->value.type;
  if (!c_is_array(type) && !c_is_function(type)) return n;
  c_node* d = c_node_new();
  d->middle = n;
  d->value = n->value;
  d->value.located = 0;
  d->value.sclass = SC_MEMORY;
  if (c_is_array(type)) {
    d->op = CN_ARRAY_TO_POINTER;
    d->value.type = (type & ~0x30u) | 0x10u;
    for (int k = 0; k < 3; ++k) d->value.dims[k] = n->value.dims[k + 1];
    d->value.dims[3] = 1;
  } else {
    d->op = CN_FUNCTION_TO_POINTER;
    d->value.type = c_add_pointer(type);
  }
  return d;
}

// A located result of the type pointed to by (or the element of) the value.
void set_located_target(c_node* n, const c_value& pointer) {
  c_set_result_type(n, pointer);
  n->value.type = c_strip_level(pointer.type);
  n->value.sclass = SC_MEMORY;
  n->value.located = 1;
}

// Both operands arithmetic: converted, the result of their common type.
bool converted_arith(c_node* n) {
  if (!c_is_arith(n->first->value.type) || !c_is_arith(n->third->value.type)) return false;
  c_arith_convert(n->first, n->third);
  set_type(n, n->first->value.type);
  return true;
}

int check_multiplicative(c_node* n, uint32_t op, bool integral_only) {
  const uint32_t lt = n->first->value.type, rt = n->third->value.type;
  const bool ok = integral_only ? c_is_integral(lt) && c_is_integral(rt) : c_is_arith(lt) && c_is_arith(rt);
  if (!ok)
    return reject(std::string("operands of binary ") + op_text(op) + " are not both " +
                  (integral_only ? "integral" : "arithmetic") + " types");
  c_arith_convert(n->first, n->third);
  set_type(n, n->first->value.type);
  return 1;
}

int check_add(c_node* n, const char* name_plain, const char* name_binary) {
  c_value& l = n->first->value;
  c_value& r = n->third->value;
  if (converted_arith(n)) return 1;
  const c_value* pointer = nullptr;
  if (!c_is_integral(l.type)) {
    if (!c_is_integral(r.type)) return reject(std::string("operands of ") + name_plain + " invalid");
    if (!c_is_pointer(l.type))
      return reject(std::string("left operand of ") + name_binary + " is not arithmetic or pointer type");
    pointer = &l;
  } else {
    if (!c_is_pointer(r.type))
      return reject(std::string("right operand of ") + name_binary + " is not arithmetic or pointer type");
    pointer = &r;
  }
  if (is_void_pointer(pointer->type)) return reject("pointer arithmetic with void pointers is not allowed");
  c_set_result_type(n, *pointer);
  return 1;
}

int check_subtract(c_node* n, const char* name) {
  c_value& l = n->first->value;
  c_value& r = n->third->value;
  if (converted_arith(n)) return 1;
  if (!c_is_pointer(l.type)) return reject(std::string("operands of ") + name + " invalid");
  if (c_is_pointer(r.type)) {
    if (!pointers_compatible(l, r)) c_warning("incompatible pointer types in subtraction");
    set_type(n, CT_INT);
    return 1;
  }
  if (!c_is_integral(r.type))
    return reject(std::string("right operand of ") + name + " is not arithmetic or pointer type");
  if (is_void_pointer(l.type)) return reject("pointer arithmetic with void pointers is not allowed");
  c_set_result_type(n, l);
  return 1;
}

int check_compare(c_node* n, uint32_t op) {
  c_value& l = n->first->value;
  c_value& r = n->third->value;
  if (c_is_arith(l.type) && c_is_arith(r.type)) {
    c_arith_convert(n->first, n->third);
  } else if (c_is_pointer(l.type) && c_is_pointer(r.type)) {
    const bool equality = op == 304 || op == 305;
    if (!pointers_compatible(l, r) && !(equality && (is_void_pointer(l.type) || is_void_pointer(r.type))))
      c_warning("comparison of incompatible pointer types");
  } else {
    return reject(std::string("operands of binary ") + op_text(op) + " invalid");
  }
  set_type(n, CT_INT);
  return 1;
}

int check_assign(c_node* n) {
  c_node* left = n->first;
  const c_value& l = left->value;
  if (l.located == 0) return reject("left side is not an lvalue in assignment");
  const uint32_t lt = l.type, rt = n->third->value.type;
  if (c_is_arith(lt) && c_is_arith(rt)) {
    n->third = c_make_conversion(lt, n->third);
  } else if (c_is_pointer(lt) && c_is_pointer(rt)) {
    if (!pointers_compatible(l, n->third->value) && !is_void_pointer(rt))
      c_warning("incompatible pointer types in assignment");
  } else if (c_is_pointer(lt) && c_is_integral(rt)) {
    n->third = c_make_conversion(lt, n->third);
  } else if (is_struct_or_union(lt) && is_struct_or_union(rt) && c_base(lt) == c_base(rt)) {
    const bool is_struct = c_base(lt) == CT_STRUCT;
    if (l.tag == 0 || n->third->value.tag == 0)
      return reject(is_struct ? "structure type and contents not available" : "union type and contents not available");
    if (c_types_compatible(lt, l.tag, rt, n->third->value.tag) == 0)
      return reject(is_struct ? "incompatible structure types in assignment" : "incompatible union types in assignment");
  } else {
    return reject("incompatible types in assignment");
  }
  c_set_result_type(n, l);
  return 1;
}

int check_compound(c_node* n) {
  const uint32_t op = n->op;
  c_node* left = n->first;
  const c_value& l = left->value;
  const c_value& r = n->third->value;
  if (l.located == 0) return reject("left side is not an lvalue in assignment");
  const uint32_t base = compound_base(op);
  const std::string name = op_text(op);
  const bool arith = c_is_arith(l.type) && c_is_arith(r.type);
  bool pointer_arith = false;
  if (base == '*' || base == '/') {
    if (!arith) return reject("operands of binary " + name + " are not both arithmetic types");
  } else if (base == '+') {
    if (!arith) {
      if (!c_is_integral(r.type)) return reject("operands of += invalid");
      if (!c_is_pointer(l.type)) return reject("left operand of += is not arithmetic or pointer type");
      if (is_void_pointer(l.type)) return reject("pointer arithmetic with void pointers is not allowed");
      pointer_arith = true;
    }
  } else if (base == '-') {
    if (!arith) {
      if (!c_is_pointer(l.type)) return reject("operands of binary -= invalid");
      if (!c_is_integral(r.type)) return reject("right operand of binary -= is not arithmetic or pointer type");
      if (is_void_pointer(l.type)) return reject("pointer arithmetic with void pointers is not allowed");
      pointer_arith = true;
    }
  } else if (!c_is_integral(l.type) || !c_is_integral(r.type)) {
    return reject("operands of binary " + name + " are not both integral types");
  }
  c_node* target = c_tree_copy(left);
  c_node* inner = c_node_new();
  inner->op = base;
  inner->first = left;
  inner->third = n->third;
  if (c_check_node(inner) == 0) return 0;
  n->op = '=';
  n->first = target;
  n->third = pointer_arith ? inner : c_make_conversion(target->value.type, inner);
  c_set_result_type(n, target->value);
  return 1;
}

int check_subscript(c_node* n) {
  const c_value* pointer = &n->first->value;
  const c_value* index = &n->third->value;
  if (c_is_integral(pointer->type) && c_is_pointer(index->type)) std::swap(pointer, index);
  if (!c_is_integral(index->type)) return reject("array subscript is not an integer");
  if (!c_is_pointer(pointer->type)) return reject("trying to subscript something which isn't an array");
  set_located_target(n, *pointer);
  return 1;
}

int check_view(c_node* n) {
  const c_value& l = n->first->value;
  if (!c_is_pointer(l.type)) return reject("left operand of # is not a pointer");
  if (is_void_pointer(l.type)) return reject("the # operator can not be used on void pointers");
  if (!c_is_integral(n->third->value.type)) return reject("right operand of # is not an integer");
  c_set_result_type(n, l);
  n->value.type = l.type | 0x30u;
  n->value.dims[0] = 1;
  for (int k = 3; k > 0; --k) n->value.dims[k] = l.dims[k - 1];
  c_value count = n->third->value;
  if (n->third->op == 0 && c_fetch(count) != 0) n->value.dims[0] = count.v[3];
  n->value.sclass = SC_MEMORY;
  n->value.located = 1;
  return 1;
}

int check_conditional(c_node* n) {
  n->first = c_decay(n->first);
  n->middle = c_decay(n->middle);
  n->third = c_decay(n->third);
  if (!c_is_scalar(n->first->value.type)) return reject("first operand to ?: must have scalar type");
  const c_value& a = n->middle->value;
  const c_value& b = n->third->value;
  if (c_is_arith(a.type) && c_is_arith(b.type)) {
    c_arith_convert(n->middle, n->third);
  } else if (is_struct_or_union(a.type) && c_base(a.type) == c_base(b.type) && c_level(b.type) == 0) {
    if (c_types_compatible(a.type, a.tag, b.type, b.tag) == 0) return reject("incompatible types in ?:");
  } else if (!(c_is_pointer(a.type) && c_is_pointer(b.type) &&
               (pointers_compatible(a, b) || is_void_pointer(a.type) || is_void_pointer(b.type)))) {
    return reject("invalid types in ?:");
  }
  c_set_result_type(n, n->middle->value);
  return 1;
}

int check_cast(c_node* n) {
  n->third = c_decay(n->third);
  const uint32_t to = n->first->value.type;
  const uint32_t from = n->third->value.type;
  const bool to_void = to == CT_VOID;
  if (!to_void && !c_is_scalar(to)) return reject("conversion to non-scalar type attempted");
  if (!to_void && !c_is_scalar(from)) return reject("conversion of non-scalar to scalar requested");
  if (c_is_pointer(from) && c_is_float_type(to)) return reject("cannot cast from pointer to float");
  if (c_is_float_type(from) && c_is_pointer(to)) return reject("cannot cast from float to pointer");
  if (!to_void) c_promote(n->third);
  c_set_result_type(n, n->first->value);
  return 1;
}

int check_call(c_node* n) {
  const c_value& callee = n->middle->value;
  uint32_t type = callee.type;
  if (c_is_pointer(type) && c_is_function(c_strip_level(type))) type = c_strip_level(type);
  if (!c_is_function(type)) return reject("attempting function call on non-function object");
  for (const c_node* arg : n->middle->args)
    if (arg->value.type == CT_VOID) return reject("attempting to pass void value to function as argument");
  c_set_result_type(n, callee);
  n->value.type = c_strip_level(type);
  return 1;
}

int check_address(c_node* n) {
  const c_value& v = n->middle->value;
  if (!c_is_function(v.type)) {
    if (v.sclass == SC_REGISTER || v.sclass == SC_REGISTER_PARAM)
      return reject("operand of unary & invalid since it is in a register");
    if (v.located == 0 || v.sclass == SC_BIT_FIELD || v.sclass == CN_REGISTER_CLASS)
      return reject("operand of unary & invalid");
  }
  c_set_result_type(n, v);
  n->value.type = c_add_pointer(v.type);
  return 1;
}

int check_increment(c_node* n) {
  static constexpr const char* names[] = {"post-increment", "pre-increment", "post-decrement", "pre-decrement"};
  const char* name = names[n->op - CN_POST_INC];
  const c_value& v = n->middle->value;
  if (v.located == 0 || c_is_array(v.type)) return reject(std::string("operand to ") + name + " not an lvalue");
  if (!c_is_scalar(v.type)) return reject(std::string("operand to ") + name + " not scalar type");
  c_set_result_type(n, v);
  return 1;
}

int check_unary(c_node* n) {
  const uint32_t op = n->op;
  if (op != CT_SIZEOF && op != '&' && op != CN_CALL) n->middle = c_decay(n->middle);
  const c_value& v = n->middle->value;
  switch (op) {
    case '&': return check_address(n);
    case '*':
      if (!c_is_pointer(v.type) || is_void_pointer(v.type)) return reject("operand of unary * invalid");
      set_located_target(n, v);
      return 1;
    case '+':
    case '-':
      if (!c_is_arith(v.type)) return reject(std::string("operand of unary ") + op_text(op) + " invalid");
      c_promote(n->middle);
      c_set_result_type(n, n->middle->value);
      return 1;
    case '~':
      if (!c_is_integral(v.type)) return reject("operand of unary ~ invalid");
      c_promote(n->middle);
      c_set_result_type(n, n->middle->value);
      return 1;
    case '!':
      if (!c_is_scalar(v.type)) return reject("operand of unary ! invalid");
      set_type(n, CT_INT);
      return 1;
    case CT_SIZEOF:
      if (c_is_function(v.type) || v.type == CT_VOID || v.sclass == SC_BIT_FIELD)
        return reject("operand of sizeof invalid");
      set_type(n, CT_INT);
      return 1;
    case CN_CALL: return check_call(n);
    case CN_POST_INC:
    case CN_PRE_INC:
    case CN_POST_DEC:
    case CN_PRE_DEC: return check_increment(n);
    default: return 1;
  }
}

int check_binary(c_node* n) {
  const uint32_t op = n->op;
  if (op == '.' || op == CT_ARROW) return 1;  // typed by the parser
  if (op == CN_CAST) return check_cast(n);
  n->first = c_decay(n->first);
  n->third = c_decay(n->third);
  switch (op) {
    case '*':
    case '/': return check_multiplicative(n, op, false);
    case '%':
    case '&':
    case '^':
    case '|':
    case 308:
    case 309: return check_multiplicative(n, op, true);
    case '+': return check_add(n, "binary +", "binary +");
    case '-': return check_subtract(n, "binary -");
    case '<':
    case '>':
    case 304:
    case 305:
    case 306:
    case 307: return check_compare(n, op);
    case 302:
    case 303:
      if (!c_is_scalar(n->first->value.type) || !c_is_scalar(n->third->value.type))
        return reject(std::string("operands of binary ") + op_text(op) + " invalid");
      set_type(n, CT_INT);
      return 1;
    case '=': return check_assign(n);
    case CN_SUBSCRIPT: return check_subscript(n);
    case '#': return check_view(n);
    case CN_COMMA:
      c_set_result_type(n, n->third->value);
      n->value.sclass = n->third->value.sclass;
      n->value.located = n->third->value.located;
      return 1;
    default:
      if (op >= 292 && op <= 301) return check_compound(n);
      return 1;
  }
}

}  // namespace

int c_check_node(c_node* node) {
  if (node == nullptr || node->op == 0) return 1;
  if (node->op == CN_CONDITIONAL) return check_conditional(node);
  if (node->first != nullptr && node->third != nullptr) return check_binary(node);
  return check_unary(node);
}

c_node* c_tree_copy(const c_node* node) {
  if (node == nullptr) return nullptr;
  c_node* copy = c_node_new();
  copy->op = node->op;
  copy->value = node->value;
  copy->ready = node->ready;
  copy->first = c_tree_copy(node->first);
  copy->middle = c_tree_copy(node->middle);
  copy->third = c_tree_copy(node->third);
  for (const c_node* arg : node->args) copy->args.push_back(c_tree_copy(arg));
  return copy;
}
