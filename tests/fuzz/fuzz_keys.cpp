// Keys typed at a terminal: the line editor, the history, completion and
// help at the prompt, and the questions commands ask, all from one stream
// of key bytes.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz_start();
  const std::string_view keys(reinterpret_cast<const char*>(data), size);
  if (!fuzz_text_is_safe(keys)) return -1;
  fuzz_fresh_session();
  fuzz_feed_input(keys, true);
  fuzz_command_loop(6);
  return 0;
}
