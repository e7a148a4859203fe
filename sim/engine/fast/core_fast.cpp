// The straight-line executor (core_fast.h): the entry test at a boundary,
// the decode's live words, the end of an instruction as the clock machine
// does it in its last cycle, the clocking of the instruction's device
// cycles, and the commonest instructions in one piece. Its plain internal
// memory is core_fast_pages.cpp's, the handlers core_fast_alu.cpp's (data
// ALU), core_fast_moves.cpp's, core_fast_flow.cpp's and
// core_fast_control.cpp's.
#include "sim/engine/fast/core_fast.h"

#include "sim/engine/fast/core_fast_step.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <vector>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_decode.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/region_index.h"
#include "sim/engine/core/runloop.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

// The one-piece forms (decoded_word::lean).
enum : uint8_t {
  LEAN_NONE = 0,
  LEAN_TWO_READS,
  LEAN_X_MOVE,
  LEAN_MOVE_ADDRESS,
  LEAN_ALU_TRANSFER,
  LEAN_MOVE_REG,
  LEAN_LEA,
  LEAN_REP_IMM,
  LEAN_MOVE_IMM,
  LEAN_NOP
};

// The access-log notes of a word of a plain page in its one or two rows.
[[gnu::always_inline]] inline void note_page(const plain_page& page, uint32_t address, int is_read,
                                             uint32_t attribute, uint32_t epoch) {
  region_access_log* first = page.rows[0];
  log_access(is_read != 0 ? first->reads : first->writes, address, attribute, epoch);
  if (region_access_log* second = page.rows[1]; second != nullptr)
    log_access(is_read != 0 ? second->reads : second->writes, address, attribute, epoch);
}

// The notes of a word outside the plain pages (by its region entry) or of
// a page of more than two rows.
[[gnu::noinline]] void note_plain_slow(const fast_word& at, uint32_t address, int is_read, uint32_t attribute) {
  if (at.page == nullptr) {
    note_memory_access_entry(at.entry, address, is_read, attribute);
    return;
  }
  device_state& st = *cur_state;
  for (uint32_t rows = at.page->logs; rows != 0; rows &= rows - 1) {
    region_access_log& log = st.region_logs[static_cast<std::size_t>(std::countr_zero(rows))];
    log_access(is_read != 0 ? log.reads : log.writes, address, attribute, st.instr_epoch);
  }
}

// The access-log note core_mem_read and core_mem_write leave.
// A word of a plain page takes its notes in place.
[[gnu::always_inline]] inline void note_plain(const fast_word& at, uint32_t address, int is_read, uint32_t attribute) {
  if (at.page == nullptr || at.page->rows[0] == nullptr) [[unlikely]] {
    note_plain_slow(at, address, is_read, attribute);
    return;
  }
  note_page(*at.page, address, is_read, attribute, cur_state->instr_epoch);
}

// What core_mem_read leaves of a plain read: the data pins of a row that
// shows reads there, and the access-log note.
[[gnu::always_inline]] inline uint32_t read_plain(const fast_word& at, uint32_t address) {
  const uint32_t value = *at.word & WORD;
  if (at.data_pins) set_pin_word(periph_pin_block(PINS_DATA), PIN_LEVEL, value);
  note_plain(at, address, 1, 0);
  return value;
}

// A profiled device's reference, as core_mem_read and core_mem_write list
// it: the space resolved under omr, which no straight instruction changes
// before its accesses complete.
[[gnu::noinline]] void note_profiled(int space, uint32_t address, int write) {
  profile_note_reference(core_resolve_space(space, address), address, write);
}

// A profiled device's fetches are not noted: the profiler keeps program
// references only of an instruction that addresses program memory, which
// no straight instruction does (its data accesses are all in X).
// (It takes the pages, not the step: a step passed out of line would be
// kept in memory, every field stored, in every instruction.)
[[gnu::noinline]] uint32_t fetch_program_slow(const plain_page* pages, uint32_t address) {
  fast_word at{};
  fast_program_word(pages, address, at);
  return read_plain(at, address);
}

// A fetch the entry test found in plain program memory: from its page
// when it has one (whose log rows are always known), as read_plain does.
[[gnu::always_inline]] inline uint32_t fetch_program(const fast_step& s, uint32_t address) {
  const plain_page& page = s.pages[address >> 8];
  if (page.rows[0] == nullptr) [[unlikely]]
    return fetch_program_slow(s.pages, address);
  const uint32_t value = page.base[address & 0xFF] & WORD;
  if (page.bits & PAGE_DATA_PINS) [[unlikely]]
    set_pin_word(periph_pin_block(PINS_DATA), PIN_LEVEL, value);
  note_page(page, address, 1, 0, s.st->instr_epoch);
  return value;
}

// --- Clocking -----------------------------------------------------------------

void end_of_clock() { core_sample_pins(); }

