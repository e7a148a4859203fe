// The native window procedure of every framework window class, the task
// window's procedure over the hidden task window, and the state they share.
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
