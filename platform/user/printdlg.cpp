// The print dialogs. Asked for the default printer they answer at once;
// the Print and Print Setup dialogs are scripted stand-ins: a hidden window
// that gives the hook WM_INITDIALOG, lets the queue run (the hook's timers
// among it), takes its answer and gives the hook WM_DESTROY.
#include <cstring>
#include <deque>
#include <string>

#include "platform/backend/backend.h"
#include "platform/user/commdlg_internal.h"
#include "platform/win/test.h"

namespace win {
namespace {

constexpr char kDriver[] = "WINSPOOL", kDevice[] = "PNG Printer", kPort[] = "FILE:";
std::deque<test::PrintAnswer>& answers() {
  static std::deque<test::PrintAnswer> queue;
  return queue;
}

HGLOBAL defaultDevMode() {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA));
  if (auto* m = static_cast<DEVMODEA*>(GlobalLock(block))) {
    std::strcpy(m->dmDeviceName, kDevice);
    m->dmSpecVersion = m->dmDriverVersion = 0x0400;
    m->dmSize = sizeof(DEVMODEA);
    m->dmFields = 0x1 | 0x2 | 0x100 | 0x400 | 0x2000;  // orientation, paper, copies, quality, y resolution
    m->dmOrientation = 1;                              // portrait
    m->dmPaperSize = 1;                                // letter
    m->dmCopies = 1;
    m->dmPrintQuality = m->dmYResolution = 150;
    m->dmColor = 2;
    GlobalUnlock(block);
  }
  return block;
}

HGLOBAL defaultDevNames() {
  const std::size_t driver = sizeof(DEVNAMES), device = driver + sizeof kDriver, port = device + sizeof kDevice;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, port + sizeof kPort);
  if (auto* bytes = static_cast<char*>(GlobalLock(block))) {
    DEVNAMES head{WORD(driver), WORD(device), WORD(port), 1};  // 1: the default printer
    std::memcpy(bytes, &head, sizeof head);
    std::memcpy(bytes + driver, kDriver, sizeof kDriver);
    std::memcpy(bytes + device, kDevice, sizeof kDevice);
    std::memcpy(bytes + port, kPort, sizeof kPort);
    GlobalUnlock(block);
  }
  return block;
}

// The printer chosen: records where there are none, and the DC when asked.
void fill(PRINTDLGA* pd) {
  if (!pd->hDevMode) pd->hDevMode = defaultDevMode();
  if (!pd->hDevNames) pd->hDevNames = defaultDevNames();
  if (pd->Flags & PD_RETURNDC) pd->hDC = CreateDCA(kDriver, kDevice, nullptr, nullptr);
}

LRESULT dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto hook = reinterpret_cast<LPPRINTHOOKPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  bool wake = message == WM_TIMER && wParam == internal::kStandInWakeTimer;
  if (hook && !wake && message != WM_INITDIALOG && message != WM_DESTROY) hook(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool headless() { return backend::IsHeadless(); }

// The stand-in's answer: queued by a test; none queued, cancel on the
// headless back-end and OK with the current settings on X11 (there is no
// one to ask, and a cancel would make printing unreachable).
test::PrintAnswer runDialog(PRINTDLGA* pd) {
  bool setup = pd->Flags & PD_PRINTSETUP;
  LPPRINTHOOKPROC hook = nullptr;
  if (setup && (pd->Flags & PD_ENABLESETUPHOOK)) hook = pd->lpfnSetupHook;
  if (!setup && (pd->Flags & PD_ENABLEPRINTHOOK)) hook = pd->lpfnPrintHook;
  HWND hwnd = internal::createStandInWindow("#PrintDlg", dialogProc, setup ? "Print Setup" : "Print", WS_POPUP, 300, 200,
                                            pd->hwndOwner);
  if (hwnd) SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook));
  if (hook) hook(hwnd, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(pd));
  if (hwnd) internal::pumpUntil(hwnd, GetTickCount64());
  test::PrintAnswer answer{!headless(), 0, 0};
  if (!answers().empty()) {
    answer = answers().front();
    answers().pop_front();
  }
  if (hook) hook(hwnd, WM_DESTROY, 0, 0);
  if (hwnd) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);  // the hook has had its last message
    DestroyWindow(hwnd);
  }
  return answer;
}

}  // namespace

BOOL PrintDlgA(PRINTDLGA* pd) {
  internal::setCommonDialogError(0);
  if (!pd || (pd->lStructSize != PRINTDLG_PACKED_SIZE && pd->lStructSize != sizeof(PRINTDLGA))) {
    internal::setCommonDialogError(CDERR_STRUCTSIZE);
    return 0;
  }
  if (pd->Flags & PD_RETURNDEFAULT) {
    fill(pd);
    return 1;
  }
  test::PrintAnswer answer = runDialog(pd);
  if (!answer.ok) return 0;
  pd->Flags &= ~(PD_PAGENUMS | PD_SELECTION);
  if (!(pd->Flags & PD_PRINTSETUP) && answer.from > 0) {
    pd->Flags |= PD_PAGENUMS;
    pd->nFromPage = WORD(answer.from);
    pd->nToPage = WORD(answer.to);
  }
  fill(pd);
  return 1;
}

namespace test {
void QueuePrintAnswer(const PrintAnswer& answer) { answers().push_back(answer); }
}  // namespace test

}  // namespace win