// The bus unit at rest: not the bus owner, the arbitration idle with bus
// request sampled high, no request, no access, the strobes idle. Then what
// core_bus_idle and core_bus_complete_idle do in a cycle changes nothing.
bool bus_at_rest(const uint32_t* w) {
  constexpr uint32_t STROBES = CTL_PS | CTL_BS | CTL_TS | CTL_RW | CTL_RD | CTL_WR | CTL_PEREN;
  constexpr uint32_t ARB_IDLE = 4;
  const uint32_t* c = periph_pin_block(PINS_CONTROL);
  const bool owned = (c[PIN_DRIVEN] & CTL_BB) && !(c[PIN_DRIVEN_LEVEL] & CTL_BB);
  return w[CS_ARB_STATE] == ARB_IDLE && (w[CS_BUS_SAMPLE] & CTL_BR) && !owned && !(w[CORE_BCR] & 0x4000) &&
         (c[PIN_DRIVEN] & STROBES) == STROBES && (c[PIN_DRIVEN_LEVEL] & STROBES) == STROBES &&
         periph_pin_block(PINS_ADDRESS)[PIN_DRIVEN] == 0 && periph_pin_block(PINS_DATA)[PIN_DRIVEN] == 0 &&
         (w[CS_REQ_PROGRAM] | w[CS_REQ_X1] | w[CS_REQ_X2] | w[CS_CONTENDED] | w[CS_GRANTED] | w[CS_READ_STROBE] |
          w[CS_WRITE_STROBE] | w[CS_WAIT_COUNT] | w[CS_ACCESS_ACTIVE] | w[CS_PASS]) == 0;
}

// Completes `count` device cycles (an odd number) from the one in
// progress (a first half, its PLL step and clock-out pin done) of an
// instruction whose accesses are all internal, and starts the next: what
// the clock machine does in them besides the core's own work, which may
// come before them because nothing here reads it (the handlers write none
// of the registers the pins and the PLL read). No peripheral event, no
// progress line and no stop request falls inside (the entry test), so the
// run loop's part of each is the count and the pc mark's clearing. With
// the clocking done at once (`closed`), the bus at rest, only those.
[[gnu::always_inline]] inline void fast_clock(device_inst& inst, uint32_t* w, int count, bool bus_rest, bool closed) {
  for (int i = 0; i < count && !closed; ++i) {
    if (!bus_rest) {
      if ((i & 1) == 0)
        core_bus_idle();
      else
        core_bus_complete_idle();
    }
    end_of_clock();
    fast_clock_front();
  }
  w[CS_STALLED] = 0;
  inst.device_words[DW_CORE_STATE_CODE] = CORE_STATE_SECOND_HALF;
  inst.cycles += static_cast<uint32_t>(count);
  inst.flags &= ~DEV_PC_WRITTEN;
}

// The rest of the last device cycle, after the instruction's end. Its pin
// samples run when a data read moved the data pins. The run loop's part
// is the count alone: the quiet test before the instruction found no
// event due in any of its cycles and the horizon fresh (exec_cycle_done
// would find nothing to clock).
[[gnu::always_inline]] inline void fast_clock_end(device_inst& inst, uint32_t* w, bool bus_rest) {
  if (!bus_rest) core_bus_complete_idle();
  w[CS_STALLED] = 0;
  inst.device_words[DW_CORE_STATE_CODE] = CORE_STATE_EXECUTE;
  end_of_clock();
  assert(!inst.horizon_stale && !(inst.event_due && inst.horizon == inst.cycles));
  inst.cycles += 1;
}

// --- The end of an instruction --------------------------------------------------

[[gnu::always_inline]] inline void complete_accesses(fast_step& s, int cycle) {
  uint32_t* w = s.w;
  for (int i = 0; i < s.accesses; ++i) {
    const fast_access& a = s.access[static_cast<std::size_t>(i)];
    if (a.cycle != cycle) continue;
    w[a.latch == CS_GDB ? CS_XAB2 : CS_XAB] = a.address;
    if (s.inst->profiled) [[unlikely]]
      note_profiled(SPACE_X, a.address, a.write ? 1 : 0);
    if (!a.write) {
      const uint32_t value = read_plain(a.at, a.address);
      w[a.latch] = value;
      if (a.reg < 0 || !w[CS_COND_TRUE]) continue;
      // A data or address register takes the word as it is.
      if (a.reg != CORE_A && a.reg != CORE_B && fast_plain_destination(a.reg))
        fast_store_reg(a.reg, value);
      else
        core_bus_to_reg(a.reg, a.latch);
      continue;
    }
    const uint32_t value = a.value & WORD;
    w[a.latch] = value;
    const uint32_t old = *a.at.word & WORD;
    *a.at.word = value;
    note_plain(a.at, a.address, 0, old != value ? ATTR_CHANGED : 0u);
    if (a.watched) [[unlikely]]
      fast_stream_store(a.address);
  }
}

