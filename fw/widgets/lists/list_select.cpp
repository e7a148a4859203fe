// Cell selections: their edits, the list's selection rule, the bracketed
// announcements, the walks that keep them in step with structural edits,
// and the iterator.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "fw/core/mem.h"
#include "fw/widgets/lists/list_internal.h"

namespace {

vpool* selectionPool = nullptr;

vpool* pool() {
  if (!selectionPool) selectionPool = vpoolCreate(sizeof(vlistSelection));
  return selectionPool;
}

vlistClassRec* rec(const vlist* l) { return vlistClassOf(l); }
std::int32_t rows(const vlist* l) { return l->cells.rowCount; }
std::int32_t columns(const vlist* l) { return l->cells.columnCount; }

vrectLong rectOf(std::int32_t row, std::int32_t column, std::int32_t nRows, std::int32_t nColumns) {
  return vrectLong{column, row, nColumns, nRows};
}
vrectLong whole(const vlist* l) { return vrectLong{0, 0, columns(l), rows(l)}; }

// Selections whose rectangles are as a combination leaves them, in band
// order (by top, then left): combining such rectangles again, alone or
// with a rectangle covering them all, gives them back unchanged, and one
// more rectangle that touches none of them joins them as it is. Each edit
// then costs a walk over the rectangles rather than a combination of them.
std::unordered_map<const vlistSelection*, const vrectLong*>& settledRects() {
  static std::unordered_map<const vlistSelection*, const vrectLong*> settled;
  return settled;
}
bool settled(const vlistSelection* s) {
  auto it = settledRects().find(s);
  return it != settledRects().end() && it->second == s->rects;
}

bool bandOrder(const vrectLong& a, const vrectLong& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; }

void replace(vlistSelection* s, vrectLong* rects, int n, bool combined = false) {
  vrectLongDestroyList(s->rects);
  s->rects = rects;
  s->rectCount = n;
  if (combined)
    settledRects()[s] = rects;
  else
    settledRects().erase(s);
}

vrectLong* listOf(const std::vector<vrectLong>& rects) {
  vrectLong* out = vrectLongCreateList(static_cast<int>(rects.size()));
  if (!rects.empty()) std::memcpy(out, rects.data(), rects.size() * sizeof(vrectLong));
  return out;
}

void combineWith(vlistSelection* s, const vrectLong* b, int nb, int tagB, int result) {
  int n = 0;
  vrectLong* r = vrectLongCombineLists(s->rects, b, s->rectCount, nb, 1, tagB, result, &n);
  std::sort(r, r + n, bandOrder);
  replace(s, r, n, true);
}

// Whether two rectangles overlap or share any point of their borders.
bool touches(const vrectLong& a, const vrectLong& b) {
  return a.x <= std::int64_t{b.x} + b.width && b.x <= std::int64_t{a.x} + a.width && a.y <= std::int64_t{b.y} + b.height &&
         b.y <= std::int64_t{a.y} + a.height;
}

void unite(vlistSelection* s, const vrectLong& r) {
  bool alone = settled(s) && r.width > 0 && r.height > 0;
  for (std::int32_t i = 0; i < s->rectCount && alone; ++i) alone = !touches(s->rects[i], r);
  if (!alone) return combineWith(s, &r, 1, 1, 1);
  vrectLong* out = vrectLongCreateList(s->rectCount + 1);
  const vrectLong* at = std::upper_bound(s->rects, s->rects + s->rectCount, r, bandOrder);
  auto before = at - s->rects;
  std::copy(s->rects, s->rects + before, out);
  out[before] = r;
  std::copy(s->rects + before, s->rects + s->rectCount, out + before + 1);
  replace(s, out, s->rectCount + 1, true);
}
void intersect(vlistSelection* s, const vrectLong& r) {
  bool inside = settled(s);
  for (std::int32_t i = 0; i < s->rectCount && inside; ++i) inside = vrectLongContainsRect(&r, &s->rects[i]);
  if (!inside) combineWith(s, &r, 1, 2, 3);
}
void subtract(vlistSelection* s, const vrectLong& r) { combineWith(s, &r, 1, 2, 1); }
void normalize(vlistSelection* s) {
  if (!settled(s)) combineWith(s, nullptr, 0, 1, 1);
}

vrectLong bounds(const vlistSelection* s) {
  vrectLong b{0, 0, 0, 0};
  if (s->rectCount > 0) vrectLongListGetBounds(s->rects, s->rectCount, &b);
  return b;
}

std::int64_t cellCount(const vlistSelection* s) {
  std::int64_t n = 0;
  for (std::int32_t i = 0; i < s->rectCount; ++i) n += std::int64_t{s->rects[i].width} * s->rects[i].height;
  return n;
}

bool coversWholeList(const vlistSelection* s) {
  vrectLong w = whole(s->list);
  return s->rectCount == 1 && vrectLongEqual(&s->rects[0], &w);
}

// ---- Internal edits: nothing is announced.

void removeRange(vlistSelection* s, std::int32_t row, std::int32_t column, std::int32_t nRows, std::int32_t nColumns) {
  vlist* l = s->list;
  vrectLong range = rectOf(row, column, nRows, nColumns);
  if (s->flags & vlistWHOLE_ROWS) range = rectOf(row, 0, nRows, columns(l));
  else if (s->flags & vlistWHOLE_COLUMNS) range = rectOf(0, column, rows(l), nColumns);
  vrectLong base = (s->flags & (vlistWHOLE_ROWS | vlistWHOLE_COLUMNS)) ? whole(l) : bounds(s);
  int n = 0;
  vrectLong* kept = vrectLongCombineLists(&base, &range, 1, 1, 1, 2, 1, &n);
  combineWith(s, kept, n, 2, 3);
  vrectLongDestroyList(kept);
}

void addRange(vlistSelection* s, std::int32_t row, std::int32_t column, std::int32_t nRows, std::int32_t nColumns) {
  if (s->mode == vlistONE_ONLY_SELECTION && s->rectCount > 0) {
    vrectLong b = bounds(s);
    removeRange(s, b.y, b.x, b.height, b.width);
  }
  // Whole rows or columns take the range as the selection rule will.
  vrectLong range = rectOf(row, column, nRows, nColumns);
  if ((s->flags & vlistWHOLE_ROWS) && nRows > 0 && nColumns > 0)
    range.x = 0, range.width = columns(s->list);
  else if ((s->flags & vlistWHOLE_COLUMNS) && nRows > 0 && nColumns > 0)
    range.y = 0, range.height = rows(s->list);
  unite(s, range);
}

// Removes everything from cell (0, 0) to the bounding rectangle's far corner.
void clearToBounds(vlistSelection* s) {
  vrectLong b = bounds(s);
  removeRange(s, 0, 0, b.y + b.height, b.x + b.width);
}

// The list's selection rule, after every change.
void reevaluate(vlistSelection* s) {
  vlist* l = s->list;
  ++l->hold;
  if (!(s->flags & vlistDETACHED)) intersect(s, whole(l));
  if (s->mode == vlistONE_ONLY_SELECTION && cellCount(s) > 1) {
    vrectLong first = s->rects[0];
    clearToBounds(s);
    addRange(s, first.y, first.x, 1, 1);
  } else if (s->mode == vlistRECTANGULAR_SELECTION && s->rectCount > 0) {
    vrectLong b = bounds(s);
    clearToBounds(s);
    addRange(s, b.y, b.x, b.height, b.width);
  } else if (s->mode == vlistNO_SELECTION && s->rectCount > 0) {
    clearToBounds(s);
  }
  if ((s->flags & vlistAT_LEAST_ONE) && s->mode != vlistNO_SELECTION && s->rectCount == 0 && rows(l) >= 1 &&
      columns(l) >= 1)
    addRange(s, 0, 0, 1, 1);
  if (s->flags & (vlistWHOLE_ROWS | vlistWHOLE_COLUMNS)) {
    bool byRows = (s->flags & vlistWHOLE_ROWS) != 0;
    bool changed = false;
    for (std::int32_t i = 0; i < s->rectCount; ++i) {
      vrectLong& r = s->rects[i];
      vrectLong before = r;
      if (byRows)
        r.x = 0, r.width = columns(l);
      else
        r.y = 0, r.height = rows(l);
      changed = changed || !vrectLongEqual(&before, &r);
    }
    if (changed) settledRects().erase(s);
    normalize(s);
  }
  l->hold = static_cast<std::int16_t>(std::max(0, l->hold - 1));
}

bool present(const vlist* l, const vlistSelection* s) {
  return s->slot >= 0 && s->slot < l->selectionLength && l->selections[s->slot] == s;
}

// The change is made and the selection re-evaluated between the two
// announcements, which only go out while nothing holds the list.
template <class F>
void bracketed(vlist* l, vlistSelection* s, F change) {
  if (l->hold < 1) {
    rec(l)->selectionChanging(l, s, 0);
    if (!present(l, s)) return;  // destroyed by an observer
  }
  change();
  reevaluate(s);
  if (l->hold < 1) rec(l)->selectionChanging(l, s, 1);
}

// ---- Walks after structural edits. Start and extent are along the axis.

std::int32_t& startOf(vrectLong& r, int axis) { return axis == vlistCOLUMNS ? r.x : r.y; }
std::int32_t& extentOf(vrectLong& r, int axis) { return axis == vlistCOLUMNS ? r.width : r.height; }
std::int32_t endOf(vrectLong r, int axis) { return startOf(r, axis) + extentOf(r, axis); }

bool endsAfter(const vlistSelection* s, std::int32_t index, int axis) {
  for (std::int32_t i = 0; i < s->rectCount; ++i)
    if (endOf(s->rects[i], axis) > index) return true;
  return false;
}

template <class Touched, class Adjust>
void walk(vlist* l, Touched touched, Adjust adjust) {
  for (std::int16_t i = 0; i < l->selectionLength; ++i)
    if (vlistSelection* s = l->selections[i]) s->flags |= vlistMARKED;
  for (std::int16_t i = 0; i < l->selectionLength; ++i) {
    vlistSelection* s = l->selections[i];
    if (!s || !(s->flags & vlistMARKED)) continue;
    s->flags &= static_cast<std::uint8_t>(~vlistMARKED);
    if (!(s->flags & vlistDETACHED) && touched(s)) bracketed(l, s, [&] { adjust(s); });
  }
}

void insertRects(vlistSelection* s, std::int32_t index, std::int32_t count, int axis) {
  std::vector<vrectLong> out;
  for (std::int32_t i = 0; i < s->rectCount; ++i) {
    vrectLong r = s->rects[i];
    std::int32_t start = startOf(r, axis), end = endOf(r, axis);
    if (start >= index) {
      startOf(r, axis) += count;
    } else if (end > index) {
      vrectLong after = r;
      extentOf(r, axis) = index - start;
      startOf(after, axis) = index + count;
      extentOf(after, axis) = end - index;
      out.push_back(after);
    }
    out.push_back(r);
  }
  replace(s, listOf(out), static_cast<int>(out.size()));
}

void deleteRects(vlistSelection* s, std::int32_t index, std::int32_t count, int axis) {
  std::int32_t blockEnd = index + count;
  std::vector<vrectLong> out;
  for (std::int32_t i = 0; i < s->rectCount; ++i) {
    vrectLong r = s->rects[i];
    std::int32_t start = startOf(r, axis), end = endOf(r, axis);
    if (start <= index && index < end) {
      extentOf(r, axis) = blockEnd >= end ? index - start : extentOf(r, axis) - count;
    } else if (start > index && start < blockEnd) {
      startOf(r, axis) = index;
      extentOf(r, axis) = end - blockEnd;
    } else if (start >= blockEnd) {
      startOf(r, axis) -= count;
    }
    if (extentOf(r, axis) > 0) out.push_back(r);
  }
  replace(s, listOf(out), static_cast<int>(out.size()));
  normalize(s);
}

// The band of count rows (or columns) at p, across the selection's extent.
vrectLong band(const vlistSelection* s, std::int32_t p, std::int32_t count, int axis) {
  vrectLong b = bounds(s);
  startOf(b, axis) = p;
  extentOf(b, axis) = count;
  return b;
}

// The selected part of a band, moved by delta along the axis.
std::vector<vrectLong> partOf(const vlistSelection* s, const vrectLong& area, std::int32_t delta, int axis) {
  int n = 0;
  vrectLong* part = vrectLongCombineLists(s->rects, &area, s->rectCount, 1, 1, 2, 3, &n);
  std::vector<vrectLong> out(part, part + n);
  vrectLongDestroyList(part);
  for (vrectLong& r : out) startOf(r, axis) += delta;
  return out;
}

void uniteAll(vlistSelection* s, const std::vector<vrectLong>& rects) {
  vrectLong* list = listOf(rects);
  combineWith(s, list, static_cast<int>(rects.size()), 1, 1);
  vrectLongDestroyList(list);
}

bool sameCells(const std::vector<vrectLong>& a, const std::vector<vrectLong>& b) {
  for (int pass = 0; pass < 2; ++pass) {
    const std::vector<vrectLong>& x = pass ? b : a;
    const std::vector<vrectLong>& y = pass ? a : b;
    int n = 0;
    vrectLong* rest = vrectLongCombineLists(x.data(), y.data(), static_cast<int>(x.size()), static_cast<int>(y.size()),
                                            1, 2, 1, &n);
    vrectLongDestroyList(rest);
    if (n > 0) return false;
  }
  return true;
}

}  // namespace

