// A front-end for unit tests below the console: it records what the
// simulator prints and reports, and answers prompts from a queue.
#pragma once

#include <deque>
#include <string>
#include <vector>

struct test_frontend {
  std::vector<std::string> lines;  // session lines, as printed
  std::vector<std::string> errors;  // reported errors, in order
  std::string status;
  std::deque<std::string> answers;  // next prompt answers; empty: cancel
  void clear() { *this = test_frontend{}; }
};

// The recording front-end, installed by linking this file into a test
// program.
test_frontend& recorded();
