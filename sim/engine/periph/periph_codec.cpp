// The voice codec of the "73547" and "73583" types: a sigma-delta A/D
// converter from the mic or aux input into crx and a D/A converter from
// ctx to the speaker pins. Two variants: the "73583" one moves the base
// down by one for its second control register ccr0.
//
// - The codec (`periph_codec.cpp`): its converter steps at the cycles whose peripheral tick
//   (`CS_PERIPH_TICK` of the core) is set; `catch_up` runs the elapsed steps in one loop
//   (`CW_UPDATED`), taking every cycle as a tick while the PLL passes the clock through (plcr enable
//   and lock bits clear). `next_event`: every cycle while the PLL divides the clock or the device
//   has any stream (voltages in, the output word every fourth step, watched pins), else the step
//   that sets an enabled request, and never more than 999 cycles ahead, so a PLL switched on (which
//   locks after 1000 cycles) is seen before its first divided tick. On the "73583" variant the ED
//   prescaler lets every (ED + 1)-th tick through; CLS changes nothing, since the fractional
//   accumulator reaches 1.0 exactly at the ticks. Voltages go in and out through the class's stream
//   word hooks (`input_word`: the text as a float; `output_word`: "%13f"), which
//   `write_peripheral_output` of a `stream_value` reaches.
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

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
  CW_UPDATED,                  // up to date for the cycles below this count
  CODEC_STATE_WORDS = 62,      // the rest is spare
};
static_assert(CW_UPDATED < CODEC_STATE_WORDS);

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

// Control register bits (cocr, ccr1) and the others.
constexpr uint32_t CONTROL_COIE = 0x8000, CONTROL_COE = 0x4000, CONTROL_INS = 0x2000, CONTROL_MUT = 0x400,
                   CONTROL_LOOP = 0x80;
constexpr uint32_t COSR_CRDF = 0x8, COSR_CTDE = 0x4, COSR_CROE = 0x2, COSR_CTUE = 0x1;
constexpr uint32_t CODEC_CLASS_WORD = 0x26;
constexpr int ANALOG_MIC = 0, ANALOG_AUX = 1, ANALOG_SPKP = 2, ANALOG_SPKM = 3;

constexpr double input_gains[4] = {0.5, 1.0, 2.0, 7.079};
constexpr double volumes[16] = {0.1, 0.178, 0.316, 0.562, 1.0, 2.0, 4.0, 8.0,
                                1.0, 2.0,   4.0,   8.0,   16.0, 32.0, 32.0, 56.234};
// "73547": by CRS1-CRS0.
constexpr uint32_t periods_547[4] = {125, 128, 105, 81};
constexpr double rate_scales_547[4] = {0.976550638250014, 1.0, 0.8203340268796042, 0.6328515998425462};
constexpr int rate_shifts[4] = {9, 9, 10, 11};

bool is_583(int periph) { return cur_type->periphs[periph].cls->reg_count > CODEC_CCR0; }

float real(uint32_t word) { return std::bit_cast<float>(word); }
uint32_t bits(double value) { return std::bit_cast<uint32_t>(static_cast<float>(value)); }
double clamp(double v, double limit) { return v < -limit ? -limit : v > limit ? limit : v; }

// The analog value words of the codec's pins in pin group 0.
uint32_t* analog(const uint32_t* w, int pin) {
  return periph_pin_block(0) + 5 + w[CW_FIRST_PIN] + static_cast<uint32_t>(pin);
}

uint32_t sample_period(int periph, const uint32_t* w) {
  if (is_583(periph)) return ((w[CODEC_CCR0] >> 8) & 0x3F) + 65;
  return periods_547[(w[CODEC_CONTROL] >> 8) & 3];
}

int rate_index(int periph, const uint32_t* w) {
  if (!is_583(periph)) return static_cast<int>((w[CODEC_CONTROL] >> 8) & 3);
  const uint32_t period = sample_period(periph, w);
  return period >= 113 ? 0 : period >= 89 ? 2 : 3;
}

void update_request(uint32_t* w) {
  w[CW_REQUEST] = (w[CODEC_CONTROL] & CONTROL_COIE) && (w[CODEC_COSR] & (COSR_CRDF | COSR_CTDE)) ? 1 : 0;
  if (w[CW_REQUEST] && w[CW_PRIORITY]) raise_interrupt_request();
}

void store_cosr(int periph, uint32_t* w, uint32_t value) {
  if (value == w[CODEC_COSR]) return;
  w[CODEC_COSR] = value;
  mark_register_written(periph, CODEC_COSR);
}

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
  for (int i = CW_BITS; i < CW_OUTPUT_PHASE; ++i) w[i] = bits(0.0);
  w[CW_FIRST_PIN] = static_cast<uint32_t>(std::countr_zero(row.pin_mask));
  set_pin_word(analog(w, ANALOG_SPKP), 0, bits(2.0));
  set_pin_word(analog(w, ANALOG_SPKM), 0, bits(2.0));
}

