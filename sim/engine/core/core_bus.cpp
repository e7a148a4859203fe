// The core's bus unit: the planned accesses of an instruction, the
// requests of each instruction cycle, external-bus arbitration with its
// pins, contention, wait states from the bus control registers and the
// transfer-acknowledge pin, and memory operand accesses through the map.
#include <array>
#include <cstdint>
#include <cstdio>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_decode.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/memory.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;
constexpr int GRANT_NONE = 0;
constexpr int GRANT_FETCH = 4;  // 1-3: an access slot

enum slot_word : int { SLOT_KIND = 0, SLOT_CYCLE, SLOT_ADDRESS, SLOT_SPACE, SLOT_REG, SLOT_VALUE };


// The strobes and bus-control outputs the owner of the bus drives.
constexpr uint32_t BUS_STROBES = CTL_RD | CTL_WR | CTL_BS | CTL_RW | CTL_TS | CTL_PS | CTL_BB;

uint32_t* slot(int i) {
  return &core_words()[CS_ACCESS + i * CS_ACCESS_WORDS];
}

void note(const char* text) {
  if (core_word(CS_HISTORY_ON)) write_output_note(text);
}

bool io_bus_row(int space, int row, uint32_t address) {
  if (space != SPACE_XI || row < 0 || row >= cur_type->region_count) return false;
  const mem_region& r = cur_type->regions[row];
  return (r.flags & REGION_IO_BUS) && address >= r.low && address <= r.high;
}

bool is_external(int space) {
  return space == SPACE_PE || space == SPACE_XE;
}

// The generic spaces resolve before a read or write; their own row still
// decides the data pins and the access logs.
bool is_generic(int space) {
  return space == SPACE_P || space == SPACE_X;
}

// --- Pins -------------------------------------------------------------------

uint32_t* control_pins() { return periph_pin_block(PINS_CONTROL); }

void drive(uint32_t pin, bool high) {
  uint32_t* c = control_pins();
  set_pin_word(c, PIN_DRIVEN, c[PIN_DRIVEN] | pin);
  set_pin_word(c, PIN_DRIVEN_LEVEL, high ? c[PIN_DRIVEN_LEVEL] | pin : c[PIN_DRIVEN_LEVEL] & ~pin);
}

void release(uint32_t pin) {
  uint32_t* c = control_pins();
  set_pin_word(c, PIN_DRIVEN, c[PIN_DRIVEN] & ~pin);
  set_pin_word(c, PIN_DRIVEN_LEVEL, c[PIN_DRIVEN_LEVEL] | pin);
}

bool pin_high(uint32_t pin) {
  return (control_pins()[PIN_LEVEL] & pin) != 0;
}

bool owns_bus() {
  const uint32_t* c = control_pins();
  return (c[PIN_DRIVEN] & CTL_BB) && !(c[PIN_DRIVEN_LEVEL] & CTL_BB);
}

// --- Arbitration ----------------------------------------------------------

enum arb_state : uint32_t {
  ARB_RESTART = 0,
  ARB_REQ_IDLE = 1,
  ARB_REQ_WAIT = 2,
  ARB_REQ_OWNED = 3,
  ARB_IDLE = 4,
  ARB_TAKE = 5,
  ARB_OWNED = 6,
  ARB_RELEASE = 7,
};

bool sample_low(uint32_t pin) {
  return !(core_word(CS_BUS_SAMPLE) & pin);
}

void request_rule(bool wants) {
  const bool hold = wants || (core_word(CORE_BCR) & 0x8000);
  drive(CTL_BR, !hold);
}

using arb_step = uint32_t (*)(bool wants, bool active);

uint32_t arb_restart(bool, bool) {
  release(CTL_BB);
  if (core_word(CORE_OMR) & OMR_BUS_REQUESTER) {
    release(CTL_BG);
    drive(CTL_BR, true);
    return ARB_REQ_IDLE;
  }
  release(CTL_BR);
  drive(CTL_BG, false);
  return ARB_IDLE;
}

uint32_t arb_req_idle(bool wants, bool) {
  request_rule(wants);
  const bool hold = wants || (core_word(CORE_BCR) & 0x8000);
  return hold ? ARB_REQ_WAIT : ARB_REQ_IDLE;
}

