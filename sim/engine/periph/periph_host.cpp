// The host interface: a byte-wide port on port B through which a host
// processor exchanges words, commands and flags with the DSP. Its DSP side
// is three registers in X I/O space; its host side eight byte registers
// the host reaches through the pins.
//
// - The host interface (`periph_host.cpp`): between events nothing of it changes, so it has no
//   `catch_up`. While enabled (`pbc` bit 0) it steps every cycle when the device has input streams
//   (its host words, or pins it watches for HEN and HACK edges), and for two steps after anything
//   changed (`HW_SETTLE`: a store from either side, a word moved, a pin driven); enabling and
//   disabling are events of their own. The requests follow the flags at every store as well as at
//   every step. Host input words set the port B levels; the edges compare them with the block's
//   previous copy; the driven pin word goes to the output streams with the gap since the last write.
#include <algorithm>
#include <bit>
#include <iterator>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

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
  HW_DRIVE_LEVEL,         // the levels it drives, relative to pb0
  HW_DRIVE_MASK,          // the pins it drives
  HW_PREV_DRIVEN,         // the driven levels at the end of the previous step
  HW_SETTLE,              // steps still to run after a change (event-driven)
  HOST_STATE_WORDS = 34,  // the rest is spare
};
static_assert(HW_SETTLE < HOST_STATE_WORDS);

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

// Register bits.
constexpr uint32_t CVR_HC = 0x80;
constexpr uint32_t CVR_HV = 0x3F;
constexpr uint32_t HCR_HF32 = 0x18, HCR_HCIE = 0x4, HCR_HTIE = 0x2, HCR_HRIE = 0x1;
constexpr uint32_t HSR_DMA = 0x80, HSR_HF10 = 0x18, HSR_HCP = 0x04, HSR_HTDE = 0x02, HSR_HRDF = 0x01;
constexpr uint32_t ICR_INIT = 0x80, ICR_HM = 0x60, ICR_HF10 = 0x18, ICR_TREQ = 0x2, ICR_RREQ = 0x1;
constexpr uint32_t ISR_HREQ = 0x80, ISR_DMA = 0x40, ISR_HF32 = 0x18, ISR_TRDY = 0x4, ISR_TXDE = 0x2,
                   ISR_RXDF = 0x1;
// Pins, relative to pb0.
constexpr uint32_t PIN_DATA = 0xFF, PIN_HA = 0x700, PIN_HRW = 0x800, PIN_HEN = 0x1000, PIN_HREQ = 0x2000,
                   PIN_HACK = 0x4000, PIN_ALL = 0x7FFF;
constexpr int PORT_B = 2;

// Every reset: the values the host and the DSP see after reset.
struct reset_value {
  int reg;
  uint32_t value;
};
constexpr reset_value host_reset_values[] = {
    {HOST_HSR, 0x02}, {HOST_CVR, 0x16}, {HOST_ICR, 0}, {HOST_ISR, 0x06}, {HOST_IVR, 0x0F},
};

// The host vector is six bits on the "73583" types, five on the others.
uint32_t cvr_mask() { return (cur_type->type_bit & (TYPE_73583 | TYPE_73583RAM)) ? 0xBF : 0x9F; }

void store(int periph, uint32_t* w, int reg, uint32_t value) {
  w[reg] = value;
  mark_register_written(periph, reg);
}
void set_bits(int periph, uint32_t* w, int reg, uint32_t bits, bool on) {
  store(periph, w, reg, on ? w[reg] | bits : w[reg] & ~bits);
}
void mark_read(int periph, int reg) { periph_attrs(periph)[reg] |= ATTR_READ | ATTR_READ_SINCE; }

