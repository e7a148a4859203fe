// The read-only list windows of a device (Breakpoints, Stack, Calls,
// Input, Output): one per device and kind, rows of text that each update
// writes again from the first row on, a double click that some kinds turn
// into a command line. Each kind's file gives its row_window_kind.
#pragma once

#include <string>
#include <vector>

struct vdialog;
struct vevent;
struct vdialogItem;
struct vlistview;

namespace gui {

struct sim_window;

struct row_window_kind {
  int kind;            // SIMWIN_*
  const char* resource;
  const char* list_name;
  int columns;
  // The width of the one column when the window opens; 0: the columns
  // take the widths of the marks of the window's "Ruler".
  int width;
  // Selections are cleared always (true) or only while a command runs.
  bool never_selected;
  // The update, with the window's device current.
  void (*update)(sim_window* record);
  // A double click on a row (counted from 0); null: nothing.
  void (*double_click)(sim_window* record, int row);
};

// Raises the device's window of the kind, else opens one; the record.
sim_window* row_window_open(const row_window_kind& kind);
// Closes every window of the kind of the current device; false when there
// was none.
bool row_window_off(int kind);

// How column 0 follows its texts: not at all; as wide as the widest text
// plus twice the cell inset, at least the list's inner width; or that
// width only when it is wider than the list.
enum row_fit : int { FIT_NONE, FIT_AT_LEAST_LIST, FIT_WIDEN };
// The window's rows become `rows` (one text per column each); rows beyond
// them go.
void row_window_set_rows(sim_window* record, const std::vector<std::vector<std::string>>& rows, row_fit fit);
// The list view (tests and the kinds).
vlistview* row_window_list(const sim_window* record);
std::string row_window_cell(const sim_window* record, int row, int column);
int row_window_rows(const sim_window* record);
// A double click on a row, as the list reports it.
void row_window_double_click(sim_window* record, int row);
// The items a window lays over its area; each but `main` may be null.
struct dialog_items {
  vdialogItem* main;
  vdialogItem* top = nullptr;    // along the top at its own height
  vdialogItem* bar = nullptr;    // down the right side at its own width
  vdialogItem* field = nullptr;  // at its own size above everything else
};
// Lays the items over the dialog's whole area: the field in the top left
// corner, the top item under it across the whole width, the bar under
// that, `main` the rest.
void lay_out_dialog(vdialog* dialog, const dialog_items& items);
// Lays the dialog's items over its whole area when it is resized: `top`
// (null: none) along the top at its own height, `main` the rest.
void fill_dialog_on_resize(vdialog* dialog, vdialogItem* main, vdialogItem* top);
// The end of a window whose dialog fill_dialog_on_resize laid out, once
// its kind has let go of its own state: the record freed, the dialog out
// of the main view and destroyed later (its close hook may be running).
void filled_window_end(sim_window* record, vdialog* dialog);
// Keeps the marks of the "Ruler" of the list's window over the list's
// columns while the list scrolls sideways.
void ruler_follows_list(vlistview* list);
// A close hook that closes the window through its record (the dialog's data).
int record_close_hook(vdialog* dialog, vevent* event);

// Tries a line with the window's device current and submits it when the
// parser accepts it; the prompt is shown after.
void row_window_submit(const sim_window* record, const std::string& line);

}  // namespace gui
