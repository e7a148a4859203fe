// The X11 back-end: one X window per surface, its place and frame under the
// window manager, its state, the keyboard focus; and the opening of the display.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend/x11_backend.h"

namespace win::backend::x11 {

int xErrors = 0;

namespace {

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

}  // namespace

X11::X11(Display* d, const XVisualInfo& v) : d_(d), visual_(v) {
  screen_ = DefaultScreen(d_);
  root_ = RootWindow(d_, screen_);
  // The screen's own colormap where the visual is the screen's: screen
  // grabbers (xwd) read windows with a colormap that is not installed
  // through it and showed such pop-ups black.
  colormap_ = visual_.visual == DefaultVisual(d_, screen_) ? DefaultColormap(d_, screen_)
                                                            : XCreateColormap(d_, root_, visual_.visual, AllocNone);
  gc_ = XCreateGC(d_, root_, 0, nullptr);
  // The program's windows form one group under a window never shown: a
  // dialog owned by no window on the screen is transient for the group.
  leader_ = XCreateSimpleWindow(d_, root_, 0, 0, 1, 1, 0, 0, 0);
  // Its property changes tell the server's time (serverTime).
  XSelectInput(d_, leader_, PropertyChangeMask);
  for (auto& [name, atom] : atomNames()) *atom = XInternAtom(d_, name, False);
  // The window manager's stacking, to keep owned windows above their owner.
  XSelectInput(d_, root_, PropertyChangeMask);
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(d_, True, &detectable);
  shm_ = useShm();
  openInputMethod();
}

SIZE X11::ScreenSize() {
  if (!d_) return {1024, 768};
  return {DisplayWidth(d_, screen_), DisplayHeight(d_, screen_)};
}

void X11::CreateSurface(HWND surface, const SurfaceDesc& desc) {
  x11::WindowKind kind = x11::kindOfWindow(desc.style, desc.exStyle, desc.owner != nullptr);
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
  s = {xw, SurfaceState::hidden, false, false, kind.overrideRedirect, kind.type == x11::WindowType::dialog,
       false, desc.outer, {desc.outer.left, desc.outer.top}, {}, nullptr, nullptr};
  s.normal = kind.type == x11::WindowType::normal && !kind.overrideRedirect;
  s.fixedSize = kind.fixedSize;
  s.sizable = !kind.motif.flags || (kind.motif.functions & x11::kMwmFuncResize) != 0;
  byWindow_[xw] = surface;
  XSetWMProtocols(d_, xw, &wmDeleteWindow_, 1);
  XClassHint hint{program_invocation_short_name, program_invocation_short_name};
  XSetClassHint(d_, xw, &hint);
  Atom type = kind.type == x11::WindowType::utility  ? typeUtility_
              : kind.type == x11::WindowType::dialog ? typeDialog_
                                                     : typeNormal_;
  XChangeProperty(d_, xw, windowType_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
  // The frame's boxes and sizing, read by the window manager when it
  // first maps the window.
  if (kind.motif.flags) {
    long motif[5] = {kind.motif.flags, kind.motif.functions, kind.motif.decorations, 0, 0};
    XChangeProperty(d_, xw, motifHints_, motifHints_, 32, PropModeReplace, reinterpret_cast<unsigned char*>(motif), 5);
  }
  setHints(surface, s);
  setWmHints(s, NormalState);
  SetSurfaceTitle(surface, desc.title);
  SetSurfaceOwner(surface, desc.owner);
  if (cursor_) XDefineCursor(d_, xw, cursor_);
  askFrameExtents(s);
}

// The first window of a kind of frame (with or without resizing, whose
// handle makes it taller) asks the window manager what its frame will be:
// a place worked out before the window is framed takes the extents last
// given to a frame of its kind.
void X11::askFrameExtents(const Surface& s) {
  if (s.overrideRedirect || frameSeen_[s.sizable] || frameAsked_[s.sizable]) return;
  frameAsked_[s.sizable] = true;
  if (!managerSupports(requestFrameExtents_)) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = s.window;
  e.xclient.message_type = requestFrameExtents_;
  e.xclient.format = 32;
  XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d_);
  if (!await({s.window, PropertyNotify, frameExtents_}, e)) return;
  const std::optional<RECT> f = frameExtents(s.window);
  if (f && (f->left > 0 || f->top > 0 || f->right > 0 || f->bottom > 0)) {
    lastFrame_[s.sizable] = *f;
    frameSeen_[s.sizable] = true;
  }
}

// Whether the running window manager says it does that (_NET_SUPPORTED).
bool X11::managerSupports(Atom feature) {
  const std::vector<Atom> supported = atomList(root_, supported_);
  return std::find(supported.begin(), supported.end(), feature) != supported.end();
}

void X11::DestroySurface(HWND surface) {
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

void X11::ShowSurface(HWND surface, SurfaceState state, bool activate) {
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
        setWmHints(*s, IconicState);
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
        setWmHints(*s, NormalState);
        writeStates(*s);
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

void X11::MoveSurface(HWND surface, const RECT& outer) {
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

// Around the rectangle the core holds: a place asked before the window
// manager told the window's own is the frame's corner, so the whole frame
// lies right of and below it.
RECT X11::SurfaceFrame(HWND surface) {
  Surface* s = find(surface);
  if (!s || s->overrideRedirect) return {};
  const RECT f = frameOf(*s);
  if (s->askAsFrame) return {0, 0, f.left + f.right, f.top + f.bottom};
  return f;
}

// The frame's extents once framed, else those the window manager gave last
// to a frame of its kind, else to any (a window manager's guess for a
// window it has not framed yet may lack the title bar).
RECT X11::frameOf(const Surface& s) const {
  if (s.framed) return s.frame;
  return lastFrame_[frameSeen_[s.sizable] ? s.sizable : !s.sizable];
}

void X11::RestackSurface(HWND surface, HWND above) {
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

void X11::SetSurfaceTitle(HWND surface, const std::string& title) {
  Surface* s = find(surface);
  if (!s) return;
  std::string utf8 = x11::utf8From1252(title), latin1 = x11::latin1From1252(title);
  XChangeProperty(d_, s->window, netWmName_, utf8String_, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  XChangeProperty(d_, s->window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
}

void X11::SetSurfaceOwner(HWND surface, HWND owner) {
  Surface* s = find(surface);
  if (!s) return;
  s->owner = owner;
  setTransient(*s);
}

// A dialog whose owner has no window on the screen (the program's hidden
// window owns its dialogs and notices) stays above the whole program:
// transient for the root, that is for its group; so does a modal window of
// any kind, which a window manager hands the activation its group gets
// only when it is transient for it.
// A normal window its owner keeps below it (a document the main window
// owns) is no transient: a window manager minimises a transient's owner
// with it, and with it every window the owner has. The platform raises
// such a window over its owner itself.
void X11::setTransient(Surface& s) {
  if (Surface* o = find(s.owner); o && !s.normal)
    XSetTransientForHint(d_, s.window, o->window);
  else if ((s.owner && s.dialog) || s.modal)
    XSetTransientForHint(d_, s.window, root_);
  else
    XDeleteProperty(d_, s.window, XA_WM_TRANSIENT_FOR);
}

// A window shown is told through the window manager, which keeps the
// state; one not shown yet carries it in its property (see ShowSurface).
void X11::SetSurfaceModal(HWND surface, bool modal) {
  Surface* s = find(surface);
  if (!s || s->overrideRedirect || s->modal == modal) return;
  s->modal = modal;
  setTransient(*s);
  // Until it is seen mapped the window manager may not have read it yet.
  if (!s->mapped) writeStates(*s);
  if (!s->mapAsked) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = s->window;
  e.xclient.message_type = wmState_;
  e.xclient.format = 32;
  e.xclient.data.l[0] = modal ? 1 : 0;  // add or remove
  e.xclient.data.l[1] = static_cast<long>(modalState_);
  e.xclient.data.l[3] = 1;
  XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// The state asked at the next map, and the program's group.
void X11::setWmHints(Surface& s, int initialState) {
  XWMHints hints{};
  hints.flags = StateHint | WindowGroupHint;
  hints.initial_state = initialState;
  hints.window_group = leader_;
  XSetWMHints(d_, s.window, &hints);
}

void X11::GrabPointer(HWND surface) {
  Surface* s = find(surface);
  if (!s) {
    XUngrabPointer(d_, CurrentTime);
    return;
  }
  XGrabPointer(d_, s->window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, 0, 0, CurrentTime);
}

void X11::GrabKeyboard(HWND surface) {
  Surface* s = find(surface);
  if (!s) {
    XUngrabKeyboard(d_, CurrentTime);
    return;
  }
  // Our own windows keep their keys (owner events); keys meant for
  // another program's windows come to the menu's owner.
  XGrabKeyboard(d_, s->window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
}

void X11::FocusSurface(HWND surface) {
  if (Surface* s = find(surface)) {
    if (s->mapped && s->modal) askActivation(*s);
    wantFocus(*s);
    focusIfWanted(*s);
  }
}

// The window manager draws active, and keeps active, the window it
// activated itself: a modal window the program activates while the input
// focus is elsewhere (taking the activation back from a window it blocks,
// which the manager just activated) is asked of it, as an application asks
// (source 1), at the server's time. Without a manager the input focus alone
// does it. Other windows are not asked: a manager raises the window it is
// asked to activate, and a focus change told late (the manager focusing
// each window the program opens, one after another) would raise a window
// opened earlier over those opened after it.
void X11::askActivation(const Surface& s) {
  if (s.overrideRedirect) return;
  XWindow now = 0;
  int revert = 0;
  XGetInputFocus(d_, &now, &revert);
  if (now == s.window || !managerSupports(activeWindow_)) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = s.window;
  e.xclient.message_type = activeWindow_;
  e.xclient.format = 32;
  e.xclient.data.l[0] = 1;
  e.xclient.data.l[1] = static_cast<long>(serverTime());
  e.xclient.data.l[2] = static_cast<long>(surfaceOf(now) ? now : 0);  // our window active now
  XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// The server's time now: the time of a change made to a property of the
// group's leader (none when the change is not told in time).
Time X11::serverTime() {
  XChangeProperty(d_, leader_, timeProbe_, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XFlush(d_);
  XEvent e{};
  return await({leader_, PropertyNotify, timeProbe_}, e) ? e.xproperty.time : CurrentTime;
}

void X11::Flush() {
  if (!d_) return;
  applyMoves();
  XFlush(d_);
  // Sending reads what is waiting on the connection into Xlib's queue,
  // where the wait that follows would not see it.
  if (XEventsQueued(d_, QueuedAlready) > 0) Pump();
}

void X11::Shutdown() {
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
  XDestroyWindow(d_, leader_);
  XFreeGC(d_, gc_);
  XCloseDisplay(d_);
  d_ = nullptr;
}

std::vector<std::pair<const char*, Atom*>> X11::atomNames() {
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
          {"_MOTIF_WM_HINTS", &motifHints_},
          {"_NET_SUPPORTED", &supported_},
          {"_NET_REQUEST_FRAME_EXTENTS", &requestFrameExtents_},
          {"_NET_WM_STATE", &wmState_},
          {"_NET_FRAME_EXTENTS", &frameExtents_},
          {"_NET_WM_STATE_MAXIMIZED_VERT", &maxVert_},
          {"_NET_WM_STATE_MAXIMIZED_HORZ", &maxHorz_},
          {"_NET_WM_USER_TIME", &userTime_},
          {"_NET_CLIENT_LIST_STACKING", &stacking_},
          {"_NET_WM_STATE_MODAL", &modalState_},
          {"_NET_ACTIVE_WINDOW", &activeWindow_},
          {"WEXLIN_TIME", &timeProbe_}};
}

Surface* X11::find(HWND surface) {
  auto it = surfaces_.find(surface);
  return it == surfaces_.end() ? nullptr : &it->second;
}

HWND X11::surfaceOf(XWindow w) {
  auto it = byWindow_.find(w);
  return it == byWindow_.end() ? nullptr : it->second;
}

// Where the frame's corner goes for the rectangle asked, and the size
// of the window's own area: a managed window keeps its whole frame on
// the screen (a frame larger than the screen is made smaller), so that
// a saved or computed place never puts a window out of the user's reach.
// The extents of a frame not made yet are taken as the last seen.
SIZE X11::placeFrame(Surface& s) {
  const RECT f = frameOf(s);
  s.frameAt = s.askAsFrame ? POINT{s.outer.left, s.outer.top} : POINT{s.outer.left - f.left, s.outer.top - f.top};
  const auto [width, height] = sizeAsked(s);
  if (s.overrideRedirect) return {width, height};
  const SIZE screen = ScreenSize();
  const LONG frameWidth = width + f.left + f.right, frameHeight = height + f.top + f.bottom;
  s.frameAt.x = std::clamp<LONG>(s.frameAt.x, 0, std::max<LONG>(0, screen.cx - frameWidth));
  s.frameAt.y = std::clamp<LONG>(s.frameAt.y, 0, std::max<LONG>(0, screen.cy - frameHeight));
  return {width, height};
}

// The window's own size as asked of the server: a managed window's frame
// no larger than the screen.
SIZE X11::sizeAsked(const Surface& s) {
  LONG width = std::max<LONG>(1, s.outer.right - s.outer.left);
  LONG height = std::max<LONG>(1, s.outer.bottom - s.outer.top);
  if (s.overrideRedirect) return {width, height};
  const RECT f = frameOf(s);
  const SIZE screen = ScreenSize();
  width = std::max<LONG>(1, std::min<LONG>(width, screen.cx - f.left - f.right));
  height = std::max<LONG>(1, std::min<LONG>(height, screen.cy - f.top - f.bottom));
  return {width, height};
}

// A window placed before its frame's extents were known may find its frame
// partly off the screen once framed: it is placed again, wholly on it.
void X11::keepFrameOnScreen(Surface& s) {
  if (s.overrideRedirect || s.movePending || s.state != SurfaceState::normal) return;
  XWindowAttributes a{};
  if (!XGetWindowAttributes(d_, s.window, &a)) return;
  const RECT own = rootRect(s.window, a.width, a.height), &f = s.frame;
  const SIZE screen = ScreenSize();
  if (own.left - f.left >= 0 && own.top - f.top >= 0 && own.right + f.right <= screen.cx &&
      own.bottom + f.bottom <= screen.cy)
    return;
  s.outer = own;
  s.askAsFrame = false;
  s.movePending = true;
}

void X11::applyMove(Surface& s) {
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

void X11::applyMoves() {
  for (auto& [h, s] : surfaces_) applyMove(s);
}

// The focus goes to the window asked last, once it is mapped: one asked
// before it and mapped after it would take the activation back.
void X11::wantFocus(Surface& s) {
  for (auto& [h, other] : surfaces_) other.wantFocus = false;
  s.wantFocus = true;
}

// A focus change the server made before it saw our last request is out
// of date: followed, two windows would hand the activation back and
// forth.
void X11::setFocus(XWindow w) {
  focusAsked_ = NextRequest(d_);
  XSetInputFocus(d_, w, RevertToParent, CurrentTime);
}

void X11::focusIfWanted(Surface& s) {
  if (!s.wantFocus || !s.mapped) return;
  s.wantFocus = false;
  setFocus(s.window);
}

// Position as asked (USPosition) and the tracking sizes of the window.
void X11::setHints(HWND surface, Surface& s) {
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
  if (s.fixedSize) {
    // Its own size alone: the window manager then offers neither resizing
    // nor maximizing (a new size asked by the program comes with new hints).
    const SIZE size = sizeAsked(s);
    hints->min_width = hints->max_width = static_cast<int>(size.cx);
    hints->min_height = hints->max_height = static_cast<int>(size.cy);
  } else if (internal::findWindow(surface) && internal::askMinMax(surface, mmi)) {
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

// The states a window not shown yet carries into its showing.
void X11::writeStates(Surface& s) {
  std::vector<Atom> states;
  if (s.state == SurfaceState::maximized) states = {maxVert_, maxHorz_};
  if (s.modal) states.push_back(modalState_);
  XChangeProperty(d_, s.window, wmState_, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(states.data()), static_cast<int>(states.size()));
}

// Maximizing or restoring a mapped window goes through the window
// manager.
void X11::sendState(Surface& s, bool maximize) {
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

RECT X11::rootRect(XWindow w, int width, int height) {
  int x = 0, y = 0;
  XWindow child = 0;
  XTranslateCoordinates(d_, w, root_, 0, 0, &x, &y, &child);
  return {x, y, x + width, y + height};
}

// The frame the window manager put around the window; nothing while it
// tells none (not framed yet, or let go when the window was hidden).
std::optional<RECT> X11::frameExtents(XWindow w) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<RECT> r;
  if (XGetWindowProperty(d_, w, frameExtents_, 0, 4, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
          Success &&
      data && n == 4 && format == 32) {
    const long* v = reinterpret_cast<long*>(data);
    auto extent = [](long x) { return static_cast<LONG>(std::clamp(x, 0L, 4096L)); };
    r = RECT{extent(v[0]), extent(v[2]), extent(v[1]), extent(v[3])};
  }
  if (data) XFree(data);
  return r;
}

bool X11::iconic(XWindow w) {
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

bool X11::maximized(XWindow w) {
  const std::vector<Atom> state = atomList(w, wmState_);
  return std::find(state.begin(), state.end(), maxVert_) != state.end() &&
         std::find(state.begin(), state.end(), maxHorz_) != state.end();
}

// A property that lists atoms (none when it is not there).
std::vector<Atom> X11::atomList(XWindow w, Atom property) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<Atom> atoms;
  if (XGetWindowProperty(d_, w, property, 0, 4096, False, XA_ATOM, &type, &format, &n, &after, &data) == Success &&
      data && format == 32)
    atoms.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + n);
  if (data) XFree(data);
  return atoms;
}

// The window manager changed the state: tell the core, remembering it
// first so that the core's answer does not ask for it again.
void X11::stateFromWindowManager(HWND h, Surface& s, SurfaceState state) {
  if (s.state == state) return;
  s.state = state;
  InputStateChanged(h, state);
}

}  // namespace win::backend::x11

namespace win::backend {

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
  XSetErrorHandler(x11::onXError);
  XSetIOErrorHandler(x11::onXIoError);
  return std::make_unique<x11::X11>(d, v);
}

}  // namespace win::backend
