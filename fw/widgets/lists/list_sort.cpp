// Find by prefix and the stable in-place merge sort of rows or columns.
#include <cstring>

#include "fw/core/scribe.h"
#include "fw/widgets/lists/list_internal.h"

namespace {

vlistClassRec* rec(const vlist* l) { return vlistClassOf(l); }

// The leading characters of text that the folded cell text matches.
std::int32_t matched(const char* cell, const char* text) {
  if (!cell) return 0;
  char* folded = vscribeCreateString(vscribeLowerCaseNoAccents(cell));
  std::int32_t n = 0;
  while (text[n] && folded[n] == text[n]) ++n;
  vscribeFreeString(folded);
  return n;
}

}  // namespace

int _vlistFindByPrefix(vlist* list, const char* text, std::int32_t* a, std::int32_t* b, std::int32_t startRow,
                       std::int32_t startColumn, int options) {
  if (options == 0) options = 4;
  bool byColumns = (options & 4) != 0;
  bool texts = (options & 6) != 0;
  auto length = static_cast<std::int32_t>(text ? std::strlen(text) : 0);
  std::int32_t outerStart = byColumns ? startColumn : startRow;
  std::int32_t innerStart = byColumns ? startRow : startColumn;
  std::int32_t outerEnd = byColumns ? list->cells.columnCount : list->cells.rowCount;
  std::int32_t innerEnd = byColumns ? list->cells.rowCount : list->cells.columnCount;
  std::int32_t best = 0, bestOuter = outerStart, bestInner = innerStart;
  bool done = false;
  for (std::int32_t o = outerStart; o < outerEnd && !done; ++o)
    for (std::int32_t i = innerStart; i < innerEnd; ++i) {
      std::int32_t row = byColumns ? i : o, column = byColumns ? o : i;
      std::int32_t n = texts && text ? matched(rec(list)->cellText(list, row, column), text) : 0;
      bool stop = (options & 1) && best > 0 && (n == 0 || n == length);
      if (n > best) best = n, bestOuter = o, bestInner = i;
      if (stop || ((options & 1) && n == length && n > 0)) {
        done = true;
        break;
      }
    }
  // Without a match the outputs get the start cell.
  if (options & 2) {
    *a = bestOuter, *b = bestInner;
  } else if (options & 4) {
    *a = bestInner, *b = bestOuter;
  }
  return best > 0 ? 1 : 0;
}

namespace {

int compareTexts(const void* a, const void* b) {
  if (!a || !b) return (a != nullptr) - (b != nullptr);
  return vcstrCompareNoCase(static_cast<const char*>(a), static_cast<const char*>(b));
}

struct Sorter {
  vlist* list;
  int axis;
  std::int32_t key;
  vlistCompareFunc compare;
  bool texts;

  const void* keyOf(std::int32_t i) const {
    std::int32_t row = axis == vlistCOLUMNS ? key : i, column = axis == vlistCOLUMNS ? i : key;
    if (texts) return rec(list)->cellText(list, row, column);
    return reinterpret_cast<const void*>(rec(list)->getCell(list, row, column));
  }
  int order(std::int32_t i, std::int32_t j) const { return compare(keyOf(i), keyOf(j)); }

  void sort(std::int32_t first, std::int32_t n) {
    if (n < 2) return;
    if (n == 2) {
      if (order(first, first + 1) > 0) rec(list)->exchangeOne(list, first, first + 1, axis);
      return;
    }
    std::int32_t half = n / 2;
    sort(first, half);
    sort(first + half, n - half);
    // Merge in place: a right entry moves before a left one only when the
    // left one is greater, so equal keys keep their order.
    std::int32_t left = first, leftEnd = first + half, right = first + half, end = first + n;
    while (left < leftEnd && right < end) {
      if (order(left, right) > 0) {
        rec(list)->move(list, right, left, 1, axis);
        ++leftEnd;
        ++right;
      }
      ++left;
    }
  }
};

void sortList(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare, bool texts) {
  if (axis != vlistCOLUMNS) axis = vlistROWS;
  std::int32_t n = axis == vlistCOLUMNS ? list->cells.columnCount : list->cells.rowCount;
  if (n < 2) return;
  rec(list)->sorting(list, 0);
  Sorter{list, axis, key, compare ? compare : compareTexts, texts}.sort(0, n);
  rec(list)->sorting(list, 1);
}

}  // namespace

void _vlistSortByValues(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare) {
  sortList(list, axis, key, compare, false);
}
void _vlistSortByTexts(vlist* list, int axis, std::int32_t key, vlistCompareFunc compare) {
  sortList(list, axis, key, compare, true);
}
