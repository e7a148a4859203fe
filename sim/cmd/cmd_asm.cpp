// asm: assembles one line into memory, or instruction by instruction in
// the line editor from an address or from pc.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/asm/asm.h"
#include "sim/asm/disasm.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/cmd/window_hooks.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* ASM_STATUS = "{CR}=assemble   {^U}=previous addr   {^N}=next addr   {ESC}=exit assembler";
constexpr const char* CHANGE_PROMPT = "Change: ";
constexpr int CHANGE_COLUMN = 8;
// The line editor's keys; Ctrl-N (14) moves on like Enter on an unchanged
// text.
constexpr int KEY_ENTER = 13, KEY_PREVIOUS = 21, KEY_ESCAPE = 27;

command_lexer& lx() { return *cur_lexer; }

// The item token: 3 after the byte-wide keyword, else 2.
int item_index() { return std::strcmp(lx().word(2), "b") == 0 ? 3 : 2; }
bool byte_wide() { return item_index() == 3; }

// Where the assembly goes: the location written, or pc in program space.
struct place {
  int space = 0;
  int region = 0;
  uint32_t address = 0;
};

place target() {
  const int item = item_index();
  place p;
  if (lx().kind[static_cast<std::size_t>(item)] == 'p') {
    const arg_value& v = lx().value[static_cast<std::size_t>(item)];
    p.space = static_cast<int>(v.space);
    p.region = v.region;
    p.address = v.lo;
  } else {
    p.address = cur_inst != nullptr ? cur_inst->pc : 0;
  }
  return p;
}

// Writes one word the way the width flag asks; the step to the next
// address (at least 1).
uint32_t write_word(int space, uint32_t address, uint32_t word, bool wide) {
  const mem_iface* mem = cur_type->mem;
  int step = 1;
  if (mem->write_wide != nullptr) step = mem->write_wide(space, address, &word, wide ? 1 : 0);
  else mem->write_word(space, address, &word);
  return step > 0 ? static_cast<uint32_t>(step) : 1;
}

uint32_t write_words(int space, uint32_t address, int count, bool wide) {
  uint32_t at = address;
  for (int i = 0; i < count && i < static_cast<int>(asm_words.size()); ++i)
    at += write_word(space, at & 0xFFFF, asm_words[static_cast<std::size_t>(i)], wide);
  return at - address;
}

void asm_one_line(const char*) {
  if (asm_word_count > 0) {
    const place p = target();
    write_words(p.space, p.address, asm_word_count, byte_wide());
  }
  if (cur_state->view_mode == 1) view_show_position(0);
}

// --- Interactive ---------------------------------------------------------------------

struct listing {
  std::string line;  // the disassembly line shown
  std::string text;  // the instruction text offered for editing
  int length = 1;    // words, at least one
};

// The session line of the instruction at the address, and its text and
// length from the disassembler; false when the line could not be made.
bool disassemble_at(const place& p, uint32_t step, bool wide, listing& out) {
  if (format_disassembly_line(p.space, p.address, out.line, wide ? 1 : 0) < 0) return false;
  std::array<uint32_t, 3> words{};
  for (std::size_t i = 0; i < words.size(); ++i) {
    const uint32_t at = (p.address + static_cast<uint32_t>(i) * step) & 0xFFFF;
    if (cur_type->mem->read_wide != nullptr) cur_type->mem->read_wide(p.space, at, &words[i], wide ? 1 : 0);
    else cur_type->mem->read_word(p.space, at, &words[i]);
  }
  std::array<char, DIS_TEXT_SIZE> text{};
  int length = 1;
  if (cur_family != nullptr && cur_family->disassemble != nullptr)
    length = cur_family->disassemble(words.data(), text.data(), 0, 0, nullptr);
  out.length = length > 0 ? length : 1;
  out.text = text.data();
  while (!out.text.empty() && out.text.back() == ' ') out.text.pop_back();
  return true;
}

// A line wider than the session goes on a second line after column 80.
void print_listing(const std::string& line) {
  constexpr std::size_t FOLD_COLUMN = 80;
  const int columns = session_screen().columns;
  if (columns > 0 && line.size() > static_cast<std::size_t>(columns) && line.size() > FOLD_COLUMN) {
    session_print(line.substr(0, FOLD_COLUMN).c_str(), 1);
    session_print(line.substr(FOLD_COLUMN).c_str(), 1);
    return;
  }
  session_print(line.c_str(), 1);
}

std::string answer_of(const char* buffer) {
  std::string answer = std::strlen(buffer) > static_cast<std::size_t>(CHANGE_COLUMN) ? buffer + CHANGE_COLUMN : "";
  const std::size_t first = answer.find_first_not_of(' ');
  return first == std::string::npos ? "" : answer.substr(first);
}

