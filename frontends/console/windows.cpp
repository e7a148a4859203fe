// Window services: a terminal has no simulator windows to update or close.
#include "sim/engine/device/device_inst.h"
#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

namespace con {

void window_update_all(int /*device*/) {}

void close_device_windows(int /*device*/) {}

void gui_work_dir(device_inst* inst) {
  if (inst != nullptr) inst->work_dir = working_dir_text(WORK_DIR_MAX - 1);
}

}  // namespace con
