// The command dialogs on the framework: each dialog's form loaded by its
// resource name, its Ok and Apply through the mechanics' apply, its close
// refused while a line runs, its toggles and buttons through a command
// dictionary of its own.
#pragma once

#include <string>
#include <vector>

struct vcomboboxStandard;
struct vdialog;

namespace gui {

// Opens the dialog of a menu command (or palette button); a dialog already
// open stays as it is. 0 when no dialog answers the command or its
// resource is missing.
int command_dialog_open(const char* menu_command);
// The framework's dialog of an open command dialog, or null.
vdialog* command_dialog_window(const char* resource);
// Every open command dialog closed and destroyed (tests, shutdown).
void command_dialogs_close_all();

// A combo box given its entries: rows as tall as the list's font, the
// list as wide as its widest entry, entry 0 chosen when there is one.
void combo_prepare(vcomboboxStandard* combo, const std::vector<std::string>& rows);

}  // namespace gui
