// A colour cursor of the framework on a real X server (x11_smoke.sh starts
// Xvfb): a red body with a black block under its hot spot, clear outside its
// mask. Its hot spot is moved after a first use; the server's cursor image,
// read back through XFixes, must show the colours, the mask and the new hot
// spot. Exits 0 when all holds.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "fw/core/sys.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/msw.h"
#include "platform/win.h"
#include "tests/x11/x11_queue.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace {

using x11queue::check;
using x11queue::failures;
using x11queue::pumpUntil;

constexpr int kSize = 32;
// In image coordinates (rows from the bottom): the body, a blue band on it
// (a third colour, which a two-colour cursor cannot show), and the black
// block around the hot spot (10, 10).
bool inBody(int x, int y) { return x >= 4 && x < 28 && y >= 4 && y < 28; }
bool inBand(int x, int y) { return inBody(x, y) && x >= 20; }
bool inBlock(int x, int y) { return x >= 8 && x < 13 && y >= 8 && y < 13; }

vcursor* makeCursor() {
  vcursor* c = vcursorCreate();
  vimageInitSized(c, kSize, kSize, 0x1000000u);
  vpixmapSetDepth(c, 24);
  vimageSetNoPalette(c, 1);
  vimage* mask = vimageCreateSized(kSize, kSize, 2);
  vpixmapCursor pc, mc;
  vpixmapInitCursor(&pc, c);
  vpixmapInitCursor(&mc, mask);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      vpixmapCursorSetAt(&pc, x, y,
                         inBlock(x, y) ? 0x000000u : inBand(x, y) ? 0x0000FFu : inBody(x, y) ? 0xFF0000u : 0x00FF00u);
      vpixmapCursorSetAt(&mc, x, y, inBody(x, y) ? 1 : 0);
    }
  vpixmapFinishCursor(&pc);
  vpixmapFinishCursor(&mc);
  vpixmapMarkChanged(c);
  vpixmapMarkChanged(mask);
  vimageSetMaskOwned(c, mask);
  return c;
}

win::LRESULT proc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) { return win::DefWindowProcA(h, m, w, l); }

}  // namespace

int main() {
  vsysStartup();
  vwindowEnsureStartup();
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = "CursorTest";
  wc.hbrBackground = win::CreateSolidBrush(win::RGB(255, 255, 255));
  win::RegisterClassA(&wc);
  win::HWND hwnd = win::CreateWindowExA(0, "CursorTest", "Cursor", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 40, 30,
                                        200, 120, nullptr, nullptr, nullptr, nullptr);
  check(hwnd != nullptr, "the window opens");

  Display* user = XOpenDisplay(nullptr);
  int event = 0, error = 0;
  if (!user || !XFixesQueryExtension(user, &event, &error)) {
    std::fprintf(stderr, "FAILED: no XFixes on the display\n");
    return 1;
  }
  check(pumpUntil([&] { return x11queue::viewable(user, "Cursor"); }), "the window shows");

  // The hot spot changed after a first use is the one the server gets.
  vcursor* c = makeCursor();
  vcursorSetHotSpot(c, 3, 3);
  check(vcursorGetMSWCursor(c) != nullptr, "a native cursor is made");
  vcursorSetHotSpot(c, 10, 10);
  win::HCURSOR cursor = vcursorGetMSWCursor(c);
  win::ICONINFO info{};
  check(win::GetIconInfo(cursor, &info) && info.xHotspot == 10 && info.yHotspot == 21,
        "the native hot spot is (10, 21): " + std::to_string(info.xHotspot) + "," + std::to_string(info.yHotspot));
  if (info.hbmMask) win::DeleteObject(info.hbmMask);
  if (info.hbmColor) win::DeleteObject(info.hbmColor);

  win::POINT inside{60, 60};
  win::ClientToScreen(hwnd, &inside);
  XWarpPointer(user, 0, DefaultRootWindow(user), 0, 0, 0, 0, inside.x, inside.y);
  XSync(user, False);
  // The program has seen the pointer come in (and set the window's own
  // cursor for it) before the test sets its own.
  check(pumpUntil([&] {
    win::POINT at{};
    win::GetCursorPos(&at);
    return at.x == inside.x && at.y == inside.y;
  }), "the program sees the pointer over the window");
  win::SetCursor(cursor);
  // The server shows the new cursor once the program's request reaches it.
  XFixesCursorImage* shown = nullptr;
  pumpUntil([&] {
    if (shown) XFree(shown);
    shown = XFixesGetCursorImage(user);
    return shown && shown->width == kSize && shown->height == kSize;
  });
  check(shown != nullptr, "the server shows a cursor");
  if (shown) {
    check(shown->width == kSize && shown->height == kSize,
          "the cursor is 32 x 32: " + std::to_string(shown->width) + " x " + std::to_string(shown->height));
    check(shown->xhot == 10 && shown->yhot == 21,
          "the server's hot spot is (10, 21): " + std::to_string(shown->xhot) + "," + std::to_string(shown->yhot));
    if (shown->width == kSize && shown->height == kSize) {
      auto at = [&](int x, int y) {  // image coordinates, rows from the bottom
        return static_cast<std::uint32_t>(shown->pixels[static_cast<std::size_t>((kSize - 1 - y) * kSize + x)]);
      };
      struct Probe {
        int x, y;
        std::uint32_t argb;
        const char* what;
      } probes[] = {{5, 5, 0xFFFF0000u, "red body"},   {16, 26, 0xFFFF0000u, "red body, top"},
                    {24, 16, 0xFF0000FFu, "blue band"},
                    {10, 10, 0xFF000000u, "black block under the hot spot"}, {8, 12, 0xFF000000u, "black block"},
                    {1, 1, 0, "clear outside the mask"},  {30, 16, 0, "clear outside the mask, right"}};
      for (const Probe& p : probes) {
        char got[16];
        std::snprintf(got, sizeof got, "%08X", at(p.x, p.y));
        check(at(p.x, p.y) == p.argb, std::string(p.what) + ": " + got);
      }
    }
    XFree(shown);
  }

  win::SetCursor(win::LoadCursorA(nullptr, win::IDC_ARROW));
  vcursorDestroy(c);
  win::DestroyWindow(hwnd);
  XCloseDisplay(user);
  vsysRunExitHandlers();  // the framework's end, as a program's: nothing left behind
  if (failures == 0) std::printf("x11 cursor: all held\n");
  return failures ? 1 : 0;
}
