// The transfer engine of the synchronous serial ports: the internal bit
// clock, the pins and the status, one step per device cycle around the
// transmitter's and receiver's sequencing (serial_sequencer.cpp). The steps run only in the cycles where
// something can change (a toggle of the internal clock, a register or pin
// change, a pin stream); every other cycle only moves the clock dividers,
// which catch_up does in one go.
//
// - The serial ports (`serial_engine.cpp`, shared by every serial port class through a
//   `serial_variant`: register numbers and the family's rules; `periph_ssi.cpp` holds the ssi's
//   registers and write side effects, `periph_rssi.cpp` the rssi's). The rssi runs in the same
//   engine: its `step_ctx` sets `rssi`, its own directions (no slot masks or pending flags), `elfs`
//   where the ssi samples with FSL, and `start`, the sequencer state words start from (3 in the
//   gated mode without frame sync, `MODE_GATED`; gated modes with frame sync run as normal or
//   network). A port with SSIEN clear takes no step (`port_enabled`). A step changes nothing unless
//   the internal clock toggles, a register, pin or mode changed (`SW_STEP_DUE`, set by every store
//   and snooped write and for the last resynchronisation step) or an outside pin moved. So
//   `catch_up` only runs the clock dividers (in one go), and `next_event` is: 0 when a step is due,
//   or every cycle while input streams are open and the port uses an external clock or frame sync;
//   the next toggle while the port is enabled and its internal clock matters (SCKD, or a direction
//   still resynchronising); else `NO_EVENT`. Input and output words go through the class's
//   `input_word`/`output_word` hooks ("idle" in, "IDLE" out for the value -2).
//
// - Repeats of an unseen port (`serial_engine.cpp`): a step depends only on the port's words (but
//   its bookkeeping) and its own pins, and every unseen step is a toggle, so once the state before a
//   step comes back the steps repeat with the same cycles between them, the same register notes (ssr
//   and rx written, in order) and the same end state. The catch-up keeps the state before one step
//   (not the first of a catch-up, whose clock word still shows the update), records the steps after
//   it (their cycles and notes) up to 4,096 steps, and when that state comes back skips the whole
//   repeats that end before the current cycle: words and dividers stay as they are, the notes are
//   made again in order (`serial_repeated_steps` counts the steps so stood for). A step at an event,
//   a store, a snoop or the device's time set back (a state load) ends a recording; a repeat once
//   found stays true (it is a property of the state). A port left running with nothing writing tx
//   settles within a few frames.
//   `RepeatsOfAnUnseenPortMatchSteppingEveryToggle` runs seven settings (ssi and rssi, normal,
//   network, companded, gated) for 60,000 cycles looked at every 7,919: the port's words and pins
//   against a port clocked every cycle, the whole device state against catch-ups that step every
//   toggle (`serial_repeats_off`).
#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"
#include "sim/engine/periph/serial_internal.h"

using namespace serial_engine;

namespace {

// While a port's steps are taken at a catch-up and a repeat is looked for,
// the registers each step marks written, in order (serial_repeat::notes).
thread_local std::vector<uint8_t>* noted_registers = nullptr;

}  // namespace

void serial_engine::note_written(int periph, int reg) {
  mark_register_written(periph, reg);
  if (noted_registers != nullptr) noted_registers->push_back(static_cast<uint8_t>(reg));
}

