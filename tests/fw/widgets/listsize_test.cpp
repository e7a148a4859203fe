#include "fw/widgets/lists/listsize.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "fw/data/vrstore.h"
#include "tests/fw/gui/raises.h"
#include "widgets_support.h"

namespace {

std::vector<std::int32_t> rowPositions(const vlistsize* s) {
  return std::vector<std::int32_t>(s->rowPositions, s->rowPositions + s->rowLength);
}

struct Size {
  vlistsize* s = vlistsizeCreate();
  vlistsizeClassRec* c = vlistsizeClassOf(s);
  ~Size() { vinstanceDestroy(s); }
};

// A list not yet shown has rows but no known height: moving and exchanging
// them (a sorted insert, a sort) must neither raise nor change the count.
TEST(ListSizes, RowsMoveOnAConstantAxisBeforeAnySizeIsKnown) {
  Size z;
  z.c->insert(z.s, 0, 3, 1);
  ASSERT_EQ(z.s->rowCount, 3);
  bool ok = vexTry([&] {
    z.c->moveOne(z.s, 2, 0, 1);
    z.c->exchangeOne(z.s, 0, 1, 1);
    z.c->move(z.s, 0, 1, 2, 1);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(z.s->rowCount, 3);
  EXPECT_EQ(z.s->defaultHeight, -1);
  // Rows the list gained by filling cells past its count reach the geometry
  // only when the view opens: moving them before that is no error either.
  EXPECT_TRUE(vexTry([&] {
    z.c->moveOne(z.s, 5, 1, 1);
    z.c->moveOne(z.s, 0, 4, 1);
    z.c->exchangeOne(z.s, 6, 2, 1);
  }));
  EXPECT_EQ(z.s->rowCount, 3);
  EXPECT_EQ(z.s->defaultHeight, -1);
  // Once known, the constant height holds for every row.
  z.c->setRowHeight(z.s, vlistsizeALL_ROWS, 12);
  EXPECT_EQ(z.c->rowHeight(z.s, 2), 12);
}

TEST(ListSizes, DefaultsAndTheConstantAxisTurningTabulated) {
  Size z;
  // Nothing known: both questions raise Module with their message and change nothing.
  const char* message = nullptr;
  for (auto [ask, text] : {std::pair{0, "Cannot determine default height."}, {1, "Cannot determine default width."}}) {
    vexGuard([&, ask = ask] { ask == 0 ? z.c->rowHeight(z.s, 0) : z.c->columnWidth(z.s, 0); },
             [&](vexHandler& h) {
               EXPECT_EQ(vexGetCurrentException()->cls, &vexModuleClass);
               message = vexGetCurrentException()->message;
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_STREQ(message, text);
  }
  EXPECT_EQ(z.s->rowCount, 0);
  EXPECT_EQ(z.s->defaultHeight, -1);

  // Row 3 at 16 on an empty constant axis: the default and the constant.
  z.c->setRowHeight(z.s, 3, 16);
  EXPECT_EQ(z.s->defaultHeight, 16);
  EXPECT_EQ(z.s->constantHeight, 16);
  EXPECT_EQ(z.s->rowCount, 4);
  z.c->setRowHeight(z.s, 4, 16);  // the same size: still constant
  EXPECT_TRUE(z.s->flags & vlistsizeCONSTANT_HEIGHTS);
  EXPECT_EQ(z.s->rowCount, 5);

  z.c->setRowHeight(z.s, 2, 20);
  EXPECT_FALSE(z.s->flags & vlistsizeCONSTANT_HEIGHTS);
  EXPECT_EQ(rowPositions(z.s), (std::vector<std::int32_t>{0, 16, 32, 52, 68, 84}));
  EXPECT_EQ(z.c->rowHeight(z.s, 2), 20);
  // Asking beyond the table extends it with the default.
  EXPECT_EQ(z.c->rowHeight(z.s, 6), 16);
  EXPECT_EQ(z.s->rowCount, 7);
  EXPECT_EQ(rowPositions(z.s).back(), 116);

  z.c->setRowHeight(z.s, vlistsizeALL_ROWS, 18);
  EXPECT_TRUE(z.s->flags & vlistsizeCONSTANT_HEIGHTS);
  EXPECT_EQ(z.s->rowPositions, nullptr);
  EXPECT_EQ(z.c->rowHeight(z.s, 3), 18);
}

TEST(ListSizes, CellsOffsetsAndExtent) {
  Size z;
  z.c->setRowHeight(z.s, 0, 16);
  z.c->setColumnWidth(z.s, 0, 50);
  z.c->setRowHeight(z.s, 2, 16);
  z.c->setColumnWidth(z.s, 1, 50);
  vrectLong e;
  z.c->extent(z.s, &e);
  EXPECT_EQ(e.x, 0);
  EXPECT_EQ(e.y, 0);
  EXPECT_EQ(e.width, 100);
  EXPECT_EQ(e.height, 48);

  Size g;
  g.c->setRowHeight(g.s, 0, 16);
  g.c->setColumnWidth(g.s, 0, 10);
  struct Hit {
    std::int32_t startRow, startColumn, x, y, row, column;
  } hits[] = {
      {0, 0, 0, 16, 0, 0}, {0, 0, 10, 17, 1, 1}, {0, 0, 9, 0, 0, 0}, {2, 3, 25, 33, 4, 5}, {0, 0, -5, -40, 0, 0},
  };
  for (const Hit& h : hits) {
    std::int32_t row = -9, column = -9;
    g.c->cellAtOffset(g.s, h.startRow, h.startColumn, h.x, h.y, &row, &column);
    EXPECT_EQ(row, h.row) << h.x << "," << h.y;
    EXPECT_EQ(column, h.column) << h.x << "," << h.y;
  }

  // Tabulated rows: the first row from the start whose bottom reaches the offset.
  Size t;
  t.c->setColumnWidth(t.s, 0, 10);
  for (std::int32_t r = 0; r < 4; ++r) t.c->setRowHeight(t.s, r, 10 + 10 * r);  // 0 10 30 60 100
  vrectLong cell;
  EXPECT_EQ(t.c->cellRect(t.s, 2, 1, &cell), 30);
  EXPECT_EQ(cell.y, 30);
  EXPECT_EQ(cell.x, 10);
  struct TabHit {
    std::int32_t start, y, row;
  } tabHits[] = {{0, 10, 0}, {0, 11, 1}, {1, 20, 1}, {1, 21, 2}, {0, 100, 3}, {0, 101, 4}};
  for (const TabHit& h : tabHits) {
    std::int32_t row, column;
    t.c->cellAtOffset(t.s, h.start, 0, 0, h.y, &row, &column);
    EXPECT_EQ(row, h.row) << h.start << " + " << h.y;
  }
  t.c->extent(t.s, &e);
  EXPECT_EQ(e.height, 100);
  EXPECT_EQ(e.width, 20);  // the cell rectangle above made column 1
}

TEST(ListSizes, EditsOfTabulatedAxes) {
  Size z;
  for (std::int32_t r = 0; r < 4; ++r) z.c->setRowHeight(z.s, r, 10 * (r + 1));  // sizes 10 20 30 40
  z.s->defaultHeight = 5;
  struct Edit {
    void (*apply)(vlistsize*);
    std::vector<std::int32_t> positions;
  } edits[] = {
      {[](vlistsize* s) { vlistsizeClassOf(s)->insertOne(s, 1, 1); }, {0, 10, 15, 35, 65, 105}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->deleteOne(s, 1, 1); }, {0, 10, 30, 60, 100}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->moveOne(s, 0, 3, 1); }, {0, 20, 50, 90, 100}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->exchangeOne(s, 0, 3, 1); }, {0, 10, 40, 80, 100}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->insert(s, 2, 2, 1); }, {0, 10, 40, 45, 50, 90, 110}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->remove(s, 2, 2, 1); }, {0, 10, 40, 80, 100}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->move(s, 0, 2, 2, 1); }, {0, 40, 60, 70, 100}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->exchange(s, 0, 2, 2, 1); }, {0, 10, 40, 80, 100}},
      {[](vlistsize* s) { vlistsizeClassOf(s)->remove(s, 3, 9, 1); }, {0, 10, 40, 80}},
  };
  for (const Edit& e : edits) {
    e.apply(z.s);
    EXPECT_EQ(rowPositions(z.s), e.positions);
    EXPECT_EQ(z.s->rowCount, z.s->rowLength - 1);
  }
  // A constant axis only counts.
  z.c->insert(z.s, 0, 3, 2);
  EXPECT_EQ(z.s->columnCount, 3);
  z.c->remove(z.s, 1, 2, 2);
  EXPECT_EQ(z.s->columnCount, 1);
}

