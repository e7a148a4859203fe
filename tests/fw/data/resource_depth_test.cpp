// Deep and large resource trees in both stores: removal of whole subtrees,
// the nesting bound, and counts the stores cannot hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fw/core/fs.h"
#include "fw/data/vresource.h"
#include "tests/fw/data/scrap_support.h"

namespace {

vname tag(const char* s) { return vnameInternLiteral(s); }

struct TempFile {
  std::filesystem::path place;
  vfsPath* path;
  explicit TempFile(const char* name)
      : place(std::filesystem::temp_directory_path() / (std::string(name) + "." + std::to_string(getpid()))),
        path(vfsNewPathFromString(place.c_str())) {}
  ~TempFile() {
    vfsFreePath(path);
    std::filesystem::remove(place);
  }
};

// A chain of dictionaries depth deep under tag, each level holding a
// scalar and a string beside the next level; answers the deepest.
vresource chain(vresource top, vname under, int depth) {
  vresource d = top;
  for (int level = 0; level < depth; ++level) {
    d = vresourceCreate(d, level ? tag("Next") : under, vresDICTIONARY);
    vresourceSetInteger(d, tag("Level"), level);
    vresourceSetStringSized(d, tag("Name"), "level", 5);
  }
  return d;
}

// Siblings before and after the removed subtree, of every shape.
void siblings(vresource root) {
  vresourceSetInteger(root, tag("Before"), 11);
  vresource kept = chain(root, tag("Kept"), 3);
  vresourceSetStringSized(kept, tag("Leaf"), "kept", 4);
  vresource a = vresourceCreateArray(root, tag("List"), vresINTEGER, 4);
  for (int i = 0; i < 4; ++i) vresourceSetAtInteger(a, i, 40 + i);
  vresourceSetStringSized(root, tag("Zed"), "after", 5);
}
void checkSiblings(vresource root) {
  EXPECT_EQ(vresourceCount(root), 4);
  EXPECT_EQ(vresourceGetInteger(root, tag("Before")), 11);
  vresource d = vresourceGet(root, tag("Kept"));
  for (int level = 0; level < 3; ++level) {
    EXPECT_EQ(vresourceGetInteger(d, tag("Level")), level);
    EXPECT_EQ(vresourceGetStringText(d, tag("Name")), "level");
    if (level < 2) d = vresourceGet(d, tag("Next"));
  }
  EXPECT_EQ(vresourceGetStringText(d, tag("Leaf")), "kept");
  vresource a = vresourceGet(root, tag("List"));
  ASSERT_EQ(vresourceCount(a), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(vresourceGetAtInteger(a, i), 40 + i);
  EXPECT_EQ(vresourceGetStringText(root, tag("Zed")), "after");
}

// A dictionary nested at any depth the file can hold goes with everything
// under it, in both stores; what is beside it reads back after a save.
TEST(ResourceDepth, RemovalTakesWholeSubtreesOfAnyDepth) {
  for (int table : {0, 1}) {
    for (int depth : {3, 4, 6, 64, 1000}) {
      SCOPED_TRACE(std::to_string(table) + " depth " + std::to_string(depth));
      TempFile file("vrdepth");
      vresource root = vresourceCreateMemoryIn(table);
      siblings(root);
      chain(root, tag("Gone"), depth);
      EXPECT_EQ(raised([&] { vresourceRemove(root, tag("Gone")); }).cls, nullptr);
      vresource gone = 0;
      EXPECT_FALSE(vresourceTestGet(root, tag("Gone"), &gone));
      checkSiblings(root);
      vresourceCloseFile(vresourceSaveFile(root, file.path, 0600));
      vresourceCloseFile(root);
      root = vresourceOpenFile(file.path, vfsOPEN_READ);
      checkSiblings(root);
      vresourceCloseFile(root);
    }
  }
}

}  // namespace
