// The colour dialog: a scripted stand-in. A hidden window gives the hook
// WM_INITDIALOG, the queue runs (the hook's timers among it), each added
// custom colour is written into its cell with the add button's WM_COMMAND,
// and the queued answer (none: cancel) ends it with WM_DESTROY.
#include <deque>

#include "platform/win/commdlg.h"
#include "platform/win/test.h"

namespace win {
namespace {

std::deque<test::ColorAnswer>& answers() {
  static std::deque<test::ColorAnswer> queue;
  return queue;
}
test::ColorRequest lastRequest;

LRESULT dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto hook = reinterpret_cast<LPCCHOOKPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (hook && message != WM_INITDIALOG && message != WM_DESTROY) hook(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

BOOL ChooseColorA(CHOOSECOLORA* cc) {
  if (!cc || (cc->lStructSize != CHOOSECOLOR_PACKED_SIZE && cc->lStructSize != sizeof(CHOOSECOLORA)) ||
      !cc->lpCustColors)
    return 0;
  lastRequest.flags = cc->Flags;
  lastRequest.initial = (cc->Flags & CC_RGBINIT) ? cc->rgbResult : 0;
  for (int i = 0; i < 16; ++i) lastRequest.custom[i] = cc->lpCustColors[i];
  lastRequest.owner = cc->hwndOwner;
  ++lastRequest.runs;
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = dialogProc;
    wc.lpszClassName = "#ChooseColor";
    registered = RegisterClassA(&wc) != 0;
  }
  LPCCHOOKPROC hook = (cc->Flags & CC_ENABLEHOOK) ? cc->lpfnHook : nullptr;
  HWND hwnd = CreateWindowExA(0, "#ChooseColor", "Color", WS_POPUP, 0, 0, 450, 330, cc->hwndOwner, nullptr, nullptr,
                              nullptr);
  if (hwnd) SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook));
  if (hook) hook(hwnd, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(cc));
  MSG msg;
  for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  test::ColorAnswer answer;
  if (!answers().empty()) {
    answer = answers().front();
    answers().pop_front();
  }
  for (const auto& [cell, color] : answer.added) {
    if (cell < 0 || cell >= 16) continue;
    cc->lpCustColors[cell] = color;
    if (hook) hook(hwnd, WM_COMMAND, WPARAM(COLOR_ADD), 0);
  }
  if (hook) hook(hwnd, WM_DESTROY, 0, 0);
  if (hwnd) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  }
  if (!answer.ok) return 0;
  cc->rgbResult = answer.color & 0xFFFFFF;
  return 1;
}

namespace test {
void QueueColorAnswer(const ColorAnswer& answer) { answers().push_back(answer); }
const ColorRequest& LastColorRequest() { return lastRequest; }
}  // namespace test

}  // namespace win
