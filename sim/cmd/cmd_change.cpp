// change: registers and memory from value pairs, or one after the other in
// the line editor. Each interactive change is echoed as the value-pair line
// that repeats it, so that a command log replays it.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/expr/valfmt.h"
#include "sim/cmd/view_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sim/cmd/window_hooks.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* WRITE_ERROR = "Error writing register";
constexpr const char* REG_STATUS =
    "{CR}=change   {^U}=previous reg   {^N}=next reg   {ESC}=exit register change";
constexpr const char* MEM_STATUS =
    "{CR}=change   {^U}=previous addr   {^N}=next addr   {ESC}=exit memory change";
constexpr int KEY_PREVIOUS = 21, KEY_ESCAPE = 27;  // Enter and Ctrl-N move on

// A value typed as a fraction becomes the words of the target's type.
void to_words(arg_value& value, uint32_t type) {
  if ((value.type & AV_FLOAT) == 0) return;
  value.type = type;
  value_from_double(cur_type->expr_flags, value);
}

bool write_value(int row, int reg, arg_value value) {
  to_words(value, register_value_type(row, reg));
  const uint32_t words[3] = {value.lo, value.hi, value.ext};
  if (write_register(cur_device, row, reg, words) == 0) {
    error_report(WRITE_ERROR);
    return false;
  }
  return true;
}

bool is_fixed(int row, int reg) {
  return (cur_type->periphs[row].cls->regs[reg].access & REG_FIXED_DISPLAY) != 0;
}

// After the changes: the frame list no longer matches a moved pc, and a
// source or assembly view follows it.
void after_changes(uint32_t old_pc) {
  const bool moved = cur_inst->pc != old_pc;
  if (moved) frames_free();
  if (cur_state->view_mode == 1 || cur_state->view_mode == 2) view_show_position(moved ? 32767 : 0);
}

// --- Value pairs -------------------------------------------------------------------

void change_memory(const arg_value& item, char kind, arg_value value) {
  const mem_region& row = cur_type->regions[item.region];
  const uint32_t mask = row.addr_mask;
  const uint32_t start = item.lo & mask;
  const uint32_t end = (kind == 'p' ? item.lo : item.hi) & mask;
  to_words(value, row.format);
  const uint32_t word = value.lo;
  const mem_iface& mem = *cur_type->mem;
  uint32_t step = static_cast<uint32_t>(mem.fill(row.space, start, 1, &word));
  if (step == 0) step = 1;
  const uint32_t span = (end - start) & mask;
  if (step <= span) mem.fill(row.space, (start + step) & mask, span - step + 1, &word);
}

bool change_registers(const arg_value& item, char kind, const arg_value& value) {
  int row = item.region, reg = item.item;
  if (kind == 'g') return write_value(row, reg, value);
  int last_row = static_cast<int>(item.hi), last_reg = static_cast<int>(item.lo);
  if (last_row < row || (last_row == row && last_reg < reg)) {
    std::swap(row, last_row);
    std::swap(reg, last_reg);
  }
  int total = 0;
  for (int r = 0; r < cur_type->periph_count; ++r) total += cur_type->periphs[r].cls->reg_count;
  for (int n = 0; n < total; ++n) {
    if (!write_value(row, reg, value)) return false;
    if (row == last_row && reg == last_reg) break;
    next_register(reg, row);
  }
  return true;
}

void change_pairs(const char*) {
  const command_lexer& lx = *cur_lexer;
  const uint32_t old_pc = cur_inst->pc;
  for (int i = 2; lx.has(i) && lx.has(i + 1); i += 2) {
    const arg_value& item = lx.value[static_cast<std::size_t>(i)];
    const char kind = lx.kind[static_cast<std::size_t>(i)];
    const arg_value& value = lx.value[static_cast<std::size_t>(i + 1)];
    if (kind == 'g' || kind == 'G') {
      if (!change_registers(item, kind, value)) break;
    } else {
      change_memory(item, kind, value);
    }
  }
  after_changes(old_pc);
}

// --- Interactive -------------------------------------------------------------------

// Asks for a new value on the offered line. Returns the key that ended the
// edit; `typed` receives the text after the prompt when it was changed,
// and stays empty when Enter took the line as offered.
int ask(const std::string& prompt, const std::string& offered, std::string& typed) {
  std::array<char, LINE_BUFFER_BYTES> buffer{};
  const std::string line = prompt + offered;
  std::strncpy(buffer.data(), line.c_str(), buffer.size() - 1);
  const int key = edit_command_line(buffer.data(), static_cast<int>(prompt.size()));
  typed.clear();
  if (key == KEY_ESCAPE) return key;
  std::string answer = buffer.data();
  answer = answer.size() > prompt.size() ? answer.substr(prompt.size()) : "";
  // The editor hands back "prompt answer".
  if (!answer.empty() && answer[0] == ' ' && answer.substr(1) == offered) return key;
  if (answer == offered) return key;
  typed = answer;
  return key;
}

// The typed text as a value: the expression before any comment.
expr_result typed_value(const std::string& typed) {
  const std::size_t first = typed.find_first_not_of(" \t");
  const std::string text = first == std::string::npos ? "" : typed.substr(first);
  sv_optr = text.c_str();
  parse_error_text = nullptr;
  expr_result value = parse_expression(cur_type->expr_flags);
  sv_optr = nullptr;
  if (!value && parse_error_text == nullptr) parse_error_text = parse_error_messages[ERR_INVALID];
  return value;
}

