// log: the command log, the session logs, status-line logging and
// profiling; more: paging of session output.
//
// A log grows for as long as the session runs, so it cannot be written
// whole and renamed at once. Each log is written to a temporary file in
// the folder of its name (".NAME.XXXXXX"), flushed line by line, and
// renamed over NAME when the log is closed ("log off", quitting, the end
// of input, the device released). Until then NAME keeps its older
// contents; appending copies them into the temporary file first. A log
// that could not be written completely never replaces the older file, and
// a program that is killed leaves the older file plus the temporary one
// with every line logged so far.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/cdb/coff.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device.h"
#include "sim/engine/regaccess.h"
#include "sim/engine/runloop.h"
#include "sim/frontend.h"
#include "sim/engine/profiler_iface.h"

namespace {

struct log_file {
  std::string path;  // where the log will stand
  std::string temp;  // where it is written until then
};
log_file command_record;
std::array<log_file, DEVICE_MAX> session_records;
std::array<int, DEVICE_MAX> status_logging{};
const std::string no_path;
bool exit_hook_installed = false;

bool valid_device(int device) { return device >= 0 && device < DEVICE_MAX; }

void close_logs_at_exit() {
  if (exit_hook_installed) return;
  exit_hook_installed = true;
  std::atexit(close_all_logs);
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Appending starts the temporary file with the older log.
bool copy_into(const std::string& from, std::FILE* to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  if (in == nullptr) return errno == ENOENT;
  std::array<char, 8192> buffer{};
  bool ok = true;
  for (std::size_t n; ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
    ok = std::fwrite(buffer.data(), 1, n, to) == n;
  ok = ok && std::ferror(in) == 0;
  std::fclose(in);
  return ok;
}

std::string temp_pattern(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, base) + "." + path.substr(base) + ".XXXXXX";
}

// Opens the temporary file of a log; null after a failure, with nothing
// left behind.
std::FILE* open_log_file(log_file& rec, const std::string& path, bool append) {
  std::string temp = temp_pattern(path);
  const int fd = mkstemp(temp.data());
  if (fd < 0) return nullptr;
  struct stat old {};
  fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : new_file_mode());
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) {
    close(fd);
    unlink(temp.c_str());
    return nullptr;
  }
  if (append && (!copy_into(path, file) || std::fflush(file) != 0)) {
    std::fclose(file);
    unlink(temp.c_str());
    return nullptr;
  }
  rec.path = path;
  rec.temp = temp;
  return file;
}

void close_log_file(std::FILE*& file, log_file& rec) {
  if (file == nullptr) return;
  bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
  written = fsync(fileno(file)) == 0 && written;
  written = std::fclose(file) == 0 && written;
  file = nullptr;
  if (!written) {
    unlink(rec.temp.c_str());
    error_report(("Error writing log file:" + literal_braces(rec.path)).c_str());
  } else if (std::rename(rec.temp.c_str(), rec.path.c_str()) != 0) {
    error_report(("Error writing log file:" + literal_braces(rec.path) + " (the log is in " +
                  literal_braces(rec.temp) + ")")
                     .c_str());
  }
  rec = {};
}

// --- Profiling ---------------------------------------------------------------------

bool profiling(int device) {
  return profiler_attached() && valid_device(device) && device_states[device] != nullptr &&
         device_profiler_block(device).on != 0;
}

void end_profiling() {
  if (!profiling(cur_device)) return;
  session_print("Generating profile. Please wait...", 1);
  screen_flush();
  const int written =
      profiler->report != nullptr ? profiler->report(device_profiler_block(cur_device).previous_cycles) : 0;
  set_device_profiled(cur_device, 0);
  // A report that could not be written has said so; it is no success.
  if (written != 0) session_print("Done.", 1);
}

// --- Arguments ----------------------------------------------------------------------

enum log_kind : int { KIND_COMMANDS = 0, KIND_SESSION = 1, KIND_PROFILE = 2, KIND_STATUS = 3 };
constexpr const char* const kind_words[] = {"c", "s", "p", "v", nullptr};

// Token positions: "log [off] kind [file [option]]".
int kind_token() { return cur_lexer->kind[2] == 'j' ? 3 : 2; }
int kind() { return static_cast<int>(cur_lexer->value[kind_token()].lo); }
bool has_file() { return cur_lexer->has(kind_token() + 1); }

