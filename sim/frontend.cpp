// The calls into whichever front-end is installed, and the state the
// simulator and its front-end share.
#include "sim/frontend.h"

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
    [](const char*, int, int) { return 0; },
    [](int) {},
    [](int) {},
    [] {},
    [] {},
    [] {},
    [](int, int) {},
    [](int) {},
    [] {},
    [](const char*, int) { return 0; },
    [](int, int, const char*, int) {},
    [](const char*) {},
    [](int) {},
    [] { return session_screen_size{24, 25, 80}; },
    [](const char*) { error_reported = 1; },
    [] { return ""; },
    [](const char*) {},
    [](const char*) {},
    [] {},
    [](char*, int, std::size_t) { return 27; },
    [] { return static_cast<int>('c'); },
    [](int) {},
    [] { return 0; },
    [] { return 0; },
    [] { return 0; },
    [](int) {},
    [](int) {},
    [] { return 0; },
    [](std::size_t size, int clear) { return clear != 0 ? std::calloc(size + 1, 1) : std::malloc(size + 1); },
    [](void* block, std::size_t size) { return std::realloc(block, size + 1); },
    [](void* block) { std::free(block); },
    [](device_inst*) {},
    [] { quitting = 1; },
};

const frontend_services* fe = &silent;

}  // namespace

const frontend_services& silent_frontend() { return silent; }

void install_frontend(const frontend_services* services) { fe = services != nullptr ? services : &silent; }

int session_print(const char* text, int nolog) { return fe->session_output(text, nolog, 0); }
int session_echo(const char* text, int nolog) { return fe->session_output(text, nolog, 1); }
int session_output(const char* text, int nolog, int echo) { return fe->session_output(text, nolog, echo); }
void session_redraw(int device) { fe->session_redraw(device); }
void session_scroll(int lines) { fe->session_scroll(lines); }
void output_hold() { fe->output_hold(); }
void output_release() { fe->output_release(); }
void screen_flush() { fe->screen_flush(); }
void screen_goto(int row, int column) { fe->screen_goto(row, column); }
void screen_put_char(int character) { fe->screen_put_char(character); }
void screen_clear_eol() { fe->screen_clear_eol(); }
int screen_write_text(const char* text, int mode) { return fe->screen_write_text(text, mode); }
void screen_put_text(int row, int column, const char* text, int mode) {
  fe->screen_put_text(row, column, text, mode);
}
void screen_show_rows(const char* rows_block) { fe->screen_show_rows(rows_block); }
void screen_advance(int direction) { fe->screen_advance(direction); }
session_screen_size session_screen() { return fe->session_screen(); }
void error_report(const char* message) { fe->error_report(message); }
const char* last_error_text() { return fe->last_error_text(); }
void gui_status_text(const char* text) { fe->gui_status_text(text); }
void gui_help_text(const char* text) { fe->gui_help_text(text); }
void gui_show_prompt() { fe->gui_show_prompt(); }
int gui_line_prompt(char* buffer, int length, std::size_t capacity) {
  return fe->gui_line_prompt(buffer, length, capacity);
}
int gui_file_question() { return fe->gui_file_question(); }
void wait_dialog(int seconds) { fe->wait_dialog(seconds); }
int abort_requested() { return fe->abort_requested(); }
int gui_present() { return fe->gui_present(); }
int gui_prompt_live() { return fe->gui_prompt_live(); }
void window_update_all(int device) { fe->window_update_all(device); }
void close_device_windows(int device) { fe->close_device_windows(device); }
int gui_allocator_active() { return fe->gui_allocator_active(); }
void* gui_dsp_alloc(std::size_t size, int clear) { return fe->gui_dsp_alloc(size, clear); }
void* gui_dsp_realloc(void* block, std::size_t size) { return fe->gui_dsp_realloc(block, size); }
void gui_dsp_free(void* block) { fe->gui_dsp_free(block); }
void gui_work_dir(device_inst* inst) { fe->gui_work_dir(inst); }
void quit_program() { fe->quit_program(); }

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
