// The in-cell editor: a list view that lays one text entry over a single
// cell so that the value can be edited where it is shown. Derived editors
// (the command history, the register, memory and assembly windows) decide
// what a committed text means through their notification, and may replace
// the edit-cell operation to choose which cells can be edited.
//
// - The in-cell editor (`frontends/gui/incell.h`) is a list-view class with one text entry that shares the
//   list's item list without being listed in it, as the list's scroll bars do: the list draws it,
//   and passes it presses inside it, releases, drags, keys and focus while an edit is in progress. A
//   release within 5 pixels of its press on both axes calls the edit-cell slot for the cell under
//   it; a press outside the entry ends the edit without commit. Return in the entry ends the edit,
//   stores the text through the set-text slot and calls the editor's notification with code 3.
//   Derived editors are classes made by name (`incell_derive`), so the resource can name them.
//
// - The in-cell editor (`frontends/gui/incell.h`) commits only on Return: its entry (a class of its own,
//   "xincellEntry") marks the editor while it lets go of the focus, because the field tells focus
//   leaving with Return's code; leaving that way (another window made active, a press elsewhere)
//   abandons the edit, as Escape does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "fw/widgets/lists/listview.h"

struct vtextitem;
struct vdialog;
struct vliststr;

namespace gui {

struct xincell;
struct sim_window;
// The editor's notification: the committed text and the end code (3).
using incell_notify = void (*)(xincell* list, const char* text, int code);
constexpr int INCELL_COMMIT = 3;

// Edit states of incell_flags.
// INCELL_FRESH: the edit was begun by the last release; INCELL_HELD: the
// press that completed a double click on the cell is kept from the entry;
// INCELL_LEAVING: the entry is letting go of the focus.
enum : uint32_t {
  INCELL_EDITING = 0x4,
  INCELL_ALLOWED = 0x8,
  INCELL_FRESH = 0x10,
  INCELL_HELD = 0x20,
  INCELL_LEAVING = 0x40
};

struct xincell : vlistview {
  vtextitem* entry;
  int32_t current_row;
  int32_t current_column;
  uint32_t incell_flags;
  int32_t press_x, press_y;  // where the last press fell
  incell_notify commit_notify;
};

struct xincellClassRec : vlistviewClassRec {
  void (*cellRect)(xincell* list, vrect* out);
  void (*endEdit)(xincell* list);
  void (*commit)(xincell* list);
  void (*spare1)(xincell* list);
  void (*spare2)(xincell* list);
  void (*editCell)(xincell* list, int32_t row, int32_t column);
  const char* (*getText)(xincell* list);
  void (*setText)(xincell* list, const char* text);
};

inline xincellClassRec* xincellClassOf(const xincell* l) { return vclassRec<xincellClassRec>(l); }
// The class, built on first use.
xincellClassRec* xincellGetDefaultClass();
// A class derived from it by name, its edit-cell operation replaced when
// one is given; made once per name.
xincellClassRec* incell_derive(const char* name, void (*edit_cell)(xincell*, int32_t, int32_t));

// start 1 begins an edit of the current cell when editing is allowed and
// none is in progress; 0 ends one without commit.
void incell_layout(xincell* list, int start);
void incell_allow(xincell* list, int allowed);
// While an edit is in progress, moves the entry over its cell again (after
// the list scrolled or changed size).
void incell_place(xincell* list);
void incell_edit_cell(xincell* list, int32_t row, int32_t column);
// Makes the cell current without beginning an edit.
void incell_set_current(xincell* list, int32_t row, int32_t column);
// A committed text whose line was refused: the edit begins again on the
// same cell (through the edit-cell operation) holding the text as typed,
// all of it selected, so the user can mend it instead of typing it anew.
void incell_edit_again(xincell* list, int32_t row, int32_t column, const std::string& typed);
inline bool incell_editing(const xincell* list) { return (list->incell_flags & INCELL_EDITING) != 0; }

// The simulator's list windows (Register, Memory, Assembly): busy disables
// the dialog and editing together.
void incell_window_busy(vdialog* d, xincell* list, int busy);
// Ends such a window (and the Source and Watch windows, whose model, if
// any, is their own: null here): the list lets go of its model, which is destroyed;
// the record is freed; forget drops the window's own state; the dialog
// leaves the main view and is destroyed later, as its close hook may be
// running.
void incell_window_end(sim_window* record, vdialog* d, xincell* list, vliststr* model,
                       const std::function<void()>& forget);

// Fills the grid of a list window: a cell is set only when its text
// differs, with the model's announcements held meanwhile; at the end the
// view repaints the few cells that changed, or its whole content once
// when many did, instead of hearing of every cell.
class grid_fill {
 public:
  grid_fill(vliststr* model, vlistview* view);
  ~grid_fill();
  grid_fill(const grid_fill&) = delete;
  grid_fill& operator=(const grid_fill&) = delete;
  void set(int32_t row, int32_t column, const std::string& text);
  int changed() const { return changed_; }

 private:
  static constexpr int CELLS_ONE_BY_ONE = 16;
  vliststr* model_;
  vlistview* view_;
  int changed_ = 0;
  int32_t cells_[CELLS_ONE_BY_ONE][2] = {};
};

// A press and release closer than this on both axes is a click.
constexpr int INCELL_CLICK_SLOP = 5;

// The windows edited in place check and update with their own device
// current and make the previous one current again at the end.
struct device_scope {
  int previous;
  explicit device_scope(int device);
  ~device_scope();
  device_scope(const device_scope&) = delete;
  device_scope& operator=(const device_scope&) = delete;
};

}  // namespace gui
