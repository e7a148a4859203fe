// Links the command language's hooks into a test program, as the console
// does at start-up, and gives the recording front-end the console's rule
// for errors under quit-on-error.
#include "sim/cmd/dispatch.h"
#include "sim/cmd/hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"
#include "support/test_frontend.h"

namespace {

// A macro's error under quit-on-error ends the program, once.
void quit_on_macro_error() {
  static bool quitting_on_error = false;
  if (macro_running == 0 || quit_on_error == 0) return;
  exit_status = 1;
  if (quitting != 0 || quitting_on_error) return;
  quitting_on_error = true;
  execute_command_line(shown_device, "quit ;on error");
  quitting_on_error = false;
}

const bool installed = (install_simulator_hooks(), after_error_report = quit_on_macro_error, true);

}  // namespace
