// Entry points of the command language: the command table, the check and
// execution of one line, the command history, completion and the prompt,
// and the command macro files.
//
// Each row of the command table names its parser, `cmd_<command>` (`cmd_display`, `cmd_break`,
// ...): it checks the tokens through the argument readers (`readers.h`) and hands back one of the
// command's `action_record`s, whose function runs only after the whole line passed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// --- Command table ----------------------------------------------------------

// Action flag: an interactive form that prompts for input; the macro reader
// skips lines whose record carries it.
constexpr uint32_t ACTION_INTERACTIVE = 0x1;

// What a command's parser hands back when the whole line was accepted. The
// function receives the command line; it reads its arguments back from the
// lexer (sim/cmd/lexer.h) without parsing again.
struct action_record {
  void (*function)(const char* line);
  uint32_t flags;
};

// A parser checks the tokens of the line in the lexer through the argument
// readers (sim/cmd/readers.h). It returns one of the command's action
// records, or null after a reader left its message and position.
using command_parser = const action_record* (*)();

struct command_descriptor {
  const char* name;       // full name, lower case
  const char* abbrev;     // minimum abbreviation
  const char* help_name;  // the name help finds it under
  std::span<const char* const> syntax;
  std::span<const char* const> help_lines;
  command_parser parser;
};

constexpr int COMMAND_COUNT = 50;
// The rows in lookup order.
extern const std::span<const command_descriptor, COMMAND_COUNT> command_table;

// The records of a comment line (does nothing) and of a lone unknown word
// (runs it as a macro file).
extern const action_record comment_action;
extern const action_record macro_action;

// --- Checking and running a line --------------------------------------------

// Longest command line; longer lines are refused, never cut.
constexpr std::size_t COMMAND_LINE_MAX = 255;

// Tokenises the line into the lexer.
void split_command_line(const char* line);
// A NUL byte read inside a line stands as this character, which the
// checks refuse in any word (the line is not cut there).
constexpr char NUL_STAND_IN = '\x7f';
// 1 when token i names a command (three passes: name, abbreviation, prefix
// at least as long as the abbreviation); the token's kind becomes 'c' and
// its value's lo the row index.
int lookup_command(int token);
// Checks a line: the action record, or null with parse_error_text (expr.h)
// and the lexer's error_pos set. Nothing runs.
const action_record* parse_command_line(const char* line);
// Makes the device current, checks the line, echoes it and runs its action.
void execute_command_line(int device, const char* line);

// 1 while any command macro is open.
extern int macro_running;
// Set by "quit e": an error inside a macro ends the program.
extern int quit_on_error;
// The program's exit status, set to 1 by an error under quit-on-error.
extern int exit_status;

// --- History, completion, prompt, help lines ---------------------------------

constexpr int COMMAND_HISTORY_SIZE = 10;
constexpr std::size_t HISTORY_LINE_MAX = 255;

// Puts the line first in the history unless it equals the newest entry.
void record_command_history(const char* line);
// Entry i (0 newest), or null past the oldest.
const char* command_history_line(int index);
int command_history_count();
void clear_command_history();

// Completes the first word of the line to its command's full name (the
// command whose abbreviation equals the word, else the first whose name
// starts with it), makes the command's syntax lines the help list and
// shows the first. Returns the row, or null: then the help list is the
// "comments" lines when the line starts with ';', else the "macros" lines.
const command_descriptor* complete_command_word(std::string& line);
// "%d>" with the current device number.
std::string command_prompt_text();
// Ends a command: help cycle back to the summary, status line cleared, the
// prompt shown.
void show_command_prompt();
// Shows the last parse error in the status line; returns the cursor column
// of the error position within the line (limited by the room after the
// prompt), appending a blank to the line when it is shorter.
int show_parse_error(std::string& line);
// Set by a front-end that edits lines with the console keys: the key list
// of the help line is then the console one.
extern int help_keys_console;
// The help a "?" gives: the command's help lines (its syntax lines when
// it has none), or every command's syntax lines when there is none.
void print_command_help(const command_descriptor* command);
// The two help lists: -1 restarts, 0 shows the current line, 1 advances.
void cycle_help_line(int step);
// The status line of the command window.
void show_status_text(const char* text);

// Edits a line a command asks for (terminal input, interactive change and
// asm): the buffer (LINE_BUFFER_BYTES) holds the prompt (first_column
// characters) and the offered text; it receives "prompt answer". Returns
// 13 accepted, 14 or 21 accepted with a move, 27 cancelled.
constexpr std::size_t LINE_BUFFER_BYTES = 256;
int edit_command_line(char* buffer, int first_column);
// A failure of an edited answer, shown on the status row; when nobody sees
// that row (answers from a pipe) it is printed in the session as well,
// after the edited line that failed, so that the script line it took shows.
void show_answer_error(const char* text, const std::string& edited = {});

// Before an output file is made: 1 append, 0 overwrite (or no such file),
// -1 cancel. Mode 1 appends, 2 cancels, 0 asks, any other overwrites.
int ask_file_exists(const char* path, int mode);

// --- Command macro files ----------------------------------------------------

// The action of the macro record: token 1, as typed, names the file
// (default extension ".cmd", looked for along the path).
void run_macro_command(const char* line);
// Opens a macro above the running one; "Error opening macro file" closes
// every macro when it fails. 1 when opened.
int open_macro(const char* path);
// The next checked line of the running macro, for the front-end to run.
// 0 when there is none: the macros ended, were stopped, or a line failed
// ("Error in Macro") and every macro was closed.
int read_macro_line(int device, std::string& buffer);
// The running macro ended: back to the enclosing one, if any.
void end_macro_file();
void close_all_macros();
inline void close_macro_files() { close_all_macros(); }
// Longest macro line: the command window's 256 characters less the prompt.
std::size_t macro_line_limit();
