#include "fw/widgets/controls/slider.h"

#include <algorithm>

#include "fw/core/timer.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/controls/slider_internal.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

using namespace vsliderint;

// The pressed slider's track and the pointer's offset from the thumb's
// leading edge at the press: one slider is pressed at a time.
vsliderint::Press vsliderint::press{};

namespace {

constexpr std::int64_t kHalvingLimit = 1'048'576;

// What differs by look; the Windows and Win95 looks use the Motif
// geometry and drawing until their own routines exist.
struct LookOps {
  int w, h;  // class default size
  void (*naturalSize)(vslider* s, int* w, int* h);
  void (*trackRect)(vslider* s, vrect* out);
  int (*thumbLength)(vslider* s, int thickness, int length);
  void (*choosePart)(vslider* s, vevent* e);
  void (*draw)(vslider* s);
  const vcontrolPart* parts[2];  // horizontal, vertical
  bool redrawOnWholeRange;
};

struct SliderState {
  vsliderClassRec* cls;
  const LookOps* ops;
  std::uint32_t lookFlags;
  vtimer* blink;
  vslider* blinkTarget;
  int blinkPhase;
};
void** stateSlot = nullptr;
SliderState* state();
const LookOps& ops() { return *state()->ops; }

vcontrolClassRec* super() { return vcontrolGetDefaultClass(); }
vslider* asSlider(vinstance* o) { return static_cast<vslider*>(o); }
vslider* asSlider(vcontrol* o) { return static_cast<vslider*>(o); }
bool inside(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }
std::int32_t clamp32(std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }
std::int64_t range(const vcontrol* s) { return std::max<std::int64_t>(0, std::int64_t(s->max) - s->view - s->min); }

vrect track(vslider* s) {
  vrect t;
  vsliderGetTrackRect(s, &t);
  return t;
}

// ---- Geometry.
void itemTrack(vslider* s, vrect* out) { *out = s->rect; }
void motifTrack(vslider* s, vrect* out) {
  auto inset = std::int16_t(vdialogDetermineItemInset(s));
  const vrect& r = s->rect;
  *out = vrect{std::int16_t(r.x + inset), std::int16_t(r.y + inset), std::int16_t(r.width - 2 * inset),
               std::int16_t(r.height - 2 * inset)};
}
void openLookTrack(vslider* s, vrect* out) {
  const vrect& r = s->rect;
  if (vertical(s)) *out = vrect{r.x, std::int16_t(r.y + 7), 14, std::int16_t(r.height - 14)};
  else *out = vrect{std::int16_t(r.x + 7), std::int16_t(r.y + ((s->controlFlags & vcontrolTICK_MARKS) ? 4 : 1)),
                    std::int16_t(r.width - 14), 15};
}
void cuaTrack(vslider* s, vrect* out) {
  const vrect& r = s->rect;
  auto ticks = std::int16_t((s->controlFlags & vcontrolTICK_MARKS) ? 6 : 0);
  if (vertical(s)) *out = vrect{std::int16_t(r.x + ticks), r.y, 17, std::int16_t(r.height - 20)};
  else *out = vrect{r.x, std::int16_t(r.y + ticks), std::int16_t(r.width - 20), 17};
}

int thicknessLength(vslider*, int thickness, int) { return thickness; }
int openLookThumb(vslider*, int, int) { return 12; }
int cuaThumb(vslider*, int, int) { return 10; }

template <int W, int H, int WT, int HT>
void sizeTable(vslider* s, int* w, int* h) {
  bool ticks = (s->controlFlags & vcontrolTICK_MARKS) != 0;
  int along = W, across = ticks ? HT : H;
  *w = vertical(s) ? across : along;
  *h = vertical(s) ? along : across;
}
void baseSize(vslider*, int* w, int* h) { *w = *h = 0; }

void computeThumb(vcontrol* c) {
  vslider* s = asSlider(c);
  bool v = vertical(s);
  vrect t = track(s);
  int length = std::max(alongLength(t, v), 0);
  int thumb = std::clamp(vsliderGetThumbLength(s, acrossLength(t, v), length), 0, length);
  s->indicator = axisRect(v, along(t, v), across(t, v), thumb, acrossLength(t, v));
  vcontrolClassOf(s)->placeIndicator(s);
}

void placeThumb(vcontrol* c) {
  vslider* s = asSlider(c);
  bool v = vertical(s);
  vrect t = track(s);
  int start = vsliderThumbStart(s, &t, alongLength(s->indicator, v));
  (v ? s->indicator.y : s->indicator.x) = std::int16_t(start);
}

// The thumb's pixels follow it; what it uncovered is redrawn.

void setValueMoving(vslider* s, std::int32_t value) {
  vrect old = s->indicator;
  vcontrolClampValue(s, value);
  vcontrolClassOf(s)->placeIndicator(s);
  moveThumb(s, old);
}

// ---- Part choice.
void choose(vslider* s, int part) { s->activePart = part < 0 ? nullptr : &vsliderGetParts(s)[part]; }

// Inside the track: page back, thumb or page forward by the anchor.

void motifChoose(vslider* s, vevent* e) {
  if (!chooseOnTrack(s, e, 0)) choose(s, -1);
}

void openLookChoose(vslider* s, vevent* e) {
  bool v = vertical(s);
  int p = v ? veventGetY(e) : veventGetX(e);
  int start = along(s->rect, v), length = alongLength(s->rect, v);
  choose(s, p < start + 6 ? vsliderNEAR_END : p > start + length - 6 ? vsliderFAR_END : -1);
  chooseOnTrack(s, e, 1);
}

void cuaChoose(vslider* s, vevent* e) {
  if (chooseOnTrack(s, e, 0)) return;
  bool v = vertical(s);
  vrect t = track(s);
  int p = v ? veventGetY(e) : veventGetX(e), q = v ? veventGetX(e) : veventGetY(e);
  int past = p - (along(t, v) + alongLength(t, v));
  bool beside = q >= across(t, v) && q < across(t, v) + acrossLength(t, v);
  choose(s, !beside || past < 0 || past > 17 ? -1 : past < 9 ? vsliderSTEP_BACK : vsliderSTEP_FORWARD);
}

// ---- Hit tests while a part stays pressed.
struct Hit {
  vslider* s;
  bool v;
  vrect t, m;
  int p, q;  // along and across
  explicit Hit(vcontrol* c, vevent* e)
      : s(asSlider(c)), v(vertical(c)), t(track(s)), m(c->indicator), p(v ? veventGetY(e) : veventGetX(e)),
        q(v ? veventGetX(e) : veventGetY(e)) {}
  int tStart() const { return along(t, v); }
  int tEnd() const { return along(t, v) + alongLength(t, v); }
  int tCross() const { return acrossLength(t, v); }
  bool besideTrack() const { return q >= across(t, v) && q < across(t, v) + tCross(); }
  bool onTrack() const { return p >= tStart() && p < tEnd() && besideTrack(); }
  int mStart() const { return along(m, v); }
  int mEnd() const { return along(m, v) + alongLength(m, v); }
};

int hitStepBack(vcontrol* c, vevent* e) {
  Hit h(c, e);
  return h.p >= h.tStart() - h.tCross() && h.p < h.tStart() && h.besideTrack();
}
int hitStepForward(vcontrol* c, vevent* e) {
  Hit h(c, e);
  return h.p >= h.tEnd() && h.p < h.tEnd() + h.tCross() && h.besideTrack();
}
int hitPageBack(vcontrol* c, vevent* e) {
  Hit h(c, e);
  return h.onTrack() && h.p <= h.mStart();
}
int hitPageForward(vcontrol* c, vevent* e) {
  Hit h(c, e);
  return h.onTrack() && h.p > h.mEnd();
}
// A drag goes on within 50 pixels of the thumb across the track.
int hitCuaPageBack(vcontrol* c, vevent* e) {
  Hit h(c, e);
  return h.onTrack() && h.p < h.mStart();
}
template <int From>
int hitCuaStep(vcontrol* c, vevent* e) {
  Hit h(c, e);
  return h.p >= h.tEnd() + From && h.p < h.tEnd() + From + 9 && h.besideTrack();
}
template <bool Far>
int hitOpenLookEnd(vcontrol* c, vevent* e) {
  Hit h(c, e);
  int start = along(c->rect, h.v), length = alongLength(c->rect, h.v);
  if (length < 48 || !inside(c->rect, veventGetX(e), veventGetY(e))) return 0;
  if (Far) return h.p > start + length - 6;
  return h.v ? h.p < start + 6 : h.p > start && h.p < start + 6;
}

// ---- Actions.

// With look flag 0x40 the pointer is kept beside the thumb, so that a held
// button pages on to the end of the range.
void keepPointerOutside(vslider* s, vevent* e, bool forward) {
  if (!(state()->lookFlags & vlafSLIDER_KEEPS_POINTER)) return;
  bool v = vertical(s);
  int p = v ? veventGetY(e) : veventGetX(e);
  int start = along(s->indicator, v), end = start + alongLength(s->indicator, v);
  int to;
  if (!forward && p > start) to = start - 1;
  else if (forward && p <= end) to = end + 1;
  else return;
  int x = v ? veventGetX(e) : to, y = v ? to : veventGetY(e);
  veventSetPosition(e, x, y);
  vdialogItemList* list = s->owner;
  vwindow* window = list ? list->effective.window(list->owner) : nullptr;
  if (!window) return;
  vdialogItemListTransformPoint(list, &x, &y);
  vwindowWarpPointer(window, x, y);
}

template <bool Forward>
int page(vcontrol* c, vevent* e) {
  vslider* s = asSlider(c);
  int changed = moveTo(s, std::int64_t(c->value) + (Forward ? c->page : -c->page));
  keepPointerOutside(s, e, Forward);
  return changed;
}

// Pressed drawings: each look draws its own; a release redraws the item.
void redraw(vcontrol* c) { ops().draw(asSlider(c)); }
template <bool Far>
void openLookEnd(vcontrol* c) { drawOpenLookEndPressed(asSlider(c), Far); }
template <bool Forward>
void cuaStep(vcontrol* c) { drawCuaStepPressed(asSlider(c), Forward); }
template <bool Forward>
void cuaPage(vcontrol* c) { drawCuaPagePressed(asSlider(c), Forward); }

constexpr std::uint32_t R = vcontrolPartREPEAT;
constexpr vcontrolPart kNone{0, [](vcontrol*, vevent*) { return 0; }, nullptr, nullptr, nullptr, nullptr};
constexpr vcontrolPart kThumb{0, hitThumb, nullptr, nullptr, drag, nullptr};

const vcontrolPart kDefaultParts[7] = {
    kNone,
    {R, hitStepBack, nullptr, nullptr, stepBack, nullptr},
    {R, hitPageBack, nullptr, nullptr, page<false>, nullptr},
    kThumb,
    {R, hitPageForward, nullptr, nullptr, page<true>, nullptr},
    {R, hitStepForward, nullptr, nullptr, stepForward, nullptr},
    kNone,
};
const vcontrolPart kOpenLookParts[7] = {
    {R, hitOpenLookEnd<false>, openLookEnd<false>, redraw, toMinimum, nullptr},
    kDefaultParts[1], kDefaultParts[2], kThumb, kDefaultParts[4], kDefaultParts[5],
    {R, hitOpenLookEnd<true>, openLookEnd<true>, redraw, toMaximum, nullptr},
};
const vcontrolPart kCuaParts[7] = {
    kNone,
    {R, hitCuaStep<2>, cuaStep<false>, redraw, stepBack, nullptr},
    {R, hitCuaPageBack, cuaPage<false>, redraw, page<false>, nullptr},
    kThumb,
    {R, hitPageForward, cuaPage<true>, redraw, page<true>, nullptr},
    {R, hitCuaStep<11>, cuaStep<true>, redraw, stepForward, nullptr},
    kNone,
};

// Rows: Windows, Motif, Open Look, CUA, Win95, and any other look. The
// tables are shared by both orientations: each hit test reads it.
const LookOps kLooks[] = {
    {63, 23, windowsSliderSize, windowsSliderTrack, mswSliderThumb, mswSliderChoose, drawWindowsSlider,
     {kWindowsSliderParts, kWindowsSliderParts}, true},
    {48, 16, sizeTable<48, 16, 48, 16>, motifTrack, motifThumb, motifChoose, drawMotif, {kDefaultParts, kDefaultParts}, false},
    {32, 19, sizeTable<32, 15, 32, 20>, openLookTrack, openLookThumb, openLookChoose, drawOpenLook,
     {kOpenLookParts, kOpenLookParts}, true},
    {51, 17, sizeTable<32, 17, 32, 23>, cuaTrack, cuaThumb, cuaChoose, drawCua, {kCuaParts, kCuaParts}, true},
    {63, 21, win95SliderSize, win95SliderTrack, mswSliderThumb, mswSliderChoose, drawWin95Slider,
     {kWin95SliderParts, kWin95SliderParts}, true},
    {0, 0, baseSize, itemTrack, thicknessLength, motifChoose, [](vslider*) {}, {kDefaultParts, kDefaultParts}, false},
};
const LookOps& lookOps(int id) { return id >= vlafWINDOWS && id <= vlafWIN95 ? kLooks[id - vlafWINDOWS] : kLooks[5]; }

// ---- Slots.
void getTrackRect(vslider* s, vrect* out) { ops().trackRect(s, out); }
int getThumbLength(vslider* s, int thickness, int length) { return ops().thumbLength(s, thickness, length); }
void naturalSize(vdialogItem* item, int* w, int* h) { ops().naturalSize(asSlider(static_cast<vcontrol*>(item)), w, h); }
void draw(vdialogItem* item) { ops().draw(asSlider(static_cast<vcontrol*>(item))); }
void drawFocus(vdialogItem* item) {
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(item)) draw(item);
  vdrawGRestore();
}
void choosePart(vcontrol* c, vevent* e) { ops().choosePart(asSlider(c), e); }

