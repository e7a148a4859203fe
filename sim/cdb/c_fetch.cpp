// Fetching C values from and storing them to target memory, register
// variables and simulator registers.
#include <cstring>
#include <string>

#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {

constexpr const char* SOURCE = "cdbutil.c";

bool is_pointer(uint32_t type) { return (type & 0x30) == 0x10; }

bool is_long(uint32_t base) { return base == CT_LONG || base == CT_ULONG; }
bool is_float(uint32_t base) { return base == CT_FLOAT || base == CT_DOUBLE; }
bool is_one_word(uint32_t base) {
  return base == CT_CHAR || base == CT_SHORT || base == CT_INT || base == CT_ENUM || base == CT_ENUM_MEMBER ||
         base == CT_UCHAR || base == CT_USHORT || base == CT_UINT;
}

// A second memory word for longs and floats: the 16-bit families, and the
// 24-bit ones outside the long space.
bool second_word(uint32_t space) {
  return c_family_kind() == C_KIND_16 || (c_family_kind() == C_KIND_24 && space != 3);
}

bool read_word(uint32_t space, uint32_t address, uint32_t& out) {
  if (read_device_memory(cur_device, static_cast<int>(space), address & c_family->address, &out) != 0) return true;
  c_error("unable to read memory");
  return false;
}

bool write_word(uint32_t space, uint32_t address, uint32_t word) {
  if (write_device_memory(cur_device, static_cast<int>(space), address & c_family->address, &word) != 0) return true;
  c_error("unable to write memory");
  return false;
}

uint32_t pack16(uint32_t low, uint32_t high) { return (low & 0xFFFF) | ((high & 0xFFFF) << 16); }

int memory_fetch(c_value& v) {
  v.v[3] = v.v[4] = 0;
  const uint32_t base = v.type & 0xF;
  const c_family_kind_t kind = c_family_kind();
  if (is_pointer(v.type)) {
    if (!read_word(v.space, v.address, v.v[3])) return 0;
    v.v[4] = static_cast<uint32_t>(memory_model());
    return 1;
  }
  if (is_one_word(base)) return read_word(v.space, v.address, v.v[3]) ? 1 : 0;
  if (is_long(base)) {
    if (!read_word(v.space, v.address, v.v[3])) return 0;
    return !second_word(v.space) || read_word(v.space, v.address + 1, v.v[4]) ? 1 : 0;
  }
  if (base == CT_FLOAT || base == CT_DOUBLE) {
    if (!read_word(v.space, v.address, v.v[3])) return 0;
    const bool two = base == CT_FLOAT ? second_word(v.space) : v.space != 3;
    if (two && !read_word(v.space, v.address + 1, v.v[4])) return 0;
    if (kind == C_KIND_16) {
      v.v[2] = pack16(v.v[3], v.v[4]);
    } else if (kind == C_KIND_32) {
      if (base == CT_FLOAT) {
        v.v[2] = v.v[3];
      } else if (v.space == 3) {
        v.v[0] = v.v[3], v.v[1] = v.v[4];
      } else {
        v.v[0] = v.v[4], v.v[1] = v.v[3];
      }
    }
    return 1;
  }
  if (base == CT_STRUCT || base == CT_UNION) {
    v.v[3] = v.address;
    v.v[4] = v.space;
    return 1;
  }
  if (base != CT_VOID) c_internal_error(SOURCE, __LINE__);
  return 1;
}

