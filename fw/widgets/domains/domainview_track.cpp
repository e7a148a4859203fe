// The domain view's mouse gestures: click selection, rubber bands with
// optional live selection, dragging outlines of the selected objects,
// auto-scrolling every 10 ms while the pointer is outside, grid snapping,
// and panning.
//
// - `domains/domainview_track.cpp`: one gesture for the whole program (press, drag, release, redraw
//   of the feedback). The press decides click selection by the binding's mode ("Adjust" 1, "Extend"
//   2), then a band or a drag of the selected objects; drags pass the threshold per axis in view
//   units; feedback is XOR frames (draw mode 16) drawn through the item's drawing state outside
//   updates and again by the view's draw while tracking; outlines are kept inside the bounds by a
//   clamp correction that the release's move adds too. A recurrent 10 ms timer repeats the last drag
//   while the pointer is outside a side that can still scroll. Drags and releases of no gesture
//   begun in the view do nothing, and a view that is destroyed or loses its domain ends its gesture
//   and stops the timer. The pending undo list goes to the view's action-list hook as "Drag" (after
//   a move) and "Select" (at the end), or is destroyed. Under drag method 2 the outlines go on the
//   screen (the root window's drawing, unclamped), pointer grabs stay blocked for the gesture, and
//   the moved record names the window under the pointer and the point in it.
#include <algorithm>
#include <cstdlib>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/domains/domain_internal.h"
#include "fw/widgets/domains/domainview.h"

namespace {

struct Gesture {
  vdomainview* view;
  vpointLong pressView, pressDomain, lastView, lastDomain;
  vpoint eventPosition;
  int mode;  // 1 "Adjust", 2 "Extend"
  vdomainObject* pressed;
  bool pressedSelected;
  vdomainSet* dragged;  // null: a band
  vrectLong extent;
  vrectLong* outlines;
  int outlineCount;
  vrectLong band;
  bool ignored, thresholdPassed, moved, firstMotion, live, autoScroll, grabsSuspended, bandShown, outlinesShown;
  vpointLong gridCorrection;
  bool columnEven, rowEven;
  vpointLong clamp;
  vdomainviewTrackRecord record;
};
Gesture g{};
vtimer* ticker = nullptr;

struct Pan {
  vdomainview* view;
  vpoint start;
  vpointLong offset;
} pan{};

vdomainviewClassRec* rec(const vdomainview* v) { return vdomainviewClassOf(v); }
std::int16_t s16(std::int32_t v) { return static_cast<std::int16_t>(v); }
bool hasSlot(const vdomainview* v) { return v->domain && v->slot >= 0; }
int orientation(const vdomainview* v) { return vdomainviewOrientation(v); }

// Selection changes, none while the view has no slot of its own.
void changeSelection(vdomainview* v, vdomainSet* set, int how) {  // 1 select, 0 deselect, 2 toggle
  if (!hasSlot(v) || !set || !set->count) return;
  vdomainClassRec* c = vdomainClassOf(v->domain);
  if (how == 1) c->selectObjects(v->domain, v->slot, set);
  else if (how == 0) c->deselectObjects(v->domain, v->slot, set);
  else vdomainToggleSelection(v->domain, v->slot, set);
}
void changeOne(vdomainview* v, vdomainObject* o, int how) {
  vdomainSet* s = vdomainCreateSetOf(&o, 1);
  changeSelection(v, s, how);
  vdomainDestroySet(s);
}

vrectLong spanned(vpointLong a, vpointLong b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x), std::abs(a.y - b.y)};
}

// --- the auto-scroll timer -------------------------------------------------------------

// A context that ends forgets its gesture; its event module takes the timer.
void forget() {
  vmemFree(g.outlines);
  g = Gesture{};
  pan = Pan{};
  ticker = nullptr;
}
void** contextSlot = nullptr;  // bound once per context that tracks
void watchContext() {
  if (*vmoduleSlot(contextSlot)) return;
  vmoduleBindSlot(contextSlot, 1);
  vmoduleAddContextExitProc(forget);
}

void tick(vtimer*);
void startTimer() {
  if (!ticker) {
    ticker = vtimerCreate();
    ticker->periodSeconds = 0;
    ticker->periodNanoseconds = 10'000'000;
    ticker->flags |= vtimerRECURRENT;
    ticker->notify = tick;
  }
  if (!(ticker->flags & vtimerARMED)) vtimerStart(ticker);
}
void stopTimer() {
  if (ticker && (ticker->flags & vtimerARMED)) vtimerStop(ticker);
}
void tick(vtimer*) {
  if (!g.view) return stopTimer();
  vdomainviewTrack(g.view, nullptr, nullptr, vdomainviewDRAG);
}

