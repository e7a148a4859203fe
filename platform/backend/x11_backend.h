// The X11 back-end's own record, shared by its files (x11.cpp: windows and
// their frames; x11_events.cpp: events and the keyboard; x11_present.cpp:
// pixels and cursors; x11_clipboard.cpp: the CLIPBOARD selection). These are
// the only files that include X headers; they come last, after our own,
// because they define macros (None, Bool, Status) that our headers must not meet.
#pragma once
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/input.h"
#include "platform/backend/x11_tables.h"
#include "platform/gdi/internal.h"
#include "platform/user/internal.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <clocale>
#include <langinfo.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace win::backend::x11 {

using XWindow = ::Window;

// Failed requests so far (recorded, never fatal).
extern int xErrors;

struct Surface {
  XWindow window = 0;
  SurfaceState state = SurfaceState::hidden;  // as shown here (or told by the window manager)
  bool mapped = false, wantFocus = false, overrideRedirect = false;
  bool dialog = false;  // told to the window manager as a dialog
  bool movePending = false;  // outer not asked of the server yet
  RECT outer{};               // the window's own area on the screen
  POINT frameAt{};            // where its frame's corner is asked to go
  RECT frame{};               // the window manager's frame extents (left, top, right, bottom)
  HWND owner = nullptr;
  XIC ic = nullptr;  // made when the window first takes the keyboard
  // Shown once (the window manager may not have framed it yet), and
  // framed: shown on the screen, its frame's extents known by then.
  bool mapAsked = false, framed = false;
  // The place asked is for the frame's corner (a window not shown yet),
  // else for the window's own area.
  bool askAsFrame = true;
  bool normal = false;  // neither a dialog, a tool window nor a pop-up
  bool fixedSize = false;  // its size its own: the window manager offers no resizing
  bool sizable = true;     // its frame offers resizing (and so has the handle for it)
  bool modal = false;      // runs modally: told to the window manager
};

inline constexpr long kEventMask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | StructureNotifyMask | FocusChangeMask | PropertyChangeMask;

class X11 final : public Backend {
 public:
  X11(Display* d, const XVisualInfo& v);
  ~X11() override { Shutdown(); }

  SIZE ScreenSize() override;
  void CreateSurface(HWND surface, const SurfaceDesc& desc) override;
  void DestroySurface(HWND surface) override;
  void ShowSurface(HWND surface, SurfaceState state, bool activate) override;
  void MoveSurface(HWND surface, const RECT& outer) override;
  void RestackSurface(HWND surface, HWND above) override;
  void SetSurfaceTitle(HWND surface, const std::string& title) override;
  void SetSurfaceOwner(HWND surface, HWND owner) override;
  void SetSurfaceModal(HWND surface, bool modal) override;
  RECT SurfaceFrame(HWND surface) override;
  void Present(HWND surface, const RECT& dirty, const Pixels& pixels) override;
  void SetCursor(HCURSOR cursor) override;
  void WarpPointer(POINT screen) override { XWarpPointer(d_, 0, root_, 0, 0, 0, 0, screen.x, screen.y); }

  void GrabPointer(HWND surface) override;
  void GrabKeyboard(HWND surface) override;
  void FocusSurface(HWND surface) override;
  void Beep() override { XBell(d_, 0); }

  void OwnClipboard(bool owned) override;
  std::optional<std::string> ForeignClipboardText() override;
  int Descriptor() override { return d_ ? ConnectionNumber(d_) : -1; }

  void Pump() override;
  void Flush() override;
  void CancelComposition() override;
  void Shutdown() override;

 private:
  std::vector<std::pair<const char*, Atom*>> atomNames();
  Surface* find(HWND surface);
  HWND surfaceOf(XWindow w);
  SIZE placeFrame(Surface& s);
  SIZE sizeAsked(const Surface& s);
  void applyMove(Surface& s);
  void applyMoves();
  void wantFocus(Surface& s);
  void setFocus(XWindow w);
  void askActivation(const Surface& s);
  Time serverTime();
  void setTransient(Surface& s);
  void focusIfWanted(Surface& s);
  void setHints(HWND surface, Surface& s);
  void setWmHints(Surface& s, int initialState);
  void sendState(Surface& s, bool maximize);
  void writeStates(Surface& s);
  bool useShm();
  bool presentShm(Surface& s, const RECT& dirty, const Pixels& pixels);
  void dropShm();
  void answerExposures();
  Cursor cursorFor(HCURSOR cursor);
  Cursor pixmapCursor(const internal::IconPixels& p);
  Cursor colourCursor(const internal::IconPixels& p);
  RECT rootRect(XWindow w, int width, int height);
  std::optional<RECT> frameExtents(XWindow w);
  RECT frameOf(const Surface& s) const;
  void keepFrameOnScreen(Surface& s);
  void askFrameExtents(const Surface& s);
  bool managerSupports(Atom feature);
  bool iconic(XWindow w);
  bool maximized(XWindow w);
  std::vector<Atom> atomList(XWindow w, Atom property);
  void stateFromWindowManager(HWND h, Surface& s, SurfaceState state);