int memory_store(c_value& v) {
  const uint32_t base = v.type & 0xF;
  const uint32_t narrow = v.space == 3 ? 2 : v.space;
  const c_family_kind_t kind = c_family_kind();
  if (is_pointer(v.type)) return write_word(narrow, v.address, v.v[3] & c_family->address) ? 1 : 0;
  if (is_one_word(base)) return write_word(narrow, v.address, v.v[3]) ? 1 : 0;
  if (is_long(base)) {
    if (!write_word(kind == C_KIND_32 ? narrow : v.space, v.address, v.v[3])) return 0;
    return !second_word(v.space) || write_word(v.space, v.address + 1, v.v[4]) ? 1 : 0;
  }
  if (is_float(base)) {
    if (kind == C_KIND_16)
      return write_word(v.space, v.address, v.v[2] & 0xFFFF) && write_word(v.space, v.address + 1, v.v[2] >> 16) ? 1 : 0;
    if (kind == C_KIND_24) {
      if (!write_word(v.space, v.address, v.v[3])) return 0;
      return v.space == 3 || write_word(v.space, v.address + 1, v.v[4]) ? 1 : 0;
    }
    if (base == CT_FLOAT) return write_word(narrow, v.address, v.v[2]) ? 1 : 0;
    if (v.space == 3) return write_word(2, v.address, v.v[0]) && write_word(1, v.address, v.v[1]) ? 1 : 0;
    return write_word(v.space, v.address, v.v[1]) && write_word(v.space, v.address + 1, v.v[0]) ? 1 : 0;
  }
  if (base == CT_STRUCT || base == CT_UNION) {
    const int size = c_sizeof_words(v);
    for (int k = 0; k < size; ++k) {
      uint32_t word = 0;
      if (!read_word(v.v[4], v.v[3] + static_cast<uint32_t>(k), word)) return 0;
      if (!write_word(v.space, v.address + static_cast<uint32_t>(k), word)) return 0;
    }
    return 1;
  }
  c_internal_error(SOURCE, __LINE__);
  return 1;
}

// A bit field: offset and width from its member symbol (word 9); the
// words it spans from address + offset / word width, in the narrow space.
struct bit_field {
  uint32_t space = 0, address = 0;
  int shift = 0, width = 0, words = 0;
};

bool bit_field_of(const c_value& v, bit_field& f) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || v.tag + 1 >= info->c_symbols.size()) {
    c_internal_error(SOURCE, __LINE__);
    return false;
  }
  const uint32_t offset = info->c_symbols[v.tag].value();
  const auto w = static_cast<uint32_t>(c_family->width);
  f.space = v.space == 3 ? 2 : v.space;
  f.address = v.address + offset / w;
  f.shift = static_cast<int>(offset % w);
  f.width = static_cast<int>(info->c_symbols[v.tag + 1].w[2]);
  if (f.width < 1 || f.width > 2 * c_family->width) {
    c_internal_error(SOURCE, __LINE__);
    return false;
  }
  f.words = (f.shift + f.width + c_family->width - 1) / c_family->width;
  return true;
}

using bits128 = unsigned __int128;

bits128 field_mask(int width) { return (bits128{1} << width) - 1; }

bool read_span(const bit_field& f, bits128& joined) {
  joined = 0;
  for (int k = 0; k < f.words; ++k) {
    uint32_t word = 0;
    if (!read_word(f.space, f.address + static_cast<uint32_t>(k), word)) return false;
    joined |= bits128{word & c_family->mask} << (k * c_family->width);
  }
  return true;
}

int bit_field_fetch(c_value& v) {
  bit_field f;
  if (!bit_field_of(v, f)) return 1;
  bits128 joined = 0;
  if (!read_span(f, joined)) return 0;
  const int w = c_family->width;
  auto field = static_cast<uint64_t>((joined >> f.shift) & field_mask(f.width));
  const uint32_t base = v.type & 0xF;
  const bool is_signed = base == CT_CHAR || base == CT_SHORT || base == CT_INT || base == CT_LONG ||
                         base == CT_ENUM || base == CT_ENUM_MEMBER;
  if (is_signed && ((field >> (f.width - 1)) & 1) != 0) field |= ~uint64_t{0} << f.width;
  v.v[3] = static_cast<uint32_t>(field) & c_family->mask;
  v.v[4] = f.width > w ? static_cast<uint32_t>(field >> w) & c_family->mask : 0;
  return 1;
}

