// The host interface: a byte-wide port on port B through which a host
// processor exchanges words, commands and flags with the DSP. Its DSP side
// is three registers in X I/O space; its host side eight byte registers
// the host reaches through the pins.
#include <iterator>

#include "sim/engine/device.h"
#include "sim/engine/periph.h"

namespace {

// State words after the twelve registers.
enum host_word : int {
  HW_PENDING_WORD = 12,   // the word the host wrote, waiting to move into hrx
  HW_PENDING_FLAG,        // set while that word is written by the host and not taken
  HW_BYTE_COUNTER,        // host-mode byte counter of DMA transfers
  HW_REQ_COMMAND,
  HW_REQ_RX,
  HW_REQ_TX,
  HW_REQ_DMA_RX,
  HW_REQ_DMA_TX,
  HW_COMMAND_IN_PROGRESS,
  HW_PRIORITY,            // its bits of ipr (snooped)
  HW_PBC,                 // bit 0 of pbc: the interface is enabled (snooped)
  HW_PBDDR,               // snooped pbddr bits
  HW_PBD,                 // snooped pbd bits
  HW_PIN_SHIFT,           // the pin word's position relative to pb0
  HW_PINS_CHANGED,        // the pin word is to be written to the output streams
  HW_WAS_ENABLED,         // enabled in the previous cycle
  HW_DRIVEN_DATA,         // the value last driven on the data pins
  HW_PREV_DRIVEN,         // the pin word driven at the end of the previous cycle
  HOST_STATE_WORDS = 34,  // the rest is spare
};

constexpr uint32_t RW = REG_PERIPH_WORD | REG_READABLE | REG_WRITABLE;
constexpr uint32_t RO = REG_PERIPH_WORD | REG_READABLE;
constexpr uint32_t WO = REG_PERIPH_WORD | REG_WRITABLE;
constexpr uint32_t BUS = REG_BUS_MAPPED;
constexpr uint32_t ATTR = REG_PERIPH_INIT_ATTR;

// The host side has no DSP address: its registers carry offset 0 and are
// not bus-mapped.
constexpr reg_desc host_regs[] = {
    {"cvr", 0xBF, 0, ATTR, RW,
     "Read-Write Command Vector Register. Host Processor Address 1.\n"
     "     {H H H H H H}\n"
     " {H}   {V V V V V V}\n"
     " {C} * {5 4 3 2 1 0}"},
    {"hcr", 0x1F, 0, ATTR, RW | BUS,
     "Control Register.\n"
     "           {H H H}\n"
     "       {H H C T R}\n"
     "       {F F I I I}\n"
     " * * * {3 2 E E E}"},
    {"hrx", 0xFFFF, 0x21, ATTR, RO | BUS, "Receive Data Register"},
    {"hsr", 0x9F, 0x20, ATTR, RO | BUS,
     "Status Register.\n"
     "             {H H}\n"
     " {D}     {H H H T R}\n"
     " {M}     {F F C D D}\n"
     " {A} * * {1 0 P E F}"},
    {"htx", 0xFFFF, 0x21, ATTR, WO | BUS, "Transmit Data Register"},
    {"icr", 0xFB, 0, ATTR, RW,
     "Read-Write Interrupt Control Register. Host Processor Address 0.\n"
     " {I}           {T R}\n"
     " {N H H H H}   {R R}\n"
     " {I M M F F}   {E E}\n"
     " {T 1 0 1 0} * {Q Q}"},
    {"isr", 0xDF, 0, ATTR, RO,
     "Read-Only Interrupt Status Register. Host Processor Address 2.\n"
     " {H}         {T T R}\n"
     " {R D}   {H H R X X}\n"
     " {E M}   {F F D D D}\n"
     " {Q A} * {3 2 Y E F}"},
    {"ivr", 0xFF, 0, ATTR, RW, "Read-Write Interrupt Vector Register. Host Processor Address 3."},
    {"rxh", 0xFF, 0, ATTR, RO,
     "Read-Only Receive Byte Register (High Byte). Host Processor Address 6."},
    {"rxl", 0xFF, 0, ATTR, RO,
     "Read-Only Receive Byte Register (Low Byte). Host Processor Address 7."},
    {"txh", 0xFF, 0, ATTR, WO,
     "Write-Only Transmit Byte Register (High Byte). Host Processor Address 6."},
    {"txl", 0xFF, 0, ATTR, WO,
     "Write-Only Transmit Byte Register (Low Byte). Host Processor Address 7."},
};
constexpr int HOST_REGS = static_cast<int>(std::size(host_regs));

constexpr uint32_t CVR_HC = 0x80;
constexpr uint32_t CVR_HV = 0x3F;
constexpr uint32_t HSR_HCP = 0x04;

// Every reset: the values the host and the DSP see after reset.
struct reset_value {
  int reg;
  uint32_t value;
};
constexpr reset_value host_reset_values[] = {
    {HOST_HSR, 0x02}, {HOST_CVR, 0x16}, {HOST_ICR, 0}, {HOST_ISR, 0x06}, {HOST_IVR, 0x0F},
};

// The side effects of the host-side and DSP-side writes come with the
// interface engine; until then a store is the plain register store.
void host_store_reg(int periph, int reg, uint32_t value) {
  set_state_register(periph, reg, value);
}

// The interface engine: host input words, host accesses, DSP-host word
// moves, DMA and the pins, one step per device cycle.
void host_engine(int) {}

int host_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int host_set_reg(int periph, int reg, const uint32_t* value) {
  host_store_reg(periph, reg, *value);
  return 1;
}

void host_bus_read(int periph, uint32_t address, uint32_t* out, int) {
  const uint32_t* w = periph_words(periph);
  if (address == IO_PBC) {
    *out = w[HW_PBC];
  } else if (address == IO_PBDDR) {
    *out = w[HW_PBDDR];
  } else if (address == IO_PBD) {
    *out = w[HW_PBD];
  } else {
    const int reg = find_bus_register(periph, address, REG_READABLE);
    if (reg >= 0) *out = w[reg];
  }
}

// Port B register writes are answered with the interface's share: all of
// port B once it is enabled.
int host_bus_write(int periph, uint32_t address, uint32_t value, int) {
  const periph_row& row = cur_type->periphs[periph];
  uint32_t* w = periph_words(periph);
  if (address == IO_IPR) {
    w[HW_PRIORITY] = value & row.ipr_bits;
  } else if (address == IO_PBC) {
    w[HW_PBC] = value & row.pcr_bits;
    return w[HW_PBC] ? static_cast<int>(row.pin_mask) : 0;
  } else if (address == IO_PBDDR) {
    return static_cast<int>(w[HW_PBDDR] = value & row.pin_mask);
  } else if (address == IO_PBD) {
    return static_cast<int>(w[HW_PBD] = value & row.pin_mask);
  } else {
    const int reg = find_bus_register(periph, address, REG_WRITABLE);
    if (reg >= 0) host_store_reg(periph, reg, value);
  }
  return 0;
}

void host_clock(int periph) {
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  if (dw[DW_STOP_LATCH] || dw[DW_RESET_HELD] == 1) return;
  host_engine(periph);
}

// A STOP (kind 0) keeps hcr and the snooped port B words.
void host_reset(int periph, int kind, int) {
  uint32_t* w = periph_words(periph);
  for (const reset_value& r : host_reset_values) {
    w[r.reg] = r.value;
    mark_register_written(periph, r.reg);
  }
  if (kind == 0) return;
  w[HOST_HCR] = 0;
  mark_register_written(periph, HOST_HCR);
  w[HW_PBC] = 0;
  w[HW_PBDDR] = 0;
  w[HW_PBD] = 0;
}

// The requests of the vectors base, base + 2, base + 4 and base + 6.
constexpr int requests_by_vector[] = {HW_REQ_DMA_RX, HW_REQ_DMA_TX, HW_REQ_RX, HW_REQ_TX};

int host_command_vector(const uint32_t* w) { return static_cast<int>(2 * (w[HOST_CVR] & CVR_HV)); }

int host_pending_irq(int periph) {
  const uint32_t* w = periph_words(periph);
  if (w[HW_PRIORITY] == 0) return -1;
  if (w[HW_REQ_COMMAND]) return host_command_vector(w);
  const int base = cur_type->periphs[periph].vector;
  for (int i = 0; i < 4; ++i)
    if (w[requests_by_vector[i]]) return base + 2 * i;
  return -1;
}

void host_ack_irq(int periph, int vector) {
  uint32_t* w = periph_words(periph);
  if (w[HW_COMMAND_IN_PROGRESS] && vector == host_command_vector(w)) {
    w[HOST_CVR] &= ~CVR_HC;
    mark_register_written(periph, HOST_CVR);
    w[HOST_HSR] &= ~HSR_HCP;
    mark_register_written(periph, HOST_HSR);
    w[HW_REQ_COMMAND] = 0;
    w[HW_COMMAND_IN_PROGRESS] = 0;
    return;
  }
  const int offset = vector - cur_type->periphs[periph].vector;
  if (offset >= 0 && offset <= 6 && offset % 2 == 0) w[requests_by_vector[offset / 2]] = 0;
}

}  // namespace

const periph_class host_class = {
    host_get_reg,     host_set_reg, host_bus_read, host_bus_write,   host_clock, host_reset,
    host_pending_irq, host_ack_irq, 0x24,          HOST_STATE_WORDS, HOST_REGS,  host_regs,
    nullptr, nullptr,
};
