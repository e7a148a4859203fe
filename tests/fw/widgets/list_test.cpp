#include "fw/widgets/lists/list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "fw/data/vrstore.h"
#include "widgets_support.h"

namespace {

using Grid = std::vector<std::vector<vlistCell>>;  // [row][column]

Grid gridOf(vlist* l) {
  Grid g(static_cast<std::size_t>(vlistGetRowCount(l)),
         std::vector<vlistCell>(static_cast<std::size_t>(vlistGetColumnCount(l))));
  for (std::int32_t r = 0; r < vlistGetRowCount(l); ++r)
    for (std::int32_t c = 0; c < vlistGetColumnCount(l); ++c) g[std::size_t(r)][std::size_t(c)] = vlistGetCell(l, r, c);
  return g;
}

vlist* numbered(std::int32_t rows, std::int32_t columns, bool rowMajor) {
  vlist* l = vlistCreate();
  if (rowMajor) vlistClassOf(l)->setOrientation(l, 0);
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < columns; ++c) vlistSetCell(l, r, c, vlistCell(100 * r + c + 1));
  return l;
}

// The same edit on a plain grid, rows or columns.
void modelEdit(Grid& g, char op, int a, int b, int n, int axis) {
  auto transpose = [](const Grid& in) {
    Grid out(in.empty() ? 0 : in[0].size(), std::vector<vlistCell>(in.size()));
    for (std::size_t r = 0; r < in.size(); ++r)
      for (std::size_t c = 0; c < in[r].size(); ++c) out[c][r] = in[r][c];
    return out;
  };
  std::size_t width = g.empty() ? 0 : g[0].size();
  if (axis == vlistCOLUMNS) g = transpose(g);
  auto blank = std::vector<vlistCell>(axis == vlistCOLUMNS ? (g.empty() ? 0 : g[0].size()) : width);
  switch (op) {
    case 'i': g.insert(g.begin() + a, std::size_t(n), blank); break;
    case 'd': g.erase(g.begin() + a, g.begin() + std::min<std::size_t>(g.size(), std::size_t(a + n))); break;
    case 'x': for (int i = 0; i < n; ++i) std::swap(g[std::size_t(a + i)], g[std::size_t(b + i)]); break;
    case 'm': {
      Grid block(g.begin() + a, g.begin() + a + n);
      g.erase(g.begin() + a, g.begin() + a + n);
      g.insert(g.begin() + b, block.begin(), block.end());
      break;
    }
  }
  if (axis == vlistCOLUMNS) g = transpose(g);
}

TEST(ListModel, StructuralEditsInBothOrientationsMatchAPlainGrid) {
  struct Edit {
    char op;
    int a, b, n, axis;
  } edits[] = {
      {'i', 1, 0, 2, vlistROWS},    {'i', 0, 0, 1, vlistCOLUMNS}, {'i', 3, 0, 1, vlistCOLUMNS},
      {'d', 2, 0, 2, vlistROWS},    {'d', 0, 0, 1, vlistCOLUMNS}, {'x', 0, 3, 1, vlistROWS},
      {'x', 0, 2, 2, vlistROWS},    {'x', 1, 3, 1, vlistCOLUMNS}, {'m', 0, 3, 2, vlistROWS},
      {'m', 3, 0, 1, vlistROWS},    {'m', 2, 0, 2, vlistCOLUMNS}, {'d', 4, 0, 9, vlistROWS},
  };
  for (bool rowMajor : {false, true}) {
    vlist* l = numbered(6, 4, rowMajor);
    Grid model = gridOf(l);
    for (const Edit& e : edits) {
      auto* c = vlistClassOf(l);
      switch (e.op) {
        case 'i': c->insert(l, e.a, e.n, e.axis); break;
        case 'd': c->remove(l, e.a, e.n, e.axis); break;
        case 'x': c->exchange(l, e.a, e.b, e.n, e.axis); break;
        case 'm': c->move(l, e.a, e.b, e.n, e.axis); break;
      }
      modelEdit(model, e.op, e.a, e.b, e.n, e.axis);
      ASSERT_EQ(gridOf(l), model) << (rowMajor ? "row-major " : "column-major ") << e.op << e.a << "," << e.b;
    }
    // Turning the orientation keeps every cell.
    vlistClassOf(l)->setOrientation(l, rowMajor ? 1 : 0);
    EXPECT_EQ(gridOf(l), model);
    // Cells outside the counts read 0; deleting every row frees the storage.
    EXPECT_EQ(vlistGetCell(l, 50, 1), 0u);
    EXPECT_EQ(vlistGetCell(l, 0, 50), 0u);
    vlistClassOf(l)->remove(l, 0, vlistGetRowCount(l), vlistROWS);
    EXPECT_EQ(l->cells.storage, nullptr);
    EXPECT_EQ(vlistGetRowCount(l), 0);
    vlistSetCell(l, 2, 1, 7);  // grows both counts again
    EXPECT_EQ(vlistGetRowCount(l), 3);
    EXPECT_EQ(vlistGetCell(l, 2, 1), 7u);
    vinstanceDestroy(l);
  }
}

