// Presses in a text view: a press places the caret at the hit and a drag
// selects from there; the "Drag" button's click pastes the selection
// clipboard, any other finished selection is copied to it. Presses on a
// scroll bar go to the bar.
#include <cstdlib>

#include "fw/core/timer.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/textview/textview_internal.h"

namespace {

vtextview* asView(vinstance* o) { return static_cast<vtextview*>(o); }
vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }

bool inside(const vrect& r, int x, int y) { return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height; }

// The bar a press went to, until its release.
vslider* pressedBar = nullptr;

// While a drag is above or below the text area, every 10 ms a line more
// comes into view and into the selection; the module's auto-scroll timer's
// data is the tracking view.
int lastX = 0, lastY = 0;

void track(vtextview* v, vevent* e);

void scrollTick(vtimer* timer) {
  auto* v = static_cast<vtextview*>(timer->data);
  if (!v || !v->text || _vtextviewModule()->tracking != 2) {
    vtimerStop(timer);
    return;
  }
  const vrect* a = vtextviewGetTextArea(v);
  std::int32_t step = lastY >= a->y + a->height ? -1 : lastY < a->y ? 1 : 0;
  if (step) vtextviewClassOf(v)->scrollTo(v, v->scrollY + step, v->scrollX);
  vtextSetSelectionRange(v->text, v->selection, _vtextviewModule()->anchor, _vtextviewHit(v, lastX, lastY));
}

void followPointer(vtextview* v, int x, int y) {
  lastX = x, lastY = y;
  const vrect* a = vtextviewGetTextArea(v);
  bool outside = y < a->y || y >= a->y + a->height;
  vtimer*& autoScroll = _vtextviewModule()->autoScroll;
  if (!autoScroll) {
    autoScroll = vtimerCreate();
    autoScroll->notify = scrollTick;
    autoScroll->flags |= vtimerRECURRENT;
    autoScroll->periodSeconds = 0;
    autoScroll->periodNanoseconds = 10'000'000;
  }
  autoScroll->data = outside ? v : nullptr;
  if (outside && !(autoScroll->flags & vtimerARMED)) vtimerStart(autoScroll);
  if (!outside && (autoScroll->flags & vtimerARMED)) vtimerStop(autoScroll);
}

void stopFollowing() {
  vtimer* autoScroll = _vtextviewModule()->autoScroll;
  if (!autoScroll) return;
  vtimerStop(autoScroll);
  autoScroll->data = nullptr;
}

void stopCaret(vtextviewModule* m) { vtimerStop(m->caretTimer); }

void track(vtextview* v, vevent* e) {
  std::int32_t p = _vtextviewHit(v, veventGetX(e), veventGetY(e));
  vtextSetSelectionRange(v->text, v->selection, _vtextviewModule()->anchor, p);
}

int buttonDown(vdialogItem* item, vevent* e) {
  vtextview* v = asView(item);
  vtextviewModule* m = _vtextviewModule();
  if (!v->text) return 0;
  if (m->tracking || pressedBar) return 1;
  if (v->focusPart && v->focusPart != v) {
    vdialogUnfocusItem(v->focusPart);
    v->focusPart = v;
    vdialogFocusItem(v);
  }
  int x = veventGetX(e), y = veventGetY(e);
  m->pressX = std::int16_t(x);
  m->pressY = std::int16_t(y);
  m->tracking = 0;
  m->dragFlag = 0;
  stopCaret(m);
  vrect area = *vtextviewGetTextArea(v);
  int result = 1;
  if (inside(area, x, y) && v->selection) {
    vname role = veventGetBinding(e);
    m->currentEvent = e;
    if (role == vname_Menu) {
      result = super()->buttonDown(item, e);
    } else {
      if (role == vname_Drag) m->dragFlag = 1;
      vtextviewClassOf(v)->notifyClient(v, e, vtextviewNOTIFY_PRESS);
      m->tracking = 2;
      std::int32_t p = _vtextviewHit(v, x, y);
      // "Extend" keeps the far end of the selection.
      if (role == vnameInternLiteral("Extend")) {
        m->anchor = p < v->selection->start ? v->selection->end : v->selection->start;
      } else {
        m->anchor = p;
      }
      track(v, e);
    }
    m->currentEvent = nullptr;
  } else {
    for (vslider* bar : {v->horzBar, v->vertBar})
      if (bar && inside(bar->rect, x, y)) {
        pressedBar = bar;
        result = vdialogItemClassOf(bar)->buttonDown(bar, e);
      }
  }
  if (m->tracking == 0) _vtextviewRestartCaretTimer();
  return result;
}

int motion(vdialogItem* item, vevent* e) {
  vtextview* v = asView(item);
  vtextviewModule* m = _vtextviewModule();
  if (pressedBar) return vdialogItemClassOf(pressedBar)->motion(pressedBar, e);
  if (m->tracking != 2) return super()->motion(item, e);
  track(v, e);
  followPointer(v, veventGetX(e), veventGetY(e));
  if (m->dragFlag && (std::abs(veventGetX(e) - m->pressX) > 3 || std::abs(veventGetY(e) - m->pressY) > 3)) m->dragFlag = 0;
  return 1;
}

int buttonUp(vdialogItem* item, vevent* e) {
  vtextview* v = asView(item);
  vtextviewModule* m = _vtextviewModule();
  if (pressedBar) {
    vslider* bar = pressedBar;
    pressedBar = nullptr;
    return vdialogItemClassOf(bar)->buttonUp(bar, e);
  }
  if (m->tracking != 2) return super()->buttonUp(item, e), 1;
  track(v, e);
  stopFollowing();
  m->tracking = 0;
  vtextviewClassOf(v)->notifyClient(v, e, vtextviewNOTIFY_RELEASE);
  _vtextviewRestartCaretTimer();
  if (m->dragFlag) {
    m->dragFlag = 0;
    vclipboard* c = vtextviewGetSelectionClipboard();
    c->spare = v;
    vclipboardRequest(c);
  } else {
    vtextviewCopyToSelectionClipboard(v);
  }
  return 1;
}

}  // namespace

// A view that goes leaves no press behind.
void _vtextviewForgetPress(vtextview* v) {
  if (pressedBar && (pressedBar == v->horzBar || pressedBar == v->vertBar)) pressedBar = nullptr;
  vtimer* autoScroll = _vtextviewModule()->autoScroll;
  if (autoScroll && autoScroll->data == v) stopFollowing();
}

void _vtextviewFillMouse(vtextviewClassRec* c) {
  c->buttonDown = buttonDown;
  c->motion = motion;
  c->drag = motion;
  c->buttonUp = buttonUp;
}
