// The input method: a back-end's compositions become WM_IME_ messages in
// the hardware input queue, in order with the keys, routed as keys are;
// the strings of the last one taken are what the program reads.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/backend/input.h"
#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win {
namespace internal {
namespace {

struct Ime {
  bool composing = false;  // as queued: a start went out without its end
  std::string composition, result;
  int cursor = 0;
};

Ime& ime() {
  static Ime state;
  return state;
}

// The one input context every window shares.
HIMC theContext() { return reinterpret_cast<HIMC>(std::uintptr_t{1}); }

void queueComposition(UINT message, LPARAM flags, const std::string& text = {}, int cursor = 0) {
  HardwareInput r;
  r.kind = HardwareInput::Kind::composition;
  r.pt = pointerPosition();
  r.time = GetTickCount();
  r.msg = {nullptr, message, 0, flags, r.time, r.pt};
  r.text = text;
  r.cursor = cursor;
  queueHardware(r);
}

LONG copyOut(const std::string& text, void* buffer, DWORD bytes) {
  if (!buffer || bytes == 0) return static_cast<LONG>(text.size());
  std::size_t n = std::min<std::size_t>(text.size(), bytes);
  std::memcpy(buffer, text.data(), n);
  return static_cast<LONG>(n);
}

}  // namespace

void routeComposition(HardwareInput& in) {
  HWND target = GetFocus();
  if (!target) target = activeWindow();
  if (!target) {
    in.dropped = true;
    return;
  }
  in.msg.hwnd = target;
}

void compositionTaken(const HardwareInput& in) {
  if (in.msg.message != WM_IME_COMPOSITION || in.dropped) return;
  Ime& s = ime();
  if (in.msg.lParam & GCS_RESULTSTR) {
    s.result = in.text;
    s.composition.clear();
    s.cursor = 0;
  } else {
    s.composition = in.text;
    s.cursor = std::clamp(in.cursor, 0, static_cast<int>(in.text.size()));
  }
}

void resetIme() { ime() = Ime{}; }

void postCommitted(HWND hwnd) {
  for (unsigned char c : ime().result) PostMessageA(hwnd, WM_CHAR, c, 1);
}

}  // namespace internal

namespace backend {

void InputComposition(const std::string& text, int cursor) {
  internal::Ime& s = internal::ime();
  if (!s.composing && text.empty()) return;
  if (!s.composing) internal::queueComposition(WM_IME_STARTCOMPOSITION, 0);
  s.composing = true;
  internal::queueComposition(WM_IME_COMPOSITION, GCS_COMPSTR | GCS_CURSORPOS, text, cursor);
  if (!text.empty()) return;
  internal::queueComposition(WM_IME_ENDCOMPOSITION, 0);
  s.composing = false;
}

void InputCommit(const std::string& text) {
  internal::Ime& s = internal::ime();
  if (!s.composing && text.empty()) return;
  if (!s.composing) internal::queueComposition(WM_IME_STARTCOMPOSITION, 0);
  internal::queueComposition(WM_IME_COMPOSITION, GCS_RESULTSTR, text);
  internal::queueComposition(WM_IME_ENDCOMPOSITION, 0);
  s.composing = false;
}

}  // namespace backend

HIMC ImmGetContext(HWND hwnd) { return internal::findWindow(hwnd) ? internal::theContext() : nullptr; }

BOOL ImmReleaseContext(HWND, HIMC context) { return context == internal::theContext(); }

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bytes) {
  if (context != internal::theContext()) return -1;
  const internal::Ime& s = internal::ime();
  switch (index) {
    case GCS_COMPSTR: return internal::copyOut(s.composition, buffer, bytes);
    case GCS_RESULTSTR: return internal::copyOut(s.result, buffer, bytes);
    case GCS_CURSORPOS: return s.cursor;
    default: return 0;
  }
}

BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD) {
  if (context != internal::theContext() || action != NI_COMPOSITIONSTR || index != CPS_CANCEL) return 0;
  internal::Ime& s = internal::ime();
  if (s.composing) {
    backend::Current().CancelComposition();
    s.composing = false;
  }
  s.composition.clear();
  s.cursor = 0;
  return 1;
}

namespace test {

void Compose(const std::string& text, int cursor) { backend::InputComposition(text, cursor); }
void Commit(const std::string& text) { backend::InputCommit(text); }

}  // namespace test

}  // namespace win
