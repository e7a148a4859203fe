// The evaluator: walks a checked tree without recursion on the node stack
// and computes each operator's value with the family's number rules.
#include "sim/cdb/c_eval.h"

#include <utility>
#include <vector>

#include "sim/cdb/c_arith.h"
#include "sim/cdb/c_lex.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"

namespace {

constexpr const char* SOURCE = "cdbeval.c";
constexpr uint32_t SC_AUTOMATIC = 1;
constexpr uint32_t SC_ARGUMENT = 9;
constexpr uint32_t SC_BIT_FIELD = 18;

int no_call_starter(c_node*) {
  c_error("calls into the target are not available in this build");
  return 0;
}
c_call_starter call_starter = no_call_starter;

bool fetch(c_node* n) { return c_fetch(n->value) != 0; }

// Where a located value lives in memory.
bool location_of(const c_value& v, uint32_t& space, uint32_t& address) {
  if (v.sclass == SC_AUTOMATIC || v.sclass == SC_ARGUMENT) return c_frame_address(v.space, v.address, &space, &address) != 0;
  space = v.space;
  address = v.address;
  return true;
}

void set_int(c_value& v, uint64_t raw) { c_int_put(v, raw); }

uint32_t element_size(uint32_t pointer_type, const c_value& pointer) {
  c_value element = pointer;
  element.type = c_strip_level(pointer_type);
  const int size = c_base(element.type) == CT_VOID && c_level(element.type) == 0 ? 1 : c_sizeof_words(element);
  return static_cast<uint32_t>(size);
}

c_tfloat tf(const c_value& v) { return {v.v[3], v.v[4]}; }

int float_arith(uint32_t op, const c_value& a, const c_value& b, c_value& out) {
  if (c_family_kind() == C_KIND_24) {
    c_tfloat r;
    switch (op) {
      case '*': r = c_tf_mul(tf(a), tf(b)); break;
      case '+': r = c_tf_add(tf(a), tf(b)); break;
      case '-': r = c_tf_add(tf(a), c_tf_negate(tf(b))); break;
      default: {
        const double divisor = c_tf_to_double(tf(b));
        if (divisor == 0) {
          c_error("attempt to divide by 0.0");
          return 0;
        }
        r = c_tf_from_double(c_tf_to_double(tf(a)) / divisor);
      }
    }
    out.v[3] = r.e, out.v[4] = r.m;
    return 1;
  }
  const double x = c_ieee_get(a), y = c_ieee_get(b);
  double r = 0;
  switch (op) {
    case '*': r = x * y; break;
    case '+': r = x + y; break;
    case '-': r = x - y; break;
    default:
      if (y == 0) {
        c_error("attempt to divide by 0.0");
        return 0;
      }
      r = x / y;
  }
  c_ieee_put(out, r);
  return 1;
}

int integer_arith(uint32_t op, const c_value& a, const c_value& b, c_value& out) {
  const uint32_t type = out.type;
  const int bits = c_int_bits(type);
  const bool is_signed = c_is_signed_integral(type);
  const uint64_t ua = c_int_raw(a), ub = c_int_raw(b);
  const int64_t sa = c_int_signed(a), sb = c_int_signed(b);
  uint64_t r = 0;
  switch (op) {
    case '*': r = ua * ub; break;
    case '/':
    case '%':
      if (ub == 0) {
        c_error(op == '/' ? "attempt to divide by 0" : "attempt to perform modulus by 0");
        return 0;
      }
      // Operands of at most 48 bits: the most negative one divided by -1
      // cannot overflow the host's 64 bits, and wraps when masked.
      if (is_signed) r = static_cast<uint64_t>(op == '/' ? sa / sb : sa % sb);
      else r = op == '/' ? ua / ub : ua % ub;
      break;
    case '+': r = ua + ub; break;
    case '-': r = ua - ub; break;
    case '&': r = ua & ub; break;
    case '^': r = ua ^ ub; break;
    case '|': r = ua | ub; break;
    default: {  // << >>
      const uint32_t count = b.v[3] & c_family->mask;
      const bool too_far = count >= static_cast<uint32_t>(bits) || (c_two_word(b.type) && (b.v[4] & c_family->mask) != 0);
      if (op == 308) r = too_far ? 0 : ua << count;
      else if (too_far) r = is_signed && sa < 0 ? ~uint64_t{0} : 0;
      else r = is_signed ? static_cast<uint64_t>(sa >> count) : ua >> count;
    }
  }
  set_int(out, r);
  return 1;
}

// -1, 0, 1 of two values of one arithmetic or pointer type.
int compare(const c_value& a, const c_value& b) {
  const auto order = [](auto x, auto y) { return x < y ? -1 : x > y ? 1 : 0; };
  if (c_is_pointer(a.type)) return order(a.v[3] & c_family->address, b.v[3] & c_family->address);
  if (c_is_float_type(a.type)) {
    if (c_family_kind() == C_KIND_24) return c_tf_compare(tf(a), tf(b));
    return order(c_ieee_get(a), c_ieee_get(b));
  }
  if (c_is_signed_integral(a.type)) return order(c_int_signed(a), c_int_signed(b));
  return order(c_int_raw(a), c_int_raw(b));
}

int compare_holds(uint32_t op, int c) {
  switch (op) {
    case '<': return c < 0;
    case '>': return c > 0;
    case 306: return c <= 0;
    case 307: return c >= 0;
    case 304: return c == 0;
    default: return c != 0;
  }
}

void set_truth(c_value& v, bool truth) {
  v.v[3] = truth ? 1 : 0;
  v.v[4] = 0;
}

int eval_pointer_arith(c_node* n) {
  c_value& l = n->first->value;
  c_value& r = n->third->value;
  c_value& out = n->value;
  const uint32_t mask = c_family->address;
  if (n->op == '-' && c_is_pointer(r.type)) {
    const uint32_t size = element_size(l.type, l);
    const int64_t diff = static_cast<int64_t>(l.v[3] & mask) - static_cast<int64_t>(r.v[3] & mask);
    set_int(out, static_cast<uint64_t>(diff / static_cast<int64_t>(size == 0 ? 1 : size)));
    return 1;
  }
  const bool pointer_left = c_is_pointer(l.type);
  const c_value& p = pointer_left ? l : r;
  const c_value& i = pointer_left ? r : l;
  const uint64_t scaled = uint64_t{i.v[3]} * element_size(p.type, p);
  const uint64_t address = n->op == '-' ? uint64_t{p.v[3]} - scaled : uint64_t{p.v[3]} + scaled;
  out.v[3] = static_cast<uint32_t>(address) & mask;
  out.v[4] = p.v[4];
  return 1;
}

int eval_binary_value(c_node* n) {
  c_node* l = n->first;
  c_node* r = n->third;
  c_value& out = n->value;
  const uint32_t op = n->op;
  switch (op) {
    case 302:
    case 303: {
      const bool left = c_is_zero(l->value) == 0;
      if (op == 303 && !left) return set_truth(out, false), 1;
      if (op == 302 && left) return set_truth(out, true), 1;
      if (!fetch(r)) return 0;
      set_truth(out, c_is_zero(r->value) == 0);
      return 1;
    }
    case CN_COMMA: {
      if (!fetch(r)) return 0;
      out = r->value;
      return 1;
    }
    default: break;
  }
  if (!fetch(l) || !fetch(r)) return 0;
  switch (op) {
    case '<':
    case '>':
    case 304:
    case 305:
    case 306:
    case 307: set_truth(out, compare_holds(op, compare(l->value, r->value)) != 0); return 1;
    case '+':
    case '-':
      if (c_is_pointer(l->value.type) || c_is_pointer(r->value.type)) return eval_pointer_arith(n);
      break;
    default: break;
  }
  if (c_is_float_type(out.type)) return float_arith(op, l->value, r->value, out);
  return integer_arith(op, l->value, r->value, out);
}

int eval_assign(c_node* n) {
  c_node* target = n->first;
  if (!fetch(n->third)) return 0;
  c_value& t = target->value;
  // The target's location is the node's own: evaluated, not fetched.
  for (int k = 0; k < 5; ++k) t.v[k] = n->third->value.v[k];
  if (c_family_kind() == C_KIND_32 && c_base(t.type) == CT_DOUBLE && c_level(t.type) == 0) t.v[0] &= ~0x1FFFFFu;
  if (c_store(t) == 0) return 0;
  for (int k = 0; k < 5; ++k) n->value.v[k] = t.v[k];
  return 1;
}

// The object's address for "." and "->".
int eval_member(c_node* n) {
  c_value& object = n->first->value;
  const uint32_t offset = n->value.sclass == SC_BIT_FIELD ? 0 : n->third->value.v[3];
  uint32_t space = 0, address = 0;
  if (n->op == CT_ARROW) {
    if (!fetch(n->first)) return 0;
    address = object.v[3];
    space = static_cast<uint32_t>(memory_model());
  } else if (object.located != 0) {
    if (!location_of(object, space, address)) return 0;
  } else {
    address = object.v[3];
    space = object.v[4];
  }
  n->value.address = (address + offset) & c_family->address;
  n->value.space = space;
  return 1;
}

int eval_step(c_node* n) {
  c_node* operand = n->middle;
  if (!fetch(operand)) return 0;
  const c_value old = operand->value;
  c_value one;
  c_one(old.type, one);
  c_value next = old;
  const bool increment = n->op == CN_POST_INC || n->op == CN_PRE_INC;
  if (c_is_pointer(old.type)) {
    const uint32_t size = element_size(old.type, old);
    next.v[3] = (increment ? old.v[3] + size : old.v[3] - size) & c_family->address;
  } else if (c_is_float_type(old.type)) {
    if (float_arith(increment ? '+' : '-', old, one, next) == 0) return 0;
  } else if (integer_arith(increment ? '+' : '-', old, one, next) == 0) {
    return 0;
  }
  operand->value = next;
  if (c_store(operand->value) == 0) return 0;
  const bool pre = n->op == CN_PRE_INC || n->op == CN_PRE_DEC;
  const c_value& shown = pre ? operand->value : old;
  for (int k = 0; k < 5; ++k) n->value.v[k] = shown.v[k];
  return 1;
}

int eval_unary(c_node* n) {
  c_node* m = n->middle;
  c_value& out = n->value;
  switch (n->op) {
    case '&':
    case CN_ARRAY_TO_POINTER:
    case CN_FUNCTION_TO_POINTER: {
      uint32_t space = 0, address = 0;
      if (c_is_function(m->value.type)) {
        address = m->value.address;
        space = 0;
      } else if (!location_of(m->value, space, address)) {
        return 0;
      }
      out.v[3] = address & c_family->address;
      out.v[4] = space;
      return 1;
    }
    case '*':
      if (!fetch(m)) return 0;
      out.address = m->value.v[3] & c_family->address;
      out.space = m->value.v[4];
      return 1;
    case CT_SIZEOF: set_int(out, static_cast<uint64_t>(c_sizeof_words(m->value))); return 1;
    case CN_POST_INC:
    case CN_PRE_INC:
    case CN_POST_DEC:
    case CN_PRE_DEC: return eval_step(n);
    case CN_CALL: return call_starter(n) != 0 ? 2 : 0;
    default: break;
  }
  if (!fetch(m)) return 0;
  switch (n->op) {
    case '+':
      for (int k = 0; k < 5; ++k) out.v[k] = m->value.v[k];
      return 1;
    case '-': {
      c_value negated;
      c_negate(m->value, negated);
      for (int k = 0; k < 5; ++k) out.v[k] = negated.v[k];
      return 1;
    }
    case '~': set_int(out, ~c_int_raw(m->value)); return 1;
    case '!': set_truth(out, c_is_zero(m->value) != 0); return 1;
    default: c_internal_error(SOURCE, __LINE__); return 0;
  }
}

// 1 evaluated, 2 a target call started, 0 failed.
int c_eval_node(c_node* n) {
  if (n->op == CN_CONDITIONAL) {
    c_node* chosen = c_is_zero(n->first->value) == 0 ? n->middle : n->third;
    if (!fetch(chosen)) return 0;
    for (int k = 0; k < 5; ++k) n->value.v[k] = chosen->value.v[k];
    return 1;
  }
  if (n->first != nullptr && n->third != nullptr) {
    switch (n->op) {
      case '=': return eval_assign(n);
      case '.':
      case CT_ARROW: return eval_member(n);
      case CN_CAST: {
        if (!fetch(n->third)) return 0;
        c_value converted;
        if (c_convert(n->third->value, n->value.type, converted) == 0) return 0;
        for (int k = 0; k < 5; ++k) n->value.v[k] = converted.v[k];
        return 1;
      }
      case CN_SUBSCRIPT: {
        c_node* p = c_is_pointer(n->first->value.type) ? n->first : n->third;
        c_node* i = p == n->first ? n->third : n->first;
        if (!fetch(p) || !fetch(i)) return 0;
        const uint64_t address = uint64_t{i->value.v[3]} * element_size(p->value.type, p->value) + p->value.v[3];
        n->value.address = static_cast<uint32_t>(address) & c_family->address;
        n->value.space = p->value.v[4];
        return 1;
      }
      case '#':
        if (!fetch(n->first) || !fetch(n->third)) return 0;
        n->value.address = n->first->value.v[3] & c_family->address;
        n->value.space = n->first->value.v[4];
        n->value.dims[0] = n->third->value.v[3];
        return 1;
      default: return eval_binary_value(n);
    }
  }
  if (n->middle != nullptr) return eval_unary(n);
  c_internal_error(SOURCE, __LINE__);
  return 0;
}

// The first operand the node still waits for: call arguments, then first,
// middle, third; short-circuits mark the skipped operand ready.
c_node* pending_operand(c_node* n) {
  if (n->op == CN_CALL && n->middle != nullptr)
    for (c_node* arg : n->middle->args)
      if (arg->ready == 0) return arg;
  if (n->first != nullptr && n->first->ready != 0) {
    if (n->op == 303 || n->op == 302) {
      const bool zero = c_is_zero(n->first->value) != 0;
      if (zero == (n->op == 303)) n->third->ready = 1;
    } else if (n->op == CN_CONDITIONAL) {
      const bool zero = c_is_zero(n->first->value) != 0;
      (zero ? n->middle : n->third)->ready = 1;
    }
  }
  if (n->op == CT_SIZEOF) n->middle->ready = 1;
  for (c_node* operand : {n->first, n->middle, n->third})
    if (operand != nullptr && operand->ready == 0) return operand;
  return nullptr;
}

int c_eval_loop() {
  for (;;) {
    c_node* n = c_node_pop();
    if (n == nullptr) return 0;
    if (n->ready == 0) {
      if (c_node* operand = pending_operand(n)) {
        if (!c_node_push(n) || !c_node_push(operand)) return 0;
        continue;
      }
      const int result = c_eval_node(n);
      if (result == 0) return 0;
      n->ready = 1;
      if (result == 2) {
        c_node_push(n);
        return 2;
      }
    }
    if (c_node_stack_count() == 0) {
      c_node_push(n);
      return 1;
    }
  }
}

void mark_leaves(c_node* n) {
  // Iterative: a tree may be deeper than the host stack likes.
  std::vector<c_node*> todo{n};
  while (!todo.empty()) {
    c_node* x = todo.back();
    todo.pop_back();
    if (x == nullptr) continue;
    x->ready = x->op == 0 ? 1 : 0;
    todo.push_back(x->first);
    todo.push_back(x->middle);
    todo.push_back(x->third);
    for (c_node* arg : x->args) todo.push_back(arg);
  }
}

}  // namespace

int c_eval_tree(c_tree& tree) {
  if (tree.root == nullptr) return 0;
  c_debug_reset();
  for (const auto& node : tree.nodes) node->ready = node->op == 0 ? 1 : 0;
  if (tree.nodes.empty()) mark_leaves(tree.root);
  c_node_stack_reset();
  c_node_push(tree.root);
  if (tree.root->op == 0) return 1;
  return c_eval_loop();
}

int c_eval_again() { return c_eval_loop(); }

bool c_condition_holds(c_tree& tree) {
  if (c_scope_matches(tree.scope_function, tree.scope_block) == 0) return false;
  c_error_quiet(true);
  c_node_stack_hold();
  bool holds = false;
  if (c_eval_tree(tree) == 1) {
    c_value& v = tree.root->value;
    if ((c_is_integral(v.type) || c_is_pointer(v.type)) && c_fetch(v) != 0) holds = c_int_raw(v) != 0;
  }
  c_node_stack_release();
  c_error_quiet(false);
  return holds;
}

void set_c_call_starter(c_call_starter starter) { call_starter = starter != nullptr ? starter : no_call_starter; }

