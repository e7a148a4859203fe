// C names in the scope of the pc: blocks from the innermost outward, the
// function's parameters, then the compilation unit.
#include "sim/cdb/c_scope.h"

#include <vector>

#include "sim/cdb/c_parse.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/frames.h"

namespace {

constexpr uint32_t SC_AUTO = 1;
constexpr uint32_t SC_REGISTER = 4;
constexpr uint32_t SC_ARGUMENT = 9;
constexpr uint32_t SC_REGISTER_PARAM = 17;
constexpr uint32_t SC_FURTHER = 19;
constexpr uint32_t SC_BIT_FIELD = 18;
constexpr uint32_t SC_BLOCK_C = 100;
constexpr uint32_t LOCATION_MEMORY = 2;
constexpr std::size_t BLOCK_DEPTH_MAX = 256;
constexpr int NOT_HOLDING = -2;

const coff_debug_info* dbg() { return current_debug_info(); }
const coff_symbol& sym(uint32_t i) { return dbg()->c_symbols[i]; }
uint32_t count() { return static_cast<uint32_t>(dbg()->c_symbols.size()); }
uint32_t next(uint32_t i) { return next_symbol(*dbg(), i); }

bool c_named(uint32_t i, const std::string& name) {
  const std::string n = coff_symbol_name(*dbg(), sym(i));
  return n.size() == name.size() + 1 && n[0] == 'F' && n.compare(1, std::string::npos, name) == 0;
}
bool is_c_function(const coff_symbol& s) { return s.is_function() && s.sclass() != SC_TYPEDEF; }
bool is_block_open(const coff_symbol& s) { return s.sclass() == SC_BLOCK_C && s.w[0] != 0 && symbol_name_is(s, ".bb"); }
bool is_bf(const coff_symbol& s) { return s.sclass() == SC_FUNCTION && symbol_name_is(s, ".bf"); }

uint32_t pc_now() { return frame_pc(); }

// The ".file" unit holding a symbol index.
bool in_unit(uint32_t i, int file) {
  return file >= 0 && i > static_cast<uint32_t>(file) && i < sym(static_cast<uint32_t>(file)).value();
}

// After a block's ".bb" (or a function's ".bf") up to the next block or
// function-end symbol, a symbol of the name that passes the test.
template <typename F>
int search_after(uint32_t from, const std::string& name, F&& fits) {
  for (uint32_t i = next(from); i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (s.sclass() == SC_BLOCK_C || (s.sclass() == SC_FUNCTION && !is_bf(s))) return -1;
    if (fits(s) && c_named(i, name)) return static_cast<int>(i);
  }
  return -1;
}

// Unit level: outside every function body and block.
template <typename F>
int search_unit(const std::string& name, F&& fits) {
  int depth = 0;
  for (uint32_t i = 0; i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (is_bf(s) || is_block_open(s)) {
      ++depth;
      continue;
    }
    if ((s.sclass() == SC_FUNCTION || s.sclass() == SC_BLOCK_C) && depth > 0) {
      --depth;
      continue;
    }
    if (depth == 0 && fits(i, s) && c_named(i, name)) return static_cast<int>(i);
  }
  return -1;
}

void note_scope(int found, int block, int function) {
  if (found < 0) return;
  if (block >= 0) {
    if (block > expr_scope_block) {
      expr_scope_block = block;
      expr_scope_function = function;
    }
  } else if (expr_scope_block == -1) {
    expr_scope_function = function;
  }
}

}  // namespace

int c_function_at(uint32_t address) {
  if (dbg() == nullptr) return -1;
  for (uint32_t i = 0; i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (!is_c_function(s) || s.aux_count() == 0) continue;
    const uint32_t size = sym(i + 1).w[1];
    if (s.value() <= address && uint64_t{address} < uint64_t{s.value()} + size) return static_cast<int>(i);
  }
  return -1;
}

int c_function_begin(int function) {
  if (function < 0 || dbg() == nullptr) return -1;
  for (uint32_t i = next(static_cast<uint32_t>(function)); i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (is_c_function(s)) return -1;
    if (is_bf(s)) return static_cast<int>(i);
  }
  return -1;
}

int c_function_end(int function) {
  const int bf = c_function_begin(function);
  if (bf < 0) return -1;
  for (uint32_t i = next(static_cast<uint32_t>(bf)); i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (is_c_function(s)) return -1;
    if (s.sclass() == SC_FUNCTION && !is_bf(s)) return static_cast<int>(i);
  }
  return -1;
}

uint32_t c_function_body_address(uint32_t pc) {
  const int bf = c_function_begin(c_function_at(pc));
  return bf >= 0 ? sym(static_cast<uint32_t>(bf)).value() : 0;
}

int c_scope_function_at(uint32_t pc) {
  const int f = c_function_at(pc);
  if (f < 0) return -1;
  const int bf = c_function_begin(f);
  if (bf < 0) return f;
  if (sym(static_cast<uint32_t>(bf)).value() > pc) return -1;
  const int end = c_function_end(f);
  return end >= 0 && sym(static_cast<uint32_t>(end)).value() >= pc ? bf : -1;
}