void destroy(vinstance* self) {
  if (state()->blinkTarget == self) _vsliderSetBlinkTarget(nullptr);
  super()->destroy(self);
}

// The blink follows the focus in the looks that have the timer.
void focus(vdialogItem* item) {
  super()->focus(item);
  if (state()->blink) _vsliderSetBlinkTarget(asSlider(static_cast<vcontrol*>(item)));
}
void unfocus(vdialogItem* item) {
  if (state()->blinkTarget == item) _vsliderSetBlinkTarget(nullptr);
  super()->unfocus(item);
}
void close(vdialogItem* item) {
  if (state()->blinkTarget == item) _vsliderSetBlinkTarget(nullptr);
  super()->close(item);
}

int buttonDown(vdialogItem* item, vevent* e) {
  // A CUA slider showing its whole range takes no presses.
  if (vlafGetCurrent()->id == vlafCUA && (static_cast<vcontrol*>(item)->controlFlags & vcontrolWHOLE_RANGE)) return 0;
  return super()->buttonDown(item, e);
}

template <void (*vcontrolClassRec::*Setter)(vcontrol*, std::int32_t)>
void setRangeRedrawing(vcontrol* c, std::int32_t v) {
  bool before = (c->controlFlags & vcontrolWHOLE_RANGE) != 0;
  (super()->*Setter)(c, v);
  bool after = (std::int64_t(c->max) - c->view <= c->min);
  if (ops().redrawOnWholeRange && before != after) vdialogInvalItem(c, 0);
}
void setView(vcontrol* c, int v) {
  bool before = (c->controlFlags & vcontrolWHOLE_RANGE) != 0;
  super()->setView(c, v);
  bool after = (std::int64_t(c->max) - c->view <= c->min);
  if (ops().redrawOnWholeRange && before != after) vdialogInvalItem(c, 0);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  vslider* s = asSlider(self);
  std::int64_t v = s->value;
  switch (selector) {
    case 8: v = s->min; break;
    case 9: v = s->max; break;
    case 10: case 13: v -= s->increment; break;
    case 11: case 12: v += s->increment; break;
    case 14: case 17: v -= s->page; break;
    case 15: case 16: v += s->page; break;
    default: return super()->issueSelector(self, selector, context);
  }
  if (moveTo(s, v) && context && vdictHas(context, vname_Event))
    vdialogNotifyItem(s, static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event))));
  return 1;
}

