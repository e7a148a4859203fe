// Checks of a text's structure after edits, shared by the edit tests and
// the fuzz target: characters, line tables against a full recalculation,
// tag anchoring, and blocks.
#pragma once
#include <string>
#include <vector>

#include "fw/text/tags.h"

namespace texttest {

// An empty string when the text holds together, else what is wrong.
std::string checkText(vtext* text, const std::string& model);
// What typing c at p does to the string model (backspace 8, delete 127,
// overwrite replacing any character but a line end).
void typeIntoModel(std::string& model, std::int32_t p, int c, bool overwrite);
// Forgets (and frees) the tags that edits have taken out of the text.
void dropDetached(std::vector<vtextTag*>& tags);

}  // namespace texttest
