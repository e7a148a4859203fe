// Assembly labels by name: blocks, sections, macro expansions and the
// label classes; C functions by name and file for the same look-up.
//
// - `coff_symbols.cpp`: labels by name (`find_symbol`: blocks of sections, "block@label",
//   "global@label", underscore labels after their block label, macro-expansion labels, the name
//   index) in the context of the device's pc, and C functions by name and file. Expressions reach it
//   through the `symbol_source` that `install_symbol_lookups` (`sim/cmd/symbol_lookups.cpp`)
//   installs; C type words are read from `c_symbols`, since `symbols` holds blocks in them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/cdb/c_scope.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"

namespace {

const coff_debug_info* dbg() { return current_debug_info(); }

std::string name_of(uint32_t index) { return coff_symbol_name(*dbg(), dbg()->symbols[index]); }

bool named(uint32_t index, const std::string& name) { return name_of(index) == name; }

// A C name: the symbol's "F" prefix dropped.
bool c_named(uint32_t index, const std::string& name) {
  const std::string n = name_of(index);
  return !n.empty() && n[0] == 'F' && n.compare(1, std::string::npos, name) == 0;
}

int resolved(int space, uint32_t address) {
  if (cur_type == nullptr || space < 0 || space >= SPACE_CODE_COUNT) return -1;
  return cur_type->mem->resolve_space(space, address);
}

// The name of a ".bs" block: its value is a string-table offset.
std::string block_name(uint32_t block) {
  if (block == 0 || block >= dbg()->symbol_count) return "";
  return string_at(*dbg(), dbg()->symbols[block].value());
}

uint32_t parent_block(uint32_t block) {
  return block != 0 && block < dbg()->symbol_count ? dbg()->symbols[block].type() : 0;
}

bool is_marker(const coff_symbol& s, uint32_t sclass, const char* name) {
  return s.sclass() == sclass && symbol_name_is(s, name);
}

template <typename F>
void each_symbol(F&& f) {
  const coff_debug_info& info = *dbg();
  for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
    if (!f(i, info.symbols[i])) return;
  }
}

// Entries of the name index with this name: [first, end).
std::pair<uint32_t, uint32_t> name_run(const std::string& name) {
  const auto& index = dbg()->name_index;
  if (index.empty()) return {1, 1};
  const uint32_t n = index[0];
  uint32_t lo = 1, hi = n + 1;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (name_of(index[mid]) < name) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  uint32_t end = lo;
  while (end <= n && named(index[end], name)) ++end;
  return {lo, end};
}

uint32_t distance(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

uint32_t section_first_symbol(int section) {
  uint32_t found = 0;
  each_symbol([&](uint32_t i, const coff_symbol& s) {
    if (s.section() != section) return true;
    found = i;
    return false;
  });
  return found;
}

}  // namespace

int coff_section_block_at(uint32_t address, int space) {
  const coff_debug_info* info = dbg();
  if (info == nullptr) return 0;
  const int s = coff_section_at(address, space);
  return s > 0 ? static_cast<int>(info->sections[static_cast<std::size_t>(s)].block) : 0;
}

int coff_label_in_block(const std::string& name, uint32_t block) {
  int found = 0;
  each_symbol([&](uint32_t i, const coff_symbol& s) {
    if (s.sclass() == SC_LABEL_213 && s.type() == block && named(i, name)) found = static_cast<int>(i);
    return found == 0;
  });
  if (found != 0) return found;
  each_symbol([&](uint32_t i, const coff_symbol& s) {
    if (s.sclass() == SC_LABEL_211 && s.section() > 0 && s.section() < dbg()->section_count &&
        dbg()->sections[static_cast<std::size_t>(s.section())].block == block && named(i, name))
      found = static_cast<int>(i);
    return found == 0;
  });
  return found;
}

int coff_section_macro(int section) {
  const coff_debug_info* info = dbg();
  if (info == nullptr || section <= 0 || section >= info->section_count) return 0;
  const coff_section& sec = info->sections[static_cast<std::size_t>(section)];
  if ((sec.flags & SECT_MACRO) == 0) return 0;
  const uint32_t own = section_first_symbol(section);
  int macro = 0;
  for (uint32_t i = sec.block; i < own && i < info->symbol_count; i = next_symbol(*info, i)) {
    if (is_marker(info->symbols[i], SC_MACRO, ".bm")) macro = static_cast<int>(i);
  }
  return macro;
}

