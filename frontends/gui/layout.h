// The devices and windows kept between runs of the program in the
// application's resource dictionary, beside "SavePos".
#pragma once

#include <cstdint>

#include "fw/core/rect.h"
#include "fw/core/resource.h"

namespace gui {

// The rectangle a restoring w-command gives its new window.
extern vrect restored_rect;
extern int restored_rect_pending;

// The dictionary the layout is written to (the user's store), and the
// "SavePos" switch: -1 absent, else its value (integer or boolean), read
// from the user's store first, then from the application's file.
vresource layout_resources();
int save_pos_value();

// A saved rectangle brought onto the bounds: its size at least the
// smallest a window is given and at most the bounds', its place inside.
constexpr int RESTORED_WIDTH_MIN = 32, RESTORED_HEIGHT_MIN = 24;
vrect rect_on_screen(const vrect& r, const vrect& bounds);

void layout_save_devices(vresource resources);
void layout_save_windows(vresource resources);
void layout_restore_devices(vresource resources);
void layout_restore_windows(vresource resources);
// Builds and submits the w-command of one saved window.
void window_restore(int kind, int device, int number, int mem_index, int periph_index);

}  // namespace gui