int c_block_at(uint32_t pc) {
  if (dbg() == nullptr) return -1;
  std::vector<int> open;
  for (uint32_t i = 0; i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (s.sclass() != SC_BLOCK_C) continue;
    if (is_block_open(s)) {
      if (open.size() == BLOCK_DEPTH_MAX) return -1;
      open.push_back(s.value() <= pc ? static_cast<int>(i) : NOT_HOLDING);
    } else if (!open.empty()) {
      const int b = open.back();
      open.pop_back();
      if (b >= 0 && s.value() >= pc) return b;
    }
  }
  return -1;
}

int c_block_parent(int block) {
  if (dbg() == nullptr || block < 0) return -1;
  std::vector<int> open;
  for (uint32_t i = 0; i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (s.sclass() != SC_BLOCK_C) continue;
    if (is_block_open(s)) {
      if (static_cast<int>(i) == block) return open.empty() ? -1 : open.back();
      if (open.size() == BLOCK_DEPTH_MAX) return -1;
      open.push_back(static_cast<int>(i));
    } else if (!open.empty()) {
      open.pop_back();
    }
  }
  return -1;
}

int c_lookup_identifier(const std::string& name) {
  if (dbg() == nullptr) return -1;
  const uint32_t pc = pc_now();
  const int function = c_scope_function_at(pc);
  struct block_fit {
    bool operator()(const coff_symbol& s) const {
      return s.sclass() == SC_STATIC ||
             ((s.sclass() == SC_AUTO || s.sclass() == SC_REGISTER || s.sclass() == SC_FURTHER) && s.section() == -1);
    }
  };
  for (int b = c_block_at(pc); b >= 0; b = c_block_parent(b)) {
    const int found = search_after(static_cast<uint32_t>(b), name, block_fit{});
    if (found >= 0) {
      note_scope(found, b, function);
      return found;
    }
  }
  if (function >= 0 && is_bf(sym(static_cast<uint32_t>(function)))) {
    struct param_fit {
        bool operator()(const coff_symbol& s) const {
        return s.sclass() == SC_ARGUMENT || s.sclass() == SC_REGISTER_PARAM || s.sclass() == SC_FURTHER;
      }
    };
    const int found = search_after(static_cast<uint32_t>(function), name, param_fit{});
    if (found >= 0) {
      note_scope(found, -1, function);
      return found;
    }
  }
  const int file = c_find_file("");
  const int found = search_unit(name, [&](uint32_t i, const coff_symbol& s) {
    return s.section() != -2 && (s.sclass() == SC_EXTERNAL || (s.sclass() == SC_STATIC && in_unit(i, file)));
  });
  note_scope(found, -1, -1);
  return found;
}

int c_lookup_scoped(const std::string& name, uint32_t sclass) {
  if (dbg() == nullptr) return -1;
  const uint32_t pc = pc_now();
  struct class_fit {
    uint32_t sclass;
    bool operator()(const coff_symbol& s) const { return s.sclass() == sclass; }
  };
  for (int b = c_block_at(pc); b >= 0; b = c_block_parent(b)) {
    const int found = search_after(static_cast<uint32_t>(b), name, class_fit{sclass});
    if (found >= 0) return found;
  }
  return search_unit(name, [&](uint32_t, const coff_symbol& s) { return s.sclass() == sclass; });
}

std::string c_symbol_name(uint32_t index) {
  if (dbg() == nullptr || index >= count()) return "";
  std::string name = coff_symbol_name(*dbg(), sym(index));
  if (name.size() > 1 && name[0] == 'F') name.erase(0, 1);
  return name;
}

void c_symbol_value(c_value& value, uint32_t index) {
  const coff_symbol& s = sym(index);
  const coff_symbol* aux = s.aux_count() > 0 ? &sym(index + 1) : nullptr;
  value.address = s.value();
  value.space = static_cast<uint32_t>(memory_model());
  value.type = s.type();
  value.sclass = s.sclass() == SC_BIT_FIELD ? SC_BIT_FIELD : LOCATION_MEMORY;
  const uint32_t base = s.type() & 0xF;
  if (aux != nullptr && (base == CT_STRUCT || base == CT_UNION || base == CT_ENUM)) value.tag = aux->w[0];
  // A bit field's width and offset are read through its symbol.
  if (s.sclass() == SC_BIT_FIELD) value.tag = index;
  bool array = false;
  for (uint32_t t = s.type() >> 4; (t & 0xFFF) != 0; t >>= 2) array = array || (t & 3) == 3;
  if (array && aux != nullptr)
    for (int k = 0; k < 4; ++k) value.dims[k] = aux->w[3 + k] == 0 ? 1 : aux->w[3 + k];
  value.located = 1;
}

int c_is_line_address(uint32_t address) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || !info->has_symbols()) return 1;
  for (const coff_line& l : info->lines) {
    if (l.line != 0 && l.address == address) return 1;
  }
  return 0;
}

