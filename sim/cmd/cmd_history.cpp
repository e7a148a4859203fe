// history: the last instructions the current device executed, oldest
// first, disassembled from the words the core recorded.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "sim/asm/disasm.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr std::size_t HISTORY_ENTRIES = std::tuple_size_v<decltype(device_state::pc_trace)>;
constexpr std::size_t SESSION_COLUMNS = 79;


std::string history_line(const device_state::pc_trace_entry& entry, uint32_t sr, uint32_t omr) {
  const uint32_t words[3] = {entry.opcode, entry.second, entry.spare};
  std::array<char, DIS_TEXT_SIZE> text{};
  const int length = cur_family->disassemble(words, text.data(), sr, omr, nullptr);
  trim_trailing_blanks(text.data());
  char line[160];
  int n = std::snprintf(line, sizeof line, "P:$%04lx %04lx ", static_cast<unsigned long>(entry.pc),
                        static_cast<unsigned long>(entry.opcode));
  if (length >= 3)
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%04lx %04lx = %s",
                  static_cast<unsigned long>(entry.second), static_cast<unsigned long>(entry.spare),
                  text.data());
  else if (length == 2)
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%04lx = %s",
                  static_cast<unsigned long>(entry.second), text.data());
  else
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "     = %s", text.data());
  return line;
}

void show_history(const char*) {
  if (cur_state == nullptr || cur_family == nullptr) return;
  cur_state->view_mode = 0;
  more_count = 0;
  uint32_t sr = 0, omr = 0;
  if (!read_named("sr", &sr) || !read_named("omr", &omr)) {
    error_report("Error reading register");
    return;
  }
  const device_state& st = *cur_state;
  const std::size_t count = std::min<std::size_t>(st.pc_trace_count, HISTORY_ENTRIES);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t index = (st.pc_trace_index + HISTORY_ENTRIES - count + 1 + k) % HISTORY_ENTRIES;
    const std::string line = history_line(st.pc_trace[index], sr, omr);
    session_echo(line.substr(0, SESSION_COLUMNS).c_str(), 1);
    if (line.size() > SESSION_COLUMNS) session_echo(line.substr(SESSION_COLUMNS).c_str(), 1);
    if (abort_requested() != 0) return;
  }
}

constexpr action_record history_record{show_history, 0};

}  // namespace

const action_record* cmd_history() {
  return check_no_more_args(2) ? &history_record : nullptr;
}
