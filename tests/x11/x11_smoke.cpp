// The X11 back-end on a real X server (x11_smoke.sh starts Xvfb): a window
// shows its buffer pixel for pixel, takes a click and a key injected with
// XTest, carries its title as UTF-8 and turns WM_DELETE_WINDOW into
// WM_CLOSE; a menu opens by a press on its title and gives its command;
// text copied goes to another program and back. A second X connection
// plays the user, a third on a thread of its own another program. Exits 0
// when all holds.
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fw/core/class.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "platform/win.h"
#include "tests/x11/x11_queue.h"
#include "platform/win/test.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using x11queue::check;
using x11queue::failures;
using x11queue::got;
using x11queue::received;

win::LRESULT proc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  char line[96];
  auto x = static_cast<short>(win::LOWORD(static_cast<std::uintptr_t>(l)));
  auto y = static_cast<short>(win::HIWORD(static_cast<std::uintptr_t>(l)));
  switch (m) {
    case win::WM_PAINT: {
      // The scene: a background, a fill, a frame, text and an icon with a
      // mask.
      win::PAINTSTRUCT ps;
      win::HDC dc = win::BeginPaint(h, &ps);
      win::RECT fill{10, 10, 90, 50};
      win::HBRUSH red = win::CreateSolidBrush(win::RGB(220, 30, 30));
      win::FillRect(dc, &fill, red);
      win::DeleteObject(red);
      win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, win::RGB(0, 0, 160));
      win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
      win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
      win::Rectangle(dc, 100, 10, 180, 60);
      win::SelectObject(dc, oldBrush);
      win::SelectObject(dc, oldPen);
      win::DeleteObject(pen);
      win::TextOutA(dc, 12, 70, "Hello", 5);
      win::DrawIcon(dc, 120, 70, win::LoadIconA(nullptr, win::IDI_APPLICATION));
      win::EndPaint(h, &ps);
      received.push_back("paint");
      return 0;
    }
    case win::WM_LBUTTONDOWN:
    case win::WM_LBUTTONUP:
      std::snprintf(line, sizeof line, "%s %d,%d", m == win::WM_LBUTTONDOWN ? "down" : "up", x, y);
      received.push_back(line);
      return 0;
    case win::WM_KEYDOWN:
    case win::WM_CHAR:
      std::snprintf(line, sizeof line, "%s %llx", m == win::WM_KEYDOWN ? "key" : "char",
                    static_cast<unsigned long long>(w));
      received.push_back(line);
      return 0;
    case win::WM_CLOSE:
      received.push_back("close");
      return 0;  // not destroyed
    case win::WM_RENDERFORMAT: {
      // The copied text is rendered when another program asks for it.
      static const char kText[] = "line1\r\nline2 \xe9";
      win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE, sizeof kText);
      std::memcpy(win::GlobalLock(block), kText, sizeof kText);
      win::GlobalUnlock(block);
      win::SetClipboardData(win::CF_TEXT, block);
      received.push_back("render");
      return 0;
    }
    case win::WM_DESTROYCLIPBOARD:
      received.push_back("clipboard lost");
      return 0;
    default:
      return win::DefWindowProcA(h, m, w, l);
  }
}

// The menu window records its commands.
win::LRESULT menuProc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  if (m == win::WM_COMMAND) received.push_back("command " + std::to_string(win::LOWORD(static_cast<std::uintptr_t>(w))));
  if (m == win::WM_PAINT) received.push_back("menus painted");
  return win::DefWindowProcA(h, m, w, l);
}

using x11queue::pumpUntil;

// The X window whose WM_NAME is `title`, among the root's children.
Window findWindow(Display* d, const char* title) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(d, children[i], &name) && name && std::strcmp(name, title) == 0) found = children[i];
    if (name) XFree(name);
  }
  if (children) XFree(children);
  return found;
}

// How many pixels of the X image differ from the buffer (-1: no image).
int differingPixels(XImage* shown, const win::test::Image& buffer) {
  if (!shown) return -1;
  int differ = 0;
  for (int y = 0; y < buffer.height; ++y)
    for (int x = 0; x < buffer.width; ++x)
      if ((XGetPixel(shown, x, y) & 0xFFFFFF) != (buffer.px[static_cast<std::size_t>(y * buffer.width + x)] & 0xFFFFFF))
        ++differ;
  XDestroyImage(shown);
  return differ;
}

