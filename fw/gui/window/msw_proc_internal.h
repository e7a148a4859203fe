// What the window procedure's files share: the procedure's one state record
// and the steps one file calls in another.
#pragma once
#include <cstdint>

#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/msw_proc.h"
#include "fw/gui/window/window_event.h"

struct vwindowMSWProcState {
  // The one-entry lookup cache.
  win::HWND cachedHwnd;
  vwindow* cachedWindow;
  std::uint8_t cachedKind;
  win::HWND cachedClient;
  // Keys: the byte stored at the previous key message (16 Shift, 8 Control,
  // 32 Alt, 64 Caps Lock) and what each scan code's press announced.
  std::uint8_t keyByte;
  struct Scan {
    std::uint8_t character;
    bool hasCharacter;
    std::uint16_t key;
    int result;
  } scans[256];
  // Clicks.
  win::HWND clickHwnd;
  int clickX, clickY;
  win::DWORD clickTime;
  int clickCount;
  int halfClickWidth, halfClickHeight;
  // Spurious motion after a title-bar click.
  win::POINT ncPoint;
  int ncCountdown;
  // The window under the pointer.
  win::HWND pointerHwnd;
  vwindow* pointerWindow;
  vwindow* buttonGrab;
  win::HWND buttonGrabHwnd;
  int focusNesting;
  win::UINT sysCommand;
  win::HWND sysCommandHwnd;
  bool forwardedClick;
  bool quitBusy;
  win::HRGN paintRegion;
  win::HICON appIcon;
  // Options.
  bool cancelsQuit;
  bool fullDrag;
  int stampMode;
  int buttonPriority;
  bool started;
  bool foregroundPalette;
  win::WNDPROC taskProc;
};
vwindowMSWProcState& _vwindowMSWProc();

// The default processing of the cached window's kind.
win::LRESULT _vwindowMSWDefault(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// The framework window of a handle: registered and open, else none.
vwindow* _vwindowMSWLookup(win::HWND hwnd);

// Input (msw_proc_input.cpp).
win::LRESULT _vwindowMSWMouseMove(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT _vwindowMSWButton(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam,
                               win::LPARAM lParam);
win::LRESULT _vwindowMSWMouseActivate(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam);
// A window becoming active while another runs modally hands the
// activation on to the modal window; true when it did.
bool _vwindowMSWKeepModalActive(vwindow* w, win::HWND hwnd);
// Input refused by the modal window (`vwindowMSWBlockedBy`): it becomes
// active, with a beep when it already was or when `beep` asks.
void _vwindowMSWTurnToModal(vwindow* modal, bool beep);
win::LRESULT _vwindowMSWKey(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT _vwindowMSWChar(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
void _vwindowMSWForwardClick(win::UINT message, win::WPARAM wParam, win::POINT screen, win::HWND target);

// Quitting, palette, system menu and start-up (msw_proc_misc.cpp).
win::LRESULT _vwindowMSWQueryEndSession(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT _vwindowMSWPalette(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam);
void _vwindowMSWAdjustSystemMenu(vwindow* w, win::HMENU menu);
void _vwindowMSWClipboardMessage(win::UINT message, win::WPARAM wParam);
