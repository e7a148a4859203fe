// String lists: which strings the list owns through sets, copies, deletes,
// shrinks and the stored form (the sanitizer build checks the frees).
#include "fw/widgets/lists/liststr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "widgets_support.h"

namespace {

std::int32_t ownedCount(vliststr* l) { return vlistCountSelectedCells(l, l->owned); }
bool owns(vliststr* l, int row, int column) { return vlistIsCellSelected(l, l->owned, row, column) != 0; }
std::string text(vliststr* l, int row, int column) {
  const char* s = vliststrGetCell(l, row, column);
  return s ? s : "<null>";
}

TEST(StringLists, OwnershipThroughSetsCopiesAndScribes) {
  static const char kLiteral[] = "literal";
  vliststr* l = vliststrCreate();
  vliststrSetCellScribed(l, 0, 0, vscribeLiteral(kLiteral));
  EXPECT_EQ(vliststrGetCell(l, 0, 0), kLiteral);  // taken over, not copied
  EXPECT_EQ(ownedCount(l), 0);
  // An owned cell set twice frees the first copy once, then a literal
  // replaces the second and ends the ownership.
  char buffer[] = "first";
  vliststrSetCellScribed(l, 1, 0, vscribeCString(buffer));
  buffer[0] = 'F';
  EXPECT_EQ(text(l, 1, 0), "first");
  EXPECT_TRUE(owns(l, 1, 0));
  vliststrSetCellScribed(l, 1, 0, vscribeCString("second"));
  EXPECT_EQ(text(l, 1, 0), "second");
  EXPECT_EQ(ownedCount(l), 1);
  vliststrSetCellScribed(l, 1, 0, vscribeLiteral(kLiteral));
  EXPECT_EQ(ownedCount(l), 0);
  vliststrSetCellScribed(l, 1, 1, vscribeCString("mine"));
  vliststrSetCellScribed(l, -1, 0, vscribeCString("nowhere"));  // released, not stored

  // Scribes out: unowned cells come as literals, empty cells as "".
  vscribe* s = vliststrGetCellScribed(l, 0, 0);
  EXPECT_TRUE(s->flags & vscribeLITERAL);
  vscribeRelease(s);
  s = vliststrGetCellScribed(l, 1, 1);
  EXPECT_FALSE(s->flags & vscribeLITERAL);
  vscribeRelease(s);
  vlistSetRowCount(l, 3);
  s = vliststrGetCellScribed(l, 2, 1);
  ASSERT_NE(s, nullptr);
  char got[8] = "x";
  vscribeGetCString(s, got);
  EXPECT_STREQ(got, "");

  // A copy shares the literals and owns copies of exactly the owned cells.
  auto* copy = static_cast<vliststr*>(vobjectClone(l));
  EXPECT_EQ(vliststrGetCell(copy, 0, 0), kLiteral);
  EXPECT_EQ(ownedCount(copy), 1);
  EXPECT_NE(vliststrGetCell(copy, 1, 1), vliststrGetCell(l, 1, 1));
  EXPECT_EQ(text(copy, 1, 1), "mine");
  // Copying over a list with owned strings frees them; onto itself nothing.
  vliststrSetCellScribed(copy, 0, 1, vscribeCString("dropped"));
  vliststrClassOf(l)->copy(l, copy);
  EXPECT_EQ(ownedCount(copy), 1);
  vliststrClassOf(l)->copy(l, l);
  EXPECT_EQ(text(l, 1, 1), "mine");
  vinstanceDestroy(copy);
  vinstanceDestroy(l);
}

TEST(StringLists, DeletesAndShrinksFreeExactlyTheOwnedStrings) {
  vliststr* l = vliststrCreate();
  // 3 x 3: owned where row + column is even, literals elsewhere.
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      std::string t = std::to_string(r) + std::to_string(c);
      vliststrSetCellScribed(l, r, c, (r + c) % 2 ? vscribeLiteral("lit") : vscribeCString(t.c_str()));
    }
  EXPECT_EQ(ownedCount(l), 5);
  vlistClassOf(l)->remove(l, 1, 1, vlistCOLUMNS);  // owned (1,1)
  EXPECT_EQ(ownedCount(l), 4);
  EXPECT_EQ(text(l, 0, 1), "02");
  EXPECT_TRUE(owns(l, 2, 1));
  vlistSetRowCount(l, 1);  // owned (2,0), (2,1)
  EXPECT_EQ(ownedCount(l), 2);
  EXPECT_EQ(text(l, 0, 0), "00");
  EXPECT_EQ(text(l, 0, 1), "02");
  vlistClassOf(l)->remove(l, 0, 99, vlistROWS);  // clipped to the count
  EXPECT_EQ(ownedCount(l), 0);
  EXPECT_EQ(vlistGetRowCount(l), 0);
  vinstanceDestroy(l);
}

