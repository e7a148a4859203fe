// The command history, completion of the command word, the prompt and the
// two help lists of the command window's help line.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

int help_keys_console = 0;

namespace {

std::array<std::string, COMMAND_HISTORY_SIZE> command_history;
int history_count = 0;

constexpr const char* gui_keys[] = {"{^A}=sel-ln"};
constexpr const char* console_keys[] = {
    "{^U}=ln-up    {^N}=ln-dn    {^T}=pg-up    {^V}=pg-dn    {^R}=right    {^L}=left",
    "{^H}=del-lft    {^K}=del-rt    {^O}=overwrite/insert    {Esc}=clear command line",
    "{^I}=tab-rt    {^E}=eol    {^Z}=del-eol    {CR}=execute    {?}=more help",
    "{^B}=back in command stack   {^F}=forward in command stack {^W}=toggle window",
};
constexpr const char* comments_syntax[] = {"{;}comment string entry"};
constexpr const char* macros_syntax[] = {"{Macro filename}"};

// The syntax list (0) and the key list (1), and the line shown.
struct help_cycle {
  std::span<const char* const> syntax;  // empty: every command's syntax lines
  int list = 0;
  std::size_t index = 0;
};
help_cycle cycle;

std::vector<const char*> summary_lines() {
  std::vector<const char*> lines;
  for (const command_descriptor& d : command_table)
    lines.insert(lines.end(), d.syntax.begin(), d.syntax.end());
  return lines;
}

std::span<const char* const> key_lines() {
  if (help_keys_console != 0) return console_keys;
  return gui_keys;
}

std::size_t list_size(int list) {
  if (list == 1) return key_lines().size();
  return cycle.syntax.empty() ? summary_lines().size() : cycle.syntax.size();
}

const char* list_line(int list, std::size_t index) {
  if (list == 1) return key_lines()[index];
  if (!cycle.syntax.empty()) return cycle.syntax[index];
  static const std::vector<const char*> summary = summary_lines();
  return summary[index];
}

void show_help_cycle_line() {
  if (cycle.index >= list_size(cycle.list)) cycle.index = 0;
  gui_help_text(list_line(cycle.list, cycle.index));
}

std::string folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

// --- History --------------------------------------------------------------------

void record_command_history(const char* line) {
  if (line == nullptr) return;
  const std::string entry(line, strnlen(line, HISTORY_LINE_MAX));
  if (history_count > 0 && command_history[0] == entry) return;
  std::move_backward(command_history.begin(), command_history.end() - 1, command_history.end());
  command_history[0] = entry;
  history_count = std::min(history_count + 1, COMMAND_HISTORY_SIZE);
}

const char* command_history_line(int index) {
  return index >= 0 && index < history_count ? command_history[static_cast<std::size_t>(index)].c_str()
                                             : nullptr;
}

int command_history_count() { return history_count; }

void clear_command_history() {
  for (std::string& h : command_history) h.clear();
  history_count = 0;
}

// --- Completion, prompt, help lines ------------------------------------------------

const command_descriptor* complete_command_word(std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t");
  const std::size_t begin = first == std::string::npos ? line.size() : first;
  const std::size_t end = std::min(line.find_first_of(" \t", begin), line.size());
  const std::string word = folded(line.substr(begin, end - begin));
  const command_descriptor* found = nullptr;
  if (!word.empty()) {
    for (const command_descriptor& d : command_table) {
      if (word == d.abbrev) {
        found = &d;
        break;
      }
    }
    for (const command_descriptor& d : command_table) {
      if (found != nullptr) break;
      if (std::strncmp(d.name, word.c_str(), word.size()) == 0) found = &d;
    }
  }
  if (found != nullptr) {
    line.replace(begin, end - begin, found->name);
    cycle.syntax = found->syntax;
  } else if (begin < line.size() && line[begin] == ';') {
    cycle.syntax = comments_syntax;
  } else {
    cycle.syntax = macros_syntax;
  }
  cycle.list = 0;
  cycle.index = 0;
  show_help_cycle_line();
  return found;
}

std::string command_prompt_text() { return std::to_string(cur_device) + ">"; }

void show_command_prompt() {
  cycle.syntax = {};
  cycle_help_line(-1);
  gui_status_text(nullptr);
  gui_show_prompt();
}

void show_status_text(const char* text) { gui_status_text(text); }

void print_command_help(const command_descriptor* command) {
  output_hold();
  if (command != nullptr) {
    const auto lines = command->help_lines.empty() ? command->syntax : command->help_lines;
    for (const char* l : lines) session_print(l, 1);
  } else {
    for (const command_descriptor& d : command_table)
      for (const char* l : d.syntax) session_print(l, 1);
  }
  output_release();
}

int show_parse_error(std::string& line) {
  const int room = std::max(0, session_screen().columns - static_cast<int>(command_prompt_text().size()));
  const int column = std::clamp(cur_lexer->error_pos, 0, room);
  if (static_cast<int>(line.size()) < column) line.append(static_cast<std::size_t>(column) - line.size(), ' ');
  show_status_text(parse_error_text != nullptr ? parse_error_text : "Invalid parameter");
  return column;
}

void cycle_help_line(int step) {
  if (step < 0) {
    cycle.list = 0;
    cycle.index = 0;
  } else if (step > 0) {
    if (++cycle.index >= list_size(cycle.list)) {
      cycle.list = 1 - cycle.list;
      cycle.index = 0;
    }
  }
  show_help_cycle_line();
}