int coff_underscore_label(uint32_t address, int space, const std::string& name) {
  const coff_debug_info& info = *dbg();
  const int r = resolved(space, address);
  const auto block = static_cast<uint32_t>(coff_section_block_at(address, space));
  int anchor = -1;
  each_symbol([&](uint32_t i, const coff_symbol& s) {
    if (s.sclass() == SC_LABEL_213 && s.type() == block && s.value() <= address &&
        resolved(s.space(), address) == r &&
        (anchor < 0 || s.value() >= info.symbols[static_cast<std::size_t>(anchor)].value()))
      anchor = static_cast<int>(i);
    return true;
  });
  if (anchor < 0) return 0;
  int depth = 0;
  for (uint32_t i = next_symbol(info, static_cast<uint32_t>(anchor)); i < info.symbol_count;
       i = next_symbol(info, i)) {
    const coff_symbol& s = info.symbols[i];
    if (s.sclass() == SC_BLOCK) {
      depth += symbol_name_is(s, ".bs") ? 1 : -1;
      if (depth < 0) return 0;
      continue;
    }
    if (s.type() != block) continue;
    if (s.sclass() == SC_LABEL_213) return 0;
    if (s.sclass() == SC_LABEL_UNDERSCORE && named(i, name)) return static_cast<int>(i);
  }
  return 0;
}

int coff_macro_label(uint32_t address, int space, const std::string& name) {
  const coff_debug_info& info = *dbg();
  const int macro = coff_section_macro(coff_section_at(address, space));
  if (macro == 0) return 0;
  int depth = 0;
  for (auto i = static_cast<uint32_t>(macro); i < info.symbol_count; i = next_symbol(info, i)) {
    const coff_symbol& s = info.symbols[i];
    if (s.sclass() == SC_MACRO) {
      depth += symbol_name_is(s, ".bm") ? 1 : -1;
      if (depth == 0) return 0;
      continue;
    }
    if (depth == 1 && s.sclass() == SC_LABEL_MACRO && named(i, name)) return static_cast<int>(i);
  }
  return 0;
}

int coff_nearest_label(uint32_t address, const std::string& name) {
  int best = 0;
  each_symbol([&](uint32_t i, const coff_symbol& s) {
    if ((s.sclass() == SC_LABEL_213 || s.sclass() == SC_LABEL_MACRO) && named(i, name) &&
        (best == 0 || distance(s.value(), address) <
                          distance(dbg()->symbols[static_cast<std::size_t>(best)].value(), address)))
      best = static_cast<int>(i);
    return true;
  });
  return best;
}

int coff_global_label(const std::string& name, uint32_t sclass) {
  const auto [first, end] = name_run(name);
  for (uint32_t k = first; k < end; ++k) {
    const uint32_t i = dbg()->name_index[k];
    if (dbg()->symbols[i].sclass() == sclass) return static_cast<int>(i);
  }
  return 0;
}

int coff_nearest_indexed_label(uint32_t address, const std::string& name) {
  const auto [first, end] = name_run(name);
  int best = 0;
  for (uint32_t k = first; k < end; ++k) {
    const uint32_t i = dbg()->name_index[k];
    const coff_symbol& s = dbg()->symbols[i];
    if (s.sclass() != SC_LABEL_213 && s.sclass() != SC_LABEL_211 && s.sclass() != SC_EXTERNAL) continue;
    if (best == 0 ||
        distance(s.value(), address) < distance(dbg()->symbols[static_cast<std::size_t>(best)].value(), address))
      best = static_cast<int>(i);
  }
  return best;
}

int c_find_file(const std::string& text) {
  const coff_debug_info* info = dbg();
  if (info == nullptr || cur_inst == nullptr) return -1;
  const std::size_t at = text.find('@');
  if (at == std::string::npos || at == 0) return coff_file_symbol_at(frame_pc(), SPACE_P);
  const std::string prefix = text.substr(0, at);
  for (uint32_t i = 0; i < info->symbol_count; i = next_symbol(*info, i)) {
    if (info->symbols[i].sclass() != SC_FILE) continue;
    std::string file = coff_file_name(*info, static_cast<int>(i));
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos) file.erase(0, slash + 1);
    if (file.compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
  }
  return -1;
}

