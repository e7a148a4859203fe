// The stop request: Ctrl-C (or "Cancel" at a More page) sets it at any
// moment; the engine asks abort_requested at safe points.
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "frontends/console/services.h"
#include "frontends/console/terminal.h"
#include "sim/frontend/frontend.h"

int stop_seen = 0;

namespace con {

// The request belongs to the device the user last selected, whichever
// device the run loop has made current meanwhile; when that one is off it
// takes no part in the run, and the device that asks takes the request.
int abort_requested() {
  if (stop_request != 0) {
    stop_request = 0;
    stop_seen = 1;
    device_inst* shown =
        shown_device >= 0 && shown_device < DEVICE_MAX ? device_insts[shown_device] : nullptr;
    if (shown != nullptr && (shown->flags & DEV_EXCLUDED) != 0 && cur_inst != nullptr) shown = cur_inst;
    if (shown != nullptr) shown->abort = 1;
  }
  return cur_inst != nullptr ? cur_inst->abort : 0;
}

int gui_present() { return 1; }

// Ctrl-C interrupts a blocked wait itself: nothing to poll. What was
// said before the wait shows while it lasts.
int stop_check() {
  terminal_flush_output();
  return stop_request != 0 ? 1 : 0;
}
int stop_poll_ms() { return 0; }

}  // namespace con