void _vlistWalkInsert(vlist* list, std::int32_t index, std::int32_t count, int axis) {
  walk(list, [&](vlistSelection* s) { return endsAfter(s, index, axis); },
       [&](vlistSelection* s) { insertRects(s, index, count, axis); });
}

void _vlistWalkDelete(vlist* list, std::int32_t index, std::int32_t count, int axis) {
  walk(list, [&](vlistSelection* s) { return endsAfter(s, index, axis); },
       [&](vlistSelection* s) { deleteRects(s, index, count, axis); });
}

void _vlistWalkExchange(vlist* list, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
  walk(
      list,
      [&](vlistSelection* s) {
        if (s->rectCount == 0 || coversWholeList(s)) return false;
        return !sameCells(partOf(s, band(s, a, count, axis), b - a, axis), partOf(s, band(s, b, count, axis), 0, axis));
      },
      [&](vlistSelection* s) {
        std::vector<vrectLong> fromA = partOf(s, band(s, a, count, axis), b - a, axis);
        std::vector<vrectLong> fromB = partOf(s, band(s, b, count, axis), a - b, axis);
        vrectLong bandA = band(s, a, count, axis), bandB = band(s, b, count, axis);
        subtract(s, bandA);
        subtract(s, bandB);
        uniteAll(s, fromA);
        uniteAll(s, fromB);
      });
}

