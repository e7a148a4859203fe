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
  std::string status;
  std::deque<std::string> answers;  // next prompt answers; empty one or none: cancel
  std::deque<char> file_answers;  // 'a', 'o' or 'c' to the file question; none: cancel
  void clear() { *this = test_frontend{}; }
};

// The recording front-end, installed by linking this file into a test
// program. Like the console it also writes printed lines to the open
// command and session logs.
test_frontend& recorded();
