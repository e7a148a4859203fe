// The synchronous serial ports ssi0 and ssi1 ("73521" and the two "73547"
// types), and the parts of the peripheral interface that both serial port
// kinds share: the snooped port C and ipr words, the transfer state reset
// and the four interrupt requests.
#include <iterator>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"

// ---------------------------------------------------------------------------
// Shared by ssi and rssi.

void serial_transfer_reset(int periph, int ssr_reg) {
  uint32_t* w = periph_words(periph);
  w[ssr_reg] = SSR_TDE;
  mark_register_written(periph, ssr_reg);
  w[SW_RX_SHIFT] = SERIAL_IDLE;
  w[SW_TX_WORD] = SERIAL_IDLE;
  for (int word : {SW_RX_RESYNC, SW_TX_RESYNC, SW_RX_HOLD, SW_TX_HOLD, SW_RX_LAST_WORD,
                   SW_TX_LAST_WORD})
    w[word] = 1;
  w[SW_RX_SEQUENCER] = SEQ_AFTER_RESET;
  w[SW_TX_SEQUENCER] = SEQ_AFTER_RESET;
  w[SW_RX_EDGE] = EDGE_NONE;
  w[SW_TX_EDGE] = EDGE_NONE;
  for (int word : {SW_RX_PHASE, SW_TX_PHASE, SW_RX_PREV_CLOCK, SW_TX_PREV_CLOCK,
                   SW_RX_FRAME_START, SW_TX_FRAME_START, SW_RX_BIT_SYNC, SW_RX_FS_LEVEL,
                   SW_TX_FS_LEVEL, SW_RX_PREV_FS, SW_TX_PREV_FS, SW_RX_INTERNAL_FS,
                   SW_TX_INTERNAL_FS, SW_RX_FRAME_ENABLE, SW_TX_FRAME_ENABLE, SW_RX_WORD_ENABLE,
                   SW_TX_WORD_ENABLE, SW_RX_WORD_COMPLETE, SW_RX_WORD_FRAMED,
                   SW_TX_TRANSMITTING, SW_TX_EARLY_START, SW_TX_SKIP_REQUEST, SW_TX_SKIP_LATCH,
                   SW_REQ_RX_EXCEPTION, SW_REQ_TX_EXCEPTION})
    w[word] = 0;
  w[SW_STEP_MARKER] = 1;
}

bool serial_snoop_read(int periph, uint32_t address, uint32_t* out) {
  const uint32_t* w = periph_words(periph);
  if (address == IO_PCC) {
    *out = w[SW_PINS];
  } else if (address == IO_PCDDR) {
    *out = w[SW_PCDDR];
  } else if (address == IO_PCD) {
    *out = w[SW_PCD];
  } else {
    return false;
  }
  return true;
}

bool serial_snoop_write(int periph, uint32_t address, uint32_t value, int* answer,
                        void (*transfer_reset)(int periph)) {
  const periph_row& row = cur_type->periphs[periph];
  uint32_t* w = periph_words(periph);
  *answer = 0;
  if (address == IO_PCC) {
    w[SW_PINS] = value & row.pcr_bits;
    uint32_t& class_word = cur_state->periph_entries[static_cast<std::size_t>(periph)].class_word;
    class_word = w[SW_PINS] != 0 ? class_word | 1 : class_word & ~1u;
    if (w[SW_PINS] == 0) transfer_reset(periph);
    *answer = static_cast<int>(w[SW_PINS]);
  } else if (address == IO_PCDDR) {
    *answer = static_cast<int>(w[SW_PCDDR] = value & row.pin_mask);
  } else if (address == IO_PCD) {
    *answer = static_cast<int>(w[SW_PCD] = value & row.pin_mask);
  } else if (address == IO_IPR) {
    w[SW_PRIORITY] = value & row.ipr_bits;
  } else {
    return false;
  }
  return true;
}

int serial_pending_irq(int periph) {
  const uint32_t* w = periph_words(periph);
  if (w[SW_PRIORITY] == 0) return -1;
  for (int i = 0; i < 4; ++i)
    if (w[SW_REQ_RX_EXCEPTION + i]) return cur_type->periphs[periph].vector + 2 * i;
  return -1;
}

void serial_ack_irq(int periph, int vector) {
  const int offset = vector - cur_type->periphs[periph].vector;
  if (offset >= 0 && offset <= 6 && offset % 2 == 0)
    periph_words(periph)[SW_REQ_RX_EXCEPTION + offset / 2] = 0;
}

