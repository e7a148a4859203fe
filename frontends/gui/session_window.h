// The Session window: the screen grid of the current device drawn as a
// fixed-pitch character canvas, with a scroll bar that walks back through
// the device's ring (or through the source and assembly views' lines).
#pragma once

struct vdialog;

namespace gui {

struct sim_window;

// 1 while the window exists; 1 from a size change until the deferred
// re-layout ran.
extern int session_open;
extern int session_resizing;

// The action of "wsession" ("wsession off" closes through the record).
void session_open_action(const char* line);
// Registers the action with the window commands and builds the canvas
// class the resource names.
void register_session_window();

// The window's dialog and its text grid's size in characters (tests).
vdialog* session_dialog();
int session_char_width();
int session_line_height();

// The deferred re-layout after a size change (priority 63).
void session_resized();

}  // namespace gui