uint32_t arb_req_wait(bool, bool) {
  if (sample_low(CTL_BR) && sample_low(CTL_BG) && !sample_low(CTL_BB)) {
    drive(CTL_BB, false);
    return ARB_REQ_OWNED;
  }
  return ARB_REQ_WAIT;
}

uint32_t arb_req_owned(bool wants, bool active) {
  request_rule(wants);
  if (!sample_low(CTL_BG) && !active) {
    release(CTL_BB);
    return ARB_REQ_IDLE;
  }
  return ARB_REQ_OWNED;
}

uint32_t arb_idle(bool wants, bool) {
  if (sample_low(CTL_BR)) {
    drive(CTL_BG, false);
    return ARB_IDLE;
  }
  if (wants) {
    drive(CTL_BG, true);
    return ARB_TAKE;
  }
  return ARB_IDLE;
}

uint32_t arb_take(bool, bool) {
  if (!sample_low(CTL_BB)) {
    drive(CTL_BB, false);
    return ARB_OWNED;
  }
  return ARB_TAKE;
}

uint32_t arb_release(bool, bool active) {
  if (active) return ARB_RELEASE;
  release(CTL_BB);
  return ARB_IDLE;
}

uint32_t arb_owned(bool wants, bool active) {
  if (sample_low(CTL_BR)) {
    drive(CTL_BG, false);
    return arb_release(wants, active);
  }
  return ARB_OWNED;
}

constexpr std::array<arb_step, 8> arb_steps = {
    arb_restart, arb_req_idle, arb_req_wait, arb_req_owned,
    arb_idle,    arb_take,     arb_owned,    arb_release,
};

// The bus outputs follow ownership.
void ownership_outputs() {
  uint32_t* w = core_words();
  uint32_t* address = periph_pin_block(PINS_ADDRESS);
  uint32_t* c = control_pins();
  const uint32_t bcr = w[CORE_BCR];
  if (owns_bus()) {
    if (!(bcr & 0x4000)) w[CORE_BCR] = bcr | 0x4000;
    set_pin_word(address, PIN_DRIVEN, WORD);
    set_pin_word(c, PIN_DRIVEN, c[PIN_DRIVEN] | BUS_STROBES);
  } else {
    if (bcr & 0x4000) w[CORE_BCR] = bcr & ~0x4000u;
    set_pin_word(address, PIN_DRIVEN, 0);
    set_pin_word(periph_pin_block(PINS_DATA), PIN_DRIVEN, 0);
    set_pin_word(c, PIN_DRIVEN, c[PIN_DRIVEN] & ~(BUS_STROBES & ~CTL_BB));
  }
}

// --- Accesses -------------------------------------------------------------

// An access as the bus unit sees it. The views below are built inline:
// returned from a call, the record's words would be stored one by one and
// read back together, which stalls.
struct access_view {
  uint32_t kind;
  int space;
  uint32_t address;
};

// A program read at pab, in the space the omr gives it now.
[[gnu::always_inline]] inline access_view read_at_pab() {
  const uint32_t address = core_word(CS_PAB) & WORD;
  return {ACC_READ | ACC_PROGRAM, core_resolve_space(SPACE_P, address), address};
}

// The program fetch of this cycle, or a kind of 0.
[[gnu::always_inline]] inline access_view fetch_view() {
  if (core_word(CS_CYCLE_FETCH) == FETCH_NONE) return {0, 0, 0};
  return read_at_pab();
}

bool due(const uint32_t* s) {
  return s[SLOT_KIND] && !(s[SLOT_KIND] & ACC_DONE) &&
         s[SLOT_CYCLE] == core_word(CS_CYC_INDEX);
}

int wait_states(const access_view& a) {
  const uint32_t* w = core_words();
  if (a.kind & ACC_PROGRAM) return static_cast<int>(w[CORE_BCR] & 0x1F);
  if (core_is_583() && a.address >= 0xFF00 && a.address <= 0xFF7F &&
      (!(w[CORE_OMR] & OMR_EXT_X) || w[CS_IN_FAST_IRQ])) {
    drive(CTL_PEREN, false);
    return static_cast<int>(w[CORE_BCR2] & 0x1F);
  }
  return static_cast<int>((w[CORE_BCR] >> 5) & 0x1F);
}

