// Stepping by source line: the run modes of next, until, finish and the
// line steps of step and trace, decided at each instruction end.
//
// What the instruction at an address is (call, return, other) comes from
// the family's disassembler; a small cache keyed by address and opcode
// words spares the text formatting while a loop runs over the same code.
#include <algorithm>
#include <array>
#include <cstring>

#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/frames.h"
#include "sim/cdb/source.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/core/runloop.h"

namespace {

enum instr_kind : uint8_t { KIND_OTHER, KIND_CALL, KIND_RETURN };

struct instr_class {
  instr_kind kind = KIND_OTHER;
  uint32_t length = 1;
};

struct cache_entry {
  const family_desc* family = nullptr;
  uint32_t address = 0;
  std::array<uint32_t, 3> words{};
  instr_class value;
};
std::array<cache_entry, 64> classified;

constexpr std::size_t TEXT_SIZE = 100;

uint32_t program_mask(uint32_t address) {
  const int region = find_memory_region(SPACE_P, address);
  if (region < 0 || region >= cur_type->region_count) return 0xFFFF;
  return cur_type->regions[region].addr_mask;
}

instr_class classify(uint32_t address) {
  const uint32_t mask = program_mask(address);
  std::array<uint32_t, 3> words{};
  for (uint32_t i = 0; i < words.size(); ++i) cur_type->mem->read_word(SPACE_P, (address + i) & mask, &words[i]);
  cache_entry& e = classified[address % classified.size()];
  if (e.family == cur_family && e.address == address && e.words == words) return e.value;
  instr_class c;
  if (cur_family != nullptr && cur_family->disassemble != nullptr) {
    char text[TEXT_SIZE] = {};
    c.length = static_cast<uint32_t>(std::max(cur_family->disassemble(words.data(), text, 0, 0, nullptr), 1));
    const bool call_prefix = (text[0] == 'b' || text[0] == 'j') && text[1] == 's';
    if (call_prefix && !(text[2] == 'e' && text[3] == 't')) c.kind = KIND_CALL;
    else if (std::strncmp(text, "rts", 3) == 0 && (text[3] == '\0' || text[3] == ' ')) c.kind = KIND_RETURN;
  }
  e = {cur_family, address, words, c};
  return c;
}

uint32_t after(uint32_t address, uint32_t length) { return (address + length) & program_mask(address); }

int file_number(int file) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || file < 0 || static_cast<uint32_t>(file) >= info->symbol_count) return -1;
  return static_cast<int>(info->symbols[static_cast<std::size_t>(file)].type());
}

// The line record of pc: its index, line and ".file".
struct line_at {
  int index = -1;
  uint32_t line = 0;
  int file = -1;
};

// The ".file" of the last line record asked about: while a step runs over
// the instructions of one line it is asked again and again, and finding
// it walks the symbol table.
struct file_memo {
  const coff_debug_info* info = nullptr;
  uint32_t symbols = 0;
  int line_index = -1;
  uint32_t address = 0;
  int file = -1;
  bool same(const coff_debug_info* i, int index) const {
    return info == i && symbols == i->symbol_count && line_index == index &&
           address == i->lines[static_cast<std::size_t>(index)].address;
  }
};
file_memo memo;

line_at line_of(uint32_t pc) {
  line_at l;
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || info->lines.empty()) return l;
  l.index = coff_line_index_at(pc, SPACE_P);
  if (l.index < 0) return l;
  l.line = info->lines[static_cast<std::size_t>(l.index)].line;
  if (!memo.same(info, l.index))
    memo = {info, info->symbol_count, l.index, info->lines[static_cast<std::size_t>(l.index)].address,
            coff_file_symbol_at(pc, SPACE_P)};
  l.file = memo.file;
  return l;
}

bool on_step_line(const line_at& l) {
  return l.line == cur_state->step_line && file_number(l.file) == file_number(cur_state->view_file);
}

// One unit counted: 1 when it was the last (the run stops and shows).
bool count_unit(int* show, int* stop) {
  device_state& st = *cur_state;
  if (st.run_count != 0) st.run_count -= 1;
  if (st.run_count != 0) return false;
  *show = *stop = 1;
  return true;
}

int line_mode(int kind, bool call) {
  if (kind == RUN_STEP_INSTR) return call ? 18 : 13;
  return call ? 19 : 14;
}

// Step and trace by line (13, 14): a call on the line is stepped into.
void step_line_rule(int* show, int* stop) {
  device_state& st = *cur_state;
  const uint32_t pc = cur_inst->pc;
  const bool trace = st.run_mode == 14;
  const bool call = classify(pc).kind == KIND_CALL;
  const line_at l = line_of(pc);
  if (l.index < 0 || on_step_line(l)) {
    if (call) st.run_mode = trace ? 19 : 18;
    return;
  }
  if (count_unit(show, stop)) return;
  if (trace) *show = 1;
  st.run_mode = source_step_mode(trace ? RUN_TRACE_INSTR : RUN_STEP_INSTR);
}

// A line reached: the next unit of a step or trace by line starts.
void line_reached(bool trace, int* show, int* stop) {
  if (count_unit(show, stop)) return;
  if (trace) *show = 1;
  cur_state->run_mode = source_step_mode(trace ? RUN_TRACE_INSTR : RUN_STEP_INSTR);
}

// Modes whose units are counted from where the program goes on: an
// interrupt taken on the way is not part of the stepped code (its vector's
// jsr is no call of that code, and its rti never reaches a stop address).
// until stops wherever its address is reached, and 17 decides at once.
bool runs_over_interrupts(int mode) { return mode >= 5 && mode != 9 && mode != 17; }

