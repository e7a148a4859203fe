// The console front-end: the simulator on a terminal, or on standard input
// and output for batch runs and tests.
#pragma once

#include <string>

// Makes the console the simulator's front-end and installs the
// simulator's own hooks; console_main does it first.
void install_console_frontend();

// Starts the simulator and reads command lines until the end of input or
// "quit"; returns the exit status.
int console_main(int argc, char** argv);

// Runs one command line as typed by the user: clears the stop request,
// hands the line to the dispatcher and leaves the shown device current.
void command_submit(const char* line);

// The next line typed at the terminal or read from standard input; false
// at the end of input.
bool console_read_command(std::string& line);
// Checks a typed line and submits it; a refused line is not run and the
// parser's message is shown instead. True when the line was submitted.
bool console_submit_typed(const std::string& line);

// Work that runs between command lines, for as long as there is some:
// slices of an armed run, then the lines of a running macro.
void console_pump();
// One slice of the armed run; false when no device runs.
bool console_run_slice();
// One line of the running macro; false when no macro runs.
bool console_macro_step();

// Set when a stop request (Ctrl-C) was taken by a run or a command; the
// macros open then are ended before their next line. A typed line clears it.
extern int stop_seen;

// The prompt before each command line: "%d>" with the shown device.
std::string console_prompt();

// The texts on the status and help rows (kept with or without a terminal).
const std::string& console_status_text();
const std::string& console_help_text();
