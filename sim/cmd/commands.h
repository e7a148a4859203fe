// The parsers that the command table names, and the services commands
// share with each other and with the target's host I/O.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "sim/cmd/dispatch.h"

// --- Parsers of the command table rows ----------------------------------------
// Each checks the line in the lexer and returns one of its command's action
// records, or null with the message of the failed check.

const action_record* cmd_asm();
const action_record* cmd_evaluate();
const action_record* cmd_radix();
const action_record* cmd_path();
const action_record* cmd_redirect();
const action_record* cmd_quit();
const action_record* cmd_display();
const action_record* cmd_disassemble();
const action_record* cmd_change();
const action_record* cmd_copy();
const action_record* cmd_device();
const action_record* cmd_break();
const action_record* cmd_go();
const action_record* cmd_step();
const action_record* cmd_trace();
const action_record* cmd_streams();
const action_record* cmd_next();
const action_record* cmd_until();
const action_record* cmd_finish();
const action_record* cmd_view();
const action_record* cmd_list();
const action_record* cmd_help();
const action_record* cmd_history();
const action_record* cmd_log();
const action_record* cmd_more();
const action_record* cmd_input();
const action_record* cmd_output();
const action_record* cmd_save();
const action_record* cmd_load();
const action_record* cmd_reset();
const action_record* cmd_frame();
const action_record* cmd_down();
const action_record* cmd_up();
const action_record* cmd_where();
const action_record* cmd_watch();
const action_record* cmd_wait();
const action_record* cmd_type();

// The window commands. The console checks their arguments and says that
// windows belong to the GUI front-end.
const action_record* cmd_wasm();
const action_record* cmd_wbreakpoint();
const action_record* cmd_wcalls();
const action_record* cmd_wcommand();
const action_record* cmd_winput();
const action_record* cmd_wlist();
const action_record* cmd_wmemory();
const action_record* cmd_woutput();
const action_record* cmd_wregister();
const action_record* cmd_wsession();
const action_record* cmd_wsource();
const action_record* cmd_wstack();
const action_record* cmd_wwatch();

// Rows whose command is not built yet: any arguments are accepted and the
// action says so. A command's own parser replaces it in cmdtable.cpp.
const action_record* cmd_not_built();

// Braces in a name (a path) printed with session_print are text, not
// highlighting: "{" and "}" become "${" and "$}".
std::string literal_braces(std::string_view text);

// --- Redirection of the target's standard streams ----------------------------

enum : int { REDIRECT_STDIN = 0, REDIRECT_STDOUT = 1, REDIRECT_STDERR = 2 };

// The open file of a device's redirected stream, or null when the stream
// is not redirected (the host I/O service then uses the session).
std::FILE* redirect_file(int device, int stream);
// Its path, empty when not redirected.
const std::string& redirect_name(int device, int stream);
// Ends every redirection of a device (device release, reset).
void end_redirections(int device);
