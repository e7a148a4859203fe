// The console's own bodies of the front-end services (sim/frontend/frontend.h);
// install_console_frontend puts them in place.
#pragma once

#include "sim/frontend/frontend.h"

namespace con {
FRONTEND_SERVICES(FRONTEND_DECLARE)
}  // namespace con

// The record install_console_frontend installs, for a front-end that
// differs in a service or two (the fuzz targets' waits that do not wait).
const frontend_services& console_frontend_services();
