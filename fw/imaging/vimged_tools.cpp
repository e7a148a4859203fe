// The painting tools of the image view: hand, pencil, paint (flood fill),
// eraser, dropper, spray and the shape tools. Every pixel change goes
// through the editor, between its snapshot and its Draw step.
#include <cstdlib>
#include <vector>

#include "fw/gui/window/cursor.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/vimgedview_internal.h"

using namespace imgview;

namespace {

// One stroke's data; a stroke runs from a press to its release.
struct Stroke {
  int savedPen = 1;
  bool toBackground = false;  // the dropper's choice
  int axis = 0;               // the eraser's lock: 0 none, 1 horizontal, 2 vertical
  bool constrain = false;
  vrect handOrigin{};
  vimage* brush = nullptr;
};
Stroke stroke;

bool shiftHeld(vevent* e) { return (veventGetModifiers(e) & veventMOD_SHIFT) != 0; }
bool inImage(vimgedview* v, vpoint p) {
  return p.x >= 0 && p.y >= 0 && p.x < v->imageBounds.width && p.y < v->imageBounds.height;
}
bool same(vpoint a, vpoint b) { return a.x == b.x && a.y == b.y; }

std::uint32_t pixelAt(vimgedview* v, vpoint p) {
  vpixmapCursor* c = vimgedGetPixelCursor(v->editor);
  return c ? vpixmapCursorGetAt(c, p.x, p.y) : 0;
}

void callback(vimged* m, int code) {
  if ((m->flags & vimgedREPORT) && m->changed) m->changed(m, code, 0);
}

// After a step that changed pixels: the owner's callback and the report.
void stepDone(vimgedview* v) {
  callback(v->editor, 0);
  if ((v->viewFlags & vimgedviewREPORT) && v->report) v->report(v, v->current, v->currentWin);
}

// ---- Hand.

void hand(vimgedview* v, vevent*, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    stroke.handOrigin = v->origin;
    v->viewFlags &= ~vimgedviewAUTO_SCROLL;
    return;
  }
  if (kind == vimgedviewDRAG) {
    int z = v->zoom;
    int nx = stroke.handOrigin.x + (v->pressWin.x - v->currentWin.x) / z;
    int ny = stroke.handOrigin.y + (v->pressWin.y - v->currentWin.y) / z;
    nx = std::clamp(nx, 0, std::max(0, v->scrollRange.width - 1));
    ny = std::clamp(ny, 0, std::max(0, v->scrollRange.height - 1));
    if (nx != v->origin.x || ny != v->origin.y) {
      vimgedviewScroll(v, nx - v->origin.x, ny - v->origin.y, 3);
      callback(m, 1);
    }
    if ((v->viewFlags & vimgedviewREPORT) && v->report) v->report(v, v->current, v->currentWin);
    return;
  }
  v->viewFlags |= vimgedviewAUTO_SCROLL;
  callback(m, 0);
}

// ---- Pencil: over the foreground it draws the background.

void pencil(vimgedview* v, vevent*, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    stroke.savedPen = v->pen;
    v->pen = 1;
    vimgedTakeSnapshot(m);
    v->drawValue = pixelAt(v, v->press) == v->foreground ? v->background : v->foreground;
    vimgedSetPixel(m, v->drawValue, v->pen, v->press.x, v->press.y);
    v->previous = v->press;
    stepDone(v);
  } else if (kind == vimgedviewDRAG) {
    if (same(v->current, v->previous)) return;
    vimgedDrawLine(m, v->drawValue, v->pen, v->previous, v->current);
    v->previous = v->current;
    stepDone(v);
  } else {
    v->pen = s16(stroke.savedPen);
    vimgedRecordDraw(m);
  }
}

// ---- Paint: a flood fill with the foreground, one Draw step.

void paint(vimgedview* v, vevent*, int kind) {
  vimged* m = v->editor;
  if (kind != vimgedviewPRESS || !inImage(v, v->press) || pixelAt(v, v->press) == v->foreground) return;
  vimgedBeginChange(m);
  vimgedTakeSnapshot(m);
  vimgedFillContext fill;
  vimgedInitFillContext(&fill, m->working);
  vimgedFloodFill(&fill, v->foreground, v->press.x, v->press.y);
  vimgedFinishFillContext(&fill);
  vpixmapMarkChanged(m->working);
  vimgedRedrawViews(m);
  vimgedRecordDraw(m);
  stepDone(v);
  vimgedEndChange(m);
}