// The granted access drives the address pins and the strobes.
void start_access(const access_view& a) {
  uint32_t* w = core_words();
  set_pin_word(periph_pin_block(PINS_ADDRESS), PIN_DRIVEN_LEVEL, a.address);
  drive(CTL_PS, (a.kind & ACC_PROGRAM) != 0);
  drive(CTL_BS, false);
  drive(CTL_TS, false);
  const bool read = (a.kind & ACC_READ) != 0;
  drive(CTL_RW, read);
  drive(CTL_RD, !read);
  drive(CTL_WR, read);
  w[CS_READ_STROBE] = read ? 1 : 0;
  w[CS_WRITE_STROBE] = read ? 0 : 1;
  w[CS_WAIT_COUNT] = static_cast<uint32_t>(wait_states(a));
  w[CS_TA_AT_START] = pin_high(CTL_TA) ? 1 : 0;
  w[CS_TA_SEEN] = 0;
  w[CS_ACCESS_ACTIVE] = 1;
}

void strobes_idle() {
  constexpr uint32_t strobes = CTL_PS | CTL_BS | CTL_TS | CTL_RW | CTL_RD | CTL_WR | CTL_PEREN;
  uint32_t* c = control_pins();
  set_pin_word(c, PIN_DRIVEN, c[PIN_DRIVEN] | strobes);
  set_pin_word(c, PIN_DRIVEN_LEVEL, c[PIN_DRIVEN_LEVEL] | strobes);
  core_word(CS_READ_STROBE) = 0;
  core_word(CS_WRITE_STROBE) = 0;
}

[[gnu::always_inline]] inline access_view granted_view() {
  const int g = static_cast<int>(core_word(CS_GRANTED));
  if (g == GRANT_FETCH) return fetch_view();
  if (g < 1 || g > CS_ACCESS_SLOTS) return {0, 0, 0};
  const uint32_t* s = slot(g - 1);
  return {s[SLOT_KIND], static_cast<int>(s[SLOT_SPACE]), s[SLOT_ADDRESS]};
}

// The fetch of the cycle reads at pab; `view` is read_at_pab of this moment.
void complete_fetch(const access_view& view) {
  uint32_t* w = core_words();
  const uint32_t address = view.address;
  const uint32_t word = core_mem_read(view.space, address);
  core_set_bus_latch(CS_PDB, word, "pdb");
  if (w[CS_CYCLE_FETCH] == FETCH_OPCODE) {
    w[CS_PREFETCH] = word;
    w[CS_PREFETCH_ADDR] = address;
  } else {
    core_trace_second_word(word);
  }
  if (w[CS_PENDING_ACK] && address == ((w[CS_TAKEN_VECTOR] + 1) & WORD)) {
    w[CS_PENDING_ACK] = 0;
    // Six instruction cycles (twelve device cycles) after the start the
    // sequence is abandoned instead: the request stays pending.
    if (device_time(*cur_inst) - w[CS_IRQ_SEQ_CYCLES] >= IRQ_SEQUENCE_CYCLES_MAX)
      w[CS_IRQ_ABANDONED] = 1;
    else
      ack_taken_interrupt();
  }
  w[CS_CYCLE_FETCH] = FETCH_NONE;
  core_set_bus_latch(CS_PAB, address + 1, "pab");
}

void complete_slot(int i) {
  uint32_t* w = core_words();
  uint32_t* s = slot(i);
  const uint32_t kind = s[SLOT_KIND];
  const int space = static_cast<int>(s[SLOT_SPACE]);
  const uint32_t address = s[SLOT_ADDRESS] & WORD;
  const bool program = (kind & ACC_PROGRAM) != 0;
  const int latch = program ? CS_PDB : (kind & ACC_SECOND) ? CS_GDB : CS_XDB;
  if (!program) core_set_bus_latch((kind & ACC_SECOND) ? CS_XAB2 : CS_XAB, address,
                                   (kind & ACC_SECOND) ? "xab2" : "xab");
  s[SLOT_KIND] |= ACC_DONE;
  if (kind & ACC_READ) {
    const uint32_t value = core_mem_read(space, address);
    core_set_bus_latch(latch, value, program ? "pdb" : (kind & ACC_SECOND) ? "gdb" : "xdb");
    if (kind & (ACC_OPERAND | ACC_LATCH)) w[CS_OPERAND_LATCH] = value;
    if (kind & ACC_OPERAND) core_bit_test(w[CS_EXECUTE_OPERAND]);
    const int reg = static_cast<int>(s[SLOT_REG]);
    if (reg >= 0 && w[CS_COND_TRUE]) core_bus_to_reg(reg, latch);
    return;
  }
  const uint32_t value = (kind & (ACC_OPERAND | ACC_LATCH)) ? w[CS_OPERAND_LATCH] : s[SLOT_VALUE];
  core_set_bus_latch(latch, value, program ? "pdb" : "xdb");
  core_mem_write(space, address, value);
}

}  // namespace

