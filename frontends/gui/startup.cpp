// Start-up and shutdown. After the event loop starts everything runs in
// framework event handlers: the About window's first event posts the 5 s
// time-out, which posts the main window 1 s later, which posts the first
// command 2 s later.
//
// - The application's resources are authored in `frontends/gui/resources/sim73500.txt` and built by `vrtool`
//   into the build's `lib/sim73500.vr`.
//
// - Start-up (`frontends/gui/startup.cpp`): `app/sim73500/main.cpp` takes its own options off the vector (`--gui` picks
//   the X11 back-end explicitly, `--gui=headless` the headless one on the virtual clock) and calls
//   `gui::sim_main`: framework start-up, device 0, the banner, the About box, the loop. The chain
//   runs in client events: the About box's first event posts the 5 s time-out (which closes the box
//   only if the user has not), 1 s later the main window and the saved layout, then "wsession" and
//   "wcommand" for those it lacks when it holds no Command window (only for window kinds this build has: `frontends/gui/window_kinds.cpp` is the table of kind
//   registrations), 2 s later the argument (checked, submitted whatever the check says, the parser's
//   message reported after it) or the "startup" macro. `front_end_quit` saves the layout when
//   "SavePos" is on, closes every window (main last) and stops the loop with a 1 ns event. A
//   headless run keeps the user's store in memory only (`vapplicationSetUserStoreKept` off): it
//   starts from the default layout and never reads or rewrites "vwexusr1.vr", so a script's
//   transcript is the same for every user; the X11 GUI restores and saves the layout. Headless, an
//   idle hook ends the run once nothing is left: no chain, no Wait, no queued or delayed event apart
//   from repeating timers (`veventCountWaiting` with `vtimerEventRecurs`); a modal notice still up
//   is stopped first. The transcript writes a device's lines while it is the shown device or when
//   its session is redrawn, as the console prints them, so `tests/gui/run_gui_scenario.sh` can
//   compare both front-ends. It is opened without waiting (a FIFO nobody reads is refused); a failed
//   open ends the run at once, and any failure is said on standard error and exits non-zero.
#include "frontends/gui/startup.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>

#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/data/inst.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"
#include "frontends/gui/dialogs.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/fw_dialogs.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/windows.h"
#include "platform/win/kernel.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/banner.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr int ABOUT_SECONDS = 5;
constexpr int MAIN_WINDOW_SECONDS = 1;
constexpr int MACRO_SECONDS = 2;
constexpr int CHAIN_PRIORITY = 63;
constexpr int PLACE_CENTRE = 6;

std::string startup_argument;
bool have_argument = false;
vdialog* about = nullptr;
bool ending_when_idle = false;

// The About box's Close closes the dialog that owns the button.
void about_close(vdialogItem*, vevent*) {
  if (about != nullptr && vwindowIsOpen(about)) vwindowClose(about);
}

struct family_name {
  int code;
  const char* number;
};
constexpr family_name families[] = {{711, "73500"}, {709, "71200"}, {712, "74400"},
                                    {714, "75100"}, {713, "79100"}, {710, "86900"}};

int is_recurring(const vevent* e) { return vtimerEventRecurs(e); }

// At the first moment nothing is left to do, a headless run ends as the
// console does at the end of its input; a notice still up is closed first.
void idle_check() {
  if (!ending_when_idle || quitting != 0 || work_left()) return;
  // The loop waits for the platform right after this hook: a stop made
  // here must wake it.
  if (veventGetDepth() > 1) {
    if (close_modal_notice()) veventMSWWakeUp();
    return;
  }
  quitting = 1;
  window_close_all(-2);
  close_all_macros();
  veventStopProcessing();
  veventMSWWakeUp();
}

int stop_loop(vevent*) {
  veventStopProcessing();
  return 1;
}

// The file a resource came from, the one in use of names first found.
std::string resource_file(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (vfsPath* p = vinstFindFileQuiet(name)) {
      vstr* text = vfsPathToString(p);
      std::string file = text;
      vstrDestroy(text);
      vfsFreePath(p);
      return file;
    }
  return *names.begin();
}

// The current exception's message, without the file's name it may end
// with: the file is named once, by the caller.
std::string exception_text(const std::string& file) {
  vexException* e = vexGetCurrentException();
  if (e == nullptr) return {};
  std::string what = e->message ? e->message : e->cls->name;
  const std::string in = " in " + file;
  if (what.size() > in.size() && what.compare(what.size() - in.size(), in.size(), in) == 0) what.resize(what.size() - in.size());
  return what;
}

// A start-up window that the program's own resource file does not give
// (damaged, or not this program's) ends the program naming the file: a GUI
// without it would run nothing and look like success.
[[noreturn]] void resources_failed(const char* window, const std::string& file, const std::string& what) {
  std::fprintf(stderr, "sim73500: resource file %s: cannot read the %s window%s%s\n", file.c_str(), window,
               what.empty() ? "" : ": ", what.c_str());
  vsysExit(1);
}

