// Test programs draw on the headless back-end whatever display the shell
// they run from has: with DISPLAY set and no back-end named, the platform
// would open that display and the stored pictures and message traces
// would no longer hold. A back-end named outright is kept.
#include <cstdlib>

namespace {
const bool headless_by_default = [] {
  setenv("WEXLIN_BACKEND", "headless", 0);
  return true;
}();
}  // namespace
