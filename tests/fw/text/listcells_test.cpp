#include "fw/text/listcells.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

// The growth rule on one record: the state before, the index written, the
// state after, and the words that must read 0.
TEST(ListArray, Growth) {
  struct Case {
    std::int32_t count, capacity, index;
    std::int32_t wantCount, wantCapacity;
  } cases[] = {
      {0, 0, 0, 1, 2},   // first write into an empty record
      {0, 0, 5, 6, 8},   // 2, 4, 8
      {1, 2, 2, 3, 4},   // one doubling, word 1 cleared
      {3, 4, 1, 3, 4},   // below the count: nothing grows
      {4, 4, 4, 5, 8},   // at the capacity: doubles
      {2, 2, 16, 17, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "count " << c.count << " capacity " << c.capacity << " index " << c.index);
    vlistArray* a = _vlistArrayAllocRecord();
    EXPECT_EQ(a->block, nullptr);
    if (c.capacity) {
      // Fill to the starting state with non-zero words beyond the count,
      // so that the clearing of new words shows.
      _vlistArrayEnsure(a, c.capacity - 1);
      for (std::int32_t i = 0; i < a->capacity; ++i) a->block[i] = 0xA0 + vlistCell(i);
      a->count = c.count;
    }
    vlistCell* word = _vtextArraySet(a, c.index, 0x55);
    EXPECT_EQ(word, a->block + c.index);
    EXPECT_EQ(a->count, c.wantCount);
    EXPECT_EQ(a->capacity, c.wantCapacity);
    for (std::int32_t i = 0; i < a->count; ++i) {
      vlistCell want = i == c.index ? 0x55 : i < c.count ? 0xA0 + vlistCell(i) : 0;
      EXPECT_EQ(a->block[i], want) << "word " << i;
    }
    _vlistArrayFreeRecord(a);
  }
}

TEST(ListArray, InitAndFreeElements) {
  vlistArray a{};
  _vlistArrayInit(&a);
  EXPECT_EQ(a.capacity, 2);
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.block[0] | a.block[1], 0u);
  vlistCell* block = a.block;
  _vlistArrayFreeElements(&a);
  EXPECT_EQ(a.block, block);  // left as it was
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.capacity, 0);
}

// A small list model over the array: the count and set-cell operations the
// list model builds on these routines, keeping one record per first-level
// index of the other count's words while both counts are above 0.
struct Model {
  vlistCells cells{nullptr, 0, 0, _vlistArraySetterFunc(), _vlistArrayGetterFunc(), vlistCOLUMN_MAJOR};

  ~Model() { _vtextFreeArrayTree(&cells); }
  bool columnMajor() const { return cells.flags & vlistCOLUMN_MAJOR; }
  vlistArray* level() const { return static_cast<vlistArray*>(cells.storage); }
  vlistArray* record(std::int32_t i) const { return reinterpret_cast<vlistArray*>(level()->block[i]); }

  void build(std::int32_t firstCount, std::int32_t secondCount) {
    cells.storage = _vlistArrayAllocRecord();
    for (std::int32_t i = 0; i < firstCount; ++i) {
      vlistArray* r = _vlistArrayAllocRecord();
      _vtextArraySet(r, secondCount - 1, 0);
      _vtextArraySet(level(), i, reinterpret_cast<vlistCell>(r));
    }
  }

  void setCount(std::int32_t n, bool rows) {
    std::int32_t& mine = rows ? cells.rowCount : cells.columnCount;
    std::int32_t other = rows ? cells.columnCount : cells.rowCount;
    bool first = rows != columnMajor();
    if (other > 0) {
      if (n == 0) {
        _vtextFreeArrayTree(&cells);
      } else if (!cells.storage) {
        first ? build(n, other) : build(other, n);
      } else if (first) {
        for (std::int32_t i = n; i < level()->count; ++i) _vlistArrayFreeRecord(record(i));
        if (n < level()->count) level()->count = n;
        for (std::int32_t i = level()->count; i < n; ++i) {
          vlistArray* r = _vlistArrayAllocRecord();
          _vtextArraySet(r, other - 1, 0);
          _vtextArraySet(level(), i, reinterpret_cast<vlistCell>(r));
        }
      } else {
        for (std::int32_t i = 0; i < level()->count; ++i) {
          vlistArray* r = record(i);
          if (n < r->count) r->count = n;
          else if (n > r->count) _vlistArrayEnsure(r, n - 1);
        }
      }
    }
    mine = n;
  }

  void set(std::int32_t row, std::int32_t column, vlistCell value) {
    if (row >= cells.rowCount) setCount(row + 1, true);
    if (column >= cells.columnCount) setCount(column + 1, false);
    cells.setter(&cells, row, column, value);
  }
  vlistCell get(std::int32_t row, std::int32_t column) { return cells.getter(&cells, row, column); }

