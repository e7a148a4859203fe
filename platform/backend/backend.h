// The back-end interface: what the window manager asks of a display.
//
// The core (platform/user) owns every window; a back-end only shows
// surfaces and reports what the user did. A surface stands for one visible
// top-level or pop-up window whose outer rectangle meets the screen (never
// the hidden task window at (-2, -2), 1 x 1, nor a hidden window); it is
// named by that window's handle. Rectangles are outer rectangles in screen
// pixels. Back-ends report events through platform/backend/input.h.
//
// Two back-ends: headless (headless.cpp: surfaces are records, the cursor
// is remembered, beeps are counted, the clipboard stays in the process, no
// descriptor) and X11 (x11.cpp: one X window per surface).
//
// The back-end interface (`platform/backend/backend.h`) has 21 operations: the screen size;
// surfaces (one per visible top-level or pop-up window on the screen, named by its window: create,
// destroy, show in a state, move, restack, title, owner, present pixels); cursor, pointer warp and
// grab, the keyboard grab of a tracking menu, focus, beep; clipboard ownership and foreign text;
// and the event side (descriptor, pump, flush, shutdown). Back-ends report what the user did
// through `platform/backend/input.h` (pointer, buttons, keys, activation, close requests,
// configuration, state and exposure), which the tests call too. `WEXLIN_BACKEND` chooses once
// ("x11" or "headless"; unset, X11 when `DISPLAY` names a display that opens, else headless; every
// test program sets "headless"). Headless records surfaces, the cursor and beeps and keeps the
// clipboard in the process. X11 (`x11.cpp`, the only file with X headers; keysyms, 1252/UTF-8 and
// window kinds are data in `x11_tables.cpp`) makes one X window per surface (bare `WS_POPUP`
// windows override-redirect, owned ones `WM_TRANSIENT_FOR`, tool windows of the utility type,
// modal-frame windows and owned captioned ones with neither a sizing frame nor a box of the dialog
// type, their size fixed in the size hints (no resizing or maximizing offered), a captioned window
// that lacks the sizing frame or a box saying so in `_MOTIF_WM_HINTS`, all before the first map;
// titles in `_NET_WM_NAME` as UTF-8 and `WM_NAME` as Latin-1, size hints
// from `WM_GETMINMAXINFO` with `USPosition` and north-west gravity, so that a decorating window
// manager puts the frame's corner where the window was asked and the whole frame shows; the
// window's own rectangle is where its area really is (reported by `ConfigureNotify`, the frame's
// size read from `_NET_FRAME_EXTENTS`), and a change of size at the same place is asked with the
// frame's corner, so the frame stays. A new place for a window not shown yet is its frame's corner;
// once shown, its own area goes to the place asked, so a rectangle read back and asked again (a
// saved layout) leaves the window where it was, and a move asked while the window manager frames it
// waits for the frame. A managed window's frame is kept wholly on the screen (made smaller when
// larger than the screen; the last extents seen for a frame of its kind, with or without resizing,
// stand in for a frame not made yet, the first of each kind asked with `_NET_REQUEST_FRAME_EXTENTS`
// where the window manager does that; the none the window manager tells for a hidden window it lets
// go is no window's frame). A window shown without activation carries `_NET_WM_USER_TIME` 0, so the
// window manager leaves the keyboard where it is. Moves are asked at the next show, presentation or pump and
// never of a maximized window, whose rectangle is the window manager's, which would otherwise
// restore the maximized one; only the latest `ConfigureNotify` of a window counts), shows the
// buffers by dirty rectangles with `XShmPutImage` on a local display (else `XPutImage`) when the
// queue is pumped, answers `Expose` from the buffer (reporting exposure only where there is none),
// and turns X events into input: keys by keysym (the keypad's telling NumLock), scan codes from the
// key code (the set-1 code of the key for codes above 96), the character from `XLookupString`,
// detectable auto-repeat as repeated presses; buttons 1-3 (the wheel dropped) and motion with the
// display's Shift, Ctrl and button state, also on every key (`InputPointerState` makes good presses
// and releases that went to another program, without messages; an Alt released elsewhere comes as
// its release, `InputAltState`); the X focus goes to the window activated last once it
// is mapped; `FocusIn` activates unless the server made it before seeing our last focus request
// (two windows would otherwise hand the activation back and forth), focus that leaves for another
// program deactivates, `WM_DELETE_WINDOW` asks to close, `ConfigureNotify`, iconic `WM_STATE` and
// `_NET_WM_STATE` maximization come back as configuration and state. The built-in cursors are the
// font cursors `left_ptr` and `watch`, made ones pixmap cursors in their darkest and lightest
// opaque colours. X errors are recorded, never fatal; a lost connection ends the program with
// status 1. Windows take the screen's colormap when the visual is the screen's (screen grabbers
// showed windows of another colormap black). The clipboard is the CLIPBOARD selection (PRIMARY is
// not served), owned by a window never mapped: requests for `TARGETS`, `UTF8_STRING`, `STRING` and
// `TEXT` (Latin-1) are answered with our text rendered at once, LF line ends; `SelectionClear`
// loses the clipboard. Another program's text is asked as `UTF8_STRING` (else `STRING`) with a
// second's wait for each answer or piece (incremental transfers included), events meanwhile left
// queued, and comes back in 1252 with CR LF. `x11.smoke` (CTest; `tests/x11/`) starts its own Xvfb
// (skipped without one) and checks with a second X connection and XTest that a window shows its
// buffer pixel for pixel, takes a click and a key, carries a UTF-8 title and answers
// `WM_DELETE_WINDOW` with `WM_CLOSE`; that a menu opened by a press on its title shows its pop-up's
// buffer on the screen, holds the keyboard and gives a clicked entry's `WM_COMMAND`; and, with a
// third connection on a thread as another program, that copied text is read as UTF-8 and Latin-1
// and text copied there is pasted, whole and in pieces. `x11.drag.<look>`
// (`tests/x11/x11_drag.cpp`, the same script) drags a dialog's slider thumb and scroll-bar thumb
// with XTest in steps that each reach the program alone. `dialog_probe -live` shows its dialog on
// the display until ended, printing slider values, for trying things by hand.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/win/types.h"

