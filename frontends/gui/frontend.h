// The GUI front-end as the simulator reaches it: the same record of
// front-end services the console installs, with the GUI's bodies.
#pragma once

#include "sim/frontend/frontend.h"

namespace gui {

// The GUI's bodies of every service, spread over the modules that own
// them (session, road, windows, guiutil; the rest in services.cpp).
FRONTEND_SERVICES(FRONTEND_DECLARE)

const frontend_services& gui_frontend_services();
// Installs the services, the simulator's own hooks and the window
// command actions; the asm and change key lists stay off.
void install_gui_frontend();

// A window kind's open action, registered by the kind (a null action
// leaves the command's console message).
using window_open_action = void (*)(const char* line);
void register_window_kind(int window_command, window_open_action open);
// A kind whose "off" is more than closing its windows replaces the common
// action with its own.
void register_window_off(int window_command, window_open_action off);
// Whether a kind registered the open action of the window command.
bool window_kind_registered(int window_command);
// Runs every kind's registration (the table in window_kinds.cpp).
void register_window_kinds();

}  // namespace gui
