// The transmitter's and receiver's sequencing in one step of a serial
// port (T1-T16, R1-R12): each direction's edges and phases, its word
// sequencer, its frame sync, the loads at a word's start and, for the
// receiver, the word received into rx. The step around them, its clock
// and its pins are serial_engine.cpp's.
#include <cstdint>

#include "sim/engine/device/current_device.h"
#include "sim/engine/periph/g711.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"
#include "sim/engine/periph/serial_internal.h"

namespace serial_engine {

// --- Edges, phases and the word sequencer, alike in both directions -----------

// T1/R1 and T2: the edge of this step and the edge code of a rise.
edges find_edges(uint32_t* w, const direction& d, bool clock, bool fsl) {
  edges e;
  const bool prev = w[d.prev_clock] != 0;
  e.rising = clock && !prev;
  e.falling = !clock && prev;
  w[d.prev_clock] = clock ? 1 : 0;
  if (e.rising) {
    w[d.edge] = w[d.phase] == 0 ? EDGE_STEP_RISE : EDGE_SEQUENCE_RISE;
    if (fsl) w[d.frame_start] = w[d.bit_sync];
  }
  return e;
}

// T4/R3: a fall's edge code and the phase; a direction waiting for an
// external frame sync stays in phase 0.
void fall_phase(uint32_t* w, const direction& d, uint32_t mode) {
  w[d.edge] = (w[d.edge] & ~EDGE_OLD) == EDGE_STEP_RISE ? EDGE_STEP_FALL : EDGE_SEQUENCE_FALL;
  if (w[d.phase] == 1) {
    w[d.phase] = 0;
  } else if (!(w[d.sequencer] == 0 && external(mode) && !w[d.frame_start] && w[d.last_word])) {
    w[d.phase] = 1;
  }
}

// T6/R4: the sequencer at a sequence rise.
// With the gated clock and no frame sync words follow each other through
// state 3.
void advance(uint32_t* w, const direction& d, uint32_t mode, bool on_demand_go) {
  uint32_t& s = w[d.sequencer];
  const bool gated = mode == MODE_GATED;
  switch (s) {
    case 0: s = 2; break;
    case 2: if (w[d.step_count] == 0) s = 1; break;
    case 1: s = gated ? 3 : mode == MODE_ON_DEMAND ? 4 : 0; break;
    case 3: s = gated ? 2 : mode == MODE_ON_DEMAND ? 4 : 0; break;
    case 4: if (on_demand_go) s = 0; break;
    default: s = 0; break;
  }
}

// At a step rise in state 0: the word's length and steps, and at a frame
// start its word counter and slot shift.
void word_start_loads(uint32_t* w, const direction& d) {
  w[d.word_length] = w[d.next_length] & 3;
  w[d.step_count] = lengths[w[d.word_length]].steps;
  if (w[d.last_word]) {
    w[d.word_counter] = w[d.frame_rate] + 1;
    if (d.slot_latch != NONE) w[d.slot_shift] = w[d.slot_latch];
  }
}

// At a step fall: the counts of states 2 and 1.
void fall_counts(uint32_t* w, const direction& d, uint32_t mode) {
  if (w[d.sequencer] == 2) {
    if (w[d.step_count] > 0) --w[d.step_count];
  } else if (w[d.sequencer] == 1) {
    if (w[d.word_counter] > 0) --w[d.word_counter];
    w[d.slot_shift] >>= 1;
    w[d.last_word] =
        (w[d.word_counter] == 0 || mode == MODE_ON_DEMAND || mode == MODE_GATED) ? 1 : 0;
    if (w[d.last_word] && d.pending != NONE) w[d.pending] = 1;
  }
}

// T7/R5: the internal frame sync.
void internal_frame_sync(uint32_t* w, const direction& d, uint32_t edge, bool fsl) {
  if (w[d.sequencer] == 0) {
    if (edge == EDGE_SEQUENCE_RISE && fsl && w[d.last_word]) w[d.internal_fs] = 1;
    if (edge == EDGE_STEP_RISE) w[d.internal_fs] = (w[d.last_word] && !fsl) ? 1 : 0;
  } else if (w[d.sequencer] == 4) {
    w[d.internal_fs] = 0;
  }
}

// The rssi's internal frame sync, shaped by FSL and ELFS: ELFS starts it
// in the last bit period of the word before the frame, FSL ends it after
// one bit period.
void rssi_internal_frame_sync(uint32_t* w, uint32_t edge, bool fsl, bool elfs) {
  uint32_t& fs = w[SW_TX_INTERNAL_FS];
  const uint32_t state = w[SW_TX_SEQUENCER];
  if (state == 0) {
    if (edge == EDGE_SEQUENCE_RISE && elfs) fs = w[SW_TX_LAST_WORD];
    if (edge == EDGE_STEP_RISE) fs = w[SW_TX_LAST_WORD] ? !(fsl && elfs) : 0;
  } else if (state == 2 && edge == EDGE_SEQUENCE_RISE && fsl && !elfs) {
    fs = 0;
  }
}

// T8, R2 and R5: the frame-sync level and the frame start. With FSL clear
// an external rise was already taken (T3) when `taken` is set.
void frame_sync(uint32_t* w, const direction& d, bool level, const edges& e, uint32_t edge, bool fsl,
                bool taken, bool internal) {
  w[d.fs_level] = level ? 1 : 0;
  // An internal frame sync that stays high over frames of one word (FSL
  // clear) still starts each of them.
  const bool again = internal && edge == EDGE_STEP_RISE && w[d.sequencer] == 0 && w[d.last_word] &&
                     w[d.internal_fs] && level;
  if (!taken && level && !fsl && (!w[d.prev_fs] || again)) {
    w[d.frame_start] = 1;
    w[d.prev_fs] = 1;
  }
  if (e.falling) {
    if (fsl && level && !w[d.prev_fs]) w[d.bit_sync] = 1;
    w[d.prev_fs] = level ? 1 : 0;
  }
  if (edge == EDGE_SEQUENCE_RISE) {
    w[d.bit_sync] = 0;
    w[d.frame_start] = 0;
  }
}

bool slot_open(const step_ctx& c, uint32_t mode) {
  return c.rssi || !network(mode) || (c.w[SW_TX_SLOT_SHIFT] & 1);
}

// The frame rate divider as loaded: the rssi's is three bits, and a
// network frame has at least two words.
uint32_t frame_rate(const step_ctx& c, uint32_t mode) {
  if (!c.rssi) return (c.cra >> 8) & 0x1F;
  const uint32_t dc = (c.cra >> 8) & 7;
  return (dc == 0 && network(mode)) ? 1 : dc;
}

// --- The transmitter ------------------------------------------------------------

void load_transmit(step_ctx& c) {
  uint32_t* w = c.w;
  w[SW_TX_TDE_AT_LOAD] = (c.ssr & SSR_TDE) ? 1 : 0;
  if (c.rssi)
    w[SW_TX_WORD_ENABLE] = (c.crb & CRB_TE) ? 1 : 0;
  else if (w[SW_TX_LAST_WORD])
    w[SW_TX_FRAME_ENABLE] = (c.crb & CRB_TE) ? 1 : 0;
  if (!c.rssi) w[SW_TX_WORD_ENABLE] = w[SW_TX_FRAME_ENABLE];
  w[SW_TX_NEXT_LENGTH] = (c.cra >> 13) & 3;
  w[SW_TX_FRAME_RATE] = frame_rate(c, c.tx_mode);
  if (!c.rssi) w[SW_TX_SLOT_LATCH] = (w[SSI_TMH] << 16) | w[SSI_TML];
  uint32_t data = w[c.v->tx] & 0xFFFF;
  if (w[SW_TX_NEXT_LENGTH] == 1 && !c.rssi) {
    const auto linear = static_cast<int16_t>(data);
    data = uint32_t{(c.crb & CRB_AMU) ? linear_to_ulaw(linear) : linear_to_alaw(linear)} << 8;
  }
  w[SW_TX_DATA] = data;
  w[SW_TX_SKIP_LATCH] = w[SW_TX_SKIP_REQUEST];
  if (c.rssi) return;
  w[SW_OF0_LATCH] = c.crb & 1;
  w[SW_OF1_LATCH] = (c.crb >> 1) & 1;
}

void send_decision(step_ctx& c) {
  uint32_t* w = c.w;
  const uint32_t mode = c.tx_mode;
  uint32_t& sending = w[SW_TX_TRANSMITTING];
  if (mode == MODE_GATED) {  // a port still sending keeps driving std, low
    const bool go = w[SW_TX_WORD_ENABLE] && !w[SW_TX_SKIP_LATCH];
    if (go) sending = 1;
    w[SW_TX_BIT_MASK] = go ? 0x8000 : 0;
    return;
  }
  if (!w[SW_TX_WORD_ENABLE] || w[SW_TX_SKIP_LATCH] || (normal(mode) && !w[SW_TX_LAST_WORD])) {
    sending = 0;
  } else if (!w[SW_TX_LAST_WORD]) {
    sending = 1;
  } else {
    sending = external(mode) ? w[SW_TX_FRAME_START] : 1;
  }
  if (!slot_open(c, mode)) sending = 0;
  w[SW_TX_BIT_MASK] = sending ? 0x8000 : 0;
}

// T1-T11: the transmitter's sequencing.
void transmit_sequence(step_ctx& c) {
  uint32_t* w = c.w;
  const uint32_t mode = c.tx_mode;
  const bool fsl = c.crb & CRB_FSL;
  const bool elfs = c.elfs;
  const direction& d = *c.txd;
  const edges e = find_edges(w, d, c.tx_clock, elfs);
  bool taken = false;
  if (!elfs && external(mode)) {  // T3, in every step
    w[SW_TX_FS_LEVEL] = c.in_a ? 1 : 0;
    if (c.in_a && !w[SW_TX_PREV_FS]) {
      w[SW_TX_FRAME_START] = 1;
      w[SW_TX_EARLY_START] = 1;
      w[SW_TX_PREV_FS] = 1;
    }
    taken = true;
  }
  if (e.falling) {
    fall_phase(w, d, mode);
    if (edge_now(w[SW_TX_EDGE]) == EDGE_STEP_FALL) fall_counts(w, d, mode);
  }
  const uint32_t edge = edge_now(w[SW_TX_EDGE]);
  const uint32_t any_edge = w[SW_TX_EDGE] & ~EDGE_OLD;
  // T5
  if (!(w[SW_TX_SEQUENCER] == 0 && (mode == MODE_EXT_NORMAL || w[SW_TX_LAST_WORD]) &&
        !(w[SW_TX_SKIP_LATCH] && mode == MODE_ON_DEMAND) && w[SW_TX_WORD_ENABLE] &&
        (any_edge == EDGE_STEP_RISE || edge == EDGE_STEP_FALL)))
    w[SW_TX_EARLY_START] = 0;
  if (edge == EDGE_SEQUENCE_RISE)
    advance(w, d, mode, !w[SW_TX_TDE_AT_LOAD] && w[SW_TX_WORD_ENABLE]);
  if (c.rssi)
    rssi_internal_frame_sync(w, edge, fsl, elfs);
  else
    internal_frame_sync(w, d, edge, fsl);
  if (external(mode)) {
    // The rssi's bit-long sampling also starts the word early.
    if (c.rssi && elfs && e.falling && c.in_a && !w[SW_TX_PREV_FS]) w[SW_TX_EARLY_START] = 1;
    frame_sync(w, d, c.in_a, e, edge, elfs, taken, false);
  } else {
    frame_sync(w, d, w[SW_TX_INTERNAL_FS] != 0, e, edge, elfs, false, true);
  }
  const uint32_t state = w[SW_TX_SEQUENCER];
  // T9
  if ((edge == EDGE_SEQUENCE_FALL && (state == c.start || state == 4)) ||
      (edge == EDGE_STEP_FALL && external(mode) && state == 0 && w[SW_TX_LAST_WORD] &&
       !w[SW_TX_FRAME_START]))
    load_transmit(c);
  // The rssi's gated clock runs for the first word of a frame when it is sent.
  if (c.rssi) {
    if (!(c.crb & CRB_GCK))
      w[SW_GATED_LATCH] = 1;
    else if (edge == EDGE_SEQUENCE_FALL && state == 0 &&
             ((w[SW_TX_LAST_WORD] && w[SW_TX_WORD_ENABLE]) || mode != MODE_GATED))
      w[SW_GATED_LATCH] = w[SW_TX_LAST_WORD] && w[SW_TX_WORD_ENABLE];
  }
  // T10
  if (edge == EDGE_STEP_RISE && state == c.start) {
    word_start_loads(w, d);
    send_decision(c);
  } else if (edge == EDGE_STEP_RISE && state == 4) {
    w[SW_TX_TRANSMITTING] = 0;
    w[SW_TX_BIT_MASK] = 0;
  }
  // T11
  if (w[SW_TX_EARLY_START] && !w[SW_TX_SKIP_LATCH] && slot_open(c, mode)) {
    w[SW_TX_TRANSMITTING] = 1;
    w[SW_TX_BIT_MASK] = 0x8000;
  }
}

// The level T16 drives on sck; the rssi's gated clock rests inactive.
bool sck_level(const step_ctx& c) {
  const bool running = internal_clock(c.w) && (!c.rssi || c.w[SW_GATED_LATCH]);
  return running != ((c.crb & CRB_SCKP) != 0);
}

// T12-T16, held or not.
void transmit_outputs(step_ctx& c) {
  uint32_t* w = c.w;
  const uint32_t mode = c.tx_mode;
  const uint32_t edge = edge_now(w[SW_TX_EDGE]);
  const uint32_t state = w[SW_TX_SEQUENCER];
  const length_row& len = lengths[w[SW_TX_WORD_LENGTH] & 3];
  // T12
  if (!w[SW_TX_TRANSMITTING]) {
    drive(c, PIN_STD, false, false);
  } else if (edge == EDGE_STEP_RISE || edge == EDGE_SEQUENCE_RISE || w[SW_TX_EARLY_START]) {
    if (w[SW_TX_BIT_MASK] == 0x8000) {
      w[SW_TX_WORD] = (w[SW_TX_DATA] & len.left_mask) >> len.shift;
      w[SW_TX_LSB_MASK] = len.first_lsb;
      write_peripheral_output(c.periph, static_cast<int32_t>(w[SW_TX_WORD]), 0);
    }
    const uint32_t mask = (c.crb & CRB_SHFD) ? w[SW_TX_LSB_MASK] : w[SW_TX_BIT_MASK];
    drive(c, PIN_STD, true, (w[SW_TX_DATA] & mask) != 0);
  }
  // T13
  if ((edge == EDGE_SEQUENCE_FALL && (state == 1 || state == 2)) || edge == EDGE_STEP_FALL) {
    w[SW_TX_LSB_MASK] = (w[SW_TX_LSB_MASK] << 1) & 0xFFFF;
    w[SW_TX_BIT_MASK] >>= 1;
  }
  if (slot_open(c, mode)) {
    // T14
    if (edge == EDGE_STEP_FALL && state == c.start && w[SW_TX_WORD_ENABLE] &&
        !(normal(mode) && !w[SW_TX_LAST_WORD]) &&
        !(external(mode) && w[SW_TX_LAST_WORD] && !w[SW_TX_FRAME_START])) {
      bool tfs;
      uint32_t flag = SSR_TFS;
      if (c.rssi) {
        tfs = w[SW_TX_LAST_WORD] != 0;
        flag = SSR_TRFS;
      } else if (c.v->kind == SERIAL_547) {
        tfs = w[SW_TFS_PENDING] != 0;
        w[SW_TFS_PENDING] = 0;
      } else {
        tfs = w[SW_TX_LAST_WORD] != 0;
        if (tfs) w[SW_TFS_PENDING] = 0;
      }
      c.ssr = tfs ? c.ssr | flag : c.ssr & ~flag;
      if (w[SW_TX_TDE_AT_LOAD]) c.ssr |= SSR_TUE;
      c.ssr |= SSR_TDE;
      w[SW_TX_SKIP_REQUEST] = 0;
      w[SW_TX_SKIP_LATCH] = 0;
    }
    // T15
    if (c.flag_mode && (c.crb & CRB_SYN) && edge == EDGE_STEP_RISE && state == 0 &&
        (w[SW_TX_LAST_WORD] || network(mode))) {
      drive(c, PIN_SFS, c.fsd0 != 0, (w[SW_OF0_LATCH] != 0) != c.fsi);
      drive(c, PIN_SC1, c.fsd1 != 0, (w[SW_OF1_LATCH] != 0) != c.fsi);
    }
  }
  // T16
  drive(c, PIN_SCK, (c.crb & CRB_SCKD) != 0, sck_level(c));
}

// --- The receiver ---------------------------------------------------------------

// The received word as rx shows it.
uint32_t received_word(const step_ctx& c, uint32_t shift) {
  if (shift == SERIAL_IDLE) return 0;
  const uint32_t wl = c.w[SW_RX_WORD_LENGTH] & 3;
  const length_row& len = lengths[wl];
  uint32_t word = (shift & len.right_mask) << len.shift;
  if (c.crb & CRB_SHFD) {
    uint32_t reversed = 0;
    for (uint32_t i = 0, from = 0x8000, to = len.first_lsb; i < len.bits; ++i, from >>= 1, to <<= 1)
      if (word & from) reversed |= to;
    word = reversed;
  }
  if (wl == 1 && c.v->kind != SERIAL_RSSI) {
    const auto code = static_cast<uint8_t>(word >> 8);
    word = static_cast<uint16_t>((c.crb & CRB_AMU) ? ulaw_to_linear(code) : alaw_to_linear(code));
  }
  return word;
}

// R11: the end of a received word.
void word_received(step_ctx& c) {
  uint32_t* w = c.w;
  bool rfs;
  if (c.rssi) {
    rfs = w[SW_RX_WORD_FRAMED] || c.rx_mode == MODE_GATED;
  } else if (c.v->kind == SERIAL_547) {
    rfs = w[SW_RFS_PENDING] != 0;
    w[SW_RFS_PENDING] = 0;
  } else {
    rfs = w[SW_RX_WORD_FRAMED] != 0;
    if (rfs) w[SW_RFS_PENDING] = 0;
  }
  c.ssr = rfs ? c.ssr | SSR_RFS : c.ssr & ~SSR_RFS;
  if (c.ssr & SSR_RDF) {
    c.ssr |= SSR_ROE;
  } else {
    c.ssr = (c.ssr & ~3u) | (w[SW_IF1_LATCH] << 1) | w[SW_IF0_LATCH] | SSR_RDF;
    stream_value in;
    if (read_untimed_input(c.periph, &in) || read_timed_input(c.periph, &in)) {
      w[SW_RX_SHIFT] = (in.flags & SV_IDLE) ? SERIAL_IDLE : static_cast<uint32_t>(in.integer);
      w[SW_LAST_INPUT] = w[SW_RX_SHIFT];
    }
    w[c.v->rx] = received_word(c, w[SW_RX_SHIFT]);
    note_written(c.periph, c.v->rx);
  }
  w[SW_RX_WORD_FRAMED] = 0;
  w[SW_RX_WORD_COMPLETE] = 0;
}

void latch_receive(step_ctx& c) {
  uint32_t* w = c.w;
  w[SW_RX_NEXT_LENGTH] = (c.cra >> 13) & 3;
  w[SW_RX_FRAME_RATE] = frame_rate(c, c.rx_mode);
  if (c.rssi) {
    w[SW_RX_WORD_ENABLE] = (c.crb & CRB_RE) ? 1 : 0;
    return;
  }
  if (w[SW_RX_LAST_WORD]) w[SW_RX_FRAME_ENABLE] = (c.crb & CRB_RE) ? 1 : 0;
  w[SW_RX_WORD_ENABLE] = w[SW_RX_FRAME_ENABLE];
  w[SW_RX_SLOT_LATCH] = (w[SSI_RMH] << 16) | w[SSI_RML];
}

// R1-R11.
void receive_sequence(step_ctx& c, bool clock) {
  uint32_t* w = c.w;
  const uint32_t mode = c.rx_mode;
  const bool fsl = c.crb & CRB_FSL;
  // The rssi's receiver always takes the transmitter's frame sync.
  const bool syn = c.rssi || (c.crb & CRB_SYN);
  const direction& d = *c.rxd;
  const edges e = find_edges(w, d, clock, c.elfs);
  // R2 (with SYN set it follows the transmitter), R3, R4, R5
  if (e.falling) {
    fall_phase(w, d, mode);
    if (edge_now(w[SW_RX_EDGE]) == EDGE_STEP_FALL) fall_counts(w, d, mode);
  }
  const uint32_t edge = edge_now(w[SW_RX_EDGE]);
  if (edge == EDGE_SEQUENCE_RISE) advance(w, d, mode, false);
  if (!c.rssi) internal_frame_sync(w, d, edge, fsl);
  if (syn) {
    w[SW_RX_FS_LEVEL] = w[SW_TX_FS_LEVEL];
    w[SW_RX_PREV_FS] = w[SW_TX_PREV_FS];
    if (c.elfs)
      w[SW_RX_BIT_SYNC] = w[c.txd->bit_sync];
    else
      w[SW_RX_FRAME_START] = w[SW_TX_FRAME_START];
  } else {
    const bool outside = external(mode);
    frame_sync(w, d, outside ? c.in_b : w[SW_RX_INTERNAL_FS] != 0, e, edge, fsl, false, !outside);
  }
  const uint32_t state = w[SW_RX_SEQUENCER];
  // R6
  if (w[SW_RX_WORD_ENABLE] && edge == EDGE_STEP_FALL) {
    if (state == 0 && w[SW_RX_LAST_WORD] && w[SW_RX_FRAME_START]) w[SW_RX_WORD_FRAMED] = 1;
    const bool complete =
        c.rssi ? network(mode) || w[SW_RX_WORD_FRAMED] || mode == MODE_GATED
               : (normal(mode) && w[SW_RX_WORD_FRAMED]) ||
                     (network(mode) && (w[SW_RX_SLOT_SHIFT] & 1));
    if (state == 1 && complete) w[SW_RX_WORD_COMPLETE] = 1;
  }
  // R7
  if ((edge == EDGE_SEQUENCE_FALL && state == c.start) ||
      (edge == EDGE_STEP_FALL && external(mode) && state == 0 && w[SW_RX_LAST_WORD] &&
       !w[SW_RX_FRAME_START]))
    latch_receive(c);
  // R8: the loads (the counts went with the fall)
  if (edge == EDGE_STEP_RISE && state == c.start) word_start_loads(w, d);
  // R9
  if (e.falling) w[SW_RX_SHIFT] = (w[SW_RX_SHIFT] << 1) | (c.rx_bit ? 1 : 0);
  // R10
  if (edge == EDGE_STEP_FALL && state == 0) {
    w[SW_IF0_LATCH] = c.sample_flags && c.in_a ? 1 : 0;
    w[SW_IF1_LATCH] = c.sample_flags && c.in_b ? 1 : 0;
  }
  // R11
  if (edge == EDGE_SEQUENCE_FALL && state == c.start && w[SW_RX_WORD_COMPLETE]) word_received(c);
}

}  // namespace serial_engine
