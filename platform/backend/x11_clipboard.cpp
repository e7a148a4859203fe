// The X11 back-end's CLIPBOARD selection: our text served to other programs,
// and theirs read, piece by piece when sent incrementally.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend/x11_backend.h"

namespace win::backend::x11 {

// The CLIPBOARD selection, owned by a window that is never mapped while
// the program owns the clipboard. PRIMARY is not served.
void X11::OwnClipboard(bool owned) {
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
// that arrive meanwhile wait in the queue for the next pump. An owner
// that does not answer keeps the program waiting only until the user types
// on: the paste is then given up, and the keys go where they were typed.
std::optional<std::string> X11::ForeignClipboardText() {
  if (!d_ || ownsSelection_) return std::nullopt;
  XWindow owner = XGetSelectionOwner(d_, clipboard_);
  if (!owner || owner == selectionWindow_) return std::nullopt;
  for (Atom target : {utf8String_, static_cast<Atom>(XA_STRING)}) {
    std::optional<std::string> raw = convertSelection(target);
    if (keyEndedWait_) return std::nullopt;
    if (!raw) continue;
    std::string text = target == utf8String_ ? x11::cp1252FromUtf8(*raw) : x11::latin1From1252(*raw);
    return x11::crlfFromLf(text);
  }
  return std::nullopt;
}

XWindow X11::selectionWindow() {
  if (!selectionWindow_) {
    selectionWindow_ = XCreateSimpleWindow(d_, root_, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(d_, selectionWindow_, PropertyChangeMask);
  }
  return selectionWindow_;
}

// The longest property one request carries.
std::size_t X11::maxPropertyBytes() {
  long words = XExtendedMaxRequestSize(d_);
  if (words <= 0) words = XMaxRequestSize(d_);
  return static_cast<std::size_t>(words) * 4 - 256;
}

// Another program asks for our text: rendered now (a delayed format
// through WM_RENDERFORMAT), with LF line ends.
void X11::serveSelection(const XSelectionRequestEvent& rq) {
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

void X11::selectionEvent(const XEvent& e) {
  if (e.type == SelectionRequest) {
    serveSelection(e.xselectionrequest);
  } else if (e.type == SelectionClear && e.xselectionclear.selection == clipboard_ && ownsSelection_) {
    ownsSelection_ = false;
    InputClipboardLost();
  }
}

Bool X11::isAwaited(Display*, XEvent* e, XPointer arg) {
  auto* a = reinterpret_cast<Awaited*>(arg);
  if (e->type == KeyPress && a->keysFrom && e->xkey.serial >= a->keysFrom) a->keyed = true;
  if (e->type != a->type) return False;
  if (e->type == SelectionNotify) return e->xselection.requestor == a->window && e->xselection.target == a->atom;
  return e->xproperty.window == a->window && e->xproperty.atom == a->atom && e->xproperty.state == PropertyNewValue;
}

// Waits up to a second for the event, leaving others queued; a wait for
// another program ends at the first key typed meanwhile.
bool X11::await(Awaited a, XEvent& e) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  keyEndedWait_ = false;
  for (;;) {
    if (XCheckIfEvent(d_, &e, isAwaited, reinterpret_cast<XPointer>(&a))) return true;
    if (a.keyed) {
      keyEndedWait_ = true;
      return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{ConnectionNumber(d_), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
  }
}

// Reads and deletes the transfer property: its type and bytes.
bool X11::takeProperty(Atom& type, std::string& bytes) {
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
std::optional<std::string> X11::convertSelection(Atom target) {
  XWindow w = selectionWindow();
  XDeleteProperty(d_, w, transfer_);
  const unsigned long asked = NextRequest(d_);
  XConvertSelection(d_, clipboard_, target, transfer_, w, CurrentTime);
  XEvent e;
  if (!await({w, SelectionNotify, target, asked}, e) || e.xselection.property == 0) return std::nullopt;
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
      if (!await({w, PropertyNotify, transfer_, asked}, e)) return std::nullopt;
      if (!takeProperty(type, piece)) continue;
      if (piece.empty()) break;
      bytes += piece;
    }
  }
  if (type != target) return std::nullopt;
  return bytes;
}

}  // namespace win::backend::x11