int bit_field_store(c_value& v) {
  bit_field f;
  if (!bit_field_of(v, f)) return 1;
  bits128 joined = 0;
  if (!read_span(f, joined)) return 0;
  const int w = c_family->width;
  const bits128 value = bits128{v.v[3] & c_family->mask} | (bits128{v.v[4] & c_family->mask} << w);
  joined = (joined & ~(field_mask(f.width) << f.shift)) | ((value & field_mask(f.width)) << f.shift);
  for (int k = 0; k < f.words; ++k)
    if (!write_word(f.space, f.address + static_cast<uint32_t>(k), static_cast<uint32_t>(joined >> (k * w)) & c_family->mask))
      return 0;
  return bit_field_fetch(v);
}

// Words of a register into the value by its type (register variables).
void from_register_words(c_value& v, const uint32_t* r) {
  const uint32_t base = v.type & 0xF;
  const c_family_kind_t kind = c_family_kind();
  v.v[3] = v.v[4] = 0;
  if (is_pointer(v.type)) {
    v.v[3] = r[0] & c_family->address;
    v.v[4] = static_cast<uint32_t>(memory_model());
  } else if (is_one_word(base)) {
    v.v[3] = r[0];
  } else if (is_long(base)) {
    v.v[3] = r[0];
    v.v[4] = kind == C_KIND_32 ? 0 : r[1];
  } else if (is_float(base)) {
    if (kind == C_KIND_24) {
      v.v[3] = r[0], v.v[4] = r[1];
    } else if (kind == C_KIND_16) {
      v.v[2] = pack16(r[0], r[1]);
    } else if (base == CT_FLOAT) {
      v.v[2] = r[0];
    } else {
      v.v[0] = r[0], v.v[1] = r[1];
    }
  }
}

void to_register_words(const c_value& v, uint32_t* r) {
  const uint32_t base = v.type & 0xF;
  const c_family_kind_t kind = c_family_kind();
  if (is_float(base)) {
    if (kind == C_KIND_24) {
      r[0] = v.v[3], r[1] = v.v[4];
    } else if (kind == C_KIND_16) {
      r[0] = v.v[2] & 0xFFFF, r[1] = v.v[2] >> 16;
    } else if (base == CT_FLOAT) {
      r[0] = v.v[2];
    } else {
      r[0] = v.v[0], r[1] = v.v[1];
    }
    return;
  }
  r[0] = v.v[3];
  r[1] = is_long(base) ? v.v[4] : 0;
}

bool register_of(const c_value& v, int& row, int& reg) {
  const char* name = c_register_var_name(v.type, v.address);
  if (name == nullptr) return false;
  if (lookup_register(cur_device, name, &row, &reg) != 0) return true;
  c_internal_error(SOURCE, __LINE__);
  return false;
}

// An outer frame's register variable lives where an inner frame saved it.
bool saved_slot(const c_value& v, c_value& memory) {
  const char* name = c_register_var_name(v.type, v.address);
  uint32_t address = 0;
  int space = 0;
  if (name == nullptr || frame_saved_register_slot(name, &address, &space) == 0) return false;
  memory = v;
  memory.sclass = 2;
  memory.address = address;
  memory.space = static_cast<uint32_t>(space);
  return true;
}

int register_var_fetch(c_value& v) {
  c_value memory;
  if (saved_slot(v, memory)) {
    const int ok = memory_fetch(memory);
    std::memcpy(v.v, memory.v, sizeof v.v);
    return ok;
  }
  int row = 0, reg = 0;
  if (!register_of(v, row, reg)) return 0;
  uint32_t r[3] = {};
  if (read_register(cur_device, row, reg, r) == 0) {
    c_error("unable to read register");
    return 0;
  }
  from_register_words(v, r);
  return 1;
}

