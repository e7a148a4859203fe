// The Command window: the one-line entry with the prompt in front of it,
// the help line, the error line and the history list, whose rows can be
// edited in place and submitted again. A line is submitted only after it
// passes the command parser's check; a refused line stays in the entry
// with the cursor at the fault and the parser's message below it.
#pragma once

struct vdialog;
struct vtextitem;
struct vtextStyle;

namespace gui {

struct xincell;

// 1 while the window exists.
extern int command_open;

// The action of "wcommand" ("wcommand off" closes through the record).
void command_open_action(const char* line);
// Registers the action with the window commands and builds the entry
// and history classes the resource names.
void register_command_window();

// The help line (99 characters, kept while the window is closed) and the
// error line (89; with the window closed a message goes to error_report).
void show_help_line(const char* text);
void show_error_line(const char* text);
// The prompt of the command language in front of the entry.
void show_prompt();

// Appends the text to the item's text with the characters between "{"
// and the next "}" in the style; "${" and "$}" are literal braces and a
// "}" that ends the text is followed by one blank.
void text_insert_marked(const char* text, vtextitem* item, vtextStyle* style);

// The window's dialog and its history editor (tests).
vdialog* command_dialog();
xincell* command_history();

}  // namespace gui
