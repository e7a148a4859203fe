#include "fw/widgets/controls/spinner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/spinner_internal.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

using vspinnerint::Look;

namespace {

enum : int { UP, DOWN, FIELD };

struct SpinnerState {
  vspinnerClassRec* numeric;
  vspinnerClassRec* text;
  const Look* look;
  vcontrolPart parts[3];
  vsysTime next;  // one rate for every spinner and both arrows
};
void** stateSlot = nullptr;
SpinnerState* state();
const Look& look() { return *state()->look; }

constexpr std::int64_t kStepNanoseconds = 100'000'000;

vcontrolClassRec* super() { return vcontrolGetDefaultClass(); }
vspinner* as(vinstance* o) { return static_cast<vspinner*>(o); }
vspinner* as(vdialogItem* o) { return static_cast<vspinner*>(static_cast<vcontrol*>(o)); }
vspinner* as(vcontrol* o) { return static_cast<vspinner*>(o); }
vspinnerClassRec* cls(vspinner* s) { return vspinnerClassOf(s); }
vdialogItemClassRec* fieldClass(vspinner* s) { return vdialogItemClassOf(s->field); }
bool has(const vspinner* s, std::uint32_t bit) { return (s->spinnerFlags & bit) != 0; }
void put(vspinner* s, std::uint32_t bit, bool on) { s->spinnerFlags = on ? s->spinnerFlags | bit : s->spinnerFlags & ~bit; }
bool isOpen(const vdialogItem* i) { return (i->flags & vdialogItemOPEN) != 0; }
std::int64_t top(const vcontrol* c) { return std::int64_t(c->max) - c->view; }
bool before(vsysTime a, vsysTime b) { return a.seconds < b.seconds || (a.seconds == b.seconds && a.nanoseconds < b.nanoseconds); }
vname key(const char* text) { return vnameInternLiteral(text); }

vevent* contextEvent(vdict* context) {
  return context && vdictHas(context, vname_Event) ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event)))
                                                   : nullptr;
}

// The field shows text with nothing selected.
void show(vspinner* s, const char* text) {
  vtextitem* f = s->field;
  if (!f) return;
  if (f->text && f->selection) vtextSetSelectionRange(f->text, f->selection, 0, 0);
  vtextitemSetTextChars(f, text ? text : "");
}
void showNumber(vspinner* s) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", int(s->value));
  show(s, digits);
}
const char* rowText(vspinner* s, std::int32_t row) {
  if (!s->list || row < 0 || row >= vlistGetRowCount(s->list)) return "";
  const char* t = vliststrGetCell(s->list, row, 0);
  return t ? t : "";
}

// A notification always has an event: a leave event stands in for none.
void notifyWith(vspinner* s, vevent* e) {
  if (e) return vdialogNotifyItem(s, e);
  vevent* stand = veventCreateLeave(vdialogGetItemWindow(s), 0, 0, 0, 0, 0);
  vexGuard([&] { vdialogNotifyItem(s, stand); },
           [&](vexHandler&) {
             veventDestroy(stand);
             _vexGenerate(nullptr, vexEnd);
           });
  veventDestroy(stand);
}

