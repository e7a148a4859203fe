// The DSP core as a peripheral: its three register tables, register access
// by number with the side effects of each store, the memory-mapped control
// registers, reset and interrupt acknowledge, and the register store
// helpers the cycle engine shares.
//
// - `core_regs.cpp`: the three core variants (36, 37, 47 registers) with the side effects of
//   register stores (pc flushes the pipeline and clears the counts, sp raises the stack-error
//   interrupt once, omr restarts the bus arbitration, r0-r3 replace a pending address-unit update),
//   the bus-mapped PLL and priority registers, reset kinds 0/1/2.
#include <array>
#include <cstdint>
#include <cstdio>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"

namespace {

// ---------------------------------------------------------------------------
// Register tables.

constexpr uint32_t ATTR_PLAIN = 0x4010;
constexpr uint32_t ATTR_CTRL = 0x204010;
constexpr uint32_t ACC_WHOLE = 0x201004;
constexpr uint32_t ACC_WORD = 0x10001001;
constexpr uint32_t ACC_EXT = 0x40001001;
constexpr uint32_t ACC_PAIR = 0x2003002;
constexpr uint32_t ACC_BUS = 0x10001061;
constexpr uint32_t ACC_IPR = 0x100010E1;

constexpr const char* HELP_ACC = "Data Alu Accumulator Register";
constexpr const char* HELP_DATA = "Data Alu Register";
constexpr const char* HELP_BCR =
    "Port A Bus Control Register\n"
    " {R B}\n"
    " {H S} * * * *|{  X mem  }|{  P mem  }";
constexpr const char* HELP_IPR =
    "Interrupt Priority Register.\n"
    "     {S S S S}         {I I I I I I}\n"
    " {T T 1 1 0 0 H H}     {B B B A A A}\n"
    " {L L L L L L L L}     {L L L L L L}\n"
    " {1 0 1 0 1 0 1 0} * * {2 1 0 2 1 0}";
constexpr const char* HELP_IPR_47 =
    "Interrupt Priority Register.\n"
    "     {S S S S}         {I I I I I I}\n"
    " {T T 1 1 0 0 H H C C B B B A A A}\n"
    " {L L L L L L L L L L L L L L L L}\n"
    " {1 0 1 0 1 0 1 0 1 0 2 1 0 2 1 0}";
constexpr const char* HELP_LA = "Program Controller Loop Address Register";
constexpr const char* HELP_LC = "Program Controller Loop Count Register";
constexpr const char* HELP_M = "Address Alu Modulo Register";
constexpr const char* HELP_N = "Address Alu Offset Register";
constexpr const char* HELP_OMR =
    "Program Controller Operating Mode Register\n"
    " {C S   S E M M M}\n"
    " {D D R A X C B A}";
constexpr const char* HELP_OMR_47 =
    "Program Controller Operating Mode Register\n"
    " {            P   C S   S E M M M}\n"
    " {            E   D D R A X C B A}";
constexpr const char* HELP_PC = "Program Controller Program Counter Register";
constexpr const char* HELP_R = "Address Alu Address Register";
constexpr const char* HELP_SP = "Program Controller Stack Pointer Register";
constexpr const char* HELP_SR =
    "Program Controller Status Register\n"
    " {      MR       }|{    CCR        }\n"
    " {L F A}   {S S I I}\n"
    " {F V D * 1 0 1 0 S L E U N Z V C}";
constexpr const char* HELP_SSH = "Program Controller System Stack High";
constexpr const char* HELP_SSL = "Program Controller System Stack Low";
constexpr const char* HELP_PLCR =
    "PLL Control Register.\n"
    " {L P P}\n"
    " {O L L G C C     Y Y Y Y E E E E}\n"
    " {C L L S S S     D D D D D D D D}\n"
    " {K E D M 1 0 * * 3 2 1 0 3 2 1 0}";
constexpr const char* HELP_PCR1 =
    "PLL Control Register 1.\n"
    " {L P P}\n"
    " {O L L   C C                    }\n"
    " {C L L P S S                    }\n"
    " {K E D S 1 0 * * * * * * * * * *}";
constexpr const char* HELP_IPR2 =
    "Interrupt Priority Register 2.\n"
    "     I I\n"
    "     C C     P P\n"
    "     L L     L L\n"
    " * * 2 1 * * 1 0";
constexpr const char* HELP_PCR0 =
    "PLL Control Register 0.\n"
    " {I I I I P P P P Y Y Y Y Y Y Y Y}\n"
    " {D D D D D D D D D D D D D D D D}\n"
    " {3 2 1 0 3 2 1 0 7 6 5 4 3 2 1 0}";
constexpr const char* HELP_BCR2 = "Port A Bus Control Register 2";
constexpr const char* HELP_PAGU = "Peripheral Address Generation Unit Register";
constexpr const char* HELP_APASAM = "Programmable Absolute Short Addressing Mode Register";

// Registers 0-35, common to every variant apart from omr, sr and ipr.
#define CORE_COMMON_REGS(IPR_HELP, OMR_MASK, OMR_HELP, SR_MASK)       \
  {"a", 0xFFFF, 0, ATTR_PLAIN, ACC_WHOLE, HELP_ACC},                  \
  {"a0", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"a1", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"a2", 0xFF, 0, ATTR_PLAIN, ACC_EXT, HELP_DATA},                    \
  {"b", 0xFFFF, 0, ATTR_PLAIN, ACC_WHOLE, HELP_ACC},                  \
  {"b0", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"b1", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"b2", 0xFF, 0, ATTR_PLAIN, ACC_EXT, HELP_DATA},                    \
  {"bcr", 0xFFFF, 0xFFDE, ATTR_CTRL, ACC_BUS, HELP_BCR},              \
  {"ipr", 0xFFFF, 0xFFDF, ATTR_CTRL, ACC_IPR, IPR_HELP},              \
  {"la", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_LA},                    \
  {"lc", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_LC},                    \
  {"m0", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_M},                     \
  {"m1", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_M},                     \
  {"m2", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_M},                     \
  {"m3", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_M},                     \
  {"n0", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_N},                    \
  {"n1", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_N},                    \
  {"n2", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_N},                    \
  {"n3", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_N},                    \
  {"omr", OMR_MASK, 0, ATTR_CTRL, ACC_WORD, OMR_HELP},                \
  {"pc", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_PC},                    \
  {"r0", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_R},                    \
  {"r1", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_R},                    \
  {"r2", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_R},                    \
  {"r3", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_R},                    \
  {"sp", 0x3F, 0, ATTR_CTRL, ACC_WORD, HELP_SP},                      \
  {"sr", SR_MASK, 0, ATTR_CTRL, ACC_WORD, HELP_SR},                   \
  {"ssh", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_SSH},                  \
  {"ssl", 0xFFFF, 0, ATTR_CTRL, ACC_WORD, HELP_SSL},                  \
  {"x", 0xFFFF, 0, ATTR_PLAIN, ACC_PAIR, HELP_DATA},                  \
  {"x0", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"x1", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"y", 0xFFFF, 0, ATTR_PLAIN, ACC_PAIR, HELP_DATA},                  \
  {"y0", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA},                 \
  {"y1", 0xFFFF, 0, ATTR_PLAIN, ACC_WORD, HELP_DATA}

constexpr reg_desc core_regs_36[] = {
    CORE_COMMON_REGS(HELP_IPR, 0xFF, HELP_OMR, 0xCFFF),
};
constexpr reg_desc core_regs_37[] = {
    CORE_COMMON_REGS(HELP_IPR, 0xFF, HELP_OMR, 0xCFFF),
    {"plcr", 0xFCFF, 0xFFDC, ATTR_CTRL, ACC_BUS, HELP_PLCR},
};
constexpr reg_desc core_regs_47[] = {
    CORE_COMMON_REGS(HELP_IPR_47, 0x2FF, HELP_OMR_47, 0xEFFF),
    {"pcr1", 0xFC00, 0xFFDC, ATTR_CTRL, ACC_BUS, HELP_PCR1},
    {"ipr2", 0x33, 0xFFDD, ATTR_CTRL, ACC_IPR, HELP_IPR2},
    {"pcr0", 0xFFFF, 0xFFDB, ATTR_CTRL, 0x1061, HELP_PCR0},
    {"bcr2", 0x1F, 0xFFDA, ATTR_CTRL, ACC_BUS, HELP_BCR2},
    {"pagur0", 0xFFFF, 0xFFD7, ATTR_PLAIN, ACC_BUS, HELP_PAGU},
    {"pagur1", 0xFFFF, 0xFFD6, ATTR_PLAIN, ACC_BUS, HELP_PAGU},
    {"pagur2", 0xFFFF, 0xFFD5, ATTR_PLAIN, ACC_BUS, HELP_PAGU},
    {"paguc0", 0xFFFF, 0xFFCF, ATTR_PLAIN, ACC_BUS, HELP_PAGU},
    {"paguc1", 0xFFFF, 0xFFCE, ATTR_PLAIN, ACC_BUS, HELP_PAGU},
    {"paguc2", 0xFFFF, 0xFFCD, ATTR_PLAIN, ACC_BUS, HELP_PAGU},
    {"apasam", 0xFFF0, 0xFFCA, ATTR_PLAIN, ACC_BUS, HELP_APASAM},
};
#undef CORE_COMMON_REGS

static_assert(std::size(core_regs_36) == 36);
static_assert(std::size(core_regs_37) == 37);
static_assert(std::size(core_regs_47) == CORE_REG_WORDS);

// The lowest and highest bus address any variant answers.
constexpr uint32_t CORE_BUS_LOW = 0xFFCA;
constexpr uint32_t CORE_BUS_HIGH = 0xFFDF;

// The composite register each part belongs to, or -1.
constexpr std::array<int8_t, CORE_REG_WORDS> make_composites() {
  std::array<int8_t, CORE_REG_WORDS> t{};
  for (auto& c : t) c = -1;
  t[CORE_A0] = t[CORE_A1] = t[CORE_A2] = CORE_A;
  t[CORE_B0] = t[CORE_B1] = t[CORE_B2] = CORE_B;
  t[CORE_X0] = t[CORE_X1] = CORE_X;
  t[CORE_Y0] = t[CORE_Y1] = CORE_Y;
  return t;
}
constexpr auto composite_of = make_composites();

const reg_desc& reg_info(int reg) {
  return cur_type->periphs[0].cls->regs[reg];
}

bool valid_word(int reg) {
  return reg >= 0 && reg < CORE_STATE_WORDS;
}

// ---------------------------------------------------------------------------
// Marks and the side effects of a store by number.

void feed_output_streams(int reg) {
  if (periph_attrs(0)[reg] & ATTR_OUT_STREAMS) write_register_output(0, reg);
}

// The interrupt pin sample reads the edge modes too.
// A level given to a source with a latched request: arbitration looks again.
void mark_ipr(uint32_t* w) {
  if (!(w[CORE_IPR] & 0x4)) w[CS_EDGE_IRQA] = 0;
  if (!(w[CORE_IPR] & 0x20)) w[CS_EDGE_IRQB] = 0;
  cur_inst->pins_changed = 1;
  raise_interrupt_request();
}

void mark_pc(uint32_t*) {
  cur_inst->flags |= DEV_PC_WRITTEN;
}

// Bit 4 raises the stack-error trap once until it is cleared again.
void mark_sp(uint32_t* w) {
  if (!(w[CORE_SP] & SP_ERROR)) {
    w[CS_STACK_ERROR_SEEN] = 0;
  } else if (!w[CS_STACK_ERROR_SEEN]) {
    w[CS_STACK_ERROR_SEEN] = 1;
    w[CS_PEND_STACK] = 1;
    raise_interrupt_request();
  }
}

void mark_ipr2(uint32_t* w) {
  if (w[CORE_IPR2] & 0x30) w[CS_EDGE_IRQC] = 0;
  cur_inst->pins_changed = 1;
  raise_interrupt_request();
}

// The bus pin sample reads omr's requester bit; the channel sources'
// level follows its PAGU bit.
void mark_omr(uint32_t*) {
  cur_inst->pins_changed = 1;
  raise_interrupt_request();
}

using mark_effect = void (*)(uint32_t* w);
constexpr std::array<mark_effect, CORE_REG_WORDS> make_mark_effects() {
  std::array<mark_effect, CORE_REG_WORDS> t{};
  t[CORE_IPR] = mark_ipr;
  t[CORE_PC] = mark_pc;
  t[CORE_SP] = mark_sp;
  t[CORE_IPR2] = mark_ipr2;
  t[CORE_OMR] = mark_omr;
  return t;
}
constexpr auto mark_effects = make_mark_effects();

// The attribute marks of a store without touching a word: the stack
// windows and the composites have none of their own.
void mark_attrs(int reg) {
  periph_attrs(0)[reg] |= ATTR_WRITTEN | ATTR_CHANGED;
  feed_output_streams(reg);
}

// The effects of a store beyond its marks: rare, kept out of line.
[[gnu::noinline]] void store_effects(int reg, int comp, uint32_t offset) {
  if (mark_effects[reg]) mark_effects[reg](core_words());
  feed_output_streams(reg);
  if (comp >= 0) mark_attrs(comp);
  if (offset) note_periph_write(offset);
}

// Marks a store already made into word reg. The access-log note is left
// to the caller for stores that arrive over the bus.
void mark_store(int reg, bool mark_composite, bool note_bus) {
  const periph_class& cls = *cur_inst->core_class;
  if (reg < 0 || reg >= cls.reg_count) return;
  const reg_desc& d = cls.regs[reg];
  uint32_t& attr = cur_state->core_attrs[reg];
  attr |= ATTR_WRITTEN | ATTR_CHANGED;
  core_words()[reg] &= d.valid_mask;
  int comp = mark_composite ? composite_of[reg] : -1;
  // A composite already marked, feeding no stream, gains nothing from
  // another mark: the usual case for the accumulator parts in a loop.
  constexpr uint32_t MARKED = ATTR_WRITTEN | ATTR_CHANGED;
  if (comp >= 0 && (cur_state->core_attrs[comp] & (MARKED | ATTR_OUT_STREAMS)) == MARKED)
    comp = -1;
  const uint32_t offset = note_bus ? d.offset : 0;
  // Most stores (the data registers) have none of these effects.
  if (mark_effects[reg] || (attr & ATTR_OUT_STREAMS) || comp >= 0 || offset)
    store_effects(reg, comp, offset);
}

// Register number of the variant's register at a bus address, or -1.
int reg_at_address(uint32_t address) {
  if (address < CORE_BUS_LOW || address > CORE_BUS_HIGH) return -1;
  const periph_class& cls = *cur_type->periphs[0].cls;
  for (int r = 0; r < cls.reg_count; ++r)
    if (cls.regs[r].offset == address) return r;
  return -1;
}

void start_lock_count(uint32_t* w) {
  w[CS_PLL_LOCK_COUNT] = PLL_LOCK_CYCLES;
}

// A store over the bus: the PLL control registers guard their lock bit.
void bus_store(int reg, uint32_t value) {
  uint32_t* w = core_words();
  const uint32_t old = w[reg];
  uint32_t v = value & reg_info(reg).valid_mask;
  if (reg == CORE_PLCR) {
    v = (v & ~PLL_LOCK) | (old & PLL_LOCK);
    if ((old & PLL_ENABLE) && !(old & PLL_POWER_DOWN)) v &= ~PLL_POWER_DOWN;
    if ((v & ~old & PLL_POWER_DOWN) || ((v ^ old) & 0xFF)) {
      v &= ~PLL_LOCK;
      start_lock_count(w);
    }
  } else if (reg == CORE_PCR0 && ((v ^ old) & 0xFFF)) {
    w[CORE_PLCR] &= ~PLL_LOCK;
    start_lock_count(w);
  }
  w[reg] = v;
  mark_store(reg, true, false);
}

// ---------------------------------------------------------------------------
// Register writes by number: the registers with effects of their own.

void store_plain(int reg, uint32_t value) {
  core_word(reg) = value;
  mark_store(reg, true, true);
}

using set_effect = void (*)(int reg, const uint32_t* value);

// Composites: the low parts quietly, the top part marks the composite.
void set_accumulator(int reg, const uint32_t* value) {
  core_store_reg_quiet(reg + 1, value[0] & 0xFFFF);
  core_store_reg_quiet(reg + 2, value[1] & 0xFFFF);
  core_store_reg(reg + 3, value[2] & 0xFFFF);
}

void set_pair(int reg, const uint32_t* value) {
  core_store_reg_quiet(reg + 1, value[0] & 0xFFFF);
  core_store_reg(reg + 2, value[1] & 0xFFFF);
}

void store_omr(uint32_t value) {
  uint32_t* w = core_words();
  const uint32_t old = w[CORE_OMR];
  store_plain(CORE_OMR, value);
  if ((old ^ w[CORE_OMR]) & OMR_BUS_REQUESTER) w[CS_ARB_STATE] = 0;
  w[CS_OPERATING_MODE] = value & 0x2FF;
}

void set_omr(int, const uint32_t* value) {
  store_omr(value[0] & 0xFFFF);
}

void set_pc(int, const uint32_t* value) {
  const uint32_t v = value[0] & 0xFFFF;
  store_plain(CORE_PC, v);
  cur_state->run_word = 0;
  cur_inst->pc = v;
  core_word(CS_PAB) = v;  // the restart notes it
  core_flush_pipeline();
}

// A store into the register the address unit is about to update replaces
// the pending update.
void set_address_reg(int reg, const uint32_t* value) {
  const uint32_t v = value[0] & 0xFFFF;
  uint32_t* w = core_words();
  store_plain(reg, v);
  if (w[CS_AGU_PENDING] == static_cast<uint32_t>(reg)) w[CS_AGU_UPDATE] = v;
  if (reg == CORE_R3) w[CS_AGU2_R3] = v;
}

void set_stack_window(int reg, const uint32_t* value) {
  uint32_t* w = core_words();
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  if (p == 0) return;
  w[(reg == CORE_SSH ? CS_SS_HIGH : CS_SS_LOW) + p] = value[0] & 0xFFFF;
  mark_attrs(reg);
}

constexpr std::array<set_effect, CORE_REG_WORDS> make_set_effects() {
  std::array<set_effect, CORE_REG_WORDS> t{};
  t[CORE_A] = t[CORE_B] = set_accumulator;
  t[CORE_X] = t[CORE_Y] = set_pair;
  t[CORE_OMR] = set_omr;
  t[CORE_PC] = set_pc;
  t[CORE_R0] = t[CORE_R1] = t[CORE_R2] = t[CORE_R3] = set_address_reg;
  t[CORE_SSH] = t[CORE_SSL] = set_stack_window;
  return t;
}
constexpr auto set_effects = make_set_effects();

// ---------------------------------------------------------------------------
// Interrupt acknowledge: the pending word and edge latch of each vector.

struct irq_source {
  int vector;
  int pending;
  int edge;  // 0 when the source has no edge latch
};
constexpr irq_source core_irq_sources[] = {
    {2, CS_PEND_ILLEGAL, 0},       {4, CS_PEND_STACK, 0},
    {8, CS_PEND_SWI, 0},           {10, CS_PEND_IRQA, CS_EDGE_IRQA},
    {12, CS_PEND_IRQB, CS_EDGE_IRQB}, {14, CS_PEND_IRQC, CS_EDGE_IRQC},
    {48, CS_PEND_CH0, 0},          {50, CS_PEND_CH1, 0},
    {52, CS_PEND_CH2, 0},
};

// ---------------------------------------------------------------------------
// Reset.

// Strobes and bus-control outputs high, bg low; address and data pins
// undriven. The arbitration machine takes the bus pins over from here.
void idle_pins(uint32_t omr) {
  constexpr uint32_t high = CTL_RD | CTL_WR | CTL_BS | CTL_TS | CTL_RW | CTL_PS | CTL_BB | CTL_BR |
                            CTL_PEREN;
  uint32_t* control = periph_pin_block(PINS_CONTROL);
  set_pin_word(control, PIN_DRIVEN_LEVEL, (control[PIN_DRIVEN_LEVEL] | high) & ~CTL_BG);
  set_pin_word(control, PIN_DRIVEN, CTL_BS | ((omr & OMR_BUS_REQUESTER) ? CTL_BR : CTL_BG));
  set_pin_word(periph_pin_block(PINS_ADDRESS), PIN_DRIVEN, 0);
  set_pin_word(periph_pin_block(PINS_DATA), PIN_DRIVEN, 0);
}

uint32_t reset_address(uint32_t omr) {
  if ((omr & OMR_MODE) == 2) return 0xE000;
  if ((omr & OMR_MODE) == 1 && core_is_583()) return 0x0100;
  return 0x0000;
}

void full_reset() {
  uint32_t* w = core_words();
  core_store_reg(CORE_PLCR, 0);
  if (core_is_583()) {
    core_store_reg(CORE_PCR0, 0);
    core_store_reg(CORE_APASAM, 0);
  }
  for (int r = CORE_M0; r <= CORE_M3; ++r) core_store_reg(r, 0xFFFF);
  core_store_reg(CORE_LC, 0xFFFF);
  core_store_reg(CORE_LA, 0xFFFF);
  core_store_reg(CORE_SR, 0x0300);
  if (core_is_583()) write_peripheral_bus(0xFFDA, 0x001F, 1);
  write_peripheral_bus(0xFFDE, 0x03FF, 1);
  store_omr(cur_inst->device_words[DW_OPERATING_MODE] & 0xFFFF);
  w[CS_PEND_STACK] = 0;
  w[CS_PEND_SWI] = 0;
  const uint32_t start = reset_address(w[CORE_OMR]);
  core_store_reg(CORE_PC, start);
  cur_inst->pc = start;
  w[CS_PAB] = start;
  core_store_reg(CORE_SP, 0);
  idle_pins(w[CORE_OMR]);
  w[CS_ARB_STATE] = 0;
  core_flush_pipeline();
}

}  // namespace

