// The Stack window reads every level where it lies: moving sp to walk the
// levels would mark the register changed and can raise the stack-error
// interrupt, so sp is never written.
#include "frontends/gui/stack_window.h"

#include <cstdio>
#include <string>
#include <vector>

#include "frontends/gui/frontend.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr uint32_t LEVEL_MASK = 15;

std::string hex_word(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "$%08lx", static_cast<unsigned long>(value));
  return text;
}

void update(sim_window* record) {
  int sp_row = 0, sp_reg = 0, row = 0, reg = 0;
  if (lookup_register(cur_device, "sp", &sp_row, &sp_reg) == 0 || lookup_register(cur_device, "ssh", &row, &reg) == 0 ||
      lookup_register(cur_device, "ssl", &row, &reg) == 0)
    return;
  uint32_t sp[3] = {0, 0, 0};
  if (read_register(cur_device, sp_row, sp_reg, sp) == 0) {
    row_window_set_rows(record, {}, FIT_NONE);
    error_report("Error reading stack pointer");
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (int level = static_cast<int>(sp[0] & LEVEL_MASK); level >= 0; --level) {
    uint32_t high = 0, low = 0;
    if (level > 0 && core_stack_entry(level, &high, &low) == 0) {
      row_window_set_rows(record, rows, FIT_NONE);
      error_report("Error writing register");
      return;
    }
    char number[8];
    std::snprintf(number, sizeof number, "%02d", level);
    rows.push_back({number, hex_word(high), hex_word(low)});
  }
  row_window_set_rows(record, rows, FIT_NONE);
}

constexpr row_window_kind kind = {SIMWIN_STACK, "Stack", "Stack_List", 3, 0, true, update, nullptr};

void open(const char*) { row_window_open(kind); }

}  // namespace

void register_stack_window() { register_window_kind(WCMD_STACK, open); }

}  // namespace gui
