// The list view under the pointer and keys: the one press tracked in the
// process with its mode (Select, Adjust, Extend, Grab), the 10 ms
// automatic-scroll timer, focus moves, the selectors and type-ahead with
// its 1.05 s timer.
#include <algorithm>
#include <cstring>
#include <utility>

#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/gui/window/classops.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/lists/listview_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vlistviewint;

namespace {

enum Mode { kSelect = 1, kAdjust = 2, kExtend = 3, kGrab = 4, kDrag = 5, kOther = 6 };
enum Phase { kPress = 0, kMotion = 1, kTick = 2, kFromFocus = 3, kRelease = 4 };
constexpr std::uint32_t kDropShown = 0x8, kTracking = 0x200, kRemoving = 0x400, kReleasing = 0x80000, kArmed = 0x20;

struct Track {
  vlistview* view = nullptr;
  int clicks = 0;
  int x = -1, y = -1;  // the pointer, -1 when none
  int mode = 0;
  std::int32_t lastRow = 0, lastColumn = 0;
  int grabX = 0, grabY = 0;
  std::int32_t grabOriginX = 0, grabOriginY = 0;
  std::int32_t dropStart = 0, dropCurrent = 0;  // the row or column dragged, and where to
  vtimer* scrollTimer = nullptr;
  vtimer* typeTimer = nullptr;
  vlistview* typeView = nullptr;
  vlistview* barView = nullptr;  // a press that went to one of the view's bars
  vslider* bar = nullptr;
  char buffer[30] = {};
  int length = 0;
};
Track track;
void clearTypeAheadBuffer() { track.length = 0, track.buffer[0] = 0; }

std::int32_t rows(vlistview* v) { return vlistGetRowCount(v->list); }
std::int32_t columns(vlistview* v) { return vlistGetColumnCount(v->list); }

bool insideContent(vlistview* v, int x, int y) {
  const vrect& c = v->content;
  return x >= c.x && x < c.x + c.width && y >= c.y && y < c.y + c.height;
}

// Emptied with the at-least-one flag lifted, so that (0, 0) is not chosen.
void empty(vlistview* v, vlistSelection* s) {
  bool one = (s->flags & vlistAT_LEAST_ONE) != 0;
  if (one) vlistSetSelectionAtLeastOne(v->list, s, 0);
  vlistUnselectRange(v->list, s, 0, 0, rows(v), columns(v));
  if (one) vlistSetSelectionAtLeastOne(v->list, s, 1);
}

void range(vlistview* v, vlistSelection* s, std::int32_t r0, std::int32_t c0, std::int32_t r1, std::int32_t c1,
           bool remove) {
  std::int32_t r = std::min(r0, r1), c = std::min(c0, c1);
  std::int32_t nr = std::max(r0, r1) - r + 1, nc = std::max(c0, c1) - c + 1;
  if (remove)
    vlistUnselectRange(v->list, s, r, c, nr, nc);
  else
    vlistSelectRange(v->list, s, r, c, nr, nc);
}

void selectionChanged(vlistview* v, int phase) { notifyView(v, phase); }

void afterChange(vlistview* v) {
  if (v->selectionCallback) v->selectionCallback(v, v->pendingSelection);
  drawSelectionDifferenceNow(v, v->oldSelection, v->pendingSelection);
}

void commit(vlistview* v) {
  vlistCopySelection(v->list, v->pendingSelection, v->selection);
  selectionChanged(v, 3);
  empty(v, v->oldSelection);
  empty(v, v->pendingSelection);
  vlistviewSetFocusCell(v, track.lastRow, track.lastColumn);
}

void cellAtPointer(vlistview* v, std::int32_t* row, std::int32_t* column) {
  vlistviewFindCellAtPoint(v, track.x, track.y, row, column);
}

// ---- The modes: phase 0 press, 1 motion, 2 tick, 4 release.
void selectMode(vlistview* v, int phase) {
  vlistSelection *work = v->pendingSelection, *saved = v->oldSelection;
  if (phase == kRelease) return commit(v);
  std::int32_t row = 0, column = 0;
  cellAtPointer(v, &row, &column);
  if (phase == kPress) {
    vlistCopySelection(v->list, work, saved);
    empty(v, work);
    vlistSelectRange(v->list, work, row, column, 1, 1);
    v->anchorRow = track.lastRow = row, v->anchorColumn = track.lastColumn = column;
    selectionChanged(v, 1);
    return afterChange(v);
  }
  if (row == track.lastRow && column == track.lastColumn && !(v->state & vlistviewREPORT_STEPS)) return;
  vlistCopySelection(v->list, work, saved);
  if (!(v->options & vlistviewADDITIVE)) empty(v, work);
  if (work->flags & vlistAT_LEAST_ONE) vlistSelectRange(v->list, work, v->anchorRow, v->anchorColumn, 1, 1);
  if (work->mode == vlistONE_ONLY_SELECTION) {
    vlistSelectRange(v->list, work, row, column, 1, 1);
  } else if (work->mode == vlistNO_SELECTION) {
    if ((v->state & vlistviewREPORT_STEPS) && !insideContent(v, track.x, track.y)) empty(v, work);
  } else if (v->options & vlistviewADDITIVE) {
    vlistSelectRange(v->list, work, row, column, 1, 1);
  } else {
    range(v, work, v->anchorRow, v->anchorColumn, row, column, false);
  }
  track.lastRow = row, track.lastColumn = column;
  selectionChanged(v, 2);
  afterChange(v);
}

void adjustMode(vlistview* v, int phase) {
  vlistSelection *work = v->pendingSelection, *saved = v->oldSelection, *shown = v->selection;
  bool removing = (v->state & kRemoving) != 0;
  if (phase == kRelease) {
    v->state &= ~kRemoving;
    return commit(v);
  }
  if (phase == kFromFocus) {
    // The rectangle from the anchor to the focus cell joins the shown
    // selection, reported and drawn as one change.
    vlistCopySelection(v->list, work, saved);
    vlistCopySelection(v->list, shown, work);
    range(v, work, v->anchorRow, v->anchorColumn, v->focusRow, v->focusColumn, false);
    if (v->selectionCallback) v->selectionCallback(v, work);
    selectionChanged(v, 1);
    drawSelectionDifferenceNow(v, shown, work);
    selectionChanged(v, 3);
    vlistCopySelection(v->list, work, shown);
    empty(v, work);
    empty(v, saved);
    return;
  }
  std::int32_t row = 0, column = 0;
  cellAtPointer(v, &row, &column);
  if (phase == kPress) {
    vlistCopySelection(v->list, work, saved);
    vlistCopySelection(v->list, shown, work);
    bool rect = work->mode == vlistRECTANGULAR_SELECTION;
    if (!vlistIsCellSelected(v->list, shown, row, column) || work->mode == vlistONE_ONLY_SELECTION ||
        !(v->options & vlistviewADJUST_REMOVES)) {
      if (rect)
        range(v, work, v->anchorRow, v->anchorColumn, row, column, false);
      else
        vlistSelectRange(v->list, work, row, column, 1, 1), v->anchorRow = row, v->anchorColumn = column;
    } else {
      v->state |= kRemoving;
      if (!rect) v->anchorRow = row, v->anchorColumn = column;
      vlistUnselectRange(v->list, work, row, column, 1, 1);
    }
    track.lastRow = row, track.lastColumn = column;
    if (v->options & vlistviewFOCUS_SHOWN) vlistviewInvalCell(v, v->focusRow, v->focusColumn);
    selectionChanged(v, 1);
    return afterChange(v);
  }
  if (row == track.lastRow && column == track.lastColumn && !(v->state & vlistviewREPORT_STEPS)) return;
  vlistCopySelection(v->list, work, saved);
  vlistCopySelection(v->list, shown, work);
  if (work->mode == vlistONE_ONLY_SELECTION)
    range(v, work, row, column, row, column, removing);
  else if (work->mode != vlistNO_SELECTION)
    range(v, work, v->anchorRow, v->anchorColumn, row, column, removing);
  if ((v->state & vlistviewREPORT_STEPS) && !insideContent(v, track.x, track.y)) empty(v, work);
  track.lastRow = row, track.lastColumn = column;
  selectionChanged(v, 2);
  afterChange(v);
}

void extendMode(vlistview* v, int phase) {
  vlistSelection *work = v->pendingSelection, *saved = v->oldSelection;
  if (phase == kRelease) return commit(v);
  std::int32_t row = 0, column = 0;
  cellAtPointer(v, &row, &column);
  bool rect = v->selection->mode == vlistRECTANGULAR_SELECTION;
  if (phase == kPress) {
    vlistCopySelection(v->list, work, saved);
    if (rect) {
      empty(v, work);
      range(v, work, v->anchorRow, v->anchorColumn, row, column, false);
    } else {
      vlistCopySelection(v->list, v->selection, work);
    }
    track.lastRow = row, track.lastColumn = column;
    if (v->options & vlistviewFOCUS_SHOWN) vlistviewInvalCell(v, v->focusRow, v->focusColumn);
    selectionChanged(v, 1);
    return afterChange(v);
  }
  if (row == track.lastRow && column == track.lastColumn && !(v->state & vlistviewREPORT_STEPS)) return;
  vlistCopySelection(v->list, work, saved);
  if (rect) {
    empty(v, work);
    if (!((v->state & vlistviewREPORT_STEPS) && !insideContent(v, track.x, track.y)))
      range(v, work, v->anchorRow, v->anchorColumn, row, column, false);
  }
  track.lastRow = row, track.lastColumn = column;
  selectionChanged(v, 2);
  afterChange(v);
}

void grabMode(vlistview* v, int phase) {
  if (phase == kPress) {
    track.grabX = track.x, track.grabY = track.y;
    track.grabOriginX = v->originX, track.grabOriginY = v->originY;
  } else if (phase == kMotion || phase == kTick) {
    vlistviewClassOf(v)->scrollTo(v, std::max(0, track.grabX - track.x + track.grabOriginX),
                                  std::max(0, track.y - track.grabY + track.grabOriginY));
  }
}

// A row (with option 0x100) or a column carried to a new place, shown
// by the drop mark; the list moves it on release.
void dragMode(vlistview* v, int phase) {
  bool rows = (v->options & vlistviewMOVE_ROWS) != 0;
  std::int32_t row = 0, column = 0;
  cellAtPointer(v, &row, &column);
  std::int32_t index = rows ? row : column;
  auto* c = vlistviewClassOf(v);
  if (phase == kPress) {
    v->state |= kDropShown;
    track.dropStart = track.dropCurrent = index;
    c->drawMoveMarker(v, -1, index);
    vlistCopySelection(v->list, v->selection, v->pendingSelection);
    vlistviewInvalCell(v, v->focusRow, v->focusColumn);
  } else if (phase == kMotion || phase == kTick) {
    std::int32_t old = track.dropCurrent;
    track.dropCurrent = index;
    c->drawMoveMarker(v, old, index);
  } else if (phase == kRelease) {
    v->state &= ~kDropShown;
    if (track.dropStart == track.dropCurrent)
      rows ? vlistviewInvalRow(v, track.dropStart) : vlistviewInvalColumn(v, track.dropStart);
    else
      vlistClassOf(v->list)->moveOne(v->list, track.dropStart, track.dropCurrent, rows ? vlistROWS : vlistCOLUMNS);
    empty(v, v->pendingSelection);
  }
}

void runMode(vlistview* v, int phase) {
  switch (track.mode) {
    case kSelect: return selectMode(v, phase);
    case kAdjust: return adjustMode(v, phase);
    case kExtend: return extendMode(v, phase);
    case kGrab: return grabMode(v, phase);
    case kDrag: return dragMode(v, phase);
    default: return;
  }
}

// One column or row toward the pointer outside the content, then the
// mode again at the recorded point.
void scrollTick(vtimer*) {
  vlistview* v = track.view;
  if (!v || !hasCells(v)) return;
  std::int32_t row = 0, column = 0;
  _vlistviewGetFirstFullCell(v, &row, &column);
  std::int32_t w = vlistviewGetCellInnerSize(v, column), h = vlistviewGetCellInnerHeight(v, row);
  const vrect& c = v->content;
  std::int32_t dx = track.x < c.x ? -w : track.x >= c.x + c.width ? w : 0;
  std::int32_t dy = track.y >= c.y + c.height ? -h : track.y < c.y ? h : 0;
  vlistviewScrollByPixels(v, dy, dx);
  // The release's last tick comes after the commit: the work selection stays empty.
  if ((v->state & kTracking) && !(v->state & kReleasing)) runMode(v, kTick);
}


vtimer* scrollTimer() {
  if (!track.scrollTimer) {
    track.scrollTimer = vtimerCreate();
    track.scrollTimer->periodNanoseconds = 10'000'000;
    track.scrollTimer->flags |= vtimerRECURRENT;
    track.scrollTimer->notify = scrollTick;
    vmoduleAddContextExitProc([] {
      if (track.scrollTimer) vtimerDestroy(track.scrollTimer), track.scrollTimer = nullptr;
      if (track.typeTimer) vtimerDestroy(track.typeTimer), track.typeTimer = nullptr;
    });
  }
  return track.scrollTimer;
}

void stopScrolling(vlistview* v) {
  if (track.scrollTimer && (track.scrollTimer->flags & vtimerARMED)) vtimerStop(track.scrollTimer);
  v->state &= ~kArmed;
}

}  // namespace

