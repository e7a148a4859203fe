// The model's drawing primitives: pixels, pen squares, rectangle lists,
// lines, rectangles and ellipses. Each tells the views first, then writes
// the image through the cursor (unless a rubber band is only shown), then
// mirrors the shape through the drawing layer when asked to.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fw/core/ex.h"
#include "fw/imaging/vimged_internal.h"

using namespace imged;

namespace imged {

void drawThrough(vimged* m, std::uint32_t value, void (*body)(void*), void* context) {
  bool twoColor = (m->flags & vimgedTWO_COLOR) != 0;
  vdrawGSave();
  vexGuard(
      [&] {
        vdrawBindImage(m->working, twoColor ? vdrawBIND_MASK_IMAGE : 0);
        if (twoColor) vdrawSetDrawMode(value == 1 ? 15 : 0);
        vimgedSetDrawingColor(m, value);
        body(context);
      },
      [&](vexHandler&) {
        vdrawGRestore();
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawGRestore();
}

// Bresenham along the major axis from the end with the smaller major
// coordinate, both ends included.
std::vector<vpoint> linePoints(vpoint p0, vpoint p1) {
  auto s16 = [](int v) { return std::int16_t(std::clamp(v, -32768, 32767)); };
  int dx = p1.x - p0.x, dy = p1.y - p0.y;
  bool steep = std::abs(dy) > std::abs(dx);
  int major0 = steep ? p0.y : p0.x, major1 = steep ? p1.y : p1.x;
  int minor0 = steep ? p0.x : p0.y, minor1 = steep ? p1.x : p1.y;
  if (major1 < major0) {
    std::swap(major0, major1);
    std::swap(minor0, minor1);
  }
  int major = major1 - major0, minor = std::abs(minor1 - minor0);
  int step = minor1 < minor0 ? -1 : 1;
  std::vector<vpoint> out;
  out.reserve(std::size_t(major) + 1);
  int error = 2 * minor - major;
  for (int a = major0, b = minor0; a <= major1; ++a) {
    out.push_back(steep ? vpoint{s16(b), s16(a)} : vpoint{s16(a), s16(b)});
    if (error >= 0) {
      b += step;
      error += 2 * (minor - major);
    } else {
      error += 2 * minor;
    }
  }
  return out;
}

}  // namespace imged

namespace {

std::int16_t s16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }

bool writes(vimged* m) { return !(m->flags & vimgedRUBBER_BAND); }
bool mirrors(vimged* m) { return (m->flags & vimgedDRAW_LAYER) != 0; }

// The part of a rectangle inside the image.
bool clip(vimged* m, int x, int y, int w, int h, int* x0, int* y0, int* x1, int* y1) {
  *x0 = std::max(x, 0);
  *y0 = std::max(y, 0);
  *x1 = std::min(x + w, int(m->working->width));
  *y1 = std::min(y + h, int(m->working->height));
  return *x0 < *x1 && *y0 < *y1;
}

void writeRect(vimged* m, vpixmapCursor* c, std::uint32_t value, int x, int y, int w, int h) {
  int x0, y0, x1, y1;
  if (!clip(m, x, y, w, h, &x0, &y0, &x1, &y1)) return;
  for (int row = y0; row < y1; ++row) {
    vpixmapCursorMoveTo(c, x0, row);
    for (int col = x0; col < x1; ++col) vpixmapCursorSetNext(c, value);
  }
}

bool inside(vimged* m, int x, int y) { return x >= 0 && y >= 0 && x < m->working->width && y < m->working->height; }

void setPixel(vimged* m, std::uint32_t value, int, int x, int y) {
  if (!m->working || !inside(m, x, y)) return;
  tell(m, &vimgedViewHooks::pixelChanged, value, x, y);
  if (writes(m)) vpixmapCursorSetAt(workingCursor(m), x, y, value);
  if (mirrors(m)) drawThrough(m, value, [&] { vdrawRectFill(x, y, 1, 1); });
}

void fillRect(vimged* m, std::uint32_t value, int x, int y, int w, int h) {
  if (!m->working) return;
  tell(m, &vimgedViewHooks::rectChanged, value, x, y, w, h);
  if (writes(m)) writeRect(m, workingCursor(m), value, x, y, w, h);
  if (mirrors(m)) drawThrough(m, value, [&] { vdrawRectFill(x, y, w, h); });
}

void setPoints(vimged* m, std::uint32_t value, const vpoint* points, int count) {
  if (!m->working || count <= 0) return;
  tell(m, &vimgedViewHooks::pointsChanged, value, points, count);
  if (writes(m)) {
    vpixmapCursor* c = workingCursor(m);
    for (int i = 0; i < count; ++i)
      if (inside(m, points[i].x, points[i].y)) vpixmapCursorSetAt(c, points[i].x, points[i].y, value);
  }
  if (mirrors(m)) {
    std::vector<vrect> cells(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) cells[std::size_t(i)] = {points[i].x, points[i].y, 1, 1};
    drawThrough(m, value, [&] { vdrawFillRects(cells.data(), count); });
  }
}

void fillRects(vimged* m, std::uint32_t value, const vrect* rects, int count) {
  if (!m->working || count <= 0) return;
  tell(m, &vimgedViewHooks::rectsChanged, value, rects, count);
  if (writes(m)) {
    vpixmapCursor* c = workingCursor(m);
    for (int i = 0; i < count; ++i) writeRect(m, c, value, rects[i].x, rects[i].y, rects[i].width, rects[i].height);
  }
  if (mirrors(m)) drawThrough(m, value, [&] { vdrawFillRects(rects, count); });
}

// The pen's square: its corner on the point, reaching to larger x and
// smaller y.
vrect penSquare(vpoint p, int pen) { return {p.x, s16(p.y - pen + 1), s16(pen), s16(pen)}; }

void plot(vimged* m, std::uint32_t value, int pen, int x, int y) {
  if (pen == 1) return vimgedSetPixel(m, value, pen, x, y);
  vimgedFillRect(m, value, x, y - pen + 1, pen, pen);
}

void plotPoints(vimged* m, std::uint32_t value, int pen, const vpoint* points, int count) {
  if (pen == 1) return vimgedSetPoints(m, value, points, count);
  if (count <= 0) return;
  std::vector<vrect> squares(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) squares[std::size_t(i)] = penSquare(points[i], pen);
  vimgedFillRects(m, value, squares.data(), count);
}

void drawLine(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1) {
  if (!m->working) return;
  std::vector<vpoint> points = linePoints(p0, p1);
  vimgedPlotPoints(m, value, pen, points.data(), int(points.size()));
  if (mirrors(m))
    drawThrough(m, value, [&] {
      vdrawSetLineWidth(pen);
      vdrawNewPath();
      vdrawPathMoveTo(p0.x + pen / 2, p0.y - pen / 2 + 1);
      vdrawLineTo(p1.x + pen / 2, p1.y - pen / 2 + 1);
      vdrawStroke();
    });
}

void drawRect(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1) {
  if (!m->working) return;
  int x = std::min(p0.x, p1.x), y = std::min(p0.y, p1.y);
  int w = std::abs(p1.x - p0.x), h = std::abs(p1.y - p0.y);
  int d = 1 - pen;
  if (m->flags & vimgedFILLED) {
    vimgedFillRect(m, value, x, y + d, w + pen, h + pen);
  } else {
    const vrect bands[4] = {{s16(x), s16(y + d), s16(w + pen), s16(pen)},
                            {s16(x), s16(y + h - pen + 1), s16(w + pen), s16(pen)},
                            {s16(x), s16(y + d), s16(pen), s16(h + pen)},
                            {s16(x + w), s16(y + d), s16(pen), s16(h + pen)}};
    vimgedFillRects(m, value, bands, 4);
  }
  if (mirrors(m))
    drawThrough(m, value, [&] {
      vdrawSetLineWidth(pen - 1);
      vrect frame = {s16(x), s16(y + d), s16(w + pen), s16(h + pen)};
      vdrawRectsFrame(&frame, 1);
    });
}

// The integer midpoint ellipse over one quadrant. px, py and d reach 2a²b,
// past 32 bits from a = b = 1024 on.
template <class Emit>
void ellipseQuadrant(std::int64_t a, std::int64_t b, Emit&& emit) {
  const std::int64_t a2 = a * a, b2 = b * b;
  std::int64_t x = 0, y = b;
  std::int64_t px = 0, py = 2 * a2 * b;
  std::int64_t d = b2 - a2 * b + a2 / 4;
  while (px < py) {
    emit(x, y);
    if (d > 0) {
      --y;
      py -= 2 * a2;
      d -= py;
    }
    ++x;
    px += 2 * b2;
    d += px + b2;
  }
  d += (3 * (a2 - b2) / 2 - (px + py)) / 2;
  while (y >= 0) {
    emit(x, y);
    if (d < 0) {
      ++x;
      px += 2 * b2;
      d += px;
    }
    --y;
    py -= 2 * a2;
    d += a2 - py;
  }
}

void drawEllipse(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1) {
  if (!m->working) return;
  int cx = (p0.x + p1.x) / 2, cy = (p0.y + p1.y) / 2;
  int a = std::abs(p0.x - p1.x) / 2, b = std::abs(p0.y - p1.y) / 2;
  if (a == 0 || b == 0) return vimgedDrawLine(m, value, pen, p0, p1);
  bool filled = (m->flags & vimgedFILLED) != 0;
  std::vector<vrect> spans;
  ellipseQuadrant(a, b, [&](std::int64_t x, std::int64_t y) {
    int ix = int(x), iy = int(y);
    // A span reaches the far point's pen square, as a filled rectangle
    // reaches its far corner's: 2x + pen - 1 would leave the right column
    // and, for a pen of 1, the top and bottom points out.
    if (filled) {
      spans.push_back({s16(cx - ix), s16(cy + iy), s16(2 * ix + pen), 1});
      spans.push_back({s16(cx - ix), s16(cy - iy), s16(2 * ix + pen), 1});
      return;
    }
    const vpoint four[4] = {{s16(cx + ix), s16(cy + iy)},
                            {s16(cx - ix), s16(cy + iy)},
                            {s16(cx + ix), s16(cy - iy)},
                            {s16(cx - ix), s16(cy - iy)}};
    vimgedPlotPoints(m, value, pen, four, 4);
  });
  if (filled) vimgedFillRects(m, value, spans.data(), int(spans.size()));
  if (mirrors(m))
    drawThrough(m, value, [&] {
      vrect r;
      vrectSetPoints(p0.x, p0.y, p1.x, p1.y, &r);
      if (filled) {
        vdrawFillPies(&r, 1, 0, 360);
      } else {
        r = {r.x, s16(r.y - pen), s16(r.width + pen + 1), s16(r.height + pen + 1)};
        vdrawSetLineWidth(pen);
        vdrawRectsFrameArcs(&r, 1, 0, 360);
      }
    });
}

}  // namespace

void vimgedSetDrawingColor(vimged* m, std::uint32_t value) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  vimage* w = m->working;
  if (!w) return vdrawSetColor(vcolorGetBlack());
  if (!(w->flags & vimageNO_PALETTE)) {
    // A shortened palette leaves values past its end: those draw black.
    return vdrawSetColor(value < m->colorCount ? m->colors[value] : vcolorGetBlack());
  }
  if (w->depth == 1) return vdrawSetColor(value == 1 ? vcolorGetWhite() : vcolorGetBlack());
  vdrawSetColorRGB((value >> 16 & 0xFF) << 8, (value >> 8 & 0xFF) << 8, (value & 0xFF) << 8);
}

namespace imged {

void installDrawing(vimgedClassRec* c) {
  c->setPixel = setPixel;
  c->plot = plot;
  c->fillRect = fillRect;
  c->setPoints = setPoints;
  c->plotPoints = plotPoints;
  c->fillRects = fillRects;
  c->drawLine = drawLine;
  c->drawRect = drawRect;
  c->drawEllipse = drawEllipse;
}

}  // namespace imged
