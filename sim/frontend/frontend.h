// The services the simulator calls on whichever front-end runs: session
// output, error report, status and help lines, prompts, the file question,
// the wait, the abort request, window refresh, allocation and the working
// directory. The front-end that main starts installs its record of them
// (frontend_services) at start-up; the functions below call through it.
// The console front-end (console/) implements them for a terminal, the GUI
// front-end the same set, the unit tests a recording one. Until a record is
// installed, output goes nowhere and questions are answered "cancel".
//
// The console front-end keeps each device's session ring, prints the shown device's new lines to
// standard output as they arrive (bold on a terminal, plain braces otherwise), and answers prompts
// and the file question from the terminal or, in batch use, from standard input.
//
// - Every line is printed exactly once: lines that arrive for a device that is not shown wait in its
//   ring and are printed when it becomes the shown device (`session_redraw`); nothing is printed
//   twice. In the assembly or source view the redraw then shows the view at the device's pc.
//
// - Status and help lines live on the terminal's two bottom rows, reserved while a terminal is
//   attached; without a terminal they are kept but never printed, so captured output is pure session
//   text.
//
// - A line read from a pipe answers the file question (its first word when that is a, o or c or
//   begins "append", "overwrite" or "cancel"; any other line cancels, so a command that follows by
//   mistake never overwrites) and the line prompt; at the end of input the file question answers
//   'c'.
//
// - Ctrl-C sets `stop_request`; `abort_requested` moves it into the shown device's abort word, or,
//   when the shown device is off, into the device that runs.
//
// - The line loop: read a line, `command_submit`, then pump the run slices and macro lines
//   (`console_pump`) until neither has work.
//
// - Logs: `command_log` and `session_logs[]` (`sim/frontend/frontend.h`) are the files the session output
//   writes through `write_log_line`; `cmd_log.cpp` owns their names. A log writes its file itself,
//   flushed per line: overwriting truncates it, appending writes at its end (a link leads to the
//   file it names; /dev/null and other devices take the lines). A FIFO that no one reads is refused
//   at once ("Error opening file."), never waited for. The first line that cannot be written closes
//   the log with what it holds and says "Error writing file:NAME" (inside a run, at the instruction
//   end, which stops the run); output streams do the same (`write_stream_line`) and then write
//   nothing more. `log p` goes to the profiler interface; without one it answers
//   "Profiler not available in this simulator".
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct device_inst;