// --- feedback ------------------------------------------------------------------------

// Keeps the moved extent inside the domain bounds: low edge first.
void computeClamp() {
  const vrectLong& b = g.view->domain->bounds;
  auto axis = [](std::int32_t at, std::int32_t size, std::int32_t lo, std::int32_t length) -> std::int32_t {
    if (at < lo) return lo - at;
    if (at + size > lo + length) return lo + length - (at + size);
    return 0;
  };
  g.clamp = {axis(g.extent.x, g.extent.width, b.x, b.width), axis(g.extent.y, g.extent.height, b.y, b.height)};
}

template <class Body>
void onView(vdomainview* v, Body body) {
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(v)) {
    vdrawClipRects(&v->area, 1);
    body();
  }
  vdrawGRestore();
}

bool bandVisible(vdomainview* v) { return !g.dragged && (v->trackMode & 1) && g.thresholdPassed; }

// Outlines of drag method 2 go on the screen, where other windows may take the drop.
bool onScreen(vdomainview* v) { return g.dragged && v->dragMethod == 2; }
void drawScreenOutlines(vdomainview* v) {
  vwindow* w = vdialogGetItemWindow(v);
  if (!w || !g.outlineCount) return;
  vdrawGSave();
  vwindowBindDrawTarget(vwindowGetRoot());
  for (int i = 0; i < g.outlineCount; ++i) {
    vrect r, screen;
    vdomainviewDomainRectToView(v, &g.outlines[i], &r);
    vwindowTranslateRect(w, nullptr, &r, &screen);
    rec(v)->drawBand(v, &screen);
  }
  vdrawGRestore();
}

// Draws (or, drawn again, removes) what the gesture shows.
void drawFeedback(vdomainview* v, bool inUpdate) {
  if (onScreen(v)) {
    if (!inUpdate) drawScreenOutlines(v);
    return;
  }
  auto body = [&] {
    if (bandVisible(v)) rec(v)->drawBandLong(v, &g.band);
    else if (g.dragged && g.outlineCount) rec(v)->drawOutlinesLong(v, g.outlines, g.outlineCount, g.clamp);
  };
  if (inUpdate) body();
  else onView(v, body);
}
void showFeedback(vdomainview* v) {
  if (g.dragged && !onScreen(v)) computeClamp();
  drawFeedback(v, false);
  g.bandShown = bandVisible(v);
  g.outlinesShown = g.dragged && g.outlineCount;
}
void removeFeedback(vdomainview* v) {
  if (g.bandShown || g.outlinesShown) drawFeedback(v, false);
  g.bandShown = g.outlinesShown = false;
}

void fillRecord(int phase, vevent* event) {
  vdomainviewTrackRecord& r = g.record;
  r.event = event;
  r.phase = static_cast<std::int16_t>(phase);
  r.press = {s16(g.pressView.x), s16(g.pressView.y)};
  r.current = {s16(g.lastView.x), s16(g.lastView.y)};
  r.pressLong = g.pressDomain;
  r.currentLong = g.lastDomain;
  r.dragged = g.dragged;
  r.target = nullptr;
  r.targetPoint = {0, 0};
  vdomainview* v = g.view;
  if (!v || !onScreen(v) || phase != 2) return;
  vwindow* target = vwindowGetPointerWindow();
  vwindow* from = vdialogGetItemWindow(v);
  if (!target || target == vwindowGetRoot() || !from) return;
  int x = 0, y = 0;
  vwindowTranslatePoint(from, target, static_cast<int>(g.lastView.x), static_cast<int>(g.lastView.y), &x, &y);
  r.target = target;
  r.targetPoint = {s16(x), s16(y)};
}
int trackingHook(vdomainview* v, int phase, vevent* event) {
  fillRecord(phase, event);
  return rec(v)->tracking(v, &g.record);
}

// --- grid ------------------------------------------------------------------------------

std::int32_t mod(std::int32_t a, std::int32_t b) { return ((a % b) + b) % b; }
std::int32_t nearestCorrection(std::int32_t value, std::int32_t step) {
  std::int32_t r = mod(value, step);
  return r < step / 2.0 ? -r : step - r;
}