// ---------------------------------------------------------------------------
// Register store helpers.

void core_store_reg_marks(int reg, uint32_t value, bool mark_composite) {
  if (!valid_word(reg)) return;
  core_word(reg) = value;
  mark_store(reg, mark_composite, true);
}

void core_copy_reg(int dest, int src) {
  if (!valid_word(src)) return;
  core_store_reg(dest, core_word(src));
}

void core_mark_write(int reg, bool mark_composite) {
  mark_store(reg, mark_composite, true);
}

void core_mark_read(int reg) {
  if (reg < 0 || reg >= core_reg_count()) return;
  uint32_t& attr = periph_attrs(0)[reg];
  attr |= ATTR_READ | ATTR_READ_SINCE;
  uint32_t value = 0;
  if ((attr & ATTR_IN_STREAM) && read_register_input(0, reg, &value)) core_set_reg(0, reg, &value);
}

void core_note_bus_latch(int latch, const char* name) {
  char note[32];
  std::snprintf(note, sizeof note, "%s:%04lx", name, static_cast<unsigned long>(core_word(latch)));
  write_output_note(note);
}

// ---------------------------------------------------------------------------
// The system stack.

void ss_push(int high_src, int low_src) {
  uint32_t* w = core_words();
  const uint32_t sp = w[CORE_SP];
  const uint32_t next = (sp & SP_ERROR) ? (sp & (SP_ERROR | SP_UNDERFLOW)) | ((sp + 1) & SP_POINTER)
                                        : (sp + 1) & 0x3F;
  const uint32_t high = high_src >= 0 ? w[high_src] & 0xFFFF : 0;
  const uint32_t low = low_src >= 0 ? w[low_src] & 0xFFFF : 0;
  core_store_reg(CORE_SP, next);
  const uint32_t p = next & SP_POINTER;
  if (p == 0) return;
  if (high_src >= 0) w[CS_SS_HIGH + p] = high;
  if (low_src >= 0) w[CS_SS_LOW + p] = low;
}

