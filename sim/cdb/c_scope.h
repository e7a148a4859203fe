// C names in the scope of the current pc (the selected frame's pc once
// frames exist): C identifiers stand in the table with an "F" before them.
#pragma once

#include <cstdint>
#include <string>

// Indexes of c_symbols, -1 when there is none.
int c_function_at(uint32_t address);
// The function's ".bf" when pc lies in its body (its own index without one).
int c_scope_function_at(uint32_t pc);
// The function's ".bf" and the end symbol that closes its body.
int c_function_begin(int function);
int c_function_end(int function);
// Where the body of the function holding pc starts, past the prologue:
// its ".bf" address, 0 when there is none.
uint32_t c_function_body_address(uint32_t pc);
int c_block_at(uint32_t pc);
int c_block_parent(int block);
// Blocks outward, then the parameters, then the unit; records the scope
// in expr_scope_block and expr_scope_function.
int c_lookup_identifier(const std::string& name);
// A name of the class from the innermost block outward, then the unit.
int c_lookup_scoped(const std::string& name, uint32_t sclass);
inline int c_lookup_typedef(const std::string& name) { return c_lookup_scoped(name, 13); }
inline int c_lookup_enum_member(const std::string& name) { return c_lookup_scoped(name, 16); }

// 1 when a line record (of a non-zero line) has exactly that address, and
// when no symbols are loaded.
int c_is_line_address(uint32_t address);
// 1 when the pc lies in the scope recorded for an expression.
int c_scope_matches(int function, int block);
// A C symbol's name as the user writes it, without the "F".
std::string c_symbol_name(uint32_t index);
// A value at the symbol's place: its address in the memory model's space,
// its type, tag and dimensions; location kind 2, or 18 with the tag naming
// the symbol for a bit field.
struct c_value;
void c_symbol_value(c_value& value, uint32_t index);
// Words of a structure or union tag (1 without an end-of-structure entry).
int c_struct_size(uint32_t tag);
int c_enum_tag_of(uint32_t member);
int c_enum_member_by_value(uint32_t tag, uint32_t value);
// Pointer levels stripped together; structures member by member in order,
// unions and enumerations by name both ways; arrays never.
int c_types_compatible(uint32_t type_a, uint32_t tag_a, uint32_t type_b, uint32_t tag_b);
