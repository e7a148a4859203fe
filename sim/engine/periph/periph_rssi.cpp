// The serial ports rssi0 and rssi1 of the "73583" types: the pins,
// addresses and interrupts of the ssi ports, without slot mask registers,
// with a port enable, a gated clock and an early last frame sync.
#include <iterator>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"

namespace {

constexpr uint32_t RW = REG_PERIPH_WORD | REG_READABLE | REG_WRITABLE | REG_BUS_MAPPED;
constexpr uint32_t RO = REG_PERIPH_WORD | REG_READABLE | REG_BUS_MAPPED;
constexpr uint32_t WO = REG_PERIPH_WORD | REG_WRITABLE | REG_BUS_MAPPED;
constexpr uint32_t ATTR = REG_PERIPH_INIT_ATTR;
constexpr uint32_t CRB_RE = 0x2000, CRB_SSIEN = 0x400, CRB_GCK = 0x8;

constexpr reg_desc rssi_regs[] = {
    {"cra", 0xE7FF, 0, ATTR, RW,
     "Control Register A.\n"
     " {P W W}     {D D D P P P P P P P P}\n"
     " {S L L}     {C C C M M M M M M M M}\n"
     " {R 1 0} * * {2 1 0 7 6 5 4 3 2 1 0}"},
    {"crb", 0xFFFC, 1, ATTR, RW,
     "Control Register B.\n"
     "           {S}\n"
     "           {S     S S S     E}\n"
     " {R T     M I F F H C C F G L}\n"
     " {I I R T O E S S F K K S C F}\n"
     " {E E E E D N I L D P D D K S} * *"},
    {"rx", 0xFFFF, 0x21, ATTR, RO, "Serial Receive Register."},
    {"ssr", 0xF8, 0x20, ATTR, RO,
     "Status Register.\n"
     "         {T}\n"
     " {R T R T R}\n"
     " {D D O U F}\n"
     " {F E E E S} * * *"},
    {"tsr", 0, 0x20, ATTR, WO, "Time Slot Register."},
    {"tx", 0xFFFF, 0x21, ATTR, WO, "Serial Transmit Register."},
};
constexpr int RSSI_REGS = static_cast<int>(std::size(rssi_regs));

void rssi_transfer_reset(int periph) {
  serial_transfer_reset(periph, RSSI_SSR);
  uint32_t* w = periph_words(periph);
  w[SW_RSSI_TX_BIT_SYNC] = 0;
  w[SW_GATED_LATCH] = (w[RSSI_CRB] & CRB_GCK) ? 0 : 1;
  serial_step_due(w);
}

const serial_variant rssi_variant = {SERIAL_RSSI, RSSI_CRA, RSSI_CRB, RSSI_RX, RSSI_SSR, RSSI_TX};

// Storing a register with its write side effects: clearing SSIEN stops the
// transfer where it is; tsr and tx start the next slot's word as on the
// ssi.
void rssi_store_reg(int periph, int reg, uint32_t value) {
  uint32_t* w = periph_words(periph);
  const uint32_t old_crb = w[RSSI_CRB];
  set_state_register(periph, reg, value);
  serial_step_due(w);
  if (reg == RSSI_CRB) {
    if (w[SW_PINS] == 0 || ((old_crb & CRB_SSIEN) && !(w[RSSI_CRB] & CRB_SSIEN)))
      rssi_transfer_reset(periph);
    if (!(w[RSSI_CRB] & CRB_RE)) w[SW_RX_WORD_ENABLE] = 0;
  } else if (reg == RSSI_TSR || reg == RSSI_TX) {
    serial_slot_write(periph, reg == RSSI_TSR, RSSI_SSR, rssi_transfer_reset);
  }
}

int rssi_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int rssi_set_reg(int periph, int reg, const uint32_t* value) {
  if (reg >= 0 && reg < RSSI_REGS && (rssi_regs[reg].access & REG_WRITABLE))
    rssi_store_reg(periph, reg, *value);
  else
    set_state_register(periph, reg, *value);
  serial_step_due(periph_words(periph));
  return 1;
}

void rssi_bus_read(int periph, uint32_t address, uint32_t* out, int flag) {
  if (serial_snoop_read(periph, address, out)) return;
  const int reg = find_bus_register(periph, address, REG_READABLE);
  if (reg < 0) return;
  *out = periph_words(periph)[reg];
  if (flag != 0) serial_status_read(periph, rssi_variant, reg);
}

int rssi_bus_write(int periph, uint32_t address, uint32_t value, int) {
  int answer = 0;
  if (serial_snoop_write(periph, address, value, &answer, rssi_transfer_reset)) {
    serial_step_due(periph_words(periph));
    return answer;
  }
  const int reg = find_bus_register(periph, address, REG_WRITABLE);
  if (reg >= 0) rssi_store_reg(periph, reg, value);
  return 0;
}

void rssi_clock(int periph) { serial_clock(periph, rssi_variant); }
uint32_t rssi_next_event(int periph) { return serial_next_event(periph, rssi_variant); }
void rssi_catch_up(int periph) { serial_catch_up(periph, rssi_variant); }

// A STOP (kind 0) only puts the transfer back to a frame start.
void rssi_reset(int periph, int kind, int) {
  rssi_transfer_reset(periph);
  if (kind == 0) return;
  uint32_t* w = periph_words(periph);
  for (int reg : {RSSI_CRB, RSSI_CRA}) {
    w[reg] = 0;
    mark_register_written(periph, reg);
  }
  serial_reset_words(periph);
}

}  // namespace

const periph_class rssi_class = {
    rssi_get_reg,       rssi_set_reg,   rssi_bus_read, rssi_bus_write,   rssi_clock, rssi_reset,
    serial_pending_irq, serial_ack_irq, 0x2E,          RSSI_STATE_WORDS, RSSI_REGS,  rssi_regs,
    rssi_catch_up,      rssi_next_event, serial_input_word, serial_output_word,
};
