// The Breakpoints window: one row per breakpoint of a device; a double
// click enables a disabled breakpoint or disables an enabled one.
#pragma once

#include <string>

struct break_rec;

namespace gui {

// The row of a breakpoint.
std::string breakpoint_row(const break_rec& b);
void register_breakpoint_window();

}  // namespace gui
