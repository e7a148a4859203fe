// Buffered input from the console's input descriptor, by line or by key.
// Lines and keys share one buffer, so a question asked in the middle of a
// command takes its answer from the same stream as the commands.
#pragma once

#include <string>

enum class input_result {
  line,         // a line was read (without its line end)
  interrupted,  // Ctrl-C at a terminal while waiting
  end,          // end of input
};

// The next line, without "\n" or "\r\n". A last line without a line end
// still counts. Lines longer than INPUT_LINE_MAX keep their beginning.
input_result input_read_line(std::string& out);
constexpr std::size_t INPUT_LINE_MAX = 65536;

// Puts a line read with input_read_line back, to be read again next.
void input_unread_line(const std::string& line);

// Results of input_read_key besides a byte 0-255.
constexpr int KEY_END = -1;
constexpr int KEY_TIMEOUT = -2;
constexpr int KEY_INTERRUPTED = -3;
// The next byte; waits at most timeout_ms (negative: without limit).
int input_read_key(int timeout_ms);

// Forgets whatever is buffered (a new input stream).
void input_reset();