// The operand fetch of a two-word instruction's first cycles.
[[gnu::always_inline]] inline void fetch_operand(const fast_step& s) {
  uint32_t* w = s.w;
  const uint32_t address = w[CS_PAB] & WORD;
  // (pdb, like the other data and address latches but pab, is scratch.)
  const uint32_t word = fetch_program(s, address);
  core_trace_second_word(word);
  w[CS_PAB] = (address + 1) & WORD;
}

// The last instruction cycle's plan: another repeat pass (no fetch), or
// the loop end and the next opcode's address, which pc names from now.
[[gnu::always_inline]] inline bool plan_last_cycle(uint32_t* w) {
  if (w[CS_REP_STATE] && repeat_end_check()) {
    w[CS_REP_CONTINUE] = 1;
    return false;
  }
  uint32_t target = 0;
  const uint32_t last_word = (w[CS_EXECUTE_ADDR] + w[CS_WORDS] - 1) & WORD;
  // loop_end_check's own first tests inline: most words are not a loop's last.
  if (!w[CS_FLOW_TAKEN] && (w[CORE_SR] & SR_LOOP) && last_word == (w[CORE_LA] & WORD) &&
      loop_end_check(last_word, &target)) {
    w[CS_NEXT_FETCH] = 1;
    w[CS_NEXT_TARGET] = target;
  }
  if (w[CS_NEXT_FETCH]) {
    w[CS_NEXT_FETCH] = 0;
    w[CS_PAB] = w[CS_NEXT_TARGET] & WORD;
  }
  fast_set_next_pc(w, w[CS_PAB]);
  return true;
}

[[gnu::always_inline]] inline void fetch_opcode(const fast_step& s) {
  uint32_t* w = s.w;
  const uint32_t address = w[CS_PAB] & WORD;
  const uint32_t word = fetch_program(s, address);
  w[CS_PREFETCH] = word;
  w[CS_PREFETCH_ADDR] = address;
  w[CS_PAB] = (address + 1) & WORD;
}

// finish_cycle at the instruction's end after the transfers (none in an
// instruction in one piece): the end signal, the interrupt boundary and
// the next opcode's legality.
[[gnu::always_inline]] inline void end_signal(device_inst& inst, uint32_t* w) {
  w[CS_BUBBLE] = 0;
  w[CS_CYC_INDEX] = 0;
  const bool repeating = w[CS_REP_CONTINUE] != 0;
  inst.flags |= repeating && w[CS_REP_STATE] == 1 ? DEV_INSTR_END2 : DEV_INSTR_END;
  inst.instructions += 1;
  const bool boundary = !repeating && !w[CS_REP_ARMED] && !w[CS_REP_STATE];
  // (core_check_interrupts' own first test inline: mostly no request.)
  if (boundary && inst.irq_request && core_take_interrupt_at_boundary(w)) return;
  // core_check_prefetch, by the next word's record.
  if (!repeating) {
    if (decoded_word_of(static_cast<uint16_t>(w[CS_PREFETCH])).flags & IFLAG_ILLEGAL) inst.flags |= DEV_ILLEGAL;
    w[CS_PREFETCH_CHECKED] = 1;
  }
}

// A register transfer at the instruction's end, over gdb.
[[gnu::always_inline]] inline void transfer_now(uint32_t* w, int reg, uint32_t value) {
  value &= WORD;
  w[CS_GDB] = value;
  // A data or address register takes the word as it is.
  if (reg != CORE_A && reg != CORE_B && fast_plain_destination(reg))
    fast_store_reg(reg, value);
  else
    core_bus_to_reg(reg, CS_GDB);
}

// finish_cycle at the instruction's end: the transfers, then end_signal.
[[gnu::always_inline]] inline void end_instruction(fast_step& s) {
  uint32_t* w = s.w;
  for (int i = 0; i < s.transfers; ++i)
    transfer_now(w, s.transfer_reg[static_cast<std::size_t>(i)], s.transfer_value[static_cast<std::size_t>(i)]);
  end_signal(*s.inst, w);
}

// The words each fetch of the instruction reads are plain program memory:
// its operands (not in a repeat pass), the next opcode in sequence and, at
// the last word of a loop, the loop's start.
// The words outside the plain pages, one by one.
[[gnu::noinline]] bool fetches_plain_slow(const plain_page* pages, uint32_t pab, uint32_t fetches) {
  fast_word at{};
  for (uint32_t k = 0; k < fetches; ++k)
    if (!fast_program_word(pages, (pab + k) & WORD, at)) return false;
  return true;
}