// Observers that write down what they are told.
std::vector<std::string> trace;
struct Recorder : vlistObserver {
  const char* name;
};
const char* nameOf(void* receiver) { return static_cast<Recorder*>(receiver)->name; }
void note(void* receiver, const std::string& what) { trace.push_back(std::string(nameOf(receiver)) + " " + what); }

vlistObserverClassRec* recorderClass() {
  static vlistObserverClassRec* c = [] {
    auto* r = vclassSpawnOf<vlistObserverClassRec>(vlistObserverGetDefaultClass());
    r->instanceSize = sizeof(Recorder);
    r->cellChanged = [](void* o, std::int32_t row, std::int32_t col) {
      note(o, "cell " + std::to_string(row) + "," + std::to_string(col));
    };
    r->inserted = [](void* o, std::int32_t i, std::int32_t n, int axis) {
      note(o, "insert " + std::to_string(i) + "+" + std::to_string(n) + "/" + std::to_string(axis));
    };
    r->exchanged = [](void* o, std::int32_t a, std::int32_t b, std::int32_t, int) {
      note(o, "exchange " + std::to_string(a) + "," + std::to_string(b));
    };
    r->moved = [](void* o, std::int32_t a, std::int32_t b, std::int32_t, int) {
      note(o, "move " + std::to_string(a) + "," + std::to_string(b));
    };
    r->selectionChanging = [](void* o, vlistSelection*, int phase) { note(o, "selection " + std::to_string(phase)); };
    r->countChanged = [](void* o, std::int32_t a, std::int32_t b, int axis) {
      note(o, "count " + std::to_string(a) + ">" + std::to_string(b) + "/" + std::to_string(axis));
    };
    r->sorting = [](void* o, int phase) { note(o, "sorting " + std::to_string(phase)); };
    r->destroyed = [](void* o) { note(o, "destroyed"); };
    return r;
  }();
  return c;
}
Recorder* recorder(const char* name) {
  auto* r = static_cast<Recorder*>(vinstanceCreate(recorderClass()));
  r->name = name;
  return r;
}

