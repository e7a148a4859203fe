// Memory windows: one memory-map region of one device as a grid of an
// address column and as many value columns as fit, each word in the
// display radix recorded for its address, edited in place ("change"
// lines), walked by a scroll bar and moved by a "Scroll_To" expression.
#pragma once

#include <cstdint>

namespace gui {

struct xincell;
struct sim_window;

struct memory_view {
  int32_t region;
  char name[12];
  int32_t address_width;  // pixels
  int32_t value_width;
  sim_window* window;
};

// The action of "wmemory [winN] region [address]".
void memory_window_open(const char* line);
// Registers the action with the window commands and builds the editor
// class the resource names.
void register_memory_window();

// A window's view, list, first address and value columns (tests).
const memory_view* memory_window_view(const sim_window* record);
xincell* memory_window_list(const sim_window* record);
uint32_t memory_window_top(const sim_window* record);
int memory_window_columns(const sim_window* record);
// Runs the "Scroll_To" field's commit with the text.
void memory_window_scroll_to(const sim_window* record, const char* text);

}  // namespace gui
