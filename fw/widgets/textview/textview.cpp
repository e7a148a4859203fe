#include "fw/widgets/textview/textview.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/textview/textview_internal.h"
#include "fw/widgets/textview/viewinput.h"

namespace {

void** moduleSlot = nullptr;

struct Shared {
  bool started = false;
  vcolor* invisibles = nullptr;
};
Shared shared;

constexpr const char* kNames[] = {"Append",      "Amount",        "AmountArray", "Direction",      "Left",
                                  "Right",       "Select",        "LeftMargin",  "RightMargin",    "ScrollTo",
                                  "UnfocusHilite", "FocusHilite", "HiliteTo",    "ScrollBarMargin", "Linenumber",
                                  "Words",       "Lines",         "Drag Drop Edit", "Auto Insert"};

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vtextview* asView(vinstance* o) { return static_cast<vtextview*>(o); }
int lookId() { return vlafGetCurrent()->id; }

vresource moduleResource() {
  vresource module;
  if (!vapplicationFindNamedResource(vnameInternLiteral("vtextview"), &module)) return 0;
  return module;
}

void readResources(vtextviewModule* m) {
  vresource module = moduleResource();
  if (!module) return;
  vresource options, look;
  if (vresourceTestGet(module, vnameInternLiteral("Options"), &options) &&
      vresourceTestGet(options, vnameInternLiteral(vlafGetCurrent()->name), &look)) {
    std::int32_t n = std::min<std::int32_t>(vresourceCount(look), 5);
    for (std::int32_t i = 0; i < n; ++i) m->lookOptions[i] = vresourceGetAtInteger(look, i);
  }
  std::int32_t hilite = 0;
  if (vresourceTestGetInteger(module, vnameInternLiteral("Hilite"), &hilite)) m->hilite = std::uint8_t(hilite);
}

vdict* loadKeys() {
  return vlafLoadClassKeys("vtextview");
}

void blinkTick(vtimer* timer);

// "caretblinkinterval" is decimal seconds; the whole part and the rest in
// nanoseconds, both truncated.
void setUpCaretTimer(vtextviewModule* m) {
  m->caretTimer = vtimerCreate();
  m->caretTimer->notify = blinkTick;
  m->caretTimer->flags |= vtimerRECURRENT;
  m->caretTimer->periodSeconds = 0;
  m->caretTimer->periodNanoseconds = 750'000'000;
  const char* text = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("caretblinkinterval"));
  if (!text) return;
  double v = -1;
  // A value that is no number leaves the default period.
  vexTry([&] { v = vnumParseFloat(text, vnumNUL_TERMINATED, nullptr); });
  if (!(v >= 0)) return;
  double whole = double(std::int64_t(v));
  m->caretTimer->periodSeconds = std::int64_t(whole);
  m->caretTimer->periodNanoseconds = std::int64_t((v - whole) * 1e9);
}

void exitContext() {
  auto* m = static_cast<vtextviewModule*>(*moduleSlot);
  if (!m) return;
  if (m->caretTimer) vtimerDestroy(m->caretTimer);
  if (m->autoScroll) vtimerDestroy(m->autoScroll);
  // The space owns the key dictionary.
  if (m->space) vinstanceDestroy(m->space);
  else if (m->keys) vcommandDestroyKeyDict(m->keys);
  if (m->keyMap) vdictDestroy(m->keyMap);
  for (vclipboard* c : {m->globalClipboard, m->selectionClipboard})
    if (c) vclipboardDestroy(c);
  vmemFree(m->measure);
  _vtextviewEndInput();
}

void exitProcess() {
  _vtextviewFreeCommands();
  shared.invisibles = nullptr;
  shared.started = false;
}

void startProcess() {
  if (shared.started) return;
  shared.started = true;
  for (const char* name : kNames) vnameInternLiteral(name);
  _vtextviewMakeCommands();
  vsysAddExitHandler(exitProcess);
  vexTry([] {
    vresource module = moduleResource();
    vresource color;
    if (module && vresourceTestGet(module, vnameInternLiteral("Invisibles"), &color)) shared.invisibles = vcolorLoad(color);
  });
}