// The decimator's combs at a sample end, from its last integrator: the
// sample, clipped to 16 bits.
int32_t decimated_sample(uint32_t* w, uint32_t a3) {
  const uint32_t t = a3 & ~0x3FFFu;
  const uint32_t c1 = t - w[CW_T_PREV];
  const uint32_t c2 = c1 - w[CW_C1_PREV];
  const uint32_t c3 = c2 - w[CW_C2_PREV];
  w[CW_T_PREV] = t;
  w[CW_C1_PREV] = c1;
  w[CW_C2_PREV] = c2;
  const uint32_t top = c3 >> 30;
  return top == 2 ? -32768 : top == 1 ? 32767 : static_cast<int16_t>((c3 >> 15) & 0xFFFF);
}

// Steps 2-3: the input modulator and the decimator; true at a sample end
// with the sample.
bool convert_input(int periph, uint32_t* w, int32_t* sample) {
  const uint32_t control = w[CODEC_CONTROL];
  const double in = real(*analog(w, (control & CONTROL_INS) ? ANALOG_AUX : ANALOG_MIC));
  const double x = clamp(in * input_gains[(control >> 11) & 3], 1.0);
  const double y = real(w[CW_Y]);
  const double i1 = static_cast<double>(real(w[CW_I1])) + x - y;
  w[CW_I1] = bits(i1);
  const double i2 = clamp(static_cast<double>(real(w[CW_I2])) + static_cast<double>(real(w[CW_I1])) - y, 2.0);
  w[CW_I2] = bits(i2);
  const bool negative = real(w[CW_I2]) < 0.0f;
  w[CW_Y] = bits(negative ? -1.0 : 1.0);

  const uint32_t step = (negative ? ~0u : 1u) << rate_shifts[rate_index(periph, w)];
  w[CW_A1] += step;
  w[CW_A2] += w[CW_A1];
  w[CW_A3] += w[CW_A2];
  if (++w[CW_STEP_COUNTER] < w[CW_SAMPLE_PERIOD]) return false;
  *sample = decimated_sample(w, w[CW_A3]);
  w[CW_STEP_COUNTER] = 0;
  return true;
}

// Step 4: the sample into crx, ctx into the output path.
void end_of_sample(int periph, uint32_t* w, int32_t sample) {
  uint32_t cosr = w[CODEC_COSR];
  if (cosr & COSR_CRDF) cosr |= COSR_CROE;
  cosr |= COSR_CRDF;
  w[CODEC_CRX] = (w[CODEC_CONTROL] & CONTROL_LOOP) ? w[CW_LATCHED_CTX] & 0xFFFF
                                                    : static_cast<uint32_t>(sample) & 0xFFFF;
  mark_register_written(periph, CODEC_CRX);
  w[CW_SAMPLE_PERIOD] = sample_period(periph, w);
  if (cosr & COSR_CTDE) cosr |= COSR_CTUE;
  cosr |= COSR_CTDE;
  w[CODEC_COSR] = cosr;
  w[CW_PREV_LATCHED] = w[CW_LATCHED_CTX];
  w[CW_LATCHED_CTX] = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(w[CODEC_CTX] & 0xFFFF)));
  const uint32_t d1 = w[CW_LATCHED_CTX] - w[CW_PREV_LATCHED];
  w[CW_D2] = d1 - w[CW_PREV_D1];
  w[CW_PREV_D1] = d1;
}

