// The window procedure's start-up, the task window's procedure, quitting,
// palette messages, the system menu and the clipboard's messages.
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/mswgdi.h"
#include "fw/gui/window/msw_proc_internal.h"

namespace {

vwindowMSWProcState& P() { return _vwindowMSWProc(); }

constexpr win::UINT kForwardedClickDone = win::WM_USER + 3;

const vwindowMSWClipboardCalls* clipboard = nullptr;

bool prefOn(const char* name) { return vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name)) != nullptr; }

int issueQuit() {
  vapplication* app = _vwindowMSWApplication();
  return app ? vobjectIssueTag(app, vname_Quit, nullptr) : 0;
}

// The main loop runs once more so the application can finish its dialogs;
// a context still set then means the quit stands.
int finishQuit(vevent*) {
  veventProcessFromNative();
  if (veventHasNativeContext()) veventStopProcessing();
  veventClearNativeContext();
  return 1;
}

win::LRESULT closeTask() {
  vwindowMSWProcState& p = P();
  if (p.cancelsQuit) veventSetNativeContext(0);
  int handled = issueQuit();
  if (!handled) {
    veventStopProcessing();
  } else if (!veventIsStopping() && p.cancelsQuit) {
    vevent* e = veventCreateClient(finishQuit, nullptr);
    e->priority = 255;
    veventPost(e);
    return 0;  // the posted event clears the context
  }
  if (p.cancelsQuit) veventClearNativeContext();
  return 0;
}

win::LRESULT filterHook(int, win::WPARAM, win::LPARAM) { return 0; }

void enable(win::HMENU menu, win::UINT command, bool on) {
  win::EnableMenuItem(menu, command, win::MF_BYCOMMAND | (on ? win::MF_ENABLED : win::MF_GRAYED));
}

// From the last item: Switch To goes, and a separator right before Close or Switch To.
void trimTail(win::HMENU menu) {
  for (int i = win::GetMenuItemCount(menu) - 1; i >= 0; --i) {
    win::UINT id = win::GetMenuItemID(menu, i);
    if (id == win::SC_TASKLIST) {
      win::RemoveMenu(menu, static_cast<win::UINT>(i), win::MF_BYPOSITION);
      continue;
    }
    if (!(win::GetMenuState(menu, static_cast<win::UINT>(i), win::MF_BYPOSITION) & win::MF_SEPARATOR)) continue;
    if (i + 1 >= win::GetMenuItemCount(menu)) continue;
    win::UINT next = win::GetMenuItemID(menu, i + 1);
    if (next == win::SC_CLOSE || next == win::SC_TASKLIST) win::RemoveMenu(menu, static_cast<win::UINT>(i), win::MF_BYPOSITION);
  }
}

}  // namespace

void vwindowMSWSetClipboardCalls(const vwindowMSWClipboardCalls* calls) { clipboard = calls; }

void _vwindowMSWClipboardMessage(win::UINT message, win::WPARAM wParam) {
  if (!clipboard) return;
  // Another program's request: a render that fails hands over nothing and
  // the program goes on.
  vexTry([&] {
    if (message == win::WM_RENDERFORMAT && clipboard->render) clipboard->render(static_cast<win::UINT>(wParam));
    if (message == win::WM_RENDERALLFORMATS && clipboard->renderAll) clipboard->renderAll();
    if (message == win::WM_DESTROYCLIPBOARD && clipboard->lost) clipboard->lost();
  });
}

// ---- Quitting -------------------------------------------------------------------------------

win::LRESULT _vwindowMSWQueryEndSession(win::HWND, win::UINT, win::WPARAM, win::LPARAM) {
  vwindowMSWProcState& p = P();
  if (p.quitBusy) {
    vwindowBeep();
    return 0;
  }
  p.quitBusy = true;
  if (p.cancelsQuit) veventSetNativeContext(1);
  win::LRESULT answer = 0;
  vexGuard(
      [&] {
        int handled = issueQuit();
        if (!handled) {
          answer = 1;
          veventStopProcessing();
          veventProcessPending(0, 0);
        } else if (p.cancelsQuit && !veventIsStopping()) {
          if (veventHasNativeContext()) {
            veventProcessFromNative();
            answer = veventHasNativeContext() ? 1 : 0;
            if (answer) veventStopProcessing();
          }
        } else if (veventHasNativeContext()) {
          answer = 1;
          veventProcessPending(0, 0);
        }
      },
      [&](vexHandler&) {
        p.quitBusy = false;
        if (p.cancelsQuit) veventClearNativeContext();
        _vexGenerate(nullptr, vexEnd);
      });
  if (p.cancelsQuit) veventClearNativeContext();
  // After a yes the session ends: the guard stays up.
  if (!answer) p.quitBusy = false;
  return answer;
}

win::LRESULT vwindowMSWTaskWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  if (message == kForwardedClickDone) p.forwardedClick = false;
  if (message != win::WM_CLOSE)
    return p.taskProc ? win::CallWindowProcA(p.taskProc, hwnd, message, wParam, lParam)
                      : win::DefWindowProcA(hwnd, message, wParam, lParam);
  if (p.quitBusy) {
    vwindowBeep();
    return 0;
  }
  p.quitBusy = true;
  vexGuard([] { closeTask(); },
           [&](vexHandler&) {
             p.quitBusy = false;
             _vexGenerate(nullptr, vexEnd);
           });
  p.quitBusy = false;
  return 0;
}

