// Deep and large resource trees in both stores: removal of whole subtrees,
// the nesting bound, and counts the stores cannot hold.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <string>

#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/data/btree.h"
#include "fw/data/resfile.h"
#include "fw/data/vresource.h"
#include "fw/data/vrtext.h"
#include "tests/fw/data/scrap_support.h"

// The limited children see a refused allocation as a null block.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

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

// A bare chain of dictionaries under tag, depth levels; answers the deepest.
vresource bare(vresource top, vname under, int depth) {
  vresource d = top;
  for (int level = 0; level < depth; ++level) d = vresourceCreate(d, level ? tag("Next") : under, vresDICTIONARY);
  return d;
}
vresource down(vresource d, int levels) {
  while (levels-- > 0) d = vresourceGet(d, tag("Next"));
  return d;
}
bool tooDeep(const Raised& r) { return r.cls == &vexModuleLimitClass && r.message == vscrapTOO_DEEP; }

// Every way in (making, copying, importing scraps, the text form) stops at
// one nesting bound, and whatever lies within it still works.
TEST(ResourceDepth, OneNestingBoundEverywhere) {
  vinstance* deep = vscrapCreateNative(vscrapGetDictionaryClass());
  for (int level = 0; level < vscrapMAX_DEPTH + 100; ++level) {
    vinstance* outer = vscrapCreateNative(vscrapGetDictionaryClass());
    linkInPlace(outer, tag("Next"), deep);
    deep = outer;
  }
  for (int table : {0, 1}) {
    SCOPED_TRACE(table);
    vresource root = vresourceCreateMemoryIn(table);
    vresource last = bare(root, tag("Top"), vscrapMAX_DEPTH);
    EXPECT_TRUE(tooDeep(raised([&] { vresourceCreate(last, tag("Next"), vresDICTIONARY); })));
    EXPECT_TRUE(tooDeep(raised([&] { vresourceCreateArray(last, tag("List"), vresSTRING, 1); })));
    vresource above = vresourceGetParent(last);
    vresourceSetInteger(above, tag("Leaf"), 7);
    vresource list = vresourceCreateArray(above, tag("List"), vresSTRING, 1);
    if (table == 0) {  // the chunk store keeps such a string in the array itself
      EXPECT_TRUE(tooDeep(raised([&] { vresourceSetAtStringSized(list, 0, "x", 1); })));
    }
    EXPECT_EQ(vresourceGetInteger(above, tag("Leaf")), 7);
    vresourceRemove(above, tag("List"));

    // The whole chain copies and imports at its own depth, not one deeper.
    vresource other = vresourceCreateMemoryIn(1 - table);
    vresourceCopyContents(root, other);
    vresource inner = vresourceCreate(vresourceCreate(other, tag("Inner"), vresDICTIONARY), tag("Two"), vresDICTIONARY);
    EXPECT_TRUE(tooDeep(raised([&] { vresourceCopyContents(vresourceGet(root, tag("Top")), inner); })));
    vinstance* object = vresourceGetObject(root, tag("Top"));
    vinstance* copy = vscrapCreateNativeTypeable();
    vscrapImport(vscrapWalk(object), vscrapWalk(copy));
    vresourceSetScrap(other, tag("Again"), vscrapWalk(copy));
    EXPECT_EQ(vresourceGetInteger(down(vresourceGet(other, tag("Again")), vscrapMAX_DEPTH - 2), tag("Leaf")), 7);
    EXPECT_TRUE(tooDeep(raised([&] { vresourceSetScrap(other, tag("Deep"), vscrapWalk(deep)); })));
    for (vinstance* o : {object, copy}) vinstanceDestroy(o);
    vresourceCloseFile(other);
    vresourceCloseFile(root);
  }
  vinstanceDestroy(deep);

  // The text form: a dictionary nested past the bound is a syntax error.
  for (int depth : {vscrapMAX_DEPTH, vscrapMAX_DEPTH + 1, 30000}) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "D = dictionary {\n";
    text += std::string(std::size_t(depth), '}');
    vresource root = vresourceCreateMemoryIn(0);
    std::string error;
    EXPECT_EQ(vrtextParse(text, root, &error), depth <= vscrapMAX_DEPTH) << depth;
    if (depth > vscrapMAX_DEPTH) {
      EXPECT_NE(error.find(vscrapTOO_DEEP), std::string::npos) << error;
    }
    vresourceCloseFile(root);
  }
}

// A ".vr" file of dictionaries nested depth deep, written record by record.
void writeVrChain(const vfsPath* path, std::uint32_t depth) {
  const unsigned char header[24] = {'Q', 'R', 'N', '\n', 9, 0, 0, 0, 2, 0x20};
  vbtree* tree = vbtreeCreate(path, 0600, 4096, header);
  auto word = [](std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (24 - 8 * i));
  };
  std::uint8_t key[8], value[8];
  key[0] = 0;
  word(value, 2), word(value + 4, depth + 1);
  vbtreePut(tree, key, 1, value, 8);
  const std::uint8_t tagKey[5] = {1, 0, 0, 0, 1};
  vbtreePut(tree, tagKey, 5, "Next", 5);
  for (std::uint32_t n = 0; n <= depth; ++n) {
    word(key, n), key[0] = 0;
    word(value, (n < depth ? 1u << 8 : 0u) | 0x11), word(value + 4, n ? n - 1 : 0);
    vbtreePut(tree, key, 4, value, 8);
    if (n == depth) break;
    word(key + 4, 1), word(value, n + 1);
    vbtreePut(tree, key, 8, value, 4);
  }
  vbtreeClose(tree);
}