// Steps 5-8: interpolation, the output modulator, the comb-integrator
// filter and, every fourth step, the output filter and the speaker pins.
void convert_output(int periph, uint32_t* w) {
  w[CW_J1] += w[CW_D2];
  w[CW_J2] += w[CW_J1];
  const double period = w[CW_SAMPLE_PERIOD];
  const double u = static_cast<int32_t>(w[CW_J2]) / (period * period);
  const double q = real(w[CW_Q]);
  w[CW_M1] = bits(static_cast<double>(real(w[CW_M1])) + u - q);
  w[CW_M2] = bits(clamp(static_cast<double>(real(w[CW_M2])) + static_cast<double>(real(w[CW_M1])) - q, 262144.0));
  w[CW_Q] = bits(real(w[CW_M2]) < 0.0f ? -32768.0 : 32768.0);
  for (int i = 12; i > 0; --i) w[CW_BITS + i] = w[CW_BITS + i - 1];
  w[CW_BITS] = bits(real(w[CW_Q]) > 0.0f ? 1.0 : -1.0);

  const auto b = [&](int n) -> double { return real(w[CW_BITS + n]); };
  const auto h = [&](int word, int n) -> double { return real(w[word + n]); };
  const double wn = 3 * h(CW_W, 0) - 3 * h(CW_W, 1) + h(CW_W, 2) + b(0) - 3 * b(4) + 3 * b(8) - b(12);
  for (int i = 3; i > 0; --i) w[CW_W + i] = w[CW_W + i - 1];
  w[CW_W] = bits(wn);

  const uint32_t phase = w[CW_OUTPUT_PHASE];
  w[CW_OUTPUT_PHASE] = (phase + 1) & 3;
  if (phase != 0) return;
  for (int i = 2; i > 0; --i) w[CW_V + i] = w[CW_V + i - 1];
  w[CW_V] = w[CW_W];
  const double z = 0.004514 * h(CW_V, 0) - 0.008817 * h(CW_V, 1) + 0.004514 * h(CW_V, 2) +
                   2.9005 * h(CW_Z, 0) - 2.807675 * h(CW_Z, 1) + 0.906965 * h(CW_Z, 2);
  for (int i = 2; i > 0; --i) w[CW_Z + i] = w[CW_Z + i - 1];
  w[CW_Z] = bits(z);
  const uint32_t control = w[CODEC_CONTROL];
  const double scale = is_583(periph) ? period * 0.0078125 : rate_scales_547[(control >> 8) & 3];
  double r = clamp(volumes[control & 0xF] * real(w[CW_Z]) * scale * 0.015550947844266963, 1.0);
  if (!(control & CONTROL_MUT)) r = 0.0;
  set_pin_word(analog(w, ANALOG_SPKP), 0, bits(2.0 + r));
  set_pin_word(analog(w, ANALOG_SPKM), 0, bits(2.0 - r));
  stream_value voltage;
  voltage.real = 2.0 + 2.0 * r;
  voltage.flags = SV_FLOAT;
  write_peripheral_output(periph, voltage, 0);
}

// One converter step.
void codec_engine(int periph) {
  uint32_t* w = periph_words(periph);
  const uint32_t cosr = w[CODEC_COSR];
  stream_value voltage;
  if (read_untimed_input(periph, &voltage) || read_timed_input(periph, &voltage)) {
    set_pin_word(analog(w, ANALOG_MIC), 0, bits(voltage.real));
    set_pin_word(analog(w, ANALOG_AUX), 0, bits(voltage.real));
  }
  int32_t sample = 0;
  if (convert_input(periph, w, &sample)) end_of_sample(periph, w, sample);
  convert_output(periph, w);
  update_request(w);
  const uint32_t now = w[CODEC_COSR];
  w[CODEC_COSR] = cosr;
  store_cosr(periph, w, now);
}

// A cycle with a peripheral tick: on the "73583" variant the prescaler
// lets every (ED + 1)-th through. The fractional clock accumulator reaches
// 1.0 exactly at the ticks, so CLS changes nothing here.
void codec_tick(int periph, uint32_t* w) {
  if (is_583(periph)) {
    if (w[CW_PRESCALE] != 0) {
      --w[CW_PRESCALE];
      return;
    }
    w[CW_PRESCALE] = w[CODEC_CCR0] & 0x3F;
  }
  codec_engine(periph);
}

// The output filter's input part and one of its outputs, in
// codec_engine's order and precision (the sum taken left to right).
double filter_input(const uint32_t* w) {
  return 0.004514 * static_cast<double>(real(w[CW_V])) - 0.008817 * static_cast<double>(real(w[CW_V + 1])) +
         0.004514 * static_cast<double>(real(w[CW_V + 2]));
}
float filter_output(double input, float z0, float z1, float z2) {
  return static_cast<float>(input + 2.9005 * static_cast<double>(z0) - 2.807675 * static_cast<double>(z1) +
                            0.906965 * static_cast<double>(z2));
}

