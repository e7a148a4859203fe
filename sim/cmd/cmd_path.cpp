// path: the device's working directory and the search path of input and
// source files.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* PATH_ERROR = "Error in Path Specification.";

// Names typed for the original system use '\'; both separate here.
std::string typed_directory(int token) {
  std::string name = cur_lexer->typed(token);
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

bool is_directory(const std::string& name) {
  struct stat info {};
  return !name.empty() && stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void path_show(const char*) {
  if (cur_state == nullptr || cur_inst == nullptr) return;
  cur_state->view_mode = 0;
  session_print(("Device Working Directory: {" + literal_braces(cur_inst->work_dir) + "}").c_str(),
                1);
  if (search_path.empty()) {
    session_print("No Alternate Source Paths:", 1);
    return;
  }
  session_print("Alternate Source Paths:", 1);
  std::string_view rest = search_path;
  for (;;) {
    const std::size_t comma = rest.find(',');
    session_echo(std::string(rest.substr(0, comma)).c_str(), 1);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
}

void path_set(const char*) {
  const std::string name = typed_directory(2);
  if (cur_inst == nullptr || !is_directory(name) || name.size() > WORK_DIR_MAX - 1) {
    error_report(PATH_ERROR);
    return;
  }
  cur_inst->work_dir = name;
}

// A comma inside a name would split it into two entries of the list.
void path_add(const char*) {
  const std::string name = typed_directory(3);
  if (!is_directory(name) || name.find(',') != std::string::npos ||
      name.size() > SEARCH_DIR_MAX_CHARS) {
    error_report(PATH_ERROR);
    return;
  }
  if (!search_path.empty()) search_path += ',';
  search_path += name;
}

void path_clear(const char*) { search_path.clear(); }

constexpr action_record show_record{path_show, 0};
constexpr action_record set_record{path_set, 0};
constexpr action_record add_record{path_add, 0};
constexpr action_record clear_record{path_clear, 0};

}  // namespace

const action_record* cmd_path() {
  if (check_no_more_args(2)) return &show_record;
  if (match_keyword(2, "+")) return parse_name_arg(3) ? &add_record : nullptr;
  if (match_keyword(2, "-")) return check_no_more_args(3) ? &clear_record : nullptr;
  if (parse_name_arg(2) && check_no_more_args(3)) return &set_record;
  return nullptr;
}

std::string literal_braces(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '{' || c == '}') out += '$';
    out += c;
  }
  return out;
}
