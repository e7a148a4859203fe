// The command language on the console, device 0 shown and its output
// captured: for the commands' tests that use the console's terminal model.
#pragma once

#include "console/console_fixture.h"
#include "support/cmd_checks.h"

using console_cmd_fixture = cmd_fixture_on<console_fixture>;
using console_cmd_files = cmd_files_on<console_fixture>;