[[gnu::always_inline]] inline bool fetches_plain(const uint32_t* w, const plain_page* pages, const decoded_word& d, bool repeat_pass) {
  const uint32_t pab = w[CS_PAB] & WORD;
  const uint32_t fetches = repeat_pass ? 1 : d.words;
  // At most two words: both in plain pages, or word by word.
  if (pages[pab >> 8].base == nullptr ||
      ((pab & 0xFF) + fetches > 0x100 && pages[((pab + fetches - 1) & WORD) >> 8].base == nullptr)) [[unlikely]] {
    if (!fetches_plain_slow(pages, pab, fetches)) return false;
  }
  if (!(w[CORE_SR] & SR_LOOP)) return true;
  const uint32_t address = repeat_pass ? w[CS_DECODE_ADDR] : w[CS_PREFETCH_ADDR];
  if (((address + d.words - 1) & WORD) != (w[CORE_LA] & WORD)) return true;
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  const uint32_t start = p ? w[CS_SS_HIGH + p] & WORD : 0;
  return pages[start >> 8].base != nullptr || fetches_plain_slow(pages, start, 1);
}

// A step filled in place (a record returned by value is stored in parts
// and read back whole).
[[gnu::always_inline]] inline void start_step(fast_step& s, device_inst& inst, device_state& st, uint32_t* w,
                                              const decoded_word& d, uint32_t op, bool repeat_pass,
                                              const plain_page* pages, bool bus_rest, bool* clock_steady) {
  s.inst = &inst;
  s.st = &st;
  s.w = w;
  s.d = &d;
  s.opcode = op;
  s.repeat_pass = repeat_pass;
  s.pages = pages;
  s.accesses = 0;
  s.transfers = 0;
  s.bus_rest = bus_rest;
  s.closed_clock = false;
  s.clock_steady = clock_steady;
}

// A word of a data page a one-piece instruction reads or writes: a plain
// page whose log rows are known and whose reads leave the data pins alone;
// null for the general path.
[[gnu::always_inline]] inline const plain_page* lean_page(const plain_page* pages, uint32_t address, bool write) {
  const plain_page& p = pages[0x100 + (address >> 8)];
  if (p.rows[0] == nullptr || (p.bits & PAGE_DATA_PINS) || (write && !(p.bits & PAGE_WRITABLE))) return nullptr;
  return &p;
}

// A read of a one-piece instruction, as complete_accesses does it (the
// condition true), but for the address and data latches,
// which are scratch (core_scratch_ranges): only an accumulator's load
// reads its latch.
[[gnu::always_inline]] inline void lean_read(uint32_t* w, const plain_page& page, uint32_t address, int reg,
                                             int latch, uint32_t epoch) {
  const uint32_t value = page.base[address & 0xFF] & WORD;
  note_page(page, address, 1, 0, epoch);
  if (cur_inst->profiled) [[unlikely]] note_profiled(SPACE_X, address, 0);
  if (reg != CORE_A && reg != CORE_B) {
    fast_store_reg(reg, value);
  } else {
    w[latch] = value;
    core_bus_to_reg(reg, latch);
  }
}

// A write over xdb of a one-piece instruction, as complete_accesses does
// it (the latches left, as lean_read leaves them).
[[gnu::always_inline]] inline void lean_write(const plain_page& page, uint32_t address, uint32_t value,
                                              uint32_t epoch, bool watched) {
  value &= WORD;
  uint32_t& word = page.base[address & 0xFF];
  const uint32_t old = word & WORD;
  word = value;
  note_page(page, address, 0, old != value ? ATTR_CHANGED : 0u, epoch);
  if (cur_inst->profiled) [[unlikely]] note_profiled(SPACE_X, address, 1);
  if (watched) [[unlikely]]
    fast_stream_store(address);
}

// A store of a one-piece instruction that a memory output stream watches.
[[gnu::always_inline]] inline bool lean_watched(const device_state& st, uint32_t address, bool write) {
  return write && (st.stream_plan & STREAMS_X_WRITES) && fast_stream_word(address, true);
}

void run_alu_of(const decoded_word& d) {
  const std::array<int16_t, 5>& r = d.fast_alu;
  alu_run_record(r[0], r[1], r[2], r[3], r[4]);
}

// What a one-piece instruction (one word of one instruction cycle: its
// record's `lean`) needs of its frame: the bus at rest and the clocking
// steady (nothing to clock), no pin written since, not profiled unless it
// is counted without the profiler's hook (its references only counted),
// no memory input stream, and its fetches plain.
[[gnu::always_inline]] inline bool lean_frame(const device_inst& inst, const device_state& st, const uint32_t* w,
                                              const plain_page* pages, const decoded_word& d, bool repeat_pass,
                                              bool bus_rest, bool clock_steady) {
  return bus_rest && clock_steady && inst.pins_changed == 0 && (!inst.profiled || st.profile.counting != nullptr) &&
         !(st.stream_plan & STREAMS_X_READS) && fetches_plain(w, pages, d, repeat_pass);
}

