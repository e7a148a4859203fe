// Command macro files: a stack of open macros, the innermost one read line
// by line. Only one file is open at a time; an enclosing macro is reopened
// at its saved position when the inner one ends.
#include <cstdio>
#include <string>
#include <vector>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

constexpr const char* OPEN_ERROR = "Error opening macro file";
constexpr const char* REOPEN_ERROR = "Error opening macro file:";
constexpr const char* LINE_ERROR = "Error in Macro";
constexpr std::size_t PROMPT_ROOM = 256;
// Each open macro keeps a record; a macro that calls itself would pile
// them up without end.
constexpr std::size_t NESTING_MAX = 32;

struct macro_record {
  std::string path;
  long position = 0;  // where reading goes on when this macro resumes
  int line = 0;       // lines read so far
};

std::vector<macro_record> macros;  // back(): the running one
std::FILE* macro_file = nullptr;

// Only a regular file: a FIFO would hold the session in the open, and a
// device such as /dev/zero would never end.
std::FILE* open_regular_file(const std::string& path) {
  return open_file_nonblocking(path.c_str(), "rb", false);
}

// A macro's path as the user knows it: within the working directory,
// without it.
std::string shown_name(const std::string& path) {
  const std::string& dir = cur_inst != nullptr ? cur_inst->work_dir : std::string();
  if (!dir.empty() && path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0)
    return path.substr(dir.size());
  return path;
}

enum class read_result { line, end, too_long };

// One line: white space (blank lines too) skipped first, then everything
// up to the newline, keeping printable ASCII and tabs. A last line
// without a newline counts.
read_result read_one_line(std::string& out, std::size_t limit) {
  macro_record& m = macros.back();
  out.clear();
  int c = std::fgetc(macro_file);
  while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
    if (c == '\n') ++m.line;
    c = std::fgetc(macro_file);
  }
  if (c == EOF) return read_result::end;
  ++m.line;
  bool too_long = false;
  // An endless line (a huge file without line ends) still gives way to
  // Ctrl-C.
  std::size_t read = 0;
  for (; c != EOF && c != '\n'; c = std::fgetc(macro_file)) {
    if (++read % 65536 == 0 && stop_request != 0) return read_result::end;
    if (!((c >= 32 && c < 127) || c == '\t')) continue;
    if (out.size() >= limit) too_long = true;
    else out += static_cast<char>(c);
  }
  return too_long ? read_result::too_long : read_result::line;
}

}  // namespace

std::size_t macro_line_limit() { return PROMPT_ROOM - command_prompt_text().size(); }

void run_macro_command(const char* line) {
  std::string path;
  find_file_on_path(cur_lexer->typed(1), ".cmd", path);
  if (macro_running == 0) record_command_history(line);
  open_macro(path.c_str());
}

int open_macro(const char* path) {
  if (macros.size() >= NESTING_MAX) {
    const std::string message = "Macros nested too deeply (more than " + std::to_string(NESTING_MAX) + ")";
    error_report(message.c_str());
    close_all_macros();
    return 0;
  }
  if (macro_running != 0 && macro_file != nullptr && !macros.empty()) {
    macros.back().position = std::ftell(macro_file);
    std::fclose(macro_file);
    macro_file = nullptr;
  }
  std::FILE* file = path != nullptr && path[0] != '\0' ? open_regular_file(path) : nullptr;
  if (file == nullptr) {
    error_report(OPEN_ERROR);
    close_all_macros();
    return 0;
  }
  macros.push_back({path, 0, 0});
  macro_file = file;
  macro_running = 1;
  return 1;
}

int read_macro_line(int device, std::string& buffer) {
  make_device_current(device);
  buffer.clear();
  for (;;) {
    if (macro_running == 0 || macro_file == nullptr || macros.empty()) return 0;
    if (stop_request != 0) {
      close_all_macros();
      return 0;
    }
    const std::size_t limit = macro_line_limit();
    switch (read_one_line(buffer, limit)) {
      case read_result::end:
        end_macro_file();
        continue;
      case read_result::too_long: {
        // Cut, the line would run some other command than the one written.
        const macro_record& m = macros.back();
        const std::string message = "Macro line too long (more than " + std::to_string(limit) +
                                    " characters): line " + std::to_string(m.line) + " of " +
                                    shown_name(m.path);
        error_report(message.c_str());
        close_all_macros();
        buffer.clear();
        return 0;
      }
      case read_result::line:
        break;
    }
    const action_record* record = parse_command_line(buffer.c_str());
    if (record == nullptr) {
      // The reason goes into the session after the line, as for a typed
      // line: a run without a status row would not show it anywhere.
      const std::string reason = parse_error_text != nullptr ? parse_error_text : "Invalid parameter";
      error_report(LINE_ERROR);
      session_echo(buffer.c_str(), 1);
      session_print(("{" + literal_braces(reason) + "}").c_str(), 1);
      close_all_macros();
      buffer.clear();
      return 0;
    }
    if ((record->flags & ACTION_INTERACTIVE) != 0) continue;
    return 1;
  }
}

void end_macro_file() {
  if (macro_file != nullptr) std::fclose(macro_file);
  macro_file = nullptr;
  if (!macros.empty()) macros.pop_back();
  if (macros.empty()) {
    macro_running = 0;
    return;
  }
  const macro_record& outer = macros.back();
  macro_file = open_regular_file(outer.path);
  if (macro_file == nullptr || std::fseek(macro_file, outer.position, SEEK_SET) != 0) {
    error_report(REOPEN_ERROR);
    close_all_macros();
  }
}

void close_all_macros() {
  if (macro_file != nullptr) std::fclose(macro_file);
  macro_file = nullptr;
  macros.clear();
  macro_running = 0;
}
