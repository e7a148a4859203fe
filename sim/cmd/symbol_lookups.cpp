// Labels of the loaded program as expression operands: the object-file
// look-ups behind the expressions' symbol source.
#include "sim/cdb/coff.h"
#include "sim/cdb/source.h"
#include "sim/expr/expr.h"
#include "sim/cmd/help.h"
#include "sim/cmd/hooks.h"
#include "sim/expr/symbols.h"

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

// Every symbol in table order (auxiliary entries skipped), for "help sym".
void list_symbols(std::vector<listed_symbol>& out) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr) return;
  for (std::size_t i = 0; i < info->symbols.size(); i += 1 + info->symbols[i].aux_count()) {
    const coff_symbol& s = info->symbols[i];
    const int section = s.section();
    out.push_back({coff_symbol_name(*info, s), static_cast<int>(s.sclass()), coff_space_letter(s.space()),
                   s.value(),
                   section > 0 && section < info->section_count
                       ? info->sections[static_cast<std::size_t>(section)].name
                       : std::string("global")});
  }
}

}  // namespace

void install_symbol_lookups() {
  set_symbol_source(&program_symbols);
  list_program_symbols = list_symbols;
}
