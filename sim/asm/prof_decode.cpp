// The DSP73500 family's profiler support, read off the disassembler's
// tokens: instruction classes by mnemonic, memory operands with their
// addressing modes, parallel moves and conditions.
#include "sim/asm/prof_decode.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/asm/disasm.h"
#include "sim/asm/disasm_internal.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"

namespace {

// Decode rows whose instructions carry parallel moves (ALU with a data
// move, dual reads, transfers, multiply with move, the r2-offset prefix).
constexpr std::array<int, 6> parallel_rows = {0, 1, 2, 3, 16, 34};

// Mnemonics that take a condition code after them.
constexpr std::array<int32_t, 8> cc_mnemonics = {TK_B, TK_J, TK_JS, TK_BS, TK_T, TK_DEBUG_CC, TK_REP_CC, TK_BRK};

bool one_of(int32_t code, std::initializer_list<int32_t> set) {
  for (int32_t c : set)
    if (c == code) return true;
  return false;
}

bool is_mnemonic(int32_t code) { return code >= TK_ABS && code <= TK_ZERO; }
bool takes_cc(int32_t code) {
  for (int32_t c : cc_mnemonics)
    if (c == code) return true;
  return false;
}

// Class names by mnemonic token: the token text without its blank, "cc"
// added for the conditional forms. Mnemonics that print alike share the
// first one's class.
struct class_table {
  std::array<std::string, PROFILE_CLASSES> names;
  std::array<int, PROFILE_CLASSES> canonical{};
  class_table() {
    for (int code = 0; code < PROFILE_CLASSES; ++code) {
      canonical[static_cast<std::size_t>(code)] = code;
      if (!is_mnemonic(code)) continue;
      std::string name = token_text(code);
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (takes_cc(code)) name += "cc";
      names[static_cast<std::size_t>(code)] = name;
      for (int earlier = TK_ABS; earlier < code; ++earlier)
        if (names[static_cast<std::size_t>(earlier)] == name) {
          canonical[static_cast<std::size_t>(code)] = earlier;
          break;
        }
    }
  }
};
const class_table& classes() {
  static const class_table table;
  return table;
}

// Addressing-mode groups and their modes (mode 0 has no name).
enum : uint8_t { GROUP_MOVES = 0, GROUP_DATA = 1, GROUP_PROGRAM = 2 };
constexpr const char* group_names[] = {"parallel moves", "data operands", "program operands"};
constexpr const char* group_descriptions[] = {"memory operands of parallel moves",
                                              "X-memory operands of other instructions",
                                              "program-memory operands"};
enum : uint8_t {
  MODE_OTHER = 0, MODE_IND, MODE_POSTINC, MODE_POSTDEC, MODE_POSTN, MODE_PREDEC, MODE_INDEXN,
  MODE_SHORT, MODE_IO_SHORT, MODE_LONG, MODE_R2_OFFSET, MODE_ABSOLUTE, MODE_COUNT
};
constexpr std::array<const char*, MODE_COUNT> mode_texts = {
    nullptr, "(Rn)", "(Rn)+", "(Rn)-", "(Rn)+Nn", "-(Rn)", "(Rn+Nn)", "<aa", "<<pp", ">aaaa", "(R2+xx)", "aa"};

uint8_t mode_of(int32_t code) {
  if (code >= TK_IND && code < TK_IND + 4) return MODE_IND;
  if (code >= TK_POSTINC && code < TK_POSTINC + 4) return MODE_POSTINC;
  if (code >= TK_POSTDEC && code < TK_POSTDEC + 4) return MODE_POSTDEC;
  if (code >= TK_POSTN && code < TK_POSTN + 4) return MODE_POSTN;
  if (code >= TK_PREDEC && code < TK_PREDEC + 4) return MODE_PREDEC;
  if (code >= TK_INDEXN && code < TK_INDEXN + 4) return MODE_INDEXN;
  switch (code) {
    case TK_LT: return MODE_SHORT;
    case TK_LTLT: return MODE_IO_SHORT;
    case TK_GT: return MODE_LONG;
    case TK_LPAREN: return MODE_R2_OFFSET;
    default: return MODE_ABSOLUTE;
  }
}

void fill_decoded(const uint32_t* words, decoded_instruction& d) {
  char text[DIS_TEXT_SIZE];
  const int length = disassemble_word(words, text, 0, 0, nullptr);
  d.words = {words[0] & 0xFFFF, words[1] & 0xFFFF};
  d.flags = length == 2 ? static_cast<uint32_t>(INSTR_TWO_WORD) : 0u;
  if (length == 0) {
    d.kind = -1;
    return;
  }
  const uint16_t w = static_cast<uint16_t>(words[0]);
  const int row = dis_row_index(w);
  dis_state st;
  token_list tokens;
  dis_decode_tokens(words, false, st, tokens);
  // After an r2-offset prefix the instruction is the second word's.
  bool nested = false;
  for (std::size_t i = 0; i < tokens.count; ++i) nested = nested || tokens.codes[i] == TK_NEST_PREFIX;
  if (nested) {
    tokens = {};
    dis_decode_tokens(words, true, st, tokens);
  }
  int32_t mnemonic = 0;
  std::size_t at = 0;
  for (; at < tokens.count && mnemonic == 0; ++at)
    if (is_mnemonic(tokens.codes[at])) mnemonic = tokens.codes[at];
  if (mnemonic == 0) {
    d.kind = -1;
    return;
  }
  d.kind = mnemonic;
  d.class_index = classes().canonical[static_cast<std::size_t>(mnemonic)];
  if (takes_cc(mnemonic) && at < tokens.count && tokens.codes[at] >= TK_CC && tokens.codes[at] < TK_CC + 16)
    d.condition = static_cast<uint32_t>(tokens.codes[at] - TK_CC) + 1;

  bool parallel = false;
  for (int r : parallel_rows) parallel = parallel || r == row;
  d.parallel = parallel ? 1 : 0;
  // Move parts: the text after each separator that has any.
  int spaces = 0;
  std::size_t operands = 0, moves = 0;
  for (std::size_t i = at; i < tokens.count; ++i) {
    const int32_t code = tokens.codes[i];
    if (code == TK_SPACE && i + 1 < tokens.count && tokens.codes[i + 1] != TK_SPACE) ++spaces;
    if (code != TK_XMEM && code != TK_PMEM) continue;
    decoded_instruction::operand op;
    op.space = code == TK_PMEM ? PROF_SPACE_P : PROF_SPACE_X;
    op.mode = i + 1 < tokens.count ? mode_of(tokens.codes[i + 1]) : static_cast<uint8_t>(MODE_ABSOLUTE);
    if (parallel && moves < d.move_operands.size()) {
      op.group = GROUP_MOVES;
      d.move_operands[moves++] = op;
    } else if (operands < d.operands.size()) {
      op.group = code == TK_PMEM ? GROUP_PROGRAM : GROUP_DATA;
      d.operands[operands++] = op;
    }
  }
  if (parallel) {
    d.paired = mnemonic != TK_MOVE ? 1 : 0;
    const int count = d.paired ? spaces : spaces + 1;
    d.moves = static_cast<uint32_t>(count > 2 ? 2 : count);
  }
}

// The hook decodes every executed instruction: words decoded lately are
// kept (direct-mapped by the first word; a two-word entry also matches
// its second word), so a loop is decoded once.
struct cached_decode {
  bool valid = false;
  decoded_instruction d;
};
std::array<cached_decode, 1024> decode_cache;

const decoded_instruction& decode_words(const uint32_t* words) {
  cached_decode& c = decode_cache[((words[0] & 0xFFFF) * 2654435761u) >> 22];
  const bool hit = c.valid && c.d.words[0] == (words[0] & 0xFFFF) &&
                   ((c.d.flags & INSTR_TWO_WORD) == 0 || c.d.words[1] == (words[1] & 0xFFFF));
  if (!hit) {
    c.d = {};
    fill_decoded(words, c.d);
    c.valid = true;
  }
  return c.d;
}

void decode(int device, int mode, uint32_t address, uint32_t address_after, profile_record& out) {
  (void)address_after;
  decoded_instruction& d = out.decoded;
  d = {};
  const int space = mode == DECODE_P ? SPACE_P : SPACE_X;
  uint32_t words[2] = {0, 0};
  if (space == SPACE_P && device == cur_device && cur_inst != nullptr) {
    // The run's hook: the device is current.
    if (read_program_word(address & 0xFFFF, &words[0]) == 0) return;
    read_program_word((address + 1) & 0xFFFF, &words[1]);
  } else {
    if (read_device_memory(device, space, address & 0xFFFF, &words[0]) == 0) return;
    read_device_memory(device, space, (address + 1) & 0xFFFF, &words[1]);
  }
  d = decode_words(words);
  d.address = address & 0xFFFF;
  if (device < 0 || device >= DEVICE_MAX || device_states[device] == nullptr) return;
  const profiler_block& block = device_states[device]->profile;
  d.first_values = {block.sample_sr, block.sample_omr};
  if (d.condition != 0) out.condition_true = static_cast<uint32_t>(condition_holds_for(d.condition - 1, block.sample_sr));
}

int classify(const decoded_instruction& d) { return d.class_index; }

const char* class_name(int index) {
  if (index < 0 || index >= PROFILE_CLASSES) return "";
  return classes().names[static_cast<std::size_t>(index)].c_str();
}

void mode_names(mode_name_table& table) {
  for (auto& group : table) group.fill(nullptr);
  for (std::size_t g = 0; g < std::size(group_names); ++g)
    for (std::size_t m = 0; m < mode_texts.size(); ++m) table[g][m] = mode_texts[m];
}

void accumulate_moves(const profile_record& r, family_profile_counts& counts, uint32_t times) {
  const decoded_instruction& d = r.decoded;
  if (d.parallel == 0) return;
  const auto c = static_cast<std::size_t>(d.class_index);
  if (d.moves == 0) counts.class_no_move[c] += times;
  if (d.moves == 1) counts.class_single[c] += times;
  if (d.moves == 2) counts.class_double[c] += times;
  if (d.moves > 0) counts.moves[d.paired][d.moves - 1] += times;
}

void accumulate_modes(const profile_record& r, family_profile_counts& counts, uint32_t times) {
  auto count = [&counts, times](const decoded_instruction::operand& op) {
    if (op.space != PROF_SPACE_FREE) counts.modes[op.group][op.mode] += times;
  };
  for (const auto& op : r.decoded.operands) count(op);
  for (const auto& op : r.decoded.move_operands) count(op);
}

int conditional(const profile_record& r) { return r.decoded.condition != 0 ? 1 : 0; }

int call_test(const decoded_instruction& d) {
  return one_of(d.kind, {TK_JSR, TK_BSR, TK_JS, TK_BS}) ? 1 : 0;
}
int branch_test(const decoded_instruction& d) {
  return one_of(d.kind, {TK_JSR, TK_BSR, TK_JS, TK_BS, TK_JMP, TK_BRA, TK_J, TK_B}) ? 1 : 0;
}
int return_test(const decoded_instruction& d) { return one_of(d.kind, {TK_RTS, TK_RTI}) ? 1 : 0; }

void disassemble(const decoded_instruction& d, char* text, std::size_t size) {
  char line[DIS_TEXT_SIZE];
  const uint32_t words[2] = {d.words[0], d.words[1]};
  disassemble_word(words, line, 0, 0, nullptr);
  std::snprintf(text, size, "  %s", line);
}

}  // namespace

const profile_family_ops dsp73500_profile_ops = {
    static_cast<int>(std::size(group_names)),
    PROFILE_CLASSES,
    group_names,
    group_descriptions,
    classify,
    class_name,
    mode_names,
    accumulate_moves,
    accumulate_modes,
    conditional,
    call_test,
    branch_test,
    return_test,
    disassemble,
    decode,
};
