// The image view's buffers: rendering image regions zoomed by runs of
// equal pixels, grid lines, the updates after the editor changed pixels,
// the floating selection's buffers and outline, and the item's drawing.
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/vimgedview_internal.h"
#include "fw/widgets/controls/control.h"

namespace imgview {

void Pixels::fill(int x, int y, int w, int h, std::uint32_t v) {
  int x0 = std::max(x, 0), y0 = std::max(y, 0);
  int x1 = std::min(x + w, width()), y1 = std::min(y + h, height());
  if (x0 >= x1 || y0 >= y1) return;
  if (words()) {
    for (int y = y0; y < y1; ++y) std::fill(row(y) + x0, row(y) + x1, v);
    return;
  }
  vpixmapCursorMoveTo(&c_, x0, y0);
  for (int col = x0; col < x1; ++col) vpixmapCursorSetNext(&c_, v);
  for (int row = y0 + 1; row < y1; ++row) copyRow(x0, y0, x1 - x0, row);
}

void Pixels::putRow(int x, int y, const std::uint32_t* values, int count) {
  if (words()) {
    std::memcpy(row(y) + x, values, std::size_t(count) * 4);
    return;
  }
  vpixmapCursorMoveTo(&c_, x, y);
  for (int i = 0; i < count; ++i) vpixmapCursorSetNext(&c_, values[i]);
}

void Pixels::copyRow(int x, int y, int w, int y2) {
  if (!bytewise()) {
    for (int i = 0; i < w; ++i) set(x + i, y2, get(x + i, y));
    return;
  }
  std::uint8_t* from = at(x, y);
  std::uint8_t* to = at(x, y2);
  std::memmove(to, from, std::size_t(w) * std::size_t(bytesPerPixel()));
}

vimage* newBuffer(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  vimage* b = vimageCreateSized(width, height, 2);
  vimageSetNoPalette(b, 1);
  vpixmapSetDepth(b, 32);
  return b;
}

void dropImage(vimage*& image) {
  if (image) vimageDestroy(image);
  image = nullptr;
}

vrect windowRectOf(vimgedview* v, int ix, int iy, int w, int h) {
  int z = v->zoom;
  return {s16((ix - v->origin.x) * z + v->area.x), s16((iy - v->origin.y - v->origin.height) * z + v->area.y + v->area.height),
          s16(w * z), s16(h * z)};
}

void invalArea(vimgedview* v, const vrect& r) {
  vrect clipped;
  vrectIntersect(&r, &v->area, &clipped);
  if (clipped.width > 0 && clipped.height > 0) vdialogItemClassOf(v)->invalRect(v, &clipped, 0);
}
void invalImageArea(vimgedview* v) { invalArea(v, v->area); }

bool beginAreaDrawing(vimgedview* v) {
  if (!shown(v) || !vdialogGetItemWindow(v)) return false;
  vdrawGSave();
  if (!_vcontrolBeginItemDrawing(v)) {
    vdrawGRestore();
    return false;
  }
  vdrawRectClip(v->area.x, v->area.y, v->area.width, v->area.height);
  return true;
}
void endAreaDrawing() { vdrawGRestore(); }

}  // namespace imgview

using namespace imgview;