namespace vlistviewint {

int buttonDown(vdialogItem* item, vevent* e) {
  auto* v = static_cast<vlistview*>(item);
  vname kind = veventGetBinding(e);
  if (!hasCells(v)) return kind == vname_Menu ? vdialogItemGetDefaultClass()->buttonDown(item, e) : 0;
  if (v->options & vlistviewTYPE_AHEAD) clearTypeAheadBuffer();
  if (track.view && (track.view->state & kTracking)) return 1;
  int x = veventGetX(e), y = veventGetY(e);
  if (!insideContent(v, x, y)) {
    if (v->state & vlistviewBARS_STALE) _vlistviewUpdateScrollBars(v);
    for (vslider* bar : {v->hbar, v->vbar})
      if (bar && x >= bar->rect.x && x < bar->rect.x + bar->rect.width && y >= bar->rect.y &&
          y < bar->rect.y + bar->rect.height)
      {
        // The bar's drag and release follow its press through the view.
        track.barView = v, track.bar = bar;
        return vdialogItemClassOf(bar)->buttonDown(bar, e);
      }
    return 0;
  }
  v->state |= kTracking;
  track.x = x, track.y = y;
  if (kind == vname_Grab || (v->options & vlistviewGRAB)) {
    track.mode = kGrab;
  } else if (kind == vname_Menu) {
    v->state &= ~kTracking;
    return vdialogItemGetDefaultClass()->buttonDown(item, e);
  } else {
    track.clicks = veventGetClickCount(e);
    bool moves = (v->options & (vlistviewMOVE_ROWS | vlistviewMOVE_COLUMNS)) != 0;
    // Motif leaves rectangular selections to Select and Extend.
    bool adjusts = !(lookId() == vlafMOTIF && v->selection->mode == vlistRECTANGULAR_SELECTION);
    track.mode = kind == vname_Select   ? kSelect
                 : kind == vname_Adjust ? (adjusts ? kAdjust : kOther)
                 : kind == vname_Extend ? kExtend
                 : kind == vname_Drag && moves ? kDrag
                                               : kOther;
  }
  track.view = v;
  if (track.mode == kSelect) {
    // The press shows at once: the pressed and focus cells unselected
    // (the saved selection is empty outside a press).
    std::int32_t row = 0, column = 0;
    vlistviewFindCellAtPoint(v, x, y, &row, &column);
    for (std::pair<std::int32_t, std::int32_t> cell : {std::pair{row, column}, std::pair{v->focusRow, v->focusColumn}}) {
      std::int32_t r = cell.first, c = cell.second;
      if (vlistIsCellSelected(v->list, v->selection, r, c) && r >= v->firstRow && r <= v->lastRow &&
          c >= v->firstColumn && c <= v->lastColumn)
        drawNow(v, [&] { drawOneCell(v, r, c, v->oldSelection); });
    }
  }
  runMode(v, kPress);
  return 1;
}

int motion(vdialogItem* item, vevent* e) {
  auto* v = static_cast<vlistview*>(item);
  if (track.barView == v) return vdialogItemClassOf(track.bar)->motion(track.bar, e);
  vdialogItemGetDefaultClass()->motion(item, e);
  if (!hasCells(v) || track.view != v || !(v->state & kTracking)) return 0;
  track.x = veventGetX(e), track.y = veventGetY(e);
  runMode(v, kMotion);
  if (track.mode == kGrab) return 1;
  if (insideContent(v, track.x, track.y)) {
    stopScrolling(v);
  } else if ((v->options & vlistviewAUTO_SCROLL) && !(v->state & kArmed)) {
    vtimerStart(scrollTimer());
    v->state |= kArmed;
  }
  return 1;
}

int buttonUp(vdialogItem* item, vevent* e) {
  auto* v = static_cast<vlistview*>(item);
  if (track.barView == v) {
    vslider* bar = track.bar;
    track.barView = nullptr, track.bar = nullptr;
    return vdialogItemClassOf(bar)->buttonUp(bar, e);
  }
  vdialogItemGetDefaultClass()->buttonUp(item, e);
  if (!hasCells(v) || track.view != v || !(v->state & kTracking)) return 0;
  v->state |= kReleasing;
  runMode(v, kRelease);
  if (v->state & kArmed) {
    stopScrolling(v);
    scrollTick(nullptr);
  }
  v->state &= ~kReleasing;
  v->state &= ~kTracking;
  forgetPress(nullptr);
  if (vdialogItemIsActive(v) && (v->options & vlistviewFOCUS_SHOWN)) {
    if (canDrawNow(v))
      drawNow(v, [&] { drawFocus(v); });
    else
      vlistviewInvalCell(v, v->focusRow, v->focusColumn);
  }
  return 1;
}

void clearTypeAhead() { clearTypeAheadBuffer(); }

void extendFromFocus(vlistview* v) {
  if (hasCells(v)) adjustMode(v, kFromFocus);
}

std::int32_t dropIndex(const vlistview* v) {
  return track.view == v && (v->state & kDropShown) ? track.dropCurrent : -1;
}
void trackedPoint(int* x, int* y) { *x = track.x, *y = track.y; }

const vlistSelection* selectionShown(vlistview* v) {
  bool pressing = track.view == v && (v->state & kTracking) && track.mode != kGrab;
  return pressing ? v->pendingSelection : v->selection;
}

// Gaining or losing the keyboard focus repaints the focus cell (the whole
// content without cells); losing it ends a type-ahead search.
void focusCellChanged(vlistview* v) {
  if (hasCells(v))
    vlistviewInvalCell(v, v->focusRow, v->focusColumn);
  else
    invalContent(v);
}
void focusGained(vdialogItem* item) {
  vdialogItemGetDefaultClass()->focus(item);
  focusCellChanged(static_cast<vlistview*>(item));
}
void focusLost(vdialogItem* item) {
  vdialogItemGetDefaultClass()->unfocus(item);
  focusCellChanged(static_cast<vlistview*>(item));
  clearTypeAheadBuffer();
}

// The focus clamped into the list and shown, or hidden.
void setFocusShown(vlistview* v, int on) {
  if (!on) {
    v->options &= ~vlistviewFOCUS_SHOWN;
    return vlistviewInvalCell(v, v->focusRow, v->focusColumn);
  }
  if (!v->list) {
    v->options |= vlistviewFOCUS_SHOWN;
    return invalContent(v);
  }
  v->focusRow = std::clamp(v->focusRow, 0, std::max(0, rows(v) - 1));
  v->focusColumn = std::clamp(v->focusColumn, 0, std::max(0, columns(v) - 1));
  v->options |= vlistviewFOCUS_SHOWN;
  vlistviewInvalCell(v, v->focusRow, v->focusColumn);
}

template <std::uint32_t Bit>
void setLines(vlistview* v, int on) {
  std::uint32_t was = v->options;
  v->options = on ? v->options | Bit : v->options & ~Bit;
  if (v->options != was) invalContent(v);
}

void installInput(vlistviewClassRec* c) {
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->motion = c->drag = motion;  // a dialog hands the last motion of a drag to the drag slot
  c->keyDown = keyDown;
  c->focus = focusGained;
  c->unfocus = focusLost;
  c->setFocusShown = setFocusShown;
  c->setHorizontalLines = setLines<vlistviewHLINES>;
  c->setVerticalLines = setLines<vlistviewVLINES>;
}

void forgetBarPress(const vslider* bar) {
  if (bar && track.bar == bar) track.barView = nullptr, track.bar = nullptr;
}

void forgetPress(vlistview* v) {
  if (v && track.barView == v) track.barView = nullptr, track.bar = nullptr;
  if (v && track.view != v) return;
  if (v && track.scrollTimer && (track.scrollTimer->flags & vtimerARMED)) vtimerStop(track.scrollTimer);
  track.view = nullptr, track.clicks = 0, track.x = track.y = -1, track.mode = 0;
  if (v && track.typeView == v) track.typeView = nullptr;
}

// The item's own keys and then the class's (the list view's merged with
// the dialog item's) name the command; characters left over type ahead.
int keyDown(vdialogItem* item, vevent* e) {
  auto* v = static_cast<vlistview*>(item);
  std::uint32_t key = veventGetKeyValue(e);
  vname tag = nullptr;
  if (item->flags & vdialogItemOPEN)
    tag = static_cast<vname>(vdictGet(vdialogGetItemKeyMap(item), reinterpret_cast<const void*>(std::uintptr_t(key) + 1)));
  if (!tag) tag = classKeyTag(key);
  if (tag ? _vdialogItemIssueKeyTag(item, tag, e) : vdialogItemGetDefaultClass()->keyDown(item, e)) return 1;
  int ch = veventGetCharacter(e);
  if (ch && !(veventGetModifiers(e) & 2) && (v->options & vlistviewTYPE_AHEAD)) vlistviewTypeAhead(v, ch);
  return 0;
}

}  // namespace vlistviewint