void blinkTick(vtimer*) {
  SliderState* st = state();
  st->blinkPhase = !st->blinkPhase;
  if (vslider* s = st->blinkTarget) vdialogItemClassOf(s)->invalRect(s, &s->indicator, 0);
}

void freeState() {
  auto* s = static_cast<SliderState*>(*stateSlot);
  if (s && s->blink) vtimerDestroy(s->blink);
}

SliderState* state() {
  if (auto* bound = vmoduleState<SliderState>(stateSlot)) return bound;
  auto* st = static_cast<SliderState*>(vmoduleBindSlot(stateSlot, sizeof(SliderState)));
  *st = SliderState{};
  vmoduleAddContextExitProc(freeState);
  const vlaf* look = vlafGetCurrent();
  st->ops = &lookOps(look->id);
  st->lookFlags = look->flags;
  auto* c = vclassSpawnOf<vsliderClassRec>(super());
  c->instanceSize = sizeof(vslider);
  c->destroy = destroy;
  c->focus = focus;
  c->unfocus = unfocus;
  c->close = close;
  c->issueSelector = issueSelector;
  c->naturalSize = c->minSize = naturalSize;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->buttonDown = buttonDown;
  c->setMin = setRangeRedrawing<&vcontrolClassRec::setMin>;
  c->setMax = setRangeRedrawing<&vcontrolClassRec::setMax>;
  c->setView = setView;
  c->computeIndicator = computeThumb;
  c->placeIndicator = placeThumb;
  c->choosePart = choosePart;
  c->getTrackRect = getTrackRect;
  c->getThumbLength = getThumbLength;
  c->setValueMoving = setValueMoving;
  c->defaultWidth = std::int16_t(st->ops->w ? st->ops->w : c->defaultWidth);
  c->defaultHeight = std::int16_t(st->ops->h ? st->ops->h : c->defaultHeight);
  vclassSetName(c, vscribeLiteral("vslider"));
  if (look->id == vlafWINDOWS || look->id == vlafWIN95) {
    vlafSetClassMSWSysColor(look->id, -1, c, vcolorFOREGROUND, 0);
    vlafSetClassMSWSysColor(look->id, -1, c, vcolorBACKGROUND, 24);
    _vdialogItemRunNamingHook(c);
    st->blink = vtimerCreate();
    st->blink->periodNanoseconds = 500'000'000;
    st->blink->flags |= vtimerRECURRENT;
    st->blink->notify = blinkTick;
  }
  st->cls = c;
  return st;
}

}  // namespace

