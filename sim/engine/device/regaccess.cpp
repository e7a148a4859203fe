// Registers by name and number across a device's peripherals, and the
// case-insensitive text helpers the command language shares.
#include "sim/engine/device/regaccess.h"

#include <cstring>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

namespace {

// ASCII folding: names and keywords are ASCII, and the host locale must
// not change how a command is read.
int fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : u;
}

bool no_suffix(const periph_row& row) { return row.suffix == nullptr || row.suffix[0] == '\0'; }

bool suffix_is(const periph_row& row, char last) {
  return row.suffix != nullptr && row.suffix[0] == last && row.suffix[1] == '\0';
}

// The register's description when the device exists and has that row and
// register; the device is current afterwards.
const reg_desc* select_register(int device, int row, int reg, const periph_row** out_row) {
  if (device < 0 || device >= DEVICE_MAX || !make_device_current(device)) return nullptr;
  if (row < 0 || row >= cur_type->periph_count) return nullptr;
  const periph_row& r = cur_type->periphs[row];
  if (r.cls == nullptr || reg < 0 || reg >= r.cls->reg_count) return nullptr;
  *out_row = &r;
  return &r.cls->regs[reg];
}

}  // namespace

int str_icmp(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int ca = fold(*a);
    const int cb = fold(*b);
    if (ca != cb || ca == 0) return ca - cb;
  }
}

int str_nicmp(const char* a, const char* b, int n) {
  for (int i = 0; i < n; ++i) {
    const int ca = fold(a[i]);
    const int cb = fold(b[i]);
    if (ca != cb || ca == 0) return ca - cb;
  }
  return 0;
}

int str_lower(char* text) {
  for (; *text != '\0'; ++text) *text = static_cast<char>(fold(*text));
  return 1;
}

int find_keyword(const char* word, const char* const* list, int count) {
  if (word == nullptr || list == nullptr) return -1;
  for (int i = 0; i < count; ++i) {
    if (list[i] != nullptr && str_icmp(word, list[i]) == 0) return i;
  }
  return -1;
}

int lookup_register(int device, const char* name, int* out_row, int* out_reg) {
  if (name == nullptr || device < 0 || device >= DEVICE_MAX || !make_device_current(device)) {
    return 0;
  }
  const auto found = [&](int row, int reg) {
    if (out_row != nullptr) *out_row = row;
    if (out_reg != nullptr) *out_reg = reg;
    return 1;
  };
  const int rows = cur_type->periph_count;

  for (int row = 0; row < rows; ++row) {
    const periph_row& r = cur_type->periphs[row];
    if (!no_suffix(r) || r.cls == nullptr) continue;
    for (int reg = 0; reg < r.cls->reg_count; ++reg) {
      const char* reg_name = r.cls->regs[reg].name;
      if (reg_name != nullptr && str_icmp(name, reg_name) == 0) return found(row, reg);
    }
  }

  // "cra0": the register "cra" of the row whose suffix is "0".
  const std::size_t length = std::strlen(name);
  if (length < 2) return 0;
  const char last = name[length - 1];
  const int stem = static_cast<int>(length - 1);
  for (int row = 0; row < rows; ++row) {
    const periph_row& r = cur_type->periphs[row];
    if (!suffix_is(r, last) || r.cls == nullptr) continue;
    for (int reg = 0; reg < r.cls->reg_count; ++reg) {
      const char* reg_name = r.cls->regs[reg].name;
      if (reg_name != nullptr && std::strlen(reg_name) == length - 1 && str_nicmp(name, reg_name, stem) == 0) {
        return found(row, reg);
      }
    }
  }
  return 0;
}

int read_register(int device, int row, int reg, uint32_t* out) {
  const periph_row* r = nullptr;
  if (out == nullptr || select_register(device, row, reg, &r) == nullptr) return 0;
  if (r->cls->get == nullptr) return 0;
  if (r->cls->catch_up) r->cls->catch_up(row);
  return r->cls->get(row, reg, out);
}

int write_register(int device, int row, int reg, const uint32_t* value) {
  const periph_row* r = nullptr;
  const reg_desc* desc = select_register(device, row, reg, &r);
  if (value == nullptr || desc == nullptr) return 0;
  catch_up_peripherals();
  peripherals_changed();
  raise_interrupt_request();
  // A register the core can store to goes out on the bus, so the owner
  // sees it exactly as a store by the core would arrive (flags, transmit
  // starts). A read-only one may share its address with another register
  // (rx and tx): it is set in place instead.
  if ((desc->access & REG_BUS_MAPPED) && (desc->access & REG_WRITABLE)) {
    write_peripheral_bus(r->base + desc->offset, value[0], 1);
    return 1;
  }
  if (r->cls->set == nullptr) return 0;
  return r->cls->set(row, reg, value);
}