bool caretTimerRuns(vtextviewModule* m) { return m->caretTimer->periodSeconds || m->caretTimer->periodNanoseconds; }

void blinkTick(vtimer* timer) {
  vtextview* v = static_cast<vtextview*>(timer->data);
  if (!v) {
    vtimerStop(timer);
    return;
  }
  if (v->selection && vdialogItemIsActive(v) && v->selection->length == 0 && v->focused && v->hiddenCount == 0)
    vtextviewClassOf(v)->drawCaret(v, _vtextviewCaretPhase(v) ? 0 : 1);
}

// ---- layout

std::int16_t borderWidth() {
  const vlaf* look = vlafGetCurrent();
  return std::int16_t((look->flags & vlaf3D) && look->id != vlafWIN95 ? 3 : 2);
}

int barExtent(vslider* bar, bool height) {
  int w = 0, h = 0;
  vdialogGetItemMinSize(bar, &w, &h);
  return height ? h : w;
}

// Frame additions of both size queries.
void addFrame(vtextview* v, int* w, int* h) {
  if (v->flags & vdialogItemBORDER) {
    *w += 2 * vtextviewClassOf(v)->borderWidth;
    *h += 2 * vtextviewClassOf(v)->borderWidth;
  }
  if (v->horzBar) {
    *h += barExtent(v->horzBar, true) + std::int16_t(v->scrollBarMargin);
    *w = std::max(*w, barExtent(v->horzBar, false));
  }
  if (v->vertBar) {
    *w += barExtent(v->vertBar, false) + std::int16_t(v->scrollBarMargin);
    *h = std::max(*h, barExtent(v->vertBar, true));
  }
}

void minSize(vdialogItem* item, int* w, int* h) {
  vtextview* v = asView(item);
  *w = v->leftMargin;
  *h = v->rightMargin + (lookId() == vlafWIN95 ? 1 : 0);
  addFrame(v, w, h);
}

void naturalSize(vdialogItem* item, int* w, int* h) {
  vtextview* v = asView(item);
  std::int64_t width = 0, height = 0;
  if (v->text) {
    for (std::int32_t line = 1; line <= v->text->lineCount; ++line) {
      vtextLineInfo info{};
      vtextGetLineInfo(v->text, line, &info);
      if (info.length <= 0) continue;
      width = std::max<std::int64_t>(width, (std::int64_t(info.endX) + 0xFFFF) >> 16);
      height += info.height;
    }
  }
  *w = int(width) + v->leftMargin + v->rightMargin + (lookId() == vlafWIN95 ? 1 : 0);
  *h = int(height) + v->leftMargin + v->rightMargin + (lookId() == vlafWIN95 ? 1 : 0);
  addFrame(v, w, h);
}

void barNotify(vdialogItem* item, vevent*) {
  vtextview* v = reinterpret_cast<vtextview*>(item->data);
  if (!v) return;
  auto* bar = static_cast<vcontrol*>(item);
  if (item == v->vertBar)
    _vtextviewScrollPastLocks(v, vcontrolGetReversedValue(bar), v->scrollX);
  else
    _vtextviewScrollPastLocks(v, v->scrollY, bar->value);
}

void attachBar(vtextview* v, vslider* bar) {
  vdialogSetItemData(bar, reinterpret_cast<std::intptr_t>(v));
  vdialogSetItemNotify(bar, barNotify);
  if (v->owner) vdialogItemClassOf(bar)->setOwner(bar, v->owner);
  if (v->flags & vdialogItemMARKED)
    vdialogItemClassOf(bar)->setMarked(bar);
  // The view's own flags: a view not yet open is still shown, and a bar
  // hidden here would have every redraw it asks for dropped.
  if (!(v->flags & vdialogItemENABLED)) vdialogDisableItem(bar);
  if (!(v->flags & vdialogItemSHOWN)) vdialogHideItem(bar);
  if (v->flags & vdialogItemOPEN) {
    vdialogOpenItem(bar);
    vdialogItemClassOf(bar)->setFocusable(bar, 1);
  }
}