namespace {

std::uint32_t rgbOf(const vcolorSpec* s) {
  unsigned r, g, b;
  vcolorGetSpecRGB(s, &r, &g, &b);
  return (r >> 8) << 16 | (g >> 8) << 8 | (b >> 8);
}
std::uint32_t rgbOf(vcolor* c) { return c ? rgbOf(&c->desc) : 0; }

// The colour rule of an image's pixel values, as a table for palette
// images (values past the palette black).
struct ColorRule {
  std::vector<std::uint32_t> table;
  bool palette = false, twoTone = false;
  explicit ColorRule(vimage* image) {
    if (!(image->flags & vimageNO_PALETTE)) {
      palette = true;
      const vcolorList* p = vimageGetPalette(image);
      table.resize(p->count);
      for (std::uint32_t i = 0; i < p->count; ++i) table[i] = rgbOf(&p->entries[i]);
    } else {
      twoTone = image->depth == 1;
    }
  }
  std::uint32_t operator()(std::uint32_t value) const {
    if (palette) return value < table.size() ? table[value] : 0;
    if (twoTone) return value == 1 ? 0xFFFFFF : 0;
    return value & 0xFFFFFF;
  }
};

// Walks each source row by runs of equal values; each run becomes a
// (run · z) × z rectangle of the target: one row written, z − 1 copies.
template <class Color>
void renderRuns(vimage* image, vimage* target, const vrect* src, int tx, int ty, int z, Color&& color) {
  if (!image || !target || src->width <= 0 || src->height <= 0) return;
  vpixmapCursor sc;
  vpixmapInitCursor(&sc, image);
  Pixels out(target);
  std::vector<std::uint32_t> line(std::size_t(src->width) * std::size_t(z));
  for (int row = 0; row < src->height; ++row) {
    int sy = src->y + row;
    if (sy < 0 || sy >= image->height) continue;
    vpixmapCursorMoveTo(&sc, src->x, sy);
    int col = 0;
    std::size_t at = 0;
    while (col < src->width) {
      std::uint32_t value = vpixmapCursorGetNext(&sc);
      int run = 1;
      while (col + run < src->width) {
        std::uint32_t next = vpixmapCursorGet(&sc);
        if (next != value) break;
        vpixmapCursorNext(&sc);
        ++run;
      }
      std::uint32_t c = color(value);
      std::fill_n(line.begin() + std::ptrdiff_t(at), std::size_t(run) * std::size_t(z), c);
      at += std::size_t(run) * std::size_t(z);
      col += run;
    }
    int y = ty + row * z;
    int x0 = std::max(tx, 0), skip = x0 - tx;
    int count = std::min(int(line.size()) - skip, out.width() - x0);
    if (count <= 0) continue;
    for (int k = 0; k < z; ++k) {
      if (y + k < 0 || y + k >= out.height()) continue;
      if (k == 0 || y < 0) out.putRow(x0, y + k, line.data() + skip, count);
      else out.copyRow(x0, y, count, y + k);
    }
  }
  vpixmapFinishCursor(&sc);
}

void renderRegion(vimgedview* v, vimage* image, vimage* target, const vrect* src, int tx, int ty) {
  if (!image) return;
  ColorRule rule(image);
  renderRuns(image, target, src, tx, ty, v->zoom, rule);
}

void renderMaskRegion(vimgedview* v, vimage* mask, vimage* target, const vrect* src, int tx, int ty) {
  renderRuns(mask, target, src, tx, ty, v->zoom, [](std::uint32_t m) { return m ? 1u : 0u; });
}

}  // namespace

std::uint32_t imgview::gridColor(vimgedview* v) { return rgbOf(vdialogGetItemColor(v, vcolorBACKGROUND)); }

namespace {

// Vertical line i at x0 + i·z, horizontal line i at y0 + i·z.
void drawGridLines(vimgedview* v, vimage* buffer, int columns, int rows, int x0, int y0) {
  if (!buffer || !(v->viewFlags & vimgedviewGRID_WANTED) || v->zoom <= 3) return;
  Pixels p(buffer);
  std::uint32_t c = gridColor(v);
  int z = v->zoom;
  if (p.words()) {
    // Row by row: the horizontal lines whole, elsewhere one word a column.
    int width = p.width();
    int vx1 = std::min(width, x0 + columns * z);
    for (int y = 0; y < p.height(); ++y) {
      std::uint32_t* r = p.row(y);
      int k = y - y0;
      if (k >= 0 && k % z == 0 && k / z < rows) {
        std::fill(r, r + width, c);
        continue;
      }
      for (int x = x0; x < vx1; x += z)
        if (x >= 0) r[x] = c;
    }
    return;
  }
  for (int i = 0; i < std::max(columns, rows); ++i) {
    if (i < columns) p.fill(x0 + i * z, 0, 1, p.height(), c);
    if (i < rows) p.fill(0, y0 + i * z, p.width(), 1, c);
  }
}

}  // namespace