void _vlistWalkMove(vlist* list, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
  walk(list, [&](vlistSelection* s) { return s->rectCount > 0 && !coversWholeList(s); },
       [&](vlistSelection* s) {
         std::vector<vrectLong> taken = partOf(s, band(s, from, count, axis), to - from, axis);
         deleteRects(s, from, count, axis);
         insertRects(s, to, count, axis);
         uniteAll(s, taken);
       });
}

void _vlistWalkCount(vlist* list, std::int32_t oldCount, std::int32_t newCount, int axis) {
  if (oldCount == newCount) return;
  walk(
      list,
      [&](vlistSelection* s) {
        if (newCount < oldCount) {
          for (std::int32_t i = 0; i < s->rectCount; ++i)
            if (startOf(s->rects[i], axis) < oldCount && endOf(s->rects[i], axis) > newCount) return true;
          return false;
        }
        return (s->flags & (vlistWHOLE_ROWS | vlistWHOLE_COLUMNS)) ||
               (oldCount == 0 && (s->flags & vlistAT_LEAST_ONE) && s->mode != vlistNO_SELECTION);
      },
      [](vlistSelection*) {});
}

void _vlistDestroySelections(vlist* list) {
  for (std::int16_t i = 0; i < list->selectionLength; ++i)
    if (vlistSelection* s = list->selections[i]) vlistDestroySelection(list, s);
  vmemFree(list->selections);
  list->selections = nullptr;
  list->selectionLength = 0;
}