bool hold_if_entering(device_state& st) {
  uint32_t resume = 0;
  uint32_t depth = 0;
  if (!interrupt_entering(&resume, &depth)) return false;
  st.irq_hold = 1;
  st.irq_resume = resume;
  st.irq_depth = depth;
  return true;
}

// 1 while an interrupt handler runs inside the step: the stop rules wait
// for the program to go on where it was interrupted, at its stack depth.
bool inside_interrupt(device_state& st) {
  if (!runs_over_interrupts(st.run_mode)) return false;
  if (st.irq_hold != 0) {
    if (cur_inst->pc != st.irq_resume || cur_inst->periph_state[0][CORE_SP] != st.irq_depth) return true;
    st.irq_hold = 0;
  }
  return hold_if_entering(st);
}

}  // namespace

void hold_entering_interrupt() {
  if (cur_state == nullptr || !runs_over_interrupts(cur_state->run_mode)) return;
  device_state& st = *cur_state;
  if (!hold_if_entering(st)) return;
  // Standing at the vector, its jsr is the handler's entry: the step ends
  // where the interrupted program goes on, as after a call.
  const int mode = st.run_mode;
  if (mode == 6 || mode == 8 || mode == 11 || mode == 16) {
    st.stop_address = st.irq_resume;
    st.stop_space = SPACE_P;
  }
}

int pc_at_subroutine_call(uint32_t address, uint32_t* length) {
  const instr_class c = classify(address);
  if (length != nullptr) *length = c.length;
  return c.kind == KIND_CALL ? 1 : 0;
}

int source_step_mode(int kind) {
  device_state& st = *cur_state;
  const uint32_t pc = cur_inst->pc;
  const line_at l = line_of(pc);
  if (l.index < 0) return kind;
  st.view_file = l.file;
  st.step_line = l.line;
  return line_mode(kind, classify(pc).kind == KIND_CALL);
}

int finish_classify(uint32_t pc) {
  device_state& st = *cur_state;
  const int base = st.run_mode >= 15 && st.run_mode <= 17 ? 15 : 10;
  const instr_class c = classify(pc);
  if (c.kind == KIND_RETURN) return base + 2;
  if (c.kind == KIND_CALL) {
    st.stop_address = after(pc, c.length);
    st.stop_space = SPACE_P;
    return base + 1;
  }
  return base;
}

void next_rearm() {
  device_state& st = *cur_state;
  const uint32_t pc = cur_inst->pc;
  const instr_class c = classify(pc);
  const bool call = c.kind == KIND_CALL;
  st.stop_address = after(pc, c.length);
  st.stop_space = SPACE_P;
  const bool by_line = st.next_kind == 2 || (st.next_kind == 0 && (st.view_mode == 2 || st.source_window_open != 0));
  const line_at l = by_line ? line_of(pc) : line_at{};
  if (l.index >= 0) {
    st.view_file = l.file;
    st.step_line = l.line;
    st.run_mode = call ? 8 : 7;
  } else {
    st.run_mode = call ? 6 : 5;
  }
}

void source_step_check(int* show, int* stop) {
  device_state& st = *cur_state;
  if (inside_interrupt(st)) return;
  const uint32_t pc = cur_inst->pc;
  const int mode = st.run_mode;
  switch (mode) {
    case 5:
      if (!count_unit(show, stop)) next_rearm();
      return;
    case 6:
      if (pc == st.stop_address && !count_unit(show, stop)) next_rearm();
      return;
    case 7:
    case 8: {
      if (mode == 8 && pc != st.stop_address) return;
      const line_at l = line_of(pc);
      if (l.index >= 0 && !on_step_line(l)) {
        if (!count_unit(show, stop)) next_rearm();
        return;
      }
      const instr_class c = classify(pc);
      st.stop_address = after(pc, c.length);
      st.run_mode = c.kind == KIND_CALL ? 8 : 7;
      return;
    }
    case 9: {
      const int here = cur_type->mem->resolve_space(SPACE_P, pc);
      const int there = cur_type->mem->resolve_space(static_cast<int>(st.stop_space), st.stop_address);
      if (pc == st.stop_address && here == there) *show = *stop = 1;
      return;
    }
    case 10:
    case 15:
      st.run_mode = finish_classify(pc);
      return;
    case 11:
    case 16:
      if (pc == st.stop_address) st.run_mode = finish_classify(pc);
      return;
    case 12:
      *show = *stop = 1;
      return;
    case 13:
    case 14:
      step_line_rule(show, stop);
      return;
    case 18:
    case 19: {
      const bool trace = mode == 19;
      const uint32_t body = c_function_body_address(pc);
      if (body == 0) {
        st.run_mode = trace ? 14 : 13;
        step_line_rule(show, stop);
      } else if (pc != body) {
        st.stop_address = body;
        st.run_mode = trace ? 21 : 20;
      } else {
        line_reached(trace, show, stop);
      }
      return;
    }
    case 20:
    case 21:
      if (pc == st.stop_address) line_reached(mode == 21, show, stop);
      return;
    case 17: {
      // The call came back: the counters are put back, the result taken
      // and the expression goes on; it may start a further call.
      const int resumed = c_call_resume();
      if (resumed == 2) return;
      if (resumed == 1 && frame_current() != nullptr) frame_refresh_text(*frame_current());
      *stop = 1;
      return;
    }
    default:
      *show = *stop = 1;
      return;
  }
}