int vlistviewGetClickCount(vlistview* v) { return track.view == v ? track.clicks : 0; }
void _vlistviewTrackPress(vlistview* v, int clickCount) { track.view = v, track.clicks = clickCount; }
void _vlistviewEndPress() { forgetPress(nullptr); }

void vlistviewMoveFocus(vlistview* v, std::int32_t drows, std::int32_t dcolumns) {
  if (!hasCells(v)) return;
  bool wrap = (v->options & vlistviewWRAP) != 0;
  auto step = [&](std::int32_t at, std::int32_t d, std::int32_t n) {
    std::int64_t t = std::int64_t(at) + d;
    if (t > n - 1) return wrap ? 0 : n - 1;
    if (t < 0) return wrap ? n - 1 : 0;
    return std::int32_t(t);
  };
  std::int32_t row = step(v->focusRow, drows, rows(v)), column = step(v->focusColumn, dcolumns, columns(v));
  // Hidden columns and rows are passed over in the direction of the move.
  for (std::int32_t i = 0; dcolumns != 0 && i < columns(v) && vlistviewGetCellInnerSize(v, column) == 0; ++i) {
    std::int32_t next = step(column, dcolumns > 0 ? 1 : -1, columns(v));
    if (next == column) break;
    column = next;
  }
  for (std::int32_t i = 0; drows != 0 && i < rows(v) && vlistviewGetCellInnerHeight(v, row) == 0; ++i) {
    std::int32_t next = step(row, drows > 0 ? 1 : -1, rows(v));
    if (next == row) break;
    row = next;
  }
  v->focusRow = row, v->focusColumn = column;
}

