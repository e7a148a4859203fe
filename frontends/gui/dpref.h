// The preferences dialog ("AppPrefs": whether the window layout is kept
// between runs) and the About box of the Help menu.
#pragma once

namespace gui {

struct dialog_state;

// The "Save_Pos" toggle shows "SavePos" of the application's resource
// store, on when the store or the key is missing.
void save_pos_prefs_fill(dialog_state& dialog);
// Stores the toggle as the boolean "SavePos"; a failing store is absorbed
// and the dialog closes all the same: always 1.
int save_pos_prefs_apply(dialog_state& dialog);

// Opens one more About box ("About Sim" and the family number); each
// closes itself on its "Close" button or its window's close. The box.
void* about_box_open();

}  // namespace gui
