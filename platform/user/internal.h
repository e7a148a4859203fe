// The window manager's records, shared by the files of platform/user.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/gdi/region.h"
#include "platform/kernel/handles.h"
#include "platform/win.h"

namespace win::internal {

struct WindowClass {
  std::string name;
  std::string menuName;
  WNDCLASSA wc{};  // its name pointers point into the strings above
  ATOM atom = 0;
  int liveWindows = 0;
};

struct Window {
  HWND handle = nullptr;
  WindowClass* windowClass = nullptr;  // classes outlive their windows
  std::string title;
  WNDPROC proc = nullptr;
  DWORD style = 0, exStyle = 0;
  HWND parent = nullptr;  // children only
  HWND owner = nullptr;   // top-level windows only
  HINSTANCE instance = nullptr;
  HMENU menu = nullptr;
  LONG_PTR id = 0;  // a child's identifier
  LONG_PTR userData = 0;
  RECT rect{};    // in the parent's client coordinates, or the screen's
  RECT client{};  // relative to the window's top left
  std::vector<BYTE> extra;
  std::vector<HWND> children;  // top of the z-order first
  bool destroying = false;
  bool minimized = false, maximized = false;
  bool restoreToMaximized = false;  // minimized from the maximized state
  RECT normalRect{};                // where a maximized window restores to
  Region damage;  // the update region, client coordinates
  bool eraseDamage = false;
  HMENU systemMenu = nullptr;
  bool hasSurface = false;
  backend::SurfaceState surfaceState = backend::SurfaceState::hidden;
  RECT surfaceRect{};
  HWND surfaceAbove = nullptr;
};

// Windows by handle; classes by name.
HandleTable<Window>& windows();
WindowClass* findClass(const char* name);
Window* findWindow(HWND hwnd);  // null for stale or foreign handles
// As findWindow, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
Window* checkWindow(HWND hwnd);
std::vector<HWND>& topLevelOrder();  // top first
bool isTopLevel(const Window& w);
POINT clientOriginOnScreen(const Window& w);
HWND rootOf(HWND hwnd);
std::vector<HWND>& siblingsOf(const Window& w);
// Keeps every owned window above its owner in the top-level order.
void keepOwnedAbove();
// The topmost visible window under a screen point, children included.
HWND windowFromPoint(POINT screen);

// The non-client insets (left, top, right, bottom) that the default
// WM_NCCALCSIZE and AdjustWindowRectEx take off: none for now.
RECT nonClientInsets(DWORD style, DWORD exStyle, bool menu);
// WM_GETMINMAXINFO with the defaults (the screen, or the parent's client
// area for a child) filled in; false when the window died meanwhile.
bool askMinMax(HWND hwnd, MINMAXINFO& mmi);
// A size kept within the tracking sizes.
SIZE withinTracking(const MINMAXINFO& mmi, LONG cx, LONG cy);
// Moves and sizes through the WM_WINDOWPOSCHANGING sequence.
BOOL setWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);

// Activation, focus and capture (activation.cpp).
void activate(HWND hwnd, bool byClick);
// Before a window is hidden, minimized or destroyed: the focus leaves it,
// the activation moves to the next window, the capture is released.
void windowLeaving(HWND hwnd, bool hidingOnly);
HWND activeWindow();
HWND captureWindow();

// The update region (paint.cpp), in client coordinates (a null area: the
// whole client area); WM_PAINT comes for windows that have one.
void invalidate(Window& w, const RECT* area, bool erase);
void invalidateRegion(Window& w, const Region& area, bool erase);
void forgetDamage(Window& w);
// A child left `oldRect` (parent client coordinates): the parent gets
// what it uncovered, with erase. An exposed area of a top-level window
// (outer coordinates) is invalidated with erase in every window under it.
void exposeParent(HWND child, const RECT& oldRect, bool stillShown);
void exposeArea(HWND root, const RECT& area);
// The drawing layer's side of the window tree: its generation moves on
// every change of the tree or of any geometry, so visible regions are
// made again; a window that goes takes its buffer and own DC with it.
void windowsChanged();
void forgetWindowGraphics(HWND hwnd);
// Brings every surface's place in the stack up to date with the order.
void syncStacking();
bool takePaint(MSG* out, HWND filter, UINT lo, UINT hi);

// The queue's side of a dying window: its timers and messages go.
void forgetWindowMessages(HWND hwnd);
// Something arrived that WaitMessage must return for.
void noteArrival();
// Queues an input message (the time and pointer position are added);
// `character` is what TranslateMessage makes of a key press, -1 for none.
void queueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int character = -1);
// The pointer's last screen position (the input of the back-end moves it).
POINT& pointerPosition();

// Trace of messages, for the test API.
void traceMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool posted);
int& sendDepth();

// Keeps the back-end's surface of a top-level window in step with it.
void syncSurface(Window& w);
void dropSurface(Window& w);

}  // namespace win::internal