// --- The services ------------------------------------------------------
// The one list of services, as X(result, name, (parameters), (arguments)).
// It makes the record below, the calls through it and each front-end's
// declarations, so that adding a service is one row here.
#define FRONTEND_SERVICES(X)                                                      \
  /* One line of output into the current device's session ring (nolog 0: */      \
  /* also to the command log); echo keeps the text exactly as given. 0 when */   \
  /* no device is current. */                                                    \
  X(int, session_output, (const char* text, int nolog, int echo), (text, nolog, echo)) \
  /* Redraws a device's session after it became the one shown. */               \
  X(void, session_redraw, (int device), (device))                                \
  /* Scrolls the session screen through the ring (positive: newer lines). */    \
  X(void, session_scroll, (int lines), (lines))                                  \
  X(void, output_hold, (), ())                                                   \
  X(void, output_release, (), ())                                                \
  X(void, screen_flush, (), ())                                                  \
  X(void, screen_goto, (int row, int column), (row, column))                     \
  X(void, screen_put_char, (int character), (character))                         \
  X(void, screen_clear_eol, (), ())                                              \
  X(int, screen_write_text, (const char* text, int mode), (text, mode))          \
  X(void, screen_put_text, (int row, int column, const char* text, int mode),    \
    (row, column, text, mode))                                                   \
  X(void, screen_show_rows, (const char* rows_block), (rows_block))              \
  X(void, screen_advance, (int direction), (direction))                          \
  /* The geometry listings size their pages by. */                              \
  X(session_screen_size, session_screen, (), ())                                 \
  /* Reports one error: highlighted in the session, kept as the last error, */  \
  /* and under quit-on-error inside a macro it ends the program. */             \
  X(void, error_report, (const char* message), (message))                        \
  /* The newest reported message (at most 255 characters). */                   \
  X(const char*, last_error_text, (), ())                                        \
  /* The status line (at most 89 characters; null clears) and the help line */  \
  /* (at most 99) of the command window. */                                     \
  X(void, gui_status_text, (const char* text), (text))                           \
  X(void, gui_help_text, (const char* text), (text))                             \
  X(void, gui_show_prompt, (), ())                                               \
  /* Shows the buffer's first `length` characters as a prompt, the rest as */   \
  /* the answer offered for editing, and reads the answer; the buffer (of */    \
  /* `capacity` bytes) receives "prompt answer". Returns the key that ended */  \
  /* it: 13 accepted, 14 (Ctrl-N) or 21 (Ctrl-U) accepted with a move to the */ \
  /* next or previous item, 27 cancelled or at the end of input (the buffer */  \
  /* is then unchanged). */                                                      \
  X(int, gui_line_prompt, (char* buffer, int length, std::size_t capacity),      \
    (buffer, length, capacity))                                                  \
  /* "A file with that name currently exists": 'a', 'o' or 'c'. */              \
  X(int, gui_file_question, (), ())                                              \
  /* Holds until the user continues; with seconds > 0 it ends by itself. */     \
  X(void, wait_dialog, (int seconds), (seconds))                                 \
  /* Moves a pending stop request into the running device's abort word and */  \
  /* returns the current device's abort word. */                                \
  X(int, abort_requested, (), ())                                                \
  X(int, gui_present, (), ())                                                    \
  /* 1 when a person answers prompts as they are shown (a terminal, the */      \
  /* GUI); 0 when the answers come from a pipe or file and nobody sees the */   \
  /* status row. */                                                              \
  X(int, gui_prompt_live, (), ())                                                \
  /* -2: every device. */                                                        \
  X(void, window_update_all, (int device), (device))                             \
  X(void, close_device_windows, (int device), (device))                          \
  /* True while the front-end's own allocator stands behind dsp_alloc. */       \
  X(int, gui_allocator_active, (), ())                                           \
  X(void*, gui_dsp_alloc, (std::size_t size, int clear), (size, clear))          \
  X(void*, gui_dsp_realloc, (void* block, std::size_t size), (block, size))      \
  X(void, gui_dsp_free, (void* block), (block))                                  \
  X(void, gui_work_dir, (device_inst * inst), (inst))                            \
  X(void, quit_program, (), ())                                                 \
  /* Whether a stop is asked for, left for abort_requested; the GUI first */    \
  /* handles its pending input (Stop, Quit), as between a run's slices. */      \
  X(int, stop_check, (), ())                                                     \
  /* How often (ms) a wait on another program asks stop_check; 0: the wait */   \
  /* blocks and Ctrl-C (SIGINT) interrupts it (a wait on a target's FIFO or */  \
  /* terminal still asks now and then, for a Ctrl-C just before it). */         \
  X(int, stop_poll_ms, (), ())

// Declares one service as a function (the calls below; a front-end's bodies
// inside its namespace).
#define FRONTEND_DECLARE(result, name, parameters, arguments) result name parameters;

// The geometry listings size their pages by.
struct session_screen_size {
  int text_rows;   // "More" page length; the status row's index
  int rows;        // total rows
  int columns;
};

// The calls into whichever front-end is installed.
FRONTEND_SERVICES(FRONTEND_DECLARE)

// The record a front-end installs: one pointer per service.
struct frontend_services {
#define FRONTEND_MEMBER(result, name, parameters, arguments) result(*name) parameters;
  FRONTEND_SERVICES(FRONTEND_MEMBER)
#undef FRONTEND_MEMBER
};

// --- Session output -------------------------------------------------------
// session_output without echo: "{" and "}" switch highlighting on and off;
// "${" and "$}" stand for literal braces.
int session_print(const char* text, int nolog);
// The same, with the text kept exactly as given (echoed command lines).
int session_echo(const char* text, int nolog);

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

// --- Errors, questions and lifetime ----------------------------------------
// The flag set by each error report.
extern int error_reported;
// Set asynchronously (Ctrl-C, Stop); consumed by abort_requested.
extern volatile std::sig_atomic_t stop_request;
// Whether a stop is asked for, left for abort_requested: for a wait on
// another program (a file's lock, a target's FIFO or terminal) that the
// stop ends.
inline bool stop_pending() { return stop_check() != 0; }
// The process's current directory with a trailing "/", as a device's
// working directory takes it: "./" when it does not fit in `limit`
// characters (the same place, never a cut name that points elsewhere).
std::string working_dir_text(std::size_t limit);
extern int quitting;

// Makes `services` the front-end (kept by pointer); null puts back the
// silent one.
void install_frontend(const frontend_services* services);
// The silent front-end, a start for one that provides only some services.
const frontend_services& silent_frontend();
