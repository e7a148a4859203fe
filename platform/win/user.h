// Window classes, windows, messages, timers, hooks and menus.
//
// Windows: `CreateWindowExA` sends `WM_GETMINMAXINFO` (not to children), `WM_NCCREATE`,
// `WM_NCCALCSIZE`, `WM_CREATE`, `WM_SIZE` and `WM_MOVE` before it returns the handle, and a failed
// creation ends with `WM_NCDESTROY` (after `WM_DESTROY` when `WM_CREATE` failed). `DestroyWindow`
// destroys owned windows first, then sends `WM_DESTROY` parent first and `WM_NCDESTROY` children
// first; timers and queued messages of the window go with it. Every send looks the handle up again,
// so a procedure may destroy windows at any point of a sequence.
//
// The queue: posted messages first, then input, then paint, then `WM_TIMER`, which is made only
// when nothing else matches (one at a time per timer, however many periods passed). `WaitMessage`
// returns for what arrived since the last `Get`/`PeekMessageA` (a message a filter left behind does
// not count), for a timer that fell due since, and for the wake pipe or a wait descriptor; on the
// virtual clock it moves the clock to the next deadline instead of sleeping.
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
// The child with a control id (GWLP_ID), and its text.
HWND GetDlgItem(HWND dialog, int id);
UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int size);
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
// Not of Windows: a top-level window runs modally (or no longer does); a
// window manager is told, and keeps it above and active instead of the
// windows it blocks.
void SetWindowModal(HWND hwnd, BOOL modal);
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
// Icons and cursors of an AND mask and a colour image (CreateIcon with 1
// plane of 1 bit, and CreateCursor, make monochrome ones: word-aligned
// rows). DrawIcon ANDs the mask, then XORs the image. GetIconInfo hands
// out copies of the bitmaps. Built-in ones are never destroyed.
HICON CreateIconIndirect(const ICONINFO* info);
HICON CreateIcon(HINSTANCE instance, int width, int height, BYTE planes, BYTE bitsPixel, const BYTE* andBits,
                 const BYTE* xorBits);
HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height, const void* andBits,
                     const void* xorBits);
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);

// The keyboard: a key's state as of the message last taken from the
// queue (bit 15 down, bit 0 toggled); the US layout's scan codes and
// characters (MAPVK_*), and the key with its shift state (Shift 1, Ctrl 2,
// Alt 4 in the high byte) that types a character, -1 for none.
SHORT GetKeyState(int virtualKey);
UINT MapVirtualKeyA(UINT code, UINT type);
SHORT VkKeyScanA(char character);

// Sending and default processing. A send to a window that died fails
// without calling anything; procedures may destroy windows re-entrantly.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
UINT RegisterWindowMessageA(const char* name);

// The queue: posted messages, then input, then paint, then timers. The
// filter takes a window (with its children) and a message range. Input is
// routed when it is read: pointer messages to the capture window, else
// (after WM_NCHITTEST, WM_MOUSEACTIVATE for a press in an inactive
// window, and WM_SETCURSOR) to the window under the pointer; keys to the
// focus window, else to the active one as system keys. TranslateMessage
// posts the WM_CHAR or WM_SYSCHAR of a key press before it returns.
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

// Menus. Entry text: "&x" marks x as the mnemonic, "&&" is an "&", and a
// tab starts the accelerator column. A handle that is stale or of another
// kind fails with ERROR_INVALID_MENU_HANDLE; a window's menu goes with it.
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_DRAWITEM = 0x002B;
inline constexpr UINT WM_MEASUREITEM = 0x002C;
inline constexpr UINT WM_INITMENU = 0x0116;
inline constexpr UINT WM_MENUSELECT = 0x011F;
inline constexpr UINT WM_MENUCHAR = 0x0120;
inline constexpr UINT WM_ENTERMENULOOP = 0x0211;
inline constexpr UINT WM_EXITMENULOOP = 0x0212;
inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MOVE = 0xF010;
inline constexpr WPARAM SC_MOUSEMENU = 0xF090;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SC_TASKLIST = 0xF130;
inline constexpr LRESULT HTSYSMENU = 3;
inline constexpr LRESULT HTMENU = 5;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_RADIOCHECK = 0x0200;  // the check is a bullet
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_DEFAULT = 0x1000;
inline constexpr UINT MF_SYSMENU = 0x2000;
inline constexpr UINT MF_MOUSESELECT = 0x8000;
inline constexpr LRESULT MNC_IGNORE = 0, MNC_CLOSE = 1, MNC_EXECUTE = 2, MNC_SELECT = 3;