// Step 14, also worked out at every store: the requests follow the flags.
void update_requests(uint32_t* w) {
  const bool on = w[HW_PRIORITY] != 0;
  const bool dma = (w[HOST_HSR] & HSR_DMA) != 0;
  const uint32_t hcr = w[HOST_HCR], hsr = w[HOST_HSR];
  const bool rx = on && (hcr & HCR_HRIE) && (hsr & HSR_HRDF);
  const bool tx = on && (hcr & HCR_HTIE) && (hsr & HSR_HTDE);
  w[HW_REQ_RX] = rx && !dma;
  w[HW_REQ_DMA_RX] = rx && dma;
  w[HW_REQ_TX] = tx && !dma;
  w[HW_REQ_DMA_TX] = tx && dma;
  w[HW_REQ_COMMAND] = on && (hcr & HCR_HCIE) && (hsr & HSR_HCP);
  if (w[HW_REQ_COMMAND]) w[HW_COMMAND_IN_PROGRESS] = 1;
  if (w[HW_REQ_RX] | w[HW_REQ_DMA_RX] | w[HW_REQ_TX] | w[HW_REQ_DMA_TX] | w[HW_REQ_COMMAND])
    raise_interrupt_request();
}

// A store from either side with its side effects.
void host_store_reg(int periph, int reg, uint32_t value) {
  uint32_t* w = periph_words(periph);
  switch (reg) {
    case HOST_CVR:
      store(periph, w, reg, value & cvr_mask());
      set_bits(periph, w, HOST_HSR, HSR_HCP, (w[HOST_CVR] & CVR_HC) != 0);
      break;
    case HOST_ICR: {
      const uint32_t icr = value & ~ICR_INIT & host_regs[HOST_ICR].valid_mask;
      store(periph, w, reg, icr);
      if (value & ICR_INIT) {
        w[HW_BYTE_COUNTER] = (icr & ICR_HM) >> 5;
        if (icr & ICR_RREQ) {
          set_bits(periph, w, HOST_ISR, ISR_RXDF, false);
          set_bits(periph, w, HOST_HSR, HSR_HTDE, true);
        }
        if (icr & ICR_TREQ) {
          set_bits(periph, w, HOST_ISR, ISR_TXDE, true);
          set_bits(periph, w, HOST_HSR, HSR_HRDF, false);
        }
      }
      const bool dma = (icr & ICR_HM) != 0;
      store(periph, w, HOST_HSR, (w[HOST_HSR] & ~(HSR_HF10 | HSR_DMA)) | (icr & ICR_HF10) | (dma ? HSR_DMA : 0));
      set_bits(periph, w, HOST_ISR, ISR_DMA, dma);
      break;
    }
    case HOST_TXL:
      store(periph, w, reg, value);
      w[HW_PENDING_WORD] = (w[HOST_TXH] << 8) | w[HOST_TXL];
      w[HW_PENDING_FLAG] = 1;
      break;
    case HOST_HCR:
      store(periph, w, reg, value);
      store(periph, w, HOST_ISR, (w[HOST_ISR] & ~ISR_HF32) | (w[HOST_HCR] & HCR_HF32));
      break;
    case HOST_HTX:
      store(periph, w, reg, value);
      set_bits(periph, w, HOST_HSR, HSR_HTDE, false);
      break;
    default:
      set_state_register(periph, reg, value);
      break;
  }
  update_requests(w);
  w[HW_SETTLE] = 2;
  peripherals_changed();
}

uint32_t* port_b_pins() { return periph_pin_block(PORT_B); }

void drive_data(uint32_t* w, uint32_t value) {
  w[HW_DRIVE_LEVEL] = (w[HW_DRIVE_LEVEL] & ~PIN_DATA) | (value & PIN_DATA);
  w[HW_DRIVE_MASK] |= PIN_DATA;
}
void release_data(uint32_t* w) { w[HW_DRIVE_MASK] &= ~PIN_DATA; }

// Step 5: a host access, by the edges of HEN.
void host_access(int periph, uint32_t* w, uint32_t level, bool hen_fall, bool hen_rise) {
  const int address = static_cast<int>((level & PIN_HA) >> 8);
  const bool reading = (level & PIN_HRW) != 0;
  if (hen_fall && reading) {
    static constexpr int read_regs[8] = {HOST_ICR, HOST_CVR, HOST_ISR, HOST_IVR, -1, -1, HOST_RXH, HOST_RXL};
    const int reg = read_regs[address];
    if (reg == HOST_ISR) store(periph, w, HOST_ISR, (w[HOST_ISR] & ~ISR_HF32) | (w[HOST_HCR] & HCR_HF32));
    drive_data(w, reg >= 0 ? w[reg] : 0);
    if (reg == HOST_RXL) set_bits(periph, w, HOST_ISR, ISR_RXDF, false);
    if (reg >= 0) mark_read(periph, reg);
  } else if (hen_rise && reading) {
    release_data(w);
  } else if (hen_fall && address == 7) {
    set_bits(periph, w, HOST_ISR, ISR_TXDE, false);
  } else if (hen_rise) {
    static constexpr int write_regs[8] = {HOST_ICR, HOST_CVR, -1, HOST_IVR, -1, -1, HOST_TXH, HOST_TXL};
    const int reg = write_regs[address];
    if (reg >= 0) host_store_reg(periph, reg, level & PIN_DATA);
  }
}