// String arguments: texts in place are used as they are, anything else is
// read into a temporary copy.
struct Text {
  char* chars;
  bool copied;
  explicit Text(vscribe* scribe) {
    std::uint16_t f = scribe->flags;
    copied = (f & 0x2d) == 0 || (f & vscribeOWNEDSTRING) != 0;
    chars = copied ? vscribeCreateString(scribe) : static_cast<char*>(vscribeTakeBuffer(scribe));
    if (!chars) chars = const_cast<char*>("");
  }
  ~Text() {
    if (copied) vscribeFreeString(chars);
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
};

// ---- Lookups in the string list.
void sortIfPending(vspinner* s) {
  if (has(s, vspinnerSORT_PENDING)) vspinnerSort(s);
}
std::int32_t bestRow(vspinner* s, const char* text, std::int32_t start) {
  char* folded = vscribeCreateString(vscribeLowerCaseNoAccents(text));
  std::int32_t row = start, column = 0;
  vlistClassOf(s->list)->findByPrefix(s->list, folded, &row, &column, start, 0, 4);
  vscribeFreeString(folded);
  return row;
}
std::int32_t exactRow(vspinner* s, const char* text) {
  int (*compare)(const char*, const char*) = cls(s)->compareText;
  if (!s->list || !compare) return -1;
  for (std::int32_t start = 0, n = vlistGetRowCount(s->list); start < n;) {
    std::int32_t row = bestRow(s, text, start);
    if (row < start || row >= n) return -1;
    if (compare(rowText(s, row), text) == 0) return row;
    start = row + 1;
  }
  return -1;
}

// ---- Taking over typed text.
bool parse(vspinner* s, std::int32_t* out) {
  return vexTry([&] { *out = vtextitemGetInteger(s->field); });
}
bool commitTyped(vspinner* s) {
  std::int32_t old = s->value;
  if (!s->list) {
    std::int32_t typed = 0;
    if (s->field && parse(s, &typed)) {
      vcontrolSetValue(s, typed);
      // A number clamped to the value it had still shows as that value.
      if (s->value == old && typed != old) showNumber(s);
    }
  } else if (vlistGetRowCount(s->list) > 0 && s->field) {
    char* typed = vtextitemGetString(s->field);
    std::int32_t row = bestRow(s, typed, 0);
    vmemFree(typed);
    vcontrolSetValue(s, row);
  }
  return s->value != old;
}

void numericFieldNotify(vtextview* view, vevent* e, int reason) {
  auto* s = reinterpret_cast<vspinner*>(view->data);
  std::int32_t typed = 0;
  if (reason != 3 || !s || !parse(s, &typed) || typed == s->value) return;
  std::int32_t old = s->value;
  vcontrolSetValue(s, typed);
  if (s->value != old) notifyWith(s, e);
}
void textFieldNotify(vtextview* view, vevent* e, int reason) {
  auto* s = reinterpret_cast<vspinner*>(view->data);
  if (reason != 3 || !s || !s->list || vlistGetRowCount(s->list) == 0) return;
  std::int32_t old = s->value;
  char* typed = vtextitemGetString(s->field);
  std::int32_t row = bestRow(s, typed, 0);
  vmemFree(typed);
  vcontrolSetValue(s, row);
  if (s->value != old) notifyWith(s, e);
}

// ---- Steps: one rate for the process, typed text first, wrapping only
// from exactly the end.
bool passesGate(vevent* e) {
  if (!e) return true;
  vsysTime at{e->seconds, e->nanoseconds};
  SpinnerState* st = state();
  if (before(at, st->next)) return false;
  st->next = vsysAddTime(at, vsysNormaliseDelay(0, kStepNanoseconds));
  return true;
}
int step(vspinner* s, vevent* e, bool up) {
  if (!passesGate(e)) return 0;
  if (commitTyped(s)) return 1;
  std::int64_t v = s->value, high = top(s), low = s->min;
  bool wrap = has(s, vspinnerWRAP);
  if (up) v = v == high && wrap ? low : std::min(v + s->increment, high);
  else v = v == low && wrap ? high : std::max(v - s->increment, low);
  std::int32_t old = s->value;
  if (v == old) return 0;
  vcontrolSetValue(s, std::int32_t(v));
  return s->value != old;
}
int stepUp(vcontrol* c, vevent* e) { return step(as(c), e, true); }
int stepDown(vcontrol* c, vevent* e) { return step(as(c), e, false); }
int commitPart(vcontrol* c, vevent*) { return commitTyped(as(c)); }

template <bool Up>
int hitArrow(vcontrol* c, vevent* e) {
  int dx = veventGetX(e) - c->rect.x, dy = veventGetY(e) - c->rect.y;
  return (Up ? look().hitUp : look().hitDown)(as(c), dx, dy);
}
int hitField(vcontrol* c, vevent* e) { return vrectContainsPoint(&c->rect, veventGetX(e), veventGetY(e)); }
template <bool Up, bool Pressed>
void drawArrow(vcontrol* c) { look().drawArrow(as(c), Up, Pressed); }

// ---- The set-ups.
void sharedSetup(vspinner* s) {
  s->spinnerFlags = 0;
  s->list = nullptr;
  s->field = vtextitemCreate();
  s->field->notify = numericFieldNotify;
  vdialogSetItemData(s->field, reinterpret_cast<std::intptr_t>(s));
  vtextitemSetOneLine(s->field, 1);
  showNumber(s);
  int id = vlafGetCurrent()->id;
  if (id == vlafWINDOWS || id == vlafCUA || id == vlafWIN95) vdialogSetItemBorder(s->field, 0);
  vspinnerSetEditable(s, 1);
  vspinnerSetWrap(s, 0);
  vspinnerSetSorted(s, 0);
}
void adoptList(vspinner* s, vliststr* list) {
  s->list = list;
  vlistClassOf(list)->setClientWord(list, reinterpret_cast<std::intptr_t>(s));
}
void textSetup(vspinner* s) {
  sharedSetup(s);
  s->field->notify = textFieldNotify;
  show(s, "");
  adoptList(s, vliststrCreate());
  vcontrolSetView(s, 1);
}
bool isText(vspinner* s) { return vclassIsSubclass(s->cls, state()->text); }
void setup(vspinner* s) { isText(s) ? textSetup(s) : sharedSetup(s); }

// The text kind's range follows its list.
void refreshRange(vspinner* s) {
  super()->setMax(s, s->list ? vlistGetRowCount(s->list) : 0);
  super()->setMin(s, 0);
  vcontrolSetValue(s, s->value);
}

// ---- Object slots.
void init(vinstance* self) {
  super()->init(self);
  vspinner* s = as(self);
  setup(s);
  vdialogItemClassRec* c = vdialogItemClassOf(s);
  c->setFocusable(s, 1);
  c->setClickFocus(s, 1);
  c->setTextFocus(s, 1);
  vspinnerMarkLayout(s);
}

void destroy(vinstance* self) {
  vspinner* s = as(self);
  if (isOpen(s)) vdialogCloseItem(s);
  if (s->list) vinstanceDestroy(s->list);
  if (s->field) {
    // Its owner is the spinner's list, which never listed it.
    fieldClass(s)->setOwner(s->field, nullptr);
    vinstanceDestroy(s->field);
  }
  s->list = nullptr;
  s->field = nullptr;
  super()->destroy(self);
}

// The copy's field shows the same text but still reports to the copy.
void copyParts(vspinner* from, vspinner* to) {
  to->spinnerFlags = from->spinnerFlags;
  if (from->field && to->field) {
    vtextviewNotifyFunc notify = to->field->notify;
    vdialogItemList* owner = to->field->owner;
    vclassRec<vobjectClassRec>(to->field)->copy(from->field, to->field);
    to->field->notify = notify;
    to->field->data = reinterpret_cast<std::intptr_t>(to);
    to->field->owner = owner;
  }
  if (from->list && to->list) {
    vclassRec<vobjectClassRec>(to->list)->copy(from->list, to->list);
    adoptList(to, to->list);
  }
  vspinnerMarkLayout(to);
}
void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  copyParts(as(source), as(destination));
}
void copyInit(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copyInit(source, destination);
  setup(as(destination));
  copyParts(as(source), as(destination));
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vspinner* s = as(self);
  setup(s);
  std::int32_t flags = vresourceGetInteger(resource, key("vspinnerFlags"));
  vspinnerSetEditable(s, (flags & vspinnerEDITABLE) != 0);
  vspinnerSetWrap(s, (flags & vspinnerWRAP) != 0);
  vresource texts;
  if (s->list && vresourceTestGet(resource, key("vspinnerText"), &texts)) {
    for (std::int32_t i = 0, n = vresourceCount(texts); i < n; ++i)
      vliststrSetCellScribed(s->list, i, 0, vresourceGetAtString(texts, i));
    refreshRange(s);
  }
  vdialogItemClassRec* f = fieldClass(s);
  f->setFont(s->field, vdialogGetItemFont(s));
  f->setForeground(s->field, vdialogGetItemForeground(s));
  f->setBackground(s->field, vdialogGetItemBackground(s));
  if (!vdialogItemIsEnabled(s)) vdialogDisableItem(s->field);
  vcontrolSetValue(s, s->value);
  vspinnerMarkLayout(s);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vspinner* s = as(self);
  vresourceSetInteger(resource, key("vspinnerFlags"), std::int32_t(s->spinnerFlags));
  if (!s->list) return;
  std::int32_t n = vlistGetRowCount(s->list);
  vresource found;
  if (n == 0) {
    if (vresourceTestGet(resource, key("vspinnerText"), &found)) vresourceRemove(resource, key("vspinnerText"));
    return;
  }
  vresource texts = vresourceCreateArray(resource, key("vspinnerText"), vresSTRING, n);
  for (std::int32_t i = 0; i < n; ++i) vresourceSetAtString(texts, i, vscribeCString(rowText(s, i)));
}

