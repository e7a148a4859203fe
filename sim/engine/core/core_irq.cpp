// Interrupt arbitration over the core's own sources and every peripheral,
// the sampling of the interrupt and reset pins, and the start of an
// interrupt sequence.
#include <array>
#include <cstdint>
#include <utility>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/runloop.h"

namespace {

constexpr uint32_t TRAP_LEVEL = 4;

// The core's sources in the order of its answer; level_of gives the
// source's level from the priority registers.
struct core_source {
  int vector;
  int pending;
  uint32_t (*level_of)(const uint32_t* w);
};

uint32_t trap_level(const uint32_t*) { return TRAP_LEVEL; }
uint32_t irqa_level(const uint32_t* w) { return w[CORE_IPR] & 3; }
uint32_t irqb_level(const uint32_t* w) { return (w[CORE_IPR] >> 3) & 3; }
uint32_t irqc_level(const uint32_t* w) { return core_is_583() ? (w[CORE_IPR2] >> 4) & 1 : 0; }
uint32_t channel_level(const uint32_t* w) { return w[CS_CHANNEL_LEVEL]; }

constexpr std::array<core_source, 9> core_sources = {{
    {2, CS_PEND_ILLEGAL, trap_level},
    {4, CS_PEND_STACK, trap_level},
    {8, CS_PEND_SWI, trap_level},
    {10, CS_PEND_IRQA, irqa_level},
    {12, CS_PEND_IRQB, irqb_level},
    {14, CS_PEND_IRQC, irqc_level},
    {48, CS_PEND_CH0, channel_level},
    {50, CS_PEND_CH1, channel_level},
    {52, CS_PEND_CH2, channel_level},
}};

uint32_t lowest_bit(uint32_t v) {
  return v & (~v + 1);
}

// One pin: edge mode latches a falling edge, level mode follows the pin.
struct irq_pin {
  uint32_t pin;
  int pending;
  int edge;
  int high;
  bool (*edge_mode)(const uint32_t* w);
  bool (*present)();
  uint32_t (*level_of)(const uint32_t* w);
};
bool irqa_edge(const uint32_t* w) { return (w[CORE_IPR] & 0x4) != 0; }
bool irqb_edge(const uint32_t* w) { return (w[CORE_IPR] & 0x20) != 0; }
bool irqc_edge(const uint32_t* w) { return (w[CORE_IPR2] & 0x20) != 0; }
bool always() { return true; }

constexpr std::array<irq_pin, 3> irq_pins = {{
    {CTL_IRQA, CS_PEND_IRQA, CS_EDGE_IRQA, CS_HIGH_IRQA, irqa_edge, always, irqa_level},
    {CTL_IRQB, CS_PEND_IRQB, CS_EDGE_IRQB, CS_HIGH_IRQB, irqb_edge, always, irqb_level},
    {CTL_IRQC, CS_PEND_IRQC, CS_EDGE_IRQC, CS_HIGH_IRQC, irqc_edge, core_is_583, irqc_level},
}};

// Pin I of the table, sampled every clock: unrolled at compile time so the
// row's tests are inlined.
template <std::size_t I>
void sample_pin(uint32_t* w, uint32_t level) {
  constexpr irq_pin p = irq_pins[I];
  if (!p.present()) return;
  const bool high = (level & p.pin) != 0;
  if (p.edge_mode(w)) {
    if (w[p.high] && !high) {
      w[p.edge] = 1;
      w[p.pending] = 1;
      raise_interrupt_request();
    }
  } else {
    // A low pin of a disabled source raises nothing: the ipr store that
    // enables it marks the pins, and the sample then raises it.
    w[p.pending] = high ? 0 : 1;
    if (!high && p.level_of(w) != 0) raise_interrupt_request();
  }
  w[p.high] = high ? 1 : 0;
}

template <std::size_t... I>
void sample_pins(uint32_t* w, uint32_t level, std::index_sequence<I...>) {
  (sample_pin<I>(w, level), ...);
}


}  // namespace

bool core_sample_irq_pins() {
  uint32_t* w = core_words();
  const uint32_t level = periph_pin_block(PINS_CONTROL)[PIN_LEVEL];
  sample_pins(w, level, std::make_index_sequence<irq_pins.size()>{});
  if (!(level & CTL_RESET)) cur_inst->device_words[DW_RESET_HELD] = 1;
  // A repeat with the same level finds no new edge, sets the same level
  // requests and highs (a request stays raised while its word is pending),
  // as long as nothing else clears a pending word or changes a mode: those
  // that do (acknowledge, reset, the end of STOP, ipr stores) mark the pins.
  // A held reset is the cycle engine's to release.
  return (level & CTL_RESET) != 0;
}

namespace {

// Source I of the table answers with its vector, or -1: unrolled at
// compile time so the row's level function is inlined.
template <std::size_t I>
int source_answer(const uint32_t* w) {
  constexpr core_source s = core_sources[I];
  // A source at level 0 is disabled: it must not hide the ones after it.
  if (!w[s.pending] || s.level_of(w) == 0) return -1;
  // IRQA gives way to IRQB only when IRQB's level is above its own.
  if (s.vector == 10 && w[CS_PEND_IRQB] && irqb_level(w) > irqa_level(w)) return -1;
  return s.vector;
}

template <std::size_t... I>
int first_source_answer(const uint32_t* w, std::index_sequence<I...>) {
  int vector = -1;
  static_cast<void>((((vector = source_answer<I>(w)) >= 0) || ...));
  return vector;
}

// The peripheral rows that may raise interrupts (priority bits and a
// pending slot), per type, listed once per thread.
struct irq_rows {
  bool built = false;
  int count = 0;
  std::array<int, 16> row{};
};
thread_local std::array<irq_rows, TYPE_COUNT> irq_row_lists;

const irq_rows& irq_rows_of(int type) {
  irq_rows& list = irq_row_lists[static_cast<std::size_t>(type)];
  if (!list.built) {
    const device_type& t = *device_types[type];
    list.count = 0;
    for (int row = 1; row < t.periph_count && list.count < static_cast<int>(list.row.size()); ++row) {
      const periph_row& pr = t.periphs[row];
      if (pr.ipr_bits && pr.cls->pending) list.row[static_cast<std::size_t>(list.count++)] = row;
    }
    list.built = true;
  }
  return list;
}

}  // namespace

