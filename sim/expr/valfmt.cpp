// Value formatting by radix and the display radix of memory addresses.
#include "sim/expr/valfmt.h"

#include <array>
#include <cinttypes>
#include <cstdio>

#include "sim/expr/expr.h"
#include "sim/expr/rangemap.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"

namespace {

using formatter = std::string (*)(uint32_t word);

template <typename... Args>
std::string print(const char* format, Args... args) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, args...);
  return buffer.data();
}

long signed_word(uint32_t word) {
  return (word & 0x8000) ? static_cast<long>(word & 0xFFFF) - 0x10000 : static_cast<long>(word & 0xFFFF);
}

double fraction_of(uint32_t word) {
  arg_value v;
  v.lo = word & 0xFFFF;
  v.type = AV_ONE | AV_INT | AV_W16;
  return value_as_double(0, v);
}

std::string as_dollar_hex(uint32_t w) { return print("$%04" PRIx32, w & 0xFFFF); }
std::string as_bare_hex(uint32_t w) { return print("%04" PRIx32, w & 0xFFFF); }
std::string as_signed(uint32_t w) { return print("%05ld", signed_word(w)); }
std::string as_fraction(uint32_t w) { return print("%10.7f", fraction_of(w)); }
std::string as_unsigned(uint32_t w) { return print("%05lu", static_cast<unsigned long>(w & 0xFFFF)); }
std::string as_bits(uint32_t w) {
  std::string s(16, '0');
  for (int i = 0; i < 16; ++i)
    if (w & (0x8000u >> i)) s[static_cast<std::size_t>(i)] = '1';
  return s;
}

// By radix code: binary, decimal, fractional, hexadecimal, unsigned.
constexpr std::array<formatter, 5> memory_formats = {as_dollar_hex, as_signed, as_fraction,
                                                     as_dollar_hex, as_unsigned};
constexpr std::array<formatter, 5> stream_formats = {as_bits, as_signed, as_fraction,
                                                     as_bare_hex, as_unsigned};

formatter pick(const std::array<formatter, 5>& table, int radix) {
  return (radix >= 0 && radix < static_cast<int>(table.size())) ? table[static_cast<std::size_t>(radix)]
                                                                : table[RADIX_HEX];
}

bool valid_region(int region) {
  return cur_type != nullptr && cur_state != nullptr && region >= 0 && region < cur_type->region_count &&
         static_cast<std::size_t>(region) < cur_state->region_logs.size();
}

// Runs f with the device current and puts the previous selection back,
// whether or not its slot still holds a device.
template <typename F>
int on_device(int device, F f) {
  const int saved_device = cur_device;
  device_type* const saved_type = cur_type;
  const family_desc* const saved_family = cur_family;
  device_inst* const saved_inst = cur_inst;
  device_state* const saved_state = cur_state;
  if (!make_device_current(device)) return 0;
  const int result = f();
  cur_device = saved_device;
  cur_type = saved_type;
  cur_family = saved_family;
  cur_inst = saved_inst;
  cur_state = saved_state;
  return result;
}

}  // namespace

std::string format_hex_word(uint32_t value) { return print("%04" PRIx32, value); }

int format_memory_word(int space, uint32_t address, int radix, std::string& out) {
  uint32_t word = 0;
  int result = 0;
  if (cur_type != nullptr && cur_type->mem != nullptr) {
    result = cur_type->mem->read_word(space, address, &word);
  }
  if (result == 0) word = 0;
  out = pick(memory_formats, radix)(word);
  return result;
}

std::string format_stream_word(int /*region*/, uint32_t /*address*/, int radix, uint32_t value) {
  return pick(stream_formats, radix)(value);
}

int memory_radix_at(int region, uint32_t address) {
  if (!valid_region(region)) return 0;
  const mem_region& row = cur_type->regions[region];
  int space = row.space;
  if (cur_type->mem != nullptr && cur_type->mem->resolve_space != nullptr) {
    space = cur_type->mem->resolve_space(space, address);
  }
  int concrete = region;
  if (space >= 0 && space < SPACE_CODE_COUNT) concrete = find_memory_region(space, address);
  if (!valid_region(concrete)) concrete = region;
  return static_cast<int>(range_map_get(cur_state->region_logs[concrete].radix_map, address));
}

void set_memory_radix(int region, uint32_t low, uint32_t high, int radix) {
  if (!valid_region(region)) return;
  const uint32_t attr = cur_type->regions[region].attr;
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    if ((row.attr & ~attr) != 0 || (row.attr & 0xFF) != (attr & 0xFF)) continue;
    range_map_set(cur_state->region_logs[r].radix_map, low, high, row.addr_mask,
                  static_cast<uint32_t>(radix));
  }
}

int write_device_block(int device, int space, uint32_t address, uint32_t count,
                       const uint32_t* words) {
  if (words == nullptr) return 0;
  return on_device(device, [&] {
    if (cur_type->mem == nullptr) return 0;
    int ok = 1;
    for (uint32_t i = 0; i < count; ++i) {
      if (!cur_type->mem->write_word(space, address + i, &words[i])) ok = 0;
    }
    return ok;
  });
}

int region_space_by_name(int device, const char* name, int* out_space) {
  if (name == nullptr) return 0;
  return on_device(device, [&] {
    for (int r = 0; r < cur_type->region_count; ++r) {
      if (str_icmp(name, cur_type->regions[r].name) == 0) {
        if (out_space != nullptr) *out_space = cur_type->regions[r].space;
        return 1;
      }
    }
    return 0;
  });
}