win::POINT centreOf(const win::RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

void clickAt(Display* user, win::POINT p) {
  XTestFakeMotionEvent(user, DefaultScreen(user), p.x, p.y, 0);
  XTestFakeButtonEvent(user, 1, True, 0);
  XTestFakeButtonEvent(user, 1, False, 0);
  XSync(user, False);
}

// A menu opened by a real press on its title: the open pop-up shows its
// buffer (on the screen too), the keyboard is the menu's until it ends,
// and a click on an entry gives its WM_COMMAND.
Display* menuUser = nullptr;
struct MenuRun {
  win::HWND owner = nullptr;
  win::HMENU file = nullptr;
  win::DWORD start = 0;
  bool checked = false;
} menuRun;

void menuStep(win::HWND, win::UINT, win::UINT_PTR, win::DWORD) {
  MenuRun& r = menuRun;
  win::RECT entry{};
  if (r.checked || !win::test::MenuEntryRect(r.owner, r.file, 1, &entry)) return;
  Display* user = menuUser;
  win::HWND popup = win::WindowFromPoint(centreOf(entry));
  win::RECT outer{};
  win::GetWindowRect(popup, &outer);
  win::test::Image buffer = win::test::WindowImage(popup, true);
  Window root = DefaultRootWindow(user), xw = 0;
  int x = 0, y = 0;
  XTranslateCoordinates(user, root, root, outer.left + 2, outer.top + 2, &x, &y, &xw);
  auto w = static_cast<unsigned>(buffer.width), h = static_cast<unsigned>(buffer.height);
  int inWindow = xw ? differingPixels(XGetImage(user, xw, 0, 0, w, h, AllPlanes, ZPixmap), buffer) : -1;
  int onScreen = differingPixels(XGetImage(user, root, outer.left, outer.top, w, h, AllPlanes, ZPixmap), buffer);
  // The first presentation may still be on its way.
  if ((inWindow != 0 || onScreen != 0) && win::GetTickCount() - r.start < x11queue::kPatience) return;
  r.checked = true;
  check(inWindow == 0, "the open pop-up shows its buffer (" + std::to_string(inWindow) + " pixels differ)");
  check(onScreen == 0, "the screen shows the open pop-up (" + std::to_string(onScreen) + " pixels differ)");
  XWindowAttributes a{};
  check(xw && XGetWindowAttributes(user, xw, &a) && a.colormap == DefaultColormap(user, DefaultScreen(user)),
        "the pop-up uses the screen's colormap");
  int grab = XGrabKeyboard(user, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (grab == GrabSuccess) XUngrabKeyboard(user, CurrentTime);
  check(grab == AlreadyGrabbed, "the keyboard is the menu's while it tracks");
  clickAt(user, centreOf(entry));
}

void menuCase(Display* user) {
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = menuProc;
  wc.lpszClassName = "SmokeMenus";
  wc.hbrBackground = win::CreateSolidBrush(win::RGB(255, 255, 255));
  win::RegisterClassA(&wc);
  win::HMENU bar = win::CreateMenu(), file = win::CreatePopupMenu();
  win::InsertMenuA(file, ~0u, win::MF_BYPOSITION, 100, "&Open\tCtrl+O");
  win::InsertMenuA(file, ~0u, win::MF_BYPOSITION, 101, "&Save");
  win::InsertMenuA(file, ~0u, win::MF_BYPOSITION | win::MF_SEPARATOR, 0, nullptr);
  win::InsertMenuA(file, ~0u, win::MF_BYPOSITION, 102, "E&xit");
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(file), "&File");
  win::HWND owner = win::CreateWindowExA(0, "SmokeMenus", "Menus", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 300,
                                         200, 240, 160, nullptr, bar, nullptr, nullptr);
  check(pumpUntil([] { return got("menus painted"); }), "the menu window paints");
  check(pumpUntil([&] { return x11queue::viewable(user, "Menus"); }), "the menu window shows");
  win::RECT title{};
  check(win::test::MenuEntryRect(owner, bar, 0, &title), "the menu line shows File");
  menuUser = user;
  menuRun = {owner, file, win::GetTickCount(), false};
  win::UINT_PTR timer = win::SetTimer(nullptr, 0, 30, menuStep);
  clickAt(user, centreOf(title));
  check(pumpUntil([] { return got("command 101"); }, 2 * x11queue::kPatience), "a click on Save gives WM_COMMAND 101");
  win::KillTimer(nullptr, timer);
  check(menuRun.checked, "the pop-up opened from a press on its title");
  int grab = XGrabKeyboard(user, DefaultRootWindow(user), False, GrabModeAsync, GrabModeAsync, CurrentTime);
  check(grab == GrabSuccess, "the menu gives the keyboard back when it ends");
  if (grab == GrabSuccess) XUngrabKeyboard(user, CurrentTime);
  XSync(user, False);
  win::DestroyWindow(owner);
}

// A framework window takes the click too: its button event counts y from
// the bottom of the client area.
std::string frameworkPress;
int onFrameworkDown(vwindow*, vevent* e) {
  frameworkPress = std::to_string(veventGetX(e)) + "," + std::to_string(veventGetY(e));
  return 1;
}

void frameworkCase(Display* user) {
  vsysStartup();
  vwindowEnsureStartup();
  auto* c = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
  vclassSetName(c, vscribeLiteral("smokeWindow"));
  c->handleButtonDown = onFrameworkDown;
  auto* w = static_cast<vwindow*>(vinstanceCreate(c));
  vwindowSetTitleScribe(w, vscribeLiteral("Framework"));
  w->rect = {500, 300, 200, 120};
  vwindowOpen(w);
  check(pumpUntil([&] { return x11queue::viewable(user, "Framework"); }), "the framework window shows");
  win::RECT client{};
  win::GetClientRect(w->native->hwnd, &client);
  win::POINT at{50, 40};
  win::ClientToScreen(w->native->hwnd, &at);
  clickAt(user, at);
  check(pumpUntil([] { return !frameworkPress.empty(); }), "the framework window takes the click");
  std::string expected = "50," + std::to_string(client.bottom - 40 - 1);
  check(frameworkPress == expected, "the framework's button event at " + frameworkPress + ", not " + expected);
  vwindowDestroy(w);
  pumpUntil([&] { return !x11queue::windowTitled(user, "Framework"); });
}

// Two windows shown one after the other before either is mapped: the
// activation goes to the second once and stays there, and so does the X
// focus.
std::vector<std::string> activations;
int activationCloses = 0;
win::LRESULT activationProc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  if (m == win::WM_CLOSE) {
    ++activationCloses;
    return 0;
  }
  if (m == win::WM_ACTIVATE) {
    char title[16] = "";
    win::GetWindowTextA(h, title, sizeof title);
    activations.push_back(std::string(title) + (win::LOWORD(static_cast<std::uintptr_t>(w)) ? " on" : " off"));
  }
  return win::DefWindowProcA(h, m, w, l);
}