namespace {

void set_rssi_modes(step_ctx& c) {
  const uint32_t crb = c.crb;
  c.fsd0 = c.fsd1 = crb & CRB_FSD1;
  const bool mod = crb & CRB_MOD;
  if (crb & CRB_GCK) {
    c.tx_mode = !c.fsd1 ? MODE_GATED : mod ? MODE_NETWORK : MODE_NORMAL;
    c.rx_mode = c.tx_mode;
  } else {
    c.tx_mode = c.fsd1 ? (mod ? MODE_NETWORK : MODE_NORMAL) : (mod ? MODE_EXT_NETWORK : MODE_EXT_NORMAL);
    c.rx_mode = mod ? MODE_EXT_NETWORK : MODE_EXT_NORMAL;
  }
  c.flag_mode = false;
  c.sample_flags = false;
  c.elfs = crb & CRB_ELFS;
  c.start = c.tx_mode == MODE_GATED ? SEQ_AFTER_RESET : 0;
}

void set_modes(step_ctx& c) {
  const uint32_t crb = c.crb;
  c.rssi = c.v->kind == SERIAL_RSSI;
  if (c.rssi) {
    set_rssi_modes(c);
    return;
  }
  c.elfs = crb & CRB_FSL;
  c.start = 0;
  const bool is547 = c.v->kind == SERIAL_547;
  c.fsd1 = crb & CRB_FSD1;
  c.fsd0 = is547 ? crb & CRB_FSD0 : c.fsd1;
  const uint32_t dc = (c.cra >> 8) & 0x1F;
  const bool mod = crb & CRB_MOD;
  if (c.fsd0 || c.fsd1)
    c.tx_mode = mod ? (dc == 0 ? MODE_ON_DEMAND : MODE_NETWORK) : MODE_NORMAL;
  else
    c.tx_mode = mod ? MODE_EXT_NETWORK : MODE_EXT_NORMAL;
  const bool syn = crb & CRB_SYN;
  const bool rx_internal = (c.fsd1 && !syn) || (is547 && syn && (c.fsd0 || c.fsd1));
  c.rx_mode = rx_internal ? (mod ? MODE_NETWORK : MODE_NORMAL) : (mod ? MODE_EXT_NETWORK : MODE_EXT_NORMAL);
  c.flag_mode = is547 ? (c.fsd0 && c.fsd1) : (crb & CRB_FSD0) != 0;
  c.sample_flags = is547 || (crb & CRB_FSD0) != 0;
}

// --- The internal clock -------------------------------------------------------

uint32_t prescale_ticks(const uint32_t* w, int cra) { return (w[cra] & CRA_PSR) ? 8 : 1; }
uint32_t modulus_ticks(const uint32_t* w, int cra) { return (w[cra] & 0xFF) + 1; }

// A divider left above a new limit runs out at its next tick.
void clamp_dividers(uint32_t* w, int cra) {
  const uint32_t p = prescale_ticks(w, cra), m = modulus_ticks(w, cra);
  if (w[SW_PRESCALE] >= p) w[SW_PRESCALE] = p - 1;
  if (w[SW_MODULUS] >= m) w[SW_MODULUS] = m - 1;
}

// Ticks to the next toggle.
uint32_t ticks_to_toggle(uint32_t* w, int cra) {
  clamp_dividers(w, cra);
  const uint32_t p = prescale_ticks(w, cra);
  return p * modulus_ticks(w, cra) - (w[SW_MODULUS] * p + w[SW_PRESCALE]);
}

// n ticks of the dividers at once; the clock toggles each time both run out.
void run_dividers(uint32_t* w, int cra, uint32_t n) {
  clamp_dividers(w, cra);
  const uint32_t p = prescale_ticks(w, cra), period = p * modulus_ticks(w, cra);
  const uint64_t pos = uint64_t{w[SW_MODULUS]} * p + w[SW_PRESCALE] + n;
  const uint64_t toggles = pos / period, at = pos % period;
  w[SW_MODULUS] = static_cast<uint32_t>(at / p);
  w[SW_PRESCALE] = static_cast<uint32_t>(at % p);
  if (toggles & 1) w[SW_CLOCK] ^= 1;
  if (toggles) w[SW_CLOCK] &= ~2u;
}

// The step's own tick, in cycles whose phase is 1.
void clock_generation(uint32_t* w, int cra, uint32_t phase) {
  w[SW_CLOCK] |= 2;
  if (phase == 0) return;
  clamp_dividers(w, cra);
  if (++w[SW_PRESCALE] < prescale_ticks(w, cra)) return;
  w[SW_PRESCALE] = 0;
  if (++w[SW_MODULUS] < modulus_ticks(w, cra)) return;
  w[SW_MODULUS] = 0;
  w[SW_CLOCK] = (w[SW_CLOCK] ^ 1) & 1;
}

bool just_risen(const uint32_t* w) { return w[SW_CLOCK] == 1; }

void resynchronise(uint32_t* w, int word) {
  if (w[word] == 1) {
    if (internal_clock(w)) w[word] = 2;
  } else if (w[word] == 2) {
    if (just_risen(w)) w[word] = 3;
  } else if (w[word] == 3) {
    w[word] = 0;
  }
}

// --- Requests, pins and the end of a step -------------------------------------

void set_requests(uint32_t* w, uint32_t crb, uint32_t ssr, bool exceptions) {
  const bool prio = w[SW_PRIORITY] != 0;
  const bool rx = prio && (crb & CRB_RIE) && (ssr & SSR_RDF);
  const bool tx = prio && (crb & CRB_TIE) && (ssr & SSR_TDE);
  w[SW_REQ_RX] = rx && !(ssr & SSR_ROE);
  w[SW_REQ_TX] = tx && !(ssr & SSR_TUE);
  if (exceptions) {
    w[SW_REQ_RX_EXCEPTION] = rx && (ssr & SSR_ROE);
    w[SW_REQ_TX_EXCEPTION] = tx && (ssr & SSR_TUE);
  }
  if (w[SW_REQ_RX] | w[SW_REQ_TX] | w[SW_REQ_RX_EXCEPTION] | w[SW_REQ_TX_EXCEPTION])
    raise_interrupt_request();
}

// P1 and P2: the frame-sync pins.
void frame_sync_pins(step_ctx& c) {
  const uint32_t* w = c.w;
  const bool syn = c.crb & CRB_SYN;
  const bool tx_level = (w[SW_TX_FS_LEVEL] != 0) != c.fsi;
  const bool rx_level = (w[SW_RX_FS_LEVEL] != 0) != c.fsi;
  const bool either = (w[SW_TX_FS_LEVEL] || w[SW_RX_FS_LEVEL]) != c.fsi;
  if (c.rssi) {
    drive(c, PIN_SFS, c.fsd1 != 0, either);
    return;
  }
  if (c.v->kind == SERIAL_547) {
    if (!syn) {
      drive(c, PIN_SFS, c.fsd0 || c.fsd1, tx_level);
      drive(c, PIN_SC1, c.fsd1 && !c.fsd0, rx_level);
    } else if (c.fsd1 && !c.fsd0) {
      drive(c, PIN_SFS, true, either);
    } else if (!c.fsd0 && !c.fsd1) {
      drive(c, PIN_SFS, false, false);
    }
    return;
  }
  if (syn && (c.crb & CRB_FSD0)) return;
  drive(c, PIN_SFS, c.fsd1 != 0, tx_level);
  drive(c, PIN_SC1, c.fsd1 != 0, rx_level);
}

uint32_t* port_c_block() { return periph_pin_block(3); }

bool pin_level(const uint32_t* block, uint32_t p) {
  return (block[PIN_DRIVEN] & p) ? (block[PIN_DRIVEN_LEVEL] & p) != 0 : (block[PIN_LEVEL] & p) != 0;
}

// The rssi runs only while SSIEN is set too.
bool port_enabled(const uint32_t* w, const serial_variant& v) {
  return w[SW_PINS] != 0 && (v.kind != SERIAL_RSSI || (w[v.crb] & CRB_SSIEN));
}

// A disabled rssi leaves its sck and sfs pins undriven.
void release_clock_pins(int periph, uint32_t handed) {
  const uint32_t base = static_cast<uint32_t>(std::countr_zero(cur_type->periphs[periph].pin_mask));
  uint32_t* block = port_c_block();
  set_pin_word(block, PIN_DRIVEN, block[PIN_DRIVEN] & ~(handed & ((PIN_SCK | PIN_SFS) << base)));
}

// --- Bit steps ------------------------------------------------------------------
//
// A step of an ssi on its internal clock, without SYN, both directions in
// normal or network mode with an internal frame sync, neither held nor
// resynchronising, each in sequencer state 2 or 1 and staying there (no
// sequence rise in state 1), and no first bit on its way out: what the
// full step does then, without the tests that cannot pass. T3, T7, T9-T11,
// T14, T15, R7, R8, R10 and R11 act only in states 0, 3 and 4 or in the
// external modes; T5 and E1 clear the early start; ssr does not change;
// the requests are those of an unseen port (none), which set_requests
// leaves as they are.

// The edge a direction's clock gives in this step, as find_edges would.
enum class edge_kind : uint8_t { none, step_rise, sequence_rise, fall };
edge_kind edge_of(const uint32_t* w, const direction& d, bool clock) {
  const bool prev = w[d.prev_clock] != 0;
  if (clock == prev) return edge_kind::none;
  if (!clock) return edge_kind::fall;
  return w[d.phase] == 0 ? edge_kind::step_rise : edge_kind::sequence_rise;
}

// One direction's T1, T2, T4, T6 and T8 (or R1-R5).
uint32_t bit_sequence(uint32_t* w, const direction& d, bool clock, bool fsl, uint32_t mode) {
  const edges e = find_edges(w, d, clock, fsl);
  if (e.falling) {
    fall_phase(w, d, mode);
    if (edge_now(w[d.edge]) == EDGE_STEP_FALL) fall_counts(w, d, mode);
  }
  const uint32_t edge = edge_now(w[d.edge]);
  if (edge == EDGE_SEQUENCE_RISE && w[d.step_count] == 0) w[d.sequencer] = 1;
  frame_sync(w, d, w[d.internal_fs] != 0, e, edge, fsl, false, true);
  return edge;
}

// The step after clock_generation, or false (nothing changed) when it is
// not such a step.
bool bit_step(const step_ctx& frame) {
  uint32_t* w = frame.w;
  if (!frame.bit_steps || (w[SW_TX_RESYNC] | w[SW_RX_RESYNC] | w[SW_TX_HOLD] | w[SW_RX_HOLD]) != 0) return false;
  const uint32_t tx_state = w[SW_TX_SEQUENCER], rx_state = w[SW_RX_SEQUENCER];
  if ((tx_state != 1 && tx_state != 2) || (rx_state != 1 && rx_state != 2)) return false;
  const bool clock = internal_clock(w);
  const edge_kind tx = edge_of(w, tx_dir, clock), rx = edge_of(w, rx_dir, clock);
  if ((tx == edge_kind::sequence_rise && tx_state == 1) || (rx == edge_kind::sequence_rise && rx_state == 1))
    return false;
  if (w[SW_TX_BIT_MASK] == 0x8000 && w[SW_TX_TRANSMITTING] && (tx == edge_kind::step_rise || tx == edge_kind::sequence_rise))
    return false;

  step_ctx c = frame;
  uint32_t* block = port_c_block();
  c.level = block[PIN_DRIVEN_LEVEL];
  c.driven = block[PIN_DRIVEN];
  for (int edge : {SW_TX_EDGE, SW_RX_EDGE})
    if (w[edge] != EDGE_NONE) w[edge] |= EDGE_OLD;
  const bool fsl = c.crb & CRB_FSL;
  // The transmitter: T12, T13 and T16 after its sequencing.
  const uint32_t tx_edge = bit_sequence(w, tx_dir, clock, fsl, c.tx_mode);
  if (!w[SW_TX_TRANSMITTING]) {
    drive(c, PIN_STD, false, false);
  } else if (tx_edge == EDGE_STEP_RISE || tx_edge == EDGE_SEQUENCE_RISE) {
    const uint32_t mask = (c.crb & CRB_SHFD) ? w[SW_TX_LSB_MASK] : w[SW_TX_BIT_MASK];
    drive(c, PIN_STD, true, (w[SW_TX_DATA] & mask) != 0);
  }
  if (tx_edge == EDGE_SEQUENCE_FALL || tx_edge == EDGE_STEP_FALL) {
    w[SW_TX_LSB_MASK] = (w[SW_TX_LSB_MASK] << 1) & 0xFFFF;
    w[SW_TX_BIT_MASK] >>= 1;
  }
  drive(c, PIN_SCK, true, clock != ((c.crb & CRB_SCKP) != 0));
  // The receiver: R6 and R9 after its sequencing.
  const uint32_t rx_edge = bit_sequence(w, rx_dir, clock, fsl, c.rx_mode);
  if (w[SW_RX_WORD_ENABLE] && rx_edge == EDGE_STEP_FALL && w[SW_RX_SEQUENCER] == 1 &&
      ((normal(c.rx_mode) && w[SW_RX_WORD_FRAMED]) || (network(c.rx_mode) && (w[SW_RX_SLOT_SHIFT] & 1))))
    w[SW_RX_WORD_COMPLETE] = 1;
  if (rx == edge_kind::fall) w[SW_RX_SHIFT] = (w[SW_RX_SHIFT] << 1) | ((block[PIN_LEVEL] & pin(c, PIN_SRD)) ? 1 : 0);
  frame_sync_pins(c);
  set_pin_word(block, PIN_DRIVEN_LEVEL, c.level);
  set_pin_word(block, PIN_DRIVEN, c.driven);
  w[SW_STEP_MARKER] = 0;
  w[SW_TX_EARLY_START] = 0;
  return true;
}

// What every step of an enabled port works with that only its registers,
// stores and snoops change: taken once for the steps of a catch-up.
step_ctx step_frame(int periph, const serial_variant& v) {
  uint32_t* w = periph_words(periph);
  step_ctx c{};
  c.w = w;
  c.v = &v;
  c.periph = periph;
  c.cra = w[v.cra];
  c.crb = w[v.crb];
  c.fsi = (c.crb & CRB_FSI) != 0;
  set_modes(c);
  c.txd = c.rssi ? &rssi_tx_dir : &tx_dir;
  c.rxd = c.rssi ? &rssi_rx_dir : &rx_dir;
  c.base = static_cast<uint32_t>(std::countr_zero(cur_type->periphs[periph].pin_mask));
  c.handed = w[SW_PINS];
  c.bit_steps = !c.rssi && (c.crb & CRB_SCKD) && !(c.crb & CRB_SYN) && (c.tx_mode == MODE_NORMAL || c.tx_mode == MODE_NETWORK) &&
                (c.rx_mode == MODE_NORMAL || c.rx_mode == MODE_NETWORK);
  return c;
}

void enabled_step(step_ctx c);

// One step; `frame` (step_frame's, for an enabled port) saves working
// out the same words again.
void engine_step(int periph, const serial_variant& v, uint32_t phase, const step_ctx* frame = nullptr) {
  uint32_t* w = periph_words(periph);
  w[SW_STEP_DUE] = 0;
  clock_generation(w, v.cra, phase);
  uint32_t& class_word = cur_state->periph_entries[static_cast<std::size_t>(periph)].class_word;
  if (frame == nullptr && !port_enabled(w, v)) {
    if (w[SW_PINS] != 0) release_clock_pins(periph, w[SW_PINS]);
    class_word &= ~1u;
    set_requests(w, w[v.crb], w[v.ssr], false);
    return;
  }
  class_word |= 1;
  if (frame != nullptr && bit_step(*frame)) return;
  enabled_step(frame != nullptr ? *frame : step_frame(periph, v));
}

void enabled_step(step_ctx c) {
  uint32_t* w = c.w;
  const serial_variant& v = *c.v;
  const int periph = c.periph;
  c.ssr = w[v.ssr];
  uint32_t* block = port_c_block();
  c.level = block[PIN_DRIVEN_LEVEL];
  c.driven = block[PIN_DRIVEN];
  c.in_a = pin_level(block, pin(c, PIN_SFS)) != c.fsi;
  c.in_b = pin_level(block, pin(c, PIN_SC1)) != c.fsi;
  c.ext_clock = ((block[PIN_LEVEL] & pin(c, PIN_SCK)) != 0) != ((c.crb & CRB_SCKP) != 0);
  c.rx_bit = (block[PIN_LEVEL] & pin(c, PIN_SRD)) != 0;
  for (int edge : {SW_TX_EDGE, SW_RX_EDGE})
    if (w[edge] != EDGE_NONE) w[edge] |= EDGE_OLD;
  resynchronise(w, SW_TX_RESYNC);
  resynchronise(w, SW_RX_RESYNC);
  const bool sckd = c.crb & CRB_SCKD;
  c.tx_clock = (!sckd && w[SW_TX_RESYNC] == 0) ? c.ext_clock : internal_clock(w);

  if (!w[SW_TX_HOLD]) transmit_sequence(c);
  transmit_outputs(c);
  set_requests(w, c.crb, c.ssr, true);  // T17, with the receive side again in R12

  bool rx_clock = internal_clock(w);
  if (w[SW_RX_RESYNC] == 0) {
    if (c.rssi)
      rx_clock = sckd ? sck_level(c) : c.tx_clock;
    else if (!(c.crb & CRB_SYN))
      rx_clock = sckd ? internal_clock(w) : c.ext_clock;
    else
      rx_clock = sckd ? internal_clock(w) != ((c.crb & CRB_SCKP) != 0) : c.tx_clock;
  }
  if (!w[SW_RX_HOLD]) receive_sequence(c, rx_clock);
  set_requests(w, c.crb, c.ssr, true);  // R12
  frame_sync_pins(c);

  // E1
  if (c.ssr != w[v.ssr]) {
    w[v.ssr] = c.ssr;
    note_written(periph, v.ssr);
  }
  set_pin_word(block, PIN_DRIVEN_LEVEL, c.level);
  set_pin_word(block, PIN_DRIVEN, c.driven);
  w[SW_STEP_MARKER] = 0;
  w[SW_TX_EARLY_START] = 0;
  if (w[SW_TX_RESYNC] == 0 && !c.tx_clock) w[SW_TX_HOLD] = 0;
  if (w[SW_RX_RESYNC] == 0 && !rx_clock) w[SW_RX_HOLD] = 0;
  // The last resynchronisation step comes in the next cycle.
  if (w[SW_TX_RESYNC] == 3 || w[SW_RX_RESYNC] == 3) w[SW_STEP_DUE] = 1;
}

// Whether pin levels the port reads from outside may change from cycle to
// cycle: an external clock or frame sync while input streams that may set
// pins are open.
bool outside_inputs(uint32_t* w, const serial_variant& v, int view) {
  const device_state& st = *cur_state;
  if ((view & PERIPH_STREAMS_WATCH) == 0 || (st.streams[0] == nullptr && st.streams[1] == nullptr)) return false;
  step_ctx c{};
  c.v = &v;
  c.cra = w[v.cra];
  c.crb = w[v.crb];
  set_modes(c);
  // The rssi's receiver follows the transmitter's frame sync.
  if (c.rssi) return !(c.crb & CRB_SCKD) || external(c.tx_mode);
  return !(c.crb & CRB_SCKD) || external(c.tx_mode) || external(c.rx_mode);
}

// Whether nothing sees the port's steps until something observes it (and
// catches it up first): no breakpoint that may see them as they are taken
// (BREAKS_SEE_PERIPHERALS; a list not yet planned may) and no stream that
// may see or set its pins or registers (its own data streams are taken in
// its steps: see word_steps_ahead), no request it can raise (its requests
// are off or have no priority, and none is set), its clock running on its
// own (no resynchronisation), the reset pin not held. Its pins are its
// own; port C's register accesses catch it up. Nothing that decides this
// changes between a catch-up and a step but the port's own stores and
// snoops, which catch it up first, and the streams, whose changes do.
bool steps_unseen(const uint32_t* w, const serial_variant& v, int view) {
  const device_state& st = *cur_state;
  const bool breaks_see = st.breakpoints != nullptr && (st.run_plan_stale != 0 || st.breaks_see_peripherals != 0);
  if (breaks_see || (view & PERIPH_STREAMS_WATCH) != 0 || st.serial_unseen_off != 0) return false;
  if (cur_inst->device_words[DW_RESET_HELD] == 1 || w[SW_TX_RESYNC] != 0 || w[SW_RX_RESYNC] != 0) return false;
  if (w[SW_PRIORITY] != 0 && (w[v.crb] & (CRB_RIE | CRB_TIE))) return false;
  return (w[SW_REQ_RX_EXCEPTION] | w[SW_REQ_RX] | w[SW_REQ_TX_EXCEPTION] | w[SW_REQ_TX]) == 0 &&
         (w[v.crb] & CRB_SCKD) && port_enabled(w, v);
}

// --- Words of a port that takes or gives stream words ---------------------------
//
// An unseen port with its own data streams reads an input word only at a
// sequence fall in its start state with RDF clear (R11), and writes an
// output word only when the transmit bit mask is 0x8000 at a rise (T12):
// T10 sets it at a step rise in the start state, T11 with an early start,
// which T5 clears outside state 0 and only the external frame-sync modes
// set. Those steps are events at their own cycles (what the streams take
// and give, and when: timed lines, the end of an input, the session's
// lines); the steps between them are taken at catch-ups like any unseen
// port's. RDF set stays set until the program reads rx, which catches the
// port up and looks for its next event again, so no input is taken until
// then. A direction's edges follow each other as its previous clock level
// and phase say (rise, fall, rise, ...; a rise in phase 0 is a step rise,
// one in phase 1 a sequence rise), at most one at each step, and a step
// of an unseen port is a toggle of the internal clock: so the count of
// edges until a step that may take or give a word bounds the toggles
// before it from below, whatever holds or a gated clock delay. With an
// internal frame sync in normal or network mode a direction's sequencer
// goes 0, 2 (until a sequence rise finds the step count 0; step falls in
// 2 count it down), 1, 0, ...; 3 goes to 0; a step rise in 0 loads the
// step count of the length latched at the sequence fall before it. In
// other modes states 2 and 1 still advance so, but state 0 may wait for a
// frame sync or start a word early: there each step is an event until the
// direction is back in 2 or 1.

enum word_edge : uint8_t { STEP_RISE_AT_START, SEQUENCE_FALL_AT_START, LEAVING_STATE_1 };

// Edges of one direction up to the first `target` edge (counting it; for
// LEAVING_STATE_1 the sequence rise that leaves state 1 from state 2 or
// 1, else 0), at most `cap`.
uint32_t edges_to(const uint32_t* w, const direction& d, word_edge target, uint32_t cra, uint32_t cap) {
  uint32_t state = w[d.sequencer];
  if (target == LEAVING_STATE_1 ? state != 1 && state != 2 : state > 3) return 0;
  uint32_t count = w[d.step_count];
  uint32_t length = w[d.next_length] & 3;
  bool phase = w[d.phase] != 0, high = w[d.prev_clock] != 0;
  bool step_rise = (w[d.edge] & ~EDGE_OLD) == EDGE_STEP_RISE;
  for (uint32_t n = 1; n <= cap; ++n) {
    if (!high) {
      step_rise = !phase;
      if (step_rise && state == 0) {
        if (target == STEP_RISE_AT_START) return n;
        count = lengths[length].steps;
      } else if (!step_rise) {
        if (state == 1 && target == LEAVING_STATE_1) return n;
        state = state == 0 ? 2 : state == 2 ? (count == 0 ? 1 : 2) : 0;
      }
    } else {
      if (step_rise && state == 2 && count > 0) --count;
      if (!step_rise && state == 0) {
        if (target == SEQUENCE_FALL_AT_START) return n;
        length = (cra >> 13) & 3;
      }
      phase = !phase;
    }
    high = !high;
  }
  return cap;
}

// Toggles up to the first whose step may take or give a word in one
// direction (1: the next), at most `cap`.
uint32_t direction_toggles(const uint32_t* w, const direction& d, uint32_t mode, word_edge target,
                           uint32_t cra, uint32_t cap) {
  if (mode == MODE_NORMAL || mode == MODE_NETWORK) return std::max(edges_to(w, d, target, cra, cap), 1u);
  return edges_to(w, d, LEAVING_STATE_1, cra, cap) + 1;
}

// Whether the port's steps may take or give a stream word before
// something observes it.
bool words_may_pass(const uint32_t* w, const serial_variant& v, int view) {
  return (view & PERIPH_STREAMS_OUT) || ((view & PERIPH_STREAMS_IN) && !(w[v.ssr] & SSR_RDF));
}

// Cycles from now to the first toggle whose step may take or give a
// stream word (0: this cycle), or to a toggle before it; NO_EVENT when
// none may until something observes the port.
uint32_t word_steps_ahead(uint32_t* w, const serial_variant& v, int view) {
  if (!words_may_pass(w, v, view)) return NO_EVENT;
  constexpr uint32_t CAP = 1024;
  step_ctx c{};
  c.v = &v;
  c.cra = w[v.cra];
  c.crb = w[v.crb];
  set_modes(c);
  const bool rssi = v.kind == SERIAL_RSSI;
  uint32_t toggles = CAP;
  if (view & PERIPH_STREAMS_OUT) {
    // The first bit's mask stays until the fall after its rise shifts it.
    const direction& d = rssi ? rssi_tx_dir : tx_dir;
    const bool first_bit = w[SW_TX_BIT_MASK] == 0x8000 &&
                           !(w[d.prev_clock] != 0 && (w[d.edge] & ~EDGE_OLD) == EDGE_STEP_RISE);
    toggles = first_bit ? 1 : direction_toggles(w, d, c.tx_mode, STEP_RISE_AT_START, c.cra, CAP);
  }
  if ((view & PERIPH_STREAMS_IN) && !(w[v.ssr] & SSR_RDF))
    toggles = std::min(toggles, direction_toggles(w, rssi ? rssi_rx_dir : rx_dir, c.rx_mode,
                                                  SEQUENCE_FALL_AT_START, c.cra, toggles));
  const uint32_t now = device_time();
  const uint32_t period = 2 * prescale_ticks(w, v.cra) * modulus_ticks(w, v.cra);
  return first_phase_one(now, now, cycle_phase()) + 2 * (ticks_to_toggle(w, v.cra) - 1) + (toggles - 1) * period -
         now;
}

}  // namespace

