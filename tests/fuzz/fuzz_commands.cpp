// Command lines as standard input: read, checked, submitted and run through
// the console's own loop. Input: the lines, then after a NUL byte the text
// of the macro "m", then after another the macro "n".
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz_start();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  if (!fuzz_text_is_safe(rest)) return -1;
  fuzz_fresh_session();
  const std::string_view lines = fuzz_split(rest, '\0');
  fuzz_write_file("m.cmd", fuzz_split(rest, '\0'));
  fuzz_write_file("n.cmd", rest);
  fuzz_feed_input(lines, false);
  // Two slices of a run per line (then a Ctrl-C) reach what six did at a
  // third of the cost: the run's cycles are most of an input's time.
  fuzz_command_loop(2);
  return 0;
}
