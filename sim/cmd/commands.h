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

const action_record* parse_asm_cmd();
const action_record* parse_evaluate_cmd();
const action_record* parse_radix_cmd();
const action_record* parse_path_cmd();
const action_record* parse_redirect_cmd();
const action_record* parse_quit_cmd();
const action_record* parse_display_cmd();
const action_record* parse_disassemble_cmd();
const action_record* parse_change_cmd();
const action_record* parse_copy_cmd();
const action_record* parse_device_cmd();
const action_record* parse_break_cmd();
const action_record* parse_go_cmd();
const action_record* parse_step_cmd();
const action_record* parse_trace_cmd();
const action_record* parse_streams_cmd();
const action_record* parse_next_cmd();
const action_record* parse_until_cmd();
const action_record* parse_finish_cmd();
const action_record* parse_view_cmd();
const action_record* parse_list_cmd();
const action_record* parse_help_cmd();
const action_record* parse_history_cmd();
const action_record* parse_log_cmd();
const action_record* parse_more_cmd();
const action_record* parse_input_command();
const action_record* parse_output_command();
const action_record* parse_save_cmd();
const action_record* parse_load_cmd();
const action_record* parse_reset_cmd();
const action_record* parse_frame_cmd();
const action_record* parse_down_cmd();
const action_record* parse_up_cmd();
const action_record* parse_where_cmd();
const action_record* parse_watch_cmd();
const action_record* parse_wait_cmd();
const action_record* parse_type_cmd();

// The window commands. The console checks their arguments and says that
// windows belong to the GUI front-end.
const action_record* parse_wasm_cmd();
const action_record* parse_wbreakpoint_cmd();
const action_record* parse_wcalls_cmd();
const action_record* parse_wcommand_cmd();
const action_record* parse_winput_cmd();
const action_record* parse_wlist_cmd();
const action_record* parse_wmemory_cmd();
const action_record* parse_woutput_cmd();
const action_record* parse_wregister_cmd();
const action_record* parse_wsession_cmd();
const action_record* parse_wsource_cmd();
const action_record* parse_wstack_cmd();
const action_record* parse_wwatch_cmd();

// Rows whose command is not built yet: any arguments are accepted and the
// action says so. A command's own parser replaces it in cmdtable.cpp.
const action_record* parse_not_built_cmd();

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
