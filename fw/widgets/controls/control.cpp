#include "fw/widgets/controls/control.h"

#include <algorithm>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/optionmenu.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace {

struct ControlState {
  vcontrolClassRec* cls;
  vdict* attributes;
};
void** stateSlot = nullptr;
ControlState* state();

// One auto-repeat in the whole process: the control, its queued event and
// the time before which the last pressed repeating control ignores motion.
struct Repeat {
  vcontrol* control;
  vevent* event;
  vcontrol* graced;
  vsysTime deadline;
};
Repeat repeat{};

// Controls whose tracking is under way on the stack: a notification may
// destroy the control (its dialog closed from the notify), and the tracking
// must then stop touching it.
struct Tracking {
  vcontrol* control;
  Tracking* outer;
  static inline Tracking* innermost = nullptr;
  explicit Tracking(vcontrol* c) : control(c), outer(innermost) { innermost = this; }
  ~Tracking() { innermost = outer; }
  Tracking(const Tracking&) = delete;
  Tracking& operator=(const Tracking&) = delete;
  static void forget(vcontrol* c) {
    for (Tracking* t = innermost; t; t = t->outer)
      if (t->control == c) t->control = nullptr;
  }
};

constexpr std::int64_t kFirstDelay = 200'000'000;    // after a press
constexpr std::int64_t kMotionGrace = 150'000'000;   // motion ignored after a press
constexpr std::int64_t kLaterDelay = 50'000'000;     // between later repeats

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vcontrol* asControl(vinstance* o) { return static_cast<vcontrol*>(o); }
vcontrolClassRec* cls(vcontrol* c) { return vcontrolClassOf(c); }
bool has(const vcontrol* c, std::uint16_t bit) { return (c->controlFlags & bit) != 0; }
void put(vcontrol* c, std::uint16_t bit, bool on) {
  c->controlFlags = std::uint16_t(on ? c->controlFlags | bit : c->controlFlags & ~bit);
}
vname trueFalse(bool on) { return on ? vname_True : vname_False; }

// max - view, which may fall below INT32_MIN.
std::int64_t top(const vcontrol* c) { return std::int64_t(c->max) - c->view; }
bool wholeRange(const vcontrol* c) { return top(c) <= c->min; }
std::int32_t lowestTop(const vcontrol* c) { return std::int32_t(std::max<std::int64_t>(top(c), c->min)); }

void announce(vcontrol* c, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(c, name, oldValue, newValue);
}

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vcontrol* c = asControl(self);
  super()->setFocusable(c, 1);
  c->page = 1;
  c->increment = 1;
  c->controlFlags = 0;
  c->min = c->view = 0;
  c->value = 0;
  c->max = 1;
  c->activePart = nullptr;
  c->indicator = c->rect;
}

void destroy(vinstance* self) {
  vcontrol* c = asControl(self);
  // A queued repeat must not reach freed memory.
  if (repeat.control == c) {
    repeat.event->data = nullptr;
    repeat.control = nullptr;
  }
  if (repeat.graced == c) repeat.graced = nullptr;
  Tracking::forget(c);
  super()->destroy(self);
}

void copyFields(vcontrol* from, vcontrol* to) {
  to->value = from->value;
  to->min = from->min;
  to->max = from->max;
  to->view = from->view;
  to->increment = from->increment;
  to->page = from->page;
  to->indicator = from->indicator;
  to->activePart = from->activePart;
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vcontrol* from = asControl(source);
  vcontrol* to = asControl(destination);
  to->controlFlags = std::uint16_t((to->controlFlags & ~0x1F) | (from->controlFlags & 0x1F));
  copyFields(from, to);
}

void copyInit(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copyInit(source, destination);
  vcontrol* from = asControl(source);
  vcontrol* to = asControl(destination);
  to->controlFlags = std::uint16_t(from->controlFlags & 0x1F);
  copyFields(from, to);
}