TEST(StringLists, StoredColumnMajorAndLoadedFullyOwned) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vliststrGetDefaultClass();
  vliststr* l = vliststrCreate();
  vlistSetRowCount(l, 2);
  vlistSetColumnCount(l, 3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c)
      if (r != 1 || c != 1) vliststrSetCellScribed(l, r, c, vscribeCString((std::to_string(r) + std::to_string(c)).c_str()));
  vresource out = vrstoreCreate(root, vnameInternLiteral("Strings"), vresDICTIONARY);
  vliststrClassOf(l)->store(l, out);
  vresource storage = vrstoreGet(out, vnameInternLiteral("ListStorage"));
  ASSERT_EQ(vrstoreCount(storage), 6);
  // The empty cell (1, 1) is one NUL.
  const std::string order[] = {"00", "10", "01", std::string(1, '\0'), "02", "12"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(vrstoreGetAtStringText(storage, i), order[i]) << i;

  auto* back = static_cast<vliststr*>(vobjectLoad(out));
  EXPECT_EQ(vlistGetRowCount(back), 2);
  EXPECT_EQ(vlistGetColumnCount(back), 3);
  EXPECT_EQ(ownedCount(back), 6);
  EXPECT_EQ(text(back, 1, 1), "");
  EXPECT_EQ(text(back, 1, 2), "12");
  vinstanceDestroy(back);

  // A stored array of the wrong size: Arg, an empty list, nothing read.
  vrstoreSetCount(storage, 4);
  auto* bad = static_cast<vliststr*>(vclassAllocInstance(vliststrGetDefaultClass()));
  bad->cls = vliststrGetDefaultClass();
  const vexClass* raised = raisedClass([&] { vobjectLoadInit(bad, out); });
  EXPECT_EQ(raised, &vexArgClass);
  EXPECT_EQ(vlistGetRowCount(bad), 0);
  EXPECT_EQ(ownedCount(bad), 0);
  vinstanceDestroy(bad);
  vinstanceDestroy(l);
  vrstoreCloseFile(root);
}

// Stored strings fewer than the counts claim are refused at the first row
// or column asked for its strings, however many the counts claim; the
// class under test counts the asks, and stops a walk of the claimed ones.
int asks = 0;
vresource countedAsk(vlist* l, vresource storage, std::int32_t index) {
  if (++asks > 1000) vexGenerateMessage(&vexArgClass, "walked the claimed rows or columns");
  return vliststrGetDefaultClass()->outerForLoad(l, storage, index);
}

TEST(StringLists, AShortStorageIsRefusedAtItsFirstRowOrColumn) {
  vrstoreInstallInterface();
  auto* counted = vclassSpawnOf<vliststrClassRec>(vliststrGetDefaultClass());
  vclassSetName(counted, vscribeLiteral("countedliststr"));
  counted->outerForLoad = countedAsk;
  vresource root = vrstoreCreateMemory();
  constexpr std::int32_t kMax = 2147483647;
  const std::int32_t counts[][2] = {{9, kMax}, {kMax, 9}, {kMax, kMax}, {9, 2}, {3, 3}, {2, 4}, {4, 2}, {1, 1}};
  for (const char* orientation : {"ColumnMajor", "RowMajor"})
    for (const auto& c : counts) {
      SCOPED_TRACE(std::string(orientation) + " " + std::to_string(c[0]) + " x " + std::to_string(c[1]));
      vresource r = vrstoreCreate(root, vnameInternLiteral("Short"), vresDICTIONARY);
      vrstoreSetTag(r, vnameInternLiteral("Class"), vnameInternLiteral("countedliststr"));
      vrstoreSetInteger(r, vnameInternLiteral("RowCount"), c[0]);
      vrstoreSetInteger(r, vnameInternLiteral("ColumnCount"), c[1]);
      vrstoreSetTag(r, vnameInternLiteral("Orientation"), vnameInternLiteral(orientation));
      vresource storage = vrstoreCreateArray(r, vnameInternLiteral("ListStorage"), vresSTRING, 9);
      for (int i = 0; i < 9; ++i) vrstoreSetAtStringSized(storage, i, ("m" + std::to_string(i)).c_str(), 2);
      asks = 0;
      vliststr* loaded = nullptr;
      std::string message;
      const vexClass* raised = nullptr;
      vexGuard([&] { loaded = static_cast<vliststr*>(vobjectLoad(r)); },
               [&](vexHandler& h) {
                 raised = vexGetCurrentException()->cls;
                 message = vexGetCurrentException()->message ? vexGetCurrentException()->message : "";
                 vexSetCurrentException(h.savedChain);
               });
      if (std::int64_t(c[0]) * c[1] <= 9) {
        // A longer storage loads too: cell (row, column) is element rows x column + row.
        ASSERT_EQ(raised, nullptr) << message;
        EXPECT_EQ(ownedCount(loaded), c[0] * c[1]);
        for (std::int32_t col = 0; col < c[1]; ++col)
          for (std::int32_t row = 0; row < c[0]; ++row)
            EXPECT_EQ(text(loaded, row, col), "m" + std::to_string(c[0] * col + row)) << row << "," << col;
        vinstanceDestroy(loaded);
      } else {
        EXPECT_EQ(raised, &vexArgClass);
        EXPECT_EQ(message, "vliststr: 9 stored strings for " + std::to_string(std::int64_t(c[0]) * c[1]) + " cells");
        EXPECT_LE(asks, 1);
      }
    }
  vrstoreCloseFile(root);
}