// Step 9: DMA transfers, one byte per HACK strobe while HEN is high.
void host_dma(int periph, uint32_t* w, uint32_t level, bool hack_fall, bool hack_rise) {
  if (!(level & PIN_HEN)) return;
  const uint32_t mode = (w[HOST_ICR] & ICR_HM) >> 5;
  const bool low_byte = w[HW_BYTE_COUNTER] >= 3;
  const auto count = [&] {
    if (low_byte)
      w[HW_BYTE_COUNTER] = mode;
    else
      ++w[HW_BYTE_COUNTER];
  };
  switch (w[HOST_ICR] & (ICR_TREQ | ICR_RREQ)) {
    case ICR_RREQ:  // DSP to host
      if (hack_fall) {
        const int reg = low_byte ? HOST_RXL : HOST_RXH;
        drive_data(w, w[reg]);
        mark_read(periph, reg);
        w[HOST_ISR] &= ~ISR_HREQ;
      } else if (hack_rise) {
        release_data(w);
        if (low_byte) set_bits(periph, w, HOST_ISR, ISR_RXDF, false);
        count();
      }
      if ((level & PIN_HACK) && (w[HOST_ISR] & ISR_RXDF)) w[HOST_ISR] |= ISR_HREQ;
      break;
    case ICR_TREQ:  // host to DSP
      if (hack_rise) {
        store(periph, w, low_byte ? HOST_TXL : HOST_TXH, level & PIN_DATA);
        if (low_byte) {
          set_bits(periph, w, HOST_ISR, ISR_TXDE, false);
          w[HW_PENDING_WORD] = (w[HOST_TXH] << 8) | w[HOST_TXL];
          w[HW_PENDING_FLAG] = 1;
        }
        count();
        if (w[HOST_ISR] & ISR_TXDE) w[HOST_ISR] |= ISR_HREQ;
      } else if (hack_fall) {
        w[HOST_ISR] &= ~ISR_HREQ;
      }
      break;
    default:
      break;
  }
}

// Step 1: a disabled interface gives its pins back once.
void host_reset(int periph, int kind, int);

