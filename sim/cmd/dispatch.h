// Entry points of the command language used by the front-ends.
#pragma once

// Selects the device, checks the line, echoes it and runs its action.
void execute_command_line(int device, const char* line);

// 1 while any command macro is open.
extern int macro_running;
// Set by "quit e": an error inside a macro ends the program.
extern int quit_on_error;
// The program's exit status, set to 1 by an error under quit-on-error.
extern int exit_status;