std::int16_t storedShort(std::int32_t v) { return std::int16_t(std::clamp<std::int32_t>(v, 0, 32767)); }

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vcontrol* c = asControl(self);
  std::int32_t flags = 0;
  vresourceTestGetInteger(resource, vnameInternLiteral("vcontrolFlags"), &flags);
  c->controlFlags = std::uint16_t(flags & vcontrolSTORED_FLAGS);
  std::int32_t v[6] = {0, 0, 1, 0, 1, 1};
  vresource values;
  if (vresourceTestGet(resource, vname_Values, &values)) {
    std::int32_t n = std::min<std::int32_t>(vresourceCount(values), 6);
    for (std::int32_t i = 0; i < n; ++i) v[i] = vresourceGetAtInteger(values, i);
  }
  c->value = v[0];
  c->min = v[1];
  c->max = v[2];
  // Steps and the view are never negative, whatever a file says.
  c->view = storedShort(v[3]);
  c->increment = storedShort(v[4]);
  c->page = storedShort(v[5]);
  put(c, vcontrolWHOLE_RANGE, wholeRange(c));
  c->activePart = nullptr;
  c->indicator = c->rect;
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vcontrol* c = asControl(self);
  vresourceSetIntegerAt(resource, vnameInternLiteral("vcontrolFlags"), c->controlFlags & vcontrolSTORED_FLAGS);
  vresource values = vresourceCreateArray(resource, vname_Values, vresINTEGER, 6);
  const std::int32_t v[6] = {c->value, c->min, c->max, c->view, c->increment, c->page};
  for (std::int32_t i = 0; i < 6; ++i) vresourceSetAtInteger(values, i, v[i]);
}

void noOp(vobject*) {}

std::int32_t integerAt(const void* value) { return *static_cast<const std::int32_t*>(value); }

void setByIndex(vobject* self, int index, const void* value) {
  vcontrol* c = asControl(self);
  auto name = static_cast<vname>(value);
  switch (index) {
    case vcontrolA_VERTICAL: cls(c)->setVertical(c, name == vname_True); return;
    case vcontrolA_EXCLUSIVE: cls(c)->setExclusive(c, name == vname_True); return;
    case vcontrolA_TOGGLE: cls(c)->setValue(c, name == vname_On ? 1 : 0); return;
    case vcontrolA_SELECTION: return;
    default: break;
  }
  using Setter = void (*)(vcontrol*, std::int32_t);
  Setter setters[] = {
      cls(c)->setValue,
      cls(c)->setMin,
      cls(c)->setMax,
      [](vcontrol* k, std::int32_t v) { cls(k)->setView(k, v); },
      [](vcontrol* k, std::int32_t v) { cls(k)->setIncrement(k, v); },
      [](vcontrol* k, std::int32_t v) { cls(k)->setPage(k, v); },
  };
  if (index >= vcontrolA_VALUE && index <= vcontrolA_PAGE) {
    if (value) setters[index - vcontrolA_VALUE](c, integerAt(value));
    return;
  }
  super()->setAttributeByIndex(self, index, value);
}

const void* getByIndex(vobject* self, int index) {
  vcontrol* c = asControl(self);
  switch (index) {
    case vcontrolA_VERTICAL: return trueFalse(has(c, vcontrolVERTICAL));
    case vcontrolA_EXCLUSIVE: return trueFalse(has(c, vcontrolEXCLUSIVE));
    case vcontrolA_TOGGLE: return c->value != 0 ? vname_On : vname_Off;
    case vcontrolA_VALUE: return &c->value;
    case vcontrolA_MIN: return &c->min;
    case vcontrolA_MAX: return &c->max;
    case vcontrolA_VIEW:
    case vcontrolA_INCREMENT:
    case vcontrolA_PAGE:
    case vcontrolA_SELECTION: return nullptr;
    default: return super()->getAttributeByIndex(self, index);
  }
}

int indexOf(vname name) {
  vdict* table = state()->attributes;
  return vdictHas(table, name) ? vdictGetInteger(table, name) : -1;
}

// Old and new indicator areas redrawn.
void refresh(vcontrol* c) {
  if (!(c->flags & vdialogItemOPEN)) return;
  super()->invalRect(c, &c->indicator, 1);
  cls(c)->computeIndicator(c);
  super()->invalRect(c, &c->indicator, 1);
}

// True when the change counts: not whole-range both before and after.
bool updateWholeRange(vcontrol* c) {
  bool before = has(c, vcontrolWHOLE_RANGE);
  bool after = wholeRange(c);
  put(c, vcontrolWHOLE_RANGE, after);
  return !(before && after);
}

