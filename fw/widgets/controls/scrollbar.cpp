#include "fw/widgets/controls/scrollbar.h"

#include <algorithm>

#include "fw/core/ex.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/scrollbar_internal.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"

using namespace vsliderint;

namespace {

struct BarState {
  vsliderClassRec* cls;
  const vcontrolPart* parts;
  int look;
  vmenu* menus[2];  // the Open Look scroll menus, horizontal and vertical
};
void** stateSlot = nullptr;
BarState* state();

// The Open Look scroll bar tracks the pointer only for a "Select" press;
// the last menu press is kept for the menu's choice.
bool selectTracking = false;
struct MenuPress {
  vslider* bar;
  int x, y;
};
MenuPress menuPress{};

vsliderClassRec* super() { return vsliderGetDefaultClass(); }
vslider* asBar(vcontrol* o) { return static_cast<vslider*>(o); }
bool inside(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }
vrect trough(vslider* s) {
  vrect t;
  vsliderGetTrackRect(s, &t);
  return t;
}
vrect rect16(int x, int y, int w, int h) {
  return vrect{std::int16_t(x), std::int16_t(y), std::int16_t(w), std::int16_t(h)};
}

// ---- Geometry by look.
void troughRect(vslider* s, vrect* out) {
  const vrect& r = s->rect;
  bool v = vertical(s);
  int x = r.x, y = r.y, w = r.width, h = r.height;
  switch (state()->look) {
    case vlafWINDOWS: {
      int a = v ? vscrollint::imageHeight(78) : vscrollint::imageWidth(72);
      *out = v ? rect16(x, y + a - 1, w, h + 2 * (1 - a)) : rect16(x + a - 1, y, w + 2 * (1 - a), h);
      return;
    }
    case vlafWIN95: {
      int a = v ? vscrollint::imageHeight(144) : vscrollint::imageWidth(138);
      *out = v ? rect16(x, y + a, w, h - 2 * a) : rect16(x + a, y, w - 2 * a, h);
      return;
    }
    case vlafMOTIF:
    case vlafCUA: {
      int i = int(vdialogDetermineItemInset(s));
      x += i, y += i, w -= 2 * i, h -= 2 * i;
      int end = state()->look == vlafCUA ? 18 : (v ? w : h);
      *out = v ? rect16(x, y + end, w, h - 2 * end) : rect16(x + end, y, w - 2 * end, h);
      return;
    }
    case vlafOPEN_LOOK: {
      int length = v ? h : w, start = v ? y : x;
      int a = length >= 63 ? start + 7 : length >= 48 ? start + 8 : start;
      int l = length >= 63 ? length - 14 : 32;
      *out = v ? rect16(x + 2, a, 15, l) : rect16(a, y + 2, l, 15);
      return;
    }
    default: *out = s->rect;
  }
}

int thumbLength(vslider* s, int m, int length) {
  bool v = vertical(s);
  std::int64_t span = std::int64_t(s->max) - s->min;
  int itemLength = alongLength(s->rect, v);
  switch (state()->look) {
    case vlafWINDOWS: return v ? vscrollint::imageHeight(78) : vscrollint::imageWidth(72);
    case vlafWIN95: {
      int a = v ? vscrollint::imageHeight(144) : vscrollint::imageWidth(138);
      if (3 * a >= itemLength) return 0;
      if (s->view < 1) return a;
      if (span < 1) return length;
      return int(std::max<std::int64_t>(m / 2, std::int64_t(length) * s->view / span));
    }
    case vlafCUA:
      if (s->view < 1) return 2 * m;
      if (span < 1) return length;
      return int(std::max<std::int64_t>(std::int64_t(length) * s->view / span, m));
    case vlafOPEN_LOOK:
      return itemLength >= 63 ? ((vlafGetCurrent()->flags & vlaf3D) ? 48 : 49) : 32;
    default: return motifThumb(s, m, length);
  }
}

void minSize(vdialogItem* item, int* w, int* h) {
  bool v = vertical(static_cast<vcontrol*>(item));
  int along = 48, across = 16;
  switch (state()->look) {
    case vlafWINDOWS:
    case vlafWIN95: along = across = 13; break;
    case vlafCUA: along = 60; break;
    case vlafOPEN_LOOK: along = 32, across = 19; break;
    default: break;
  }
  *w = v ? across : along;
  *h = v ? along : across;
}

void naturalSize(vdialogItem* item, int* w, int* h) {
  bool v = vertical(static_cast<vcontrol*>(item));
  int look = state()->look;
  if (look != vlafWINDOWS && look != vlafWIN95) return minSize(item, w, h);
  bool w95 = look == vlafWIN95;
  int across = v ? vscrollint::imageWidth(w95 ? 135 : 69) : vscrollint::imageHeight(w95 ? 138 : 72);
  *w = v ? across : 4 * across;
  *h = v ? 4 * across : across;
}

// The part under a point by the look's rules; grab is the offset from
// the thumb's start when the point is in the trough.
int partAt(vslider* s, int x, int y, int* grab) {
  bool v = vertical(s);
  vrect t = trough(s);
  int p = v ? y : x, q = v ? x : y;
  int d = p - along(s->indicator, v), thumb = alongLength(s->indicator, v);
  int look = state()->look;
  if (look == vlafOPEN_LOOK) {
    int start = along(s->rect, v), length = alongLength(s->rect, v);
    int part = -1;
    if (length >= 48 && p < start + 6) part = vsliderNEAR_END;
    else if (length >= 48 && p > start + length - 6) part = vsliderFAR_END;
    if (!inside(t, x, y)) return part;
    *grab = d;
    // The elevator carries its own arrows: back, drag, forward by 15s.
    if (thumb < 33) return d < 15 ? vsliderSTEP_BACK : vsliderSTEP_FORWARD;
    return d < 0 ? vsliderPAGE_BACK : d < 15 ? vsliderSTEP_BACK : d < 30 ? vsliderTHUMB : d < 45 ? vsliderSTEP_FORWARD
                                                                                   : vsliderPAGE_FORWARD;
  }
  if (inside(t, x, y)) {
    *grab = d;
    if (thumb == 0 && (look == vlafWINDOWS || look == vlafWIN95)) return vsliderTHUMB;
    return d < 0 ? vsliderPAGE_BACK : d > thumb ? vsliderPAGE_FORWARD : vsliderTHUMB;
  }
  int dp = p - along(t, v), dq = q - across(t, v), thick = acrossLength(t, v);
  int reach = look == vlafCUA ? 18 : thick;
  if (dp >= -reach && dp < alongLength(t, v) + reach && dq >= 0 && dq < thick)
    return dp > 0 ? vsliderSTEP_FORWARD : vsliderSTEP_BACK;
  return -1;
}

void findPart(vcontrol* c, vevent* e) {
  vslider* s = asBar(c);
  int grab = 0;
  int part = partAt(s, veventGetX(e), veventGetY(e), &grab);
  press.track = trough(s);
  press.anchor = grab;
  vcontrolClassOf(c)->setActivePart(c, part < 0 ? nullptr : &state()->parts[part]);
}

template <int Part>
int hitPart(vcontrol* c, vevent* e) {
  int grab = 0;
  return partAt(asBar(c), veventGetX(e), veventGetY(e), &grab) == Part;
}

// ---- Actions.
int pageBack(vcontrol* c, vevent*) { return moveTo(asBar(c), std::int64_t(c->value) - c->page); }
int pageForward(vcontrol* c, vevent*) { return moveTo(asBar(c), std::int64_t(c->value) + c->page); }

void redrawArrow(vslider* s, bool forward) {
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(s)) vscrollint::drawArrow(s, forward, false);
  vdrawGRestore();
}

