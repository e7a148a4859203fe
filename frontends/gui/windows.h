// The simulator windows' records: every window the simulator opens
// carries one sim_window, through which the front-end finds windows by
// kind, device and number, tells them when the simulator becomes busy or
// idle, updates and closes them.
//
// - Window records (`frontends/gui/windows.h`): a `sim_window` per simulator window, kept in window order; the
//   update and close passes walk a snapshot (newest first) and skip a cell whose record an earlier
//   operation freed. The window commands' parsers stay in `sim/cmd/cmd_windows.cpp`; their open and
//   off actions go through `sim/cmd/window_hooks.h`, which the GUI installs (off: close the window
//   or "Window not found"; open: the kind's registered action). Without hooks, or for a kind with no
//   open action, the console's message stays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontends/gui/frontend.h"

struct vwindow;

namespace gui {

enum sim_window_kind : int32_t {
  SIMWIN_ASSEMBLY = 0,
  SIMWIN_BREAKPOINTS = 1,
  SIMWIN_CALLS = 2,
  SIMWIN_COMMAND = 3,
  SIMWIN_INPUT = 4,
  SIMWIN_LIST = 5,
  SIMWIN_MAIN = 6,
  SIMWIN_MEMORY = 7,
  SIMWIN_OUTPUT = 9,
  SIMWIN_REGISTER = 11,
  SIMWIN_STARTUP = 12,
  SIMWIN_SESSION = 13,
  SIMWIN_SOURCE = 14,
  SIMWIN_STACK = 15,
  SIMWIN_WATCH = 16,
};

struct sim_window {
  int32_t kind = 0;
  int32_t device = -1;  // -1: not bound to a device
  int32_t number = 0;   // within kind and device; -1 for the main window
  vwindow* window = nullptr;
  void (*refresh)(sim_window* record, int busy) = nullptr;
  void (*update)(sim_window* record) = nullptr;
  void (*close)(sim_window* record) = nullptr;
  void* kind_data = nullptr;  // what the kind keeps
  // What a saved layout keeps of Memory and Register windows: the memory
  // region and the peripheral row shown.
  int32_t mem_index = -1;
  int32_t periph_index = -1;
};

// The title format of a kind ("Dv%02d ..."), empty for those without one.
const char* window_title_format(int kind);
// The title of a window of the kind for a device and number, with the
// kind's own text (memory space, register group, file name).
std::string window_title(int kind, int device, int number, const std::string& text = {});

// A new record in the list of the application's windows (newest last, as
// the framework orders its windows), or null when it cannot be made; the
// close operation frees it with window_record_free.
sim_window* window_record_new(int kind, int device, int number, vwindow* window);
void window_record_free(sim_window* record);
// Whether the record is still in the list.
bool window_record_live(const sim_window* record);
// The records in window order.
std::vector<sim_window*> window_records();
// The window of a kind (and device, and number; -2 any).
sim_window* window_find(int kind, int device, int number = -2);

int window_number_free(int device, int kind);
void window_refresh_all(int busy, int device);
void window_close_all(int device);

// A snapshot of the records, in the reverse of the window order; taken by
// the passes whose operations may open or close windows.
struct window_cell {
  sim_window* record;
  vwindow* window;
};
std::vector<window_cell> window_list_snapshot();

// The first placement of a new window: the pending restored rectangle,
// else near the window of the same kind with the greatest number (for
// windows numbered 0 the greatest device); null when none.
sim_window* window_place_reference(const sim_window* record);

// Places a new window: on the pending restored rectangle, else beside
// the reference window (codes 4, 12); false when it left it where it is.
bool window_place_near(sim_window* record);

// Loads a text file in blocks of at most 7680 bytes, each cut after its
// last line end (the rest carried to the next; a block with no line end
// is taken whole and ended with a line feed), each handed to `append`.
// False when the file cannot be opened (it is not a regular file) or a
// read fails; what was read before a failure has been handed on.
constexpr std::size_t TEXT_LOAD_BLOCK = 7680;
bool text_file_load(const char* path, void (*append)(void* item, const char* bytes, std::size_t size), void* item);

// Empties the list without calling the windows (tests).
void window_records_reset();

}  // namespace gui