int register_var_store(const c_value& v) {
  c_value memory;
  if (saved_slot(v, memory)) return memory_store(memory);
  int row = 0, reg = 0;
  if (!register_of(v, row, reg)) return 0;
  uint32_t r[3] = {};
  to_register_words(v, r);
  if (write_register(cur_device, row, reg, r) != 0) return 1;
  c_error("unable to write register");
  return 0;
}

constexpr uint32_t BIT_WIDE = 1u << 25;   // 712: a register wider than 24 bits
constexpr uint32_t BIT_THREE = 1u << 19;  // 710: a three-word register

int simulator_fetch(c_value& v) {
  uint32_t r[3] = {};
  if (read_register(cur_device, static_cast<int>(v.space), static_cast<int>(v.address), r) == 0) {
    c_error("unable to read register");
    return 0;
  }
  if (c_family->code == 712 && (v.tag & BIT_WIDE) != 0) {
    r[1] = r[0] >> 24;
    r[0] &= 0xFFFFFF;
  }
  const uint32_t base = v.type & 0xF;
  const uint32_t mask = c_family->mask;
  v.v[3] = v.v[4] = 0;
  if (is_pointer(v.type)) {
    v.v[3] = r[0];
    v.v[4] = static_cast<uint32_t>(memory_model());
  } else if (base == CT_INT || base == CT_ENUM || base == CT_ENUM_MEMBER || base == CT_UINT) {
    v.v[3] = r[0];
  } else if (is_long(base)) {
    v.v[3] = r[0], v.v[4] = r[1];
  } else if (c_family->code == 710 && base == CT_FLOAT) {
    v.v[2] = r[0];
  } else if (c_family->code == 710 && base == CT_DOUBLE) {
    if ((v.tag & BIT_THREE) != 0) {
      v.v[0] = ((r[0] >> 11) & mask) | ((r[1] << 21) & mask);
      v.v[1] = (((r[1] & ~c_family->sign) >> 11) & mask) | (((r[2] & 0x7FF) << 20) & mask) | (r[2] & c_family->sign);
    } else {
      v.v[0] = r[0], v.v[1] = r[1];
    }
  } else {
    c_internal_error(SOURCE, __LINE__);
  }
  return 1;
}

int simulator_store(c_value& v) {
  uint32_t r[3] = {};
  const uint32_t base = v.type & 0xF;
  const uint32_t mask = c_family->mask;
  if (c_family->code == 710 && base == CT_FLOAT) {
    r[0] = v.v[2];
  } else if (c_family->code == 710 && base == CT_DOUBLE) {
    if ((v.tag & BIT_THREE) != 0) {
      const uint32_t sign = c_family->sign;
      r[0] = (v.v[0] << 11) & mask;
      r[1] = ((v.v[1] << 11) | (v.v[0] >> 21)) & mask;
      if (!((v.v[1] & ~sign) == 0 && v.v[0] == 0)) r[1] |= sign;
      r[2] = (v.v[1] & sign) | (((v.v[1] & ~sign) >> 20) & mask);
    } else {
      r[0] = v.v[0], r[1] = v.v[1];
    }
  } else {
    r[0] = v.v[3];
    r[1] = is_long(base) ? v.v[4] : 0;
  }
  if (c_family->code == 712 && (v.tag & BIT_WIDE) != 0) {
    r[0] |= r[1] << 24;
    r[1] = 0;
  }
  if (write_register(cur_device, static_cast<int>(v.space), static_cast<int>(v.address), r) == 0) {
    c_error("unable to write register");
    return 0;
  }
  return simulator_fetch(v);
}

// A frame value is a memory value at its frame address for the time of
// the access.
int frame_value(c_value& v, int (*access)(c_value&)) {
  const uint32_t space = v.space, address = v.address;
  c_frame_address(space, address, &v.space, &v.address);
  const int ok = access(v);
  v.space = space;
  v.address = address;
  return ok;
}

}  // namespace