vslider* makeBar(vtextview* v, bool vertical) {
  vslider* bar = vsliderScrollBarCreate();
  if (vertical) {
    vcontrolSetVertical(bar, 1);
    vcontrolSetMin(bar, 1);
  } else {
    vcontrolSetMin(bar, 0);
    vcontrolSetMax(bar, 20480);
    vcontrolSetIncrement(bar, 20);
  }
  attachBar(v, bar);
  return bar;
}

// A bar shares the view's item list without being listed in it.
void destroyBar(vslider*& bar) {
  if (!bar) return;
  bar->owner = nullptr;
  vinstanceDestroy(bar);
  bar = nullptr;
}

void setBarMargin(vtextview* v) {
  const vlaf* look = vlafGetCurrent();
  if (v->textViewFlags & vtextviewKEEP_BAR_MARGIN) return;
  if (!(look->flags & vlafSLIDER_KEEPS_POINTER)) return;
  v->scrollBarMargin = std::uint16_t(!(look->flags & vlaf3D) && (v->flags & vdialogItemBORDER) ? -look->cornerRadius : 0);
}

}  // namespace

vtextviewModule* _vtextviewModule() {
  vtextviewGetDefaultClass();
  return static_cast<vtextviewModule*>(*moduleSlot);
}

vcolor* _vtextviewInvisiblesColor() { return shared.invisibles; }

bool _vtextviewCaretTimerRuns() { return caretTimerRuns(_vtextviewModule()); }

void _vtextviewRestartCaretTimer() {
  vtextviewModule* m = _vtextviewModule();
  if (caretTimerRuns(m) && m->caretTimer->data && !(m->caretTimer->flags & vtimerARMED)) vtimerStart(m->caretTimer);
}
int _vtextviewCaretPhase(const vtextview* v) { return int((v->viewFlags >> 16) & 0xFF); }

void _vtextviewLayout(vtextview* v) {
  vrect r = v->rect;
  const bool left = (vlafGetCurrent()->flags & vlafLEFT_SCROLL_BAR) != 0;
  int hb = v->horzBar ? barExtent(v->horzBar, true) : 0, vb = v->vertBar ? barExtent(v->vertBar, false) : 0;
  int margin = std::int16_t(v->scrollBarMargin);
  if (v->horzBar) {
    r.y = std::int16_t(r.y + hb + margin);
    r.height = std::int16_t(r.height - hb - margin);
  }
  if (v->vertBar) {
    if (left) r.x = std::int16_t(r.x + vb + margin);
    r.width = std::int16_t(r.width - vb - margin);
  }
  vrect outer = v->rect;
  if (v->flags & vdialogItemBORDER) {
    int b = vtextviewClassOf(v)->borderWidth;
    r = {std::int16_t(r.x + b), std::int16_t(r.y + b), std::int16_t(r.width - 2 * b), std::int16_t(r.height - 2 * b)};
    if (lookId() == vlafWIN95)
      outer = {std::int16_t(outer.x + b), std::int16_t(outer.y + b), std::int16_t(outer.width - 2 * b),
               std::int16_t(outer.height - 2 * b)};
  }
  r.width = std::max<std::int16_t>(r.width, 0);
  r.height = std::max<std::int16_t>(r.height, 0);
  v->content = r;
  // Origin bottom-left: the horizontal bar sits under the text, the
  // vertical one beside it.
  if (v->horzBar) {
    vrect b{outer.x, outer.y, std::int16_t(outer.width - (v->vertBar ? vb : 0)), std::int16_t(hb)};
    if (left && v->vertBar) b.x = std::int16_t(outer.x + vb);
    vdialogSetItemRect(v->horzBar, &b);
  }
  if (v->vertBar) {
    vrect b{std::int16_t(left ? outer.x : outer.x + outer.width - vb), std::int16_t(outer.y + (v->horzBar ? hb : 0)),
            std::int16_t(vb), std::int16_t(outer.height - (v->horzBar ? hb : 0))};
    vdialogSetItemRect(v->vertBar, &b);
  }
}