[[noreturn]] void resources_failed(const char* window) {
  const std::string file = resource_file({"sim73500.vr"});
  resources_failed(window, file, exception_text(file));
}

// Runs make, which answers the window; a raise or no window ends the program.
template <class Make>
void required_window(const char* window, Make make) {
  bool made = false;
  vexGuard([&] { made = make() != nullptr; }, [&](vexHandler&) { resources_failed(window); });
  if (!made) resources_failed(window);
}

bool starting = false;

// What is wrong with the window's items, each named; empty when nothing.
std::string items_wrong(vdialog* d, std::initializer_list<window_need> needs) {
  std::string wrong;
  for (const window_need& n : needs) {
    vdialogItem* item = vdialogFindItem(d, N(n.tag));
    const char* fault = item == nullptr                         ? " missing"
                        : !vclassIsSubclass(item->cls, n.cls) ? " of another class"
                                                                : nullptr;
    if (fault == nullptr) {
      *n.slot = item;
      continue;
    }
    *n.slot = nullptr;
    if (!wrong.empty()) wrong += ", ";
    wrong += std::string("item ") + n.tag + fault;
  }
  return wrong;
}

}  // namespace

void set_starting(bool on) { starting = on; }

vdialog* load_window(const char* resource, const vclass* expected, std::initializer_list<window_need> needs) {
  vdialog* d = nullptr;
  std::string wrong;
  const std::string file = resource_file({"sim73500.vr"});
  vresource r;
  if (vapplicationFindNamedResource(N(resource), &r) == 0) wrong = "no such window";
  else
    vexGuard([&] { d = static_cast<vdialog*>(_vobjectLoadOfClass(r, expected)); },
             [&](vexHandler& h) {
               wrong = exception_text(file);
               if (wrong.empty()) wrong = "damaged";
               vexSetCurrentException(h.savedChain);
             });
  if (d != nullptr) wrong = items_wrong(d, needs);
  if (wrong.empty()) return d;
  if (d != nullptr) vinstanceDestroyLater(d);
  for (const window_need& n : needs) *n.slot = nullptr;
  if (starting) resources_failed(resource, file, wrong);
  const std::string message = "Resource file " + file + " is damaged: cannot open the " + resource + " window: " + wrong;
  error_report(message.c_str());
  return nullptr;
}

vobject* framework_window(const char* window, vobject* (*make)()) {
  vobject* made = nullptr;
  vexGuard([&] { made = make(); },
           [&](vexHandler&) {
             const std::string file = resource_file({vinstNAMES[0], vinstNAMES[1], vinstNAMES[2]});
             resources_failed(window, file, exception_text(file));
           });
  return made;
}

std::string family_title() {
  const device_inst* inst = cur_inst;
  if (inst != nullptr && inst->type >= 0 && inst->type < TYPE_COUNT)
    for (const family_name& f : families)
      if (f.code == device_types[inst->type]->family_code) return std::string("Sim") + f.number;
  return "Sim";
}

void* about_dialog() { return about; }

