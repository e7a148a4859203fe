// The Stack window (the hardware stack of a device, from the current level
// down to level 0) and the Calls window (the C call stack's frames; a
// double click selects a frame).
#pragma once

namespace gui {

void register_stack_window();
void register_calls_window();

}  // namespace gui
