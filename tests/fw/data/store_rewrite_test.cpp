// A store rewritten in place as the preference save does it: the
// dictionary removed, made again and filled from a copy loaded earlier.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/data/vresource.h"

namespace fs = std::filesystem;

namespace {

vname keyAt(int i) { return vnameIntern(vscribeCString(("k" + std::to_string(i)).c_str())); }
vname tag(const char* s) { return vnameInternLiteral(s); }

enum class Kind { String, Integer, Dictionary };

struct Case {
  const char* name;
  Kind kind;
  int entries;
  std::size_t length;  // of each string
  bool nested;         // under a dictionary of "Preferences"
  bool chunk;          // the chunk-file store, else the tree store vrtool writes
};

vresource entriesOf(vresource prefs, const Case& c) { return c.nested ? vresourceGet(prefs, tag("Nested")) : prefs; }

void fill(vresource prefs, const Case& c) {
  vresource into = c.nested ? vresourceCreate(prefs, tag("Nested"), vresDICTIONARY) : prefs;
  const std::string value(c.length, 'v');
  for (int i = 0; i < c.entries; ++i) {
    if (c.kind == Kind::Integer)
      vresourceSetInteger(into, keyAt(i), i * 7919);
    else if (c.kind == Kind::Dictionary)
      vresourceSetString(vresourceCreate(into, keyAt(i), vresDICTIONARY), tag("V"), vscribeCString((value + std::to_string(i)).c_str()));
    else
      vresourceSetString(into, keyAt(i), vscribeCString((value + std::to_string(i)).c_str()));
  }
}

// Every entry with its own value; the first wrong one is named.
void expectEvery(vresource prefs, const Case& c) {
  vresource from = entriesOf(prefs, c);
  ASSERT_EQ(vresourceCount(from), c.entries);
  const std::string value(c.length, 'v');
  for (int i = 0; i < c.entries; ++i) {
    vresource r;
    ASSERT_TRUE(vresourceTestGet(from, keyAt(i), &r)) << "k" << i;
    if (c.kind == Kind::Integer)
      ASSERT_EQ(vresourceGetInteger(from, keyAt(i)), i * 7919) << "k" << i;
    else if (c.kind == Kind::Dictionary)
      ASSERT_EQ(vresourceGetStringText(vresourceGet(from, keyAt(i)), tag("V")), value + std::to_string(i)) << "k" << i;
    else
      ASSERT_EQ(vresourceGetStringText(from, keyAt(i)), value + std::to_string(i)) << "k" << i;
  }
}

// Saved again and again with the same entries, a store reaches a size and
// keeps it: one that grew by its contents at each save would in the end be
// too large to load, and the program would start without it. 4,352 of these
// short strings were the fewest that grew.
TEST(StoreRewrite, EverySaveKeepsEveryEntryAndTheSize) {
  const std::vector<Case> cases = {
      {"4351 strings", Kind::String, 4351, 1, false, true},
      {"4352 strings", Kind::String, 4352, 1, false, true},
      {"5200 strings", Kind::String, 5200, 1, false, true},
      {"5200 strings nested", Kind::String, 5200, 1, true, true},
      {"1000 half-block strings", Kind::String, 1000, 500, false, true},
      {"5200 integers", Kind::Integer, 5200, 0, false, true},
      {"3000 dictionaries", Kind::Dictionary, 3000, 1, false, true},
      {"1500 strings, tree store", Kind::String, 1500, 1, false, false},
  };
  const bool chunkDefault = vresourceGetTestDefault();
  const fs::path file = fs::temp_directory_path() / ("rewrite." + std::to_string(getpid()) + ".vr");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vresourceSetTestDefault(c.chunk);
    vfsPath* path = vfsNewPathFromString(file.c_str());
    vresource memory = vresourceCreateMemory();
    fill(vresourceCreate(memory, vname_Preferences, vresDICTIONARY), c);
    vresourceCloseFile(vresourceSaveFile(memory, path, 0600));
    vresourceCloseFile(memory);
    std::vector<std::uintmax_t> sizes;
    for (int save = 0; save < 4; ++save) {
      vresource loaded = vresourceLoadFile(path);
      vresource root = vresourceOpenFile(path, vfsOPEN_READ_WRITE);
      vresourceRemove(root, vname_Preferences);
      vresourceCopyContents(vresourceGet(loaded, vname_Preferences), vresourceCreate(root, vname_Preferences, vresDICTIONARY));
      vresourceCloseFile(root);
      vresourceReleaseFile(loaded);
      sizes.push_back(fs::file_size(file));
      root = vresourceOpenFile(path, vfsOPEN_READ);
      expectEvery(vresourceGet(root, vname_Preferences), c);
      vresourceCloseFile(root);
    }
    EXPECT_EQ(sizes.back(), sizes[1]) << "after the first saves: " << sizes[0] << ", " << sizes[1] << ", " << sizes[2];
    vfsFreePath(path);
    fs::remove(file);
  }
  vresourceSetTestDefault(chunkDefault);
}

}  // namespace
