// log: the command log, the session logs, status-line logging and
// profiling; more: paging of session output.
//
// A log is written to its file itself, line by line, each line flushed:
// appending writes at the end of what the file holds (through a link, to
// the file it names; a device such as /dev/null takes the lines as it
// takes any). A FIFO that no one reads is refused at once rather than
// waited for. The first line that cannot be written is reported, and the
// log is closed with every line written before it.
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
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/frontend/frontend.h"
#include "sim/engine/device/profiler_iface.h"
#include "sysio/file_write.h"
#include "sysio/open_nonblocking.h"

namespace {

struct log_file {
  std::string path;  // the file the log is written to
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

void log_line_lost(std::FILE*& log);

// "a" rather than "r+": the same end of a regular file, and a FIFO opened
// for writing alone fails at once when no one reads it.
std::FILE* open_log_file(log_file& rec, const std::string& path, bool append) {
  std::FILE* file = open_file_nonblocking(path.c_str(), append ? "a" : "w", true);
  if (file == nullptr) return nullptr;
  rec.path = path;
  log_write_failed = log_line_lost;
  return file;
}

void close_log_file(std::FILE*& file, log_file& rec) {
  if (file == nullptr) return;
  errno = 0;
  bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
  int error = errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  file = nullptr;
  if (!written) report_write_failure(rec.path, error);
  rec = {};
}

log_file* record_of(std::FILE* const& log) {
  if (&log == &command_log) return &command_record;
  for (int d = 0; d < DEVICE_MAX; ++d)
    if (&log == &session_logs[d]) return &session_records[static_cast<std::size_t>(d)];
  return nullptr;
}

void log_line_lost(std::FILE*& log) {
  // The failed write's error, before the close can change it.
  const int error = errno;
  log_file* rec = record_of(log);
  // Closed before the report, which is a session line too.
  std::FILE* failed = log;
  log = nullptr;
  std::fclose(failed);
  if (rec == nullptr) return;
  report_write_failure(rec->path, error);
  *rec = {};
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
  const int option = file_option(kind_token() + 2);
  const int answer = ask_file_exists(path.c_str(), option);
  if (answer < 0) return;
  // "-a" appends even to a file that is not there yet: another session
  // appending to the same new log keeps its lines.
  std::FILE* file = open_log_file(rec, path, answer == 1 || option == 1);
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
  std::FILE* probe = open_file_nonblocking(path.c_str(), "a", true);
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
  // The profile counts from cycle 0 of the count as it stands.
  cur_inst->cyc_written = 0;
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

void report_write_failure(const std::string& path, int error) {
  const std::string text =
      "Error writing file:" + literal_braces(path) + (error != 0 ? " (" + error_cause(error) + ")" : std::string());
  // Inside a run it stops the run at the instruction end, as the paging
  // file's errors do.
  if (cur_state != nullptr && cur_state->running != 0) {
    set_pending_run_error(text.c_str());
  } else {
    error_report(text.c_str());
  }
}

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