void vlistviewSetFocusCell(vlistview* v, std::int32_t row, std::int32_t column) {
  std::int32_t oldRow = v->focusRow, oldColumn = v->focusColumn;
  if ((v->options & vlistviewFOCUS_SHOWN) && (row != oldRow || column != oldColumn))
    vlistviewMoveFocus(v, row - oldRow, column - oldColumn);
  else
    v->focusRow = row, v->focusColumn = column;
  if (v->list && v->selection && v->selection->mode == vlistONE_ONLY_SELECTION && hasCells(v) &&
      !vlistIsCellSelected(v->list, v->selection, v->focusRow, v->focusColumn) && !(v->state & 0x80800)) {
    vlistSelection* work = v->pendingSelection;
    empty(v, work);
    vlistSelectRange(v->list, work, v->focusRow, v->focusColumn, 1, 1);
    if (v->selectionCallback) v->selectionCallback(v, work);
    selectionChanged(v, 1);
    vlistCopySelection(v->list, work, v->selection);
    selectionChanged(v, 3);
    empty(v, work);
  }
  bool rowsOnly = v->selection && (v->selection->flags & vlistWHOLE_ROWS);
  bool columnsOnly = v->selection && (v->selection->flags & vlistWHOLE_COLUMNS);
  if (rowsOnly && v->selection->mode == vlistONE_ONLY_SELECTION) {
    vlistviewInvalRow(v, oldRow), vlistviewInvalRow(v, v->focusRow);
  } else if (columnsOnly && v->selection->mode == vlistONE_ONLY_SELECTION) {
    vlistviewInvalColumn(v, oldColumn), vlistviewInvalColumn(v, v->focusColumn);
  } else {
    vlistviewInvalCell(v, oldRow, oldColumn), vlistviewInvalCell(v, v->focusRow, v->focusColumn);
  }
}