// Walks the blocks once: the text's own count looks every line up from
// its first block.
std::int32_t _vtextviewVisibleLines(vtextview* v) {
  if (!v->text) return 0;
  std::int32_t room = vtextviewGetTextArea(v)->height, n = 0, line = v->scrollY;
  vtextBlock* b = v->text->first;
  while (b && !(line >= b->firstLine && line < b->firstLine + b->lineCount)) b = b->next;
  for (std::int32_t k = b ? line - b->firstLine : 0; b && line <= v->text->lineCount; ++line, ++n) {
    room -= b->lines[k].ascent + b->lines[k].descent;
    if (room < 0) break;
    if (++k >= b->lineCount) b = b->next, k = 0;
  }
  return std::max<std::int32_t>(n, 1);
}

void _vtextviewUpdateBars(vtextview* v) {
  if (!v->text) return;
  std::int32_t n = v->scrollY > v->text->lineCount ? 1 : _vtextviewVisibleLines(v);
  // A bar's own redraw of a thumb that changed length can leave its old
  // end behind: a bar whose range changed is drawn again whole; a new
  // value alone the bar redraws itself.
  auto state = [](vslider* b) { return std::array<std::int32_t, 4>{b->min, b->max, b->view, b->page}; };
  if (v->vertBar) {
    auto before = state(v->vertBar);
    vcontrolSetMax(v->vertBar, std::max<std::int32_t>(v->text->lineCount, 1));
    vcontrolSetMin(v->vertBar, 1);
    vcontrolSetPage(v->vertBar, std::max<std::int32_t>(n - 1, 1));
    vcontrolSetView(v->vertBar, std::max<std::int32_t>(n, 1));
    vcontrolSetReversedValue(v->vertBar, v->scrollY);
    if (state(v->vertBar) != before && (v->flags & vdialogItemOPEN)) vdialogItemClassOf(v)->invalRect(v, &v->vertBar->rect, 0);
  }
  if (v->horzBar) {
    auto before = state(v->horzBar);
    const std::int32_t reach = _vtextviewMaxScrollX(v);
    const vrect* a = vtextviewGetTextArea(v);
    vcontrolSetPage(v->horzBar, a->width);
    vcontrolSetView(v->horzBar, a->width);
    // The bar's values run over the view's whole ScrollX range, so that
    // the end of a line past the classic 20,480 pixels is reached with it.
    vcontrolSetMax(v->horzBar, reach + a->width);
    vcontrolSetValue(v->horzBar, v->scrollX);
    if (state(v->horzBar) != before && (v->flags & vdialogItemOPEN)) vdialogItemClassOf(v)->invalRect(v, &v->horzBar->rect, 0);
  }
}

void _vtextviewSetBar(vtextview* v, bool vertical, bool on) {
  vslider*& bar = vertical ? v->vertBar : v->horzBar;
  std::uint16_t flag = vertical ? vtextviewVERT_BAR : vtextviewHORZ_BAR;
  if (on && !bar) {
    v->textViewFlags |= flag;
    bar = makeBar(v, vertical);
    setBarMargin(v);
  } else if (!on && bar) {
    v->textViewFlags &= std::uint16_t(~flag);
    destroyBar(bar);
  } else {
    return;
  }
  _vtextviewLayout(v);
  _vtextviewUpdateBars(v);
  vdialogInvalItem(v, 0);
}

void vtextviewSetHorzBar(vtextview* v, int on) { _vtextviewSetBar(v, false, on != 0); }
void vtextviewSetVertBar(vtextview* v, int on) { _vtextviewSetBar(v, true, on != 0); }

const vrect* vtextviewGetContentRect(vtextview* v) {
  static vrect r;
  r = v->content;
  return &r;
}

const vrect* vtextviewGetTextArea(vtextview* v) {
  static vrect r;
  r = v->content;
  r.x = std::int16_t(r.x + v->leftMargin);
  r.width = std::int16_t(std::max(0, r.width - v->leftMargin));
  r.height = std::int16_t(std::max(0, r.height - v->rightMargin - (lookId() == vlafWIN95 ? 1 : 0)));
  return &r;
}

