// The symbol lookups expressions use, answered by whichever source the
// object-file debugger installed.
#include "sim/expr/symbols.h"

namespace {
const symbol_source* installed = nullptr;
}

void set_symbol_source(const symbol_source* source) { installed = source; }

int device_has_symbols() {
  return installed != nullptr && installed->has_symbols != nullptr ? installed->has_symbols() : 0;
}

int lookup_symbol_value(const char* name, arg_value* out) {
  if (installed == nullptr || installed->lookup_symbol == nullptr) return 0;
  return installed->lookup_symbol(name, out);
}

int lookup_source_line(const char* name, arg_value* out) {
  if (installed == nullptr || installed->lookup_line == nullptr) return 0;
  return installed->lookup_line(name, out);
}