int c_scope_matches(int function, int block) {
  if (function == -1 && block == -1) return 1;
  const uint32_t pc = pc_now();
  int pc_function = -1, pc_block = -1;
  if (coff_debug_info* info = current_debug_info()) {
    // A breakpoint condition asks at every instruction: each pc's scope
    // is worked out once per loaded program.
    constexpr std::size_t SCOPE_CACHE_SIZE = 4096;
    if (info->scope_cache.empty()) info->scope_cache.resize(SCOPE_CACHE_SIZE);
    coff_debug_info::scope_entry& e = info->scope_cache[pc % SCOPE_CACHE_SIZE];
    if (e.pc != pc) e = {pc, c_scope_function_at(pc), c_block_at(pc)};
    pc_function = e.function;
    pc_block = e.block;
  }
  if (pc_function != function) return 0;
  return block == -1 || pc_block >= block ? 1 : 0;
}

int c_struct_size(uint32_t tag) {
  if (dbg() == nullptr) return 1;
  for (uint32_t i = tag; i < count(); i = next(i)) {
    const coff_symbol& s = sym(i);
    if (s.sclass() == 102) return s.aux_count() > 0 ? static_cast<int>(sym(i + 1).w[2]) : 1;
  }
  return 1;
}

int c_enum_tag_of(uint32_t member) {
  if (dbg() == nullptr) return -1;
  int tag = -1;
  for (uint32_t i = 0; i < count(); i = next(i)) {
    const uint32_t sclass = sym(i).sclass();
    if (i == member) return sclass == 16 ? tag : -1;
    if (sclass == 15) {
      tag = static_cast<int>(i);
    } else if (sclass != 16) {
      tag = -1;
    }
  }
  return -1;
}

int c_enum_member_by_value(uint32_t tag, uint32_t value) {
  if (dbg() == nullptr || tag >= count()) return -1;
  for (uint32_t i = next(tag); i < count() && sym(i).sclass() == 16; i = next(i)) {
    if (sym(i).value() == value) return static_cast<int>(i);
  }
  return -1;
}

namespace {

constexpr uint32_t SC_STRUCT_MEMBER = 8;
constexpr uint32_t SC_UNION_MEMBER = 11;
constexpr uint32_t SC_ENUM_MEMBER = 16;

// The members of a tag in order, up to its end.
std::vector<uint32_t> members_of(uint32_t tag) {
  std::vector<uint32_t> out;
  if (tag >= count()) return out;
  for (uint32_t i = next(tag); i < count(); i = next(i)) {
    const uint32_t sclass = sym(i).sclass();
    if (sclass == SC_STRUCT_MEMBER || sclass == SC_UNION_MEMBER || sclass == SC_ENUM_MEMBER || sclass == 18) {
      out.push_back(i);
    } else {
      break;
    }
  }
  return out;
}

uint32_t member_tag(uint32_t i) {
  const coff_symbol& s = sym(i);
  const uint32_t base = s.type() & 0xF;
  return (base == 8 || base == 9 || base == 10) && s.aux_count() > 0 ? sym(i + 1).w[0] : 0;
}

bool same_name(uint32_t a, uint32_t b) {
  return coff_symbol_name(*dbg(), sym(a)) == coff_symbol_name(*dbg(), sym(b));
}

// Every member of a has one of the same name in b that passes the test.
template <typename F>
bool each_found(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, F&& fits) {
  for (const uint32_t m : a) {
    bool found = false;
    for (const uint32_t n : b) found = found || (same_name(m, n) && fits(m, n));
    if (!found) return false;
  }
  return true;
}

}  // namespace

int c_types_compatible(uint32_t type_a, uint32_t tag_a, uint32_t type_b, uint32_t tag_b) {
  while ((type_a & 0x30) == 0x10 && (type_b & 0x30) == 0x10) {
    type_a = c_strip_level(type_a);
    type_b = c_strip_level(type_b);
  }
  if (type_a != type_b) return 0;
  if ((type_a & 0x30) == 0x30) return 0;
  const uint32_t base = type_a & 0xF;
  if ((base != 8 && base != 9 && base != 10) || tag_a == tag_b) return 1;
  if (dbg() == nullptr) return 0;
  const std::vector<uint32_t> ma = members_of(tag_a), mb = members_of(tag_b);
  const auto compatible = [](uint32_t m, uint32_t n) {
    return c_types_compatible(sym(m).type(), member_tag(m), sym(n).type(), member_tag(n)) != 0;
  };
  if (base == 8) {
    if (ma.size() != mb.size()) return 0;
    for (std::size_t k = 0; k < ma.size(); ++k)
      if (!same_name(ma[k], mb[k]) || !compatible(ma[k], mb[k])) return 0;
    return 1;
  }
  if (base == 9) return each_found(ma, mb, compatible) && each_found(mb, ma, compatible) ? 1 : 0;
  const auto same_value = [](uint32_t m, uint32_t n) {
    return sym(m).value() == sym(n).value() && sym(m).space() == sym(n).space();
  };
  return each_found(ma, mb, same_value) && each_found(mb, ma, same_value) ? 1 : 0;
}