void vtextviewGetCaretBlinkInterval(std::int64_t* seconds, std::int64_t* nanoseconds) {
  vtimer* t = _vtextviewModule()->caretTimer;
  *seconds = t->periodSeconds;
  *nanoseconds = t->periodNanoseconds;
}

const std::int32_t* vtextviewGetLookOptions() { return _vtextviewModule()->lookOptions; }
int vtextviewGetHilite() { return _vtextviewModule()->hilite; }

// ---- the text pointer shape over the content rectangle (view flag bit 2
// while registered with the window)

namespace {

constexpr std::uint32_t kPointerShown = 0x4;

void removePointer(vtextview* v) {
  if (!(v->viewFlags & kPointerShown)) return;
  v->viewFlags &= ~kPointerShown;
  vwindow* window = vdialogGetItemWindow(v);
  vcursor* shape = vlafGetCursor(1);
  if (!window || !shape) return;
  vexGuard([&] { vwindowRemoveCursorRect(window, shape, &v->pointerRect); },
           [](vexHandler& h) { vexSetCurrentException(h.savedChain); });  // the window forgot it already
}

void addPointer(vtextview* v) {
  // Registered with an open window only; the first drawing catches up.
  removePointer(v);
  vwindow* window = vdialogGetItemWindow(v);
  vcursor* shape = vlafGetCursor(1);
  if (!window || !vwindowIsOpen(window) || !window->native || !shape || !v->owner || !(v->flags & vdialogItemOPEN) ||
      !vdialogItemIsShown(v))
    return;
  vrect r = v->content;
  vdialogItemListTransformRect(v->owner, &r);
  vwindowAddCursorRect(window, shape, &r);
  v->pointerRect = r;
  v->viewFlags |= kPointerShown;
}

}  // namespace

void _vtextviewEnsurePointer(vtextview* v) {
  if (!(v->viewFlags & kPointerShown)) addPointer(v);
}

// ---- the class

