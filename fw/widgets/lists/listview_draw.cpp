// The list view drawn: the frame, each visible cell (background, label
// through the cell drawer, selection emphasis, grid lines), the focus
// cell; and its sizes (frame insets, minimum, natural and content size),
// look by look.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/lists/listview_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vlistviewint;

namespace {

// Foreground, Background, ShadowTop, ShadowBottom, ColorFocus,
// BackgroundDeboss, BackgroundHilite, ForegroundHilite, BackgroundHilite,
// ShadowTopDark, ShadowBottomDark; the disabled list is each + 1.
constexpr int kEnabled[11] = {0, 2, 4, 6, 18, 14, 10, 8, 10, 20, 22};
constexpr int kDisabled[11] = {1, 3, 5, 7, 19, 15, 11, 9, 11, 21, 23};
enum { FG, BG, TOP, BOTTOM, FOCUS, DEBOSS, HILITE_BG, HILITE_FG, HILITE_BG2, TOP_DARK, BOTTOM_DARK };

struct Colors {
  vcolor* c[11];
};
Colors colors(vlistview* v, bool forceEnabled = false) {
  Colors out{};
  bool enabled = forceEnabled || vdialogItemIsEnabled(v);
  vdialogGetItemSchemeColors(v, 0, nullptr, enabled ? kEnabled : kDisabled, 11, out.c);
  return out;
}

std::uint16_t cachedBarHeight = 0xFFFF;

vrect inset(const vrect& r, int d) {
  return vrect{std::int16_t(r.x + d), std::int16_t(r.y + d), std::int16_t(r.width - 2 * d),
               std::int16_t(r.height - 2 * d)};
}
void shaded(const vrect& r, vcolor* a, vcolor* b) { vdrawRectsFrameShaded(&r, 1, nullptr, a, b); }
bool threeD() { return (vlafGetCurrent()->flags & vlaf3D) != 0; }

// ---- Frames, cells and focus by look.
void drawFrame(vlistview* v, const vrect* rect) {
  switch (lookId()) {
    case vlafWINDOWS:
      if (threeD()) {
        Colors c = colors(v, true);
        shaded(*rect, c.c[BOTTOM], c.c[TOP]);
      } else {
        vcolor* border = vdialogGetItemColor(v, 16);
        shaded(*rect, border, border);
      }
      return;
    case vlafMOTIF: {
      Colors c = colors(v);
      return shaded(*rect, c.c[BOTTOM], c.c[TOP]);
    }
    case vlafOPEN_LOOK: {
      Colors c = colors(v);
      if (threeD()) return shaded(*rect, c.c[BOTTOM], c.c[TOP]);
      vdrawGSave();
      vdrawSetColor(c.c[FG]);
      vdrawRectsFrame(rect, 1);
      vdrawGRestore();
      return;
    }
    case vlafCUA: {
      Colors c = colors(v);
      int d = int(vdialogDetermineItemInset(v));
      vrect in = inset(*rect, d);
      bool left = (vlafGetCurrent()->flags & vlafLEFT_SCROLL_BAR) != 0;
      if (v->vbar) {
        if (left) in.x = std::int16_t(in.x - d);
        in.width = std::int16_t(in.width + d);
      }
      if (v->hbar) in.y = std::int16_t(in.y - d), in.height = std::int16_t(in.height + d);
      shaded(in, c.c[TOP], c.c[BOTTOM]);
      return shaded(*rect, c.c[BOTTOM], c.c[TOP]);
    }
    case vlafWIN95: {
      Colors c = colors(v, true);
      shaded(v->rect, c.c[BOTTOM], c.c[TOP]);
      return shaded(inset(v->rect, 1), c.c[BOTTOM_DARK], c.c[TOP_DARK]);
    }
    default: return;
  }
}

// The label colour is left in force for the cell drawer.
void fillCell(vlistview* v, std::int32_t, std::int32_t, int selected, const vrect* rect) {
  int look = lookId();
  if (look < vlafWINDOWS || look > vlafWIN95) return;
  Colors c = colors(v);
  bool openLook = look == vlafOPEN_LOOK;
  vdrawSetColor(selected ? c.c[openLook ? DEBOSS : HILITE_BG] : c.c[BG]);
  vdrawRectFill(rect->x, rect->y, rect->width, rect->height);
  vdrawSetColor(selected && !openLook ? c.c[HILITE_FG] : c.c[FG]);
}

void drawCell(vlistview* v, std::int32_t row, std::int32_t column, int selected, vrect* rect) {
  if (v->cellDrawer) v->cellDrawer(v, row, column, selected, rect);
}

void drawSelectedCell(vlistview* v, std::int32_t, std::int32_t, const vrect* rect) {
  if (lookId() != vlafOPEN_LOOK) return;
  Colors c = colors(v);
  shaded(*rect, c.c[BOTTOM], c.c[TOP]);
}

void drawFocusCell(vlistview* v, std::int32_t row, std::int32_t column, const vrect* rect) {
  int look = lookId();
  if (look == vlafWINDOWS || look == vlafMOTIF || look == vlafWIN95) {
    bool sel = row != -1 && v->list && v->selection && vlistIsCellSelected(v->list, v->selection, row, column);
    vdrawGSave();
    vdrawSetColor(vdialogGetItemColor(v, sel ? 2 : 0));
    vrect r = inset(*rect, 1);
    vdrawRectsFrame(&r, 1);
    vdrawGRestore();
  } else if (look == vlafCUA) {
    vdrawGSave();
    vdrawClipRects(&v->content, 1);
    vdrawSetColor(vdialogGetItemColor(v, 18));
    static const float dash[2] = {1.0f, 1.0f};
    vdrawSetDash(2, dash, 0.0);
    vdrawSetLineWidth(1.0);
    vdrawRectsFrame(rect, 1);
    vdrawGRestore();
  }
}

// Two-dimensional looks: one line on the bottom row and one on the right
// column; three-dimensional: a light and a dark line each.
void drawGrid(vlistview* v, std::int32_t, std::int32_t, const vrect* r) {
  bool h = (v->options & vlistviewHLINES) != 0, vert = (v->options & vlistviewVLINES) != 0;
  vdrawSetLineWidth(1);
  int bottom = r->y, right = r->x + r->width - 1;
  auto line = [](int x0, int y0, int x1, int y1) {
    vdrawRectFill(std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0) + 1, std::abs(y1 - y0) + 1);
  };
  if (!threeD()) {
    Colors c = colors(v);
    vdrawSetColor(c.c[FG]);
    if (h) line(r->x, bottom, r->x + r->width - 1, bottom);
    if (vert) line(right, r->y, right, r->y + r->height - 1);
    return;
  }
  vcolor* light = vdialogGetItemColor(v, 4);
  vcolor* dark = vdialogGetItemColor(v, 6);
  if (h) {
    vdrawSetColor(light);
    line(r->x, bottom, right, bottom);
    vdrawSetColor(dark);
    line(r->x, bottom + 1, right, bottom + 1);
  }
  if (vert) {
    vdrawSetColor(dark);
    line(right - 1, r->y + (h ? 1 : 0), right - 1, r->y + r->height - 1);
    vdrawSetColor(light);
    line(right, r->y, right, r->y + r->height - 1);
  }
}