void send(vobject* self, vname name, vdict* arguments) {
  super()->send(self, name, arguments);
  vcontrol* c = asControl(self);
  switch (indexOf(name)) {
    case vdialogItemA_RECT:
      if (c->flags & vdialogItemOPEN) cls(c)->computeIndicator(c);
      break;
    case vcontrolA_VERTICAL: {
      vrect r{c->rect.x, c->rect.y, c->rect.height, c->rect.width};
      vdialogSetItemRect(c, &r);
      break;
    }
    case vcontrolA_EXCLUSIVE: vdialogInvalItem(c, 0); break;
    case vcontrolA_TOGGLE:
    case vcontrolA_VALUE: refresh(c); break;
    case vcontrolA_MIN:
    case vcontrolA_MAX:
      if (updateWholeRange(c)) refresh(c);
      break;
    case vcontrolA_VIEW: {
      bool counts = updateWholeRange(c);
      auto viewOf = [&](vname key) {
        const void* v = arguments && vdictHas(arguments, key) ? vdictGet(arguments, key) : nullptr;
        return v ? *static_cast<const std::int16_t*>(v) : 0;
      };
      if (counts || viewOf(vname_OldValue) == 0 || viewOf(vname_Value) == 0) refresh(c);
      break;
    }
    default: break;
  }
}

// ---- Item slots.
void open(vdialogItem* item) {
  super()->open(item);
  vcontrol* c = asControl(item);
  cls(c)->computeIndicator(c);
}

bool inside(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }
vsysTime stampOf(const vevent* e) { return vsysTime{e->seconds, e->nanoseconds}; }
bool before(vsysTime a, vsysTime b) { return a.seconds < b.seconds || (a.seconds == b.seconds && a.nanoseconds < b.nanoseconds); }

int secondStage(vevent* e);
int firstStage(vevent* e) {
  vwindowEnsureStartup();
  e->handler = secondStage;
  veventPostAtStamp(e);
  return 1;
}

void track(vcontrol* c, vevent* event) {
  const vcontrolPart* part = c->activePart;
  if (!part) return;
  Tracking alive(c);
  if (part->action && part->action(c, event)) vdialogNotifyItem(c, event);
  // Destroyed or released by its own notification: no repeat to queue.
  if (!alive.control || !has(c, vcontrolPRESSED)) return;
  if (!(part->flags & vcontrolPartREPEAT) || repeat.control) return;
  vevent* e = veventCopy(event);
  e->type = veventPOINTER_DRAG;
  e->priority = 63;
  e->handler = firstStage;
  e->data = c;
  repeat.control = c;
  repeat.event = e;
  if (event->type == veventBUTTON_DOWN) {
    repeat.graced = c;
    repeat.deadline = vsysAddTime(stampOf(event), vsysNormaliseDelay(0, kMotionGrace));
    veventPostDelayed(e, 0, kFirstDelay);
  } else {
    // Not one a loop pass: that would race with the machine's speed.
    veventPostDelayed(e, 0, kLaterDelay);
  }
}

int buttonDown(vdialogItem* item, vevent* event) {
  if (super()->buttonDown(item, event)) return 1;
  vcontrol* c = asControl(item);
  if (!has(c, vcontrolPRESSED)) {
    cls(c)->choosePart(c, event);
    cls(c)->pressPart(c);
  }
  track(c, event);
  return 1;
}

int motion(vdialogItem* item, vevent* event) {
  if (super()->motion(item, event)) return 1;
  vcontrol* c = asControl(item);
  const vcontrolPart* part = c->activePart;
  if (!part || (repeat.graced == c && before(stampOf(event), repeat.deadline))) return 1;
  bool hit = part->hitTest ? part->hitTest(c, event) != 0 : inside(c->rect, veventGetX(event), veventGetY(event));
  if (!hit) {
    if (has(c, vcontrolPRESSED)) cls(c)->releasePart(c);
    return 1;
  }
  if (!has(c, vcontrolPRESSED)) cls(c)->pressPart(c);
  track(c, event);
  return 1;
}

