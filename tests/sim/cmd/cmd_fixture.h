// The command language on the recording test front-end, device 0 shown:
// no front-end is linked. Tests of the console's terminal model use
// console/console_cmd_fixture.h instead.
#pragma once

#include "support/cmd_checks.h"
#include "support/frontend_fixture.h"

using cmd_fixture = cmd_fixture_on<frontend_fixture>;
using cmd_files = cmd_files_on<frontend_fixture>;