// ---- Default cell drawers: the cell's string, left-aligned and centred.
const char* cellString(vlistview* v, std::int32_t row, std::int32_t column) {
  if (!v->list) return nullptr;
  return reinterpret_cast<const char*>(vlistGetCell(v->list, row, column));
}
void label(vlistview* v, std::int32_t row, std::int32_t column, const vrect* content, int insetBy) {
  const char* s = cellString(v, row, column);
  if (!s) return;
  vrect r{std::int16_t(content->x + insetBy), content->y, std::int16_t(content->width - insetBy), content->height};
  vdrawCharsAt(s, int(std::strlen(s)), &r, 2);
}
void plainDrawer(vlistview* v, std::int32_t row, std::int32_t column, int, vrect* content) {
  label(v, row, column, content, vlistviewClassOf(v)->step);
}
// The step in from the content, as in the other looks: the dashed focus
// frame runs on the cell's edge, clear of the first letter.
void cuaDrawer(vlistview* v, std::int32_t row, std::int32_t column, int, vrect* content) {
  label(v, row, column, content, vlistviewClassOf(v)->step);
}
// Disabled Windows labels: the look's pattern under a black foreground,
// or pattern and black labels when foreground and background agree.
void windowsDrawer(vlistview* v, std::int32_t row, std::int32_t column, int, vrect* content) {
  if (!cellString(v, row, column)) return;
  vdrawGSave();
  if (!vdialogItemIsEnabled(v)) {
    vcolorScheme s{};
    vdialogDetermineItemColors(v, 0x6, &s);
    int b = vlistviewClassOf(v)->step;
    vrect r{std::int16_t(content->x + b), content->y, std::int16_t(content->width - b), content->height};
    vcolor* fg = s.entries[1];
    vcolor* bg = s.entries[3];
    if (fg && vcolorSpecsEqual(&fg->desc, &vcolorGetBlack()->desc)) {
      vlafDrawPatternRect(&r);
    } else if (fg && bg && vcolorSpecsEqual(&fg->desc, &bg->desc)) {
      vlafDrawPatternRect(&r);
      vdrawSetColor(vcolorGetBlack());
    }
  }
  label(v, row, column, content, vlistviewClassOf(v)->step);
  vdrawGRestore();
}
void noDrawer(vlistview*, std::int32_t, std::int32_t, int, vrect*) {}