// What a one-piece form found before it starts: the pages and addresses
// of its X accesses, the registers they load or store, a transfer's
// destination and the value it carries.
struct lean_plan {
  const plain_page* p1;
  const plain_page* p2;
  uint32_t a1;
  uint32_t a2;
  int reg1;
  int reg2;
  int to;  // a transfer's destination (-1: none)
  int n;
  agu_mode mode;
  bool read;
  bool watched;
};

// The one-piece form's checks (nothing changed yet); false for the
// general path's: r3 as the two reads' first unit, an address outside
// lean_page, a register a move may not load, ssh as a source.
[[gnu::always_inline]] inline bool lean_check(const device_inst& inst, const device_state& st, const uint32_t* w,
                                              const plain_page* pages, const decoded_word& d, uint32_t op,
                                              bool repeat_pass, bool bus_rest, bool clock_steady, lean_plan& l) {
  constexpr std::array<agu_mode, 4> modes = {AGU_NONE, AGU_INC, AGU_DEC, AGU_ADD_N};
  l.to = -1;
  switch (d.lean) {
    case LEAN_TWO_READS: {
      l.n = static_cast<int>((op >> 5) & 3);
      if (l.n == 3 || !fast_agu_plain(w)) return false;
      l.a1 = w[CORE_R0 + l.n] & WORD;
      l.a2 = w[CORE_R3] & WORD;
      l.p1 = lean_page(pages, l.a1, false);
      l.p2 = lean_page(pages, l.a2, false);
      if (l.p1 == nullptr || l.p2 == nullptr) return false;
      const uint32_t sel = (op >> 8) & 7;
      l.reg1 = two_read_first[sel] == OTHER_ACC ? other_acc(op) : two_read_first[sel];
      l.reg2 = two_read_second[sel];
      break;
    }
    case LEAN_X_MOVE:
    case LEAN_MOVE_ADDRESS: {
      const bool x_move = d.lean == LEAN_X_MOVE;
      l.read = (op & (x_move ? 0x100 : 0x400)) != 0;
      l.reg1 = x_move ? hhh_regs[(op >> 9) & 7] : fast_reg5(op >> 5);
      if (!x_move && (l.reg1 < 0 || (l.read ? !fast_plain_destination(l.reg1) : l.reg1 == CORE_SSH)))
        return false;
      if (!fast_agu_plain(w)) return false;
      l.n = static_cast<int>(x_move ? (op >> 12) & 3 : op & 3);
      l.mode = x_move ? ((op & 0x4000) ? AGU_ADD_N : AGU_INC) : modes[(op >> 2) & 3];
      l.a1 = w[CORE_R0 + l.n] & WORD;
      l.p1 = lean_page(pages, l.a1, !l.read);
      if (l.p1 == nullptr) return false;
      l.watched = lean_watched(st, l.a1, !l.read);
      break;
    }
    case LEAN_ALU_TRANSFER:
      l.reg1 = transfer_src[(op >> 8) & 15];
      if (l.reg1 >= 0) l.to = transfer_to(op);
      break;
    case LEAN_MOVE_REG:
      l.reg1 = fast_reg5(op >> 5);
      l.to = fast_reg5(op);
      if (l.reg1 == CORE_SSH || (l.to >= 0 && !fast_plain_destination(l.to))) return false;
      break;
    case LEAN_LEA:
      l.n = static_cast<int>(op & 3);
      if (((op >> 2) & 3) != 0) l.to = ((op & 0x40) ? CORE_R0 : CORE_N0) + static_cast<int>((op >> 4) & 3);
      break;
    case LEAN_MOVE_IMM:
      l.to = fast_reg5(op >> 5);
      if (!fast_plain_destination(l.to)) return false;
      break;
    default: break;
  }
  return lean_frame(inst, st, w, pages, d, repeat_pass, bus_rest, clock_steady);
}

