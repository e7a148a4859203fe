// The dialog record over the framework's notices and dialogs.
#pragma once

#include "fw/data/vresource.h"
#include "frontends/gui/dialogs.h"

struct vfilechsr;

namespace gui {

const dialog_services& framework_dialogs();
// Ends the innermost modal notice as if closed; false when none is up.
bool close_modal_notice();
// The request's filters from a "Filter Types" dictionary: each type added
// alone in the request's order, the current one preselected.
void chooser_add_filters(vfilechsr* chooser, const chooser_request& request, vresource types);
// A framework file chooser set up for the request, not yet placed or run:
// the open or save kind by its open flag, options, filters, title and
// starting folder.
vfilechsr* chooser_make(const chooser_request& request);

// Replaces the natural size of the framework's combo-box class (once): the
// wider of its text part with the box's button and a 40-pixel margin and
// its list within the two borders; under the Motif look one and a half
// times the class's own height. A box without a button counts none.
void install_combo_size_hook();
// Gives the confirmation dialogs' buttons at least a titled button's
// minimum size.
void install_button_size_hook();

}  // namespace gui
