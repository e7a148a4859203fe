// Window classes, windows, messages, timers, hooks and menus.
#pragma once
#include "platform/win/constants.h"
#include "platform/win/types.h"

namespace win {

// Classes. Names compare without case; a duplicate name fails with
// ERROR_CLASS_ALREADY_EXISTS, and a class with live windows cannot go.
ATOM RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(const char* name, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, const char* name, WNDCLASSA* wc);
ULONG_PTR GetClassLongPtrA(HWND hwnd, int index);

// Windows. With WS_CHILD the handle given is the parent, else the owner
// (a child given as owner stands for its top-level ancestor).
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parentOrOwner, HMENU menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int size);
int GetWindowTextLengthA(HWND hwnd);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
// The parent of a child, the owner of a WS_POPUP window, else null.
HWND GetParent(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetWindow(HWND hwnd, UINT command);
HWND WindowFromPoint(POINT screen);

// Show states. ShowWindow answers the previous visibility; minimized
// windows keep their geometry and leave the screen.
BOOL ShowWindow(HWND hwnd, int command);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);

// Moving and sizing: WM_WINDOWPOSCHANGING (whose changes are used), then
// WM_NCCALCSIZE on a size or frame change, then WM_WINDOWPOSCHANGED.
// Children keep their z-order under their parent; owned top-level
// windows stay above their owners.
BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);

// The update area and WM_PAINT.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);

// Activation (one program: the foreground window is the active one),
// focus and capture.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// Fixed system information, the pointer, cursors and icons.
int GetSystemMetrics(int index);
UINT GetDoubleClickTime();
DWORD GetSysColor(int index);
BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* pvParam, UINT winIni);
BOOL MessageBeep(UINT type);
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);  // IDC_ARROW, IDC_WAIT
HICON LoadIconA(HINSTANCE instance, const char* name);      // IDI_APPLICATION
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
HMENU GetSystemMenu(HWND hwnd, BOOL revert);

// Sending and default processing. A send to a window that died fails
// without calling anything; procedures may destroy windows re-entrantly.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
UINT RegisterWindowMessageA(const char* name);

// The queue: posted messages, then input, then paint, then timers. The
// filter takes a window (with its children) and a message range.
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LONG GetMessageTime();
DWORD GetMessagePos();
// Returns when something arrived since the last Get or Peek, a timer fell
// due, the wake pipe or a wait descriptor became readable.
BOOL WaitMessage();

// Timers: one per (window, id); SetTimer restarts an existing one. Without
// a window the id is chosen here and returned.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Message-filter hooks for modal loops; the newest runs first and passes
// on with CallNextHookEx.
HHOOK SetWindowsHookA(int kind, HOOKPROC proc);
BOOL UnhookWindowsHook(int kind, HOOKPROC proc);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
BOOL CallMsgFilterA(MSG* msg, int code);

// Menus: empty menus for now.
HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
BOOL EndMenu();

// Document windows: forwarded to the plain default processing for now.
LRESULT DefFrameProcA(HWND hwnd, HWND client, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefMDIChildProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL TranslateMDISysAccel(HWND client, MSG* msg);

// The wake-up of WaitMessage. PrepareWake makes the pipe; WakeFromSignal
// is async-signal-safe. Wait descriptors are polled beside it.
void PrepareWake();
void WakeFromSignal();
void AddWaitDescriptor(int fd);
void RemoveWaitDescriptor(int fd);
// Watchers run before the queue is looked at (Peek and the wait): they post
// the messages that ready wait descriptors stand for. Each is added once.
void AddDescriptorWatcher(void (*watcher)());

}  // namespace win
