// The colour dialog: a scripted stand-in. A hidden window gives the hook
// WM_INITDIALOG, the queue runs (the hook's timers among it), each added
// custom colour is written into its cell with the add button's WM_COMMAND,
// and the queued answer (none: cancel) ends it with WM_DESTROY, after its
// delay on the platform clock.
#include <deque>

#include "platform/user/commdlg_internal.h"
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
  bool wake = message == WM_TIMER && wParam == internal::kStandInWakeTimer;
  if (hook && !wake && message != WM_INITDIALOG && message != WM_DESTROY) hook(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

BOOL ChooseColorA(CHOOSECOLORA* cc) {
  internal::setCommonDialogError(0);
  if (!cc || (cc->lStructSize != CHOOSECOLOR_PACKED_SIZE && cc->lStructSize != sizeof(CHOOSECOLORA))) {
    internal::setCommonDialogError(CDERR_STRUCTSIZE);
    return 0;
  }
  if (!cc->lpCustColors) return 0;
  lastRequest.flags = cc->Flags;
  lastRequest.initial = (cc->Flags & CC_RGBINIT) ? cc->rgbResult : 0;
  for (int i = 0; i < 16; ++i) lastRequest.custom[i] = cc->lpCustColors[i];
  lastRequest.owner = cc->hwndOwner;
  ++lastRequest.runs;
  LPCCHOOKPROC hook = (cc->Flags & CC_ENABLEHOOK) ? cc->lpfnHook : nullptr;
  HWND hwnd = internal::createStandInWindow("#ChooseColor", dialogProc, "Color", WS_POPUP, 450, 330, cc->hwndOwner);
  if (hwnd) SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook));
  if (hook) hook(hwnd, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(cc));
  test::ColorAnswer answer;
  if (!answers().empty()) {
    answer = answers().front();
    answers().pop_front();
  }
  if (hwnd) internal::pumpUntil(hwnd, GetTickCount64() + answer.delay);
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
