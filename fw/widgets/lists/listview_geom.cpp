// The list view's geometry: the grid (y down) placed in the window (y up)
// through the grid origin x and grid top, the visible range at the scroll
// origin, scrolling, hit testing, the scroll bars and fitting the cells.
#include <algorithm>

#include "fw/gui/graphics/font.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/lists/listview_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vlistviewint;

namespace {

constexpr int kErase = 1;

vrect rect16(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  return vrect{std::int16_t(x), std::int16_t(y), std::int16_t(w), std::int16_t(h)};
}
vlistsizeClassRec* sizeRec(vlistview* v) { return vlistsizeClassOf(v->size); }

vrectLong gridCell(vlistview* v, std::int32_t row, std::int32_t column) {
  vrectLong c{};
  sizeRec(v)->cellRect(v->size, row, column, &c);
  return c;
}
vrectLong lastCell(vlistview* v) {
  if (!hasCells(v)) return vrectLong{};
  return gridCell(v, vlistGetRowCount(v->list) - 1, vlistGetColumnCount(v->list) - 1);
}

bool inRange(vlistview* v, std::int32_t row, std::int32_t column) {
  return row >= v->firstRow && row <= v->lastRow && column >= v->firstColumn && column <= v->lastColumn;
}

void invalClipped(vlistview* v, vrect r) {
  if (!vdialogItemIsShown(v) || (v->state & vlistviewNO_DRAWING)) return;
  vrect clipped;
  vrectIntersect(&r, &v->content, &clipped);
  if (clipped.width > 0 && clipped.height > 0) vdialogItemClassOf(v)->invalRect(v, &clipped, kErase);
}

int barWidth(vslider* bar) {
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(bar, &w, &h);
  return w;
}

// Bar values grow upward and rows downward: the vertical bar counts the
// grid from its far end, so that its thumb stands at the top for row 0.
std::int32_t farEnd(vlistview* v) {
  vrectLong last = lastCell(v);
  return std::max(0, last.y + last.height - v->content.height);
}
std::int32_t vbarValue(vlistview* v, std::int32_t y) { return std::max(0, farEnd(v) - y); }

void setWhenDiffers(vcontrol* bar, std::int32_t value) {
  if (bar->value != value) vcontrolSetValue(bar, value);
}

// A bar's line step is one cell, as far as its 16-bit step holds: a wider
// or taller cell steps by the most it can.
void setStep(vcontrol* bar, std::int32_t cell) {
  int step = int(std::clamp<std::int32_t>(cell, 0, 32767));
  if (bar->increment != step) vcontrolSetIncrement(bar, step);
}


void barChanged(vdialogItem* item, vevent*) {
  auto* bar = static_cast<vslider*>(item);
  auto* v = reinterpret_cast<vlistview*>(item->data);
  if (!v) return;
  if (bar->controlFlags & vcontrolVERTICAL) {
    v->originY = std::max(0, farEnd(v) - bar->value);
    vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
  } else {
    v->originX = bar->value;
    vlistviewClassOf(v)->scrollTo(v, bar->value, v->originY);
  }
}

void fitWidth(vlistview* v) {
  if (v->rect.width <= 0 || !(v->state & vlistviewFIT_WIDTH)) return;
  auto* c = vlistviewClassOf(v);
  std::int32_t old = hasCells(v) && v->size->defaultWidth >= 0 ? vlistviewGetCellInnerSize(v, 0) : -1;
  std::int32_t w = v->rect.width;
  if (v->vbar) w -= barWidth(v->vbar);
  if (lookId() != vlafWIN95 && (v->flags & vdialogItemBORDER)) w -= 2 * c->frameWidth;
  w -= 2 * c->cellBorder;
  sizeRec(v)->setDefaultWidth(v->size, w);
  if (w != old) c->setColumnWidth(v, vlistsizeALL_COLUMNS, w);
  v->state |= vlistviewFIT_WIDTH;
}

void fitHeight(vlistview* v) {
  if (v->rect.height <= 0 || !(v->state & vlistviewFIT_HEIGHT)) return;
  auto* c = vlistviewClassOf(v);
  std::int32_t old = hasCells(v) && v->size->defaultHeight >= 0 ? vlistviewGetCellInnerHeight(v, 0) : -1;
  vfont* font = vdialogDetermineItemFont(v);
  // Ascent and descent are rounded each on its own.
  std::int32_t h = std::int32_t((vfontGetDriver()->ascent(font) + 0x8000) >> 16) +
                   std::int32_t((vfontGetDriver()->descent(font) + 0x8000) >> 16);
  if (h != old) c->setRowHeight(v, vlistsizeALL_ROWS, h);
  sizeRec(v)->setDefaultHeight(v->size, h + 2 * c->cellBorder);
  v->state |= vlistviewFIT_HEIGHT;
}

}  // namespace