// (GCC without whole-program optimisation cannot tie the switches on the
// form together and takes a plan's fields as maybe unset where they are
// read; each is set by the form that reads it.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// An instruction in one piece (its record's `lean`): its handler and
// run_straight's framework together, its X accesses straight from their
// pages (no plan), its transfer stored at the end; the framework once for
// every form. -1: the general path's (nothing changed).
[[gnu::always_inline]] inline int lean_instruction(device_inst& inst, device_state& st, uint32_t* w,
                                                   const plain_page* pages, const decoded_word& d, uint32_t op,
                                                   bool repeat_pass, bool bus_rest, bool* clock_steady) {
  lean_plan l;
  if (!lean_check(inst, st, w, pages, d, op, repeat_pass, bus_rest, *clock_steady, l)) return -1;
  fast_step s;
  start_step(s, inst, st, w, d, op, repeat_pass, pages, true, clock_steady);
  fast_begin(s, true);
  // The handler's work after fast_begin (the operation, the sources, the
  // address units).
  uint32_t value = 0;
  switch (d.lean) {
    case LEAN_TWO_READS:
      run_alu_of(d);
      fast_agu_update(w, l.n, (op & 0x1000) ? AGU_ADD_N : AGU_INC);
      fast_agu2_update(w, (op & 0x800) != 0);
      break;
    case LEAN_X_MOVE:
      if (!l.read) value = fast_source(l.reg1, CS_XDB);
      run_alu_of(d);
      fast_agu_update(w, l.n, l.mode);
      break;
    case LEAN_MOVE_ADDRESS:
      if (!l.read) value = fast_source(l.reg1, CS_XDB);
      fast_agu_update(w, l.n, l.mode);
      break;
    case LEAN_ALU_TRANSFER:
      if (l.reg1 >= 0) value = fast_source(l.reg1, CS_XDB);
      run_alu_of(d);
      break;
    case LEAN_MOVE_REG:
      if (l.reg1 >= 0) value = fast_source(l.reg1, CS_GDB);
      break;
    case LEAN_LEA:
      // The address unit's arithmetic without its flags.
      if (l.to >= 0) {
        const uint32_t mode = (op >> 2) & 3;
        const uint32_t r = w[CORE_R0 + l.n] & WORD, m = w[CORE_M0 + l.n] & WORD;
        const uint32_t offset = mode == 3 ? w[CORE_N0 + l.n] & WORD : 1;
        const bool down = mode == 2;
        value = m == WORD ? (down ? r - offset : r + offset) & WORD : agu_modify(r, offset, down, m, nullptr);
      }
      break;
    case LEAN_REP_IMM: repeat_arm_count(op & 0xFF); break;
    case LEAN_NOP: break;
    default:
      // The long immediate: the operand's fetch in the first cycle (a
      // repeat pass keeps its first pass's).
      value = w[CS_DECODE_OPERAND];
      if (!repeat_pass) fetch_operand(s);
      break;
  }
  const bool fetch = plan_last_cycle(w);
  const int cycles = 2 * d.cycles;
  fast_clock(inst, w, cycles - 1, true, true);
  // The accesses of the last cycle, or the transfer.
  if (d.lean == LEAN_TWO_READS) {
    lean_read(w, *l.p1, l.a1, l.reg1, CS_XDB, st.instr_epoch);
    lean_read(w, *l.p2, l.a2, l.reg2, CS_GDB, st.instr_epoch);
  } else if (d.lean == LEAN_X_MOVE || d.lean == LEAN_MOVE_ADDRESS) {
    if (l.read)
      lean_read(w, *l.p1, l.a1, l.reg1, CS_XDB, st.instr_epoch);
    else
      lean_write(*l.p1, l.a1, value, st.instr_epoch, l.watched);
  } else if (l.to >= 0) {
    transfer_now(w, l.to, value);
  }
  if (fetch) fetch_opcode(s);
  end_signal(inst, w);
  fast_clock_end(inst, w, true);
  return cycles;
}
#pragma GCC diagnostic pop

}  // namespace

// --- The framework ----------------------------------------------------------------

uint32_t fast_source_slow(int reg, int bus) {
  core_mark_read(reg);
  core_reg_to_bus(reg, bus);
  return core_word(bus) & WORD;
}

// The 583's peripheral address generation may take the update: left to the
// cycle-by-cycle path.
bool fast_agu_plain(const uint32_t* w) {
  return !core_is_583() || !(w[CORE_OMR] & OMR_PAGU);
}

namespace {

// The forms with X accesses take one instruction cycle (their accesses
// complete in it); the others any number.
uint8_t lean_form(uint16_t word, const decoded_word& d) {
  if (d.fast == fast_move_long && (word & 0x400) && (word & 8)) return LEAN_MOVE_IMM;
  if (d.words != 1) return LEAN_NONE;
  if (d.fast == fast_nop) return LEAN_NOP;
  if (d.fast == fast_alu_transfer) return LEAN_ALU_TRANSFER;
  if (d.fast == fast_move_reg) return LEAN_MOVE_REG;
  if (d.fast == fast_lea) return LEAN_LEA;
  if (d.fast == fast_rep_imm) return LEAN_REP_IMM;
  if (d.cycles != 1) return LEAN_NONE;
  if (d.fast == fast_alu_two_reads) return LEAN_TWO_READS;
  if (d.fast == fast_alu_x_move) return LEAN_X_MOVE;
  return d.fast == fast_move_address ? LEAN_MOVE_ADDRESS : LEAN_NONE;
}

}  // namespace