std::vector<std::pair<int, int>> cellsOf(vlist* l, const vlistSelection* s) {
  std::vector<std::pair<int, int>> out;
  vlistSelectionIterator it;
  vlistInitSelectionIterator(&it, s);
  while (vlistNextSelectedCell(&it)) out.emplace_back(it.row, it.column);
  vlistDestroySelectionIterator(&it);
  (void)l;
  return out;
}
std::vector<int> rowsOf(vlist* l, const vlistSelection* s) {
  std::vector<int> out;
  for (auto [r, c] : cellsOf(l, s))
    if (out.empty() || out.back() != r) out.push_back(r);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

TEST(ListModel, SelectionModesAndFlags) {
  vlist* l = numbered(6, 5, false);
  struct Case {
    int mode;
    std::vector<std::array<int, 4>> selects;  // row, column, rows, columns
    std::vector<std::pair<int, int>> cells;
  } cases[] = {
      {vlistFREE_SELECTION, {{0, 0, 1, 2}, {2, 1, 1, 1}}, {{0, 0}, {0, 1}, {2, 1}}},
      {vlistONE_ONLY_SELECTION, {{1, 1, 2, 2}}, {{1, 1}}},
      {vlistONE_ONLY_SELECTION, {{1, 1, 1, 1}, {3, 2, 1, 1}}, {{3, 2}}},
      {vlistRECTANGULAR_SELECTION, {{0, 0, 1, 1}, {1, 2, 1, 1}}, {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}}},
      {vlistNO_SELECTION, {{0, 0, 2, 2}}, {}},
  };
  for (const Case& c : cases) {
    vlistSelection* s = vlistCreateSelection(l);
    vlistSetSelectionMode(l, s, c.mode);
    for (const auto& r : c.selects) vlistSelectRange(l, s, r[0], r[1], r[2], r[3]);
    EXPECT_EQ(cellsOf(l, s), c.cells) << "mode " << c.mode;
    vlistDestroySelection(l, s);
  }
  // Setting mode 4 empties a selection.
  vlistSelection* s = vlistCreateSelection(l);
  vlistSelectRange(l, s, 0, 0, 2, 2);
  vlistSetSelectionMode(l, s, vlistNO_SELECTION);
  EXPECT_EQ(vlistCountSelectedCells(l, s), 0);
  std::int32_t row, column;
  vlistGetFirstSelectedCell(l, s, &row, &column);
  EXPECT_EQ(row, -1);
  EXPECT_EQ(column, -1);
  EXPECT_TRUE(cellsOf(l, s).empty());

  // Whole rows: a cell selects its row; unselecting any cell of it unselects
  // it; whole columns turn whole rows off.
  vlistSetSelectionMode(l, s, vlistFREE_SELECTION);
  vlistSetSelectionWholeRows(l, s, 1);
  vlistSelectRange(l, s, 2, 3, 1, 1);
  EXPECT_EQ(vlistCountSelectedCells(l, s), 5);
  EXPECT_TRUE(vlistIsCellSelected(l, s, 2, 0));
  vlistUnselectRange(l, s, 2, 4, 1, 1);
  EXPECT_EQ(vlistCountSelectedCells(l, s), 0);
  vlistSelectRange(l, s, 1, 0, 1, 1);
  vlistSetSelectionWholeColumns(l, s, 1);
  EXPECT_FALSE(s->flags & vlistWHOLE_ROWS);
  EXPECT_EQ(vlistCountSelectedCells(l, s), 6 * 5);  // every column touched by row 1

  // At least one: (0, 0) comes back; an empty list waits for cells.
  vlistSetSelectionWholeColumns(l, s, 0);
  vlistUnselectRange(l, s, 0, 0, 6, 5);
  vlistSetSelectionAtLeastOne(l, s, 1);
  EXPECT_EQ(cellsOf(l, s), (std::vector<std::pair<int, int>>{{0, 0}}));
  vlistUnselectRange(l, s, 0, 0, 1, 1);
  EXPECT_TRUE(vlistIsCellSelected(l, s, 0, 0));
  vlist* empty = vlistCreate();
  vlistSelection* e = vlistCreateSelection(empty);
  vlistSetSelectionAtLeastOne(empty, e, 1);
  EXPECT_EQ(vlistCountSelectedCells(empty, e), 0);
  vlistSetColumnCount(empty, 3);
  EXPECT_EQ(vlistCountSelectedCells(empty, e), 0);
  vlistSetRowCount(empty, 2);
  EXPECT_EQ(cellsOf(empty, e), (std::vector<std::pair<int, int>>{{0, 0}}));

  // Detached: kept beyond the list's extent when it shrinks.
  vlistSelection* d = vlistCreateSelection(empty);
  d->flags |= vlistDETACHED;
  vlistSelectRange(empty, d, 1, 2, 1, 1);
  vlistSetRowCount(empty, 1);
  EXPECT_TRUE(vlistIsCellSelected(empty, d, 1, 2));

  // Intersections and differences of a selection with itself.
  vlistSelectRange(l, s, 1, 1, 3, 3);
  vlistSelection* same = vlistCreateSelectionIntersection(l, s, s);
  EXPECT_EQ(cellsOf(l, same), cellsOf(l, s));
  vlistSelection* none = vlistCreateSelectionDifference(l, s, s);
  EXPECT_EQ(vlistCountSelectedCells(l, none), 0);
  vlistSelection* copy = vlistCreateSelectionCopy(l, s);
  vlistUnselectRange(l, copy, 1, 1, 1, 3);
  vlistSelection* diff = vlistCreateSelectionDifference(l, s, copy);
  EXPECT_EQ(cellsOf(l, diff), (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}}));
  EXPECT_EQ(l->selectionCount, 5);
  vinstanceDestroy(empty);
  vinstanceDestroy(l);
}