int core_pending_irq() {
  uint32_t* w = core_words();
  w[CS_IRQA_LEVEL] = irqa_level(w);
  w[CS_IRQB_LEVEL] = irqb_level(w);
  w[CS_IRQC_LEVEL] = irqc_level(w);
  const bool pagu = core_is_583() && (w[CORE_OMR] & OMR_PAGU);
  w[CS_CHANNEL_LEVEL] = pagu ? w[CORE_IPR2] & 3 : 0;
  if (!w[CS_CHANNEL_LEVEL]) w[CS_PEND_CH0] = w[CS_PEND_CH1] = w[CS_PEND_CH2] = 0;
  return first_source_answer(w, std::make_index_sequence<core_sources.size()>{});
}

// Any enabled source with its pending word set. A disabled one keeps no
// request: whatever enables it (an ipr, ipr2 or omr store) raises one.
bool core_source_pending(const uint32_t* w) {
  for (const core_source& s : core_sources)
    if (w[s.pending] && s.level_of(w) != 0) return true;
  return false;
}

int core_check_interrupts() {
  // No request raised since the last arbitration that found none.
  if (!cur_inst->irq_request) return 0;
  uint32_t* w = core_words();
  int best_vector = core_pending_irq();
  bool any_pending = best_vector >= 0 || core_source_pending(w);
  uint32_t best_level = 0;
  int best_row = 0;
  if (best_vector >= 0) {
    for (const core_source& s : core_sources)
      if (s.vector == best_vector) best_level = s.level_of(w);
  }
  const uint32_t ipr = w[CORE_IPR];
  const irq_rows& rows = irq_rows_of(cur_inst->type);
  for (int k = 0; k < rows.count; ++k) {
    const int row = rows.row[static_cast<std::size_t>(k)];
    const periph_row& pr = cur_type->periphs[row];
    const int vector = pr.cls->pending(row);
    if (vector < 0) continue;
    any_pending = true;
    const uint32_t level = (ipr & pr.ipr_bits) / lowest_bit(pr.ipr_bits);
    if (level > best_level) {
      best_level = level;
      best_vector = vector;
      best_row = row;
    }
  }
  if (!any_pending) cur_inst->irq_request = 0;
  const uint32_t mask = (w[CORE_SR] >> 8) & 3;
  if (best_level == 0 || mask >= best_level) return 0;
  w[CS_TAKEN_LEVEL] = best_level;
  w[CS_TAKEN_VECTOR] = static_cast<uint32_t>(best_vector);
  w[CS_TAKEN_ROW] = static_cast<uint32_t>(best_row);
  return 1;
}

void ack_taken_interrupt() {
  const uint32_t* w = core_words();
  const int row = static_cast<int>(w[CS_TAKEN_ROW]);
  const int vector = static_cast<int>(w[CS_TAKEN_VECTOR]) & ~1;
  if (row < 0 || row >= cur_type->periph_count) return;
  const periph_class* cls = cur_type->periphs[row].cls;
  if (cls->acknowledge) cls->acknowledge(row, vector);
}

int interrupt_entering(uint32_t* resume, uint32_t* depth) {
  if (cur_inst == nullptr || cur_inst->core == nullptr) return 0;
  const uint32_t* w = core_words();
  if (w[CS_IRQ_SEQ_STEP] != 1) return 0;
  if (resume != nullptr) *resume = w[CS_IRQ_RETURN];
  if (depth != nullptr) *depth = core_reg_value(CORE_SP);
  return 1;
}

void irq_sequence_start(uint32_t return_address) {
  uint32_t* w = core_words();
  w[CS_IRQ_RETURN] = return_address & 0xFFFF;
  w[CS_IRQ_SEQ_STEP] = 1;
  w[CS_IRQ_SEQ_CYCLES] = device_time(*cur_inst);
  w[CS_IRQ_ABANDONED] = 0;
  w[CS_IRQ_LONG] = 0;
  w[CS_PENDING_ACK] = 1;
  w[CS_NEXT_FETCH] = 1;
  w[CS_NEXT_TARGET] = w[CS_TAKEN_VECTOR] & 0xFFFF;
}

void irq_enter_long() {
  uint32_t* w = core_words();
  w[CS_IRQ_LONG] = 1;
  ss_push(CS_IRQ_RETURN, CORE_SR);
  const uint32_t level = w[CS_TAKEN_LEVEL] >= 4 ? 3 : w[CS_TAKEN_LEVEL];
  uint32_t sr = w[CORE_SR] & ~(0x0F00u | SR_FOREVER | SR_LOOP);
  sr |= level << 8;
  if (w[CORE_OMR] & OMR_PAGU) sr |= SR_PAGE;
  core_store_reg(CORE_SR, sr);
}
