// The portable clipboard class and the defaults the Windows module sets.
#include "fw/gui/window/clipboard.h"

#include "fw/data/scrap.h"

namespace {

struct BaseState {
  vclipboardClassRec* cls;
  vclipboardClassRec* selection;
  vclipboardClassRec* global;
};
void** baseSlot = nullptr;

BaseState* state();

[[noreturn]] void raiseNull() { _vexGenerate(&vexArgNullClass, vexEnd); }

vclipboard* checked(vclipboard* c) {
  if (!c) raiseNull();
  return c;
}

void baseInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  auto* c = static_cast<vclipboard*>(self);
  c->notify = nullptr;
  c->contents = nullptr;
  c->spare = nullptr;
}

void baseClear(vclipboard* self) {
  vinstance* old = self->contents;
  self->contents = nullptr;
  if (old) vinstanceDestroy(old);
}

void baseDestroy(vinstance* self) {
  baseClear(static_cast<vclipboard*>(self));
  vinstanceGetDefaultClass()->destroy(self);
}

void baseSetNotify(vclipboard* self, vclipboardNotify notify) { self->notify = notify; }

void baseSetContents(vclipboard* self, vinstance* scrap) {
  vclassRec<vclipboardClassRec>(self)->clear(self);
  self->contents = scrap;
}

void baseRequest(vclipboard* self) {
  if (!self->notify) _vexGenerate(&vexArgClass, vexSetMessage, "clipboard has undefined notify function", vexEnd);
  self->notify(self, vscrapCreateReference(self->contents));
}

int baseHasContents(vclipboard* self) { return self->contents != nullptr; }

BaseState* state() {
  if (auto* bound = vmoduleState<BaseState>(baseSlot)) return bound;
  auto* c = vclassSpawnOf<vclipboardClassRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vclipboardClass"));
  vclassSetInstanceSize(c, sizeof(vclipboard));
  c->init = baseInit;
  c->destroy = baseDestroy;
  c->setNotify = baseSetNotify;
  c->setContents = baseSetContents;
  c->clear = baseClear;
  c->request = baseRequest;
  c->hasContents = baseHasContents;
  auto* s = static_cast<BaseState*>(vmoduleBindSlot(baseSlot, sizeof(BaseState)));
  *s = {c, nullptr, nullptr};
  return s;
}

vclipboardClassRec* rec(vclipboard* c) { return vclassRec<vclipboardClassRec>(checked(c)); }

}  // namespace

vclipboardClassRec* vclipboardGetDefaultClass() { return state()->cls; }

vclipboard* vclipboardCreate(vclipboardClassRec* cls) { return static_cast<vclipboard*>(vinstanceCreate(cls)); }
void vclipboardDestroy(vclipboard* clipboard) { vinstanceDestroy(checked(clipboard)); }
void vclipboardSetNotify(vclipboard* c, vclipboardNotify notify) { rec(c)->setNotify(c, notify); }

void vclipboardSetContents(vclipboard* c, vinstance* scrap) {
  if (!scrap) raiseNull();
  rec(c)->setContents(c, scrap);
}

void vclipboardClear(vclipboard* c) { rec(c)->clear(c); }
void vclipboardRequest(vclipboard* c) { rec(c)->request(c); }
int vclipboardHasContents(vclipboard* c) { return rec(c)->hasContents(c); }

vclipboardClassRec* vclipboardGetDefaultSelectionClass() {
  if (vclipboardClassRec* c = state()->selection) return c;
  _vexGenerate(&vexModuleStartupClass, vexSetMessage, "system dependent Selection Clipboard not initialized",
               vexSetProcedure, "vclipboardGetDefaultSelectionClass()", vexEnd);
}

vclipboardClassRec* vclipboardGetDefaultGlobalClass() {
  if (vclipboardClassRec* c = state()->global) return c;
  _vexGenerate(&vexModuleStartupClass, vexSetMessage, "system dependent Global Clipboard not initialized",
               vexSetProcedure, "vclipboardGetDefaultGlobalClass()", vexEnd);
}

void vclipboardSetDefaultSelectionClass(vclipboardClassRec* cls) { state()->selection = cls; }
void vclipboardSetDefaultGlobalClass(vclipboardClassRec* cls) { state()->global = cls; }

void vclipboardInstallStartup() {
  vmoduleInstallStartup("vclipboardGetDefaultClass", [] { vclipboardGetDefaultClass(); });
}