// Random selections and unselections, in free mode, by whole rows and by
// whole columns, with structural edits between them: the selected cells
// always equal a plain cell model, and the rectangles are exactly what one
// more combination would give back (in band order), however they were made.
TEST(ListModel, SelectionRectanglesStaySettledThroughRandomEdits) {
  std::uint32_t seed = 12345;
  auto next = [&](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return std::int32_t((seed >> 8) % n);
  };
  for (int flag : {0, int{vlistWHOLE_ROWS}, int{vlistWHOLE_COLUMNS}}) {
    vlist* l = vlistCreate();
    vlistSetColumnCount(l, 6);
    vlistSetRowCount(l, 40);
    vlistSelection* s = vlistCreateSelection(l);
    if (flag == vlistWHOLE_ROWS) vlistSetSelectionWholeRows(l, s, 1);
    if (flag == vlistWHOLE_COLUMNS) vlistSetSelectionWholeColumns(l, s, 1);
    std::vector<std::vector<bool>> model(40, std::vector<bool>(6, false));
    for (int step = 0; step < 400; ++step) {
      std::int32_t row = next(40), column = next(6), nRows = 1 + next(step % 3 ? 2 : 6), nColumns = 1 + next(3);
      bool on = next(4) != 0;
      if (step % 50 == 49) {
        // An edit that keeps the count: the model follows the rows.
        vlistClassOf(l)->exchange(l, 3, 20, 2, vlistROWS);
        for (int k = 0; k < 2; ++k) std::swap(model[std::size_t(3 + k)], model[std::size_t(20 + k)]);
      } else if (on) {
        vlistSelectRange(l, s, row, column, nRows, nColumns);
      } else {
        vlistUnselectRange(l, s, row, column, nRows, nColumns);
      }
      if (step % 50 != 49) {
        std::int32_t r0 = flag == vlistWHOLE_COLUMNS ? 0 : row, r1 = flag == vlistWHOLE_COLUMNS ? 40 : row + nRows;
        std::int32_t c0 = flag == vlistWHOLE_ROWS ? 0 : column, c1 = flag == vlistWHOLE_ROWS ? 6 : column + nColumns;
        for (std::int32_t r = r0; r < std::min(r1, 40); ++r)
          for (std::int32_t c = c0; c < std::min(c1, 6); ++c) model[std::size_t(r)][std::size_t(c)] = on;
      }
      for (std::int32_t r = 0; r < 40; ++r)
        for (std::int32_t c = 0; c < 6; ++c)
          ASSERT_EQ(vlistIsCellSelected(l, s, r, c) != 0, model[std::size_t(r)][std::size_t(c)])
              << "flag " << flag << " step " << step << " cell " << r << "," << c;
      int n = 0;
      vrectLong* again = vrectLongCombineLists(s->rects, nullptr, s->rectCount, 0, 1, 1, 1, &n);
      std::vector<vrectLong> want(again, again + n);
      vrectLongDestroyList(again);
      std::sort(want.begin(), want.end(),
                [](const vrectLong& a, const vrectLong& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
      ASSERT_EQ(n, s->rectCount) << "flag " << flag << " step " << step;
      for (int i = 0; i < n; ++i)
        ASSERT_TRUE(vrectLongEqual(&want[std::size_t(i)], &s->rects[i])) << "flag " << flag << " step " << step << " rect " << i;
    }
    vinstanceDestroy(l);
  }
}

#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
// Many separate one-row selections cost a walk each, not a combination of
// everything selected so far: a thousand on a million rows stay quick.
TEST(ListModel, AThousandSeparateRowSelectionsStayQuick) {
  vlist* l = vlistCreate();
  vlistSetCellGetter(l, [](vlist*, std::int32_t r, std::int32_t c) { return vlistCell(r * 4 + c); });
  vlistSetColumnCount(l, 4);
  vlistSetRowCount(l, 1000000);
  vlistSelection* s = vlistCreateSelection(l);
  std::clock_t start = std::clock();
  for (std::int32_t i = 0; i < 1000; ++i) vlistSelectRange(l, s, i * 997, 0, 1, 1);
  double ms = 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_EQ(s->rectCount, 1000);
  EXPECT_LT(ms, 150.0) << "processor time of the thousand selections";
  vinstanceDestroy(l);
}
#endif

TEST(ListModel, SelectionsFollowStructuralEditsWithBracketedAnnouncements) {
  vlist* l = numbered(6, 3, false);
  Recorder* watcher = recorder("w");
  watcher->flags = vlistObserverOWNED;
  vlistAddObserver(l, watcher);
  vlistSelection* s = vlistCreateSelection(l);
  vlistSetSelectionWholeRows(l, s, 1);
  vlistSelectRange(l, s, 0, 0, 4, 1);
  EXPECT_EQ(rowsOf(l, s), (std::vector<int>{0, 1, 2, 3}));

  trace.clear();
  vlistClassOf(l)->insert(l, 1, 2, vlistROWS);
  EXPECT_EQ(rowsOf(l, s), (std::vector<int>{0, 3, 4, 5}));
  EXPECT_EQ(trace, (std::vector<std::string>{"w insert 1+2/1", "w selection 0", "w selection 1"}));
  vlistClassOf(l)->remove(l, 3, 4, vlistROWS);
  vlistClassOf(l)->insert(l, 1, 2, vlistROWS);
  vlistSelectRange(l, s, 0, 0, 4, 1);
  vlistClassOf(l)->remove(l, 1, 2, vlistROWS);
  EXPECT_EQ(rowsOf(l, s), (std::vector<int>{0, 1}));

  // Exchanging a selected row with an unselected one moves the selection;
  // two equally selected rows announce nothing.
  vlistUnselectRange(l, s, 0, 0, 2, 1);
  vlistSelectRange(l, s, 1, 0, 1, 1);
  vlistSelection* untouched = vlistCreateSelection(l);
  vlistSelectRange(l, untouched, 0, 0, 1, 3);
  vlistSelectRange(l, untouched, 2, 0, 1, 3);
  trace.clear();
  vlistClassOf(l)->exchangeOne(l, 1, 3, vlistROWS);
  EXPECT_EQ(rowsOf(l, s), (std::vector<int>{3}));
  EXPECT_EQ(trace, (std::vector<std::string>{"w exchange 1,3", "w selection 0", "w selection 1"}));
  trace.clear();
  vlistClassOf(l)->exchangeOne(l, 0, 2, vlistROWS);
  EXPECT_EQ(trace, (std::vector<std::string>{"w exchange 0,2"}));

  // Moves carry the selected part; deleting every row empties every selection.
  vlistClassOf(l)->moveOne(l, 3, 0, vlistROWS);
  EXPECT_EQ(rowsOf(l, s), (std::vector<int>{0}));
  EXPECT_EQ(rowsOf(l, untouched), (std::vector<int>{1, 3}));
  vlistClassOf(l)->remove(l, 0, vlistGetRowCount(l), vlistROWS);
  EXPECT_EQ(vlistCountSelectedCells(l, s), 0);
  EXPECT_EQ(vlistCountSelectedCells(l, untouched), 0);

  // Held, the list announces nothing, but the selections still follow.
  vlistSetRowCount(l, 4);
  vlistSelectRange(l, untouched, 2, 0, 1, 3);
  trace.clear();
  ++l->hold;
  vlistClassOf(l)->insert(l, 0, 1, vlistROWS);
  --l->hold;
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(rowsOf(l, untouched), (std::vector<int>{3}));
  trace.clear();
  vinstanceDestroy(l);  // the owned observer goes with it
  EXPECT_EQ(trace, (std::vector<std::string>{"w destroyed"}));
}

TEST(ListModel, ObserverEntriesMutingForwardingAndTheIterator) {
  vlist* l = vlistCreate();
  Recorder* a = recorder("a");
  Recorder* b = recorder("b");
  Recorder* c = recorder("c");
  Recorder* client = recorder("client");
  vlistAddObserver(l, a);
  vlistAddObserver(l, b);
  vlistAddObserver(l, c);
  vlistRemoveObserver(l, a);  // the first entry is not reused
  vlistRemoveObserver(l, b);
  EXPECT_EQ(a->list, nullptr);
  Recorder* d = recorder("d");
  vlistAddObserver(l, d);
  EXPECT_EQ(l->observerLength, 3);
  EXPECT_EQ(l->observers[1], d);
  vlistAddObserver(l, a);
  EXPECT_EQ(l->observerLength, 4);
  EXPECT_EQ(l->observers[3], a);
  c->flags |= vlistObserverMUTED;
  d->forward = 1;
  d->client = client;
  trace.clear();
  vlistSetCell(l, 0, 0, 5);
  EXPECT_EQ(trace, (std::vector<std::string>{"client count 0>1/1", "a count 0>1/1", "client count 0>1/2",
                                             "a count 0>1/2", "client cell 0,0", "a cell 0,0"}));
  vlistRemoveObserver(l, c);
  vlistRemoveObserver(l, d);
  vlistRemoveObserver(l, a);
  vlistRemoveObserver(l, a);  // absent: nothing

  // Row by row within a rectangle, rectangle after rectangle.
  vlistSetRowCount(l, 5);
  vlistSetColumnCount(l, 4);
  vlistSelection* s = vlistCreateSelection(l);
  vlistSelectRange(l, s, 0, 0, 2, 3);
  EXPECT_EQ(cellsOf(l, s), (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}}));
  vlistSelectRange(l, s, 4, 3, 1, 1);
  EXPECT_EQ(cellsOf(l, s).size(), 7u);
  vlistSelectionIterator it;
  vlistInitSelectionIterator(&it, s);
  it.options = 1;  // by rectangles
  int steps = 0;
  while (vlistNextSelectedCell(&it)) ++steps;
  EXPECT_EQ(steps, s->rectCount);
  for (vinstance* o : {static_cast<vinstance*>(a), static_cast<vinstance*>(b), static_cast<vinstance*>(c),
                       static_cast<vinstance*>(d), static_cast<vinstance*>(client)})
    vinstanceDestroy(o);
  vinstanceDestroy(l);
}

