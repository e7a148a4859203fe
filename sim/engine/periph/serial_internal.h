// What the serial engine's two files share (serial_engine.cpp: the step,
// its clock and pins, catch-ups and repeats; serial_sequencer.cpp: the
// transmitter's and receiver's sequencing): the register bits, the
// frame-sync modes, a direction's words and the context of one step.
// Private to those two files.
#pragma once

#include <cstdint>

#include "sim/engine/periph/periph_serial.h"

namespace serial_engine {

// cra and crb bits. On "73521" FSD stands for both frame-sync directions
// and bit 2 is FLG; on "73547" bits 4 and 2 are FSD1 and FSD0.
constexpr uint32_t CRA_PSR = 0x8000;
constexpr uint32_t CRB_RIE = 0x8000, CRB_TIE = 0x4000, CRB_RE = 0x2000, CRB_TE = 0x1000,
                   CRB_MOD = 0x800, CRB_SYN = 0x400, CRB_FSI = 0x200, CRB_FSL = 0x100,
                   CRB_SHFD = 0x80, CRB_SCKP = 0x40, CRB_SCKD = 0x20, CRB_FSD1 = 0x10,
                   CRB_AMU = 0x8, CRB_FSD0 = 0x4;
constexpr uint32_t SSR_RDF = 0x80, SSR_ROE = 0x20, SSR_TUE = 0x10, SSR_RFS = 0x8,
                   SSR_TFS = 0x4;
// The rssi's own crb bits and its combined frame sync flag (where the ssi
// has RFS).
constexpr uint32_t CRB_SSIEN = 0x400, CRB_GCK = 0x8, CRB_ELFS = 0x4;
constexpr uint32_t SSR_TRFS = SSR_RFS;

// Pins by weight above the port's lowest pin.
constexpr uint32_t PIN_STD = 1, PIN_SRD = 2, PIN_SCK = 4, PIN_SC1 = 8, PIN_SFS = 16;

// By word length WL.
struct length_row {
  uint32_t steps, left_mask, right_mask, shift, first_lsb, bits;
};
constexpr length_row lengths[4] = {
    {2, 0xFF00, 0x00FF, 8, 0x0100, 8},
    {2, 0xFF00, 0x00FF, 8, 0x0100, 8},
    {4, 0xFFF0, 0x0FFF, 4, 0x0010, 12},
    {6, 0xFFFF, 0xFFFF, 0, 0x0001, 16},
};

// Frame-sync modes.
// MODE_GATED is the rssi's gated clock without frame sync, where every
// word is a frame of its own; its gated modes with frame sync run as
// MODE_NORMAL and MODE_NETWORK.
enum : uint32_t { MODE_NORMAL = 1, MODE_NETWORK = 2, MODE_EXT_NORMAL = 3, MODE_EXT_NETWORK = 4,
                  MODE_GATED = 5, MODE_ON_DEMAND = 7 };
inline bool external(uint32_t mode) { return mode == MODE_EXT_NORMAL || mode == MODE_EXT_NETWORK; }
inline bool network(uint32_t mode) { return mode == MODE_NETWORK || mode == MODE_EXT_NETWORK; }
inline bool normal(uint32_t mode) { return mode == MODE_NORMAL || mode == MODE_EXT_NORMAL; }

inline uint32_t edge_now(uint32_t code) { return (code & EDGE_OLD) ? EDGE_NONE : code; }

struct direction;

// What one step works with: the control words, the modes and the pins.
struct step_ctx {
  uint32_t* w;
  const serial_variant* v;
  int periph;
  uint32_t cra, crb, ssr;
  uint32_t fsd0, fsd1;      // frame-sync directions
  uint32_t tx_mode, rx_mode;
  bool flag_mode, sample_flags;
  bool rssi, elfs;          // elfs: the frame sync is sampled a bit long (ssi: FSL)
  uint32_t start;           // the sequencer state words start from (MODE_GATED: 3)
  const direction* txd;
  const direction* rxd;
  uint32_t base;            // the port's lowest pin
  uint32_t handed;
  uint32_t level, driven;   // port C driven level and driven pins (copies)
  bool in_a, in_b, ext_clock, rx_bit;
  bool tx_clock;
  bool fsi;
  bool bit_steps;           // step_frame: bit_step may take the port's steps (ssi, SCKD, no SYN, modes 1, 2)
};

inline uint32_t pin(const step_ctx& c, uint32_t weight) { return weight << c.base; }

inline void drive(step_ctx& c, uint32_t weight, bool on, bool high) {
  const uint32_t p = pin(c, weight);
  if (!(c.handed & p)) return;
  if (!on) {
    c.driven &= ~p;
    return;
  }
  c.driven |= p;
  c.level = high ? c.level | p : c.level & ~p;
}

inline bool internal_clock(const uint32_t* w) { return (w[SW_CLOCK] & 1) != 0; }

struct direction {
  int prev_clock, edge, phase, sequencer, frame_start, last_word, step_count, word_counter,
      slot_shift, word_length, next_length, bit_sync, fs_level, prev_fs, internal_fs,
      frame_rate, slot_latch, pending;
};
constexpr direction tx_dir = {SW_TX_PREV_CLOCK, SW_TX_EDGE, SW_TX_PHASE, SW_TX_SEQUENCER,
                              SW_TX_FRAME_START, SW_TX_LAST_WORD, SW_TX_STEP_COUNT,
                              SW_TX_WORD_COUNTER, SW_TX_SLOT_SHIFT, SW_TX_WORD_LENGTH,
                              SW_TX_NEXT_LENGTH, SW_TX_BIT_SYNC, SW_TX_FS_LEVEL, SW_TX_PREV_FS,
                              SW_TX_INTERNAL_FS, SW_TX_FRAME_RATE, SW_TX_SLOT_LATCH,
                              SW_TFS_PENDING};
constexpr direction rx_dir = {SW_RX_PREV_CLOCK, SW_RX_EDGE, SW_RX_PHASE, SW_RX_SEQUENCER,
                              SW_RX_FRAME_START, SW_RX_LAST_WORD, SW_RX_STEP_COUNT,
                              SW_RX_WORD_COUNTER, SW_RX_SLOT_SHIFT, SW_RX_WORD_LENGTH,
                              SW_RX_NEXT_LENGTH, SW_RX_BIT_SYNC, SW_RX_FS_LEVEL, SW_RX_PREV_FS,
                              SW_RX_INTERNAL_FS, SW_RX_FRAME_RATE, SW_RX_SLOT_LATCH,
                              SW_RFS_PENDING};
// The rssi has no slot masks and no frame-sync pending flags; its
// transmitter's bit-sync pending flag lives in another word.
constexpr int NONE = -1;
constexpr direction rssi_tx_dir = {SW_TX_PREV_CLOCK, SW_TX_EDGE, SW_TX_PHASE, SW_TX_SEQUENCER,
                                   SW_TX_FRAME_START, SW_TX_LAST_WORD, SW_TX_STEP_COUNT,
                                   SW_TX_WORD_COUNTER, SW_TX_SLOT_SHIFT, SW_TX_WORD_LENGTH,
                                   SW_TX_NEXT_LENGTH, SW_RSSI_TX_BIT_SYNC, SW_TX_FS_LEVEL,
                                   SW_TX_PREV_FS, SW_TX_INTERNAL_FS, SW_TX_FRAME_RATE, NONE, NONE};
constexpr direction rssi_rx_dir = {SW_RX_PREV_CLOCK, SW_RX_EDGE, SW_RX_PHASE, SW_RX_SEQUENCER,
                                   SW_RX_FRAME_START, SW_RX_LAST_WORD, SW_RX_STEP_COUNT,
                                   SW_RX_WORD_COUNTER, SW_RX_SLOT_SHIFT, SW_RX_WORD_LENGTH,
                                   SW_RX_NEXT_LENGTH, SW_RX_BIT_SYNC, SW_RX_FS_LEVEL,
                                   SW_RX_PREV_FS, SW_RX_INTERNAL_FS, SW_RX_FRAME_RATE, NONE, NONE};

struct edges {
  bool rising = false, falling = false;
};

// The registers a step marks written, noted for a repeat being recorded
// (serial_engine.cpp).
void note_written(int periph, int reg);

// The sequencing of one direction, shared by the full step and the bit
// steps (serial_sequencer.cpp).
edges find_edges(uint32_t* w, const direction& d, bool clock, bool fsl);
void fall_phase(uint32_t* w, const direction& d, uint32_t mode);
void fall_counts(uint32_t* w, const direction& d, uint32_t mode);
void frame_sync(uint32_t* w, const direction& d, bool level, const edges& e, uint32_t edge, bool fsl,
                bool taken, bool internal);
// The full step's transmitter and receiver (serial_sequencer.cpp).
void transmit_sequence(step_ctx& c);
void transmit_outputs(step_ctx& c);
void receive_sequence(step_ctx& c, bool clock);
bool sck_level(const step_ctx& c);

}  // namespace serial_engine
