// The two decode stages: the word in decode through the decode tables into
// the decode latches, then its register selectors, immediate and bus
// access requests.
#include "sim/engine/core/core_decode.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/memory.h"

void (*core_history_writer)(uint32_t index) = nullptr;

namespace {

constexpr uint32_t WORD_MASK = 0xFFFF;
constexpr uint32_t PC_TRACE_ENTRIES = 32;

// Attribute bits dropped while a repeat holds the instruction, and in the
// cycle the repeat ends.
constexpr uint32_t ATTR_HELD_IN_REPEAT = 0x308;
constexpr uint32_t ATTR_HELD_AT_REPEAT_END = 0x300;

uint32_t sign_extend(uint32_t value, int sign_bit) {
  const uint32_t sign = 1u << sign_bit;
  const uint32_t low = value & ((sign << 1) - 1);
  return (low & sign) ? (low | ~((sign << 1) - 1)) & WORD_MASK : low;
}

// The short-immediate latch by the class word.
uint32_t short_immediate(const uint32_t* s, uint16_t w, uint32_t cls) {
  if (cls & CLASS_IMM8_SIGNED) return sign_extend(w, 7);
  if (cls & CLASS_IMM6_SIGNED) {
    const uint32_t v = sign_extend(w, 5);
    if (v & 0x8000) return v;
    return core_is_583() ? (v + s[CORE_APASAM]) & WORD_MASK : v;
  }
  if (cls & CLASS_IMM_IO) return (w | 0xFFE0u) & WORD_MASK;
  return w & 0xFFu;
}

// The opcode's low byte, placed by the instruction's flag word (the
// immediate forms of andi and ori on the status and mode registers).
uint32_t opcode_byte(uint16_t w, uint32_t flags) {
  const uint32_t b = w & 0xFFu;
  if (flags == IMM_FLAGS_OR_HIGH) return b | 0xFF00u;
  if (flags == IMM_FLAGS_HIGH_FF) return (b << 8) | 0xFFu;
  if (flags == IMM_FLAGS_HIGH) return b << 8;
  return b;
}

// Immediate sources of op_timing field 6, first match.
struct immediate_source {
  uint32_t bit;
  uint32_t (*value)(const uint32_t* s, uint16_t w);
};
constexpr std::array<immediate_source, 3> immediate_sources = {{
    {IMM_SECOND_WORD, [](const uint32_t* s, uint16_t) { return s[CS_DECODE_OPERAND] & WORD_MASK; }},
    {IMM_SHORT, [](const uint32_t* s, uint16_t) { return s[CS_SHORT_IMM] & WORD_MASK; }},
    {IMM_OPCODE_BYTE, [](const uint32_t* s, uint16_t w) { return opcode_byte(w, s[CS_DEC_FLAGS]); }},
}};

uint32_t immediate_value(const uint32_t* s, uint16_t w, uint32_t source) {
  if (!(source & IMM_PRESENT)) return 0;
  for (const immediate_source& src : immediate_sources)
    if (source & src.bit) return src.value(s, w);
  return 0;
}

// The pc, the history line of the instruction just completed and, for a
// new instruction, the next pc trace entry. In a run the last cycle of the
// instruction before has already set pc (core_set_next_pc).
void begin_instruction(uint32_t* s, bool repeat_pass) {
  const uint32_t address = s[CS_DECODE_ADDR] & WORD_MASK;
  core_set_next_pc(address);

  device_state& st = *cur_state;
  if (st.pc_trace_count > 0 && core_history_writer) core_history_writer(st.pc_trace_index);
  if (repeat_pass) return;
  st.pc_trace_count += 1;
  st.pc_trace_index = (st.pc_trace_index + 1) % PC_TRACE_ENTRIES;
  st.pc_trace[st.pc_trace_index] = {address, s[CS_DECODE] & WORD_MASK, 0, 0};
}

struct access_slot {
  int req_word;
  int space_word;
  int address_word;
  int generic_space;
  int external_space;
};
constexpr std::array<access_slot, 3> access_slots = {{
    {CS_REQ_PROGRAM, CS_SPACE_PROGRAM, CS_PAB, SPACE_P, SPACE_PE},
    {CS_REQ_X1, CS_SPACE_X1, CS_XAB, SPACE_X, SPACE_XE},
    {CS_REQ_X2, CS_SPACE_X2, CS_XAB2, SPACE_X, SPACE_XE},
}};

// The four register codes of a word under the four selector fields of its
// timing row. They depend on nothing else, so each word keeps the codes of
// the fields it was decoded with last: most words always decode with the
// same row.
struct move_code_entry {
  uint64_t fields = 0;  // the four selector fields, 16 bits each
  bool valid = false;
  std::array<uint8_t, 4> codes{};
};
// Each thread keeps its own cache: an entry is rewritten as fields change.
thread_local std::unique_ptr<std::array<move_code_entry, 0x10000>> move_code_cache;

std::array<uint8_t, 4> select_codes(uint16_t w, const uint32_t* timing) {
  const int xdb_src = select_move_code(1, timing[OPT_XDB_SRC], w, 0);
  return {static_cast<uint8_t>(xdb_src),
          static_cast<uint8_t>(select_move_code(2, timing[OPT_XDB_DST], w, 0)),
          static_cast<uint8_t>(select_move_code(3, timing[OPT_GDB_SRC], w, xdb_src)),
          static_cast<uint8_t>(select_move_code(4, timing[OPT_GDB_DST], w, 0))};
}

const std::array<uint8_t, 4>& move_codes_of(uint16_t w, const uint32_t* timing) {
  static_assert(OPT_XDB_SRC == 0 && OPT_XDB_DST == 1 && OPT_GDB_SRC == 2 && OPT_GDB_DST == 3);
  if (move_code_cache == nullptr) move_code_cache = std::make_unique<std::array<move_code_entry, 0x10000>>();
  move_code_entry& e = (*move_code_cache)[w];
  const uint64_t fields = uint64_t{timing[0]} | uint64_t{timing[1]} << 16 |
                          uint64_t{timing[2]} << 32 | uint64_t{timing[3]} << 48;
  if (!e.valid || e.fields != fields) {
    e.codes = select_codes(w, timing);
    e.fields = fields;
    // Fields wider than their 16 bits in the key are worked out every time.
    e.valid = (timing[0] | timing[1] | timing[2] | timing[3]) <= WORD_MASK;
  }
  return e.codes;
}

}  // namespace

