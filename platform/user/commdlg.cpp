// The scripted common dialogs' shared parts: the extended error, the
// hidden stand-in windows and the pumped wait.
//
// - The scripted common dialogs share `platform/user/commdlg.cpp` (`commdlg_internal.h`):
//   `CommDlgExtendedError`, the hidden stand-in windows (a class per dialog, registered on first
//   use) and `pumpUntil`, which dispatches the queue until the platform clock reaches the answer's
//   time (a private wake timer on the stand-in; under the virtual clock the wait moves the clock),
//   so the framework's modal timer 101 reaches the hook meanwhile.
#include <cstdint>
#include <map>
#include <string>

#include "platform/user/commdlg_internal.h"

namespace win {
namespace {
DWORD lastError = 0;
}  // namespace

DWORD CommDlgExtendedError() { return lastError; }

namespace internal {

void setCommonDialogError(DWORD error) { lastError = error; }

HWND createStandInWindow(const char* className, WNDPROC proc, const char* title, DWORD style, int width, int height,
                         HWND parent, int id) {
  static std::map<std::string, bool> registered;
  if (!registered[className]) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = className;
    registered[className] = RegisterClassA(&wc) != 0;
  }
  return CreateWindowExA(0, className, title, style, 0, 0, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
}

void pumpUntil(HWND window, ULONGLONG due) {
  for (;;) {
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    ULONGLONG now = GetTickCount64();
    if (now >= due) return;
    SetTimer(window, kStandInWakeTimer, static_cast<UINT>(due - now), nullptr);
    WaitMessage();
    KillTimer(window, kStandInWakeTimer);
  }
}

}  // namespace internal
}  // namespace win