void snap(vdomainview* v, vpointLong& viewPoint, vpointLong& domainPoint, bool press) {
  const std::int32_t* grid = v->domain->grid;
  if (!(v->viewAttributes & vdomainviewSNAP) || grid[0] <= 0 || grid[1] <= 0) return;
  if (press) {
    g.gridCorrection = {nearestCorrection(domainPoint.x, grid[0]), nearestCorrection(domainPoint.y, grid[1])};
    g.columnEven = ((domainPoint.x + g.gridCorrection.x) / grid[0]) % 2 == 0;
    g.rowEven = ((domainPoint.y + g.gridCorrection.y) / grid[1]) % 2 == 0;
    return;
  }
  vpointLong before = domainPoint;
  domainPoint.x = g.pressDomain.x + (domainPoint.x - g.pressDomain.x) + nearestCorrection(domainPoint.x - g.pressDomain.x, grid[0]);
  domainPoint.y = g.pressDomain.y + (domainPoint.y - g.pressDomain.y) + nearestCorrection(domainPoint.y - g.pressDomain.y, grid[1]);
  std::int32_t staggerX = 0, staggerY = 0;
  bool columnEven = ((domainPoint.x + g.gridCorrection.x) / grid[0]) % 2 == 0;
  bool rowEven = ((domainPoint.y + g.gridCorrection.y) / grid[1]) % 2 == 0;
  if (grid[3] && columnEven != g.columnEven) staggerY = g.columnEven ? grid[3] : -grid[3];
  if (grid[2] && rowEven != g.rowEven) staggerX = g.rowEven ? grid[2] : -grid[2];
  domainPoint.x += staggerX;
  domainPoint.y += staggerY;
  if (!v->userMatrix) {
    viewPoint.x += domainPoint.x - before.x;
    viewPoint.y += (orientation(v) == 1 ? -1 : 1) * (domainPoint.y - before.y);
  } else {
    vdomainviewDomainToView(v, domainPoint.x, domainPoint.y, &viewPoint.x, &viewPoint.y);
  }
}

// --- the undo lists -------------------------------------------------------------------

void handOver(vdomainview* v, const char* name) {
  if (!v->domain) return;
  vundoActionList* list = vdomainTakePendingActions(v->domain);
  if (!list) return;
  list->name = vnameInternLiteral(name);
  if (v->actionHook) v->actionHook(v, list);
  else vundoActionDestroy(list);
}

void freeGesture() {
  if (g.grabsSuspended) vwindowUnblockGrabs();
  if (g.dragged) vdomainDestroySet(g.dragged);
  vmemFree(g.outlines);
  g = Gesture{};
}

// --- the phases --------------------------------------------------------------------