// A file nested deeper than the bound is refused at open in either store,
// before anything walks it; one at the bound opens and goes whole.
TEST(ResourceDepth, FilesNestedTooDeepAreRefusedAtOpen) {
  TempFile file("vrnested");
  for (std::uint32_t depth : {std::uint32_t(vscrapMAX_DEPTH), std::uint32_t(vscrapMAX_DEPTH + 1), 100000u}) {
    SCOPED_TRACE(depth);
    writeVrChain(file.path, depth);
    vresource root = 0;
    Raised r = raised([&] { root = vresourceOpenFile(file.path, vfsOPEN_READ_WRITE); });
    if (depth > std::uint32_t(vscrapMAX_DEPTH)) {
      EXPECT_TRUE(tooDeep(r)) << r.message;
      continue;
    }
    ASSERT_EQ(r.cls, nullptr) << r.message;
    vresourceRemove(root, tag("Next"));
    EXPECT_EQ(vresourceCount(root), 0);
    vresourceCloseFile(root);
  }

  // The chunk store: two chains, the second's top moved under the first's end.
  for (int second : {vscrapMAX_DEPTH / 2, vscrapMAX_DEPTH / 2 + 1}) {
    vresource root = vresourceCreateMemoryIn(1);
    std::uint32_t end = vresourceGetNumber(bare(root, tag("A"), vscrapMAX_DEPTH / 2));
    bare(root, tag("B"), second);
    vresourceCloseFile(vresourceSaveFile(root, file.path, 0600));
    vresourceCloseFile(root);
    vresFile* f = vresFileOpen(vchunkOpen(vchunkFileDataCreate(vfsOpenFile(file.path, vfsOPEN_READ_WRITE))));
    vresIndex* top = vresMakeIndex(f, 1);
    vresDictElement* b = vresMakeDictElement(f, 1, tag("B"));
    vndxSetCell(f->rows, static_cast<int>(vclassRec<vresClassRec>(b)->getId(b)), 1, end);
    f->rows->modified = true;
    for (vres* o : std::initializer_list<vres*>{b, top}) vinstanceDestroy(o);
    vresFileDestroy(f);
    Raised r = raised([&] { root = vresourceOpenFile(file.path, vfsOPEN_READ); });
    EXPECT_EQ(tooDeep(r), second > vscrapMAX_DEPTH / 2) << second << r.message;
    if (!r.cls) vresourceCloseFile(root);
  }
}

// Runs body in a child whose address space is limited to a little more
// than it uses; answers what body raised there: 'M' the Memory family,
// 'L' Module/Limit "Maximum array size", '-' nothing, '?' anything else,
// '!' when the child did not end normally.
template <class F>
char inLimitedChild(F body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (96u << 20);
    rlimit r{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &r) != 0) _exit('!');
    Raised got = raised(body);
    char answer = !got.cls ? '-'
                  : vexClassDerives(got.cls, &vexMemoryClass) ? 'M'
                  : got.cls == &vexModuleLimitClass && got.message == "Maximum array size" ? 'L'
                                                                                           : '?';
    _exit(answer);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return '!';
  return char(WEXITSTATUS(status));
}

// Counts past what memory or the store can hold end as the framework's
// exceptions, before the store changes: never an abort.
TEST(ResourceSize, HugeCountsRaiseInsteadOfAborting) {
  constexpr std::int32_t huge = 0x7FFFFFFF;
  EXPECT_EQ(inLimitedChild([] {
              std::vector<std::uint8_t> block(4 * vchunkBLOCK, 0);
              vchunkFile* f = vchunkCreate(vchunkMemoryDataCreate(block.data(), block.size(), false, true));
              vchunkArraySetCount(f, 0, huge);
            }),
            'M');
  struct Case {
    int table, kind;
    std::int32_t count;
    char answer;
  } cases[] = {
      {1, vresINTEGER, huge, 'M'},     {1, vresBOOLEAN, huge / 2, 'M'}, {1, vresCHARACTER, huge, 'L'},
      {1, vresDICTIONARY, huge, 'L'},  {1, vresTAG, huge, 'M'},         {0, vresINTEGER, huge, 'L'},
      {0, vresINTEGER, 0xFFFFFF, '-'}, {1, vresINTEGER, 1000, '-'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(inLimitedChild([&] {
                vresource root = vresourceCreateMemoryIn(c.table);
                vresourceSetInteger(root, tag("Kept"), 5);
                vexGuard([&] { vresourceCreateArray(root, tag("Huge"), c.kind, c.count); },
                         [&](vexHandler&) {
                           // The file still works, and what it held is there.
                           if (vresourceGetInteger(root, tag("Kept")) == 5) _vexGenerate(nullptr);
                         });
              }),
              c.answer)
        << c.table << " " << c.kind << " " << c.count;
  }
}

}  // namespace