int issueSelector(vobject* self, int selector, vdict* context) {
  vspinner* s = as(static_cast<vinstance*>(self));
  vevent* e = contextEvent(context);
  int changed = 0;
  switch (selector) {
    case 3:
      if (!e || veventGetBinding(e) != vname_Confirm) return 1;
      changed = commitTyped(s);
      break;
    case 12: changed = step(s, e, true); break;
    case 13: changed = step(s, e, false); break;
    default: return super()->issueSelector(self, selector, context);
  }
  if (changed) notifyWith(s, e);
  return 1;
}

// ---- Item slots: the field goes along.
void open(vdialogItem* item) {
  if (isOpen(item)) return;
  super()->open(item);
  if (vspinner* s = as(item); s->field) vdialogOpenItem(s->field);
}
void close(vdialogItem* item) {
  if (!isOpen(item)) return;
  if (vspinner* s = as(item); s->field) vdialogCloseItem(s->field);
  super()->close(item);
}
template <void (*vdialogItemClassRec::*Slot)(vdialogItem*)>
void fieldFirst(vdialogItem* item) {
  if (vspinner* s = as(item); s->field) (fieldClass(s)->*Slot)(s->field);
  (super()->*Slot)(item);
}
void focus(vdialogItem* item) {
  vspinner* s = as(item);
  if (s->field && !(s->field->flags & vdialogItemFOCUSED) && has(s, vspinnerEDITABLE)) vdialogFocusItem(s->field);
  super()->focus(item);
}
// Leaving the spinner takes what was typed, as a step would: a dialog
// must never act on a number other than the one it shows.
void unfocus(vdialogItem* item) {
  vspinner* s = as(item);
  if (s->field && (s->field->flags & vdialogItemFOCUSED)) vdialogUnfocusItem(s->field);
  super()->unfocus(item);
  if (!has(s, vspinnerEDITABLE)) return;
  std::int32_t typed = 0;
  if (commitTyped(s)) notifyWith(s, nullptr);
  else if (!s->list && s->field && !parse(s, &typed)) showNumber(s);  // text that is no number
}
std::int32_t getValue(vcontrol* c) {
  vspinner* s = as(c);
  if (has(s, vspinnerEDITABLE)) commitTyped(s);
  return s->value;
}
void setFont(vdialogItem* item, vfont* font) {
  super()->setFont(item, font);
  vspinner* s = as(item);
  if (s->field) vdialogSetItemFont(s->field, font);
  vspinnerMarkLayout(s);
}
void setForeground(vdialogItem* item, vcolor* color) {
  if (vspinner* s = as(item); s->field) vdialogSetItemForeground(s->field, color);
  super()->setForeground(item, color);
}
void setBackground(vdialogItem* item, vcolor* color) {
  vspinner* s = as(item);
  if (s->field && vlafGetCurrent()->id != vlafOPEN_LOOK) vdialogSetItemBackground(s->field, color);
  super()->setBackground(item, color);
}
void setOwner(vdialogItem* item, vdialogItemList* owner) {
  super()->setOwner(item, owner);
  if (vspinner* s = as(item); s->field) fieldClass(s)->setOwner(s->field, owner);
}
void setRect(vdialogItem* item, const vrect* r) {
  const vrect& now = item->rect;
  if (now.x == r->x && now.y == r->y && now.width == r->width && now.height == r->height) return;
  super()->setRect(item, r);
  vspinnerMarkLayout(as(item));
}
void naturalSize(vdialogItem* item, int* w, int* h) {
  if (look().naturalSize) look().naturalSize(as(item), w, h);
  else super()->naturalSize(item, w, h);
}