void press(vdomainview* v, vpointLong at, vpointLong dom, vevent* event) {
  watchContext();
  freeGesture();
  g.view = v;
  g.grabsSuspended = v->dragMethod == 2;
  if (g.grabsSuspended) vwindowBlockGrabs();
  v->viewAttributes |= vdomainviewTRACKING;
  vname binding = event ? veventGetBinding(event) : nullptr;
  g.mode = binding == vnameInternLiteral("Adjust") ? 1 : binding == vnameInternLiteral("Extend") ? 2 : 0;
  vdomain* d = v->domain;
  int slot = v->slot < 0 ? 0 : v->slot;
  vdomainSet* under = vdomainFindAtPoint(d, dom.x, dom.y, slot, 1,
                                         vdomainFILTER_SELECTED | vdomainFILTER_UNSELECTED | vdomainFILTER_UNSELECTABLE,
                                         nullptr, nullptr);
  g.pressed = under->count ? under->objects[0] : nullptr;
  vdomainDestroySet(under);
  g.pressedSelected = g.pressed && hasSlot(v) && vdomainIsSelected(g.pressed, v->slot);
  g.pressView = g.lastView = at;
  g.pressDomain = g.lastDomain = dom;
  g.firstMotion = true;
  snap(v, at, dom, true);

  vdomainviewPressRecord pr{event, g.pressed, {s16(at.x), s16(at.y)}, dom};
  if (!rec(v)->press(v, &pr)) return void(g.ignored = true);
  if (event && veventGetClickCount(event) == 2) {
    rec(v)->doubleClick(v, &pr);
    return void(g.ignored = true);
  }
  if (binding != vnameInternLiteral("Select") && g.mode == 0) return void(g.ignored = true);
  bool selecting = v->trackMode & 1;
  if (selecting) {
    if (!g.pressed && g.mode == 0) {
      if (hasSlot(v)) vdomainClassOf(d)->selectAll(d, v->slot, 0);
    } else if (g.pressed && !g.pressedSelected && (g.mode == 0 || (v->viewAttributes & vdomainviewSINGLE_SELECTION))) {
      if (hasSlot(v)) vdomainClassOf(d)->selectAll(d, v->slot, 0);
    } else if (g.pressed && g.pressedSelected && g.mode == 1) {
      changeOne(v, g.pressed, 0);
      return void(g.ignored = true);
    }
  }
  bool band = false;
  if (!g.pressed || (g.pressed->flags & vdomainNOT_SELECTABLE)) {
    if ((v->viewAttributes & vdomainviewSINGLE_SELECTION) && selecting) return void(g.ignored = true);
    band = true;
    g.pressed = nullptr;
  } else if (!g.pressedSelected && !selecting) {
    band = true;
  } else {
    if (!g.pressedSelected) changeOne(v, g.pressed, 1);
    if (v->viewAttributes & vdomainviewNO_DRAG) return void(g.ignored = true);
    if (!(v->trackMode & 2)) {
      band = true;
    } else {
      g.dragged = hasSlot(v) ? vdomainFilterSet(d, v->slot, vdomainFILTER_SELECTED | vdomainFILTER_ALL_OF, nullptr, nullptr)
                             : vdomainCreateSet();
      for (std::int32_t i = g.dragged->count - 1; i >= 0; --i)
        if (g.dragged->objects[i]->flags & vdomainNO_DRAG) vdomainSetRemoveAt(g.dragged, i);
      if (!g.dragged->count) return void(g.ignored = true);
      g.extent = _vdomainExtentOf(d, g.dragged);
      int n = 0;
      g.outlines = static_cast<vrectLong*>(vmemAlloc(sizeof(vrectLong) * (g.dragged->count + 1)));
      auto overlaps = [&](const vrectLong& r) {
        const vrectLong& a = v->visible;
        return r.x < a.x + a.width && a.x < r.x + r.width && r.y < a.y + a.height && a.y < r.y + r.height;
      };
      switch (v->outlineStyle) {
        case 1:
          for (std::int32_t i = 0; i < g.dragged->count; ++i)
            if (overlaps(g.dragged->objects[i]->rect)) g.outlines[n++] = g.dragged->objects[i]->rect;
          break;
        case 2:
          g.outlines[n++] = g.pressed->rect;
          if (g.dragged->count > 1) g.outlines[n++] = g.extent;
          break;
        case 3:
          g.outlines[n++] = g.extent;
          break;
        default:
          break;
      }
      g.outlineCount = n;
    }
  }
  (void)band;
  if (!trackingHook(v, 1, event)) return void(g.ignored = true);
  g.live = !g.dragged && (v->viewAttributes & vdomainviewLIVE_BAND) && selecting;
  g.autoScroll = g.dragged ? v->dragMethod == 0 : (v->viewAttributes & vdomainviewAUTO_SCROLL) != 0;
  g.band = spanned(g.pressDomain, g.pressDomain);
}

// The objects a band covers (wholly under attribute bit 1), by filter.
vdomainSet* inBand(vdomainview* v, const vrectLong& band, int flags) {
  int slot = v->slot < 0 ? 0 : v->slot;
  return vdomainFindObjects(v->domain, &band, slot, 0, (v->viewAttributes & vdomainviewBAND_CONTAINED) ? 1 : 0, flags,
                            nullptr, nullptr);
}

bool contains(vdomainSet* s, vdomainObject* o) {
  for (std::int32_t i = 0; i < s->count; ++i)
    if (s->objects[i] == o) return true;
  return false;
}

void liveSelect(vdomainview* v, const vrectLong& before, const vrectLong& after) {
  const int all = vdomainFILTER_SELECTED | vdomainFILTER_UNSELECTED;
  vdomainSet *a = inBand(v, before, all), *b = inBand(v, after, all);
  vdomainSet *left = vdomainCreateSet(), *entered = vdomainCreateSet();
  for (std::int32_t i = 0; i < a->count; ++i)
    if (!contains(b, a->objects[i])) vdomainSetAppend(&left, a->objects[i]);
  for (std::int32_t i = 0; i < b->count; ++i)
    if (!contains(a, b->objects[i])) vdomainSetAppend(&entered, b->objects[i]);
  if (g.mode == 1) changeSelection(v, left, 2), changeSelection(v, entered, 2);
  else if (g.mode == 2) changeSelection(v, left, 1), changeSelection(v, entered, 1);
  else changeSelection(v, left, 0), changeSelection(v, entered, 1);
  for (vdomainSet* s : {a, b, left, entered}) vdomainDestroySet(s);
}