// ---------------------------------------------------------------------------

void core_clear_plan() {
  uint32_t* w = core_words();
  for (int i = 0; i < CS_ACCESS_SLOTS * CS_ACCESS_WORDS; ++i) w[CS_ACCESS + i] = 0;
  for (int i = 0; i < CS_TRANSFER_SLOTS; ++i) {
    w[CS_TRANSFER + 2 * i] = static_cast<uint32_t>(-1);
    w[CS_TRANSFER + 2 * i + 1] = 0;
  }
}

void core_plan_access(uint32_t kind, int cycle, uint32_t address, int reg, uint32_t value) {
  for (int i = 0; i < CS_ACCESS_SLOTS; ++i) {
    uint32_t* s = slot(i);
    if (s[SLOT_KIND]) continue;
    address &= WORD;
    s[SLOT_KIND] = kind;
    s[SLOT_CYCLE] = static_cast<uint32_t>(cycle);
    s[SLOT_ADDRESS] = address;
    s[SLOT_SPACE] = static_cast<uint32_t>(
        core_resolve_space((kind & ACC_PROGRAM) ? SPACE_P : SPACE_X, address));
    s[SLOT_REG] = static_cast<uint32_t>(reg);
    s[SLOT_VALUE] = value & WORD;
    return;
  }
}

void core_plan_transfer(int reg, uint32_t value) {
  uint32_t* w = core_words();
  for (int i = 0; i < CS_TRANSFER_SLOTS; ++i) {
    if (w[CS_TRANSFER + 2 * i] != static_cast<uint32_t>(-1)) continue;
    w[CS_TRANSFER + 2 * i] = static_cast<uint32_t>(reg);
    w[CS_TRANSFER + 2 * i + 1] = value & WORD;
    return;
  }
}

int core_bus_request() {
  uint32_t* w = core_words();
  // External requests rank first X, second X, then program (data or
  // fetch); the first slot of the best rank is granted.
  int external = 0;
  int first = GRANT_NONE;
  int first_rank = 3;
  uint32_t req[3] = {0, 0, 0};
  for (int i = 0; i < CS_ACCESS_SLOTS; ++i) {
    const uint32_t* s = slot(i);
    if (!due(s) || !is_external(static_cast<int>(s[SLOT_SPACE]))) continue;
    const uint32_t kind = s[SLOT_KIND];
    const int rank = (kind & ACC_PROGRAM) ? 2 : (kind & ACC_SECOND) ? 1 : 0;
    ++external;
    req[rank] = kind & (ACC_READ | ACC_WRITE);
    if (rank < first_rank) {
      first_rank = rank;
      first = i + 1;
    }
  }
  const access_view f = fetch_view();
  if (f.kind && is_external(f.space)) {
    ++external;
    req[2] |= ACC_READ;
    if (first == GRANT_NONE) first = GRANT_FETCH;
  }
  w[CS_REQ_X1] = req[0];
  w[CS_REQ_X2] = req[1];
  w[CS_REQ_PROGRAM] = req[2];
  const bool wants = external > 0;
  core_bus_arbitration(wants);
  const bool owned = owns_bus();
  w[CS_CONTENDED] = (external >= 2 || (wants && !owned)) ? 1 : 0;
  if (w[CS_CONTENDED]) note("cont");
  if (wants && !owned) return 0;
  w[CS_GRANTED] = static_cast<uint32_t>(first);
  if (first != GRANT_NONE) {
    start_access(granted_view());
  } else {
    strobes_idle();
    set_pin_word(periph_pin_block(PINS_ADDRESS), PIN_DRIVEN, 0);
    w[CS_WAIT_COUNT] = 0;
    w[CS_ACCESS_ACTIVE] = 0;
  }
  return 1;
}