void asm_interactive(const char*) {
  more_count = 0;
  const bool wide = byte_wide();
  place p = target();
  if (lx().kind[static_cast<std::size_t>(item_index())] != 'p') p.region = 0;
  const uint32_t mask = cur_type->regions[p.region].addr_mask;
  p.address &= mask;
  uint32_t probe = 0;
  int width = 1;
  if (cur_type->mem->read_wide != nullptr) width = cur_type->mem->read_wide(p.space, p.address, &probe, wide ? 1 : 0);
  const uint32_t step = width > 0 ? static_cast<uint32_t>(width) : 1;
  if (terminal_key_lists != 0) show_status_text(ASM_STATUS);
  std::string retry;  // text that failed to assemble, offered again
  for (;;) {
    cur_state->asm_address = p.address;
    listing shown;
    if (!disassemble_at(p, step, wide, shown)) break;
    if (retry.empty()) print_listing(shown.line);
    const std::string offered = retry.empty() ? shown.text : retry;
    std::array<char, LINE_BUFFER_BYTES> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%s%s", CHANGE_PROMPT, offered.c_str());
    const int key = edit_command_line(buffer.data(), CHANGE_COLUMN);
    if (key == KEY_ESCAPE) break;
    const std::string answer = answer_of(buffer.data());
    uint32_t advance = step * static_cast<uint32_t>(shown.length);
    if (key == KEY_PREVIOUS) {
      advance = static_cast<uint32_t>(-static_cast<int32_t>(step));
    } else if (key == KEY_ENTER && answer != shown.text) {
      const int count = cur_family->assemble(answer.c_str(), p.address);
      if (count < 0) {
        show_answer_error(parse_error_text, CHANGE_PROMPT + answer);
        retry = answer;
        continue;
      }
      if (count > 0) {
        advance = write_words(p.space, p.address, count, wide);
        // Logged as the one-line command, so that a command log replays it.
        const std::string head = shown.line.substr(0, shown.line.find(' '));
        std::string command = "asm " + head + " " + answer;
        str_lower(command.data());
        session_echo(command.c_str(), 0);
        window_update_all(cur_device);
      }
    }
    retry.clear();
    gui_status_text(nullptr);
    p.address = (p.address + advance) & mask;
  }
  gui_status_text(nullptr);
}

constexpr action_record interactive_record{asm_interactive, ACTION_INTERACTIVE};
constexpr action_record one_line_record{asm_one_line, 0};

// The tokens after an accepted assembler line belong to it.
const action_record* one_line_accepted(int line_token) {
  command_lexer& l = lx();
  for (int i = line_token + 1; i <= l.count; ++i) l.kind[static_cast<std::size_t>(i)] = 'm';
  l.kind[static_cast<std::size_t>(l.count) + 1] = KIND_END;
  return &one_line_record;
}

// The line ends in a comment after token i (the tokeniser drops comments):
// an assembler line of a comment alone, which assembles to nothing.
bool comment_after(int i) {
  const command_lexer& l = lx();
  if (cur_command_line == nullptr) return false;
  std::size_t at = i >= 1 && l.has(i) ? static_cast<std::size_t>(l.start[static_cast<std::size_t>(i)]) +
                                            std::strlen(l.word(i))
                                      : 0;
  if (i < 1) return false;
  const std::size_t length = std::strlen(cur_command_line);
  while (at < length && (cur_command_line[at] == ' ' || cur_command_line[at] == '\t')) ++at;
  return at < length && cur_command_line[at] == ';';
}

const action_record* comment_line(uint32_t address) {
  cur_state->asm_address = address;
  asm_word_count = 0;
  lx().kind[static_cast<std::size_t>(lx().count) + 1] = KIND_END;
  return &one_line_record;
}

uint32_t pc_address() { return cur_inst != nullptr ? cur_inst->pc & 0xFFFF : 0; }

}  // namespace

const action_record* cmd_asm() {
  command_lexer& l = lx();
  const int item = item_index();
  if (item == 3) l.kind[2] = 'j';
  if (!l.has(item)) {
    if (comment_after(item - 1)) return comment_line(pc_address());
    return check_no_more_args(item) ? &interactive_record : nullptr;
  }
  if (parse_memory_location(item, cur_device)) {
    if (!l.has(item + 1)) {
      if (comment_after(item)) return comment_line(l.value[static_cast<std::size_t>(item)].lo);
      return check_no_more_args(item + 1) ? &interactive_record : nullptr;
    }
    return parse_asm_line(item + 1) ? one_line_accepted(item + 1) : nullptr;
  }
  // No location: the line starts at the item token and goes to pc.
  arg_value& v = l.value[static_cast<std::size_t>(item)];
  v = arg_value{};
  v.lo = v.hi = pc_address();
  return parse_asm_line(item) ? one_line_accepted(item) : nullptr;
}
