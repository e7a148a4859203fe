// The window manager's records, shared by the files of platform/user.
#pragma once
#include <array>
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
  // Windows below this one with an update region, and the first child
  // whose own windows may hold one (those before it hold none): the look
  // for WM_PAINT skips what has nothing to paint.
  std::size_t damagedBelow = 0;
  std::size_t paintFrom = 0;
  HMENU systemMenu = nullptr;
  bool hasSurface = false;
  bool modal = false;  // runs modally (SetWindowModal)
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
// With onlyBelow, only siblings below the child in the stacking order are
// looked at (the child keeps its place in it).
void exposeParent(HWND child, const RECT& oldRect, bool stillShown, bool onlyBelow = false);
// Where a handle stands in a list of siblings, looked for from both ends
// (the newest and the oldest go fastest); the list's end when absent.
std::vector<HWND>::iterator findSibling(std::vector<HWND>& list, HWND h);
// The children of a window were added, removed or restacked.
inline void childrenChanged(Window& parent) { parent.paintFrom = 0; }
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
// Whether a message of `hwnd` passes a Get or Peek filter.
bool messageMatches(HWND hwnd, UINT message, HWND filter, UINT lo, UINT hi);

// The hardware input queue (input.cpp): what the back-end reported, in
// order. A record becomes its message (is routed) when the queue is read,
// so the capture, focus and activation of that moment decide where it
// goes; the key state changes it carries take effect when it is taken.
struct HardwareInput {
  enum class Kind : std::uint8_t { move, button, key, message, composition };
  Kind kind = Kind::move;
  POINT pt{};
  DWORD time = 0;
  UINT vk = 0;  // key, or VK_LBUTTON, VK_MBUTTON, VK_RBUTTON
  UINT scan = 0;
  bool extended = false, down = false;
  bool system = false;  // a key that makes WM_SYSKEYDOWN/UP wherever it goes
  WPARAM buttons = 0;   // pointer: the MK_ state after the event
  LPARAM keyBits = 0;   // key: the lParam of its message
  int character = -1;   // key press: what the back-end says it types
  std::string text;     // composition: the string its message reads
  int cursor = 0;
  bool routing = false, routed = false, dropped = false;
  MSG msg{};
};
void queueHardware(const HardwareInput& in);
// Queues a message that needs no routing (a close request).
void queueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool takeInput(MSG* out, HWND filter, UINT lo, UINT hi, bool remove);
// A press taken off the queue goes back to its head unrouted, so that the
// capture, activation and window under it of the next read decide where
// it goes (a press that ended a menu, delivered where it was made).
void replayPress(const MSG& press);
// Routing (mouse.cpp, keyboard.cpp): fills `msg`, or sets `dropped`.
void routePointer(HardwareInput& in);
void routeKey(HardwareInput& in);
// The input method (ime.cpp): a composition message goes where keys go;
// when taken, its strings become what ImmGetCompositionStringA reads.
void routeComposition(HardwareInput& in);
void compositionTaken(const HardwareInput& in);
// The committed text as WM_CHAR messages to the window.
void postCommitted(HWND hwnd);
void resetIme();
// Default processing of WM_NCHITTEST and WM_SETCURSOR (mouse.cpp).
LRESULT defaultHitTest(const Window& w, POINT screen);
LRESULT defaultSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam);

// An icon's or cursor's pixels (icons.cpp), for a back-end that shows
// it: mask 1 keeps what is under the pixel, colour is XRGB.
struct IconPixels {
  int width = 0, height = 0;
  POINT hot{};
  std::vector<BYTE> mask;
  std::vector<std::uint32_t> color;
};
bool iconPixels(HICON icon, IconPixels& out);

// Key states (keyboard.cpp): bit 7 down, bit 0 toggled, by virtual key,
// as the back-end reported them and as of the message last taken.
using KeyStates = std::array<BYTE, 256>;
KeyStates& reportedKeys();
void resetKeys();
// The toggles as a display keeps them, in both states.
void setLockState(bool capsLock, bool numLock);
// A key or button the display says is held (or not) though its event went
// to another program: both states change, without a message.
void setHeld(UINT vk, bool down);
void applyKey(KeyStates& keys, UINT vk, UINT scan, bool extended, bool down);
// A record leaves the queue: its key or button change takes effect.
void inputTaken(const HardwareInput& in);
// Alt alone, which starts the menu mode when Alt is released (menu_track.cpp):
// every key press that leaves the queue, however it is then handled, is
// told; so is every change of focus, which ends it.
void notePress(UINT vk, LPARAM bits);
void endAltAlone();
// The record of a key event; the reported key states change at once.
HardwareInput keyInput(UINT virtualKey, UINT scanCode, bool extended, bool down, int character);
// The record of a pointer event (mouse.cpp); the same for the buttons.
HardwareInput pointerInput(POINT screen, int button, bool down);
// The pointer's last screen position (the input of the back-end moves it).
POINT& pointerPosition();