int secondStage(vevent* e) {
  auto* c = static_cast<vcontrol*>(e->data);
  if (repeat.event == e) repeat.control = nullptr, repeat.event = nullptr;
  if (c && has(c, vcontrolPRESSED)) vdialogItemClassOf(c)->motion(c, e);
  return 1;
}

template <void (*vcontrolPart::*Drawing)(vcontrol*)>
void drawPart(vcontrol* c) {
  const vcontrolPart* part = c->activePart;
  if (!part || !(part->*Drawing)) return;
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(c)) (part->*Drawing)(c);
  vdrawGRestore();
}

void pressPart(vcontrol* c) {
  drawPart<&vcontrolPart::pressedDrawing>(c);
  c->controlFlags |= vcontrolPRESSED;
}

void releasePart(vcontrol* c) {
  drawPart<&vcontrolPart::releasedDrawing>(c);
  c->controlFlags &= std::uint16_t(~vcontrolPRESSED);
}

int buttonUp(vdialogItem* item, vevent* event) {
  if (super()->buttonUp(item, event)) return 1;
  vcontrol* c = asControl(item);
  if (!has(c, vcontrolPRESSED)) return 1;
  const vcontrolPart* part = c->activePart;
  if (!part || !(part->flags & vcontrolPartSTAY_PRESSED)) cls(c)->releasePart(c);
  else c->controlFlags &= std::uint16_t(~vcontrolPRESSED);
  if (part && (part->flags & vcontrolPartRELEASE_ACTION) && part->releaseAction) {
    vdrawGSave();
    _vcontrolBeginItemDrawing(c);
    int notify = part->releaseAction(c);
    vdrawGRestore();
    if (notify) vdialogNotifyItem(c, event);
  }
  return 1;
}

// ---- Control slots.
void computeIndicator(vcontrol* c) { c->indicator = c->rect; }
void nothing(vcontrol*) {}
void choosePart(vcontrol* c, vevent*) { c->activePart = nullptr; }

template <std::uint16_t Bit>
void setNamedFlag(vcontrol* c, int on) {
  if (has(c, Bit) == (on != 0)) return;
  put(c, Bit, on != 0);
  announce(c, Bit == vcontrolVERTICAL ? vname_Vertical : vname_Exclusive, trueFalse(on == 0), trueFalse(on != 0));
}

void setTickMarks(vcontrol* c, int on) {
  if (has(c, vcontrolTICK_MARKS) == (on != 0)) return;
  put(c, vcontrolTICK_MARKS, on != 0);
  vdialogInvalItem(c, 0);
}

void setValue(vcontrol* c, std::int32_t value) {
  std::int32_t old = c->value;
  if (vcontrolClampValue(c, value)) announce(c, vname_Value, &old, &c->value);
}

void setMin(vcontrol* c, std::int32_t m) {
  m = std::min(m, c->max);
  if (m == c->min) return;
  std::int32_t old = c->min;
  c->min = m;
  c->value = std::max(c->value, m);
  announce(c, vname_Min, &old, &c->min);
}

void setMax(vcontrol* c, std::int32_t m) {
  m = std::max(m, c->min);
  if (m == c->max) return;
  std::int32_t old = c->max;
  c->max = m;
  if (c->value > top(c)) c->value = lowestTop(c);
  announce(c, vname_Max, &old, &c->max);
}

void setView(vcontrol* c, int v) {
  if (v < 0 || v > 32767) vexGenerateMessage(&vexArgRangeClass, "Range");
  if (v == c->view) return;
  std::int16_t old = c->view;
  c->view = std::int16_t(v);
  if (c->value > top(c)) c->value = lowestTop(c);
  announce(c, vname_View, &old, &c->view);
}

template <std::int16_t vcontrol::*Field>
void setStep(vcontrol* c, int v) {
  if (v < 0 || v > 32767) vexGenerateMessage(&vexArgClass, "Arg");
  if (v == c->*Field) return;
  std::int16_t old = c->*Field;
  c->*Field = std::int16_t(v);
  announce(c, Field == &vcontrol::increment ? vname_Increment : vname_Page, &old, &(c->*Field));
}

void setIndicatorRect(vcontrol* c, const vrect* r) { c->indicator = *r; }
void setActivePart(vcontrol* c, const vcontrolPart* part) { c->activePart = part; }

