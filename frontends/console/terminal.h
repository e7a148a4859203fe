// The console's standard streams and what an attached terminal adds to
// them: bold highlighting, the status and help rows at the bottom of the
// screen, and single-key input.
#pragma once

#include <cstdio>
#include <string>

// Where the console reads and writes. Set once from the process's own
// descriptors; tests point them at pipes and files instead.
struct console_streams {
  int in_fd = 0;
  std::FILE* out = stdout;
  bool in_tty = false;   // keys can be read one at a time
  bool out_tty = false;  // highlighting and the status rows are shown
  // Where prompts, the line editor and questions are drawn: the output
  // when it is a terminal, else the terminal on standard error when input
  // comes from a terminal; null when nobody could see them.
  std::FILE* prompt = nullptr;
  // Output written in blocks instead of line by line: when the block is
  // full, whenever the console waits for input or asks a question, at the
  // stops of a run on a terminal, and while output keeps coming at least
  // every FLUSH_INTERVAL_MS.
  bool batched = false;
  // A monotonic clock in milliseconds for the interval; tests set their own.
  long long (*now_ms)() = nullptr;
};
constexpr long long FLUSH_INTERVAL_MS = 50;
console_streams& console_io();

// Fills console_io() from the input and output descriptors (and 2, where
// questions go when only the input is a terminal) and, on a terminal,
// reserves the two bottom rows for the status and help lines.
void terminal_attach(int in_fd = 0, int out_fd = 1);
// The batched output stream over `fd` that terminal_attach makes (one at a
// time): a block buffer whose bytes a terminating signal still writes out.
// Null when it cannot be made.
std::FILE* terminal_hold_output(int fd);
// The write(2) calls of that stream so far, and the bytes they wrote.
struct terminal_write_count {
  std::size_t calls = 0;
  std::size_t bytes = 0;
};
terminal_write_count terminal_writes();
// True once a write of the output has failed (said then on standard error).
bool terminal_output_failed();
// Gives the terminal back as it was found (scroll region, modes).
void terminal_detach();

// Writes one session line: byte 15 starts a highlighted run and byte 7
// ends it; bold on a terminal, plain braces otherwise. Flushed at once
// unless the output is batched.
void terminal_write_line(const char* line);
// Output that is not a terminal: a line whose bytes are already the
// output's (no highlight or other control bytes), written as it is.
void terminal_write_plain_line(const char* line, std::size_t length);
// Writes out what batched output holds (before the console waits for
// input or asks a question).
void terminal_flush_output();
// Writes out what batched output holds when FLUSH_INTERVAL_MS has passed
// since it was last written out. Cheap: the run loop calls it each slice.
void terminal_flush_if_due();

// The status row (upper) and help row (lower) of a terminal. Braces in the
// text mark highlighted runs as in session output. Nothing is shown when
// the output is not a terminal.
void terminal_show_status(const std::string& status, const std::string& help);

// Follows a change of the terminal's size before the next prompt.
void terminal_refresh();

// The width of the terminal the prompt is drawn on (80 when unknown).
int terminal_columns();

// Single-key input on the console's input terminal for as long as it
// lives: no echo, no line discipline, Ctrl-C still interrupts.
class raw_keys {
 public:
  raw_keys();
  ~raw_keys();
  raw_keys(const raw_keys&) = delete;
  raw_keys& operator=(const raw_keys&) = delete;

 private:
  bool active_ = false;
};

// Ctrl-C sets the stop request; a terminating signal first restores the
// terminal. Installed once at start-up.
void install_signal_handlers();