// The multiple-document interface (mdi_client.cpp): the client class,
// registered with the platform's classes; the client of a document window
// (its parent when that is a client, else null); the client's active
// child and the activation of another (null: none).
void registerMdiClientClass();
HWND mdiClientOf(HWND child);
HWND mdiActiveChild(HWND client);
void mdiActivate(HWND client, HWND child);
// A minimized document's place: the first free 36 x 36 cell of the row
// along the client's bottom; the strip under an icon that shows its title.
RECT mdiIconPlace(HWND child);
RECT iconTitleRect(const Window& icon);
// The frame's maximized document (its system menu is entry 0 of the
// frame's menu, its buttons at the menu line's end), or null; brought up
// to date with the client's active document (`leave`: taken out).
HWND mdiMaximizedChild(HWND frame);
void mdiSyncFrame(HWND client, bool leave = false);
// The title a frame shows for a text set on it: with its maximized
// document's name after it, the text kept for when that one goes.
std::string mdiFrameText(HWND frame, const char* text);
// A multiple-document client's scroll bars (mdi_scroll.cpp): whether one
// shows, the insets they take, a note that the documents or the area
// changed (the bars are measured again before the next painting), their
// painting, the hit code of a screen point, a scroll request (the SB_ code
// of WM_HSCROLL or WM_VSCROLL in the low word) and a press on a bar.
bool isMdiClient(HWND hwnd);
bool mdiScrollShown(HWND client);
RECT mdiScrollInsets(HWND client);
void mdiScrollChanged(HWND client);
void mdiScrollForget(HWND client);
void paintMdiScrollBars(HWND client);
LRESULT mdiScrollHitTest(HWND client, POINT screen);
void mdiScroll(HWND client, bool vertical, WPARAM wParam);
void mdiScrollTrack(HWND client, LRESULT hit, POINT screen);
// Document frames (mdi_paint.cpp): whether the window has one, its insets,
// the hit code of a point in window coordinates, and its painting (the
// caption active when the window is its client's active document).
bool hasDocumentFrame(const Window& w);
RECT documentFrameInsets();
LRESULT documentHitTest(const Window& w, POINT p);
void paintDocumentFrame(HWND hwnd);
// The pointer on a document frame (mdi_track.cpp): the move/size loop of
// SC_MOVE and SC_SIZE (low bits: the edge, as sizing codes less HTLEFT - 1)
// from a screen point, and a caption button's press.
void sizeMoveLoop(HWND hwnd, WPARAM command, POINT from);
// A caption button pressed on a document (`inBar`: one of the maximized
// document's buttons on the frame's menu line, `hwnd` the frame).
void trackCaptionButton(HWND hwnd, LRESULT hit, bool inBar = false);
// The maximized document's buttons on its frame's menu line: their width,
// the one under a screen point (HTNOWHERE when none), their painting; and
// the document's small icon drawn in a rectangle of a DC.
int barButtonsWidth();
LRESULT barButtonAt(HWND frame, POINT screen);
void paintBarButtons(HWND frame, HDC dc);
void drawDocumentIcon(HWND child, HDC dc, const RECT& box, COLORREF background);
// The caption or bar button drawn pressed (HTNOWHERE: none).
void setPressedButton(HWND hwnd, LRESULT hit);

// The clipboard's side of a dying window (clipboard.cpp): an owner with
// delayed formats renders them all before WM_DESTROY; when the handle dies
// its promises and its open go.
void clipboardOwnerDying(HWND hwnd);
void clipboardWindowGone(HWND hwnd);

// Trace of messages, for the test API.
void traceMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool posted);
int& sendDepth();

// Keeps the back-end's surface of a top-level window in step with it.
void syncSurface(Window& w);
void dropSurface(Window& w);

}  // namespace win::internal