void ss_read(int high_dst, int low_dst) {
  uint32_t* w = core_words();
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  const uint32_t high = p ? w[CS_SS_HIGH + p] : 0;
  const uint32_t low = p ? w[CS_SS_LOW + p] : 0;
  if (high_dst >= 0) core_store_reg(high_dst, high);
  if (low_dst >= 0) core_store_reg(low_dst, low);
}

void ss_decrement() {
  const uint32_t sp = core_word(CORE_SP);
  const uint32_t next = (sp & SP_ERROR) ? (sp & (SP_ERROR | SP_UNDERFLOW)) | ((sp - 1) & SP_POINTER)
                                        : (sp - 1) & 0x3F;
  core_store_reg(CORE_SP, next);
}

int core_stack_entry(int level, uint32_t* high, uint32_t* low) {
  if (cur_inst == nullptr || level < 0 || level >= CS_SS_ENTRIES) return 0;
  const uint32_t* w = core_words();
  *high = level != 0 ? w[CS_SS_HIGH + level] : 0;
  *low = level != 0 ? w[CS_SS_LOW + level] : 0;
  return 1;
}

// ---------------------------------------------------------------------------
// The peripheral interface.

int core_get_reg(int, int reg, uint32_t* out) {
  if (!valid_word(reg)) {
    out[0] = 0;
    return 1;
  }
  const uint32_t* w = core_words();
  switch (reg) {
    case CORE_A:
    case CORE_B:
      out[0] = w[reg + 1];
      out[1] = w[reg + 2];
      out[2] = w[reg + 3];
      return 1;
    case CORE_X:
    case CORE_Y:
      out[0] = w[reg + 1];
      out[1] = w[reg + 2];
      return 1;
    case CORE_SSH:
    case CORE_SSL: {
      const uint32_t p = w[CORE_SP] & SP_POINTER;
      out[0] = p ? w[(reg == CORE_SSH ? CS_SS_HIGH : CS_SS_LOW) + p] : 0;
      return 1;
    }
    default:
      out[0] = w[reg];
      return 1;
  }
}