void* about_dialog_open(const char* argument) {
  if (argument != nullptr) {
    startup_argument = argument;
    have_argument = true;
  }
  if (about != nullptr) return about;  // one About box at a time
  vdialogItem* close = nullptr;
  about = load_window("About", vdialogGetDefaultClass(), {need("Close", vbuttonGetDefaultClass(), &close)});
  if (about == nullptr) return nullptr;
  vdialogSetItemNotify(close, about_close);
  vwindowSetTitleScribe(about, vscribeCString(family_title().c_str()));
  dialog_frame(about);
  vdialogPlace(about, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  vwindowOpen(about);
  return about;
}

int about_shown(vevent* event) {
  if (about != nullptr) vwindowInvalAll(about, 5);
  event->handler = about_timeout;
  veventPostDelayed(event, ABOUT_SECONDS, 0);
  return 1;
}

int about_timeout(vevent* event) {
  // The user may have closed it already: only a box still there goes.
  if (about != nullptr) {
    if (vwindowIsOpen(about)) vwindowClose(about);
    vinstanceDestroyLater(about);
    about = nullptr;
  }
  event->priority = CHAIN_PRIORITY;
  event->handler = startup_main_window;
  veventPostDelayed(event, MAIN_WINDOW_SECONDS, 0);
  return 1;
}

int startup_main_window(vevent* event) {
  sim_window* record = window_record_new(SIMWIN_STARTUP, -1, 0, vwindowGetRoot());
  if (record == nullptr) return 0;
  // The root window outlives the front-end: closing the record only frees it.
  record->close = window_record_free;
  required_window("Main", [] { return main_window_create(); });
  // The restore below runs long in this handler: the main window is
  // painted as it is shown, not when the restore ends.
  if (sim_window* m = window_find(SIMWIN_MAIN, -2); m != nullptr) vwindowPaintPending(m->window);
  // A broken layout must not stop the start.
  vexTry([] {
    if (save_pos_value() >= 0) {
      vresource resources = layout_resources();
      layout_restore_devices(resources);
      layout_restore_windows(resources);
    }
  });
  // A layout without a Command window (empty, damaged, or left by a session
  // that never reached its quit) would leave no place to type: the default
  // windows it lacks open as on a first start, beside the sound ones.
  vexTry([] {
    if (window_find(SIMWIN_COMMAND, -2) != nullptr) return;
    // Only the kinds this build has: a missing one would answer with an
    // error notice at every start.
    for (const auto& [command, kind, line] : {std::tuple{WCMD_SESSION, SIMWIN_SESSION, "wsession"},
                                              std::tuple{WCMD_COMMAND, SIMWIN_COMMAND, "wcommand"}})
      if (window_kind_registered(command) && window_find(kind, -2) == nullptr) {
        parse_command_line(line);
        command_submit(line);
      }
  });
  event->handler = run_startup_macro;
  veventPostDelayed(event, MACRO_SECONDS, 0);
  return 1;
}

int run_startup_macro(vevent*) {
  set_starting(false);
  // By now the window manager has shown the main window over the restored ones.
  main_view_raise_covered();
  if (have_argument) {
    const std::string line = startup_argument;
    have_argument = false;
    submit_checked(line.c_str());
    return 1;
  }
  std::string path;
  if (find_file_on_path("startup", ".cmd", path) != 0 && parse_command_line(path.c_str()) != nullptr)
    command_submit(path.c_str());
  return 1;
}

void front_end_quit() {
  if (quitting != 0) return;
  const bool saved = vexTry([] {
    if (save_pos_value() > 0) {
      vresource resources = layout_resources();
      layout_save_devices(resources);
      layout_save_windows(resources);
    }
  });
  if (!saved) error_report("Error saving window positions");
  window_close_all(-2);
  quitting = 1;
  close_all_macros();
  vevent* stop = veventCreateClient(stop_loop, nullptr);
  veventPostDelayed(stop, 0, 1);
}

bool work_left() {
  return run_chain_live() || macro_chain_live() || wait_pending != 0 || veventCountWaiting(is_recurring) > 0;
}

void end_when_idle(bool on) {
  ending_when_idle = on;
  waits_unattended = on;
  veventSetIdleHook(on ? idle_check : nullptr);
}

int front_end_start(int argc, char** argv, const char* default_type_name) {
  wait_pending = 0;
  index_memory_regions();
  if (create_device(0, default_type_name) == 0) return 0;
  select_device(0);
  session_print(SIM_BANNER, 1);
  install_combo_size_hook();
  install_button_size_hook();
  install_dialog_services(&framework_dialogs());
  required_window("About", [&] { return about_dialog_open(argc > 1 ? argv[1] : nullptr); });
  if (about != nullptr) {
    vevent* shown = veventCreateClient(about_shown, nullptr);
    veventPost(shown);
  }
  return 1;
}

int front_end_status() { return quit_on_error != 0 ? exit_status : 0; }

void sim_main(int argc, char** argv, const char* default_type_name, const start_options& options) {
  // A headless run is a script's: it starts from the default layout and
  // leaves the user's saved one alone.
  if (options.headless) {
    win::UseVirtualClock(true);
    vapplicationSetUserStoreKept(0);
  }
  vsysSetProgramName("sim73500");
  ignore_broken_pipes();
  vsysStartup();
  // Without its windows, dialogs and menus the GUI would run on, showing
  // nothing: it stops here instead, naming the places it looked.
  if (const std::string missing = vinstMissingFiles("sim73500", {"sim73500.vr"}); !missing.empty()) {
    std::fputs(missing.c_str(), stderr);
    vsysExit(1);
  }
  vwidgetsStartup(argc, argv);
  install_gui_frontend();
  register_window_kinds();
  // The transcript is what a script reads: without it the run is no use.
  if (options.transcript != nullptr && !open_transcript(options.transcript)) vsysExit(1);
  set_starting(true);
  if (front_end_start(argc, argv, default_type_name) == 0) vsysExit(1);
  end_when_idle(options.headless);
  veventProcess();
  close_all_macros();
  close_all_logs();
  for (int d = 0; d < DEVICE_MAX; ++d) end_redirections(d);
  const bool transcript_whole = close_transcript();
  int status = front_end_status();
  if (!transcript_whole && status == 0) status = 1;
  free_all_devices();
  vsysExit(status);
}

}  // namespace gui
