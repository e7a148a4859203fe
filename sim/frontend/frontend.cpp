// The calls into whichever front-end is installed, and the state the
// simulator and its front-end share.
#include "sim/frontend/frontend.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

int more_enabled = 0;
int more_count = 0;
std::FILE* command_log = nullptr;
std::FILE* session_logs[SESSION_LOG_SLOTS] = {};
int error_reported = 0;
volatile std::sig_atomic_t stop_request = 0;
int quitting = 0;
void (*log_write_failed)(std::FILE*& log) = nullptr;

void write_log_line(std::FILE*& log, const char* text) {
  if (log == nullptr) return;
  if (std::fputs(text, log) >= 0 && std::fputc('\n', log) != EOF && std::fflush(log) == 0) return;
  if (log_write_failed != nullptr) {
    log_write_failed(log);
  } else {
    std::fclose(log);
    log = nullptr;
  }
}

namespace {

// No front-end yet: nothing is shown and every question is cancelled.
const frontend_services silent = {
    .session_output = [](const char*, int, int) { return 0; },
    .session_redraw = [](int) {},
    .session_scroll = [](int) {},
    .output_hold = [] {},
    .output_release = [] {},
    .screen_flush = [] {},
    .screen_goto = [](int, int) {},
    .screen_put_char = [](int) {},
    .screen_clear_eol = [] {},
    .screen_write_text = [](const char*, int) { return 0; },
    .screen_put_text = [](int, int, const char*, int) {},
    .screen_show_rows = [](const char*) {},
    .screen_advance = [](int) {},
    .session_screen = [] { return session_screen_size{24, 25, 80}; },
    .error_report = [](const char*) { error_reported = 1; },
    .last_error_text = [] { return ""; },
    .gui_status_text = [](const char*) {},
    .gui_help_text = [](const char*) {},
    .gui_show_prompt = [] {},
    .gui_line_prompt = [](char*, int, std::size_t) { return 27; },
    .gui_file_question = [] { return static_cast<int>('c'); },
    .wait_dialog = [](int) {},
    .abort_requested = [] { return 0; },
    .gui_present = [] { return 0; },
    .gui_prompt_live = [] { return 0; },
    .window_update_all = [](int) {},
    .close_device_windows = [](int) {},
    .gui_allocator_active = [] { return 0; },
    .gui_dsp_alloc = [](std::size_t size, int clear) { return clear != 0 ? std::calloc(size + 1, 1) : std::malloc(size + 1); },
    .gui_dsp_realloc = [](void* block, std::size_t size) { return std::realloc(block, size + 1); },
    .gui_dsp_free = [](void* block) { std::free(block); },
    .gui_work_dir = [](device_inst*) {},
    .quit_program = [] { quitting = 1; },
    .stop_check = [] { return stop_request != 0 ? 1 : 0; },
    .stop_poll_ms = [] { return 0; },
};

const frontend_services* fe = &silent;

}  // namespace

const frontend_services& silent_frontend() { return silent; }

void install_frontend(const frontend_services* services) { fe = services != nullptr ? services : &silent; }

int session_print(const char* text, int nolog) { return fe->session_output(text, nolog, 0); }
int session_echo(const char* text, int nolog) { return fe->session_output(text, nolog, 1); }

#define FRONTEND_FORWARD(result, name, parameters, arguments) \
  result name parameters { return fe->name arguments; }
FRONTEND_SERVICES(FRONTEND_FORWARD)
#undef FRONTEND_FORWARD

std::string working_dir_text(std::size_t limit) {
  std::vector<char> buf(4096);
  std::string dir;
  for (;;) {
    if (getcwd(buf.data(), buf.size()) != nullptr) {
      dir = buf.data();
      break;
    }
    if (errno != ERANGE || buf.size() > (1u << 20)) break;
    buf.resize(buf.size() * 2);
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  if (dir.empty() || dir.size() > limit) dir = "./";
  return dir;
}
