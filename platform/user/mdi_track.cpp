// The pointer on a document's frame: a press on the caption or a border
// asks for SC_MOVE or SC_SIZE, which run the move/size loop; the caption
// buttons press on down and act on release inside.
#include "platform/user/menu.h"

namespace win {
namespace internal {
namespace {

// Which edges a sizing code moves: left, top, right, bottom.
struct Edges {
  bool left, top, right, bottom;
};
Edges edgesOf(LRESULT hit) {
  switch (hit) {
    case HTLEFT: return {true, false, false, false};
    case HTRIGHT: return {false, false, true, false};
    case HTTOP: return {false, true, false, false};
    case HTBOTTOM: return {false, false, false, true};
    case HTTOPLEFT: return {true, true, false, false};
    case HTTOPRIGHT: return {false, true, true, false};
    case HTBOTTOMLEFT: return {true, false, false, true};
    case HTBOTTOMRIGHT: return {false, false, true, true};
    default: return {true, true, true, true};  // moving: every edge
  }
}

RECT rectInParent(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  if (HWND parent = GetParent(hwnd)) {
    POINT o{0, 0};
    ClientToScreen(parent, &o);
    r = {r.left - o.x, r.top - o.y, r.right - o.x, r.bottom - o.y};
  }
  return r;
}

// The rectangle for the pointer's offset, kept within the tracking sizes
// (the moved edge gives way).
RECT tracked(const RECT& start, const Edges& e, bool moving, POINT d, const MINMAXINFO& mmi) {
  if (moving) return {start.left + d.x, start.top + d.y, start.right + d.x, start.bottom + d.y};
  RECT r{start.left + (e.left ? d.x : 0), start.top + (e.top ? d.y : 0), start.right + (e.right ? d.x : 0),
         start.bottom + (e.bottom ? d.y : 0)};
  SIZE s = withinTracking(mmi, r.right - r.left, r.bottom - r.top);
  if (e.left)
    r.left = r.right - s.cx;
  else
    r.right = r.left + s.cx;
  if (e.top)
    r.top = r.bottom - s.cy;
  else
    r.bottom = r.top + s.cy;
  return r;
}

}  // namespace

// The full-window move/size loop; Escape puts the old rectangle back.
void sizeMoveLoop(HWND hwnd, WPARAM command, POINT from) {
  bool moving = (command & 0xFFF0) == SC_MOVE;
  Edges edges = edgesOf(moving ? HTCAPTION : static_cast<LRESULT>(command & 0xF) - 1 + HTLEFT);
  SendMessageA(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  MINMAXINFO mmi;
  if (!askMinMax(hwnd, mmi)) return;
  RECT start = rectInParent(hwnd);
  SetCapture(hwnd);
  auto moveTo = [&](const RECT& r) {
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  for (MSG msg; IsWindow(hwnd) && GetCapture() == hwnd;) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (CallMsgFilterA(&msg, moving ? MSGF_MOVE : MSGF_SIZE)) continue;
    if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) {
      moveTo(tracked(start, edges, moving, {msg.pt.x - from.x, msg.pt.y - from.y}, mmi));
      if (msg.message == WM_LBUTTONUP) break;
    } else if (msg.message == WM_KEYDOWN && (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN)) {
      if (msg.wParam == VK_ESCAPE) moveTo(start);
      break;
    } else if (msg.message != WM_KEYUP && msg.message != WM_CHAR) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  if (IsWindow(hwnd)) SendMessageA(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

// A caption button: drawn pressed while the pointer holds it over it;
// acts when the button comes up over it.
void trackCaptionButton(HWND hwnd, LRESULT hit, bool inBar) {
  HWND target = inBar ? mdiMaximizedChild(hwnd) : hwnd;
  if (!target) return;
  auto show = [&](bool down) {
    setPressedButton(hwnd, down ? hit : HTNOWHERE);
    if (inBar)
      paintMenuLine(hwnd);
    else
      paintDocumentFrame(hwnd);
  };
  auto over = [&](POINT pt) {
    return (inBar ? barButtonAt(hwnd, pt) : SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y))) == hit;
  };
  SetCapture(hwnd);
  bool down = true;
  show(true);
  for (MSG msg; IsWindow(hwnd) && GetCapture() == hwnd;) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      down = false;
      break;
    }
    if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) {
      if (over(msg.pt) != down) show(down = !down);
      if (msg.message == WM_LBUTTONUP) break;
    } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      down = false;
      break;
    }
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  if (!IsWindow(hwnd)) return;
  show(false);
  if (!down || !IsWindow(target)) return;
  WPARAM command = hit == HTMINBUTTON ? SC_MINIMIZE : hit == HTCLOSE ? SC_CLOSE : IsZoomed(target) ? SC_RESTORE : SC_MAXIMIZE;
  SendMessageA(target, WM_SYSCOMMAND, command, 0);
}

}  // namespace internal
}  // namespace win