inline constexpr UINT ODT_MENU = 1;
inline constexpr UINT ODA_DRAWENTIRE = 0x0001;
inline constexpr UINT ODA_SELECT = 0x0002;
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_GRAYED = 0x0002;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_CHECKED = 0x0008;

// WM_MEASUREITEM and WM_DRAWITEM of owner-drawn entries: itemID is the
// command identifier (a pop-up entry's position), hwndItem the menu.
struct MEASUREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemWidth;
  UINT itemHeight;
  ULONG_PTR itemData;
};
struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  ULONG_PTR itemData;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and every pop-up it holds.
BOOL DestroyMenu(HMENU menu);
// Position -1 or past the end appends. With MF_POPUP the identifier is the
// pop-up's handle; with MF_OWNERDRAW the text is the entry's data.
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* newItem);
BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* newItem);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);  // keeps a pop-up
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);  // destroys it
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);  // -1 for pop-ups
HMENU GetSubMenu(HMENU menu, int position);
// The state flags; for a pop-up its entry count in bits 8-15; -1 when absent.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Both answer the previous state, -1 when the entry is absent.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// The default entry is drawn bold; -1 clears it.
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
// Lays the menu line out again and repaints it.
BOOL DrawMenuBar(HWND hwnd);
// The window's own copy (Restore, Move, Size, Minimize, Maximize, Close,
// Switch To); `revert` puts the standard one back and answers null.
HMENU GetSystemMenu(HWND hwnd, BOOL revert);
// Ends the menu tracking in progress.
BOOL EndMenu();