void core_fast_record(uint16_t word, decoded_word& d) {
  d.fast = nullptr;
  d.fast_alu = {};
  d.lean = LEAN_NONE;
  constexpr uint32_t SPECIAL = IFLAG_ILLEGAL | IFLAG_TRAP | IFLAG_RESET | IFLAG_WAIT | IFLAG_STOP;
  if ((d.flags & SPECIAL) || (d.cls & CLASS_CONTINUES)) return;
  if (core_fast_alu_record(word, d)) {
    if (d.fast != nullptr) d.lean = lean_form(word, d);
    return;
  }
  d.fast = core_fast_move_handler(word, d);
  if (d.fast == nullptr) d.fast = core_fast_flow_handler(word, d);
  if (d.fast == nullptr) d.fast = core_fast_control_handler(word, d);
  d.lean = lean_form(word, d);
}


// A word a memory stream watches: an input feeds the core's reads of it,
// an output takes a line at each store (the tags of its row, found as the
// stream services find them).
bool fast_stream_word(uint32_t address, bool write) {
  constexpr int IN_TAGS = 3, OUT_TAGS = 4;  // region_access_log::maps
  const int row = find_memory_region(core_resolve_space(SPACE_X, address), address);
  if (row < 0 || row >= static_cast<int>(cur_state->region_logs.size())) return false;
  const uint32_t at = address & cur_type->regions[row].addr_mask;
  const range_map& tags = cur_state->region_logs[static_cast<std::size_t>(row)].maps[write ? OUT_TAGS : IN_TAGS];
  for (const range_entry& e : tags.ranges)
    if (e.high >= at) return e.low <= at && e.value != 0;
  return false;
}

// core_mem_write names the space resolved under omr, which no straight
// instruction changes.
void fast_stream_store(uint32_t address) { write_memory_output(core_resolve_space(SPACE_X, address), address, 0); }

bool fast_program_plain(const fast_step& s, uint32_t address) {
  address &= WORD;
  if (s.pages[address >> 8].base != nullptr) return true;
  fast_word at{};
  return fast_program_word(s.pages, address, at);
}

uint32_t fast_second_word(const fast_step& s) { return fast_step_second_word(s); }

uint32_t fast_second_word_slow(const plain_page* pages, uint32_t address) {
  fast_word at{};
  fast_program_word(pages, address, at);
  return *at.word & WORD;
}

void fast_transfer(fast_step& s, int reg, uint32_t value) {
  const auto k = static_cast<std::size_t>(s.transfers++);
  s.transfer_reg[k] = reg;
  s.transfer_value[k] = value & WORD;
}

void fast_run_alu(const fast_step& s) { run_alu_of(*s.d); }

