// The voice codec of the "73547" and "73583" types: a sigma-delta A/D
// converter from the mic or aux input into crx and a D/A converter from
// ctx to the speaker pins. Two variants: the "73583" one moves the base
// down by one for its second control register ccr0.
#include <bit>
#include <iterator>

#include "sim/engine/device.h"
#include "sim/engine/periph.h"

namespace {

// State words after the registers (the "73547" variant leaves word 4
// unused). Words marked (f) hold single-precision floats by their bits.
enum codec_word : int {
  CW_PRIORITY = 5,      // its bits of ipr (snooped)
  CW_REQUEST,
  CW_OVERRUN_SEEN,      // CROE and CTUE as the last cosr read saw them
  CW_UNDERRUN_SEEN,
  CW_SAMPLE_PERIOD,     // converter steps per sample
  CW_PRESCALE,          // "73583": steps skipped before the next one runs
  CW_FIRST_PIN,         // bit index of the first analog pin in pin group 0
  CW_STEP_COUNTER,      // converter steps into the current sample
  CW_I1,                // (f) input modulator integrators and its last bit
  CW_I2,                // (f)
  CW_Y,                 // (f)
  CW_A1,                // decimator integrators
  CW_A2,
  CW_A3,
  CW_T_PREV,            // decimator combs' previous values
  CW_C1_PREV,
  CW_C2_PREV,
  CW_LATCHED_CTX,       // ctx as taken at the last sample end, sign-extended
  CW_PREV_LATCHED,
  CW_PREV_D1,
  CW_D2,
  CW_J1,                // output interpolators
  CW_J2,
  CW_M1,                // (f) output modulator integrators and its level
  CW_M2,                // (f)
  CW_Q,                 // (f)
  CW_BITS,              // (f) 13 words: the output bit history, newest first
  CW_W = CW_BITS + 13,  // (f) 4 words: the comb-integrator filter history
  CW_V = CW_W + 4,      // (f) 3 words: the output filter's inputs
  CW_Z = CW_V + 3,      // (f) 3 words: the output filter's outputs
  CW_OUTPUT_PHASE = CW_Z + 3,  // 0-3: every fourth step feeds the output filter
  CODEC_STATE_WORDS = 62,      // the rest is spare
};
static_assert(CW_OUTPUT_PHASE < CODEC_STATE_WORDS);

constexpr uint32_t RW = REG_PERIPH_WORD | REG_READABLE | REG_WRITABLE | REG_BUS_MAPPED;
constexpr uint32_t RO = REG_PERIPH_WORD | REG_READABLE | REG_BUS_MAPPED;
constexpr uint32_t WO = REG_PERIPH_WORD | REG_WRITABLE | REG_BUS_MAPPED;
constexpr uint32_t ATTR = REG_PERIPH_INIT_ATTR;

constexpr char COSR_HELP[] =
    "Status Register.\n"
    "         {C C C C}\n"
    "         {R T R T}\n"
    "         {D D O U}\n"
    " * * * * {F E E E}";

constexpr reg_desc codec_regs_547[] = {
    {"cocr", 0xFF3F, 0, ATTR, RW,
     "Control Register\n"
     " {C     M M   C C}\n"
     " {O C I G G M R R}     {C C V V V V}\n"
     " {I O N S S U S S}     {T T C C C C}\n"
     " {E E S 1 0 T 1 0} * * {1 0 3 2 1 0}"},
    {"cosr", 0x000F, 0x20, ATTR, RO, COSR_HELP},
    {"crx", 0xFFFF, 0x21, ATTR, RO, "Receive Data Register."},
    {"ctx", 0xFFFF, 0x21, ATTR, WO, "Transmit Data Register."},
};
constexpr reg_desc codec_regs_583[] = {
    {"ccr1", 0xFD8F, 1, ATTR, RW,
     "Control Register 1\n"
     " {C     M M}\n"
     " {O C I G G M}   {C C}       {V V V V}\n"
     " {I O N S S U}   {L L}       {C C C C}\n"
     " {E E S 1 0 T} * {S B} * * * {3 2 1 0}"},
    {"cosr", 0x000F, 0x21, ATTR, RO, COSR_HELP},
    {"crx", 0xFFFF, 0x22, ATTR, RO, "Receive Data Register."},
    {"ctx", 0xFFFF, 0x22, ATTR, WO, "Transmit Data Register."},
    {"ccr0", 0xFF3F, 0, ATTR, RW,
     "Control Register 0\n"
     "     {C C C C C C}\n"
     "     {R R R R R R}     {E E E E E E}\n"
     "     {S S S S S S}     {D D D D D D}\n"
     " * * {5 4 3 2 1 0} * * {5 4 3 2 1 0}"},
};

constexpr uint32_t CONTROL_COE = 0x4000;
constexpr uint32_t COSR_CTDE = 0x4;
constexpr uint32_t CODEC_CLASS_WORD = 0x26;

// The converter back at the start of a sample; the integrators keep their
// values.
void codec_converter_reset(int periph) {
  const periph_row& row = cur_type->periphs[periph];
  uint32_t* w = periph_words(periph);
  cur_state->periph_entries[periph].class_word = CODEC_CLASS_WORD;
  w[CODEC_COSR] = COSR_CTDE;
  mark_register_written(periph, CODEC_COSR);
  w[CW_PRESCALE] = 0;
  w[CW_STEP_COUNTER] = 0;
  w[CW_LATCHED_CTX] = 0;
  for (int i = CW_BITS; i < CW_OUTPUT_PHASE; ++i) w[i] = std::bit_cast<uint32_t>(0.0f);
  w[CW_FIRST_PIN] = static_cast<uint32_t>(std::countr_zero(row.pin_mask));
  // The speaker pins rest at 2.0 V: set with the analog pin values once
  // the converter drives them.
}

// The side effects of control, ctx, cosr and crx accesses come with the
// converter; until then a store is the plain register store.
void codec_store_reg(int periph, int reg, uint32_t value) {
  set_state_register(periph, reg, value);
}

// The converter: one step of the A/D and D/A paths per peripheral tick of
// the core while COE is set.
void codec_engine(int) {}

int codec_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int codec_set_reg(int periph, int reg, const uint32_t* value) {
  codec_store_reg(periph, reg, *value);
  return 1;
}

void codec_bus_read(int periph, uint32_t address, uint32_t* out, int) {
  const int reg = find_bus_register(periph, address, REG_READABLE);
  if (reg >= 0) *out = periph_words(periph)[reg];
}

int codec_bus_write(int periph, uint32_t address, uint32_t value, int) {
  if (address == IO_IPR) {
    periph_words(periph)[CW_PRIORITY] = value & cur_type->periphs[periph].ipr_bits;
    return 0;
  }
  const int reg = find_bus_register(periph, address, REG_WRITABLE);
  if (reg >= 0) codec_store_reg(periph, reg, value);
  return 0;
}

void codec_clock(int periph) {
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  if (dw[DW_STOP_LATCH] || dw[DW_RESET_HELD] == 1) return;
  if (!(periph_words(periph)[CODEC_CONTROL] & CONTROL_COE)) return;
  codec_engine(periph);
}

// A STOP (kind 0) keeps the control registers and the request.
void codec_reset(int periph, int kind, int) {
  codec_converter_reset(periph);
  if (kind == 0) return;
  uint32_t* w = periph_words(periph);
  const periph_class* cls = cur_type->periphs[periph].cls;
  for (int reg : {CODEC_CONTROL, CODEC_CCR0}) {
    if (reg >= cls->reg_count) continue;
    w[reg] = 0;
    mark_register_written(periph, reg);
  }
  w[CW_REQUEST] = 0;
}

int codec_pending_irq(int periph) {
  const uint32_t* w = periph_words(periph);
  if (w[CW_PRIORITY] == 0 || w[CW_REQUEST] == 0) return -1;
  return cur_type->periphs[periph].vector;
}

void codec_ack_irq(int periph, int) { periph_words(periph)[CW_REQUEST] = 0; }

}  // namespace

const periph_class codec_class_547 = {
    codec_get_reg,     codec_set_reg, codec_bus_read,    codec_bus_write,
    codec_clock,       codec_reset,   codec_pending_irq, codec_ack_irq,
    CODEC_CLASS_WORD,  CODEC_STATE_WORDS,
    static_cast<int>(std::size(codec_regs_547)), codec_regs_547,
    nullptr, nullptr,
};
const periph_class codec_class_583 = {
    codec_get_reg,     codec_set_reg, codec_bus_read,    codec_bus_write,
    codec_clock,       codec_reset,   codec_pending_irq, codec_ack_irq,
    CODEC_CLASS_WORD,  CODEC_STATE_WORDS,
    static_cast<int>(std::size(codec_regs_583)), codec_regs_583,
    nullptr, nullptr,
};