// ---- Palette --------------------------------------------------------------------------------

win::LRESULT _vwindowMSWPalette(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam) {
  vwindowMSWProcState& p = P();
  if (message == win::WM_PALETTECHANGED && reinterpret_cast<win::HWND>(wParam) == hwnd) return 0;
  bool foreground = message == win::WM_QUERYNEWPALETTE;
  p.foregroundPalette = foreground;
  vwindowMSWNative* n = w->native;
  bool was = (n->flags & vwindowMSW_PALETTE_REALIZED) != 0;
  if (foreground)
    n->flags |= vwindowMSW_PALETTE_REALIZED;
  else
    n->flags &= ~vwindowMSW_PALETTE_REALIZED;
  win::HPALETTE palette = _vwindowMSWGetGdiSetup()->palette;
  if (!palette || !vwindowIsOpen(w) || vwindowIsIconified(w) || w == vwindowGetRoot()) return 0;
  win::HDC dc = win::GetDC(hwnd);
  win::SelectPalette(dc, palette, foreground ? 0 : 1);
  win::UINT changed = win::RealizePalette(dc);
  win::ReleaseDC(hwnd, dc);
  if (changed || was != foreground) {
    int flags = (vwindowMSWIsPaletteStable(vwindowDetermineColor(w, vcolorBACKGROUND)) ? 1 : 0) | (foreground ? 0 : 4);
    vwindowMSWPaletteRepaint(w, nullptr, flags);
  }
  return 0;
}

// ---- The system menu ------------------------------------------------------------------------

void _vwindowMSWAdjustSystemMenu(vwindow* w, win::HMENU menu) {
  std::uint16_t d = w->decoration;
  enable(menu, win::SC_CLOSE, !(d & vwindowDECO_NOT_CLOSABLE));
  enable(menu, win::SC_MOVE, (d & vwindowDECO_MOVABLE) != 0);
  if (!w->native || !(w->native->exStyle & win::WS_EX_DLGMODALFRAME)) return;
  // A modal window the user sizes keeps its Size.
  if (!(d & vwindowDECO_RESIZABLE)) win::RemoveMenu(menu, win::SC_SIZE, win::MF_BYCOMMAND);
  bool minBox = d & vwindowDECO_MINIMIZE, maxBox = d & vwindowDECO_MAXIMIZE;
  if (!minBox && !maxBox) {
    win::RemoveMenu(menu, win::SC_MAXIMIZE, win::MF_BYCOMMAND);
    win::RemoveMenu(menu, win::SC_MINIMIZE, win::MF_BYCOMMAND);
    win::RemoveMenu(menu, win::SC_RESTORE, win::MF_BYCOMMAND);
    trimTail(menu);
    return;
  }
  win::HWND h = w->native->hwnd;
  bool zoomed = win::IsZoomed(h), iconic = win::IsIconic(h);
  enable(menu, win::SC_RESTORE, zoomed || iconic);
  enable(menu, win::SC_MAXIMIZE, maxBox && !zoomed);
  enable(menu, win::SC_MINIMIZE, minBox && !iconic);
}

// ---- Start-up and its undoing -------------------------------------------------------------------------------

void vwindowMSWProcShutdown() {
  vwindowMSWProcState& p = P();
  if (!p.started) return;
  win::HWND task = vsysGetTaskWindow();
  if (task && p.taskProc &&
      win::GetWindowLongPtrA(task, win::GWLP_WNDPROC) == reinterpret_cast<win::LONG_PTR>(&vwindowMSWTaskWindowProc))
    win::SetWindowLongPtrA(task, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(p.taskProc));
  win::UnhookWindowsHook(win::WH_MSGFILTER, filterHook);
  p = vwindowMSWProcState{};
}

void vwindowMSWProcStartup() {
  vwindowMSWProcState& p = P();
  if (p.started) return;
  p = vwindowMSWProcState{};
  p.cancelsQuit = prefOn("cancelsquit");
  p.fullDrag = !prefOn("nofulldrag");
  p.stampMode = prefOn("uselocaltime") ? 1 : prefOn("usedisplaytime") ? 2 : 0;
  veventSetStampMode(p.stampMode == 1 ? 1 : 0);
  p.ncPoint = win::POINT{-32768, -32768};
  win::HWND task = vsysGetTaskWindow();
  if (task)
    p.taskProc = reinterpret_cast<win::WNDPROC>(
        win::SetWindowLongPtrA(task, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&vwindowMSWTaskWindowProc)));
  vevent* probe = veventCreateButtonDown(nullptr, 0, 0, 0, 0, 0, 0);
  p.buttonPriority = probe->priority;
  veventDestroy(probe);
  p.started = true;
  vsysAddExitHandler(vwindowMSWProcShutdown);
  if (!win::SetWindowsHookA(win::WH_MSGFILTER, filterHook))
    _vexGenerate(&vexReturnNullClass, vexSetMessage, "SetWindowsHook failed", vexEnd);
  p.halfClickWidth = win::GetSystemMetrics(win::SM_CXDOUBLECLK) / 2;
  p.halfClickHeight = win::GetSystemMetrics(win::SM_CYDOUBLECLK) / 2;
}
