// Presses in a text view: selection tracking, grab scrolling, the "Drag"
// button's click pasting the selection clipboard (any other finished
// selection is copied to it); presses on a scroll bar go to the bar.
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

void stopCaret(vtextviewModule* m) { vtimerStop(m->caretTimer); }

int pointOf(vevent* e, int* p) {
  p[0] = veventGetX(e), p[1] = veventGetY(e);
  return 0;
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
  // The left margin belongs to the text: a press there selects lines.
  vrect area = *vtextviewGetContentRect(v);
  int result = 1;
  if (inside(area, x, y) && v->selection) {
    vname role = veventGetBinding(e);
    m->currentEvent = e;
    int point[2];
    pointOf(e, point);
    if ((v->textViewFlags & vtextviewGRAB_ALWAYS) || role == vname_Grab) {
      vtextviewClassOf(v)->notifyClient(v, e, vtextviewNOTIFY_PRESS);
      m->tracking = 1;
      _vtextviewGrabScroll(v, x, y, 0);
    } else if (role == vname_Menu) {
      result = super()->buttonDown(item, e);
    } else {
      if (role == vname_Drag) m->dragFlag = 1;
      vtextviewClassOf(v)->notifyClient(v, e, vtextviewNOTIFY_PRESS);
      m->tracking = 2;
      _vtextviewTrack(v, point, e, 0);
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
  int point[2];
  pointOf(e, point);
  if (m->tracking == 1) return _vtextviewGrabScroll(v, point[0], point[1], 1), 1;
  if (m->tracking != 2) return super()->motion(item, e);
  _vtextviewTrack(v, point, e, 1);
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
  if (m->tracking == 0) return super()->buttonUp(item, e), 1;
  int point[2];
  pointOf(e, point);
  if (m->tracking == 2) _vtextviewTrack(v, point, e, 2);
  bool selecting = m->tracking == 2;
  m->tracking = 0;
  vtextviewClassOf(v)->notifyClient(v, e, vtextviewNOTIFY_RELEASE);
  _vtextviewRestartCaretTimer();
  if (!selecting) return 1;
  if (m->dragFlag && !_vtextviewComposing(v)) {
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
  _vtextviewForgetTracking(v);
}

void _vtextviewFillMouse(vtextviewClassRec* c) {
  c->buttonDown = buttonDown;
  c->motion = motion;
  c->drag = motion;
  c->buttonUp = buttonUp;
}
