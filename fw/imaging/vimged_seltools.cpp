// The image view's selection tools: the rectangular selection, the lasso
// and the drag of a floating selection. Each finished selection or drag is
// one undo step of the editor.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/vimged_internal.h"
#include "fw/imaging/vimgedview_internal.h"

using namespace imgview;

namespace {

// One stroke's data.
struct SelectStroke {
  vrect rubber{};     // image coordinates, empty until a drag step
  vpoint dragFrom{};  // the selection's position at a drag's press
};
SelectStroke sel;

bool same(vpoint a, vpoint b) { return a.x == b.x && a.y == b.y; }

void closeStep(vimged* m, const char* name) { vundoCloseTopAction(m->undo, vscribeLiteral(name)); }

void callback(vimged* m) {
  if ((m->flags & vimgedREPORT) && m->changed) m->changed(m, 0, 0);
}
void report(vimgedview* v) {
  if ((v->viewFlags & vimgedviewREPORT) && v->report) v->report(v, v->current, v->currentWin);
}

// A new image for size pixels of the editor's: the palette copied, or the
// depth matched.
vimage* selectionImage(vimged* m, int width, int height) { return imgops::createLike(m->working, width, height); }

// ---- Drag: a press inside the floating selection moves it.

void drag(vimgedview* v, vevent* e, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    m->flags |= vimgedCOMPOUND;
    if (veventGetModifiers(e) & (veventMOD_CONTROL | veventMOD_COMMAND)) vimgedStampSelection(m);
    else vimgedDetachSelection(m);
    imged::stopOutline(m);
    sel.dragFrom = {m->selRect.x, m->selRect.y};
    v->previous = v->current;
    cls(v)->setCursor(v, vimgedviewToolCursor(vimgedviewHAND));
    return;
  }
  if (kind == vimgedviewDRAG) {
    if (same(v->current, v->previous)) return;
    m->selRect.x = s16(m->selRect.x + v->current.x - v->previous.x);
    m->selRect.y = s16(m->selRect.y + v->current.y - v->previous.y);
    vimgedNotifySelectionMoved(m, 1);
    vimgedInvalidateViews(m);
    v->previous = v->current;
    callback(m);
    report(v);
    return;
  }
  imged::startOutline(m);
  if (m->selRect.x != sel.dragFrom.x || m->selRect.y != sel.dragFrom.y) {
    vrect was{sel.dragFrom.x, sel.dragFrom.y, m->selRect.width, m->selRect.height};
    vimgedRecordMove(m, &was);
    closeStep(m, "Drag");
  }
  cls(v)->setCursor(v, cls(v)->getToolCursor(v));
  m->flags &= ~vimgedCOMPOUND;
}

// A press inside the floating selection turns the stroke into a drag.
bool startsDrag(vimgedview* v, vevent* e) {
  if (!vimgedPointInSelection(v->editor, v->press)) return false;
  v->handler = drag;
  drag(v, e, vimgedviewPRESS);
  return true;
}

// ---- Rectangular selection.

// The inverted frame of an image rectangle, widened by one pixel: drawn
// twice it leaves the window as it was.
void invertFrame(vimgedview* v, const vrect& r) {
  drawInArea(v, [&] {
    vrect w = windowRectOf(v, r.x, r.y, r.width, r.height);
    w = {w.x, s16(w.y - 1), s16(w.width + 1), s16(w.height + 1)};
    vdrawSetLineWidth(1);
    vdrawSetDrawMode(10);
    vdrawRectsFrame(&w, 1);
  });
}

void rectSelect(vimgedview* v, vevent* e, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    if (startsDrag(v, e)) return;
    vimgedCommitSelection(m);
    v->viewFlags |= vimgedviewPIN;
    sel.rubber = {0, 0, 0, 0};
    v->previous = v->current;
    return;
  }
  if (kind == vimgedviewDRAG) {
    if (same(v->current, v->previous)) return;
    if (sel.rubber.width > 0 && sel.rubber.height > 0) invertFrame(v, sel.rubber);
    int x0 = std::min(v->press.x, v->current.x), y0 = std::min(v->press.y, v->current.y);
    int x1 = std::max(v->press.x, v->current.x), y1 = std::max(v->press.y, v->current.y);
    sel.rubber = {s16(x0), s16(y0), s16(x1 - x0 + 1), s16(y1 - y0 + 1)};
    invertFrame(v, sel.rubber);
    v->previous = v->current;
    return;
  }
  v->viewFlags &= ~vimgedviewPIN;
  vrect r = sel.rubber;
  sel.rubber = {0, 0, 0, 0};
  if (r.width <= 0 || r.height <= 0) return;
  invertFrame(v, r);
  vimage* image = selectionImage(m, r.width, r.height);
  vpixmapCopyRect(m->working, image, r.x, r.y, r.width, r.height, 0, 0);
  vimgedSetSelection(m, image, nullptr, v->background, r.x, r.y);
  m->selection |= vimgedSEL_IN_PLACE;
  vimgedRecordSelection(m, vimgedRECORD_AFTER);
  closeStep(m, "Rectangular Selection");
}

// ---- Lasso.