void vlistviewArrowMove(vlistview* v, int direction) {
  if (!hasCells(v) || !(v->options & vlistviewFOCUS_SHOWN)) return;
  static constexpr std::int32_t kDr[] = {0, -1, 0, 1}, kDc[] = {-1, 0, 1, 0};
  v->state |= vlistviewNO_DRAWING;
  vlistviewSetFocusCell(v, v->focusRow + kDr[direction & 3], v->focusColumn + kDc[direction & 3]);
  v->state &= ~vlistviewNO_DRAWING;
  // In 32 bits: a focus left far outside the window must not wrap into it.
  vrectLong cell;
  vlistviewGetCellLongRect(v, v->focusRow, v->focusColumn, &cell);
  const vrect& c = v->content;
  // Just enough to show it: left and up align the near edge, right and down the far one.
  std::int32_t dx = 0, dy = 0;
  if (cell.x < c.x) dx = cell.x - c.x;
  else if (cell.x + cell.width > c.x + c.width) dx = cell.x + cell.width - c.x - c.width;
  if (cell.y + cell.height > c.y + c.height) dy = -(cell.y + cell.height - c.y - c.height);
  else if (cell.y < c.y) dy = c.y - cell.y;
  if (dx || dy) vlistviewScrollByPixels(v, dy, dx);
  vlistviewInvalCell(v, v->focusRow, v->focusColumn);
}