// What the scroll bar and the Windows routines share with the slider.
int vsliderint::motifThumb(vslider* s, int thickness, int length) {
  if (s->view <= 0) return 2 * thickness;
  std::int64_t span = std::int64_t(s->max) - s->min;
  if (span < 1) return length;
  return int(std::max<std::int64_t>(std::int64_t(s->view) * length / span, thickness));
}
void vsliderint::moveThumb(vslider* s, const vrect& old) {
  const vrect& now = s->indicator;
  int dx = now.x - old.x, dy = now.y - old.y;
  bool sameSize = now.width == old.width && now.height == old.height;
  if (sameSize && dx == 0 && dy == 0) return;
  vrect both;
  vrectUnion(&old, &now, &both);
  vdialogItemClassOf(s)->scrollRect(s, &both, dx, dy, 0);
  if (!sameSize) vdialogItemClassOf(s)->invalRect(s, &both, 1);
}
int vsliderint::moveTo(vslider* s, std::int64_t value) {
  std::int32_t old = s->value;
  vsliderSetValueMoving(s, clamp32(value));
  return s->value != old;
}
bool vsliderint::chooseOnTrack(vslider* s, vevent* e, int pageBackBelow) {
  bool v = vertical(s);
  vrect t = track(s);
  if (!inside(t, veventGetX(e), veventGetY(e))) return false;
  press.track = t;
  press.anchor = (v ? veventGetY(e) : veventGetX(e)) - along(s->indicator, v);
  int thumb = alongLength(s->indicator, v);
  choose(s, press.anchor < pageBackBelow ? vsliderPAGE_BACK : press.anchor <= thumb ? vsliderTHUMB : vsliderPAGE_FORWARD);
  return true;
}
int vsliderint::hitThumb(vcontrol* c, vevent* e) {
  Hit h(c, e);
  int d = h.q - across(h.m, h.v);
  return d >= -50 && d < acrossLength(h.m, h.v) + 50;
}
int vsliderint::stepBack(vcontrol* c, vevent*) { return moveTo(asSlider(c), std::int64_t(c->value) - c->increment); }
int vsliderint::stepForward(vcontrol* c, vevent*) { return moveTo(asSlider(c), std::int64_t(c->value) + c->increment); }
int vsliderint::toMinimum(vcontrol* c, vevent*) { return moveTo(asSlider(c), c->min); }
int vsliderint::toMaximum(vcontrol* c, vevent*) { return moveTo(asSlider(c), c->max); }
int vsliderint::drag(vcontrol* c, vevent* e) {
  vslider* s = asSlider(c);
  bool v = vertical(s);
  const vrect& t = press.track;
  int thumb = alongLength(s->indicator, v), start = along(s->indicator, v);
  int delta = ((v ? veventGetY(e) : veventGetX(e)) - start) - press.anchor;
  delta = std::clamp(delta, along(t, v) - start, along(t, v) + alongLength(t, v) - (start + thumb));
  if (delta > 0 || delta < 0) {
    vrect old = s->indicator;
    (v ? s->indicator.y : s->indicator.x) = std::int16_t(start + delta);
    moveThumb(s, old);
  }
  int off = along(s->indicator, v) - along(t, v);
  std::int32_t old = s->value;
  vcontrolClampValue(s, vsliderValueAt(s, off, alongLength(t, v), thumb));
  return s->value != old;
}

