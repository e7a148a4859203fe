// Fixed system information, built-in cursors and icons, the pointer and
// the beep.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win {
namespace {

using internal::findWindow;

struct Metric {
  int index;
  int value;  // -1, -2: the screen's width, height
};
constexpr Metric kMetrics[] = {
    {SM_CXSCREEN, -1}, {SM_CYSCREEN, -2}, {SM_CXICON, 32},    {SM_CYICON, 32},      {SM_CXCURSOR, 32},
    {SM_CYCURSOR, 32}, {SM_CYMENU, 19},   {SM_CXSIZE, 18},    {SM_CYSIZE, 18},      {SM_CXDOUBLECLK, 4},
    {SM_CYDOUBLECLK, 4}, {SM_CYMENUSIZE, 18}, {SM_CXMENUCHECK, 13}, {SM_CYCAPTION, 19}, {SM_CXFRAME, 4},
    {SM_CYFRAME, 4},     {SM_CXSMICON, 16},   {SM_CYSMICON, 16},    {SM_CXVSCROLL, 16}, {SM_CYHSCROLL, 16},
};

// The classic colours, RRGGBB, indices 0-24.
constexpr std::uint32_t kSysColors[25] = {
    0xc0c0c0, 0x008080, 0x000080, 0x808080, 0xc0c0c0, 0xffffff, 0x000000, 0x000000, 0x000000,
    0xffffff, 0xc0c0c0, 0xc0c0c0, 0x808080, 0x000080, 0xffffff, 0xc0c0c0, 0x808080, 0x808080,
    0x000000, 0xc0c0c0, 0xffffff, 0x000000, 0xdfdfdf, 0x000000, 0xffffff,
};

COLORREF fromRgb(std::uint32_t rrggbb) {
  return RGB(static_cast<BYTE>(rrggbb >> 16), static_cast<BYTE>(rrggbb >> 8), static_cast<BYTE>(rrggbb));
}

struct SysColors {
  COLORREF values[25];
  SysColors() {
    for (int i = 0; i < 25; ++i) values[i] = fromRgb(kSysColors[i]);
  }
};
SysColors& sysColors() {
  static SysColors colors;
  return colors;
}

LOGFONTA defaultFont() {
  LOGFONTA f{};
  f.lfHeight = -11;
  f.lfWeight = 400;
  std::snprintf(f.lfFaceName, sizeof f.lfFaceName, "%s", "DejaVu Sans");
  return f;
}

struct SystemFonts {
  LOGFONTA iconTitle = defaultFont(), caption = defaultFont(), smallCaption = defaultFont(),
           menu = defaultFont(), status = defaultFont(), message = defaultFont();
};
SystemFonts& systemFonts() {
  static SystemFonts fonts;
  return fonts;
}


}  // namespace

int GetSystemMetrics(int index) {
  for (const Metric& m : kMetrics)
    if (m.index == index) {
      SIZE screen = backend::Current().ScreenSize();
      return m.value == -1 ? screen.cx : m.value == -2 ? screen.cy : m.value;
    }
  return 0;
}

UINT GetDoubleClickTime() { return 500; }

DWORD GetSysColor(int index) { return index >= 0 && index < 25 ? sysColors().values[index] : 0; }

BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* pvParam, UINT) {
  const SystemFonts& f = systemFonts();
  switch (action) {
    case SPI_GETICONTITLELOGFONT:
      if (!pvParam || uiParam != sizeof(LOGFONTA)) break;
      *static_cast<LOGFONTA*>(pvParam) = f.iconTitle;
      return 1;
    case SPI_GETNONCLIENTMETRICS: {
      auto* m = static_cast<NONCLIENTMETRICSA*>(pvParam);
      if (!m || m->cbSize != sizeof(NONCLIENTMETRICSA)) break;
      *m = {sizeof(NONCLIENTMETRICSA), 1, 16, 16, 18, 18, f.caption, 12, 15, f.smallCaption, 18, 19, f.menu, f.status,
            f.message};
      return 1;
    }
    case SPI_GETWORKAREA: {
      if (!pvParam) break;
      SIZE s = backend::Current().ScreenSize();
      *static_cast<RECT*>(pvParam) = {0, 0, s.cx, s.cy};
      return 1;
    }
    default:
      break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

BOOL MessageBeep(UINT) {
  backend::Current().Beep();
  return 1;
}

BOOL SetCursorPos(int x, int y) {
  internal::pointerPosition() = {x, y};
  backend::Current().WarpPointer({x, y});
  return 1;
}

namespace test {

void SetScreenSize(int width, int height) { Headless().screen = {width, height}; }
int BeepCount() { return Headless().beeps; }
HCURSOR CurrentCursor() { return GetCursor(); }
HWND ActiveWindow() { return GetActiveWindow(); }

void SetSysColor(int index, COLORREF color) {
  if (index < 0 || index >= 25) return;
  sysColors().values[index] = color;
  std::vector<HWND> order = internal::topLevelOrder();
  for (HWND h : order)
    if (findWindow(h)) SendMessageA(h, WM_SYSCOLORCHANGE, 0, 0);
}

void SetSystemFonts(const LOGFONTA& iconTitle, const LOGFONTA& menu, const LOGFONTA& message, const LOGFONTA& status) {
  SystemFonts& f = systemFonts();
  f.iconTitle = iconTitle;
  f.menu = menu;
  f.message = message;
  f.status = status;
  std::vector<HWND> order = internal::topLevelOrder();
  for (HWND h : order)
    if (findWindow(h)) SendMessageA(h, WM_WININICHANGE, 0, 0);
}

}  // namespace test
}  // namespace win
