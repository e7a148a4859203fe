// Top-level windows under a window manager (x11_smoke.sh --wm starts Xvfb and
// openbox): a window asked at a place shows its whole frame there, the
// window knows where its own area really is, a move and a resize of the
// frame reach the window, a change of size asked by the program keeps the
// frame in place, and the frame's close request becomes WM_CLOSE; a hidden
// window let go by the manager (its frame told as none) leaves the frame
// the program's windows are placed by as it was. A second
// X connection plays the user. Exits 0 when all holds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fw/core/sys.h"
#include "platform/win.h"
#include "platform/win/dwm.h"
#include "tests/x11/x11_queue.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

using x11queue::check;
using x11queue::failures;
using x11queue::got;
using x11queue::received;

win::LRESULT proc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  switch (m) {
    case win::WM_SIZE:
      received.push_back("size " + std::to_string(win::LOWORD(static_cast<std::uintptr_t>(l))) + "x" +
                         std::to_string(win::HIWORD(static_cast<std::uintptr_t>(l))));
      break;
    case win::WM_CLOSE:
      received.push_back("close");
      return 0;
    default:
      break;
  }
  return win::DefWindowProcA(h, m, w, l);
}

using x11queue::pumpUntil;

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

std::string text(const Box& b) {
  return std::to_string(b.x) + "," + std::to_string(b.y) + " " + std::to_string(b.w) + "x" + std::to_string(b.h);
}

// The client window of the given WM_NAME anywhere below the root.
Window findClient(Display* d, Window w, const char* title) {
  char* name = nullptr;
  bool match = XFetchName(d, w, &name) && name && std::strcmp(name, title) == 0;
  if (name) XFree(name);
  if (match) return w;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &n))
    for (unsigned i = 0; i < n && !found; ++i) found = findClient(d, children[i], title);
  if (children) XFree(children);
  return found;
}

// The root's child that holds w: the window manager's frame.
Window frameOf(Display* d, Window w) {
  for (;;) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    if (parent == root) return w;
    w = parent;
  }
}

Box rootBox(Display* d, Window w) {
  XWindowAttributes a{};
  XGetWindowAttributes(d, w, &a);
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  return {x - a.border_width, y - a.border_width, a.width + 2 * a.border_width, a.height + 2 * a.border_width};
}

Box windowBox(win::HWND h) {
  win::RECT r{};
  win::GetWindowRect(h, &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void sendToRoot(Display* d, Window w, const char* type, std::initializer_list<long> data) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, type, False);
  e.xclient.format = 32;
  int i = 0;
  for (long v : data)
    if (i < 5) e.xclient.data.l[i++] = v;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XSync(d, False);
}

// The window manager has handled everything sent before: it answers a
// request for the extents of a frame, here for a window of the user's own,
// in turn with the rest.
bool managerCaughtUp(Display* d) {
  static Window asking = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  XDeleteProperty(d, asking, extents);
  sendToRoot(d, asking, "_NET_REQUEST_FRAME_EXTENTS", {});
  return pumpUntil([&] {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, asking, extents, 0, 4, False, AnyPropertyType, &type, &format, &n, &after, &data);
    if (data) XFree(data);
    return type != 0;
  });
}

// The window manager and the program have both handled all there was: the
// manager first, then the program (a close request to the window, heard
// after everything the server sent it before), then the manager again for
// what the program asked of it meanwhile.
void settled(Display* d, Window client) {
  check(managerCaughtUp(d), "the window manager answers");
  const auto closes = std::count(received.begin(), received.end(), "close");
  x11queue::sendClose(d, client);
  check(pumpUntil([&] { return std::count(received.begin(), received.end(), "close") > closes; }),
        "the program hears a close request");
  check(managerCaughtUp(d), "the window manager answers again");
}

// The manager takes the steps in turn, each delayed a little on the
// server, as a hand's motion comes.
void drag(Display* d, int x, int y, int dx, int dy) {
  const int screen = DefaultScreen(d);
  XTestFakeMotionEvent(d, screen, x, y, 0);
  XTestFakeButtonEvent(d, 1, True, 0);
  for (int k = 1; k <= 5; ++k) XTestFakeMotionEvent(d, screen, x + dx * k / 5, y + dy * k / 5, 20);
  XTestFakeButtonEvent(d, 1, False, 20);
  XSync(d, False);
}

