// The command dialogs: forms that build lines of the command language and
// run them as if typed. One set of mechanics serves every dialog (single
// instance, fill, apply through the parser and the command road, close
// refused while a line runs, item command handlers); each dialog brings
// only its row in the table: resource name, menu commands, fill, line
// builder and handlers.
//
// - Command dialogs (`gui/dialogs/`): one table of rows (`dialog_entry`, `command_dialog.h`), each
//   file of dialogs bringing its part (`break_exec.cpp`, `device_mem.cpp`, `stream_log.cpp`; joined
//   in `dialog_table.cpp`). A row names its resource, menu command(s), fill, line builder or own
//   apply (several lines, silent refusals, own messages), and item handlers; the mechanics
//   (`mechanics.cpp`) read and write the form only through `dialog_form`, so the tests drive every
//   dialog over a form of maps. Lines are never cut: the parser refuses one over 255 characters; a
//   file name longer than its field is refused with "File name too long" (a cut name names another
//   file). Save_Mem's kind comes from the command that opened it (`dialog_by_command` keeps it for a
//   closed dialog). `frontends/gui/dpref.cpp` holds "AppPrefs" (the "SavePos" boolean in the user's layout
//   store) and the Help menu's About boxes. On the framework (`frontends/gui/dialogs/fw_form.cpp`) the menu
//   dispatcher's dialog rows call `command_dialog_open`: the `vconfirm` loaded by name keeps the
//   resource's size (the forms carry no spring solution, so sizing to the items would leave only the
//   buttons), its `dialog_form` finds "Item" in "A/B" through the containers' own item lists, the
//   confirm's apply hook runs the mechanics' apply, the close hook refuses while a line runs and
//   destroys the window later, and a dictionary under "Command" in the dialog's own command space
//   hands each toggle, button or combo to its row's handler (the toggle's state from the item).
//   `combo_prepare` gives a combo its entries and sizes the list while it is empty: a list not yet
//   laid out cannot measure cells.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace gui {

// A dialog's form as the mechanics see it. Items are named, and an item
// inside a container names the container too ("Space" in "Mem"); nested
// containers are written "From/Go_From". An empty container is the
// dialog itself.
struct dialog_form {
  virtual ~dialog_form() = default;
  // A text item's or combo box's text.
  virtual std::string text(const char* item, const char* container) = 0;
  // A toggle's state (1 on), a spinner's number or a list's selected row.
  virtual int value(const char* item, const char* container) = 0;
  virtual void set_value(const char* item, const char* container, int value) = 0;
  virtual void set_text(const char* item, const char* container, const std::string& text) = 0;
  // The index of the chosen member of an exclusive group (-1: none), and
  // choosing one.
  virtual int chosen(const char* group, const char* container) = 0;
  virtual void choose(const char* group, const char* container, int index) = 0;
  // "State": "Enabled" or "Disabled".
  virtual bool enabled(const char* item, const char* container) = 0;
  virtual void set_enabled(const char* item, const char* container, bool on) = 0;
  // A list's or combo box's rows (the dialog's string-list model); a combo
  // is then prepared (sized, entry 0 chosen when there is one).
  virtual void set_rows(const char* item, const char* container, const std::vector<std::string>& rows) = 0;
  // The selected rows of a multi-selection list, in the order of the
  // list's selection iterator.
  virtual std::vector<int> selected(const char* item, const char* container) = 0;
};

struct dialog_state;

// An item command handler: the toggle's new state.
struct item_handler {
  const char* item;
  void (*act)(dialog_state& dialog, bool on);
};

struct dialog_entry {
  const char* resource;
  const char* menu_command;
  const char* palette_command;  // or null
  // A multi-selection dialog's list and its line per row ("%s" the row
  // text); null for the others.
  const char* list;
  const char* row_format;
  // Presets the items (may be null); run at open and, for the number
  // lists, again after a walk.
  void (*fill)(dialog_state& dialog);
  // The line of a single-line dialog.
  std::string (*build)(dialog_state& dialog);
  const item_handler* handlers;
  int handler_count;
  bool refill_after_walk;
  bool fill_after_place;  // "Wait"
  // A dialog whose apply is more than one line of one format (several
  // lines, refusals of its own); it checks and submits through
  // dialog_run_line. Null: the mechanics' single line or walk.
  int (*apply)(dialog_state& dialog) = nullptr;
  // A further menu command that opens the dialog (Save_Mem's OMF kind).
  const char* second_command = nullptr;
};

struct dialog_state {
  const dialog_entry* entry = nullptr;
  int open = 0;  // dialog_open_flag
  int busy = 0;  // dialog_busy_flag
  dialog_form* form = nullptr;
  void* window = nullptr;  // the framework's dialog while open
  // The rows of the string-list model, as filled.
  std::vector<std::string> rows;
  int break_kind = 0;   // Set_Break: 0 memory, 1 register, 2 expression
  int reset_mode = 0;   // Reset: the last chosen operating mode
  bool handlers_on = false;  // the item command dictionary is installed
  // The menu command that asked for the dialog while it was closed.
  const char* command = nullptr;
  int chooser_kind = 0;  // Save_Mem: 1 COFF, 5 OMF
};

// The table of the dialogs built so far, and a dialog's state by resource
// or menu command name (null when there is none). A closed dialog found
// by its command keeps that command for its next open.
const dialog_entry* dialog_table();
int dialog_count();
dialog_state* dialog_by_resource(const char* resource);
dialog_state* dialog_by_command(const char* menu_command);
// The table's parts, one per file of dialogs.
std::span<const dialog_entry> break_exec_dialogs();
std::span<const dialog_entry> device_mem_dialogs();
std::span<const dialog_entry> stream_log_dialogs();

// The mechanics. Open runs the fill and marks the dialog open; a second
// open does nothing. The form is the caller's (the framework's dialog, or
// a test's). Without `fill` the caller runs the fill itself (after
// placing the dialog).
void dialog_open_with(dialog_state& dialog, dialog_form* form, bool fill = true);
// The apply hook: 1 when every line was accepted and submitted.
int dialog_apply(dialog_state& dialog);
// The close hook: 1 keeps the dialog (a line is running).
int dialog_close(dialog_state& dialog);
// An item's command: runs the handler for the item, when installed.
void dialog_item_command(dialog_state& dialog, const char* item, bool on);
// Checks one line and submits it; a refused line is reported with the
// parser's message. The busy flag stands over both.
int dialog_run_line(dialog_state& dialog, const std::string& line);
// Every dialog closed and reset (tests, shutdown).
void dialogs_reset();

// Shared fills.
std::vector<std::string> region_names();
// mask: the access bits a register must have (0: any), e.g. the stream bit.
std::vector<std::string> register_names(unsigned must_have);
// "#%d" for each breakpoint of the current device: which 0 disabled,
// 1 enabled, -1 all.
std::vector<std::string> break_numbers(int which);
// The current device type's family code; the tests can set another.
int dialog_family_code();
void dialog_family_code_set(int code);  // 0: the device type's own
// "Floating_Point" and the DMA items follow the floating-point family,
// "Fractional" the other way; items not given are left.
void enable_by_family(dialog_form& form, const char* container, const char* const* float_items, int float_count,
                      const char* fractional);

// A field's text cut to its limit.
std::string field_text(dialog_form& form, const char* item, const char* container, std::size_t limit);

}  // namespace gui