const char* texts[] = {"pear", "Apple", nullptr, "apple", "fig", "banana", "\xc9mile", "eel"};
const char* marks[] = {"#0", "#1", "#2", "#3", "#4", "#5", "#6", "#7"};

vlist* fruit() {
  vlist* l = vlistCreate();
  for (int i = 0; i < 8; ++i) {
    vlistSetCell(l, i, 0, reinterpret_cast<vlistCell>(texts[i]));
    vlistSetCell(l, i, 1, reinterpret_cast<vlistCell>(marks[i]));
  }
  return l;
}

TEST(ListModel, FindByPrefix) {
  vlist* l = fruit();
  struct Case {
    const char* text;
    int options, startRow;
    int found, a, b;
  } cases[] = {
      {"app", 0, 0, 1, 1, 0},   // folded "apple" at row 1 first on the tie
      {"app", 0, 2, 1, 3, 0},   // from row 2 on
      {"ban", 4, 0, 1, 5, 0},   // (row, column)
      {"ban", 2, 0, 1, 5, 0},   // (outer, inner) of a scan by rows
      {"ban", 6, 0, 1, 0, 5},   // (outer, inner) of a scan by columns
      {"emi", 0, 0, 1, 6, 0},   // accents stripped from the cell
      {"Emi", 0, 0, 0, 0, 0},   // an upper-case search character ends the count
      {"zzz", 0, 3, 0, 3, 0},   // no match: the start cell
      {"pe", 0, 0, 1, 0, 0},    // the longest count wins: "pear" over "eel"
  };
  for (const Case& c : cases) {
    std::int32_t a = -9, b = -9;
    int found = vlistClassOf(l)->findByPrefix(l, c.text, &a, &b, c.startRow, 0, c.options);
    EXPECT_EQ(found, c.found) << c.text;
    EXPECT_EQ(a, c.a) << c.text << " " << c.options;
    EXPECT_EQ(b, c.b) << c.text << " " << c.options;
  }
  vinstanceDestroy(l);
}