// "-a" appends, "-c" cancels when the file exists, "-o" overwrites;
// without one the user is asked.
int file_option(int token) {
  const command_lexer& lx = *cur_lexer;
  if (lx.kind[token] != 'o') return 0;
  return lx.value[token].lo == 0 ? 1 : lx.value[token].lo == 1 ? 2 : 3;
}

bool make_log_path(const char* extension, std::string& path) {
  if (make_file_path(cur_inst->work_dir.c_str(), cur_lexer->typed(kind_token() + 1), extension, path))
    return true;
  error_report("Error opening file.");
  return false;
}

// --- Actions ------------------------------------------------------------------------------

void show_logs(const char*) {
  cur_state->view_mode = 0;
  const bool any = !cur_lexer->has(2);
  const int k = any ? -1 : kind();
  if ((any || k == KIND_COMMANDS) && command_log != nullptr)
    session_print(("Logging commands to:{" + literal_braces(command_record.path) + "}").c_str(), 1);
  if ((any || k == KIND_SESSION) && session_logs[cur_device] != nullptr)
    session_print(("Logging session to:{" + literal_braces(session_records[cur_device].path) + "}").c_str(),
                  1);
  if (any && profiling(cur_device))
    session_print(
        ("Profiling to:{" + literal_braces(device_profiler_block(cur_device).file_name) + "}").c_str(), 1);
}

void open_log(const char*) {
  const bool commands = kind() == KIND_COMMANDS;
  std::string path;
  if (!make_log_path(commands ? ".cmd" : ".log", path)) return;
  session_print(("Output log file:" + literal_braces(path)).c_str(), 1);
  std::FILE*& slot = commands ? command_log : session_logs[cur_device];
  log_file& rec = commands ? command_record : session_records[cur_device];
  close_log_file(slot, rec);
  const int answer = ask_file_exists(path.c_str(), file_option(kind_token() + 2));
  if (answer < 0) return;
  std::FILE* file = open_log_file(rec, path, answer == 1);
  if (file == nullptr) {
    error_report("Error opening file.");
    return;
  }
  slot = file;
  close_logs_at_exit();
}

void start_profiling(const char*) {
  if (!profiler_attached()) {
    error_report("Profiler not available in this simulator");
    return;
  }
  std::string path;
  if (!make_log_path(".log", path)) return;
  session_print(("Output profile:" + literal_braces(path)).c_str(), 1);
  const int answer = ask_file_exists(path.c_str(), file_option(kind_token() + 2));
  if (answer < 0) return;
  const char* mode = answer == 1 ? "r+" : "w";
  // The profile itself is the profiler's to write: this only makes sure
  // the file can be made, and never empties an older profile.
  std::FILE* probe = std::fopen(path.c_str(), "a");
  if (probe == nullptr) {
    error_report("Error opening file.");
    return;
  }
  std::fclose(probe);
  profiler_block& block = device_profiler_block(cur_device);
  // The profile running until now is dropped without its report: say so.
  if (profiling(cur_device))
    session_print(("Profiling to:{" + literal_braces(block.file_name) + "} ended without a profile").c_str(), 1);
  block = {};
  std::snprintf(block.file_name, sizeof block.file_name, "%s", path.c_str());
  block.previous_pc = cur_inst->pc;
  block.instruction_start = 1;
  // A profiled device takes the profiler's sample and hook, or its counts.
  set_device_profiled(cur_device, 1);
  session_print("Initializing profiler. Please wait...", 1);
  screen_flush();
  // The loaded program's object file, when one was loaded.
  const coff_debug_info* program = current_debug_info();
  const std::string coff_path = program != nullptr ? program->coff_path : std::string();
  if (profiler->start != nullptr) profiler->start(coff_path.c_str(), path.c_str(), mode);
  block.loop.phase = LOOP_IDLE;
  session_print("Done.", 1);
}

// "log off c|s [file]": only the log of that name, when a name is given.
bool names_this_log(const log_file& rec, const char* extension) {
  if (!has_file()) return true;
  std::string path;
  return make_file_path(cur_inst->work_dir.c_str(), cur_lexer->typed(kind_token() + 1), extension,
                        path) &&
         path == rec.path;
}

