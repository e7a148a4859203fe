// The services the simulator calls on whichever front-end runs: session
// output, error report, status and help lines, prompts, the file question,
// the wait, the abort request, window refresh, allocation and the working
// directory. The front-end that main starts installs its record of them
// (frontend_services) at start-up; the functions below call through it.
// The console front-end (console/) implements them for a terminal, the GUI
// front-end the same set, the unit tests a recording one. Until a record is
// installed, output goes nowhere and questions are answered "cancel".
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct device_inst;

// --- Session output -------------------------------------------------------
// One line of output into the current device's session ring. "{" and "}"
// switch highlighting on and off; "${" and "$}" stand for literal braces.
// With nolog 0 the line also goes to the command log when one is open.
int session_print(const char* text, int nolog);
// The same, with the text kept exactly as given (echoed command lines).
int session_echo(const char* text, int nolog);
// The common body of the two above; 0 when no device is current.
int session_output(const char* text, int nolog, int echo);
// Redraws a device's session after it became the one shown.
void session_redraw(int device);
// Scrolls the session screen through the ring (positive: newer lines).
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

// The geometry listings size their pages by.
struct session_screen_size {
  int text_rows;   // "More" page length; the status row's index
  int rows;        // total rows
  int columns;
};
session_screen_size session_screen();

// Paging of output ("more"): the switch and the per-command line counter.
extern int more_enabled;
extern int more_count;

// The logs the session output writes to; "log" opens and closes them.
// The command log receives lines printed with nolog 0, a device's session
// log every line printed to that device. Null when closed.
constexpr int SESSION_LOG_SLOTS = 32;  // one per device slot
extern std::FILE* command_log;
extern std::FILE* session_logs[SESSION_LOG_SLOTS];
// Writes a line to a log (command_log or a session_logs slot), flushed.
// A line that cannot be written goes to log_write_failed, which reports it
// and closes the log (the log module installs it); without it the log is
// closed in silence.
void write_log_line(std::FILE*& log, const char* text);
extern void (*log_write_failed)(std::FILE*& log);

// --- Errors and questions -------------------------------------------------
// Reports one error: highlighted in the session, kept as the last error,
// and under quit-on-error inside a macro it ends the program.
void error_report(const char* message);
// The newest reported message (at most 255 characters) and its flag.
const char* last_error_text();
extern int error_reported;

// The status line (at most 89 characters; null clears) and the help line
// (at most 99) of the command window.
void gui_status_text(const char* text);
void gui_help_text(const char* text);
void gui_show_prompt();
// Shows the buffer's first `length` characters as a prompt, the rest as
// the answer offered for editing, and reads the answer; the buffer (of
// `capacity` bytes) receives "prompt answer". Returns the key that ended
// it: 13 accepted, 14 (Ctrl-N) or 21 (Ctrl-U) accepted with a move to the
// next or previous item, 27 cancelled or at the end of input (the buffer
// is then unchanged).
int gui_line_prompt(char* buffer, int length, std::size_t capacity);
// "A file with that name currently exists": 'a', 'o' or 'c'.
int gui_file_question();
// Holds until the user continues; with seconds > 0 it ends by itself.
void wait_dialog(int seconds);
// Moves a pending stop request into the running device's abort word and
// returns the current device's abort word.
int abort_requested();
// Set asynchronously (Ctrl-C, Stop); consumed by abort_requested.
extern volatile std::sig_atomic_t stop_request;
int gui_present();
// 1 when a person answers prompts as they are shown (a terminal, the GUI);
// 0 when the answers come from a pipe or file and nobody sees the status
// row.
int gui_prompt_live();

// --- Windows, memory and lifetime -----------------------------------------
void window_update_all(int device);  // -2: every device
void close_device_windows(int device);
// True while the front-end's own allocator stands behind dsp_alloc.
int gui_allocator_active();
void* gui_dsp_alloc(std::size_t size, int clear);
void* gui_dsp_realloc(void* block, std::size_t size);
void gui_dsp_free(void* block);
void gui_work_dir(device_inst* inst);
// The process's current directory with a trailing "/", as a device's
// working directory takes it: "./" when it does not fit in `limit`
// characters (the same place, never a cut name that points elsewhere).
std::string working_dir_text(std::size_t limit);
void quit_program();
extern int quitting;

// --- The installed record --------------------------------------------------
struct frontend_services {
  int (*session_output)(const char* text, int nolog, int echo);
  void (*session_redraw)(int device);
  void (*session_scroll)(int lines);
  void (*output_hold)();
  void (*output_release)();
  void (*screen_flush)();
  void (*screen_goto)(int row, int column);
  void (*screen_put_char)(int character);
  void (*screen_clear_eol)();
  int (*screen_write_text)(const char* text, int mode);
  void (*screen_put_text)(int row, int column, const char* text, int mode);
  void (*screen_show_rows)(const char* rows_block);
  void (*screen_advance)(int direction);
  session_screen_size (*session_screen)();
  void (*error_report)(const char* message);
  const char* (*last_error_text)();
  void (*gui_status_text)(const char* text);
  void (*gui_help_text)(const char* text);
  void (*gui_show_prompt)();
  int (*gui_line_prompt)(char* buffer, int length, std::size_t capacity);
  int (*gui_file_question)();
  void (*wait_dialog)(int seconds);
  int (*abort_requested)();
  int (*gui_present)();
  int (*gui_prompt_live)();
  void (*window_update_all)(int device);
  void (*close_device_windows)(int device);
  int (*gui_allocator_active)();
  void* (*gui_dsp_alloc)(std::size_t size, int clear);
  void* (*gui_dsp_realloc)(void* block, std::size_t size);
  void (*gui_dsp_free)(void* block);
  void (*gui_work_dir)(device_inst* inst);
  void (*quit_program)();
};

// Makes `services` the front-end (kept by pointer); null puts back the
// silent one.
void install_frontend(const frontend_services* services);
// The silent front-end, a start for one that provides only some services.
const frontend_services& silent_frontend();