vsliderClassRec* vsliderGetDefaultClass() { return state()->cls; }
vslider* vsliderCreate() { return asSlider(vinstanceCreate(vsliderGetDefaultClass())); }
// The scroll bar first: its getter builds the slider on the way.
void _vsliderStartupClasses() {
  vsliderScrollBarGetDefaultClass();
  vsliderGetDefaultClass();
}

const vcontrolPart* vsliderGetParts(vslider* s) { return ops().parts[vertical(s) ? 1 : 0]; }

int vsliderThumbStart(vslider* s, const vrect* t, int thumbLength) {
  bool v = vertical(s);
  std::int64_t r = range(s);
  std::int64_t pos = std::clamp<std::int64_t>(std::int64_t(s->value) - s->min, 0, r);
  while (r > kHalvingLimit) pos >>= 1, r >>= 1;
  std::int64_t room = std::max(alongLength(*t, v) - thumbLength, 0);
  return along(*t, v) + int(r == 0 ? 0 : room * pos / r);
}

std::int32_t vsliderValueAt(vslider* s, int off, int trackLength, int thumbLength) {
  std::int64_t room = trackLength - thumbLength;
  if (room <= 0) return s->min;
  std::int64_t r = range(s);
  std::int64_t v = r > kHalvingLimit ? r / room * off : off * r / room;
  return clamp32(s->min + v);
}

void _vsliderSetBlinkTarget(vslider* s) {
  SliderState* st = state();
  st->blinkTarget = s;
  if (!st->blink) return;
  if (s) vtimerStart(st->blink);
  else vtimerStop(st->blink), st->blinkPhase = 0;
}
vslider* _vsliderGetBlinkTarget() { return state()->blinkTarget; }
int _vsliderGetBlinkPhase() { return state()->blinkPhase; }
