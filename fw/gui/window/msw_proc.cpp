// The native window procedure: finding the framework window of a handle,
// the menu layer first, then each message turned into framework events
// dispatched at once; geometry, focus, painting and the window's states.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/inputmethod.h"
#include "fw/gui/window/mswgdi.h"
#include "fw/gui/window/msw_proc_internal.h"

namespace {

vwindowMSWProcState procState{};
vwindowMSWProcState& P() { return procState; }

constexpr win::UINT kMdiGetActive = 0x0229;
constexpr win::UINT kSystemMenuByMouse = win::WM_USER;
constexpr win::UINT kGeometry = win::WM_USER + 1;
constexpr win::UINT kHiddenForReuse = win::WM_USER + 2;
constexpr win::UINT kFrameMenus = win::WM_USER + 4;
constexpr win::UINT kUpdateNow = win::WM_USER + 5;

win::LPARAM asParam(const void* p) { return reinterpret_cast<win::LPARAM>(p); }

bool isTopLevel(vwindow* w) { return w->native && w->native->nativeKind == vwindowMSW_KIND_TOP; }
win::HWND mdiClientOf(vwindow* w) { return w->extension ? w->extension->mdiClient : nullptr; }
// A frame's own client, or for a document the client it lives in.
win::HWND clientFor(vwindow* w, win::HWND hwnd) {
  win::HWND client = mdiClientOf(w);
  if (!client && w->native->nativeKind == vwindowMSW_KIND_DOCUMENT) client = win::GetParent(hwnd);
  return client;
}

// ---- Geometry ---------------------------------------------------------------------------

// The client area in the framework's terms: from the bottom of the screen,
// in the parent's coordinates; a document's from the bottom left of the
// multiple-document client it lives in, as its placement counts.
vrect frameworkRect(vwindow* w, win::HWND hwnd) {
  win::RECT c{};
  win::GetClientRect(hwnd, &c);
  win::POINT origin{0, 0};
  win::ClientToScreen(hwnd, &origin);
  int height = c.bottom - c.top;
  if (w->native->nativeKind == vwindowMSW_KIND_DOCUMENT) {
    win::HWND area = win::GetParent(hwnd);
    win::RECT a{};
    win::GetClientRect(area, &a);
    win::ScreenToClient(area, &origin);
    return {static_cast<std::int16_t>(origin.x), static_cast<std::int16_t>(a.bottom - origin.y - height),
            static_cast<std::int16_t>(c.right - c.left), static_cast<std::int16_t>(height)};
  }
  int screenHeight = vwindowMSWGetDisplay()->screenHeight;
  vrect screen{static_cast<std::int16_t>(origin.x), static_cast<std::int16_t>(screenHeight - origin.y - height),
               static_cast<std::int16_t>(c.right - c.left), static_cast<std::int16_t>(height)};
  if (!w->parent || w->parent == vwindowGetRoot()) return screen;
  vrect r;
  vwindowTranslateRect(nullptr, w->parent, &screen, &r);
  return r;
}

void geometryChanged(vwindow* w, win::HWND hwnd) {
  if (vwindowIsIconified(w) || w == vwindowMSWGetCreatingWindow()) return;
  vrect r = frameworkRect(w, hwnd);
  int flags = 0;
  if (r.x != w->rect.x || r.y != w->rect.y) flags |= 1;
  if (r.width != w->rect.width || r.height != w->rect.height) flags |= 2;
  if (flags) veventDispatch(veventCreateArea(w, &r, flags | 4));
}

void invalStrip(vwindow* w, int clientHeight, int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  vrect r{static_cast<std::int16_t>(left), static_cast<std::int16_t>(clientHeight - bottom),
          static_cast<std::int16_t>(right - left), static_cast<std::int16_t>(bottom - top)};
  vwindowClassOf(w)->inval(w, &r, 0);
}

win::LRESULT ncCalcSize(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  win::LRESULT result = _vwindowMSWDefault(hwnd, win::WM_NCCALCSIZE, wParam, lParam);
  if (!wParam) return result;
  auto* params = reinterpret_cast<win::NCCALCSIZE_PARAMS*>(lParam);
  win::HWND client = mdiClientOf(w);
  if (!isTopLevel(w) || !client) {
    if (!params->lppos || !(params->lppos->flags & (win::SWP_NOSIZE | win::SWP_NOREDRAW))) result |= win::WVR_REDRAW;
    return result;
  }
  if (_vwindowMSWOldSystem()) {
    win::InvalidateRect(hwnd, nullptr, 1);
    return result;
  }
  win::RECT now = params->rgrc[0], old = params->rgrc[2];
  auto width = [](const win::RECT& r) { return r.right - r.left; };
  auto height = [](const win::RECT& r) { return r.bottom - r.top; };
  if (now.left == old.left && now.top == old.top && width(now) == width(old) && height(now) == height(old))
    return result;
  if (width(now) <= width(old) && height(now) <= height(old)) {
    win::RECT one{0, 0, 1, 1};
    win::InvalidateRect(hwnd, &one, 0);
    w->native->flags |= vwindowMSW_WHOLE_AREA;
  }
  win::HWND active = reinterpret_cast<win::HWND>(win::SendMessageA(client, kMdiGetActive, 0, 0));
  if (active && win::IsZoomed(active)) {
    params->rgrc[1] = params->rgrc[2] = win::RECT{0, 0, 0, 0};
    return win::WVR_VALIDRECTS;
  }
  win::RECT overlap{std::max(now.left, old.left), std::max(now.top, old.top), std::min(now.right, old.right),
                    std::min(now.bottom, old.bottom)};
  if (overlap.right < overlap.left || overlap.bottom < overlap.top) overlap = win::RECT{0, 0, 0, 0};
  params->rgrc[1] = params->rgrc[2] = overlap;
  // The strips of the new client area that the frame's client window leaves uncovered.
  win::RECT cover{};
  win::GetWindowRect(client, &cover);
  win::POINT origin{0, 0};
  win::ClientToScreen(hwnd, &origin);
  int cl = cover.left - origin.x, ct = cover.top - origin.y, cr = cover.right - origin.x, cb = cover.bottom - origin.y;
  int nw = width(now), nh = height(now);
  invalStrip(w, nh, 0, 0, nw, std::min(ct, nh));
  invalStrip(w, nh, 0, std::max(cb, 0), nw, nh);
  invalStrip(w, nh, 0, std::max(ct, 0), std::min(cl, nw), std::min(cb, nh));
  invalStrip(w, nh, std::max(cr, 0), std::max(ct, 0), nw, std::min(cb, nh));
  return win::WVR_VALIDRECTS;
}

// ---- Focus --------------------------------------------------------------------------------

void setFocus(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  win::HWND client = mdiClientOf(w);
  bool passOn = !isTopLevel(w) || (client && win::SendMessageA(client, kMdiGetActive, 0, 0));
  if (passOn) {
    ++p.focusNesting;
    vexGuard([&] { _vwindowMSWDefault(hwnd, win::WM_SETFOCUS, wParam, lParam); },
             [&](vexHandler&) {
               --p.focusNesting;
               _vexGenerate(nullptr, vexEnd);
             });
    --p.focusNesting;
  }
  if (p.focusNesting) return;
  if (passOn && isTopLevel(w)) {
    // The focus went on to a child.
    win::HWND now = win::GetFocus();
    vwindow* target = now ? _vwindowMSWLookup(now) : nullptr;
    if (!target) target = vwindowMSWGetCreatingWindow();
    if (!target) return;
    w = target;
  }
  if (w->native) {
    w->native->flags |= vwindowMSW_FOCUSED;
    vinputMSWFocusIn(w->native->inputContext);
  }
  veventDispatch(veventCreateEnter(w, 0, 0, 0, 0, 0));
  veventDispatch(veventCreateFocusIn(w));
}

void killFocus(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  _vwindowMSWDefault(hwnd, win::WM_KILLFOCUS, wParam, lParam);
  if (P().focusNesting) return;
  if (w->native) {
    w->native->flags &= ~vwindowMSW_FOCUSED;
    vinputMSWFocusOut(w->native->inputContext);
  }
  veventDispatch(veventCreateFocusOut(w));
  veventDispatch(veventCreateLeave(w, 0, 0, 0, 0, 0));
}

// ---- Painting -----------------------------------------------------------------------------

// The update area into the window's damage: the whole client area once
// after a shrinking resize, else the region's rectangles.
void deliverUpdate(vwindow* w, win::HWND hwnd, win::HRGN region, const win::RECT& bounds) {
  vwindowMSWNative* n = w->native;
  int flags = 16 | ((n->flags & vwindowMSW_NATIVE_ERASE) ? 1 : 0);
  win::RECT client{};
  win::GetClientRect(hwnd, &client);
  auto inval = [&](const win::RECT& r) {
    vrect v{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(client.bottom - r.bottom),
            static_cast<std::int16_t>(r.right - r.left), static_cast<std::int16_t>(r.bottom - r.top)};
    if (v.width > 0 && v.height > 0) vwindowClassOf(w)->inval(w, &v, flags);
  };
  if (n->flags & vwindowMSW_WHOLE_AREA) {
    n->flags &= ~vwindowMSW_WHOLE_AREA;
    inval(client);
    return;
  }
  bool boundsOnly = !region || (!_vwindowMSWOldSystem() && P().fullDrag && !(n->flags & vwindowMSW_FOCUSED));
  if (!boundsOnly) {
    win::DWORD size = win::GetRegionData(region, 0, nullptr);
    std::vector<std::uint8_t> buffer(size ? size : 1);
    auto* data = reinterpret_cast<win::RGNDATA*>(buffer.data());
    if (size && win::GetRegionData(region, size, data)) {
      const auto* rects = reinterpret_cast<const win::RECT*>(data->Buffer);
      for (win::DWORD i = 0; i < data->rdh.nCount; ++i) inval(rects[i]);
      return;
    }
  }
  inval(bounds);
}

win::HRGN updateRegion(win::HWND hwnd) {
  win::HRGN region = vwindowMSWCreateWithRecovery("REGION", 3, [] { return vwindowMSWGdi.createRectRgn(0, 0, 0, 0); });
  win::GetUpdateRgn(hwnd, region, 0);
  return region;
}

win::HICON iconOf(vwindow* w) {
  if (w->native && w->native->bigIcon) return w->native->bigIcon;
  vwindowMSWProcState& p = P();
  if (!p.appIcon) p.appIcon = win::LoadIconA(nullptr, win::IDI_APPLICATION);
  return p.appIcon;
}

void realizeDisplayPalette(win::HDC dc) {
  win::HPALETTE palette = _vwindowMSWGetGdiSetup()->palette;
  if (!palette || !dc) return;
  win::SelectPalette(dc, palette, P().foregroundPalette ? 0 : 1);
  _vcolorMSWRealizePalette(dc, 1);
}

void paint(vwindow* w, win::HWND hwnd) {
  vwindowMSWProcState& p = P();
  win::RECT bounds{};
  win::GetUpdateRect(hwnd, &bounds, 0);
  win::HRGN region = updateRegion(hwnd);
  win::HRGN outer = p.paintRegion;
  p.paintRegion = region;
  win::PAINTSTRUCT ps{};
  win::BeginPaint(hwnd, &ps);
  p.paintRegion = outer;
  if (ps.rcPaint.right > ps.rcPaint.left && ps.rcPaint.bottom > ps.rcPaint.top) bounds = ps.rcPaint;
  if (vwindowIsIconified(w)) {
    win::SelectClipRgn(ps.hdc, nullptr);
    win::DrawIcon(ps.hdc, 2, 2, iconOf(w));
    win::EndPaint(hwnd, &ps);
    win::DeleteObject(region);
    return;
  }
  realizeDisplayPalette(ps.hdc);
  win::EndPaint(hwnd, &ps);
  vexGuard(
      [&] {
        deliverUpdate(w, hwnd, region, bounds);
        veventDispatch(veventCreateUpdate(w));
      },
      [&](vexHandler&) {
        win::DeleteObject(region);
        _vexGenerate(nullptr, vexEnd);
      });
  win::DeleteObject(region);
}

bool sizingCommand(win::UINT command) {
  return command == win::SC_MOVE || command == win::SC_SIZE || command == win::SC_MAXIMIZE ||
         command == win::SC_MINIMIZE || command == win::SC_RESTORE;
}

bool anyButtonDown() {
  return win::GetKeyState(win::VK_LBUTTON) < 0 || win::GetKeyState(win::VK_MBUTTON) < 0 ||
         win::GetKeyState(win::VK_RBUTTON) < 0;
}

// An icon's background: a document's in its own context; any other's is
// the desktop's, where no window above it covers the icon.
void eraseIcon(vwindow* w, win::HWND hwnd, win::HDC dc) {
  struct Held {  // released however the window's answer ends
    win::HRGN clip;
    win::HDC desktop = nullptr;
    ~Held() {
      if (desktop) win::ReleaseDC(nullptr, desktop);
      win::DeleteObject(clip);
    }
  } held{updateRegion(hwnd)};
  win::HRGN clip = held.clip;
  if (win::HRGN painting = P().paintRegion) win::CombineRgn(clip, painting, nullptr, win::RGN_COPY);
  if (w->native->nativeKind != vwindowMSW_KIND_DOCUMENT) {
    win::POINT origin{0, 0};
    win::ClientToScreen(hwnd, &origin);
    win::OffsetRgn(clip, origin.x, origin.y);
    win::HWND active = win::GetActiveWindow();
    bool pressing = anyButtonDown();
    for (win::HWND above = win::GetWindow(hwnd, win::GW_HWNDPREV); above;
         above = win::GetWindow(above, win::GW_HWNDPREV)) {
      if (!win::IsWindowVisible(above) || (pressing && above == active && win::IsIconic(above))) continue;
      win::RECT r{};
      win::GetWindowRect(above, &r);
      win::HRGN cover = vwindowMSWGdi.createRectRgn(r.left, r.top, r.right, r.bottom);
      win::CombineRgn(clip, clip, cover, win::RGN_DIFF);
      win::DeleteObject(cover);
    }
    dc = held.desktop = win::GetDC(nullptr);
  }
  win::SelectClipRgn(dc, clip);
  win::SendMessageA(hwnd, win::WM_ICONERASEBKGND, reinterpret_cast<win::WPARAM>(dc), 0);
  win::SelectClipRgn(dc, nullptr);
}

void eraseBackground(vwindow* w, win::HWND hwnd, win::HDC dc) {
  vwindowMSWProcState& p = P();
  vwindowMSWNative* n = w->native;
  if (vwindowIsIconified(w)) {
    eraseIcon(w, hwnd, dc);
    return;
  }
  if (w == vwindowMSWGetCreatingWindow()) {
    win::RECT bounds{};
    win::GetUpdateRect(hwnd, &bounds, 0);
    win::HRGN region = updateRegion(hwnd);
    deliverUpdate(w, hwnd, region, bounds);
    win::DeleteObject(region);
    return;
  }
  if (!(n->flags & vwindowMSW_NATIVE_ERASE)) return;
  if (sizingCommand(p.sysCommand) && (p.sysCommandHwnd == hwnd || p.sysCommandHwnd == win::GetParent(hwnd))) {
    // The window is being dragged about: the next update erases instead.
    n->flags &= ~vwindowMSW_NATIVE_ERASE;
    return;
  }
  win::HRGN clip = p.paintRegion;
  win::HRGN own = nullptr;
  if (!clip) clip = own = updateRegion(hwnd);
  win::RECT client{};
  win::GetClientRect(hwnd, &client);
  win::SelectClipRgn(dc, clip);
  win::HGDIOBJ was = win::SelectObject(dc, vwindowMSWGetBackgroundBrush(vwindowDetermineColor(w, vcolorBACKGROUND)));
  win::PatBlt(dc, 0, 0, client.right, client.bottom, win::PATCOPY);
  win::SelectObject(dc, was);
  win::SelectClipRgn(dc, nullptr);
  if (own) win::DeleteObject(own);
  if (!(w->flags & vwindowSAVE_BITS) && !(n->flags & vwindowMSW_UPDATE_PENDING)) {
    n->flags |= vwindowMSW_UPDATE_PENDING;
    ++_vwindowMSW().pendingUpdates;
  }
}

// ---- Window states ------------------------------------------------------------------------

// The framework marks a window maximized before its native window is: a
// restore counts only for a native window that was maximized.
void sizeStates(vwindow* w, win::WPARAM kind) {
  auto state = [w](int code) { veventDispatch(veventCreateWindowState(w, code)); };
  bool iconic = vwindowIsIconified(w);
  bool zoomed = (w->flags & vwindowMAXIMIZED) && (w->native->flags & vwindowMSW_ZOOMED);
  if (kind == win::SIZE_MAXIMIZED)
    w->native->flags |= vwindowMSW_ZOOMED;
  else
    w->native->flags &= ~vwindowMSW_ZOOMED;
  if (kind == win::SIZE_RESTORED) {
    if (iconic)
      state(veventSTATE_DEICONIFIED);
    else if (zoomed)
      state(veventSTATE_RESTORED);
  } else if (kind == win::SIZE_MINIMIZED) {
    if (!iconic) state(veventSTATE_ICONIFIED);
  } else if (kind == win::SIZE_MAXIMIZED) {
    if (iconic) state(veventSTATE_DEICONIFIED);
    if (!(w->flags & vwindowMAXIMIZED)) state(veventSTATE_MAXIMIZED);
  }
}

void getMinMax(vwindow* w, win::MINMAXINFO* info) {
  vwindowMSWGetMinMax(w, info);
  auto clampLow = [](win::LONG& v) { v = v < 0 ? 0 : v; };
  auto clampHigh = [](win::LONG& v) { v = v > 8191 ? 8191 : v; };
  clampLow(info->ptMinTrackSize.x);
  clampLow(info->ptMinTrackSize.y);
  clampHigh(info->ptMaxTrackSize.x);
  clampHigh(info->ptMaxTrackSize.y);
  if (info->ptMaxSize.x > info->ptMaxTrackSize.x) info->ptMaxSize.x = info->ptMaxTrackSize.x;
  if (info->ptMaxSize.y > info->ptMaxTrackSize.y) info->ptMaxSize.y = info->ptMaxTrackSize.y;
  // A window the framework maximized has its place chosen already: the
  // native maximized window takes that place rather than the screen's corner.
  if ((w->flags & vwindowMAXIMIZED) && w->native) {
    int x, y, width, height;
    _vwindowMSWOuterRect(w, &x, &y, &width, &height);
    info->ptMaxPosition = {x, y};
    info->ptMaxSize = {width, height};
  }
}

bool isMenu(vwindow* w) {
  vname name = w->cls ? w->cls->name : nullptr;
  return name && std::string(name) == "vmenu";
}

// Every window of the application hears the new system font.
void systemSettingsChanged() {
  vwindowMSWSystemFontsChanged();
  vapplicationWindowIterator it;
  vapplicationInitWindowIterator(&it, _vwindowMSWApplication());
  std::vector<vwindow*> windows;
  while (vapplicationNextWindow(&it)) windows.push_back(it.window);
  for (vwindow* w : windows) {
    vobjectIssueTag(w, vname_SystemFont, nullptr);
    vobjectIssueTag(w, vname_Solution, nullptr);
    if (!isMenu(w)) continue;
    vobjectIssueTag(w, vname_Size, nullptr);
    vwindowChildIterator children;
    vwindowInitChildIterator(&children, w);
    while (vwindowNextChildIterator(&children))
      if (isMenu(children.child)) vobjectIssueTag(children.child, vname_SystemFont, nullptr);
  }
}

// Alt alone, or Alt with a letter, that a window inside this one left
// unhandled: the frame hears it as its own keys first, so the title keys
// of a menu bar the framework draws there reach it; a native menu gets
// what the frame leaves.
bool menuKeyToDrawnBar(vwindow* w, win::HWND hwnd, win::LPARAM lParam) {
  if (win::GetFocus() == hwnd) return false;
  auto c = static_cast<unsigned char>(lParam);
  if (c == '-' || c == ' ') return false;  // a system menu's key
  // Without a letter (Alt alone, F10) the platform's menu-bar key.
  std::uint32_t vk = c ? static_cast<std::uint32_t>(std::toupper(c)) : std::uint32_t{win::VK_F10};
  std::uint32_t key = c ? static_cast<std::uint32_t>(std::tolower(c)) : vwindowMSWKeyCode(win::VK_F10, false);
  const std::uint32_t mods = c ? std::uint32_t{veventMOD_ALT} : 0;
  int handled = veventDispatch(veventCreateKeyDown(w, 0, 0, vk, mods, key, 0));
  if (!c) handled = veventDispatch(veventCreateKeyUp(w, 0, 0, vk, 0, key, 0)) || handled;
  return handled != 0;
}

win::LRESULT sysCommand(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  win::UINT command = static_cast<win::UINT>(wParam) & ~0xFu;
  if (command == win::SC_MOVE && !(w->decoration & vwindowDECO_MOVABLE)) return 0;
  if (command == win::SC_KEYMENU && menuKeyToDrawnBar(w, hwnd, lParam)) return 0;
  win::UINT outerCommand = p.sysCommand;
  win::HWND outerHwnd = p.sysCommandHwnd;
  p.sysCommand = command;
  p.sysCommandHwnd = hwnd;
  win::LRESULT r = 0;
  vexGuard([&] { r = _vwindowMSWDefault(hwnd, win::WM_SYSCOMMAND, wParam, lParam); },
           [&](vexHandler&) {
             p.sysCommand = outerCommand;
             p.sysCommandHwnd = outerHwnd;
             _vexGenerate(nullptr, vexEnd);
           });
  p.sysCommand = outerCommand;
  p.sysCommandHwnd = outerHwnd;
  return r;
}

win::LRESULT setCursor(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  if ((lParam & 0xFFFF) != win::HTCLIENT) return _vwindowMSWDefault(hwnd, win::WM_SETCURSOR, wParam, lParam);
  win::POINT pt{};
  win::GetCursorPos(&pt);
  win::ScreenToClient(hwnd, &pt);
  win::RECT client{};
  win::GetClientRect(hwnd, &client);
  vwindowMSWSetCursorAt(w, pt.x, client.bottom - pt.y - 1);
  return 0;
}

// ---- The message table -------------------------------------------------------------------

win::LRESULT handle(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  switch (message) {
    case win::WM_DESTROY: {
      win::LRESULT r = _vwindowMSWDefault(hwnd, message, wParam, lParam);
      vwindowMSWForgetWindow(hwnd);
      return r;
    }
    case win::WM_SIZE:
      sizeStates(w, wParam);
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_SETFOCUS: setFocus(w, hwnd, wParam, lParam); return 0;
    case win::WM_KILLFOCUS: killFocus(w, hwnd, wParam, lParam); return 0;
    case win::WM_PAINT: paint(w, hwnd); return 0;
    case win::WM_CLOSE:
      // A close request to a window the modal window blocks is refused.
      if (vwindow* modal = vwindowMSWBlockedBy(w)) {
        _vwindowMSWTurnToModal(modal, true);
        return 0;
      }
      veventDispatch(veventCreateWindowState(w, veventSTATE_CLOSE));
      return 0;
    case win::WM_QUERYENDSESSION: return _vwindowMSWQueryEndSession(hwnd, message, wParam, lParam);
    case win::WM_QUIT: veventStopProcessing(); return 0;
    case win::WM_ERASEBKGND:
      if (vwindowIsOpen(w)) eraseBackground(w, hwnd, reinterpret_cast<win::HDC>(wParam));
      return 1;
    case win::WM_SYSCOLORCHANGE:
      vwindowMSWSysColorsChanged();
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_SHOWWINDOW:
      if (wParam && !vwindowIsIconified(w)) veventDispatch(veventCreateWindowState(w, veventSTATE_SHOWN));
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_WININICHANGE:
      if (!lParam) systemSettingsChanged();
      return 0;
    case win::WM_SETCURSOR: return setCursor(w, hwnd, wParam, lParam);
    case win::WM_MOUSEACTIVATE: return _vwindowMSWMouseActivate(w, hwnd, wParam, lParam);
    case win::WM_ACTIVATE:
      if ((wParam & 0xFFFF) != win::WA_INACTIVE && _vwindowMSWKeepModalActive(w, hwnd)) return 0;
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_GETMINMAXINFO:
      getMinMax(w, reinterpret_cast<win::MINMAXINFO*>(lParam));
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_QUERYDRAGICON: return asParam(iconOf(w));
    case win::WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const win::WINDOWPOS*>(lParam);
      bool changed = !pos || (pos->flags & (win::SWP_NOMOVE | win::SWP_NOSIZE)) != (win::SWP_NOMOVE | win::SWP_NOSIZE) ||
                     (pos->flags & win::SWP_FRAMECHANGED);
      win::LRESULT r = _vwindowMSWDefault(hwnd, message, wParam, lParam);
      if (changed) geometryChanged(w, hwnd);
      return r;
    }
    case win::WM_NCCALCSIZE: return ncCalcSize(w, hwnd, wParam, lParam);
    case win::WM_KEYDOWN:
    case win::WM_SYSKEYDOWN:
    case win::WM_KEYUP:
    case win::WM_SYSKEYUP: return _vwindowMSWKey(w, hwnd, message, wParam, lParam);
    case win::WM_CHAR:
    case win::WM_DEADCHAR:
    case win::WM_SYSCHAR:
    case win::WM_SYSDEADCHAR: return _vwindowMSWChar(w, hwnd, message, wParam, lParam);
    case win::WM_IME_STARTCOMPOSITION:
    case win::WM_IME_COMPOSITION:
    case win::WM_IME_ENDCOMPOSITION:
      return vinputMSWComposition(hwnd, message, lParam) ? 0 : _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_SYSCOMMAND: return sysCommand(w, hwnd, wParam, lParam);
    case win::WM_INITMENU: return 0;
    case win::WM_INITMENUPOPUP:
      if (win::HIWORD(static_cast<std::uintptr_t>(lParam))) _vwindowMSWAdjustSystemMenu(w, reinterpret_cast<win::HMENU>(wParam));
      return 0;
    case win::WM_NCMOUSEMOVE:
      p.ncPoint = win::POINT{static_cast<std::int16_t>(lParam & 0xFFFF), static_cast<std::int16_t>((lParam >> 16) & 0xFFFF)};
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_NCLBUTTONDOWN:
      p.ncCountdown = 1;
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_MOUSEMOVE: return _vwindowMSWMouseMove(w, hwnd, wParam, lParam);
    case win::WM_LBUTTONDOWN:
    case win::WM_MBUTTONDOWN:
    case win::WM_RBUTTONDOWN:
    case win::WM_LBUTTONUP:
    case win::WM_MBUTTONUP:
    case win::WM_RBUTTONUP: return _vwindowMSWButton(w, hwnd, message, wParam, lParam);
    case win::WM_MDIACTIVATE:
      if (reinterpret_cast<win::HWND>(lParam) == hwnd && !w->native->menuBar && clientFor(w, hwnd))
        win::SendMessageA(win::GetParent(clientFor(w, hwnd)), kFrameMenus, 0, 0);
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case win::WM_RENDERFORMAT:
    case win::WM_RENDERALLFORMATS:
    case win::WM_DESTROYCLIPBOARD: _vwindowMSWClipboardMessage(message, wParam); return 0;
    case win::WM_QUERYNEWPALETTE:
    case win::WM_PALETTECHANGED: return _vwindowMSWPalette(w, hwnd, message, wParam);
    case kSystemMenuByMouse: return win::SendMessageA(hwnd, win::WM_SYSCOMMAND, wParam | 0xF090, lParam);
    case kGeometry: geometryChanged(w, hwnd); return 0;
    case kHiddenForReuse:
      vwindowMSWForgetWindow(hwnd);
      return _vwindowMSWDefault(hwnd, message, wParam, lParam);
    case kUpdateNow: win::UpdateWindow(hwnd); return 0;
    default: return _vwindowMSWDefault(hwnd, message, wParam, lParam);
  }
}

