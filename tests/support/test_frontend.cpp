#include "support/test_frontend.h"

#include <cstdio>

#include "sim/engine/device.h"
#include "sim/frontend.h"

namespace {

test_frontend record;

void write_log(std::FILE* log, const char* text) {
  std::fputs(text, log);
  std::fputc('\n', log);
  std::fflush(log);
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

frontend_services recording() {
  frontend_services s = silent_frontend();
  s.session_output = [](const char* text, int nolog, int) {
    if (text == nullptr) text = "";
    record.lines.emplace_back(text);
    if (nolog == 0 && command_log != nullptr) write_log(command_log, text);
    if (cur_device >= 0 && cur_device < SESSION_LOG_SLOTS && session_logs[cur_device] != nullptr)
      write_log(session_logs[cur_device], text);
    return 1;
  };
  s.error_report = [](const char* message) {
    error_reported = 1;
    record.errors.emplace_back(message != nullptr ? message : "");
    session_print(("{" + record.errors.back() + "}").c_str(), 1);
  };
  s.last_error_text = [] { return record.errors.empty() ? "" : record.errors.back().c_str(); };
  s.gui_status_text = [](const char* text) { record.status = text != nullptr ? text : ""; };
  s.gui_line_prompt = line_prompt;
  s.gui_file_question = [] {
    if (record.file_answers.empty()) return static_cast<int>('c');
    const char answer = record.file_answers.front();
    record.file_answers.pop_front();
    return static_cast<int>(answer);
  };
  s.gui_present = [] { return 1; };
  s.gui_prompt_live = [] { return 0; };
  return s;
}

const frontend_services services = recording();
const bool installed = (install_frontend(&services), true);

}  // namespace

test_frontend& recorded() { return record; }