namespace {

// --- Repeats of an unseen port --------------------------------------------------
//
// A step depends on the port's words (but its bookkeeping) and the levels
// of its pins alone, and an unseen port's steps are all toggles (phase 1),
// so once its state before a step comes back, the steps from there repeat
// with the same cycles between them, the same register notes and the same
// state. A catch-up that finds the state it keeps (`start`) skips the whole
// repeats that end before the current cycle: the dividers and words are as
// they were, the notes are made again in order. Until a repeat is found the
// state before one step is kept and the steps after it are recorded (their
// cycles and notes); another step's state is kept after REPEAT_MAX_STEPS.
// The first step of a catch-up is not kept: the clock word still shows the
// update before it (SW_CLOCK), which the steps between updates never do.
// Anything that changes the port between catch-ups (a step at an event, a
// store, a snoop) ends the recording; a repeat once found stays true.

using serial_repeat = device_state::serial_repeat;
constexpr uint32_t REPEAT_MAX_STEPS = 4096;
static_assert(SW_UPDATED + 3 == device_state::SERIAL_REPEAT_WORDS);
using repeat_words = std::array<uint32_t, device_state::SERIAL_REPEAT_WORDS>;

serial_repeat* repeat_of(int periph) {
  for (serial_repeat& r : cur_state->serial_repeats)
    if (r.row == periph) return &r;
  for (serial_repeat& r : cur_state->serial_repeats)
    if (r.row < 0) {
      r.row = periph;
      return &r;
    }
  return nullptr;
}

// The streams' view of the port, kept from one plan to the next (every
// change of the streams makes the plan stale).
int stream_view(int periph, serial_repeat* r) {
  const device_state& st = *cur_state;
  if (r == nullptr || st.run_plan_stale != 0) return periph_stream_view(periph);
  if (r->view_epoch != st.plan_epoch) {
    r->view = periph_stream_view(periph);
    r->view_epoch = st.plan_epoch;
  }
  return r->view;
}

repeat_words repeat_state(int periph, const uint32_t* w) {
  repeat_words out{};
  std::copy(w, w + SW_UPDATED, out.begin());
  const uint32_t mask = cur_type->periphs[periph].pin_mask;
  const uint32_t* block = port_c_block();
  out[SW_UPDATED] = block[PIN_LEVEL] & mask;
  out[SW_UPDATED + 1] = block[PIN_DRIVEN_LEVEL] & mask;
  out[SW_UPDATED + 2] = block[PIN_DRIVEN] & mask;
  return out;
}

void keep_start(serial_repeat& r, const repeat_words& state, uint32_t toggle) {
  r.armed = true;
  r.start = state;
  r.steps = 0;
  r.cycles = 0;
  r.last_toggle = toggle;
  r.notes.clear();
}

// Before the step at `toggle`: looks for the repeat, and skips the whole
// repeats that end before `now`. Returns the cycle of the step to take.
uint32_t before_unseen_step(int periph, serial_repeat& r, const uint32_t* w, uint32_t toggle, uint32_t now,
                            bool first) {
  const repeat_words state = repeat_state(periph, w);
  if (!r.found && !r.armed) {
    if (!first) keep_start(r, state, toggle);
    return toggle;
  }
  if (state != r.start) {
    if (!r.found && !first && r.steps >= REPEAT_MAX_STEPS) keep_start(r, state, toggle);
    return toggle;
  }
  if (!r.found) {
    r.cycles += toggle - r.last_toggle;
    if (r.steps == 0 || r.cycles == 0) return toggle;
    r.found = true;
    r.armed = false;
  }
  const uint32_t repeats = (now - toggle - 1) / r.cycles;
  for (uint32_t k = 0; k < repeats; ++k)
    for (uint8_t reg : r.notes) mark_register_written(periph, reg);
  cur_state->serial_repeated_steps += repeats * r.steps;
  return toggle + repeats * r.cycles;
}

// The step at `toggle`, recorded while a repeat is looked for.
void unseen_step(int periph, const serial_variant& v, serial_repeat* r, uint32_t toggle, const step_ctx* frame) {
  ++cur_state->serial_unseen_steps;
  if (r == nullptr || r->found || !r->armed) {
    engine_step(periph, v, 1, frame);
    return;
  }
  r->steps += 1;
  r->cycles += toggle - r->last_toggle;
  r->last_toggle = toggle;
  noted_registers = &r->notes;
  engine_step(periph, v, 1, frame);
  noted_registers = nullptr;
}

// The end of an update: whether the steps from here on are unseen, and the
// state a recording goes on from.
void end_update(int periph, serial_repeat* r, const uint32_t* w, const serial_variant& v, int view) {
  if (r == nullptr) return;
  r->unseen = steps_unseen(w, v, view);
  if (r->armed) r->end = repeat_state(periph, w);
}

}  // namespace