// m steps of the decimator from step k while the steps repeat (step k
// adds add[k % 4]): the steps before a round of four and after the last
// one by one, the rounds between at once. A round from (a1, a2, a3), with
// e1..e4 the sums of its first one to four adds, leaves a1 + e4,
// a2 + 4 a1 + (e1 + e2 + e3 + e4), a3 + 4 a2 + 10 a1 + (4 e1 + 3 e2 + 2 e3 + e4);
// b rounds add those b times over, which sums to the terms below (modulo
// 2^32, as the integrators wrap).
void repeated_decimator(uint32_t& a1, uint32_t& a2, uint32_t& a3, const uint32_t* add, uint32_t k, uint32_t m) {
  const auto step = [&](uint32_t n) {
    a1 += add[n & 3];
    a2 += a1;
    a3 += a2;
  };
  for (; m > 0 && (k & 3) != 0; --m, ++k) step(k);
  const uint32_t b = m / 4;
  if (b > 0) {
    const uint32_t e1 = add[0], e2 = e1 + add[1], e3 = e2 + add[2], e4 = e3 + add[3];
    const uint32_t p = e1 + e2 + e3 + e4, q = 4 * e1 + 3 * e2 + 2 * e3 + e4;
    // b (b - 1) / 2 and b (b - 1) (b - 2) / 3, the divisions made on the
    // factor they divide so the products may wrap.
    const uint32_t pairs = (b % 2 == 0 ? b / 2 * (b - 1) : (b - 1) / 2 * b);
    const uint32_t triples = b % 3 == 0   ? b / 3 * (b - 1) * (b - 2)
                             : b % 3 == 1 ? (b - 1) / 3 * b * (b - 2)
                                          : (b - 2) / 3 * b * (b - 1);
    const uint32_t n3 = a3 + 4 * (b * a2 + 4 * a1 * pairs + 2 * e4 * triples + p * pairs) +
                        10 * (b * a1 + e4 * pairs) + b * q;
    const uint32_t n2 = a2 + 4 * (b * a1 + e4 * pairs) + b * p;
    a1 += b * e4;
    a2 = n2;
    a3 = n3;
  }
  for (uint32_t n = 0; n < m % 4; ++n) step(n);
}

// Steps run in a batch: the words the steps write kept in locals and
// stored once, the bit history as a ring, the speaker pins written from the
// batch's last output-filter step. The arithmetic is codec_engine's, in
// its order and precision. Only without streams: no input arrives and
// nothing takes the speaker voltage between the steps.

// The state after a step, but the decimator's integrators and the output
// filter's outputs (a slow decay that settles late or never: it runs on
// while the steps repeat, once in four steps).
struct codec_snapshot {
  std::array<uint32_t, 32> words;
  bool operator==(const codec_snapshot&) const = default;
};
constexpr std::size_t SNAPSHOT_PHASE = 10, SNAPSHOT_COMB = 24;  // words of a snapshot

struct codec_batch {
  int periph;
  uint32_t* w;
  uint32_t control;
  double x;
  int shift;
  bool is583;
  double volume;
  bool muted_off;
  float i1, i2, y;
  uint32_t a1, a2, a3, counter;
  uint32_t period, d2, j1, j2;
  float m1, m2, q;
  // ring[(head + n) & 15] is the history's word n.
  std::array<uint32_t, 16> ring{};
  uint32_t head = 0;
  uint32_t hw[4];
  uint32_t phase;
  bool speaker = false;
  double r = 0.0;

  codec_batch(int p, uint32_t* words)
      : periph(p),
        w(words),
        control(w[CODEC_CONTROL]),
        x(clamp(real(*analog(w, (control & CONTROL_INS) ? ANALOG_AUX : ANALOG_MIC)) * input_gains[(control >> 11) & 3],
                1.0)),
        shift(rate_shifts[rate_index(periph, w)]),
        is583(is_583(periph)),
        volume(volumes[control & 0xF]),
        muted_off(!(control & CONTROL_MUT)),
        i1(real(w[CW_I1])),
        i2(real(w[CW_I2])),
        y(real(w[CW_Y])),
        a1(w[CW_A1]),
        a2(w[CW_A2]),
        a3(w[CW_A3]),
        counter(w[CW_STEP_COUNTER]),
        period(w[CW_SAMPLE_PERIOD]),
        d2(w[CW_D2]),
        j1(w[CW_J1]),
        j2(w[CW_J2]),
        m1(real(w[CW_M1])),
        m2(real(w[CW_M2])),
        q(real(w[CW_Q])),
        hw{w[CW_W], w[CW_W + 1], w[CW_W + 2], w[CW_W + 3]},
        phase(w[CW_OUTPUT_PHASE]) {
    for (int n = 0; n < 13; ++n) ring[static_cast<std::size_t>(n)] = w[CW_BITS + n];
  }

  double b(uint32_t n) const { return real(ring[(head + n) & 15]); }

