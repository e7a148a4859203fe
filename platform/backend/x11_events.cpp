// The X11 back-end's events: the pump, each event told to the core through
// input.h, keys looked up through the input method and its compositions.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend/x11_backend.h"

namespace win::backend::x11 {

void X11::Pump() {
  if (!d_) return;
  // A notice of the old place must not undo a move not yet asked.
  applyMoves();
  // Asked before every message taken, tens of thousands of times a
  // second while a run goes: the connection is read at most once a
  // millisecond unless Xlib holds events already.
  const auto now = std::chrono::steady_clock::now();
  if (!focusLeft_ && now - lastRead_ < kReadInterval && XEventsQueued(d_, QueuedAlready) == 0) {
    internal::presentDirty();
    // Presenting waits for the server and reads what came meanwhile into
    // Xlib's queue, off the connection a wait polls: those are taken now.
    if (XEventsQueued(d_, QueuedAlready) == 0) return;
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

void X11::handle(XEvent& e) {
  if (selectionWindow_ && e.xany.window == selectionWindow_) {
    selectionEvent(e);
    return;
  }
  if (e.xany.window == root_) {
    if (e.type == PropertyNotify && e.xproperty.atom == stacking_) keepOwnedAboveOwners();
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
      s->askAsFrame = false;
      InputConfigured(h, outer);
      break;
    }
    case MapNotify:
      s->mapped = true;
      if (!s->framed) {
        s->framed = true;
        if (const auto f = frameExtents(s->window)) s->frame = *f;
        keepFrameOnScreen(*s);
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
        // Told as none (or taken away) when the window manager lets a
        // window we hid go: the frame it had stays, and stays the one a
        // window placed meanwhile gets (placed with none, it would run off
        // the screen by the frame once framed).
        const auto f = frameExtents(s->window);
        if (!f || s->state == SurfaceState::hidden) break;
        s->frame = lastFrame_[s->sizable] = *f;
        frameSeen_[s->sizable] = true;
        // Told after the window was shown: its frame may now reach off the screen.
        if (s->framed) {
          keepFrameOnScreen(*s);
          applyMove(*s);
        }
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

// A window manager raises the window clicked or activated over all others,
// the normal windows it owns (documents the main window owns, which are no
// transients) among them: those go back above it, keeping their order, as
// owned windows stay above their owner. Only raises: every manager honours
// them.
void X11::keepOwnedAboveOwners() {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d_, root_, stacking_, 0, 4096, False, XA_WINDOW, &type, &format, &count, &after, &data) !=
          Success ||
      !data)
    return;
  std::vector<HWND> order;  // ours on the screen, the bottom first
  if (format == 32)
    for (unsigned long i = 0; i < count; ++i) {
      HWND h = surfaceOf(static_cast<XWindow>(reinterpret_cast<unsigned long*>(data)[i]));
      if (Surface* s = find(h); s && s->mapped) order.push_back(h);
    }
  XFree(data);
  // Raises asked and not all made yet: the stacking told is on its way.
  const auto now = std::chrono::steady_clock::now();
  if (raisingTop_ && now < raisingUntil_ && !order.empty() && order.back() != raisingTop_) return;
  raisingTop_ = nullptr;
  std::vector<HWND> wanted = order, moved;
  // From the top down, each owned one found below its owner goes just
  // above it: the lower ones end below those moved before them.
  for (std::size_t i = wanted.size(); i-- > 0;) {
    Surface* s = find(wanted[i]);
    auto owner = std::find(wanted.begin() + static_cast<std::ptrdiff_t>(i), wanted.end(), s->owner);
    if (!s->normal || owner == wanted.end()) continue;
    HWND h = wanted[i];
    moved.push_back(h);
    wanted.insert(owner + 1, h);
    wanted.erase(wanted.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (moved.empty()) return;
  // From the lowest one moved up, the ones above it raised again after it
  // (a dialog over the owner stays over its documents).
  std::size_t first = wanted.size();
  for (HWND h : moved)
    first = std::min<std::size_t>(first, static_cast<std::size_t>(std::find(wanted.begin(), wanted.end(), h) - wanted.begin()));
  // Raised as our own order has them: the stacking told may lag raises
  // already asked (the program's own, just before), and followed it would
  // put a window activated later under one activated before it.
  const std::vector<HWND>& ours = internal::topLevelOrder();  // the top first
  const auto depth = [&](HWND h) { return std::find(ours.begin(), ours.end(), h) - ours.begin(); };
  std::stable_sort(wanted.begin() + static_cast<std::ptrdiff_t>(first), wanted.end(),
                   [&](HWND a, HWND b) { return depth(a) > depth(b); });
  for (std::size_t i = first; i < wanted.size(); ++i) XRaiseWindow(d_, find(wanted[i])->window);
  raisingTop_ = wanted.back();
  raisingUntil_ = now + std::chrono::milliseconds(500);
}

// The MK_ state is the display's, whatever went to other programs.
void X11::pointerState(unsigned state) {
  InputAltState((state & Mod1Mask) != 0);
  InputPointerState({(state & ShiftMask) != 0, (state & ControlMask) != 0, (state & Button1Mask) != 0,
                     (state & Button2Mask) != 0, (state & Button3Mask) != 0});
}

void X11::key(const XKeyEvent& ev, bool down) {
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
  // A modifier whose release went elsewhere (Alt of an Alt+F4 the window
  // manager took) is up again before this key counts it.
  pointerState(ev.state);
  // Key codes below 97 are set-1 scan codes plus 8; the others take the
  // set-1 code of their key.
  UINT scan = ev.keycode >= 9 && ev.keycode <= 96 ? ev.keycode - 8 : MapVirtualKeyA(k.virtualKey, MAPVK_VK_TO_VSC);
  int character = -1;
  if (down)
    character = text.size() == 1 ? static_cast<unsigned char>(text[0]) : x11::characterOfKeysym(static_cast<std::uint32_t>(typed));
  InputKey(k.virtualKey, scan, k.extended, down, character);
}

// A key the method kept: a dead key starts a composition that shows its
// accent (underlined) until the next key finishes it, unless the
// method shows its compositions itself.
void X11::filteredKey(const XKeyEvent& ev) {
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

void X11::CancelComposition() {
  if (!focusIc_) return;
  if (char* left = XmbResetIC(focusIc_)) XFree(left);
  preedit_.clear();
  deadPending_ = false;
}

// Opened in the locale's character type (UTF-8 when the locale names
// another or none), which is then put back: the method keeps what it
// was opened with. Without one, keys are looked up as before.
void X11::openInputMethod() {
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
XIC X11::contextOf(Surface& s) {
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

void X11::focusInputContext(Surface& s) {
  XIC ic = contextOf(s);
  if (ic == focusIc_) return;
  if (focusIc_) {
    endComposition();
    XUnsetICFocus(focusIc_);
  }
  focusIc_ = ic;
  if (ic) XSetICFocus(ic);
}

void X11::unfocusInputContext(Surface& s) {
  if (!s.ic || s.ic != focusIc_) return;
  endComposition();
  XUnsetICFocus(focusIc_);
  focusIc_ = nullptr;
}

// A composition left behind (the keyboard went elsewhere) is dropped.
void X11::endComposition() {
  if (!preedit_.empty() || deadPending_) InputComposition("", 0);
  preedit_.clear();
  deadPending_ = false;
}

int X11::onPreeditStart(XIC, XPointer self, XPointer) {
  reinterpret_cast<X11*>(self)->preedit_.clear();
  return -1;  // no limit on its length
}

void X11::onPreeditDone(XIM, XPointer self, XPointer) {
  auto* x = reinterpret_cast<X11*>(self);
  x->preedit_.clear();
  x->caret_ = 0;
}

void X11::onPreeditDraw(XIM, XPointer self, XPointer data) {
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

void X11::onPreeditCaret(XIM, XPointer self, XPointer data) {
  auto* x = reinterpret_cast<X11*>(self);
  auto* c = reinterpret_cast<XIMPreeditCaretCallbackStruct*>(data);
  if (c->direction == XIMAbsolutePosition) x->caret_ = std::clamp(c->position, 0, static_cast<int>(x->preedit_.size()));
  c->position = x->caret_;
  x->showPreedit();
}

}  // namespace win::backend::x11