namespace vlistviewint {

int lookId() { return vlafGetCurrent()->id; }
std::int32_t wideHOffset(vlistview* v) {
  if (v->hOffset > -32768) return v->hOffset;
  return gridCell(v, v->firstRow, v->firstColumn).x + v->gridX - v->content.x;
}
std::int32_t wideVOffset(vlistview* v) {
  if (v->vOffset < 32767) return v->vOffset;
  return v->gridTop - v->content.y - v->content.height - gridCell(v, v->firstRow, v->firstColumn).y;
}
bool hasCells(const vlistview* v) {
  return v->list && vlistGetRowCount(v->list) > 0 && vlistGetColumnCount(v->list) > 0;
}
void invalContent(vlistview* v) {
  if (vdialogItemIsShown(v) && !(v->state & vlistviewNO_DRAWING))
    vdialogItemClassOf(v)->invalRect(v, &v->content, kErase);
}

// The bars lie in the strips the insets keep beside the content: outside
// the frame, or inside it in Win95, where the frame is the view's edge.
void placeBars(vlistview* v) {
  if (!v->hbar && !v->vbar) return;
  bool framed = (v->flags & vdialogItemBORDER) != 0;
  bool win95 = lookId() == vlafWIN95;
  int f = framed ? vlistviewClassOf(v)->frameWidth : 0;
  int out = win95 ? 0 : f;  // how far the frame lies outside the content
  const vrect& r = v->rect;
  const vrect& c = v->content;
  int w = 0, h = 0;
  if (v->vbar) {
    vdialogGetItemNaturalSize(v->vbar, &w, &h);
    bool left = (vlafGetCurrent()->flags & vlafLEFT_SCROLL_BAR) != 0;
    int x = left ? r.x + (win95 ? f : 0) : r.x + r.width - w - (win95 ? f : 0);
    vrect b = rect16(x, c.y - out, w, c.height + 2 * out);
    vdialogSetItemRect(v->vbar, &b);
  }
  if (v->hbar) {
    vdialogGetItemNaturalSize(v->hbar, &w, &h);
    vrect b = rect16(c.x - out, r.y + (win95 ? f : 0), c.width + 2 * out, h);
    vdialogSetItemRect(v->hbar, &b);
  }
}

void recompute(vlistview* v) {
  _vlistviewGetContentRect(v, &v->content);
  placeBars(v);
  _vlistviewSetScrollOrigin(v, &v->content, v->originX, v->originY);
  _vlistviewUpdateScrollBars(v);
}

void scrollTo(vlistview* v, std::int32_t x, std::int32_t y) {
  if (!vdialogItemIsShown(v)) {
    v->originX = x, v->originY = y;
    return;
  }
  if (!hasCells(v)) return;
  vrectLong last = lastCell(v);
  const vrect& c = v->content;
  x = std::max(0, std::min(x, last.x + last.width - c.width));
  y = std::max(0, std::min(y, last.y + last.height - c.height));
  std::int32_t dx = v->appliedX - x, dy = y - v->appliedY;
  v->appliedX = x, v->appliedY = y;
  bool large = dx > c.width || dx < -c.width || dy > c.height || dy < -c.height;
  if (dx != 0 || dy != 0) vlistviewClassOf(v)->scrolledBy(v, dx, dy);
  _vlistviewSetScrollOrigin(v, &v->content, x, y);
  std::int32_t row = 0, column = 0;
  _vlistviewGetFirstFullCell(v, &row, &column);
  vrectLong full = gridCell(v, row, column);
  if (v->hbar) {
    setStep(v->hbar, full.width);
    setWhenDiffers(v->hbar, x);
  }
  if (v->vbar) {
    setStep(v->vbar, full.height);
    setWhenDiffers(v->vbar, vbarValue(v, y));
  }
  v->originX = x, v->originY = y;
  if (v->scrollMode == vlistviewSCROLL_NONE || (v->state & vlistviewNO_DRAWING)) return;
  if (v->scrollMode == vlistviewSCROLL_REPAINT || large)
    invalContent(v);
  else if (dx != 0 || dy != 0)
    vdialogItemClassOf(v)->scrollRect(v, &v->content, dx, dy, kErase);
}

void setBar(vlistview* v, int on, bool vertical) {
  vslider*& bar = vertical ? v->vbar : v->hbar;
  if (!on) {
    if (bar) {
      forgetBarPress(bar);
      bar->owner = nullptr;  // shares the view's item list without being listed
      vinstanceDestroy(bar), bar = nullptr;
    }
  } else if (!bar) {
    bar = vsliderScrollBarCreate();
    if (vertical) vcontrolSetVertical(bar, 1);
    // A view with colours of its own lends them to its bars.
    if (vcolor* c = vdialogGetItemForeground(v)) vdialogSetItemForeground(bar, c);
    if (vcolor* c = vdialogGetItemBackground(v)) vdialogSetItemBackground(bar, c);
    vdialogSetItemNotify(bar, barChanged);
    vdialogSetItemData(bar, reinterpret_cast<std::intptr_t>(v));
    vcontrolSetMin(bar, 0);
    vcontrolSetMax(bar, 0);
    vcontrolSetIncrement(bar, 1);
    vcontrolSetValue(bar, vertical ? vbarValue(v, v->originY) : v->originX);
    // Bordered items share their frame lines in two-dimensional looks.
    const vlaf* look = vlafGetCurrent();
    if (!(v->options & vlistviewMARGIN_SET) && (look->flags & vlafBORDERED_ITEMS))
      v->margin = !(look->flags & vlaf3D) && (v->flags & vdialogItemBORDER) ? -look->lineWidth : 0;
    if (v->owner) vdialogItemClassOf(bar)->setOwner(bar, v->owner);
    if (vdialogItemIsShown(v)) vdialogOpenItem(bar);
    if (!(v->flags & vdialogItemENABLED)) vdialogDisableItem(bar);
    if (!(v->flags & vdialogItemSHOWN)) vdialogHideItem(bar);
  }
  if (vdialogItemIsShown(v)) vdialogInvalItem(v, kErase);
  if (v->flags & vdialogItemOPEN) {
    // The content gives the bar its strip now: hit tests must not wait for a repaint.
    _vlistviewGetContentRect(v, &v->content);
    placeBars(v);
    vobjectSendOperand(v, vname_MinSize);
  }
  v->state |= 0x1 | vlistviewBARS_STALE | vlistviewRANGE_STALE;
}

void setAxisSize(vlistview* v, std::int32_t index, std::int32_t size, int axis) {
  auto* c = vlistviewClassOf(v);
  bool rows = axis == vlistROWS;
  std::int32_t all = rows ? vlistsizeALL_ROWS : vlistsizeALL_COLUMNS;
  if (size == -1)
    size = rows ? vlistsizeGetDefaultHeight(v->size) : vlistsizeGetDefaultWidth(v->size);
  else if (size != 0)
    size += 2 * c->cellBorder;
  bool changed = false;
  std::int32_t old = 0;
  if (index == all) {
    std::int32_t& def = rows ? v->size->defaultHeight : v->size->defaultWidth;
    if (def != size) {
      changed = true;
      rows ? sizeRec(v)->setDefaultHeight(v->size, size) : sizeRec(v)->setDefaultWidth(v->size, size);
    }
  } else {
    if ((rows ? v->size->defaultHeight : v->size->defaultWidth) < 0) vlistviewFitCellSize(v);
    if (hasCells(v)) {
      old = rows ? sizeRec(v)->rowHeight(v->size, index) : sizeRec(v)->columnWidth(v->size, index);
      changed = old != size;
    }
  }
  v->state &= ~(rows ? vlistviewFIT_HEIGHT : vlistviewFIT_WIDTH);
  rows ? sizeRec(v)->setRowHeight(v->size, index, size) : sizeRec(v)->setColumnWidth(v->size, index, size);
  if (changed && vdialogItemIsShown(v)) {
    _vlistviewSetScrollOrigin(v, &v->content, v->originX, v->originY);
    _vlistviewUpdateScrollBars(v);
    bool visible = rows ? (index >= v->firstRow && index <= v->lastRow)
                        : (index >= v->firstColumn && index <= v->lastColumn);
    if (v->scrollMode == vlistviewSCROLL_NONE) {
    } else if (index == all || v->scrollMode == vlistviewSCROLL_REPAINT) {
      invalContent(v);
    } else if (visible) {
      // What lies past the band moves by the change; the band is redrawn.
      vrect cell;
      vlistviewGetCellRect(v, rows ? index : v->firstRow, rows ? v->firstColumn : index, &cell);
      vrect beyond = v->content;
      if (rows) {
        beyond.height = std::int16_t(std::max(0, cell.y - v->content.y));
        vdialogItemClassOf(v)->scrollRect(v, &beyond, 0, old - size, kErase);
        rows ? vlistviewInvalRow(v, index) : vlistviewInvalColumn(v, index);
      } else {
        beyond.x = std::int16_t(cell.x + cell.width);
        beyond.width = std::int16_t(std::max(0, v->content.x + v->content.width - beyond.x));
        vdialogItemClassOf(v)->scrollRect(v, &beyond, size - old, 0, kErase);
        vlistviewInvalColumn(v, index);
      }
    }
  }
  c->scrollTo(v, v->originX, v->originY);
}

}  // namespace vlistviewint