void _vlistFreeSelectionPool() {
  if (selectionPool) vpoolDestroy(selectionPool);
  selectionPool = nullptr;
}

vlistSelection* vlistCreateSelection(vlist* list) {
  std::int16_t slot = 0;
  while (slot < list->selectionLength && list->selections[slot]) ++slot;
  if (slot == list->selectionLength) {
    list->selections = static_cast<vlistSelection**>(
        vmemRealloc(list->selections, vmemArraySize(static_cast<std::size_t>(slot) + 1, sizeof(vlistSelection*))));
    list->selections[slot] = nullptr;
    ++list->selectionLength;
  }
  auto* s = static_cast<vlistSelection*>(vpoolAlloc(pool()));
  *s = vlistSelection{slot, vlistFREE_SELECTION, 0, vrectLongCreateList(0), 0, list, 0};
  list->selections[slot] = s;
  ++list->selectionCount;
  return s;
}

vlistSelection* vlistCreateSelectionCopy(vlist* list, const vlistSelection* from) {
  vlistSelection* s = vlistCreateSelection(list);
  vlistCopySelection(list, from, s);
  return s;
}

void vlistCopySelection(vlist*, const vlistSelection* from, vlistSelection* to) {
  if (from == to) return;
  to->mode = from->mode;
  to->flags = static_cast<std::uint8_t>(from->flags & ~vlistMARKED);
  replace(to, vrectLongCloneList(from->rects, from->rectCount), from->rectCount);
  to->client = from->client;
}