  // The modulator, the decimator and a sample end.
  void input_part() {
    i1 = static_cast<float>(static_cast<double>(i1) + x - static_cast<double>(y));
    i2 = static_cast<float>(clamp(static_cast<double>(i2) + static_cast<double>(i1) - static_cast<double>(y), 2.0));
    const bool negative = i2 < 0.0f;
    y = negative ? -1.0f : 1.0f;
    a1 += (negative ? ~0u : 1u) << shift;
    a2 += a1;
    a3 += a2;
  }
  void sample_end() {
    const int32_t sample = decimated_sample(w, a3);
    counter = 0;
    end_of_sample(periph, w, sample);
    period = w[CW_SAMPLE_PERIOD];
    d2 = w[CW_D2];
  }
  // Every fourth step: the output filter and the speaker level.
  void speaker_level() {
    const double scale = is583 ? static_cast<double>(period) * 0.0078125 : rate_scales_547[(control >> 8) & 3];
    r = muted_off ? 0.0 : clamp(volume * real(w[CW_Z]) * scale * 0.015550947844266963, 1.0);
    speaker = true;
  }
  void output_filter(uint32_t comb) {
    w[CW_V + 2] = w[CW_V + 1];
    w[CW_V + 1] = w[CW_V];
    w[CW_V] = comb;
    const float z = filter_output(filter_input(w), real(w[CW_Z]), real(w[CW_Z + 1]), real(w[CW_Z + 2]));
    w[CW_Z + 2] = w[CW_Z + 1];
    w[CW_Z + 1] = w[CW_Z];
    w[CW_Z] = bits(z);
    speaker_level();
  }
  // The filter's calls while the steps repeat: its inputs are the same
  // comb output each time, so only its outputs move.
  void repeated_filter(uint32_t calls) {
    if (calls == 0) return;
    const double in = filter_input(w);
    float z0 = real(w[CW_Z]), z1 = real(w[CW_Z + 1]), z2 = real(w[CW_Z + 2]);
    for (uint32_t c = 0; c < calls; ++c) {
      const float z = filter_output(in, z0, z1, z2);
      z2 = z1;
      z1 = z0;
      z0 = z;
    }
    w[CW_Z] = bits(z0);
    w[CW_Z + 1] = bits(z1);
    w[CW_Z + 2] = bits(z2);
    speaker_level();
  }
  // The interpolator, the output modulator and the filters.
  void output_part() {
    j1 += d2;
    j2 += j1;
    const double p = period;
    const double u = static_cast<int32_t>(j2) / (p * p);
    m1 = static_cast<float>(static_cast<double>(m1) + u - static_cast<double>(q));
    m2 = static_cast<float>(clamp(static_cast<double>(m2) + static_cast<double>(m1) - static_cast<double>(q), 262144.0));
    q = m2 < 0.0f ? -32768.0f : 32768.0f;
    head = (head - 1) & 15;
    ring[head] = bits(q > 0.0f ? 1.0 : -1.0);
    const double wn = 3 * static_cast<double>(real(hw[0])) - 3 * static_cast<double>(real(hw[1])) +
                      static_cast<double>(real(hw[2])) + b(0) - 3 * b(4) + 3 * b(8) - b(12);
    hw[3] = hw[2];
    hw[2] = hw[1];
    hw[1] = hw[0];
    hw[0] = bits(wn);
    if (phase == 0) output_filter(hw[0]);
    phase = (phase + 1) & 3;
  }
  void finish(uint32_t cosr) {
    update_request(w);
    if (w[CODEC_COSR] != cosr) {
      const uint32_t now = w[CODEC_COSR];
      w[CODEC_COSR] = cosr;
      store_cosr(periph, w, now);
    }
  }

  void take(codec_snapshot& s) const {
    uint32_t* o = s.words.data();
    for (float f : {i1, i2, y, m1, m2, q}) *o++ = bits(f);
    *o++ = j1;
    *o++ = j2;
    *o++ = d2;
    *o++ = period;
    *o++ = phase;
    for (uint32_t n = 0; n < 13; ++n) *o++ = ring[(head + n) & 15];
    for (uint32_t v : hw) *o++ = v;
    for (int n = 0; n < 3; ++n) *o++ = w[CW_V + n];
  }
  void put_output(const codec_snapshot& s) {
    const uint32_t* o = s.words.data() + 3;
    m1 = real(*o++);
    m2 = real(*o++);
    q = real(*o++);
    j1 = *o++;
    j2 = *o++;
    o += 2;  // d2 and period are the same in every step of the four
    phase = *o++;
    head = 0;
    for (uint32_t n = 0; n < 13; ++n) ring[n] = *o++;
    for (uint32_t& v : hw) v = *o++;
    for (int n = 0; n < 3; ++n) w[CW_V + n] = *o++;
  }
  void put_input(const codec_snapshot& s) {
    i1 = real(s.words[0]);
    i2 = real(s.words[1]);
    y = real(s.words[2]);
  }

