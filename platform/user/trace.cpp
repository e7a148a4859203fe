// The message trace of the test API and the names of messages.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win {
namespace {

struct MessageInfo {
  UINT message;
  const char* name;
  bool pointerLParam;  // lParam points to a structure or text
};

constexpr MessageInfo kMessages[] = {
    {WM_NULL, "WM_NULL", false},
    {WM_CREATE, "WM_CREATE", true},
    {WM_DESTROY, "WM_DESTROY", false},
    {WM_MOVE, "WM_MOVE", false},
    {WM_SIZE, "WM_SIZE", false},
    {WM_ACTIVATE, "WM_ACTIVATE", false},
    {WM_SETFOCUS, "WM_SETFOCUS", false},
    {WM_KILLFOCUS, "WM_KILLFOCUS", false},
    {WM_SETTEXT, "WM_SETTEXT", true},
    {WM_GETTEXT, "WM_GETTEXT", true},
    {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH", false},
    {WM_PAINT, "WM_PAINT", false},
    {WM_CLOSE, "WM_CLOSE", false},
    {WM_QUERYENDSESSION, "WM_QUERYENDSESSION", false},
    {WM_QUIT, "WM_QUIT", false},
    {WM_ERASEBKGND, "WM_ERASEBKGND", false},
    {WM_SYSCOLORCHANGE, "WM_SYSCOLORCHANGE", false},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW", false},
    {WM_WININICHANGE, "WM_WININICHANGE", true},
    {WM_ACTIVATEAPP, "WM_ACTIVATEAPP", false},
    {WM_SETCURSOR, "WM_SETCURSOR", false},
    {WM_RENDERFORMAT, "WM_RENDERFORMAT", false},
    {WM_RENDERALLFORMATS, "WM_RENDERALLFORMATS", false},
    {WM_DESTROYCLIPBOARD, "WM_DESTROYCLIPBOARD", false},
    {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE", false},
    {WM_GETMINMAXINFO, "WM_GETMINMAXINFO", true},
    {WM_QUERYDRAGICON, "WM_QUERYDRAGICON", false},
    {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING", true},
    {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED", true},
    {WM_STYLECHANGING, "WM_STYLECHANGING", true},
    {WM_STYLECHANGED, "WM_STYLECHANGED", true},
    {WM_SETICON, "WM_SETICON", false},
    {WM_NCCREATE, "WM_NCCREATE", true},
    {WM_NCDESTROY, "WM_NCDESTROY", false},
    {WM_NCCALCSIZE, "WM_NCCALCSIZE", true},
    {WM_NCHITTEST, "WM_NCHITTEST", false},
    {WM_NCACTIVATE, "WM_NCACTIVATE", false},
    {WM_NCMOUSEMOVE, "WM_NCMOUSEMOVE", false},
    {WM_NCLBUTTONUP, "WM_NCLBUTTONUP", false},
    {WM_NCRBUTTONDOWN, "WM_NCRBUTTONDOWN", false},
    {WM_NCRBUTTONUP, "WM_NCRBUTTONUP", false},
    {WM_NCMBUTTONDOWN, "WM_NCMBUTTONDOWN", false},
    {WM_NCMBUTTONUP, "WM_NCMBUTTONUP", false},
    {WM_KEYDOWN, "WM_KEYDOWN", false},
    {WM_KEYUP, "WM_KEYUP", false},
    {WM_CHAR, "WM_CHAR", false},
    {WM_SYSKEYDOWN, "WM_SYSKEYDOWN", false},
    {WM_SYSKEYUP, "WM_SYSKEYUP", false},
    {WM_SYSCHAR, "WM_SYSCHAR", false},
    {WM_COMMAND, "WM_COMMAND", false},
    {WM_SYSCOMMAND, "WM_SYSCOMMAND", false},
    {WM_TIMER, "WM_TIMER", false},
    {WM_INITMENU, "WM_INITMENU", false},
    {WM_INITMENUPOPUP, "WM_INITMENUPOPUP", false},
    {WM_MENUSELECT, "WM_MENUSELECT", false},
    {WM_MENUCHAR, "WM_MENUCHAR", false},
    {WM_ENTERMENULOOP, "WM_ENTERMENULOOP", false},
    {WM_EXITMENULOOP, "WM_EXITMENULOOP", false},
    {WM_MEASUREITEM, "WM_MEASUREITEM", true},
    {WM_DRAWITEM, "WM_DRAWITEM", true},
    {WM_CANCELMODE, "WM_CANCELMODE", false},
    {WM_NCLBUTTONDOWN, "WM_NCLBUTTONDOWN", false},
    {WM_MOUSEMOVE, "WM_MOUSEMOVE", false},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN", false},
    {WM_LBUTTONUP, "WM_LBUTTONUP", false},
    {WM_RBUTTONDOWN, "WM_RBUTTONDOWN", false},
    {WM_RBUTTONUP, "WM_RBUTTONUP", false},
    {WM_MBUTTONDOWN, "WM_MBUTTONDOWN", false},
    {WM_MBUTTONUP, "WM_MBUTTONUP", false},
    {WM_CAPTURECHANGED, "WM_CAPTURECHANGED", false},
    {WM_MDICREATE, "WM_MDICREATE", true},
    {WM_MDIDESTROY, "WM_MDIDESTROY", false},
    {WM_MDIACTIVATE, "WM_MDIACTIVATE", false},
    {WM_MDIRESTORE, "WM_MDIRESTORE", false},
    {WM_MDINEXT, "WM_MDINEXT", false},
    {WM_MDIMAXIMIZE, "WM_MDIMAXIMIZE", false},
    {WM_MDITILE, "WM_MDITILE", false},
    {WM_MDICASCADE, "WM_MDICASCADE", false},
    {WM_MDIICONARRANGE, "WM_MDIICONARRANGE", false},
    {WM_MDIGETACTIVE, "WM_MDIGETACTIVE", true},
    {WM_MDISETMENU, "WM_MDISETMENU", false},
    {WM_ENTERSIZEMOVE, "WM_ENTERSIZEMOVE", false},
    {WM_EXITSIZEMOVE, "WM_EXITSIZEMOVE", false},
    {WM_CHILDACTIVATE, "WM_CHILDACTIVATE", false},
};

const MessageInfo* info(UINT message) {
  for (const MessageInfo& m : kMessages)
    if (m.message == message) return &m;
  return nullptr;
}

bool tracing = false;
std::vector<test::TraceEntry> entries;

}  // namespace

void internal::traceMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool posted) {
  if (tracing) entries.push_back({hwnd, message, wParam, lParam, sendDepth(), posted});
}

void test::StartTrace() {
  entries.clear();
  tracing = true;
}

std::vector<test::TraceEntry> test::StopTrace() {
  tracing = false;
  return std::move(entries);
}

std::string test::MessageName(UINT message) {
  if (const MessageInfo* m = info(message)) return m->name;
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", message);
  return buf;
}

std::string test::FormatTrace(const std::vector<TraceEntry>& trace, const std::function<std::string(HWND)>& name) {
  // A parameter that is a named window's handle shows the name.
  auto param = [&](std::uintptr_t v) {
    if (v)
      if (std::string n = name(reinterpret_cast<HWND>(v)); !n.empty()) return n;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
    return std::string(buf);
  };
  std::string out;
  for (const TraceEntry& e : trace) {
    const MessageInfo* m = info(e.message);
    std::string window = e.hwnd ? name(e.hwnd) : "null";
    out.append(static_cast<std::size_t>(e.depth > 1 ? 2 * (e.depth - 1) : 0), ' ');
    out += e.posted ? "posted " : "sent ";
    out += (window.empty() ? "?" : window) + " " + MessageName(e.message) + " " + param(e.wParam) + " " +
           (m && m->pointerLParam ? "ptr" : param(static_cast<std::uintptr_t>(e.lParam))) + "\n";
  }
  return out;
}

}  // namespace win
