// The input-method object and its driver hooks, and the Windows module's
// share: the platform keeps the contexts; the input that has the keyboard
// shows the compositions its window is sent.
#include "fw/gui/window/inputmethod.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

int answerNothing(vinput*) { return 0; }

enum Hook { kCreate, kDestroy, kOpen, kClose, kNotify1, kNotify2, kNotify3, kSetArea, kSetSecondArea, kHooks };
vinputHook hooks[kHooks] = {answerNothing, answerNothing, answerNothing, answerNothing, answerNothing,
                            answerNothing, answerNothing, answerNothing, answerNothing};

void call(Hook h, vinput* input) { hooks[h](input); }

void** inputSlot = nullptr;

void inputInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* i = static_cast<vinput*>(self);
  i->owner = nullptr;
  std::memset(i->area, 0, sizeof i->area);
  std::memset(i->secondArea, 0, sizeof i->secondArea);
  i->driver = 0;
  i->flags = 0;
  call(kCreate, i);
}

void inputDestroy(vinstance* self) {
  auto* i = static_cast<vinput*>(self);
  vinputClose(i);
  call(kDestroy, i);
  vobjectGetDefaultClass()->destroy(self);
}

// An input method belongs to the view that made it: copies take nothing.
void ignoreCopy(vobject*, vobject*) {}

void ignoreUpdate(vinput*, const vinputUpdate*) {}

// The Windows module's driver: the input with the keyboard, and how many
// composed characters the platform has shown in it.
struct Driver {
  vinput* focus = nullptr;
  std::int32_t shown = 0;
};
Driver driver;

int doNothing(vinput*) { return 0; }
int takeKeyboard(vinput* i) {
  if (driver.focus != i) driver.shown = 0;
  driver.focus = i;
  return 0;
}
int giveUpKeyboard(vinput* i) {
  if (driver.focus == i) driver = Driver{};
  return 0;
}
// The owner finished or dropped its composition: the platform drops what
// it still composes.
int compositionDone(vinput* i) {
  if (driver.focus != i) return 0;
  bool pending = driver.shown > 0;
  driver.shown = 0;
  if (pending)
    if (win::HWND focus = win::GetFocus()) {
      win::HIMC context = win::ImmGetContext(focus);
      win::ImmNotifyIME(context, win::NI_COMPOSITIONSTR, win::CPS_CANCEL, 0);
      win::ImmReleaseContext(focus, context);
    }
  return 0;
}

void deliver(vinput* i, const vinputUpdate& u) { vclassRec<vinputClassRec>(i)->updateComposition(i, &u); }

std::string compositionString(win::HIMC context, win::DWORD index) {
  win::LONG n = win::ImmGetCompositionStringA(context, index, nullptr, 0);
  std::string text(std::size_t(std::max<win::LONG>(n, 0)), '\0');
  if (n > 0) text.resize(std::size_t(std::max<win::LONG>(win::ImmGetCompositionStringA(context, index, text.data(), win::DWORD(n)), 0)));
  return text;
}

}  // namespace

vinputClassRec* vinputGetClass() {
  if (auto* bound = vmoduleState<vinputClassRec*>(inputSlot)) return *bound;
  auto* c = vclassSpawnOf<vinputClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vinputClass"));
  vclassSetInstanceSize(c, sizeof(vinput));
  c->init = inputInit;
  c->destroy = inputDestroy;
  c->copy = ignoreCopy;
  c->copyInit = ignoreCopy;
  c->updateComposition = ignoreUpdate;
  *static_cast<vinputClassRec**>(vmoduleBindSlot(inputSlot, sizeof(vinputClassRec*))) = c;
  return c;
}

vinput* vinputCreate() { return static_cast<vinput*>(vinstanceCreate(vinputGetClass())); }
void vinputDestroy(vinput* input) { vinstanceDestroy(input); }
void vinputSetOwner(vinput* input, vobject* owner) { input->owner = owner; }

void vinputOpen(vinput* input) {
  if (input->flags & vinputOPEN) return;
  call(kOpen, input);
  input->flags |= vinputOPEN;
}

void vinputClose(vinput* input) {
  if (!(input->flags & vinputOPEN)) return;
  call(kClose, input);
  input->flags &= std::uint16_t(~vinputOPEN);
}

void vinputNotify1(vinput* input) { call(kNotify1, input); }
void vinputNotify2(vinput* input) { call(kNotify2, input); }
void vinputNotify3(vinput* input) { call(kNotify3, input); }

void vinputSetArea(vinput* input, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  input->area[0] = a, input->area[1] = b, input->area[2] = c, input->area[3] = d;
  call(kSetArea, input);
}

void vinputSetSecondArea(vinput* input, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  input->secondArea[0] = a, input->secondArea[1] = b, input->secondArea[2] = c, input->secondArea[3] = d;
  call(kSetSecondArea, input);
}

void vinputRegisterDriver(vinputHook create, vinputHook destroy, vinputHook open, vinputHook close,
                          vinputHook notify1, vinputHook notify2, vinputHook notify3, vinputHook setArea,
                          vinputHook setSecondArea) {
  const vinputHook given[kHooks] = {create, destroy, open, close, notify1, notify2, notify3, setArea, setSecondArea};
  for (int h = 0; h < kHooks; ++h) hooks[h] = given[h] ? given[h] : answerNothing;
}

void* vinputMSWCreateContext(vwindow*) { return nullptr; }
void vinputMSWReleaseContext(void*) {}
void vinputMSWFocusIn(void*) {}
void vinputMSWFocusOut(void*) {}
void vinputMSWMenuBarOwner(vobject*) {}

void vinputMSWRegisterDriver() {
  vinputRegisterDriver(doNothing, giveUpKeyboard, doNothing, giveUpKeyboard, takeKeyboard, giveUpKeyboard,
                       compositionDone, doNothing, doNothing);
}

bool vinputMSWComposition(win::HWND hwnd, win::UINT message, win::LPARAM lParam) {
  vinput* i = driver.focus;
  if (!i) return false;
  if (message == win::WM_IME_STARTCOMPOSITION) {
    driver.shown = 0;
    return true;
  }
  if (message == win::WM_IME_ENDCOMPOSITION) {
    // Dropped without a commit: the composed characters go.
    if (driver.shown > 0) {
      std::int32_t shown = driver.shown;
      driver.shown = 0;
      deliver(i, vinputUpdate{0, shown, 0, "", 0, -1, 0, 1});
    }
    return true;
  }
  if (message != win::WM_IME_COMPOSITION) return false;
  win::HIMC context = win::ImmGetContext(hwnd);
  std::int32_t shown = driver.shown;
  if (lParam & win::GCS_RESULTSTR) {
    // The committed text replaces the composition in one change.
    std::string text = compositionString(context, win::GCS_RESULTSTR);
    auto n = static_cast<std::int32_t>(text.size());
    driver.shown = 0;
    deliver(i, vinputUpdate{0, shown, n, text.c_str(), n, -1, 0, 1});
  } else if (lParam & win::GCS_COMPSTR) {
    std::string text = compositionString(context, win::GCS_COMPSTR);
    auto n = static_cast<std::int32_t>(text.size());
    std::int32_t cursor = n;
    if (lParam & win::GCS_CURSORPOS) cursor = win::ImmGetCompositionStringA(context, win::GCS_CURSORPOS, nullptr, 0);
    driver.shown = n;
    deliver(i, vinputUpdate{0, shown, n, text.c_str(), std::clamp(cursor, 0, n), -1, 0, 0});
  }
  win::ImmReleaseContext(hwnd, context);
  return true;
}