namespace {

void clearOwn(vtextview* v) {
  char* from = reinterpret_cast<char*>(&v->content);
  std::memset(from, 0, std::size_t(reinterpret_cast<char*>(v + 1) - from));
}

void applyLook(vtextview* v) {
  const std::int32_t* o = _vtextviewModule()->lookOptions;
  if (o[0]) v->textViewFlags |= vtextviewDRAG_EDIT;
  if (o[1]) v->textViewFlags |= vtextviewAUTO_INSERT;
}

void init(vinstance* self) {
  super()->init(self);
  vtextview* v = asView(self);
  clearOwn(v);
  v->textViewFlags = 1;
  v->scrollY = 1;
  v->scrollBarMargin = (lookId() == vlafWINDOWS || lookId() == vlafWIN95) ? 0 : 2;
  v->observerClass = vtextviewGetObserverClass();
  v->leftMargin = 10;
  v->rightMargin = 3;
  v->caret.y = -100;
  v->focusPart = v;
  v->goalPosition = -1;
  applyLook(v);
  _vtextviewLayout(v);
  vdialogItemClassRec* c = vdialogItemClassOf(v);
  c->setBorder(v, 1);
  c->setFocusable(v, 1);
  c->setClickFocus(v, 1);
  c->setTextFocus(v, 1);
  vtextviewCreateInput(v);
}

void destroy(vinstance* self) {
  vtextview* v = asView(self);
  removePointer(v);
  vtextviewClassOf(v)->setText(v, nullptr);
  vtextviewDestroyInput(v);
  destroyBar(v->horzBar);
  destroyBar(v->vertBar);
  if (v->auxObject) vinstanceDestroy(v->auxObject);
  vmemFree(v->auxBuffer);
  if (v->offscreen) vimageDestroy(v->offscreen);
  vtextviewModule* m = _vtextviewModule();
  // Nothing may reach a freed view: the blink tick finds no target, a
  // paste no requester.
  if (m->caretTimer->data == v) {
    vtimerStop(m->caretTimer);
    m->caretTimer->data = nullptr;
  }
  for (vclipboard* c : {m->globalClipboard, m->selectionClipboard})
    if (c && c->spare == v) c->spare = nullptr;
  _vtextviewForgetPress(v);
  super()->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vtextview* s = asView(source);
  vtextview* d = asView(destination);
  destroyBar(d->horzBar);
  destroyBar(d->vertBar);
  // Every plain field from the content rectangle up to the selection.
  std::memcpy(&d->content, &s->content,
              std::size_t(reinterpret_cast<char*>(&s->selection) - reinterpret_cast<char*>(&s->content)));
  vtextviewClassOf(d)->setText(d, s->text);
  d->selection = s->selection;
  // The copy's context is its own, made fresh.
  vtextviewDestroyInput(d);
  vtextviewCreateInput(d);
  d->auxObject = nullptr;
  d->auxBuffer = nullptr;
  d->viewFlags &= ~kPointerShown;
  d->focusPart = d;
  if (d->offscreen) vimageDestroy(d->offscreen);
  d->offscreen = nullptr;
  if (s->horzBar) {
    d->horzBar = static_cast<vslider*>(vobjectClone(s->horzBar));
    attachBar(d, d->horzBar);
    if (s->focusPart == s->horzBar) d->focusPart = d->horzBar;
  }
  if (s->vertBar) {
    d->vertBar = static_cast<vslider*>(vobjectClone(s->vertBar));
    attachBar(d, d->vertBar);
    if (s->focusPart == s->vertBar) d->focusPart = d->vertBar;
  }
  if (s->viewFlags & kPointerShown) addPointer(d);
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

// The resource form: ten integers in this order.
struct Key {
  const char* name;
  std::int32_t (*get)(const vtextview*);
  void (*set)(vtextview*, std::int32_t);
};
template <int Shift, int Bits>
std::int32_t viewBits(const vtextview* v) {
  return std::int32_t((v->viewFlags >> Shift) & ((1u << Bits) - 1));
}
template <int Shift, int Bits>
void setViewBits(vtextview* v, std::int32_t x) {
  std::uint32_t mask = ((1u << Bits) - 1) << Shift;
  v->viewFlags = (v->viewFlags & ~mask) | ((std::uint32_t(x) << Shift) & mask);
}
const Key kKeys[] = {
    {"TextViewFlags", [](const vtextview* v) { return std::int32_t(v->textViewFlags & ~vtextviewTRACKING); },
     [](vtextview* v, std::int32_t x) { v->textViewFlags = std::uint16_t(x); }},
    {"ScrollX", [](const vtextview* v) { return v->scrollX; }, [](vtextview* v, std::int32_t x) { v->scrollX = x; }},
    {"ScrollY", [](const vtextview* v) { return v->scrollY; }, [](vtextview* v, std::int32_t x) { v->scrollY = x; }},
    {"LeftMargin", [](const vtextview* v) { return std::int32_t(v->leftMargin); },
     [](vtextview* v, std::int32_t x) { v->leftMargin = std::uint16_t(x); }},
    {"RightMargin", [](const vtextview* v) { return std::int32_t(v->rightMargin); },
     [](vtextview* v, std::int32_t x) { v->rightMargin = std::uint16_t(x); }},
    {"ScrollTo", viewBits<0, 2>, setViewBits<0, 2>},
    {"UnfocusHilite", viewBits<10, 3>, setViewBits<10, 3>},
    {"FocusHilite", viewBits<13, 3>, setViewBits<13, 3>},
    {"HiliteTo", viewBits<8, 2>, setViewBits<8, 2>},
    {"ScrollBarMargin", [](const vtextview* v) { return std::int32_t(v->scrollBarMargin); },
     [](vtextview* v, std::int32_t x) { v->scrollBarMargin = std::uint16_t(x); }},
};

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vtextview* v = asView(self);
  clearOwn(v);
  for (const Key& k : kKeys) k.set(v, vresourceGetInteger(resource, vnameInternLiteral(k.name)));
  v->textViewFlags &= std::uint16_t(~vtextviewTRACKING);
  v->observerClass = vtextviewGetObserverClass();
  v->caret.y = -100;
  v->focusPart = v;
  v->goalPosition = -1;
  std::uint16_t keep = v->scrollBarMargin;
  if (v->textViewFlags & vtextviewHORZ_BAR) v->horzBar = makeBar(v, false);
  if (v->textViewFlags & vtextviewVERT_BAR) v->vertBar = makeBar(v, true);
  v->scrollBarMargin = keep;
  _vtextviewLayout(v);
  vdialogItemClassOf(v)->setTextFocus(v, 1);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  for (const Key& k : kKeys) vresourceSetInteger(resource, vnameInternLiteral(k.name), k.get(asView(self)));
}

void setRect(vdialogItem* item, const vrect* rect) {
  super()->setRect(item, rect);
  vtextview* v = asView(item);
  _vtextviewLayout(v);
  _vtextviewUpdateBars(v);
  vtextviewClassOf(v)->placeCaret(v);
  if (v->viewFlags & kPointerShown) addPointer(v);
}

void setBorder(vdialogItem* item, int on) {
  bool was = (item->flags & vdialogItemBORDER) != 0;
  super()->setBorder(item, on);
  if (was == ((item->flags & vdialogItemBORDER) != 0)) return;
  vdialogInvalItem(item, 0);
  _vtextviewLayout(asView(item));
}

void setOwner(vdialogItem* item, vdialogItemList* owner) {
  super()->setOwner(item, owner);
  vtextview* v = asView(item);
  for (vslider* bar : {v->horzBar, v->vertBar})
    if (bar) vdialogItemClassOf(bar)->setOwner(bar, owner);
}

void forBars(vdialogItem* item, void (*f)(vdialogItem*)) {
  vtextview* v = asView(item);
  for (vslider* bar : {v->vertBar, v->horzBar})
    if (bar) f(bar);
}

void open(vdialogItem* item) {
  if (item->flags & vdialogItemOPEN) return;
  super()->open(item);
  vtextview* v = asView(item);
  for (vslider* bar : {v->vertBar, v->horzBar})
    if (bar) {
      vdialogOpenItem(bar);
      vdialogItemClassOf(bar)->setFocusable(bar, 1);
    }
  vtextviewClassOf(v)->placeCaret(v);
  addPointer(v);
  vtextviewInputOpen(v);
}

void close(vdialogItem* item) {
  if (!(item->flags & vdialogItemOPEN)) return;
  removePointer(asView(item));
  vtextviewInputClose(asView(item));
  super()->close(item);
  vtextviewModule* m = _vtextviewModule();
  if (m->caretTimer->data == item) vtimerStop(m->caretTimer);
  forBars(item, vdialogCloseItem);
}

void focus(vdialogItem* item) {
  vtextview* v = asView(item);
  v->focusPart = v;
  if (!v->focused) {
    vtextviewModule* m = _vtextviewModule();
    m->caretTimer->data = v;
    if (caretTimerRuns(m) && !(m->caretTimer->flags & vtimerARMED)) vtimerStart(m->caretTimer);
    vtextviewClassOf(v)->changeHighlight(v, 1);
    v->focused = 1;
    vtextviewClassOf(v)->changeHighlight(v, 2);
    vtextviewInputFocusIn(v);
  }
  super()->focus(item);
}

void unfocus(vdialogItem* item) {
  vtextview* v = asView(item);
  if (v->focused) {
    vtextviewModule* m = _vtextviewModule();
    if (item->flags & vdialogItemENABLED) vtextviewClassOf(v)->notifyClient(v, m->currentEvent, vtextviewNOTIFY_FOCUS_OUT);
    vtimerStop(m->caretTimer);
    m->caretTimer->data = nullptr;
    vtextviewClassOf(v)->changeHighlight(v, 1);
    v->focused = 0;
    vtextviewClassOf(v)->changeHighlight(v, 2);
    vtextviewInputFocusOut(v);
  }
  super()->unfocus(item);
}

void setText(vtextview* v, vtext* text) {
  // A composition shown in the old text ends with it.
  vtextviewCancelComposition(v);
  if (v->text && v->observer) {
    vtextObserver* o = v->observer;
    v->observer = nullptr;
    vtextRemoveObserver(v->text, o);
  }
  v->text = text;
  if (text) {
    auto* o = static_cast<vtextObserver*>(vinstanceCreate(v->observerClass));
    o->client = v;
    o->flags = vtextObserverOWNED;
    if (v->textViewFlags & vtextviewPASS_CLIENT) o->passClient = 1;
    vtextInstallObserver(text, o);
    v->observer = o;
    vtextviewClassOf(v)->scrollTo(v, 1, 0);
  } else {
    v->selection = nullptr;
  }
  _vtextviewUpdateBars(v);
  vdialogInvalItem(v, 0);
}

void notifyClient(vtextview* v, vevent* e, int reason) {
  if (v->notify) v->notify(v, e, reason);
}

}  // namespace

