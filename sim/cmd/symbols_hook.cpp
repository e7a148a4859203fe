// Stand-ins until the object-file debugger provides symbol lookup.
#include "sim/cmd/symbols.h"

int device_has_symbols() { return 0; }
int lookup_symbol_value(const char* /*name*/, arg_value* /*out*/) { return 0; }
int lookup_source_line(const char* /*name*/, arg_value* /*out*/) { return 0; }