  // The batch's words back in the converter's state, and the speaker pins.
  void store() {
    w[CW_I1] = bits(i1);
    w[CW_I2] = bits(i2);
    w[CW_Y] = bits(y);
    w[CW_A1] = a1;
    w[CW_A2] = a2;
    w[CW_A3] = a3;
    w[CW_STEP_COUNTER] = counter;
    w[CW_J1] = j1;
    w[CW_J2] = j2;
    w[CW_M1] = bits(m1);
    w[CW_M2] = bits(m2);
    w[CW_Q] = bits(q);
    for (uint32_t n = 0; n < 13; ++n) w[CW_BITS + n] = ring[(head + n) & 15];
    for (int n = 0; n < 4; ++n) w[CW_W + n] = hw[n];
    w[CW_OUTPUT_PHASE] = phase;
    if (speaker) {
      set_pin_word(analog(w, ANALOG_SPKP), 0, bits(2.0 + r));
      set_pin_word(analog(w, ANALOG_SPKM), 0, bits(2.0 - r));
    }
  }
};

// A converter whose state comes back after four steps (its steady state
// with a constant input and no change of ctx: both modulators in a cycle
// of four, the filters settled) repeats those four steps until a sample
// end changes the interpolator's input: then only the decimator runs,
// with the four steps' signs (rounds of four at once), and the output
// filter from its one input; the rest of the state is the four steps'.
struct codec_repeat {
  static constexpr uint32_t LOOK = 8;  // steps looked at for a repeat
  std::array<codec_snapshot, LOOK> seen{};
  bool look;
  // The decimator's input of step n while steps repeat: step n leaves
  // seen[4 + n % 4].
  uint32_t add[4] = {0, 0, 0, 0};
  uint32_t filter_step = 0;  // the step of the four that runs the output filter
  bool steady = false;
  // The steps looked at start at look_from (a multiple of four, so step n
  // of a round is step k with k % 4 == n); a look that finds no repeat
  // tries again after twice as many steps as the last time (a converter
  // may settle a few samples into a batch). One that leaves the repeat
  // does not look again: the comb filter's integrators drift from then on.
  uint32_t look_from = 0, look_gap = 8 * LOOK;
  uint32_t repeated = 0;

  explicit codec_repeat(uint32_t steps) : look(steps >= 8 * LOOK) {}

  // After full step k: keeps its state while looking, and at the end of
  // a look finds the repeat or moves the look on.
  void after_step(codec_batch& c, uint32_t k) {
    if (look && k >= look_from && k - look_from < LOOK) c.take(seen[k - look_from]);
    if (!look || k + 1 != look_from + LOOK) return;
    if (c.d2 == 0 && seen[LOOK - 1] == seen[3]) {
      steady = true;
      for (uint32_t n = 0; n < 4; ++n) {
        add[n] = (real(seen[4 + n].words[2]) < 0.0f ? ~0u : 1u) << c.shift;
        if (seen[4 + ((n + 3) & 3)].words[SNAPSHOT_PHASE] == 0) filter_step = n;
      }
    } else if (look_gap < (1u << 30)) {
      look_from += look_gap;
      look_gap *= 2;
    }
  }

  // Repeated steps from k up to the next sample end, only the decimator
  // and, once in four, the output filter, and the step of the sample end;
  // k moves past them.
  void steady_steps(codec_batch& c, uint32_t& k, uint32_t steps) {
    const uint32_t left = c.counter < c.period ? c.period - c.counter : 1;
    const bool to_sample = left <= steps - k;
    const uint32_t m = to_sample ? left - 1 : steps - k;
    repeated_decimator(c.a1, c.a2, c.a3, add, k, m);
    // The comb filter's output of that step, the same in every round.
    const uint32_t first_call = (filter_step - k) & 3;
    c.repeated_filter(first_call < m ? (m - first_call + 3) / 4 : 0);
    k += m;
    c.counter += m;
    repeated += m;
    if (!to_sample) return;
    const uint32_t n = k & 3;
    ++k;
    ++repeated;
    c.a1 += add[n];
    c.a2 += c.a1;
    c.a3 += c.a2;
    ++c.counter;
    const uint32_t cosr = c.w[CODEC_COSR];
    const uint32_t period_was = c.period;
    c.sample_end();
    if (c.d2 != 0 || c.period != period_was) {
      // The interpolator's input changed: this step's output part runs
      // from the state the step before it left.
      steady = false;
      c.put_output(seen[4 + ((n + 3) & 3)]);
      c.put_input(seen[4 + n]);
      c.output_part();
      c.finish(cosr);
      return;
    }
    if (n == filter_step) c.output_filter(seen[4 + n].words[SNAPSHOT_COMB]);
    c.finish(cosr);
  }
};