void _vlistviewClearTypeAhead() { clearTypeAheadBuffer(); }

void vlistviewTypeAhead(vlistview* v, int ch) {
  if (!hasCells(v) || ch == 0) return;
  if (track.typeView != v) clearTypeAheadBuffer(), track.typeView = v;
  if (track.length < 29) track.buffer[track.length++] = char(ch), track.buffer[track.length] = 0;
  std::int32_t row = 0, column = 0;
  if (vlistClassOf(v->list)->findByPrefix(v->list, track.buffer, &row, &column, 0, 0, 0)) {
    bool only = vlistCountSelectedCells(v->list, v->selection) == 1 &&
                vlistIsCellSelected(v->list, v->selection, row, column);
    if (!only) {
      empty(v, v->selection);
      vlistSelectRange(v->list, v->selection, row, column, 1, 1);
      vrectLong cell;
      vlistviewGetCellLongRect(v, row, column, &cell);
      const vrect& c = v->content;
      if (cell.x < c.x || cell.y < c.y || cell.x + cell.width > c.x + c.width || cell.y + cell.height > c.y + c.height)
        vlistviewScrollToCell(v, row, column);
      vlistviewSetFocusCell(v, row, column);
    }
  }
  if (!track.typeTimer) {
    scrollTimer();
    track.typeTimer = vtimerCreate();
    track.typeTimer->periodSeconds = 1;
    track.typeTimer->periodNanoseconds = 50'000'000;
    track.typeTimer->notify = [](vtimer*) { clearTypeAheadBuffer(); };
  }
  if (track.typeTimer->flags & vtimerARMED) vtimerStop(track.typeTimer);
  vtimerStart(track.typeTimer);
}