  // Copies every cell into a model of the other order and takes its array.
  void setColumnMajor(bool on) {
    if (on == columnMajor()) return;
    Model other;
    other.cells.flags = on ? vlistCOLUMN_MAJOR : vlistROW_MAJOR;
    if (cells.rowCount > 0 && cells.columnCount > 0) {
      for (std::int32_t c = 0; c < cells.columnCount; ++c)
        for (std::int32_t r = 0; r < cells.rowCount; ++r) other.set(r, c, get(r, c));
      std::swap(cells.storage, other.cells.storage);
    }
    cells.flags = other.cells.flags;
    // The old array goes with the temporary model, in the old order.
    other.cells.flags = on ? vlistROW_MAJOR : vlistCOLUMN_MAJOR;
    other.cells.rowCount = cells.rowCount;
    other.cells.columnCount = cells.columnCount;
  }
};

TEST(ListArray, CellPlaceFollowsTheOrder) {
  Model m;
  m.set(3, 1, 0x31);
  ASSERT_EQ(m.level()->count, 2);  // columns
  EXPECT_EQ(m.record(1)->block[3], 0x31u);
  EXPECT_EQ(m.record(0)->count, 4);
  EXPECT_EQ(m.record(0)->block[3], 0u);

  m.setColumnMajor(false);
  EXPECT_EQ(m.cells.flags, vlistROW_MAJOR);
  ASSERT_EQ(m.level()->count, 4);  // rows
  EXPECT_EQ(m.record(3)->block[1], 0x31u);
  EXPECT_EQ(m.get(3, 1), 0x31u);
  for (std::int32_t r = 0; r < 4; ++r) EXPECT_EQ(m.record(r)->count, 2);
}

TEST(ListArray, OutsideTheCountsReadsEmpty) {
  Model m;
  EXPECT_EQ(m.get(0, 0), 0u);  // no array at all
  m.set(1, 1, 7);
  for (auto [r, c] : {std::pair{2, 0}, {0, 2}, {-1, 0}, {0, -1}, {100000, 3}}) EXPECT_EQ(m.get(r, c), 0u);
  EXPECT_EQ(m.get(1, 1), 7u);
}

TEST(ListArray, FreeingWithoutAnArrayClearsTheWord) {
  vlistCells cells{nullptr, 5, 5, nullptr, nullptr, vlistCOLUMN_MAJOR};
  _vtextFreeArrayTree(&cells);
  EXPECT_EQ(cells.storage, nullptr);
  Model m;
  m.set(4, 2, 1);
  _vtextFreeArrayTree(&m.cells);
  EXPECT_EQ(m.cells.storage, nullptr);
}

// Random writes, count changes, reads, order switches and frees, in both
// orders, against a plain grid (run under the sanitizers in CI).
TEST(ListArray, RandomAgainstAGrid) {
  for (bool startColumnMajor : {true, false}) {
    std::mt19937 rng(startColumnMajor ? 7 : 11);
    Model m;
    m.cells.flags = startColumnMajor ? vlistCOLUMN_MAJOR : vlistROW_MAJOR;
    std::vector<std::vector<vlistCell>> grid;  // [row][column]
    auto rows = [&] { return std::int32_t(grid.size()); };
    auto columns = [&] { return grid.empty() ? m.cells.columnCount : std::int32_t(grid[0].size()); };
    auto resize = [&](std::int32_t r, std::int32_t c) {
      grid.resize(std::size_t(r));
      for (auto& row : grid) row.resize(std::size_t(c), 0);
    };
    for (int step = 0; step < 4000; ++step) {
      int op = int(rng() % 100);
      std::int32_t r = std::int32_t(rng() % 24), c = std::int32_t(rng() % 24);
      if (op < 45) {
        vlistCell v = rng() | 1;
        m.set(r, c, v);
        resize(std::max(rows(), r + 1), std::max(m.cells.columnCount, c + 1));
        grid[std::size_t(r)][std::size_t(c)] = v;
      } else if (op < 75) {
        vlistCell want = r < rows() && c < columns() ? grid[std::size_t(r)][std::size_t(c)] : 0;
        ASSERT_EQ(m.get(r, c), want) << "step " << step << " cell " << r << "," << c;
      } else if (op < 85) {
        bool byRows = rng() & 1;
        std::int32_t n = std::int32_t(rng() % 20);
        m.setCount(n, byRows);
        if (byRows) resize(n, m.cells.columnCount);
        else resize(rows(), n);
      } else if (op < 95) {
        m.setColumnMajor(rng() & 1);
      } else {
        _vtextFreeArrayTree(&m.cells);
        m.cells.rowCount = m.cells.columnCount = 0;
        grid.clear();
      }
      ASSERT_EQ(m.cells.rowCount, rows());
      // The invariant: an array exactly when both counts are above 0.
      bool both = m.cells.rowCount > 0 && m.cells.columnCount > 0;
      ASSERT_EQ(m.cells.storage != nullptr, both) << "step " << step;
      if (both) {
        std::int32_t first = m.columnMajor() ? m.cells.columnCount : m.cells.rowCount;
        std::int32_t second = m.columnMajor() ? m.cells.rowCount : m.cells.columnCount;
        ASSERT_EQ(m.level()->count, first);
        for (std::int32_t i = 0; i < first; ++i) ASSERT_EQ(m.record(i)->count, second);
      }
    }
  }
}

}  // namespace