uint32_t core_short_immediate(uint16_t w, uint32_t cls) { return short_immediate(core_words(), w, cls); }
uint32_t core_opcode_byte(uint16_t w, uint32_t flags) { return opcode_byte(w, flags); }

void core_decode() {
  uint32_t* s = core_words();
  const uint32_t prev_class = s[CS_DEC_CLASS];
  s[CS_PREV_CLASS] = prev_class;

  const bool boundary = s[CS_INSTR_BOUNDARY] != 0;
  const bool repeat_pass = boundary && s[CS_REPEAT_PASS] != 0;
  const bool take_word = (boundary && !repeat_pass) || (prev_class & CLASS_CONTINUES);
  if (take_word) {
    s[CS_DECODE] = s[CS_PREFETCH] & WORD_MASK;
    s[CS_DECODE_ADDR] = s[CS_PREFETCH_ADDR] & WORD_MASK;
  }
  if (take_word || boundary) s[CS_PIPE_MODE] = PIPE_MODE_FIRST;

  const uint16_t w = static_cast<uint16_t>(s[CS_DECODE]);
  const bool fast = s[CS_IN_FAST_IRQ] != 0;
  const uint32_t cls = instr_class_lookup(w, fast);
  const uint32_t flags = instr_flags_lookup(w, fast);
  s[CS_DEC_CLASS] = cls;
  s[CS_DEC_FLAGS] = flags;
  // A word the engine checked when it fetched it has been reported already.
  if (take_word && (flags & IFLAG_ILLEGAL) && !s[CS_PREFETCH_CHECKED]) cur_inst->flags |= DEV_ILLEGAL;
  if (take_word) s[CS_PREFETCH_CHECKED] = 0;
  if (boundary) begin_instruction(s, repeat_pass);

  s[CS_SHORT_IMM] = short_immediate(s, w, cls);

  const int mode = static_cast<int>(s[CS_PIPE_MODE]);
  s[CS_DEC_FETCH_CTRL] = fetch_ctrl_lookup(w, mode, fast);

  attr_row attr = exec_attr_lookup(w, static_cast<int>(s[CS_SEQ_CODE]), fast);
  if (s[CS_REP_STATE] != 0) attr.attr &= ~ATTR_HELD_IN_REPEAT;
  if (s[CS_REP_ENDING] != 0) attr.attr &= ~ATTR_HELD_AT_REPEAT_END;
  s[CS_DEC_ATTR_VALUE] = attr.value;
  s[CS_DEC_ATTR] = attr.attr;
  s[CS_DEC_MOVE_FORM] = move_form_lookup(w);

  const int row = timing_lookup(w, mode, fast);
  s[CS_DEC_TIMING_ROW] = static_cast<uint32_t>(row);
  for (std::size_t f = 0; f < OP_TIMING_FIELDS; ++f) s[CS_DEC_TIMING + f] = op_timing[row][f];
  s[CS_PIPE_MODE] = op_timing[row][OPT_NEXT_MODE];
}