// No framework window: the clipboard, another process's flush, forgetting.
win::LRESULT unregistered(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  switch (message) {
    case win::WM_RENDERFORMAT:
    case win::WM_RENDERALLFORMATS:
    case win::WM_DESTROYCLIPBOARD: _vwindowMSWClipboardMessage(message, wParam); return 0;
    case win::WM_DESTROY:
    case kHiddenForReuse:
      vwindowMSWForgetWindow(hwnd);
      return win::DefWindowProcA(hwnd, message, wParam, lParam);
    default: break;
  }
  if (message == vwindowMSWDestroyCachedObjectsMessage() &&
      reinterpret_cast<win::HWND>(lParam) != _vwindowMSW().display.mainWindow) {
    vwindowMSWRecoverResources(0, "MESSAGE");
    return 0;
  }
  return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

vwindowMSWProcState& _vwindowMSWProc() { return procState; }

vwindow* _vwindowMSWLookup(win::HWND hwnd) {
  vwindow* w = vwindowFindFromMSWWindow(hwnd);
  return w && vwindowIsOpen(w) ? w : nullptr;
}

win::LRESULT _vwindowMSWDefault(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  std::uint8_t kind = p.cachedHwnd == hwnd ? p.cachedKind : std::uint8_t{vwindowMSW_PROC_PLAIN};
  switch (kind) {
    case vwindowMSW_PROC_MDI_CHILD: return win::DefMDIChildProcA(hwnd, message, wParam, lParam);
    case vwindowMSW_PROC_MDI_FRAME: return win::DefFrameProcA(hwnd, p.cachedClient, message, wParam, lParam);
    default: return win::DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

void vwindowMSWForgetCachedKind(win::HWND hwnd) {
  vwindowMSWProcState& p = P();
  if (p.cachedHwnd != hwnd) return;
  p.cachedHwnd = nullptr;
  p.cachedWindow = nullptr;
  p.cachedClient = nullptr;
  p.cachedKind = 0;
}

void vwindowMSWForgetWindow(win::HWND hwnd) {
  vwindowMSWProcState& p = P();
  vwindowMSWForgetCachedKind(hwnd);
  if (p.buttonGrabHwnd == hwnd) {
    p.buttonGrab = nullptr;
    p.buttonGrabHwnd = nullptr;
  }
  if (p.pointerHwnd == hwnd) {
    p.pointerHwnd = nullptr;
    p.pointerWindow = nullptr;
  }
  if (p.clickHwnd == hwnd) p.clickHwnd = nullptr;
}

win::LRESULT vwindowMSWWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  vwindowMSWProcState& p = P();
  vwindow* w = nullptr;
  if (hwnd && hwnd == p.cachedHwnd && p.cachedWindow && vwindowIsOpen(p.cachedWindow)) {
    w = p.cachedWindow;
  } else {
    w = _vwindowMSWLookup(hwnd);
    if (!w) w = vwindowMSWGetCreatingWindow();
    if (!w || !w->native) return unregistered(hwnd, message, wParam, lParam);
    win::HWND client = clientFor(w, hwnd);
    p.cachedHwnd = hwnd;
    p.cachedWindow = w;
    p.cachedClient = client;
    p.cachedKind = client ? w->native->procKind : std::uint8_t{vwindowMSW_PROC_PLAIN};
  }
  // A press that met no WM_MOUSEACTIVATE (its window's top level was
  // active, or it was posted again) meets the same check here.
  if (veventMSWIsPress(message))
    if (vwindow* modal = vwindowMSWBlockedBy(w)) {
      _vwindowMSWTurnToModal(modal, false);
      return 0;
    }
  if (vwindowMSWMenuProc menu = w->native->menuProc)
    if (win::LRESULT r = menu(w, hwnd, message, wParam, lParam)) return r;
  return handle(w, hwnd, message, wParam, lParam);
}

vwindowMSWProcInfo vwindowMSWGetProcInfo() {
  vwindowMSWProcState& p = P();
  return {p.clickCount, p.focusNesting, p.forwardedClick, p.cancelsQuit, p.fullDrag,
          p.stampMode,  p.cachedHwnd,   p.pointerHwnd,    p.buttonGrab};
}