// The auto-scroll step towards the side the pointer is on; 0 when none.
vpointLong scrollStep(vdomainview* v, vpointLong at) {
  vpointLong step{0, 0};
  const vrect& a = v->area;
  std::int32_t maxX = std::max<std::int32_t>(0, v->bounds.width - a.width);
  std::int32_t maxY = std::max<std::int32_t>(0, v->bounds.height - a.height);
  auto toward = [&](std::int32_t remaining) { return std::min<std::int32_t>(v->increment, std::max(remaining, 0)); };
  if (!(v->viewAttributes & vdomainviewFREEZE_X)) {
    if (at.x >= a.x + a.width) step.x = toward(maxX - v->offset.x);
    else if (at.x < a.x) step.x = -toward(v->offset.x);
  }
  if (!(v->viewAttributes & vdomainviewFREEZE_Y)) {
    bool flipped = orientation(v) == 1;
    if (at.y >= a.y + a.height) step.y = toward(flipped ? v->offset.y : maxY - v->offset.y);
    else if (at.y < a.y) step.y = -toward(flipped ? maxY - v->offset.y : v->offset.y);
  }
  return step;  // y counted upward in the view
}

void drag(vdomainview* v, vpointLong at, vevent* event) {
  if (!g.thresholdPassed) {
    if (std::abs(at.x - g.pressView.x) <= v->threshold && std::abs(at.y - g.pressView.y) <= v->threshold)
      at = g.pressView;
    else
      g.thresholdPassed = true;
  }
  bool motion = at.x != g.lastView.x || at.y != g.lastView.y || g.thresholdPassed;
  vpointLong step{0, 0};
  if (g.autoScroll && !(g.dragged && v->dragMethod == 2)) {
    step = scrollStep(v, at);
    if (step.x || step.y) {
      startTimer();
      g.eventPosition = {s16(at.x), s16(at.y)};
    } else {
      stopTimer();
    }
  }
  if (!motion && !step.x && !step.y) return;
  bool first = g.firstMotion;
  if (first) {
    g.firstMotion = false;
    if (g.live && g.mode == 1 && g.pressed) changeOne(v, g.pressed, 2);
  }
  removeFeedback(v);
  if (!first) trackingHook(v, 3, event);
  if (step.x || step.y) {
    std::int32_t sy = orientation(v) == 1 ? -step.y : step.y;
    rec(v)->scroll(v, step.x, sy, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
  }
  vpointLong dom;
  vdomainviewViewToDomain(v, at.x, at.y, &dom.x, &dom.y);
  snap(v, at, dom, false);
  vpointLong travel{dom.x - g.lastDomain.x, dom.y - g.lastDomain.y};
  if (g.dragged) {
    for (int i = 0; i < g.outlineCount; ++i) g.outlines[i].x += travel.x, g.outlines[i].y += travel.y;
    g.extent.x += travel.x;
    g.extent.y += travel.y;
  }
  vrectLong before = g.band;
  g.band = spanned(g.pressDomain, dom);
  g.lastView = at;
  g.lastDomain = dom;
  g.moved = true;
  if (g.live) liveSelect(v, before, g.band);
  showFeedback(v);
  trackingHook(v, 2, event);
}

void release(vdomainview* v, vevent* event) {
  stopTimer();
  v->viewAttributes &= ~vdomainviewTRACKING;
  vdomainviewReleaseRecord rr{event, {s16(g.lastView.x), s16(g.lastView.y)}, g.lastDomain};
  if (g.ignored) {
    rec(v)->release(v, &rr);
    return freeGesture();
  }
  removeFeedback(v);
  if (g.thresholdPassed) trackingHook(v, 3, event);
  if (g.moved) {
    if (!g.dragged && !g.live && (v->trackMode & 1)) {
      vdomainSet* unselected = inBand(v, g.band, vdomainFILTER_UNSELECTED);
      vdomainSet* selected = inBand(v, g.band, vdomainFILTER_SELECTED | vdomainFILTER_ALL_OF);
      if (g.mode == 1) changeSelection(v, unselected, 2), changeSelection(v, selected, 2);
      else changeSelection(v, unselected, 1);
      vdomainDestroySet(unselected);
      vdomainDestroySet(selected);
    } else if (g.dragged) {
      computeClamp();
      std::int32_t dx = g.lastDomain.x - g.pressDomain.x + g.clamp.x, dy = g.lastDomain.y - g.pressDomain.y + g.clamp.y;
      if (dx || dy) {
        vdomainMoveObjects(v->domain, g.dragged, dx, dy, vdomainMOVE_OFFSET);
        handOver(v, "Drag");
      }
    }
  }
  trackingHook(v, 4, event);
  rec(v)->release(v, &rr);
  freeGesture();
  handOver(v, "Select");
}

}  // namespace

