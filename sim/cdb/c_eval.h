// The C expression evaluator: the operators' type checks that the parser
// runs as it builds each node, and the walk that computes a tree's value
// against the current device.
//
// - The evaluator (`c_eval.h`): `c_check.cpp` runs each operator's type check as the parser builds
//   the node (`c_check_node`): operand classes, the usual arithmetic conversions inserted as cast
//   nodes (`c_promote`, `c_arith_convert`, `c_make_conversion`), array and function decay nodes
//   (`c_decay`), result types (`c_set_result_type`), compound assignments rewritten into `a = (T)(a
//   op b)` over a copy of `a`. `c_eval.cpp` walks the tree on the 1024-entry node stack without
//   recursion (`c_eval_loop`), short-circuits `&&`, `||`, `?:` and `sizeof`, and computes each node
//   from its ready operands; located results (`*p`, `a[i]`, members, `p # n`) get an address and are
//   fetched only when used. `c_arith.cpp` holds the number rules: integers of one or two words as
//   host 64-bit numbers masked to the family's width (so the most negative value divided by -1 wraps
//   without undefined behaviour), IEEE floats, the 24-bit families' target floats (multiplication,
//   addition, division through host doubles, negation, comparison) and casts. Calls into the target
//   go through `set_c_call_starter`; `c_call_result.cpp` keeps "ictr"/"cyc" and the evaluate
//   command's format around a call (`c_save_counters`/`c_restore_counters`, which also gives the
//   call node the result register's value) and resumes a waiting `evaluate` when the call's run ends
//   (`c_call_pending`, `c_call_resume`).
#pragma once

#include <cstdint>
#include <memory>

#include "sim/cdb/c_value.h"

// Node codes of the implicit conversions the checks insert.
enum : uint32_t { CN_ARRAY_TO_POINTER = 328, CN_FUNCTION_TO_POINTER = 329 };

// Check mode: the node's operands are linked (first/third for binary,
// middle for unary, all three for ?:, first = type holder for a cast).
// Sets the result type and may replace operands with conversion nodes or
// rewrite a compound assignment. 0 after reporting with c_parse_error.
int c_check_node(c_node* node);

// Evaluates a parsed tree: 0 failure (reported), 1 the root's value is
// ready, 2 a call into the target was started (the loop goes on with
// c_eval_again when its run ends).
int c_eval_tree(c_tree& tree);
int c_eval_again();
// A condition (breakpoints): with the pc in the tree's scope, evaluated
// quietly; true for a non-zero integral, character, enumeration or
// pointer result.
bool c_condition_holds(c_tree& tree);

// Around a call into the target: the caller's word (the evaluate command's
// format) and the "ictr" and "cyc" registers are kept before the call;
// afterwards the registers are put back and the call node, popped from
// the node stack, takes the result register's value by its type and is
// pushed back ready.
void c_save_counters(int word);
int c_restore_counters(int* word);
// An evaluate whose expression started a call: its tree waits here. When
// the call's run has ended, c_call_resume collects the result and goes on
// with the walk: 1 the value was printed in the saved format, 2 a further
// call started, 0 failed.
void c_call_pending(std::unique_ptr<c_tree> tree);
int c_call_resume();

// Calls into the target: started by this hook (1 started, 0 failed after
// reporting); without one a call fails with a message.
using c_call_starter = int (*)(c_node* call);
void set_c_call_starter(c_call_starter starter);

// A deep copy of a tree (values and argument lists) on the parse chain.
c_node* c_tree_copy(const c_node* node);