// The toggles of an unseen port's internal clock in the elapsed cycles are
// its steps, taken here in order (whole repeats at once, unless the port
// takes or gives stream words: a step that may is an event, so none falls
// in a repeat); the dividers run in one go between them. Unseen: as of the
// last update, or now.
void serial_catch_up(int periph, const serial_variant& v) {
  uint32_t* w = periph_words(periph);
  serial_repeat* r = repeat_of(periph);
  const uint32_t now = device_time();
  uint32_t from = w[SW_UPDATED];
  // An observer inside its own step finds it one cycle past now.
  if (now + 1 == from) return;
  w[SW_UPDATED] = now;
  if (now <= from) {
    if (r != nullptr) r->armed = false;
    return;
  }
  if (cur_inst->device_words[DW_STOP_LATCH]) return;
  const int view = stream_view(periph, r);
  // Changed since the last update by something other than its steps.
  const bool words = words_may_pass(w, v, view);
  if (r != nullptr && r->armed && (words || repeat_state(periph, w) != r->end)) r->armed = false;
  const uint32_t phase = cycle_phase();
  if ((r != nullptr && r->unseen) || steps_unseen(w, v, view)) {
    serial_repeat* repeat = cur_state->serial_repeats_off != 0 || words ? nullptr : r;
    const uint32_t last_update = from;
    std::optional<step_ctx> frame;
    if (port_enabled(w, v)) frame = step_frame(periph, v);
    for (;;) {
      const uint32_t first = first_phase_one(from, now, phase);
      if (first >= now) {
        end_update(periph, r, w, v, view);
        return;
      }
      const uint32_t toggle = first + 2 * (ticks_to_toggle(w, v.cra) - 1);
      if (toggle >= now) break;
      run_dividers(w, v.cra, (toggle - first) / 2);
      const uint32_t at =
          repeat != nullptr ? before_unseen_step(periph, *repeat, w, toggle, now, from == last_update) : toggle;
      unseen_step(periph, v, repeat, at, frame ? &*frame : nullptr);
      from = at + 1;
    }
  }
  const uint32_t first = first_phase_one(from, now, phase);
  if (first < now) {
    run_dividers(w, v.cra, (now - first + 1) / 2);
    w[SW_CLOCK] |= 2;
  }
  end_update(periph, r, w, v, view);
}