// The grid lines that cross a buffer rectangle, drawn again over it.
void imgview::gridOver(vimgedview* v, vimage* buffer, const vrect& r) {
  if (!buffer || !(v->viewFlags & vimgedviewGRID_SHOWN)) return;
  Pixels p(buffer);
  std::uint32_t c = gridColor(v);
  int z = v->zoom;
  for (int x = r.x - r.x % z; x < r.x + r.width; x += z)
    if (x >= r.x) p.fill(x, r.y, 1, r.height, c);
  for (int y = r.y - r.y % z + z - 1; y < r.y + r.height; y += z)
    if (y >= r.y) p.fill(r.x, y, r.width, 1, c);
}

namespace {

bool gridShown(vimgedview* v) { return (v->viewFlags & vimgedviewGRID_WANTED) && v->zoom > 3; }

void composeDisplay(vimgedview* v) {
  if (!v->imageBuffer || !v->displayBuffer) return;
  if ((v->viewFlags & kIMAGE_STALE) && hasImage(v)) {
    v->viewFlags &= ~kIMAGE_STALE;
    cls(v)->renderRegion(v, v->editor->working, v->imageBuffer, &v->origin, 0, 0);
  }
  Pixels from(v->imageBuffer), to(v->displayBuffer);
  if (from.words() && to.words() && cls(v)->drawGridLines == vimgedviewGetDefaultClass()->drawGridLines) {
    // One pass: each row copied, then its grid pixels set.
    int z = v->zoom, width = to.width(), rows = v->origin.height;
    bool grid = gridShown(v);
    std::uint32_t c = grid ? gridColor(v) : 0;
    for (int y = 0; y < to.height(); ++y) {
      std::uint32_t* r = to.row(y);
      int k = y - (z - 1);
      if (grid && k >= 0 && k % z == 0 && k / z < rows) {
        std::fill(r, r + width, c);
        continue;
      }
      std::memcpy(r, from.row(y), std::size_t(width) * 4);
      if (grid)
        for (int x = 0; x < width; x += z) r[x] = c;
    }
    return;
  }
  vpixmapCopyPixels(v->imageBuffer, v->displayBuffer);
  cls(v)->drawGridLines(v, v->displayBuffer, v->origin.width, v->origin.height, 0, v->zoom - 1);
}

void renderVisible(vimgedview* v) {
  if (!hasImage(v) || !v->imageBuffer) return;
  v->viewFlags &= ~kIMAGE_STALE;
  cls(v)->renderRegion(v, v->editor->working, v->imageBuffer, &v->origin, 0, 0);
  cls(v)->composeDisplay(v);
}

// ---- Updates after the editor changed pixels (image coordinates).

// The buffer rectangle of image pixels clipped to the visible part.
bool bufferRect(vimgedview* v, int x, int y, int w, int h, vrect* out) {
  vrect r{s16(x), s16(y), s16(w), s16(h)}, clipped;
  vrectIntersect(&r, &v->origin, &clipped);
  if (clipped.width <= 0 || clipped.height <= 0) return false;
  int z = v->zoom;
  *out = {s16((clipped.x - v->origin.x) * z), s16((clipped.y - v->origin.y) * z), s16(clipped.width * z),
          s16(clipped.height * z)};
  return true;
}

bool writesImageBuffer(vimgedview* v) { return !(v->editor->flags & vimgedRUBBER_BAND); }

void paintCells(vimgedview* v, std::uint32_t value, const vrect* cells, int count, bool cellsArePixels) {
  if (!hasImage(v) || !v->displayBuffer || count <= 0) return;
  std::uint32_t c = vimgedviewPixelRGB(v, value);
  bool grid = (v->viewFlags & vimgedviewGRID_SHOWN) != 0;
  int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
  {
    Pixels display(v->displayBuffer);
    for (int i = 0; i < count; ++i) {
      vrect b;
      if (!bufferRect(v, cells[i].x, cells[i].y, cells[i].width, cells[i].height, &b)) continue;
      if (grid && cellsArePixels) display.fill(b.x + 1, b.y, b.width - 1, b.height - 1, c);
      else display.fill(b.x, b.y, b.width, b.height, c);
      x0 = std::min<int>(x0, b.x), y0 = std::min<int>(y0, b.y);
      x1 = std::max(x1, b.x + b.width), y1 = std::max(y1, b.y + b.height);
    }
  }
  if (x0 >= x1) return;
  vrect touched{s16(x0), s16(y0), s16(x1 - x0), s16(y1 - y0)};
  if (grid && !cellsArePixels) gridOver(v, v->displayBuffer, touched);
  if (writesImageBuffer(v) && v->imageBuffer && !(v->viewFlags & kIMAGE_STALE)) {
    Pixels image(v->imageBuffer);
    for (int i = 0; i < count; ++i) {
      vrect b;
      if (bufferRect(v, cells[i].x, cells[i].y, cells[i].width, cells[i].height, &b)) image.fill(b.x, b.y, b.width, b.height, c);
    }
  }
  int bufferHeight = v->origin.height * v->zoom;
  invalArea(v, {s16(v->area.x + x0), s16(v->area.y + v->area.height - bufferHeight + y0), s16(x1 - x0), s16(y1 - y0)});
}

void paintPixel(vimgedview* v, std::uint32_t value, int x, int y) {
  vrect r{s16(x), s16(y), 1, 1};
  paintCells(v, value, &r, 1, true);
}
void paintRect(vimgedview* v, std::uint32_t value, int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  paintCells(v, value, &r, 1, w == 1 && h == 1);
}
void paintPoints(vimgedview* v, std::uint32_t value, const vpoint* points, int count) {
  std::vector<vrect> cells(std::size_t(std::max(count, 0)));
  for (int i = 0; i < count; ++i) cells[std::size_t(i)] = {points[i].x, points[i].y, 1, 1};
  paintCells(v, value, cells.data(), count, true);
}
void paintRects(vimgedview* v, std::uint32_t value, const vrect* rects, int count) {
  paintCells(v, value, rects, count, false);
}

// ---- The floating selection's buffers.

bool selectionMode(vimgedview* v, std::uint32_t mode) {
  return v->editor && (v->editor->selection & vimgedSEL_MODE) == mode && v->editor->selImage;
}

void dropSelectionBuffers(vimgedview* v) {
  dropImage(v->selBuffer);
  dropImage(v->selMaskBuffer);
  dropImage(v->selComposed);
  v->selVisible = {0, 0, 0, 0};
}

// The buffers hold the part of the selection inside the visible area.
void makeSelectionBuffers(vimgedview* v, bool masked) {
  dropSelectionBuffers(v);
  if (!hasImage(v) || !selectionMode(v, masked ? vimgedSEL_MASKED : vimgedSEL_RECT)) return;
  const vrect& s = v->editor->selRect;
  vrect meets;
  vrectIntersect(&s, &v->origin, &meets);
  if (meets.width <= 0 || meets.height <= 0) return;
  v->selVisible = {s16(meets.x - s.x), s16(meets.y - s.y), meets.width, meets.height};
  int z = v->zoom;
  v->selBuffer = newBuffer(meets.width * z, meets.height * z);
  v->selComposed = newBuffer(meets.width * z, meets.height * z);
  if (masked) v->selMaskBuffer = vimageCreateSized(meets.width * z, meets.height * z, 2);
  cls(v)->renderSelection(v);
}
void makeRectSelectionBuffers(vimgedview* v) { makeSelectionBuffers(v, false); }
void makeMaskSelectionBuffers(vimgedview* v) { makeSelectionBuffers(v, true); }

void renderSelection(vimgedview* v) {
  if (!v->selBuffer) return;
  cls(v)->renderRegion(v, v->editor->selImage, v->selBuffer, &v->selVisible, 0, 0);
  if (v->selMaskBuffer && v->editor->selMask)
    cls(v)->renderMaskRegion(v, v->editor->selMask, v->selMaskBuffer, &v->selVisible, 0, 0);
  cls(v)->composeSelection(v);
}

void composeSelection(vimgedview* v) {
  if (!v->selBuffer || !v->selComposed) return;
  vpixmapCopyPixels(v->selBuffer, v->selComposed);
  cls(v)->drawGridLines(v, v->selComposed, v->selVisible.width, v->selVisible.height, 0, v->zoom - 1);
}

void rerenderSelection(vimgedview* v, int) {
  if (selectionMode(v, vimgedSEL_MASKED)) cls(v)->makeMaskSelectionBuffers(v);
  else if (selectionMode(v, vimgedSEL_RECT)) cls(v)->makeRectSelectionBuffers(v);
  else cls(v)->dropSelectionBuffers(v);
}

// The composition buffer: the display buffer with the selection over it,
// through its mask when it has one.
vimage* composeForDrawing(vimgedview* v) {
  if (!v->selComposed || !v->composeBuffer || !v->editor || !(v->editor->selection & vimgedSEL_MODE))
    return v->displayBuffer;
  vpixmapCopyPixels(v->displayBuffer, v->composeBuffer);
  int z = v->zoom;
  const vrect& s = v->editor->selRect;
  int bx = (s.x + v->selVisible.x - v->origin.x) * z, by = (s.y + v->selVisible.y - v->origin.y) * z;
  Pixels out(v->composeBuffer);
  Pixels sel(v->selComposed);
  int w = sel.width(), h = sel.height();
  if (v->selMaskBuffer) {
    vpixmapCursor mc;
    vpixmapInitCursor(&mc, v->selMaskBuffer);
    for (int y = 0; y < h; ++y) {
      if (by + y < 0 || by + y >= out.height()) continue;
      vpixmapCursorMoveTo(&mc, 0, y);
      for (int x = 0; x < w; ++x)
        if (vpixmapCursorGetNext(&mc) && bx + x >= 0 && bx + x < out.width()) out.set(bx + x, by + y, sel.get(x, y));
    }
    vpixmapFinishCursor(&mc);
  } else {
    int x0 = std::max(bx, 0), x1 = std::min(bx + w, out.width());
    for (int y = 0; y < h && x0 < x1; ++y) {
      if (by + y < 0 || by + y >= out.height()) continue;
      std::memcpy(out.at(x0, by + y), sel.at(x0 - bx, y), std::size_t(x1 - x0) * 4);
    }
  }
  return v->composeBuffer;
}

void draw(vdialogItem* item) {
  auto* v = static_cast<vimgedview*>(item);
  int lw = (v->flags & vdialogItemFOCUSED) ? v->border : v->border - 1;
  if (lw > 0) {
    vdrawSetLineWidth(lw);
    vdrawRectsFrame(&v->laidOut, 1);
  }
  for (vslider* bar : {v->hbar, v->vbar})
    if (bar && vdialogItemIsShown(bar)) {
      vdrawGSave();
      vdialogItemClassOf(bar)->applyDrawingAttributes(bar);
      vdialogDrawItem(bar);
      vdrawGRestore();
    }
  if (!hasImage(v) || !v->displayBuffer) return;
  vimage* shown = composeForDrawing(v);
  vdrawGSave();
  vdrawRectClip(v->area.x, v->area.y, v->area.width, v->area.height);
  vdrawPathMoveTo(v->area.x, v->area.y + v->area.height - shown->height);
  vdrawImage(shown);
  vdrawGRestore();
}

void drawFocus(vdialogItem* item) {
  auto* v = static_cast<vimgedview*>(item);
  vdrawGSave();
  vdrawSetLineWidth(1);
  int in = v->border - 1;
  vrect r{s16(v->laidOut.x + in), s16(v->laidOut.y + in), s16(v->laidOut.width - 2 * in), s16(v->laidOut.height - 2 * in)};
  vdrawRectsFrame(&r, 1);
  vdrawGRestore();
}

// ---- The moving outline.

void outlinePass(vimgedview* v, vcolor* color, int phase, bool first) {
  vimged* m = v->editor;
  vdrawSetColor(color);
  vdrawSetLineWidth(0);
  const vrect& s = m->selRect;
  if ((m->selection & vimgedSEL_MODE) == vimgedSEL_RECT) {
    vrect r = windowRectOf(v, s.x, s.y, s.width, s.height);
    r = {r.x, s16(r.y - 1), s16(r.width + 1), s16(r.height + 1)};
    double offset = first ? m->dashPhase : m->dashPhase + double(m->dash[0]);
    vdrawSetDash(2, m->dash, offset);
    vdrawRectsFrame(&r, 1);
    return;
  }
  if (!m->outline) return;
  int z = v->zoom;
  std::vector<vrect> marks;
  for (const vimgedOutlineRow& row : m->outline->rows)
    for (const vimgedOutlineEdge& e : row.edges) {
      int x = s.x + e.x, y = s.y + int(row.y);
      if (x < v->origin.x || y < v->origin.y || x >= v->origin.x + v->origin.width ||
          y >= v->origin.y + v->origin.height)
        continue;
      vrect c = windowRectOf(v, x, y, 1, 1);
      int p = (x + y + phase) & 1;
      if (z == 1) {
        if (p == 1) marks.push_back(c);
        continue;
      }
      if (p == 0) {
        if (e.edges & vimgedEDGE_BELOW) marks.push_back({c.x, c.y, c.width, 1});
        if (e.edges & vimgedEDGE_ABOVE) marks.push_back({c.x, s16(c.y + c.height - 1), c.width, 1});
      } else {
        if (e.edges & vimgedEDGE_LEFT) marks.push_back({c.x, c.y, 1, c.height});
        if (e.edges & vimgedEDGE_RIGHT) marks.push_back({s16(c.x + c.width - 1), c.y, 1, c.height});
      }
    }
  if (!marks.empty()) vdrawFillRects(marks.data(), int(marks.size()));
}

void outlineTick(vimgedview* v) {
  if (!hasImage(v) || !(v->editor->selection & vimgedSEL_MODE)) return;
  drawInArea(v, [&] {
    int phase = v->editor->dashPhase > 0 ? 1 : 0;
    outlinePass(v, vdialogGetItemColor(v, vcolorFOREGROUND), phase, true);
    outlinePass(v, vdialogGetItemColor(v, vcolorBACKGROUND), 1 - phase, false);
  });
}

}  // namespace