void codec_steps(int periph, uint32_t* w, uint32_t steps) {
  codec_batch c(periph, w);
  cur_state->batched_steps += steps;
  codec_repeat rep(steps);
  uint32_t k = 0;
  while (k < steps) {
    if (rep.steady) {
      rep.steady_steps(c, k, steps);
      continue;
    }
    const uint32_t cosr = w[CODEC_COSR];
    c.input_part();
    if (++c.counter >= c.period) c.sample_end();
    c.output_part();
    c.finish(cosr);
    rep.after_step(c, k);
    ++k;
  }
  cur_state->repeated_steps += rep.repeated;
  if (rep.steady) {
    c.put_output(rep.seen[4 + ((steps - 1) & 3)]);
    c.put_input(rep.seen[4 + ((steps - 1) & 3)]);
  }
  c.store();
}

// n ticks at once; on the "73583" the prescaler passes every (ED + 1)-th.
void codec_ticks(int periph, uint32_t* w, uint32_t n) {
  if (!is_583(periph)) {
    codec_steps(periph, w, n);
    return;
  }
  const uint32_t skip = w[CW_PRESCALE];
  if (skip >= n) {
    w[CW_PRESCALE] = skip - n;
    return;
  }
  const uint32_t ed = w[CODEC_CCR0] & 0x3F, after = n - skip - 1;
  w[CW_PRESCALE] = ed - after % (ed + 1);
  codec_steps(periph, w, 1 + after / (ed + 1));
}

bool converter_runs(const uint32_t* w) {
  const std::vector<uint32_t>& dw = cur_inst->device_words;
  return (w[CODEC_CONTROL] & CONTROL_COE) && !dw[DW_STOP_LATCH] && dw[DW_RESET_HELD] != 1;
}

// The peripheral clock runs at the device clock unless the PLL is on or
// may come on at once (its lock bit is kept while it is off).
bool pll_passes_clock() {
  const uint32_t* core = cur_inst->core;
  return (cur_type->type_bit & TYPE_73521) || !(core[CORE_PLCR] & (PLL_ENABLE | PLL_LOCK));
}

// Event-driven: up to date for the cycles before CW_UPDATED (device time). Between events
// every cycle is a tick while the PLL passes the clock through (a PLL
// switched on takes a thousand cycles to lock, and the codec looks again
// before that).
void codec_catch_up(int periph) {
  uint32_t* w = periph_words(periph);
  const uint32_t now = device_time();
  const uint32_t from = w[CW_UPDATED];
  // An observer inside its own step (a watched register) finds it one
  // cycle past now.
  if (now + 1 == from) return;
  w[CW_UPDATED] = now;
  if (now <= from || !converter_runs(w)) return;
  // The cycle engine, the reference, steps one tick at a time.
  const device_state& st = *cur_state;
  if (now - from > 1 && st.cycle_engine_only == 0 && !st.streams[0] && !st.streams[1] && !st.streams[2] &&
      !st.streams[3]) {
    codec_ticks(periph, w, now - from);
    return;
  }
  for (uint32_t k = from; k < now; ++k) codec_tick(periph, w);
}

// A store with its side effects.
void codec_store_reg(int periph, int reg, uint32_t value) {
  uint32_t* w = periph_words(periph);
  const uint32_t before = w[CODEC_CONTROL];
  set_state_register(periph, reg, value);
  if (reg == CODEC_CONTROL) {
    const uint32_t control = w[CODEC_CONTROL];
    if ((before & CONTROL_COE) && !(control & CONTROL_COE)) {
      codec_converter_reset(periph);
    } else if (!(before & CONTROL_COE) && (control & CONTROL_COE)) {
      w[CW_SAMPLE_PERIOD] = sample_period(periph, w);
      w[CW_UPDATED] = device_time();
    }
    update_request(w);
  } else if (reg == CODEC_CTX) {
    uint32_t cosr = w[CODEC_COSR] & ~COSR_CTDE;
    if (w[CW_UNDERRUN_SEEN]) cosr &= ~COSR_CTUE;
    store_cosr(periph, w, cosr);
    update_request(w);
  }
  peripherals_changed();
}

int codec_get_reg(int periph, int reg, uint32_t* out) {
  return get_state_register(periph, reg, out);
}

int codec_set_reg(int periph, int reg, const uint32_t* value) {
  codec_store_reg(periph, reg, *value);
  return 1;
}

// The program's reads: cosr shows what a later crx read clears.
void codec_bus_read(int periph, uint32_t address, uint32_t* out, int flag) {
  const int reg = find_bus_register(periph, address, REG_READABLE);
  if (reg < 0) return;
  uint32_t* w = periph_words(periph);
  *out = w[reg];
  if (flag == 0) return;
  if (reg == CODEC_COSR) {
    w[CW_OVERRUN_SEEN] = (w[CODEC_COSR] & COSR_CROE) ? 1 : 0;
    w[CW_UNDERRUN_SEEN] = (w[CODEC_COSR] & COSR_CTUE) ? 1 : 0;
  } else if (reg == CODEC_CRX) {
    uint32_t cosr = w[CODEC_COSR] & ~COSR_CRDF;
    if (w[CW_OVERRUN_SEEN]) cosr &= ~COSR_CROE;
    store_cosr(periph, w, cosr);
    update_request(w);
    peripherals_changed();
  }
}