vdict* buildAttributes() {
  vdict* d = vdictCopy(super()->attributes);
  const vname names[] = {vname_Vertical, vname_Exclusive, vname_Toggle,     vname_Value, vname_Min,
                         vname_Max,      vname_View,      vname_Increment, vname_Page,  vname_Selection};
  for (int i = 0; i < 10; ++i) vdictStoreInteger(d, names[i], vcontrolA_VERTICAL + i);
  return d;
}

void writeSlots(vcontrolClassRec* c) {
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->reserved10 = noOp;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = send;
  c->open = open;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  // Both pointer-motion slots: a dialog hands the last motion of a drag to
  // the second, and a drag that stopped short of it left the thumb behind.
  c->motion = c->drag = motion;
  c->computeIndicator = computeIndicator;
  c->placeIndicator = nothing;
  c->choosePart = choosePart;
  c->pressPart = pressPart;
  c->releasePart = releasePart;
  c->setVertical = setNamedFlag<vcontrolVERTICAL>;
  c->setExclusive = setNamedFlag<vcontrolEXCLUSIVE>;
  c->setTickMarks = setTickMarks;
  c->setValue = setValue;
  c->setMin = setMin;
  c->setMax = setMax;
  c->setView = setView;
  c->setIncrement = setStep<&vcontrol::increment>;
  c->setPage = setStep<&vcontrol::page>;
  c->setIndicatorRect = setIndicatorRect;
  c->setActivePart = setActivePart;
  c->getValue = [](vcontrol* control) { return control->value; };
}

void freeState() {
  auto* s = static_cast<ControlState*>(*stateSlot);
  if (s) vdictDestroy(s->attributes);
}

ControlState* state() {
  if (auto* bound = vmoduleState<ControlState>(stateSlot)) return bound;
  auto* s = static_cast<ControlState*>(vmoduleBindSlot(stateSlot, sizeof(ControlState)));
  *s = ControlState{};
  vmoduleAddContextExitProc(freeState);
  s->attributes = buildAttributes();
  auto* c = vclassSpawnOf<vcontrolClassRec>(super());
  c->attributes = s->attributes;
  c->instanceSize = sizeof(vcontrol);
  writeSlots(c);
  vclassSetName(c, vscribeLiteral("vcontrol"));
  for (int look : {vlafWINDOWS, vlafWIN95})
    for (int index : {vcolorFOREGROUND, vcolorBACKGROUND}) vlafSetClassMSWSysColor(look, -1, c, index, -1);
  _vdialogItemRunNamingHook(c);
  s->cls = c;
  return s;
}

}  // namespace

vcontrolClassRec* vcontrolGetDefaultClass() { return state()->cls; }
vcontrol* vcontrolCreate(vcontrolClassRec* c) { return asControl(vinstanceCreate(c)); }
void _vcontrolStartupClasses() {
  vcontrolGetDefaultClass();
  vcontrolOptionMenuGetDefaultClass();
  vcontrolToggleGetDefaultClass();
}

int vcontrolClampValue(vcontrol* c, std::int32_t value) {
  std::int64_t v = std::min<std::int64_t>(value, top(c));
  auto now = std::int32_t(std::max<std::int64_t>(v, c->min));
  if (now == c->value) return 0;
  c->value = now;
  return 1;
}

std::int32_t vcontrolGetReversedValue(const vcontrol* c) {
  std::int64_t rest = std::max<std::int64_t>(0, top(c) - c->value);
  return std::int32_t(std::min<std::int64_t>(std::int64_t(c->min) + rest, INT32_MAX));
}

void vcontrolSetReversedValue(vcontrol* c, std::int32_t value) {
  std::int64_t v = std::int64_t(c->min) + top(c) - value;
  vcontrolSetValue(c, std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)));
}

bool _vcontrolBeginItemDrawing(vdialogItem* item) {
  if (!vdialogItemIsShown(item)) return false;
  vdialogItemList* list = item->owner;
  if (!list || !list->effective.window(list->owner)) return false;
  vdialogItemClassOf(item)->setDrawingState(item);
  return true;
}

vcontrol* _vcontrolGetPendingRepeat() { return repeat.control; }