// One engine step: host input words, host accesses, DSP-host word moves,
// DMA and the pins.
void host_engine(int periph) {
  uint32_t* w = periph_words(periph);
  uint32_t& class_word = cur_state->periph_entries[periph].class_word;
  if (!(w[HW_PBC] & 1)) {
    if (w[HW_WAS_ENABLED]) {
      class_word &= ~1u;
      w[HW_WAS_ENABLED] = 0;
      host_reset(periph, 0, -1);
    }
    update_requests(w);
    w[HW_SETTLE] = 0;
    return;
  }
  const uint32_t before[] = {w[HOST_ISR], w[HOST_HSR], w[HW_DRIVE_LEVEL], w[HW_DRIVE_MASK], w[HW_PENDING_FLAG]};
  if (!w[HW_WAS_ENABLED]) {
    class_word |= 1u;
    w[HW_WAS_ENABLED] = 1;
    w[HW_DRIVE_LEVEL] = PIN_HREQ;
    w[HW_DRIVE_MASK] = PIN_HREQ;
    w[HW_PINS_CHANGED] = 1;
  }
  const uint32_t shift = w[HW_PIN_SHIFT];
  uint32_t* pins = port_b_pins();
  stream_value input;
  if (read_untimed_input(periph, &input)) {
    const uint32_t word = static_cast<uint32_t>(input.integer) & PIN_ALL;
    uint32_t defined = PIN_HA | PIN_HRW | PIN_HEN | PIN_HACK;
    if ((word & (PIN_HRW | PIN_HEN | PIN_HACK)) == PIN_HACK) defined |= PIN_DATA;
    set_pin_word(pins, PIN_LEVEL, (pins[PIN_LEVEL] & ~(PIN_ALL << shift)) | (word << shift));
    set_pin_word(pins, PIN_DEFINED, pins[PIN_DEFINED] | (defined << shift));
  }
  const uint32_t level = (pins[PIN_LEVEL] >> shift) & PIN_ALL;
  const uint32_t previous = (pins[REG_BLOCK_WORDS + PIN_LEVEL] >> shift) & PIN_ALL;
  const auto fell = [&](uint32_t pin) { return !(level & pin) && (previous & pin); };
  const auto rose = [&](uint32_t pin) { return (level & pin) && !(previous & pin); };

  host_access(periph, w, level, fell(PIN_HEN), rose(PIN_HEN));
  const bool dma = (w[HOST_ISR] & ISR_DMA) != 0;
  const bool idle = (level & PIN_HEN) && (!dma || (level & PIN_HACK));
  uint32_t isr = w[HOST_ISR];
  if (idle && !(w[HOST_HSR] & HSR_HTDE) && !(isr & ISR_RXDF)) {
    store(periph, w, HOST_RXH, w[HOST_HTX] >> 8);
    store(periph, w, HOST_RXL, w[HOST_HTX] & 0xFF);
    w[HOST_ISR] |= ISR_RXDF;
    set_bits(periph, w, HOST_HSR, HSR_HTDE, true);
  }
  if (!(w[HOST_ISR] & ISR_TXDE) && !(w[HOST_HSR] & HSR_HRDF) && w[HW_PENDING_FLAG]) {
    w[HOST_ISR] |= ISR_TXDE;
    store(periph, w, HOST_HRX, w[HW_PENDING_WORD] & 0xFFFF);
    w[HW_PENDING_FLAG] = 0;
    set_bits(periph, w, HOST_HSR, HSR_HRDF, true);
    mark_read(periph, HOST_TXH);
    mark_read(periph, HOST_TXL);
  }
  if (!dma) {
    isr = w[HOST_ISR];
    const uint32_t icr = w[HOST_ICR];
    const bool request = ((icr & ICR_RREQ) && (isr & ISR_RXDF)) || ((icr & ICR_TREQ) && (isr & ISR_TXDE));
    w[HOST_ISR] = request ? isr | ISR_HREQ : isr & ~ISR_HREQ;
    if (w[HOST_ISR] != isr) w[HW_PINS_CHANGED] = 1;
    if ((w[HOST_ISR] & ISR_HREQ) && (level & PIN_HRW)) {
      if (fell(PIN_HACK)) drive_data(w, w[HOST_IVR]);
      if (rose(PIN_HACK)) release_data(w);
    }
  } else {
    const uint32_t hreq = w[HOST_ISR] & ISR_HREQ;
    host_dma(periph, w, level, fell(PIN_HACK), rose(PIN_HACK));
    if ((w[HOST_ISR] & ISR_HREQ) != hreq) w[HW_PINS_CHANGED] = 1;
  }
  isr = w[HOST_ISR];
  const bool trdy = (isr & ISR_TXDE) && !(w[HOST_HSR] & HSR_HRDF);
  w[HOST_ISR] = trdy ? isr | ISR_TRDY : isr & ~ISR_TRDY;
  if (w[HOST_ISR] != before[0]) mark_register_written(periph, HOST_ISR);

  // Step 12: HREQ is active low.
  w[HW_DRIVE_LEVEL] = (w[HOST_ISR] & ISR_HREQ) ? w[HW_DRIVE_LEVEL] & ~PIN_HREQ : w[HW_DRIVE_LEVEL] | PIN_HREQ;
  set_pin_word(pins, PIN_DRIVEN_LEVEL, (pins[PIN_DRIVEN_LEVEL] & ~(PIN_ALL << shift)) | (w[HW_DRIVE_LEVEL] << shift));
  set_pin_word(pins, PIN_DRIVEN, (pins[PIN_DRIVEN] & ~(PIN_ALL << shift)) | (w[HW_DRIVE_MASK] << shift));
  if (w[HW_PINS_CHANGED] || w[HW_DRIVE_LEVEL] != w[HW_PREV_DRIVEN])
    write_peripheral_output(periph, static_cast<int32_t>(w[HW_DRIVE_LEVEL]), -1);
  w[HW_PINS_CHANGED] = 0;
  w[HW_PREV_DRIVEN] = w[HW_DRIVE_LEVEL];
  update_requests(w);

  const uint32_t after[] = {w[HOST_ISR], w[HOST_HSR], w[HW_DRIVE_LEVEL], w[HW_DRIVE_MASK], w[HW_PENDING_FLAG]};
  if (!std::equal(std::begin(before), std::end(before), std::begin(after)))
    w[HW_SETTLE] = 2;
  else if (w[HW_SETTLE] > 0)
    --w[HW_SETTLE];
}

