// The console's own bodies of the front-end services (sim/frontend.h);
// install_console_frontend puts them in place.
#pragma once

#include <cstddef>

#include "sim/frontend.h"

namespace con {
int session_output(const char* text, int nolog, int echo);
void session_redraw(int device);
void session_scroll(int lines);
void output_hold();
void output_release();
void screen_flush();
void screen_goto(int row, int column);
void screen_put_char(int character);
void screen_clear_eol();
int screen_write_text(const char* text, int mode);
void screen_put_text(int row, int column, const char* text, int mode);
void screen_show_rows(const char* rows_block);
void screen_advance(int direction);
session_screen_size session_screen();
void error_report(const char* message);
const char* last_error_text();
void gui_status_text(const char* text);
void gui_help_text(const char* text);
void gui_show_prompt();
int gui_line_prompt(char* buffer, int length, std::size_t capacity);
int gui_file_question();
void wait_dialog(int seconds);
int abort_requested();
int gui_present();
int gui_prompt_live();
void window_update_all(int device);
void close_device_windows(int device);
int gui_allocator_active();
void* gui_dsp_alloc(std::size_t size, int clear);
void* gui_dsp_realloc(void* block, std::size_t size);
void gui_dsp_free(void* block);
void gui_work_dir(device_inst* inst);
void quit_program();
}  // namespace con

// The record install_console_frontend installs, for a front-end that
// differs in a service or two (the fuzz targets' waits that do not wait).
const frontend_services& console_frontend_services();
