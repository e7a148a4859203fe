// Layout save and restore: every restored object goes through the command
// road as the lines a user would type.
//
// - Layout (`frontends/gui/layout.cpp`): "Devices", "MainWin" and "WinPos" in the dictionary
//   `vapplicationGetResources` gives (the user's store, written at exit); "SavePos" is read there
//   first, then in `sim73500.vr`, as an integer or a boolean. Restoring submits the lines a user
//   would type ("device dv%d %s", the w-commands) with the saved rectangle pending for
//   `window_place_near`; types, regions and peripheral rows out of range are skipped. Each saved
//   element is read inside its own exception frame, so a damaged one is dropped with the others
//   restored; a device not made again or a window number no w-command takes drops its element, and a
//   rectangle of any size or sign is brought inside the document area (`rect_on_screen`; the main
//   window's inside the screen). The main window and each restored window are painted as they open
//   (`vwindowPaintPending`): the restore runs in one handler, and the loop would paint nothing until
//   it ends.
#include "frontends/gui/layout.h"
#include "frontends/gui/main_window.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

namespace gui {

vrect restored_rect{};
int restored_rect_pending = 0;

namespace {

bool read_int(vresource dict, const char* key, std::int32_t* out) {
  return vresourceTestGetInteger(dict, N(key), out) != 0;
}

bool read_rect(vresource dict, vrect* out) {
  vresource a;
  if (!vresourceTestGet(dict, N("Rect"), &a) || vresourceCount(a) < 4) return false;
  auto at = [&](int i) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(vresourceGetAtInteger(a, i), INT16_MIN, INT16_MAX));
  };
  *out = {at(0), at(1), at(2), at(3)};
  return true;
}

// Window numbers the w-commands take ("win1" to nine digits).
constexpr std::int32_t WINDOW_NUMBER_MAX = 999999999;
bool numbered(int kind) {
  return kind == SIMWIN_LIST || kind == SIMWIN_MEMORY || kind == SIMWIN_REGISTER || kind == SIMWIN_WATCH;
}

// A saved element that names a device not made again, or a number no
// command takes, is dropped.
bool restorable(int kind, int device, int number) {
  if (device < -1 || device >= DEVICE_MAX || (device >= 0 && device_insts[device] == nullptr)) return false;
  return !numbered(kind) || (number >= 1 && number <= WINDOW_NUMBER_MAX);
}

void write_rect(vresource dict, const vrect& r) {
  vresource a = vresourceCreateArray(dict, N("Rect"), vresINTEGER, 4);
  vresourceSetAtInteger(a, 0, r.x);
  vresourceSetAtInteger(a, 1, r.y);
  vresourceSetAtInteger(a, 2, r.width);
  vresourceSetAtInteger(a, 3, r.height);
}

// A new empty array of dictionaries under the key, in place of the old
// one; elements are appended with a dictionary of their own each (in a
// ".vr" store an element not made so holds none, and reads as the root).
vresource fresh_array(vresource resources, const char* key) {
  vresource a;
  if (vresourceTestGet(resources, N(key), &a)) vresourceRemove(resources, N(key));
  return vresourceCreateArray(resources, N(key), vresDICTIONARY, 0);
}

bool saved_device(int d) { return device_insts[d] != nullptr && (device_insts[d]->flags & DEV_EXCLUDED) == 0; }
bool saved_window(const sim_window* r) {
  return r->window != nullptr && r->kind != SIMWIN_STARTUP && r->kind != SIMWIN_MAIN;
}

void submit_if_accepted(const char* line) {
  if (parse_command_line(line) != nullptr) command_submit(line);
}

// "SavePos" as either kind; -1 when the dictionary lacks it.
int save_pos_in(vresource dict) {
  if (dict == 0) return -1;
  std::int32_t n = 0;
  if (vresourceTestGetInteger(dict, N("SavePos"), &n)) return n != 0 ? 1 : 0;
  int b = 0;
  if (vresourceTestGetBoolean(dict, N("SavePos"), &b)) return b != 0 ? 1 : 0;
  return -1;
}

}  // namespace

vresource layout_resources() { return vapplicationGetResources(vapplicationGetCurrent()); }

int save_pos_value() {
  int v = -1;
  if (!vexTry([&] {
        v = save_pos_in(layout_resources());
        vapplication* app = vapplicationGetCurrent();
        if (v < 0 && app->file != nullptr) v = save_pos_in(app->file->root);
      }))
    v = -1;
  return v;
}

vrect rect_on_screen(const vrect& r, const vrect& bounds) {
  const int width = std::min<int>(std::max<int>(r.width, RESTORED_WIDTH_MIN), std::max<int>(bounds.width, 1));
  const int height = std::min<int>(std::max<int>(r.height, RESTORED_HEIGHT_MIN), std::max<int>(bounds.height, 1));
  const int x = std::clamp<int>(r.x, bounds.x, bounds.x + bounds.width - width);
  const int y = std::clamp<int>(r.y, bounds.y, bounds.y + bounds.height - height);
  return {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), static_cast<std::int16_t>(width),
          static_cast<std::int16_t>(height)};
}

void layout_save_devices(vresource resources) {
  vresource devices = fresh_array(resources, "Devices");
  std::int32_t i = 0;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    if (!saved_device(d)) continue;
    vresource e = vresourceInsertAt(devices, i++, vresDICTIONARY);
    vresourceSetInteger(e, N("DevNum"), d);
    vresourceSetInteger(e, N("DevType"), device_insts[d]->type);
  }
}

