// The Source window: one device's source file around the program
// position, a status line naming the shown place, the pc and its symbol
// and section, numbered rows with the pc's line in red; a double click on
// a line sets a breakpoint there or removes the one that is there.
#pragma once

#include <cstdint>
#include <string>

struct vcolor;
struct vfont;

namespace gui {

struct sim_window;

// Re-centres on the pc instead of moving by a number of lines.
constexpr int SOURCE_RECENTRE = 32767;
constexpr int SOURCE_ROWS_MAX = 100;
constexpr int SOURCE_COLUMNS_MAX = 256;

struct source_view {
  int32_t relayout_pending = 0;
  int32_t columns = 1;
  int32_t rows = 1;  // row 0 is the status line
  int32_t pc_row = -1;
  int32_t first_line = 1;
  int32_t last_line = 1;
  int32_t scroll_value = 1;
  int32_t line_count = 1;
  uint32_t last_pc = 0;
  vcolor* red = nullptr;
  vfont* font = nullptr;
  int32_t file_open = 0;
  std::string row_text[SOURCE_ROWS_MAX];
};

// The action of "wsource" ("wsource off" is the common one).
void source_window_open(const char* line);
void register_source_window();

// The device's window (tests): its view, a scroll by a number of lines
// from the first shown, and a double click on a text row.
const source_view* source_window_view(const sim_window* record);
void source_window_scroll(const sim_window* record, int lines);
void source_window_double_click(const sim_window* record, int row);

}  // namespace gui
