// State files (".sim"): the input is a whole file given to `load s`. A
// refused file leaves the saved state as it was; an accepted one gives
// devices that list, display, step and run, and whose own save loads back
// to the same file.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "frontends/console/console.h"
#include "fuzz_support.h"
#include "sim/cmd/statefile.h"
#include "sim/engine/device/device_inst.h"

namespace {

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

std::string contents(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string saved(const char* name) {
  if (save_state_file(name, 0, DEVICE_MAX - 1) != 0) finding("the state could not be saved");
  return contents(name);
}

// The input stream the seeds name, by a name in the scratch folder.
void fresh_session() {
  fuzz_fresh_session();
  fuzz_write_file("data.io", "1\n2\n3\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Stream, symbol and working-folder names stay in the scratch folder.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!fuzz_text_is_safe(text)) return -1;
  fuzz_start();
  fresh_session();
  const std::string before = saved("before.sim");
  fuzz_write_file("f.sim", text);
  if (load_state_file("f.sim") != 0) {
    if (saved("after.sim") != before) finding("a refused file changed the state");
    return 0;
  }
  const std::string first = saved("a.sim");
  for (const char* line : {"break", "display", "disassemble", "evaluate 12", "step 3", "go", "device"}) {
    console_submit_typed(line);
    fuzz_pump(4);
  }
  // The file as the loaded devices save it reads back to the same file
  // (a fresh session empties the scratch folder).
  fresh_session();
  fuzz_write_file("a.sim", first);
  if (load_state_file("a.sim") != 0) finding("a saved state was refused");
  if (saved("b.sim") != first) finding("a saved state did not load back as it was");
  return 0;
}