// An arrow is dimmed exactly while the value sits at its end.
template <int (*Action)(vcontrol*, vevent*)>
int cuaAction(vcontrol* c, vevent* e) {
  std::int32_t old = c->value;
  if (!Action(c, e)) return 0;
  std::int64_t top = std::int64_t(c->max) - c->view;
  if (old == c->min || c->value == c->min) redrawArrow(asBar(c), false);
  if (!(old < top && c->value < top)) redrawArrow(asBar(c), true);
  return 1;
}

// With look flag 0x40 the pointer keeps its place on the elevator.
template <int (*Action)(vcontrol*, vevent*)>
int openLookStep(vcontrol* c, vevent* e) {
  int changed = Action(c, e);
  if (!(vlafGetCurrent()->flags & vlafSLIDER_KEEPS_POINTER)) return changed;
  int x = c->indicator.x + 7, y = c->indicator.y + 7;
  veventSetPosition(e, x, y);
  vdialogItemList* list = c->owner;
  if (vwindow* window = list ? list->effective.window(list->owner) : nullptr) {
    vdialogItemListTransformPoint(list, &x, &y);
    vwindowWarpPointer(window, x, y);
  }
  return changed;
}

// ---- Part drawings.
template <bool Forward, bool Pressed>
void arrow(vcontrol* c) { vscrollint::drawArrow(asBar(c), Forward, Pressed); }
template <bool Forward, bool Pressed>
void pagePart(vcontrol* c) { vscrollint::drawPage(asBar(c), Forward, Pressed); }
template <bool Pressed>
void thumbPart(vcontrol* c) { vscrollint::drawThumbPart(asBar(c), Pressed); }
template <bool Far, bool Pressed>
void anchor(vcontrol* c) { vscrollint::drawAnchor(asBar(c), Far, Pressed); }

