// The command road of the GUI front-end: every user action ends in
// command_submit, every error in error_report. Armed runs advance in
// slices of client events, macros one line per event, and the modal
// services pause both around a nested dialog loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "frontends/gui/dialogs.h"
#include "frontends/gui/frontend.h"

struct vevent;

namespace gui {

// The main window's status bar as a run shows its progress in it; null
// while there is no main window. The text follows every thousand cycles;
// `show` puts it on the screen at most once per SHOW_INTERVAL_MS, as a run
// passes a thousand cycles far more often than a screen can show.
struct status_bar {
  std::string text;
  int invalidations = 0;
  void (*show)(const char* text) = nullptr;
  std::uint64_t shown_at = 0;
  bool shown = false;
  static constexpr std::uint64_t SHOW_INTERVAL_MS = 100;
};
extern status_bar* main_status_bar;

// Front-end state (zero at start).
extern int wait_pending;
extern int modal_active;
// A run no one attends (headless, on the virtual clock): an untimed wait
// does not wait for Cancel, and a macro's wait lets the clock move.
extern bool waits_unattended;

void command_submit(const char* line);
// Checks the line and submits it whatever the check gives; a refused line
// runs nothing, and the parser's message is reported after it.
void submit_checked(const char* line);

// Event handlers of the run and macro chains; each returns 1.
int background_run_step(vevent* event);
int macro_continue(vevent* event);
int macro_wait_poll(vevent* event);
// Whether a chain has an event queued or running.
bool run_chain_live();
bool macro_chain_live();

// The Wait notice of the wait command; seconds <= 0 waits until Cancel
// (in an unattended run, not at all). A macro polls for a stop meanwhile.
void wait_dialog_run(int seconds);

// Runs a dialog's modal loop with every running device and a running
// macro paused, and resumes them afterwards; the dialog's answer.
dialog_answer modal_dialog_run(const std::function<dialog_answer()>& run);
// The same for a file chooser: devices are refreshed busy as they pause,
// and an exception of the chooser is dropped (answer Close).
dialog_answer modal_chooser_run(const std::function<dialog_answer()>& run);

// A file chooser of the kind (0-9) with the path handed to the callback,
// which returns 1 when it submitted a command. A path that `accept`
// refuses (0) leaves the chooser open. Paths over 255 characters are
// refused with "File name too long".
using chooser_callback = int (*)(const std::string& path);
int file_chooser_run(chooser_callback callback, int kind, int open, chooser_callback accept = nullptr);
// The chooser titles by kind, saving then opening.
const char* chooser_title(int kind, int open);

// 'a' append, 'o' overwrite, 'c' cancel.
int overwrite_confirm();
// 13 with the buffer rewritten "prompt input", or 27.
int interact_input(char* text, int prompt_length, std::size_t capacity);

// The status and help lines of the Command window (the services
// gui_status_text and gui_help_text set them).
const std::string& status_text();
const std::string& help_text();
// The prompt the Command window shows, set each time gui_show_prompt
// shows it.
const std::string& prompt_text();

// Puts the road back to its start (tests).
void road_reset();

}  // namespace gui
