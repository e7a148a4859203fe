// The main window: the frame that holds every simulator window, its menu
// bar, palette and status bar, and the dispatcher that turns each menu
// item and palette button into a command line, a command dialog or a file
// chooser.
#pragma once

#include <cstdint>
#include <string>

#include "fw/core/rect.h"

struct vcommand;
struct vdialog;
struct vdict;
struct vdialogItem;
struct vmenubar;
struct vwindow;

namespace gui {

struct sim_window;

constexpr int MENU_SELECTORS = 108;

// What a selector does.
enum menu_action_kind : std::uint8_t {
  MENU_NOTHING,  // no such item, or an item taken out at start-up
  MENU_LINE,     // checks and submits the fixed line
  MENU_DIALOG,   // opens the command dialog of that name
  MENU_CHOOSER,  // a file chooser whose callback builds the line
  MENU_QUIT,     // the quit question
  MENU_STOP,     // the stop request
  MENU_TILE,
  MENU_CASCADE,
  MENU_HELP,     // "wsession", then "help"
  MENU_REPEAT,   // the newest history line
};

// The file a chooser's path must name before its line is built.
enum chooser_need : std::uint8_t { NEED_ANY, NEED_FILE, NEED_DIRECTORY };

struct menu_entry {
  const char* name;     // the command's name; null for a selector without one
  menu_action_kind kind;
  const char* text;     // the line, the line's format ("%s" the path) or the dialog's name
  std::int8_t chooser_kind = -1;
  std::int8_t chooser_open = 1;
  chooser_need need = NEED_ANY;
};

// The table by selector.
const menu_entry& menu_table(int selector);

extern int main_window_open;

// Builds and opens the main window; null when it cannot be made.
vdialog* main_window_create();
vdialog* main_window();
// A saved main-window rectangle too low to show the menu bar, palette,
// status bar and a document area of MAIN_VIEW_HEIGHT_MIN, or narrower than
// the palette, takes the designed size on that axis; its place is kept.
constexpr int MAIN_VIEW_HEIGHT_MIN = 48;
vrect main_window_showable(const vrect& saved);

// Runs a selector; 1 when it acted.
int menu_dispatch_selector(int selector);
int menu_dispatch(vcommand* command, vdict* context);
// The line a chooser entry builds from a path, when the path is of the
// kind the entry needs and the line passes the check; empty otherwise.
std::string chooser_line(int selector, const std::string& path);

// Busy (1) or idle (0) enabling of the menus and palette.
void main_refresh_menus(int busy);
// Whether an item of the menu bar or the palette is enabled now (tests);
// -1 when there is no such item.
int menu_item_enabled(const char* name);
// The label of a menu-bar item, or "" when there is none (tests).
std::string menu_item_title(const char* name);

// The status bar's item, or null without a main window.
vdialogItem* status_bar_get();
// Shows the text in the status bar.
void status_bar_show(const char* text);

// The closing question; true when the user answered Ok.
bool quit_question();

// Tiles or cascades the document area.
void main_view_tile();
void main_view_cascade();
// Makes the window a document of the main view, or takes it out.
void main_view_add(vwindow* window);
void main_view_remove(vwindow* window);

// Alignment codes of a placement, one per axis; the vertical axis counts
// upward, so its far edge is the top.
enum place_code : int { ALIGN_NEAR_EDGE = 3, ALIGN_CENTRE = 6, ALIGN_FAR_EDGE = 11 };

// Where document windows go, in their own coordinates (from the bottom
// left of the document area); the root window's rectangle without a
// document area.
vrect document_bounds();
// Makes a new simulator window a document of the main view, opens it and
// places it: `window_place_near`, else by the codes over the document
// area; a window placed here is kept inside the area.
void main_view_open(sim_window* record, int horizontal, int vertical);
// Without a document area: raises the simulator windows the main window
// would hide (a layout from a look with one comes back in its places).
void main_view_raise_covered();

}  // namespace gui