void serial_clock(int periph, const serial_variant& v) {
  serial_catch_up(periph, v);
  uint32_t* w = periph_words(periph);
  w[SW_UPDATED] = device_time() + 1;
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  if (dw[DW_STOP_LATCH] || dw[DW_RESET_HELD] == 1) return;
  engine_step(periph, v, cycle_phase());
  serial_repeat* r = repeat_of(periph);
  if (r != nullptr) r->armed = r->word_known = false;
  end_update(periph, r, w, v, stream_view(periph, r));
}

// Steps are due at a register or pin change, at every toggle of the
// internal clock while the port uses it (an unseen port: at the toggles
// whose steps may take or give its stream words), and every cycle while
// outside pins may change.
uint32_t serial_next_event(int periph, const serial_variant& v) {
  uint32_t* w = periph_words(periph);
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  serial_repeat* r = repeat_of(periph);
  const int view = stream_view(periph, r);
  // Still unseen: the steps wait for whatever looks at the port (the
  // count must not wrap meanwhile).
  // Its next word step stays where it was worked out until an event or a
  // change of the port (which asks for a step first) or of the streams.
  const uint32_t now = device_time();
  if (r != nullptr && r->unseen && !w[SW_STEP_DUE] && !dw[DW_STOP_LATCH] && now - w[SW_UPDATED] < (1u << 30) &&
      steps_unseen(w, v, view)) {
    if (!words_may_pass(w, v, view)) return NO_EVENT;
    if (r->word_known && r->word_view == view && r->word_at - now < (1u << 30)) return r->word_at - now;
  }
  serial_catch_up(periph, v);
  if (dw[DW_STOP_LATCH]) return NO_EVENT;
  if (w[SW_STEP_DUE]) return 0;
  if (!port_enabled(w, v)) return NO_EVENT;
  if (outside_inputs(w, v, view)) return 0;
  if (steps_unseen(w, v, view)) {
    const uint32_t ahead = word_steps_ahead(w, v, view);
    if (r != nullptr) {
      r->word_known = ahead != NO_EVENT;
      r->word_view = view;
      r->word_at = now + ahead;
    }
    return ahead;
  }
  const bool uses_internal = (w[v.crb] & CRB_SCKD) || w[SW_TX_RESYNC] != 0 || w[SW_RX_RESYNC] != 0;
  if (!uses_internal) return NO_EVENT;
  const uint32_t ticks = ticks_to_toggle(w, v.cra);
  return first_phase_one(now, now, cycle_phase()) + 2 * (ticks - 1) - now;
}

