// The headless test API: message traces, the clock, the start-up show
// command and what the headless back-end recorded. Framework code never
// includes this.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/input.h"
#include "platform/win.h"

namespace win::test {

// One message as a procedure received it: sent (with the send nesting
// depth, 1 for a send from outside any procedure) or posted (dispatched).
struct TraceEntry {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  int depth;
  bool posted;
};

void StartTrace();
std::vector<TraceEntry> StopTrace();
// "WM_CREATE", or the number in hexadecimal for a message without a name.
std::string MessageName(UINT message);
// One line per entry: indentation by depth, "sent" or "posted", the
// window's name as `name` gives it, the message, and wParam and lParam in
// hexadecimal ("ptr" for an lParam that points to a structure). A
// parameter that `name` knows as a window (a non-empty name) shows that
// name.
std::string FormatTrace(const std::vector<TraceEntry>& trace, const std::function<std::string(HWND)>& name);

// Moves the virtual clock (UseVirtualClock) forward.
void AdvanceClock(ULONGLONG ms);
void SetStartupShowCommand(int command);

// The headless screen (before the first window; WEXLIN_SCREEN=WxH does
// the same), the beeps and cursor it saw, and the active window.
void SetScreenSize(int width, int height);
int BeepCount();
HCURSOR CurrentCursor();
HWND ActiveWindow();
// Changes a system colour or the system fonts and tells every top-level
// window (WM_SYSCOLORCHANGE; WM_WININICHANGE without a section).
void SetSysColor(int index, COLORREF color);
void SetSystemFonts(const LOGFONTA& iconTitle, const LOGFONTA& menu, const LOGFONTA& message, const LOGFONTA& status);

// Input, as a user gives it: pointer positions are screen pixels; a press
// or release elsewhere moves the pointer there first. Keys are virtual
// keys (extended: the right-hand Ctrl and Alt, the keypad's Enter and
// "/", the navigation keys apart from the keypad); Type presses the keys
// of the US layout, with Shift where needed. Queued moves with the same
// buttons coalesce unless turned off.
void MouseMove(POINT screen);
void MouseDown(POINT screen, backend::Button button = backend::Button::left);
void MouseUp(POINT screen, backend::Button button = backend::Button::left);
void Click(POINT screen, backend::Button button = backend::Button::left);
void KeyDown(UINT virtualKey, bool extended = false);
void KeyUp(UINT virtualKey, bool extended = false);
void Type(const std::string& text);
// The system's input method, as a user drives it: the text being composed
// (empty: the composition is dropped) with its cursor, and committed text.
void Compose(const std::string& text, int cursor);
void Commit(const std::string& text);
void SetMouseCoalescing(bool on);
// Forgets queued input and every key and button state; coalescing on.
void ResetInput();

// What the headless back-end holds.
struct HeadlessSurface {
  backend::SurfaceDesc desc;
  backend::SurfaceState state = backend::SurfaceState::hidden;
  int presents = 0;
};
struct HeadlessState {
  SIZE screen{1024, 768};
  std::map<HWND, HeadlessSurface> surfaces;
  std::vector<HWND> stack;  // top first
  HCURSOR cursor = nullptr;
  POINT pointer{0, 0};
  HWND grab = nullptr;
  HWND keyboardGrab = nullptr;
  HWND focus = nullptr;
  int beeps = 0;
  bool ownsClipboard = false;
  std::optional<std::string> foreignText;
};
HeadlessState& Headless();

// Pixels: a window's buffer (its client area, or the whole window), the
// screen as the windows compose it, one client pixel (0xFFFFFFFF
// outside), and PNG files of them. XRGB words, rows top first.
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> px;
};
Image WindowImage(HWND hwnd, bool whole = false);
Image ScreenImage();
COLORREF Pixel(HWND hwnd, int x, int y);
bool WritePng(const std::string& path, const Image& image);
bool ReadPng(const std::string& path, Image& image);
bool WindowPng(HWND hwnd, const std::string& path, bool whole = false);
bool ScreenPng(const std::string& path);
// Where a menu entry is on the screen: a title of the window's menu line,
// or an entry of an open pop-up; false when it is not shown.
bool MenuEntryRect(HWND owner, HMENU menu, int position, RECT* rect);