vlistviewCellDrawer defaultDrawer() {
  switch (lookId()) {
    case 0: return noDrawer;
    case vlafWINDOWS: case vlafWIN95: return windowsDrawer;
    case vlafMOTIF: case vlafOPEN_LOOK: return plainDrawer;
    case vlafCUA: return cuaDrawer;
    default: return nullptr;
  }
}

// The drop mark: the outline of the band of the row (or column) at the
// index, open by 4 pixels in the middle of each end, drawn at once; the
// old mark is erased by invalidating its cells.
void drawMoveMarker(vlistview* v, std::int32_t oldIndex, std::int32_t newIndex) {
  if (newIndex == oldIndex || !hasCells(v)) return;
  bool rows = (v->options & vlistviewMOVE_ROWS) != 0;
  std::int32_t rowCount = vlistGetRowCount(v->list), columnCount = vlistGetColumnCount(v->list);
  drawNow(v, [&] {
    Colors c = colors(v);
    if (rowCount == 1 || columnCount == 1) {
      int x = 0, y = 0;
      trackedPoint(&x, &y);
      std::int32_t row = 0, column = 0;
      vlistviewFindCellAtPoint(v, x, y, &row, &column);
      vdrawSetColor(vlistIsCellSelected(v->list, v->selection, row, column) ? c.c[BG] : c.c[FG]);
    }
    // In 32 bits until narrowed: the first and last cells and the marked
    // band may lie far outside the window.
    vrectLong content;
    vrectShortToLong(&v->content, &content);
    vrectLong bounds = content;
    int b = vlistviewClassOf(v)->cellBorder;
    auto innerLong = [&](std::int32_t row, std::int32_t column) {
      vrectLong r;
      vlistviewGetCellLongRect(v, row, column, &r);
      vrectLongInset(&r, b, b, &r);
      return r;
    };
    if (v->lastColumn == columnCount - 1 || v->lastRow == rowCount - 1) {
      vrectLong first = innerLong(0, 0), last = innerLong(rowCount - 1, columnCount - 1);
      vrectLongUnion(&first, &last, &bounds);
    }
    vrectLong band = innerLong(rows ? newIndex : 0, rows ? 0 : newIndex);
    if (rows)
      band.x = content.x, band.width = content.width;
    else
      band.y = content.y, band.height = content.height;
    vrectLongIntersect(&band, &bounds, &band);
    vrect m;
    _vrectLongToShortAround(&band, &v->content, &m);
    m = inset(m, int(vdrawGetState()->lineWidth));
    // Nothing left after the intersection and the inset: no mark.
    if (m.width <= 0 || m.height <= 0) return;
    int x = m.x, y = m.y, w = m.width, h = m.height;
    auto path = [](const int (&p)[8]) {
      vdrawPathMoveTo(p[0], p[1]);
      for (int i = 2; i < 8; i += 2) vdrawLineTo(p[i], p[i + 1]);
      vdrawStroke();
    };
    if (rows) {
      path({x, y + h / 2 - 2, x, y, x + w, y, x + w, y + h / 2 - 2});
      path({x, y + h / 2 + 2, x, y + h, x + w, y + h, x + w, y + h / 2 + 2});
    } else {
      path({x + w / 2 - 2, y, x, y, x, y + h, x + w / 2 - 2, y + h});
      path({x + w / 2 + 2, y, x + w, y, x + w, y + h, x + w / 2 + 2, y + h});
    }
  });
  if (oldIndex == -1) return;
  if (rows)
    for (std::int32_t column = v->firstColumn; column <= v->lastColumn; ++column) vlistviewInvalCell(v, oldIndex, column);
  else
    for (std::int32_t row = v->firstRow; row <= v->lastRow; ++row) vlistviewInvalCell(v, row, oldIndex);
}

