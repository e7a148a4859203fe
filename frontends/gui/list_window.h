// List windows: a text file (usually an assembler listing) shown read-only.
// They belong to no device and are told apart by their window number;
// naming a window that exists replaces its text.
#pragma once

struct vtextitem;

namespace gui {

struct sim_window;

void register_list_window();
// The text item of a window (tests).
vtextitem* list_window_text(const sim_window* record);

}  // namespace gui
