#include "support/test_frontend.h"

#include <cstdio>

#include "sim/frontend.h"

namespace {

test_frontend record;

int line_prompt(char* buffer, int length, std::size_t capacity) {
  if (record.answers.empty()) return 27;
  const std::string answer = std::string(buffer, static_cast<std::size_t>(length)) + record.answers.front();
  record.answers.pop_front();
  std::snprintf(buffer, capacity, "%s", answer.c_str());
  return 13;
}

frontend_services recording() {
  frontend_services s = silent_frontend();
  s.session_output = [](const char* text, int, int) {
    record.lines.emplace_back(text != nullptr ? text : "");
    return 1;
  };
  s.error_report = [](const char* message) {
    error_reported = 1;
    record.errors.emplace_back(message != nullptr ? message : "");
  };
  s.last_error_text = [] { return record.errors.empty() ? "" : record.errors.back().c_str(); };
  s.gui_status_text = [](const char* text) { record.status = text != nullptr ? text : ""; };
  s.gui_line_prompt = line_prompt;
  s.gui_present = [] { return 1; };
  return s;
}

const frontend_services services = recording();
const bool installed = (install_frontend(&services), true);

}  // namespace

test_frontend& recorded() { return record; }
