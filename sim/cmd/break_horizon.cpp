// Cycle bounds of breakpoint conditions: the compiled condition read back
// as a formula over "cyc op constant" terms and terms the count does not
// decide, and the next count at which it may become anything but false.
#include "sim/cmd/break_horizon.h"

#include <array>
#include <cstring>
#include <iterator>
#include <utility>

#include "sim/expr/expr.h"
#include "sim/expr/expr_ops.h"
#include "sim/engine/device/current_device.h"

namespace {

using node = cycle_bound::node;

bool compare_holds(uint16_t op, int64_t v, int64_t k) {
  switch (op) {
    case CMP_NE: return v != k;
    case CMP_LE: return v <= k;
    case CMP_LT: return v < k;
    case CMP_GE: return v >= k;
    case CMP_GT: return v > k;
    default: return v == k;
  }
}

// 0 false, 1 true, 2 unknown; also 2 for a formula it cannot read.
int evaluate_at(const cycle_bound& bound, int64_t v) {
  std::array<uint8_t, 2 * EXPR_STACK_DEPTH> stack{};
  std::size_t n = 0;
  for (const node& x : bound.nodes) {
    if (x.kind <= cycle_bound::B_FALSE) {
      if (n == stack.size()) return 2;
      static constexpr uint8_t leaf[] = {0, 2, 1, 0};
      stack[n++] = x.kind == cycle_bound::B_COMPARE ? (compare_holds(x.op, v, x.k) ? 1 : 0) : leaf[x.kind];
      continue;
    }
    if (x.kind == cycle_bound::B_NOT) {
      if (n < 1) return 2;
      stack[n - 1] = stack[n - 1] == 2 ? 2 : 1 - stack[n - 1];
      continue;
    }
    if (n < 2) return 2;
    const uint8_t a = stack[n - 2], b = stack[n - 1];
    --n;
    if (x.kind == cycle_bound::B_AND)
      stack[n - 1] = a == 0 || b == 0 ? 0 : (a == 1 && b == 1 ? 1 : 2);
    else
      stack[n - 1] = a == 1 || b == 1 ? 1 : (a == 0 && b == 0 ? 0 : 2);
  }
  return n == 1 ? stack[0] : 2;
}

// What a stretch of the compiled program stands for.
enum part_kind { P_CONSTANT, P_CYC, P_UNKNOWN, P_LOGIC };
struct part {
  part_kind kind;
  arg_value value;          // P_CONSTANT
  std::vector<node> nodes;  // P_LOGIC
};

bool truth_of(const arg_value& v) {
  return (v.type & AV_FLOAT) != 0 ? v.fval != 0.0 : value_u40(v) != 0;
}

// A part as a formula.
std::vector<node> as_formula(part& p) {
  if (p.kind == P_LOGIC) return std::move(p.nodes);
  if (p.kind == P_CONSTANT)
    return {node{static_cast<uint8_t>(truth_of(p.value) ? cycle_bound::B_TRUE : cycle_bound::B_FALSE), 0}};
  return {node{cycle_bound::B_UNKNOWN, 0}};
}

struct compare_name {
  const char* text;
  uint16_t op, mirrored;  // cyc on the left; constant on the left
};
constexpr compare_name compare_names[] = {
    {"!=", CMP_NE, CMP_NE}, {"<=", CMP_LE, CMP_GE}, {"<", CMP_LT, CMP_GT}, {">=", CMP_GE, CMP_LE},
    {">", CMP_GT, CMP_LT},  {"==", CMP_EQ, CMP_EQ}, {"=", CMP_EQ, CMP_EQ},
};

const compare_name* compare_of(const binary_op& op) {
  for (const compare_name& c : compare_names)
    if (std::strcmp(op.text, c.text) == 0) return &c;
  return nullptr;
}

// Joins the two top parts by the binary step; false when the result
// cannot be bounded.
bool join(const binary_op& op, part& left, part& right, part& out) {
  const bool counts = left.kind == P_CYC || right.kind == P_CYC || left.kind == P_LOGIC ||
                      right.kind == P_LOGIC;
  if (!counts) {
    if (left.kind == P_CONSTANT && right.kind == P_CONSTANT) {
      out.kind = P_CONSTANT;
      out.value = left.value;
      return op.apply(out.value, right.value);
    }
    out.kind = P_UNKNOWN;
    return true;
  }
  if (const compare_name* c = compare_of(op)) {
    const bool cyc_left = left.kind == P_CYC && right.kind == P_CONSTANT;
    const bool cyc_right = right.kind == P_CYC && left.kind == P_CONSTANT;
    if (!cyc_left && !cyc_right) return false;
    const arg_value& k = cyc_left ? right.value : left.value;
    if ((k.type & AV_FLOAT) != 0) return false;
    const int64_t bits = static_cast<int64_t>(value_u40(k));
    constexpr int64_t SIGN40 = int64_t{1} << 39;
    out.kind = P_LOGIC;
    out.nodes = {node{cycle_bound::B_COMPARE, cyc_left ? c->op : c->mirrored, (bits ^ SIGN40) - SIGN40}};
    return true;
  }
  const bool both = std::strcmp(op.text, "&&") == 0;
  if (!both && std::strcmp(op.text, "||") != 0) return false;
  if (left.kind == P_CYC || right.kind == P_CYC) return false;
  out.kind = P_LOGIC;
  out.nodes = as_formula(left);
  std::vector<node> second = as_formula(right);
  out.nodes.insert(out.nodes.end(), second.begin(), second.end());
  out.nodes.push_back(node{static_cast<uint8_t>(both ? cycle_bound::B_AND : cycle_bound::B_OR), 0});
  return true;
}

bool bound_expression(const expr_program& program, int row, int reg, cycle_bound& out) {
  std::vector<part> parts;
  for (const expr_step& step : program) {
    switch (step.kind) {
      case EXPR_STEP_CONSTANT:
        parts.push_back({P_CONSTANT, step.value, {}});
        break;
      case EXPR_STEP_REGISTER:
        parts.push_back({step.row == row && step.reg == reg ? P_CYC : P_UNKNOWN, {}, {}});
        break;
      case EXPR_STEP_ASM_ADDRESS:
        parts.push_back({P_UNKNOWN, {}, {}});
        break;
      case EXPR_STEP_UNARY: {
        if (parts.empty()) return false;
        part& p = parts.back();
        if (p.kind == P_CONSTANT) {
          if (!step.unary(p.value)) return false;
        } else if (p.kind == P_LOGIC && step.unary == apply_logical_not) {
          p.nodes.push_back(node{cycle_bound::B_NOT, 0});
        } else if (p.kind != P_UNKNOWN) {
          return false;
        }
        break;
      }
      case EXPR_STEP_BINARY: {
        if (parts.size() < 2 || step.binary == nullptr) return false;
        part right = std::move(parts.back());
        parts.pop_back();
        part left = std::move(parts.back());
        parts.pop_back();
        part joined{P_UNKNOWN, {}, {}};
        if (!join(*step.binary, left, right, joined)) return false;
        parts.push_back(std::move(joined));
        break;
      }
      default:
        return false;
    }
  }
  if (parts.size() != 1 || parts[0].kind != P_LOGIC) return false;
  out.nodes = std::move(parts[0].nodes);
  return true;
}

// Whether the expression evaluator reads "cyc" as the plain count.
bool cyc_reads_as_count(int row, int reg) {
  const expr_program one{expr_step{EXPR_STEP_REGISTER, row, reg, nullptr, nullptr, {}}};
  const expr_result v = run_expression(one, cur_type->expr_flags);
  return v && (v->type & AV_FLOAT) == 0 && value_u40(*v) == cur_inst->cycles;
}

}  // namespace