// ---- Eraser: squares of the eraser cursor's size in image pixels.

int eraserSize(vimgedview* v) {
  auto* c = reinterpret_cast<vimage*>(vimgedviewToolCursor(vimgedviewERASER));
  int side = c ? std::max<int>(c->width, c->height) : 16;
  int z = std::max<int>(v->zoom, 1);
  return std::max(1, (side + z - 1) / z);
}

void eraser(vimgedview* v, vevent* e, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    vimgedTakeSnapshot(m);
    stroke.savedPen = v->pen;
    v->drawValue = v->background;
    stroke.axis = 0;
    stroke.constrain = shiftHeld(e);
    v->pen = s16(eraserSize(v));
    vimgedPlot(m, v->background, v->pen, v->press.x, v->press.y);
    v->previous = v->press;
    stepDone(v);
  } else if (kind == vimgedviewDRAG) {
    if (stroke.constrain) {
      int dx = v->current.x - v->press.x, dy = v->current.y - v->press.y;
      if (!stroke.axis && (dx || dy)) stroke.axis = std::abs(dy) < std::abs(dx) ? 1 : 2;
      if (stroke.axis == 1) v->current.y = v->press.y;
      if (stroke.axis == 2) v->current.x = v->press.x;
    }
    if (same(v->current, v->previous)) return;
    vimgedDrawLine(m, v->background, v->pen, v->current, v->previous);
    v->previous = v->current;
    stepDone(v);
  } else {
    vimgedRecordDraw(m);
    v->pen = s16(stroke.savedPen);
  }
}

// ---- Dropper: the pixel becomes the foreground, or with "Menu" or
// Control the background.

void dropper(vimgedview* v, vevent* e, int kind) {
  if (kind == vimgedviewPRESS)
    stroke.toBackground = veventGetBinding(e) == vname_Menu || (veventGetModifiers(e) & (veventMOD_CONTROL | veventMOD_COMMAND));
  if (kind == vimgedviewRELEASE || !inImage(v, v->current)) return;
  std::uint32_t value = pixelAt(v, v->current);
  if (stroke.toBackground) cls(v)->setBackground(v, value);
  else cls(v)->setForeground(v, value);
}

// ---- Spray: the spray cursor's set pixels as an exact pattern.

void dab(vimgedview* v, vpoint at) {
  vimage* brush = stroke.brush;
  if (!brush) return;
  auto* cursor = static_cast<vcursor*>(brush);
  std::vector<vpoint> points;
  vpixmapCursor c;
  vpixmapInitCursor(&c, brush);
  for (int row = 0; row < brush->height; ++row) {
    vpixmapCursorMoveTo(&c, 0, row);
    for (int col = 0; col < brush->width; ++col)
      if (vpixmapCursorGetNext(&c)) points.push_back({s16(at.x - cursor->hotX + col), s16(at.y - cursor->hotY + row)});
  }
  vpixmapFinishCursor(&c);
  if (!points.empty()) vimgedSetPoints(v->editor, v->drawValue, points.data(), int(points.size()));
}

void spray(vimgedview* v, vevent*, int kind) {
  vimged* m = v->editor;
  if (kind == vimgedviewPRESS) {
    vimgedTakeSnapshot(m);
    stroke.brush = reinterpret_cast<vimage*>(vimgedviewToolCursor(vimgedviewSPRAY));
    if (inImage(v, v->press)) dab(v, v->press), stepDone(v);
    v->previous = v->press;
  } else if (kind == vimgedviewDRAG) {
    if (same(v->current, v->previous)) return;
    dab(v, v->current);
    v->previous = v->current;
    stepDone(v);
  } else {
    vimgedRecordDraw(m);
    stroke.brush = nullptr;
  }
}

// ---- Shapes: line, rectangle and ellipse, outlined or filled, shown as
// a rubber band until the release.

