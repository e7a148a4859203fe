// The C expression evaluator: the operators' type checks that the parser
// runs as it builds each node, and the walk that computes a tree's value
// against the current device.
#pragma once

#include <cstdint>

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

// Calls into the target: started by this hook (1 started, 0 failed after
// reporting); without one a call fails with a message.
using c_call_starter = int (*)(c_node* call);
void set_c_call_starter(c_call_starter starter);

// A deep copy of a tree (values and argument lists) on the parse chain.
c_node* c_tree_copy(const c_node* node);
