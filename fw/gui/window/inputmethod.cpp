// The input-method object and its driver hooks, and the Windows module's
// share: no input method, so no contexts and hooks that do nothing.
#include "fw/gui/window/inputmethod.h"

#include <cstring>

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

int doNothing(vinput*) { return 0; }

}  // namespace

vinputClassRec* vinputGetClass() {
  if (!inputSlot) inputSlot = vmoduleAllocSlot();
  if (*inputSlot) return *static_cast<vinputClassRec**>(*inputSlot);
  auto* c = vclassSpawnOf<vinputClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vinputClass"));
  vclassSetInstanceSize(c, sizeof(vinput));
  c->init = inputInit;
  c->destroy = inputDestroy;
  c->copy = ignoreCopy;
  c->copyInit = ignoreCopy;
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
  vinputRegisterDriver(doNothing, doNothing, doNothing, doNothing, doNothing, doNothing, doNothing, doNothing,
                       doNothing);
}