struct Shape {
  void (*draw)(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1);
  bool diagonal;  // the constraint: 45 degrees, else square
  bool filled;
};
Shape shapeOf(int tool) {
  switch (tool) {
    case vimgedviewLINE: return {vimgedDrawLine, true, false};
    case vimgedviewELLIPSE: return {vimgedDrawEllipse, false, false};
    case vimgedviewFILL_RECT: return {vimgedDrawRect, false, true};
    case vimgedviewFILL_ELLIPSE: return {vimgedDrawEllipse, false, true};
    default: return {vimgedDrawRect, false, false};
  }
}

vpoint constrained(vimgedview* v, bool diagonal) {
  int dx = v->current.x - v->press.x, dy = v->current.y - v->press.y;
  int ax = std::abs(dx), ay = std::abs(dy);
  if (diagonal) {
    if (2 * ay < ax) return {s16(v->press.x + dx), v->press.y};
    if (2 * ax < ay) return {v->press.x, s16(v->press.y + dy)};
    int n = std::max(ax, ay);
    return {s16(v->press.x + (dx < 0 ? -n : n)), s16(v->press.y + (dy < 0 ? -n : n))};
  }
  return {v->current.x, s16(v->current.y > v->press.y ? v->press.y + ax : v->press.y - ax)};
}

// The first corner: the press, or mirrored through it from the centre flag.
vpoint firstCorner(vimgedview* v) {
  if (!(v->viewFlags & vimgedviewCENTRE)) return v->press;
  return {s16(2 * v->press.x - v->current.x), s16(2 * v->press.y - v->current.y)};
}

void drawShape(vimgedview* v, const Shape& s) {
  vimged* m = v->editor;
  if (s.filled) m->flags |= vimgedFILLED;
  s.draw(m, v->drawValue, v->pen, firstCorner(v), v->current);
  if (s.filled) m->flags &= ~vimgedFILLED;
}

// Takes the rubber band away; drawing directly wrote it into the image,
// which the stroke's snapshot restores.
void removeBand(vimged* m) {
  vimgedRemoveRubberBand(m);
  if ((m->flags & vimgedDRAW_LAYER) && m->snapshot && m->working) {
    vpixmapCopyPixels(m->snapshot, m->working);
    vpixmapMarkChanged(m->working);
  }
}

void shapeTool(vimgedview* v, vevent* e, int kind) {
  vimged* m = v->editor;
  Shape s = shapeOf(v->tool);
  if (kind == vimgedviewPRESS) {
    vimgedTakeSnapshot(m);
    m->flags |= vimgedRUBBER_BAND;
    v->previous = v->current;
    drawShape(v, s);
    return;
  }
  if (shiftHeld(e)) v->current = constrained(v, s.diagonal);
  if (kind == vimgedviewDRAG) {
    if (same(v->current, v->previous)) return;
    removeBand(m);
    drawShape(v, s);
    v->previous = v->current;
    return;
  }
  vimgedBeginChange(m);
  removeBand(m);
  m->flags &= ~vimgedRUBBER_BAND;
  drawShape(v, s);
  vimgedRecordDraw(m);
  stepDone(v);
  vimgedEndChange(m);
}

vimgedviewToolFunc getToolHandler(vimgedview* v) {
  switch (v->tool) {
    case vimgedviewHAND: return hand;
    case vimgedviewLINE:
    case vimgedviewELLIPSE:
    case vimgedviewRECT:
    case vimgedviewFILL_RECT:
    case vimgedviewFILL_ELLIPSE: return shapeTool;
    case vimgedviewPENCIL: return pencil;
    case vimgedviewPAINT: return paint;
    case vimgedviewERASER: return eraser;
    case vimgedviewDROPPER: return dropper;
    case vimgedviewSPRAY: return spray;
    case vimgedviewSELECT: return rectSelectTool();
    case vimgedviewLASSO: return lassoTool();
    case vimgedviewTEXT:
      // The text tool starts no stroke: its dialog places the text.
      openTextDialog(v);
      return nullptr;
    default: return nullptr;
  }
}

}  // namespace

vimgedviewToolFunc vimgedviewGetHandTool() { return hand; }

namespace imgview {

void installTools(vimgedviewClassRec* c) { c->getToolHandler = getToolHandler; }

}  // namespace imgview
