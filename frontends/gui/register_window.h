// Register windows: the registers of one peripheral of one device, sorted
// by name, each value in the register's display radix and edited in place
// (a committed value becomes a "change" command line).
#pragma once

#include <cstdint>

struct vdialog;

namespace gui {

struct xincell;
struct sim_window;

// What the list shows: the peripheral by name (the row may move when the
// device's type changes), its row, and the device.
struct register_view {
  char name[12];
  int32_t periph;
  int32_t device;
};

// The action of "wregister [winN] [periph]".
void register_window_open(const char* line);
// Registers the action with the window commands and builds the editor
// class the resource names.
void register_register_window();

// A window's view, list and dialog (tests).
const register_view* register_window_view(const sim_window* record);
xincell* register_window_list(const sim_window* record);

}  // namespace gui
