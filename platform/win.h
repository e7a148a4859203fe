// The Windows calls the framework makes, under their Windows names, with
// the behaviour the framework relies on. Written for Linux: windows live in
// the headless back-end (never mapped), the registry reads the environment
// and a text file.
#pragma once
#include <cstdint>

namespace win {

using BOOL = int;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ATOM = std::uint16_t;
using BYTE = std::uint8_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;

struct WindowRec;
using HWND = WindowRec*;
using HINSTANCE = void*;
using HICON = void*;
using HCURSOR = void*;
using HBRUSH = void*;
using HMENU = void*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x, y, cx, cy;
  UINT flags;
};

struct RECT {
  LONG left, top, right, bottom;
};

inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_MOUSEACTIVATE = 0x0021;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr LRESULT MA_NOACTIVATEANDEAT = 4;
inline constexpr WPARAM ICON_BIG = 1;
inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;

ATOM RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(const char* name, HINSTANCE instance);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int command);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int size);
BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
HINSTANCE GetModuleHandleA(const char* name);

// An NT-class version 4.0: bit 31 clear, major 4 in the low byte.
DWORD GetVersion();

// Messages. The headless back-end keeps one message queue for the process;
// WaitMessage sleeps in poll() on a wake pipe (and any descriptors added by
// a back-end) until a message is queued, a timer falls due or the pipe is
// written.
using UINT_PTR = std::uintptr_t;
using ULONGLONG = std::uint64_t;
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
};
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL WaitMessage();
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Milliseconds of the monotonic clock (never the wall clock).
ULONGLONG GetTickCount64();

// Linux side of the message wait.
// Replaces the clock (null restores the monotonic one). With advanceTo
// set, a wait for a timer moves the clock to its due time instead of
// sleeping: tests run on simulated time.
void SetTickSource(ULONGLONG (*now)(), void (*advanceTo)(ULONGLONG when));
// Makes the wake pipe; call before a signal handler may use WakeFromSignal.
void PrepareWake();
// Async-signal-safe: ends a WaitMessage that is sleeping or about to.
void WakeFromSignal();
void AddWaitDescriptor(int fd);
void RemoveWaitDescriptor(int fd);

// Registry (read-only). HKEY_CURRENT_USER\Environment is the process
// environment; every key also reads the registry file: the file named by
// WEXLIN_REGISTRY, else $HOME/.wexlin/registry, holding "[ROOT\sub\key]"
// section lines and "name=value" lines below them. Values are REG_SZ.
struct KeyRec;
using HKEY = KeyRec*;
HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD REG_SZ = 1;
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, DWORD access, HKEY* result);
// nameSize and dataSize are in/out as on Windows. A name that does not fit
// answers ERROR_MORE_DATA with *nameSize the length needed; a name that fits
// with data that does not answers ERROR_MORE_DATA with the name copied.
LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize);
LONG RegCloseKey(HKEY key);

}  // namespace win