void activationCase(Display* user) {
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = activationProc;
  wc.lpszClassName = "SmokeActivation";
  win::RegisterClassA(&wc);
  win::HWND one = win::CreateWindowExA(0, "SmokeActivation", "One", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 50,
                                       450, 200, 100, nullptr, nullptr, nullptr, nullptr);
  win::HWND two = win::CreateWindowExA(0, "SmokeActivation", "Two", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 300,
                                       450, 200, 100, nullptr, nullptr, nullptr, nullptr);
  Window focus = 0;
  int revert = 0;
  pumpUntil([&] {
    XGetInputFocus(user, &focus, &revert);
    return focus && focus == x11queue::windowTitled(user, "Two") && !activations.empty() &&
           activations.back() == "Two on";
  });
  // A close request sent now comes after every focus change the server has
  // made so far: once it is heard, any late activation would be too.
  x11queue::sendClose(user, x11queue::windowTitled(user, "One"));
  pumpUntil([] { return activationCloses > 0; });
  std::string joined;
  for (const std::string& a : activations) joined += a + "; ";
  check(joined == "One on; One off; Two on; ", "the second window shown keeps the activation: " + joined);
  check(win::GetActiveWindow() == two, "the second window is active");
  XGetInputFocus(user, &focus, &revert);
  check(focus && focus == findWindow(user, "Two"), "the X focus is on the second window");
  win::DestroyWindow(one);
  win::DestroyWindow(two);
}