// One kind of top-level window through the whole round.
void windowCase(Display* user, const char* title, win::DWORD style, int x, int y) {
  win::HWND h = win::CreateWindowExA(0, "Framed", title, style, x, y, 320, 200, nullptr, nullptr, nullptr, nullptr);
  win::ShowWindow(h, win::SW_SHOWNORMAL);
  Window client = 0, frame = 0;
  const Box screen{0, 0, DisplayWidth(user, DefaultScreen(user)), DisplayHeight(user, DefaultScreen(user))};
  // Framed and placed: the frame is a window of its own at the place asked.
  pumpUntil([&] {
    client = findClient(user, DefaultRootWindow(user), title);
    frame = client ? frameOf(user, client) : 0;
    return frame && frame != client && rootBox(user, frame).x == x && rootBox(user, frame).y == y &&
           windowBox(h).x == rootBox(user, client).x && windowBox(h).y == rootBox(user, client).y;
  }, 20000);
  check(client && frame && frame != client, std::string(title) + ": the window manager frames the window (client " +
                                                std::to_string(client) + ", frame " + std::to_string(frame) + " at " +
                                                (frame ? text(rootBox(user, frame)) : "-") + ")");
  if (!client || !frame || frame == client) {
    win::DestroyWindow(h);
    return;
  }
  Box f = rootBox(user, frame), c = rootBox(user, client);
  check(f.x == x && f.y == y, std::string(title) + ": the frame's corner is where the window was asked: " + text(f));
  check(f.x >= 0 && f.y >= 0 && f.x + f.w <= screen.w && f.y + f.h <= screen.h,
        std::string(title) + ": the whole frame is on the screen: " + text(f));
  check(c.y > f.y, std::string(title) + ": the title bar is above the window: " + text(c));
  Box own = windowBox(h);
  check(own.x == c.x && own.y == c.y && own.w == 320 && own.h == 200,
        std::string(title) + ": the window knows its place " + text(own) + " (shown at " + text(c) + ")");

  // The user drags the title bar, once the manager has settled.
  settled(user, client);
  drag(user, f.x + f.w / 3, f.y + (c.y - f.y) / 2, 60, 40);
  pumpUntil([&] { return windowBox(h).x == c.x + 60 && windowBox(h).y == c.y + 40; });
  own = windowBox(h);
  check(own.x == c.x + 60 && own.y == c.y + 40 && own.w == 320,
        std::string(title) + ": a drag of the title bar moves the window: " + text(own));

  // The window manager resizes the frame: the window hears its new size.
  received.clear();
  const long gravityAndSize = 1 | (1L << 10) | (1L << 11);  // north-west, width and height given
  sendToRoot(user, client, "_NET_MOVERESIZE_WINDOW", {gravityAndSize, 0, 0, 400, 260});
  pumpUntil([] { return got("size 400x260"); });
  check(got("size 400x260"), std::string(title) + ": a resize by the frame reaches the window as WM_SIZE");
  own = windowBox(h);
  check(own.w == 400 && own.h == 260, std::string(title) + ": the window takes the new size: " + text(own));

  // A new size asked by the program keeps the frame where it is.
  f = rootBox(user, frame);
  win::SetWindowPos(h, nullptr, 0, 0, 300, 180, win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  pumpUntil([&] { return rootBox(user, client).w == 300 && windowBox(h).w == 300; });
  settled(user, client);
  Box after = rootBox(user, frame);
  check(after.x == f.x && after.y == f.y, std::string(title) + ": a new size leaves the frame in place: " +
                                              text(f) + " then " + text(after));
  check(windowBox(h).x == own.x && windowBox(h).y == own.y, std::string(title) + ": and the window where it was");

  // The rectangle the window reports, asked again (a layout saved and
  // restored), leaves it where it is: no step by the frame's size.
  settled(user, client);
  const Box before = windowBox(h), frameBefore = rootBox(user, frame);
  win::SetWindowPos(h, nullptr, before.x, before.y, before.w, before.h, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  win::SetWindowPos(h, nullptr, before.x + 1, before.y, before.w, before.h, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  pumpUntil([&] { return rootBox(user, client).x == before.x + 1; });
  win::SetWindowPos(h, nullptr, before.x, before.y, before.w, before.h, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  pumpUntil([&] { return rootBox(user, client).x == before.x && rootBox(user, client).y == before.y; });
  check(rootBox(user, client).x == before.x && rootBox(user, client).y == before.y,
        std::string(title) + ": its own rectangle asked again keeps it at " + text(before) + ", shown at " +
            text(rootBox(user, client)));
  check(rootBox(user, frame).y == frameBefore.y, std::string(title) + ": and its frame where it was");

  // Asked past the screen's bottom right, or larger than the screen, the
  // whole frame stays on the screen.
  const Box asks[] = {{screen.w - 100, screen.h - 50, 320, 200}, {0, 30, screen.w + 200, screen.h + 100}};
  for (const Box& a : asks) {
    win::SetWindowPos(h, nullptr, a.x, a.y, a.w, a.h, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    pumpUntil([&] {
      const Box now = rootBox(user, frame);
      return now.x >= 0 && now.y >= 0 && now.x + now.w <= screen.w && now.y + now.h <= screen.h;
    });
    pumpUntil([&] {
      return windowBox(h).w == rootBox(user, client).w && windowBox(h).h == rootBox(user, client).h;
    });
    settled(user, client);
    const Box now = rootBox(user, frame);
    check(now.x >= 0 && now.y >= 0 && now.x + now.w <= screen.w && now.y + now.h <= screen.h,
          std::string(title) + ": asked at " + text(a) + ", the whole frame stays on the screen: " + text(now));
    check(windowBox(h).w == rootBox(user, client).w && windowBox(h).h == rootBox(user, client).h,
          std::string(title) + ": and the window knows the size it got: " + text(windowBox(h)));
  }

  // The frame's close button: the window manager sends WM_DELETE_WINDOW.
  received.clear();
  sendToRoot(user, client, "_NET_CLOSE_WINDOW", {0, 2});
  check(pumpUntil([] { return got("close"); }), std::string(title) + ": the frame's close gives WM_CLOSE");
  win::DestroyWindow(h);
  pumpUntil([&] { return !x11queue::windowTitled(user, title); });
}

// The first window of the program, placed before any frame was seen: asked
// flush with the screen's right edge, it shows its whole frame, and the
// frame's bounds are told.
void frameCase(Display* user) {
  const Box screen{0, 0, DisplayWidth(user, DefaultScreen(user)), DisplayHeight(user, DefaultScreen(user))};
  const char* title = "Flush right";
  win::HWND h = win::CreateWindowExA(0, "Framed", title, win::WS_OVERLAPPEDWINDOW, screen.w - 320, 100, 320, 200,
                                     nullptr, nullptr, nullptr, nullptr);
  auto bounds = [h] {
    win::RECT r{};
    win::DwmGetWindowAttribute(h, win::DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof r);
    return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
  };
  win::ShowWindow(h, win::SW_SHOWNORMAL);
  Window client = 0, frame = 0;
  bool inside = pumpUntil([&] {
    client = findClient(user, DefaultRootWindow(user), title);
    frame = client ? frameOf(user, client) : 0;
    if (!frame || frame == client) return false;
    const Box f = rootBox(user, frame);
    return f.x >= 0 && f.y >= 0 && f.x + f.w <= screen.w && f.y + f.h <= screen.h;
  });
  check(inside, "a window flush with the right edge shows its whole frame: " +
                    (frame ? text(rootBox(user, frame)) : std::string("not framed")));
  if (frame) {
    pumpUntil([&] { return text(bounds()) == text(rootBox(user, frame)); });
    check(text(bounds()) == text(rootBox(user, frame)),
          "the frame's bounds are the frame's: " + text(bounds()) + " for " + text(rootBox(user, frame)));
  }
  win::DestroyWindow(h);
  pumpUntil([&] { return !x11queue::windowTitled(user, title); });
}

// The extents (left, right, top, bottom) the window manager tells for the
// window, or none.
std::vector<long> extentsOf(Display* d, Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> out;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_FRAME_EXTENTS", False), 0, 4, False, XA_CARDINAL, &type, &format,
                         &n, &after, &data) == Success &&
      data && n == 4 && format == 32)
    out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + 4);
  if (data) XFree(data);
  return out;
}

// A hidden window is let go by the window manager, which then tells its
// frame as none: no frame of the program's windows. A window shown after
// it is told the frame it will get before the manager frames it (the front
// end places windows by it), and the hidden one, shown again at the
// screen's foot, keeps its whole frame on the screen.
void letGoCase(Display* user) {
  const Box screen{0, 0, DisplayWidth(user, DefaultScreen(user)), DisplayHeight(user, DefaultScreen(user))};
  const char* title = "Let go";
  win::HWND h = win::CreateWindowExA(0, "Framed", title, win::WS_OVERLAPPEDWINDOW, 100, 100, 320, 200, nullptr,
                                     nullptr, nullptr, nullptr);
  win::ShowWindow(h, win::SW_SHOWNORMAL);
  Window client = 0;
  std::vector<long> told;
  const bool framed = pumpUntil([&] {
    client = findClient(user, DefaultRootWindow(user), title);
    told = client && frameOf(user, client) != client ? extentsOf(user, client) : std::vector<long>{};
    return told.size() == 4 && told[2] > 0;
  });
  check(framed, "let go: the window manager frames the window");
  if (!framed) {
    win::DestroyWindow(h);
    return;
  }
  win::ShowWindow(h, win::SW_HIDE);
  const bool none = pumpUntil([&] {
    const std::vector<long> e = extentsOf(user, client);
    return e.empty() || std::all_of(e.begin(), e.end(), [](long v) { return v == 0; });
  });
  check(none, "let go: the window manager tells a hidden window's frame as none");
  settled(user, client);

  const char* next = "Shown after";
  win::HWND b = win::CreateWindowExA(0, "Framed", next, win::WS_OVERLAPPEDWINDOW, 500, 100, 320, 200, nullptr,
                                     nullptr, nullptr, nullptr);
  win::ShowWindow(b, win::SW_SHOWNORMAL);
  win::RECT r{};
  win::DwmGetWindowAttribute(b, win::DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof r);
  const Box bounds{r.left, r.top, r.right - r.left, r.bottom - r.top};
  check(bounds.w == 320 + told[0] + told[1] && bounds.h == 200 + told[2] + told[3],
        "let go: a window shown next is told a frame around it before it is framed: " + text(bounds));

  win::SetWindowPos(h, nullptr, 0, screen.h - 200, 320, 200,
                    win::SWP_NOZORDER | win::SWP_NOACTIVATE | win::SWP_SHOWWINDOW);
  auto inside = [&] {
    const Window frame = frameOf(user, client);
    const Box f = rootBox(user, frame);
    return frame != client && f.x >= 0 && f.y >= 0 && f.x + f.w <= screen.w && f.y + f.h <= screen.h;
  };
  pumpUntil(inside);
  settled(user, client);
  check(inside(), "let go: shown again at the screen's foot, the whole frame is on the screen: " +
                      text(rootBox(user, frameOf(user, client))));
  win::DestroyWindow(b);
  win::DestroyWindow(h);
  pumpUntil([&] { return !x11queue::windowTitled(user, title) && !x11queue::windowTitled(user, next); });
}

// The frames of the given clients, the bottom first, as the server stacks
// them (the root's children).
std::vector<Window> stackedFrames(Display* d, const std::vector<Window>& clients) {
  std::vector<Window> frames, out;
  for (Window c : clients) frames.push_back(frameOf(d, c));
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n))
    for (unsigned i = 0; i < n; ++i)
      if (std::find(frames.begin(), frames.end(), children[i]) != frames.end()) out.push_back(children[i]);
  if (children) XFree(children);
  return out;
}