namespace win::backend {

enum class SurfaceState : std::uint8_t { hidden, normal, minimized, maximized };

struct SurfaceDesc {
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND owner = nullptr;  // the owner's surface, when it has one
  RECT outer{};
  std::string title;  // Windows-1252
};

// A window's pixels: 32-bit XRGB rows of `stride` pixels.
struct Pixels {
  const std::uint32_t* data = nullptr;
  int width = 0, height = 0, stride = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Screen.
  virtual SIZE ScreenSize() = 0;

  // Surfaces. A new surface starts hidden.
  virtual void CreateSurface(HWND surface, const SurfaceDesc& desc) = 0;
  virtual void DestroySurface(HWND surface) = 0;
  virtual void ShowSurface(HWND surface, SurfaceState state, bool activate) = 0;
  virtual void MoveSurface(HWND surface, const RECT& outer) = 0;
  // Places the surface directly below `above`, or on top when it is null.
  virtual void RestackSurface(HWND surface, HWND above) = 0;
  virtual void SetSurfaceTitle(HWND surface, const std::string& title) = 0;
  virtual void SetSurfaceOwner(HWND surface, HWND owner) = 0;
  // The surface runs modally, blocking the program's other surfaces.
  virtual void SetSurfaceModal(HWND, bool) {}
  // The extents (left, top, right, bottom) of the frame a window manager
  // draws around the surface; zero without one.
  virtual RECT SurfaceFrame(HWND) { return {}; }
  // Shows `dirty` (surface coordinates) of the window's pixels.
  virtual void Present(HWND surface, const RECT& dirty, const Pixels& pixels) = 0;

  // Pointer and keyboard. A null grab releases the pointer.
  virtual void SetCursor(HCURSOR cursor) = 0;
  virtual void WarpPointer(POINT screen) = 0;
  virtual void GrabPointer(HWND surface) = 0;
  // While a menu tracks, keys come to the program wherever the focus is.
  // A null grab releases the keyboard.
  virtual void GrabKeyboard(HWND surface) = 0;
  virtual void FocusSurface(HWND surface) = 0;
  // The program drops the composition under way: the input method forgets it.
  virtual void CancelComposition() {}
  virtual void Beep() = 0;

  // Clipboard: the program owns it (or gives it up); the text another
  // program offers (Windows-1252), when there is any.
  virtual void OwnClipboard(bool owned) = 0;
  virtual std::optional<std::string> ForeignClipboardText() = 0;

  // Events. Descriptor is polled by WaitMessage (-1: none); Pump reads what
  // is waiting and reports it through input.h without blocking; Flush
  // presents the dirty areas before WaitMessage blocks, and reports as Pump
  // does what sending took off the connection.
  virtual int Descriptor() = 0;
  virtual void Pump() = 0;
  virtual void Flush() = 0;
  virtual void Shutdown() = 0;
};

// The back-end in use, made on first use: WEXLIN_BACKEND "x11" or
// "headless"; unset, X11 when DISPLAY names a display that opens.
Backend& Current();
// Whether the back-end in use is the headless one.
bool IsHeadless();
// The X11 back-end on $DISPLAY, or null with the reason.
std::unique_ptr<Backend> OpenX11(std::string& error);

}  // namespace win::backend