void serial_status_read(int periph, const serial_variant& v, int reg) {
  uint32_t* w = periph_words(periph);
  if (!port_enabled(w, v)) return;
  if (reg == v.ssr) {
    w[SW_ROE_SEEN] = (w[v.ssr] & SSR_ROE) ? 1 : 0;
    w[SW_TUE_SEEN] = (w[v.ssr] & SSR_TUE) ? 1 : 0;
    return;
  }
  if (reg != v.rx) return;
  uint32_t ssr = w[v.ssr] & ~SSR_RDF;
  if (w[SW_ROE_SEEN]) ssr &= ~SSR_ROE;
  w[SW_ROE_SEEN] = 0;
  if (ssr != w[v.ssr]) {
    w[v.ssr] = ssr;
    mark_register_written(periph, v.ssr);
    serial_step_due(w);
  }
}

int serial_input_word(const char* text, stream_value* out) {
  if (std::strcmp(text, "idle") != 0 && std::strcmp(text, "IDLE") != 0) return 0;
  out->integer = -2;
  out->real = 0.0;
  out->flags = SV_IDLE;
  return 1;
}

int serial_output_word(const stream_value& value, char* text, std::size_t size) {
  if (value.integer != -2) return 0;
  std::snprintf(text, size, "IDLE");
  return 1;
}