void serial_slot_write(int periph, bool skip, int ssr_reg, void (*transfer_reset)(int periph)) {
  constexpr uint32_t SSR_TUE = 0x10;
  uint32_t* w = periph_words(periph);
  if (skip) w[SW_TX_SKIP_REQUEST] = 1;
  uint32_t ssr = w[ssr_reg];
  if ((ssr & SSR_TUE) && w[SW_TUE_SEEN]) {
    ssr &= ~SSR_TUE;
    w[SW_TUE_SEEN] = 0;
  }
  ssr &= ~SSR_TDE;
  if (ssr != w[ssr_reg]) {
    w[ssr_reg] = ssr;
    mark_register_written(periph, ssr_reg);
  }
  if (w[SW_PINS] == 0) transfer_reset(periph);
}

void serial_reset_words(int periph) {
  uint32_t* w = periph_words(periph);
  for (int word : {SW_REQ_RX_EXCEPTION, SW_REQ_RX, SW_REQ_TX_EXCEPTION, SW_REQ_TX, SW_PINS,
                   SW_PCD, SW_PCDDR, SW_PRESCALE, SW_MODULUS})
    w[word] = 0;
}

// ---------------------------------------------------------------------------
// ssi.

namespace {

constexpr uint32_t RW = REG_PERIPH_WORD | REG_READABLE | REG_WRITABLE | REG_BUS_MAPPED;
constexpr uint32_t RO = REG_PERIPH_WORD | REG_READABLE | REG_BUS_MAPPED;
constexpr uint32_t WO = REG_PERIPH_WORD | REG_WRITABLE | REG_BUS_MAPPED;
constexpr uint32_t ATTR = REG_PERIPH_INIT_ATTR;

constexpr char CRA_HELP[] =
    "Control Register A.\n"
    " {P W W D D D D D P P P P P P P P}\n"
    " {S L L C C C C C M M M M M M M M}\n"
    " {R 1 0 4 3 2 1 0 7 6 5 4 3 2 1 0}";
constexpr char SSR_HELP[] =
    "Status Register.\n"
    " {R T R T R T I I}\n"
    " {D D O U F F F F}\n"
    " {F E E E S S 1 0}";

// The two tables differ only in crb's frame-sync direction bits.
constexpr reg_desc ssi_regs_521[] = {
    {"cra", 0xFFFF, 0, ATTR, RW, CRA_HELP},
    {"crb", 0xFFFF, 1, ATTR, RW,
     "Control Register B.\n"
     "                 {S S S   A}\n"
     " {R T     M S F F H C C F / F O O}\n"
     " {I I R T O Y S S F K K S M L F F}\n"
     " {E E E E D N I L D P D D U G 1 0}"},
    {"rml", 0xFFFF, 0x22, ATTR, RW, "Receive Slot Mask Register Low"},
    {"rmh", 0xFFFF, 0x23, ATTR, RW, "Receive Slot Mask Register High"},
    {"rx", 0xFFFF, 0x21, ATTR, RO, "Serial Receive Register."},
    {"ssr", 0xFF, 0x20, ATTR, RO, SSR_HELP},
    {"tml", 0xFFFF, 0x24, ATTR, RW, "Transmit Slot Mask Register Low"},
    {"tmh", 0xFFFF, 0x25, ATTR, RW, "Transmit Slot Mask Register High"},
    {"tsr", 0, 0x20, ATTR, WO, "Time Slot Register."},
    {"tx", 0xFFFF, 0x21, ATTR, WO, "Serial Transmit Register."},
};
constexpr reg_desc ssi_regs_547[] = {
    {"cra", 0xFFFF, 0, ATTR, RW, CRA_HELP},
    {"crb", 0xFFFF, 1, ATTR, RW,
     "Control Register B.\n"
     "                 {S S S F A F}\n"
     " {R T     M S F F H C C S / S O O}\n"
     " {I I R T O Y S S F K K D M D F F}\n"
     " {E E E E D N I L D P D 1 U 0 1 0}"},
    {"rml", 0xFFFF, 0x22, ATTR, RW, "Receive Slot Mask Register Low"},
    {"rmh", 0xFFFF, 0x23, ATTR, RW, "Receive Slot Mask Register High"},
    {"rx", 0xFFFF, 0x21, ATTR, RO, "Serial Receive Register."},
    {"ssr", 0xFF, 0x20, ATTR, RO, SSR_HELP},
    {"tml", 0xFFFF, 0x24, ATTR, RW, "Transmit Slot Mask Register Low"},
    {"tmh", 0xFFFF, 0x25, ATTR, RW, "Transmit Slot Mask Register High"},
    {"tsr", 0, 0x20, ATTR, WO, "Time Slot Register."},
    {"tx", 0xFFFF, 0x21, ATTR, WO, "Serial Transmit Register."},
};
constexpr int SSI_REGS = static_cast<int>(std::size(ssi_regs_521));
static_assert(std::size(ssi_regs_547) == std::size(ssi_regs_521));

void ssi_transfer_reset(int periph) {
  serial_transfer_reset(periph, SSI_SSR);
  uint32_t* w = periph_words(periph);
  w[SW_TFS_PENDING] = 1;
  w[SW_RFS_PENDING] = 1;
  w[SW_TX_BIT_SYNC] = 0;
  serial_step_due(w);
}

constexpr uint32_t CRB_RE = 0x2000, CRB_TE = 0x1000;

// Storing a register with its write side effects: crb drops the frame
// enables of the directions it disables; tsr and tx start the next slot's
// word (TDE clear, TUE cleared once ssr has been read).
void ssi_store_reg(int periph, int reg, uint32_t value) {
  uint32_t* w = periph_words(periph);
  set_state_register(periph, reg, value);
  serial_step_due(w);
  if (reg == SSI_CRB) {
    if (w[SW_PINS] == 0) ssi_transfer_reset(periph);
    if (!(w[SSI_CRB] & CRB_RE)) w[SW_RX_FRAME_ENABLE] = 0;
    if (!(w[SSI_CRB] & CRB_TE)) w[SW_TX_FRAME_ENABLE] = 0;
  } else if (reg == SSI_TSR || reg == SSI_TX) {
    serial_slot_write(periph, reg == SSI_TSR, SSI_SSR, ssi_transfer_reset);
  }
}

const serial_variant& variant_of(int periph) {
  return cur_type->periphs[periph].cls == &ssi_class_547 ? ssi_variant_547 : ssi_variant_521;
}

int ssi_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int ssi_set_reg(int periph, int reg, const uint32_t* value) {
  const periph_class* cls = cur_type->periphs[periph].cls;
  if (reg >= 0 && reg < cls->reg_count && (cls->regs[reg].access & REG_WRITABLE))
    ssi_store_reg(periph, reg, *value);
  else
    set_state_register(periph, reg, *value);
  serial_step_due(periph_words(periph));
  return 1;
}

void ssi_bus_read(int periph, uint32_t address, uint32_t* out, int flag) {
  if (serial_snoop_read(periph, address, out)) return;
  const int reg = find_bus_register(periph, address, REG_READABLE);
  if (reg < 0) return;
  *out = periph_words(periph)[reg];
  if (flag != 0) serial_status_read(periph, variant_of(periph), reg);
}

int ssi_bus_write(int periph, uint32_t address, uint32_t value, int) {
  int answer = 0;
  if (serial_snoop_write(periph, address, value, &answer, ssi_transfer_reset)) {
    serial_step_due(periph_words(periph));
    return answer;
  }
  const int reg = find_bus_register(periph, address, REG_WRITABLE);
  if (reg >= 0) ssi_store_reg(periph, reg, value);
  return 0;
}

void ssi_clock(int periph) { serial_clock(periph, variant_of(periph)); }
uint32_t ssi_next_event(int periph) { return serial_next_event(periph, variant_of(periph)); }
void ssi_catch_up(int periph) { serial_catch_up(periph, variant_of(periph)); }

// A STOP (kind 0) only puts the transfer back to a frame start.
void ssi_reset(int periph, int kind, int) {
  ssi_transfer_reset(periph);
  if (kind == 0) return;
  uint32_t* w = periph_words(periph);
  for (int reg : {SSI_CRB, SSI_CRA}) {
    w[reg] = 0;
    mark_register_written(periph, reg);
  }
  serial_reset_words(periph);
  for (int reg : {SSI_RML, SSI_RMH, SSI_TML, SSI_TMH}) {
    w[reg] = 0xFFFF;
    mark_register_written(periph, reg);
  }
}

}  // namespace

const serial_variant ssi_variant_521 = {SERIAL_521, SSI_CRA, SSI_CRB, SSI_RX, SSI_SSR, SSI_TX};
const serial_variant ssi_variant_547 = {SERIAL_547, SSI_CRA, SSI_CRB, SSI_RX, SSI_SSR, SSI_TX};

const periph_class ssi_class_521 = {
    ssi_get_reg,        ssi_set_reg,    ssi_bus_read, ssi_bus_write,   ssi_clock, ssi_reset,
    serial_pending_irq, serial_ack_irq, 0x2E,         SSI_STATE_WORDS, SSI_REGS,  ssi_regs_521,
    ssi_catch_up,       ssi_next_event, serial_input_word, serial_output_word,
};
const periph_class ssi_class_547 = {
    ssi_get_reg,        ssi_set_reg,    ssi_bus_read, ssi_bus_write,   ssi_clock, ssi_reset,
    serial_pending_irq, serial_ack_irq, 0x2E,         SSI_STATE_WORDS, SSI_REGS,  ssi_regs_547,
    ssi_catch_up,       ssi_next_event, serial_input_word, serial_output_word,
};