// Accelerator tables: entries of 6 bytes. A stale or foreign table fails
// with ERROR_INVALID_ACCEL_HANDLE.
inline constexpr LONG ERROR_INVALID_ACCEL_HANDLE = 1403;
inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;
struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};
static_assert(sizeof(ACCEL) == 6);
HACCEL CreateAcceleratorTableA(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// A key press whose key and Shift, Ctrl and Alt state match an entry
// becomes WM_COMMAND (high word 1) to the window; nonzero: consumed.
int TranslateAcceleratorA(HWND hwnd, HACCEL table, MSG* msg);

// The multiple-document interface: the class "MDICLIENT" (made with a
// CLIENTCREATESTRUCT), its requests, and the default processing of frames
// and document windows. A client made with WS_HSCROLL or WS_VSCROLL shows
// that scroll bar while documents lie beyond its area (none while one is
// maximized); the bar sends the client WM_HSCROLL or WM_VSCROLL (an SB_
// code in the low word, the thumb's position in the high word), on which
// the client moves its documents, and SB_ENDSCROLL when the pointer lets
// go.
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr WPARAM SB_LINEUP = 0;
inline constexpr WPARAM SB_LINEDOWN = 1;
inline constexpr WPARAM SB_PAGEUP = 2;
inline constexpr WPARAM SB_PAGEDOWN = 3;
inline constexpr WPARAM SB_THUMBPOSITION = 4;
inline constexpr WPARAM SB_THUMBTRACK = 5;
inline constexpr WPARAM SB_TOP = 6;
inline constexpr WPARAM SB_BOTTOM = 7;
inline constexpr WPARAM SB_ENDSCROLL = 8;
inline constexpr UINT WM_CHILDACTIVATE = 0x0022;
inline constexpr UINT WM_MDIRESTORE = 0x0223;
inline constexpr UINT WM_MDINEXT = 0x0224;
inline constexpr UINT WM_MDIMAXIMIZE = 0x0225;
inline constexpr UINT WM_MDITILE = 0x0226;
inline constexpr UINT WM_MDICASCADE = 0x0227;
inline constexpr UINT WM_MDIICONARRANGE = 0x0228;
inline constexpr UINT WM_MDIGETACTIVE = 0x0229;
inline constexpr UINT WM_MDISETMENU = 0x0230;
inline constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
inline constexpr UINT WM_EXITSIZEMOVE = 0x0232;
inline constexpr WPARAM SC_NEXTWINDOW = 0xF040;
inline constexpr WPARAM SC_PREVWINDOW = 0xF050;
inline constexpr WPARAM MDITILE_VERTICAL = 0;
inline constexpr WPARAM MDITILE_HORIZONTAL = 1;
inline constexpr DWORD MDIS_ALLCHILDSTYLES = 0x0001;
struct CLIENTCREATESTRUCT {
  HANDLE hWindowMenu;  // none: no window list
  UINT idFirstChild;
};
LRESULT DefFrameProcA(HWND hwnd, HWND client, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefMDIChildProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL TranslateMDISysAccel(HWND client, MSG* msg);

// The clipboard (one, shared with other programs through the back-end).
// Reading and writing need it open, by one window at a time (another
// window's open fails with ERROR_ACCESS_DENIED). EmptyClipboard sends
// WM_DESTROYCLIPBOARD to the previous owner and makes the opener the owner.
// SetClipboardData with no data offers the format for delayed rendering:
// GetClipboardData first sends WM_RENDERFORMAT to the owner, and the
// owner's DestroyWindow sends WM_RENDERALLFORMATS before WM_DESTROY; while
// the owner renders, SetClipboardData needs no OpenClipboard. Data handed
// over (global memory) belongs to the clipboard.
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_CLIPBOARD_NOT_OPEN = 1418;
BOOL OpenClipboard(HWND hwnd);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
int CountClipboardFormats();
BOOL IsClipboardFormatAvailable(UINT format);
UINT EnumClipboardFormats(UINT format);  // 0 starts; 0 after the last
HWND GetClipboardOwner();                // null when another program owns it

// The input method: while the user composes text, the focus window gets
// WM_IME_STARTCOMPOSITION, a WM_IME_COMPOSITION for each change (lParam
// GCS_COMPSTR | GCS_CURSORPOS) and for the committed text (GCS_RESULTSTR),
// then WM_IME_ENDCOMPOSITION. ImmGetCompositionStringA reads the strings
// (Windows-1252) as of the WM_IME_COMPOSITION last taken from the queue:
// the bytes copied (the size needed without a buffer), or the cursor for
// GCS_CURSORPOS. DefWindowProc turns committed text into WM_CHAR messages.
// ImmNotifyIME with NI_COMPOSITIONSTR and CPS_CANCEL drops a composition.
inline constexpr LPARAM GCS_COMPSTR = 0x0008;
inline constexpr LPARAM GCS_CURSORPOS = 0x0080;
inline constexpr LPARAM GCS_RESULTSTR = 0x0800;
inline constexpr DWORD NI_COMPOSITIONSTR = 0x0015;
inline constexpr DWORD CPS_CANCEL = 0x0004;
HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC context);
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bytes);
BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value);

// The wake-up of WaitMessage. PrepareWake makes the pipe; WakeFromSignal
// is async-signal-safe. Wait descriptors are polled beside it.
void PrepareWake();
void WakeFromSignal();
// How many times WakeFromSignal ran: loops of our own that a signal must
// end (menu tracking) compare it with the count they started with.
unsigned SignalWakeCount();
void AddWaitDescriptor(int fd);
void RemoveWaitDescriptor(int fd);
// Watchers run before the queue is looked at (Peek and the wait): they post
// the messages that ready wait descriptors stand for. Each is added once.
void AddDescriptorWatcher(void (*watcher)());
// Watchers told after each dispatch (the procedure has returned, or the
// message found no window), for notifications that must not stay unanswered.
void AddDispatchWatcher(void (*watcher)(const MSG* msg));
// Drops the posted messages of one window, number and word: the socket
// notices of a handle that closed, which the system may hand out again.
void ForgetPostedMessages(HWND hwnd, UINT message, WPARAM wParam);

}  // namespace win
