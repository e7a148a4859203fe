// Start-up and shutdown of the GUI front-end: the framework, device 0 and
// the banner, the About window and the timed chain that turns it into the
// main window with its windows and runs the first command; the quit.
#pragma once

#include <initializer_list>
#include <string>

#include "fw/core/class.h"
#include "fw/core/resource.h"

struct vevent;
struct vdialog;
struct vdialogItem;

namespace gui {

// How the program was started.
struct start_options {
  bool headless = false;          // the headless back-end on the virtual clock
  const char* transcript = nullptr;  // a file every session line is appended to
};

// Runs the front-end and never returns: ends the process with the quit
// rule's status.
[[noreturn]] void sim_main(int argc, char** argv, const char* default_type_name, const start_options& options);

// The steps of sim_main after the framework's start-up and before the
// event loop: device 0, the banner, the About window with argument 1. 0
// when device 0 cannot be made.
int front_end_start(int argc, char** argv, const char* default_type_name);
// The exit status by the quit rule.
int front_end_status();

// An item a window takes by name: its tag, the class it is used as, and
// where the item found goes.
struct window_need {
  const char* tag;
  const vclass* cls;
  vdialogItem** slot;
};
template <class T>
window_need need(const char* tag, const vclass* cls, T** slot) {
  return {tag, cls, reinterpret_cast<vdialogItem**>(slot)};
}

// Loads the window resource, of class expected, with every item it takes
// by name present and of its class (each put in its slot). A window the
// program's resource file does not give so (damaged, or not this
// program's) is refused naming the file: during the start-up the program
// ends (status 1); later the refusal is reported as an error, the session
// goes on and the answer is null.
vdialog* load_window(const char* resource, const vclass* expected, std::initializer_list<window_need> needs = {});
// Whether the start-up is still running: its windows' damage ends the
// program.
void set_starting(bool on);

// Makes a window the framework loads from its own resource file (a notice,
// the file chooser): one that does not load ends the program naming that
// file.
vobject* framework_window(const char* window, vobject* (*make)());

// "Sim" and the family number of the current device type.
std::string family_title();

// Opens the About window; the argument is kept for the chain's last step.
void* about_dialog_open(const char* argument);
int about_shown(vevent* event);
int about_timeout(vevent* event);
int startup_main_window(vevent* event);
int run_startup_macro(vevent* event);
// The About dialog while it is up (tests).
void* about_dialog();

// The quit: the layout saved when "SavePos" is on, every window closed,
// the loop stopped.
void front_end_quit();

// Ends a headless run once nothing is left to do, as the console ends at
// the end of its input.
void end_when_idle(bool on);
// Whether anything is left to do: a chain, a queued or delayed event (a
// repeating timer does not count).
bool work_left();

}  // namespace gui