std::string register_text(int row, int reg, int radix) {
  std::string text;
  format_register_value(row, reg, radix, text);
  return text;
}

void change_registers_interactively(const char*) {
  const command_lexer& lx = *cur_lexer;
  int row = 0, reg = 0;
  if (lx.kind[2] == 'g') {
    row = lx.value[2].region;
    reg = lx.value[2].item;
  }
  const uint32_t old_pc = cur_inst->pc;
  int total = 0;
  for (int r = 0; r < cur_type->periph_count; ++r) total += cur_type->periphs[r].cls->reg_count;
  for (int n = 0; n < total && is_fixed(row, reg); ++n) next_register(reg, row);

  const char* status = REG_STATUS;
  std::string rejected;  // the edited line that failed
  for (;;) {
    gui_status_text(nullptr);
    if (status == REG_STATUS) {
      if (terminal_key_lists != 0) gui_status_text(status);
    }
    else show_answer_error(status, rejected);
    status = REG_STATUS;
    const std::string name =
        std::string(cur_type->periphs[row].cls->regs[reg].name) + cur_type->periphs[row].suffix;
    const std::string prompt = "change " + name + "=";
    const std::string offered = " ;Hex:" + register_text(row, reg, RADIX_HEX) +
                                "  Dec:" + register_text(row, reg, RADIX_DEC) +
                                "  Fract:" + register_text(row, reg, RADIX_FRAC);
    std::string typed;
    const int key = ask(prompt, offered, typed);
    if (key == KEY_ESCAPE) break;
    if (!typed.empty()) {
      expr_result value = typed_value(typed);
      if (!value) {
        status = parse_error_text;
        rejected = prompt + typed.substr(std::min(typed.find_first_not_of(' '), typed.size()));
        continue;
      }
      if (!write_value(row, reg, *value)) break;
      const std::string echo = "change " + name + " " + register_text(row, reg, RADIX_HEX) +
                               " ;Dec:" + register_text(row, reg, RADIX_DEC) +
                               "  Fract:" + register_text(row, reg, RADIX_FRAC);
      session_echo(echo.c_str(), 0);
      window_update_all(cur_device);
    }
    // Registers with a fixed display are never offered.
    for (int n = 0; n < total; ++n) {
      if (key == KEY_PREVIOUS) prev_register(reg, row);
      else next_register(reg, row);
      if (!is_fixed(row, reg)) break;
    }
  }
  gui_status_text(nullptr);
  if (cur_inst->pc != old_pc) frames_free();
}

std::string memory_text(int space, uint32_t address, int radix) {
  std::string text;
  format_memory_word(space, address, radix, text);
  return text;
}

void change_memory_interactively(const char*) {
  const arg_value& item = cur_lexer->value[2];
  const mem_region& row = cur_type->regions[item.region];
  const uint32_t mask = row.addr_mask;
  uint32_t address = item.lo & mask;
  const char* status = MEM_STATUS;
  std::string rejected;  // the edited line that failed
  for (;;) {
    gui_status_text(nullptr);
    if (status == MEM_STATUS) {
      if (terminal_key_lists != 0) gui_status_text(status);
    }
    else show_answer_error(status, rejected);
    status = MEM_STATUS;
    const std::string where = std::string(row.name) + ":$" + format_hex_word(address);
    const std::string prompt = "change " + where + "=";
    const std::string offered = "  ;Hex:" + memory_text(row.space, address, RADIX_HEX) +
                                "  Dec:" + memory_text(row.space, address, RADIX_DEC) +
                                "  Fract:" + memory_text(row.space, address, RADIX_FRAC);
    std::string typed;
    const int key = ask(prompt, offered, typed);
    if (key == KEY_ESCAPE) break;
    if (!typed.empty()) {
      expr_result value = typed_value(typed);
      if (!value) {
        status = parse_error_text;
        rejected = prompt + typed.substr(std::min(typed.find_first_not_of(' '), typed.size()));
        continue;
      }
      to_words(*value, row.format);
      const uint32_t word = value->lo;
      cur_type->mem->write_word(row.space, address, &word);
      const std::string echo = "change " + where + " " + memory_text(row.space, address, RADIX_HEX) +
                               " ;Dec:" + memory_text(row.space, address, RADIX_DEC) +
                               "  Fract:" + memory_text(row.space, address, RADIX_FRAC);
      session_echo(echo.c_str(), 0);
      window_update_all(cur_device);
    }
    address = (key == KEY_PREVIOUS ? address - 1 : address + 1) & mask;
  }
  gui_status_text(nullptr);
}

constexpr action_record register_record{change_registers_interactively, ACTION_INTERACTIVE};
constexpr action_record memory_record{change_memory_interactively, ACTION_INTERACTIVE};
constexpr action_record pairs_record{change_pairs, 0};

}  // namespace

const action_record* cmd_change() {
  command_lexer& lx = *cur_lexer;
  if (check_no_more_args(2)) return &register_record;
  if (!lx.has(3)) {
    if (parse_register_arg(2)) return &register_record;
    if (parse_memory_location(2, cur_device)) return &memory_record;
  }
  int i = 2;
  for (; lx.has(i); i += 2) {
    if (!parse_register_block(i) && !parse_register_arg(i) && !parse_memory_block(i)) return nullptr;
    if (!parse_float_or_int_arg(i + 1)) return nullptr;
  }
  return check_no_more_args(i) ? &pairs_record : nullptr;
}
