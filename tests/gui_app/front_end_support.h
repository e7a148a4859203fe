// The GUI front-end as sim73500 starts it, on the headless back-end with
// the virtual clock: the framework started once for the program (under
// the program's name, whose resource file is a copy of sim73500.vr, in a
// home folder of its own), then each test
// starts the front-end again with its own argument. Window kinds stand in
// for the Session and Command windows: each records the line that opened
// it and makes a plain window with a record.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win.h"

struct vwindow;

namespace front_end_test {

// The lines that opened stand-in windows, in order.
std::vector<std::string>& opened();
// The ms the virtual clock moved since the test's start.
win::ULONGLONG elapsed();
// Runs the event loop's due work while moving the clock to `ms` after
// the start, in steps of 100 ms.
void run_until(win::ULONGLONG ms);
// Closes every window and starts the front-end with the arguments after
// the program name (none or one); dialogs then answer from the script.
void start(const std::vector<std::string>& args);
// The newest history line, or "".
std::string newest_line();
// The resource dictionary the layout goes to, emptied.
void clear_layout();
// The front-end's own window kinds instead of the stand-ins, until
// `use_stand_ins`.
void use_real_windows();
void use_stand_ins();

}  // namespace front_end_test
