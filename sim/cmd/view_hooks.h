// Services of the source-level debugger and the watch list that the
// display and change commands call. Their owners fill these in; until
// then they do nothing and find nothing.
#pragma once

#include <cstdint>
#include <string>

#include "sim/cdb/frames.h"

// Redraws the source or assembly view: 32767 shows the current position,
// any other number scrolls by that many lines (source) or words (assembly).
// The screen is shown only while the view mode is assembly or source.
void view_show_position(int lines);
// The status line of the views (not cut to the screen width).
std::string view_status_line();
// Prints the current device's watch list as part of the run display.
void show_watch_list();
