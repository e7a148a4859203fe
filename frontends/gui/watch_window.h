// The Watch windows: per device, numbered windows each with its own
// numbered list of watched registers, memory words, expressions and C
// expressions, evaluated again after every command. Items are added and
// removed only by "wwatch" lines; a double click on a row removes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/expr/expr.h"

struct watch_list;

namespace gui {

struct sim_window;

// The actions of "wwatch" and "wwatch off".
void watch_window_open(const char* line);
void watch_window_off(const char* line);
void register_watch_window();

// A number's value in a radix (-1 default, else b d f h u as 0-4) under a
// device type's expression flags.
std::string watch_number_text(arg_value value, int radix, uint32_t expr_flags);
// A C value's text laid into rows of at most `width` characters.
std::vector<std::string> watch_value_rows(const std::string& text, int width);

// The window's list (tests), its cell text, and a double click on a row.
const watch_list* watch_window_list(const sim_window* record);
std::string watch_window_cell(const sim_window* record, int row, int column);
int watch_window_rows(const sim_window* record);
void watch_window_double_click(const sim_window* record, int row);

}  // namespace gui
