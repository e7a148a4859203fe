#include "support/test_frontend.h"

#include <cctype>
#include <cstdio>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace {

test_frontend record;

std::string cut(const char* text, std::size_t max) {
  std::string s = text != nullptr ? text : "";
  if (s.size() > max) s.resize(max);
  return s;
}

void write_log(std::FILE*& log, const char* text) {
  write_log_line(log, text);
}

int line_prompt(char* buffer, int length, std::size_t capacity) {
  if (record.answers.empty()) return 27;
  const std::string answer = record.answers.front();
  record.answers.pop_front();
  if (answer.empty()) return 27;
  std::string text = std::string(buffer, static_cast<std::size_t>(length)) + " " + answer;
  std::snprintf(buffer, capacity, "%s", text.c_str());
  return 13;
}

// As from a script: the line's first character, when it is a, o or c.
int file_question() {
  if (record.answers.empty()) return 'c';
  const std::string line = record.answers.front();
  record.answers.pop_front();
  const std::size_t first = line.find_first_not_of(" \t");
  const char answer = first == std::string::npos ? 'c' : static_cast<char>(std::tolower(line[first]));
  return answer == 'a' || answer == 'o' ? answer : 'c';
}

frontend_services recording() {
  frontend_services s = silent_frontend();
  s.session_output = [](const char* text, int nolog, int) {
    if (cur_state == nullptr) return 0;
    if (text == nullptr) text = "";
    ++frontend_recording;
    record.lines.emplace_back(text);
    --frontend_recording;
    if (nolog == 0 && command_log != nullptr) write_log(command_log, text);
    if (cur_device >= 0 && cur_device < SESSION_LOG_SLOTS && session_logs[cur_device] != nullptr)
      write_log(session_logs[cur_device], text);
    return 1;
  };
  s.error_report = [](const char* message) {
    error_reported = 1;
    ++frontend_recording;
    record.errors.emplace_back(message != nullptr ? message : "");
    const std::string line = "{" + record.errors.back() + "}";
    --frontend_recording;
    session_print(line.c_str(), 1);
    if (after_error_report != nullptr) after_error_report();
  };
  s.last_error_text = [] { return record.errors.empty() ? "" : record.errors.back().c_str(); };
  s.gui_status_text = [](const char* text) { record.status = cut(text, 89); };
  s.gui_line_prompt = line_prompt;
  s.gui_help_text = [](const char* text) { record.help = cut(text, 99); };
  s.gui_file_question = file_question;
  s.abort_requested = [] {
    if (stop_request != 0) {
      stop_request = 0;
      if (shown_device >= 0 && shown_device < DEVICE_MAX && device_insts[shown_device] != nullptr)
        device_insts[shown_device]->abort = 1;
    }
    return cur_inst != nullptr ? cur_inst->abort : 0;
  };
  s.gui_present = [] { return 1; };
  s.gui_prompt_live = [] { return 0; };
  return s;
}

const frontend_services services = recording();
const bool installed = (install_frontend(&services), true);

}  // namespace

int frontend_recording = 0;
void (*after_error_report)() = nullptr;

test_frontend& recorded() { return record; }