constexpr std::uint32_t R = vcontrolPartREPEAT;
constexpr vcontrolPart kEmpty{R, nullptr, nullptr, nullptr, nullptr, nullptr};
// Rows: Windows, Motif, Open Look, CUA, Win95.
const vcontrolPart kParts[5][7] = {
    {kEmpty,
     {R, hitPart<1>, arrow<false, true>, arrow<false, false>, stepBack, nullptr},
     {R, hitPart<2>, pagePart<false, true>, pagePart<false, false>, pageBack, nullptr},
     {0, hitThumb, thumbPart<true>, thumbPart<false>, drag, nullptr},
     {R, hitPart<4>, pagePart<true, true>, pagePart<true, false>, pageForward, nullptr},
     {R, hitPart<5>, arrow<true, true>, arrow<true, false>, stepForward, nullptr},
     kEmpty},
    {kEmpty,
     {R, hitPart<1>, arrow<false, true>, arrow<false, false>, stepBack, nullptr},
     {R, hitPart<2>, nullptr, nullptr, pageBack, nullptr},
     {0, hitThumb, nullptr, nullptr, drag, nullptr},
     {R, hitPart<4>, nullptr, nullptr, pageForward, nullptr},
     {R, hitPart<5>, arrow<true, true>, arrow<true, false>, stepForward, nullptr},
     kEmpty},
    {{0, hitPart<0>, anchor<false, true>, anchor<false, false>, toMinimum, nullptr},
     {R, hitPart<1>, arrow<false, true>, arrow<false, false>, openLookStep<stepBack>, nullptr},
     {R, hitPart<2>, nullptr, nullptr, openLookStep<pageBack>, nullptr},
     {0, hitThumb, thumbPart<true>, thumbPart<false>, drag, nullptr},
     {R, hitPart<4>, nullptr, nullptr, openLookStep<pageForward>, nullptr},
     {R, hitPart<5>, arrow<true, true>, arrow<true, false>, openLookStep<stepForward>, nullptr},
     {0, hitPart<6>, anchor<true, true>, anchor<true, false>, toMaximum, nullptr}},
    {kEmpty,
     {R, hitPart<1>, arrow<false, true>, arrow<false, false>, cuaAction<stepBack>, nullptr},
     {R, hitPart<2>, pagePart<false, true>, pagePart<false, false>, cuaAction<pageBack>, nullptr},
     {0, hitThumb, thumbPart<true>, thumbPart<false>, cuaAction<drag>, nullptr},
     {R, hitPart<4>, pagePart<true, true>, pagePart<true, false>, cuaAction<pageForward>, nullptr},
     {R, hitPart<5>, arrow<true, true>, arrow<true, false>, cuaAction<stepForward>, nullptr},
     kEmpty},
    {kEmpty,
     {R, hitPart<1>, arrow<false, true>, arrow<false, false>, stepBack, nullptr},
     {R, hitPart<2>, pagePart<false, true>, pagePart<false, false>, pageBack, nullptr},
     {0, hitThumb, nullptr, nullptr, drag, nullptr},
     {R, hitPart<4>, pagePart<true, true>, pagePart<true, false>, pageForward, nullptr},
     {R, hitPart<5>, arrow<true, true>, arrow<true, false>, stepForward, nullptr},
     kEmpty},
};

// ---- The Open Look scroll menu.
void menuChoice(vmenuItem* item, vevent* e) {
  if (menuPress.bar) _vsliderScrollBarScrollFromPress(menuPress.bar, menuPress.x, menuPress.y, item->data == 0, e);
}