int codec_bus_write(int periph, uint32_t address, uint32_t value, int) {
  if (address == IO_IPR) {
    uint32_t* w = periph_words(periph);
    w[CW_PRIORITY] = value & cur_type->periphs[periph].ipr_bits;
    update_request(w);
    return 0;
  }
  const int reg = find_bus_register(periph, address, REG_WRITABLE);
  if (reg >= 0) codec_store_reg(periph, reg, value);
  return 0;
}

// The cycle of an event: the cycles before it, then its own.
void codec_clock(int periph) {
  codec_catch_up(periph);
  uint32_t* w = periph_words(periph);
  w[CW_UPDATED] = device_time() + 1;
  if (converter_runs(w) && cur_inst->core[CS_PERIPH_TICK]) codec_tick(periph, w);
}

// Cycles from now to the n-th converter step (n >= 1).
uint32_t cycles_to_step(int periph, const uint32_t* w, uint32_t n) {
  if (!is_583(periph)) return n - 1;
  return w[CW_PRESCALE] + (n - 1) * ((w[CODEC_CCR0] & 0x3F) + 1);
}

constexpr uint32_t LOOK_AGAIN = 999;
// Steps left for a later catch-up (which counts every cycle a tick: the
// PLL is looked at before any is left, within LOOK_AGAIN cycles of a
// change).
constexpr uint32_t STEPS_LEFT_AT_MOST = 8 * LOOK_AGAIN;

// Every tick while the device has streams (voltages in and out, pins
// watched) or the PLL divides the clock; otherwise the step that raises
// the request, looking again within a thousand cycles for the PLL.
uint32_t codec_next_event(int periph) {
  const uint32_t* w = periph_words(periph);
  {
    // Without a request to schedule the answer does not depend on the
    // steps: they wait for a later catch-up, so the batches are long
    // whatever else schedules events.
    const device_state& st = *cur_state;
    const uint32_t now = device_time(), from = w[CW_UPDATED];
    if (now >= from && now - from < STEPS_LEFT_AT_MOST && converter_runs(w) && pll_passes_clock() &&
        !((w[CODEC_CONTROL] & CONTROL_COIE) && w[CW_PRIORITY]) && !st.streams[0] && !st.streams[1] &&
        !st.streams[2] && !st.streams[3])
      return LOOK_AGAIN;
  }
  codec_catch_up(periph);
  if (cur_inst->device_words[DW_STOP_LATCH]) return (w[CODEC_CONTROL] & CONTROL_COE) ? 0 : NO_EVENT;
  if (!converter_runs(w)) return NO_EVENT;
  const device_state& st = *cur_state;
  if (!pll_passes_clock() || st.streams[0] || st.streams[1] || st.streams[2] || st.streams[3]) return 0;
  uint32_t next = LOOK_AGAIN;
  if ((w[CODEC_CONTROL] & CONTROL_COIE) && w[CW_PRIORITY]) {
    const bool flags = (w[CODEC_COSR] & (COSR_CRDF | COSR_CTDE)) != 0;
    const uint32_t counter = w[CW_STEP_COUNTER], period = w[CW_SAMPLE_PERIOD];
    const uint32_t steps = flags && !w[CW_REQUEST] ? 1 : counter < period ? period - counter : 1;
    const uint32_t cycles = cycles_to_step(periph, w, steps);
    if (cycles < next) next = cycles;
  }
  return next;
}

// A voltage in and out of the streams.
int codec_input_word(const char* text, stream_value* out) {
  out->real = std::strtod(text, nullptr);
  out->integer = 0;
  out->flags = SV_FLOAT;
  return 1;
}

int codec_output_word(const stream_value& value, char* text, std::size_t size) {
  std::snprintf(text, size, "%13f", value.real);
  return 1;
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
  w[CW_UPDATED] = device_time();
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
    codec_catch_up,    codec_next_event,  codec_input_word, codec_output_word,
};
const periph_class codec_class_583 = {
    codec_get_reg,     codec_set_reg, codec_bus_read,    codec_bus_write,
    codec_clock,       codec_reset,   codec_pending_irq, codec_ack_irq,
    CODEC_CLASS_WORD,  CODEC_STATE_WORDS,
    static_cast<int>(std::size(codec_regs_583)), codec_regs_583,
    codec_catch_up,    codec_next_event,  codec_input_word, codec_output_word,
};