vtextviewClassRec* vtextviewGetDefaultClass() {
  if (auto* bound = vmoduleState<vtextviewModule>(moduleSlot)) return bound->viewClass;
  startProcess();
  auto* m = static_cast<vtextviewModule*>(vmoduleBindSlot(moduleSlot, sizeof(vtextviewModule)));
  *m = vtextviewModule{};
  readResources(m);
  m->keys = loadKeys();
  _vtextviewInstallCommands(m);
  auto* c = vclassSpawnOf<vtextviewClassRec>(super());
  c->space = m->space;
  c->pointerDict = m->keyMap;
  c->instanceSize = sizeof(vtextview);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->open = open;
  c->close = close;
  c->show = [](vdialogItem* i) {
    super()->show(i);
    addPointer(asView(i));
    forBars(i, vdialogShowItem);
  };
  c->hide = [](vdialogItem* i) {
    removePointer(asView(i));
    super()->hide(i);
    forBars(i, vdialogHideItem);
  };
  c->enable = [](vdialogItem* i) { super()->enable(i); forBars(i, vdialogEnableItem); };
  c->disable = [](vdialogItem* i) { super()->disable(i); forBars(i, vdialogDisableItem); };
  c->setMarked = [](vdialogItem* i) {
    forBars(i, [](vdialogItem* b) { vdialogItemClassOf(b)->setMarked(b); });
    super()->setMarked(i);
  };
  c->clearMarked = [](vdialogItem* i) {
    forBars(i, [](vdialogItem* b) { vdialogItemClassOf(b)->clearMarked(b); });
    super()->clearMarked(i);
  };
  c->focus = focus;
  c->unfocus = unfocus;
  c->minSize = minSize;
  c->naturalSize = naturalSize;
  c->setOwner = setOwner;
  c->setBorder = setBorder;
  c->setRect = setRect;
  c->setText = setText;
  c->notifyClient = notifyClient;
  c->borderWidth = borderWidth();
  _vtextviewFillDrawing(c);
  _vtextviewFillCommands(c);
  _vtextviewFillMouse(c);
  vclassSetName(c, vscribeLiteral("vtextview"));
  m->viewClass = c;
  m->measure = static_cast<vtextColumn*>(vmemAlloc(sizeof(vtextColumn) * 1026));
  m->measureCapacity = 1026;
  setUpCaretTimer(m);
  vmoduleAddContextExitProc(exitContext);
  m->observerClass = _vtextviewMakeObserverClass();
  _vtextviewStartInput();
  return c;
}

vtextObserverClassRec* vtextviewGetObserverClass() { return _vtextviewModule()->observerClass; }

vtextview* vtextviewCreate() { return asView(vinstanceCreate(vtextviewGetDefaultClass())); }

void vtextviewSetUnfocusedHighlight(vtextview* v, int kind) {
  v->viewFlags = (v->viewFlags & ~(7u << 10)) | (std::uint32_t(kind & 7) << 10);
  if (v->flags & vdialogItemOPEN) vdialogItemClassOf(v)->invalRect(v, &v->content, 0);
}

void vtextviewSetSelection(vtextview* v, vtextSelection* selection) {
  vtextviewClassOf(v)->changeHighlight(v, 1);
  v->selection = selection;
  vtextviewClassOf(v)->changeHighlight(v, 2);
  vtextviewClassOf(v)->placeCaret(v);
}

void _vtextviewStartupClasses() {
  vtextviewGetDefaultClass();
  vtextviewGetUndoActionClass();
  vtextviewGetObserverClass();
}
