// Helpers shared by the object-file code of this folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/cdb/coff_bytes.h"

#include "sim/cdb/coff.h"

// The index after a symbol and its auxiliary entries (at most symbol_count).
uint32_t next_symbol(const coff_debug_info& info, uint32_t index);
// An inline name equal to name.
bool symbol_name_is(const coff_symbol& s, const char* name);
// Text of the string table at offset; "" with the message when out of range.
std::string string_at(const coff_debug_info& info, uint32_t offset);
void set_coff_error(const std::string& text);
int model_for_code(int code, int family_code);
int set_memory_model(coff_debug_info& info, int family_code);

// Fills starts with the line-start offsets of a named source file.
using source_indexer = void (*)(const std::string& name, std::vector<uint32_t>& starts);
// The debug information from a file's bytes; 0, or -1 with the message set.
int parse_coff_debug_info(const coff_bytes& f, int family_code, coff_debug_info& out,
                          source_indexer index_source);
