// State shared by the two serial port kinds (ssi and rssi): the layout of
// their state words, which is the same for both, and the operations both
// perform alike. Private to the engine's serial port files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/engine/periph/periph.h"

// State words. The ssi keeps its ten registers in words 0-9; the rssi its
// six in words 0-5 and nothing in 6-9. Where the rssi has no use for a
// word of the ssi it reuses two positions: SW_TX_SLOT_LATCH holds its
// gated-clock latch and SW_TFS_PENDING its transmitter bit-sync pending
// flag; SW_TX_BIT_SYNC does not exist for it.
enum serial_word : int {
  SW_PINS = 10,           // the port C control bits handed to the port; 0 = disabled
  SW_TX_DATA,             // tx as loaded (with WL = 1 its G.711 code in bits 15-8)
  SW_TX_BIT_MASK,         // weight of the bit on std, most significant first
  SW_RX_SHIFT,            // receive shift register
  SW_TX_WORD,             // transmitted word, right-aligned, as written to the streams
  SW_TX_LSB_MASK,         // bit weight when shifting least significant bit first
  SW_LAST_INPUT,
  SW_TX_SLOT_LATCH,       // tmh:tml; rssi: the gated-clock latch
  SW_RX_SLOT_LATCH,       // rmh:rml
  SW_TX_SLOT_SHIFT,
  SW_ROE_SEEN,            // ROE and TUE as the last ssr read saw them
  SW_TUE_SEEN,
  SW_RX_FRAME_START,
  SW_TX_FRAME_START,
  SW_IF0_LATCH,
  SW_IF1_LATCH,
  SW_OF0_LATCH,
  SW_OF1_LATCH,
  SW_RX_WORD_COUNTER,
  SW_RX_FRAME_RATE,
  SW_RX_WORD_LENGTH,
  SW_RX_STEP_COUNT,
  SW_RX_NEXT_LENGTH,
  SW_RX_FRAME_ENABLE,
  SW_RX_WORD_ENABLE,
  SW_STEP_MARKER,         // 1 after a transfer state reset until the end of the next step
  SW_RX_SLOT_SHIFT,
  SW_RX_PHASE,
  SW_RX_RESYNC,
  SW_RX_LAST_WORD,
  SW_RX_WORD_COMPLETE,
  SW_RX_BIT_SYNC,
  SW_RX_FS_LEVEL,
  SW_RX_INTERNAL_FS,
  SW_RX_PREV_FS,
  SW_RX_WORD_FRAMED,
  SW_RX_HOLD,
  SW_PRESCALE,
  SW_CLOCK,               // bit 0 the internal clock level, bit 1 set when it did not toggle
  SW_RX_PREV_CLOCK,
  SW_RX_EDGE,
  SW_PCD,                 // snooped port C data bits
  SW_RX_SEQUENCER,
  SW_TX_PREV_CLOCK,
  SW_TX_EDGE,
  SW_TX_SKIP_REQUEST,     // a tsr write asks to skip the next slot
  SW_TX_SEQUENCER,
  SW_MODULUS,
  SW_TX_WORD_COUNTER,
  SW_TX_FRAME_RATE,
  SW_TX_WORD_LENGTH,
  SW_TX_STEP_COUNT,
  SW_TX_NEXT_LENGTH,
  SW_TX_TDE_AT_LOAD,
  SW_TX_FRAME_ENABLE,
  SW_TX_WORD_ENABLE,
  SW_PCDDR,               // snooped port C direction bits
  SW_TX_SKIP_LATCH,
  SW_TX_PHASE,
  SW_TX_RESYNC,
  SW_TX_TRANSMITTING,
  SW_TX_LAST_WORD,
  SW_TX_EARLY_START,
  SW_TX_FS_LEVEL,
  SW_TX_INTERNAL_FS,
  SW_TX_PREV_FS,
  SW_TX_HOLD,
  SW_REQ_RX_EXCEPTION,    // the four requests, in vector order
  SW_REQ_RX,
  SW_REQ_TX_EXCEPTION,
  SW_REQ_TX,
  SW_PRIORITY,            // its bits of ipr (snooped)
  SW_TFS_PENDING,
  SW_RFS_PENDING,
  SW_TX_BIT_SYNC,
  // The event bookkeeping of both kinds (sim/engine/README.md,
  // "Peripheral events"): up to date for the cycles below SW_UPDATED; a
  // step is due in the cycle about to run when SW_STEP_DUE is set.
  SW_UPDATED,
  SW_STEP_DUE,
  SSI_STATE_WORDS,
  RSSI_STATE_WORDS = SSI_STATE_WORDS,
};
static_assert(SW_UPDATED == 85);
constexpr int SW_GATED_LATCH = SW_TX_SLOT_LATCH;
constexpr int SW_RSSI_TX_BIT_SYNC = SW_TFS_PENDING;

