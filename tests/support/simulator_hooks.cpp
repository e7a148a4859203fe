// Links the command language's hooks into a test program, as the console
// does at start-up.
#include "sim/cmd/hooks.h"

namespace {
const bool installed = (install_simulator_hooks(), true);
}  // namespace
