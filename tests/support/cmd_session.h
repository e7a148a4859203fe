// The command language on the recording test front-end, device 0 shown.
#pragma once

#include "support/cmd_checks.h"
#include "support/frontend_fixture.h"

using cmd_session = cmd_fixture_on<frontend_fixture>;
using cmd_session_files = cmd_files_on<frontend_fixture>;