// The user's side of a selection request: the converted property's type
// and bytes (type 0: refused or no answer).
struct Converted {
  Atom type = 0;
  std::string bytes;
};
Converted askSelection(Display* user, Window requestor, const char* target) {
  Atom clipboard = XInternAtom(user, "CLIPBOARD", False), asked = XInternAtom(user, target, False);
  Atom property = XInternAtom(user, "SMOKE_PASTE", False);
  XConvertSelection(user, clipboard, asked, property, requestor, CurrentTime);
  XFlush(user);
  XEvent e{};
  Converted c;
  bool answered = false;
  pumpUntil([&] { return answered = answered || XCheckTypedWindowEvent(user, requestor, SelectionNotify, &e); });
  if (!answered || e.xselection.property == 0) return c;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(user, requestor, property, 0, 1 << 20, True, AnyPropertyType, &c.type, &format, &n, &after, &data);
  if (data) c.bytes.assign(reinterpret_cast<char*>(data), format == 32 ? n * sizeof(long) : n);
  if (data) XFree(data);
  return c;
}

// Another program on a connection and thread of its own: it takes the
// CLIPBOARD with UTF-8 text and serves it until stopped, in pieces of
// `piece` bytes (the incremental transfer) when that is shorter.
class OtherProgram {
 public:
  OtherProgram(std::string text, std::size_t piece) : text_(std::move(text)), piece_(piece) {
    thread_ = std::thread([this] { run(); });
    while (!ready_) std::this_thread::yield();
  }
  ~OtherProgram() {
    stop_ = true;
    thread_.join();
  }
  bool owns() const { return owns_; }

 private:
  void run() {
    Display* d = XOpenDisplay(nullptr);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    Atom clipboard = XInternAtom(d, "CLIPBOARD", False), utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom incr = XInternAtom(d, "INCR", False);
    XSetSelectionOwner(d, clipboard, w, CurrentTime);
    owns_ = XGetSelectionOwner(d, clipboard) == w;
    ready_ = true;
    Window sendingTo = 0;
    Atom sendingAs = 0;
    std::size_t sent = 0;
    auto put = [&](Window to, Atom property, Atom type, int format, const void* data, std::size_t n) {
      XChangeProperty(d, to, property, type, format, PropModeReplace, static_cast<const unsigned char*>(data),
                      static_cast<int>(n));
    };
    while (!stop_) {
      while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == SelectionRequest) {
          const XSelectionRequestEvent& rq = e.xselectionrequest;
          XEvent reply{};
          reply.xselection = {SelectionNotify, 0, True, d, rq.requestor, rq.selection, rq.target, 0, rq.time};
          if (rq.target == utf8 && text_.size() > piece_) {
            XSelectInput(d, rq.requestor, PropertyChangeMask);
            long size = static_cast<long>(text_.size());
            put(rq.requestor, rq.property, incr, 32, &size, 1);
            sendingTo = rq.requestor, sendingAs = rq.property, sent = 0;
            reply.xselection.property = rq.property;
          } else if (rq.target == utf8) {
            put(rq.requestor, rq.property, utf8, 8, text_.data(), text_.size());
            reply.xselection.property = rq.property;
          }
          XSendEvent(d, rq.requestor, False, NoEventMask, &reply);
        } else if (e.type == PropertyNotify && e.xproperty.window == sendingTo && e.xproperty.atom == sendingAs &&
                   e.xproperty.state == PropertyDelete) {
          // The reader took a piece: the next one, and an empty one at the end.
          std::size_t n = std::min(piece_, text_.size() - sent);
          put(sendingTo, sendingAs, utf8, 8, text_.data() + sent, n);
          sent += n;
          if (n == 0) sendingTo = 0;
        }
      }
      XFlush(d);
      pollfd p{ConnectionNumber(d), POLLIN, 0};
      poll(&p, 1, 10);
    }
    XCloseDisplay(d);
  }

  std::string text_;
  std::size_t piece_;
  std::atomic<bool> ready_{false}, owns_{false}, stop_{false};
  std::thread thread_;
};

std::string pasted(win::HWND hwnd) {
  std::string text = "(none)";
  if (!win::OpenClipboard(hwnd)) return "(not opened)";
  if (const char* p = static_cast<const char*>(win::GlobalLock(static_cast<win::HGLOBAL>(win::GetClipboardData(win::CF_TEXT))))) text = p;
  win::CloseClipboard();
  return text;
}

