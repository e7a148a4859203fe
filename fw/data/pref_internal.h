// What the preference files share.
#pragma once
#include "fw/data/pref.h"

// The tag under which r's parent holds it (null when not found).
vname prefTagOfResource(vresource r);
// Interns text (consumed) in the module's private name table.
const char* prefIntern(vscribe* text);
// An entry's string form, or null when it has none.
const char* prefStringForm(vpref* entry);
