// redirect: the target C program's stdin, stdout and stderr to and from
// files, per device. The host file service reads and writes the open files.
#include <cstdio>
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

// A device's redirections live in its host I/O state, so that releasing
// or resetting the device ends them.
hio_redirection* slot(int device, int stream) {
  if (device < 0 || device >= DEVICE_MAX || stream < 0 || stream >= 3 || device_states[device] == nullptr)
    return nullptr;
  return &device_states[device]->hio.redirect[static_cast<std::size_t>(stream)];
}

const std::string empty_name;

void end_one(int device, int stream) {
  hio_redirection* r = slot(device, stream);
  if (r == nullptr) return;
  if (r->file != nullptr) std::fclose(r->file);
  *r = {};
}

// The stream token's index in the list ("stdin", "stdout", "stderr").
int chosen_stream() { return static_cast<int>(cur_lexer->value[2].lo); }

void show_one(int stream) {
  const hio_redirection* r = slot(cur_device, stream);
  if (r == nullptr) return;
  const std::string name = target_stream_words[stream];
  const std::string line = r->file != nullptr
                               ? name + (stream == REDIRECT_STDIN ? " from " : " to ") + r->name
                               : name + " off";
  session_echo(line.c_str(), 1);
}

void show_all(const char*) {
  if (cur_state == nullptr) return;
  cur_state->view_mode = 0;
  for (int s = 0; s < 3; ++s) show_one(s);
}

void show_stream(const char*) {
  if (cur_state == nullptr) return;
  cur_state->view_mode = 0;
  show_one(chosen_stream());
}

void end_all(const char*) { end_redirections(cur_device); }

void end_stream(const char*) { end_one(cur_device, chosen_stream()); }

void redirect_stream(const char*) {
  if (cur_inst == nullptr || slot(cur_device, chosen_stream()) == nullptr) return;
  const int stream = chosen_stream();
  const command_lexer& lx = *cur_lexer;
  std::string path;
  if (!make_file_path(cur_inst->work_dir.c_str(), lx.typed(3), ".cio", path)) {
    error_report(("Error opening:" + std::string(lx.typed(3))).c_str());
    return;
  }
  const char* mode = "r";
  if (stream != REDIRECT_STDIN) {
    // "-a" appends, "-c" cancels when the file exists, "-o" overwrites;
    // without an option the user is asked.
    int option = 0;
    if (lx.kind[4] == 'o') option = lx.value[4].lo == 0 ? 1 : lx.value[4].lo == 1 ? 2 : 3;
    const int answer = ask_file_exists(path.c_str(), option);
    if (answer < 0) return;
    // "-a" appends even to a file that is not there yet.
    mode = answer == 1 || option == 1 ? "a" : "w";
  }
  // A FIFO with nobody at its other end would hold the session for good.
  std::FILE* file = open_file_nonblocking(path.c_str(), mode, true);
  if (file == nullptr) {
    error_report(("Error opening:" + path).c_str());
    return;
  }
  end_one(cur_device, stream);
  hio_redirection* r = slot(cur_device, stream);
  r->name = path;
  r->file = file;
}

constexpr action_record show_all_record{show_all, 0};
constexpr action_record show_stream_record{show_stream, 0};
constexpr action_record end_all_record{end_all, 0};
constexpr action_record end_stream_record{end_stream, 0};
constexpr action_record redirect_record{redirect_stream, 0};

}  // namespace

std::FILE* redirect_file(int device, int stream) {
  const hio_redirection* r = slot(device, stream);
  return r != nullptr ? r->file : nullptr;
}

const std::string& redirect_name(int device, int stream) {
  const hio_redirection* r = slot(device, stream);
  return r != nullptr ? r->name : empty_name;
}

void end_redirections(int device) {
  for (int s = 0; s < 3; ++s) end_one(device, s);
}

// Only stdout and stderr take a file option.
const action_record* cmd_redirect() {
  if (check_no_more_args(2)) return &show_all_record;
  const int stream = match_keyword_list(2, target_stream_words, 'h', 3);
  if (stream >= 0) {
    if (check_no_more_args(3)) return &show_stream_record;
    if (match_keyword(3, "off")) return check_no_more_args(4) ? &end_stream_record : nullptr;
    if (!parse_name_arg(3)) return nullptr;
    if (check_no_more_args(4)) return &redirect_record;
    if (stream == REDIRECT_STDIN) return nullptr;
    if (match_keyword_list(4, file_option_words, 'o', 3) < 0) return nullptr;
    return check_no_more_args(5) ? &redirect_record : nullptr;
  }
  if (match_keyword(2, "off")) return check_no_more_args(3) ? &end_all_record : nullptr;
  return nullptr;
}