// Text copied by the program (rendered when asked) is read by another
// program as UTF-8 and Latin-1 with LF line ends; text another program
// copies takes the clipboard from ours and is pasted in 1252 with CRLF,
// whole or in pieces.
void clipboardCase(Display* user, win::HWND hwnd) {
  win::OpenClipboard(hwnd);
  win::EmptyClipboard();
  win::SetClipboardData(win::CF_TEXT, nullptr);
  win::CloseClipboard();
  Window requestor = XCreateSimpleWindow(user, DefaultRootWindow(user), 0, 0, 1, 1, 0, 0, 0);
  Converted targets = askSelection(user, requestor, "TARGETS");
  std::vector<Atom> offered(reinterpret_cast<const Atom*>(targets.bytes.data()),
                            reinterpret_cast<const Atom*>(targets.bytes.data() + targets.bytes.size()));
  Atom utf8 = XInternAtom(user, "UTF8_STRING", False);
  check(targets.type == XA_ATOM && std::count(offered.begin(), offered.end(), utf8) == 1 &&
            std::count(offered.begin(), offered.end(), XA_STRING) == 1,
        "TARGETS offers UTF8_STRING and STRING");
  check(!got("render"), "the text is not rendered before it is asked for");
  Converted asUtf8 = askSelection(user, requestor, "UTF8_STRING");
  check(asUtf8.type == utf8 && asUtf8.bytes == "line1\nline2 \xc3\xa9",
        "another program reads the copied text as UTF-8: \"" + asUtf8.bytes + "\"");
  Converted asLatin1 = askSelection(user, requestor, "STRING");
  check(asLatin1.type == XA_STRING && asLatin1.bytes == "line1\nline2 \xe9",
        "another program reads the copied text as Latin-1: \"" + asLatin1.bytes + "\"");
  check(std::count(received.begin(), received.end(), "render") == 1, "the text is rendered once");
  XDestroyWindow(user, requestor);
  XSync(user, False);

  {
    OtherProgram other("pasted\nline2 \xc3\xbc\xe2\x82\xac\xe2\x86\x92", 1 << 20);
    check(other.owns(), "another program takes the CLIPBOARD");
    check(pumpUntil([] { return got("clipboard lost"); }), "the owner hears WM_DESTROYCLIPBOARD");
    check(win::GetClipboardOwner() == nullptr, "the program no longer owns the clipboard");
    std::string text = pasted(hwnd);
    check(text == "pasted\r\nline2 \xfc\x80?", "another program's text is pasted in 1252: \"" + text + "\"");
  }
  std::string long_;
  for (int i = 0; i < 3000; ++i) long_ += "line " + std::to_string(i) + "\n";
  OtherProgram other(long_, 4000);
  std::string expected;
  for (int i = 0; i < 3000; ++i) expected += "line " + std::to_string(i) + "\r\n";
  check(pasted(hwnd) == expected, "a text sent in pieces is pasted whole");
}

// Presses that reach the connection while the program draws or asks the
// server for something: showing the drawing waits for the server, and
// sending a request reads what is waiting, so either can take them off the
// connection into Xlib's own queue, where a wait on the connection does
// not see them. They still come at once, not at the next event (the click
// that closes a menu, lost until a key is pressed).
void pressWhileDrawingCase(Display* user, win::HWND hwnd, Window xw) {
  int rx = 0, ry = 0;
  Window child = 0;
  XTranslateCoordinates(user, xw, DefaultRootWindow(user), 0, 0, &rx, &ry, &child);
  XTestFakeMotionEvent(user, DefaultScreen(user), rx + 60, ry + 40, 0);
  XSync(user, False);
  pumpUntil([&] {
    win::POINT at{};
    win::GetCursorPos(&at);
    return at.x == rx + 60 && at.y == ry + 40;
  });
  win::KillTimer(nullptr, 1);  // the pump's ticks would end any wait
  constexpr int kTries = 40;
  for (const char* work : {"drawing", "retitling"}) {
    int late = 0;
    for (int i = 0; i < kTries && !late; ++i) {
      received.clear();
      win::MSG m;
      while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessageA(&m);
      win::HDC dc = win::GetDC(hwnd);
      if (work[0] == 'd') {
        win::RECT r{0, 0, 20, 20};
        win::FillRect(dc, &r, static_cast<win::HBRUSH>(win::GetStockObject(i % 2 ? win::BLACK_BRUSH : win::WHITE_BRUSH)));
      } else {
        win::SetWindowTextA(hwnd, i % 2 ? "Smoke \xe9" : "Smoke");
      }
      XTestFakeButtonEvent(user, 1, True, 0);
      XTestFakeButtonEvent(user, 1, False, 0);
      XSync(user, False);
      // Only this timer ends a wait that nothing else would: a press that
      // comes after it had waited for the next event, however slow the host.
      win::SetTimer(nullptr, 2, x11queue::kPatience / 3, nullptr);
      bool timedOut = false;
      while (!got("up 60,40") && !timedOut) {
        win::WaitMessage();
        while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
          if (m.message == win::WM_TIMER && m.wParam == 2 && !got("up 60,40")) timedOut = true;
          win::DispatchMessageA(&m);
        }
      }
      win::KillTimer(nullptr, 2);
      win::ReleaseDC(hwnd, dc);
      if (timedOut) ++late;
    }
    check(late == 0, std::string("presses sent while ") + work + " come at once (" + std::to_string(late) + " of " +
                         std::to_string(kTries) + " waited for the next event)");
  }
  win::SetWindowTextA(hwnd, "Smoke \xe9");
}

}  // namespace

