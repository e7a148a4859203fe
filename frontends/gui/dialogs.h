// The dialogs the command road and the session output run: notices, the
// Wait notice, the line dialog "Interact_Input" and the file chooser. The
// road decides when they run and what their answers mean; the record
// below shows them. The framework's notice and chooser stand behind the
// installed record; the unit tests install a scripted one.
//
// - Dialogs go through `gui::dialog_services` (`frontends/gui/dialogs.h`): modal notices, the non-modal Wait
//   notice, the line dialog "Interact_Input" and the file chooser. The road decides when they run
//   and what the answers mean; the record shows them. Unit tests install the scripted record
//   (answers queued in advance, each shown dialog recorded).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace gui {

// The answers the road tells apart.
enum dialog_answer : int { ANSWER_OK, ANSWER_APPLY, ANSWER_NO, ANSWER_CANCEL, ANSWER_CLOSE };

// A file chooser's request (see file_chooser_run).
struct chooser_request {
  int kind = 0;
  int open = 1;               // 1: an existing file to read; 0: a file to write
  bool directory = false;     // kind 9
  unsigned options = 0;       // 0x38 directory, 0x14 open, 0x18 save
  std::string title;
  std::string start_dir;
  std::vector<std::string> filters;  // "Default" first
  int current_filter = 0;
  // A path it refuses leaves the chooser open (none: every path is taken).
  std::function<bool(const std::string& path)> accept;
};

struct dialog_services {
  // A modal notice with the text. `confirm` and `second` label the first
  // two buttons (null: the class's own, and no second button); `cancel`
  // adds a Cancel button.
  dialog_answer (*notice_run)(const char* text, const char* confirm, const char* second, bool cancel);
  // The Wait notice: open without waiting; `pressed` runs on its button.
  // The handle closes it later.
  void* (*notice_open)(const char* text, const char* button, void (*pressed)());
  void (*notice_close_later)(void* notice);
  // "Interact_Input": the prompt shown, the input offered and edited.
  dialog_answer (*line_run)(const std::string& prompt, std::string& input);
  // A modal file chooser; the chosen path on ANSWER_OK.
  dialog_answer (*chooser_run)(const chooser_request& request, std::string& path);
};

void install_dialog_services(const dialog_services* services);
const dialog_services& dialogs();

// The scripted record: answers queued in advance, taken in order by the
// next dialog of any kind (a line dialog's or chooser's text with its
// answer; a chooser that refuses the path takes the next); with none
// queued a dialog answers Close. Every dialog shown is
// recorded with its text.
struct scripted_answer {
  dialog_answer answer = ANSWER_CLOSE;
  std::string text;  // the input typed or the path chosen
  // Runs while the dialog is up (its nested loop), before it answers.
  void (*during)() = nullptr;
};
struct scripted_dialog {
  std::string kind;  // "notice", "wait", "line", "chooser"
  std::string text;  // notice text, prompt, or chooser title
  std::vector<std::string> buttons;
  chooser_request chooser;
};
const dialog_services& scripted_dialogs();
void script_answer(dialog_answer answer, std::string text = {}, void (*during)() = nullptr);
std::vector<scripted_dialog>& scripted_shown();
// The Wait notices open now, and pressing the button of the newest.
int scripted_open_notices();
void scripted_press_open_notice();
void script_reset();

}  // namespace gui
