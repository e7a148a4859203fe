// Labels of the loaded program as expression operands: the object-file
// look-ups behind the expressions' symbol source.
#include "sim/cdb/coff.h"
#include "sim/cdb/source.h"
#include "sim/cmd/expr.h"
#include "sim/cmd/hooks.h"
#include "sim/cmd/symbols.h"

namespace {

int has_symbols() {
  const coff_debug_info* info = current_debug_info();
  return info != nullptr && info->has_symbols() ? 1 : 0;
}

int lookup_symbol(const char* name, arg_value* out) {
  uint32_t address = 0;
  int space = 0;
  if (find_symbol(name, &address, &space) == 0) return 0;
  out->addr = address;
  out->space = static_cast<uint32_t>(space);
  return 1;
}

int lookup_line(const char* name, arg_value* out) {
  uint32_t address = 0;
  int space = 0;
  if (source_line_location(name, &address, &space) <= 0) return 0;
  out->addr = address;
  out->space = static_cast<uint32_t>(space);
  return 1;
}

constexpr symbol_source program_symbols{has_symbols, lookup_symbol, lookup_line};

}  // namespace

void install_symbol_lookups() { set_symbol_source(&program_symbols); }