const char* c_register_var_name(uint32_t type, uint32_t number) {
  static constexpr const char* narrow711[] = {"a1", "b1", "x0", "x1", "y0", "y1", "r0", "r1", "r2", "r3"};
  static constexpr const char* wide711[] = {"a", "b", "x", "x1", "y", "y1", "r0", "r1", "r2", "r3"};
  static constexpr const char* narrow713[] = {"a1", "b1", "x0", "y0", "y1", "r0", "r1", "r2", "r3"};
  static constexpr const char* wide713[] = {"a", "b", "x", "y", "y1", "r0", "r1", "r2", "r3"};
  static constexpr const char* narrow24[] = {"a1", "b1", "x0", "x1", "y0", "y1", "r0", "r1", "r2", "r3", "r4",
                                             "r5", "r6", "r7", "n0", "n1", "n2", "n3", "n4", "n5", "n6", "n7"};
  static constexpr const char* wide24[] = {"a", "b", "x", "x1", "y", "y1", "r0", "r1", "r2", "r3", "r4",
                                           "r5", "r6", "r7", "n0", "n1", "n2", "n3", "n4", "n5", "n6", "n7"};
  static constexpr const char* narrow32[] = {
      "d0.l", "d0.m", "d0.h", "d1.l", "d1.m", "d1.h", "d2.l", "d2.m", "d2.h", "d3.l", "d3.m", "d3.h", "d4.l", "d4.m",
      "d4.h", "d5.l", "d5.m", "d5.h", "d6.l", "d6.m", "d6.h", "d7.l", "d7.m", "d7.h", "r0",   "r1",   "r2",   "r3",
      "r4",   "r5",   "r6",   "r7",   "n0",   "n1",   "n2",   "n3",   "n4",   "n5",   "n6",   "n7"};
  static constexpr const char* float32[] = {"d0.s", "d1.s", "d2.s", "d3.s", "d4.s", "d5.s", "d6.s", "d7.s"};
  static constexpr const char* double32[] = {"d0.d", "d1.d", "d2.d", "d3.d", "d4.d", "d5.d", "d6.d", "d7.d"};
  const uint32_t base = type & 0xF;
  const bool wide = (type & 0x30) == 0 && (is_long(base) || is_float(base));
  const auto pick = [&](const auto& table, uint32_t n) -> const char* {
    if (n < std::size(table)) return table[n];
    c_internal_error(SOURCE, __LINE__);
    return nullptr;
  };
  switch (c_family->code) {
    case 711: return wide ? pick(wide711, number) : pick(narrow711, number);
    case 713: return wide ? pick(wide713, number) : pick(narrow713, number);
    case 709:
    case 712: return wide ? pick(wide24, number) : pick(narrow24, number);
    case 710:
      if (wide && base == CT_FLOAT) return pick(float32, number / 3);
      if (wide && base == CT_DOUBLE) return pick(double32, number / 3);
      return pick(narrow32, number);
    default: return nullptr;  // 714 keeps no register variables
  }
}

int c_fetch(c_value& value) {
  if (value.located == 0) return 1;
  switch (value.sclass) {
    case 2:
    case 3:
    case 19: return memory_fetch(value);
    case 18: return bit_field_fetch(value);
    case 4:
    case 17: return register_var_fetch(value);
    case CN_REGISTER_CLASS: return simulator_fetch(value);
    case 1:
    case 9: return frame_value(value, memory_fetch);
    default: c_internal_error(SOURCE, __LINE__); return 1;
  }
}

int c_store(c_value& value) {
  if (value.located == 0) {
    c_internal_error(SOURCE, __LINE__);
    return 1;
  }
  switch (value.sclass) {
    case 2:
    case 3:
    case 19: return memory_store(value);
    case 18: return bit_field_store(value);
    case 4:
    case 17: return register_var_store(value);
    case CN_REGISTER_CLASS: return simulator_store(value);
    case 1:
    case 9: return frame_value(value, memory_store);
    default: c_internal_error(SOURCE, __LINE__); return 1;
  }
}
