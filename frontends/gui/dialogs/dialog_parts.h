// Pieces several dialogs are built from: walks over a list with a line of
// their own, file names from a field or the file chooser, and the lists
// of devices and pins.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "frontends/gui/dialogs/command_dialog.h"

namespace gui {

// One line per selected row of the list (the row text cut to `limit`), in
// the selection's order; the first refused line ends the walk. 1 when every
// line ran, 0 when one was refused or no row was selected.
int walk_selected(dialog_state& dialog, const char* list, const char* container, std::size_t limit,
                  const std::function<std::string(const std::string& row)>& line);

// A file name field's text; longer than `limit` (a cut name would name
// another file): "File name too long" is reported and false returned.
bool file_name_field(dialog_form& form, const char* item, const char* container, std::size_t limit,
                     std::string& out);

// Runs the file chooser of the kind and writes the chosen path into the
// dialog's item while the dialog is still open.
void choose_file_into(dialog_state& dialog, const char* item, const char* container, int kind, int open);

// "Fractional" and "Floating_Point" of the group "Radix" by family.
void radix_by_family(dialog_form& form);

// "Dv%d" for every device slot, or only for the devices that exist.
std::vector<std::string> device_names(bool existing_only);
// The current device type's pin names: each pin row's name, then its
// alternate name; a name is listed once.
std::vector<std::string> pin_names();

}  // namespace gui
