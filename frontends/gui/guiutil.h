// Small services of the front-end for dialogs and windows.
#pragma once

#include <cstddef>

#include "frontends/gui/frontend.h"

struct device_inst;
struct vwindow;

namespace gui {

// The index of the register of peripheral row `row` whose name follows
// the name at `index` alphabetically (the first when index < 0), or -1.
int register_name_next(int row, int index);
// The number a new breakpoint gets.
int breakpoint_number_free();
// Frames a dialog or notice as one: the modal frame, its size its own
// (no sizing frame) and neither a minimize nor a maximize box, so that
// the window manager knows it for a dialog.
void dialog_frame(vwindow* dialog);

}  // namespace gui