// Windows an owner keeps above it stay in the order the program has them
// when the stacking the window manager tells lags the raises asked of it
// (told with the owner on top, the owned ones under it the other way
// round): the last one shown stays on top.
void ownedOrderCase(Display* user) {
  win::HWND owner = win::CreateWindowExA(0, "Framed", "Owner", win::WS_OVERLAPPEDWINDOW, 40, 40, 600, 450, nullptr,
                                         nullptr, nullptr, nullptr);
  win::ShowWindow(owner, win::SW_SHOWNORMAL);
  const char* titles[] = {"Owned 1", "Owned 2", "Owned 3"};
  std::vector<win::HWND> owned;
  for (int i = 0; i < 3; ++i) {
    owned.push_back(win::CreateWindowExA(0, "Framed", titles[i], win::WS_OVERLAPPEDWINDOW, 100 + 60 * i, 100 + 60 * i,
                                         300, 200, owner, nullptr, nullptr, nullptr));
    win::ShowWindow(owned.back(), win::SW_SHOWNORMAL);
  }
  std::vector<Window> clients;  // the owner, then the owned ones as shown
  const bool framed = pumpUntil([&] {
    clients.clear();
    for (const char* t : {"Owner", titles[0], titles[1], titles[2]})
      if (Window c = findClient(user, DefaultRootWindow(user), t); c && frameOf(user, c) != c) clients.push_back(c);
    return clients.size() == 4;
  });
  check(framed, "owned order: the window manager frames the four windows");
  if (framed) {
    std::vector<Window> expected;
    for (Window c : clients) expected.push_back(frameOf(user, c));
    settled(user, clients.back());
    check(stackedFrames(user, clients) == expected, "owned order: shown one after another, each over the last");
    // The program holds back from a stacking told within half a second of
    // its own last raises: the told one comes after that.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const Window told[] = {clients[3], clients[2], clients[1], clients[0]};
    XChangeProperty(user, DefaultRootWindow(user), XInternAtom(user, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(told), 4);
    XSync(user, False);
    settled(user, clients.back());
    const std::vector<Window> now = stackedFrames(user, clients);
    std::string names;
    for (Window f : now)
      for (std::size_t i = 0; i < expected.size(); ++i)
        if (expected[i] == f) names += std::string(i == 0 ? "Owner" : titles[i - 1]) + "; ";
    check(now == expected, "owned order: a late stacking leaves the owner under the owned ones as shown, the bottom "
                           "first: " + names);
  }
  for (win::HWND h : owned) win::DestroyWindow(h);
  win::DestroyWindow(owner);
  pumpUntil([&] { return !x11queue::windowTitled(user, "Owner"); });
}

}  // namespace

