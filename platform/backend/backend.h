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
  // presents the dirty areas before WaitMessage blocks.
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