void vlistDestroySelection(vlist* list, vlistSelection* selection) {
  if (!present(list, selection)) return;
  settledRects().erase(selection);
  vrectLongDestroyList(selection->rects);
  list->selections[selection->slot] = nullptr;
  --list->selectionCount;
  vpoolFree(pool(), selection);
}

void vlistSetSelectionMode(vlist* list, vlistSelection* s, int mode) {
  if (s->mode != mode) {
    s->mode = static_cast<std::int16_t>(mode);
    rec(list)->selectionModeSet(list, s, mode);
  }
  std::int64_t cells = cellCount(s);
  if ((mode == vlistONE_ONLY_SELECTION && cells >= 2) || (mode == vlistNO_SELECTION && s->rectCount >= 1) ||
      (mode == vlistRECTANGULAR_SELECTION && s->rectCount > 1) ||
      (mode != vlistNO_SELECTION && (s->flags & vlistAT_LEAST_ONE) && cells == 0))
    bracketed(list, s, [] {});
}

namespace {
void setWhole(vlist* list, vlistSelection* s, int on, std::uint8_t flag, std::uint8_t other) {
  if (on)
    s->flags = static_cast<std::uint8_t>((s->flags | flag) & ~other);
  else
    s->flags &= static_cast<std::uint8_t>(~flag);
  rec(list)->selectionFlagsSet(list, s);
  if (!on || (s->flags & vlistDETACHED)) return;
  bool byRows = flag == vlistWHOLE_ROWS;
  for (std::int32_t i = 0; i < s->rectCount; ++i) {
    const vrectLong& r = s->rects[i];
    bool full = byRows ? (r.x == 0 && r.width == columns(list)) : (r.y == 0 && r.height == rows(list));
    if (!full) return bracketed(list, s, [] {});
  }
}
}  // namespace

void vlistSetSelectionWholeRows(vlist* list, vlistSelection* s, int on) {
  setWhole(list, s, on, vlistWHOLE_ROWS, vlistWHOLE_COLUMNS);
}
void vlistSetSelectionWholeColumns(vlist* list, vlistSelection* s, int on) {
  setWhole(list, s, on, vlistWHOLE_COLUMNS, vlistWHOLE_ROWS);
}

void vlistSetSelectionAtLeastOne(vlist* list, vlistSelection* s, int on) {
  if (on)
    s->flags |= vlistAT_LEAST_ONE;
  else
    s->flags &= static_cast<std::uint8_t>(~vlistAT_LEAST_ONE);
  rec(list)->selectionFlagsSet(list, s);
  if (on && s->rectCount == 0) bracketed(list, s, [] {});
}