int main() {
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = "Framed";
  wc.hbrBackground = win::CreateSolidBrush(win::RGB(200, 220, 255));
  win::RegisterClassA(&wc);
  Display* user = XOpenDisplay(nullptr);
  if (!user) {
    std::fprintf(stderr, "FAILED: a second connection to the display\n");
    return 1;
  }
  // The manager is ready once it frames a window of its own test: one
  // shown again every second until it does.
  Window probe = XCreateSimpleWindow(user, DefaultRootWindow(user), 600, 500, 40, 40, 0, 0, 0);
  win::DWORD shown = 0;
  bool managed = pumpUntil([&] {
    if (win::GetTickCount() - shown >= 1000) {
      XUnmapWindow(user, probe);
      XMapWindow(user, probe);
      XSync(user, False);
      shown = win::GetTickCount();
    }
    return frameOf(user, probe) != probe;
  });
  XDestroyWindow(user, probe);
  XSync(user, False);
  if (!managed) {
    std::fprintf(stderr, "FAILED: no window manager came up\n");
    return 1;
  }
  frameCase(user);
  letGoCase(user);
  ownedOrderCase(user);
  // The main window at the screen's corner, a dialog and a tool window.
  windowCase(user, "Main at the corner", win::WS_OVERLAPPEDWINDOW, 0, 0);
  windowCase(user, "Dialog", win::WS_POPUP | win::WS_CAPTION | win::WS_SYSMENU, 200, 150);
  windowCase(user, "Tool", win::WS_OVERLAPPED | win::WS_CAPTION | win::WS_SYSMENU | win::WS_THICKFRAME, 90, 300);
  XCloseDisplay(user);
  vsysRunExitHandlers();
  if (failures) return 1;
  std::printf("x11 window manager: all checks hold\n");
  return 0;
}