// The words the list's own storage holds: the outer array and every inner one.
std::int64_t heldWords(const vlist* l) {
  auto* outer = static_cast<const vlistArray*>(l->cells.storage);
  if (!outer) return 0;
  std::int64_t words = outer->capacity;
  for (std::int32_t i = 0; i < outer->count; ++i)
    if (auto* inner = reinterpret_cast<const vlistArray*>(outer->block[i])) words += inner->capacity;
  return words;
}

// Counts without cells are a valid list of that size: a resource of a few
// bytes naming a million rows loads as one, and its cells, never set,
// cost nothing until one is.
TEST(StringLists, CountsWithoutCellsCostNoMemory) {
  vrstoreInstallInterface();
  vliststrGetDefaultClass();
  vresource root = vrstoreCreateMemory();
  for (const char* cls : {"vliststr", "vlist"}) {
    for (const char* orientation : {"ColumnMajor", "RowMajor"}) {
      SCOPED_TRACE(std::string(cls) + " " + orientation);
      vresource r = vrstoreCreate(root, vnameInternLiteral("Big"), vresDICTIONARY);
      vrstoreSetTag(r, vnameInternLiteral("Class"), vnameInternLiteral(cls));
      vrstoreSetInteger(r, vnameInternLiteral("RowCount"), 1000000);
      vrstoreSetInteger(r, vnameInternLiteral("ColumnCount"), 100);
      vrstoreSetTag(r, vnameInternLiteral("Orientation"), vnameInternLiteral(orientation));
      auto* l = static_cast<vlist*>(vobjectLoad(r));
      EXPECT_LT(heldWords(l), 16);
      EXPECT_EQ(vlistGetRowCount(l), 1000000);
      EXPECT_EQ(vlistGetColumnCount(l), 100);
      EXPECT_EQ(vlistGetCell(l, 999999, 99), 0u);
      // A set cell reads back; its neighbours stay empty.
      vlistSetCell(l, 5, 7, reinterpret_cast<vlistCell>("seven"));
      EXPECT_STREQ(reinterpret_cast<const char*>(vlistGetCell(l, 5, 7)), "seven");
      EXPECT_EQ(vlistGetCell(l, 5, 8), 0u);
      EXPECT_EQ(vlistGetCell(l, 6, 7), 0u);
      EXPECT_LT(heldWords(l), 64);
      // Edits move what was set and keep the counts.
      vlistClassOf(l)->insert(l, 0, 2, vlistROWS);
      vlistClassOf(l)->remove(l, 0, 1, vlistCOLUMNS);
      EXPECT_STREQ(reinterpret_cast<const char*>(vlistGetCell(l, 7, 6)), "seven");
      EXPECT_EQ(vlistGetRowCount(l), 1000002);
      EXPECT_EQ(vlistGetColumnCount(l), 99);
      vlistSetCell(l, 7, 6, 0);
      vinstanceDestroy(l);
    }
  }
  vrstoreCloseFile(root);
}

}  // namespace
