// The dialog record over the framework's notices and dialogs.
#pragma once

#include "gui/dialogs.h"

namespace gui {

const dialog_services& framework_dialogs();
// Ends the innermost modal notice as if closed; false when none is up.
bool close_modal_notice();

}  // namespace gui
