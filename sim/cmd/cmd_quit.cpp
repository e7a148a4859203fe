// quit: ends the simulator, or switches quit-on-error for macros.
#include <array>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"
#include "sim/engine/device/profiler_iface.h"

namespace {

// Profiles are written before the devices go: "log off p" on every device
// that takes part in runs, checked and run without an echo.
void write_profiles() {
  if (!profiler_attached()) return;
  const int previous = cur_device;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    if (device_insts[d] == nullptr || (device_insts[d]->flags & DEV_EXCLUDED) != 0) continue;
    make_device_current(d);
    const action_record* record = parse_command_line("log off p");
    if (record != nullptr && record->function != nullptr) record->function("log off p");
  }
  make_device_current(previous);
}

void quit_action(const char*) {
  write_profiles();
  close_all_macros();
  quit_program();
}
void quit_enable(const char*) { quit_on_error = 1; }
void quit_disable(const char*) { quit_on_error = 0; }

constexpr action_record quit_record{quit_action, 0};
constexpr std::array<action_record, 2> switch_records{{{quit_enable, 0}, {quit_disable, 0}}};
constexpr const char* switch_words[] = {"e", "d", nullptr};

}  // namespace

const action_record* cmd_quit() {
  if (check_no_more_args(2)) return &quit_record;
  const int k = match_keyword_list(2, switch_words, 'j', 2);
  if (k < 0 || !check_no_more_args(3)) return nullptr;
  return &switch_records[static_cast<std::size_t>(k)];
}
