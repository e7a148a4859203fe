// The dialog record over the framework's notices and dialogs.
#pragma once

#include "gui/dialogs.h"

namespace gui {

const dialog_services& framework_dialogs();

}  // namespace gui