TEST(ListModel, StableSortWithSelectionsFollowingRows) {
  vlist* l = fruit();
  Recorder* w = recorder("w");
  vlistAddObserver(l, w);
  vlistSelection* s = vlistCreateSelection(l);
  vlistSetSelectionWholeRows(l, s, 1);
  vlistSelectRange(l, s, 3, 0, 1, 1);  // the lower-case "apple"
  trace.clear();
  vlistClassOf(l)->sortByTexts(l, vlistROWS, 0, nullptr);
  EXPECT_EQ(trace.front(), "w sorting 0");
  EXPECT_EQ(trace.back(), "w sorting 1");
  EXPECT_NE(std::find(trace.begin(), trace.end(), "w selection 0"), trace.end());
  // Missing text first, equal keys ("Apple", "apple") in their old order.
  std::string order;
  for (int r = 0; r < 8; ++r) order += reinterpret_cast<const char*>(vlistGetCell(l, r, 1))[1];
  EXPECT_EQ(order, "21357640");  // the framework's compare puts \xc9 with e
  EXPECT_EQ(rowsOf(l, s), (std::vector<int>{2}));

  // By values, descending, on columns keyed by row 0.
  vlist* m = numbered(2, 5, false);
  vlistClassOf(m)->sortByValues(m, vlistCOLUMNS, 0, [](const void* a, const void* b) {
    auto x = reinterpret_cast<std::uintptr_t>(a), y = reinterpret_cast<std::uintptr_t>(b);
    return x < y ? 1 : x > y ? -1 : 0;
  });
  EXPECT_EQ(vlistGetCell(m, 0, 0), 5u);
  EXPECT_EQ(vlistGetCell(m, 1, 4), 101u);
  vinstanceDestroy(m);
  vlistRemoveObserver(l, w);
  vinstanceDestroy(w);
  vinstanceDestroy(l);
}

