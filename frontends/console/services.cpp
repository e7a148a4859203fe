// The console as the simulator's front-end.
#include "frontends/console/services.h"

#include "frontends/console/console.h"
#include "sim/cmd/hooks.h"
#include "sim/cmd/window_hooks.h"

namespace {

constexpr frontend_services console_services = {
#define CONSOLE_SERVICE(result, name, parameters, arguments) con::name,
    FRONTEND_SERVICES(CONSOLE_SERVICE)
#undef CONSOLE_SERVICE
};

}  // namespace

const frontend_services& console_frontend_services() { return console_services; }

void install_console_frontend() {
  install_simulator_hooks();
  // The terminal's line editor has the keys the asm and change forms list.
  terminal_key_lists = 1;
  install_frontend(&console_services);
}