void layout_save_windows(vresource resources) {
  const std::vector<sim_window*> records = window_records();
  vresource windows = fresh_array(resources, "WinPos");
  std::int32_t i = 0;
  for (sim_window* r : records) {
    if (r->kind == SIMWIN_MAIN && r->window != nullptr) write_rect(vresourceGetDict(resources, N("MainWin")), r->window->rect);
    if (!saved_window(r)) continue;
    vresource e = vresourceInsertAt(windows, i++, vresDICTIONARY);
    write_rect(e, r->window->rect);
    vresourceSetInteger(e, N("WinType"), r->kind);
    vresourceSetInteger(e, N("WinNum"), r->number);
    vresourceSetInteger(e, N("DevNum"), r->device);
    if (r->kind == SIMWIN_MEMORY) vresourceSetInteger(e, N("MemNum"), r->mem_index);
    if (r->kind == SIMWIN_REGISTER) vresourceSetInteger(e, N("PeriphNum"), r->periph_index);
  }
}

void layout_restore_devices(vresource resources) {
  vresource devices;
  if (!vresourceTestGet(resources, N("Devices"), &devices)) return;
  // An element that cannot be read is dropped with the others restored.
  for (std::int32_t i = 0; i < vresourceCount(devices); ++i)
    vexTry([&] {
      vresource e = vresourceGetAt(devices, i);
      std::int32_t type = 0, number = 0;
      if (!read_int(e, "DevType", &type) || !read_int(e, "DevNum", &number)) return;
      // A saved type from another build of the table names nothing here.
      if (type < 0 || type >= TYPE_COUNT || number < 0 || number >= DEVICE_MAX) return;
      char line[64];
      std::snprintf(line, sizeof line, "device dv%d %s", number, device_types[type]->name);
      submit_if_accepted(line);
    });
}

void layout_restore_windows(vresource resources) {
  modal_active = 1;
  vexTry([&] {
    vresource main_rect;
    vrect r{};
    if (vresourceTestGet(resources, N("MainWin"), &main_rect) && read_rect(main_rect, &r))
      if (sim_window* m = window_find(SIMWIN_MAIN, -2); m != nullptr && m->window != nullptr) {
        r = rect_on_screen(main_window_showable(r), vwindowGetRoot()->rect);
        vwindowSetRect(m->window, &r);
        vwindowPaintPending(m->window);
      }
  });
  vresource windows = 0;
  std::int32_t n = 0;
  vexTry([&] {
    if (vresourceTestGet(resources, N("WinPos"), &windows)) n = vresourceCount(windows);
  });
  for (std::int32_t i = 0; i < n; ++i) {
    const int previous = cur_device;
    const std::vector<sim_window*> before = window_records();
    const bool restored = vexTry([&] {
      vresource e = vresourceGetAt(windows, i);
      std::int32_t kind = 0, device = 0, number = 0, mem = -1, periph = -1;
      vrect r{};
      if (!read_int(e, "WinType", &kind) || !read_int(e, "DevNum", &device) || !read_int(e, "WinNum", &number) ||
          !read_rect(e, &r))
        return;
      if (!restorable(kind, device, number)) return;
      read_int(e, "MemNum", &mem);
      read_int(e, "PeriphNum", &periph);
      restored_rect = r;
      window_restore(kind, device, number, mem, periph);
    });
    if (!restored) {
      restored_rect_pending = 0;
      if (previous >= 0) select_device(previous);
    }
    // Each window painted as it opens, not when the whole layout is back.
    for (sim_window* r : window_records())
      if (std::find(before.begin(), before.end(), r) == before.end()) vwindowPaintPending(r->window);
  }
  modal_active = 0;
  window_update_all(-2);
}

void window_restore(int kind, int device, int number, int mem_index, int periph_index) {
  const int previous = cur_device;
  if (device >= 0) select_device(device);
  char line[300] = "";
  switch (kind) {
    case SIMWIN_ASSEMBLY: std::snprintf(line, sizeof line, "wasm"); break;
    case SIMWIN_BREAKPOINTS: std::snprintf(line, sizeof line, "wbreak"); break;
    case SIMWIN_CALLS: std::snprintf(line, sizeof line, "wcalls"); break;
    case SIMWIN_COMMAND: std::snprintf(line, sizeof line, "wcommand"); break;
    case SIMWIN_INPUT: std::snprintf(line, sizeof line, "winput"); break;
    case SIMWIN_LIST: std::snprintf(line, sizeof line, "wlist win%d", number); break;
    case SIMWIN_MEMORY:
      // A region out of range for the device's type is skipped.
      if (cur_type != nullptr && mem_index >= 0 && mem_index < cur_type->region_count) {
        const mem_region& m = cur_type->regions[mem_index];
        std::snprintf(line, sizeof line, "wmemory win%d %s $%" PRIx32, number, m.name, m.low);
      }
      break;
    case SIMWIN_OUTPUT: std::snprintf(line, sizeof line, "woutput"); break;
    case SIMWIN_REGISTER:
      if (cur_type != nullptr && periph_index >= 0 && periph_index < cur_type->periph_count)
        std::snprintf(line, sizeof line, "wregister win%d %s", number, cur_type->periphs[periph_index].name);
      break;
    case SIMWIN_SESSION: std::snprintf(line, sizeof line, "wsession"); break;
    case SIMWIN_SOURCE: std::snprintf(line, sizeof line, "wsource"); break;
    case SIMWIN_STACK: std::snprintf(line, sizeof line, "wstack"); break;
    case SIMWIN_WATCH: std::snprintf(line, sizeof line, "wwatch win%d", number); break;
    default: break;
  }
  if (line[0] != '\0' && parse_command_line(line) != nullptr) {
    restored_rect_pending = 1;
    command_submit(line);
    restored_rect_pending = 0;
  }
  if (previous >= 0) select_device(previous);
  show_command_prompt();
}

}  // namespace gui