void vlistviewGetCellLongRect(vlistview* v, std::int32_t row, std::int32_t column, vrectLong* out) {
  vrectLong c = gridCell(v, row, column);
  *out = vrectLong{v->gridX + c.x, v->gridTop - c.y - c.height, c.width, c.height};
}

// A cell too far or too large for 16 bits is cut around the content
// first: what shows of it is drawn, its far edges stay outside.
void vlistviewGetCellRect(vlistview* v, std::int32_t row, std::int32_t column, vrect* out) {
  vrectLong c;
  vlistviewGetCellLongRect(v, row, column, &c);
  _vrectLongToShortAround(&c, &v->content, out);
}

void vlistviewGetCellInnerRect(vlistview* v, std::int32_t row, std::int32_t column, vrect* out) {
  int b = vlistviewClassOf(v)->cellBorder;
  vrectLong c;
  vlistviewGetCellLongRect(v, row, column, &c);
  c = vrectLong{c.x + b, c.y + b, c.width - 2 * b, c.height - 2 * b};
  _vrectLongToShortAround(&c, &v->content, out);
}

std::int32_t vlistviewGetCellInnerSize(vlistview* v, std::int32_t column) {
  std::int32_t w = sizeRec(v)->columnWidth(v->size, column);
  return w == 0 ? 0 : w - 2 * vlistviewClassOf(v)->cellBorder;
}
std::int32_t vlistviewGetCellInnerHeight(vlistview* v, std::int32_t row) {
  std::int32_t h = sizeRec(v)->rowHeight(v->size, row);
  return h == 0 ? 0 : h - 2 * vlistviewClassOf(v)->cellBorder;
}