namespace {

// The core's words of a plain boundary: nothing in progress, no interrupt
// sequence, no history, the PLL not locking.
inline bool boundary_plain(const uint32_t* w) {
  return (w[CS_CYC_INDEX] | w[CS_STALLED] | w[CS_BUBBLE] | w[CS_IN_FAST_IRQ] | w[CS_IRQ_SEQ_STEP] |
          w[CS_IRQ_ABANDONED] | w[CS_PENDING_ACK] | w[CS_NEXT_FETCH] | w[CS_RESTART_SKIP] | w[CS_HISTORY_ON] |
          w[CS_PLL_LOCK_COUNT]) == 0;
}

// A boundary with nothing in progress, no history, no stream the core's
// register or port accesses feed (the run plan's; x memory words are
// tested by fast_plan_access), no watched reads, the PLL not locking and
// the reset pin high. (Input services that take a value run in a cycle
// of their own, which no instruction here fits.)
inline bool entry_plain(const device_inst& inst, const device_state& st, const uint32_t* w) {
  return boundary_plain(w) && inst.device_words[DW_CORE_STATE_CODE] == CORE_STATE_EXECUTE &&
         !inst.device_words[DW_RESET_HELD] && !st.read_watch && !(st.stream_plan & STREAMS_CORE) &&
         (periph_pin_block(PINS_CONTROL)[PIN_LEVEL] & CTL_RESET);
}

// The instruction at a plain boundary straight through: its device
// cycles, or 0 when it did not (nothing changed). `bus_rest` is
// bus_at_rest's answer at this boundary.
[[gnu::always_inline]] inline int run_straight(device_inst& inst, device_state& st, uint32_t* w, const plain_page* pages, bool bus_rest,
                        bool* clock_steady, uint64_t* quiet_bound, int room, int sample_device) {
  const bool repeat_pass = w[CS_REP_CONTINUE] != 0;
  const uint32_t word = (repeat_pass ? w[CS_DECODE] : w[CS_PREFETCH]) & WORD;
  const decoded_word& d = decoded_word_of(static_cast<uint16_t>(word));
  if (d.fast == nullptr || (repeat_pass && (w[CS_DEC_CLASS] & CLASS_CONTINUES))) return 0;
  const int cycles = 2 * d.cycles;
  if (room < cycles) return 0;
  // The run's quiet bound, worked out again whenever the full test is made.
  if (uint64_t{inst.cycles} + static_cast<uint32_t>(cycles) > *quiet_bound || stop_request != 0 ||
      inst.horizon_stale) {
    if (!exec_cycles_quiet(inst, cycles)) return 0;
    *quiet_bound = exec_quiet_bound(inst);
  }
  // A profiled device's sample as the instruction starts (taken once: an
  // instruction declined below starts next, with nothing in between).
  if (inst.profiled && sample_device >= 0) [[unlikely]]
    profile_sample(sample_device);
  // The commonest classes in one piece.
  if (d.lean != LEAN_NONE) {
    const int ran = lean_instruction(inst, st, w, pages, d, word, repeat_pass, bus_rest, clock_steady);
    if (ran >= 0) return ran;
  }
  if (!fetches_plain(w, pages, d, repeat_pass)) return 0;
  fast_step s;
  start_step(s, inst, st, w, d, word, repeat_pass, pages, bus_rest, clock_steady);
  if (!d.fast(s)) return 0;
  for (int c = 1; c < d.cycles; ++c) {
    complete_accesses(s, c);
    // A repeat pass keeps its first pass's operand: no fetch.
    if (c < d.words && !repeat_pass) fetch_operand(s);
    w[CS_CYC_INDEX] = static_cast<uint32_t>(c + 1);
  }
  const bool fetch = plan_last_cycle(w);
  fast_clock(inst, w, cycles - 1, bus_rest, s.closed_clock);
  complete_accesses(s, d.cycles);
  if (fetch) fetch_opcode(s);
  end_instruction(s);
  fast_clock_end(inst, w, bus_rest);
  return cycles;
}

// Straight instructions from a plain boundary (entry_plain), back to
// back: core_fast_run's loop, or one instruction when `one` is set.
// One call runs the whole run, so its entry and exit are paid once.
// Within the run nothing but its own instructions touches the device:
// no peripheral event, input service or stop falls inside (the entry
// test of each; input deliveries that only set pins nothing samples
// there are made after the instruction, `inputs`), and a handler writes
// neither omr nor bcr. So the pages
// stay, the words outside the core's boundary words stay as the first
// test found them, and a bus at rest stays at rest (its unit is not
// stepped, its pins are not driven).
[[gnu::noinline]] int run_straights(device_inst& inst, device_state& st, uint32_t* w, int room, int device,
                                    bool one, bool* end_pending, straight_inputs* inputs) {
  const plain_page* pages = fast_device_pages(inst, w);
  bool bus_rest = bus_at_rest(w);
  // Once one instruction's clocking settles, the others' change nothing
  // while the pins stay: omr, plcr and pcr0 are not the handlers' to write.
  bool clock_steady = false;
  uint64_t quiet_bound = 0;
  bool run_terms = false;
  int n = 0;
  // The run's statistics, counted once for the run: straight ends, and
  // without `one` the ends of the fast engine and of the executor too
  // (straight_end_done takes each). Only reports read them.
  uint32_t straight = 0;
  auto done = [&] {
    st.straight_instructions += straight;
    if (!one) {
      st.fast_instructions += straight;
      st.exec_instructions += straight;
    }
    return n;
  };
  for (;;) {
    const int ran = run_straight(inst, st, w, pages, bus_rest, &clock_steady, &quiet_bound, room - n, device);
    if (ran == 0) return done();
    n += ran;
    ++straight;
    if (inputs != nullptr && inst.cycles > inputs->due) [[unlikely]]
      straight_deliveries(*inputs, ran);
    if (one) return done();
    // (The observer at the ends may move the count: every end tested.)
    if (!straight_end_done(device, run_terms, instruction_end_observer != nullptr || inst.cycles >= quiet_bound, ran)) {
      *end_pending = true;
      return done();
    }
    // Of the words boundary_plain tests, an instruction's end leaves
    // nonzero only those of an interrupt it accepted (the observer at the
    // end may write any, so its runs test them all).
    if (instruction_end_observer != nullptr ? !boundary_plain(w)
                                            : (w[CS_IRQ_SEQ_STEP] | w[CS_PENDING_ACK] | w[CS_NEXT_FETCH]) != 0)
      return done();
    assert(boundary_plain(w));
    if (!bus_rest) bus_rest = bus_at_rest(w);
  }
}

}  // namespace


int core_fast_instruction(int room) {
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  uint32_t* w = inst.core;
  if (!entry_plain(inst, st, w)) return 0;
  bool end_pending = false;
  return run_straights(inst, st, w, room, -1, true, &end_pending, nullptr);
}

int core_fast_run(int room, int device, bool* end_pending, straight_inputs* inputs) {
  device_inst& inst = *cur_inst;
  device_state& st = *cur_state;
  uint32_t* w = inst.core;
  *end_pending = false;
  if (!entry_plain(inst, st, w)) return 0;
  return run_straights(inst, st, w, room, device, false, end_pending, inputs);
}
