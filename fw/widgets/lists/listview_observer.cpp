// The list view's observer: the model's changes reach the view here. Rows
// or columns inserted or deleted move the drawn cells by scrolling the
// window contents (update mode 0) or invalidate them (mode 1); selection
// changes of the view's own selection notify begin (1) and end (3), held
// back while the list suspends its updates and replayed once after.
#include <algorithm>

#include "fw/core/attributed.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/lists/listview_internal.h"

using namespace vlistviewint;

namespace {

constexpr std::uint32_t kFocusMoving = 0x80000, kSuspended = 0x100000;
constexpr std::uint8_t kBeginGuard = 0x1, kEndGuard = 0x2;

struct ViewObserver : vlistObserver {
  vlistview* view;
};

vlistview* viewOf(void* receiver) { return static_cast<ViewObserver*>(receiver)->view; }
bool isOpen(const vlistview* v) { return (v->flags & vdialogItemOPEN) != 0; }
vlistsizeClassRec* sizeRec(vlistview* v) { return vlistsizeClassOf(v->size); }
std::int32_t countOf(vlistview* v, int axis) {
  return axis == vlistROWS ? vlistGetRowCount(v->list) : vlistGetColumnCount(v->list);
}

// The grid offset (y down for rows, x for columns) at which an index
// starts, with the geometry as it stands.
std::int32_t gridStart(vlistview* v, std::int32_t index, int axis) {
  vrectLong c{};
  sizeRec(v)->cellRect(v->size, axis == vlistROWS ? index : 0, axis == vlistROWS ? 0 : index, &c);
  return axis == vlistROWS ? c.y : c.x;
}

// The part of the content from the window position of a grid offset to
// the far end (the bottom for rows, the right for columns).
vrect stripFrom(vlistview* v, std::int32_t offset, int axis) {
  vrect r = v->content;
  if (axis == vlistROWS) {
    int top = v->gridTop - offset;  // window y of that grid row's top edge
    r.height = std::int16_t(std::clamp(top - r.y, 0, int(r.height)));
  } else {
    int left = std::clamp(v->gridX + offset, int(r.x), r.x + r.width);
    r.width = std::int16_t(r.x + r.width - left);
    r.x = std::int16_t(left);
  }
  return r;
}

// Moves the strip towards the far end by delta pixels (back with a
// negative delta), or invalidates it in update mode 1.
void shiftStrip(vlistview* v, vrect strip, std::int32_t delta, int axis) {
  if (strip.width <= 0 || strip.height <= 0 || !vdialogItemIsShown(v) || (v->state & vlistviewNO_DRAWING)) return;
  if (v->updateMode == 1 || delta >= (axis == vlistROWS ? strip.height : strip.width) ||
      -delta >= (axis == vlistROWS ? strip.height : strip.width)) {
    vdialogItemClassOf(v)->invalRect(v, &strip, 1);
    return;
  }
  // Window y grows upward: moving rows down is a negative dy.
  vdialogItemClassOf(v)->scrollRect(v, &strip, axis == vlistROWS ? 0 : delta, axis == vlistROWS ? -delta : 0, 1);
}

// The focus moves without the one-only selection following it.
void moveFocusQuietly(vlistview* v, std::int32_t row, std::int32_t column) {
  v->state |= kFocusMoving;
  vlistviewSetFocusCell(v, row, column);
  v->state &= ~kFocusMoving;
}
bool oneOnlyEmpty(vlistview* v) {
  return v->selection && v->selection->mode == vlistONE_ONLY_SELECTION &&
         vlistCountSelectedCells(v->list, v->selection) == 0;
}

void cellChanged(void* r, std::int32_t row, std::int32_t column) {
  vlistview* v = viewOf(r);
  if (isOpen(v)) vlistviewInvalCell(v, row, column);
}

void inserted(void* r, std::int32_t index, std::int32_t count, int axis) {
  vlistview* v = viewOf(r);
  v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  sizeRec(v)->insert(v->size, index, count, axis);
  if (isOpen(v)) {
    std::int32_t last = axis == vlistROWS ? v->lastRow : v->lastColumn;
    std::int32_t first = axis == vlistROWS ? v->firstRow : v->firstColumn;
    if (count >= countOf(v, axis)) {
      invalContent(v);
    } else if (index <= last + 1) {
      std::int32_t step = axis == vlistROWS ? vlistsizeGetDefaultHeight(v->size) : vlistsizeGetDefaultWidth(v->size);
      std::int32_t from = index < first ? gridStart(v, first, axis) - (axis == vlistROWS ? wideVOffset(v) : -wideHOffset(v))
                                        : gridStart(v, index, axis);
      shiftStrip(v, stripFrom(v, from, axis), std::int32_t(std::min<std::int64_t>(std::int64_t(count) * step, 0x7FFF)),
                 axis);
    }
    vobjectSendOperand(v, vname_MinSize);
  }
  if (oneOnlyEmpty(v)) {
    std::int32_t row = v->focusRow, column = v->focusColumn;
    std::int32_t& focus = axis == vlistROWS ? row : column;
    if (focus >= index) focus += count;
    moveFocusQuietly(v, row, column);
  } else {
    std::int32_t& focus = axis == vlistROWS ? v->focusRow : v->focusColumn;
    if (focus >= index) focus += count;
  }
  if (isOpen(v)) recompute(v);
}

void deleted(void* r, std::int32_t index, std::int32_t count, int axis) {
  vlistview* v = viewOf(r);
  v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  std::int32_t first = axis == vlistROWS ? v->firstRow : v->firstColumn;
  std::int32_t last = axis == vlistROWS ? v->lastRow : v->lastColumn;
  if (isOpen(v) && index <= last) {
    if (countOf(v, axis) == 0) {
      invalContent(v);
    } else if (index + count - 1 < first) {
      invalContent(v);  // everything shown moves: drawn afresh
    } else {
      // The sizes are still those before the deletion.
      std::int32_t start = gridStart(v, index, axis), end = gridStart(v, index + count, axis);
      shiftStrip(v, stripFrom(v, start, axis), -(end - start), axis);
    }
  }
  sizeRec(v)->remove(v->size, index, count, axis);
  if (isOpen(v)) {
    vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
    vobjectSendOperand(v, vname_MinSize);
  }
  std::int32_t n = countOf(v, axis);
  std::int32_t row = v->focusRow, column = v->focusColumn;
  std::int32_t& focus = axis == vlistROWS ? row : column;
  if (focus >= index) focus = std::max(0, std::min(focus - count, n - 1));
  if (oneOnlyEmpty(v))
    moveFocusQuietly(v, row, column);
  else
    v->focusRow = row, v->focusColumn = column;
  if (isOpen(v)) recompute(v);
}

void moved(void* r, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
  vlistview* v = viewOf(r);
  sizeRec(v)->move(v->size, from, to, count, axis);
  invalContent(v);
}
void exchanged(void* r, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
  vlistview* v = viewOf(r);
  sizeRec(v)->exchange(v->size, a, b, count, axis);
  invalContent(v);
}

// The cells behind the smaller count are redrawn; a focus beyond the new
// count comes back to its last row or column.
void countChanged(void* r, std::int32_t oldCount, std::int32_t newCount, int axis) {
  vlistview* v = viewOf(r);
  v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  if (!isOpen(v) || oldCount == newCount) return;
  _vlistviewSetScrollOrigin(v, &v->content, v->originX, v->originY);
  if (!hasCells(v)) {
    invalContent(v);
    vobjectSendOperand(v, vname_MinSize);
  } else {
    vrect strip = stripFrom(v, gridStart(v, std::min(oldCount, newCount), axis), axis);
    if (strip.width > 0 && strip.height > 0 && vdialogItemIsShown(v) && !(v->state & vlistviewNO_DRAWING))
      vdialogItemClassOf(v)->invalRect(v, &strip, 1);
    std::int32_t row = v->focusRow, column = v->focusColumn;
    std::int32_t& focus = axis == vlistROWS ? row : column;
    if (newCount < oldCount && focus >= newCount) {
      focus = std::max(0, newCount - 1);
      moveFocusQuietly(v, row, column);
    }
  }
  recompute(v);
  vobjectSendOperand(v, vname_MinSize);
  vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
}

void storageReplaced(void* r) {
  vlistview* v = viewOf(r);
  invalContent(v);
  if (isOpen(v)) recompute(v);
}

void listDestroyed(void* r) { vlistviewSetList(viewOf(r), nullptr); }

void beginChange(vlistview* v) {
  vlistCopySelection(v->list, v->selection, v->pendingSelection);
  notifyView(v, 1);
}
// The differences redrawn, the pending selection cleared and, in one-only
// mode, the focus on the selected cell.
void finishChange(vlistview* v) {
  vlistSelection* s = v->selection;
  redrawSelectionDifference(v, v->pendingSelection, s);
  vlistUnselectRange(v->list, v->pendingSelection, 0, 0, vlistGetRowCount(v->list), vlistGetColumnCount(v->list));
  if (s->mode == vlistONE_ONLY_SELECTION && vlistCountSelectedCells(v->list, s) > 0) {
    std::int32_t row = 0, column = 0;
    vlistGetFirstSelectedCell(v->list, s, &row, &column);
    moveFocusQuietly(v, row, column);
  }
}
void endChange(vlistview* v) {
  if (!(v->notifyGuard & kEndGuard) && v->selectionCallback) v->selectionCallback(v, v->selection);
  if (!(v->notifyGuard & kBeginGuard)) notifyView(v, 3);
  finishChange(v);
}

void selectionChanging(void* r, vlistSelection* s, int phase) {
  vlistview* v = viewOf(r);
  if (s != v->selection || !isOpen(v) || (v->state & kSuspended)) return;
  if (phase == 0) {
    if (!(v->notifyGuard & kBeginGuard)) beginChange(v);
  } else {
    endChange(v);
  }
}

// Updates held back by the list (a sort): the selection as it was is kept
// now; one begin and one end are given when the updates resume.
void suspended(void* r, int phase) {
  vlistview* v = viewOf(r);
  if (phase == 0) {
    if (v->selection && isOpen(v)) vlistCopySelection(v->list, v->selection, v->pendingSelection);
    v->state |= kSuspended;
    return;
  }
  v->state &= ~kSuspended;
  if (!v->selection || !isOpen(v)) return;
  std::uint8_t guard = v->notifyGuard;
  v->notifyGuard = std::uint8_t(guard | kBeginGuard);
  notifyView(v, 1);
  v->notifyGuard = std::uint8_t(guard | kEndGuard);
  if (v->selectionCallback) v->selectionCallback(v, v->selection);
  notifyView(v, 3);
  v->notifyGuard = guard;
  finishChange(v);
  invalContent(v);
}

void selectionModeSet(void* r, vlistSelection* s, int mode) {
  vlistview* v = viewOf(r);
  if (s != v->selection) return;
  vlistSetSelectionMode(v->list, v->oldSelection, mode);
  vlistSetSelectionMode(v->list, v->pendingSelection, mode);
}

void selectionFlagsSet(void* r, vlistSelection* s) {
  vlistview* v = viewOf(r);
  if (s != v->selection) return;
  for (vlistSelection* t : {v->oldSelection, v->pendingSelection}) {
    vlistSetSelectionWholeRows(v->list, t, (s->flags & vlistWHOLE_ROWS) != 0);
    vlistSetSelectionWholeColumns(v->list, t, (s->flags & vlistWHOLE_COLUMNS) != 0);
    vlistSetSelectionAtLeastOne(v->list, t, (s->flags & vlistAT_LEAST_ONE) != 0);
  }
}

}  // namespace

namespace vlistviewint {

vlistObserverClassRec* buildObserverClass() {
  auto* c = vclassSpawnOf<vlistObserverClassRec>(vlistObserverGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vlistviewObserver"));
  c->instanceSize = sizeof(ViewObserver);
  c->cellChanged = cellChanged;
  c->inserted = inserted;
  c->deleted = deleted;
  c->exchanged = exchanged;
  c->moved = moved;
  c->countChanged = countChanged;
  c->storageReplaced = storageReplaced;
  c->destroyed = listDestroyed;
  c->selectionChanging = selectionChanging;
  c->selectionModeSet = selectionModeSet;
  c->selectionFlagsSet = selectionFlagsSet;
  c->sorting = suspended;
  return c;
}

vlistObserver* createObserver(vlistObserverClassRec* cls, vlistview* v) {
  auto* o = static_cast<ViewObserver*>(vinstanceCreate(cls));
  o->view = v;
  o->client = v;
  o->flags |= vlistObserverOWNED;
  return o;
}

}  // namespace vlistviewint