void vlistviewInvalCell(vlistview* v, std::int32_t row, std::int32_t column) {
  if (!inRange(v, row, column)) return;
  vrect r;
  vlistviewGetCellRect(v, row, column, &r);
  invalClipped(v, r);
}

void vlistviewInvalRow(vlistview* v, std::int32_t row) {
  if (row < v->firstRow || row > v->lastRow) return;
  vrect a, b;
  vlistviewGetCellRect(v, row, v->firstColumn, &a);
  vlistviewGetCellRect(v, row, v->lastColumn, &b);
  invalClipped(v, rect16(a.x, a.y, b.x + b.width - a.x, a.height));
}

void vlistviewInvalColumn(vlistview* v, std::int32_t column) {
  if (column < v->firstColumn || column > v->lastColumn) return;
  vrect a, b;
  vlistviewGetCellRect(v, v->firstRow, column, &a);
  vlistviewGetCellRect(v, v->lastRow, column, &b);
  invalClipped(v, rect16(a.x, b.y, a.width, a.y + a.height - b.y));
}

void vlistviewFindCellAtPoint(vlistview* v, int px, int py, std::int32_t* row, std::int32_t* column) {
  const vrect& c = v->content;
  std::int32_t top = c.y + c.height;
  std::int32_t dx = std::min<std::int32_t>(px, c.x + c.width) - wideHOffset(v) - c.x;
  std::int32_t dy = wideVOffset(v) + top - std::clamp<std::int32_t>(py, c.y, top);
  sizeRec(v)->cellAtOffset(v->size, v->firstRow, v->firstColumn, dx, dy, row, column);
  std::int32_t maxRow = v->list ? vlistGetRowCount(v->list) - 1 : 0;
  std::int32_t maxColumn = v->list ? vlistGetColumnCount(v->list) - 1 : 0;
  *row = std::min(*row, maxRow);
  *column = std::min(*column, maxColumn);
}

