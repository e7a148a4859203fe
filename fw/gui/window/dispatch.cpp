// The application's event dispatch: the table's handlers that route each
// window event to its window's slot, the pointer and key bindings, grabs
// and key redirection; the application's windows, the broadcasts passed
// to them, its command binding and help.
#include "fw/data/pref.h"
#include "fw/gui/window/application_internal.h"
#include "fw/gui/window/window_internal.h"

namespace {

vwindowClassRec* rec(vwindow* w) { return vwindowClassOf(w); }
vapplicationClassRec* appRec(vapplication* a) { return vapplicationClassOf(a); }
vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
const void* keyOf(std::uint32_t value) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(value) + 1); }

// The event's window when it is open, with its application made current.
vwindow* openTarget(vevent* e) {
  vwindow* w = veventGetWindow(e);
  if (!w || !vwindowIsOpen(w)) return nullptr;
  vapplicationSetCurrent(_vwindowApplication(w));
  return w;
}

vwindow* grabbing() { return vwindowMSWIsStarted() ? vwindowMSWGetTopGrab() : nullptr; }

// Hands the event from w to target, in target's coordinates.
vwindow* redirect(vevent* e, vwindow* w, vwindow* target) {
  if (target != w) vwindowTranslateEvent(w, target, e);
  return target;
}

// A press goes to the grabbing window, raised.
vwindow* pressTarget(vevent* e, vwindow* w) {
  vwindow* g = grabbing();
  if (!g || g == w) return w;
  rec(g)->raise(g);
  return redirect(e, w, g);
}

// All the command-key bits held become the command modifier 8.
std::uint32_t commandKeyMapped(std::uint32_t modifiers) {
  std::uint32_t bits = vprefGetCommandKey();
  if (bits && (modifiers & bits) == bits) modifiers = (modifiers & ~bits) | veventMOD_COMMAND;
  return modifiers & 0xFFFF;
}

vname pointerBinding(vapplication* app, std::uint32_t modifiers) {
  return static_cast<vname>(vdictGet(app->pointerBindings, keyOf(modifiers)));
}

vname keyBinding(vapplication* app, std::uint32_t keyValue) {
  if (void* v = vdictGet(app->keyBindings, keyOf(keyValue))) return static_cast<vname>(v);
  return static_cast<vname>(vdictGet(appRec(app)->keyBindings, keyOf(keyValue)));
}

int buttonDown(vevent* e) {
  vwindow* w = openTarget(e);
  if (!w) return 0;
  w = pressTarget(e, w);
  vapplication* app = _vwindowApplication(w);
  appRec(app)->setPointerTarget(app, w);
  std::uint32_t modifiers = commandKeyMapped(veventGetModifiers(e));
  veventSetModifiers(e, modifiers);
  veventSetBinding(e, pointerBinding(app, modifiers));
  return rec(w)->handleButtonDown(w, e);
}

using Slot = int (*)(vwindow*, vevent*);

Slot pointerSlot(vwindow* w, int kind) {
  vwindowClassRec* c = rec(w);
  switch (kind) {
    case veventBUTTON_UP: return c->handleButtonUp;
    case veventPOINTER_DRAG: return c->handleDragPending;
    case veventPOINTER_DRAG_LAST: return c->handleDrag;
    default: return c->handlePlainMotion;
  }
}

// Release and the three motions: the grabbing window, else the window the
// press went to.
int pointerEvent(vevent* e) {
  vwindow* w = openTarget(e);
  if (!w) return 0;
  vwindow* target = grabbing();
  if (!target && e->type != veventPOINTER_MOTION) target = static_cast<vwindow*>(_vwindowApplication(w)->pointerTarget);
  if (!target) target = w;
  if (!vwindowIsOpen(target)) return 0;
  w = redirect(e, w, target);
  std::uint32_t modifiers = commandKeyMapped(veventGetModifiers(e));
  if (e->type == veventBUTTON_UP) {
    int button = veventGetButton(e);
    if (button >= 0 && button <= 4) modifiers |= 0x10u << button;
  }
  veventSetModifiers(e, modifiers);
  veventSetBinding(e, pointerBinding(_vwindowApplication(w), modifiers));
  return pointerSlot(w, e->type)(w, e);
}

int keyDown(vevent* e) {
  vwindow* w = openTarget(e);
  if (!w) return 0;
  w = pressTarget(e, w);
  vapplication* app = _vwindowApplication(w);
  veventSetModifiers(e, commandKeyMapped(veventGetModifiers(e)));
  if (auto* other = static_cast<vwindow*>(vdictGet(app->keyRedirections, keyOf(veventGetKeyValue(e)))))
    w = redirect(e, w, other);
  appRec(app)->setKeyTarget(app, w);
  vname binding = keyBinding(app, veventGetKeyValue(e));
  veventSetBinding(e, binding);
  int result = rec(w)->handleKeyDown(w, e);
  if (!result && binding && _vwindowBindingEnabled(app, binding)) result = vobjectIssueTag(app, binding, e);
  return result;
}