vmenu* scrollMenu(bool v) {
  BarState* st = state();
  vmenu*& m = st->menus[v ? 1 : 0];
  if (m) return m;
  m = vmenuCreate();
  vwindowSetTitleScribe(m, vscribeLiteral("ScrollBar"));
  const char* titles[] = {v ? "Here to top" : "Here to left", v ? "Top to here" : "Left to here", "Previous"};
  for (int i = 0; i < 3; ++i) {
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuItemSetTitle(item, vscribeLiteral(titles[i]));
    item->data = i;
    if (i < 2) item->notifyFunc = menuChoice;
    vmenuAppendItem(m, item);
    if (i == 2) vmenuItemDisable(item);
  }
  return m;
}

bool inert(vcontrol* c) { return (c->controlFlags & vcontrolWHOLE_RANGE) != 0; }

int buttonDown(vdialogItem* item, vevent* e) {
  vslider* s = asBar(static_cast<vcontrol*>(item));
  int look = state()->look;
  if ((look == vlafWINDOWS || look == vlafWIN95 || look == vlafOPEN_LOOK) && inert(s)) return 0;
  if (look != vlafOPEN_LOOK) return super()->buttonDown(item, e);
  vname binding = veventGetBinding(e);
  if (binding == vname_Menu && !vdialogGetItemMenu(item)) {
    menuPress = {s, veventGetX(e), veventGetY(e)};
    vmenu* m = scrollMenu(vertical(s));
    vrect r = s->rect;
    if (s->owner) vdialogItemListTransformRect(s->owner, &r);
    vmenuPopupInRect(m, &r, 0, 0);
    vmenuHandleEvent(m, e);
    return 1;
  }
  if (binding && binding != vname_Select) return 0;
  selectTracking = true;
  return super()->buttonDown(item, e);
}

int buttonUp(vdialogItem* item, vevent* e) {
  int look = state()->look;
  vcontrol* c = static_cast<vcontrol*>(item);
  if ((look == vlafWINDOWS || look == vlafWIN95) && inert(c)) return 0;
  if (look != vlafOPEN_LOOK) return super()->buttonUp(item, e);
  if (!selectTracking) return 0;
  selectTracking = false;
  return super()->buttonUp(item, e);
}

int motion(vdialogItem* item, vevent* e) {
  if (state()->look == vlafOPEN_LOOK && !selectTracking) return 0;
  return super()->motion(item, e);
}

void setView(vcontrol* c, int v) {
  if (state()->look == vlafOPEN_LOOK && v != c->view) vdialogInvalItem(c, 0);
  super()->setView(c, v);
}

// A value set by its owner view redraws what the value shows beside the
// thumb (which redraws itself): the Open Look cable, filled up to the
// elevator, between its old and new place; the CUA arrows, dimmed while
// the value sits at their end, when it reaches or leaves it.
void setValue(vcontrol* c, std::int32_t value) {
  const std::int32_t old = c->value;
  const vrect was = c->indicator;
  super()->setValue(c, value);
  if (c->value == old) return;
  if (state()->look == vlafOPEN_LOOK) {
    const bool v = vertical(c);
    const vrect& now = c->indicator;
    int from = std::min(along(was, v), along(now, v));
    int to = std::max(along(was, v) + alongLength(was, v), along(now, v) + alongLength(now, v));
    vrect span = axisRect(v, from, v ? c->rect.x : c->rect.y, to - from, v ? c->rect.width : c->rect.height);
    vdialogItemClassOf(c)->invalRect(c, &span, 0);
    return;
  }
  if (state()->look != vlafCUA) return;
  const std::int64_t top = std::int64_t(c->max) - c->view;
  for (bool forward : {false, true}) {
    bool was = forward ? old >= top : old == c->min;
    bool now = forward ? c->value >= top : c->value == c->min;
    if (was == now) continue;
    vrect box = vscrollint::cuaArrowBox(asBar(c), forward);
    vdialogItemClassOf(c)->invalRect(c, &box, 0);
  }
}