void vlistviewScrollBy(vlistview* v, std::int32_t rows, std::int32_t columns) {
  if (!hasCells(v)) return;
  std::int32_t row = 0, column = 0;
  _vlistviewGetFirstFullCell(v, &row, &column);
  // 64-bit sums: a count near the 32-bit limit must clamp, not wrap.
  std::int64_t r = std::int64_t(row) + rows, c = std::int64_t(column) + columns;
  r = std::clamp<std::int64_t>(r, 0, vlistGetRowCount(v->list) - 1);
  c = std::clamp<std::int64_t>(c, 0, vlistGetColumnCount(v->list) - 1);
  vlistviewScrollToCell(v, std::int32_t(r), std::int32_t(c));
}

void vlistviewScrollToCell(vlistview* v, std::int32_t row, std::int32_t column) {
  vlistviewFitCellSize(v);
  vrectLong c = gridCell(v, row, column);
  vlistviewClassOf(v)->scrollTo(v, c.x, c.y);
}

void vlistviewScrollToSelection(vlistview* v) {
  if (!hasCells(v) || !v->selection || v->selection->rectCount == 0) return;
  for (std::int32_t r = v->firstRow; r <= v->lastRow; ++r)
    for (std::int32_t c = v->firstColumn; c <= v->lastColumn; ++c)
      if (vlistIsCellSelected(v->list, v->selection, r, c)) return;
  std::int32_t row = 0, column = 0;
  vlistGetFirstSelectedCell(v->list, v->selection, &row, &column);
  vlistviewScrollToCell(v, row, column);
}

void vlistviewScrollByPixels(vlistview* v, std::int32_t dy, std::int32_t dx) {
  vlistviewClassOf(v)->scrollTo(v, std::max(0, v->originX + dx), std::max(0, v->originY + dy));
}
void vlistviewScrollByPixelsAB(vlistview* v, std::int32_t a, std::int32_t b) {
  vlistviewClassOf(v)->scrollTo(v, std::max(0, v->originX - a), std::max(0, v->originY + b));
}

void _vlistviewSetAutoVScroll(vlistview* v, int on) {
  v->state = on ? v->state | vlistviewAUTO_VSCROLL : v->state & ~vlistviewAUTO_VSCROLL;
}
void _vlistviewSetFlag21(vlistview* v, int on) {
  v->state = on ? v->state | vlistviewREPORT_STEPS : v->state & ~vlistviewREPORT_STEPS;
}

void _vlistviewGetContentRect(vlistview* v, vrect* out) {
  auto* c = vlistviewClassOf(v);
  int left = 0, right = 0, bottom = 0, top = 0;
  // The insets hold the bar's strip, the automatic bar's probe included:
  // adding the probe here as well would narrow the content twice.
  c->getInsets(v, &left, &right, &bottom, &top);
  const vrect& r = v->rect;
  vrect out16 = rect16(r.x + left, r.y + bottom, r.width - left - right, r.height - bottom - top);
  if (lookId() == vlafWIN95 && (v->flags & vdialogItemBORDER)) {
    int f = c->frameWidth;
    out16 = rect16(out16.x + f, out16.y + f, out16.width - 2 * f, out16.height - 2 * f);
  }
  *out = out16;
  v->state &= ~vlistviewCONTENT_STALE;
}

void _vlistviewGetFirstFullCell(vlistview* v, std::int32_t* row, std::int32_t* column) {
  *row = 0, *column = 0;
  if (!hasCells(v)) return;
  std::int32_t c = v->firstColumn + (v->hOffset != 0 ? 1 : 0);
  if (c == vlistGetColumnCount(v->list)) --c;
  std::int32_t r = v->firstRow + (v->vOffset != 0 ? 1 : 0);
  if (r == vlistGetRowCount(v->list)) --r;
  *row = r, *column = c;
}