void prepare(vspinner* s) {
  if (has(s, vspinnerLAYOUT_PENDING)) vspinnerLayoutText(s);
  sortIfPending(s);
}
void drawFocusOnly(vspinner* s) {
  if (look().drawFocus) look().drawFocus(s);
  else super()->drawFocus(s);
}
void draw(vdialogItem* item) {
  vspinner* s = as(item);
  prepare(s);
  vdrawGSave();
  look().draw(s);
  vdrawGRestore();
  if (s->field && (s->field->flags & vdialogItemSHOWN)) {
    vdrawGSave();
    fieldClass(s)->applyDrawingAttributes(s->field);
    vdialogDrawItem(s->field);
    vdrawGRestore();
  }
  // A redraw while an arrow is held keeps it pressed.
  const vcontrolPart* part = s->activePart;
  if ((s->controlFlags & vcontrolPRESSED) && part && part->pressedDrawing) {
    vdrawGSave();
    part->pressedDrawing(s);
    vdrawGRestore();
  }
  if (vdialogItemIsActive(s)) {
    vdrawGSave();
    drawFocusOnly(s);
    vdrawGRestore();
  }
}
// Gaining or losing the focus redraws the whole spinner.
void drawFocus(vdialogItem* item) {
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(item)) draw(item);
  vdrawGRestore();
}

