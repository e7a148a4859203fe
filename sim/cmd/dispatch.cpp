#include "sim/cmd/dispatch.h"

#include <cctype>
#include <string>
#include <string_view>

#include "sim/engine/device.h"
#include "sim/frontend.h"

int macro_running = 0;
int quit_on_error = 0;
int exit_status = 0;

namespace {

// "quit" or "q", alone or before a comment.
bool is_plain_quit(std::string_view line) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  line.remove_prefix(start);
  std::size_t end = 0;
  while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end])) != 0) ++end;
  std::string word(line.substr(0, end));
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (word != "quit" && word != "q") return false;
  const std::size_t rest = line.find_first_not_of(" \t", end);
  return rest == std::string_view::npos || line[rest] == ';';
}

}  // namespace

// Until the command table exists a line is only echoed to the session of
// its device, as typed; a plain "quit" ends the program.
void execute_command_line(int device, const char* line) {
  select_device(device);
  session_echo(line, macro_running);
  if (line != nullptr && is_plain_quit(line)) quit_program();
}