void draw(vdialogItem* item) {
  vslider* s = asBar(static_cast<vcontrol*>(item));
  switch (state()->look) {
    case vlafWINDOWS: vscrollint::drawWindows(s); break;
    case vlafWIN95: vscrollint::drawWin95(s); break;
    case vlafMOTIF: vscrollint::drawMotif(s); break;
    case vlafCUA: vscrollint::drawCua(s); break;
    case vlafOPEN_LOOK: vscrollint::drawOpenLook(s); break;
    default: super()->draw(item);
  }
}

void drawFocus(vdialogItem* item) {
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(item)) draw(item);
  vdrawGRestore();
}

// The blink follows the focus in the looks that blink.
void focus(vdialogItem* item) {
  super()->focus(item);
  int look = state()->look;
  if (look == vlafWINDOWS || look == vlafWIN95) _vsliderSetBlinkTarget(asBar(static_cast<vcontrol*>(item)));
}
void unfocus(vdialogItem* item) {
  if (_vsliderGetBlinkTarget() == item) _vsliderSetBlinkTarget(nullptr);
  super()->unfocus(item);
}

void freeState() {
  auto* st = static_cast<BarState*>(*stateSlot);
  if (!st) return;
  for (vmenu*& m : st->menus)
    if (m) vinstanceDestroy(m), m = nullptr;
}

BarState* state() {
  if (auto* bound = vmoduleState<BarState>(stateSlot)) return bound;
  int look = vlafGetCurrent()->id;
  if (look < vlafWINDOWS || look > vlafWIN95) vexGenerateMessage(&vexModuleStateClass, "Unknown vlaf identifier.");
  vsliderClassRec* slider = super();
  auto* st = static_cast<BarState*>(vmoduleBindSlot(stateSlot, sizeof(BarState)));
  *st = BarState{};
  st->look = look;
  st->parts = kParts[look - vlafWINDOWS];
  vmoduleAddContextExitProc(freeState);
  auto* c = vclassSpawnOf<vsliderClassRec>(slider);
  c->instanceSize = sizeof(vslider);
  c->minSize = minSize;
  c->naturalSize = naturalSize;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->focus = focus;
  c->unfocus = unfocus;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->motion = c->drag = motion;
  c->choosePart = findPart;
  c->setView = setView;
  c->setValue = setValue;
  c->getTrackRect = troughRect;
  c->getThumbLength = thumbLength;
  if (look == vlafWINDOWS) c->defaultWidth = 60, c->defaultHeight = 17;
  if (look == vlafCUA || look == vlafWIN95) c->defaultWidth = 60, c->defaultHeight = 16;
  vclassSetName(c, vscribeLiteral("vsliderScrollBar"));
  if (look == vlafCUA) vlafSetClassMSWSysColor(look, -1, c, vcolorBACKGROUND, 24);
  if (look == vlafWIN95) vlafSetClassMSWSysColor(look, -1, c, 3, 29);
  _vdialogItemRunNamingHook(c);
  st->cls = c;
  return st;
}

}  // namespace

vsliderClassRec* vsliderScrollBarGetDefaultClass() { return state()->cls; }
vslider* vsliderScrollBarCreate() {
  return static_cast<vslider*>(vinstanceCreate(vsliderScrollBarGetDefaultClass()));
}
int _vsliderScrollBarPartAt(vslider* bar, int x, int y) {
  int grab = 0;
  return partAt(bar, x, y, &grab);
}

void _vsliderScrollBarScrollFromPress(vslider* s, int x, int y, bool back, vevent* e) {
  bool v = vertical(s);
  vrect t = trough(s);
  int d = along(t, v) + alongLength(t, v) - (v ? y : x);
  int length = alongLength(t, v);
  if (s->view <= 0 || d <= 0 || length <= 0) return;
  auto delta = std::int64_t(double(d) / length * s->view);
  std::int64_t value = std::clamp<std::int64_t>(std::int64_t(s->value) + (back ? -delta : delta), s->min, s->max);
  if (value == s->value) return;
  vsliderSetValueMoving(s, std::int32_t(value));
  vdialogNotifyItem(s, e);
}

int vscrollint::lookId() { return state()->look; }
int vscrollint::imageWidth(int index) {
  vimage* i = vlafGetImage(index);
  return i ? i->width : 0;
}
int vscrollint::imageHeight(int index) {
  vimage* i = vlafGetImage(index);
  return i ? i->height : 0;
}
bool vscrollint::active(vslider* s) { return vdialogItemIsEnabled(s) && !(s->controlFlags & vcontrolWHOLE_RANGE); }
