// A front-end for unit tests below the console: it records what the
// simulator prints and reports, and answers prompts from a queue, as a
// piped run does (nobody sees the status row).
#pragma once

#include <deque>
#include <string>
#include <vector>

struct test_frontend {
  std::vector<std::string> lines;  // session lines, as printed; errors as "{message}"
  std::vector<std::string> errors;  // reported errors, in order
  std::string status;  // status and help lines of the command window
  std::string help;
  // The next answers, a line each, to prompts and to the file question;
  // an empty one (a prompt) or none at all cancels.
  std::deque<std::string> answers;
  void clear() { *this = test_frontend{}; }
};

// The recording front-end, installed by linking this file into a test
// program. Like the console it also writes printed lines to the open
// command and session logs.
test_frontend& recorded();

// Nonzero while the front-end records: the allocations then are its own,
// not the simulator's (a console writes to a file instead).
extern int frontend_recording;
// Run after each error report; the command language's tests set it to
// end the program under quit-on-error, as a front-end does.
extern void (*after_error_report)();
