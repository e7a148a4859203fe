// Braced C expressions as command arguments: compiled while the line is
// checked, kept for the action, evaluated in the current frame.
#include "sim/cmd/c_args.h"

#include <array>
#include <memory>

#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_lex.h"
#include "sim/cdb/c_parse.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"

namespace {

// The C expressions of the line being checked, waiting for the action.
struct compiled_tree {
  std::unique_ptr<c_tree> tree;
  int function = -1, block = -1;
};
std::array<compiled_tree, LEXER_SLOTS> compiled;

}  // namespace

const c_value* c_tree_result(c_tree& tree) { return c_eval_tree(tree) == 1 ? &tree.root->value : nullptr; }

int parse_c_expr_arg(int i, const char* no_calls) {
  if (!parse_braced_arg(i)) return 0;
  std::unique_ptr<c_tree> tree = c_parse(cur_lexer->typed(i));
  if (tree == nullptr) return reader_fail_at(i, c_last_error().c_str(), cur_lexer->start[i] + c_lex_error_pos());
  if (no_calls != nullptr && c_tree_has_call(tree->root) != 0) {
    c_parse_error(no_calls);
    return reader_fail(i, c_last_error().c_str());
  }
  compiled[static_cast<std::size_t>(i)] = {std::move(tree), expr_scope_function, expr_scope_block};
  cur_lexer->kind[i] = 'C';
  return 1;
}

std::unique_ptr<c_tree> take_c_tree(int i, int* scope_function, int* scope_block) {
  if (i < 0 || i >= LEXER_SLOTS) return nullptr;
  compiled_tree& c = compiled[static_cast<std::size_t>(i)];
  if (scope_function != nullptr) *scope_function = c.function;
  if (scope_block != nullptr) *scope_block = c.block;
  return std::move(c.tree);
}