void close_logs(const char*) {
  const bool all = !cur_lexer->has(3);
  const int k = all ? -1 : kind();
  if (k == KIND_STATUS) {
    status_logging[static_cast<std::size_t>(cur_device)] = 0;
    return;
  }
  if ((all || k == KIND_COMMANDS) && names_this_log(command_record, ".cmd"))
    close_log_file(command_log, command_record);
  if ((all || k == KIND_SESSION) && names_this_log(session_records[cur_device], ".log"))
    close_log_file(session_logs[cur_device], session_records[cur_device]);
  if (all || k == KIND_PROFILE) end_profiling();
}

void log_status_line(const char*) { status_logging[static_cast<std::size_t>(cur_device)] = 1; }
void more_on(const char*) { more_enabled = 1; }
void more_off(const char*) { more_enabled = 0; }

constexpr action_record show_record{show_logs, 0};
constexpr action_record open_record{open_log, 0};
constexpr action_record profile_record{start_profiling, 0};
constexpr action_record status_record{log_status_line, 0};
constexpr action_record close_record{close_logs, 0};
constexpr action_record more_on_record{more_on, 0};
constexpr action_record more_off_record{more_off, 0};

}  // namespace

void close_session_log(int device) {
  if (!valid_device(device)) return;
  close_log_file(session_logs[device], session_records[static_cast<std::size_t>(device)]);
  status_logging[static_cast<std::size_t>(device)] = 0;
}

bool reopen_session_log(int device, const std::string& path) {
  if (!valid_device(device)) return false;
  close_session_log(device);
  std::FILE* file = open_log_file(session_records[static_cast<std::size_t>(device)], path, true);
  if (file == nullptr) return false;
  session_logs[device] = file;
  close_logs_at_exit();
  return true;
}

void set_status_line_logging(int device, int on) {
  if (valid_device(device)) status_logging[static_cast<std::size_t>(device)] = on != 0 ? 1 : 0;
}

void close_all_logs() {
  close_log_file(command_log, command_record);
  for (int d = 0; d < DEVICE_MAX; ++d) close_session_log(d);
  // Profiles still open are written, as "log off" writes them.
  for (int d = 0; d < DEVICE_MAX; ++d) end_device_profile(d);
}

void end_device_profile(int device) {
  if (!profiling(device)) return;
  const int previous = cur_device;
  make_device_current(device);
  end_profiling();
  if (valid_device(previous) && device_insts[previous] != nullptr) make_device_current(previous);
}

const std::string& command_log_path() { return command_log != nullptr ? command_record.path : no_path; }

const std::string& session_log_path(int device) {
  if (!valid_device(device) || session_logs[device] == nullptr) return no_path;
  return session_records[static_cast<std::size_t>(device)].path;
}

int status_line_logging(int device) {
  return valid_device(device) ? status_logging[static_cast<std::size_t>(device)] : 0;
}

// log [c|s] / log c|s|p file [option] / log v / log off [c|s [file]|p|v]
const action_record* cmd_log() {
  if (check_no_more_args(2)) return &show_record;
  if (match_keyword(2, "off")) {
    if (check_no_more_args(3)) return &close_record;
    const int k = match_keyword_list(3, kind_words, 'l', 4);
    if (k < 0) return nullptr;
    if (check_no_more_args(4)) return &close_record;
    if (k == KIND_PROFILE || k == KIND_STATUS || !parse_name_arg(4)) {
      if (k == KIND_PROFILE || k == KIND_STATUS) reader_fail(4, parse_error_messages[ERR_TOO_MANY]);
      return nullptr;
    }
    return check_no_more_args(5) ? &close_record : nullptr;
  }
  const int k = match_keyword_list(2, kind_words, 'l', 4);
  if (k < 0) return nullptr;
  if (check_no_more_args(3)) {
    if (k == KIND_STATUS) return &status_record;
    // Without a profiler the answer is the same with or without a name.
    if (k == KIND_PROFILE) {
      if (!profiler_attached()) return &profile_record;
      need_arg(3);
      return nullptr;
    }
    return &show_record;
  }
  if (k == KIND_STATUS) return check_no_more_args(3) ? &status_record : nullptr;
  if (!parse_name_arg(3)) return nullptr;
  if (!check_no_more_args(4)) {
    if (match_keyword_list(4, file_option_words, 'o', 3) < 0 || !check_no_more_args(5)) return nullptr;
  }
  return k == KIND_PROFILE ? &profile_record : &open_record;
}

// more [off]
const action_record* cmd_more() {
  if (check_no_more_args(2)) return &more_on_record;
  if (!match_keyword(2, "off") || !check_no_more_args(3)) return nullptr;
  return &more_off_record;
}
