// device: the device table listed, devices created, selected, taken out of
// runs and back, and deleted.
#include <array>
#include <cstdio>
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr const char* const device_switch_words[] = {"off", "on", "x", nullptr};
enum : int { SWITCH_OFF = 0, SWITCH_ON = 1, SWITCH_DELETE = 2 };
constexpr int HALF = DEVICE_MAX / 2;

int device_number() { return static_cast<int>(cur_lexer->value[2].lo); }

bool exists(int n) { return device_insts[n] != nullptr && device_states[n] != nullptr; }

// Puts the selection back on a device after another was created.
void restore_current(int previous) {
  if (previous != cur_device || cur_inst == nullptr) make_device_current(previous);
}

// A device that is not the current one takes part in the runs of the
// others: a free run until they stop. A device created beside the current
// one takes part at once, as one that was left does.
void take_part(int n) {
  if (n < 0 || n >= DEVICE_MAX || device_states[n] == nullptr) return;
  device_state& st = *device_states[n];
  st.running = 1;
  st.run_mode = 0;
  st.run_count = 1;
}

std::string device_cell(int n, bool left) {
  char text[64];
  if (!exists(n)) {
    std::snprintf(text, sizeof text, left ? "dv%02d   unused           " : "dv%02d   unused", n);
  } else {
    const char* status = (device_insts[n]->flags & DEV_EXCLUDED) != 0 ? "off" : "on ";
    const char* type = device_types[device_insts[n]->type]->name;
    std::snprintf(text, sizeof text, left ? "dv%02d   %s    %s     " : "dv%02d   %s    %s", n, status,
                  type);
  }
  return text;
}

void list_devices(const char*) {
  cur_state->view_mode = 0;
  session_echo("DEVICE STATUS TYPE      DEVICE STATUS TYPE    ", 1);
  session_echo("------ ------ --------  ------ ------ --------", 1);
  for (int n = 0; n < HALF; ++n) session_echo((device_cell(n, true) + device_cell(n + HALF, false)).c_str(), 1);
  session_echo("", 1);
  session_echo("--Possible device types--", 1);
  for (const device_type* type : device_types) session_echo(type->name, 1);
}

void select(const char*) {
  const int n = device_number();
  const int previous = cur_device;
  if (!exists(n) && create_device(n, device_types[0]->name) == 0) {
    restore_current(previous);
    return;
  }
  if (previous != n) take_part(previous);
  select_device(n);
  cur_state->running = 0;
  session_redraw(n);
}

void switch_on(const char*) {
  const int n = device_number();
  if (exists(n)) {
    device_insts[n]->flags &= ~DEV_EXCLUDED;
    return;
  }
  const int previous = cur_device;
  if (create_device(n, device_types[0]->name) != 0 && n != previous) take_part(n);
  restore_current(previous);
}

void switch_off(const char*) {
  const int n = device_number();
  if (exists(n)) device_insts[n]->flags |= DEV_EXCLUDED;
}

void set_type(const char*) {
  const int n = device_number();
  const int previous = cur_device;
  const device_type* type = device_types[cur_lexer->value[3].lo];
  const int created = create_device(n, type->name);
  if (n != previous) {
    if (created != 0) take_part(n);
    restore_current(previous);
  } else if (created == 0) {
    // The shown device cannot be left without one.
    select_device(n);
  }
}

bool shown_device_running() {
  return shown_device >= 0 && shown_device < DEVICE_MAX && device_states[shown_device] != nullptr &&
         device_states[shown_device]->running != 0;
}

// Deleting a device that takes part in a run (from a breakpoint's command)
// ends the run for all.
void delete_device(const char*) {
  const int n = device_number();
  const bool run_on = shown_device_running();
  if (n == cur_device) {
    int other = -1;
    for (int d = 0; d < DEVICE_MAX && other < 0; ++d)
      if (d != n && exists(d)) other = d;
    if (other < 0) {
      session_print("{Can't delete the only device.}", 1);
      return;
    }
    select_device(other);
    cur_state->running = 0;
    session_redraw(other);
  }
  if (!exists(n)) return;
  if (gui_present() != 0) close_device_windows(n);
  close_session_log(n);
  end_device_profile(n);
  free_device(n);
  if (run_on && device_states[shown_device] != nullptr) device_states[shown_device]->running = 0;
}

constexpr action_record list_record{list_devices, 0};
constexpr action_record select_record{select, 0};
constexpr action_record on_record{switch_on, 0};
constexpr action_record off_record{switch_off, 0};
constexpr action_record type_record{set_type, 0};
constexpr action_record delete_record{delete_device, 0};

constexpr std::array<const action_record*, 3> switch_records = {&off_record, &on_record,
                                                                &delete_record};

}  // namespace

const action_record* cmd_device() {
  if (check_no_more_args(2)) return &list_record;
  if (!parse_device_number(2)) return nullptr;
  if (check_no_more_args(3)) return &select_record;
  const int k = match_keyword_list(3, device_switch_words, 'j', 3);
  if (k < 0 && !parse_device_type_name(3)) return nullptr;
  if (!check_no_more_args(4)) return nullptr;
  return k >= 0 ? switch_records[static_cast<std::size_t>(k)] : &type_record;
}