void fillBackground(vlistview* v, const vrect& r) {
  if (r.width <= 0 || r.height <= 0) return;
  vdrawSetColor(vdialogGetItemColor(v, 2));
  vdrawRectFill(r.x, r.y, r.width, r.height);
}

void paintFocus(vlistview* v) {
  if (!(v->options & vlistviewFOCUS_SHOWN) || !vdialogItemIsActive(v) || vlistviewGetClickCount(v) >= 1) return;
  auto* c = vlistviewClassOf(v);
  if (!hasCells(v)) return c->drawFocusCell(v, -1, -1, &v->content);
  if (v->focusRow < v->firstRow || v->focusRow > v->lastRow || v->focusColumn < v->firstColumn ||
      v->focusColumn > v->lastColumn)
    return;
  vrect r;
  vlistviewGetCellRect(v, v->focusRow, v->focusColumn, &r);
  c->drawFocusCell(v, v->focusRow, v->focusColumn, &r);
}

}  // namespace

namespace vlistviewint {

void drawOneCell(vlistview* v, std::int32_t row, std::int32_t column, const vlistSelection* shown) {
  auto* c = vlistviewClassOf(v);
  vrect r;
  vlistviewGetCellRect(v, row, column, &r);
  // A repaint of a few changed cells leaves the others alone.
  if (r.width == 0 || !vdrawRectIsVisible(&r)) return;
  int selected = vlistIsCellSelected(v->list, shown, row, column);
  c->fillCell(v, row, column, selected, &r);
  vrect inner = inset(r, c->cellBorder);
  c->drawCell(v, row, column, selected, &inner);
  if (selected) c->drawSelectedCell(v, row, column, &r);
  if (v->options & (vlistviewHLINES | vlistviewVLINES)) c->drawGrid(v, row, column, &r);
}

void draw(vdialogItem* item) {
  auto* v = static_cast<vlistview*>(item);
  if (!vdialogItemIsShown(v)) return;
  auto* c = vlistviewClassOf(v);
  vdrawGSave();
  _vlistviewGetContentRect(v, &v->content);
  if (v->content.width <= 0 || v->content.height <= 0) v->content.width = v->content.height = 0;
  placeBars(v);
  if (!(v->flags & vdialogItemBORDER)) {
    fillBackground(v, v->content);
  } else if (lookId() == vlafWIN95) {
    c->drawFrame(v, &v->rect);
  } else {
    vrect grown = inset(v->content, -c->frameWidth);
    c->drawFrame(v, &grown);
  }
  if (v->state & vlistviewBARS_STALE) _vlistviewUpdateScrollBars(v);
  if (v->state & vlistviewRANGE_STALE) _vlistviewSetScrollOrigin(v, &v->content, v->originX, v->originY);
  for (vslider* bar : {v->hbar, v->vbar})
    if (bar) {
      vdrawGSave();
      vdialogItemClassOf(bar)->draw(bar);
      vdrawGRestore();
    }
  // Inside the Win95 frame the strip kept for an automatic bar that is not
  // needed belongs to the list: in its colour, not an empty grey gutter.
  if (lookId() == vlafWIN95 && (v->flags & vdialogItemBORDER) && !v->vbar && (v->state & vlistviewAUTO_VSCROLL)) {
    int f = c->frameWidth, inLeft = v->rect.x + f, inRight = v->rect.x + v->rect.width - f;
    const vrect& k = v->content;
    vdrawGSave();
    if (vlafGetCurrent()->flags & vlafLEFT_SCROLL_BAR)
      fillBackground(v, {std::int16_t(inLeft), k.y, std::int16_t(k.x - inLeft), k.height});
    else
      fillBackground(v, {std::int16_t(k.x + k.width), k.y, std::int16_t(inRight - (k.x + k.width)), k.height});
    vdrawGRestore();
  }
  vdrawClipRects(&v->content, 1);
  if (!hasCells(v)) {
    fillBackground(v, v->content);
  } else {
    const vlistSelection* shown = selectionShown(v);
    for (std::int32_t row = v->firstRow; row <= v->lastRow; ++row) {
      if (vlistviewGetCellInnerHeight(v, row) == 0) continue;
      for (std::int32_t column = v->firstColumn; column <= v->lastColumn; ++column)
        drawOneCell(v, row, column, shown);
    }
    // What lies right of and below the last cell, measured in 32 bits: the
    // last cell of a long list lies tens of thousands of pixels away.
    vrectLong last;
    vlistviewGetCellLongRect(v, vlistGetRowCount(v->list) - 1, vlistGetColumnCount(v->list) - 1, &last);
    const vrect& k = v->content;
    std::int32_t kRight = k.x + k.width, kTop = k.y + k.height;
    std::int32_t right = std::clamp<std::int32_t>(last.x + last.width, k.x, kRight);
    std::int32_t bottom = std::clamp<std::int32_t>(last.y, k.y, kTop);
    fillBackground(v, vrect{std::int16_t(right), k.y, std::int16_t(kRight - right), k.height});
    fillBackground(v, vrect{k.x, k.y, std::int16_t(right - k.x), std::int16_t(bottom - k.y)});
  }
  paintFocus(v);
  if (hasCells(v) && dropIndex(v) >= 0) c->drawMoveMarker(v, -1, dropIndex(v));
  vdrawGRestore();
}

bool canDrawNow(vlistview* v) { return v->owner && vdialogItemIsShown(v) && !(v->state & vlistviewNO_DRAWING); }

void beginDrawNow(vlistview* v) {
  vdrawGSave();
  vdialogItemClassOf(v)->setDrawingState(v);
  vdrawClipRects(&v->content, 1);
}
void endDrawNow() { vdrawGRestore(); }
void drawFocus(vlistview* v) { paintFocus(v); }

void drawSelectionDifferenceNow(vlistview* v, const vlistSelection* a, const vlistSelection* b) {
  if (!canDrawNow(v) || !hasCells(v)) return redrawSelectionDifference(v, a, b);
  vlistSelection* d = vlistCreateSelectionDifference(v->list, a, b);
  drawNow(v, [&] {
    vdrawSetFont(vdialogDetermineItemFont(v));
    vlistSelectionIterator it;
    vlistInitSelectionIterator(&it, d);
    while (vlistNextSelectedCell(&it)) {
      if (it.row < v->firstRow || it.row > v->lastRow || it.column < v->firstColumn || it.column > v->lastColumn)
        continue;
      drawOneCell(v, it.row, it.column, b);
      if (it.row == v->focusRow && it.column == v->focusColumn) paintFocus(v);
    }
    vlistDestroySelectionIterator(&it);
  });
  vlistDestroySelection(v->list, d);
}

void getInsets(vlistview* v, int* left, int* right, int* bottom, int* top) {
  *left = *right = *bottom = *top = 0;
  if (lookId() != vlafWIN95 && (v->flags & vdialogItemBORDER))
    *left = *right = *bottom = *top = vlistviewClassOf(v)->frameWidth;
  int w = 0, h = 0;
  if (v->hbar) vdialogGetItemNaturalSize(v->hbar, &w, &h), *bottom += h + v->margin;
  bool leftBars = (vlafGetCurrent()->flags & vlafLEFT_SCROLL_BAR) != 0;
  int side = 0;
  if (v->vbar) {
    vdialogGetItemNaturalSize(v->vbar, &w, &h);
    side = w + v->margin;
  } else if (v->state & vlistviewAUTO_VSCROLL) {
    vslider* probe = vsliderScrollBarCreate();
    vcontrolSetVertical(probe, 1);
    vdialogGetItemNaturalSize(probe, &w, &h);
    vinstanceDestroy(probe);
    side = w + v->margin;
  }
  (leftBars ? *left : *right) += side;
}

void contentSize(vlistview* v, int* width, int* height) {
  if (!hasCells(v)) {
    *width = *height = 15;
    return;
  }
  vrectLong last{};
  vlistsizeClassOf(v->size)->cellRect(v->size, vlistGetRowCount(v->list) - 1, vlistGetColumnCount(v->list) - 1,
                                      &last);
  *width = last.x + last.width;
  *height = last.y + last.height;
}

void naturalSize(vdialogItem* item, int* width, int* height) {
  auto* v = static_cast<vlistview*>(item);
  int l, r, b, t;
  getInsets(v, &l, &r, &b, &t);
  vlistviewClassOf(v)->contentSize(v, width, height);
  *width += l + r;
  *height += t + b;
  // In Win95 the frame lies inside the view and takes its room from the
  // content: a view of its natural size shows its last row whole.
  if (lookId() == vlafWIN95 && (v->flags & vdialogItemBORDER)) {
    *width += 2 * vlistviewClassOf(v)->frameWidth;
    *height += 2 * vlistviewClassOf(v)->frameWidth;
  }
}

void minSize(vdialogItem* item, int* width, int* height) {
  auto* v = static_cast<vlistview*>(item);
  int l, r, b, t, w = 0, h = 0;
  getInsets(v, &l, &r, &b, &t);
  *width = l + r, *height = t + b;
  if (v->hbar) vdialogGetItemMinSize(v->hbar, &w, &h), *width = std::max(*width, w);
  if (v->vbar) vdialogGetItemMinSize(v->vbar, &w, &h), *height = std::max(*height, h);
  if ((v->state & vlistviewAUTO_VSCROLL) && !v->vbar) {
    // Measured once per process; kept in 16 bits, read back signed.
    if (cachedBarHeight == 0xFFFF) {
      vslider* probe = vsliderScrollBarCreate();
      vcontrolSetVertical(probe, 1);
      vdialogGetItemMinSize(probe, &w, &h);
      vinstanceDestroy(probe);
      cachedBarHeight = std::uint16_t(h);
    }
    *height = std::max(*height, int(std::int16_t(cachedBarHeight)));
  }
  int b2 = 2 * vlistviewClassOf(v)->cellBorder;
  *width += b2, *height += b2;
}

void installDrawing(vlistviewClassRec* c) {
  c->draw = draw;
  c->naturalSize = naturalSize;
  c->minSize = minSize;
  c->getInsets = getInsets;
  c->drawFrame = drawFrame;
  c->fillCell = fillCell;
  c->drawCell = drawCell;
  c->drawSelectedCell = drawSelectedCell;
  c->drawFocusCell = drawFocusCell;
  c->drawGrid = drawGrid;
  c->contentSize = contentSize;
  c->defaultCellDrawer = defaultDrawer;
  c->drawMoveMarker = drawMoveMarker;
}

}  // namespace vlistviewint