void core_bus_idle() {
  uint32_t* w = core_words();
  w[CS_REQ_X1] = 0;
  w[CS_REQ_X2] = 0;
  w[CS_REQ_PROGRAM] = 0;
  core_bus_arbitration(false);
  w[CS_CONTENDED] = 0;
  w[CS_GRANTED] = GRANT_NONE;
  strobes_idle();
  uint32_t* address_pins = periph_pin_block(PINS_ADDRESS);
  if (address_pins[PIN_DRIVEN] != 0) {
    address_pins[PIN_DRIVEN] = 0;
    cur_inst->blocks_changed = 1;
  }
  w[CS_WAIT_COUNT] = 0;
  w[CS_ACCESS_ACTIVE] = 0;
}

void core_bus_complete_idle() {
  uint32_t* w = core_words();
  w[CS_GRANTED] = GRANT_NONE;
  w[CS_ACCESS_ACTIVE] = 0;
  strobes_idle();
  w[CS_PASS] = 0;
}

void core_bus_write_phase() {
  uint32_t* w = core_words();
  uint32_t* data = periph_pin_block(PINS_DATA);
  const access_view g = granted_view();
  if (g.kind & ACC_WRITE) {
    const int i = static_cast<int>(w[CS_GRANTED]) - 1;
    set_pin_word(data, PIN_DEFINED, 0);
    set_pin_word(data, PIN_DRIVEN, WORD);
    complete_slot(i);
    return;
  }
  if (g.kind & ACC_READ) {
    set_pin_word(data, PIN_DEFINED, WORD);
    set_pin_word(data, PIN_DRIVEN, 0);
  }
}

int core_bus_wait_state() {
  uint32_t* w = core_words();
  if (w[CS_WAIT_COUNT] > 0) {
    note("ws");
    w[CS_TA_SEEN] = pin_high(CTL_TA) ? 1 : 0;
    w[CS_WAIT_COUNT] -= 1;
    return 1;
  }
  // A transfer not acknowledged holds the access one more cycle at a time.
  if (w[CS_ACCESS_ACTIVE] && w[CS_TA_AT_START] && (pin_high(CTL_TA) || w[CS_TA_SEEN]) &&
      !cur_inst->abort) {
    note("ws");
    w[CS_TA_SEEN] = 0;
    return 1;
  }
  return 0;
}

int core_bus_complete() {
  uint32_t* w = core_words();
  const int g = static_cast<int>(w[CS_GRANTED]);
  if (g == GRANT_FETCH)
    complete_fetch(read_at_pab());
  else if (g >= 1 && g <= CS_ACCESS_SLOTS && !(slot(g - 1)[SLOT_KIND] & ACC_DONE))
    complete_slot(g - 1);
  w[CS_GRANTED] = GRANT_NONE;
  w[CS_ACCESS_ACTIVE] = 0;
  // Internal accesses take no wait states: all in the first pass.
  if (w[CS_PASS] == 0) {
    for (int i = 0; i < CS_ACCESS_SLOTS; ++i) {
      const uint32_t* s = slot(i);
      if (due(s) && !is_external(static_cast<int>(s[SLOT_SPACE]))) complete_slot(i);
    }
    const access_view f = fetch_view();
    if (f.kind && !is_external(f.space)) complete_fetch(f);
  }
  strobes_idle();
  bool remaining = false;
  for (int i = 0; i < CS_ACCESS_SLOTS; ++i)
    if (due(slot(i))) remaining = true;
  if (w[CS_CYCLE_FETCH] != FETCH_NONE) remaining = true;  // the fetch is still to come
  if (remaining) {
    w[CS_PASS] += 1;
    return 1;
  }
  w[CS_PASS] = 0;
  return 0;
}

void core_bus_arbitration(bool wants_bus) {
  uint32_t* w = core_words();
  const uint32_t state = w[CS_ARB_STATE] & 7;
  const bool active = w[CS_ACCESS_ACTIVE] != 0;
  uint32_t next = arb_steps[state](wants_bus, active);
  if (state == ARB_RESTART) next = arb_steps[next](wants_bus, active);
  w[CS_ARB_STATE] = next;
  ownership_outputs();
}