int main() {
  XInitThreads();  // another program's connection lives on a thread
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = "Smoke";
  wc.hbrBackground = win::CreateSolidBrush(win::RGB(200, 220, 255));
  win::RegisterClassA(&wc);
  win::HWND hwnd = win::CreateWindowExA(0, "Smoke", "Smoke \xe9", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 40, 30,
                                        200, 120, nullptr, nullptr, nullptr, nullptr);
  check(hwnd != nullptr, "the window opens");
  check(pumpUntil([] { return got("paint"); }), "the window paints");

  Display* user = XOpenDisplay(nullptr);
  if (!user) {
    std::fprintf(stderr, "FAILED: a second connection to the display\n");
    return 1;
  }
  Window xw = 0;
  pumpUntil([&] { return (xw = findWindow(user, "Smoke \xe9")) != 0; });
  check(xw != 0, "the X window is found by its Latin-1 WM_NAME");
  if (!xw) return 1;

  // The pixels on the server are the window's buffer, once its
  // presentation has reached the server.
  win::test::Image buffer = win::test::WindowImage(hwnd);
  auto imageDiffers = [&] {
    return differingPixels(XGetImage(user, xw, 0, 0, static_cast<unsigned>(buffer.width),
                                     static_cast<unsigned>(buffer.height), AllPlanes, ZPixmap),
                           buffer);
  };
  int differ = -1;
  pumpUntil([&] { return (differ = imageDiffers()) == 0; });
  check(differ >= 0, "the window's image reads back");
  check(differ == 0, "the window shows its buffer (" + std::to_string(differ) + " pixels differ)");

  // The title as UTF-8.
  Atom netName = XInternAtom(user, "_NET_WM_NAME", False), utf8 = XInternAtom(user, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(user, xw, netName, 0, 64, False, utf8, &type, &format, &n, &after, &data);
  check(data && std::string(reinterpret_cast<char*>(data), n) == "Smoke \xc3\xa9", "_NET_WM_NAME is UTF-8");
  if (data) XFree(data);

  // A click at (50, 40) of the window and the key "a".
  int rx = 0, ry = 0;
  Window child = 0;
  XTranslateCoordinates(user, xw, DefaultRootWindow(user), 0, 0, &rx, &ry, &child);
  XTestFakeMotionEvent(user, DefaultScreen(user), rx + 50, ry + 40, 0);
  XTestFakeButtonEvent(user, 1, True, 0);
  XTestFakeButtonEvent(user, 1, False, 0);
  KeyCode a = XKeysymToKeycode(user, XK_a);
  XTestFakeKeyEvent(user, a, True, 0);
  XTestFakeKeyEvent(user, a, False, 0);
  XSync(user, False);
  check(pumpUntil([] { return got("char 61"); }), "the key arrives");
  std::vector<std::string> input;
  for (const std::string& r : received)
    if (r != "paint") input.push_back(r);
  std::string joined;
  for (const std::string& r : input) joined += r + "; ";
  check(joined == "down 50,40; up 50,40; key 41; char 61; ", "click and key: " + joined);
  pressWhileDrawingCase(user, hwnd, xw);

  // The window manager's close request.
  x11queue::sendClose(user, xw);
  check(pumpUntil([] { return got("close"); }), "WM_DELETE_WINDOW gives WM_CLOSE");
  check(win::IsWindow(hwnd) != 0, "WM_CLOSE does not destroy by itself");

  menuCase(user);
  clipboardCase(user, hwnd);
  frameworkCase(user);
  activationCase(user);

  XCloseDisplay(user);
  win::DestroyWindow(hwnd);
  vsysRunExitHandlers();
  if (failures) return 1;
  std::printf("x11 smoke: all checks hold\n");
  return 0;
}
