// The tokeniser, the command-word lookup and the two phases of a line:
// check everything, then echo and act.
#include "sim/cmd/dispatch.h"

#include <cctype>
#include <cstring>
#include <new>
#include <string>

#include "sim/cmd/breakpoints.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/frontend/frontend.h"

int macro_running = 0;
int quit_on_error = 0;
int exit_status = 0;

namespace {

command_lexer the_lexer;

bool blank(char c) { return c == ' ' || c == '\t'; }

// Scans one word from p: up to a blank, tab or ';' outside braces. In
// braces blanks and ';' belong to the word, a backslash keeps the next
// character, quotes hide '}' and the first '}' outside them ends the
// braces; braces do not nest.
int scan_word(const char* text, int p) {
  bool braced = false;
  char quote = 0;
  while (text[p] != '\0') {
    const char c = text[p];
    if (braced) {
      if (c == '\\' && text[p + 1] != '\0') {
        p += 2;
        continue;
      }
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '}') {
        braced = false;
      }
      ++p;
      continue;
    }
    if (blank(c) || c == ';') break;
    if (c == '{') braced = true;
    ++p;
  }
  return p;
}

void do_nothing(const char*) {}

void say_not_built(const char*) {
  const command_lexer& lx = *cur_lexer;
  const int row = lx.kind[1] == 'c' ? static_cast<int>(lx.value[1].lo) : -1;
  const std::string name = row >= 0 && row < COMMAND_COUNT ? command_table[row].name : "command";
  session_print(("{" + name + ": not available in this build}").c_str(), 1);
}

constexpr action_record not_built_action{say_not_built, 0};

}  // namespace

command_lexer* cur_lexer = &the_lexer;
const char* cur_command_line = nullptr;

const action_record comment_action{do_nothing, 0};
const action_record macro_action{run_macro_command, 0};

void split_command_line(const char* line) {
  cur_lexer = &the_lexer;
  command_lexer& lx = the_lexer;
  lx.text.fill('\0');
  lx.kind.fill(KIND_UNEXAMINED);
  lx.start.fill(0);
  lx.value.fill(arg_value{});
  lx.count = 0;
  lx.error_pos = 0;
  lx.overflow = false;

  char* text = lx.text.data();
  const std::size_t length = line != nullptr ? strnlen(line, COMMAND_LINE_MAX) : 0;
  std::memcpy(text, line != nullptr ? line : "", length);
  text[length] = '\0';

  int n = 0;
  int p = 0;
  while (blank(text[p])) ++p;
  while (text[p] != '\0') {
    const char c = text[p];
    if (blank(c)) {
      text[p++] = '\0';
      continue;
    }
    if (c == ';') {
      if (n == 0) {
        lx.start[++n] = p;
        lx.kind[n] = KIND_COMMENT;
      }
      text[p] = '\0';
      break;
    }
    if (n == LEXER_TOKEN_MAX) {
      lx.overflow = true;
      lx.error_pos = p;
      break;
    }
    if (c == '"') {
      text[p++] = '\0';
      lx.start[++n] = p;
      while (text[p] != '\0' && text[p] != '"') ++p;
      if (text[p] == '"') text[p++] = '\0';
      continue;
    }
    lx.start[++n] = p;
    p = scan_word(text, p);
  }
  lx.count = n;
  lx.start[n + 1] = p;
  lx.kind[n + 1] = KIND_END;
  lx.orig = lx.text;
  for (char& ch : lx.text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
}

int lookup_command(int token) {
  command_lexer& lx = *cur_lexer;
  if (!lx.has(token)) return 0;
  const char* word = lx.word(token);
  const std::size_t length = std::strlen(word);
  const auto hit = [&](int row) {
    lx.kind[token] = 'c';
    lx.value[token].lo = static_cast<uint32_t>(row);
    return 1;
  };
  for (int row = 0; row < COMMAND_COUNT; ++row)
    if (std::strcmp(word, command_table[row].name) == 0) return hit(row);
  for (int row = 0; row < COMMAND_COUNT; ++row)
    if (std::strcmp(word, command_table[row].abbrev) == 0) return hit(row);
  for (int row = 0; row < COMMAND_COUNT; ++row) {
    const command_descriptor& d = command_table[row];
    if (length > 0 && std::strncmp(word, d.name, length) == 0 && std::strlen(d.abbrev) <= length)
      return hit(row);
  }
  return 0;
}

const action_record* parse_command_line(const char* line) {
  cur_lexer = &the_lexer;
  cur_command_line = line;
  parse_error_text = nullptr;
  split_command_line(line);
  command_lexer& lx = the_lexer;
  // A cut line would run some other command than the one written.
  if (line != nullptr && strnlen(line, COMMAND_LINE_MAX + 1) > COMMAND_LINE_MAX) {
    lx.error_pos = static_cast<int>(COMMAND_LINE_MAX);
    parse_error_text = "Command line too long (at most 255 characters)";
    return nullptr;
  }
  // The kind table has room for 126 tokens and the end marker; a longer
  // line is refused rather than run without its tail.
  if (lx.overflow) {
    parse_error_text = "Too many words on the line (at most 126)";
    return nullptr;
  }
  for (int t = 1; t <= lx.count; ++t) {
    if (lx.kind[t] != KIND_COMMENT && std::strchr(lx.typed(t), NUL_STAND_IN) != nullptr) {
      reader_fail(t, parse_error_messages[ERR_INVALID]);
      return nullptr;
    }
  }
  if (lookup_command(1) != 0) return command_table[lx.value[1].lo].parser();
  // Blanks before the ';' still make a comment, never a macro without a name.
  if (lx.count >= 1 && lx.kind[1] == KIND_COMMENT) return &comment_action;
  if (lx.count == 0) {
    reader_fail(1, parse_error_messages[ERR_NEED_MORE]);
    return nullptr;
  }
  if (lx.count >= 2) {
    reader_fail(2, parse_error_messages[ERR_TOO_MANY]);
    return nullptr;
  }
  lx.kind[1] = 'N';
  return &macro_action;
}

namespace {

int command_depth = 0;

// Out of memory in the middle of a command: the command is abandoned, the
// session goes on.
void report_out_of_memory() noexcept {
  try {
    error_report("Insufficient memory: command abandoned");
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

void execute_command_line(int device, const char* line) {
  make_device_current(device);
  // A breakpoint's command inside a run belongs to the command that armed it.
  if (command_depth == 0) restart_memory_failures();
  ++command_depth;
  output_hold();
  try {
    const action_record* record = parse_command_line(line);
    more_count = 0;
    session_echo(line != nullptr ? line : "", macro_running != 0 || break_action_running() ? 1 : 0);
    if (record != nullptr && record->function != nullptr) record->function(line);
  } catch (const std::bad_alloc&) {
    report_out_of_memory();
  }
  --command_depth;
  if (macro_running != 0) screen_flush();
  output_release();
}

const action_record* parse_not_built_cmd() {
  command_lexer& lx = *cur_lexer;
  for (int i = 2; i <= lx.count; ++i) lx.kind[i] = 'K';
  lx.kind[lx.count + 1] = KIND_END;
  return &not_built_action;
}