TEST(ListModel, ResourcesCopiesAndClientStorage) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vlistGetDefaultClass();  // loading by class name finds it
  vresource r = vrstoreCreate(root, vnameInternLiteral("List"), vresDICTIONARY);
  vrstoreSetTag(r, vname_Class, vnameInternLiteral("vlist"));
  vrstoreSetInteger(r, vname_MaxRow, 5);
  vrstoreSetInteger(r, vname_MaxColumn, 2);
  vrstoreSetInteger(r, vnameInternLiteral("RowCount"), 7);
  vrstoreSetTag(r, vnameInternLiteral("Orientation"), vnameInternLiteral("RowMajor"));
  auto* l = static_cast<vlist*>(vobjectLoad(r));
  EXPECT_EQ(vlistGetRowCount(l), 7);
  EXPECT_EQ(vlistGetColumnCount(l), 2);
  EXPECT_EQ(l->cells.flags, vlistROW_MAJOR);
  vlistSetCell(l, 6, 1, 42);

  vresource out = vrstoreCreate(root, vnameInternLiteral("Out"), vresDICTIONARY);
  vlistClassOf(l)->store(l, out);
  EXPECT_EQ(vrstoreGetInteger(out, vnameInternLiteral("RowCount")), 7);
  EXPECT_EQ(vrstoreGetTag(out, vnameInternLiteral("Orientation")), vnameInternLiteral("RowMajor"));
  vresource storage;
  EXPECT_FALSE(vrstoreTestGet(out, vnameInternLiteral("ListStorage"), &storage));  // a plain list keeps no cells

  // Copies take cells, counts and orientation, not selections; into itself nothing.
  vlistCreateSelection(l);
  auto* copy = static_cast<vlist*>(vobjectClone(l));
  EXPECT_EQ(gridOf(copy), gridOf(l));
  EXPECT_EQ(copy->selectionCount, 0);
  vlistClassOf(l)->copy(l, l);
  EXPECT_EQ(vlistGetCell(l, 6, 1), 42u);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vlist data")), nullptr);

  // Client cells: the list keeps no storage and asks the getter.
  vlistSetCellGetter(copy, [](vlist*, std::int32_t row, std::int32_t column) { return vlistCell(row * 10 + column); });
  EXPECT_EQ(copy->cells.storage, nullptr);
  EXPECT_TRUE(copy->cells.flags & vlistCLIENT_STORAGE);
  EXPECT_EQ(vlistGetCell(copy, 3, 1), 31u);
  vinstanceDestroy(copy);
  vinstanceDestroy(l);
  vrstoreCloseFile(root);
}

}  // namespace