TEST(ListSizes, StoreLoadAndCopy) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  Size z;
  z.c->setColumnWidth(z.s, 0, 40);
  z.c->setRowHeight(z.s, 0, 16);
  z.c->setRowHeight(z.s, 2, 20);
  z.c->setRowHeight(z.s, 3, 12);
  vresource r = vrstoreCreate(root, vnameInternLiteral("Sizes"), vresDICTIONARY);
  z.c->store(z.s, r);
  EXPECT_EQ(vrstoreGetBoolean(r, vnameInternLiteral("IsFixedWidth")), 1);
  EXPECT_EQ(vrstoreGetBoolean(r, vnameInternLiteral("IsFixedHeight")), 0);
  EXPECT_EQ(vrstoreGetInteger(r, vnameInternLiteral("FixedHeight")), 16);
  EXPECT_EQ(vrstoreCount(vrstoreGet(r, vnameInternLiteral("HeightTable"))), 4);

  auto* loaded = static_cast<vlistsize*>(vobjectLoad(r));
  EXPECT_EQ(rowPositions(loaded), (std::vector<std::int32_t>{0, 16, 32, 52, 64}));
  EXPECT_EQ(loaded->rowCount, 4);
  EXPECT_EQ(loaded->columnCount, 1);
  EXPECT_EQ(loaded->constantWidth, 40);
  EXPECT_EQ(loaded->flags, vlistsizeCONSTANT_WIDTHS);

  // A fresh geometry stores its unset values as -1.
  Size fresh;
  vresource f = vrstoreCreate(root, vnameInternLiteral("Fresh"), vresDICTIONARY);
  fresh.c->store(fresh.s, f);
  for (const char* key : {"DefaultWidth", "DefaultHeight", "FixedWidth", "FixedHeight"})
    EXPECT_EQ(vrstoreGetInteger(f, vnameInternLiteral(key)), -1) << key;

  auto* copy = static_cast<vlistsize*>(vobjectClone(loaded));
  EXPECT_EQ(rowPositions(copy), rowPositions(loaded));
  EXPECT_NE(copy->rowPositions, loaded->rowPositions);
  vinstanceDestroy(copy);
  vinstanceDestroy(loaded);
  vrstoreCloseFile(root);
}

