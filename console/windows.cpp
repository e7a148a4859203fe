// Window services: a terminal has no simulator windows to update or close.
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "sim/engine/device.h"
#include "console/services.h"
#include "sim/frontend.h"

namespace con {

void window_update_all(int /*device*/) {}

void close_device_windows(int /*device*/) {}

// The process's current directory with a trailing "/". A directory whose
// name does not fit is named "./": the same place, and never a cut name
// that would point somewhere else.
void gui_work_dir(device_inst* inst) {
  if (inst == nullptr) return;
  std::vector<char> buf(4096);
  std::string dir;
  for (;;) {
    if (getcwd(buf.data(), buf.size()) != nullptr) {
      dir = buf.data();
      break;
    }
    if (errno != ERANGE || buf.size() > (1u << 20)) break;
    buf.resize(buf.size() * 2);
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  if (dir.empty() || dir.size() > WORK_DIR_MAX - 1) dir = "./";
  inst->work_dir = dir;
}

}  // namespace con