  // ---- The input method.

  void openInputMethod();
  XIC contextOf(Surface& s);
  void focusInputContext(Surface& s);
  void unfocusInputContext(Surface& s);
  void endComposition();
  void showPreedit() { InputComposition(x11::cp1252FromCodePoints(preedit_), caret_); }

  static int onPreeditStart(XIC, XPointer self, XPointer);
  static void onPreeditDone(XIM, XPointer self, XPointer);
  static void onPreeditDraw(XIM, XPointer self, XPointer data);
  static void onPreeditCaret(XIM, XPointer self, XPointer data);
  void filteredKey(const XKeyEvent& ev);
  static bool isModifier(KeySym k) { return IsModifierKey(k) || k == XK_ISO_Level3_Shift || k == XK_Mode_switch; }

  void key(const XKeyEvent& ev, bool down);
  XWindow selectionWindow();
  std::size_t maxPropertyBytes();
  void serveSelection(const XSelectionRequestEvent& rq);
  void selectionEvent(const XEvent& e);

  struct Awaited {
    XWindow window;
    int type;
    Atom atom;  // the target asked, or the property that changes
    // A key typed once the server had this request ends the wait (0: none does).
    unsigned long keysFrom = 0;
    bool keyed = false;  // one was
  };
  static Bool isAwaited(Display*, XEvent* e, XPointer arg);
  bool await(Awaited a, XEvent& e);
  bool keyEndedWait_ = false;  // the last wait ended at a key typed
  bool takeProperty(Atom& type, std::string& bytes);
  std::optional<std::string> convertSelection(Atom target);
  static void pointerState(unsigned state);
  void handle(XEvent& e);
  void keepOwnedAboveOwners();
  Display* d_;
  XVisualInfo visual_;
  int screen_ = 0;
  XWindow root_ = 0;
  XWindow leader_ = 0;  // the group's leader, never shown
  Colormap colormap_ = 0;
  GC gc_{};
  bool shm_ = false, focusLeft_ = false, ownsSelection_ = false;
  static constexpr std::chrono::microseconds kReadInterval{1000};
  std::chrono::steady_clock::time_point lastRead_{};
  unsigned long focusAsked_ = 0;  // the request that asked for the focus last
  // The frame extents the window manager gave last, for a frame without
  // and with resizing (whose handle makes it taller), and whether given.
  RECT lastFrame_[2]{};
  bool frameSeen_[2]{}, frameAsked_[2]{};
  HWND raisingTop_ = nullptr;  // the last of the raises asked to keep owned windows above
  std::chrono::steady_clock::time_point raisingUntil_{};
  XWindow selectionWindow_ = 0;
  XImage* shmImage_ = nullptr;
  XShmSegmentInfo shmInfo_{};
  Cursor cursor_ = 0;
  XIM im_ = nullptr;
  XIMStyle style_ = 0;
  XIC focusIc_ = nullptr;
  XICCallback preeditStart_{};
  XIMCallback preeditDone_{}, preeditDraw_{}, preeditCaret_{};
  std::u32string preedit_;    // what the method composes, shown in the text
  int caret_ = 0;
  bool deadPending_ = false;  // a dead key's accent shown, awaiting its letter
  std::map<HCURSOR, Cursor> cursors_;
  std::map<HWND, Surface> surfaces_;
  std::map<XWindow, HWND> byWindow_;
  Atom wmDeleteWindow_ = 0, wmProtocols_ = 0, icccmState_ = 0, netWmName_ = 0, utf8String_ = 0, windowType_ = 0,
       typeNormal_ = 0, typeUtility_ = 0, typeDialog_ = 0, wmState_ = 0, maxVert_ = 0, maxHorz_ = 0, userTime_ = 0, clipboard_ = 0,
       targets_ = 0, text_ = 0, incr_ = 0, transfer_ = 0, frameExtents_ = 0, motifHints_ = 0, supported_ = 0,
       requestFrameExtents_ = 0, stacking_ = 0, modalState_ = 0, activeWindow_ = 0, timeProbe_ = 0;
};

}  // namespace win::backend::x11