bool onArrow(const vspinner* s) {
  const vcontrolPart* p = s->activePart;
  return p && (p == &state()->parts[UP] || p == &state()->parts[DOWN]);
}
bool onField(const vspinner* s) { return s->activePart == &state()->parts[FIELD]; }

int buttonDown(vdialogItem* item, vevent* e) {
  vspinner* s = as(item);
  prepare(s);
  vcontrolClassOf(s)->choosePart(s, e);
  if (onArrow(s)) {
    state()->next = vsysTime{e->seconds, e->nanoseconds};
    return super()->buttonDown(item, e);
  }
  if (onField(s) && s->field) {
    if (!(s->field->flags & vdialogItemFOCUSED)) vdialogFocusItem(s->field);
    return fieldClass(s)->buttonDown(s->field, e);
  }
  return 1;
}
template <int (*vdialogItemClassRec::*Slot)(vdialogItem*, vevent*)>
int pointer(vdialogItem* item, vevent* e) {
  vspinner* s = as(item);
  if (onArrow(s)) return (super()->*Slot)(item, e);
  if (onField(s) && s->field) return (fieldClass(s)->*Slot)(s->field, e);
  return 1;
}

int keyDown(vdialogItem* item, vevent* e) {
  vspinner* s = as(item);
  if (veventGetKey(e) != 32 && super()->keyDown(item, e)) return 1;
  return s->field ? fieldClass(s)->keyDown(s->field, e) : 0;
}

// ---- Control slots.
void choosePart(vcontrol* c, vevent* e) {
  SpinnerState* st = state();
  c->activePart = nullptr;
  for (const vcontrolPart& part : st->parts)
    if (part.hitTest(c, e)) {
      c->activePart = &part;
      return;
    }
}
void computeIndicator(vcontrol* c) { vspinnerLayoutText(as(c)); }

void numericSetValue(vcontrol* c, std::int32_t v) {
  std::int32_t old = c->value;
  super()->setValue(c, v);
  if (c->value != old) showNumber(as(c));
}
void textSetValue(vcontrol* c, std::int32_t v) {
  super()->setValue(c, v);
  vspinner* s = as(c);
  show(s, rowText(s, s->value));
}
template <void (*vcontrolClassRec::*Setter)(vcontrol*, std::int32_t)>
void numericSetBound(vcontrol* c, std::int32_t v) {
  std::int32_t old = c->value;
  (super()->*Setter)(c, v);
  if (c->value != old) vcontrolSetValue(c, c->value), showNumber(as(c));
}
void textSetBound(vcontrol* c, std::int32_t) { refreshRange(as(c)); }