int c_find_function(const std::string& name, int file) {
  const coff_debug_info* info = dbg();
  if (info == nullptr) return 0;
  // The unit of a ".file": up to the next one of the chain.
  const auto in_file = [&](uint32_t i) {
    if (file < 0 || static_cast<uint32_t>(file) >= info->symbol_count) return false;
    return i > static_cast<uint32_t>(file) && i < info->symbols[static_cast<std::size_t>(file)].value();
  };
  // Type words as read: the annotated table holds blocks in them.
  for (uint32_t i = 0; i < info->symbol_count; i = next_symbol(*info, i)) {
    const coff_symbol& s = info->c_symbols[i];
    if (!s.is_function() || s.sclass() == SC_TYPEDEF || s.section() == -2) continue;
    if (!(s.sclass() == SC_EXTERNAL || (s.sclass() == SC_STATIC && in_file(i))) || !c_named(i, name)) continue;
    const int bf = c_function_begin(static_cast<int>(i));
    return bf >= 0 ? bf : static_cast<int>(i);
  }
  return 0;
}

int find_symbol(const char* text, uint32_t* address, int* space) {
  const coff_debug_info* info = dbg();
  if (info == nullptr || !info->has_symbols() || text == nullptr || cur_inst == nullptr) return 0;
  std::string whole = text;
  if (!whole.empty() && whole[0] == '@') whole.erase(0, 1);
  const std::size_t at = whole.find('@');
  const std::string prefix = at == std::string::npos ? "" : whole.substr(0, at);
  std::string name = at == std::string::npos ? whole : whole.substr(at + 1);
  if (name.empty()) return 0;

  // The context: the pc in program space, or the start of a named block's section.
  uint32_t ctx = frame_pc();
  int ctx_space = resolved(SPACE_P, ctx);
  int result = 0;
  if (at != std::string::npos && prefix != "global") {
    bool block_found = false;
    for (int s = 3; s < info->section_count && !block_found; ++s) {
      const coff_section& sec = info->sections[static_cast<std::size_t>(s)];
      if (sec.block != 0 && block_name(sec.block) == prefix) {
        ctx = sec.start;
        ctx_space = sec.space;
        block_found = true;
      }
    }
    if (!block_found) {
      const int file = c_find_file(whole);
      result = file >= 0 ? c_find_function(name, file) : 0;
      if (result == 0) return 0;
    }
  }
  if (result == 0) {
    const bool underscore = name[0] == '_';
    if (underscore) {
      const std::string bare = name.substr(1);
      result = coff_underscore_label(ctx, ctx_space, bare);
      if (result == 0) result = coff_macro_label(ctx, ctx_space, bare);
      if (result == 0) result = coff_nearest_label(ctx, bare);
    }
    const auto block = static_cast<uint32_t>(coff_section_block_at(ctx, ctx_space));
    if (result == 0 && !underscore && block != 0) {
      result = coff_label_in_block(name, block);
      const std::string bname = block_name(block);
      for (int s = 3; result == 0 && s < info->section_count; ++s) {
        const uint32_t other = info->sections[static_cast<std::size_t>(s)].block;
        if (other != 0 && other != block && block_name(other) == bname) result = coff_label_in_block(name, other);
      }
      for (uint32_t b = parent_block(block); result == 0 && b != 0; b = parent_block(b))
        result = coff_label_in_block(name, b);
    }
    if (result == 0) {
      bool declared = false;
      each_symbol([&](uint32_t i, const coff_symbol& s) {
        declared = s.sclass() == SC_LABEL_212 && s.type() == block && named(i, name);
        return !declared;
      });
      result = declared ? coff_global_label(name, SC_LABEL_211) : coff_global_label(name, SC_LABEL_210);
      if (result == 0) result = coff_nearest_indexed_label(ctx, name);
    }
    if (result == 0) result = c_find_function(name, c_find_file(""));
  }
  if (result == 0) return 0;
  const coff_symbol& s = info->symbols[static_cast<std::size_t>(result)];
  if (address != nullptr) *address = s.value();
  if (space != nullptr) *space = s.space();
  return result;
}
