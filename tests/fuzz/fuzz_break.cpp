// Breakpoint actions during a run: the input's first 64 bytes are the
// program at p:0; each following line is the text after "break"; then the
// device runs, and a Ctrl-C must end the run.
#include <string>

#include "fuzz_support.h"
#include "frontends/console/console.h"
#include "sim/engine/device/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 64) return -1;
  fuzz_start();
  std::string_view rest(reinterpret_cast<const char*>(data) + 64, size - 64);
  if (!fuzz_text_is_safe(rest)) return -1;
  fuzz_fresh_session();
  for (uint32_t a = 0; a < 32; ++a) {
    const uint32_t word = data[2 * a] | data[2 * a + 1] << 8;
    write_device_memory(0, SPACE_P, a, &word);
  }
  console_submit_typed("change pc 0");
  while (!rest.empty()) {
    const std::string line = "break " + std::string(fuzz_split(rest, '\n'));
    console_submit_typed(line);
    fuzz_pump(4);
  }
  console_submit_typed("go");
  fuzz_pump(10);
  return 0;
}