bool core_sample_bus_pins() {
  uint32_t* w = core_words();
  const uint32_t* c = control_pins();
  const uint32_t level = c[PIN_LEVEL];
  const uint32_t own = c[PIN_DRIVEN_LEVEL];
  // Own bb low shows on the pin whether or not the pin levels are merged.
  uint32_t bb = level & CTL_BB;
  if ((c[PIN_DRIVEN] & CTL_BB) && !(own & CTL_BB)) bb = 0;
  const uint32_t sample = (w[CORE_OMR] & OMR_BUS_REQUESTER)
                              ? (own & CTL_BR) | (level & CTL_BG) | bb
                              : (own & CTL_BG) | (level & CTL_BR) | bb;
  const bool steady = w[CS_BUS_SAMPLE] == sample;
  w[CS_BUS_SAMPLE_PREV] = w[CS_BUS_SAMPLE];
  w[CS_BUS_SAMPLE] = sample;
  return steady;
}

namespace {

// Reads carry the change mark only while a dr or drw breakpoint watches.
[[gnu::noinline]] void note_watched_read(uint8_t entry, uint32_t address, uint32_t value) {
  const uint32_t mark = run_hook.read_change_mark(entry & REGION_ENTRY_ROW, address, value);
  note_memory_access_entry(entry, address, 1, mark);
}

}  // namespace

uint32_t core_mem_read(int space, uint32_t address) {
  address &= WORD;
  if (cur_inst->profiled != 0) [[unlikely]]
    profile_note_reference(is_generic(space) ? core_resolve_space(space, address) : space, address, 0);
  const uint8_t entry = region_entry_fast(space, address);
  const int row = entry & REGION_ENTRY_ROW;
  uint32_t value = 0;
  if (is_generic(space))
    mem_read_word(space, address, &value);
  else if (io_bus_row(space, row, address))
    read_peripheral_bus(address, &value, 1);  // the program's own read: it may take stream input
  else
    mem_read_at(space, row, address, &value);
  value &= WORD;
  // Input streams replace the word, which then stays in memory.
  uint32_t fed = 0;
  if (is_external(space) && read_port_input(PINS_DATA, &fed)) {
    value = fed & WORD;
    mem_write_word(space, address, &value);
  }
  if (read_memory_input(space, address, &fed)) {
    value = fed & WORD;
    mem_write_word(space, address, &value);
  }
  if (row >= 0 && row < cur_type->region_count && (cur_type->regions[row].attr & REGION_ATTR_DATA_PINS))
    set_pin_word(periph_pin_block(PINS_DATA), PIN_LEVEL, value);
  if (cur_state->read_watch != 0) [[unlikely]]
    note_watched_read(entry, address, value);
  else
    note_memory_access_entry(entry, address, 1, 0);
  return value;
}

void core_mem_write(int space, uint32_t address, uint32_t value) {
  address &= WORD;
  value &= WORD;
  if (space == SPACE_PR || space == SPACE_XR) return;
  if (cur_inst->profiled != 0) [[unlikely]]
    profile_note_reference(is_generic(space) ? core_resolve_space(space, address) : space, address, 1);
  const uint8_t entry = region_entry_fast(space, address);
  const int row = entry & REGION_ENTRY_ROW;
  if (row < 0 || row >= cur_type->region_count) return;
  const mem_region& r = cur_type->regions[row];
  if (is_external(space)) {
    set_pin_word(periph_pin_block(PINS_DATA), PIN_DRIVEN_LEVEL, value);
    write_stream_value(PINS_DATA, static_cast<int32_t>(value), 0);
  } else if ((r.flags & REGION_READ_ONLY) && !(r.flags & REGION_IO_BUS)) {
    return;
  }
  // A write that changes the stored word carries the change mark, which
  // the data-change breakpoints (dw, drw) look for. Peripheral registers
  // are not read back: a read there has effects of its own.
  uint32_t old = value;
  if (!(r.flags & REGION_IO_BUS)) {
    if (is_generic(space))
      mem_read_word(space, address, &old);
    else
      mem_read_at(space, row, address, &old);
  }
  if (is_generic(space))
    mem_write_word(space, address, &value);
  else
    mem_write_at(space, row, address, &value);
  note_memory_access_entry(entry, address, 0, (old & WORD) != value ? ATTR_CHANGED : 0u);
  write_memory_output(space, address, 0);
}
