// General-purpose ports B and C. A pin is either handed to the on-chip
// peripheral that owns it or is a general-purpose pin whose direction comes
// from the data direction register. The port shares its registers with the
// peripherals that own pins of the same group: each keeps its share of a
// written register and answers with it.
#include <iterator>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

namespace {

constexpr uint32_t PORT_ACCESS = REG_PERIPH_WORD | REG_READABLE | REG_WRITABLE | REG_BUS_MAPPED;

constexpr reg_desc portb_regs[] = {
    {"pbc", 0xFFFF, 0, REG_PERIPH_INIT_ATTR, PORT_ACCESS, "Control Register"},
    {"pbddr", 0xFFFF, 2, REG_PERIPH_INIT_ATTR, PORT_ACCESS, "Data Direction Register"},
    {"pbd", 0xFFFF, 0x22, REG_PERIPH_INIT_ATTR, PORT_ACCESS, "Data Register"},
};
constexpr reg_desc portc_regs[] = {
    {"pcc", 0xFFFF, 0, REG_PERIPH_INIT_ATTR, PORT_ACCESS, "Control Register"},
    {"pcddr", 0xFFFF, 2, REG_PERIPH_INIT_ATTR, PORT_ACCESS, "Data Direction Register"},
    {"pcd", 0xFFFF, 0x22, REG_PERIPH_INIT_ATTR, PORT_ACCESS, "Data Register"},
};
constexpr int PORT_REGS = static_cast<int>(std::size(portb_regs));

uint32_t port_reg_address(int periph, int reg) {
  const periph_row& row = cur_type->periphs[periph];
  return row.base + row.cls->regs[reg].offset;
}

int port_reg_at(int periph, uint32_t address) {
  for (int reg = 0; reg < PORT_REGS; ++reg)
    if (port_reg_address(periph, reg) == address) return reg;
  return -1;
}

// The peripherals that own pins of this port: same pin group, handed
// their pins by port control bits.
bool owns_port_pins(int periph, int other) {
  const periph_row& self = cur_type->periphs[periph];
  const periph_row& row = cur_type->periphs[other];
  return other != periph && row.pin_port == self.pin_port && row.pcr_bits != 0;
}

uint32_t forward_write(int periph, uint32_t address, uint32_t value) {
  uint32_t kept = 0;
  for (int other = 0; other < cur_type->periph_count; ++other)
    if (owns_port_pins(periph, other))
      kept |= static_cast<uint32_t>(cur_type->periphs[other].cls->bus_write(other, address, value, 1));
  return kept;
}

uint32_t forward_read(int periph, uint32_t address, int flag) {
  uint32_t answer = 0;
  for (int other = 0; other < cur_type->periph_count; ++other) {
    if (!owns_port_pins(periph, other)) continue;
    uint32_t share = 0;
    cur_type->periphs[other].cls->bus_read(other, address, &share, flag);
    answer |= share;
  }
  return answer;
}

// Only bits of pins that some peripheral of the group owns survive a write.
void port_write(int periph, int reg, uint32_t value) {
  const periph_row& row = cur_type->periphs[periph];
  uint32_t* words = periph_words(periph);
  words[reg] = forward_write(periph, port_reg_address(periph, reg), value);
  mark_register_store(periph, reg);

  const uint32_t general = ~words[PORT_CONTROL] & row.pin_mask;
  if (general == 0) return;
  const uint32_t outputs = general & words[PORT_DIRECTION];
  uint32_t* pins = periph_pin_block(row.pin_port);
  set_pin_word(pins, PIN_DRIVEN, (pins[PIN_DRIVEN] & ~general) | outputs);
  set_pin_word(pins, PIN_DRIVEN_LEVEL, (pins[PIN_DRIVEN_LEVEL] & ~general) | (words[PORT_DATA] & outputs));
  if (outputs) write_peripheral_output(periph, static_cast<int32_t>(words[PORT_DATA] & outputs), 0);
  if (periph_attrs(periph)[reg] & ATTR_OUT_STREAMS) write_register_output(periph, reg);
}

// The control and direction registers read back as the owners' answers;
// the data register reads latched bits from itself and the others from
// the pins.
uint32_t port_read(int periph, int reg, int flag) {
  if (reg != PORT_DATA) return forward_read(periph, port_reg_address(periph, reg), flag);
  const periph_row& row = cur_type->periphs[periph];
  const uint32_t* words = periph_words(periph);
  const uint32_t latched = words[PORT_CONTROL] | words[PORT_DIRECTION];
  if ((latched & row.pin_mask) == row.pin_mask) return words[PORT_DATA];
  // A program's read takes the next value of an untimed stream on the port
  // as the level of all its pins.
  uint32_t* pins = periph_pin_block(row.pin_port);
  stream_value fed;
  if (flag != 0 && read_untimed_input(periph, &fed)) {
    set_pin_word(pins, PIN_LEVEL, static_cast<uint32_t>(fed.integer) & row.pin_mask);
    set_pin_word(pins, PIN_DEFINED, pins[PIN_DEFINED] | row.pin_mask);
  }
  const uint32_t level = pins[PIN_LEVEL];
  return (words[PORT_DATA] & latched) | (level & ~latched & row.pin_mask);
}

int port_get_reg(int periph, int reg, uint32_t* out) {
  if (reg >= 0 && reg < PORT_REGS) *out = port_read(periph, reg, 0);
  return 1;
}

int port_set_reg(int periph, int reg, const uint32_t* value) {
  if (reg >= 0 && reg < PORT_REGS) port_write(periph, reg, *value);
  return 1;
}

void port_bus_read(int periph, uint32_t address, uint32_t* out, int flag) {
  const int reg = port_reg_at(periph, address);
  if (reg >= 0) *out = port_read(periph, reg, flag);
}

int port_bus_write(int periph, uint32_t address, uint32_t value, int) {
  const int reg = port_reg_at(periph, address);
  if (reg >= 0) port_write(periph, reg, value);
  return 0;
}

// A STOP (kind 0) keeps the registers; the pins stay as they are.
void port_reset(int periph, int kind, int) {
  if (kind == 0) return;
  for (int reg = 0; reg < PORT_REGS; ++reg) {
    periph_words(periph)[reg] = 0;
    mark_register_written(periph, reg);
  }
}

}  // namespace

// The ports have no clock slot: their pins follow the register writes.
const periph_class portb_class = {
    port_get_reg, port_set_reg, port_bus_read, port_bus_write, nullptr, port_reset,
    nullptr,      nullptr,      5,             3,              PORT_REGS,  portb_regs,
    nullptr, nullptr,
};
const periph_class portc_class = {
    port_get_reg, port_set_reg, port_bus_read, port_bus_write, nullptr, port_reset,
    nullptr,      nullptr,      0x25,          3,              PORT_REGS,  portc_regs,
    nullptr, nullptr,
};