// ---- Spinner slots.
void markLayout(vspinner* s) {
  put(s, vspinnerLAYOUT_PENDING, true);
  if (isOpen(s)) vdialogInvalItem(s, 0);
}
void layoutText(vspinner* s) {
  if (s->field) {
    vrect r = look().fieldRect(s, vspinnerint::fieldHeight(s));
    vdialogSetItemRect(s->field, &r);
    vcontrolClassOf(s)->setIndicatorRect(s, &r);
  }
  put(s, vspinnerLAYOUT_PENDING, false);
}
void setEditable(vspinner* s, int on) {
  if (s->field) {
    vtextitemSetModifiable(s->field, on);
    vtextitemSetSelectable(s->field, on);
    if (vlafGetCurrent()->id == vlafMOTIF) vdialogSetItemBorder(s->field, on);
  }
  put(s, vspinnerEDITABLE, on != 0);
  vspinnerMarkLayout(s);
}
void setWrap(vspinner* s, int on) {
  put(s, vspinnerWRAP, on != 0);
  vspinnerMarkLayout(s);
}
void setSorted(vspinner* s, int on) {
  put(s, vspinnerSORTED, on != 0);
  if (on) vspinnerMarkSort(s);
}
void markSort(vspinner* s) {
  put(s, vspinnerSORT_PENDING, true);
  if (isOpen(s)) vdialogInvalItem(s, 0);
}

// The list's sort takes a plain comparison: the spinner's is handed over here.
int (*sortCompare)(const char*, const char*) = nullptr;
int compareCells(const void* a, const void* b) {
  if (!a || !b) return (a != nullptr) - (b != nullptr);
  return sortCompare(static_cast<const char*>(a), static_cast<const char*>(b));
}
void sort(vspinner* s) {
  put(s, vspinnerSORT_PENDING, false);
  if (s->list && vlistGetRowCount(s->list) > 0 && cls(s)->compareText) {
    sortCompare = cls(s)->compareText;
    vlistClassOf(s->list)->sortByTexts(s->list, vlistROWS, 0, compareCells);
  }
  vcontrolSetValue(s, s->value);
}

void listChanged(vspinner* s) {
  refreshRange(s);
  if (has(s, vspinnerSORTED)) vspinnerMarkSort(s);
}
void setTextList(vspinner* s, vliststr* list) {
  if (list && !vclassIsSubclass(list->cls, vliststrGetDefaultClass())) vexGenerateMessage(&vexArgClass, "Arg");
  vliststr* old = s->list;
  if (list == old && list) return;
  adoptList(s, list ? list : vliststrCreate());
  if (old) vinstanceDestroy(old);
  listChanged(s);
}
void setTextAt(vspinner* s, vscribe* text, int index) {
  if (!s->list || index < 0) return vscribeRelease(text);
  vliststrSetCellScribed(s->list, index, 0, text);
  listChanged(s);
}
void appendText(vspinner* s, vscribe* text) {
  if (!s->list) return vscribeRelease(text);
  vspinnerSetTextAt(s, text, vlistGetRowCount(s->list));
}
void deleteRow(vspinner* s, std::int32_t row) {
  if (!s->list || row < 0 || row >= vlistGetRowCount(s->list)) return;
  vlistClassOf(s->list)->remove(s->list, row, 1, vlistROWS);
  refreshRange(s);
}
void deleteText(vspinner* s, vscribe* text) {
  if (!s->list) return vscribeRelease(text);
  sortIfPending(s);
  Text t(text);
  deleteRow(s, exactRow(s, t.chars));
}
void deleteTextAt(vspinner* s, int index) {
  if (!s->list) return;
  sortIfPending(s);
  deleteRow(s, index);
}
void setValueText(vspinner* s, vscribe* text) {
  if (!s->list) return vscribeRelease(text);
  sortIfPending(s);
  Text t(text);
  std::int32_t row = exactRow(s, t.chars);
  if (row >= 0) vcontrolSetValue(s, row);
  show(s, t.chars);
}
int findText(vspinner* s, vscribe* text) {
  if (!s->list) {
    vscribeRelease(text);
    return -1;
  }
  sortIfPending(s);
  Text t(text);
  return exactRow(s, t.chars);
}
int compareBytes(const char* a, const char* b) {
  return std::strcmp(a, b);  // unsigned char order, as strcmp compares
}