int keyUp(vevent* e) {
  vwindow* w = openTarget(e);
  if (!w) return 0;
  vwindow* target = grabbing();
  if (!target) target = static_cast<vwindow*>(_vwindowApplication(w)->keyTarget);
  if (!target) target = w;
  if (!vwindowIsOpen(target)) return 0;
  w = redirect(e, w, target);
  veventSetModifiers(e, commandKeyMapped(veventGetModifiers(e) & ~veventMOD_BUTTONS));
  veventSetBinding(e, keyBinding(_vwindowApplication(w), veventGetKeyValue(e)));
  return rec(w)->handleKeyUp(w, e);
}

template <Slot vwindowClassRec::*slot>
int toSlot(vevent* e) {
  vwindow* w = openTarget(e);
  return w ? (rec(w)->*slot)(w, e) : 0;
}

// ---- Broadcasts to the application's windows ----------------------------------------------

// Windows with a parent hear through it.
template <class F>
void eachTopWindow(vapplication* app, F f) {
  vapplicationWindowIterator it;
  vapplicationInitWindowIterator(&it, app);
  while (vapplicationNextWindow(&it))
    if (!it.window->parent) f(it.window);
}

vobjectAttributedClassRec* attributed(vobject* o) { return vobjectAttributedOf(o); }
vapplication* appOf(vobject* o) { return static_cast<vapplication*>(o); }

void attributeChanged(vobject* o, vname selector, vdict* arguments) {
  super()->send(o, selector, arguments);
  eachTopWindow(appOf(o), [&](vwindow* w) { attributed(w)->reserved8(w, selector, arguments); });
}
void notifyAttribute(vobject* o, vname name) {
  super()->notify(o, name);
  eachTopWindow(appOf(o), [&](vwindow* w) { attributed(w)->notify(w, name); });
}
void refresh(vobject* o) {
  super()->refresh(o);
  eachTopWindow(appOf(o), [](vwindow* w) { attributed(w)->refresh(w); });
}
void setAttributeByTag(vobject* o, vname name, vdict* values) {
  super()->setAttributeByTag(o, name, values);
  eachTopWindow(appOf(o), [&](vwindow* w) { attributed(w)->setAttributeByTag(w, name, values); });
}

// Setting a command: the space's values, and the application as the
// operand of its own commands.
void gatherCommands(vobject* o, vname tag, vdict* result) {
  super()->gatherCommands(o, tag, result);
  if (vcommandSpace* space = appOf(o)->space) {
    vcommandSpaceGetAttributes(space, tag, result);
    if (vcommandSpaceGetAttribute(space, vname_Command, tag)) vdictStore(result, vname_Operand, o);
  }
}

void help(vobject* o) { _vwindowShowHelp(o, nullptr); }

}  // namespace

void _vapplicationFillDispatch(veventTable* table) {
  veventHandler* h = table->handlers;
  h[veventBUTTON_DOWN] = buttonDown;
  h[veventBUTTON_UP] = h[veventPOINTER_DRAG] = h[veventPOINTER_DRAG_LAST] = h[veventPOINTER_MOTION] = pointerEvent;
  h[veventWINDOW_AREA] = toSlot<&vwindowClassRec::handleArea>;
  h[veventFOCUS_IN] = toSlot<&vwindowClassRec::handleFocusIn>;
  h[veventFOCUS_OUT] = toSlot<&vwindowClassRec::handleFocusOut>;
  h[veventKEY_DOWN] = keyDown;
  h[veventKEY_UP] = keyUp;
  h[veventENTER] = toSlot<&vwindowClassRec::handleEnter>;
  h[veventLEAVE] = toSlot<&vwindowClassRec::handleLeave>;
  h[veventWINDOW_STATE] = toSlot<&vwindowClassRec::handleState>;
  h[veventUPDATE] = toSlot<&vwindowClassRec::handleUpdate>;
}

void _vapplicationFillWindowSlots(vapplicationClassRec* c) {
  c->send = attributeChanged;
  // The class's own notify slot hides the attributed one.
  static_cast<vobjectAttributedClassRec*>(c)->notify = notifyAttribute;
  c->refresh = refresh;
  c->setAttributeByTag = setAttributeByTag;
  c->gatherCommands = gatherCommands;
  c->help = help;
}

void _vapplicationSchemeReloaded(vapplication* app, const vcolorScheme* before) {
  vwindow* root = _vwindowRootIfBuilt();
  if (!root || !vwindowIsOpen(root)) return;
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i) {
    std::uint32_t bit = vcolorSchemeBit(i);
    vcolor* was = (before->mask & bit) ? before->entries[i] : nullptr;
    vcolor* now = (app->scheme.mask & bit) ? app->scheme.entries[i] : nullptr;
    if (was != now) vobjectSendValueChange(app, vcolorGetSchemeTag(i), was, now);
  }
}

void vapplicationInitWindowIterator(vapplicationWindowIterator* it, vapplication* app) {
  it->index = 0;
  it->app = app;
  it->window = nullptr;
}

int vapplicationNextWindow(vapplicationWindowIterator* it) {
  vwindowMSWRegistryIterator reg{it->index, nullptr};
  vwindow* root = _vwindowRootIfBuilt();
  while (vwindowMSWIsStarted() && vwindowMSWNextRegistryIterator(&reg)) {
    if (reg.window != root && reg.window->application == it->app) {
      it->index = reg.index;
      it->window = reg.window;
      return 1;
    }
  }
  it->index = reg.index;
  it->window = nullptr;
  return 0;
}
