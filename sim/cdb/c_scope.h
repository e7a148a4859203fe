// C names in the scope of the current pc (the selected frame's pc once
// frames exist): C identifiers stand in the table with an "F" before them.
#pragma once

#include <cstdint>
#include <string>

// Indexes of c_symbols, -1 when there is none.
int c_function_at(uint32_t address);
// The function's ".bf" when pc lies in its body (its own index without one).
int c_scope_function_at(uint32_t pc);
int c_block_at(uint32_t pc);
int c_block_parent(int block);
// Blocks outward, then the parameters, then the unit; records the scope
// in expr_scope_block and expr_scope_function.
int c_lookup_identifier(const std::string& name);
// A name of the class from the innermost block outward, then the unit.
int c_lookup_scoped(const std::string& name, uint32_t sclass);
inline int c_lookup_typedef(const std::string& name) { return c_lookup_scoped(name, 13); }
inline int c_lookup_enum_member(const std::string& name) { return c_lookup_scoped(name, 16); }