void core_decode_operands() {
  uint32_t* s = core_words();
  const uint16_t w = static_cast<uint16_t>(s[CS_DECODE]);
  const uint32_t* timing = &s[CS_DEC_TIMING];

  const std::array<uint8_t, 4>& codes = move_codes_of(w, timing);
  s[CS_DEC_XDB_SRC] = codes[0];
  s[CS_DEC_XDB_DST] = codes[1];
  s[CS_DEC_GDB_SRC] = codes[2];
  s[CS_DEC_GDB_DST] = codes[3];
  s[CS_DEC_IMMEDIATE] = immediate_value(s, w, timing[OPT_IMMEDIATE]);

  core_decode_requests();
}

namespace {

// Devices on several threads share the records: one builds a record under
// the lock and publishes it by its valid flag.
std::array<decoded_word, 0x10000> records;
std::mutex records_lock;

// The first use of a word: its record built (out of line, so that the
// look-up itself stays a load and a test).
[[gnu::noinline]] const decoded_word& build_record(uint16_t w) {
  decoded_word& d = records[w];
  const std::lock_guard<std::mutex> hold(records_lock);
  if (!std::atomic_ref<bool>(d.valid).load(std::memory_order_relaxed)) {
    d.cls = instr_class_lookup(w, false);
    d.flags = instr_flags_lookup(w, false);
    d.fetch_ctrl = fetch_ctrl_lookup(w, PIPE_MODE_FIRST, false);
    const attr_row attr = exec_attr_lookup(w, 0, false);
    d.attr_value = attr.value;
    d.attr = attr.attr;
    d.move_form = move_form_lookup(w);
    const int row = timing_lookup(w, PIPE_MODE_FIRST, false);
    d.timing_row = static_cast<uint32_t>(row);
    d.next_mode = static_cast<uint8_t>(op_timing[row][OPT_NEXT_MODE]);
    d.xdb_timing = op_timing[row][OPT_XDB_DST];
    d.scale_check = move_checks_scaling(w);
    std::array<uint32_t, OP_TIMING_FIELDS> timing{};
    for (std::size_t f = 0; f < OP_TIMING_FIELDS; ++f) timing[f] = op_timing[row][f];
    d.move_codes = select_codes(w, timing.data());
    const int words = core_instruction_words(w);
    d.words = static_cast<uint8_t>(words);
    d.cycles = static_cast<uint8_t>(core_instruction_cycles(w, words, false));
    d.run = core_handler_of(w);
    core_fast_record(w, d);
    std::atomic_ref<bool>(d.valid).store(true, std::memory_order_release);
  }
  return d;
}

}  // namespace

const decoded_word& decoded_word_of(uint16_t w) {
  decoded_word& d = records[w];
  if (std::atomic_ref<bool>(d.valid).load(std::memory_order_acquire)) [[likely]] return d;
  return build_record(w);
}

