// What the preference files share.
#pragma once
#include "fw/data/pref.h"

// Interns text (consumed) in the module's private name table.
const char* prefIntern(vscribe* text);
// An entry's string form, or null when it has none.
const char* prefStringForm(vpref* entry);
// A new dictionary scrap over dict (which it holds a reference to).
vinstance* prefCreateDictScrap(vprefDict* dict);
// The resource a value stands for (taking the child's handle when it is
// held by its parent and tag), or 0 when it has none.
vresource vprefValueResource(vprefValue* value);