// A size table whose sizes are negative or whose running sums pass the
// largest position is refused with a message, and a size loaded again from
// it keeps every value it had.
TEST(ListSizes, BadTablesAreRefusedAndLeaveTheSizesAsTheyWere) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  struct Case {
    const char* table;
    std::vector<std::int32_t> sizes;
    const char* message;
  } const cases[] = {
      {"HeightTable", {2000000000, 2000000000, 2000000000, 2000000000}, "HeightTable adds up past the largest extent"},
      {"HeightTable", {INT32_MAX, 1}, "HeightTable adds up past the largest extent"},
      {"HeightTable", {10, -400, 10}, "HeightTable holds a negative size"},
      {"WidthTable", {-1}, "WidthTable holds a negative size"},
      {"WidthTable", {1 << 30, 1 << 30}, "WidthTable adds up past the largest extent"},
  };
  for (const Case& c : cases) {
    Size z;
    z.c->setColumnWidth(z.s, 0, 40);
    z.c->setRowHeight(z.s, 0, 16);
    z.c->setRowHeight(z.s, 1, 20);
    vresource r = vrstoreCreate(root, vnameInternLiteral("Sizes"), vresDICTIONARY);
    z.c->store(z.s, r);
    bool widths = std::strcmp(c.table, "WidthTable") == 0;
    vrstoreSetBoolean(r, vnameInternLiteral(widths ? "IsFixedWidth" : "IsFixedHeight"), 0);
    vresource t = vrstoreCreateArray(r, vnameInternLiteral(c.table), vresINTEGER, std::int32_t(c.sizes.size()));
    for (std::size_t i = 0; i < c.sizes.size(); ++i) vrstoreSetAtInteger(t, std::int32_t(i), c.sizes[i]);
    vrstoreSetInteger(r, vnameInternLiteral("RowCount"), 9);

    const std::vector<std::int32_t> before = rowPositions(z.s);
    std::string message;
    EXPECT_EQ(raised([&] { z.c->loadInit(z.s, r); }, &message), &vexArgClass) << c.message;
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(rowPositions(z.s), before);
    EXPECT_EQ(z.s->rowCount, 2);
    EXPECT_EQ(z.s->constantWidth, 40);
    EXPECT_EQ(z.s->flags, vlistsizeCONSTANT_WIDTHS);
    vrectLong extent;
    z.c->extent(z.s, &extent);
    EXPECT_EQ(extent.height, 36);
    vrstoreRemove(root, vnameInternLiteral("Sizes"));
  }
  // The largest table that fits still loads.
  Size z;
  vresource r = vrstoreCreate(root, vnameInternLiteral("Sizes"), vresDICTIONARY);
  z.c->store(z.s, r);
  vrstoreSetBoolean(r, vnameInternLiteral("IsFixedHeight"), 0);
  vresource t = vrstoreCreateArray(r, vnameInternLiteral("HeightTable"), vresINTEGER, 2);
  vrstoreSetAtInteger(t, 0, INT32_MAX - 1);
  vrstoreSetAtInteger(t, 1, 1);
  z.c->loadInit(z.s, r);
  EXPECT_EQ(rowPositions(z.s), (std::vector<std::int32_t>{0, INT32_MAX - 1, INT32_MAX}));
  vrstoreCloseFile(root);
}

}  // namespace
