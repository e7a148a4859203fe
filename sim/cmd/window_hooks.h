// What the command language asks of a front-end that has windows: the
// open and off actions of each window command, and whether the key lists
// of the interactive asm and change forms belong on the status line.
// A front-end with windows installs its actions; without them the window
// commands say that only the GUI shows windows.
//
// - `terminal_key_lists` (`sim/cmd/window_hooks.h`): the console sets it, the GUI leaves it 0, so
//   the key lists of the interactive asm and change forms never reach the GUI's status line.
#pragma once

// The window commands, in the order of their entries below.
enum window_command : int {
  WCMD_ASM,
  WCMD_BREAKPOINT,
  WCMD_CALLS,
  WCMD_COMMAND,
  WCMD_INPUT,
  WCMD_LIST,
  WCMD_MEMORY,
  WCMD_OUTPUT,
  WCMD_REGISTER,
  WCMD_SESSION,
  WCMD_SOURCE,
  WCMD_STACK,
  WCMD_WATCH,
  WCMD_COUNT
};

// Each action gets the command line; its arguments are in the lexer as
// the command's parser left them.
using window_action = void (*)(const char* line);
struct window_command_hooks {
  window_action open[WCMD_COUNT];
  window_action off[WCMD_COUNT];
};

// Kept by pointer; null takes them away. A null entry keeps the message.
void install_window_command_hooks(const window_command_hooks* hooks);
const window_command_hooks* installed_window_command_hooks();

// 1 when the interactive asm and change forms show their terminal key
// lists on the status line. The console sets it; a front-end whose
// dialogs have no such keys leaves it 0.
extern int terminal_key_lists;
