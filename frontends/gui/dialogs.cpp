// The installed dialog record and the scripted one.
#include "frontends/gui/dialogs.h"

#include <algorithm>
#include <deque>
#include <utility>

namespace gui {

namespace {

std::deque<scripted_answer> queued;
std::vector<scripted_dialog> shown;
struct open_notice {
  int id;
  void (*pressed)();
};
std::vector<open_notice> open_notices;
int next_notice = 1;

scripted_answer next_answer() {
  if (queued.empty()) return {};
  scripted_answer a = queued.front();
  queued.pop_front();
  if (a.during != nullptr) a.during();
  return a;
}

dialog_answer script_notice_run(const char* text, const char* confirm, const char* second, bool cancel) {
  scripted_dialog d{"notice", text != nullptr ? text : "", {}, {}};
  d.buttons.emplace_back(confirm != nullptr ? confirm : "OK");
  if (second != nullptr) d.buttons.emplace_back(second);
  if (cancel) d.buttons.emplace_back("Cancel");
  shown.push_back(d);
  return next_answer().answer;
}

void* script_notice_open(const char* text, const char* button, void (*pressed)()) {
  shown.push_back({"wait", text != nullptr ? text : "", {button != nullptr ? button : "OK"}, {}});
  open_notices.push_back({next_notice, pressed});
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(next_notice++));
}

void script_notice_close_later(void* notice) {
  const int id = static_cast<int>(reinterpret_cast<std::intptr_t>(notice));
  std::erase_if(open_notices, [&](const open_notice& n) { return n.id == id; });
}

dialog_answer script_line_run(const std::string& prompt, std::string& input) {
  shown.push_back({"line", prompt, {"Ok", "Apply", "Cancel"}, {}});
  const scripted_answer a = next_answer();
  if (a.answer == ANSWER_OK || a.answer == ANSWER_APPLY) input = a.text;
  return a.answer;
}

dialog_answer script_chooser_run(const chooser_request& request, std::string& path) {
  shown.push_back({"chooser", request.title, {}, request});
  scripted_answer a = next_answer();
  while (a.answer == ANSWER_OK && request.accept && !request.accept(a.text)) a = next_answer();
  if (a.answer == ANSWER_OK) path = a.text;
  return a.answer;
}

constexpr dialog_services scripted = {script_notice_run, script_notice_open, script_notice_close_later,
                                      script_line_run, script_chooser_run};

const dialog_services* installed = &scripted;

}  // namespace

void install_dialog_services(const dialog_services* services) {
  installed = services != nullptr ? services : &scripted;
}
const dialog_services& dialogs() { return *installed; }
const dialog_services& scripted_dialogs() { return scripted; }
void script_answer(dialog_answer answer, std::string text, void (*during)()) {
  queued.push_back({answer, std::move(text), during});
}
std::vector<scripted_dialog>& scripted_shown() { return shown; }
int scripted_open_notices() { return static_cast<int>(open_notices.size()); }
void scripted_press_open_notice() {
  if (open_notices.empty()) return;
  void (*pressed)() = open_notices.back().pressed;
  if (pressed != nullptr) pressed();
}
void script_reset() {
  queued.clear();
  shown.clear();
  open_notices.clear();
}

}  // namespace gui