void _vlistviewSetScrollOrigin(vlistview* v, const vrect* content, std::int32_t x, std::int32_t y) {
  vlistviewFitCellSize(v);
  if (v->state & vlistviewAUTO_VSCROLL) _vlistviewUpdateAutoVScroll(v);
  x = std::max(0, x), y = std::max(0, y);
  std::int32_t fr = 0, fc = 0, lr = 0, lc = 0;
  sizeRec(v)->cellAtOffset(v->size, 0, 0, x - 1, y, &fr, &fc);
  sizeRec(v)->cellAtOffset(v->size, 0, 0, content->width + x, content->height + y, &lr, &lc);
  if (!hasCells(v)) {
    v->firstRow = v->firstColumn = v->lastRow = v->lastColumn = 0;
  } else {
    std::int32_t rows = vlistGetRowCount(v->list), columns = vlistGetColumnCount(v->list);
    // "At least 1" first, "at most count - 1" second: a single row gets 0.
    lr = std::min(std::max(lr, 1), rows - 1);
    lc = std::min(std::max(lc, 1), columns - 1);
    v->firstRow = std::min({fr, rows - 1, lr});
    v->firstColumn = std::min({fc, columns - 1, lc});
    v->lastRow = lr, v->lastColumn = lc;
  }
  vrectLong first = gridCell(v, v->firstRow, v->firstColumn);
  // Saturated, not wrapped: a cell wider than they hold keeps its sign and
  // stays partly hidden.
  v->hOffset = std::int16_t(std::clamp<std::int32_t>(first.x - x, -32768, 32767));
  v->vOffset = std::int16_t(std::clamp<std::int32_t>(y - first.y, -32768, 32767));
  v->gridX = content->x - x;
  v->gridTop = content->y + content->height + y;
  v->state &= ~vlistviewRANGE_STALE;
}

void _vlistviewUpdateScrollBars(vlistview* v) {
  vlistviewFitCellSize(v);
  if (!vdialogItemIsShown(v)) {
    v->state |= vlistviewBARS_STALE;
    return;
  }
  vrectLong last = lastCell(v), full{};
  if (hasCells(v)) {
    std::int32_t row = 0, column = 0;
    _vlistviewGetFirstFullCell(v, &row, &column);
    full = gridCell(v, row, column);
  }
  const vrect& c = v->content;
  if (v->hbar) {
    vcontrolSetMin(v->hbar, 0);
    vcontrolSetMax(v->hbar, last.x + last.width);
    vcontrolSetView(v->hbar, std::max<int>(0, c.width));
    vcontrolSetPage(v->hbar, std::max<int>(0, c.width));
    setStep(v->hbar, full.width);
    setWhenDiffers(v->hbar, v->originX);
  }
  if (v->vbar) {
    vcontrolSetMin(v->vbar, 0);
    vcontrolSetMax(v->vbar, last.y + last.height);
    vcontrolSetView(v->vbar, std::max<int>(0, c.height));
    vcontrolSetPage(v->vbar, std::max<int>(0, c.height));
    setStep(v->vbar, full.height);
    setWhenDiffers(v->vbar, vbarValue(v, v->originY));
  }
  // Content that shrank below the origin pulls it back inside.
  std::int32_t x = std::max(0, std::min(v->originX, last.x + last.width - c.width));
  std::int32_t y = std::max(0, std::min(v->originY, last.y + last.height - c.height));
  if (x != v->originX || y != v->originY) vlistviewClassOf(v)->scrollTo(v, x, y);
  v->appliedX = v->originX, v->appliedY = v->originY;
  if (v->hbar) vdialogInvalItem(v->hbar, kErase);
  if (v->vbar) vdialogInvalItem(v->vbar, kErase);
  v->state &= ~vlistviewBARS_STALE;
}

void _vlistviewUpdateAutoVScroll(vlistview* v) {
  std::int32_t bottom = 0;
  if (hasCells(v)) {
    vrectLong last = lastCell(v);
    bottom = last.y + last.height;
  }
  if (v->content.height >= bottom) {
    if (v->vbar) vlistviewClassOf(v)->setVerticalBar(v, 0);
  } else if (!v->vbar) {
    vlistviewClassOf(v)->setVerticalBar(v, 1);
  }
}

void vlistviewFitCellSize(vlistview* v) {
  fitWidth(v);
  fitHeight(v);
}
