// Braced C expressions as command arguments: compiled while the line is
// checked, kept for the action, evaluated in the current frame.
#pragma once

#include <memory>

#include "sim/cdb/c_value.h"

// The value of a compiled C expression in the current frame, null after
// a failed evaluation (reported unless C errors are quiet).
const c_value* c_tree_result(c_tree& tree);
// A braced C expression at token i compiled now; the tree waits in the
// token's slot for the action (take_c_tree). A tree that calls a target
// function is refused with the message no_calls, when one is given.
int parse_c_expr_arg(int i, const char* no_calls);
std::unique_ptr<c_tree> take_c_tree(int i, int* scope_function, int* scope_block);