void vlistSelectRange(vlist* list, vlistSelection* s, std::int32_t row, std::int32_t column, std::int32_t nRows,
                      std::int32_t nColumns) {
  vrectLong range = rectOf(row, column, nRows, nColumns);
  bool inside = nRows <= 0 || nColumns <= 0;
  for (std::int32_t i = 0; i < s->rectCount && !inside; ++i) inside = vrectLongContainsRect(&s->rects[i], &range);
  auto change = [&] { addRange(s, row, column, nRows, nColumns); };
  if (list->hold < 1 && !(s->flags & vlistDETACHED) && !inside)
    return bracketed(list, s, change);
  change();
  reevaluate(s);
}

void vlistUnselectRange(vlist* list, vlistSelection* s, std::int32_t row, std::int32_t column, std::int32_t nRows,
                        std::int32_t nColumns) {
  vrectLong range = rectOf(row, column, nRows, nColumns);
  auto change = [&] { removeRange(s, row, column, nRows, nColumns); };
  if (list->hold < 1 && !(s->flags & vlistDETACHED) && vrectLongListIntersects(&range, s->rects, s->rectCount))
    return bracketed(list, s, change);
  change();
  reevaluate(s);
}

int vlistIsCellSelected(vlist*, const vlistSelection* s, std::int32_t row, std::int32_t column) {
  return vrectLongListContainsPoint(s->rects, s->rectCount, column, row) ? 1 : 0;
}

std::int32_t vlistCountSelectedCells(vlist*, const vlistSelection* s) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(cellCount(s), INT32_MAX));
}

void vlistGetFirstSelectedCell(vlist*, const vlistSelection* s, std::int32_t* row, std::int32_t* column) {
  *row = s->rectCount > 0 ? s->rects[0].y : -1;
  *column = s->rectCount > 0 ? s->rects[0].x : -1;
}

vlistSelection* vlistCreateSelectionIntersection(vlist* list, const vlistSelection* a, const vlistSelection* b) {
  vlistSelection* s = vlistCreateSelection(list);
  int n = 0;
  vrectLong* both = vrectLongCombineLists(a->rects, b->rects, a->rectCount, b->rectCount, 1, 2, 3, &n);
  replace(s, both, n);
  return s;
}

vlistSelection* vlistCreateSelectionDifference(vlist* list, const vlistSelection* a, const vlistSelection* b) {
  vlistSelection* s = vlistCreateSelection(list);
  int na = 0, nb = 0, n = 0;
  vrectLong* onlyA = vrectLongCombineLists(a->rects, b->rects, a->rectCount, b->rectCount, 1, 2, 1, &na);
  vrectLong* onlyB = vrectLongCombineLists(b->rects, a->rects, b->rectCount, a->rectCount, 1, 2, 1, &nb);
  vrectLong* either = vrectLongCombineLists(onlyA, onlyB, na, nb, 1, 1, 1, &n);
  vrectLongDestroyList(onlyA);
  vrectLongDestroyList(onlyB);
  replace(s, either, n);
  return s;
}

void vlistInitSelectionIterator(vlistSelectionIterator* it, const vlistSelection* s) {
  *it = vlistSelectionIterator{nullptr, 0, s->rectCount, 0, -1, -1, -1, -1, s->list};
  if (s->rectCount == 0) return;
  it->rects = vrectLongCloneList(s->rects, s->rectCount);
  it->nextColumn = it->column = it->rects[0].x;
  it->nextRow = it->row = it->rects[0].y;
}

int vlistNextSelectedCell(vlistSelectionIterator* it) {
  if (!it->rects) return 0;
  it->row = it->nextRow;
  it->column = it->nextColumn;
  const vrectLong* r = &it->rects[it->index];
  bool nextRect = (it->options & 1) != 0;
  if (!nextRect) {
    if (++it->nextColumn >= r->x + r->width) {
      it->nextColumn = r->x;
      if (++it->nextRow >= r->y + r->height) nextRect = true;
    }
  }
  if (nextRect) {
    if (++it->index < it->rectCount) {
      it->nextColumn = it->rects[it->index].x;
      it->nextRow = it->rects[it->index].y;
    } else {
      vlistDestroySelectionIterator(it);
      it->nextColumn = it->nextRow = -1;
    }
  }
  return 1;
}

void vlistDestroySelectionIterator(vlistSelectionIterator* it) {
  if (it->rects) vrectLongDestroyList(it->rects);
  it->rects = nullptr;
}