void writeSlots(vspinnerClassRec* c) {
  c->instanceSize = sizeof(vspinner);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->issueSelector = issueSelector;
  c->open = open;
  c->close = close;
  c->show = fieldFirst<&vdialogItemClassRec::show>;
  c->hide = fieldFirst<&vdialogItemClassRec::hide>;
  c->enable = fieldFirst<&vdialogItemClassRec::enable>;
  c->disable = fieldFirst<&vdialogItemClassRec::disable>;
  c->setMarked = fieldFirst<&vdialogItemClassRec::setMarked>;
  c->clearMarked = fieldFirst<&vdialogItemClassRec::clearMarked>;
  c->focus = focus;
  c->unfocus = unfocus;
  c->setFont = setFont;
  c->setForeground = setForeground;
  c->setBackground = setBackground;
  c->setOwner = setOwner;
  c->setRect = setRect;
  c->naturalSize = c->minSize = naturalSize;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->buttonDown = buttonDown;
  c->buttonUp = pointer<&vdialogItemClassRec::buttonUp>;
  c->motion = pointer<&vdialogItemClassRec::motion>;
  c->drag = pointer<&vdialogItemClassRec::drag>;
  c->keyDown = keyDown;
  c->choosePart = choosePart;
  c->computeIndicator = computeIndicator;
  c->getValue = getValue;
  c->setValue = numericSetValue;
  c->setMin = numericSetBound<&vcontrolClassRec::setMin>;
  c->setMax = numericSetBound<&vcontrolClassRec::setMax>;
  c->compareText = nullptr;
  c->markLayout = markLayout;
  c->layoutText = layoutText;
  c->setEditable = setEditable;
  c->setWrap = setWrap;
  c->setSorted = setSorted;
  c->setTextList = [](vspinner*, vliststr*) {};
  c->setTextAt = [](vspinner*, vscribe* t, int) { vscribeRelease(t); };
  c->markSort = markSort;
  c->sort = sort;
  c->appendText = [](vspinner*, vscribe* t) { vscribeRelease(t); };
  c->deleteText = [](vspinner*, vscribe* t) { vscribeRelease(t); };
  c->deleteTextAt = [](vspinner*, int) {};
  c->setValueText = [](vspinner*, vscribe* t) { vscribeRelease(t); };
  c->findText = findText;
}

void writeTextSlots(vspinnerClassRec* c) {
  c->setValue = textSetValue;
  c->setMin = c->setMax = textSetBound;
  c->compareText = compareBytes;
  c->setTextList = setTextList;
  c->setTextAt = setTextAt;
  c->appendText = appendText;
  c->deleteText = deleteText;
  c->deleteTextAt = deleteTextAt;
  c->setValueText = setValueText;
}

SpinnerState* state() {
  if (auto* bound = vmoduleState<SpinnerState>(stateSlot)) return bound;
  auto* st = static_cast<SpinnerState*>(vmoduleBindSlot(stateSlot, sizeof(SpinnerState)));
  *st = SpinnerState{};
  st->look = &vspinnerint::lookFor(vlafGetCurrent()->id);
  constexpr std::uint32_t R = vcontrolPartREPEAT;
  st->parts[UP] = {R, hitArrow<true>, drawArrow<true, true>, drawArrow<true, false>, stepUp, nullptr};
  st->parts[DOWN] = {R, hitArrow<false>, drawArrow<false, true>, drawArrow<false, false>, stepDown, nullptr};
  st->parts[FIELD] = {R, hitField, nullptr, nullptr, commitPart, nullptr};
  auto* n = vclassSpawnOf<vspinnerClassRec>(super());
  writeSlots(n);
  if (st->look->width) {
    n->defaultWidth = std::int16_t(st->look->width);
    n->defaultHeight = std::int16_t(st->look->height);
  }
  vclassSetName(n, vscribeLiteral("vspinnerNumeric"));
  _vdialogItemRunNamingHook(n);
  auto* t = vclassSpawnOf<vspinnerClassRec>(n);
  writeTextSlots(t);
  vclassSetName(t, vscribeLiteral("vspinnerText"));
  _vdialogItemRunNamingHook(t);
  st->numeric = n;
  st->text = t;
  return st;
}

}  // namespace

vspinnerClassRec* vspinnerNumericGetDefaultClass() { return state()->numeric; }
vspinnerClassRec* vspinnerTextGetDefaultClass() { return state()->text; }
vspinner* vspinnerNumericCreate() { return as(vinstanceCreate(vspinnerNumericGetDefaultClass())); }
vspinner* vspinnerTextCreate() { return as(vinstanceCreate(vspinnerTextGetDefaultClass())); }
void vspinnerStartup() { vspinnerTextGetDefaultClass(); }
const vcontrolPart* vspinnerGetParts() { return state()->parts; }
vsysTime _vspinnerGetNextStepTime() { return state()->next; }