void vdomainviewTrack(vdomainview* v, const vpoint* point, vevent* event, int phase) {
  if (phase != vdomainviewPRESS && g.view != v) return;  // no gesture of this view
  if (phase == vdomainviewPRESS && !v->domain) return;
  if (phase == vdomainviewREDRAW) {
    if (g.ignored) return;
    if (g.bandShown || g.outlinesShown) {
      if (g.dragged) computeClamp();
      drawFeedback(v, true);
      trackingHook(v, 5, nullptr);
    }
    return;
  }
  vpoint p = point ? *point : g.eventPosition;
  if (point) g.eventPosition = *point;
  vpointLong at{p.x, p.y}, dom;
  if (phase == vdomainviewPRESS) {
    vdomainviewViewToDomain(v, at.x, at.y, &dom.x, &dom.y);
    press(v, at, dom, event);
    g.eventPosition = p;
    return;
  }
  if (phase == vdomainviewDRAG) {
    if (!g.ignored) drag(v, at, event);
    return;
  }
  release(v, event);
}

void vdomainviewPan(vdomainview* v, vpoint point, int phase) {
  if (phase == 0) {
    watchContext();
    pan = {v, point, v->offset};
    return;
  }
  if (phase != 1 || pan.view != v) return;
  std::int32_t x = pan.offset.x + (pan.start.x - point.x);
  std::int32_t y = pan.offset.y + (orientation(v) == 1 ? point.y - pan.start.y : pan.start.y - point.y);
  rec(v)->scroll(v, x, y, vdomainviewABSOLUTE);
}

vdomainview* vdomainviewTrackedView() { return g.view; }
bool vdomainviewAutoScrolling() { return ticker && (ticker->flags & vtimerARMED); }

void _vdomainviewEndGesture(vdomainview* v) {
  if (pan.view == v) pan = Pan{};
  if (g.view != v) return;
  stopTimer();
  v->viewAttributes &= ~vdomainviewTRACKING;
  freeGesture();
}

int _vdomainviewPressBar(vdomainview* v, vevent* event, int x, int y);
bool _vdomainviewBarDrag(vdomainview* v, vevent* event, bool release);

// The press, drag and release of the view's item methods.
int _vdomainviewButtonDown(vdialogItem* item, vevent* event) {
  auto* v = static_cast<vdomainview*>(item);
  if (!(item->flags & vdialogItemFOCUSED)) vdialogFocusItem(item);
  v->focus = v;
  vpoint p{s16(veventGetX(event)), s16(veventGetY(event))};
  if (!vrectContainsPoint(&v->area, p.x, p.y)) return _vdomainviewPressBar(v, event, p.x, p.y);
  vname binding = veventGetBinding(event);
  if (binding == vnameInternLiteral("Menu") && vdialogItemGetDefaultClass()->buttonDown(item, event)) return 1;
  if ((v->viewAttributes & vdomainviewPAN) || binding == vnameInternLiteral("Grab")) {
    vdomainviewPan(v, p, 0);
    return 1;
  }
  if (v->domain) vdomainviewTrack(v, &p, event, vdomainviewPRESS);
  return 1;
}

int _vdomainviewDrag(vdialogItem* item, vevent* event) {
  auto* v = static_cast<vdomainview*>(item);
  if (_vdomainviewBarDrag(v, event, false)) return 1;
  vpoint p{s16(veventGetX(event)), s16(veventGetY(event))};
  if (pan.view == v) vdomainviewPan(v, p, 1);
  else vdomainviewTrack(v, &p, event, vdomainviewDRAG);
  return 1;
}

int _vdomainviewButtonUp(vdialogItem* item, vevent* event) {
  auto* v = static_cast<vdomainview*>(item);
  if (_vdomainviewBarDrag(v, event, true)) return 1;
  vpoint p{s16(veventGetX(event)), s16(veventGetY(event))};
  if (pan.view == v) {
    vdomainviewPan(v, p, 1);
    pan = Pan{};
  } else {
    vdomainviewTrack(v, &p, event, vdomainviewRELEASE);
  }
  return 1;
}
