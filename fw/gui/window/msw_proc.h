// The native window procedure of every framework window class, the task
// window's procedure over the hidden task window, and the state they share.
//
// - **The window procedure** (`msw_proc.h`; `msw_proc.cpp` finding the window and the message table,
//   geometry, focus, painting and states; `msw_proc_input.cpp` pointer, presses, forwarding and
//   keys; `msw_proc_misc.cpp` quitting, palette, system menu, clipboard calls and start-up;
//   `msw_keytable.cpp` the key-code table as rows of runs and the modifier conversions). One state
//   record (`msw_proc_internal.h`): the one-entry lookup cache (handle, window, default-procedure
//   kind, the multiple-document client), the key byte stored at the previous key message, 256
//   per-scan-code records, the last click, the window under the pointer and the button-grab window
//   (each also by handle, so that forgetting a handle on `WM_DESTROY`, `WM_USER+2` or a native close
//   clears all of them), the focus nesting count, the options. Every event is made by its
//   constructor and dispatched at once with `veventDispatch`. Click counts stop at 255 and compare
//   message times as an unsigned difference. `WM_GETMINMAXINFO` of a window the framework marked
//   maximized answers the place the framework chose, and a `SIZE_RESTORED` counts as
//   restored-from-maximized only when the native window was maximized (`vwindowMSW_ZOOMED`): the
//   framework marks a window maximized before the native window is. The clipboard window's three
//   messages go to the calls `vwindowMSWSetClipboardCalls` installs (none: nothing). A document
//   window's multiple-document client, for its default processing (`DefMDIChildProcA`) and
//   `WM_USER+4`, is its native parent; giving a frame its client forgets the cached kind. An iconic
//   window's background: a document's `WM_ICONERASEBKGND` gets the paint context clipped to the
//   update region, any other the desktop context clipped to the update region (screen coordinates)
//   less every visible window above it (an active iconic one stays while a button is down). Focus
//   changes reach the window's input-method context before the events. `vwindowMSWProcStartup` runs
//   at the end of the window system's start-up: "cancelsquit", "nofulldrag", the stamp mode
//   ("uselocaltime" 1 per post, "usedisplaytime" 2, "usenormaltime" 0), the task window subclassed
//   with `vwindowMSWTaskWindowProc` (`WM_CLOSE` is the quit request, `WM_USER+3` clears the
//   forwarded-click flag), the button-event priority, a `WH_MSGFILTER` hook that answers 0
//   ("SetWindowsHook failed" when the system refuses it, `win::test::SetHooksRefused`); its exit
//   procedure (`vwindowMSWProcShutdown`) undoes both and clears the state. The quit requests share
//   one busy guard; `veventHasNativeContext` tells whether the application cleared the native
//   context to refuse. `bench/winproc` drives 10,000 uncoalesced drag motions through it.
#pragma once
#include <cstdint>

#include "fw/gui/window/msw.h"

win::LRESULT vwindowMSWWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT vwindowMSWTaskWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// Once, from the window system's start-up: options, the key-code table, the
// task window's subclass and the message hook; undone by an exit procedure.
void vwindowMSWProcStartup();
// The exit procedure: the task window gets its own procedure back, the hook
// goes and the procedure's state is cleared (a later start-up begins anew).
void vwindowMSWProcShutdown();
// Clears the lookup cache, the button-grab window and the window-under-
// pointer record when they name the handle.
void vwindowMSWForgetWindow(win::HWND hwnd);
// The lookup cache alone forgets the handle: its window's default
// processing changed (a frame got its multiple-document client).
void vwindowMSWForgetCachedKind(win::HWND hwnd);

// Modifier conversions: the stored keyboard byte (16 Shift... as kept) and
// a key message's lParam give Alt 1, Control 2, Shift 4; a mouse message's
// MK_ flags give Control, Shift and the held buttons other than the one
// the message is about (16 left, 32 middle, 64 right), counted in *held.
std::uint32_t vwindowMSWKeyModifiers(std::uint8_t stored, win::LPARAM lParam);
std::uint32_t vwindowMSWButtonModifiers(win::UINT message, win::WPARAM flags, int* caps, int* held);
// The 16-bit framework key code of a virtual key (0 when none), with the
// extended variants of right Control, right Alt and keypad Enter.
std::uint16_t vwindowMSWKeyCode(win::UINT virtualKey, bool extended);

// The clipboard window's three messages go to the system clipboard.
struct vwindowMSWClipboardCalls {
  void (*render)(win::UINT format);
  void (*renderAll)();
  void (*lost)();
};
void vwindowMSWSetClipboardCalls(const vwindowMSWClipboardCalls* calls);

// For tests: what the procedure keeps.
struct vwindowMSWProcInfo {
  int clickCount;
  int focusNesting;
  bool forwardedClick;
  bool cancelsQuit;
  bool fullDrag;
  int stampMode;
  win::HWND cached;
  win::HWND underPointer;
  vwindow* buttonGrab;
};
vwindowMSWProcInfo vwindowMSWGetProcInfo();