void core_decode_new(const decoded_word& d, bool repeat_pass) {
  uint32_t* s = core_words();
  s[CS_PREV_CLASS] = s[CS_DEC_CLASS];
  const uint16_t w = static_cast<uint16_t>(repeat_pass ? s[CS_DECODE] : s[CS_PREFETCH]);
  if (!repeat_pass) {
    s[CS_DECODE] = w;
    s[CS_DECODE_ADDR] = s[CS_PREFETCH_ADDR] & WORD_MASK;
  }
  s[CS_DEC_CLASS] = d.cls;
  s[CS_DEC_FLAGS] = d.flags;
  if (!repeat_pass) {
    if ((d.flags & IFLAG_ILLEGAL) && !s[CS_PREFETCH_CHECKED]) cur_inst->flags |= DEV_ILLEGAL;
    s[CS_PREFETCH_CHECKED] = 0;
  }
  begin_instruction(s, repeat_pass);
  s[CS_SHORT_IMM] = short_immediate(s, w, d.cls);
  s[CS_DEC_FETCH_CTRL] = d.fetch_ctrl;
  uint32_t attr = d.attr;
  if (s[CS_REP_STATE] != 0) attr &= ~ATTR_HELD_IN_REPEAT;
  if (s[CS_REP_ENDING] != 0) attr &= ~ATTR_HELD_AT_REPEAT_END;
  s[CS_DEC_ATTR_VALUE] = d.attr_value;
  s[CS_DEC_ATTR] = attr;
  s[CS_DEC_MOVE_FORM] = d.move_form;
  s[CS_DEC_TIMING_ROW] = d.timing_row;
  const auto& timing = op_timing[d.timing_row];
  for (std::size_t f = 0; f < OP_TIMING_FIELDS; ++f) s[CS_DEC_TIMING + f] = timing[f];
  s[CS_PIPE_MODE] = d.next_mode;
}

void core_decode_operands_from(const decoded_word& d) {
  uint32_t* s = core_words();
  s[CS_DEC_XDB_SRC] = d.move_codes[0];
  s[CS_DEC_XDB_DST] = d.move_codes[1];
  s[CS_DEC_GDB_SRC] = d.move_codes[2];
  s[CS_DEC_GDB_DST] = d.move_codes[3];
  s[CS_DEC_IMMEDIATE] = immediate_value(s, static_cast<uint16_t>(s[CS_DECODE]), s[CS_DEC_TIMING + OPT_IMMEDIATE]);
  core_decode_requests();
}

void core_decode_requests() {
  uint32_t* s = core_words();
  const uint32_t kinds = s[CS_DEC_TIMING + OPT_BUS_KINDS];
  const uint32_t program = kinds & (BUS_P_WRITE | BUS_P_READ);
  const std::array<uint32_t, 3> wanted = {
      program ? program : BUS_P_READ,
      kinds & (BUS_X_WRITE | BUS_X_READ),
      kinds & BUS_X2_READ,
  };
  for (std::size_t i = 0; i < access_slots.size(); ++i) {
    const access_slot& slot = access_slots[i];
    if (!wanted[i]) {
      s[slot.req_word] = 0;
      s[slot.space_word] = 0;
      continue;
    }
    const int space = core_resolve_space(slot.generic_space, s[slot.address_word] & WORD_MASK);
    s[slot.space_word] = static_cast<uint32_t>(space);
    s[slot.req_word] = space == slot.external_space ? wanted[i] : 0;
  }
}

void core_set_next_pc(uint32_t address) {
  address &= WORD_MASK;
  if (core_word(CORE_PC) != address) core_store_reg(CORE_PC, address);
  cur_inst->pc = address;
}

void core_check_prefetch(bool fast_irq) {
  uint32_t* s = core_words();
  if (instr_flags_lookup(static_cast<uint16_t>(s[CS_PREFETCH]), fast_irq) & IFLAG_ILLEGAL)
    cur_inst->flags |= DEV_ILLEGAL;
  s[CS_PREFETCH_CHECKED] = 1;
}

void core_trace_second_word(uint32_t word) {
  cur_state->pc_trace[cur_state->pc_trace_index].second = word & WORD_MASK;
}