bool bound_condition(const break_rec& bp, int row, int reg, cycle_bound& out) {
  out.nodes.clear();
  if ((bp.mentions & MENTIONS_PC) != 0) return false;
  if (bp.kind == BK_REG_COMPARE) {
    if (bp.operands.region != row || bp.operands.item != reg || bp.operands.op > CMP_ASSIGN_EQ) return false;
    const uint32_t value = (bp.operands.lo & 0xFFFF) | (bp.operands.hi << 16);
    out.nodes.push_back(node{cycle_bound::B_COMPARE, bp.operands.op, value});
    return true;
  }
  if (bp.kind != BK_EXPRESSION || bp.program.empty() || !cyc_reads_as_count(row, reg)) return false;
  if (bound_expression(bp.program, row, reg, out)) return true;
  out.nodes.clear();
  return false;
}

uint64_t first_possible_hit(const cycle_bound& bound, uint64_t from) {
  // Each term changes only at k and k + 1.
  uint64_t v = from;
  while (v < CYCLE_COUNT_END) {
    if (evaluate_at(bound, static_cast<int64_t>(v)) != 0) return v;
    uint64_t next = CYCLE_COUNT_END;
    for (const node& x : bound.nodes) {
      if (x.kind != cycle_bound::B_COMPARE) continue;
      for (const int64_t change : {x.k, x.k + 1})
        if (change > static_cast<int64_t>(v) && static_cast<uint64_t>(change) < next)
          next = static_cast<uint64_t>(change);
    }
    v = next;
  }
  return CYCLE_COUNT_END;
}
