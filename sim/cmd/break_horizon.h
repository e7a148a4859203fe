// Conditions on the cycle count that are false for whole stretches of
// counts: "cyc" compared with constants, joined by &&, || and ! with terms
// that name neither "cyc" nor "pc". Within such a stretch no test of the
// condition can hit, whatever those other terms hold, so the run need not
// test it cycle by cycle there.
//
// - Conditions on the count alone (`sim/cmd/break_horizon.h`, "Breakpoints on the count" below):
//   "cyc" compared with constants, joined by `&&`, `||` and `!` with terms that name neither "cyc"
//   nor "pc". The plan sets `breaks_cycle_bounded` when every condition that can fire inside an
//   instruction is one; the fast engine then runs up to the first count at which a test may hit
//   (`run_hook.break_horizon`) and gives that cycle to the cycle engine (`run_device_cycle`, which
//   tests as always).
#pragma once

#include <cstdint>
#include <vector>

#include "sim/cmd/breakpoints.h"

// The condition in postfix order over three values (false, true, unknown).
struct cycle_bound {
  enum kind : uint8_t { B_COMPARE, B_UNKNOWN, B_TRUE, B_FALSE, B_AND, B_OR, B_NOT };
  struct node {
    uint8_t kind;
    uint16_t op;    // break_compare code of a B_COMPARE: cyc op k
    int64_t k = 0;
  };
  std::vector<node> nodes;
};

// One past the largest cycle count.
constexpr uint64_t CYCLE_COUNT_END = uint64_t{1} << 32;

// The condition of an enabled breakpoint as a cycle bound, on the current
// device whose "cyc" register is (row, reg); false when it cannot be
// bounded (it names "pc", compares cyc with anything but a constant, or
// uses cyc inside arithmetic).
bool bound_condition(const break_rec& bp, int row, int reg, cycle_bound& out);

// The first count >= from at which a test of the condition may hit
// (CYCLE_COUNT_END when none below it).
uint64_t first_possible_hit(const cycle_bound& bound, uint64_t from);