void appendPoint(vimged* m, vpoint p) {
  if (m->lassoCount == m->lassoCapacity) {
    m->lassoCapacity = m->lassoCapacity ? m->lassoCapacity + 50 : 100;
    m->lassoPoints = static_cast<vpoint*>(
        vmemRealloc(m->lassoPoints, vmemArraySize(std::size_t(m->lassoCapacity), sizeof(vpoint))));
  }
  m->lassoPoints[m->lassoCount++] = p;
}

void freePoints(vimged* m) {
  vmemFree(m->lassoPoints);
  m->lassoPoints = nullptr;
  m->lassoCount = m->lassoCapacity = 0;
}

// Every pixel of the straight line from a to b, as the model draws it.
template <class F>
void walkLine(vpoint a, vpoint b, F&& each) {
  for (vpoint p : imged::linePoints(a, b)) each(p.x, p.y);
}

void showPoints(vimgedview* v, vpoint a, vpoint b) {
  drawInArea(v, [&] {
    std::vector<vrect> cells;
    walkLine(a, b, [&](int x, int y) {
      vrect c = windowRectOf(v, x, y, 1, 1);
      cells.push_back({c.x, s16(c.y - 1), s16(c.width + 1), s16(c.height + 1)});
    });
    vdrawSetColor(vdialogGetItemColor(v, vcolorFOREGROUND));
    vdrawSetLineWidth(1);
    vdrawRectsFrame(cells.data(), int(cells.size()));
  });
}

// The mask of the closed trail: its interior by the even-odd rule through
// pixel centres, and every pixel the trail walks over.
vimage* trailMask(const std::vector<vpoint>& path, int width, int height) {
  vimage* mask = vimageCreateSized(width, height, 2);
  vpixmapCursor c;
  vpixmapInitCursor(&c, mask);
  for (int i = 0; i < width * height; ++i) vpixmapCursorSetNext(&c, 0);
  std::vector<double> crossings;
  for (int y = 0; y < height; ++y) {
    crossings.clear();
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
      vpoint a = path[i], b = path[i + 1];
      if ((a.y <= y) == (b.y <= y)) continue;
      crossings.push_back(a.x + double(y - a.y) * (b.x - a.x) / double(b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
      for (int x = std::max(0, int(std::ceil(crossings[i]))); x <= std::min(width - 1, int(std::floor(crossings[i + 1]))); ++x)
        vpixmapCursorSetAt(&c, x, y, 1);
  }
  for (std::size_t i = 0; i + 1 < path.size(); ++i)
    walkLine(path[i], path[i + 1], [&](int x, int y) {
      if (x >= 0 && y >= 0 && x < width && y < height) vpixmapCursorSetAt(&c, x, y, 1);
    });
  vpixmapFinishCursor(&c);
  return mask;
}

void makeLassoSelection(vimgedview* v) {
  vimged* m = v->editor;
  std::vector<vpoint> path;
  vpoint at = m->lassoPoints[0];
  path.push_back(at);
  for (int i = 1; i < m->lassoCount; ++i) {
    at = {s16(at.x + m->lassoPoints[i].x), s16(at.y + m->lassoPoints[i].y)};
    path.push_back(at);
  }
  int x0 = path[0].x, y0 = path[0].y, x1 = x0, y1 = y0;
  for (vpoint p : path) x0 = std::min<int>(x0, p.x), y0 = std::min<int>(y0, p.y), x1 = std::max<int>(x1, p.x), y1 = std::max<int>(y1, p.y);
  int w = x1 - x0 + 1, h = y1 - y0 + 1;
  for (vpoint& p : path) p = {s16(p.x - x0), s16(p.y - y0)};
  m->lassoPoints[0] = path[0];
  imgops::Owned mask(trailMask(path, w, h));
  imgops::Owned image(selectionImage(m, w, h));
  vpixmapCopyRect(m->working, image.image, x0, y0, w, h, 0, 0);
  vimage* madeMask = mask.release();
  vimgedSetSelection(m, image.release(), madeMask, v->background, x0, y0);
  m->selection |= vimgedSEL_IN_PLACE;
  vimgedRecordSelection(m, vimgedRECORD_AFTER);
  closeStep(m, "Lasso Selection");
}

void lasso(vimgedview* v, vevent* e, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    if (startsDrag(v, e)) return;
    vimgedCommitSelection(m);
    v->viewFlags |= vimgedviewPIN;
    freePoints(m);
    appendPoint(m, v->press);
    showPoints(v, v->press, v->press);
    v->previous = v->current;
    return;
  }
  if (kind == vimgedviewDRAG) {
    if (same(v->current, v->previous)) return;
    appendPoint(m, {s16(v->current.x - v->previous.x), s16(v->current.y - v->previous.y)});
    showPoints(v, v->previous, v->current);
    v->previous = v->current;
    report(v);
    return;
  }
  v->viewFlags &= ~vimgedviewPIN;
  if (m->lassoCount > 1) {
    vpoint last = v->previous;
    if (!same(last, v->press)) {
      appendPoint(m, {s16(v->press.x - last.x), s16(v->press.y - last.y)});
      showPoints(v, last, v->press);
    }
    makeLassoSelection(v);
  } else {
    invalImageArea(v);
  }
  freePoints(m);
}

}  // namespace

namespace imgview {

vimgedviewToolFunc rectSelectTool() { return rectSelect; }
vimgedviewToolFunc lassoTool() { return lasso; }

}  // namespace imgview