int host_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int host_set_reg(int periph, int reg, const uint32_t* value) {
  host_store_reg(periph, reg, *value);
  return 1;
}

void host_bus_read(int periph, uint32_t address, uint32_t* out, int flag) {
  uint32_t* w = periph_words(periph);
  if (address == IO_PBC) {
    *out = w[HW_PBC];
  } else if (address == IO_PBDDR) {
    *out = w[HW_PBDDR];
  } else if (address == IO_PBD) {
    *out = w[HW_PBD];
  } else {
    const int reg = find_bus_register(periph, address, REG_READABLE);
    if (reg < 0) return;
    *out = w[reg];
    // The program's read of hrx empties it.
    if (reg == HOST_HRX && flag != 0) {
      set_bits(periph, w, HOST_HSR, HSR_HRDF, false);
      if (w[HOST_ISR] & ISR_TXDE) set_bits(periph, w, HOST_ISR, ISR_TRDY, true);
      update_requests(w);
      w[HW_SETTLE] = 2;
      peripherals_changed();
    }
  }
}

// Port B register writes are answered with the interface's share: all of
// port B once it is enabled.
int host_bus_write(int periph, uint32_t address, uint32_t value, int) {
  const periph_row& row = cur_type->periphs[periph];
  uint32_t* w = periph_words(periph);
  if (address == IO_IPR) {
    w[HW_PRIORITY] = value & row.ipr_bits;
    update_requests(w);
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

// Event-driven: between events nothing changes. An enabled interface
// steps every cycle while the device has input streams (the host's words,
// pins it watches) and for a step or two after every change.
uint32_t host_next_event(int periph) {
  const uint32_t* w = periph_words(periph);
  const uint32_t enabled = w[HW_PBC] & 1;
  if (enabled != w[HW_WAS_ENABLED]) return 0;
  if (!enabled) return NO_EVENT;
  if (w[HW_SETTLE] > 0 || cur_state->streams[0] != nullptr || cur_state->streams[1] != nullptr) return 0;
  return NO_EVENT;
}

// A STOP (kind 0) keeps hcr and the snooped port B words.
void host_reset(int periph, int kind, int) {
  uint32_t* w = periph_words(periph);
  for (const reset_value& r : host_reset_values) store(periph, w, r.reg, r.value);
  w[HW_PIN_SHIFT] = static_cast<uint32_t>(std::countr_zero(cur_type->periphs[periph].pin_mask));
  w[HW_PENDING_FLAG] = 0;
  w[HW_BYTE_COUNTER] = 0;
  w[HW_SETTLE] = 2;
  if (kind != 0) {
    // A device reset hands port B back: what the interface drove is let go.
    if (w[HW_WAS_ENABLED]) {
      uint32_t* pins = port_b_pins();
      set_pin_word(pins, PIN_DRIVEN, pins[PIN_DRIVEN] & ~(PIN_ALL << w[HW_PIN_SHIFT]));
      cur_state->periph_entries[periph].class_word &= ~1u;
      w[HW_WAS_ENABLED] = 0;
    }
    w[HW_DRIVE_MASK] = 0;
    store(periph, w, HOST_HCR, 0);
    w[HW_PBC] = 0;
    w[HW_PBDDR] = 0;
    w[HW_PBD] = 0;
  }
  update_requests(w);
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
    nullptr,          host_next_event,
};