// Edge codes of each direction's clock.
enum serial_edge : uint32_t {
  EDGE_NONE = 0,
  EDGE_STEP_RISE = 1,
  EDGE_SEQUENCE_RISE = 2,
  EDGE_STEP_FALL = 3,
  EDGE_SEQUENCE_FALL = 4,
  EDGE_OLD = 0x10,  // set at the start of each step on the code kept from before
};

constexpr uint32_t SERIAL_IDLE = static_cast<uint32_t>(-2);  // an idle slot
constexpr uint32_t SSR_TDE = 0x40;
constexpr int SEQ_AFTER_RESET = 3;

// Puts both directions back to the start of a frame; ssr (register ssr_reg)
// becomes TDE alone.
void serial_transfer_reset(int periph, int ssr_reg);
// The port C and ipr words every serial port keeps a copy of. Reads and
// writes of those addresses are taken here (true); a write answers with
// the port's share, and calls transfer_reset when no pin stays handed over.
bool serial_snoop_read(int periph, uint32_t address, uint32_t* out);
bool serial_snoop_write(int periph, uint32_t address, uint32_t value, int* answer,
                        void (*transfer_reset)(int periph));
int serial_pending_irq(int periph);
void serial_ack_irq(int periph, int vector);
// A tsr (skip set) or tx write: TDE cleared, TUE too once ssr was read;
// transfer_reset when no pin is handed over.
void serial_slot_write(int periph, bool skip, int ssr_reg, void (*transfer_reset)(int periph));
// The parts of a reset other than kind 0 that both kinds share: the
// requests, the snooped port words and the clock dividers.
void serial_reset_words(int periph);

// The differences between the serial port classes that the shared transfer
// engine asks about: the register numbers and the family's rules.
enum serial_kind : uint8_t { SERIAL_521, SERIAL_547, SERIAL_RSSI };
struct serial_variant {
  serial_kind kind;
  int cra, crb, rx, ssr, tx;  // register numbers
};
extern const serial_variant ssi_variant_521;
extern const serial_variant ssi_variant_547;

// The transfer engine (serial_engine.cpp). serial_clock runs the step of
// the cycle about to run; serial_catch_up and serial_next_event are the
// event slots; serial_step_due asks for a step in the cycle about to run
// (a register, pin or mode change), and has the run loop look again at
// its next event: a bus read that clears a flag changes no store's
// schedule, yet its requests must follow at once.
void serial_clock(int periph, const serial_variant& v);
void serial_catch_up(int periph, const serial_variant& v);
uint32_t serial_next_event(int periph, const serial_variant& v);
inline void serial_step_due(uint32_t* w) {
  w[SW_STEP_DUE] = 1;
  peripherals_changed();
}
// Bus reads of ssr and rx by the program: ROE and TUE seen, ROE and RDF
// cleared.
void serial_status_read(int periph, const serial_variant& v, int reg);
// The stream word hooks: "idle" in, "IDLE" out.
int serial_input_word(const char* text, stream_value* out);
int serial_output_word(const stream_value& value, char* text, std::size_t size);