// The whole sheet of a printer's device context (white where nothing was
// printed), and a PNG of it.
Image PrinterImage(HDC printer);
bool PrinterPng(HDC printer, const std::string& path);

// The clipboard as another program sees it: the text offered (delayed
// text rendered first), and text set by another program, which takes the
// clipboard from ours (its owner gets WM_DESTROYCLIPBOARD).
std::optional<std::string> ClipboardText();
void SetClipboardText(const std::string& text);
// GlobalAlloc fails above this many bytes (0: no cap), as a full system would.
void SetGlobalAllocCap(SIZE_T bytes);

// The next Print or Print Setup dialog's answer: OK with all pages (from
// 0) or pages from..to, or cancel. With none queued the dialog cancels.
struct PrintAnswer {
  bool ok = false;
  int from = 0, to = 0;
};
void QueuePrintAnswer(const PrintAnswer& answer);
// The next colour dialog's answer: OK with a colour (0x00BBGGRR) or cancel;
// each added custom colour is placed in its cell and the hook told of the
// add button (712) as a press of it would. With none queued it cancels.
struct ColorAnswer {
  bool ok = false;
  COLORREF color = 0;
  std::vector<std::pair<int, COLORREF>> added;
  ULONGLONG delay = 0;  // ms on the platform clock before the answer
};
void QueueColorAnswer(const ColorAnswer& answer);
// What the last colour dialog was given: flags, starting colour, custom colours, owner.
struct ColorRequest {
  DWORD flags = 0;
  COLORREF initial = 0;
  COLORREF custom[16] = {};
  HWND owner = nullptr;
  int runs = 0;
};
const ColorRequest& LastColorRequest();
// The pseudo printer accepts PASSTHROUGH while set; what each call sent.
void SetPrinterPassthrough(bool on);
std::vector<std::string> PrinterPassthrough(HDC printer);
// The next StartDocA fails with this GetLastError (0: the user cancelled).
void FailNextStartDoc(DWORD error);

// StretchDIBits refuses calls of more rows than this (0: no cap; negative:
// every call, as a printer out of memory would), as a printer driver that
// bands would.
void SetStretchDIBitsRowCap(int rows);

// The next Open or Save dialog's answer: paths (none: cancel) after a
// delay on the platform clock while the queue runs. Several paths are one
// directory's names (the first path's directory). The old style puts them
// in one blank-separated field, so it cannot return names with blanks:
// such a name comes back split. A name without an extension gets the
// dialog's default extension (lpstrDefExt). overwrite answers the question that
// OFN_OVERWRITEPROMPT asks for a file that exists; readOnly, when set,
// ticks or clears the read-only box (shown only without OFN_HIDEREADONLY).
// An answer refused (by a check or the hook) keeps the dialog for the
// next; with none left it cancels.
struct FileAnswer {
  std::vector<std::string> paths;
  ULONGLONG delay = 0;
  bool overwrite = true;
  std::optional<bool> readOnly;
};
void QueueFileAnswer(const FileAnswer& answer);
void ClearFileAnswers();
// What the last file dialog was given and asked.
struct FileDialogReport {
  bool save = false;
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
  DWORD filterIndex = 0;
  std::string initialDir, defaultExtension;
  DWORD flags = 0;  // as given
  HWND owner = nullptr;
  RECT rect{};  // the dialog on the screen after WM_INITDIALOG
  std::vector<std::string> overwriteQuestions;  // paths asked about
  std::vector<std::string> refusals;           // "<check>: <path>" or "hook: <first path>"
};
const FileDialogReport& LastFileDialog();

// SetWindowsHookA fails while set, as a system out of hook slots would.
void SetHooksRefused(bool refused);

}  // namespace win::test
