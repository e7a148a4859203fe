#include "fw/data/vresource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/vrstore.h"

namespace {

vname tag(const char* s) { return vnameInternLiteral(s); }

template <class F>
std::string raised(F body) {
  std::string message = "(nothing raised)";
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    message = e->message ? e->message : "";
    vexSetCurrentException(h.savedChain);
  });
  return message;
}

std::vector<std::pair<vresource, int>> heard;

// Every kind a copy carries, under one root.
void fill(vresource root) {
  vresourceSetInteger(root, tag("I"), -123456);
  vresourceSetFixed(root, tag("X"), 0x28000);
  vresourceSetFloat(root, tag("F"), -0.25);
  vresourceSetBoolean(root, tag("B"), 1);
  vresourceSetCharacter(root, tag("C"), 'q');
  vresourceSetTag(root, tag("T"), tag("Chosen"));
  vresourceSetStringSized(root, tag("S"), "caf\xE9", 4);
  vresourceSetOpaque(root, tag("O"), "\x01\x02\x03", 3);
  vresource d = vresourceCreate(root, tag("D"), vresDICTIONARY);
  vresourceSetInteger(d, tag("Inner"), 7);
  vresource a = vresourceCreateArray(root, tag("A"), vresINTEGER, 3);
  for (int i = 0; i < 3; ++i) vresourceSetAtInteger(a, i, 100 + i);
}

void check(vresource root) {
  EXPECT_EQ(vresourceCount(root), 10);
  EXPECT_EQ(vresourceGetInteger(root, tag("I")), -123456);
  EXPECT_EQ(vresourceGetFixed(root, tag("X")), 0x28000);
  EXPECT_EQ(vresourceGetFloat(root, tag("F")), -0.25);
  EXPECT_EQ(vresourceGetBoolean(root, tag("B")), 1);
  EXPECT_EQ(vresourceGetCharacter(root, tag("C")), 'q');
  EXPECT_EQ(vresourceGetTag(root, tag("T")), tag("Chosen"));
  EXPECT_EQ(vresourceGetStringText(root, tag("S")), "caf\xE9");
  std::size_t n = 0;
  void* bytes = vresourceGetOpaque(root, tag("O"), &n);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(std::string(static_cast<char*>(bytes), 3), "\x01\x02\x03");
  vmemFree(bytes);
  vresource d = vresourceGet(root, tag("D"));
  EXPECT_EQ(vresourceGetInteger(d, tag("Inner")), 7);
  EXPECT_EQ(vresourceGetParent(d), root);
  vresource a = vresourceGet(root, tag("A"));
  EXPECT_EQ(vresourceGetElementType(a), vresINTEGER);
  ASSERT_EQ(vresourceCount(a), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(vresourceGetAtInteger(a, i), 100 + i);
}

// The same calls land in the store that the handle's sign names, and a copy
// goes both ways between them.
TEST(Vresource, RoutesByHandleSignAndCopiesBetweenStores) {
  heard.clear();
  vresourceSetObserver([](vresource root, int closing) { heard.emplace_back(root, closing); });
  vresource vr = vresourceCreateMemoryIn(0);
  vresource chunk = vresourceCreateMemoryIn(1);
  EXPECT_GE(vr, 0);
  EXPECT_LT(chunk, 0);
  EXPECT_EQ(vresourceGetRoot(chunk), chunk);
  EXPECT_EQ(vresourceGetNumber(chunk), 1u);
  // The store itself sees the non-negative file.
  vrstoreSetInteger(vr, tag("Direct"), 5);
  EXPECT_EQ(vresourceGetInteger(vr, tag("Direct")), 5);
  vrstoreRemove(vr, tag("Direct"));

  fill(vr);
  check(vr);
  vresourceSetInteger(chunk, tag("Old"), 1);
  vresourceCopyContents(vr, chunk);
  check(chunk);  // the count shows "Old" gone
  vresource back = vresourceCreateMemoryIn(0);
  vresourceCopyContents(chunk, back);
  check(back);

  // A chunk-file handle never reaches the ".vr" store, nor the reverse.
  EXPECT_EQ(raised([&] { vrstoreGetInteger(chunk, tag("I")); }).empty(), false);
  EXPECT_EQ(raised([&] { vresourceGetInteger(newresourceHandle(5, 1), tag("I")); }), "Resource file is not open");
  EXPECT_EQ(raised([&] { vresourceSlotOf<vresourceSlotGetArray, void, vresource, vname>(1)(chunk, tag("A")); }),
            "vresourceGetArray() is deprecated. Manipulate array elements individually.");

  for (vresource r : {vr, chunk, back}) vresourceCloseFile(r);
  vresourceSetObserver(nullptr);
  std::vector<std::pair<vresource, int>> expected = {{chunk, 0}, {back, 0}, {vr, 1}, {chunk, 1}, {back, 1}};
  heard.erase(heard.begin());  // the ".vr" file made first
  EXPECT_EQ(heard, expected);
}

// The chunk-file store's table: 127 files, the lowest free entry reused.
TEST(Vresource, ChunkFileTableHoldsAHundredAndTwentySeven) {
  std::vector<vresource> roots;
  for (int i = 0; i < newresourceMAX_FILES; ++i) roots.push_back(vresourceCreateMemoryIn(1));
  EXPECT_EQ(roots[0], static_cast<vresource>(0x80000001u));
  EXPECT_EQ(roots[126], static_cast<vresource>(0xFE000001u));
  EXPECT_EQ(raised([] { vresourceCreateMemoryIn(1); }), "Too many resource files open.");
  vresourceReleaseFile(roots[40]);
  vresource again = vresourceCreateMemoryIn(1);
  EXPECT_EQ(again, roots[40]);
  for (vresource r : roots) vresourceCloseFile(r);
}

// The core's interface over the routed calls serves a chunk-file too.
TEST(Vresource, CoreInterfaceStoresAPathInAChunkFile) {
  vrstoreInstallInterface();
  vresource root = vresourceCreateMemoryIn(1);
  vfsPath* path = vfsNewPathFromString("/usr/./lib/../share/file.txt");
  vfsStorePath(path, vresourceGetDict(root, tag("Path")));
  vresource flags = vresourceGet(vresourceGet(root, tag("Path")), tag("Flags"));
  EXPECT_EQ(vresourceGetElementType(flags), vresBOOLEAN);
  vfsPath* back = vfsLoadPath(vresourceGet(root, tag("Path")));
  EXPECT_EQ(vfsComparePaths(back, path, vfsCOMPARE_EXACT), 0);
  vfsFreePath(back);
  vfsFreePath(path);
  vresourceCloseFile(root);
}

}  // namespace
