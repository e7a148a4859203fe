// The X11 back-end: one X window per surface, the window buffers shown by
// dirty rectangles, and X events reported through input.h. The only file
// that includes X headers; they come last, after our own, because they
// define macros (None, Bool, Status) that our headers must not meet.
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

namespace win::backend {
namespace {

using XWindow = ::Window;

int xErrors = 0;

// A failed request (a window destroyed meanwhile, a grab refused) is
// recorded, never fatal.
int onXError(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

int onXIoError(Display*) {
  std::fprintf(stderr, "%s: lost the connection to the X display\n", program_invocation_short_name);
  std::exit(1);
}

struct Surface {
  XWindow window = 0;
  SurfaceState state = SurfaceState::hidden;  // as shown here (or told by the window manager)
  bool mapped = false, wantFocus = false, overrideRedirect = false;
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
};

constexpr long kEventMask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | StructureNotifyMask | FocusChangeMask | PropertyChangeMask;

class X11 final : public Backend {
 public:
  X11(Display* d, const XVisualInfo& v) : d_(d), visual_(v) {
    screen_ = DefaultScreen(d_);
    root_ = RootWindow(d_, screen_);
    // The screen's own colormap where the visual is the screen's: screen
    // grabbers (xwd) read windows with a colormap that is not installed
    // through it and showed such pop-ups black.
    colormap_ = visual_.visual == DefaultVisual(d_, screen_) ? DefaultColormap(d_, screen_)
                                                              : XCreateColormap(d_, root_, visual_.visual, AllocNone);
    gc_ = XCreateGC(d_, root_, 0, nullptr);
    for (auto& [name, atom] : atomNames()) *atom = XInternAtom(d_, name, False);
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(d_, True, &detectable);
    shm_ = useShm();
    openInputMethod();
  }
  ~X11() override { Shutdown(); }

  SIZE ScreenSize() override {
    if (!d_) return {1024, 768};
    return {DisplayWidth(d_, screen_), DisplayHeight(d_, screen_)};
  }

  void CreateSurface(HWND surface, const SurfaceDesc& desc) override {
    x11::WindowKind kind = x11::kindOfWindow(desc.style, desc.exStyle);
    XSetWindowAttributes a{};
    a.background_pixel = 0xC0C0C0;
    a.border_pixel = 0;
    a.colormap = colormap_;
    a.override_redirect = kind.overrideRedirect ? True : False;
    a.bit_gravity = NorthWestGravity;
    a.event_mask = kEventMask;
    int w = std::max(1, static_cast<int>(desc.outer.right - desc.outer.left));
    int h = std::max(1, static_cast<int>(desc.outer.bottom - desc.outer.top));
    XWindow xw = XCreateWindow(d_, root_, desc.outer.left, desc.outer.top, static_cast<unsigned>(w),
                               static_cast<unsigned>(h), 0, visual_.depth, InputOutput, visual_.visual,
                               CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect | CWBitGravity |
                                   CWEventMask,
                               &a);
    Surface& s = surfaces_[surface];
    s = {xw, SurfaceState::hidden, false, false, kind.overrideRedirect, false, desc.outer,
         {desc.outer.left, desc.outer.top}, {}, nullptr, nullptr};
    byWindow_[xw] = surface;
    XSetWMProtocols(d_, xw, &wmDeleteWindow_, 1);
    XClassHint hint{program_invocation_short_name, program_invocation_short_name};
    XSetClassHint(d_, xw, &hint);
    Atom type = kind.type == x11::WindowType::utility  ? typeUtility_
                : kind.type == x11::WindowType::dialog ? typeDialog_
                                                       : typeNormal_;
    XChangeProperty(d_, xw, windowType_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
    setHints(surface, s);
    SetSurfaceTitle(surface, desc.title);
    SetSurfaceOwner(surface, desc.owner);
    if (cursor_) XDefineCursor(d_, xw, cursor_);
  }

  void DestroySurface(HWND surface) override {
    auto it = surfaces_.find(surface);
    if (it == surfaces_.end()) return;
    // A pop-up that held the keyboard gives it back to its owner.
    XWindow focusNow = 0;
    int revert = 0;
    XGetInputFocus(d_, &focusNow, &revert);
    HWND owner = it->second.owner;
    bool hadFocus = focusNow == it->second.window;
    if (it->second.ic) {
      if (it->second.ic == focusIc_) {
        endComposition();
        focusIc_ = nullptr;
      }
      XDestroyIC(it->second.ic);
    }
    byWindow_.erase(it->second.window);
    XDestroyWindow(d_, it->second.window);
    surfaces_.erase(it);
    if (hadFocus)
      if (Surface* o = find(owner); o && o->mapped) setFocus(o->window);
  }

  void ShowSurface(HWND surface, SurfaceState state, bool activate) override {
    Surface* s = find(surface);
    if (!s) return;
    if (activate) wantFocus(*s);
    if (state == s->state) {
      applyMove(*s);
      focusIfWanted(*s);
      return;
    }
    SurfaceState was = s->state;
    s->state = state;
    // Leaving the maximized state, the window manager restores what it
    // kept before our rectangle is asked again.
    if (s->overrideRedirect || was != SurfaceState::maximized) applyMove(*s);
    switch (state) {
      case SurfaceState::hidden:
        XWithdrawWindow(d_, s->window, screen_);
        s->mapped = false;
        break;
      case SurfaceState::minimized:
        if (was == SurfaceState::hidden) {
          XWMHints hints{};
          hints.flags = StateHint;
          hints.initial_state = IconicState;
          XSetWMHints(d_, s->window, &hints);
          XMapWindow(d_, s->window);
        } else {
          XIconifyWindow(d_, s->window, screen_);
        }
        break;
      case SurfaceState::normal:
      case SurfaceState::maximized: {
        bool maximize = state == SurfaceState::maximized;
        if (was == SurfaceState::hidden) {
          // A window shown without activation tells the window manager,
          // which would otherwise give a new window the keyboard.
          if (!s->overrideRedirect && !activate) {
            long never = 0;
            XChangeProperty(d_, s->window, userTime_, XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&never), 1);
          } else {
            XDeleteProperty(d_, s->window, userTime_);
          }
          // Asked before mapping: the window manager reads it then.
          XWMHints hints{};
          hints.flags = StateHint;
          hints.initial_state = NormalState;
          XSetWMHints(d_, s->window, &hints);
          Atom states[2] = {maxVert_, maxHorz_};
          XChangeProperty(d_, s->window, wmState_, XA_ATOM, 32, PropModeReplace,
                          reinterpret_cast<unsigned char*>(states), maximize ? 2 : 0);
        } else {
          sendState(*s, maximize);
        }
        XMapRaised(d_, s->window);
        s->mapAsked = true;
        break;
      }
    }
    applyMove(*s);
  }

  void MoveSurface(HWND surface, const RECT& outer) override {
    Surface* s = find(surface);
    if (!s) return;
    // A new place for a window not shown yet is where its frame's corner
    // goes; once shown, the window's own area goes where it is asked, so a
    // rectangle read back and asked again leaves the window where it was.
    if (outer.left != s->outer.left || outer.top != s->outer.top)
      s->askAsFrame = !s->mapAsked;
    else
      s->askAsFrame = false;
    s->outer = outer;
    placeFrame(*s);
    setHints(surface, *s);
    // Asked at the next show, presentation or pump: a maximization that
    // follows drops it (see applyMove).
    s->movePending = true;
  }

  void RestackSurface(HWND surface, HWND above) override {
    Surface* s = find(surface);
    if (!s) return;
    Surface* a = find(above);
    if (!a) {
      XRaiseWindow(d_, s->window);
      return;
    }
    XWindowChanges c{};
    c.sibling = a->window;
    c.stack_mode = Below;
    // Managed windows are restacked by the window manager, which may
    // refuse a sibling that is not its own: the error is only recorded.
    XReconfigureWMWindow(d_, s->window, screen_, CWSibling | CWStackMode, &c);
  }

  void SetSurfaceTitle(HWND surface, const std::string& title) override {
    Surface* s = find(surface);
    if (!s) return;
    std::string utf8 = x11::utf8From1252(title), latin1 = x11::latin1From1252(title);
    XChangeProperty(d_, s->window, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XChangeProperty(d_, s->window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
  }

  void SetSurfaceOwner(HWND surface, HWND owner) override {
    Surface* s = find(surface);
    if (!s) return;
    s->owner = owner;
    if (Surface* o = find(owner))
      XSetTransientForHint(d_, s->window, o->window);
    else
      XDeleteProperty(d_, s->window, XA_WM_TRANSIENT_FOR);
  }

  void Present(HWND surface, const RECT& dirty, const Pixels& pixels) override {
    Surface* s = find(surface);
    if (!s || !pixels.data || dirty.right <= dirty.left || dirty.bottom <= dirty.top) return;
    applyMove(*s);
    int w = dirty.right - dirty.left, h = dirty.bottom - dirty.top;
    if (shm_ && presentShm(*s, dirty, pixels)) return;
    XImage* image = XCreateImage(d_, visual_.visual, static_cast<unsigned>(visual_.depth), ZPixmap, 0,
                                 const_cast<char*>(reinterpret_cast<const char*>(pixels.data)),
                                 static_cast<unsigned>(pixels.width), static_cast<unsigned>(pixels.height), 32,
                                 pixels.stride * 4);
    if (!image) return;
    XPutImage(d_, s->window, gc_, image, dirty.left, dirty.top, dirty.left, dirty.top, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    image->data = nullptr;  // the buffer is the window layer's
    XDestroyImage(image);
  }

  void SetCursor(HCURSOR cursor) override {
    Cursor c = cursorFor(cursor);
    cursor_ = c;
    for (auto& [h, s] : surfaces_) XDefineCursor(d_, s.window, c);
  }

  void WarpPointer(POINT screen) override { XWarpPointer(d_, 0, root_, 0, 0, 0, 0, screen.x, screen.y); }

  void GrabPointer(HWND surface) override {
    Surface* s = find(surface);
    if (!s) {
      XUngrabPointer(d_, CurrentTime);
      return;
    }
    XGrabPointer(d_, s->window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, 0, 0, CurrentTime);
  }

  void GrabKeyboard(HWND surface) override {
    Surface* s = find(surface);
    if (!s) {
      XUngrabKeyboard(d_, CurrentTime);
      return;
    }
    // Our own windows keep their keys (owner events); keys meant for
    // another program's windows come to the menu's owner.
    XGrabKeyboard(d_, s->window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  }

  void FocusSurface(HWND surface) override {
    if (Surface* s = find(surface)) {
      wantFocus(*s);
      focusIfWanted(*s);
    }
  }

  void Beep() override { XBell(d_, 0); }

  // The CLIPBOARD selection, owned by a window that is never mapped while
  // the program owns the clipboard. PRIMARY is not served.
  void OwnClipboard(bool owned) override {
    if (!d_) return;
    XWindow w = selectionWindow();
    if (owned) {
      XSetSelectionOwner(d_, clipboard_, w, CurrentTime);
      ownsSelection_ = XGetSelectionOwner(d_, clipboard_) == w;
    } else if (ownsSelection_) {
      ownsSelection_ = false;
      if (XGetSelectionOwner(d_, clipboard_) == w) XSetSelectionOwner(d_, clipboard_, 0, CurrentTime);
    }
  }

  // Another program's text, asked as UTF-8 and else as Latin-1; events
  // that arrive meanwhile wait in the queue for the next pump.
  std::optional<std::string> ForeignClipboardText() override {
    if (!d_ || ownsSelection_) return std::nullopt;
    XWindow owner = XGetSelectionOwner(d_, clipboard_);
    if (!owner || owner == selectionWindow_) return std::nullopt;
    for (Atom target : {utf8String_, static_cast<Atom>(XA_STRING)}) {
      std::optional<std::string> raw = convertSelection(target);
      if (!raw) continue;
      std::string text = target == utf8String_ ? x11::cp1252FromUtf8(*raw) : x11::latin1From1252(*raw);
      return x11::crlfFromLf(text);
    }
    return std::nullopt;
  }

  int Descriptor() override { return d_ ? ConnectionNumber(d_) : -1; }

  void Pump() override {
    if (!d_) return;
    // A notice of the old place must not undo a move not yet asked.
    applyMoves();
    // Asked before every message taken, tens of thousands of times a
    // second while a run goes: the connection is read at most once a
    // millisecond unless Xlib holds events already.
    const auto now = std::chrono::steady_clock::now();
    if (!focusLeft_ && now - lastRead_ < kReadInterval && XEventsQueued(d_, QueuedAlready) == 0) {
      internal::presentDirty();
      return;
    }
    lastRead_ = now;
    // Round trips (the focus asked, a shared image synced) read events
    // into Xlib's queue, where no poll of the descriptor sees them: the
    // pump ends only with that queue empty.
    do {
      while (XPending(d_)) {
        XEvent e;
        XNextEvent(d_, &e);
        if (e.type == MappingNotify) XRefreshKeyboardMapping(&e.xmapping);
        // The input method takes what it composes.
        if (XFilterEvent(&e, 0)) {
          if (e.type == KeyPress) filteredKey(e.xkey);
          continue;
        }
        handle(e);
      }
      // Focus that left for another program takes the activation with it.
      if (focusLeft_) {
        focusLeft_ = false;
        XWindow now = 0;
        int revert = 0;
        XGetInputFocus(d_, &now, &revert);
        if (!surfaceOf(now)) InputActivated(nullptr);
      }
      internal::presentDirty();
    } while (XPending(d_));
  }

  void Flush() override {
    if (!d_) return;
    applyMoves();
    XFlush(d_);
  }

  void CancelComposition() override {
    if (!focusIc_) return;
    if (char* left = XmbResetIC(focusIc_)) XFree(left);
    preedit_.clear();
    deadPending_ = false;
  }

  void Shutdown() override {
    if (!d_) return;
    for (auto& [h, s] : surfaces_) {
      if (s.ic) XDestroyIC(s.ic);
      XDestroyWindow(d_, s.window);
    }
    focusIc_ = nullptr;
    if (im_) XCloseIM(im_);
    im_ = nullptr;
    surfaces_.clear();
    byWindow_.clear();
    selectionWindow_ = 0;
    ownsSelection_ = false;
    if (shmImage_) dropShm();
    XFreeGC(d_, gc_);
    XCloseDisplay(d_);
    d_ = nullptr;
  }

 private:
  std::vector<std::pair<const char*, Atom*>> atomNames() {
    return {{"WM_DELETE_WINDOW", &wmDeleteWindow_},
            {"WM_PROTOCOLS", &wmProtocols_},
            {"WM_STATE", &icccmState_},
            {"_NET_WM_NAME", &netWmName_},
            {"UTF8_STRING", &utf8String_},
            {"CLIPBOARD", &clipboard_},
            {"TARGETS", &targets_},
            {"TEXT", &text_},
            {"INCR", &incr_},
            {"WEXLIN_TRANSFER", &transfer_},
            {"_NET_WM_WINDOW_TYPE", &windowType_},
            {"_NET_WM_WINDOW_TYPE_NORMAL", &typeNormal_},
            {"_NET_WM_WINDOW_TYPE_UTILITY", &typeUtility_},
            {"_NET_WM_WINDOW_TYPE_DIALOG", &typeDialog_},
            {"_NET_WM_STATE", &wmState_},
            {"_NET_FRAME_EXTENTS", &frameExtents_},
            {"_NET_WM_STATE_MAXIMIZED_VERT", &maxVert_},
            {"_NET_WM_STATE_MAXIMIZED_HORZ", &maxHorz_},
            {"_NET_WM_USER_TIME", &userTime_}};
  }

  Surface* find(HWND surface) {
    auto it = surfaces_.find(surface);
    return it == surfaces_.end() ? nullptr : &it->second;
  }
  HWND surfaceOf(XWindow w) {
    auto it = byWindow_.find(w);
    return it == byWindow_.end() ? nullptr : it->second;
  }

  // Where the frame's corner goes for the rectangle asked, and the size
  // of the window's own area: a managed window keeps its whole frame on
  // the screen (a frame larger than the screen is made smaller), so that
  // a saved or computed place never puts a window out of the user's reach.
  // The extents of a frame not made yet are taken as the last seen.
  SIZE placeFrame(Surface& s) {
    LONG width = std::max<LONG>(1, s.outer.right - s.outer.left);
    LONG height = std::max<LONG>(1, s.outer.bottom - s.outer.top);
    const RECT f = s.framed ? s.frame : lastFrame_;
    s.frameAt = s.askAsFrame ? POINT{s.outer.left, s.outer.top} : POINT{s.outer.left - f.left, s.outer.top - f.top};
    if (s.overrideRedirect) return {width, height};
    const SIZE screen = ScreenSize();
    width = std::max<LONG>(1, std::min<LONG>(width, screen.cx - f.left - f.right));
    height = std::max<LONG>(1, std::min<LONG>(height, screen.cy - f.top - f.bottom));
    const LONG frameWidth = width + f.left + f.right, frameHeight = height + f.top + f.bottom;
    s.frameAt.x = std::clamp<LONG>(s.frameAt.x, 0, std::max<LONG>(0, screen.cx - frameWidth));
    s.frameAt.y = std::clamp<LONG>(s.frameAt.y, 0, std::max<LONG>(0, screen.cy - frameHeight));
    return {width, height};
  }

  void applyMove(Surface& s) {
    if (!s.movePending) return;
    // Asked while the window manager frames the window: done once the
    // frame, and so the place of the window inside it, is known.
    if (!s.overrideRedirect && s.mapAsked && !s.framed) return;
    s.movePending = false;
    // A maximized window's rectangle is the window manager's; asked for,
    // it would be what the window manager restores later.
    if (!s.overrideRedirect && s.state == SurfaceState::maximized) return;
    const SIZE size = placeFrame(s);
    XMoveResizeWindow(d_, s.window, s.frameAt.x, s.frameAt.y, static_cast<unsigned>(size.cx),
                      static_cast<unsigned>(size.cy));
  }
  void applyMoves() {
    for (auto& [h, s] : surfaces_) applyMove(s);
  }

  // The focus goes to the window asked last, once it is mapped: one asked
  // before it and mapped after it would take the activation back.
  void wantFocus(Surface& s) {
    for (auto& [h, other] : surfaces_) other.wantFocus = false;
    s.wantFocus = true;
  }

  // A focus change the server made before it saw our last request is out
  // of date: followed, two windows would hand the activation back and
  // forth.
  void setFocus(XWindow w) {
    focusAsked_ = NextRequest(d_);
    XSetInputFocus(d_, w, RevertToParent, CurrentTime);
  }

  void focusIfWanted(Surface& s) {
    if (!s.wantFocus || !s.mapped) return;
    s.wantFocus = false;
    setFocus(s.window);
  }

  // Position as asked (USPosition) and the tracking sizes of the window.
  void setHints(HWND surface, Surface& s) {
    XSizeHints* hints = XAllocSizeHints();
    // North-west gravity: the position asked is the frame's corner, so a
    // window asked at the screen's corner shows its whole frame there.
    hints->flags = USPosition | USSize | PMinSize | PMaxSize | PWinGravity;
    hints->win_gravity = NorthWestGravity;
    hints->x = s.frameAt.x;
    hints->y = s.frameAt.y;
    hints->width = static_cast<int>(s.outer.right - s.outer.left);
    hints->height = static_cast<int>(s.outer.bottom - s.outer.top);
    MINMAXINFO mmi{};
    if (internal::findWindow(surface) && internal::askMinMax(surface, mmi)) {
      hints->min_width = std::max(1, static_cast<int>(mmi.ptMinTrackSize.x));
      hints->min_height = std::max(1, static_cast<int>(mmi.ptMinTrackSize.y));
      hints->max_width = std::min(8191, static_cast<int>(mmi.ptMaxTrackSize.x));
      hints->max_height = std::min(8191, static_cast<int>(mmi.ptMaxTrackSize.y));
    } else {
      hints->flags &= ~(PMinSize | PMaxSize);
    }
    XSetWMNormalHints(d_, s.window, hints);
    XFree(hints);
  }

  // Maximizing or restoring a mapped window goes through the window
  // manager.
  void sendState(Surface& s, bool maximize) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = s.window;
    e.xclient.message_type = wmState_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = maximize ? 1 : 0;  // add or remove
    e.xclient.data.l[1] = static_cast<long>(maxVert_);
    e.xclient.data.l[2] = static_cast<long>(maxHorz_);
    e.xclient.data.l[3] = 1;
    XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  }

  bool useShm() {
    const char* display = DisplayString(d_);
    bool local = display && display[0] == ':';
    int major = 0, minor = 0;
    Bool pixmaps = False;
    return local && XShmQueryVersion(d_, &major, &minor, &pixmaps);
  }

  // One shared image as large as the largest buffer presented so far.
  bool presentShm(Surface& s, const RECT& dirty, const Pixels& pixels) {
    if (!shmImage_ || shmImage_->width < pixels.width || shmImage_->height < pixels.height) {
      if (shmImage_) dropShm();
      shmImage_ = XShmCreateImage(d_, visual_.visual, static_cast<unsigned>(visual_.depth), ZPixmap, nullptr,
                                  &shmInfo_, static_cast<unsigned>(std::max(pixels.width, 256)),
                                  static_cast<unsigned>(std::max(pixels.height, 256)));
      if (!shmImage_) return shm_ = false;
      shmInfo_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(shmImage_->bytes_per_line * shmImage_->height),
                              IPC_CREAT | 0600);
      void* at = shmInfo_.shmid < 0 ? reinterpret_cast<void*>(-1) : shmat(shmInfo_.shmid, nullptr, 0);
      if (at == reinterpret_cast<void*>(-1)) {
        if (shmInfo_.shmid >= 0) shmctl(shmInfo_.shmid, IPC_RMID, nullptr);
        XDestroyImage(shmImage_);
        shmImage_ = nullptr;
        return shm_ = false;
      }
      shmInfo_.shmaddr = shmImage_->data = static_cast<char*>(at);
      shmInfo_.readOnly = False;
      int before = xErrors;
      XShmAttach(d_, &shmInfo_);
      XSync(d_, False);
      shmctl(shmInfo_.shmid, IPC_RMID, nullptr);  // goes when both sides detach
      if (xErrors != before) {  // a server that cannot reach our memory
        dropShm();
        return shm_ = false;
      }
    }
    int w = dirty.right - dirty.left, h = dirty.bottom - dirty.top;
    for (int y = 0; y < h; ++y)
      std::memcpy(shmImage_->data + static_cast<std::ptrdiff_t>(y) * shmImage_->bytes_per_line,
                  pixels.data + static_cast<std::ptrdiff_t>(dirty.top + y) * pixels.stride + dirty.left,
                  static_cast<std::size_t>(w) * 4);
    XShmPutImage(d_, s.window, gc_, shmImage_, 0, 0, dirty.left, dirty.top, static_cast<unsigned>(w),
                 static_cast<unsigned>(h), False);
    // The shared image is written again at the next presentation.
    XSync(d_, False);
    return true;
  }

  void dropShm() {
    XShmDetach(d_, &shmInfo_);
    shmdt(shmInfo_.shmaddr);
    shmImage_->data = nullptr;
    XDestroyImage(shmImage_);
    shmImage_ = nullptr;
  }

  // The built-in shapes are the font cursors; made ones are pixmap
  // cursors in their darkest and lightest opaque colours.
  Cursor cursorFor(HCURSOR cursor) {
    if (auto it = cursors_.find(cursor); it != cursors_.end()) return it->second;
    Cursor c = 0;
    if (cursor == LoadCursorA(nullptr, IDC_ARROW)) {
      c = XCreateFontCursor(d_, XC_left_ptr);
    } else if (cursor == LoadCursorA(nullptr, IDC_WAIT)) {
      c = XCreateFontCursor(d_, XC_watch);
    } else {
      internal::IconPixels p;
      if (!cursor || !internal::iconPixels(cursor, p)) p = {1, 1, {0, 0}, {1}, {0}};  // nothing shown
      c = pixmapCursor(p);
    }
    cursors_[cursor] = c;
    return c;
  }

  Cursor pixmapCursor(const internal::IconPixels& p) {
    if (Cursor c = colourCursor(p)) return c;
    auto lum = [](std::uint32_t c) { return ((c >> 16) & 0xFF) * 3 + ((c >> 8) & 0xFF) * 6 + (c & 0xFF); };
    std::uint32_t dark = 0xFFFFFF, light = 0;
    for (std::size_t i = 0; i < p.mask.size(); ++i)
      if (!p.mask[i]) {
        if (lum(p.color[i]) <= lum(dark)) dark = p.color[i];
        if (lum(p.color[i]) >= lum(light)) light = p.color[i];
      }
    int stride = (p.width + 7) / 8;
    std::vector<char> source(static_cast<std::size_t>(stride * p.height), 0), mask(source.size(), 0);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        std::size_t i = static_cast<std::size_t>(y * p.width + x), at = static_cast<std::size_t>(y * stride + x / 8);
        if (p.mask[i]) continue;  // transparent (and inverting pixels)
        mask[at] = static_cast<char>(mask[at] | 1 << (x % 8));
        // Source 1 shows the foreground (dark) colour.
        if (lum(p.color[i]) * 2 < lum(dark) + lum(light)) source[at] = static_cast<char>(source[at] | 1 << (x % 8));
      }
    Pixmap src = XCreateBitmapFromData(d_, root_, source.data(), static_cast<unsigned>(p.width),
                                       static_cast<unsigned>(p.height));
    Pixmap msk = XCreateBitmapFromData(d_, root_, mask.data(), static_cast<unsigned>(p.width),
                                       static_cast<unsigned>(p.height));
    auto colour = [](std::uint32_t c) {
      XColor x{};
      x.red = static_cast<unsigned short>(((c >> 16) & 0xFF) * 257);
      x.green = static_cast<unsigned short>(((c >> 8) & 0xFF) * 257);
      x.blue = static_cast<unsigned short>((c & 0xFF) * 257);
      x.flags = DoRed | DoGreen | DoBlue;
      return x;
    };
    XColor fg = colour(dark), bg = colour(light);
    Cursor c = XCreatePixmapCursor(d_, src, msk, &fg, &bg, static_cast<unsigned>(p.hot.x), static_cast<unsigned>(p.hot.y));
    XFreePixmap(d_, src);
    XFreePixmap(d_, msk);
    return c;
  }

  // A cursor with colours other than black and white, as an ARGB image
  // when the server takes one: opaque where the mask is 0, clear elsewhere.
  Cursor colourCursor(const internal::IconPixels& p) {
    bool colour = false;
    for (std::size_t i = 0; i < p.mask.size() && !colour; ++i)
      colour = !p.mask[i] && (p.color[i] & 0xFFFFFF) != 0 && (p.color[i] & 0xFFFFFF) != 0xFFFFFF;
    if (!colour || !XcursorSupportsARGB(d_)) return 0;
    XcursorImage* image = XcursorImageCreate(p.width, p.height);
    if (!image) return 0;
    image->xhot = static_cast<XcursorDim>(p.hot.x);
    image->yhot = static_cast<XcursorDim>(p.hot.y);
    for (std::size_t i = 0; i < p.mask.size(); ++i)
      image->pixels[i] = p.mask[i] ? 0 : 0xFF000000u | (p.color[i] & 0xFFFFFF);
    Cursor c = XcursorImageLoadCursor(d_, image);
    XcursorImageDestroy(image);
    return c;
  }

  RECT rootRect(XWindow w, int width, int height) {
    int x = 0, y = 0;
    XWindow child = 0;
    XTranslateCoordinates(d_, w, root_, 0, 0, &x, &y, &child);
    return {x, y, x + width, y + height};
  }

  // The frame the window manager put around the window (none without one).
  RECT frameExtents(XWindow w) {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    RECT r{};
    if (XGetWindowProperty(d_, w, frameExtents_, 0, 4, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
            Success &&
        data && n == 4 && format == 32) {
      const long* v = reinterpret_cast<long*>(data);
      auto extent = [](long x) { return static_cast<LONG>(std::clamp(x, 0L, 4096L)); };
      r = {extent(v[0]), extent(v[2]), extent(v[1]), extent(v[3])};
    }
    if (data) XFree(data);
    return r;
  }

  bool iconic(XWindow w) {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool result = false;
    if (XGetWindowProperty(d_, w, icccmState_, 0, 2, False, icccmState_, &type, &format, &n, &after, &data) ==
            Success &&
        data && n >= 1 && format == 32)
      result = reinterpret_cast<long*>(data)[0] == IconicState;
    if (data) XFree(data);
    return result;
  }

  bool maximized(XWindow w) {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    int found = 0;
    if (XGetWindowProperty(d_, w, wmState_, 0, 64, False, XA_ATOM, &type, &format, &n, &after, &data) == Success &&
        data && format == 32)
      for (unsigned long i = 0; i < n; ++i) {
        Atom a = reinterpret_cast<Atom*>(data)[i];
        if (a == maxVert_ || a == maxHorz_) ++found;
      }
    if (data) XFree(data);
    return found == 2;
  }

  // The window manager changed the state: tell the core, remembering it
  // first so that the core's answer does not ask for it again.
  void stateFromWindowManager(HWND h, Surface& s, SurfaceState state) {
    if (s.state == state) return;
    s.state = state;
    InputStateChanged(h, state);
  }

  // ---- The input method.

  // Opened in the locale's character type (UTF-8 when the locale names
  // another or none), which is then put back: the method keeps what it
  // was opened with. Without one, keys are looked up as before.
  void openInputMethod() {
    const char* now = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = now ? now : "C";
    if (!std::setlocale(LC_CTYPE, "") || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
      std::setlocale(LC_CTYPE, "C.UTF-8");
    if (XSupportsLocale()) {
      if (!XSetLocaleModifiers("")) XSetLocaleModifiers("@im=none");
      im_ = XOpenIM(d_, nullptr, nullptr, nullptr);
      if (!im_ && XSetLocaleModifiers("@im=none")) im_ = XOpenIM(d_, nullptr, nullptr, nullptr);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    if (!im_) return;
    XIMStyles* styles = nullptr;
    if (XGetIMValues(im_, XNQueryInputStyle, &styles, nullptr) || !styles) {
      XCloseIM(im_);
      im_ = nullptr;
      return;
    }
    // Composition shown in the text itself first, else none shown by us.
    const XIMStyle wanted[] = {XIMPreeditCallbacks | XIMStatusNothing, XIMPreeditCallbacks | XIMStatusNone,
                               XIMPreeditNothing | XIMStatusNothing, XIMPreeditNothing | XIMStatusNone,
                               XIMPreeditNone | XIMStatusNothing, XIMPreeditNone | XIMStatusNone};
    for (XIMStyle w : wanted)
      for (unsigned short i = 0; !style_ && i < styles->count_styles; ++i)
        if (styles->supported_styles[i] == w) style_ = w;
    XFree(styles);
    if (!style_) {
      XCloseIM(im_);
      im_ = nullptr;
    }
  }

  // The window's input context, made on first use; null without a method.
  XIC contextOf(Surface& s) {
    if (s.ic || !im_) return s.ic;
    if (style_ & XIMPreeditCallbacks) {
      preeditStart_ = {reinterpret_cast<XPointer>(this), &X11::onPreeditStart};
      preeditDone_ = {reinterpret_cast<XPointer>(this), &X11::onPreeditDone};
      preeditDraw_ = {reinterpret_cast<XPointer>(this), &X11::onPreeditDraw};
      preeditCaret_ = {reinterpret_cast<XPointer>(this), &X11::onPreeditCaret};
      XVaNestedList preedit = XVaCreateNestedList(0, XNPreeditStartCallback, &preeditStart_, XNPreeditDoneCallback,
                                                  &preeditDone_, XNPreeditDrawCallback, &preeditDraw_,
                                                  XNPreeditCaretCallback, &preeditCaret_, nullptr);
      s.ic = XCreateIC(im_, XNInputStyle, style_, XNClientWindow, s.window, XNFocusWindow, s.window,
                       XNPreeditAttributes, preedit, nullptr);
      XFree(preedit);
    } else {
      s.ic = XCreateIC(im_, XNInputStyle, style_, XNClientWindow, s.window, XNFocusWindow, s.window, nullptr);
    }
    if (!s.ic) return nullptr;
    long filter = 0;
    if (!XGetICValues(s.ic, XNFilterEvents, &filter, nullptr)) XSelectInput(d_, s.window, kEventMask | filter);
    return s.ic;
  }

  void focusInputContext(Surface& s) {
    XIC ic = contextOf(s);
    if (ic == focusIc_) return;
    if (focusIc_) {
      endComposition();
      XUnsetICFocus(focusIc_);
    }
    focusIc_ = ic;
    if (ic) XSetICFocus(ic);
  }

  void unfocusInputContext(Surface& s) {
    if (!s.ic || s.ic != focusIc_) return;
    endComposition();
    XUnsetICFocus(focusIc_);
    focusIc_ = nullptr;
  }

  // A composition left behind (the keyboard went elsewhere) is dropped.
  void endComposition() {
    if (!preedit_.empty() || deadPending_) InputComposition("", 0);
    preedit_.clear();
    deadPending_ = false;
  }

  void showPreedit() { InputComposition(x11::cp1252FromCodePoints(preedit_), caret_); }

  static int onPreeditStart(XIC, XPointer self, XPointer) {
    reinterpret_cast<X11*>(self)->preedit_.clear();
    return -1;  // no limit on its length
  }
  static void onPreeditDone(XIM, XPointer self, XPointer) {
    auto* x = reinterpret_cast<X11*>(self);
    x->preedit_.clear();
    x->caret_ = 0;
  }
  static void onPreeditDraw(XIM, XPointer self, XPointer data) {
    auto* x = reinterpret_cast<X11*>(self);
    const auto* d = reinterpret_cast<const XIMPreeditDrawCallbackStruct*>(data);
    std::u32string& p = x->preedit_;
    std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(std::max(d->chg_first, 0)), p.size());
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(d->chg_length, 0)), p.size() - first);
    std::u32string put;
    if (d->text && d->text->length > 0) {
      if (d->text->encoding_is_wchar && d->text->string.wide_char)
        for (unsigned short i = 0; i < d->text->length; ++i) put += static_cast<char32_t>(d->text->string.wide_char[i]);
      else if (!d->text->encoding_is_wchar && d->text->string.multi_byte)
        put = x11::codePointsFromUtf8(d->text->string.multi_byte);
    }
    p.replace(first, n, put);
    x->caret_ = std::clamp(d->caret, 0, static_cast<int>(p.size()));
    x->showPreedit();
  }
  static void onPreeditCaret(XIM, XPointer self, XPointer data) {
    auto* x = reinterpret_cast<X11*>(self);
    auto* c = reinterpret_cast<XIMPreeditCaretCallbackStruct*>(data);
    if (c->direction == XIMAbsolutePosition) x->caret_ = std::clamp(c->position, 0, static_cast<int>(x->preedit_.size()));
    c->position = x->caret_;
    x->showPreedit();
  }

  // A key the method kept: a dead key starts a composition that shows its
  // accent (underlined) until the next key finishes it, unless the
  // method shows its compositions itself.
  void filteredKey(const XKeyEvent& ev) {
    if (style_ & XIMPreeditCallbacks) return;
    XKeyEvent copy = ev;
    int accent = x11::deadKeyCharacter(static_cast<std::uint32_t>(XLookupKeysym(&copy, 0)));
    if (accent < 0) {
      KeySym shifted = 0;
      char ignored[8];
      XLookupString(&copy, ignored, sizeof ignored, &shifted, nullptr);
      accent = x11::deadKeyCharacter(static_cast<std::uint32_t>(shifted));
    }
    if (accent < 0) {
      // Any other key the method keeps either completes the accent's
      // sequence (the result comes back at once as a key of code 0) or
      // breaks it, and the accent goes.
      XEvent next{};
      if (XEventsQueued(d_, QueuedAlready) > 0) XPeekEvent(d_, &next);
      bool result = next.type == KeyPress && next.xkey.keycode == 0;
      if (deadPending_ && !result) endComposition();
      return;
    }
    deadPending_ = true;
    InputComposition(std::string(1, static_cast<char>(accent)), 1);
  }

  static bool isModifier(KeySym k) { return IsModifierKey(k) || k == XK_ISO_Level3_Shift || k == XK_Mode_switch; }

  void key(const XKeyEvent& ev, bool down) {
    XKeyEvent copy = ev;
    KeySym typed = 0;
    std::string text;  // Windows-1252
    Surface* s = find(surfaceOf(ev.window));
    XIC ic = s ? s->ic : nullptr;
    if (down && ic) {
      char buffer[256];
      Status status = 0;
      int n = Xutf8LookupString(ic, &copy, buffer, sizeof buffer, &typed, &status);
      if (status == XBufferOverflow) {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        n = Xutf8LookupString(ic, &copy, big.data(), n, &typed, &status);
        text = x11::cp1252FromUtf8(std::string(big.data(), static_cast<std::size_t>(std::max(n, 0))));
      } else if (status == XLookupChars || status == XLookupBoth) {
        text = x11::cp1252FromUtf8(std::string(buffer, static_cast<std::size_t>(std::max(n, 0))));
      }
      if (status != XLookupKeySym && status != XLookupBoth) typed = 0;
    } else {
      char latin1[8];
      int n = XLookupString(&copy, latin1, sizeof latin1, &typed, nullptr);
      auto first = static_cast<unsigned char>(latin1[0]);
      if (n == 1 && (first < 0x80 || first >= 0xA0)) text.assign(1, latin1[0]);
    }
    KeySym plain = XLookupKeysym(&copy, 0);
    if (down) {
      // What ends a composition is committed as one piece of text.
      bool composing = deadPending_ || !preedit_.empty();
      if (!text.empty() && (composing || ev.keycode == 0)) {
        deadPending_ = false;
        preedit_.clear();
        InputCommit(text);
        return;
      }
      if (deadPending_ && !isModifier(plain)) endComposition();
    }
    // The keypad's keysym tells NumLock's state; elsewhere the key counts.
    bool keypad = plain >= 0xFF80 && plain <= 0xFFBD;
    x11::KeyMapping k = x11::keyOfKeysym(static_cast<std::uint32_t>(keypad ? typed : plain));
    if (!k.virtualKey) {
      if (down && !text.empty()) InputCommit(text);  // text of a key the layout here lacks
      return;
    }
    InputLockState((ev.state & LockMask) != 0, (ev.state & Mod2Mask) != 0);
    // Key codes below 97 are set-1 scan codes plus 8; the others take the
    // set-1 code of their key.
    UINT scan = ev.keycode >= 9 && ev.keycode <= 96 ? ev.keycode - 8 : MapVirtualKeyA(k.virtualKey, MAPVK_VK_TO_VSC);
    int character = -1;
    if (down)
      character = text.size() == 1 ? static_cast<unsigned char>(text[0]) : x11::characterOfKeysym(static_cast<std::uint32_t>(typed));
    InputKey(k.virtualKey, scan, k.extended, down, character);
  }

  XWindow selectionWindow() {
    if (!selectionWindow_) {
      selectionWindow_ = XCreateSimpleWindow(d_, root_, -10, -10, 1, 1, 0, 0, 0);
      XSelectInput(d_, selectionWindow_, PropertyChangeMask);
    }
    return selectionWindow_;
  }

  // The longest property one request carries.
  std::size_t maxPropertyBytes() {
    long words = XExtendedMaxRequestSize(d_);
    if (words <= 0) words = XMaxRequestSize(d_);
    return static_cast<std::size_t>(words) * 4 - 256;
  }

  // Another program asks for our text: rendered now (a delayed format
  // through WM_RENDERFORMAT), with LF line ends.
  void serveSelection(const XSelectionRequestEvent& rq) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = d_;
    reply.xselection.requestor = rq.requestor;
    reply.xselection.selection = rq.selection;
    reply.xselection.target = rq.target;
    reply.xselection.time = rq.time;
    reply.xselection.property = 0;
    Atom property = rq.property ? rq.property : rq.target;  // an old requestor names none
    bool text = rq.target == utf8String_ || rq.target == XA_STRING || rq.target == text_;
    bool ours = rq.selection == clipboard_ && ownsSelection_;
    if (ours && rq.target == targets_) {
      Atom targets[] = {targets_, utf8String_, XA_STRING, text_};
      XChangeProperty(d_, rq.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(targets), 4);
      reply.xselection.property = property;
    } else if (ours && text) {
      std::optional<std::string> served = ServeClipboardText();
      bool utf8 = rq.target == utf8String_;
      std::string data = served ? x11::lfFromCrlf(*served) : std::string();
      data = utf8 ? x11::utf8From1252(data) : x11::latin1From1252(data);
      // Too long for one property: refused rather than cut.
      if (served && data.size() <= maxPropertyBytes()) {
        XChangeProperty(d_, rq.requestor, property, utf8 ? utf8String_ : XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        reply.xselection.property = property;
      }
    }
    XSendEvent(d_, rq.requestor, False, NoEventMask, &reply);
  }

  void selectionEvent(const XEvent& e) {
    if (e.type == SelectionRequest) {
      serveSelection(e.xselectionrequest);
    } else if (e.type == SelectionClear && e.xselectionclear.selection == clipboard_ && ownsSelection_) {
      ownsSelection_ = false;
      InputClipboardLost();
    }
  }

  struct Awaited {
    XWindow window;
    int type;
    Atom atom;  // the target asked, or the property that changes
  };
  static Bool isAwaited(Display*, XEvent* e, XPointer arg) {
    const auto* a = reinterpret_cast<const Awaited*>(arg);
    if (e->type != a->type) return False;
    if (e->type == SelectionNotify) return e->xselection.requestor == a->window && e->xselection.target == a->atom;
    return e->xproperty.window == a->window && e->xproperty.atom == a->atom && e->xproperty.state == PropertyNewValue;
  }

  // Waits up to a second for the event, leaving others queued.
  bool await(Awaited a, XEvent& e) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
      if (XCheckIfEvent(d_, &e, isAwaited, reinterpret_cast<XPointer>(&a))) return true;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
      if (left <= 0) return false;
      pollfd p{ConnectionNumber(d_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left));
    }
  }

  // Reads and deletes the transfer property: its type and bytes.
  bool takeProperty(Atom& type, std::string& bytes) {
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool ok = XGetWindowProperty(d_, selectionWindow_, transfer_, 0, 0x1FFFFFFF, True, AnyPropertyType, &type,
                                 &format, &n, &after, &data) == Success;
    ok = ok && type != 0;
    if (ok && format == 8) bytes.assign(reinterpret_cast<char*>(data), n);
    if (data) XFree(data);
    return ok;
  }

  // The selection converted to `target`: its bytes, gathered piece by
  // piece when the owner sends them incrementally.
  std::optional<std::string> convertSelection(Atom target) {
    XWindow w = selectionWindow();
    XDeleteProperty(d_, w, transfer_);
    XConvertSelection(d_, clipboard_, target, transfer_, w, CurrentTime);
    XEvent e;
    if (!await({w, SelectionNotify, target}, e) || e.xselection.property == 0) return std::nullopt;
    Atom type = 0;
    std::string bytes;
    if (!takeProperty(type, bytes)) return std::nullopt;
    if (type == incr_) {
      // Deleting the property asked for the first piece; an empty piece
      // ends. A notice whose property is gone already was for a piece
      // taken earlier (or for the INCR property itself).
      bytes.clear();
      for (;;) {
        std::string piece;
        if (!await({w, PropertyNotify, transfer_}, e)) return std::nullopt;
        if (!takeProperty(type, piece)) continue;
        if (piece.empty()) break;
        bytes += piece;
      }
    }
    if (type != target) return std::nullopt;
    return bytes;
  }

  // The MK_ state is the display's, whatever went to other programs.
  static void pointerState(unsigned state) {
    InputPointerState({(state & ShiftMask) != 0, (state & ControlMask) != 0, (state & Button1Mask) != 0,
                       (state & Button2Mask) != 0, (state & Button3Mask) != 0});
  }

  void handle(XEvent& e) {
    if (selectionWindow_ && e.xany.window == selectionWindow_) {
      selectionEvent(e);
      return;
    }
    HWND h = surfaceOf(e.xany.window);
    Surface* s = find(h);
    if (!s) return;
    switch (e.type) {
      case Expose: {
        RECT area{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height};
        // The buffer holds the window's pixels: only an area it lacks is
        // drawn again.
        if (!internal::presentAgain(h, area)) InputExposed(h, area);
        break;
      }
      case ConfigureNotify: {
        // Only the latest size counts: the ones before it are gone (a
        // maximization's notices reaching us after its undoing).
        while (XCheckTypedWindowEvent(d_, s->window, ConfigureNotify, &e)) {
        }
        // A place asked and not yet made stays the window's: the window
        // manager's notice of the place it had is out of date.
        if (s->movePending) break;
        RECT outer = rootRect(s->window, e.xconfigure.width, e.xconfigure.height);
        if (outer.left == s->outer.left && outer.top == s->outer.top && outer.right == s->outer.right &&
            outer.bottom == s->outer.bottom)
          break;
        s->outer = outer;
        InputConfigured(h, outer);
        break;
      }
      case MapNotify:
        s->mapped = true;
        if (!s->framed) {
          s->framed = true;
          s->frame = frameExtents(s->window);
          applyMove(*s);
        }
        if (s->state == SurfaceState::minimized) stateFromWindowManager(h, *s, SurfaceState::normal);
        focusIfWanted(*s);
        break;
      case UnmapNotify:
        s->mapped = false;
        if (s->state != SurfaceState::hidden && iconic(s->window))
          stateFromWindowManager(h, *s, SurfaceState::minimized);
        break;
      case PropertyNotify:
        if (e.xproperty.atom == frameExtents_) {
          s->frame = frameExtents(s->window);
          lastFrame_ = s->frame;
          break;
        }
        if (e.xproperty.atom == wmState_ && s->state != SurfaceState::hidden && s->state != SurfaceState::minimized)
          stateFromWindowManager(h, *s, maximized(s->window) ? SurfaceState::maximized : SurfaceState::normal);
        break;
      case ClientMessage:
        if (e.xclient.message_type == wmProtocols_ && static_cast<Atom>(e.xclient.data.l[0]) == wmDeleteWindow_)
          InputCloseRequested(h);
        break;
      case FocusIn:
        if (e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab && e.xfocus.detail != NotifyPointer)
          focusInputContext(*s);
        if (e.xfocus.serial < focusAsked_) break;
        if (e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab && e.xfocus.detail != NotifyPointer)
          InputActivated(h);
        break;
      case FocusOut:
        if (e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab && e.xfocus.detail != NotifyPointer &&
            e.xfocus.detail != NotifyInferior) {
          focusLeft_ = true;
          unfocusInputContext(*s);
        }
        break;
      case KeyPress:
      case KeyRelease:
        key(e.xkey, e.type == KeyPress);
        break;
      case ButtonPress:
      case ButtonRelease: {
        // Buttons 4 to 7 are the wheel: dropped.
        constexpr Button kButtons[] = {Button::left, Button::middle, Button::right};
        if (e.xbutton.button < 1 || e.xbutton.button > 3) break;
        pointerState(e.xbutton.state);
        InputButton({e.xbutton.x_root, e.xbutton.y_root}, kButtons[e.xbutton.button - 1], e.type == ButtonPress);
        break;
      }
      case MotionNotify:
        pointerState(e.xmotion.state);
        InputPointerMoved({e.xmotion.x_root, e.xmotion.y_root});
        break;
      default:
        break;
    }
  }

  Display* d_;
  XVisualInfo visual_;
  int screen_ = 0;
  XWindow root_ = 0;
  Colormap colormap_ = 0;
  GC gc_{};
  bool shm_ = false, focusLeft_ = false, ownsSelection_ = false;
  static constexpr std::chrono::microseconds kReadInterval{1000};
  std::chrono::steady_clock::time_point lastRead_{};
  unsigned long focusAsked_ = 0;  // the request that asked for the focus last
  RECT lastFrame_{};  // the frame extents the window manager gave last
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
       targets_ = 0, text_ = 0, incr_ = 0, transfer_ = 0, frameExtents_ = 0;
};

}  // namespace

std::unique_ptr<Backend> OpenX11(std::string& error) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    const char* name = std::getenv("DISPLAY");
    error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
    return nullptr;
  }
  XVisualInfo v{};
  // The buffers are XRGB words: a TrueColor visual of 24 or 32 bits with
  // that layout.
  bool found = false;
  for (int depth : {24, 32})
    if (!found && XMatchVisualInfo(d, DefaultScreen(d), depth, TrueColor, &v) && v.red_mask == 0xFF0000 &&
        v.green_mask == 0xFF00 && v.blue_mask == 0xFF)
      found = true;
  if (!found) {
    XCloseDisplay(d);
    error = "the X display has no 24- or 32-bit TrueColor visual";
    return nullptr;
  }
  XSetErrorHandler(onXError);
  XSetIOErrorHandler(onXIoError);
  return std::make_unique<X11>(d, v);
}

}  // namespace win::backend
