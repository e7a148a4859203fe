#include "fuzz_support.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "frontends/console/console.h"
#include "frontends/console/input.h"
#include "frontends/console/services.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace {

// A wait would hold the fuzzer for seconds: it ends at once.
void no_wait(int) {}
frontend_services fuzz_services{};

int input_fd = -1;
std::FILE* sink = nullptr;

// Steps a run or a macro gets after Ctrl-C: the run stops at its next
// instruction end (a trace by instruction clocks one cycle a step, and an
// instruction with wait states takes dozens), the macros before their
// next line.
constexpr int STOP_STEPS = 2000;

// Files the last input made (macros, logs, a ".lod" file, paging files)
// go, so that the scratch folder does not grow.
void empty_scratch() {
  DIR* dir = opendir(".");
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir))
    if (entry->d_type == DT_REG) unlink(entry->d_name);
  closedir(dir);
}

std::string scratch_dir;

void at_exit() {
  free_all_devices();
  empty_scratch();
  rmdir(scratch_dir.c_str());
}

}  // namespace

void fuzz_start() {
  if (sink != nullptr) return;
  char dir[] = "/tmp/simfuzzXXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0) std::abort();
  scratch_dir = dir;
  sink = std::fopen("/dev/null", "w");
  input_fd = memfd_create("fuzz-input", 0);
  if (sink == nullptr || input_fd < 0) std::abort();
  // The devices' pages go before the leak check at exit.
  std::atexit(at_exit);
  install_simulator_hooks();
  fuzz_services = console_frontend_services();
  fuzz_services.wait_dialog = no_wait;
  install_frontend(&fuzz_services);
  console_streams& io = console_io();
  io.out = sink;
  io.out_tty = false;
  io.in_tty = false;
  io.prompt = nullptr;
  io.in_fd = input_fd;
  index_memory_regions();
}

frontend_services& fuzz_frontend() { return fuzz_services; }

void fuzz_fresh_session(const char* type) {
  close_all_macros();
  for (int d = 0; d < DEVICE_MAX; ++d) end_redirections(d);
  free_all_devices();
  empty_scratch();
  dsp_alloc_set_limit(0);
  quitting = 0;
  quit_on_error = exit_status = 0;
  macro_running = 0;
  stop_request = 0;
  stop_seen = 0;
  more_enabled = more_count = 0;
  search_path.clear();
  clear_command_history();
  if (create_device(0, type) == 0) std::abort();
  select_device(0);
  fuzz_feed_input({}, false);
}

bool fuzz_text_is_safe(std::string_view text) {
  if (text.find_first_of("/\\") != std::string_view::npos) return false;
  // ".." alone is the parent folder ("path .."); inside a word it is a
  // memory range ("x:0..3") or part of a name.
  const auto apart = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == '+' || c == ';' || c == '\0'; };
  for (std::size_t at = text.find(".."); at != std::string_view::npos; at = text.find("..", at + 1)) {
    const bool starts = at == 0 || apart(text[at - 1]);
    const bool ends = at + 2 == text.size() || apart(text[at + 2]);
    if (starts && ends) return false;
  }
  return true;
}

void fuzz_write_file(const char* name, std::string_view contents) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) std::abort();
  std::fwrite(contents.data(), 1, contents.size(), f);
  std::fclose(f);
}

void fuzz_feed_input(std::string_view bytes, bool keys) {
  if (ftruncate(input_fd, 0) != 0 || lseek(input_fd, 0, SEEK_SET) != 0) std::abort();
  if (!bytes.empty() && write(input_fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::abort();
  lseek(input_fd, 0, SEEK_SET);
  console_streams& io = console_io();
  io.in_fd = input_fd;
  io.in_tty = keys;
  io.prompt = keys ? sink : nullptr;
  input_reset();
}

void fuzz_pump(int slices) {
  for (int k = 0; k < slices && quitting == 0; ++k)
    if (!console_run_slice() && !console_macro_step()) return;
  stop_request = 1;
  for (int k = 0; k < STOP_STEPS && quitting == 0; ++k) {
    if (!console_run_slice() && !console_macro_step()) {
      stop_request = 0;
      return;
    }
  }
  if (quitting != 0) return;
  const device_state* st = device_states[shown_device];
  const device_inst* inst = device_insts[shown_device];
  std::fprintf(stderr, "a run or a macro outlived Ctrl-C: device %d, run mode %d, running %d, macro %d, cycle %u\n",
               shown_device, st != nullptr ? st->run_mode : -1, st != nullptr ? st->running : -1, macro_running,
               inst != nullptr ? inst->cycles : 0u);
  std::abort();
}

void fuzz_command_loop(int slices_per_line) {
  std::string line;
  while (quitting == 0 && console_read_command(line)) {
    // A line edited from keys is checked as it stands.
    if (line.find_first_not_of(" \t") == std::string::npos || !fuzz_text_is_safe(line)) continue;
    console_submit_typed(line);
    fuzz_pump(slices_per_line);
  }
}

std::string_view fuzz_split(std::string_view& rest, char separator) {
  const std::size_t at = rest.find(separator);
  const std::string_view first = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view{} : rest.substr(at + 1);
  return first;
}