std::uint32_t vimgedviewPixelRGB(vimgedview* v, std::uint32_t value) {
  if (!hasImage(v)) return 0;
  vimage* w = v->editor->working;
  if (!(w->flags & vimageNO_PALETTE)) {
    const vcolorList* p = vimageGetPalette(w);
    return value < p->count ? rgbOf(&p->entries[value]) : 0;
  }
  if (w->depth == 1) return value == 1 ? 0xFFFFFF : 0;
  return value & 0xFFFFFF;
}

namespace imgview {

void installRendering(vimgedviewClassRec* c) {
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->outlineTick = outlineTick;
  c->paintPixel = paintPixel;
  c->paintRect = paintRect;
  c->paintPoints = paintPoints;
  c->paintRects = paintRects;
  c->drawGridLines = drawGridLines;
  c->renderRegion = renderRegion;
  c->renderMaskRegion = renderMaskRegion;
  c->composeDisplay = composeDisplay;
  c->renderVisible = renderVisible;
  c->rerenderSelection = rerenderSelection;
  c->composeSelection = composeSelection;
  c->renderSelection = renderSelection;
  c->makeRectSelectionBuffers = makeRectSelectionBuffers;
  c->makeMaskSelectionBuffers = makeMaskSelectionBuffers;
  c->dropSelectionBuffers = dropSelectionBuffers;
}

}  // namespace imgview
