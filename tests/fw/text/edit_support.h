// Checks of a text's structure after edits, shared by the edit tests and
// the fuzz target: characters, line tables against a full recalculation,
// tag anchoring, and blocks.
#pragma once
#include <string>

#include "fw/text/text.h"

namespace texttest {

// An empty string when the text holds together, else what is wrong.
std::string checkText(vtext* text, const std::string& model);

}  // namespace texttest