// Page steps: visible rows - 1 (- 2 when the last row is cut), columns
// - 2; at least 1, and the result kept inside the list on both sides.
int vlistviewint::moveSelector(vlistview* v, int selector, vdict* context) {
  auto notifyIfSingle = [&] {
    vevent* e = context ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event))) : nullptr;
    if (v->list && v->selection && v->selection->mode == vlistONE_ONLY_SELECTION) vdialogNotifyItem(v, e);
  };
  if (selector < 8 || selector > 17) return -1;
  if (!hasCells(v)) return 1;
  std::int32_t lastRow = rows(v) - 1, lastColumn = columns(v) - 1;
  auto clampRow = [&](std::int64_t r) { return std::int32_t(std::clamp<std::int64_t>(r, 0, lastRow)); };
  auto clampColumn = [&](std::int64_t c) { return std::int32_t(std::clamp<std::int64_t>(c, 0, lastColumn)); };
  vrect bottom;
  vlistviewGetCellRect(v, v->lastRow, v->firstColumn, &bottom);
  std::int32_t rowStep = v->lastRow - v->firstRow + 1 - 1 - (bottom.y < v->content.y ? 1 : 0);
  rowStep = std::max(1, rowStep);
  std::int32_t columnStep = std::max(1, v->lastColumn - v->firstColumn + 1 - 2);
  std::int32_t row = v->focusRow, column = v->focusColumn;
  switch (selector) {
    case 8: row = 0, column = 0; break;
    case 9: row = lastRow, column = lastColumn; break;
    case 10: vlistviewArrowMove(v, 0); return notifyIfSingle(), 1;
    case 11: vlistviewArrowMove(v, 2); return notifyIfSingle(), 1;
    case 12: vlistviewArrowMove(v, 1); return notifyIfSingle(), 1;
    case 13: vlistviewArrowMove(v, 3); return notifyIfSingle(), 1;
    case 14: column = clampColumn(std::int64_t(column) - columnStep); break;
    case 15: column = clampColumn(std::int64_t(column) + columnStep); break;
    case 16: row = clampRow(std::int64_t(row) - rowStep); break;
    case 17: row = clampRow(std::int64_t(row) + rowStep); break;
  }
  if (selector == 14 || selector == 15)
    vlistviewScrollToCell(v, v->firstRow, column);
  else if (selector == 16 || selector == 17)
    vlistviewScrollToCell(v, row, v->firstColumn);
  else
    vlistviewScrollToCell(v, row, column);
  vlistviewSetFocusCell(v, row, column);
  notifyIfSingle();
  return 1;
}