int core_set_reg(int, int reg, const uint32_t* value) {
  if (!valid_word(reg)) return 1;
  if (reg >= core_reg_count()) {
    core_word(reg) = value[0] & 0xFFFF;
    cur_inst->pins_changed = 1;  // it may be one the pin samples keep
    return 1;
  }
  if (set_effects[reg]) {
    set_effects[reg](reg, value);
    return 1;
  }
  const uint32_t v = value[0] & 0xFFFF;
  const reg_desc& d = reg_info(reg);
  if (d.access & REG_WRITABLE) {
    write_peripheral_bus(d.offset, v, 1);
    note_periph_write(d.offset);
  } else {
    store_plain(reg, v);
  }
  return 1;
}

void core_bus_read(int, uint32_t address, uint32_t* out, int) {
  const int reg = reg_at_address(address);
  if (reg >= 0) *out = core_word(reg);
}

int core_bus_write(int, uint32_t address, uint32_t value, int) {
  const int reg = reg_at_address(address);
  if (reg < 0) return 0;
  bus_store(reg, value);
  return 1;
}

void core_clock(int) {
  core_cycle();
}

void core_reset(int, int kind, int mode) {
  uint32_t* w = core_words();
  if (mode >= 0) cur_inst->device_words[DW_OPERATING_MODE] = static_cast<uint32_t>(mode);
  if (kind == 1) full_reset();
  if (kind == 1 || kind == 2) {
    write_peripheral_bus(0xFFDF, 0, 1);
    w[CS_PEND_IRQA] = 0;
  }
  w[CS_PEND_IRQB] = 0;
  w[CS_PEND_IRQC] = 0;
  w[CS_PEND_CH0] = 0;
  w[CS_PEND_CH1] = 0;
  w[CS_PEND_CH2] = 0;
  cur_inst->device_words[DW_CYCLE_PHASE] = 0;
  cur_inst->pins_changed = 1;
}

void core_ack_irq(int, int vector) {
  uint32_t* w = core_words();
  for (const irq_source& s : core_irq_sources) {
    if (s.vector != vector) continue;
    w[s.pending] = 0;
    if (s.edge) w[s.edge] = 0;
    cur_inst->pins_changed = 1;  // a low level pin sets it again
    return;
  }
}

// ---------------------------------------------------------------------------
// The three core variants.

const periph_class core_class_36 = {
    core_get_reg, core_set_reg, core_bus_read, core_bus_write, core_clock, core_reset,
    nullptr,      core_ack_irq, 0, CORE_STATE_WORDS, 36, core_regs_36,
    nullptr, nullptr,
};
const periph_class core_class_37 = {
    core_get_reg, core_set_reg, core_bus_read, core_bus_write, core_clock, core_reset,
    nullptr,      core_ack_irq, 0, CORE_STATE_WORDS, 37, core_regs_37,
    nullptr, nullptr,
};
const periph_class core_class_47 = {
    core_get_reg, core_set_reg, core_bus_read, core_bus_write, core_clock, core_reset,
    nullptr,      core_ack_irq, 0, CORE_STATE_WORDS, CORE_REG_WORDS, core_regs_47,
    nullptr, nullptr,
};
